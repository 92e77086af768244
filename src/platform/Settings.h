#pragma once
// The program's per-user settings: application "Kelvane", sections such as
// "Startup" (port and baud) and "Ports" (device paths). Tests point it at a
// temporary file instead of the user's settings.

#include <QString>
#include <QVariant>

#include <memory>

class QSettings;

class AppSettings
{
public:
    // The user's settings of application "Kelvane" (or the file named by
    // KELVANE_SETTINGS_FILE).
    AppSettings();
    // A settings file of its own (tests).
    explicit AppSettings(const QString& iniFile);
    ~AppSettings();

    QString value(const QString& section, const QString& key, const QString& fallback) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    void remove(const QString& section, const QString& key);
    // Writes pending changes; false when the store cannot be written.
    bool sync();

private:
    std::unique_ptr<QSettings> m_settings;
};
