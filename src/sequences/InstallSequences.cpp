#include "InstallSequences.h"

#include "CoreContext.h"
#include "Format.h"
#include "MenuNames.h"
#include "ProgramFolder.h"
#include "ScreenFit.h"
#include "UiServices.h"
#include "frm_ablauf.h"
#include "frm_aufzeichnen.h"
#include "frm_main.h"
#include "frm_multiterm.h"
#include "frm_init.h"
#include "InitListCore.h"
#include "OptionFlags.h"
#include "ParamsContext.h"

#include <QAction>

#include <QPointer>
#include <QTimer>

namespace {
// What the windows of this folder write on the port they own, for the models
// of other windows.
auto forwardAnswered(const SequenceWindows& windows)
{
    return [&windows](const QString& address, const QString& command, const QString& reply) {
        if (windows.commandAnswered)
            windows.commandAnswered(address, command, reply);
    };
}

AblaufWindowEnv sequenceEnv(frm_main& frame, const SequenceWindows& windows)
{
    AblaufWindowEnv env;
    env.core.answered = forwardAnswered(windows);
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
    env.core.usesComma = [&frame] { return frame.komma_frage; };
    env.leaveScript = [&frame] {
        frame.setEnabled(true);
        frame.com_motflag = 1;
        frame.releaseMainLoop(Menu::Ablauf);
    };
    env.finishRun = [&frame] {
        if (frame.isUnloaded())
            return;
        frame.Enable_all();
        frame.setEnabled(true);
        frame.releaseMainLoop(Menu::Ablauf);
        // The whole program ends, through the main window's own shut-down.
        QTimer::singleShot(0, &frame, [&frame] { frame.close(); });
    };
    return env;
}

MultitermWindowEnv multitermEnv(frm_main& frame, const SequenceWindows& windows)
{
    MultitermWindowEnv env;
    env.core.answered = forwardAnswered(windows);
    CoreContext& core = frame.core();
    env.core.port = &core.serial();
    env.core.clock = &core.clock();
    env.core.ui = &core.ui();
    env.core.programFolder = [] { return programFolder(); };
    env.leaveScript = [&frame] {
        frame.setEnabled(true);
        frame.releaseMainLoop(Menu::MultiT);
    };
    env.finishRun = [&frame] {
        if (frame.isUnloaded())
            return;
        frame.setEnabled(true);
        frame.releaseMainLoop(Menu::MultiT);
        QTimer::singleShot(0, &frame, [&frame] { frame.close(); });
    };
    return env;
}
}  // namespace

SequenceWindows::~SequenceWindows()
{
    // The windows go with the record, before the list cores they show and
    // while nothing can reach them through a frame that is already gone.
    delete init;
    delete init2;
    delete seqtext;
    delete multiterm;
}

IInitWindow* SequenceWindows::initWindow()
{
    if (!init && m_frame && initCore) {
        init = new frm_init(*initCore);
    }
    return init;
}

IInitWindow* SequenceWindows::existingInitWindow() const
{
    return init;
}

frm_init2* SequenceWindows::initWindow2()
{
    if (!init2 && m_frame && init2Core) {
        init2 = new frm_init2(*init2Core);
    }
    return init2;
}

void SequenceWindows::bindInit2(int n)
{
    if (frm_init2* w = initWindow2())
        w->cmd_Init(n);
}

std::optional<int> SequenceWindows::init2BoundTo() const
{
    if (!init2 || !init2->isVisible() || !init2Core)
        return std::nullopt;
    return init2Core->index;
}

void SequenceWindows::unloadInit2()
{
    if (init2)
        init2->close();
    if (init2Core)
        init2Core->an_aus = 0;
}

namespace {
InitListEnv initEnv(frm_main& frame, CommandList& list)
{
    InitListEnv env;
    env.list = &list;
    env.ui = &frame.core().ui();
    env.programFolder = [] { return programFolder(); };
    env.sixteenBit = [&frame] { return frame.optionFlags().on(OptionFlags::NewMotorFactor); };
    env.controllerVisible = [&frame] {
        const QAction* ir = frame.menuEntry(Menu::IR);
        return ir && ir->isChecked();
    };
    env.comMotflag = [&frame] { frame.com_motflag = 1; };
    return env;
}
}  // namespace

SequenceWindows& installSequences(frm_main& frame, ParamsContext& params)
{
    auto* windows = new SequenceWindows;
    windows->m_frame = &frame;
    InitListEnv cc = initEnv(frame, params.init());
    cc.post = [&frame](const QString& command) {
        if (IControlCenter* c = frame.currentControlCenter()) {
            c->Befehl_senden = command;
            c->flagsenden = 1;
        }
    };
    cc.activateRow = [&frame](int n) { frame.CC_Aktivieren(n); };
    cc.initColor = [&frame](int n, quint32 colour) {
        if (IControlCenter* c = frame.CC.item(n)) {
            if (colour == InitListCore::Green)
                c->bindToolButton(IControlCenter::ToolButton::Init);
            else
                c->releaseToolButton(IControlCenter::ToolButton::Init);
        }
    };
    windows->initCore = std::make_unique<InitListCore>(cc, true);
    windows->initCore->caption = QStringLiteral("Init_CC");
    InitListEnv cct = initEnv(frame, params.init2());
    cct.post = [&frame](const QString& command) {
        if (IProbeWindow* p = frame.currentProbeWindow()) {
            p->Befehl = command;
            p->flagsenden = 1;
        }
    };
    cct.activateRow = [&frame](int n) { frame.CCT_Aktivieren(n); };
    cct.initColor = [&frame](int n, quint32 colour) {
        if (IProbeWindow* p = frame.CCT.item(n))
            p->setInitButtonColour(colour);
    };
    windows->init2Core = std::make_unique<InitListCore>(cct, false);
    windows->init2Core->caption = QStringLiteral("Init_CCT");

    // The loaded lists show in the boxes; which window each list serves, and
    // which window is current, stays as it was (that is the windows' own
    // activation, when the operator brings one up).
    const auto showWindow = [windows] {
        windows->initCore->Befehlslisteladen();
        windows->init2Core->Befehlslisteladen();
        if (windows->init)
            windows->init->render();
        if (windows->init2)
            windows->init2->render();
    };
    frame.reloadCommandLists = showWindow;
    // A shown list window owns the file dialog of its command set, so that
    // it is in front again when the dialog closes.
    const auto shownOrNull = [](QWidget* w) { return w && w->isVisible() ? w : nullptr; };
    frame.setMenuHandler(Menu::Befehlssatzladen, [windows, showWindow, shownOrNull] {
        const DialogOwner owner(shownOrNull(windows->init));
        windows->initCore->befehlssatzladen();
        showWindow();
    });
    frame.setMenuHandler(Menu::Befehlssatzspeichern, [windows, shownOrNull] {
        const DialogOwner owner(shownOrNull(windows->init));
        windows->initCore->befehlssatzspeichern();
    });
    frame.setMenuHandler(Menu::sekbefehlssatzladen, [windows, showWindow, shownOrNull] {
        const DialogOwner owner(shownOrNull(windows->init2));
        windows->init2Core->befehlssatzladen();
        showWindow();
    });
    frame.setMenuHandler(Menu::sekbefehlsatzspeichern, [windows, shownOrNull] {
        const DialogOwner owner(shownOrNull(windows->init2));
        windows->init2Core->befehlssatzspeichern();
    });
    // The record, and with it every window it made, lives as long as the frame.
    QObject::connect(&frame, &QObject::destroyed, [windows] { delete windows; });
    frame.setWindowOpener(Menu::Ablauf, [&frame, windows] {
        if (!windows->seqtext) {
            // A top-level window: disabling the main window must not disable it.
            windows->seqtext = new frm_ablauf(sequenceEnv(frame, *windows));
            windows->seqtext->setAttribute(Qt::WA_DeleteOnClose, false);
            kit::keepInFrontOf(windows->seqtext, &frame);
        }
        windows->seqtext->openForm();
    });
    // "Init-Regler": the list window, while it is shown, comes up again and
    // its activation reads the entry's check mark (slider part or not).
    frame.setWindowOpener(Menu::IR, [windows] {
        if (windows->init && windows->init->isVisible())
            windows->init->SetFocus();
    });
    frame.setWindowOpener(Menu::MultiT, [&frame, windows] {
        if (!windows->multiterm) {
            windows->multiterm = new frm_multiterm(multitermEnv(frame, *windows));
            kit::keepInFrontOf(windows->multiterm, &frame);
        }
        windows->multiterm->openForm();
    });
    return *windows;
}
