// The simulated motor axis as the host sees it on the bus: motion over time,
// stops, refusals, switches, index capture and the parameter registers.

#include "Clock.h"
#include "Protocol.h"
#include "SimAxis.h"
#include "SimBus.h"
#include "SimServoLoop.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const QByteArray DC2("\x12");

class SimAxisTest : public ::testing::Test
{
protected:
    SimAxisTest()
    {
        bus.addUnit("01");
        bus.write(DC2 + "01");
    }

    QByteArray exchange(const QByteArray& command)
    {
        bus.write(command);
        return bus.read();
    }

    // Polls "[0po]" every `step` seconds until the axis stands; the answer
    // that ended the wait.
    QByteArray waitForEnd(double step = 0.01)
    {
        for (int i = 0; i < 100000; ++i) {
            const QByteArray reply = exchange("[0po]");
            if (reply != "[0po!]")
                return reply;
            clock.advance(step);
        }
        return {};
    }

    SimAxis axis() { return SimAxis(bus, "01"); }

    FakeClock clock;
    SimBus bus{clock};
};

// Defaults: positioning at 50000 counts/s and 1e6 counts/s².
TEST_F(SimAxisTest, TrapezoidalMoveEndsExactlyAtTheComputedTime)
{
    EXPECT_EQ(exchange("[0po]"), "[0po]");           // no motion yet
    EXPECT_EQ(exchange("[1FA000186A0]"), "[1FA>]");  // 100000 counts
    // Ramps of 0.05 s and 1250 counts, cruise of 1.95 s: 2.05 s in all.
    clock.advance(1.0);
    EXPECT_NEAR(axis().position(), 1250 + 50000 * 0.95, 1);
    clock.advance(1.049);
    EXPECT_EQ(exchange("[0po]"), "[0po!]");
    EXPECT_TRUE(axis().isMoving());
    EXPECT_GT(axis().position(), 99990);
    EXPECT_LT(axis().position(), 100000);
    clock.advance(0.002);
    EXPECT_EQ(exchange("[0po]"), "[1FA!]");
    EXPECT_EQ(axis().position(), 100000);
    EXPECT_EQ(exchange("[0po]"), "[1FA!]");  // the final echo stays
}

TEST_F(SimAxisTest, ShortRelativeMoveIsATriangleAndPollingDoesNotChangeIt)
{
    bus.addUnit("02");
    SimAxis quiet(bus, "02");
    EXPECT_EQ(exchange("[1FRFFFFFC18]"), "[1FR>]");
    EXPECT_EQ(exchange(DC2 + "02" + "[1FRFFFFFC18]"), "[1FR>]");
    bus.write(DC2 + "01");
    // 2·sqrt(1000 / 1e6) = 0.0632 s, polled every millisecond on "01" only.
    int polls = 0;
    while (exchange("[0po]") == "[0po!]") {
        clock.advance(0.001);
        ++polls;
    }
    EXPECT_EQ(polls, 64);
    EXPECT_EQ(exchange("[1PA]"), "[1PA!00FFFC18]");
    EXPECT_EQ(quiet.position(), -1000);
    EXPECT_FALSE(quiet.isMoving());
}

TEST_F(SimAxisTest, SpeedAndAccelerationFollowTheModeAndTheUnits)
{
    axis().model().setPlusSwitch(100000);
    exchange("[1VE000A]");  // limit runs at 10000 counts/s
    EXPECT_EQ(exchange("[1FX]"), "[1FX>]");
    clock.advance(10.0);  // 0.01 s ramps, 9.99 s cruise
    EXPECT_EQ(exchange("[0po]"), "[0po!]");
    clock.advance(0.02);
    EXPECT_EQ(exchange("[0po]"), "[1FX!]");
    EXPECT_EQ(axis().position(), 100000);

    // Newer controllers count speed in 1/256 count a sample: 3200 is the
    // default 50000 counts/s again, 2.05 s for 100000 counts.
    axis().model().setFineSpeedUnits(true);
    exchange("[1VP3200]");
    EXPECT_EQ(exchange("[1FA00000000]"), "[1FA>]");
    clock.advance(2.049);
    EXPECT_TRUE(axis().isMoving());
    clock.advance(0.002);
    EXPECT_EQ(axis().position(), 0);
    exchange("[1VP0000]");
    EXPECT_EQ(exchange("[1FA00000000]"), "[1FA?0007]");
}

// Every motion command answers as the protocol's table says: ">" as the axis
// sets off, or "!" at once, and the poll then ends on its final echo.
TEST_F(SimAxisTest, MotionCommandsAnswerAsTheProtocolTableSays)
{
    axis().model().setMinusSwitch(-2000);
    axis().model().setPlusSwitch(2000);
    axis().model().setIndexMarks({-1000, 1000});
    for (const protocol::MotionCommand& m : protocol::MotionCommands) {
        if (m.motion == protocol::Motion::BackOff)
            continue;  // the simulated axis has no back-off run
        SCOPED_TRACE(m.letters);
        axis().setPosition(0);
        const QByteArray argument = m.motion == protocol::Motion::Move ? "000001F4" : "";
        EXPECT_EQ(exchange(m.echo() + argument + "]"), m.echo() + (m.answersStarted ? ">]" : "!]"));
        EXPECT_EQ(waitForEnd(), m.echo() + "!]");
    }
}

TEST_F(SimAxisTest, StopHaltsAtOnceAndOtherMotionsWaitForTheAxis)
{
    exchange("[1FA000186A0]");
    clock.advance(0.5);
    EXPECT_EQ(exchange("[1FA00000010]"), "[1FA?0014]");
    EXPECT_EQ(exchange("[1PR]"), "[1PR?0014]");
    EXPECT_EQ(exchange("[1BR]"), "[1BR!]");
    const qint32 stopped = axis().position();
    EXPECT_NEAR(stopped, 1250 + 50000 * 0.45, 1);
    clock.advance(5);
    EXPECT_EQ(axis().position(), stopped);
    EXPECT_EQ(exchange("[0po]"), "[1BR!]");

    // A piezo move may replace a running piezo move.
    EXPECT_EQ(exchange("[1MA00000000]"), "[1MA>]");
    clock.advance(0.1);
    EXPECT_EQ(exchange("[1MA00002710]"), "[1MA>]");
    EXPECT_EQ(waitForEnd(), "[1MA!]");
    EXPECT_EQ(axis().position(), 10000);
    EXPECT_EQ(exchange("[1SR00000000]"), "[1SR!]");  // nothing to do

    // A position set on the unit ends a motion there.
    exchange("[1FA00000000]");
    bus.unit("01")->setPosition(777);
    EXPECT_NE(exchange("[0po]"), "[0po!]");
    clock.advance(1);
    EXPECT_EQ(exchange("[1PA]"), "[1PA!00000309]");
}

TEST_F(SimAxisTest, SoftwareLimitsRefuseTargetsBeyondThem)
{
    EXPECT_EQ(exchange("[1l5]"), "[1l5!FF800001]");
    EXPECT_EQ(exchange("[1L5FFFFF830]"), "[1L5!]");  // -2000
    EXPECT_EQ(exchange("[1L600000BB8]"), "[1L6!]");  // 3000
    EXPECT_EQ(exchange("[1l5]"), "[1l5!FFFFF830]");
    EXPECT_EQ(exchange("[1FA00000BB9]"), "[1FA?0013]");
    EXPECT_EQ(exchange("[1FRFFFFF82F]"), "[1FR?0013]");
    EXPECT_EQ(exchange("[0po]"), "[1FR?0013]");
    EXPECT_EQ(exchange("[1FA00000BB8]"), "[1FA>]");
    EXPECT_EQ(waitForEnd(), "[1FA!]");
    // Relative targets beyond the 24-bit counter are refused too.
    exchange("[1L6007FFFFF]");
    EXPECT_EQ(exchange("[1FR007FFFFF]"), "[1FR?0013]");
    // Without a switch a limit run ends on the software limit.
    exchange("[1L600001388]");
    EXPECT_EQ(exchange("[1FX]"), "[1FX>]");
    EXPECT_EQ(waitForEnd(), "[1FX?000D]");
    EXPECT_EQ(axis().position(), 5000);
}

TEST_F(SimAxisTest, SwitchesStopMovesOnTheirEdgeAndRefuseMovesIntoThem)
{
    axis().model().setMinusSwitch(-5000);
    axis().model().setPlusSwitch(80000);
    EXPECT_EQ(exchange("[0IN]").mid(6, 2), "00");

    EXPECT_EQ(exchange("[1FA000186A0]"), "[1FA>]");
    EXPECT_EQ(waitForEnd(), "[1FA?001A]");
    EXPECT_EQ(axis().position(), 80000);
    EXPECT_EQ(exchange("[0IN]").mid(6, 2), "10");
    EXPECT_EQ(exchange("[1FR00000001]"), "[1FR?001A]");
    EXPECT_EQ(exchange("[1FX]"), "[1FX!]");  // already there

    EXPECT_EQ(exchange("[1FY]"), "[1FY>]");
    EXPECT_EQ(waitForEnd(), "[1FY!]");
    EXPECT_EQ(axis().position(), -5000);
    EXPECT_EQ(exchange("[0IN]").mid(6, 2), "01");
    EXPECT_EQ(exchange("[1SRFFFFFFFF]"), "[1SR?0019]");
    EXPECT_EQ(exchange("[1SR000003E8]"), "[1SR>]");  // off the switch
    EXPECT_EQ(waitForEnd(), "[1SR!]");
    EXPECT_EQ(exchange("[0IN]").mid(6, 2), "00");

    // Both closed, and the unit's own input bits kept.
    axis().model().setMinusSwitch(-3000);
    axis().model().setPlusSwitch(-4000);
    bus.unit("01")->setInputWord(0x00000100);
    EXPECT_EQ(exchange("[0IN]"), "[0IN!01100100]");
}

TEST_F(SimAxisTest, IndexCaptureAndIndexSearch)
{
    axis().model().setIndexMarks({12345, 30000, -1000});
    axis().model().setPlusSwitch(50000);
    EXPECT_EQ(exchange("[1IA]"), "[1IA?001D]");
    EXPECT_EQ(exchange("[1IF]"), "[1IF!]");
    exchange("[1FA00004E20]");  // 20000, across 12345
    clock.advance(0.1);
    EXPECT_EQ(exchange("[1IA]"), "[1IA?001D]");  // not there yet
    waitForEnd();
    exchange("[1FA00009C40]");  // 40000, across 30000 as well
    waitForEnd();
    EXPECT_EQ(exchange("[1IA]"), "[1IA!00003039]");
    EXPECT_EQ(exchange("[1IS]"), "[1IS!]");
    EXPECT_EQ(exchange("[1IA]"), "[1IA?001D]");

    EXPECT_EQ(exchange("[1GY]"), "[1GY>]");
    EXPECT_EQ(waitForEnd(), "[1GY!]");
    EXPECT_EQ(axis().position(), 30000);
    exchange("[1IF]");
    exchange("[1GY]");
    waitForEnd();
    EXPECT_EQ(axis().position(), 12345);
    exchange("[1GY]");
    waitForEnd();
    EXPECT_EQ(exchange("[1IA]"), "[1IA!00003039]");  // the first mark only
    EXPECT_EQ(axis().position(), -1000);

    // No mark ahead: the search ends on the plus switch.
    axis().setPosition(35000);
    EXPECT_EQ(exchange("[1GX]"), "[1GX>]");
    EXPECT_EQ(waitForEnd(), "[1GX?001D]");
    EXPECT_EQ(axis().position(), 50000);
    EXPECT_EQ(exchange("[1GX]"), "[1GX?001D]");

    exchange("[1IF]");
    axis().setPosition(-5000);  // a jump passes no mark
    exchange("[1GX]");
    waitForEnd();
    EXPECT_EQ(exchange("[1IA]"), "[1IA!FFFFFC18]");
}

TEST_F(SimAxisTest, ZeroingMovesTheSwitchesWithTheZeroPoint)
{
    axis().model().setMinusSwitch(-20000);
    axis().model().setPlusSwitch(80000);
    axis().setPosition(5000);
    EXPECT_EQ(exchange("[1PR]"), "[1PR!]");
    EXPECT_EQ(exchange("[1PA]"), "[1PA!00000000]");
    exchange("[1FX]");
    waitForEnd();
    EXPECT_EQ(axis().position(), 75000);
    exchange("[1FY]");
    waitForEnd();
    EXPECT_EQ(axis().position(), -25000);
}

TEST_F(SimAxisTest, WrittenParametersReadBackAndOtherCommandsAnswer)
{
    const QList<QPair<QByteArray, QByteArray>> written{
        {"[1VP1234]", "[1vP]"},
        {"[1AT00FF]", "[1aT]"},
        {"[1PS0000ABCD]", "[1pS]"},
        {"[0PS" + QByteArray("X-Achse links").leftJustified(20) + "]", "[0PL]"},
        {"[0LS" + QByteArray("ram name").leftJustified(20) + "]", "[0LL]"},
        {"[0LS" + QByteArray("Tisch) X (oben").leftJustified(20) + "]", "[0LL]"},
    };
    for (const auto& [write, read] : written) {
        const QByteArray value = write.mid(4, write.size() - 5);
        EXPECT_EQ(exchange(write), write.left(4) + "!]");
        EXPECT_EQ(exchange(read), read.left(4) + "!" + value + "]");
    }
    EXPECT_EQ(exchange("[1VP123]"), "[1VP?0005]");
    EXPECT_EQ(exchange("[1vP]"), "[1vP!1234]");  // unchanged by the bad write
    EXPECT_EQ(exchange("[1FA1234]"), "[1FA?0005]");
    EXPECT_EQ(exchange("[2PA]"), "[2PA?0005]");

    // The EEPROM store answers once the memory has taken the values.
    EXPECT_EQ(exchange("[0ff01]"), "");
    clock.sleep(SimEeprom::StoreDelay);
    EXPECT_EQ(bus.read(), "[0ff!]");
    EXPECT_EQ(exchange("[0pe]"), "[0pe!]");
    EXPECT_EQ(exchange("[1PE]"), "[1PE!]");
    EXPECT_EQ(exchange("[1eW]"), "[1eW!0000]");
    axis().model().setMotorIdent("00000042");
    EXPECT_EQ(exchange("[1iM]"), "[1iM!00000042]");
    EXPECT_EQ(exchange("[0Vn]"), "[0Vn!1.00.00]");

    // Runs the axis does not follow in time start and end at once.
    EXPECT_EQ(exchange("[1EE]"), "[1EE>]");
    EXPECT_EQ(exchange("[0po]"), "[1EE!]");
    installServoLoop(*bus.unit("01"));
    EXPECT_EQ(exchange("[1XR00000064]"), "[1XR>]");
    EXPECT_EQ(exchange("[0po]"), "[1XR!]");
}

TEST_F(SimAxisTest, JoystickModeShowsInTheInputsAndBlocksMoves)
{
    EXPECT_EQ(exchange("[1CJ]"), "[1CJ!]");
    EXPECT_EQ(exchange("[0IN]").mid(12, 1), "C");
    EXPECT_EQ(exchange("[1FA00000010]"), "[1FA?0014]");
    EXPECT_EQ(exchange("[1Cj]"), "[1Cj!]");
    EXPECT_EQ(exchange("[0IN]").mid(11, 2), "16");
    EXPECT_EQ(exchange("[1BR]"), "[1BR!]");
    EXPECT_EQ(exchange("[0IN]"), "[0IN!00000000]");
    EXPECT_EQ(exchange("[1FA00000010]"), "[1FA>]");
    EXPECT_EQ(exchange("[1CJ]"), "[1CJ?0014]");
}

TEST(SimAxisBusTest, UnitsKeepTheirOwnBaudVersionAndMotion)
{
    FakeClock clock;
    SimBus bus(clock);
    bus.addUnit("03", 38400).setVersion("Mot V2.10");
    bus.addUnit("0A", 38400);
    bus.addUnit("11", 38400);
    bus.addUnit("05", 9600);
    EXPECT_THROW(SimAxis(bus, "11"), std::invalid_argument);
    EXPECT_THROW(SimAxis(bus, "07"), std::invalid_argument);

    auto exchange = [&](const QByteArray& bytes) {
        bus.write(bytes);
        return bus.read();
    };
    bus.setHostBaud(38400);
    EXPECT_EQ(exchange(DC2 + "03" + "[0VN]"), "[0VN!Mot V2.10]");
    EXPECT_EQ(exchange(DC2 + "0A" + "[0VN]").mid(5, 2), "Mo");
    EXPECT_EQ(exchange(DC2 + "11" + "[0VN]").mid(5, 2), "IK");
    EXPECT_EQ(exchange(DC2 + "05" + "[0VN]"), "");

    EXPECT_EQ(exchange(DC2 + "03" + "[1FA00002710]"), "[1FA>]");
    EXPECT_EQ(exchange(DC2 + "0A" + "[1FAFFFFD8F0]"), "[1FA>]");
    clock.advance(0.1);
    // The broadcast stops both axes and nobody answers.
    EXPECT_EQ(exchange(DC2 + "00" + "[1BR]"), "");
    SimAxis a03(bus, "03");
    SimAxis a0A(bus, "0A");
    EXPECT_FALSE(a03.isMoving());
    EXPECT_FALSE(a0A.isMoving());
    EXPECT_EQ(a03.position(), -a0A.position());
    EXPECT_GT(a03.position(), 0);
    EXPECT_LT(a03.position(), 10000);
}

}  // namespace
