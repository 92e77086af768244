// The guided calibration window opened from "AK-Abgleich" on the
// demonstration bus: the main window is held and disabled while it is open,
// a refused opening leaves nothing held, a guided run goes through the
// window's controls and the event loop, and the exit button and the close
// box give everything back. With KELVANE_CALIBRATION_SCREENSHOT=<file.png>
// the run is also saved as a picture.
#include "AnalogBoardDouble.h"
#include "DemoBench.h"
#include "InstallCalibration.h"
#include "MenuNames.h"
#include "frm_AK_Abgleich.h"
#include "frm_main.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Phase = AK_AbgleichCore::Phase;

namespace {

class FrmAKAbgleichTest : public ::testing::Test, protected DemoBench
{
protected:
    FrmAKAbgleichTest()
    {
        // The demonstration board "21" with the analog registers of a probe board.
        auto model = std::make_unique<AnalogBoardDouble>(*clockSource);
        board = model.get();
        bus->unit(u"21"_s)->setModel(std::move(model));
        frame = std::make_unique<frm_main>(*core);
        window = &installCalibration(*frame);
        frame->show();
    }

    frm_AK_Abgleich* showFromMenu()
    {
        frame->menuEntry(Menu::AKabgleich)->trigger();
        return *window;
    }
    void click(const QString& name) { (*window)->findChild<QAbstractButton*>(name)->click(); }
    QString text(const QString& name) { return (*window)->findChild<QLineEdit*>(name)->text(); }
    // Lets the event loop run the window's timers while the clock moves on.
    void runUntil(const std::function<bool()>& until)
    {
        QElapsedTimer t;
        t.start();
        while (!until() && t.elapsed() < 20000) {
            clockSource->advance(0.02);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }

    AnalogBoardDouble* board = nullptr;
    std::unique_ptr<frm_main> frame;
    frm_AK_Abgleich** window = nullptr;
};

TEST_F(FrmAKAbgleichTest, HoldsTheMainWindowUntilTheExitButton)
{
    frm_AK_Abgleich* w = showFromMenu();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(w->windowTitle(), u"AK4-Test"_s);
    EXPECT_FALSE(frame->isEnabled());
    EXPECT_EQ(frame->timer1Holders(), QStringList{Menu::AKabgleich});
    EXPECT_TRUE(w->Timer1.isActive());
    EXPECT_EQ(w->Timer1.interval(), 200);
    EXPECT_TRUE(bus->traffic().isEmpty()) << "opening sends nothing";

    click(u"OAkX_1"_s);
    click(u"AKNR_0"_s);
    w->core().Nullwert[0] = 5;
    click(u"cmd_exit"_s);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->Timer1.isActive());
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_TRUE(frame->timer1Holders().isEmpty());

    EXPECT_EQ(showFromMenu(), w);  // the one window comes back with its state
    EXPECT_EQ(w->core().Nullwert[0], 5);
    EXPECT_TRUE(w->core().AKNR[0].checked);
    EXPECT_TRUE(w->Timer1.isActive());
}

TEST_F(FrmAKAbgleichTest, ShownAgainItSelectsItsBoardBeforeItPolls)
{
    frm_AK_Abgleich* w = showFromMenu();
    ASSERT_NE(w, nullptr);
    for (const QString& name : {u"OAkX_1"_s, u"AKNR_0"_s, u"Check1_0"_s, u"aktiv"_s})
        click(name);
    click(u"cmd_exit"_s);
    // Meanwhile the main window talks to an axis.
    core->transport().einheit_waehlen(u"01"_s);
    core->transport().senden_empfangen(u"[0ST]"_s);
    bus->clearTraffic();
    showFromMenu();
    runUntil([&] { return bus->traffic().size() >= 3; });
    ASSERT_GE(bus->traffic().size(), 3);
    for (const auto& [selection, command] : bus->traffic())
        EXPECT_EQ(selection + u' ' + command, u"21 [0M1]"_s);
    EXPECT_EQ(uiServices->beeps, 0);
    EXPECT_TRUE(w->core().aktiv.checked);
    EXPECT_EQ(core->transport().aktiveEinheit(), u"21"_s) << "the transport knows the board is selected";
}

TEST_F(FrmAKAbgleichTest, RefusesToOpenWithoutTheSerialPort)
{
    core->serial().close();
    EXPECT_EQ(showFromMenu(), nullptr);
    EXPECT_EQ(uiServices->texts(), QStringList{frm_main::PortNotOpenMessage});
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_TRUE(frame->timer1Holders().isEmpty());
}

TEST_F(FrmAKAbgleichTest, GuidedRunThroughTheWindowAndCloseBox)
{
    frm_AK_Abgleich* w = showFromMenu();
    ASSERT_NE(w, nullptr);
    board->sensitivity[0] = 2400;
    click(u"OAkX_1"_s);
    click(u"AKNR_0"_s);
    EXPECT_EQ(text(u"messwert"_s), u"[0ST][0ST!00000000]"_s);
    click(u"Check1_0"_s);
    click(u"aktiv"_s);
    runUntil([&] { return text(u"empfang"_s).startsWith(u"[0M1!"_s); });
    EXPECT_TRUE(w->findChild<QWidget*>(u"kanal_1"_s)->isVisible());

    click(u"abgl"_s);
    click(u"StartAbgl"_s);
    EXPECT_FALSE(w->Timer1.isActive());
    EXPECT_EQ(text(u"Bedhinw"_s), u"Kanal 1"_s);
    click(u"weiterA"_s);
    runUntil([&] { return w->core().phase() == Phase::OffsetPrompt; });
    click(u"weiterA"_s);
    runUntil([&] { return w->core().phase() == Phase::StandardPrompt; });
    EXPECT_EQ(text(u"Bedhinw"_s), u"Einstellnormal auf 700.00 ym einstellen"_s);
    board->travel[0] = 700;
    click(u"weiterA"_s);
    runUntil([&] { return w->core().phase() == Phase::LastAnswer; });
    ASSERT_EQ(w->core().phase(), Phase::LastAnswer);
    // The search ends within a count of the standard.
    EXPECT_EQ(text(u"Ist"_s), u"700.00"_s);
    EXPECT_EQ(text(u"Bedhinw"_s), u"Einstellnormal auf 700.00 ym einstellen"_s);
    EXPECT_FALSE(w->Timer1.isActive());
    const QString picture = qEnvironmentVariable("KELVANE_CALIBRATION_SCREENSHOT");
    if (!picture.isEmpty())
        w->grab().save(picture);
    click(u"weiterA"_s);
    runUntil([&] { return !w->core().running(); });
    EXPECT_EQ(text(u"Bedhinw"_s), u"Ende"_s);
    EXPECT_TRUE(w->Timer1.isActive());

    // The close box ends a new run and the program, through the main window.
    click(u"StartAbgl"_s);
    ASSERT_TRUE(w->core().running());
    w->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->core().running());
    EXPECT_TRUE(frame->isUnloaded());
    EXPECT_TRUE(frame->timer1Holders().isEmpty());
}

}  // namespace
