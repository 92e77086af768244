#include "DownloadCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Format.h"
#include "ParamsContext.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <cmath>

namespace {
constexpr double Grenze24 = 8388607;
const QString Bitte = QStringLiteral("??");
const QStringList Baudraten{QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                            QStringLiteral("57600"), QStringLiteral("115200")};

bool isHex(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!(c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    return true;
}

bool angenommen(const QString& reply)
{
    return reply.size() >= 6 && reply.at(4) == QLatin1Char('!');
}
}  // namespace

const std::array<DownloadCore::Zeile, DownloadCore::Zeilen>& DownloadCore::tabelle()
{
    using A = Art;
    static const std::array<Zeile, Zeilen> t{{
        {"[1dP]", "[1DP00000000]", A::Strecke, "Different", "deltaposition", ""},
        {"[1pS]", "[1PS00000000]", A::Strecke, "Different", "trailing distance", ""},
        {"[1vP]", "[1VP0000]", A::Geschwindigkeit, "Abs. Rel ", "v-->Abs u. Rel", ""},
        {"[1aP]", "[1AP0000]", A::Beschleunigung, "Abs. Rel ", "a-->Abs u. Rel", ""},
        {"[1vE]", "[1VE0000]", A::Geschwindigkeit, "Limit", "v-->Limit", ""},
        {"[1aE]", "[1AE0000]", A::Beschleunigung, "Limit", "a-->Limit", ""},
        {"[1vT]", "[1VT0000]", A::Geschwindigkeit, "Joystick", "v-->Joy", ""},
        {"[1aT]", "[1AT0000]", A::Beschleunigung, "Joystick", "a-->Joy", ""},
        {"[1l5]", "[1L500000000]", A::Position, "Software Limits", "software Limit -", ""},
        {"[1l6]", "[1L600000000]", A::Position, "Software Limits", "software Limit +", ""},
        {"[1dS]", "[1DS00000000]", A::Zaehler, "Different", "superpos-delta", ""},
        {"[1iW]", "[1IW00000000]", A::Position, "Manuell index search", "[1IW] ", "search distance"},
        {"[1iO]", "[1IO00000000]", A::Position, "Manuell index search", "[1IO] ", "Offset"},
        {"[1iP]", "[1IP00000000]", A::Position, "Manuell index search", "[1IP] ", "position counter reset"},
        {"", "", A::Keine, "", "", ""},
        {"", "", A::Keine, "", "", ""},
        {"", "", A::Keine, "", "", ""},
        {"", "", A::Keine, "", "", ""},
        {"", "", A::Keine, "", "", ""},
        {"", "", A::Keine, "", "", ""},
        {"", "", A::Keine, "", "", ""},
        {"[0LL]", "[0LS00000000000000000000]", A::Text, "Kanalkennung", "Kanalkennung RAM", ""},
        {"[0PL]", "[0PS00000000000000000000]", A::Text, "Kanalkennung", "Kanalkennung EEPROM", ""},
    }};
    return t;
}

DownloadCore::DownloadCore(ParamWindowEnv env) : m_env(std::move(env))
{
    // adressliste_fuellen, lesebefehle_setzen, schreibbefehle_setzen
    for (int i = 0; i <= 30; ++i)
        cb_adressenauswahl.addItem(hex2(i));
    for (int i = 0; i <= 31; ++i)
        cb_Adressenwechsel.addItem(hex2(i));
    cb_baudbr.items = Baudraten;
    cb_Adressenwechsel.visible = cb_baudbr.visible = false;
    for (const Zeile& z : tabelle()) {
        Lesebefehle << QString::fromLatin1(z.lesen);
        Schreibbefehle << QString::fromLatin1(z.schreiben);
    }
    for (int i = 0; i < Zeilen; ++i) {
        const bool da = genutzt(i);
        text_download[std::size_t(i)].visible = cb_markierung[std::size_t(i)].visible = da;
        lb_antwort[std::size_t(i)].visible = lb_einheit[std::size_t(i)].visible = da;
    }
    cb_markierung[22].visible = true;  // "Alles markieren"
    cb_markierung[22].text = QStringLiteral("Alles markieren");
    cmd_auslesen.text = QStringLiteral("Readout");
    cmd_download.text = QStringLiteral("Download");
    cmd_EEPROM.text = QStringLiteral("EEPROM");
    cmd_Kanal_EEPROM.text = QStringLiteral("K-EEPROM");
    cmd_Achsenwechsel.text = QStringLiteral("Adresswechsel");
    cmd_baudbr.text = QStringLiteral("Baudrate brennen");
    cmd_KopEin[0].text = QStringLiteral("Copy");
    cmd_KopEin[1].text = QStringLiteral("Paste");
    cmd_KopEin[1].enabled = false;
    cmd_exit.text = QStringLiteral("Exit");
    sh_an_aus.colour = Rot;
    cmd_auslesen.enabled = cmd_download.enabled = cmd_EEPROM.enabled = cmd_Kanal_EEPROM.enabled = false;
    einheitenSetzen();
}

void DownloadCore::setBox(int i, const QString& text)
{
    text_download[std::size_t(i)].text = text;
    m_vorher[std::size_t(i)] = text;
}

QString DownloadCore::kennung(const QString& text) const
{
    QString out;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() <= 0x7E && c != QLatin1Char('[') && c != QLatin1Char(']'))
            out += c;
        if (out.size() == KennungLaenge)
            break;
    }
    return out;
}

bool DownloadCore::keineEinheit() const
{
    const int i = cb_adressenauswahl.listIndex;
    return i >= AxisParameterStore::Achsen || (i > 0 && cb_adressenauswahl.selected().isEmpty());
}

void DownloadCore::takeSnapshot()
{
    AxisParameterStore& store = m_env.params->store();
    store.setIndex(cb_adressenauswahl.listIndex);
    if (!store.indexValid())
        return;
    m_snap.Motfak = store.Motfak();
    m_snap.vmax = store.vmax();
    m_snap.vmin = store.vmin();
    m_snap.amin = store.amin();
    m_snap.drehantrieb = int(std::lround(store.drehantrieb()));
}

void DownloadCore::einheitenSetzen()
{
    const bool dreh = m_snap.drehantrieb == 1;
    for (int i = 0; i < Zeilen; ++i) {
        QString e;
        switch (tabelle()[std::size_t(i)].art) {
        case Art::Geschwindigkeit: e = dreh ? QStringLiteral("U/s") : QStringLiteral("mm/s"); break;
        case Art::Beschleunigung: e = dreh ? QStringLiteral("U/s²") : QStringLiteral("mm/s²"); break;
        case Art::Strecke:
        case Art::Position: e = dreh ? QStringLiteral("Grad") : QStringLiteral("mm"); break;
        case Art::Zaehler: e = QStringLiteral("counts"); break;
        default: break;
        }
        lb_einheit[std::size_t(i)].text = e;
    }
}

std::optional<double> DownloadCore::rohZuAnzeige(int i, double roh) const
{
    double d = roh;
    switch (tabelle()[std::size_t(i)].art) {
    case Art::Geschwindigkeit: d = roh * m_snap.vmin; break;
    case Art::Beschleunigung: d = roh * m_snap.amin; break;
    case Art::Strecke:
    case Art::Position:
        if (m_snap.Motfak == 0)
            return std::nullopt;
        d = roh / m_snap.Motfak;
        if (m_snap.drehantrieb == 1)
            d *= 360;
        break;
    case Art::Zaehler: break;
    default: return std::nullopt;
    }
    if (!std::isfinite(d))
        return std::nullopt;
    return d;
}

std::optional<double> DownloadCore::anzeigeZuRoh(int i, double anzeige) const
{
    double r = anzeige;
    switch (tabelle()[std::size_t(i)].art) {
    case Art::Geschwindigkeit:
        if (m_snap.vmin == 0)
            return std::nullopt;
        r = anzeige / m_snap.vmin;
        break;
    case Art::Beschleunigung:
        if (m_snap.amin == 0)
            return std::nullopt;
        r = anzeige / m_snap.amin;
        break;
    case Art::Strecke:
    case Art::Position:
        r = anzeige * m_snap.Motfak;
        if (m_snap.drehantrieb == 1)
            r /= 360;
        break;
    case Art::Zaehler: break;
    default: return std::nullopt;
    }
    if (!std::isfinite(r))
        return std::nullopt;
    return r;
}

void DownloadCore::wert_anzeigen(int i, double roh)
{
    const auto d = rohZuAnzeige(i, roh);
    if (!d) {
        setBox(i, {});
        m_gezeigt[std::size_t(i)].clear();
        m_roh[std::size_t(i)].reset();
        return;
    }
    const QString text =
        formatMask(*d, i <= 1 ? QStringLiteral("######0.0000") : QStringLiteral("######0.000"), m_env.komma());
    setBox(i, text);
    m_gezeigt[std::size_t(i)] = text;
    m_roh[std::size_t(i)] = roh;
}

void DownloadCore::Form_Activate()
{
    if (m_env.followControlCenter(cb_adressenauswahl))
        cb_adressenauswahl_Click();
    else if (online())
        // While the window was hidden other windows may have selected theirs.
        m_env.bus->einheit_waehlen(cb_adressenauswahl.selected());
}

void DownloadCore::cb_adressenauswahl_Click()
{
    if (cb_adressenauswahl.listIndex < 0)
        return;
    for (int i = 0; i < Zeilen; ++i) {
        lb_antwort[std::size_t(i)].text.clear();
        setBox(i, {});
        cb_markierung[std::size_t(i)].checked = false;
        m_gezeigt[std::size_t(i)].clear();
        m_roh[std::size_t(i)].reset();
    }
    const auto offline = [this] {
        sh_an_aus.colour = Rot;
        Button_Disable();
        cmd_exit.enabled = true;
    };
    if (keineEinheit()) {
        offline();
        return;
    }
    m_env.bus->einheit_waehlen(cb_adressenauswahl.selected());
    if (cb_adressenauswahl.listIndex <= 0) {
        // The first entry reaches every unit: nothing may be read or written.
        offline();
        return;
    }
    if (m_env.senden(QStringLiteral("[0ST]"), 0.2).size() == 14) {
        sh_an_aus.colour = Gruen;
        Button_enable();
        cmd_auslesen_Click();
        cmd_Kanal_EEPROM.text = QStringLiteral("K-EEPROM");
        cmd_EEPROM.text = QStringLiteral("EEPROM");
    } else {
        offline();
    }
}

void DownloadCore::cmd_auslesen_Click()
{
    takeSnapshot();
    einheitenSetzen();
    if (!online())
        return;
    for (int i = 0; i < Zeilen; ++i) {
        const QString befehl = Lesebefehle.value(i);
        if (befehl.isEmpty())
            continue;
        const QString reply = m_env.senden(befehl, 0.1);
        lb_antwort[std::size_t(i)].text = reply;
        if (tabelle()[std::size_t(i)].art == Art::Text) {
            if (!angenommen(reply) || reply.size() != 26) {
                setBox(i, {});
                continue;
            }
            QString wert = reply.mid(5, KennungLaenge);
            while (wert.endsWith(QLatin1Char(' ')))
                wert.chop(1);
            if (!wert.isEmpty())
                setBox(i, kennung(wert));
            continue;
        }
        const int stellen = Schreibbefehle.value(i).size() - 5;
        const QString daten = reply.mid(5, stellen);
        if (!angenommen(reply) || reply.size() != stellen + 6 || daten.size() != stellen || !isHex(daten)) {
            wert_anzeigen(i, std::nan(""));  // a failed read leaves the box empty
            continue;
        }
        wert_anzeigen(i, hex_zu_wert24(daten));
    }
}

void DownloadCore::text_download_Change(int i)
{
    if (tabelle()[std::size_t(i)].art == Art::Text)
        text_download[std::size_t(i)].text = kennung(text_download[std::size_t(i)].text);
}

void DownloadCore::text_download_LostFocus(int i)
{
    kit::Control& box = text_download[std::size_t(i)];
    const Art art = tabelle()[std::size_t(i)].art;
    if (art == Art::Keine)
        return;
    if (art == Art::Text) {
        setBox(i, kennung(box.text));
        return;
    }
    // A value as read or written stays as it is.
    if (!box.text.isEmpty() && box.text == m_gezeigt[std::size_t(i)])
        return;
    const bool komma = m_env.komma();
    const double faktor = m_snap.drehantrieb == 1 ? 360.0 : 1.0;
    std::optional<double> unten, oben;
    double leer = 1;
    switch (art) {
    case Art::Geschwindigkeit:
        leer = m_snap.vmin;
        unten = m_snap.vmin;
        oben = m_snap.vmax;
        break;
    case Art::Beschleunigung:
        leer = m_snap.amin;
        unten = m_snap.amin;
        oben = 10000;
        break;
    case Art::Position:
        if (m_snap.Motfak != 0) {
            unten = -(Grenze24 - 1) / m_snap.Motfak * faktor;
            oben = Grenze24 / m_snap.Motfak * faktor;
        }
        break;
    case Art::Strecke:
        if (m_snap.Motfak != 0)
            oben = Grenze24 / m_snap.Motfak * faktor;
        break;
    case Art::Zaehler:
        unten = 1;
        oben = Grenze24;
        break;
    default: break;
    }
    double v = leer;
    if (!box.text.trimmed().isEmpty() && !leseZahl(box.text, komma, v)) {
        box.text = m_vorher[std::size_t(i)];
        return;
    }
    if (unten && v < *unten)
        v = *unten;
    if (oben && v > *oben)
        v = *oben;
    setBox(i, formatMask(v, QStringLiteral("######0.0000"), komma));
}

void DownloadCore::cmd_download_Click()
{
    if (!online())
        return;
    const bool komma = m_env.komma();
    for (int i = 0; i <= 21; ++i) {
        const std::size_t s = std::size_t(i);
        const QString vorlage = Schreibbefehle.value(i);
        if (vorlage.isEmpty() || !cb_markierung[s].checked || !cb_markierung[s].enabled)
            continue;
        QString daten;
        if (vorlage.size() == 25) {
            // An empty identifier is written as 20 blanks: that clears it.
            daten = kennung(text_download[s].text).leftJustified(KennungLaenge, QLatin1Char(' '));
        } else {
            const QString t = text_download[s].text.trimmed();
            if (t.isEmpty()) {
                lb_antwort[s].text = NichtGesendetLeer;
                continue;
            }
            std::optional<double> roh;
            if (t == m_gezeigt[s] && m_roh[s]) {
                roh = m_roh[s];
            } else {
                double anzeige = 0;
                if (!leseZahl(t, komma, anzeige)) {
                    lb_antwort[s].text = NichtGesendetZahl;
                    continue;
                }
                roh = anzeigeZuRoh(i, anzeige);
            }
            const int stellen = vorlage.size() - 5;
            bool ok = false;
            if (roh)
                daten = hexN(*roh, stellen, &ok);
            const double ganz = roh ? std::nearbyint(*roh) : 0;
            const bool passt = ok && daten.size() == stellen &&
                               (stellen == 4 ? ganz >= 0 : (ganz >= -(Grenze24 + 1) && ganz <= Grenze24));
            if (!passt) {
                m_env.ui->message(FeldZuKlein + QString::fromLatin1(tabelle()[s].beschriftung).trimmed(), Caption,
                                  MsgButtons::Ok);
                continue;
            }
        }
        const QString befehl = vorlage.left(4) + daten + QLatin1Char(']');
        Schreibbefehle[i] = befehl;
        lb_antwort[s].text = m_env.senden(befehl, 0.1);
        if (vorlage.size() != 25)
            wert_anzeigen(i, hex_zu_wert24(daten));
    }
}

void DownloadCore::cmd_EEPROM_Click()
{
    if (!online())
        return;
    cmd_EEPROM.text = Bitte;
    Button_Disable();
    cmd_EEPROM.text = m_env.senden(QStringLiteral("[0ff01]"), 5);
    Button_enable();
}

void DownloadCore::cmd_Kanal_EEPROM_Click()
{
    if (!online())
        return;
    cmd_Kanal_EEPROM.text = Bitte;
    const QString t = kennung(text_download[22].text).leftJustified(KennungLaenge, QLatin1Char(' '));
    Schreibbefehle[22] = QStringLiteral("[0PS") + t + QLatin1Char(']');
    lb_antwort[22].text = m_env.senden(Schreibbefehle[22], 0.2);
    Button_Disable();
    const QString reply = m_env.senden(QStringLiteral("[0ff09]"), 2);
    Button_enable();
    cmd_Kanal_EEPROM.text = reply;
}

void DownloadCore::cb_Adressenwechsel_Click()
{
    const int neu = cb_Adressenwechsel.listIndex;
    if (neu < 1 || !online())
        return;
    const QString newText = cb_Adressenwechsel.selected();
    if (neu >= AxisParameterStore::Achsen) {
        m_env.ui->message(NichtVergebbar, TitelAdresse, MsgButtons::Ok);
        return;
    }
    const int alt = cb_adressenauswahl.listIndex;
    const QString altText = cb_adressenauswahl.selected();
    m_env.bus->einheit_waehlen(newText);
    const bool frei = m_env.senden(QStringLiteral("[0ST]"), 0.2) == keine_Antwort;
    MsgResult antwort = MsgResult::No;
    if (!frei)
        m_env.ui->message(Vergeben, TitelAdresse, MsgButtons::Ok);
    else
        antwort = m_env.ui->message(QStringLiteral("Wollen Sie die Achsnummer von ") + altText +
                                        QStringLiteral(" nach ") + newText + QStringLiteral(" vergeben?"),
                                    TitelAdresse, MsgButtons::YesNo, MsgIcon::Question);
    m_env.bus->einheit_waehlen(altText);
    if (!frei || antwort != MsgResult::Yes)
        return;
    if (!angenommen(m_env.senden(QStringLiteral("[0CS") + newText + QLatin1Char(']'), 0.2)))
        return;
    m_env.arrayAchsenAe(newText, neu);
    m_env.arrayAchsenAe(QString(), alt);
    if (neu >= cb_adressenauswahl.items.size())
        return;
    if (cb_adressenauswahl.items.at(neu).isEmpty())
        cb_adressenauswahl.items[neu] = newText;
    cb_adressenauswahl.listIndex = neu;
    cb_adressenauswahl_Click();
    const bool warOnline = online();
    Button_Disable();
    m_env.senden(QStringLiteral("[0ff00]"), 4);
    if (warOnline)
        Button_enable();
    else
        cmd_exit.enabled = true;
}

void DownloadCore::cb_baudbr_Click()
{
    const int k = cb_baudbr.listIndex;
    if (cb_adressenauswahl.listIndex < 1 || !online() || k < 0 || k >= Baudraten.size()) {
        cb_baudbr.listIndex = -1;
        return;
    }
    const QString frage = QStringLiteral("Wollen Sie die Baudrate ") + Baudraten.at(k) + QStringLiteral(" in Achse ") +
                          cb_adressenauswahl.selected() + QStringLiteral(" brennen?");
    if (m_env.ui->message(frage, TitelAdresse, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
        return;
    m_env.senden(QStringLiteral("[0B%1]").arg(k + 1), 0.2);
    m_env.senden(QStringLiteral("[0ff00]"), 4);
}

void DownloadCore::cb_markierung_Click(int i)
{
    if (i != 22)
        return;
    for (int k = 0; k <= 21; ++k)
        if (genutzt(k))
            cb_markierung[std::size_t(k)].checked = cb_markierung[22].checked;
}

void DownloadCore::cmd_KopEin_Click(int index)
{
    if (index == 0) {
        for (int i = 0; i < Zeilen; ++i)
            Kopierpuffer[std::size_t(i)] = text_download[std::size_t(i)].text;
        cmd_KopEin[1].enabled = true;
        return;
    }
    for (int i = 0; i < Zeilen; ++i) {
        const QString& t = Kopierpuffer[std::size_t(i)];
        setBox(i, tabelle()[std::size_t(i)].art == Art::Text ? kennung(t) : t);
    }
}

void DownloadCore::cmd_exit_Click()
{
    m_env.schliessen();
}

void DownloadCore::schliessen()
{
    cmd_EEPROM.text = QStringLiteral("EEPROM");
    cmd_Kanal_EEPROM.text = QStringLiteral("K-EEPROM");
    cb_Adressenwechsel.visible = cb_baudbr.visible = false;
}

void DownloadCore::Button_enable()
{
    for (kit::Control* c : {&cmd_baudbr, &cmd_KopEin[0], &cmd_KopEin[1], &cmd_Achsenwechsel, &cmd_auslesen,
                            &cmd_download, &cmd_EEPROM, &cmd_exit, &cmd_Kanal_EEPROM})
        c->enabled = true;
    for (int i = 0; i <= 13; ++i)
        cb_markierung[std::size_t(i)].enabled = text_download[std::size_t(i)].enabled = true;
}

void DownloadCore::Button_Disable()
{
    for (kit::Control* c : {&cmd_baudbr, &cmd_KopEin[0], &cmd_KopEin[1], &cmd_Achsenwechsel, &cmd_auslesen,
                            &cmd_download, &cmd_EEPROM, &cmd_exit, &cmd_Kanal_EEPROM})
        c->enabled = false;
    for (int i = 0; i <= 13; ++i)
        cb_markierung[std::size_t(i)].enabled = text_download[std::size_t(i)].enabled = false;
}
