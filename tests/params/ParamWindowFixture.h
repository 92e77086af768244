#pragma once
// The parameter and EEPROM window cores over the simulated demonstration bus
// (axes "01" and "02" with drive registers and a parameter memory).
#include "BusTransport.h"
#include "DemoBus.h"
#include "OptionFlags.h"
#include "ParamWindowEnv.h"
#include "ParamsContext.h"
#include "SimAxis.h"
#include "SimWorkbench.h"

#include <gtest/gtest.h>

class ParamWindowFixture : public ::testing::Test
{
protected:
    static SimWorkbench::Setup demo()
    {
        SimWorkbench::Setup s;
        s.units.clear();
        return s;
    }
    ParamWindowFixture() { populateDemoBus(*wb.bus); }

    ParamWindowEnv env()
    {
        ParamWindowEnv e;
        e.bus = &wb.transport();
        e.ui = &wb.core->ui();
        e.params = &params;
        e.usesComma = [this] { return usesComma; };
        e.controlCenterIndex = [this] { return ccIndex; };
        e.arrayAchsenAe = [this](const QString& text, int index) {
            axesAe << QStringLiteral("%1=%2").arg(index).arg(text);
        };
        e.closeView = [this] { ++closedCount; };
        return e;
    }
    SimEeprom& eeprom(const QString& address = QStringLiteral("01")) { return wb.axis(address).model().eeprom(); }
    // Commands sent since the last call.
    QStringList sent()
    {
        QStringList out;
        for (const auto& t : wb.bus->traffic())
            out << t.second;
        wb.bus->clearTraffic();
        return out;
    }

    SimWorkbench wb{demo()};
    OptionFlags flags;
    ParamsContext params{wb.core->ui(), flags, wb.core->transport()};
    bool usesComma = false;
    int ccIndex = -1;
    QStringList axesAe;
    int closedCount = 0;
};
