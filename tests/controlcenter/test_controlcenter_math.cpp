// The control center's arithmetic: position texts, distances, raw speed and
// acceleration, the speed bar's range, software limits, move commands, the
// mailbox split and the reading of replies.

#include "ControlCenterMath.h"

#include <gtest/gtest.h>

#include <limits>

#include "TestSupport.h"

using namespace controlDesk;

TEST(PositionText, LinearAxisFollowsTheRoundingDigitsAndTheLocaleSeparator)
{
    // 12.3456 mm at 10000 counts per mm, three digits.
    const auto dot = positionText(123456, 10000, false, 2, false);
    ASSERT_TRUE(dot);
    EXPECT_EQ(dot->text, QStringLiteral("12.346 mm"));
    EXPECT_EQ(positionText(123456, 10000, false, 2, true)->text, QStringLiteral("12,346 mm"));
    EXPECT_EQ(positionText(-1000, 2000, false, 0, false)->text, QStringLiteral("-0.5 mm"));
    // The display step is never finer than one count: 1000/2000 = 0.5 µm.
    EXPECT_DOUBLE_EQ(positionText(0, 2000, false, 5, false)->resolution, 0.5);
    EXPECT_DOUBLE_EQ(positionText(0, 2000, false, 0, false)->resolution, 100);
}

TEST(PositionText, RotaryAxisShowsTheAngleWithinTheRevolution)
{
    // -0.25 revolutions at 36000 counts per revolution, six digits.
    const auto p = positionText(-9000, 36000, true, 5, false);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->text, QStringLiteral("270.00000 °"));
    EXPECT_NEAR(p->resolution, 1000.0 / 36000, 1e-12);
    EXPECT_EQ(positionText(36000 * 2 + 9000, 36000, true, 5, true)->text, QStringLiteral("90,00000 °"));
    // A coarse axis shows fewer decimals: 1000/100 = 10 -> two.
    EXPECT_EQ(positionText(25, 100, true, 5, false)->text, QStringLiteral("90.00 °"));
}

TEST(PositionText, ZeroMotorFactorGivesNoText)
{
    EXPECT_FALSE(positionText(1000, 0, false, 5, false));
    EXPECT_FALSE(positionText(1000, 0, true, 5, false));
}

TEST(Distance, UnitsConvertToCounts)
{
    EXPECT_DOUBLE_EQ(*distanceToCounter(0.5, um, 10000), 5);
    EXPECT_DOUBLE_EQ(*distanceToCounter(90, Grad, 36000), 9000);
    EXPECT_DOUBLE_EQ(*distanceToCounter(3, nm, 1000000), 3);
    // "counts" ignores the motor factor.
    EXPECT_DOUBLE_EQ(*distanceToCounter(17, counts, 0), 17);
    EXPECT_FALSE(distanceToCounter(1, 5, 1000));
    EXPECT_FALSE(distanceToCounter(1, -1, 1000));
}

TEST(Numbers, OnlyTheLocaleSeparatorMakesANumber)
{
    EXPECT_DOUBLE_EQ(*readNumberField(QStringLiteral("42.5"), false), 42.5);
    EXPECT_DOUBLE_EQ(*readNumberField(QStringLiteral("42,5"), true), 42.5);
    EXPECT_DOUBLE_EQ(*readNumberField(QStringLiteral("-0,25"), true), -0.25);
    EXPECT_FALSE(readNumberField(QStringLiteral("42.5"), true));
    EXPECT_FALSE(readNumberField(QStringLiteral("4x"), false));
    EXPECT_FALSE(readNumberField(QStringLiteral("1.2.3"), false));
    EXPECT_FALSE(readNumberField(QStringLiteral(""), false));
    EXPECT_FALSE(readNumberField(QStringLiteral("-"), false));
    EXPECT_FALSE(readNumberField(QStringLiteral("1e400"), false));
}

TEST(SpeedAndAcceleration, TypedValuesAreBoundedAndRawValuesStayOnTheWire)
{
    // Speed 0 becomes vmin and goes out as raw 1.
    auto v = speedInput(0.0, 0.19, 13);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->rawValue, 1);
    EXPECT_DOUBLE_EQ(v->wert, 0.19);
    EXPECT_EQ(speedInput(std::nullopt, 0.19, 13)->rawValue, 1);
    EXPECT_DOUBLE_EQ(speedInput(99.0, 0.19, 13)->wert, 13);
    // A ratio beyond 16 bits is cut at 65535.
    EXPECT_EQ(speedInput(1000.0, 0.001, 1000)->rawValue, 65535);
    EXPECT_FALSE(speedInput(1.0, 0, 13));

    // 40000 becomes 32767; the raw value stays within 1..32767 whatever amin is.
    EXPECT_DOUBLE_EQ(accelerationInput(40000.0, 1)->wert, 32767);
    EXPECT_EQ(accelerationInput(40000.0, 1)->rawValue, 32767);
    EXPECT_EQ(accelerationInput(40000.0, 0.5)->rawValue, 32767);
    // The value is the one sent, after the raw clamp and rounding.
    EXPECT_DOUBLE_EQ(accelerationInput(40000.0, 0.5)->wert, 16383.5);
    EXPECT_DOUBLE_EQ(accelerationInput(1000.0, 3)->wert, 999);
    EXPECT_EQ(accelerationInput(0.0, 0.75)->rawValue, 1);
    EXPECT_FALSE(accelerationInput(1.0, 0));
}

TEST(SpeedAndAcceleration, WholeNumbersOnlyWhereTheyFit)
{
    EXPECT_EQ(wholeInt(2.5), 2);
    EXPECT_EQ(wholeInt(-32768.4), -32768);
    for (double v : {1e300, -1e300, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                     2147483648.0})
        EXPECT_FALSE(wholeInt(v)) << v;
}

TEST(SpeedAndAcceleration, SpeedBarRangeFollowsTheRatio)
{
    auto b = speedBar(400, 0.01);  // ratio 40000
    ASSERT_TRUE(b);
    EXPECT_EQ(b->max, 7232);
    EXPECT_EQ(b->largeChange, 40);
    b = speedBar(8, 0.01);  // ratio 800
    EXPECT_EQ(b->max, -31968);
    EXPECT_EQ(b->largeChange, 10);
    EXPECT_FALSE(speedBar(1, 0));
    EXPECT_FALSE(speedBar(70000, 1));
}

TEST(SoftwareLimits, RotaryLimitsAreDegrees)
{
    EXPECT_DOUBLE_EQ(limitToCounter(90, 36000, true), 9000);
    EXPECT_DOUBLE_EQ(*limitFromCounter(9000, 36000, true), 90);
    EXPECT_DOUBLE_EQ(limitToCounter(1.5, 2000, false), 3000);
    EXPECT_FALSE(limitFromCounter(9000, 0, false));
}

TEST(MoveCommands, TargetsOutsideTheCounterAreRefused)
{
    EXPECT_EQ(*driveCommand(QStringLiteral("F"), QLatin1Char('R'), -1000), QStringLiteral("[1FRFFFFFC18]"));
    EXPECT_EQ(*driveCommand(QStringLiteral("M"), QLatin1Char('A'), 1000), QStringLiteral("[1MA000003E8]"));
    EXPECT_EQ(*driveCommand(QStringLiteral("S"), QLatin1Char('A'), 8388607), QStringLiteral("[1SA007FFFFF]"));
    EXPECT_FALSE(driveCommand(QStringLiteral("F"), QLatin1Char('A'), 8388608));
    EXPECT_FALSE(driveCommand(QStringLiteral("F"), QLatin1Char('R'), -9e9));
}

TEST(Mailbox, PostsSplitAtTheirFirstBracket)
{
    PostParts t = splitPost(QStringLiteral("[1BR][1CJ]"));
    EXPECT_EQ(t.firstPart, QStringLiteral("[1BR]"));
    EXPECT_EQ(t.secondPart, QStringLiteral("[1CJ]"));
    t = splitPost(QStringLiteral("[1PA]"));
    EXPECT_EQ(t.firstPart, QStringLiteral("[1PA]"));
    EXPECT_TRUE(t.secondPart.isEmpty());
    t = splitPost(QStringLiteral("no bracket"));
    EXPECT_TRUE(t.firstPart.isEmpty());
    EXPECT_TRUE(t.secondPart.isEmpty());

    EXPECT_DOUBLE_EQ(firstTimeLimit(QStringLiteral("[0ff01]")), 4.0);
    EXPECT_DOUBLE_EQ(firstTimeLimit(QStringLiteral("[0fP]")), 0.0);
    EXPECT_DOUBLE_EQ(firstTimeLimit(QStringLiteral("[1FR00000001]")), 0.0);
    EXPECT_DOUBLE_EQ(secondTimeLimit(QStringLiteral("[0ST]")), 0.2);
    EXPECT_EQ(secondMode(QStringLiteral("[0ST]")), protocol::Rejection::QueryStatus);
    EXPECT_EQ(secondMode(QStringLiteral("[1CJ]")), protocol::Rejection::Show);
}

TEST(Replies, OnlyAnAcceptedEchoCarriesAValue)
{
    EXPECT_DOUBLE_EQ(*replyValue(QStringLiteral("[1PA!FFFC18]"), QStringLiteral("[1PA]"), 8), -1000);
    EXPECT_DOUBLE_EQ(*replyValue(QStringLiteral("[1vP!0032]"), QStringLiteral("[1vP]"), 4), 50);
    // Eight digits as the units send them; the counter is 24 bits wide.
    EXPECT_DOUBLE_EQ(*replyValue(QStringLiteral("[1PA!00FFFC18]"), QStringLiteral("[1PA]"), 8), -1000);
    EXPECT_DOUBLE_EQ(*replyValue(QStringLiteral("[1PA!FFFFFC18]"), QStringLiteral("[1PA]"), 8), -1000);
    EXPECT_DOUBLE_EQ(*replyValue(QStringLiteral("[1PA!7FFFFFFF]"), QStringLiteral("[1PA]"), 8), -1);
    EXPECT_DOUBLE_EQ(*replyValue(QStringLiteral("[1PA!017FFFFF]"), QStringLiteral("[1PA]"), 8), 8388607);
    EXPECT_FALSE(replyValue(QStringLiteral("1"), QStringLiteral("[1PA]"), 8));
    EXPECT_FALSE(replyValue(QStringLiteral("[1PA?0005]"), QStringLiteral("[1PA]"), 8));
    EXPECT_FALSE(replyValue(QStringLiteral("[1PA!]"), QStringLiteral("[1PA]"), 8));
    EXPECT_FALSE(replyValue(QStringLiteral("[0ST!00000000]"), QStringLiteral("[1PA]"), 8));
}

TEST(Displays, ResultLinesLimitColoursAndJoystick)
{
    const QString lines = errorLines(QString(100, QLatin1Char('x')));
    const QStringList parts = lines.split(QStringLiteral("\r\n"));
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts.at(0).size(), 42);
    EXPECT_EQ(parts.at(1).size(), 42);
    EXPECT_EQ(parts.at(2).size(), 16);
    EXPECT_TRUE(parts.at(3).isEmpty());

    EXPECT_EQ(limitSwitchColors(QStringLiteral("01"))->minus, Red);
    EXPECT_EQ(limitSwitchColors(QStringLiteral("01"))->plus, LightGray);
    EXPECT_EQ(limitSwitchColors(QStringLiteral("10"))->plus, Red);
    EXPECT_FALSE(limitSwitchColors(QStringLiteral("1]")));

    EXPECT_EQ(joystickOff(QStringLiteral("[0IN!0000000C]")), Joystick::FastSpeed);
    EXPECT_EQ(joystickOff(QStringLiteral("[0IN!00000016]")), Joystick::SlowSpeed);
    EXPECT_EQ(joystickOff(QStringLiteral("[0IN!00000000]")), Joystick::NoJoystick);
    EXPECT_EQ(joystickOff(QStringLiteral("1")), Joystick::NoJoystick);
}

TEST(KeyFilters, SeparatorAndSignsByBox)
{
    EXPECT_TRUE(characterAllowed(QLatin1Char('7'), InputField::Zahl, false));
    EXPECT_TRUE(characterAllowed(QLatin1Char('.'), InputField::Zahl, false));
    EXPECT_FALSE(characterAllowed(QLatin1Char('.'), InputField::Zahl, true));
    EXPECT_TRUE(characterAllowed(QLatin1Char(','), InputField::Zahl, true));
    EXPECT_FALSE(characterAllowed(QLatin1Char('-'), InputField::Zahl, false));
    EXPECT_TRUE(characterAllowed(QLatin1Char('-'), InputField::LimitMinus, false));
    EXPECT_TRUE(characterAllowed(QLatin1Char('+'), InputField::LimitPlus, true));
    EXPECT_TRUE(characterAllowed(QChar(8), InputField::Zahl, true));
    EXPECT_FALSE(characterAllowed(QLatin1Char('e'), InputField::LimitPlus, false));
}
