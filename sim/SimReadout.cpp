#include "SimReadout.h"

#include "SimAxis.h"
#include "SimUnit.h"

void installReadoutRegisters(SimUnit& unit)
{
    SimAxisModel* axis = simAxisModel(unit);
    if (!axis)
        return;
    axis->eeprom().addRegister({.write = "1Rs", .width = 16, .text = false, .read = "1Rl"});
    axis->eeprom().addRegister({.write = "1Ct", .width = 2, .text = false, .read = "1ct"});
    axis->eeprom().setValue("1Ct", "05");
    unit.setHandler(QStringLiteral("7PA"), [](SimUnit& u, const SimCommand& c) -> std::optional<QByteArray> {
        if (c.body() != "7PA")
            return std::nullopt;
        if (SimAxisModel* a = simAxisModel(u))
            a->settle(u, c.arrival);
        return c.accepted(QByteArray::number(quint32(u.position()), 16).toUpper().rightJustified(8, '0'));
    });
}
