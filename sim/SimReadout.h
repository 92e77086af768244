#pragma once
// What a simulated axis controller answers to a controller read-out beyond
// its parameter map and its servo loop (sim/SimServoLoop answers "[1RL]" and
// takes "[1RS…]"): the loop-register dump ("[1Rl]", written by "[1Rs…]"), the
// channel type ("[1ct]", written by "[1Ct..]"), and the position check
// "[7PA]", which answers the axis position as eight hexadecimal digits
// (00000000 at zero).

#include <QByteArray>

#include <memory>

class SimUnit;

struct SimReadoutRegisters
{
    // Sixteen hexadecimal digits.
    QByteArray registerDump = "7C11223344556677";
    // Two hexadecimal digits.
    QByteArray kanaltyp = "05";
};

// Installs the handlers on `unit` (an axis); a test may change the returned
// state at any time.
std::shared_ptr<SimReadoutRegisters> installReadoutRegisters(SimUnit& unit);
