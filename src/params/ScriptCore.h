#pragma once
// The command-script window without widgets: 78 script lines with a reply
// label each, the unit list with its lamp, the script file, the transform of
// a read-out, and the interpreter `skript_ausfuehren` as a step machine. Each
// step() carries out one line, one motion poll or one look at a running
// pause, so the window's events are handled between steps and closing the
// window ends a run at once. The window (frm_download2) runs the steps from a
// single-shot timer; tests call them directly.

#include "ControlState.h"
#include "ScriptText.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class AxisParameterStore;
class BusTransport;
class IClock;
class IUiServices;

struct ScriptEnv
{
    BusTransport* bus = nullptr;
    IUiServices* ui = nullptr;
    IClock* clock = nullptr;
    // Move lines convert with the motor factor of the store's current axis.
    AxisParameterStore* store = nullptr;
    // Folder of "autost.dwl" and of the file dialogs.
    std::function<QString()> programFolder = [] { return QString(); };
    // Asks the main loop to initialise every control center again.
    std::function<void()> comMotflag = [] {};
    // The list index of the current control center's address list; nothing
    // while no control center is current.
    std::function<std::optional<int>()> controlCenterIndex = [] { return std::optional<int>(); };
    // The exit button: the main window hides the window and takes the bus back.
    std::function<void()> leaveScript = [] {};
};

class ScriptCore
{
public:
    static constexpr int MaxRows = scriptText::MaxRows;
    static constexpr quint32 Gray = 0xE0E0E0;
    static constexpr quint32 Started = 0xC0C0;  // started, not answered
    static constexpr quint32 Green = 0xC000;
    static constexpr quint32 Red = 0xC0;
    static constexpr quint32 LoopColor = 0x8000;
    static constexpr quint32 SingleColor = 0x80;
    static constexpr double StoreTimeout = 10.0;
    static constexpr double PollTimeout = 0.2;
    static inline const QString Filter = QStringLiteral("Datendateien(*.dqv;*.dwl)|*.dqv;*.dwl|Alle Dateien|*.*");
    static inline const QString AutoFile = QStringLiteral("autost.dwl");
    static inline const QString TransformQuestion = QStringLiteral("Caution! Do you really want transform?");

    explicit ScriptCore(ScriptEnv env);

    // --- Controls ----------------------------------------------------------------------
    std::array<kit::Control, MaxRows> text_Befehl;
    std::array<kit::Control, MaxRows> lb_Befehl;
    kit::ListControl cb_adressenauswahl;
    kit::Control lb_adresse{.text = QStringLiteral("Address")};
    kit::Control sh_an_aus;
    kit::Control tb_wait{.text = QStringLiteral("200")};
    kit::Control Check1{.text = QStringLiteral("Single"), .colour = SingleColor, .foreColour = 0xFFFFFF};
    kit::Control zaehler{.text = QStringLiteral("0")};
    kit::Control cmd_download{.text = QStringLiteral("Download")};
    kit::Control cmd_readout{.text = QStringLiteral("Transform")};
    kit::Control Command1{.text = QStringLiteral("Reset")};
    kit::Control AblLD, AblSP, cmd_exit;
    QString caption = QStringLiteral("Download");

    // The lines as the files hold them; always equal to the line boxes.
    QStringList Befehlszeilen;
    // The line a run is at, and 1 while a started motion is polled.
    int n = 0;
    int flagpollen = 0;

    // --- Window events -----------------------------------------------------------------
    // Fills the unit list: "00" to "1F", then "31".
    void Form_Load();
    // Follows the current control center's address choice, then checks the unit.
    void Form_Activate();
    void cb_adressenauswahl_Click();
    void text_Befehl_Change(int Index);
    void befehleaktualisieren(int Index, const QString& Befehl);
    // Button 2 (right): sends the line as it stands and shows the reply.
    void lb_Befehl_MouseDown(int Index, int Button);
    void Command1_Click();
    void Check1_Click();
    // Starts a run while the lamp is green and no run is under way.
    void cmd_download_Click();
    void cmd_readout_Click();
    void AblLD_Click() { befehlssatzladen(); }
    void AblSP_Click() { befehlssatzspeichern(); }
    // The exit button: the closing steps, then the main window's.
    void cmd_exit_Click();
    // Closing the window (exit button or menu): a run ends after the exchange
    // under way and Loop is cleared; `n` becomes 74 and `flagpollen` 0.
    void closeView();

    // --- Script file -------------------------------------------------------------------
    // "auto" loads autost.dwl from the program folder, anything else asks.
    bool befehlssatzladen(const QString& aktion = {});
    bool befehlssatzspeichern();
    QByteArray fileText() const;
    // Puts texts into the 78 lines (line boxes and Befehlszeilen).
    void setLines(const QStringList& lines);

    // --- Interpreter -------------------------------------------------------------------
    bool greenLamp() const { return sh_an_aus.colour == Green; }
    bool isRunning() const { return m_phase != Phase::Idle; }
    // One step of a run; returns whether the run goes on.
    bool step();
    // Seconds until the next step has something to do (a pause), else 0.
    double nextStepIn() const;
    // Runs to the end, sleeping through pauses (tests, benchmark).
    void runToEnd();

private:
    enum class Phase
    {
        Idle,
        Line,
        Pause
    };
    void skript_ausfuehren();
    void beginPass();
    void runLine();
    void finishLine(bool stay);
    void stopScript();
    void endRun();
    void pickUnit(const QString& unitAddress);
    // One exchange on the script's unit; `raw` for a line sent as written.
    QString senden(const QString& command, double timeout, bool raw = false);
    // "[0po]" for the motion the last line started.
    QString pollMotion();
    void selectUnit();
    static QString answerOrNone(const QString& antwort);
    void transformieren();
    void reportFile(const QString& name);

    ScriptEnv m_env;
    // The unit this window selected last (its list or an address line).
    // Another window may select another unit between two steps; the next
    // exchange of this window selects this one again first.
    QString m_unitAddress;
    Phase m_phase = Phase::Idle;
    bool m_abbruch = false;
    int m_comment = 0;
    int m_group = 0;
    double m_zeitlimit = 0;
    double m_pauseEnd = 0;
};
