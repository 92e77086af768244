// The control-loop window's core bound to a control center on a simulated
// axis with a servo loop, served by the main loop: time base, register read
// and write with the older controller's fallback, EEPROM store, step
// response commands and curve, colour cycle, repetition, refusals, and the
// binding that keeps the window on its own axis.

#include "AxisBench.h"
#include "ControlLoopCore.h"
#include "MainLoop.h"
#include "SimServoLoop.h"

#include <gtest/gtest.h>

using namespace controlDesk;

namespace {

class ControlLoopTest : public ::testing::Test
{
protected:
    ControlLoopTest() : cc(p.env()), loop(loopEnv())
    {
        p.axisNo(1, 1000);
        servo = installServoLoop(p.unit());
        openForm(cc, 1);
        cc.Tag = 1;
        p.registry.CC.add(1, &cc);
        p.registry.CC_Aktivieren(1);
        p.registry.Statustabelle[1] = 1;
        p.registry.frm_controlparameter = &loop;
        loop.setView({nullptr,
                      {},
                      [this](const ControlLoopCore::PlotLine& l) { linien << l; },
                      [this] { linien.clear(); },
                      {},
                      [this] { ++distanceFocus; }});
        loop.CCIndex = 1;
        loop.Form_Activate();
        tick();
        p.unit().clearReceived();
    }
    ControlLoopEnv loopEnv()
    {
        ControlLoopEnv e;
        e.bus = &p.transport();
        e.ui = p.dialogs;
        e.options = &p.flags;
        e.registry = &p.registry;
        e.st = [] { return 0.001; };
        e.motfaktor_berechnen = [this] {
            ++computed;
            return CalcResult::Computed;
        };
        return e;
    }
    // One tick of the main loop; the control center's mailbox goes out as
    // its own cycle sends it.
    void tick()
    {
        p.clockSource->advance(0.002);
        mainLoop.Timer1_Timer();
        if (cc.flagsenden == 1)
            cc.Aktualisieren();
    }
    // A record of 101 positions advancing `stepCounts` counts per interval.
    void constantRecording(qint32 stepCounts)
    {
        p.unit().setHandler(
            QStringLiteral("1XL"), [stepCounts](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
                QByteArray text;
                for (int n = 0; n < ControlLoopCore::ValueCount; ++n)
                    text += (n ? "," : "") +
                            QByteArray::number(quint32(n * stepCounts) & 0xFFFFFF, 16).rightJustified(6, '0');
                return c.accepted(text);
            });
    }
    QStringList sentLines(const QString& commandPrefix)
    {
        QStringList out;
        for (const QString& c : p.unit().received())
            if (c.startsWith(commandPrefix))
                out << c;
        return out;
    }

    AxisBench p;
    ControlCenterCore cc;
    ControlLoopCore loop;
    std::shared_ptr<SimServoLoop> servo;
    MainLoop mainLoop{p.registry, p.transport()};
    QList<ControlLoopCore::PlotLine> linien;
    int computed = 0;
    int distanceFocus = 0;  // times text_strecke was given the focus
};

}  // namespace

TEST_F(ControlLoopTest, BindingChoosesOneSecondReadsTheRegistersAndSendsTheTimeBase)
{
    EXPECT_EQ(p.unit().received(), QStringList()) << "the set-up tick served everything";
    EXPECT_EQ(servo->timeBase, 10);
    EXPECT_TRUE(loop.ob_zeit[3].checked);
    EXPECT_EQ(loop.Vdia[1].text, QStringLiteral("t=1s"));
    EXPECT_EQ(cc.cmd_ControllP.colour, Green);
    EXPECT_EQ(loop.text_regelP[0].text + loop.text_regelP[3].text, QStringLiteral("7C40"));
    EXPECT_EQ(loop.sb_regelkreisH.value, 0x7C);
    EXPECT_EQ(loop.sb_regelkreisV[2].value, 0x40);
    EXPECT_EQ(loop.lb_ST_Sec.text, loop.usesComma() ? QStringLiteral("1,000ms") : QStringLiteral("1.000ms"));

    loop.ob_zeit_Click(8);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1XT0064]"));
    EXPECT_EQ(cc.FlagAuslesen, 1);
    EXPECT_EQ(loop.Zeitbasis, QStringLiteral("100"));
    loop.ob_zeit_Click(3);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1XT000A]"));

    // 0,1 s is not kept for the next binding: it falls back to 1 s.
    loop.ob_zeit_Click(0);
    loop.Form_Unload();
    EXPECT_EQ(cc.cmd_ControllP.colour, LightGray);
    loop.Form_Activate();
    EXPECT_EQ(loop.Zeitbasis, QStringLiteral("10"));
}

TEST_F(ControlLoopTest, ReadNeverWritesAndOnlyACompleteReplyMovesTheBars)
{
    servo->register_->loopRegister = "90A0B0C0";
    loop.FlagRegelkreisaus = 1;
    tick();
    EXPECT_EQ(p.unit().received(), QStringList({"[1RL]"})) << "a read writes nothing back";
    EXPECT_EQ(loop.sb_regelkreisH.value, 0x90);
    EXPECT_EQ(loop.sb_regelkreisV[0].value, 0xA0);

    // A sample time outside the bar is shown in its box only.
    servo->register_->loopRegister = "05111213";
    loop.FlagRegelkreisaus = 1;
    tick();
    EXPECT_EQ(loop.text_regelP[0].text, QStringLiteral("05"));
    EXPECT_EQ(loop.sb_regelkreisH.value, 0x90);
    EXPECT_EQ(loop.sb_regelkreisV[2].value, 0x13);

    for (const char* reply : {"[1RL!0102]", "[1RL?0005]"}) {
        p.unit().setHandler(QStringLiteral("1RL"), [reply](SimUnit&, const SimCommand&) { return QByteArray(reply); });
        loop.FlagRegelkreisaus = 1;
        tick();
        EXPECT_EQ(loop.sb_regelkreisV[2].value, 0x13) << reply;
        EXPECT_EQ(loop.text_regelP[1].text, QString()) << reply;
    }
    // Without the other three registers a moved bar writes nothing and reads again.
    loop.sb_regelkreisV[0].value = 0x21;
    loop.sb_regelkreisV_Change(2);
    tick();
    EXPECT_EQ(loop.FlagRegelkreisaus, 1);
    EXPECT_EQ(sentLines(QStringLiteral("[1RS")) + sentLines(QStringLiteral("[1RP")), QStringList());
}

TEST_F(ControlLoopTest, MovedBarWritesAllFourRegistersAndAnOlderControllerGetsRP)
{
    loop.sb_regelkreisV[1].value = 0x33;
    loop.sb_regelkreisV_Change(3);
    tick();
    EXPECT_EQ(p.unit().received(), QStringList({"[1RS7C203340]"}));
    EXPECT_EQ(servo->register_->loopRegister, QByteArray("7C203340"));
    EXPECT_EQ(computed, 1);
    EXPECT_EQ(distanceFocus, 1);  // the distance box is next

    servo->onlyRP = true;
    loop.sb_regelkreisH.value = 0xF9;
    loop.sb_regelkreisH_Change();
    tick();
    EXPECT_EQ(sentLines(QStringLiteral("[1R")), QStringList({"[1RS7C203340]", "[1RSF9203340]", "[1RPF9203340]"}));
    EXPECT_EQ(servo->register_->loopRegister, QByteArray("F9203340"));
    EXPECT_TRUE(p.dialogs->messages.isEmpty()) << "the refused RS is followed by a status query, not a box";
}

TEST_F(ControlLoopTest, EepromCaptionShowsTheReplyOrSaysNoneCame)
{
    loop.cmd_save_Click();
    tick();
    EXPECT_EQ(p.unit().received(), QStringList({"[0ff01]"}));
    EXPECT_EQ(loop.cmd_save.text, QStringLiteral("[0ff!]"));
    EXPECT_TRUE(loop.cmd_exit.enabled);

    p.unit().setSilent(true);
    loop.cmd_save_Click();
    const double t0 = p.clockSource->now();
    tick();
    EXPECT_GE(p.clockSource->now() - t0, ControlLoopCore::EepromTime);
    EXPECT_EQ(loop.cmd_save.text, ControlLoopCore::NoReply);
}

TEST_F(ControlLoopTest, StepSendsTheSignedDistanceAndRecordsTheMove)
{
    loop.text_strecke.text = loop.usesComma() ? QStringLiteral("1,0") : QStringLiteral("1.0");
    loop.cmd_Diag_Click(1);
    EXPECT_FALSE(loop.cmd_Diag[0].enabled);
    tick();
    EXPECT_EQ(p.unit().received(), QStringList({"[0pa]", "[1XR000003E8]", "[0pe]", "[1XL]", "[1vP]"}));
    EXPECT_EQ(p.axis().position(), 1000);
    EXPECT_EQ(servo->recording.last(), 1000);
    EXPECT_EQ(linien.size(), 100);
    EXPECT_EQ(linien.first().x1, 500);
    EXPECT_EQ(linien.first().y1, 3000);
    EXPECT_TRUE(loop.cmd_Diag[0].enabled);
    EXPECT_EQ(loop.FlagAufzeichnung, 0);
    EXPECT_EQ(p.registry.Flaganzcom, 0);
    EXPECT_EQ(p.registry.Aufzeichnungsschritt, 1);

    p.unit().clearReceived();
    loop.cmd_Diag_Click(2);
    tick();
    EXPECT_EQ(sentLines(QStringLiteral("[1XR")), QStringList({"[1XRFFFFFC18]"}));
    EXPECT_EQ(p.axis().position(), 0);
}

class ControlLoopCurveTest : public ControlLoopTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(ControlLoopCurveTest, ConstantSpeedOfVpPerSampleLiesOnThePlusHundredLine)
{
    // vP 50 counts a sample of 1 ms; 1 s over 100 intervals of 10 ms.
    constantRecording(500);
    loop.Check1.checked = GetParam();
    loop.cmd_Diag_Click(1);
    tick();
    ASSERT_EQ(linien.size(), GetParam() ? 97 : 100);
    for (qsizetype i = GetParam() ? 0 : 1; i < linien.size(); ++i) {
        EXPECT_DOUBLE_EQ(linien[i].y1, ControlLoopCore::YPlus) << i;
        EXPECT_DOUBLE_EQ(linien[i].y2, ControlLoopCore::YPlus) << i;
    }
    EXPECT_DOUBLE_EQ(linien.last().x2, ControlLoopCore::X1);
}

INSTANTIATE_TEST_SUITE_P(BothForms, ControlLoopCurveTest, ::testing::Bool());

TEST_F(ControlLoopTest, ACurveJumpOf4200OrMoreIsNotDrawn)
{
    // One count is 4.2 units of height here (500 counts a sample reach the
    // +100 line, 2100 units up). A step 1000 counts down rises 4200 exactly:
    // skipped; 999 counts rise 4195.8: drawn.
    QList<qint32> w(ControlLoopCore::ValueCount, -1999);
    w[0] = w[1] = 0;
    w[2] = w[3] = -1000;
    p.unit().setHandler(QStringLiteral("1XL"), [w](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        QByteArray text;
        for (qsizetype n = 0; n < w.size(); ++n)
            text += (n ? "," : "") + QByteArray::number(quint32(w[n]) & 0xFFFFFF, 16).rightJustified(6, '0');
        return c.accepted(text);
    });
    loop.cmd_Diag_Click(1);
    tick();
    ASSERT_EQ(linien.size(), 99);
    EXPECT_DOUBLE_EQ(linien[0].y2, ControlLoopCore::YZero);
    // The jump to 7200 is not drawn, but the next line starts there.
    EXPECT_DOUBLE_EQ(linien[1].x1, 610);
    EXPECT_DOUBLE_EQ(linien[1].y1, 7200);
    EXPECT_DOUBLE_EQ(linien[1].y2, ControlLoopCore::YZero);
    EXPECT_DOUBLE_EQ(linien[2].y2, 7195.8);
}

TEST_F(ControlLoopTest, EveryStartCountsForTheColourAndTheSeventhIsBlackAgain)
{
    p.unit().rejectNext(QStringLiteral("[1XR"), 0x0013);
    QList<quint32> colors;
    for (int start : {1, 3, 2, 1, 3, 2, 1}) {
        loop.cmd_Diag_Click(start);
        tick();
        colors << loop.DrawColor;
    }
    EXPECT_EQ(colors, (QList<quint32>{0x0, 0xFF0000, 0xFF, 0xC000, 0x80FF, 0xFF00FF, 0x0}));
}

TEST_F(ControlLoopTest, RepeatAlternatesDirectionsUntilStopped)
{
    loop.cb_wiederholen.checked = true;
    loop.cmd_Diag_Click(1);
    for (int i = 0; i < 4; ++i)
        tick();
    EXPECT_EQ(sentLines(QStringLiteral("[1XR")),
              QStringList({"[1XR00000064]", "[1XRFFFFFF9C]", "[1XR00000064]", "[1XRFFFFFF9C]"}));
    EXPECT_EQ(loop.FlagAufzeichnung, 1);
    EXPECT_FALSE(loop.cmd_Diag[0].enabled);

    loop.cmd_STOPP_Click();
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1BR]"));
    tick();
    EXPECT_EQ(sentLines(QStringLiteral("[1XR")).size(), 4);
    EXPECT_TRUE(loop.cmd_Diag[0].enabled);

    // abs(0) is never repeated.
    loop.cmd_Diag_Click(3);
    tick();
    EXPECT_EQ(loop.FlagAufzeichnung, 0);
}

TEST_F(ControlLoopTest, RefusalsTakeTheStopPathOrDrawNothingWithAMessage)
{
    struct Fall
    {
        std::function<void()> prepare;
        bool stopRecording;
        QString messageText;
    };
    const QList<Fall> testCases{
        {[this] { p.unit().rejectNext(QStringLiteral("[1XR"), 0x0013); }, true, {}},
        {[this] {
             p.unit().setHandler(QStringLiteral("1XR"), [](SimUnit&, const SimCommand&) { return QByteArray(); });
         },
         true, ControlLoopCore::NoStep},
        {[this] { loop.text_strecke.text = QStringLiteral("9000"); }, true, ControlLoopCore::DistanceError},
        {[this] {
             p.unit().setHandler(QStringLiteral("1XL"),
                                 [](SimUnit&, const SimCommand& c) { return c.accepted("000001"); });
         },
         false, ControlLoopCore::NoRecording},
        {[this] {
             p.unit().setHandler(QStringLiteral("1vP"),
                                 [](SimUnit&, const SimCommand& c) { return c.accepted("0000"); });
         },
         false, ControlLoopCore::NoScale},
    };
    for (const Fall& f : testCases) {
        SCOPED_TRACE(f.messageText.toStdString());
        p.unit().setHandler(QStringLiteral("1XR"), {});
        servo = installServoLoop(p.unit());
        loop.text_strecke.text = QStringLiteral("1");
        p.dialogs->clear();
        cc.Befehl_senden.clear();
        f.prepare();
        linien.clear();
        loop.cmd_Diag_Click(1);
        tick();
        EXPECT_TRUE(linien.isEmpty());
        EXPECT_EQ(cc.Befehl_senden == QStringLiteral("[1BR]"), f.stopRecording);
        EXPECT_EQ(loop.FlagAufzeichnung, 0);
        EXPECT_EQ(p.registry.Flaganzcom, 0);
        EXPECT_TRUE(loop.cmd_Diag[0].enabled);
        // A rejection is shown by the transport's decoder.
        if (!f.messageText.isEmpty()) {
            EXPECT_TRUE(p.dialogs->texts().join(QString()).startsWith(f.messageText));
        }
    }
}

TEST_F(ControlLoopTest, RequestsWaitWhileAnotherControlCenterIsCurrent)
{
    ControlCenterCore other(p.env());
    openForm(other, 2);
    other.Tag = 2;
    p.registry.CC.add(2, &other);
    p.registry.CC_Aktivieren(2);
    p.registry.Statustabelle[2] = 1;
    p.unit(QStringLiteral("02")).clearReceived();

    loop.cmd_Diag_Click(1);
    loop.cmd_save_Click();
    tick();
    EXPECT_EQ(p.unit(QStringLiteral("02")).received(), QStringList());
    EXPECT_EQ(loop.FlagAufzeichnung, 1);

    // Activating the window makes its own control center current again.
    loop.Form_Activate();
    EXPECT_EQ(p.registry.CC_I, 1);
    tick();
    EXPECT_EQ(sentLines(QStringLiteral("[1XR")).size(), 1);
    EXPECT_EQ(sentLines(QStringLiteral("[0ff")).size(), 1);

    // A write or store still waiting is dropped when another control center binds the window.
    loop.cmd_save_Click();
    loop.sb_regelkreisV_Change(2);
    loop.an_aus = 0;
    loop.CCIndex = 2;
    loop.Form_Activate();
    tick();
    EXPECT_EQ(p.unit(QStringLiteral("02")).received().filter(QStringLiteral("[0ff")), QStringList());
    p.registry.CC.remove(2);
}

TEST_F(ControlLoopTest, ClearingOrUnloadingDropsARequestAndFreesTheButtons)
{
    loop.cmd_Diag_Click(2);
    loop.ob_zeit_Click(5);
    EXPECT_EQ(loop.FlagAufzeichnung, 0);
    EXPECT_TRUE(loop.cmd_Diag[1].enabled);
    loop.cmd_Diag_Click(2);
    loop.Form_Unload();
    tick();
    EXPECT_EQ(sentLines(QStringLiteral("[1XR")), QStringList());
    EXPECT_EQ(loop.FlagControlparameter, 0);
}
