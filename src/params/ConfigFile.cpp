#include "ConfigFile.h"

#include "AxisParameterStore.h"
#include "CommandList.h"
#include "OptionFlags.h"
#include "ProgramFolder.h"
#include "UiServices.h"
#include "ValueFile.h"

#include <QFileInfo>
#include <QScopeGuard>

ConfigFile::ConfigFile(AxisParameterStore& store, CommandList& init, CommandList& init2, OptionFlags& flags,
                       IUiServices& ui)
    : m_store(store), m_init(init), m_init2(init2), m_flags(flags), m_ui(ui)
{
}

QString ConfigFile::failureMessage(const QString& name)
{
    return QStringLiteral("Die Datei ") + name + QStringLiteral(" konnte nicht geladen werden!!");
}

FileDialogRequest ConfigFile::dialogRequest()
{
    FileDialogRequest r;
    r.filter = Filter;
    r.folder = programFolder();
    r.fileName = QStringLiteral("*.qvm");
    r.defaultExt = QStringLiteral("qvm");
    return r;
}

QString ConfigFile::startConfigurationPath(const QString& ident)
{
    if (!ident.startsWith(QLatin1String("00000")))
        return {};
    // The ident comes from the controller: it must not reach outside the folder.
    for (const QChar c : ident) {
        const bool ascii = c.unicode() < 128;
        if (!ascii || !c.isLetterOrNumber())
            return {};
    }
    return programFolder() + QLatin1Char('/') + StartFolder + QLatin1Char('/') + ident + QStringLiteral(".qvm");
}

bool ConfigFile::fail(const QString& name)
{
    m_ui.message(failureMessage(name), {}, MsgButtons::Ok);
    return false;
}

ConfigContent ConfigFile::collect() const
{
    ConfigContent c;
    for (int a = 0; a < ConfigContent::Achsen; ++a) {
        c.axes[std::size_t(a)] = m_store.axisRecordAt(a);
        c.drehantrieb[std::size_t(a)] = m_store.rotaryDriveFlag(a);
    }
    for (int i = 0; i < ConfigContent::InitCommands; ++i)
        c.init[std::size_t(i)] = m_init.arraybefehle_get(i);
    for (int i = 0; i < ConfigContent::Init2Commands; ++i)
        c.init2[std::size_t(i)] = m_init2.arraybefehle_get(i);
    // A flag never set (empty) is written as 0.
    for (int i = 0; i < ConfigContent::Optionen; ++i)
        c.optionValues[std::size_t(i)] = m_flags.text(i).trimmed().toInt();
    c.rundungsstelle = m_flags.digitIndex();
    return c;
}

void ConfigFile::apply(const ConfigContent& c)
{
    // Block order of the file, so that a listener sees the same sequence of
    // changes as when the values were read one by one.
    for (int a = 0; a < ConfigContent::Achsen; ++a)
        m_store.axisRecordAt(a) = c.axes[std::size_t(a)];
    for (int i = 0; i < ConfigContent::FirstInitCommands; ++i)
        m_init.arraybefehle_let(i, c.init[std::size_t(i)]);
    for (int i = 0; i < ConfigContent::Init2Commands; ++i)
        m_init2.arraybefehle_let(i, c.init2[std::size_t(i)]);
    for (int i = 0; i < ConfigContent::Optionen; ++i)
        m_flags.setText(i, QString::number(c.optionValues[std::size_t(i)]));
    for (int a = 0; a < ConfigContent::Achsen; ++a)
        m_store.setDrehantrieb(a, c.drehantrieb[std::size_t(a)]);
    for (int i = ConfigContent::FirstInitCommands; i < ConfigContent::InitCommands; ++i)
        m_init.arraybefehle_let(i, c.init[std::size_t(i)]);
    m_flags.setDigitIndex(c.rundungsstelle);
}

bool ConfigFile::speichern(const QString& aktion)
{
    // Every save ends by having the control centers set up again, a cancelled
    // or failed one included.
    const auto atEnd = qScopeGuard([this] {
        if (setComMotflag)
            setComMotflag();
    });
    QString name;
    if (aktion == Manuell) {
        name = m_ui.saveFile(dialogRequest());
        if (name.isEmpty())
            return false;
    } else if (aktion == Auto) {
        name = programFile(StartFile);
    } else {
        return false;
    }
    const auto bytes = writeConfig(collect());
    if (!bytes || !writeValueFile(name, *bytes))
        return fail(name);
    return true;
}

bool ConfigFile::laden(const QString& aktion)
{
    QString name;
    if (aktion == Manuell) {
        name = m_ui.openFile(dialogRequest());
        if (name.isEmpty() || name == QLatin1String("*.qvm"))
            return false;
    } else if (aktion == Auto) {
        name = programFile(StartFile);
    } else {
        return false;
    }
    // Past the dialog every load ends by having the control centers set up
    // again, a failed one included.
    const auto atEnd = qScopeGuard([this] {
        if (setComMotflag)
            setComMotflag();
    });
    if (!QFileInfo::exists(name) && aktion == Auto)
        return false;
    const auto bytes = readFileBytes(name, nullptr, MaxConfigBytes);
    if (!bytes)
        return fail(name);
    const auto content = parseConfig(*bytes);
    if (!content)
        return fail(name);
    apply(*content);
    return true;
}

bool ConfigFile::ueberschreiben(const QString& aktion, int Achse)
{
    const QString name = startConfigurationPath(aktion);
    if (name.isEmpty())
        return false;
    if (!AxisParameterStore::axisValid(Achse))
        return fail(name);
    const auto bytes = readFileBytes(name, nullptr, MaxConfigBytes);
    if (!bytes)
        return fail(name);
    const auto start = parseStartConfig(*bytes);
    if (!start)
        return fail(name);
    // The file's second record and its rotary flag go to the one axis.
    m_store.axisRecordAt(Achse) = start->record;
    m_store.setDrehantrieb(Achse, start->drehantrieb);
    return true;
}
