#include "SimParams.h"

#include "SimUnit.h"

std::shared_ptr<SimDriveRegisters> installDriveRegisters(SimUnit& unit)
{
    auto state = std::make_shared<SimDriveRegisters>();
    unit.setHandler(QStringLiteral("1sT"), [state](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        if (c.body() != "1sT")
            return std::nullopt;
        return c.accepted(QByteArray::number(state->prescaler, 16).toUpper().rightJustified(4, '0'));
    });
    unit.setHandler(QStringLiteral("1RL"), [state](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        if (c.body() != "1RL")
            return std::nullopt;
        return c.accepted(state->loopRegister);
    });
    // "[1RS........]" sets the four registers in the working memory,
    // "[1RP........]" the same way where the working memory is locked.
    for (const QString& write : {QStringLiteral("1RS"), QStringLiteral("1RP")}) {
        unit.setHandler(write, [state](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
            const QByteArray value = c.body().mid(3);
            bool ok = value.size() == 8;
            value.toUInt(&ok, 16);
            if (!ok || value.size() != 8)
                return c.rejected(0x0005);
            state->loopRegister = value.toUpper();
            return c.accepted();
        });
    }
    return state;
}
