#pragma once
// The command-script language and file of the script window, without state:
// how a script line is recognised, the move command a micrometre line becomes,
// the transform of a read-out into a write script, and the script file (78
// quoted values, one a line, CR LF).
//
// Every test is on the line text as written, case-sensitive.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace scriptText {

constexpr int MaxRows = 78;
// The three store commands the transform puts at the end of a script.
constexpr int FirstStorageRow = 75;

// The whole line is "#": it switches comment mode on or off.
bool isCommentMarker(const QString& line);
// First character "0", "F", "2", "3" or "4": a unit selection with the whole line.
bool isAddressLine(const QString& line);
// An address line that opens a group ("00…" or "F…"): missing replies and
// rejections do not stop the run after it.
bool opensGroup(const QString& line);
// "MA…" or "MR…" (the moves in Piezo Mode): a move in micrometres.
bool isMove(const QString& line);
// In "[" or "(" and ending "]" or ")", and not a move: sent as written.
bool isRawCommand(const QString& line);
// One whole command frame: "[", the unit digit, a command letter, and no
// other bracket before the closing "]" at the end. Its reply begins with its
// echo.
bool isCommandFrame(const QString& line);
// "[0ff…": an EEPROM store, allowed 10 s.
bool isEepromStore(const QString& line);
// "WZ…": a pause.
bool isPause(const QString& line);
// "[7PA…": its reply must be exactly PositionOk.
bool isPositionCheck(const QString& line);
inline const QString PositionOk = QStringLiteral("[7PA!00000000]");

// The command of a move line: "[1MA" or "[1MR" and the counts v × motorFactorValue ÷
// 1000 as eight hexadecimal digits (two's complement when negative), v the
// micrometres after the two letters. Nothing when the number is not a number
// of at most nine characters, the factor is not above 0, or the counts leave
// the signed 32-bit range.
std::optional<QString> moveCommand(const QString& line, double motorFactorValue);

// Milliseconds of a pause line: the leading number of characters 3 to 7
// (so at most 99999), 0 when there is none or it is negative.
int pauseMilliseconds(const QString& line);

// Whether character 5 of a reply marks a motion that has started (">") that
// is polled until it ends (not the back-off runs "BX"/"BY").
bool startsMotion(const QString& reply);
// "?" at character 5: a rejection.
bool isRejection(const QString& reply);

// Turns a read-out into a write script: `lines` are the script lines,
// `replies` the reply shown beside each. Lines 0-74 are rewritten, lines
// 75-77 become the three store commands. Only read commands (third character
// lower case) are rewritten; a rejected read is emptied.
QStringList transformieren(const QStringList& lines, const QStringList& replies);

// The bytes of a script file; nothing when a line holds a line break (it
// could not be read back as one value).
std::optional<QByteArray> scriptFileData(const QStringList& lines);

// A script file read back: its lines (always 78; the missing ones empty) and
// whether the file held all 78.
struct ScriptFile
{
    QStringList lines;
    bool complete = false;
};
ScriptFile parseScriptFile(const QByteArray& bytes);

}  // namespace scriptText
