#pragma once
// The arithmetic of the axis control center, free of widgets and bus: reading
// replies, position texts, distances, speed and acceleration in raw controller
// units and back, software limits, move commands and the mailbox split. Every
// conversion that divides checks its divisor; every command argument that
// would leave the controller's signed 24-bit counter is refused here, so no
// caller can post it.

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>

namespace leitstand {

// Status colours (24 bit, blue in the high byte).
constexpr quint32 Gruen = 0xC000;       // answered, found
constexpr quint32 Rot = 0xC0;           // not answering, switch closed
constexpr quint32 Dunkelgruen = 0x8000; // travel picture valid
constexpr quint32 Dunkelgelb = 0xC0C0;  // armed, sent
constexpr quint32 Hellgrau = 0xE0E0E0;  // neutral
constexpr quint32 Grau = 0xC0C0C0;      // neutral, free
constexpr quint32 Weiss = 0xFFFFFF;     // input box normal

// The signed 24-bit position counter of an axis controller.
constexpr double MaxCounter = 8388607;
bool imZaehlbereich(double counts);

// Raw speed is 16 bits; raw acceleration 1..32767.
constexpr int MaxRawSpeed = 65535;
constexpr int MinRawAcceleration = 1;
constexpr int MaxRawAcceleration = 32767;

// --- numbers -------------------------------------------------------------------
// The text as a number, with the locale's decimal separator (`komma`): digits,
// one separator, an optional leading sign. Empty or anything else: nothing.
std::optional<double> zahlLesen(const QString& text, bool komma);
// A plain number as text, shortest form, with the locale's separator.
QString numberText(double value, bool komma);
// A mask such as "##0.000 mm": the part up to the first blank is the number
// mask, the rest is appended as it stands.
QString maskiert(double value, const QString& mask, bool komma);
// The display masks of the control center's boxes: travel ends, software
// limits and usable travel; speed; acceleration.
namespace Mask {
inline const QString Travel = QStringLiteral("######0.00");
inline const QString Speed = QStringLiteral("######0.0000");
inline const QString Acceleration = QStringLiteral("######0.0");
} // namespace Mask
// Rounds half to even, as whole-number assignments of the controller do.
double aufGanzzahl(double value);
// aufGanzzahl as an int; nothing for NaN, infinity or a value beyond int
// (speeds and limits from a file can be anything).
std::optional<int> wholeInt(double value);

// --- replies -------------------------------------------------------------------
// The value of an accepted reply to `command`: the reply must begin with the
// command's echo followed by "!" ("[1PA" + "!"), and the value is the
// hexadecimal text from character 6 on, at most `digits` characters, as a
// signed 24-bit number. Anything else (no reply, a rejection, a wrong echo)
// gives nothing.
std::optional<double> antwortWert(const QString& reply, const QString& command, int digits);

// --- position --------------------------------------------------------------------
struct Positionsanzeige
{
    QString text;
    double aufloesung = 0;  // Anzeigeaufloesung
};
// The position text of `counts`: millimetres on a linear axis with the rounding
// digits (`stelleIndex` 0..5 = 1..6 decimals), degrees 0 <= a < 360 on a
// rotary axis with as many decimals as the resolution of the axis allows.
// Nothing when the motor factor is 0.
std::optional<Positionsanzeige> positionstext(double counts, double motorfaktor, bool drehachse, int stelleIndex,
                                              bool komma);

// --- distance ----------------------------------------------------------------------
// Units of `cb_SchritteE`.
enum Einheit { mm = 0, um = 1, nm = 2, counts = 3, Grad = 4 };
inline const QStringList Einheiten{QStringLiteral("mm"), QStringLiteral("µm"), QStringLiteral("nm"),
                                   QStringLiteral("counts"), QStringLiteral("Grad")};
// A distance `value` in unit `einheit` as counts; nothing for an unknown unit.
std::optional<double> streckeInZaehler(double value, int einheit, double motorfaktor);

// --- speed and acceleration ----------------------------------------------------------
// A typed speed: below `vmin` (or empty) becomes vmin, above `vmax` becomes
// vmax; the raw value is value / vmin, rounded, within 0..65535. Nothing when
// vmin is not above 0.
struct Rohwert
{
    double wert = 0;  // the value after the bounds, in mm/s or mm/s²
    int roh = 0;      // what goes on the wire
};
std::optional<Rohwert> geschwindigkeitEingabe(std::optional<double> typed, double vmin, double vmax);
// A typed acceleration: below `amin` (or empty) becomes amin, above 32767
// becomes 32767; raw = value / amin rounded, within 1..32767, and the value
// is the one sent: raw * amin. Nothing when amin is not above 0.
std::optional<Rohwert> beschleunigungEingabe(std::optional<double> typed, double amin);
// The upper end of the speed bar: vmax / vmin − 32768, and its large step.
// Nothing when vmin is not above 0 or the bar cannot hold the ratio (above
// 65535 raw units).
struct Balkengrenze
{
    int max = 0;
    int largeChange = 10;
};
std::optional<Balkengrenze> geschwindigkeitsbalken(double vmax, double vmin);

// --- software limits -------------------------------------------------------------------
// The typed limit (mm, or degrees on a rotary axis) as counts.
double grenzeInZaehler(double value, double motorfaktor, bool drehachse);
// Counts as the limit text's value; nothing when the motor factor is 0.
std::optional<double> grenzeAusZaehler(double counts, double motorfaktor, bool drehachse);

// --- commands ------------------------------------------------------------------------
// "[1" + drive type + letter + hex8(counts) + "]"; nothing when the target
// leaves the 24-bit counter.
std::optional<QString> fahrbefehl(const QString& kennung, QChar letter, double counts);

// --- mailbox ---------------------------------------------------------------------------
// A post is split at its first "]": the first command up to and including it,
// the second command the rest. A text without "]" is an empty first command.
struct Postteile
{
    QString erster;
    QString zweiter;
};
Postteile splitPost(const QString& post);
// Time-out of the first command: 4 s for the store commands "[0ff..", else
// the default.
double erstesZeitlimit(const QString& erster);
// Time-out and mode of the second command: "[0ST]" 0.2 s and mode 1, any
// other the default and mode 0.
double zweitesZeitlimit(const QString& zweiter);
int zweiterModus(const QString& zweiter);

// --- displays ----------------------------------------------------------------------------
// Lines of 42 characters, each followed by CR LF (the last may be shorter).
QString fehlerzeilen(const QString& text, int breite = 42);
// Colours of lb_ESM and lb_ESP for the limit state of "[0IN]" (characters
// 7-8); nothing for an unknown state.
struct Endschalterfarben
{
    quint32 minus;
    quint32 plus;
};
std::optional<Endschalterfarben> endschalterFarben(const QString& zustand);
// Whether the "[0IN]" reply shows a joystick, and which speed it reads.
enum class Joystick { Keiner, Schnell, Langsam };
Joystick joystickOff(const QString& inReply);

// --- key filters -------------------------------------------------------------------------
enum class Eingabefeld { Zahl, GrenzeMinus, GrenzePlus };
// Whether a typed character may enter the box (Backspace always may).
bool zeichenErlaubt(QChar c, Eingabefeld feld, bool komma);

} // namespace leitstand
