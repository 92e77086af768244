#include "Install.h"

#include "CoreContext.h"
#include "OptionMenus.h"
#include "frm_Options.h"
#include "frm_main.h"

frm_Options* installOptions(frm_main& frame)
{
    auto* options = new frm_Options(frame.optionFlags(), frame.core().ui(), &frame);
    options->setWindowFlag(Qt::Tool);
    frame.setToolWindow(Menu::Optionen, options, {[options] { options->machneu(); }, {}});
    options->ended = [&frame] { frame.toolWindowExit(Menu::Optionen); };
    bindOptionMenus(frame.optionFlags(), [&frame](const QString& name) { return frame.menuEntry(name); },
                    {[&frame] {
                         for (qsizetype i = 0; i < frame.CC.count(); ++i)
                             frame.CC.at(i)->FlagEW = 0;
                     },
                     [&frame] {
                         if (frame.frm_eW && frame.frm_eW->form())
                             frame.frm_eW->form()->close();
                     }});
    return options;
}
