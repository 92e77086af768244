#pragma once
// What the graphic-support reference run keeps between its steps, and the
// reply texts it compares. The run itself is a step function of
// ControlCenterCore (`Identifikationsfahrt`), advanced once per answered tick.
//
// Positions are kept as counts, never as reply texts: a move is always built
// from a number that was read from an accepted "[1PA!" reply, so a missing or
// rejected reply can never end up inside a command.

#include <QChar>
#include <QString>

#include <optional>

namespace controlDesk {

// The phases of the run (`Referenzphase`). Start saves what the run changes
// and starts it; Cancel is the answer No to the question before it.
namespace RefPhase {
constexpr double Start = 0.5;
constexpr double Entry = 1;           // which switch is closed decides the way
constexpr double LeaveMinus = 1.5;    // step off the minus switch, then run plus
constexpr double ToPlus = 2;          // run to the plus switch
constexpr double LeavePlus = 3;       // step off the plus switch
constexpr double EdgePlus = 3.5;      // high resolution: creep to the plus edge
constexpr double BackFromPlus = 3.7;  // back to the last free position
constexpr double ToMinus = 4;         // run to the minus switch
constexpr double LeaveMinusFine = 5;  // high resolution: step off the minus switch
constexpr double EdgeMinus = 5.5;     // high resolution: creep to the minus edge
constexpr double ToStart = 6;         // back to the start position
constexpr double Finish = 7;          // arrived: travel ends, scale, marks
constexpr double Cancel = 8;
}  // namespace RefPhase

// The controller values the run changes, as read before it changed them.
// The window owes them to the unit they were read from until they have been
// written back, so that a run started again after an interruption never
// takes the opened values for the originals.
struct ReferenceBackup
{
    QString vP, aP;  // positioning speed and acceleration, four digits each
    QString l5, l6;  // software limits minus and plus, eight digits each
};

struct Referenzfahrt
{
    bool fine = false;  // high-resolution run (index search, edge creep)
    double Referenzschritt = 0;
    QString Schritt_plus, Schritt_minus;
    double Startposition = 0;
    double Frei_plus = 0, Frei_minus = 0;
    double Kante_plus = 0, Kante_minus = 0;
    QString Fahrantwort;
    QString Pollantwort;
    QString Schalterzustand;
};

// The reply of a move with drive type `modeId` and letter `moveKind` ("R" or
// "A"): "[1FR!]", "[1FR?0019]" ... for `echoEnd` "!", "?0019" ...
QString moveEcho(const QString& modeId, QChar moveKind, const QString& echoEnd);

// The value digits of an accepted reply to `command`, exactly `digits` of
// them as the controller wants them back in a write. A shorter valid value is
// widened to `digits` (as a signed number); no reply, a rejection or anything
// that is not hexadecimal gives nothing.
std::optional<QString> replyDigits(const QString& reply, const QString& command, int digits);

// The limit-switch state of a "[0IN]" reply (characters 7 and 8): "00" both
// open, "01" minus closed, "10" plus closed, "11" both; nothing for a missing,
// rejected or truncated reply.
std::optional<QString> switchState(const QString& inReply);

// The text of a found index position (in mm or revolutions) for the display
// resolution `resolution`: 0.1 shows four decimals, 0.01 five, 0.001 six; any
// other resolution shows the plain number.
QString indexText(double wert, double resolution, bool usesComma);

}  // namespace controlDesk
