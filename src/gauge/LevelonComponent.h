#pragma once
// What a host sees of the gauge component library: the property bag it hands
// to a control, the dispatch interface of a control, the class factory, and
// the C entry points the library exports. Hosts include this header only and
// load the library at run time; nothing here needs linking.

#include <QString>
#include <QVariant>

class QWidget;

namespace levelon {

// Error numbers of property calls, as the controls' callers know them.
enum Error : int
{
    NoError = 0,
    ErrOverflow = 6,                // a number outside the property's range
    ErrTypeMismatch = 13,           // a value that is not of the property's kind
    ErrInvalidPropertyValue = 380,  // a picture of the wrong type
    ErrNoSuchMember = 438,          // a dispatch id the class does not have
};

// Results of the library's server entry points.
enum ServerResult : int
{
    ServerOk = 0,
    ServerFalse = 1,           // "can unload now": no, instances live
    ServerRegistryFailed = 2,  // the component registry could not be written
};

// Where a host keeps a control's stored properties. A missing key reads as
// the default; a value equal to the default is not written.
class IPropertyBag
{
public:
    virtual ~IPropertyBag() = default;
    virtual int readProperty(const QString& name, const QVariant& defaultValue, QVariant& value) = 0;
    virtual int writeProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) = 0;
};

// One control instance. It lives as long as its widget; deleting the widget
// (or its parent) ends the instance.
class IGaugeControl
{
public:
    virtual QWidget* widget() = 0;
    virtual QString className() const = 0;
    // Properties by dispatch id; the result is an Error.
    virtual int putProperty(qint32 dispId, const QVariant& value) = 0;
    virtual int getProperty(qint32 dispId, QVariant& value) = 0;
    // Saves the design-time properties.
    virtual int writeProperties(IPropertyBag& bag) = 0;

protected:
    ~IGaugeControl() = default;
};

// Makes instances of one control class. A new control (defaults of a freshly
// placed control) and a control restored from a stored design are separate
// calls.
class IClassFactory
{
public:
    virtual IGaugeControl* createNew(QWidget* parent) = 0;
    // Null with `error` set when the stored properties cannot be read; no
    // instance is left behind then.
    virtual IGaugeControl* createFromDesign(IPropertyBag& bag, QWidget* parent, int& error) = 0;

protected:
    ~IClassFactory() = default;
};

// Dispatch ids the host uses. They follow the member order of each class and
// therefore differ between the two.
namespace dispid {
constexpr qint32 BorderStyle = -504;
namespace hgauge {
constexpr qint32 Value = 0x6803000C;
constexpr qint32 Min = 0x6803000B;
constexpr qint32 Max = 0x6803000A;
}  // namespace hgauge
namespace vgauge {
constexpr qint32 Value = 0x68030007;
constexpr qint32 Min = 0x68030006;
constexpr qint32 Max = 0x68030005;
}  // namespace vgauge
}  // namespace dispid

// Exported C entry points, resolved by name.
using CanUnloadNowFn = int (*)();                              // ServerOk when no instance lives
using GetClassObjectFn = IClassFactory* (*)(const char* ref);  // class name, ProgID or class ID
using RegisterServerFn = int (*)();
using UnregisterServerFn = int (*)();

constexpr const char* CanUnloadNowSymbol = "LevelonCanUnloadNow";
constexpr const char* GetClassObjectSymbol = "LevelonGetClassObject";
constexpr const char* RegisterServerSymbol = "LevelonRegisterServer";
constexpr const char* UnregisterServerSymbol = "LevelonUnregisterServer";

}  // namespace levelon
