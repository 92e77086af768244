// Workbooks are read by kelvane-xlsread in a process of its own. These tests
// pin what the import makes of every way that program can fail (crash,
// time-out, exit code, too much output, output of the wrong form, memory),
// how its output is read (numbers, locale texts, refused values), and that
// the workbooks known to crash the library end in the load-failure message
// with the program still running.
#include "TablettFixture.h"

#include "Bahndatei.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

const QByteArray GoodOutput = "kelvane-xlsread 1\nrows 3\nn0\tn-0.5\n-\tn7\nt312C35\tn2\nend\n";

// A stand-in for the reader: a shell script in a temporary folder.
QString script(TempHome& home, const QString& name, const QByteArray& body)
{
    const QString pathName = home.file(name);
    QFile f(pathName);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write("#!/bin/sh\n" + body + '\n');
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return pathName;
}

struct FailureCase
{
    const char* name;
    QByteArray body;
};

class ReaderFailure : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P(ReaderFailure, FailsTheImport)
{
    TempHome home;
    pathFile::WorkbookReader reader;
    reader.program = script(home, u"reader.sh"_s, GetParam().body);
    reader.timeoutMs = 1500;
    reader.maxOutputBytes = 4096;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(pathFile::readWorkbook(home.file(u"bahn.xls"_s), false, reader));
    // A reader that hangs is stopped by the time limit, not waited for.
    EXPECT_LT(clock.elapsed(), reader.timeoutMs + 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Workbooks, ReaderFailure,
    ::testing::Values(
        FailureCase{"Crash", "printf '" + GoodOutput + "'; kill -SEGV $$"}, FailureCase{"Abort", "kill -ABRT $$"},
        FailureCase{"ExitCode", "printf '" + GoodOutput + "'; exit 1"},
        FailureCase{"Hangs", "printf 'kelvane-xlsread 1\\n'; exec sleep 60"},
        FailureCase{"HangsWithOutputClosed", "exec >&- sleep 60"},
        FailureCase{"TooMuchOutput", "printf 'kelvane-xlsread 1\\nrows 100000\\n'; yes 'n1\tn2' | head -n 100000; "
                                     "echo end"},
        FailureCase{"NoOutput", "exit 0"}, FailureCase{"CutShort", "printf 'kelvane-xlsread 1\\nrows 2\\nn1\\tn2\\n'"},
        FailureCase{"NotThere", "exec /nonexistent/kelvane-xlsread"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorkbookReader, PassesTheFileAndLimitsTheReadersMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the memory limit is left off under AddressSanitizer";
#endif
    TempHome home;
    pathFile::WorkbookReader reader;
    reader.maxMemoryBytes = qint64(512) * 1024 * 1024;
    // Answers only when called with the file and under the limit (in KiB).
    reader.program = script(home, u"reader.sh"_s,
                            "[ \"$(ulimit -v)\" = 524288 ] && [ \"$1\" = '" + home.file(u"a b.xls"_s).toUtf8() +
                                "' ] && printf '" + GoodOutput + "'");
    const auto points = pathFile::readWorkbook(home.file(u"a b.xls"_s), false, reader);
    ASSERT_TRUE(points);
    EXPECT_EQ(*points, (std::vector<QPointF>{{0, -0.5}}));
    reader.maxMemoryBytes = qint64(256) * 1024 * 1024;
    EXPECT_FALSE(pathFile::readWorkbook(home.file(u"a b.xls"_s), false, reader));
}

// --- The reader's output -----------------------------------------------------------------------

struct OutputCase
{
    const char* name;
    QByteArray text;
    bool usesComma;
    std::optional<std::vector<QPointF>> points;
};

class ReaderOutput : public ::testing::TestWithParam<OutputCase>
{
};

TEST_P(ReaderOutput, IsReadWholeOrRefused)
{
    EXPECT_EQ(pathFile::parseReaderOutput(GetParam().text, GetParam().usesComma), GetParam().points);
}

using Points = std::vector<QPointF>;
INSTANTIATE_TEST_SUITE_P(
    Workbooks, ReaderOutput,
    ::testing::Values(
        // Rows without two numbers are skipped; "1.5" is no number under a decimal comma.
        OutputCase{"Points", GoodOutput, false, Points{{0, -0.5}}},
        OutputCase{"TextInTheLocalesFormat", GoodOutput, true, Points{{0, -0.5}, {1.5, 2}}},
        OutputCase{"PointTextUnderAPointLocale", "kelvane-xlsread 1\nrows 1\nt20312E3520\tt2D32\nend\n", false,
                   Points{{1.5, -2}}},
        OutputCase{"PointTextUnderACommaLocale", "kelvane-xlsread 1\nrows 1\nt312E35\tn1\nend\n", true, Points{}},
        OutputCase{"EmptySheet", "kelvane-xlsread 1\nrows 0\nend\n", false, Points{}},
        OutputCase{"LargestDistance", "kelvane-xlsread 1\nrows 1\nn-1000000000\tn1e9\nend\n", false,
                   Points{{-1e9, 1e9}}},
        // Refused whole: values no stage can reach, and every break of the form.
        OutputCase{"BeyondTheLargestDistance", "kelvane-xlsread 1\nrows 2\nn1\tn1\nn1.0000001e9\tn0\nend\n", false,
                   std::nullopt},
        OutputCase{"TextBeyondTheLargestDistance", "kelvane-xlsread 1\nrows 1\nn1\tt2D32303030303030303030\nend\n",
                   false, std::nullopt},
        OutputCase{"Infinite", "kelvane-xlsread 1\nrows 1\nninf\tn1\nend\n", false, std::nullopt},
        OutputCase{"NotANumber", "kelvane-xlsread 1\nrows 1\nn1\tn-nan\nend\n", false, std::nullopt},
        OutputCase{"OverflowingNumber", "kelvane-xlsread 1\nrows 1\nn1e400\tn1\nend\n", false, std::nullopt},
        OutputCase{"WrongHeader", "kelvane-xlsread 2\nrows 0\nend\n", false, std::nullopt},
        OutputCase{"FewerRowsThanSaid", "kelvane-xlsread 1\nrows 2\nn1\tn1\nend\n", false, std::nullopt},
        OutputCase{"MoreRowsThanSaid", "kelvane-xlsread 1\nrows 0\nn1\tn1\nend\n", false, std::nullopt},
        OutputCase{"NoEnd", "kelvane-xlsread 1\nrows 1\nn1\tn1\n", false, std::nullopt},
        OutputCase{"AfterTheEnd", "kelvane-xlsread 1\nrows 0\nend\nn1\tn1\n", false, std::nullopt},
        OutputCase{"OneCell", "kelvane-xlsread 1\nrows 1\nn1\nend\n", false, std::nullopt},
        OutputCase{"ThreeCells", "kelvane-xlsread 1\nrows 1\nn1\tn1\tn1\nend\n", false, std::nullopt},
        OutputCase{"OddHex", "kelvane-xlsread 1\nrows 1\nt312\tn1\nend\n", false, std::nullopt},
        OutputCase{"LowerCaseHex", "kelvane-xlsread 1\nrows 1\nt3a\tn1\nend\n", false, std::nullopt},
        OutputCase{"UnknownCell", "kelvane-xlsread 1\nrows 1\nx1\tn1\nend\n", false, std::nullopt},
        OutputCase{"NumberWithBlank", "kelvane-xlsread 1\nrows 1\nn1 \tn1\nend\n", false, std::nullopt},
        OutputCase{"SignedRowCount", "kelvane-xlsread 1\nrows -0\nend\n", false, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Through the window's import ----------------------------------------------------------------------

TEST_F(TablettFixture, WorkbooksThatCrashTheLibraryEndInTheLoadFailure)
{
    const QDir folder(QStringLiteral(KELVANE_XLS_CRASH_DIR));
    const QStringList files = folder.entryList({u"*.xls"_s}, QDir::Files, QDir::Name);
    if (!folder.exists() || files.isEmpty())
        GTEST_SKIP() << "no reproducers in " << folder.path().toStdString() << " (shared/ is not beside the clone)";
    drawStroke({{100, 100}, {200, 200}});
    const Path before = t->pathModel;
    QStringList expected;
    for (const QString& d : files) {
        wb.dialogs->fileAnswers << folder.filePath(d);
        expected << TablettCore::fileMessage(folder.filePath(d));
        t->tasteneingabe(112);
        EXPECT_EQ(t->pathModel.punktzahl, 2) << d.toStdString();
        EXPECT_EQ(t->pathModel.bahnX, before.bahnX) << d.toStdString();
    }
    EXPECT_EQ(wb.dialogs->texts(), expected);
}

TEST_F(TablettFixture, WorkbookTextCellsAreReadInTheLocalesFormat)
{
    TablettEnv e = env;
    // "1,5" and "2" as text cells.
    e.workbookReader.program =
        script(wb.home, u"reader.sh"_s, "printf 'kelvane-xlsread 1\\nrows 1\\nt312C35\\tt32\\nend\\n'");
    t = std::make_unique<TablettCore>(e);
    t->setDrawingArea(2000, 2000);
    t->Form_Load();
    usesComma = true;
    wb.dialogs->fileAnswers << wb.home.file(u"text.xls"_s);
    t->tasteneingabe(112);
    ASSERT_EQ(t->pathModel.punktzahl, 1);
    EXPECT_NEAR(mm(1).x(), 1.5, 1e-9);
    EXPECT_NEAR(mm(1).y(), 2, 1e-9);
    // Under a decimal point "1,5" is no number: the row is skipped, and a
    // workbook without any point fails to load.
    usesComma = false;
    wb.dialogs->fileAnswers << wb.home.file(u"text.xls"_s);
    t->tasteneingabe(112);
    EXPECT_EQ(t->pathModel.punktzahl, 1);
    EXPECT_EQ(wb.dialogs->texts(), QStringList{TablettCore::fileMessage(wb.home.file(u"text.xls"_s))});
}

TEST_F(TablettFixture, AWorkbookLongerThanThePathSaysTheRestWasLeftOut)
{
    TablettEnv e = env;
    e.workbookReader.program = script(wb.home, u"reader.sh"_s,
                                      "printf 'kelvane-xlsread 1\\nrows 6801\\n'; "
                                      "yes 'n1\tn2' | head -n 6801; echo end");
    t = std::make_unique<TablettCore>(e);
    t->setDrawingArea(2000, 2000);
    t->Form_Load();
    wb.dialogs->fileAnswers << wb.home.file(u"lang.xls"_s);
    t->tasteneingabe(112);
    EXPECT_EQ(t->pathModel.punktzahl, 6800);
    EXPECT_EQ(wb.dialogs->texts(), QStringList{TablettCore::RowsLeftOutMessage});
    // 6800 rows fit without a word.
    e.workbookReader.program = script(wb.home, u"reader.sh"_s,
                                      "printf 'kelvane-xlsread 1\\nrows 6800\\n'; "
                                      "yes 'n1\tn2' | head -n 6800; echo end");
    t = std::make_unique<TablettCore>(e);
    t->setDrawingArea(2000, 2000);
    t->Form_Load();
    wb.dialogs->clear();
    wb.dialogs->fileAnswers << wb.home.file(u"lang.xls"_s);
    t->tasteneingabe(112);
    EXPECT_EQ(t->pathModel.punktzahl, 6800);
    EXPECT_TRUE(wb.dialogs->texts().isEmpty());
}

}  // namespace
