#pragma once
// The servo-loop read-outs of an axis controller, from a small loop model of
// the simulated axis: the velocity is taken from the position change since
// the previous read-out, the following error grows with it, and the command
// output follows both.
//   "[1TW]"  actual velocity, counts per sample, 4 digits, 16-bit signed
//   "[1K8]"  following error, 8-bit signed in 4 digits ("00FF" = -1)
//   "[1PC]"  feed-forward, 1/256 count per sample, 4 digits, 16-bit signed
//   "[1eW]"  command output, 12-bit signed in 3 digits (the first two are the
//            older controller's 8-bit value)
//   "[1wP]"  gain setting, 2 digits
//   "[1kJ]"  joystick state: character 15 is "1" while the axis stands, "0"
//            while it moves

#include <QString>

class SimBus;

void addLoopReadouts(SimBus& bus, const QString& address);
