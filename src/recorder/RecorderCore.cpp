#include "RecorderCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Clock.h"
#include "Format.h"
#include "OptionFlags.h"
#include "Protocol.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <QPainter>
#include <QScopedValueRollback>

#include <cmath>

const std::array<const char*, RecorderCore::GaugeCount> RecorderCore::GaugeNames{"toviv_w", "toviv_k", "toviv_power",
                                                                                 "toviv_neg", "toviv_pos"};

namespace {
const QString Start = QStringLiteral("Start");
const QString Stop = QStringLiteral("Stop");

// Leading hexadecimal digits of a value field as an unsigned number; no
// digits read as 0.
double hexField(const QString& reply, int from, int length)
{
    const QString field = reply.mid(from, length);
    double v = 0;
    for (QChar c : field) {
        const int d = QString(c).toInt(nullptr, 16);
        if (!c.isDigit() && !(c.toUpper() >= QLatin1Char('A') && c.toUpper() <= QLatin1Char('F')))
            break;
        v = v * 16 + d;
    }
    return v;
}

bool locked(const QString& reply)
{
    return protocol::replyStatus(reply) == protocol::ReplyStatus::Refused || reply == QLatin1String("1");
}

// "#0.000##": three to five decimals.
QString threeToFive(double v, bool usesComma)
{
    QString s = formatMask(v, QStringLiteral("#0.00000"), usesComma);
    for (int i = 0; i < 2 && s.endsWith(QLatin1Char('0')); ++i)
        s.chop(1);
    return s;
}
}  // namespace

RecorderCore::RecorderCore(RecorderEnv env) : m_env(std::move(env))
{
    const RecorderEnv defaults;
    if (!m_env.usesComma)
        m_env.usesComma = defaults.usesComma;
    if (!m_env.holdMainLoop)
        m_env.holdMainLoop = defaults.holdMainLoop;
    cb_Messung.text = Check1.text = Start;
    cb_an_aus.text = QStringLiteral("Loop");
    cb_drift.text = QStringLiteral("Drift");
    cb_wP.text = QStringLiteral("wP");
    cb_tw.text = QStringLiteral("TW");
    cb_K8.text = QStringLiteral("K8");
    cb_PC.text = QStringLiteral("PC");
    cb_eW.text = QStringLiteral("eW");
    cb_eW.checked = true;
    cmd_clear.text = cmd_clear1.text = QStringLiteral("Clear");
    cmd_exit.text = QStringLiteral("Exit");
    text_plus.text = QStringLiteral("80");
    text_minus.text = QStringLiteral("-80");
    text_faktor.text = QStringLiteral("1");
    text_faktor2.text = QStringLiteral("0");
    tb_drift.text = QStringLiteral("8");
    lb_mitte.text = QStringLiteral("0");
    Label8.text = QStringLiteral("-00.0000");
    Label9.text = QStringLiteral("-00.00");
    Label10.text = QStringLiteral("00");
    lb_farbeEW.items = {QStringLiteral("schwarz"), QStringLiteral("rot"), QStringLiteral("grün"),
                        QStringLiteral("blau")};
    for (Point& p : lb_punkte)
        p.label.text = QStringLiteral("0");
    pb_graph = QImage(GraphWidth, GraphHeight, QImage::Format_RGB32);
    pb_graph.fill(bgrColor(Background));
}

void RecorderCore::setView(View view)
{
    m_view = std::move(view);
}

bool RecorderCore::twelveBit() const
{
    return m_env.options && m_env.options->on(OptionFlags::NewMotorFactor);
}

double RecorderCore::toNumber(const QString& text, bool* ok) const
{
    QString t = text.trimmed();
    if (m_env.usesComma())
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    const double v = t.toDouble(ok);
    if (ok && !std::isfinite(v))
        *ok = false;
    return v;
}

QString RecorderCore::numberText(double v) const
{
    QString s = QString::number(v, 'g', 15);
    if (m_env.usesComma())
        s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

double RecorderCore::graphLeft() const
{
    return -double(HScroll1.value) * (GraphWidth - containerWidth) / GraphWidth;
}

// --- Scales and labels -------------------------------------------------------------------------

bool RecorderCore::skalieren()
{
    const double wc = containerWidth, h = GraphHeight;
    bool ok1 = false, ok2 = false;
    const double plus = toNumber(text_plus.text, &ok1), minus = toNumber(text_minus.text, &ok2);
    if (!ok1 || !ok2 || plus == minus)
        return false;
    const double isRotary = m_env.store && m_env.store->indexValid() ? m_env.store->drehantrieb() : 0;
    if (isRotary == 1) {
        x_faktor = wc / (plus / 360 - minus / 360);
        x_offset = wc - plus * x_faktor / 360;
    } else if (isRotary == 0) {
        x_faktor = wc / (plus - minus);
        x_offset = wc - plus * x_faktor;
    }
    bool ok = false;
    const double f = toNumber(text_faktor.text, &ok);
    if (!ok || f == 0)
        return false;
    const double fullSpan = twelveBit() ? -4096 : -255, lowerBound = twelveBit() ? -2047 : -127;
    y_faktor_ew = h / (fullSpan / f);
    y_offset_ew = h - y_faktor_ew * lowerBound / f;
    y_faktor_tw = h / (fullSpan / f);
    y_offset_tw = h - y_faktor_ew * lowerBound / f;
    y_faktor_drift = h / (-16 / f);
    y_offset_drift = h - y_faktor_drift * (-8) / f;
    const double t = toNumber(tb_drift.text, &ok);
    if (!ok || t == 0)
        return false;
    x_faktor_zeit = wc / (2 * t);
    y_faktor_v = h / (-255 / f);
    y_offset_v = h - y_faktor_v * (-127) / f;
    y_faktor_pc = h / (-255 / f);
    y_offset_pc = h - y_faktor_pc * (-127) / f;
    return true;
}

void RecorderCore::beschriften()
{
    if (x_faktor == 0)
        return;
    const double wc = containerWidth, l = graphLeft();
    const auto p = [&](double vx) {
        return formatMask((vx - l - (GraphWidth / 2.0 - wc / 2) - x_offset) / x_faktor, QStringLiteral("##0.0000"),
                          m_env.usesComma());
    };
    Label1.text = p(0);
    lb_mitte.text = p(wc / 2);
    Label2.text = p(wc);
}

void RecorderCore::labelMinMax()
{
    if (x_faktor == 0)
        return;
    const double middle = GraphWidth / 2.0 - containerWidth / 2.0;
    lb_max.text =
        formatMask((GraphWidth - x_offset - middle) / x_faktor, QStringLiteral("##0.0000"), m_env.usesComma());
    lb_min.text = formatMask((-x_offset - middle) / x_faktor, QStringLiteral("##0.0000"), m_env.usesComma());
}

void RecorderCore::HScroll1_Change()
{
    beschriften();
}

void RecorderCore::linien()
{
    QPainter p(&pb_graph);
    for (int i = 0; i <= 16; ++i) {
        if (i == 1 || i == 15)
            continue;
        p.setPen(i == 8 ? Qt::black : bgrColor(Gray));
        p.drawLine(0, 17 * i, GraphWidth, 17 * i);
    }
    p.setPen(Qt::black);
    p.drawLine(GraphWidth / 2, 0, GraphWidth / 2, GraphHeight);
}

// --- Lifecycle --------------------------------------------------------------------------------------

void RecorderCore::Form_Load(int windowWidth)
{
    containerWidth = std::max(1, windowWidth - 66);
    skalieren();
    HScroll1.value = GraphWidth / 2;
    HScroll1_Change();
    labelMinMax();
    linien();
    lb_farbeEW.listIndex = 0;
}

void RecorderCore::Form_Activate()
{
    if (an_aus == 0)
        an_aus = 1;
    // The control center it is bound to becomes the current one; before a
    // binding (or after that center closed) the current one stays.
    if (m_env.registry && m_env.registry->CC.item(CCIndex))
        m_env.registry->CC_Aktivieren(CCIndex);
    const bool b12 = twelveBit();
    toviv[Toviv_pos].max = b12 ? 2047 : 127;
    toviv[Toviv_pos].min = b12 ? 1791 : 113;
    toviv[Toviv_power].max = b12 ? 1790 : 112;
    toviv[Toviv_power].min = b12 ? -1790 : -112;
    toviv[Toviv_neg].max = b12 ? -1791 : -113;
    toviv[Toviv_neg].min = b12 ? -2048 : -128;
    toviv[Toviv_w].min = 0;
    toviv[Toviv_w].max = 255;
    toviv[Toviv_k].min = -128;
    toviv[Toviv_k].max = 127;
}

void RecorderCore::Form_Unload()
{
    if (cb_Messung.checked || m_looping)
        stopRecording();
    cb_Messung.checked = false;
    FlagEW = 0;
    an_aus = 0;
}

// --- Run control -----------------------------------------------------------------------------------

void RecorderCore::cb_Messung_MouseUp()
{
    if (cb_Messung.checked) {
        driftmerker = 0;
        cb_Messung.text = Stop;
        text_minus.enabled = text_plus.enabled = cb_an_aus.enabled = false;
        FlagEW = 0;
        if (cb_an_aus.checked)
            m_hold = m_env.holdMainLoop();
        zeichnen();
    } else {
        stopRecording();
    }
}

void RecorderCore::stopRecording()
{
    m_looping = false;
    m_stop888 = false;
    m_hold.release();
    cb_Messung.checked = false;
    cb_Messung.text = Start;
    FlagEW = 3;
    text_minus.enabled = text_plus.enabled = cb_an_aus.enabled = true;
    HScroll1.value = int(std::nearbyint(HScroll1.max / 2.0));
    HScroll1_Change();
}

void RecorderCore::cmd_exit_Click()
{
    FlagEW = 0;
    cb_Messung.checked = false;
    cb_Messung_MouseUp();
    if (m_view.hideView)
        m_view.hideView();
}

void RecorderCore::cmd_clear_Click()
{
    pb_graph.fill(bgrColor(Background));
    linien();
    for (Point& p : lb_punkte) {
        p.left = PointParkLeft;
        p.top = PointParkTop;
        p.label.text.clear();
    }
}

void RecorderCore::abfragen()
{
    // A box opened inside a pass lets the main loop tick again: that tick
    // must not start a second pass inside the first.
    if (m_inPass)
        return;
    zeichnen();
}

void RecorderCore::zeichnen()
{
    if (FlagEW == 0) {
        skalieren();
        x_vor = 0;
        y_ew_vor = 0;
        hasPreviousPoint = false;
        sperre_wp = sperre_tw = sperre_k8 = sperre_pc = sperre_ew = 0;
        FlagEW = 1;
    }
    if (cb_an_aus.checked) {
        // The window runs the rounds from its event loop.
        m_looping = cb_Messung.checked;
        return;
    }
    runPass(true);
    if (m_view.render)
        m_view.render();
}

void RecorderCore::loopStep()
{
    if (!m_looping || m_inPass)
        return;
    const QScopedValueRollback<bool> inPass(m_inPass, true);
    if (!cb_Messung.checked) {
        stopRecording();
        return;
    }
    if (IControlCenter* cc = m_env.registry ? m_env.registry->currentControlCenter() : nullptr)
        cc->Aktualisieren();
    runPass(false);
}

// --- The pass ----------------------------------------------------------------------------------------

bool RecorderCore::kanal(const kit::Control& box, int& lockFlag, const QString& cmdText, QString& antwort, bool loop888)
{
    if (!box.checked || lockFlag != 0)
        return false;
    antwort = m_env.bus->senden_empfangen(cmdText, 0, protocol::Rejection::Show);
    if (loop888 && antwort == QLatin1String("888")) {
        cb_Messung.checked = false;
        m_stop888 = true;
    }
    if (locked(antwort))
        lockFlag = 1;
    return true;
}

void RecorderCore::arm()
{
    driftmerker = 1;
    drift_pa = hex_zu_wert24(m_env.bus->senden_empfangen(protocol::Position, 0, protocol::Rejection::Show).mid(5, 8));
    start_drift = m_env.clock->now();
    y_drift_vor = y_drift;
    x_zeitachse_vor = x_zeitachse;
}

void RecorderCore::startDrift(double pa)
{
    driftmerker = 1;
    drift_pa = pa;
    start_drift = m_env.clock->now();
    y_drift_vor = y_drift;
    x_zeitachse_vor = x_zeitachse;
}

void RecorderCore::drawStroke(double x1, double y1, double x2, double y2, quint32 rgbColor, bool ownColor)
{
    QPainter p(&pb_graph);
    p.setPen(ownColor ? bgrColor(rgbColor) : QColor(Qt::black));
    p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

double RecorderCore::ewValue(const QString& reply, bool twelveBit, int offset)
{
    if (twelveBit) {
        const double raw = hexField(reply, 5, 3);
        return raw > 2047 ? raw - 4096 - offset : raw + offset;
    }
    const double raw = hexField(reply, 5, 2);
    return raw > 127 ? raw - 256 - offset : raw + offset;
}

int RecorderCore::ewOffset(const QString& text, bool usesComma)
{
    // A 16-bit integer, rounded to the nearest (halves to even) as typed.
    QString t = text.trimmed();
    if (usesComma)
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok && std::fabs(v) < 32767.5 ? int(std::nearbyint(v)) : 0;
}

double RecorderCore::twValue(const QString& reply)
{
    const double v = hexField(reply, 5, 4);
    return v > 32767 ? v - 65536 : v;
}

double RecorderCore::k8Value(const QString& reply)
{
    const double v = hexField(reply, 5, 4);
    return v > 127 ? v - 256 : v;
}

double RecorderCore::pcValue(const QString& reply)
{
    return twValue(reply);
}

double RecorderCore::pcTrackValue(const QString& reply)
{
    const double v = hexField(reply, 5, 2);
    return v > 127 ? v - 256 : v;
}

std::array<int, 3> RecorderCore::splitValue(double wert, bool twelveBit)
{
    const int clampLimit = twelveBit ? 1789 : 111;
    const int w = int(std::lround(wert));
    if (w < -clampLimit)
        return {-clampLimit, w, 0};
    if (w > clampLimit)
        return {clampLimit, 0, w};
    return {w, 0, 0};
}

bool RecorderCore::runPass(bool proTick)
{
    const QScopedValueRollback<bool> inPass(m_inPass, true);
    BusTransport& bus = *m_env.bus;
    IControlCenter* cc = m_env.registry ? m_env.registry->currentControlCenter() : nullptr;
    const QString unitAddress = cc ? cc->chosenAddress() : QString();
    // 1-2: the unit, and the latches back to 0 when it changed.
    if (proTick)
        bus.einheit_waehlen(unitAddress);
    if (cc && m_env.store)
        m_env.store->setIndex(cc->addressesIndex());
    const QString choice = protocol::selection(unitAddress);
    if (choice != auswahl_vor)
        sperre_wp = sperre_tw = sperre_k8 = sperre_pc = sperre_ew = 0;
    auswahl_vor = choice;

    // 3: position and velocity.
    antwort_pa = bus.senden_empfangen(protocol::Position, 0, protocol::Rejection::Show);
    const double nowSeconds = m_env.clock->now();
    delta_t = nowSeconds - zeit_vor;
    zeit_vor = nowSeconds;
    antwort_pa = antwort_pa.mid(5, 8);
    const double motorFactorValue = m_env.store && m_env.store->indexValid() ? m_env.store->Motfak() : 0;
    if (motorFactorValue != 0 && std::isfinite(motorFactorValue))
        pos_ist = hex_zu_wert24(antwort_pa) / motorFactorValue;
    if (delta_t != 0)
        lb_istV.text = formatMask((pos_ist - pos_vor) / delta_t, QStringLiteral("#0.0000"), m_env.usesComma()) +
                       QStringLiteral(" mm/s");
    pos_vor = pos_ist;
    const double x_ist = x_faktor * pos_ist + x_offset + GraphWidth / 2.0 - containerWidth / 2.0;

    // 4-5: gain and actual velocity.
    if (kanal(cb_wP, sperre_wp, QStringLiteral("[1wP]"), antwort_wp, true))
        toviv[Toviv_w].value = int(hexField(antwort_wp, 5, 2));
    if (kanal(cb_tw, sperre_tw, QStringLiteral("[1TW]"), antwort_tw, true)) {
        wert_tw = twValue(antwort_tw);
        y_tw = y_faktor_tw * wert_tw + y_offset_tw;
    }

    // 6-7: joystick rest and the drift trace.
    if (cb_drift.checked) {
        const QString in = bus.senden_empfangen(protocol::Inputs, 0, protocol::Rejection::Show);
        const QString code = in.mid(11, 2);
        // Without a joystick code no "[1kJ]" goes out, and its character 15
        // is missing: the axis counts as resting, which arms a drift run.
        QString kj;
        if (code == QLatin1String("16") || code == QLatin1String("0C"))
            kj = bus.senden_empfangen(QStringLiteral("[1kJ]"), 0, protocol::Rejection::Show);
        const QString c = kj.mid(14, 1);
        if (c == QLatin1String("1") || c.isEmpty() || !c.at(0).isDigit()) {
            if (driftmerker == 0)
                arm();
        } else {
            driftmerker = 0;
        }
        const double t = m_env.clock->now() - start_drift;
        const double pa =
            hex_zu_wert24(bus.senden_empfangen(protocol::Position, 0, protocol::Rejection::Show).mid(5, 8));
        y_drift = -y_faktor_drift * (drift_pa - pa) + y_offset_drift;
        x_zeitachse = t * x_faktor_zeit + x_ist;
        if (driftmerker == 2 && y_drift != y_drift_vor) {
            if (zeit_index >= 0 && zeit_index < Times)
                lb_zeit[std::size_t(zeit_index)].text =
                    formatMask(t, QStringLiteral("##0.0"), m_env.usesComma()) + QLatin1Char('s');
            ++zeit_index;
        }
    }

    // 8-10: position error, feed-forward and command output.
    if (kanal(cb_K8, sperre_k8, QStringLiteral("[1K8]"), antwort_k8, true)) {
        const double v = k8Value(antwort_k8);
        toviv[Toviv_k].value = int(v);
        y_k8 = y_faktor_pc * v + y_offset_pc;
    }
    if (kanal(cb_PC, sperre_pc, QStringLiteral("[1PC]"), antwort_pc, false)) {
        double n = pcValue(antwort_pc);
        if (!twelveBit()) {
            const double vmin = m_env.store && m_env.store->indexValid() ? m_env.store->vmin() : 0;
            n = n * vmin / 256;
        }
        lb_v.text = threeToFive(n, m_env.usesComma()) + QStringLiteral(" mm/s");
        y_pc = y_faktor_pc * pcTrackValue(antwort_pc) + y_offset_pc;
    }
    if (kanal(cb_eW, sperre_ew, QStringLiteral("[1eW]"), antwort_ew, true)) {
        const bool b12 = twelveBit();
        wert_ew = ewValue(antwort_ew, b12, ewOffset(text_faktor2.text, m_env.usesComma()));
        const auto valueParts = splitValue(wert_ew, b12);
        toviv[Toviv_power].value = valueParts[0];
        toviv[Toviv_neg].value = valueParts[1];
        toviv[Toviv_pos].value = valueParts[2];
    }
    const double y_ew = y_faktor_ew * wert_ew + y_offset_ew;

    // 12-14: plot one segment per trace, or restart the traces here.
    const double h = GraphHeight;
    const auto insidePlot = [h](double y) { return y > 0 && y < h; };
    const bool draws = hasPreviousPoint && std::fabs(x_ist - x_vor) <= 3000 && x_ist >= 0 && x_ist <= GraphWidth;
    if (draws) {
        if (insidePlot(y_ew)) {
            if (cb_eW.checked) {
                const int rgbColor = lb_farbeEW.listIndex;
                const quint32 colors[] = {0, Red, Green, Blue};
                drawStroke(x_vor, y_ew_vor, x_ist, y_ew, colors[std::clamp(rgbColor, 0, 3)],
                           rgbColor > 0 && rgbColor <= 3);
            }
            y_ew_vor = y_ew;
        }
        if (insidePlot(y_pc)) {
            if (cb_PC.checked)
                drawStroke(x_vor, y_pc_vor, x_ist, y_pc, Red, true);
            y_pc_vor = y_pc;
        }
        if (insidePlot(y_k8)) {
            if (cb_K8.checked)
                drawStroke(x_vor, y_k8_vor, x_ist, y_k8, Blue, true);
            y_k8_vor = y_k8;
        }
        if (insidePlot(y_tw)) {
            if (cb_tw.checked)
                drawStroke(x_vor, y_tw_vor, x_ist, y_tw, Magenta, true);
            y_tw_vor = y_tw;
        }
        if (insidePlot(y_drift) && driftmerker > 0) {
            if (cb_drift.checked && driftmerker == 2)
                drawStroke(x_zeitachse_vor, y_drift_vor, x_zeitachse, y_drift, Red, true);
            y_drift_vor = y_drift;
            if (driftmerker == 1) {
                driftmerker = 2;
                zeit_index = 0;
                for (kit::Control& z : lb_zeit)
                    z.text = QStringLiteral("0");
            }
        }
        line_Pos = x_ist;
        beschriften();
        HScroll1.value = int(std::nearbyint(std::clamp(x_ist, 0.0, double(GraphWidth))));
        HScroll1_Change();
        x_vor = x_ist;
        x_zeitachse_vor = x_zeitachse;
    } else {
        y_ew_vor = y_ew;
        x_vor = x_ist;
        x_zeitachse_vor = x_zeitachse;
        y_pc_vor = y_pc;
        y_k8_vor = y_k8;
        y_tw_vor = y_tw;
        y_drift_vor = y_drift;
        hasPreviousPoint = true;
    }
    if (m_stop888)
        stopRecording();
    return draws;
}

// --- Read-outs and inputs ------------------------------------------------------------------------------

void RecorderCore::pb_graph_MouseMove(double x, double y)
{
    const bool k = m_env.usesComma();
    if (x_faktor == 0)
        return;
    Label8.text = formatMask((x - (GraphWidth / 2.0 - containerWidth / 2.0) - x_offset) / x_faktor,
                             QStringLiteral("##0.000000"), k);
    if (y_faktor_ew == 0)
        return;
    Label10.text = formatMask((y - y_offset_ew) / y_faktor_ew / 127.5 * 100, QStringLiteral("00.00"), k);
    if (y_faktor_v == 0)
        return;
    Label9.text = formatMask((y - y_offset_v) / y_faktor_v, QStringLiteral("##0.00"), k);
}

void RecorderCore::Form_MouseDown(int button, int x, int y, int windowWidth)
{
    if (button != 2)
        return;
    Point& p = lb_punkte[std::size_t(punkt_index)];
    p.label.text = QStringLiteral("PA=") + Label8.text + QStringLiteral(", eW=") + Label10.text;
    const int widthPx = m_view.textWidth ? m_view.textWidth(p.label.text) : int(p.label.text.size()) * 6;
    p.top = y;
    p.left = x < windowWidth / 2.0 ? x : x - widthPx;
    punkt_index = punkt_index + 1 > 30 ? 0 : punkt_index + 1;
}

void RecorderCore::text_faktor_Change()
{
    skalieren();
}

void RecorderCore::text_faktor_LostFocus()
{
    const QString t = text_faktor.text;
    if (t.isEmpty() || t == QLatin1String("0")) {
        text_faktor.text = QStringLiteral("1");
        text_faktor_Change();
    }
}

void RecorderCore::checkRange(bool minus)
{
    const int markIndex = minus ? 2 : 3;
    if (m_lock != 0 && m_lock != markIndex)
        return;
    m_lock = 1;
    kit::Control& limitBox = minus ? text_minus : text_plus;
    if (limitBox.text.isEmpty() || limitBox.text == QLatin1String("-")) {
        m_lock = 0;
        return;
    }
    bool ok1 = false, ok2 = false;
    const double plus = toNumber(text_plus.text, &ok1), minusValue = toNumber(text_minus.text, &ok2);
    bool inputsOk = ok1 && ok2 && plus >= minusValue;
    if (inputsOk) {
        if (plus > minusValue) {
            lb_mitte.text = numberText((minusValue + plus) / 2);
            (minus ? Label1 : Label2).text = limitBox.text;
        }
        m_lock = 0;
        inputsOk = skalieren();
    }
    if (inputsOk) {
        labelMinMax();
        return;
    }
    const QString text = minus ? MinusError + text_plus.text + QStringLiteral(" !!")
                               : PlusError + text_minus.text + QStringLiteral(" !!");
    if (m_env.ui)
        m_env.ui->message(text, ErrorTitle, MsgButtons::Ok, MsgIcon::None);
    m_lock = markIndex;
    if (m_view.focusField)
        m_view.focusField(minus ? QStringLiteral("text_minus") : QStringLiteral("text_plus"));
}

void RecorderCore::Check1_Click()
{
    if (Check1.checked) {
        cb_drift.checked = true;
        arm();
        Check1.text = Stop;
    } else {
        driftmerker = 0;
        Check1.text = Start;
    }
}
