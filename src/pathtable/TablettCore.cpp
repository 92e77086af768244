#include "TablettCore.h"

#include "Bahndatei.h"
#include "BusTransport.h"
#include "Format.h"
#include "UiServices.h"
#include "ValueFile.h"

#include <cmath>

namespace {
const QString Einheit1 = QStringLiteral("01");
const QString Einheit2 = QStringLiteral("02");
// Where the clear command puts the marker labels.
constexpr double MarkerLinks = 2640;
constexpr double MarkerTop = 8430;

template <class F>
void ergaenzen(std::function<F>& hook, std::function<F> standard)
{
    if (!hook)
        hook = std::move(standard);
}
}  // namespace

TablettEnv TablettEnv::completed() const
{
    TablettEnv e = *this;
    const TablettEnv standard;
    ergaenzen(e.komma, standard.komma);
    ergaenzen(e.programFolder, standard.programFolder);
    ergaenzen(e.releaseMainLoop, standard.releaseMainLoop);
    ergaenzen(e.hideWindow, standard.hideWindow);
    ergaenzen(e.textWidth, standard.textWidth);
    return e;
}

TablettCore::TablettCore(TablettEnv env) : m_env(env.completed())
{
    for (auto* c : {&cb_zoom, &cb_ZZ}) {
        c->items = ZoomSteps;
        c->text = QStringLiteral("1");
    }
    lb_punkte_pos.fill(QPointF(MarkerLinks, MarkerTop));
}

TablettCore::~TablettCore() = default;

QString TablettCore::maske(double v) const
{
    return formatMask(v, QStringLiteral("##0.0000"), komma());
}

void TablettCore::setZeichenflaeche(double width, double height)
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
    m_geladen = true;
    // A millimetre as long on X as on Y.
    const double seiten = double(float(m_W) / float(m_H));
    if (auto v = zahl(lb_minus.text))
        lb_plus.text = text(*v * seiten);
    if (auto v = zahl(tb_minus.text))
        tb_plus.text = text(*v * seiten);
    skalaBerechnen();
    skala_beschriften();
}

void TablettCore::oeffnen()
{
    if (!m_geladen || Tag == QLatin1String("0"))
        Form_Load();
}

void TablettCore::Form_Unload()
{
    if (faehrt())
        stop();
    // The points go, and the strokes with them: a stroke table that outlived
    // its points would split the next path at the old places.
    bahn.leeren();
    flagzeichnen = 0;
    zeichnenLoeschen();
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
    if (Keycode == 112 && !faehrt())
        bahn_laden();
    if (Keycode == 113)
        bahn_speichern();
    if (Keycode == 27) {
        Form_Unload();
        m_env.hideWindow();
    }
    if (Keycode == 67 && !faehrt())
        clear();
    if (Keycode == 80) {
        if (faehrt())
            stop();
        m_env.hideWindow();
        m_env.releaseMainLoop();
    }
    if (Keycode == 82) {
        m_env.bus->einheit_waehlen(Einheit1);
        m_env.bus->senden_empfangen(QStringLiteral("[1GX]"));
        m_env.bus->einheit_waehlen(Einheit2);
        m_env.bus->senden_empfangen(QStringLiteral("[1GX]"));
    }
    if (Keycode == 83)
        bahn_abfahren();
    if (Keycode == 90 && !faehrt())
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
    lb_Ant.text = m_env.bus->senden_empfangen(lb_PK.text, tabellenZeit());
}

void TablettCore::cb_SA_Click()
{
    m_env.bus->senden_empfangen(QStringLiteral("[1SA]"));
}

void TablettCore::stop()
{
    Tag.clear();
    // The drive ends here: it sends nothing after the brake.
    if (faehrt())
        fahrtBeenden();
    m_env.bus->einheit_waehlen(Einheit1);
    m_env.bus->senden_empfangen(QStringLiteral("[1BR]"));
    if (cb_achse2.checked) {
        m_env.bus->einheit_waehlen(Einheit2);
        m_env.bus->senden_empfangen(QStringLiteral("[1BR]"));
    }
}

void TablettCore::clear()
{
    for (int n = 0; n < Marker; ++n) {
        lb_punkte_pos[std::size_t(n)] = QPointF(MarkerLinks, MarkerTop);
        lb_punkte[std::size_t(n)].text.clear();
    }
    lb_Ant.text.clear();
    lb_PK.text.clear();
    zeichnenLoeschen();
    ZZ_alt.clear();
    cb_ZZ.text = QStringLiteral("1");
    cb_ZZ.listIndex = -1;
    bahn.leeren();
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
    const auto alt = zahl(ZZ_alt);
    const auto neu = zahl(cb_ZZ.text);
    // A factor of 0 would lose the path (and divide by zero on the next change).
    if (faehrt() || !alt || !neu || *neu == 0 || *alt == 0) {
        cb_ZZ.text = ZZ_alt;
        cb_ZZ.listIndex = int(cb_ZZ.items.indexOf(ZZ_alt));
        return;
    }
    for (int n = 1; n <= bahn.punktzahl; ++n) {
        auto& x = bahn.bahnX[std::size_t(n)];
        auto& y = bahn.bahnY[std::size_t(n)];
        y = skala.einheitY(skala.mmY(y) / *alt * *neu);
        x = skala.einheitX(skala.mmX(x) / *alt * *neu);
    }
    bahn_zeichnen();
    ZZ_alt = cb_ZZ.text;
}

// --- Mouse ----------------------------------------------------------------------------------------

void TablettCore::pb_Zeichnung_MouseDown(int button, double x, double y)
{
    if (button == 1) {
        if (faehrt())
            return;
        if (bahn.punktzahl >= bahn::MaxPoints || bahn.strichzahl >= bahn::MaxStrokes) {
            m_env.ui->message(VollMeldung);
            return;
        }
        bahn.anfuegen(x, y);
        bahn.strichanfang[std::size_t(bahn.strichzahl)] = bahn.punktzahl - 1;
        ++bahn.strichzahl;
        flagzeichnen = 1;
        letztesX = float(x);
        letztesY = float(y);
        strichpunkte = 0;
        m_vollGemeldet = false;
    } else if (button == 2) {
        const auto runden = [](double v) { return formatMask(v, QStringLiteral("##0.00000"), false).toDouble(); };
        const double X = runden(skala.mmX(x));
        const double Y = runden(skala.mmY(y));
        const std::size_t n = std::size_t(markerindex);
        lb_punkte[n].text = QStringLiteral("X:") + text(X) + QStringLiteral(" Y:") + text(Y);
        const double links = x < m_W / 2 ? x : x - m_env.textWidth(lb_punkte[n].text);
        lb_punkte_pos[n] = QPointF(links, y);
        markerindex = markerindex >= Marker - 1 ? 0 : markerindex + 1;
    }
}

void TablettCore::pb_Zeichnung_MouseMove(double x, double y)
{
    // A stroke still held when a drive starts grows no further meanwhile.
    if (flagzeichnen != 1 || faehrt())
        return;
    if (bahn.punktzahl >= bahn::MaxPoints) {
        if (!m_vollGemeldet) {
            m_vollGemeldet = true;
            m_env.ui->message(VollMeldung);
        }
        return;
    }
    linie(letztesX, letztesY, x, y);
    ++strichpunkte;
    letztesX = float(x);
    letztesY = float(y);
    bahn.anfuegen(x, y);
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

bool TablettCore::skalaBerechnen()
{
    const auto l = zahl(lb_plus.text), r = zahl(tb_plus.text), o = zahl(tb_minus.text), u = zahl(lb_minus.text);
    if (!l || !r || !o || !u)
        return false;
    const auto s = Bahnskala::aus(*l, *r, *o, *u, m_W, m_H);
    if (!s)
        return false;
    skala = *s;
    return true;
}

bool TablettCore::ansichtSetzen(bool x, bool y)
{
    const auto z = zahl(cb_zoom.text), ox = zahl(tb_offsetX.text), oy = zahl(tb_offsetY.text);
    QString links = lb_plus.text, rechts = tb_plus.text, unten = lb_minus.text, oben = tb_minus.text;
    const double seiten = double(float(m_W) / float(m_H));
    if (x && z && ox) {
        links = text(-*z * seiten - *ox);
        rechts = text(*z * seiten - *ox);
    }
    if (y && z && oy) {
        unten = text(-*z - *oy);
        oben = text(*z - *oy);
    }
    // The scale is later taken from the labels as written with four decimals.
    const auto gerundet = [this](const QString& t) -> std::optional<double> {
        const auto v = zahl(t);
        return v ? zahl(maske(*v)) : std::nullopt;
    };
    const auto l = gerundet(links), r = gerundet(rechts), o = gerundet(oben), u = gerundet(unten);
    if (!l || !r || !o || !u || !Bahnskala::aus(*l, *r, *o, *u, m_W, m_H))
        return false;
    lb_plus.text = links;
    tb_plus.text = rechts;
    lb_minus.text = unten;
    tb_minus.text = oben;
    return true;
}

void TablettCore::cb_zoom_LostFocus()
{
    if (faehrt() || !ansichtSetzen(true, true))
        return;
    skala_beschriften();
    bahn_zoomen();
    bahn_zeichnen();
}

void TablettCore::tb_offsetX_LostFocus()
{
    if (faehrt() || !ansichtSetzen(true, false))
        return;
    skala_beschriften();
    bahn_zeichnen();
}

void TablettCore::tb_offsetY_LostFocus()
{
    if (faehrt() || !ansichtSetzen(false, true))
        return;
    skala_beschriften();
    bahn_zeichnen();
}

void TablettCore::skala_beschriften()
{
    const auto mitte = [this](const kit::Control& a, const kit::Control& b, kit::Control& ziel) {
        const auto va = zahl(a.text), vb = zahl(b.text);
        if (va && vb)
            ziel.text = text((*va + *vb) / 2);
    };
    mitte(lb_plus, tb_plus, lb_nullplus);
    mitte(lb_minus, tb_minus, lb_nullminus);
    mitte(lb_nullplus, tb_plus, lb_dreiviertelX);
    mitte(lb_nullminus, lb_minus, lb_dreiviertelY);
    mitte(lb_nullplus, lb_plus, lb_viertelX);
    mitte(lb_nullminus, tb_minus, lb_viertelY);
    for (kit::Control* c : {&lb_viertelY, &lb_viertelX, &lb_dreiviertelY, &lb_dreiviertelX, &lb_nullminus, &lb_nullplus,
                            &tb_plus, &lb_plus, &lb_minus, &tb_minus}) {
        if (const auto v = zahl(c->text))
            c->text = maske(*v);
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
    m_env.bus->einheit_waehlen(Einheit1);
    m_env.bus->senden_empfangen(Text1.text);
    m_env.bus->einheit_waehlen(Einheit2);
    m_env.bus->senden_empfangen(Text1.text);
}

// --- Path ----------------------------------------------------------------------------------------

void TablettCore::zeichnenLoeschen()
{
    m_zeichnung.linien.clear();
    m_zeichnung.punkte.clear();
    neuZeichnen();
}

void TablettCore::linie(double x1, double y1, double x2, double y2)
{
    m_zeichnung.linien.push_back({QPointF(x1, y1), QPointF(x2, y2)});
    neuZeichnen();
}

void TablettCore::ummappen()
{
    const int n = bahn.punktzahl;
    std::vector<double> mmX(std::size_t(n + 1)), mmY(std::size_t(n + 1));
    for (int i = 1; i <= n; ++i) {
        mmY[std::size_t(i)] = skala.mmY(bahn.bahnY[std::size_t(i)]);
        mmX[std::size_t(i)] = skala.mmX(bahn.bahnX[std::size_t(i)]);
    }
    zeichnenLoeschen();
    skalaBerechnen();
    for (int i = 1; i <= n; ++i) {
        bahn.bahnX[std::size_t(i)] = skala.einheitX(mmX[std::size_t(i)]);
        bahn.bahnY[std::size_t(i)] = skala.einheitY(mmY[std::size_t(i)]);
    }
}

void TablettCore::bahn_zoomen()
{
    if (!faehrt())
        ummappen();
}

void TablettCore::bahn_verdichten()
{
    lb_fahrzeit.text.clear();
    sh_an_aus.colour = Gruen;
    const auto delta = zahl(tb_delta.text), oben = zahl(tb_minus.text), unten = zahl(lb_minus.text);
    Verdichtung v;
    // A spacing of 0 or none at all would insert points for ever: refused.
    if (delta && oben && unten && *delta > 0)
        v = ::bahn_verdichten(bahn, *delta / 1000.0, (*oben - *unten) / m_H);
    for (std::size_t k = 0; k < v.zaehler.size() && k + 1 < punkttabelle.size(); ++k) {
        punkttabelle[k + 1][2] = v.zaehler[k];
        punkttabelle[k + 1][3] = v.zaehler[k];
    }
    if (!v.ok) {
        sh_an_aus.colour = Rot;
        lb_fahrzeit.text = punktetext;
        return;
    }
    punktetext.clear();
    for (std::size_t k = 0; k < v.zaehler.size() && k + 1 < punkttabelle.size(); ++k) {
        punkttabelle[k + 1][1] = punkttabelle[k + 1][3];
        punktetext += QLatin1Char(' ') + QString::number(v.zaehler[k]);
    }
    const int striche = bahn.strichzahl;
    bahn = std::move(v.bahn);
    bahn.strichzahl = striche;
    lb_fahrzeit.text = punktetext;
}

void TablettCore::bahn_zeichnen()
{
    if (faehrt())
        return;
    bahn_verdichten();
    int striche = 1;
    ummappen();
    for (int i = 1; i < bahn.punktzahl; ++i) {
        if (bahn.anfang(striche) == i) {
            ++striche;
            continue;
        }
        linie(bahn.bahnX[std::size_t(i)], bahn.bahnY[std::size_t(i)], bahn.bahnX[std::size_t(i + 1)],
              bahn.bahnY[std::size_t(i + 1)]);
    }
    bahn.strichzahl = bahn.punktzahl > 0 ? striche : 0;
}

// --- Path files ------------------------------------------------------------------------------------

FileDialogRequest TablettCore::fileDialog(const QString& filter, const QString& vorgabe) const
{
    FileDialogRequest r;
    r.filter = filter;
    r.folder = m_env.programFolder();
    r.fileName = vorgabe;
    r.defaultExt = vorgabe.right(3);
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
    for (int n = 1; n <= bahn.punktzahl; ++n) {
        mm.emplace_back(skala.mmX(bahn.bahnX[std::size_t(n)]), skala.mmY(bahn.bahnY[std::size_t(n)]));
        allowed = allowed && bahndatei::coordinateAllowed(mm.back().x()) &&
                    bahndatei::coordinateAllowed(mm.back().y());
    }
    // Written whole (folder synced after the rename) or not at all: a failed
    // export, or one with a coordinate no file may hold, keeps the old file.
    if (!allowed || !writeValueFile(dateiname, bahndatei::schreiben(mm)))
        m_env.ui->message(dateiMeldung(dateiname));
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
        if (const auto inhalt = readFileBytes(dateiname, nullptr, bahndatei::MaxTextFileBytes))
            mm = bahndatei::readText(*inhalt);
    } else {
        mm = bahndatei::lesenArbeitsmappe(dateiname, komma(), m_env.workbookReader);
    }
    if (!mm || mm->empty()) {
        m_env.ui->message(dateiMeldung(dateiname));
        dateiname.clear();
        return;
    }
    skalaBerechnen();
    // An imported path is one stroke.
    bahn.leeren();
    bahn.strichzahl = 1;
    for (const QPointF& p : *mm) {
        if (!bahn.anfuegen(skala.einheitX(p.x()), skala.einheitY(p.y()))) {
            // A workbook longer than the path: say so instead of cutting silently.
            if (isWorkbook)
                m_env.ui->message(RowsLeftOutMessage);
            break;
        }
        const std::size_t n = std::size_t(bahn.punktzahl);
        if (n > 1)
            linie(bahn.bahnX[n - 1], bahn.bahnY[n - 1], bahn.bahnX[n], bahn.bahnY[n]);
    }
    dateiname.clear();
}
