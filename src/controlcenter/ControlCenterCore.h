#pragma once
// The axis control center without its widgets: the state of one window (its
// variables and the state of every control, named as the window's controls),
// its set-up and read-out, the per-tick cycle `Aktualisieren`, and the
// handlers of every button, box and bar. The window (frm_Controlcenter) shows
// this state and forwards the operator's input; tests drive it directly.
//
// Bus discipline: handlers only post into the mailbox (`Befehl_senden`,
// `flagsenden`); the bus is used by `Initialisierung`, `auslesen` (with the
// read-backs `v_a_auslesen` and `limits_auslesen`) and `Aktualisieren`,
// which the main loop calls while the window's unit is selected — and each
// of them selects the window's unit itself before its first exchange. The
// one exception is Stop while the window is off: the mailbox is not sent
// then, so Stop writes "[1BR]" to the unit itself.
//
// A unit lost while its axis may move (two position polls unanswered) is
// told to stop at once and the run is cancelled. What the window then still
// owes a unit (a stop it did not answer, the speeds and limits of a
// reference run cut off there) is kept per unit address and written when the
// window finds that unit answering again; no tick waits for a silent unit.
//
// The runs (reference run, continuous run, counter zeroing, index search) are
// step functions that `Aktualisieren` advances one step per answered tick;
// they live in ControlCenterRuns.cpp.

#include "ControlCenterMath.h"
#include "Fensterpostfach.h"
#include "MotorFactor.h"
#include "Protocol.h"
#include "Referenzfahrt.h"

#include "ControlState.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <map>
#include <optional>

class AxisParameterStore;
class BusTransport;
class IClock;
class IUiServices;
class OptionFlags;

// What a control center uses of the program around it. Every hook has a
// no-op default (a hook set to an empty function is given one again when the
// core starts), so no caller tests for a missing window or service.
struct ControlCenterEnv
{
    BusTransport* bus = nullptr;
    IUiServices* ui = nullptr;
    AxisParameterStore* store = nullptr;
    const OptionFlags* options = nullptr;
    // CC, CC_I, komma_frage and the shared windows.
    Fensterpostfach* registry = nullptr;
    std::function<CalcResult()> motfaktor_berechnen = [] { return CalcResult::IndexInvalid; };
    // Loads the start configuration of a motor ident into an axis record.
    std::function<bool(const QString& ident, int axisNo)> ueberschreiben = [](const QString&, int) { return false; };
    std::function<void()> enableAll = [] {};
    std::function<void(int mode)> disableAll = [](int) {};
    // The shared tool windows, created on first use; nullptr while they do not exist.
    std::function<IRecorder*()> recorder = [] { return nullptr; };
    std::function<IControlLoopWindow*()> controlLoop = [] { return nullptr; };
    std::function<IInitWindow*()> initWindow = [] { return nullptr; };
    // The initialisation window only if it exists already (never creates it).
    std::function<IInitWindow*()> existingInitWindow = [] { return nullptr; };
    // Unloads a tool window (closes its form).
    std::function<void(TrackedWindow*)> unload = [](TrackedWindow*) {};
    // Drift measurement of the servo recorder.
    std::function<bool()> driftActive = [] { return false; };  // its box cb_drift
    std::function<void(int)> setDriftmerker = [](int) {};
    std::function<void(double drift_pa)> startDrift = [](double) {};  // start_drift, y/x "vor" values

    // This Env with every empty hook replaced by its no-op default.
    ControlCenterEnv completed() const;
};

class ControlCenterCore : public IControlCenter
{
public:
    static inline const QString ParameterError = QStringLiteral("Parametereingabe oder Dimensionierung nicht Korrekt");
    static inline const QString ParameterErrorTitle = QStringLiteral("FEHLER!!!");
    static inline const QString RangeError = QStringLiteral(
        "Der Wert liegt außerhalb des Zählbereichs der Achse (±8388607 Inkremente) und wird nicht gesendet!");
    static inline const QString GraphicsTitle = QStringLiteral("Grafische Unterstützung");
    static inline const QString GraphicsQuestionFine =
        QStringLiteral("Hochauflösende Referenzfahrt mit Entschalterfahrten muss durchgeführt werden!");
    static inline const QString GraphicsQuestionSimple =
        QStringLiteral("Einfache Referenzfahrt mit Entschalterfahrten muss durchgeführt werden!");
    static inline const QString ReferenceError =
        QStringLiteral("Referenzfahrt abgebrochen: die Achse meldet keine gültige Position. Antwort auf [1PA]: ");
    static inline const QString ReferenceFactorError =
        QStringLiteral("Referenzfahrt nicht möglich: der Motorfaktor der Achse ist 0.");
    static inline const QString IndexFactorError =
        QStringLiteral("Indexsuche nicht möglich: der Motorfaktor der Achse ist 0.");
    static inline const QString ReferenceReadError = QStringLiteral(
        "Referenzfahrt abgebrochen: Geschwindigkeiten oder Software-Grenzen der Achse sind nicht lesbar: ");
    static inline const QStringList DistancePoint{"0.1", "0.2", "0.5",  "1.0", "2.0", "5.0", "10",
                                                  "20",  "40",  "42.5", "50",  "65",  "100", "112.5"};
    // Width of the travel picture and the carriage, in pixels.
    static constexpr int PictureWidth = 620;
    static constexpr int CarriageWidth = 20;
    // How often "[1BR]" goes to a unit just lost while its axis may move, until
    // it is answered: a unit that hangs for a moment misses the first ones.
    static constexpr int StopWrites = 5;

    explicit ControlCenterCore(ControlCenterEnv env);
    ~ControlCenterCore() override;

    // --- the window that shows this core ----------------------------------------
    // Its form (placed into the MDI area), how it shows the state, and how it
    // moves the focus to Stop. Without a view the core runs headless.
    struct View
    {
        QWidget* form = nullptr;
        std::function<void()> show;
        std::function<void()> focusStop;
    };
    void setView(View view);
    QWidget* form() const override { return m_view.form; }
    void releaseToolButton(ToolButton which) override;
    void bindToolButton(ToolButton which) override;
    QString windowCaption() const override { return Caption; }

    // --- IControlCenter --------------------------------------------------------
    int Initialisierung() override;
    int Aktualisieren() override;
    void auslesen() override;
    QStringList unitAddresses() const override { return cb_adressenauswahl.items; }
    int addressesIndex() const override { return cb_adressenauswahl.listIndex; }
    void setAddressesIndex(int index) override;
    void clearAddresses() override;
    void appendAddress(const QString& entry) override;
    int line_schlitten_Left() const override { return line_schlitten_left; }
    quint32 line_schlitten_BackColor() const override { return line_schlitten.colour; }
    void setLine_schlitten(int left, quint32 backColor) override;

    // --- set-up, activation and unloading -----------------------------------------
    void Form_Load();
    void Form_Activate();
    // Unbinds the tool windows, stops an online axis at once and leaves CC.
    void Form_Unload();

    // --- the window's public members ----------------------------------------------
    double motfak_holen() const override { return Motorfaktor; }
    void limits_auslesen();
    void v_a_auslesen();
    void Button_enable();
    void Button_Disable();

    // --- handlers ------------------------------------------------------------------
    void cb_adressenauswahl_Click();
    void cb_IN_Click();
    void lb_Fehler_Click();
    void fehlerliste_schreiben(int mode);
    void cmd_Fahrt_Click(int index);
    void cmd_FahreNull_Click() override;
    void cmd_STOPP_Click() override;
    void cmd_GX_Click() { postCommand(QStringLiteral("[1GX]")); }
    void cmd_GY_Click() { postCommand(QStringLiteral("[1GY]")); }
    void cmd_ESP_Click() { postCommand(QStringLiteral("[1FX]")); }
    void cmd_ESM_Click() { postCommand(QStringLiteral("[1FY]")); }
    void cmd_status_Click() { postCommand(protocol::Status); }
    void cmd_version_Click() { postCommand(protocol::Version); }
    void cmd_versionintern_Click() { postCommand(QStringLiteral("[0Vn]")); }
    void cmd_input_Click() { postCommand(protocol::Inputs); }
    void cmd_sign_Click() { postCommand(QStringLiteral("[0PL]")); }
    void cmd_ZaehlerNull_Click() { FlagZaehlerNullen = 1; }
    // 1 = left button, 2 = right button.
    void cmd_IndexSuche_MouseUp(int button);
    void pb_Grafikunterstuetzung_MouseUp(int button);
    void lb_joyart_Click();
    // Selects option `index` of `Fahrart` and runs its click handler.
    void selectDriveMode(int index);
    void Fahrart_Click(int index);
    void ob_Fahrart2_Click(int index);
    void sl_dauer_Change(int position);
    void cmd_eW_Click();
    void cmd_ControllP_Click();
    void cmd_Init_Click();
    void text_strecke_LostFocus();
    void cb_SchritteE_LostFocus() { text_strecke_LostFocus(); }
    void sli_v_Change(int value);
    void sli_a_Change(int value);
    void text_Geschwindigkeit_LostFocus();
    void text_Beschleunigung_LostFocus();
    void text_SLM_LostFocus() { softwareLimit(false); }
    void text_SLP_LostFocus() { softwareLimit(true); }

    bool usesComma() const;
    // True while a call of Aktualisieren runs (a modal box may be open in it).
    bool isInCycle() const { return m_inCycle; }
    bool online() const { return sh_an_aus.colour == controlDesk::Green && cb_adressenauswahl.listIndex > 0; }
    // True while speeds and software limits changed by an interrupted
    // reference run still wait to be written back to some unit.
    bool referenceRestorePending() const;

    // --- public variables of the window -------------------------------------------
    QString Fahr_v_a;
    int FlagZaehlerNullen = 0;
    int flagpollen = 0;
    int FlagIndexSuche = 0;
    int FlagDauer = 0;

    // --- private state (readable for the window and the tests) --------------------
    double Grafikmassstab = 0;
    double Messtischweg = 0;
    double Grenze_minus = 0;
    double Grenze_plus = 0;
    double Motorfaktor = 0;
    double vmax = 0;
    double vmin = 0;
    double amin = 0;
    int drehantrieb = 0;
    QString Fahrart2_Kennung;
    double Strecke = 0;
    int Dauerphase = 0;
    double Anzeigeaufloesung = 0;
    int Antwort_fehlte = 0;
    int Dauerziel = 1;
    double Referenzphase = 0.5;
    int Grafikantwort = 0;
    int Fehlerzeile_gross = 0;
    QString Fehlerzeile_Text;

    // --- controls ------------------------------------------------------------------
    kit::ListControl cb_adressenauswahl;
    QString Caption;
    kit::Control sh_an_aus;
    kit::Control lb_POS;
    kit::Control lb_Fehler;
    kit::Control cb_IN;
    kit::Control lb_ESM, lb_ESP;
    kit::Control text_SLM, text_SLP;
    kit::Control lb_messtischweg;
    kit::RangeControl sli_v, sli_a;
    kit::Control text_Geschwindigkeit, text_Beschleunigung;
    kit::Control Label1, Label2;
    std::array<kit::Control, 4> Fahrart;
    kit::Control lb_joyart;
    kit::Control fr_Fahrart2;
    std::array<kit::Control, 3> ob_Fahrart2;
    // The distance box: its suggestions in `items`, what it shows in `text`.
    kit::ListControl text_strecke;
    kit::ListControl cb_SchritteE{controlDesk::Units, 0, controlDesk::Units.at(0)};
    std::array<kit::Control, 2> cmd_Fahrt;
    kit::Control cmd_FahreNull, cmd_STOPP, cmd_ESM, cmd_ESP, cmd_GX, cmd_GY;
    kit::Control cmd_IndexSuche, lb_indexanzeige, cmd_ZaehlerNull;
    kit::RangeControl sl_dauer{0, 0, 7, 1, 1};
    kit::Control pb_Grafikunterstuetzung;
    kit::Control line_schlitten;
    int line_schlitten_left = PictureWidth / 2;
    // X of the software-limit marks sh_index(10) and sh_index(11); -1 = not drawn.
    std::array<int, 2> sh_index_x{-1, -1};
    kit::Control cmd_status, cmd_version, cmd_versionintern, cmd_input, cmd_sign;
    kit::Control cmd_eW, cmd_ControllP, cmd_Init;

protected:
    // --- runs, advanced one step per answered tick --------------------------------
    // Reference run of the travel picture; `phase` 0.5 = start, 8 = cancel.
    virtual void Identifikationsfahrt(double& phase);
    virtual void dauerfahrt(int& targetPos);
    virtual void ZaehlerNullen();
    virtual void index_routine();
    virtual void indexsuche_starten();

    // The window shows the state before a modal box and after each entry point.
    void showValues() const;
    // The window's focus moves to the stop button.
    void stopFocus() const;

    // Posts one command text into the mailbox.
    void postCommand(const QString& cmdText);
    QString unitAddress() const;
    // Moves the shared parameter cursor to this window's axis; false when the
    // window has none or the axis is outside the store.
    bool chooseAxis() const;
    BusTransport& bus() const { return *m_env.bus; }
    const ControlCenterEnv& env() const { return m_env; }
    void showError(const QString& text, const QString& title = {});
    void sevenMoveButtons(bool visible);
    void setStageTravel();
    void setMark(int which, double counts);
    // Sets a bar value as the program does: under the event lock it never
    // posts; outside the bar's range it is refused, never clamped.
    bool setBar(kit::RangeControl& bar, int value, bool eventLock);
    void zeroDisplay();

private:
    // The software-limit texts last shown or accepted (minus, plus): a
    // refused limit puts its box back to them.
    QString m_limitTexts[2] = {QStringLiteral("0"), QStringLiteral("0")};

    // --- steps of the reference run ------------------------------------------------
    bool referenceStart(double& phase);
    void referenceEnd(double& phase);
    void referenceAbort(double& phase, const QString& messageText);
    std::optional<double> referencePosition(double& phase);
    std::optional<QString> referenceSwitch();
    QString referenceSend(const QString& cmdText);
    QString referenceRelative(bool plus);
    QString referenceAbsolute(double counts);
    bool minusSwitch() const;
    bool plusSwitch() const;
    QString referenceEcho(QChar moveKind, const QString& echoEnd) const;
    void referencePoll();
    bool referenceClearSwitch(bool fromPlus);
    enum class EdgeStep
    {
        Waiting,
        Next,
        Closed,
        Aborted
    };
    EdgeStep referenceEdge(bool plus, double& phase);
    // One member per phase (RefPhase).
    void referenceEntry(double& phase);
    void referenceLeaveMinus(double& phase);
    void referenceToPlusSwitch(double& phase);
    void referenceLeavePlus(double& phase);
    void referenceEdgePlus(double& phase);
    void referenceBackFromPlus(double& phase);
    void referenceMinusSide(double& phase);
    void referenceToMinusSwitch(double& phase);
    void referenceLeaveMinusFine(double& phase);
    void referenceEdgeMinus(double& phase);
    void referenceToStart(double& phase);
    void referenceFinish(double& phase);
    void referenceDiscarded(double& phase);

    // No unit answered: the no-answer text, or nothing from a closed port.
    static bool unanswered(const QString& reply);
    // The bodies of the main loop's calls; the public ones guard them.
    int initialise();
    int update();
    void readOut();

    // --- what the window owes the units it left or lost ------------------------------
    struct Debt
    {
        bool stop = false;                                   // its axis may move: "[1BR]" first
        std::optional<controlDesk::ReferenceBackup> values;  // speeds and limits a reference run changed
        // The unit did not answer when it was owed them: written again only
        // once the window finds it answering (chosen again, or polled).
        bool lost = false;
    };
    // Writes what `address` is owed, stop first; true once all is answered.
    // The first unanswered command ends it (a silent unit costs one
    // time-out) and marks the debt lost.
    bool payDebt(const QString& address);
    // Debts of units the window was turned away from, not yet found silent.
    void payDebtsOfLeftUnits(const QString& current);
    // "[1BR]" to `address` now, up to `writes` times until it is answered;
    // the selection in force is kept.
    bool writeStop(const QString& address, int writes);
    // The lamp just turned red: a moving axis is stopped and its run cancelled.
    void unitLost(const QString& address);
    // Off: what only posts into the mailbox is disabled; Stop as given.
    void offlineControls(bool stopUsable);

    kit::Control& toolButton(ToolButton which);
    // A shared tool window moved from control center `previous` to this one.
    void toolWindowTakenFrom(int previous, ToolButton which) const;
    void softwareLimit(bool plus);
    void sendToMailbox();
    void motionEnd();
    void graphicsSupport();

    ControlCenterEnv m_env;
    View m_view;
    // Last position read from an accepted "[1PA!" reply.
    double m_counter = 0;
    bool m_counterValid = false;
    QString m_lastDistance;
    bool m_inCycle = false;
    controlDesk::Referenzfahrt m_reference;
    std::map<QString, Debt> m_debts;  // by unit address
    // The position the index capture reported, while the index display is green.
    std::optional<double> m_indexCounter;
};
