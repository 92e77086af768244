#include "SerialPort.h"

#include "Settings.h"

#include <QDeadlineTimer>
#include <QScopedValueRollback>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

const QList<int>& supportedBauds()
{
    static const QList<int> bauds{110,   300,   600,   1200,   2400,   4800,   9600,   14400,  19200, 28800,
                                  38400, 56000, 57600, 115200, 128000, 230400, 256000, 460800, 921600};
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
    std::sort(paths.begin(), paths.end(), naturalLess);
    return paths;
}

bool PortMap::naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // Compare the runs as numbers without converting (no overflow):
            // leading zeros off, then the longer run is larger, then digit by digit.
            qsizetype si = i, sj = j;
            while (si + 1 < ei && a.at(si) == QLatin1Char('0'))
                ++si;
            while (sj + 1 < ej && b.at(sj) == QLatin1Char('0'))
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int c = QStringView(a).mid(si, ei - si).compare(QStringView(b).mid(sj, ej - sj));
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return a.size() - i < b.size() - j;
    return a < b;
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

QString lossReason(int fd, const QString& path)
{
    pollfd p{fd, POLLIN, 0};
    const bool hungUp = ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) != 0;
    // A pseudo-terminal's device file goes away when its far end closes;
    // only another device whose file went away was removed.
    // (Linux numbers the devices of pseudo-terminal slaves 136 to 143.)
    constexpr unsigned FirstPtyMajor = 136, LastPtyMajor = 143;
    struct stat st
    {
    };
    const bool pseudoTerminal = ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= FirstPtyMajor &&
                                major(st.st_rdev) <= LastPtyMajor;
    const bool gone = !QFileInfo::exists(path);
    if (gone && !pseudoTerminal)
        return QStringLiteral("Gerät entfernt");
    if (hungUp || gone)
        return QStringLiteral("Gegenstelle hat die Verbindung beendet");
    // A read without blocking returns nothing on a live line with nothing
    // waiting, as on a hung-up one; the hang-up was asked above. Only a
    // failing read is a loss. A byte it takes is input nobody waits for.
    char byte = 0;
    const ssize_t n = ::read(fd, &byte, 1);
    const int error = errno;
    if (n < 0 && error != EAGAIN && error != EINTR)
        return QStringLiteral("Lesefehler: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
    return {};
}

QtSerialPort::QtSerialPort(PortMap map, QObject* parent) : QObject(parent), m_map(map) {}

QtSerialPort::~QtSerialPort()
{
    close();
}

QString QtSerialPort::devicePath() const
{
    return m_port ? m_path : m_map.devicePath(m_number);
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
        // The serial port reports a device that another program holds (its
        // lock, or an exclusive open) as a permission error too; only a
        // device we may not read and write is a matter of group rights.
        if (port->error() == QSerialPort::PermissionError &&
            ::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0)
            m_error = tr("%1: permission denied (is the user in the dialout group?)").arg(path);
        else if (port->error() == QSerialPort::PermissionError)
            m_error = tr("%1: busy (another program uses it)").arg(path);
        else if (port->error() == QSerialPort::DeviceNotFoundError)
            m_error = tr("%1: no such device").arg(path);
        return false;
    }
    if (!port->setBaudRate(baud) || !port->setDataBits(QSerialPort::Data8) || !port->setParity(QSerialPort::NoParity) ||
        !port->setStopBits(QSerialPort::OneStop) || !port->setFlowControl(QSerialPort::NoFlowControl)) {
        m_error = tr("%1: settings refused: %2").arg(path, port->errorString());
        port->close();
        return false;
    }
    port->clear();
    port->setReadBufferSize(ReadBufferBound);
    connect(port.get(), &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { handleError(int(e)); });
    connect(port.get(), &QSerialPort::readyRead, this, [this] { discardIdleInput(); });
    m_port = std::move(port);
    m_path = path;
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
        // The serial port takes any read that returns nothing for an error,
        // and its code and text from whatever error the system left last,
        // often from an unrelated call: a read notification whose byte an
        // exchange's wait took meanwhile ends so on a live line. Ask the
        // device whether it is lost.
        const QString reason = lossReason(int(m_port->handle()), m_path);
        if (reason.isEmpty()) {
            m_port->clearError();
            // On a resource error the port stops its read notification;
            // setting the buffer bound starts it again.
            if (e == QSerialPort::ResourceError)
                m_port->setReadBufferSize(ReadBufferBound);
            return;
        }
        m_error = reason;
        const QString message = m_path + QStringLiteral(": ") + m_error;
        close();
        if (onLost)
            onLost(message);
    }
}

void QtSerialPort::discardIdleInput()
{
    // Called from the event loop, nobody waits for these bytes; inside one of
    // our own calls readyRead comes from a wait that does.
    if (m_busy == 0 && isOpen())
        m_port->readAll();
}

int QtSerialPort::inBufferCount()
{
    if (!isOpen())
        return 0;
    const QScopedValueRollback<int> busy(m_busy, m_busy + 1);
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
    const QScopedValueRollback<int> busy(m_busy, m_busy + 1);
    inBufferCount();
    return isOpen() ? m_port->readAll() : QByteArray();
}

bool QtSerialPort::output(const QByteArray& data)
{
    if (!isOpen())
        return false;
    const QScopedValueRollback<int> busy(m_busy, m_busy + 1);
    const QDeadlineTimer deadline(std::max(0, m_writeTimeout));
    if (m_port->write(data) != data.size()) {
        if (isOpen())
            m_port->clear(QSerialPort::Output);
        return false;
    }
    // Push the bytes to the driver now: nobody runs the event loop during an
    // exchange.
    while (isOpen() && m_port->bytesToWrite() > 0 && !deadline.hasExpired())
        m_port->waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime())));
    if (!isOpen())
        return false;
    if (m_port->bytesToWrite() > 0) {
        // The far end did not take them in time: they are dropped here, never
        // delivered later behind other commands.
        m_port->clear(QSerialPort::Output);
        return false;
    }
    return true;
}

int QtSerialPort::unsentCount()
{
    if (!isOpen())
        return -1;
    // What Qt still holds and what the driver's output queue holds.
    int queued = 0;
    if (::ioctl(int(m_port->handle()), TIOCOUTQ, &queued) != 0)
        queued = 0;
    return int(m_port->bytesToWrite()) + std::max(0, queued);
}

bool QtSerialPort::waitForInput(int msecs)
{
    if (!isOpen())
        return false;
    if (m_port->bytesAvailable() > 0)
        return true;
    const QScopedValueRollback<int> busy(m_busy, m_busy + 1);
    const bool got = m_port->waitForReadyRead(msecs < 0 ? 0 : msecs);
    if (m_port)
        m_port->clearError();
    return got && isOpen();
}
