#include "DrawingArea.h"

#include "Format.h"
#include "TablettCore.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
int buttonIndex(Qt::MouseButton b)
{
    return b == Qt::LeftButton ? 1 : b == Qt::RightButton ? 2 : b == Qt::MiddleButton ? 4 : 0;
}
// Quarter marks are 240 twips long.
constexpr double MarkLength = 240.0 / 15.0;
}  // namespace

DrawingArea::DrawingArea(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

int DrawingArea::keyCode(int qtKey)
{
    if (qtKey == Qt::Key_F1)
        return 112;
    if (qtKey == Qt::Key_F2)
        return 113;
    if (qtKey == Qt::Key_Escape)
        return 27;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey;  // the upper-case code
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return qtKey;
    return 0;
}

void DrawingArea::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const double w = width(), h = height();
    p.setPen(QPen(QColor(160, 160, 160), 1));
    p.drawLine(QPointF(0, h / 2), QPointF(w, h / 2));  // line_x
    p.drawLine(QPointF(w / 2, 0), QPointF(w / 2, h));  // line_Y
    for (const double f : {0.25, 0.75}) {
        p.drawLine(QPointF(w * f, 0), QPointF(w * f, MarkLength));
        p.drawLine(QPointF(w * f, h - MarkLength), QPointF(w * f, h));
        p.drawLine(QPointF(0, h * f), QPointF(MarkLength, h * f));
        p.drawLine(QPointF(w - MarkLength, h * f), QPointF(w, h * f));
    }
    if (!m_core)
        return;
    p.setRenderHint(QPainter::Antialiasing);
    const auto px = [](QPointF twips) { return QPointF(twips.x() / 15.0, twips.y() / 15.0); };
    p.setPen(QPen(Qt::black, 1));
    for (const auto& l : m_core->drawing().linien)
        p.drawLine(px(l.von), px(l.upTo));
    for (const auto& d : m_core->drawing().drawnDots) {
        p.setPen(QPen(bgrColor(d.rgbColor), d.widthPx, Qt::SolidLine, Qt::RoundCap));
        p.drawPoint(px(d.spot));
    }
}

void DrawingArea::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    mouseDown(buttonIndex(e->button()), pixelsToTwips(1) * e->position().x(), pixelsToTwips(1) * e->position().y());
}

void DrawingArea::mouseMoveEvent(QMouseEvent* e)
{
    mouseMove(pixelsToTwips(1) * e->position().x(), pixelsToTwips(1) * e->position().y());
}

void DrawingArea::mouseReleaseEvent(QMouseEvent* e)
{
    mouseUp(buttonIndex(e->button()));
}

void DrawingArea::keyReleaseEvent(QKeyEvent* e)
{
    if (e->isAutoRepeat())
        return;
    keyUp(keyCode(e->key()));
}

void DrawingArea::resizeEvent(QResizeEvent*)
{
    resized();
}
