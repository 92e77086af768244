#pragma once
// The program's services over the simulated bus, shared by the suites that
// drive windows and cores: a fake clock, a bus with the units a test names,
// recorded dialogs, a settings file in a temporary program folder, the USB
// bridge over the bus, and the core context over all of them. The serial
// port is the simulated one on COM1 at 9600 baud, open, unless the setup
// builds its own (a logging one, say). Header-only: a suite that includes it
// links kelvane_sim.

#include "BusTransport.h"
#include "Clock.h"
#include "CoreContext.h"
#include "SerialPort.h"
#include "Settings.h"
#include "SimAxis.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "TestSupport.h"
#include "UiServices.h"

#include <QStringList>

#include <functional>
#include <memory>

class SimWorkbench
{
public:
    struct Setup
    {
        double clockStep = 0.0001;  // the fake clock's advance per reading
        QStringList units{QStringLiteral("01"), QStringLiteral("02")};
        bool usbDevices = false;  // whether the simulated bridge lists devices
        std::function<std::unique_ptr<ISerialPort>(SimBus&)> serial;
    };

    SimWorkbench() : SimWorkbench(Setup()) {}
    explicit SimWorkbench(const Setup& setup)
    {
        auto fake = std::make_unique<FakeClock>(setup.clockStep);
        clock = fake.get();
        bus = std::make_unique<SimBus>(*clock);
        for (const QString& u : setup.units)
            bus->addUnit(u);
        auto ui = std::make_unique<RecordingUiServices>();
        dialogs = ui.get();
        std::unique_ptr<ISerialPort> serial;
        if (setup.serial) {
            serial = setup.serial(*bus);
        } else {
            auto sim = std::make_unique<SimSerialPort>(*bus);
            sim->setCommPort(1);
            sim->setSettings(QStringLiteral("9600"));
            sim->open();
            serial = std::move(sim);
        }
        auto usb = std::make_unique<SimUsbBridge>(*bus, setup.usbDevices);
        bridge = usb.get();
        core = std::make_unique<CoreContext>(std::make_unique<AppSettings>(home.file(QStringLiteral("settings.ini"))),
                                             std::move(ui), std::move(fake), std::move(serial), std::move(usb));
    }

    BusTransport& transport() { return core->transport(); }
    SimAxis axis(const QString& address = QStringLiteral("01")) { return SimAxis(*bus, address); }
    SimUnit& unit(const QString& address = QStringLiteral("01")) { return *bus->unit(address); }
    // Commands the host sent, in order, each with the selection in force.
    QStringList traffic() const
    {
        QStringList out;
        for (const auto& t : bus->traffic())
            out << t.first + QLatin1Char(' ') + t.second;
        return out;
    }

    TempHome home;
    FakeClock* clock = nullptr;
    std::unique_ptr<SimBus> bus;
    RecordingUiServices* dialogs = nullptr;
    SimUsbBridge* bridge = nullptr;
    std::unique_ptr<CoreContext> core;
};
