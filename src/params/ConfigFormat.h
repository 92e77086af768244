#pragma once
// The layout of the configuration file (extension qvm), independent of where
// its values live at run time: 828 values in seven blocks.
//   1. 31 axis records of 24 values (axis 0 first, record order)
//   2. commands 0-12 of the control-center initialisation list
//   3. commands 0-12 of the probe-board initialisation list
//   4. the nine option flags
//   5. the 31 rotary-axis flags
//   6. commands 13-29 of the control-center initialisation list
//   7. the rounding-digits list position
// Parsing checks the whole file before anything is used, so a short or
// damaged file can be refused as a whole.

#include "Achsdatensatz.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

struct ConfigContent
{
    static constexpr int Achsen = 31;
    static constexpr int InitCommands = 30;
    static constexpr int Init2Commands = 13;
    static constexpr int FirstInitCommands = 13;
    static constexpr int Optionen = 9;
    static constexpr int ValueCount = Achsen * Achsdatensatz::ValueCount + FirstInitCommands + Init2Commands +
                                      Optionen + Achsen + (InitCommands - FirstInitCommands) + 1;
    // Value index (0-based) where the rotary-axis block begins.
    static constexpr int RotaryDriveStart =
        Achsen * Achsdatensatz::ValueCount + FirstInitCommands + Init2Commands + Optionen;

    std::array<Achsdatensatz, Achsen> axes{};
    std::array<QString, InitCommands> init{};
    std::array<QString, Init2Commands> init2{};
    // Option flags as whole numbers: 0 off, 1 on, 2 greyed (counts as off).
    std::array<int, Optionen> optionValues{};
    std::array<int, Achsen> drehantrieb{};
    // 0 for one decimal ... 5 for six.
    int rundungsstelle = 5;

    bool operator==(const ConfigContent&) const = default;
};
static_assert(ConfigContent::ValueCount == 828);

// A configuration file is far smaller than this; a larger one is refused
// before it is read.
constexpr qint64 MaxConfigBytes = 1024 * 1024;

// What a start configuration gives one axis: the file's second record and
// that axis's rotary flag.
struct StartConfig
{
    Achsdatensatz record;
    int drehantrieb = 0;
};
// Start files come in two layouts: the 828 values the program saves, and an
// older one of 826 values with seven option flags. Only the values applied
// are checked, so a start file is not refused for a value it does not give.
// Nothing for any other length or a value of the wrong type.
std::optional<StartConfig> parseStartConfig(const QByteArray& bytes);

// The file's bytes (CR LF, "." decimals). Nothing when a value cannot be
// written (a text with a line break); *error then says which.
std::optional<QByteArray> writeConfig(const ConfigContent& content, QString* error = nullptr);

// The whole file, or nothing when it is short, a value has the wrong type or
// an option flag lies outside what its box can show (0-2); *error says where.
// A rounding position outside 0-5 is taken as the nearer of the two. Values
// after the 828th are ignored.
std::optional<ConfigContent> parseConfig(const QByteArray& bytes, QString* error = nullptr);
