// The built Levelon plugin, loaded from its file as the program loads it:
// metadata, registration, class factories, dispatch ids, unloading, and the
// form designer's view of it.

#include "ComponentRegistry.h"
#include "LevelonComponent.h"
#include "PropertyBag.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibrary>
#include <QMetaProperty>
#include <QPixmap>
#include <QPluginLoader>
#include <QProcess>
#include <QTemporaryDir>
#include <QUiLoader>
#include <QWidget>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>

using namespace levelon;

namespace {

QString pluginFile()
{
    const QString dir = qEnvironmentVariable("KELVANE_BIN_DIR");
    if (!dir.isEmpty() && QFile::exists(dir + QStringLiteral("/libLevelon.so")))
        return dir + QStringLiteral("/libLevelon.so");
    return QStringLiteral(LEVELON_PLUGIN_FILE);
}

QString toolFile()
{
    const QString dir = qEnvironmentVariable("KELVANE_BIN_DIR");
    if (!dir.isEmpty() && QFile::exists(dir + QStringLiteral("/levelon-register")))
        return dir + QStringLiteral("/levelon-register");
    return QStringLiteral(LEVELON_REGISTER_TOOL);
}

bool g_loadedInThisProcess = false;

// A temporary registry, and the library's entry points.
class GaugePlugin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_registryFile = m_dir.filePath(QStringLiteral("components.ini"));
        qputenv("KELVANE_COMPONENT_REGISTRY", m_registryFile.toLocal8Bit());
    }
    void TearDown() override { qunsetenv("KELVANE_COMPONENT_REGISTRY"); }

    void load()
    {
        m_lib.setFileName(pluginFile());
        ASSERT_TRUE(m_lib.load()) << qPrintable(m_lib.errorString());
        g_loadedInThisProcess = true;
        canUnloadNow = reinterpret_cast<CanUnloadNowFn>(m_lib.resolve(CanUnloadNowSymbol));
        getClassObject = reinterpret_cast<GetClassObjectFn>(m_lib.resolve(GetClassObjectSymbol));
        registerServer = reinterpret_cast<RegisterServerFn>(m_lib.resolve(RegisterServerSymbol));
        unregisterServer = reinterpret_cast<UnregisterServerFn>(m_lib.resolve(UnregisterServerSymbol));
        ASSERT_TRUE(canUnloadNow && getClassObject && registerServer && unregisterServer);
    }

    QJsonObject metaData() const
    {
        return QPluginLoader(pluginFile()).metaData().value(QStringLiteral("MetaData")).toObject();
    }

    QTemporaryDir m_dir;
    QString m_registryFile;
    QLibrary m_lib;
    CanUnloadNowFn canUnloadNow = nullptr;
    GetClassObjectFn getClassObject = nullptr;
    RegisterServerFn registerServer = nullptr;
    UnregisterServerFn unregisterServer = nullptr;
};

QString classIdOf(const QJsonObject& meta, const QString& name)
{
    for (const auto& c : meta.value(QStringLiteral("Classes")).toArray())
        if (c.toObject().value(QStringLiteral("Name")).toString() == name)
            return c.toObject().value(QStringLiteral("ClassID")).toString();
    return {};
}

}  // namespace

TEST_F(GaugePlugin, IdentityIsReadableWithoutLoadingTheCode)
{
    const bool loadedBefore = g_loadedInThisProcess;
    const QJsonObject meta = metaData();
    if (!loadedBefore) {
        EXPECT_FALSE(QLibrary(pluginFile()).isLoaded());
    }

    const QJsonObject lib = meta.value(QStringLiteral("TypeLibrary")).toObject();
    EXPECT_EQ(lib.value(QStringLiteral("Name")).toString(), QStringLiteral("Levelon"));
    EXPECT_EQ(lib.value(QStringLiteral("Version")).toString(), QStringLiteral("1.0"));
    EXPECT_EQ(meta.value(QStringLiteral("FileVersion")).toString(), QStringLiteral("2.00"));
    EXPECT_EQ(meta.value(QStringLiteral("HelpStrings")).toObject().value(QStringLiteral("NegColor")).toString(),
              QStringLiteral("Returns/sets the color of negative part of gauge."));
    const QString h = classIdOf(meta, QStringLiteral("ToviHGauge"));
    const QString v = classIdOf(meta, QStringLiteral("ToviVGauge"));
    EXPECT_FALSE(normalizedClassId(h).isEmpty());
    EXPECT_FALSE(normalizedClassId(v).isEmpty());
    EXPECT_NE(h, v);
}

TEST_F(GaugePlugin, RegistersCreatesAndUnregisters)
{
    load();
    const QJsonObject meta = metaData();
    const QString hId = classIdOf(meta, QStringLiteral("ToviHGauge"));
    const QString vId = classIdOf(meta, QStringLiteral("ToviVGauge"));

    ASSERT_EQ(registerServer(), ServerOk);
    {
        const ComponentRegistry registry(m_registryFile);
        const auto h = registry.findClass(QStringLiteral("Levelon.ToviHGauge"));
        ASSERT_TRUE(h.has_value());
        EXPECT_EQ(h->classId, hId);
        EXPECT_EQ(QFileInfo(h->libraryPath).canonicalFilePath(), QFileInfo(pluginFile()).canonicalFilePath());
        const auto v = registry.findClass(vId.toLower());
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->progId, QStringLiteral("Levelon.ToviVGauge"));
        const auto tlb = registry.typeLibrary(v->typeLibraryId);
        ASSERT_TRUE(tlb.has_value());
        EXPECT_EQ(tlb->version, QStringLiteral("1.0"));
    }

    // By ProgID, by class ID and by class name.
    IClassFactory* hFactory = getClassObject("Levelon.ToviHGauge");
    IClassFactory* vFactory = getClassObject(vId.toUtf8().constData());
    ASSERT_TRUE(hFactory && vFactory);
    EXPECT_EQ(getClassObject(hId.toUtf8().constData()), hFactory);
    EXPECT_EQ(getClassObject("ToviVGauge"), vFactory);
    EXPECT_EQ(getClassObject("Levelon.ToviXGauge"), nullptr);
    EXPECT_EQ(getClassObject(nullptr), nullptr);

    EXPECT_EQ(canUnloadNow(), ServerOk);
    QWidget window;
    IGaugeControl* h = hFactory->createNew(&window);
    IGaugeControl* v = vFactory->createNew(&window);
    ASSERT_TRUE(h && v);
    EXPECT_EQ(h->className(), QStringLiteral("ToviHGauge"));
    EXPECT_EQ(v->widget()->parentWidget(), &window);
    EXPECT_EQ(canUnloadNow(), ServerFalse);

    // The same properties answer under different ids on the two classes.
    ASSERT_EQ(h->putProperty(dispid::hgauge::Value, -40), NoError);
    ASSERT_EQ(v->putProperty(dispid::vgauge::Min, -2048), NoError);
    ASSERT_EQ(v->putProperty(dispid::vgauge::Max, -1791), NoError);
    ASSERT_EQ(v->putProperty(dispid::vgauge::Value, -1900), NoError);
    EXPECT_EQ(h->widget()->property("Value").toInt(), -40);
    EXPECT_EQ(v->widget()->property("Min").toInt(), -2048);
    EXPECT_EQ(v->widget()->property("Value").toInt(), -1900);
    QVariant border;
    ASSERT_EQ(h->getProperty(dispid::BorderStyle, border), NoError);
    EXPECT_EQ(border.toInt(), 1);
    EXPECT_EQ(h->putProperty(dispid::vgauge::Value, 3), NoError);  // on H that id is BackColor
    EXPECT_EQ(h->widget()->property("BackColor").toInt(), 3);

    delete h->widget();
    EXPECT_EQ(canUnloadNow(), ServerFalse);
    delete v->widget();
    EXPECT_EQ(canUnloadNow(), ServerOk);

    ASSERT_EQ(unregisterServer(), ServerOk);
    const ComponentRegistry registry(m_registryFile);
    EXPECT_FALSE(registry.findClass(hId).has_value());
    EXPECT_FALSE(registry.findClass(QStringLiteral("Levelon.ToviVGauge")).has_value());
    EXPECT_FALSE(registry.typeLibrary(QString::fromLatin1("{1D5CE82B-ECAB-479D-A06C-756879D86633}")).has_value());
}

TEST_F(GaugePlugin, StoredDesignIsASeparateCall)
{
    load();
    IClassFactory* factory = getClassObject("Levelon.ToviHGauge");
    ASSERT_TRUE(factory);

    MapPropertyBag design(QVariantMap{{QStringLiteral("Max"), 255}});
    int error = -1;
    IGaugeControl* loaded = factory->createFromDesign(design, nullptr, error);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(error, NoError);
    EXPECT_EQ(loaded->widget()->property("BorderStyle").toInt(), 0);  // absent key: flat
    EXPECT_EQ(loaded->widget()->property("Max").toInt(), 255);
    delete loaded->widget();

    // A design whose mouse icon is a bitmap: no control, no instance left.
    QImage bitmap(2, 2, QImage::Format_RGB32);
    bitmap.fill(Qt::red);
    QByteArray stored;
    {
        // Saved by a control whose picture was that bitmap.
        IGaugeControl* saver = factory->createNew(nullptr);
        ASSERT_EQ(saver->putProperty(0x68030004, bitmap), NoError);
        MapPropertyBag bag;
        ASSERT_EQ(saver->writeProperties(bag), NoError);
        stored = bag.values().value(QStringLiteral("Picture")).toByteArray();
        delete saver->widget();
    }
    MapPropertyBag bad(QVariantMap{{QStringLiteral("MouseIcon"), stored}});
    EXPECT_EQ(factory->createFromDesign(bad, nullptr, error), nullptr);
    EXPECT_EQ(error, ErrInvalidPropertyValue);
    EXPECT_EQ(canUnloadNow(), ServerOk);
}

TEST_F(GaugePlugin, MissingRegistrationIsReported)
{
    // Nothing registered in the temporary registry.
    const ComponentRegistry registry(m_registryFile);
    EXPECT_FALSE(registry.findClass(QStringLiteral("Levelon.ToviHGauge")).has_value());
    EXPECT_FALSE(registry.findClass(QStringLiteral("{41F3032C-0FE3-4C51-8308-73DCB6FB87B1}")).has_value());
    EXPECT_FALSE(registry.findClass(QString()).has_value());
}

TEST_F(GaugePlugin, CommandLineToolRegistersAndUnregisters)
{
    const QString other = m_dir.filePath(QStringLiteral("other.ini"));
    QProcess tool;
    tool.start(toolFile(), {QStringLiteral("--registry"), other, pluginFile()});
    ASSERT_TRUE(tool.waitForFinished(30000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().constData();
    EXPECT_TRUE(ComponentRegistry(other).findClass(QStringLiteral("Levelon.ToviVGauge")).has_value());
    EXPECT_FALSE(QFile::exists(m_registryFile));  // only the named registry was touched

    tool.start(toolFile(), {QStringLiteral("--unregister"), QStringLiteral("--registry"), other, pluginFile()});
    ASSERT_TRUE(tool.waitForFinished(30000));
    ASSERT_EQ(tool.exitCode(), 0);
    EXPECT_FALSE(ComponentRegistry(other).findClass(QStringLiteral("Levelon.ToviVGauge")).has_value());

    tool.start(toolFile(), {QStringLiteral("--registry"), other, m_dir.filePath(QStringLiteral("missing.so"))});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_NE(tool.exitCode(), 0);
}

TEST_F(GaugePlugin, FormDesignerAcceptsTheLibrary)
{
    QPluginLoader loader(pluginFile());
    QObject* root = loader.instance();
    ASSERT_TRUE(root) << qPrintable(loader.errorString());
    g_loadedInThisProcess = true;
    auto* collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(root);
    ASSERT_TRUE(collection);
    QStringList names;
    for (QDesignerCustomWidgetInterface* w : collection->customWidgets()) {
        names << w->name();
        EXPECT_FALSE(w->icon().isNull());
        EXPECT_TRUE(w->domXml().contains(w->name()));
        std::unique_ptr<QWidget> widget(w->createWidget(nullptr));
        ASSERT_TRUE(widget);
        EXPECT_EQ(QString::fromLatin1(widget->metaObject()->className()), w->name());
        EXPECT_EQ(widget->property("BorderStyle").toInt(), 1);  // a freshly placed control
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("levelon::ToviHGauge"), QStringLiteral("levelon::ToviVGauge")}));

    // A form that holds a gauge, loaded through the designer's plugin path.
    QTemporaryDir pluginDir;
    ASSERT_TRUE(QFile::link(pluginFile(), pluginDir.filePath(QStringLiteral("libLevelon.so"))));
    QUiLoader ui;
    ui.clearPluginPaths();
    ui.addPluginPath(pluginDir.path());
    EXPECT_TRUE(ui.availableWidgets().contains(QStringLiteral("levelon::ToviVGauge")));
    QByteArray form = R"(<ui version="4.0"><class>Form</class>
 <widget class="QWidget" name="Form">
  <widget class="levelon::ToviVGauge" name="gauge">
   <property name="Min"><number>-5</number></property>
   <property name="Max"><number>5</number></property>
  </widget>
 </widget></ui>)";
    QBuffer buffer(&form);
    std::unique_ptr<QWidget> loaded(ui.load(&buffer));
    ASSERT_TRUE(loaded) << qPrintable(ui.errorString());
    QWidget* gauge = loaded->findChild<QWidget*>(QStringLiteral("gauge"));
    ASSERT_TRUE(gauge);
    EXPECT_EQ(gauge->property("Min").toInt(), -5);
    EXPECT_EQ(gauge->property("Max").toInt(), 5);
}

TEST_F(GaugePlugin, DesignerSeesTheDesignPropertiesOnly)
{
    QPluginLoader loader(pluginFile());
    QObject* root = loader.instance();
    ASSERT_TRUE(root) << qPrintable(loader.errorString());
    g_loadedInThisProcess = true;
    auto* collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(root);
    ASSERT_TRUE(collection);
    for (QDesignerCustomWidgetInterface* w : collection->customWidgets()) {
        SCOPED_TRACE(w->name().toStdString());
        std::unique_ptr<QWidget> widget(w->createWidget(nullptr));
        ASSERT_TRUE(widget);
        const QMetaObject* meta = widget->metaObject();

        // The value is set at run time and never kept in a form.
        const int value = meta->indexOfProperty("Value");
        ASSERT_GE(value, 0);
        EXPECT_FALSE(meta->property(value).isStored());
        EXPECT_FALSE(meta->property(value).isDesignable());
        EXPECT_TRUE(meta->property(meta->indexOfProperty("Min")).isStored());

        // The cursor icon is a property like the others.
        ASSERT_GE(meta->indexOfProperty("MouseIcon"), 0);
        QPixmap icon(16, 16);
        icon.fill(Qt::red);
        EXPECT_TRUE(widget->setProperty("MouseIcon", icon));
        EXPECT_EQ(widget->property("MouseIcon").value<QPixmap>().size(), QSize(16, 16));
        EXPECT_TRUE(widget->setProperty("MouseIcon", QPixmap()));
        EXPECT_TRUE(widget->property("MouseIcon").value<QPixmap>().isNull());

        // A pointer kind beyond 16 bits is refused, not wrapped (70000 would be 4464).
        widget->setProperty("MousePointer", 2);
        for (int outside : {70000, 32768, -32769, -70000}) {
            widget->setProperty("MousePointer", outside);
            EXPECT_EQ(widget->property("MousePointer").toInt(), 2) << outside;
        }
        widget->setProperty("MousePointer", 32767);
        EXPECT_EQ(widget->property("MousePointer").toInt(), 32767);
        widget->setProperty("MousePointer", -32768);
        EXPECT_EQ(widget->property("MousePointer").toInt(), -32768);
    }
}
