#include "Achsensuche.h"
#include "Guarded.h"

#include "BusTransport.h"
#include "Protocol.h"
#include "SerialPort.h"
#include "Settings.h"
#include "UsbBridge.h"
#include "globale_Funktionen.h"

namespace {
// The address the probe asks: a motor axis is normally set up there.
const QString ProbeAddress = QStringLiteral("01");
}  // namespace

Achsensuche::Achsensuche(BusTransport& bus) : m_bus(bus) {}

QString Achsensuche::setting() const
{
    return m_bus.usbMode() ? m_bus.baudText : m_bus.serial().settings();
}

bool Achsensuche::einstellen(const QString& baud)
{
    if (m_bus.usbMode()) {
        bool ok = false;
        const quint32 rate = baud.toUInt(&ok);
        if (!ok)
            return false;
        m_bus.USBStatus = m_bus.usb().SI_SetBaudRate(m_bus.USBHandle, rate);
        if (m_bus.USBStatus != si::SUCCESS)
            return false;
        // The transport puts this rate back on the bridge after every silent
        // exchange, so it must name the rate now in force.
        m_bus.baudText = baud;
        return true;
    }
    ISerialPort& serial = m_bus.serial();
    // A closed port stays closed: the search must not open a port the
    // operator released or that failed to open.
    const bool wasOpen = serial.isOpen();
    if (wasOpen)
        serial.close();
    serial.setSettings(baud);
    m_bus.baudText = baud;
    return !wasOpen || serial.open();
}

QString Achsensuche::transact(const QString& command, double timeout)
{
    return m_bus.senden_empfangen(command, timeout, protocol::Rejection::Show);
}

QString Achsensuche::baudProbe()
{
    const QString vorher = setting();
    const bool portWasOpen = !m_bus.usbMode() && m_bus.serial().isOpen();
    // A failing exchange ends the probe like a silent bus does.
    QString found;
    kit::guarded("baud probe", [&] {
        for (const QString& rate : BaudRates) {
            if (!einstellen(rate))
                break;
            transact(protocol::selection(ProbeAddress), ProbeTimeout);
            if (isReply(transact(protocol::Version, ProbeTimeout))) {
                found = rate;
                return;
            }
        }
    });
    if (!found.isEmpty())
        return found;
    kit::guarded("baud probe: restore the rate", [&] {
        einstellen(vorher);
        // A rate the port refused left it closed; the bus is given back
        // as it was found.
        if (portWasOpen && !m_bus.serial().isOpen())
            m_bus.serial().open();
    });
    return setting();
}

double Achsensuche::scanTimeout(const QString& baud)
{
    const QString baudPrefix = baud.left(3);
    if (baudPrefix == QLatin1String("960"))
        return 0.02;
    for (const char* fastBaud : {"192", "384", "576", "115", "256"})
        if (baudPrefix == QLatin1String(fastBaud))
            return 0.01;
    return 0;
}

bool Achsensuche::isReply(const QString& reply)
{
    return !reply.isEmpty() && reply != keine_Antwort;
}

QString Achsensuche::axisEntry(int i, const QString& reply)
{
    if (i == 0)
        return GroupAddress;
    if (isReply(reply) && reply.mid(5, 2) != QLatin1String("IK"))
        return hex2(i);
    return QString();
}

QStringList Achsensuche::addressScan(double timeout, const std::function<void(int)>& onProgress)
{
    QStringList addressTable;
    for (int i = 0; i < AxisCount; ++i) {
        transact(protocol::selection(hex2(i)), timeout);
        // Every address is asked the same "[0VN]", so its echo cannot say
        // who answered. A unit that starts late (its turnaround, a USB
        // adapter's latency timer) is given the time-out once more before
        // the next address is selected: a reply that completes then is this
        // address's, and cannot fall into the next one's exchanges.
        QString reply = transact(protocol::Version, timeout);
        if (reply == keine_Antwort)
            reply = m_bus.lateReply(protocol::Version, timeout);
        addressTable << axisEntry(i, reply);
        if (onProgress)
            onProgress(i);
    }
    return addressTable;
}

Achsensuche::Result Achsensuche::runSearch(AppSettings& settings, const std::function<void()>& scanBegins,
                                           const std::function<void(int)>& onProgress)
{
    Result e;
    e.baud = baudProbe();
    settings.setValue(QStringLiteral("Startup"), QStringLiteral("Backup_Settings"), e.baud);
    settings.sync();
    e.timeout = scanTimeout(e.baud);
    if (scanBegins)
        scanBegins();
    e.addressTable = addressScan(e.timeout, onProgress);
    return e;
}
