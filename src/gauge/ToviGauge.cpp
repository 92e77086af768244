#include "ToviGauge.h"

#include "GaugePainter.h"

#include <QCursor>
#include <QPainter>

#include <limits>

namespace levelon {

namespace {

int g_liveInstances = 0;

// Mouse-pointer kinds; 99 is the custom icon.
constexpr qint16 kCustomPointer = 99;

bool cursorShape(qint16 pointer, Qt::CursorShape& shape)
{
    switch (pointer) {
    case 1: shape = Qt::ArrowCursor; return true;
    case 2: shape = Qt::CrossCursor; return true;
    case 3: shape = Qt::IBeamCursor; return true;
    case 4: shape = Qt::ArrowCursor; return true;  // icon
    case 5: shape = Qt::SizeAllCursor; return true;
    case 6: shape = Qt::SizeBDiagCursor; return true;
    case 7: shape = Qt::SizeVerCursor; return true;
    case 8: shape = Qt::SizeFDiagCursor; return true;
    case 9: shape = Qt::SizeHorCursor; return true;
    case 10: shape = Qt::UpArrowCursor; return true;
    case 11: shape = Qt::WaitCursor; return true;
    case 12: shape = Qt::ForbiddenCursor; return true;
    case 13: shape = Qt::BusyCursor; return true;
    case 14: shape = Qt::WhatsThisCursor; return true;
    case 15: shape = Qt::SizeAllCursor; return true;
    default: return false;
    }
}

}  // namespace

ToviGauge::ToviGauge(GaugeKind kind, QWidget* parent) : QWidget(parent), m_model(kind, *this)
{
    ++g_liveInstances;
    // The whole surface is painted on every paint; nothing shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_model.initProperties();
}

ToviGauge::~ToviGauge()
{
    --g_liveInstances;
}

int ToviGauge::liveInstances()
{
    return g_liveInstances;
}

QString ToviGauge::className() const
{
    return QString::fromLatin1(levelon::className(m_model.kind()));
}

QPixmap ToviGauge::picture() const
{
    return QPixmap::fromImage(m_model.state().picture.image);
}

void ToviGauge::setPicture(const QPixmap& pixmap)
{
    GaugePicture picture;
    if (!pixmap.isNull())
        picture = {PictureType::Bitmap, pixmap.toImage()};
    m_model.setPicture(picture);
}

QPixmap ToviGauge::mouseIcon() const
{
    return QPixmap::fromImage(m_mouseIcon.image);
}

void ToviGauge::setMouseIcon(const QPixmap& pixmap)
{
    GaugePicture icon;
    if (!pixmap.isNull())
        icon = {PictureType::Icon, pixmap.toImage()};
    m_model.setMouseIcon(icon);
}

void ToviGauge::setMousePointer(int pointer)
{
    if (pointer < std::numeric_limits<qint16>::min() || pointer > std::numeric_limits<qint16>::max())
        return;
    m_model.setMousePointer(qint16(pointer));
}

QImage ToviGauge::render() const
{
    return renderGauge(m_model.state(), m_model.kind(), size(), palette());
}

int ToviGauge::putProperty(qint32 dispId, const QVariant& value)
{
    return m_model.putById(dispId, value);
}

int ToviGauge::getProperty(qint32 dispId, QVariant& value)
{
    return m_model.getById(dispId, value);
}

int ToviGauge::writeProperties(IPropertyBag& bag)
{
    return m_model.writeProperties(bag);
}

QSize ToviGauge::sizeHint() const
{
    return m_model.kind() == GaugeKind::Horizontal ? QSize(160, 20) : QSize(20, 160);
}

void ToviGauge::paintEvent(QPaintEvent*)
{
    // Composed off-screen and copied in one transfer.
    const QImage image = render();
    if (image.isNull())
        return;
    QPainter p(this);
    p.drawImage(0, 0, image);
}

void ToviGauge::repaintNow()
{
    repaint();
}

void ToviGauge::setSurfaceMouseIcon(const GaugePicture& icon)
{
    m_mouseIcon = icon;
    applyCursor();
}

void ToviGauge::setSurfaceMousePointer(qint16 pointer)
{
    m_mousePointer = pointer;
    applyCursor();
}

void ToviGauge::applyCursor()
{
    Qt::CursorShape shape;
    if (m_mousePointer == kCustomPointer && !m_mouseIcon.image.isNull())
        setCursor(QCursor(QPixmap::fromImage(m_mouseIcon.image)));
    else if (cursorShape(m_mousePointer, shape))
        setCursor(shape);
    else
        unsetCursor();
}

}  // namespace levelon
