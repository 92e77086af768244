#pragma once
// The parameter window without widgets: the operator's view of the parameter
// store. An axis is chosen from the address list; its motor, gear and encoder
// data are typed into the boxes text_MFB(0..10), the switch and index flags
// ticked, the motor factor calculated or typed; the first control-loop
// register of the controller is set with a scroll bar; the motor ident read
// from the controller loads a start configuration; Copy and Paste carry one
// axis's motor data to another.
//
// The calculation's results reach the window through showValues(), which the
// calculation calls whoever started it.

#include "ControlState.h"
#include "Achsdatensatz.h"
#include "MotorFactor.h"
#include "ParamWindowEnv.h"

#include <QString>

#include <array>
#include <optional>

class BerechnungCore
{
public:
    static constexpr int BoxCount = 11;
    static constexpr quint32 Green = ParamWindowEnv::Green;
    static constexpr quint32 Red = ParamWindowEnv::Red;
    static inline const QString Caption = QStringLiteral("Motfaktor, Vmax, Vmin und amin Berechnung");

    explicit BerechnungCore(ParamWindowEnv env);

    // --- Controls -----------------------------------------------------------
    kit::ListControl cb_adressenauswahl;
    std::array<kit::Control, BoxCount> text_MFB;
    std::array<kit::Control, 2> ob_MotFak, cmd_KopEin;
    kit::Control chb_Massstab, chb_drehantrieb, cb_ESP, cb_ESM, cb_IP, cb_IM, text_Achsenbezeichnung, text_regelP,
        sh_an_aus, lb_aufloesung, lb_ST_Sec, lb_Scale, Label1_3, Label3, Label5, Label6, Label7, Label8, cmd_Berechnung,
        cmd_IM, cmd_exit;
    kit::RangeControl sb_regelkreisH{.value = 124, .min = 15, .max = 249, .smallChange = 1, .largeChange = 10};

    // --- Handlers -----------------------------------------------------------
    void Form_Activate();
    void cb_adressenauswahl_Click();
    void cb_ESP_Click();
    void cb_ESM_Click();
    void cb_IP_Click();
    void cb_IM_Click();
    void chb_drehantrieb_Click();
    void chb_Massstab_Click();
    void ob_MotFak_Click(int index);
    void text_MFB_LostFocus(int n);
    void cmd_Berechnung_Click();
    void sb_regelkreisH_Change();
    void cmd_IM_Click();
    void cmd_KopEin_Click(int index);
    void cmd_exit_Click();
    // What closing does to the window itself: Paste is disabled again.
    void closeView() { cmd_KopEin[1].enabled = false; }
    void Button_enable();
    void Button_Disable();
    // The decimal-comma rule of the typed numbers (for the form's key filter).
    std::function<bool()> usesComma() const { return m_env.usesComma; }

    // The display texts of a calculation.
    void showValues(const MotorFactorDisplay& d);

private:
    bool noUnit() const;
    // Selects the chosen unit again before an exchange: while the window
    // was hidden, or before the main loop was held, other windows may have
    // selected theirs.
    void pickUnit();
    void flagSave(int Achsdatensatz::*recordField, const kit::Control& box);
    void setTickBox(bool massstab, bool isRotary);
    void showBoxes();
    void boxStates();
    void motfaktor_berechnen();

    ParamWindowEnv m_env;
    // What Copy took: the stored values, not the rounded box texts.
    struct Copy
    {
        double Spannung, Motorkonstante, Gear, leadscrew, Interpolationsfaktor, Spannungskonstante, Inkremente, vmin,
            vmax, amin, Motfak;
        int Massstabsachse, Motfak_manuell, drehantrieb;
    };
    std::optional<Copy> Zwischenablage;
    // The loop register as last read or written (the bar goes back to it
    // when a write cannot be made).
    int m_controlLoop = 124;
    // True while the axis choice sets the check boxes.
    bool m_axisChoice = false;
};
