// Time of one per-tick cycle (Aktualisieren) of an online control center
// window: position poll and display against a simulated axis on the
// in-process bus with no reply delay, so what is measured is the program's
// own work around the exchange. Prints "tick_us_median <microseconds>".

#include "AxisParameterStore.h"
#include "Clock.h"
#include "CoreContext.h"
#include "OptionFlags.h"
#include "Settings.h"
#include "SimAxis.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "UiServices.h"
#include "frm_Controlcenter.h"
#include "globale_Funktionen.h"

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
    bus.addUnit(QStringLiteral("01"));
    SimAxis axis(bus, QStringLiteral("01"));
    auto serial = std::make_unique<SimSerialPort>(bus);
    serial->setCommPort(1);
    serial->setSettings(QStringLiteral("9600"));
    serial->open();
    CoreContext core(std::make_unique<AppSettings>(dir.filePath(QStringLiteral("s.ini"))),
                     std::make_unique<RecordingUiServices>(), std::move(clock), std::move(serial),
                     std::make_unique<SimUsbBridge>(bus, false));
    setCurrentTransport(&core.transport());

    OptionFlags flags;
    AxisParameterStore store(flags);
    store.datensatz(1).Motfak = 2000;
    store.datensatz(1).vmin = 0.01;
    store.datensatz(1).vmax = 50;
    Fensterpostfach registry;
    ControlCenterEnv env;
    env.bus = &core.transport();
    env.ui = &core.ui();
    env.store = &store;
    env.options = &flags;
    env.registry = &registry;

    frm_Controlcenter w(env);
    w.core().adresseAnfuegen(QStringLiteral("00-AA"));
    w.core().adresseAnfuegen(QStringLiteral("01"));
    w.core().setAdressenIndex(1);
    if (w.core().Initialisierung() != 1)
        return 1;
    w.core().auslesen();
    w.show();

    constexpr int kWarmUp = 200;
    constexpr int kRuns = 2001;
    std::vector<double> times;
    times.reserve(kRuns);
    for (int i = 0; i < kWarmUp + kRuns; ++i) {
        axis.setPosition(i % 4000);
        const auto t0 = std::chrono::steady_clock::now();
        const int r = w.core().Aktualisieren();
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
