#include "SimReadout.h"

#include "SimAxis.h"
#include "SimUnit.h"

#include <cctype>

namespace {
bool isHex(const QByteArray& text, int width)
{
    if (text.size() != width)
        return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// A register that a lower-case read answers and an upper-case write sets.
void readWrite(SimUnit& unit, const char* read, const char* write, int width, std::function<QByteArray&()> value)
{
    unit.setHandler(QString::fromLatin1(read),
                    [read, value](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
                        if (c.body() != read)
                            return std::nullopt;
                        return c.accepted(value());
                    });
    unit.setHandler(QString::fromLatin1(write),
                    [write, width, value](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
                        const QByteArray digits = c.body().mid(int(qstrlen(write)));
                        if (!isHex(digits, width))
                            return c.rejected(kUnknownCommandCode);
                        value() = digits.toUpper();
                        return c.accepted();
                    });
}
}  // namespace

std::shared_ptr<SimReadoutRegisters> installReadoutRegisters(SimUnit& unit)
{
    auto state = std::make_shared<SimReadoutRegisters>();
    SimReadoutRegisters* s = state.get();
    readWrite(unit, "1Rl", "1Rs", 16, [s]() -> QByteArray& { return s->registerDump; });
    readWrite(unit, "1ct", "1Ct", 2, [s]() -> QByteArray& { return s->kanaltyp; });
    unit.setHandler(QStringLiteral("7PA"), [](SimUnit& u, const SimCommand& c) -> std::optional<QByteArray> {
        if (c.body() != "7PA")
            return std::nullopt;
        if (SimAxisModel* axis = simAxisModel(u))
            axis->settle(u, c.arrival);
        return c.accepted(QByteArray::number(quint32(u.position()), 16).toUpper().rightJustified(8, '0'));
    });
    return state;
}
