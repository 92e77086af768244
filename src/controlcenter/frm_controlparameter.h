#pragma once
// The control-loop window: the loop registers of the axis of one control
// center, the store to EEPROM, the record time base and the step-response
// picture. It shows the state of ControlLoopCore and hands every operator
// action to the core's handler of the same name; the bus work runs in the
// main loop.

#include "ControlLoopCore.h"
#include "Form.h"
#include "ui_frm_controlparameter.h"

#include <QWidget>

class ParamsContext;
class frm_main;

class frm_controlparameter final : public QWidget
{
public:
    explicit frm_controlparameter(ControlLoopEnv env, QWidget* parent = nullptr);
    ~frm_controlparameter() override;

    ControlLoopCore& core() { return m_core; }
    void render();

    Ui::frm_controlparameter ui;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void bind();

    ControlLoopCore m_core;
    kit::Form m_form{this};
    bool m_unloaded = false;
};

// Registers the shared control-loop window with the main window: a control
// center's button "cmd_ControllP" opens it and binds it to that control center.
void installControlLoop(frm_main& main, ParamsContext& params);
