// The guided calibration window opened from "AK-Abgleich" on the
// demonstration bus: the main window is held and disabled while it is open,
// a refused opening leaves nothing held, a guided run goes through the
// window's controls and the event loop, and the exit button and the close
// box give everything back. With KELVANE_CALIBRATION_SCREENSHOT=<file.png>
// the run is also saved as a picture.
#include "AnalogBoardDouble.h"
#include "Clock.h"
#include "CoreContext.h"
#include "DemoBus.h"
#include "InstallCalibration.h"
#include "MenuNames.h"
#include "Settings.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "TestSupport.h"
#include "UiServices.h"
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

class FrmAKAbgleichTest : public ::testing::Test
{
protected:
    FrmAKAbgleichTest()
    {
        auto clock = std::make_unique<FakeClock>(0.0001);
        uhr = clock.get();
        bus = std::make_unique<SimBus>(*uhr);
        populateDemoBus(*bus);
        // The demonstration board "21" with the analog registers of a probe board.
        auto model = std::make_unique<AnalogBoardDouble>(*uhr);
        board = model.get();
        bus->unit(u"21"_s)->setModel(std::move(model));
        auto ui = std::make_unique<RecordingUiServices>();
        dialoge = ui.get();
        auto serial = std::make_unique<SimSerialPort>(*bus);
        serial->open();
        port = serial.get();
        core = std::make_unique<CoreContext>(std::make_unique<AppSettings>(home.file(u"s.ini"_s)), std::move(ui),
                                             std::move(clock), std::move(serial),
                                             std::make_unique<SimUsbBridge>(*bus, false));
        frame = std::make_unique<frm_main>(*core);
        fenster = &installCalibration(*frame);
        frame->show();
    }

    frm_AK_Abgleich* oeffnen()
    {
        frame->menuEntry(Menu::AKabgleich)->trigger();
        return *fenster;
    }
    void klick(const QString& name) { (*fenster)->findChild<QAbstractButton*>(name)->click(); }
    QString text(const QString& name) { return (*fenster)->findChild<QLineEdit*>(name)->text(); }
    // Lets the event loop run the window's timers while the clock moves on.
    void laufen(const std::function<bool()>& bis)
    {
        QElapsedTimer t;
        t.start();
        while (!bis() && t.elapsed() < 20000) {
            uhr->advance(0.02);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }

    TempHome home;
    FakeClock* uhr = nullptr;
    std::unique_ptr<SimBus> bus;
    AnalogBoardDouble* board = nullptr;
    RecordingUiServices* dialoge = nullptr;
    SimSerialPort* port = nullptr;
    std::unique_ptr<CoreContext> core;
    std::unique_ptr<frm_main> frame;
    frm_AK_Abgleich** fenster = nullptr;
};

TEST_F(FrmAKAbgleichTest, HoldsTheMainWindowUntilTheExitButton)
{
    frm_AK_Abgleich* w = oeffnen();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(w->windowTitle(), u"AK4-Test"_s);
    EXPECT_FALSE(frame->isEnabled());
    EXPECT_EQ(frame->timer1Holders(), QStringList{Menu::AKabgleich});
    EXPECT_TRUE(w->Timer1.isActive());
    EXPECT_EQ(w->Timer1.interval(), 200);
    EXPECT_TRUE(bus->traffic().isEmpty()) << "opening sends nothing";

    klick(u"OAkX_1"_s);
    klick(u"AKNR_0"_s);
    w->core().Nullwert[0] = 5;
    klick(u"cmd_exit"_s);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->Timer1.isActive());
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_TRUE(frame->timer1Holders().isEmpty());

    EXPECT_EQ(oeffnen(), w);  // the one window comes back with its state
    EXPECT_EQ(w->core().Nullwert[0], 5);
    EXPECT_TRUE(w->core().AKNR[0].checked);
    EXPECT_TRUE(w->Timer1.isActive());
}

TEST_F(FrmAKAbgleichTest, RefusesToOpenWithoutTheSerialPort)
{
    port->close();
    EXPECT_EQ(oeffnen(), nullptr);
    EXPECT_EQ(dialoge->texts(), QStringList{frm_main::PortNotOpenMessage});
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_TRUE(frame->timer1Holders().isEmpty());
}

TEST_F(FrmAKAbgleichTest, GuidedRunThroughTheWindowAndCloseBox)
{
    frm_AK_Abgleich* w = oeffnen();
    ASSERT_NE(w, nullptr);
    board->sensitivity[0] = 2400;
    klick(u"OAkX_1"_s);
    klick(u"AKNR_0"_s);
    EXPECT_EQ(text(u"messwert"_s), u"[0ST][0ST!00000000]"_s);
    klick(u"Check1_0"_s);
    klick(u"aktiv"_s);
    laufen([&] { return text(u"empfang"_s).startsWith(u"[0M1!"_s); });
    EXPECT_TRUE(w->findChild<QWidget*>(u"kanal_1"_s)->isVisible());

    klick(u"abgl"_s);
    klick(u"StartAbgl"_s);
    EXPECT_FALSE(w->Timer1.isActive());
    EXPECT_EQ(text(u"Bedhinw"_s), u"Kanal 1"_s);
    klick(u"weiterA"_s);
    laufen([&] { return w->core().phase() == Phase::OffsetPrompt; });
    klick(u"weiterA"_s);
    laufen([&] { return w->core().phase() == Phase::StandardPrompt; });
    EXPECT_EQ(text(u"Bedhinw"_s), u"Einstellnormal auf 700.00 ym einstellen"_s);
    board->travel[0] = 700;
    klick(u"weiterA"_s);
    laufen([&] { return w->core().phase() == Phase::LastAnswer; });
    ASSERT_EQ(w->core().phase(), Phase::LastAnswer);
    // The search ends within a count of the standard.
    EXPECT_EQ(text(u"Ist"_s), u"700.00"_s);
    EXPECT_EQ(text(u"Bedhinw"_s), u"Einstellnormal auf 700.00 ym einstellen"_s);
    EXPECT_FALSE(w->Timer1.isActive());
    const QString bild = qEnvironmentVariable("KELVANE_CALIBRATION_SCREENSHOT");
    if (!bild.isEmpty())
        w->grab().save(bild);
    klick(u"weiterA"_s);
    laufen([&] { return !w->core().laeuft(); });
    EXPECT_EQ(text(u"Bedhinw"_s), u"Ende"_s);
    EXPECT_TRUE(w->Timer1.isActive());

    // The close box ends a new run and the program, through the main window.
    klick(u"StartAbgl"_s);
    ASSERT_TRUE(w->core().laeuft());
    w->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->core().laeuft());
    EXPECT_TRUE(frame->isUnloaded());
    EXPECT_TRUE(frame->timer1Holders().isEmpty());
}

} // namespace
