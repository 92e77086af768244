#pragma once
// A serial port wired straight to a simulated bus, for tests that drive the
// transport without a device. Waiting sleeps through the bus's clock, so with
// a FakeClock a test runs in no real time and with the same result each run.

#include "SerialPort.h"

#include <functional>

class SimBus;

class SimSerialPort final : public ISerialPort
{
public:
    explicit SimSerialPort(SimBus& bus);

    void setCommPort(int number) override { m_number = number; }
    int commPort() const override { return m_number; }
    void setSettings(const QString& settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }

    // Fails for a settings text that names no supported baud, and while
    // `setOpenFailure` holds a reason. The bus hears the host at the baud of
    // the settings from here on.
    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }

    int inBufferCount() override;
    QByteArray input() override;
    bool output(const QByteArray& data) override;
    int unsentCount() override;
    bool waitForInput(int msecs) override;
    QString lastError() const override { return m_error; }

    // While not empty, `open()` fails with this text ("port busy").
    void setOpenFailure(const QString& reason) { m_openFailure = reason; }
    // Simulates the far end going away (an unplugged adapter, a pty whose
    // other side closed): the next use of the port closes it once, reports
    // through `onLost`, and reads and writes fail from then on.
    void setFarEndClosed(bool closed) { m_farEndClosed = closed; }

private:
    // False (after closing the port) when the far end has gone.
    bool usable();

    SimBus& m_bus;
    int m_number = 1;
    QString m_settings = QStringLiteral("9600");
    bool m_open = false;
    bool m_farEndClosed = false;
    QString m_openFailure;
    QString m_error;
};
