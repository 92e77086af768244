// The options dialog and the flags' menu effects: the access lock, the
// boxes, the rounding digits, Exit and activation, and a configuration file
// that switches the menus without the dialog ever being opened.

#include "frm_Options.h"

#include "BusTransport.h"
#include "OptionFlags.h"
#include "OptionMenus.h"
#include "ParamsContext.h"
#include "TestSupport.h"
#include "UiServices.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>

namespace {

class OptionsTest : public ::testing::Test
{
protected:
    OptionsTest()
    {
        for (const char* name : {"mnuMSim", "mnuTasterC", "mnurrBefehl", "mnuJoystick_Abgleich", "mnuAKabgleich",
                                 "mnuTablett", "mnuLaden"}) {
            auto* a = new QAction(QString::fromLatin1(name), &menuOwner);
            menu.insert(QString::fromLatin1(name), a);
        }
        bindOptionMenus(flags, [this](const QString& n) { return menu.value(n); },
                        {[this] { ++enabledCount; }, [this] { ++isClosed; }});
        dialog.todayFn = [] { return QDate(2024, 3, 15); };
        dialog.ended = [this] { ++ended; };
    }

    void enter(const QString& code)
    {
        dialog.lb_text->setText(code);
        dialog.lb_ok->click();
    }
    bool shown(QWidget* w) const { return !w->isHidden(); }
    bool menuVisible(const char* name) const { return menu.value(QString::fromLatin1(name))->isVisible(); }

    QObject menuOwner;
    QMap<QString, QAction*> menu;
    OptionFlags flags;
    RecordingUiServices ui;
    frm_Options dialog{flags, ui};
    int enabledCount = 0;
    int isClosed = 0;
    int ended = 0;
};

TEST_F(OptionsTest, StartsAtCodeEntryWithEveryServiceEntryHidden)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Optionen"));
    EXPECT_FALSE(dialog.optionsVisible());
    EXPECT_TRUE(shown(dialog.lb_text) && shown(dialog.lb_passwort) && shown(dialog.lb_ok));
    EXPECT_EQ(dialog.lb_passwort->text(), QStringLiteral("Passwort"));
    for (int i = 0; i < 9; ++i)
        EXPECT_FALSE(shown(dialog.cb_check[std::size_t(i)]));
    EXPECT_EQ(dialog.size(), QSize(4275 / 15, 1535 / 15));
    for (const char* n :
         {"mnuMSim", "mnuTasterC", "mnurrBefehl", "mnuJoystick_Abgleich", "mnuAKabgleich", "mnuTablett"})
        EXPECT_FALSE(menuVisible(n)) << n;
    EXPECT_TRUE(menuVisible("mnuLaden"));
}

TEST_F(OptionsTest, WrongCodeShowsWrongPasswordAndKeepsTheText)
{
    for (const QString& code : {QStringLiteral("ZQ"), QStringLiteral("zq "), QStringLiteral("Brimolat"), QString(),
                                frm_Options::dayCode(QDate(2024, 3, 14))}) {
        ui.clear();
        enter(code);
        ASSERT_EQ(ui.messages.size(), 1) << code.toStdString();
        EXPECT_EQ(ui.messages.first().text, QStringLiteral("Falsches Passwort"));
        EXPECT_EQ(ui.messages.first().buttons, MsgButtons::Ok);
        EXPECT_EQ(dialog.lb_text->text(), code);
        EXPECT_FALSE(dialog.optionsVisible());
        EXPECT_FALSE(shown(dialog.cb_check[0]));
    }
}

TEST_F(OptionsTest, EachRightCodeShowsTheFlags)
{
    EXPECT_EQ(frm_Options::dayCode(QDate(2024, 3, 15)), QStringLiteral("51304202"));
    for (const QString& code : {QStringLiteral("zq"), QStringLiteral("brimolat"), QStringLiteral("51304202")}) {
        dialog.machneu();
        enter(code);
        EXPECT_TRUE(ui.messages.isEmpty());
        EXPECT_TRUE(dialog.optionsVisible()) << code.toStdString();
        EXPECT_FALSE(shown(dialog.lb_text) || shown(dialog.lb_passwort) || shown(dialog.lb_ok));
        for (int i = 0; i < 9; ++i) {
            EXPECT_TRUE(shown(dialog.cb_check[std::size_t(i)]));
            EXPECT_TRUE(shown(dialog.lb_Befehl[std::size_t(i)]));
        }
        EXPECT_EQ(dialog.lb_Befehl[8]->text(), QStringLiteral("Mot - Neu"));
        EXPECT_EQ(dialog.size(), QSize(4300 / 15, 3965 / 15));
    }
}

TEST_F(OptionsTest, TickingABoxShowsItsMenuEntryAndStoresTheFlag)
{
    enter(QStringLiteral("zq"));
    const QList<QPair<int, const char*>> entries = {{1, "mnuMSim"},       {2, "mnuTasterC"},
                                                    {3, "mnurrBefehl"},   {4, "mnuJoystick_Abgleich"},
                                                    {5, "mnuAKabgleich"}, {7, "mnuTablett"}};
    for (const auto& [flag, name] : entries) {
        dialog.cb_check[std::size_t(flag)]->click();
        EXPECT_TRUE(menuVisible(name)) << name;
        EXPECT_EQ(dialog.arraybefehle_get(flag), QStringLiteral("1"));
        dialog.cb_check[std::size_t(flag)]->click();
        EXPECT_FALSE(menuVisible(name)) << name;
        EXPECT_EQ(dialog.arraybefehle_get(flag), QStringLiteral("0"));
    }
    // Flags 6 and 8 only switch features elsewhere.
    dialog.cb_check[8]->click();
    EXPECT_TRUE(flags.on(OptionFlags::NewMotorFactor));
}

TEST_F(OptionsTest, FlagZeroFreesOrClosesTheRecorderOnItsTransitions)
{
    enter(QStringLiteral("zq"));
    dialog.cb_check[0]->click();
    EXPECT_EQ(enabledCount, 1);
    EXPECT_TRUE(dialog.arraybefehle_let(0, QStringLiteral("1")));  // already on: nothing happens
    EXPECT_EQ(enabledCount, 1);
    dialog.cb_check[0]->click();
    EXPECT_EQ(isClosed, 1);
    EXPECT_TRUE(dialog.arraybefehle_let(0, QStringLiteral("1")));
    EXPECT_TRUE(dialog.arraybefehle_let(0, QStringLiteral("2")));  // greyed counts as off
    EXPECT_EQ(isClosed, 2);
    EXPECT_EQ(dialog.cb_check[0]->checkState(), Qt::PartiallyChecked);
    // From greyed to unchecked closes it as well.
    EXPECT_TRUE(dialog.arraybefehle_let(0, QStringLiteral("0")));
    EXPECT_EQ(isClosed, 3);
}

TEST_F(OptionsTest, ArrayCommandsLetSetsBoxAndMenuWithoutTheDialogAndRefusesBadInput)
{
    EXPECT_TRUE(dialog.arraybefehle_let(3, QStringLiteral("1")));
    EXPECT_TRUE(menuVisible("mnurrBefehl"));
    EXPECT_EQ(dialog.cb_check[3]->checkState(), Qt::Checked);
    EXPECT_TRUE(dialog.arraybefehle_let(3, QStringLiteral("2")));
    EXPECT_FALSE(menuVisible("mnurrBefehl"));

    EXPECT_FALSE(dialog.arraybefehle_let(9, QStringLiteral("1")));
    EXPECT_FALSE(dialog.arraybefehle_let(-1, QStringLiteral("1")));
    EXPECT_FALSE(dialog.arraybefehle_let(4, QStringLiteral("ja")));
    EXPECT_FALSE(dialog.arraybefehle_let(4, QStringLiteral("3")));
    EXPECT_TRUE(dialog.arraybefehle_get(4).isEmpty());
    EXPECT_TRUE(dialog.arraybefehle_get(9).isEmpty());
}

TEST_F(OptionsTest, RoundingDigitsFollowTheListBothWays)
{
    enter(QStringLiteral("zq"));
    EXPECT_EQ(dialog.cb_stelle->currentText(), QStringLiteral("6"));
    EXPECT_EQ(flags.digitIndex(), 5);
    dialog.cb_stelle->setCurrentIndex(dialog.cb_stelle->findText(QStringLiteral("3")));
    EXPECT_EQ(flags.digitIndex(), 2);
    // Six decimals are list position 5.
    dialog.cb_stelle->setCurrentIndex(dialog.cb_stelle->findText(QStringLiteral("6")));
    EXPECT_EQ(flags.digitIndex(), 5);
    flags.setDigitIndex(1);
    EXPECT_EQ(dialog.cb_stelle->currentText(), QStringLiteral("2"));
    flags.setDigitIndex(5);
    EXPECT_EQ(dialog.cb_stelle->currentIndex(), 5);
    EXPECT_EQ(dialog.cb_stelle->currentText(), QStringLiteral("6"));
}

TEST_F(OptionsTest, ActivationAndExitReturnToCodeEntryKeepingTheFlags)
{
    enter(QStringLiteral("zq"));
    dialog.cb_check[2]->click();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&dialog, &activate);
    EXPECT_FALSE(dialog.optionsVisible());
    EXPECT_TRUE(dialog.lb_text->text().isEmpty());
    EXPECT_EQ(dialog.cb_check[2]->checkState(), Qt::Checked);

    dialog.Tag = QStringLiteral("1");
    dialog.show();
    enter(QStringLiteral("zq"));
    dialog.cmd_exit->click();
    EXPECT_EQ(dialog.Tag, QStringLiteral("0"));
    EXPECT_TRUE(dialog.isHidden());
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(dialog.optionsVisible());
    EXPECT_TRUE(flags.on(2));
    EXPECT_TRUE(menuVisible("mnuTasterC"));

    // Closing the window is Exit too: the main window must not stay locked.
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    dialog.lb_ok->setFocus();
    dialog.close();
    EXPECT_EQ(ended, 2);
    // Opened again, it takes the code from the keyboard at once, wherever
    // the keyboard was when it was left.
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(QApplication::focusWidget(), dialog.lb_text);
}

TEST_F(OptionsTest, LoadingAConfigurationSwitchesTheMenusWithoutTheDialog)
{
    TempHome home;
    ParamsContext params(ui, flags, [](const QString&) { return keine_Antwort; });
    ConfigContent c;
    c.optionValues[3] = 1;
    c.optionValues[0] = 1;
    c.rundungsstelle = 1;
    const QString path = home.file(QStringLiteral("opt.qvm"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(*writeConfig(c));
    f.close();
    ui.fileAnswers << path;

    ASSERT_TRUE(params.configFile().laden(ConfigFile::Manuell));
    EXPECT_TRUE(menuVisible("mnurrBefehl"));
    EXPECT_EQ(dialog.cb_check[3]->checkState(), Qt::Checked);
    EXPECT_EQ(dialog.cb_stelle->currentIndex(), 1);
    EXPECT_EQ(params.store().rundungsstelle(), 1);
    EXPECT_EQ(enabledCount, 1);
    EXPECT_FALSE(dialog.optionsVisible());
}

}  // namespace
