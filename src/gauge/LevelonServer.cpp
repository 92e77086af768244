// The component entry points of the library: class factories for the two
// gauges, registration in the program's component registry, and the report
// whether the library may be unloaded.

#include "ComponentRegistry.h"
#include "LevelonComponent.h"
#include "LevelonIds.h"
#include "ToviGauge.h"

#include <QFileInfo>

#include <dlfcn.h>

namespace levelon {

namespace {

template <class Gauge>
class GaugeFactory final : public IClassFactory
{
public:
    IGaugeControl* createNew(QWidget* parent) override { return new Gauge(parent); }

    IGaugeControl* createFromDesign(IPropertyBag& bag, QWidget* parent, int& error) override
    {
        auto* gauge = new Gauge(parent);
        error = gauge->readProperties(bag);
        if (error != NoError) {
            delete gauge;
            return nullptr;
        }
        return gauge;
    }
};

GaugeFactory<ToviHGauge> g_hFactory;
GaugeFactory<ToviVGauge> g_vFactory;

struct ClassInfo
{
    const char* name;
    const char* progId;
    const char* classId;
    IClassFactory* factory;
};

const ClassInfo kClasses[] = {
    {"ToviHGauge", ids::HGaugeProgId, ids::HGaugeClass, &g_hFactory},
    {"ToviVGauge", ids::VGaugeProgId, ids::VGaugeClass, &g_vFactory},
};

// The file this code was loaded from, as the registry records it.
QString libraryFile()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&libraryFile), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

}  // namespace

}  // namespace levelon

using namespace levelon;

extern "C" Q_DECL_EXPORT int LevelonCanUnloadNow()
{
    return ToviGauge::liveInstances() == 0 ? ServerOk : ServerFalse;
}

// By class name, ProgID or class ID; null for any other name.
extern "C" Q_DECL_EXPORT IClassFactory* LevelonGetClassObject(const char* ref)
{
    if (!ref)
        return nullptr;
    const QString text = QString::fromUtf8(ref);
    const QString classId = normalizedClassId(text);
    for (const ClassInfo& c : kClasses) {
        if (text == QLatin1String(c.name) || text == QLatin1String(c.progId) ||
            (!classId.isEmpty() && classId == QLatin1String(c.classId)))
            return c.factory;
    }
    return nullptr;
}

extern "C" Q_DECL_EXPORT int LevelonRegisterServer()
{
    const QString path = libraryFile();
    ComponentRegistry registry;
    registry.addTypeLibrary({QString::fromLatin1(ids::TypeLibrary), QString::fromLatin1(ids::TypeLibraryName),
                             QString::fromLatin1(ids::TypeLibraryVersion), QString::fromLatin1(ids::TypeLibraryLocale),
                             QString::fromLatin1(ids::TypeLibraryHelp), path});
    for (const ClassInfo& c : kClasses) {
        registry.addClass({QString::fromLatin1(c.classId), QString::fromLatin1(c.progId), QString::fromLatin1(c.name),
                           path, QString::fromLatin1(ids::TypeLibrary)});
    }
    return registry.sync() ? ServerOk : ServerRegistryFailed;
}

extern "C" Q_DECL_EXPORT int LevelonUnregisterServer()
{
    ComponentRegistry registry;
    for (const ClassInfo& c : kClasses)
        registry.removeClass(QString::fromLatin1(c.classId));
    registry.removeTypeLibrary(QString::fromLatin1(ids::TypeLibrary));
    return registry.sync() ? ServerOk : ServerRegistryFailed;
}
