#pragma once
// The program's own registry of in-process components: a settings file that
// maps class IDs and ProgIDs to the library that serves them, and records the
// type libraries. Libraries write their entries when registered; hosts look
// classes up before they load anything.
//
// Location: the file named by KELVANE_COMPONENT_REGISTRY when set, else
// <per-user config>/Kelvane/components.ini.
//
// Besides what the file holds, the gauge library the program ships serves by
// default (`shippedLibrary`): the program finds its own gauges without a
// registration step; the file names other libraries or overrides that one.

#include <QString>

#include <memory>
#include <optional>

class QSettings;

namespace levelon {

class ComponentRegistry
{
public:
    struct TypeLibrary
    {
        QString id;  // "{...}"
        QString name;
        QString version;  // "1.0"
        QString locale;   // "0x409"
        QString helpString;
        QString path;  // library file
    };

    struct ClassEntry
    {
        QString classId;  // "{...}"
        QString progId;   // "Levelon.ToviHGauge"
        QString name;     // "ToviHGauge"
        QString libraryPath;
        QString typeLibraryId;
    };

    static QString defaultPath();

    explicit ComponentRegistry(const QString& file = defaultPath());
    ~ComponentRegistry();

    QString fileName() const;

    void addTypeLibrary(const TypeLibrary& lib);
    void removeTypeLibrary(const QString& id);
    std::optional<TypeLibrary> typeLibrary(const QString& id) const;

    void addClass(const ClassEntry& entry);
    // Removes the class and, if it still points at this class, its ProgID.
    void removeClass(const QString& classId);
    // By class ID ("{...}", any letter case) or by ProgID.
    std::optional<ClassEntry> findClass(const QString& classIdOrProgId) const;

    // Writes pending changes; false when the file cannot be written.
    bool sync();

private:
    std::unique_ptr<QSettings> m_settings;
};

// A second place for the gauge library, relative to the program's folder,
// for a layout that keeps plugins under <prefix>/lib/kelvane; the project's
// own install puts the library beside the program.
inline constexpr const char* InstalledLibraryFolder = "../lib/kelvane";
inline constexpr const char* LibraryFileName = "libLevelon.so";

// The gauge library shipped with the program in `programFolder`: the file
// beside it (build folder and installed program) or in that second place; empty when
// neither exists.
QString shippedLibrary(const QString& programFolder);

// "{ABC...}" in upper case, braces added when missing; empty when `text` is
// not a class ID.
QString normalizedClassId(const QString& text);

}  // namespace levelon
