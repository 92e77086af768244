#include "SimSerialPort.h"

#include "Clock.h"
#include "SimBus.h"

SimSerialPort::SimSerialPort(SimBus& bus) : m_bus(bus) {}

bool SimSerialPort::open()
{
    if (m_open) {
        m_error = QStringLiteral("Port already open");
        return false;
    }
    if (!m_openFailure.isEmpty()) {
        m_error = m_openFailure;
        return false;
    }
    if (m_farEndClosed) {
        m_error = QStringLiteral("COM%1: no such device").arg(m_number);
        return false;
    }
    const int baud = baudFromSettings(m_settings);
    if (baud == 0) {
        m_error = QStringLiteral("Invalid settings \"%1\"").arg(m_settings);
        return false;
    }
    m_bus.setHostBaud(baud);
    // Like the real port, start with an empty input buffer.
    m_bus.read();
    m_open = true;
    m_error.clear();
    return true;
}

void SimSerialPort::close()
{
    m_open = false;
}

bool SimSerialPort::usable()
{
    if (!m_open)
        return false;
    if (m_farEndClosed) {
        m_error = QStringLiteral("COM%1: the device went away").arg(m_number);
        m_open = false;
        if (onLost)
            onLost(m_error);
        return false;
    }
    return true;
}

int SimSerialPort::inBufferCount()
{
    return usable() ? m_bus.bytesDue() : 0;
}

QByteArray SimSerialPort::input()
{
    return usable() ? m_bus.read() : QByteArray();
}

bool SimSerialPort::output(const QByteArray& data)
{
    if (!usable())
        return false;
    m_bus.write(data);
    return true;
}

int SimSerialPort::unsentCount()
{
    return m_open ? m_bus.reportedUnsentCount() : -1;
}

bool SimSerialPort::waitForInput(int msecs)
{
    if (!usable())
        return false;
    IClock& clock = m_bus.clock();
    double remaining = msecs / 1000.0;
    while (m_bus.bytesDue() == 0) {
        const double next = m_bus.nextDueIn();
        if (next < 0 || next > remaining) {
            if (remaining > 0)
                clock.sleep(remaining);
            return false;
        }
        clock.sleep(next);
        remaining -= next;
    }
    return true;
}
