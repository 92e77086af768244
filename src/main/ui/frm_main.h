#pragma once
// The program's MDI frame: its menus, start-up and shut-down, the window
// registry of control centers and probe windows, and the 1 ms main loop that
// drives them. Windows of other subsystems reach it through the public
// members below; their own creation is registered as factories and hooks, so
// the frame links none of them.

#include "Fensterpostfach.h"
#include "MainLoop.h"
#include "MainLoopHold.h"
#include "MenuNames.h"
#include "OptionFlags.h"
#include "frm_com.h"

#include <QHash>
#include <QMap>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CoreContext;
class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class frm_Bedienungsanleitung;
class frm_aufzeichnen;
class frm_communication;
class frm_meldung;
class frm_rr;
class frm_wait;

class frm_main final : public QMainWindow, public Fensterpostfach
{
    Q_OBJECT
public:
    static constexpr int AxisCount = 31;
    static inline const QString Caption = QStringLiteral(" Kelvane V2.1");
    static inline const QString& PortMessage = frm_com::PortMessage;
    static inline const QString PortNotOpenMessage =
        QStringLiteral("COM-Port ist nicht geöffnet, bitte überprüfen sie die Einstellungen!");
    // Shown once when the open serial port is lost: %1 the port number,
    // %2 the device and the system's reason.
    static inline const QString PortLostMessage = QStringLiteral("Verbindung zu COM%1 verloren: %2");
    // Shown once after a loss, when an action needs the closed port: %1 the
    // port number.
    static inline const QString PortClosedMessage =
        QStringLiteral("COM%1 ist geschlossen. Über COM-Options wird er wieder geöffnet.");

    explicit frm_main(CoreContext& core, QWidget* parent = nullptr);
    ~frm_main() override;

    CoreContext& core() { return m_core; }
    OptionFlags& optionFlags() { return m_options; }
    QMdiArea* mdiArea() const { return m_mdi; }

    // --- Start-up and shut-down ---------------------------------------------
    // Reads the remembered port, prepares the hidden windows, starts the main
    // loop, loads the start configuration and opens the port; on any failure
    // it reports the port message and leaves only "COM-Options" usable.
    void MDIForm_Load();
    // Selects unit "00", stops the main loop, waits 100 ms, closes the port
    // or the USB device and unloads every other window. Saves nothing.
    void MDIForm_Unload();
    bool isUnloaded() const { return m_unloaded; }

    // --- Main loop -----------------------------------------------------------
    // Interval of the main loop's timer. The timer only wakes while a
    // control center or probe window is registered: a tick without one has
    // nothing to serve.
    static constexpr int TickInterval = 1;
    QTimer* Timer1 = nullptr;
    void Timer1_Timer();
    MainLoop& mainLoop() { return m_loop; }
    // Holds the main loop off on behalf of `holder` (a menu entry name from
    // MenuNames.h, for the window that now owns the bus). The loop runs only
    // while it is switched on and nobody holds it. The hold ends when the
    // returned object goes; `keep()` hands it to the window, which ends it
    // with releaseMainLoop(holder) when it closes. Safe to outlive the frame.
    [[nodiscard]] MainLoopHold holdMainLoop(const QString& holder);
    void releaseMainLoop(const QString& holder);
    // Whether the loop is switched on and nobody holds it.
    bool isTimer1Running() const;
    // Whether the timer itself wakes (the loop runs and has a window to serve).
    bool isTimer1Waking() const;
    QStringList timer1Holders() const { return m_lock.holders(); }

    // --- Registry ------------------------------------------------------------
    // Factories get no frame: what a window needs of the program comes in
    // through the Env its subsystem's installX builds.
    using ControlCenterFactory = std::function<IControlCenter*()>;
    using ProbeWindowFactory = std::function<IProbeWindow*()>;
    using RecorderFactory = std::function<IRecorder*()>;
    using StageSimulatorFactory = std::function<IStageSimulator*()>;
    using ControlLoopFactory = std::function<IControlLoopWindow*()>;
    // A window whose form() is set is placed into the MDI area and owned by
    // it; it leaves the registry when its form is destroyed at the latest.
    void setControlCenterFactory(ControlCenterFactory f) { m_ccFactory = std::move(f); }
    void setProbeWindowFactory(ProbeWindowFactory f) { m_cctFactory = std::move(f); }
    void setRecorderFactory(RecorderFactory f) { m_recorderFactory = std::move(f); }
    void setStageSimulatorFactory(StageSimulatorFactory f) { m_simulatorFactory = std::move(f); }
    void setControlLoopFactory(ControlLoopFactory f) { m_controlLoopFactory = std::move(f); }
    // Older form taking the frame; kept until every subsystem installs
    // through its Env.
    template <class W>
    using LegacyFactory = std::function<W*(frm_main&)>;
    void setControlCenterFactory(LegacyFactory<IControlCenter> f) { setControlCenterFactory(bindFrame(std::move(f))); }
    void setProbeWindowFactory(LegacyFactory<IProbeWindow> f) { setProbeWindowFactory(bindFrame(std::move(f))); }
    void setRecorderFactory(LegacyFactory<IRecorder> f) { setRecorderFactory(bindFrame(std::move(f))); }
    void setStageSimulatorFactory(LegacyFactory<IStageSimulator> f)
    {
        setStageSimulatorFactory(bindFrame(std::move(f)));
    }
    void setControlLoopFactory(LegacyFactory<IControlLoopWindow> f) { setControlLoopFactory(bindFrame(std::move(f))); }
    // The shared windows, created on first use (nullptr without a factory).
    IRecorder* recorder();
    IStageSimulator* stageSimulator();
    IControlLoopWindow* controlLoopWindow();

    int Fensterzaehler() const { return m_fensterzaehler; }
    // The sub-window of the MDI area that holds a registered form.
    QMdiSubWindow* subWindowOf(const TrackedWindow* window) const;

    // Locks the menus (and, unless mode is 4, the control centers) while a
    // window owns the bus; mode other than 0 also locks "COM-Options".
    void Disable_all(int mode);
    // Unlocks what Disable_all locked, "COM-Options" included.
    void Enable_all();
    // Enable_all, but only when the main loop runs: a control center whose
    // Stop could not go out stays disabled until the last hold ends.
    void enableWhenLoopRuns();
    // Reports a lost serial port once: in the communication log and in a
    // message naming the port and `reason`. The first action after that
    // message that needs the port (not the main loop's polling) is told once
    // that the port is closed and how to reopen it.
    void portLost(const QString& reason);

    // --- Address lists (filled by the axis search) --------------------------
    QStringList Achsenliste;
    double Achsindex = 0;
    int flagautomatik = 0;
    // Stores `text` as entry `index` (0..30); false for another index.
    bool arrayAchsenAe(const QString& text, int index);
    // Appends the fixed entries "00-AA", "01" … "1E" / the entries of
    // Achsenliste to the address list of the control center at position j.
    void Achse_eintragen(int j);
    void Adresse_eintragen(int j);
    // The axis search (menu "Achsensuche") and the two list entries of menu
    // "Achsenerkennung": 1 = "Achsen_automatisch", 2 = "Achsen_manuell ".
    // Defined in frm_main_Achsenerkennung.cpp.
    void mnuAchsensuche_Click();
    void mnuAchsenAus_Click(int index);
    // Refills the address list of the control center at position j with
    // Achsenliste, keeps its selection, and keeps its carriage marker only
    // while it shows a valid travel picture.
    void refreshAddressList(int j);
    // Address lists of the parameter, EEPROM, joystick and script windows,
    // registered by those windows under their name: `fill` clears the list
    // and appends the entries it is given.
    using AddressListTarget = std::function<void(const QStringList& entries)>;
    void setAddressListTarget(const QString& window, AddressListTarget fill);

    // --- Port and baud in use (kept equal to the transport's baud text) ----
    QString auswerten_com() const { return m_evaluateCom; }
    void setAuswerten_com(const QString& port) { m_evaluateCom = port; }
    QString auswerten_baud() const { return m_evaluateBaud; }
    void setAuswerten_baud(const QString& baud);

    // --- Menus ---------------------------------------------------------------
    // A menu entry by its control name ("mnuKontroll", "mnuSprache(3)");
    // nullptr for an unknown name.
    QAction* menuEntry(const QString& name) const;
    QStringList menuEntryNames() const { return m_entryOrder; }
    // Connects the handler of an entry whose work belongs to another window
    // (the command-set entries, the axis search and address lists). Like the
    // frame's own handlers it sets check marks itself (Qt's automatic flip
    // of a checkable entry is undone first) and no exception leaves it.
    void setMenuHandler(const QString& name, std::function<void()> handler) { connectEntry(name, std::move(handler)); }

    // Tool windows shown and hidden by their menu entry ("mnuMGED",
    // "mnuDownload", "mnuDownload2", "mnuOptionen"). `firstClick` runs after
    // the window was shown, `secondClick` before it is hidden.
    struct ToolWindowHooks
    {
        std::function<void()> firstClick;
        std::function<void()> secondClick;
    };
    void setToolWindow(const QString& menuName, QWidget* window, ToolWindowHooks hooks = {});
    // "1" while the entry has the window open, else "0".
    QString toolWindowTag(const QString& menuName) const;
    // The window's own exit button: the second-click steps of its entry.
    void toolWindowExit(const QString& menuName);

    // Windows of later subsystems opened by a menu entry ("mnuJoystick_Abgleich",
    // "mnuTablett", "mnuMultiT", "mnuAblauf", "mnuAKabgleich", "mnuIR"). The
    // entry's own steps (main loop held, menus or frame locked) run only
    // when an opener is registered; without one the entry does nothing.
    void setWindowOpener(const QString& menuName, std::function<void()> open);

    // Configuration hooks, connected by the parameter store. `mode` is
    // "auto" (the start configuration) or "manuell" (file dialog).
    std::function<void(const QString& mode)> loadConfiguration;
    std::function<void(const QString& mode)> saveConfiguration;
    // Shows the loaded command lists in both initialisation windows.
    std::function<void()> reloadCommandLists;
    // Loads the parameter, EEPROM and terminal windows hidden at start-up.
    std::function<void()> loadHiddenWindows;

    // --- Service windows -----------------------------------------------------
    frm_communication* communicationWindow();
    frm_rr* registerWindow();
    frm_aufzeichnen* recordingWindow();
    frm_meldung* errorDialog();
    frm_wait* waitWindow();
    frm_com* portDialog() const;
    frm_Bedienungsanleitung* manualWindow() const;

    // --- Menu handlers ------------------------------------------------------
    void mnuLaden_Click();
    void mnuSpeichern_Click();
    void mnu_SKladen_Click();
    void mnu_SKspeichern_Click();
    void mnuKontroll_Click();
    void mnuMGED_Click();
    void mnuDownload_Click();
    void mnuCOMOptions_Click();
    void mnuTasterC_Click();
    void mnuKommunikation_Click();
    void mnurrBefehl_Click();
    void mnuMSim_Click();
    void mnuDownload2_Click();
    void mnuIR_Click();
    void mnuJoystick_Abgleich_Click();
    void mnuTablett_Click();
    void mnuMultiT_Click();
    void mnuAblauf_Click();
    void mnuAKabgleich_Click();
    void mnuBa_Click();
    void mnuSprache_Click(int index);
    void mnuCF_Click();
    void mnuOptionen_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // An exchange found the serial port closed (see portLost).
    void noteClosedPortUsed();

    struct ToolSlot
    {
        QPointer<QWidget> window;
        ToolWindowHooks hooks;
        QString Tag = QStringLiteral("0");
    };

    void buildMenus();
    QAction* addEntry(QMenu* menu, const QString& name, const QString& caption);
    QMenu* addMenu(const QString& name, const QString& caption);
    void connectEntry(const QString& name, std::function<void()> handler);
    void fillActiveWindowsMenu();
    void toolWindowToggle(const QString& menuName);
    void setDirectPortEntriesEnabled(bool on);
    // The port dialog's view of the frame.
    PortDialogEnv portDialogEnv();
    void openStartupFailure();
    void placeInMdi(TrackedWindow& window, int leftTwips, int topTwips, std::function<void()> onDestroyed);
    void trackShared(TrackedWindow* window, std::function<void()> onDestroyed);
    bool runOpener(const QString& menuName);
    template <class W>
    std::function<W*()> bindFrame(LegacyFactory<W> f)
    {
        if (!f)
            return {};
        return [this, f = std::move(f)] { return f(*this); };
    }
    // Runs the opener of a window the loop is held for: the window keeps the
    // hold when it opened; when opening failed the hold is released.
    bool openHeld(const QString& menuName, MainLoopHold& hold);
    void updateTimer1();
    void unloadOtherWindows();

    CoreContext& m_core;
    OptionFlags m_options;
    MainLoop m_loop;
    // Lives exactly as long as the frame; callbacks that may run while it is
    // being destroyed check it first.
    std::shared_ptr<int> m_alive;
    MainLoopHolders m_lock;
    bool m_timer1On = false;
    bool m_unloaded = false;
    // The closed-port notice is due (the port was lost, the loss was shown).
    bool m_portClosedNoticeDue = false;

    QMdiArea* m_mdi = nullptr;
    QMenu* m_activeWindowsMenu = nullptr;
    QHash<QString, QAction*> m_entries;
    QStringList m_entryOrder;

    ControlCenterFactory m_ccFactory;
    ProbeWindowFactory m_cctFactory;
    RecorderFactory m_recorderFactory;
    StageSimulatorFactory m_simulatorFactory;
    ControlLoopFactory m_controlLoopFactory;

    CascadeCounter m_kaskade;
    int m_fensterzaehler = 0;
    int m_tasterzaehler = 0;

    QString m_evaluateCom;
    QString m_evaluateBaud;

    // Axis search and address lists.
    void fillAddressLists(const QStringList& entries);
    void unloadControlCenter(int n);
    QMap<QString, AddressListTarget> m_addressLists;
    bool m_axisSearchRunning = false;

    QHash<QString, ToolSlot> m_tools;
    QHash<QString, std::function<void()>> m_openers;

    int flagKommunikation = 0;
    int flagAnleitung = 0;
    QPointer<frm_communication> m_communication;
    QPointer<frm_rr> m_rr;
    QPointer<frm_aufzeichnen> m_aufzeichnen;
    QPointer<frm_meldung> m_message;
    QPointer<frm_wait> m_wait;
    QPointer<frm_com> m_frmCom;
    QPointer<frm_Bedienungsanleitung> m_manual;
};
