#pragma once
// Creates the gauge controls of a window through the component registry when
// the window is created. The window's design names each control's class (by
// class ID and ProgID) and holds its stored properties. A class the registry
// does not name is taken from the gauge library shipped with the program. A
// class that neither serves, or whose library fails, gives one message per
// window and an inert placeholder, and the window stays usable.

#include "LevelonComponent.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <memory>

class IUiServices;
class QLibrary;

// One control as a window design holds it.
struct GaugeDesign
{
    QString name;            // control name on the window, e.g. "ToviHGauge1"
    QString classId;         // "{...}"
    QString progId;          // "Levelon.ToviHGauge"
    QRect geometry;          // in pixels within the window; empty leaves it alone
    QVariantMap properties;  // stored properties under their bag keys
};

// A created gauge as the window uses it: it sets only Value, and on the
// vertical gauges Min and Max. On a placeholder, or once the window has
// destroyed the control, the setters do nothing.
class HostedGauge
{
public:
    QWidget* widget() const { return m_widget; }
    bool isLive() const { return m_control && !m_widget.isNull(); }
    void setValue(int value) { put(m_valueId, value); }
    void setMin(int value) { put(m_minId, value); }
    void setMax(int value) { put(m_maxId, value); }

private:
    friend class GaugeHost;
    void put(qint32 dispId, int value);

    QPointer<QWidget> m_widget;
    levelon::IGaugeControl* m_control = nullptr;
    qint32 m_valueId = 0;
    qint32 m_minId = 0;
    qint32 m_maxId = 0;
};

class GaugeHost
{
public:
    // `registryFile` empty: the registry the program uses by default.
    // `programFolder` empty: the folder of the running program, where the
    // shipped gauge library is looked for.
    explicit GaugeHost(IUiServices& ui, const QString& registryFile = {}, const QString& programFolder = {});
    ~GaugeHost();
    GaugeHost(const GaugeHost&) = delete;
    GaugeHost& operator=(const GaugeHost&) = delete;

    // Creates the controls of one window as its children, in design order.
    QList<HostedGauge> createGauges(QWidget* window, const QList<GaugeDesign>& designs);

private:
    // The class factory of a design's class, or null with `error` set.
    levelon::IClassFactory* factoryFor(const GaugeDesign& design, QString& error);

    IUiServices& m_ui;
    QString m_registryFile;
    QString m_programFolder;
    // Libraries stay loaded while the host lives: their controls may still
    // be on some window.
    QHash<QString, std::shared_ptr<QLibrary>> m_libraries;
};
