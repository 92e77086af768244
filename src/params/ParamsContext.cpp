#include "ParamsContext.h"

#include "Guarded.h"

#include <QAction>

ParamsContext::ParamsContext(IUiServices& ui, OptionFlags& flags, MotorFactorCalculator::Sender send)
    : m_store(flags), m_init(CommandList::ControlCenterSize), m_init2(CommandList::ProbeSize),
      m_calculator(m_store, flags, ui, std::move(send)), m_config(m_store, m_init, m_init2, flags, ui)
{
}

void bindConfigMenus(ConfigFile& file, const std::function<QAction*(const QString&)>& menuEntry,
                     std::function<void()> showCommandLists)
{
    if (!menuEntry)
        return;
    auto bind = [&](const char* name, std::function<void()> action) {
        QAction* entry = menuEntry(QLatin1String(name));
        if (!entry)
            return;
        QObject::connect(entry, &QAction::triggered, entry, [action = std::move(action)] {
            kit::guarded("configuration menu", action);
        });
    };
    ConfigFile* f = &file;
    bind("mnuLaden", [f, showCommandLists] {
        f->laden(ConfigFile::Manuell);
        if (showCommandLists)
            showCommandLists();
    });
    bind("mnuSpeichern", [f] { f->speichern(ConfigFile::Manuell); });
    bind("mnu_SKladen", [f, showCommandLists] {
        f->laden(ConfigFile::Auto);
        if (showCommandLists)
            showCommandLists();
    });
    bind("mnu_SKspeichern", [f] { f->speichern(ConfigFile::Auto); });
}
