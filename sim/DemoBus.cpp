#include "DemoBus.h"

#include "SimBus.h"

void populateDemoBus(SimBus& bus)
{
    bus.addUnit(QStringLiteral("01"));
    bus.addUnit(QStringLiteral("02"));
    // Four analog channels, so the probe window has something to show.
    bus.addUnit(QStringLiteral("21")).setChannels({0, 0, 0, 0});
    bus.addUnit(QStringLiteral("11"));
}
