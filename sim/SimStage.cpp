#include "SimStage.h"

#include "SimAxis.h"
#include "SimBus.h"

#include <cmath>
#include <memory>

namespace {
struct StageDrive
{
    int step = 0;      // running speed step
    double since = 0;  // time the position was last brought up to date
};

// Brings the unit's position up to `now` at the running speed.
void follow(SimUnit& unit, StageDrive& drive, double now)
{
    if (drive.step != 0) {
        SimAxisModel* model = simAxisModel(unit);
        const double moved = drive.step * kStageCountsPerStep * (now - drive.since);
        if (model)
            model->place(unit, qint32(std::lround(unit.position() + moved)));
    }
    drive.since = now;
}
}  // namespace

void addStageAnswers(SimBus& bus, const QString& address)
{
    SimUnit* unit = bus.unit(address);
    if (!unit)
        return;
    auto drive = std::make_shared<StageDrive>();
    unit->setHandler(QStringLiteral("1Cc"), [drive](SimUnit& u, const SimCommand& c) -> std::optional<QByteArray> {
        bool ok = false;
        const int byte = c.body().mid(3).toInt(&ok, 16);
        if (!ok || c.body().size() != 5)
            return c.rejected(kUnknownCommandCode);
        follow(u, *drive, c.arrival);
        drive->step = byte > 127 ? byte - 256 : byte;
        return c.accepted();
    });
    unit->setHandler(QStringLiteral("1PA"), [drive](SimUnit& u, const SimCommand& c) -> std::optional<QByteArray> {
        follow(u, *drive, c.arrival);
        return std::nullopt;  // the axis answers its position
    });
}
