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
    static constexpr int InitBefehle = 30;
    static constexpr int Init2Befehle = 13;
    static constexpr int ErsteInitBefehle = 13;
    static constexpr int Optionen = 9;
    static constexpr int Werte = Achsen * Achsdatensatz::Werte + ErsteInitBefehle + Init2Befehle + Optionen +
                                 Achsen + (InitBefehle - ErsteInitBefehle) + 1;
    // Value index (0-based) where the rotary-axis block begins.
    static constexpr int DrehantriebStart = Achsen * Achsdatensatz::Werte + ErsteInitBefehle + Init2Befehle + Optionen;

    std::array<Achsdatensatz, Achsen> achsen{};
    std::array<QString, InitBefehle> init{};
    std::array<QString, Init2Befehle> init2{};
    // Option flags as whole numbers: 0 off, 1 on, 2 greyed (counts as off).
    std::array<int, Optionen> optionen{};
    std::array<int, Achsen> drehantrieb{};
    // 0 for one decimal ... 5 for six.
    int rundungsstelle = 5;

    bool operator==(const ConfigContent&) const = default;
};
static_assert(ConfigContent::Werte == 828);

// The file's bytes (CR LF, "." decimals). Nothing when a value cannot be
// written (a text with a line break); *error then says which.
std::optional<QByteArray> writeConfig(const ConfigContent& content, QString* error = nullptr);

// The whole file, or nothing when it is short, a value has the wrong type, a
// flag lies outside what its box can show (option flags 0-2, rounding 0-5),
// or *error says where. Values after the 828th are ignored.
std::optional<ConfigContent> parseConfig(const QByteArray& bytes, QString* error = nullptr);
