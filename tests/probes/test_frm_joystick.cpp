// The joystick display opened from the main window's menu, with its gauges
// made by the gauge host: through the registered plugin (one pixel check and,
// with KELVANE_JOYSTICK_SCREENSHOT=<file.png>, a picture of the window) and
// without a registered library (one message, inert placeholders, the window
// still works). Closing hands the bus back to the main loop.

#include "ComponentRegistry.h"
#include "LevelonComponent.h"
#include "ParamsContext.h"
#include "SimJoystick.h"
#include "SimWorkbench.h"
#include "frm_Joystick_Abgleich.h"
#include "frm_main.h"

#include <QAction>
#include <QLibrary>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class FrmJoystickTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("KELVANE_COMPONENT_REGISTRY", dir.filePath(QStringLiteral("components.ini")).toLocal8Bit());
        joystickInput = installJoystickInput(bank.unit(QStringLiteral("02")));
        auto axis1Input = installJoystickInput(bank.unit(QStringLiteral("01")));
        axis1Input->voltage = 0xB0;
        axis1Input->deflection = -0x30;
    }
    void TearDown() override
    {
        main.reset();
        qunsetenv("KELVANE_COMPONENT_REGISTRY");
    }
    void registerInputs()
    {
        QLibrary lib(QStringLiteral(LEVELON_PLUGIN_FILE));
        auto reg = reinterpret_cast<levelon::RegisterServerFn>(lib.resolve(levelon::RegisterServerSymbol));
        ASSERT_TRUE(reg) << qPrintable(lib.errorString());
        ASSERT_EQ(reg(), levelon::ServerOk);
    }
    frm_Joystick_Abgleich* openForm()
    {
        main = std::make_unique<frm_main>(*bank.core);
        params = std::make_unique<ParamsContext>(bank.core->ui(), main->optionFlags(), bank.core->transport());
        params->store().axisRecordAt(1).Motfak = 1000;
        params->store().axisRecordAt(2).Motfak = 1000;
        installJoystick(*main, *params);
        main->show();
        main->menuEntry(Menu::Joystick_Abgleich)->trigger();
        for (QWidget* c : main->findChildren<QWidget*>())
            if (auto* w = dynamic_cast<frm_Joystick_Abgleich*>(c))
                return w;
        return nullptr;
    }
    void ticks(frm_Joystick_Abgleich* w, int n)
    {
        for (int k = 0; k < n; ++k) {
            bank.clock->advance(0.05);
            emit w->Timer2.timeout({});
        }
    }

    QTemporaryDir dir;
    SimWorkbench bank;
    std::shared_ptr<SimJoystickInput> joystickInput;
    std::unique_ptr<frm_main> main;
    std::unique_ptr<ParamsContext> params;
};

}  // namespace

TEST_F(FrmJoystickTest, RegisteredPluginDrawsTheDeflectionAndClosingHandsTheBusBack)
{
    registerInputs();
    frm_Joystick_Abgleich* w = openForm();
    ASSERT_TRUE(w);
    EXPECT_TRUE(bank.dialogs->messages.isEmpty());
    EXPECT_TRUE(main->timer1Holders().contains(Menu::Joystick_Abgleich));
    EXPECT_TRUE(w->Timer2.isActive());
    ASSERT_EQ(w->gauges().size(), 6);
    for (const HostedGauge& g : w->gauges())
        EXPECT_TRUE(g.isLive());

    w->ui.cb_adressenauswahl->setCurrentIndex(1);
    emit w->ui.cb_adressenauswahl->activated(1);
    joystickInput->voltage = 0x40;
    joystickInput->deflection = 0x55;
    ticks(w, 4);
    EXPECT_EQ(w->ui.lb_Spannung_1->text(), QStringLiteral("40"));
    EXPECT_EQ(w->ui.lb_Vpos_1->text(), QStringLiteral("55"));
    QWidget* pos = w->gauges()[5].widget();
    EXPECT_EQ(pos->property("Value").toInt(), 0x40);
    // The bar's filled part carries the gauge's design colour (dark red).
    const QImage grabbedImage = pos->grab().toImage();
    const QColor middle = grabbedImage.pixelColor(grabbedImage.width() / 4, grabbedImage.height() / 2);
    EXPECT_EQ(middle, QColor(0xC0, 0, 0)) << qPrintable(middle.name());
    const QString file = qEnvironmentVariable("KELVANE_JOYSTICK_SCREENSHOT");
    if (!file.isEmpty()) {
        EXPECT_TRUE(w->grab().save(file));
    }

    bank.unit(QStringLiteral("02")).clearReceived();
    w->close();
    EXPECT_EQ(bank.unit(QStringLiteral("02")).received(), QStringList({"[1BR]", "[1CS]"}));
    EXPECT_FALSE(main->timer1Holders().contains(Menu::Joystick_Abgleich));
    EXPECT_TRUE(main->menuEntry(Menu::Kontroll)->isEnabled());
}

TEST_F(FrmJoystickTest, WithoutRegisteredLibraryOneMessageAndTheWindowStillWorks)
{
    // The registry names a gauge library that is gone (the program's own
    // shipped library would otherwise serve).
    {
        levelon::ComponentRegistry registry(dir.filePath(QStringLiteral("components.ini")));
        registry.addClass({QStringLiteral("{41F3032C-0FE3-4C51-8308-73DCB6FB87B1}"),
                           QStringLiteral("Levelon.ToviHGauge"),
                           QStringLiteral("ToviHGauge"),
                           dir.filePath(QStringLiteral("gone/libLevelon.so")),
                           {}});
        ASSERT_TRUE(registry.sync());
    }
    frm_Joystick_Abgleich* w = openForm();
    ASSERT_TRUE(w);
    EXPECT_EQ(bank.dialogs->messages.size(), 1);
    for (const HostedGauge& g : w->gauges())
        EXPECT_FALSE(g.isLive());
    w->ui.cb_adressenauswahl->setCurrentIndex(1);
    emit w->ui.cb_adressenauswahl->activated(1);
    joystickInput->voltage = 0x80;
    ticks(w, 4);
    EXPECT_EQ(w->core().tovih_neg[1], -127);
    EXPECT_EQ(w->ui.lb_Spannung_1->text(), QStringLiteral("80"));

    // The axis list of the main window refills the open window's list.
    main->Achsenliste = QStringList{QStringLiteral("02"), QStringLiteral("01")};
    main->mnuAchsenAus_Click(1);
    EXPECT_EQ(w->core().cb_adressenauswahl.items, main->Achsenliste);
    EXPECT_EQ(w->ui.cb_adressenauswahl->count(), 2);
    w->close();
}
