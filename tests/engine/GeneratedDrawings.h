// Drawings made for the property and fault tests: figures on a decimal grid
// (every value already rounded, so a conversion must leave them as they are)
// and random figures off it, built through the stand-in host so that their
// corners are the host's own.
#pragma once

#include "platform/veklib/VekHost.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace gen {

// A grid of pitch `step` anchored at `ref`: point (i, j) is ref + (i, j) * step.
struct Lattice {
    double ref[2] = {0, 0};
    double step = 1;
    double X(double i) const { return ref[0] + i * step; }
    double Y(double j) const { return ref[1] + j * step; }
};

// A figure as records, with its closed flag and what it is, for messages.
struct Figure {
    std::string what;
    std::vector<FigureRecord> records;
    bool closed = false;
};

// Figures whose every value is on `grid`: lines; arcs among lines of many
// sweeps (up to about 358 degrees); arcs tangent to their neighbours (loops,
// hairpins, half circles, slots); fillets and chamfers at right angles and
// on lines of 3-4-5 slope, in the middle, first and last slots; circles and
// lone arcs; open and closed. `rng` picks sizes, places and slots.
std::vector<Figure> OnGridFigures(const Lattice& grid, int32_t d, std::mt19937_64& rng);

// A random figure off the grid: a polygon or a chain of lines and bulging
// arcs, with some corners rounded or chamfered by the host, or a circle, or
// (when `loneArcs`) a lone arc. Sizes are from `scale` / 100 to `scale`.
Figure RandomFigure(std::mt19937_64& rng, double scale, bool loneArcs = true);

// Adds a figure to the drawing on `layer`; VEK_NONE when the host refuses a
// record. Corner records are placed as given.
VekId Add(const Figure& figure, VekId layer = 0, LineTypeRecord lineType = {});

// Builds a figure from a chain through `points` (closed or open) and lets the
// host round or chamfer the corners listed in `corners` (vertex index, mode,
// size); corners the host refuses are left sharp. The records come back as
// the host stores them.
Figure Cornered(const std::vector<vekhost::Point>& points, bool closed,
                const std::vector<std::tuple<int, int, double>>& corners, std::string what);

// Largest absolute coordinate or length of a segment's records: the size a
// tolerance is taken relative to.
double SizeOf(const vekhost::Segment& segment);

// True when every number of every element of the drawing is finite.
bool AllFinite();

}  // namespace gen
