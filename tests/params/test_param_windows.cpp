// The two windows installed into the main window: their menu entries toggle
// them with the main loop held, the address-list entries fill their lists,
// the calculation shows in the parameter window, and the windows' widgets
// show what the cores hold. Screenshots on the demonstration bus when
// KELVANE_PARAMS_SCREENSHOTS names a folder.
#include "InstallParamWindows.h"
#include "MenuNames.h"
#include "ParamWindowFixture.h"
#include "frm_Berechnung.h"
#include "frm_Download.h"
#include "frm_main.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

class ParamWindowsInstalled : public ParamWindowFixture
{
protected:
    ParamWindowsInstalled() { windows = installParamWindows(*frame, params); }
    void trigger(const QString& entry) { frame->menuEntry(entry)->trigger(); }
    static void grab(QWidget* w, const char* name)
    {
        const QString dir = qEnvironmentVariable("KELVANE_PARAMS_SCREENSHOTS");
        QCoreApplication::processEvents();  // lay the labels out first
        if (!dir.isEmpty())
            w->grab().save(QDir(dir).filePath(QString::fromLatin1(name)));
    }

    std::unique_ptr<frm_main> frame = std::make_unique<frm_main>(*wb.core);
    ParamWindows windows;
};

TEST_F(ParamWindowsInstalled, MenuEntriesToggleTheWindowsWithTheLoopHeld)
{
    for (const auto& [menu, window] : {std::pair{Menu::MGED, static_cast<QWidget*>(windows.calculation)},
                                       {Menu::Download, static_cast<QWidget*>(windows.download)}}) {
        EXPECT_FALSE(window->isVisible());
        trigger(menu);
        EXPECT_TRUE(window->isVisible()) << qPrintable(menu);
        EXPECT_TRUE(frame->timer1Holders().contains(menu));
        frame->com_motflag = 0;
        trigger(menu);
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(frame->timer1Holders().contains(menu));
        EXPECT_EQ(frame->com_motflag, 1);
    }
    // The windows' own exit buttons close them the same way.
    trigger(Menu::Download);
    windows.download->findChild<QPushButton*>(QStringLiteral("cmd_exit"))->click();
    EXPECT_FALSE(windows.download->isVisible());
    EXPECT_EQ(frame->toolWindowTag(Menu::Download), QStringLiteral("0"));
}

TEST_F(ParamWindowsInstalled, ManualAddressListFillsBothLists)
{
    trigger(QStringLiteral("mnuAchsenAus(2)"));
    for (QWidget* w : {static_cast<QWidget*>(windows.calculation), static_cast<QWidget*>(windows.download)}) {
        auto* addressTable = w->findChild<QComboBox*>(QStringLiteral("cb_adressenauswahl"));
        ASSERT_EQ(addressTable->count(), 32);
        EXPECT_EQ(addressTable->itemText(31), QStringLiteral("1F"));
    }
}

TEST_F(ParamWindowsInstalled, WindowsShowTheChosenUnitOnTheDemoBus)
{
    trigger(Menu::MGED);
    params.store().axisRecordAt(1).Achsenbezeichnung = QStringLiteral("01-") + QString(80, QLatin1Char('x'));
    auto* addressTable = windows.calculation->findChild<QComboBox*>(QStringLiteral("cb_adressenauswahl"));
    addressTable->setCurrentIndex(1);
    emit addressTable->activated(1);
    auto* name = windows.calculation->findChild<QLineEdit*>(QStringLiteral("text_Achsenbezeichnung"));
    EXPECT_TRUE(name->isReadOnly());  // shows the stored name, from its beginning
    EXPECT_EQ(name->cursorPosition(), 0);
    EXPECT_EQ(windows.calculation->findChild<QLineEdit*>(QStringLiteral("text_MFB_7"))->text(), QStringLiteral("5217"));
    EXPECT_EQ(windows.calculation->findChild<QLabel*>(QStringLiteral("lb_ST_Sec"))->text(), QStringLiteral("1.000ms"));
    grab(windows.calculation, "parameters.png");
    trigger(Menu::MGED);

    trigger(Menu::Download);
    auto* list2 = windows.download->findChild<QComboBox*>(QStringLiteral("cb_adressenauswahl"));
    list2->setCurrentIndex(1);
    emit list2->activated(1);
    EXPECT_EQ(windows.download->findChild<QLineEdit*>(QStringLiteral("text_download_21"))->text(),
              QStringLiteral("Demo-Achse 01"));
    EXPECT_FALSE(windows.download->findChild<QLabel*>(QStringLiteral("lb_antwort_2"))->text().isEmpty());
    grab(windows.download, "eeprom.png");
    // A calculation started elsewhere shows here too.
    params.store().axisRecordAt(1).Gear = 97;
    params.store().setIndex(1);
    params.motfaktor_berechnen();
    EXPECT_EQ(windows.calculation->findChild<QLineEdit*>(QStringLiteral("text_MFB_7"))->text(), QStringLiteral("1043"));
}

}  // namespace
