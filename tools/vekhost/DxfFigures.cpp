#include "tools/vekhost/DxfFigures.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>
#include <variant>

namespace vekhost_tool {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

FigureRecord LineRecord(double x1, double y1, double x2, double y2) {
    FigureRecord r{};
    r.kind = VEK_LINE;
    r.p1[0] = x1;
    r.p1[1] = y1;
    r.p2[0] = x2;
    r.p2[1] = y2;
    return r;
}

// An arc from `start` to `end` about `centre`; the host's direction 1 is
// clockwise.
FigureRecord ArcRecord(const double centre[2], double radius, const double start[2],
                       const double end[2], bool clockwise) {
    FigureRecord r{};
    r.kind = VEK_ARC;
    r.p1[0] = centre[0];
    r.p1[1] = centre[1];
    r.p2[0] = start[0];
    r.p2[1] = start[1];
    r.p3[0] = end[0];
    r.p3[1] = end[1];
    r.size = radius;
    r.direction = clockwise ? 1u : 0u;
    return r;
}

bool Finite(const FigureRecord& r) {
    for (double v : {r.p1[0], r.p1[1], r.p2[0], r.p2[1], r.p3[0], r.p3[1], r.size}) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

// The segment of a polyline from vertex a to vertex b: a line, or the arc
// its bulge gives (the tangent of a quarter of its sweep, positive
// counter-clockwise).
FigureRecord PolylineElement(const dxf::Vertex& a, const dxf::Vertex& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    if (a.bulge == 0 || (dx == 0 && dy == 0)) {
        return LineRecord(a.x, a.y, b.x, b.y);
    }
    const double bulge = a.bulge;
    const double chord = std::hypot(dx, dy);
    // The centre lies off the chord's middle, to its left for a
    // counter-clockwise arc of less than half a circle.
    const double offset = (1 - bulge * bulge) / (4 * bulge);
    const double centre[2] = {(a.x + b.x) / 2 - dy * offset, (a.y + b.y) / 2 + dx * offset};
    const double radius = chord * (1 + bulge * bulge) / (4 * std::fabs(bulge));
    const double start[2] = {a.x, a.y};
    const double end[2] = {b.x, b.y};
    return ArcRecord(centre, radius, start, end, bulge < 0);
}

// A LINE or ARC that may be chained: its ends in the figure's plane and its
// length.
struct Chainable {
    std::size_t entity = 0;
    FigureRecord record{};  // from its start to its end
    double size = 0;
    std::uint32_t group = 0;  // layer and elevation
};

double Entry(const FigureRecord& r, int axis) {
    return r.kind == VEK_LINE ? r.p1[axis] : r.p2[axis];
}
double Exit(const FigureRecord& r, int axis) {
    return r.kind == VEK_LINE ? r.p2[axis] : r.p3[axis];
}
double* EntryPoint(FigureRecord& r) {
    return r.kind == VEK_LINE ? r.p1 : r.p2;
}
double* ExitPoint(FigureRecord& r) {
    return r.kind == VEK_LINE ? r.p2 : r.p3;
}

FigureRecord Reversed(const FigureRecord& r) {
    FigureRecord out = r;
    if (r.kind == VEK_LINE) {
        std::swap(out.p1, out.p2);
    } else {
        std::swap(out.p2, out.p3);
        out.direction = r.direction == 1 ? 0u : 1u;
    }
    return out;
}

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

// For each end (2 k: start of chainable k, 2 k + 1: its end), the one end of
// another entity it joins, or -1: the two must be each other's only end
// within the tolerance, so that a chain never goes through a branch.
std::vector<std::int64_t> JoinEnds(const std::vector<Chainable>& items, double tolerance) {
    const std::size_t count = items.size() * 2;
    std::vector<std::int64_t> partner(count, -1);
    auto x = [&items](std::size_t end) {
        const FigureRecord& r = items[end / 2].record;
        return end % 2 == 0 ? Entry(r, 0) : Exit(r, 0);
    };
    auto y = [&items](std::size_t end) {
        const FigureRecord& r = items[end / 2].record;
        return end % 2 == 0 ? Entry(r, 1) : Exit(r, 1);
    };
    std::vector<std::size_t> order;
    order.reserve(count);
    for (std::size_t end = 0; end < count; ++end) {
        if (items[end / 2].size > 0) {  // an entity of no length joins nothing
            order.push_back(end);
        }
    }
    auto key = [&](std::size_t end) {
        return std::make_tuple(items[end / 2].group, x(end), y(end));
    };
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    // Runs of one group and one x, so that a column of ends is searched by y.
    std::vector<std::size_t> runEnd(order.size());
    for (std::size_t p = order.size(); p-- > 0;) {
        const bool sameAsNext = p + 1 < order.size() &&
                                items[order[p] / 2].group == items[order[p + 1] / 2].group &&
                                x(order[p]) == x(order[p + 1]);
        runEnd[p] = sameAsNext ? runEnd[p + 1] : p + 1;
    }
    std::vector<std::int64_t> only(count, -1);
    std::vector<std::uint8_t> several(count, 0);
    for (std::size_t p = 0; p < order.size(); ++p) {
        const std::size_t e = order[p];
        const Chainable& item = items[e / 2];
        const double reach = tolerance * item.size;
        const double ex = x(e);
        const double ey = y(e);
        // The first end of this group at x - reach or beyond.
        std::size_t q = static_cast<std::size_t>(
            std::partition_point(order.begin(), order.end(),
                                 [&](std::size_t o) {
                                     const std::uint32_t g = items[o / 2].group;
                                     return g < item.group ||
                                            (g == item.group && x(o) < ex - reach);
                                 }) -
            order.begin());
        while (q < order.size() && items[order[q] / 2].group == item.group &&
               x(order[q]) <= ex + reach) {
            const std::size_t stop = runEnd[q];
            // Within one x, the ends from y - reach on.
            std::size_t r = static_cast<std::size_t>(
                std::partition_point(order.begin() + static_cast<std::ptrdiff_t>(q),
                                     order.begin() + static_cast<std::ptrdiff_t>(stop),
                                     [&](std::size_t o) { return y(o) < ey - reach; }) -
                order.begin());
            for (; r < stop && y(order[r]) <= ey + reach; ++r) {
                const std::size_t other = order[r];
                if (other / 2 == e / 2) {
                    continue;
                }
                const double limit = tolerance * std::min(item.size, items[other / 2].size);
                if (std::hypot(x(other) - ex, y(other) - ey) <= limit) {
                    several[e] = several[e] || only[e] >= 0;
                    only[e] = static_cast<std::int64_t>(other);
                }
            }
            q = stop;
        }
    }
    for (std::size_t e = 0; e < count; ++e) {
        const std::int64_t o = only[e];
        if (o >= 0 && !several[e] &&
            only[static_cast<std::size_t>(o)] == static_cast<std::int64_t>(e) &&
            !several[static_cast<std::size_t>(o)]) {
            partner[e] = o;
        }
    }
    return partner;
}

// Moves the shared point of two joined elements onto one of them: a line's
// end onto its neighbour, so that arcs keep their ends on their circles.
void ShareEnd(FigureRecord& out, FigureRecord& in) {
    if (out.kind == VEK_LINE) {
        ExitPoint(out)[0] = EntryPoint(in)[0];
        ExitPoint(out)[1] = EntryPoint(in)[1];
    } else if (in.kind == VEK_LINE) {
        EntryPoint(in)[0] = ExitPoint(out)[0];
        EntryPoint(in)[1] = ExitPoint(out)[1];
    }
}

}  // namespace

double DegreesOf(double dx, double dy) {
    if (dy == 0) {
        return dx < 0 ? 180.0 : 0.0;
    }
    if (dx == 0) {
        return dy > 0 ? 90.0 : 270.0;
    }
    double degrees = std::atan2(dy, dx) / kDegree;
    if (degrees < 0) {
        degrees += 360.0;
    }
    return degrees >= 360.0 ? 0.0 : degrees;
}

void PointAtDegrees(double cx, double cy, double radius, double degrees, double& x, double& y) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0) {
        a += 360.0;
    }
    double c = 0;
    double s = 0;
    if (a == 0) {
        c = 1;
    } else if (a == 90) {
        s = 1;
    } else if (a == 180) {
        c = -1;
    } else if (a == 270) {
        s = -1;
    } else {
        c = std::cos(a * kDegree);
        s = std::sin(a * kDegree);
    }
    x = cx + radius * c;
    y = cy + radius * s;
}

FigureSet BuildFigures(const dxf::Document& doc, const JoinOptions& options) {
    FigureSet set;
    const std::size_t entities = doc.EntityCount();
    set.figureOf.assign(entities, -1);
    std::vector<Chainable> chainables;
    std::vector<std::int64_t> chainableOf(entities, -1);
    std::unordered_map<std::string, std::uint32_t> groups;  // upper-case layer and z
    // Figures in file order; a chain is placed at its first entity.
    std::vector<std::int64_t> single(entities, -1);  // polylines and circles
    std::vector<DxfFigure> singles;

    for (std::size_t i = 0; i < entities; ++i) {
        const dxf::Shape shape = dxf::ShapeOf(doc, i);
        if (!shape.Convertible()) {
            set.leftAlone.Add(doc.EntityType(i), shape.refusal);
            continue;
        }
        DxfFigure figure;
        figure.parts.push_back({i, false});
        if (const auto* poly = std::get_if<dxf::Polyline>(&shape.geometry)) {
            figure.kind = FigureKind::Polyline;
            figure.closed = poly->closed;
            const std::size_t n = poly->vertices.size();
            for (std::size_t k = 0; k + 1 < n; ++k) {
                figure.elements.push_back(
                    PolylineElement(poly->vertices[k], poly->vertices[k + 1]));
            }
            if (poly->closed) {
                figure.elements.push_back(
                    PolylineElement(poly->vertices[n - 1], poly->vertices[0]));
            }
        } else if (const auto* circle = std::get_if<dxf::Circle>(&shape.geometry)) {
            figure.kind = FigureKind::Circle;
            FigureRecord r{};
            r.kind = VEK_CIRCLE;
            r.p1[0] = circle->centre.x;
            r.p1[1] = circle->centre.y;
            r.p2[0] = circle->radius;
            figure.elements.push_back(r);
        } else {
            Chainable item;
            item.entity = i;
            double z = 0;
            bool chainable = true;
            if (const auto* line = std::get_if<dxf::Line>(&shape.geometry)) {
                item.record = LineRecord(line->start.x, line->start.y, line->end.x, line->end.y);
                item.size = std::hypot(line->end.x - line->start.x, line->end.y - line->start.y);
                z = line->start.z;
                chainable = line->start.z == line->end.z;  // a sloping line stands alone
            } else {
                const auto& arc = std::get<dxf::Arc>(shape.geometry);
                const double centre[2] = {arc.centre.x, arc.centre.y};
                double start[2];
                double end[2];
                PointAtDegrees(arc.centre.x, arc.centre.y, arc.radius, arc.startAngle, start[0],
                               start[1]);
                PointAtDegrees(arc.centre.x, arc.centre.y, arc.radius, arc.endAngle, end[0],
                               end[1]);
                item.record = ArcRecord(centre, arc.radius, start, end, false);
                double sweep = std::fmod(arc.endAngle - arc.startAngle, 360.0);
                if (sweep <= 0) {
                    sweep += 360.0;
                }
                item.size = arc.radius * sweep * kDegree;
                z = arc.centre.z;
            }
            if (!Finite(item.record)) {
                set.leftAlone.Add(doc.EntityType(i), dxf::Refusal::Malformed);
                continue;
            }
            if (!options.join || !chainable) {
                item.size = 0;  // joins nothing
            }
            std::string key = UpperAscii(doc.Info(i).layer);
            key.push_back('\0');
            key.append(reinterpret_cast<const char*>(&z), sizeof z);
            item.group = groups.emplace(std::move(key), static_cast<std::uint32_t>(groups.size()))
                             .first->second;
            chainableOf[i] = static_cast<std::int64_t>(chainables.size());
            chainables.push_back(item);
            continue;
        }
        bool finite = true;
        for (const FigureRecord& r : figure.elements) {
            finite = finite && Finite(r);
        }
        if (!finite) {
            set.leftAlone.Add(doc.EntityType(i), dxf::Refusal::Malformed);
            continue;
        }
        single[i] = static_cast<std::int64_t>(singles.size());
        singles.push_back(std::move(figure));
    }

    const std::vector<std::int64_t> partner = JoinEnds(chainables, options.tolerance);
    std::vector<std::uint8_t> placed(chainables.size(), 0);
    for (std::size_t i = 0; i < entities; ++i) {
        if (single[i] >= 0) {
            set.figureOf[i] = static_cast<std::int32_t>(set.figures.size());
            set.figures.push_back(std::move(singles[static_cast<std::size_t>(single[i])]));
            continue;
        }
        if (chainableOf[i] < 0 || placed[static_cast<std::size_t>(chainableOf[i])]) {
            continue;
        }
        // Back from this entity's start to the chain's first entity (or
        // round to this one when the chain closes); then forward from there.
        const std::size_t here = static_cast<std::size_t>(chainableOf[i]);
        std::size_t first = here;
        int entered = 0;  // 0: at its start
        for (std::size_t steps = 0; steps < chainables.size(); ++steps) {
            const std::int64_t p = partner[first * 2 + static_cast<std::size_t>(entered)];
            if (p < 0) {
                break;
            }
            const std::size_t previous = static_cast<std::size_t>(p) / 2;
            const int previousEntered = static_cast<int>(p % 2) ^ 1;
            if (previous == here) {
                first = here;
                entered = 0;
                break;
            }
            first = previous;
            entered = previousEntered;
        }
        DxfFigure figure;
        figure.kind = FigureKind::Chain;
        std::size_t k = first;
        int in = entered;
        for (;;) {
            placed[k] = 1;
            const bool reversed = in == 1;
            figure.parts.push_back({chainables[k].entity, reversed});
            figure.elements.push_back(reversed ? Reversed(chainables[k].record)
                                               : chainables[k].record);
            const std::int64_t p = partner[k * 2 + static_cast<std::size_t>(in ^ 1)];
            if (p < 0) {
                break;
            }
            const std::size_t next = static_cast<std::size_t>(p) / 2;
            if (placed[next]) {
                figure.closed = next == first;
                break;
            }
            k = next;
            in = static_cast<int>(p % 2);
        }
        const std::size_t n = figure.elements.size();
        for (std::size_t e = 0; e + 1 < n; ++e) {
            ShareEnd(figure.elements[e], figure.elements[e + 1]);
        }
        if (figure.closed) {
            ShareEnd(figure.elements[n - 1], figure.elements[0]);
        }
        const auto index = static_cast<std::int32_t>(set.figures.size());
        for (const FigurePart& part : figure.parts) {
            set.figureOf[part.entity] = index;
        }
        set.figures.push_back(std::move(figure));
    }
    set.leftAlone.AddBlockDefinitions(doc.BlockDefinitionCount());
    return set;
}

}  // namespace vekhost_tool
