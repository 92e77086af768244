// Time of one paint of a 400x40 horizontal gauge with a sunken border, the
// value changing between paints as it does while the program polls.
// Prints "paint_us_median <microseconds>".

#include "GaugePainter.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    const QPalette palette = QGuiApplication::palette();

    levelon::GaugeState state;
    state.min = -2048;
    state.max = 2047;
    const QSize size(400, 40);

    constexpr int kWarmUp = 200;
    constexpr int kRuns = 2001;
    std::vector<double> times;
    times.reserve(kRuns);
    for (int i = 0; i < kWarmUp + kRuns; ++i) {
        state.value = (i * 37) % 4096 - 2048;
        const auto start = std::chrono::steady_clock::now();
        const QImage image = levelon::renderGauge(state, levelon::GaugeKind::Horizontal, size, palette);
        const auto end = std::chrono::steady_clock::now();
        if (image.isNull())
            return 1;
        if (i >= kWarmUp)
            times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
    std::printf("paint_us_median %.1f\n", times[kRuns / 2]);
    return 0;
}
