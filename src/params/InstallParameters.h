#pragma once
// Connects the parameter models to the main window: loading and saving the
// configuration from the file menu, the axis cursor, and the configuration's
// request to re-initialise every control center.

class ParamsContext;
class frm_main;

void installParameters(frm_main& frame, ParamsContext& params);
