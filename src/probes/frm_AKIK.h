#pragma once
// The probe-board window: board type and address, the answer lamp, the eight
// channel frames, sample time, interpolation, analog outputs, calibration,
// dynamic measurement and system configuration. It shows the state of
// ProbeWindowCore and hands every operator action to the core's handler of
// the same name; it does no bus work of its own.

#include "Form.h"
#include "ProbeWindowCore.h"
#include "ui_frm_AKIK.h"

#include <QWidget>

#include <optional>

class frm_main;

class frm_AKIK final : public QWidget
{
public:
    explicit frm_AKIK(ProbeWindowEnv env, QWidget* parent = nullptr);
    ~frm_AKIK() override;

    ProbeWindowCore& core() { return m_core; }
    const ProbeWindowCore& core() const { return m_core; }
    // Shows the current state in the controls.
    void render();

    Ui::frm_AKIK ui;

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void bind();
    // What the form does not show by itself: caption, width and tool tips.
    void showSpecial();
    void setWidth();
    static constexpr int Height = 502;  // pixels

    ProbeWindowCore m_core;
    kit::Form m_form{this};
    bool m_unloaded = false;
    int m_shownWidth = -1;
};

// The initialisation list window of the probe windows, as the sequences
// subsystem offers it: bind it to probe window n, the number it is bound to
// (nothing while closed or unbound), close it.
struct ProbeTools
{
    std::function<void(int n)> bindInit;
    std::function<std::optional<int>()> initBoundTo;
    std::function<void()> unloadInit;
    // The boards' channel masks, shared with the guided calibration window.
    std::shared_ptr<BoardMasks> masks;
};

// Registers the probe window with the main window: "Tastercenter" opens a
// new frm_AKIK each time.
void installProbes(frm_main& main, ProbeTools tools = {});
