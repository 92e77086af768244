// The main window's menu "Achsenerkennung": the axis search, which finds the
// bus's baud rate and the units that answer, and the two address lists that
// the control centers and the other unit-bound windows pick their unit from.
// The search itself is the widget-free Achsensuche; this file locks the
// program around it, shows its progress and hands its result to the windows.

#include "Achsensuche.h"
#include "CoreContext.h"
#include "frm_main.h"
#include "Form.h"
#include "Guarded.h"
#include "frm_wait.h"
#include "globale_Funktionen.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QWindow>
#include <QtDebug>

#include <exception>

namespace {
const QString Automatic = QStringLiteral("mnuAchsenAus(1)");
const QString Manuell = QStringLiteral("mnuAchsenAus(2)");
// Where the carriage marker rests when its travel picture is not valid.
constexpr int CarriageRestLeft = 160;
// Entries of the fixed list the other windows get: "00" … "1F".
constexpr int FixedAddresses = 32;
}  // namespace

void frm_main::setAddressListTarget(const QString& window, AddressListTarget fill)
{
    if (fill)
        m_addressLists.insert(window, std::move(fill));
    else
        m_addressLists.remove(window);
}

void frm_main::fillAddressLists(const QStringList& entries)
{
    for (auto it = m_addressLists.cbegin(); it != m_addressLists.cend(); ++it) {
        kit::guarded(qPrintable(QStringLiteral("address list of ") + it.key()), [&] { it.value()(entries); });
    }
}

void frm_main::refreshAddressList(int j)
{
    if (j < 0 || j >= CC.count())
        return;
    const int n = CC.numbers().at(j);
    IControlCenter* w = CC.item(n);
    const int index = w->addressesIndex();
    w->clearAddresses();
    Adresse_eintragen(j);
    const bool isGreen = w->line_schlitten_BackColor() == IControlCenter::CarriageValid;
    // Runs the window's own selection handler, which re-initialises it.
    w->setAddressesIndex(index);
    w = CC.item(n);
    if (!w)
        return;
    if (isGreen)
        w->setLine_schlitten(w->line_schlitten_Left(), IControlCenter::CarriageValid);
    else
        w->setLine_schlitten(CarriageRestLeft, IControlCenter::CarriageInvalid);
}

void frm_main::mnuAchsensuche_Click()
{
    // The one pass of pending events below must not start a second search.
    if (m_axisSearchRunning)
        return;
    const QScopedValueRollback<bool> running(m_axisSearchRunning, true);
    // The probe already changes the rate the program talks at, so the loop
    // is held from the start: a decoded rejection opens a message box whose
    // event loop would otherwise let a tick talk at a rate being probed.
    MainLoopHold hold = holdMainLoop(Menu::AchsenSuche);

    Achsensuche axisSearch(m_core.transport());
    QPointer<frm_wait> wait;
    kit::guarded("axis search", [&] {
        const Achsensuche::Result e = axisSearch.runSearch(
            m_core.settings(),
            [this, &wait] {
                wait = waitWindow();
                wait->pb_ladeleiste->setValue(0);
                wait->show();
                wait->raise();
                Disable_all(0);
                QCoreApplication::processEvents();
                // The scan runs without events: it can paint the window only
                // once the window system has shown it (a bounded wait).
                QElapsedTimer shown;
                shown.start();
                while (wait && wait->windowHandle() && !wait->windowHandle()->isExposed() && shown.elapsed() < 500)
                    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
            },
            [&wait](int i) {
                if (!wait)
                    return;
                wait->pb_ladeleiste->setValue(i);
                // The scan blocks the event loop; the bar is painted at once.
                kit::paintNow(wait);
            });
        if (wait) {
            wait->hide();
            wait->pb_ladeleiste->setValue(0);
        }
        Achsenliste = e.addressTable;
        for (qsizetype j = 0; j < CC.count(); ++j)
            refreshAddressList(int(j));
        fillAddressLists(Achsenliste);
    });
    // Whatever happened, the program comes back usable: no progress window
    // left standing, menus and loop released.
    if (wait && !wait->isHidden()) {
        wait->hide();
        wait->pb_ladeleiste->setValue(0);
    }
    setAuswerten_baud(axisSearch.setting());
    menuEntry(Automatic)->setEnabled(true);
    menuEntry(Manuell)->setChecked(false);
    hold.release();
    enableWhenLoopRuns();
}

void frm_main::unloadControlCenter(int n)
{
    IControlCenter* w = CC.item(n);
    if (!w)
        return;
    bool isClosed = true;
    if (QMdiSubWindow* sub = subWindowOf(w))
        isClosed = sub->close();
    else if (QWidget* form = w->form())
        isClosed = form->close();
    // A window that closes later (it is inside its own cycle) leaves the
    // registry by itself when it does.
    if (isClosed && CC.item(n))
        removeControlCenter(n);
}

void frm_main::mnuAchsenAus_Click(int index)
{
    if (index == 1) {
        menuEntry(Automatic)->setChecked(true);
        menuEntry(Manuell)->setChecked(false);
        for (qsizetype j = 0; j < CC.count(); ++j)
            refreshAddressList(int(j));
        fillAddressLists(Achsenliste);
        // A control center opened while the flag is set takes its list
        // index from Achsindex, initialises itself and opens minimised; the
        // flag must never outlive this loop.
        struct FlagReset
        {
            int& flag;
            ~FlagReset() { flag = 0; }
        } restoreFlag{flagautomatik};
        for (int i = 0; i < AxisCount; ++i) {
            Achsindex = i;
            const QString axisEntry = Achsenliste.value(i);
            if (!axisEntry.isEmpty() && axisEntry != Achsensuche::GroupAddress)
                mnuKontroll_Click();
            flagautomatik = 1;
        }
        com_motflag = 1;
    } else if (index == 2) {
        menuEntry(Automatic)->setChecked(false);
        menuEntry(Manuell)->setChecked(true);
        for (int n : CC.numbers())
            unloadControlCenter(n);
        QStringList fixedAddresses;
        for (int i = 0; i < FixedAddresses; ++i)
            fixedAddresses << hex2(i);
        fillAddressLists(fixedAddresses);
    }
}
