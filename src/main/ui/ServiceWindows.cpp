#include "ServiceWindows.h"

#include "SerialPort.h"

#include <algorithm>
#include <array>

namespace RegisterReadout {
namespace {
struct Register
{
    const char* name;
    int number;
};

// The registers of the motion controller chip in the order the read-out
// delivers them.
constexpr std::array<Register, RowCount> Registers{{
    {"Flag Register", 0x00},
    {"Feature Control Register", 0x01},
    {"Advanced Configuration register", 0x02},
    {"Capture Control Register", 0x03},
    {"Exception Handling Register", 0x04},
    {"Mode Brancher", 0x05},
    {"Profile Phase Status", 0x06},
    {"Status Register", 0x07},
    {"Motor Command Port (MSB)", 0x08},
    {"PWM Command Port", 0x09},
    {"Motor Command DAC Offset", 0x0A},
    {"Command Position Increment", 0x0B},
    {"Command Position (MSB)", 0x0C},
    {"Command Position (CSB)", 0x0D},
    {"Command Position (LSB)", 0x0E},
    {"Sample Time", 0x0F},
    {"Sample Timer Pre-scalar (MSB)", 0x10},
    {"Sample Timer Pre-scalar (LSB)", 0x11},
    {"Read Actual Position (MSB)", 0x12},
    {"Read Actual Position (CSB)", 0x13},
    {"Read Actual Position (LSB)", 0x14},
    {"Preset Actual Position (MSB)", 0x15},
    {"Preset Actual Position (CSB)", 0x16},
    {"Preset Actual Position (LSB)", 0x17},
    {"Interpolator Counter Preset", 0x18},
    {"Interpolator Counter Value", 0x19},
    {"Encoder Filter Clock / PWM Res.", 0x1A},
    {"Stepper Pulse Width", 0x1B},
    {"Encoder / Stepper Ratio (MSB)", 0x1C},
    {"Encoder / Stepper Ratio (Fraction)", 0x1D},
    {"Lead Filter Zero", 0x20},
    {"Lead Filter Pole", 0x21},
    {"Lead Filter Gain", 0x22},
    {"High Resolution Velocity (MSB)", 0x23},
    {"High Resolution Velocity (CSB)", 0x24},
    {"High Resolution Velocity (LSB)", 0x25},
    {"Acceleration (LSB)", 0x26},
    {"Acceleration (MSB)", 0x27},
    {"Profile Velocity (Low Res)", 0x28},
    {"Final Position (LSB)", 0x29},
    {"Final Position (CSB)", 0x2A},
    {"Final Position (MSB)", 0x2B},
    {"Position Error (LSB)", 0x2C},
    {"Position Error (MSB)", 0x2D},
    {"Capture Count (LSB)", 0x2E},
    {"Capture Count CSB)", 0x2F},
    {"Capture Count (MSB)", 0x30},
    {"Accel. Delta Position (LSB)", 0x31},
    {"Accel. Delta Position (CSB)", 0x32},
    {"Accel. Delta Position (MSB)", 0x33},
    {"Actual Velocity (LSB)", 0x34},
    {"Actual Velocity (MSB)", 0x35},
    {"Deceleration Position (LSB)", 0x39},
    {"Deceleration Position (CSB)", 0x3A},
    {"Deceleration Position (MSB)", 0x3B},
    {"Velocity Command", 0x3C},
    {"Break- point Position (LSB)", 0x3D},
    {"Break- point Position (CSB)", 0x3E},
    {"Break- point Position (MSB)", 0x3F},
    {"Backlash", 0x44},
    {"Deadband", 0x45},
    {"Maximum Error (LSB)", 0x49},
    {"Maximum Error (MSB)", 0x4A},
    {"Saturation Foldback Setting", 0x4B},
    {"Motor Command Port (extended)", 0x4C},
    {"PWM Command Port (extended)", 0x4D},
    {"Jerk (LSB)", 0x54},
    {"Jerk (MSB)", 0x55},
    {"Command Feed-forward (LSB)", 0x56},
    {"Command Feed-forward (MSB)", 0x57},
    {"Proportional Gain, Kp", 0x61},
    {"Integral Gain, Ki", 0x62},
    {"Derivative Gain, Kd", 0x63},
    {"Derivative Span", 0x64},
    {"Integral Limit (LSB)", 0x65},
    {"Integral Limit (MSB)", 0x66},
    {"Accel Feed-forward, Kaff", 0x69},
    {"Velocity Feed-forward, Kvf", 0x6A},
}};

constexpr double MinTimeout = 0.15;
constexpr double WireMargin = 0.05;
constexpr int BitsPerCharacter = 10;
// The slowest rate the port dialog offers; an unknown baud text is taken as it.
constexpr int SlowestBaud = 9600;

int captionColumn()
{
    static const int column = [] {
        qsizetype longest = 0;
        for (const Register& r : Registers)
            longest = std::max<qsizetype>(longest, qstrlen(r.name));
        return int(longest) + 1;
    }();
    return column;
}
}  // namespace

QString registerName(int row)
{
    return row >= 0 && row < RowCount ? QString::fromLatin1(Registers[std::size_t(row)].name) : QString();
}

int registerNumber(int row)
{
    return row >= 0 && row < RowCount ? Registers[std::size_t(row)].number : -1;
}

QString caption(int row)
{
    if (row < 0 || row >= RowCount)
        return {};
    return registerName(row).leftJustified(captionColumn(), QLatin1Char(' ')) + QLatin1Char('$') +
           QStringLiteral("%1").arg(registerNumber(row), 2, 16, QLatin1Char('0')).toUpper();
}

QStringList registerValues(const QString& reply)
{
    QStringList out;
    out.reserve(RowCount);
    for (int i = 0; i < RowCount; ++i)
        out << reply.mid(2 * i + 5, 2);  // characters 2i + 6 and 2i + 7, counted from 1
    return out;
}

double timeout(const QString& baudText)
{
    int baud = baudFromSettings(baudText);
    if (baud <= 0)
        baud = SlowestBaud;
    const double wire = double(Command.size() + ReplyLength) * BitsPerCharacter / baud;
    return std::max(MinTimeout, wire + WireMargin);
}
}  // namespace RegisterReadout

namespace Aufzeichnung {
std::optional<QString> zeile(const QString& empf, const QString& zeile)
{
    if (empf.size() < 4)
        return std::nullopt;
    return zeile.left(7) + empf.left(4) + empf.mid(5) + QLatin1String("\r\n");
}
}  // namespace Aufzeichnung

namespace Fehlermeldung {
QString commandPair(const QString& cmdText, const QString& antwort)
{
    return QLatin1String("Bei dem Befehl ") + cmdText + QLatin1String(" ist die Fehlermeldung ") + antwort +
           QLatin1String(" aufgetreten!");
}
}  // namespace Fehlermeldung
