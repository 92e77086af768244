#pragma once
// The bar-gauge widgets ToviHGauge (scale from left to right) and ToviVGauge
// (from bottom to top). Each shows one whole number as a bar from the zero
// position of the scale; they have no input behaviour and only draw.

#include "GaugeModel.h"

#include <QPixmap>
#include <QWidget>

namespace levelon {

class ToviGauge : public QWidget, public IGaugeControl, private GaugeSite
{
    Q_OBJECT
    // For form designers; the dispatch interface offers the same properties.
    // The value is run-time state: a form keeps no value, so a loaded design starts at 0.
    Q_PROPERTY(int Value READ value WRITE setValue DESIGNABLE false STORED false)
    Q_PROPERTY(int Min READ min WRITE setMin)
    Q_PROPERTY(int Max READ max WRITE setMax)
    Q_PROPERTY(int BorderStyle READ borderStyle WRITE setBorderStyle)
    Q_PROPERTY(int LeftSpace READ leftSpace WRITE setLeftSpace)
    Q_PROPERTY(int RightSpace READ rightSpace WRITE setRightSpace)
    Q_PROPERTY(int TopSpace READ topSpace WRITE setTopSpace)
    Q_PROPERTY(int BottomSpace READ bottomSpace WRITE setBottomSpace)
    Q_PROPERTY(int BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(int NegColor READ negColor WRITE setNegColor)
    Q_PROPERTY(int PosColor READ posColor WRITE setPosColor)
    Q_PROPERTY(QPixmap Picture READ picture WRITE setPicture)
    Q_PROPERTY(QPixmap MouseIcon READ mouseIcon WRITE setMouseIcon)
    Q_PROPERTY(int MousePointer READ mousePointer WRITE setMousePointer)

public:
    ~ToviGauge() override;

    // Instances alive in this process; the library may be unloaded at zero.
    static int liveInstances();

    GaugeModel& model() { return m_model; }
    const GaugeModel& model() const { return m_model; }

    int value() const { return m_model.state().value; }
    int min() const { return m_model.state().min; }
    int max() const { return m_model.state().max; }
    int borderStyle() const { return m_model.state().borderStyle; }
    int leftSpace() const { return m_model.state().leftSpace; }
    int rightSpace() const { return m_model.state().rightSpace; }
    int topSpace() const { return m_model.state().topSpace; }
    int bottomSpace() const { return m_model.state().bottomSpace; }
    int backColor() const { return m_model.state().backColor; }
    int negColor() const { return m_model.state().negColor; }
    int posColor() const { return m_model.state().posColor; }
    QPixmap picture() const;
    QPixmap mouseIcon() const;
    int mousePointer() const { return m_mousePointer; }

    void setValue(int v) { m_model.setValue(v); }
    void setMin(int v) { m_model.setMin(v); }
    void setMax(int v) { m_model.setMax(v); }
    void setBorderStyle(int v) { m_model.setBorderStyle(v); }
    void setLeftSpace(int v) { m_model.setLeftSpace(v); }
    void setRightSpace(int v) { m_model.setRightSpace(v); }
    void setTopSpace(int v) { m_model.setTopSpace(v); }
    void setBottomSpace(int v) { m_model.setBottomSpace(v); }
    void setBackColor(int v) { m_model.setBackColor(v); }
    void setNegColor(int v) { m_model.setNegColor(v); }
    void setPosColor(int v) { m_model.setPosColor(v); }
    void setPicture(const QPixmap& pixmap);
    // A picture given here is the cursor icon (none: the null pixmap).
    void setMouseIcon(const QPixmap& pixmap);
    // A pointer kind outside the 16-bit range is refused: the pointer stays.
    void setMousePointer(int pointer);

    // What the widget shows at its current size.
    QImage render() const;

    // IGaugeControl
    QWidget* widget() override { return this; }
    QString className() const override;
    int putProperty(qint32 dispId, const QVariant& value) override;
    int getProperty(qint32 dispId, QVariant& value) override;
    int writeProperties(IPropertyBag& bag) override;

    int readProperties(IPropertyBag& bag) { return m_model.readProperties(bag); }

    QSize sizeHint() const override;

signals:
    // The change report of every property put, under the property's name.
    void propertyChanged(const QString& name);

protected:
    ToviGauge(GaugeKind kind, QWidget* parent);
    void paintEvent(QPaintEvent* event) override;

private:
    // GaugeSite
    void reportChanged(const QString& name) override { emit propertyChanged(name); }
    void repaintNow() override;
    GaugePicture surfaceMouseIcon() const override { return m_mouseIcon; }
    void setSurfaceMouseIcon(const GaugePicture& icon) override;
    qint16 surfaceMousePointer() const override { return m_mousePointer; }
    void setSurfaceMousePointer(qint16 pointer) override;
    void applyCursor();

    GaugeModel m_model;
    GaugePicture m_mouseIcon;
    qint16 m_mousePointer = 0;
};

class ToviHGauge final : public ToviGauge
{
    Q_OBJECT
public:
    explicit ToviHGauge(QWidget* parent = nullptr) : ToviGauge(GaugeKind::Horizontal, parent) {}
};

class ToviVGauge final : public ToviGauge
{
    Q_OBJECT
public:
    explicit ToviVGauge(QWidget* parent = nullptr) : ToviGauge(GaugeKind::Vertical, parent) {}
};

}  // namespace levelon
