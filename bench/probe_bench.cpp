// Time of one read-out (Aktualisieren) of an online probe window on an AK4
// board: channel poll, four channels scaled and shown, against the simulated
// board on the in-process bus with no reply delay, so what is measured is the
// program's own work around the exchange. Prints "tick_us_median <microseconds>".

#include "Clock.h"
#include "CoreContext.h"
#include "Settings.h"
#include "SimBus.h"
#include "SimProbeBoard.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "UiServices.h"
#include "frm_AKIK.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QTemporaryDir dir;

    auto clock = std::make_unique<SteadyClock>();
    SimBus bus(*clock);
    SimProbeBoard& board = installProbeBoard(bus.addUnit(QStringLiteral("21")), SimProbeBoard::Kind::AK4);
    board.setNoise(20);
    auto serial = std::make_unique<SimSerialPort>(bus);
    serial->setCommPort(1);
    serial->setSettings(QStringLiteral("9600"));
    serial->open();
    CoreContext core(std::make_unique<AppSettings>(dir.filePath(QStringLiteral("s.ini"))),
                     std::make_unique<RecordingUiServices>(), std::move(clock), std::move(serial),
                     std::make_unique<SimUsbBridge>(bus, false));

    Fensterpostfach registry;
    registry.komma_frage = true;
    ProbeWindowEnv env;
    env.bus = &core.transport();
    env.ui = &core.ui();
    env.registry = &registry;
    frm_AKIK w(env);
    ProbeWindowCore& c = w.core();
    c.cb__Achsenauswahl[0].listIndex = 0;  // "21"
    c.cb__Achsenauswahl_Click(0);
    if (c.Initialisierung() != 1)
        return 1;
    for (auto& box : c.Check1)
        box.checked = true;
    c.aktiv_box.checked = true;
    w.show();

    constexpr int kWarmUp = 200;
    constexpr int kRuns = 2001;
    std::vector<double> times;
    times.reserve(kRuns);
    for (int i = 0; i < kWarmUp + kRuns; ++i) {
        board.setInput(1 + i % 4, (i % 1000) * 0.25);
        const auto t0 = std::chrono::steady_clock::now();
        const int r = c.Aktualisieren();
        const auto t1 = std::chrono::steady_clock::now();
        if (r != 1)
            return 1;
        if (i >= kWarmUp)
            times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
    std::printf("tick_us_median %.1f\n", times[kRuns / 2]);
    return 0;
}
