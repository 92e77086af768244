#pragma once
// What an axis controller does when a stage is driven like a joystick:
// "[1Cc" + two hexadecimal digits + "]" sets a signed speed step (-128..127,
// "FD" = -3) at which the axis then runs, and its position "[1PA]" follows
// that speed. The joystick read-out "[1kw]" is the joystick input's
// (SimJoystick).

#include <QString>

class SimBus;

// Counts per second per speed step.
inline constexpr double kStageCountsPerStep = 2000;

void addStageAnswers(SimBus& bus, const QString& address);
