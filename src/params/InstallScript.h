#pragma once
// Wires the command-script window into the main window: "Service → Download"
// shows and hides it as a tool window (the main loop is held while it is
// shown, and closing it asks every control center to initialise again), and
// the axis search fills its address list.

class ParamsContext;
class frm_download2;
class frm_main;

frm_download2* installScriptWindow(frm_main& frame, ParamsContext& params);
