// Time of one per-tick cycle (Aktualisieren) of an online control center
// window: position poll and display against a simulated axis on the
// in-process bus with no reply delay, so what is measured is the program's
// own work around the exchange. Prints "tick_us_median <microseconds>".

#include "AxisParameterStore.h"
#include "BenchBus.h"
#include "OptionFlags.h"
#include "SimAxis.h"
#include "frm_Controlcenter.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    BenchBus b;
    b.bus.addUnit(QStringLiteral("01"));
    SimAxis axis(b.bus, QStringLiteral("01"));
    CoreContext& core = *b.core;

    OptionFlags flags;
    AxisParameterStore store(flags);
    store.axisRecordAt(1).Motfak = 2000;
    store.axisRecordAt(1).vmin = 0.01;
    store.axisRecordAt(1).vmax = 50;
    Fensterpostfach registry;
    ControlCenterEnv env;
    env.bus = &core.transport();
    env.ui = &core.ui();
    env.store = &store;
    env.options = &flags;
    env.registry = &registry;

    frm_Controlcenter w(env);
    w.core().appendAddress(QStringLiteral("00-AA"));
    w.core().appendAddress(QStringLiteral("01"));
    w.core().setAddressesIndex(1);
    if (w.core().Initialisierung() != 1)
        return 1;
    w.core().auslesen();
    w.show();

    const double median = medianMicros(200, 2001, [&](int i) {
        axis.setPosition(i % 4000);
        return w.core().Aktualisieren() == 1;
    });
    if (median < 0)
        return 1;
    std::printf("tick_us_median %.1f\n", median);
    return 0;
}
