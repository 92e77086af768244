#include "DemoBus.h"

#include "SimAxis.h"
#include "SimBus.h"
#include "SimPathAxis.h"
#include "SimJoystick.h"
#include "SimLoopReadouts.h"
#include "SimServoLoop.h"
#include "SimParams.h"
#include "SimStage.h"
#include "SimReadout.h"

void populateDemoBus(SimBus& bus)
{
    // Two axes with limit switches and an index mark, so that moves, limit
    // runs, reference runs and the index search have something to find, a
    // servo loop for step responses and a joystick.
    bus.addUnit(QStringLiteral("01"));
    bus.addUnit(QStringLiteral("02"));
    for (const QString& address : {QStringLiteral("01"), QStringLiteral("02")}) {
        // They also run the path table's position tables.
        bus.unit(address)->setModel(std::make_unique<SimPathAxisModel>());
        SimAxisModel& axis = SimAxis(bus, address).model();
        axis.setMinusSwitch(-60000);
        axis.setPlusSwitch(260000);
        axis.setIndexMarks({12345});
        // The demo controllers answer with the factory loop registers.
        installServoLoop(*bus.unit(address))->register_->regelkreis = SimDriveRegisters{}.regelkreis;
        installJoystickInput(*bus.unit(address))->spannung = 0x40;
        const QByteArray name = QByteArray("Demo-Achse ").append(address.toLatin1()).leftJustified(20, ' ');
        axis.eeprom().setValue("0LS", name);
        axis.eeprom().setValue("0PS", name);
        // Short enough that the version reply arrives within the axis
        // search's 20 ms per exchange at 9600 baud.
        bus.unit(address)->setVersion(QStringLiteral("Mot V1"));
        addStageAnswers(bus, address);
        addLoopReadouts(bus, address);
        installReadoutRegisters(*bus.unit(address));
    }
    // Four analog channels, so the probe window has something to show.
    bus.addUnit(QStringLiteral("21")).setChannels({0, 0, 0, 0});
    bus.addUnit(QStringLiteral("11"));
}
