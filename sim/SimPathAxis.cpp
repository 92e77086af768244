#include "SimPathAxis.h"

#include <cctype>
#include <cmath>

namespace {

QByteArray hexDigits(quint32 value, int width)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

bool allHex(const QByteArray& text)
{
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return !text.isEmpty();
}

qint32 signed24(quint32 v)
{
    v &= 0xFFFFFFu;
    return v > 0x7FFFFFu ? qint32(v) - 0x1000000 : qint32(v);
}

}  // namespace

void SimPathAxisModel::advanceTo(SimUnit& unit, double now)
{
    if (!m_run)
        return;
    if (!m_run->start) {
        m_done = 0;
        place(unit, m_run->von);
        return;
    }
    double t = now - *m_run->start;
    qint32 von = m_run->von;
    for (int k = 0; k < m_targets.size(); ++k) {
        const double segmentTime = m_times.at(k);
        if (t < segmentTime) {
            m_done = k;
            const double fraction = segmentTime > 0 ? t / segmentTime : 1.0;
            place(unit, qint32(std::lround(von + (m_targets.at(k) - von) * fraction)));
            return;
        }
        t -= segmentTime;
        von = m_targets.at(k);
    }
    m_done = int(m_targets.size());
    place(unit, m_run->endPos);
    // Standing, the axis answers the poll with the table run's own echo.
    finished(m_run->result);
    m_run.reset();
}

std::optional<QByteArray> SimPathAxisModel::handle(SimUnit& unit, const SimCommand& c)
{
    const double now = c.arrival;
    advanceTo(unit, now);
    const QByteArray body = c.body();
    if (body.startsWith("1PK")) {
        const QByteArray entries = body.mid(3);
        if (entries.size() % 8 != 0 || !allHex(entries))
            return c.rejected(kBadArgument);
        if (m_run)
            return c.rejected(kBusy);
        m_targets.clear();
        m_times.clear();
        for (int i = 0; i < entries.size(); i += 8) {
            m_targets << signed24(entries.mid(i, 6).toUInt(nullptr, 16));
            m_times << entries.mid(i + 6, 2).toUInt(nullptr, 16) / 1000.0;
        }
        return c.accepted();
    }
    if (body == "1PL")
        return c.accepted(hexDigits(quint32(m_done), 4) + hexDigits(quint32(unit.position()) & 0xFFFFFFu, 8));
    if (body == "1PE") {
        settle(unit, now);
        return c.accepted(hexDigits(quint32(unit.position()) & 0xFFFFFFu, 8));
    }
    if (body == "1PW") {
        if (m_run && !m_run->start)
            m_run->start = now;
        return c.accepted();
    }
    if (body.startsWith("1SA") && body.size() == 11 && allHex(body.mid(3)) && !m_targets.isEmpty()) {
        settle(unit, now);
        if (m_run || isMoving(now))
            return c.rejected(kBusy);
        m_run = Run{unit.position(), signed24(body.mid(3).toUInt(nullptr, 16)), std::nullopt, c.accepted()};
        m_done = 0;
        return c.started();
    }
    if (m_run) {
        if (body == "0po")
            return c.accepted();
        if (body == "1BR")
            m_run.reset();
        else if (body.size() >= 3 && QByteArray("FSM").contains(body[1]) && (body[2] == 'A' || body[2] == 'R'))
            return c.rejected(kBusy);
    }
    return SimAxisModel::handle(unit, c);
}
