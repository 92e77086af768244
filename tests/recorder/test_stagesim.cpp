// The stage simulator against two simulated axes: opening through the menu,
// the objective's grid and labels, re-centring, the speed bars and the
// joystick mode as the main loop sends them, and the fast loop's exits.
#include "MainWindowDoubles.h"

#include "InstallRecorder.h"
#include "ParamsContext.h"
#include "SimJoystick.h"
#include "SimStage.h"
#include "frm_MSim.h"
#include "frm_main.h"

#include <QAction>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QCoreApplication>
#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

class StageSimTest : public ::testing::Test
{
protected:
    StageSimTest()
    {
        for (const QString& a : {QStringLiteral("01"), QStringLiteral("02")}) {
            addStageAnswers(*wb.bus, a);
            installJoystickInput(wb.unit(a));
        }
        installRecorder(frame, params);
    }
    StageSimCore& open()
    {
        frame.CC.add(1, &cc);
        frame.menuEntry(Menu::MSim)->trigger();
        sim = &static_cast<StageSimCore&>(*frame.frm_MSim);
        return *sim;
    }
    // Stands axis 01 at x mm and 02 at y mm (motor factor 5217 counts/mm).
    void stand(double x, double y)
    {
        wb.axis(QStringLiteral("01")).setPosition(qint32(std::lround(x * 5217)));
        wb.axis(QStringLiteral("02")).setPosition(qint32(std::lround(y * 5217)));
    }
    // One main-loop tick's service of the simulator: the pending sends.
    QStringList tick()
    {
        wb.bus->clearTraffic();
        if (sim->flagCC >= 1) {
            sim->sende();
            sim->flagCC = 0;
        }
        return wb.traffic();
    }
    QStringList labels(int from, int to) const
    {
        QStringList out;
        for (int i = from; i <= to; ++i)
            out << sim->scaleLabels[std::size_t(i)].text;
        return out;
    }

    SimWorkbench wb;
    frm_main frame{*wb.core};
    ParamsContext params{wb.core->ui(), frame.optionFlags(), wb.core->transport()};
    EventLog log;
    ControlCenterDouble cc{log};
    StageSimCore* sim = nullptr;
};

TEST_F(StageSimTest, MenuNeedsAControlCenterAndOpensWithObjective100)
{
    frame.menuEntry(Menu::MSim)->trigger();
    EXPECT_EQ(wb.dialogs->messages.value(0).text, QStringLiteral("Öffnen sie vorher ein Controlcenter zur Sicherheit"));
    EXPECT_EQ(frame.frm_MSim, nullptr);

    StageSimCore& s = open();
    EXPECT_EQ(s.Combo1.listIndex, 4);
    EXPECT_EQ(s.sichtfeld, 0.24);
    EXPECT_FALSE(s.gridBox.isEmpty());
    // Slow joystick mode is pending from the start.
    EXPECT_EQ(tick(), (QStringList{"01 [1BR]", "01 [1Cj]", "02 [1BR]", "02 [1Cj]"}));
}

TEST_F(StageSimTest, ObjectiveLabelsAndGrid)
{
    StageSimCore& s = open();
    s.setCombo1ListIndex(6);  // "20"
    EXPECT_EQ(labels(StageSimCore::Label4, StageSimCore::LabelX),
              (QStringList{"0.600", "0.300", "0.000", "-0.300", "-0.600"}));
    EXPECT_EQ(labels(StageSimCore::LabelY, StageSimCore::Label0),
              (QStringList{"-0.600", "-0.300", "0.000", "0.300", "0.600"}));

    s.setCombo1ListIndex(9);  // "1,0": lines every 10 twips along the edge
    EXPECT_EQ(s.gridBox.value(4).p1(), QPointF(5990, 0));

    s.setCombo1ListIndex(0);  // "1000": one diagonal across the field
    ASSERT_EQ(s.gridBox.size(), 2);
    EXPECT_EQ(s.gridBox[0], QLineF(0, 0, 6000, 6000));
    auto* w = static_cast<frm_MSim*>(s.form());
    w->render();
    const QImage picture = w->pb_gitter()->grab().toImage();
    EXPECT_EQ(picture.pixelColor(50, 50), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(picture.pixelColor(350, 50), QColor(Qt::white));
    EXPECT_EQ(picture.pixelColor(100, 300), QColor(Qt::white));
}

TEST_F(StageSimTest, SpeedBarsSendOnTheNextTickPerAxis)
{
    StageSimCore& s = open();
    tick();
    s.ScrollX.value = -3;
    s.Scroll_Scroll(0);
    EXPECT_EQ(s.lb_cc_2.text, "-3");
    EXPECT_EQ(tick(), QStringList{"01 [1CcFD]"});
    // The simulated stage runs at three steps backwards meanwhile.
    wb.clock->advance(0.5);
    s.pb_gitter_MouseDown();
    EXPECT_NEAR(s.refX, -3 * kStageCountsPerStep * 0.5 / 5217, 0.01);
    s.Scroll_Change(0);
    EXPECT_EQ(s.ScrollX.value, 0);
    EXPECT_EQ(s.lb_cc_2.text, "0");
    // A Y drag before the tick keeps the X stop.
    s.ScrollY.value = 14;
    s.Scroll_Scroll(1);
    EXPECT_EQ(tick(), (QStringList{"01 [1Cc00]", "02 [1Cc0E]"}));
    EXPECT_TRUE(tick().isEmpty());

    s.Option1[0].checked = true;
    s.Option1_Click(0);
    frame.com_motflag = 0;
    EXPECT_EQ(tick(), (QStringList{"01 [1BR]", "01 [1CJ]", "02 [1BR]", "02 [1CJ]"}));
    EXPECT_EQ(frame.com_motflag, 1);
}

TEST_F(StageSimTest, RecentringAndPolling)
{
    StageSimCore& s = open();
    stand(1.5, -2);
    s.pb_gitter_MouseDown();
    EXPECT_EQ(s.scaleLabels[StageSimCore::LabelXM].text, "1.500");
    EXPECT_EQ(s.scaleLabels[StageSimCore::LabelYM].text, "-2.000");
    EXPECT_EQ(s.scaleLabels[StageSimCore::Label4].text, "1.620");

    s.cb_messen.checked = true;
    s.cb_messen_MouseUp(1);
    EXPECT_EQ(s.flagaktiv, 1);
    EXPECT_FALSE(s.Combo1.enabled);
    EXPECT_FALSE(s.cb_messenschnell.enabled);
    EXPECT_EQ(s.cb_messen.text, "Stop");
    EXPECT_NEAR(s.shape1Left, 3000 - 187.5, 1);
    EXPECT_NEAR(s.shape1Top, 3000 - 187.5, 1);
    // 0.06 mm more in X is a quarter field to the left; Y the other way down.
    stand(1.56, -1.94);
    s.abfragen();
    EXPECT_NEAR(s.shape1Left, 1500 - 187.5, 5);
    EXPECT_NEAR(s.shape1Top, 4500 - 187.5, 5);

    // The joystick read-out: a negative deflection, and no reply at all.
    wb.unit(QStringLiteral("01")).setHandler(QStringLiteral("1kw"), [](SimUnit&, const SimCommand& c) {
        return std::optional<QByteArray>(c.accepted("0000000000C8"));
    });
    wb.unit(QStringLiteral("02")).setSilent(true);
    s.abfragen();
    EXPECT_EQ(s.lb_cc_2.text, "-55");
    EXPECT_EQ(s.lb_cc_1.text, "-0");

    s.cb_messen.checked = false;
    s.cb_messen_MouseUp(1);
    EXPECT_EQ(s.flagaktiv, 0);
    EXPECT_TRUE(s.Combo1.enabled);
    EXPECT_EQ(s.cb_messen.text, "Start Timer");
}

TEST_F(StageSimTest, WindowDrawsTheSpotWhereThePassPutIt)
{
    StageSimCore& s = open();
    auto* w = static_cast<frm_MSim*>(s.form());
    frame.resize(1000, 700);
    frame.show();
    s.Show();
    EXPECT_GE(w->width(), 640);
    s.setCombo1ListIndex(6);
    stand(0.3, 0.15);
    w->findChild<QPushButton*>(QStringLiteral("cb_messen"))->click();
    EXPECT_EQ(w->findChild<QWidget*>(QStringLiteral("shape1"))->pos(), QPoint(100 - 12, 250 - 12));
    EXPECT_FALSE(w->findChild<QComboBox*>(QStringLiteral("Combo1"))->isEnabled());
    const QString file = qEnvironmentVariable("KELVANE_STAGESIM_SCREENSHOT");
    if (!file.isEmpty()) {
        const QPixmap shot = w->grab();
        EXPECT_TRUE(shot.save(file)) << shot.width() << "x" << shot.height();
    }
}

TEST_F(StageSimTest, ZeroMotorFactorKeepsTheReference)
{
    StageSimCore& s = open();
    stand(1, 1);
    params.store().axisRecordAt(0).Motfak = 0;
    s.pb_gitter_MouseDown();
    EXPECT_EQ(s.refX, 0);
    EXPECT_NEAR(s.refY, 1, 1e-3);
}

TEST_F(StageSimTest, FastLoopHoldsTheMainLoopAndEveryExitReleasesIt)
{
    StageSimCore& s = open();
    const auto start = [&] {
        s.cb_messenschnell.checked = true;
        s.cb_messenschnell_MouseUp(1);
    };
    start();
    EXPECT_TRUE(s.fastRunning());
    EXPECT_EQ(frame.timer1Holders(), QStringList{Menu::MSim});
    EXPECT_FALSE(s.cb_messen.enabled);
    wb.bus->clearTraffic();
    s.fastStep();
    EXPECT_EQ(wb.traffic().mid(0, 2), (QStringList{"01 [1kw]", "01 [1PA]"}));

    // A rejection box inside a round: the loop's timer firing meanwhile polls nothing.
    wb.unit(QStringLiteral("01")).rejectNext(QStringLiteral("[1kw]"), 0x05);
    wb.dialogs->onMessage = [&](const auto&) {
        wb.bus->clearTraffic();
        s.fastStep();
        EXPECT_TRUE(wb.traffic().isEmpty());
    };
    s.fastStep();
    EXPECT_EQ(wb.dialogs->messages.size(), 1);
    wb.dialogs->onMessage = nullptr;

    // Untick.
    s.cb_messenschnell.checked = false;
    s.cb_messenschnell_MouseUp(1);
    EXPECT_FALSE(s.fastRunning());
    EXPECT_TRUE(frame.timer1Holders().isEmpty());
    EXPECT_EQ(s.cb_messenschnell.text, "Start Fast");

    // A failed round (no motor factor).
    start();
    params.store().axisRecordAt(1).Motfak = 0;
    s.fastStep();
    EXPECT_FALSE(s.fastRunning());
    EXPECT_FALSE(s.cb_messenschnell.checked);
    EXPECT_TRUE(frame.timer1Holders().isEmpty());
    params.store().axisRecordAt(1).Motfak = 5217;

    // Closing the window while the loop runs.
    start();
    auto* w = static_cast<frm_MSim*>(s.form());
    w->show();
    EXPECT_TRUE(w->close());
    EXPECT_FALSE(s.fastRunning());
    EXPECT_EQ(s.flagaktiv, 0);
    EXPECT_TRUE(frame.timer1Holders().isEmpty());
    // The window closed itself, and its frame went with it: the next opening
    // loads a new one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame.frm_MSim, nullptr);
    EXPECT_TRUE(frame.mdiArea()->subWindowList().isEmpty());
    EXPECT_TRUE(frame.timer1Holders().isEmpty());
}

// The bar labels show the speeds read in a pass unless a bar is held: in
// the timer's passes only the held bar's own label stays, in the fast loop
// both stay while either bar is held.
struct HeldBar
{
    const char* name;
    bool fast;
    int schiebeflag;  // 0 none held, 1 the Y bar, 2 the X bar
    bool xShown, yShown;
};

class BarLabels : public StageSimTest, public ::testing::WithParamInterface<HeldBar>
{
};

TEST_P(BarLabels, ShowTheSpeedUnlessABarIsHeld)
{
    StageSimCore& s = open();
    const HeldBar& held = GetParam();
    if (held.fast) {
        s.cb_messenschnell.checked = true;
        s.cb_messenschnell_MouseUp(1);
    } else {
        s.cb_messen.checked = true;
        s.cb_messen_MouseUp(1);
    }
    s.schiebeflag = held.schiebeflag;
    s.lb_cc_2.text = s.lb_cc_1.text = QStringLiteral("x");
    if (held.fast)
        s.fastStep();
    else
        s.abfragen();
    EXPECT_EQ(s.lb_cc_2.text != "x", held.xShown);
    EXPECT_EQ(s.lb_cc_1.text != "x", held.yShown);
    s.Form_Unload();
}

INSTANTIATE_TEST_SUITE_P(
    StageSim, BarLabels,
    ::testing::Values(HeldBar{"TimerNoneHeld", false, 0, true, true}, HeldBar{"TimerYHeld", false, 1, true, false},
                      HeldBar{"TimerXHeld", false, 2, false, true}, HeldBar{"FastNoneHeld", true, 0, true, true},
                      HeldBar{"FastYHeld", true, 1, false, false}, HeldBar{"FastXHeld", true, 2, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StageSimTest, OpeningShowsTheGridAndClosingUnloads)
{
    StageSimCore& s = open();
    // The opened window shows the labels of objective "100" at once.
    auto* w = static_cast<frm_MSim*>(s.form());
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("Label4"))->text(), "0.120");
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("LabelYT"))->text(), "0.060");
    tick();
    s.Option1[0].checked = true;
    s.Option1_Click(0);
    s.setCombo1ListIndex(6);
    tick();

    // Closed from its frame, the window is unloaded and forgotten ...
    QMdiSubWindow* sub = frame.subWindowOf(&s);
    ASSERT_TRUE(sub);
    EXPECT_TRUE(sub->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame.frm_MSim, nullptr);
    // ... and opened again it loads anew: slow mode, sent at the next tick.
    frame.menuEntry(Menu::MSim)->trigger();
    ASSERT_TRUE(frame.frm_MSim);
    sim = &static_cast<StageSimCore&>(*frame.frm_MSim);
    EXPECT_TRUE(sim->Option1[1].checked);
    EXPECT_FALSE(sim->Option1[0].checked);
    EXPECT_EQ(sim->Combo1.listIndex, 4);
    EXPECT_EQ(tick(), (QStringList{"01 [1BR]", "01 [1Cj]", "02 [1BR]", "02 [1Cj]"}));
}

}  // namespace
