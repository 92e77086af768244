#include "Referenzfahrt.h"

#include "ControlCenterMath.h"
#include "Format.h"
#include "globale_Funktionen.h"

#include <cctype>
#include <cmath>

namespace controlDesk {

QString moveEcho(const QString& modeId, QChar moveKind, const QString& echoEnd)
{
    return QStringLiteral("[1") + modeId + moveKind + echoEnd + QLatin1Char(']');
}

std::optional<QString> replyDigits(const QString& reply, const QString& command, int digits)
{
    const std::optional<double> wert = replyValue(reply, command, digits);
    if (!wert)
        return std::nullopt;
    const QString echo = command.endsWith(QLatin1Char(']')) ? command.chopped(1) : command;
    const QString rawValue = reply.mid(echo.size() + 1, digits);
    bool allHex = rawValue.size() == digits;
    for (const QChar c : rawValue)
        allHex = allHex && c.unicode() < 128 && std::isxdigit(c.unicode());
    if (allHex)
        return rawValue.toUpper();
    // Fewer digits than the write wants: the same value, widened.
    return digits == 8 ? hex8(*wert) : hex8(*wert).right(digits);
}

std::optional<QString> switchState(const QString& inReply)
{
    if (!inReply.startsWith(QLatin1String("[0IN!")))
        return std::nullopt;
    const QString z = inReply.mid(6, 2);
    if (z.size() != 2)
        return std::nullopt;
    return z;
}

QString indexText(double wert, double resolution, bool usesComma)
{
    const auto matches = [resolution](double r) { return std::fabs(resolution - r) < r * 1e-9; };
    if (matches(0.1))
        return formatMask(wert, QStringLiteral("#0.0000"), usesComma);
    if (matches(0.01))
        return formatMask(wert, QStringLiteral("#0.00000"), usesComma);
    if (matches(0.001))
        return formatMask(wert, QStringLiteral("#0.000000"), usesComma);
    return numberText(wert, usesComma);
}

}  // namespace controlDesk
