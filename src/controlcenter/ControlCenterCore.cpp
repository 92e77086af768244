#include "ControlCenterCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Format.h"
#include "OptionFlags.h"
#include "UiServices.h"
#include "globale_Funktionen.h"
#include "Guarded.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>

using namespace leitstand;

namespace {

// Pixel positions in the travel picture stay well inside an int.
int bildX(double x)
{
    return int(std::clamp(std::round(x), -100000.0, 100000.0));
}
} // namespace

bool ControlCenterCore::unbeantwortet(const QString& reply)
{
    // An empty text is what a closed port returns: no unit answered either.
    return reply == keine_Antwort || reply.isEmpty();
}

ControlCenterEnv ControlCenterEnv::completed() const
{
    ControlCenterEnv env = *this;
    const ControlCenterEnv defaults;
    const auto fill = [](auto& hook, const auto& fallback) {
        if (!hook)
            hook = fallback;
    };
    fill(env.motfaktor_berechnen, defaults.motfaktor_berechnen);
    fill(env.ueberschreiben, defaults.ueberschreiben);
    fill(env.enableAll, defaults.enableAll);
    fill(env.disableAll, defaults.disableAll);
    fill(env.recorder, defaults.recorder);
    fill(env.controlLoop, defaults.controlLoop);
    fill(env.initWindow, defaults.initWindow);
    fill(env.existingInitWindow, defaults.existingInitWindow);
    fill(env.entladen, defaults.entladen);
    fill(env.driftActive, defaults.driftActive);
    fill(env.setDriftmerker, defaults.setDriftmerker);
    fill(env.startDrift, defaults.startDrift);
    return env;
}

ControlCenterCore::ControlCenterCore(ControlCenterEnv env) : m_env(env.completed())
{
    sh_an_aus.colour = Grau;
    lb_POS.text = QStringLiteral("off");
    lb_Fehler.text = QStringLiteral("Befehl/Fehler/Antwort");
    cb_IN.text = QStringLiteral("0IN");
    lb_ESM.colour = lb_ESP.colour = Hellgrau;
    text_SLM.colour = text_SLP.colour = Weiss;
    Label1.text = QStringLiteral("mm/s²");
    Label2.text = QStringLiteral("mm/s");
    sli_v = kit::RangeControl{-32768, -32768, 32767, 1, 10, false};
    sli_a = kit::RangeControl{1, MinRawAcceleration, MaxRawAcceleration, 1, 100, false};
    text_Geschwindigkeit.enabled = text_Beschleunigung.enabled = false;
    const QStringList fahrarten{"Abs", "Rel", "Joystick on/off", "limit"};
    for (int i = 0; i < 4; ++i)
        Fahrart[std::size_t(i)].text = fahrarten.at(i);
    lb_joyart.text = QStringLiteral("Fast");
    lb_joyart.enabled = false;
    ob_Fahrart2[0].text = QStringLiteral("F");
    ob_Fahrart2[1].text = QStringLiteral("S");
    ob_Fahrart2[2].text = QStringLiteral("M");
    cmd_Fahrt[0].text = QStringLiteral("Negativ fahren");
    cmd_Fahrt[1].text = QStringLiteral("Positiv fahren");
    cmd_FahreNull.text = QStringLiteral("Go zero");
    cmd_STOPP.text = QStringLiteral("Stop");
    cmd_ESM.text = QStringLiteral("move limit-");
    cmd_ESP.text = QStringLiteral("move limit +");
    cmd_GX.text = QStringLiteral("Index search +");
    cmd_GY.text = QStringLiteral("Index search -");
    cmd_IndexSuche.text = QStringLiteral("Index search");
    cmd_IndexSuche.colour = Grau;
    lb_indexanzeige.text = QStringLiteral("Index");
    lb_indexanzeige.colour = Grau;
    cmd_ZaehlerNull.text = QStringLiteral("Zero position counter");
    line_schlitten.colour = Grau;
    cmd_status.text = QStringLiteral("Status");
    cmd_version.text = QStringLiteral("Version");
    cmd_versionintern.text = QStringLiteral("Version_Intern");
    cmd_input.text = QStringLiteral("Input");
    cmd_sign.text = QStringLiteral("Sign");
    cmd_eW.text = QStringLiteral("1eW");
    cmd_ControllP.text = QStringLiteral("step response");
    cmd_Init.text = QStringLiteral("INIT");
    cmd_eW.colour = cmd_ControllP.colour = cmd_Init.colour = Hellgrau;
    cb_SchritteE.text = Einheiten.at(0);
}

ControlCenterCore::~ControlCenterCore() = default;

void ControlCenterCore::setView(View view)
{
    m_view = std::move(view);
}

void ControlCenterCore::anzeigen() const
{
    if (m_view.show)
        m_view.show();
}

void ControlCenterCore::fokusStopp() const
{
    if (m_view.focusStop)
        m_view.focusStop();
}

// The main loop's calls: a failing step is logged and skipped, the window
// shows its state and stays usable.
int ControlCenterCore::Initialisierung()
{
    const int result = kit::guarded("Controlcenter Initialisierung", [this] { return initialise(); }, 0);
    anzeigen();
    return result;
}

int ControlCenterCore::Aktualisieren()
{
    const int result = kit::guarded("Controlcenter Aktualisieren", [this] { return update(); }, 0);
    anzeigen();
    return result;
}

void ControlCenterCore::auslesen()
{
    if (!kit::guarded("Controlcenter auslesen", [this] { readOut(); }))
        FlagAuslesen = 0;
    anzeigen();
}

bool ControlCenterCore::komma() const
{
    return m_env.registry ? m_env.registry->komma_frage : dezimalkomma();
}

QString ControlCenterCore::adresse() const
{
    return ausgewaehlteAdresse();
}

bool ControlCenterCore::achseWaehlen() const
{
    if (!m_env.store || cb_adressenauswahl.listIndex < 0 || !AxisParameterStore::achseGueltig(cb_adressenauswahl.listIndex))
        return false;
    m_env.store->setIndex(cb_adressenauswahl.listIndex);
    return true;
}

void ControlCenterCore::zeigeFehler(const QString& text, const QString& title)
{
    anzeigen();
    if (m_env.ui)
        m_env.ui->message(text, title, MsgButtons::Ok, MsgIcon::Exclamation);
}

void ControlCenterCore::posten(const QString& befehl)
{
    Befehl_senden = befehl;
    flagsenden = 1;
}

// --- address list ---------------------------------------------------------------

void ControlCenterCore::setAdressenIndex(int index)
{
    cb_adressenauswahl.listIndex = index >= 0 && index < cb_adressenauswahl.items.size() ? index : -1;
    cb_adressenauswahl_Click();
    anzeigen();
}

void ControlCenterCore::adressenLeeren()
{
    cb_adressenauswahl.clear();
    anzeigen();
}

void ControlCenterCore::adresseAnfuegen(const QString& entry)
{
    cb_adressenauswahl.addItem(entry);
    anzeigen();
}

void ControlCenterCore::setLine_schlitten(int left, quint32 backColor)
{
    line_schlitten_left = left;
    line_schlitten.colour = backColor;
    anzeigen();
}

void ControlCenterCore::cb_adressenauswahl_Click()
{
    lb_indexanzeige.text = QStringLiteral("Index");
    lb_indexanzeige.colour = Grau;
    cmd_IndexSuche.colour = Grau;
    FlagIndexSuche = 0;
    m_indexCounter.reset();
    // A reference run belongs to the unit it started on; its saved values are
    // written back to that unit on the next answered tick.
    FlagGrafikInit = 0;
    Button_Disable();
    flagachsenwechsel = 1;
}

// --- set-up -------------------------------------------------------------------------

void ControlCenterCore::Form_Load()
{
    const bool k = komma();
    text_strecke.items.clear();
    for (QString s : StreckenPunkt) {
        if (k)
            s.replace(QLatin1Char('.'), QLatin1Char(','));
        text_strecke.items << s;
    }
    Fahrart_Waehlen(0);
    cb_SchritteE.listIndex = 0;
    cb_SchritteE.text = Einheiten.at(0);
    text_strecke.text = text_strecke.items.at(0);
    m_letzteStrecke = text_strecke.text;
    // The drive type of the axis; a window without an axis yet starts at "F".
    int typ = 0;
    if (achseWaehlen()) {
        typ = m_env.store->Fahrart();
        if (typ < 0 || typ > 2)
            typ = 0;
    }
    ob_Fahrart2_Click(typ);
    flagsenden = 0;
    Button_Disable();
    anzeigen();
}

int ControlCenterCore::initialise()
{
    const int li = cb_adressenauswahl.listIndex;
    const QString adr = adresse();
    bus().einheit_waehlen(adr);
    if (li < 0) {
        anzeigen();
        return 0;
    }

    int result = 0;
    // An empty entry names no unit; asking would reach whichever unit was
    // selected before.
    const QString st = adr.isEmpty() ? QString() : bus().senden_empfangen(QStringLiteral("[0ST]"), 0.2, 2);
    if (!adr.isEmpty() && (st.size() == 14 || li == 0)) {
        FlagAuslesen = 1;
        flagsenden = 0;
        achseWaehlen();
        if (m_env.options && m_env.options->on(OptionFlags::StartKonfigIM) && st.size() == 14) {
            const QString im = bus().senden_empfangen(QStringLiteral("[1iM]"), 0, 0);
            if (im.startsWith(QLatin1String("[1iM!")))
                m_env.ueberschreiben(im.mid(5, 8), li);
        }
        Button_enable();
        result = 1;
        Antwort_fehlte = 0;
        {
            EreignissperreGuard sperre(bus());
            const QString in = bus().senden_empfangen(QStringLiteral("[0IN]"), 0, 0);
            const Joystick j = joystickOff(in);
            if (j != Joystick::Keiner) {
                Fahrart_Waehlen(2);
                lb_joyart.text = j == Joystick::Schnell ? QStringLiteral("Fast") : QStringLiteral("Slow");
                lb_joyart.enabled = true;
                Fahr_v_a = QStringLiteral("T");
                siebenFahrknoepfe(false);
            } else {
                if (Fahrart[2].checked) {
                    // The previous axis was in joystick mode: this one is
                    // positioned, so its move buttons send absolute moves.
                    Fahrart_Waehlen(0);
                    Fahr_v_a = QStringLiteral("P");
                }
                Fahrart[2].checked = false;
                siebenFahrknoepfe(true);
            }
        }
        bus().senden_empfangen(QStringLiteral("[0pe]"), 0, 0);
        sh_an_aus.colour = Gruen;
    } else {
        sh_an_aus.colour = Rot;
        line_schlitten.colour = CarriageInvalid;
        Button_Disable();
        cmd_STOPP.enabled = false;
    }
    if (!adr.isEmpty())
        lb_Fehler.text = QStringLiteral("[0ST]--->") + st;
    anzeigen();
    return result;
}

void ControlCenterCore::Form_Activate()
{
    if (!m_env.registry)
        return;
    m_env.registry->CC_Aktivieren(Tag);
    if (m_env.registry->frm_eW)
        m_env.registry->frm_eW->CCIndex = Tag;
}

void ControlCenterCore::Form_Unload()
{
    Fensterpostfach* reg = m_env.registry;
    const auto entladen = [this](TrackedWindow* w) {
        if (w)
            m_env.entladen(w);
    };
    if (reg) {
        if (IControlLoopWindow* cp = reg->frm_controlparameter; cp && cp->CCIndex == Tag) {
            entladen(cp);
            if ((cp = reg->frm_controlparameter))
                cp->an_aus = 0;
        }
        if (IRecorder* ew = reg->frm_eW; ew && ew->CCIndex == Tag) {
            entladen(ew);
            if ((ew = reg->frm_eW))
                ew->an_aus = 0;
        }
    }
    if (IInitWindow* iw = m_env.existingInitWindow(); iw && iw->CCIndex == Tag) {
        entladen(iw);
        iw->an_aus = 0;
    }
    // A post would never be sent once the window is gone: an axis that may be
    // moving is stopped now, and the unit the main loop had selected is
    // selected again.
    const QString adr = adresse();
    if (sh_an_aus.colour == Gruen && !adr.isEmpty()) {
        const QString vorher = bus().aktiveEinheit();
        bus().einheit_waehlen(adr);
        bus().senden_empfangen(QStringLiteral("[1BR]"), 0, 0);
        // No tick follows: an interrupted reference run is undone now.
        if (m_referenz.sicherung)
            referenceRestore();
        bus().einheit_waehlen(vorher);
    }
    cmd_STOPP_Click();
    flagsenden = 0;
    if (reg) {
        reg->CC_entfernen(*this);
        if (!reg->CC.isEmpty())
            reg->CC_Aktivieren(reg->CC.at(reg->CC.count() - 1)->Tag);
    }
}

// --- read-out ---------------------------------------------------------------------------

void ControlCenterCore::readOut()
{
    const int li = cb_adressenauswahl.listIndex;
    if (li < 0 || adresse().isEmpty() || !achseWaehlen()) {
        FlagAuslesen = 0;
        return;
    }
    bus().einheit_waehlen(adresse());
    m_env.motfaktor_berechnen();
    AxisParameterStore& store = *m_env.store;
    achseWaehlen();
    vmax = store.vmax();
    vmin = store.vmin();
    amin = store.amin();
    Motorfaktor = store.Motfak();
    drehantrieb = store.drehantrieb() == 1.0 ? 1 : 0;

    if (drehantrieb != 1) {
        Label1.text = QStringLiteral("mm/s²");
        Label2.text = QStringLiteral("mm/s");
        if (cb_SchritteE.listIndex == Grad)
            cb_SchritteE.listIndex = mm;
    } else {
        Label1.text = QStringLiteral("U/s²");
        Label2.text = QStringLiteral("U/s");
        cb_SchritteE.listIndex = Grad;
    }
    cb_SchritteE.text = Einheiten.at(cb_SchritteE.listIndex);

    if (li == 0) {
        FlagAuslesen = 0;
        anzeigen();
        return;
    }

    {
        EreignissperreGuard sperre(bus());
        if (const auto b = geschwindigkeitsbalken(vmax, vmin)) {
            sli_v.max = b->max;
            sli_v.largeChange = b->largeChange;
            sli_v.value = std::min(sli_v.value, sli_v.max);
        } else {
            zeigeFehler(ParameterError, ParameterErrorTitle);
        }
        sli_a.max = MaxRawAcceleration;
        sli_a.largeChange = 100;
    }

    const QString pl = bus().senden_empfangen(QStringLiteral("[0PL]"), 0, 0);
    // Only an accepted reply names the channel; a rejection is no name.
    QString name;
    if (pl.startsWith(QLatin1String("[0PL!"))) {
        name = pl.mid(5, 20);
        if (pl.size() < 26 && name.endsWith(QLatin1Char(']')))
            name.chop(1);
        // A line break from the bus would make every later save fail.
        name.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    }
    Caption = adresse() + QLatin1Char('-') + name;
    if (achseWaehlen())
        store.setAchsenbezeichnung(Caption);

    if (achseWaehlen()) {
        cmd_ESP.enabled = store.Endschalter_Plus() != 0;
        cmd_ESM.enabled = store.Endschalter_minus() != 0;
        cmd_GX.enabled = store.Index_Plus() != 0;
        cmd_GY.enabled = store.Index_Minus() != 0;
        const int typ = store.Fahrart();
        if (typ >= 0 && typ <= 2)
            ob_Fahrart2_Click(typ);
        else
            zeigeFehler(ParameterError, ParameterErrorTitle);
        if (achseWaehlen()) {
            Grenze_plus = store.PositionP();
            Grenze_minus = store.PositionM();
        }
    }
    text_strecke_LostFocus();
    limits_auslesen();
    v_a_auslesen();
    FlagAuslesen = 0;
    anzeigen();
}

void ControlCenterCore::limits_auslesen()
{
    const bool dreh = drehantrieb == 1;
    const bool k = komma();
    const QString l5 = QStringLiteral("[1l5]");
    const QString l6 = QStringLiteral("[1l6]");
    const std::optional<double> counts5 = antwortWert(bus().senden_empfangen(l5, 0, 0), l5, 8);
    if (counts5)
        if (const auto a5 = grenzeAusZaehler(*counts5, Motorfaktor, dreh))
            m_limitTexts[0] = text_SLM.text = formatMask(*a5, Mask::Travel, k);
    const std::optional<double> counts6 = antwortWert(bus().senden_empfangen(l6, 0, 0), l6, 8);
    if (counts6)
        if (const auto a6 = grenzeAusZaehler(*counts6, Motorfaktor, dreh))
            m_limitTexts[1] = text_SLP.text = formatMask(*a6, Mask::Travel, k);
    if (Motorfaktor != 0) {
        lb_ESM.text = formatMask(Grenze_minus / Motorfaktor, Mask::Travel, k);
        lb_ESP.text = formatMask(Grenze_plus / Motorfaktor, Mask::Travel, k);
    }
    if (achseWaehlen()) {
        if (m_env.store->Endschalter_Plus() == 0 && counts6) {
            Grenze_plus = *counts6;
            messtischwegSetzen();
        }
        if (achseWaehlen() && m_env.store->Endschalter_minus() == 0 && counts5) {
            Grenze_minus = *counts5;
            messtischwegSetzen();
        }
    }
    if (line_schlitten.colour == CarriageValid) {
        if (counts6)
            marke(1, *counts6);
        if (counts5)
            marke(0, *counts5);
    }
    if (achseWaehlen()) {
        m_env.store->setPositionM(Grenze_minus);
        m_env.store->setPositionP(Grenze_plus);
    }
    if (Motorfaktor != 0)
        lb_messtischweg.text = formatMask(Messtischweg, Mask::Travel, k);
}

void ControlCenterCore::v_a_auslesen()
{
    const bool k = komma();
    const QString cv = QStringLiteral("[1v") + Fahr_v_a + QLatin1Char(']');
    const std::optional<double> rv = antwortWert(bus().senden_empfangen(cv, 0, 0), cv, 4);
    if (rv && vmin > 0) {
        double v = *rv * vmin;
        if (v > vmax)
            v = vmax;
        {
            EreignissperreGuard sperre(bus());
            if (const auto pos = wholeInt(v / vmin - 32768))
                balkenSetzen(sli_v, *pos, true);
        }
        text_Geschwindigkeit.text = formatMask((sli_v.value + 32768) * vmin, Mask::Speed, k);
    }
    const QString ca = QStringLiteral("[1a") + Fahr_v_a + QLatin1Char(']');
    const std::optional<double> ra = antwortWert(bus().senden_empfangen(ca, 0, 0), ca, 4);
    if (ra && amin > 0) {
        double a = *ra * amin;
        if (a > MaxRawAcceleration)
            a = MaxRawAcceleration;
        {
            EreignissperreGuard sperre(bus());
            if (const auto pos = wholeInt(a / amin))
                balkenSetzen(sli_a, *pos, true);
        }
        text_Beschleunigung.text = formatMask(a, Mask::Acceleration, k);
    }
}

// --- the per-tick cycle ---------------------------------------------------------------

void ControlCenterCore::zeroDisplay()
{
    lb_POS.text = QStringLiteral("off");
    text_Beschleunigung.text = text_Geschwindigkeit.text = QStringLiteral("0");
    text_SLM.text = text_SLP.text = m_limitTexts[0] = m_limitTexts[1] = QStringLiteral("0");
    lb_ESM.text = lb_ESP.text = QStringLiteral("0");
}

int ControlCenterCore::update()
{
    // A modal box inside a cycle lets the timer fire again; that nested call
    // must not talk to the bus between the outer call's exchanges.
    if (m_imZyklus)
        return 0;
    const QScopedValueRollback<bool> inCycle(m_imZyklus, true);

    const int li = cb_adressenauswahl.listIndex;
    const QString adr = adresse();
    int result = 0;
    if (!(sh_an_aus.colour == Gruen && li > 0 && !adr.isEmpty())) {
        if (li == 0)
            bus().einheit_waehlen(adr);
        zeroDisplay();
    } else {
        bus().einheit_waehlen(adr);
        const QString r = bus().senden_empfangen(QStringLiteral("[1PA]"), 0, 0);
        if (!unbeantwortet(r)) {
            result = 1;
            Antwort_fehlte = 0;
        } else {
            if (Antwort_fehlte == 1)
                sh_an_aus.colour = Rot;
            Antwort_fehlte = 1;
        }
        // Only an accepted reply is a position; otherwise the display keeps
        // the last one.
        if (const auto c = antwortWert(r, QStringLiteral("[1PA]"), 8)) {
            m_zaehler = *c;
            m_zaehlerGueltig = true;
            if (const auto p = positionstext(m_zaehler, Motorfaktor, drehantrieb == 1,
                                             m_env.options ? m_env.options->stelleIndex() : 5, komma())) {
                lb_POS.text = p->text;
                Anzeigeaufloesung = p->aufloesung;
                if (drehantrieb != 1 && line_schlitten.colour == CarriageValid) {
                    if (line_schlitten_left > PictureWidth + 10 || line_schlitten_left < -40) {
                        line_schlitten_left = PictureWidth / 2;
                        line_schlitten.colour = CarriageInvalid;
                    } else if (Grafikmassstab != 0) {
                        line_schlitten_left = bildX((m_zaehler - Grenze_minus) / Grafikmassstab + 11);
                    }
                }
            }
        }

        if (FlagEW == 1)
            bus().senden_empfangen(QStringLiteral("[1eW]"), 0, 0);

        if (cb_IN.checked) {
            const QString in = bus().senden_empfangen(QStringLiteral("[0IN]"), 0, 0);
            if (unbeantwortet(in)) {
                cb_IN.checked = false;
                cb_IN_Click();
            }
            const QString zustand = in.mid(6, 2);
            bus().senden_empfangen(QStringLiteral("[0ST]"), 0.2, 2);
            // Unticked just now: the colours were reset and stay so.
            const auto f = cb_IN.checked ? endschalterFarben(zustand) : std::nullopt;
            if (f) {
                lb_ESM.colour = f->minus;
                lb_ESP.colour = f->plus;
            }
            // The limit boxes hold millimetres, or degrees on a rotary axis.
            if (m_zaehlerGueltig && cb_IN.checked)
                if (const auto pos = grenzeAusZaehler(m_zaehler, Motorfaktor, drehantrieb == 1)) {
                    if (const auto p = zahlLesen(text_SLP.text, komma()))
                        text_SLP.colour = *p < *pos ? Dunkelgelb : Weiss;
                    if (const auto m = zahlLesen(text_SLM.text, komma()))
                        text_SLM.colour = *m > *pos ? Dunkelgelb : Weiss;
                }
        }
    }

    if (flagsenden == 1 && (result == 1 || li == 0) && !adr.isEmpty())
        postfachSenden();

    if (result == 1 && flagpollen == 1)
        bewegungsende();

    if (result == 1) {
        if (FlagDauer != 0)
            dauerfahrt(Dauerziel);
        else
            Dauerziel = 1;
        if (FlagIndexSuche == 1)
            index_routine();
        if (FlagZaehlerNullen == 1) {
            ZaehlerNullen();
            FlagZaehlerNullen = 0;
        }
        if (FlagGrafikInit >= 1)
            grafikunterstuetzung();
        else
            Referenzphase = 0.5;
        // A run that was stopped, cancelled or abandoned gives the controller
        // its own speeds and software limits back.
        if (FlagGrafikInit == 0 && m_referenz.sicherung)
            referenceRestore();
    } else {
        Dauerziel = 1;
        Referenzphase = 0.5;
    }
    anzeigen();
    return result;
}

void ControlCenterCore::postfachSenden()
{
    // The post is taken out of the mailbox before it is sent: a post made
    // while this exchange waits (a box opened by a rejection) stays for the
    // next tick instead of being lost.
    const QString post = Befehl_senden;
    flagsenden = 0;
    const Postteile teile = splitPost(post);
    antwort_erhalten = bus().senden_empfangen(teile.erster, erstesZeitlimit(teile.erster), 0);
    if (!teile.zweiter.isEmpty())
        antwort_erhalten = bus().senden_empfangen(teile.zweiter, zweitesZeitlimit(teile.zweiter),
                                                  zweiterModus(teile.zweiter));
    if (antwort_erhalten.mid(4, 1) == QLatin1String(">")) {
        Button_Disable();
        if (m_env.driftActive())
            m_env.setDriftmerker(0);
        if (teile.erster.startsWith(QLatin1String("[1MA")) || teile.erster.startsWith(QLatin1String("[1MR"))) {
            cmd_Fahrt[0].enabled = cmd_Fahrt[1].enabled = cmd_FahreNull.enabled = true;
            for (kit::Control& f : Fahrart)
                f.enabled = true;
        }
        flagpollen = 1;
    }
    lb_Fehler.text = post + QStringLiteral("--->") + antwort_erhalten;
    if (Fehlerzeile_gross == 1)
        fehlerliste_schreiben(1);
    if (teile.zweiter == QLatin1String("[1eS]")) {
        const QString digits = antwort_erhalten.mid(5, 3);
        double v = hex_zu_wert24(digits);
        if (v > 2047)
            v -= 4096;
        antwort_erhalten = QString::number(int(v));
        if (IInitWindow* iw = m_env.existingInitWindow()) {
            iw->setLb_wert(digits);
            iw->setSli_wert(int(v));
        }
    }
}

void ControlCenterCore::bewegungsende()
{
    antwort_erhalten = bus().senden_empfangen(QStringLiteral("[0po]"), 0, 0);
    if (antwort_erhalten == QLatin1String("[0po!]"))
        return;
    // Silence is no end of a motion: the next answered tick asks again.
    if (unbeantwortet(antwort_erhalten))
        return;
    if (m_env.options && m_env.options->on(OptionFlags::MotNeu))
        bus().senden_empfangen(QStringLiteral("[1PE]"), 0, 0);
    lb_Fehler.text = Befehl_senden + QStringLiteral("--->") + antwort_erhalten;
    if (FlagDauer == 0) {
        m_env.enableAll();
        Button_enable();
    }
    flagpollen = 0;
    if (m_env.driftActive()) {
        m_env.setDriftmerker(1);
        const QString r = bus().senden_empfangen(QStringLiteral("[1PA]"), 0, 0);
        m_env.startDrift(hex_zu_wert24(r.mid(5, 8)));
    } else {
        m_env.setDriftmerker(0);
    }
}

void ControlCenterCore::grafikunterstuetzung()
{
    for (const int wert : {1, 2}) {
        if (FlagGrafikInit != wert)
            continue;
        if (Referenzphase == 0.5) {
            anzeigen();
            const MsgResult a = m_env.ui ? m_env.ui->message(wert == 1 ? GrafikFrageFein : GrafikFrageEinfach, GrafikTitel,
                                                             MsgButtons::YesNoCancel, MsgIcon::Question)
                                         : MsgResult::Cancel;
            Grafikantwort = a == MsgResult::Yes ? 6 : a == MsgResult::No ? 7 : 2;
            // Stop pressed while the question was open abandons the request.
            if (FlagGrafikInit != wert) {
                Referenzphase = 0.5;
                return;
            }
        }
        if (Grafikantwort == 6) {
            Identifikationsfahrt(Referenzphase);
        } else if (Grafikantwort == 7) {
            double abbruch = 8;
            Identifikationsfahrt(abbruch);
        } else {
            m_env.enableAll();
            FlagGrafikInit = 0;
            Referenzphase = 0.5;
        }
    }
}

// --- buttons ------------------------------------------------------------------------------

void ControlCenterCore::siebenFahrknoepfe(bool visible)
{
    for (kit::Control* b : {&cmd_Fahrt[0], &cmd_Fahrt[1], &cmd_FahreNull, &cmd_ESM, &cmd_ESP, &cmd_GX, &cmd_GY})
        b->visible = visible;
}

void ControlCenterCore::Button_Disable()
{
    const int li = cb_adressenauswahl.listIndex;
    if (li == 0) {
        text_Beschleunigung.enabled = text_Geschwindigkeit.enabled = false;
        sli_a.enabled = sli_v.enabled = false;
    }
    for (kit::Control* c : {&cmd_ControllP, &cmd_ZaehlerNull, &text_SLP, &text_SLM, &pb_Grafikunterstuetzung,
                             &cmd_IndexSuche, &cmd_ESP, &cmd_ESM, &cmd_GX, &cmd_GY, &cmd_Fahrt[0], &cmd_Fahrt[1],
                             &cmd_FahreNull})
        c->enabled = false;
    text_strecke.enabled = cb_SchritteE.enabled = false;
    for (kit::Control& f : Fahrart)
        f.enabled = false;
}

void ControlCenterCore::Button_enable()
{
    const bool achse = cb_adressenauswahl.listIndex > 0;
    text_Beschleunigung.enabled = text_Geschwindigkeit.enabled = achse;
    sli_a.enabled = sli_v.enabled = achse;
    for (kit::Control* c : {&cmd_ControllP, &cmd_ZaehlerNull, &text_SLP, &text_SLM, &pb_Grafikunterstuetzung,
                             &cmd_IndexSuche})
        c->enabled = achse;
    const bool gewaehlt = achseWaehlen();
    cmd_ESP.enabled = gewaehlt && m_env.store->Endschalter_Plus() != 0;
    cmd_ESM.enabled = gewaehlt && m_env.store->Endschalter_minus() != 0;
    cmd_GX.enabled = gewaehlt && m_env.store->Index_Plus() != 0;
    cmd_GY.enabled = gewaehlt && m_env.store->Index_Minus() != 0;
    for (kit::Control& f : Fahrart)
        f.enabled = true;
    for (kit::Control* c : {&cmd_Fahrt[0], &cmd_Fahrt[1], &cmd_FahreNull, &cmd_STOPP, &fr_Fahrart2})
        c->enabled = true;
    text_strecke.enabled = cb_SchritteE.enabled = true;
}

void ControlCenterCore::cb_IN_Click()
{
    if (cb_IN.checked) {
        cb_IN.colour = Dunkelgelb;
    } else {
        cb_IN.colour = lb_ESM.colour = lb_ESP.colour = Hellgrau;
        text_SLP.colour = text_SLM.colour = Weiss;
    }
}

void ControlCenterCore::lb_Fehler_Click()
{
    if (Fehlerzeile_gross == 0) {
        Fehlerzeile_gross = 1;
        fehlerliste_schreiben(1);
    } else {
        Fehlerzeile_gross = 0;
        fehlerliste_schreiben(2);
    }
}

void ControlCenterCore::fehlerliste_schreiben(int mode)
{
    if (mode == 1) {
        Fehlerzeile_Text = lb_Fehler.text;
        lb_Fehler.text = fehlerzeilen(Fehlerzeile_Text);
    } else if (mode == 2) {
        lb_Fehler.text = Fehlerzeile_Text;
    }
}

// --- moves -----------------------------------------------------------------------------------

void ControlCenterCore::text_strecke_LostFocus()
{
    const std::optional<double> v = zahlLesen(text_strecke.text, komma());
    if (!v) {
        // Not a number: the box shows the last distance that was one.
        if (!m_letzteStrecke.isEmpty())
            text_strecke.text = m_letzteStrecke;
        return;
    }
    m_letzteStrecke = text_strecke.text;
    if (const auto s = streckeInZaehler(*v, cb_SchritteE.listIndex, Motorfaktor))
        Strecke = *s;
}

void ControlCenterCore::cmd_Fahrt_Click(int index)
{
    text_strecke_LostFocus();
    if (Fahrart[3].checked)
        return;
    const QChar letter = Fahrart[0].checked ? QLatin1Char('A') : Fahrart[1].checked ? QLatin1Char('R') : QChar();
    if (letter.isNull())
        return;
    const std::optional<QString> cmd = fahrbefehl(Fahrart2_Kennung, letter, index == 0 ? -Strecke : Strecke);
    if (!cmd) {
        zeigeFehler(BereichFehler);
        return;
    }
    posten(*cmd);
}

void ControlCenterCore::cmd_FahreNull_Click()
{
    posten(QStringLiteral("[1") + Fahrart2_Kennung + QStringLiteral("A00000000]"));
}

void ControlCenterCore::cmd_STOPP_Click()
{
    flagpollen = 0;
    sl_dauer_Change(0);
    FlagGrafikInit = 0;
    posten(QStringLiteral("[1BR]"));
    if (!Fahrart[0].checked && !Fahrart[1].checked)
        Fahrart_Waehlen(0);
    Button_enable();
    m_env.enableAll();
}

void ControlCenterCore::cmd_IndexSuche_MouseUp(int button)
{
    if (button == 1) {
        indexsuche_starten();
    } else if (button == 2 && cmd_IndexSuche.colour == Gruen) {
        // The captured counts themselves: the display may be rounded to
        // fewer digits than the axis resolves.
        std::optional<double> ziel = m_indexCounter;
        if (!ziel)
            if (const std::optional<double> x = zahlLesen(lb_indexanzeige.text, komma()))
                ziel = *x * Motorfaktor;
        if (!ziel)
            return;
        const std::optional<QString> cmd = fahrbefehl(Fahrart2_Kennung, QLatin1Char('A'), *ziel);
        if (!cmd) {
            zeigeFehler(BereichFehler);
            return;
        }
        posten(*cmd);
        m_indexCounter.reset();
        cmd_IndexSuche.colour = lb_indexanzeige.colour = Grau;
        lb_indexanzeige.text = QStringLiteral("Index");
    }
}

void ControlCenterCore::pb_Grafikunterstuetzung_MouseUp(int button)
{
    if (button == 1)
        FlagGrafikInit = 2;
    else if (button == 2)
        FlagGrafikInit = 1;
}

void ControlCenterCore::lb_joyart_Click()
{
    if (!lb_joyart.enabled)
        return;
    if (lb_joyart.text == QLatin1String("Slow")) {
        lb_joyart.text = QStringLiteral("Fast");
        posten(QStringLiteral("[1BR][1CJ]"));
    } else {
        lb_joyart.text = QStringLiteral("Slow");
        posten(QStringLiteral("[1BR][1Cj]"));
    }
    FlagAuslesen = 1;
}

void ControlCenterCore::Fahrart_Waehlen(int index)
{
    if (index < 0 || index > 3)
        return;
    for (int i = 0; i < 4; ++i)
        Fahrart[std::size_t(i)].checked = i == index;
    Fahrart_Click(index);
}

void ControlCenterCore::Fahrart_Click(int index)
{
    lb_joyart.enabled = false;
    if (bus().Ereignissperre == 0) {
        if (index == 0 || index == 1 || index == 3) {
            if (Fahr_v_a == QLatin1String("T"))
                posten(QStringLiteral("[1BR]"));
            Fahr_v_a = index == 3 ? QStringLiteral("E") : QStringLiteral("P");
            siebenFahrknoepfe(true);
        } else if (index == 2) {
            posten(lb_joyart.text == QLatin1String("Slow") ? QStringLiteral("[1Cj]") : QStringLiteral("[1CJ]"));
            lb_joyart.enabled = true;
            Fahr_v_a = QStringLiteral("T");
            siebenFahrknoepfe(false);
        }
    }
    if (flagachsenwechsel == 0)
        FlagAuslesen = 1;
}

void ControlCenterCore::ob_Fahrart2_Click(int index)
{
    if (index < 0 || index > 2)
        return;
    for (int i = 0; i < 3; ++i)
        ob_Fahrart2[std::size_t(i)].checked = i == index;
    Fahrart2_Kennung = ob_Fahrart2[std::size_t(index)].text;
    if (achseWaehlen())
        m_env.store->setFahrart(index);
}

void ControlCenterCore::sl_dauer_Change(int position)
{
    sl_dauer.value = std::clamp(position, 0, 7);
    if (sl_dauer.value == 0) {
        FlagDauer = 0;
        Dauerphase = 0;
    } else {
        FlagDauer = sl_dauer.value;
    }
}

// --- tool windows -----------------------------------------------------------------------------

kit::Control& ControlCenterCore::toolButton(ToolButton which)
{
    return which == ToolButton::Recorder ? cmd_eW : which == ToolButton::ControlLoop ? cmd_ControllP : cmd_Init;
}

void ControlCenterCore::releaseToolButton(ToolButton which)
{
    toolButton(which).colour = Hellgrau;
    anzeigen();
}

void ControlCenterCore::bindToolButton(ToolButton which)
{
    toolButton(which).colour = Gruen;
    anzeigen();
}

void ControlCenterCore::toolWindowTakenFrom(int previous, ToolButton which) const
{
    if (IControlCenter* vorher = m_env.registry ? m_env.registry->CC.item(previous) : nullptr)
        vorher->releaseToolButton(which);
}

void ControlCenterCore::cmd_eW_Click()
{
    if (m_env.options && m_env.options->on(OptionFlags::EWFenster)) {
        IRecorder* ew = m_env.recorder();
        if (!ew)
            return;
        ew->Show();
        ew->SetFocus();
        if (ew->an_aus == 1)
            toolWindowTakenFrom(ew->CCIndex, ToolButton::Recorder);
        ew->CCIndex = Tag;
        return;
    }
    if (FlagEW == 0) {
        FlagEW = 1;
        cmd_eW.colour = Dunkelgelb;
    } else if (FlagEW == 1) {
        FlagEW = 0;
        cmd_eW.colour = Hellgrau;
    }
}

void ControlCenterCore::cmd_ControllP_Click()
{
    IControlLoopWindow* cp = m_env.controlLoop();
    if (!cp)
        return;
    cp->Show();
    if (cp->an_aus == 1)
        toolWindowTakenFrom(cp->CCIndex, ToolButton::ControlLoop);
    cp->an_aus = 0;
    cp->CCIndex = Tag;
    cp->SetFocus();
}

void ControlCenterCore::cmd_Init_Click()
{
    IInitWindow* iw = m_env.initWindow();
    if (!iw)
        return;
    iw->Show();
    iw->setCb_start(false);
    if (iw->an_aus == 1)
        toolWindowTakenFrom(iw->CCIndex, ToolButton::Init);
    iw->an_aus = 0;
    iw->CCIndex = Tag;
    iw->SetFocus();
}

// --- speed, acceleration and software limits ------------------------------------------------------

bool ControlCenterCore::balkenSetzen(kit::RangeControl& bar, int value, bool sperre)
{
    if (value < bar.min || value > bar.max)
        return false;
    if (bar.value == value)
        return true;
    bar.value = value;
    if (!sperre && bus().Ereignissperre == 0) {
        if (&bar == &sli_v)
            sli_v_Change(value);
        else if (&bar == &sli_a)
            sli_a_Change(value);
    }
    return true;
}

void ControlCenterCore::sli_v_Change(int value)
{
    sli_v.value = value;
    if (bus().Ereignissperre == 1)
        return;
    // Raw speed is 16 bits: a position beyond them is not sent.
    const qint64 r = qint64(value) + 32768;
    if (r < 0 || r > MaxRawSpeed)
        return;
    posten(QStringLiteral("[1V") + Fahr_v_a + hex4(double(r)) + QLatin1Char(']'));
    const double v = r * vmin;
    if (v > vmax && vmin > 0)
        sli_v.max = std::max(sli_v.min, value);
    text_Geschwindigkeit.text = formatMask(v, Mask::Speed, komma());
}

void ControlCenterCore::sli_a_Change(int value)
{
    sli_a.value = value;
    if (bus().Ereignissperre == 1)
        return;
    const int r = std::clamp(value, MinRawAcceleration, MaxRawAcceleration);
    posten(QStringLiteral("[1A") + Fahr_v_a + hex4(r) + QLatin1Char(']'));
    const double a = r * amin;
    if (a > MaxRawAcceleration && amin > 0)
        sli_a.max = std::max(sli_a.min, value);
    text_Beschleunigung.text = formatMask(a, Mask::Acceleration, komma());
}

void ControlCenterCore::text_Geschwindigkeit_LostFocus()
{
    const std::optional<double> typed = zahlLesen(text_Geschwindigkeit.text, komma());
    if (!typed && !text_Geschwindigkeit.text.trimmed().isEmpty())
        return;
    const std::optional<Rohwert> w = geschwindigkeitEingabe(typed, vmin, vmax);
    if (!w)
        return;
    posten(QStringLiteral("[1V") + Fahr_v_a + hex4(w->roh) + QLatin1Char(']'));
    text_Geschwindigkeit.text = formatMask(w->wert, Mask::Speed, komma());
    balkenSetzen(sli_v, w->roh - 32768, false);
}

void ControlCenterCore::text_Beschleunigung_LostFocus()
{
    const std::optional<double> typed = zahlLesen(text_Beschleunigung.text, komma());
    if (!typed && !text_Beschleunigung.text.trimmed().isEmpty())
        return;
    const std::optional<Rohwert> w = beschleunigungEingabe(typed, amin);
    if (!w)
        return;
    posten(QStringLiteral("[1A") + Fahr_v_a + hex4(w->roh) + QLatin1Char(']'));
    text_Beschleunigung.text = formatMask(w->wert, Mask::Acceleration, komma());
    balkenSetzen(sli_a, w->roh, false);
}

void ControlCenterCore::messtischwegSetzen()
{
    if (Motorfaktor != 0) {
        Messtischweg = std::fabs(Grenze_plus - Grenze_minus) / Motorfaktor;
        lb_messtischweg.text = formatMask(Messtischweg, Mask::Travel, komma());
    }
    Grafikmassstab = (Grenze_plus - Grenze_minus) / double(PictureWidth - CarriageWidth - 2);
}

void ControlCenterCore::marke(int which, double counts)
{
    if (Grafikmassstab == 0 || which < 0 || which > 1)
        return;
    sh_index_x[std::size_t(which)] = bildX((counts - Grenze_minus) / Grafikmassstab + CarriageWidth / 2.0);
}

void ControlCenterCore::softwareLimit(bool plus)
{
    kit::Control& box = plus ? text_SLP : text_SLM;
    if (box.text.trimmed().isEmpty())
        return;
    const std::optional<double> v = zahlLesen(box.text, komma());
    // Without the motor factor the limit cannot be turned into counts.
    if (!v || Motorfaktor == 0)
        return;
    const double counts = grenzeInZaehler(*v, Motorfaktor, drehantrieb == 1);
    bool ok = false;
    const QString arg = hex8(counts, &ok);
    if (!ok || !imZaehlbereich(aufGanzzahl(counts))) {
        zeigeFehler(BereichFehler);
        box.text = m_limitTexts[plus ? 1 : 0];
        return;
    }
    m_limitTexts[plus ? 1 : 0] = box.text;
    posten((plus ? QStringLiteral("[1L6") : QStringLiteral("[1L5")) + arg + QLatin1Char(']'));
    if (achseWaehlen()) {
        const int schalter = plus ? m_env.store->Endschalter_Plus() : m_env.store->Endschalter_minus();
        if (schalter == 0) {
            (plus ? Grenze_plus : Grenze_minus) = counts;
            messtischwegSetzen();
        }
    }
    if (line_schlitten.colour == CarriageValid)
        marke(plus ? 1 : 0, counts);
}
