#pragma once
// The path table window ("Tablett"): the drawing box sized to the screen and
// the side panel. It shows TablettCore's state through the window kit, hands
// the drawing box's mouse and the key releases of the drawing box and of
// `tb_delta` (and of no other control) to the core, moves the marker labels,
// and runs a drive one step per event-loop turn.

#include "Form.h"
#include "TablettCore.h"
#include "ui_frm_tablett.h"

#include <QTimer>
#include <QWidget>

#include <memory>

class QLabel;
class frm_main;
class ParamsContext;

class frm_tablett final : public QWidget
{
public:
    explicit frm_tablett(TablettEnv env, QWidget* parent = nullptr);
    ~frm_tablett() override;

    TablettCore& core() { return *m_core; }
    // Opening from the menu: sizes the drawing box to the screen (its width
    // less the 200-pixel panel), loads the window when it is not, shows it.
    void openForm();
    void render();
    Ui::frm_tablett& form() { return ui; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildRows();
    void bindControls();
    void arrange();
    void showWindow();
    void handle(const char* where, const std::function<void()>& fn);
    void timerStep();

    Ui::frm_tablett ui;
    std::unique_ptr<TablettCore> m_core;
    kit::Form m_form;
    std::array<QLabel*, TablettCore::Marker> m_marker{};
    int m_drag = -1;
    int m_shownText = -1;
    QTimer m_runTimer;
    bool m_isBusy = false;
};

// Registers the window with the main window: "Tablett" opens it (the main
// window holds its loop until the window is hidden or closed).
struct PathTableWindows
{
    frm_tablett* tablet = nullptr;
};
PathTableWindows& installPathTable(frm_main& frame, ParamsContext& params);
