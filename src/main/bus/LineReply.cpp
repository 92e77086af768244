#include "LineReply.h"

#include "Clock.h"
#include "SerialPort.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace line {

namespace {
bool isOpener(char c)
{
    return c == '[' || c == '(';
}
bool isCloser(char c)
{
    return c == ']' || c == ')';
}
}  // namespace

double characterTime(int baud)
{
    return baud > 0 ? 10.0 / baud : 0.0;
}

double firstCharacterTimeout(double timeout, double requestWireTime)
{
    return std::max(timeout, requestWireTime + Turnaround);
}

int writeTimeout(double timeout, int count, int baud)
{
    const double wire = std::min(count, MaxReply) * characterTime(baud);
    return std::max(1, int(std::ceil(firstCharacterTimeout(timeout, wire) * 1000.0)));
}

double silenceLimit(int baud)
{
    return std::max(MinSilence, SilenceCharacters * characterTime(baud));
}

QByteArray echoOf(const QByteArray& command)
{
    if (command.isEmpty() || !isOpener(command.at(0)))
        return QByteArray();
    QByteArray echo = command.left(EchoLength);
    for (int i = 1; i < echo.size(); ++i) {
        if (isCloser(echo.at(i))) {
            echo.truncate(i);
            break;
        }
    }
    return echo;
}

QByteArray replyEcho(const QByteArray& command)
{
    const QByteArray echo = echoOf(command);
    return echo == "[0po" ? QByteArray() : echo;
}

void LateEchoes::note(const QByteArray& command, bool answered)
{
    const QByteArray echo = echoOf(command);
    if (echo.isEmpty())
        return;
    m_echoes.removeAll(echo);
    if (answered)
        return;
    m_echoes.append(echo);
    while (m_echoes.size() > Kept)
        m_echoes.removeFirst();
}

namespace {

// Splits what arrives on the line into the reply and what is not the reply.
class FrameSorter
{
public:
    explicit FrameSorter(const ReplyRule& rule) : m_rule(rule) {}

    // Takes newly arrived bytes; true once the reply is complete.
    bool add(const QByteArray& got)
    {
        m_pending += got;
        return m_rule.echo.isEmpty() || m_rule.typed ? sortTyped() : sortOwn();
    }
    // The reply so far (its complete frame once `add` said so).
    const QByteArray& reply() const { return m_pending; }
    // The line ends before the reply did: a frame that is not the command's
    // own is no part of it.
    void finish()
    {
        if (m_rule.echo.isEmpty() || m_rule.typed)
            return;
        const qsizetype n = std::min(m_pending.size(), m_rule.echo.size());
        if (m_pending.left(n) != m_rule.echo.left(n))
            discard(m_pending.size());
    }
    QByteArray discarded;

private:
    void discard(qsizetype count)
    {
        discarded += m_pending.left(count);
        m_pending.remove(0, count);
    }
    qsizetype closerAt(qsizetype from) const
    {
        for (qsizetype i = from; i < m_pending.size(); ++i)
            if (m_rule.closers.contains(m_pending.at(i)))
                return i;
        return -1;
    }
    // Ends the reply at `closer`; anything behind it is not the reply.
    bool complete(qsizetype closer)
    {
        discarded += m_pending.mid(closer + 1);
        m_pending.truncate(closer + 1);
        return true;
    }
    bool sortOwn()
    {
        for (;;) {
            qsizetype open = 0;
            while (open < m_pending.size() && !isOpener(m_pending.at(open)))
                ++open;
            discard(open);
            if (m_pending.isEmpty())
                return false;
            const qsizetype n = std::min(m_pending.size(), m_rule.echo.size());
            if (m_pending.left(n) == m_rule.echo.left(n)) {
                // The command's own reply, or the start of it.
                const qsizetype closer = n == m_rule.echo.size() ? closerAt(1) : -1;
                return closer >= 0 && complete(closer);
            }
            // Another frame: discarded once it ends, or up to the next
            // opening bracket when it breaks off there.
            qsizetype end = 1;
            while (end < m_pending.size() && !isOpener(m_pending.at(end)) &&
                   !m_rule.closers.contains(m_pending.at(end)))
                ++end;
            if (end == m_pending.size())
                return false;
            if (isOpener(m_pending.at(end))) {
                discard(end);
                continue;
            }
            if (isValuesOnly(m_pending.left(end + 1)))
                return complete(end);
            discard(end + 1);
        }
    }
    bool sortTyped()
    {
        for (;;) {
            bool late = false;
            for (const QByteArray& echo : m_rule.late)
                late = late || (m_pending.startsWith(echo) && echo != m_rule.echo);
            const qsizetype closer = late ? closerAt(1) : -1;
            if (closer < 0)
                break;
            discard(closer + 1);
        }
        return !m_pending.isEmpty() && m_rule.closers.contains(m_pending.back());
    }
    static bool isValuesOnly(const QByteArray& frame)
    {
        // "[" + six hexadecimal digits, then a separator and six digits for
        // each further value, then the closing bracket.
        if (frame.size() < 8 || (frame.size() - 8) % 7 != 0)
            return false;
        for (qsizetype i = 1; i + 1 < frame.size(); ++i) {
            const bool separator = i % 7 == 0;
            if (!separator && !std::isxdigit(static_cast<unsigned char>(frame.at(i))))
                return false;
        }
        return true;
    }

    const ReplyRule& m_rule;
    QByteArray m_pending;
};

}  // namespace

Reply readReply(ReplySource& source, IClock& clock, const ReplyRule& rule)
{
    Reply r;
    FrameSorter sorter(rule);
    const double t0 = clock.now();
    const double deadline = t0 + rule.firstCharacterTimeout;
    double lastCharacter = t0;
    double replyStart = t0;  // when the reply so far began to arrive
    qsizetype total = 0;     // everything taken, discarded or not
    bool waited = false;
    double before = t0;
    // Seconds the reply may take from its first character (and the whole
    // exchange from its deadline): twice its wire time and a margin.
    const auto allowance = [&](qsizetype count) { return 2.0 * count * rule.characterTime + MinSilence; };
    for (;;) {
        const double now = clock.now();
        // A wait that did not move the clock means what is left is below its
        // resolution: every deadline is reached.
        const bool stuck = waited && now <= before;
        waited = false;
        before = now;
        const bool lineStarted = total > 0;
        const bool replyStarted = !sorter.reply().isEmpty();
        const bool pastTimeout = stuck || now >= deadline;

        const QByteArray got = source.take();
        total += got.size();
        const qsizetype discardedBefore = sorter.discarded.size();
        const bool done = !got.isEmpty() && sorter.add(got);
        r.bytes = sorter.reply();
        r.discarded = sorter.discarded;
        // A frame that begins after other frames were passed over is timed
        // from its own first character.
        if (!r.bytes.isEmpty() && (!replyStarted || r.discarded.size() != discardedBefore))
            replyStart = now;
        // One comparison decides both the end of the wait and the verdict: a
        // first character taken in a round begun after the time-out is late;
        // a started reply is late when nothing more came after it, or when
        // it trickles far slower than the line carries characters.
        bool late = false;
        if (!lineStarted)
            late = pastTimeout;
        else
            late = pastTimeout && ((got.isEmpty() && (stuck || now - lastCharacter >= rule.silence)) ||
                                   (replyStarted && now - replyStart > allowance(r.bytes.size())) ||
                                   now - deadline > allowance(total));
        if (!got.isEmpty())
            lastCharacter = now;

        const auto end = [&](ReplyEnd how) {
            if (how != ReplyEnd::Complete) {
                sorter.finish();
                r.bytes = sorter.reply();
                r.discarded = sorter.discarded;
            }
            r.end = how;
            return r;
        };
        if (total >= MaxReply) {
            source.drain();
            end(ReplyEnd::Capped);
            r.bytes.truncate(std::max<qsizetype>(0, r.bytes.size() - (total - MaxReply)));
            return r;
        }
        if (done)
            return end(late ? ReplyEnd::TimedOut : ReplyEnd::Complete);
        if (late)
            return end(ReplyEnd::TimedOut);
        if (!source.open())
            return end(ReplyEnd::Closed);
        double until = deadline;
        if (total > 0) {
            until = std::max(until, lastCharacter + rule.silence);
            if (!r.bytes.isEmpty())
                until = std::min(until, std::max(deadline, replyStart + allowance(r.bytes.size())));
        }
        source.wait(std::max(0.0, until - now));
        waited = true;
    }
}

QByteArray SerialReplySource::take()
{
    return m_port.input();
}

void SerialReplySource::wait(double seconds)
{
    m_port.waitForInput(std::max(1, int(std::ceil(seconds * 1000.0))));
}

bool SerialReplySource::open() const
{
    return m_port.isOpen();
}

QByteArray SerialReplySource::drain()
{
    return m_port.inBufferCount() > 0 ? m_port.input() : QByteArray();
}

namespace {
PortExchange exchange(ISerialPort& port, IClock& clock, const QByteArray& command, double timeout, ReplyRule rule)
{
    PortExchange x;
    if (!port.isOpen())
        return x;
    SerialReplySource source(port);
    x.discarded = source.drain();
    const int baud = baudFromSettings(port.settings());
    rule.characterTime = characterTime(baud);
    rule.firstCharacterTimeout = firstCharacterTimeout(timeout, command.size() * rule.characterTime);
    rule.silence = silenceLimit(baud);
    rule.echo = replyEcho(command);
    port.setWriteTimeout(writeTimeout(timeout, int(command.size()), baud));
    x.written = port.output(command);
    if (!x.written)
        return x;
    x.reply = readReply(source, clock, rule);
    x.discarded += x.reply.discarded;
    return x;
}
}  // namespace

PortExchange exchangeOnPort(ISerialPort& port, IClock& clock, const QByteArray& command, double timeout)
{
    return exchange(port, clock, command, timeout, ReplyRule());
}

PortExchange exchangeTyped(ISerialPort& port, IClock& clock, const QByteArray& command, double timeout,
                           LateEchoes& late)
{
    ReplyRule rule;
    rule.typed = true;
    rule.late = late.echoes();
    const PortExchange x = exchange(port, clock, command, timeout, rule);
    if (x.written)
        late.note(command, x.reply.complete());
    return x;
}

bool writeOnPort(ISerialPort& port, IClock& clock, const QByteArray& bytes)
{
    if (!port.isOpen() || !port.output(bytes))
        return false;
    clock.sleep(bytes.size() * characterTime(baudFromSettings(port.settings())));
    return true;
}

}  // namespace line
