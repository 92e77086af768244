#pragma once
// Wires the windows of the recorder folder into the main window: the menu
// entry "Mikroskop_Simulator" opens the stage simulator, the control
// centers' "1eW" button the servo recorder (both single MDI children,
// created on first use).

#include <functional>

class ParamsContext;
class frm_main;

// What the control centers use of the servo recorder's drift run (their
// ControlCenterTools take these).
struct RecorderDriftHooks
{
    std::function<bool()> driftActive;
    std::function<void(int)> setDriftmerker;
    std::function<void(double)> startDrift;
};

RecorderDriftHooks installRecorder(frm_main& frame, ParamsContext& params);
