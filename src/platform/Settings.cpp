#include "Settings.h"

#include <QSettings>

AppSettings::AppSettings()
{
    // KELVANE_SETTINGS_FILE points a run (the demo, an end-to-end test) at a
    // settings file of its own instead of the user's.
    const QString file = qEnvironmentVariable("KELVANE_SETTINGS_FILE");
    if (!file.isEmpty())
        m_settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
    else
        m_settings = std::make_unique<QSettings>(QStringLiteral("Kelvane"), QStringLiteral("Kelvane"));
}

AppSettings::AppSettings(const QString& iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

AppSettings::~AppSettings() = default;

QString AppSettings::value(const QString& section, const QString& key, const QString& fallback) const
{
    return m_settings->value(section + QLatin1Char('/') + key, fallback).toString();
}

void AppSettings::setValue(const QString& section, const QString& key, const QString& value)
{
    m_settings->setValue(section + QLatin1Char('/') + key, value);
}

void AppSettings::remove(const QString& section, const QString& key)
{
    m_settings->remove(section + QLatin1Char('/') + key);
}

bool AppSettings::sync()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}
