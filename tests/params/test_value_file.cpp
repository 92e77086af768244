// The one-value-per-line text files: what the writer produces, what the
// reader accepts from files made by hand, and what it refuses.

#include "ValueFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

TEST(ValueFileWriterTest, WritesQuotedStringsBareNumbersAndCrLf)
{
    ScopedLocale de(QLocale::German, QLocale::Germany);
    ValueFileWriter w;
    w.writeString(QStringLiteral("[1EE]"));
    w.writeString(QString());
    w.writeDouble(47.6);
    w.writeDouble(128);
    w.writeDouble(-0.001);
    w.writeInteger(-3);
    EXPECT_TRUE(w.ok());
    EXPECT_EQ(w.count(), 6);
    EXPECT_EQ(w.data(), QByteArray("\"[1EE]\"\r\n\"\"\r\n47.6\r\n128\r\n-0.001\r\n-3\r\n"));
}

TEST(ValueFileWriterTest, EveryDoubleReadsBackToTheSameValue)
{
    const double values[] = {0.1,
                             1.0 / 3,
                             5216.806722689075,
                             1e-05,
                             -2.5e-300,
                             DBL_MAX,
                             DBL_MIN,
                             5e-324,
                             -0.0,
                             123456789012345678.0,
                             0.0007487818137886597};
    ValueFileWriter w;
    for (double v : values)
        w.writeDouble(v);
    ValueFileReader r(w.data());
    for (double v : values) {
        const auto got = r.readDouble();
        ASSERT_TRUE(got);
        EXPECT_EQ(*got, v);
        // Zero is written without a sign.
        if (v != 0) {
            EXPECT_EQ(std::signbit(*got), std::signbit(v));
        }
    }
    EXPECT_TRUE(r.atEnd());
}

struct PlainNumber
{
    double value;
    const char* text;
};

class ValueFileNumberFormTest : public ::testing::TestWithParam<PlainNumber>
{
};

TEST_P(ValueFileNumberFormTest, NumbersAreWrittenInPlainDecimalForm)
{
    ValueFileWriter w;
    w.writeDouble(GetParam().value);
    EXPECT_EQ(w.data(), QByteArray(GetParam().text) + "\r\n");
    ValueFileReader r(w.data());
    EXPECT_EQ(r.readDouble(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Forms, ValueFileNumberFormTest,
                         ::testing::Values(PlainNumber{1e-05, "0.00001"}, PlainNumber{1e16, "10000000000000000"},
                                           PlainNumber{-0.0, "0"}, PlainNumber{0.0, "0"},
                                           PlainNumber{-1.5e-7, "-0.00000015"}, PlainNumber{5217, "5217"},
                                           PlainNumber{1e21, "1000000000000000000000"},
                                           PlainNumber{0.0007487818137886597, "0.0007487818137886597"}));

TEST(ValueFileWriterTest, NoNumberEverHasAnExponentOrASignedZero)
{
    const double values[] = {DBL_MAX, -DBL_MAX, DBL_MIN, 5e-324, -5e-324, -0.0, 1e-300, 2.5e+300};
    ValueFileWriter w;
    for (double v : values)
        w.writeDouble(v);
    const QList<QByteArray> lines = w.data().split('\n');
    for (const QByteArray& line : lines) {
        EXPECT_FALSE(line.contains('e') || line.contains('E')) << line.left(40).constData();
        EXPECT_FALSE(line.startsWith("-0\r")) << line.constData();
    }
    ValueFileReader r(w.data());
    for (double v : values)
        EXPECT_EQ(r.readDouble(), v);
}

TEST(ValueFileWriterTest, StringWithLineBreakCannotBeWrittenButKeepsTheCount)
{
    ValueFileWriter w;
    w.writeString(QStringLiteral("zwei\nZeilen"));
    w.writeInteger(1);
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(w.count(), 2);
    EXPECT_EQ(ValueFileReader(w.data()).count(), 2);
}

TEST(ValueFileReaderTest, AcceptsHandMadeForms)
{
    const QByteArray text = "\xEF\xBB\xBF.5\n1E-05\n  -.25 \n+3\nunquoted words \n\"  padded  \"\n"
                            "\"say \"hi\"\"\n3.0\n1e2\r\n\"\"\r\n\r\nlast";
    ValueFileReader r(text);
    EXPECT_EQ(r.count(), 12);
    EXPECT_EQ(r.readDouble(), 0.5);
    EXPECT_EQ(r.readDouble(), 1e-05);
    EXPECT_EQ(r.readDouble(), -0.25);
    EXPECT_EQ(r.readInteger(), 3);
    EXPECT_EQ(r.readString(), QStringLiteral("unquoted words"));
    EXPECT_EQ(r.readString(), QStringLiteral("  padded  "));
    EXPECT_EQ(r.readString(), QStringLiteral("say \"hi\""));
    EXPECT_EQ(r.readInteger(), 3);
    EXPECT_EQ(r.readInteger(), 100);
    EXPECT_EQ(r.readString(), QString());
    EXPECT_EQ(r.readString(), QString());  // an empty line is an empty text
    EXPECT_EQ(r.readString(), QStringLiteral("last"));
    EXPECT_TRUE(r.atEnd());
    EXPECT_FALSE(r.readString());
}

TEST(ValueFileReaderTest, CrAloneAndCrLfEndLinesAndAFinalEndingAddsNoValue)
{
    EXPECT_EQ(ValueFileReader("a\rb\r\nc\n").count(), 3);
    EXPECT_EQ(ValueFileReader("").count(), 0);
    EXPECT_EQ(ValueFileReader("\r\n").count(), 1);
}

TEST(ValueFileReaderTest, RefusesWhatIsNoNumberWithoutConsumingIt)
{
    ValueFileReader r("abc\n\"5\"\n\n1,5\n0x10\n- 1\n++1\n1.5\n40000000000\n");
    for (int i = 0; i < 7; ++i) {
        EXPECT_FALSE(r.readDouble()) << i;
        EXPECT_FALSE(r.readInteger()) << i;
        EXPECT_EQ(r.position(), i);
        ASSERT_TRUE(r.skip(1));
    }
    EXPECT_FALSE(r.readInteger());  // not whole
    EXPECT_EQ(r.readDouble(), 1.5);
    EXPECT_FALSE(r.readInteger());  // beyond 32 bits
    EXPECT_EQ(r.readDouble(), 4e10);
    EXPECT_FALSE(r.skip(1));
    EXPECT_TRUE(r.atEnd());
}

TEST(ValueFileReaderTest, UnterminatedQuoteIsNoString)
{
    for (const QByteArray& text : {QByteArray("\"open\n"), QByteArray("  \"\n")}) {
        ValueFileReader r(text);
        EXPECT_FALSE(r.readString());
        EXPECT_EQ(r.position(), 0);
    }
}

TEST(ValueFileReaderTest, FilesAreWindows1252UnlessAUtf8MarkSaysOtherwise)
{
    ValueFileReader latin("\"\xB5m Achse\"\n");
    EXPECT_EQ(latin.readString(), QStringLiteral("µm Achse"));
    ValueFileReader marked("\xEF\xBB\xBF\"\xC2\xB5m Achse\"\n");
    EXPECT_EQ(marked.readString(), QStringLiteral("µm Achse"));
    // Bytes that happen to be valid UTF-8 are still Windows-1252 text.
    ValueFileReader unmarked("\"\xC3\xBC\"\n");
    EXPECT_EQ(unmarked.readString(), QStringLiteral("Ã¼"));
}

TEST(ValueFileReaderTest, LoadThenSaveKeepsEveryByte)
{
    // "Ã¼", the typographic characters and the bytes the code page leaves
    // undefined all come back as they were.
    const QByteArray bytes("\"\xC3\xBC \x80\x84\x93 \x81\x8D\x8F\x90\x9D \xFF\"\r\n");
    ValueFileReader r(bytes);
    ValueFileWriter w;
    w.writeString(*r.readString());
    EXPECT_EQ(w.data(), bytes);
}

TEST(ValueFileReaderTest, NulBytesOrAUtf16MarkAreNoTextFile)
{
    TempHome home;
    struct Fall
    {
        const char* name;
        QByteArray bytes;
        bool text;
    };
    const Fall testCases[] = {
        {"plain", QByteArray("\"[0ST]\"\r\n\"\"\r\n"), true},
        {"utf8 mark", QByteArray("\xEF\xBB\xBF\"[0ST]\"\r\n"), true},
        {"nul byte", QByteArray("\"[0ST]\"\r\n", 9) + QByteArray(1, '\0') + "\r\n", false},
        {"utf16le", QByteArray("\xFF\xFE\"\0[\0]\0\"\0\r\0\n\0", 14), false},
        {"utf16be", QByteArray("\xFE\xFF\0\"\0[\0]\0\"\0\r\0\n", 14), false},
        {"utf16 without nul", QByteArray("\xFF\xFE\x3D\xD8"), false},
    };
    for (const Fall& f : testCases) {
        SCOPED_TRACE(f.name);
        const QString path = home.file(QStringLiteral("f.tst"));
        ASSERT_TRUE(writeValueFile(path, f.bytes));
        EXPECT_EQ(ValueFileReader::isText(f.bytes), f.text);
        QString error;
        EXPECT_EQ(ValueFileReader::fromFile(path, &error).has_value(), f.text);
        EXPECT_EQ(error.isEmpty(), f.text);
    }
    EXPECT_FALSE(ValueFileReader("\"a\"").hasLineBreaks());
    EXPECT_TRUE(ValueFileReader("\"a\"\r").hasLineBreaks());
}

TEST(ValueFileTest, BoxesKeepOnlyWhatWindows1252Holds)
{
    QString text = QStringLiteral("[1EE] €„µ“✓😀Ωÿ");
    EXPECT_TRUE(keepWindows1252(text));
    EXPECT_EQ(text, QStringLiteral("[1EE] €„µ“ÿ"));
    EXPECT_FALSE(keepWindows1252(text));
    EXPECT_EQ(fromWindows1252(toWindows1252(text)), text);
    EXPECT_TRUE(fitsWindows1252(QChar(0x2122)));   // ™ is byte 0x99
    EXPECT_FALSE(fitsWindows1252(QChar(0x0100)));  // Ā is not in the code page
}

TEST(ValueFileTest, AtomicWriteKeepsTheOldFileWhenTheNewOneCannotBeWritten)
{
    TempHome home;
    const QString path = home.file(QStringLiteral("a.txt"));
    ASSERT_TRUE(writeValueFile(path, "1\r\n"));
    EXPECT_EQ(readFileBytes(path), QByteArray("1\r\n"));
    QString error;
    EXPECT_FALSE(writeValueFile(home.file(QStringLiteral("missing/a.txt")), "2\r\n", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(readFileBytes(home.file(QStringLiteral("nothing.txt"))));
    EXPECT_FALSE(ValueFileReader::fromFile(home.path()));  // a folder is no file
}

}  // namespace
