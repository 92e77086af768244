#include "frm_main.h"

#include "BusTransport.h"
#include "Clock.h"
#include "CommLog.h"
#include "CoreContext.h"
#include "Format.h"
#include "SerialPort.h"
#include "Settings.h"
#include "UiServices.h"
#include "UsbBridge.h"
#include "frm_Bedienungsanleitung.h"
#include "frm_aufzeichnen.h"
#include "frm_com.h"
#include "frm_communication.h"
#include "frm_meldung.h"
#include "frm_rr.h"
#include "frm_wait.h"
#include "Form.h"
#include "Guarded.h"
#include "ScreenFit.h"
#include "MenuNames.h"
#include "globale_Funktionen.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QtDebug>

#include <exception>

namespace {
const QString Startup = QStringLiteral("Startup");
const QString KeyCommPort = QStringLiteral("Backup_CommPort");
const QString KeySettings = QStringLiteral("Backup_Settings");
const QString Usb = QStringLiteral("USB");
const QString Com = QStringLiteral("COM");
const QString SimulatorMessage = QStringLiteral("Öffnen sie vorher ein Controlcenter zur Sicherheit");
const QString ManualMessage = QStringLiteral("Installieren sie bitte Acrobat Reader");
const QString ManualTitle = QStringLiteral("Fehler beim Öffnen der Datei!");

// Entries locked by Disable_all, in the order it locks them.
const QStringList LockedEntries{
    QStringLiteral("mnuMultiT"),         QStringLiteral("mnuAblauf"),    QStringLiteral("mnuAchsenerkennung"),
    QStringLiteral("mnuKontroll"),       QStringLiteral("mnuDownload2"), QStringLiteral("mnuJoystick_Abgleich"),
    QStringLiteral("mnuDateispeichern"), QStringLiteral("mnuMGED"),      QStringLiteral("mnuAKabgleich"),
    QStringLiteral("mnuOptionen"),       QStringLiteral("mnuTasterC"),   QStringLiteral("mnuDownload"),
};
// Entries unlocked by Enable_all in every mode.
const QStringList UnlockedEntries{
    QStringLiteral("mnuAchsenerkennung"), QStringLiteral("mnuKontroll"),       QStringLiteral("mnuJoystick_Abgleich"),
    QStringLiteral("mnuDownload2"),       QStringLiteral("mnuDateispeichern"), QStringLiteral("mnuMGED"),
    QStringLiteral("mnuOptionen"),        QStringLiteral("mnuTasterC"),        QStringLiteral("mnuDownload"),
};
// Windows behind these entries write to the serial port themselves, and the
// release toggles the serial port: none of them is usable in USB mode.
const QStringList DirectPortEntries{
    QStringLiteral("mnuAblauf"),
    QStringLiteral("mnuMultiT"),
    QStringLiteral("mnuAKabgleich"),
    QStringLiteral("mnuCF"),
};

}  // namespace

frm_main::frm_main(CoreContext& core, QWidget* parent)
    : QMainWindow(parent), m_core(core), m_loop(*this, core.transport()), m_alive(std::make_shared<int>(0))
{
    setObjectName(QStringLiteral("frm_main"));
    setWindowTitle(Caption);
    m_mdi = new QMdiArea(this);
    // A child window larger than the area, or placed beyond it, is reached
    // by scrolling; top-level windows are fitted to the screen.
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    new kit::ScreenFit(this);
    setCentralWidget(m_mdi);
    // Wide enough for the whole menu bar, but never larger than the screen.
    QSize size(1400, 800);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TickInterval);
    // The main loop runs at 1 ms; a precise timer skips the coarse-timer
    // slack computations on every tick.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &frm_main::Timer1_Timer);

    for (int i = 0; i < AxisCount; ++i)
        Achsenliste << QString();

    buildMenus();

    std::weak_ptr<int> alive = m_alive;
    m_core.serial().onLost = [this, alive](const QString& reason) {
        if (alive.lock())
            portLost(reason);
    };
    m_core.transport().closedPortUsed = [this, alive] {
        if (alive.lock())
            noteClosedPortUsed();
    };
    m_core.transport().referenceRunActive = [this, alive] {
        if (!alive.lock())
            return false;
        const IControlCenter* c = currentControlCenter();
        return c && c->FlagGrafikInit == 1;
    };
    // The window the operator is using paints what its step has set before
    // the program waits on the bus (a store takes seconds).
    m_core.transport().beforeLongWait = [] { kit::Form::paintBeforeWait(); };
}

frm_main::~frm_main()
{
    // Windows that leave the registry when their form goes must not reach
    // back into a half-destroyed frame.
    m_alive.reset();
    Timer1->stop();
    m_core.transport().referenceRunActive = nullptr;
    m_core.transport().beforeLongWait = nullptr;
    m_core.transport().closedPortUsed = nullptr;
    m_core.serial().onLost = nullptr;
}

// --- Menus -------------------------------------------------------------------

QMenu* frm_main::addMenu(const QString& name, const QString& caption)
{
    QMenu* menu = menuBar()->addMenu(caption);
    menu->setObjectName(name);
    QAction* action = menu->menuAction();
    action->setObjectName(name);
    m_entries.insert(name, action);
    m_entryOrder << name;
    return menu;
}

QAction* frm_main::addEntry(QMenu* menu, const QString& name, const QString& caption)
{
    QAction* action = menu ? menu->addAction(caption) : menuBar()->addAction(caption);
    action->setObjectName(name);
    m_entries.insert(name, action);
    m_entryOrder << name;
    return action;
}

void frm_main::connectEntry(const QString& name, std::function<void()> handler)
{
    QAction* action = m_entries.value(name);
    if (!action)
        return;
    connect(action, &QAction::triggered, this, [action, handler = std::move(handler), name](bool checked) {
        // Qt flips a checkable entry before it reports the click; the
        // handlers set the check mark themselves from the state it had.
        if (action->isCheckable())
            action->setChecked(!checked);
        kit::guarded(qPrintable(QStringLiteral("menu ") + name), handler);
    });
}

void frm_main::buildMenus()
{
    QMenu* fileMenu = addMenu(QStringLiteral("mnuDateispeichern"), QStringLiteral("Datei"));
    addEntry(fileMenu, QStringLiteral("mnuLaden"), QStringLiteral("Motordaten Laden"));
    addEntry(fileMenu, QStringLiteral("mnuSpeichern"), QStringLiteral("Motordaten Speichern"));
    addEntry(fileMenu, QStringLiteral("mnu_SKladen"), QStringLiteral("Startkonfiguration laden"));
    addEntry(fileMenu, QStringLiteral("mnu_SKspeichern"), QStringLiteral("Startkonfiguration speichern"));
    addEntry(fileMenu, QStringLiteral("mnuBefehlssatzladen"), QStringLiteral("CC_Befehlssatz laden"));
    addEntry(fileMenu, QStringLiteral("mnuBefehlssatzspeichern"), QStringLiteral("CC_Befehlssatz speichern"));
    addEntry(fileMenu, QStringLiteral("mnusekbefehlssatzladen"), QStringLiteral("CCT_Befehlssatz laden"));
    addEntry(fileMenu, QStringLiteral("mnusekbefehlsatzspeichern"), QStringLiteral("CCT_Befehlssatz speichern"));

    addEntry(nullptr, QStringLiteral("mnuKontroll"), QStringLiteral("Controlcenter"));
    addEntry(nullptr, QStringLiteral("mnuMGED"), QStringLiteral("Mot.-Gear.-Enc.data"));
    addEntry(nullptr, QStringLiteral("mnuDownload"), QStringLiteral("Download in Achse"));

    QMenu* axes = addMenu(QStringLiteral("mnuAchsenerkennung"), QStringLiteral("Achsenerkennung"));
    addEntry(axes, QStringLiteral("mnuAchsenSuche"), QStringLiteral("Achsensuche"));
    QAction* automatic = addEntry(axes, QStringLiteral("mnuAchsenAus(1)"), QStringLiteral("Achsen_automatisch"));
    automatic->setCheckable(true);
    automatic->setEnabled(false);
    QAction* manuell = addEntry(axes, QStringLiteral("mnuAchsenAus(2)"), QStringLiteral("Achsen_manuell "));
    manuell->setCheckable(true);
    manuell->setChecked(true);

    addEntry(nullptr, QStringLiteral("mnuCOMOptions"), QStringLiteral("COM-Options"));

    m_activeWindowsMenu = addMenu(QStringLiteral("mnuaktivfenster"), QStringLiteral("Aktive Fenster"));
    connect(m_activeWindowsMenu, &QMenu::aboutToShow, this, &frm_main::fillActiveWindowsMenu);

    addEntry(nullptr, QStringLiteral("mnuTasterC"), QStringLiteral("Tastercenter"));

    QMenu* service = addMenu(QStringLiteral("mnuService"), QStringLiteral("Service"));
    addEntry(service, QStringLiteral("mnuKommunikation"), QStringLiteral("Kommunikation"));
    addEntry(service, QStringLiteral("mnurrBefehl"), QStringLiteral("[1ra]"));
    addEntry(service, QStringLiteral("mnuMSim"), QStringLiteral("Mikroskop_Simulator"));
    addEntry(service, QStringLiteral("mnuDownload2"), QStringLiteral("Download"));
    addEntry(service, QStringLiteral("mnuIR"), QStringLiteral("Init-Regler"))->setCheckable(true);
    addEntry(service, QStringLiteral("mnuJoystick_Abgleich"), QStringLiteral("Joystick_Abgleich"));
    addEntry(service, QStringLiteral("mnuTablett"), QStringLiteral("Tablett"));
    addEntry(service, QStringLiteral("mnuMultiT"), QStringLiteral("Multiterm"));
    addEntry(service, QStringLiteral("mnuAblauf"), QStringLiteral("Ablauf"));
    addEntry(service, QStringLiteral("mnuAKabgleich"), QStringLiteral("AK-Abgleich"));

    addEntry(nullptr, QStringLiteral("mnuBa"), QStringLiteral("Bedienungsanleitung"));

    QMenu* languageMenu = addMenu(QStringLiteral("mnuSpracheauswahl"), QStringLiteral("Sprache"));
    const QStringList languages{QStringLiteral("Deutsch"), QStringLiteral("English"), QStringLiteral("France")};
    for (int i = 0; i < languages.size(); ++i) {
        QAction* a = addEntry(languageMenu, QStringLiteral("mnuSprache(%1)").arg(i + 2), languages.at(i));
        a->setCheckable(true);
        a->setChecked(i == 0);
    }

    addEntry(nullptr, QStringLiteral("mnuCF"), QStringLiteral("Schnittstellen - Freigabe "))->setCheckable(true);
    addEntry(nullptr, QStringLiteral("mnuOptionen"), QStringLiteral("Optionen"));

    connectEntry(QStringLiteral("mnuLaden"), [this] { mnuLaden_Click(); });
    connectEntry(QStringLiteral("mnuSpeichern"), [this] { mnuSpeichern_Click(); });
    connectEntry(QStringLiteral("mnu_SKladen"), [this] { mnu_SKladen_Click(); });
    connectEntry(QStringLiteral("mnu_SKspeichern"), [this] { mnu_SKspeichern_Click(); });
    connectEntry(QStringLiteral("mnuKontroll"), [this] { mnuKontroll_Click(); });
    connectEntry(QStringLiteral("mnuMGED"), [this] { mnuMGED_Click(); });
    connectEntry(QStringLiteral("mnuDownload"), [this] { mnuDownload_Click(); });
    connectEntry(QStringLiteral("mnuAchsenSuche"), [this] { mnuAchsensuche_Click(); });
    connectEntry(QStringLiteral("mnuAchsenAus(1)"), [this] { mnuAchsenAus_Click(1); });
    connectEntry(QStringLiteral("mnuAchsenAus(2)"), [this] { mnuAchsenAus_Click(2); });
    connectEntry(QStringLiteral("mnuCOMOptions"), [this] { mnuCOMOptions_Click(); });
    connectEntry(QStringLiteral("mnuTasterC"), [this] { mnuTasterC_Click(); });
    connectEntry(QStringLiteral("mnuKommunikation"), [this] { mnuKommunikation_Click(); });
    connectEntry(QStringLiteral("mnurrBefehl"), [this] { mnurrBefehl_Click(); });
    connectEntry(QStringLiteral("mnuMSim"), [this] { mnuMSim_Click(); });
    connectEntry(QStringLiteral("mnuDownload2"), [this] { mnuDownload2_Click(); });
    connectEntry(QStringLiteral("mnuIR"), [this] { mnuIR_Click(); });
    connectEntry(QStringLiteral("mnuJoystick_Abgleich"), [this] { mnuJoystick_Abgleich_Click(); });
    connectEntry(QStringLiteral("mnuTablett"), [this] { mnuTablett_Click(); });
    connectEntry(QStringLiteral("mnuMultiT"), [this] { mnuMultiT_Click(); });
    connectEntry(QStringLiteral("mnuAblauf"), [this] { mnuAblauf_Click(); });
    connectEntry(QStringLiteral("mnuAKabgleich"), [this] { mnuAKabgleich_Click(); });
    connectEntry(QStringLiteral("mnuBa"), [this] { mnuBa_Click(); });
    for (int i = 2; i <= 4; ++i)
        connectEntry(QStringLiteral("mnuSprache(%1)").arg(i), [this, i] { mnuSprache_Click(i); });
    connectEntry(QStringLiteral("mnuCF"), [this] { mnuCF_Click(); });
    connectEntry(QStringLiteral("mnuOptionen"), [this] { mnuOptionen_Click(); });
}

QAction* frm_main::menuEntry(const QString& name) const
{
    return m_entries.value(name, nullptr);
}

void frm_main::fillActiveWindowsMenu()
{
    m_activeWindowsMenu->clear();
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList();
    QMdiSubWindow* active = m_mdi->activeSubWindow();
    for (QMdiSubWindow* sub : windows) {
        QAction* a = m_activeWindowsMenu->addAction(sub->windowTitle());
        a->setCheckable(true);
        a->setChecked(sub == active);
        QPointer<QMdiSubWindow> target(sub);
        connect(a, &QAction::triggered, this, [this, target] {
            if (target)
                m_mdi->setActiveSubWindow(target);
        });
    }
}

// --- Start-up and shut-down ---------------------------------------------------

void frm_main::MDIForm_Load()
{
    BusTransport& bus = m_core.transport();
    AppSettings& settings = m_core.settings();
    bool ok = false;
    const auto startUp = [&] {
        m_evaluateCom = settings.value(Startup, KeyCommPort, QStringLiteral("0"));
        setAuswerten_baud(settings.value(Startup, KeySettings, QStringLiteral("0")));
        if (loadHiddenWindows)
            loadHiddenWindows();
        communicationWindow()->hide();
        m_options.setDigitIndex(5);
        m_timer1On = true;
        updateTimer1();
        if (loadConfiguration)
            loadConfiguration(QStringLiteral("auto"));
        komma_frage = dezimalkomma();
        if (m_evaluateCom != Usb) {
            bool isNumber = false;
            const int port = m_evaluateCom.trimmed().toInt(&isNumber);
            if (isNumber) {
                ISerialPort& serial = m_core.serial();
                serial.setCommPort(port);
                serial.setSettings(settings.value(Startup, KeySettings, QStringLiteral("0")));
                if (serial.open()) {
                    bus.Schnittstelle = Com;
                    ok = true;
                }
            }
        } else {
            bus.Schnittstelle = Usb;
            Disable_all(0);
            menuEntry(QStringLiteral("mnuCOMOptions"))->setEnabled(true);
            ok = true;
        }
    };
    kit::guarded("start-up", startUp);
    if (!ok)
        openStartupFailure();
}

void frm_main::openStartupFailure()
{
    // No transport is active until the port dialog sets one.
    m_core.transport().Schnittstelle.clear();
    m_core.ui().message(PortMessage);
    komma_frage = dezimalkomma();
    if (loadConfiguration)
        kit::guarded("start configuration", [this] { loadConfiguration(QStringLiteral("auto")); });
    Disable_all(0);
    menuEntry(QStringLiteral("mnuCOMOptions"))->setEnabled(true);
}

void frm_main::MDIForm_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    BusTransport& bus = m_core.transport();
    kit::guarded("unload: select unit 00", [&bus] { bus.einheit_waehlen(QStringLiteral("00")); });
    m_timer1On = false;
    Timer1->stop();
    m_core.clock().sleep(0.1);
    kit::guarded("unload: close the port", [this, &bus] {
        if (bus.usbMode())
            bus.USBStatus = m_core.usb().SI_Close(bus.USBHandle);
        else if (m_core.serial().isOpen())
            m_core.serial().close();
    });
    unloadOtherWindows();
}

void frm_main::unloadOtherWindows()
{
    m_mdi->closeAllSubWindows();
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w == this || qobject_cast<QMenu*>(w))
            continue;
        QPointer<QWidget> guard(w);
        kit::guarded("unload: close a window", [&guard] {
            if (guard)
                guard->close();
        });
    }
}

void frm_main::closeEvent(QCloseEvent* event)
{
    MDIForm_Unload();
    event->accept();
}

// --- Main loop ------------------------------------------------------------------

void frm_main::Timer1_Timer()
{
    kit::guarded("Timer1_Timer", [this] { m_loop.Timer1_Timer(); });
    // The last window may have gone during the tick.
    updateTimer1();
}

MainLoopHold frm_main::holdMainLoop(const QString& holder)
{
    m_lock.hold(holder);
    updateTimer1();
    std::weak_ptr<int> alive = m_alive;
    return MainLoopHold([this, alive, holder] {
        if (alive.lock())
            releaseMainLoop(holder);
    });
}

void frm_main::releaseMainLoop(const QString& holder)
{
    m_lock.release(holder);
    // Switching the loop on also starts it when the start-up failed before
    // it got that far; only the shut-down switches it off for good.
    if (!m_unloaded)
        m_timer1On = true;
    updateTimer1();
}

bool frm_main::isTimer1Running() const
{
    return m_timer1On && !m_lock.held();
}

bool frm_main::isTimer1Waking() const
{
    return Timer1->isActive();
}

void frm_main::updateTimer1()
{
    const bool run = isTimer1Running() && (!CC.isEmpty() || !CCT.isEmpty());
    if (run && !Timer1->isActive())
        Timer1->start();
    else if (!run && Timer1->isActive())
        Timer1->stop();
}

// --- Registry ---------------------------------------------------------------------

void frm_main::placeInMdi(TrackedWindow& window, int leftTwips, int topTwips, std::function<void()> onDestroyed)
{
    QWidget* form = window.form();
    if (!form)
        return;
    QMdiSubWindow* sub = m_mdi->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->move(twipsToPixels(leftTwips), twipsToPixels(topTwips));
    std::weak_ptr<int> alive = m_alive;
    connect(form, &QObject::destroyed, this, [alive, onDestroyed = std::move(onDestroyed)] {
        if (alive.lock())
            onDestroyed();
    });
}

void frm_main::trackShared(TrackedWindow* window, std::function<void()> onDestroyed)
{
    QWidget* form = window ? window->form() : nullptr;
    if (!form)
        return;
    std::weak_ptr<int> alive = m_alive;
    connect(form, &QObject::destroyed, this, [alive, onDestroyed = std::move(onDestroyed)] {
        if (alive.lock())
            onDestroyed();
    });
}

QMdiSubWindow* frm_main::subWindowOf(const TrackedWindow* window) const
{
    QWidget* form = window ? window->form() : nullptr;
    return form ? qobject_cast<QMdiSubWindow*>(form->parentWidget()) : nullptr;
}

IRecorder* frm_main::recorder()
{
    if (!frm_eW && m_recorderFactory) {
        frm_eW = m_recorderFactory();
        trackShared(frm_eW, [this] { frm_eW = nullptr; });
    }
    return frm_eW;
}

IStageSimulator* frm_main::stageSimulator()
{
    if (!frm_MSim && m_simulatorFactory) {
        frm_MSim = m_simulatorFactory();
        trackShared(frm_MSim, [this] { frm_MSim = nullptr; });
    }
    return frm_MSim;
}

IControlLoopWindow* frm_main::controlLoopWindow()
{
    if (!frm_controlparameter && m_controlLoopFactory) {
        frm_controlparameter = m_controlLoopFactory();
        trackShared(frm_controlparameter, [this] { frm_controlparameter = nullptr; });
    }
    return frm_controlparameter;
}

void frm_main::mnuKontroll_Click()
{
    if (!m_ccFactory)
        return;
    const double cascade = m_kaskade.next();
    const int n = ++m_fensterzaehler;
    IControlCenter* w = m_ccFactory();
    if (!w)
        return;
    CC.add(n, w);
    w->Tag = n;
    updateTimer1();
    const int position = int(cascade * 300);
    placeInMdi(*w, position, position, [this, n] {
        removeControlCenter(n);
        updateTimer1();
    });

    const int j = int(CC.count()) - 1;
    if (menuEntry(QStringLiteral("mnuAchsenAus(2)"))->isChecked())
        Achse_eintragen(j);
    else
        Adresse_eintragen(j);

    bool minimised = false;
    if (flagautomatik == 1) {
        w->setAddressesIndex(int(Achsindex));
        w->Initialisierung();
        minimised = true;
    }
    if (QMdiSubWindow* sub = subWindowOf(CC.item(n))) {
        if (minimised)
            sub->showMinimized();
        else
            sub->show();
    } else if (IControlCenter* again = CC.item(n)) {
        again->Show();
    }
}

void frm_main::mnuTasterC_Click()
{
    if (!m_cctFactory)
        return;
    const int n = ++m_tasterzaehler;
    IProbeWindow* w = m_cctFactory();
    if (!w)
        return;
    CCT.add(n, w);
    w->Tag = n;
    updateTimer1();
    const int position = probePositionTwips(n);
    placeInMdi(*w, position, position, [this, n] {
        removeProbeWindow(n);
        updateTimer1();
    });
    w->Show();
}

bool frm_main::arrayAchsenAe(const QString& text, int index)
{
    if (index < 0 || index >= AxisCount)
        return false;
    Achsenliste[index] = text;
    return true;
}

void frm_main::Achse_eintragen(int j)
{
    if (j < 0 || j >= CC.count())
        return;
    IControlCenter* w = CC.at(j);
    w->appendAddress(QStringLiteral("00-AA"));
    for (int i = 1; i < AxisCount; ++i)
        w->appendAddress(hex2(i));
}

void frm_main::Adresse_eintragen(int j)
{
    if (j < 0 || j >= CC.count())
        return;
    IControlCenter* w = CC.at(j);
    for (const QString& entry : std::as_const(Achsenliste))
        w->appendAddress(entry);
}

void frm_main::Disable_all(int mode)
{
    if (mode != 4)
        for (int n : CC.numbers())
            if (IControlCenter* w = CC.item(n))
                w->setWindowEnabled(false);
    if (mode != 0)
        menuEntry(QStringLiteral("mnuCOMOptions"))->setEnabled(false);
    for (const QString& name : LockedEntries)
        menuEntry(name)->setEnabled(false);
    if (frm_eW && frm_eW->an_aus == 1)
        frm_eW->setWindowEnabled(false);
    if (frm_controlparameter && frm_controlparameter->an_aus == 1)
        frm_controlparameter->setWindowEnabled(false);
}

void frm_main::Enable_all()
{
    for (int n : CC.numbers())
        if (IControlCenter* w = CC.item(n))
            w->setWindowEnabled(true);
    setDirectPortEntriesEnabled(!m_core.transport().usbMode());
    for (const QString& name : UnlockedEntries)
        menuEntry(name)->setEnabled(true);
    // A control center's lock (mode 4) takes "COM-Options" too; whoever gives
    // the menus back gives it back with them.
    menuEntry(QStringLiteral("mnuCOMOptions"))->setEnabled(true);
    if (frm_eW && frm_eW->an_aus == 1)
        frm_eW->setWindowEnabled(true);
    if (frm_controlparameter && frm_controlparameter->an_aus == 1)
        frm_controlparameter->setWindowEnabled(true);
}

void frm_main::enableWhenLoopRuns()
{
    if (isTimer1Running()) {
        Enable_all();
        return;
    }
    // Still held by an open tool window: the menus stay locked as it left
    // them, with its own entry usable to close it.
    for (auto it = m_tools.cbegin(); it != m_tools.cend(); ++it)
        if (it->Tag == QLatin1String("1"))
            if (QAction* entry = menuEntry(it.key()))
                entry->setEnabled(true);
}

void frm_main::portLost(const QString& reason)
{
    const QString text = PortLostMessage.arg(m_core.serial().commPort()).arg(reason);
    m_core.log().insertLine(text);
    m_portClosedNoticeDue = false;
    // The loss is seen inside an exchange; the box waits until it is over.
    // What the action under way still tries is covered by this box.
    QTimer::singleShot(0, this, [this, text] {
        m_core.ui().message(text);
        m_portClosedNoticeDue = true;
    });
}

void frm_main::noteClosedPortUsed()
{
    // The loop's own polling is no action; a command a window posted is.
    if (!m_portClosedNoticeDue || (m_loop.inTick() && !m_loop.servingPost()) || m_core.transport().usbMode())
        return;
    m_portClosedNoticeDue = false;
    const QString text = PortClosedMessage.arg(m_core.serial().commPort());
    // Shown once the action is over, not between its exchanges.
    QTimer::singleShot(0, this, [this, text] { m_core.ui().message(text); });
}

void frm_main::setDirectPortEntriesEnabled(bool on)
{
    for (const QString& name : DirectPortEntries)
        menuEntry(name)->setEnabled(on);
}

void frm_main::setAuswerten_baud(const QString& baud)
{
    m_evaluateBaud = baud;
    m_core.transport().baudText = baud;
}

// --- Tool windows -----------------------------------------------------------------

void frm_main::setToolWindow(const QString& menuName, QWidget* window, ToolWindowHooks hooks)
{
    ToolSlot slot;
    slot.window = window;
    slot.hooks = std::move(hooks);
    m_tools.insert(menuName, slot);
}

QString frm_main::toolWindowTag(const QString& menuName) const
{
    return m_tools.value(menuName).Tag;
}

void frm_main::toolWindowToggle(const QString& menuName)
{
    if (!m_tools.contains(menuName) || !m_tools.value(menuName).window)
        return;
    const ToolSlot slot = m_tools.value(menuName);
    if (slot.Tag != QLatin1String("1")) {
        if (slot.window->isWindow())
            kit::showInFront(slot.window, this);
        else
            slot.window->show();
        slot.window->raise();
        if (slot.hooks.firstClick)
            slot.hooks.firstClick();
        // The parameter window lays itself out before the menus lock.
        if (menuName == QLatin1String("mnuMGED"))
            QCoreApplication::processEvents();
        Disable_all(0);
        menuEntry(menuName)->setEnabled(true);
        holdMainLoop(menuName).keep();
        m_tools[menuName].Tag = QStringLiteral("1");
    } else {
        toolWindowExit(menuName);
    }
}

void frm_main::toolWindowExit(const QString& menuName)
{
    if (!m_tools.contains(menuName))
        return;
    const ToolSlot slot = m_tools.value(menuName);
    if (slot.hooks.secondClick)
        slot.hooks.secondClick();
    if (slot.window)
        slot.window->hide();
    com_motflag = 1;
    releaseMainLoop(menuName);
    enableWhenLoopRuns();
    m_tools[menuName].Tag = QStringLiteral("0");
}

void frm_main::setWindowOpener(const QString& menuName, std::function<void()> open)
{
    m_openers.insert(menuName, std::move(open));
}

bool frm_main::runOpener(const QString& menuName)
{
    const auto open = m_openers.value(menuName);
    if (!open)
        return false;
    open();
    return true;
}

bool frm_main::openHeld(const QString& menuName, MainLoopHold& hold)
{
    if (!kit::guarded(qPrintable(QStringLiteral("open ") + menuName), [this, &menuName] { runOpener(menuName); }))
        return false;
    hold.keep();
    return true;
}

// --- Menu handlers ------------------------------------------------------------------

void frm_main::mnuLaden_Click()
{
    if (loadConfiguration)
        loadConfiguration(QStringLiteral("manuell"));
    if (reloadCommandLists)
        reloadCommandLists();
}

void frm_main::mnuSpeichern_Click()
{
    if (saveConfiguration)
        saveConfiguration(QStringLiteral("manuell"));
}

void frm_main::mnu_SKladen_Click()
{
    if (loadConfiguration)
        loadConfiguration(QStringLiteral("auto"));
    if (reloadCommandLists)
        reloadCommandLists();
}

void frm_main::mnu_SKspeichern_Click()
{
    if (saveConfiguration)
        saveConfiguration(QStringLiteral("auto"));
}

void frm_main::mnuMGED_Click()
{
    toolWindowToggle(Menu::MGED);
}

void frm_main::mnuDownload_Click()
{
    toolWindowToggle(Menu::Download);
}

void frm_main::mnuDownload2_Click()
{
    const ToolSlot slot = m_tools.value(QStringLiteral("mnuDownload2"));
    if (!slot.window)
        return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(slot.window->parentWidget()))
        sub->move(0, 0);
    else if (slot.window->isWindow())
        slot.window->move(m_mdi->mapToGlobal(QPoint(0, 0)));
    else
        slot.window->move(0, 0);
    toolWindowToggle(Menu::Download2);
}

void frm_main::mnuOptionen_Click()
{
    toolWindowToggle(Menu::Optionen);
    menuEntry(QStringLiteral("mnuOptionen"))->setEnabled(true);
}

void frm_main::mnuCOMOptions_Click()
{
    // A click that comes before the open dialog is on the screen was made
    // while it was being built (it waited behind the build): it is no OK.
    if (m_frmCom && m_frmCom->Tag == QLatin1String("1") && !m_frmCom->isOnScreen())
        return;
    ISerialPort& serial = m_core.serial();
    if (serial.isOpen())
        serial.close();
    const QString comOptions = Menu::COMOptions;
    if (!m_frmCom || m_frmCom->Tag != QLatin1String("1")) {
        Disable_all(0);
        // The dialog keeps the loop held until its OK or close box; a dialog
        // that fails to open releases it at once.
        MainLoopHold hold = holdMainLoop(comOptions);
        // One that OK or its close box ended is on its way out: every first
        // click shows a new dialog, which loads afresh.
        if (m_frmCom) {
            m_frmCom->deleteLater();
            m_frmCom = nullptr;
        }
        const bool opened = kit::guarded("COM-Options", [this, &comOptions] {
            menuEntry(comOptions)->setEnabled(true);
            m_frmCom = new frm_com(portDialogEnv(), this);
            kit::showInFront(m_frmCom, this);
            m_frmCom->Tag = QStringLiteral("1");
        });
        if (opened) {
            hold.keep();
        } else {
            m_core.ui().message(PortNotOpenMessage);
            Enable_all();
        }
    } else {
        m_frmCom->Tag = QStringLiteral("0");
        kit::guarded("COM-Options OK", [this] { m_frmCom->cmd_ok_Click(); });
        releaseMainLoop(comOptions);
        enableWhenLoopRuns();
        if (!m_core.transport().usbMode() && !serial.isOpen())
            serial.open();
    }
}

void frm_main::mnuKommunikation_Click()
{
    if (flagKommunikation) {
        if (m_communication)
            m_communication->hide();
        flagKommunikation = 0;
        return;
    }
    frm_communication* w = communicationWindow();
    m_core.log().clear();
    w->placeTopRight(this);
    w->show();
    w->raise();
    w->cb_an_aus->setChecked(true);
    flagKommunikation = 1;
}

void frm_main::mnurrBefehl_Click()
{
    frm_rr* w = registerWindow();
    w->show();
    w->raise();
}

void frm_main::mnuMSim_Click()
{
    if (CC.isEmpty()) {
        m_core.ui().message(SimulatorMessage);
        return;
    }
    if (IStageSimulator* s = stageSimulator()) {
        s->Show();
        s->setCombo1ListIndex(4);
    }
}

void frm_main::mnuIR_Click()
{
    QAction* ir = menuEntry(QStringLiteral("mnuIR"));
    ir->setChecked(!ir->isChecked());
    kit::guarded("mnuIR", [this] {
        if (IControlCenter* c = currentControlCenter())
            c->SetFocus();
        runOpener(QStringLiteral("mnuIR"));
    });
}

void frm_main::mnuJoystick_Abgleich_Click()
{
    const QString name = Menu::Joystick_Abgleich;
    if (!m_openers.contains(name))
        return;
    MainLoopHold hold = holdMainLoop(name);
    Disable_all(0);
    if (openHeld(name, hold))
        return;
    hold.release();
    enableWhenLoopRuns();
}

void frm_main::mnuTablett_Click()
{
    const QString name = Menu::Tablett;
    if (!runOpener(name))
        return;
    holdMainLoop(name).keep();
}

void frm_main::mnuMultiT_Click()
{
    const QString name = Menu::MultiT;
    if (!runOpener(name))
        return;
    holdMainLoop(name).keep();
    setEnabled(false);
}

void frm_main::mnuAblauf_Click()
{
    const QString name = Menu::Ablauf;
    if (!m_openers.contains(name))
        return;
    MainLoopHold hold = holdMainLoop(name);
    if (openHeld(name, hold))
        setEnabled(false);
}

void frm_main::mnuAKabgleich_Click()
{
    const QString name = Menu::AKabgleich;
    if (!m_openers.contains(name))
        return;
    MainLoopHold hold = holdMainLoop(name);
    if (openHeld(name, hold))
        setEnabled(false);
}

void frm_main::mnuBa_Click()
{
    if (flagAnleitung) {
        if (m_manual)
            m_manual->close();
        flagAnleitung = 0;
        return;
    }
    flagAnleitung = 1;
    const bool shown = kit::guarded("manual", [this] {
        if (!m_manual)
            m_manual = new frm_Bedienungsanleitung(this);
        m_manual->show();
        m_manual->raise();
    });
    if (!shown)
        m_core.ui().message(ManualMessage, ManualTitle);
}

void frm_main::mnuSprache_Click(int index)
{
    for (int i = 2; i <= 4; ++i)
        menuEntry(QStringLiteral("mnuSprache(%1)").arg(i))->setChecked(i == index);
}

void frm_main::mnuCF_Click()
{
    const QString name = Menu::CF;
    QAction* cf = menuEntry(name);
    BusTransport& bus = m_core.transport();
    kit::guarded("mnuCF", [&] {
        if (!bus.usbMode()) {
            if (!cf->isChecked()) {
                holdMainLoop(name).keep();
                m_core.serial().close();
                cf->setChecked(true);
                Disable_all(0);
            } else {
                releaseMainLoop(name);
                if (!m_core.serial().isOpen())
                    m_core.serial().open();
                cf->setChecked(false);
                enableWhenLoopRuns();
            }
        } else if (!cf->isChecked()) {
            holdMainLoop(name).keep();
            bus.USBStatus = m_core.usb().SI_Close(bus.USBHandle);
            cf->setChecked(true);
            Disable_all(0);
        }
    });
}

// --- Service windows -------------------------------------------------------------

frm_communication* frm_main::communicationWindow()
{
    if (!m_communication)
        m_communication = new frm_communication(m_core.log(), this);
    return m_communication;
}

frm_rr* frm_main::registerWindow()
{
    if (!m_rr)
        m_rr = new frm_rr(m_core.transport(), this);
    return m_rr;
}

frm_aufzeichnen* frm_main::recordingWindow()
{
    if (!m_aufzeichnen)
        m_aufzeichnen = new frm_aufzeichnen(this);
    return m_aufzeichnen;
}

frm_meldung* frm_main::errorDialog()
{
    if (!m_message)
        m_message = new frm_meldung(*this, this);
    return m_message;
}

frm_wait* frm_main::waitWindow()
{
    if (!m_wait)
        m_wait = new frm_wait(this);
    return m_wait;
}

frm_com* frm_main::portDialog() const
{
    return m_frmCom;
}

PortDialogEnv frm_main::portDialogEnv()
{
    PortDialogEnv env;
    env.bus = &m_core.transport();
    env.settings = &m_core.settings();
    env.ui = &m_core.ui();
    env.auswerten_com = [this] { return auswerten_com(); };
    env.setAuswerten_com = [this](const QString& port) { setAuswerten_com(port); };
    env.auswerten_baud = [this] { return auswerten_baud(); };
    env.setAuswerten_baud = [this](const QString& baud) { setAuswerten_baud(baud); };
    env.releaseMainLoop = [this](const QString& holder) { releaseMainLoop(holder); };
    env.enableWhenLoopRuns = [this] { enableWhenLoopRuns(); };
    env.isTimer1Running = [this] { return isTimer1Running(); };
    env.setMenuEntryEnabled = [this](const QString& name, bool on) {
        if (QAction* entry = menuEntry(name))
            entry->setEnabled(on);
    };
    env.comMotflag = [this] { com_motflag = 1; };
    env.isUnloaded = [this] { return isUnloaded(); };
    return env;
}

frm_Bedienungsanleitung* frm_main::manualWindow() const
{
    return m_manual;
}
