#pragma once
// The drive registers of a simulated axis controller that the motor-factor
// calculation reads: the sample-time prescaler ("[1sT]", four hexadecimal
// digits) and the four loop registers ("[1RL]", two digits each, the first
// one sets the sample time). A controller fresh from the factory answers
// prescaler 007F and registers 7C 11 22 33.

#include <QByteArray>
#include <QtGlobal>

#include <memory>

class SimUnit;

struct SimDriveRegisters
{
    quint16 prescaler = 0x7F;
    // Eight hexadecimal digits: the four loop registers.
    QByteArray loopRegister = "7C112233";
};

// Makes `unit` answer "[1sT]" and "[1RL]" from the returned state and take
// "[1RS…]" and "[1RP…]" into it; a test may change the state at any time.
std::shared_ptr<SimDriveRegisters> installDriveRegisters(SimUnit& unit);
