#include "DemoBus.h"

#include "SimAxis.h"
#include "SimBus.h"
#include "SimParams.h"

void populateDemoBus(SimBus& bus)
{
    // Two axes with limit switches and an index mark, so that moves, limit
    // runs, reference runs and the index search have something to find.
    bus.addUnit(QStringLiteral("01"));
    bus.addUnit(QStringLiteral("02"));
    for (const QString& address : {QStringLiteral("01"), QStringLiteral("02")}) {
        SimAxisModel& axis = SimAxis(bus, address).model();
        axis.setMinusSwitch(-60000);
        axis.setPlusSwitch(260000);
        axis.setIndexMarks({12345});
        // The drive registers the motor-factor calculation reads whenever
        // an axis is chosen or its drive mode changes.
        installDriveRegisters(*bus.unit(address));
    }
    // Four analog channels, so the probe window has something to show.
    bus.addUnit(QStringLiteral("21")).setChannels({0, 0, 0, 0});
    bus.addUnit(QStringLiteral("11"));
}
