#pragma once
// Starts kelvane-bussim on a pseudo-terminal for end-to-end tests and
// benchmarks, and hands out the slave path it prints.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>

class BusSimProcess
{
public:
    explicit BusSimProcess(const QStringList& args)
    {
        m_process.setProgram(QStringLiteral(KELVANE_BUSSIM));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;
        for (int i = 0; i < 50 && !m_process.canReadLine(); ++i)
            m_process.waitForReadyRead(100);
        m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~BusSimProcess() { stop(); }

    QString path() const { return m_path; }
    qint64 pid() const { return m_process.processId(); }
    void kill()
    {
        if (m_process.state() != QProcess::NotRunning)
            ::kill(pid_t(m_process.processId()), SIGKILL);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

private:
    QProcess m_process;
    QString m_path;
};
