#pragma once
// The properties of one gauge control, without any widget: property puts
// with their change reports and repaints, the checks on pictures, access by
// dispatch id, and saving to and restoring from a property bag.

#include "GaugeState.h"
#include "LevelonComponent.h"

#include <QString>

namespace levelon {

// What the control needs of the window surface that hosts it.
class GaugeSite
{
public:
    virtual ~GaugeSite() = default;
    virtual void reportChanged(const QString& name) = 0;
    virtual void repaintNow() = 0;
    // The mouse icon and pointer belong to the surface, not to the control.
    virtual GaugePicture surfaceMouseIcon() const = 0;
    virtual void setSurfaceMouseIcon(const GaugePicture& icon) = 0;
    virtual qint16 surfaceMousePointer() const = 0;
    virtual void setSurfaceMousePointer(qint16 pointer) = 0;
};

// The properties, in no particular order; dispatch ids map onto them.
enum class GaugeProperty
{
    Value,
    Min,
    Max,
    BorderStyle,
    LeftSpace,
    RightSpace,
    TopSpace,
    BottomSpace,
    BackColor,
    NegColor,
    PosColor,
    Picture,
    MouseIcon,
    MousePointer
};

class GaugeModel
{
public:
    GaugeModel(GaugeKind kind, GaugeSite& site);

    GaugeKind kind() const { return m_kind; }
    const GaugeState& state() const { return m_state; }

    // The defaults of a freshly placed control.
    void initProperties();
    // Restores a stored design. Stops at the first failing key and returns
    // its error; reports no change and does not repaint.
    int readProperties(IPropertyBag& bag);
    // Saves the design; values equal to their defaults are left to the bag.
    int writeProperties(IPropertyBag& bag) const;

    // Each put stores the value, reports it changed under its own name and
    // repaints. No value is range-checked.
    void setValue(qint32 v) { putInt(m_state.value, v, "Value"); }
    void setMin(qint32 v) { putInt(m_state.min, v, "Min"); }
    void setMax(qint32 v) { putInt(m_state.max, v, "Max"); }
    void setBorderStyle(qint32 v) { putInt(m_state.borderStyle, v, "BorderStyle"); }
    void setLeftSpace(qint32 v) { putInt(m_state.leftSpace, v, "LeftSpace"); }
    void setRightSpace(qint32 v) { putInt(m_state.rightSpace, v, "RightSpace"); }
    void setTopSpace(qint32 v) { putInt(m_state.topSpace, v, "TopSpace"); }
    void setBottomSpace(qint32 v) { putInt(m_state.bottomSpace, v, "BottomSpace"); }
    void setBackColor(qint32 v) { putInt(m_state.backColor, v, "BackColor"); }
    void setNegColor(qint32 v) { putInt(m_state.negColor, v, "NegColor"); }
    void setPosColor(qint32 v) { putInt(m_state.posColor, v, "PosColor"); }
    // Only bitmaps or no picture; anything else is ErrInvalidPropertyValue
    // and the old picture stays.
    int setPicture(const GaugePicture& picture);
    // Only icons or no icon; handed to the surface, no repaint.
    int setMouseIcon(const GaugePicture& icon);
    void setMousePointer(qint16 pointer);

    // Generic access, used by the dispatch interface.
    int put(GaugeProperty property, const QVariant& value);
    int get(GaugeProperty property, QVariant& value) const;
    int putById(qint32 dispId, const QVariant& value);
    int getById(qint32 dispId, QVariant& value) const;

    // The property a dispatch id names on a class, if any.
    static bool propertyForId(GaugeKind kind, qint32 dispId, GaugeProperty& property);
    static qint32 idForProperty(GaugeKind kind, GaugeProperty property);

private:
    void putInt(qint32& field, qint32 value, const char* name);

    GaugeKind m_kind;
    GaugeSite& m_site;
    GaugeState m_state;
};

}  // namespace levelon
