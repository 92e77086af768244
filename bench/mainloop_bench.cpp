// The main window's own CPU use: first idling (the main loop switched on,
// the port open on the simulated bus, no window registered), then with one
// control center open on axis "01" of a bus paced at 9600 baud. Prints
// "idle_cpu_percent <p>" and "one_cc_cpu_percent <p>" (process CPU time over
// wall time, in percent).
//
//   mainloop_bench [seconds]   (default 10, for each of the two runs)

#include "Clock.h"
#include "CoreContext.h"
#include "DemoBus.h"
#include "Settings.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "UiServices.h"
#include "ParamsContext.h"
#include "frm_Controlcenter.h"
#include "frm_main.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec) + u.ru_utime.tv_usec / 1e6 + double(u.ru_stime.tv_sec) + u.ru_stime.tv_usec / 1e6;
}
}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, QString::fromLocal8Bit(argv[1]).toDouble()) : 10.0;

    QTemporaryDir home;
    qputenv("KELVANE_HOME", home.path().toLocal8Bit());
    SteadyClock busClock;
    SimBus bus(busClock);
    bus.setPacing(true);
    populateDemoBus(bus);
    auto settings = std::make_unique<AppSettings>(home.filePath(QStringLiteral("settings.ini")));
    settings->setValue(QStringLiteral("Startup"), QStringLiteral("Backup_CommPort"), QStringLiteral("1"));
    settings->setValue(QStringLiteral("Startup"), QStringLiteral("Backup_Settings"), QStringLiteral("9600"));
    CoreContext core(std::move(settings), std::make_unique<RecordingUiServices>(), std::make_unique<SteadyClock>(),
                     std::make_unique<SimSerialPort>(bus), std::make_unique<SimUsbBridge>(bus, false));

    frm_main frame(core);
    ParamsContext params(core.ui(), frame.optionFlags(), core.transport());
    installControlCenter(frame, params);
    frame.MDIForm_Load();
    if (!frame.isTimer1Running()) {
        std::fprintf(stderr, "mainloop_bench: the main loop did not start\n");
        return 1;
    }

    // Let start-up settle, then measure.
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();

    const auto measure = [seconds] {
        QElapsedTimer wall;
        const double cpu0 = cpuSeconds();
        wall.start();
        QEventLoop run;
        QTimer::singleShot(int(seconds * 1000), &run, &QEventLoop::quit);
        run.exec();
        return 100.0 * (cpuSeconds() - cpu0) / (wall.nsecsElapsed() / 1e9);
    };
    std::printf("idle_cpu_percent %.2f\n", measure());
    std::fflush(stdout);

    frame.mnuKontroll_Click();
    IControlCenter* cc = frame.CC.item(frame.Fensterzaehler());
    if (!cc) {
        std::fprintf(stderr, "mainloop_bench: no control center opened\n");
        return 1;
    }
    cc->setAddressesIndex(1);
    frame.CC_Aktivieren(cc->Tag);
    std::printf("one_cc_cpu_percent %.2f\n", measure());
    frame.MDIForm_Unload();
    return 0;
}
