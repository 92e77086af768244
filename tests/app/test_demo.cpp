// The program as the demonstration starts it: every window installed over the
// demonstration bus. What a new user does first (choose an axis, change the
// drive mode, stop from joystick mode, open and close the options) must end
// without a single message box.

#include "DemoBench.h"
#include "Install.h"
#include "InstallSequences.h"
#include "MenuNames.h"
#include "ParamsContext.h"
#include "frm_Controlcenter.h"
#include "frm_Options.h"
#include "frm_main.h"

#include <QAction>
#include <QComboBox>
#include <QRadioButton>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

class DemoTest : public ::testing::Test, protected DemoBench
{
protected:
    DemoTest()
    {
        frame = std::make_unique<frm_main>(*core);
        params = std::make_unique<ParamsContext>(core->ui(), frame->optionFlags());
        installParameters(*frame, *params);
        SequenceWindows& sequences = installSequences(*frame, *params);
        ControlCenterTools tools;
        tools.initWindow = [&sequences] { return sequences.initWindow(); };
        tools.initWindowVorhanden = [&sequences] { return sequences.initWindowVorhanden(); };
        installControlCenter(*frame, *params, tools);
        options = installOptions(*frame);
        frame->menuEntry(QStringLiteral("mnuAchsenAus(2)"))->setChecked(true);
        frame->resize(1100, 800);
        frame->show();
    }
    ~DemoTest() override
    {
        frame.reset();
        params.reset();
    }

    void ticks(int n, double dt = 0.01)
    {
        for (int i = 0; i < n; ++i) {
            uhr->advance(dt);
            frame->hauptschleife().Timer1_Timer();
        }
    }

    std::unique_ptr<frm_main> frame;
    std::unique_ptr<ParamsContext> params;
    frm_Options* options = nullptr;
};

TEST_F(DemoTest, FirstStepsOfANewUserShowNoMessageBox)
{
    frame->mnuKontroll_Click();
    IControlCenter* cc = frame->CC.item(frame->Fensterzaehler());
    auto* w = cc ? dynamic_cast<frm_Controlcenter*>(cc->form()) : nullptr;
    ASSERT_TRUE(w);
    frame->CC_Aktivieren(w->core().Tag);
    for (int index : {1, 2, 1}) {
        w->core().setAdressenIndex(index);
        ticks(5);
        EXPECT_EQ(frame->status(w->core().Tag), 1) << index;
    }
    w->ui.Fahrart_1->click();
    ticks(3);
    w->ui.Fahrart_0->click();
    ticks(3);
    w->ui.Fahrart_2->click();
    ticks(3);
    w->ui.cmd_STOPP->click();
    ticks(3);
    w->ui.Fahrart_0->click();
    ticks(3);

    frame->menuEntry(Menu::Optionen)->trigger();
    ASSERT_TRUE(options->isVisible());
    options->cmd_exit_Click();
    ticks(5);

    EXPECT_TRUE(dialoge->messages.isEmpty()) << qPrintable(dialoge->texts().join(QStringLiteral(" | ")));
    // The drive registers were read on choosing an axis, and nothing the
    // windows sent was rejected.
    bool registersRead = false;
    for (const auto& t : bus->traffic())
        registersRead = registersRead || t.second == QStringLiteral("[1RL]");
    EXPECT_TRUE(registersRead);
    for (const QString& line : core->log().lines())
        EXPECT_FALSE(line.contains(QStringLiteral("?0005"))) << qPrintable(line);
}

} // namespace
