// Plane geometry of the stand-in host: corners (fillets and chamfers), the
// change between arcs and rounded corners, tangent circles, transformed copies.
#pragma once

#include "veksdk/VekLib.h"

#include <cstdint>

namespace vekhost::detail {

struct V {
    double x = 0;
    double y = 0;
};

// Corner records built by AddCorner; both are stored between their trimmed
// neighbours. Rounded corner: P1 centre, P2 tangent point on the previous
// element, P3 tangent point on the next one, size radius, direction of the arc
// from P2 to P3. Chamfer: P1 where the neighbours' lines meet, P2 and P3 the
// ends of its line on the previous and next element, size the setback.
struct CornerResult {
    bool ok = false;
    FigureRecord previous{};  // the previous element, trimmed
    FigureRecord next{};      // the next element, trimmed
    FigureRecord corner{};
};

// Builds a corner (mode 0 rounded, 1 chamfer) between two lines or arcs whose
// records are given; both are first extended or trimmed to where they meet.
CornerResult BuildCorner(const FigureRecord& previous, const FigureRecord& next, int32_t mode,
                         double size);

// When the arc record is exactly the rounded corner that BuildCorner makes
// between its neighbours at the arc's radius, writes that corner (running from
// `previous` to `next`) into `corner` and returns true.
bool ArcIsFillet(const FigureRecord& arc, const FigureRecord& previous, const FigureRecord& next,
                 FigureRecord& corner);

// The line that a chamfer record stands for, and the record that the exploded
// form gives for a stored element.
FigureRecord ChamferLine(const FigureRecord& chamfer);
FigureRecord ExplodedRecord(const FigureRecord& stored);

// Centres of the circles of `radius` through a and b; see VekAriTanCir2Pnts.
int32_t TangentCircles(double radius, V a, V b, const V* hint, V out[2]);

double AngleOf(V centre, V point);  // radians in [0, 2 pi)

struct Transform {
    V from, to;
    double cosA = 1, sinA = 0;
    bool rotate = false;
    double scale = 1;
    bool mirror = false;
    bool identity = true;
};
Transform MakeTransform(V from, V to, double angle, double scale, bool mirror);
FigureRecord Apply(const Transform& t, const FigureRecord& r);

}  // namespace vekhost::detail
