#pragma once
// Explains a unit's rejection reply or status word in words from the two code
// tables (the board's and the axis's) and shows it to the operator.

#include <QString>

#include <functional>

class IUiServices;

namespace StatusDecoder {
// Text of a board code ("0000".."0014") or an axis code ("0000".."0022");
// the empty text for codes outside the tables.
QString Fehlertabelle_Einheit(const QString& code);
QString Fehlertabelle_Achse(const QString& code);

struct Decoded
{
    QString text;  // what follows the reply in the box
    QString code;  // the code the suppression rule looks at
};
// The text a reply decodes to, without showing anything.
Decoded decode(const QString& reply);

// Limit codes that the graphic-support reference run provokes on purpose.
bool isLimitCode(const QString& code);
}  // namespace StatusDecoder

// Beeps, then shows the reply and its decoded text in a box titled
// "Error !   " and the time of day. `referenceRunActive` tells whether the
// current control center runs its graphic-support reference run; limit codes
// are then only beeped. With no current control center the box is shown.
void fehler_anzeigen(const QString& reply, IUiServices& ui, const std::function<bool()>& referenceRunActive);
