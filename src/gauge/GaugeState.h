#pragma once
// The state of one bar gauge and the constants that go with it. Both gauge
// classes hold the same fields; they differ only in the direction of the
// scale and in their dispatch ids.

#include "GaugePicture.h"

#include <QtGlobal>

namespace levelon {

enum class GaugeKind
{
    Horizontal,
    Vertical
};

// Border kinds. Any other value draws like bsNone.
enum BorderStyleConstants : qint32
{
    bsFlat = 0,
    bsFixedSingle = 1,
    bsNone = 2
};

// Colours are 0x00BBGGRR, or with the highest bit set a system colour whose
// index is the low byte.
constexpr qint32 kButtonFace = qint32(0x8000000Fu);

struct GaugeState
{
    qint32 value = 0;
    qint32 min = -100;
    qint32 max = 100;
    qint32 borderStyle = bsFixedSingle;
    qint32 leftSpace = 0;
    qint32 rightSpace = 0;
    qint32 topSpace = 0;
    qint32 bottomSpace = 0;
    qint32 backColor = kButtonFace;
    qint32 negColor = 0xFF0000;  // blue
    qint32 posColor = 0xFF;      // red
    GaugePicture picture;
};

// The class names and ProgIDs of the two controls.
inline const char* className(GaugeKind kind)
{
    return kind == GaugeKind::Horizontal ? "ToviHGauge" : "ToviVGauge";
}

}  // namespace levelon
