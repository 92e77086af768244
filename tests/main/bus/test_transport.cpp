// The transport over scripted serial and USB lines: time-out defaults,
// partial replies, drains, rejection routing, logging and unit selection.
// How a reply is read off the line is tested on its own (test_line_reply.cpp).

#include "BusTransport.h"
#include "CommLog.h"
#include "FakeTransportParts.h"
#include "LineReply.h"
#include "TestSupport.h"
#include "UiServices.h"

#include <gtest/gtest.h>

namespace {

class TransportTest : public ::testing::Test
{
protected:
    TransportTest() : line(clock), serial(clock, line), usb(clock, line), transport(serial, usb, clock, ui, log)
    {
        serial.setSettings(QStringLiteral("9600"));
        serial.open();
        transport.Schnittstelle = QStringLiteral("COM");
    }

    void useUsb()
    {
        transport.Schnittstelle = QStringLiteral("USB");
        transport.USBHandle = 7;
        transport.baudText = QStringLiteral("38400");
    }

    FakeClock clock;
    ScriptedLine line;
    ScriptedSerialPort serial;
    ScriptedUsbBridge usb;
    RecordingUiServices ui;
    CommLog log;
    BusTransport transport;
};

TEST_F(TransportTest, TimeoutDefaultsAndCallerValues)
{
    for (double given : {0.0, -3.0}) {
        const double t0 = clock.now();
        EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]"), given, protocol::Rejection::Ignore),
                  keine_Antwort);
        EXPECT_DOUBLE_EQ(transport.Wartezeit(), 0.2);
        EXPECT_NEAR(clock.now() - t0, 0.2, 0.002);
    }
    const double t0 = clock.now();
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]"), 0.1, protocol::Rejection::Ignore), keine_Antwort);
    EXPECT_NEAR(clock.now() - t0, 0.1, 0.002);
    // A slow store command gets the caller's long wait and its late answer.
    line.scriptReply("[0ff01!]", 3.5);
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ff01]"), 4.0, protocol::Rejection::Show),
              QStringLiteral("[0ff01!]"));
}

TEST_F(TransportTest, CompletionAndPartialReplies)
{
    // The transport's replies close with either kind of bracket.
    line.scriptReply("(1AB!)");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("(1AB)")), QStringLiteral("(1AB!)"));

    // Cut off by the time-out: 19 characters are no answer, 20 are returned as they stand.
    line.scriptReply("[1ra!0123456789ABCD");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1ra]")), keine_Antwort);
    line.scriptReply("[1ra!0123456789ABCDE");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1ra]")), QStringLiteral("[1ra!0123456789ABCDE"));
}

TEST_F(TransportTest, DrainDiscardsStaleBytesBeforeWriting)
{
    line.backlog("[1PA!000010]");
    line.scriptReply("[0ST!00000000]");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), QStringLiteral("[0ST!00000000]"));
    // The rest of a reply cut by a silence lands before the next command: it
    // is dropped and logged, and the next reply is the next command's own.
    line.script({{0.19, "[0ST!0000"}, {0.215, "0000]"}});
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), keine_Antwort);
    clock.advance(0.2);
    line.scriptReply("[1PA!00000010]");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1PA]")), QStringLiteral("[1PA!00000010]"));
    EXPECT_EQ(log.lines(), (QStringList{"[1PA]-->[1PA!00000010]", "discarded: 0000]", "[0ST]-->1",
                                        "[0ST]-->[0ST!00000000]", "discarded: [1PA!000010]"}));
}

// The transport notes the commands that got no reply, so that an operator's
// raw command passes over their late replies.
TEST_F(TransportTest, ATypedCommandPassesOverLateRepliesToEarlierCommands)
{
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1vE]"), 0.1), keine_Antwort);
    line.script({{0.001, "[1vE!00001234]"}, {0.01, "[0VN!V1.0]"}});
    EXPECT_EQ(transport.sendTyped(QStringLiteral("[0VN]")), QStringLiteral("[0VN!V1.0]"));
}

// A standing unit answers the poll with the final echo of whatever it last
// started: the line notes which unit answered ">", whichever window sent the
// command.
TEST_F(TransportTest, ThePollTakesTheFinalEchoOfEveryCommandTheUnitStarted)
{
    const auto onPort = [&](const QByteArray& command, const QByteArray& reply) {
        line.scriptReply(reply);
        return line::exchangeOnPort(serial, clock, command, 0.2).reply.bytes;
    };
    transport.einheit_waehlen(QStringLiteral("01"));
    line.scriptReply("[1EE>]");
    transport.senden_empfangen(QStringLiteral("[1EE]"));
    EXPECT_EQ(onPort("[0po]", "[1EE!]"), "[1EE!]");
    onPort("[1XR00000064]", "[1XR>]");
    line.scriptReply("[1XR?0014]");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0po]"), 0.2, protocol::Rejection::Ignore),
              QStringLiteral("[1XR?0014]"));
    // Not on another unit, and a read that answers "!" started nothing.
    line::writeOnPort(serial, clock,
                      "\x12"
                      "02");
    EXPECT_EQ(onPort("[0po]", "[1EE!][1XR!]"), "");
    transport.einheit_waehlen(QStringLiteral("01"));
    onPort("[1PA]", "[1PA!00000010]");
    EXPECT_EQ(onPort("[0po]", "[1EE!]"), "[1EE!]");
    EXPECT_EQ(onPort("[0po]", "[1PA!00000010]"), "");
}

// The first character is awaited at least for the wire time of the request
// and of what was written just ahead of it (here a selection), plus the
// turnaround.
TEST_F(TransportTest, TheFirstCharacterIsAwaitedAtLeastForTheWireTimeOfWhatWasWritten)
{
    transport.einheit_waehlen(QStringLiteral("01"));
    const double t0 = clock.now();
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0VN]"), 0.001, protocol::Rejection::Ignore), keine_Antwort);
    EXPECT_NEAR(clock.now() - t0, 8 * (10.0 / 9600) + line::Turnaround, 0.0015);
}

// A main-loop tick with nothing to poll only selects its unit, a thousand
// times a second: each selection waits until the one before has crossed
// the wire, so the line never carries a queue the next exchange waits behind.
TEST_F(TransportTest, SelectionsNeverRunAheadOfTheWire)
{
    const double c = 10.0 / 9600;
    const double t0 = clock.now();
    for (int i = 0; i < 100; ++i)
        transport.einheit_waehlen(QStringLiteral("01"));
    EXPECT_EQ(line.writes.size(), 100);
    // A selection gets no reply, so it is paced with a margin for a slow line.
    EXPECT_NEAR(clock.now() - t0, 99 * 3 * c / line::ReplylessPace, 1e-6);
    // A reply shows that the line is free: the next selection goes at once.
    line.scriptReply("[0ST!00000000]", 0.001);
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), QStringLiteral("[0ST!00000000]"));
    const double t1 = clock.now();
    transport.einheit_waehlen(QStringLiteral("02"));
    EXPECT_EQ(clock.now(), t1);
    // On the bridge alike, at the bridge's baud.
    useUsb();
    clock.advance(1.0);
    const double t2 = clock.now();
    transport.einheit_waehlen(QStringLiteral("01"));
    transport.einheit_waehlen(QStringLiteral("01"));
    EXPECT_NEAR(clock.now() - t2, 3 * (10.0 / 38400) / line::ReplylessPace, 1e-6);
}

TEST_F(TransportTest, ASelectionMayHoldTheProgramOnlyForTheTransportsOwnWriteTimeout)
{
    // A window that owns the port for a while leaves its long write time-out
    // on it; a selection written afterwards (on every idle tick) must not
    // inherit it, or a far end that takes nothing holds the program that long.
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), keine_Antwort);
    const int own = serial.writeTimeouts.last();
    EXPECT_LE(own, 210);
    line::exchangeOnPort(serial, clock, "[1PA]", 10.0);
    ASSERT_GE(serial.writeTimeouts.last(), 10000);
    transport.einheit_waehlen(QStringLiteral("01"));
    EXPECT_EQ(line.writes.last(), QByteArray("\x12"
                                             "01"));
    EXPECT_EQ(serial.writeTimeouts.last(), own);
}

TEST_F(TransportTest, ClosedSerialPortGivesEmptyResultAndNoLog)
{
    serial.close();
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), QString());
    EXPECT_EQ(log.rowCount(), 0);
    // Selecting on a closed port writes nothing and throws nothing.
    transport.einheit_waehlen(QStringLiteral("01"));
    EXPECT_TRUE(line.writes.isEmpty());
}

TEST_F(TransportTest, RejectionRoutingByMode)
{
    line.scriptReply("[1GX?001D]");
    transport.senden_empfangen(QStringLiteral("[1GX]"), 0, protocol::Rejection::Show);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("[1GX?001D] index not found"));
    EXPECT_EQ(ui.beeps, 1);

    ui.clear();
    line.scriptReply("[1IA?001D]");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1IA]"), 0, protocol::Rejection::Show),
              QStringLiteral("[1IA?001D]"));
    line.scriptReply("[1GX?001D]");
    transport.senden_empfangen(QStringLiteral("[1GX]"), 0, protocol::Rejection::Ignore);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(ui.beeps, 0);
}

TEST_F(TransportTest, StatusFollowUpInModeOneIsBounded)
{
    // A unit that rejects every status query: one follow-up, then it stops.
    line.scriptReply("[0ST?0005]");
    line.scriptReply("[0ST?0005]");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]"), 0, protocol::Rejection::QueryStatus),
              QStringLiteral("[0ST!00000000]"));
    EXPECT_EQ(log.rowCount(), 2);
    EXPECT_EQ(line.writes.size(), 2);
    EXPECT_TRUE(ui.messages.isEmpty());

    // Another command rejected in mode 1 keeps its own reply.
    line.scriptReply("[1FR?0013]");
    line.scriptReply("[0ST!00000013]");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1FR00000010]"), 0, protocol::Rejection::QueryStatus),
              QStringLiteral("[1FR?0013]"));
    EXPECT_EQ(line.writes.last(), QByteArray("[0ST]"));
}

TEST_F(TransportTest, LogFilterPrefixAndCap)
{
    transport.einheit_waehlen(QStringLiteral("03"));
    line.scriptReply("[1PA!000010]");
    transport.senden_empfangen(QStringLiteral("[1PA]"));
    EXPECT_EQ(log.lines().first(), QStringLiteral("[1PA]-->[1PA!000010]"));

    log.setFilter(true);
    for (const char* cmd : {"[1PA]", "[0M1]", "[1IA]", "[1IS]"})
        transport.senden_empfangen(QString::fromLatin1(cmd), 0, protocol::Rejection::Ignore);
    EXPECT_EQ(log.rowCount(), 2);
    EXPECT_EQ(log.lines().first(), QStringLiteral("03 [1IS]-->1"));

    log.setFilter(false);
    log.clear();
    for (int i = 0; i < 1001; ++i)
        log.logExchange(QStringLiteral("[0ST]"), QString::number(i), QString());
    EXPECT_EQ(log.rowCount(), CommLog::MaxLines);
    EXPECT_EQ(log.lines().first(), QStringLiteral("[0ST]-->1000"));
    EXPECT_EQ(log.lines().last(), QStringLiteral("[0ST]-->1"));
}

TEST_F(TransportTest, UnitSelectionOnBothTransports)
{
    transport.einheit_waehlen(QStringLiteral("00-AA"));
    ASSERT_EQ(line.writes.size(), 1);
    EXPECT_EQ(line.writes[0], QByteArray("\x12"
                                         "00-AA"));
    EXPECT_EQ(transport.aktiveEinheit(), QStringLiteral("00-AA"));

    transport.einheit_waehlen(QString());
    EXPECT_EQ(line.writes.size(), 1);
    EXPECT_EQ(transport.aktiveEinheit(), QStringLiteral("00-AA"));

    useUsb();
    transport.einheit_waehlen(QStringLiteral("00-AA"));
    ASSERT_EQ(usb.pieces.size(), 1);
    EXPECT_EQ(usb.pieces[0], QByteArray("\x12"
                                        "00",
                                        3));
    transport.einheit_waehlen(QStringLiteral("5"));
    EXPECT_EQ(usb.pieces[1], QByteArray("\x12"
                                        "5\0",
                                        3));
}

TEST_F(TransportTest, SelectingOnAClosedPortSelectsNothing)
{
    transport.einheit_waehlen(QStringLiteral("01"));
    serial.close();
    transport.einheit_waehlen(QStringLiteral("02"));
    EXPECT_EQ(transport.aktiveEinheit(), QStringLiteral("01"));
    EXPECT_EQ(line.writes.size(), 1);
}

TEST_F(TransportTest, UsbWaitEndsOnTheDeadlineWhateverTheClockResolution)
{
    useUsb();
    // Far from its origin the clock cannot resolve the last sliver of a wait.
    clock.advance(1e9);
    // (At 38400 baud "[0ST]" and the turnaround margin take 11.3 ms: the
    // shortest wait is that, not 10 ms.)
    for (auto [timeout, waited] : {std::pair{0.01, 0.0113}, {0.05, 0.05}, {0.3, 0.3}}) {
        const double t0 = clock.now();
        EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]"), timeout, protocol::Rejection::Ignore),
                  keine_Antwort);
        EXPECT_NEAR(clock.now() - t0, waited, 0.001);
    }
}

TEST_F(TransportTest, UsbExchangeAndSilence)
{
    useUsb();
    line.script({{0.001, "[0ST!0000"}, {0.002, "0000]"}});
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), QStringLiteral("[0ST!00000000]"));

    // Silence with a working baud re-apply: no answer, the remembered baud re-applied.
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), keine_Antwort);
    EXPECT_EQ(usb.bauds, QList<quint32>{38400});
    EXPECT_EQ(transport.USBHandle, quintptr(7));

    // A failing re-apply closes the device; a partial reply is still no answer.
    usb.baudFails = true;
    line.scriptReply("[0ST!00");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), keine_Antwort);
    EXPECT_EQ(usb.closes, 1);
    EXPECT_EQ(transport.USBHandle, quintptr(0));
}

TEST_F(TransportTest, UsbLongCommandsGoOutInBufferSizedPieces)
{
    useUsb();
    const QString table = QStringLiteral("[1TB") + QString(600, QLatin1Char('7')) + QStringLiteral("]");
    line.scriptReply("[1TB!]");
    EXPECT_EQ(transport.senden_empfangen(table, 1.0), QStringLiteral("[1TB!]"));
    QByteArray joined;
    for (const QByteArray& p : usb.pieces) {
        EXPECT_LE(p.size(), 256);
        joined += p;
    }
    EXPECT_EQ(joined, table.toLatin1());

    // A backlog larger than the buffer is drained in pieces that fit.
    line.backlog(QByteArray(700, 'x'));
    line.scriptReply("[0ST!00000000]");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), QStringLiteral("[0ST!00000000]"));
    EXPECT_LE(usb.maxRead, 256u);
}

// The window the operator uses is painted before an exchange that may wait
// longer than 0.1 s (a store waits seconds), on both lines, before the wait
// starts; a short exchange (the axis search's probes) is not held up.
TEST_F(TransportTest, LongWaitHookRunsBeforeEveryExchangeThatMayWaitOverATenthOfASecond)
{
    struct Case
    {
        double timeout;
        bool hook;
    };
    const Case cases[] = {{0.0, true}, {0.02, false}, {0.1, false}, {0.11, true}, {0.2, true}, {5.0, true}};
    for (bool usbLine : {false, true}) {
        if (usbLine)
            useUsb();
        for (const Case& c : cases) {
            int calls = 0;
            double at = -1;
            transport.beforeLongWait = [&] {
                ++calls;
                at = clock.now();
            };
            const double t0 = clock.now();
            transport.senden_empfangen(QStringLiteral("[0ff01]"), c.timeout, protocol::Rejection::Ignore);
            EXPECT_EQ(calls, c.hook ? 1 : 0) << c.timeout << " usb " << usbLine;
            if (c.hook)
                EXPECT_LT(at - t0, 0.01) << c.timeout;
        }
    }
    transport.beforeLongWait = nullptr;
}

TEST(EreignissperreGuardTest, RestoresPreviousValue)
{
    FakeClock clock;
    ScriptedLine line(clock);
    ScriptedSerialPort serial(clock, line);
    ScriptedUsbBridge usb(clock, line);
    RecordingUiServices ui;
    CommLog log;
    BusTransport t(serial, usb, clock, ui, log);
    {
        EreignissperreGuard outer(t);
        {
            EreignissperreGuard inner(t);
            EXPECT_EQ(t.Ereignissperre, 1);
        }
        EXPECT_EQ(t.Ereignissperre, 1);
    }
    EXPECT_EQ(t.Ereignissperre, 0);
}

}  // namespace
