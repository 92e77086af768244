#pragma once
// The joystick display window: shows JoystickCore's state, with its six
// gauges created through the gauge host from the window's design (without a
// registered gauge library they are inert placeholders), and runs the core's
// 50 ms timer while it is open.

#include "Form.h"
#include "GaugeHost.h"
#include "JoystickCore.h"
#include "ui_frm_Joystick_Abgleich.h"

#include <QTimer>
#include <QWidget>

class ParamsContext;
class frm_main;

class frm_Joystick_Abgleich final : public QWidget
{
public:
    static constexpr int TimerInterval = 50;

    frm_Joystick_Abgleich(JoystickEnv env, GaugeHost& gauges, QWidget* parent = nullptr);
    ~frm_Joystick_Abgleich() override;

    JoystickCore& core() { return m_core; }
    // Shows the window and starts its timer.
    void openForm();
    void render();
    // The gauges in design order: power, negative, positive of unit 0, then of unit 1.
    const QList<HostedGauge>& gauges() const { return m_gauges; }
    QTimer Timer2;

    Ui::frm_Joystick_Abgleich ui;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void bind();
    void tick();

    JoystickCore m_core;
    kit::Form m_form{this};
    QList<HostedGauge> m_gauges;
    QList<int> m_shown;
    bool m_unloaded = false;
};

// The gauges of the window's design for one unit, in the order power,
// negative side, positive side, named "tovih_power_<unit>" and so on.
QList<GaugeDesign> joystickGaugeDesign(int unit);

// Registers the window with the main window: the menu entry
// "Joystick_Abgleich" opens it (main loop held, other windows locked until it
// closes), and the axis search fills its address list.
void installJoystick(frm_main& main, ParamsContext& params);
