// The script window opened from "Service → Download" on the demonstration
// bus: the main loop is held while it is shown, a script typed into the line
// boxes runs through the event loop (the window answers during a pause), a
// right click sends one line, the exit button and the menu's second click
// give the bus back, and closing during a run ends it. With
// KELVANE_SCRIPT_SCREENSHOT=<file.png> the finished run is saved as a picture.
#include "CommLog.h"
#include "DemoBus.h"
#include "InstallScript.h"
#include "MenuNames.h"
#include "ParamsContext.h"
#include "SimWorkbench.h"
#include "frm_download2.h"
#include "frm_main.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class FrmDownload2Test : public ::testing::Test
{
protected:
    FrmDownload2Test()
    {
        wb.bus->setPacing(true);
        populateDemoBus(*wb.bus);
        window = installScriptWindow(*frame, params);
        frame->show();
    }

    template <class W>
    W* child(const QString& name) const
    {
        auto* w = window->findChild<W*>(name);
        EXPECT_TRUE(w) << name.toStdString();
        return w;
    }
    void open() { frame->menuEntry(Menu::Download2)->trigger(); }
    void chooseUnit(int index)
    {
        auto* combo = child<QComboBox>(u"cb_adressenauswahl"_s);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    void type(int line, const QString& text)
    {
        QTest::keyClicks(child<QLineEdit>(u"text_Befehl_%1"_s.arg(line)), text);
    }
    // Lets the event loop run the script; the fake clock moves with it.
    void waitForEnd(const std::function<void()>& during = {})
    {
        QElapsedTimer t;
        t.start();
        while (window->core().isRunning() && t.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (during)
                during();
            wb.clock->advance(0.005);
        }
    }

    SimWorkbench wb{{.units = {}, .serial = {}}};
    std::unique_ptr<frm_main> frame = std::make_unique<frm_main>(*wb.core);
    ParamsContext params{wb.core->ui(), frame->optionFlags(), [](const QString&) { return keine_Antwort; }};
    frm_download2* window = nullptr;
};

TEST_F(FrmDownload2Test, MenuShowsTheWindowARunGoesThroughTheEventLoopAndExitGivesTheBusBack)
{
    ASSERT_TRUE(window);
    // Showing the window activates it, which checks the unit chosen.
    window->core().cb_adressenauswahl.listIndex = 1;
    open();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->core().sh_an_aus.colour, ScriptCore::Green);
    EXPECT_EQ(frame->toolWindowTag(Menu::Download2), u"1"_s);
    EXPECT_TRUE(frame->timer1Holders().contains(Menu::Download2));
    EXPECT_EQ(child<QComboBox>(u"cb_adressenauswahl"_s)->count(), 33);
    EXPECT_EQ(child<QComboBox>(u"cb_adressenauswahl"_s)->view()->maximumHeight(), 750);

    chooseUnit(1);
    EXPECT_EQ(window->core().sh_an_aus.colour, ScriptCore::Green);
    const QStringList script = {u"01"_s, u"MA1000"_s, u"WZ300"_s, u"[0ST]"_s, u"MA0"_s, u"[7PA]"_s, u"[0VN]"_s};
    for (int i = 0; i < script.size(); ++i)
        type(i, script[i]);
    EXPECT_EQ(window->core().Befehlszeilen.mid(0, script.size()), script);
    wb.bus->clearTraffic();
    child<QPushButton>(u"cmd_download"_s)->click();
    bool answeredInPause = false;
    waitForEnd([&] {
        // The window handles its events while the script pauses.
        if (!answeredInPause && window->core().nextStepIn() > 0) {
            child<QCheckBox>(u"Check1"_s)->click();
            answeredInPause = child<QCheckBox>(u"Check1"_s)->text() == u"Loop"_s;
            child<QCheckBox>(u"Check1"_s)->click();
        }
    });
    EXPECT_TRUE(answeredInPause);
    EXPECT_FALSE(window->core().isRunning());
    EXPECT_EQ(child<QLabel>(u"lb_Befehl_1"_s)->text(), u"[1MA!]"_s);
    EXPECT_TRUE(child<QLabel>(u"lb_Befehl_3"_s)->text().startsWith(u"[0ST!"_s));
    EXPECT_EQ(child<QLabel>(u"lb_Befehl_5"_s)->text(), u"[7PA!00000000]"_s);
    EXPECT_EQ(child<QLabel>(u"zaehler"_s)->text(), u"1"_s);
    EXPECT_TRUE(wb.traffic().contains(u"01 [1MA00001461]"_s));
    const QString screenshotPath = qEnvironmentVariable("KELVANE_SCRIPT_SCREENSHOT");
    if (!screenshotPath.isEmpty())
        window->grab().save(screenshotPath);

    // A right click on a reply label sends its line as it stands.
    QTest::mouseClick(child<QLabel>(u"lb_Befehl_1"_s), Qt::RightButton);
    EXPECT_EQ(wb.core->log().lines().first(), u"MA1000-->1"_s);
    EXPECT_EQ(child<QLabel>(u"lb_Befehl_1"_s)->text(), u"1"_s);
    EXPECT_EQ(wb.axis(u"01"_s).position(), 0);

    child<QToolButton>(u"cmd_exit"_s)->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(frame->toolWindowTag(Menu::Download2), u"0"_s);
    EXPECT_EQ(frame->com_motflag, 1);
    EXPECT_FALSE(frame->timer1Holders().contains(Menu::Download2));
}

TEST_F(FrmDownload2Test, SecondMenuClickDuringARunEndsItWithoutTheStores)
{
    open();
    chooseUnit(1);
    type(0, u"[0ST]"_s);
    type(1, u"WZ60000"_s);
    type(75, u"[0ff01]"_s);
    child<QCheckBox>(u"Check1"_s)->click();
    wb.bus->clearTraffic();
    child<QPushButton>(u"cmd_download"_s)->click();
    QElapsedTimer t;
    t.start();
    while (window->core().nextStepIn() == 0 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_GT(window->core().nextStepIn(), 1.0);
    open();  // the second click hides the window
    EXPECT_FALSE(window->isVisible());
    waitForEnd();
    EXPECT_FALSE(window->core().isRunning());
    EXPECT_EQ(wb.traffic(), QStringList{u"01 [0ST]"_s});
    EXPECT_EQ(window->core().n, 74);
    EXPECT_EQ(child<QCheckBox>(u"Check1"_s)->text(), u"Single"_s);
    EXPECT_FALSE(frame->timer1Holders().contains(Menu::Download2));
}

TEST_F(FrmDownload2Test, AddressListsOfTheFrameReachTheWindow)
{
    frame->mnuAchsenAus_Click(2);
    EXPECT_EQ(child<QComboBox>(u"cb_adressenauswahl"_s)->count(), 32);
    EXPECT_EQ(child<QComboBox>(u"cb_adressenauswahl"_s)->itemText(31), u"1F"_s);
}

}  // namespace
