#include "AblaufText.h"

#include <cmath>
#include <limits>

namespace seqtext {

namespace {
bool isAsciiDigit(QChar c)
{
    return c.isDigit() && c.unicode() < 128;
}

// Where the leading number of `text` from `from` lies: its start (after the
// blanks), the end of its sign, integer and fraction part, and whether that
// part holds a digit.
struct NumberSpan
{
    qsizetype start = 0;
    qsizetype end = 0;
    bool digits = false;
};

NumberSpan scanNumber(const QString& text, qsizetype from)
{
    qsizetype i = std::max<qsizetype>(from, 0);
    const qsizetype n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    NumberSpan span;
    span.start = i;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    while (i < n && isAsciiDigit(text.at(i))) {
        ++i;
        span.digits = true;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && isAsciiDigit(text.at(i))) {
            ++i;
            span.digits = true;
        }
    }
    span.end = i;
    return span;
}
}  // namespace

bool hasLeadingNumber(const QString& text, qsizetype from)
{
    return scanNumber(text, from).digits;
}

double leadingNumber(const QString& text, qsizetype from)
{
    const NumberSpan span = scanNumber(text, from);
    if (!span.digits)
        return 0.0;
    const qsizetype n = text.size();
    const qsizetype i = span.end;
    // An exponent only counts when digits follow it.
    qsizetype end = i;
    if (i < n && (text.at(i) == QLatin1Char('E') || text.at(i) == QLatin1Char('e'))) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == QLatin1Char('-') || text.at(j) == QLatin1Char('+')))
            ++j;
        if (j < n && text.at(j).isDigit()) {
            while (j < n && text.at(j).isDigit())
                ++j;
            end = j;
        }
    }
    // A number too large for a double is no number at all (not a silent 0).
    bool ok = false;
    const double v = text.mid(span.start, end - span.start).toDouble(&ok);
    return ok && std::isfinite(v) ? v : std::numeric_limits<double>::quiet_NaN();
}

namespace {
std::optional<QString> digits8(double rounded)
{
    if (!std::isfinite(rounded) || rounded < double(std::numeric_limits<qint32>::min()) ||
        rounded > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    const auto bits = quint32(qint32(rounded));
    return QStringLiteral("%1").arg(bits, 8, 16, QLatin1Char('0')).toUpper();
}
}  // namespace

std::optional<QString> moveDigits(double value, double factor)
{
    return digits8(std::round(value * factor));
}

std::optional<QString> Hex_8(double value)
{
    return digits8(std::nearbyint(value));
}

quint32 leadingHex(const QString& text)
{
    quint32 v = 0;
    for (const QChar c : text) {
        const int d = QString(c).toInt(nullptr, 16);
        const bool hex = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                         (c.toUpper() >= QLatin1Char('A') && c.toUpper() <= QLatin1Char('F'));
        if (!hex)
            break;
        v = v * 16 + quint32(d);
    }
    return v;
}

double HexWert(const QString& text)
{
    // Eight digits are a signed 32-bit value ("FFFFFC18" is -1000); fewer
    // cannot reach the sign bit.
    double v = qint32(leadingHex(text));
    if (v > 8388607)
        v -= 16777216;
    return v;
}

double HexWertAK(const QString& text)
{
    double v = qint32(leadingHex(text)) / 2560.0;
    if (v > 3276.8)
        v -= 6553.6;
    return v;
}

std::optional<QString> Klammertest(const QString& text)
{
    const qsizetype close = text.lastIndexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    const qsizetype open = text.lastIndexOf(QLatin1Char('['), close);
    if (open < 0)
        return std::nullopt;
    return text.mid(open, close - open + 1);
}

}  // namespace seqtext
