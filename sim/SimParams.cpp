#include "SimParams.h"

#include "SimUnit.h"

std::shared_ptr<SimDriveRegisters> installDriveRegisters(SimUnit& unit)
{
    auto state = std::make_shared<SimDriveRegisters>();
    unit.setHandler(QStringLiteral("1sT"), [state](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        if (c.body() != "1sT")
            return std::nullopt;
        return c.accepted(QByteArray::number(state->vorteiler, 16).toUpper().rightJustified(4, '0'));
    });
    unit.setHandler(QStringLiteral("1RL"), [state](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        if (c.body() != "1RL")
            return std::nullopt;
        return c.accepted(state->regelkreis);
    });
    return state;
}
