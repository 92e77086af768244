// The probe window's board layouts, operator commands and axis tools.

#include "ProbeBench.h"

#include <gtest/gtest.h>

using T = ProbeWindowCore;

namespace {

class ProbeCommands : public ::testing::Test, public ProbeBench
{
};

TEST_F(ProbeCommands, LayoutsFollowTheBoardType)
{
    T c(env());
    c.Form_Load();
    EXPECT_TRUE(c.cb__Achsenauswahl[0].visible);
    EXPECT_TRUE(c.Frame[3].visible && c.Rahmen1.visible && c.cmd_Abgleich.visible);
    EXPECT_EQ(c.sh_an_aus.colour, T::Red);
    EXPECT_EQ(c.cb_abgleich.selected(), "K1");

    c.sh_an_aus.colour = T::Green;
    c.cb_Unitauswahl.listIndex = T::IK2_422;
    c.cb_Unitauswahl_Click();
    EXPECT_EQ(c.sh_an_aus.colour, T::Red);
    EXPECT_FALSE(c.cmd_Abgleich.visible || c.Rahmen1.visible || c.Frame[2].visible);
    EXPECT_TRUE(c.interpol[0].visible && c.interpol[1].visible && c.cb__Achsenauswahl[3].visible);
    EXPECT_EQ(c.lb_gitter.text, T::Resolution);
    EXPECT_EQ(c.valueTip[4], "4");
    EXPECT_FALSE(c.wert0[3].visible || c.wert1[8].visible);

    c.cb_Unitauswahl.listIndex = T::Universal;
    c.cb_Unitauswahl_Click();
    EXPECT_EQ(c.BoxWidth, T::UniversalWidth);
    EXPECT_TRUE(c.IK_check[5].visible && c.tb_faktorAI.visible && c.wert0[8].visible);
    EXPECT_EQ(c.valueTip[4], "200");
    EXPECT_FALSE(c.cb__Achsenauswahl[3].visible);
    c.cb_Unitauswahl.listIndex = T::ADA2;
    c.cb_Unitauswahl_Click();
    EXPECT_EQ(c.BoxWidth, T::NormalWidth);
    EXPECT_TRUE(c.Frame5[1].visible);
}

TEST_F(ProbeCommands, AddressListsOfTheBoardTypes)
{
    EXPECT_EQ(T::elementAddresses(0).size(), 16);
    EXPECT_EQ(T::elementAddresses(0).last(), "20");
    const QStringList ik = T::elementAddresses(3);
    EXPECT_EQ(ik.size(), 15);
    EXPECT_FALSE(ik.contains("16"));
    EXPECT_EQ(ik.last(), "10");
    EXPECT_EQ(T::elementAddresses(4).size(), 20);
    EXPECT_EQ(T::elementAddresses(4).at(4), "21");
}

struct MaskCase
{
    int unitType;
    QString expected;  // empty: nothing posted
};

class ChannelMask : public ::testing::TestWithParam<MaskCase>, public ProbeBench
{
};

TEST_P(ChannelMask, CheckingABoxPostsTheFlagsTheBoardHas)
{
    T c(env());
    c.Form_Load();
    c.cb_Unitauswahl.listIndex = GetParam().unitType;
    c.cb_Unitauswahl_Click();
    c.Kanalfreigabe = {1, 0, 1, 0, 0, 0, 0, 1};
    c.Check1[1].checked = true;
    c.Check1_Click(1);
    EXPECT_EQ(c.Kanalfreigabe[1], 1);
    EXPECT_EQ(c.flagsenden, GetParam().expected.isEmpty() ? 0 : 1);
    EXPECT_EQ(c.Befehl, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Types, ChannelMask,
                         ::testing::Values(MaskCase{T::AK1, "[0K11]"}, MaskCase{T::AK4, "[0K11110]"},
                                           MaskCase{T::AK2IK1_422, "[0K11110]"}, MaskCase{T::IK2_IP1000, ""},
                                           MaskCase{T::ADA2, "[0K111]"}, MaskCase{T::Universal, "[0K111100001]"}));

TEST_F(ProbeCommands, MaskBoxesAreQuietWhileTheProgramSetsThem)
{
    T& c = windowUnderTest(T::AK4, "21");
    EreignissperreGuard eventLock(transport());
    c.Check1_Click(0);
    c.Option5_MouseDown(3);
    c.wert0_Click(2);
    EXPECT_EQ(c.flagsenden, 0);
}

TEST_F(ProbeCommands, ZeroingFollowsTheBoardType)
{
    T& ik = windowUnderTest(T::IK2_IP1000, "11");
    ik.Nullpunkt[1] = 5;
    ik.cmd_ZaehlerNull_Click(1);
    EXPECT_EQ(ik.Befehl, "[2PR]");
    EXPECT_EQ(ik.Nullpunkt[1], 0);
    ik.flagsenden = 0;
    ik.cmd_ZaehlerNull_Click(2);
    EXPECT_EQ(ik.flagsenden, 0);

    T& akik = windowUnderTest(T::AK2IK1_IP1000, "31", 2);
    akik.cmd_ZaehlerNull_Click(2);
    EXPECT_EQ(akik.Befehl, "[3PR]");
    tick(akik);
    EXPECT_EQ(board("31").counter(3), 0);

    board("51").setInput(1, 4);
    board("51").setInput(2, 0.5);
    T& u = windowUnderTest(T::Universal, "51", 3);
    u.IK_check[1].checked = true;
    u.FaktorA[0].text = "2";
    u.Aktualisieren();
    u.cmd_ZaehlerNull_Click(0);
    u.cmd_ZaehlerNull_Click(1);
    EXPECT_EQ(u.flagsenden, 0);
    u.Aktualisieren();
    EXPECT_EQ(u.kanal[0].text, "0,00");
    EXPECT_EQ(u.kanal[1].text, "0");  // the grating constant is part of the zero
    u.cmd_ZaehlerNull_MouseUp(0, 2);
    u.Aktualisieren();
    EXPECT_EQ(u.kanal[0].text, "8,00");
}

TEST_F(ProbeCommands, OutputsSampleTimeAndInterpolationGoThroughTheMailbox)
{
    T& ada = windowUnderTest(T::ADA2, "41");
    ada.sb_v[1].value = -1;
    ada.sb_v_Change(4);
    EXPECT_EQ(ada.Befehl, "[4DAFFFF]");
    EXPECT_EQ(ada.Label3[1].text, "-0,005");
    ada.sb_v[0].value = 2047;
    ada.sb_v_Change(3);
    tick(ada);
    EXPECT_EQ(ada.lb_Fehler.text, "[3DA07FF]--->[3DA!]");
    EXPECT_EQ(ada.Label3[0].text, "10,000");
    EXPECT_EQ(board("41").dac(3), 2047);

    ada.Option5_MouseDown(6);
    tick(ada);
    EXPECT_EQ(board("41").sampleTime(), "0400");

    T& akik = windowUnderTest(T::AK2IK1_IP1000, "31", 2);
    akik.wert0_Click(5);
    EXPECT_EQ(akik.Befehl, "[3IP05]");
    T& ik = windowUnderTest(T::IK2_IP1000, "11", 3);
    ik.wert0_Click(4);
    EXPECT_EQ(ik.Befehl, "[1IP04]");
    ik.wert1_Click(8);
    EXPECT_EQ(ik.Befehl, "[2IP08]");
    EXPECT_EQ(ik.Interpolationswert, (std::array<QString, 2>{"4", "8"}));
    tick(ik);
    EXPECT_EQ(board("11").interpolation(2), "08");
}

TEST_F(ProbeCommands, DynamicMeasurementRunsToItsCountAndStopsOnce)
{
    board("21").setPointsPerPoll(2);
    T& c = windowUnderTest(T::AK4, "21");
    c.tb_anzahl.text = "4";
    c.tb_startposition.text = "0";
    c.tb_delta.text = "10";
    c.tb_start.checked = true;
    c.tb_start_Click();
    EXPECT_EQ(c.tb_start.colour, T::Green);
    for (int i = 0; i < 5; ++i)
        c.Aktualisieren();
    EXPECT_EQ(commands().filter("2D"), (QStringList{"[2DPOS4,0,10]", "[2Dp]", "[2Dp]"}));
    EXPECT_EQ(commands().count("[1BR]"), 1);
    EXPECT_EQ(c.lb_messpunkte.text, "4");
    EXPECT_FALSE(c.tb_start.checked);
    EXPECT_EQ(c.flagdynm, 0);
}

TEST_F(ProbeCommands, RefusedMeasurementIsReportedAndNotPolled)
{
    T& c = windowUnderTest(T::AK4, "21");
    c.tb_anzahl.text = "0";
    c.tb_start.checked = true;
    c.tb_start_Click();
    c.Aktualisieren();
    c.Aktualisieren();
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(dialogs->messages[0].text, "Error!! Number:000A");
    EXPECT_EQ(dialogs->messages[0].title, "Fehler");
    EXPECT_FALSE(c.tb_start.checked);
    EXPECT_EQ(c.flagdynm, 0);
    EXPECT_TRUE(commands().filter("Dp").isEmpty());

    c.tb_start_Click();  // unchecked while nothing runs: colour only
    EXPECT_EQ(c.flagdynm, 0);
    EXPECT_EQ(c.tb_start.colour, T::ButtonFace);
}

TEST_F(ProbeCommands, SystemConfigurationSendsPitchWithAPointAndReadsItBack)
{
    T& c = windowUnderTest(T::AK4, "21");
    c.tb_encoder.text = "5000";
    c.tb_gear.text = "3";
    c.tb_pitch.text = "1,5";
    c.tb_tperiod.text = "2";
    c.tb_write_Click();
    c.Aktualisieren();
    EXPECT_EQ(commands().mid(1), (QStringList{"[2RES5000]", "[2GEA3]", "[2PIT1500]", "[2TPR2]"}));
    EXPECT_EQ(c.flagsystem_write, 0);

    board("21").setSystemValue('2', "PIT", "2500");
    c.tb_pitch.text = c.tb_encoder.text = "";
    c.tb_read_Click();
    c.Aktualisieren();
    EXPECT_EQ(c.tb_encoder.text, "5000");
    EXPECT_EQ(c.tb_pitch.text, "2,5");
    EXPECT_EQ(c.flagsystem_read, 0);
}

TEST_F(ProbeCommands, UnloadingReleasesTheInitWindowAndMakesTheLastWindowCurrent)
{
    T& a = windowUnderTest(T::AK4, "21", 1);
    T& b = windowUnderTest(T::AK1, "22", 2);
    T& c = windowUnderTest(T::ADA2, "41", 3);
    b.cmd_Init_Click();
    EXPECT_EQ(boundIndex, 2);
    registry.CCT_Aktivieren(1);
    a.Form_Unload();
    EXPECT_EQ(unload, 0);
    EXPECT_EQ(registry.CCT_I, 3);
    b.Form_Unload();
    EXPECT_EQ(unload, 1);
    c.Form_Unload();
    EXPECT_EQ(registry.CCT_I, 0);
    EXPECT_TRUE(registry.CCT.isEmpty());
}

}  // namespace

namespace {

// --- dynamic measurement replies -------------------------------------------------------------

struct StartReply
{
    const char* reply;
    const char* error;  // the message text, empty: no error
};

class DposReply : public ::testing::TestWithParam<StartReply>, public ProbeBench
{
};

// The start command's reply: "!" is the bus's accept marker, "?" a rejection.
TEST_P(DposReply, OnlyARejectionOrAnErrorNumberIsAnError)
{
    const QByteArray reply = GetParam().reply;
    T& c = windowUnderTest(T::AK4, "21");
    unit("21").setHandler("2DPOS", [reply](SimUnit&, const SimCommand&) { return reply; });
    c.tb_anzahl.text = "3";
    c.tb_start.checked = true;
    c.tb_start_Click();
    c.Aktualisieren();
    const QString error = QString::fromLatin1(GetParam().error);
    if (error.isEmpty()) {
        EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->texts().join(" | ").toStdString();
        EXPECT_TRUE(c.tb_start.checked);
        EXPECT_EQ(c.flagdynm, 2);
    } else {
        ASSERT_EQ(dialogs->messages.size(), 1);
        EXPECT_EQ(dialogs->messages[0].text, error);
        EXPECT_FALSE(c.tb_start.checked);
        EXPECT_EQ(c.flagdynm, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, DposReply,
                         ::testing::Values(StartReply{"[2DPOS!0000]", ""}, StartReply{"[2DPOS0000]", ""},
                                           StartReply{"[2DPOS!]", ""}, StartReply{"[2DPOS0003]", "Error!! Number:0003"},
                                           StartReply{"[2DPOS!0012]", "Error!! Number:0012"},
                                           StartReply{"[2DPOS?000A]", "Error!! Number:000A"},
                                           StartReply{"[2DPOS?0000]", "Error!! Number:0000"}));

struct CountCase
{
    const char* target;  // tb_anzahl
    bool ends;
};

class PointCount : public ::testing::TestWithParam<CountCase>, public ProbeBench
{
};

// The measurement ends when the point count's text equals the box's text.
TEST_P(PointCount, EndsOnlyWhenTheTextsAreEqual)
{
    T& c = windowUnderTest(T::AK4, "21");
    unit("21").setHandler("2Dp", [](SimUnit&, const SimCommand&) { return QByteArray("[2Dp!5]"); });
    c.tb_anzahl.text = GetParam().target;
    c.flagdynm = 2;
    c.tb_start.checked = true;
    c.Aktualisieren();
    EXPECT_EQ(c.lb_messpunkte.text, "5");
    EXPECT_EQ(c.tb_start.checked, !GetParam().ends);
    EXPECT_EQ(c.flagdynm, GetParam().ends ? 3 : 2);
}

INSTANTIATE_TEST_SUITE_P(Texts, PointCount,
                         ::testing::Values(CountCase{"5", true}, CountCase{"05", false}, CountCase{"5.0", false},
                                           CountCase{"6", false}));

// --- analog outputs --------------------------------------------------------------------------

struct SliderCase
{
    int index;
    int value;
    const char* command;
    const char* volts;
};

class Slider : public ::testing::TestWithParam<SliderCase>, public ProbeBench
{
};

TEST_P(Slider, PostsTheOutputCommandAndShowsTheVoltage)
{
    T& ada = windowUnderTest(T::ADA2, "41");
    const SliderCase& k = GetParam();
    ada.sb_v[std::size_t(k.index - 3)].value = k.value;
    ada.sb_v_Change(k.index);
    EXPECT_EQ(ada.Befehl, k.command);
    EXPECT_EQ(ada.Label3[std::size_t(k.index - 3)].text, k.volts);
    tick(ada);
    EXPECT_EQ(board("41").dac(k.index), k.value);
}

INSTANTIATE_TEST_SUITE_P(Values, Slider,
                         ::testing::Values(SliderCase{3, 2047, "[3DA07FF]", "10,000"},
                                           SliderCase{3, -2047, "[3DAF801]", "-10,000"},
                                           SliderCase{4, 0, "[4DA0000]", "0,000"},
                                           SliderCase{4, 1024, "[4DA0400]", "5,002"}));

// --- layouts, status query, burn time-out ----------------------------------------------------

TEST_F(ProbeCommands, OneChannelLayoutShowsOnlyChannelOneWithSampleTimeAndCalibration)
{
    T c(env());
    c.Form_Load();
    c.cb_Unitauswahl.listIndex = T::Universal;
    c.cb_Unitauswahl_Click();
    c.cb_Unitauswahl.listIndex = T::AK1;
    c.cb_Unitauswahl_Click();
    for (int e = 0; e < 5; ++e)
        EXPECT_EQ(c.cb__Achsenauswahl[std::size_t(e)].visible, e == 0) << e;
    EXPECT_TRUE(c.Frame[0].visible);
    EXPECT_FALSE(c.Frame[1].visible || c.Frame[2].visible || c.Frame[3].visible);
    EXPECT_TRUE(c.Rahmen1.visible && c.tb_faktor.visible);
    EXPECT_FALSE(c.Frame5[0].visible || c.Frame5[1].visible || c.interpol[0].visible || c.interpol[1].visible);
    EXPECT_FALSE(c.tb_faktorAI.visible || c.tb_gitter.visible || c.lb_gitter.visible);
    for (const auto& ik : c.IK_check)
        EXPECT_FALSE(ik.visible);
    EXPECT_TRUE(c.cb_abgleich.visible && c.cmd_Abgleich.visible && c.tb_abgleich.visible);
    EXPECT_EQ(c.BoxWidth, T::NormalWidth);
}

TEST_F(ProbeCommands, TheStatusRequestOfTheReadBackShowsNoRejection)
{
    unit("21").rejectNext("[0ST]", 0x000A);
    T& c = windowUnderTest(T::AK4, "21");
    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->texts().join(" | ").toStdString();
    EXPECT_EQ(c.lb_Fehler.text, "[0ST]--->[0ST?000A]");
    EXPECT_EQ(c.sh_an_aus.colour, T::Green);  // a rejection is an answer
}

TEST_F(ProbeCommands, TheCalibrationBurnWaitsThreeSeconds)
{
    board("21").setInput(1, 500.005);  // one digit above the target
    T& c = windowUnderTest(T::AK4, "21");
    c.cmd_Abgleich.text = T::CalibrationAbort;
    c.flagabgleich = 1;
    c.Abgleich_P = "C00000";
    c.Abgleich_Schritt = 1;
    c.Abgleich_Richtung = 2;
    unit("21").setHandler("0ff01", [](SimUnit& u, const SimCommand& cmd) -> std::optional<QByteArray> {
        u.setExtraReplyDelay(2.7);
        return cmd.accepted();
    });
    tick(c);
    // The burn's late reply was waited for: it is logged with its command.
    const QStringList lines = transport().log().lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.endsWith("[0ff01]-->[0ff!]");
    })) << lines.join(" | ").toStdString();
}

}  // namespace
