// The sequence interpreter's own time per executed line: 86 raw-command lines
// ("QV/0/1/[0ST]", one exchange each) run repeatedly over a pseudo-terminal
// served by kelvane-bussim with no reply delay. Waiting for replies blocks in
// the port and costs no CPU, so the process CPU time divided by the lines is
// what the program itself spends per line.
#include "AblaufCore.h"
#include "BusSimProcess.h"
#include "Clock.h"
#include "SerialPort.h"
#include "UiServices.h"

#include <QCoreApplication>

#include <cstdio>
#include <ctime>

namespace {
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BusSimProcess sim({QStringLiteral("--demo")});
    if (sim.path().isEmpty()) {
        std::fprintf(stderr, "kelvane-bussim printed no path\n");
        return 1;
    }
    QtSerialPort port{PortMap()};
    if (!port.openPath(sim.path(), 9600)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(sim.path()));
        return 1;
    }
    SteadyClock clock;
    RecordingUiServices ui;
    AblaufEnv env;
    env.port = &port;
    env.clock = &clock;
    env.ui = &ui;
    AblaufCore core(env);
    constexpr int lines = AblaufCore::MaxRows - 1;
    for (int i = 0; i < lines; ++i)
        core.pZeile[i].text = QStringLiteral("QV/0/1/[0ST]");
    constexpr int runs = 20;
    core.CStart_Click();
    core.runToEnd();  // warm-up
    const double wallStart = clock.now();
    const double cpuStart = cpuSeconds();
    for (int r = 0; r < runs; ++r) {
        core.CStart_Click();
        core.runToEnd();
    }
    const double cpu = cpuSeconds() - cpuStart;
    const double wall = clock.now() - wallStart;
    if (core.Fehlerzahl != 0) {
        std::fprintf(stderr, "%d failures during the runs\n", core.Fehlerzahl);
        return 1;
    }
    std::printf("line_overhead_us %.1f\n", cpu / (runs * lines) * 1e6);
    std::printf("line_wall_us %.1f\n", wall / (runs * lines) * 1e6);
    return 0;
}
