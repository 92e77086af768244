// The EEPROM window's rules over the simulated controller: conversions both
// ways, field widths, refusals that leave the row working, the read-modify-
// write round trip, identifiers, the stores, the address change and the baud
// burn.
#include "DownloadCore.h"
#include "Format.h"
#include "ParamWindowFixture.h"
#include "UiServices.h"

namespace {

class DownloadTest : public ParamWindowFixture
{
protected:
    DownloadTest()
    {
        Achsdatensatz& r = params.store().axisRecordAt(1);
        r.vmin = 0.01;
        r.vmax = 20;
        r.amin = 0.5;
        r.Motfak = 5000;
    }
    void pickOption(int index)
    {
        core.cb_adressenauswahl.listIndex = index;
        core.cb_adressenauswahl_Click();
    }
    void markRow(int row)
    {
        for (auto& m : core.cb_markierung)
            m.checked = false;
        core.cb_markierung[std::size_t(row)].checked = true;
    }
    RecordingUiServices& dialogs() { return *wb.dialogs; }
    DownloadCore core{env()};
};

TEST_F(DownloadTest, ReadOutConvertsRawValuesToEngineeringUnits)
{
    eeprom().setValue("1VP", "0010");
    eeprom().setValue("1L6", "007FFFFF");
    eeprom().setValue("1L5", "FFFFEC78");  // -5000 counts
    eeprom().setValue("1DS", "00000123");
    pickOption(1);
    EXPECT_EQ(core.sh_an_aus.colour, DownloadCore::Green);
    EXPECT_EQ(core.text_download[2].text, formatMask(16 * 0.01, QStringLiteral("######0.000"), false));
    EXPECT_EQ(core.text_download[8].text, QStringLiteral("-1.000"));
    EXPECT_EQ(core.text_download[10].text, QStringLiteral("291.000"));
    EXPECT_EQ(core.lb_unit[2].text, QStringLiteral("mm/s"));
    EXPECT_EQ(core.text_download[21].text, QStringLiteral("Demo-Achse 01"));

    params.store().setDrehantrieb(1, 1);
    pickOption(1);
    EXPECT_EQ(core.text_download[9].text, formatMask(8388607.0 / 5000 * 360, QStringLiteral("######0.000"), false));
    EXPECT_EQ(core.lb_unit[9].text, QStringLiteral("Grad"));
    EXPECT_EQ(core.lb_unit[3].text, QStringLiteral("U/s²"));
}

TEST_F(DownloadTest, ConversionsAreInverseOnEveryRowKind)
{
    pickOption(1);
    for (int i : {0, 2, 3, 8, 10}) {
        const auto d = core.rawToDisplay(i, 0);
        ASSERT_TRUE(d) << i;
        EXPECT_EQ(*d, 0) << i;  // a raw 0 shows as 0 (no marker value)
        EXPECT_NEAR(*core.displayToRaw(i, *core.rawToDisplay(i, 150)), 150, 1e-9) << i;
    }
    EXPECT_FALSE(core.rawToDisplay(21, 5));
}

TEST_F(DownloadTest, SpeedDownloadSendsFixedWidthAndShowsTheWrittenValue)
{
    pickOption(1);
    sent();
    markRow(2);
    core.text_download[2].text = QStringLiteral("1.5");
    core.cmd_download_Click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("[1VP0096]")});
    EXPECT_EQ(core.text_download[2].text, QStringLiteral("1.500"));
    EXPECT_EQ(eeprom().value("1VP"), QByteArray("0096"));
}

TEST_F(DownloadTest, ValueOutsideTheFieldIsRefusedAndTheRowKeepsWorking)
{
    pickOption(1);
    sent();
    markRow(2);
    for (const QString& tooMany : {QStringLiteral("1000"), QStringLiteral("-1")}) {
        core.text_download[2].text = tooMany;
        core.cmd_download_Click();
        EXPECT_TRUE(sent().isEmpty()) << qPrintable(tooMany);
    }
    EXPECT_EQ(dialogs().messages.size(), 2);
    EXPECT_TRUE(dialogs().messages.first().text.startsWith(DownloadCore::FieldTooSmall));
    core.text_download[2].text = QStringLiteral("1.5");
    core.cmd_download_Click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("[1VP0096]")});
    EXPECT_EQ(core.Schreibbefehle[2].size(), 9);
}

TEST_F(DownloadTest, EmptyOrNonNumericRowsAreSkippedWithANote)
{
    wb.unit().rejectNext(QStringLiteral("[1vE]"), 0x0005);
    pickOption(1);
    EXPECT_TRUE(core.text_download[4].text.isEmpty());  // rejected read
    sent();
    markRow(4);
    core.cmd_download_Click();
    EXPECT_EQ(core.lb_antwort[4].text, DownloadCore::NotSentEmpty);
    core.text_download[4].text = QStringLiteral("1.2.3");
    core.cmd_download_Click();
    EXPECT_EQ(core.lb_antwort[4].text, DownloadCore::NotSentNumber);
    EXPECT_TRUE(sent().isEmpty());
    // An empty identifier row is no missing number: it goes out as 20 blanks.
    markRow(21);
    core.text_download[21].text.clear();
    core.cmd_download_Click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("[0LS%1]").arg(QString(20, QLatin1Char(' ')))});
    EXPECT_NE(core.lb_antwort[21].text, DownloadCore::NotSentEmpty);
}

TEST_F(DownloadTest, ReadModifyWriteRoundTripLeavesTheControllerUnchanged)
{
    eeprom().setValue("1DP", "00001234");
    eeprom().setValue("1PS", "FFFFFF00");
    eeprom().setValue("1IO", "FFF00001");
    eeprom().setValue("1AE", "0FFF");
    const auto vorher = eeprom().values();
    pickOption(1);
    core.cb_markierung[22].checked = true;
    core.cb_markierung_Click(22);
    EXPECT_FALSE(core.cb_markierung[14].checked);
    sent();
    core.cmd_download_Click();
    EXPECT_EQ(sent().size(), 15);  // rows 0-13 and the RAM identifier
    EXPECT_EQ(eeprom().values(), vorher);
}

TEST_F(DownloadTest, LeavingABoxClampsRefusesTextAndFormats)
{
    pickOption(1);
    core.text_download[2].text = QStringLiteral("50");
    core.text_download_LostFocus(2);
    EXPECT_EQ(core.text_download[2].text, QStringLiteral("20.0000"));  // vmax
    core.text_download[3].text = QStringLiteral("20000");
    core.text_download_LostFocus(3);
    EXPECT_EQ(core.text_download[3].text, QStringLiteral("10000.0000"));
    core.text_download[8].text = QString();
    core.text_download_LostFocus(8);
    EXPECT_EQ(core.text_download[8].text, QStringLiteral("1.0000"));
    core.text_download[10].text = QStringLiteral("0");
    core.text_download_LostFocus(10);
    EXPECT_EQ(core.text_download[10].text, QStringLiteral("1.0000"));
    core.text_download[8].text = QStringLiteral("abc");
    core.text_download_LostFocus(8);
    EXPECT_EQ(core.text_download[8].text, QStringLiteral("1.0000"));  // back to the value before the edit
    usesComma = true;
    core.text_download[3].text = QStringLiteral("2,5");
    core.text_download_LostFocus(3);
    EXPECT_EQ(core.text_download[3].text, QStringLiteral("2,5000"));
}

TEST_F(DownloadTest, ReadOutShowsFourDecimalsOnlyOnTheDistanceRows)
{
    eeprom().setValue("1DP", "00001388");  // 5000 counts
    eeprom().setValue("1PS", "00002710");  // 10000 counts
    eeprom().setValue("1L5", "00001388");
    pickOption(1);
    EXPECT_EQ(core.text_download[0].text, QStringLiteral("1.0000"));
    EXPECT_EQ(core.text_download[1].text, QStringLiteral("2.0000"));
    EXPECT_EQ(core.text_download[8].text, QStringLiteral("1.000"));
}

struct EdgeCase
{
    int row;
    const char* inputText;
    const char* readResult;
};

class DownloadBounds : public DownloadTest, public ::testing::WithParamInterface<EdgeCase>
{
};

// Positions lie within the 24-bit count range (one short of it below),
// distances have no lower bound; motor factor 5000.
TEST_P(DownloadBounds, LeavingABoxClampsToTheRowsBounds)
{
    const EdgeCase g = GetParam();
    pickOption(1);
    core.text_download[std::size_t(g.row)].text = QString::fromLatin1(g.inputText);
    core.text_download_LostFocus(g.row);
    EXPECT_EQ(core.text_download[std::size_t(g.row)].text, QString::fromLatin1(g.readResult))
        << g.row << " " << g.inputText;
}

INSTANTIATE_TEST_SUITE_P(Rows, DownloadBounds,
                         ::testing::Values(EdgeCase{8, "-5000", "-1677.7212"}, EdgeCase{8, "-1677.7211", "-1677.7211"},
                                           EdgeCase{9, "5000", "1677.7214"}, EdgeCase{11, "-2000", "-1677.7212"},
                                           EdgeCase{13, "-1677.7213", "-1677.7212"}, EdgeCase{0, "-5000", "-5000.0000"},
                                           EdgeCase{1, "5000", "1677.7214"}, EdgeCase{10, "0", "1.0000"}),
                         [](const auto& info) {
                             return "Row" + std::to_string(info.param.row) + "Case" + std::to_string(info.index);
                         });

TEST_F(DownloadTest, IdentifiersArePrintableWithoutBracketsAtMost20)
{
    pickOption(1);
    core.text_download[21].text = QStringLiteral("A[b]\x01"
                                                 "c-123456789012345678901");
    core.text_download_Change(21);
    EXPECT_EQ(core.text_download[21].text, QStringLiteral("Abc-1234567890123456"));
    core.cmd_KopEin_Click(0);
    core.text_download[21].text = QStringLiteral("X");
    sent();
    markRow(21);
    core.cmd_download_Click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("[0LSX                   ]")});
    core.cmd_KopEin_Click(1);
    EXPECT_EQ(core.text_download[21].text, QStringLiteral("Abc-1234567890123456"));
}

TEST_F(DownloadTest, StoresWaitForTheControllerMemory)
{
    pickOption(1);
    core.text_download[22].text = QStringLiteral("Neu");
    sent();
    core.cmd_Kanal_EEPROM_Click();
    EXPECT_EQ(sent(), (QStringList{QStringLiteral("[0PSNeu                 ]"), QStringLiteral("[0ff09]")}));
    EXPECT_EQ(core.cmd_Kanal_EEPROM.text, QStringLiteral("[0ff!]"));
    EXPECT_EQ(eeprom().stored("0PS"), QByteArray("Neu                 "));
    wb.transport().einheit_waehlen(QStringLiteral("02"));  // by another window while this one was hidden
    core.Form_Activate();
    core.cmd_EEPROM_Click();
    EXPECT_EQ(core.cmd_EEPROM.text, QStringLiteral("[0ff!]"));
    EXPECT_TRUE(core.cmd_auslesen.enabled);
    EXPECT_EQ(eeprom().storeCount(), 2);
    // A time-out shorter than the store gets no answer.
    EXPECT_EQ(wb.transport().senden_empfangen(QStringLiteral("[0ff01]"), 0.2), keine_Antwort);
    core.closeView();
    EXPECT_EQ(core.cmd_EEPROM.text, QStringLiteral("EEPROM"));
}

TEST_F(DownloadTest, AddressChangeMovesTheUnit)
{
    pickOption(1);
    core.cmd_Achsenwechsel_Click();
    dialogs().answers << MsgResult::Yes;
    core.cb_Adressenwechsel.listIndex = 5;
    core.cb_Adressenwechsel_Click();
    EXPECT_EQ(wb.bus->unit(QStringLiteral("01")), nullptr);
    ASSERT_NE(wb.bus->unit(QStringLiteral("05")), nullptr);
    EXPECT_EQ(dialogs().messages.last().text, QStringLiteral("Wollen Sie die Achsnummer von 01 nach 05 vergeben?"));
    EXPECT_EQ(core.cb_adressenauswahl.listIndex, 5);
    EXPECT_EQ(core.sh_an_aus.colour, DownloadCore::Green);
    EXPECT_EQ(axesAe, (QStringList{QStringLiteral("5=05"), QStringLiteral("1=")}));
    EXPECT_TRUE(sent().contains(QStringLiteral("[0ff00]")));
    EXPECT_EQ(eeprom(QStringLiteral("05")).storeCount(), 1);
}

TEST_F(DownloadTest, AddressChangeRefusals)
{
    pickOption(1);
    sent();
    core.cb_Adressenwechsel.listIndex = 31;  // "1F"
    core.cb_Adressenwechsel_Click();
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(dialogs().messages.last().text, DownloadCore::NotAssignable);
    core.cb_Adressenwechsel.listIndex = 2;  // taken
    core.cb_Adressenwechsel_Click();
    EXPECT_EQ(dialogs().messages.last().text, DownloadCore::Assign);
    dialogs().answers << MsgResult::No;
    core.cb_Adressenwechsel.listIndex = 6;
    core.cb_Adressenwechsel_Click();
    wb.unit().rejectNext(QStringLiteral("[0CS"), 0x0005);
    dialogs().answers << MsgResult::Yes;
    core.cb_Adressenwechsel_Click();
    for (const QString& c : sent())
        EXPECT_FALSE(c.startsWith(QStringLiteral("[0ff"))) << qPrintable(c);
    EXPECT_TRUE(axesAe.isEmpty());
    EXPECT_NE(wb.bus->unit(QStringLiteral("01")), nullptr);
}

TEST_F(DownloadTest, BaudBurnTakesEffectWithTheStore)
{
    pickOption(1);
    sent();
    dialogs().answers << MsgResult::Yes;
    core.cb_baudbr.listIndex = 4;
    core.cb_baudbr_Click();
    EXPECT_EQ(sent(), (QStringList{QStringLiteral("[0B5]"), QStringLiteral("[0ff00]")}));
    EXPECT_EQ(wb.unit().baud(), 115200);
    EXPECT_EQ(dialogs().messages.last().text, QStringLiteral("Wollen Sie die Baudrate 115200 in Achse 01 brennen?"));
}

TEST_F(DownloadTest, FirstEntryAndSilentUnitsReadNothing)
{
    core.cb_adressenauswahl.items[3].clear();  // no unit found there
    core.cb_adressenauswahl.items << QStringLiteral("1F");
    for (int index : {0, 3, 31}) {
        pickOption(index);
        EXPECT_EQ(core.sh_an_aus.colour, DownloadCore::Red) << index;
    }
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_FALSE(core.cmd_download.enabled);
    EXPECT_TRUE(core.cmd_exit.enabled);
    wb.unit(QStringLiteral("02")).setSilent(true);
    pickOption(2);
    EXPECT_EQ(sent(), QStringList{QStringLiteral("[0ST]")});
    core.cb_markierung[2].checked = true;
    core.text_download[2].text = QStringLiteral("1");
    core.cmd_download_Click();
    core.cmd_EEPROM_Click();
    core.cb_baudbr.listIndex = 1;
    core.cb_baudbr_Click();
    EXPECT_EQ(core.cb_baudbr.listIndex, -1);
    EXPECT_TRUE(sent().isEmpty());

    // A refilled address list leaves the lamp as it was but chooses no unit.
    pickOption(1);
    sent();
    core.cb_markierung[2].checked = true;
    core.cb_adressenauswahl.clear();
    core.cmd_download_Click();
    core.cmd_EEPROM_Click();
    EXPECT_TRUE(sent().isEmpty());
}

}  // namespace
