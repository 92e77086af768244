#include "InstallWindows.h"

#include "BoardMasks.h"
#include "Install.h"
#include "InstallCalibration.h"
#include "InstallParameters.h"
#include "InstallRecorder.h"
#include "InstallScript.h"
#include "InstallSequences.h"
#include "frm_Controlcenter.h"
#include "frm_AKIK.h"
#include "frm_Joystick_Abgleich.h"
#include "frm_controlparameter.h"
#include "frm_main.h"
#include "frm_tablett.h"

ProgramWindows installWindows(frm_main& frame, ParamsContext& params)
{
    ProgramWindows w;
    installParameters(frame, params);
    // The parameter and EEPROM windows exist hidden from the start.
    w.paramWindows = installParamWindows(frame, params);
    // The sequence window, the terminal and the initialisation lists; the
    // control centers' INIT button opens the list window.
    SequenceWindows& sequences = installSequences(frame, params);
    w.sequences = &sequences;
    const RecorderDriftHooks drift = installRecorder(frame, params);
    ControlCenterTools tools;
    tools.driftActive = drift.driftActive;
    tools.setDriftmerker = drift.setDriftmerker;
    tools.startDrift = drift.startDrift;
    tools.initWindow = [&sequences] { return sequences.initWindow(); };
    tools.existingInitWindow = [&sequences] { return sequences.existingInitWindow(); };
    installControlCenter(frame, params, tools);
    installControlLoop(frame, params);
    installJoystick(frame, params);
    // "Tastercenter": the probe windows; their INIT button binds frm_init2.
    ProbeTools probeTools;
    probeTools.bindInit = [&sequences](int n) { sequences.bindInit2(n); };
    probeTools.initBoundTo = [&sequences] { return sequences.init2BoundTo(); };
    probeTools.unloadInit = [&sequences] { sequences.unloadInit2(); };
    // The probe boards' channel masks, which the probe windows and the guided
    // calibration window both write.
    const auto masks = std::make_shared<BoardMasks>();
    probeTools.masks = masks;
    // The terminal and the sequence window write mask commands too.
    sequences.commandAnswered = [masks](const QString& address, const QString& command, const QString& reply) {
        masks->exchanged(address, command, reply);
    };
    installProbes(frame, probeTools);
    w.options = installOptions(frame);
    // The path table ("Tablett").
    installPathTable(frame, params);
    w.script = installScriptWindow(frame, params);
    // The guided calibration window ("AK-Abgleich").
    installCalibration(frame, masks);
    return w;
}
