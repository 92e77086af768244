// The program as the demonstration starts it: every window installed over the
// demonstration bus. What a new user does first (choose an axis, change the
// drive mode, stop from joystick mode, open and close the options) must end
// without a single message box, and every window the menus and the control
// center's buttons open must open, run a while and close again the same way.

#include "BusTransport.h"
#include "CommLog.h"
#include "DemoBench.h"
#include "frm_AKIK.h"
#include "frm_ablauf.h"
#include "frm_AK_Abgleich.h"
#include "frm_aufzeichnen.h"
#include "frm_Bedienungsanleitung.h"
#include "frm_Berechnung.h"
#include "frm_com.h"
#include "frm_communication.h"
#include "frm_Controlcenter.h"
#include "frm_controlparameter.h"
#include "frm_Download.h"
#include "frm_download2.h"
#include "frm_init.h"
#include "frm_Joystick_Abgleich.h"
#include "frm_main.h"
#include "MainLoop.h"
#include "frm_multiterm.h"
#include "frm_Options.h"
#include "frm_rr.h"
#include "frm_tablett.h"
#include "frm_wait.h"
#include "InstallSequences.h"
#include "InstallWindows.h"
#include "LevelonComponent.h"
#include "MenuNames.h"
#include "ParamsContext.h"
#include "Settings.h"
#include "SimUnit.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLibrary>
#include <QMdiArea>
#include <QMenuBar>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Notes every window of the program that, when it was hidden again (or at
// the end), did not lie wholly within the available area of its screen.
class ReachWatcher : public QObject
{
public:
    ReachWatcher() { qApp->installEventFilter(this); }
    ~ReachWatcher() override { qApp->removeEventFilter(this); }
    void checkShown()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                check(w);
    }
    QStringList outOfReach;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Hide && o->isWidgetType())
            check(static_cast<QWidget*>(o));
        return false;
    }

private:
    void check(QWidget* w)
    {
        if (!w->isWindow() || w->inherits("QMenu") || !w->screen())
            return;
        const QRect area = w->screen()->availableGeometry();
        const QString entry = QStringLiteral("%1 %2x%3 at %6,%7 on %4x%5")
                                  .arg(w->objectName())
                                  .arg(w->frameGeometry().width())
                                  .arg(w->frameGeometry().height())
                                  .arg(area.width())
                                  .arg(area.height())
                                  .arg(w->frameGeometry().x())
                                  .arg(w->frameGeometry().y());
        if (!area.contains(w->frameGeometry()) && !outOfReach.contains(entry))
            outOfReach << entry;
    }
};

// The program after its start-up, with the settings the demonstration script
// writes (COM1 at 9600 baud).
class DemoProgram : public DemoBench
{
public:
    DemoProgram()
    {
        registerGauges();
        // The start files the demonstration's program folder begins with.
        for (const QFileInfo& f : QDir(QStringLiteral(DEMO_HOME_DIR)).entryInfoList(QDir::Files))
            QFile::copy(f.filePath(), home.file(f.fileName()));
        core->serial().close();
        core->settings().setValue(QStringLiteral("Startup"), QStringLiteral("Backup_CommPort"), QStringLiteral("1"));
        core->settings().setValue(QStringLiteral("Startup"), QStringLiteral("Backup_Settings"), QStringLiteral("9600"));
        frame = std::make_unique<frm_main>(*core);
        params = std::make_unique<ParamsContext>(core->ui(), frame->optionFlags(), core->transport());
        windows = installWindows(*frame, *params);
        frame->resize(1100, 800);
        frame->show();
        frame->MDIForm_Load();
        // Every reply the log records, also those the log's cap drops later.
        QObject::connect(&core->log(), &QAbstractItemModel::rowsInserted, &core->log(), [this] {
            static const QRegularExpression rejection(QStringLiteral("\\?[0-9A-F]{4}\\]"));
            const QString line = core->log().lines().value(0);
            if (line.contains(rejection))
                rejections << line;
        });
    }
    virtual ~DemoProgram()
    {
        frame.reset();
        params.reset();
        qunsetenv("KELVANE_COMPONENT_REGISTRY");
    }
    // The gauge library registered as the demonstration script does it.
    void registerGauges()
    {
        qputenv("KELVANE_COMPONENT_REGISTRY", home.file(QStringLiteral("components.ini")).toLocal8Bit());
        QLibrary lib(QStringLiteral(LEVELON_PLUGIN_FILE));
        auto reg = reinterpret_cast<levelon::RegisterServerFn>(lib.resolve(levelon::RegisterServerSymbol));
        ASSERT_TRUE(reg && reg() == levelon::ServerOk) << qPrintable(lib.errorString());
    }

    void ticks(int n, double dt = 0.01)
    {
        for (int i = 0; i < n; ++i) {
            clockSource->advance(dt);
            frame->mainLoop().Timer1_Timer();
        }
    }
    // Main-loop ticks, then the windows' own timers and step machines.
    void settle()
    {
        ticks(5);
        QTest::qWait(150);
    }
    void trigger(const QString& menu) { frame->menuEntry(menu)->trigger(); }
    // The boxes and file dialogs shown since the last check, `count` of them,
    // all belonged to `window` (so that it is in front again when they close).
    void expectOwnedBy(const QObject* window, int count)
    {
        QList<QObject*> owners = uiServices->fileOwners;
        for (const RecordingUiServices::Message& m : uiServices->messages)
            owners << m.owner;
        EXPECT_EQ(owners.size(), count);
        EXPECT_EQ(owners.count(window), owners.size());
        uiServices->clear();
    }
    void click(QWidget* window, const char* button)
    {
        auto* b = window->findChild<QPushButton*>(QLatin1String(button));
        ASSERT_TRUE(b) << button;
        b->click();
    }
    // A tool window's entry shows it and, clicked again, hides it.
    void toggle(const QString& menu, QWidget* window)
    {
        ASSERT_TRUE(window);
        trigger(menu);
        EXPECT_TRUE(window->isVisible()) << qPrintable(menu);
        settle();
        trigger(menu);
        EXPECT_FALSE(window->isVisible()) << qPrintable(menu);
    }
    // A new control center on the first axis, current and polled.
    frm_Controlcenter* openControlCenter()
    {
        trigger(Menu::Kontroll);
        IControlCenter* cc = frame->CC.item(frame->Fensterzaehler());
        auto* w = cc ? dynamic_cast<frm_Controlcenter*>(cc->form()) : nullptr;
        if (w) {
            frame->CC_Aktivieren(w->core().Tag);
            w->core().setAddressesIndex(1);
            ticks(5);
        }
        return w;
    }
    void closeControlCenters()
    {
        for (QMdiSubWindow* sub : frame->mdiArea()->subWindowList())
            if (dynamic_cast<frm_Controlcenter*>(sub->widget()))
                sub->close();
        QApplication::processEvents();
    }
    static void closeForm(QWidget* w)
    {
        auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget());
        (sub ? static_cast<QWidget*>(sub) : w)->close();
        QApplication::processEvents();
    }
    // The shown window of a class (a window class without its own meta
    // object is found by its C++ type).
    template <class W>
    static W* shown()
    {
        for (QWidget* w : QApplication::allWidgets())
            if (auto* candidate = dynamic_cast<W*>(w); candidate && candidate->isVisible())
                return candidate;
        return nullptr;
    }
    // The window a menu entry shows.
    template <class W>
    W* opened(const QString& menu)
    {
        trigger(menu);
        return shown<W>();
    }
    // The window a new control center's button shows.
    template <class W>
    W* fromControlCenter(const char* button)
    {
        frm_Controlcenter* cc = openControlCenter();
        if (!cc)
            return nullptr;
        click(cc, button);
        return shown<W>();
    }

    std::unique_ptr<frm_main> frame;
    std::unique_ptr<ParamsContext> params;
    ProgramWindows windows;
    QStringList rejections;
    ReachWatcher reach;
};

class DemoTest : public ::testing::Test, protected DemoProgram
{
};

TEST_F(DemoTest, FirstStepsOfANewUserShowNoMessageBox)
{
    frm_Controlcenter* w = openControlCenter();
    ASSERT_TRUE(w);
    for (int index : {1, 2, 1}) {
        w->core().setAddressesIndex(index);
        ticks(5);
        EXPECT_EQ(frame->status(w->core().Tag), 1) << index;
    }
    w->ui.Fahrart_1->click();
    ticks(3);
    w->ui.Fahrart_0->click();
    ticks(3);
    w->ui.Fahrart_2->click();
    ticks(3);
    w->ui.cmd_STOPP->click();
    ticks(3);
    w->ui.Fahrart_0->click();
    ticks(3);

    frame->menuEntry(Menu::Optionen)->trigger();
    ASSERT_TRUE(windows.options->isVisible());
    windows.options->cmd_exit_Click();
    ticks(5);

    EXPECT_TRUE(uiServices->messages.isEmpty()) << qPrintable(uiServices->texts().join(QStringLiteral(" | ")));
    // The drive registers were read on choosing an axis, and nothing the
    // windows sent was rejected.
    bool registersRead = false;
    for (const auto& t : bus->traffic())
        registersRead = registersRead || t.second == QStringLiteral("[1RL]");
    EXPECT_TRUE(registersRead);
    EXPECT_TRUE(rejections.isEmpty()) << qPrintable(rejections.join(QStringLiteral(" | ")));
}

// A minimised control center is not polled, but every tick still selects
// its unit. On a line that carries only 960 characters a second those
// selections must not pile up ahead of the wire: once restored, the window's
// first position poll is answered within its time-out and the lamp stays on.
TEST_F(DemoTest, ControlCenterRestoredAfterTenMinimisedSecondsIsAnsweredAtOnce)
{
    frm_Controlcenter* w = openControlCenter();
    ASSERT_TRUE(w);
    ASSERT_EQ(w->core().sh_an_aus.colour, controlDesk::Green);
    auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget());
    ASSERT_TRUE(sub);
    sub->showMinimized();
    QApplication::processEvents();
    ASSERT_LT(frame->CC.item(w->core().Tag)->Width(), MainLoop::MinPollWidthTwips);
    const double minimised = clockSource->now();
    while (clockSource->now() - minimised < 10.0)
        ticks(100, 0.001);
    EXPECT_LT(bus->outputBacklog(), 0.01) << "the selections ran ahead of the wire";

    sub->showNormal();
    QApplication::processEvents();
    core->log().clear();
    const double restored = clockSource->now();
    ticks(1, 0.001);
    EXPECT_LT(clockSource->now() - restored, protocol::DefaultTimeout);
    ASSERT_FALSE(core->log().lines().isEmpty());
    EXPECT_TRUE(core->log().lines().constLast().startsWith(QStringLiteral("[1PA]-->[1PA!")))
        << qPrintable(core->log().lines().join(QStringLiteral(" | ")));
    ticks(5, 0.001);
    EXPECT_EQ(w->core().sh_an_aus.colour, controlDesk::Green);
    EXPECT_TRUE(uiServices->messages.isEmpty()) << qPrintable(uiServices->texts().join(QStringLiteral(" | ")));
}

// The same for a probe window whose "Messen" is unticked for a while: its
// unit is still selected on every tick; ticked again, its first "[0M1]"
// is answered at once, the lamp stays green and the readings come. Also on
// a line whose units run a few per cent slower than its nominal baud.
struct IdleCase
{
    const char* name;
    int wireBaud;
    double idleSeconds;
    // What the port says it has not sent: by default its real count.
    std::optional<int> unsentReport{};
};

class DemoIdleTest : public ::testing::TestWithParam<IdleCase>, public DemoProgram
{
};

TEST_P(DemoIdleTest, ProbeWindowMeasuringAgainIsAnsweredAtOnce)
{
    bus->setWireBaud(GetParam().wireBaud);
    bus->setUnsentReport(GetParam().unsentReport);
    // Ticks follow each other as fast as the selections' waits allow, as on
    // a busy machine.
    clockSource->setAutoStep(0.00001);
    auto* w = opened<frm_AKIK>(Menu::TasterC);
    ASSERT_TRUE(w);
    auto* aktiv = w->findChild<QAbstractButton*>(QStringLiteral("aktiv"));
    aktiv->click();
    // The analog board at 21.
    auto* type = w->findChild<QComboBox*>(QStringLiteral("cb_Unitauswahl"));
    type->setCurrentIndex(1);
    emit type->activated(1);
    QComboBox* list = nullptr;
    for (int e = 0; e < 5; ++e)
        if (w->core().cb__Achsenauswahl[std::size_t(e)].visible)
            list = w->findChild<QComboBox*>(QStringLiteral("cb__Achsenauswahl_%1").arg(e));
    ASSERT_TRUE(list);
    list->setCurrentIndex(list->findText(QStringLiteral("21")));
    emit list->activated(list->currentIndex());
    ticks(5, 0.001);
    ASSERT_TRUE(aktiv->isChecked());
    ASSERT_EQ(w->core().sh_an_aus.colour, ProbeWindowCore::Green);
    aktiv->click();
    ASSERT_FALSE(aktiv->isChecked());
    const double idle = clockSource->now();
    while (clockSource->now() - idle < GetParam().idleSeconds)
        ticks(100, 0.0001);
    EXPECT_LT(bus->outputBacklog(), 0.01) << "the selections ran ahead of the wire";

    aktiv->click();
    core->log().clear();
    const double measuring = clockSource->now();
    ticks(1, 0.001);
    EXPECT_LT(clockSource->now() - measuring, protocol::DefaultTimeout);
    ticks(5, 0.001);
    EXPECT_EQ(w->core().sh_an_aus.colour, ProbeWindowCore::Green);
    EXPECT_NE(w->core().kanal[0].text, QStringLiteral("-1999,99"));
    EXPECT_TRUE(uiServices->messages.isEmpty()) << qPrintable(uiServices->texts().join(QStringLiteral(" | ")));
}

const IdleCase idleCases[] = {{"TwentySecondsAtTheNominalBaud", 9600, 20.0},
                              {"FortySecondsOnALineTenPerCentSlow", 8640, 40.0},
                              {"FortySecondsTenPerCentSlowOnAPortThatCannotCount", 8640, 40.0, -1},
                              {"FortySecondsTenPerCentSlowOnAPortThatSaysNothingIsUnsent", 8640, 40.0, 0}};

INSTANTIATE_TEST_SUITE_P(IdleProbeWindow, DemoIdleTest, ::testing::ValuesIn(idleCases),
                         [](const ::testing::TestParamInfo<IdleCase>& info) { return std::string(info.param.name); });

// One way into a window: open it through its menu entry or button, let it
// run, close it again.
struct WindowCase
{
    const char* name;
    void (*run)(DemoProgram& d);
};

class DemoWindowTest : public ::testing::TestWithParam<WindowCase>, public DemoProgram
{
};

const WindowCase windowCases[] = {
    {"Controlcenter",
     [](DemoProgram& d) {
         ASSERT_TRUE(d.openControlCenter());
         d.settle();
         d.closeControlCenters();
         EXPECT_TRUE(d.frame->CC.isEmpty());
     }},
    // The parameter and EEPROM windows follow the current control center's axis.
    {"MotGearEncData",
     [](DemoProgram& d) {
         ASSERT_TRUE(d.openControlCenter());
         d.toggle(Menu::MGED, d.windows.paramWindows.calculation);
     }},
    {"DownloadInAchse",
     [](DemoProgram& d) {
         ASSERT_TRUE(d.openControlCenter());
         d.toggle(Menu::Download, d.windows.paramWindows.download);
     }},
    // A unit that answers one read after its time-out shifts no row: every
    // row shows its own register, and a download of all rows leaves the
    // unit's values as they were.
    {"DownloadReadOutWithALateReply",
     [](DemoProgram& d) {
         ASSERT_TRUE(d.openControlCenter());
         d.trigger(Menu::Download);
         auto late = std::make_shared<int>(1);
         d.bus->unit(QStringLiteral("01"))
             ->setHandler(QStringLiteral("1vE"), [late](SimUnit& u, const SimCommand&) -> std::optional<QByteArray> {
                 if ((*late)-- > 0)
                     u.setExtraReplyDelay(0.15);
                 return std::nullopt;
             });
         DownloadCore& w = d.windows.paramWindows.download->core();
         const auto readOut = [&] {
             w.cmd_auslesen_Click();
             QStringList replies;
             for (int i = 0; i < DownloadCore::MaxRows; ++i) {
                 const QString reply = w.lb_antwort[std::size_t(i)].text;
                 if (!w.Lesebefehle.value(i).isEmpty() && reply != keine_Antwort) {
                     EXPECT_TRUE(reply.startsWith(w.Lesebefehle.value(i).left(4))) << i << qPrintable(reply);
                 }
                 replies << reply;
             }
             return replies;
         };
         const QStringList first = readOut();
         EXPECT_EQ(first.count(keine_Antwort), 1);
         const QStringList own = readOut();
         w.cb_markierung[22].checked = true;
         w.cb_markierung_Click(22);
         w.cmd_download_Click();
         EXPECT_EQ(readOut(), own);
         d.trigger(Menu::Download);
     }},
    {"ScriptDownload", [](DemoProgram& d) { d.toggle(Menu::Download2, d.windows.script); }},
    {"Optionen", [](DemoProgram& d) { d.toggle(Menu::Optionen, d.windows.options); }},
    {"Kommunikation", [](DemoProgram& d) { d.toggle(Menu::Kommunikation, d.frame->communicationWindow()); }},
    {"Bedienungsanleitung",
     [](DemoProgram& d) {
         d.trigger(Menu::Ba);
         ASSERT_TRUE(d.frame->manualWindow());
         EXPECT_TRUE(d.frame->manualWindow()->isVisible());
         d.trigger(Menu::Ba);
     }},
    {"COMOptions",
     [](DemoProgram& d) {
         d.trigger(Menu::COMOptions);
         ASSERT_TRUE(d.frame->portDialog());
         EXPECT_TRUE(d.frame->portDialog()->isVisible());
         ASSERT_TRUE(QTest::qWaitFor([&d] { return d.frame->portDialog()->isOnScreen(); }));
         d.trigger(Menu::COMOptions);
         EXPECT_FALSE(d.frame->portDialog()->isVisible());
         EXPECT_TRUE(d.core->serial().isOpen());
     }},
    {"AchsensucheUndAutomatik",
     [](DemoProgram& d) {
         d.trigger(Menu::AchsenSuche);
         EXPECT_EQ(d.frame->Achsenliste.mid(0, 3), QStringList({"00-AA", "01", "02"}));
         d.trigger(QStringLiteral("mnuAchsenAus(1)"));
         EXPECT_EQ(d.frame->CC.count(), 2);
         d.settle();
         d.trigger(QStringLiteral("mnuAchsenAus(2)"));
         QApplication::processEvents();
         EXPECT_TRUE(d.frame->CC.isEmpty());
     }},
    {"Registerauslesen",
     [](DemoProgram& d) {
         ASSERT_TRUE(d.openControlCenter());
         d.trigger(Menu::rrBefehl);
         frm_rr* rr = d.frame->registerWindow();
         EXPECT_TRUE(rr->isVisible());
         rr->cmd_rr_Click();
         EXPECT_FALSE(rr->lb_registerwert.value(0)->text().isEmpty());
         rr->close();
     }},
    {"MikroskopSimulator",
     [](DemoProgram& d) {
         ASSERT_TRUE(d.openControlCenter());
         d.trigger(Menu::MSim);
         IStageSimulator* s = d.frame->stageSimulator();
         ASSERT_TRUE(s && s->form());
         EXPECT_TRUE(s->form()->isVisible());
         d.settle();
         DemoProgram::closeForm(s->form());
     }},
    {"JoystickAbgleich",
     [](DemoProgram& d) {
         ASSERT_TRUE(d.openControlCenter());
         auto* w = d.opened<frm_Joystick_Abgleich>(Menu::Joystick_Abgleich);
         ASSERT_TRUE(w);
         // Units 01 and 02, in joystick mode while the window's timer polls them.
         emit w->ui.cb_adressenauswahl->activated(1);
         d.settle();
         w->ui.Fahrart_0->click();
         d.settle();
         EXPECT_NE(w->core().lb_POS[0].text, QStringLiteral("off"));
         w->close();
     }},
    {"Tablett",
     [](DemoProgram& d) {
         auto* w = d.opened<frm_tablett>(Menu::Tablett);
         ASSERT_TRUE(w);
         d.settle();
         // The picture buttons, F1 and F2 and a status error box.
         for (const char* button : {"button_0", "button_1"})
             d.click(w, button);
         for (Qt::Key key : {Qt::Key_F1, Qt::Key_F2})
             QTest::keyRelease(w->form().pb_Zeichnung, key);
         for (const char* unit : {"01", "02"})
             d.bus->unit(QLatin1String(unit))
                 ->setHandler(QStringLiteral("1SA"), [](SimUnit&, const SimCommand&) -> std::optional<QByteArray> {
                     return QByteArray("[1SA?0013]");
                 });
         QTest::keyClicks(w->form().Text1, QStringLiteral("[1SA]"));
         QTest::keyClick(w->form().Text1, Qt::Key_Return);  // sent to both units
         d.expectOwnedBy(w, 6);
         d.rejections.clear();
         w->close();
     }},
    {"Multiterm",
     [](DemoProgram& d) {
         auto* w = d.opened<frm_multiterm>(Menu::MultiT);
         ASSERT_TRUE(w);
         d.settle();
         d.click(w, "ptestld");
         d.click(w, "pTestsp");
         d.expectOwnedBy(w, 2);
         // In front of the main window it disables.
         EXPECT_EQ(w->windowHandle()->transientParent(), d.frame->windowHandle());
         d.click(w, "cmd_exit");
     }},
    {"Ablauf",
     [](DemoProgram& d) {
         auto* w = d.opened<frm_ablauf>(Menu::Ablauf);
         ASSERT_TRUE(w);
         // Its menu "Aufzeichnen" shows the recording window.
         w->findChild<QAction*>(QStringLiteral("mnuAufz"))->trigger();
         EXPECT_TRUE(d.frame->recordingWindow()->isVisible());
         d.settle();
         d.frame->recordingWindow()->close();
         d.click(w, "AblLD");
         d.click(w, "AblSP");
         d.expectOwnedBy(w, 2);
         EXPECT_EQ(w->windowHandle()->transientParent(), d.frame->windowHandle());
         d.click(w, "cmd_exit");
     }},
    {"InitUndInitRegler",
     [](DemoProgram& d) {
         auto* w = d.fromControlCenter<frm_init>("cmd_Init");
         ASSERT_TRUE(w);
         // Clear of the main window's menus, which act on it.
         const QMenuBar* bar = d.frame->menuBar();
         EXPECT_GE(w->frameGeometry().top(), bar->mapToGlobal(QPoint(0, bar->height())).y());
         const int narrowWidth = w->width();
         // "Init-Regler" brings the list up again with its register slider.
         d.trigger(Menu::IR);
         EXPECT_GT(w->width(), narrowWidth);
         // The main window's entry loads the list this window shows.
         d.trigger(Menu::Befehlssatzladen);
         d.expectOwnedBy(w, 1);
         d.settle();
         w->close();
     }},
    {"Regelkreis",
     [](DemoProgram& d) {
         auto* w = d.fromControlCenter<frm_controlparameter>("cmd_ControllP");
         ASSERT_TRUE(w);
         d.settle();
         // A step response recorded from the bound axis.
         w->ui.cmd_Diag_1->click();
         d.ticks(60);
         d.settle();
         d.click(w, "cmd_exit");
     }},
    {"Servorecorder",
     [](DemoProgram& d) {
         d.frame->optionFlags().setOn(OptionFlags::EWWindow, true);
         frm_Controlcenter* cc = d.openControlCenter();
         ASSERT_TRUE(cc);
         d.click(cc, "cmd_eW");
         IRecorder* r = d.frame->recorder();
         ASSERT_TRUE(r && r->form());
         EXPECT_TRUE(r->form()->isVisible());
         // A measurement of every channel.
         for (const char* box : {"cb_an_aus", "cb_wP", "cb_tw", "cb_K8", "cb_PC", "cb_eW", "cb_Messung"})
             r->form()->findChild<QAbstractButton*>(QLatin1String(box))->click();
         d.settle();
         r->form()->findChild<QAbstractButton*>(QStringLiteral("cb_Messung"))->click();
         d.settle();
         DemoProgram::closeForm(r->form());
     }},
    {"ControlcenterAbfragen",
     [](DemoProgram& d) {
         frm_Controlcenter* cc = d.openControlCenter();
         ASSERT_TRUE(cc);
         for (const char* button : {"cmd_status", "cmd_version", "cmd_versionintern", "cmd_input", "cmd_sign"}) {
             d.click(cc, button);
             d.ticks(3);
         }
     }},
    {"Tastercenter",
     [](DemoProgram& d) {
         auto* w = d.opened<frm_AKIK>(Menu::TasterC);
         ASSERT_TRUE(w);
         w->findChild<QAbstractButton*>(QStringLiteral("aktiv"))->click();
         // Every board type on its demonstration board, read back and read out.
         const std::pair<int, const char*> boards[] = {{0, "22"}, {2, "31"}, {3, "31"}, {4, "11"},
                                                       {5, "11"}, {6, "41"}, {7, "51"}, {1, "21"}};
         for (const auto& [unitType, address] : boards) {
             auto* type = w->findChild<QComboBox*>(QStringLiteral("cb_Unitauswahl"));
             type->setCurrentIndex(unitType);
             emit type->activated(unitType);
             QComboBox* list = nullptr;
             for (int e = 0; e < 5; ++e)
                 if (w->core().cb__Achsenauswahl[std::size_t(e)].visible)
                     list = w->findChild<QComboBox*>(QStringLiteral("cb__Achsenauswahl_%1").arg(e));
             ASSERT_TRUE(list);
             list->setCurrentIndex(list->findText(QLatin1String(address)));
             emit list->activated(list->currentIndex());
             d.ticks(5);
             EXPECT_EQ(w->core().sh_an_aus.colour, ProbeWindowCore::Green) << address;
         }
         // The AK4's channel 1: 12.5 µm × 1.01 and 300 counts of zero error, with noise.
         EXPECT_NEAR(QString(w->core().kanal[0].text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(), 12.742,
                     0.01)
             << qPrintable(w->core().kanal[0].text);
         // The terminal turns channel 2 of that board off, then the guided window
         // every channel but 4, each on the port it owns: the window reads the
         // board's values by its new mask (channel 3: 250 µm × 1.03 + 900
         // counts, channel 4: 0.8 µm × 1.04 + 1200 counts).
         const auto shows = [&d, w](int channel, double value) {
             d.ticks(5);
             const QString text = w->core().kanal[std::size_t(channel - 1)].text;
             EXPECT_NEAR(QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(), value, 0.02)
                 << channel << qPrintable(text);
         };
         auto* terminal = d.opened<frm_multiterm>(Menu::MultiT);
         ASSERT_TRUE(terminal);
         QTest::keyClicks(terminal->findChild<QLineEdit*>(QStringLiteral("Text1_0")), QStringLiteral("21"));
         QTest::keyClicks(terminal->findChild<QLineEdit*>(QStringLiteral("tsend_0")), QStringLiteral("[0K11011]"));
         d.click(terminal, "Cosend_0");
         d.click(terminal, "cmd_exit");
         shows(3, 257.852);
         auto* guided = d.opened<frm_AK_Abgleich>(Menu::AKabgleich);
         ASSERT_TRUE(guided);
         for (const char* option : {"OAkX_1", "AKNR_0", "Check1_3"})
             guided->findChild<QAbstractButton*>(QLatin1String(option))->click();
         d.click(guided, "cmd_exit");
         shows(4, 1.3);
         for (const char* button : {"cmd_sign", "cmd_status", "cmd_version", "Option5_3", "Check1_1"}) {
             w->findChild<QAbstractButton*>(QLatin1String(button))->click();
             d.ticks(3);
         }
         d.click(w, "cmd_Init");
         EXPECT_TRUE(d.windows.sequences->init2BoundTo().has_value());
         d.settle();
         DemoProgram::closeForm(w);
         EXPECT_FALSE(d.windows.sequences->init2BoundTo().has_value());
     }},
    {"AKAbgleich",
     [](DemoProgram& d) {
         auto* w = d.opened<frm_AK_Abgleich>(Menu::AKabgleich);
         ASSERT_TRUE(w);
         // The probe board "21" as an AK4, measured on the window's own timer.
         // Its exchanges bypass the log: a rejection would be heard as a beep.
         for (const char* option : {"OAkX_1", "AKNR_0", "Check1_0", "aktiv"})
             w->findChild<QAbstractButton*>(QLatin1String(option))->click();
         d.settle();
         d.settle();
         // Channel A alone: one value, the AK4's channel 1.
         EXPECT_TRUE(w->core().empfang.text.startsWith(QStringLiteral("[0M1!"))) << qPrintable(w->core().empfang.text);
         EXPECT_EQ(w->core().empfang.text.size(), 13) << qPrintable(w->core().empfang.text);
         EXPECT_NEAR(QString(w->core().kanal[0].text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(), 12.742,
                     0.01)
             << qPrintable(w->core().kanal[0].text);
         // Board number, carrier and register read-back, then
         // the sixteen-channel board's calibration mode in and out.
         for (const char* button : {"Nr_AK", "Option0_1", "Register", "OAkX_4", "AKNR_0", "abgl", "abgl"})
             w->findChild<QAbstractButton*>(QLatin1String(button))->click();
         EXPECT_EQ(d.uiServices->beeps, 0) << qPrintable(w->core().messwert.text);
         // The sixteen-channel board "51" measured: one value, its channel 1.
         w->findChild<QAbstractButton*>(QStringLiteral("aktiv"))->click();
         d.settle();
         d.settle();
         EXPECT_EQ(w->core().empfang.text.size(), 13) << qPrintable(w->core().empfang.text);
         EXPECT_NEAR(QString(w->core().kanal[0].text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(), 3.5, 0.01)
             << qPrintable(w->core().kanal[0].text);
         d.click(w, "cmd_exit");
     }},
};

TEST_P(DemoWindowTest, OpensRunsAndClosesWithoutMessageOrRejection)
{
    GetParam().run(*this);
    settle();
    closeControlCenters();
    EXPECT_TRUE(uiServices->messages.isEmpty()) << qPrintable(uiServices->texts().join(QStringLiteral(" | ")));
    EXPECT_TRUE(rejections.isEmpty()) << qPrintable(rejections.join(QStringLiteral(" | ")));
    // Every window it showed fitted the screen (the test screen is smaller
    // than the smallest the program is used on).
    reach.checkShown();
    EXPECT_TRUE(reach.outOfReach.isEmpty()) << qPrintable(reach.outOfReach.join(QStringLiteral(" | ")));
    // Everything was given back: the loop runs, the menus and the frame are usable.
    EXPECT_TRUE(frame->isTimer1Running()) << qPrintable(frame->timer1Holders().join(QLatin1Char(',')));
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_TRUE(frame->menuEntry(Menu::Kontroll)->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, DemoWindowTest, ::testing::ValuesIn(windowCases),
                         [](const ::testing::TestParamInfo<WindowCase>& info) { return std::string(info.param.name); });

// --- Rules every window keeps ---------------------------------------------------------------

// The text a named control of a window shows.
QString shownText(QWidget* w, const char* name)
{
    QWidget* c = w->findChild<QWidget*>(QLatin1String(name));
    if (auto* l = qobject_cast<QLabel*>(c))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(c))
        return e->text();
    ADD_FAILURE() << "no text control " << name;
    return {};
}

// Closes a window as its operator would (its exit button where it has one).
void closeWindow(QWidget* w)
{
    const QPointer<QWidget> alive(w);
    if (auto* exit = w->findChild<QPushButton*>(QStringLiteral("cmd_exit")))
        exit->click();
    if (alive && alive->isVisible())
        DemoProgram::closeForm(alive);
    QApplication::processEvents();
}

QWidget* recorderWindow(DemoProgram& d)
{
    d.frame->optionFlags().setOn(OptionFlags::EWWindow, true);
    frm_Controlcenter* cc = d.openControlCenter();
    if (!cc)
        return nullptr;
    cc->findChild<QPushButton*>(QStringLiteral("cmd_eW"))->click();
    return d.frame->recorder() ? d.frame->recorder()->form() : nullptr;
}

// A bar acts while its thumb is dragged only where the window gives it a
// scroll handler; every other bar acts once, when the thumb is released.
struct BarCase
{
    const char* name;
    QWidget* (*open)(DemoProgram& d);
    const char* bar;
    bool scrolls;
    QString (*probe)(DemoProgram& d, QWidget* w);  // what the bar's handler changes
};

class DemoBarTest : public ::testing::TestWithParam<BarCase>, public DemoProgram
{
};

QString busTraffic(DemoProgram& d, QWidget*)
{
    return QString::number(d.bus->traffic().size());
}

const BarCase barCases[] = {
    {"ParameterLoopRegister",
     [](DemoProgram& d) -> QWidget* {
         if (!d.openControlCenter())
             return nullptr;
         d.trigger(Menu::MGED);
         return d.windows.paramWindows.calculation;
     },
     "sb_regelkreisH", false, busTraffic},
    {"ControlcenterContinuousRun", [](DemoProgram& d) -> QWidget* { return d.openControlCenter(); }, "sl_dauer", false,
     [](DemoProgram&, QWidget* w) { return QString::number(static_cast<frm_Controlcenter*>(w)->core().FlagDauer); }},
    {"ControlcenterSpeed", [](DemoProgram& d) -> QWidget* { return d.openControlCenter(); }, "sli_v", true,
     [](DemoProgram&, QWidget* w) { return shownText(w, "text_Geschwindigkeit"); }},
    {"AblaufType", [](DemoProgram& d) -> QWidget* { return d.opened<frm_ablauf>(Menu::Ablauf); }, "VTyp", false,
     [](DemoProgram&, QWidget* w) { return shownText(w, "tTyp"); }},
    {"AblaufBox", [](DemoProgram& d) -> QWidget* { return d.opened<frm_ablauf>(Menu::Ablauf); }, "VBox", false,
     [](DemoProgram&, QWidget* w) { return shownText(w, "tBox"); }},
    {"MultitermType", [](DemoProgram& d) -> QWidget* { return d.opened<frm_multiterm>(Menu::MultiT); }, "VTyp", false,
     [](DemoProgram&, QWidget* w) { return shownText(w, "tTyp"); }},
    {"MultitermBox", [](DemoProgram& d) -> QWidget* { return d.opened<frm_multiterm>(Menu::MultiT); }, "VBox", false,
     [](DemoProgram&, QWidget* w) { return shownText(w, "tBox"); }},
    {"ControlLoopRegister",
     [](DemoProgram& d) -> QWidget* { return d.fromControlCenter<frm_controlparameter>("cmd_ControllP"); },
     "sb_regelkreisV_2", true,
     [](DemoProgram&, QWidget* w) {
         return QString::number(static_cast<frm_controlparameter*>(w)->core().FlagRegelkreisschreiben);
     }},
    {"InitRegister",
     [](DemoProgram& d) -> QWidget* {
         QWidget* w = d.fromControlCenter<frm_init>("cmd_Init");
         d.trigger(Menu::IR);  // the list with its register slider
         return w;
     },
     "sli_wert", true, [](DemoProgram&, QWidget* w) { return shownText(w, "lb_wert"); }},
    {"RecorderPan", recorderWindow, "HScroll1", true, [](DemoProgram&, QWidget* w) { return shownText(w, "Label1"); }},
    {"StageSimulatorSpeed",
     [](DemoProgram& d) -> QWidget* {
         if (!d.openControlCenter())
             return nullptr;
         d.trigger(Menu::MSim);
         return d.frame->stageSimulator() ? d.frame->stageSimulator()->form() : nullptr;
     },
     "ScrollX", true, [](DemoProgram&, QWidget* w) { return shownText(w, "lb_cc_2"); }},
};

TEST_P(DemoBarTest, ActsWhileDraggedOnlyWithAScrollHandlerAndOnceOnRelease)
{
    const BarCase& c = GetParam();
    QWidget* w = c.open(*this);
    ASSERT_TRUE(w);
    settle();
    auto* bar = w->findChild<QAbstractSlider*>(QLatin1String(c.bar));
    ASSERT_TRUE(bar) << c.bar;
    ASSERT_TRUE(bar->isEnabled()) << c.bar;
    const int start = bar->value();
    const int step = start + 3 <= bar->maximum() ? 1 : -1;
    const QString before = c.probe(*this, w);
    bar->setSliderDown(true);
    QStringList during;
    for (int k = 1; k <= 3; ++k) {
        bar->setSliderPosition(start + step * k);
        during << c.probe(*this, w);
    }
    bar->setSliderDown(false);
    const QString after = c.probe(*this, w);
    if (c.scrolls) {
        EXPECT_NE(during.first(), before);
    } else {
        EXPECT_EQ(during, QStringList({before, before, before}));
        EXPECT_NE(after, before);
        EXPECT_EQ(bar->value(), start + 3 * step);
    }
    settle();
    closeWindow(w);
    closeControlCenters();
}

INSTANTIATE_TEST_SUITE_P(EveryBar, DemoBarTest, ::testing::ValuesIn(barCases),
                         [](const ::testing::TestParamInfo<BarCase>& info) { return std::string(info.param.name); });

// The probe window's layout for a board type: the controls the type does not
// offer are hidden the moment the type is chosen, also those in a frame that
// the same choice shows.
struct LayoutCase
{
    const char* name;
    int from;                 // board type shown first
    int to;                   // the type then chosen
    std::vector<int> hidden;  // interpolation factors hidden for it
};

class DemoLayoutTest : public ::testing::TestWithParam<LayoutCase>, public DemoProgram
{
};

const LayoutCase layoutCases[] = {
    {"Ak4ToIk2422", 1, 5, {3, 5, 6, 7, 8}},
    {"Ak4ToAk2Ik1422", 1, 3, {3, 5, 6, 7, 8}},
    {"Ak4ToIk2Ip1000", 1, 4, {}},
};

TEST_P(DemoLayoutTest, ControlsInAFrameShownInTheSameStepFollowTheirState)
{
    const LayoutCase& c = GetParam();
    auto* w = opened<frm_AKIK>(Menu::TasterC);
    ASSERT_TRUE(w);
    auto* type = w->findChild<QComboBox*>(QStringLiteral("cb_Unitauswahl"));
    for (int t : {c.from, c.to}) {
        type->setCurrentIndex(t);
        emit type->activated(t);
    }
    for (int n = 1; n <= 8; ++n) {
        const bool hidden = std::find(c.hidden.begin(), c.hidden.end(), n) != c.hidden.end();
        for (const char* group : {"wert0_%1", "wert1_%1"}) {
            QWidget* option = w->findChild<QWidget*>(QString::fromLatin1(group).arg(n));
            ASSERT_TRUE(option);
            EXPECT_EQ(option->isHidden(), hidden) << group << n;
            EXPECT_EQ(option->isHidden(), !w->core().wert0[std::size_t(n)].visible) << group << n;
        }
    }
    DemoProgram::closeForm(w);
}

INSTANTIATE_TEST_SUITE_P(ProbeBoardTypes, DemoLayoutTest, ::testing::ValuesIn(layoutCases),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

// Every number box of every window, typed into under a locale that writes a
// decimal comma: the box takes the comma, and a sign only where its filter
// has one ("-" alone, or "+" and "-").
struct NumberBox
{
    const char* name;
    const char* signs;  // what typing "+-7" leaves
};

struct NumberCase
{
    const char* name;
    QWidget* (*open)(DemoProgram& d);
    std::vector<NumberBox> boxes;
};

class DemoNumberTest : public ::testing::TestWithParam<NumberCase>, public DemoProgram
{
protected:
    // The box's text after `keys` typed into an emptied box.
    QString typed(QWidget* w, const char* name, const QString& keys)
    {
        QWidget* box = w->findChild<QWidget*>(QLatin1String(name));
        if (auto* combo = qobject_cast<QComboBox*>(box))
            box = combo->lineEdit();
        auto* edit = qobject_cast<QLineEdit*>(box);
        if (!edit) {
            ADD_FAILURE() << "no number box " << name;
            return {};
        }
        EXPECT_TRUE(edit->isEnabled()) << name;
        edit->clear();
        QTest::keyClicks(edit, keys);
        return edit->text();
    }
    QWidget* openWindow()
    {
        frame->komma_frage = true;
        QWidget* w = GetParam().open(*this);
        settle();
        return w;
    }
};

const NumberCase numberCases[] = {
    {"Parameters",
     [](DemoProgram& d) -> QWidget* {
         if (!d.openControlCenter())
             return nullptr;
         d.trigger(Menu::MGED);
         return d.windows.paramWindows.calculation;
     },
     {{"text_MFB_0", "7"}, {"text_MFB_3", "7"}}},
    {"Download",
     [](DemoProgram& d) -> QWidget* {
         if (!d.openControlCenter())
             return nullptr;
         d.trigger(Menu::Download);
         return d.windows.paramWindows.download;
     },
     {{"text_download_0", "+-7"}, {"text_download_8", "+-7"}}},
    {"Controlcenter",
     [](DemoProgram& d) -> QWidget* { return d.openControlCenter(); },
     {{"text_Geschwindigkeit", "7"},
      {"text_Beschleunigung", "7"},
      {"text_SLM", "+-7"},
      {"text_SLP", "+-7"},
      {"text_strecke", "7"}}},
    {"ControlLoop",
     [](DemoProgram& d) -> QWidget* { return d.fromControlCenter<frm_controlparameter>("cmd_ControllP"); },
     {{"text_strecke", "7"}}},
    {"PathTable",
     [](DemoProgram& d) -> QWidget* { return d.opened<frm_tablett>(Menu::Tablett); },
     {{"tb_delta", "7"}, {"tb_offsetX", "-7"}, {"tb_offsetY", "-7"}, {"cb_zoom", "-7"}, {"cb_ZZ", "-7"}}},
    {"ProbeWindow",
     [](DemoProgram& d) -> QWidget* { return d.opened<frm_AKIK>(Menu::TasterC); },
     {{"FaktorA_0", "7"}, {"tb_gitter", "7"}}},
    {"Calibration",
     [](DemoProgram& d) -> QWidget* { return d.opened<frm_AK_Abgleich>(Menu::AKabgleich); },
     {{"FaktorA", "+-7"}, {"faktorD", "+-7"}}},
    {"Recorder",
     recorderWindow,
     {{"text_faktor", "7"}, {"text_faktor2", "-7"}, {"text_minus", "-7"}, {"text_plus", "-7"}, {"tb_drift", "7"}}},
    {"Sequence", [](DemoProgram& d) -> QWidget* { return d.opened<frm_ablauf>(Menu::Ablauf); }, {{"TPosWeg", "+-7"}}},
};

TEST_P(DemoNumberTest, TakesTheDecimalCommaOfTheLocale)
{
    QWidget* w = openWindow();
    ASSERT_TRUE(w);
    for (const NumberBox& b : GetParam().boxes)
        EXPECT_EQ(typed(w, b.name, QStringLiteral("0,5")), "0,5") << b.name;
    closeWindow(w);
    closeControlCenters();
}

TEST_P(DemoNumberTest, TakesASignOnlyAsItsFilterAllows)
{
    QWidget* w = openWindow();
    ASSERT_TRUE(w);
    for (const NumberBox& b : GetParam().boxes)
        EXPECT_EQ(typed(w, b.name, QStringLiteral("+-7")), QLatin1String(b.signs)) << b.name;
    closeWindow(w);
    closeControlCenters();
}

INSTANTIATE_TEST_SUITE_P(EveryNumberBox, DemoNumberTest, ::testing::ValuesIn(numberCases),
                         [](const ::testing::TestParamInfo<NumberCase>& info) { return std::string(info.param.name); });

// What a window sets before a long wait on the bus (a "??" caption, a
// progress step) is on the screen while the program waits.
class PaintLog : public QObject
{
public:
    PaintLog(QWidget* w, std::function<QString()> look) : m_look(std::move(look)) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            seen << m_look();
        return false;
    }
    QStringList seen;

private:
    std::function<QString()> m_look;
};

struct WaitCase
{
    const char* name;
    QWidget* (*open)(DemoProgram& d);
    const char* watched;  // the control painted during the wait
    void (*act)(DemoProgram& d, QWidget* w);
    QStringList (*expected)();  // looks that must have been painted
};

class DemoWaitTest : public ::testing::TestWithParam<WaitCase>, public DemoProgram
{
};

QString buttonLook(QWidget* w)
{
    auto* b = static_cast<QAbstractButton*>(w);
    return b->text() + (b->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
}

QWidget* downloadWindow(DemoProgram& d)
{
    if (!d.openControlCenter())
        return nullptr;
    d.trigger(Menu::Download);
    return d.windows.paramWindows.download;
}

const WaitCase waitCases[] = {
    {"DownloadEeprom", downloadWindow, "cmd_EEPROM",
     [](DemoProgram&, QWidget* w) { w->findChild<QPushButton*>(QStringLiteral("cmd_EEPROM"))->click(); },
     [] { return QStringList{QStringLiteral("?? (disabled)")}; }},
    {"DownloadChannelEeprom", downloadWindow, "cmd_Kanal_EEPROM",
     [](DemoProgram&, QWidget* w) { w->findChild<QPushButton*>(QStringLiteral("cmd_Kanal_EEPROM"))->click(); },
     [] { return QStringList{QStringLiteral("?? (disabled)")}; }},
    {"ControlLoopSave",
     [](DemoProgram& d) -> QWidget* { return d.fromControlCenter<frm_controlparameter>("cmd_ControllP"); }, "cmd_save",
     [](DemoProgram& d, QWidget* w) {
         // The main loop stores on its next tick.
         w->findChild<QPushButton*>(QStringLiteral("cmd_save"))->click();
         d.ticks(3);
     },
     [] { return QStringList{QStringLiteral("?? (disabled)")}; }},
    {"AxisSearchProgress", [](DemoProgram& d) -> QWidget* { return d.frame->waitWindow(); }, "pb_ladeleiste",
     [](DemoProgram& d, QWidget*) { d.trigger(Menu::AchsenSuche); },
     [] {
         QStringList steps;
         for (int i : {1, 10, 20})
             steps << QString::number(i);
         return steps;
     }},
};

TEST_P(DemoWaitTest, WhatTheWindowSetIsPaintedBeforeTheWait)
{
    const WaitCase& c = GetParam();
    QWidget* w = c.open(*this);
    ASSERT_TRUE(w);
    settle();
    QWidget* watched = w->findChild<QWidget*>(QLatin1String(c.watched));
    ASSERT_TRUE(watched) << c.watched;
    PaintLog log(watched, [watched] {
        if (auto* bar = qobject_cast<QProgressBar*>(watched))
            return QString::number(bar->value());
        return buttonLook(watched);
    });
    c.act(*this, w);
    for (const QString& look : c.expected())
        EXPECT_TRUE(log.seen.contains(look)) << qPrintable(look) << " not in " << qPrintable(log.seen.join(" | "));
    settle();
    closeControlCenters();
}

INSTANTIATE_TEST_SUITE_P(EveryLongStore, DemoWaitTest, ::testing::ValuesIn(waitCases),
                         [](const ::testing::TestParamInfo<WaitCase>& info) { return std::string(info.param.name); });

}  // namespace
