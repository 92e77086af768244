// The drive of the path: per stroke one absolute move to its first point,
// then one position table per unit with the stroke's further points and the
// table run to its last point. While a move runs the units are polled, the
// actual position is shown as green dots, the table counters keep the two
// units on the same entry, and each move ends with a red dot at the end
// position. One point, or one polling round, is one step.
#include "TablettCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Clock.h"
#include "Format.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <cmath>

namespace {
const QString Einheit1 = QStringLiteral("01");
const QString Einheit2 = QStringLiteral("02");
const QString MA = QStringLiteral("[1MA");
const QString SA = QStringLiteral("[1SA");
const QString Laeuft = QStringLiteral("[0po!]");
constexpr double Zaehlbereich = 8388607;
// Y of the actual-position dots when only unit "01" drives.
constexpr double DotYOhneAchse2 = 6656;

// The counter of a "[1PL]" reply (characters 6 to 9) as decimal text.
QString zaehler(const QString& antwort)
{
    bool ok = false;
    const int n = antwort.mid(5, 4).toInt(&ok, 16);
    return QString::number(ok ? n : 0);
}
}  // namespace

QString TablettCore::senden(const QString& einheit, const QString& befehl, double zeit)
{
    if (!einheit.isEmpty())
        m_env.bus->einheit_waehlen(einheit);
    return m_env.bus->senden_empfangen(befehl, zeit);
}

double TablettCore::motfak(int achse)
{
    m_env.store->setIndex(achse);
    return m_env.store->Motfak();
}

double TablettCore::tabellenZeit() const
{
    // Not a number: 20 s; 0 or less: the transport's default.
    const auto t = zahl(lb_timeout.text);
    return t ? *t : 20.0;
}

void TablettCore::pause()
{
    // The text with "000" in front, read as a whole number: empty gives 0.
    QString ziffern;
    for (const QChar c : QStringLiteral("000") + Text2.text) {
        if (!c.isDigit())
            break;
        ziffern += c;
    }
    const double ms = ziffern.toDouble();
    if (ms > 0)
        m_env.clock->sleep(ms / 1000.0);
}

void TablettCore::punkt(QPointF ort, int breite, quint32 farbe)
{
    if (std::isfinite(ort.x()) && std::isfinite(ort.y())) {
        m_zeichnung.punkte.push_back({ort, breite, farbe});
        neuZeichnen();
    }
}

bool TablettCore::fahrtPruefen()
{
    if (tb_zeit.text.size() != 2) {
        m_env.ui->message(ZeitMeldung);
        return false;
    }
    skalaBerechnen();
    const double fx = motfak(1), fy = motfak(2);
    int strich = 0, eintraege = 0;
    for (int i = 1; i <= bahn.punktzahl; ++i) {
        const double x = std::round(skala.mmX(bahn.bahnX[std::size_t(i)]) * fx);
        const double y = std::round(skala.mmY(bahn.bahnY[std::size_t(i)]) * fy);
        // Both targets are computed for every point, unit "02" ticked or not.
        if (!(std::abs(x) <= Zaehlbereich) || !(std::abs(y) <= Zaehlbereich)) {
            m_env.ui->message(BereichMeldung);
            return false;
        }
        if (bahn.anfang(strich) == i - 1) {
            ++strich;
            eintraege = 0;
        } else if (++eintraege > bahn::MaxTablePoints) {
            m_env.ui->message(TabellenMeldung);
            return false;
        }
    }
    return true;
}

void TablettCore::bahn_abfahren()
{
    // One drive at a time, and an empty path sends nothing.
    if (faehrt() || bahn.punktzahl < 1 || !fahrtPruefen())
        return;
    m_fahrt = Fahrt();
    m_fahrt.striche = bahn.strichzahl;
    m_fahrt.zaehlerX = m_fahrt.zaehlerY = QStringLiteral("0");
    m_fahrt.phase = Phase::Punkt;
    bahn.strichzahl = 0;
    Tag = QStringLiteral("1");
}

bool TablettCore::fahrtSchritt()
{
    if (m_fahrt.phase == Phase::Punkt)
        punktSchritt();
    else if (m_fahrt.phase == Phase::Warten)
        warteRunde();
    return faehrt();
}

void TablettCore::fahrtBisEnde()
{
    while (fahrtSchritt()) {
    }
}

void TablettCore::fahrtBeenden()
{
    m_fahrt.phase = Phase::Aus;
    // The drive used the stroke count as its cursor; drawing on needs the count.
    bahn.strichzahl = m_fahrt.striche;
}

void TablettCore::punktSchritt()
{
    Fahrt& f = m_fahrt;
    if (Tag.isEmpty() || f.i >= bahn.punktzahl) {
        fahrtBeenden();
        return;
    }
    const int i = ++f.i;
    skalaBerechnen();
    const double targetX = skala.mmX(bahn.bahnX[std::size_t(i)]) * motfak(1);
    const double targetY = skala.mmY(bahn.bahnY[std::size_t(i)]) * motfak(2);
    // A target that no longer fits (a motor factor changed meanwhile) ends
    // the drive before anything of this point is sent.
    bool okX = false, okY = false;
    if (std::abs(std::round(targetX)) <= Zaehlbereich && std::abs(std::round(targetY)) <= Zaehlbereich) {
        f.hexX = hex8(targetX, &okX);
        f.hexY = hex8(targetY, &okY);
    }
    if (!okX || !okY) {
        fahrtBeenden();
        m_env.ui->message(BereichMeldung);
        return;
    }
    const bool achse2 = cb_achse2.checked;
    if (bahn.anfang(bahn.strichzahl) == i - 1) {
        f.kommando = MA;
        ++bahn.strichzahl;
        f.tabelleX = f.tabelleY = QStringLiteral("[1PK");
        lb_Ant.text.clear();
        lb_PK.text.clear();
    } else {
        f.tabelleX += f.hexX.mid(2, 6) + tb_zeit.text;
        f.tabelleY += f.hexY.mid(2, 6) + tb_zeit.text;
        if (i != bahn.anfang(bahn.strichzahl) && i != bahn.punktzahl)
            return;
        f.tabelleX += QLatin1Char(']');
        f.tabelleY += QLatin1Char(']');
        // A table without an answer: this stroke is not run.
        lb_Ant.text = senden(Einheit1, f.tabelleX, tabellenZeit());
        if (lb_Ant.text == keine_Antwort)
            return;
        if (achse2) {
            lb_Ant.text = senden(Einheit2, f.tabelleY, tabellenZeit());
            if (lb_Ant.text == keine_Antwort)
                return;
        }
        lb_PK.text = f.tabelleX + f.tabelleY;
        f.kommando = SA;
        f.zaehler_alt = QStringLiteral("-1");
    }
    if (i == 1)
        f.startzeit = m_env.clock->now();
    if (f.kommando == MA)
        pause();
    senden(Einheit1, f.kommando + f.hexX + QLatin1Char(']'));
    f.poX = senden({}, QStringLiteral("[0po]"));
    if (achse2) {
        senden(Einheit2, f.kommando + f.hexY + QLatin1Char(']'));
        f.poY = senden({}, QStringLiteral("[0po]"));
    }
    if (f.poX == keine_Antwort || f.poY == keine_Antwort) {
        fahrtBeenden();
        return;
    }
    f.phase = Phase::Warten;
}

void TablettCore::warteRunde()
{
    Fahrt& f = m_fahrt;
    if (f.poX != Laeuft && f.poY != Laeuft) {
        punktAbschluss();
        return;
    }
    if (Tag.isEmpty()) {
        fahrtBeenden();
        return;
    }
    const bool achse2 = cb_achse2.checked;
    if (bahn.anfang(bahn.strichzahl - 1) != f.i - 1) {
        m_env.bus->einheit_waehlen(Einheit2);
        if (achse2) {
            const QString r = senden({}, QStringLiteral("[1PL]"));
            f.zaehlerY = zaehler(r);
            const double fy = motfak(2);
            if (fy != 0)
                f.ist.setY(skala.einheitY(hex_zu_wert24(r.mid(9, 8)) / fy));
        } else {
            f.ist.setY(DotYOhneAchse2);
        }
        const QString r = senden(Einheit1, QStringLiteral("[1PL]"));
        f.zaehlerX = zaehler(r);
        const double fx = motfak(1);
        if (fx != 0)
            f.ist.setX(skala.einheitX(hex_zu_wert24(r.mid(9, 8)) / fx));
    }
    m_env.bus->einheit_waehlen(Einheit1);
    if (f.poX == Laeuft)
        f.poX = senden({}, QStringLiteral("[0po]"));
    if (achse2) {
        m_env.bus->einheit_waehlen(Einheit2);
        if (f.poY == Laeuft)
            f.poY = senden({}, QStringLiteral("[0po]"));
    }
    if (f.zaehlerX.toInt() == f.zaehlerY.toInt()) {
        if (f.zaehlerX != f.zaehler_alt && f.kommando != MA) {
            senden(Einheit1, QStringLiteral("[1PW]"));
            senden(Einheit2, QStringLiteral("[1PW]"));
        }
        f.zaehler_alt = f.zaehlerX;
        punkt(f.ist, 4, PunktGruen);
    }
}

void TablettCore::punktAbschluss()
{
    Fahrt& f = m_fahrt;
    if (f.kommando == MA)
        pause();
    if (f.i == bahn.punktzahl) {
        const double t = formatMask(m_env.clock->now() - f.startzeit, QStringLiteral("##0.000"), false).toDouble();
        lb_fahrzeit.text = QStringLiteral("Fahrzeit :") + text(t) + QLatin1Char('s');
    }
    QPointF ende;
    const QString rx = senden(Einheit1, QStringLiteral("[1PE]"));
    const double fx = motfak(1);
    ende.setX(fx != 0 ? skala.einheitX(hex_zu_wert24(rx.mid(5, 8)) / fx) : NAN);
    m_env.bus->einheit_waehlen(Einheit2);
    if (cb_achse2.checked) {
        const QString ry = senden({}, QStringLiteral("[1PE]"));
        const double fy = motfak(2);
        ende.setY(fy != 0 ? skala.einheitY(hex_zu_wert24(ry.mid(5, 8)) / fy) : NAN);
    } else {
        ende.setY(skala.einheitY(0));
    }
    punkt(ende, 8, PunktRot);
    f.phase = Phase::Punkt;
}
