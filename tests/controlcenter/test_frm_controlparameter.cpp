// The control-loop window opened by a control center's button in the main
// window, served by the main loop: binding, a recorded step response in the
// picture, and closing. With KELVANE_CONTROLLOOP_SCREENSHOT=<file.png> the
// recording test saves a picture of the window.

#include "AxisBench.h"

#include "ParamsContext.h"
#include "SimServoLoop.h"
#include "frm_Controlcenter.h"
#include "frm_controlparameter.h"
#include "frm_main.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace controlDesk;

namespace {

class FrmControlparameterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        installServoLoop(p.unit());
        main = std::make_unique<frm_main>(*p.core);
        params = std::make_unique<ParamsContext>(p.core->ui(), main->optionFlags(), [this](const QString& c) {
            return p.transport().senden_empfangen(c, 0, protocol::Rejection::Show);
        });
        params->store().axisRecordAt(1).Motfak_manuell = 1;
        params->store().axisRecordAt(1).Motfak = 1000;
        params->store().axisRecordAt(1).vmin = 0.01;
        params->store().axisRecordAt(1).vmax = 50;
        params->store().setSt(1, 0.001);
        main->komma_frage = dezimalkomma();
        main->setParameterIndex = [this](int i) { params->store().setIndex(i); };
        installControlCenter(*main, *params);
        installControlLoop(*main, *params);
        main->menuEntry(QStringLiteral("mnuAchsenAus(2)"))->setChecked(true);
        main->resize(1100, 800);
        main->show();
        main->mnuKontroll_Click();
        cc = dynamic_cast<frm_Controlcenter*>(main->CC.item(main->Fensterzaehler())->form());
        cc->core().setAddressesIndex(1);
        main->CC_Aktivieren(cc->core().Tag);
        ticks(2);
    }
    void TearDown() override
    {
        main.reset();
        params.reset();
    }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i) {
            p.clockSource->advance(0.002);
            main->mainLoop().Timer1_Timer();
        }
    }
    frm_controlparameter* windowUnderTest() const
    {
        return main->frm_controlparameter ? dynamic_cast<frm_controlparameter*>(main->frm_controlparameter->form())
                                          : nullptr;
    }

    AxisBench p;
    std::unique_ptr<frm_main> main;
    std::unique_ptr<ParamsContext> params;
    frm_Controlcenter* cc = nullptr;
};

}  // namespace

TEST_F(FrmControlparameterTest, ButtonBindsTheWindowWhichRecordsAStepIntoItsPicture)
{
    cc->ui.cmd_ControllP->click();
    frm_controlparameter* w = windowUnderTest();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->core().CCIndex, cc->core().Tag);
    EXPECT_TRUE(w->windowTitle().startsWith(QStringLiteral("Controlparameter --01")));
    EXPECT_EQ(cc->core().cmd_ControllP.colour, Green);
    ticks(3);
    EXPECT_EQ(w->ui.text_regelP_1->text(), QStringLiteral("7C"));
    EXPECT_EQ(w->ui.sb_regelkreisV_4->value(), 0x40);
    EXPECT_EQ(w->ui.lb_ST_Sec->text(), main->komma_frage ? QStringLiteral("1,000ms") : QStringLiteral("1.000ms"));
    // After a register write the distance box has the focus for the next step.
    w->ui.cmd_Diag_1->setFocus();
    w->ui.sb_regelkreisV_4->setValue(0x41);
    ticks(2);
    QWidget* focusField = w->focusWidget();
    EXPECT_TRUE(focusField == w->ui.text_strecke || focusField == w->ui.text_strecke->lineEdit())
        << (focusField ? focusField->objectName().toStdString() : std::string("none"));

    w->ui.ob_zeit_2->click();
    ticks(2);
    w->ui.text_strecke->setEditText(QStringLiteral("10"));
    w->ui.cmd_Diag_1->click();
    EXPECT_FALSE(w->ui.cmd_Diag_1->isEnabled());
    ticks(1);
    EXPECT_TRUE(w->ui.cmd_Diag_1->isEnabled());
    EXPECT_EQ(p.axis().position(), 10000);
    // The curve is in the drawing layer and stays there over a repaint.
    const QImage& layer = w->ui.RegelPantext->layer();
    int drawn = 0;
    for (int y = 0; y < layer.height(); ++y)
        for (int x = 0; x < layer.width(); ++x)
            drawn += qAlpha(layer.pixel(x, y)) > 0;
    EXPECT_GT(drawn, 100);
    w->ui.Check1->click();
    w->ui.cmd_Diag_2->click();
    ticks(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->ui.Vdia_1->text(), QStringLiteral("t=0,5s"));
    const QString file = qEnvironmentVariable("KELVANE_CONTROLLOOP_SCREENSHOT");
    if (!file.isEmpty())
        EXPECT_TRUE(w->grab().save(file));

    w->ui.cmd_exit->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(main->frm_controlparameter);
    EXPECT_EQ(cc->core().cmd_ControllP.colour, LightGray);
    ticks(1);
}

TEST_F(FrmControlparameterTest, DistanceBoxFiltersTheKeysTheOperatorTypesIntoIt)
{
    cc->ui.cmd_ControllP->click();
    frm_controlparameter* w = windowUnderTest();
    ASSERT_TRUE(w);
    QApplication::setActiveWindow(main.get());
    w->ui.text_strecke->setFocus();
    w->ui.text_strecke->clearEditText();
    // Keys reach the combo box, which has the focus, not its line edit.
    QTest::keyClicks(w->ui.text_strecke, QStringLiteral("-1a0+"));
    EXPECT_EQ(w->ui.text_strecke->currentText(), QStringLiteral("10"));
}
