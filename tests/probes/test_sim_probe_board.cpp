// The simulated measuring boards: the analog model and its registers, and
// the board settings, answered one command text at a time.

#include "SimProbeBoard.h"

#include <gtest/gtest.h>

namespace {

using Kind = SimProbeBoard::Kind;

QByteArray ask(SimProbeBoard& b, const char* command)
{
    return b.answer(command).value_or("<unknown>");
}

TEST(SimProbeBoard, RegistersActOnlyAfterTheyAreTakenOver)
{
    SimProbeBoard b(Kind::AK4);
    b.setInput(2, 100);
    b.setOffsetError(2, 1000);
    EXPECT_EQ(b.reading(2), 256000 + 1000);
    EXPECT_EQ(ask(b, "[2SO0003E8]"), "[2SO!]");
    EXPECT_EQ(ask(b, "[2SP900000]"), "[2SP!]");
    EXPECT_EQ(b.reading(2), 257000);
    EXPECT_EQ(ask(b, "[2SW]"), "[2SW!]");
    EXPECT_EQ(b.reading(2), 288000);  // 256000 × 9/8

    b.setInput(2, -100);
    EXPECT_EQ(b.reading(2), -256000);  // the negative side is still nominal
    ask(b, "[2SM700000]");             // 0x1000000 − P: the same gain below zero
    ask(b, "[2SW]");
    EXPECT_EQ(b.reading(2), -288000);
    // The read-back puts M at characters 13-18 and P at 20-25.
    const QByteArray sr = ask(b, "[2SR]");
    EXPECT_EQ(sr, "[2SR!0003E8,700000,900000]");
    EXPECT_EQ(sr.mid(12, 6), "700000");
    EXPECT_EQ(sr.mid(19, 6), "900000");
}

TEST(SimProbeBoard, BurnedRegistersSurviveAPowerCycle)
{
    SimProbeBoard b(Kind::AK4);
    b.setInput(1, 10);
    ask(b, "[1SPA00000]");
    ask(b, "[1SW]");
    EXPECT_EQ(ask(b, "[0ff01]"), "[0ff!]");
    ask(b, "[1SP400000]");
    ask(b, "[1SW]");
    EXPECT_EQ(b.reading(1), 12800);
    b.powerCycle();
    EXPECT_EQ(b.working(1).gainP, 0xA00000u);
    EXPECT_EQ(b.reading(1), 32000);
    EXPECT_EQ(ask(b, "[0ff05]"), "[0ff?000A]");  // no channel 5
}

// The one-channel board has its gain registers the other way round: "SM"
// sets the positive side, and the read-back lists "SP" first.
TEST(SimProbeBoard, TheOneChannelBoardsGainRegistersRunTheOtherWay)
{
    SimProbeBoard b(Kind::AK1);
    b.setInput(1, 10);  // 25600 counts
    ask(b, "[1SPA00000]");
    ask(b, "[1SW]");
    EXPECT_EQ(b.reading(1), 25600) << "SP sets the negative side";
    ask(b, "[1SM600000]");
    ask(b, "[1SW]");
    EXPECT_EQ(b.reading(1), 19200);  // × 6/8
    b.setInput(1, -10);
    EXPECT_EQ(b.reading(1), -19200);  // 0x1000000 − 0xA00000 = 0x600000
    EXPECT_EQ(ask(b, "[1SR]"), "[1SR!000000,A00000,600000]");
}

struct MaskCase
{
    Kind kind;
    const char* mask;   // "[0K1...]" flags
    const char* reply;  // of "[0M1]"
};

class ChannelMaskReply : public ::testing::TestWithParam<MaskCase>
{
};

// "[0M1]" holds the values of the enabled channels only, in channel order.
TEST_P(ChannelMaskReply, CarriesTheEnabledChannelsOnly)
{
    SimProbeBoard b(GetParam().kind);
    for (int c = 1; c <= b.channelCount(); ++c)
        b.setInput(c, c / 2560.0);  // channel c reads c
    EXPECT_EQ(ask(b, (QByteArray("[0K1") + GetParam().mask + "]").constData()), "[0K1!]");
    EXPECT_EQ(ask(b, "[0M1]"), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(Masks, ChannelMaskReply,
                         ::testing::Values(MaskCase{Kind::AK4, "1111", "[0M1!000001,000002,000003,000004,]"},
                                           MaskCase{Kind::AK4, "1010", "[0M1!000001,000003,]"},
                                           MaskCase{Kind::AK4, "0001", "[0M1!000004,]"},
                                           MaskCase{Kind::AK4, "0000", "[0M1!]"},
                                           MaskCase{Kind::ADA2, "01", "[0M1!000002,]"},
                                           MaskCase{Kind::AK16, "1000000000000000", "[0M1!000001,]"},
                                           MaskCase{Kind::AK16, "0100000000000001", "[0M1!000002,000010,]"}));

TEST(SimProbeBoard, ReadingsClampAndNoiseStaysWithinItsAmplitude)
{
    SimProbeBoard b(Kind::AK4);
    b.setInput(1, 1e9);
    b.setInput(2, -1e9);
    EXPECT_EQ(ask(b, "[0M1]"), "[0M1!7FFFFF,800000,000000,000000,]");
    b.setInput(3, 1);
    b.setNoise(5, 7);
    for (int i = 0; i < 50; ++i) {
        const QByteArray r = ask(b, "[0M1]");
        const int v = r.mid(19, 6).toInt(nullptr, 16);
        EXPECT_LE(std::abs(v - 2560), 5);
    }
}

TEST(SimProbeBoard, BoardSettingsAndRefusals)
{
    SimProbeBoard b(Kind::AK4);
    EXPECT_EQ(ask(b, "[0k1]"), "[0k1!11110000]");
    EXPECT_EQ(ask(b, "[0K11010]"), "[0K1!]");
    EXPECT_EQ(b.channelMask(), "10100000");
    EXPECT_EQ(ask(b, "[0K112]"), "[0K1?000A]");
    EXPECT_EQ(ask(b, "[0FP0100]"), "[0FP!]");
    EXPECT_EQ(ask(b, "[0fP]"), "[0fP!0100]");
    EXPECT_EQ(ask(b, "[0FP0300]"), "[0FP?000A]");
    EXPECT_EQ(ask(b, "[1PA]"), "<unknown>");  // an analog board has no counter

    SimProbeBoard ak16(Kind::AK16);
    EXPECT_EQ(ask(ak16, "[0K11000000000000001]"), "[0K1!]");
    EXPECT_EQ(ask(ak16, "[0k1]"), "[0k1!1000000000000001]");

    SimProbeBoard ada(Kind::ADA2);
    EXPECT_EQ(ask(ada, "[4DAF801]"), "[4DA!]");
    EXPECT_EQ(ada.dac(4), -2047);
    EXPECT_EQ(ask(ada, "[4DA0800]"), "[4DA?000A]");
    EXPECT_EQ(ask(ada, "[3SO000000]"), "[3SO?000A]");
}

TEST(SimProbeBoard, NumberCarrierAndCalibrationMode)
{
    SimProbeBoard b(Kind::AKIK);
    b.setNumber("31");
    EXPECT_EQ(ask(b, "[0CI]"), "[0CI!31]");
    EXPECT_EQ(ask(b, "[0CS35]"), "[0CS!]");
    EXPECT_EQ(ask(b, "[0CI]"), "[0CI!35]");
    EXPECT_EQ(ask(b, "[0CS3]"), "[0CS?000A]");
    EXPECT_EQ(ask(b, "[2FQ2A99]"), "[2FQ!]");
    EXPECT_EQ(b.carrier(2), "2A99");
    EXPECT_EQ(ask(b, "[3FQ4100]"), "[3FQ?000A]");  // the scale input has no carrier
    EXPECT_EQ(ask(b, "[1FQ3F9]"), "[1FQ?000A]");
    EXPECT_EQ(ask(b, "[1SE]"), "[1SE!]");
    EXPECT_TRUE(b.calibrationMode());
    EXPECT_EQ(ask(b, "[1SA]"), "[1SA!]");
    EXPECT_FALSE(b.calibrationMode());
    EXPECT_EQ(ask(b, "[2SE]"), "[2SE?000A]");
}

}  // namespace
