#pragma once
// Wires the guided calibration window into the main window: "AK-Abgleich"
// opens it (one window for the whole program, made on first use) while the
// main window holds its loop and disables itself. The window writes to the
// serial port itself, so it opens only in serial mode with the port open;
// otherwise the port message is shown and the hold is released.
#include <memory>

class BoardMasks;
class frm_AK_Abgleich;
class frm_main;

// Returns where the window is kept once it exists (for the demo and tests).
// The mask writes the window makes go into `masks`, which the probe windows read.
frm_AK_Abgleich*& installCalibration(frm_main& frame, std::shared_ptr<BoardMasks> masks = {});
