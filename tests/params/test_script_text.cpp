// The script language without a bus: move commands, pauses, the transform of
// a read-out and the script file.
#include "ScriptText.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct MoveCase
{
    const char* line;
    double motorFactorValue;
    const char* expected;  // nullptr: nothing is sent
};

class MoveCommand : public ::testing::TestWithParam<MoveCase>
{
};

TEST_P(MoveCommand, CountsThroughTheMotorFactor)
{
    const MoveCase& c = GetParam();
    const auto cmd = scriptText::moveCommand(QString::fromLatin1(c.line), c.motorFactorValue);
    if (c.expected)
        EXPECT_EQ(cmd.value_or(u"-"_s), QString::fromLatin1(c.expected));
    else
        EXPECT_FALSE(cmd.has_value()) << cmd.value_or(QString()).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Lines, MoveCommand,
                         ::testing::Values(MoveCase{"MA1000", 5217, "[1MA00001461]"},
                                           MoveCase{"MR-250", 5217, "[1MRFFFFFAE8]"},
                                           MoveCase{"MA0", 5217, "[1MA00000000]"},
                                           MoveCase{"MA 12.5", 1000, "[1MA0000000C]"},
                                           // 2.5 counts round to the even neighbour.
                                           MoveCase{"MR2.5", 1000, "[1MR00000002]"},
                                           // A lenient parse would send an absolute move to 0.
                                           MoveCase{"MA", 5217, nullptr}, MoveCase{"MA12x", 5217, nullptr},
                                           MoveCase{"MAabc", 5217, nullptr}, MoveCase{"MA1234567890", 1000, nullptr},
                                           // The counts must stay within signed 32 bits.
                                           MoveCase{"MA999999999", 5217, nullptr}, MoveCase{"MA1000", 0, nullptr},
                                           MoveCase{"MA1000", -5217, nullptr}));

TEST(ScriptLines, PausesAndMotionReplies)
{
    EXPECT_EQ(scriptText::pauseMilliseconds(u"WZ1234567"_s), 12345);  // characters 3 to 7
    EXPECT_EQ(scriptText::pauseMilliseconds(u"WZ-5"_s), 0);
    EXPECT_TRUE(scriptText::startsMotion(u"[1MA>]"_s));
    EXPECT_FALSE(scriptText::startsMotion(u"[1BX>]"_s));
    EXPECT_FALSE(scriptText::startsMotion(u"[1BY>]"_s));
    EXPECT_TRUE(scriptText::isCommandFrame(u"[0ff01]"_s));
    for (const char* line : {"(1VN)", "[1VN)", "[xVN]", "[1VN]x]", "[1V[N]", "[1]"})
        EXPECT_FALSE(scriptText::isCommandFrame(QLatin1String(line))) << line;
}

struct TransformCase
{
    const char* line;
    const char* reply;
    const char* expected;
};

class Transform : public ::testing::TestWithParam<TransformCase>
{
};

TEST_P(Transform, ReadBecomesWrite)
{
    const TransformCase& c = GetParam();
    const QStringList out = scriptText::transformieren({QString::fromLatin1(c.line)}, {QString::fromLatin1(c.reply)});
    EXPECT_EQ(out.at(0), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Transform,
    ::testing::Values(TransformCase{"[1vP]", "[1vP!0123]", "[1VP0123]"},
                      TransformCase{"[1aP]", "[1aP!0100]", "[1AP0100]"}, TransformCase{"[1ct]", "[1ct!05]", "[1Ct05]"},
                      TransformCase{"[1Rl]", "[1Rl!7C11223344556677]", "[1Rs7C11223344556677]"},
                      TransformCase{"[1RL]", "[1RL!7C112233]", "[1RS7C112233]"},
                      TransformCase{"[0PL]", "[0PL!Achse X         ]", "[0PSAchse X         ]"},
                      TransformCase{"[0Vn]", "[0Vn!1.00.00]", "[0Vn]"}, TransformCase{"[0VN]", "[0VN!2.1]", "[0VN]"},
                      // A rejected read is not written back.
                      TransformCase{"[1vP]", "[1vP?0005]", ""}, TransformCase{"[1VP0010]", "[1VP?0005]", ""},
                      // Writes and stores keep their value.
                      TransformCase{"[1VP0010]", "[1VP!]", "[1VP0010]"}, TransformCase{"[0ff01]", "[0ff!]", "[0ff01]"},
                      TransformCase{"[0ST]", "[0ST!00000000]", "[0ST]"},
                      // Lines that were not answered.
                      TransformCase{"[1vP]", "", ""}, TransformCase{"[1vP]", "1", "1"},
                      TransformCase{"[1ct]", "1", "[1Ct"},
                      // Other lines stay.
                      TransformCase{"05", "", "05"}, TransformCase{"MA1000", "[1MA!]", "MA1000"},
                      TransformCase{"WZ10", "", "WZ10"}, TransformCase{"#", "", "#"}, TransformCase{"", "", ""},
                      TransformCase{"(1vP)", "(1vP!0010)", "(1vP)"}));

TEST(ScriptTransform, EndsWithTheThreeStoreCommands)
{
    QStringList lines(scriptText::MaxRows, u"[1vP]"_s);
    QStringList replies(scriptText::MaxRows, u"[1vP!0001]"_s);
    const QStringList out = scriptText::transformieren(lines, replies);
    ASSERT_EQ(out.size(), scriptText::MaxRows);
    EXPECT_EQ(out.at(74), u"[1VP0001]"_s);
    EXPECT_EQ(out.mid(75), (QStringList{u"[0ff01]"_s, u"[0ff00]"_s, u"[0ff09]"_s}));
}

TEST(ScriptFile, SeventyEightQuotedLinesRoundTripByteExact)
{
    QStringList lines(scriptText::MaxRows);
    lines[0] = u"05"_s;
    lines[1] = u"[0PSAchse, mit Komma ]"_s;
    lines[2] = u"  blanks around  "_s;
    lines[5] = u"WZ10"_s;
    lines[77] = u"[0ff09]"_s;
    const QByteArray data = scriptText::scriptFileData(lines).value();
    QByteArray expected;
    for (const QString& l : lines)
        expected += '"' + l.toUtf8() + "\"\r\n";
    EXPECT_EQ(data, expected);
    EXPECT_EQ(data.count("\r\n"), 78);

    const scriptText::ScriptFile back = scriptText::parseScriptFile(data);
    EXPECT_TRUE(back.complete);
    EXPECT_EQ(back.lines, lines);
    EXPECT_EQ(scriptText::scriptFileData(back.lines).value(), data);

    // An empty script is 78 lines of "".
    EXPECT_EQ(scriptText::scriptFileData({}).value(),
              QByteArray().leftJustified(0) + QByteArray("\"\"\r\n").repeated(78));
    // A short file is filled with empty lines and reported incomplete.
    const scriptText::ScriptFile shortFile = scriptText::parseScriptFile("\"05\"\r\n\"[0ST]\"\r\n");
    EXPECT_FALSE(shortFile.complete);
    EXPECT_EQ(shortFile.lines.size(), 78);
    EXPECT_EQ(shortFile.lines.at(1), u"[0ST]"_s);
    EXPECT_EQ(shortFile.lines.at(2), QString());
    // A line break cannot be read back as one line: nothing to write.
    EXPECT_FALSE(scriptText::scriptFileData({u"a\nb"_s}).has_value());
}

}  // namespace
