#include "tools/vekhost/ElementPairing.h"

#include "engine/Rounding.h"
#include "numeric/PortableMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace vekhost_tool {

namespace {

vekhost::Point At(const double p[2]) {
    return {p[0], p[1]};
}

double Distance(vekhost::Point a, vekhost::Point b) {
    return numeric::Hypot(a.x - b.x, a.y - b.y);
}

// A point of an arc's circle in the direction of `towards` from the centre.
vekhost::Point OnCircle(vekhost::Point centre, double radius, vekhost::Point towards) {
    const double length = Distance(centre, towards);
    if (length == 0.0 || !std::isfinite(radius)) {
        return towards;
    }
    return {centre.x + (towards.x - centre.x) * radius / length,
            centre.y + (towards.y - centre.y) * radius / length};
}

bool MayDrop(int32_t type) {
    return type == VEK_LINE || type == VEK_CIRCLE || type == VEK_ARC;
}

bool IsCorner(int32_t type) {
    return type == VEK_ROUND_CORNER || type == VEK_CHAMFER;
}

double MatchCost(const vekhost::Element& before, const vekhost::Element& after,
                 const UnitMap& unit) {
    const ElementPoints from = PointsOf(before);
    const ElementPoints to = PointsOf(after);
    double cost = 0;
    for (int k = 0; k < from.count; ++k) {
        if (const vekhost::Point* q = to.Find(from.points[k].role)) {
            cost += Distance(unit(from.points[k].at), *q);
        }
    }
    return cost;
}

struct Alignment {
    bool ok = false;
    double cost = 0;
    std::vector<int> pairing;
};

// Pairs as many elements before as after, one to one in `order`, when
// each may have become its partner; the movement is not measured.
Alignment InOrder(const std::vector<vekhost::Element>& before,
                  const std::vector<vekhost::Element>& after, const std::vector<int>& order) {
    Alignment result;
    for (size_t i = 0; i < before.size(); ++i) {
        if (!CanBecome(before[i].type, after[order[i]].type)) {
            return result;
        }
    }
    result.ok = true;
    result.pairing = order;
    return result;
}

// Pairs `before` with `after` taken in `order`, keeping the order and
// dropping n - m elements, at the least total movement. Only the states that
// can still end with every element after paired are kept: i elements before
// and i - k after, k dropped so far. With nothing to drop there is one way
// to pair, and its movement is measured only `withCost`.
Alignment Align(const std::vector<vekhost::Element>& before,
                const std::vector<vekhost::Element>& after, const std::vector<int>& order,
                const UnitMap& unit, bool withCost) {
    Alignment result;
    const size_t n = before.size();
    const size_t m = order.size();
    if (m > n) {
        return result;
    }
    const size_t drops = n - m;
    if (drops == 0 && !withCost) {
        return InOrder(before, after, order);
    }
    const size_t width = drops + 1;
    constexpr double kUnreached = std::numeric_limits<double>::infinity();
    std::vector<double> cost((n + 1) * width, kUnreached);
    std::vector<uint8_t> step((n + 1) * width, 0);  // 1 paired, 2 dropped
    cost[0] = 0;
    for (size_t i = 0; i < n; ++i) {
        for (size_t k = 0; k <= drops && k <= i; ++k) {
            const double here = cost[i * width + k];
            if (here == kUnreached) {
                continue;
            }
            const size_t j = i - k;
            if (j < m && CanBecome(before[i].type, after[order[j]].type)) {
                const double c = here + MatchCost(before[i], after[order[j]], unit);
                double& next = cost[(i + 1) * width + k];
                if (c < next || next == kUnreached) {
                    next = c;
                    step[(i + 1) * width + k] = 1;
                }
            }
            if (k < drops && MayDrop(before[i].type)) {
                double& next = cost[(i + 1) * width + k + 1];
                if (here < next) {
                    next = here;
                    step[(i + 1) * width + k + 1] = 2;
                }
            }
        }
    }
    if (step[n * width + drops] == 0 && n > 0) {
        return result;
    }
    result.ok = true;
    result.cost = cost[n * width + drops];
    result.pairing.assign(n, -1);
    size_t k = drops;
    for (size_t i = n; i > 0; --i) {
        if (step[i * width + k] == 1) {
            result.pairing[i - 1] = order[i - 1 - k];
        } else {
            --k;
        }
    }
    return result;
}

// Where two elements meet: the ends (one of each) closest together, when
// they are within the host's test or the share of their sizes.
struct Meeting {
    bool met = false;
    PointRole first = PointRole::End;
    PointRole second = PointRole::Start;
};

// The distance between an element's ends; 0 without both.
double Size(const ElementPoints& points) {
    const vekhost::Point* start = points.Find(PointRole::Start);
    const vekhost::Point* end = points.Find(PointRole::End);
    return start == nullptr || end == nullptr ? 0.0 : Distance(*start, *end);
}

Meeting Meet(const ElementPoints& pa, const ElementPoints& pb) {
    Meeting best;
    double closest = std::max(kMeetTolerance, kMeetRelative * std::min(Size(pa), Size(pb)));
    for (PointRole ra : {PointRole::End, PointRole::Start}) {
        for (PointRole rb : {PointRole::Start, PointRole::End}) {
            const vekhost::Point* p = pa.Find(ra);
            const vekhost::Point* q = pb.Find(rb);
            if (p == nullptr || q == nullptr) {
                continue;
            }
            const double d = Distance(*p, *q);
            if (d <= closest) {
                closest = d;
                best = {true, ra, rb};
            }
        }
    }
    return best;
}

// Whether the chain from `first` to `second` through the dropped elements
// between them holds together, and how it meets its ends.
bool ChainMeets(const std::vector<ElementPoints>& points, int first, int second, Meeting& start,
                Meeting& end) {
    const int n = static_cast<int>(points.size());
    for (int u = first; u != second;) {
        const int v = (u + 1) % n;
        const Meeting m = Meet(points[u], points[v]);
        if (!m.met) {
            return false;
        }
        if (u == first) {
            start = m;
        }
        if (v == second) {
            end = m;
        }
        u = v;
    }
    return true;
}

}  // namespace

const char* RoleName(PointRole role) {
    switch (role) {
        case PointRole::Start:
            return "start";
        case PointRole::End:
            return "end";
        case PointRole::Centre:
            return "centre";
        case PointRole::Point:
            break;
    }
    return "point";
}

const vekhost::Point* ElementPoints::Find(PointRole role) const {
    for (int k = 0; k < count; ++k) {
        if (points[k].role == role) {
            return &points[k].at;
        }
    }
    return nullptr;
}

ElementPoints PointsOf(const vekhost::Element& element) {
    const FigureRecord& f = element.figure;
    ElementPoints points;
    auto add = [&points](PointRole role, vekhost::Point at) {
        points.points[points.count++] = {role, at};
    };
    switch (element.type) {
        case VEK_LINE:
            add(PointRole::Start, At(f.p1));
            add(PointRole::End, At(f.p2));
            break;
        case VEK_CIRCLE:
            add(PointRole::Centre, At(f.p1));
            break;
        case VEK_ARC:
        case VEK_ROUND_CORNER:
            add(PointRole::Centre, At(f.p1));
            add(PointRole::Start, OnCircle(At(f.p1), f.size, At(f.p2)));
            add(PointRole::End, OnCircle(At(f.p1), f.size, At(f.p3)));
            break;
        case VEK_CHAMFER:
        case VEK_TWO_POINTS:
            add(PointRole::Start, At(f.p2));
            add(PointRole::End, At(f.p3));
            break;
        case VEK_POINT_LENGTHS:
        case VEK_POINT:
            add(PointRole::Point, At(f.p1));
            break;
        default:
            break;
    }
    return points;
}

double UnitMap::Convert(double offset) const {
    if (unitMode == 1) {
        return offset * kInchToMm;
    }
    if (unitMode == 2) {
        return offset / kInchToMm;
    }
    return offset;
}

vekhost::Point UnitMap::operator()(vekhost::Point p) const {
    return {Convert(p.x - reference.x) + reference.x, Convert(p.y - reference.y) + reference.y};
}

vekhost::Element UnitMap::operator()(const vekhost::Element& element) const {
    vekhost::Element converted = element;
    FigureRecord& f = converted.figure;
    auto point = [this](double p[2]) {
        const vekhost::Point q = (*this)(vekhost::Point{p[0], p[1]});
        p[0] = q.x;
        p[1] = q.y;
    };
    switch (element.type) {
        case VEK_LINE:
            point(f.p1);
            point(f.p2);
            break;
        case VEK_CIRCLE:
            point(f.p1);
            f.p2[0] = Convert(f.p2[0]);
            break;
        case VEK_ARC:
        case VEK_ROUND_CORNER:
        case VEK_CHAMFER:
            point(f.p1);
            point(f.p2);
            point(f.p3);
            f.size = Convert(f.size);
            break;
        case VEK_POINT_LENGTHS:
            point(f.p1);
            f.p2[0] = Convert(f.p2[0]);
            f.p2[1] = Convert(f.p2[1]);
            break;
        case VEK_TWO_POINTS:
            point(f.p2);
            point(f.p3);
            break;
        case VEK_POINT:
            point(f.p1);
            break;
        default:
            break;
    }
    return converted;
}

bool CanBecome(int32_t before, int32_t after) {
    if (before == after) {
        return true;
    }
    return (before == VEK_ARC && after == VEK_ROUND_CORNER) ||
           (before == VEK_ROUND_CORNER && after == VEK_ARC) ||
           (before == VEK_CHAMFER && after == VEK_LINE);
}

std::vector<int> PairElements(const std::vector<vekhost::Element>& before,
                              const std::vector<vekhost::Element>& after, const UnitMap& unit,
                              bool afterMayStartAtTail) {
    std::vector<int> order(after.size());
    for (size_t j = 0; j < order.size(); ++j) {
        order[j] = static_cast<int>(j);
    }
    // The movement decides only between the two orders.
    const bool twoOrders = afterMayStartAtTail && !after.empty() && IsCorner(after.back().type);
    Alignment best = Align(before, after, order, unit, twoOrders);
    if (twoOrders) {
        std::vector<int> rotated;
        rotated.push_back(static_cast<int>(after.size()) - 1);
        rotated.insert(rotated.end(), order.begin(), order.end() - 1);
        const Alignment other = Align(before, after, rotated, unit, true);
        if (other.ok && (!best.ok || other.cost < best.cost)) {
            best = other;
        }
    }
    return best.ok ? best.pairing : std::vector<int>{};
}

std::vector<OpenedGap> OpenedGaps(const std::vector<vekhost::Element>& before,
                                  const std::vector<vekhost::Element>& after,
                                  const std::vector<int>& pairing, bool closed) {
    std::vector<OpenedGap> gaps;
    const int n = static_cast<int>(before.size());
    if (pairing.size() != before.size()) {
        return gaps;
    }
    std::vector<int> kept;
    for (int i = 0; i < n; ++i) {
        if (pairing[i] >= 0) {
            kept.push_back(i);
        }
    }
    std::vector<ElementPoints> points(before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        points[i] = PointsOf(before[i]);
    }
    // The points of the elements after, each found once.
    std::vector<ElementPoints> pointsAfter(after.size());
    std::vector<std::uint8_t> found(after.size(), 0);
    auto afterPoints = [&](int k) -> const ElementPoints& {
        const auto at = static_cast<size_t>(k);
        if (!found[at]) {
            pointsAfter[at] = PointsOf(after[at]);
            found[at] = 1;
        }
        return pointsAfter[at];
    };
    const size_t pairs = kept.size() < 2 ? 0 : closed ? kept.size() : kept.size() - 1;
    for (size_t t = 0; t < pairs; ++t) {
        const int first = kept[t];
        const int second = kept[(t + 1) % kept.size()];
        Meeting start;
        Meeting end;
        if (!ChainMeets(points, first, second, start, end)) {
            continue;
        }
        const vekhost::Point* p = afterPoints(pairing[first]).Find(start.first);
        const vekhost::Point* q = afterPoints(pairing[second]).Find(end.second);
        if (p == nullptr || q == nullptr) {
            continue;
        }
        const double gap = Distance(*p, *q);
        if (gap > kMeetTolerance) {
            gaps.push_back({first, second, gap, *p, *q});
        }
    }
    return gaps;
}

}  // namespace vekhost_tool
