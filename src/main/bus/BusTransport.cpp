#include "BusTransport.h"

#include "Clock.h"
#include "CommLog.h"
#include "SerialPort.h"
#include "StatusDecoder.h"
#include "UiServices.h"
#include "UsbBridge.h"
#include "globale_Funktionen.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr char DC2 = 0x12;
// A drain reads at most this many buffer loads; a device that keeps sending
// faster than that is left for the reply collection to sort out.
constexpr int MaxDrainPieces = 64;
// Pause between queue polls on the bridge, so waiting costs no CPU.
constexpr double UsbPollPause = 0.0002;

bool complete(const QString& reply)
{
    return reply.endsWith(QLatin1Char(']')) || reply.endsWith(QLatin1Char(')'));
}
} // namespace

BusTransport::BusTransport(ISerialPort& serial, IUsbBridge& usb, IClock& clock, IUiServices& ui, CommLog& log)
    : m_serial(serial), m_usb(usb), m_clock(clock), m_ui(ui), m_log(log)
{
}

QString BusTransport::senden_empfangen(const QString& command, double timeout, int mode)
{
    if (beforeLongWait && (timeout > 0 && std::isfinite(timeout) ? timeout : DefaultTimeout) > LongWait)
        beforeLongWait();
    m_wartezeit = DefaultTimeout;
    if (timeout > 0 && std::isfinite(timeout))
        m_wartezeit = timeout;

    bool timedOut = false;
    QString result;
    if (usbMode()) {
        result = exchangeUsb(command, &timedOut);
    } else {
        if (!m_serial.isOpen()) {
            if (closedPortUsed)
                closedPortUsed();
            return QString();
        }
        result = exchangeSerial(command, &timedOut);
    }
    if (timedOut && result.size() < MinPartialReply)
        result = keine_Antwort;

    m_log.logExchange(command, result, m_aktiveEinheit);

    if (result.mid(4, 1) == QLatin1String("?") && !result.startsWith(QLatin1String("[1IA?"))) {
        if (mode == 0) {
            fehler_anzeigen(result, m_ui, referenceRunActive);
        } else if (mode == 1) {
            // One follow-up only: a unit that rejects every status query must
            // not start an endless chain of them.
            if (m_statusFollowUpDepth == 0) {
                ++m_statusFollowUpDepth;
                senden_empfangen(QStringLiteral("[0ST]"), 0.1, 1);
                --m_statusFollowUpDepth;
            }
            if (command == QLatin1String("[0ST]"))
                result = QStringLiteral("[0ST!00000000]");
        }
    }
    return result;
}

QString BusTransport::exchangeSerial(const QString& command, bool* timedOut)
{
    if (m_serial.inBufferCount() > 0)
        m_serial.input();
    m_serial.setWriteTimeout(std::max(1, int(std::ceil(m_wartezeit * 1000.0))));
    if (!m_serial.output(command.toLatin1())) {
        *timedOut = true;
        return QString();
    }

    const double t0 = m_clock.now();
    QString reply;
    for (;;) {
        const double elapsed = m_clock.now() - t0;
        reply += QString::fromLatin1(m_serial.input());
        if (reply.size() >= MaxReply) {
            reply.truncate(MaxReply);
            m_serial.input();
            *timedOut = true;
            return reply;
        }
        // One comparison decides both the end of the wait and the verdict: a
        // reply that completes in a round begun after the deadline is late.
        const bool late = elapsed >= m_wartezeit;
        if (complete(reply) || late) {
            *timedOut = late;
            return reply;
        }
        if (!m_serial.isOpen()) {
            *timedOut = true;
            return reply;
        }
        const double remaining = m_wartezeit - elapsed;
        m_serial.waitForInput(std::max(1, int(std::ceil(remaining * 1000.0))));
    }
}

void BusTransport::drainUsb()
{
    for (int piece = 0; piece < MaxDrainPieces; ++piece) {
        quint32 waiting = 0;
        quint32 status = 0;
        if (m_usb.SI_CheckRXQueue(USBHandle, &waiting, &status) != si::SUCCESS || waiting == 0)
            return;
        quint32 got = 0;
        const quint32 want = std::min<quint32>(waiting, BufferSize - 1);
        m_usb.SI_Read(USBHandle, Sendepuffer.data(), want, &got);
        if (got == 0)
            return;
    }
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

QString BusTransport::exchangeUsb(const QString& command, bool* timedOut)
{
    drainUsb();
    bytes_fuellen(Sendepuffer.data(), 0, 256);
    bytes_fuellen(Empfangspuffer.data(), 0, 256);
    writeUsb(command.toLatin1());

    const double t0 = m_clock.now();
    QString reply;
    bool late = false;
    bool paused = false;
    double before = t0;
    for (;;) {
        const double t = m_clock.now();
        const double elapsed = t - t0;
        // A pause that did not move the clock means the time left is below
        // its resolution: the deadline is reached.
        late = elapsed >= m_wartezeit || (paused && t <= before);
        paused = false;
        before = t;
        quint32 waiting = 0;
        quint32 status = 0;
        const int rc = m_usb.SI_CheckRXQueue(USBHandle, &waiting, &status);
        if (rc == si::SUCCESS && status == si::RX_READY && waiting > 0) {
            // Byte by byte, so that nothing after the closing bracket (the
            // start of another reply) is taken into this one.
            quint32 got = 0;
            Empfangspuffer[0] = 0;
            m_usb.SI_Read(USBHandle, Empfangspuffer.data(), 1, &got);
            if (got > 0)
                reply += QChar::fromLatin1(char(Empfangspuffer[0]));
            if (complete(reply))
                break;
            if (reply.size() >= MaxReply) {
                drainUsb();
                late = true;
                break;
            }
            if (late)
                break;
            continue;
        }
        if (late)
            break;
        m_clock.sleep(std::min(UsbPollPause, m_wartezeit - elapsed));
        paused = true;
    }
    *timedOut = late;
    if (late && reply.size() < MinPartialReply)
        reapplyUsbBaud();
    return reply;
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
        m_serial.output(QByteArray(1, DC2) + address.toLatin1());
    } else {
        bytes_fuellen(Sendepuffer.data(), 0, 256);
        const QByteArray text = address.toLatin1();
        Sendepuffer[0] = quint8(DC2);
        for (int i = 0; i < text.size() && i + 1 < 256; ++i)
            Sendepuffer[i + 1] = quint8(text.at(i));
        quint32 written = 0;
        USBStatus = m_usb.SI_Write(USBHandle, Sendepuffer.data(), 3, &written);
        drainUsb();
    }
    m_aktiveEinheit = address;
}
