#include "Fensterpostfach.h"

#include "Format.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>

namespace {
QMdiSubWindow* hostOf(QWidget* form)
{
    return form ? qobject_cast<QMdiSubWindow*>(form->parentWidget()) : nullptr;
}

// 109 windows fit before n × 300 twips leaves the range of a 16-bit number.
constexpr int ProbePositions = 109;
}  // namespace

int TrackedWindow::Width() const
{
    QWidget* f = form();
    if (!f)
        return 0;
    if (QMdiSubWindow* sub = hostOf(f))
        return pixelsToTwips(sub->width());
    return pixelsToTwips(f->width());
}

void TrackedWindow::setWindowEnabled(bool on)
{
    if (QWidget* f = form())
        f->setEnabled(on);
}

void TrackedWindow::Show()
{
    QWidget* f = form();
    if (!f)
        return;
    if (QMdiSubWindow* sub = hostOf(f)) {
        sub->show();
        f->show();
    } else {
        f->show();
        f->raise();
    }
}

void TrackedWindow::SetFocus()
{
    QWidget* f = form();
    if (!f)
        return;
    if (QMdiSubWindow* sub = hostOf(f)) {
        if (QMdiArea* area = sub->mdiArea())
            area->setActiveSubWindow(sub);
    } else {
        f->activateWindow();
    }
    f->setFocus();
}

QString IControlCenter::chosenAddress() const
{
    const int i = addressesIndex();
    const QStringList list = unitAddresses();
    return i >= 0 && i < list.size() ? list.at(i) : QString();
}

int probePositionTwips(int n)
{
    if (n < 1)
        return 0;
    return ((n - 1) % ProbePositions + 1) * 300;
}

void Fensterpostfach::CC_entfernen(const IControlCenter& window)
{
    removeControlCenter(window.Tag);
}

void Fensterpostfach::CCT_entfernen(const IProbeWindow& window)
{
    removeProbeWindow(window.Tag);
}

void Fensterpostfach::removeControlCenter(int n)
{
    CC.remove(n);
    if (CC.isEmpty())
        CC_I = 0;
}

void Fensterpostfach::removeProbeWindow(int n)
{
    CCT.remove(n);
    if (CCT.isEmpty())
        CCT_I = 0;
}
