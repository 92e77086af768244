// The joystick display's core against two simulated axes: start-up of a
// selected pair of units, the deflection table, the joystick option reaching
// both units, the stop at closing, a missing motor factor, entry 0 and the
// last entry of the list.

#include "AxisParameterStore.h"
#include "JoystickCore.h"
#include "OptionFlags.h"
#include "SimJoystick.h"
#include "SimWorkbench.h"
#include "globale_Funktionen.h"

#include <gtest/gtest.h>

namespace {

class JoystickTest : public ::testing::Test
{
protected:
    JoystickTest() : bank(setup()), joystick(env())
    {
        for (const QString& a : {QStringLiteral("01"), QStringLiteral("02")})
            joystickInputs << installJoystickInput(bank.unit(a));
        store.axisRecordAt(1).Motfak = 1000;
        store.axisRecordAt(2).Motfak = 2000;
        joystick.Form_Load();
    }
    static SimWorkbench::Setup setup()
    {
        SimWorkbench::Setup s;
        s.units = {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("1E")};
        return s;
    }
    JoystickEnv env()
    {
        JoystickEnv e;
        e.bus = &bank.transport();
        e.store = &store;
        e.leaveScript = [this] { ++leaveScript; };
        return e;
    }
    void selectAxis(int index)
    {
        joystick.cb_adressenauswahl.listIndex = index;
        joystick.cb_adressenauswahl_Click();
    }
    void tick()
    {
        bank.clock->advance(0.05);
        joystick.Timer2_Timer();
    }
    QStringList receivedLines(const QString& a) { return bank.unit(a).received(); }
    // An axis pair running with its motor factors read.
    void whileRunning()
    {
        selectAxis(1);
        tick();
        tick();
        tick();
        bank.unit(QStringLiteral("01")).clearReceived();
        bank.unit(QStringLiteral("02")).clearReceived();
    }

    SimWorkbench bank;
    OptionFlags flags;
    AxisParameterStore store{flags};
    JoystickCore joystick;
    QList<std::shared_ptr<SimJoystickInput>> joystickInputs;
    int leaveScript = 0;
};

}  // namespace

TEST_F(JoystickTest, SelectingAnAnsweringUnitStopsBothAndReadsBothRecords)
{
    selectAxis(1);
    tick();
    EXPECT_EQ(joystick.sh_an_aus.colour, JoystickCore::Green);
    EXPECT_EQ(joystick.Motfak, 2000) << "the second pass read record 2";
    tick();
    EXPECT_EQ(joystick.Motfak, 1000) << "the next tick's first pass read record 1";
    EXPECT_EQ(receivedLines(QStringLiteral("01")).filter(QStringLiteral("[1BR]")).size(), 2);
    EXPECT_EQ(receivedLines(QStringLiteral("02")).filter(QStringLiteral("[1BR]")).size(), 1);
    EXPECT_EQ(receivedLines(QStringLiteral("01")).mid(0, 4), QStringList({"[0ST]", "[0pe]", "[1BR]", "[1CS]"}));
    tick();
    EXPECT_EQ(joystick.flagsenden, 0);
    EXPECT_EQ(joystick.FlagAuslesen, 0);
    EXPECT_EQ(receivedLines(QStringLiteral("02")).filter(QStringLiteral("[1BR]")).size(), 1);
}

TEST_F(JoystickTest, SilentUnitStaysRedAndIsAskedAgainEveryPass)
{
    bank.unit(QStringLiteral("01")).setSilent(true);
    selectAxis(1);
    tick();
    tick();
    EXPECT_EQ(joystick.sh_an_aus.colour, JoystickCore::Red);
    EXPECT_FALSE(joystick.cmd_STOPP.enabled);
    EXPECT_EQ(receivedLines(QStringLiteral("01")).count(QStringLiteral("[0ST]")), 4);
}

struct Deflection
{
    const char* J;
    int power, neg, pos;
    const char* Vneg;
    const char* Vpos;
};

class DeflectionTest : public JoystickTest, public ::testing::WithParamInterface<Deflection>
{
};

TEST_P(DeflectionTest, JoystickByteDrivesGaugesAndSpeedLabels)
{
    const Deflection a = GetParam();
    whileRunning();
    joystick.lb_Vneg[1].text = joystick.lb_Vpos[1].text = QStringLiteral("-");
    joystickInputs[1]->voltage = quint8(QString::fromLatin1(a.J).toUInt(nullptr, 16));
    joystickInputs[1]->deflection = 0x2A;
    tick();
    EXPECT_EQ(joystick.lb_Spannung[1].text, QString::fromLatin1(a.J));
    EXPECT_EQ(joystick.tovih_power[1], a.power);
    EXPECT_EQ(joystick.tovih_neg[1], a.neg);
    EXPECT_EQ(joystick.tovih_pos[1], a.pos);
    EXPECT_EQ(joystick.lb_Vneg[1].text, QString::fromLatin1(a.Vneg));
    EXPECT_EQ(joystick.lb_Vpos[1].text, QString::fromLatin1(a.Vpos));
    EXPECT_EQ(joystick.lb_POS[1].text, dezimalkomma() ? QStringLiteral("0,000 mm") : QStringLiteral("0.000 mm"));
}

INSTANTIATE_TEST_SUITE_P(Table, DeflectionTest,
                         ::testing::Values(Deflection{"80", 0, -127, 0, "2A", "0"}, Deflection{"FF", 0, 0, 0, "-", "-"},
                                           Deflection{"03", 0, 0, 3, "0", "2A"}, Deflection{"FE", -1, 0, 0, "-", "-"}));

// The position shows more decimals the finer a count is (k = 1000 / motor
// factor, in µm per count): three from k = 1, four from 0.1, five from 0.01,
// six below.
class PositionFormat : public JoystickTest, public ::testing::WithParamInterface<std::pair<double, const char*>>
{
};

TEST_P(PositionFormat, DecimalsFollowTheCountSize)
{
    const auto [motorFactorValue, text] = GetParam();
    store.axisRecordAt(1).Motfak = motorFactorValue;
    bank.axis(QStringLiteral("01")).setPosition(25000);
    whileRunning();
    tick();
    QString expectedText = QString::fromLatin1(text) + QStringLiteral(" mm");
    if (dezimalkomma())
        expectedText.replace(QLatin1Char('.'), QLatin1Char(','));
    EXPECT_EQ(joystick.lb_POS[0].text, expectedText) << motorFactorValue;
}

INSTANTIATE_TEST_SUITE_P(Factors, PositionFormat,
                         ::testing::Values(std::pair{1000.0, "25.000"}, std::pair{2000.0, "12.5000"},
                                           std::pair{10000.0, "2.5000"}, std::pair{10001.0, "2.49975"},
                                           std::pair{100000.0, "0.25000"}, std::pair{100001.0, "0.249998"}),
                         [](const auto& info) { return "Factor" + std::to_string(qint64(info.param.first)); });

TEST_F(JoystickTest, JoystickOptionReachesBothUnitsInOneTickAndStopEndsIt)
{
    whileRunning();
    joystick.Fahrart_Click(0);
    tick();
    for (const QString& a : {QStringLiteral("01"), QStringLiteral("02")})
        EXPECT_EQ(bank.axis(a).model().joystick(), SimAxisModel::Joystick::Slow) << qPrintable(a);
    EXPECT_TRUE(joystick.lb_Fehler.text.startsWith(QStringLiteral("[1CS] [1Cj]--->")));
    // A request is cleared on the third pass that counts it; the next one
    // starts counting afresh.
    tick();
    joystick.Fahrart_Click(1);
    tick();
    EXPECT_EQ(bank.axis(QStringLiteral("02")).model().joystick(), SimAxisModel::Joystick::Fast);
    EXPECT_TRUE(joystick.Fahrart[1].checked);

    // Closing stops both units before the bus goes back.
    bank.unit(QStringLiteral("02")).clearReceived();
    joystick.Form_Unload();
    EXPECT_EQ(receivedLines(QStringLiteral("02")), QStringList({"[1BR]", "[1CS]"}));
    for (const QString& a : {QStringLiteral("01"), QStringLiteral("02")})
        EXPECT_EQ(bank.axis(a).model().joystick(), SimAxisModel::Joystick::Off) << qPrintable(a);
    EXPECT_FALSE(joystick.Fahrart[1].checked);
    EXPECT_EQ(leaveScript, 1);
}

TEST_F(JoystickTest, WithoutMotorFactorThePositionPollGoesOutButNothingIsShown)
{
    store.axisRecordAt(1).Motfak = 0;
    store.axisRecordAt(2).Motfak = 0;
    whileRunning();
    tick();
    EXPECT_EQ(receivedLines(QStringLiteral("02")), QStringList({"[1PA]"}));
    EXPECT_EQ(joystick.lb_POS[1].text, QStringLiteral("off"));
}

TEST_F(JoystickTest, EntryZeroIsGreenButNeverPolledAndTheLastEntryHasNoSecondUnit)
{
    selectAxis(0);
    tick();
    tick();
    EXPECT_EQ(joystick.sh_an_aus.colour, JoystickCore::Green);
    // "00" reaches every unit.
    EXPECT_EQ(receivedLines(QStringLiteral("01")).filter(QStringLiteral("[1PA]")), QStringList());
    EXPECT_EQ(receivedLines(QStringLiteral("01")).mid(0, 4), QStringList({"[0ST]", "[0pe]", "[1BR]", "[1CS]"}));

    store.setIndex(0);
    selectAxis(30);
    for (int k = 0; k < 4; ++k)
        tick();
    EXPECT_EQ(joystick.sh_an_aus.colour, JoystickCore::Green);
    EXPECT_EQ(store.Index(), 30);
    EXPECT_GE(receivedLines(QStringLiteral("1E")).count(QStringLiteral("[1PA]")), 3);
}

TEST_F(JoystickTest, AnEmptyEntryOfTheAxisSearchIsNoUnit)
{
    whileRunning();
    joystick.fillAddresses({QStringLiteral("00"), QStringLiteral("01"), QString(), QStringLiteral("03")});
    selectAxis(2);
    tick();
    joystick.Form_Unload();
    EXPECT_EQ(joystick.sh_an_aus.colour, JoystickCore::Red);
    EXPECT_EQ(receivedLines(QStringLiteral("01")) + receivedLines(QStringLiteral("02")), QStringList());
}
