// Path files: the text format written and read back, its grammar's edge
// cases, the workbook import, and what a failed import or export keeps.
#include "TablettFixture.h"

#include "Bahndatei.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

QByteArray readValue(const QString& pathName)
{
    QFile f(pathName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void schreibe(const QString& pathName, const QByteArray& fileBytes)
{
    QFile f(pathName);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(fileBytes);
}

TEST(PathText, WritesRoundedMillimetresWithAPoint)
{
    EXPECT_EQ(pathFile::mmText(0.0625), u"0.062"_s);  // halves to even
    EXPECT_EQ(pathFile::mmText(-0.5), u"-0.5"_s);
    EXPECT_EQ(pathFile::mmText(12.345), u"12.345"_s);
    EXPECT_EQ(pathFile::mmText(-0.0001), u"0"_s);
    std::vector<QPointF> pointList;
    for (int i = 0; i < 999; ++i)
        pointList.emplace_back(i * 0.001, -i * 0.5);
    const QList<QByteArray> textLines = pathFile::toFileBytes(pointList).split('\n');
    EXPECT_EQ(textLines.at(16), "\"X0009=0.008\"\r");
    EXPECT_EQ(textLines.at(17), "\"Y0009=-4\"\r");
    EXPECT_EQ(textLines.at(2 * 998), "\"X0999=0.998\"\r");
}

TEST(PathText, ReadsFieldPairsAsTheWriterAndOthersLeaveThem)
{
    const auto pointList = [](const char* text) { return pathFile::readText(QByteArray(text)); };
    // Unquoted, a comma splits a line: X 1, and the field 5 is the Y.
    EXPECT_EQ(pointList("X0001=1,5\r\n"), (std::vector<QPointF>{{1, 5}}));
    // A blank line ends the file; a header without numbers is skipped.
    EXPECT_EQ(
        pointList("\"X mm\"\r\n\"Y mm\"\r\n\"X1=1\"\r\n\"Y1=2\"\r\nX2=3\r\nY2=-.5\r\n\r\nX3=9\r\nY3=9\r\n").size(), 2u);
    // An X without its Y at the end is dropped; at most 500 pairs are read.
    EXPECT_EQ(pointList("X1=1\nY1=1\nX2=2\n").size(), 1u);
    QByteArray manyLines;
    for (int i = 0; i < 600; ++i)
        manyLines += "X=1\r\nY=2\r\n";
    EXPECT_EQ(pathFile::readText(manyLines).size(), 500u);
}

// Files the reader takes whole, and files it refuses whole (no points).
struct TextCase
{
    const char* name;
    const char* text;
    std::vector<QPointF> points;
};

class TextFileCase : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(TextFileCase, ReadsOrRefusesTheWholeFile)
{
    EXPECT_EQ(pathFile::readText(QByteArray(GetParam().text)), GetParam().points);
}

INSTANTIATE_TEST_SUITE_P(
    PathText, TextFileCase,
    ::testing::Values(
        TextCase{"HeaderThenPoints", "\"X mm\",\"Y mm\"\r\n\"X0001=1\",\"Y0001=2\"\r\n", {{1, 2}}},
        TextCase{"LargestDistance", "\"X0001=-1000000000\"\r\n\"Y0001=1000000000.000\"\r\n", {{-1e9, 1e9}}},
        // A field without a number reads as 0.
        TextCase{"EmptyNumber", "\"X0001=\"\r\n\"Y0001=5\"\r\n", {{0, 5}}},
        TextCase{"EmptyNumberAfterAGoodPoint",
                 "\"X0001=1\"\r\n\"Y0001=1\"\r\n\"X0002=\"\r\n\"Y0002=\"\r\n",
                 {{1, 1}, {0, 0}}},
        TextCase{"LettersForTheX", "\"X0001=abc\",\"Y0001=5\"\r\n", {{0, 5}}},
        TextCase{"LettersForTheY", "\"X0001=4\",\"Y0001=.\"\r\n", {{4, 0}}},
        TextCase{"LettersAmongPoints", "1,2\r\n\"abc\",5\r\n3,4\r\n", {{1, 2}, {0, 5}, {3, 4}}},
        TextCase{"HeaderBesideANumber", "\"X mm\",\"Y0001=5\"\r\n", {{0, 5}}},
        // Values no stage can reach.
        TextCase{"BeyondTheLargestDistance", "\"X0001=1000000000.001\"\r\n\"Y0001=0\"\r\n", {}},
        TextCase{"FourHundredDigits",
                 "X1=1\r\nY1=1000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                 "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                 "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                 "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                 "00000000000000000000000000000000000000000000000000000000000000000000\r\n",
                 {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TablettFixture, ATextFileBeyondEightMegabytesIsRefusedBeforeItIsRead)
{
    drawStroke({{100, 100}, {200, 200}});
    const QString file = wb.home.file(u"gross.txt"_s);
    // One point, then blanks up to the limit: read; one byte more: refused.
    QByteArray content = "X1=1\r\nY1=2\r\n";
    content.append(pathFile::MaxTextFileBytes - content.size(), ' ');
    schreibe(file, content);
    wb.dialogs->fileAnswers << file;
    t->tasteneingabe(112);
    EXPECT_EQ(t->pathModel.punktzahl, 1);
    schreibe(file, content + ' ');
    drawStroke({{100, 100}, {200, 200}});
    wb.dialogs->fileAnswers << file;
    t->tasteneingabe(112);
    EXPECT_EQ(t->pathModel.punktzahl, 3);
    EXPECT_EQ(wb.dialogs->texts(), QStringList{TablettCore::fileMessage(file)});
}

TEST_F(TablettFixture, AnExportNeverWritesACoordinateThatDoesNotFit)
{
    drawStroke({{0, 0}, {2000, 2000}});
    const QString file = wb.home.file(u"bahn.txt"_s);
    schreibe(file, "alt");
    // Edges of 1e20 mm: the corners lie far beyond any stage.
    t->lb_plus.text = u"-100000000000000000000"_s;
    t->tb_plus.text = u"100000000000000000000"_s;
    ASSERT_TRUE(t->computeScale());
    wb.dialogs->fileAnswers << file;
    t->tasteneingabe(113);
    EXPECT_EQ(readValue(file), "alt");
    EXPECT_EQ(wb.dialogs->texts(), QStringList{TablettCore::fileMessage(file)});
    // Nor does the conversion itself produce a wrapped-around number.
    EXPECT_EQ(pathFile::mmText(1e20), QString());
    EXPECT_EQ(pathFile::mmText(-1e9), u"-1000000000"_s);
}

TEST_F(TablettFixture, ExportAndImportCarryThePathInMillimetres)
{
    usesComma = true;
    for (int i = 0; i < 12; ++i)
        drawStroke({{100.0 + i * 37, 1900.0 - i * 61}});
    const QString dataFile = wb.home.file(u"bahn.txt"_s);
    wb.dialogs->fileAnswers << dataFile;
    t->tasteneingabe(113);
    const QList<QByteArray> textLines = readValue(dataFile).split('\n');
    ASSERT_EQ(textLines.size(), 25);  // 24 lines and the end
    EXPECT_EQ(textLines.at(0), "\"X0001=-0.9\"\r");
    EXPECT_EQ(textLines.at(23), "\"Y0012=-0.229\"\r");
    EXPECT_EQ(wb.dialogs->fileRequests.at(0).fileName, u"*.txt"_s);

    // Read back (name in upper case: still text) as one stroke, within the rounding.
    const Path vorher = t->pathModel;
    const Bahnskala s = t->pathScale;
    QFile::rename(dataFile, wb.home.file(u"BAHN.TXT"_s));
    wb.dialogs->fileAnswers << wb.home.file(u"BAHN.TXT"_s);
    t->tasteneingabe(112);
    ASSERT_EQ(t->pathModel.punktzahl, 12);
    EXPECT_EQ(t->pathModel.strichzahl, 1);
    for (int i = 1; i <= 12; ++i) {
        EXPECT_NEAR(t->pathScale.mmX(t->pathModel.bahnX[i]), s.mmX(vorher.bahnX[i]), 0.0005);
        EXPECT_NEAR(t->pathScale.mmY(t->pathModel.bahnY[i]), s.mmY(vorher.bahnY[i]), 0.0005);
    }
    EXPECT_EQ(t->drawing().linien.size(), 11u);
    EXPECT_TRUE(wb.dialogs->messages.isEmpty());
}

TEST_F(TablettFixture, ImportsTheFirstSheetOfAWorkbook)
{
    drawStroke({{1, 1}, {2, 2}});
    drawStroke({{3, 3}});
    wb.dialogs->fileAnswers << QStringLiteral(KELVANE_PATHTABLE_DATA "/bahn.xls");
    t->tasteneingabe(112);
    ASSERT_EQ(t->pathModel.punktzahl, 3);
    EXPECT_EQ(t->pathModel.strichzahl, 1);
    EXPECT_EQ(t->pathModel.strichanfang[1], 0);
    EXPECT_NEAR(t->pathScale.mmX(t->pathModel.bahnX[2]), 0.25, 1e-9);
    EXPECT_NEAR(t->pathScale.mmY(t->pathModel.bahnY[2]), -0.5, 1e-9);
    EXPECT_NEAR(t->pathScale.mmX(t->pathModel.bahnX[3]), 1, 1e-9);
    EXPECT_EQ(wb.dialogs->fileRequests.at(0).filter, u"Datendateien(*.xls;*.txt)|*.xls;*.txt|Alle Dateien|*.*"_s);
}

TEST_F(TablettFixture, AFailedImportOrExportKeepsPathAndFile)
{
    drawStroke({{100, 100}, {200, 200}});
    const Path vorher = t->pathModel;
    const QString junk = wb.home.file(u"muell.xls"_s), text = wb.home.file(u"muell.txt"_s);
    schreibe(junk, "kein Arbeitsblatt");
    schreibe(text, "\x01\x02 nichts, was eine Zahl ist\r\n");
    wb.dialogs->fileAnswers << junk << text << wb.home.file(u"fehlt.txt"_s) << u""_s;
    for (int i = 0; i < 4; ++i)
        t->tasteneingabe(112);
    EXPECT_EQ(t->pathModel.punktzahl, 2);
    EXPECT_EQ(t->pathModel.bahnX, vorher.bahnX);
    EXPECT_EQ(wb.dialogs->texts(), (QStringList{TablettCore::fileMessage(junk), TablettCore::fileMessage(text),
                                                TablettCore::fileMessage(wb.home.file(u"fehlt.txt"_s))}));
    // An export into a folder that does not exist reports and writes nothing.
    wb.dialogs->clear();
    const QString missingPath = wb.home.file(u"fehlt/bahn.txt"_s);
    wb.dialogs->fileAnswers << missingPath;
    t->tasteneingabe(113);
    EXPECT_EQ(wb.dialogs->texts(), QStringList{TablettCore::fileMessage(missingPath)});
    EXPECT_TRUE(t->dateiname.isEmpty());
}

}  // namespace
