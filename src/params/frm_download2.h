#pragma once
// The command-script window: 78 script lines with their reply labels, the
// unit list, wait time, Single/Loop, the pass counter and the buttons. It
// shows ScriptCore's state through the window kit and runs a script one step
// per event-loop turn, so the window stays usable during pauses and polls.
// It never gets the main window: leaving goes through its environment.
#include "Form.h"
#include "ScriptCore.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class frm_download2;
}

class frm_download2 final : public QWidget
{
public:
    explicit frm_download2(ScriptEnv env, QWidget* parent = nullptr);
    ~frm_download2() override;

    ScriptCore& core() { return m_core; }
    void render() { m_form.render(); }
    // The closing steps (exit button or the menu's second click): a run ends
    // after the exchange under way.
    void closeView();
    // The address list filled by the axis search: the entries, none chosen.
    void fillAddresses(const QStringList& entries);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildRows();
    void bindControls();
    void cmd_download_Click();
    void timerStep();
    void weiter();

    ScriptCore m_core;
    std::unique_ptr<Ui::frm_download2> m_ui;
    kit::Form m_form;
    QTimer m_runTimer;
    bool m_isBusy = false;
    // A modal box of ours took the activation: its return is no new activation.
    bool m_dialogActive = false;
};
