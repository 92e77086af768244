#include "SimAxis.h"

#include "Clock.h"
#include "Protocol.h"
#include "SimBus.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr qint32 kMaxCount = 8388607;  // the 24-bit counter's range, ±

QByteArray hexDigits(quint32 value, int width)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

qint32 wrap24(qint64 value)
{
    qint32 v = qint32(value & 0xFFFFFF);
    return v > kMaxCount ? v - 0x1000000 : v;
}

// Exactly `width` hexadecimal digits, read as an unsigned number.
std::optional<quint32> parseHex(const QByteArray& text, int width)
{
    if (text.size() != width)
        return std::nullopt;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    bool ok = false;
    const quint32 v = text.toUInt(&ok, 16);
    return ok ? std::optional<quint32>(v) : std::nullopt;
}

// A trapezoidal profile over `distance` counts: accelerate at a up to v,
// cruise, decelerate at a; a triangle when the distance is too short for v.
struct Profile
{
    double a = 0;
    double distance = 0;
    double rampTime = 0;      // time of one ramp
    double peak = 0;          // highest speed reached
    double rampDistance = 0;  // distance of one ramp
    double cruiseTime = 0;
    double total = 0;

    Profile(double v, double acc, double d) : a(acc), distance(d)
    {
        if (d >= v * v / acc) {
            rampTime = v / acc;
            peak = v;
            rampDistance = v * v / (2 * acc);
            cruiseTime = (d - 2 * rampDistance) / v;
        } else {
            rampTime = std::sqrt(d / acc);
            peak = acc * rampTime;
            rampDistance = d / 2;
        }
        total = 2 * rampTime + cruiseTime;
    }

    double distanceAt(double t) const
    {
        if (t <= 0)
            return 0;
        if (t < rampTime)
            return a * t * t / 2;
        if (t < rampTime + cruiseTime)
            return rampDistance + peak * (t - rampTime);
        if (t < total) {
            const double left = total - t;
            return distance - a * left * left / 2;
        }
        return distance;
    }

    double timeTo(double s) const
    {
        if (s <= rampDistance)
            return std::sqrt(2 * s / a);
        if (s <= rampDistance + peak * cruiseTime)
            return rampTime + (s - rampDistance) / peak;
        return total - std::sqrt(std::max(0.0, 2 * (distance - s) / a));
    }
};

char modeLetter(SimAxisModel::Mode mode)
{
    switch (mode) {
    case SimAxisModel::Mode::T: return 'T';
    case SimAxisModel::Mode::E: return 'E';
    case SimAxisModel::Mode::P: break;
    }
    return 'P';
}

}  // namespace

SimAxisModel::SimAxisModel()
{
    // Positioning at 50 counts a sample, limit runs and joystick at 20, all
    // accelerating at one count a sample squared.
    m_eeprom.setValue("1VP", "0032");
    m_eeprom.setValue("1VT", "0014");
    m_eeprom.setValue("1VE", "0014");
    for (const char* a : {"1AP", "1AT", "1AE"})
        m_eeprom.setValue(a, "0100");
    m_eeprom.setValue("1L5", hexDigits(quint32(-kMaxCount), 8));
    m_eeprom.setValue("1L6", hexDigits(quint32(kMaxCount), 8));
}

void SimAxisModel::setParameter(const QByteArray& name, const QByteArray& value)
{
    m_eeprom.setValue(name, value);
}

double SimAxisModel::speed(Mode mode) const
{
    const double raw = m_eeprom.value(QByteArray("1V") + modeLetter(mode)).toUInt(nullptr, 16);
    return raw / m_sampleTime / (m_fineSpeed ? 256.0 : 1.0);
}

double SimAxisModel::acceleration(Mode mode) const
{
    const double raw = m_eeprom.value(QByteArray("1A") + modeLetter(mode)).toUInt(nullptr, 16);
    return raw / (256.0 * m_sampleTime * m_sampleTime);
}

qint32 SimAxisModel::softLimitMinus() const
{
    return qint32(m_eeprom.value("1L5").toUInt(nullptr, 16));
}

qint32 SimAxisModel::softLimitPlus() const
{
    return qint32(m_eeprom.value("1L6").toUInt(nullptr, 16));
}

qint32 SimAxisModel::positionAt(double now) const
{
    if (!m_motion)
        return m_published;
    const Motion& m = *m_motion;
    double s = m.stopAt;
    if (now < m.endTime)
        s = std::min(std::floor(Profile(m.v, m.a, m.planned).distanceAt(now - m.startTime)), m.stopAt);
    return qint32(m.from + m.direction * qint64(s));
}

void SimAxisModel::settle(SimUnit& unit, double now)
{
    if (unit.position() != m_published) {
        // Set from outside: the axis is there now, standing; a jump passes
        // no index mark.
        m_motion.reset();
        m_published = wrap24(unit.position());
        unit.setPosition(m_published);
        return;
    }
    if (!m_motion)
        return;
    const qint32 pos = positionAt(now);
    watchIndex(m_published, pos);
    if (now >= m_motion->endTime) {
        m_lastResult = m_motion->result;
        m_motion.reset();
    }
    m_published = pos;
    unit.setPosition(pos);
}

void SimAxisModel::place(SimUnit& unit, qint32 counts)
{
    m_motion.reset();
    m_published = wrap24(counts);
    unit.setPosition(m_published);
}

void SimAxisModel::watchIndex(qint32 from, qint32 to)
{
    if (!m_indexArmed || m_captured || from == to)
        return;
    // The first mark on the way, the one at the destination included.
    std::optional<qint32> first;
    for (qint32 mark : m_marks) {
        const bool passed = to > from ? (mark > from && mark <= to) : (mark < from && mark >= to);
        if (passed && (!first || std::abs(qint64(mark) - from) < std::abs(qint64(*first) - from)))
            first = mark;
    }
    m_captured = first;
}

void SimAxisModel::halt(SimUnit& unit)
{
    m_motion.reset();
    unit.setPosition(m_published);
}

quint32 SimAxisModel::inputWord(const SimUnit& unit) const
{
    // The host reads the switches from digits 2 and 3 of the word ("10": plus
    // closed, "01": minus closed) and a joystick from the low byte.
    quint32 word = unit.inputWord();
    if (plusClosed(m_published))
        word |= 0x01000000u;
    if (minusClosed(m_published))
        word |= 0x00100000u;
    if (m_joystick == Joystick::Fast)
        word = (word & ~0xFFu) | 0x0Cu;
    else if (m_joystick == Joystick::Slow)
        word = (word & ~0xFFu) | 0x16u;
    return word;
}

QByteArray SimAxisModel::finished(const QByteArray& reply)
{
    m_lastResult = reply;
    return reply;
}

QByteArray SimAxisModel::startedAndDone(const SimCommand& c)
{
    finished(c.accepted());
    return c.started();
}

std::optional<QByteArray> SimAxisModel::handle(SimUnit& unit, const SimCommand& command)
{
    const double now = command.arrival;
    settle(unit, now);
    std::optional<QByteArray> reply;
    if (command.unitDigit() == '1')
        reply = axisCommand(unit, command, now);
    else if (command.unitDigit() == '0')
        reply = boardCommand(unit, command);
    if (!reply)
        reply = m_eeprom.handle(unit, command);
    if (!reply)
        reply = SimBoardModel::handle(unit, command);
    return reply;
}

std::optional<QByteArray> SimAxisModel::axisCommand(SimUnit& unit, const SimCommand& c, double now)
{
    const QByteArray body = c.body();
    if (const protocol::MotionCommand* m = protocol::motionCommand(body.mid(1, 2))) {
        // "X" runs towards plus, "Y" towards minus. The back-off runs are
        // not simulated.
        const int direction = body.at(2) == 'X' ? 1 : -1;
        switch (m->motion) {
        case protocol::Motion::Move: return move(unit, c, now, m->piezo);
        case protocol::Motion::LimitRun:
            if (body.size() == 3)
                return limitRun(c, now, direction);
            break;
        case protocol::Motion::IndexSearch:
            if (body.size() == 3)
                return indexSearch(c, now, direction);
            break;
        case protocol::Motion::Stop:
            if (body.size() != 3)
                break;
            halt(unit);
            // "[1Br]", the brake stop of the sequence language, leaves the
            // joystick mode alone.
            if (body == "1BR")
                m_joystick = Joystick::Off;
            return finished(c.accepted());
        case protocol::Motion::BackOff: break;
        }
    }
    if (body == "1PA")
        // Eight digits as the units send them: the 24-bit counter, zero-extended.
        return c.accepted(hexDigits(quint32(m_published) & 0xFFFFFFu, 8));
    if (body == "1PR" || (body.startsWith("1PP") && parseHex(body.mid(3), 8))) {
        if (isMoving(now))
            return c.rejected(kBusy);
        // "[1PR]" zeroes the counter, "[1PP........]" sets it. The switches
        // and marks stay where they are on the machine, so in counts they
        // move with the new zero point.
        const qint32 value = body == "1PR" ? 0 : qint32(*parseHex(body.mid(3), 8));
        const qint32 shift = m_published - value;
        if (m_minusSwitch)
            *m_minusSwitch -= shift;
        if (m_plusSwitch)
            *m_plusSwitch -= shift;
        for (qint32& mark : m_marks)
            mark -= shift;
        if (m_captured)
            *m_captured -= shift;
        place(unit, value);
        return c.accepted();
    }
    if (body == "1IF") {
        m_indexArmed = true;
        m_captured.reset();
        return c.accepted();
    }
    if (body == "1IA") {
        if (!m_captured)
            return c.rejected(kNoIndex);
        return c.accepted(hexDigits(quint32(*m_captured), 8));
    }
    if (body == "1IS") {
        m_indexArmed = false;
        m_captured.reset();
        return c.accepted();
    }
    if (body == "1CJ" || body == "1Cj") {
        if (isMoving(now))
            return c.rejected(kBusy);
        m_joystick = body == "1CJ" ? Joystick::Fast : Joystick::Slow;
        return c.accepted();
    }
    if (body == "1CS") {
        m_joystick = Joystick::Off;
        return c.accepted();
    }
    if (body == "1PE")
        return c.accepted();
    if (body == "1EE") {
        // The run the initialisation list starts.
        if (isMoving(now) || m_joystick != Joystick::Off)
            return c.rejected(kBusy);
        return startedAndDone(c);
    }
    if (body == "1eW")
        return c.accepted("0000");  // no drive output in the simulation
    if (body == "1iM")
        return c.accepted(m_motorIdent);
    return std::nullopt;
}

std::optional<QByteArray> SimAxisModel::boardCommand(SimUnit& unit, const SimCommand& c)
{
    const QByteArray body = c.body();
    if (body == "0po") {
        if (m_motion)
            return c.accepted();
        // Standing: the final echo of the last motion command, or the poll's
        // own echo when there was none.
        return m_lastResult.isEmpty() ? c.frame : m_lastResult;
    }
    if (body == "0IN")
        return c.accepted(hexDigits(inputWord(unit), 8));
    if (body == "0pe")
        return c.accepted();
    if (body == "0Vn")
        return c.accepted(m_internalVersion);
    return std::nullopt;
}

QByteArray SimAxisModel::move(SimUnit& unit, const SimCommand& c, double now, bool piezo)
{
    const QByteArray body = c.body();
    const auto argument = parseHex(body.mid(3), 8);
    if (!argument)
        return c.rejected(kBadArgument);
    if (isMoving(now)) {
        // A piezo move may take over from a running piezo move; anything
        // else waits for the axis.
        if (!(piezo && m_motion->retargetable))
            return c.rejected(kBusy);
        halt(unit);
    }
    if (m_joystick != Joystick::Off)
        return finished(c.rejected(kBusy));

    const qint64 pos = m_published;
    const qint64 value = qint32(*argument);
    const qint64 target = body[2] == 'R' ? pos + value : value;
    if (target < std::max<qint64>(softLimitMinus(), -kMaxCount) ||
        target > std::min<qint64>(softLimitPlus(), kMaxCount))
        return finished(c.rejected(kBeyondSoftLimit));
    if (target < pos && minusClosed(qint32(pos)))
        return finished(c.rejected(kMinusSwitch));
    if (target > pos && plusClosed(qint32(pos)))
        return finished(c.rejected(kPlusSwitch));

    qint64 stop = target;
    QByteArray result = c.accepted();
    if (target < pos && m_minusSwitch && target <= *m_minusSwitch) {
        stop = *m_minusSwitch;
        result = c.rejected(kMinusSwitch);
    } else if (target > pos && m_plusSwitch && target >= *m_plusSwitch) {
        stop = *m_plusSwitch;
        result = c.rejected(kPlusSwitch);
    }
    return start(c, now, Mode::P, target, stop, result, piezo);
}

QByteArray SimAxisModel::limitRun(const SimCommand& c, double now, int direction)
{
    if (isMoving(now))
        return c.rejected(kBusy);
    if (m_joystick != Joystick::Off)
        return finished(c.rejected(kBusy));
    const qint32 pos = m_published;
    const bool plus = direction > 0;
    if (plus ? plusClosed(pos) : minusClosed(pos))
        return finished(c.accepted());  // already on the switch
    // The run ends on the switch, or on the software limit when no switch
    // comes first.
    const qint64 limit =
        plus ? std::min<qint64>(softLimitPlus(), kMaxCount) : std::max<qint64>(softLimitMinus(), -kMaxCount);
    const std::optional<qint32> edge = plus ? m_plusSwitch : m_minusSwitch;
    const quint16 limitCode = plus ? kSoftLimitPlus : kSoftLimitMinus;
    const bool switchFirst = edge && (plus ? *edge <= limit : *edge >= limit);
    const qint64 stop = switchFirst ? *edge : limit;
    if (plus ? stop <= pos : stop >= pos)
        return finished(c.rejected(limitCode));
    return start(c, now, Mode::E, stop, stop, switchFirst ? c.accepted() : c.rejected(limitCode));
}

QByteArray SimAxisModel::indexSearch(const SimCommand& c, double now, int direction)
{
    if (isMoving(now))
        return c.rejected(kBusy);
    if (m_joystick != Joystick::Off)
        return finished(c.rejected(kBusy));
    const qint32 pos = m_published;
    const bool plus = direction > 0;
    // The search runs up to the next mark, ending at the switch or the
    // software limit when there is none.
    qint64 bound = plus ? std::min<qint64>(softLimitPlus(), kMaxCount) : std::max<qint64>(softLimitMinus(), -kMaxCount);
    if (plus && m_plusSwitch)
        bound = std::min<qint64>(bound, *m_plusSwitch);
    if (!plus && m_minusSwitch)
        bound = std::max<qint64>(bound, *m_minusSwitch);
    if (plus ? bound <= pos : bound >= pos)
        return finished(c.rejected(kNoIndex));
    std::optional<qint64> mark;
    for (qint32 m : m_marks) {
        const bool ahead = plus ? (m > pos && m <= bound) : (m < pos && m >= bound);
        if (ahead && (!mark || std::abs(m - qint64(pos)) < std::abs(*mark - pos)))
            mark = m;
    }
    const qint64 stop = mark ? *mark : bound;
    return start(c, now, Mode::P, stop, stop, mark ? c.accepted() : c.rejected(kNoIndex));
}

QByteArray SimAxisModel::start(const SimCommand& c, double now, Mode mode, qint64 target, qint64 stop,
                               const QByteArray& result, bool retargetable)
{
    const double v = speed(mode);
    const double a = acceleration(mode);
    if (v <= 0 || a <= 0)
        return finished(c.rejected(kNoSpeed));
    const qint64 pos = m_published;
    if (stop == pos)
        return finished(result);

    Motion m;
    m.startTime = now;
    m.from = qint32(pos);
    m.direction = target > pos ? 1 : -1;
    m.v = v;
    m.a = a;
    m.planned = double(std::abs(target - pos));
    m.stopAt = double(std::abs(stop - pos));
    m.endTime = now + Profile(v, a, m.planned).timeTo(m.stopAt);
    m.result = result;
    m.retargetable = retargetable;
    m_motion = m;
    return c.started();
}

SimAxisModel* simAxisModel(SimUnit& unit)
{
    return dynamic_cast<SimAxisModel*>(unit.model());
}

namespace {

SimUnit& axisUnit(SimBus& bus, const QString& address)
{
    SimUnit* unit = bus.unit(address);
    if (!unit || !simAxisModel(*unit))
        throw std::invalid_argument("no simulated axis at " + address.toStdString());
    return *unit;
}

}  // namespace

SimAxis::SimAxis(SimBus& bus, const QString& address)
    : m_clock(bus.clock()), m_unit(axisUnit(bus, address)), m_model(*simAxisModel(m_unit))
{
}

qint32 SimAxis::position()
{
    m_model.settle(m_unit, m_clock.now());
    return m_unit.position();
}

bool SimAxis::isMoving()
{
    const double now = m_clock.now();
    m_model.settle(m_unit, now);
    return m_model.isMoving(now);
}

void SimAxis::setPosition(qint32 counts)
{
    m_model.settle(m_unit, m_clock.now());
    m_model.place(m_unit, counts);
}
