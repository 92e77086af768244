// Measures the serial transport over a pseudo-terminal against kelvane-bussim:
//   exchange_median_us  one "[0ST]" exchange through senden_empfangen
//   raw_median_us       the same bytes with plain POSIX read/write (the floor)
//   paced9600_ratio     exchange time with the simulator pacing at 9600 baud,
//                       divided by the wire time of those characters

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

std::vector<double> timeExchanges(BusTransport& t, int count)
{
    std::vector<double> us;
    for (int i = 0; i < count; ++i) {
        const auto a = Clock::now();
        const QString r = t.senden_empfangen(QStringLiteral("[0ST]"), 1.0, 2);
        const auto b = Clock::now();
        if (r != QLatin1String("[0ST!00000000]")) {
            std::fprintf(stderr, "unexpected reply %s\n", qPrintable(r));
            continue;
        }
        us.push_back(std::chrono::duration<double, std::micro>(b - a).count());
    }
    return us;
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
    const char select[] = "\x12" "01";
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = 2000;

    double exchange = 0;
    double raw = 0;
    {
        BusSimProcess sim({QStringLiteral("--units"), QStringLiteral("01@9600")});
        {
            Connection c(sim.path());
            timeExchanges(c.transport, 100);  // warm-up
            exchange = median(timeExchanges(c.transport, count));
        }
        timeRaw(sim.path(), 100);
        raw = median(timeRaw(sim.path(), count));
    }

    double ratio = 0;
    {
        BusSimProcess sim({QStringLiteral("--units"), QStringLiteral("01@9600"), QStringLiteral("--baud"),
                           QStringLiteral("9600"), QStringLiteral("--pace")});
        Connection c(sim.path());
        const double wireUs = (5 + 14) * 10.0 / 9600.0 * 1e6;
        ratio = median(timeExchanges(c.transport, 40)) / wireUs;
    }

    std::printf("exchange_median_us %.1f\n", exchange);
    std::printf("raw_median_us %.1f\n", raw);
    std::printf("paced9600_ratio %.3f\n", ratio);
    return 0;
}
