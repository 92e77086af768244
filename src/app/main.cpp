// Kelvane: builds the program's services (settings, dialogs, clock, serial
// port, USB bridge, transport) and the main window, and runs it.
//
// Environment: KELVANE_SETTINGS_FILE, KELVANE_HOME, KELVANE_COM<n> and
// KELVANE_SIM=1 (the USB bridge then leads to the simulated demonstration
// bus). KELVANE_REPORT_AFTER_START=<ms> prints the state after start-up and
// closes the program after that many milliseconds (used by the end-to-end
// test and for screenshots; KELVANE_GRAB=<file.png> grabs the frame first).

#include "Clock.h"
#include "CoreContext.h"
#include "DemoBus.h"
#include "SerialPort.h"
#include "Settings.h"
#include "SimBus.h"
#include "SimUsbBridge.h"
#include "UiServices.h"
#include "InstallWindows.h"
#include "ParamsContext.h"
#include "frm_main.h"

#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {
void reportState(frm_main& frame)
{
    BusTransport& bus = frame.core().transport();
    const auto enabled = [&frame](const char* name) {
        const QAction* a = frame.menuEntry(QLatin1String(name));
        return a && a->isEnabled() ? 1 : 0;
    };
    std::printf("schnittstelle %s\n",
                qPrintable(bus.Schnittstelle.isEmpty() ? QStringLiteral("-") : bus.Schnittstelle));
    std::printf("port_open %d\n", frame.core().serial().isOpen() ? 1 : 0);
    std::printf("timer1 %d\n", frame.isTimer1Running() ? 1 : 0);
    std::printf("menu_kontroll %d\n", enabled("mnuKontroll"));
    std::printf("menu_datei %d\n", enabled("mnuDateispeichern"));
    std::printf("menu_comoptions %d\n", enabled("mnuCOMOptions"));
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationName(QStringLiteral("Kelvane"));

    // The simulated bus, when asked for, outlives everything that talks to it.
    SteadyClock busClock;
    std::unique_ptr<SimBus> simBus;
    if (simulatedBusRequested()) {
        simBus = std::make_unique<SimBus>(busClock);
        populateDemoBus(*simBus);
    }

    auto settings = std::make_unique<AppSettings>();
    const PortMap ports(settings.get());
    auto ui = std::make_unique<QtUiServices>();
    QtUiServices* dialogs = ui.get();
    CoreContext core(std::move(settings), std::move(ui), std::make_unique<SteadyClock>(),
                     std::make_unique<QtSerialPort>(ports), makeUsbBridge(simBus.get()));

    frm_main frame(core);
    dialogs->setParent(&frame);

    // The subsystems, each with the services its windows need.
    ParamsContext params(core.ui(), frame.optionFlags(), core.transport());
    installWindows(frame, params);

    frame.show();
    frame.MDIForm_Load();

    bool ok = false;
    const int reportAfter = qEnvironmentVariableIntValue("KELVANE_REPORT_AFTER_START", &ok);
    if (ok && reportAfter >= 0) {
        QTimer::singleShot(reportAfter, &frame, [&frame] {
            const QString grab = qEnvironmentVariable("KELVANE_GRAB");
            if (!grab.isEmpty())
                frame.grab().save(grab);
            reportState(frame);
            frame.close();
        });
    }
    const int rc = app.exec();
    if (!frame.isUnloaded())
        frame.MDIForm_Unload();
    return rc;
}
