// Which element of a picked figure became which element of the figures it
// was converted into, the points measured on each, and the meetings between
// neighbours that a conversion broke.
#pragma once

#include "platform/veklib/VekHost.h"

#include <vector>

namespace vekhost_tool {

enum class PointRole { Start, End, Centre, Point };
const char* RoleName(PointRole role);  // "start", "end", "centre", "point"

struct RolePoint {
    PointRole role = PointRole::Point;
    vekhost::Point at;
};

// The end points and centre of an element as drawn: a line's two ends, an
// arc's or rounded corner's centre and the ends that lie on its circle (in
// the direction of its stored start and end points), a chamfer's two ends,
// a circle's centre, a point. The counterparts of two elements of types that
// one can become (an arc and a rounded corner, a chamfer and a line) carry
// the same roles.
struct ElementPoints {
    int count = 0;
    RolePoint points[3];
    const vekhost::Point* Find(PointRole role) const;
};
ElementPoints PointsOf(const vekhost::Element& element);

// A point of the drawing before the run in the converted drawing's unit,
// not rounded: scaled about the reference point by the unit factor, as the
// conversion does before it rounds.
struct UnitMap {
    vekhost::Point reference;
    int32_t unitMode = 0;  // 1 inch to mm, 2 mm to inch, else none
    bool Converts() const { return unitMode == 1 || unitMode == 2; }
    double Convert(double offset) const;  // also a length
    vekhost::Point operator()(vekhost::Point p) const;
    // The element with its points and lengths converted, not rounded.
    vekhost::Element operator()(const vekhost::Element& element) const;
};

// True when an element of type `before` may be turned into one of type
// `after` by a conversion (an arc into a rounded corner and back, a chamfer
// into the line across it), or when the types are the same.
bool CanBecome(int32_t before, int32_t after);

// For each element before, the position in `after` of the element it became,
// or -1 when it was dropped (only lines, circles and arcs shrink to nothing).
// The conversion keeps the order; when `afterMayStartAtTail`, a corner that
// closed the figure may have been put at the end of `after` instead of its
// start. Of the pairings the types allow, the one that moves the points
// least; empty when none fits.
std::vector<int> PairElements(const std::vector<vekhost::Element>& before,
                              const std::vector<vekhost::Element>& after, const UnitMap& unit,
                              bool afterMayStartAtTail);

// Two consecutive elements that met before and no longer meet.
struct OpenedGap {
    int element = 0;  // position before of the first of the two, from 0
    int next = 0;     // position before of the second
    double distance = 0;
    vekhost::Point from;  // the end of the first, after
    vekhost::Point to;    // the end of the second, after
};

// Ends closer than this meet: the host's own test for the same point
// (absolute, in drawing units).
constexpr double kMeetTolerance = 1e-6;
// Neighbours met before the run also when their ends were closer than this
// share of the smaller one's size, as a drawing's chains are joined: far
// from the origin, ends that meet differ in their last digits by more than
// the host's test.
constexpr double kMeetRelative = 1e-6;

// The gaps between neighbours (the last and first too when `closed`) that
// met before and whose converted elements no longer meet. Elements dropped
// between two neighbours are passed over when the chain through them met.
std::vector<OpenedGap> OpenedGaps(const std::vector<vekhost::Element>& before,
                                  const std::vector<vekhost::Element>& after,
                                  const std::vector<int>& pairing, bool closed);

}  // namespace vekhost_tool
