#pragma once
// The fixed identifiers of the Levelon library. Window designs name the
// controls by these class IDs as well as by their ProgIDs, so they never
// change. The plugin metadata (levelon.json) carries the same values.

namespace levelon::ids {

constexpr const char* TypeLibrary = "{1D5CE82B-ECAB-479D-A06C-756879D86633}";
constexpr const char* TypeLibraryName = "Levelon";
constexpr const char* TypeLibraryVersion = "1.0";
constexpr const char* TypeLibraryLocale = "0x409";
constexpr const char* TypeLibraryHelp = "Levelon";

constexpr const char* HGaugeClass = "{41F3032C-0FE3-4C51-8308-73DCB6FB87B1}";
constexpr const char* VGaugeClass = "{E590EFE6-FAB1-4393-835B-CE0F7C070A95}";
constexpr const char* HGaugeProgId = "Levelon.ToviHGauge";
constexpr const char* VGaugeProgId = "Levelon.ToviVGauge";

}  // namespace levelon::ids
