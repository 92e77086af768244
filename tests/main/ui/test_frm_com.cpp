// The port dialog: which ports and devices it lists, the baud rules of the
// serial port and the bridge, the failures it reports while staying usable,
// and what OK stores for the next start.

#include "MainWindowDoubles.h"

#include "frm_com.h"
#include "frm_main.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList items(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

class FrmComTest : public ::testing::Test
{
protected:
    // The dialog as the menu entry opens it: the main window has closed the
    // serial port and holds the loop.
    frm_com* open()
    {
        main.mnuCOMOptions_Click();
        return main.portDialog();
    }
    void pick(QListWidget* list, const QString& text)
    {
        const auto match = list->findItems(text, Qt::MatchExactly);
        ASSERT_FALSE(match.isEmpty()) << text.toStdString();
        list->setCurrentItem(match.first());
    }
    bool enabled(const char* name) { return main.menuEntry(QLatin1String(name))->isEnabled(); }

    SimProgram prog;
    frm_main main{*prog.core};
};

TEST_F(FrmComTest, ListsThePortsThatOpenAndTheAttachedBridges)
{
    prog.port->present = {3, 5};
    prog.bridge->setDeviceCount(2);
    frm_com* dlg = open();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("COM_Options"));
    EXPECT_EQ(items(dlg->list_com), (QStringList{"3", "5"}));
    EXPECT_EQ(items(dlg->list_usb),
              (QStringList{SimUsbBridge::serialNumber(0).toUpper(), SimUsbBridge::serialNumber(1).toUpper()}));
    EXPECT_EQ(items(dlg->list_baud), (QStringList{"9600", "19200", "38400", "57600", "115200", "230400"}));
    EXPECT_FALSE(prog.port->isOpen()) << "the search leaves every port closed";
    EXPECT_EQ(prog.transport().Ereignissperre, 0);
}

TEST_F(FrmComTest, FirstStartWithoutARememberedRateStillListsThePortsAndOpensOneOnceARateIsPicked)
{
    // A first start: no remembered port or rate, so the port holds the text "0".
    prog.port->present = {3, 5};
    main.MDIForm_Load();
    ASSERT_EQ(prog.port->settings(), QStringLiteral("0"));
    prog.dialogs->clear();

    frm_com* dlg = open();
    EXPECT_EQ(items(dlg->list_com), (QStringList{"3", "5"}));
    EXPECT_EQ(prog.port->settings(), QStringLiteral("0")) << "the search puts the text back";

    pick(dlg->list_com, QStringLiteral("5"));  // no rate picked yet: refused
    EXPECT_FALSE(prog.port->isOpen());
    prog.dialogs->clear();
    pick(dlg->list_baud, QStringLiteral("19200"));
    EXPECT_TRUE(prog.dialogs->messages.isEmpty());
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.port->commPort(), 5);
    EXPECT_EQ(prog.transport().Schnittstelle, QStringLiteral("COM"));
}

TEST_F(FrmComTest, ReopensTheRememberedPortWithItsBaud)
{
    prog.port->present = {3, 5};
    main.setAuswerten_com(QStringLiteral("5"));
    main.setAuswerten_baud(QStringLiteral("38400"));
    frm_com* dlg = open();
    EXPECT_EQ(dlg->list_baud->currentItem()->text(), QStringLiteral("38400"));
    EXPECT_EQ(dlg->list_com->currentItem()->text(), QStringLiteral("5"));
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.port->commPort(), 5);
    EXPECT_EQ(prog.port->settings(), QStringLiteral("38400"));
    EXPECT_EQ(prog.transport().Schnittstelle, QStringLiteral("COM"));
    EXPECT_TRUE(prog.dialogs->messages.isEmpty());
}

TEST_F(FrmComTest, WithoutABridgeTheUsbModeSelectsAndOpensNothing)
{
    prog.bridge->setDeviceCount(0);
    main.setAuswerten_com(QStringLiteral("USB"));
    frm_com* dlg = open();
    EXPECT_EQ(dlg->list_usb->count(), 0);
    EXPECT_EQ(prog.transport().USBHandle, 0u);
    EXPECT_TRUE(prog.dialogs->messages.isEmpty());
}

TEST_F(FrmComTest, SerialPortRefusesTheFastestRateButStillReopens)
{
    main.setAuswerten_com(QStringLiteral("1"));
    main.setAuswerten_baud(QStringLiteral("9600"));
    frm_com* dlg = open();
    ASSERT_TRUE(prog.port->isOpen());
    pick(dlg->list_baud, QStringLiteral("230400"));
    EXPECT_EQ(prog.dialogs->texts(), QStringList{frm_com::BaudMessage});
    EXPECT_TRUE(prog.port->isOpen()) << "reopened with its previous settings";
    EXPECT_EQ(prog.port->settings(), QStringLiteral("9600"));
    EXPECT_EQ(main.auswerten_baud(), QStringLiteral("9600"));

    prog.dialogs->clear();
    pick(dlg->list_baud, QStringLiteral("57600"));
    EXPECT_TRUE(prog.dialogs->messages.isEmpty());
    EXPECT_EQ(prog.port->settings(), QStringLiteral("57600"));
    EXPECT_EQ(prog.transport().baudText, QStringLiteral("57600"));
}

TEST_F(FrmComTest, BridgeTakesEveryRateAndSelectingItClosesTheSerialPort)
{
    main.setAuswerten_com(QStringLiteral("1"));
    main.setAuswerten_baud(QStringLiteral("9600"));
    frm_com* dlg = open();
    ASSERT_TRUE(prog.port->isOpen());
    dlg->list_usb->setCurrentRow(0);
    EXPECT_FALSE(prog.port->isOpen());
    EXPECT_EQ(dlg->list_com->currentRow(), -1);
    EXPECT_EQ(prog.transport().Schnittstelle, QStringLiteral("USB"));
    EXPECT_NE(prog.transport().USBHandle, 0u);
    const UsbHandle device = prog.transport().USBHandle;

    pick(dlg->list_baud, QStringLiteral("230400"));
    EXPECT_TRUE(prog.dialogs->messages.isEmpty());
    EXPECT_EQ(main.auswerten_baud(), QStringLiteral("230400"));
    EXPECT_EQ(main.auswerten_com(), QStringLiteral("USB"));
    EXPECT_EQ(prog.transport().USBStatus, si::SUCCESS);

    // Picking a serial port leaves the bridge open.
    pick(dlg->list_baud, QStringLiteral("9600"));
    pick(dlg->list_com, QStringLiteral("2"));
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.transport().USBHandle, device);
    EXPECT_EQ(prog.bridge->SI_SetBaudRate(device, 9600), si::SUCCESS);
}

TEST_F(FrmComTest, BridgeFailureIsReportedAndTheModeStaysUsb)
{
    prog.bridge->setBaudRateFailure(si::INVALID_BAUD_RATE);
    main.setAuswerten_baud(QStringLiteral("9600"));
    frm_com* dlg = open();
    dlg->list_usb->setCurrentRow(0);
    EXPECT_EQ(prog.dialogs->texts(), QStringList{frm_com::DeviceMessage});
    EXPECT_EQ(prog.transport().Schnittstelle, QStringLiteral("USB"));
}

TEST_F(FrmComTest, BaudClickWithoutAPortIsReportedAndTheDialogStaysUsable)
{
    frm_com* dlg = open();
    pick(dlg->list_baud, QStringLiteral("19200"));
    EXPECT_EQ(prog.dialogs->texts(), QStringList{frm_main::PortMessage});
    EXPECT_EQ(prog.transport().Ereignissperre, 0);
    EXPECT_FALSE(prog.port->isOpen());

    prog.dialogs->clear();
    pick(dlg->list_com, QStringLiteral("4"));
    EXPECT_TRUE(prog.dialogs->messages.isEmpty());
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.port->settings(), QStringLiteral("19200"));
}

TEST_F(FrmComTest, BusyPortIsReportedAndTheDialogStaysUsable)
{
    main.setAuswerten_baud(QStringLiteral("9600"));
    frm_com* dlg = open();
    prog.port->sim().setOpenFailure(QStringLiteral("Device or resource busy"));
    pick(dlg->list_com, QStringLiteral("2"));
    // The message says why, in the system's words.
    EXPECT_EQ(prog.dialogs->texts(),
              QStringList{frm_main::PortMessage + QStringLiteral("\n\nDevice or resource busy")});
    EXPECT_EQ(prog.transport().Ereignissperre, 0);
    EXPECT_NE(prog.transport().Schnittstelle, QStringLiteral("COM"));

    prog.port->sim().setOpenFailure(QString());
    QTest::keyClick(dlg->list_com, Qt::Key_Return);  // Enter chooses it again
    EXPECT_EQ(prog.port->isOpen() ? prog.port->commPort() : 0, 2);
    pick(dlg->list_com, QStringLiteral("3"));
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.transport().Schnittstelle, QStringLiteral("COM"));
}

TEST_F(FrmComTest, OkInSerialModeStoresPortAndRateAndEnablesTheDirectPortEntries)
{
    frm_com* dlg = open();
    pick(dlg->list_baud, QStringLiteral("115200"));
    prog.dialogs->clear();
    pick(dlg->list_com, QStringLiteral("7"));
    dlg->cmd_ok->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main.portDialog(), nullptr);
    EXPECT_EQ(prog.remembered(QStringLiteral("Backup_CommPort")), QStringLiteral("7"));
    EXPECT_EQ(prog.remembered(QStringLiteral("Backup_Settings")), QStringLiteral("115200"));
    for (const char* name : {"mnuAblauf", "mnuMultiT", "mnuAKabgleich", "mnuCF", "mnuKontroll"})
        EXPECT_TRUE(enabled(name)) << name;
    EXPECT_TRUE(main.isTimer1Running());
    EXPECT_TRUE(prog.dialogs->messages.isEmpty());
}

TEST_F(FrmComTest, OkInUsbModeStoresUsbAndDisablesTheDirectPortEntries)
{
    frm_com* dlg = open();
    pick(dlg->list_baud, QStringLiteral("38400"));
    dlg->list_usb->setCurrentRow(0);
    dlg->cmd_ok_Click();
    EXPECT_EQ(prog.remembered(QStringLiteral("Backup_CommPort")), QStringLiteral("USB"));
    EXPECT_EQ(prog.remembered(QStringLiteral("Backup_Settings")), QStringLiteral("38400"));
    for (const char* name : {"mnuAblauf", "mnuMultiT", "mnuAKabgleich", "mnuCF"})
        EXPECT_FALSE(enabled(name)) << name;
    EXPECT_TRUE(enabled("mnuKontroll"));
}

// The close box cancels: the port in use before comes back, nothing is
// stored, the main window is usable; each click after a dialog ended, by its
// close box or its OK, shows a new one.
TEST_F(FrmComTest, CloseBoxCancelsAndEveryEndedDialogMakesTheNextClickAFirstOne)
{
    prog.port->present = {3, 5};
    prog.remember(QStringLiteral("5"), QStringLiteral("38400"));
    main.setAuswerten_com(QStringLiteral("5"));
    main.setAuswerten_baud(QStringLiteral("38400"));
    frm_com* dlg = open();
    ASSERT_TRUE(main.menuEntry(QStringLiteral("mnuKontroll")) && !enabled("mnuKontroll"));
    pick(dlg->list_com, QStringLiteral("3"));
    pick(dlg->list_baud, QStringLiteral("9600"));
    dlg->close();
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.port->commPort(), 5);
    EXPECT_EQ(prog.port->settings(), QStringLiteral("38400"));
    EXPECT_EQ(main.auswerten_com(), QStringLiteral("5"));
    EXPECT_EQ(prog.remembered(QStringLiteral("Backup_Settings")), QStringLiteral("38400"));
    EXPECT_TRUE(main.isTimer1Running());
    EXPECT_TRUE(enabled("mnuKontroll"));

    for (bool byOk : {false, true}) {
        frm_com* next = open();
        ASSERT_TRUE(next && next != dlg && next->isVisible()) << byOk;
        dlg = next;
        if (byOk)
            dlg->cmd_ok->click();
        else
            dlg->close();
    }
    dlg = open();
    pick(dlg->list_baud, QStringLiteral("57600"));
    main.mnuCOMOptions_Click();  // made while the dialog was built: no OK
    EXPECT_TRUE(dlg->isVisible() && prog.port->isOpen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->isOnScreen(); }));
    main.mnuCOMOptions_Click();  // the second click is the dialog's OK
    EXPECT_EQ(prog.remembered(QStringLiteral("Backup_Settings")), QStringLiteral("57600"));
    EXPECT_FALSE(main.portDialog() && main.portDialog()->isVisible());
}

// The dialog opens with the keys on the COM list. A list that gets the focus
// chooses nothing, in either mode: OK stores the transport in use.
TEST_F(FrmComTest, FocusChoosesNothingAndOkStoresTheTransportInUse)
{
    for (const QString& before : {QStringLiteral("5"), QStringLiteral("USB")}) {
        main.setAuswerten_com(before);
        main.setAuswerten_baud(QStringLiteral("9600"));
        frm_com* dlg = open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
        EXPECT_EQ(QApplication::focusWidget(), dlg->list_com);
        QTest::keyClick(dlg->list_com, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), dlg->list_usb);
        EXPECT_EQ(prog.port->isOpen(), before != QLatin1String("USB")) << qPrintable(before);
        dlg->cmd_ok->click();
        EXPECT_EQ(prog.remembered(QStringLiteral("Backup_CommPort")), before);
    }
}

TEST_F(FrmComTest, OkWithoutARateKeepsTheRememberedOne)
{
    prog.remember(QStringLiteral("2"), QStringLiteral("57600"));
    main.setAuswerten_baud(QStringLiteral("not a rate"));
    frm_com* dlg = open();
    ASSERT_EQ(dlg->list_baud->currentRow(), -1);
    pick(dlg->list_com, QStringLiteral("3"));  // refused rate: reported, port still opens
    dlg->cmd_ok_Click();
    EXPECT_EQ(prog.remembered(QStringLiteral("Backup_CommPort")), QStringLiteral("3"));
    EXPECT_EQ(prog.remembered(QStringLiteral("Backup_Settings")), QStringLiteral("57600"));
}

}  // namespace
