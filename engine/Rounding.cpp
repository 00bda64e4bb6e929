#include "engine/Rounding.h"

#include "state/CommandState.h"
#include "engine/Messages.h"
#include "numeric/PortableMath.h"

#include <cmath>
#include <limits>

namespace {

const double kPi = 4.0 * numeric::Atan(1.0);
const double kTwoPi = kPi * 2.0;

// Two values closer than this are taken as equal (absolute, in drawing
// units): the coincidence and half-circle tests the command has always made.
constexpr double kTolerance = 1e-6;

// A scaled value this close to a half-integer is that half-integer: 4 to 8
// units in the last place (4 machine epsilons relative to the value), the
// error of one unit conversion and one scaling.
constexpr double kTieEpsilons = 4.0;

// floor(x + 0.5), except that a product the user reads as a tie is one: a
// value just below a half-integer, which floor(x + 0.5) would round down.
double RoundHalfUp(double x) {
    const double rounded = std::floor(x + 0.5);
    const double below = x + 0.5 - rounded;  // 1 - below is how far under the next integer
    if (below > 0.75) {
        const double slack = kTieEpsilons * std::numeric_limits<double>::epsilon() * std::fabs(x);
        // Where the slack reaches a quarter, no double is a half-integer by
        // accident: only a true half-integer is a tie there.
        if (slack < 0.25 && 1.0 - below <= slack) {
            return rounded + 1.0;
        }
    }
    return rounded;
}

double Convert(const RoundingGrid& grid, double v) {
    if (grid.unitMode == 1) {
        return v * kInchToMm;
    }
    if (grid.unitMode == 2) {
        return v / kInchToMm;
    }
    return v;
}

// Writes `value` unless it is not finite: near the largest doubles an offset,
// a sum or a length overflows, and the value as read is kept rather than let
// anything non-finite reach the drawing.
void SetFinite(double& target, double value) {
    if (std::isfinite(value)) {
        target = value;
    }
}

// The point rule: the offset from the reference point is converted and
// rounded, the reference point itself stays where it is.
void RoundPoint(const RoundingGrid& grid, double p[2]) {
    SetFinite(p[0], ConvertAndRound(grid, p[0] - grid.refX) + grid.refX);
    SetFinite(p[1], ConvertAndRound(grid, p[1] - grid.refY) + grid.refY);
}

void RoundLength(const RoundingGrid& grid, double& length) {
    SetFinite(length, ConvertAndRound(grid, length));
}

// Angles are rounded in degrees and never converted.
double RoundAngle(const RoundingGrid& grid, double radians) {
    const double degrees = radians * 180.0 / kPi;
    double rounded = RoundHalfUp(degrees * grid.scale) / grid.scale;
    if (!std::isfinite(rounded)) {
        rounded = degrees;
    }
    return rounded * kPi / 180.0;
}

// An arc that is the figure's only element: centre and radius go on the
// grid, the end points follow from angles rounded in degrees.
void RoundLoneArc(const RoundingGrid& grid, FigureRecord& arc) {
    const double a1 = RoundAngle(grid, DirectionAngle(arc.p1, arc.p2));
    const double a2 = RoundAngle(grid, DirectionAngle(arc.p1, arc.p3));
    RoundPoint(grid, arc.p1);
    RoundLength(grid, arc.size);
    const double r = arc.size;
    SetFinite(arc.p2[0], arc.p1[0] + r * numeric::Cos(a1));
    SetFinite(arc.p2[1], arc.p1[1] + r * numeric::Sin(a1));
    SetFinite(arc.p3[0], arc.p1[0] + r * numeric::Cos(a2));
    SetFinite(arc.p3[1], arc.p1[1] + r * numeric::Sin(a2));
}

// The end of an element that meets the element after it (a line's P2, an
// arc's P3), and the end that meets the one before (a line's P1, an arc's
// P2); none for other kinds.
double* EndOf(ElementSlot& slot) {
    return slot.elementType == VEK_LINE  ? slot.figure.p2
           : slot.elementType == VEK_ARC ? slot.figure.p3
                                         : nullptr;
}
double* StartOf(ElementSlot& slot) {
    return slot.elementType == VEK_LINE  ? slot.figure.p1
           : slot.elementType == VEK_ARC ? slot.figure.p2
                                         : nullptr;
}

// Carriers closer than this to parallel or to tangent do not meet in a
// corner (relative: to the product of the lengths, or to the radius squared).
constexpr double kCarrierTolerance = 1e-12;

// The infinite line or whole circle an element lies on, measured from a
// local origin so that figures far from the drawing's origin keep their
// precision.
struct Carrier {
    bool circle = false;
    double a[2] = {0, 0};  // line: a point; circle: the centre
    double u[2] = {0, 0};  // line: its direction
    double r = 0;          // circle: the radius
};

bool CarrierOf(const ElementSlot& slot, const double origin[2], Carrier& out) {
    const FigureRecord& f = slot.figure;
    out.a[0] = f.p1[0] - origin[0];
    out.a[1] = f.p1[1] - origin[1];
    if (slot.elementType == VEK_LINE) {
        out.u[0] = f.p2[0] - f.p1[0];
        out.u[1] = f.p2[1] - f.p1[1];
        return out.u[0] != 0.0 || out.u[1] != 0.0;
    }
    out.circle = true;
    out.r = numeric::Hypot(f.p2[0] - f.p1[0], f.p2[1] - f.p1[1]);
    return out.r > 0.0;
}

// Where a line (point a, direction u) crosses a circle: 0 or 2 points.
int LineCircle(const Carrier& line, const Carrier& circle, double out[2][2]) {
    const double len = numeric::Hypot(line.u[0], line.u[1]);
    const double d[2] = {line.u[0] / len, line.u[1] / len};
    const double f[2] = {line.a[0] - circle.a[0], line.a[1] - circle.a[1]};
    const double b = f[0] * d[0] + f[1] * d[1];
    const double disc = b * b - (f[0] * f[0] + f[1] * f[1] - circle.r * circle.r);
    if (disc <= kCarrierTolerance * circle.r * circle.r) {
        return 0;  // apart, or touching without a corner
    }
    const double root = std::sqrt(disc);
    for (int i = 0; i < 2; ++i) {
        const double t = -b + (i == 0 ? -root : root);
        out[i][0] = line.a[0] + d[0] * t;
        out[i][1] = line.a[1] + d[1] * t;
    }
    return 2;
}

int Intersect(const Carrier& p, const Carrier& q, double out[2][2]) {
    if (!p.circle && !q.circle) {
        const double den = p.u[0] * q.u[1] - p.u[1] * q.u[0];
        const double lengths2 =
            (p.u[0] * p.u[0] + p.u[1] * p.u[1]) * (q.u[0] * q.u[0] + q.u[1] * q.u[1]);
        if (den * den <= kCarrierTolerance * kCarrierTolerance * lengths2) {
            return 0;
        }
        const double t = ((q.a[0] - p.a[0]) * q.u[1] - (q.a[1] - p.a[1]) * q.u[0]) / den;
        out[0][0] = p.a[0] + p.u[0] * t;
        out[0][1] = p.a[1] + p.u[1] * t;
        return 1;
    }
    if (!p.circle) {
        return LineCircle(p, q, out);
    }
    if (!q.circle) {
        return LineCircle(q, p, out);
    }
    const double d[2] = {q.a[0] - p.a[0], q.a[1] - p.a[1]};
    const double dist = numeric::Hypot(d[0], d[1]);
    if (dist == 0.0) {
        return 0;
    }
    const double along = (dist * dist + p.r * p.r - q.r * q.r) / (2 * dist);
    const double h2 = p.r * p.r - along * along;
    if (h2 <= kCarrierTolerance * p.r * p.r) {
        return 0;
    }
    const double h = std::sqrt(h2);
    const double e[2] = {d[0] / dist, d[1] / dist};
    for (int i = 0; i < 2; ++i) {
        const double side = i == 0 ? h : -h;
        out[i][0] = p.a[0] + e[0] * along - e[1] * side;
        out[i][1] = p.a[1] + e[1] * along + e[0] * side;
    }
    return 2;
}

// The sharp corner a rounded or chamfer corner stands for: where the
// carriers of the elements before and after it meet, nearest to their
// facing ends. False when they do not meet in a corner.
bool SharpCorner(ElementSlot& before, ElementSlot& after, double corner[2]) {
    const double* end = EndOf(before);
    const double* start = StartOf(after);
    const double origin[2] = {(end[0] + start[0]) / 2, (end[1] + start[1]) / 2};
    Carrier p, q;
    if (!CarrierOf(before, origin, p) || !CarrierOf(after, origin, q)) {
        return false;
    }
    double found[2][2];
    const int n = Intersect(p, q, found);
    if (n == 0) {
        return false;
    }
    // Of two crossings, the one nearer both facing ends.
    int best = 0;
    double bestDistance = 0;
    for (int i = 0; i < n && n > 1; ++i) {
        const double ex = found[i][0] + origin[0] - end[0], ey = found[i][1] + origin[1] - end[1];
        const double sx = found[i][0] + origin[0] - start[0],
                     sy = found[i][1] + origin[1] - start[1];
        const double distance = ex * ex + ey * ey + sx * sx + sy * sy;
        if (i == 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    corner[0] = found[best][0] + origin[0];
    corner[1] = found[best][1] + origin[1];
    return std::isfinite(corner[0]) && std::isfinite(corner[1]);
}

// A rounded or chamfer corner stands for the sharp corner where its
// neighbours meet; the ends it cut off them are where it was drawn, not
// points of the figure. Rounding those ends would turn each neighbour by up
// to half a grid step over its length, leaving the sharp corner off the grid
// and a converted figure that converts differently again. So each
// neighbour's end at a corner goes back to the sharp corner, which is then
// rounded like any point, and the host cuts the corner again from there.
// Sizes: a rounded corner's radius by the length rule; a chamfer's its
// setback as drawn (from the end of the element before it to the sharp
// corner), converted and rounded. False, after the chamfer message, when the
// host cannot measure a setback.
bool PrepareCorners(const RoundingGrid& grid, FigureBuffer& buffer) {
    for (int32_t k = 0; k < buffer.count; ++k) {
        ElementSlot& slot = buffer.slots[k];
        if (slot.elementType != VEK_ROUND_CORNER && slot.elementType != VEK_CHAMFER) {
            continue;
        }
        ElementSlot& before = buffer.slots[k == 0 ? buffer.count - 1 : k - 1];
        ElementSlot& after = buffer.slots[k + 1 == buffer.count ? 0 : k + 1];
        double* end = EndOf(before);
        double* start = StartOf(after);
        if (slot.elementType == VEK_CHAMFER && end != nullptr) {
            const double setback = VekAriLen2Pnts(end, slot.figure.p1);
            if (setback < 0.0) {  // -1 is the host's failure, never a size
                VekMsgPutErrorMessage(msg::ChamferRefused);
                return false;
            }
            SetFinite(slot.figure.size, ConvertAndRound(grid, setback));
        } else {
            RoundLength(grid, slot.figure.size);
        }
        double corner[2];
        if (end != nullptr && start != nullptr && &before != &after &&
            SharpCorner(before, after, corner)) {
            end[0] = start[0] = corner[0];
            end[1] = start[1] = corner[1];
        }
    }
    return true;
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
    return std::fabs(a[0] - b[0]) < kTolerance && std::fabs(a[1] - b[1]) < kTolerance;
}

bool IsDegenerate(uint32_t code, const FigureRecord& figure) {
    switch (code) {
        case VEK_LINE:
            return Coincide(figure.p1, figure.p2);
        case VEK_CIRCLE:
            return std::fabs(figure.p2[0]) < kTolerance;
        case VEK_ARC:
            return Coincide(figure.p2, figure.p3) || Coincide(figure.p1, figure.p2) ||
                   Coincide(figure.p3, figure.p1);
        default:
            return false;
    }
}

RoundingGrid MakeGrid(int32_t d, int32_t unitMode, const double ref[2]) {
    const double e = numeric::PowerOfTen(d);
    RoundingGrid grid{};
    grid.unitMode = unitMode;
    grid.scale = d >= 0 ? e : 1.0 / e;
    grid.step = d > 0 ? 1.0 / e : e;
    grid.refX = ref[0];
    grid.refY = ref[1];
    return grid;
}

RoundingGrid ActiveGrid() {
    return MakeGrid(ActiveSettings.d_point, ActiveSettings.inchmm, RefPoint);
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
    return ConvertAndRound(MakeGrid(ActiveSettings.d_point, ActiveSettings.inchmm, origin), v);
}

double DirectionAngle(const double a[2], const double b[2]) {
    if (a[0] == b[0]) {
        if (a[1] == b[1]) {
            return 0.0;
        }
        return a[1] > b[1] ? kPi * 0.5 + kPi : kPi * 0.5;
    }
    const double u = numeric::Atan((b[1] - a[1]) / (b[0] - a[0]));
    if (a[0] > b[0]) {
        return u + kPi;
    }
    return u < 0.0 ? u + kTwoPi : u;
}

std::optional<std::array<double, 2>> ArcMidPoint(const FigureRecord& record) {
    const double a1 = VekAriAngRad2Pnts(record.p1, record.p2);
    const double a2 = VekAriAngRad2Pnts(record.p1, record.p3);
    if (a1 < 0.0 || a2 < 0.0) {
        return std::nullopt;  // -1 is the host's failure, never an angle
    }
    double m;
    if (record.direction == 1) {
        m = a1 > a2 ? (a1 - a2) * 0.5 + a2 : (kTwoPi - (a2 - a1)) * 0.5 + a2;
    } else {
        m = a1 > a2 ? (kTwoPi - (a1 - a2)) * 0.5 + a1 : (a2 - a1) * 0.5 + a1;
    }
    return std::array<double, 2>{record.p1[0] + record.size * numeric::Cos(m),
                                 record.p1[1] + record.size * numeric::Sin(m)};
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

// A half circle: the centre midway between the rounded ends, half their
// distance as radius, neither rounded.
ArcRebuild RebuildHalfCircle(FigureRecord& arc) {
    const double length1 = VekAriLen2Pnts(arc.p2, arc.p3);
    if (length1 < 0.0) {
        return Failed(ArcRebuild::HostFailed);
    }
    const double theta1 = DirectionAngle(arc.p2, arc.p3);
    SetFinite(arc.p1[0], arc.p2[0] + length1 / 2.0 * numeric::Cos(theta1));
    SetFinite(arc.p1[1], arc.p2[1] + length1 / 2.0 * numeric::Sin(theta1));
    SetFinite(arc.size, length1 * 0.5);
    return ArcRebuild::Done;
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
    const double mx = s0[0] + length / 2.0 * numeric::Cos(theta);
    const double my = s0[1] + length / 2.0 * numeric::Sin(theta);
    if (std::fabs(c0[0] - mx) < kTolerance && std::fabs(c0[1] - my) < kTolerance) {
        return RebuildHalfCircle(arc);
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
        centre = d1 > d0 ? &results[0] : &results[2];
        // The nearer centre is the one on the rounded centre's side of the
        // chord. Where rounding moved the centre onto or across the chord (an
        // arc within a grid step of a half circle), that side would turn the
        // arc inside out: the arc keeps the side its centre was on.
        const double side = Cross(s0, e0, c0);
        if (side != 0.0 && (Cross(arc.p2, arc.p3, centre) > 0.0) != (side > 0.0)) {
            centre = centre == &results[0] ? &results[2] : &results[0];
        }
    }
    if (!std::isfinite(centre[0]) || !std::isfinite(centre[1])) {
        return ArcRebuild::Done;
    }
    arc.p1[0] = centre[0];
    arc.p1[1] = centre[1];
    // An arc rebuilt into a half circle (its centre as near to the middle of
    // its ends as the half-circle test allows) is made an exact one, as a
    // half circle found before the rebuild is: converting it again then
    // leaves it as it is.
    const double middle[2] = {(arc.p2[0] + arc.p3[0]) / 2, (arc.p2[1] + arc.p3[1]) / 2};
    if (std::fabs(arc.p1[0] - middle[0]) < kTolerance &&
        std::fabs(arc.p1[1] - middle[1]) < kTolerance) {
        return RebuildHalfCircle(arc);
    }
    return ArcRebuild::Done;
}

bool RoundFigureBuffer(const RoundingGrid& grid, FigureBuffer& buffer) {
    if (!PrepareCorners(grid, buffer)) {
        return false;
    }
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
            case VEK_CHAMFER:
                break;  // sized with their sharp corners
            default:
                RoundPlainRecord(grid, slot.elementType, slot.figure);
                break;
        }
    }
    return true;
}

bool RoundFigureRecord(const RoundingGrid& grid, FigureRecord& record) {
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
