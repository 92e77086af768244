// The sequence language against the simulated bus: moves with their waits,
// repeats, failures that stop or do not stop a run, refused lines, pauses and
// the stop request.
#include "AblaufFixture.h"
#include "AblaufText.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

class Interpreter : public AblaufFixture
{
};

TEST_F(Interpreter, MoveSendsCountsWaitsForTheEndAndStopsUnitZero)
{
    run({u"MF/0/1/2000"_s, u"MA/0/1/10"_s});
    const QStringList t = traffic();
    ASSERT_GE(t.size(), 3);
    EXPECT_EQ(t.first(), u"01 [1MA00000014]"_s);
    for (qsizetype i = 1; i + 1 < t.size(); ++i)
        EXPECT_EQ(t.at(i), u"01 [0po]"_s);
    EXPECT_EQ(t.last(), u"00 [1BR]"_s);
    EXPECT_EQ(SimAxis(bus, u"01"_s).position(), 20);
    EXPECT_EQ(core.LHinweis.text, u" Ablauf Ende "_s);
    EXPECT_TRUE(core.CStart.enabled);
    EXPECT_EQ(focusStarts, 1);
    EXPECT_FALSE(core.isRunning());
    EXPECT_EQ(core.Fehlerzahl, 0);
    EXPECT_EQ(core.pZeile[1].colour, AblaufCore::White);

    // A stray frame in front of every poll reply does not end the wait: the
    // next move is not refused busy and the axis gets back to 0.
    unit("01").setStrayBefore("[0po", "[9XX!STRAY]");
    run({u"MF/0/1/1000"_s, u"FA/0/1/20000"_s, u"FA/0/1/0"_s});
    EXPECT_EQ(SimAxis(bus, u"01"_s).position(), 0);
    EXPECT_EQ(core.Fehlerzahl, 0);

    // Standing, the unit answers with the final echo of whatever moved it
    // last (a panel move, another window): that ends the wait too.
    unit("01").setHandler(u"0po"_s, [](SimUnit& u, const SimCommand& c) {
        SimAxisModel* axis = simAxisModel(u);
        axis->settle(u, c.arrival);
        return std::optional<QByteArray>(axis->isMoving(c.arrival) ? "[0po!]" : "[1MA!]");
    });
    run({u"MF/0/1/1000"_s, u"FA/0/1/20000"_s, u"FA/0/1/0"_s});
    EXPECT_EQ(SimAxis(bus, u"01"_s).position(), 0);
    EXPECT_EQ(core.Fehlerzahl, 0);
    EXPECT_FALSE(core.isRunning());
}

TEST_F(Interpreter, NegativeMoveIsTwosComplementAndOtherLettersFollowTheKeyword)
{
    run({u"MF/0/1/2000"_s, u"MA/0/1/-10"_s, u"FR/0/1/2.5"_s, u"SA/0/1/0"_s});
    EXPECT_TRUE(traffic().contains(u"01 [1MAFFFFFFEC]"_s));
    EXPECT_TRUE(traffic().contains(u"01 [1FR00000005]"_s));
    EXPECT_TRUE(traffic().contains(u"01 [1SA00000000]"_s));
}

TEST_F(Interpreter, RepeatCountsCyclesUntilStopped)
{
    lines({u"MF/0/1/1000"_s, u"MR/0/1/1"_s, u"**"_s});
    core.CStart_Click();
    QStringList cycles;
    while (core.isRunning() && core.Zyklen < 3) {
        const int before = core.Zyklen;
        core.step();
        if (core.Zyklen != before)
            cycles << core.lNA.text;
    }
    EXPECT_EQ(cycles, (QStringList{u"1"_s, u"2"_s, u"3"_s}));
    core.CStop_Click();
    core.runToEnd();
    EXPECT_FALSE(core.isRunning());
    EXPECT_EQ(SimAxis(bus, u"01"_s).position(), 3);
    // Cycles survive the run; only the exit button resets them.
    EXPECT_EQ(core.Zyklen, 3);
    core.cmd_exit_Click();
    EXPECT_EQ(core.lNA.text, u"0"_s);
}

TEST_F(Interpreter, SilentUnitStopsTheRunWithOneFailure)
{
    unit("01").setSilent(true);
    run({u"MF/0/1/2000"_s, u"MA/0/1/10"_s, u"MA/0/2/10"_s});
    EXPECT_EQ(core.Fehlerzahl, 1);
    EXPECT_EQ(core.lFehler.text, u"1"_s);
    EXPECT_EQ(core.LED.colour, AblaufCore::Red);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(core.lb_ablauf.items.value(0), u"MA/0/1/10"_s);
    EXPECT_FALSE(core.isRunning());
    EXPECT_FALSE(traffic().contains(u"02 [1MA00000000]"_s));
    EXPECT_EQ(traffic().last(), u"00 [1BR]"_s);
}

TEST_F(Interpreter, RejectedReplyIsCountedAndTheRunGoesOn)
{
    unit("01").rejectNext(u"[1GX]"_s, 0x1D);
    run({u"GX/0/1"_s, u"MF/0/2/1000"_s, u"MA/0/2/7"_s});
    EXPECT_EQ(core.Fehlerzahl, 1);
    EXPECT_EQ(core.LED.colour, AblaufCore::Yellow);
    EXPECT_EQ(core.lb_ablauf.items.value(0), u"GX/0/1[1GX?001D]"_s);
    EXPECT_EQ(SimAxis(bus, u"02"_s).position(), 7);
    EXPECT_EQ(core.LHinweis.text, u" Ablauf Ende "_s);
}

TEST_F(Interpreter, CommentsAndShortLinesAreSkippedAndEmptyLineEndsThePass)
{
    run({u"-MA/0/1/5"_s, u"X"_s, u"MF/0/1/1000"_s, u"MA/0/1/5"_s, u""_s, u"MA/0/1/9"_s});
    EXPECT_EQ(SimAxis(bus, u"01"_s).position(), 5);
    EXPECT_EQ(unitTraffic().first(), u"01 [1MA00000005]"_s);
}

TEST_F(Interpreter, EmptyFirstLineNeverStartsEvenAfterARepeatingRun)
{
    lines({u"CE/1"_s, u"**"_s});
    core.CStart_Click();
    for (int i = 0; i < 10; ++i)
        core.step();
    core.CStop_Click();
    core.runToEnd();
    const int cycles = core.Zyklen;
    run({u""_s, u"**"_s});
    EXPECT_FALSE(core.isRunning());
    EXPECT_EQ(core.Zyklen, cycles);
    EXPECT_EQ(traffic(), (QStringList{u"00 [1BR]"_s}));
}

TEST_F(Interpreter, SelectionOnlyKeywords)
{
    bus.addUnit(u"13"_s);
    run({u"Z0/1/3"_s, u"Z0/0/1"_s});
    EXPECT_EQ(unit("13").received(), (QStringList{u"[1BR]"_s}));  // only the closing broadcast
    EXPECT_EQ(unitTraffic(), (QStringList{u"01 [1PP00000000]"_s}));
    // At (0, 0) "[1GX]" goes out unanswered and the poll there times out.
    run({u"GX/0/0"_s});
    EXPECT_EQ(traffic().mid(0, 2), (QStringList{u"00 [1GX]"_s, u"00 [0po]"_s}));
    EXPECT_EQ(core.Fehlerzahl, 1);
}

TEST_F(Interpreter, RawCommandsAreCutToTheirBracketsListedAndRecorded)
{
    run({u"QV/0/0/xx[0VN]yy"_s, u"QV/0/2/status [0ST]"_s});
    EXPECT_EQ(traffic().mid(0, 2), (QStringList{u"00 [0VN]"_s, u"02 [0ST]"_s}));
    EXPECT_EQ(core.lb_ablauf.items.mid(0, 2),
              (QStringList{u"QV/0/2/status [0ST][0ST!00000000]"_s, u"QV/0/0/xx[0VN]yy"_s}));
    EXPECT_EQ(recorded, (QStringList{u"QV/0/2/status [0ST]|[0ST!00000000]"_s}));
    EXPECT_TRUE(answered.contains(u"02 [0ST]"_s)) << answered.join(u'|').toStdString();
    EXPECT_EQ(core.Zeitlimit, 1.0);
}

// A raw command waits up to 5 s for its reply (other lines 1 s); a port that
// closes while it waits is a port fault. Its reply is whatever frame comes,
// except a late reply to an earlier raw command.
struct RawExchange
{
    const char* name;
    double replyLag;
    bool answered;
    bool portCloses = false;
    const char* stray = nullptr;  // the unit's answer in place of its own
    // "[0ST]" follows, answered after 1 s, while the late reply comes in.
    bool statusFollows = false;
};

class RawCommandTimeOut : public AblaufFixture, public ::testing::WithParamInterface<RawExchange>
{
};

TEST_P(RawCommandTimeOut, FiveSeconds)
{
    const auto [name, replyLag, answered, portCloses, stray, statusFollows] = GetParam();
    unit("02").setReplyDelay(replyLag);
    if (portCloses || stray)
        unit("02").setHandler(u"0VN"_s,
                              [this, p = GetParam()](SimUnit&, const SimCommand&) -> std::optional<QByteArray> {
                                  port.setFarEndClosed(p.portCloses);
                                  return QByteArray(p.stray);
                              });
    run({u"QV/0/2/[0VN]"_s});
    EXPECT_EQ(core.Fehlerzahl, answered ? 0 : 1) << replyLag;
    EXPECT_EQ(recorded.size(), 1);
    EXPECT_EQ(recorded.value(0).contains(u"|"_s + QLatin1String(stray ? stray : "[0VN!")), answered);
    EXPECT_EQ(core.Zeitlimit, 1.0);
    EXPECT_EQ(ui.texts(), QStringList()) << "a port lost while in use reports the loss itself";
    if (statusFollows) {
        unit("02").setReplyDelay(1.0);
        run({u"QV/0/2/[0ST]"_s});
        EXPECT_EQ(recorded.value(1), u"QV/0/2/[0ST]|[0ST!00000000]"_s);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Delays, RawCommandTimeOut,
    ::testing::Values(
        RawExchange{"Delay15Tenths", 1.5, true}, RawExchange{"Delay45Tenths", 4.5, true},
        RawExchange{"Delay55Tenths", 5.5, false}, RawExchange{"PortClosesWhileWaiting", 0, false, true},
        RawExchange{.name = "StrayFrameIsTheReply", .replyLag = 0, .answered = true, .stray = "[9XX!STRAY]"},
        RawExchange{.name = "LateReplyIsPassedOver", .replyLag = 5.5, .answered = false, .statusFollows = true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Interpreter, PauseTakesSecondsAndStopEndsIt)
{
    double start = clock.now();
    run({u"WZ/2"_s});
    EXPECT_NEAR(clock.now() - start, 2.0, 0.01);
    start = clock.now();
    run({u"WZ/1.5"_s});
    EXPECT_NEAR(clock.now() - start, 1.5, 0.01);

    lines({u"WZ/600"_s});
    start = clock.now();
    core.CStart_Click();
    core.step();
    EXPECT_GT(core.nextStepIn(), 500.0);
    core.CStop_Click();
    EXPECT_EQ(core.nextStepIn(), 0.0);
    core.step();
    EXPECT_FALSE(core.isRunning());
    EXPECT_LT(clock.now() - start, 1.0);
}

TEST_F(Interpreter, StopDuringMotionEndsAfterTheNextPoll)
{
    run({u"MF/0/1/1000"_s});
    lines({u"MA/0/1/200000"_s});
    core.CStart_Click();
    core.step();  // the move goes out
    core.step();  // one poll: still moving
    ASSERT_TRUE(core.isRunning());
    EXPECT_FALSE(core.timer1Active());
    bus.clearTraffic();
    focusStarts = 0;
    core.CStop_Click();
    EXPECT_EQ(focusStarts, 0);  // the run ends with the next poll, not at the click
    core.step();
    EXPECT_FALSE(core.isRunning());
    EXPECT_EQ(focusStarts, 1);
    EXPECT_TRUE(core.timer1Active());
    EXPECT_EQ(traffic().first(), u"00 [1BR]"_s);
    EXPECT_LT(SimAxis(bus, u"01"_s).position(), 200000);
    EXPECT_EQ(core.pZeile[0].colour, AblaufCore::White);
}

TEST_F(Interpreter, ClosedPortIsOneTimeOutAndOneMessage)
{
    port.close();
    core.Don0.checked = true;
    core.Con[0].checked = true;
    run({u"MF/0/1/1000"_s, u"MA/0/1/5"_s});
    EXPECT_EQ(core.Fehlerzahl, 1);
    EXPECT_EQ(ui.texts(), (QStringList{AblaufCore::PortMessage}));
    EXPECT_FALSE(core.isRunning());

    // Found open at the last run, then closed by the main window while this
    // window was away: nothing reports a loss, so the window tells it.
    ui.clear();
    ASSERT_TRUE(port.open());
    run({u"MA/0/1/5"_s});
    core.cmd_exit_Click();
    port.close();
    run({u"MA/0/1/5"_s});
    EXPECT_EQ(ui.texts(), (QStringList{AblaufCore::PortMessage}));
}

struct BadLine
{
    const char* name;
    QStringList lines;
};

class MalformedLine : public AblaufFixture, public ::testing::WithParamInterface<BadLine>
{
};

TEST_P(MalformedLine, IsALineErrorThatSendsNothing)
{
    core.Faktortabelle[0][1] = 1000;
    run(GetParam().lines);
    EXPECT_EQ(core.Fehlerzahl, 1);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(core.LED.colour, AblaufCore::Red);
    EXPECT_TRUE(core.lb_ablauf.items.value(0).startsWith(GetParam().lines.last()));
    EXPECT_FALSE(core.isRunning());
    EXPECT_TRUE(core.CStart.enabled);
    EXPECT_EQ(focusStarts, 1);
    EXPECT_EQ(unitTraffic(), QStringList());
    EXPECT_EQ(traffic(), (QStringList{u"00 [1BR]"_s}));
    // The stop gets no reply: it has crossed the wire before the run ends.
    EXPECT_LT(bus.outputBacklog(), 3 * bus.characterTime());
    EXPECT_EQ(core.pZeile[GetParam().lines.size() - 1].colour, AblaufCore::Yellow);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MalformedLine,
    ::testing::Values(BadLine{"TenSlashes", {u"MA/0/1/2/3/4/5/6/7/8/9/0"_s}},
                      BadLine{"TypeBeyondFactorTable", {u"MA/16/1/5"_s}}, BadLine{"BoxBeyondTable", {u"GX/0/21"_s}},
                      BadLine{"NegativeType", {u"MF/-1/1/5"_s}}, BadLine{"MBTooFewFields", {u"MB/0/1/1/1000"_s}},
                      BadLine{"MBBoxZeroOfTypeZero", {u"MB/0/0/1/1000/x"_s}}, BadLine{"QVTooFewFields", {u"QV/0/1"_s}},
                      BadLine{"QVWithoutBrackets", {u"QV/0/1/status ]0ST["_s}},
                      BadLine{"CountBeyond32Bits", {u"MA/0/1/3000000"_s}}, BadLine{"NegativePause", {u"WZ/-1"_s}},
                      BadLine{"RowWithoutAddress", {u"MF/3/1/1000"_s, u"MA/3/1/5"_s}},
                      BadLine{"BoxWithoutAddress", {u"QV/0/16/[0ST]"_s}}, BadLine{"UnsetFactor", {u"MA/0/2/5"_s}},
                      BadLine{"ValueBeyondDouble", {u"MA/0/1/1e400"_s}},
                      BadLine{"ValueBeyond32BitsWithASmallFactor", {u"MF/0/1/1"_s, u"MA/0/1/3000000000"_s}},
                      BadLine{"PauseBeyondDouble", {u"WZ/1e400"_s}},
                      BadLine{"FactorBeyond32Bits", {u"MF/0/1/2147483648"_s}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AblaufText, NumbersAndHexadecimal)
{
    EXPECT_EQ(seqtext::leadingNumber(u"MA/0/1/25.5"_s, 7), 25.5);
    EXPECT_EQ(seqtext::leadingNumber(u"MA/ 7/x"_s, 3), 7);
    EXPECT_EQ(seqtext::leadingNumber(u"MA/x/1"_s, 3), 0);
    EXPECT_EQ(seqtext::leadingNumber(u"-2.5e1/"_s), -25);
    EXPECT_TRUE(std::isnan(seqtext::leadingNumber(u"MA/0/1/1e400"_s, 7)));
    EXPECT_TRUE(std::isnan(seqtext::leadingNumber(u"-1e309"_s)));
    EXPECT_EQ(seqtext::moveDigits(2.5, 4), u"0000000A"_s);
    EXPECT_EQ(seqtext::moveDigits(-1, 1), u"FFFFFFFF"_s);
    EXPECT_EQ(seqtext::moveDigits(0.5, 1), u"00000001"_s);
    EXPECT_EQ(seqtext::Hex_8(0.5), u"00000000"_s);
    EXPECT_FALSE(seqtext::moveDigits(2147483648.0, 1));
    EXPECT_EQ(seqtext::HexWert(u"FFFFFF"_s), -1);
    EXPECT_EQ(seqtext::HexWert(u"7FFFFF]"_s), 8388607);
    EXPECT_EQ(seqtext::HexWert(u"800000"_s), -8388608);
    EXPECT_EQ(seqtext::HexWert(u"00FFFC18]"_s), -1000);
    EXPECT_EQ(seqtext::HexWert(u"FFFFFC18]"_s), -1000);
    EXPECT_EQ(seqtext::HexWertAK(u"000A00"_s), 1);
    EXPECT_NEAR(seqtext::HexWertAK(u"FFF600"_s), -1, 1e-9);
    EXPECT_EQ(seqtext::Klammertest(u"x[a][0VN]yy"_s), u"[0VN]"_s);
    EXPECT_FALSE(seqtext::Klammertest(u"]0ST["_s));
}

}  // namespace
