#pragma once
// What the small service windows compute, kept apart from their forms: the
// register table of the "[1ra]" read-out and its decoding, the line the
// recording window appends, and the error dialog's sentence.

#include <QString>
#include <QStringList>

#include <optional>

namespace RegisterReadout {
constexpr int RowCount = 78;
// The read-out command and the length of its full reply: the echo "[1ra",
// the status character, 156 hexadecimal digits and "]".
inline const QString Command = QStringLiteral("[1ra]");
constexpr int ReplyLength = 5 + 2 * RowCount + 1;

// Name and register number of row i (0..77).
QString registerName(int row);
int registerNumber(int row);
// The row's caption: the name, blanks up to one column, "$" and the number
// in two hexadecimal digits.
QString caption(int row);
// The 78 byte texts of a reply: row i shows characters 2i + 6 and 2i + 7
// (counted from 1); characters the reply does not hold stay empty.
QStringList registerValues(const QString& reply);
// Time-out for the read-out at a baud: never less than 0.15 s, and at least
// the time the command and its full reply take on the wire (10 bits a
// character) plus a margin, so a complete reply is not cut off at low rates.
double timeout(const QString& baudText);
}  // namespace RegisterReadout

namespace Aufzeichnung {
// Text the recording window holds when it is created.
inline const QString StartText = QStringLiteral("zeile1\r\nzeile2\r\nzeile3");
// The line `schreibe` appends for a reply `empf` and a line label `zeile`:
// the first 7 characters of zeile, the first 4 of empf, empf from its 6th
// character on, then CR LF. Nothing for a reply shorter than 4 characters.
std::optional<QString> zeile(const QString& empf, const QString& zeile);
}  // namespace Aufzeichnung

namespace Fehlermeldung {
QString commandPair(const QString& cmdText, const QString& antwort);
// The answer of the "Fkt. - Abbruch" button.
inline const QString Abbruch = QStringLiteral("888");
}  // namespace Fehlermeldung
