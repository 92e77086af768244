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

void SimPathAxisModel::fortschreiten(SimUnit& unit, double now)
{
    if (!m_lauf)
        return;
    if (!m_lauf->start) {
        m_erledigt = 0;
        place(unit, m_lauf->von);
        return;
    }
    double t = now - *m_lauf->start;
    qint32 von = m_lauf->von;
    for (int k = 0; k < m_ziele.size(); ++k) {
        const double dauer = m_zeiten.at(k);
        if (t < dauer) {
            m_erledigt = k;
            const double anteil = dauer > 0 ? t / dauer : 1.0;
            place(unit, qint32(std::lround(von + (m_ziele.at(k) - von) * anteil)));
            return;
        }
        t -= dauer;
        von = m_ziele.at(k);
    }
    m_erledigt = int(m_ziele.size());
    place(unit, m_lauf->ende);
    m_lauf.reset();
}

std::optional<QByteArray> SimPathAxisModel::handle(SimUnit& unit, const SimCommand& c)
{
    const double now = c.arrival;
    fortschreiten(unit, now);
    const QByteArray body = c.body();
    if (body.startsWith("1PK")) {
        const QByteArray entries = body.mid(3);
        if (entries.size() % 8 != 0 || !allHex(entries))
            return c.rejected(kBadArgument);
        if (m_lauf)
            return c.rejected(kBusy);
        m_ziele.clear();
        m_zeiten.clear();
        for (int i = 0; i < entries.size(); i += 8) {
            m_ziele << signed24(entries.mid(i, 6).toUInt(nullptr, 16));
            m_zeiten << entries.mid(i + 6, 2).toUInt(nullptr, 16) / 1000.0;
        }
        return c.accepted();
    }
    if (body == "1PL")
        return c.accepted(hexDigits(quint32(m_erledigt), 4) + hexDigits(quint32(unit.position()) & 0xFFFFFFu, 8));
    if (body == "1PE") {
        settle(unit, now);
        return c.accepted(hexDigits(quint32(unit.position()) & 0xFFFFFFu, 8));
    }
    if (body == "1PW") {
        if (m_lauf && !m_lauf->start)
            m_lauf->start = now;
        return c.accepted();
    }
    if (body.startsWith("1SA") && body.size() == 11 && allHex(body.mid(3)) && !m_ziele.isEmpty()) {
        settle(unit, now);
        if (m_lauf || isMoving(now))
            return c.rejected(kBusy);
        m_lauf = Lauf{unit.position(), signed24(body.mid(3).toUInt(nullptr, 16)), std::nullopt};
        m_erledigt = 0;
        return c.started();
    }
    if (m_lauf) {
        if (body == "0po")
            return c.accepted();
        if (body == "1BR")
            m_lauf.reset();
        else if (body.size() >= 3 && QByteArray("FSM").contains(body[1]) && (body[2] == 'A' || body[2] == 'R'))
            return c.rejected(kBusy);
    }
    return SimAxisModel::handle(unit, c);
}
