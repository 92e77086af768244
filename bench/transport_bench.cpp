// Measures the serial transport over a pseudo-terminal against kelvane-bussim:
//   exchange_median_us  one "[0ST]" exchange through senden_empfangen
//   raw_median_us       the same bytes with plain POSIX read/write (the floor)
//   exchange_raw_ratio  the median of the per-block ratios of the two: blocks
//                       of each alternate over one simulator, so a noisy
//                       machine slows both alike
//   paced9600_ratio     with the simulator pacing at 9600 baud: a main-loop
//                       tick (unit selection and "[0ST]") after idle ticks
//                       that only select, divided by the wire time of the
//                       tick's characters

#include "BusSimProcess.h"
#include "BusTransport.h"
#include "Clock.h"
#include "CommLog.h"
#include "SerialPort.h"
#include "UiServices.h"
#include "UsbBridge.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Times `count` status exchanges in microseconds; `before` runs untimed
// ahead of each and `select` (the unit selection, if any) is timed with it.
template <typename Before, typename Select>
std::vector<double> timeStatusExchanges(BusTransport& t, int count, Before before, Select select)
{
    std::vector<double> us;
    for (int i = 0; i < count; ++i) {
        before();
        const auto a = Clock::now();
        select();
        const QString r = t.senden_empfangen(QStringLiteral("[0ST]"), 1.0, protocol::Rejection::Ignore);
        const auto b = Clock::now();
        if (r != QLatin1String("[0ST!00000000]")) {
            std::fprintf(stderr, "unexpected reply %s\n", qPrintable(r));
            continue;
        }
        us.push_back(std::chrono::duration<double, std::micro>(b - a).count());
    }
    return us;
}

std::vector<double> timeExchanges(BusTransport& t, int count)
{
    return timeStatusExchanges(
        t, count, [] {}, [] {});
}

std::vector<double> timeRaw(const QString& path, int count)
{
    std::vector<double> us;
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return us;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    const char select[] = "\x12"
                          "01";
    (void)!::write(fd, select, 3);
    char buf[64];
    for (int i = 0; i < count; ++i) {
        const auto a = Clock::now();
        if (::write(fd, "[0ST]", 5) != 5)
            break;
        int got = 0;
        while (got < 14) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            const ssize_t n = ::read(fd, buf + got, sizeof buf - size_t(got));
            if (n <= 0)
                break;
            got += int(n);
        }
        const auto b = Clock::now();
        if (got == 14)
            us.push_back(std::chrono::duration<double, std::micro>(b - a).count());
    }
    ::close(fd);
    return us;
}

struct Connection
{
    explicit Connection(const QString& path)
    {
        port.openPath(path, 9600);
        transport.Schnittstelle = QStringLiteral("COM");
        transport.einheit_waehlen(QStringLiteral("01"));
    }
    QtSerialPort port{PortMap()};
    SteadyClock clock;
    NoUsbBridge usb;
    RecordingUiServices ui;
    CommLog log;
    BusTransport transport{port, usb, clock, ui, log};
};

// One idle main-loop tick selects the unit and sends nothing else; the
// timer runs the next one a millisecond later.
void idleTicks(BusTransport& t, int count)
{
    for (int i = 0; i < count; ++i) {
        t.einheit_waehlen(QStringLiteral("01"));
        t.clock().sleep(0.001);
    }
}

std::vector<double> timeTicks(BusTransport& t, int count)
{
    return timeStatusExchanges(
        t, count, [&] { idleTicks(t, 20); }, [&] { t.einheit_waehlen(QStringLiteral("01")); });
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int Blocks = 20;
    constexpr int BlockSize = 100;

    std::vector<double> exchanges;
    std::vector<double> raws;
    std::vector<double> ratios;
    {
        BusSimProcess sim({QStringLiteral("--units"), QStringLiteral("01@9600")});
        {
            Connection c(sim.path());
            timeExchanges(c.transport, 100);  // warm-up
        }
        timeRaw(sim.path(), 100);
        for (int b = 0; b < Blocks; ++b) {
            std::vector<double> e;
            {
                Connection c(sim.path());
                e = timeExchanges(c.transport, BlockSize);
            }
            const std::vector<double> r = timeRaw(sim.path(), BlockSize);
            exchanges.insert(exchanges.end(), e.begin(), e.end());
            raws.insert(raws.end(), r.begin(), r.end());
            if (median(r) > 0)
                ratios.push_back(median(e) / median(r));
        }
    }

    double ratio = 0;
    {
        BusSimProcess sim({QStringLiteral("--units"), QStringLiteral("01@9600"), QStringLiteral("--baud"),
                           QStringLiteral("9600"), QStringLiteral("--pace")});
        Connection c(sim.path());
        const double wireUs = (3 + 5 + 14) * 10.0 / 9600.0 * 1e6;
        ratio = median(timeTicks(c.transport, 40)) / wireUs;
    }

    std::printf("exchange_median_us %.1f\n", median(exchanges));
    std::printf("raw_median_us %.1f\n", median(raws));
    std::printf("exchange_raw_ratio %.3f\n", median(ratios));
    std::printf("paced9600_ratio %.3f\n", ratio);
    return 0;
}
