// The path table window opened from "Tablett": it holds the main loop until
// every way out releases it, draws with the mouse, and takes key commands
// only from its drawing box and the spacing box. With
// KELVANE_PATHTABLE_SCREENSHOT=<file.png> the drawn and driven path is saved as
// a picture.
#include "MenuNames.h"
#include "ParamsContext.h"
#include "SimPathAxis.h"
#include "SimWorkbench.h"
#include "frm_main.h"
#include "frm_tablett.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

class FrmTablettTest : public ::testing::Test
{
protected:
    FrmTablettTest()
    {
        frame = std::make_unique<frm_main>(*wb.core);
        params = std::make_unique<ParamsContext>(wb.core->ui(), frame->optionFlags(), wb.core->transport());
        windowUnderTest = &installPathTable(*frame, *params);
    }
    ~FrmTablettTest() override
    {
        frame.reset();
        params.reset();
    }

    frm_tablett* openForm()
    {
        frame->menuEntry(Menu::Tablett)->trigger();
        return windowUnderTest->tablet;
    }
    bool isHeld() const { return frame->timer1Holders().contains(Menu::Tablett); }

    // A stroke with the left button through `pointList` (pixels of the drawing box).
    static void drag(QWidget* box, const QList<QPoint>& pointList)
    {
        QTest::mousePress(box, Qt::LeftButton, {}, pointList.first());
        for (const QPoint& p : pointList) {
            QMouseEvent move(QEvent::MouseMove, p, box->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(box, &move);
        }
        QTest::mouseRelease(box, Qt::LeftButton, {}, pointList.last());
    }

    SimWorkbench wb;
    std::unique_ptr<frm_main> frame;
    std::unique_ptr<ParamsContext> params;
    PathTableWindows* windowUnderTest = nullptr;
};

TEST_F(FrmTablettTest, HoldsTheMainLoopUntilEveryWayOut)
{
    frm_tablett* w = openForm();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(isHeld());
    EXPECT_EQ(w->form().pb_Zeichnung->width(), QGuiApplication::primaryScreen()->availableGeometry().width() - 200);

    const auto travels = std::vector<std::function<void()>>{
        [w] { QTest::keyClick(w->form().pb_Zeichnung, Qt::Key_Escape); },
        [w] { QTest::keyClick(w->form().pb_Zeichnung, Qt::Key_P); },
        [w] { w->close(); },
        [w] { w->form().button_6->click(); },
    };
    for (std::size_t i = 0; i < travels.size(); ++i) {
        if (i > 0) {
            ASSERT_EQ(openForm(), w);
        }
        EXPECT_TRUE(isHeld()) << i;
        travels[i]();
        EXPECT_FALSE(w->isVisible()) << i;
        EXPECT_FALSE(isHeld()) << i;
    }
}

TEST_F(FrmTablettTest, DrivesADrawnPathAndTakesKeysOnlyFromTheDrawingBoxAndTheSpacingBox)
{
    frm_tablett* w = openForm();
    auto& ui = w->form();
    QList<QPoint> spiral;
    for (int i = 0; i <= 240; ++i) {
        const double a = i * 0.08, r = 20 + i * 0.9;
        spiral << QPoint(300 + int(r * std::cos(a)), 300 + int(r * std::sin(a)));
    }
    drag(ui.pb_Zeichnung, spiral);
    drag(ui.pb_Zeichnung, {{120, 520}, {200, 470}, {280, 520}, {360, 470}, {440, 520}});
    EXPECT_EQ(w->core().pathModel.strichzahl, 2);
    QTest::keyClick(ui.pb_Zeichnung, Qt::Key_Z);
    EXPECT_EQ(w->core().sh_an_aus.colour, TablettCore::Green);
    QTest::mouseClick(ui.pb_Zeichnung, Qt::RightButton, {}, QPoint(440, 520));
    EXPECT_TRUE(w->findChild<QLabel*>(u"lb_punkte_0"_s)->isVisible());

    // "Start Ablauf" drives both strokes step by step through the event loop.
    for (const QString& a : {u"01"_s, u"02"_s})
        wb.unit(a).setModel(std::make_unique<SimPathAxisModel>());
    ui.cb_achse2->click();
    ui.button_2->click();
    EXPECT_TRUE(w->core().moving());
    QElapsedTimer clockSource;
    clockSource.start();
    while (w->core().moving() && clockSource.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(w->core().moving());
    EXPECT_EQ(wb.traffic().filter(u"[1SA"_s).size(), 4);
    EXPECT_TRUE(ui.lb_fahrzeit->text().startsWith(u"Fahrzeit :"_s));
    EXPECT_TRUE(wb.dialogs->messages.isEmpty());
    wb.bus->clearTraffic();
    const QString screenshotPath = qEnvironmentVariable("KELVANE_PATHTABLE_SCREENSHOT");
    if (!screenshotPath.isEmpty())
        w->grab().save(screenshotPath);

    // Commands typed into the command line are text, not keys.
    const int pointList = w->core().pathModel.punktzahl;
    QTest::keyClicks(ui.Text1, u"SCZ"_s);
    EXPECT_EQ(ui.Text1->text(), u"SCZ"_s);
    EXPECT_EQ(w->core().pathModel.punktzahl, pointList);
    EXPECT_TRUE(wb.traffic().isEmpty());
    // A letter in the spacing box is no text but still a command, once.
    QTest::keyClick(ui.tb_delta, Qt::Key_C);
    EXPECT_EQ(ui.tb_delta->text(), u"500"_s);
    EXPECT_EQ(w->core().pathModel.punktzahl, 0);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(FrmTablettTest, ZoomBoxesFilterTheKeysTheOperatorTypesIntoThem)
{
    frm_tablett* w = openForm();
    auto& ui = w->form();
    QApplication::setActiveWindow(w);
    const QString sep = w->core().usesComma() ? u","_s : u"."_s;
    for (QComboBox* box : {ui.cb_zoom, ui.cb_ZZ}) {
        SCOPED_TRACE(box->objectName().toStdString());
        box->setFocus();
        box->clearEditText();
        // Keys reach the combo box, which has the focus, not its line edit.
        QTest::keyClicks(box, u"+-2a"_s + sep + u"5"_s);
        EXPECT_EQ(box->currentText(), u"-2"_s + sep + u"5"_s);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_TRUE(ui.button_2->hasFocus());
    }
}

}  // namespace
