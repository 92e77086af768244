#include "InstallParamWindows.h"

#include "CoreContext.h"
#include "MenuNames.h"
#include "ParamsContext.h"
#include "frm_Berechnung.h"
#include "frm_Download.h"
#include "frm_main.h"

namespace {
ParamWindowEnv windowEnv(frm_main& frame, ParamsContext& params, const QString& menu)
{
    ParamWindowEnv env;
    env.bus = &frame.core().transport();
    env.ui = &frame.core().ui();
    env.params = &params;
    env.usesComma = [&frame] { return frame.komma_frage; };
    env.controlCenterIndex = [&frame] {
        const IControlCenter* c = frame.currentControlCenter();
        return c ? c->addressesIndex() : -1;
    };
    env.arrayAchsenAe = [&frame](const QString& text, int index) { frame.arrayAchsenAe(text, index); };
    env.closeView = [&frame, menu] { frame.toolWindowExit(menu); };
    return env;
}

template <class W>
void addressList(frm_main& frame, const QString& name, W* window)
{
    frame.setAddressListTarget(name, [window](const QStringList& entries) {
        window->core().cb_adressenauswahl.clear();
        window->core().cb_adressenauswahl.items = entries;
        window->render();
    });
}
}  // namespace

ParamWindows installParamWindows(frm_main& frame, ParamsContext& params)
{
    ParamWindows w;
    w.calculation = new frm_Berechnung(windowEnv(frame, params, Menu::MGED), &frame);
    w.calculation->setWindowFlag(Qt::Tool);
    w.download = new frm_Download(windowEnv(frame, params, Menu::Download), &frame);
    w.download->setWindowFlag(Qt::Tool);

    frm_Berechnung* b = w.calculation;
    frm_Download* d = w.download;
    frame.setToolWindow(Menu::MGED, b,
                        {[b] { b->run("frm_Berechnung Form_Activate", [b] { b->core().Form_Activate(); }); },
                         [b] { b->run("frm_Berechnung close", [b] { b->core().closeView(); }); }});
    frame.setToolWindow(Menu::Download, d,
                        {[d] { d->run("frm_Download Form_Activate", [d] { d->core().Form_Activate(); }); },
                         [d] { d->run("frm_Download close", [d] { d->core().closeView(); }); }});
    addressList(frame, QStringLiteral("frm_Berechnung"), b);
    addressList(frame, QStringLiteral("frm_Download"), d);
    params.calculator().showValues = [b](const MotorFactorDisplay& display) {
        b->core().showValues(display);
        b->render();
    };
    return w;
}
