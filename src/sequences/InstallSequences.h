#pragma once
// Wires the windows of the sequences folder into the main window: "Service →
// Ablauf" opens the sequence window (the main window holds its loop and
// disables itself while the window is open).
class frm_main;
class frm_ablauf;

// The sequence window once it has been opened (for the demo and tests).
struct SequenceWindows
{
    frm_ablauf* ablauf = nullptr;
};

SequenceWindows& installSequences(frm_main& frame);
