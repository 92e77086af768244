// The script interpreter's own time per executed line: passes of 78 lines
// (unit selections, raw commands, reads, moves that end at once, position
// checks) against the in-process simulated bus with no reply delay, so the
// time measured is what the program and the simulator spend, with no waiting.
#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Clock.h"
#include "CommLog.h"
#include "DemoBus.h"
#include "OptionFlags.h"
#include "ScriptCore.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "UiServices.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    SteadyClock clock;
    SimBus bus(clock);
    populateDemoBus(bus);
    SimSerialPort port(bus);
    port.open();
    SimUsbBridge usb(bus, false);
    RecordingUiServices ui;
    CommLog log;
    BusTransport transport(port, usb, clock, ui, log);
    OptionFlags flags;
    AxisParameterStore store(flags);

    ScriptEnv env;
    env.bus = &transport;
    env.ui = &ui;
    env.clock = &clock;
    env.store = &store;
    ScriptCore core(env);
    core.Form_Load();
    const QStringList forms = {QStringLiteral("01"),  QStringLiteral("[0ST]"), QStringLiteral("[1vP]"),
                               QStringLiteral("MA0"), QStringLiteral("[0VN]"), QStringLiteral("[7PA]")};
    QStringList lines;
    for (int i = 0; i < ScriptCore::MaxRows; ++i)
        lines << forms.at(i % forms.size());
    core.setLines(lines);
    core.cb_adressenauswahl.listIndex = 1;
    core.cb_adressenauswahl_Click();
    if (!core.greenLamp()) {
        std::fprintf(stderr, "unit 01 does not answer\n");
        return 1;
    }

    constexpr int passes = 200;
    core.cmd_download_Click();
    core.runToEnd();  // warm-up
    core.Check1.checked = true;
    bus.clearTraffic();
    const double wallStart = clock.now();
    core.cmd_download_Click();
    const long long first = core.zaehler.text.toLongLong();
    while (core.isRunning()) {
        core.step();
        if (core.zaehler.text.toLongLong() - first >= passes - 1)
            core.Check1.checked = false;  // the current pass is the last
    }
    const double wall = clock.now() - wallStart;
    const long long done = core.zaehler.text.toLongLong() - first + 1;
    // Every line but the unit selections is one exchange.
    const qsizetype exchanges = bus.traffic().size();
    const qsizetype expected = done * (ScriptCore::MaxRows - (ScriptCore::MaxRows + forms.size() - 1) / forms.size());
    if (exchanges != expected || !ui.messages.isEmpty()) {
        std::fprintf(stderr, "the passes did not run through: %lld exchanges, %lld expected\n", qlonglong(exchanges),
                     qlonglong(expected));
        return 1;
    }
    const double lines_run = double(done) * ScriptCore::MaxRows;
    std::printf("line_overhead_us %.1f\n", wall / lines_run * 1e6);
    return 0;
}
