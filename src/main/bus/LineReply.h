#pragma once
// How one reply is read off the bus line. The transport and the windows that
// write the serial port themselves (sequence window, terminal, guided
// calibration) all read their replies by this one rule:
//
// - The caller's time-out counts until the first character of the reply. It
//   is never shorter than the wire time of the request (and of what the
//   program wrote ahead of it) plus a turnaround margin, so a unit that
//   answers at once is never cut off by the line's own speed.
// - The reply to a command is one whole frame that begins with its echo:
//   the opening bracket, the unit digit and the command letters ("[1vE" for
//   "[1vE]"). Bytes before it, text that is no frame and whole frames that
//   echo something else (a late reply to an earlier command, a stray
//   message) are discarded, and the wait goes on. A frame opened by "["
//   ends at "]" and breaks off only at the next "["; one opened by "(" ends
//   at ")" and breaks off only at the next "(" (a free text such as a
//   channel identifier may hold the other kind). A broken-off frame is
//   discarded, the command's own too. The motion poll "[0po]" is answered
//   "[0po!]" while the axis moves and, once it stands, with the final echo
//   ("!" or "?" at the fifth character) of the unit's last motion command,
//   whoever sent it: a command known to start a motion, or any command the
//   line saw the selected unit answer ">" (`StartedCommands`). A "started"
//   echo does not answer it. A unit answers each command once and in order,
//   so when another frame that could answer the poll follows a final echo
//   within `Turnaround`, the final echo was a late one and the later frame
//   is the answer; a frame of any other kind behind it changes nothing. A
//   frame of values only carries no echo: it is the reply to "[0M1]" alone.
//   A command that is no frame (a selection sent as an exchange) takes the
//   first whole frame that came by its time-out and waits for nothing past
//   it. An operator's own raw command is looser: only frames that echo one
//   of the caller's earlier commands that got no reply are discarded;
//   anything else is the reply as it comes, read past the time-out up to
//   the length of the longest reply a unit sends.
// - Once the line has begun to answer, the reply is read to its closing
//   bracket as long as characters keep coming at about the line's speed.
//   Past the time-out it ends, as no answer, on a silence of a few character
//   times; on a trickle, once the time since its first character is more
//   than twice the wire time of what has come plus `MinSilence`; or on
//   overtime, once it is longer than `LongestReply`, which no unit sends (a
//   far end that streams behind an echo), or once other frames have held
//   the wait `PassOverCharacters` character times past the time-out (so
//   that a stray frame just in front of the reply is passed over). Text
//   that is no frame does not extend the wait at all, so a far end that
//   streams without pause holds the program hardly longer than the time-out.
// - Nothing that arrives after a time-out without a first character is
//   taken: a caller may still wait for its late reply.
// - A reply that reaches `protocol::MaxReply` characters (counting what was
//   discarded) is cut there and what is waiting behind it is drained.
// - Before a command is written, bytes already waiting (the tail of an
//   earlier reply) are discarded.

#include <QByteArray>
#include <QHash>
#include <QList>

#include "Protocol.h"

class IClock;
class ISerialPort;

namespace line {

// The margin for the unit to turn round and start its reply (also how long
// a poll's final echo waits for a newer answer behind it).
constexpr double Turnaround = 0.010;
// A started reply ends after this many character times without a character...
constexpr int SilenceCharacters = 4;
// ...but never before this much silence: operating-system and USB-adapter
// latency delivers the characters of one reply in bursts.
constexpr double MinSilence = 0.020;
// The echo of a command: its opening bracket, unit digit and two command
// characters.
constexpr int EchoLength = 4;
// The longest reply a unit sends (the "[1XL]" record and its kin), with a
// margin: how far a begun frame is read on past the time-out.
constexpr int LongestReply = 1100;
// Past the time-out, what is not the reply may hold the wait this many
// character times more: about a stray frame in front of the reply.
constexpr int PassOverCharacters = 100;
// A write that gets no reply (a selection, a broadcast) is paced as if the
// line ran this fraction of its baud. No reply shows when such bytes have
// crossed, and a port may not count what it has not sent (a pseudo-terminal,
// a network port, some USB bridges report 0): with the margin, a line up to
// 10 % slower than its setting still keeps up.
constexpr double ReplylessPace = 0.88;

// Seconds one character takes on the wire (10 bits); 0 for an unknown baud.
double characterTime(int baud);
// The time-out for the first character of a reply: `timeout`, but never less
// than `requestWireTime` plus the turnaround margin.
double firstCharacterTimeout(double timeout, double requestWireTime);
// Milliseconds the port may take to hand over a command of `count`
// characters: the first-character time-out, with the wire time counted up to
// `protocol::MaxReply` characters at most (no command is longer), so that a far end
// that takes nothing cannot hold the program for the wire time of a flood.
int writeTimeout(double timeout, int count, int baud);
// The silence that ends a started reply at `baud`.
double silenceLimit(int baud);
// Seconds the line takes for `count` characters written without a reply.
double replylessWireTime(int count, int baud);
// What the reply to `command` begins with: up to `EchoLength` characters of
// it, ending before its closing bracket; empty for text that is no frame.
QByteArray echoOf(const QByteArray& command);

// The echoes of a caller's commands that got no complete reply, newest
// last, so that their late replies are known when they arrive.
class LateEchoes
{
public:
    static constexpr int Kept = 8;
    void note(const QByteArray& command, bool answered);
    const QList<QByteArray>& echoes() const { return m_echoes; }

private:
    QList<QByteArray> m_echoes;
};

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
    Capped,    // reached protocol::MaxReply characters
    Closed,    // the port closed during the wait
};

struct Reply
{
    QByteArray bytes;
    // Bytes and frames on the line that were not the reply.
    QByteArray discarded;
    ReplyEnd end = ReplyEnd::TimedOut;
    bool complete() const { return end == ReplyEnd::Complete; }
};

struct ReplyRule
{
    double firstCharacterTimeout = protocol::DefaultTimeout;
    double silence = MinSilence;
    // Seconds a character takes on the wire (0 for an unknown baud).
    double characterTime = 0.0;
    // Seconds past the time-out that bytes which are not the reply may hold
    // the wait.
    double passOver = 0.0;
    // The characters that end a reply.
    QByteArray closers = "]";
    // A frame that begins with one of these is the reply; none: the first
    // whole frame is.
    QList<QByteArray> echoes;
    // A frame that begins with one of these is the reply too, unless a frame
    // that is one follows it within `Turnaround` (the poll's final echoes).
    QList<QByteArray> finals;
    // A frame of values only is the reply too.
    bool valuesOnly = false;
    // An operator's raw command: only frames that echo one of `late` are
    // discarded.
    bool typed = false;
    QList<QByteArray> late;
};

// One command to be answered, as its caller knows it.
struct Request
{
    QByteArray command;
    // Seconds for the first character (the wire time of the request aside).
    double timeout = protocol::DefaultTimeout;
    QByteArray closers = "]";
    // An operator's raw command, and the echoes of the caller's earlier
    // commands that got no reply.
    bool typed = false;
    QList<QByteArray> late;
    // The echoes of the commands the selected unit answered ">" (started).
    QList<QByteArray> started;
};

// The rule for the reply to `request` on a line at `baud` (0: unknown),
// written just now; its first character cannot come before `wireTime`
// (the request and whatever was written ahead of it) has passed.
ReplyRule replyRule(const Request& request, int baud, double wireTime);
// The rule for a reply to `request` that may still come after its exchange
// ended without one: its time-out for the first character, nothing else
// taken and nothing waited for beyond it but the reply itself.
ReplyRule lateReplyRule(const Request& request, int baud);

// What the units on one line answered ">" (started) to, whichever window
// sent the command: a standing unit answers the motion poll with the final
// echo of such a command. A unit is the one the last selection (DC2 and two
// characters) written to the line named.
class StartedCommands
{
public:
    // Commands kept for each unit, the oldest dropped first.
    static constexpr int Kept = 16;
    // Notes bytes written to the line.
    void wrote(const QByteArray& bytes);
    // Notes the reply to `command` from the selected unit.
    void answered(const QByteArray& command, const Reply& reply);
    // The echoes of the commands the selected unit answered ">".
    const QList<QByteArray>& started() const { return m_current; }

private:
    QByteArray m_unit;
    QList<QByteArray> m_current;
    QHash<QByteArray, QList<QByteArray>> m_byUnit;
};

// The record of the line `port` carries, kept by the transport over that
// port, so that the windows that write the port themselves share it;
// nullptr when nobody keeps one.
StartedCommands* startedOn(const ISerialPort& port);
// Makes `record` the one of `port`'s line while it lives.
class StartedBinding
{
public:
    StartedBinding(const ISerialPort& port, StartedCommands& record);
    ~StartedBinding();
    StartedBinding(const StartedBinding&) = delete;
    StartedBinding& operator=(const StartedBinding&) = delete;

private:
    const ISerialPort& m_port;
    StartedCommands& m_record;
};

// Collects one reply by the rule above. Always ends: on the closing bracket,
// the time-outs, the trickle bound, the cap, or a closed source. A clock that no longer moves
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
// `discarded` holds what waited before the write and what the reply rule
// passed over.
struct PortExchange
{
    QByteArray discarded;
    Reply reply;
    bool written = false;  // false: the port was closed or refused the bytes
};
// A command the program made: its reply is the frame with its echo.
PortExchange exchangeOnPort(ISerialPort& port, IClock& clock, const QByteArray& command, double timeout);
// A raw command the operator typed: late replies to the caller's earlier
// commands (`late`, which notes this one when it gets no reply) are passed
// over; any other reply is taken as it comes.
PortExchange exchangeTyped(ISerialPort& port, IClock& clock, const QByteArray& command, double timeout,
                           LateEchoes& late);

// Writes bytes that get no reply (a unit selection, a broadcast) for the
// windows that own the port, then waits until the line has carried them: a
// window that writes faster than the wire never queues output ahead of it
// (paced by `replylessWireTime`).
// False when the port is closed or refused the bytes.
bool writeOnPort(ISerialPort& port, IClock& clock, const QByteArray& bytes);

}  // namespace line
