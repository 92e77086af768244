// The subsystems installed into the frame as the program does it: the four
// file-menu entries load and save the configuration through the parameter
// models, and the options dialog becomes the tool window of its entry.
#include "MainWindowDoubles.h"

#include "Install.h"
#include "InstallParameters.h"
#include "ParamsContext.h"
#include "ProgramFolder.h"
#include "frm_Options.h"
#include "frm_main.h"

#include <QAction>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class InstallTest : public ::testing::Test
{
protected:
    InstallTest()
    {
        installParameters(*main, params);
        // Counts the command-list reloads the frame asks for after a load.
        main->reloadCommandLists = [this] { ++shown; };
    }
    void trigger(const QString& entry) { main->menuEntry(entry)->trigger(); }

    SimProgram prog;
    std::unique_ptr<frm_main> main = std::make_unique<frm_main>(*prog.core);
    ParamsContext params{prog.core->ui(), main->optionFlags(), [](const QString&) { return keine_Antwort; }};
    int shown = 0;
};

TEST_F(InstallTest, FileMenuEntriesLoadAndSave)
{
    params.store().axisRecordAt(9).Gear = 12;
    trigger(Menu::SKspeichern);
    EXPECT_TRUE(QFile::exists(programFile(QStringLiteral("autost.qvm"))));
    params.store().axisRecordAt(9).Gear = 1;
    trigger(Menu::SKladen);
    EXPECT_EQ(params.store().axisRecordAt(9).Gear, 12);
    EXPECT_EQ(shown, 1);

    prog.dialogs->fileAnswers << prog.home.file(QStringLiteral("m.qvm"));
    trigger(Menu::Speichern);
    params.store().axisRecordAt(9).Gear = 2;
    prog.dialogs->fileAnswers << prog.home.file(QStringLiteral("m.qvm"));
    trigger(Menu::Laden);
    EXPECT_EQ(params.store().axisRecordAt(9).Gear, 12);
    EXPECT_EQ(shown, 2);
    // A loaded file asks every control center to initialise again.
    EXPECT_EQ(main->com_motflag, 1);
}

TEST_F(InstallTest, OptionsDialogIsTheToolWindowOfItsEntry)
{
    frm_Options* options = installOptions(*main);
    ASSERT_TRUE(options);
    trigger(Menu::Optionen);
    EXPECT_TRUE(options->isVisible());
    EXPECT_EQ(main->toolWindowTag(Menu::Optionen), QStringLiteral("1"));
    options->cmd_exit_Click();
    EXPECT_FALSE(options->isVisible());
    EXPECT_EQ(main->toolWindowTag(Menu::Optionen), QStringLiteral("0"));
}

}  // namespace
