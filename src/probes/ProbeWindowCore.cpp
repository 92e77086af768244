#include "ProbeWindowCore.h"

#include "BusTransport.h"
#include "ControlCenterMath.h"
#include "Format.h"
#include "Guarded.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <QRegularExpression>
#include <QScopedValueRollback>

#include <cmath>

namespace {

// One row per board type (list index of cb_Unitauswahl).
struct Layout
{
    int adressliste;
    std::array<bool, 4> frames;  // Frame1 … Frame4
    bool sampleTime, outputs, interpol0, interpol1, faktor, faktorAI, gitter;
    const QString* gridText;   // nullptr: caption unchanged
    std::optional<bool> ip1000;  // interpolation factors: all eight, or 1, 2 and 4
    bool ikCheck, abgleich;
};

const QString& G = ProbeWindowCore::Gitterkonstante;
const QString& A = ProbeWindowCore::Aufloesung;

const std::array<Layout, 8> Layouts{{
    {0, {true, false, false, false}, true, false, false, false, true, false, false, nullptr, {}, false, true},
    {0, {true, true, true, true}, true, false, false, false, true, false, false, nullptr, {}, false, true},
    {1, {true, true, true, false}, true, false, true, false, true, false, true, &G, true, false, true},
    {1, {true, true, true, false}, true, false, true, false, true, false, true, &A, false, false, true},
    {3, {true, true, false, false}, false, false, true, true, false, false, true, &G, true, false, false},
    {3, {true, true, false, false}, false, false, true, true, false, false, true, &A, false, false, false},
    {2, {true, true, false, false}, true, true, false, false, false, false, false, nullptr, {}, false, true},
    {4, {true, true, true, true}, true, false, false, false, true, true, true, &G, true, true, true},
}};

// Sample-time codes of Option5(0 … 6), 0,75 … 50,0 ms.
const std::array<QString, 7> Abtastcodes{"0010", "0020", "0040", "0080", "0100", "0200", "0400"};
const std::array<QString, 9> Tips{"", "25", "50", "100", "200", "400", "500", "800", "1000"};

QStringList adressen(std::initializer_list<std::pair<int, int>> ranges, int letzte = -1)
{
    QStringList out;
    for (const auto& [von, bis] : ranges)
        for (int a = von; a <= bis; ++a)
            out << hex2(a);
    if (letzte >= 0)
        out << hex2(letzte);
    return out;
}

// No reply in time, or none at all on a closed port.
bool stumm(const QString& antwort)
{
    return antwort == keine_Antwort || antwort.isEmpty();
}

}  // namespace

const QStringList ProbeWindowCore::Typen{"AK1",        "AK4",     "AK2IK1-IP1000", "AK2IK1-422",
                                         "IK2-IP1000", "IK2-422", "ADA2",          "Universal"};

QStringList ProbeWindowCore::adressliste(int element)
{
    switch (element) {
    case 0: return adressen({{0x21, 0x2F}}, 0x20);
    case 1: return adressen({{0x31, 0x3F}}, 0x30);
    case 2: return adressen({{0x41, 0x4F}}, 0x40);
    case 3: return adressen({{0x11, 0x15}, {0x17, 0x1F}}, 0x10);
    case 4: return adressen({{0x11, 0x14}, {0x21, 0x24}, {0x31, 0x34}, {0x41, 0x44}, {0x51, 0x54}});
    default: return {};
    }
}

ProbeWindowCore::ProbeWindowCore(ProbeWindowEnv env) : m_env(std::move(env))
{
    const ProbeWindowEnv defaults;
    if (!m_env.bindInit)
        m_env.bindInit = defaults.bindInit;
    if (!m_env.initBoundTo)
        m_env.initBoundTo = defaults.initBoundTo;
    if (!m_env.unloadInit)
        m_env.unloadInit = defaults.unloadInit;

    cb_Unitauswahl.items = Typen;
    for (int e = 0; e < 5; ++e) {
        cb__Achsenauswahl[std::size_t(e)].items = adressliste(e);
        cb__Achsenauswahl[std::size_t(e)].visible = false;
    }
    aktiv_box.text = QStringLiteral("Messen");
    sh_an_aus.colour = Rot;
    lb_Fehler.text = QStringLiteral("Befehl/Fehler/Antwort");
    for (int i = 0; i < Kanaele; ++i) {
        const auto k = std::size_t(i);
        Check1[k].text = QString::number(i + 1);
        IK_check[k].text = QStringLiteral("IK");
        IK_check[k].visible = false;
        AI_check[k].text = QStringLiteral("AI");
        kanal[k].text = QStringLiteral("-1999,99");
        FaktorA[k].text = QStringLiteral("1");
        cmd_ZaehlerNull[k].text = QStringLiteral(">0<");
    }
    tb_faktor.text = tb_faktorAI.text = QStringLiteral("2560");
    tb_gitter.text = QStringLiteral("10");
    lb_gitter.text = Gitterkonstante;
    for (int n = 1; n <= 8; ++n) {
        wert0[std::size_t(n)].text = wert1[std::size_t(n)].text = QStringLiteral("0%1").arg(n);
        valueTip[std::size_t(n)] = Tips[std::size_t(n)];
    }
    wert0[0].visible = wert1[0].visible = false;
    interpol[0].text = QStringLiteral("Interpolation [ 1 ]");
    interpol[1].text = QStringLiteral("Interpolation [ 2 ]");
    Rahmen1.text = QStringLiteral("SampleTime [ms]");
    const std::array<QString, 7> zeiten{"0,75", "1,50", "3,00", "6,25", "12,5", "25,0", "50,0"};
    for (std::size_t i = 0; i < zeiten.size(); ++i)
        Option5[i].text = zeiten[i];
    for (auto& s : sb_v)
        s = {.value = 0, .min = -2047, .max = 2047, .smallChange = 1, .largeChange = 100};
    Label3[0].text = Label3[1].text = QStringLiteral("0");
    cmd_Abgleich.text = AbgleichNullen;
    for (int i = 1; i <= 8; ++i)
        cb_abgleich.items << QStringLiteral("K%1").arg(i);
    tb_abgleich.text = QStringLiteral("500");
    tb_achse.text = QStringLiteral("2");
    tb_anzahl.text = tb_startposition.text = tb_delta.text = QStringLiteral("0");
    tb_start.text = QStringLiteral("Start");
    lb_messpunkte.text = QStringLiteral("0");
    tb_encoder.text = tb_gear.text = tb_pitch.text = tb_tperiod.text = QStringLiteral("0");
    tb_read.text = QStringLiteral("Read");
    tb_write.text = QStringLiteral("Write");
    cmd_sign.text = QStringLiteral("Sign");
    cmd_status.text = QStringLiteral("Status");
    cmd_version.text = QStringLiteral("Version");
    cmd_Init.text = QStringLiteral("INIT");
    cmd_Init.colour = Hellgrau;
}

// --- helpers ---------------------------------------------------------------------------------

BusTransport& ProbeWindowCore::bus()
{
    return *m_env.bus;
}

bool ProbeWindowCore::komma() const
{
    return m_env.registry && m_env.registry->komma_frage;
}

std::optional<double> ProbeWindowCore::zahl(const QString& text) const
{
    return leitstand::zahlLesen(text, komma());
}

QString ProbeWindowCore::senden(const QString& command, double timeout, int mode)
{
    return bus().senden_empfangen(command, timeout, mode);
}

void ProbeWindowCore::posten(const QString& command)
{
    Befehl = command;
    flagsenden = 1;
}

void ProbeWindowCore::waehle(std::array<kit::Control, 9>& group, int n)
{
    for (std::size_t i = 1; i < group.size(); ++i)
        group[i].checked = int(i) == n;
}

QString ProbeWindowCore::ausgewaehlteAdresse() const
{
    if (Unitindex < 0 || Unitindex >= int(cb__Achsenauswahl.size()))
        return {};
    return cb__Achsenauswahl[std::size_t(Unitindex)].selected();
}

void ProbeWindowCore::setLb_Fehler(const QString& text)
{
    lb_Fehler.text = text;
    if (m_view.show)
        m_view.show();
}

void ProbeWindowCore::setInitButtonColour(quint32 colour)
{
    cmd_Init.colour = colour;
    if (m_view.show)
        m_view.show();
}

// --- window events ---------------------------------------------------------------------------

void ProbeWindowCore::Form_Load()
{
    cb_Unitauswahl.listIndex = AK4;
    cb_Unitauswahl_Click();
    cb_abgleich.listIndex = 0;
}

void ProbeWindowCore::Form_Activate()
{
    if (m_env.registry)
        m_env.registry->CCT_Aktivieren(Tag);
}

void ProbeWindowCore::Form_Unload()
{
    if (m_env.initBoundTo() == std::optional<int>(Tag))
        m_env.unloadInit();
    if (!m_env.registry)
        return;
    Fensterpostfach& reg = *m_env.registry;
    reg.CCT_entfernen(*this);
    if (!reg.CCT.isEmpty())
        reg.CCT_Aktivieren(reg.CCT.numbers().last());
}

// --- board types and layouts -----------------------------------------------------------------

void ProbeWindowCore::setValueTips(bool ip1000)
{
    const std::array<int, 3> n{1, 2, 4};
    const std::array<QString, 3> tips =
        ip1000 ? std::array<QString, 3>{"25", "50", "200"} : std::array<QString, 3>{"1", "2", "4"};
    for (std::size_t i = 0; i < n.size(); ++i)
        valueTip[std::size_t(n[i])] = tips[i];
    for (int k : {3, 5, 6, 7, 8})
        wert0[std::size_t(k)].visible = wert1[std::size_t(k)].visible = ip1000;
}

void ProbeWindowCore::cb_Unitauswahl_Click()
{
    for (auto& liste : cb__Achsenauswahl)
        liste.visible = false;
    for (auto& box : IK_check)
        box.visible = false;
    Breite = NormalWidth;
    sh_an_aus.colour = Rot;
    const int t = typ();
    if (t < 0 || t >= int(Layouts.size()))
        return;
    const Layout& l = Layouts[std::size_t(t)];
    cb__Achsenauswahl[std::size_t(l.adressliste)].visible = true;
    for (std::size_t i = 0; i < l.frames.size(); ++i)
        Frame[i].visible = l.frames[i];
    Rahmen1.visible = l.sampleTime;
    Frame5[0].visible = Frame5[1].visible = l.outputs;
    interpol[0].visible = l.interpol0;
    interpol[1].visible = l.interpol1;
    tb_faktor.visible = l.faktor;
    tb_faktorAI.visible = l.faktorAI;
    tb_gitter.visible = lb_gitter.visible = l.gitter;
    if (l.gridText)
        lb_gitter.text = *l.gridText;
    for (auto& box : IK_check)
        box.visible = l.ikCheck;
    if (l.ip1000)
        setValueTips(*l.ip1000);
    cb_abgleich.visible = cmd_Abgleich.visible = tb_abgleich.visible = l.abgleich;
    if (t == Universal)
        Breite = UniversalWidth;
}

void ProbeWindowCore::cb__Achsenauswahl_Click(int index)
{
    flagachsenwechsel = 1;
    Unitindex = index;
}

// --- read-back of the board's settings ---------------------------------------------------------

int ProbeWindowCore::Initialisierung()
{
    const QScopedValueRollback<int> zyklus(m_zyklus, m_zyklus + 1);
    const int ergebnis = einstellungenLesen();
    if (m_view.show)
        m_view.show();
    return ergebnis;
}

int ProbeWindowCore::einstellungenLesen()
{
    const QString adresse = ausgewaehlteAdresse();
    bus().einheit_waehlen(adresse);
    const QString status = senden(QStringLiteral("[0ST]"), 0.2, 2);
    lb_Fehler.text = QStringLiteral("[0ST]--->") + status;
    Caption = cb_Unitauswahl.selected() + QStringLiteral("   ") + adresse;
    if (status.size() < 3) {
        sh_an_aus.colour = Rot;
        return 0;
    }
    sh_an_aus.colour = Gruen;
    const int t = typ();
    // Reads an interpolation digit (character 7) into its option group.
    const auto interpolation = [this](const QString& command, int element, std::array<kit::Control, 9>& group) {
        const QString antwort = senden(command);
        if (antwort.size() < 7)
            return;
        const QString ziffer = antwort.mid(6, 1);
        Interpolationswert[std::size_t(element)] = ziffer;
        const int n = ziffer.toInt();
        if (n >= 1 && n <= 8)
            waehle(group, n);
    };
    {
        EreignissperreGuard sperre(bus());
        if (t == IK2_IP1000 || t == IK2_422) {
            interpolation(QStringLiteral("[1iP]"), 0, wert0);
            interpolation(QStringLiteral("[2iP]"), 1, wert1);
            for (int i = 0; i < 2; ++i) {
                Kanalfreigabe[std::size_t(i)] = 1;
                Check1[std::size_t(i)].checked = true;
            }
        } else {
            const QString zeit = senden(QStringLiteral("[0fP]"));
            for (std::size_t i = 0; i < Abtastcodes.size(); ++i)
                if (zeit == QStringLiteral("[0fP!") + Abtastcodes[i] + QLatin1Char(']'))
                    for (std::size_t j = 0; j < Option5.size(); ++j)
                        Option5[j].checked = i == j;
            const QString maske = senden(QStringLiteral("[0k1]"));
            for (int i = 0; i < Kanaele; ++i) {
                const auto k = std::size_t(i);
                if (maske.mid(5 + i, 1) == QLatin1String("1"))
                    Kanalfreigabe[k] = 1;
                if (Kanalfreigabe[k] == 1)
                    Check1[k].checked = true;
            }
        }
    }
    if (t == AK2IK1_IP1000 || t == AK2IK1_422) {
        EreignissperreGuard sperre(bus());
        interpolation(QStringLiteral("[3iP]"), 0, wert0);
    }
    return 1;
}

// --- live read-out ---------------------------------------------------------------------------

bool ProbeWindowCore::kanalAnzeigen(int i, const QString& antwort, int stelle, bool skala, const QString& maske)
{
    const auto k = std::size_t(i);
    // A factor or grating of 0 shows 0 less the zero offset, but that is no
    // reading of the channel.
    const auto faktorA = zahl(FaktorA[k].text);
    if (!faktorA)
        return false;
    const QString feld = antwort.mid(stelle, 6);
    const double zaehler = hex_zu_wert24(feld);
    // A channel the board did not send reads as 0; that is shown, but it is
    // no reading to calibrate by.
    static const QRegularExpression sixHexDigits(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    const bool vollstaendig = sixHexDigits.match(feld).hasMatch() && *faktorA != 0;
    if (skala) {
        const auto gitter = zahl(tb_gitter.text);
        if (!gitter)
            return false;
        Messwert[k] = zaehler;
        kanal[k].text = formatMask(*gitter * (*faktorA * Messwert[k]) - Nullpunkt[k], maske, komma());
        return vollstaendig && *gitter != 0;
    }
    const auto faktor = zahl(AI_check[k].checked ? tb_faktorAI.text : tb_faktor.text);
    if (!faktor || *faktor == 0)
        return false;
    Messwert[k] = zaehler / *faktor;
    kanal[k].text = formatMask(*faktorA * Messwert[k] - Nullpunkt[k], maske, komma());
    return vollstaendig;
}

int ProbeWindowCore::Aktualisieren()
{
    if (sh_an_aus.colour != Gruen)
        return 0;
    const QScopedValueRollback<int> zyklus(m_zyklus, m_zyklus + 1);
    int ergebnis = 0;
    kit::guarded("frm_AKIK Aktualisieren", [this, &ergebnis] {
        m_abgelesen.fill(false);
        bus().einheit_waehlen(ausgewaehlteAdresse());
        const int t = typ();
        if (t == IK2_IP1000 || t == IK2_422) {
            for (int i = 0; i < 2; ++i) {
                const QString antwort = senden(QStringLiteral("[%1PA]").arg(i + 1));
                if (stumm(antwort)) {
                    // Silence: the lamp turns red and the box keeps its last reading.
                    sh_an_aus.colour = Rot;
                    ergebnis = 0;
                    continue;
                }
                ergebnis = 1;
                if (Check1[std::size_t(i)].checked)
                    m_abgelesen[std::size_t(i)] = kanalAnzeigen(i, antwort, 5, true, QStringLiteral("##0.000"));
            }
        } else if (t >= 0) {
            const QString antwort = senden(QStringLiteral("[0M1]"));
            if (stumm(antwort)) {
                sh_an_aus.colour = Rot;
            } else {
                ergebnis = 1;
                const bool mischkarte = t == AK2IK1_IP1000 || t == AK2IK1_422;
                for (int i = 0; i < Kanaele; ++i) {
                    const auto k = std::size_t(i);
                    if (!Check1[k].checked)
                        continue;
                    const bool skala = IK_check[k].checked || (i == 2 && mischkarte);
                    m_abgelesen[k] = kanalAnzeigen(i, antwort, 7 * i + 5, skala,
                                                   skala ? QStringLiteral("##0") : QStringLiteral("##0.00"));
                }
            }
        }
        dynamischeMessung();
        if (flagsystem_write == 1)
            writeSystem();
        if (flagsystem_read == 1)
            readSystem();
    });
    if (m_view.show)
        m_view.show();
    return ergebnis;
}

void ProbeWindowCore::dynamischeMessung()
{
    const QString a = achse();
    if (flagdynm == 1) {
        const QString antwort =
            senden(QStringLiteral("[") + a + QStringLiteral("DPOS") + tb_anzahl.text + QLatin1Char(',') +
                   tb_startposition.text + QLatin1Char(',') + tb_delta.text + QLatin1Char(']'));
        QString nummer = antwort.mid(6, 10);
        // "?" marks a rejection, "!" the bus's acceptance: only a rejection
        // or an error number other than 0 is an error.
        const bool abgelehnt = nummer.contains(QLatin1Char('?'));
        nummer.remove(QLatin1Char(']')).remove(QLatin1Char('?')).remove(QLatin1Char('!'));
        bool ok = false;
        const double wert = nummer.toDouble(&ok);
        if (abgelehnt || (ok && wert != 0)) {
            tb_start.colour = Knopfflaeche;
            tb_start.checked = false;
            // The board refused: nothing runs, so nothing is polled.
            flagdynm = 0;
            m_env.ui->message(QStringLiteral("Error!! Number:") + nummer, QStringLiteral("Fehler"), MsgButtons::Ok);
            return;
        }
        flagdynm = 2;
    } else if (flagdynm == 2) {
        QString punkte = senden(QStringLiteral("[") + a + QStringLiteral("Dp]")).mid(5, 10);
        punkte.remove(QLatin1Char(']'));
        lb_messpunkte.text = punkte;
        if (punkte == tb_anzahl.text) {
            tb_start.colour = Knopfflaeche;
            tb_start.checked = false;
            tb_start_Click();
            if (flagdynm == 2)
                flagdynm = 0;
        }
    } else if (flagdynm == 3) {
        // The stop goes out once.
        senden(QStringLiteral("[1BR]"));
        flagdynm = 0;
    }
}

void ProbeWindowCore::writeSystem()
{
    const QString a = achse();
    senden(QStringLiteral("[") + a + QStringLiteral("RES") + tb_encoder.text + QLatin1Char(']'));
    senden(QStringLiteral("[") + a + QStringLiteral("GEA") + tb_gear.text + QLatin1Char(']'));
    // Numbers on the bus use "." whatever the locale.
    if (const auto pitch = zahl(tb_pitch.text))
        senden(QStringLiteral("[") + a + QStringLiteral("PIT") + leitstand::numberText(*pitch * 1000, false) +
               QLatin1Char(']'));
    senden(QStringLiteral("[") + a + QStringLiteral("TPR") + tb_tperiod.text + QLatin1Char(']'));
    flagsystem_write = 0;
}

void ProbeWindowCore::readSystem()
{
    const QString a = achse();
    const auto lesen = [this, &a](const char* befehl) {
        QString wert = senden(QStringLiteral("[") + a + QLatin1String(befehl) + QLatin1Char(']')).mid(6, 10);
        return wert.remove(QLatin1Char(']'));
    };
    tb_encoder.text = lesen("rES");
    tb_gear.text = lesen("gEA");
    bool ok = false;
    const double pitch = lesen("pIT").toDouble(&ok);
    if (ok)
        tb_pitch.text = leitstand::numberText(pitch / 1000, komma());
    tb_tperiod.text = lesen("tPR");
    flagsystem_read = 0;
}

// --- calibration -------------------------------------------------------------------------------

void ProbeWindowCore::Abgleich()
{
    const QScopedValueRollback<int> zyklus(m_zyklus, m_zyklus + 1);
    kit::guarded("frm_AKIK Abgleich", [this] {
        const int n = cb_abgleich.listIndex;
        const QString eintrag = cb_abgleich.selected();
        if (eintrag.isEmpty())
            return;
        const int d = eintrag.right(1).toInt();
        if (d < 1 || d > Kanaele)
            return;
        const QString c = QString::number(n + 1);
        // A step that reads the channel needs a fresh reading of that channel:
        // a box that was not refreshed (channel off, bad factor, silence)
        // would drive the search on a frozen value.
        const bool abgelesen = m_abgelesen[std::size_t(d - 1)];
        m_abgelesen.fill(false);
        bus().einheit_waehlen(ausgewaehlteAdresse());
        const bool liest = cmd_Abgleich.text == AbgleichStart || cmd_Abgleich.text == AbgleichAbbruch;
        if (liest && !abgelesen) {
            // The step waits; the result line says why.
            lb_Fehler.text = abgleichWartegrund(d);
        } else if (cmd_Abgleich.text == AbgleichStart) {
            calibrationOffset(n, d, c);
        } else if (cmd_Abgleich.text == AbgleichNullen) {
            calibrationReset(n, c);
        } else if (cmd_Abgleich.text == AbgleichAbbruch) {
            abgleichVerstaerkung(d, c);
        }
    });
    if (m_view.show)
        m_view.show();
}

QString ProbeWindowCore::abgleichWartegrund(int d) const
{
    const auto k = std::size_t(d - 1);
    const QString kanalText = QStringLiteral("Kanal %1").arg(d);
    const auto gueltig = [this](const QString& text) {
        const auto v = zahl(text);
        return v && *v != 0;
    };
    QString grund;
    if (sh_an_aus.colour != Gruen)
        grund = QStringLiteral("die Karte antwortet nicht");
    else if (!aktiv_box.checked)
        grund = QStringLiteral("\"Messen\" ist aus");
    else if (!Check1[k].checked)
        grund = kanalText + QStringLiteral(" ist nicht angewählt");
    else if (!gueltig(FaktorA[k].text))
        grund = QStringLiteral("der Faktor von ") + kanalText + QStringLiteral(" ist 0 oder keine Zahl");
    else if (!gueltig(tb_gitter.text) &&
             (IK_check[k].checked || (d == 3 && (typ() == AK2IK1_IP1000 || typ() == AK2IK1_422))))
        grund = QStringLiteral("die Gitterkonstante ist 0 oder keine Zahl");
    else if (!gueltig(AI_check[k].checked ? tb_faktorAI.text : tb_faktor.text))
        grund = QStringLiteral("der Umrechnungsfaktor ist 0 oder keine Zahl");
    else
        grund = QStringLiteral("kein neuer Messwert von ") + kanalText;
    return QStringLiteral("Abgleich wartet: ") + grund;
}

void ProbeWindowCore::calibrationReset(int n, const QString& c)
{
    Nullpunkt[std::size_t(n)] = 0;
    for (const char* befehl : {"SO000000", "SP800000", "SM800000", "SW", "SR"})
        senden(QStringLiteral("[") + c + QLatin1String(befehl) + QLatin1Char(']'));
    cmd_Abgleich.text = AbgleichStart;
}

void ProbeWindowCore::calibrationOffset(int n, int d, const QString& c)
{
    const auto f = zahl(AI_check[std::size_t(n)].checked ? tb_faktorAI.text : tb_faktor.text);
    const auto v = zahl(kanal[std::size_t(d - 1)].text);
    if (!f || !v)
        return;
    bool ok = false;
    const QString o = hex8(*v * *f, &ok).right(6);
    if (!ok)
        return;
    senden(QStringLiteral("[") + c + QStringLiteral("SO") + o + QLatin1Char(']'));
    senden(QStringLiteral("[") + c + QStringLiteral("SW]"));
    senden(QStringLiteral("[") + c + QStringLiteral("SR]"));
    cmd_Abgleich.enabled = true;
    Abgleich_P = QStringLiteral("800000");
    Abgleich_Schritt = 400000;
    flagabgleich = 0;
}

void ProbeWindowCore::abgleichVerstaerkung(int d, const QString& c)
{
    const auto ist = zahl(kanal[std::size_t(d - 1)].text);
    const auto t = zahl(tb_abgleich.text);
    if (!ist || !t)
        return;
    Abgleich_Istwert = *ist;
    bool fertig = false;
    // Moves P one step down (richtung 1) or up (2); the search is finished
    // at the first reversal made with step 1.
    const auto schritt = [this, &fertig](int richtung) {
        const double p = hex_zu_wert24(Abgleich_P) + (richtung == 2 ? Abgleich_Schritt : -Abgleich_Schritt);
        Abgleich_P = hex8(p).right(6);
        gainTravel = (Abgleich_Richtung == richtung ? gainTravel : 0) + Abgleich_Schritt;
        const int gegen = richtung == 1 ? 2 : 1;
        if (Abgleich_Schritt == 1 && Abgleich_Richtung == gegen)
            fertig = true;
        if (Abgleich_Richtung == gegen)
            Abgleich_Schritt /= 4;
        if (Abgleich_Schritt < 1)
            Abgleich_Schritt = 1;
        Abgleich_Richtung = richtung;
    };
    if (*t < Abgleich_Istwert)
        schritt(1);
    else if (*t > Abgleich_Istwert)
        schritt(2);
    senden(QStringLiteral("[") + c + QStringLiteral("SP") + Abgleich_P + QLatin1Char(']'));
    senden(QStringLiteral("[") + c + QStringLiteral("SW]"));
    if (fertig)
        abgleichEnde(c);
    senden(QStringLiteral("[") + c + QStringLiteral("SR]"));
    if (!fertig && gainTravel >= GainTurn) {
        // The search would go round the register for ever: it stops as a
        // cancel does, with the registers as last written and nothing burned.
        cmd_Abgleich.text = AbgleichNullen;
        flagabgleich = 0;
        cmd_Abgleich.enabled = true;
        lb_Fehler.text = GainNotFollowedMessage;
    }
}

void ProbeWindowCore::abgleichEnde(const QString& c)
{
    // The final positive gain is in use (written just before); the negative
    // one follows, and both are burned together.
    cmd_Abgleich.text = AbgleichNullen;
    flagabgleich = 0;
    // P as an unsigned 24-bit number; the register reads back signed, so the
    // value is wrapped in a wide integer first.
    const qint64 p = qint64(hex_zu_wert24(Abgleich_P)) & 0xFFFFFF;
    const QString m = QString::number((0x1000000 - p) & 0xFFFFFF, 16).toUpper().rightJustified(6, QLatin1Char('0'));
    senden(QStringLiteral("[") + c + QStringLiteral("SM") + m + QLatin1Char(']'));
    senden(QStringLiteral("[") + c + QStringLiteral("SW]"));
    senden(QStringLiteral("[0ff0") + c + QLatin1Char(']'), 3.0);
    cmd_Abgleich.enabled = true;
}

void ProbeWindowCore::cmd_Abgleich_Click()
{
    flagabgleich = 1;
    if (cmd_Abgleich.text == AbgleichStart) {
        cmd_Abgleich.text = AbgleichAbbruch;
        gainTravel = 0;
    } else if (cmd_Abgleich.text == AbgleichAbbruch) {
        cmd_Abgleich.text = AbgleichNullen;
        flagabgleich = 0;
    }
}

void ProbeWindowCore::cmd_Abgleich_MouseUp(int button)
{
    if (button != 2)
        return;
    cmd_Abgleich.text = AbgleichNullen;
    flagabgleich = 0;
}

// --- commands and inputs -----------------------------------------------------------------------

void ProbeWindowCore::Check1_Click(int index)
{
    if (bus().Ereignissperre != 0 || index < 0 || index >= Kanaele)
        return;
    Kanalfreigabe[std::size_t(index)] = Check1[std::size_t(index)].checked ? 1 : 0;
    int flags = 0;
    switch (typ()) {
    case AK1: flags = 1; break;
    case AK4:
    case AK2IK1_IP1000:
    case AK2IK1_422: flags = 4; break;
    case ADA2: flags = 2; break;
    case Universal: flags = 8; break;
    default: return;
    }
    QString maske;
    for (int i = 0; i < flags; ++i)
        maske += Kanalfreigabe[std::size_t(i)] == 1 ? QLatin1Char('1') : QLatin1Char('0');
    posten(QStringLiteral("[0K1") + maske + QLatin1Char(']'));
}

void ProbeWindowCore::cmd_ZaehlerNull_Click(int index)
{
    if (index < 0 || index >= Kanaele)
        return;
    const auto k = std::size_t(index);
    const int t = typ();
    if (t == IK2_IP1000 || t == IK2_422) {
        // An IK2 board has two counters.
        if (index > 1)
            return;
        Nullpunkt[k] = 0;
        posten(QStringLiteral("[%1PR]").arg(index + 1));
        return;
    }
    if ((t == AK2IK1_IP1000 || t == AK2IK1_422) && index == 2) {
        Nullpunkt[2] = 0;
        posten(QStringLiteral("[3PR]"));
        return;
    }
    // The channel's unzeroed value as the read-out computes it; a factor that
    // is not a number leaves the zero as it is.
    const auto faktorA = zahl(FaktorA[k].text);
    if (!faktorA)
        return;
    double wert = *faktorA * Messwert[k];
    if (IK_check[k].checked) {
        const auto gitter = zahl(tb_gitter.text);
        if (!gitter)
            return;
        wert *= *gitter;
    }
    Nullpunkt[k] = wert;
}

void ProbeWindowCore::cmd_ZaehlerNull_MouseUp(int index, int button)
{
    if (button == 2 && index >= 0 && index < Kanaele)
        Nullpunkt[std::size_t(index)] = 0;
}

void ProbeWindowCore::cmd_sign_Click()
{
    posten(QStringLiteral("[0PL]"));
}

void ProbeWindowCore::cmd_status_Click()
{
    posten(QStringLiteral("[0ST]"));
}

void ProbeWindowCore::cmd_version_Click()
{
    posten(QStringLiteral("[0VN]"));
}

void ProbeWindowCore::cmd_Init_Click()
{
    m_env.bindInit(Tag);
}

void ProbeWindowCore::Option5_MouseDown(int index)
{
    if (bus().Ereignissperre != 0 || index < 0 || index >= int(Abtastcodes.size()))
        return;
    posten(QStringLiteral("[0FP") + Abtastcodes[std::size_t(index)] + QLatin1Char(']'));
}

void ProbeWindowCore::sb_v_Change(int index)
{
    if (index != 3 && index != 4)
        return;
    const auto k = std::size_t(index - 3);
    const int v = sb_v[k].value;
    Label3[k].text = formatMask(v / 204.7, QStringLiteral("##0.000"), komma());
    posten(QStringLiteral("[%1DA").arg(index) + hex8(v).right(4) + QLatin1Char(']'));
}

void ProbeWindowCore::wert0_Click(int index)
{
    if (bus().Ereignissperre != 0 || index < 1 || index > 8)
        return;
    const int t = typ();
    const QString digit = t == AK2IK1_IP1000 || t == AK2IK1_422 ? QStringLiteral("3") : QStringLiteral("1");
    posten(QStringLiteral("[") + digit + QStringLiteral("IP") + wert0[std::size_t(index)].text + QLatin1Char(']'));
    Interpolationswert[0] = QString::number(index);
}

void ProbeWindowCore::wert1_Click(int index)
{
    if (bus().Ereignissperre != 0 || index < 1 || index > 8)
        return;
    posten(QStringLiteral("[2IP") + wert1[std::size_t(index)].text + QLatin1Char(']'));
    Interpolationswert[1] = QString::number(index);
}

void ProbeWindowCore::tb_read_Click()
{
    flagsystem_read = 1;
}

void ProbeWindowCore::tb_write_Click()
{
    flagsystem_write = 1;
}

void ProbeWindowCore::tb_start_Click()
{
    if (tb_start.checked) {
        tb_start.colour = Gruen;
        flagdynm = 1;
    } else {
        tb_start.colour = Knopfflaeche;
        if (flagdynm == 2)
            flagdynm = 3;
    }
}
