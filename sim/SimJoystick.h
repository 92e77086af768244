#pragma once
// The joystick input of a simulated axis controller, answered to "[1kw]" as
// six two-digit hexadecimal fields: the joystick voltage byte at characters
// 10-11, the sign of the deflection at 14-15 ("00" positive, "01" negative)
// and its amount at 16-17. The joystick mode itself ("[1Cj]", "[1CJ]",
// "[1CS]") is kept by the axis model.

#include <QtGlobal>

#include <memory>

class SimUnit;

struct SimJoystickInput
{
    quint8 voltage = 0x00;
    // -255 .. 255
    int deflection = 0;
};

std::shared_ptr<SimJoystickInput> installJoystickInput(SimUnit& unit);
