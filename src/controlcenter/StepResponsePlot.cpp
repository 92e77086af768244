#include "StepResponsePlot.h"

#include "Format.h"

#include <QPainter>

#include <algorithm>

namespace {
// A curve of a wild record may leave the picture far: keep QPainter's
// coordinates in a sane range.
constexpr double PlotLimit = 1e6;
double eng(double v)
{
    return std::clamp(v, -PlotLimit, PlotLimit);
}
}  // namespace

StepResponsePlot::StepResponsePlot(QWidget* parent)
    : QWidget(parent),
      m_layer(twipsToPixels(WidthTwips), twipsToPixels(HeightTwips), QImage::Format_ARGB32_Premultiplied)
{
    m_layer.fill(Qt::transparent);
    setFixedSize(m_layer.size());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize StepResponsePlot::sizeHint() const
{
    return m_layer.size();
}

void StepResponsePlot::zeichnen(const ControlLoopCore::PlotLine& l)
{
    QPainter p(&m_layer);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(1.0 / 15, 1.0 / 15);
    p.setPen(QPen(bgrColor(l.rgbColor), 15));
    p.drawLine(QPointF(eng(l.x1), eng(l.y1)), QPointF(eng(l.x2), eng(l.y2)));
    update();
}

void StepResponsePlot::clearPlot()
{
    m_layer.fill(Qt::transparent);
    update();
}

void StepResponsePlot::paintEvent(QPaintEvent*)
{
    using C = ControlLoopCore;
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.drawImage(0, 0, m_layer);
    p.scale(1.0 / 15, 1.0 / 15);
    const auto segment = [&p](quint32 rgbColor, int x1, int y1, int x2, int y2) {
        p.setPen(QPen(bgrColor(rgbColor), 0));
        p.drawLine(x1, y1, x2, y2);
    };
    // Speed grid every 300 twips, time grid every ten record intervals.
    for (int y = 600; y <= 5400; y += 300)
        if (y != C::YPlus && y != C::YZero && y != C::YMinus)
            segment(0xE0E0E0, C::X0, y, C::X1, y);
    for (int k = 0; k < 10; ++k)
        segment(0xC0C0C0, 1050 + 550 * k, 600, 1050 + 550 * k, 5400);
    segment(0, C::X0, C::YTop, C::X0, C::YBottom);
    segment(0, C::X0, C::YPlus, C::X1, C::YPlus);
    segment(0, C::X0, C::YZero, C::X1, C::YZero);
    segment(0, C::X0, C::YMinus, C::X1, C::YMinus);
}
