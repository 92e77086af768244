// The axis parameter store and the motor-factor calculation: defaults, the
// cursor's range, the worked examples, the option-8 variant, rounding, the
// failures (one message each, earlier results kept) and the calculation
// against the simulated controller over the real transport.

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Clock.h"
#include "CommLog.h"
#include "MotorFactor.h"
#include "OptionFlags.h"
#include "SimBus.h"
#include "SimParams.h"
#include "SimSerialPort.h"
#include "TestSupport.h"
#include "UiServices.h"
#include "UsbBridge.h"

#include <gtest/gtest.h>

#include <QMap>

#include <cmath>
#include <limits>

namespace {

// A controller that answers from a table; unknown commands get no answer.
struct ScriptedController
{
    QMap<QString, QString> replies;
    QStringList sent;
    QString operator()(const QString& command)
    {
        sent << command;
        return replies.value(command, keine_Antwort);
    }
};

class MotorFactorTest : public ::testing::Test
{
protected:
    OptionFlags flags;
    AxisParameterStore store{flags};
    RecordingUiServices ui;
    ScriptedController controller;
    MotorFactorCalculator calc{store, flags, ui, [this](const QString& c) { return controller(c); }};

    Achsdatensatz& rec(int axis = 0) { return store.axisRecordAt(axis); }
};

TEST(AxisParameterStoreTest, EveryAxisStartsWithTheDefaults)
{
    OptionFlags flags;
    AxisParameterStore store(flags);
    for (int a = 0; a < AxisParameterStore::Achsen; ++a) {
        store.setIndex(a);
        EXPECT_EQ(store.Motfak(), 5217);
        EXPECT_EQ(store.vmax(), 1);
        EXPECT_EQ(store.vmin(), 1);
        EXPECT_EQ(store.amin(), 1);
        EXPECT_EQ(store.st(), 124);
        EXPECT_EQ(store.Endschalter_Plus() + store.Endschalter_minus() + store.Index_Plus() + store.Index_Minus(), 4);
        EXPECT_EQ(store.drehantrieb(), 0.0);
        EXPECT_EQ(store.axisRecordAt(a).Massstabsachse, 0);
        EXPECT_EQ(store.axisRecordAt(a).Motfak_manuell, 0);
        EXPECT_TRUE(store.Achsenbezeichnung().isEmpty());
        EXPECT_EQ(store.axisRecordAt(a).leadscrew, 47.6);
    }
    store.setIndex(7);
    store.setDefaults();
    EXPECT_EQ(store.Index(), 0);
}

TEST(AxisParameterStoreTest, IndexCursorStoresValuesPerAxisAndRefusesAxesAbove30)
{
    OptionFlags flags;
    AxisParameterStore store(flags);
    store.setIndex(-5);
    EXPECT_EQ(store.Index(), 0);

    store.setIndex(3);
    store.setPositionP(12.5);
    store.setAchsenbezeichnung(QStringLiteral("X-Tisch"));
    store.setDrehantrieb(3, 1);
    store.setIndex(4);
    EXPECT_EQ(store.PositionP(), 0);
    EXPECT_EQ(store.drehantrieb(), 0.0);
    store.setIndex(3);
    EXPECT_EQ(store.PositionP(), 12.5);
    EXPECT_EQ(store.Achsenbezeichnung(), QStringLiteral("X-Tisch"));
    EXPECT_EQ(store.drehantrieb(), 1.0);

    store.setIndex(30);
    EXPECT_NO_THROW(store.setFahrart(2));
    EXPECT_EQ(store.Fahrart(), 2);

    // Index 31 is stored; reading or writing through it fails without
    // touching any axis.
    store.setIndex(31);
    EXPECT_EQ(store.Index(), 31);
    EXPECT_FALSE(store.indexValid());
    EXPECT_THROW(store.Motfak(), AxisIndexError);
    EXPECT_THROW(store.setPositionM(1.0), AxisIndexError);
    EXPECT_THROW(store.axisRecordAt(-1), AxisIndexError);
    for (int a = 0; a < AxisParameterStore::Achsen; ++a)
        EXPECT_EQ(store.axisRecordAt(a).PositionM, 0);
}

TEST(AxisParameterStoreTest, RoundingDigitsAreTheOptionModelsValue)
{
    OptionFlags flags;
    AxisParameterStore store(flags);
    EXPECT_EQ(store.rundungsstelle(), 5);
    store.setRundungsstelle(2);
    EXPECT_EQ(flags.digitIndex(), 2);
    flags.setDigitIndex(4);
    EXPECT_EQ(store.rundungsstelle(), 4);
}

TEST_F(MotorFactorTest, DefaultsWithoutControllerGiveTheWorkedExample)
{
    EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed);

    EXPECT_EQ(controller.sent, QStringList{QStringLiteral("[1RL]")});
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(rec().Vorteiler, 127);
    EXPECT_DOUBLE_EQ(store.st(), 0.001);
    EXPECT_EQ(store.Motfak(), 5217);
    const double unrounded = 5216.806722689075;
    EXPECT_NEAR(store.vmax(), 13.086172371134023, 1e-12);
    EXPECT_DOUBLE_EQ(store.vmin(), 1.0 / (unrounded * 0.001));
    EXPECT_NEAR(store.vmin(), 0.191688, 1e-6);
    EXPECT_NEAR(rec().vmaxlimit, 21.46907216494845, 1e-12);
    EXPECT_NEAR(store.amin(), 0.748782, 1e-6);

    const MotorFactorDisplay& d = calc.displayData();
    EXPECT_EQ(d.sb_regelkreisH, 0x7C);
    EXPECT_EQ(d.lb_ST_Sec, QStringLiteral("1.000ms"));
    EXPECT_EQ(d.text_MFB7, QStringLiteral("5217"));
    EXPECT_EQ(d.text_MFB8, QStringLiteral("13.086172"));
    EXPECT_EQ(d.text_MFB9, QStringLiteral("0.191688"));
    EXPECT_EQ(d.text_MFB10, QStringLiteral("0.748782"));
    EXPECT_EQ(d.lb_aufloesung, QStringLiteral("0.191681"));
}

TEST_F(MotorFactorTest, DisplayFollowsTheLocalesDecimalSeparator)
{
    ScopedLocale de(QLocale::German, QLocale::Germany);
    int shown = 0;
    calc.showValues = [&shown](const MotorFactorDisplay&) { ++shown; };
    calc.motfaktor_berechnen();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(calc.displayData().lb_ST_Sec, QStringLiteral("1,000ms"));
    EXPECT_EQ(calc.displayData().text_MFB8, QStringLiteral("13,086172"));
    EXPECT_EQ(calc.displayData().lb_aufloesung, QStringLiteral("0,191681"));
}

TEST_F(MotorFactorTest, OptionEightReadsThePrescalerAndUsesTheFinerSpeedUnit)
{
    flags.setOn(OptionFlags::NewMotorFactor, true);
    controller.replies[QStringLiteral("[1sT]")] = QStringLiteral("[1sT!007F]");
    controller.replies[QStringLiteral("[1RL]")] = QStringLiteral("[1RL!7C112233]");

    EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed);
    EXPECT_EQ(controller.sent, (QStringList{QStringLiteral("[1sT]"), QStringLiteral("[1RL]")}));
    EXPECT_EQ(rec().Vorteiler, 127);
    EXPECT_DOUBLE_EQ(store.st(), 0.001);
    EXPECT_NEAR(store.vmin(), 0.00074878, 1e-8);
    EXPECT_NEAR(rec().vmaxlimit, 49.0714, 1e-4);
    EXPECT_NEAR(store.vmax(), 13.086172, 1e-6);  // below the ceiling, unclamped
    EXPECT_NEAR(store.amin(), 0.748782, 1e-6);   // amin has no option-8 divisor
}

TEST_F(MotorFactorTest, PrescalerOfTheControllerSetsTheSampleTime)
{
    flags.setOn(OptionFlags::NewMotorFactor, true);
    controller.replies[QStringLiteral("[1sT]")] = QStringLiteral("[1sT!00FF]");
    controller.replies[QStringLiteral("[1RL]")] = QStringLiteral("[1RL!F9112233]");
    calc.motfaktor_berechnen();
    EXPECT_EQ(rec().Vorteiler, 255);
    EXPECT_DOUBLE_EQ(store.st(), 256.0 * 250.0 / 16e6);
    EXPECT_EQ(calc.displayData().lb_ST_Sec, QStringLiteral("4.000ms"));
}

TEST_F(MotorFactorTest, RejectedOrMissingPrescalerMeansTheDefault127)
{
    flags.setOn(OptionFlags::NewMotorFactor, true);
    for (const QString& reply : {QStringLiteral("[1sT?0005]"), QString(), keine_Antwort}) {
        controller.replies[QStringLiteral("[1sT]")] = reply;
        rec().Vorteiler = 0;
        EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed) << reply.toStdString();
        EXPECT_EQ(rec().Vorteiler, 127) << reply.toStdString();
        EXPECT_DOUBLE_EQ(store.st(), 0.001);
    }
}

TEST_F(MotorFactorTest, ScaleAxisTakesTheGratingConstantInMicrometres)
{
    rec().Massstabsachse = 1;
    rec().Inkremente = 20;
    rec().Interpolationsfaktor = 1;
    rec().Motorkonstante = 4;
    rec().Gear = 7;  // ignored on a scale axis except for vmax
    EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed);
    EXPECT_EQ(store.Motfak(), 200);
    EXPECT_DOUBLE_EQ(store.vmin(), 1.0 / (200 * 0.001));
    EXPECT_EQ(calc.displayData().lb_aufloesung, QStringLiteral("5.00000"));
}

TEST_F(MotorFactorTest, HalfWayFactorRoundsAwayFromZeroWhileSpeedsUseTheExactOne)
{
    rec().Inkremente = 2469;
    rec().Motorkonstante = 1;
    rec().Gear = 1;
    rec().leadscrew = 2;
    EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed);
    EXPECT_EQ(store.Motfak(), 1235);
    EXPECT_DOUBLE_EQ(store.vmin(), 1.0 / (1234.5 * 0.001));
    EXPECT_DOUBLE_EQ(store.amin(), 1.0 / (0.001 * 0.001 * 1234.5) / 256);
}

TEST_F(MotorFactorTest, RotaryAxisShowsDegreesPerCount)
{
    rec().Inkremente = 3600;
    rec().Motorkonstante = 1;
    rec().Gear = 1;
    rec().leadscrew = 1;
    store.setDrehantrieb(0, 1);
    calc.motfaktor_berechnen();
    EXPECT_EQ(store.Motfak(), 3600);
    EXPECT_EQ(calc.displayData().lb_aufloesung, QStringLiteral("0.10000"));

    ScopedLocale de(QLocale::German, QLocale::Germany);
    calc.motfaktor_berechnen();
    EXPECT_EQ(calc.displayData().lb_aufloesung, QStringLiteral("0,10000"));
}

TEST_F(MotorFactorTest, VmaxAboveTheCeilingIsClamped)
{
    rec().Spannung = 1000;  // vmax 545 mm/s, far above 112 raw speed units
    calc.motfaktor_berechnen();
    EXPECT_EQ(store.vmax(), rec().vmaxlimit);
    EXPECT_NEAR(store.vmax(), 21.46907216494845, 1e-12);
}

TEST_F(MotorFactorTest, TypedMotorFactorOnlyReadsThePrescaler)
{
    flags.setOn(OptionFlags::NewMotorFactor, true);
    controller.replies[QStringLiteral("[1sT]")] = QStringLiteral("[1sT!0040]");
    rec().Motfak_manuell = 1;
    rec().Motfak = 1000;
    EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Manuell);
    EXPECT_EQ(controller.sent, QStringList{QStringLiteral("[1sT]")});
    EXPECT_EQ(rec().Vorteiler, 64);
    EXPECT_EQ(rec().Motfak, 1000);
    EXPECT_EQ(store.st(), 124);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(MotorFactorTest, AxisOutsideTheSetSendsAndStoresNothing)
{
    store.setIndex(31);
    EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::IndexInvalid);
    EXPECT_TRUE(controller.sent.isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty());
}

// Each failure shows the message once and leaves the motor factor and the
// four speed values of the previous calculation.
class MotorFactorFailureTest : public MotorFactorTest
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed);
        before = rec();
        ui.clear();
    }
    void expectFailureKeepsResults()
    {
        EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Fehlerhaft);
        ASSERT_EQ(ui.messages.size(), 1);
        EXPECT_EQ(ui.messages.first().text, QStringLiteral("Berechnung ist Fehlerhaft!!"));
        EXPECT_EQ(ui.messages.first().buttons, MsgButtons::Ok);
        EXPECT_TRUE(ui.messages.first().title.isEmpty());
        EXPECT_EQ(rec().Motfak, before.Motfak);
        EXPECT_EQ(rec().vmax, before.vmax);
        EXPECT_EQ(rec().vmin, before.vmin);
        EXPECT_EQ(rec().vmaxlimit, before.vmaxlimit);
        EXPECT_EQ(rec().amin, before.amin);
        EXPECT_TRUE(calc.displayData().text_MFB7.isEmpty());
    }
    Achsdatensatz before;
};

TEST_F(MotorFactorFailureTest, GearZero)
{
    rec().Gear = 0;
    controller.replies[QStringLiteral("[1RL]")] = QStringLiteral("[1RL!F9112233]");
    expectFailureKeepsResults();
    // The sample time is known before the failing step and is kept.
    EXPECT_DOUBLE_EQ(store.st(), 128.0 * 250.0 / 16e6);
    EXPECT_EQ(calc.displayData().lb_ST_Sec, QStringLiteral("2.000ms"));
}

TEST_F(MotorFactorFailureTest, RegisterOutside15To249)
{
    for (const QString& reg : {QStringLiteral("0E"), QStringLiteral("FA"), QStringLiteral("zz")}) {
        ui.clear();
        store.setSt(0, 0.5);
        controller.replies[QStringLiteral("[1RL]")] = QStringLiteral("[1RL!") + reg + QStringLiteral("112233]");
        expectFailureKeepsResults();
        EXPECT_EQ(store.st(), 0.5) << reg.toStdString();
        EXPECT_EQ(calc.displayData().sb_regelkreisH, -1);
    }
    for (const QString& reg : {QStringLiteral("0F"), QStringLiteral("F9")}) {
        controller.replies[QStringLiteral("[1RL]")] = QStringLiteral("[1RL!") + reg + QStringLiteral("112233]");
        EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed) << reg.toStdString();
    }
}

TEST_F(MotorFactorFailureTest, ZeroDivisorsAndZeroResults)
{
    const std::vector<std::function<void(Achsdatensatz&)>> breakers = {
        [](Achsdatensatz& r) { r.Inkremente = 0; },
        [](Achsdatensatz& r) { r.leadscrew = 0; },
        [](Achsdatensatz& r) { r.Spannungskonstante = 0; },
        [](Achsdatensatz& r) { r.Inkremente = 0.0001; },  // factor below 0.5
        [](Achsdatensatz& r) {
            r.Massstabsachse = 1;
            r.Inkremente = 0;
        },
        [](Achsdatensatz& r) { r.Gear = std::numeric_limits<double>::infinity(); },
        [](Achsdatensatz& r) { r.Motorkonstante = std::numeric_limits<double>::quiet_NaN(); },
        [](Achsdatensatz& r) {
            r.Inkremente = 1e308;
            r.Gear = 1e308;
        },
    };
    for (std::size_t i = 0; i < breakers.size(); ++i) {
        SCOPED_TRACE(i);
        rec() = Achsdatensatz{};
        ASSERT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed);
        before = rec();
        breakers[i](rec());
        ui.clear();
        expectFailureKeepsResults();
    }
}

TEST(DriveValuesTest, VmaxEqualToTheCeilingStays)
{
    // With these values vmax and 112 vmin are the same double.
    Achsdatensatz r;
    r.Massstabsachse = 1;
    r.Inkremente = 1000;
    r.Interpolationsfaktor = 1;
    r.Motorkonstante = 1;
    const double st = 0.001;
    const double limit = 1.0 / (1.0 * st) * 112;
    r.leadscrew = 1;
    r.Gear = 1;
    r.Spannungskonstante = 1;
    // A supply voltage whose vmax is exactly the ceiling.
    double u = limit / 16.667;
    for (int step = 0; step < 64 && u * 16.667 != limit; ++step)
        u = std::nextafter(u, u * 16.667 < limit ? limit : 0.0);
    ASSERT_EQ(u * 16.667, limit);
    r.Spannung = u;
    const auto v = driveValues(r, st, false);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->vmaxlimit, limit);
    EXPECT_EQ(v->vmax, limit);
}

// The whole road: transport, serial port and the simulated controller.
TEST(MotorFactorSimTest, ReadsPrescalerAndRegisterFromTheSimulatedController)
{
    FakeClock clock(0.0001);
    SimBus bus(clock);
    SimUnit& unit = bus.addUnit(QStringLiteral("01"));
    auto regs = installDriveRegisters(unit);
    SimSerialPort port(bus);
    ASSERT_TRUE(port.open());
    NoUsbBridge usb;
    RecordingUiServices ui;
    CommLog log;
    BusTransport transport(port, usb, clock, ui, log);

    OptionFlags flags;
    flags.setOn(OptionFlags::NewMotorFactor, true);
    AxisParameterStore store(flags);
    MotorFactorCalculator calc(store, flags, ui,
                               [&transport](const QString& c) { return transport.senden_empfangen(c); });
    transport.einheit_waehlen(QStringLiteral("01"));
    store.setIndex(2);

    EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed);
    EXPECT_EQ(unit.received(), (QStringList{QStringLiteral("[1sT]"), QStringLiteral("[1RL]")}));
    EXPECT_EQ(store.axisRecordAt(2).Vorteiler, 127);
    EXPECT_DOUBLE_EQ(store.st(), 0.001);
    EXPECT_EQ(store.Motfak(), 5217);

    regs->prescaler = 0x3F;
    regs->loopRegister = "F9000000";
    EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed);
    EXPECT_DOUBLE_EQ(store.st(), 64.0 * 250.0 / 16e6);
    EXPECT_EQ(calc.displayData().sb_regelkreisH, 0xF9);

    // A controller that has gone silent: the defaults, no message.
    unit.setSilent(true);
    EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed);
    EXPECT_DOUBLE_EQ(store.st(), 0.001);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(MotorFactorFailureTest, ZeroMaximumSpeedIsAValue)
{
    // A scale axis needs no lead screw; a drive without voltage has no speed.
    for (auto zero : {+[](Achsdatensatz& r) { r.leadscrew = 0; }, +[](Achsdatensatz& r) { r.Spannung = 0; }}) {
        rec() = Achsdatensatz{};
        rec().Massstabsachse = 1;
        rec().Inkremente = 20;
        rec().Interpolationsfaktor = 1;
        rec().Motorkonstante = 4;
        zero(rec());
        ui.clear();
        EXPECT_EQ(calc.motfaktor_berechnen(), CalcResult::Computed);
        EXPECT_TRUE(ui.messages.isEmpty());
        EXPECT_EQ(rec().Motfak, 200);
        EXPECT_EQ(rec().vmax, 0);
    }
}

}  // namespace
