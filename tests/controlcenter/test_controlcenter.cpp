// The control center against a simulated motor axis: set-up and the lamp,
// the per-tick cycle (position, missed polls, motion poll), moves and stop,
// the mailbox split and its time-outs, speed, acceleration and software
// limits, the parameter cursor, the graphic-support question and closing.

#include "AxisBench.h"
#include "Guarded.h"

#include <gtest/gtest.h>

#include <limits>

using namespace controlDesk;

namespace {

const QString A = QStringLiteral("01");

class ControlCenterTest : public ::testing::Test
{
protected:
    ControlCenterTest() : cc(p.env()) { p.axisNo(1, 2000); }

    // Ticks until the motion poll is over; returns the "[0po]" replies seen
    // together with whether the move buttons were enabled after that tick.
    QList<QPair<QString, bool>> untilStandstill()
    {
        QList<QPair<QString, bool>> seen;
        for (int i = 0; i < 2000 && cc.flagpollen == 1; ++i) {
            p.clockSource->advance(0.002);
            cc.Aktualisieren();
            seen.append({cc.antwort_erhalten, cc.cmd_Fahrt[0].enabled});
        }
        return seen;
    }

    AxisBench p;
    ControlCenterCore cc;
};

}  // namespace

// --- set-up --------------------------------------------------------------------------

TEST_F(ControlCenterTest, AnsweringUnitGoesGreenAfterStatusInputsAndPe)
{
    cc.appendAddress(QStringLiteral("00-AA"));
    cc.appendAddress(A);
    cc.Form_Load();
    // No unit yet: nothing that only posts into the mailbox is usable.
    EXPECT_FALSE(cc.cmd_STOPP.enabled || cc.cmd_status.enabled || cc.cmd_sign.enabled);
    cc.setAddressesIndex(1);
    EXPECT_EQ(cc.flagachsenwechsel, 1);
    EXPECT_FALSE(cc.cmd_Fahrt[1].enabled);

    EXPECT_EQ(cc.Initialisierung(), 1);
    EXPECT_EQ(cc.sh_an_aus.colour, Green);
    EXPECT_EQ(p.unit().received(), QStringList({"[0ST]", "[0IN]", "[0pe]"}));
    EXPECT_EQ(cc.lb_Fehler.text, QStringLiteral("[0ST]--->[0ST!00000000]"));
    EXPECT_EQ(cc.FlagAuslesen, 1);
    EXPECT_TRUE(cc.cmd_Fahrt[1].enabled);
    EXPECT_TRUE(cc.cmd_STOPP.enabled && cc.cmd_status.enabled && cc.cmd_sign.enabled);
    EXPECT_EQ(cc.Fahr_v_a, QStringLiteral("P"));
    EXPECT_EQ(p.transport().Ereignissperre, 0);
}

TEST_F(ControlCenterTest, AxisNameFromTheBusKeepsNoControlCharacters)
{
    p.unit().setHandler(QStringLiteral("0PL"), [](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        return c.accepted("Ti\r\nsch\t1\x7f");
    });
    openForm(cc, 1);
    EXPECT_EQ(cc.Caption, QStringLiteral("01-Tisch1"));
    EXPECT_EQ(p.store.axisRecordAt(1).Achsenbezeichnung, QStringLiteral("01-Tisch1"));
}

TEST_F(ControlCenterTest, SpeedsFromAFileThatFitNoWholeNumberLeaveTheBarsAlone)
{
    for (double vmax : {-std::numeric_limits<double>::infinity(), -1e300, std::numeric_limits<double>::quiet_NaN()}) {
        p.axisNo(1, 2000, 1e-300, vmax);
        ControlCenterCore other(p.env());
        openForm(other, 1);
        EXPECT_GE(other.sli_v.value, other.sli_v.min) << vmax;
        EXPECT_LE(other.sli_v.value, other.sli_v.max) << vmax;
    }
}

TEST_F(ControlCenterTest, StatusQueryIsQuietButInputAndPeRejectionsAreShown)
{
    // "[0ST]" goes with mode 2: a rejection is no answer and shows nothing.
    p.unit().rejectNext(QStringLiteral("[0ST]"), 0x0014);
    cc.appendAddress(QStringLiteral("00-AA"));
    cc.appendAddress(A);
    cc.Form_Load();
    cc.setAddressesIndex(1);
    EXPECT_EQ(cc.Initialisierung(), 0);
    EXPECT_TRUE(p.uiServices->messages.isEmpty());
    EXPECT_EQ(cc.sh_an_aus.colour, Red);

    // "[0IN]" and "[0pe]" go with mode 0: their rejections are decoded and shown.
    p.unit().rejectNext(QStringLiteral("[0IN]"), 0x0005);
    p.unit().rejectNext(QStringLiteral("[0pe]"), 0x0005);
    EXPECT_EQ(cc.Initialisierung(), 1);
    EXPECT_EQ(p.uiServices->messages.size(), 2);
}

TEST_F(ControlCenterTest, SilentUnitStaysRedAfterOneShortStatusWait)
{
    p.unit(QStringLiteral("02")).setSilent(true);
    cc.appendAddress(QStringLiteral("00-AA"));
    cc.appendAddress(A);
    cc.appendAddress(QStringLiteral("02"));
    cc.Form_Load();
    cc.setAddressesIndex(2);
    const double t0 = p.clockSource->now();
    EXPECT_EQ(cc.Initialisierung(), 0);
    const double waited = p.clockSource->now() - t0;
    EXPECT_GE(waited, 0.2);
    EXPECT_LT(waited, 0.3);
    EXPECT_EQ(cc.sh_an_aus.colour, Red);
    EXPECT_EQ(cc.line_schlitten.colour, Red);
    EXPECT_EQ(cc.lb_Fehler.text, QStringLiteral("[0ST]--->1"));
    EXPECT_FALSE(cc.cmd_STOPP.enabled);
    EXPECT_FALSE(cc.cmd_Fahrt[0].enabled);
    EXPECT_EQ(p.unit(QStringLiteral("02")).received(), QStringList({"[0ST]"}));
    EXPECT_EQ(cc.Aktualisieren(), 0);
    EXPECT_EQ(cc.lb_POS.text, QStringLiteral("off"));
}

TEST_F(ControlCenterTest, FirstEntryCountsAsAnsweringWithoutMotorIdent)
{
    p.flags.setOn(OptionFlags::StartConfigIM, true);
    openForm(cc, 0);
    EXPECT_EQ(cc.sh_an_aus.colour, Green);
    // The first entry addresses no single axis: the speed boxes stay off.
    EXPECT_FALSE(cc.text_Geschwindigkeit.enabled);
    for (const auto& t : p.bus->traffic())
        EXPECT_NE(t.second, QStringLiteral("[1iM]"));
    // Its mailbox still goes out on every tick, with no position poll.
    cc.cmd_status_Click();
    cc.Aktualisieren();
    EXPECT_EQ(cc.flagsenden, 0);
    EXPECT_EQ(cc.lb_POS.text, QStringLiteral("off"));
    EXPECT_EQ(p.bus->traffic().last().second, QStringLiteral("[0ST]"));
}

TEST_F(ControlCenterTest, MotorIdentLoadsTheStartConfigurationOfItsAxis)
{
    p.flags.setOn(OptionFlags::StartConfigIM, true);
    SimAxis(*p.bus, A).model().setMotorIdent("00000A12");
    QString ident;
    int axisNo = -1;
    ControlCenterEnv e = p.env();
    e.ueberschreiben = [&](const QString& i, int a) {
        ident = i;
        axisNo = a;
        return true;
    };
    ControlCenterCore mit(e);
    openForm(mit, 1);
    EXPECT_EQ(ident, QStringLiteral("00000A12"));
    EXPECT_EQ(axisNo, 1);
}

TEST_F(ControlCenterTest, JoystickFoundSelectsJoystickModeWithoutPosting)
{
    p.unit().setInputWord(0x16);
    openForm(cc, 1);
    EXPECT_TRUE(cc.Fahrart[2].checked);
    EXPECT_EQ(cc.lb_joyart.text, QStringLiteral("Slow"));
    EXPECT_TRUE(cc.lb_joyart.enabled);
    EXPECT_EQ(cc.Fahr_v_a, QStringLiteral("T"));
    EXPECT_FALSE(cc.cmd_Fahrt[0].visible);
    EXPECT_FALSE(cc.cmd_GY.visible);
    EXPECT_EQ(cc.flagsenden, 0);

    // Stop returns to "Abs" and shows the move buttons again.
    cc.cmd_STOPP_Click();
    EXPECT_TRUE(cc.Fahrart[0].checked);
    EXPECT_EQ(cc.Fahr_v_a, QStringLiteral("P"));
    EXPECT_TRUE(cc.cmd_Fahrt[0].visible);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1BR]"));

    // Re-initialised on an axis without joystick after joystick mode: positioning.
    p.unit().setInputWord(0);
    cc.selectDriveMode(2);
    cc.Initialisierung();
    EXPECT_TRUE(cc.Fahrart[0].checked);
    EXPECT_FALSE(cc.Fahrart[2].checked);
    EXPECT_EQ(cc.Fahr_v_a, QStringLiteral("P"));
}

TEST_F(ControlCenterTest, EmptyAddressEntryStaysOfflineAndSendsNothing)
{
    cc.appendAddress(QStringLiteral("00-AA"));
    cc.appendAddress(QString());
    cc.Form_Load();
    p.transport().einheit_waehlen(QStringLiteral("02"));
    cc.setAddressesIndex(1);
    EXPECT_EQ(cc.Initialisierung(), 0);
    EXPECT_EQ(cc.sh_an_aus.colour, Red);
    cc.cmd_STOPP_Click();
    EXPECT_EQ(cc.Aktualisieren(), 0);
    EXPECT_TRUE(p.bus->traffic().isEmpty());
    EXPECT_EQ(cc.flagsenden, 1);
}

// --- the per-tick cycle ------------------------------------------------------------------

TEST_F(ControlCenterTest, TwoMissedPositionPollsTurnTheLampRedOneDoesNot)
{
    openForm(cc, 1);
    EXPECT_EQ(cc.Aktualisieren(), 1);
    p.unit().setSilent(true);
    EXPECT_EQ(cc.Aktualisieren(), 0);
    EXPECT_EQ(cc.sh_an_aus.colour, Green);
    p.unit().setSilent(false);
    EXPECT_EQ(cc.Aktualisieren(), 1);
    p.unit().setSilent(true);
    EXPECT_EQ(cc.Aktualisieren(), 0);
    EXPECT_EQ(cc.sh_an_aus.colour, Green);
    EXPECT_EQ(cc.Aktualisieren(), 0);
    EXPECT_EQ(cc.sh_an_aus.colour, Red);
    // An idle axis is not stopped; what posts into the mailbox is off, Stop is not.
    EXPECT_FALSE(p.unit().received().contains(QStringLiteral("[1BR]")));
    for (const kit::Control* c : {&cc.cmd_Fahrt[0], &cc.cmd_FahreNull, &cc.cmd_status, &cc.text_Geschwindigkeit})
        EXPECT_FALSE(c->enabled) << qPrintable(c->text);
    EXPECT_TRUE(cc.cmd_STOPP.enabled);
    // From then on: "off" and zeros, and no more polls; Stop writes to the unit itself.
    p.unit().clearReceived();
    cc.Aktualisieren();
    EXPECT_EQ(cc.lb_POS.text, QStringLiteral("off"));
    EXPECT_EQ(cc.text_Geschwindigkeit.text, QStringLiteral("0"));
    EXPECT_TRUE(p.unit().received().isEmpty());
    cc.cmd_STOPP_Click();
    EXPECT_EQ(p.unit().received(), QStringList({"[1BR]"}));
    EXPECT_FALSE(cc.cmd_Fahrt[0].enabled);
    // Set up again, one miss does not turn it red at once.
    p.unit().setSilent(false);
    cc.Initialisierung();
    p.unit().setSilent(true);
    cc.Aktualisieren();
    EXPECT_EQ(cc.sh_an_aus.colour, Green);
}

TEST_F(ControlCenterTest, PositionTextLinearByLocaleAndRotary)
{
    p.axisNo(1, 10000);
    p.flags.setDigitIndex(2);
    openForm(cc, 1);
    p.axis().setPosition(123456);
    EXPECT_EQ(cc.Aktualisieren(), 1);
    EXPECT_EQ(cc.lb_POS.text, QStringLiteral("12.346 mm"));
    p.registry.komma_frage = true;
    cc.Aktualisieren();
    EXPECT_EQ(cc.lb_POS.text, QStringLiteral("12,346 mm"));

    // A rejected poll is an answer, but no position: the display stays.
    p.unit().rejectNext(QStringLiteral("[1PA]"), 0x0005);
    p.axis().setPosition(0);
    EXPECT_EQ(cc.Aktualisieren(), 1);
    EXPECT_EQ(cc.lb_POS.text, QStringLiteral("12,346 mm"));

    p.registry.komma_frage = false;
    p.flags.setDigitIndex(5);
    p.axisNo(1, 36000, 0.01, 50, 1, true);
    cc.auslesen();
    p.axis().setPosition(-9000);
    cc.Aktualisieren();
    EXPECT_EQ(cc.lb_POS.text, QStringLiteral("270.00000 °"));
    EXPECT_EQ(cc.cb_SchritteE.listIndex, Grad);
    EXPECT_EQ(cc.Label2.text, QStringLiteral("U/s"));
}

TEST_F(ControlCenterTest, ZeroMotorFactorNeverDivides)
{
    p.axisNo(1, 0, 0, 0, 0);
    openForm(cc, 1);
    // The read-out reports the unusable parameters once.
    EXPECT_EQ(p.uiServices->messages.size(), 1);
    EXPECT_EQ(p.uiServices->messages.first().text, ControlCenterCore::ParameterError);
    p.axis().setPosition(5000);
    EXPECT_EQ(cc.Aktualisieren(), 1);
    EXPECT_EQ(cc.lb_POS.text, QStringLiteral("off"));
    cc.text_SLP.text = QStringLiteral("10");
    cc.text_SLP_LostFocus();
    cc.text_Geschwindigkeit.text = QStringLiteral("3");
    cc.text_Geschwindigkeit_LostFocus();
    EXPECT_EQ(cc.flagsenden, 0);
}

TEST_F(ControlCenterTest, LimitInputsColourTheSwitchesAndSoftwareLimits)
{
    SimAxis axis = p.axis();
    axis.model().setPlusSwitch(5000);
    openForm(cc, 1);
    cc.cb_IN.checked = true;
    cc.cb_IN_Click();
    axis.setPosition(6000);  // 3 mm, on the plus switch
    cc.text_SLP.text = QStringLiteral("2.5");
    cc.text_SLM.text = QStringLiteral("-1");
    cc.Aktualisieren();
    EXPECT_EQ(cc.lb_ESP.colour, Red);
    EXPECT_EQ(cc.lb_ESM.colour, LightGray);
    EXPECT_EQ(cc.text_SLP.colour, DarkYellow);
    EXPECT_EQ(cc.text_SLM.colour, White);
    // An unanswered input poll ends the display.
    p.unit().setHandler(QStringLiteral("0IN"),
                        [](SimUnit&, const SimCommand&) { return std::optional<QByteArray>(QByteArray()); });
    cc.Aktualisieren();
    EXPECT_FALSE(cc.cb_IN.checked);
    EXPECT_EQ(cc.lb_ESP.colour, LightGray);
    EXPECT_EQ(cc.text_SLP.colour, White);
}

// --- moves --------------------------------------------------------------------------------

TEST_F(ControlCenterTest, RelativeMoveEndsAtTheTargetAndButtonsReturnAfterTheLastBusyPoll)
{
    openForm(cc, 1);
    cc.selectDriveMode(1);
    cc.text_strecke.text = QStringLiteral("0.5");
    cc.cmd_Fahrt_Click(0);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1FRFFFFFC18]"));
    EXPECT_EQ(cc.flagsenden, 1);

    cc.Aktualisieren();
    EXPECT_EQ(cc.flagpollen, 1);
    EXPECT_FALSE(cc.cmd_Fahrt[0].enabled);
    EXPECT_TRUE(cc.text_Geschwindigkeit.enabled);  // speeds stay usable during a motion
    const auto seen = untilStandstill();
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(cc.flagpollen, 0);
    for (qsizetype i = 0; i + 1 < seen.size(); ++i) {
        EXPECT_EQ(seen.at(i).first, QStringLiteral("[0po!]"));
        EXPECT_FALSE(seen.at(i).second);
    }
    EXPECT_NE(seen.last().first, QStringLiteral("[0po!]"));
    EXPECT_TRUE(seen.last().second);
    EXPECT_EQ(p.axis().position(), -1000);
    EXPECT_GE(p.enableAllCalls, 1);
    EXPECT_TRUE(cc.lb_Fehler.text.startsWith(QStringLiteral("[1FRFFFFFC18]--->")));
}

TEST_F(ControlCenterTest, SilentOrStrayMotionPollIsNotTheEndOfAMotion)
{
    openForm(cc, 1);
    cc.text_strecke.text = QStringLiteral("1");
    cc.cmd_Fahrt_Click(1);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1FA000007D0]"));
    p.unit().setHandler(QStringLiteral("0po"),
                        [](SimUnit&, const SimCommand&) { return std::optional<QByteArray>(QByteArray()); });
    cc.Aktualisieren();
    p.clockSource->advance(1.0);
    cc.Aktualisieren();
    EXPECT_EQ(cc.flagpollen, 1);
    EXPECT_FALSE(cc.cmd_Fahrt[1].enabled);
    p.unit().setHandler(QStringLiteral("0po"), {});
    cc.Aktualisieren();
    EXPECT_EQ(cc.flagpollen, 0);
    EXPECT_TRUE(cc.cmd_Fahrt[1].enabled);
    EXPECT_EQ(p.axis().position(), 2000);

    // Nor is a message from elsewhere that lands in front of each poll reply.
    p.unit().setStrayBefore("[0po", "[9XX!STRAY]");
    cc.cmd_FahreNull_Click();
    cc.Aktualisieren();
    untilStandstill();
    EXPECT_EQ(cc.lb_Fehler.text, QStringLiteral("[1FA00000000]--->[1FA!]"));
    EXPECT_EQ(p.axis().position(), 0);

    // Another window moves the axis again before this one polls: the
    // standing unit answers with that move's final echo, which ends it.
    cc.cmd_Fahrt_Click(1);
    cc.Aktualisieren();
    ASSERT_EQ(cc.flagpollen, 1);
    while (p.axis().isMoving())
        p.clockSource->advance(0.01);
    EXPECT_EQ(p.transport().senden_empfangen(QStringLiteral("[1FR0000020A]")), QStringLiteral("[1FR>]"));
    while (p.axis().isMoving())
        p.clockSource->advance(0.01);
    cc.Aktualisieren();
    EXPECT_EQ(cc.flagpollen, 0);
    EXPECT_EQ(cc.antwort_erhalten, QStringLiteral("[1FR!]"));
    EXPECT_TRUE(cc.cmd_Fahrt[1].enabled);
}

TEST_F(ControlCenterTest, PiezoMoveKeepsTheMoveButtons)
{
    openForm(cc, 1);
    cc.ob_Fahrart2_Click(2);
    cc.selectDriveMode(1);
    cc.text_strecke.text = QStringLiteral("0.05");
    cc.cmd_Fahrt_Click(1);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1MR00000064]"));
    cc.Aktualisieren();
    // The move started (">" in the reply): the buttons are disabled as for
    // any move, but a piezo move keeps the move buttons and the modes.
    ASSERT_EQ(cc.flagpollen, 1);
    EXPECT_FALSE(cc.cmd_ESM.enabled);
    EXPECT_FALSE(cc.cmd_GX.enabled);
    EXPECT_TRUE(cc.cmd_Fahrt[0].enabled);
    EXPECT_TRUE(cc.cmd_Fahrt[1].enabled);
    EXPECT_TRUE(cc.cmd_FahreNull.enabled);
    for (const kit::Control& f : cc.Fahrart)
        EXPECT_TRUE(f.enabled);
}

TEST_F(ControlCenterTest, StopOverridesAPendingPost)
{
    openForm(cc, 1);
    cc.text_strecke.text = QStringLiteral("2");
    cc.cmd_Fahrt_Click(1);
    cc.sl_dauer_Change(3);
    cc.Dauerphase = 4;
    cc.FlagGrafikInit = 2;
    cc.cmd_STOPP_Click();
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1BR]"));
    EXPECT_EQ(cc.FlagDauer, 0);
    EXPECT_EQ(cc.Dauerphase, 0);
    EXPECT_EQ(cc.FlagGrafikInit, 0);
    p.unit().clearReceived();
    cc.Aktualisieren();
    EXPECT_TRUE(p.unit().received().contains(QStringLiteral("[1BR]")));
    for (const QString& c : p.unit().received())
        EXPECT_FALSE(c.startsWith(QStringLiteral("[1FA")));
    EXPECT_EQ(p.axis().position(), 0);
}

TEST_F(ControlCenterTest, TargetsBeyondTheCounterAreRefusedAndBadDistancesRestored)
{
    openForm(cc, 1);
    cc.text_strecke.text = QStringLiteral("5000");  // 10 000 000 counts
    cc.cmd_Fahrt_Click(1);
    EXPECT_EQ(cc.flagsenden, 0);
    ASSERT_EQ(p.uiServices->messages.size(), 1);
    EXPECT_EQ(p.uiServices->messages.first().text, ControlCenterCore::RangeError);

    cc.text_strecke.text = QStringLiteral("0.5");
    cc.text_strecke_LostFocus();
    EXPECT_DOUBLE_EQ(cc.Strecke, 1000);
    cc.text_strecke.text = QStringLiteral("0.5x");
    cc.text_strecke_LostFocus();
    EXPECT_EQ(cc.text_strecke.text, QStringLiteral("0.5"));
    EXPECT_DOUBLE_EQ(cc.Strecke, 1000);
    // The unit is applied when a move is clicked, without leaving the box.
    cc.cb_SchritteE.listIndex = counts;
    cc.text_strecke.text = QStringLiteral("7");
    cc.cmd_Fahrt_Click(1);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1FA00000007]"));
    // Limit mode posts nothing.
    cc.flagsenden = 0;
    cc.selectDriveMode(3);
    cc.cmd_Fahrt_Click(0);
    EXPECT_EQ(cc.flagsenden, 0);
}

// --- mailbox ------------------------------------------------------------------------------

TEST_F(ControlCenterTest, TwoCommandPostsGoOutInOrderAndShowTheLastReply)
{
    openForm(cc, 1);
    cc.selectDriveMode(2);
    cc.lb_joyart_Click();  // Fast -> Slow
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1BR][1Cj]"));
    cc.lb_joyart_Click();
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1BR][1CJ]"));
    p.unit().clearReceived();
    cc.Aktualisieren();
    const QStringList r = p.unit().received();
    const qsizetype br = r.indexOf(QStringLiteral("[1BR]"));
    ASSERT_GE(br, 0);
    EXPECT_EQ(r.value(br + 1), QStringLiteral("[1CJ]"));
    EXPECT_EQ(cc.lb_Fehler.text, QStringLiteral("[1BR][1CJ]--->[1CJ!]"));
    EXPECT_EQ(cc.flagsenden, 0);
}

TEST_F(ControlCenterTest, TrailingStatusQueryFollowsARejectionQuietly)
{
    openForm(cc, 1);
    p.unit().rejectNext(QStringLiteral("[0ST]"), 0x0014);
    cc.Befehl_senden = QStringLiteral("[1IS][0ST]");
    cc.flagsenden = 1;
    p.unit().clearReceived();
    cc.Aktualisieren();
    // Mode 1: the rejection leads to one more status query, not to a box.
    EXPECT_EQ(p.unit().received().count(QStringLiteral("[0ST]")), 2);
    EXPECT_TRUE(p.uiServices->messages.isEmpty());
}

TEST_F(ControlCenterTest, StoreCommandsWaitFourSecondsOthersTheDefault)
{
    openForm(cc, 1);
    const auto staysSilent = [](SimUnit&, const SimCommand&) { return std::optional<QByteArray>(QByteArray()); };
    p.unit().setHandler(QStringLiteral("0ff"), staysSilent);
    p.unit().setHandler(QStringLiteral("0fP"), staysSilent);
    cc.Befehl_senden = QStringLiteral("[0ff01]");
    cc.flagsenden = 1;
    double t0 = p.clockSource->now();
    cc.Aktualisieren();
    double waited = p.clockSource->now() - t0;
    EXPECT_GE(waited, 4.0);
    EXPECT_LT(waited, 4.2);
    EXPECT_EQ(cc.lb_Fehler.text, QStringLiteral("[0ff01]--->1"));

    cc.Befehl_senden = QStringLiteral("[0fP]");
    cc.flagsenden = 1;
    t0 = p.clockSource->now();
    cc.Aktualisieren();
    waited = p.clockSource->now() - t0;
    EXPECT_GE(waited, 0.2);
    EXPECT_LT(waited, 0.4);
}

TEST_F(ControlCenterTest, PostWaitsWhileThePositionPollIsUnanswered)
{
    openForm(cc, 1);
    cc.cmd_version_Click();
    p.unit().setSilent(true);
    cc.Aktualisieren();
    EXPECT_EQ(cc.flagsenden, 1);
    p.unit().setSilent(false);
    cc.Aktualisieren();
    EXPECT_EQ(cc.flagsenden, 0);
    EXPECT_TRUE(cc.lb_Fehler.text.startsWith(QStringLiteral("[0VN]--->[0VN!")));
}

TEST_F(ControlCenterTest, EnlargedResultViewBreaksNewResultsIntoLines)
{
    openForm(cc, 1);
    cc.lb_Fehler_Click();
    EXPECT_EQ(cc.Fehlerzeile_gross, 1);
    cc.cmd_version_Click();
    cc.Aktualisieren();
    EXPECT_TRUE(cc.lb_Fehler.text.endsWith(QStringLiteral("\r\n")));
    cc.lb_Fehler_Click();
    EXPECT_FALSE(cc.lb_Fehler.text.contains(QStringLiteral("\r\n")));
    EXPECT_TRUE(cc.lb_Fehler.text.startsWith(QStringLiteral("[0VN]--->")));
}

// --- speed, acceleration and software limits ------------------------------------------------

TEST_F(ControlCenterTest, SpeedAndAccelerationEntriesAreClampedAndSent)
{
    openForm(cc, 1);  // vmin 0.01, vmax 50, amin 1
    cc.text_Geschwindigkeit.text = QStringLiteral("0");
    cc.text_Geschwindigkeit_LostFocus();
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1VP0001]"));
    EXPECT_EQ(cc.text_Geschwindigkeit.text, QStringLiteral("0.0100"));
    EXPECT_EQ(cc.sli_v.value, 1 - 32768);

    cc.text_Geschwindigkeit.text = QStringLiteral("99");
    cc.text_Geschwindigkeit_LostFocus();
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1VP1388]"));
    EXPECT_EQ(cc.text_Geschwindigkeit.text, QStringLiteral("50.0000"));

    cc.text_Beschleunigung.text = QStringLiteral("40000");
    cc.text_Beschleunigung_LostFocus();
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1AP7FFF]"));
    EXPECT_EQ(cc.text_Beschleunigung.text, QStringLiteral("32767.0"));
    cc.Aktualisieren();
    EXPECT_EQ(p.axis().model().parameter("1AP"), QByteArray("7FFF"));

    // The bar at its lowest sends raw 0; positions beyond 16 raw bits send nothing.
    cc.sli_v_Change(-32768);
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1VP0000]"));
    cc.flagsenden = 0;
    for (int beyond : {32768, -32769, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        cc.sli_v_Change(beyond);
        EXPECT_EQ(cc.flagsenden, 0) << beyond;
    }
}

TEST_F(ControlCenterTest, ReadBackIntoTheBarsNeverPosts)
{
    p.axis().model().setParameter("1VP", "0032");
    p.axis().model().setParameter("1AP", "0100");
    openForm(cc, 1);
    EXPECT_EQ(cc.flagsenden, 0);
    EXPECT_EQ(cc.sli_v.value, 50 - 32768);
    EXPECT_EQ(cc.text_Geschwindigkeit.text, QStringLiteral("0.5000"));
    EXPECT_EQ(cc.sli_a.value, 256);
    EXPECT_EQ(cc.text_Beschleunigung.text, QStringLiteral("256.0"));
    // vmax / vmin = 5000: the bar ends at 5000 - 32768.
    EXPECT_EQ(cc.sli_v.max, 5000 - 32768);
    // A rejected read-back leaves bar and box as they were.
    p.unit().rejectNext(QStringLiteral("[1vP]"), 0x0005);
    cc.v_a_auslesen();
    EXPECT_EQ(cc.sli_v.value, 50 - 32768);
    EXPECT_EQ(cc.flagsenden, 0);
}

TEST_F(ControlCenterTest, SoftwareLimitsOnARotaryAxisAreSentAndReadBackInDegrees)
{
    p.axisNo(1, 36000, 0.01, 50, 1, true);
    p.store.axisRecordAt(1).Endschalter_minus = 0;
    openForm(cc, 1);
    cc.text_SLM.text = QStringLiteral("90");
    cc.text_SLM_LostFocus();
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1L500002328]"));
    EXPECT_DOUBLE_EQ(cc.Grenze_minus, 9000);
    cc.Aktualisieren();
    EXPECT_EQ(p.axis().model().parameter("1L5"), QByteArray("00002328"));

    cc.text_SLM.text = QStringLiteral("0");
    cc.limits_auslesen();
    EXPECT_EQ(cc.text_SLM.text, QStringLiteral("90.00"));
    p.store.setIndex(2);
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(1).PositionM, 9000);
    EXPECT_DOUBLE_EQ(p.store.axisRecordAt(2).PositionM, 0);

    // A limit beyond the counter (or beyond any whole number) is refused and
    // the box shows the limit in force again.
    for (const char* typed : {"100000", "99999999999999999999999999"}) {
        cc.flagsenden = 0;
        const QString before = cc.text_SLP.text;
        cc.text_SLP.text = QString::fromLatin1(typed);
        cc.text_SLP_LostFocus();
        EXPECT_EQ(cc.flagsenden, 0);
        EXPECT_EQ(p.uiServices->messages.last().text, ControlCenterCore::RangeError);
        EXPECT_EQ(cc.text_SLP.text, before);
    }
}

TEST_F(ControlCenterTest, LimitWithinHalfAShownDigitBeyondTheCountersEndIsThatEnd)
{
    // 2000 counts per mm: the end is 4194.3035 mm, half a shown digit 10 counts.
    openForm(cc, 1);
    for (const auto& [typed, sent] : {std::pair{"4194.3084", "[1L6007FFFFF]"},
                                      {"-4194.3084", "[1L5FF800001]"},
                                      {"4194.3086", ""},
                                      {"-4194.3086", ""}}) {
        cc.flagsenden = 0;
        const bool plus = typed[0] != '-';
        (plus ? cc.text_SLP : cc.text_SLM).text = QString::fromLatin1(typed);
        plus ? cc.text_SLP_LostFocus() : cc.text_SLM_LostFocus();
        EXPECT_EQ(cc.flagsenden ? cc.Befehl_senden : p.uiServices->messages.value(0).text,
                  *sent ? QString::fromLatin1(sent) : ControlCenterCore::RangeError)
            << typed;
    }
}

TEST_F(ControlCenterTest, LimitOnASideWithASwitchLeavesTheTravelEnd)
{
    openForm(cc, 1);
    const double vorher = cc.Grenze_plus;
    cc.text_SLP.text = QStringLiteral("10");
    cc.text_SLP_LostFocus();
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1L600004E20]"));
    EXPECT_DOUBLE_EQ(cc.Grenze_plus, vorher);
}

// --- the parameter cursor -------------------------------------------------------------------

TEST_F(ControlCenterTest, EveryParameterAccessUsesTheWindowsOwnAxis)
{
    openForm(cc, 1);
    p.store.setIndex(2);  // another window's axis
    cc.ob_Fahrart2_Click(1);
    EXPECT_EQ(p.store.axisRecordAt(1).Fahrart, 1);
    EXPECT_EQ(p.store.axisRecordAt(2).Fahrart, 0);
    EXPECT_EQ(cc.Fahrart2_Kennung, QStringLiteral("S"));
    p.store.setIndex(2);
    p.store.axisRecordAt(2).Endschalter_Plus = 0;
    cc.Button_enable();
    EXPECT_TRUE(cc.cmd_ESP.enabled);
}

// --- graphic support, nested ticks ------------------------------------------------------------

TEST_F(ControlCenterTest, QuestionInsideATickDoesNotStack)
{
    openForm(cc, 1);
    cc.pb_Grafikunterstuetzung_MouseUp(1);
    EXPECT_EQ(cc.FlagGrafikInit, 2);
    int nested = -1;
    qsizetype trafficInBox = -1;
    p.uiServices->onMessage = [&](const RecordingUiServices::Message& m) {
        EXPECT_EQ(m.title, ControlCenterCore::GraphicsTitle);
        EXPECT_EQ(m.text, ControlCenterCore::GraphicsQuestionSimple);
        const qsizetype before = p.bus->traffic().size();
        nested = cc.Aktualisieren();
        trafficInBox = p.bus->traffic().size() - before;
    };
    p.uiServices->answers << MsgResult::Cancel;
    EXPECT_EQ(cc.Aktualisieren(), 1);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(trafficInBox, 0);
    EXPECT_EQ(cc.FlagGrafikInit, 0);
    EXPECT_DOUBLE_EQ(cc.Referenzphase, 0.5);
    EXPECT_EQ(p.enableAllCalls, 1);
}

TEST_F(ControlCenterTest, NoToTheQuestionMarksTheTravelPictureInvalid)
{
    openForm(cc, 1);
    cc.pb_Grafikunterstuetzung_MouseUp(2);
    p.uiServices->answers << MsgResult::No;
    cc.Aktualisieren();
    EXPECT_EQ(p.uiServices->messages.last().text, ControlCenterCore::GraphicsQuestionFine);
    EXPECT_EQ(cc.FlagGrafikInit, 0);
    EXPECT_EQ(cc.line_schlitten.colour, Red);
}

// --- closing --------------------------------------------------------------------------------------

TEST_F(ControlCenterTest, ClosingAnOnlineWindowStopsItsAxisAndReselectsTheCurrentUnit)
{
    openForm(cc, 1);
    cc.Tag = 1;
    p.registry.CC.add(1, &cc);
    p.registry.CC_Aktivieren(1);
    cc.text_strecke.text = QStringLiteral("100");
    cc.cmd_Fahrt_Click(1);
    cc.Aktualisieren();
    ASSERT_TRUE(p.axis().isMoving());
    p.transport().einheit_waehlen(QStringLiteral("02"));
    p.bus->clearTraffic();

    cc.Form_Unload();
    const auto t = p.bus->traffic();
    ASSERT_EQ(t.size(), 1);
    EXPECT_EQ(t.first().first, A);
    EXPECT_EQ(t.first().second, QStringLiteral("[1BR]"));
    EXPECT_EQ(p.transport().aktiveEinheit(), QStringLiteral("02"));
    EXPECT_FALSE(p.axis().isMoving());
    EXPECT_TRUE(p.registry.CC.isEmpty());
    EXPECT_EQ(p.registry.CC_I, 0);
}

TEST_F(ControlCenterTest, ClosingAnOfflineWindowSendsNothing)
{
    p.unit().setSilent(true);
    openForm(cc, 1);
    p.bus->clearTraffic();
    cc.Form_Unload();
    EXPECT_TRUE(p.bus->traffic().isEmpty());
}

TEST_F(ControlCenterTest, ClosingUnbindsOnlyTheToolWindowsOfThisWindow)
{
    struct Loop final : IControlLoopWindow
    {
        void Diag_Aufzeichnung(int&) override {}
        void regelkreisauslesen() override {}
        void regelkreisschreiben() override {}
        void eepromspeichern() override {}
    } loopState;
    QList<TrackedWindow*> unload;
    ControlCenterEnv e = p.env();
    e.unload = [&](TrackedWindow* w) { unload << w; };
    e.controlLoop = [&]() -> IControlLoopWindow* { return &loopState; };
    ControlCenterCore centerOne(e), two(e);
    centerOne.Tag = 1;
    two.Tag = 2;
    p.registry.CC.add(1, &centerOne);
    p.registry.CC.add(2, &two);
    p.registry.frm_controlparameter = &loopState;

    centerOne.cmd_ControllP_Click();
    loopState.an_aus = 1;
    centerOne.cmd_ControllP.colour = Green;
    two.cmd_ControllP_Click();
    EXPECT_EQ(loopState.CCIndex, 2);
    EXPECT_EQ(centerOne.cmd_ControllP.colour, LightGray);

    centerOne.Form_Unload();
    EXPECT_TRUE(unload.isEmpty());
    EXPECT_EQ(p.registry.CC_I, 2);
    two.Form_Unload();
    EXPECT_EQ(unload, QList<TrackedWindow*>({&loopState}));
    EXPECT_EQ(loopState.an_aus, 0);
}

TEST_F(ControlCenterTest, OneEWindowButtonTogglesTheStreamWhenTheRecorderIsOff)
{
    openForm(cc, 1);
    cc.cmd_eW_Click();
    EXPECT_EQ(cc.FlagEW, 1);
    EXPECT_EQ(cc.cmd_eW.colour, DarkYellow);
    p.unit().clearReceived();
    cc.Aktualisieren();
    EXPECT_TRUE(p.unit().received().contains(QStringLiteral("[1eW]")));
    cc.cmd_eW_Click();
    EXPECT_EQ(cc.FlagEW, 0);
    EXPECT_EQ(cc.cmd_eW.colour, LightGray);
}

// --- register reply handed to the initialisation list window --------------------------------

namespace {

// The initialisation list window as the control center sees it.
class InitWindowDouble : public IInitWindow
{
public:
    void setCb_start(bool) override {}
    void setLb_wert(const QString& text) override { lb_wert << text; }
    void setSli_wert(int value) override { sli_wert << value; }
    QStringList lb_wert;
    QList<int> sli_wert;
};

struct RegisterReply
{
    const char* digits;
    int shown;  // the 12-bit signed value
};

class RegisterReplyTest : public ControlCenterTest, public ::testing::WithParamInterface<RegisterReply>
{
};

}  // namespace

TEST_P(RegisterReplyTest, SecondCommandEsHandsTheDigitsAndTheSignedValueToTheInitWindow)
{
    InitWindowDouble init;
    ControlCenterEnv e = p.env();
    e.existingInitWindow = [&init]() -> IInitWindow* { return &init; };
    ControlCenterCore c(e);
    SimEeprom& eeprom = p.axis().model().eeprom();
    eeprom.addRegister({"1ES", 3, false, "1eS"});
    ASSERT_TRUE(eeprom.setValue("1ES", GetParam().digits));
    openForm(c, 1);
    c.Befehl_senden = QStringLiteral("[1PA][1eS]");
    c.flagsenden = 1;
    c.Aktualisieren();
    EXPECT_TRUE(p.unit().received().contains(QStringLiteral("[1eS]")));
    EXPECT_EQ(init.lb_wert, QStringList{QString::fromLatin1(GetParam().digits)});
    EXPECT_EQ(init.sli_wert, QList<int>{GetParam().shown});
    EXPECT_EQ(c.antwort_erhalten, QString::number(GetParam().shown));
    // Any other second command hands nothing over.
    c.Befehl_senden = QStringLiteral("[1PA][0ST]");
    c.flagsenden = 1;
    c.Aktualisieren();
    EXPECT_EQ(init.sli_wert.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Values, RegisterReplyTest,
                         ::testing::Values(RegisterReply{"FFF", -1}, RegisterReply{"7FF", 2047},
                                           RegisterReply{"800", -2048}, RegisterReply{"000", 0},
                                           RegisterReply{"07F", 127}));

// --- surroundings and failures ------------------------------------------------------------

TEST_F(ControlCenterTest, HooksLeftEmptyDoNothing)
{
    ControlCenterEnv e = p.env();
    e.enableAll = {};
    e.recorder = {};
    e.controlLoop = {};
    e.initWindow = {};
    e.existingInitWindow = {};
    e.unload = {};
    e.driftActive = {};
    e.motfaktor_berechnen = {};
    ControlCenterCore emptyFlag(e);
    openForm(emptyFlag, 1);
    emptyFlag.cmd_ControllP_Click();
    emptyFlag.cmd_Init_Click();
    emptyFlag.cmd_Fahrt_Click(1);
    EXPECT_EQ(emptyFlag.Aktualisieren(), 1);
    emptyFlag.Form_Unload();
    EXPECT_EQ(p.unit().received().last(), QStringLiteral("[1BR]"));
}

TEST_F(ControlCenterTest, AFailingStepIsLoggedAndTheWindowStaysUsable)
{
    QStringList failures;
    kit::setFailureSink([&failures](const QString& where, const QString&) { failures << where; });
    ControlCenterEnv e = p.env();
    e.motfaktor_berechnen = []() -> CalcResult { throw std::runtime_error("calculation failed"); };
    ControlCenterCore c(e);
    int shown = 0;
    c.setView({nullptr, [&shown] { ++shown; }, {}});
    openForm(c, 1);
    // The read-out threw: it is given up, the window shows its state and
    // the next tick serves the axis as usual.
    EXPECT_EQ(failures, QStringList{"Controlcenter auslesen"});
    EXPECT_EQ(c.FlagAuslesen, 0);
    EXPECT_GT(shown, 0);
    EXPECT_EQ(c.Aktualisieren(), 1);
    kit::setFailureSink({});
}
