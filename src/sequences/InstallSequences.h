#pragma once
// Wires the windows of the sequences folder into the main window: "Service →
// Ablauf" opens the sequence window and "Service → Multiterm" the terminal
// (the main window holds its loop and disables itself while one is open);
// the control centers' INIT button opens frm_init, a probe window's frm_init2, and
// "Service → Init-Regler" brings an open frm_init up again with or without
// its register slider.
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class IInitWindow;
class InitListCore;
class ParamsContext;
class frm_ablauf;
class frm_init;
class frm_init2;
class frm_main;
class frm_multiterm;

// The windows once they have been opened (for the demo and tests).
struct SequenceWindows
{
    frm_ablauf* seqtext = nullptr;
    frm_multiterm* multiterm = nullptr;
    // The two initialisation lists: their cores exist from the start (the
    // file menus load and save them), their windows from first use.
    std::unique_ptr<InitListCore> initCore, init2Core;
    frm_init* init = nullptr;
    frm_init2* init2 = nullptr;
    // For the control centers' INIT button: the window, created on first use,
    // and the window only when it exists.
    IInitWindow* initWindow();
    IInitWindow* existingInitWindow() const;
    // For the probe windows' INIT button.
    frm_init2* initWindow2();
    // Binds the probe windows' list window to probe window n and brings it up.
    void bindInit2(int n);
    // The probe window the open list window serves; nothing while it is closed.
    std::optional<int> init2BoundTo() const;
    // Closes the list window; it serves no probe window afterwards.
    void unloadInit2();
    // Every command the sequence window or the terminal wrote to a unit
    // (its address as selected), with its reply.
    std::function<void(const QString& address, const QString& command, const QString& reply)> commandAnswered;
    ~SequenceWindows();

private:
    friend SequenceWindows& installSequences(frm_main&, ParamsContext&);
    frm_main* m_frame = nullptr;
};

// Also connects the four command-set entries of the file menu and shows the
// lists again after a configuration file was loaded.
SequenceWindows& installSequences(frm_main& frame, ParamsContext& params);
