#pragma once
// Installs the options dialog into the main window: the tool window
// "mnuOptionen" and the menu entries its flags show.

class frm_Options;
class frm_main;

// Creates the options dialog (owned by the frame) and binds the menus its
// flags show or hide; returns the dialog.
frm_Options* installOptions(frm_main& frame);
