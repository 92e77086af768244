#pragma once
// Every exchange between the program and the units on the bus: unit selection
// (`einheit_waehlen`) and one command with its reply (`senden_empfangen`), over
// the serial port or the USB bridge. It holds the transport's shared state
// (mode, USB handle and buffers, selected unit, time-out, event lock), logs
// each exchange and hands rejections to the status decoder.

#include <QByteArray>
#include <QString>

#include "LineReply.h"
#include "Protocol.h"

#include <array>
#include <functional>

class CommLog;
class IClock;
class ISerialPort;
class IUiServices;
class IUsbBridge;

// "1": no complete reply came in time.
inline const QString keine_Antwort = QStringLiteral("1");

class BusTransport
{
public:
    static constexpr int BufferSize = 257;
    // A reply this long is returned even when its end did not come in time.
    static constexpr int MinPartialReply = 20;
    // An exchange that may wait longer than this (its time-out, in seconds)
    // first runs `beforeLongWait`.
    static constexpr double LongWait = 0.1;

    BusTransport(ISerialPort& serial, IUsbBridge& usb, IClock& clock, IUiServices& ui, CommLog& log);

    // Sends one command and returns the reply, keine_Antwort ("1") when no
    // complete reply came in time (or the far end did not take the command
    // in time), or the empty text on a closed serial port. Bytes waiting
    // before the command goes out are discarded and logged as such. The
    // reply is read by the line's rule (LineReply.h), with `timeout` for its
    // first character; what the rule passes over is logged as discarded.
    // `timeout` <= 0 means protocol::DefaultTimeout. `mode` says what follows a
    // rejection (protocol::Rejection).
    QString senden_empfangen(const QString& command, double timeout = 0,
                             protocol::Rejection mode = protocol::Rejection::Show);
    // The same for a raw command the operator typed (a script line that is
    // no whole command frame), read by the line's looser rule for such
    // commands (LineReply.h).
    QString sendTyped(const QString& command, double timeout = 0, protocol::Rejection mode = protocol::Rejection::Show);

    // After `command` got no complete reply: waits up to `timeout` (<= 0:
    // DefaultTimeout) more for its late reply without writing anything, so that the
    // reply is not taken for the next command's. Returns it, or
    // keine_Antwort; everything else on the line is discarded and logged.
    QString lateReply(const QString& command, double timeout);

    // Selects a unit (DC2 + address text); no reply is awaited. The program's
    // output never runs ahead of the wire: a selection first waits until
    // what the transport wrote before has crossed the line, by its baud and
    // by the port's own count of unsent characters where it reports one.
    void einheit_waehlen(const QString& address);

    // Shared state of the transport that the port dialog, start-up and the
    // axis search set.
    QString Schnittstelle;  // "USB" or anything else (serial)
    quintptr USBHandle = 0;
    int USBStatus = 0;
    // The event lock: 1 while program code sets controls (EreignissperreGuard).
    int Ereignissperre = 0;
    // The unit selected last, and the time-out of the exchange under way.
    const QString& aktiveEinheit() const { return m_aktiveEinheit; }
    double Wartezeit() const { return m_wartezeit; }
    // The baud text last chosen (port dialog, start-up, axis search). USB
    // re-applies it after a silent exchange.
    QString baudText;
    // Whether the current control center runs its graphic-support reference
    // run (the decoder then only beeps for limit codes). Set by the main window.
    std::function<bool()> referenceRunActive;
    // Runs before an exchange whose time-out is longer than LongWait: the
    // window the operator is using shows what it has set so far (a "??"
    // caption, disabled buttons) before the program waits without events.
    std::function<void()> beforeLongWait;
    // Called when an exchange finds the serial port closed (it then returns
    // the empty result at once). Set by the main window.
    std::function<void()> closedPortUsed;

    bool usbMode() const { return Schnittstelle == QLatin1String("USB"); }
    ISerialPort& serial() { return m_serial; }
    IUsbBridge& usb() { return m_usb; }
    IClock& clock() { return m_clock; }
    IUiServices& ui() { return m_ui; }
    CommLog& log() { return m_log; }

private:
    QString exchange(const QString& command, double timeout, protocol::Rejection mode, line::Request request);
    QString exchangeUsb(const line::Request& request, bool* timedOut);
    QString exchangeSerial(const line::Request& request, bool* timedOut);
    // Reads one reply by `rule` from the port or the bridge in use.
    line::Reply readLine(const line::ReplyRule& rule);
    // Logs what the reply rule passed over and notes an unanswered command.
    void replyRead(const QByteArray& bytes, const line::Reply& reply);
    QByteArray drainUsb();
    // The baud of the line in use and the wire accounting of what the
    // transport wrote.
    int lineBaud() const;
    // Takes the port's own count of unsent characters into the estimate.
    void followPortQueue();
    void waitForLine();
    // Notes `count` characters written now (`replyless`: a selection, paced
    // with the margin of line::ReplylessPace); returns the seconds until
    // they have crossed the wire, including what was written ahead of them.
    double wrote(int count, bool replyless = false);
    void lineAnswered(const QByteArray& reply);
    void logDiscarded(const QByteArray& bytes);
    void writeUsb(const QByteArray& bytes);
    bool reapplyUsbBaud();

    ISerialPort& m_serial;
    IUsbBridge& m_usb;
    IClock& m_clock;
    IUiServices& m_ui;
    CommLog& m_log;
    int m_statusFollowUpDepth = 0;
    std::array<quint8, BufferSize> Sendepuffer{};
    std::array<quint8, BufferSize> Empfangspuffer{};
    QString m_aktiveEinheit;
    double m_wartezeit = protocol::DefaultTimeout;
    // When the bytes written so far have crossed the wire, by the baud.
    double m_lineFreeAt = 0.0;
    // Commands that got no reply: their late replies are known on the line.
    line::LateEchoes m_late;
    // What the units answered ">" to; the windows that write the serial port
    // themselves share it.
    line::StartedCommands m_started;
    line::StartedBinding m_startedOnSerial{m_serial, m_started};
};

// Sets the event lock for a scope and restores its previous value, so a
// return or an early exit can never leave it set.
class EreignissperreGuard
{
public:
    explicit EreignissperreGuard(BusTransport& t) : m_t(t), m_old(t.Ereignissperre) { m_t.Ereignissperre = 1; }
    ~EreignissperreGuard() { m_t.Ereignissperre = m_old; }
    EreignissperreGuard(const EreignissperreGuard&) = delete;
    EreignissperreGuard& operator=(const EreignissperreGuard&) = delete;

private:
    BusTransport& m_t;
    int m_old;
};
