#pragma once
// Wires the windows of the sequences folder into the main window: "Service →
// Ablauf" opens the sequence window and "Service → Multiterm" the terminal
// (the main window holds its loop and disables itself while one is open).
class frm_main;
class frm_ablauf;
class frm_multiterm;

// The windows once they have been opened (for the demo and tests).
struct SequenceWindows
{
    frm_ablauf* ablauf = nullptr;
    frm_multiterm* multiterm = nullptr;
};

SequenceWindows& installSequences(frm_main& frame);
