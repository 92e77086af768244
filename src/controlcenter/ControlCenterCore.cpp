#include "ControlCenterCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Format.h"
#include "OptionFlags.h"
#include "Protocol.h"
#include "UiServices.h"
#include "globale_Funktionen.h"
#include "Guarded.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>

using namespace controlDesk;

namespace {

// Pixel positions in the travel picture stay well inside an int.
int pictureX(double x)
{
    return int(std::clamp(std::round(x), -100000.0, 100000.0));
}
}  // namespace

bool ControlCenterCore::unanswered(const QString& reply)
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
    fill(env.unload, defaults.unload);
    fill(env.driftActive, defaults.driftActive);
    fill(env.setDriftmerker, defaults.setDriftmerker);
    fill(env.startDrift, defaults.startDrift);
    return env;
}

ControlCenterCore::ControlCenterCore(ControlCenterEnv env) : m_env(env.completed())
{
    sh_an_aus.colour = Gray;
    lb_POS.text = QStringLiteral("off");
    lb_Fehler.text = QStringLiteral("Befehl/Fehler/Antwort");
    cb_IN.text = QStringLiteral("0IN");
    lb_ESM.colour = lb_ESP.colour = LightGray;
    text_SLM.colour = text_SLP.colour = White;
    Label1.text = QStringLiteral("mm/s²");
    Label2.text = QStringLiteral("mm/s");
    sli_v = kit::RangeControl{-32768, -32768, 32767, 1, 10, false};
    sli_a = kit::RangeControl{1, MinRawAcceleration, MaxRawAcceleration, 1, 100, false};
    text_Geschwindigkeit.enabled = text_Beschleunigung.enabled = false;
    const QStringList driveModes{"Abs", "Rel", "Joystick on/off", "limit"};
    for (int i = 0; i < 4; ++i)
        Fahrart[std::size_t(i)].text = driveModes.at(i);
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
    cmd_IndexSuche.colour = Gray;
    lb_indexanzeige.text = QStringLiteral("Index");
    lb_indexanzeige.colour = Gray;
    cmd_ZaehlerNull.text = QStringLiteral("Zero position counter");
    line_schlitten.colour = Gray;
    cmd_status.text = QStringLiteral("Status");
    cmd_version.text = QStringLiteral("Version");
    cmd_versionintern.text = QStringLiteral("Version_Intern");
    cmd_input.text = QStringLiteral("Input");
    cmd_sign.text = QStringLiteral("Sign");
    cmd_eW.text = QStringLiteral("1eW");
    cmd_ControllP.text = QStringLiteral("step response");
    cmd_Init.text = QStringLiteral("INIT");
    cmd_eW.colour = cmd_ControllP.colour = cmd_Init.colour = LightGray;
    cb_SchritteE.text = Units.at(0);
}

ControlCenterCore::~ControlCenterCore() = default;

void ControlCenterCore::setView(View view)
{
    m_view = std::move(view);
}

void ControlCenterCore::showValues() const
{
    if (m_view.show)
        m_view.show();
}

void ControlCenterCore::stopFocus() const
{
    if (m_view.focusStop)
        m_view.focusStop();
}

// The main loop's calls: a failing step is logged and skipped, the window
// shows its state and stays usable.
int ControlCenterCore::Initialisierung()
{
    const int result = kit::guarded(
        "Controlcenter Initialisierung", [this] { return initialise(); }, 0);
    showValues();
    return result;
}

int ControlCenterCore::Aktualisieren()
{
    const int result = kit::guarded(
        "Controlcenter Aktualisieren", [this] { return update(); }, 0);
    showValues();
    return result;
}

void ControlCenterCore::auslesen()
{
    if (!kit::guarded("Controlcenter auslesen", [this] { readOut(); }))
        FlagAuslesen = 0;
    showValues();
}

bool ControlCenterCore::usesComma() const
{
    return m_env.registry ? m_env.registry->komma_frage : dezimalkomma();
}

QString ControlCenterCore::unitAddress() const
{
    return chosenAddress();
}

bool ControlCenterCore::chooseAxis() const
{
    if (!m_env.store || cb_adressenauswahl.listIndex < 0 ||
        !AxisParameterStore::axisValid(cb_adressenauswahl.listIndex))
        return false;
    m_env.store->setIndex(cb_adressenauswahl.listIndex);
    return true;
}

void ControlCenterCore::showError(const QString& text, const QString& title)
{
    showValues();
    if (m_env.ui)
        m_env.ui->message(text, title, MsgButtons::Ok, MsgIcon::Exclamation);
}

void ControlCenterCore::postCommand(const QString& cmdText)
{
    Befehl_senden = cmdText;
    flagsenden = 1;
}

// --- address list ---------------------------------------------------------------

void ControlCenterCore::setAddressesIndex(int index)
{
    cb_adressenauswahl.listIndex = index >= 0 && index < cb_adressenauswahl.items.size() ? index : -1;
    cb_adressenauswahl_Click();
    showValues();
}

void ControlCenterCore::clearAddresses()
{
    cb_adressenauswahl.clear();
    showValues();
}

void ControlCenterCore::appendAddress(const QString& entry)
{
    cb_adressenauswahl.addItem(entry);
    showValues();
}

void ControlCenterCore::setLine_schlitten(int left, quint32 backColor)
{
    line_schlitten_left = left;
    line_schlitten.colour = backColor;
    showValues();
}

void ControlCenterCore::cb_adressenauswahl_Click()
{
    lb_indexanzeige.text = QStringLiteral("Index");
    lb_indexanzeige.colour = Gray;
    cmd_IndexSuche.colour = Gray;
    FlagIndexSuche = 0;
    m_indexCounter.reset();
    // A reference run belongs to the unit it started on; its saved values are
    // written back to that unit when the next unit is set up.
    FlagGrafikInit = 0;
    Button_Disable();
    flagachsenwechsel = 1;
}

// --- set-up -------------------------------------------------------------------------

void ControlCenterCore::Form_Load()
{
    const bool k = usesComma();
    text_strecke.items.clear();
    for (QString s : DistancePoint) {
        if (k)
            s.replace(QLatin1Char('.'), QLatin1Char(','));
        text_strecke.items << s;
    }
    selectDriveMode(0);
    cb_SchritteE.listIndex = 0;
    cb_SchritteE.text = Units.at(0);
    text_strecke.text = text_strecke.items.at(0);
    m_lastDistance = text_strecke.text;
    // The drive type of the axis; a window without an axis yet starts at "F".
    int unitType = 0;
    if (chooseAxis()) {
        unitType = m_env.store->Fahrart();
        if (unitType < 0 || unitType > 2)
            unitType = 0;
    }
    ob_Fahrart2_Click(unitType);
    flagsenden = 0;
    // No unit yet: the window is off until its address is chosen and answers,
    // and nothing that only posts into the mailbox can act before that.
    offlineControls(false);
    showValues();
}

int ControlCenterCore::initialise()
{
    const int li = cb_adressenauswahl.listIndex;
    const QString adr = unitAddress();
    bus().einheit_waehlen(adr);
    if (li < 0) {
        showValues();
        return 0;
    }

    int result = 0;
    payDebtsOfLeftUnits(adr);
    // An empty entry names no unit; asking would reach whichever unit was
    // selected before.
    const QString st =
        adr.isEmpty() ? QString() : bus().senden_empfangen(protocol::Status, 0.2, protocol::Rejection::Ignore);
    if (!adr.isEmpty() && (st.size() == 14 || li == 0)) {
        // What the unit is owed (a stop, a cut-off run's speeds and limits)
        // is written before anything is read from it.
        if (FlagGrafikInit == 0)
            payDebt(adr);
        FlagAuslesen = 1;
        flagsenden = 0;
        chooseAxis();
        if (m_env.options && m_env.options->on(OptionFlags::StartConfigIM) && st.size() == 14) {
            const QString imReply = bus().senden_empfangen(QStringLiteral("[1iM]"), 0, protocol::Rejection::Show);
            if (imReply.startsWith(QLatin1String("[1iM!")))
                m_env.ueberschreiben(imReply.mid(5, 8), li);
        }
        Button_enable();
        result = 1;
        Antwort_fehlte = 0;
        {
            EreignissperreGuard eventLock(bus());
            const QString in = bus().senden_empfangen(protocol::Inputs, 0, protocol::Rejection::Show);
            const Joystick j = joystickOff(in);
            if (j != Joystick::NoJoystick) {
                selectDriveMode(2);
                lb_joyart.text = j == Joystick::FastSpeed ? QStringLiteral("Fast") : QStringLiteral("Slow");
                lb_joyart.enabled = true;
                Fahr_v_a = QStringLiteral("T");
                sevenMoveButtons(false);
            } else {
                if (Fahrart[2].checked) {
                    // The previous axis was in joystick mode: this one is
                    // positioned, so its move buttons send absolute moves.
                    selectDriveMode(0);
                    Fahr_v_a = QStringLiteral("P");
                }
                Fahrart[2].checked = false;
                sevenMoveButtons(true);
            }
        }
        bus().senden_empfangen(QStringLiteral("[0pe]"), 0, protocol::Rejection::Show);
        sh_an_aus.colour = Green;
    } else {
        sh_an_aus.colour = Red;
        line_schlitten.colour = CarriageInvalid;
        // Stop stays usable only for a unit the window may have left moving.
        const auto owed = m_debts.find(adr);
        offlineControls(owed != m_debts.end() && owed->second.stop);
    }
    if (!adr.isEmpty())
        lb_Fehler.text = QStringLiteral("[0ST]--->") + st;
    showValues();
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
    const auto unload = [this](TrackedWindow* w) {
        if (w)
            m_env.unload(w);
    };
    if (reg) {
        if (IControlLoopWindow* cp = reg->frm_controlparameter; cp && cp->CCIndex == Tag) {
            unload(cp);
            if ((cp = reg->frm_controlparameter))
                cp->an_aus = 0;
        }
        if (IRecorder* ew = reg->frm_eW; ew && ew->CCIndex == Tag) {
            unload(ew);
            if ((ew = reg->frm_eW))
                ew->an_aus = 0;
        }
    }
    if (IInitWindow* iw = m_env.existingInitWindow(); iw && iw->CCIndex == Tag) {
        unload(iw);
        iw->an_aus = 0;
    }
    // A post would never be sent once the window is gone: an axis that may be
    // moving is stopped now (while the window is off, Stop does it), and the
    // unit the main loop had selected is selected again.
    const QString adr = unitAddress();
    if (sh_an_aus.colour == Green && !adr.isEmpty())
        writeStop(adr, 1);
    // No tick follows: what the window owes any unit is written now, one try each.
    while (!m_debts.empty()) {
        const QString owed = m_debts.begin()->first;
        payDebt(owed);
        m_debts.erase(owed);
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
    if (li < 0 || unitAddress().isEmpty() || !chooseAxis()) {
        FlagAuslesen = 0;
        return;
    }
    bus().einheit_waehlen(unitAddress());
    m_env.motfaktor_berechnen();
    AxisParameterStore& store = *m_env.store;
    chooseAxis();
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
    cb_SchritteE.text = Units.at(cb_SchritteE.listIndex);

    if (li == 0) {
        FlagAuslesen = 0;
        showValues();
        return;
    }

    {
        EreignissperreGuard eventLock(bus());
        if (const auto b = speedBar(vmax, vmin)) {
            sli_v.max = b->max;
            sli_v.largeChange = b->largeChange;
            sli_v.value = std::min(sli_v.value, sli_v.max);
        } else {
            showError(ParameterError, ParameterErrorTitle);
        }
        sli_a.max = MaxRawAcceleration;
        sli_a.largeChange = 100;
    }

    const QString pl = bus().senden_empfangen(QStringLiteral("[0PL]"), 0, protocol::Rejection::Show);
    // Only an accepted reply names the channel; a rejection is no name.
    QString name;
    if (pl.startsWith(QLatin1String("[0PL!"))) {
        name = pl.mid(5, 20);
        if (pl.size() < 26 && name.endsWith(QLatin1Char(']')))
            name.chop(1);
        // A line break from the bus would make every later save fail.
        name.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    }
    Caption = unitAddress() + QLatin1Char('-') + name;
    if (chooseAxis())
        store.setAchsenbezeichnung(Caption);

    if (chooseAxis()) {
        cmd_ESP.enabled = store.Endschalter_Plus() != 0;
        cmd_ESM.enabled = store.Endschalter_minus() != 0;
        cmd_GX.enabled = store.Index_Plus() != 0;
        cmd_GY.enabled = store.Index_Minus() != 0;
        const int unitType = store.Fahrart();
        if (unitType >= 0 && unitType <= 2)
            ob_Fahrart2_Click(unitType);
        else
            showError(ParameterError, ParameterErrorTitle);
        if (chooseAxis()) {
            Grenze_plus = store.PositionP();
            Grenze_minus = store.PositionM();
        }
    }
    text_strecke_LostFocus();
    limits_auslesen();
    v_a_auslesen();
    FlagAuslesen = 0;
    showValues();
}

void ControlCenterCore::limits_auslesen()
{
    const bool isRotary = drehantrieb == 1;
    const bool k = usesComma();
    const QString l5 = QStringLiteral("[1l5]");
    const QString l6 = QStringLiteral("[1l6]");
    const std::optional<double> counts5 = replyValue(bus().senden_empfangen(l5, 0, protocol::Rejection::Show), l5, 8);
    if (counts5)
        if (const auto a5 = limitFromCounter(*counts5, Motorfaktor, isRotary))
            m_limitTexts[0] = text_SLM.text = formatMask(*a5, Mask::Travel, k);
    const std::optional<double> counts6 = replyValue(bus().senden_empfangen(l6, 0, protocol::Rejection::Show), l6, 8);
    if (counts6)
        if (const auto a6 = limitFromCounter(*counts6, Motorfaktor, isRotary))
            m_limitTexts[1] = text_SLP.text = formatMask(*a6, Mask::Travel, k);
    if (Motorfaktor != 0) {
        lb_ESM.text = formatMask(Grenze_minus / Motorfaktor, Mask::Travel, k);
        lb_ESP.text = formatMask(Grenze_plus / Motorfaktor, Mask::Travel, k);
    }
    if (chooseAxis()) {
        if (m_env.store->Endschalter_Plus() == 0 && counts6) {
            Grenze_plus = *counts6;
            setStageTravel();
        }
        if (chooseAxis() && m_env.store->Endschalter_minus() == 0 && counts5) {
            Grenze_minus = *counts5;
            setStageTravel();
        }
    }
    if (line_schlitten.colour == CarriageValid) {
        if (counts6)
            setMark(1, *counts6);
        if (counts5)
            setMark(0, *counts5);
    }
    if (chooseAxis()) {
        m_env.store->setPositionM(Grenze_minus);
        m_env.store->setPositionP(Grenze_plus);
    }
    if (Motorfaktor != 0)
        lb_messtischweg.text = formatMask(Messtischweg, Mask::Travel, k);
}

void ControlCenterCore::v_a_auslesen()
{
    const bool k = usesComma();
    const QString cv = QStringLiteral("[1v") + Fahr_v_a + QLatin1Char(']');
    const std::optional<double> rv = replyValue(bus().senden_empfangen(cv, 0, protocol::Rejection::Show), cv, 4);
    if (rv && vmin > 0) {
        double v = *rv * vmin;
        if (v > vmax)
            v = vmax;
        {
            EreignissperreGuard eventLock(bus());
            if (const auto pos = wholeInt(v / vmin - 32768))
                setBar(sli_v, *pos, true);
        }
        text_Geschwindigkeit.text = formatMask((sli_v.value + 32768) * vmin, Mask::Speed, k);
    }
    const QString ca = QStringLiteral("[1a") + Fahr_v_a + QLatin1Char(']');
    const std::optional<double> ra = replyValue(bus().senden_empfangen(ca, 0, protocol::Rejection::Show), ca, 4);
    if (ra && amin > 0) {
        double a = *ra * amin;
        if (a > MaxRawAcceleration)
            a = MaxRawAcceleration;
        {
            EreignissperreGuard eventLock(bus());
            if (const auto pos = wholeInt(a / amin))
                setBar(sli_a, *pos, true);
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
    if (m_inCycle)
        return 0;
    const QScopedValueRollback<bool> inCycle(m_inCycle, true);

    const int li = cb_adressenauswahl.listIndex;
    const QString adr = unitAddress();
    int result = 0;
    if (!(sh_an_aus.colour == Green && li > 0 && !adr.isEmpty())) {
        if (li == 0)
            bus().einheit_waehlen(adr);
        zeroDisplay();
    } else {
        bus().einheit_waehlen(adr);
        const QString r = bus().senden_empfangen(protocol::Position, 0, protocol::Rejection::Show);
        if (!unanswered(r)) {
            result = 1;
            Antwort_fehlte = 0;
        } else {
            if (Antwort_fehlte == 1) {
                sh_an_aus.colour = Red;
                unitLost(adr);
            }
            Antwort_fehlte = 1;
        }
        // Only an accepted reply is a position; otherwise the display keeps
        // the last one.
        if (const auto c = replyValue(r, protocol::Position, 8)) {
            m_counter = *c;
            m_counterValid = true;
            if (const auto p = positionText(m_counter, Motorfaktor, drehantrieb == 1,
                                            m_env.options ? m_env.options->digitIndex() : 5, usesComma())) {
                lb_POS.text = p->text;
                Anzeigeaufloesung = p->resolution;
                if (drehantrieb != 1 && line_schlitten.colour == CarriageValid) {
                    if (line_schlitten_left > PictureWidth + 10 || line_schlitten_left < -40) {
                        line_schlitten_left = PictureWidth / 2;
                        line_schlitten.colour = CarriageInvalid;
                    } else if (Grafikmassstab != 0) {
                        line_schlitten_left = pictureX((m_counter - Grenze_minus) / Grafikmassstab + 11);
                    }
                }
            }
        }

        if (FlagEW == 1)
            bus().senden_empfangen(QStringLiteral("[1eW]"), 0, protocol::Rejection::Show);

        if (cb_IN.checked) {
            const QString in = bus().senden_empfangen(protocol::Inputs, 0, protocol::Rejection::Show);
            if (unanswered(in)) {
                cb_IN.checked = false;
                cb_IN_Click();
            }
            const QString stateBits = in.mid(6, 2);
            bus().senden_empfangen(protocol::Status, 0.2, protocol::Rejection::Ignore);
            // Unticked just now: the colours were reset and stay so.
            const auto f = cb_IN.checked ? limitSwitchColors(stateBits) : std::nullopt;
            if (f) {
                lb_ESM.colour = f->minus;
                lb_ESP.colour = f->plus;
            }
            // The limit boxes hold millimetres, or degrees on a rotary axis.
            if (m_counterValid && cb_IN.checked)
                if (const auto pos = limitFromCounter(m_counter, Motorfaktor, drehantrieb == 1)) {
                    if (const auto p = readNumberField(text_SLP.text, usesComma()))
                        text_SLP.colour = *p < *pos ? DarkYellow : White;
                    if (const auto m = readNumberField(text_SLM.text, usesComma()))
                        text_SLM.colour = *m > *pos ? DarkYellow : White;
                }
        }
    }

    if (flagsenden == 1 && (result == 1 || li == 0) && !adr.isEmpty())
        sendToMailbox();

    if (result == 1 && flagpollen == 1)
        motionEnd();

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
            graphicsSupport();
        else
            Referenzphase = 0.5;
        // A run that was stopped, cancelled or abandoned gives the controller
        // its own speeds and software limits back.
        if (FlagGrafikInit == 0 && m_debts.count(adr) != 0)
            payDebt(adr);
    } else {
        // A tick without an answer pauses a running reference run: it goes
        // on from its phase at the next answered tick.
        Dauerziel = 1;
    }
    showValues();
    return result;
}

void ControlCenterCore::unitLost(const QString& address)
{
    const bool mayMove = flagpollen == 1 || FlagDauer != 0 || FlagIndexSuche == 1 ||
                         (FlagGrafikInit >= 1 && Referenzphase != RefPhase::Start);
    if (const auto owed = m_debts.find(address); owed != m_debts.end())
        owed->second.lost = true;
    if (mayMove) {
        // The mailbox is not sent while the lamp is red: the stop goes now,
        // and again while a unit that hangs for a moment misses it.
        if (!writeStop(address, StopWrites)) {
            Debt& owed = m_debts[address];
            owed.stop = true;
            owed.lost = true;
        }
        flagpollen = 0;
        sl_dauer_Change(0);
        FlagGrafikInit = 0;
        Referenzphase = RefPhase::Start;
        FlagIndexSuche = 0;
        m_indexCounter.reset();
        lb_indexanzeige.text = QStringLiteral("Index");
        cmd_IndexSuche.colour = lb_indexanzeige.colour = Gray;
        m_env.enableAll();
    }
    offlineControls(true);
}

bool ControlCenterCore::writeStop(const QString& address, int writes)
{
    if (address.isEmpty())
        return false;
    const QString vorher = bus().aktiveEinheit();
    if (vorher != address)
        bus().einheit_waehlen(address);
    bool answered = false;
    for (int i = 0; i < writes && !answered; ++i) {
        const QString r = bus().senden_empfangen(protocol::Stop, 0, protocol::Rejection::Show);
        answered = !unanswered(r);
        // A closed port answers at once, and never.
        if (r.isEmpty())
            break;
    }
    if (vorher != address)
        bus().einheit_waehlen(vorher);
    return answered;
}

bool ControlCenterCore::payDebt(const QString& address)
{
    const auto owed = m_debts.find(address);
    if (owed == m_debts.end())
        return true;
    const Debt debt = owed->second;
    // A run cut off may have left its axis moving: it stops before the
    // values go back.
    QStringList commands{protocol::Stop};
    if (debt.values)
        commands << QStringLiteral("[1VP") + debt.values->vP + QLatin1Char(']')
                 << QStringLiteral("[1AP") + debt.values->aP + QLatin1Char(']')
                 << QStringLiteral("[1L5") + debt.values->l5 + QLatin1Char(']')
                 << QStringLiteral("[1L6") + debt.values->l6 + QLatin1Char(']');
    const QString vorher = bus().aktiveEinheit();
    if (vorher != address)
        bus().einheit_waehlen(address);
    bool answered = true;
    for (const QString& c : commands)
        if (unanswered(bus().senden_empfangen(c, 0, protocol::Rejection::Show))) {
            answered = false;
            break;
        }
    if (vorher != address)
        bus().einheit_waehlen(vorher);
    // A unit that answered has its values back (a rejection was shown).
    if (answered)
        m_debts.erase(owed);
    else
        owed->second.lost = true;
    return answered;
}

void ControlCenterCore::payDebtsOfLeftUnits(const QString& current)
{
    QStringList open;
    for (const auto& [address, debt] : m_debts)
        if (address != current && !debt.lost)
            open << address;
    for (const QString& address : open)
        payDebt(address);
}

bool ControlCenterCore::referenceRestorePending() const
{
    for (const auto& [address, debt] : m_debts)
        if (debt.values)
            return true;
    return false;
}

void ControlCenterCore::sendToMailbox()
{
    // The post is taken out of the mailbox before it is sent: a post made
    // while this exchange waits (a box opened by a rejection) stays for the
    // next tick instead of being lost.
    const QString post = Befehl_senden;
    flagsenden = 0;
    const PostParts postParts = splitPost(post);
    antwort_erhalten =
        bus().senden_empfangen(postParts.firstPart, firstTimeLimit(postParts.firstPart), protocol::Rejection::Show);
    if (!postParts.secondPart.isEmpty())
        antwort_erhalten = bus().senden_empfangen(postParts.secondPart, secondTimeLimit(postParts.secondPart),
                                                  secondMode(postParts.secondPart));
    if (protocol::replyStatus(antwort_erhalten) == protocol::ReplyStatus::Started) {
        Button_Disable();
        if (m_env.driftActive())
            m_env.setDriftmerker(0);
        const protocol::MotionCommand* move = postParts.firstPart.startsWith(QLatin1String("[1"))
                                                  ? protocol::motionCommand(QStringView(postParts.firstPart).mid(2, 2))
                                                  : nullptr;
        if (move && move->piezo) {
            cmd_Fahrt[0].enabled = cmd_Fahrt[1].enabled = cmd_FahreNull.enabled = true;
            for (kit::Control& f : Fahrart)
                f.enabled = true;
        }
        flagpollen = 1;
    }
    lb_Fehler.text = post + QStringLiteral("--->") + antwort_erhalten;
    if (Fehlerzeile_gross == 1)
        fehlerliste_schreiben(1);
    if (postParts.secondPart == QLatin1String("[1eS]")) {
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

void ControlCenterCore::motionEnd()
{
    antwort_erhalten = bus().senden_empfangen(protocol::Poll, 0, protocol::Rejection::Show);
    if (antwort_erhalten == protocol::PollMoving)
        return;
    // Silence is no end of a motion: the next answered tick asks again.
    if (unanswered(antwort_erhalten))
        return;
    if (m_env.options && m_env.options->on(OptionFlags::NewMotorFactor))
        bus().senden_empfangen(QStringLiteral("[1PE]"), 0, protocol::Rejection::Show);
    lb_Fehler.text = Befehl_senden + QStringLiteral("--->") + antwort_erhalten;
    if (FlagDauer == 0) {
        m_env.enableAll();
        Button_enable();
    }
    flagpollen = 0;
    if (m_env.driftActive()) {
        m_env.setDriftmerker(1);
        const QString r = bus().senden_empfangen(protocol::Position, 0, protocol::Rejection::Show);
        m_env.startDrift(hex_zu_wert24(r.mid(5, 8)));
    } else {
        m_env.setDriftmerker(0);
    }
}

void ControlCenterCore::graphicsSupport()
{
    for (const int wert : {1, 2}) {
        if (FlagGrafikInit != wert)
            continue;
        if (Referenzphase == 0.5) {
            showValues();
            const MsgResult a = m_env.ui ? m_env.ui->message(wert == 1 ? GraphicsQuestionFine : GraphicsQuestionSimple,
                                                             GraphicsTitle, MsgButtons::YesNoCancel, MsgIcon::Question)
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
            double abortLimit = 8;
            Identifikationsfahrt(abortLimit);
        } else {
            m_env.enableAll();
            FlagGrafikInit = 0;
            Referenzphase = 0.5;
        }
    }
}

// --- buttons ------------------------------------------------------------------------------

void ControlCenterCore::sevenMoveButtons(bool visible)
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
    for (kit::Control* c :
         {&cmd_ControllP, &cmd_ZaehlerNull, &text_SLP, &text_SLM, &pb_Grafikunterstuetzung, &cmd_IndexSuche, &cmd_ESP,
          &cmd_ESM, &cmd_GX, &cmd_GY, &cmd_Fahrt[0], &cmd_Fahrt[1], &cmd_FahreNull})
        c->enabled = false;
    text_strecke.enabled = cb_SchritteE.enabled = false;
    for (kit::Control& f : Fahrart)
        f.enabled = false;
}

void ControlCenterCore::offlineControls(bool stopUsable)
{
    Button_Disable();
    for (kit::Control* c : {&text_Beschleunigung, &text_Geschwindigkeit, &cmd_status, &cmd_version, &cmd_versionintern,
                            &cmd_input, &cmd_sign, &lb_joyart})
        c->enabled = false;
    sli_a.enabled = sli_v.enabled = false;
    cmd_STOPP.enabled = stopUsable;
}

void ControlCenterCore::Button_enable()
{
    const bool axisNo = cb_adressenauswahl.listIndex > 0;
    text_Beschleunigung.enabled = text_Geschwindigkeit.enabled = axisNo;
    sli_a.enabled = sli_v.enabled = axisNo;
    for (kit::Control* c :
         {&cmd_ControllP, &cmd_ZaehlerNull, &text_SLP, &text_SLM, &pb_Grafikunterstuetzung, &cmd_IndexSuche})
        c->enabled = axisNo;
    const bool axisChosen = chooseAxis();
    cmd_ESP.enabled = axisChosen && m_env.store->Endschalter_Plus() != 0;
    cmd_ESM.enabled = axisChosen && m_env.store->Endschalter_minus() != 0;
    cmd_GX.enabled = axisChosen && m_env.store->Index_Plus() != 0;
    cmd_GY.enabled = axisChosen && m_env.store->Index_Minus() != 0;
    for (kit::Control& f : Fahrart)
        f.enabled = true;
    for (kit::Control* c : {&cmd_Fahrt[0], &cmd_Fahrt[1], &cmd_FahreNull, &cmd_STOPP, &fr_Fahrart2, &cmd_status,
                            &cmd_version, &cmd_versionintern, &cmd_input, &cmd_sign})
        c->enabled = true;
    text_strecke.enabled = cb_SchritteE.enabled = true;
}

void ControlCenterCore::cb_IN_Click()
{
    if (cb_IN.checked) {
        cb_IN.colour = DarkYellow;
    } else {
        cb_IN.colour = lb_ESM.colour = lb_ESP.colour = LightGray;
        text_SLP.colour = text_SLM.colour = White;
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
        lb_Fehler.text = errorLines(Fehlerzeile_Text);
    } else if (mode == 2) {
        lb_Fehler.text = Fehlerzeile_Text;
    }
}

// --- moves -----------------------------------------------------------------------------------

void ControlCenterCore::text_strecke_LostFocus()
{
    const std::optional<double> v = readNumberField(text_strecke.text, usesComma());
    if (!v) {
        // Not a number: the box shows the last distance that was one.
        if (!m_lastDistance.isEmpty())
            text_strecke.text = m_lastDistance;
        return;
    }
    m_lastDistance = text_strecke.text;
    if (const auto s = distanceToCounter(*v, cb_SchritteE.listIndex, Motorfaktor))
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
    const std::optional<QString> cmd = driveCommand(Fahrart2_Kennung, letter, index == 0 ? -Strecke : Strecke);
    if (!cmd) {
        showError(RangeError);
        return;
    }
    postCommand(*cmd);
}

void ControlCenterCore::cmd_FahreNull_Click()
{
    postCommand(QStringLiteral("[1") + Fahrart2_Kennung + QStringLiteral("A00000000]"));
}

void ControlCenterCore::cmd_STOPP_Click()
{
    flagpollen = 0;
    sl_dauer_Change(0);
    FlagGrafikInit = 0;
    postCommand(protocol::Stop);
    if (!Fahrart[0].checked && !Fahrart[1].checked)
        selectDriveMode(0);
    if (sh_an_aus.colour == Green) {
        Button_enable();
    } else {
        // Off: the mailbox is not sent, so the stop goes to the unit now,
        // unless Stop is off too (a unit this window never reached).
        const QString adr = unitAddress();
        const auto owed = m_debts.find(adr);
        if (cmd_STOPP.enabled && writeStop(adr, 1) && owed != m_debts.end()) {
            owed->second.stop = false;
            if (!owed->second.values)
                m_debts.erase(owed);
        }
        offlineControls(cmd_STOPP.enabled);
    }
    m_env.enableAll();
}

void ControlCenterCore::cmd_IndexSuche_MouseUp(int button)
{
    if (button == 1) {
        indexsuche_starten();
    } else if (button == 2 && cmd_IndexSuche.colour == Green) {
        // The captured counts themselves: the display may be rounded to
        // fewer digits than the axis resolves.
        std::optional<double> targetPos = m_indexCounter;
        if (!targetPos)
            if (const std::optional<double> x = readNumberField(lb_indexanzeige.text, usesComma()))
                targetPos = *x * Motorfaktor;
        if (!targetPos)
            return;
        const std::optional<QString> cmd = driveCommand(Fahrart2_Kennung, QLatin1Char('A'), *targetPos);
        if (!cmd) {
            showError(RangeError);
            return;
        }
        postCommand(*cmd);
        m_indexCounter.reset();
        cmd_IndexSuche.colour = lb_indexanzeige.colour = Gray;
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
        postCommand(QStringLiteral("[1BR][1CJ]"));
    } else {
        lb_joyart.text = QStringLiteral("Slow");
        postCommand(QStringLiteral("[1BR][1Cj]"));
    }
    FlagAuslesen = 1;
}

void ControlCenterCore::selectDriveMode(int index)
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
                postCommand(protocol::Stop);
            Fahr_v_a = index == 3 ? QStringLiteral("E") : QStringLiteral("P");
            sevenMoveButtons(true);
        } else if (index == 2) {
            postCommand(lb_joyart.text == QLatin1String("Slow") ? QStringLiteral("[1Cj]") : QStringLiteral("[1CJ]"));
            lb_joyart.enabled = true;
            Fahr_v_a = QStringLiteral("T");
            sevenMoveButtons(false);
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
    if (chooseAxis())
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
    toolButton(which).colour = LightGray;
    showValues();
}

void ControlCenterCore::bindToolButton(ToolButton which)
{
    toolButton(which).colour = Green;
    showValues();
}

void ControlCenterCore::toolWindowTakenFrom(int previous, ToolButton which) const
{
    if (IControlCenter* vorher = m_env.registry ? m_env.registry->CC.item(previous) : nullptr)
        vorher->releaseToolButton(which);
}

void ControlCenterCore::cmd_eW_Click()
{
    if (m_env.options && m_env.options->on(OptionFlags::EWWindow)) {
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
        cmd_eW.colour = DarkYellow;
    } else if (FlagEW == 1) {
        FlagEW = 0;
        cmd_eW.colour = LightGray;
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

bool ControlCenterCore::setBar(kit::RangeControl& bar, int value, bool eventLock)
{
    if (value < bar.min || value > bar.max)
        return false;
    if (bar.value == value)
        return true;
    bar.value = value;
    if (!eventLock && bus().Ereignissperre == 0) {
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
    postCommand(QStringLiteral("[1V") + Fahr_v_a + hex4(double(r)) + QLatin1Char(']'));
    const double v = r * vmin;
    if (v > vmax && vmin > 0)
        sli_v.max = std::max(sli_v.min, value);
    text_Geschwindigkeit.text = formatMask(v, Mask::Speed, usesComma());
}

void ControlCenterCore::sli_a_Change(int value)
{
    sli_a.value = value;
    if (bus().Ereignissperre == 1)
        return;
    const int r = std::clamp(value, MinRawAcceleration, MaxRawAcceleration);
    postCommand(QStringLiteral("[1A") + Fahr_v_a + hex4(r) + QLatin1Char(']'));
    const double a = r * amin;
    if (a > MaxRawAcceleration && amin > 0)
        sli_a.max = std::max(sli_a.min, value);
    text_Beschleunigung.text = formatMask(a, Mask::Acceleration, usesComma());
}

void ControlCenterCore::text_Geschwindigkeit_LostFocus()
{
    const std::optional<double> typed = readNumberField(text_Geschwindigkeit.text, usesComma());
    if (!typed && !text_Geschwindigkeit.text.trimmed().isEmpty())
        return;
    const std::optional<RawValue> w = speedInput(typed, vmin, vmax);
    if (!w)
        return;
    postCommand(QStringLiteral("[1V") + Fahr_v_a + hex4(w->rawValue) + QLatin1Char(']'));
    text_Geschwindigkeit.text = formatMask(w->wert, Mask::Speed, usesComma());
    setBar(sli_v, w->rawValue - 32768, false);
}

void ControlCenterCore::text_Beschleunigung_LostFocus()
{
    const std::optional<double> typed = readNumberField(text_Beschleunigung.text, usesComma());
    if (!typed && !text_Beschleunigung.text.trimmed().isEmpty())
        return;
    const std::optional<RawValue> w = accelerationInput(typed, amin);
    if (!w)
        return;
    postCommand(QStringLiteral("[1A") + Fahr_v_a + hex4(w->rawValue) + QLatin1Char(']'));
    text_Beschleunigung.text = formatMask(w->wert, Mask::Acceleration, usesComma());
    setBar(sli_a, w->rawValue, false);
}

void ControlCenterCore::setStageTravel()
{
    if (Motorfaktor != 0) {
        Messtischweg = std::fabs(Grenze_plus - Grenze_minus) / Motorfaktor;
        lb_messtischweg.text = formatMask(Messtischweg, Mask::Travel, usesComma());
    }
    Grafikmassstab = (Grenze_plus - Grenze_minus) / double(PictureWidth - CarriageWidth - 2);
}

void ControlCenterCore::setMark(int which, double counts)
{
    if (Grafikmassstab == 0 || which < 0 || which > 1)
        return;
    sh_index_x[std::size_t(which)] = pictureX((counts - Grenze_minus) / Grafikmassstab + CarriageWidth / 2.0);
}

void ControlCenterCore::softwareLimit(bool plus)
{
    kit::Control& box = plus ? text_SLP : text_SLM;
    if (box.text.trimmed().isEmpty())
        return;
    const std::optional<double> v = readNumberField(box.text, usesComma());
    // Without the motor factor the limit cannot be turned into counts.
    if (!v || Motorfaktor == 0)
        return;
    const double counts = limitBoxToCounter(*v, Motorfaktor, drehantrieb == 1);
    bool ok = false;
    const QString arg = hex8(counts, &ok);
    if (!ok || !inCountRange(toInteger(counts))) {
        showError(RangeError);
        box.text = m_limitTexts[plus ? 1 : 0];
        return;
    }
    m_limitTexts[plus ? 1 : 0] = box.text;
    postCommand((plus ? QStringLiteral("[1L6") : QStringLiteral("[1L5")) + arg + QLatin1Char(']'));
    if (chooseAxis()) {
        const int switchValue = plus ? m_env.store->Endschalter_Plus() : m_env.store->Endschalter_minus();
        if (switchValue == 0) {
            (plus ? Grenze_plus : Grenze_minus) = counts;
            setStageTravel();
        }
    }
    if (line_schlitten.colour == CarriageValid)
        setMark(plus ? 1 : 0, counts);
}
