#pragma once
// A pseudo-terminal whose master end a test drives directly: the program
// opens `path` as its serial device, the test reads and writes `master`.
// Header-only.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

class Pty
{
public:
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
        path = QString::fromLocal8Bit(ptsname(master));
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    void closeMaster()
    {
        ::close(master);
        master = -1;
    }
    void setNonBlocking() { ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK); }
    // Waits up to 100 ms for bytes and returns what came.
    QByteArray readSome()
    {
        char buf[256];
        QByteArray out;
        for (int i = 0; i < 100 && out.isEmpty(); ++i) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                out.append(buf, int(n));
            else
                usleep(1000);
        }
        return out;
    }
    // Everything waiting on the master end now (it must be non-blocking).
    QByteArray readAll()
    {
        char buf[4096];
        QByteArray out;
        for (;;) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0)
                return out;
            out.append(buf, int(n));
        }
    }

    int master = -1;
    QString path;
};
