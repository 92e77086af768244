#include "globale_Funktionen.h"

#include <QLocale>

#include <cmath>
#include <limits>

QString hexN(double value, int width, bool* ok)
{
    if (ok)
        *ok = false;
    // The conversion rounds like a signed 32-bit integer conversion: to the
    // nearest whole number, halves to the even neighbour.
    const double rounded = std::isfinite(value) ? std::nearbyint(value) : 0.0;
    if (!std::isfinite(value) || rounded < double(std::numeric_limits<qint32>::min()) ||
        rounded > double(std::numeric_limits<qint32>::max())) {
        if (!ok)
            throw HexOverflow("hexadecimal argument out of range");
        return {};
    }
    const auto whole = static_cast<qint32>(rounded);
    QString text = QString::number(static_cast<quint32>(whole), 16).toUpper();
    while (text.size() < width)
        text.prepend(QLatin1Char('0'));
    if (ok)
        *ok = true;
    return text;
}

QString hex8(double value, bool* ok)
{
    return hexN(value, 8, ok);
}
QString hex6(double value, bool* ok)
{
    return hexN(value, 6, ok);
}
QString hex4(double value, bool* ok)
{
    return hexN(value, 4, ok);
}
QString hex2(double value, bool* ok)
{
    return hexN(value, 2, ok);
}

double hex_zu_wert24(const QString& text)
{
    quint64 value = 0;
    int digits = 0;
    for (const QChar c : text) {
        const int d = c.isDigit() && c.unicode() < 128                   ? c.unicode() - '0'
                      : (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ? c.unicode() - 'A' + 10
                      : (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ? c.unicode() - 'a' + 10
                                                                         : -1;
        if (d < 0)
            break;
        // Only the last eight digits can be meaningful; keep the value in 32 bits.
        value = ((value << 4) | quint64(d)) & 0xFFFFFFFFull;
        ++digits;
    }
    qint64 v = digits >= 8 ? qint64(qint32(quint32(value))) : qint64(value);
    if (v > 8388607)
        v -= 16777216;
    return double(v);
}

bool dezimalkomma()
{
    const QString text = QLocale().toString(1.1);
    return text.size() > 1 && text.at(1) == QLatin1Char(',');
}

void bytes_fuellen(quint8* bytes, quint8 fill, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[i] = fill;
}

QString puffer_zu_text(const quint8* bytes, int size)
{
    QString text;
    for (int i = 0; i < size && i < 256 && bytes[i] != 0; ++i)
        text += QChar::fromLatin1(char(bytes[i]));
    return text;
}

QString bytes_zu_text(const quint8* bytes, int size)
{
    QString text;
    for (int i = 0; i < size && i < 256 && bytes[i] != 0; ++i) {
        quint8 b = bytes[i];
        if (b >= 97 && b <= 122)
            b -= 32;
        text += QChar::fromLatin1(char(b));
    }
    return text;
}
