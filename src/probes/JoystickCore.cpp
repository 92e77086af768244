#include "JoystickCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Format.h"
#include "globale_Funktionen.h"
#include "Protocol.h"

#include <QScopedValueRollback>

#include <cmath>

JoystickCore::JoystickCore(JoystickEnv env) : m_env(std::move(env))
{
    if (!m_env.leaveScript)
        m_env.leaveScript = [] {};
    sh_an_aus.colour = Red;
    lb_Fehler.text = QStringLiteral("Befehl/Fehler/Antwort");
    for (kit::Control& l : lb_POS)
        l.text = QStringLiteral("off");
}

QString JoystickCore::swap(const QString& cmdText, double waitTime, protocol::Rejection mode)
{
    return m_env.bus ? m_env.bus->senden_empfangen(cmdText, waitTime, mode) : QString();
}

void JoystickCore::Form_Load()
{
    cb_adressenauswahl.clear();
    for (int n = 0; n <= 30; ++n)
        cb_adressenauswahl.addItem(hex2(n));
}

void JoystickCore::fillAddresses(const QStringList& entries)
{
    cb_adressenauswahl.clear();
    for (const QString& e : entries)
        cb_adressenauswahl.addItem(e);
}

void JoystickCore::Button_enable()
{
    Fahrart[0].enabled = Fahrart[1].enabled = true;
    cmd_STOPP.enabled = true;
}

void JoystickCore::Button_Disable()
{
    Fahrart[0].enabled = Fahrart[1].enabled = false;
}

void JoystickCore::cmd_STOPP_Click()
{
    flagsenden = 2;
    Befehl = QStringLiteral("[1BR][1CS]");
    Button_enable();
    Optionssperre = 1;
    Fahrart[0].checked = Fahrart[1].checked = false;
    Optionssperre = 0;
}

void JoystickCore::Fahrart_Click(int index)
{
    if (Optionssperre == 1 || index < 0 || index > 1)
        return;
    Fahrart[std::size_t(index)].checked = true;
    Fahrart[std::size_t(1 - index)].checked = false;
    Befehl = index == 0 ? QStringLiteral("[1CS] [1Cj]") : QStringLiteral("[1CS] [1CJ]");
    flagsenden = 2;
}

void JoystickCore::Form_Unload()
{
    // Both units leave joystick mode before the main loop takes the bus back.
    const int li = cb_adressenauswahl.listIndex;
    cmd_STOPP_Click();
    if (li >= 0 && li < cb_adressenauswahl.items.size()) {
        for (int k = 0; k < Units && li + k < cb_adressenauswahl.items.size(); ++k) {
            const QString unitAddress = cb_adressenauswahl.items.at(li + k);
            if (unitAddress.isEmpty())
                continue;
            if (m_env.bus)
                m_env.bus->einheit_waehlen(unitAddress);
            swap(protocol::Stop);
            swap(QStringLiteral("[1CS]"));
        }
    }
    flagsenden = 0;
    m_env.leaveScript();
}

int JoystickCore::Initialisierung(const QString& Adresse)
{
    if (m_env.bus)
        m_env.bus->einheit_waehlen(Adresse);
    const int li = cb_adressenauswahl.listIndex;
    if (li < 0)
        return 0;
    // An empty entry (an address the axis search did not find) is no unit:
    // nothing may go to the unit selected before.
    const QString st = Adresse.isEmpty() ? QString() : swap(protocol::Status, 0.2, protocol::Rejection::Ignore);
    int result = 0;
    if (!Adresse.isEmpty() && (st.size() == 14 || li == 0)) {
        FlagAuslesen = 1;
        Button_enable();
        result = 1;
        cmd_STOPP_Click();
        swap(QStringLiteral("[0pe]"));
        sh_an_aus.colour = Green;
    } else {
        sh_an_aus.colour = Red;
        Button_Disable();
        cmd_STOPP.enabled = false;
    }
    lb_Fehler.text = QStringLiteral("[0ST]--->") + st;
    return result;
}

void JoystickCore::auslesen(int)
{
    const int axisNo = cb_adressenauswahl.listIndex + i;
    if (!m_env.store || !AxisParameterStore::axisValid(axisNo))
        return;
    AxisParameterStore& store = *m_env.store;
    store.setIndex(axisNo);
    vmax = store.vmax();
    Motfak = store.Motfak();
    if (cb_adressenauswahl.listIndex == 0) {
        FlagAuslesen = 0;
    } else {
        vmin = store.vmin();
        amin = store.amin();
    }
}

QString JoystickCore::passAddress() const
{
    const int position = cb_adressenauswahl.listIndex + i;
    return position >= 0 && position < cb_adressenauswahl.items.size() ? cb_adressenauswahl.items.at(position)
                                                                       : QString();
}

void JoystickCore::Timer2_Timer()
{
    // A box opened inside a pass lets the timer fire again: that tick returns.
    if (m_inTimerTick)
        return;
    const QScopedValueRollback<bool> tickGuard(m_inTimerTick, true);
    for (i = 0; i < Units; ++i) {
        // With the last entry selected there is no second unit.
        if (i > 0 && passAddress().isEmpty())
            break;
        runPass();
    }
    i = 0;
}

void JoystickCore::runPass()
{
    if (sh_an_aus.colour == Green && cb_adressenauswahl.listIndex > 0)
        abfragen();
    else
        flagachsenwechsel = 1;
    requestState();
}

void JoystickCore::abfragen()
{
    const QString unitAddress = passAddress();
    if (unitAddress.isEmpty())
        return;
    if (m_env.bus)
        m_env.bus->einheit_waehlen(unitAddress);
    const QString pa = swap(protocol::Position);
    if (pa == keine_Antwort)
        sh_an_aus.colour = Red;
    // Without a motor factor the pass shows neither position nor joystick.
    if (Motfak == 0 || !std::isfinite(Motfak))
        return;
    const double mm = hex_zu_wert24(pa.mid(5, 8)) / Motfak;
    const double k = 1000 / Motfak;
    const QString maskText = k >= 1      ? QStringLiteral("##0.000")
                             : k >= 0.1  ? QStringLiteral("##0.0000")
                             : k >= 0.01 ? QStringLiteral("##0.00000")
                                         : QStringLiteral("##0.000000");
    const bool usesComma = dezimalkomma();
    lb_POS[std::size_t(i)].text = formatMask(mm, maskText, usesComma) + QStringLiteral(" mm");

    const QString kw = swap(QStringLiteral("[1kw]"));
    const QString J = kw.mid(9, 2);
    const QString V = kw.mid(15, 2);
    int w = int(hex_zu_wert24(J));
    if (w > 127)
        w -= 255;
    const std::size_t u = std::size_t(i);
    lb_Spannung[u].text = J;
    if (w >= -2 && w <= 2) {
        tovih_power[u] = w;
        tovih_neg[u] = tovih_pos[u] = 0;
    } else if (w < -2) {
        tovih_power[u] = tovih_pos[u] = 0;
        tovih_neg[u] = w;
        lb_Vneg[u].text = V;
        lb_Vpos[u].text = QStringLiteral("0");
    } else {
        tovih_power[u] = tovih_neg[u] = 0;
        tovih_pos[u] = w;
        lb_Vneg[u].text = QStringLiteral("0");
        lb_Vpos[u].text = V;
    }
}

void JoystickCore::requestState()
{
    if (FlagAuslesen == 1 || flagsenden == 1 || flagsenden == 2) {
        ++m_sendezaehler;
        if (m_sendezaehler == 2 && flagsenden == 1) {
            flagsenden = 0;
            m_sendezaehler = 0;
        } else if (m_sendezaehler == 3) {
            FlagAuslesen = flagsenden = m_sendezaehler = 0;
        }
    }
    if (FlagAuslesen == 1 && m_unitOk == 1)
        auslesen(0);
    if (flagachsenwechsel == 1) {
        m_unitOk = Initialisierung(cb_adressenauswahl.selected());
        flagachsenwechsel = 0;
    }
    if (flagsenden == 1 || (flagsenden == 2 && m_unitOk == 1))
        senden();
}

void JoystickCore::senden()
{
    const qsizetype closeAt = Befehl.indexOf(QLatin1Char(']'));
    const QString firstPart = closeAt < 0 ? Befehl : Befehl.left(closeAt + 1);
    const QString secondPart = closeAt < 0 ? QString() : Befehl.mid(closeAt + 1);
    antwort = swap(firstPart, firstPart.mid(1, 3) == QLatin1String("0ff") ? 3.0 : 0.0, protocol::Rejection::Show);
    if (secondPart == protocol::Status)
        antwort = swap(secondPart, 0.2, protocol::Rejection::QueryStatus);
    else if (!secondPart.isEmpty())
        antwort = swap(secondPart);
    lb_Fehler.text = Befehl + QStringLiteral("--->") + antwort;
}
