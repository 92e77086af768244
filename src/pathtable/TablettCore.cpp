#include "TablettCore.h"

#include "Bahndatei.h"
#include "BusTransport.h"
#include "Format.h"
#include "Protocol.h"
#include "UiServices.h"
#include "ValueFile.h"

#include <cmath>

namespace {
const QString Unit1 = QStringLiteral("01");
const QString Unit2 = QStringLiteral("02");
// Where the clear command puts the marker labels.
constexpr double MarkerLeft = 2640;
constexpr double MarkerTop = 8430;

template <class F>
void fillIn(std::function<F>& hook, std::function<F> standard)
{
    if (!hook)
        hook = std::move(standard);
}
}  // namespace

TablettEnv TablettEnv::completed() const
{
    TablettEnv e = *this;
    const TablettEnv standard;
    fillIn(e.usesComma, standard.usesComma);
    fillIn(e.programFolder, standard.programFolder);
    fillIn(e.releaseMainLoop, standard.releaseMainLoop);
    fillIn(e.hideWindow, standard.hideWindow);
    fillIn(e.textWidth, standard.textWidth);
    return e;
}

TablettCore::TablettCore(TablettEnv env) : m_env(env.completed())
{
    for (auto* c : {&cb_zoom, &cb_ZZ}) {
        c->items = ZoomSteps;
        c->text = QStringLiteral("1");
    }
    lb_punkte_pos.fill(QPointF(MarkerLeft, MarkerTop));
}

TablettCore::~TablettCore() = default;

QString TablettCore::formatValue(double v) const
{
    return formatMask(v, QStringLiteral("##0.0000"), usesComma());
}

void TablettCore::setDrawingArea(double width, double height)
{
    if (width > 0 && height > 0) {
        m_W = width;
        m_H = height;
    }
}

// --- Opening and closing -----------------------------------------------------------------------

void TablettCore::Form_Load()
{
    Tag = QStringLiteral("1");
    m_loaded = true;
    // A millimetre as long on X as on Y.
    const double aspectRatio = double(float(m_W) / float(m_H));
    if (auto v = toNumber(lb_minus.text))
        lb_plus.text = text(*v * aspectRatio);
    if (auto v = toNumber(tb_minus.text))
        tb_plus.text = text(*v * aspectRatio);
    computeScale();
    skala_beschriften();
}

void TablettCore::openForm()
{
    if (!m_loaded || Tag == QLatin1String("0"))
        Form_Load();
}

void TablettCore::Form_Unload()
{
    if (moving())
        stop();
    // The points go, and the strokes with them: a stroke table that outlived
    // its points would split the next path at the old places.
    pathModel.clearPath();
    flagzeichnen = 0;
    clearDrawing();
    // The view goes back to its design, as a window loaded anew has it: the
    // next opening derives the X edges from the Y edges, which must carry no
    // old offset, and the offset fields must show what the edges hold.
    lb_plus.text = lb_minus.text = QStringLiteral("-1");
    tb_plus.text = tb_minus.text = QStringLiteral("1");
    tb_offsetX.text = tb_offsetY.text = QStringLiteral("0");
    cb_zoom.text = QStringLiteral("1");
    cb_zoom.listIndex = kit::ListControl().listIndex;
    m_env.releaseMainLoop();
    Tag = QStringLiteral("0");
}

// --- Keys and buttons ---------------------------------------------------------------------------

void TablettCore::tasteneingabe(int Keycode)
{
    // Nothing that changes the path runs while it is driven.
    if (Keycode == 112 && !moving())
        bahn_laden();
    if (Keycode == 113)
        bahn_speichern();
    if (Keycode == 27) {
        Form_Unload();
        m_env.hideWindow();
    }
    if (Keycode == 67 && !moving())
        clear();
    if (Keycode == 80) {
        if (moving())
            stop();
        m_env.hideWindow();
        m_env.releaseMainLoop();
    }
    if (Keycode == 82) {
        m_env.bus->einheit_waehlen(Unit1);
        m_env.bus->senden_empfangen(QStringLiteral("[1GX]"));
        m_env.bus->einheit_waehlen(Unit2);
        m_env.bus->senden_empfangen(QStringLiteral("[1GX]"));
    }
    if (Keycode == 83)
        bahn_abfahren();
    if (Keycode == 90 && !moving())
        bahn_zeichnen();
}

void TablettCore::button_Click(int index)
{
    if (index == 0)
        tasteneingabe(112);
    if (index == 1)
        tasteneingabe(113);
    if (index == 2)
        tasteneingabe(83);
    if (index == 3)
        stop();
    if (index == 4) {
        stop();
        tasteneingabe(67);
    }
    if (index == 5)
        tasteneingabe(90);
    if (index == 6) {
        stop();
        tasteneingabe(80);
    }
}

void TablettCore::cb_PK_Click()
{
    lb_Ant.text.clear();
    lb_Ant.text = m_env.bus->senden_empfangen(lb_PK.text, tableTime());
}

void TablettCore::cb_SA_Click()
{
    m_env.bus->senden_empfangen(QStringLiteral("[1SA]"));
}

void TablettCore::stop()
{
    Tag.clear();
    // The drive ends here: it sends nothing after the brake.
    if (moving())
        endMove();
    m_env.bus->einheit_waehlen(Unit1);
    m_env.bus->senden_empfangen(protocol::Stop);
    if (cb_achse2.checked) {
        m_env.bus->einheit_waehlen(Unit2);
        m_env.bus->senden_empfangen(protocol::Stop);
    }
}

void TablettCore::clear()
{
    for (int n = 0; n < Marker; ++n) {
        lb_punkte_pos[std::size_t(n)] = QPointF(MarkerLeft, MarkerTop);
        lb_punkte[std::size_t(n)].text.clear();
    }
    lb_Ant.text.clear();
    lb_PK.text.clear();
    clearDrawing();
    ZZ_alt.clear();
    cb_ZZ.text = QStringLiteral("1");
    cb_ZZ.listIndex = -1;
    pathModel.clearPath();
    for (auto& zeile : punkttabelle)
        zeile.fill(0);
    punktetext.clear();
    lb_fahrzeit.text.clear();
}

void TablettCore::cb_ZZ_LostFocus()
{
    if (ZZ_alt.isEmpty())
        ZZ_alt = QStringLiteral("1");
    if (cb_ZZ.text == ZZ_alt)
        return;
    const auto previousIndex = toNumber(ZZ_alt);
    const auto newScale = toNumber(cb_ZZ.text);
    // A factor of 0 would lose the path (and divide by zero on the next change).
    if (moving() || !previousIndex || !newScale || *newScale == 0 || *previousIndex == 0) {
        cb_ZZ.text = ZZ_alt;
        cb_ZZ.listIndex = int(cb_ZZ.items.indexOf(ZZ_alt));
        return;
    }
    for (int n = 1; n <= pathModel.punktzahl; ++n) {
        auto& x = pathModel.bahnX[std::size_t(n)];
        auto& y = pathModel.bahnY[std::size_t(n)];
        y = pathScale.unitY(pathScale.mmY(y) / *previousIndex * *newScale);
        x = pathScale.unitX(pathScale.mmX(x) / *previousIndex * *newScale);
    }
    bahn_zeichnen();
    ZZ_alt = cb_ZZ.text;
}

// --- Mouse ----------------------------------------------------------------------------------------

void TablettCore::pb_Zeichnung_MouseDown(int button, double x, double y)
{
    if (button == 1) {
        if (moving())
            return;
        if (pathModel.punktzahl >= pathModel::MaxPoints || pathModel.strichzahl >= pathModel::MaxStrokes) {
            m_env.ui->message(FullMessage);
            return;
        }
        pathModel.appendPoint(x, y);
        pathModel.strichanfang[std::size_t(pathModel.strichzahl)] = pathModel.punktzahl - 1;
        ++pathModel.strichzahl;
        flagzeichnen = 1;
        letztesX = float(x);
        letztesY = float(y);
        strichpunkte = 0;
        m_fullReported = false;
    } else if (button == 2) {
        const auto roundTo5 = [](double v) { return formatMask(v, QStringLiteral("##0.00000"), false).toDouble(); };
        const double X = roundTo5(pathScale.mmX(x));
        const double Y = roundTo5(pathScale.mmY(y));
        const std::size_t n = std::size_t(markerindex);
        lb_punkte[n].text = QStringLiteral("X:") + text(X) + QStringLiteral(" Y:") + text(Y);
        const double leftEdge = x < m_W / 2 ? x : x - m_env.textWidth(lb_punkte[n].text);
        lb_punkte_pos[n] = QPointF(leftEdge, y);
        markerindex = markerindex >= Marker - 1 ? 0 : markerindex + 1;
    }
}

void TablettCore::pb_Zeichnung_MouseMove(double x, double y)
{
    // A stroke still held when a drive starts grows no further meanwhile.
    if (flagzeichnen != 1 || moving())
        return;
    if (pathModel.punktzahl >= pathModel::MaxPoints) {
        if (!m_fullReported) {
            m_fullReported = true;
            m_env.ui->message(FullMessage);
        }
        return;
    }
    drawSegment(letztesX, letztesY, x, y);
    ++strichpunkte;
    letztesX = float(x);
    letztesY = float(y);
    pathModel.appendPoint(x, y);
}

void TablettCore::pb_Zeichnung_MouseUp(int button)
{
    if (button != 1 || flagzeichnen != 1)
        return;
    flagzeichnen = 0;
    lb_fahrzeit.text += QLatin1Char(' ') + QString::number(strichpunkte);
}

void TablettCore::lb_punkte_MouseDown(int index, double x, double y)
{
    if (index < 0 || index >= Marker)
        return;
    greifX = float(x);
    greifY = float(y);
}

void TablettCore::pb_Zeichnung_DragOver(int index, double x, double y)
{
    if (index < 0 || index >= Marker)
        return;
    lb_punkte_pos[std::size_t(index)] = QPointF(x - greifX, y - greifY);
}

// --- View --------------------------------------------------------------------------------------

bool TablettCore::computeScale()
{
    const auto l = toNumber(lb_plus.text), r = toNumber(tb_plus.text), o = toNumber(tb_minus.text),
               u = toNumber(lb_minus.text);
    if (!l || !r || !o || !u)
        return false;
    const auto s = Bahnskala::fromBounds(*l, *r, *o, *u, m_W, m_H);
    if (!s)
        return false;
    pathScale = *s;
    return true;
}

bool TablettCore::applyView(bool x, bool y)
{
    const auto z = toNumber(cb_zoom.text), ox = toNumber(tb_offsetX.text), oy = toNumber(tb_offsetY.text);
    QString leftEdge = lb_plus.text, rightEdge = tb_plus.text, lowerBound = lb_minus.text, upperBound = tb_minus.text;
    const double aspectRatio = double(float(m_W) / float(m_H));
    if (x && z && ox) {
        leftEdge = text(-*z * aspectRatio - *ox);
        rightEdge = text(*z * aspectRatio - *ox);
    }
    if (y && z && oy) {
        lowerBound = text(-*z - *oy);
        upperBound = text(*z - *oy);
    }
    // The scale is later taken from the labels as written with four decimals.
    const auto roundedValue = [this](const QString& t) -> std::optional<double> {
        const auto v = toNumber(t);
        return v ? toNumber(formatValue(*v)) : std::nullopt;
    };
    const auto l = roundedValue(leftEdge), r = roundedValue(rightEdge), o = roundedValue(upperBound),
               u = roundedValue(lowerBound);
    if (!l || !r || !o || !u || !Bahnskala::fromBounds(*l, *r, *o, *u, m_W, m_H))
        return false;
    lb_plus.text = leftEdge;
    tb_plus.text = rightEdge;
    lb_minus.text = lowerBound;
    tb_minus.text = upperBound;
    return true;
}

void TablettCore::cb_zoom_LostFocus()
{
    if (moving() || !applyView(true, true))
        return;
    skala_beschriften();
    bahn_zoomen();
    bahn_zeichnen();
}

void TablettCore::tb_offsetX_LostFocus()
{
    if (moving() || !applyView(true, false))
        return;
    skala_beschriften();
    bahn_zeichnen();
}

void TablettCore::tb_offsetY_LostFocus()
{
    if (moving() || !applyView(false, true))
        return;
    skala_beschriften();
    bahn_zeichnen();
}

void TablettCore::skala_beschriften()
{
    const auto middle = [this](const kit::Control& a, const kit::Control& b, kit::Control& targetPos) {
        const auto va = toNumber(a.text), vb = toNumber(b.text);
        if (va && vb)
            targetPos.text = text((*va + *vb) / 2);
    };
    middle(lb_plus, tb_plus, lb_nullplus);
    middle(lb_minus, tb_minus, lb_nullminus);
    middle(lb_nullplus, tb_plus, lb_dreiviertelX);
    middle(lb_nullminus, lb_minus, lb_dreiviertelY);
    middle(lb_nullplus, lb_plus, lb_viertelX);
    middle(lb_nullminus, tb_minus, lb_viertelY);
    for (kit::Control* c : {&lb_viertelY, &lb_viertelX, &lb_dreiviertelY, &lb_dreiviertelX, &lb_nullminus, &lb_nullplus,
                            &tb_plus, &lb_plus, &lb_minus, &tb_minus}) {
        if (const auto v = toNumber(c->text))
            c->text = formatValue(*v);
    }
}

void TablettCore::tb_zeit_LostFocus()
{
    QString& t = tb_zeit.text;
    if (t.size() == 1)
        t.prepend(QLatin1Char('0'));
    else if (t.size() >= 3)
        t = t.right(2);
}

void TablettCore::Text1_Enter()
{
    m_env.bus->einheit_waehlen(Unit1);
    m_env.bus->senden_empfangen(Text1.text);
    m_env.bus->einheit_waehlen(Unit2);
    m_env.bus->senden_empfangen(Text1.text);
}

// --- Path ----------------------------------------------------------------------------------------

void TablettCore::clearDrawing()
{
    m_drawing.linien.clear();
    m_drawing.drawnDots.clear();
    redraw();
}

void TablettCore::drawSegment(double x1, double y1, double x2, double y2)
{
    m_drawing.linien.push_back({QPointF(x1, y1), QPointF(x2, y2)});
    redraw();
}

void TablettCore::remap()
{
    const int n = pathModel.punktzahl;
    std::vector<double> mmX(std::size_t(n + 1)), mmY(std::size_t(n + 1));
    for (int i = 1; i <= n; ++i) {
        mmY[std::size_t(i)] = pathScale.mmY(pathModel.bahnY[std::size_t(i)]);
        mmX[std::size_t(i)] = pathScale.mmX(pathModel.bahnX[std::size_t(i)]);
    }
    clearDrawing();
    computeScale();
    for (int i = 1; i <= n; ++i) {
        pathModel.bahnX[std::size_t(i)] = pathScale.unitX(mmX[std::size_t(i)]);
        pathModel.bahnY[std::size_t(i)] = pathScale.unitY(mmY[std::size_t(i)]);
    }
}

void TablettCore::bahn_zoomen()
{
    if (!moving())
        remap();
}

void TablettCore::bahn_verdichten()
{
    lb_fahrzeit.text.clear();
    sh_an_aus.colour = Green;
    const auto delta = toNumber(tb_delta.text), upperBound = toNumber(tb_minus.text),
               lowerBound = toNumber(lb_minus.text);
    Thinning v;
    // A spacing of 0 or none at all would insert points for ever: refused.
    if (delta && upperBound && lowerBound && *delta > 0)
        v = ::bahn_verdichten(pathModel, *delta / 1000.0, (*upperBound - *lowerBound) / m_H);
    for (std::size_t k = 0; k < v.zaehler.size() && k + 1 < punkttabelle.size(); ++k) {
        punkttabelle[k + 1][2] = v.zaehler[k];
        punkttabelle[k + 1][3] = v.zaehler[k];
    }
    if (!v.ok) {
        sh_an_aus.colour = Red;
        lb_fahrzeit.text = punktetext;
        return;
    }
    punktetext.clear();
    for (std::size_t k = 0; k < v.zaehler.size() && k + 1 < punkttabelle.size(); ++k) {
        punkttabelle[k + 1][1] = punkttabelle[k + 1][3];
        punktetext += QLatin1Char(' ') + QString::number(v.zaehler[k]);
    }
    const int strokeTotal = pathModel.strichzahl;
    pathModel = std::move(v.pathModel);
    pathModel.strichzahl = strokeTotal;
    lb_fahrzeit.text = punktetext;
}

void TablettCore::bahn_zeichnen()
{
    if (moving())
        return;
    bahn_verdichten();
    int strokeTotal = 1;
    remap();
    for (int i = 1; i < pathModel.punktzahl; ++i) {
        if (pathModel.strokeStart(strokeTotal) == i) {
            ++strokeTotal;
            continue;
        }
        drawSegment(pathModel.bahnX[std::size_t(i)], pathModel.bahnY[std::size_t(i)],
                    pathModel.bahnX[std::size_t(i + 1)], pathModel.bahnY[std::size_t(i + 1)]);
    }
    pathModel.strichzahl = pathModel.punktzahl > 0 ? strokeTotal : 0;
}

// --- Path files ------------------------------------------------------------------------------------

FileDialogRequest TablettCore::fileDialog(const QString& filter, const QString& preset) const
{
    FileDialogRequest r;
    r.filter = filter;
    r.folder = m_env.programFolder();
    r.fileName = preset;
    r.defaultExt = preset.right(3);
    return r;
}

void TablettCore::bahn_speichern()
{
    dateiname = m_env.ui->saveFile(
        fileDialog(QStringLiteral("Datendateien(*.txt)|*.txt|Alle Dateien|*.*"), QStringLiteral("*.txt")));
    if (dateiname.isEmpty() || dateiname == QLatin1String("*.txt")) {
        dateiname.clear();
        return;
    }
    std::vector<QPointF> mm;
    bool allowed = true;
    for (int n = 1; n <= pathModel.punktzahl; ++n) {
        mm.emplace_back(pathScale.mmX(pathModel.bahnX[std::size_t(n)]), pathScale.mmY(pathModel.bahnY[std::size_t(n)]));
        allowed = allowed && pathFile::coordinateAllowed(mm.back().x()) && pathFile::coordinateAllowed(mm.back().y());
    }
    // Written whole (folder synced after the rename) or not at all: a failed
    // export, or one with a coordinate no file may hold, keeps the old file.
    if (!allowed || !writeValueFile(dateiname, pathFile::toFileBytes(mm)))
        m_env.ui->message(fileMessage(dateiname));
    dateiname.clear();
}

void TablettCore::bahn_laden()
{
    dateiname = m_env.ui->openFile(
        fileDialog(QStringLiteral("Datendateien(*.xls;*.txt)|*.xls;*.txt|Alle Dateien|*.*"), QStringLiteral(".xls")));
    if (dateiname.isEmpty() || dateiname == QLatin1String(".xls") || dateiname == QLatin1String("*.txt")) {
        dateiname.clear();
        return;
    }
    // The file is read whole into a new path; the old one goes only then.
    std::optional<std::vector<QPointF>> mm;
    const bool isWorkbook = dateiname.right(3).compare(QLatin1String("txt"), Qt::CaseInsensitive) != 0;
    if (!isWorkbook) {
        if (const auto fileBytes = readFileBytes(dateiname, nullptr, pathFile::MaxTextFileBytes))
            mm = pathFile::readText(*fileBytes);
    } else {
        mm = pathFile::readWorkbook(dateiname, usesComma(), m_env.workbookReader);
    }
    if (!mm || mm->empty()) {
        m_env.ui->message(fileMessage(dateiname));
        dateiname.clear();
        return;
    }
    computeScale();
    // An imported path is one stroke.
    pathModel.clearPath();
    pathModel.strichzahl = 1;
    for (const QPointF& p : *mm) {
        if (!pathModel.appendPoint(pathScale.unitX(p.x()), pathScale.unitY(p.y()))) {
            // A workbook longer than the path: say so instead of cutting silently.
            if (isWorkbook)
                m_env.ui->message(RowsLeftOutMessage);
            break;
        }
        const std::size_t n = std::size_t(pathModel.punktzahl);
        if (n > 1)
            drawSegment(pathModel.bahnX[n - 1], pathModel.bahnY[n - 1], pathModel.bahnX[n], pathModel.bahnY[n]);
    }
    dateiname.clear();
}
