// The reply rule on its own: what `line::readReply` takes as the reply to a
// request, what it passes over and how the wait ends, for bytes that come on
// a scripted line at set times, read at 9600 baud by a fake clock.

#include "FakeTransportParts.h"
#include "LineReply.h"

#include <gtest/gtest.h>

namespace {

using End = line::ReplyEnd;
using enum line::ReplyEnd;
// Bytes on the line, each piece at its time after the write.
using On = QList<Piece>;
using Echoes = QList<QByteArray>;

// `text` in pieces of `size` characters, `gap` seconds apart, from `start` on.
On trickle(const QByteArray& text, double gap, double start = 0.001, int size = 1)
{
    On pieces;
    for (int i = 0; i < text.size(); i += size)
        pieces << Piece{start + gap * (i / size), text.mid(i, size)};
    return pieces;
}

struct Row
{
    const char* name;
    QByteArray command;
    On onLine;
    QByteArray reply;
    QByteArray discarded;
    End end;
    double ends;  // seconds after the write
    double timeout = 0.2;
    bool typed = false;  // an operator's raw command
    Echoes late = {};
    Echoes started = {};
};

TEST(LineReplyTest, TheReplyToARequestOnTheLine)
{
    const double c = 10.0 / 9600;
    const QByteArray st = "[0ST]";
    const QByteArray poll = "[0po]";
    const QByteArray longCommand = "[1PK" + QByteArray(35, '0') + "]";
    const QByteArray xl = "[1XL!" + QByteArray("000000,").repeated(30) + "]";
    const QByteArray ew = "[1ew!" + QByteArray(760, 'A') + "]";
    const Row rows[] = {
        {"a reply in pieces", st, On{{0.001, "[0S"}, {0.002, "T!0000"}, {0.003, "0000]"}}, "[0ST!00000000]", "",
         Complete, 0.003},
        {"a reply in round brackets", "(1AB)", On{{0.001, "(1AB!)"}}, "(1AB!)", "", Complete, 0.001},
        {"a long reply in quick pieces", "[1ew]", trickle(ew, 0.001, 0.001, 64), ew, "", Complete, 0.012, 1.0},
        // The time-out counts until the first character; a begun reply is
        // read on while characters keep coming.
        {"a record read on past the time-out", "[1XL]",
         On{{0.001, "[1XL!"}} + trickle(xl.mid(5, 210), 0.015, 0.016, 7) + On{{0.466, "]"}}, xl, "", Complete, 0.466},
        {"15 ms gap after the time-out", st, On{{0.19, "[0ST!0000"}, {0.205, "0000"}, {0.22, "]"}}, "[0ST!00000000]",
         "", Complete, 0.22},
        {"25 ms gap after the time-out", st, On{{0.19, "[0ST!0000"}, {0.215, "0000]"}}, "[0ST!0000", "", TimedOut,
         0.21},
        {"first character too late", st, On{{0.205, "[0ST!00000000]"}}, "", "", TimedOut, 0.2},
        {"silent long before the time-out", st, On{{0.001, "[0ST!0123456789ABCDEFGH"}, {0.3, "IJ]"}},
         "[0ST!0123456789ABCDEFGH", "", TimedOut, 0.2},
        // The first character is awaited at least for the wire time of the
        // request and the turnaround.
        {"a short time-out", "[0VN]", On{}, "", "", TimedOut, 0.02, 0.02},
        {"a time-out shorter than the request", "[0VN]", On{}, "", "", TimedOut, 5 * c + line::Turnaround, 0.001},
        {"a long request", longCommand, On{}, "", "", TimedOut, 40 * c + line::Turnaround, 0.01},
        {"a long request answered past its time-out", longCommand, On{{0.045, "[1PK!]"}}, "[1PK!]", "", Complete, 0.045,
         0.01},
        // Only the frame that echoes the command is its reply.
        {"late reply to an earlier command first", st, On{{0.001, "[1vE!00001234]"}, {0.03, "[0ST!00000001]"}},
         "[0ST!00000001]", "[1vE!00001234]", Complete, 0.03},
        {"stray message glued to the reply", st, On{{0.001, "xx[9XX!STRAY][0ST!00000002]"}}, "[0ST!00000002]",
         "xx[9XX!STRAY]", Complete, 0.001},
        {"a values-only frame answers only the channel read", st, On{{0.001, "[000A00,FFF600]"}}, "", "[000A00,FFF600]",
         TimedOut, 0.2},
        {"the channel read takes a values-only frame", "[0M1]", On{{0.001, "[000A00,FFF600]"}}, "[000A00,FFF600]", "",
         Complete, 0.001},
        {"a poll takes one whole frame of its own, never a stray or a glued read", poll,
         On{{0.001, "XX!STRAY][9XX!STRAY][1PA!00000010]"}, {0.05, "[0po!][9XX!STRAY]"}}, "[0po!]",
         "XX!STRAY][9XX!STRAY][1PA!00000010][9XX!STRAY]", Complete, 0.05},
        // A standing unit answers the poll with the final echo of its last
        // motion command, whichever window or line sent it; a "started"
        // echo is no end.
        {"a standing axis answers the poll with any move's final echo", poll,
         On{{0.001, "[9XX!STRAY][1FA>]"}, {0.05, "[1FR!][9XX!STRAY]"}}, "[1FR!]", "[9XX!STRAY][1FA>][9XX!STRAY]",
         Complete, 0.05 + line::Turnaround},
        {"a refused move ends the poll", poll, On{{0.001, "[1MR?0013]"}}, "[1MR?0013]", "", Complete,
         0.001 + line::Turnaround},
        {"the refused limit run of a reference run ends the poll", poll, On{{0.001, "[1FX?001A]"}}, "[1FX?001A]", "",
         Complete, 0.001 + line::Turnaround},
        {"a stop's echo ends the poll", poll, On{{0.001, "[1Br!]"}}, "[1Br!]", "", Complete, 0.001 + line::Turnaround},
        {"a command the unit started ends the poll", "[0po]", On{{0.001, "[1EE!]"}}, "[1EE!]", "", Complete,
         0.001 + line::Turnaround, 0.2, false, Echoes{}, Echoes{"[1EE"}},
        {"a command not known to have started ends no poll", poll, On{{0.001, "[1EE!]"}}, "", "[1EE!]", TimedOut, 0.2},
        {"no late reply nor an index read ends the poll", poll, On{{0.001, "[1PA!00000010][1IA?0000]"}}, "",
         "[1PA!00000010][1IA?0000]", TimedOut, 0.2},
        // A unit answers once and in order: a final echo right in front of
        // another answer was a late one.
        {"a final echo followed within the turnaround is a late one", poll,
         On{{0.001, "[1FA!]"}, {0.001 + line::Turnaround - c, "[0po!]"}}, "[0po!]", "[1FA!]", Complete,
         0.001 + line::Turnaround - c},
        {"a final echo followed after the turnaround is the answer", poll,
         On{{0.001, "[1FA!]"}, {0.004 + line::Turnaround, "[0po!]"}}, "[1FA!]", "", Complete, 0.001 + line::Turnaround},
        {"a move's final echo is no reply to a read", "[1PA]", On{{0.001, "[1FA!]"}, {0.03, "[1PA!00000010]"}},
         "[1PA!00000010]", "[1FA!]", Complete, 0.03},
        // A frame broken off by the next opening bracket is no reply, the
        // command's own neither.
        {"a torn reply is passed over", st, On{{0.001, "[0ST[0ST!00000002]"}}, "[0ST!00000002]", "[0ST", Complete,
         0.001},
        {"a torn poll reply and a stray are no end", poll, On{{0.001, "[0po[9XX!STRAY]"}}, "", "[0po[9XX!STRAY]",
         TimedOut, 0.2},
        // Only a bracket of the frame's own kind ends it or breaks it off.
        {"a text with the other brackets", "[0PL]", On{{0.001, "[0PL!Tisch)"}, {0.002, " (oben     ]"}},
         "[0PL!Tisch) (oben     ]", "", Complete, 0.002},
        {"a text with the other brackets, typed", "[0PL]", On{{0.001, "[0PL!Tisch)"}, {0.002, " (oben     ]"}},
         "[0PL!Tisch) (oben     ]", "", Complete, 0.002, 0.2, true},
        // An operator's raw command takes any reply as it comes, except the
        // late reply to an earlier command that got none.
        {"a typed command passes over a late reply", "[0VN]", On{{0.001, "[1vE!00001234]"}, {0.01, "[0VN!V1.0]"}},
         "[0VN!V1.0]", "[1vE!00001234]", Complete, 0.01, 0.2, true, Echoes{"[1vE"}},
        {"a typed command takes a stray", "[0VN]", On{{0.001, "[9XX!STRAY]"}}, "[9XX!STRAY]", "", Complete, 0.001, 0.2,
         true, Echoes{"[1vE"}},
        // Other frames are timed from their own first character, and only the
        // reply itself is waited for long past the time-out.
        {"a reply after passed-over frames is timed from its own start", st,
         On{{0.001, "[1vE!0000"}, {0.19, "1234]"}} + trickle("[0ST!" + QByteArray(50, '0') + "]", c, 0.19),
         "[0ST!" + QByteArray(50, '0') + "]", "[1vE!00001234]", Complete, 0.19 + 55 * c},
        {"a stray just in front of a reply past the time-out", st,
         trickle("[9XX!" + QByteArray(45, 'S') + "]", c, 0.19) + On{{0.19 + 52 * c, "[0ST!3]"}}, "[0ST!3]",
         "[9XX!" + QByteArray(45, 'S') + "]", Complete, 0.19 + 52 * c},
        {"a stream that is no frame", st, trickle(QByteArray(300, 'X'), c), "", QByteArray(192, 'X'), TimedOut, 0.2},
        {"only other frames, then silence", st, On{{0.001, "[1vE!00001234]"}, {0.1, "[1aE!0]"}}, "",
         "[1vE!00001234][1aE!0]", TimedOut, 0.2},
        {"another frame that never ends", st, On{{0.001, "[9XX!0123456789ABCDEFGHIJ"}}, "", "[9XX!0123456789ABCDEFGHIJ",
         TimedOut, 0.2},
        // Past the time-out, other frames hold the wait 100 characters' wire
        // time at most, and an open frame holds a command that is no frame
        // or an operator's command hardly longer than its own reply could.
        {"another frame streaming on", st, trickle("[9XX!" + QByteArray(400, 'S'), c), "",
         "[9XX!" + QByteArray(287, 'S'), TimedOut, 0.2 + 100 * c},
        {"a stream of whole other frames", st, trickle(QByteArray("[9XX!STRAY]").repeated(40), c), "",
         QByteArray("[9XX!STRAY]").repeated(26) + "[9XX!S", TimedOut, 0.2 + 100 * c},
        // "01": a command that is no frame, like a selection sent as an exchange.
        {"an open frame holds no command that is no frame", "01", trickle("[" + QByteArray(300, 'S'), c), "",
         "[" + QByteArray(191, 'S'), TimedOut, 0.2},
        {"a whole frame answers a command that is no frame", "01", On{{0.001, "[0VN!V1]"}}, "[0VN!V1]", "", Complete,
         0.001},
        {"an own reply that never closes is read to the longest reply", "[1XL]",
         trickle("[1XL!" + QByteArray(1200, 'S'), c), "[1XL!" + QByteArray(line::LongestReply - 4, 'S'), "", TimedOut,
         0.001 + line::LongestReply * c},
        {"an open frame holds a typed command to the longest reply", "[1XL]", trickle("[" + QByteArray(1200, 'S'), c),
         "[" + QByteArray(line::LongestReply, 'S'), "", TimedOut, 0.001 + line::LongestReply * c, 0.2, true},
        // The operator sees what the line carried by then.
        {"a stream that is no frame ends a typed command at its time-out", "[1XL]", trickle(QByteArray(300, 'X'), c),
         QByteArray(192, 'X'), "", TimedOut, 0.2, 0.2, true},
        // A far end that trickles is cut once it is far behind the line's speed.
        {"one character every 15 ms", st, trickle("[0ST!0000000000", 0.015), "[0ST!000000000", "", TimedOut, 0.2},
        {"at the line's speed past the time-out", st, trickle("[0ST!" + QByteArray(200, '0') + "]", 0.0011),
         "[0ST!" + QByteArray(200, '0') + "]", "", Complete, 0.001 + 205 * 0.0011},
        // A reply without end stops at the cap, and what waits behind it is
        // drained.
        {"a reply without end", "[1XL]", On{{0.001, "[1XL!" + QByteArray(3 * protocol::MaxReply, '0')}},
         "[1XL!" + QByteArray(protocol::MaxReply - 5, '0'), "", Capped, 0.001, 5.0},
    };
    FakeClock clock;
    ScriptedLine line(clock);
    ScriptedSerialPort serial(clock, line);
    line::SerialReplySource source(serial);
    serial.open();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        line.script(row.onLine);
        line.written(row.command);
        const double t0 = clock.now();
        const line::Request request{row.command, row.timeout, "])", row.typed, row.late, row.started};
        const line::Reply r = line::readReply(source, clock, line::replyRule(request, 9600, row.command.size() * c));
        EXPECT_EQ(r.bytes.toStdString(), row.reply.toStdString());
        EXPECT_EQ(r.discarded.toStdString(), row.discarded.toStdString());
        EXPECT_EQ(r.end, row.end);
        EXPECT_NEAR(clock.now() - t0, row.ends, 0.0015);
        // What comes after the reply is no part of the next row.
        clock.advance(10.0);
        line.take();
    }
}

TEST(LineReplyTest, EchoesAndTheLateOnesKept)
{
    EXPECT_EQ(line::echoOf("[1PA00000010]"), "[1PA");
    EXPECT_EQ(line::echoOf("(1AB)"), "(1AB");
    EXPECT_EQ(line::echoOf("[1]"), "[1");
    EXPECT_EQ(line::echoOf("01"), "");

    // The newest are kept; text that is no frame has no echo to keep.
    line::LateEchoes late;
    for (int i = 0; i <= line::LateEchoes::Kept; ++i)
        late.note("[" + QByteArray::number(i) + "vE]", false);
    late.note("01", false);
    EXPECT_EQ(late.echoes().size(), line::LateEchoes::Kept);
    EXPECT_EQ(late.echoes().first(), "[1vE");
    late.note("[1vE]", false);
    EXPECT_EQ(late.echoes().last(), "[1vE");
    late.note("[1vE]", true);
    EXPECT_FALSE(late.echoes().contains("[1vE"));
}

}  // namespace
