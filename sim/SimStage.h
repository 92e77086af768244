#pragma once
// What an axis controller answers to a stage that is driven like a joystick:
// "[1Cc" + two hexadecimal digits + "]" sets a signed speed step (-128..127,
// "FD" = -3) at which the axis then runs, and "[1kw]" reads the joystick
// fields back: the deflection of the running step (nine per step, at most
// 127) at characters 10-11 and 16-17, its sign field at 14-15 ("00" for a
// positive or no deflection, "FF" for a negative one). The position "[1PA]"
// follows the running speed.

#include <QString>

class SimBus;

// Counts per second per speed step.
inline constexpr double kStageCountsPerStep = 2000;

void addStageAnswers(SimBus& bus, const QString& address);
