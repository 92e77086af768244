// Time of one read-out (Aktualisieren) of an online probe window on an AK4
// board: channel poll, four channels scaled and shown, against the simulated
// board on the in-process bus with no reply delay, so what is measured is the
// program's own work around the exchange. Prints "tick_us_median <microseconds>".

#include "BenchBus.h"
#include "SimProbeBoard.h"
#include "frm_AKIK.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    BenchBus b;
    SimProbeBoard& board = installProbeBoard(b.bus.addUnit(QStringLiteral("21")), SimProbeBoard::Kind::AK4);
    board.setNoise(20);
    CoreContext& core = *b.core;

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

    const double median = medianMicros(200, 2001, [&](int i) {
        board.setInput(1 + i % 4, (i % 1000) * 0.25);
        return c.Aktualisieren() == 1;
    });
    if (median < 0)
        return 1;
    std::printf("tick_us_median %.1f\n", median);
    return 0;
}
