#include "StageSimCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Format.h"
#include "Guarded.h"
#include "globale_Funktionen.h"
#include "Protocol.h"

#include <QScopedValueRollback>

#include <cmath>

// Field of view 24 mm / objective number; the grid spacing is the number
// × 10 twips. "1000" keeps the half and quarter of its own field, cut to four
// decimals.
const std::array<StageSimCore::Objektiv, 10> StageSimCore::Objektivtabelle{{
    {"1000", 0.026666666, 10000, 0.0133, 0.0066},
    {"600", 0.04, 6000, 0.02, 0.01},
    {"300", 0.08, 3000, 0.04, 0.02},
    {"200", 0.12, 2000, 0.06, 0.03},
    {"100", 0.24, 1000, 0.12, 0.06},
    {"40", 0.6, 400, 0.3, 0.15},
    {"20", 1.2, 200, 0.6, 0.3},
    {"10", 2.4, 100, 1.2, 0.6},
    {"2,5", 9.6, 25, 4.8, 2.4},
    {"1,0", 24, 10, 12, 6},
}};

const std::array<const char*, StageSimCore::Scales> StageSimCore::ScaleNames{
    "Label4", "LabelXT", "LabelXM", "LabelXH", "LabelX", "LabelY", "LabelYH", "LabelYM", "LabelYT", "Label0"};

namespace {
const QString StartTimer = QStringLiteral("Start Timer");
const QString StartFast = QStringLiteral("Start Fast");
const QString Stop = QStringLiteral("Stop");
}  // namespace

StageSimCore::StageSimCore(StageSimEnv env) : m_env(std::move(env))
{
    const StageSimEnv defaults;
    if (!m_env.usesComma)
        m_env.usesComma = defaults.usesComma;
    if (!m_env.comMotflag)
        m_env.comMotflag = defaults.comMotflag;
    if (!m_env.holdMainLoop)
        m_env.holdMainLoop = defaults.holdMainLoop;

    for (const Objektiv& o : Objektivtabelle)
        Combo1.addItem(QString::fromLatin1(o.item));
    Combo1.text = QStringLiteral("100");
    const QStringList axes{"01", "02", "03", "04", "05", "07", "08", "09", "0A", "0B", "0C", "0D", "0E", "0F"};
    for (kit::ListControl& l : cb__Achsenauswahl)
        l.items = axes;
    cb_messen.text = StartTimer;
    cb_messenschnell.text = StartFast;
    lb_cc_1.text = lb_cc_2.text = QStringLiteral("00");
    for (kit::Control& s : scaleLabels)
        s.text = QStringLiteral("0");
}

void StageSimCore::Form_Load()
{
    Option1_Click(1);
    schiebeflag = 0;
    cb__Achsenauswahl[0].listIndex = 0;
    cb__Achsenauswahl[1].listIndex = 1;
}

void StageSimCore::Form_Unload()
{
    flagaktiv = 0;
    if (m_fast || cb_messenschnell.checked)
        fastStop();
    if (cb_messen.checked)
        timerStop();
}

void StageSimCore::Option1_Click(int index)
{
    Option1[std::size_t(index)].checked = true;
    Option1[std::size_t(1 - index)].checked = false;
    modeOpen = true;
    flagCC = 3;
    joystickart = index == 0 ? QStringLiteral("J") : QStringLiteral("j");
}

void StageSimCore::setCombo1ListIndex(int index)
{
    Combo1.listIndex = index;
    if (index >= 0 && index < Combo1.items.size())
        Combo1.text = Combo1.items.at(index);
    Combo1_Click();
    // The menu chooses the objective from outside the window's own events:
    // the opened window shows the grid and labels at once.
    if (m_view.render)
        m_view.render();
}

void StageSimCore::Combo1_Click()
{
    gridBox.clear();
    const int i = Combo1.listIndex;
    if (i >= 0 && i < int(Objektivtabelle.size())) {
        const Objektiv& o = Objektivtabelle[std::size_t(i)];
        sichtfeld = o.sichtfeld;
        linien(o.spacing);
        skalenversatz = {o.half, o.quarter, 0, -o.quarter, -o.half, -o.half, -o.quarter, 0, o.quarter, o.half};
    }
    rechnelabels();
}

void StageSimCore::linien(double d)
{
    if (!(d > 0))
        return;
    const double w = Field, h = Field;
    const double n = w / d;
    const int upTo = int(std::nearbyint(n));  // halves to even
    const auto drawTick = [this](double x1, double y1, double x2, double y2) {
        if (x1 != x2 || y1 != y2)
            gridBox.append(QLineF(x1, y1, x2, y2));
    };
    for (int i = 0; i <= upTo; ++i) {
        double p = i * d;
        if (n == 0.6)
            p = 0.6 * d;
        if (float(p) > float(w))
            continue;
        drawTick(w - p, 0, w, p);
        drawTick(w - p, 0, 0, h - p);
        drawTick(0, p, h - p, h);
        drawTick(w, p, p, h);
    }
}

void StageSimCore::rechnelabels()
{
    for (int i = 0; i < Scales; ++i) {
        const double ref = i <= LabelX ? refX : refY;
        scaleLabels[std::size_t(i)].text =
            formatMask(skalenversatz[std::size_t(i)] + ref, QStringLiteral("##0.000"), m_env.usesComma());
    }
}

void StageSimCore::selectAxis(int axis)
{
    const kit::ListControl& axisList = cb__Achsenauswahl[std::size_t(axis)];
    m_env.store->setIndex(axisList.listIndex);
    m_env.bus->einheit_waehlen(axisList.selected());
}

void StageSimCore::pb_gitter_MouseDown()
{
    for (int axis = 0; axis < 2; ++axis) {
        selectAxis(axis);
        antwortPA = m_env.bus->senden_empfangen(protocol::Position, 0, protocol::Rejection::Show);
        antwortPA = antwortPA.mid(5, 8);
        const double motorFactorValue = m_env.store->indexValid() ? m_env.store->Motfak() : 0;
        // Without a motor factor the old reference stays.
        if (motorFactorValue == 0 || !std::isfinite(motorFactorValue))
            continue;
        (axis == 0 ? refX : refY) = hex_zu_wert24(antwortPA) / motorFactorValue;
    }
    rechnelabels();
}

bool StageSimCore::readAxis(int axis, ReadMode readMode)
{
    selectAxis(axis);
    const QString pa = protocol::Position, kw = QStringLiteral("[1kw]");
    QString r;
    if (readMode == ReadMode::Single) {
        antwortPA = m_env.bus->senden_empfangen(pa, 0, protocol::Rejection::Show);
        r = m_env.bus->senden_empfangen(kw, 0, protocol::Rejection::Show);
    } else {
        r = m_env.bus->senden_empfangen(kw, 0, protocol::Rejection::Show);
        antwortPA = m_env.bus->senden_empfangen(pa, 0, protocol::Rejection::Show);
    }
    const QString sign = r.mid(13, 2) == QLatin1String("00") ? QString() : QStringLiteral("-");
    double v = hex_zu_wert24(r.mid(15, 2));
    if (v > 127)
        v -= 255;
    const bool showWindow = readMode == ReadMode::Single ? schiebeflag != barCode(axis) : schiebeflag == 0;
    if (showWindow)
        barLabel(axis).text = sign + QString::number(v);

    antwortPA = antwortPA.mid(5, 8);
    const double motorFactorValue = m_env.store->indexValid() ? m_env.store->Motfak() : 0;
    if (motorFactorValue == 0 || !std::isfinite(motorFactorValue))
        return false;
    (axis == 0 ? posX : posY) = hex_zu_wert24(antwortPA) / motorFactorValue;
    return true;
}

void StageSimCore::setSpot()
{
    const double xs = (posX - refX) * massstab + offsetX;
    const double ys = -massstab * (posY - refY);
    shape1Left = Middle - xs - Spot / 2.0;
    shape1Top = Middle - ys - Spot / 2.0;
}

bool StageSimCore::runPass(ReadMode readMode)
{
    if (!readAxis(0, readMode) || !readAxis(1, readMode))
        return false;
    setSpot();
    return true;
}

void StageSimCore::abfragen()
{
    if (flagaktiv == 0) {
        // No field of view: the pass ends before polling starts.
        if (sichtfeld == 0)
            return;
        massstab = Field / sichtfeld;
        offsetX = Field - sichtfeld * massstab;
        flagaktiv = 1;
    }
    if (cb_messenschnell.checked) {
        // The fast loop: the window runs its rounds from its event loop.
        m_fast = true;
        return;
    }
    runPass(ReadMode::Single);
    if (m_view.render)
        m_view.render();
}

void StageSimCore::fastStep()
{
    // A box opened inside a round lets the loop's timer fire again: that
    // round returns at once instead of polling inside the first.
    if (!m_fast || m_inStep)
        return;
    const QScopedValueRollback<bool> inStep(m_inStep, true);
    if (!cb_messenschnell.checked) {
        fastStop();
        return;
    }
    bool weiter = false;
    kit::guarded("Mikroskop_Simulator fast loop", [this, &weiter] { weiter = runPass(ReadMode::FastSpeed); });
    if (!weiter)
        fastStop();
}

void StageSimCore::sende()
{
    const QString axisNames[2] = {cb__Achsenauswahl[0].selected(), cb__Achsenauswahl[1].selected()};
    if (modeOpen) {
        modeOpen = false;
        for (int axis = 0; axis < 2; ++axis) {
            m_env.bus->einheit_waehlen(axisNames[axis]);
            m_env.bus->senden_empfangen(protocol::Stop, 0, protocol::Rejection::Show);
            m_env.bus->senden_empfangen(QStringLiteral("[1C") + joystickart + QLatin1Char(']'), 0,
                                        protocol::Rejection::Show);
        }
        m_env.comMotflag();
    }
    for (int axis = 0; axis < 2; ++axis) {
        if (std::optional<QString> wert = std::exchange(ccwert[std::size_t(axis)], std::nullopt)) {
            m_env.bus->einheit_waehlen(axisNames[axis]);
            m_env.bus->senden_empfangen(QStringLiteral("[1Cc") + *wert + QLatin1Char(']'), 0,
                                        protocol::Rejection::Show);
        }
    }
}

void StageSimCore::Scroll_Scroll(int axis)
{
    schiebeflag = barCode(axis);
    flagCC = barCode(axis);
    const int v = bar(axis).value;
    barLabel(axis).text = QString::number(v);
    ccwert[std::size_t(axis)] = hex2(v).right(2);
}

void StageSimCore::Scroll_Change(int axis)
{
    schiebeflag = 0;
    flagCC = barCode(axis);
    bar(axis).value = 0;
    barLabel(axis).text = QString::number(bar(axis).value);
    ccwert[std::size_t(axis)] = QStringLiteral("00");
}

void StageSimCore::Scroll_KeyUp(int axis)
{
    if (bar(axis).value != 0) {
        bar(axis).value = 0;
        Scroll_Change(axis);
    }
}

void StageSimCore::controlsFree(bool freeNow, kit::Control& otherButton)
{
    Combo1.enabled = freeNow;
    cb__Achsenauswahl[0].enabled = cb__Achsenauswahl[1].enabled = freeNow;
    otherButton.enabled = freeNow;
}

void StageSimCore::cb_messen_MouseUp(int button)
{
    if (button == 1 && cb_messen.checked) {
        controlsFree(false, cb_messenschnell);
        cb_messen.text = Stop;
        abfragen();
    } else {
        timerStop();
    }
}

void StageSimCore::timerStop()
{
    controlsFree(true, cb_messenschnell);
    flagaktiv = 0;
    cb_messen.checked = false;
    cb_messen.text = StartTimer;
}

void StageSimCore::cb_messenschnell_MouseUp(int button)
{
    if (button == 1 && cb_messenschnell.checked) {
        controlsFree(false, cb_messen);
        cb_messenschnell.text = Stop;
        m_hold = m_env.holdMainLoop();
        abfragen();
        // Polling could not start (no field of view): back to idle.
        if (!m_fast)
            fastStop();
    } else {
        fastStop();
    }
}

void StageSimCore::fastStop()
{
    m_fast = false;
    m_hold.release();
    controlsFree(true, cb_messen);
    flagaktiv = 0;
    cb_messenschnell.checked = false;
    cb_messenschnell.text = StartFast;
}
