// The probe window's read-back, live read-out and calibration against the
// simulated boards.

#include "AK_AbgleichCore.h"
#include "DemoBus.h"
#include "ProbeBench.h"

#include <gtest/gtest.h>

#include <functional>

using T = ProbeWindowCore;

namespace {

class ProbeWindow : public ::testing::Test, public ProbeBench
{
};

TEST_F(ProbeWindow, ReadsSampleTimeAndMaskBackWithoutPostingThem)
{
    board("21").setSampleTime("0040");
    board("21").setChannelMask("10100000");
    auto c = std::make_unique<T>(env());
    c->Form_Load();
    c->Check1[1].checked = true;  // checked before: stays checked
    c->Kanalfreigabe[1] = 1;
    c->cb__Achsenauswahl[0].listIndex = 0;  // "21"
    c->cb__Achsenauswahl_Click(0);

    EXPECT_EQ(c->Initialisierung(), 1);
    EXPECT_EQ(c->sh_an_aus.colour, T::Green);
    EXPECT_EQ(c->Caption, "AK4   21");
    EXPECT_EQ(c->lb_Fehler.text, "[0ST]--->[0ST!00000000]");
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(c->Option5[std::size_t(i)].checked, i == 2) << i;
    const std::array<bool, 8> checked{true, true, true, false, false, false, false, false};
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(c->Check1[i].checked, checked[i]) << i;
    EXPECT_EQ(c->flagsenden, 0);
    EXPECT_EQ(transport().Ereignissperre, 0);
}

TEST_F(ProbeWindow, SilentUnitLeavesTheLampRedAndReadsNothingElse)
{
    unit("21").setSilent(true);
    T& c = windowUnderTest(T::AK4, "21");
    EXPECT_EQ(c.sh_an_aus.colour, T::Red);
    EXPECT_EQ(c.lb_Fehler.text, "[0ST]--->1");
    EXPECT_EQ(initTraffic, QStringList{"[0ST]"});
}

TEST_F(ProbeWindow, ScaleBoardsReadTheirInterpolationDigits)
{
    board("11").setInterpolation(1, "05");
    board("11").setInterpolation(2, "03");
    T& ik = windowUnderTest(T::IK2_IP1000, "11");
    EXPECT_TRUE(ik.wert0[5].checked);
    EXPECT_TRUE(ik.wert1[3].checked);
    EXPECT_EQ(ik.Interpolationswert[0], "5");
    EXPECT_TRUE(ik.Check1[0].checked && ik.Check1[1].checked);

    board("31").setInterpolation(3, "07");
    T& akik = windowUnderTest(T::AK2IK1_422, "31", 2);
    EXPECT_TRUE(akik.wert0[7].checked);
    EXPECT_EQ(initTraffic, (QStringList{"[0ST]", "[0fP]", "[0k1]", "[3iP]"}));
}

TEST_F(ProbeWindow, ShowsSigned24BitCountsInTheLocaleFormat)
{
    board("21").setInput(1, 1e6);
    board("21").setInput(2, -1e6);
    T& c = windowUnderTest(T::AK4, "21");
    EXPECT_EQ(c.Aktualisieren(), 1);
    EXPECT_EQ(c.kanal[0].text, "3276,80");
    EXPECT_EQ(c.kanal[1].text, "-3276,80");
    EXPECT_EQ(commands(), QStringList{"[0M1]"});
}

TEST_F(ProbeWindow, SilenceTurnsTheLampRedAndKeepsTheReadings)
{
    board("21").setInput(1, 12.5);
    T& c = windowUnderTest(T::AK4, "21");
    c.Nullpunkt[0] = 2;
    c.Aktualisieren();
    EXPECT_EQ(c.kanal[0].text, "10,50");
    unit("21").setSilent(true);
    EXPECT_EQ(c.Aktualisieren(), 0);
    EXPECT_EQ(c.sh_an_aus.colour, T::Red);
    EXPECT_EQ(c.kanal[0].text, "10,50");
    bus->clearTraffic();
    EXPECT_EQ(c.Aktualisieren(), 0);
    EXPECT_TRUE(commands().isEmpty());
}

TEST_F(ProbeWindow, ScaleInputsUseTheGratingAndBadFactorsSkipTheChannel)
{
    board("51").setInput(1, 100.0 / 2560);  // a count of 100
    board("51").setInput(2, 1);
    T& c = windowUnderTest(T::Universal, "51");
    c.IK_check[0].checked = true;
    c.FaktorA[1].text = "x";
    c.kanal[1].text = "7";
    c.Aktualisieren();
    EXPECT_EQ(c.kanal[0].text, "1000");
    EXPECT_EQ(c.kanal[1].text, "7");

    board("31").setCounter(3, 25);
    T& akik = windowUnderTest(T::AK2IK1_IP1000, "31", 2);
    akik.Aktualisieren();
    EXPECT_EQ(akik.kanal[2].text, "250");  // always a scale input
}

TEST_F(ProbeWindow, ScaleBoardPollsBothPositionsAndReportsTheSecond)
{
    board("11").setCounter(1, 3);
    board("11").setCounter(2, -2);
    T& c = windowUnderTest(T::IK2_422, "11");
    EXPECT_EQ(c.Aktualisieren(), 1);
    EXPECT_EQ(commands(), (QStringList{"[1PA]", "[2PA]"}));
    EXPECT_EQ(c.kanal[0].text, "30,000");
    EXPECT_EQ(c.kanal[1].text, "-20,000");

    unit("11").setHandler("1PA", [](SimUnit&, const SimCommand&) { return QByteArray(); });
    EXPECT_EQ(c.Aktualisieren(), 1);
    EXPECT_EQ(c.sh_an_aus.colour, T::Red);
}

// The main loop with one window: ticks until the calibration is idle again.
int calibrate(ProbeBench& b, T& c, int maxTicks)
{
    int ticks = 0;
    while (c.flagabgleich == 1 && ticks < maxTicks) {
        b.tick(c);
        ++ticks;
    }
    return ticks;
}

TEST_F(ProbeWindow, OffsetAndGainCalibrationEndsAtTheTargetAndBurnsWhatIsInUse)
{
    SimProbeBoard& ak = board("21");
    ak.setSensitivity(2, 1.037);
    ak.setOffsetError(2, 4321);
    ak.setNoise(30);
    T& c = windowUnderTest(T::AK4, "21");
    c.cb_abgleich.listIndex = 1;  // K2
    c.FaktorA[1].text = "1";

    c.cmd_Abgleich_Click();  // reset, then offset with nothing under the probe
    calibrate(*this, c, 5);
    EXPECT_EQ(c.cmd_Abgleich.text, T::CalibrationStart);
    EXPECT_EQ(ak.working(2).gainP, 0x800000u);
    EXPECT_NEAR(ak.reading(2), 0, 40);

    ak.setInput(2, 500);  // the setting standard
    c.cmd_Abgleich_Click();
    EXPECT_EQ(c.cmd_Abgleich.text, T::CalibrationAbort);
    EXPECT_LT(calibrate(*this, c, 2000), 2000);
    EXPECT_EQ(c.cmd_Abgleich.text, T::CalibrationZero);

    EXPECT_NEAR(ak.reading(2) / 2560.0, 500.0, 0.03);
    EXPECT_EQ(ak.eeprom(2), ak.working(2));
    EXPECT_EQ((ak.eeprom(2).gainP + ak.eeprom(2).gainM) & 0xFFFFFFu, 0u);
    const QStringList b = commands();
    const qsizetype burn = b.indexOf("[0ff02]");
    ASSERT_GE(burn, 4);
    EXPECT_TRUE(b[burn - 4].startsWith("[2SP"));
    EXPECT_EQ(b[burn - 3], "[2SW]");
    EXPECT_TRUE(b[burn - 2].startsWith("[2SM"));
    EXPECT_EQ(b[burn - 1], "[2SW]");
    EXPECT_EQ(b.mid(burn + 1), QStringList{"[2SR]"});
    ak.powerCycle();
    EXPECT_NEAR(ak.reading(2) / 2560.0, 500.0, 0.03);
}

// How a gain search ends. It burns only where the reading stands at the
// target. A channel that does not follow the positive gain register (the
// one-channel board keeps its positive-side gain in "SM") would be searched
// for ever, and one whose reading falls as the gain rises is steered to
// where the register wraps: both stop as a cancel does, say why and burn
// nothing.
struct GainEndCase
{
    const char* name;
    int unitType;
    const char* address;
    // After "Start": the standard under the probe and the search's state.
    std::function<void(SimProbeBoard&, T&)> setUp;
    const QString* stopReason;  // nullptr: ends at the target and burns
    int ticks = 0;              // the steps it takes, where they matter
    int noise = 0;              // the board's noise in counts
    int runs = 1;               // searches in the window; the last one is checked
    const char* target = "500";
    quint32 seed = 1;  // the noise's seed
};

class GainSearchEnd : public ::testing::TestWithParam<GainEndCase>, public ProbeBench
{
};

TEST_P(GainSearchEnd, BurnsOnlyAtTheTarget)
{
    const GainEndCase& k = GetParam();
    SimProbeBoard& ak = board(k.address);
    ak.setNoise(k.noise, k.seed);
    T& c = windowUnderTest(k.unitType, k.address);
    c.tb_abgleich.text = QString::fromLatin1(k.target);
    for (int run = 1; run < k.runs; ++run) {  // a refusal among them leaves its box
        c.cmd_Abgleich_Click();
        calibrate(*this, c, 5);
        c.cmd_Abgleich_Click();
        k.setUp(ak, c);
        calibrate(*this, c, 2000);
        ak.setInput(1, 0);
    }
    c.cmd_Abgleich_Click();
    calibrate(*this, c, 5);  // reset, then offset with nothing under the probe
    c.cmd_Abgleich_Click();
    k.setUp(ak, c);
    bus->clearTraffic();
    const int ticks = calibrate(*this, c, 2000);
    EXPECT_LT(ticks, 2000);
    if (k.ticks)
        EXPECT_EQ(ticks, k.ticks);
    EXPECT_EQ(c.cmd_Abgleich.text, T::CalibrationZero);
    EXPECT_EQ(commands().contains("[0ff01]"), !k.stopReason) << commands().join(' ').toStdString();
    ak.powerCycle();
    if (!k.stopReason) {
        EXPECT_NEAR(ak.reading(1) / 2560.0, *c.toNumber(c.tb_abgleich.text), 0.5);
        EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->texts().join(" | ").toStdString();
        return;
    }
    EXPECT_EQ(c.lb_Fehler.text, *k.stopReason);
    EXPECT_EQ(ak.eeprom(1), SimProbeBoard::Registers{});
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(dialogs->messages[0].title, "Fehler");
    // The one-channel board is sent to the guided window, which knows its direction.
    EXPECT_EQ(dialogs->messages[0].text.contains("\"AK-Abgleich\""), k.unitType == T::AK1);
}

// The standard of the full calibration above, on a noisy board.
const auto noisyStandard = [](SimProbeBoard& b, T& c) {
    b.setSensitivity(1, 1.037);
    b.setOffsetError(1, 4321);
    b.setInput(1, *c.toNumber(c.tb_abgleich.text));
};
// Pushed the other way and shown positive by the factor -1, the reading falls
// as SP rises: the search closes in on the wrap at 0.
const auto falling = [](SimProbeBoard& b, T& c) {
    c.FaktorA[0].text = "-1";
    b.setInput(1, -300);
};

INSTANTIATE_TEST_SUITE_P(Searches, GainSearchEnd,
                         ::testing::Values(
                             // The standard reads 300, below the target of 500: 42 steps of 400000
                             // make a whole turn of 0x1000000.
                             GainEndCase{"spIgnored", T::AK1, "22", [](SimProbeBoard& b, T&) { b.setInput(1, 300); },
                                         &T::GainNotFollowedMessage, 42},
                             GainEndCase{"readingFallsAsSpRises", T::AK1, "22", falling, &T::TargetMissedMessage},
                             // Below the target with P near the top of the register: the way up
                             // wraps round through a low gain and still finds the target.
                             GainEndCase{"wrapsAndFindsIt", T::AK4, "21",
                                         [](SimProbeBoard& b, T& c) {
                                             b.setInput(1, 1000);
                                             c.Abgleich_P = "FF0000";
                                             c.tb_abgleich.text = "1234,567";
                                         },
                                         nullptr},
                             // Almost a whole turn down, then a reversal: the count starts anew.
                             GainEndCase{"reversalRestartsTheTurn", T::AK4, "21",
                                         [](SimProbeBoard& b, T& c) {
                                             b.setInput(1, 300);
                                             c.tb_abgleich.text = "512,345";  // no reading shows it exactly
                                             c.Abgleich_Richtung = 1;
                                             c.gainTravel = T::GainTurn - 1;
                                         },
                                         nullptr},
                             // Twelve searches each: a noisy reading at the target is no miss.
                             GainEndCase{"noiseOf60", T::AK4, "21", noisyStandard, nullptr, 0, 60, 12},
                             GainEndCase{"noiseOf100", T::AK4, "21", noisyStandard, nullptr, 0, 100, 12},
                             // ... and at small targets, where a falling reading is still refused.
                             GainEndCase{"noiseOf60At5", T::AK4, "21", noisyStandard, nullptr, 0, 60, 12, "5"},
                             GainEndCase{"noiseOf100At5", T::AK4, "21", noisyStandard, nullptr, 0, 100, 12, "5"},
                             GainEndCase{"noiseOf60At10", T::AK4, "21", noisyStandard, nullptr, 0, 60, 12, "10"},
                             GainEndCase{"noiseOf100At10", T::AK4, "21", noisyStandard, nullptr, 0, 100, 12, "10"},
                             GainEndCase{"noiseOf60At20", T::AK4, "21", noisyStandard, nullptr, 0, 60, 12, "20"},
                             GainEndCase{"noiseOf100At20", T::AK4, "21", noisyStandard, nullptr, 0, 100, 12, "20"},
                             GainEndCase{"noiseOf60At50", T::AK4, "21", noisyStandard, nullptr, 0, 60, 12, "50"},
                             GainEndCase{"noiseOf100At50", T::AK4, "21", noisyStandard, nullptr, 0, 100, 12, "50"},
                             GainEndCase{"fallsAt5", T::AK1, "22", falling, &T::TargetMissedMessage, 0, 0, 1, "5"},
                             GainEndCase{"fallsAt10", T::AK1, "22", falling, &T::TargetMissedMessage, 0, 0, 1, "10"},
                             GainEndCase{"fallsAt20", T::AK1, "22", falling, &T::TargetMissedMessage, 0, 0, 1, "20"},
                             GainEndCase{"fallsAt50", T::AK1, "22", falling, &T::TargetMissedMessage, 0, 0, 1, "50"},
                             // Without noise, a reversal one off the target of 500 is no result.
                             GainEndCase{"endsOneOff", T::AK4, "21",
                                         [](SimProbeBoard& b, T& c) {
                                             b.setInput(1, 501);
                                             c.Abgleich_Schritt = 1;
                                             c.Abgleich_Richtung = 2;
                                         },
                                         &T::TargetMissedMessage, 1},
                             // Without noise the reading may miss by three of the box's last digit.
                             GainEndCase{"endsJustInside", T::AK4, "21",
                                         [](SimProbeBoard& b, T& c) {
                                             b.setInput(1, 500.03);
                                             c.Abgleich_Schritt = 1;
                                             c.Abgleich_Richtung = 2;
                                         },
                                         nullptr, 1},
                             GainEndCase{"endsJustOutside", T::AK4, "21",
                                         [](SimProbeBoard& b, T& c) {
                                             b.setInput(1, 499.96);
                                             c.Abgleich_Schritt = 1;
                                             c.Abgleich_Richtung = 1;
                                         },
                                         &T::TargetMissedMessage, 1},
                             // With noise it may miss by three times (the spread plus that digit):
                             // two readings 0.02 apart below the target, then a last one above it.
                             GainEndCase{"noisyEndsJustInside", T::AK4, "21",
                                         [](SimProbeBoard& b, T& c) {
                                             b.setInput(1, 499.99);  // reads 499.96, 499.94, 500.09
                                             c.Abgleich_Schritt = 1;
                                             c.Abgleich_Richtung = 2;
                                         },
                                         nullptr, 3, 230, 1, "500", 80},
                             GainEndCase{"noisyEndsJustOutside", T::AK4, "21",
                                         [](SimProbeBoard& b, T& c) {
                                             b.setInput(1, 500);  // reads 499.97, 499.95, 500.10
                                             c.Abgleich_Schritt = 1;
                                             c.Abgleich_Richtung = 2;
                                         },
                                         &T::TargetMissedMessage, 3, 230, 1, "500", 80}),
                         [](const ::testing::TestParamInfo<GainEndCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ProbeWindow, GainStepsWaitForAnAnsweredReadOutAndWrapRoundTheRegister)
{
    board("21").setInput(1, 800);
    T& c = windowUnderTest(T::AK4, "21");
    c.cmd_Abgleich.text = T::CalibrationAbort;
    c.flagabgleich = 1;
    c.Abgleich_P = "000100";
    c.Abgleich();  // no read-out on this tick: nothing
    EXPECT_TRUE(commands().isEmpty());
    tick(c);
    EXPECT_EQ(commands(), (QStringList{"[0M1]", "[1SPF9E680]", "[1SW]", "[1SR]"}));
    EXPECT_EQ(c.Abgleich_Schritt, 400000);
    EXPECT_EQ(c.Abgleich_Richtung, 1);

    c.cmd_Abgleich_MouseUp(2);
    EXPECT_EQ(c.flagabgleich, 0);
    EXPECT_EQ(c.cmd_Abgleich.text, T::CalibrationZero);
}

TEST_F(ProbeWindow, GainStepsWaitWhileTheCalibratedChannelIsNotRefreshed)
{
    board("21").setInput(2, 800);
    T& c = windowUnderTest(T::AK4, "21");
    c.cb_abgleich.listIndex = 1;  // K2
    c.cmd_Abgleich.text = T::CalibrationAbort;
    c.flagabgleich = 1;
    c.Check1[1].checked = false;  // the box freezes, channel 1 still answers
    tick(c);
    c.Check1[1].checked = true;
    c.FaktorA[1].text = "x";  // a bad factor freezes it as well
    tick(c);
    EXPECT_EQ(commands(), (QStringList{"[0M1]", "[0M1]"}));
    EXPECT_EQ(c.Abgleich_P, "800000");
    c.FaktorA[1].text = "1";
    tick(c);
    EXPECT_EQ(commands().size(), 6);
}

TEST_F(ProbeWindow, AChannelTheBoardDoesNotSendShowsZeroButIsNoCalibrationReading)
{
    T& c = windowUnderTest(T::AK1, "22");  // one channel
    c.Check1[1].checked = true;
    c.cb_abgleich.listIndex = 1;  // K2
    c.cmd_Abgleich.text = T::CalibrationAbort;
    c.flagabgleich = 1;
    tick(c);
    EXPECT_EQ(c.kanal[1].text, "0,00");
    EXPECT_EQ(commands(), QStringList{"[0M1]"});
    EXPECT_EQ(c.Abgleich_P, "800000");
}

TEST_F(ProbeWindow, FinishingAboveHalfScaleWritesTheComplementaryNegativeGain)
{
    board("21").setInput(1, 500.005);  // reads one digit above the target of 500
    T& c = windowUnderTest(T::AK4, "21");
    c.cmd_Abgleich.text = T::CalibrationAbort;
    c.flagabgleich = 1;
    c.Abgleich_P = "C00000";
    c.Abgleich_Schritt = 1;
    c.Abgleich_Richtung = 2;  // the reversal with step 1 ends the search
    tick(c);
    EXPECT_EQ(commands(), (QStringList{"[0M1]", "[1SPBFFFFF]", "[1SW]", "[1SM400001]", "[1SW]", "[0ff01]", "[1SR]"}));
    EXPECT_EQ(c.flagabgleich, 0);
}

TEST_F(ProbeWindow, ResetStepAddressesTheChosenChannelDigit)
{
    T& c = windowUnderTest(T::Universal, "51");
    c.cb_abgleich.listIndex = 4;  // K5
    c.Nullpunkt[4] = 3;
    c.cmd_Abgleich_Click();
    c.Abgleich();
    EXPECT_EQ(commands(), (QStringList{"[5SO000000]", "[5SP800000]", "[5SM800000]", "[5SW]", "[5SR]"}));
    EXPECT_EQ(c.Nullpunkt[4], 0);
    EXPECT_EQ(c.cmd_Abgleich.text, T::CalibrationStart);
    EXPECT_EQ(c.flagabgleich, 1);
}

}  // namespace

namespace {

struct DemoCase
{
    int unitType;
    QString address;
    double value;  // the value the channel shows
    double tolerance;
    QString mask = {};  // channel boxes the operator unticks ("0")
    int channel = 1;
    QString boardMask = {};   // first set on the board behind the window, which is then initialised again
    QString guidedMask = {};  // last written by the guided calibration window, on its own port
    bool refused = false;     // the board refuses both writes
};

class DemoBoards : public ::testing::TestWithParam<DemoCase>, public ProbeBench
{
};

// Every board type finds its board on the demonstration bus and runs its
// read-back, read-out and queries without a single error box.
TEST_P(DemoBoards, AnswerEveryBoardTypeWithoutErrorBoxes)
{
    for (const QString& a : bus->addresses())
        bus->removeUnit(a);
    populateDemoBus(*bus);
    const DemoCase& k = GetParam();
    T& c = windowUnderTest(k.unitType, k.address);
    EXPECT_EQ(c.sh_an_aus.colour, T::Green);
    if (!k.boardMask.isEmpty()) {
        board(k.address).setChannelMask(k.boardMask);
        c.cb__Achsenauswahl_Click(c.Unitindex);
        tick(c);
    }
    if (k.refused)  // the board refuses the row's mask writes
        for (const QString& flags : {k.mask, k.guidedMask})
            unit(k.address).rejectNext("[0K1" + flags + "]", 0x0005, AK_AbgleichCore::MaxWrites);
    for (int i = 0; i < int(k.mask.size()); ++i) {
        if (k.mask[i] == '0') {
            c.Check1[std::size_t(i)].checked = false;
            c.Check1_Click(i);
            tick(c);
        }
    }
    if (!k.guidedMask.isEmpty()) {
        AK_AbgleichEnv e;
        e.port = &core->serial();
        e.clock = &core->clock();
        e.ui = dialogs;
        e.masks = masks;
        AK_AbgleichCore guided(e);
        guided.OAkX[1].checked = guided.AKNR[0].checked = true;  // an AK4 at "21"
        for (int i = 0; i < 4; ++i)
            guided.Check1[i].checked = k.guidedMask[i] == '1';
        guided.Check1_Click();
    }
    EXPECT_EQ(c.Aktualisieren(), 1);
    // The channel shows its own value on the demonstration board.
    const QString shown = c.kanal[std::size_t(k.channel - 1)].text;
    EXPECT_NEAR(QString(shown).replace(',', '.').toDouble(), k.value, k.tolerance) << shown.toStdString();
    for (const auto& clickHandler : {&T::cmd_sign_Click, &T::cmd_status_Click, &T::cmd_version_Click}) {
        (c.*clickHandler)();
        tick(c);
    }
    c.Check1[0].checked = true;
    c.Check1_Click(0);
    tick(c);
    EXPECT_EQ(c.sh_an_aus.colour, T::Green);
    EXPECT_EQ(dialogs->messages.isEmpty(), !k.refused) << dialogs->texts().join(" | ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Types, DemoBoards,
    // The AK4's channel 1: (12.5 µm × 1.01 + 300 counts / 2560) with noise. With
    // channel 2 off it sends three values: channel 3 shows 250 µm × 1.03 + 900 counts;
    // so it does when the board dropped channel 2 while the window's flag stays,
    // when the guided window turned channels 2 and 4 off, and when the board
    // refused both windows' masks.
    ::testing::Values(DemoCase{T::AK1, "22", 42, 0.01}, DemoCase{T::AK4, "21", 12.742, 0.01},
                      DemoCase{T::AK4, "21", 257.852, 0.02, "1011", 3},
                      DemoCase{T::AK4, "21", 257.852, 0.02, {}, 3, "10110000"},
                      DemoCase{T::AK4, "21", 257.852, 0.02, {}, 3, {}, "1010"},
                      DemoCase{T::AK4, "21", 257.852, 0.02, "1110", 3, "10110000", "1101", true},
                      DemoCase{T::AK2IK1_IP1000, "31", 5, 0.01}, DemoCase{T::AK2IK1_422, "31", 5, 0.01},
                      DemoCase{T::IK2_IP1000, "11", 12340, 0.001}, DemoCase{T::IK2_422, "11", 12340, 0.001},
                      DemoCase{T::ADA2, "41", 1000, 0.01}, DemoCase{T::Universal, "51", 3.5, 0.01}));

}  // namespace

namespace {

// --- display factor and grating of 0 --------------------------------------------------------

struct ZeroFactorCase
{
    bool scale;           // the channel is a scale input
    const char* factor;   // FaktorA
    const char* grating;  // tb_gitter
    const char* shown;
};

class ZeroFactor : public ::testing::TestWithParam<ZeroFactorCase>, public ProbeBench
{
};

// A factor of 0 is a number: the box shows 0 less the zero offset; a text
// that is no number leaves the box as it was.
TEST_P(ZeroFactor, ShowsTheNegatedZeroOffset)
{
    const ZeroFactorCase& k = GetParam();
    board("51").setInput(1, 10);
    T& c = windowUnderTest(T::Universal, "51");
    c.IK_check[0].checked = k.scale;
    c.FaktorA[0].text = k.factor;
    c.tb_gitter.text = k.grating;
    c.Nullpunkt[0] = 1.25;
    c.kanal[0].text = "7";
    EXPECT_EQ(c.Aktualisieren(), 1);
    EXPECT_EQ(c.kanal[0].text, k.shown);
}

INSTANTIATE_TEST_SUITE_P(Factors, ZeroFactor,
                         ::testing::Values(ZeroFactorCase{false, "0", "10", "-1,25"},
                                           ZeroFactorCase{true, "0", "10", "-1"}, ZeroFactorCase{true, "1", "0", "-1"},
                                           ZeroFactorCase{false, "1", "0", "8,75"},
                                           ZeroFactorCase{false, "x", "10", "7"}, ZeroFactorCase{true, "1", "x", "7"}));

// --- why the calibration waits ----------------------------------------------------------------

struct WaitCase
{
    const char* name;
    std::function<void(T&)> spoil;
    const char* reason;
};

class CalibrationWait : public ::testing::TestWithParam<WaitCase>, public ProbeBench
{
};

TEST_P(CalibrationWait, ShowsTheReasonAndWritesNoRegister)
{
    board("21").setInput(1, 800);
    T& c = windowUnderTest(T::AK4, "21");
    c.cmd_Abgleich.text = T::CalibrationAbort;
    c.flagabgleich = 1;
    GetParam().spoil(c);
    tick(c);
    tick(c);
    EXPECT_EQ(c.lb_Fehler.text, QStringLiteral("Abgleich wartet: ") + QString::fromUtf8(GetParam().reason));
    EXPECT_TRUE(commands().filter("SP").isEmpty()) << commands().join(' ').toStdString();
    EXPECT_EQ(c.Abgleich_P, "800000");
    EXPECT_EQ(c.cmd_Abgleich.text, T::CalibrationAbort);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, CalibrationWait,
    ::testing::Values(
        WaitCase{"lamp", [](T& c) { c.sh_an_aus.colour = T::Red; }, "die Karte antwortet nicht"},
        WaitCase{"measuring", [](T& c) { c.aktiv_box.checked = false; }, "\"Messen\" ist aus"},
        WaitCase{"box", [](T& c) { c.Check1[0].checked = false; }, "Kanal 1 ist nicht angewählt"},
        WaitCase{"factor", [](T& c) { c.FaktorA[0].text = "0"; }, "der Faktor von Kanal 1 ist 0 oder keine Zahl"},
        WaitCase{"divisor", [](T& c) { c.tb_faktor.text = "0"; }, "der Umrechnungsfaktor ist 0 oder keine Zahl"},
        WaitCase{"missing",
                 [](T& c) {
                     c.cb_abgleich.listIndex = 4;
                     c.Check1[4].checked = true;
                 },
                 "kein neuer Messwert von Kanal 5"}),
    [](const ::testing::TestParamInfo<WaitCase>& info) { return std::string(info.param.name); });

// --- the gain search's step sizes -----------------------------------------------------------

// A new window below the target raises P by 400000 per tick until the
// reading passes the target; the step back is still 400000, and the step is
// quartered at each reversal only.
TEST(ProbeGainSearch, QuartersTheStepOnlyAtAReversal)
{
    ProbeBench b;
    b.board("21").setInput(1, 450);  // reads 450 at the nominal gain; the target is 500
    T& c = b.windowUnderTest(T::AK4, "21");
    c.cmd_Abgleich.text = T::CalibrationAbort;
    c.flagabgleich = 1;
    c.Abgleich_P = "800000";
    c.Abgleich_Schritt = 400000;
    QStringList written;
    QList<double> steps;
    for (int i = 0; i < 6; ++i) {
        b.bus->clearTraffic();
        b.tick(c);
        written << b.commands().filter("[1SP").value(0);
        steps << c.Abgleich_Schritt;
    }
    EXPECT_EQ(written,
              (QStringList{"[1SP861A80]", "[1SP8C3500]", "[1SP924F80]", "[1SP8C3500]", "[1SP8DBBA0]", "[1SP8E1D48]"}));
    EXPECT_EQ(steps, (QList<double>{400000, 400000, 400000, 100000, 25000, 25000}));
}

}  // namespace
