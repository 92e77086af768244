// The parameter window's rules over the simulated bus: the axis choice with
// its calculation, the loop-register bar and its refusals, Copy and Paste,
// "no unit" entries, the boxes in the locale's format, the manual motor
// factor.
#include "BerechnungCore.h"
#include "Format.h"
#include "ParamWindowFixture.h"
#include "SimParams.h"

namespace {

class BerechnungTest : public ParamWindowFixture
{
protected:
    BerechnungTest()
    {
        params.calculator().showValues = [this](const MotorFactorDisplay& d) { core.showValues(d); };
    }
    void pickOption(int index)
    {
        core.cb_adressenauswahl.listIndex = index;
        core.cb_adressenauswahl_Click();
    }
    BerechnungCore core{env()};
};

TEST_F(BerechnungTest, Entry00CalculatesTheDefaultsWithoutAnAnswer)
{
    pickOption(0);
    EXPECT_EQ(core.sh_an_aus.colour, BerechnungCore::Green);
    EXPECT_EQ(core.text_MFB[7].text, QStringLiteral("5217"));
    EXPECT_EQ(core.lb_ST_Sec.text, QStringLiteral("1.000ms"));
    EXPECT_EQ(core.text_MFB[8].text, QStringLiteral("13.086172"));
    EXPECT_EQ(core.text_MFB[9].text, QStringLiteral("0.191688"));
    EXPECT_EQ(core.text_MFB[10].text, QStringLiteral("0.748782"));
    EXPECT_EQ(core.text_regelP.text, QStringLiteral("7C"));
    EXPECT_EQ(core.sb_regelkreisH.value, 124);
    EXPECT_EQ(params.store().Index(), 0);
    EXPECT_EQ(params.store().axisRecordAt(0).Motfak, 5217);
}

TEST_F(BerechnungTest, AnsweringUnitIsGreenAndSilentOneRed)
{
    pickOption(1);
    EXPECT_EQ(core.sh_an_aus.colour, BerechnungCore::Green);
    EXPECT_EQ(core.text_MFB[7].text, QStringLiteral("5217"));
    wb.unit(QStringLiteral("02")).setSilent(true);
    params.store().axisRecordAt(2).Gear = 100;
    params.store().setDrehantrieb(2, 1);
    wb.bus->clearTraffic();
    pickOption(2);
    EXPECT_EQ(core.sh_an_aus.colour, BerechnungCore::Red);
    // The rotary box follows the axis, but nothing is asked of the previous unit.
    EXPECT_EQ(core.Label8.text, QStringLiteral("Grad"));
    for (const auto& [unitAddr, cmdText] : wb.bus->traffic())
        EXPECT_NE(unitAddr, QStringLiteral("01")) << cmdText.toStdString();
    EXPECT_EQ(core.text_MFB[2].text, QStringLiteral("100"));
    EXPECT_EQ(params.store().axisRecordAt(2).Motfak, 5217);  // not calculated
}

TEST_F(BerechnungTest, BarWritesTheRegisterWithTheOtherThreeAndFallsBackToRP)
{
    pickOption(1);
    sent();
    core.sb_regelkreisH.value = 128;
    core.sb_regelkreisH_Change();
    QStringList s = sent();
    EXPECT_TRUE(s.contains(QStringLiteral("[1RS80112233]")));
    EXPECT_FALSE(s.contains(QStringLiteral("[1RP80112233]")));
    EXPECT_EQ(core.text_regelP.text, QStringLiteral("80"));
    EXPECT_EQ(core.lb_ST_Sec.text, QStringLiteral("1.032ms"));  // 128 × 129 / 16 MHz

    wb.unit().rejectNext(QStringLiteral("[1RS"), 0x0005);
    core.sb_regelkreisH.value = 130;
    core.sb_regelkreisH_Change();
    s = sent();
    EXPECT_TRUE(s.contains(QStringLiteral("[1RS82112233]")));
    EXPECT_TRUE(s.contains(QStringLiteral("[1RP82112233]")));
}

TEST_F(BerechnungTest, RefusedRegisterWriteIsFollowedByAStatusQueryThenRP)
{
    pickOption(1);
    sent();
    wb.unit().rejectNext(QStringLiteral("[1RS"), 0x0005);
    core.sb_regelkreisH.value = 130;
    core.sb_regelkreisH_Change();
    const QStringList s = sent();
    const qsizetype rs = s.indexOf(QStringLiteral("[1RS82112233]"));
    ASSERT_GE(rs, 1) << s.join(u' ').toStdString();
    EXPECT_EQ(s.at(rs - 1), QStringLiteral("[1RL]"));
    EXPECT_EQ(s.mid(rs + 1, 2), QStringList({QStringLiteral("[0ST]"), QStringLiteral("[1RP82112233]")}));
}

// The bar holds 15 to 249: a register read outside cannot be shown and the
// bar keeps its position.
class RegisterRange : public BerechnungTest, public ::testing::WithParamInterface<std::pair<const char*, int>>
{
};

TEST_P(RegisterRange, BarShowsOnlyWhatItsRangeHolds)
{
    const auto [register_, bar] = GetParam();
    pickOption(1);
    ASSERT_EQ(core.sb_regelkreisH.value, 124);
    const QByteArray antwort = QByteArray("[1RL!") + register_ + "112233]";
    wb.unit().setHandler(QStringLiteral("1RL"), [antwort](SimUnit&, const SimCommand&) { return antwort; });
    pickOption(1);
    EXPECT_EQ(core.sb_regelkreisH.value, bar) << register_;
}

INSTANTIATE_TEST_SUITE_P(Registers, RegisterRange,
                         ::testing::Values(std::pair{"0E", 124}, std::pair{"0F", 15}, std::pair{"F9", 249},
                                           std::pair{"FA", 124}),
                         [](const auto& info) { return std::string("Register") + info.param.first; });

TEST_F(BerechnungTest, FailedRegisterReadWritesNothingAndTheBarReturns)
{
    pickOption(1);
    const int vorher = core.sb_regelkreisH.value;
    for (const QByteArray& antwort : {QByteArray(), QByteArray("[1RL!7C]")}) {
        wb.unit().setHandler(QStringLiteral("1RL"), [antwort](SimUnit&, const SimCommand&) { return antwort; });
        sent();
        core.sb_regelkreisH.value = 128;
        core.sb_regelkreisH_Change();
        const QStringList s = sent();
        EXPECT_EQ(s, QStringList{QStringLiteral("[1RL]")}) << antwort.constData();
        EXPECT_EQ(core.sb_regelkreisH.value, vorher);
    }
}

TEST_F(BerechnungTest, CopyAxis2PasteAxis5CarriesMotorDataOnly)
{
    AxisParameterStore& store = params.store();
    Achsdatensatz& two = store.axisRecordAt(2);
    two.Gear = 100;
    two.Spannung = 12.5;
    two.Massstabsachse = 1;
    two.Achsenbezeichnung = QStringLiteral("X");
    two.Endschalter_Plus = 0;
    two.PositionP = 7;
    store.setDrehantrieb(2, 1);
    pickOption(2);
    const Achsdatensatz sourceRecord = store.axisRecordAt(2);
    core.cmd_KopEin_Click(0);
    EXPECT_TRUE(core.cmd_KopEin[1].enabled);

    store.axisRecordAt(5).Achsenbezeichnung = QStringLiteral("Z");
    store.axisRecordAt(5).PositionP = 3;
    pickOption(5);
    core.cmd_KopEin_Click(1);
    const Achsdatensatz& five = store.axisRecordAt(5);
    EXPECT_EQ(five.Gear, 100);
    EXPECT_EQ(five.Spannung, 12.5);
    EXPECT_EQ(five.vmin, sourceRecord.vmin);  // the stored value, not the rounded box text
    EXPECT_EQ(five.Motfak, sourceRecord.Motfak);
    EXPECT_EQ(five.Massstabsachse, 1);
    EXPECT_EQ(store.rotaryDriveFlag(5), 1);
    EXPECT_EQ(five.Achsenbezeichnung, QStringLiteral("Z"));
    EXPECT_EQ(five.Endschalter_Plus, 1);
    EXPECT_EQ(five.PositionP, 3);
    EXPECT_TRUE(core.chb_Massstab.checked);
    EXPECT_EQ(core.lb_Scale.text, QStringLiteral("Scale"));
    EXPECT_EQ(core.Label8.text, QStringLiteral("Grad"));
    core.closeView();
    EXPECT_FALSE(core.cmd_KopEin[1].enabled);
}

TEST_F(BerechnungTest, EmptyEntryOrPosition31IsNoUnit)
{
    QStringList addressTable;
    for (int i = 0; i < 32; ++i)
        addressTable << (i == 3 ? QString() : QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper());
    core.cb_adressenauswahl.items = addressTable;
    const Achsdatensatz vorher = params.store().axisRecordAt(3);
    params.store().axisRecordAt(1).Achsenbezeichnung = QStringLiteral("X");
    for (int index : {3, 31}) {
        pickOption(1);
        sent();
        ASSERT_FALSE(core.text_MFB[7].text.isEmpty());
        ASSERT_FALSE(core.text_Achsenbezeichnung.text.isEmpty());
        ASSERT_FALSE(core.lb_aufloesung.text.isEmpty());
        pickOption(index);
        EXPECT_TRUE(sent().isEmpty()) << index;
        EXPECT_EQ(core.sh_an_aus.colour, BerechnungCore::Red);
        // Axis 1's data, name and resolution do not stay under the red lamp.
        for (const kit::Control& box : core.text_MFB)
            EXPECT_EQ(box.text, QString()) << index;
        EXPECT_EQ(core.text_Achsenbezeichnung.text, QString()) << index;
        EXPECT_EQ(core.lb_aufloesung.text, QString()) << index;
        core.text_MFB[2].text = QStringLiteral("9");
        core.text_MFB_LostFocus(2);
        core.cmd_KopEin_Click(1);
        core.sb_regelkreisH.value = 100;
        core.sb_regelkreisH_Change();
        EXPECT_TRUE(sent().isEmpty());
    }
    EXPECT_EQ(params.store().axisRecordAt(3), vorher);
}

TEST_F(BerechnungTest, BoxesAreReadInTheLocaleFormat)
{
    usesComma = true;
    pickOption(4);
    core.text_MFB[5].text = QStringLiteral("0,5");
    core.text_MFB_LostFocus(5);
    core.text_MFB[6].text = QStringLiteral("4,5");
    core.text_MFB_LostFocus(6);
    core.text_MFB[2].text = QString();
    core.text_MFB_LostFocus(2);
    core.text_MFB[3].text = QStringLiteral("1.5");  // not a number here: skipped
    core.text_MFB_LostFocus(3);
    const Achsdatensatz& r = params.store().axisRecordAt(4);
    EXPECT_EQ(r.Interpolationsfaktor, 0.5);
    EXPECT_EQ(r.Motorkonstante, 4.5);
    EXPECT_EQ(r.Gear, 1);
    EXPECT_EQ(core.text_MFB[2].text, QStringLiteral("1"));
    EXPECT_EQ(r.leadscrew, 47.6);
}

TEST_F(BerechnungTest, ManualMotorFactorAndAFactorOfZero)
{
    pickOption(1);
    core.ob_MotFak_Click(1);
    EXPECT_TRUE(core.text_MFB[7].enabled);
    EXPECT_FALSE(core.text_MFB[0].enabled);
    EXPECT_FALSE(core.cmd_Berechnung.enabled);
    EXPECT_EQ(params.store().axisRecordAt(1).Motfak_manuell, 1);
    core.text_MFB[7].text = QStringLiteral("0");
    core.text_MFB_LostFocus(7);
    pickOption(1);
    EXPECT_TRUE(core.lb_aufloesung.text.isEmpty());
    EXPECT_TRUE(core.ob_MotFak[1].checked);
    EXPECT_EQ(params.store().axisRecordAt(1).Motfak, 0);
}

TEST_F(BerechnungTest, MotorIdentLoadsTheStartConfiguration)
{
    SimAxis(*wb.bus, QStringLiteral("01")).model().setMotorIdent("00000007");
    pickOption(1);
    sent();
    core.cmd_IM_Click();
    EXPECT_TRUE(sent().startsWith(QStringLiteral("[1iM]")));
}

TEST_F(BerechnungTest, FormActivateFollowsTheCurrentControlCenter)
{
    core.Form_Activate();
    EXPECT_EQ(core.cb_adressenauswahl.listIndex, -1);
    ccIndex = 2;
    core.Form_Activate();
    EXPECT_EQ(core.cb_adressenauswahl.listIndex, 2);
    EXPECT_EQ(params.store().Index(), 2);

    // Another window selected unit 01 meanwhile: the bar still writes to 02.
    wb.transport().einheit_waehlen(QStringLiteral("01"));
    wb.bus->clearTraffic();
    core.sb_regelkreisH.value = 100;
    core.sb_regelkreisH_Change();
    ASSERT_FALSE(wb.bus->traffic().isEmpty());
    for (const auto& [unitAddr, cmdText] : wb.bus->traffic())
        EXPECT_EQ(unitAddr, QStringLiteral("02")) << cmdText.toStdString();
}

}  // namespace
