#pragma once
// The guided calibration window: a top-level window over AK_AbgleichCore. It
// runs the core's measuring step on its own timer (200 ms, or the interval
// set with "Int.") and the core's step machines ("Burn all", the guided
// calibration) on a single-shot timer, so every control stays usable between
// two steps. It never gets the main window: leaving and closing go through
// the two hooks of its environment.
#include "AK_AbgleichCore.h"
#include "Form.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class frm_AK_Abgleich;
}

struct AK_AbgleichWindowEnv
{
    AK_AbgleichEnv core;
    // The exit button: the main window becomes usable and its loop runs again.
    std::function<void()> leave = [] {};
    // The close box: the program ends through the main window's shut-down.
    std::function<void()> endProgram = [] {};
};

class frm_AK_Abgleich final : public QWidget
{
public:
    explicit frm_AK_Abgleich(AK_AbgleichWindowEnv env, QWidget* parent = nullptr);
    ~frm_AK_Abgleich() override;

    AK_AbgleichCore& core() { return m_core; }
    // Shows the window, enables it and switches its measuring timer on.
    void showFromMenu();
    // Shows the core's state and follows its timers.
    void render();
    QTimer Timer1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void bind();
    void tick();
    void step();
    void cmd_exit_Click();

    AK_AbgleichWindowEnv m_env;
    AK_AbgleichCore m_core;
    std::unique_ptr<Ui::frm_AK_Abgleich> m_ui;
    Ui::frm_AK_Abgleich& ui;
    kit::Form m_form;
    QTimer m_stepTimer;
    bool m_busy = false;
    bool m_closed = false;
};
