#include "ProgramFolder.h"

#include <QDir>
#include <QStandardPaths>

QString programFolder()
{
    QString folder = qEnvironmentVariable("KELVANE_HOME");
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Kelvane");
    }
    QDir().mkpath(folder);
    return QDir(folder).absolutePath();
}

QString programFile(const QString& name)
{
    return programFolder() + QLatin1Char('/') + name;
}
