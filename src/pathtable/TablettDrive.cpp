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
#include "Protocol.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <cmath>

namespace {
const QString Unit1 = QStringLiteral("01");
const QString Unit2 = QStringLiteral("02");
const QString MA = QStringLiteral("[1MA");
const QString SA = QStringLiteral("[1SA");
constexpr double CountRange = 8388607;
// Y of the actual-position dots when only unit "01" drives.
constexpr double DotYWithoutAxis2 = 6656;

// The counter of a "[1PL]" reply (characters 6 to 9) as decimal text.
QString zaehler(const QString& antwort)
{
    bool ok = false;
    const int n = antwort.mid(5, 4).toInt(&ok, 16);
    return QString::number(ok ? n : 0);
}
}  // namespace

QString TablettCore::senden(const QString& unitAddr, const QString& cmdText, double waitTime)
{
    if (!unitAddr.isEmpty())
        m_env.bus->einheit_waehlen(unitAddr);
    return m_env.bus->senden_empfangen(cmdText, waitTime);
}

QString TablettCore::pollMotion()
{
    return m_env.bus->senden_empfangen(protocol::Poll);
}

double TablettCore::motorFactorOf(int axisNo)
{
    m_env.store->setIndex(axisNo);
    return m_env.store->Motfak();
}

double TablettCore::tableTime() const
{
    // Not a number: 20 s; 0 or less: the transport's default.
    const auto t = toNumber(lb_timeout.text);
    return t ? *t : 20.0;
}

void TablettCore::pause()
{
    // The text with "000" in front, read as a whole number: empty gives 0.
    QString digitsText;
    for (const QChar c : QStringLiteral("000") + Text2.text) {
        if (!c.isDigit())
            break;
        digitsText += c;
    }
    const double ms = digitsText.toDouble();
    if (ms > 0)
        m_env.clock->sleep(ms / 1000.0);
}

void TablettCore::plotPoint(QPointF spot, int widthPx, quint32 rgbColor)
{
    if (std::isfinite(spot.x()) && std::isfinite(spot.y())) {
        m_drawing.drawnDots.push_back({spot, widthPx, rgbColor});
        redraw();
    }
}

bool TablettCore::checkMove()
{
    if (tb_zeit.text.size() != 2) {
        m_env.ui->message(TimeMessage);
        return false;
    }
    computeScale();
    const double fx = motorFactorOf(1), fy = motorFactorOf(2);
    int strokeIndex = 0, entryCount = 0;
    for (int i = 1; i <= pathModel.punktzahl; ++i) {
        const double x = std::round(pathScale.mmX(pathModel.bahnX[std::size_t(i)]) * fx);
        const double y = std::round(pathScale.mmY(pathModel.bahnY[std::size_t(i)]) * fy);
        // Both targets are computed for every point, unit "02" ticked or not.
        if (!(std::abs(x) <= CountRange) || !(std::abs(y) <= CountRange)) {
            m_env.ui->message(RangeMessage);
            return false;
        }
        if (pathModel.strokeStart(strokeIndex) == i - 1) {
            ++strokeIndex;
            entryCount = 0;
        } else if (++entryCount > pathModel::MaxTablePoints) {
            m_env.ui->message(TableMessage);
            return false;
        }
    }
    return true;
}

void TablettCore::bahn_abfahren()
{
    // One drive at a time, and an empty path sends nothing.
    if (moving() || pathModel.punktzahl < 1 || !checkMove())
        return;
    m_drive = Drive();
    m_drive.strokeTotal = pathModel.strichzahl;
    m_drive.zaehlerX = m_drive.zaehlerY = QStringLiteral("0");
    m_drive.phase = Phase::Point;
    pathModel.strichzahl = 0;
    Tag = QStringLiteral("1");
}

bool TablettCore::moveStep()
{
    if (m_drive.phase == Phase::Point)
        pointStep();
    else if (m_drive.phase == Phase::Warten)
        waitRound();
    return moving();
}

void TablettCore::moveToEnd()
{
    while (moveStep()) {
    }
}

void TablettCore::endMove()
{
    m_drive.phase = Phase::Parked;
    // The drive used the stroke count as its cursor; drawing on needs the count.
    pathModel.strichzahl = m_drive.strokeTotal;
}

void TablettCore::pointStep()
{
    Drive& f = m_drive;
    if (Tag.isEmpty() || f.i >= pathModel.punktzahl) {
        endMove();
        return;
    }
    const int i = ++f.i;
    computeScale();
    const double targetX = pathScale.mmX(pathModel.bahnX[std::size_t(i)]) * motorFactorOf(1);
    const double targetY = pathScale.mmY(pathModel.bahnY[std::size_t(i)]) * motorFactorOf(2);
    // A target that no longer fits (a motor factor changed meanwhile) ends
    // the drive before anything of this point is sent.
    bool okX = false, okY = false;
    if (std::abs(std::round(targetX)) <= CountRange && std::abs(std::round(targetY)) <= CountRange) {
        f.hexX = hex8(targetX, &okX);
        f.hexY = hex8(targetY, &okY);
    }
    if (!okX || !okY) {
        endMove();
        m_env.ui->message(RangeMessage);
        return;
    }
    const bool axis2 = cb_achse2.checked;
    if (pathModel.strokeStart(pathModel.strichzahl) == i - 1) {
        f.kommando = MA;
        ++pathModel.strichzahl;
        f.tabelleX = f.tabelleY = QStringLiteral("[1PK");
        lb_Ant.text.clear();
        lb_PK.text.clear();
    } else {
        f.tabelleX += f.hexX.mid(2, 6) + tb_zeit.text;
        f.tabelleY += f.hexY.mid(2, 6) + tb_zeit.text;
        if (i != pathModel.strokeStart(pathModel.strichzahl) && i != pathModel.punktzahl)
            return;
        f.tabelleX += QLatin1Char(']');
        f.tabelleY += QLatin1Char(']');
        // A table without an answer: this stroke is not run.
        lb_Ant.text = senden(Unit1, f.tabelleX, tableTime());
        if (lb_Ant.text == keine_Antwort)
            return;
        if (axis2) {
            lb_Ant.text = senden(Unit2, f.tabelleY, tableTime());
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
    senden(Unit1, f.kommando + f.hexX + QLatin1Char(']'));
    f.poX = pollMotion();
    if (axis2) {
        senden(Unit2, f.kommando + f.hexY + QLatin1Char(']'));
        f.poY = pollMotion();
    }
    // A move whose poll gets no answer is given up, and what may move is
    // told to stop.
    if (f.poX == keine_Antwort || f.poY == keine_Antwort) {
        stop();
        return;
    }
    f.phase = Phase::Warten;
}

void TablettCore::waitRound()
{
    Drive& f = m_drive;
    if (f.poX != protocol::PollMoving && f.poY != protocol::PollMoving) {
        finishPoint();
        return;
    }
    if (Tag.isEmpty()) {
        endMove();
        return;
    }
    const bool axis2 = cb_achse2.checked;
    if (pathModel.strokeStart(pathModel.strichzahl - 1) != f.i - 1) {
        m_env.bus->einheit_waehlen(Unit2);
        if (axis2) {
            const QString r = senden({}, QStringLiteral("[1PL]"));
            f.zaehlerY = zaehler(r);
            const double fy = motorFactorOf(2);
            if (fy != 0)
                f.ist.setY(pathScale.unitY(hex_zu_wert24(r.mid(9, 8)) / fy));
        } else {
            f.ist.setY(DotYWithoutAxis2);
        }
        const QString r = senden(Unit1, QStringLiteral("[1PL]"));
        f.zaehlerX = zaehler(r);
        const double fx = motorFactorOf(1);
        if (fx != 0)
            f.ist.setX(pathScale.unitX(hex_zu_wert24(r.mid(9, 8)) / fx));
    }
    m_env.bus->einheit_waehlen(Unit1);
    if (f.poX == protocol::PollMoving)
        f.poX = pollMotion();
    if (axis2) {
        m_env.bus->einheit_waehlen(Unit2);
        if (f.poY == protocol::PollMoving)
            f.poY = pollMotion();
    }
    if (f.zaehlerX.toInt() == f.zaehlerY.toInt()) {
        if (f.zaehlerX != f.zaehler_alt && f.kommando != MA) {
            senden(Unit1, QStringLiteral("[1PW]"));
            senden(Unit2, QStringLiteral("[1PW]"));
        }
        f.zaehler_alt = f.zaehlerX;
        plotPoint(f.ist, 4, GreenPoint);
    }
}

void TablettCore::finishPoint()
{
    Drive& f = m_drive;
    if (f.kommando == MA)
        pause();
    if (f.i == pathModel.punktzahl) {
        const double t = formatMask(m_env.clock->now() - f.startzeit, QStringLiteral("##0.000"), false).toDouble();
        lb_fahrzeit.text = QStringLiteral("Fahrzeit :") + text(t) + QLatin1Char('s');
    }
    QPointF endPoint;
    const QString rx = senden(Unit1, QStringLiteral("[1PE]"));
    const double fx = motorFactorOf(1);
    endPoint.setX(fx != 0 ? pathScale.unitX(hex_zu_wert24(rx.mid(5, 8)) / fx) : NAN);
    m_env.bus->einheit_waehlen(Unit2);
    if (cb_achse2.checked) {
        const QString ry = senden({}, QStringLiteral("[1PE]"));
        const double fy = motorFactorOf(2);
        endPoint.setY(fy != 0 ? pathScale.unitY(hex_zu_wert24(ry.mid(5, 8)) / fy) : NAN);
    } else {
        endPoint.setY(pathScale.unitY(0));
    }
    plotPoint(endPoint, 8, RedPoint);
    f.phase = Phase::Point;
}
