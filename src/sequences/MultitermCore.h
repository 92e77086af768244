#pragma once
// The multi-unit terminal without widgets: 16 rows of address, command,
// include box and reply, sent one by one or all in order, again and again in
// "Dauer" mode, over the serial port directly (not through the transport and
// not logged), and kept in test files.
#include "ControlState.h"
#include "LineReply.h"
#include "Protocol.h"

#include <QString>

#include <array>
#include <functional>

class IClock;
class ISerialPort;
class IUiServices;

struct MultitermEnv
{
    ISerialPort* port = nullptr;
    IClock* clock = nullptr;
    IUiServices* ui = nullptr;
    std::function<QString()> programFolder = [] { return QString(); };
    // A command written to the unit at `address` and its reply, for models
    // other windows read (a probe board's channel mask).
    std::function<void(const QString& address, const QString& command, const QString& reply)> answered =
        [](const QString&, const QString&, const QString&) {};
};

class MultitermCore
{
public:
    static constexpr int MaxRows = 16;
    static constexpr quint32 Yellow = 0xFFFF;
    static constexpr quint32 White = 0xFFFFFF;
    static inline const QString NoConnection = QStringLiteral("keine Verbindung");
    static inline const QString LoadFilter =
        QStringLiteral("Datendateien(*.qvt;*.qvi;*.qvm)|*.qvt;*.qvi;*.qvm|Alle Dateien|*.*");
    static inline const QString SaveFilter = QStringLiteral("Datendateien(*.qvt)|*.qvt|Alle Dateien|*.*");

    explicit MultitermCore(MultitermEnv env);

    // --- Controls ----------------------------------------------------------------------
    std::array<kit::Control, MaxRows> Text1, tsend, csend, tempf;
    kit::Control cDauer, chWaitpos, tTyp, ltyp, tBox, lZeit, lDauer, lFehler;
    kit::RangeControl VTyp{.value = 0, .min = 0, .max = 8}, VBox{.value = 1, .min = 0, .max = 15};

    // --- State -------------------------------------------------------------------------
    QString Adresstabelle[16][31];
    int AktTyp = 0, AktBox = 1;
    QString Sendetext, Empfangstext;
    double Zeitlimit = 4;
    int Zeile = 0;
    int FlagBelegt = 0;
    int Fehlerzaehler = 0;
    int Dauerzaehler = 0;
    // Whether the window's 20 ms timer runs.
    bool timer1An() const { return m_timer1; }

    void Form_Load();
    void adresse_senden();
    // Cuts Sendetext to its last bracket pair; false when it has none.
    bool Klammertest();
    void MTsenden();
    void Cosend_Click(int i);
    void senden();
    void CSenden_Click();
    void cDauer_Click();
    // A command box edited: the test file is Windows-1252, other characters
    // are refused.
    void tsend_Change(int i);
    void Timer1_Timer();
    // Leaving the terminal switches its timer off; "Dauer" resumes only when
    // the box is ticked again (or the window is loaded anew).
    void cmd_exit_Click() { m_timer1 = false; }
    void chWaitpos_Click();
    void VTyp_Change();
    void VBox_Change();
    void ptestld_Click();
    void pTestsp_Click();
    void continuousOff();
    // The rows as a test file holds them.
    QByteArray fileText() const;

private:
    bool portReady(int zeile);
    // Selects the row's unit; false (and "!?" in the row) when there is none.
    bool selectRow(int zeile);
    // Steps 2, 3, 5 and 6 of sending a row whose unit is selected.
    void sendLine(int zeile);
    void writeBytes(const QByteArray& bytes);

    MultitermEnv m_env;
    bool m_timer1 = false;
    // Rows that got no reply: their late replies are passed over.
    line::LateEchoes m_late;
    // The unit the last selection written named.
    QString m_selected;
};
