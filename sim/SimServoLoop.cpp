#include "SimServoLoop.h"

#include "SimAxis.h"
#include "SimUnit.h"

#include <cmath>

namespace {

constexpr int Werte = 101;
constexpr double Schritt = 0.0001;  // integration step in seconds

std::optional<qint32> argument8(const QByteArray& text)
{
    if (text.size() != 8)
        return std::nullopt;
    bool ok = false;
    const quint32 v = text.toUInt(&ok, 16);
    return ok ? std::optional<qint32>(qint32(v)) : std::nullopt;
}

bool hexText(const QByteArray& text, int width)
{
    bool ok = false;
    text.toUInt(&ok, 16);
    return ok && text.size() == width;
}

// Reference position of a trapezoidal move of `d` counts at time t.
double profil(double d, double v, double a, double t)
{
    const double s = std::abs(d);
    double ramp = v / a;
    double peak = v;
    if (s < v * v / a) {
        ramp = std::sqrt(s / a);
        peak = a * ramp;
    }
    const double rampDistance = peak * ramp / 2;
    const double fahrt = peak > 0 ? (s - 2 * rampDistance) / peak : 0;
    const double ende = 2 * ramp + fahrt;
    double weg = s;
    if (t <= 0)
        weg = 0;
    else if (t < ramp)
        weg = a * t * t / 2;
    else if (t < ramp + fahrt)
        weg = rampDistance + peak * (t - ramp);
    else if (t < ende)
        weg = s - a * (ende - t) * (ende - t) / 2;
    return d < 0 ? -weg : weg;
}

// The sampled response of the loop to a move of `d` counts from `start`.
QList<qint32> sprungantwort(qint32 start, double d, double v, double a, const QByteArray& regs, int zeitbasis)
{
    const int zero = regs.mid(2, 2).toInt(nullptr, 16);
    const int gain = regs.mid(6, 2).toInt(nullptr, 16);
    const double omega = 2 * M_PI * (4.0 + gain / 6.0);
    const double zeta = 0.15 + zero / 128.0;
    const double intervall = zeitbasis / 1000.0;  // 100 intervals over tenths of a second
    QList<qint32> out;
    double x = 0, xv = 0, t = 0;
    double rAlt = 0;
    for (int n = 0; n < Werte; ++n) {
        const double bis = n * intervall;
        while (t + Schritt / 2 < bis) {
            const double r = profil(d, v, a, t + Schritt);
            const double rv = (r - rAlt) / Schritt;
            rAlt = r;
            const double acc = omega * omega * (r - x) + 2 * zeta * omega * (rv - xv);
            xv += acc * Schritt;
            x += xv * Schritt;
            t += Schritt;
        }
        out << qint32(std::lround(start + x));
    }
    return out;
}

}  // namespace

std::shared_ptr<SimServoLoop> installServoLoop(SimUnit& unit)
{
    auto loop = std::make_shared<SimServoLoop>();
    loop->register_ = installDriveRegisters(unit);
    loop->register_->regelkreis = "7C202040";

    const auto schreiben = [loop](bool rs) {
        return [loop, rs](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
            const QByteArray wert = c.body().mid(3);
            if ((rs && loop->nurRP) || !hexText(wert, 8))
                return std::nullopt;
            loop->register_->regelkreis = wert.toUpper();
            return c.accepted();
        };
    };
    unit.setHandler(QStringLiteral("1RS"), schreiben(true));
    unit.setHandler(QStringLiteral("1RP"), schreiben(false));
    unit.setHandler(QStringLiteral("1XT"), [loop](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        const QByteArray wert = c.body().mid(3);
        if (!hexText(wert, 4) || wert.toInt(nullptr, 16) < 1 || wert.toInt(nullptr, 16) > 100)
            return c.rejected(SimAxisModel::kBadArgument);
        loop->zeitbasis = wert.toInt(nullptr, 16);
        return c.accepted();
    });
    unit.setHandler(QStringLiteral("0pa"), [](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        return c.body() == "0pa" ? std::optional<QByteArray>(c.accepted()) : std::nullopt;
    });
    unit.setHandler(QStringLiteral("1XR"), [loop](SimUnit& u, const SimCommand& c) -> std::optional<QByteArray> {
        SimAxisModel* axis = simAxisModel(u);
        const std::optional<qint32> d = argument8(c.body().mid(3));
        if (!axis || !d)
            return c.rejected(SimAxisModel::kBadArgument);
        axis->settle(u, c.arrival);
        if (axis->isMoving(c.arrival) || axis->joystick() != SimAxisModel::Joystick::Off)
            return c.rejected(SimAxisModel::kBusy);
        const qint64 ziel = qint64(u.position()) + *d;
        if (ziel < axis->softLimitMinus() || ziel > axis->softLimitPlus())
            return c.rejected(SimAxisModel::kBeyondSoftLimit);
        const double v = axis->speed(SimAxisModel::Mode::P);
        const double a = axis->acceleration(SimAxisModel::Mode::P);
        if (v <= 0 || a <= 0)
            return c.rejected(SimAxisModel::kNoSpeed);
        loop->aufzeichnung = sprungantwort(u.position(), *d, v, a, loop->register_->regelkreis, loop->zeitbasis);
        axis->place(u, qint32(ziel));
        return c.accepted();
    });
    unit.setHandler(QStringLiteral("1XL"), [loop](SimUnit& u, const SimCommand& c) -> std::optional<QByteArray> {
        if (c.body() != "1XL")
            return std::nullopt;
        QList<qint32> werte = loop->aufzeichnung;
        if (werte.isEmpty())
            werte = QList<qint32>(Werte, u.position());
        QByteArray text;
        for (qint32 w : werte) {
            if (!text.isEmpty())
                text += ',';
            text += QByteArray::number(quint32(w) & 0xFFFFFF, 16).toUpper().rightJustified(6, '0');
        }
        return c.accepted(text);
    });
    return loop;
}
