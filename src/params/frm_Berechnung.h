#pragma once
// The parameter window over BerechnungCore: the eleven boxes text_MFB(0..10)
// with their captions and unit labels are made in code inside boxPanel.
#include "BerechnungCore.h"
#include "Form.h"

#include <QWidget>

#include <memory>

namespace Ui {
class frm_Berechnung;
}

class frm_Berechnung final : public QWidget
{
public:
    explicit frm_Berechnung(ParamWindowEnv env, QWidget* parent = nullptr);
    ~frm_Berechnung() override;

    BerechnungCore& core() { return m_core; }
    void run(const char* where, const std::function<void()>& fn);
    void render() { m_form.render(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    BerechnungCore m_core;
    std::unique_ptr<Ui::frm_Berechnung> m_ui;
    kit::Form m_form;
};
