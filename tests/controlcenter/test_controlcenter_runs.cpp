// The runs of the control center against a simulated motor axis: the
// reference run of the travel picture (both variants, starting on a switch,
// interruptions and what they leave in the controller, failed position
// replies, the window's own axis record, rotary axes), the continuous run,
// counter zeroing and the index capture.

#include "AxisBench.h"

#include "Format.h"

#include <gtest/gtest.h>

using namespace controlDesk;

namespace {

// Software limits and speeds the controller holds before a run.
const QByteArray L5 = "FFFF8AD0";  // -30000
const QByteArray L6 = "0000EA60";  // 60000

class RunsTest : public ::testing::Test
{
protected:
    RunsTest() : cc(p.env())
    {
        p.axisNo(1, 10000);
        // As the main window does: limit codes stay quiet during the high-resolution run.
        p.transport().referenceRunActive = [this] { return cc.FlagGrafikInit == 1; };
        SimAxisModel& m = sim();
        m.setMinusSwitch(-20000);
        m.setPlusSwitch(50000);
        m.setParameter("1L5", L5);
        m.setParameter("1L6", L6);
        m.setParameter("1AE", "0200");
    }
    ~RunsTest() override { p.transport().referenceRunActive = nullptr; }

    SimAxisModel& sim() { return p.axis().model(); }
    qint32 position() { return p.axis().position(); }

    void tick(double dt = 0.01)
    {
        p.clockSource->advance(dt);
        cc.Aktualisieren();
    }
    // Ticks until the reference run has ended; false when it did not.
    bool untilRunEnd(int max = 4000)
    {
        for (int i = 0; i < max && cc.FlagGrafikInit != 0; ++i)
            tick();
        return cc.FlagGrafikInit == 0;
    }
    // Ticks until the run waits in `phase` with the axis standing.
    bool untilPhaseStandstill(double phase, int max = 4000)
    {
        for (int i = 0; i < max; ++i) {
            p.clockSource->advance(0.01);
            if (cc.Referenzphase == phase && !p.axis().isMoving())
                return true;
            cc.Aktualisieren();
        }
        return false;
    }
    QStringList receivedLines(const QString& prefix = {})
    {
        QStringList out;
        for (const QString& c : p.unit().received())
            if (c.startsWith(prefix))
                out << c;
        return out;
    }
    void speedsAndLimitsAreTheOriginals()
    {
        EXPECT_EQ(sim().parameter("1VP"), QByteArray("0032"));
        EXPECT_EQ(sim().parameter("1AP"), QByteArray("0100"));
        EXPECT_EQ(sim().parameter("1L5"), L5);
        EXPECT_EQ(sim().parameter("1L6"), L6);
        EXPECT_FALSE(cc.referenceRestorePending());
    }
    // The unit hangs for `seconds` from now: what reaches it meanwhile is
    // neither carried out nor answered.
    void stall(double seconds)
    {
        const double end = p.clockSource->now() + seconds;
        p.unit().setHandler({}, [this, end](SimUnit&, const SimCommand&) {
            return p.clockSource->now() < end ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
        });
    }
    int questionCount() const
    {
        int n = 0;
        for (const auto& m : p.uiServices->messages)
            n += m.title == ControlCenterCore::GraphicsTitle ? 1 : 0;
        return n;
    }
    // Arms the index capture, moves across the mark and returns the display.
    QString findIndex()
    {
        cc.cmd_IndexSuche_MouseUp(1);
        tick();
        EXPECT_EQ(cc.lb_indexanzeige.text, QStringLiteral("Index?"));
        cc.cb_SchritteE.listIndex = Unit::counts;
        cc.text_strecke.text = QStringLiteral("20000");
        cc.cmd_Fahrt_Click(1);
        for (int i = 0; i < 400 && (cc.FlagIndexSuche == 1 || cc.flagpollen == 1); ++i)
            tick();
        return cc.lb_indexanzeige.text;
    }
    QString toNumber(const QString& text) const
    {
        QString t = text;
        return cc.usesComma() ? t.replace(QLatin1Char('.'), QLatin1Char(',')) : t;
    }

    AxisBench p;
    ControlCenterCore cc;
};

}  // namespace

// --- reference run -------------------------------------------------------------------------

TEST_F(RunsTest, RunWhoseStepsLeaveTheCounterIsRefused)
{
    p.axisNo(1, 1e9);
    openForm(cc);
    p.unit().clearReceived();
    cc.pb_Grafikunterstuetzung_MouseUp(2);
    tick();
    ASSERT_FALSE(p.uiServices->messages.isEmpty());
    EXPECT_EQ(p.uiServices->texts().last(), ControlCenterCore::ReferenceFactorError);
    for (const QString& c : p.unit().received())
        EXPECT_FALSE(c.startsWith(QStringLiteral("[1FR")) || c.startsWith(QStringLiteral("[1L"))) << qPrintable(c);
}

TEST_F(RunsTest, HighResolutionRunEndsHalfAStepInsideTheLastFreePositions)
{
    sim().setIndexMarks({10000});
    openForm(cc);
    p.unit().clearReceived();
    cc.pb_Grafikunterstuetzung_MouseUp(2);
    tick();
    EXPECT_EQ(p.uiServices->messages.first().text, ControlCenterCore::GraphicsQuestionFine);
    // Start: saved values, limit-run speeds, opened limits, index search.
    EXPECT_EQ(p.unit().received().mid(0, 14),
              QStringList({"[1PA]", "[1PA]", "[1l5]", "[1l6]", "[1vE]", "[1aE]", "[1vP]", "[1aP]", "[1VP0014]",
                           "[1AP0200]", "[1L6007FFFFF]", "[1L5FF800001]", "[1GX]", "[0po]"}));
    EXPECT_FALSE(cc.pb_Grafikunterstuetzung.enabled);
    EXPECT_TRUE(cc.cmd_STOPP.enabled);

    ASSERT_TRUE(untilRunEnd());
    // Steps of 0.1 mm both ways.
    EXPECT_TRUE(receivedLines().contains(QStringLiteral("[1FR000003E8]")));
    EXPECT_TRUE(receivedLines().contains(QStringLiteral("[1FRFFFFFC18]")));
    // The last free positions were 1000 counts off each switch.
    EXPECT_DOUBLE_EQ(cc.Grenze_minus, -18500);
    EXPECT_DOUBLE_EQ(cc.Grenze_plus, 48500);
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(1).PositionM, -18500);
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(1).PositionP, 48500);
    EXPECT_DOUBLE_EQ(cc.Messtischweg, 6.7);
    EXPECT_DOUBLE_EQ(cc.Grafikmassstab, 67000.0 / (ControlCenterCore::PictureWidth - 30));
    EXPECT_EQ(cc.line_schlitten.colour, DarkGreen);
    EXPECT_TRUE(cc.lb_ESM.visible);
    EXPECT_TRUE(cc.lb_ESP.visible);
    // Marks at the restored software limits.
    EXPECT_EQ(cc.sh_index_x[0], int(std::round((-30000 + 18500) / cc.Grafikmassstab + 10)));
    EXPECT_EQ(cc.sh_index_x[1], int(std::round((60000 + 18500) / cc.Grafikmassstab + 10)));
    // Back where the index search stopped, with the controller's own values.
    EXPECT_EQ(position(), 10000);
    speedsAndLimitsAreTheOriginals();
    EXPECT_DOUBLE_EQ(cc.Referenzphase, 0.5);
    EXPECT_EQ(cc.FlagAuslesen, 1);
    EXPECT_TRUE(cc.pb_Grafikunterstuetzung.enabled);
    EXPECT_GE(p.enableAllCalls, 1);
    // Limit codes during the run were not reported as errors.
    EXPECT_EQ(p.uiServices->messages.size(), 1);
}

TEST_F(RunsTest, SimpleRunEndsAtTheSwitchStopsAndReturnsToTheStart)
{
    openForm(cc);
    // A message from elsewhere in front of every poll reply ends no move early.
    p.unit().setStrayBefore("[0po", "[9XX!STRAY]");
    p.axis().setPosition(5000);
    cc.pb_Grafikunterstuetzung_MouseUp(1);
    ASSERT_TRUE(untilRunEnd());
    EXPECT_EQ(p.uiServices->messages.first().text, ControlCenterCore::GraphicsQuestionSimple);
    EXPECT_TRUE(receivedLines().contains(QStringLiteral("[1FRFFFF8AD0]")));  // 3 mm off the plus switch
    EXPECT_TRUE(receivedLines(QStringLiteral("[1GX]")).isEmpty());
    EXPECT_DOUBLE_EQ(cc.Grenze_minus, -20000);
    EXPECT_DOUBLE_EQ(cc.Grenze_plus, 50000);
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(1).PositionP, 50000);
    EXPECT_DOUBLE_EQ(cc.Messtischweg, 7.0);
    EXPECT_EQ(position(), 5000);
    speedsAndLimitsAreTheOriginals();
}

TEST_F(RunsTest, RunStartedOnTheMinusSwitchFirstStepsOffIt)
{
    openForm(cc);
    p.axis().setPosition(-20000);
    cc.pb_Grafikunterstuetzung_MouseUp(1);
    tick();
    EXPECT_EQ(cc.lb_ESM.colour, DarkYellow);
    EXPECT_DOUBLE_EQ(cc.Referenzphase, 1.5);
    ASSERT_TRUE(untilRunEnd());
    const QStringList moves = receivedLines(QStringLiteral("[1F"));
    ASSERT_GE(moves.size(), 2);
    EXPECT_EQ(moves.mid(0, 2), QStringList({"[1FR00007530]", "[1FX]"}));
    EXPECT_DOUBLE_EQ(cc.Grenze_minus, -20000);
    EXPECT_DOUBLE_EQ(cc.Grenze_plus, 50000);
    EXPECT_EQ(position(), -20000);
}

TEST_F(RunsTest, StopInTheMiddleRestoresSpeedsAndLimitsOnTheNextAnsweredTick)
{
    sim().setIndexMarks({10000});
    openForm(cc);
    cc.pb_Grafikunterstuetzung_MouseUp(2);
    for (int i = 0; i < 400 && cc.Referenzphase != 2; ++i)
        tick();
    ASSERT_EQ(cc.Referenzphase, 2);
    ASSERT_TRUE(p.axis().isMoving());
    EXPECT_EQ(sim().parameter("1VP"), QByteArray("0014"));
    EXPECT_EQ(sim().parameter("1L6"), QByteArray("007FFFFF"));

    cc.cmd_STOPP_Click();
    EXPECT_TRUE(cc.referenceRestorePending());
    // Unanswered: nothing can be written back yet.
    p.unit().setSilent(true);
    tick();
    EXPECT_TRUE(cc.referenceRestorePending());
    p.unit().setSilent(false);
    tick();
    EXPECT_FALSE(p.axis().isMoving());
    speedsAndLimitsAreTheOriginals();
    EXPECT_EQ(p.uiServices->messages.size(), 1);
    EXPECT_DOUBLE_EQ(cc.Referenzphase, 0.5);
}

TEST_F(RunsTest, MissedRepliesPauseTheRunWhichGoesOnFromItsPhase)
{
    openForm(cc);
    cc.pb_Grafikunterstuetzung_MouseUp(1);
    for (int i = 0; i < 400 && cc.Referenzphase != 2; ++i)
        tick();
    ASSERT_EQ(cc.Referenzphase, 2);
    p.unit().setSilent(true);
    tick();
    EXPECT_DOUBLE_EQ(cc.Referenzphase, 2);
    p.unit().setSilent(false);
    p.clockSource->advance(10);  // the limit run has ended on the switch meanwhile
    p.unit().clearReceived();
    int reads = 0;  // the run's own position read at the switch goes unanswered once
    p.unit().setHandler(QStringLiteral("1PA"), [&reads](SimUnit&, const SimCommand&) {
        return ++reads == 2 ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    });
    tick();
    EXPECT_DOUBLE_EQ(cc.Referenzphase, 2);
    ASSERT_TRUE(untilRunEnd());
    EXPECT_EQ(questionCount(), 1);
    EXPECT_TRUE(receivedLines(QStringLiteral("[1vE]")).isEmpty());  // not started again
    EXPECT_DOUBLE_EQ(cc.Messtischweg, 7.0);
    speedsAndLimitsAreTheOriginals();
}

TEST_F(RunsTest, UnitLostMidRunIsStoppedAtOnce)
{
    openForm(cc);
    cc.pb_Grafikunterstuetzung_MouseUp(1);
    for (int i = 0; i < 400 && cc.Referenzphase != 2; ++i)
        tick();
    ASSERT_TRUE(p.axis().isMoving());
    stall(0.6);
    tick();
    tick();  // the lamp turns red
    EXPECT_EQ(cc.sh_an_aus.colour, Red);
    EXPECT_EQ(cc.FlagGrafikInit, 0);
    EXPECT_EQ(p.enableAllCalls, 1);
    EXPECT_FALSE(receivedLines(QStringLiteral("[1BR]")).isEmpty());
    EXPECT_FALSE(p.axis().isMoving());
    EXPECT_LT(position(), 45000);
    EXPECT_FALSE(cc.pb_Grafikunterstuetzung.enabled);
}

TEST_F(RunsTest, LostUnitCostsNoTickAndGetsItsValuesBackWhenChosenAndAnswering)
{
    openForm(cc);
    const QString speed = cc.text_Geschwindigkeit.text;
    cc.pb_Grafikunterstuetzung_MouseUp(1);
    for (int i = 0; i < 400 && cc.Referenzphase != 2; ++i)
        tick();
    ASSERT_EQ(cc.Referenzphase, 2);
    p.unit().setSilent(true);
    tick();
    tick();  // the lamp turns red
    EXPECT_EQ(cc.FlagGrafikInit, 0);
    // Turned to unit 02: choosing it and its ticks wait for nothing of unit 01.
    p.unit().clearReceived();
    cc.setAddressesIndex(2);
    double longest = 0;
    for (int i = 0; i < 20; ++i) {
        const double t0 = p.clockSource->now();
        i == 0 ? cc.Initialisierung() : cc.Aktualisieren();
        longest = std::max(longest, p.clockSource->now() - t0);
    }
    EXPECT_LT(longest, 0.05);
    EXPECT_TRUE(p.unit().received().isEmpty());
    // Chosen again while still silent: asked for its status only; Stop stays usable.
    cc.setAddressesIndex(1);
    cc.Initialisierung();
    EXPECT_EQ(p.unit().received(), QStringList({"[0ST]"}));
    EXPECT_TRUE(cc.cmd_STOPP.enabled);
    p.unit().setSilent(false);
    cc.setAddressesIndex(1);
    cc.Initialisierung();
    cc.auslesen();
    EXPECT_FALSE(p.axis().isMoving());
    EXPECT_EQ(cc.text_Geschwindigkeit.text, speed);
    speedsAndLimitsAreTheOriginals();
}

TEST_F(RunsTest, ClosingOrChangingTheUnitMidRunRestoresTheRunsOwnUnit)
{
    sim().setIndexMarks({10000});
    openForm(cc);
    cc.pb_Grafikunterstuetzung_MouseUp(2);
    for (int i = 0; i < 400 && cc.Referenzphase != 2; ++i)
        tick();
    ASSERT_EQ(cc.Referenzphase, 2);
    // Another unit is chosen: the run is abandoned and the next answered tick
    // (of unit 02) writes the values back to unit 01.
    cc.setAddressesIndex(2);
    EXPECT_EQ(cc.FlagGrafikInit, 0);
    cc.Initialisierung();
    tick();
    speedsAndLimitsAreTheOriginals();
    EXPECT_TRUE(SimAxis(*p.bus, QStringLiteral("02")).model().parameter("1VP") == QByteArray("0032"));
    EXPECT_TRUE(p.unit(QStringLiteral("02")).received().filter(QStringLiteral("[1L")).isEmpty());

    // Closed mid-run: no tick follows, so closing writes them back.
    p.clockSource->advance(10);  // the abandoned limit run has ended on its switch
    cc.setAddressesIndex(1);
    cc.Initialisierung();
    cc.pb_Grafikunterstuetzung_MouseUp(2);
    for (int i = 0; i < 400 && cc.Referenzphase < 3; ++i)
        tick();
    ASSERT_GE(cc.Referenzphase, 3);
    ASSERT_EQ(sim().parameter("1VP"), QByteArray("0014"));
    cc.Form_Unload();
    EXPECT_FALSE(p.axis().isMoving());
    speedsAndLimitsAreTheOriginals();
}

TEST_F(RunsTest, RejectedPositionReplyAbortsWithRestoreAndMessageAndBuildsNoMove)
{
    openForm(cc);
    cc.pb_Grafikunterstuetzung_MouseUp(1);
    // Phase 2 reads the position once the limit run has ended.
    ASSERT_TRUE(untilPhaseStandstill(2));
    p.unit().clearReceived();
    p.unit().rejectNext(QStringLiteral("[1PA]"), 0x0005, 2);  // the tick's poll and the run's read
    tick();
    EXPECT_EQ(cc.FlagGrafikInit, 0);
    EXPECT_DOUBLE_EQ(cc.Referenzphase, 0.5);
    EXPECT_TRUE(p.uiServices->texts().contains(ControlCenterCore::ReferenceError + QStringLiteral("[1PA?0005]")));
    EXPECT_TRUE(receivedLines(QStringLiteral("[1FR")).isEmpty());
    EXPECT_TRUE(receivedLines(QStringLiteral("[1FA")).isEmpty());
    speedsAndLimitsAreTheOriginals();
    EXPECT_TRUE(cc.cmd_Fahrt[1].enabled);
    EXPECT_NE(cc.line_schlitten.colour, DarkGreen);
}

TEST_F(RunsTest, UnreadableStartChangesNothing)
{
    openForm(cc);
    p.unit().clearReceived();
    // The start's own position read goes unanswered (the tick's poll does not).
    int reads = 0;
    p.unit().setHandler(QStringLiteral("1PA"), [&reads](SimUnit&, const SimCommand&) {
        return ++reads == 2 ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    });
    cc.pb_Grafikunterstuetzung_MouseUp(1);
    tick();
    EXPECT_EQ(cc.FlagGrafikInit, 0);
    EXPECT_EQ(p.uiServices->texts().last(), ControlCenterCore::ReferenceError + keine_Antwort);
    EXPECT_TRUE(receivedLines(QStringLiteral("[1l5]")).isEmpty());
    p.unit().setHandler(QStringLiteral("1PA"), {});

    p.unit().rejectNext(QStringLiteral("[1vP]"), 0x0005);
    cc.pb_Grafikunterstuetzung_MouseUp(1);
    tick();
    EXPECT_EQ(cc.FlagGrafikInit, 0);
    EXPECT_TRUE(receivedLines(QStringLiteral("[1VP")).isEmpty());
    EXPECT_TRUE(receivedLines(QStringLiteral("[1L6")).isEmpty());
    EXPECT_TRUE(p.uiServices->texts().last().startsWith(ControlCenterCore::ReferenceReadError));
    speedsAndLimitsAreTheOriginals();
}

TEST_F(RunsTest, WindowThatIsNotCurrentUsesItsOwnAxisRecord)
{
    openForm(cc);
    // Axis 2 has no switches; another window keeps moving the cursor there.
    p.store.axisRecordAt(2).Endschalter_Plus = 0;
    p.store.axisRecordAt(2).Endschalter_minus = 0;
    p.store.axisRecordAt(2).PositionM = -1;
    p.store.axisRecordAt(2).PositionP = 1;
    cc.pb_Grafikunterstuetzung_MouseUp(1);
    for (int i = 0; i < 4000 && cc.FlagGrafikInit != 0; ++i) {
        p.store.setIndex(2);
        tick();
    }
    ASSERT_EQ(cc.FlagGrafikInit, 0);
    EXPECT_FALSE(receivedLines(QStringLiteral("[1FX]")).isEmpty());
    EXPECT_FALSE(receivedLines(QStringLiteral("[1FY]")).isEmpty());
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(1).PositionM, -20000);
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(1).PositionP, 50000);
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(2).PositionM, -1);
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(2).PositionP, 1);
}

TEST_F(RunsTest, RotaryAxisWithoutPlusSwitchTakesItsEndFromTheLimitBoxInDegrees)
{
    p.axisNo(1, 36000, 0.01, 50, 1, true);
    p.store.axisRecordAt(1).Endschalter_Plus = 0;
    sim().setPlusSwitch(std::nullopt);
    sim().setMinusSwitch(-18000);
    sim().setIndexMarks({1000});
    openForm(cc);
    ASSERT_EQ(cc.drehantrieb, 1);
    cc.text_SLP.text = QStringLiteral("90");
    cc.pb_Grafikunterstuetzung_MouseUp(2);
    ASSERT_TRUE(untilRunEnd());
    EXPECT_TRUE(receivedLines(QStringLiteral("[1FX]")).isEmpty());
    EXPECT_DOUBLE_EQ(cc.Grenze_plus, 9000);
    EXPECT_DOUBLE_EQ(cc.Grenze_minus, -18000 + 3600 + 1800);
    EXPECT_FALSE(cc.lb_ESP.visible);
    EXPECT_TRUE(cc.lb_ESM.visible);
    EXPECT_EQ(position(), 1000);
}

TEST_F(RunsTest, AnswerNoMarksThePictureInvalidAndChangesNothing)
{
    openForm(cc);
    p.uiServices->answers << MsgResult::No;
    cc.pb_Grafikunterstuetzung_MouseUp(2);
    p.unit().clearReceived();
    tick();
    EXPECT_EQ(cc.line_schlitten.colour, Red);
    EXPECT_DOUBLE_EQ(cc.Messtischweg, 0);
    EXPECT_EQ(receivedLines(), QStringList({"[1PA]"}));
}

// --- continuous run -------------------------------------------------------------------------------

TEST_F(RunsTest, ModeFiveWalksOutwardsAndARefusalStopsIt)
{
    openForm(cc);
    cc.cb_SchritteE.listIndex = Unit::counts;
    cc.text_strecke.text = QStringLiteral("1000");
    cc.text_strecke_LostFocus();
    cc.sl_dauer_Change(5);
    for (int i = 0; i < 2000 && receivedLines(QStringLiteral("[1FA")).size() < 5; ++i)
        tick();
    EXPECT_EQ(receivedLines(QStringLiteral("[1FA")),
              QStringList({"[1FA000003E8]", "[1FA00000000]", "[1FA000007D0]", "[1FA00000000]", "[1FA00000BB8]"}));
    EXPECT_FALSE(cc.cmd_Fahrt[1].enabled);

    p.unit().rejectNext(QStringLiteral("[1FA"), 0x0013);
    for (int i = 0; i < 200; ++i)
        tick();
    EXPECT_EQ(receivedLines(QStringLiteral("[1FA")).size(), 6);
    EXPECT_EQ(cc.FlagDauer, 0);
    EXPECT_EQ(cc.sl_dauer.value, 0);
    EXPECT_EQ(cc.Dauerphase, 0);
    EXPECT_TRUE(cc.cmd_Fahrt[1].enabled);
}

TEST_F(RunsTest, ModeFiveStopsBeforeATargetLeavesTheCounter)
{
    sim().setParameter("1VP", "FFFF");
    sim().setParameter("1AP", "FFFF");
    sim().setParameter("1L5", "FF800001");
    sim().setParameter("1L6", "007FFFFF");
    sim().setMinusSwitch(std::nullopt);
    sim().setPlusSwitch(std::nullopt);
    openForm(cc);
    cc.cb_SchritteE.listIndex = Unit::counts;
    cc.text_strecke.text = QStringLiteral("3000000");
    cc.text_strecke_LostFocus();
    cc.sl_dauer_Change(5);
    for (int i = 0; i < 400 && cc.FlagDauer != 0; ++i)
        tick();
    EXPECT_EQ(cc.FlagDauer, 0);
    EXPECT_EQ(receivedLines(QStringLiteral("[1FA")),
              QStringList({"[1FA002DC6C0]", "[1FA00000000]", "[1FA005B8D80]", "[1FA00000000]"}));
    EXPECT_EQ(p.uiServices->texts().last(), ControlCenterCore::RangeError);
    EXPECT_TRUE(cc.cmd_Fahrt[1].enabled);
}

TEST_F(RunsTest, OtherModesPostTheirTargets)
{
    openForm(cc);
    cc.cb_SchritteE.listIndex = Unit::counts;
    cc.text_strecke.text = QStringLiteral("500");
    cc.text_strecke_LostFocus();
    const auto searchRun = [&](int mode, int moves) {
        cc.cmd_STOPP_Click();
        for (int i = 0; i < 300 && (cc.flagsenden || cc.flagpollen); ++i)
            tick();
        p.unit().clearReceived();
        cc.sl_dauer_Change(mode);
        for (int i = 0;
             i < 3000 &&
             receivedLines(QStringLiteral("[1F")).size() + receivedLines(QStringLiteral("[1G")).size() < moves;
             ++i)
            tick();
        QStringList out = receivedLines(QStringLiteral("[1F")) + receivedLines(QStringLiteral("[1G"));
        return out.mid(0, moves);
    };
    EXPECT_EQ(searchRun(1, 3), QStringList({"[1FA000001F4]", "[1FAFFFFFE0C]", "[1FA000001F4]"}));
    EXPECT_EQ(searchRun(3, 2), QStringList({"[1FAFFFFFE0C]", "[1FA00000000]"}));
    EXPECT_EQ(searchRun(4, 2), QStringList({"[1FX]", "[1FY]"}));
    cc.cmd_STOPP_Click();
    tick();
    EXPECT_EQ(cc.FlagDauer, 0);
}

// --- counter zeroing ------------------------------------------------------------------------------

TEST_F(RunsTest, ZeroingShiftsTheTravelEndsWithTheCounter)
{
    openForm(cc);
    p.axis().setPosition(5000);
    cc.Grenze_minus = -20000;
    cc.Grenze_plus = 80000;
    cc.cmd_ZaehlerNull_Click();
    tick();
    EXPECT_EQ(cc.FlagZaehlerNullen, 0);
    EXPECT_DOUBLE_EQ(cc.Grenze_minus, -25000);
    EXPECT_DOUBLE_EQ(cc.Grenze_plus, 75000);
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(1).PositionM, -25000);
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(1).PositionP, 75000);
    EXPECT_EQ(cc.lb_ESM.text, toNumber(QStringLiteral("-2.50")));
    EXPECT_EQ(cc.lb_ESP.text, toNumber(QStringLiteral("7.50")));
    EXPECT_EQ(position(), 0);
    // The switches stay where they are on the machine.
    EXPECT_EQ(sim().plusSwitch().value_or(0), 45000);
}

TEST_F(RunsTest, ZeroingWithoutAPositionOrAnAcceptedZeroChangesNothing)
{
    openForm(cc);
    p.axis().setPosition(5000);
    cc.Grenze_minus = -20000;
    cc.Grenze_plus = 80000;
    p.unit().clearReceived();
    p.unit().rejectNext(QStringLiteral("[1PA]"), 0x0005, 2);
    cc.cmd_ZaehlerNull_Click();
    tick();
    EXPECT_TRUE(receivedLines(QStringLiteral("[1PR]")).isEmpty());
    EXPECT_EQ(cc.FlagZaehlerNullen, 0);
    EXPECT_DOUBLE_EQ(cc.Grenze_minus, -20000);
    EXPECT_EQ(position(), 5000);

    // Refused while the axis moves: the ends stay with the counter.
    cc.cb_SchritteE.listIndex = Unit::counts;
    cc.text_strecke.text = QStringLiteral("40000");
    cc.cmd_Fahrt_Click(1);
    tick(0.001);
    ASSERT_TRUE(p.axis().isMoving());
    cc.cmd_ZaehlerNull_Click();
    tick(0.001);
    EXPECT_EQ(receivedLines(QStringLiteral("[1PR]")).size(), 1);
    EXPECT_DOUBLE_EQ(cc.Grenze_minus, -20000);
    EXPECT_DOUBLE_EQ(cc.Grenze_plus, 80000);
    EXPECT_TRUE(cc.lb_Fehler.text.startsWith(QStringLiteral("[1PR]--->[1PR?")));
}

// --- index capture --------------------------------------------------------------------------------

TEST_F(RunsTest, IndexFoundIsShownAndARightClickMovesExactlyThere)
{
    p.flags.setDigitIndex(3);  // four decimals
    sim().setIndexMarks({12345});
    openForm(cc);
    cc.cmd_IndexSuche_MouseUp(2);  // nothing found yet: nothing posted
    EXPECT_EQ(cc.flagsenden, 0);
    cc.cmd_IndexSuche_MouseUp(1);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1IF]"));
    EXPECT_EQ(cc.cmd_IndexSuche.colour, DarkYellow);
    EXPECT_EQ(cc.FlagIndexSuche, 1);
    cc.cmd_IndexSuche_MouseUp(1);  // armed: disarms
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1IS][0ST]"));
    EXPECT_EQ(cc.FlagIndexSuche, 0);
    EXPECT_EQ(cc.cmd_IndexSuche.colour, Gray);
    tick();

    EXPECT_EQ(findIndex(), toNumber(QStringLiteral("1.2345")));
    // "not found yet" replies are no errors
    EXPECT_TRUE(p.uiServices->messages.isEmpty());
    EXPECT_EQ(cc.cmd_IndexSuche.colour, Green);
    EXPECT_EQ(cc.lb_indexanzeige.colour, Green);
    EXPECT_FALSE(receivedLines(QStringLiteral("[1IS]")).isEmpty());

    cc.cmd_IndexSuche_MouseUp(2);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1FA00003039]"));
    EXPECT_EQ(cc.cmd_IndexSuche.colour, Gray);
    EXPECT_EQ(cc.lb_indexanzeige.text, QStringLiteral("Index"));
    for (int i = 0; i < 400 && (cc.flagsenden == 1 || cc.flagpollen == 1); ++i)
        tick();
    EXPECT_EQ(position(), 12345);
}

TEST_F(RunsTest, IndexSearchWithoutAMotorFactorIsRefused)
{
    p.axisNo(1, 0);
    sim().setIndexMarks({12345});
    openForm(cc);
    ASSERT_EQ(cc.Motorfaktor, 0);
    p.unit().clearReceived();
    const auto before = p.uiServices->messages.size();
    cc.cmd_IndexSuche_MouseUp(1);
    ASSERT_EQ(p.uiServices->messages.size(), before + 1);
    EXPECT_EQ(p.uiServices->texts().last(), ControlCenterCore::IndexFactorError);
    EXPECT_EQ(cc.FlagIndexSuche, 0);
    EXPECT_EQ(cc.cmd_IndexSuche.colour, Gray);
    for (int i = 0; i < 20; ++i)
        tick();
    EXPECT_TRUE(receivedLines(QStringLiteral("[1IF]")).isEmpty());
    EXPECT_TRUE(receivedLines(QStringLiteral("[1IA]")).isEmpty());
}

TEST_F(RunsTest, SixDecimalsBeyondTheAxisResolutionShowTheSameIndex)
{
    p.flags.setDigitIndex(5);
    sim().setIndexMarks({12345});
    openForm(cc);
    EXPECT_EQ(findIndex(), toNumber(QStringLiteral("1.2345")));
    // A click on the green button only clears the display.
    cc.cmd_IndexSuche_MouseUp(1);
    EXPECT_EQ(cc.lb_indexanzeige.text, QStringLiteral("Index"));
    EXPECT_EQ(cc.cmd_IndexSuche.colour, Gray);
    EXPECT_EQ(cc.flagsenden, 0);
}

TEST_F(RunsTest, RightClickMovesToTheCapturedCountsWhenTheDisplayIsRounded)
{
    // 50000 counts/mm shown with four decimals: the display rounds 12347 counts.
    p.axisNo(1, 50000);
    p.flags.setDigitIndex(3);
    sim().setIndexMarks({12347});
    openForm(cc);
    EXPECT_EQ(findIndex(), toNumber(QStringLiteral("0.2469")));
    cc.cmd_IndexSuche_MouseUp(2);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1FA0000303B]"));
}
