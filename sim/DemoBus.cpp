#include "DemoBus.h"

#include "SimAxis.h"
#include "SimBus.h"
#include "SimPathAxis.h"
#include "SimProbeBoard.h"
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
        installServoLoop(*bus.unit(address))->register_->loopRegister = SimDriveRegisters{}.loopRegister;
        installJoystickInput(*bus.unit(address))->voltage = 0x40;
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
    // One measuring board of each kind, so the probe windows show live values.
    using Kind = SimProbeBoard::Kind;
    SimProbeBoard& ak4 = installProbeBoard(bus.addUnit(QStringLiteral("21")), Kind::AK4);
    const double inputs[] = {12.5, -3.25, 250, 0.8};
    for (int c = 1; c <= 4; ++c) {
        ak4.setInput(c, inputs[c - 1]);
        ak4.setSensitivity(c, 1 + 0.01 * c);
        ak4.setOffsetError(c, 300 * c);
    }
    ak4.setNoise(20);
    installProbeBoard(bus.addUnit(QStringLiteral("22")), Kind::AK1).setInput(1, 42);
    SimProbeBoard& ik2 = installProbeBoard(bus.addUnit(QStringLiteral("11")), Kind::IK2);
    ik2.setCounter(1, 1234);
    ik2.setCounter(2, -560);
    SimProbeBoard& akik = installProbeBoard(bus.addUnit(QStringLiteral("31")), Kind::AKIK);
    akik.setInput(1, 5);
    akik.setInput(2, -7.5);
    akik.setCounter(3, 100);
    installProbeBoard(bus.addUnit(QStringLiteral("41")), Kind::ADA2).setInput(1, 1000);
    // The sixteen-channel board reports channel 1 only, as the calibration
    // window sets it, so its reply has the length of one value.
    SimProbeBoard& ak16 = installProbeBoard(bus.addUnit(QStringLiteral("51")), Kind::AK16);
    ak16.setChannelMask(QStringLiteral("1").leftJustified(SimProbeBoard::MaxChannels, QLatin1Char('0')));
    ak16.setInput(1, 3.5);
    ak16.setNoise(10);
}
