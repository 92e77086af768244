// The main program's gauge host: gauges made through the registry from a
// window design, and the placeholder and single message when that fails.

#include "ComponentRegistry.h"
#include "GaugeHost.h"
#include "UiServices.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

QString pluginFile()
{
    const QString dir = qEnvironmentVariable("KELVANE_BIN_DIR");
    if (!dir.isEmpty() && QFile::exists(dir + QStringLiteral("/libLevelon.so")))
        return dir + QStringLiteral("/libLevelon.so");
    return QStringLiteral(LEVELON_PLUGIN_FILE);
}

const QString kHGaugeId = QStringLiteral("{41F3032C-0FE3-4C51-8308-73DCB6FB87B1}");
const QString kVGaugeId = QStringLiteral("{E590EFE6-FAB1-4393-835B-CE0F7C070A95}");

GaugeDesign hDesign(const QString& name, QVariantMap props = {})
{
    return {name, kHGaugeId, QStringLiteral("Levelon.ToviHGauge"), QRect(10, 10, 200, 20), std::move(props)};
}

GaugeDesign vDesign(const QString& name, QVariantMap props = {})
{
    return {name, kVGaugeId, QStringLiteral("Levelon.ToviVGauge"), QRect(10, 40, 20, 200), std::move(props)};
}

class GaugeHostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_registry = m_dir.filePath(QStringLiteral("components.ini"));
    }

    // Registers the built plugin the way the command-line tool does.
    void registerPlugin()
    {
        qputenv("KELVANE_COMPONENT_REGISTRY", m_registry.toLocal8Bit());
        QLibrary lib(pluginFile());
        auto reg = reinterpret_cast<levelon::RegisterServerFn>(lib.resolve(levelon::RegisterServerSymbol));
        ASSERT_TRUE(reg) << qPrintable(lib.errorString());
        ASSERT_EQ(reg(), levelon::ServerOk);
        qunsetenv("KELVANE_COMPONENT_REGISTRY");
    }

    QTemporaryDir m_dir;
    QString m_registry;
    RecordingUiServices m_ui;
};

}  // namespace

TEST_F(GaugeHostTest, CreatesRegisteredGaugesFromTheDesign)
{
    registerPlugin();
    GaugeHost host(m_ui, m_registry);
    QWidget window;
    const auto gauges =
        host.createGauges(&window, {hDesign(QStringLiteral("Gauge1"), {{QStringLiteral("PosColor"), 0x00FF00}}),
                                    vDesign(QStringLiteral("Gauge2"), {{QStringLiteral("BorderStyle"), 2}})});
    EXPECT_TRUE(m_ui.messages.isEmpty());
    ASSERT_EQ(gauges.size(), 2);
    ASSERT_TRUE(gauges[0].isLive() && gauges[1].isLive());

    QWidget* h = gauges[0].widget();
    EXPECT_EQ(h->parentWidget(), &window);
    EXPECT_EQ(h->objectName(), QStringLiteral("Gauge1"));
    EXPECT_EQ(h->geometry(), QRect(10, 10, 200, 20));
    EXPECT_EQ(h->property("PosColor").toInt(), 0x00FF00);
    EXPECT_EQ(h->property("BorderStyle").toInt(), 0);  // not in the design: flat

    HostedGauge v = gauges[1];
    v.setMax(2047);
    v.setMin(1791);
    v.setValue(1900);
    EXPECT_EQ(v.widget()->property("Max").toInt(), 2047);
    EXPECT_EQ(v.widget()->property("Min").toInt(), 1791);
    EXPECT_EQ(v.widget()->property("Value").toInt(), 1900);
    HostedGauge hg = gauges[0];
    hg.setValue(-12);
    EXPECT_EQ(h->property("Value").toInt(), -12);

    // Once the window has destroyed a gauge, setting it does nothing.
    delete v.widget();
    EXPECT_FALSE(v.isLive());
    v.setValue(3);
}

TEST_F(GaugeHostTest, UnregisteredGaugesGiveOneMessageAndPlaceholders)
{
    // Empty registry, and no gauge library shipped beside the program.
    GaugeHost host(m_ui, m_registry, m_dir.path());
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("OK"), &window);
    auto gauges = host.createGauges(
        &window, {hDesign(QStringLiteral("a")), hDesign(QStringLiteral("b")), vDesign(QStringLiteral("c"))});
    ASSERT_EQ(m_ui.messages.size(), 1);
    EXPECT_TRUE(m_ui.messages[0].text.contains(QStringLiteral("Levelon.ToviHGauge")));
    ASSERT_EQ(gauges.size(), 3);
    for (HostedGauge& g : gauges) {
        EXPECT_FALSE(g.isLive());
        ASSERT_TRUE(g.widget());
        EXPECT_EQ(g.widget()->parentWidget(), &window);
        g.setValue(5);  // inert
    }
    EXPECT_EQ(gauges[2].widget()->geometry(), QRect(10, 40, 20, 200));
    EXPECT_EQ(gauges[1].widget()->objectName(), QStringLiteral("b"));
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(button->isEnabled());
}

TEST_F(GaugeHostTest, FailingLibraryGivesOneMessage)
{
    // The registry names a file that is no library.
    const QString fake = m_dir.filePath(QStringLiteral("libBroken.so"));
    QFile f(fake);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a library");
    f.close();
    {
        levelon::ComponentRegistry registry(m_registry);
        registry.addClass({kHGaugeId, QStringLiteral("Levelon.ToviHGauge"), QStringLiteral("ToviHGauge"), fake, {}});
        ASSERT_TRUE(registry.sync());
    }
    GaugeHost host(m_ui, m_registry);
    QWidget window;
    const auto gauges = host.createGauges(&window, {hDesign(QStringLiteral("a")), hDesign(QStringLiteral("b"))});
    ASSERT_EQ(m_ui.messages.size(), 1);
    EXPECT_TRUE(m_ui.messages[0].text.contains(fake));
    EXPECT_FALSE(gauges[0].isLive());
}

TEST_F(GaugeHostTest, UnreadableDesignGivesAPlaceholder)
{
    registerPlugin();
    GaugeHost host(m_ui, m_registry);
    QWidget window;
    const auto gauges =
        host.createGauges(&window, {hDesign(QStringLiteral("ok")),
                                    vDesign(QStringLiteral("bad"), {{QStringLiteral("Min"), QStringLiteral("x")}})});
    ASSERT_EQ(m_ui.messages.size(), 1);
    EXPECT_TRUE(m_ui.messages[0].text.contains(QStringLiteral("bad")));
    EXPECT_TRUE(gauges[0].isLive());
    EXPECT_FALSE(gauges[1].isLive());
}

// The gauges are found without a registration step: the library shipped with
// the program serves every class the registry does not name, in a build
// folder (beside the program) and in an installed tree (<prefix>/bin with the
// library in <prefix>/lib/kelvane).
struct ShippedLayout
{
    const char* name;
    const char* programFolder;  // below the temporary folder; null: the running program's own folder
    const char* libraryFolder;  // where the library is placed, below the temporary folder
};

void PrintTo(const ShippedLayout& layout, std::ostream* os)
{
    *os << layout.name;
}

class ShippedGaugeLibrary : public GaugeHostTest, public ::testing::WithParamInterface<ShippedLayout>
{
};

TEST_P(ShippedGaugeLibrary, CreatesBothGaugesWithoutARegistryFile)
{
    const ShippedLayout layout = GetParam();
    QString programFolder;
    if (layout.programFolder) {
        programFolder = m_dir.filePath(QLatin1String(layout.programFolder));
        const QString libraryFolder = m_dir.filePath(QLatin1String(layout.libraryFolder));
        ASSERT_TRUE(QDir().mkpath(programFolder) && QDir().mkpath(libraryFolder));
        ASSERT_TRUE(QFile::link(pluginFile(), libraryFolder + QStringLiteral("/libLevelon.so")));
    }
    // The program's default registry, and no file there.
    qputenv("KELVANE_COMPONENT_REGISTRY", m_registry.toLocal8Bit());
    GaugeHost host(m_ui, {}, programFolder);
    qunsetenv("KELVANE_COMPONENT_REGISTRY");
    ASSERT_FALSE(QFile::exists(m_registry));

    QWidget window;
    auto gauges = host.createGauges(&window, {vDesign(QStringLiteral("Toviv0")), hDesign(QStringLiteral("Tovih0"))});
    EXPECT_TRUE(m_ui.messages.isEmpty()) << qPrintable(m_ui.texts().join(QStringLiteral(" | ")));
    ASSERT_EQ(gauges.size(), 2);
    ASSERT_TRUE(gauges[0].isLive() && gauges[1].isLive());
    gauges[0].setMax(100);
    gauges[0].setValue(40);
    EXPECT_EQ(gauges[0].widget()->property("Value").toInt(), 40);
    EXPECT_EQ(gauges[1].widget()->metaObject()->className(), QByteArray("levelon::ToviHGauge"));
    // Creating nothing, the host wrote no registry either.
    EXPECT_FALSE(QFile::exists(m_registry));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ShippedGaugeLibrary,
                         ::testing::Values(ShippedLayout{"RunningProgram", nullptr, nullptr},
                                           ShippedLayout{"BuildFolder", "build/bin", "build/bin"},
                                           ShippedLayout{"InstalledTree", "usr/bin", "usr/lib/kelvane"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GaugeHostTest, ClassTheShippedLibraryDoesNotServeIsNotRegistered)
{
    const QString bin = m_dir.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QFile::link(pluginFile(), bin + QStringLiteral("/libLevelon.so")));
    GaugeHost host(m_ui, m_registry, bin);
    QWidget window;
    const GaugeDesign other{QStringLiteral("x"),
                            QStringLiteral("{00000000-1111-2222-3333-444444444444}"),
                            QStringLiteral("Levelon.ToviRGauge"),
                            QRect(),
                            {}};
    const auto gauges = host.createGauges(&window, {other, hDesign(QStringLiteral("h"))});
    ASSERT_EQ(m_ui.messages.size(), 1);
    EXPECT_EQ(m_ui.messages[0].text, QStringLiteral("Das Steuerelement Levelon.ToviRGauge ist nicht registriert."));
    EXPECT_FALSE(gauges[0].isLive());
    EXPECT_TRUE(gauges[1].isLive());
}

TEST_F(GaugeHostTest, RegistryEntryOverridesTheShippedLibrary)
{
    // A registered library that is gone is reported, not silently replaced.
    {
        levelon::ComponentRegistry registry(m_registry);
        registry.addClass({kHGaugeId,
                           QStringLiteral("Levelon.ToviHGauge"),
                           QStringLiteral("ToviHGauge"),
                           m_dir.filePath(QStringLiteral("gone/libLevelon.so")),
                           {}});
        ASSERT_TRUE(registry.sync());
    }
    GaugeHost host(m_ui, m_registry);  // the running program's folder ships the library
    QWidget window;
    const auto gauges = host.createGauges(&window, {hDesign(QStringLiteral("h")), vDesign(QStringLiteral("v"))});
    ASSERT_EQ(m_ui.messages.size(), 1);
    EXPECT_TRUE(m_ui.messages[0].text.contains(QStringLiteral("gone/libLevelon.so")));
    EXPECT_FALSE(gauges[0].isLive());
    EXPECT_TRUE(gauges[1].isLive());
}
