// The real serial path end to end: the transport over QtSerialPort on a
// pseudo-terminal served by kelvane-bussim.

#include "BusSimProcess.h"
#include "BusTransport.h"
#include "Clock.h"
#include "CommLog.h"
#include "SerialPort.h"
#include "TestSupport.h"
#include "UiServices.h"
#include "UsbBridge.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

class PtyEndToEnd : public ::testing::Test
{
protected:
    void connect(const QStringList& simArgs)
    {
        sim = std::make_unique<BusSimProcess>(simArgs);
        ASSERT_FALSE(sim->path().isEmpty()) << "kelvane-bussim printed no path";
        qputenv("KELVANE_COM1", sim->path().toLocal8Bit());
        port = std::make_unique<QtSerialPort>(PortMap());
        port->onLost = [this](const QString&) { ++lost; };
        port->setCommPort(1);
        port->setSettings(QStringLiteral("9600"));
        ASSERT_TRUE(port->open()) << port->lastError().toStdString();
        transport = std::make_unique<BusTransport>(*port, usb, clock, ui, log);
        transport->Schnittstelle = QStringLiteral("COM");
    }
    void TearDown() override { qunsetenv("KELVANE_COM1"); }

    SteadyClock clock;
    NoUsbBridge usb;
    RecordingUiServices ui;
    CommLog log;
    std::unique_ptr<BusSimProcess> sim;
    std::unique_ptr<QtSerialPort> port;
    std::unique_ptr<BusTransport> transport;
    int lost = 0;
};

TEST_F(PtyEndToEnd, StatusQueryIsAnswered)
{
    connect({QStringLiteral("--units"), QStringLiteral("01@9600")});
    transport->einheit_waehlen(QStringLiteral("01"));
    EXPECT_EQ(transport->senden_empfangen(QStringLiteral("[0ST]"), 1.0), QStringLiteral("[0ST!00000000]"));
    EXPECT_EQ(transport->senden_empfangen(QStringLiteral("[1QQ]"), 1.0, protocol::Rejection::Ignore),
              QStringLiteral("[1QQ?0005]"));
    // An address nobody has stays silent.
    transport->einheit_waehlen(QStringLiteral("0F"));
    EXPECT_EQ(transport->senden_empfangen(QStringLiteral("[0ST]"), 0.05), keine_Antwort);
    EXPECT_EQ(log.rowCount(), 3);
}

// The real port against a peer that takes and gives bytes at 9600 baud: idle
// main-loop ticks that only select (a millisecond apart) do not pile up
// ahead of the wire, so the next exchange is answered within its time-out,
// and a version reply is read whole.
TEST_F(PtyEndToEnd, OnALinePacedAt9600SelectionsStayBehindTheWireAndRepliesAreReadWhole)
{
    connect({QStringLiteral("--units"), QStringLiteral("01@9600"), QStringLiteral("--baud"), QStringLiteral("9600"),
             QStringLiteral("--pace")});
    // Each selection waits until the one before has crossed the wire, however
    // fast the program could write them (a pty takes any amount at once).
    const double selecting = clock.now();
    for (int i = 0; i < 300; ++i) {
        transport->einheit_waehlen(QStringLiteral("01"));
        clock.sleep(0.001);
    }
    EXPECT_GE(clock.now() - selecting, 299 * 3 * 10.0 / 9600);
    transport->einheit_waehlen(QStringLiteral("01"));
    // Generous time-outs: the peer is another process on a loaded machine.
    EXPECT_EQ(transport->senden_empfangen(QStringLiteral("[0ST]"), 5.0), QStringLiteral("[0ST!00000000]"));
    const QString version = transport->senden_empfangen(QStringLiteral("[0VN]"), 5.0);
    EXPECT_TRUE(version.startsWith(QStringLiteral("[0VN!")) && version.endsWith(QLatin1Char(']')))
        << qPrintable(version);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(PtyEndToEnd, FarEndClosingMidExchangeIsNoAnswer)
{
    connect(
        {QStringLiteral("--units"), QStringLiteral("01@9600"), QStringLiteral("--delay-ms"), QStringLiteral("3000")});
    transport->einheit_waehlen(QStringLiteral("01"));
    std::thread killer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        sim->kill();
    });
    const QString result = transport->senden_empfangen(QStringLiteral("[0ST]"), 5.0);
    killer.join();
    EXPECT_EQ(result, keine_Antwort);
    EXPECT_FALSE(port->isOpen());
    EXPECT_EQ(lost, 1);
    // Later exchanges on the closed port give the empty result quietly.
    EXPECT_EQ(transport->senden_empfangen(QStringLiteral("[0ST]")), QString());
    EXPECT_TRUE(ui.messages.isEmpty());
}

}  // namespace
