#pragma once
// The guided calibration window without widgets: the board type and address,
// the window's own exchange on the serial port (AKsenden: five writes on a
// rejection, the base address's status request on silence unless a
// calibration runs, which a silent board stops instead), the measuring
// step with zero, factor and span per channel, the single commands, and two
// step machines: "Burn all" with its one-second pauses and the guided
// calibration of one channel (StartAbgl_Click), driven by the operator's
// "weiter" and "Abbruch". The window (frm_AK_Abgleich) shows this state and
// calls Timer1_Timer() and step() from its timers; tests call them directly.
//
// No exchange goes through the bus transport or its log (only the unit
// selection is handed to it, see AK_AbgleichEnv): the window owns
// the port while it is open, and the main loop is held meanwhile.
#include "BoardMasks.h"
#include "ControlState.h"
#include "Protocol.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class IClock;
class ISerialPort;
class IUiServices;

struct AK_AbgleichEnv
{
    ISerialPort* port = nullptr;
    IClock* clock = nullptr;
    IUiServices* ui = nullptr;
    // Whether displayed and typed decimals use a comma.
    std::function<bool()> decimalComma = [] { return false; };
    // The unit the shared transport selected last; when it changes, another
    // window has selected a unit since this window selected its board.
    std::function<QString()> busUnit = [] { return QString(); };
    // Writes a unit selection (DC2 and the address) to the serial port; empty:
    // straight to the port.
    std::function<void(const QString&)> writeSelection;
    // The boards' channel masks, which the probe windows read; left empty,
    // the window keeps its own.
    std::shared_ptr<BoardMasks> masks;
};

class AK_AbgleichCore
{
public:
    static constexpr int Channels = 4;
    static constexpr int Addresses = 16;
    static constexpr int BoardTypes = 5;
    static constexpr int MaxWrites = 5;
    // 24-bit registers wrap here.
    static constexpr qint64 RegisterRange = 0x1000000;
    // Seconds between two looks at the operator's answer while a prompt waits.
    static constexpr double AnswerPoll = 0.05;

    enum class Phase
    {
        Idle,
        FirstAnswer,     // "Kanal k": waits for "weiter"
        OffsetPrompt,    // standard at 0: live reading until an answer
        StandardPrompt,  // standard in place: live reading until an answer and half the standard
        CoarseSearch,    // raises the positive gain until the reading falls below the standard
        PassStart,       // one refinement pass begins with a fresh reading
        PassDown,        // lowers the gain until the reading exceeds the standard
        PassBack,        // one step back over the crossing
        LastAnswer,      // live reading until an answer
        Halted,          // the board fell silent: waits for "Abbruch" or a new start
    };

    // The window's measuring timer as the core switches it.
    struct TimerState
    {
        bool enabled = false;
        int interval = 200;
    };

    explicit AK_AbgleichCore(AK_AbgleichEnv env);

    // --- Controls ----------------------------------------------------------------------
    std::array<kit::Control, BoardTypes> OAkX;
    kit::Control AK_Nr, CIY;
    std::array<kit::Control, Addresses> AKNR, CINR;
    kit::Control aktiv{.text = QStringLiteral("Messen")};
    // factorBoxes: FaktorA .. faktorD; zeroButtons: NullA .. nullD; spanBoxes: kanal_A .. Kanal_D.
    std::array<kit::Control, Channels> Check1, kanal, factorBoxes, zeroButtons, spanBoxes;
    kit::Control Maxmin{.text = QStringLiteral("Max/Min")};
    kit::Control tb_faktor{.text = QStringLiteral("2560")};
    kit::Control messwert, empfang;  // meßwert: the command line
    std::array<kit::Control, Channels> frequenz;
    std::array<kit::Control, 2> Option0, Option1, Option2, Option3;
    kit::Control Rahmen1;
    std::array<kit::Control, 7> Option5;
    kit::Control FADADA;
    std::array<kit::Control, 5> OADADA;
    kit::Control chAK1, ChTesa, Soll;
    kit::Control abgl, Abgleich, StartAbgl, weiterA, abbruchA, Bedhinw, Ist, fakP, fakM, textx;
    kit::Control Befehl2, Burn00, BAKNR, CIX, Nr_AK, Command1, Command2;
    kit::Control tint{.text = QStringLiteral("100")}, Interv;
    TimerState Timer1;

    // --- State -------------------------------------------------------------------------
    std::array<double, Channels> Anzeigewert{}, Kanalwert{}, Spanne{}, Maxwert{}, Minwert{}, Nullwert{};
    QString Kanalziffer;
    double Startzeit = 0, Antwortfrist = 2, Laufzeit = 0;
    double Messwert0 = 0;
    QString Sendebefehl, Antworttext, M1Antwort, K1Befehl, Frequenz1_20, Frequenz1_13;
    std::array<QString, Channels> Kanalmaske, Kanalhex;
    QString Tastencode;
    QString Registertext_P, Registertext_M;
    qint64 Verstaerkung_P = 0, Verstaerkung_M = 0;

    // --- Layouts -----------------------------------------------------------------------
    void EinKanal();
    void ZweiKanal();
    void Vierkanal();

    // --- Exchange and read-out ---------------------------------------------------------
    // Writes Sendebefehl and collects the reply into Antworttext.
    void AKsenden();
    void Messwert_holen();
    void Messwert_zerlegen();
    // The signed 24-bit value of the text divided by tb_faktor; nothing while
    // tb_faktor holds no number other than 0.
    std::optional<double> Faktor_rechnen(const QString& hex) const;
    // Writes DC2 and the address straight to the port; no reply is awaited.
    void selectUnit(const QString& address);
    // The window is shown: its board is selected again at once.
    void shown();
    // The window is hidden: other windows select their units meanwhile.
    void hidden() { m_selectedUnit.clear(); }

    // --- Board type and address --------------------------------------------------------
    // The selected board type (0 AK1, 1 AK4, 2 AK2IK1, 3 ADA2, 4 AK16), -1 for none.
    int boardType() const;
    int selectedAddress() const;  // the selected AKNR element, -1 for none
    void OAkX_Click(int index);
    void AKNR_Click(int index);
    void BAKNR_Click() { AK_Nr.visible = !AK_Nr.visible; }

    // --- Commands ----------------------------------------------------------------------
    void Befehl2_Click();
    void Burn00_Click();
    void Nr_AK_Click();
    void CINR_Click(int index);
    void CIX_Click() { CIY.visible = !CIY.visible; }
    void Check1_Click();
    void frequenz_Click(int index);
    void OADADA_Click(int index);
    void Command1_Click();
    void Command2_Click();
    void Command2_MouseDown() { messwert.text = Sendebefehl; }
    void abgl_Click();
    void ChTesa_Click();
    void Interv_Click();
    // The span box of a channel: its extremes start again.
    void resetSpan(int c);
    void Maxmin_Click();
    // The zero button of a channel pressed and released.
    void zeroPressed(int c) { Nullwert[c] = 0; }
    void zeroReleased(int c);
    void Option_Click(int frame, int index);  // Option0_Click .. Option3_Click
    void Option5_Click(int index);
    void status_Click() { sendAndShow(protocol::Status); }
    void synchron_Click() { sendAndShow(QStringLiteral("[0fP]")); }
    void tabelle_Click() { sendAndShow(protocol::Version); }
    void Register_Click();

    // --- Measuring ---------------------------------------------------------------------
    void Timer1_Timer();

    // --- Guided calibration and "Burn all" ---------------------------------------------
    void StartAbgl_Click();
    void weiterA_Click() { Tastencode = QStringLiteral("13"); }
    void abbruchA_Click();
    void Register_lesen();
    void Verstaerkung_schreiben();
    // Whether the calibration or "Burn all" is under way.
    bool running() const { return m_phase != Phase::Idle || burning(); }
    bool burning() const { return m_burnIndex >= 0; }
    Phase phase() const { return m_phase; }
    // Seconds until step() has something to do (0 = at once); negative when idle.
    double nextStepIn() const;
    // One step of "Burn all" or of the calibration; does nothing before its time.
    void step();
    // Ends a running calibration (as if it ended by itself) and "Burn all".
    void abort();
    // The exit button: ends what runs and stops the measuring timer.
    void cmd_exit_Click();

private:
    // Selects the window's board again unless it is still the selected unit.
    void selectOwnBoard();
    void send(const QString& command);         // Sendebefehl = command, then AKsenden
    void sendAndShow(const QString& command);  // send, then the command line
    void selectOption(std::array<kit::Control, Addresses>& optionBoxes, int index);
    bool decimalComma() const { return m_env.decimalComma(); }
    QString formatted(double v, const QString& mask) const;
    double standardValue() const;
    QString channelDigit() const;
    void showReading();

    // The calibration's steps.
    void finish();
    void resetToNominal();
    void setOffset();
    void askForStandard();
    void beginGainStep(qint64 p);  // the write step W(p) up to its pause
    void completeGainStep();       // after the pause: read back and measure
    void waitFor(double seconds);
    void burnStep();
    void procedureStep();
    void halt();

    AK_AbgleichEnv m_env;
    Phase m_phase = Phase::Idle;
    double m_due = 0;             // clock time of the next step
    bool m_gainStepOpen = false;  // a write step waits for its read-back
    qint64 Schritt = 0x100000;    // the current search step
    int Durchlauf = 0;            // finished refinement passes
    QStringList m_burnSequence;
    int m_burnIndex = -1;
    // The board address this window selected last (empty: not known to be
    // selected), and what the shared transport had selected at that moment.
    QString m_selectedUnit, m_busUnitAtSelection;
    bool m_inProcedure = false;  // a step of the calibration is under way
    QString m_silentCommand;     // the calibration's exchange that got no answer
};
