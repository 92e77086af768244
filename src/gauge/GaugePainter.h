#pragma once
// Drawing of the bar gauges as a pure function: the state and the size in,
// the finished picture out. The widgets compose into this image and copy it
// to the screen in one transfer, so a gauge never flickers while its value
// changes many times a second.

#include "GaugeState.h"

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QSize>

namespace levelon {

// A 0x00BBGGRR colour, or a system colour (negative value, index in the low
// byte) taken from the palette. Unknown system indices are black.
QColor resolveColor(qint32 color, const QPalette& palette);

// Renders the gauge at `size` pixels. An empty size gives a null image.
QImage renderGauge(const GaugeState& state, GaugeKind kind, QSize size, const QPalette& palette);

}  // namespace levelon
