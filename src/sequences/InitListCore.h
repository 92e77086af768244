#pragma once
// An initialisation command list window without widgets: the editable list
// (30 commands for the control centers, 13 for the probe boards) shown in
// `text_Befehl` boxes, each sent by posting it into the mailbox of the bound
// window; the Befehlssatz (tst) file; and, on the control-center list, the
// start/stop box and the register slider with its prefix `tb_regler`.
#include "ControlState.h"

#include <QString>

#include <functional>
#include <vector>

class CommandList;
class IUiServices;

struct InitListEnv
{
    CommandList* list = nullptr;
    IUiServices* ui = nullptr;
    std::function<QString()> programFolder = [] { return QString(); };
    // Puts a command into the mailbox of the bound window's kind (the current
    // control center or probe window); does nothing when there is none.
    std::function<void(const QString& command)> post = [](const QString&) {};
    // Options flag 8: the register covers 16 bits instead of 8.
    std::function<bool()> sixteenBit = [] { return false; };
    // The main window's "Init-Regler" entry is checked: the slider part shows.
    std::function<bool()> controllerVisible = [] { return false; };
    // Makes the bound window the current one (CC_Aktivieren / CCT_Aktivieren).
    std::function<void(int index)> activateRow = [](int) {};
    // Colours the bound window's INIT button (green while bound, grey after).
    std::function<void(int index, quint32 colour)> initColor = [](int, quint32) {};
    std::function<void()> comMotflag = [] {};
};

class InitListCore
{
public:
    static constexpr quint32 Green = 0xC000;
    static constexpr quint32 LightGray = 0xE0E0E0;
    static inline const QString Filter = QStringLiteral("Datendateien(*.tst)|*.tst|Alle Dateien|*.*");

    // `withController`: the control-center list with its start box and slider.
    InitListCore(InitListEnv env, bool withController);

    int size() const { return int(text_Befehl.size()); }
    std::vector<kit::Control> text_Befehl;
    kit::Control cb_start, tb_regler, lb_wert, Label1, Label2;
    kit::RangeControl sli_wert{.value = 0, .min = -128, .max = 127, .smallChange = 1, .largeChange = 10};
    QString caption;
    int an_aus = 0;
    int index = 0;    // CCIndex or CCTIndex
    int widthPx = 0;  // window width in twips (frm_init: 5190 with the slider, else 2730)
    bool withController() const { return m_withController; }

    void Befehlslisteladen();
    void Befehlslisteschreiben();
    void text_Befehl_Change(int k);
    void cmd_senden_Click(int k);
    void cb_start_Click();
    // The operator moved the slider: posts the value.
    void sli_wert_Change();
    // The operator left the hex box: reads it and moves the slider (which posts).
    void lb_wert_LostFocus();
    // The program shows a value (the control center after "[1eS]"): nothing is
    // posted; a value outside the slider's range is refused, not clamped.
    bool setSli_wert(int value);
    void setLb_wert(const QString& text) { lb_wert.text = text; }
    void Form_Activate();
    // The width for the "Init-Regler" entry's check mark (Form_Activate takes it too).
    void takeWidth();
    void Form_Unload();
    // The window is bound to window `n` (its INIT button was clicked).
    void bindControls(int n);
    bool befehlssatzladen();
    bool befehlssatzspeichern();
    QByteArray fileText() const;

private:
    void setValueRange();
    InitListEnv m_env;
    bool m_withController;
    int FlagBereich = 0;
};
