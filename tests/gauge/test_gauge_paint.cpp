// Pixels of the rendered gauges: bar positions, zero line, borders, margins,
// background picture, and the ranges that have no sensible bar.

#include "GaugePainter.h"
#include "ToviGauge.h"

#include <gtest/gtest.h>

#include <limits>

using namespace levelon;

namespace {

// Distinct colours for every palette role the drawing uses, so a pixel tells
// which part drew it.
QPalette testPalette()
{
    QPalette pal;
    pal.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
    pal.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
    pal.setColor(QPalette::Light, QColor(0xFF, 0xFF, 0xFF));
    pal.setColor(QPalette::Shadow, QColor(0x10, 0x10, 0x10));
    pal.setColor(QPalette::Midlight, QColor(0xE0, 0xE0, 0xE0));
    pal.setColor(QPalette::Text, QColor(0x20, 0x40, 0x60));
    return pal;
}

const QColor kBack(0xC0, 0xC0, 0xC0);
const QColor kLine(0x10, 0x10, 0x10);
const QColor kNeg(0, 0, 0xFF);
const QColor kPos(0xFF, 0, 0);

GaugeState borderless(qint32 value)
{
    GaugeState s;
    s.borderStyle = bsNone;
    s.value = value;
    return s;
}

QImage draw(const GaugeState& s, GaugeKind kind, QSize size)
{
    return renderGauge(s, kind, size, testPalette());
}

QColor at(const QImage& img, int x, int y)
{
    return QColor(img.pixel(x, y));
}

// The colour of each column on one row (horizontal) or of each row on one
// column (vertical), checked to be the same across the gauge's thickness.
std::vector<QColor> profile(const QImage& img, GaugeKind kind)
{
    std::vector<QColor> out;
    const bool h = kind == GaugeKind::Horizontal;
    const int length = h ? img.width() : img.height();
    const int thickness = h ? img.height() : img.width();
    for (int i = 0; i < length; ++i) {
        const QColor c = h ? at(img, i, 0) : at(img, 0, i);
        for (int j = 1; j < thickness; ++j)
            EXPECT_EQ(h ? at(img, i, j) : at(img, j, i), c) << "uneven at " << i << "," << j;
        out.push_back(c);
    }
    return out;
}

// Expects [from, to] in `inside` and every other position in `outside`,
// except the zero line at `line` (-1 for none).
void expectRun(const std::vector<QColor>& p, int from, int to, const QColor& inside, int line = -1)
{
    for (int i = 0; i < int(p.size()); ++i) {
        const QColor want = i == line ? kLine : (i >= from && i <= to ? inside : kBack);
        ASSERT_EQ(p[i], want) << "at " << i;
    }
}

bool sameRegion(const QImage& big, QPoint offset, const QImage& small)
{
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            if (big.pixel(offset.x() + x, offset.y() + y) != small.pixel(x, y))
                return false;
    return true;
}

}  // namespace

TEST(GaugePaint, HorizontalBarsAroundZero)
{
    const QSize size(200, 20);
    expectRun(profile(draw(borderless(-50), GaugeKind::Horizontal, size), GaugeKind::Horizontal), 50, 99, kNeg, 100);
    expectRun(profile(draw(borderless(50), GaugeKind::Horizontal, size), GaugeKind::Horizontal), 101, 149, kPos, 100);
    expectRun(profile(draw(borderless(0), GaugeKind::Horizontal, size), GaugeKind::Horizontal), 1, 0, kPos, 100);
    // Beyond the scale the bar ends at the bar area's edge.
    expectRun(profile(draw(borderless(5000), GaugeKind::Horizontal, size), GaugeKind::Horizontal), 101, 199, kPos, 100);
    expectRun(profile(draw(borderless(-5000), GaugeKind::Horizontal, size), GaugeKind::Horizontal), 0, 99, kNeg, 100);
}

TEST(GaugePaint, VerticalBarsAroundZero)
{
    const QSize size(20, 200);
    // Positive grows upwards from the zero line, negative downwards below it.
    expectRun(profile(draw(borderless(50), GaugeKind::Vertical, size), GaugeKind::Vertical), 50, 99, kPos, 100);
    expectRun(profile(draw(borderless(-50), GaugeKind::Vertical, size), GaugeKind::Vertical), 101, 150, kNeg, 100);
    expectRun(profile(draw(borderless(5000), GaugeKind::Vertical, size), GaugeKind::Vertical), 0, 99, kPos, 100);
    expectRun(profile(draw(borderless(-5000), GaugeKind::Vertical, size), GaugeKind::Vertical), 101, 199, kNeg, 100);
    // 99 rows below the zero line: -1 of -100 leaves 98.01 rows, truncated to
    // 98, so one row is filled.
    expectRun(profile(draw(borderless(-1), GaugeKind::Vertical, size), GaugeKind::Vertical), 101, 101, kNeg, 100);
}

TEST(GaugePaint, ScalesWithoutZeroStartAtTheNearEnd)
{
    GaugeState s = borderless(60);
    s.min = 10;
    s.max = 110;
    expectRun(profile(draw(s, GaugeKind::Horizontal, {200, 10}), GaugeKind::Horizontal), 0, 99, kPos);

    GaugeState neg = borderless(-1900);
    neg.min = -2048;
    neg.max = -1791;
    // Hangs from the top: 200 - (148 * 200) / 257 = 85.
    expectRun(profile(draw(neg, GaugeKind::Vertical, {10, 200}), GaugeKind::Vertical), 0, 84, kNeg);

    GaugeState pos = borderless(1900);
    pos.min = 1791;
    pos.max = 2047;
    // Grows from the bottom: 200 - (109 * 200) / 256 = 115.
    expectRun(profile(draw(pos, GaugeKind::Vertical, {10, 200}), GaugeKind::Vertical), 115, 199, kPos);
}

TEST(GaugePaint, BordersMoveTheBarArea)
{
    GaugeState flat = borderless(-30);
    flat.borderStyle = bsFlat;
    const QImage f = draw(flat, GaugeKind::Horizontal, {200, 20});
    EXPECT_TRUE(sameRegion(f, {1, 1}, draw(borderless(-30), GaugeKind::Horizontal, {198, 18})));
    for (int x = 0; x < 200; ++x) {
        ASSERT_EQ(at(f, x, 0), kLine);
        ASSERT_EQ(at(f, x, 19), kLine);
    }
    for (int y = 0; y < 20; ++y) {
        ASSERT_EQ(at(f, 0, y), kLine);
        ASSERT_EQ(at(f, 199, y), kLine);
    }

    GaugeState sunken = borderless(70);
    sunken.borderStyle = bsFixedSingle;
    const QImage s = draw(sunken, GaugeKind::Vertical, {20, 200});
    EXPECT_TRUE(sameRegion(s, {2, 2}, draw(borderless(70), GaugeKind::Vertical, {16, 196})));
    EXPECT_EQ(at(s, 0, 0), QColor(0x80, 0x80, 0x80));     // outer, top-left: shadow
    EXPECT_EQ(at(s, 19, 199), QColor(0xFF, 0xFF, 0xFF));  // outer, bottom-right: highlight
    EXPECT_EQ(at(s, 1, 1), kLine);                        // inner, top-left: dark shadow
    EXPECT_EQ(at(s, 18, 198), QColor(0xE0, 0xE0, 0xE0));  // inner, bottom-right: light

    // Unknown border kinds draw no border.
    GaugeState odd = borderless(-30);
    odd.borderStyle = 7;
    EXPECT_EQ(draw(odd, GaugeKind::Horizontal, {200, 20}), draw(borderless(-30), GaugeKind::Horizontal, {200, 20}));
}

TEST(GaugePaint, SpacesShiftTheBarArea)
{
    GaugeState s = borderless(40);
    s.leftSpace = 10;
    s.rightSpace = 5;
    s.topSpace = 3;
    s.bottomSpace = 2;
    const QImage img = draw(s, GaugeKind::Horizontal, {200, 20});
    EXPECT_TRUE(sameRegion(img, {10, 3}, draw(borderless(40), GaugeKind::Horizontal, {185, 15})));
    // The margins keep the background.
    for (int x = 0; x < 200; ++x) {
        ASSERT_EQ(at(img, x, 0), kBack);
        ASSERT_EQ(at(img, x, 19), kBack);
    }
    for (int y = 0; y < 20; ++y) {
        ASSERT_EQ(at(img, 9, y), kBack);
        ASSERT_EQ(at(img, 195, y), kBack);
    }
}

TEST(GaugePaint, PictureIsStretchedOverTheInnerArea)
{
    QImage picture(2, 1, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(0, 200, 0));
    picture.setPixel(1, 0, qRgb(200, 200, 0));
    GaugeState s;
    s.borderStyle = bsFlat;
    s.min = 0;
    s.max = 0;  // no bar and no zero line
    s.picture = {PictureType::Bitmap, picture};
    const QImage img = draw(s, GaugeKind::Horizontal, {42, 10});
    for (int y = 1; y < 9; ++y) {
        for (int x = 1; x < 41; ++x)
            ASSERT_EQ(at(img, x, y), x < 21 ? QColor(0, 200, 0) : QColor(200, 200, 0)) << x << "," << y;
        ASSERT_EQ(at(img, 0, y), kLine);
        ASSERT_EQ(at(img, 41, y), kLine);
    }
}

TEST(GaugePaint, ColoursAndSystemColours)
{
    const QPalette pal = testPalette();
    EXPECT_EQ(resolveColor(0x0000FF, pal), QColor(0xFF, 0, 0));
    EXPECT_EQ(resolveColor(0x00FF00, pal), QColor(0, 0xFF, 0));
    EXPECT_EQ(resolveColor(0xFF0000, pal), QColor(0, 0, 0xFF));
    EXPECT_EQ(resolveColor(kButtonFace, pal), kBack);
    EXPECT_EQ(resolveColor(qint32(0x80000008u), pal), QColor(0x20, 0x40, 0x60));  // window text
    EXPECT_EQ(resolveColor(qint32(0x800000FFu), pal), QColor(Qt::black));         // no such index

    // System colours work for the bars as well.
    GaugeState s = borderless(-100);
    s.negColor = qint32(0x80000008u);
    EXPECT_EQ(at(draw(s, GaugeKind::Horizontal, {200, 4}), 10, 1), QColor(0x20, 0x40, 0x60));
}

TEST(GaugePaint, RangesWithoutABarNeverFail)
{
    const auto noBar = [&](GaugeState s, GaugeKind kind) {
        const QImage img = draw(s, kind, {200, 200});
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                if (at(img, x, y) != kBack)
                    return false;
        return true;
    };
    for (GaugeKind kind : {GaugeKind::Horizontal, GaugeKind::Vertical}) {
        for (qint32 value : {-500, 0, 500}) {
            GaugeState s = borderless(value);
            s.min = s.max = 200;  // zero divisor
            EXPECT_TRUE(noBar(s, kind));
            s.min = s.max = -200;
            EXPECT_TRUE(noBar(s, kind));
            s.min = 50;  // Max below Min, as while a caller sets Max before Min
            s.max = 20;
            EXPECT_TRUE(noBar(s, kind));
            s.min = -20;
            s.max = -50;
            EXPECT_TRUE(noBar(s, kind));
        }
    }

    // Margins wider than the gauge leave no bar; the zero line stays (at
    // 150 + (50 x -100) / 200 = 125).
    GaugeState wide = borderless(-50);
    wide.leftSpace = 150;
    wide.rightSpace = 100;
    const QImage img = draw(wide, GaugeKind::Horizontal, {200, 200});
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(at(img, x, y), x == 125 ? kLine : kBack) << x << "," << y;
    EXPECT_TRUE(draw(borderless(10), GaugeKind::Horizontal, {0, 20}).isNull());
    EXPECT_TRUE(draw(borderless(10), GaugeKind::Vertical, {-5, -5}).isNull());
}

// A bar area with no room left: the zero line (one pixel column or row from
// its first end up to, not including, its second) is drawn, the bars are not.
struct ZeroLineCase
{
    const char* what;
    GaugeKind kind;
    QSize size;
    int left, right, top, bottom;  // the four spaces
    int at;                        // the line's column (horizontal) or row (vertical)
    int from, to;                  // the pixels it covers along its length, inclusive
};

class GaugeZeroLine : public ::testing::TestWithParam<ZeroLineCase>
{
};

TEST_P(GaugeZeroLine, EmptyOrInvertedBarAreaStillShowsTheZeroLine)
{
    const ZeroLineCase& c = GetParam();
    for (qint32 value : {-50, 0, 50}) {
        SCOPED_TRACE(value);
        GaugeState s = borderless(value);
        s.leftSpace = c.left;
        s.rightSpace = c.right;
        s.topSpace = c.top;
        s.bottomSpace = c.bottom;
        const QImage img = draw(s, c.kind, c.size);
        const bool h = c.kind == GaugeKind::Horizontal;
        for (int y = 0; y < c.size.height(); ++y)
            for (int x = 0; x < c.size.width(); ++x) {
                const int across = h ? x : y, along = h ? y : x;
                const bool onLine = across == c.at && along >= c.from && along <= c.to;
                ASSERT_EQ(at(img, x, y), onLine ? kLine : kBack) << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Areas, GaugeZeroLine,
    ::testing::Values(ZeroLineCase{"h inverted width", GaugeKind::Horizontal, {200, 20}, 150, 100, 0, 0, 125, 0, 19},
                      ZeroLineCase{"h empty width", GaugeKind::Horizontal, {200, 20}, 100, 100, 0, 0, 100, 0, 19},
                      ZeroLineCase{"h inverted height", GaugeKind::Horizontal, {200, 20}, 0, 0, 15, 15, 100, 6, 15},
                      ZeroLineCase{"h empty height", GaugeKind::Horizontal, {200, 20}, 0, 0, 10, 10, -1, 0, 0},
                      ZeroLineCase{"v inverted height", GaugeKind::Vertical, {20, 200}, 0, 0, 150, 100, 125, 0, 19},
                      ZeroLineCase{"v empty height", GaugeKind::Vertical, {20, 200}, 0, 0, 100, 100, 100, 0, 19},
                      ZeroLineCase{"v inverted width", GaugeKind::Vertical, {20, 200}, 15, 15, 0, 0, 100, 6, 15}),
    [](const ::testing::TestParamInfo<ZeroLineCase>& i) {
        std::string n = i.param.what;
        for (char& ch : n)
            if (ch == ' ')
                ch = '_';
        return n;
    });

TEST(GaugePaint, ExtremeNumbersStayInsideTheBarArea)
{
    constexpr qint32 lo = std::numeric_limits<qint32>::min();
    constexpr qint32 hi = std::numeric_limits<qint32>::max();
    GaugeState s = borderless(hi);
    s.min = lo;
    s.max = hi;
    // Zero sits at the middle; the full value fills to the right edge.
    expectRun(profile(draw(s, GaugeKind::Horizontal, {200, 4}), GaugeKind::Horizontal), 101, 199, kPos, 100);
    s.value = lo;
    expectRun(profile(draw(s, GaugeKind::Horizontal, {200, 4}), GaugeKind::Horizontal), 0, 99, kNeg, 100);

    // Margins at the ends of the 32-bit range: the area is inverted or far
    // outside the image, and nothing fails.
    for (qint32 space : {lo, hi}) {
        GaugeState m = borderless(123456);
        m.leftSpace = m.rightSpace = m.topSpace = m.bottomSpace = space;
        EXPECT_FALSE(draw(m, GaugeKind::Vertical, {30, 30}).isNull());
        EXPECT_FALSE(draw(m, GaugeKind::Horizontal, {30, 30}).isNull());
    }

    // Every pairing of the range's ends (no arithmetic on them may overflow;
    // the sanitizer build checks that), with spaces pushing the area out.
    const qint32 ends[] = {lo, lo + 1, -1, 0, 1, hi - 1, hi};
    for (qint32 min : ends)
        for (qint32 max : ends)
            for (qint32 value : ends)
                for (GaugeKind kind : {GaugeKind::Horizontal, GaugeKind::Vertical}) {
                    GaugeState e = borderless(value);
                    e.min = min;
                    e.max = max;
                    e.leftSpace = e.topSpace = value;
                    EXPECT_FALSE(draw(e, kind, {9, 7}).isNull());
                }
}

TEST(GaugePaint, WidgetShowsTheRenderedImage)
{
    for (ToviGauge* gauge : {static_cast<ToviGauge*>(new ToviHGauge), static_cast<ToviGauge*>(new ToviVGauge)}) {
        std::unique_ptr<ToviGauge> owner(gauge);
        gauge->setPalette(testPalette());
        gauge->resize(gauge->model().kind() == GaugeKind::Horizontal ? QSize(200, 20) : QSize(20, 200));
        gauge->setValue(-37);
        gauge->setLeftSpace(3);
        gauge->show();
        const QImage grabbed = gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage rendered =
            renderGauge(gauge->model().state(), gauge->model().kind(), gauge->size(), testPalette());
        EXPECT_EQ(grabbed, rendered);
    }
}
