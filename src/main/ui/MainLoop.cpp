#include "MainLoop.h"

#include "BusTransport.h"
#include "Fensterpostfach.h"
#include "Protocol.h"
#include "SerialPort.h"

#include <QScopeGuard>
#include <QScopedValueRollback>

double MainLoop::probeCommandTimeout(const QString& cmdText)
{
    return cmdText.mid(1, 3) == QLatin1String("0ff") ? StoreCommandTimeout : 0.0;
}

void MainLoop::Timer1_Timer()
{
    if (m_inTick) {
        ++m_skipped;
        return;
    }
    const QScopedValueRollback<bool> inTick(m_inTick, true);
    reportPostOnClosedPort();
    const auto seen = qScopeGuard([this] { m_postsSeen = pendingPosts(); });

    // A step-response recording owns the tick.
    if (m_p.Flaganzcom == 0) {
        if (m_p.CC.isEmpty() && m_p.CCT.isEmpty())
            return;
        if (!m_p.CCT.isEmpty())
            serveProbeWindows();
        if (!m_p.CC.isEmpty())
            serveControlCenters();
        serveSimulator();
    }
    serveControlLoopWindow();
}

void MainLoop::reportPostOnClosedPort()
{
    if (m_bus.usbMode() || m_bus.serial().isOpen() || !m_bus.closedPortUsed)
        return;
    if (pendingPosts().subtract(m_postsSeen).isEmpty())
        return;
    const QScopedValueRollback<bool> post(m_servingPost, true);
    m_bus.closedPortUsed();
}

QSet<const void*> MainLoop::pendingPosts() const
{
    QSet<const void*> out;
    for (int n : m_p.CC.numbers())
        if (const IControlCenter* w = m_p.CC.item(n); w && w->flagsenden == 1)
            out.insert(w);
    for (int n : m_p.CCT.numbers())
        if (const IProbeWindow* w = m_p.CCT.item(n); w && w->flagsenden == 1)
            out.insert(w);
    return out;
}

void MainLoop::serveProbeWindows()
{
    // Windows are looked up by number before every call: a window may close
    // while a call into another one shows a box.
    for (int n : m_p.CCT.numbers()) {
        IProbeWindow* w = m_p.CCT.item(n);
        if (w && w->Width() >= MinPollWidthTwips && w->aktiv() == 1)
            w->Aktualisieren();
    }

    IProbeWindow* w = m_p.currentProbeWindow();
    if (!w)
        return;
    m_bus.einheit_waehlen(w->chosenAddress());

    if ((w = m_p.currentProbeWindow()) && w->flagachsenwechsel == 1) {
        w->Initialisierung();
        if ((w = m_p.currentProbeWindow()))
            w->flagachsenwechsel = 0;
    }
    if ((w = m_p.currentProbeWindow()) && w->flagsenden == 1) {
        const QString cmdText = w->Befehl;
        const QString antwort =
            m_bus.senden_empfangen(cmdText, probeCommandTimeout(cmdText), protocol::Rejection::Show);
        if ((w = m_p.currentProbeWindow())) {
            w->antwort = antwort;
            w->setLb_Fehler(cmdText + QLatin1String("--->") + antwort);
            w->flagsenden = 0;
        }
    }
    if ((w = m_p.currentProbeWindow()) && w->flagabgleich == 1)
        w->Abgleich();
}

void MainLoop::serveControlCenters()
{
    const QList<int> numbers = m_p.CC.numbers();
    // The flag is cleared before the last window that is still registered
    // initialises; if the last ones closed during the pass, after it.
    const auto lastStillOpen = [this, &numbers](qsizetype j) {
        for (qsizetype k = j + 1; k < numbers.size(); ++k)
            if (m_p.CC.item(numbers.at(k)))
                return false;
        return true;
    };
    const bool initPass = m_p.com_motflag == 1;
    bool cleared = false;
    for (qsizetype j = 0; j < numbers.size(); ++j) {
        const int n = numbers.at(j);
        IControlCenter* w = m_p.CC.item(n);
        if (!w)
            continue;
        if (m_p.com_motflag == 1) {
            if (lastStillOpen(j)) {
                m_p.com_motflag = 0;
                cleared = true;
            }
            const int result = w->Initialisierung();
            m_p.Statustabelle[n] = result;
            w = m_p.CC.item(n);
            if (w && result == 1 && w->FlagAuslesen == 1)
                w->auslesen();
            w = m_p.CC.item(n);
            if (!w)
                continue;
        }
        if (w->Width() >= MinPollWidthTwips)
            m_p.Statustabelle[n] = w->Aktualisieren();
    }
    if (initPass && !cleared)
        m_p.com_motflag = 0;

    if (!selectCurrentControlCenter(true))
        return;
    const int current = m_p.CC_I;
    IControlCenter* c = m_p.currentControlCenter();
    if (c && c->flagachsenwechsel == 1) {
        m_p.Statustabelle[current] = c->Initialisierung();
        if ((c = m_p.CC.item(current)))
            c->flagachsenwechsel = 0;
    }
    if ((c = m_p.CC.item(current)) && m_p.status(current) == 1 && c->FlagAuslesen == 1)
        c->auslesen();
    if (m_p.CC.item(current) && m_p.status(current) == 1 && m_p.frm_eW && m_p.frm_eW->FlagEW == 1)
        m_p.frm_eW->abfragen();
}

void MainLoop::serveSimulator()
{
    if (!m_p.frm_MSim)
        return;
    if (m_p.frm_MSim->flagaktiv == 1) {
        m_p.frm_MSim->abfragen();
        selectCurrentControlCenter(true);
    }
    if (m_p.frm_MSim && m_p.frm_MSim->flagCC >= 1) {
        m_p.frm_MSim->sende();
        if (m_p.frm_MSim)
            m_p.frm_MSim->flagCC = 0;
        selectCurrentControlCenter(false);
    }
}

void MainLoop::serveControlLoopWindow()
{
    // Each request reads the result and its flag afresh, so a request raised
    // by an earlier step of this tick is served in the same tick.
    auto ready = [this] {
        return m_p.frm_controlparameter && m_p.status(m_p.CC_I) == 1 &&
               m_p.frm_controlparameter->FlagControlparameter == 1 &&
               m_p.frm_controlparameter->servesControlCenter(m_p.CC_I);
    };
    if (!ready())
        return;
    if (m_p.frm_controlparameter->FlagAufzeichnung != 0)
        m_p.frm_controlparameter->Diag_Aufzeichnung(m_p.Aufzeichnungsschritt);
    else
        m_p.Aufzeichnungsschritt = 1;
    if (ready() && m_p.frm_controlparameter->FlagRegelkreisaus == 1) {
        m_p.frm_controlparameter->regelkreisauslesen();
        if (m_p.frm_controlparameter)
            m_p.frm_controlparameter->FlagRegelkreisaus = 0;
    }
    if (ready() && m_p.frm_controlparameter->FlagRegelkreisschreiben != 0) {
        m_p.frm_controlparameter->regelkreisschreiben();
        if (m_p.frm_controlparameter)
            m_p.frm_controlparameter->FlagRegelkreisschreiben = 0;
    }
    if (ready() && m_p.frm_controlparameter->FlagRegeleeprom == 1) {
        m_p.frm_controlparameter->eepromspeichern();
        if (m_p.frm_controlparameter)
            m_p.frm_controlparameter->FlagRegeleeprom = 0;
    }
}

bool MainLoop::selectCurrentControlCenter(bool alsoParameterIndex)
{
    IControlCenter* c = m_p.currentControlCenter();
    if (!c)
        return false;
    m_bus.einheit_waehlen(c->chosenAddress());
    if (alsoParameterIndex && m_p.setParameterIndex) {
        if ((c = m_p.currentControlCenter()))
            m_p.setParameterIndex(c->addressesIndex());
    }
    return m_p.currentControlCenter() != nullptr;
}

bool MainLoopHolders::hold(const QString& holder)
{
    if (m_holders.contains(holder))
        return false;
    m_holders.append(holder);
    return m_holders.size() == 1;
}

bool MainLoopHolders::release(const QString& holder)
{
    if (!m_holders.removeOne(holder))
        return false;
    return m_holders.isEmpty();
}
