#pragma once
// The servo loop of a simulated axis controller: writing the four loop
// registers ("[1RS........]", on an older controller only "[1RP........]"),
// the record time base ("[1XT....]", tenths of a second), and the step
// response: "[1XR........]" moves the axis by the signed distance at its
// positioning speed and acceleration, the loop following the profile as a
// damped oscillator whose stiffness comes from the gain register and whose
// damping comes from the zero register, and samples the position 101 times
// over the time base. It answers "[1XR>]", the move is over at once, and
// "[0po]" answers its final echo "[1XR!]". "[1XL]" answers the record, six
// hexadecimal digits per position, separated by ",". "[0pa]" is acknowledged.

#include "SimParams.h"

#include <QList>

#include <memory>

class SimUnit;

struct SimServoLoop
{
    std::shared_ptr<SimDriveRegisters> register_;
    // An older controller does not know "[1RS".
    bool onlyRP = false;
    // Time base in tenths of a second.
    int timeBase = 10;
    // The positions of the last step response (empty before the first).
    QList<qint32> recording;
};

// Makes the axis at `unit` answer the loop commands; its registers are the
// ones "[1RL]" reads (installed here).
std::shared_ptr<SimServoLoop> installServoLoop(SimUnit& unit);
