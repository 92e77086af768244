#include "GaugePainter.h"

#include <QPainter>

namespace levelon {

namespace {

// System colour indices used by the drawing.
constexpr int kSysButtonShadow = 16;
constexpr int kSysButtonHighlight = 20;
constexpr int kSysDarkShadow = 21;
constexpr int kSysLight = 22;

QColor systemColor(int index, const QPalette& pal)
{
    switch (index) {
    case 0: return pal.color(QPalette::Button);                                // scroll bar
    case 1: return pal.color(QPalette::Window);                                // desktop
    case 2: return pal.color(QPalette::Active, QPalette::Highlight);           // active caption
    case 3: return pal.color(QPalette::Inactive, QPalette::Highlight);         // inactive caption
    case 4: return pal.color(QPalette::Window);                                // menu
    case 5: return pal.color(QPalette::Base);                                  // window
    case 6: return pal.color(QPalette::Shadow);                                // window frame
    case 7: return pal.color(QPalette::WindowText);                            // menu text
    case 8: return pal.color(QPalette::Text);                                  // window text
    case 9: return pal.color(QPalette::HighlightedText);                       // caption text
    case 10: return pal.color(QPalette::Window);                               // active border
    case 11: return pal.color(QPalette::Window);                               // inactive border
    case 12: return pal.color(QPalette::Mid);                                  // application workspace
    case 13: return pal.color(QPalette::Highlight);                            // highlight
    case 14: return pal.color(QPalette::HighlightedText);                      // highlighted text
    case 15: return pal.color(QPalette::Button);                               // button face
    case kSysButtonShadow: return pal.color(QPalette::Dark);                   // button shadow
    case 17: return pal.color(QPalette::Disabled, QPalette::Text);             // grey text
    case 18: return pal.color(QPalette::ButtonText);                           // button text
    case 19: return pal.color(QPalette::Inactive, QPalette::HighlightedText);  // inactive caption text
    case kSysButtonHighlight: return pal.color(QPalette::Light);               // button highlight
    case kSysDarkShadow: return pal.color(QPalette::Shadow);                   // 3-D dark shadow
    case kSysLight: return pal.color(QPalette::Midlight);                      // 3-D light
    case 23: return pal.color(QPalette::ToolTipText);                          // tool-tip text
    case 24: return pal.color(QPalette::ToolTipBase);                          // tool-tip background
    case 26: return pal.color(QPalette::Link);                                 // hot-tracked item
    case 27: return pal.color(QPalette::Active, QPalette::Highlight);          // caption gradients
    case 28: return pal.color(QPalette::Inactive, QPalette::Highlight);
    case 29: return pal.color(QPalette::Highlight);  // menu highlight
    case 30: return pal.color(QPalette::Window);     // menu bar
    default: return QColor(Qt::black);
    }
}

// Fills the rectangle (left, top, right, bottom), right and bottom edges
// excluded. An empty or inverted rectangle draws nothing; what lies outside
// the image is clipped before the numbers are narrowed to int.
void fill(QPainter& p, const QSize& size, qint64 left, qint64 top, qint64 right, qint64 bottom, const QColor& color)
{
    if (right <= left || bottom <= top)
        return;
    left = qMax<qint64>(left, 0);
    top = qMax<qint64>(top, 0);
    right = qMin<qint64>(right, size.width());
    bottom = qMin<qint64>(bottom, size.height());
    if (right <= left || bottom <= top)
        return;
    p.fillRect(QRect(int(left), int(top), int(right - left), int(bottom - top)), color);
}

// A line along one pixel column (x, from y1 towards y2) or row (y, from x1
// towards x2), the second end excluded, in either direction: a line of
// length 0 draws nothing.
void columnLine(QPainter& p, const QSize& size, qint64 x, qint64 y1, qint64 y2, const QColor& color)
{
    if (y2 >= y1)
        fill(p, size, x, y1, x + 1, y2, color);
    else
        fill(p, size, x, y2 + 1, x + 1, y1 + 1, color);
}

void rowLine(QPainter& p, const QSize& size, qint64 y, qint64 x1, qint64 x2, const QColor& color)
{
    if (x2 >= x1)
        fill(p, size, x1, y, x2, y + 1, color);
    else
        fill(p, size, x2 + 1, y, x1 + 1, y + 1, color);
}

// a × b ÷ c, truncated toward zero. The operands are differences of 32-bit
// numbers, so the product can need more than 64 bits. The result is a
// distance in pixels that is clipped to the image anyway: it is kept within
// ±2^40, so that adding it to a coordinate can never overflow.
qint64 mulDiv(qint64 a, qint64 b, qint64 c)
{
    constexpr __int128 Limit = __int128(1) << 40;
    if (c == 0)
        return 0;
    const __int128 q = (__int128(a) * b) / c;
    return qint64(q > Limit ? Limit : q < -Limit ? -Limit : q);
}

// One sunken ring of the edge: the top and left sides in one colour, the
// bottom and right sides (drawn over the corners) in the other.
void edgeRing(QPainter& p, const QSize& size, int l, int t, int r, int b, const QColor& topLeft,
              const QColor& bottomRight)
{
    fill(p, size, l, t, r - 1, t + 1, topLeft);
    fill(p, size, l, t, l + 1, b - 1, topLeft);
    fill(p, size, l, b - 1, r, b, bottomRight);
    fill(p, size, r - 1, t, r, b, bottomRight);
}

struct BarArea
{
    qint64 left, top, right, bottom;
};

void drawHorizontal(QPainter& p, const QSize& size, const GaugeState& s, const BarArea& a, int k, const QColor& pen,
                    const QPalette& pal)
{
    const qint64 value = s.value, min = s.min, max = s.max;
    qint64 x0 = 0;
    if (k == 1) {
        x0 = a.right;
    } else if (k == 2) {
        x0 = a.left;
    } else if (k == 3) {
        x0 = a.left + mulDiv(a.left - a.right, min, max - min);
        columnLine(p, size, x0, a.top, a.bottom, pen);
    }

    if (k & 1) {
        const qint64 upper = (k & 2) ? 0 : max;
        if (value < upper && min != upper) {
            qint64 xl = a.left + mulDiv(min - value, x0 - a.left, min - upper);
            if (xl < a.left)
                xl = a.left;
            fill(p, size, xl, a.top, x0, a.bottom, resolveColor(s.negColor, pal));
        }
    }
    if (k & 2) {
        qint64 lower = min;
        qint64 start = x0;
        if (min < 0) {
            lower = 0;
            start = x0 + 1;  // the zero line stays visible
        }
        if (value > lower && max != lower) {
            qint64 xr = start + mulDiv(value - lower, a.right - start, max - lower);
            if (xr > a.right)
                xr = a.right;
            fill(p, size, start, a.top, xr, a.bottom, resolveColor(s.posColor, pal));
        }
    }
}

void drawVertical(QPainter& p, const QSize& size, const GaugeState& s, const BarArea& a, int k, const QColor& pen,
                  const QPalette& pal)
{
    const qint64 value = s.value, min = s.min, max = s.max;
    qint64 y0 = 0;
    if (k == 1) {
        y0 = a.top;
    } else if (k == 2) {
        y0 = a.bottom;
    } else if (k == 3) {
        y0 = a.bottom - mulDiv(a.top - a.bottom, min, max - min);
        rowLine(p, size, y0, a.left, a.right, pen);
    }

    if (k & 2) {
        const qint64 lower = (k & 1) ? 0 : min;
        if (value > lower && max != lower) {
            qint64 yt = y0 - mulDiv(value - lower, y0 - a.top, max - lower);
            if (yt < a.top)
                yt = a.top;
            fill(p, size, a.left, yt, a.right, y0, resolveColor(s.posColor, pal));
        }
    }
    if (k & 1) {
        qint64 upper = max;
        qint64 start = y0;
        if (max > 0) {
            upper = 0;
            start = y0 + 1;
        }
        if (value < upper && min != upper) {
            qint64 yb = a.bottom - mulDiv(min - value, a.bottom - start, min - upper);
            if (yb > a.bottom)
                yb = a.bottom;
            fill(p, size, a.left, start, a.right, yb, resolveColor(s.negColor, pal));
        }
    }
}

}  // namespace

QColor resolveColor(qint32 color, const QPalette& palette)
{
    if (color < 0)
        return systemColor(color & 0xFF, palette);
    const quint32 bgr = quint32(color);
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QImage renderGauge(const GaugeState& s, GaugeKind kind, QSize size, const QPalette& pal)
{
    const int w = size.width();
    const int h = size.height();
    if (w <= 0 || h <= 0)
        return {};

    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);  // a fresh bitmap is black
    QPainter p(&image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    const QColor pen = systemColor(kSysDarkShadow, pal);

    int b = 0;
    if (s.borderStyle == bsFlat) {
        fill(p, size, 0, 0, w, 1, pen);
        fill(p, size, w - 1, 0, w, h, pen);
        fill(p, size, 0, h - 1, w, h, pen);
        fill(p, size, 0, 0, 1, h, pen);
        b = 1;
    } else if (s.borderStyle == bsFixedSingle) {
        edgeRing(p, size, 0, 0, w, h, systemColor(kSysButtonShadow, pal), systemColor(kSysButtonHighlight, pal));
        edgeRing(p, size, 1, 1, w - 1, h - 1, systemColor(kSysDarkShadow, pal), systemColor(kSysLight, pal));
        b = 2;
    }

    // Background of the area inside the border.
    if (w - b > b && h - b > b) {
        const QRect inner(b, b, w - 2 * b, h - 2 * b);
        if (s.picture.isNone() || s.picture.image.isNull())
            p.fillRect(inner, resolveColor(s.backColor, pal));
        else
            p.drawImage(inner, s.picture.image, s.picture.image.rect());  // stretched, plain copy
    }

    const BarArea area{qint64(b) + s.leftSpace, qint64(b) + s.topSpace, qint64(w) - b - s.rightSpace,
                       qint64(h) - b - s.bottomSpace};
    // An empty or inverted bar area still gets its zero line; the bars are
    // rectangles and fill nothing there.
    const int k = (s.min < 0 ? 1 : 0) + (s.max > 0 ? 2 : 0);
    if (kind == GaugeKind::Horizontal)
        drawHorizontal(p, size, s, area, k, pen, pal);
    else
        drawVertical(p, size, s, area, k, pen, pal);
    return image;
}

}  // namespace levelon
