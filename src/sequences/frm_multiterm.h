#pragma once
// The multi-unit terminal window ("Multiterm"): 16 rows made in code from a
// table, the selectors, send-all with "Dauer" mode on its 20 ms timer, and the
// test files. It shows MultitermCore's state through the window kit.
#include "Form.h"
#include "MultitermCore.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class frm_multiterm;
}

struct MultitermWindowEnv
{
    MultitermEnv core;
    // The exit button: the main window becomes usable and its loop runs again.
    std::function<void()> leaveScript = [] {};
    // The close box: the program ends through the main window's shut-down.
    std::function<void()> finishRun = [] {};
};

class frm_multiterm final : public QWidget
{
public:
    explicit frm_multiterm(MultitermWindowEnv env, QWidget* parent = nullptr);
    ~frm_multiterm() override;

    MultitermCore& core() { return m_core; }
    void openForm();
    void render() { m_form.render(); }
    QTimer Timer1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void timerFollow();

    MultitermWindowEnv m_env;
    MultitermCore m_core;
    std::unique_ptr<Ui::frm_multiterm> m_ui;
    kit::Form m_form;
    bool m_ended = false;
};
