// Measures a full axis search (baud probe, stored rate, scan of 31
// addresses) over a pseudo-terminal against kelvane-bussim pacing at the
// line's baud: with motor units 03 and 0A at 38400 baud, and on an empty bus
// (nobody at the addresses the search asks) with the port at 9600 and at
// 38400 baud:
//   search_s             wall time of the search with the two units
//   search_wire_s        what that search cannot avoid waiting for: the
//                        time-out of every exchange nobody answered (an
//                        address whose "[0VN]" got no reply waits it once
//                        more, for a late reply) plus the wire time (10 bits a
//                        character) of command and reply of every exchange
//                        that was answered
//   empty_9600_s, empty_38400_s            the search on the empty bus
//   empty_9600_wire_s, empty_38400_wire_s  and what it cannot avoid
// Each ratio is the search's own overhead: reopening the port at each
// probed rate (the serial port's lock file is synced to disk on every open),
// and the transport's rounding of each wait up to whole milliseconds.

#include "Achsensuche.h"
#include "BusSimProcess.h"
#include "BusTransport.h"
#include "Clock.h"
#include "CommLog.h"
#include "SerialPort.h"
#include "Settings.h"
#include "UiServices.h"
#include "UsbBridge.h"
#include "globale_Funktionen.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int ScanExchanges = 2 * Achsensuche::AxisCount;
const QString VersionQuery = QStringLiteral("[0VN]");

struct Run
{
    double s = 0;
    double w = 0;
    bool ok = false;
};

// The unavoidable waiting of the exchanges in the log (oldest last): the
// probe's exchanges come first, then the scan's 62. Lines that are no
// exchange (what was discarded, a late reply) are left out.
double wireTime(const QStringList& newestFirst, double scanTimeout, int baud)
{
    QStringList exchanges;
    for (const QString& line : newestFirst)
        if (line.contains(QLatin1String("-->")))
            exchanges << line;
    double w = 0;
    for (qsizetype k = 0; k < exchanges.size(); ++k) {
        const QString& line = exchanges.at(k);
        const qsizetype arrow = line.indexOf(QLatin1String("-->"));
        const QString command = line.left(arrow);
        const QString reply = line.mid(arrow + 3);
        const bool scan = k < ScanExchanges;
        if (reply == keine_Antwort || reply.isEmpty()) {
            w += scan ? scanTimeout : Achsensuche::ProbeTimeout;
            // The address is given its time-out once more for a late reply.
            if (scan && command == VersionQuery)
                w += scanTimeout;
        } else {
            w += double(command.size() + reply.size()) * 10.0 / baud;
        }
    }
    return w;
}

// One search with the port set to `baud`; `found` the addresses it must list.
Run oneRun(const QString& path, const QString& settingsFile, int baud, const QList<int>& found)
{
    Run searchRun;
    const QString baudText = QString::number(baud);
    qputenv("KELVANE_COM1", path.toLocal8Bit());
    QtSerialPort port{PortMap()};
    port.setCommPort(1);
    port.setSettings(baudText);
    if (!port.open()) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), qPrintable(port.lastError()));
        return searchRun;
    }
    SteadyClock clock;
    NoUsbBridge usb;
    RecordingUiServices ui;
    CommLog log;
    BusTransport transport(port, usb, clock, ui, log);
    transport.Schnittstelle = QStringLiteral("COM");
    transport.baudText = port.settings();
    AppSettings settings(settingsFile);

    Achsensuche axisSearch(transport);
    const auto a = std::chrono::steady_clock::now();
    const Achsensuche::Result e = axisSearch.runSearch(settings);
    const auto b = std::chrono::steady_clock::now();

    searchRun.s = std::chrono::duration<double>(b - a).count();
    searchRun.w = wireTime(log.lines(), e.timeout, baud);
    searchRun.ok = e.addressTable.count(QString()) == Achsensuche::AxisCount - 1 - found.size() && e.baud == baudText;
    for (int i : found)
        searchRun.ok = searchRun.ok && e.addressTable.value(i) == hex2(i);
    if (!searchRun.ok)
        std::fprintf(stderr, "unexpected result: baud %s, list %s\n", qPrintable(e.baud),
                     qPrintable(e.addressTable.join(QLatin1Char(','))));
    return searchRun;
}

// The median of five searches against kelvane-bussim serving `units` at
// `baud`; false when the simulator did not start or no search was right.
bool median(const QString& units, int baud, const QList<int>& found, Run& middle)
{
    QTemporaryDir dir;
    BusSimProcess sim(
        {QStringLiteral("--units"), units, QStringLiteral("--pace"), QStringLiteral("--baud"), QString::number(baud)});
    if (sim.path().isEmpty()) {
        std::fprintf(stderr, "kelvane-bussim did not start\n");
        return false;
    }
    // A unit missed because the machine stalled the simulator past the 10 ms
    // time-out is reported, and that run is left out of the median.
    std::vector<Run> searchRuns;
    for (int i = 0; i < 5; ++i) {
        const Run l = oneRun(sim.path(), dir.filePath(QStringLiteral("settings.ini")), baud, found);
        if (l.ok)
            searchRuns.push_back(l);
    }
    if (searchRuns.empty())
        return false;
    std::sort(searchRuns.begin(), searchRuns.end(), [](const Run& x, const Run& y) { return x.s < y.s; });
    middle = searchRuns[searchRuns.size() / 2];
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Run withUnits, empty9600, empty38400;
    // The empty bus: its one unit sits at an address the search never asks.
    if (!median(QStringLiteral("03@38400,0A@38400"), 38400, {3, 10}, withUnits) ||
        !median(QStringLiteral("1F@9600"), 9600, {}, empty9600) ||
        !median(QStringLiteral("1F@38400"), 38400, {}, empty38400))
        return 1;
    std::printf("search_s %.4f\n", withUnits.s);
    std::printf("search_wire_s %.4f\n", withUnits.w);
    std::printf("empty_9600_s %.4f\n", empty9600.s);
    std::printf("empty_9600_wire_s %.4f\n", empty9600.w);
    std::printf("empty_38400_s %.4f\n", empty38400.s);
    std::printf("empty_38400_wire_s %.4f\n", empty38400.w);
    return 0;
}
