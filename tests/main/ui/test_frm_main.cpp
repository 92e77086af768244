// The main window: its menu tree, start-up with its failure and USB paths,
// shut-down, the tool-window toggles and the suspension of the main loop,
// the registry in the MDI area, the menu locks, the port release and the
// entries of the service menu.

#include "MainWindowDoubles.h"
#include "Pty.h"

#include "frm_Bedienungsanleitung.h"
#include "frm_com.h"
#include "frm_communication.h"
#include "frm_main.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QListWidget>
#include <QTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const QStringList Locked{
    "mnuMultiT",         "mnuAblauf", "mnuAchsenerkennung", "mnuKontroll", "mnuDownload2", "mnuJoystick_Abgleich",
    "mnuDateispeichern", "mnuMGED",   "mnuAKabgleich",      "mnuOptionen", "mnuTasterC",   "mnuDownload"};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class FrmMainTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        main = std::make_unique<frm_main>(*prog.core);
        main->loadConfiguration = [this](const QString& mode) { configLoads << mode; };
        main->setControlCenterFactory([this] {
            auto* w = new ControlCenterDouble(prog.events, &prog.transport());
            return static_cast<IControlCenter*>(w);
        });
    }
    void TearDown() override { main.reset(); }

    bool enabled(const QString& name) const { return main->menuEntry(name)->isEnabled(); }
    QStringList enabledOf(const QStringList& names) const
    {
        QStringList out;
        for (const QString& n : names)
            if (enabled(n))
                out << n;
        return out;
    }
    void startOnCom1()
    {
        prog.remember(QStringLiteral("1"), QStringLiteral("9600"));
        main->MDIForm_Load();
        ASSERT_TRUE(prog.dialogs->messages.isEmpty());
    }
    ControlCenterDouble* cc(int n) const { return dynamic_cast<ControlCenterDouble*>(main->CC.item(n)); }

    SimProgram prog;
    std::unique_ptr<frm_main> main;
    QStringList configLoads;
};

TEST_F(FrmMainTest, MenuTreeHasTheEntriesCaptionsAndStartStates)
{
    EXPECT_EQ(main->windowTitle(), QStringLiteral(" Kelvane V2.1"));
    const QList<QPair<QString, QString>> entries{
        {"mnuDateispeichern", "Datei"},
        {"mnuLaden", "Motordaten Laden"},
        {"mnuSpeichern", "Motordaten Speichern"},
        {"mnu_SKladen", "Startkonfiguration laden"},
        {"mnu_SKspeichern", "Startkonfiguration speichern"},
        {"mnuBefehlssatzladen", "CC_Befehlssatz laden"},
        {"mnuBefehlssatzspeichern", "CC_Befehlssatz speichern"},
        {"mnusekbefehlssatzladen", "CCT_Befehlssatz laden"},
        {"mnusekbefehlsatzspeichern", "CCT_Befehlssatz speichern"},
        {"mnuKontroll", "Controlcenter"},
        {"mnuMGED", "Mot.-Gear.-Enc.data"},
        {"mnuDownload", "Download in Achse"},
        {"mnuAchsenerkennung", "Achsenerkennung"},
        {"mnuAchsenSuche", "Achsensuche"},
        {"mnuAchsenAus(1)", "Achsen_automatisch"},
        {"mnuAchsenAus(2)", "Achsen_manuell "},
        {"mnuCOMOptions", "COM-Options"},
        {"mnuaktivfenster", "Aktive Fenster"},
        {"mnuTasterC", "Tastercenter"},
        {"mnuService", "Service"},
        {"mnuKommunikation", "Kommunikation"},
        {"mnurrBefehl", "[1ra]"},
        {"mnuMSim", "Mikroskop_Simulator"},
        {"mnuDownload2", "Download"},
        {"mnuIR", "Init-Regler"},
        {"mnuJoystick_Abgleich", "Joystick_Abgleich"},
        {"mnuTablett", "Tablett"},
        {"mnuMultiT", "Multiterm"},
        {"mnuAblauf", "Ablauf"},
        {"mnuAKabgleich", "AK-Abgleich"},
        {"mnuBa", "Bedienungsanleitung"},
        {"mnuSpracheauswahl", "Sprache"},
        {"mnuSprache(2)", "Deutsch"},
        {"mnuSprache(3)", "English"},
        {"mnuSprache(4)", "France"},
        {"mnuCF", "Schnittstellen - Freigabe "},
        {"mnuOptionen", "Optionen"},
    };
    QStringList names;
    for (const auto& [name, caption] : entries) {
        names << name;
        const QAction* a = main->menuEntry(name);
        ASSERT_NE(a, nullptr) << name.toStdString();
        EXPECT_EQ(a->text(), caption) << name.toStdString();
        const bool disabledAtStart = name == QLatin1String("mnuAchsenAus(1)");
        EXPECT_EQ(a->isEnabled(), !disabledAtStart) << name.toStdString();
        const bool checkedAtStart = name == QLatin1String("mnuAchsenAus(2)") || name == QLatin1String("mnuSprache(2)");
        EXPECT_EQ(a->isChecked(), checkedAtStart) << name.toStdString();
    }
    EXPECT_EQ(main->menuEntryNames(), names);
    EXPECT_FALSE(main->isTimer1Running()) << "the loop starts with the start-up";
}

TEST_F(FrmMainTest, StartWithEmptySettingsReportsThePortAndLeavesOnlyComOptions)
{
    main->MDIForm_Load();
    EXPECT_EQ(prog.dialogs->texts(), QStringList{frm_main::PortMessage});
    EXPECT_EQ(configLoads, (QStringList{"auto", "auto"}));
    EXPECT_TRUE(enabledOf(Locked).isEmpty()) << enabledOf(Locked).join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(enabled(QStringLiteral("mnuCOMOptions")));
    EXPECT_TRUE(prog.transport().Schnittstelle.isEmpty()) << "no transport until the port dialog picks one";
    EXPECT_FALSE(prog.port->isOpen());
    EXPECT_EQ(prog.port->commPort(), 0);
    EXPECT_EQ(main->auswerten_baud(), QStringLiteral("0"));
    EXPECT_EQ(prog.transport().baudText, QStringLiteral("0"));
    EXPECT_TRUE(main->isTimer1Running()) << "the loop had been switched on before the port failed";
    EXPECT_EQ(main->optionFlags().digitIndex(), 5);
    EXPECT_FALSE(main->komma_frage);
}

TEST_F(FrmMainTest, FailureBeforeTheConfigurationLoadsItOnceAndTheLoopStartsWithThePortDialog)
{
    main->loadHiddenWindows = [] { throw std::runtime_error("parameter window"); };
    prog.remember(QStringLiteral("1"), QStringLiteral("9600"));
    main->MDIForm_Load();
    EXPECT_EQ(prog.dialogs->texts(), QStringList{frm_main::PortMessage});
    EXPECT_EQ(configLoads, QStringList{"auto"});
    EXPECT_FALSE(main->isTimer1Running());
    EXPECT_FALSE(prog.port->isOpen());

    main->mnuCOMOptions_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->portDialog()->isOnScreen(); }));
    main->mnuCOMOptions_Click();
    EXPECT_TRUE(main->isTimer1Running());
    EXPECT_TRUE(enabled(QStringLiteral("mnuKontroll")));
}

TEST_F(FrmMainTest, StartInUsbModeOpensNothingAndLocksTheMenus)
{
    prog.remember(QStringLiteral("USB"), QStringLiteral("115200"));
    main->MDIForm_Load();
    EXPECT_TRUE(prog.dialogs->messages.isEmpty());
    EXPECT_EQ(prog.transport().Schnittstelle, QStringLiteral("USB"));
    EXPECT_EQ(prog.transport().USBHandle, 0u);
    EXPECT_FALSE(prog.port->isOpen());
    EXPECT_TRUE(enabledOf(Locked).isEmpty());
    EXPECT_TRUE(enabled(QStringLiteral("mnuCOMOptions")));
    EXPECT_EQ(configLoads, QStringList{"auto"});
    EXPECT_EQ(prog.transport().baudText, QStringLiteral("115200"));
}

TEST_F(FrmMainTest, StartOnARememberedPortOpensItAndLeavesTheMenusOpen)
{
    startOnCom1();
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.port->commPort(), 1);
    EXPECT_EQ(prog.port->settings(), QStringLiteral("9600"));
    EXPECT_EQ(prog.transport().Schnittstelle, QStringLiteral("COM"));
    EXPECT_EQ(enabledOf(Locked), Locked);
    EXPECT_TRUE(main->isTimer1Running());
    EXPECT_EQ(configLoads, QStringList{"auto"});
    EXPECT_FALSE(main->isVisible()) << "no window shows itself at start";
    EXPECT_FALSE(main->communicationWindow()->isVisible());
}

TEST_F(FrmMainTest, ShutDownSelectsBroadcastStopsTheLoopPausesAndClosesThePort)
{
    startOnCom1();
    main->mnuKontroll_Click();
    prog.port->logOpenClose = true;
    prog.events.clear();
    const double slept0 = prog.fakeClock->slept();
    // Record the loop's state and the pause at the moment the port closes.
    bool runningAtClose = true;
    double pausedBeforeClose = -1;
    prog.port->onClose = [&] {
        runningAtClose = main->isTimer1Running();
        pausedBeforeClose = prog.fakeClock->slept() - slept0;
    };

    main->MDIForm_Unload();
    EXPECT_EQ(prog.events, (QStringList{"select 00", "close"}));
    EXPECT_FALSE(runningAtClose);
    EXPECT_GE(pausedBeforeClose, 0.1);
    EXPECT_FALSE(main->isTimer1Running());
    flushDeletes();
    EXPECT_TRUE(main->CC.isEmpty()) << "open windows are unloaded";
    EXPECT_EQ(main->CC_I, 0);
    EXPECT_EQ(prog.remembered(QStringLiteral("Backup_CommPort")), QStringLiteral("1"));

    // Closing the frame afterwards does not shut down twice.
    prog.events.clear();
    main->close();
    EXPECT_TRUE(prog.events.isEmpty());
    main->releaseMainLoop(QStringLiteral("late window"));
    EXPECT_FALSE(main->isTimer1Running()) << "nothing restarts the loop after shut-down";
}

TEST_F(FrmMainTest, ToolWindowToggleSwitchesLoopTagAndInitialisationRequest)
{
    startOnCom1();
    QWidget parameters;
    int secondClickHooks = 0;
    main->setToolWindow(QStringLiteral("mnuMGED"), &parameters, {nullptr, [&] { ++secondClickHooks; }});

    main->menuEntry(QStringLiteral("mnuMGED"))->trigger();
    EXPECT_TRUE(parameters.isVisible());
    EXPECT_EQ(main->toolWindowTag(QStringLiteral("mnuMGED")), QStringLiteral("1"));
    EXPECT_FALSE(main->isTimer1Running());
    EXPECT_EQ(enabledOf(Locked), QStringList{"mnuMGED"}) << "its own entry stays usable to close it";
    EXPECT_EQ(main->com_motflag, 0);

    main->menuEntry(QStringLiteral("mnuMGED"))->trigger();
    EXPECT_FALSE(parameters.isVisible());
    EXPECT_EQ(main->toolWindowTag(QStringLiteral("mnuMGED")), QStringLiteral("0"));
    EXPECT_TRUE(main->isTimer1Running());
    EXPECT_EQ(main->com_motflag, 1);
    EXPECT_EQ(enabledOf(Locked), Locked);
    EXPECT_EQ(secondClickHooks, 1);
}

TEST_F(FrmMainTest, ClosingOneBusOwnerDoesNotRestartTheLoopWhileAnotherHoldsIt)
{
    startOnCom1();
    QWidget parameters, eeprom;
    main->setToolWindow(QStringLiteral("mnuMGED"), &parameters);
    main->setToolWindow(QStringLiteral("mnuDownload"), &eeprom);
    int tabletOpened = 0;
    main->setWindowOpener(QStringLiteral("mnuTablett"), [&] { ++tabletOpened; });

    main->mnuTablett_Click();
    main->mnuMGED_Click();
    EXPECT_EQ(tabletOpened, 1);
    EXPECT_FALSE(main->isTimer1Running());

    main->toolWindowExit(QStringLiteral("mnuMGED"));  // its own exit button
    EXPECT_FALSE(parameters.isVisible());
    EXPECT_FALSE(main->isTimer1Running()) << "the path table still owns the bus";
    EXPECT_EQ(main->timer1Holders(), QStringList{"mnuTablett"});

    main->releaseMainLoop(Menu::Tablett);  // the path table closes
    EXPECT_TRUE(main->isTimer1Running());
}

TEST_F(FrmMainTest, EntriesWhoseWindowsDoNotExistYetDoNothing)
{
    startOnCom1();
    for (const char* name : {"mnuMGED", "mnuDownload", "mnuDownload2", "mnuOptionen", "mnuJoystick_Abgleich",
                             "mnuTablett", "mnuMultiT", "mnuAblauf", "mnuAKabgleich", "mnuTasterC"})
        main->menuEntry(QLatin1String(name))->trigger();
    EXPECT_TRUE(main->isTimer1Running());
    EXPECT_TRUE(main->isEnabled());
    EXPECT_EQ(enabledOf(Locked), Locked);
    EXPECT_TRUE(main->CCT.isEmpty());
}

TEST_F(FrmMainTest, WindowsThatDisableTheFrameHoldTheLoopUntilTheyClose)
{
    startOnCom1();
    QStringList opened;
    main->setWindowOpener(QStringLiteral("mnuAblauf"), [&] { opened << QStringLiteral("ablauf"); });
    main->mnuAblauf_Click();
    EXPECT_EQ(opened, QStringList{"ablauf"});
    EXPECT_FALSE(main->isEnabled());
    EXPECT_FALSE(main->isTimer1Running());
}

// A window that fails to open leaves no hold behind: the loop runs and the
// frame is usable again.
class FailingOpenerTest : public FrmMainTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(FailingOpenerTest, ReleasesTheHoldAndTheFrame)
{
    startOnCom1();
    const QString name = QLatin1String(GetParam());
    main->setWindowOpener(name, [] { throw std::runtime_error("form missing"); });
    main->menuEntry(name)->trigger();
    EXPECT_TRUE(main->timer1Holders().isEmpty()) << main->timer1Holders().join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(main->isTimer1Running());
    EXPECT_TRUE(main->isEnabled());
    EXPECT_TRUE(main->menuEntry(QStringLiteral("mnuKontroll"))->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Openers, FailingOpenerTest,
                         ::testing::Values("mnuAblauf", "mnuAKabgleich", "mnuJoystick_Abgleich"));

TEST_F(FrmMainTest, ControlCentersCascadeInTheMdiAreaAndGetTheFixedAddressList)
{
    startOnCom1();
    for (int i = 0; i < 24; ++i)
        main->menuEntry(QStringLiteral("mnuKontroll"))->trigger();
    ASSERT_EQ(main->CC.count(), 24);
    const auto at = [this](int n) { return main->subWindowOf(main->CC.item(n))->pos(); };
    EXPECT_EQ(at(1), QPoint(20, 20));     // 300 twips
    EXPECT_EQ(at(11), QPoint(220, 220));  // 3300 twips
    EXPECT_EQ(at(12), QPoint(10, 10));    // 150 twips
    EXPECT_EQ(at(23), QPoint(230, 230));  // 3450 twips
    EXPECT_EQ(at(24), QPoint(20, 20));
    EXPECT_EQ(cc(12)->Tag, 12);
    EXPECT_EQ(main->CC.keys().last(), QStringLiteral("k24"));
    const QStringList list = cc(1)->list;
    ASSERT_EQ(list.size(), 31);
    EXPECT_EQ(list.first(), QStringLiteral("00-AA"));
    EXPECT_EQ(list.at(10), QStringLiteral("0A"));
    EXPECT_EQ(list.last(), QStringLiteral("1E"));
    EXPECT_FALSE(main->subWindowOf(cc(1))->isHidden());
}

TEST_F(FrmMainTest, AutomaticListOpensPresetMinimisedWindowsFromTheSearchResult)
{
    startOnCom1();
    main->menuEntry(QStringLiteral("mnuAchsenAus(2)"))->setChecked(false);
    main->arrayAchsenAe(QStringLiteral("00-AA"), 0);
    main->arrayAchsenAe(QStringLiteral("03"), 3);
    EXPECT_FALSE(main->arrayAchsenAe(QStringLiteral("1F"), 31));
    main->flagautomatik = 1;
    main->Achsindex = 3;
    prog.events.clear();
    main->mnuKontroll_Click();
    ControlCenterDouble* w = cc(1);
    EXPECT_EQ(w->list, main->Achsenliste);
    EXPECT_EQ(w->listIndex, 3);
    EXPECT_TRUE(prog.events.contains("cc1.Initialisierung"));
    EXPECT_TRUE(main->subWindowOf(w)->isMinimized());
}

TEST_F(FrmMainTest, ClosingTheCurrentOfSeveralControlCentersKeepsTheLoopSafe)
{
    startOnCom1();
    for (int i = 0; i < 3; ++i)
        main->mnuKontroll_Click();
    for (int n = 1; n <= 3; ++n) {
        cc(n)->list = {QStringLiteral("00-AA"), QStringLiteral("01")};
        cc(n)->listIndex = 1;
    }
    main->CC_Aktivieren(2);
    main->subWindowOf(cc(2))->close();
    flushDeletes();
    EXPECT_EQ(main->CC.keys(), (QStringList{"k1", "k3"}));
    EXPECT_EQ(main->CC_I, 2);

    prog.events.clear();
    main->Timer1_Timer();
    EXPECT_EQ(prog.events, (QStringList{"cc1.Aktualisieren", "cc3.Aktualisieren"}));

    main->mnuKontroll_Click();
    EXPECT_EQ(main->CC.keys(), (QStringList{"k1", "k3", "k4"}));

    main->mdiArea()->closeAllSubWindows();
    flushDeletes();
    EXPECT_TRUE(main->CC.isEmpty());
    EXPECT_EQ(main->CC_I, 0);
}

TEST_F(FrmMainTest, ProbeWindowsOpenAtTheirNumberInTheMdiArea)
{
    startOnCom1();
    main->setProbeWindowFactory([this] { return static_cast<IProbeWindow*>(new ProbeWindowDouble(prog.events)); });
    main->mnuTasterC_Click();
    main->mnuTasterC_Click();
    EXPECT_EQ(main->CCT.keys(), (QStringList{"k1", "k2"}));
    EXPECT_EQ(main->subWindowOf(main->CCT.item(2))->pos(), QPoint(40, 40));
    EXPECT_EQ(main->CCT.item(2)->Tag, 2);
}

TEST_F(FrmMainTest, LockModesTreatControlCentersAndComOptionsDifferently)
{
    startOnCom1();
    main->mnuKontroll_Click();
    RecorderDouble recorder(prog.events);
    ControlLoopDouble loopWindow(prog.events);
    main->frm_eW = &recorder;
    main->frm_controlparameter = &loopWindow;
    recorder.an_aus = 1;

    main->Disable_all(4);
    EXPECT_TRUE(cc(1)->isEnabled());
    EXPECT_FALSE(enabled(QStringLiteral("mnuCOMOptions")));
    EXPECT_FALSE(recorder.enabled);
    EXPECT_TRUE(loopWindow.enabled) << "a closed control-loop window is left alone";
    main->Enable_all();
    EXPECT_TRUE(enabled(QStringLiteral("mnuCOMOptions"))) << "the port's own settings stay reachable";
    EXPECT_TRUE(recorder.enabled);

    main->Disable_all(0);
    EXPECT_FALSE(cc(1)->isEnabled());
    EXPECT_TRUE(enabled(QStringLiteral("mnuCOMOptions")));

    prog.transport().Schnittstelle = QStringLiteral("USB");
    main->Enable_all();
    EXPECT_TRUE(cc(1)->isEnabled());
    for (const char* name : {"mnuAblauf", "mnuMultiT", "mnuAKabgleich", "mnuCF"})
        EXPECT_FALSE(enabled(QLatin1String(name))) << name;
    EXPECT_TRUE(enabled(QStringLiteral("mnuKontroll")));
    main->frm_eW = nullptr;
    main->frm_controlparameter = nullptr;
}

TEST_F(FrmMainTest, PortReleaseClosesAndReopensTheSerialPort)
{
    startOnCom1();
    QAction* cf = main->menuEntry(QStringLiteral("mnuCF"));
    cf->trigger();
    EXPECT_FALSE(prog.port->isOpen());
    EXPECT_TRUE(cf->isChecked());
    EXPECT_FALSE(main->isTimer1Running());
    EXPECT_TRUE(enabledOf(Locked).isEmpty());

    cf->trigger();
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_FALSE(cf->isChecked());
    EXPECT_TRUE(main->isTimer1Running());
    EXPECT_EQ(enabledOf(Locked), Locked);
}

TEST_F(FrmMainTest, PortReleaseInUsbModeClosesTheDeviceAndEndsOnlyThroughThePortDialog)
{
    prog.remember(QStringLiteral("USB"), QStringLiteral("9600"));
    main->MDIForm_Load();
    BusTransport& bus = prog.transport();
    UsbHandle handle = 0;
    ASSERT_EQ(prog.bridge->SI_Open(0, &handle), si::SUCCESS);
    bus.USBHandle = handle;
    main->Enable_all();
    QAction* cf = main->menuEntry(QStringLiteral("mnuCF"));
    cf->setEnabled(true);

    main->mnuCF_Click();
    EXPECT_TRUE(cf->isChecked());
    EXPECT_EQ(bus.USBStatus, si::SUCCESS);
    EXPECT_NE(prog.bridge->SI_SetBaudRate(handle, 9600), si::SUCCESS) << "the device is closed";
    EXPECT_FALSE(main->isTimer1Running());

    main->mnuCF_Click();
    EXPECT_TRUE(cf->isChecked());
    EXPECT_FALSE(main->isTimer1Running());

    // The port dialog is the way back: its OK opens the device and the loop
    // runs again.
    main->mnuCOMOptions_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->portDialog()->isOnScreen(); }));
    main->mnuCOMOptions_Click();
    EXPECT_NE(bus.USBHandle, 0u);
    EXPECT_TRUE(main->isTimer1Running()) << main->timer1Holders().join(QLatin1Char(',')).toStdString();
}

TEST_F(FrmMainTest, ComOptionsHoldsTheLoopWhileTheDialogIsOpenAndOkStoresTheChoice)
{
    startOnCom1();
    QAction* options = main->menuEntry(QStringLiteral("mnuCOMOptions"));
    options->trigger();
    ASSERT_NE(main->portDialog(), nullptr);
    EXPECT_TRUE(main->portDialog()->isVisible());
    EXPECT_EQ(main->portDialog()->Tag, QStringLiteral("1"));
    EXPECT_FALSE(main->isTimer1Running());
    EXPECT_TRUE(enabledOf(Locked).isEmpty());
    EXPECT_TRUE(options->isEnabled());
    EXPECT_TRUE(prog.port->isOpen()) << "the dialog reopened the remembered port";

    main->portDialog()->list_baud->setCurrentRow(1);  // 19200
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->portDialog()->isOnScreen(); }));
    options->trigger();
    flushDeletes();
    EXPECT_EQ(main->portDialog(), nullptr);
    EXPECT_TRUE(main->isTimer1Running());
    EXPECT_EQ(enabledOf(Locked), Locked);
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.remembered(QStringLiteral("Backup_Settings")), QStringLiteral("19200"));
    EXPECT_EQ(prog.transport().baudText, QStringLiteral("19200"));
}

TEST_F(FrmMainTest, CommunicationEntryTogglesTheLogWindow)
{
    startOnCom1();
    prog.core->log().insertLine(QStringLiteral("old"));
    main->mnuKommunikation_Click();
    frm_communication* w = main->communicationWindow();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->cb_an_aus->isChecked());
    EXPECT_TRUE(prog.core->log().filter());
    EXPECT_EQ(prog.core->log().rowCount(), 0);

    main->mnuKommunikation_Click();
    EXPECT_FALSE(w->isVisible());

    // Closed with its own close box: the next click only clears the toggle.
    main->mnuKommunikation_Click();
    w->close();
    main->mnuKommunikation_Click();
    EXPECT_FALSE(w->isVisible());
    main->mnuKommunikation_Click();
    EXPECT_TRUE(w->isVisible());
}

TEST_F(FrmMainTest, StageSimulatorNeedsAnOpenControlCenter)
{
    startOnCom1();
    SimulatorDouble* sim = nullptr;
    main->setStageSimulatorFactory([&] {
        sim = new SimulatorDouble(prog.events);
        return static_cast<IStageSimulator*>(sim);
    });
    main->mnuMSim_Click();
    EXPECT_EQ(prog.dialogs->texts(), QStringList{"Öffnen sie vorher ein Controlcenter zur Sicherheit"});
    EXPECT_EQ(sim, nullptr);

    main->mnuKontroll_Click();
    main->mnuMSim_Click();
    ASSERT_NE(sim, nullptr);
    EXPECT_TRUE(sim->shown);
    EXPECT_EQ(sim->combo1, 4);
    EXPECT_EQ(main->frm_MSim, sim);
    main->frm_MSim = nullptr;
    delete sim;
}

TEST_F(FrmMainTest, HandlersOfOtherWindowsSetCheckMarksThemselvesAndCannotThrowOut)
{
    QAction* manuell = main->menuEntry(QStringLiteral("mnuAchsenAus(2)"));
    int calls = 0;
    main->setMenuHandler(QStringLiteral("mnuAchsenAus(2)"), [&] {
        ++calls;
        EXPECT_TRUE(manuell->isChecked()) << "the handler sees the mark as it was before the click";
        throw std::runtime_error("address lists");
    });
    manuell->trigger();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(manuell->isChecked());
}

TEST_F(FrmMainTest, LanguageEntriesMoveOnlyTheCheckMark)
{
    main->menuEntry(QStringLiteral("mnuSprache(3)"))->trigger();
    EXPECT_FALSE(main->menuEntry(QStringLiteral("mnuSprache(2)"))->isChecked());
    EXPECT_TRUE(main->menuEntry(QStringLiteral("mnuSprache(3)"))->isChecked());
    main->menuEntry(QStringLiteral("mnuSprache(3)"))->trigger();
    EXPECT_TRUE(main->menuEntry(QStringLiteral("mnuSprache(3)"))->isChecked()) << "a second click keeps it";
    EXPECT_FALSE(main->menuEntry(QStringLiteral("mnuSprache(4)"))->isChecked());
}

TEST_F(FrmMainTest, ManualEntryShowsAndUnloadsTheManualWindow)
{
    main->mnuBa_Click();
    ASSERT_NE(main->manualWindow(), nullptr);
    EXPECT_TRUE(main->manualWindow()->isVisible());
    main->mnuBa_Click();
    flushDeletes();
    EXPECT_EQ(main->manualWindow(), nullptr);
}

TEST_F(FrmMainTest, DecoderStaysQuietForLimitCodesDuringTheReferenceRun)
{
    startOnCom1();
    main->mnuKontroll_Click();
    main->CC_Aktivieren(1);
    cc(1)->FlagGrafikInit = 1;
    prog.bus->unit(QStringLiteral("01"))->rejectNext(QStringLiteral("[1FA"), 0x0019);
    prog.transport().einheit_waehlen(QStringLiteral("01"));
    prog.transport().senden_empfangen(QStringLiteral("[1FA00000010]"));
    EXPECT_TRUE(prog.dialogs->messages.isEmpty());
    EXPECT_EQ(prog.dialogs->beeps, 1);
}

TEST_F(FrmMainTest, LostPortIsReportedOnceInTheLogAndInAMessage)
{
    startOnCom1();
    main->mnuKontroll_Click();
    cc(1)->pollCommand = QStringLiteral("[0ST]");
    main->Timer1_Timer();
    prog.port->sim().setFarEndClosed(true);
    for (int i = 0; i < 20; ++i)
        main->Timer1_Timer();
    QCoreApplication::processEvents();
    ASSERT_EQ(prog.dialogs->messages.size(), 1);
    const QString text = prog.dialogs->messages.first().text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("Verbindung zu COM1 verloren: "))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("went away"))) << "the system's reason";
    EXPECT_EQ(prog.core->log().lines().count(text), 1);
}

TEST_F(FrmMainTest, ActionOnTheLostPortSaysOnceThatItIsClosed)
{
    startOnCom1();
    main->mnuKontroll_Click();
    cc(1)->pollCommand = QStringLiteral("[0ST]");
    main->Timer1_Timer();
    prog.port->sim().setFarEndClosed(true);
    // An action under way when the port goes: its message covers the rest.
    prog.transport().senden_empfangen(QStringLiteral("[0ST]"));
    prog.transport().senden_empfangen(QStringLiteral("[0ST]"));
    QCoreApplication::processEvents();
    ASSERT_EQ(prog.dialogs->messages.size(), 1);
    EXPECT_TRUE(prog.dialogs->messages[0].text.startsWith(QStringLiteral("Verbindung zu COM1 verloren")));

    // The main loop's polling of the closed port is no action of the operator.
    for (int i = 0; i < 10; ++i) {
        main->Timer1_Timer();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(prog.dialogs->messages.size(), 1);

    // A command a window posts (a move button) is an action, though the loop
    // sends it; so is an axis search. One notice, not one per exchange, and
    // once per loss.
    cc(1)->flagsenden = 1;
    main->Timer1_Timer();
    QCoreApplication::processEvents();
    ASSERT_EQ(prog.dialogs->messages.size(), 2) << qPrintable(prog.dialogs->texts().join(QStringLiteral(" | ")));
    EXPECT_EQ(prog.dialogs->messages[1].text,
              QStringLiteral("COM1 ist geschlossen. Über COM-Options wird er wieder geöffnet."));
    cc(1)->flagsenden = 0;
    for (int search = 0; search < 2; ++search) {
        main->menuEntry(Menu::AchsenSuche)->trigger();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(prog.dialogs->messages.size(), 2);

    // A port the operator closes himself is no loss: nothing is said.
    prog.port->sim().setFarEndClosed(false);
    ASSERT_TRUE(prog.port->open());
    prog.port->close();
    main->menuEntry(Menu::AchsenSuche)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(prog.dialogs->messages.size(), 2);

    // After the next loss, a command a probe window posts says it as well.
    main->setProbeWindowFactory([this] { return static_cast<IProbeWindow*>(new ProbeWindowDouble(prog.events)); });
    main->mnuTasterC_Click();
    ASSERT_TRUE(prog.port->open());
    prog.port->sim().setFarEndClosed(true);
    prog.transport().senden_empfangen(QStringLiteral("[0ST]"));
    QCoreApplication::processEvents();
    main->CCT.item(1)->flagsenden = 1;
    main->Timer1_Timer();
    QCoreApplication::processEvents();
    ASSERT_EQ(prog.dialogs->messages.size(), 4) << qPrintable(prog.dialogs->texts().join(QStringLiteral(" | ")));
    EXPECT_EQ(prog.dialogs->messages[3].text, frm_main::PortClosedMessage.arg(1));
}

TEST_F(FrmMainTest, ChildWindowsLargerThanTheMdiAreaAreReachedByScrolling)
{
    startOnCom1();
    main->show();
    main->mnuKontroll_Click();
    QMdiSubWindow* sub = main->subWindowOf(main->CC.item(1));
    ASSERT_TRUE(sub);
    const QSize area = main->mdiArea()->viewport()->size();
    sub->resize(area.width() + 400, area.height() + 300);
    QCoreApplication::processEvents();
    EXPECT_GE(main->mdiArea()->horizontalScrollBar()->maximum(), 400 - sub->x());
    EXPECT_GE(main->mdiArea()->verticalScrollBar()->maximum(), 300 - sub->y());
    EXPECT_TRUE(main->mdiArea()->horizontalScrollBar()->isVisible());
}

TEST_F(FrmMainTest, TimerWakesOnlyWhileAWindowIsRegistered)
{
    startOnCom1();
    QWidget parameters;
    main->setToolWindow(QStringLiteral("mnuMGED"), &parameters);
    EXPECT_TRUE(main->isTimer1Running());
    EXPECT_FALSE(main->isTimer1Waking()) << "an idle main window costs no wake-ups";
    main->mnuKontroll_Click();
    EXPECT_TRUE(main->isTimer1Waking());
    main->mnuMGED_Click();
    EXPECT_FALSE(main->isTimer1Waking());
    main->mnuMGED_Click();
    EXPECT_TRUE(main->isTimer1Waking());
    main->subWindowOf(main->CC.item(1))->close();
    flushDeletes();
    EXPECT_TRUE(main->CC.isEmpty());
    EXPECT_FALSE(main->isTimer1Waking());
    EXPECT_TRUE(main->isTimer1Running());
}

TEST_F(FrmMainTest, ControlCentersComeBackOnlyWhenTheLoopRunsAgain)
{
    startOnCom1();
    QWidget parameters;
    main->setToolWindow(QStringLiteral("mnuMGED"), &parameters);
    main->mnuKontroll_Click();
    main->menuEntry(QStringLiteral("mnuMGED"))->trigger();
    main->mnuCOMOptions_Click();
    main->portDialog()->cmd_ok_Click();
    EXPECT_FALSE(main->isTimer1Running());
    EXPECT_FALSE(cc(1)->isEnabled()) << "its Stop could not go out";
    EXPECT_EQ(main->com_motflag, 1) << "the port dialog's OK initialises the control centers";
    EXPECT_EQ(enabledOf(Locked), QStringList{"mnuMGED"}) << "as the open tool window left them";

    main->menuEntry(QStringLiteral("mnuMGED"))->trigger();
    EXPECT_TRUE(main->isTimer1Running());
    EXPECT_TRUE(cc(1)->isEnabled());
}

TEST_F(FrmMainTest, SecondComOptionsClickInUsbModeLeavesTheSerialPortClosed)
{
    startOnCom1();
    main->mnuCOMOptions_Click();
    EXPECT_TRUE(prog.port->isOpen()) << "the dialog reopens the remembered port";
    main->portDialog()->list_usb->setCurrentRow(0);
    EXPECT_FALSE(prog.port->isOpen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->portDialog()->isOnScreen(); }));
    main->mnuCOMOptions_Click();
    EXPECT_TRUE(prog.transport().usbMode());
    EXPECT_FALSE(prog.port->isOpen());
}

TEST(FrmMainPtyTest, FarEndVanishingGivesOneReport)
{
    Pty pty;
    TempHome home;
    auto serial = std::make_unique<QtSerialPort>(PortMap());
    ASSERT_TRUE(serial->openPath(pty.path, 9600));
    auto ui = std::make_unique<RecordingUiServices>();
    RecordingUiServices& dialogs = *ui;
    CoreContext core(std::make_unique<AppSettings>(home.file(QStringLiteral("s.ini"))), std::move(ui),
                     std::make_unique<SteadyClock>(), std::move(serial), std::make_unique<NoUsbBridge>());
    frm_main main(core);
    pty.closeMaster();
    for (int i = 0; i < 10; ++i) {
        core.transport().einheit_waehlen(QStringLiteral("01"));
        core.transport().senden_empfangen(QStringLiteral("[0ST]"), 0.01);
        QCoreApplication::processEvents();
    }
    // The loss once, with the far end's hang-up as its reason; the exchanges
    // after it are told once that the port is closed.
    ASSERT_EQ(dialogs.messages.size(), 2) << qPrintable(dialogs.texts().join(QStringLiteral(" | ")));
    EXPECT_EQ(
        dialogs.messages.first().text,
        frm_main::PortLostMessage.arg(1).arg(pty.path + QStringLiteral(": Gegenstelle hat die Verbindung beendet")));
    EXPECT_EQ(core.log().lines().count(dialogs.messages.first().text), 1);
    EXPECT_EQ(dialogs.messages[1].text, frm_main::PortClosedMessage.arg(1));
}

}  // namespace
