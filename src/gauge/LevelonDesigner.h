#pragma once
// The library as a form-designer widget collection, so that the gauges can
// be placed on forms. It is also the plugin object whose metadata carries
// the library's identity (class IDs, version, help strings).

#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

namespace levelon {

enum class GaugeKind;

class GaugeDesignerWidget final : public QObject, public QDesignerCustomWidgetInterface
{
    Q_OBJECT
    Q_INTERFACES(QDesignerCustomWidgetInterface)

public:
    GaugeDesignerWidget(GaugeKind kind, QObject* parent);

    QString name() const override;
    QString group() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;
    QIcon icon() const override;
    bool isContainer() const override { return false; }
    QWidget* createWidget(QWidget* parent) override;
    bool isInitialized() const override { return m_initialized; }
    void initialize(QDesignerFormEditorInterface*) override { m_initialized = true; }
    QString domXml() const override;

private:
    GaugeKind m_kind;
    bool m_initialized = false;
};

class LevelonDesignerCollection final : public QObject, public QDesignerCustomWidgetCollectionInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface" FILE "levelon.json")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
    explicit LevelonDesignerCollection(QObject* parent = nullptr);
    QList<QDesignerCustomWidgetInterface*> customWidgets() const override { return m_widgets; }

private:
    QList<QDesignerCustomWidgetInterface*> m_widgets;
};

}  // namespace levelon
