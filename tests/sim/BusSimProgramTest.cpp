// kelvane-bussim end to end: a client opens the printed pty with plain POSIX
// calls, exchanges a command, closes and reopens the line, and exchanges
// again.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString programPath()
{
    const QByteArray dir = qgetenv("KELVANE_BIN_DIR");
    if (!dir.isEmpty())
        return QString::fromLocal8Bit(dir) + QStringLiteral("/kelvane-bussim");
    return QStringLiteral(KELVANE_BUSSIM_PATH);
}

// Opens the pty slave raw, as any serial client would.
int openRaw(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return -1;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// Writes `bytes` and reads until a closing bracket. The limit only keeps a
// broken simulator from hanging the suite.
QByteArray exchange(int fd, const QByteArray& bytes)
{
    if (::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        return "write failed";
    QByteArray reply;
    while (!reply.endsWith(']')) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 5000) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        reply.append(buffer, int(n));
    }
    return reply;
}

class BusSimProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo::exists(programPath())) << programPath().toStdString();
        link = dir.filePath("bus");
        sim.start(programPath(), {"--units", "01,03@38400", "--link", link});
        ASSERT_TRUE(sim.waitForStarted());
        ASSERT_TRUE(sim.waitForReadyRead(10000));
        slave = sim.readLine().trimmed();
    }
    void TearDown() override
    {
        if (sim.state() == QProcess::Running) {
            sim.terminate();
            sim.waitForFinished(10000);
        }
    }

    QTemporaryDir dir;
    QString link;
    QProcess sim;
    QByteArray slave;
};

TEST_F(BusSimProgram, AnswersAcrossAClientClosingAndReopeningTheLine)
{
    ASSERT_TRUE(slave.startsWith("/dev/"));
    EXPECT_EQ(QFileInfo(link).symLinkTarget().toLocal8Bit(), slave);

    int fd = openRaw(slave);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    EXPECT_EQ(exchange(fd, "\x12"
                           "01"
                           "[0ST]"),
              "[0ST!00000000]");
    ::close(fd);

    fd = openRaw(slave);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(exchange(fd, "\x12"
                           "01"
                           "[0ST]"),
              "[0ST!00000000]");
    EXPECT_EQ(exchange(fd, "[1XY]"), "[1XY?0005]");
    ::close(fd);

    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST_F(BusSimProgram, TakesTheHostBaudFromTheLineSettings)
{
    int fd = openRaw(slave);
    ASSERT_GE(fd, 0);
    termios t{};
    tcgetattr(fd, &t);
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    tcsetattr(fd, TCSANOW, &t);
    // "03" listens at 38400, so it answers; "01" at 9600 cannot hear.
    EXPECT_EQ(exchange(fd, "\x12"
                           "03"
                           "[0ST]"),
              "[0ST!00000000]");
    // Had "01" answered, its reply would come before that of "03".
    EXPECT_EQ(exchange(fd, "\x12"
                           "01"
                           "[0ST]"
                           "\x12"
                           "03"
                           "[1PA]"),
              "[1PA!00000000]");
    ::close(fd);
}

}  // namespace
