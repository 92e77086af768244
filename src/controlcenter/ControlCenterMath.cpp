#include "ControlCenterMath.h"

#include "Format.h"
#include "globale_Funktionen.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace leitstand {

bool imZaehlbereich(double counts)
{
    return std::isfinite(counts) && std::fabs(counts) <= MaxCounter;
}

std::optional<double> zahlLesen(const QString& text, bool komma)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QChar sep = komma ? QLatin1Char(',') : QLatin1Char('.');
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
    if (komma)
        c.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = c.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString numberText(double value, bool komma)
{
    QString s = QString::number(value, 'g', 15);
    if (komma)
        s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

QString maskiert(double value, const QString& mask, bool komma)
{
    const qsizetype blank = mask.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return formatMask(value, mask, komma);
    return formatMask(value, mask.left(blank), komma) + mask.mid(blank);
}

double aufGanzzahl(double value)
{
    return std::nearbyint(value);
}

std::optional<int> wholeInt(double value)
{
    const double r = std::isfinite(value) ? aufGanzzahl(value) : 0.0;
    if (!std::isfinite(value) || r < double(std::numeric_limits<int>::min()) ||
        r > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return int(r);
}

std::optional<double> antwortWert(const QString& reply, const QString& command, int digits)
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

std::optional<Positionsanzeige> positionstext(double counts, double motorfaktor, bool drehachse, int stelleIndex,
                                              bool komma)
{
    if (motorfaktor == 0 || !std::isfinite(motorfaktor))
        return std::nullopt;
    const int d = std::clamp(stelleIndex, 0, 5) + 1;
    Positionsanzeige out;
    out.aufloesung = 1000.0 / motorfaktor;
    if (!drehachse) {
        const double p = counts / motorfaktor;
        const double step = 1000.0 / std::pow(10.0, d);
        if (step > out.aufloesung)
            out.aufloesung = step;
        out.text = maskiert(p, QStringLiteral("##0.") + QString(d, QLatin1Char('0')) + QStringLiteral(" mm"), komma);
        return out;
    }
    // Revolutions to seven decimals, then the angle within the revolution:
    // -0.25 revolutions are 270 degrees.
    const double rev = std::round(counts / motorfaktor * 1e7) / 1e7;
    const double whole = std::floor(rev);
    const double angle = (rev - whole) * 360.0;
    const double step = 10000.0 / std::pow(10.0, d);
    if (step > out.aufloesung)
        out.aufloesung = step;
    const double a = out.aufloesung;
    const int decimals = a >= 100 ? 1 : a >= 10 ? 2 : a >= 1 ? 3 : a >= 0.1 ? 4 : a >= 0.01 ? 5 : 6;
    out.text = maskiert(angle, QStringLiteral("##0.") + QString(decimals, QLatin1Char('0')) + QStringLiteral(" °"),
                        komma);
    return out;
}

std::optional<double> streckeInZaehler(double value, int einheit, double motorfaktor)
{
    switch (einheit) {
    case mm:
        return value * motorfaktor;
    case um:
        return value * motorfaktor / 1000.0;
    case nm:
        return value * motorfaktor / 1000000.0;
    case counts:
        return value;
    case Grad:
        return value * motorfaktor / 360.0;
    default:
        return std::nullopt;
    }
}

std::optional<Rohwert> geschwindigkeitEingabe(std::optional<double> typed, double vmin, double vmax)
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
    const double raw = std::clamp(aufGanzzahl(v / vmin), 0.0, double(MaxRawSpeed));
    return Rohwert{v, int(raw)};
}

std::optional<Rohwert> beschleunigungEingabe(std::optional<double> typed, double amin)
{
    if (!(amin > 0) || !std::isfinite(amin))
        return std::nullopt;
    double a = typed.value_or(amin);
    if (a < amin)
        a = amin;
    if (a > MaxRawAcceleration)
        a = MaxRawAcceleration;
    const double raw = std::clamp(aufGanzzahl(a / amin), double(MinRawAcceleration), double(MaxRawAcceleration));
    // The box shows what goes on the wire, after the raw clamp.
    return Rohwert{raw * amin, int(raw)};
}

std::optional<Balkengrenze> geschwindigkeitsbalken(double vmax, double vmin)
{
    if (!(vmin > 0) || !std::isfinite(vmax) || vmax < 0)
        return std::nullopt;
    const double r = vmax / vmin;
    const double max = aufGanzzahl(r - 32768.0);
    if (!std::isfinite(r) || max > 32767 || max < -32768)
        return std::nullopt;
    Balkengrenze out;
    out.max = int(max);
    out.largeChange = r <= 1000 ? 10 : int(aufGanzzahl(r * 0.001));
    return out;
}

double grenzeInZaehler(double value, double motorfaktor, bool drehachse)
{
    return drehachse ? value * motorfaktor / 360.0 : value * motorfaktor;
}

std::optional<double> grenzeAusZaehler(double counts, double motorfaktor, bool drehachse)
{
    if (motorfaktor == 0 || !std::isfinite(motorfaktor))
        return std::nullopt;
    const double v = counts / motorfaktor;
    return drehachse ? v * 360.0 : v;
}

std::optional<QString> fahrbefehl(const QString& kennung, QChar letter, double counts)
{
    if (!imZaehlbereich(counts))
        return std::nullopt;
    bool ok = false;
    const QString arg = hex8(counts, &ok);
    if (!ok)
        return std::nullopt;
    return QStringLiteral("[1") + kennung + letter + arg + QLatin1Char(']');
}

Postteile splitPost(const QString& post)
{
    const qsizetype end = post.indexOf(QLatin1Char(']'));
    if (end < 0)
        return {};
    return {post.left(end + 1), post.mid(end + 1)};
}

double erstesZeitlimit(const QString& erster)
{
    return erster.mid(1, 3) == QLatin1String("0ff") ? 4.0 : 0.0;
}

double zweitesZeitlimit(const QString& zweiter)
{
    return zweiter == QLatin1String("[0ST]") ? 0.2 : 0.0;
}

int zweiterModus(const QString& zweiter)
{
    return zweiter == QLatin1String("[0ST]") ? 1 : 0;
}

QString fehlerzeilen(const QString& text, int breite)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); i += breite)
        out += text.mid(i, breite) + QStringLiteral("\r\n");
    return out;
}

std::optional<Endschalterfarben> endschalterFarben(const QString& zustand)
{
    if (zustand == QLatin1String("00"))
        return Endschalterfarben{Hellgrau, Hellgrau};
    if (zustand == QLatin1String("01"))
        return Endschalterfarben{Rot, Hellgrau};
    if (zustand == QLatin1String("10"))
        return Endschalterfarben{Hellgrau, Rot};
    if (zustand == QLatin1String("11"))
        return Endschalterfarben{Rot, Rot};
    return std::nullopt;
}

Joystick joystickOff(const QString& inReply)
{
    if (inReply.mid(12, 1) == QLatin1String("C"))
        return Joystick::Schnell;
    if (inReply.mid(11, 2) == QLatin1String("16"))
        return Joystick::Langsam;
    return Joystick::Keiner;
}

bool zeichenErlaubt(QChar c, Eingabefeld feld, bool komma)
{
    if (c == QChar(8))
        return true;
    if (c.unicode() < 128 && c.isDigit())
        return true;
    if (c == (komma ? QLatin1Char(',') : QLatin1Char('.')))
        return true;
    if (feld != Eingabefeld::Zahl && (c == QLatin1Char('+') || c == QLatin1Char('-')))
        return true;
    return false;
}

} // namespace leitstand
