#pragma once
// The sequence window without widgets: its own access to the serial port
// (module table, send-and-wait, failure count), the line interpreter as a step
// machine, the manual panel with its 100 ms tick, the sequence file and the
// editor. The window (frm_ablauf) shows this state and calls step() and
// Timer1_Timer() from its timers; tests call them directly.
#include "ControlState.h"
#include "LineReply.h"
#include "Protocol.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class IClock;
class ISerialPort;
class IUiServices;

struct AblaufEnv
{
    ISerialPort* port = nullptr;
    IClock* clock = nullptr;
    IUiServices* ui = nullptr;
    // Folder of "autost.aqv" and of the file dialogs.
    std::function<QString()> programFolder = [] { return QString(); };
    // The recording window receives every answered raw command (reply, line).
    std::function<void(const QString& reply, const QString& line)> schreibe = [](const QString&, const QString&) {};
    // Menu "Aufzeichnen": shows the recording window.
    std::function<void()> showRecordingWindow = [] {};
    // Whether displayed decimals use a comma.
    std::function<bool()> usesComma = [] { return false; };
    // A run ended and `CStart` is enabled again: the window gives it the focus.
    std::function<void()> focusStart = [] {};
    // A command written to the unit at `address` and its reply, for models
    // other windows read (a probe board's channel mask).
    std::function<void(const QString& address, const QString& command, const QString& reply)> answered =
        [](const QString&, const QString&, const QString&) {};
};

class AblaufCore
{
public:
    static constexpr int MaxRows = 87;
    static constexpr int GaugeCount = 32;
    static constexpr int TableSize = 21;
    static constexpr int ListLength = 1000;
    static constexpr quint32 Green = 0xFF00;
    static constexpr quint32 Red = 0xFF;
    static constexpr quint32 Yellow = 0xFFFF;
    static constexpr quint32 White = 0xFFFFFF;
    static inline const QString FileFilter = QStringLiteral("Datendateien(*.aqv)|*.aqv|Alle Dateien|*.*");
    static inline const QString PortMessage =
        QStringLiteral("COM-Port ist nicht geöffnet, bitte überprüfen sie die Einstellungen!");

    explicit AblaufCore(AblaufEnv env);

    // --- Controls ----------------------------------------------------------------------
    std::array<kit::Control, MaxRows> pZeile;
    kit::Control LHinweis, CStart{.text = QStringLiteral("Start Ablauf")},
        CStop{.text = QStringLiteral("Stopp Ablauf")};
    kit::Control lNA{.text = QStringLiteral("0")}, lFehler{.text = QStringLiteral("0")}, LED;
    kit::ListControl lb_ablauf;
    std::array<kit::Control, GaugeCount> Con, Display;
    kit::Control Don0;  // Don(0): position polling on/off
    kit::RangeControl VTyp{.value = 0, .min = 0, .max = 8}, VBox{.value = 0, .min = 0, .max = 15};
    kit::Control tTyp{.text = QStringLiteral("0")}, tBox{.text = QStringLiteral("0")};
    kit::Control tIndex3{.text = QStringLiteral("000,00")};  // tIndex(3)
    kit::Control TPosWeg{.text = QStringLiteral("0")};
    kit::Control OPosArt0, OPosArt1;  // ABS / REL
    kit::Control TSenden;
    kit::Control FControlBox1;
    kit::Control Label3, TEdit, ffAblauf, FEdit;

    // --- Port access -------------------------------------------------------------------
    QString Adresstabelle[TableSize][TableSize];
    int AktTyp = 0, AktBox = 0;
    QString Sendetext, Empfangstext;
    double Zeitlimit = 1.0;
    int Fehlerzahl = 0;
    // Writes the selection of (AktTyp, AktBox); an empty entry writes nothing.
    void Adresse_waehlen();
    // Writes Sendetext and collects the reply into Empfangstext (until "]" or
    // Zeitlimit); counts and lists time-outs and rejections. A time-out stops
    // a running sequence. Returns false on a time-out.
    // One exchange on the port; `typed` for a QV line's raw command.
    bool Ablaufsenden(bool typed = false);
    // Writes Sendetext without reading anything.
    void writeBytes();
    // Selects (0, 0), writes "[1BR]" without waiting, enables CStart.
    void FStop();
    bool hasAddress(int unitType, int box) const;

    // --- Interpreter -------------------------------------------------------------------
    double Faktortabelle[16][16] = {};
    int Abbruch = 0;
    int Zyklen = 0;
    void CStart_Click();
    void CStop_Click();
    // One step of a running sequence (a line, a motion poll, or a look at a
    // pause). Returns whether the run goes on.
    bool step();
    bool isRunning() const { return m_phase != Phase::Idle; }
    // Seconds until the next step has something to do (a pause), else 0.
    double nextStepIn() const;
    // Runs the sequence to its end, sleeping through pauses (tests, benchmark).
    void runToEnd();
    // Whether the window's own timer may tick now (off while a motion is awaited).
    bool timer1Active() const { return m_timer1On; }
    // Whether numbers are written with a decimal comma (the locale's format).
    bool usesComma() const { return m_env.usesComma(); }
    int currentLine() const { return m_zeile; }

    // --- Manual panel ------------------------------------------------------------------
    QString Handbefehl, Handantwort;
    int Handbefehl_offen = 0, MaxMin_aktiv = 0, Indexsuche_aktiv = 0;
    QString Positionstext[31];
    double Kanalwert[5] = {};
    void Timer1_Timer();
    void CBefehl_Click(int index);
    void queue(const QString& command);
    void CLimitP_Click() { queue(QStringLiteral("[1FX]")); }
    void CLimitN_Click() { queue(QStringLiteral("[1FY]")); }
    void CJoyOFF_Click() { queue(QStringLiteral("[1CS]")); }
    void CJoystick_Click() { queue(QStringLiteral("[1CJ]")); }
    void c1if_Click();
    void CTab_Click() { queue(QStringLiteral("[0K21111]")); }
    void CSWEIN_Click();
    void CSenden_Click() { queue(TSenden.text); }
    void CEMaxMin_Click();
    void CAMaxMin_Click();
    void CMAX_Click();
    void CMin_Click();
    void Cposbox_Click(int index);
    void MotAbs(double Weg) { motManual(QStringLiteral("[1FA"), Weg); }
    void MotRel(double Weg) { motManual(QStringLiteral("[1FR"), Weg); }
    void DPosition(int typx, int boxx, int PAchse);
    void MAXMINlesen();
    void Hexabcd(const QString& antwort);
    void VTyp_Change();
    void VBox_Change();
    void Display_Click() { FControlBox1.visible = true; }
    // Leaves the window (exit button): stop, wait for the motion, reset counters.
    void cmd_exit_Click();
    static QString commandOf(int index);

    // --- File and editor ---------------------------------------------------------------
    QString Dateiname;
    int Autoladen = 0;
    void AblL();
    void AblSP_Click();
    void AblaufCompiler();
    void LEdit();
    void CTST1_Click();
    void CTST3_Click() { TEdit.text.clear(); }
    void CTST4_Click() { LEdit(); }
    void AblaufEinAus() { ffAblauf.visible = !ffAblauf.visible; }
    void EditEinAus() { FEdit.visible = !FEdit.visible; }
    void mnuAufz_Click() { m_env.showRecordingWindow(); }
    // A line box edited by the operator: a double quote cannot enter it.
    void pZeile_Change(int index);
    // Form_Load: table, lamp, and the start file.
    void Form_Load();
    // The texts of the 87 lines as the file holds them.
    QByteArray fileText() const;

private:
    enum class Phase
    {
        Idle,
        Line,
        Motion,
        Pause
    };
    void listEntry(const QString& text);
    void beginPass();
    void endRun();
    void finishLine();
    void runLine(const QString& L);
    bool lineErrors(const QString& errorReason);
    void motion(const QString& letters);
    void selectionOnly(const QString& command);
    void doMB(const QString& L);
    void QV_Befehl(const QString& L);
    void currentEndPoll();
    void motManual(const QString& prefix, double Weg);
    bool panelModule();
    // Whether the port is open. A port this window found open at its last
    // use and finds closed now was lost (nobody else closes it while the
    // window owns it): the port reports that loss itself, and the main
    // window shows it.
    bool portOpen();
    void reportPortError();
    QString afterSlash(const QString& L, int n) const;

    AblaufEnv m_env;
    Phase m_phase = Phase::Idle;
    int m_zeile = 0;
    QString m_lineText;  // the line the interpreter took last
    QString m_lastKK;    // keyword of the last line carried out
    double m_feldzahl[11] = {};
    int m_slashes = 0;
    int ZeilenTyp = 0, ZeilenBox = 0;
    double m_pauseEnd = 0;
    bool m_timer1On = true;
    // The operator has been told that the port is closed: by this window's
    // message, or by the report of its loss.
    bool m_portReported = false;
    // The port was open at this window's last use of it.
    bool m_portInUse = false;
    bool m_inPanelTick = false;
    int m_displayType15 = 1, m_displayBox15 = 0;
    QString m_errorText;  // last time-out or refusal, for tests
    // QV commands that got no reply: their late replies are passed over.
    line::LateEchoes m_late;
    // The unit the last selection written named.
    QString m_selected;
};
