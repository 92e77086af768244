#pragma once
// The simulated-bus workbench with what control-center tests add: axes "01"
// and "02", the option flags, a registry and the parameter store. `env()`
// gives what a control center needs of it.

#include "AxisParameterStore.h"
#include "ControlCenterCore.h"
#include "OptionFlags.h"
#include "SimWorkbench.h"
#include "globale_Funktionen.h"

class AxisBench : public SimWorkbench
{
public:
    AxisBench() { registry.komma_frage = dezimalkomma(); }

    ControlCenterEnv env()
    {
        ControlCenterEnv e;
        e.bus = &core->transport();
        e.ui = dialogs;
        e.store = &store;
        e.options = &flags;
        e.registry = &registry;
        e.enableAll = [this] { ++enableAllCalls; };
        return e;
    }

    // Axis record `axisNo` with a motor factor and speed units.
    void axisNo(int axisNo, double motorFactorValue, double vmin = 0.01, double vmax = 50, double amin = 1,
                bool isRotary = false)
    {
        Achsdatensatz& r = store.axisRecordAt(axisNo);
        r.Motfak = motorFactorValue;
        r.vmin = vmin;
        r.vmax = vmax;
        r.amin = amin;
        store.setDrehantrieb(axisNo, isRotary ? 1 : 0);
    }

    QStringList trafficLines() const { return traffic(); }

    FakeClock*& clockSource = clock;
    RecordingUiServices*& uiServices = dialogs;
    OptionFlags flags;
    Fensterpostfach registry;
    AxisParameterStore store{flags};
    int enableAllCalls = 0;
};

// A control center opened on axis `index` of the list "00-AA", "01", "02"
// and initialised and read out, as the main loop does it.
inline void openForm(ControlCenterCore& cc, int index = 1)
{
    cc.appendAddress(QStringLiteral("00-AA"));
    cc.appendAddress(QStringLiteral("01"));
    cc.appendAddress(QStringLiteral("02"));
    cc.Form_Load();
    cc.setAddressesIndex(index);
    cc.Initialisierung();
    cc.flagachsenwechsel = 0;
    if (cc.FlagAuslesen == 1)
        cc.auslesen();
}
