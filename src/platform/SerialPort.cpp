#include "SerialPort.h"

#include "Settings.h"

#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>

const QList<int>& supportedBauds()
{
    static const QList<int> bauds{110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                  19200, 28800, 38400, 56000,  57600,  115200, 128000, 230400,
                                  256000, 460800, 921600};
    return bauds;
}

int baudFromSettings(const QString& settings)
{
    const QString first = settings.section(QLatin1Char(','), 0, 0).trimmed();
    bool ok = false;
    const int baud = first.toInt(&ok);
    if (!ok || !supportedBauds().contains(baud))
        return 0;
    return baud;
}

QStringList PortMap::systemPorts()
{
    QStringList paths;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        paths << info.systemLocation();
    std::sort(paths.begin(), paths.end());
    return paths;
}

QString PortMap::devicePath(int number) const
{
    if (number < 1)
        return {};
    const QByteArray env = qgetenv(QStringLiteral("KELVANE_COM%1").arg(number).toLatin1().constData());
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    if (m_settings) {
        const QString path = m_settings->value(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(number), QString());
        if (!path.isEmpty())
            return path;
    }
    const QStringList system = systemPorts();
    if (number <= system.size())
        return system.at(number - 1);
    return {};
}

QtSerialPort::QtSerialPort(PortMap map, QObject* parent) : QObject(parent), m_map(map) {}

QtSerialPort::~QtSerialPort()
{
    close();
}

QString QtSerialPort::devicePath() const
{
    return m_port ? m_port->portName() : m_map.devicePath(m_number);
}

bool QtSerialPort::open()
{
    if (isOpen()) {
        m_error = tr("Port already open");
        return false;
    }
    const int baud = baudFromSettings(m_settings);
    if (baud == 0) {
        m_error = tr("Invalid settings \"%1\"").arg(m_settings);
        return false;
    }
    const QString path = m_map.devicePath(m_number);
    if (path.isEmpty()) {
        m_error = tr("COM%1 does not exist").arg(m_number);
        return false;
    }
    return openPath(path, baud);
}

bool QtSerialPort::openPath(const QString& path, int baud)
{
    close();
    auto port = std::make_unique<QSerialPort>();
    // A full path opens devices that the port enumeration does not list,
    // such as pseudo-terminals.
    port->setPortName(path);
    if (!port->open(QIODevice::ReadWrite)) {
        m_error = port->errorString();
        if (port->error() == QSerialPort::PermissionError)
            m_error = tr("%1: permission denied (is the user in the dialout group?)").arg(path);
        else if (port->error() == QSerialPort::DeviceNotFoundError)
            m_error = tr("%1: no such device").arg(path);
        return false;
    }
    if (!port->setBaudRate(baud) || !port->setDataBits(QSerialPort::Data8) ||
        !port->setParity(QSerialPort::NoParity) || !port->setStopBits(QSerialPort::OneStop) ||
        !port->setFlowControl(QSerialPort::NoFlowControl)) {
        m_error = tr("%1: settings refused: %2").arg(path, port->errorString());
        port->close();
        return false;
    }
    port->clear();
    connect(port.get(), &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { handleError(int(e)); });
    m_port = std::move(port);
    m_error.clear();
    return true;
}

void QtSerialPort::close()
{
    if (!m_port)
        return;
    m_closing = true;
    m_port->disconnect(this);
    if (m_port->isOpen())
        m_port->close();
    // The QSerialPort may be inside one of its own calls when an error closes
    // it; delete it later in that case.
    m_port.release()->deleteLater();
    m_closing = false;
}

bool QtSerialPort::isOpen() const
{
    return m_port && m_port->isOpen();
}

void QtSerialPort::handleError(int error)
{
    const auto e = QSerialPort::SerialPortError(error);
    if (m_closing || !m_port)
        return;
    if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError) {
        m_error = m_port->errorString();
        const QString message = m_error;
        close();
        if (onLost)
            onLost(message);
    }
}

int QtSerialPort::inBufferCount()
{
    if (!isOpen())
        return 0;
    // Pull whatever the driver holds into the port's buffer without blocking.
    if (m_port->bytesAvailable() == 0) {
        m_port->waitForReadyRead(0);
        if (m_port)
            m_port->clearError();
    }
    return isOpen() ? int(m_port->bytesAvailable()) : 0;
}

QByteArray QtSerialPort::input()
{
    if (!isOpen())
        return {};
    inBufferCount();
    return isOpen() ? m_port->readAll() : QByteArray();
}

bool QtSerialPort::output(const QByteArray& data)
{
    if (!isOpen())
        return false;
    if (m_port->write(data) != data.size())
        return false;
    // Push the bytes to the driver now: nobody runs the event loop during an
    // exchange.
    while (isOpen() && m_port->bytesToWrite() > 0) {
        if (!m_port->waitForBytesWritten(1000))
            break;
    }
    return isOpen();
}

bool QtSerialPort::waitForInput(int msecs)
{
    if (!isOpen())
        return false;
    if (m_port->bytesAvailable() > 0)
        return true;
    const bool got = m_port->waitForReadyRead(msecs < 0 ? 0 : msecs);
    if (m_port)
        m_port->clearError();
    return got && isOpen();
}
