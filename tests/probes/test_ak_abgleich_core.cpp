// The guided calibration window's core against an analog probe board on the
// simulated bus: its own exchange (retries, fallback to the base address),
// the channel read-out, board types, commands, "Burn all" and the guided
// calibration with its answers.
#include "CalibrationFixture.h"
#include "SimProbeBoard.h"

using namespace Qt::StringLiterals;
using Phase = AK_AbgleichCore::Phase;

namespace {

class ExchangeTest : public CalibrationFixture
{
};

TEST_F(ExchangeTest, RetriesARejectedCommandFiveTimesAtMost)
{
    ak4(core);
    core.tabelle_Click();
    const QString before = core.empfang.text;
    ASSERT_EQ(before, u"[0VN!AK4 V2.00]"_s);

    bus.unit(u"21"_s)->rejectNext(u"[0VN]"_s, 5, 5);
    ui.beeps = 0;
    bus.clearTraffic();
    core.Antwortfrist = 3;
    core.tabelle_Click();
    EXPECT_EQ(traffic(), QStringList(5, u"21 [0VN]"_s));
    EXPECT_EQ(ui.beeps, 5);
    EXPECT_EQ(core.empfang.text, before) << "the display keeps the last completed exchange";
    EXPECT_EQ(core.Antwortfrist, 3) << "an exchange that gave up does not reset the time-out";

    bus.unit(u"21"_s)->rejectNext(u"[0VN]"_s, 5, 1);
    bus.clearTraffic();
    core.tabelle_Click();
    EXPECT_EQ(traffic(), QStringList(2, u"21 [0VN]"_s));
    EXPECT_EQ(core.empfang.text, before);
    EXPECT_EQ(core.Antwortfrist, 2);
}

TEST_F(ExchangeTest, SilenceSelectsTheBaseAddressAndStopsMeasuring)
{
    ak4(core);
    bus.unit(u"21"_s)->setSilent(true);
    const double start = clock.now();
    core.tabelle_Click();
    EXPECT_EQ(traffic(), (QStringList{u"21 [0VN]"_s, u"20 [0ST]"_s}));
    EXPECT_TRUE(core.AKNR[15].checked);
    EXPECT_FALSE(core.AKNR[0].checked);
    EXPECT_FALSE(core.aktiv.checked);
    // 2 s for the command, 0.2 s for the status request at the base address.
    EXPECT_NEAR(clock.now() - start, 2.2, 0.05);
    // The handler's own line replaces "MSG?"; it shows the fallback's exchange.
    EXPECT_EQ(core.messwert.text, u"[0ST]"_s);

    // With the base address selected already, silence sends nothing further.
    bus.clearTraffic();
    core.status_Click();
    EXPECT_EQ(traffic(), QStringList{u"20 [0ST]"_s});
}

TEST_F(ExchangeTest, AClosedPortCountsAsSilence)
{
    ak4(core);
    port.close();
    core.aktiv.checked = true;
    core.Timer1_Timer();
    EXPECT_TRUE(bus.traffic().isEmpty());
    EXPECT_FALSE(core.aktiv.checked);
    EXPECT_TRUE(core.AKNR[15].checked);
}

// The window's own exchange on the line: a reply begun within the reply
// period is read whole; a reply without end is cut at 4096 characters, the
// rest drained, and counts as no answer (no retry, no flood in the display).
TEST_F(ExchangeTest, ALateEndingReplyIsReadWholeAndAReplyWithoutEndIsNoAnswer)
{
    bus.setPacing(true);
    ak4(core);
    bus.unit(u"21"_s)->setReplyDelay(1.99);
    core.tabelle_Click();
    EXPECT_EQ(core.empfang.text, u"[0VN!AK4 V2.00]"_s);
    bus.unit(u"21"_s)->setReplyDelay(0);

    bus.setPacing(false);
    bus.unit(u"21"_s)->setGarbageReply(QByteArray(24024, 'x'));
    ui.beeps = 0;
    bus.clearTraffic();
    const double start = clock.now();
    core.tabelle_Click();
    EXPECT_EQ(traffic().first(), u"21 [0VN]"_s);
    EXPECT_EQ(traffic().count(u"21 [0VN]"_s), 1);
    EXPECT_TRUE(core.empfang.text.isEmpty()) << core.empfang.text.size();
    EXPECT_EQ(core.messwert.text.left(4), u"[0ST"_s) << "the fallback to the base address ran";
    EXPECT_FALSE(core.aktiv.checked);
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_LT(clock.now() - start, 1.0);
    EXPECT_EQ(port.inBufferCount(), 0) << "what followed the cut was drained";
}

// --- Read-out -------------------------------------------------------------------------------

struct SplitCase
{
    const char* reply;
    const char* mask;  // flags of channels A to D
    std::array<double, 4> values;
    double first;
};

class ChannelSplitTest : public CalibrationFixture, public ::testing::WithParamInterface<SplitCase>
{
};

TEST_P(ChannelSplitTest, MapsTheValuesOntoTheEnabledChannels)
{
    const SplitCase& k = GetParam();
    for (int c = 0; c < 4; ++c)
        core.Kanalmaske[c] = QString(QLatin1Char(k.mask[c]));
    core.Kanalhex = {u"000A00"_s, u"000A00"_s, u"000A00"_s, u"000A00"_s};
    core.M1Antwort = QLatin1String(k.reply);
    core.Messwert_zerlegen();
    for (int c = 0; c < 4; ++c)
        EXPECT_DOUBLE_EQ(core.Kanalwert[c], k.values[c]) << "channel " << c;
    EXPECT_DOUBLE_EQ(core.Messwert0, k.first);
}

INSTANTIATE_TEST_SUITE_P(Replies, ChannelSplitTest,
                         ::testing::Values(SplitCase{"[0M1!001400,FFF600,]", "0101", {0, 2, 0, -1}, 2},
                                           SplitCase{"[0M1!001400,]", "1100", {2, 0, 0, 0}, 2},
                                           SplitCase{"[001400,FFF600]", "1010", {2, 0, -1, 0}, 2},
                                           SplitCase{"[0M1!000A00,001400,001E00,002800,]", "1111", {1, 2, 3, 4}, 1},
                                           SplitCase{"[0M1!000A00,001400,001E00,]", "0111", {0, 1, 2, 3}, 1},
                                           // A length outside the table maps the previous texts again.
                                           SplitCase{"[0M1!0014]", "1000", {1, 0, 0, 0}, 1}));

TEST_F(CalibrationFixture, AMissingDivisorLeavesTheReadingAlone)
{
    core.Kanalmaske[0] = u"1"_s;
    core.M1Antwort = u"[0M1!001400,]"_s;
    core.Messwert_zerlegen();
    ASSERT_DOUBLE_EQ(core.Kanalwert[0], 2);
    for (const QString t : {u"0"_s, u""_s}) {
        core.tb_faktor.text = t;
        core.M1Antwort = u"[0M1!002800,]"_s;
        core.Messwert_zerlegen();
        EXPECT_DOUBLE_EQ(core.Kanalwert[0], 2);
        bus.clearTraffic();
        core.aktiv.checked = true;
        core.Timer1_Timer();
        EXPECT_TRUE(bus.traffic().isEmpty());
    }
}

TEST_F(CalibrationFixture, MeasuringShowsZeroFactorAndSpan)
{
    ak4(core);
    board.travel[0] = 100;
    core.factorBoxes[0].text = u"2"_s;
    core.Timer1_Timer();
    const double v = 2.0 * board.reading(0) / 2560;
    EXPECT_EQ(core.kanal[0].text, QString::number(v, 'f', 2));
    EXPECT_EQ(core.kanal[1].text, u"0.00"_s);

    // Pressing the zero button shows the raw value; releasing it zeroes.
    core.zeroPressed(0);
    EXPECT_EQ(core.Nullwert[0], 0);
    core.zeroReleased(0);
    core.Timer1_Timer();
    EXPECT_EQ(core.kanal[0].text, u"0.00"_s);

    // The span runs from the load values until a reset.
    EXPECT_DOUBLE_EQ(core.Maxwert[0], v);
    EXPECT_DOUBLE_EQ(core.Minwert[0], 0);
    EXPECT_DOUBLE_EQ(core.Maxwert[1], 0);
    core.Maxmin.checked = true;
    core.Maxmin_Click();
    EXPECT_EQ(core.Maxwert[3], -99999);
    EXPECT_TRUE(core.spanBoxes[3].visible);
    board.travel[0] = 101;
    core.Timer1_Timer();
    core.Timer1_Timer();
    board.travel[0] = 100;
    core.Timer1_Timer();
    EXPECT_EQ(core.spanBoxes[0].text,
              QString::number(2.0 * (board.reading(board.raw(0) + 2458, board.working[0]) - board.reading(0)) / 2560,
                              'f', 3));

    // Without "Messen" the boxes read 0 and nothing is sent or tracked.
    core.aktiv.checked = false;
    bus.clearTraffic();
    core.Timer1_Timer();
    EXPECT_TRUE(bus.traffic().isEmpty());
    EXPECT_EQ(core.kanal[0].text, u"0"_s);
}

// --- Board type and commands -------------------------------------------------------------------

TEST_F(CalibrationFixture, BoardTypeSetsLayoutCaptionsAndAddressesTheBoard)
{
    AnalogBoardDouble::install(bus, u"24"_s);
    AnalogBoardDouble::install(bus, u"44"_s);
    core.AKNR_Click(3);
    bus.clearTraffic();
    core.Check1[0].checked = true;
    core.Check1[2].checked = true;
    core.OAkX[3].checked = true;
    core.OAkX_Click(3);
    // Two masks for the unchecked boxes, then the status request of "44".
    EXPECT_EQ(traffic(), (QStringList{u"24 [0K100]"_s, u"24 [0K100]"_s, u"44 [0ST]"_s}));
    EXPECT_TRUE(core.FADADA.visible);
    EXPECT_TRUE(core.AK_Nr.visible);
    EXPECT_TRUE(core.chAK1.checked);
    EXPECT_FALSE(core.kanal[2].visible);
    EXPECT_TRUE(core.kanal[1].visible);
    EXPECT_EQ(core.CINR[0].text, u"40"_s);
    for (const auto& c : core.Check1)
        EXPECT_FALSE(c.checked);

    core.OAkX_Click(2);
    EXPECT_EQ(core.AKNR[15].text, u"30"_s);
    EXPECT_EQ(core.CINR[0].text, u"50"_s);
    EXPECT_EQ(core.CINR[5].text, u"35"_s);
    core.OAkX_Click(0);
    EXPECT_FALSE(core.chAK1.checked);
    EXPECT_FALSE(core.kanal[1].visible);
    EXPECT_FALSE(core.FADADA.visible);
    core.Vierkanal();
    EXPECT_TRUE(core.kanal[3].visible);
    EXPECT_FALSE(core.spanBoxes[3].visible) << "Max/Min shows the span boxes";
}

struct MaskCase
{
    int boardType;
    const char* boxes;
    const char* command;
};

class ChannelMaskTest : public CalibrationFixture, public ::testing::WithParamInterface<MaskCase>
{
};

TEST_P(ChannelMaskTest, BuildsTheMaskOfTheBoardType)
{
    const MaskCase& k = GetParam();
    core.AKNR_Click(0);
    bus.clearTraffic();
    if (k.boardType >= 0)
        core.OAkX[k.boardType].checked = true;
    for (int c = 0; c < 4; ++c)
        core.Check1[c].checked = k.boxes[c] == '1';
    core.Check1_Click();
    EXPECT_EQ(traffic(), QStringList{u"21 "_s + QLatin1String(k.command)});
}

INSTANTIATE_TEST_SUITE_P(Types, ChannelMaskTest,
                         ::testing::Values(MaskCase{1, "1010", "[0K11010]"}, MaskCase{0, "1010", "[0K11]"},
                                           MaskCase{3, "0110", "[0K101]"}, MaskCase{4, "0100", "[0K11000000000000000]"},
                                           MaskCase{-1, "1111", "[0K11000]"}));

TEST_F(CalibrationFixture, SingleCommandsAndTheirTimeOuts)
{
    AnalogBoardDouble::install(bus, u"31"_s);
    ak4(core);
    core.OAkX[1].checked = false;
    core.OAkX[2].checked = true;
    core.CIY.visible = true;
    core.CINR_Click(0);
    EXPECT_TRUE(bus.traffic().isEmpty()) << "CINR(0) names no number";
    EXPECT_FALSE(core.CIY.visible);
    core.OAkX_Click(2);
    bus.clearTraffic();
    core.CINR_Click(5);
    EXPECT_EQ(traffic(), QStringList{u"31 [0CS35]"_s});

    core.Option1[1].checked = true;
    core.frequenz_Click(1);
    core.frequenz_Click(2);
    EXPECT_EQ(traffic().last(), u"31 [2FQ2A99]"_s);
    EXPECT_TRUE(core.messwert.text.isEmpty());
    EXPECT_EQ(ui.beeps, 2);

    core.Timer1.enabled = false;
    core.Option5_Click(4);
    EXPECT_EQ(traffic().last(), u"31 [0FP0100]"_s);
    EXPECT_TRUE(core.Timer1.enabled);
    core.OADADA_Click(4);
    EXPECT_EQ(core.messwert.text, u"[3DAF801][3DA!]"_s);

    // A burn waits up to 10 s.
    bus.unit(u"31"_s)->setReplyDelay(5);
    core.Burn00_Click();
    EXPECT_EQ(core.empfang.text, u"[0ff!]"_s);
    EXPECT_EQ(core.Antwortfrist, 2);
    bus.unit(u"31"_s)->setReplyDelay(0);

    // "Senden" sends the line unchanged; "wiederholen" the last command.
    core.Command1_Click();
    EXPECT_EQ(traffic().mid(traffic().size() - 2), (QStringList{u"31 [0ff00]"_s, u"31 [0ff!]"_s}));
    core.Command2_MouseDown();
    EXPECT_EQ(core.messwert.text, u"[0ff00][0ff!]"_s);

    core.tint.text = u"x"_s;
    core.Interv_Click();
    EXPECT_EQ(core.Timer1.interval, 200);
    core.tint.text = u"100"_s;
    core.Interv_Click();
    EXPECT_EQ(core.Timer1.interval, 100);
}

TEST_F(CalibrationFixture, BurnAllStoresEveryChannelWithPausesAndRestartsTheTimer)
{
    ak4(core);
    bus.unit(u"21"_s)->setReplyDelay(5);
    core.Timer1.enabled = true;
    core.Befehl2_Click();
    EXPECT_FALSE(core.Timer1.enabled);
    run();
    EXPECT_EQ(board.burns, (QStringList{u"[0ff01]"_s, u"[0ff02]"_s, u"[0ff03]"_s, u"[0ff04]"_s, u"[0ff00]"_s}));
    for (int i = 1; i < board.burnTimes.size(); ++i)
        EXPECT_GE(board.burnTimes[i] - board.burnTimes[i - 1], 1.0 + 5.0);
    EXPECT_EQ(core.Antwortfrist, 2);
    EXPECT_TRUE(core.Timer1.enabled);
    EXPECT_FALSE(core.running());

    // No board type: nothing is sent, but the timer runs again.
    core.OAkX[1].checked = false;
    core.Timer1.enabled = false;
    bus.clearTraffic();
    core.Befehl2_Click();
    EXPECT_TRUE(bus.traffic().isEmpty());
    EXPECT_TRUE(core.Timer1.enabled);
}

// --- Guided calibration -------------------------------------------------------------------------

class GuidedRunTest : public CalibrationFixture
{
protected:
    void start()
    {
        ak4(core);
        core.abgl_Click();
        core.StartAbgl_Click();
    }
    void answer(const QString& code) { core.Tastencode = code; }
    // Starts a run and answers the first two prompts with "weiter" (code 13),
    // so the run waits at the standard prompt.
    void startToStandardPrompt()
    {
        start();
        answer(u"13"_s);
        runTo(Phase::OffsetPrompt);
        answer(u"13"_s);
        runTo(Phase::StandardPrompt);
    }
};

TEST_F(GuidedRunTest, FindsTheGainAtWhichTheReadingMeetsTheStandard)
{
    // Reads low before the calibration. The direction box of AK4 is ticked:
    // FaktorP goes to SM, which the board lists first.
    board.sensitivity[0] = 2400;
    start();
    EXPECT_EQ(core.Bedhinw.text, u"Kanal 1"_s);
    EXPECT_FALSE(core.StartAbgl.enabled);
    EXPECT_FALSE(core.Timer1.enabled);
    core.weiterA_Click();
    runTo(Phase::OffsetPrompt);
    EXPECT_EQ(core.Bedhinw.text, u"Einstellnormal auf 0 ym einstellen"_s);
    EXPECT_EQ(board.working[0], AnalogBoardDouble::Register{});
    core.weiterA_Click();
    // "weiter" before the standard is in place: the run goes on by itself later.
    runTo(Phase::StandardPrompt);
    EXPECT_EQ(board.working[0].SO, board.raw(0));
    EXPECT_EQ(core.Bedhinw.text, u"Einstellnormal auf 700.00 ym einstellen"_s);
    core.weiterA_Click();
    run([&] { return clock.now() > 5000; });
    EXPECT_EQ(core.phase(), Phase::StandardPrompt);
    board.travel[0] = 700;
    runTo(Phase::LastAnswer);
    ASSERT_EQ(core.phase(), Phase::LastAnswer);

    // One gain step less reads above the standard; the end value is at most
    // one count away from it.
    const AnalogBoardDouble::Register r = board.working[0];
    const double targetCounts = 700.0 * 2560;
    EXPECT_GT(AnalogBoardDouble::reading(board.raw(0), {r.SO, r.SP + 1, r.SM}), targetCounts);
    EXPECT_NEAR(double(board.reading(0)), targetCounts, 1.0);
    EXPECT_EQ((r.SP + r.SM) % 0x1000000, 0) << "the negative gain is the complement";
    EXPECT_EQ(core.Ist.text, QString::number(board.reading(0) / 2560.0, 'f', 2));
    for (const QString& w : registerWrites())
        EXPECT_EQ(w.size(), 11) << qPrintable(w);

    core.weiterA_Click();
    run();
    EXPECT_FALSE(core.running());
    EXPECT_EQ(core.Bedhinw.text, u"Ende"_s);
    EXPECT_EQ(core.Soll.text, u"0"_s);
    EXPECT_EQ(core.fakP.text, u"0"_s);
    EXPECT_TRUE(core.StartAbgl.enabled);
    EXPECT_TRUE(core.Timer1.enabled);
    EXPECT_EQ(board.working[0], r) << "the result stays in the working registers";
}

TEST_F(GuidedRunTest, StandardFollowsBoardTypeAndTesaBox)
{
    for (int t : {3, 1}) {
        for (bool tesa : {false, true}) {
            ak4(core);
            core.OAkX[1].checked = t == 1;
            core.OAkX[3].checked = t == 3;
            core.ChTesa.checked = tesa;
            core.StartAbgl_Click();
            answer(u"13"_s);
            runTo(Phase::OffsetPrompt);
            answer(u"13"_s);
            runTo(Phase::StandardPrompt);
            EXPECT_EQ(core.Soll.text, tesa ? u"784.40"_s : t == 3 ? u"2000.00"_s : u"700.00"_s);
            core.abbruchA_Click();
            run();
        }
    }
}

TEST_F(GuidedRunTest, WithoutAChannelNothingIsSent)
{
    core.StartAbgl_Click();
    EXPECT_EQ(core.Bedhinw.text, u"Kein Kanal angewählt !"_s);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(core.Soll.text, u"0.00"_s);
    EXPECT_TRUE(core.Timer1.enabled);
    EXPECT_FALSE(core.running());
    EXPECT_TRUE(bus.traffic().isEmpty());
}

// Where "Abbruch" comes, and what the registers hold afterwards.
struct AbortCase
{
    Phase at;
    bool nominal;   // SO, SP and SM at their nominal values
    bool offset;    // SO holds the zero reading
    bool searched;  // the gain left the nominal value
};

class AbortTest : public GuidedRunTest, public ::testing::WithParamInterface<AbortCase>
{
};

TEST_P(AbortTest, EndsAtOnceAndLeavesTheRegisters)
{
    const AbortCase& k = GetParam();
    board.working[0] = {0x10, 0x7F0000, 0x810000};
    board.sensitivity[0] = 2700;
    start();
    const auto goOnUntil = [&](Phase p) {
        while (core.running() && core.phase() != p && core.phase() != k.at) {
            answer(u"13"_s);
            run([&] { return core.phase() == p || core.phase() == k.at; });
        }
    };
    goOnUntil(Phase::OffsetPrompt);
    goOnUntil(Phase::StandardPrompt);
    if (k.at == Phase::PassDown) {
        board.travel[0] = 700;
        answer(u"13"_s);
        runTo(Phase::PassDown);
    }
    ASSERT_EQ(core.phase(), k.at);
    bus.clearTraffic();
    core.abbruchA_Click();
    // The standard was never inserted: the reading stays below half of it.
    run([&] { return false; }, k.at == Phase::PassDown ? 20000 : 3);
    EXPECT_FALSE(core.running());
    EXPECT_EQ(core.Bedhinw.text, u"Ende"_s);
    EXPECT_FALSE(core.Abgleich.visible);
    EXPECT_FALSE(core.weiterA.enabled);
    const AnalogBoardDouble::Register r = board.working[0];
    if (k.at == Phase::FirstAnswer)
        EXPECT_EQ(r, (AnalogBoardDouble::Register{0x10, 0x7F0000, 0x810000}));
    if (k.nominal)
        EXPECT_EQ(r, AnalogBoardDouble::Register{});
    if (k.offset)
        EXPECT_EQ(r, (AnalogBoardDouble::Register{board.raw(0), 0x800000, 0x800000}));
    if (k.searched) {
        EXPECT_EQ(r, board.written[0]);
        EXPECT_EQ(r.SO, qint64(board.zero[0]));
        EXPECT_EQ((r.SP + r.SM) % 0x1000000, 0);
    }
    EXPECT_TRUE(registerWrites().size() <= 2) << "at most the step under way is finished";
}

INSTANTIATE_TEST_SUITE_P(Prompts, AbortTest,
                         ::testing::Values(AbortCase{Phase::FirstAnswer, false, false, false},
                                           AbortCase{Phase::OffsetPrompt, true, false, false},
                                           AbortCase{Phase::StandardPrompt, false, true, false},
                                           AbortCase{Phase::PassDown, false, false, true}));

TEST_F(GuidedRunTest, ALongSearchWrapsTheGainInSixDigits)
{
    // A board whose reading never falls below the standard.
    board.ignoresGain = true;
    board.sensitivity[0] = 5120;
    board.travel[0] = 0;
    startToStandardPrompt();
    board.travel[0] = 700;
    answer(u"13"_s);
    run([&] { return registerWrites().size() >= 2 * 12; });
    EXPECT_EQ(core.phase(), Phase::CoarseSearch);
    const QStringList w = registerWrites();
    EXPECT_TRUE(w.contains(u"[1SM000000]"_s)) << qPrintable(w.join(u' '));
    EXPECT_TRUE(w.contains(u"[1SM100000]"_s));
    for (const QString& s : w)
        EXPECT_EQ(s.size(), 11) << qPrintable(s);
    core.abbruchA_Click();
    run();
    EXPECT_FALSE(core.running());
}

TEST_F(GuidedRunTest, ExitDuringARunEndsItAndStopsTheTimer)
{
    start();
    core.cmd_exit_Click();
    EXPECT_FALSE(core.running());
    EXPECT_FALSE(core.Timer1.enabled);
    EXPECT_TRUE(core.StartAbgl.enabled);
    core.Befehl2_Click();
    core.cmd_exit_Click();
    EXPECT_FALSE(core.running());
    EXPECT_EQ(board.burns.size(), 1);
}

}  // namespace

namespace {

class GainDirectionTest : public CalibrationFixture, public ::testing::WithParamInterface<bool>
{
};

TEST_P(GainDirectionTest, TheDirectionBoxSwapsTheGainWritesButNotTheReadBack)
{
    ak4(core);
    core.Kanalziffer = u"2"_s;
    core.chAK1.checked = GetParam();
    core.fakP.text = u"00123456"_s;  // the last six digits go out
    core.fakM.text = u"EDCBAA"_s;
    core.Verstaerkung_schreiben();
    const QString p = GetParam() ? u"21 [2SM123456]"_s : u"21 [2SP123456]"_s;
    const QString m = GetParam() ? u"21 [2SPEDCBAA]"_s : u"21 [2SMEDCBAA]"_s;
    EXPECT_EQ(traffic(), (QStringList{p, m, u"21 [2SW]"_s}));
    // The read-back takes FaktorP from characters 13-18 and FaktorM from
    // 20-25 whatever the box says; this board lists SM there first.
    core.Register_lesen();
    const QString sm = GetParam() ? u"123456"_s : u"EDCBAA"_s;
    const QString sp = GetParam() ? u"EDCBAA"_s : u"123456"_s;
    EXPECT_EQ(core.textx.text, u"[2SR][2SR!000000,"_s + sm + u","_s + sp + u"]"_s);
    EXPECT_EQ(core.Registertext_P, sm);
    EXPECT_EQ(core.Registertext_M, sp);
    EXPECT_EQ(core.Verstaerkung_P, sm.toLongLong(nullptr, 16));
    EXPECT_EQ(core.Verstaerkung_M, sp.toLongLong(nullptr, 16));
    EXPECT_EQ(core.fakP.text, sm);
    EXPECT_EQ(core.fakM.text, sp);
}

INSTANTIATE_TEST_SUITE_P(Laufrichtung, GainDirectionTest, ::testing::Bool());

TEST_F(CalibrationFixture, PanelOfTheSixteenChannelBoardSwitchesItsCalibrationMode)
{
    AnalogBoardDouble::install(bus, u"51"_s);
    core.OAkX[4].checked = true;
    core.OAkX_Click(4);
    core.AKNR_Click(0);
    bus.clearTraffic();
    core.abgl_Click();
    EXPECT_TRUE(core.Abgleich.visible);
    EXPECT_TRUE(core.StartAbgl.enabled);
    core.abgl_Click();
    EXPECT_FALSE(core.Abgleich.visible);
    EXPECT_EQ(traffic(), (QStringList{u"51 [1SE]"_s, u"51 [1SA]"_s}));
    EXPECT_EQ(core.messwert.text, u"[0ST][0ST!00000000]"_s) << "the panel writes no command line";
}

}  // namespace

namespace {

// --- the window's own board --------------------------------------------------------------------

TEST_F(CalibrationFixture, SelectsItsBoardWhenShownAndAfterAnotherWindowSelectedAUnit)
{
    QString busUnit = u"21"_s;  // what the shared transport selected last
    AK_AbgleichEnv e = env();
    e.busUnit = [&busUnit] { return busUnit; };
    AK_AbgleichCore c(e);
    ak4(c);
    c.Timer1_Timer();
    EXPECT_EQ(traffic(), QStringList{u"21 [0M1]"_s});

    // Hidden, while another window talks to an axis; then shown again.
    c.cmd_exit_Click();
    port.output("\x12"
                "01");
    c.shown();
    bus.clearTraffic();
    c.Timer1_Timer();
    EXPECT_EQ(traffic(), QStringList{u"21 [0M1]"_s});
    EXPECT_TRUE(c.aktiv.checked);
    EXPECT_EQ(ui.beeps, 0);

    // Another window selects a unit while this one is shown.
    port.output("\x12"
                "01");
    busUnit = u"01"_s;
    bus.clearTraffic();
    c.Register_Click();
    EXPECT_EQ(traffic(), QStringList{u"21 [1SR]"_s});
}

// --- the procedure on the simulated boards ------------------------------------------------------

struct SimBoardCase
{
    SimProbeBoard::Kind kind;
    int type;           // OAkX element
    bool runDirection;  // the direction box as the board type sets it
};

class SimBoardCalibration : public CalibrationFixture, public ::testing::WithParamInterface<SimBoardCase>
{
};

// With the direction box ticked or not, the search ends within a few counts
// of the standard: the board lists first the register that FaktorP goes to.
TEST_P(SimBoardCalibration, ReachesTheStandard)
{
    const SimBoardCase& k = GetParam();
    SimProbeBoard& b = installProbeBoard(bus.addUnit(u"22"_s), k.kind);
    b.setSensitivity(1, 0.93);
    b.setOffsetError(1, -1500);
    core.OAkX[k.type].checked = true;
    core.OAkX_Click(k.type);
    EXPECT_EQ(core.chAK1.checked, k.runDirection);
    core.AKNR_Click(1);  // "22"
    core.Check1[0].checked = true;
    core.Check1_Click();
    core.aktiv.checked = true;
    core.abgl_Click();
    core.StartAbgl_Click();
    core.weiterA_Click();
    runTo(Phase::OffsetPrompt);
    core.weiterA_Click();
    runTo(Phase::StandardPrompt);
    EXPECT_EQ(b.reading(1), 0) << "the offset takes the reading at 0";
    b.setInput(1, 700);
    core.weiterA_Click();
    runTo(Phase::LastAnswer);
    ASSERT_EQ(core.phase(), Phase::LastAnswer);
    EXPECT_NEAR(b.reading(1) / 2560.0, 700.0, 0.01);
    const SimProbeBoard::Registers r = b.working(1);
    EXPECT_EQ((r.gainP + r.gainM) & 0xFFFFFFu, 0u) << "the two gains are complements";
    EXPECT_NEAR(core.Ist.text.toDouble(), 700.0, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Laufrichtung, SimBoardCalibration,
                         ::testing::Values(SimBoardCase{SimProbeBoard::Kind::AK1, 0, false},
                                           SimBoardCase{SimProbeBoard::Kind::AK4, 1, true}));

// --- a board that falls silent ---------------------------------------------------------------

TEST_F(GuidedRunTest, ASilentBoardStopsTheSearchWhichThenWritesNothing)
{
    board.sensitivity[0] = 2400;
    startToStandardPrompt();
    board.travel[0] = 700;
    answer(u"13"_s);
    bus.clearTraffic();
    run([&] { return registerWrites().size() >= 4; });
    ASSERT_GE(registerWrites().size(), 4) << "two gain steps of the search";
    ASSERT_TRUE(core.running());

    bus.unit(u"21"_s)->setSilent(true);
    bus.clearTraffic();
    run([&] { return core.phase() == Phase::Halted; });
    ASSERT_EQ(core.phase(), Phase::Halted);
    ASSERT_EQ(traffic().size(), 1) << "nothing after the first silent exchange";
    EXPECT_TRUE(traffic().at(0).startsWith(u"21 "_s));
    EXPECT_EQ(core.Bedhinw.text, u"Keine Antwort auf "_s + bus.traffic().at(0).second + u": Abgleich angehalten"_s);
    EXPECT_TRUE(core.StartAbgl.enabled);
    EXPECT_TRUE(core.abbruchA.enabled);
    EXPECT_FALSE(core.weiterA.enabled);

    // It waits: "weiter" and time change nothing, and nothing is written.
    answer(u"13"_s);
    run([&] { return false; }, 200);
    EXPECT_EQ(core.phase(), Phase::Halted);
    EXPECT_EQ(traffic().size(), 1);

    core.abbruchA_Click();
    run();
    EXPECT_FALSE(core.running());
    EXPECT_EQ(core.Bedhinw.text, u"Ende"_s);
    // The board is still the selected one: a burn never reaches the base address.
    bus.unit(u"21"_s)->setSilent(false);
    bus.clearTraffic();
    core.Burn00_Click();
    EXPECT_EQ(traffic(), QStringList{u"21 [0ff00]"_s});
}

TEST_F(GuidedRunTest, AStoppedCalibrationCanBeStartedAgain)
{
    start();
    answer(u"13"_s);
    bus.unit(u"21"_s)->setSilent(true);
    run([&] { return core.phase() == Phase::Halted; });
    ASSERT_EQ(core.phase(), Phase::Halted);
    EXPECT_EQ(traffic().size(), 1) << "the reset stops at its first command";
    bus.unit(u"21"_s)->setSilent(false);
    core.aktiv.checked = true;
    core.StartAbgl_Click();
    EXPECT_EQ(core.phase(), Phase::FirstAnswer);
    EXPECT_EQ(core.Bedhinw.text, u"Kanal 1"_s);
    answer(u"13"_s);
    runTo(Phase::OffsetPrompt);
    EXPECT_EQ(core.phase(), Phase::OffsetPrompt);
    EXPECT_EQ(board.working[0], AnalogBoardDouble::Register{});
}

// --- channel choice, layouts, the standard prompt ---------------------------------------------

struct TickedCase
{
    std::array<bool, 4> ticked;
    const char* digit;
};

class LowestChannel : public CalibrationFixture, public ::testing::WithParamInterface<TickedCase>
{
};

TEST_P(LowestChannel, IsTheOneCalibrated)
{
    ak4(core);
    for (int ch = 0; ch < 4; ++ch)
        core.Check1[ch].checked = GetParam().ticked[std::size_t(ch)];
    core.Check1_Click();
    core.StartAbgl_Click();
    EXPECT_EQ(core.Bedhinw.text, u"Kanal "_s + QLatin1String(GetParam().digit));
    core.weiterA_Click();
    bus.clearTraffic();
    runTo(Phase::OffsetPrompt);
    ASSERT_FALSE(traffic().isEmpty());
    EXPECT_EQ(traffic().at(0), u"21 ["_s + QLatin1String(GetParam().digit) + u"SR]"_s);
    core.abbruchA_Click();
    run();
}

INSTANTIATE_TEST_SUITE_P(Boxes, LowestChannel,
                         ::testing::Values(TickedCase{{false, true, false, true}, "2"},
                                           TickedCase{{true, false, true, true}, "1"},
                                           TickedCase{{false, false, true, true}, "3"},
                                           TickedCase{{false, false, false, true}, "4"}));

TEST_F(CalibrationFixture, LayoutsHideTheZeroButtonsOfTheChannelsTheyDoNotShow)
{
    core.Vierkanal();
    core.EinKanal();
    for (int ch = 0; ch < 4; ++ch) {
        EXPECT_EQ(core.zeroButtons[ch].visible, ch == 0) << ch;
        EXPECT_EQ(core.factorBoxes[ch].visible, ch == 0) << ch;
    }
    core.ZweiKanal();
    for (int ch = 0; ch < 4; ++ch)
        EXPECT_EQ(core.zeroButtons[ch].visible, ch < 2) << ch;
    core.Vierkanal();
    for (int ch = 0; ch < 4; ++ch)
        EXPECT_TRUE(core.zeroButtons[ch].visible) << ch;
}

struct HalfCase
{
    double travel;  // µm under the probe at the standard prompt
    bool goesOn;
};

class HalfStandard : public GuidedRunTest, public ::testing::WithParamInterface<HalfCase>
{
};

// "weiter" takes effect only once the reading's absolute value passes half
// the standard (350 of 700).
TEST_P(HalfStandard, LetsTheSearchBeginOnlyAboveHalfTheStandard)
{
    board.sensitivity[0] = 2560;
    startToStandardPrompt();
    board.travel[0] = GetParam().travel;
    answer(u"13"_s);
    const double t0 = clock.now();
    run([&] { return core.phase() != Phase::StandardPrompt || clock.now() > t0 + 30; });
    EXPECT_EQ(core.phase() != Phase::StandardPrompt, GetParam().goesOn) << core.Ist.text.toStdString();
    core.abbruchA_Click();
    run();
}

INSTANTIATE_TEST_SUITE_P(Readings, HalfStandard,
                         ::testing::Values(HalfCase{349.9, false}, HalfCase{350, false}, HalfCase{350.1, true},
                                           HalfCase{-350.1, true}));

// --- carrier and analog-output commands -------------------------------------------------------

struct OptionCase
{
    int frame;
    int index;
    const char* command;
};

class CarrierOption : public CalibrationFixture, public ::testing::WithParamInterface<OptionCase>
{
};

TEST_P(CarrierOption, SendsTheChannelsOwnCode)
{
    ak4(core);
    core.Option_Click(GetParam().frame, GetParam().index);
    EXPECT_EQ(traffic(), QStringList{u"21 "_s + QLatin1String(GetParam().command)});
    EXPECT_EQ(core.messwert.text,
              QLatin1String(GetParam().command) + u"["_s + QLatin1String(GetParam().command).mid(1, 3) + u"!]"_s);
}

INSTANTIATE_TEST_SUITE_P(Codes, CarrierOption,
                         ::testing::Values(OptionCase{0, 0, "[1FQ3F92]"}, OptionCase{0, 1, "[1FQ2C13]"},
                                           OptionCase{1, 0, "[2FQ4189]"}, OptionCase{1, 1, "[2FQ2A99]"},
                                           OptionCase{2, 0, "[3FQ4100]"}, OptionCase{2, 1, "[3FQ3800]"},
                                           OptionCase{3, 0, "[4FQ4100]"}, OptionCase{3, 1, "[4FQ3600]"}));

class AnalogOutputOption : public CalibrationFixture, public ::testing::WithParamInterface<OptionCase>
{
};

TEST_P(AnalogOutputOption, SendsItsVoltageCode)
{
    ak4(core);
    core.OADADA_Click(GetParam().index);
    EXPECT_EQ(traffic(), QStringList{u"21 "_s + QLatin1String(GetParam().command)});
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(core.OADADA[i].checked, i == GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Voltages, AnalogOutputOption,
                         ::testing::Values(OptionCase{0, 0, "[3DA07FF]"}, OptionCase{0, 1, "[3DA03FF]"},
                                           OptionCase{0, 2, "[3DA0000]"}, OptionCase{0, 3, "[3DAFBFF]"},
                                           OptionCase{0, 4, "[3DAF801]"}));

}  // namespace
