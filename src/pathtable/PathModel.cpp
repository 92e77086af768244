#include "PathModel.h"

#include <cmath>

void Path::clearPath()
{
    std::fill(bahnX.begin(), bahnX.end(), 0.0);
    std::fill(bahnY.begin(), bahnY.end(), 0.0);
    punktzahl = 0;
    strichanfang.fill(0);
    strichzahl = 0;
}

bool Path::appendPoint(double x, double y)
{
    if (punktzahl >= pathModel::MaxPoints)
        return false;
    ++punktzahl;
    bahnX[std::size_t(punktzahl)] = x;
    bahnY[std::size_t(punktzahl)] = y;
    return true;
}

std::optional<Bahnskala> Bahnskala::fromBounds(double leftEdge, double rightEdge, double upperBound, double lowerBound,
                                               double W, double H)
{
    Bahnskala s;
    s.skalaX = (rightEdge - leftEdge) / W;
    s.randX = leftEdge;
    s.skalaY = (lowerBound - upperBound) / H;
    s.randY = upperBound;
    const bool scaleOk = std::isfinite(s.skalaX) && std::isfinite(s.skalaY) && std::isfinite(s.randX) &&
                         std::isfinite(s.randY) && s.skalaX != 0 && s.skalaY != 0;
    if (!scaleOk)
        return std::nullopt;
    return s;
}

Thinning bahn_verdichten(const Path& previousIndex, double delta_mm, double mm_per_unit)
{
    Thinning v;
    if (!std::isfinite(delta_mm) || delta_mm <= 0 || !std::isfinite(mm_per_unit))
        return v;
    Path& newPath = v.pathModel;
    newPath.strichzahl = previousIndex.strichzahl;
    std::vector<int> newStarts;
    int j = 1;
    int addedCount = 0, keptCount = 0;
    int strokeIndex = 1;
    const auto setPoint = [&newPath, &j](double x, double y) {
        if (j > pathModel::MaxPoints)
            return false;
        newPath.bahnX[std::size_t(j)] = x;
        newPath.bahnY[std::size_t(j)] = y;
        return true;
    };
    const auto countTicks = [&]() {
        const int n = addedCount + keptCount;
        if (n > pathModel::MaxTablePoints)
            return false;
        v.zaehler.push_back(n);
        return true;
    };
    for (int i = 1; i < previousIndex.punktzahl; ++i) {
        const double x = previousIndex.bahnX[std::size_t(i)], y = previousIndex.bahnY[std::size_t(i)];
        if (previousIndex.strokeStart(strokeIndex) == i) {
            // The last point of a stroke: no segment leads on from it.
            if (!setPoint(x, y))
                return v;
            newStarts.push_back(j);
            ++j;
            if (!countTicks())
                return v;
            addedCount = keptCount = 0;
            ++strokeIndex;
            continue;
        }
        if (!setPoint(x, y))
            return v;
        ++j;
        ++keptCount;
        const double x2 = previousIndex.bahnX[std::size_t(i + 1)], y2 = previousIndex.bahnY[std::size_t(i + 1)];
        const double L = mm_per_unit * std::hypot(x - x2, y - y2);
        for (int m = 1; m * delta_mm + 0.2 * delta_mm < L; ++m) {
            const double s = m * delta_mm / L;
            if (!setPoint(x + (x2 - x) * s, y + (y2 - y) * s))
                return v;
            ++j;
            ++addedCount;
        }
    }
    if (previousIndex.punktzahl < 1) {
        // An empty path stays empty.
        v.ok = true;
        return v;
    }
    if (!setPoint(previousIndex.bahnX[std::size_t(previousIndex.punktzahl)],
                  previousIndex.bahnY[std::size_t(previousIndex.punktzahl)]) ||
        !countTicks())
        return v;
    newPath.punktzahl = j;
    newPath.strichanfang = previousIndex.strichanfang;
    for (int k = 1; k < pathModel::MaxStrokes; ++k)
        newPath.strichanfang[std::size_t(k)] = k <= int(newStarts.size()) ? newStarts[std::size_t(k - 1)] : 0;
    v.ok = true;
    return v;
}
