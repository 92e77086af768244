// The runs of the control center, each advanced by one step per answered
// tick of `Aktualisieren`: the graphic-support reference run, the continuous
// run, counter zeroing and the index capture.

#include "ControlCenterCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Clock.h"
#include "Format.h"
#include "globale_Funktionen.h"

#include <cmath>

using namespace leitstand;

namespace {
constexpr double Pause = 0.2;
} // namespace

// --- reference run: helpers --------------------------------------------------------------

QString ControlCenterCore::referenceSend(const QString& befehl)
{
    return bus().senden_empfangen(befehl, 0, 0);
}

QString ControlCenterCore::referenceRelative(bool plus)
{
    const QString s = plus ? m_referenz.Schritt_plus : m_referenz.Schritt_minus;
    return referenceSend(QStringLiteral("[1") + Fahrart2_Kennung + QLatin1Char('R') + s + QLatin1Char(']'));
}

QString ControlCenterCore::referenceAbsolute(double counts)
{
    // Positions come from accepted 24-bit replies, so the move is always valid.
    const std::optional<QString> cmd = fahrbefehl(Fahrart2_Kennung, QLatin1Char('A'), counts);
    return cmd ? referenceSend(*cmd) : QString();
}

std::optional<double> ControlCenterCore::referencePosition(double& phase)
{
    const QString r = referenceSend(QStringLiteral("[1PA]"));
    const std::optional<double> p = antwortWert(r, QStringLiteral("[1PA]"), 8);
    if (!p)
        referenceAbort(phase, ReferenzFehler + r);
    return p;
}

std::optional<QString> ControlCenterCore::referenceSwitch()
{
    // A missing reply is no switch state: the phase asks again on the next
    // tick instead of taking the silence for a closed switch.
    return schalterzustand(referenceSend(QStringLiteral("[0IN]")));
}

bool ControlCenterCore::plusSwitch() const
{
    return achseWaehlen() && m_env.store->Endschalter_Plus() != 0;
}

bool ControlCenterCore::minusSwitch() const
{
    return achseWaehlen() && m_env.store->Endschalter_minus() == 1;
}

void ControlCenterCore::referenceRestore()
{
    if (!m_referenz.sicherung)
        return;
    const Referenzsicherung s = *m_referenz.sicherung;
    const QString vorher = bus().aktiveEinheit();
    if (vorher != s.adresse)
        bus().einheit_waehlen(s.adresse);
    const QStringList befehle{QStringLiteral("[1VP") + s.vP + QLatin1Char(']'),
                              QStringLiteral("[1AP") + s.aP + QLatin1Char(']'),
                              QStringLiteral("[1L5") + s.l5 + QLatin1Char(']'),
                              QStringLiteral("[1L6") + s.l6 + QLatin1Char(']')};
    bool beantwortet = true;
    for (const QString& b : befehle)
        beantwortet = !unbeantwortet(referenceSend(b)) && beantwortet;
    if (vorher != s.adresse)
        bus().einheit_waehlen(vorher);
    // A unit that answered has its values back (a rejection was shown);
    // a silent one is tried again on a later tick.
    if (beantwortet)
        m_referenz.sicherung.reset();
}

void ControlCenterCore::referenceAbort(double& phase, const QString& meldung)
{
    FlagGrafikInit = 0;
    phase = 0.5;
    referenceRestore();
    Button_enable();
    m_env.enableAll();
    zeigeFehler(meldung, ParameterErrorTitle);
}

// Phase 0.5: saves what the run changes, opens the limits, starts the index
// search of the high-resolution run. False when the run was given up.
bool ControlCenterCore::referenceStart(double& phase)
{
    Referenzfahrt& R = m_referenz;
    const double schritt = Motorfaktor * (FlagGrafikInit == 1 ? 0.1 : 3.0);
    if (Motorfaktor == 0 || !std::isfinite(Motorfaktor) || !imZaehlbereich(aufGanzzahl(schritt))) {
        // Steps of 0 counts would never leave a switch; steps beyond the
        // counter cannot be written.
        referenceAbort(phase, ReferenceFactorError);
        return false;
    }
    m_env.disableAll(4);
    if (Fahr_v_a == QLatin1String("T")) {
        referenceSend(QStringLiteral("[1CS]"));
        Fahrart_Waehlen(0);
        flagsenden = 0;
        FlagAuslesen = 0;
    }
    Button_Disable();
    const std::optional<double> start = referencePosition(phase);
    if (!start)
        return false;
    R.fein = FlagGrafikInit == 1;
    R.Startposition = *start;
    R.Referenzschritt = schritt;
    R.Schritt_minus = hex8(-R.Referenzschritt);
    R.Schritt_plus = hex8(R.Referenzschritt);

    // Values still pending from a run on another unit go back to that unit.
    if (R.sicherung && R.sicherung->adresse != adresse())
        referenceRestore();
    // The originals are read only when none wait to be written back from an
    // interrupted run: those opened values must never become the originals.
    const bool sichern = !R.sicherung || R.sicherung->adresse != adresse();
    Referenzsicherung s;
    s.adresse = adresse();
    const auto lesen = [&](const QString& befehl, int stellen, QString& ziel) {
        const QString r = referenceSend(befehl);
        const std::optional<QString> z = antwortZiffern(r, befehl, stellen);
        if (!z) {
            referenceAbort(phase, ReferenzLeseFehler + befehl + QStringLiteral("--->") + r);
            return false;
        }
        ziel = *z;
        return true;
    };
    QString vE, aE;
    if (sichern && !(lesen(QStringLiteral("[1l5]"), 8, s.l5) && lesen(QStringLiteral("[1l6]"), 8, s.l6)))
        return false;
    if (!(lesen(QStringLiteral("[1vE]"), 4, vE) && lesen(QStringLiteral("[1aE]"), 4, aE)))
        return false;
    if (sichern) {
        if (!(lesen(QStringLiteral("[1vP]"), 4, s.vP) && lesen(QStringLiteral("[1aP]"), 4, s.aP)))
            return false;
        R.sicherung = s;
    }
    referenceSend(QStringLiteral("[1VP") + vE + QLatin1Char(']'));
    referenceSend(QStringLiteral("[1AP") + aE + QLatin1Char(']'));
    referenceSend(QStringLiteral("[1L6") + hex8(MaxCounter) + QLatin1Char(']'));
    referenceSend(QStringLiteral("[1L5") + hex8(-MaxCounter) + QLatin1Char(']'));
    if (R.fein)
        referenceSend(QStringLiteral("[1GX]"));
    return true;
}

// Phase 7 once the axis is back at its start: travel ends, scale and marks.
void ControlCenterCore::referenceEnd(double& phase)
{
    Referenzfahrt& R = m_referenz;
    const Referenzsicherung s = R.sicherung.value_or(Referenzsicherung{});
    if (R.sicherung) {
        referenceSend(QStringLiteral("[1VP") + s.vP + QLatin1Char(']'));
        referenceSend(QStringLiteral("[1AP") + s.aP + QLatin1Char(']'));
    }
    line_schlitten.colour = CarriageValid;
    Grenze_minus = R.Kante_minus;
    Grenze_plus = R.Kante_plus;
    const bool dreh = drehantrieb == 1;
    // A side without a switch ends at its software limit: the box's value,
    // or the limit read at the start when the box holds no number.
    const auto softwaregrenze = [&](const kit::Control& box, const QString& gesichert) {
        if (const std::optional<double> v = zahlLesen(box.text, komma()))
            return grenzeInZaehler(*v, Motorfaktor, dreh);
        return gesichert.isEmpty() ? 0.0 : hex_zu_wert24(gesichert);
    };
    if (R.fein) {
        if (minusSwitch()) {
            Grenze_minus += R.Referenzschritt / 2;
            lb_ESM.visible = true;
        } else {
            Grenze_minus = softwaregrenze(text_SLM, s.l5);
            lb_ESM.visible = false;
        }
        if (plusSwitch())
            Grenze_plus -= R.Referenzschritt / 2;
    }
    lb_ESP.visible = true;
    if (R.fein && !plusSwitch()) {
        Grenze_plus = softwaregrenze(text_SLP, s.l6);
        lb_ESP.visible = false;
    }
    Messtischweg = std::fabs(Grenze_plus - Grenze_minus) / Motorfaktor;
    lb_messtischweg.text = formatMask(Messtischweg, Mask::Travel, komma());
    if (achseWaehlen()) {
        m_env.store->setPositionM(Grenze_minus);
        m_env.store->setPositionP(Grenze_plus);
    }
    Grafikmassstab = (Grenze_plus - Grenze_minus) / double(PictureWidth - 30);
    if (R.sicherung) {
        referenceSend(QStringLiteral("[1L5") + s.l5 + QLatin1Char(']'));
        referenceSend(QStringLiteral("[1L6") + s.l6 + QLatin1Char(']'));
        R.sicherung.reset();
        marke(0, hex_zu_wert24(s.l5));
        marke(1, hex_zu_wert24(s.l6));
    }
    bus().senden_empfangen(QStringLiteral("[0ST]"), 0.2, 1);
    FlagAuslesen = 1;
    FlagGrafikInit = 0;
    phase = 0.5;
    Button_enable();
    m_env.enableAll();
}

// --- reference run ------------------------------------------------------------------------------
//
// Each call handles the phase it is given; a step that moves on to a later
// phase falls through to that phase in the same call, which usually ends in
// its first "[0po]". A waiting phase polls and returns until its end
// condition holds. Every phase is one member function below.

namespace {
bool eineVon(const QString& antwort, std::initializer_list<QString> texte)
{
    for (const QString& t : texte)
        if (antwort == t)
            return true;
    return false;
}
} // namespace

QString ControlCenterCore::referenceEcho(QChar art, const QString& ende) const
{
    return moveEcho(Fahrart2_Kennung, art, ende);
}

void ControlCenterCore::referencePoll()
{
    m_referenz.Pollantwort = referenceSend(QStringLiteral("[0po]"));
}

// Stepping off a closed switch (`fromPlus`: the plus switch, in minus steps).
// True once the switch is open; until then every answered step takes the next.
bool ControlCenterCore::referenceClearSwitch(bool fromPlus)
{
    Referenzfahrt& R = m_referenz;
    const QString fertig = referenceEcho(QLatin1Char('R'), QStringLiteral("!"));
    const QString halt = referenceEcho(QLatin1Char('R'), fromPlus ? QStringLiteral("?001A") : QStringLiteral("?0019"));
    referencePoll();
    if (!(eineVon(R.Pollantwort, {halt, fertig}) || R.Fahrantwort == fertig))
        return false;
    const std::optional<QString> z = referenceSwitch();
    if (!z)
        return false;
    R.Schalterzustand = *z;
    if (*z != QLatin1String("00")) {
        R.Fahrantwort = referenceRelative(!fromPlus);
        return false;
    }
    (fromPlus ? lb_ESP : lb_ESM).colour = Hellgrau;
    return true;
}

// High-resolution edge search on one side: steps towards the switch while it
// stays open, keeping each open position as that side's edge.
ControlCenterCore::EdgeStep ControlCenterCore::referenceEdge(bool plus, double& phase)
{
    Referenzfahrt& R = m_referenz;
    const QString fertig = referenceEcho(QLatin1Char('R'), QStringLiteral("!"));
    const QString halt = referenceEcho(QLatin1Char('R'), plus ? QStringLiteral("?001A") : QStringLiteral("?0019"));
    referencePoll();
    if (!eineVon(R.Fahrantwort, {halt, fertig}) && !eineVon(R.Pollantwort, {halt, fertig}))
        return EdgeStep::Waiting;
    const std::optional<QString> z = referenceSwitch();
    if (!z)
        return EdgeStep::Waiting;
    R.Schalterzustand = *z;
    if (*z != QLatin1String("00"))
        return EdgeStep::Closed;
    const std::optional<double> p = referencePosition(phase);
    if (!p)
        return EdgeStep::Aborted;
    (plus ? R.Kante_plus : R.Kante_minus) = *p;
    R.Fahrantwort = referenceRelative(plus);
    return EdgeStep::Next;
}

// Entry: which switch is closed decides where the run starts.
void ControlCenterCore::referenceEntry(double& phase)
{
    Referenzfahrt& R = m_referenz;
    if (R.fein) {
        referencePoll();
        if (!eineVon(R.Pollantwort, {QStringLiteral("[1GX!]"), QStringLiteral("[1GX?001D]")}))
            return;
        const std::optional<double> p = referencePosition(phase);
        if (!p)
            return;
        R.Startposition = *p;
    }
    const std::optional<QString> z = referenceSwitch();
    if (!z)
        return;
    R.Schalterzustand = *z;
    if (!plusSwitch()) {
        referenceMinusSide(phase);
    } else if (*z == QLatin1String("00")) {
        R.Fahrantwort = referenceSend(QStringLiteral("[1FX]"));
        phase = RefPhase::ToPlus;
    } else if (*z == QLatin1String("01")) {
        R.Fahrantwort = referenceRelative(true);
        lb_ESM.colour = Dunkelgelb;
        phase = RefPhase::LeaveMinus;
    } else if (*z == QLatin1String("10")) {
        R.Fahrantwort = referenceRelative(false);
        lb_ESP.colour = Dunkelgelb;
        phase = RefPhase::LeavePlus;
    }
    // "11": both switches closed; asked again on the next tick.
}

void ControlCenterCore::referenceLeaveMinus(double& phase)
{
    if (!referenceClearSwitch(false))
        return;
    m_referenz.Fahrantwort = referenceSend(QStringLiteral("[1FX]"));
    phase = RefPhase::ToPlus;
}

void ControlCenterCore::referenceToPlusSwitch(double& phase)
{
    Referenzfahrt& R = m_referenz;
    referencePoll();
    if (R.Fahrantwort != QLatin1String("[1FX!]") && R.Pollantwort != QLatin1String("[1FX!]"))
        return;
    if (!R.fein) {
        const std::optional<double> p = referencePosition(phase);
        if (!p)
            return;
        R.Frei_plus = R.Kante_plus = *p;
    }
    lb_ESP.colour = Gruen;
    R.Fahrantwort = referenceRelative(false);
    phase = RefPhase::LeavePlus;
}

void ControlCenterCore::referenceLeavePlus(double& phase)
{
    Referenzfahrt& R = m_referenz;
    if (!referenceClearSwitch(true))
        return;
    if (R.fein) {
        const std::optional<double> p = referencePosition(phase);
        if (!p)
            return;
        R.Frei_plus = R.Kante_plus = *p;
        R.Fahrantwort = referenceRelative(true);
        phase = RefPhase::EdgePlus;
    } else {
        referenceSend(QStringLiteral("[1FY]"));
        phase = RefPhase::ToMinus;
    }
}

void ControlCenterCore::referenceEdgePlus(double& phase)
{
    // The switch closed: back to the last free position.
    if (referenceEdge(true, phase) == EdgeStep::Closed) {
        m_referenz.Fahrantwort = referenceAbsolute(m_referenz.Frei_plus);
        phase = RefPhase::BackFromPlus;
    }
}

void ControlCenterCore::referenceBackFromPlus(double& phase)
{
    Referenzfahrt& R = m_referenz;
    const QString fertig = referenceEcho(QLatin1Char('A'), QStringLiteral("!"));
    const QString halt = referenceEcho(QLatin1Char('A'), QStringLiteral("?001A"));
    referencePoll();
    if (!eineVon(R.Fahrantwort, {halt, fertig}) && !eineVon(R.Pollantwort, {halt, fertig}))
        return;
    referenceSend(QStringLiteral("[0po]"));
    referenceMinusSide(phase);
}

// The minus side: to its switch, or straight back to the start without one.
void ControlCenterCore::referenceMinusSide(double& phase)
{
    Referenzfahrt& R = m_referenz;
    if (minusSwitch()) {
        bus().clock().sleep(Pause);
        R.Fahrantwort = referenceSend(QStringLiteral("[1FY]"));
        lb_ESP.colour = Hellgrau;
        phase = RefPhase::ToMinus;
    } else {
        R.Fahrantwort = referenceAbsolute(R.Startposition);
        R.Schalterzustand = QStringLiteral("00");
        phase = RefPhase::Finish;
    }
}

void ControlCenterCore::referenceToMinusSwitch(double& phase)
{
    Referenzfahrt& R = m_referenz;
    referencePoll();
    if (R.Fahrantwort != QLatin1String("[1FY!]") && R.Pollantwort != QLatin1String("[1FY!]"))
        return;
    lb_ESM.colour = Gruen;
    if (R.fein) {
        R.Fahrantwort = referenceRelative(true);
        phase = RefPhase::LeaveMinusFine;
    } else {
        const std::optional<double> p = referencePosition(phase);
        if (!p)
            return;
        R.Frei_minus = R.Kante_minus = *p;
        referenceAbsolute(R.Startposition);
        lb_ESM.colour = Hellgrau;
        phase = RefPhase::Finish;
    }
}

void ControlCenterCore::referenceLeaveMinusFine(double& phase)
{
    Referenzfahrt& R = m_referenz;
    if (!referenceClearSwitch(false))
        return;
    const std::optional<double> p = referencePosition(phase);
    if (!p)
        return;
    R.Frei_minus = R.Kante_minus = *p;
    R.Fahrantwort = referenceRelative(false);
    phase = RefPhase::EdgeMinus;
}

void ControlCenterCore::referenceEdgeMinus(double& phase)
{
    if (referenceEdge(false, phase) == EdgeStep::Closed)
        phase = RefPhase::ToStart;
}

void ControlCenterCore::referenceToStart(double& phase)
{
    Referenzfahrt& R = m_referenz;
    if (R.Schalterzustand != QLatin1String("00")) {
        bus().clock().sleep(Pause);
        R.Fahrantwort = referenceAbsolute(R.Startposition);
    }
    R.Schalterzustand = QStringLiteral("00");
    phase = RefPhase::Finish;
}

void ControlCenterCore::referenceFinish(double& phase)
{
    Referenzfahrt& R = m_referenz;
    const std::initializer_list<QString> ende{referenceEcho(QLatin1Char('A'), QStringLiteral("?0019")),
                                              referenceEcho(QLatin1Char('A'), QStringLiteral("?001A")),
                                              referenceEcho(QLatin1Char('A'), QStringLiteral("!"))};
    referencePoll();
    if (!eineVon(R.Fahrantwort, ende) && !eineVon(R.Pollantwort, ende))
        return;
    referenceEnd(phase);
}

void ControlCenterCore::referenceDiscarded(double& phase)
{
    // No: the travel picture stays invalid until a run completes.
    line_schlitten.colour = CarriageInvalid;
    Messtischweg = 0;
    FlagGrafikInit = 0;
    phase = RefPhase::Start;
    Button_enable();
    m_env.enableAll();
}

void ControlCenterCore::Identifikationsfahrt(double& phase)
{
    using Step = void (ControlCenterCore::*)(double&);
    static constexpr std::pair<double, Step> phases[] = {
        {RefPhase::Entry, &ControlCenterCore::referenceEntry},
        {RefPhase::LeaveMinus, &ControlCenterCore::referenceLeaveMinus},
        {RefPhase::ToPlus, &ControlCenterCore::referenceToPlusSwitch},
        {RefPhase::LeavePlus, &ControlCenterCore::referenceLeavePlus},
        {RefPhase::EdgePlus, &ControlCenterCore::referenceEdgePlus},
        {RefPhase::BackFromPlus, &ControlCenterCore::referenceBackFromPlus},
        {RefPhase::ToMinus, &ControlCenterCore::referenceToMinusSwitch},
        {RefPhase::LeaveMinusFine, &ControlCenterCore::referenceLeaveMinusFine},
        {RefPhase::EdgeMinus, &ControlCenterCore::referenceEdgeMinus},
        {RefPhase::ToStart, &ControlCenterCore::referenceToStart},
        {RefPhase::Finish, &ControlCenterCore::referenceFinish},
        {RefPhase::Cancel, &ControlCenterCore::referenceDiscarded},
    };
    if (phase == RefPhase::Start) {
        if (!referenceStart(phase))
            return;
        phase = RefPhase::Entry;
    }
    // Phases only move forward within a call (an abort goes back to Start,
    // which no later entry matches), so one pass in order is the fall-through.
    for (const auto& [value, step] : phases) {
        if (phase != value)
            continue;
        (this->*step)(phase);
        if (phase == RefPhase::Start)
            return;
    }
}

// --- continuous run -------------------------------------------------------------------------------

void ControlCenterCore::dauerfahrt(int& ziel)
{
    const auto beenden = [this] {
        sl_dauer_Change(0);
        // No motion follows that would give the buttons back.
        Button_enable();
        m_env.enableAll();
    };
    if (antwort_erhalten.mid(4, 1) == QLatin1String("?")) {
        beenden();
        return;
    }
    if (flagpollen != 0 || flagsenden != 0)
        return;
    const double d = Strecke;
    const auto absolut = [this](double counts) { return fahrbefehl(Fahrart2_Kennung, QLatin1Char('A'), counts); };
    std::optional<QString> befehl;
    int naechstes = ziel == 1 ? 2 : 1;
    switch (FlagDauer) {
    case 1:
        befehl = absolut(ziel == 1 ? d : -d);
        break;
    case 2:
        befehl = absolut(ziel == 1 ? d : 0);
        break;
    case 3:
        befehl = absolut(ziel == 1 ? -d : 0);
        break;
    case 4:
        befehl = ziel == 1 ? QStringLiteral("[1FX]") : QStringLiteral("[1FY]");
        break;
    case 5:
        if (ziel == 1) {
            // The target grows each round: stop before it leaves the counter.
            befehl = absolut((Dauerphase + 1) * d);
            if (befehl)
                ++Dauerphase;
        } else {
            befehl = absolut(0);
        }
        break;
    case 6:
        befehl = QStringLiteral("[1GY]");
        naechstes = 1;
        break;
    default:
        return;
    }
    if (!befehl) {
        beenden();
        zeigeFehler(BereichFehler);
        return;
    }
    posten(*befehl);
    ziel = naechstes;
}

// --- counter zeroing ---------------------------------------------------------------------------------

void ControlCenterCore::ZaehlerNullen()
{
    const QString r = bus().senden_empfangen(QStringLiteral("[1PA]"), 0, 0);
    const std::optional<double> pos = antwortWert(r, QStringLiteral("[1PA]"), 8);
    if (!pos) {
        // Without the position the travel ends cannot follow the new zero.
        lb_Fehler.text = QStringLiteral("[1PA]--->") + r;
        return;
    }
    const QString pr = bus().senden_empfangen(QStringLiteral("[1PR]"), 0, 0);
    // The ends move only when the counter really was zeroed.
    if (!pr.startsWith(QLatin1String("[1PR!"))) {
        lb_Fehler.text = QStringLiteral("[1PR]--->") + pr;
        return;
    }
    Grenze_minus -= *pos;
    Grenze_plus -= *pos;
    if (Motorfaktor != 0) {
        lb_ESM.text = formatMask(Grenze_minus / Motorfaktor, Mask::Travel, komma());
        lb_ESP.text = formatMask(Grenze_plus / Motorfaktor, Mask::Travel, komma());
    }
    if (achseWaehlen()) {
        m_env.store->setPositionM(Grenze_minus);
        m_env.store->setPositionP(Grenze_plus);
    }
}

// --- index capture --------------------------------------------------------------------------------------

void ControlCenterCore::indexsuche_starten()
{
    if (cmd_IndexSuche.colour == Dunkelgelb) {
        FlagIndexSuche = 0;
        posten(QStringLiteral("[1IS][0ST]"));
        lb_indexanzeige.text = QStringLiteral("Index");
        cmd_IndexSuche.colour = lb_indexanzeige.colour = Grau;
    } else if (cmd_IndexSuche.colour == Grau) {
        // Without the motor factor a found index cannot be shown, so the
        // search would poll for ever.
        if (Motorfaktor == 0 || !std::isfinite(Motorfaktor)) {
            zeigeFehler(IndexFaktorFehler, ParameterErrorTitle);
            fokusStopp();
            return;
        }
        posten(QStringLiteral("[1IF]"));
        FlagIndexSuche = 1;
        cmd_IndexSuche.colour = lb_indexanzeige.colour = Dunkelgelb;
    } else if (cmd_IndexSuche.colour == Gruen) {
        lb_indexanzeige.text = QStringLiteral("Index");
        cmd_IndexSuche.colour = lb_indexanzeige.colour = Grau;
        m_indexCounter.reset();
    }
    fokusStopp();
}

void ControlCenterCore::index_routine()
{
    antwort_erhalten = bus().senden_empfangen(QStringLiteral("[1IA]"), 0, 0);
    if (antwort_erhalten == keine_Antwort)
        FlagIndexSuche = 0;
    const std::optional<double> counts = antwortWert(antwort_erhalten, QStringLiteral("[1IA]"), 8);
    if (!counts || Motorfaktor == 0) {
        lb_indexanzeige.text = QStringLiteral("Index?");
    } else {
        FlagIndexSuche = 0;
        m_indexCounter = *counts;
        lb_indexanzeige.text = indexText(*counts / Motorfaktor, Anzeigeaufloesung, komma());
        cmd_IndexSuche.colour = lb_indexanzeige.colour = Gruen;
        bus().senden_empfangen(QStringLiteral("[1IS]"), 0, 0);
        bus().senden_empfangen(QStringLiteral("[0ST]"), 0.2, 1);
    }
    lb_Fehler.text = QStringLiteral("[1IA]--->") + antwort_erhalten;
}
