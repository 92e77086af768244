#pragma once
// The models of the axis-parameter subsystem, created once at start and alive
// until exit: the parameter store, the two initialisation command lists, the
// motor-factor calculation and the configuration file over them. The
// application context owns one; windows receive references to its parts.

#include "AxisParameterStore.h"
#include "CommandList.h"
#include "ConfigFile.h"
#include "MotorFactor.h"

#include <functional>

class BusTransport;
class QString;

class ParamsContext
{
public:
    // `send` as for MotorFactorCalculator.
    ParamsContext(IUiServices& ui, OptionFlags& flags, MotorFactorCalculator::Sender send);
    // The motor-factor calculation sends through `bus`.
    ParamsContext(IUiServices& ui, OptionFlags& flags, BusTransport& bus);

    AxisParameterStore& store() { return m_store; }
    CommandList& init() { return m_init; }    // 30 commands for the control centers
    CommandList& init2() { return m_init2; }  // 13 commands for the probe boards
    MotorFactorCalculator& calculator() { return m_calculator; }
    ConfigFile& configFile() { return m_config; }

    CalcResult motfaktor_berechnen() { return m_calculator.motfaktor_berechnen(); }

private:
    AxisParameterStore m_store;
    CommandList m_init;
    CommandList m_init2;
    MotorFactorCalculator m_calculator;
    ConfigFile m_config;
};
