#include "SimBus.h"

#include "Clock.h"
#include "Protocol.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// A frame longer than this never closed; the unit drops it and waits for the
// next opening bracket. Far above the longest real command (about 4000).
constexpr int kMaxFrame = 65536;

// Floating-point slack when comparing a due time with the clock, so that
// sleeping exactly `nextDueIn()` always makes the byte due.
constexpr double kDueSlack = 1e-9;

bool isOpener(char c)
{
    return c == '[' || c == '(';
}

char closerOf(char opener)
{
    return opener == '(' ? ')' : ']';
}

}  // namespace

SimBus::SimBus(IClock& clock) : m_clock(clock) {}

SimBus::~SimBus() = default;

SimUnit& SimBus::addUnit(const QString& address, int baud)
{
    if (!isUnitAddress(address) || address == QLatin1String(kBroadcast))
        throw std::invalid_argument("not a unit address: " + address.toStdString());
    removeUnit(address);
    m_units.push_back(std::make_unique<SimUnit>(address, baud));
    return *m_units.back();
}

SimUnit* SimBus::unit(const QString& address) const
{
    for (const auto& u : m_units)
        if (u->address() == address)
            return u.get();
    return nullptr;
}

void SimBus::removeUnit(const QString& address)
{
    m_units.erase(
        std::remove_if(m_units.begin(), m_units.end(), [&](const auto& u) { return u->address() == address; }),
        m_units.end());
}

QStringList SimBus::addresses() const
{
    QStringList list;
    for (const auto& u : m_units)
        list << u->address();
    return list;
}

double SimBus::characterTime() const
{
    const int baud = m_wireBaud > 0 ? m_wireBaud : m_hostBaud;
    return baud > 0 ? 10.0 / baud : 0.0;
}

void SimBus::write(const QByteArray& bytes)
{
    const double now = m_clock.now();
    if (!m_pacing) {
        for (char c : bytes)
            consume(c, now);
        return;
    }
    // The units act on each byte as it is written; its arrival time, which
    // the replies are timed from, is when the wire has carried it.
    const double charTime = characterTime();
    double arrival = std::max(now, m_inputFreeAt);
    for (char c : bytes) {
        arrival += charTime;
        consume(c, arrival);
    }
    m_inputFreeAt = arrival;
}

double SimBus::outputBacklog() const
{
    return m_pacing ? std::max(0.0, m_inputFreeAt - m_clock.now()) : 0.0;
}

int SimBus::unsentCount() const
{
    const double c = characterTime();
    return c > 0 ? int(std::ceil(outputBacklog() / c - kDueSlack)) : 0;
}

void SimBus::consume(char c, double arrival)
{
    switch (m_state) {
    case State::Selecting:
        if (c == protocol::DC2 || isOpener(c)) {
            // The selection was cut short: it names nobody.
            finishSelection();
            break;  // the byte starts something new, below
        }
        m_selectionText += c;
        if (m_selectionText.size() == 2)
            finishSelection();
        return;
    case State::Frame:
        if (c == protocol::DC2 || c == m_frame.at(0)) {
            // A unit resynchronises on every selection and on an opening
            // bracket of the frame's own kind; one of the other kind is text
            // (a channel identifier "X (Tisch)").
            m_frame.clear();
            m_state = State::Idle;
            break;
        }
        m_frame += c;
        if (c == closerOf(m_frame.at(0))) {
            const QByteArray frame = m_frame;
            m_frame.clear();
            m_state = State::Idle;
            dispatch(frame, arrival);
        } else if (m_frame.size() > kMaxFrame) {
            m_frame.clear();
            m_state = State::Idle;
        }
        return;
    case State::Idle: break;
    }

    // Idle: everything but a selection or an opening bracket is ignored,
    // such as the "-AA" after the address in "00-AA".
    if (c == protocol::DC2) {
        m_selectionText.clear();
        m_state = State::Selecting;
    } else if (isOpener(c)) {
        m_frame = QByteArray(1, c);
        m_state = State::Frame;
    }
}

void SimBus::finishSelection()
{
    const QString text = QString::fromLatin1(m_selectionText);
    const bool valid = isUnitAddress(text);
    m_selection = valid ? text : QString();
    const bool all = text == QLatin1String(kBroadcast);
    for (const auto& u : m_units) {
        // A unit at another baud does not decode the selection at all.
        if (hears(*u))
            u->m_selected = valid && (all || u->address() == text);
    }
    m_selectionText.clear();
    m_state = State::Idle;
}

void SimBus::dispatch(const QByteArray& frame, double arrival)
{
    m_traffic.append({m_selection, QString::fromLatin1(frame)});
    SimCommand command;
    command.frame = frame;
    command.arrival = arrival;
    command.broadcast = m_selection == QLatin1String(kBroadcast);
    for (const auto& u : m_units) {
        if (!u->m_selected || !hears(*u))
            continue;
        const QByteArray reply = u->respond(command);
        if (!command.broadcast && !reply.isEmpty())
            schedule(*u, reply, command);
    }
}

void SimBus::schedule(const SimUnit& unit, const QByteArray& reply, const SimCommand& command)
{
    const double charTime = m_pacing ? characterTime() : 0.0;
    // Paced, the arrival is when the command's last byte crossed the wire;
    // the reply never overtakes bytes already on their way.
    double start = command.arrival + unit.replyDelay() + unit.extraReplyDelay();
    if (!m_pending.empty())
        start = std::max(start, m_pending.back().due);
    const int pieceSize = (int(reply.size()) + unit.replyPieces() - 1) / unit.replyPieces();
    for (int i = 0; i < reply.size(); ++i) {
        const int piece = i / pieceSize;
        m_pending.push_back({start + piece * unit.pieceGap() + (i + 1) * charTime, reply.at(i)});
    }
}

void SimBus::strayBytes(const QByteArray& bytes, double at, double gap)
{
    if (gap < 0)
        gap = m_pacing ? characterTime() : 0.0;
    for (int i = 0; i < bytes.size(); ++i) {
        const Pending p{at + i * gap, bytes.at(i)};
        const auto later = std::upper_bound(m_pending.begin(), m_pending.end(), p.due,
                                            [](double due, const Pending& q) { return due < q.due; });
        m_pending.insert(later, p);
    }
}

QByteArray SimBus::read(int maxBytes)
{
    const double now = m_clock.now() + kDueSlack;
    QByteArray out;
    while (!m_pending.empty() && m_pending.front().due <= now && (maxBytes < 0 || out.size() < maxBytes)) {
        out += m_pending.front().byte;
        m_pending.pop_front();
    }
    return out;
}

int SimBus::bytesDue() const
{
    const double now = m_clock.now() + kDueSlack;
    int n = 0;
    for (const Pending& p : m_pending) {
        if (p.due > now)
            break;
        ++n;
    }
    return n;
}

double SimBus::nextDueIn() const
{
    if (m_pending.empty())
        return -1.0;
    return std::max(0.0, m_pending.front().due - m_clock.now());
}

void SimBus::clearTraffic()
{
    m_traffic.clear();
    for (const auto& u : m_units)
        u->clearReceived();
}
