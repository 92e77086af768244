#include "InstallScript.h"

#include "CoreContext.h"
#include "MenuNames.h"
#include "ParamsContext.h"
#include "ProgramFolder.h"
#include "frm_download2.h"
#include "frm_main.h"

frm_download2* installScriptWindow(frm_main& frame, ParamsContext& params)
{
    ScriptEnv env;
    CoreContext& core = frame.core();
    env.bus = &core.transport();
    env.ui = &core.ui();
    env.clock = &core.clock();
    env.store = &params.store();
    env.programFolder = [] { return programFolder(); };
    env.comMotflag = [&frame] { frame.com_motflag = 1; };
    env.controlCenterIndex = [&frame]() -> std::optional<int> {
        if (frame.CC_I == 0)
            return std::nullopt;
        if (const IControlCenter* c = frame.currentControlCenter())
            return c->addressesIndex();
        return std::nullopt;
    };
    env.leaveScript = [&frame] {
        if (!frame.isUnloaded())
            frame.toolWindowExit(Menu::Download2);
    };
    // One window for the program's life; the menu entry shows and hides it.
    auto* window = new frm_download2(env, &frame);
    frame.setToolWindow(Menu::Download2, window,
                        {[window] {
                             window->setEnabled(true);
                             window->activateWindow();
                         },
                         [window] {
                             window->closeView();
                             window->setEnabled(false);
                         }});
    frame.setAddressListTarget(QStringLiteral("frm_download2"),
                               [window](const QStringList& entries) { window->fillAddresses(entries); });
    return window;
}
