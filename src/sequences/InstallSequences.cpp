#include "InstallSequences.h"

#include "CoreContext.h"
#include "Format.h"
#include "MenuNames.h"
#include "ProgramFolder.h"
#include "frm_ablauf.h"
#include "frm_aufzeichnen.h"
#include "frm_main.h"
#include "frm_multiterm.h"

#include <QPointer>
#include <QTimer>

namespace {
AblaufWindowEnv ablaufEnv(frm_main& frame)
{
    AblaufWindowEnv env;
    CoreContext& core = frame.core();
    env.core.port = &core.serial();
    env.core.clock = &core.clock();
    env.core.ui = &core.ui();
    env.core.programFolder = [] { return programFolder(); };
    env.core.schreibe = [&frame](const QString& reply, const QString& line) {
        if (frm_aufzeichnen* w = frame.recordingWindow())
            w->schreibe(reply, line);
    };
    env.core.showRecordingWindow = [&frame] {
        if (frm_aufzeichnen* w = frame.recordingWindow()) {
            w->show();
            w->raise();
        }
    };
    env.core.komma = [&frame] { return frame.komma_frage; };
    env.verlassen = [&frame] {
        frame.setEnabled(true);
        frame.com_motflag = 1;
        frame.resumeTimer1(Menu::Ablauf);
    };
    env.beenden = [&frame] {
        if (frame.isUnloaded())
            return;
        frame.Enable_all();
        frame.setEnabled(true);
        frame.resumeTimer1(Menu::Ablauf);
        // The whole program ends, through the main window's own shut-down.
        QTimer::singleShot(0, &frame, [&frame] { frame.close(); });
    };
    return env;
}

MultitermWindowEnv multitermEnv(frm_main& frame)
{
    MultitermWindowEnv env;
    CoreContext& core = frame.core();
    env.core.port = &core.serial();
    env.core.clock = &core.clock();
    env.core.ui = &core.ui();
    env.core.programFolder = [] { return programFolder(); };
    env.verlassen = [&frame] {
        frame.setEnabled(true);
        frame.resumeTimer1(Menu::MultiT);
    };
    env.beenden = [&frame] {
        if (frame.isUnloaded())
            return;
        frame.setEnabled(true);
        frame.resumeTimer1(Menu::MultiT);
        QTimer::singleShot(0, &frame, [&frame] { frame.close(); });
    };
    return env;
}
} // namespace

SequenceWindows& installSequences(frm_main& frame)
{
    auto* windows = new SequenceWindows;
    // The record lives as long as the frame.
    QObject::connect(&frame, &QObject::destroyed, [windows] { delete windows; });
    frame.setWindowOpener(Menu::Ablauf, [&frame, windows] {
        if (!windows->ablauf) {
            // A top-level window: disabling the main window must not disable it.
            windows->ablauf = new frm_ablauf(ablaufEnv(frame));
            windows->ablauf->setAttribute(Qt::WA_DeleteOnClose, false);
            QObject::connect(&frame, &QObject::destroyed, windows->ablauf, &QObject::deleteLater);
        }
        windows->ablauf->oeffnen();
    });
    frame.setWindowOpener(Menu::MultiT, [&frame, windows] {
        if (!windows->multiterm) {
            windows->multiterm = new frm_multiterm(multitermEnv(frame));
            QObject::connect(&frame, &QObject::destroyed, windows->multiterm, &QObject::deleteLater);
        }
        windows->multiterm->oeffnen();
    });
    return *windows;
}
