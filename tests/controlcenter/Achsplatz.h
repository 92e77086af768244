#pragma once
// A workbench for control-center tests: the program's services over the
// simulated bus with a fake clock and recorded dialogs, axis "01" (a
// simulated motor axis) and "02", the option flags, a registry and the
// parameter store. `env()` gives what a control center needs of it.

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Clock.h"
#include "ControlCenterCore.h"
#include "CoreContext.h"
#include "OptionFlags.h"
#include "SerialPort.h"
#include "Settings.h"
#include "SimAxis.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "TestSupport.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <memory>

class Achsplatz
{
public:
    Achsplatz()
    {
        auto clock = std::make_unique<FakeClock>(0.0001);
        uhr = clock.get();
        bus = std::make_unique<SimBus>(*uhr);
        bus->addUnit(QStringLiteral("01"));
        bus->addUnit(QStringLiteral("02"));
        auto ui = std::make_unique<RecordingUiServices>();
        dialoge = ui.get();
        auto serial = std::make_unique<SimSerialPort>(*bus);
        serial->setCommPort(1);
        serial->setSettings(QStringLiteral("9600"));
        serial->open();
        core = std::make_unique<CoreContext>(std::make_unique<AppSettings>(home.file(QStringLiteral("s.ini"))),
                                             std::move(ui), std::move(clock), std::move(serial),
                                             std::make_unique<SimUsbBridge>(*bus, false));
        setCurrentTransport(&core->transport());
        registry.komma_frage = dezimalkomma();
    }
    ~Achsplatz() { setCurrentTransport(nullptr); }

    ControlCenterEnv env()
    {
        ControlCenterEnv e;
        e.bus = &core->transport();
        e.ui = dialoge;
        e.store = &store;
        e.options = &flags;
        e.registry = &registry;
        e.enableAll = [this] { ++enableAllAufrufe; };
        return e;
    }

    // Axis record `achse` with a motor factor and speed units.
    void achse(int achse, double motfak, double vmin = 0.01, double vmax = 50, double amin = 1, bool dreh = false)
    {
        Achsdatensatz& r = store.datensatz(achse);
        r.Motfak = motfak;
        r.vmin = vmin;
        r.vmax = vmax;
        r.amin = amin;
        store.setDrehantrieb(achse, dreh ? 1 : 0);
    }

    SimAxis axis(const QString& address = QStringLiteral("01")) { return SimAxis(*bus, address); }
    SimUnit& unit(const QString& address = QStringLiteral("01")) { return *bus->unit(address); }
    BusTransport& transport() { return core->transport(); }
    // Commands the host sent, in order, with the selection in force.
    QStringList verkehr() const
    {
        QStringList out;
        for (const auto& t : bus->traffic())
            out << t.first + QLatin1Char(' ') + t.second;
        return out;
    }

    TempHome home;
    FakeClock* uhr = nullptr;
    std::unique_ptr<SimBus> bus;
    RecordingUiServices* dialoge = nullptr;
    std::unique_ptr<CoreContext> core;
    OptionFlags flags;
    Fensterpostfach registry;
    AxisParameterStore store{flags};
    int enableAllAufrufe = 0;
};

// A control center opened on axis `index` of the list "00-AA", "01", "02"
// and initialised and read out, as the main loop does it.
inline void oeffnen(ControlCenterCore& cc, int index = 1)
{
    cc.adresseAnfuegen(QStringLiteral("00-AA"));
    cc.adresseAnfuegen(QStringLiteral("01"));
    cc.adresseAnfuegen(QStringLiteral("02"));
    cc.Form_Load();
    cc.setAdressenIndex(index);
    cc.Initialisierung();
    cc.flagachsenwechsel = 0;
    if (cc.FlagAuslesen == 1)
        cc.auslesen();
}
