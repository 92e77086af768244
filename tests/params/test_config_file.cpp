// The configuration file: the exact layout, a byte-exact round trip under a
// locale with a decimal comma, hand-made files, damaged files that must
// change nothing, the dialogs, the start configurations of single motors and
// the file menu's entries.

#include "BusTransport.h"
#include "ConfigFile.h"
#include "OptionFlags.h"
#include "ParamsContext.h"
#include "ProgramFolder.h"
#include "TestSupport.h"
#include "UiServices.h"
#include "ValueFile.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>

namespace {

QByteArray readAll(const QString& path)
{
    return readFileBytes(path).value_or(QByteArray());
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class ConfigFileTest : public ::testing::Test
{
protected:
    TempHome home;
    RecordingUiServices ui;
    OptionFlags flags;
    ParamsContext params{ui, flags, [](const QString&) { return keine_Antwort; }};
    ConfigFile& file = params.configFile();
    int motorFlag = 0;

    void SetUp() override
    {
        file.setComMotflag = [this] { ++motorFlag; };
    }

    // Every kind of value, different on every axis.
    void fillEverything()
    {
        for (int a = 0; a < 31; ++a) {
            Achsdatensatz& r = params.store().axisRecordAt(a);
            r.Inkremente = 500 + a;
            r.leadscrew = 0.1 * (a + 1);
            r.Gear = 1.0 / (a + 3);
            r.Reservewert = -1e-05 * a;
            r.vmaxlimit = 21.46907216494845 + a;
            r.Motfak = 5217 + a;
            r.Vorteiler = 127;
            r.Massstabsachse = a % 2;
            r.Motfak_manuell = (a + 1) % 2;
            r.Achsenbezeichnung = QStringLiteral("Achse \"%1\" µm, Grad").arg(a);
            r.Endschalter_minus = 0;
            r.PositionP = 123.456 * a;
            r.PositionM = -0.5 * a;
            r.Fahrart = a % 3;
            r.vmin = 0.0007487818137886597 * (a + 1);
            params.store().setDrehantrieb(a, a % 3 == 0 ? 1 : 0);
        }
        for (int i = 0; i < 30; ++i)
            params.init().arraybefehle_let(i, QStringLiteral("[1C%1]").arg(i));
        for (int i = 0; i < 13; ++i)
            params.init2().arraybefehle_let(i, QStringLiteral("[1K%1]").arg(i));
        for (int i = 0; i < 9; ++i)
            flags.setText(i, QString::number(i % 3));
        flags.setDigitIndex(2);
    }
};

TEST_F(ConfigFileTest, SavedFileHasTheLayoutLineByLine)
{
    ScopedLocale de(QLocale::German, QLocale::Germany);
    fillEverything();
    ASSERT_TRUE(file.speichern(ConfigFile::Auto));
    EXPECT_EQ(motorFlag, 1);
    const QByteArray bytes = readAll(programFile(QStringLiteral("autost.qvm")));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    const QList<QByteArray> lines = bytes.chopped(1).split('\n');
    ASSERT_EQ(lines.size(), 828);
    for (const QByteArray& l : lines)
        ASSERT_TRUE(l.endsWith('\r'));
    auto line = [&lines](int n) { return lines.at(n - 1).chopped(1); };
    EXPECT_EQ(line(1), "500");
    EXPECT_EQ(line(5), "0.1");  // leadscrew: "." despite the German locale
    EXPECT_EQ(line(9), "21.46907216494845");
    EXPECT_EQ(line(14), "\"Achse \"0\" \xB5m, Grad\"");  // Windows-1252
    EXPECT_EQ(line(25), "501");
    EXPECT_EQ(line(745), "\"[1C0]\"");
    EXPECT_EQ(line(758), "\"[1K0]\"");
    EXPECT_EQ(line(771), "0");
    EXPECT_EQ(line(779), "2");  // option flag 8
    EXPECT_EQ(line(780), "1");  // rotary flag of axis 0
    EXPECT_EQ(line(811), "\"[1C13]\"");
    EXPECT_EQ(line(827), "\"[1C29]\"");
    EXPECT_EQ(line(828), "2");
    for (const QByteArray& l : lines) {
        if (!l.startsWith('"')) {
            EXPECT_FALSE(l.contains(',')) << l.constData();
        }
    }
}

TEST_F(ConfigFileTest, RoundTripUnderGermanLocaleIsByteExact)
{
    ScopedLocale de(QLocale::German, QLocale::Germany);
    fillEverything();
    const ConfigContent saved = file.collect();
    ui.fileAnswers << home.file(QStringLiteral("eins.qvm"));
    ASSERT_TRUE(file.speichern(ConfigFile::Manuell));

    // A fresh program loads it ...
    RecordingUiServices ui2;
    OptionFlags flags2;
    ParamsContext fresh(ui2, flags2, [](const QString&) { return keine_Antwort; });
    ui2.fileAnswers << home.file(QStringLiteral("eins.qvm"));
    ASSERT_TRUE(fresh.configFile().laden(ConfigFile::Manuell));
    EXPECT_TRUE(fresh.configFile().collect() == saved);
    EXPECT_EQ(fresh.store().axisRecordAt(30).Achsenbezeichnung, QStringLiteral("Achse \"30\" µm, Grad"));
    EXPECT_EQ(fresh.store().rotaryDriveFlag(3), 1);
    EXPECT_EQ(flags2.text(8), QStringLiteral("2"));
    EXPECT_EQ(flags2.digitIndex(), 2);
    EXPECT_EQ(fresh.store().stOf(0), 124);  // not in the file

    // ... and writes the very same bytes.
    ui2.fileAnswers << home.file(QStringLiteral("zwei.qvm"));
    ASSERT_TRUE(fresh.configFile().speichern(ConfigFile::Manuell));
    EXPECT_EQ(readAll(home.file(QStringLiteral("zwei.qvm"))), readAll(home.file(QStringLiteral("eins.qvm"))));
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(ui2.messages.isEmpty());
}

TEST_F(ConfigFileTest, HandMadeFileLoads)
{
    // LF endings, ".5", "1E-05", unquoted strings, no final line ending.
    QByteArrayList v;
    for (int a = 0; a < 31; ++a) {
        v << ".5"
          << "1E-05"
          << "4"
          << "485"
          << "47.6"
          << "1"
          << "3"
          << "0"
          << "0"
          << "5217"
          << "127"
          << "0"
          << "1"
          << "Tisch X"
          << "1"
          << "0"
          << "1"
          << "1"
          << "-2.5"
          << "+1e1"
          << "2"
          << "1"
          << "1"
          << "1";
    }
    for (int i = 0; i < 13; ++i)
        v << "[1EE]";
    for (int i = 0; i < 13; ++i)
        v << "\"[0M1]\"";
    v << "1"
      << "0"
      << "0"
      << "1"
      << "0"
      << "0"
      << "0"
      << "0"
      << "1";
    for (int a = 0; a < 31; ++a)
        v << (a == 4 ? "1" : "0");
    for (int i = 0; i < 17; ++i)
        v << "";
    v << "3";
    ASSERT_EQ(v.size(), 828);
    ui.fileAnswers << home.file(QStringLiteral("hand.qvm"));
    writeFile(home.file(QStringLiteral("hand.qvm")), v.join('\n'));

    ASSERT_TRUE(file.laden(ConfigFile::Manuell));
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(motorFlag, 1);
    const Achsdatensatz& r = params.store().axisRecordAt(17);
    EXPECT_EQ(r.Inkremente, 0.5);
    EXPECT_EQ(r.Spannung, 1e-05);
    EXPECT_EQ(r.Motfak_manuell, 1);
    EXPECT_EQ(r.Achsenbezeichnung, QStringLiteral("Tisch X"));
    EXPECT_EQ(r.PositionP, -2.5);
    EXPECT_EQ(r.PositionM, 10);
    EXPECT_EQ(params.init().arraybefehle_get(12), QStringLiteral("[1EE]"));
    EXPECT_EQ(params.init().arraybefehle_get(13), QString());
    EXPECT_EQ(params.init2().arraybefehle_get(0), QStringLiteral("[0M1]"));
    EXPECT_TRUE(flags.on(0) && flags.on(3) && flags.on(8) && !flags.on(1));
    EXPECT_EQ(params.store().rotaryDriveFlag(4), 1);
    EXPECT_EQ(params.store().rotaryDriveFlag(5), 0);
    EXPECT_EQ(flags.digitIndex(), 3);
}

TEST_F(ConfigFileTest, DamagedFilesChangeNothingAndShowTheMessage)
{
    fillEverything();
    ASSERT_TRUE(file.speichern(ConfigFile::Auto));
    const QByteArray good = readAll(programFile(QStringLiteral("autost.qvm")));
    QList<QByteArray> lines = good.split('\n');
    lines.removeLast();

    auto variant = [&lines](int lineNo, const QByteArray& text) {
        QList<QByteArray> l = lines;
        l[lineNo - 1] = text + '\r';
        return l.join('\n') + '\n';
    };
    const QList<QPair<const char*, QByteArray>> damaged = {
        {"truncated", good.left(good.lastIndexOf("\r\n", good.size() - 3) + 2)},
        {"empty", QByteArray()},
        {"half", good.left(good.size() / 2)},
        {"letters in a number", variant(300, "zwölf")},
        {"fraction in an integer field", variant(12, "0.5")},
        {"quoted number", variant(1, "\"128\"")},
        {"option flag 7", variant(772, "7")},
        {"rounding digits quoted", variant(828, "\"5\"")},
        {"unterminated quote", variant(14, "\"Achse")},
        {"binary", QByteArray(4000, '\0')},
    };
    // Load the good file into a state that differs from it, then try each.
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        params.store().axisRecordAt(0).Inkremente = 42;
        params.init().arraybefehle_let(0, QStringLiteral("vorher"));
        flags.setText(3, QStringLiteral("0"));
        const ConfigContent before = file.collect();
        const QString path = home.file(QStringLiteral("kaputt.qvm"));
        writeFile(path, bytes);
        ui.clear();
        motorFlag = 0;
        ui.fileAnswers << path;
        EXPECT_FALSE(file.laden(ConfigFile::Manuell));
        ASSERT_EQ(ui.messages.size(), 1);
        EXPECT_EQ(ui.messages.first().text,
                  QStringLiteral("Die Datei ") + path + QStringLiteral(" konnte nicht geladen werden!!"));
        EXPECT_TRUE(file.collect() == before);
        // A failed load still has the control centers set up again.
        EXPECT_EQ(motorFlag, 1);
    }
}

struct RoundingCase
{
    const char* line;
    int shown;
};

class ConfigRoundingTest : public ConfigFileTest, public ::testing::WithParamInterface<RoundingCase>
{
};

TEST_P(ConfigRoundingTest, RoundingPositionOutsideTheListIsTakenAsItsNearestEnd)
{
    fillEverything();
    ASSERT_TRUE(file.speichern(ConfigFile::Auto));
    QByteArray bytes = readAll(programFile(QStringLiteral("autost.qvm")));
    bytes.chop(3);  // "2\r\n", the last value
    bytes += QByteArray(GetParam().line) + "\r\n";
    const QString path = home.file(QStringLiteral("stelle.qvm"));
    writeFile(path, bytes);
    const ConfigContent saved = file.collect();
    flags.setDigitIndex(3);
    params.store().axisRecordAt(4).Inkremente = 42;
    motorFlag = 0;
    ui.fileAnswers << path;
    EXPECT_TRUE(file.laden(ConfigFile::Manuell));
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(flags.digitIndex(), GetParam().shown);
    // The rest of the file is applied as well.
    EXPECT_EQ(params.store().axisRecordAt(4).Inkremente, saved.axes[4].Inkremente);
    EXPECT_EQ(motorFlag, 1);
}

INSTANTIATE_TEST_SUITE_P(Positions, ConfigRoundingTest,
                         ::testing::Values(RoundingCase{"9", 5}, RoundingCase{"6", 5}, RoundingCase{"-1", 0},
                                           RoundingCase{"-2147483648", 0}, RoundingCase{"0", 0}, RoundingCase{"5", 5}));

TEST_F(ConfigFileTest, SavedNumbersHaveNoExponentAndNoSignedZero)
{
    fillEverything();
    params.store().axisRecordAt(3).PositionP = 1e16;
    params.store().axisRecordAt(3).PositionM = -0.0;
    params.store().axisRecordAt(3).Reservewert = -1e-05;
    ASSERT_TRUE(file.speichern(ConfigFile::Auto));
    const QList<QByteArray> lines = readAll(programFile(QStringLiteral("autost.qvm"))).split('\n');
    for (const QByteArray& l : lines) {
        if (l.startsWith('"'))
            continue;
        EXPECT_FALSE(l.contains('e') || l.contains('E')) << l.constData();
        EXPECT_NE(l, "-0\r");
    }
    EXPECT_TRUE(lines.contains("10000000000000000\r"));
    EXPECT_TRUE(lines.contains("-0.00001\r"));
}

TEST_F(ConfigFileTest, StartConfigurationMissingAtStartIsSilentAndKeepsDefaults)
{
    EXPECT_FALSE(file.laden(ConfigFile::Auto));
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(motorFlag, 1);
    EXPECT_TRUE(file.collect() == ConfigContent{});
}

TEST_F(ConfigFileTest, DialogsUseTheFilterAndCancelDoesNothing)
{
    EXPECT_FALSE(file.laden(ConfigFile::Manuell));
    // A cancelled load reads nothing and leaves the control centers alone ...
    EXPECT_EQ(motorFlag, 0);
    EXPECT_FALSE(file.speichern(ConfigFile::Manuell));
    // ... a cancelled save still has them set up again.
    EXPECT_EQ(motorFlag, 1);
    ASSERT_EQ(ui.fileRequests.size(), 2);
    for (const FileDialogRequest& r : ui.fileRequests) {
        EXPECT_EQ(r.filter, QStringLiteral("Datendateien(*.qvm)|*.qvm|Alle Dateien|*.*"));
        EXPECT_EQ(r.folder, programFolder());
        EXPECT_EQ(r.fileName, QStringLiteral("*.qvm"));
        EXPECT_EQ(r.defaultExt, QStringLiteral("qvm"));
    }
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(QDir(programFolder()).entryList(QDir::Files).filter(QStringLiteral(".qvm")).isEmpty());
}

TEST_F(ConfigFileTest, FailedSaveShowsTheMessageAndKeepsTheOldFile)
{
    ASSERT_TRUE(file.speichern(ConfigFile::Auto));
    const QString autost = programFile(QStringLiteral("autost.qvm"));
    const QByteArray old = readAll(autost);
    motorFlag = 0;

    // A name with a line break cannot be written as one value.
    params.store().axisRecordAt(2).Achsenbezeichnung = QStringLiteral("zwei\r\nZeilen");
    EXPECT_FALSE(file.speichern(ConfigFile::Auto));
    EXPECT_EQ(readAll(autost), old);

    // A folder that does not exist.
    params.store().axisRecordAt(2).Achsenbezeichnung.clear();
    const QString nowhere = home.file(QStringLiteral("fehlt/x.qvm"));
    ui.fileAnswers << nowhere;
    EXPECT_FALSE(file.speichern(ConfigFile::Manuell));

    ASSERT_EQ(ui.messages.size(), 2);
    EXPECT_EQ(ui.messages.at(0).text,
              QStringLiteral("Die Datei ") + autost + QStringLiteral(" konnte nicht geladen werden!!"));
    EXPECT_EQ(ui.messages.at(1).text,
              QStringLiteral("Die Datei ") + nowhere + QStringLiteral(" konnte nicht geladen werden!!"));
    // Both failed saves still have the control centers set up again.
    EXPECT_EQ(motorFlag, 2);
}

class StartConfigurationTest : public ConfigFileTest
{
protected:
    QString startFile(const QString& ident)
    {
        return programFolder() + QStringLiteral("/StartKonfigurationen/") + ident + QStringLiteral(".qvm");
    }
    // A start file whose second record is recognisable and whose second
    // rotary flag is set (all others clear).
    void writeStartFile(const QString& ident)
    {
        ConfigContent c;
        c.axes[0].Inkremente = 1;
        c.axes[1].Inkremente = 2000;
        c.axes[1].Achsenbezeichnung = QStringLiteral("Drehtisch");
        c.axes[2].Inkremente = 3;
        c.drehantrieb[1] = 1;
        c.optionValues[7] = 1;
        c.optionValues[8] = 1;
        writeFile(startFile(ident), *writeConfig(c));
    }
};

TEST_F(StartConfigurationTest, FillsOnlyTheOneAxisWithTheFilesSecondRecordAndItsRotaryFlag)
{
    writeStartFile(QStringLiteral("00000123"));
    params.store().setDrehantrieb(0, 1);
    params.store().setDrehantrieb(2, 1);

    EXPECT_TRUE(file.ueberschreiben(QStringLiteral("00000123"), 5));
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(params.store().axisRecordAt(5).Inkremente, 2000);
    EXPECT_EQ(params.store().axisRecordAt(5).Achsenbezeichnung, QStringLiteral("Drehtisch"));
    EXPECT_EQ(params.store().rotaryDriveFlag(5), 1);
    // Every other axis and flag as before.
    EXPECT_EQ(params.store().rotaryDriveFlag(0), 1);
    EXPECT_EQ(params.store().rotaryDriveFlag(1), 0);
    EXPECT_EQ(params.store().rotaryDriveFlag(2), 1);
    EXPECT_EQ(params.store().axisRecordAt(4).Inkremente, 128);
    EXPECT_EQ(params.store().axisRecordAt(6).Inkremente, 128);
    EXPECT_TRUE(flags.text(8).isEmpty());
}

TEST_F(StartConfigurationTest, OtherIdentsDoNothing)
{
    writeStartFile(QStringLiteral("12345678"));
    const QDir dir(programFolder());
    writeFile(dir.filePath(QStringLiteral("00000x.qvm")), *writeConfig(ConfigContent{}));
    for (const QString& ident : {QStringLiteral("12345678"), QStringLiteral("0000"), QStringLiteral("00000/../00000x"),
                                 QStringLiteral("00000 12"), QStringLiteral("00000ä"), QString()}) {
        EXPECT_FALSE(file.ueberschreiben(ident, 5)) << ident.toStdString();
    }
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(file.collect() == ConfigContent{});
}

TEST_F(StartConfigurationTest, MissingOrShortFileOrBadAxisShowsTheFullPath)
{
    const QString path = startFile(QStringLiteral("00000777"));
    const QString message = QStringLiteral("Die Datei ") + path + QStringLiteral(" konnte nicht geladen werden!!");
    EXPECT_FALSE(file.ueberschreiben(QStringLiteral("00000777"), 5));

    writeStartFile(QStringLiteral("00000777"));
    EXPECT_FALSE(file.ueberschreiben(QStringLiteral("00000777"), 31));
    EXPECT_FALSE(file.ueberschreiben(QStringLiteral("00000777"), -1));

    writeFile(path, readAll(path).left(2000));
    EXPECT_FALSE(file.ueberschreiben(QStringLiteral("00000777"), 5));

    ASSERT_EQ(ui.messages.size(), 4);
    for (const auto& m : ui.messages)
        EXPECT_EQ(m.text, message);
    EXPECT_TRUE(file.collect() == ConfigContent{});
}

TEST_F(StartConfigurationTest, BothLayoutsGiveTheSecondRecordAndOnlyAppliedValuesAreChecked)
{
    writeStartFile(QStringLiteral("00000123"));
    const QString path = startFile(QStringLiteral("00000123"));
    QList<QByteArray> lines = readAll(path).split('\n');
    lines.removeLast();  // after the last line ending
    // A rounding digit the start file does not apply is not checked.
    lines[827] = "9\r";
    writeFile(path, lines.join('\n') + '\n');
    EXPECT_TRUE(file.ueberschreiben(QStringLiteral("00000123"), 5));
    EXPECT_EQ(params.store().axisRecordAt(5).Inkremente, 2000);
    EXPECT_EQ(params.store().rotaryDriveFlag(5), 1);

    // The older layout: seven option flags, 826 values.
    lines.removeAt(770 + 7);
    lines.removeAt(770 + 7);
    writeFile(path, lines.join('\n') + '\n');
    params.store().setDrehantrieb(6, 0);
    EXPECT_TRUE(file.ueberschreiben(QStringLiteral("00000123"), 6));
    EXPECT_EQ(params.store().axisRecordAt(6).Inkremente, 2000);
    EXPECT_EQ(params.store().rotaryDriveFlag(6), 1);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(ConfigFileTest, OversizedNonNumberAndCodePageFiles)
{
    fillEverything();
    ASSERT_TRUE(file.speichern(QStringLiteral("auto")));
    const QString path = programFolder() + QStringLiteral("/autost.qvm");
    const QByteArray saved = readAll(path);
    const ConfigContent before = file.collect();

    // A file far larger than the format allows is refused before it is parsed.
    writeFile(path, saved + QByteArray(2 * 1024 * 1024, '\n'));
    EXPECT_FALSE(file.laden(QStringLiteral("auto")));
    // "nan" and "inf" are no numbers.
    for (const QByteArray& bad : {QByteArray("nan"), QByteArray("inf"), QByteArray("-Infinity")}) {
        QList<QByteArray> lines = saved.split('\n');
        lines[4] = bad + '\r';
        writeFile(path, lines.join('\n'));
        EXPECT_FALSE(file.laden(QStringLiteral("auto"))) << bad.constData();
    }
    EXPECT_EQ(ui.messages.size(), 4);
    EXPECT_TRUE(file.collect() == before);

    // Windows-1252 out and back, and a UTF-8 file with its byte-order mark read as well.
    params.store().axisRecordAt(3).Achsenbezeichnung = QStringLiteral("€ „Tisch“ µm");
    ASSERT_TRUE(file.speichern(QStringLiteral("auto")));
    EXPECT_TRUE(readAll(path).contains("\"\x80 \x84Tisch\x93 \xB5m\""));
    ASSERT_TRUE(file.laden(QStringLiteral("auto")));
    EXPECT_EQ(params.store().axisRecordAt(3).Achsenbezeichnung, QStringLiteral("€ „Tisch“ µm"));
    writeFile(path, "\xEF\xBB\xBF" + fromWindows1252(readAll(path)).toUtf8());
    params.store().axisRecordAt(3).Achsenbezeichnung.clear();
    ASSERT_TRUE(file.laden(QStringLiteral("auto")));
    EXPECT_EQ(params.store().axisRecordAt(3).Achsenbezeichnung, QStringLiteral("€ „Tisch“ µm"));
    // Without the mark the same bytes are Windows-1252 text, as written.
    writeFile(path, readAll(path).mid(3));
    ASSERT_TRUE(file.laden(QStringLiteral("auto")));
    EXPECT_EQ(params.store().axisRecordAt(3).Achsenbezeichnung,
              fromWindows1252(QStringLiteral("€ „Tisch“ µm").toUtf8()));
}

// The file-menu entries are tested through the frame (tests/main/ui/test_install.cpp).

TEST(CommandListTest, EntriesWithinTheListOnly)
{
    CommandList list(CommandList::ProbeSize);
    int changes = 0;
    QObject::connect(&list, &CommandList::changed, [&changes](int) { ++changes; });
    EXPECT_TRUE(list.arraybefehle_let(12, QStringLiteral("[0M1]")));
    EXPECT_TRUE(list.befehleaktualisieren(12, QStringLiteral("[0M1]")));  // same text: no change
    EXPECT_FALSE(list.arraybefehle_let(13, QStringLiteral("x")));
    EXPECT_FALSE(list.arraybefehle_let(-1, QStringLiteral("x")));
    EXPECT_EQ(list.arraybefehle_get(12), QStringLiteral("[0M1]"));
    EXPECT_EQ(list.arraybefehle_get(13), QString());
    EXPECT_EQ(changes, 1);
}

}  // namespace
