// Unit conversion and rounding of figure coordinates and lengths on a decimal
// grid anchored at the reference point, and the rebuilding of arcs so that
// they still pass through their rounded end points.
#pragma once

#include "veksdk/VekLib.h"
#include "engine/WorkBuffers.h"

#include <array>
#include <cstdint>
#include <optional>

// The double nearest to 25.40051, the inch-to-millimetre factor used here.
constexpr double kInchToMm = 25.40051;

// Everything a rounding needs, taken from the settings and the reference
// point once per run.
struct RoundingGrid {
    int32_t unitMode;  // ActiveSettings.inchmm
    double scale;      // S = 10^d
    double step;       // s = 10^-d
    double refX;
    double refY;
};

// The grid for `d` decimal places, `unitMode` and the reference point.
RoundingGrid MakeGrid(int32_t d, int32_t unitMode, const double ref[2]);
// The grid for the active settings and the reference point (RefPoint).
RoundingGrid ActiveGrid();

// Applies the unit factor, then rounds to the grid pitch with ties towards
// plus infinity. A tie is what the user reads as one: 1.005 at two places is
// a tie although the double nearest to it lies just below. A value whose
// rounding is not finite keeps its converted value, so that nothing
// non-finite reaches the drawing.
double ConvertAndRound(const RoundingGrid& grid, double v);
// The same with the active settings, on a grid through the origin.
double ConvertAndRound(double v);

// Two points closer than 1e-6 in x and in y.
bool Coincide(const double a[2], const double b[2]);
// True for a line, circle or arc (by `code`) that has shrunk to nothing:
// no element is made from it.
bool IsDegenerate(uint32_t code, const FigureRecord& figure);

// Angle in radians, in [0, 2 pi), of the direction from a to b.
double DirectionAngle(const double a[2], const double b[2]);

// Middle point of the arc of `record` (centre P1, start P2, end P3, radius,
// direction), through the host's angle call; none when the host failed.
std::optional<std::array<double, 2>> ArcMidPoint(const FigureRecord& record);

// How the rebuild of an arc among other elements ended.
enum class ArcRebuild {
    Done,        // through its rounded end points (or shrunk to a point: dropped later)
    NoCentre,    // no adjusted radius gives a centre; the arc message is shown
    HostFailed,  // a host call failed; the arc message is shown
};

// Rebuilds an arc that sits among other elements so that it passes through
// its rounded end points. When it cannot, the record holds the rounded end
// points, centre and radius.
ArcRebuild RebuildArc(const RoundingGrid& grid, FigureRecord& record);

// Rounds every slot of `buffer` in place, by element type. Returns false when
// an arc or a chamfer cannot be rebuilt (its message shown); later slots are
// then untouched.
bool RoundFigureBuffer(const RoundingGrid& grid, FigureBuffer& buffer);

// Rounds one record of a figure's exploded form in place, by its kind. An arc
// for which no radius gives a centre is reported and kept with its rounded
// centre and radius. False only when a host call failed (message shown).
bool RoundFigureRecord(const RoundingGrid& grid, FigureRecord& record);
