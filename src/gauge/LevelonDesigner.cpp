#include "LevelonDesigner.h"

#include "GaugePainter.h"
#include "ToviGauge.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

namespace levelon {

GaugeDesignerWidget::GaugeDesignerWidget(GaugeKind kind, QObject* parent) : QObject(parent), m_kind(kind) {}

QString GaugeDesignerWidget::name() const
{
    return QStringLiteral("levelon::") + QString::fromLatin1(className(m_kind));
}

QString GaugeDesignerWidget::group() const
{
    return QStringLiteral("Levelon");
}

QString GaugeDesignerWidget::toolTip() const
{
    return m_kind == GaugeKind::Horizontal ? QStringLiteral("Horizontal bar gauge")
                                           : QStringLiteral("Vertical bar gauge");
}

QString GaugeDesignerWidget::whatsThis() const
{
    return QStringLiteral("Shows one whole number as a bar from the zero position of its scale.");
}

QString GaugeDesignerWidget::includeFile() const
{
    return QStringLiteral("ToviGauge.h");
}

QIcon GaugeDesignerWidget::icon() const
{
    // The toolbox picture is a small gauge drawn by the gauge itself.
    GaugeState state;
    state.value = 60;
    const QSize size = m_kind == GaugeKind::Horizontal ? QSize(16, 8) : QSize(8, 16);
    QImage gauge = renderGauge(state, m_kind, size, QGuiApplication::palette());
    QImage icon(16, 16, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    const QPoint at = m_kind == GaugeKind::Horizontal ? QPoint(0, 4) : QPoint(4, 0);
    for (int y = 0; y < gauge.height(); ++y)
        for (int x = 0; x < gauge.width(); ++x)
            icon.setPixel(at.x() + x, at.y() + y, gauge.pixel(x, y));
    return QIcon(QPixmap::fromImage(icon));
}

QWidget* GaugeDesignerWidget::createWidget(QWidget* parent)
{
    if (m_kind == GaugeKind::Horizontal)
        return new ToviHGauge(parent);
    return new ToviVGauge(parent);
}

QString GaugeDesignerWidget::domXml() const
{
    const QString cls = name();
    const QString object = QString::fromLatin1(className(m_kind));
    const QSize size = m_kind == GaugeKind::Horizontal ? QSize(160, 20) : QSize(20, 160);
    return QStringLiteral("<ui language=\"c++\">\n"
                          " <widget class=\"%1\" name=\"%2\">\n"
                          "  <property name=\"geometry\"><rect><x>0</x><y>0</y>"
                          "<width>%3</width><height>%4</height></rect></property>\n"
                          " </widget>\n"
                          "</ui>\n")
        .arg(cls, object)
        .arg(size.width())
        .arg(size.height());
}

LevelonDesignerCollection::LevelonDesignerCollection(QObject* parent) : QObject(parent)
{
    m_widgets.append(new GaugeDesignerWidget(GaugeKind::Horizontal, this));
    m_widgets.append(new GaugeDesignerWidget(GaugeKind::Vertical, this));
}

}  // namespace levelon
