// The transport's exchange rules over scripted serial and USB lines: time-outs,
// completion, partial replies, drains, rejection routing, logging and unit
// selection.

#include "BusTransport.h"
#include "CommLog.h"
#include "FakeTransportParts.h"
#include "LineReply.h"
#include "TestSupport.h"
#include "UiServices.h"

#include <gtest/gtest.h>

namespace {

// `text` one character at a time, `gap` seconds apart, from `start` on.
QList<Piece> trickle(const QByteArray& text, double gap, double start = 0.001)
{
    QList<Piece> pieces;
    for (int i = 0; i < text.size(); ++i)
        pieces << Piece{start + gap * i, text.mid(i, 1)};
    return pieces;
}

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
    line.script({{0.001, "[0S"}, {0.002, "T!0000"}, {0.003, "0000]"}});
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), QStringLiteral("[0ST!00000000]"));

    line.scriptReply("(1AB!)");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("(1AB)")), QStringLiteral("(1AB!)"));

    // Cut off by the time-out: 19 characters are no answer, 20 are returned as they stand.
    line.scriptReply("[1ra!0123456789ABCD");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1ra]")), keine_Antwort);
    line.scriptReply("[1ra!0123456789ABCDE");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1ra]")), QStringLiteral("[1ra!0123456789ABCDE"));

    // A closing bracket that arrives only after the deadline is late.
    line.scriptReply("[0ST!00000000]", 0.25);
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), keine_Antwort);
}

TEST_F(TransportTest, LongReplyIsCollectedWhole)
{
    const QByteArray big = "[1ew!" + QByteArray(760, 'A') + "]";
    QList<Piece> pieces;
    for (int i = 0; i < big.size(); i += 64)
        pieces << Piece{0.001 * (i / 64 + 1), big.mid(i, 64)};
    line.script(pieces);
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1ew]"), 1.0), QString::fromLatin1(big));
}

TEST_F(TransportTest, DrainDiscardsStaleBytesBeforeWriting)
{
    line.backlog("[1PA!000010]");
    line.scriptReply("[0ST!00000000]");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), QStringLiteral("[0ST!00000000]"));
}

// The reply rule on the line: the time-out counts until the first
// character; a started reply is read on past it while characters keep
// coming and ends on a silence of 20 ms after it; what arrives after an
// exchange ended is discarded (and logged) before the next command goes out.
TEST_F(TransportTest, AStartedReplyIsReadOnWhileCharactersComeAndItsLateTailIsDiscarded)
{
    // A record that takes half a second, in pieces 15 ms apart.
    QList<Piece> record{{0.001, "[1XL!"}};
    for (int i = 1; i <= 30; ++i)
        record << Piece{0.001 + 0.015 * i, "000000,"};
    record << Piece{0.466, "]"};
    line.script(record);
    const QString whole = transport.senden_empfangen(QStringLiteral("[1XL]"), 0.2);
    EXPECT_EQ(whole.size(), 5 + 30 * 7 + 1);
    EXPECT_TRUE(whole.endsWith(QLatin1Char(']')));

    struct Case
    {
        const char* name;
        QList<Piece> reply;
        QString result;
        double ends;  // seconds after the write
        QString command = QStringLiteral("[0ST]");
        bool typed = false;  // an operator's raw command
    };
    const QString poll = QStringLiteral("[0po]");
    // A command that is no frame, like a selection sent as an exchange.
    const QString noFrame = QStringLiteral("01");
    const double c = 10.0 / 9600;
    const Case cases[] = {
        {"15 ms gap after the time-out", {{0.19, "[0ST!0000"}, {0.205, "0000"}, {0.22, "]"}}, "[0ST!00000000]", 0.22},
        {"25 ms gap after the time-out", {{0.19, "[0ST!0000"}, {0.215, "0000]"}}, keine_Antwort, 0.21},
        {"first character too late", {{0.205, "[0ST!00000000]"}}, keine_Antwort, 0.2},
        {"silent long before the time-out",
         {{0.001, "[0ST!0123456789ABCDEFGH"}, {0.3, "IJ]"}},
         "[0ST!0123456789ABCDEFGH",
         0.2},
        // Only the frame that echoes the command is its reply.
        {"late reply to an earlier command first",
         {{0.001, "[1vE!00001234]"}, {0.03, "[0ST!00000001]"}},
         "[0ST!00000001]",
         0.03},
        {"stray message glued to the reply", {{0.001, "xx[9XX!STRAY][0ST!00000002]"}}, "[0ST!00000002]", 0.001},
        {"a values-only frame answers only the channel read", {{0.001, "[000A00,FFF600]"}}, keine_Antwort, 0.2},
        {"the channel read takes a values-only frame",
         {{0.001, "[000A00,FFF600]"}},
         "[000A00,FFF600]",
         0.001,
         QStringLiteral("[0M1]")},
        {"a poll takes one whole frame of its own, never a stray or a glued read",
         {{0.001, "XX!STRAY][9XX!STRAY][1PA!00000010]"}, {0.05, "[0po!][9XX!STRAY]"}},
         "[0po!]",
         0.05,
         poll},
        // A standing unit answers the poll with the final echo of its last
        // motion command, whichever window or line sent it; a "started"
        // echo is no end.
        {"a standing axis answers the poll with any move's final echo",
         {{0.001, "[9XX!STRAY][1FA>]"}, {0.05, "[1FR!][9XX!STRAY]"}},
         "[1FR!]",
         0.05 + line::Turnaround,
         poll},
        {"a refused move ends the poll", {{0.001, "[1MR?0013]"}}, "[1MR?0013]", 0.001 + line::Turnaround, poll},
        {"the refused limit run of a reference run ends the poll",
         {{0.001, "[1FX?001A]"}},
         "[1FX?001A]",
         0.001 + line::Turnaround,
         poll},
        {"a stop's echo ends the poll", {{0.001, "[1Br!]"}}, "[1Br!]", 0.001 + line::Turnaround, poll},
        {"no late reply nor an index read ends the poll",
         {{0.001, "[1PA!00000010][1IA?0000]"}},
         keine_Antwort,
         0.2,
         poll},
        // A unit answers once and in order: a final echo right in front of
        // another answer was a late one.
        {"a final echo followed within the turnaround is a late one",
         {{0.001, "[1FA!]"}, {0.001 + line::Turnaround - c, "[0po!]"}},
         "[0po!]",
         0.001 + line::Turnaround - c,
         poll},
        {"a final echo followed after the turnaround is the answer",
         {{0.001, "[1FA!]"}, {0.004 + line::Turnaround, "[0po!]"}},
         "[1FA!]",
         0.001 + line::Turnaround,
         poll},
        {"a move's final echo is no reply to a read",
         {{0.001, "[1FA!]"}, {0.03, "[1PA!00000010]"}},
         "[1PA!00000010]",
         0.03,
         QStringLiteral("[1PA]")},
        // A frame broken off by the next opening bracket is no reply, the
        // command's own neither.
        {"a torn reply is passed over", {{0.001, "[0ST[0ST!00000002]"}}, "[0ST!00000002]", 0.001},
        // Only a bracket of the frame's own kind ends it or breaks it off.
        {"a text with the other brackets",
         {{0.001, "[0PL!Tisch)"}, {0.002, " (oben     ]"}},
         "",
         0.0,
         QStringLiteral("[0PL]")},
        {"a text with the other brackets, typed",
         {{0.001, "[0PL!Tisch)"}, {0.002, " (oben     ]"}},
         "",
         0.0,
         QStringLiteral("[0PL]"),
         true},
        {"a torn poll reply and a stray are no end", {{0.001, "[0po[9XX!STRAY]"}}, keine_Antwort, 0.2, poll},
        // Other frames are timed from their own first character, and only the
        // reply itself is waited for long past the time-out.
        {"a reply after passed-over frames is timed from its own start",
         QList<Piece>{{0.001, "[1vE!0000"}, {0.19, "1234]"}} + trickle("[0ST!" + QByteArray(50, '0') + "]", c, 0.19),
         QString::fromLatin1("[0ST!" + QByteArray(50, '0') + "]"), 0.19 + 55 * c},
        {"a stray just in front of a reply past the time-out",
         trickle("[9XX!" + QByteArray(45, 'S') + "]", c, 0.19) + QList<Piece>{{0.19 + 52 * c, "[0ST!3]"}}, "[0ST!3]",
         0.19 + 52 * c},
        {"a stream that is no frame", trickle(QByteArray(300, 'X'), c), keine_Antwort, 0.2},
        {"only other frames, then silence", {{0.001, "[1vE!00001234]"}, {0.1, "[1aE!0]"}}, keine_Antwort, 0.2},
        {"another frame that never ends", {{0.001, "[9XX!0123456789ABCDEFGHIJ"}}, keine_Antwort, 0.2},
        // Past the time-out, other frames hold the wait 100 characters' wire
        // time at most, and an open frame holds a command that is no frame
        // or an operator's command hardly longer than its own reply could.
        {"another frame streaming on", trickle("[9XX!" + QByteArray(400, 'S'), c), keine_Antwort, 0.2 + 100 * c},
        {"a stream of whole other frames", trickle(QByteArray("[9XX!STRAY]").repeated(40), c), keine_Antwort,
         0.2 + 100 * c},
        {"an open frame holds no command that is no frame", trickle("[" + QByteArray(300, 'S'), c), keine_Antwort, 0.2,
         noFrame},
        {"a whole frame answers a command that is no frame", {{0.001, "[0VN!V1]"}}, "[0VN!V1]", 0.001, noFrame},
        {"an own reply that never closes is read to the longest reply", trickle("[0ST!" + QByteArray(1200, 'S'), c),
         QString::fromLatin1("[0ST!" + QByteArray(line::LongestReply - 4, 'S')), 0.001 + line::LongestReply * c},
        {"an open frame holds a typed command to the longest reply", trickle("[" + QByteArray(1200, 'S'), c),
         QString::fromLatin1("[" + QByteArray(line::LongestReply, 'S')), 0.001 + line::LongestReply * c,
         QStringLiteral("[1XL]"), true},
        // The operator sees what the line carried by then.
        {"a stream that is no frame ends a typed command at its time-out", trickle(QByteArray(300, 'X'), c),
         QString(192, QLatin1Char('X')), 0.2, QStringLiteral("[1XL]"), true},
        // A far end that trickles is cut once it is far behind the line's speed.
        {"one character every 15 ms", trickle("[0ST!0000000000", 0.015), keine_Antwort, 0.2},
        {"at the line's speed past the time-out", trickle("[0ST!" + QByteArray(200, '0') + "]", 0.0011), "", 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line.script(c.reply);
        const double t0 = clock.now();
        QString whole;
        for (const Piece& p : c.reply)
            whole += QString::fromLatin1(p.bytes);
        // An empty result stands for the whole reply, read to its end.
        const QString result = c.typed ? transport.sendTyped(c.command, 0.2, protocol::Rejection::Ignore)
                                       : transport.senden_empfangen(c.command, 0.2, protocol::Rejection::Ignore);
        EXPECT_EQ(result, c.result.isEmpty() ? whole : c.result);
        EXPECT_NEAR(clock.now() - t0, c.ends > 0 ? c.ends : c.reply.constLast().at, 0.0015);
        // The rest of a cut reply lands before the next command: it is
        // dropped and logged, and the next reply is the next command's own.
        clock.advance(0.2);
        log.clear();
        line.scriptReply("[1PA!00000010]");
        EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1PA]")), QStringLiteral("[1PA!00000010]"));
        const bool tail = c.ends > 0 && c.ends < c.reply.constLast().at;
        EXPECT_EQ(log.lines().size(), tail ? 2 : 1) << qPrintable(log.lines().join(QLatin1Char('|')));
        if (tail)
            EXPECT_TRUE(log.lines().constLast().startsWith(QStringLiteral("discarded: ")))
                << qPrintable(log.lines().constLast());
    }
}

// Whatever the caller's time-out, the first character is awaited at least
// for the wire time of the request (with what was written just ahead of
// it) plus 10 ms for the unit to turn round; a unit that says nothing
// costs the caller's time-out when that is longer.
// An operator's raw command takes any reply as it comes, except the late
// reply to an earlier command that got none.
TEST_F(TransportTest, ATypedCommandPassesOverOnlyLateRepliesToEarlierCommands)
{
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[1vE]"), 0.1), keine_Antwort);
    line.script({{0.001, "[1vE!00001234]"}, {0.01, "[0VN!V1.0]"}});
    EXPECT_EQ(transport.sendTyped(QStringLiteral("[0VN]")), QStringLiteral("[0VN!V1.0]"));
    line.scriptReply("[9XX!STRAY]");
    EXPECT_EQ(transport.sendTyped(QStringLiteral("[0VN]")), QStringLiteral("[9XX!STRAY]"));
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

TEST_F(TransportTest, TheFirstCharacterIsAwaitedAtLeastForTheWireTimeOfTheRequest)
{
    const double c = 10.0 / 9600;
    const QString longCommand = QStringLiteral("[1PK") + QString(35, QLatin1Char('0')) + QLatin1Char(']');
    struct Case
    {
        QString command;
        double timeout;
        bool selectFirst;
        double waited;
    };
    const Case cases[] = {
        {QStringLiteral("[0VN]"), 0.02, false, 0.02},
        {QStringLiteral("[0VN]"), 0.001, false, 5 * c + 0.010},
        {QStringLiteral("[0VN]"), 0.001, true, 8 * c + 0.010},
        {longCommand, 0.01, false, 40 * c + 0.010},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.command.toStdString() + " " + std::to_string(k.timeout));
        clock.advance(1.0);
        if (k.selectFirst)
            transport.einheit_waehlen(QStringLiteral("01"));
        const double t0 = clock.now();
        EXPECT_EQ(transport.senden_empfangen(k.command, k.timeout, protocol::Rejection::Ignore), keine_Antwort);
        EXPECT_NEAR(clock.now() - t0, k.waited, 0.0015);
    }
    // A 40-character command answered after 45 ms, beyond its 10 ms time-out.
    line.scriptReply("[1PK!]", 0.045);
    EXPECT_EQ(transport.senden_empfangen(longCommand, 0.01), QStringLiteral("[1PK!]"));
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

TEST_F(TransportTest, ReplyWithoutEndStopsAtTheBound)
{
    line.scriptReply("[1XL!" + QByteArray(3 * BusTransport::MaxReply, '0'));
    const QString reply = transport.senden_empfangen(QStringLiteral("[1XL]"), 5.0);
    EXPECT_EQ(reply.size(), BusTransport::MaxReply);
    EXPECT_TRUE(reply.startsWith(QStringLiteral("[1XL!")));
    EXPECT_LT(clock.now() - 1000.0, 1.0) << "it ended at the bound, not at the time-out";
    line.scriptReply("[0ST!00000000]");
    EXPECT_EQ(transport.senden_empfangen(QStringLiteral("[0ST]")), QStringLiteral("[0ST!00000000]"));
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
