// The runs of the control center, each advanced by one step per answered
// tick of `Aktualisieren`: the graphic-support reference run, the continuous
// run, counter zeroing and the index capture.

#include "ControlCenterCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Clock.h"
#include "Format.h"
#include "globale_Funktionen.h"
#include "Protocol.h"

#include <cmath>

using namespace controlDesk;

namespace {
constexpr double Pause = 0.2;
}  // namespace

// --- reference run: helpers --------------------------------------------------------------

QString ControlCenterCore::referenceSend(const QString& cmdText)
{
    return bus().senden_empfangen(cmdText, 0, protocol::Rejection::Show);
}

QString ControlCenterCore::referenceRelative(bool plus)
{
    const QString s = plus ? m_reference.Schritt_plus : m_reference.Schritt_minus;
    return referenceSend(QStringLiteral("[1") + Fahrart2_Kennung + QLatin1Char('R') + s + QLatin1Char(']'));
}

QString ControlCenterCore::referenceAbsolute(double counts)
{
    // Positions come from accepted 24-bit replies, so the move is always valid.
    const std::optional<QString> cmd = driveCommand(Fahrart2_Kennung, QLatin1Char('A'), counts);
    return cmd ? referenceSend(*cmd) : QString();
}

std::optional<double> ControlCenterCore::referencePosition(double& phase)
{
    const QString r = referenceSend(protocol::Position);
    const std::optional<double> p = replyValue(r, protocol::Position, 8);
    // A phase that finds no answer waits and reads again on the next tick;
    // the start, which cannot wait, and a refused read give the run up.
    if (!p && (phase == RefPhase::Start || !unanswered(r)))
        referenceAbort(phase, ReferenceError + r);
    return p;
}

std::optional<QString> ControlCenterCore::referenceSwitch()
{
    // A missing reply is no switch state: the phase asks again on the next
    // tick instead of taking the silence for a closed switch.
    return switchState(referenceSend(protocol::Inputs));
}

bool ControlCenterCore::plusSwitch() const
{
    return chooseAxis() && m_env.store->Endschalter_Plus() != 0;
}

bool ControlCenterCore::minusSwitch() const
{
    return chooseAxis() && m_env.store->Endschalter_minus() == 1;
}

void ControlCenterCore::referenceAbort(double& phase, const QString& messageText)
{
    FlagGrafikInit = 0;
    phase = 0.5;
    payDebt(unitAddress());
    Button_enable();
    m_env.enableAll();
    showError(messageText, ParameterErrorTitle);
}

// Phase 0.5: saves what the run changes, opens the limits, starts the index
// search of the high-resolution run. False when the run was given up.
bool ControlCenterCore::referenceStart(double& phase)
{
    Referenzfahrt& R = m_reference;
    const double stepSize = Motorfaktor * (FlagGrafikInit == 1 ? 0.1 : 3.0);
    if (Motorfaktor == 0 || !std::isfinite(Motorfaktor) || !inCountRange(toInteger(stepSize))) {
        // Steps of 0 counts would never leave a switch; steps beyond the
        // counter cannot be written.
        referenceAbort(phase, ReferenceFactorError);
        return false;
    }
    m_env.disableAll(4);
    if (Fahr_v_a == QLatin1String("T")) {
        referenceSend(QStringLiteral("[1CS]"));
        selectDriveMode(0);
        flagsenden = 0;
        FlagAuslesen = 0;
    }
    Button_Disable();
    const std::optional<double> start = referencePosition(phase);
    if (!start)
        return false;
    R.fine = FlagGrafikInit == 1;
    R.Startposition = *start;
    R.Referenzschritt = stepSize;
    R.Schritt_minus = hex8(-R.Referenzschritt);
    R.Schritt_plus = hex8(R.Referenzschritt);

    // The originals are read only when none wait to be written back to this
    // unit from an interrupted run: those opened values must never become
    // the originals.
    const auto pending = m_debts.find(unitAddress());
    const bool needsBackup = pending == m_debts.end() || !pending->second.values;
    ReferenceBackup s;
    const auto readValue = [&](const QString& cmdText, int digitCount, QString& targetPos) {
        const QString r = referenceSend(cmdText);
        const std::optional<QString> z = replyDigits(r, cmdText, digitCount);
        if (!z) {
            referenceAbort(phase, ReferenceReadError + cmdText + QStringLiteral("--->") + r);
            return false;
        }
        targetPos = *z;
        return true;
    };
    QString vE, aE;
    if (needsBackup && !(readValue(QStringLiteral("[1l5]"), 8, s.l5) && readValue(QStringLiteral("[1l6]"), 8, s.l6)))
        return false;
    if (!(readValue(QStringLiteral("[1vE]"), 4, vE) && readValue(QStringLiteral("[1aE]"), 4, aE)))
        return false;
    if (needsBackup) {
        if (!(readValue(QStringLiteral("[1vP]"), 4, s.vP) && readValue(QStringLiteral("[1aP]"), 4, s.aP)))
            return false;
        m_debts[unitAddress()].values = s;
    }
    referenceSend(QStringLiteral("[1VP") + vE + QLatin1Char(']'));
    referenceSend(QStringLiteral("[1AP") + aE + QLatin1Char(']'));
    referenceSend(QStringLiteral("[1L6") + hex8(MaxCounter) + QLatin1Char(']'));
    referenceSend(QStringLiteral("[1L5") + hex8(-MaxCounter) + QLatin1Char(']'));
    if (R.fine)
        referenceSend(QStringLiteral("[1GX]"));
    return true;
}

// Phase 7 once the axis is back at its start: travel ends, scale and marks.
void ControlCenterCore::referenceEnd(double& phase)
{
    Referenzfahrt& R = m_reference;
    const auto owed = m_debts.find(unitAddress());
    const std::optional<ReferenceBackup> saved = owed != m_debts.end() ? owed->second.values : std::nullopt;
    const ReferenceBackup s = saved.value_or(ReferenceBackup{});
    if (saved) {
        referenceSend(QStringLiteral("[1VP") + s.vP + QLatin1Char(']'));
        referenceSend(QStringLiteral("[1AP") + s.aP + QLatin1Char(']'));
    }
    line_schlitten.colour = CarriageValid;
    Grenze_minus = R.Kante_minus;
    Grenze_plus = R.Kante_plus;
    const bool isRotary = drehantrieb == 1;
    // A side without a switch ends at its software limit: the box's value,
    // or the limit read at the start when the box holds no number.
    const auto applySoftwareLimit = [&](const kit::Control& box, const QString& savedText) {
        if (const std::optional<double> v = readNumberField(box.text, usesComma()))
            return limitToCounter(*v, Motorfaktor, isRotary);
        return savedText.isEmpty() ? 0.0 : hex_zu_wert24(savedText);
    };
    if (R.fine) {
        if (minusSwitch()) {
            Grenze_minus += R.Referenzschritt / 2;
            lb_ESM.visible = true;
        } else {
            Grenze_minus = applySoftwareLimit(text_SLM, s.l5);
            lb_ESM.visible = false;
        }
        if (plusSwitch())
            Grenze_plus -= R.Referenzschritt / 2;
    }
    lb_ESP.visible = true;
    if (R.fine && !plusSwitch()) {
        Grenze_plus = applySoftwareLimit(text_SLP, s.l6);
        lb_ESP.visible = false;
    }
    Messtischweg = std::fabs(Grenze_plus - Grenze_minus) / Motorfaktor;
    lb_messtischweg.text = formatMask(Messtischweg, Mask::Travel, usesComma());
    if (chooseAxis()) {
        m_env.store->setPositionM(Grenze_minus);
        m_env.store->setPositionP(Grenze_plus);
    }
    Grafikmassstab = (Grenze_plus - Grenze_minus) / double(PictureWidth - 30);
    if (saved) {
        referenceSend(QStringLiteral("[1L5") + s.l5 + QLatin1Char(']'));
        referenceSend(QStringLiteral("[1L6") + s.l6 + QLatin1Char(']'));
        m_debts.erase(unitAddress());
        setMark(0, hex_zu_wert24(s.l5));
        setMark(1, hex_zu_wert24(s.l6));
    }
    bus().senden_empfangen(protocol::Status, 0.2, protocol::Rejection::QueryStatus);
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
bool oneOf(const QString& antwort, std::initializer_list<QString> candidates)
{
    for (const QString& t : candidates)
        if (antwort == t)
            return true;
    return false;
}
}  // namespace

QString ControlCenterCore::referenceEcho(QChar moveKind, const QString& echoEnd) const
{
    return moveEcho(Fahrart2_Kennung, moveKind, echoEnd);
}

void ControlCenterCore::referencePoll()
{
    m_reference.Pollantwort = bus().senden_empfangen(protocol::Poll, 0, protocol::Rejection::Show);
}

// Stepping off a closed switch (`fromPlus`: the plus switch, in minus steps).
// True once the switch is open; until then every answered step takes the next.
bool ControlCenterCore::referenceClearSwitch(bool fromPlus)
{
    Referenzfahrt& R = m_reference;
    const QString doneEcho = referenceEcho(QLatin1Char('R'), QStringLiteral("!"));
    const QString halt = referenceEcho(QLatin1Char('R'), fromPlus ? QStringLiteral("?001A") : QStringLiteral("?0019"));
    referencePoll();
    if (!(oneOf(R.Pollantwort, {halt, doneEcho}) || R.Fahrantwort == doneEcho))
        return false;
    const std::optional<QString> z = referenceSwitch();
    if (!z)
        return false;
    R.Schalterzustand = *z;
    if (*z != QLatin1String("00")) {
        R.Fahrantwort = referenceRelative(!fromPlus);
        return false;
    }
    (fromPlus ? lb_ESP : lb_ESM).colour = LightGray;
    return true;
}

// High-resolution edge search on one side: steps towards the switch while it
// stays open, keeping each open position as that side's edge.
ControlCenterCore::EdgeStep ControlCenterCore::referenceEdge(bool plus, double& phase)
{
    Referenzfahrt& R = m_reference;
    const QString doneEcho = referenceEcho(QLatin1Char('R'), QStringLiteral("!"));
    const QString halt = referenceEcho(QLatin1Char('R'), plus ? QStringLiteral("?001A") : QStringLiteral("?0019"));
    referencePoll();
    if (!oneOf(R.Fahrantwort, {halt, doneEcho}) && !oneOf(R.Pollantwort, {halt, doneEcho}))
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
    Referenzfahrt& R = m_reference;
    if (R.fine) {
        referencePoll();
        if (!oneOf(R.Pollantwort, {QStringLiteral("[1GX!]"), QStringLiteral("[1GX?001D]")}))
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
        lb_ESM.colour = DarkYellow;
        phase = RefPhase::LeaveMinus;
    } else if (*z == QLatin1String("10")) {
        R.Fahrantwort = referenceRelative(false);
        lb_ESP.colour = DarkYellow;
        phase = RefPhase::LeavePlus;
    }
    // "11": both switches closed; asked again on the next tick.
}

void ControlCenterCore::referenceLeaveMinus(double& phase)
{
    if (!referenceClearSwitch(false))
        return;
    m_reference.Fahrantwort = referenceSend(QStringLiteral("[1FX]"));
    phase = RefPhase::ToPlus;
}

void ControlCenterCore::referenceToPlusSwitch(double& phase)
{
    Referenzfahrt& R = m_reference;
    referencePoll();
    if (R.Fahrantwort != QLatin1String("[1FX!]") && R.Pollantwort != QLatin1String("[1FX!]"))
        return;
    if (!R.fine) {
        const std::optional<double> p = referencePosition(phase);
        if (!p)
            return;
        R.Frei_plus = R.Kante_plus = *p;
    }
    lb_ESP.colour = Green;
    R.Fahrantwort = referenceRelative(false);
    phase = RefPhase::LeavePlus;
}

void ControlCenterCore::referenceLeavePlus(double& phase)
{
    Referenzfahrt& R = m_reference;
    if (!referenceClearSwitch(true))
        return;
    if (R.fine) {
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
        m_reference.Fahrantwort = referenceAbsolute(m_reference.Frei_plus);
        phase = RefPhase::BackFromPlus;
    }
}

void ControlCenterCore::referenceBackFromPlus(double& phase)
{
    Referenzfahrt& R = m_reference;
    const QString doneEcho = referenceEcho(QLatin1Char('A'), QStringLiteral("!"));
    const QString halt = referenceEcho(QLatin1Char('A'), QStringLiteral("?001A"));
    referencePoll();
    if (!oneOf(R.Fahrantwort, {halt, doneEcho}) && !oneOf(R.Pollantwort, {halt, doneEcho}))
        return;
    bus().senden_empfangen(protocol::Poll, 0, protocol::Rejection::Show);
    referenceMinusSide(phase);
}

// The minus side: to its switch, or straight back to the start without one.
void ControlCenterCore::referenceMinusSide(double& phase)
{
    Referenzfahrt& R = m_reference;
    if (minusSwitch()) {
        bus().clock().sleep(Pause);
        R.Fahrantwort = referenceSend(QStringLiteral("[1FY]"));
        lb_ESP.colour = LightGray;
        phase = RefPhase::ToMinus;
    } else {
        R.Fahrantwort = referenceAbsolute(R.Startposition);
        R.Schalterzustand = QStringLiteral("00");
        phase = RefPhase::Finish;
    }
}

void ControlCenterCore::referenceToMinusSwitch(double& phase)
{
    Referenzfahrt& R = m_reference;
    referencePoll();
    if (R.Fahrantwort != QLatin1String("[1FY!]") && R.Pollantwort != QLatin1String("[1FY!]"))
        return;
    lb_ESM.colour = Green;
    if (R.fine) {
        R.Fahrantwort = referenceRelative(true);
        phase = RefPhase::LeaveMinusFine;
    } else {
        const std::optional<double> p = referencePosition(phase);
        if (!p)
            return;
        R.Frei_minus = R.Kante_minus = *p;
        referenceAbsolute(R.Startposition);
        lb_ESM.colour = LightGray;
        phase = RefPhase::Finish;
    }
}

void ControlCenterCore::referenceLeaveMinusFine(double& phase)
{
    Referenzfahrt& R = m_reference;
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
    Referenzfahrt& R = m_reference;
    if (R.Schalterzustand != QLatin1String("00")) {
        bus().clock().sleep(Pause);
        R.Fahrantwort = referenceAbsolute(R.Startposition);
    }
    R.Schalterzustand = QStringLiteral("00");
    phase = RefPhase::Finish;
}

void ControlCenterCore::referenceFinish(double& phase)
{
    Referenzfahrt& R = m_reference;
    const std::initializer_list<QString> echoEnd{referenceEcho(QLatin1Char('A'), QStringLiteral("?0019")),
                                                 referenceEcho(QLatin1Char('A'), QStringLiteral("?001A")),
                                                 referenceEcho(QLatin1Char('A'), QStringLiteral("!"))};
    referencePoll();
    if (!oneOf(R.Fahrantwort, echoEnd) && !oneOf(R.Pollantwort, echoEnd))
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

void ControlCenterCore::dauerfahrt(int& targetPos)
{
    const auto finishRun = [this] {
        sl_dauer_Change(0);
        // No motion follows that would give the buttons back.
        Button_enable();
        m_env.enableAll();
    };
    if (protocol::replyStatus(antwort_erhalten) == protocol::ReplyStatus::Refused) {
        finishRun();
        return;
    }
    if (flagpollen != 0 || flagsenden != 0)
        return;
    const double d = Strecke;
    const auto absolut = [this](double counts) { return driveCommand(Fahrart2_Kennung, QLatin1Char('A'), counts); };
    std::optional<QString> cmdText;
    int nextTarget = targetPos == 1 ? 2 : 1;
    switch (FlagDauer) {
    case 1: cmdText = absolut(targetPos == 1 ? d : -d); break;
    case 2: cmdText = absolut(targetPos == 1 ? d : 0); break;
    case 3: cmdText = absolut(targetPos == 1 ? -d : 0); break;
    case 4: cmdText = targetPos == 1 ? QStringLiteral("[1FX]") : QStringLiteral("[1FY]"); break;
    case 5:
        if (targetPos == 1) {
            // The target grows each round: stop before it leaves the counter.
            cmdText = absolut((Dauerphase + 1) * d);
            if (cmdText)
                ++Dauerphase;
        } else {
            cmdText = absolut(0);
        }
        break;
    case 6:
        cmdText = QStringLiteral("[1GY]");
        nextTarget = 1;
        break;
    default: return;
    }
    if (!cmdText) {
        finishRun();
        showError(RangeError);
        return;
    }
    postCommand(*cmdText);
    targetPos = nextTarget;
}

// --- counter zeroing ---------------------------------------------------------------------------------

void ControlCenterCore::ZaehlerNullen()
{
    const QString r = bus().senden_empfangen(protocol::Position, 0, protocol::Rejection::Show);
    const std::optional<double> pos = replyValue(r, protocol::Position, 8);
    if (!pos) {
        // Without the position the travel ends cannot follow the new zero.
        lb_Fehler.text = QStringLiteral("[1PA]--->") + r;
        return;
    }
    const QString pr = bus().senden_empfangen(QStringLiteral("[1PR]"), 0, protocol::Rejection::Show);
    // The ends move only when the counter really was zeroed.
    if (!pr.startsWith(QLatin1String("[1PR!"))) {
        lb_Fehler.text = QStringLiteral("[1PR]--->") + pr;
        return;
    }
    Grenze_minus -= *pos;
    Grenze_plus -= *pos;
    if (Motorfaktor != 0) {
        lb_ESM.text = formatMask(Grenze_minus / Motorfaktor, Mask::Travel, usesComma());
        lb_ESP.text = formatMask(Grenze_plus / Motorfaktor, Mask::Travel, usesComma());
    }
    if (chooseAxis()) {
        m_env.store->setPositionM(Grenze_minus);
        m_env.store->setPositionP(Grenze_plus);
    }
}

// --- index capture --------------------------------------------------------------------------------------

void ControlCenterCore::indexsuche_starten()
{
    if (cmd_IndexSuche.colour == DarkYellow) {
        FlagIndexSuche = 0;
        postCommand(QStringLiteral("[1IS][0ST]"));
        lb_indexanzeige.text = QStringLiteral("Index");
        cmd_IndexSuche.colour = lb_indexanzeige.colour = Gray;
    } else if (cmd_IndexSuche.colour == Gray) {
        // Without the motor factor a found index cannot be shown, so the
        // search would poll for ever.
        if (Motorfaktor == 0 || !std::isfinite(Motorfaktor)) {
            showError(IndexFactorError, ParameterErrorTitle);
            stopFocus();
            return;
        }
        postCommand(QStringLiteral("[1IF]"));
        FlagIndexSuche = 1;
        cmd_IndexSuche.colour = lb_indexanzeige.colour = DarkYellow;
    } else if (cmd_IndexSuche.colour == Green) {
        lb_indexanzeige.text = QStringLiteral("Index");
        cmd_IndexSuche.colour = lb_indexanzeige.colour = Gray;
        m_indexCounter.reset();
    }
    stopFocus();
}

void ControlCenterCore::index_routine()
{
    antwort_erhalten = bus().senden_empfangen(QStringLiteral("[1IA]"), 0, protocol::Rejection::Show);
    if (antwort_erhalten == keine_Antwort)
        FlagIndexSuche = 0;
    const std::optional<double> counts = replyValue(antwort_erhalten, QStringLiteral("[1IA]"), 8);
    if (!counts || Motorfaktor == 0) {
        lb_indexanzeige.text = QStringLiteral("Index?");
    } else {
        FlagIndexSuche = 0;
        m_indexCounter = *counts;
        lb_indexanzeige.text = indexText(*counts / Motorfaktor, Anzeigeaufloesung, usesComma());
        cmd_IndexSuche.colour = lb_indexanzeige.colour = Green;
        bus().senden_empfangen(QStringLiteral("[1IS]"), 0, protocol::Rejection::Show);
        bus().senden_empfangen(protocol::Status, 0.2, protocol::Rejection::QueryStatus);
    }
    lb_Fehler.text = QStringLiteral("[1IA]--->") + antwort_erhalten;
}
