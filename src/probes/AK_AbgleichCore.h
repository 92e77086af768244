#pragma once
// The guided calibration window without widgets: the board type and address,
// the window's own exchange on the serial port (AKsenden: five writes on a
// rejection, the base address's status request on silence), the measuring
// step with zero, factor and span per channel, the single commands, and two
// step machines: "Burn all" with its one-second pauses and the guided
// calibration of one channel (StartAbgl_Click), driven by the operator's
// "weiter" and "Abbruch". The window (frm_AK_Abgleich) shows this state and
// calls Timer1_Timer() and step() from its timers; tests call them directly.
//
// Nothing here goes through the bus transport or its log: the window owns
// the port while it is open, and the main loop is held meanwhile.
#include "ControlState.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
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
    std::function<bool()> komma = [] { return false; };
};

class AK_AbgleichCore
{
public:
    static constexpr int Kanaele = 4;
    static constexpr int Adressen = 16;
    static constexpr int Typen = 5;
    static constexpr int Sendeversuche = 5;
    // 24-bit registers wrap here.
    static constexpr qint64 Registerumfang = 0x1000000;
    // Seconds between two looks at the operator's answer while a prompt waits.
    static constexpr double Wartetakt = 0.05;

    enum class Phase {
        Idle,
        FirstAnswer,     // "Kanal k": waits for "weiter"
        OffsetPrompt,    // standard at 0: live reading until an answer
        StandardPrompt,  // standard in place: live reading until an answer and half the standard
        CoarseSearch,    // raises the positive gain until the reading falls below the standard
        PassStart,       // one refinement pass begins with a fresh reading
        PassDown,        // lowers the gain until the reading exceeds the standard
        PassBack,        // one step back over the crossing
        LastAnswer,      // live reading until an answer
    };

    // The window's measuring timer as the core switches it.
    struct TimerState
    {
        bool enabled = false;
        int interval = 200;
    };

    explicit AK_AbgleichCore(AK_AbgleichEnv env);

    // --- Controls ----------------------------------------------------------------------
    std::array<kit::Control, Typen> OAkX;
    kit::Control AK_Nr, CIY;
    std::array<kit::Control, Adressen> AKNR, CINR;
    kit::Control aktiv{.text = QStringLiteral("Messen")};
    std::array<kit::Control, Kanaele> Check1, kanal, Faktor, Null, Spannbox;  // Faktor: FaktorA, faktorB ...
    kit::Control Maxmin{.text = QStringLiteral("Max/Min")};
    kit::Control tb_faktor{.text = QStringLiteral("2560")};
    kit::Control messwert, empfang;  // meßwert: the command line
    std::array<kit::Control, Kanaele> frequenz;
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
    std::array<double, Kanaele> Anzeigewert{}, Kanalwert{}, Spanne{}, Maxwert{}, Minwert{}, Nullwert{};
    QString Kanalziffer;
    double Startzeit = 0, Antwortfrist = 2, Laufzeit = 0;
    double Messwert0 = 0;
    QString Sendebefehl, Antworttext, M1Antwort, K1Befehl, Frequenz1_20, Frequenz1_13;
    std::array<QString, Kanaele> Kanalmaske, Kanalhex;
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
    void waehlen(const QString& adresse);

    // --- Board type and address --------------------------------------------------------
    // The selected board type (0 AK1, 1 AK4, 2 AK2IK1, 3 ADA2, 4 AK16), -1 for none.
    int typ() const;
    int gewaehlteAdresse() const;  // the selected AKNR element, -1 for none
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
    void Spanne_Click(int c);
    void Maxmin_Click();
    // The zero button of a channel pressed and released.
    void Null_MouseDown(int c) { Nullwert[c] = 0; }
    void Null_Click(int c);
    void Option_Click(int frame, int index);  // Option0_Click .. Option3_Click
    void Option5_Click(int index);
    void status_Click() { einzeln(QStringLiteral("[0ST]")); }
    void synchron_Click() { einzeln(QStringLiteral("[0fP]")); }
    void tabelle_Click() { einzeln(QStringLiteral("[0VN]")); }
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
    bool laeuft() const { return m_phase != Phase::Idle || brennt(); }
    bool brennt() const { return m_brennIndex >= 0; }
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
    void senden(const QString& befehl);   // Sendebefehl = befehl, AKsenden
    void einzeln(const QString& befehl);  // senden, then the command line
    void waehleOption(std::array<kit::Control, Adressen>& feld, int index);
    bool komma() const { return m_env.komma(); }
    QString zahl(double v, const QString& maske) const;
    double sollwert() const;
    QString kanalziffer() const;
    void zeigeIst();

    // The calibration's steps.
    void ende();
    void aufNennwerte();
    void offsetSetzen();
    void standardAbfragen();
    void schrittBeginnen(qint64 p);  // the write step W(p) up to its pause
    void schrittAbschliessen();      // after the pause: read back and measure
    void warten(double sekunden);
    void brennschritt();

    AK_AbgleichEnv m_env;
    Phase m_phase = Phase::Idle;
    double m_faellig = 0;           // clock time of the next step
    bool m_schrittOffen = false;    // a write step waits for its read-back
    qint64 m_schritt = 0x100000;    // Schritt
    int m_durchlauf = 0;            // Durchlauf
    QStringList m_brennfolge;
    int m_brennIndex = -1;
};
