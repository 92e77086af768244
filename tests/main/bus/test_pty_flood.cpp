// A device that never stops sending, or sends a reply without end, or stops
// taking bytes: the real serial port on a pseudo-terminal keeps its memory
// bounded, the event loop keeps running, and the next normal exchange works.

#include "BusTransport.h"
#include "Clock.h"
#include "CommLog.h"
#include "Pty.h"
#include "SerialPort.h"
#include "TestSupport.h"
#include "UiServices.h"
#include "UsbBridge.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

long residentKb()
{
    FILE* f = std::fopen("/proc/self/statm", "r");
    long size = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Writes `head` once and then `body` again and again into the master end
// until stopped.
class Flood
{
public:
    Flood(Pty& pty, QByteArray head, QByteArray body)
    {
        m_thread = std::thread([this, &pty, head, body] {
            QByteArray out = head;
            while (!m_stop) {
                if (out.isEmpty())
                    out = body;
                const ssize_t n = ::write(pty.master, out.constData(), size_t(out.size()));
                if (n > 0)
                    out.remove(0, qsizetype(n));
                else
                    usleep(200);
            }
        });
    }
    ~Flood()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class PtyFlood : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pty.setNonBlocking();
        ASSERT_TRUE(port.openPath(pty.path, 9600)) << port.lastError().toStdString();
        transport.Schnittstelle = QStringLiteral("COM");
        // Warm up allocations the first exchange makes anyway.
        transport.senden_empfangen(QStringLiteral("[0ST]"), 0.01);
        idle(50);
        pty.readAll();
        startKb = residentKb();
    }

    // Runs the event loop for `ms` and returns how often a 10 ms timer fired.
    int idle(int ms)
    {
        int fired = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&fired] { ++fired; });
        tick.start(10);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return fired;
    }

    // Answers "[0ST]" once from the master end, after the stale input is gone
    // from both ends (the line has been quiet for a while, at most 10 s).
    QString normalExchange()
    {
        QElapsedTimer quiet;
        quiet.start();
        for (int calm = 0; calm < 3 && quiet.elapsed() < 10000;) {
            idle(30);
            const bool stale = !pty.readAll().isEmpty() || !port.input().isEmpty();
            calm = stale ? 0 : calm + 1;
        }
        std::atomic<bool> done{false};
        std::thread peer([this, &done] {
            QByteArray got;
            QElapsedTimer waited;
            waited.start();
            while (!done && waited.elapsed() < 10000) {
                got += pty.readAll();
                if (got.endsWith("[0ST]")) {
                    const QByteArray reply("[0ST!00000000]");
                    (void)::write(pty.master, reply.constData(), size_t(reply.size()));
                    return;
                }
                usleep(500);
            }
        });
        const QString reply = transport.senden_empfangen(QStringLiteral("[0ST]"), 5.0);
        done = true;
        peer.join();
        return reply;
    }

    Pty pty;
    QtSerialPort port{PortMap()};
    SteadyClock clock;
    NoUsbBridge usb;
    RecordingUiServices ui;
    CommLog log;
    BusTransport transport{port, usb, clock, ui, log};
    long startKb = 0;
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps freed memory in quarantine: the resident size
    // says nothing about the port there.
    static constexpr long SlackKb = 1024 * 1024;
#else
    static constexpr long SlackKb = 8 * 1024;
#endif
};

TEST_F(PtyFlood, ChattyDeviceWhileIdleAndDuringExchanges)
{
    {
        Flood flood(pty, {}, QByteArray("[1PA!00FFFC18]").repeated(64));
        EXPECT_GT(idle(1000), 20) << "the event loop stalled";
        EXPECT_LT(residentKb() - startKb, SlackKb);
        for (int i = 0; i < 20; ++i) {
            const QString reply = transport.senden_empfangen(QStringLiteral("[0ST]"), 0.05);
            EXPECT_LE(reply.size(), protocol::MaxReply);
        }
        EXPECT_LT(residentKb() - startKb, SlackKb);
    }
    EXPECT_EQ(normalExchange(), QStringLiteral("[0ST!00000000]"));
}

TEST_F(PtyFlood, ReplyWithoutEndIsCutAtTheBound)
{
    {
        Flood flood(pty, "[1XL!", QByteArray(512, '0'));
        for (int i = 0; i < 50; ++i) {
            // Endless characters that are no frame are no answer; the first
            // exchange may still catch the frame's start and cut it (at the
            // bound, or earlier where a loaded machine pauses the far end).
            const QString reply = transport.senden_empfangen(QStringLiteral("[1XL]"), 2.0);
            ASSERT_TRUE(reply == keine_Antwort ||
                        (reply.startsWith(QLatin1String("[1XL!")) && reply.size() <= protocol::MaxReply))
                << reply.size();
        }
        EXPECT_LT(residentKb() - startKb, SlackKb);
        for (const QString& line : log.lines())
            EXPECT_LE(line.size(), CommLog::MaxLineLength);
    }
    EXPECT_EQ(normalExchange(), QStringLiteral("[0ST!00000000]"));
}

TEST_F(PtyFlood, CommandTheFarEndDoesNotTakeIsDroppedAndIsNoAnswer)
{
    // The peer reads nothing: a command far larger than the line's buffers
    // cannot go out within the time-out.
    const QString big = QStringLiteral("[1XX") + QString(1 << 20, QLatin1Char('X')) + QStringLiteral("]");
    EXPECT_EQ(transport.senden_empfangen(big, 0.1), keine_Antwort);
    // Now the peer reads again, while the event loop runs: the rest never
    // follows later.
    qsizetype taken = 0;
    for (int i = 0; i < 10; ++i) {
        idle(30);
        taken += pty.readAll().size();
    }
    EXPECT_LT(taken, big.size());
    EXPECT_EQ(normalExchange(), QStringLiteral("[0ST!00000000]"));
}

}  // namespace
