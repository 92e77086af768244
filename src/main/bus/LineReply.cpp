#include "LineReply.h"

#include "Clock.h"
#include "Protocol.h"
#include "SerialPort.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

namespace line {

namespace {
bool isOpener(char c)
{
    return c == '[' || c == '(';
}
char closerOf(char opener)
{
    return opener == '(' ? ')' : ']';
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
    const double wire = std::min(count, protocol::MaxReply) * characterTime(baud);
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
        if (echo.at(i) == closerOf(echo.at(0))) {
            echo.truncate(i);
            break;
        }
    }
    return echo;
}

double replylessWireTime(int count, int baud)
{
    return count * characterTime(baud) / ReplylessPace;
}

namespace {
const QByteArray MotionPoll = echoOf(protocol::Poll.latin1());
const QByteArray ChannelRead = "[0M1";

// What ends the motion poll besides its own frame: a standing unit answers
// "[0po]" with the final echo of its last motion command, whichever window,
// script or terminal row sent it: the echo with "!" (done) or "?" (refused)
// at its fifth character. The motion commands (protocol::MotionCommands)
// are known up front; the line adds every other command it sees a unit
// answer ">" (`StartedCommands`).
const QList<QByteArray>& knownStarts()
{
    static const QList<QByteArray> echoes = [] {
        QList<QByteArray> list;
        for (const protocol::MotionCommand& command : protocol::MotionCommands)
            list << command.echo();
        return list;
    }();
    return echoes;
}

QList<QByteArray> finalsOf(const QList<QByteArray>& starts)
{
    QList<QByteArray> finals;
    for (const QByteArray& echo : starts)
        for (protocol::ReplyStatus end : {protocol::ReplyStatus::Done, protocol::ReplyStatus::Refused})
            finals << echo + char(end);
    return finals;
}
}  // namespace

ReplyRule replyRule(const Request& request, int baud, double wireTime)
{
    ReplyRule rule;
    rule.characterTime = characterTime(baud);
    rule.silence = silenceLimit(baud);
    rule.closers = request.closers;
    rule.firstCharacterTimeout = firstCharacterTimeout(request.timeout, wireTime);
    rule.typed = request.typed;
    rule.late = request.late;
    const QByteArray echo = echoOf(request.command);
    if (!echo.isEmpty())
        rule.echoes << echo;
    // A command that is no frame has no reply of its own to wait for.
    if (!echo.isEmpty() || request.typed)
        rule.passOver = PassOverCharacters * rule.characterTime;
    if (request.typed)
        return rule;
    if (echo == MotionPoll) {
        static const QList<QByteArray> known = finalsOf(knownStarts());
        rule.finals = known;
        for (const QByteArray& start : request.started)
            if (!knownStarts().contains(start))
                rule.finals << finalsOf({start});
    }
    rule.valuesOnly = echo == ChannelRead;
    return rule;
}

ReplyRule lateReplyRule(const Request& request, int baud)
{
    ReplyRule rule = replyRule(request, baud, 0.0);
    rule.passOver = 0.0;
    return rule;
}

void StartedCommands::wrote(const QByteArray& bytes)
{
    const qsizetype at = bytes.lastIndexOf(protocol::DC2);
    if (at < 0)
        return;
    // A selection cut short by a frame names no unit.
    QByteArray unit = bytes.mid(at + 1, 2);
    if (unit.size() < 2 || unit.contains('[') || unit.contains('('))
        unit.clear();
    if (unit == m_unit)
        return;
    m_byUnit.insert(m_unit, m_current);
    m_unit = unit;
    m_current = m_byUnit.value(m_unit);
}

void StartedCommands::answered(const QByteArray& command, const Reply& reply)
{
    if (!reply.complete() || protocol::replyStatus(reply.bytes) != protocol::ReplyStatus::Started)
        return;
    const QByteArray echo = echoOf(command);
    if (echo.size() != EchoLength || !reply.bytes.startsWith(echo) || m_current.contains(echo))
        return;
    m_current.append(echo);
    while (m_current.size() > Kept)
        m_current.removeFirst();
}

namespace {
QHash<const ISerialPort*, StartedCommands*>& startedRecords()
{
    static QHash<const ISerialPort*, StartedCommands*> records;
    return records;
}
}  // namespace

StartedCommands* startedOn(const ISerialPort& port)
{
    return startedRecords().value(&port);
}

StartedBinding::StartedBinding(const ISerialPort& port, StartedCommands& record) : m_port(port), m_record(record)
{
    startedRecords().insert(&m_port, &m_record);
}

StartedBinding::~StartedBinding()
{
    if (startedRecords().value(&m_port) == &m_record)
        startedRecords().remove(&m_port);
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
        return m_rule.typed ? sortTyped() : sortOwn();
    }
    // The reply so far (its complete frame once `add` said so).
    const QByteArray& reply() const { return m_pending; }
    // A final echo is held as the reply until no frame that answers too
    // follows it; `holds` counts the final echoes taken so far.
    bool holding() const { return !m_held.isEmpty(); }
    int holds() const { return m_holds; }
    // How much of what is pending is, or may still become, the reply: a
    // pending frame that echoes something else, or text that is no frame,
    // counts nothing, and nor does a frame longer than any reply a unit sends.
    qsizetype ownSize() const
    {
        if (m_pending.isEmpty() || !isOpener(m_pending.at(0)) || m_pending.size() > LongestReply)
            return 0;
        // An operator's command may be answered by anything.
        if (m_rule.typed)
            return m_pending.size();
        // A command that is no frame has no reply of its own to wait for.
        if (m_rule.echoes.isEmpty())
            return 0;
        bool echoed = false;
        bool final = false;
        return ownFrame(&echoed, &final) ? m_pending.size() : 0;
    }
    // Whether the line carries frames just now: one is pending, or the last
    // thing passed over was a whole frame. Text that is no frame is not.
    bool framesOnLine() const
    {
        if (!m_pending.isEmpty())
            return isOpener(m_pending.at(0));
        return !discarded.isEmpty() && m_rule.closers.contains(discarded.back());
    }
    // The line ends before the reply did: a final echo held is the reply;
    // otherwise a frame that is not the command's own is no part of it.
    // Whether the reply is complete.
    bool finish()
    {
        if (holding()) {
            discard(m_pending.size());
            m_pending = std::exchange(m_held, QByteArray());
            return true;
        }
        if (m_rule.typed)
            return false;
        bool echoed = false;
        bool final = false;
        if (!ownFrame(&echoed, &final) || !echoed || m_rule.echoes.isEmpty())
            discard(m_pending.size());
        return false;
    }
    QByteArray discarded;

private:
    void discard(qsizetype count)
    {
        discarded += m_pending.left(count);
        m_pending.remove(0, count);
    }
    // Where the frame the pending bytes begin with ends: its own closer, if
    // it is one of the rule's; -1 while it has not come.
    qsizetype frameEnd() const
    {
        const char closer = closerOf(m_pending.at(0));
        return m_rule.closers.contains(closer) ? m_pending.indexOf(closer, 1) : -1;
    }
    // Ends the reply at `closer`; anything behind it, and a final echo held
    // in front of it (a late one), is not the reply.
    bool complete(qsizetype closer)
    {
        discarded += std::exchange(m_held, QByteArray());
        discarded += m_pending.mid(closer + 1);
        m_pending.truncate(closer + 1);
        return true;
    }
    // Holds the final echo that ends at `closer`; one held before it was late.
    void hold(qsizetype closer)
    {
        discarded += m_held;
        m_held = m_pending.left(closer + 1);
        m_pending.remove(0, closer + 1);
        ++m_holds;
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
            bool echoed = false;
            bool final = false;
            const bool own = ownFrame(&echoed, &final);
            // The start of the command's own reply: wait for the rest of its
            // echo.
            if (own && !echoed)
                return false;
            // A frame, the command's own included, ends at its closer, or
            // breaks off at the next opening bracket of its kind (two units
            // at once, a unit reset in mid-reply, noise) and is discarded up
            // to there.
            const char opener = m_pending.at(0);
            const char closer = closerOf(opener);
            const bool closes = m_rule.closers.contains(closer);
            qsizetype end = 1;
            while (end < m_pending.size() && m_pending.at(end) != opener && !(closes && m_pending.at(end) == closer))
                ++end;
            if (end == m_pending.size())
                return false;
            if (m_pending.at(end) == opener) {
                discard(end);
                continue;
            }
            if (own && final) {
                hold(end);
                continue;
            }
            if (own)
                return complete(end);
            if (m_rule.valuesOnly && isValuesOnly(m_pending.left(end + 1)))
                return complete(end);
            discard(end + 1);
        }
    }
    bool sortTyped()
    {
        for (;;) {
            bool late = false;
            for (const QByteArray& echo : m_rule.late)
                late = late || (m_pending.startsWith(echo) && !m_rule.echoes.contains(echo));
            const qsizetype closer = late ? frameEnd() : -1;
            if (closer < 0)
                break;
            discard(closer + 1);
        }
        // A frame ends at its own closer, text that is no frame at any.
        if (m_pending.isEmpty() || !m_rule.closers.contains(m_pending.back()))
            return false;
        return !isOpener(m_pending.at(0)) || m_pending.back() == closerOf(m_pending.at(0));
    }
    // Whether the frame the pending bytes begin with is, or may still turn
    // out to be, the reply; `echoed`: one of its echoes has come whole;
    // `final`: that echo is one of the rule's final echoes, none of its own.
    bool ownFrame(bool* echoed, bool* final) const
    {
        *echoed = m_rule.echoes.isEmpty();
        *final = false;
        if (*echoed)
            return true;
        bool may = false;
        const auto match = [&](const QList<QByteArray>& echoes, bool finals) {
            for (const QByteArray& echo : echoes) {
                const qsizetype n = std::min(m_pending.size(), echo.size());
                if (QByteArrayView(m_pending).first(n) != QByteArrayView(echo).first(n))
                    continue;
                may = true;
                if (n == echo.size()) {
                    *echoed = true;
                    *final = finals;
                }
            }
        };
        match(m_rule.finals, true);
        match(m_rule.echoes, false);
        return may;
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
    QByteArray m_held;
    int m_holds = 0;
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
    double heldAt = t0;      // when the final echo held came
    qsizetype total = 0;     // everything taken, discarded or not
    bool waited = false;
    double before = t0;
    // Seconds the reply may take from its first character: twice its wire
    // time and a margin.
    const auto allowance = [&](qsizetype count) { return 2.0 * count * rule.characterTime + MinSilence; };
    // Seconds past the deadline the exchange goes on: only for the reply
    // itself and, while the line carries other frames, the short pass-over;
    // text that is no frame never extends it.
    const auto overtimeAllowed = [&](qsizetype own) {
        return (own > 0 ? allowance(own) : 0.0) + (sorter.framesOnLine() ? rule.passOver : 0.0);
    };
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
        // A missed first character: what arrives from now on is left on the
        // line (for a caller that waits for a late reply, or the next drain).
        const bool noFirstCharacter = !lineStarted && pastTimeout;
        if (noFirstCharacter) {
            r.end = ReplyEnd::TimedOut;
            return r;
        }

        const QByteArray got = source.take();
        total += got.size();
        const qsizetype discardedBefore = sorter.discarded.size();
        const int holdsBefore = sorter.holds();
        const bool done = !got.isEmpty() && sorter.add(got);
        const bool held = sorter.holds() != holdsBefore;
        if (held)
            heldAt = now;
        r.bytes = sorter.reply();
        r.discarded = sorter.discarded;
        // A frame that begins after other frames were passed over, or after
        // a final echo, is timed from its own first character.
        if (!r.bytes.isEmpty() && (!replyStarted || held || r.discarded.size() != discardedBefore))
            replyStart = now;
        // Past the time-out, a line that began to answer ends as no answer
        // (one verdict for the end of the wait and the answer) on a silence
        // (nothing more came), a trickle (the reply takes longer than its
        // allowance) or overtime (longer past the deadline than the reply
        // and the pass-over allow).
        const qsizetype own = sorter.ownSize();
        const bool silence = got.isEmpty() && (stuck || now - lastCharacter >= rule.silence);
        const bool trickle = own > 0 && now - replyStart > allowance(own);
        const bool overtime = now - deadline > overtimeAllowed(own);
        const bool late = lineStarted && pastTimeout && (silence || trickle || overtime);
        // A final echo held is the reply once the turnaround passed with no
        // frame that could answer too begun behind it, or the one begun
        // trickles.
        const bool turnaroundPassed =
            sorter.holding() && (stuck || (own == 0 && now - heldAt >= Turnaround) || trickle);
        if (!got.isEmpty())
            lastCharacter = now;

        // A wait that ends without a newer reply leaves a final echo held the
        // reply.
        const auto end = [&](ReplyEnd how) {
            if (how != ReplyEnd::Complete) {
                if (sorter.finish())
                    how = ReplyEnd::Complete;
                r.bytes = sorter.reply();
                r.discarded = sorter.discarded;
            }
            r.end = how;
            return r;
        };
        if (total >= protocol::MaxReply) {
            source.drain();
            end(ReplyEnd::Capped);
            if (r.end == ReplyEnd::Capped)
                r.bytes.truncate(std::max<qsizetype>(0, r.bytes.size() - (total - protocol::MaxReply)));
            return r;
        }
        if (done)
            return end(late ? ReplyEnd::TimedOut : ReplyEnd::Complete);
        if (late || turnaroundPassed)
            return end(ReplyEnd::TimedOut);
        if (!source.open())
            return end(ReplyEnd::Closed);
        double until = deadline;
        if (total > 0) {
            until = std::max(until, lastCharacter + rule.silence);
            if (own > 0)
                until = std::min(until, std::max(deadline, replyStart + allowance(own)));
            until = std::min(until, deadline + overtimeAllowed(own));
        }
        if (sorter.holding())
            until = std::min(until, own > 0 ? replyStart + allowance(own) : heldAt + Turnaround);
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
PortExchange exchange(ISerialPort& port, IClock& clock, Request request)
{
    PortExchange x;
    if (!port.isOpen())
        return x;
    SerialReplySource source(port);
    x.discarded = source.drain();
    const int baud = baudFromSettings(port.settings());
    const int count = int(request.command.size());
    port.setWriteTimeout(writeTimeout(request.timeout, count, baud));
    x.written = port.output(request.command);
    if (!x.written)
        return x;
    StartedCommands* started = startedOn(port);
    if (started) {
        started->wrote(request.command);
        request.started = started->started();
    }
    x.reply = readReply(source, clock, replyRule(request, baud, count * characterTime(baud)));
    x.discarded += x.reply.discarded;
    if (started)
        started->answered(request.command, x.reply);
    return x;
}
}  // namespace

PortExchange exchangeOnPort(ISerialPort& port, IClock& clock, const QByteArray& command, double timeout)
{
    Request request;
    request.command = command;
    request.timeout = timeout;
    return exchange(port, clock, request);
}

PortExchange exchangeTyped(ISerialPort& port, IClock& clock, const QByteArray& command, double timeout,
                           LateEchoes& late)
{
    Request request;
    request.command = command;
    request.timeout = timeout;
    request.typed = true;
    request.late = late.echoes();
    const PortExchange x = exchange(port, clock, request);
    if (x.written)
        late.note(command, x.reply.complete());
    return x;
}

bool writeOnPort(ISerialPort& port, IClock& clock, const QByteArray& bytes)
{
    if (!port.isOpen() || !port.output(bytes))
        return false;
    if (StartedCommands* started = startedOn(port))
        started->wrote(bytes);
    clock.sleep(replylessWireTime(int(bytes.size()), baudFromSettings(port.settings())));
    return true;
}

}  // namespace line
