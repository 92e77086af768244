#include "SimProbeBoard.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

constexpr quint16 kParameterFault = 0x000A;
constexpr qint32 kMin24 = -8388608;
constexpr qint32 kMax24 = 8388607;

QByteArray hexDigits(quint32 value, int width)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

QByteArray hex24(qint32 value)
{
    return hexDigits(quint32(value) & 0xFFFFFFu, 6);
}

// Exactly `width` hexadecimal digits, or nothing.
std::optional<quint32> parseHex(const QByteArray& text, int width)
{
    if (text.size() != width)
        return std::nullopt;
    bool ok = false;
    const quint32 v = text.toUInt(&ok, 16);
    return ok ? std::optional<quint32>(v) : std::nullopt;
}

qint32 signed24(quint32 v)
{
    v &= 0xFFFFFFu;
    return v > 0x7FFFFFu ? qint32(v) - 0x1000000 : qint32(v);
}

qint32 clamp24(double v)
{
    return qint32(std::clamp(std::llround(v), qint64(kMin24), qint64(kMax24)));
}

SimCommand commandOf(const QByteArray& frame)
{
    SimCommand c;
    c.frame = frame;
    return c;
}

const QStringList kSampleTimes{"0010", "0020", "0040", "0080", "0100", "0200", "0400"};
const QStringList kSystemKeys{"RES", "GEA", "PIT", "TPR"};

}  // namespace

SimProbeBoard::SimProbeBoard(Kind kind) : m_kind(kind)
{
    m_identifier = QStringLiteral("K%1").arg(channelCount());
    for (int i = 0; i < channelCount(); ++i)
        m_mask[i] = QLatin1Char('1');
    for (const char a : {'1', '2', '3', '4'}) {
        setSystemValue(a, QStringLiteral("RES"), QStringLiteral("4000"));
        setSystemValue(a, QStringLiteral("GEA"), QStringLiteral("1"));
        setSystemValue(a, QStringLiteral("PIT"), QStringLiteral("1000"));
        setSystemValue(a, QStringLiteral("TPR"), QStringLiteral("1"));
    }
}

int SimProbeBoard::channelCount() const
{
    switch (m_kind) {
    case Kind::AK1: return 1;
    case Kind::AK4: return 4;
    case Kind::AK16: return 16;
    case Kind::AKIK: return 3;
    case Kind::IK2:
    case Kind::ADA2: return 2;
    }
    return 1;
}

bool SimProbeBoard::isScale(int c) const
{
    return m_kind == Kind::IK2 || (m_kind == Kind::AKIK && c == 3);
}

void SimProbeBoard::setInput(int c, double units)
{
    if (validChannel(c))
        m_channels[std::size_t(c - 1)].input = units;
}

double SimProbeBoard::input(int c) const
{
    return validChannel(c) ? m_channels[std::size_t(c - 1)].input : 0.0;
}

void SimProbeBoard::setSensitivity(int c, double factor)
{
    if (validChannel(c))
        m_channels[std::size_t(c - 1)].sensitivity = factor;
}

void SimProbeBoard::setOffsetError(int c, double counts)
{
    if (validChannel(c))
        m_channels[std::size_t(c - 1)].offsetError = counts;
}

void SimProbeBoard::setNoise(int amplitude, quint32 seed)
{
    m_noise = std::max(0, amplitude);
    m_seed = seed ? seed : 1;
}

qint32 SimProbeBoard::reading(int c) const
{
    if (!validChannel(c))
        return 0;
    const Channel& ch = m_channels[std::size_t(c - 1)];
    if (isScale(c))
        return ch.counter;
    const double raw = ch.input * CountsPerUnit * ch.sensitivity + ch.offsetError;
    const double u = raw - ch.working.offset;
    const quint32 positive = gainsSwapped() ? ch.working.gainM : ch.working.gainP;
    const quint32 negative = (0x1000000u - (gainsSwapped() ? ch.working.gainP : ch.working.gainM)) & 0xFFFFFFu;
    const double gain = (u >= 0 ? double(positive) : double(negative)) / double(NominalGain);
    return clamp24(u * gain);
}

qint32 SimProbeBoard::noisy(qint32 value)
{
    if (m_noise == 0)
        return value;
    // A small linear congruential generator: reproducible and fast.
    m_seed = m_seed * 1664525u + 1013904223u;
    const int span = 2 * m_noise + 1;
    return clamp24(double(value) + double(int((m_seed >> 8) % quint32(span)) - m_noise));
}

SimProbeBoard::Registers SimProbeBoard::working(int c) const
{
    return validChannel(c) ? m_channels[std::size_t(c - 1)].working : Registers{};
}

SimProbeBoard::Registers SimProbeBoard::written(int c) const
{
    return validChannel(c) ? m_channels[std::size_t(c - 1)].written : Registers{};
}

SimProbeBoard::Registers SimProbeBoard::eeprom(int c) const
{
    return validChannel(c) ? m_channels[std::size_t(c - 1)].eeprom : Registers{};
}

void SimProbeBoard::powerCycle()
{
    for (Channel& ch : m_channels)
        ch.working = ch.written = ch.eeprom;
}

void SimProbeBoard::setChannelMask(const QString& mask)
{
    for (int i = 0; i < MaxChannels && i < mask.size(); ++i)
        m_mask[i] = mask.at(i) == QLatin1Char('1') ? QLatin1Char('1') : QLatin1Char('0');
}

QString SimProbeBoard::carrier(int c) const
{
    return validAnalog(c) ? m_channels[std::size_t(c - 1)].carrier : QString();
}

qint32 SimProbeBoard::counter(int c) const
{
    return validChannel(c) ? m_channels[std::size_t(c - 1)].counter : 0;
}

void SimProbeBoard::setCounter(int c, qint32 counts)
{
    if (validChannel(c))
        m_channels[std::size_t(c - 1)].counter = counts;
}

QString SimProbeBoard::systemValue(char a, const QString& key) const
{
    return m_system.value(QLatin1Char(a) + key);
}

void SimProbeBoard::setSystemValue(char a, const QString& key, const QString& value)
{
    m_system[QLatin1Char(a) + key] = value;
}

std::optional<QByteArray> SimProbeBoard::answer(const QByteArray& frame)
{
    if (frame.size() < 4 || frame.at(0) != '[' || !frame.endsWith(']'))
        return std::nullopt;
    const SimCommand cmd = commandOf(frame);
    const QByteArray body = cmd.body();
    const char digit = body.at(0);

    if (digit == '0') {
        if (body == "0M1") {
            // Values of the enabled channels only, in channel order.
            QByteArray values;
            for (int c = 1; c <= channelCount(); ++c)
                if (m_mask.at(c - 1) == QLatin1Char('1'))
                    values += hex24(isScale(c) ? reading(c) : noisy(reading(c))) + ',';
            return cmd.accepted(values);
        }
        if (body == "0fP")
            return cmd.accepted(m_sampleTime.toLatin1());
        if (body.startsWith("0FP")) {
            const QString code = QString::fromLatin1(body.mid(3));
            if (!kSampleTimes.contains(code))
                return cmd.rejected(kParameterFault);
            m_sampleTime = code;
            return cmd.accepted();
        }
        if (body == "0k1")
            return cmd.accepted(channelMask().toLatin1());
        if (body.startsWith("0K1")) {
            const QByteArray flags = body.mid(3);
            if (flags.isEmpty() || flags.size() > MaxChannels ||
                !std::all_of(flags.begin(), flags.end(), [](char f) { return f == '0' || f == '1'; }))
                return cmd.rejected(kParameterFault);
            setChannelMask(QString::fromLatin1(flags));
            return cmd.accepted();
        }
        if (body.startsWith("0ff0") && body.size() == 5) {
            // Channel 0 stands for the board's own settings, kept as they are.
            const int c = QByteArray(1, body.at(4)).toInt(nullptr, 16);
            if (c != 0 && !validAnalog(c))
                return cmd.rejected(kParameterFault);
            if (c != 0)
                m_channels[std::size_t(c - 1)].eeprom = m_channels[std::size_t(c - 1)].working;
            return cmd.accepted();
        }
        if (body == "0PL")
            return cmd.accepted(m_identifier.toLatin1());
        if (body == "0CI")
            return cmd.accepted(m_number.toLatin1());
        if (body.startsWith("0CS")) {
            if (!parseHex(body.mid(3), 2))
                return cmd.rejected(kParameterFault);
            m_number = QString::fromLatin1(body.mid(3)).toUpper();
            return cmd.accepted();
        }
    }
    if (auto r = registerCommand(body, frame))
        return r;
    return axisCommand(body, frame);
}

std::optional<QByteArray> SimProbeBoard::registerCommand(const QByteArray& body, const QByteArray& frame)
{
    const SimCommand cmd = commandOf(frame);
    const int c = body.at(0) - '0';
    const QByteArray op = body.mid(1, 2);
    const QByteArray arg = body.mid(3);
    if (c < 1 || c > 9)
        return std::nullopt;

    if (op == "SO" || op == "SP" || op == "SM" || op == "SW" || op == "SR") {
        if (!validAnalog(c))
            return cmd.rejected(kParameterFault);
        Channel& ch = m_channels[std::size_t(c - 1)];
        if (op == "SW" || op == "SR") {
            if (!arg.isEmpty())
                return cmd.rejected(kParameterFault);
            if (op == "SW") {
                ch.working = ch.written;
                return cmd.accepted();
            }
            // The offset, then the register whose rise lowers the reading,
            // then the other one.
            const quint32 first = gainsSwapped() ? ch.working.gainP : ch.working.gainM;
            const quint32 second = gainsSwapped() ? ch.working.gainM : ch.working.gainP;
            return cmd.accepted(hex24(ch.working.offset) + ',' + hexDigits(first, 6) + ',' + hexDigits(second, 6));
        }
        const auto v = parseHex(arg, 6);
        if (!v)
            return cmd.rejected(kParameterFault);
        if (op == "SO")
            ch.written.offset = signed24(*v);
        else if (op == "SP")
            ch.written.gainP = *v;
        else
            ch.written.gainM = *v;
        return cmd.accepted();
    }
    if (op == "FQ" || op == "SE" || op == "SA") {
        if (!validAnalog(c))
            return cmd.rejected(kParameterFault);
        if (op == "FQ") {
            if (!parseHex(arg, 4))
                return cmd.rejected(kParameterFault);
            m_channels[std::size_t(c - 1)].carrier = QString::fromLatin1(arg).toUpper();
            return cmd.accepted();
        }
        if (!arg.isEmpty() || c != 1)
            return cmd.rejected(kParameterFault);
        m_calibrationMode = op == "SE";
        return cmd.accepted();
    }
    if (op == "IP" || op == "iP" || op == "PA" || op == "PR") {
        if (!validChannel(c) || !isScale(c))
            return std::nullopt;
        if (op == "iP")
            return cmd.accepted(interpolation(c).toLatin1());
        if (op == "IP") {
            const auto v = parseHex(arg, 2);
            if (!v || *v < 1 || *v > 8)
                return cmd.rejected(kParameterFault);
            setInterpolation(c, QString::fromLatin1(arg));
            return cmd.accepted();
        }
        if (op == "PA")
            return cmd.accepted(hex24(counter(c)));
        setCounter(c, 0);
        return cmd.accepted();
    }
    if (op == "DA" && m_kind == Kind::ADA2 && (c == 3 || c == 4)) {
        const auto v = parseHex(arg, 4);
        const int value = v ? qint16(quint16(*v)) : 0;
        if (!v || value < -2047 || value > 2047)
            return cmd.rejected(kParameterFault);
        m_dac[c] = value;
        return cmd.accepted();
    }
    return std::nullopt;
}

std::optional<QByteArray> SimProbeBoard::axisCommand(const QByteArray& body, const QByteArray& frame)
{
    const SimCommand cmd = commandOf(frame);
    const char a = body.at(0);
    const QByteArray rest = body.mid(1);
    if (body == "1BR") {
        m_measuring = false;
        return cmd.accepted();
    }
    if (rest.startsWith("DPOS")) {
        // "count,start,delta": the error number follows the command letters.
        const QList<QByteArray> args = rest.mid(4).split(',');
        bool ok = args.size() == 3;
        const int count = ok ? args[0].toInt(&ok) : 0;
        bool okStart = false, okDelta = false;
        if (ok) {
            args[1].toDouble(&okStart);
            args[2].toDouble(&okDelta);
        }
        if (!ok || !okStart || !okDelta || count <= 0)
            return QByteArray("[") + a + "DPOS?" + hexDigits(kParameterFault, 4) + "]";
        m_count = count;
        m_points = 0;
        m_measuring = true;
        return QByteArray("[") + a + "DPOS0000]";
    }
    if (rest == "Dp") {
        if (m_measuring) {
            m_points = std::min(m_count, m_points + m_pointsPerPoll);
            m_measuring = m_points < m_count;
        }
        return cmd.accepted(QByteArray::number(m_points));
    }
    const QString key = QString::fromLatin1(rest.left(3)).toUpper();
    if (rest.size() >= 3 && kSystemKeys.contains(key)) {
        const bool read = rest.at(0) >= 'a' && rest.at(0) <= 'z';
        if (read && rest.size() == 3)
            return cmd.accepted(systemValue(a, key).toLatin1(), 4);
        if (!read && rest.size() > 3 && rest.left(3) == key.toLatin1()) {
            bool ok = false;
            rest.mid(3).toDouble(&ok);
            if (!ok)
                return cmd.rejected(kParameterFault, 4);
            setSystemValue(a, key, QString::fromLatin1(rest.mid(3)));
            return cmd.accepted({}, 4);
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> SimProbeBoardDevice::handle(SimUnit& unit, const SimCommand& command)
{
    if (auto r = m_board.answer(command.frame))
        return r;
    // The peak recording and the plain board commands read the live values.
    QList<qint32> values;
    for (int c = 1; c <= m_board.channelCount(); ++c)
        values << m_board.reading(c);
    unit.setChannels(values);
    return SimProbeModel::handle(unit, command);
}

SimProbeBoard& installProbeBoard(SimUnit& unit, SimProbeBoard::Kind kind)
{
    auto device = std::make_unique<SimProbeBoardDevice>(kind);
    SimProbeBoard& board = device->board();
    board.setNumber(unit.address());
    unit.setModel(std::move(device));
    return board;
}

SimProbeBoard* probeBoardOf(SimUnit& unit)
{
    auto* device = dynamic_cast<SimProbeBoardDevice*>(unit.model());
    return device ? &device->board() : nullptr;
}
