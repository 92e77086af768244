#include "JoystickCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Format.h"
#include "globale_Funktionen.h"

#include <QScopedValueRollback>

#include <cmath>

JoystickCore::JoystickCore(JoystickEnv env) : m_env(std::move(env))
{
    if (!m_env.verlassen)
        m_env.verlassen = [] {};
    sh_an_aus.colour = Rot;
    lb_Fehler.text = QStringLiteral("Befehl/Fehler/Antwort");
    for (kit::Control& l : lb_POS)
        l.text = QStringLiteral("off");
}

QString JoystickCore::tauschen(const QString& befehl, double zeit, int mode)
{
    return m_env.bus ? m_env.bus->senden_empfangen(befehl, zeit, mode) : QString();
}

void JoystickCore::Form_Load()
{
    cb_adressenauswahl.clear();
    for (int n = 0; n <= 30; ++n)
        cb_adressenauswahl.addItem(hex2(n));
}

void JoystickCore::adressenFuellen(const QStringList& entries)
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
        for (int k = 0; k < Einheiten && li + k < cb_adressenauswahl.items.size(); ++k) {
            const QString adresse = cb_adressenauswahl.items.at(li + k);
            if (adresse.isEmpty())
                continue;
            if (m_env.bus)
                m_env.bus->einheit_waehlen(adresse);
            tauschen(QStringLiteral("[1BR]"));
            tauschen(QStringLiteral("[1CS]"));
        }
    }
    flagsenden = 0;
    m_env.verlassen();
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
    const QString st = Adresse.isEmpty() ? QString() : tauschen(QStringLiteral("[0ST]"), 0.2, 2);
    int result = 0;
    if (!Adresse.isEmpty() && (st.size() == 14 || li == 0)) {
        FlagAuslesen = 1;
        Button_enable();
        result = 1;
        cmd_STOPP_Click();
        tauschen(QStringLiteral("[0pe]"));
        sh_an_aus.colour = Gruen;
    } else {
        sh_an_aus.colour = Rot;
        Button_Disable();
        cmd_STOPP.enabled = false;
    }
    lb_Fehler.text = QStringLiteral("[0ST]--->") + st;
    return result;
}

void JoystickCore::auslesen(int)
{
    const int achse = cb_adressenauswahl.listIndex + i;
    if (!m_env.store || !AxisParameterStore::achseGueltig(achse))
        return;
    AxisParameterStore& store = *m_env.store;
    store.setIndex(achse);
    vmax = store.vmax();
    Motfak = store.Motfak();
    if (cb_adressenauswahl.listIndex == 0) {
        FlagAuslesen = 0;
    } else {
        vmin = store.vmin();
        amin = store.amin();
    }
}

QString JoystickCore::adresseDesDurchlaufs() const
{
    const int position = cb_adressenauswahl.listIndex + i;
    return position >= 0 && position < cb_adressenauswahl.items.size() ? cb_adressenauswahl.items.at(position)
                                                                       : QString();
}

void JoystickCore::Timer2_Timer()
{
    // A box opened inside a pass lets the timer fire again: that tick returns.
    if (m_imTakt)
        return;
    const QScopedValueRollback<bool> takt(m_imTakt, true);
    for (i = 0; i < Einheiten; ++i) {
        // With the last entry selected there is no second unit.
        if (i > 0 && adresseDesDurchlaufs().isEmpty())
            break;
        durchlauf();
    }
    i = 0;
}

void JoystickCore::durchlauf()
{
    if (sh_an_aus.colour == Gruen && cb_adressenauswahl.listIndex > 0)
        abfragen();
    else
        flagachsenwechsel = 1;
    anfragen();
}

void JoystickCore::abfragen()
{
    const QString adresse = adresseDesDurchlaufs();
    if (adresse.isEmpty())
        return;
    if (m_env.bus)
        m_env.bus->einheit_waehlen(adresse);
    const QString pa = tauschen(QStringLiteral("[1PA]"));
    if (pa == keine_Antwort)
        sh_an_aus.colour = Rot;
    // Without a motor factor the pass shows neither position nor joystick.
    if (Motfak == 0 || !std::isfinite(Motfak))
        return;
    const double mm = hex_zu_wert24(pa.mid(5, 8)) / Motfak;
    const double k = 1000 / Motfak;
    const QString maske = k >= 1      ? QStringLiteral("##0.000")
                          : k >= 0.1  ? QStringLiteral("##0.0000")
                          : k >= 0.01 ? QStringLiteral("##0.00000")
                                      : QStringLiteral("##0.000000");
    const bool komma = dezimalkomma();
    lb_POS[std::size_t(i)].text = formatMask(mm, maske, komma) + QStringLiteral(" mm");

    const QString kw = tauschen(QStringLiteral("[1kw]"));
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

void JoystickCore::anfragen()
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
    if (FlagAuslesen == 1 && m_einheitOk == 1)
        auslesen(0);
    if (flagachsenwechsel == 1) {
        m_einheitOk = Initialisierung(cb_adressenauswahl.selected());
        flagachsenwechsel = 0;
    }
    if (flagsenden == 1 || (flagsenden == 2 && m_einheitOk == 1))
        senden();
}

void JoystickCore::senden()
{
    const qsizetype ende = Befehl.indexOf(QLatin1Char(']'));
    const QString erster = ende < 0 ? Befehl : Befehl.left(ende + 1);
    const QString zweiter = ende < 0 ? QString() : Befehl.mid(ende + 1);
    antwort = tauschen(erster, erster.mid(1, 3) == QLatin1String("0ff") ? 3.0 : 0.0, 0);
    if (zweiter == QLatin1String("[0ST]"))
        antwort = tauschen(zweiter, 0.2, 1);
    else if (!zweiter.isEmpty())
        antwort = tauschen(zweiter);
    lb_Fehler.text = Befehl + QStringLiteral("--->") + antwort;
}
