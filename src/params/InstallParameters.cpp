#include "InstallParameters.h"

#include "ConfigFile.h"
#include "ParamsContext.h"
#include "frm_main.h"

void installParameters(frm_main& frame, ParamsContext& params)
{
    params.configFile().setComMotflag = [&frame] { frame.com_motflag = 1; };
    frame.loadConfiguration = [&params](const QString& mode) { params.configFile().laden(mode); };
    frame.saveConfiguration = [&params](const QString& mode) { params.configFile().speichern(mode); };
    frame.setParameterIndex = [&params](int index) { params.store().setIndex(index); };
}
