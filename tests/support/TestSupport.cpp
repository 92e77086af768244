#include "TestSupport.h"

#include "Settings.h"

TempHome::TempHome() : m_oldHome(qgetenv("KELVANE_HOME")), m_hadHome(qEnvironmentVariableIsSet("KELVANE_HOME"))
{
    qputenv("KELVANE_HOME", m_dir.path().toLocal8Bit());
    m_settings = std::make_unique<AppSettings>(m_dir.filePath(QStringLiteral("settings.ini")));
}

TempHome::~TempHome()
{
    m_settings.reset();
    if (m_hadHome)
        qputenv("KELVANE_HOME", m_oldHome);
    else
        qunsetenv("KELVANE_HOME");
}
