#pragma once
// How one reply is read off the bus line. The transport and the windows that
// write the serial port themselves (sequence window, terminal, guided
// calibration) all read their replies by this one rule:
//
// - The caller's time-out counts until the first character of the reply. It
//   is never shorter than the wire time of the request (and of what the
//   program wrote ahead of it) plus a turnaround margin, so a unit that
//   answers at once is never cut off by the line's own speed.
// - Once a reply has begun, it is read to its closing bracket as long as
//   characters keep coming; it ends, unfinished, only after the time-out has
//   passed and the line has then been silent for a few character times.
// - A reply that reaches `MaxReply` characters is cut there and what is
//   waiting behind it is drained.
// - Before a command is written, bytes already waiting (the tail of an
//   earlier reply) are discarded, so each reply belongs to its command.

#include <QByteArray>

class IClock;
class ISerialPort;

namespace line {

// The margin for the unit to turn round and start its reply.
constexpr double Turnaround = 0.010;
// A started reply ends after this many character times without a character...
constexpr int SilenceCharacters = 4;
// ...but never before this much silence: operating-system and USB-adapter
// latency delivers the characters of one reply in bursts.
constexpr double MinSilence = 0.020;
// The longest reply collected; the longest any unit sends (the "[1XL]"
// record) is about 1 KB.
constexpr int MaxReply = 4096;

// Seconds one character takes on the wire (10 bits); 0 for an unknown baud.
double characterTime(int baud);
// The time-out for the first character of a reply: `timeout`, but never less
// than `requestWireTime` plus the turnaround margin.
double firstCharacterTimeout(double timeout, double requestWireTime);
// Milliseconds the port may take to hand over a command of `count`
// characters: the first-character time-out, with the wire time counted up to
// `MaxReply` characters at most (no command is longer), so that a far end
// that takes nothing cannot hold the program for the wire time of a flood.
int writeTimeout(double timeout, int count, int baud);
// The silence that ends a started reply at `baud`.
double silenceLimit(int baud);

// Where reply bytes come from: the serial port or the USB bridge.
class ReplySource
{
public:
    virtual ~ReplySource() = default;
    // Bytes that have arrived (they are removed), possibly none.
    virtual QByteArray take() = 0;
    // Waits until input arrives or `seconds` pass.
    virtual void wait(double seconds) = 0;
    virtual bool open() const = 0;
    // Throws away whatever is waiting; returns it.
    virtual QByteArray drain() = 0;
};

enum class ReplyEnd
{
    Complete,  // ended on its closing bracket before the time-out ran out
    TimedOut,  // no first character in time, or silence before its end
    Capped,    // reached MaxReply characters
    Closed,    // the port closed during the wait
};

struct Reply
{
    QByteArray bytes;
    ReplyEnd end = ReplyEnd::TimedOut;
    bool complete() const { return end == ReplyEnd::Complete; }
};

struct ReplyRule
{
    double firstCharacterTimeout = 0.2;
    double silence = MinSilence;
    // The characters that end a reply.
    QByteArray closers = "]";
};

// Collects one reply by the rule above. Always ends: on the closing bracket,
// the time-outs, the cap, or a closed source. A clock that no longer moves
// while waiting counts as past every deadline.
Reply readReply(ReplySource& source, IClock& clock, const ReplyRule& rule);

// The serial port as a reply source.
class SerialReplySource final : public ReplySource
{
public:
    explicit SerialReplySource(ISerialPort& port) : m_port(port) {}
    QByteArray take() override;
    void wait(double seconds) override;
    bool open() const override;
    QByteArray drain() override;

private:
    ISerialPort& m_port;
};

// One exchange on the serial port for the windows that own it: discards what
// is waiting, writes `command` and reads its reply by the rule, with
// `timeout` for the first character and the port's baud for the wire time.
struct PortExchange
{
    QByteArray discarded;
    Reply reply;
    bool written = false;  // false: the port was closed or refused the bytes
};
PortExchange exchangeOnPort(ISerialPort& port, IClock& clock, const QByteArray& command, double timeout);

// Writes bytes that get no reply (a unit selection, a broadcast) for the
// windows that own the port, then waits until the line has carried them: a
// window that writes faster than the wire never queues output ahead of it.
// False when the port is closed or refused the bytes.
bool writeOnPort(ISerialPort& port, IClock& clock, const QByteArray& bytes);

}  // namespace line
