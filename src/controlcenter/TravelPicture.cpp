#include "TravelPicture.h"

#include "ControlCenterCore.h"
#include "Format.h"

#include <QPainter>

TravelPicture::TravelPicture(QWidget* parent) : QWidget(parent)
{
    // The scale, the carriage and the marks are computed for this width: a
    // wider picture would show the plus end short of its right edge.
    setFixedSize(ControlCenterCore::PictureWidth, 28);
}

QSize TravelPicture::sizeHint() const
{
    return {ControlCenterCore::PictureWidth, 28};
}

void TravelPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), isEnabled() ? QColor(Qt::white) : palette().color(QPalette::Window));
    p.setPen(Qt::gray);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!m_core)
        return;
    // Software-limit marks sh_index(10) and sh_index(11).
    p.setPen(QPen(QColor(Qt::blue), 1));
    for (int x : m_core->sh_index_x)
        if (x >= 0)
            p.drawLine(x, 2, x, height() - 3);
    const quint32 colour = m_core->line_schlitten.colour;
    p.fillRect(QRect(m_core->line_schlitten_left, 6, ControlCenterCore::CarriageWidth, height() - 12),
               colour == kit::DefaultColour ? QColor(Qt::gray) : bgrColor(colour));
}
