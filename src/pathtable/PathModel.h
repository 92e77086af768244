#pragma once
// The path of the path table without any window: its points in drawing-box
// units (twips of the drawing box) grouped into strokes, the mapping between
// drawing-box units and millimetres, and the resampling to an even point
// spacing.

#include <array>
#include <optional>
#include <vector>

namespace pathModel {
constexpr int MaxPoints = 6800;
constexpr int MaxStrokes = 101;
// Entries of one position table; a stroke has one entry per point after its first.
constexpr int MaxTablePoints = 500;
}  // namespace pathModel

// Points 1 to punktzahl (index 0 is never a point). Stroke k begins at point
// strichanfang[k] + 1; strichzahl strokes are recorded.
struct Path
{
    std::vector<double> bahnX = std::vector<double>(pathModel::MaxPoints + 1, 0.0);
    std::vector<double> bahnY = std::vector<double>(pathModel::MaxPoints + 1, 0.0);
    int punktzahl = 0;
    std::array<int, pathModel::MaxStrokes> strichanfang{};
    int strichzahl = 0;

    // strichanfang[k], or -1 for a k outside the table (no point matches it).
    int strokeStart(int k) const { return k >= 0 && k < pathModel::MaxStrokes ? strichanfang[std::size_t(k)] : -1; }
    // No points and no strokes.
    void clearPath();
    // Appends a point; false when the path is full.
    bool appendPoint(double x, double y);
};

// Millimetres per drawing-box unit and millimetres at the left and top edge.
struct Bahnskala
{
    double skalaX = 1, randX = 0, skalaY = 1, randY = 0;

    // From the edge values in mm (left, right, top, bottom) and the size of
    // the drawing box; nothing when a scale would be zero or not finite.
    static std::optional<Bahnskala> fromBounds(double leftEdge, double rightEdge, double upperBound, double lowerBound,
                                               double W, double H);
    double mmX(double x) const { return x * skalaX + randX; }
    double mmY(double y) const { return y * skalaY + randY; }
    double unitX(double mm) const { return (mm - randX) / skalaX; }
    double unitY(double mm) const { return (mm - randY) / skalaY; }
};

// The result of a resampling. On success `pathModel` is the resampled path and
// `zaehler` the table count of each stroke (its points minus one). A stroke
// over the table's 500 entries, a spacing that is not a positive number or a
// result beyond the path's room is refused: `ok` false, `zaehler` holds the
// counts of the strokes finished before the refusal.
struct Thinning
{
    bool ok = false;
    Path pathModel;
    std::vector<int> zaehler;
};

// Inserts points along every segment every `delta_mm` from its start, as long
// as the inserted point stays more than 0.2 × delta_mm before the segment's
// end; every point of the path is kept, so a resampled path stays as it is.
// `mm_per_unit` turns drawing-box distances into millimetres.
Thinning bahn_verdichten(const Path& pathModel, double delta_mm, double mm_per_unit);
