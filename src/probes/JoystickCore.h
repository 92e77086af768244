#pragma once
// The joystick display without its widgets: two consecutive units of its
// address list (the selected one and the next), each with its position, its
// joystick byte, the speed byte and the deflection on three gauges (dead
// band, negative side, positive side); the joystick mode of both units and
// their stop. The window's 50 ms timer runs `Timer2_Timer`, the only bus user
// while the window is open: the main loop is held meanwhile.

#include "ControlState.h"
#include "Protocol.h"

#include <QString>

#include <array>
#include <functional>

class AxisParameterStore;
class BusTransport;

struct JoystickEnv
{
    BusTransport* bus = nullptr;
    AxisParameterStore* store = nullptr;
    // Hands the bus back: the main loop and the other windows run again.
    std::function<void()> leaveScript = [] {};
};

class JoystickCore
{
public:
    static constexpr quint32 Green = 0xC000;
    static constexpr quint32 Red = 0xC0;
    static constexpr int Units = 2;
    // Design ranges of the gauges.
    static constexpr int PowerMin = -2, PowerMax = 2, NegMin = -128, NegMax = -3, PosMin = 3, PosMax = 127;

    explicit JoystickCore(JoystickEnv env);

    // --- the window's public members -------------------------------------------
    int flagsenden = 0;  // 1 = send Befehl to the first unit, 2 = to both
    int flagachsenwechsel = 0;
    int FlagAuslesen = 0;
    int i = 0;  // the pass under way: 0 = first unit, 1 = second
    QString antwort;
    QString Befehl;
    double Motfak = 0;
    double STF = 0;
    double vmax = 0;
    double vmin = 0;
    double amin = 0;

    int Initialisierung(const QString& Adresse);
    void auslesen(int cc_int);
    void Button_enable();
    void Button_Disable();

    // --- set-up, handlers, timer ---------------------------------------------------
    void Form_Load();
    // Stops both units' joystick mode, then hands the bus back.
    void Form_Unload();
    void cb_adressenauswahl_Click() { flagachsenwechsel = 1; }
    void cmd_STOPP_Click();
    void Fahrart_Click(int index);
    void Timer2_Timer();
    // Clears the address list and fills it with `entries` (axis search).
    void fillAddresses(const QStringList& entries);

    // --- controls ------------------------------------------------------------------
    kit::ListControl cb_adressenauswahl;
    kit::Control sh_an_aus, lb_Fehler, cmd_STOPP;
    std::array<kit::Control, Units> lb_POS, lb_Spannung, lb_Vneg, lb_Vpos, Fahrart;
    // The gauges' Value per unit.
    std::array<int, Units> tovih_power{}, tovih_neg{}, tovih_pos{};

    int Sendezaehler() const { return m_sendezaehler; }
    int Einheit_ok() const { return m_unitOk; }

private:
    void runPass();
    void abfragen();
    void requestState();
    void senden();
    // The list entry of the unit of pass `i`, or the empty text when the list has none.
    QString passAddress() const;
    QString swap(const QString& cmdText, double waitTime = 0, protocol::Rejection mode = protocol::Rejection::Show);

    JoystickEnv m_env;
    int Optionssperre = 0;
    int m_sendezaehler = 0;
    int m_unitOk = 0;
    bool m_inTimerTick = false;
};
