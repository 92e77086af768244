#include "InstallRecorder.h"

#include "CoreContext.h"
#include "GaugeHost.h"
#include "Guarded.h"
#include "MenuNames.h"
#include "ParamsContext.h"
#include "frm_MSim.h"
#include "frm_eW.h"
#include "frm_main.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

#include <memory>

namespace {
StageSimEnv stageSimEnv(frm_main& frame, ParamsContext& params)
{
    StageSimEnv env;
    env.bus = &frame.core().transport();
    env.store = &params.store();
    env.usesComma = [&frame] { return frame.komma_frage; };
    env.comMotflag = [&frame] { frame.com_motflag = 1; };
    env.holdMainLoop = [&frame] { return frame.holdMainLoop(Menu::MSim); };
    return env;
}

RecorderEnv recorderEnv(frm_main& frame, ParamsContext& params)
{
    RecorderEnv env;
    CoreContext& core = frame.core();
    env.bus = &core.transport();
    env.store = &params.store();
    env.options = &frame.optionFlags();
    env.registry = &frame;
    env.ui = &core.ui();
    env.clock = &core.clock();
    env.usesComma = [&frame] { return frame.komma_frage; };
    env.holdMainLoop = [&frame] { return frame.holdMainLoop(Holder::Recorder); };
    return env;
}

// A single instance in the MDI area. Closing unloads it: the window goes,
// the frame forgets it, and the next opening creates and loads a new one.
QMdiSubWindow* intoMdi(frm_main& frame, QWidget* w)
{
    // The design's size is the window's size (its controls are placed, not laid out).
    w->setMinimumSize(w->size());
    QMdiSubWindow* sub = frame.mdiArea()->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose, true);
    return sub;
}

RecorderCore* recorderCore(frm_main& frame)
{
    return dynamic_cast<RecorderCore*>(frame.frm_eW);
}
}  // namespace

RecorderDriftHooks installRecorder(frm_main& frame, ParamsContext& params)
{
    frame.setStageSimulatorFactory([&frame, &params]() -> IStageSimulator* {
        auto* w = new frm_MSim(stageSimEnv(frame, params));
        intoMdi(frame, w);
        return &w->core();
    });
    auto gauges = std::make_shared<GaugeHost>(frame.core().ui());
    frame.setRecorderFactory([&frame, &params, gauges]() -> IRecorder* {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const int widthPx = int(0.9 * (screen ? screen->geometry().width() : 1280));
        auto* w = new frm_eW(recorderEnv(frame, params), *gauges, widthPx);
        intoMdi(frame, w);
        QObject::connect(frame.mdiArea(), &QMdiArea::subWindowActivated, w, [w](QMdiSubWindow* sub) {
            if (sub && sub->widget() == w)
                kit::guarded("eW Form_Activate", [w] {
                    w->core().Form_Activate();
                    w->render();
                });
        });
        return &w->core();
    });
    RecorderDriftHooks hooks;
    hooks.driftActive = [&frame] {
        RecorderCore* r = recorderCore(frame);
        return r && r->cb_drift.checked;
    };
    hooks.setDriftmerker = [&frame](int v) {
        if (RecorderCore* r = recorderCore(frame))
            r->driftmerker = v;
    };
    hooks.startDrift = [&frame](double pa) {
        if (RecorderCore* r = recorderCore(frame))
            r->startDrift(pa);
    };
    return hooks;
}
