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

class QAction;
class QString;

class ParamsContext
{
public:
    // `send` as for MotorFactorCalculator (default: the application's transport).
    ParamsContext(IUiServices& ui, OptionFlags& flags, MotorFactorCalculator::Sender send = {});

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

// Binds the file menu's configuration entries to the file:
//   mnuLaden        "Motordaten Laden"               laden("manuell")
//   mnuSpeichern    "Motordaten Speichern"           speichern("manuell")
//   mnu_SKladen     "Startkonfiguration laden"       laden("auto")
//   mnu_SKspeichern "Startkonfiguration speichern"   speichern("auto")
// After either load `showCommandLists` runs (the command-list windows show
// the loaded lists). Entries the lookup does not know are left out.
void bindConfigMenus(ConfigFile& file, const std::function<QAction*(const QString&)>& menuEntry,
                     std::function<void()> showCommandLists = {});
