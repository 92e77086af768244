#pragma once
// The sequence window: the 87 sequence lines, the run controls, the editor,
// the manual panel and the 32 displays. It shows AblaufCore's state through
// the window kit, runs a sequence one step per event-loop turn and the panel
// tick on its 100 ms timer. It never gets the main window: leaving it and
// closing it go through the two hooks of its environment.
#include "AblaufCore.h"
#include "Form.h"

#include <QTimer>
#include <QWidget>

#include <memory>

class QMenuBar;
namespace Ui {
class frm_ablauf;
}

struct AblaufWindowEnv
{
    AblaufEnv core;
    // The exit button: the main window becomes usable and its loop runs again.
    std::function<void()> leaveScript = [] {};
    // The close box: the program ends through the main window's shut-down.
    std::function<void()> finishRun = [] {};
};

class frm_ablauf final : public QWidget
{
public:
    explicit frm_ablauf(AblaufWindowEnv env, QWidget* parent = nullptr);
    ~frm_ablauf() override;

    AblaufCore& core() { return m_core; }
    // Shows the window and starts its 100 ms timer.
    void openForm();
    void render() { m_form.render(); }
    QTimer Timer1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildRows();
    void bindControls();
    void CStart_Click();
    void timerStep();
    void startFocusing();
    void tick();
    void cmd_exit_Click();

    AblaufWindowEnv m_env;
    AblaufCore m_core;
    std::unique_ptr<Ui::frm_ablauf> m_ui;
    Ui::frm_ablauf& ui;
    kit::Form m_form;
    QMenuBar* m_menu = nullptr;
    QTimer m_runTimer;
    bool m_isBusy = false;
    bool m_ended = false;
};
