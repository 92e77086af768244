#include "ComponentRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace levelon {

namespace {

const QString kClassGroup = QStringLiteral("CLSID/");
const QString kProgIdGroup = QStringLiteral("ProgID/");
const QString kTypeLibGroup = QStringLiteral("TypeLib/");

// Group names are kept without braces so that the file stays readable.
QString bare(const QString& id)
{
    QString s = id;
    if (s.startsWith(QLatin1Char('{')) && s.endsWith(QLatin1Char('}')))
        s = s.mid(1, s.size() - 2);
    return s;
}

}  // namespace

QString normalizedClassId(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\{?([0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12})\\}?$"));
    const auto match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return {};
    return QLatin1Char('{') + match.captured(1).toUpper() + QLatin1Char('}');
}

QString shippedLibrary(const QString& programFolder)
{
    const QDir folder(programFolder);
    for (const QString& candidate :
         {folder.filePath(QLatin1String(LibraryFileName)),
          folder.filePath(QLatin1String(InstalledLibraryFolder) + QLatin1Char('/') + QLatin1String(LibraryFileName))}) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    }
    return {};
}

QString ComponentRegistry::defaultPath()
{
    const QString fromEnv = qEnvironmentVariable("KELVANE_COMPONENT_REGISTRY");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kelvane/components.ini");
}

ComponentRegistry::ComponentRegistry(const QString& file)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    m_settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
}

ComponentRegistry::~ComponentRegistry() = default;

QString ComponentRegistry::fileName() const
{
    return m_settings->fileName();
}

void ComponentRegistry::addTypeLibrary(const TypeLibrary& lib)
{
    m_settings->beginGroup(kTypeLibGroup + bare(normalizedClassId(lib.id)));
    m_settings->setValue(QStringLiteral("Name"), lib.name);
    m_settings->setValue(QStringLiteral("Version"), lib.version);
    m_settings->setValue(QStringLiteral("Locale"), lib.locale);
    m_settings->setValue(QStringLiteral("HelpString"), lib.helpString);
    m_settings->setValue(QStringLiteral("Path"), lib.path);
    m_settings->endGroup();
}

void ComponentRegistry::removeTypeLibrary(const QString& id)
{
    m_settings->remove(kTypeLibGroup + bare(normalizedClassId(id)));
}

std::optional<ComponentRegistry::TypeLibrary> ComponentRegistry::typeLibrary(const QString& id) const
{
    const QString normalized = normalizedClassId(id);
    if (normalized.isEmpty())
        return std::nullopt;
    const QString group = kTypeLibGroup + bare(normalized) + QLatin1Char('/');
    if (!m_settings->contains(group + QStringLiteral("Path")))
        return std::nullopt;
    TypeLibrary lib;
    lib.id = normalized;
    lib.name = m_settings->value(group + QStringLiteral("Name")).toString();
    lib.version = m_settings->value(group + QStringLiteral("Version")).toString();
    lib.locale = m_settings->value(group + QStringLiteral("Locale")).toString();
    lib.helpString = m_settings->value(group + QStringLiteral("HelpString")).toString();
    lib.path = m_settings->value(group + QStringLiteral("Path")).toString();
    return lib;
}

void ComponentRegistry::addClass(const ClassEntry& entry)
{
    const QString id = normalizedClassId(entry.classId);
    m_settings->beginGroup(kClassGroup + bare(id));
    m_settings->setValue(QStringLiteral("Name"), entry.name);
    m_settings->setValue(QStringLiteral("ProgID"), entry.progId);
    m_settings->setValue(QStringLiteral("InprocServer"), entry.libraryPath);
    m_settings->setValue(QStringLiteral("TypeLib"), entry.typeLibraryId);
    m_settings->endGroup();
    if (!entry.progId.isEmpty())
        m_settings->setValue(kProgIdGroup + entry.progId + QStringLiteral("/CLSID"), id);
}

void ComponentRegistry::removeClass(const QString& classId)
{
    const QString id = normalizedClassId(classId);
    if (id.isEmpty())
        return;
    const QString group = kClassGroup + bare(id);
    const QString progId = m_settings->value(group + QStringLiteral("/ProgID")).toString();
    m_settings->remove(group);
    if (!progId.isEmpty() &&
        normalizedClassId(m_settings->value(kProgIdGroup + progId + QStringLiteral("/CLSID")).toString()) == id)
        m_settings->remove(kProgIdGroup + progId);
}

std::optional<ComponentRegistry::ClassEntry> ComponentRegistry::findClass(const QString& classIdOrProgId) const
{
    QString id = normalizedClassId(classIdOrProgId);
    if (id.isEmpty() && !classIdOrProgId.isEmpty())
        id = normalizedClassId(m_settings->value(kProgIdGroup + classIdOrProgId + QStringLiteral("/CLSID")).toString());
    if (id.isEmpty())
        return std::nullopt;
    const QString group = kClassGroup + bare(id) + QLatin1Char('/');
    if (!m_settings->contains(group + QStringLiteral("InprocServer")))
        return std::nullopt;
    ClassEntry entry;
    entry.classId = id;
    entry.name = m_settings->value(group + QStringLiteral("Name")).toString();
    entry.progId = m_settings->value(group + QStringLiteral("ProgID")).toString();
    entry.libraryPath = m_settings->value(group + QStringLiteral("InprocServer")).toString();
    entry.typeLibraryId = m_settings->value(group + QStringLiteral("TypeLib")).toString();
    return entry;
}

bool ComponentRegistry::sync()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

}  // namespace levelon
