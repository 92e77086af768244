#pragma once
// The arithmetic of the axis control center, free of widgets and bus: reading
// replies, position texts, distances, speed and acceleration in raw controller
// units and back, software limits, move commands and the mailbox split. Every
// conversion that divides checks its divisor; every command argument that
// would leave the controller's signed 24-bit counter is refused here, so no
// caller can post it.

#include "Protocol.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>

namespace controlDesk {

// Status colours (24 bit, blue in the high byte).
constexpr quint32 Green = 0xC000;        // answered, found
constexpr quint32 Red = 0xC0;            // not answering, switch closed
constexpr quint32 DarkGreen = 0x8000;    // travel picture valid
constexpr quint32 DarkYellow = 0xC0C0;   // armed, sent
constexpr quint32 LightGray = 0xE0E0E0;  // neutral
constexpr quint32 Gray = 0xC0C0C0;       // neutral, free
constexpr quint32 White = 0xFFFFFF;      // input box normal

// The signed 24-bit position counter of an axis controller.
constexpr double MaxCounter = 8388607;
bool inCountRange(double counts);

// Raw speed is 16 bits; raw acceleration 1..32767.
constexpr int MaxRawSpeed = 65535;
constexpr int MinRawAcceleration = 1;
constexpr int MaxRawAcceleration = 32767;

// --- numbers -------------------------------------------------------------------
// The text as a number, with the locale's decimal separator (`usesComma`): digits,
// one separator, an optional leading sign. Empty or anything else: nothing.
std::optional<double> readNumberField(const QString& text, bool usesComma);
// A plain number as text, shortest form, with the locale's separator.
QString numberText(double value, bool usesComma);
// A mask such as "##0.000 mm": the part up to the first blank is the number
// mask, the rest is appended as it stands.
QString masked(double value, const QString& mask, bool usesComma);
// The display masks of the control center's boxes: travel ends, software
// limits and usable travel; speed; acceleration.
namespace Mask {
inline const QString Travel = QStringLiteral("######0.00");
inline const QString Speed = QStringLiteral("######0.0000");
inline const QString Acceleration = QStringLiteral("######0.0");
}  // namespace Mask
// Rounds half to even, as whole-number assignments of the controller do.
double toInteger(double value);
// toInteger as an int; nothing for NaN, infinity or a value beyond int
// (speeds and limits from a file can be anything).
std::optional<int> wholeInt(double value);

// --- replies -------------------------------------------------------------------
// The value of an accepted reply to `command`: the reply must begin with the
// command's echo followed by "!" ("[1PA" + "!"), and the value is the
// hexadecimal text from character 6 on, at most `digits` characters, as a
// signed 24-bit number. Anything else (no reply, a rejection, a wrong echo)
// gives nothing.
std::optional<double> replyValue(const QString& reply, const QString& command, int digits);

// --- position --------------------------------------------------------------------
struct PositionDisplay
{
    QString text;
    double resolution = 0;  // Anzeigeaufloesung
};
// The position text of `counts`: millimetres on a linear axis with the rounding
// digits (`digitIndex` 0..5 = 1..6 decimals), degrees 0 <= a < 360 on a
// rotary axis with as many decimals as the resolution of the axis allows.
// Nothing when the motor factor is 0.
std::optional<PositionDisplay> positionText(double counts, double motorFactorArg, bool rotaryAxis, int digitIndex,
                                            bool usesComma);

// --- distance ----------------------------------------------------------------------
// Units of `cb_SchritteE`.
enum Unit
{
    mm = 0,
    um = 1,
    nm = 2,
    counts = 3,
    Grad = 4
};
inline const QStringList Units{QStringLiteral("mm"), QStringLiteral("µm"), QStringLiteral("nm"),
                               QStringLiteral("counts"), QStringLiteral("Grad")};
// A distance `value` in unit `unitIndex` as counts; nothing for an unknown unit.
std::optional<double> distanceToCounter(double value, int unitIndex, double motorFactorArg);

// --- speed and acceleration ----------------------------------------------------------
// A typed speed: below `vmin` (or empty) becomes vmin, above `vmax` becomes
// vmax; the raw value is value / vmin, rounded, within 0..65535. Nothing when
// vmin is not above 0.
struct RawValue
{
    double wert = 0;   // the value after the bounds, in mm/s or mm/s²
    int rawValue = 0;  // what goes on the wire
};
std::optional<RawValue> speedInput(std::optional<double> typed, double vmin, double vmax);
// A typed acceleration: below `amin` (or empty) becomes amin, above 32767
// becomes 32767; raw = value / amin rounded, within 1..32767, and the value
// is the one sent: raw * amin. Nothing when amin is not above 0.
std::optional<RawValue> accelerationInput(std::optional<double> typed, double amin);
// The upper end of the speed bar: vmax / vmin − 32768, and its large step.
// Nothing when vmin is not above 0 or the bar cannot hold the ratio (above
// 65535 raw units).
struct BarLimit
{
    int max = 0;
    int largeChange = 10;
};
std::optional<BarLimit> speedBar(double vmax, double vmin);

// --- software limits -------------------------------------------------------------------
// The typed limit (mm, or degrees on a rotary axis) as counts.
double limitToCounter(double value, double motorFactorArg, bool rotaryAxis);
// The limit box's value as counts. The box shows two places (Mask::Travel), so
// the counter's end shows rounded, possibly past it (8388607 counts at 5217 per
// mm show as 1607.94, which is 8388623 counts): a value within half a shown
// digit beyond the end is taken as the end. Anything further out is returned
// as it is, for the caller's range check to refuse.
double limitBoxToCounter(double value, double motorFactorArg, bool rotaryAxis);
// Counts as the limit text's value; nothing when the motor factor is 0.
std::optional<double> limitFromCounter(double counts, double motorFactorArg, bool rotaryAxis);

// --- commands ------------------------------------------------------------------------
// "[1" + drive type + letter + hex8(counts) + "]"; nothing when the target
// leaves the 24-bit counter.
std::optional<QString> driveCommand(const QString& modeId, QChar letter, double counts);

// --- mailbox ---------------------------------------------------------------------------
// A post is split at its first "]": the first command up to and including it,
// the second command the rest. A text without "]" is an empty first command.
struct PostParts
{
    QString firstPart;
    QString secondPart;
};
PostParts splitPost(const QString& post);
// Time-out of the first command: 4 s for the store commands "[0ff..", else
// the default.
double firstTimeLimit(const QString& firstPart);
// Time-out and rejection mode of the second command: "[0ST]" 0.2 s and a
// status query, any other the default and shown.
double secondTimeLimit(const QString& secondPart);
protocol::Rejection secondMode(const QString& secondPart);

// --- displays ----------------------------------------------------------------------------
// Lines of 42 characters, each followed by CR LF (the last may be shorter).
QString errorLines(const QString& text, int widthPx = 42);
// Colours of lb_ESM and lb_ESP for the limit state of "[0IN]" (characters
// 7-8); nothing for an unknown state.
struct LimitSwitchColors
{
    quint32 minus;
    quint32 plus;
};
std::optional<LimitSwitchColors> limitSwitchColors(const QString& stateBits);
// Whether the "[0IN]" reply shows a joystick, and which speed it reads.
enum class Joystick
{
    NoJoystick,
    FastSpeed,
    SlowSpeed
};
Joystick joystickOff(const QString& inReply);

// --- key filters -------------------------------------------------------------------------
enum class InputField
{
    Zahl,
    LimitMinus,
    LimitPlus
};
// Whether a typed character may enter the box (Backspace always may).
bool characterAllowed(QChar c, InputField fieldKind, bool usesComma);

}  // namespace controlDesk
