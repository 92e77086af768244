// kelvane-bussim: serves a simulated bus on a pseudo-terminal, so that the
// program (or any serial client) can open the printed device path as its
// serial port. The pty is kept alive by our own handle on its slave side, so
// a client may close and reopen it as often as it likes.
//
//   kelvane-bussim [--units 03@38400,0A@38400,11] [--demo] [--baud N]
//                  [--pace] [--delay-ms N] [--link PATH] [--version AA=TEXT]
//
// Units at motor-axis addresses (first digit 0 or 8) are simulated axes.
//
// The first line on stdout is the slave path. Ends on SIGTERM or SIGINT.

#include "Clock.h"
#include "DemoBus.h"
#include "SimBus.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

struct Options
{
    QList<QPair<QString, int>> units;
    QList<QPair<QString, QString>> versions;
    bool demo = false;
    int baud = 9600;
    bool pace = false;
    double delay = 0.0;
    QString link;
};

struct SpeedEntry
{
    speed_t speed;
    int baud;
};

// The rates a termios speed constant can name; others (such as 14400) reach
// us as "other" and fall back to --baud.
constexpr SpeedEntry kSpeeds[] = {
    {B110, 110},       {B300, 300},       {B600, 600},       {B1200, 1200},     {B2400, 2400},
    {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
    {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

int baudOfSpeed(speed_t speed)
{
    for (const SpeedEntry& e : kSpeeds)
        if (e.speed == speed)
            return e.baud;
    return 0;
}

speed_t speedOfBaud(int baud)
{
    for (const SpeedEntry& e : kSpeeds)
        if (e.baud == baud)
            return e.speed;
    return B0;
}

void usage()
{
    std::fprintf(stderr, "usage: kelvane-bussim [--units AA@BAUD,...] [--demo] [--baud N] [--pace]\n"
                         "                      [--delay-ms N] [--link PATH] [--version AA=TEXT]\n"
                         "  --units     units to serve, address@baud (baud defaults to 9600)\n"
                         "  --demo      serve the demonstration units (also the default without --units)\n"
                         "  --baud      host baud assumed when the pty does not tell (default 9600)\n"
                         "  --pace      take and send bytes at the real character time of the host baud\n"
                         "  --delay-ms  reply delay of every unit\n"
                         "  --link      create a symbolic link to the slave path\n"
                         "  --version   version text unit AA answers to [0VN] (may be repeated)\n");
}

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        auto value = [&](QString& out) {
            if (i + 1 >= argc)
                return false;
            out = QString::fromLocal8Bit(argv[++i]);
            return true;
        };
        QString v;
        bool ok = true;
        if (arg == QLatin1String("--demo")) {
            o.demo = true;
        } else if (arg == QLatin1String("--pace")) {
            o.pace = true;
        } else if (arg == QLatin1String("--baud")) {
            ok = value(v);
            o.baud = ok ? v.toInt(&ok) : 0;
            ok = ok && o.baud > 0;
        } else if (arg == QLatin1String("--delay-ms")) {
            ok = value(v);
            const double ms = ok ? v.toDouble(&ok) : 0.0;
            ok = ok && ms >= 0;
            o.delay = ms / 1000.0;
        } else if (arg == QLatin1String("--version")) {
            ok = value(v) && v.contains(QLatin1Char('='));
            if (ok)
                o.versions.append({v.section(QLatin1Char('='), 0, 0).trimmed(), v.section(QLatin1Char('='), 1)});
        } else if (arg == QLatin1String("--link")) {
            ok = value(o.link) && !o.link.isEmpty();
        } else if (arg == QLatin1String("--units")) {
            ok = value(v);
            const QStringList entries = v.split(QLatin1Char(','), Qt::SkipEmptyParts);
            for (const QString& entry : entries) {
                const QString address = entry.section(QLatin1Char('@'), 0, 0).trimmed();
                const QString baudText = entry.section(QLatin1Char('@'), 1, 1).trimmed();
                int baud = 9600;
                if (!baudText.isEmpty()) {
                    baud = baudText.toInt(&ok);
                    ok = ok && baud > 0;
                }
                if (!ok)
                    break;
                o.units.append({address, baud});
            }
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "kelvane-bussim: bad argument %s\n", argv[i]);
            return false;
        }
    }
    return true;
}

// Raw 8-bit line without echo; `baud` (when a constant names it) is stored as
// the line speed so that an untouched pty reports the assumed host baud.
bool makeRaw(int fd, int baud)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    const speed_t speed = speedOfBaud(baud);
    if (speed != B0) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

// The baud the client set on the line, or `fallback` when the pty does not
// name one.
int clientBaud(int slave, int fallback)
{
    termios t{};
    if (tcgetattr(slave, &t) != 0)
        return fallback;
    int baud = baudOfSpeed(cfgetispeed(&t));
    if (baud == 0)
        baud = baudOfSpeed(cfgetospeed(&t));
    return baud > 0 ? baud : fallback;
}

class PtyServer
{
public:
    PtyServer(SimBus& bus, int fallbackBaud) : m_bus(bus), m_fallbackBaud(fallbackBaud) {}
    ~PtyServer()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }

    bool open()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return fail("posix_openpt");
        const char* name = ptsname(m_master);
        if (!name)
            return fail("ptsname");
        m_slavePath = QByteArray(name);
        // Our own handle on the slave keeps the pty alive while the client
        // has it closed, and keeps its line settings between clients.
        m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_slave < 0)
            return fail("open slave");
        if (!makeRaw(m_master, m_fallbackBaud) || !makeRaw(m_slave, m_fallbackBaud))
            return fail("tcsetattr");
        const int flags = fcntl(m_master, F_GETFL);
        if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
            return fail("fcntl");
        return true;
    }

    QByteArray slavePath() const { return m_slavePath; }

    // Serves until a stop signal arrives. `unblocked` is the signal mask in
    // force while waiting, so a signal can only land inside ppoll.
    int run(const sigset_t& unblocked)
    {
        char buffer[65536];
        while (!g_stop) {
            pollfd pfd{m_master, short(POLLIN | (m_out.isEmpty() ? 0 : POLLOUT)), 0};
            const double next = m_bus.nextDueIn();
            timespec ts{};
            if (next >= 0) {
                ts.tv_sec = time_t(next);
                ts.tv_nsec = long((next - double(ts.tv_sec)) * 1e9);
            }
            const int r = ppoll(&pfd, 1, next >= 0 ? &ts : nullptr, &unblocked);
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                fail("ppoll");
                return 1;
            }
            if ((pfd.revents & (POLLERR | POLLNVAL)) && !(pfd.revents & POLLIN)) {
                errno = EIO;
                fail("pty");
                return 1;
            }
            if (pfd.revents & POLLIN) {
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                if (n > 0) {
                    m_bus.setHostBaud(clientBaud(m_slave, m_fallbackBaud));
                    m_bus.write(QByteArray(buffer, int(n)));
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    fail("read");
                    return 1;
                }
            }
            m_out += m_bus.read();
            flush();
        }
        return 0;
    }

private:
    void flush()
    {
        while (!m_out.isEmpty()) {
            const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
            if (n > 0) {
                m_out.remove(0, int(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            break;  // full: wait for POLLOUT
        }
        // Nobody reads the line: drop the oldest replies rather than grow
        // without bound.
        constexpr int kMaxBacklog = 1 << 20;
        if (m_out.size() > kMaxBacklog)
            m_out.remove(0, m_out.size() - kMaxBacklog);
    }

    bool fail(const char* what)
    {
        std::fprintf(stderr, "kelvane-bussim: %s: %s\n", what, std::strerror(errno));
        return false;
    }

    SimBus& m_bus;
    int m_fallbackBaud;
    int m_master = -1;
    int m_slave = -1;
    QByteArray m_slavePath;
    QByteArray m_out;
};

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        usage();
        return 2;
    }

    SteadyClock clock;
    SimBus bus(clock);
    try {
        if (options.demo || options.units.isEmpty())
            populateDemoBus(bus);
        for (const auto& [address, baud] : options.units)
            bus.addUnit(address, baud);
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "kelvane-bussim: %s\n", e.what());
        return 2;
    }
    for (const auto& [address, text] : options.versions) {
        SimUnit* unit = bus.unit(address);
        if (!unit) {
            std::fprintf(stderr, "kelvane-bussim: --version names no unit: %s\n", qPrintable(address));
            return 2;
        }
        unit->setVersion(text);
    }
    for (const QString& address : bus.addresses())
        bus.unit(address)->setReplyDelay(options.delay);
    bus.setHostBaud(options.baud);
    bus.setPacing(options.pace);

    // Signals are blocked except while waiting in ppoll, so a stop request
    // never races with the test of the stop flag.
    struct sigaction sa
    {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigset_t blocked;
    sigset_t unblocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &unblocked);
    sigdelset(&unblocked, SIGTERM);
    sigdelset(&unblocked, SIGINT);

    PtyServer server(bus, options.baud);
    if (!server.open())
        return 1;

    const QByteArray link = options.link.toLocal8Bit();
    if (!link.isEmpty()) {
        struct stat st
        {
        };
        if (lstat(link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(link.constData());
        if (symlink(server.slavePath().constData(), link.constData()) != 0) {
            std::fprintf(stderr, "kelvane-bussim: cannot link %s: %s\n", link.constData(), std::strerror(errno));
            return 1;
        }
    }

    std::printf("%s\n", server.slavePath().constData());
    std::fflush(stdout);

    const int rc = server.run(unblocked);
    if (!link.isEmpty())
        ::unlink(link.constData());
    return rc;
}
