#include "SimLoopReadouts.h"

#include "SimAxis.h"
#include "SimBus.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
struct LoopModel
{
    qint32 position = 0;
    double time = -1;
    double velocity = 0;  // counts per sample

    // Brings the model up to the command's time.
    void update(SimUnit& unit, double now)
    {
        SimAxisModel* axis = simAxisModel(unit);
        if (axis)
            axis->settle(unit, now);
        const double sample = axis ? axis->sampleTime() : 0.001;
        if (time >= 0 && now > time)
            velocity = (unit.position() - position) / (now - time) * sample;
        if (axis && !axis->isMoving(now) && now > time)
            velocity = 0;
        position = unit.position();
        time = now;
    }
    int error() const { return int(std::clamp(std::lround(velocity * 2), -127L, 127L)); }
    int output() const { return int(std::clamp(std::lround(8.0 * error() + 4 * velocity), -2048L, 2047L)); }
};

QByteArray hexDigits(qint64 value, int digits)
{
    const quint64 mask = (quint64(1) << (4 * digits)) - 1;
    return QByteArray::number(quint64(value) & mask, 16).toUpper().rightJustified(digits, '0');
}
}  // namespace

void addLoopReadouts(SimBus& bus, const QString& address)
{
    SimUnit* unit = bus.unit(address);
    if (!unit)
        return;
    auto loop = std::make_shared<LoopModel>();
    const auto answer = [&](const char* prefix, std::function<QByteArray(const LoopModel&)> values) {
        unit->setHandler(QString::fromLatin1(prefix),
                         [loop, values](SimUnit& u, const SimCommand& c) -> std::optional<QByteArray> {
                             if (c.body().size() != 3)
                                 return std::nullopt;
                             loop->update(u, c.arrival);
                             return c.accepted(values(*loop));
                         });
    };
    answer("1TW", [](const LoopModel& m) { return hexDigits(std::lround(m.velocity), 4); });
    answer("1K8", [](const LoopModel& m) { return hexDigits(m.error() & 0xFF, 4); });
    answer("1PC", [](const LoopModel& m) { return hexDigits(std::lround(m.velocity * 256), 4); });
    answer("1eW", [](const LoopModel& m) { return hexDigits(m.output(), 3); });
    answer("1wP", [](const LoopModel&) { return QByteArray("80"); });
    answer("1kJ", [](const LoopModel& m) { return QByteArray("000000000") + (m.velocity == 0 ? "1" : "0"); });
}
