#include "SimEeprom.h"

#include "SimUnit.h"

#include <cctype>

namespace {
bool hexDigits(const QByteArray& text, int width)
{
    if (text.size() != width)
        return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}
}  // namespace

const QList<SimRegister>& SimEeprom::standardRegisters()
{
    static const QList<SimRegister> table{
        {"1DP", 8, false, {}}, {"1PS", 8, false, {}}, {"1VP", 4, false, {}},    {"1AP", 4, false, {}},
        {"1VE", 4, false, {}}, {"1AE", 4, false, {}}, {"1VT", 4, false, {}},    {"1AT", 4, false, {}},
        {"1L5", 8, false, {}}, {"1L6", 8, false, {}}, {"1DS", 8, false, {}},    {"1IW", 8, false, {}},
        {"1IO", 8, false, {}}, {"1IP", 8, false, {}}, {"0LS", 20, true, "0LL"}, {"0PS", 20, true, "0PL"},
    };
    return table;
}

int SimEeprom::baudOfDigit(char digit)
{
    switch (digit) {
    case '1': return 9600;
    case '2': return 19200;
    case '3': return 38400;
    case '4': return 57600;
    case '5': return 115200;
    default: return 0;
    }
}

SimEeprom::SimEeprom()
{
    for (const SimRegister& r : standardRegisters())
        addRegister(r);
}

void SimEeprom::addRegister(const SimRegister& reg)
{
    for (SimRegister& r : m_registers) {
        if (r.write == reg.write) {
            r = reg;
            m_values[reg.write] = m_stored[reg.write] = QByteArray(reg.width, reg.text ? ' ' : '0');
            return;
        }
    }
    m_registers.append(reg);
    m_values[reg.write] = m_stored[reg.write] = QByteArray(reg.width, reg.text ? ' ' : '0');
}

QByteArray SimEeprom::readName(const SimRegister& reg) const
{
    if (!reg.read.isEmpty())
        return reg.read;
    QByteArray name = reg.write;
    if (name.size() > 1)
        name[1] = char(std::tolower(static_cast<unsigned char>(name[1])));
    return name;
}

bool SimEeprom::valid(const SimRegister& reg, const QByteArray& value) const
{
    if (!reg.text)
        return hexDigits(value, reg.width);
    if (value.size() != reg.width)
        return false;
    for (char c : value)
        if (c < ' ' || c > '~' || c == '[' || c == ']')
            return false;
    return true;
}

bool SimEeprom::setValue(const QByteArray& write, const QByteArray& value)
{
    for (const SimRegister& r : m_registers) {
        if (r.write != write)
            continue;
        if (!valid(r, value))
            return false;
        m_values[write] = r.text ? value : value.toUpper();
        return true;
    }
    return false;
}

std::optional<QByteArray> SimEeprom::handle(SimUnit& unit, const SimCommand& c)
{
    const QByteArray body = c.body();
    if (body.startsWith("0ff") && hexDigits(body.mid(3), 2)) {
        m_stored = m_values;
        ++m_storeCount;
        if (m_pendingBaud != 0) {
            unit.setBaud(m_pendingBaud);
            m_pendingBaud = 0;
        }
        unit.setExtraReplyDelay(StoreDelay);
        return c.accepted();
    }
    if (body.startsWith("0CS") && body.size() == 5) {
        const QString address = QString::fromLatin1(body.mid(3));
        if (!isUnitAddress(address) || address == QLatin1String("00"))
            return c.rejected(kBadArgument);
        unit.moveTo(address);
        return c.accepted();
    }
    if (body.size() == 3 && body.startsWith("0B")) {
        const int baud = baudOfDigit(body.at(2));
        if (baud == 0)
            return c.rejected(kBadArgument);
        m_pendingBaud = baud;
        return c.accepted();
    }
    for (const SimRegister& r : m_registers) {
        if (body == readName(r))
            return c.accepted(m_values.value(r.write));
        if (!body.startsWith(r.write))
            continue;
        if (!setValue(r.write, body.mid(r.write.size())))
            return c.rejected(kBadArgument);
        return c.accepted();
    }
    return std::nullopt;
}
