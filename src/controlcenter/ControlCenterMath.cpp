#include "ControlCenterMath.h"

#include "Format.h"
#include "globale_Funktionen.h"
#include "Protocol.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace controlDesk {

bool inCountRange(double counts)
{
    return std::isfinite(counts) && std::fabs(counts) <= MaxCounter;
}

std::optional<double> readNumberField(const QString& text, bool usesComma)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QChar sep = usesComma ? QLatin1Char(',') : QLatin1Char('.');
    int digits = 0;
    int separators = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c.isDigit() && c.unicode() < 128)
            ++digits;
        else if (c == sep)
            ++separators;
        else if ((c == QLatin1Char('+') || c == QLatin1Char('-')) && i == 0)
            continue;
        else
            return std::nullopt;
    }
    if (digits == 0 || separators > 1)
        return std::nullopt;
    QString c = t;
    if (usesComma)
        c.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = c.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString numberText(double value, bool usesComma)
{
    QString s = QString::number(value, 'g', 15);
    if (usesComma)
        s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

QString masked(double value, const QString& mask, bool usesComma)
{
    const qsizetype blank = mask.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return formatMask(value, mask, usesComma);
    return formatMask(value, mask.left(blank), usesComma) + mask.mid(blank);
}

double toInteger(double value)
{
    return std::nearbyint(value);
}

std::optional<int> wholeInt(double value)
{
    const double r = std::isfinite(value) ? toInteger(value) : 0.0;
    if (!std::isfinite(value) || r < double(std::numeric_limits<int>::min()) ||
        r > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return int(r);
}

std::optional<double> replyValue(const QString& reply, const QString& command, int digits)
{
    // "[1PA]" -> echo "[1PA", accepted "[1PA!"
    const QString echo = command.endsWith(QLatin1Char(']')) ? command.chopped(1) : command;
    if (!reply.startsWith(echo + QLatin1Char('!')))
        return std::nullopt;
    QString value = reply.mid(echo.size() + 1, digits);
    if (const qsizetype end = value.indexOf(QLatin1Char(']')); end >= 0)
        value.truncate(end);
    if (value.isEmpty())
        return std::nullopt;
    for (const QChar c : value)
        if (c.unicode() > 127 || !std::isxdigit(c.unicode()))
            return std::nullopt;
    // Seven or eight digits: only the low 24 bits are the controller's
    // counter, so the value stays a signed 24-bit number.
    qint64 v = qint64(hex_zu_wert24(value)) & 0xFFFFFF;
    if (v > 8388607)
        v -= 16777216;
    return double(v);
}

std::optional<PositionDisplay> positionText(double counts, double motorFactorArg, bool rotaryAxis, int digitIndex,
                                            bool usesComma)
{
    if (motorFactorArg == 0 || !std::isfinite(motorFactorArg))
        return std::nullopt;
    const int d = std::clamp(digitIndex, 0, 5) + 1;
    PositionDisplay out;
    out.resolution = 1000.0 / motorFactorArg;
    if (!rotaryAxis) {
        const double p = counts / motorFactorArg;
        const double step = 1000.0 / std::pow(10.0, d);
        if (step > out.resolution)
            out.resolution = step;
        out.text = masked(p, QStringLiteral("##0.") + QString(d, QLatin1Char('0')) + QStringLiteral(" mm"), usesComma);
        return out;
    }
    // Revolutions to seven decimals, then the angle within the revolution:
    // -0.25 revolutions are 270 degrees.
    const double rev = std::round(counts / motorFactorArg * 1e7) / 1e7;
    const double whole = std::floor(rev);
    const double angle = (rev - whole) * 360.0;
    const double step = 10000.0 / std::pow(10.0, d);
    if (step > out.resolution)
        out.resolution = step;
    const double a = out.resolution;
    const int decimals = a >= 100 ? 1 : a >= 10 ? 2 : a >= 1 ? 3 : a >= 0.1 ? 4 : a >= 0.01 ? 5 : 6;
    out.text =
        masked(angle, QStringLiteral("##0.") + QString(decimals, QLatin1Char('0')) + QStringLiteral(" °"), usesComma);
    return out;
}

std::optional<double> distanceToCounter(double value, int unitIndex, double motorFactorArg)
{
    switch (unitIndex) {
    case mm: return value * motorFactorArg;
    case um: return value * motorFactorArg / 1000.0;
    case nm: return value * motorFactorArg / 1000000.0;
    case counts: return value;
    case Grad: return value * motorFactorArg / 360.0;
    default: return std::nullopt;
    }
}

std::optional<RawValue> speedInput(std::optional<double> typed, double vmin, double vmax)
{
    if (!(vmin > 0) || !std::isfinite(vmin))
        return std::nullopt;
    double v = typed.value_or(vmin);
    if (v < vmin)
        v = vmin;
    if (v > vmax)
        v = vmax;
    if (v < vmin)  // vmax below vmin: the slowest speed there is
        v = vmin;
    const double raw = std::clamp(toInteger(v / vmin), 0.0, double(MaxRawSpeed));
    return RawValue{v, int(raw)};
}

std::optional<RawValue> accelerationInput(std::optional<double> typed, double amin)
{
    if (!(amin > 0) || !std::isfinite(amin))
        return std::nullopt;
    double a = typed.value_or(amin);
    if (a < amin)
        a = amin;
    if (a > MaxRawAcceleration)
        a = MaxRawAcceleration;
    const double raw = std::clamp(toInteger(a / amin), double(MinRawAcceleration), double(MaxRawAcceleration));
    // The box shows what goes on the wire, after the raw clamp.
    return RawValue{raw * amin, int(raw)};
}

std::optional<BarLimit> speedBar(double vmax, double vmin)
{
    if (!(vmin > 0) || !std::isfinite(vmax) || vmax < 0)
        return std::nullopt;
    const double r = vmax / vmin;
    const double max = toInteger(r - 32768.0);
    if (!std::isfinite(r) || max > 32767 || max < -32768)
        return std::nullopt;
    BarLimit out;
    out.max = int(max);
    out.largeChange = r <= 1000 ? 10 : int(toInteger(r * 0.001));
    return out;
}

double limitToCounter(double value, double motorFactorArg, bool rotaryAxis)
{
    return rotaryAxis ? value * motorFactorArg / 360.0 : value * motorFactorArg;
}

double limitBoxToCounter(double value, double motorFactorArg, bool rotaryAxis)
{
    const double counts = limitToCounter(value, motorFactorArg, rotaryAxis);
    const double halfDigit = std::fabs(limitToCounter(0.005, motorFactorArg, rotaryAxis));
    if (std::fabs(counts) > MaxCounter && std::fabs(counts) - MaxCounter <= halfDigit)
        return std::copysign(MaxCounter, counts);
    return counts;
}

std::optional<double> limitFromCounter(double counts, double motorFactorArg, bool rotaryAxis)
{
    if (motorFactorArg == 0 || !std::isfinite(motorFactorArg))
        return std::nullopt;
    const double v = counts / motorFactorArg;
    return rotaryAxis ? v * 360.0 : v;
}

std::optional<QString> driveCommand(const QString& modeId, QChar letter, double counts)
{
    if (!inCountRange(counts))
        return std::nullopt;
    bool ok = false;
    const QString arg = hex8(counts, &ok);
    if (!ok)
        return std::nullopt;
    return QStringLiteral("[1") + modeId + letter + arg + QLatin1Char(']');
}

PostParts splitPost(const QString& post)
{
    const qsizetype end = post.indexOf(QLatin1Char(']'));
    if (end < 0)
        return {};
    return {post.left(end + 1), post.mid(end + 1)};
}

double firstTimeLimit(const QString& firstPart)
{
    return firstPart.mid(1, 3) == QLatin1String("0ff") ? 4.0 : 0.0;
}

double secondTimeLimit(const QString& secondPart)
{
    return secondPart == protocol::Status ? 0.2 : 0.0;
}

protocol::Rejection secondMode(const QString& secondPart)
{
    return secondPart == protocol::Status ? protocol::Rejection::QueryStatus : protocol::Rejection::Show;
}

QString errorLines(const QString& text, int widthPx)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); i += widthPx)
        out += text.mid(i, widthPx) + QStringLiteral("\r\n");
    return out;
}

std::optional<LimitSwitchColors> limitSwitchColors(const QString& stateBits)
{
    if (stateBits == QLatin1String("00"))
        return LimitSwitchColors{LightGray, LightGray};
    if (stateBits == QLatin1String("01"))
        return LimitSwitchColors{Red, LightGray};
    if (stateBits == QLatin1String("10"))
        return LimitSwitchColors{LightGray, Red};
    if (stateBits == QLatin1String("11"))
        return LimitSwitchColors{Red, Red};
    return std::nullopt;
}

Joystick joystickOff(const QString& inReply)
{
    if (inReply.mid(12, 1) == QLatin1String("C"))
        return Joystick::FastSpeed;
    if (inReply.mid(11, 2) == QLatin1String("16"))
        return Joystick::SlowSpeed;
    return Joystick::NoJoystick;
}

bool characterAllowed(QChar c, InputField fieldKind, bool usesComma)
{
    if (c == QChar(8))
        return true;
    if (c.unicode() < 128 && c.isDigit())
        return true;
    if (c == (usesComma ? QLatin1Char(',') : QLatin1Char('.')))
        return true;
    if (fieldKind != InputField::Zahl && (c == QLatin1Char('+') || c == QLatin1Char('-')))
        return true;
    return false;
}

}  // namespace controlDesk
