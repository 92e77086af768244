// The built program against the bus simulator on a pseudo-terminal: it starts
// on the remembered port, opens it, leaves the menus usable and shuts down
// cleanly.

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Every executable of the build lands in one folder, this test's own.
QString binary(const char* name)
{
    QString dir = qEnvironmentVariable("KELVANE_BIN_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath();
    return QDir(dir).filePath(QLatin1String(name));
}

QMap<QString, QString> parseReport(const QByteArray& out)
{
    QMap<QString, QString> state;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() == 2)
            state.insert(QString::fromLatin1(parts.at(0)), QString::fromLatin1(parts.at(1)));
    }
    return state;
}

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(binary("kelvane"))) << binary("kelvane").toStdString();
        ASSERT_TRUE(QFile::exists(binary("kelvane-bussim"))) << binary("kelvane-bussim").toStdString();
        // Paced as the demonstration runs it: at the real speed of the line.
        bussim.start(binary("kelvane-bussim"), {QStringLiteral("--demo"), QStringLiteral("--pace")});
        ASSERT_TRUE(bussim.waitForStarted(10000));
        while (!bussim.canReadLine() && bussim.waitForReadyRead(10000)) {
        }
        ptyPath = QString::fromLocal8Bit(bussim.readLine()).trimmed();
        ASSERT_FALSE(ptyPath.isEmpty()) << "the simulator printed no device path";
    }
    void TearDown() override
    {
        if (bussim.state() != QProcess::NotRunning) {
            bussim.terminate();
            if (!bussim.waitForFinished(5000))
                bussim.kill();
        }
    }

    QProcess bussim;
    QString ptyPath;
    QTemporaryDir home;
};

TEST_F(EndToEnd, StartsOnTheRememberedPortWithMenusOpenAndShutsDownCleanly)
{
    const QString settings = home.filePath(QStringLiteral("settings.ini"));
    {
        QFile f(settings);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Startup]\nBackup_CommPort=1\nBackup_Settings=9600\n");
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KELVANE_COM1"), ptyPath);
    env.insert(QStringLiteral("KELVANE_SETTINGS_FILE"), settings);
    env.insert(QStringLiteral("KELVANE_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KELVANE_REPORT_AFTER_START"), QStringLiteral("300"));
    env.remove(QStringLiteral("KELVANE_SIM"));

    QProcess kelvane;
    kelvane.setProcessEnvironment(env);
    kelvane.start(binary("kelvane"), {});
    ASSERT_TRUE(kelvane.waitForStarted(10000));
    ASSERT_TRUE(kelvane.waitForFinished(60000)) << "the program did not end after its report";
    const QByteArray out = kelvane.readAllStandardOutput();
    EXPECT_EQ(kelvane.exitStatus(), QProcess::NormalExit) << kelvane.readAllStandardError().toStdString();
    EXPECT_EQ(kelvane.exitCode(), 0);

    const auto state = parseReport(out);
    EXPECT_EQ(state.value(QStringLiteral("schnittstelle")), QStringLiteral("COM")) << out.toStdString();
    EXPECT_EQ(state.value(QStringLiteral("port_open")), QStringLiteral("1"));
    EXPECT_EQ(state.value(QStringLiteral("timer1")), QStringLiteral("1"));
    EXPECT_EQ(state.value(QStringLiteral("menu_kontroll")), QStringLiteral("1"));
    EXPECT_EQ(state.value(QStringLiteral("menu_datei")), QStringLiteral("1"));

    // Nothing is written at shut-down.
    QFile f(settings);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray after = f.readAll();
    EXPECT_TRUE(after.contains("Backup_CommPort=1"));
    EXPECT_TRUE(after.contains("Backup_Settings=9600"));
    EXPECT_EQ(bussim.state(), QProcess::Running) << "the simulator outlives the program's close of the port";
}

}  // namespace
