#include "DemoBus.h"

#include "SimAxis.h"
#include "SimBus.h"
#include "SimJoystick.h"
#include "SimServoLoop.h"
#include "SimParams.h"

void populateDemoBus(SimBus& bus)
{
    // Two axes with limit switches and an index mark, so that moves, limit
    // runs, reference runs and the index search have something to find, a
    // servo loop for step responses and a joystick.
    bus.addUnit(QStringLiteral("01"));
    bus.addUnit(QStringLiteral("02"));
    for (const QString& address : {QStringLiteral("01"), QStringLiteral("02")}) {
        SimAxisModel& axis = SimAxis(bus, address).model();
        axis.setMinusSwitch(-60000);
        axis.setPlusSwitch(260000);
        axis.setIndexMarks({12345});
        installServoLoop(*bus.unit(address));
        installJoystickInput(*bus.unit(address))->spannung = 0x40;
        const QByteArray name = QByteArray("Demo-Achse ").append(address.toLatin1()).leftJustified(20, ' ');
        axis.eeprom().setValue("0LS", name);
        axis.eeprom().setValue("0PS", name);
    }
    // Four analog channels, so the probe window has something to show.
    bus.addUnit(QStringLiteral("21")).setChannels({0, 0, 0, 0});
    bus.addUnit(QStringLiteral("11"));
}
