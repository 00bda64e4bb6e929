#include "engine/Rounding.h"

#include "state/CommandState.h"
#include "engine/Messages.h"

#include <cmath>
#include <limits>

namespace {

const double Pi = 4.0 * std::atan(1.0);
const double TwoPi = Pi * 2.0;

// Two values closer than this are taken as equal (absolute, in drawing
// units): the host's own test for points that coincide, kept as it is.
constexpr double Tolerance = 1e-6;

// A scaled value this many units in the last place from a half-integer is
// that half-integer: the error of one unit conversion and one scaling.
constexpr double TieUlps = 4.0;

// A rounded centre closer than this to the line through the rounded end
// points is on it (relative to the chord's length): both candidate centres
// are then equally far from it.
constexpr double OnChordTolerance = 1e-9;

// floor(x + 0.5), except that a product the user reads as a tie is one.
double RoundHalfUp(double x) {
    const double below = std::floor(x);
    const double magnitude = std::fabs(x);
    const double slack =
        TieUlps * (std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude);
    // Where a unit in the last place reaches a sixteenth, no double is a
    // half-integer by accident: only a true half-integer is a tie there.
    if (slack < 0.25 && std::fabs(x - (below + 0.5)) <= slack) {
        return below + 1.0;
    }
    return std::floor(x + 0.5);
}

double Convert(const RoundingGrid& grid, double v) {
    if (grid.unitMode == 1) {
        return v * InchToMm;
    }
    if (grid.unitMode == 2) {
        return v / InchToMm;
    }
    return v;
}

// The point rule: the offset from the reference point is converted and
// rounded, the reference point itself stays where it is.
void RoundPoint(const RoundingGrid& grid, double p[2]) {
    p[0] = ConvertAndRound(grid, p[0] - grid.refX) + grid.refX;
    p[1] = ConvertAndRound(grid, p[1] - grid.refY) + grid.refY;
}

void RoundLength(const RoundingGrid& grid, double& length) {
    length = ConvertAndRound(grid, length);
}

// Angles are rounded in degrees and never converted.
double RoundAngle(const RoundingGrid& grid, double radians) {
    const double degrees = radians * 180.0 / Pi;
    double rounded = RoundHalfUp(degrees * grid.scale) / grid.scale;
    if (!std::isfinite(rounded)) {
        rounded = degrees;
    }
    return rounded * Pi / 180.0;
}

// An arc that is the figure's only element: centre and radius go on the
// grid, the end points follow from angles rounded in degrees.
void RoundLoneArc(const RoundingGrid& grid, FigureRecord& arc) {
    const double a1 = RoundAngle(grid, DirectionAngle(arc.p1, arc.p2));
    const double a2 = RoundAngle(grid, DirectionAngle(arc.p1, arc.p3));
    RoundPoint(grid, arc.p1);
    RoundLength(grid, arc.size);
    const double r = arc.size;
    arc.p2[0] = arc.p1[0] + r * std::cos(a1);
    arc.p2[1] = arc.p1[1] + r * std::sin(a1);
    arc.p3[0] = arc.p1[0] + r * std::cos(a2);
    arc.p3[1] = arc.p1[1] + r * std::sin(a2);
}

// A distance of -1 is the host's failure, never a size.
bool SetChamferSize(const RoundingGrid& grid, FigureRecord& chamfer, double distance) {
    if (distance < 0.0) {
        VekMsgPutErrorMessage(msg::ChamferRefused);
        return false;
    }
    chamfer.size = ConvertAndRound(grid, distance);
    return true;
}

// The chamfer size is measured again from the (rounded) end of the element
// before it to the chamfer's own, unrounded, meeting point. False, after the
// chamfer message, when the host cannot measure it.
bool RoundChamfer(const RoundingGrid& grid, FigureBuffer& buffer, int32_t k) {
    const int32_t prev = k == 0 ? buffer.count - 1 : k - 1;
    const FigureRecord& before = buffer.slots[prev].figure;
    FigureRecord& chamfer = buffer.slots[k].figure;
    const double* q = nullptr;
    if (before.kind == VEK_LINE) {
        q = before.p2;
    } else if (before.kind == VEK_ARC) {
        q = before.p3;
    }
    if (q == nullptr) {
        // No end point to measure from: the size is rounded like any length.
        RoundLength(grid, chamfer.size);
        return true;
    }
    // In the first slot the element before it (the last slot) is not yet
    // treated: q and the meeting point are both in the old unit, and the
    // distance is converted along with its rounding.
    const bool beforeTreated = prev < k;
    if (!beforeTreated || (grid.unitMode != 1 && grid.unitMode != 2)) {
        return SetChamferSize(grid, chamfer, VekAriLen2Pnts(q, chamfer.p1));
    }
    // With a unit conversion, q is already converted: the meeting point is
    // converted the same way (about the reference point) and the distance,
    // already in the new unit, is only rounded. Measuring from the
    // unconverted point and converting again would give a size unrelated to
    // the figure.
    const double meeting[2] = {Convert(grid, chamfer.p1[0] - grid.refX) + grid.refX,
                               Convert(grid, chamfer.p1[1] - grid.refY) + grid.refY};
    RoundingGrid noConversion = grid;
    noConversion.unitMode = 0;
    return SetChamferSize(noConversion, chamfer, VekAriLen2Pnts(q, meeting));
}

// Treatment shared by element types (figure buffer) and kinds (exploded
// records) for everything but arcs, corners and chamfers.
void RoundPlainRecord(const RoundingGrid& grid, uint32_t code, FigureRecord& figure) {
    switch (code) {
        case VEK_LINE:
            RoundPoint(grid, figure.p1);
            RoundPoint(grid, figure.p2);
            break;
        case VEK_CIRCLE:
            RoundLength(grid, figure.p2[0]);
            RoundPoint(grid, figure.p1);
            break;
        case VEK_POINT_LENGTHS:
            RoundPoint(grid, figure.p1);
            RoundLength(grid, figure.p2[0]);
            RoundLength(grid, figure.p2[1]);
            break;
        case VEK_TWO_POINTS:
            RoundPoint(grid, figure.p2);
            RoundPoint(grid, figure.p3);
            break;
        case VEK_POINT:
            RoundPoint(grid, figure.p1);
            break;
        default:
            break;
    }
}

}  // namespace

bool Coincide(const double a[2], const double b[2]) {
    return std::fabs(a[0] - b[0]) < Tolerance && std::fabs(a[1] - b[1]) < Tolerance;
}

bool IsDegenerate(uint32_t code, const FigureRecord& figure) {
    switch (code) {
        case VEK_LINE:
            return Coincide(figure.p1, figure.p2);
        case VEK_CIRCLE:
            return std::fabs(figure.p2[0]) < Tolerance;
        case VEK_ARC:
            return Coincide(figure.p2, figure.p3) || Coincide(figure.p1, figure.p2) ||
                   Coincide(figure.p3, figure.p1);
        default:
            return false;
    }
}

double PowerOfTen(int32_t magnitude) {
    // Widened first: the magnitude of INT32_MIN does not fit an int32_t.
    uint64_t n = magnitude < 0 ? uint64_t(-int64_t(magnitude)) : uint64_t(magnitude);
    double e = 1.0;
    double b = 10.0;
    while (n != 0) {
        if ((n & 1u) != 0) {
            e *= b;
        }
        n >>= 1;
        if (n != 0) {
            b *= b;
        }
    }
    return e;
}

RoundingGrid MakeGrid(int32_t d, int32_t unitMode, const double ref[2]) {
    const double e = PowerOfTen(d);
    RoundingGrid grid{};
    grid.unitMode = unitMode;
    grid.scale = d >= 0 ? e : 1.0 / e;
    grid.step = d > 0 ? 1.0 / e : e;
    grid.refX = ref[0];
    grid.refY = ref[1];
    return grid;
}

RoundingGrid ActiveGrid(const double ref[2]) {
    return MakeGrid(ActiveSettings.d_point, ActiveSettings.inchmm, ref);
}

double ConvertAndRound(const RoundingGrid& grid, double v) {
    const double converted = Convert(grid, v);
    const double rounded = RoundHalfUp(converted * grid.scale) / grid.scale;
    if (std::isfinite(rounded)) {
        return rounded;
    }
    return std::isfinite(converted) ? converted : v;
}

double ConvertAndRound(double v) {
    const double origin[2] = {0.0, 0.0};
    return ConvertAndRound(ActiveGrid(origin), v);
}

double DirectionAngle(const double a[2], const double b[2]) {
    if (a[0] == b[0]) {
        if (a[1] == b[1]) {
            return 0.0;
        }
        return a[1] > b[1] ? Pi * 0.5 + Pi : Pi * 0.5;
    }
    const double u = std::atan((b[1] - a[1]) / (b[0] - a[0]));
    if (a[0] > b[0]) {
        return u + Pi;
    }
    return u < 0.0 ? u + TwoPi : u;
}

std::optional<std::array<double, 2>> ArcMidPoint(const FigureRecord& record) {
    const double a1 = VekAriAngRad2Pnts(record.p1, record.p2);
    const double a2 = VekAriAngRad2Pnts(record.p1, record.p3);
    if (a1 < 0.0 || a2 < 0.0) {
        return std::nullopt;  // -1 is the host's failure, never an angle
    }
    double m;
    if (record.direction == 1) {
        m = a1 > a2 ? (a1 - a2) * 0.5 + a2 : (TwoPi - (a2 - a1)) * 0.5 + a2;
    } else {
        m = a1 > a2 ? (TwoPi - (a1 - a2)) * 0.5 + a1 : (a2 - a1) * 0.5 + a1;
    }
    return std::array<double, 2>{record.p1[0] + record.size * std::cos(m),
                                 record.p1[1] + record.size * std::sin(m)};
}

namespace {

double Cross(const double o[2], const double a[2], const double b[2]) {
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
}

// True when the arc from s to e about c in `direction` sweeps at most half a
// turn: it then lies within its chord's reach of its ends.
bool IsMinorArc(const double c[2], const double s[2], const double e[2], uint32_t direction) {
    const double turn = Cross(c, s, e);
    return direction == 1 ? turn <= 0.0 : turn >= 0.0;
}

ArcRebuild Failed(ArcRebuild how) {
    VekMsgPutErrorMessage(msg::ArcNotCorrectable);
    return how;
}

}  // namespace

ArcRebuild RebuildArc(const RoundingGrid& grid, FigureRecord& arc) {
    const double c0[2] = {arc.p1[0], arc.p1[1]};
    const double s0[2] = {arc.p2[0], arc.p2[1]};
    const double e0[2] = {arc.p3[0], arc.p3[1]};
    RoundPoint(grid, arc.p2);
    RoundPoint(grid, arc.p3);

    // A half circle keeps its centre midway between the rounded end points.
    const double length = VekAriLen2Pnts(s0, e0);
    if (length < 0.0) {
        return Failed(ArcRebuild::HostFailed);
    }
    const double theta = DirectionAngle(s0, e0);
    const double mx = s0[0] + length / 2.0 * std::cos(theta);
    const double my = s0[1] + length / 2.0 * std::sin(theta);
    if (std::fabs(c0[0] - mx) < Tolerance && std::fabs(c0[1] - my) < Tolerance) {
        const double length1 = VekAriLen2Pnts(arc.p2, arc.p3);
        if (length1 < 0.0) {
            return Failed(ArcRebuild::HostFailed);
        }
        const double theta1 = DirectionAngle(arc.p2, arc.p3);
        arc.p1[0] = arc.p2[0] + length1 / 2.0 * std::cos(theta1);
        arc.p1[1] = arc.p2[1] + length1 / 2.0 * std::sin(theta1);
        arc.size = length1 * 0.5;
        return ArcRebuild::Done;
    }

    RoundPoint(grid, arc.p1);
    RoundLength(grid, arc.size);
    const double c1[2] = {arc.p1[0], arc.p1[1]};
    const double r1 = arc.size;

    // An arc of at most half a turn whose ends meet on the grid has shrunk
    // to a point: it is dropped like a line whose ends meet.
    if (Coincide(arc.p2, arc.p3) && IsMinorArc(c0, s0, e0, arc.direction)) {
        return ArcRebuild::Done;
    }

    // The hint is taken from values already converted: it is only rounded.
    const std::optional<std::array<double, 2>> mid = ArcMidPoint(arc);
    if (!mid) {
        return Failed(ArcRebuild::HostFailed);
    }
    double hint[2] = {(*mid)[0], (*mid)[1]};
    RoundingGrid noConversion = grid;
    noConversion.unitMode = 0;
    RoundPoint(noConversion, hint);

    // Nearby radii are tried only to find a centre; the radius stays r1.
    double results[4] = {};
    int32_t found = VekAriTanCir2Pnts(r1, arc.p2, arc.p3, hint, results);
    if (found == 0) {
        double r = r1 - 10.0 * grid.step;
        for (int tries = 0; tries < 20 && found == 0; ++tries) {
            r = r + grid.step;
            found = VekAriTanCir2Pnts(r, arc.p2, arc.p3, hint, results);
        }
    }
    if (found < 0) {
        return Failed(ArcRebuild::HostFailed);
    }
    if (found == 0) {
        return Failed(ArcRebuild::NoCentre);
    }

    const double* centre = c1;
    if (found == 1) {
        centre = &results[0];
    } else if (found == 2) {
        const double d0 = VekAriLen2Pnts(c1, &results[0]);
        const double d1 = VekAriLen2Pnts(c1, &results[2]);
        if (d0 < 0.0 || d1 < 0.0) {
            return Failed(ArcRebuild::HostFailed);
        }
        const double chord = std::hypot(arc.p3[0] - arc.p2[0], arc.p3[1] - arc.p2[1]);
        const bool onChord =
            std::fabs(Cross(arc.p2, arc.p3, c1)) <= OnChordTolerance * chord * chord;
        if (onChord) {
            // Both candidates are equally far: the arc keeps the side of its
            // chord that its centre was on, so that it bulges as before.
            const bool firstOnThatSide =
                (Cross(arc.p2, arc.p3, &results[0]) > 0.0) == (Cross(s0, e0, c0) > 0.0);
            centre = firstOnThatSide ? &results[0] : &results[2];
        } else {
            centre = d1 > d0 ? &results[0] : &results[2];
        }
    }
    if (std::isfinite(centre[0]) && std::isfinite(centre[1])) {
        arc.p1[0] = centre[0];
        arc.p1[1] = centre[1];
    }
    return ArcRebuild::Done;
}

bool RoundFigureBuffer(const double ref[2], FigureBuffer& buffer) {
    const RoundingGrid grid = ActiveGrid(ref);
    for (int32_t k = 0; k < buffer.count; ++k) {
        ElementSlot& slot = buffer.slots[k];
        switch (slot.elementType) {
            case VEK_ARC:
                if (buffer.count == 1) {
                    RoundLoneArc(grid, slot.figure);
                } else if (RebuildArc(grid, slot.figure) != ArcRebuild::Done) {
                    return false;
                }
                break;
            case VEK_ROUND_CORNER:
                RoundLength(grid, slot.figure.size);
                break;
            case VEK_CHAMFER:
                if (!RoundChamfer(grid, buffer, k)) {
                    return false;
                }
                break;
            default:
                RoundPlainRecord(grid, slot.elementType, slot.figure);
                break;
        }
    }
    return true;
}

bool RoundFigureRecord(const double ref[2], FigureRecord& record) {
    const RoundingGrid grid = ActiveGrid(ref);
    switch (record.kind) {
        case VEK_ARC:
        case VEK_ROUND_CORNER:
            // An arc without a centre has been reported; the record keeps its
            // rounded centre and radius and is still created.
            if (RebuildArc(grid, record) == ArcRebuild::HostFailed) {
                return false;
            }
            break;
        case VEK_CHAMFER:
            RoundPlainRecord(grid, VEK_LINE, record);
            break;
        default:
            RoundPlainRecord(grid, record.kind, record);
            break;
    }
    return true;
}
