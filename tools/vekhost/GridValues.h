// The grid a run rounds to, for writing its values back into a file. The
// conversion puts a point on the grid as the reference point plus a rounded
// offset, and doubles add with a last-digit error: 0.43 + 0.04 is
// 0.47000000000000003. A value that close to the grid is the grid value, and
// is written as the shortest decimal of it (0.47); values the host computes
// off the grid (a rounded corner's tangent points on slanting lines, a centre
// found through two points) stay as they are.
#pragma once

#include "platform/veklib/VekHost.h"

#include <cstdint>
#include <optional>

namespace vekhost_tool {

// A value within this fraction (relative) of the largest magnitude involved
// in computing it lies on the grid: 16 units in the last place of that
// magnitude or more, beyond the error of the few operations the conversion
// and the host spend on a value (an offset, a rounding, a sum, a distance).
inline constexpr double kGridNoise = 0x1p-48;

class GridValues {
public:
    // The grid of the run: 10^-decimals, anchored at `reference` taken as the
    // decimal it reads as (the user gives "0.04", not 0.0400000000000000008).
    GridValues(vekhost::Point reference, int32_t decimals);

    // `value` as the double nearest its grid value when it lies on the grid
    // measured from the reference point's x (axis 0) or y (axis 1), else as it
    // is. `magnitude`: the largest coordinate of what it was computed from.
    double Coordinate(double value, int axis, double magnitude = 0) const;
    // The same for a length (radius, corner size), on the grid from 0.
    double Length(double value, double magnitude = 0) const;
    // An arc's angle in degrees, on the grid from 0 (a lone arc's angles are
    // rounded so) when that moves its end by no more than the noise of the
    // arc's coordinates: `radius`, and `magnitude` as above.
    double Degrees(double value, double radius, double magnitude) const;

private:
    // A decimal m x 10^e, exactly.
    struct Decimal {
        std::int64_t mantissa = 0;
        int exponent = 0;
    };
    double Snap(double value, double anchor, const std::optional<Decimal>& decimal,
                double tolerance) const;
    static double Tolerance(double value, double anchor, double magnitude);
    static std::optional<Decimal> DecimalOf(double value);

    int32_t decimals_;
    double step_;
    vekhost::Point reference_;
    std::optional<Decimal> anchor_[2];
};

}  // namespace vekhost_tool
