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

    // Flag 0 frees the recorder when it is switched on; any change that
    // leaves it unchecked or greyed closes the recorder.
    auto recorderFlag = std::make_shared<QString>(flags.text(OptionFlags::EWWindow));
    QObject::connect(&flags, &OptionFlags::changed, &flags, [&flags, applyMenus, recorderFlag, effects] {
        kit::guarded("option flags changed", [&] {
            applyMenus();
            const QString text = flags.text(OptionFlags::EWWindow);
            if (text == *recorderFlag)
                return;
            const bool wasOn = recorderFlag->trimmed().toInt() == 1;
            *recorderFlag = text;
            if (flags.on(OptionFlags::EWWindow)) {
                if (!wasOn && effects.releaseRecorder)
                    effects.releaseRecorder();
            } else if (effects.closeRecorder) {
                effects.closeRecorder();
            }
        });
    });
}
