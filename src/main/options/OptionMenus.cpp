#include "OptionMenus.h"
#include "Guarded.h"

#include "OptionFlags.h"

#include <QAction>

#include <memory>

QString optionMenuName(int flag)
{
    switch (flag) {
    case 1: return QStringLiteral("mnuMSim");
    case 2: return QStringLiteral("mnuTasterC");
    case 3: return QStringLiteral("mnurrBefehl");
    case 4: return QStringLiteral("mnuJoystick_Abgleich");
    case 5: return QStringLiteral("mnuAKabgleich");
    case 7: return QStringLiteral("mnuTablett");
    default: return {};
    }
}

void bindOptionMenus(OptionFlags& flags, std::function<QAction*(const QString&)> menuEntry, OptionEffects effects)
{
    auto applyMenus = [&flags, menuEntry] {
        if (!menuEntry)
            return;
        for (int i = 0; i < OptionFlags::Count; ++i) {
            const QString name = optionMenuName(i);
            if (name.isEmpty())
                continue;
            if (QAction* entry = menuEntry(name))
                entry->setVisible(flags.on(i));
        }
    };
    applyMenus();

    // Flag 0 acts on its transitions only, as a box click does.
    auto recorderOn = std::make_shared<bool>(flags.on(OptionFlags::EWFenster));
    QObject::connect(&flags, &OptionFlags::changed, &flags, [&flags, applyMenus, recorderOn, effects] {
        kit::guarded("option flags changed", [&] {
            applyMenus();
            const bool on = flags.on(OptionFlags::EWFenster);
            if (on != *recorderOn) {
                *recorderOn = on;
                if (on && effects.recorderFreigeben)
                    effects.recorderFreigeben();
                else if (!on && effects.recorderSchliessen)
                    effects.recorderSchliessen();
            }
        });
    });
}
