#pragma once
// The axis control center window: the controls of one axis (address list,
// lamp, position, result line, limit switches and software limits, speed and
// acceleration, drive modes and types, distance, move buttons, continuous-run
// slider, travel picture, queries and tool-window buttons). It shows the state
// of ControlCenterCore and hands every operator action to the core's handler
// of the same name; it does no bus work of its own.

#include "ControlCenterCore.h"
#include "Form.h"
#include "ui_frm_Controlcenter.h"

#include <QWidget>

class ParamsContext;
class frm_main;

class frm_Controlcenter final : public QWidget
{
public:
    explicit frm_Controlcenter(ControlCenterEnv env, QWidget* parent = nullptr);
    ~frm_Controlcenter() override;

    // The window's core: what the main loop registers and drives.
    ControlCenterCore& core() { return m_core; }
    const ControlCenterCore& core() const { return m_core; }
    // Shows the current state in the controls.
    void render();

    Ui::frm_Controlcenter ui;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void bind();
    // What the form does not show by itself: the caption, the height of the
    // result view and the travel picture.
    void showSpecial();

    ControlCenterCore m_core;
    kit::Form m_form{this};
    bool m_unloaded = false;
    int m_shownSize = -1;
    int m_shownCarriage = -1;
    quint32 m_shownCarriageColour = 0;
    std::array<int, 2> m_shownMarks{-2, -2};
};

// Builds the program's surroundings of a control center from the main window
// and the parameter models. `initWindow` leads to the initialisation command
// list window once it exists; `existingInitWindow` returns it only when it
// does, without creating it.
struct ControlCenterTools
{
    std::function<IInitWindow*()> initWindow;
    std::function<IInitWindow*()> existingInitWindow;
    std::function<bool()> driftActive;
    std::function<void(int)> setDriftmerker;
    std::function<void(double)> startDrift;
};
ControlCenterEnv controlCenterEnv(frm_main& main, ParamsContext& params, const ControlCenterTools& tools = {});

// Registers the control center with the main window: the menu entry
// "Controlcenter" then opens a new frm_Controlcenter.
void installControlCenter(frm_main& main, ParamsContext& params, ControlCenterTools tools = {});
