#pragma once
// The EEPROM parameter window over DownloadCore: the rows are made in code
// inside the form's container rowPanel.
#include "DownloadCore.h"
#include "Form.h"

#include <QWidget>

#include <memory>

namespace Ui {
class frm_Download;
}

class frm_Download final : public QWidget
{
public:
    explicit frm_Download(ParamWindowEnv env, QWidget* parent = nullptr);
    ~frm_Download() override;

    DownloadCore& core() { return m_core; }
    // Runs a step of the program (activation, address lists) and shows the result.
    void run(const char* where, const std::function<void()>& fn);
    void render() { m_form.render(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    DownloadCore m_core;
    std::unique_ptr<Ui::frm_Download> m_ui;
    kit::Form m_form;
};
