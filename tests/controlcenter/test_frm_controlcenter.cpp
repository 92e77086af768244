// The control center window in the main window's MDI area, driven by the main
// loop: what the controls show, the key filters of the numeric boxes, the
// travel picture, and closing through the MDI frame. With
// KELVANE_CC_SCREENSHOT=<file.png> the moving-axis test also saves a picture.

#include "AxisBench.h"

#include "ParamsContext.h"
#include "frm_Controlcenter.h"
#include "frm_main.h"

#include "Format.h"

#include <QAction>
#include <QCheckBox>
#include <QRadioButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace controlDesk;

namespace {

class FrmControlcenterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        main = std::make_unique<frm_main>(*p.core);
        params = std::make_unique<ParamsContext>(p.core->ui(), main->optionFlags(), [this](const QString& c) {
            return p.transport().senden_empfangen(c, 0, protocol::Rejection::Show);
        });
        params->store().axisRecordAt(1).Motfak_manuell = 1;
        params->store().axisRecordAt(1).Motfak = 2000;
        params->store().axisRecordAt(1).vmin = 0.01;
        params->store().axisRecordAt(1).vmax = 50;
        main->komma_frage = dezimalkomma();
        main->setParameterIndex = [this](int i) { params->store().setIndex(i); };
        installControlCenter(*main, *params);
        main->menuEntry(QStringLiteral("mnuAchsenAus(2)"))->setChecked(true);
        main->resize(1100, 800);
        main->show();
    }
    void TearDown() override
    {
        main.reset();
        params.reset();
    }

    frm_Controlcenter* openForm()
    {
        main->mnuKontroll_Click();
        IControlCenter* cc = main->CC.item(main->Fensterzaehler());
        auto* w = cc ? dynamic_cast<frm_Controlcenter*>(cc->form()) : nullptr;
        if (w) {
            w->core().setAddressesIndex(1);
            main->CC_Aktivieren(w->core().Tag);
        }
        return w;
    }
    void ticks(int n, double dt = 0.002)
    {
        for (int i = 0; i < n; ++i) {
            p.clockSource->advance(dt);
            main->mainLoop().Timer1_Timer();
        }
    }

    AxisBench p;
    std::unique_ptr<frm_main> main;
    std::unique_ptr<ParamsContext> params;
};

}  // namespace

TEST_F(FrmControlcenterTest, MainLoopBringsTheWindowOnlineAndShowsThePosition)
{
    frm_Controlcenter* w = openForm();
    ASSERT_TRUE(w);
    EXPECT_GE(w->core().Width(), 6000);
    EXPECT_EQ(w->ui.cb_adressenauswahl->count(), 31);
    EXPECT_EQ(w->ui.cb_adressenauswahl->currentText(), QStringLiteral("01"));
    p.axis().setPosition(-1000);
    ticks(2);
    EXPECT_EQ(main->status(w->core().Tag), 1);
    EXPECT_EQ(w->ui.sh_an_aus->styleSheet().contains(bgrColor(Green).name()), true);
    EXPECT_EQ(w->ui.lb_POS->text(), QStringLiteral("-0.500000 mm"));
    EXPECT_TRUE(w->windowTitle().startsWith(QStringLiteral("01-")));
    EXPECT_TRUE(w->ui.cmd_Fahrt_1->isEnabled());
    EXPECT_EQ(w->ui.lb_Fehler->text(), QStringLiteral("[0ST]--->[0ST!00000000]"));
    // The bar shows what the controller holds (raw 50), and showing it posted nothing.
    EXPECT_EQ(w->ui.sli_v->value(), 50 - 32768);
    EXPECT_EQ(w->core().flagsenden, 0);
}

TEST_F(FrmControlcenterTest, ClickedMoveRunsAndTheButtonsComeBack)
{
    frm_Controlcenter* w = openForm();
    ASSERT_TRUE(w);
    ticks(2);
    w->ui.Fahrart_1->click();
    w->ui.text_strecke->setEditText(QStringLiteral("0.5"));
    w->ui.cmd_Fahrt_0->click();
    EXPECT_EQ(w->core().Befehl_senden, QStringLiteral("[1FRFFFFFC18]"));
    ticks(1);
    EXPECT_FALSE(w->ui.cmd_Fahrt_0->isEnabled());
    ticks(100, 0.005);
    EXPECT_TRUE(w->ui.cmd_Fahrt_0->isEnabled());
    EXPECT_EQ(p.axis().position(), -1000);
    EXPECT_EQ(w->ui.lb_POS->text(), QStringLiteral("-0.500000 mm"));
}

TEST_F(FrmControlcenterTest, NumericBoxesTakeOnlyTheLocaleSeparatorAndEnterSends)
{
    ScopedLocale de(QLocale::German, QLocale::Germany);
    main->komma_frage = true;
    frm_Controlcenter* w = openForm();
    ASSERT_TRUE(w);
    ticks(2);
    QApplication::setActiveWindow(main.get());
    w->ui.text_Geschwindigkeit->setFocus();
    w->ui.text_Geschwindigkeit->clear();
    QTest::keyClicks(w->ui.text_Geschwindigkeit, QStringLiteral("1.5x"));
    EXPECT_EQ(w->ui.text_Geschwindigkeit->text(), QStringLiteral("15"));
    w->ui.text_Geschwindigkeit->clear();
    QTest::keyClicks(w->ui.text_Geschwindigkeit, QStringLiteral("1,5"));
    EXPECT_EQ(w->ui.text_Geschwindigkeit->text(), QStringLiteral("1,5"));
    QTest::keyClick(w->ui.text_Geschwindigkeit, Qt::Key_Return);
    EXPECT_TRUE(w->ui.cmd_STOPP->hasFocus());
    EXPECT_EQ(w->core().Befehl_senden, QStringLiteral("[1VP0096]"));
    EXPECT_EQ(w->ui.text_Geschwindigkeit->text(), QStringLiteral("1,5000"));
    // Minus is allowed only in the software-limit boxes.
    w->ui.text_SLM->clear();
    QTest::keyClicks(w->ui.text_SLM, QStringLiteral("-2"));
    EXPECT_EQ(w->ui.text_SLM->text(), QStringLiteral("-2"));
    w->ui.text_strecke->lineEdit()->clear();
    QTest::keyClicks(w->ui.text_strecke->lineEdit(), QStringLiteral("-2"));
    EXPECT_EQ(w->ui.text_strecke->currentText(), QStringLiteral("2"));
    EXPECT_EQ(w->ui.text_strecke->itemText(9), QStringLiteral("42,5"));
}

TEST_F(FrmControlcenterTest, ClosingTheSubWindowStopsTheAxisAndLeavesTheRegistry)
{
    frm_Controlcenter* w = openForm();
    ASSERT_TRUE(w);
    ticks(2);
    w->ui.text_strecke->setEditText(QStringLiteral("100"));
    w->ui.cmd_Fahrt_1->click();
    ticks(1);
    ASSERT_TRUE(p.axis().isMoving());
    QMdiSubWindow* sub = main->subWindowOf(&w->core());
    ASSERT_TRUE(sub);
    sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(p.axis().isMoving());
    EXPECT_TRUE(main->CC.isEmpty());
    EXPECT_EQ(main->CC_I, 0);
    ticks(1);  // nothing left to serve
}

TEST_F(FrmControlcenterTest, MovingAxisPicture)
{
    frm_Controlcenter* w = openForm();
    ASSERT_TRUE(w);
    main->subWindowOf(&w->core())->resize(w->minimumSizeHint().expandedTo(QSize(720, 420)));
    p.axis().model().setPlusSwitch(60000);
    p.axis().model().setParameter("0PS", "X stage             ");
    ticks(2);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("01-X stage             "));
    w->ui.cb_IN->click();
    w->core().setLine_schlitten(200, DarkGreen);
    w->core().Grenze_minus = -20000;
    w->core().Grenze_plus = 80000;
    w->core().Grafikmassstab = 100000.0 / (ControlCenterCore::PictureWidth - 32);
    w->ui.text_strecke->setEditText(QStringLiteral("20"));
    w->ui.cmd_Fahrt_1->click();
    ticks(40, 0.01);
    EXPECT_TRUE(p.axis().isMoving());
    EXPECT_FALSE(w->ui.cmd_Fahrt_1->isEnabled());
    EXPECT_GT(w->core().line_schlitten_Left(), 200);
    // The picture is as wide as its scale, also in a wider window: the plus
    // end lies at its right edge.
    EXPECT_EQ(w->ui.pb_Grafikunterstuetzung->width(), ControlCenterCore::PictureWidth);
    const QString file = qEnvironmentVariable("KELVANE_CC_SCREENSHOT");
    if (!file.isEmpty()) {
        EXPECT_TRUE(main->grab().save(file));
    }
}

TEST_F(FrmControlcenterTest, ClicksOnTheTravelPictureChooseTheRunAndTheCarriageFollows)
{
    frm_Controlcenter* w = openForm();
    ASSERT_TRUE(w);
    p.axis().model().setMinusSwitch(-20000);
    p.axis().model().setPlusSwitch(50000);
    ticks(2);
    // Right button: the high-resolution run; answered No it marks the picture invalid.
    p.uiServices->answers << MsgResult::No;
    QTest::mouseClick(w->ui.pb_Grafikunterstuetzung, Qt::RightButton);
    EXPECT_EQ(w->core().FlagGrafikInit, 1);
    ticks(1);
    EXPECT_EQ(p.uiServices->messages.last().text, ControlCenterCore::GraphicsQuestionFine);
    EXPECT_EQ(w->core().line_schlitten_BackColor(), Red);

    // Left button: the simple run, answered Yes.
    QTest::mouseClick(w->ui.pb_Grafikunterstuetzung, Qt::LeftButton);
    EXPECT_EQ(w->core().FlagGrafikInit, 2);
    ticks(1, 0.05);
    EXPECT_EQ(p.uiServices->messages.last().text, ControlCenterCore::GraphicsQuestionSimple);
    EXPECT_FALSE(w->ui.pb_Grafikunterstuetzung->isEnabled());
    EXPECT_FALSE(w->ui.cmd_Fahrt_1->isEnabled());
    EXPECT_TRUE(w->ui.cmd_STOPP->isEnabled());
    for (int i = 0; i < 2000 && w->core().FlagGrafikInit != 0; ++i)
        ticks(1, 0.05);
    ASSERT_EQ(w->core().FlagGrafikInit, 0);
    EXPECT_EQ(w->core().line_schlitten_BackColor(), DarkGreen);
    EXPECT_TRUE(w->ui.pb_Grafikunterstuetzung->isEnabled());
    EXPECT_TRUE(w->ui.cmd_Fahrt_1->isEnabled());
    EXPECT_DOUBLE_EQ(w->core().Grenze_minus, -20000);
    EXPECT_DOUBLE_EQ(w->core().Grenze_plus, 50000);
    EXPECT_EQ(p.axis().model().parameter("1VP"), QByteArray("0032"));
    // The carriage stands at the start position, 20000 counts from the minus end.
    ticks(2);
    EXPECT_EQ(w->core().line_schlitten_Left(), int(std::round(20000 / w->core().Grafikmassstab + 11)));
}

TEST_F(FrmControlcenterTest, DistanceBoxFiltersTheKeysTheOperatorTypesIntoIt)
{
    frm_Controlcenter* w = openForm();
    ASSERT_TRUE(w);
    ticks(2);
    QApplication::setActiveWindow(main.get());
    w->ui.Fahrart_1->click();
    // Keys reach the combo box, which has the focus, not its line edit.
    w->ui.text_strecke->setFocus();
    w->ui.text_strecke->clearEditText();
    QTest::keyClicks(w->ui.text_strecke, main->komma_frage ? QStringLiteral("-2x,5") : QStringLiteral("-2x.5"));
    EXPECT_EQ(w->ui.text_strecke->currentText(), main->komma_frage ? QStringLiteral("2,5") : QStringLiteral("2.5"));
    QTest::keyClick(w->ui.text_strecke, Qt::Key_Return);
    EXPECT_TRUE(w->ui.cmd_STOPP->hasFocus());
    w->ui.cmd_Fahrt_1->click();
    // 2.5 mm at 2000 counts per mm, in the plus direction.
    EXPECT_EQ(w->core().Befehl_senden, QStringLiteral("[1FR00001388]"));
}

TEST_F(FrmControlcenterTest, LabelsToggleOnAnyButtonAndTheIndexSearchOnlyOnTheMouse)
{
    frm_Controlcenter* w = openForm();
    ASSERT_TRUE(w);
    ticks(2);
    ControlCenterCore& c = w->core();
    // The result line: right, then middle button; it takes the size of its view.
    EXPECT_EQ(w->ui.lb_Fehler->size(), QSize(411, 25));
    QTest::mouseClick(w->ui.lb_Fehler, Qt::RightButton);
    EXPECT_EQ(c.Fehlerzeile_gross, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->ui.lb_Fehler->size(), QSize(464, 460));
    EXPECT_GE(w->height(), 460);
    QTest::mouseClick(w->ui.lb_Fehler, Qt::MiddleButton);
    EXPECT_EQ(c.Fehlerzeile_gross, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->ui.lb_Fehler->size(), QSize(411, 25));
    // The joystick speed label, in joystick mode.
    w->ui.Fahrart_2->click();
    ASSERT_TRUE(w->ui.lb_joyart->isEnabled());
    const QString speed = w->ui.lb_joyart->text();
    QTest::mouseClick(w->ui.lb_joyart, Qt::RightButton);
    EXPECT_NE(w->ui.lb_joyart->text(), speed);
    EXPECT_TRUE(c.Befehl_senden.startsWith(QStringLiteral("[1BR][1C"))) << qPrintable(c.Befehl_senden);
    w->ui.cmd_STOPP->click();
    ticks(1);
    // Space on the index search button arms nothing; the left button does.
    c.Befehl_senden.clear();
    c.flagsenden = 0;
    QApplication::setActiveWindow(main.get());
    w->ui.cmd_IndexSuche->setFocus();
    QTest::keyClick(w->ui.cmd_IndexSuche, Qt::Key_Space);
    EXPECT_EQ(c.cmd_IndexSuche.colour, Gray);
    EXPECT_EQ(c.flagsenden, 0);
    QTest::mouseClick(w->ui.cmd_IndexSuche, Qt::LeftButton);
    EXPECT_EQ(c.cmd_IndexSuche.colour, DarkYellow);
    EXPECT_EQ(c.Befehl_senden, QStringLiteral("[1IF]"));
}

TEST_F(FrmControlcenterTest, ClickingTheSelectedOptionAgainKeepsItShown)
{
    frm_Controlcenter* w = openForm();
    ASSERT_TRUE(w);
    ticks(2);
    ASSERT_TRUE(w->ui.Fahrart_0->isChecked());
    ASSERT_TRUE(w->ui.ob_Fahrart2_0->isChecked());
    // The mode and the drive type stay selected, so the options must show them.
    w->ui.Fahrart_0->click();
    w->ui.ob_Fahrart2_0->click();
    EXPECT_TRUE(w->ui.Fahrart_0->isChecked());
    EXPECT_TRUE(w->ui.ob_Fahrart2_0->isChecked());
    w->ui.cmd_Fahrt_1->click();
    EXPECT_EQ(w->core().Befehl_senden, QStringLiteral("[1FA000000C8]"));
}

TEST_F(FrmControlcenterTest, PortLostDuringAReferenceRunShowsOneBox)
{
    frm_Controlcenter* w = openForm();
    ASSERT_TRUE(w);
    p.axis().model().setPlusSwitch(50000);
    ticks(2);
    p.uiServices->answers << MsgResult::Yes;
    QTest::mouseClick(w->ui.pb_Grafikunterstuetzung, Qt::LeftButton);
    ticks(20, 0.05);
    ASSERT_EQ(w->core().FlagGrafikInit, 2);
    p.uiServices->clear();
    static_cast<SimSerialPort&>(p.core->serial()).setFarEndClosed(true);
    // The run gives up on its unit and stops it: the report of the loss covers that.
    for (int i = 0; i < 50; ++i) {
        ticks(1, 0.05);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(w->core().FlagGrafikInit, 0);
    EXPECT_EQ(p.uiServices->texts().size(), 1) << qPrintable(p.uiServices->texts().join(QStringLiteral(" | ")));
}
