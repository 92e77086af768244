#pragma once
// Scripted stand-ins for the serial port and the USB bridge: each command
// written gets the next scripted reply, delivered in timed pieces by the fake
// clock. Used to pin down the transport's time-out and completion rules.

#include "Clock.h"
#include "SerialPort.h"
#include "UsbBridge.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

struct Piece
{
    double at;  // seconds after the command was written
    QByteArray bytes;
};

class ScriptedLine
{
public:
    explicit ScriptedLine(FakeClock& clock) : m_clock(clock) {}

    void script(QList<Piece> reply) { m_script << reply; }
    void scriptReply(const QByteArray& reply, double at = 0.001) { m_script << QList<Piece>{{at, reply}}; }
    void backlog(const QByteArray& bytes) { m_ready += bytes; }

    void written(const QByteArray& bytes)
    {
        writes << bytes;
        // A unit selection expects nothing back.
        if (bytes.startsWith('\x12'))
            return;
        const double t = m_clock.now();
        if (!m_script.isEmpty())
            for (const Piece& p : m_script.takeFirst())
                m_pending << Piece{t + p.at, p.bytes};
    }
    QByteArray due()
    {
        const double t = m_clock.now();
        for (int i = 0; i < m_pending.size();) {
            if (m_pending[i].at <= t) {
                m_ready += m_pending[i].bytes;
                m_pending.removeAt(i);
            } else {
                ++i;
            }
        }
        return m_ready;
    }
    QByteArray take(int max = -1)
    {
        due();
        const QByteArray out = max < 0 ? m_ready : m_ready.left(max);
        m_ready.remove(0, out.size());
        return out;
    }
    double nextIn() const
    {
        double best = -1;
        for (const Piece& p : m_pending)
            if (best < 0 || p.at - m_clock.now() < best)
                best = p.at - m_clock.now();
        return best;
    }

    QList<QByteArray> writes;

private:
    FakeClock& m_clock;
    QList<QList<Piece>> m_script;
    QList<Piece> m_pending;
    QByteArray m_ready;
};

class ScriptedSerialPort final : public ISerialPort
{
public:
    ScriptedSerialPort(FakeClock& clock, ScriptedLine& line) : m_clock(clock), m_line(line) {}
    void setCommPort(int n) override { m_n = n; }
    int commPort() const override { return m_n; }
    void setSettings(const QString& s) override { m_settings = s; }
    QString settings() const override { return m_settings; }
    bool open() override { return m_open = baudFromSettings(m_settings) != 0; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    int inBufferCount() override { return int(m_line.due().size()); }
    QByteArray input() override { return m_line.take(); }
    bool output(const QByteArray& d) override
    {
        if (!m_open)
            return false;
        m_line.written(d);
        writeTimeouts << m_writeTimeout;
        return true;
    }
    void setWriteTimeout(int msecs) override { m_writeTimeout = msecs; }
    // The write time-out in force at each output, in milliseconds.
    QList<int> writeTimeouts;
    bool waitForInput(int ms) override
    {
        if (!m_line.due().isEmpty())
            return true;
        const double next = m_line.nextIn();
        const double limit = ms / 1000.0;
        m_clock.sleep(next >= 0 && next < limit ? next : limit);
        return !m_line.due().isEmpty();
    }
    QString lastError() const override { return {}; }

private:
    FakeClock& m_clock;
    ScriptedLine& m_line;
    int m_n = 1;
    QString m_settings = QStringLiteral("9600");
    bool m_open = false;
    int m_writeTimeout = 1000;
};

class ScriptedUsbBridge final : public IUsbBridge
{
public:
    ScriptedUsbBridge(FakeClock& clock, ScriptedLine& line) : m_clock(clock), m_line(line) {}
    int SI_GetNumDevices(quint32* n) override
    {
        *n = 1;
        return si::SUCCESS;
    }
    int SI_GetProductString(quint32, char* b, int) override
    {
        qstrcpy(b, "usb0001");
        return si::SUCCESS;
    }
    int SI_Open(quint32, UsbHandle* h) override
    {
        *h = 7;
        return si::SUCCESS;
    }
    int SI_Close(UsbHandle) override
    {
        ++closes;
        return si::SUCCESS;
    }
    int SI_SetBaudRate(UsbHandle, quint32 baud) override
    {
        bauds << baud;
        return baudFails ? si::INVALID_BAUD_RATE : si::SUCCESS;
    }
    int SI_SetTimeouts(quint32, quint32) override { return si::SUCCESS; }
    int SI_Read(UsbHandle, void* buffer, quint32 want, quint32* got) override
    {
        const QByteArray bytes = m_line.take(int(want));
        maxRead = std::max(maxRead, quint32(bytes.size()));
        memcpy(buffer, bytes.constData(), size_t(bytes.size()));
        *got = quint32(bytes.size());
        return si::SUCCESS;
    }
    int SI_Write(UsbHandle, const void* buffer, quint32 n, quint32* written) override
    {
        pieces << QByteArray(static_cast<const char*>(buffer), int(n));
        if (!pieces.last().startsWith('\x12'))
            m_pendingCommand += pieces.last();
        // The far end answers once a whole frame has arrived.
        if (m_pendingCommand.endsWith(']') || m_pendingCommand.endsWith(')')) {
            m_line.written(m_pendingCommand);
            m_pendingCommand.clear();
        }
        *written = n;
        return si::SUCCESS;
    }
    int SI_CheckRXQueue(UsbHandle, quint32* n, quint32* status) override
    {
        const int count = int(m_line.due().size());
        *n = quint32(count);
        *status = count > 0 ? si::RX_READY : si::RX_EMPTY;
        return si::SUCCESS;
    }

    QList<QByteArray> pieces;
    QList<quint32> bauds;
    bool baudFails = false;
    int closes = 0;
    quint32 maxRead = 0;

private:
    FakeClock& m_clock;
    ScriptedLine& m_line;
    QByteArray m_pendingCommand;
};
