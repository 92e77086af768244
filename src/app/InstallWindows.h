#pragma once
// Every subsystem's windows installed into the main window, once, as the
// program starts them. The program and the demonstration test share it, so
// what the test opens is what the program wires.

#include "InstallParamWindows.h"

class ParamsContext;
class frm_Options;
class frm_download2;
class frm_main;
struct SequenceWindows;

struct ProgramWindows
{
    ParamWindows paramWindows;
    SequenceWindows* sequences = nullptr;
    frm_download2* script = nullptr;
    frm_Options* options = nullptr;
};

// The windows keep `params` by reference. Call before MDIForm_Load.
ProgramWindows installWindows(frm_main& frame, ParamsContext& params);
