#pragma once
// The serial port the program talks to the bus through: a port number 1-16,
// a settings text holding the baud rate, open/close, the count of waiting
// input characters, input (everything waiting, removed) and output.
// `ISerialPort` is what the transport and the windows see; `QtSerialPort` is
// the real one over QSerialPort, and the simulator provides an in-process one.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class AppSettings;
class QSerialPort;

class ISerialPort
{
public:
    virtual ~ISerialPort() = default;

    virtual void setCommPort(int number) = 0;
    virtual int commPort() const = 0;
    virtual void setSettings(const QString& settings) = 0;
    virtual QString settings() const = 0;

    // Opens the port with the current number and settings. On failure the
    // port stays closed and `lastError()` says why.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual int inBufferCount() = 0;
    // All waiting input characters; they are removed from the port.
    virtual QByteArray input() = 0;
    virtual bool output(const QByteArray& data) = 0;
    // Characters written but not yet sent on the wire, where the port can
    // tell (-1 where it cannot).
    virtual int unsentCount() { return -1; }
    // How long `output` waits for the far end to take the bytes before it
    // drops what is still unsent and returns false.
    virtual void setWriteTimeout(int msecs) { (void)msecs; }
    // Blocks (without GUI events) until more input arrives or `msecs` pass.
    // Returns false on time-out or when the port is not open.
    virtual bool waitForInput(int msecs) = 0;

    virtual QString lastError() const = 0;

    // Called once when an open port is lost (the device went away or its far
    // end closed), with the device and the reason; the port is closed by then.
    std::function<void(const QString&)> onLost;
};

// Baud rate from a settings text: "9600" or "9600,n,8,1". Returns 0 for a text
// that names no supported rate (for example the start-up default "0").
int baudFromSettings(const QString& settings);

// The bauds the serial port accepts.
const QList<int>& supportedBauds();

// Maps port numbers 1-16 to device paths: the environment variable
// KELVANE_COM<n> first, then the setting "Ports/COM<n>", then the system's
// serial ports in natural order (COM1 = the first of them; "ttyS2" before
// "ttyS10"). Every look-up asks the system and the settings afresh.
class PortMap
{
public:
    explicit PortMap(const AppSettings* settings = nullptr) : m_settings(settings) {}
    QString devicePath(int number) const;
    static QStringList systemPorts();
    // Whether `a` comes before `b` when runs of digits compare as numbers.
    static bool naturalLess(const QString& a, const QString& b);

private:
    const AppSettings* m_settings;
};

// Whether and why the open device `fd` (opened as `path`) is lost, asked of
// the device itself: "Gerät entfernt" when its file went away, "Gegenstelle
// hat die Verbindung beendet" when its far end hung up, "Lesefehler: " and
// the system's text when a read of its own fails; empty when it shows none
// of these signs (the line lives).
QString lossReason(int fd, const QString& path);

// The real serial port. 8 data bits, no parity, one stop bit, no flow control.
// A device that reports a resource or read error and shows a sign of loss
// (an unplugged adapter, a pseudo-terminal whose far end closed) is closed
// once and reported through `onLost`; without such a sign it stays open. Input is bounded: the port buffers at most `ReadBufferBound`
// bytes, and bytes that arrive while nobody is reading (no call of this
// port is under way, the event loop delivers them) are thrown away, since
// every exchange drains stale input first anyway.
class QtSerialPort final : public QObject, public ISerialPort
{
    Q_OBJECT
public:
    explicit QtSerialPort(PortMap map, QObject* parent = nullptr);
    ~QtSerialPort() override;

    void setCommPort(int number) override { m_number = number; }
    int commPort() const override { return m_number; }
    void setSettings(const QString& settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }

    bool open() override;
    void close() override;
    bool isOpen() const override;
    int inBufferCount() override;
    QByteArray input() override;
    bool output(const QByteArray& data) override;
    int unsentCount() override;
    bool waitForInput(int msecs) override;
    void setWriteTimeout(int msecs) override { m_writeTimeout = msecs; }
    QString lastError() const override { return m_error; }

    static constexpr int ReadBufferBound = 8192;

    // Opens a device by path directly (tests and the port probe).
    bool openPath(const QString& path, int baud);
    QString devicePath() const;

private:
    void handleError(int error);
    void discardIdleInput();

    PortMap m_map;
    std::unique_ptr<QSerialPort> m_port;
    int m_number = 1;
    QString m_settings = QStringLiteral("9600");
    QString m_error;
    QString m_path;  // the device opened last
    bool m_closing = false;
    int m_writeTimeout = 1000;
    int m_busy = 0;  // calls of this port under way
};
