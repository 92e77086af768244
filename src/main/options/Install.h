#pragma once
// Installs the parameter models and the options dialog into the main window:
// the frame's configuration hooks and parameter cursor, the options dialog
// as the tool window "mnuOptionen", and the menu entries its flags show.

class ParamsContext;
class frm_Options;
class frm_main;

// Loading and saving the configuration, the axis cursor, and the
// configuration's request to re-initialise every control center.
void installParameters(frm_main& frame, ParamsContext& params);

// Creates the options dialog (owned by the frame) and binds the menus its
// flags show or hide; returns the dialog.
frm_Options* installOptions(frm_main& frame);
