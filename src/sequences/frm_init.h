#pragma once
// The two initialisation command list windows over InitListCore: frm_init
// ("Init_CC", 30 commands, start box and register slider) serves a control
// center, frm_init2 ("Init_CCT", 13 commands) a probe window. The lists (and
// their cores) live on when a window is closed.
#include "ControlCenterCore.h"
#include "Form.h"
#include "InitListCore.h"

#include <QWidget>

#include <memory>

namespace Ui {
class frm_init;
class frm_init2;
}  // namespace Ui

class frm_init final : public QWidget, public IInitWindow
{
public:
    explicit frm_init(InitListCore& core, QWidget* parent = nullptr);
    ~frm_init() override;

    QWidget* form() const override { return const_cast<frm_init*>(this); }
    void Show() override;
    void SetFocus() override;
    void setCb_start(bool checked) override;
    void setLb_wert(const QString& text) override;
    void setSli_wert(int value) override;
    // The window is brought up: the binding, the list and the slider's range.
    void Form_Activate();
    void render();

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* event) override;

private:
    InitListCore& m_core;
    std::unique_ptr<Ui::frm_init> m_ui;
    kit::Form m_form;
    int m_width = -1;
};

class frm_init2 final : public QWidget, public TrackedWindow
{
public:
    explicit frm_init2(InitListCore& core, QWidget* parent = nullptr);
    ~frm_init2() override;

    QWidget* form() const override { return const_cast<frm_init2*>(this); }
    void SetFocus() override;
    // Binds the window to probe window n (the probe window's INIT button).
    void cmd_Init(int n);
    void Form_Activate();
    void render();

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* event) override;

private:
    InitListCore& m_core;
    std::unique_ptr<Ui::frm_init2> m_ui;
    kit::Form m_form;
};
