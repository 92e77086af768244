#include "GaugeHost.h"

#include "ComponentRegistry.h"
#include "PropertyBag.h"
#include "UiServices.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLibrary>

namespace {

const QString kMessageTitle = QStringLiteral("Kelvane");

QString designClass(const GaugeDesign& design)
{
    return design.progId.isEmpty() ? design.classId : design.progId;
}

}  // namespace

void HostedGauge::put(qint32 dispId, int value)
{
    if (isLive())
        m_control->putProperty(dispId, value);
}

GaugeHost::GaugeHost(IUiServices& ui, const QString& registryFile, const QString& programFolder)
    : m_ui(ui), m_registryFile(registryFile.isEmpty() ? levelon::ComponentRegistry::defaultPath() : registryFile),
      m_programFolder(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder)
{
}

GaugeHost::~GaugeHost() = default;

levelon::IClassFactory* GaugeHost::factoryFor(const GaugeDesign& design, QString& error)
{
    const levelon::ComponentRegistry registry(m_registryFile);
    auto entry = registry.findClass(design.classId);
    if (!entry)
        entry = registry.findClass(design.progId);
    const QString notRegistered =
        QStringLiteral("Das Steuerelement %1 ist nicht registriert.").arg(designClass(design));
    // Not in the registry: the library shipped with the program serves by default.
    const bool shipped = !entry;
    if (shipped) {
        const QString library = levelon::shippedLibrary(m_programFolder);
        if (library.isEmpty()) {
            error = notRegistered;
            return nullptr;
        }
        entry = levelon::ComponentRegistry::ClassEntry{
            design.classId.isEmpty() ? design.progId : design.classId, design.progId, {}, library, {}};
    }

    std::shared_ptr<QLibrary>& lib = m_libraries[entry->libraryPath];
    if (!lib)
        lib = std::make_shared<QLibrary>(entry->libraryPath);
    if (!lib->isLoaded() && !lib->load()) {
        error = QStringLiteral("Die Bibliothek %1 für das Steuerelement %2 konnte nicht geladen werden: %3")
                    .arg(entry->libraryPath, designClass(design), lib->errorString());
        return nullptr;
    }
    const auto getClassObject =
        reinterpret_cast<levelon::GetClassObjectFn>(lib->resolve(levelon::GetClassObjectSymbol));
    levelon::IClassFactory* factory = getClassObject ? getClassObject(entry->classId.toUtf8().constData()) : nullptr;
    if (!factory) {
        error = shipped ? notRegistered
                        : QStringLiteral("Die Bibliothek %1 liefert das Steuerelement %2 nicht.")
                              .arg(entry->libraryPath, designClass(design));
    }
    return factory;
}

QList<HostedGauge> GaugeHost::createGauges(QWidget* window, const QList<GaugeDesign>& designs)
{
    QList<HostedGauge> gauges;
    QString firstError;
    for (const GaugeDesign& design : designs) {
        HostedGauge gauge;
        QString error;
        if (levelon::IClassFactory* factory = factoryFor(design, error)) {
            levelon::MapPropertyBag bag(design.properties);
            int code = levelon::NoError;
            gauge.m_control = factory->createFromDesign(bag, window, code);
            if (!gauge.m_control) {
                error = QStringLiteral("Das Steuerelement %1 konnte nicht geladen werden (Fehler %2).")
                            .arg(design.name)
                            .arg(code);
            }
        }

        QWidget* widget = nullptr;
        if (gauge.m_control) {
            widget = gauge.m_control->widget();
            const bool vertical = gauge.m_control->className() == QLatin1String("ToviVGauge");
            gauge.m_valueId = vertical ? levelon::dispid::vgauge::Value : levelon::dispid::hgauge::Value;
            gauge.m_minId = vertical ? levelon::dispid::vgauge::Min : levelon::dispid::hgauge::Min;
            gauge.m_maxId = vertical ? levelon::dispid::vgauge::Max : levelon::dispid::hgauge::Max;
        } else {
            // Takes the control's place and does nothing.
            auto* placeholder = new QFrame(window);
            placeholder->setFrameShape(QFrame::Box);
            placeholder->setEnabled(false);
            widget = placeholder;
            if (firstError.isEmpty())
                firstError = error;
        }
        widget->setObjectName(design.name);
        if (!design.geometry.isEmpty())
            widget->setGeometry(design.geometry);
        widget->show();
        gauge.m_widget = widget;
        gauges.append(gauge);
    }
    if (!firstError.isEmpty())
        m_ui.message(firstError, kMessageTitle, MsgButtons::Ok, MsgIcon::Exclamation);
    return gauges;
}
