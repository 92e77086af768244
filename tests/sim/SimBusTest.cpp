// The simulated bus as the host sees it: which unit a selection reaches,
// what the units answer, and when the reply bytes arrive.

#include "Clock.h"
#include "SimBus.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const QByteArray DC2("\x12");

class SimBusTest : public ::testing::Test
{
protected:
    // Sends the bytes and collects everything due without moving the clock.
    QByteArray exchange(const QByteArray& bytes)
    {
        bus.write(bytes);
        return bus.read();
    }

    FakeClock clock;
    SimBus bus{clock};
};

TEST_F(SimBusTest, SelectionReachesOnlyTheNamedUnit)
{
    bus.addUnit("01");
    bus.addUnit("02").setStatusWord(0x00020000);

    EXPECT_EQ(exchange(DC2 + "01" + "[0ST]"), "[0ST!00000000]");
    EXPECT_EQ(exchange(DC2 + "02" + "[0ST]"), "[0ST!00020000]");
    // The selection stays until the next one.
    EXPECT_EQ(exchange("[0ST]"), "[0ST!00020000]");
    EXPECT_EQ(bus.unit("01")->received(), QStringList{"[0ST]"});
    EXPECT_EQ(bus.unit("02")->received(), (QStringList{"[0ST]", "[0ST]"}));
}

TEST_F(SimBusTest, SerialSelectionIgnoresTheTextAfterTheAddress)
{
    bus.addUnit("01");
    bus.addUnit("02");
    EXPECT_EQ(exchange(DC2 + "01-AA" + "[1PA]"), "[1PA!00000000]");

    // "00-AA" is the broadcast: everyone acts, nobody answers.
    EXPECT_EQ(exchange(DC2 + "00-AA" + "[0ST]"), "");
    EXPECT_EQ(bus.unit("01")->received().last(), "[0ST]");
    EXPECT_EQ(bus.unit("02")->received(), QStringList{"[0ST]"});
    EXPECT_EQ(bus.traffic().last(), (QPair<QString, QString>("00", "[0ST]")));
}

TEST_F(SimBusTest, UsbSelectionWithAZeroByteSelectsNobody)
{
    bus.addUnit("01");
    EXPECT_EQ(exchange(DC2 + "01" + "[0ST]"), "[0ST!00000000]");
    // DC2 "0" and a zero byte in place of a missing second character.
    EXPECT_EQ(exchange(DC2 + "0" + QByteArray(1, '\0') + "[0ST]"), "");
    EXPECT_EQ(bus.unit("01")->received().size(), 1);
}

TEST_F(SimBusTest, UnknownOrCutShortSelectionsAreSilent)
{
    bus.addUnit("01");
    EXPECT_EQ(exchange(DC2 + "5F" + "[0ST]"), "");
    EXPECT_EQ(exchange(DC2 + "0" + "[0ST]"), "");   // cut short by the frame
    EXPECT_EQ(exchange(DC2 + "0a" + "[0ST]"), "");  // addresses are upper case
    EXPECT_TRUE(bus.unit("01")->received().isEmpty());
    EXPECT_EQ(bus.traffic().size(), 3);
    EXPECT_EQ(bus.traffic().first().first, "5F");
}

TEST_F(SimBusTest, BytesMayArriveInAnyPieces)
{
    bus.addUnit("0A");
    const QByteArray all = DC2 + "0A" + "garbage[0S" + "[0ST]";
    for (char c : all)
        bus.write(QByteArray(1, c));
    // The unfinished "[0S" is dropped when the next frame opens.
    EXPECT_EQ(bus.read(), "[0ST!00000000]");
    EXPECT_EQ(bus.unit("0A")->received(), QStringList{"[0ST]"});
}

TEST_F(SimBusTest, UnitsAnswerTheirCommandsFromTheirState)
{
    SimUnit& axis = bus.addUnit("01");
    axis.setStatusWord(0x00010019);
    axis.setPosition(-1);
    axis.setInputWord(0x0100000C);
    axis.setChannels({0x000A00, -2560, 0x7FFFFF});
    bus.write(DC2 + "01");

    EXPECT_EQ(exchange("[0ST]"), "[0ST!00010019]");
    EXPECT_EQ(exchange("[1PA]"), "[1PA!00FFFFFF]");
    axis.setPosition(0x123456);
    EXPECT_EQ(exchange("[1PA]"), "[1PA!00123456]");
    EXPECT_EQ(exchange("[0IN]"), "[0IN!0100000C]");
    // Six digits and one separator per channel: 27 characters for three.
    const QByteArray m1 = exchange("[0M1]");
    EXPECT_EQ(m1.size(), 27);
    EXPECT_EQ(m1.mid(5, 6), "000A00");
    EXPECT_EQ(m1.mid(12, 6), "FFF600");
    EXPECT_EQ(m1.mid(19, 6), "7FFFFF");
    EXPECT_TRUE(m1.endsWith(']'));

    const QByteArray ra = exchange("[1ra]");
    EXPECT_EQ(ra.size(), 5 + 156 + 1);
    EXPECT_TRUE(ra.startsWith("[1ra!"));
    axis.setRegisters(QByteArray(156, 'F'));
    EXPECT_EQ(exchange("[1ra]").mid(5, 156), QByteArray(156, 'F'));
}

TEST_F(SimBusTest, VersionTextTellsScaleBoardsApart)
{
    bus.addUnit("01");
    bus.addUnit("11");
    const QByteArray axis = exchange(DC2 + "01" + "[0VN]");
    const QByteArray scale = exchange(DC2 + "11" + "[0VN]");
    EXPECT_TRUE(axis.startsWith("[0VN!"));
    EXPECT_NE(axis.mid(5, 2), "IK");
    EXPECT_EQ(scale.mid(5, 2), "IK");
    bus.unit("01")->setVersion("MOT 3.2");
    EXPECT_EQ(exchange(DC2 + "01" + "[0VN]"), "[0VN!MOT 3.2]");
}

TEST_F(SimBusTest, UnknownCommandsAreRejectedWithCode0005)
{
    bus.addUnit("01");
    bus.write(DC2 + "01");
    EXPECT_EQ(exchange("[1XY]"), "[1XY?0005]");
    EXPECT_EQ(exchange("[1ST]"), "[1ST?0005]");  // the status belongs to the board
    EXPECT_EQ(exchange("[1QA00001234]"), "[1QA?0005]");
    EXPECT_EQ(exchange("[]"), "[?0005]");
    // Parenthesised frames are echoed with their own brackets.
    EXPECT_EQ(exchange("(0ST)"), "(0ST!00000000)");
    EXPECT_EQ(exchange("(1XY)"), "(1XY?0005)");
}

TEST_F(SimBusTest, HandlersComeBeforeTheModelAndTheLongestPrefixWins)
{
    SimUnit& u = bus.addUnit("21");
    u.setHandler("0ff", [](SimUnit&, const SimCommand& c) { return std::optional(c.accepted("short")); });
    u.setHandler("0ff0", [](SimUnit&, const SimCommand& c) { return std::optional(c.accepted({}, 5)); });
    u.setHandler("0ST", [](SimUnit&, const SimCommand& c) { return std::optional(c.rejected(0x14)); });
    // A handler that declines leaves the command to the model.
    u.setHandler("1PA", [](SimUnit&, const SimCommand&) { return std::optional<QByteArray>(); });
    // An empty reply is a command obeyed in silence.
    u.setHandler("0SW", [](SimUnit&, const SimCommand&) { return std::optional(QByteArray()); });
    bus.write(DC2 + "21");

    EXPECT_EQ(exchange("[0ff1]"), "[0ff!short]");
    EXPECT_EQ(exchange("[0ff02]"), "[0ff02!]");
    EXPECT_EQ(exchange("[0ST]"), "[0ST?0014]");
    EXPECT_EQ(exchange("[1PA]"), "[1PA!00000000]");
    EXPECT_EQ(exchange("[0SW]"), "");

    u.setHandler("0ST", nullptr);
    EXPECT_EQ(exchange("[0ST]"), "[0ST!00000000]");

    struct Echo : SimDeviceModel
    {
        std::optional<QByteArray> handle(SimUnit&, const SimCommand& c) override
        {
            return c.body() == "0EC" ? std::optional(c.accepted("E")) : std::nullopt;
        }
    };
    u.setModel(std::make_unique<Echo>());
    EXPECT_EQ(exchange("[0EC]"), "[0EC!E]");
    EXPECT_EQ(exchange("[0ST]"), "[0ST?0005]");
}

TEST_F(SimBusTest, UnitsAtAnotherBaudCannotHearTheHost)
{
    bus.addUnit("03", 38400);
    bus.addUnit("04");
    EXPECT_EQ(exchange(DC2 + "03" + "[0ST]"), "");
    EXPECT_TRUE(bus.unit("03")->received().isEmpty());

    bus.setHostBaud(38400);
    // The earlier selection was never decoded by "03".
    EXPECT_EQ(exchange("[0ST]"), "");
    EXPECT_EQ(exchange(DC2 + "03" + "[0ST]"), "[0ST!00000000]");

    // A selection sent at 9600 is lost on "03", which therefore stays
    // selected, and "04" cannot hear the command that follows at 38400.
    bus.setHostBaud(9600);
    bus.write(DC2 + "04");
    bus.setHostBaud(38400);
    EXPECT_EQ(exchange("[0ST]"), "[0ST!00000000]");
    EXPECT_EQ(bus.unit("03")->received().size(), 2);
    EXPECT_EQ(bus.unit("04")->received().size(), 0);
}

TEST_F(SimBusTest, AddressesAreCheckedAndGiveTheType)
{
    EXPECT_THROW(bus.addUnit("00"), std::invalid_argument);
    EXPECT_THROW(bus.addUnit("1"), std::invalid_argument);
    EXPECT_THROW(bus.addUnit("0a"), std::invalid_argument);
    EXPECT_EQ(bus.addUnit("8F").type(), UnitType::Mot);
    EXPECT_EQ(bus.addUnit("3A").type(), UnitType::AKIK);
    EXPECT_EQ(bus.addUnit("C1").type(), UnitType::UM);
    EXPECT_EQ(bus.addUnit("61").type(), UnitType::Unknown);

    bus.removeUnit("8F");
    EXPECT_EQ(bus.unit("8F"), nullptr);
    EXPECT_EQ(exchange(DC2 + "8F" + "[0ST]"), "");
}

TEST_F(SimBusTest, SilentUnitsReceiveButNeverAnswer)
{
    SimUnit& u = bus.addUnit("01");
    u.setSilent(true);
    EXPECT_EQ(exchange(DC2 + "01" + "[0ST]"), "");
    EXPECT_EQ(bus.nextDueIn(), -1.0);
    EXPECT_EQ(u.received(), QStringList{"[0ST]"});
}

TEST_F(SimBusTest, ScriptedRejectionsAreUsedUpInOrder)
{
    SimUnit& u = bus.addUnit("01");
    u.rejectNext("[1GX", 0x1D, 2);
    u.rejectNext("[0ST]", 0x14);
    bus.write(DC2 + "01");
    EXPECT_EQ(exchange("[1GX]"), "[1GX?001D]");
    EXPECT_EQ(exchange("[0ST]"), "[0ST?0014]");
    EXPECT_EQ(exchange("[1GX00000001]"), "[1GX?001D]");
    EXPECT_EQ(exchange("[1GX]"), "[1GX>]");  // the axis searches its index
    EXPECT_EQ(exchange("[0ST]"), "[0ST!00000000]");
}

TEST_F(SimBusTest, GarbageAndOverlongReplies)
{
    SimUnit& u = bus.addUnit("01");
    bus.write(DC2 + "01");
    u.setReplyLength(800);
    const QByteArray longReply = exchange("[1PA]");
    EXPECT_EQ(longReply.size(), 800);
    EXPECT_TRUE(longReply.startsWith("[1PA!00000000"));
    EXPECT_TRUE(longReply.endsWith(']'));
    u.setReplyLength(0);

    u.setGarbageReply(QByteArray("\xff\x00~#", 4));
    EXPECT_EQ(exchange("[0ST]"), QByteArray("\xff\x00~#", 4));
    u.setGarbageReply({});
    EXPECT_EQ(exchange("[0ST]"), "[0ST!00000000]");

    // A stray message lands right in front of the replies to one command.
    u.setStrayBefore("[0po", "[9XX!STRAY]");
    EXPECT_EQ(exchange("[0po]"), "[9XX!STRAY][0po]");
    EXPECT_EQ(exchange("[0ST]"), "[0ST!00000000]");
}

// --- When reply bytes arrive -------------------------------------------------

TEST_F(SimBusTest, RepliesAreDueAtOnceUnlessDelayed)
{
    SimUnit& u = bus.addUnit("01");
    bus.write(DC2 + "01" + "[0ST]");
    EXPECT_EQ(bus.nextDueIn(), 0.0);
    EXPECT_EQ(bus.bytesDue(), 14);
    EXPECT_EQ(bus.read(4), "[0ST");
    EXPECT_EQ(bus.read(), "!00000000]");
    EXPECT_EQ(bus.nextDueIn(), -1.0);

    u.setReplyDelay(0.05);
    bus.write("[0ST]");
    EXPECT_NEAR(bus.nextDueIn(), 0.05, 1e-9);
    clock.advance(0.049);
    EXPECT_EQ(bus.bytesDue(), 0);
    EXPECT_EQ(bus.read(), "");
    clock.advance(0.001);
    EXPECT_EQ(bus.read(), "[0ST!00000000]");
}

TEST_F(SimBusTest, RepliesInPiecesArriveWithGaps)
{
    bus.addUnit("01").setReplyPieces(3, 0.01);
    bus.write(DC2 + "01" + "[0ST]");
    EXPECT_EQ(bus.read(), "[0ST!");
    EXPECT_NEAR(bus.nextDueIn(), 0.01, 1e-9);
    clock.advance(0.01);
    EXPECT_EQ(bus.read(), "00000");
    clock.advance(0.01);
    EXPECT_EQ(bus.read(), "000]");
}

TEST_F(SimBusTest, PacingCostsTheCommandAndEveryReplyCharacter)
{
    bus.addUnit("01").setReplyDelay(0.002);
    bus.setPacing(true);
    const double c = 10.0 / 9600;
    EXPECT_DOUBLE_EQ(bus.characterTime(), c);
    bus.write(DC2 + "01" + "[0ST]");

    // First reply character: the selection and the command cross the wire
    // (eight characters), the delay, one more.
    EXPECT_NEAR(bus.nextDueIn(), 8 * c + 0.002 + c, 1e-12);
    clock.advance(8 * c + 0.002 + c);
    EXPECT_EQ(bus.read(), "[");
    clock.advance(12 * c);
    EXPECT_EQ(bus.bytesDue(), 12);
    clock.advance(c);
    EXPECT_EQ(bus.read(), "0ST!00000000]");

    // The character time follows the host baud.
    bus.setHostBaud(19200);
    bus.unit("01")->setBaud(19200);
    bus.write(DC2 + "01" + "[1PA]");
    EXPECT_NEAR(bus.nextDueIn(), 9 * (10.0 / 19200) + 0.002, 1e-12);

    // A line ten per cent slow: every character takes 10 / (0.9 × baud).
    clock.advance(1.0);
    bus.read();
    bus.setWireBaud(17280);
    bus.write("[0ST]");
    EXPECT_NEAR(bus.nextDueIn(), 6 * (10.0 / 17280) + 0.002, 1e-12);
}

TEST_F(SimBusTest, PacedHostBytesWaitInTheLineLikeAPortsOutputQueue)
{
    bus.addUnit("01");
    bus.setPacing(true);
    const double c = bus.characterTime();
    // A thousand selections written at once take the wire for 3000
    // character times; a command behind them is answered only after that.
    for (int i = 0; i < 1000; ++i)
        bus.write(DC2 + "01");
    EXPECT_NEAR(bus.outputBacklog(), 3000 * c, 1e-9);
    bus.write("[0ST]");
    EXPECT_NEAR(bus.nextDueIn(), 3006 * c, 1e-9);
    clock.advance(1.0);
    EXPECT_NEAR(bus.outputBacklog(), 3005 * c - 1.0, 1e-9);
    clock.advance(3020 * c - 1.0);
    EXPECT_EQ(bus.read(), "[0ST!00000000]");
    EXPECT_EQ(bus.outputBacklog(), 0.0);
    // Once the line is idle, a byte takes one character time from its write.
    bus.write("[0ST]");
    EXPECT_NEAR(bus.nextDueIn(), 6 * c, 1e-9);
    // Unpaced, nothing waits.
    clock.advance(1.0);
    bus.read();
    bus.setPacing(false);
    bus.write(DC2 + "01" + "[0ST]");
    EXPECT_EQ(bus.outputBacklog(), 0.0);
    EXPECT_EQ(bus.read(), "[0ST!00000000]");
}

TEST_F(SimBusTest, LaterRepliesWaitForTheLineToBeFree)
{
    bus.addUnit("01").setReplyDelay(0.1);
    bus.addUnit("02");
    bus.setPacing(true);
    const double c = bus.characterTime();
    bus.write(DC2 + "01" + "[0ST]" + DC2 + "02" + "[1PA]");
    clock.advance(0.1 + 22 * c);
    EXPECT_EQ(bus.read(), "[0ST!00000000]");
    // The quick unit's reply starts only after the slow one's, still paced.
    clock.advance(c);
    EXPECT_EQ(bus.read(), "[");
    EXPECT_NEAR(bus.nextDueIn(), c, 1e-9);
    clock.advance(13 * c);
    EXPECT_EQ(bus.read(), "1PA!00000000]");
}

TEST_F(SimBusTest, TrafficLogsEveryCommandWithItsSelection)
{
    bus.addUnit("01");
    bus.write("[0ST]");
    bus.write(DC2 + "01" + "[1PA]" + DC2 + "7E" + "(0VN)");
    const QList<QPair<QString, QString>> expected{{"", "[0ST]"}, {"01", "[1PA]"}, {"7E", "(0VN)"}};
    EXPECT_EQ(bus.traffic(), expected);
    bus.clearTraffic();
    EXPECT_TRUE(bus.traffic().isEmpty());
    EXPECT_TRUE(bus.unit("01")->received().isEmpty());
}

}  // namespace
