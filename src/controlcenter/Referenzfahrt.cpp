#include "Referenzfahrt.h"

#include "ControlCenterMath.h"
#include "Format.h"
#include "globale_Funktionen.h"

#include <cctype>
#include <cmath>

namespace leitstand {

QString moveEcho(const QString& kennung, QChar art, const QString& ende)
{
    return QStringLiteral("[1") + kennung + art + ende + QLatin1Char(']');
}

std::optional<QString> antwortZiffern(const QString& reply, const QString& command, int digits)
{
    const std::optional<double> wert = antwortWert(reply, command, digits);
    if (!wert)
        return std::nullopt;
    const QString echo = command.endsWith(QLatin1Char(']')) ? command.chopped(1) : command;
    const QString roh = reply.mid(echo.size() + 1, digits);
    bool allHex = roh.size() == digits;
    for (const QChar c : roh)
        allHex = allHex && c.unicode() < 128 && std::isxdigit(c.unicode());
    if (allHex)
        return roh.toUpper();
    // Fewer digits than the write wants: the same value, widened.
    return digits == 8 ? hex8(*wert) : hex8(*wert).right(digits);
}

std::optional<QString> schalterzustand(const QString& inReply)
{
    if (!inReply.startsWith(QLatin1String("[0IN!")))
        return std::nullopt;
    const QString z = inReply.mid(6, 2);
    if (z.size() != 2)
        return std::nullopt;
    return z;
}

QString indexText(double wert, double aufloesung, bool komma)
{
    const auto gleich = [aufloesung](double r) { return std::fabs(aufloesung - r) < r * 1e-9; };
    if (gleich(0.1))
        return formatMask(wert, QStringLiteral("#0.0000"), komma);
    if (gleich(0.01))
        return formatMask(wert, QStringLiteral("#0.00000"), komma);
    if (gleich(0.001))
        return formatMask(wert, QStringLiteral("#0.000000"), komma);
    return numberText(wert, komma);
}

} // namespace leitstand
