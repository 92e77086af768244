// The initialisation command lists: posting into the bound window's mailbox,
// the register slider in 8 and 16 bits (only the operator's changes post, no
// value is clamped), and the tst files.
#include "CommandList.h"
#include "InitListCore.h"
#include "TestSupport.h"
#include "UiServices.h"
#include "ValueFile.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class InitList : public ::testing::Test
{
protected:
    InitListEnv env(CommandList& l)
    {
        InitListEnv e;
        e.list = &l;
        e.ui = &ui;
        e.programFolder = [this] { return home.path(); };
        e.post = [this](const QString& c) { posts << c; };
        e.sixteenBit = [this] { return sixteen; };
        e.activateRow = [this](int n) { activatedRows << n; };
        e.initColor = [this](int n, quint32 c) { colors << u"%1:%2"_s.arg(n).arg(c, 0, 16); };
        e.comMotflag = [this] { ++motorFlag; };
        return e;
    }
    void moveBy(int v)
    {
        init.sli_wert.value = v;
        init.sli_wert_Change();
    }

    RecordingUiServices ui;
    TempHome home;
    bool sixteen = false;
    QStringList posts, colors;
    QList<int> activatedRows;
    int motorFlag = 0;
    CommandList addressTable{CommandList::ControlCenterSize};
    CommandList list2{CommandList::ProbeSize};
    InitListCore init{env(addressTable), true};
    InitListCore init2{env(list2), false};
};

TEST_F(InitList, EditsAreStoredAndSendingPostsTheTextUnchanged)
{
    init.text_Befehl[4].text = u" [1VP0032] "_s;
    init.text_Befehl_Change(4);
    EXPECT_EQ(addressTable.arraybefehle_get(4), u" [1VP0032] "_s);
    init.cmd_senden_Click(4);
    init.cb_start.checked = true;
    init.cb_start_Click();
    EXPECT_EQ(init.cb_start.text, u"Stop"_s);
    init.cb_start.checked = false;
    init.cb_start_Click();
    EXPECT_EQ(posts, (QStringList{u" [1VP0032] "_s, u"[1EE]"_s, u"[1BR]"_s}));
    EXPECT_EQ(init2.size(), 13);
}

TEST_F(InitList, BindingColoursAndActivatesTheBoundWindow)
{
    init.bindControls(3);
    init.Form_Activate();
    init.bindControls(5);
    init.Form_Activate();
    EXPECT_EQ(colors, (QStringList{u"3:c000"_s, u"3:e0e0e0"_s, u"5:c000"_s}));
    EXPECT_EQ(activatedRows, (QList<int>{3, 5}));
    EXPECT_EQ(init.widthPx, 2730);
}

TEST_F(InitList, SliderPostsInEightAndSixteenBits)
{
    init.Form_Activate();
    EXPECT_TRUE(posts.isEmpty());  // setting the range posts nothing
    moveBy(127);
    moveBy(-128);
    moveBy(-1);
    moveBy(0);
    EXPECT_EQ(posts, (QStringList{u"[1EW07F0]"_s, u"[1EW0800]"_s, u"[1EW0FF0]"_s, u"[1EW0000]"_s}));
    sixteen = true;
    init.Form_Activate();
    EXPECT_EQ(init.sli_wert.min, -32768);
    EXPECT_EQ(init.Label1.text, u"7FF0"_s);
    moveBy(-1);
    EXPECT_EQ(posts.last(), u"[1EWFFFF]"_s);
    EXPECT_EQ(init.lb_wert.text, u"FFF0"_s);
    init.lb_wert.text = u"8000"_s;
    init.lb_wert_LostFocus();
    EXPECT_EQ(init.sli_wert.value, -32768);
    EXPECT_EQ(posts.last(), u"[1EW8000]"_s);
}

TEST_F(InitList, ProgramValuesNeverPostAndBadInputIsRefused)
{
    init.Form_Activate();
    EXPECT_TRUE(init.setSli_wert(-5));
    EXPECT_FALSE(init.setSli_wert(300));  // outside 8 bits: refused, not clamped
    EXPECT_EQ(init.sli_wert.value, -5);
    EXPECT_TRUE(posts.isEmpty());
    init.lb_wert.text = u"07F0"_s;  // the shown form of 127
    init.lb_wert_LostFocus();
    EXPECT_EQ(init.sli_wert.value, 127);
    init.lb_wert.text = u"0800"_s;
    init.lb_wert_LostFocus();
    EXPECT_EQ(init.sli_wert.value, -128);
    const int n = int(posts.size());
    for (const QString& bad : {u"80"_s, u"7F00"_s, u"xyz"_s}) {
        init.lb_wert.text = bad;
        init.lb_wert_LostFocus();
    }
    EXPECT_EQ(init.sli_wert.value, -128);
    EXPECT_EQ(posts.size(), n);
    init.lb_wert.text = u"0800"_s;  // leaving the box without a new value sends nothing
    init.lb_wert_LostFocus();
    EXPECT_EQ(posts.size(), n);
    init.lb_wert.text = u"FFFF"_s;
    init.lb_wert_LostFocus();
    EXPECT_EQ(init.sli_wert.value, -1);
}

TEST_F(InitList, TstFilesRoundTripAndCancelKeepsTheList)
{
    for (int k = 0; k < 30; ++k)
        addressTable.arraybefehle_let(k, u"[1C%1]"_s.arg(k));
    const QString pathName = home.file(u"cc.tst"_s);
    ui.fileAnswers << pathName;
    init.caption = u"Init_CC"_s;
    ASSERT_TRUE(init.befehlssatzspeichern());
    EXPECT_EQ(init.caption, u"Init_CC"_s);  // only loading names the window
    const QByteArray bytes = *readFileBytes(pathName);
    EXPECT_EQ(bytes.count("\r\n"), 30);
    EXPECT_TRUE(bytes.startsWith("\"[1C0]\"\r\n"));
    EXPECT_EQ(motorFlag, 1);

    EXPECT_FALSE(init.befehlssatzladen());  // cancelled
    EXPECT_EQ(addressTable.arraybefehle_get(29), u"[1C29]"_s);

    for (int k = 0; k < 30; ++k)
        addressTable.arraybefehle_let(k, QString());
    ui.fileAnswers << pathName;
    ASSERT_TRUE(init.befehlssatzladen());
    EXPECT_EQ(init.fileText(), bytes);
    EXPECT_EQ(init.caption, u"cc.tst"_s);
    EXPECT_EQ(ui.fileRequests.last().filter, InitListCore::Filter);

    // The 30-line file into the 13-line list takes its first 13 lines.
    ui.fileAnswers << pathName;
    ASSERT_TRUE(init2.befehlssatzladen());
    EXPECT_EQ(list2.arraybefehle_get(12), u"[1C12]"_s);

    ValueFileWriter shortFile;
    shortFile.writeString(u"[0ST]"_s);
    ASSERT_TRUE(writeValueFile(home.file(u"kurz.tst"_s), shortFile.data()));
    ui.fileAnswers << home.file(u"kurz.tst"_s);
    EXPECT_FALSE(init2.befehlssatzladen());
    EXPECT_EQ(list2.arraybefehle_get(0), u"[0ST]"_s);
    EXPECT_EQ(list2.arraybefehle_get(1), QString());
    EXPECT_EQ(ui.texts(), (QStringList{u"Die Datei kurz.tst konnte nicht geladen werden!!"_s}));
}

TEST_F(InitList, FilesThatAreNotTextChangeNothingAndBoxesKeepToTheCodePage)
{
    for (int k = 0; k < 13; ++k)
        list2.arraybefehle_let(k, u"[0C%1]"_s.arg(k));
    init2.caption = u"Init_CCT"_s;
    ValueFileWriter w;
    for (int k = 0; k < 13; ++k)
        w.writeString(u"[0X%1]"_s.arg(k));
    QByteArray utf16("\xFF\xFE");
    for (const char c : w.data())
        utf16 += QByteArray(1, c) + QByteArray(1, '\0');
    QByteArray nul = w.data();
    nul[3] = '\0';
    QByteArray oneLine = w.data();
    oneLine.replace("\r\n", " ");
    const QByteArray pngBytes("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    for (const QByteArray& bytes : {utf16, nul, oneLine, pngBytes}) {
        ASSERT_TRUE(writeValueFile(home.file(u"x.tst"_s), bytes));
        ui.fileAnswers << home.file(u"x.tst"_s);
        EXPECT_FALSE(init2.befehlssatzladen());
        for (int k = 0; k < 13; ++k)
            EXPECT_EQ(list2.arraybefehle_get(k), u"[0C%1]"_s.arg(k));
        EXPECT_EQ(init2.caption, u"Init_CCT"_s);
    }
    EXPECT_EQ(ui.texts(), QStringList(4, u"Die Datei x.tst konnte nicht geladen werden!!"_s));
    EXPECT_EQ(motorFlag, 0);

    // A saved "Ã¼" comes back as "Ã¼", not as "ü".
    list2.arraybefehle_let(0, u"[0Ã¼]"_s);
    ui.fileAnswers << home.file(u"y.tst"_s);
    ASSERT_TRUE(init2.befehlssatzspeichern());
    const QByteArray savedBytes = *readFileBytes(home.file(u"y.tst"_s));
    list2.arraybefehle_let(0, QString());
    ui.fileAnswers << home.file(u"y.tst"_s);
    ASSERT_TRUE(init2.befehlssatzladen());
    EXPECT_EQ(list2.arraybefehle_get(0), u"[0Ã¼]"_s);
    EXPECT_EQ(init2.fileText(), savedBytes);

    // What the file cannot hold does not enter a box.
    init.text_Befehl[1].text = u"[1VN]Ω✓€"_s;
    init.text_Befehl_Change(1);
    EXPECT_EQ(init.text_Befehl[1].text, u"[1VN]€"_s);
    EXPECT_EQ(addressTable.arraybefehle_get(1), u"[1VN]€"_s);
}

}  // namespace
