#pragma once
// Helpers shared by the test suites: a temporary program folder and settings
// file, and a scoped locale.

#include <QLocale>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

class AppSettings;

// A temporary folder used as the program folder (KELVANE_HOME) and for a
// settings file of its own; both disappear with the object.
class TempHome
{
public:
    TempHome();
    ~TempHome();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    AppSettings& settings() { return *m_settings; }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    bool m_hadHome;
    std::unique_ptr<AppSettings> m_settings;
};

// Sets the default locale for the lifetime of the object.
class ScopedLocale
{
public:
    explicit ScopedLocale(QLocale::Language language, QLocale::Territory territory = QLocale::AnyTerritory)
        : m_old(QLocale())
    {
        QLocale::setDefault(QLocale(language, territory));
    }
    ~ScopedLocale() { QLocale::setDefault(m_old); }

private:
    QLocale m_old;
};

// Readable QString values in assertion messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
