#pragma once
// Path files in millimetres. A text file holds, for each point n, the lines
// "Xnnnn=<mm>" and "Ynnnn=<mm>", each in double quotes, with three decimals
// at most and "." whatever the locale. A workbook gives one point per row of
// its first sheet: column A is X, column B is Y.

#include <QByteArray>
#include <QPointF>
#include <QString>

#include <vector>

namespace bahndatei {

// At most this many points are read from a text file.
constexpr int MaxTextpunkte = 500;

// Millimetres rounded to three decimals (halves to the even neighbour), in
// the shortest form with ".".
QString mmText(double mm);
// The file's bytes for these points (lines end CR LF).
QByteArray schreiben(const std::vector<QPointF>& mm);
// The points of a text file: fields are quoted texts, or unquoted texts up
// to a comma or the line end; each pair of fields is one point, its number
// taken after the first "="; an empty field where an X is due ends the file.
// A pair without a number in both fields (a header, say) is skipped, as is
// an X without its Y at the end.
std::vector<QPointF> lesenText(const QByteArray& inhalt);
// The points of a workbook's first sheet; rows without two numbers are
// skipped. False when the file is no workbook that can be read.
bool lesenArbeitsmappe(const QString& pfad, std::vector<QPointF>& punkte);

}  // namespace bahndatei
