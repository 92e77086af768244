#include "SimJoystick.h"

#include "SimUnit.h"

#include <cstdlib>

namespace {
QByteArray byte(int value)
{
    return QByteArray::number(value & 0xFF, 16).toUpper().rightJustified(2, '0');
}
}  // namespace

std::shared_ptr<SimJoystickInput> installJoystickInput(SimUnit& unit)
{
    auto input = std::make_shared<SimJoystickInput>();
    unit.setHandler(QStringLiteral("1kw"), [input](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        if (c.body() != "1kw")
            return std::nullopt;
        const int magnitude = std::min(std::abs(input->deflection), 255);
        return c.accepted("0000" + byte(input->voltage) + "00" + byte(input->deflection < 0 ? 1 : 0) + byte(magnitude));
    });
    return input;
}
