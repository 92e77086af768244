// Resampling a full path: 6800 points in 17 spiral strokes of 400 points,
// no segment longer than 0.4 mm (so nothing is inserted at 500 µm and the
// path stays full), resampled again and again. Prints the median in ms.
#include "PathModel.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

int main()
{
    Path pathModel;
    constexpr int Ticks = 17;
    constexpr int PerStroke = pathModel::MaxPoints / Ticks;
    for (int s = 0; s < Ticks; ++s) {
        pathModel.strichanfang[std::size_t(s)] = pathModel.punktzahl;
        for (int k = 0; k < PerStroke; ++k) {
            const double a = k * 0.05;
            pathModel.appendPoint(s * 1000 + 400 * k * std::cos(a) / 20, 400 * k * std::sin(a) / 20);
        }
    }
    pathModel.strichzahl = Ticks;
    // 1 twip = 0.001 mm: 0.5 mm spacing.
    std::vector<double> ms;
    int pointCount = 0;
    for (int run = 0; run < 51; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const Thinning v = bahn_verdichten(pathModel, 0.5, 0.001);
        const auto stopTime = std::chrono::steady_clock::now();
        pointCount = v.ok ? v.pathModel.punktzahl : -1;
        ms.push_back(std::chrono::duration<double, std::milli>(stopTime - start).count());
    }
    std::nth_element(ms.begin(), ms.begin() + long(ms.size() / 2), ms.end());
    if (pointCount < pathModel::MaxPoints) {
        std::fprintf(stderr, "resampling gave %d points\n", pointCount);
        return 1;
    }
    std::printf("resample_ms %.3f\n", ms[ms.size() / 2]);
    return 0;
}
