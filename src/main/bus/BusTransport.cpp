#include "BusTransport.h"

#include "Clock.h"
#include "CommLog.h"
#include "LineReply.h"
#include "Protocol.h"
#include "SerialPort.h"
#include "StatusDecoder.h"
#include "UiServices.h"
#include "UsbBridge.h"
#include "globale_Funktionen.h"

#include <algorithm>
#include <cmath>

namespace {
// A drain reads at most this many buffer loads; a device that keeps sending
// faster than that is left for the reply collection to sort out.
constexpr int MaxDrainPieces = 64;
// Pause between queue polls on the bridge, so waiting costs no CPU.
constexpr double UsbPollPause = 0.0002;
}  // namespace

BusTransport::BusTransport(ISerialPort& serial, IUsbBridge& usb, IClock& clock, IUiServices& ui, CommLog& log)
    : m_serial(serial), m_usb(usb), m_clock(clock), m_ui(ui), m_log(log)
{
}

QString BusTransport::senden_empfangen(const QString& command, double timeout, protocol::Rejection mode)
{
    return exchange(command, timeout, mode, {});
}

QString BusTransport::sendTyped(const QString& command, double timeout, protocol::Rejection mode)
{
    line::Request request;
    request.typed = true;
    request.late = m_late.echoes();
    return exchange(command, timeout, mode, request);
}

QString BusTransport::exchange(const QString& command, double timeout, protocol::Rejection mode, line::Request request)
{
    if (beforeLongWait && (timeout > 0 && std::isfinite(timeout) ? timeout : protocol::DefaultTimeout) > LongWait)
        beforeLongWait();
    m_wartezeit = protocol::DefaultTimeout;
    if (timeout > 0 && std::isfinite(timeout))
        m_wartezeit = timeout;

    request.command = command.toLatin1();
    request.timeout = m_wartezeit;
    request.closers = "])";
    m_started.wrote(request.command);
    request.started = m_started.started();
    bool timedOut = false;
    QString result;
    if (usbMode()) {
        result = exchangeUsb(request, &timedOut);
    } else {
        if (!m_serial.isOpen()) {
            if (closedPortUsed)
                closedPortUsed();
            return QString();
        }
        result = exchangeSerial(request, &timedOut);
    }
    if (timedOut && result.size() < MinPartialReply)
        result = keine_Antwort;

    m_log.logExchange(command, result, m_aktiveEinheit);

    if (protocol::replyStatus(result) == protocol::ReplyStatus::Refused && !result.startsWith(QLatin1String("[1IA?"))) {
        if (mode == protocol::Rejection::Show) {
            fehler_anzeigen(result, m_ui, referenceRunActive);
        } else if (mode == protocol::Rejection::QueryStatus) {
            // One follow-up only: a unit that rejects every status query must
            // not start an endless chain of them.
            if (m_statusFollowUpDepth == 0) {
                ++m_statusFollowUpDepth;
                senden_empfangen(protocol::Status, 0.1, protocol::Rejection::QueryStatus);
                --m_statusFollowUpDepth;
            }
            if (command == protocol::Status)
                result = QStringLiteral("[0ST!00000000]");
        }
    }
    return result;
}

int BusTransport::lineBaud() const
{
    if (usbMode()) {
        bool ok = false;
        const int baud = baudText.toInt(&ok);
        return ok ? baud : 0;
    }
    return baudFromSettings(m_serial.settings());
}

void BusTransport::followPortQueue()
{
    // On a line a little slower than its setting the baud alone says the
    // line is free too early; the port knows what it has not sent yet.
    if (usbMode())
        return;
    const int unsent = m_serial.unsentCount();
    if (unsent > 0)
        m_lineFreeAt = std::max(m_lineFreeAt, m_clock.now() + unsent * line::characterTime(lineBaud()));
}

void BusTransport::waitForLine()
{
    // Each round waits for what the port still holds; a port whose queue
    // never empties (a far end that takes nothing) is not waited on forever.
    constexpr int MaxRounds = 8;
    for (int round = 0; round < MaxRounds; ++round) {
        followPortQueue();
        const double busy = m_lineFreeAt - m_clock.now();
        if (busy <= 0)
            return;
        m_clock.sleep(busy);
    }
}

double BusTransport::wrote(int count, bool replyless)
{
    const double now = m_clock.now();
    const int baud = lineBaud();
    m_lineFreeAt = std::max(now, m_lineFreeAt) +
                   (replyless ? line::replylessWireTime(count, baud) : count * line::characterTime(baud));
    return m_lineFreeAt - now;
}

void BusTransport::lineAnswered(const QByteArray& reply)
{
    // A unit answers only once the command has crossed the wire: a reply
    // shows the line is free, whatever the estimate by the baud says.
    if (!reply.isEmpty())
        m_lineFreeAt = std::min(m_lineFreeAt, m_clock.now());
}

void BusTransport::logDiscarded(const QByteArray& bytes)
{
    if (!bytes.isEmpty())
        m_log.insertLine(QStringLiteral("discarded: ") + QString::fromLatin1(bytes));
}

namespace {
class UsbReplySource final : public line::ReplySource
{
public:
    UsbReplySource(IUsbBridge& usb, quintptr handle, IClock& clock, quint8* buffer, std::function<QByteArray()> drain)
        : m_usb(usb), m_handle(handle), m_clock(clock), m_buffer(buffer), m_drain(std::move(drain))
    {
    }
    // Byte by byte, so that nothing after the closing bracket (the start of
    // another reply) is taken into this one.
    QByteArray take() override
    {
        quint32 waiting = 0;
        quint32 status = 0;
        if (m_usb.SI_CheckRXQueue(m_handle, &waiting, &status) != si::SUCCESS || status != si::RX_READY || waiting == 0)
            return QByteArray();
        quint32 got = 0;
        m_buffer[0] = 0;
        m_usb.SI_Read(m_handle, m_buffer, 1, &got);
        return got > 0 ? QByteArray(1, char(m_buffer[0])) : QByteArray();
    }
    void wait(double seconds) override { m_clock.sleep(std::min(UsbPollPause, seconds)); }
    bool open() const override { return true; }
    QByteArray drain() override { return m_drain(); }

private:
    IUsbBridge& m_usb;
    quintptr m_handle;
    IClock& m_clock;
    quint8* m_buffer;
    std::function<QByteArray()> m_drain;
};
}  // namespace

void BusTransport::replyRead(const QByteArray& bytes, const line::Reply& reply)
{
    lineAnswered(reply.bytes);
    logDiscarded(reply.discarded);
    m_late.note(bytes, reply.complete());
    m_started.answered(bytes, reply);
}

QString BusTransport::exchangeSerial(const line::Request& request, bool* timedOut)
{
    line::SerialReplySource source(m_serial);
    logDiscarded(source.drain());
    followPortQueue();
    m_serial.setWriteTimeout(line::writeTimeout(m_wartezeit, int(request.command.size()), lineBaud()));
    if (!m_serial.output(request.command)) {
        *timedOut = true;
        return QString();
    }
    // The first character cannot come before the command (and whatever was
    // written ahead of it) has crossed the wire.
    const line::Reply reply = readLine(line::replyRule(request, lineBaud(), wrote(int(request.command.size()))));
    replyRead(request.command, reply);
    *timedOut = !reply.complete();
    return QString::fromLatin1(reply.bytes);
}

line::Reply BusTransport::readLine(const line::ReplyRule& rule)
{
    if (!usbMode()) {
        line::SerialReplySource source(m_serial);
        return line::readReply(source, m_clock, rule);
    }
    UsbReplySource source(m_usb, USBHandle, m_clock, Empfangspuffer.data(), [this] { return drainUsb(); });
    return line::readReply(source, m_clock, rule);
}

QString BusTransport::lateReply(const QString& command, double timeout)
{
    if (!usbMode() && !m_serial.isOpen())
        return QString();
    line::Request request;
    request.command = command.toLatin1();
    request.timeout = timeout > 0 && std::isfinite(timeout) ? timeout : protocol::DefaultTimeout;
    request.closers = "])";
    request.started = m_started.started();
    const line::Reply reply = readLine(line::lateReplyRule(request, lineBaud()));
    replyRead(request.command, reply);
    if (!reply.complete())
        return keine_Antwort;
    const QString late = QString::fromLatin1(reply.bytes);
    m_log.insertLine(QStringLiteral("late: ") + late);
    return late;
}

QByteArray BusTransport::drainUsb()
{
    QByteArray drained;
    for (int piece = 0; piece < MaxDrainPieces; ++piece) {
        quint32 waiting = 0;
        quint32 status = 0;
        if (m_usb.SI_CheckRXQueue(USBHandle, &waiting, &status) != si::SUCCESS || waiting == 0)
            break;
        quint32 got = 0;
        const quint32 want = std::min<quint32>(waiting, BufferSize - 1);
        m_usb.SI_Read(USBHandle, Sendepuffer.data(), want, &got);
        if (got == 0)
            break;
        drained += QByteArray(reinterpret_cast<const char*>(Sendepuffer.data()), int(std::min(got, want)));
    }
    return drained;
}

void BusTransport::writeUsb(const QByteArray& bytes)
{
    // The bridge buffer holds 257 bytes; longer commands (position tables)
    // go out in pieces that fit it.
    constexpr int Piece = BufferSize - 1;
    for (int offset = 0; offset < bytes.size(); offset += Piece) {
        const int n = std::min<int>(Piece, int(bytes.size()) - offset);
        bytes_fuellen(Sendepuffer.data(), 0, 256);
        std::copy_n(bytes.constData() + offset, n, Sendepuffer.begin());
        quint32 written = 0;
        USBStatus = m_usb.SI_Write(USBHandle, Sendepuffer.data(), quint32(n), &written);
    }
}

bool BusTransport::reapplyUsbBaud()
{
    bool ok = false;
    const int baud = baudText.toInt(&ok);
    USBStatus = m_usb.SI_SetBaudRate(USBHandle, ok && baud > 0 ? quint32(baud) : 0);
    if (USBStatus == si::SUCCESS)
        return true;
    m_usb.SI_Close(USBHandle);
    USBHandle = 0;
    return false;
}

QString BusTransport::exchangeUsb(const line::Request& request, bool* timedOut)
{
    logDiscarded(drainUsb());
    bytes_fuellen(Sendepuffer.data(), 0, 256);
    bytes_fuellen(Empfangspuffer.data(), 0, 256);
    writeUsb(request.command);
    const line::Reply reply = readLine(line::replyRule(request, lineBaud(), wrote(int(request.command.size()))));
    replyRead(request.command, reply);
    *timedOut = !reply.complete();
    if (*timedOut && reply.bytes.size() < MinPartialReply)
        reapplyUsbBaud();
    return QString::fromLatin1(reply.bytes);
}

void BusTransport::einheit_waehlen(const QString& address)
{
    if (address.isEmpty())
        return;
    if (!usbMode()) {
        // Selecting on a closed port sends nothing and selects nothing; the
        // next exchange reports the closed port by its empty result.
        if (!m_serial.isOpen())
            return;
        waitForLine();
        const QByteArray bytes = protocol::selection(address).toLatin1();
        // The windows that own the port leave their own (long) write time-out
        // on it; a selection is bounded by the transport's, as its exchanges are.
        m_serial.setWriteTimeout(line::writeTimeout(m_wartezeit, int(bytes.size()), lineBaud()));
        m_serial.output(bytes);
        m_started.wrote(bytes);
        wrote(int(bytes.size()), true);
    } else {
        waitForLine();
        bytes_fuellen(Sendepuffer.data(), 0, 256);
        const QByteArray bytes = protocol::selection(address).toLatin1();
        for (int i = 0; i < bytes.size() && i < 256; ++i)
            Sendepuffer[i] = quint8(bytes.at(i));
        quint32 written = 0;
        USBStatus = m_usb.SI_Write(USBHandle, Sendepuffer.data(), 3, &written);
        m_started.wrote(QByteArray(reinterpret_cast<const char*>(Sendepuffer.data()), 3));
        wrote(3, true);
        drainUsb();
    }
    m_aktiveEinheit = address;
}
