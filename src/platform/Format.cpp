#include "Format.h"

#include <QLocale>

#include <cmath>

QColor bgrColor(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

quint32 toBgr(const QColor& c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

QString formatMask(double value, const QString& mask, bool comma)
{
    const int dot = mask.indexOf(QLatin1Char('.'));
    const QString intPart = dot < 0 ? mask : mask.left(dot);
    const int decimals = dot < 0 ? 0 : int(mask.size() - dot - 1);
    const int minInt = int(intPart.count(QLatin1Char('0')));
    if (!std::isfinite(value))
        return QString::number(value);

    const double scale = std::pow(10.0, decimals);
    // Half away from zero, as the masks always rounded.
    double scaled = std::round(std::fabs(value) * scale);
    const bool negative = value < 0 && scaled != 0.0;
    QString digits = QString::number(scaled, 'f', 0);
    while (digits.size() < decimals + 1)
        digits.prepend(QLatin1Char('0'));
    QString whole = digits.left(digits.size() - decimals);
    const QString frac = digits.right(decimals);
    if (whole == QLatin1String("0") && minInt == 0)
        whole.clear();
    while (whole.size() < minInt)
        whole.prepend(QLatin1Char('0'));
    QString out = whole;
    if (decimals > 0)
        out += (comma ? QLatin1Char(',') : QLatin1Char('.')) + frac;
    if (negative)
        out.prepend(QLatin1Char('-'));
    return out;
}
