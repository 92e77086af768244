#pragma once
// What the option flags do outside the options dialog: flags 1, 2, 3, 4, 5
// and 7 show or hide a service entry of the main menu, flag 0 frees or closes
// the servo recorder. The effects follow the flag model, so they happen the
// same way whether the operator ticks a box or a configuration file sets the
// flags. A flag counts as on only at 1 (2, greyed, counts as off).

#include <QString>

#include <functional>

class OptionFlags;
class QAction;

struct OptionEffects
{
    // Flag 0 switched on: every control center's `FlagEW` = 0.
    std::function<void()> releaseRecorder;
    // Flag 0 switched off: the servo recorder window closes.
    std::function<void()> closeRecorder;
};

// The menu entry (control name) a flag shows, or the empty text.
QString optionMenuName(int flag);

// Applies the current flags to the menu entries at once, then follows every
// change. Entries the lookup does not know are skipped. The binding lives as
// long as `flags`.
void bindOptionMenus(OptionFlags& flags, std::function<QAction*(const QString&)> menuEntry, OptionEffects effects = {});
