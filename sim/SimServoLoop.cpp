#include "SimServoLoop.h"

#include "SimAxis.h"
#include "SimUnit.h"

#include <cmath>

namespace {

constexpr int ValueCount = 101;
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
    const double cruise = peak > 0 ? (s - 2 * rampDistance) / peak : 0;
    const double endAt = 2 * ramp + cruise;
    double travelLeft = s;
    if (t <= 0)
        travelLeft = 0;
    else if (t < ramp)
        travelLeft = a * t * t / 2;
    else if (t < ramp + cruise)
        travelLeft = rampDistance + peak * (t - ramp);
    else if (t < endAt)
        travelLeft = s - a * (endAt - t) * (endAt - t) / 2;
    return d < 0 ? -travelLeft : travelLeft;
}

// The sampled response of the loop to a move of `d` counts from `start`.
QList<qint32> stepResponse(qint32 start, double d, double v, double a, const QByteArray& regs, int timeBase)
{
    const int zero = regs.mid(2, 2).toInt(nullptr, 16);
    const int gain = regs.mid(6, 2).toInt(nullptr, 16);
    const double omega = 2 * M_PI * (4.0 + gain / 6.0);
    const double zeta = 0.15 + zero / 128.0;
    const double sampleInterval = timeBase / 1000.0;  // 100 intervals over tenths of a second
    QList<qint32> out;
    double x = 0, xv = 0, t = 0;
    double rOld = 0;
    for (int n = 0; n < ValueCount; ++n) {
        const double upTo = n * sampleInterval;
        while (t + Schritt / 2 < upTo) {
            const double r = profil(d, v, a, t + Schritt);
            const double rv = (r - rOld) / Schritt;
            rOld = r;
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
    loop->register_->loopRegister = "7C202040";

    const auto writeRegister = [loop](bool rs) {
        return [loop, rs](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
            const QByteArray wert = c.body().mid(3);
            if ((rs && loop->onlyRP) || !hexText(wert, 8))
                return std::nullopt;
            loop->register_->loopRegister = wert.toUpper();
            return c.accepted();
        };
    };
    unit.setHandler(QStringLiteral("1RS"), writeRegister(true));
    unit.setHandler(QStringLiteral("1RP"), writeRegister(false));
    unit.setHandler(QStringLiteral("1XT"), [loop](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        const QByteArray wert = c.body().mid(3);
        if (!hexText(wert, 4) || wert.toInt(nullptr, 16) < 1 || wert.toInt(nullptr, 16) > 100)
            return c.rejected(SimAxisModel::kBadArgument);
        loop->timeBase = wert.toInt(nullptr, 16);
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
        const qint64 targetPos = qint64(u.position()) + *d;
        if (targetPos < axis->softLimitMinus() || targetPos > axis->softLimitPlus())
            return c.rejected(SimAxisModel::kBeyondSoftLimit);
        const double v = axis->speed(SimAxisModel::Mode::P);
        const double a = axis->acceleration(SimAxisModel::Mode::P);
        if (v <= 0 || a <= 0)
            return c.rejected(SimAxisModel::kNoSpeed);
        loop->recording = stepResponse(u.position(), *d, v, a, loop->register_->loopRegister, loop->timeBase);
        axis->place(u, qint32(targetPos));
        return axis->startedAndDone(c);
    });
    unit.setHandler(QStringLiteral("1XL"), [loop](SimUnit& u, const SimCommand& c) -> std::optional<QByteArray> {
        if (c.body() != "1XL")
            return std::nullopt;
        QList<qint32> samples = loop->recording;
        if (samples.isEmpty())
            samples = QList<qint32>(ValueCount, u.position());
        QByteArray text;
        for (qint32 w : samples) {
            if (!text.isEmpty())
                text += ',';
            text += QByteArray::number(quint32(w) & 0xFFFFFF, 16).toUpper().rightJustified(6, '0');
        }
        return c.accepted(text);
    });
    return loop;
}
