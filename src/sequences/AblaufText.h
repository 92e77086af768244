#pragma once
// Number and text conversions of the sequence window: the leading number of a
// line field, the 8-digit counts of a move, and the hexadecimal read-outs of
// positions and AK4 channel values.
#include <QString>
#include <optional>

namespace seqtext {

// The number at the start of `text` from character index `from`: leading
// blanks are skipped and the number ends at the first character that cannot
// continue it ("25.5/x" gives 25.5). No digits give 0. "." is the separator.
// A number beyond the range of a double ("1e400") gives NaN.
double leadingNumber(const QString& text, qsizetype from = 0);
// Whether that number has a digit: "", "-", "--5" and "..5" have none.
bool hasLeadingNumber(const QString& text, qsizetype from = 0);

// Counts of a move: value × factor rounded half away from zero, as eight
// upper-case hexadecimal digits (a negative count as its 32-bit two's
// complement). Nothing when the count leaves the signed 32-bit range.
std::optional<QString> moveDigits(double value, double factor);

// The window's own Hex_8: rounded half to even, two's complement for a
// negative value, padded to 8 digits. Nothing beyond 32 bits.
std::optional<QString> Hex_8(double value);

// The hexadecimal digits at the start of `text` (up to the first other
// character) as a 32-bit pattern (only the last eight digits count).
quint32 leadingHex(const QString& text);

// HexWert: the signed 24-bit value of the text (eight digits read as a signed
// 32-bit value first).
double HexWert(const QString& text);

// HexWertAK: the 24-bit value divided by 2560 with the sign rule applied after
// the division.
double HexWertAK(const QString& text);

// Klammertest: the part of `text` from the last "[" before its last "]" up to
// that "]", both included; nothing without such a pair.
std::optional<QString> Klammertest(const QString& text);

}  // namespace seqtext
