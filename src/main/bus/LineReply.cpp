#include "LineReply.h"

#include "Clock.h"
#include "SerialPort.h"

#include <algorithm>
#include <cmath>

namespace line {

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

Reply readReply(ReplySource& source, IClock& clock, const ReplyRule& rule)
{
    Reply r;
    const double t0 = clock.now();
    double lastCharacter = t0;
    bool waited = false;
    double before = t0;
    for (;;) {
        const double now = clock.now();
        // A wait that did not move the clock means what is left is below its
        // resolution: every deadline is reached.
        const bool stuck = waited && now <= before;
        waited = false;
        before = now;
        const bool started = !r.bytes.isEmpty();
        const bool pastTimeout = stuck || now - t0 >= rule.firstCharacterTimeout;

        const QByteArray got = source.take();
        r.bytes += got;
        // One comparison decides both the end of the wait and the verdict: a
        // first character taken in a round begun after the time-out is late;
        // a started reply is late only when nothing more came after it.
        bool late = false;
        if (!started)
            late = pastTimeout;
        else
            late = pastTimeout && got.isEmpty() && (stuck || now - lastCharacter >= rule.silence);
        if (!got.isEmpty())
            lastCharacter = now;

        if (r.bytes.size() >= MaxReply) {
            r.bytes.truncate(MaxReply);
            source.drain();
            r.end = ReplyEnd::Capped;
            return r;
        }
        if (!r.bytes.isEmpty() && rule.closers.contains(r.bytes.back())) {
            r.end = late ? ReplyEnd::TimedOut : ReplyEnd::Complete;
            return r;
        }
        if (late) {
            r.end = ReplyEnd::TimedOut;
            return r;
        }
        if (!source.open()) {
            r.end = ReplyEnd::Closed;
            return r;
        }
        double until = t0 + rule.firstCharacterTimeout;
        if (!r.bytes.isEmpty())
            until = std::max(until, lastCharacter + rule.silence);
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

PortExchange exchangeOnPort(ISerialPort& port, IClock& clock, const QByteArray& command, double timeout)
{
    PortExchange x;
    if (!port.isOpen())
        return x;
    SerialReplySource source(port);
    x.discarded = source.drain();
    const int baud = baudFromSettings(port.settings());
    ReplyRule rule;
    rule.firstCharacterTimeout = firstCharacterTimeout(timeout, command.size() * characterTime(baud));
    rule.silence = silenceLimit(baud);
    port.setWriteTimeout(writeTimeout(timeout, int(command.size()), baud));
    x.written = port.output(command);
    if (!x.written)
        return x;
    x.reply = readReply(source, clock, rule);
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
