#pragma once
// Small conversions the windows share: 24-bit colours with blue in the high
// byte, twips, and display masks such as "######0.0000" written with the
// locale's decimal separator.

#include <QColor>
#include <QString>

// 0x00BBGGRR to QColor.
QColor bgrColor(quint32 bgr);
quint32 toBgr(const QColor& c);

// 15 twips make one pixel.
constexpr int twipsToPixels(int twips)
{
    return twips / 15;
}
constexpr int pixelsToTwips(int pixels)
{
    return pixels * 15;
}

// Formats a value through a mask of "#", "0" and one ".": the number of
// characters after "." gives the decimals (rounded half away from zero), the
// "0"s before it the minimum count of integer digits; "#" adds nothing.
// `comma` writes "," as the decimal separator.
QString formatMask(double value, const QString& mask, bool comma);
