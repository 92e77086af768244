#pragma once
// What a simulated axis controller answers to a controller read-out beyond
// its standard parameter table and its servo loop: two more registers of its
// parameter memory, the loop-register dump ("[1Rl]", sixteen hexadecimal
// digits, written by "[1Rs…]") and the channel type ("[1ct]", two digits,
// written by "[1Ct..]"), and the position check "[7PA]", which answers the
// axis position as eight hexadecimal digits (00000000 at zero).

class SimUnit;

// Installs them on `unit`, which must hold an axis.
void installReadoutRegisters(SimUnit& unit);
