#include "SimUnit.h"

#include <algorithm>

namespace {

QByteArray hexDigits(quint32 value, int width)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

QByteArray hex24(qint32 value)
{
    return hexDigits(quint32(value) & 0xFFFFFFu, 6);
}

constexpr int kRegisterDigits = 156;

}  // namespace

UnitType unitTypeFromAddress(const QString& address)
{
    if (address.isEmpty())
        return UnitType::Unknown;
    switch (address.at(0).toLatin1()) {
    case '0':
    case '8': return UnitType::Mot;
    case '1': return UnitType::IK;
    case '2': return UnitType::AK;
    case '3': return UnitType::AKIK;
    case '4': return UnitType::ADA;
    case '5': return UnitType::AK16;
    case '7': return UnitType::EA;
    case 'C': return UnitType::UM;
    default: return UnitType::Unknown;
    }
}

QString unitTypeName(UnitType type)
{
    switch (type) {
    case UnitType::Mot: return QStringLiteral("Mot");
    case UnitType::IK: return QStringLiteral("IK");
    case UnitType::AK: return QStringLiteral("AK");
    case UnitType::AKIK: return QStringLiteral("AKIK");
    case UnitType::ADA: return QStringLiteral("ADA");
    case UnitType::AK16: return QStringLiteral("AK16");
    case UnitType::EA: return QStringLiteral("EA");
    case UnitType::UM: return QStringLiteral("UM");
    case UnitType::Unknown: break;
    }
    return QStringLiteral("?");
}

bool isUnitAddress(const QString& address)
{
    if (address.size() != 2)
        return false;
    for (QChar c : address) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool letter = c >= QLatin1Char('A') && c <= QLatin1Char('F');
        if (!digit && !letter)
            return false;
    }
    return true;
}

QByteArray SimCommand::reply(char status, const QByteArray& values, int head) const
{
    const char open = frame.isEmpty() ? '[' : frame.at(0);
    const char close = frame.size() > 1 ? frame.at(frame.size() - 1) : ']';
    return open + body().left(head) + status + values + close;
}

QByteArray SimCommand::rejected(quint16 code, int head) const
{
    return reply(char(protocol::ReplyStatus::Refused), hexDigits(code, 4), head);
}

std::optional<QByteArray> SimBoardModel::handle(SimUnit& unit, const SimCommand& command)
{
    const QByteArray body = command.body();
    if (body == "0ST")
        return command.accepted(hexDigits(unit.statusWord(), 8));
    if (body == "0VN")
        return command.accepted(unit.version().toLatin1());
    if (body == "1PA")
        return command.accepted(hexDigits(quint32(unit.position()) & 0xFFFFFFu, 8));
    if (body == "0IN")
        return command.accepted(hexDigits(unit.inputWord(), 8));
    if (body == "0M1") {
        // Six digits and one separator per channel.
        QByteArray values;
        for (qint32 v : unit.channels())
            values += hex24(v) + ',';
        return command.accepted(values);
    }
    if (body == "1ra")
        return command.accepted(unit.registers());
    return std::nullopt;
}

void SimProbeModel::track(const SimUnit& unit)
{
    const QList<qint32> now = unit.channels();
    if (!m_recording || m_max.size() != now.size()) {
        m_max = now;
        m_min = now;
        return;
    }
    for (qsizetype i = 0; i < now.size(); ++i) {
        m_max[i] = std::max(m_max[i], now[i]);
        m_min[i] = std::min(m_min[i], now[i]);
    }
}

std::optional<QByteArray> SimProbeModel::handle(SimUnit& unit, const SimCommand& command)
{
    const QByteArray body = command.body();
    if (body == "0ME") {
        m_recording = false;
        track(unit);
        m_recording = true;
        return command.accepted();
    }
    if (body == "0MA") {
        m_recording = false;
        return command.accepted();
    }
    if (body == "0MH" || body == "0ML") {
        track(unit);
        const QList<qint32>& values = body == "0MH" ? m_max : m_min;
        QByteArray groups;
        for (int i = 0; i < 4; ++i)
            groups += hex24(i < values.size() ? values[i] : 0) + ',';
        return command.accepted(groups);
    }
    return SimBoardModel::handle(unit, command);
}

SimUnit::SimUnit(const QString& address, int baud)
    : m_address(address), m_type(unitTypeFromAddress(address)), m_baud(baud),
      m_version(unitTypeName(m_type) + QStringLiteral(" V1.00")), m_registers(kRegisterDigits, '0'),
      m_model(makeDeviceModel(m_type))
{
}

void SimUnit::setHandler(const QString& prefix, Handler handler)
{
    if (handler)
        m_handlers.insert(prefix, std::move(handler));
    else
        m_handlers.remove(prefix);
}

void SimUnit::setReplyPieces(int pieces, double gap)
{
    m_pieces = qMax(1, pieces);
    m_pieceGap = qMax(0.0, gap);
}

void SimUnit::rejectNext(const QString& command, quint16 code, int times)
{
    if (times > 0)
        m_rejections.append({command.toLatin1(), code, times});
}

QByteArray SimUnit::respond(const SimCommand& command)
{
    m_received.append(QString::fromLatin1(command.frame));
    m_extraDelay = 0.0;
    if (m_silent)
        return {};

    QByteArray reply;
    bool decided = false;
    for (auto it = m_rejections.begin(); it != m_rejections.end(); ++it) {
        if (command.frame.startsWith(it->command)) {
            reply = command.rejected(it->code);
            if (--it->remaining == 0)
                m_rejections.erase(it);
            decided = true;
            break;
        }
    }

    if (!decided) {
        // The longest matching prefix wins, so a handler for "0ff0" can sit
        // beside one for "0ff".
        const QString body = QString::fromLatin1(command.body());
        const Handler* chosen = nullptr;
        qsizetype chosenLength = -1;
        for (auto it = m_handlers.cbegin(); it != m_handlers.cend(); ++it) {
            if (body.startsWith(it.key()) && it.key().size() > chosenLength) {
                chosen = &it.value();
                chosenLength = it.key().size();
            }
        }
        if (chosen) {
            if (auto r = (*chosen)(*this, command)) {
                reply = *r;
                decided = true;
            }
        }
    }
    if (!decided && m_model) {
        if (auto r = m_model->handle(*this, command)) {
            reply = *r;
            decided = true;
        }
    }
    if (!decided)
        reply = command.rejected(kUnknownCommandCode);

    if (reply.isEmpty())
        return {};
    if (!m_garbage.isEmpty())
        return m_garbage;
    if (m_replyLength > reply.size())
        reply.insert(reply.size() - 1, QByteArray(m_replyLength - reply.size(), '0'));
    if (!m_stray.isEmpty() && command.frame.startsWith(m_strayCommand))
        reply.prepend(m_stray);
    return reply;
}
