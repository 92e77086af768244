// The sequence window opened from "Service → Ablauf" on the demonstration bus:
// the main window is held and disabled while it is open, a run typed into the
// line boxes goes through the event loop, the exit button gives everything
// back, and the close box ends the program. With KELVANE_SEQUENCE_SCREENSHOT=
// <file.png> the run is also saved as a picture.
#include "Clock.h"
#include "CoreContext.h"
#include "DemoBench.h"
#include "DemoBus.h"
#include "InstallSequences.h"
#include "MenuNames.h"
#include "Settings.h"
#include "SimAxis.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "TestSupport.h"
#include "UiServices.h"
#include "frm_ablauf.h"
#include "frm_main.h"
#include "frm_multiterm.h"
#include "frm_init.h"
#include "frm_Controlcenter.h"
#include "InitListCore.h"
#include "ParamsContext.h"
#include "CommandList.h"
#include "ValueFile.h"
#include <QScrollBar>

#include <array>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class FrmAblaufTest : public ::testing::Test, protected DemoBench
{
protected:
    FrmAblaufTest()
    {
        frame = std::make_unique<frm_main>(*core);
        params = std::make_unique<ParamsContext>(core->ui(), frame->optionFlags(), core->transport());
        windowUnderTest = &installSequences(*frame, *params);
        ControlCenterTools tools;
        tools.initWindow = [this] { return windowUnderTest->initWindow(); };
        tools.existingInitWindow = [this] { return windowUnderTest->existingInitWindow(); };
        installControlCenter(*frame, *params, tools);
        frame->show();
    }
    ~FrmAblaufTest() override
    {
        frame.reset();
        params.reset();
    }

    frm_ablauf* openForm()
    {
        frame->menuEntry(Menu::Ablauf)->trigger();
        return windowUnderTest->seqtext;
    }

    void waitUntilEnd(frm_ablauf& w)
    {
        QElapsedTimer t;
        t.start();
        while (w.core().isRunning() && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    std::unique_ptr<frm_main> frame;
    std::unique_ptr<ParamsContext> params;
    SequenceWindows* windowUnderTest = nullptr;
};

TEST_F(FrmAblaufTest, RunsATypedSequenceWhileTheMainWindowIsHeld)
{
    frm_ablauf* w = openForm();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(frame->isEnabled());
    EXPECT_TRUE(frame->timer1Holders().contains(Menu::Ablauf));
    EXPECT_TRUE(w->isEnabled());
    // The start file is missing in a fresh program folder.
    EXPECT_EQ(uiServices->messages.size(), 1);
    EXPECT_EQ(w->findChildren<QLineEdit*>(QRegularExpression(u"^pZeile_\\d+$"_s)).size(), 87);

    const QStringList sequenceLines = {u"MF/0/1/1000"_s,           u"MF/0/2/1000"_s, u"MB/0/1/1/1000/Achse X"_s,
                                       u"MB/0/2/1/1000/Achse Y"_s, u"MA/0/1/12.5"_s, u"MA/0/2/-3"_s,
                                       u"QV/0/2/version [0VN]"_s,  u"GX/0/1"_s};
    for (int i = 0; i < sequenceLines.size(); ++i) {
        auto* e = w->findChild<QLineEdit*>(u"pZeile_%1"_s.arg(i));
        QTest::keyClicks(e, sequenceLines[i]);
    }
    w->findChild<QLineEdit*>(u"pZeile_9"_s)->setFocus();
    QTest::keyClicks(w->findChild<QLineEdit*>(u"pZeile_9"_s), u"CE/\"x"_s);
    EXPECT_EQ(w->core().pZeile[9].text, u"CE/x"_s);
    w->core().Don0.checked = true;
    w->render();
    w->findChild<QLineEdit*>(u"pZeile_3"_s)->setFocus();
    w->findChild<QPushButton*>(u"CStart"_s)->click();
    EXPECT_FALSE(w->findChild<QPushButton*>(u"CStart"_s)->isEnabled());
    waitUntilEnd(*w);
    w->core().Timer1_Timer();
    w->render();
    EXPECT_EQ(SimAxis(*bus, u"01"_s).position(), 12345);  // the index mark ends "[1GX]"
    EXPECT_EQ(SimAxis(*bus, u"02"_s).position(), -3);
    EXPECT_EQ(w->findChild<QLabel*>(u"LHinweis"_s)->text(), u" Ablauf Ende "_s);
    EXPECT_EQ(w->findChild<QLabel*>(u"Display_1"_s)->text(), u"-0.00300"_s);  // eight digits, scaled
    EXPECT_TRUE(w->findChild<QPushButton*>(u"CStart"_s)->isEnabled());
    EXPECT_EQ(w->focusWidget(), w->findChild<QPushButton*>(u"CStart"_s));  // ready for the next run
    const QString screenshotPath = qEnvironmentVariable("KELVANE_SEQUENCE_SCREENSHOT");
    if (!screenshotPath.isEmpty())
        w->grab().save(screenshotPath);

    // The editor shows the lines, and the box holds exactly the core's text.
    w->findChild<QPushButton*>(u"CTST4"_s)->click();
    EXPECT_EQ(w->findChild<QPlainTextEdit*>(u"TEdit"_s)->toPlainText(), w->core().TEdit.text);
    EXPECT_TRUE(w->core().TEdit.text.startsWith(u"MF/0/1/1000\n"_s));

    // A port lost during a run is told once, by the main window.
    auto& port = static_cast<SimSerialPort&>(core->serial());
    port.setFarEndClosed(true);
    w->findChild<QPushButton*>(u"CStart"_s)->click();
    waitUntilEnd(*w);
    QCoreApplication::processEvents();
    ASSERT_EQ(uiServices->messages.size(), 2) << qPrintable(uiServices->texts().join(u" | "_s));
    EXPECT_TRUE(uiServices->messages[1].text.startsWith(u"Verbindung zu COM1 verloren"_s));
    port.setFarEndClosed(false);
    ASSERT_TRUE(port.open());

    w->findChild<QPushButton*>(u"cmd_exit"_s)->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_EQ(frame->com_motflag, 1);
    EXPECT_FALSE(frame->timer1Holders().contains(Menu::Ablauf));
    EXPECT_EQ(w->core().lNA.text, u"0"_s);
    EXPECT_EQ(openForm(), w);  // the same window comes back with its lines
    EXPECT_EQ(w->core().pZeile[0].text, u"MF/0/1/1000"_s);
}

TEST_F(FrmAblaufTest, CloseBoxEndsTheProgram)
{
    frm_ablauf* w = openForm();
    ASSERT_NE(w, nullptr);
    w->close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame->isUnloaded());
    EXPECT_FALSE(frame->timer1Holders().contains(Menu::Ablauf));
}

TEST_F(FrmAblaufTest, TerminalCloseBoxEndsTheProgramAndProbeListPostsToNobody)
{
    // Without a probe window the probe list's ">" changes nothing.
    frm_init2* addressTable = windowUnderTest->initWindow2();
    ASSERT_NE(addressTable, nullptr);
    addressTable->cmd_Init(1);
    EXPECT_EQ(addressTable->windowTitle(), u"Init_CCT"_s);
    addressTable->findChild<QPushButton*>(u"cmd_senden_0"_s)->click();
    EXPECT_EQ(frame->currentProbeWindow(), nullptr);

    frame->menuEntry(Menu::MultiT)->trigger();
    ASSERT_NE(windowUnderTest->multiterm, nullptr);
    windowUnderTest->multiterm->close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame->isUnloaded());
}

TEST_F(FrmAblaufTest, TerminalSendsAllRowsAndGivesTheMainWindowBack)
{
    frame->menuEntry(Menu::MultiT)->trigger();
    frm_multiterm* t = windowUnderTest->multiterm;
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(frame->isEnabled());
    EXPECT_TRUE(frame->timer1Holders().contains(Menu::MultiT));
    EXPECT_EQ(t->windowTitle(), u"Multiterm"_s);
    const QStringList unitAddresses = {u"01"_s, u"02"_s, u"21"_s, u"11"_s};
    for (int i = 0; i < unitAddresses.size(); ++i) {
        QTest::keyClicks(t->findChild<QLineEdit*>(u"Text1_%1"_s.arg(i)), unitAddresses[i] + u"x"_s);
        auto* cmdText = t->findChild<QLineEdit*>(u"tsend_%1"_s.arg(i));
        cmdText->clear();
        QTest::keyClicks(cmdText, i % 2 ? u"[0VN]"_s : u"[0ST]"_s);
        t->findChild<QCheckBox*>(u"csend_%1"_s.arg(i))->click();
    }
    EXPECT_EQ(t->core().Text1[0].text, u"01"_s);  // only hexadecimal digits enter an address
    t->findChild<QCheckBox*>(u"csend_15"_s)->click();
    t->findChild<QPushButton*>(u"CSenden"_s)->click();
    EXPECT_EQ(t->findChild<QLineEdit*>(u"tempf_1"_s)->text(), u"[0VN!Mot V1]"_s);
    EXPECT_EQ(t->findChild<QLineEdit*>(u"tempf_15"_s)->text(), u"[0ST!00000000]"_s);
    // Rows saved, an address typed over, the rows loaded again: the box shows the loaded address.
    uiServices->fileAnswers << home.file(u"rows.qvt"_s) << home.file(u"rows.qvt"_s);
    t->findChild<QPushButton*>(u"pTestsp"_s)->click();
    auto* modul = t->findChild<QLineEdit*>(u"Text1_1"_s);
    modul->selectAll();
    QTest::keyClicks(modul, u"07"_s);
    t->findChild<QPushButton*>(u"ptestld"_s)->click();
    EXPECT_EQ(modul->text(), u"02"_s);
    // A long unanswered command in the error box stays inside the box.
    const int width = t->width();
    t->core().lFehler.text = u"1"_s + QString(400, u'x') + u" [0ST] "_s + QString(400, u'y');
    t->render();
    QCoreApplication::processEvents();
    EXPECT_EQ(t->width(), width);
    EXPECT_LT(t->findChild<QPushButton*>(u"cmd_exit"_s)->geometry().right(), width);
    const QString screenshotPath = qEnvironmentVariable("KELVANE_TERMINAL_SCREENSHOT");
    if (!screenshotPath.isEmpty())
        t->grab().save(screenshotPath);
    // "Dauer" runs on the window's timer until the box is cleared.
    t->findChild<QCheckBox*>(u"cDauer"_s)->click();
    EXPECT_TRUE(t->Timer1.isActive());
    EXPECT_TRUE(QTest::qWaitFor([t] { return t->core().Dauerzaehler > 0; }, 10000));
    t->findChild<QCheckBox*>(u"cDauer"_s)->click();
    EXPECT_FALSE(t->Timer1.isActive());
    t->findChild<QPushButton*>(u"cmd_exit"_s)->click();
    EXPECT_FALSE(t->isVisible());
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_FALSE(frame->timer1Holders().contains(Menu::MultiT));
}

TEST_F(FrmAblaufTest, InitListPostsIntoTheBoundControlCenterAndTheMenusKeepTstFiles)
{
    frame->mnuKontroll_Click();
    IControlCenter* cc = frame->CC.item(frame->Fensterzaehler());
    ASSERT_NE(cc, nullptr);
    IInitWindow* iw = windowUnderTest->initWindow();
    ASSERT_NE(iw, nullptr);
    frame->menuEntry(Menu::IR)->setChecked(true);  // "Init-Regler": the slider part shows
    iw->an_aus = 0;
    iw->CCIndex = cc->Tag;
    iw->SetFocus();
    EXPECT_EQ(iw->an_aus, 1);
    EXPECT_EQ(frame->CC_I, cc->Tag);
    auto* w = windowUnderTest->init;
    EXPECT_EQ(w->windowTitle(), u"Init_CC"_s);
    EXPECT_EQ(w->width(), 5190 / 15);
    EXPECT_EQ(w->findChildren<QLineEdit*>(QRegularExpression(u"^text_Befehl_\\d+$"_s)).size(), 30);
    auto* zeile = w->findChild<QLineEdit*>(u"text_Befehl_2"_s);
    QTest::keyClicks(zeile, u"[0VN]"_s);
    EXPECT_EQ(params->init().arraybefehle_get(2), u"[0VN]"_s);
    QTest::keyClick(zeile, Qt::Key_Return);
    EXPECT_EQ(cc->Befehl_senden, u"[0VN]"_s);
    EXPECT_EQ(cc->flagsenden, 1);
    // The program shows a register reading: nothing is posted.
    cc->flagsenden = 0;
    iw->setSli_wert(-7);
    EXPECT_EQ(w->findChild<QScrollBar*>(u"sli_wert"_s)->value(), -7);
    EXPECT_EQ(cc->flagsenden, 0);
    w->findChild<QScrollBar*>(u"sli_wert"_s)->setValue(127);
    EXPECT_EQ(cc->Befehl_senden, u"[1EW07F0]"_s);
    const QString screenshotPath = qEnvironmentVariable("KELVANE_INIT_SCREENSHOT");
    if (!screenshotPath.isEmpty())
        w->grab().save(screenshotPath);

    // "CC_Befehlssatz speichern" and "laden" from the file menu.
    const QString pathName = home.file(u"cc.tst"_s);
    uiServices->fileAnswers << pathName;
    frame->menuEntry(Menu::Befehlssatzspeichern)->trigger();
    params->init().arraybefehle_let(2, QString());
    uiServices->fileAnswers << pathName;
    frame->menuEntry(Menu::Befehlssatzladen)->trigger();
    EXPECT_EQ(zeile->text(), u"[0VN]"_s);
    EXPECT_EQ(readFileBytes(pathName)->count("\r\n"), 30);
    w->close();
    EXPECT_EQ(params->init().arraybefehle_get(2), u"[0VN]"_s);
}

}  // namespace

namespace {

TEST_F(FrmAblaufTest, InitButtonsShowTheBindingAndListLoadsLeaveTheCurrentWindows)
{
    frame->mnuKontroll_Click();
    auto* centerOne = dynamic_cast<ControlCenterCore*>(frame->CC.item(frame->Fensterzaehler()));
    frame->mnuKontroll_Click();
    auto* two = dynamic_cast<ControlCenterCore*>(frame->CC.item(frame->Fensterzaehler()));
    ASSERT_NE(centerOne, nullptr);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(centerOne->cmd_Init.colour, 0xE0E0E0u);
    centerOne->cmd_Init_Click();
    EXPECT_EQ(centerOne->cmd_Init.colour, 0xC000u);  // bound: green
    two->cmd_Init_Click();
    EXPECT_EQ(centerOne->cmd_Init.colour, 0xE0E0E0u);  // taken over: grey again
    EXPECT_EQ(two->cmd_Init.colour, 0xC000u);
    EXPECT_EQ(frame->CC_I, two->Tag);

    // The probe list serves probe window 1; the operator then works with 2.
    frm_init2* addressTable = windowUnderTest->initWindow2();
    ASSERT_NE(addressTable, nullptr);
    addressTable->cmd_Init(1);
    EXPECT_EQ(frame->CCT_I, 1);
    frame->CCT_I = 2;
    frame->CC_I = centerOne->Tag;
    params->init2().arraybefehle_let(0, u"[0VN]"_s);
    params->init().arraybefehle_let(0, u"[1VP0032]"_s);
    // Every file-menu load, also a cancelled one, only shows the lists.
    const auto menus = std::to_array<std::function<void()>>({
        [this] { frame->menuEntry(Menu::sekbefehlssatzladen)->trigger(); },
        [this] { frame->menuEntry(Menu::Befehlssatzladen)->trigger(); },
        [this] { frame->mnuLaden_Click(); },
        [this] { frame->mnu_SKladen_Click(); },
    });
    for (std::size_t m = 0; m < menus.size(); ++m) {
        SCOPED_TRACE(m);
        menus[m]();
        EXPECT_EQ(frame->CCT_I, 2);
        EXPECT_EQ(frame->CC_I, centerOne->Tag);
    }
    params->init2().arraybefehle_let(0, u"[0VN]"_s);
    frame->mnu_SKladen_Click();
    EXPECT_EQ(addressTable->findChild<QLineEdit*>(u"text_Befehl_0"_s)->text(), u"[0VN]"_s);
    EXPECT_EQ(two->cmd_Init.colour, 0xC000u);

    windowUnderTest->init->close();
    EXPECT_EQ(two->cmd_Init.colour, 0xE0E0E0u);  // the list window went: grey
}

}  // namespace

namespace {

TEST_F(FrmAblaufTest, ReopenedTerminalWaitsForContinuousToBeTickedAgain)
{
    frame->menuEntry(Menu::MultiT)->trigger();
    frm_multiterm* t = windowUnderTest->multiterm;
    ASSERT_NE(t, nullptr);
    auto* continuousBox = t->findChild<QCheckBox*>(u"cDauer"_s);
    continuousBox->click();
    ASSERT_TRUE(t->Timer1.isActive());
    t->findChild<QPushButton*>(u"cmd_exit"_s)->click();
    EXPECT_FALSE(t->Timer1.isActive());

    frame->menuEntry(Menu::MultiT)->trigger();
    EXPECT_TRUE(t->isVisible());
    const int zaehler = t->core().Dauerzaehler;
    QTest::qWait(100);
    EXPECT_FALSE(t->Timer1.isActive());
    EXPECT_EQ(t->core().Dauerzaehler, zaehler);
    // Ticking the box again starts the passes anew.
    continuousBox->click();
    continuousBox->click();
    EXPECT_TRUE(t->Timer1.isActive());
    EXPECT_EQ(t->core().Dauerzaehler, 0);
    t->findChild<QPushButton*>(u"cmd_exit"_s)->click();
}

}  // namespace
