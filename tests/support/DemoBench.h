#pragma once
// The program's services over the demonstration bus, paced like the real
// line: a fake clock, the demonstration units, recorded dialogs, a settings
// file in a temporary program folder, the simulated serial port open on COM1
// and the core context over them. Suites that drive whole windows as the
// demonstration shows them derive from it. Header-only: link kelvane_sim.

#include "Clock.h"
#include "CoreContext.h"
#include "DemoBus.h"
#include "Settings.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "TestSupport.h"
#include "UiServices.h"

#include <memory>

class DemoBench
{
public:
    DemoBench()
    {
        auto clock = std::make_unique<FakeClock>(0.0001);
        clockSource = clock.get();
        bus = std::make_unique<SimBus>(*clockSource);
        bus->setPacing(true);
        populateDemoBus(*bus);
        auto ui = std::make_unique<RecordingUiServices>();
        uiServices = ui.get();
        auto serial = std::make_unique<SimSerialPort>(*bus);
        serial->open();
        core = std::make_unique<CoreContext>(std::make_unique<AppSettings>(home.file(QStringLiteral("s.ini"))),
                                             std::move(ui), std::move(clock), std::move(serial),
                                             std::make_unique<SimUsbBridge>(*bus, false));
    }

    TempHome home;
    FakeClock* clockSource = nullptr;
    std::unique_ptr<SimBus> bus;
    RecordingUiServices* uiServices = nullptr;
    std::unique_ptr<CoreContext> core;
};
