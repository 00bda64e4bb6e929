#include "tools/vekhost/DxfFigures.h"

#include "platform/veklib/VekHost.h"
#include "tools/dxf/DxfTags.h"
#include "numeric/PortableMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstring>
#include <limits>
#include <map>
#include <span>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <variant>

namespace vekhost_tool {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// Values whose geometry overflows a double (a bulge of 1e300, ...).
constexpr const char* kNotFinite = "values too large to compute with";

// An arc from `start` to `end` about `centre` with the radius the file gives
// (not the one measured from the centre to the start); the host's direction
// 1 is clockwise.
FigureRecord ArcRecord(const double centre[2], double radius, const double start[2],
                       const double end[2], bool clockwise) {
    FigureRecord r =
        vekhost::Arc(centre[0], centre[1], start[0], start[1], end[0], end[1], clockwise);
    r.size = radius;
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
        return vekhost::Line(a.x, a.y, b.x, b.y);
    }
    const double bulge = a.bulge;
    const double chord = numeric::Hypot(dx, dy);
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
    double entry[2] = {}, exit[2] = {};  // from its start to its end
    double size = 0;
    std::uint32_t group = 0;  // layer and elevation
    bool mirrored = false;
    double z0 = 0, z1 = 0;
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

// An end of a chainable, by group and position. Indexes in 32 bits where a
// count of ends fits: a large drawing's ends are many, and their memory is
// the drawing's.
struct End {
    std::uint32_t group;
    std::uint32_t end;  // 2 k: start of chainable k, 2 k + 1: its end
    double x, y;
    double size;
};

// The ends of the chainables of some length, by group, x and y.
std::vector<End> SortedEnds(const std::vector<Chainable>& items) {
    if (items.size() * 2 > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("too many lines and arcs to join");
    }
    std::vector<End> ends;
    ends.reserve(items.size() * 2);
    for (std::size_t k = 0; k < items.size(); ++k) {
        const Chainable& item = items[k];
        if (item.size > 0) {  // an entity of no length joins nothing
            const auto at = static_cast<std::uint32_t>(2 * k);
            ends.push_back({item.group, at, item.entry[0], item.entry[1], item.size});
            ends.push_back({item.group, at + 1, item.exit[0], item.exit[1], item.size});
        }
    }
    std::sort(ends.begin(), ends.end(), [](const End& a, const End& b) {
        if (a.group != b.group) {
            return a.group < b.group;
        }
        if (a.x != b.x) {
            return a.x < b.x;
        }
        return a.y < b.y;
    });
    return ends;
}

// For each end, an end of another entity within the tolerance (`only`),
// and whether it has several.
void NearEnds(const std::vector<End>& ends, double tolerance, std::vector<std::int64_t>& only,
              std::vector<std::uint8_t>& several) {
    // Runs of one group and one x, so that a column of ends is searched by y.
    auto sameRun = [&ends](std::size_t a, std::size_t b) {
        return ends[a].group == ends[b].group && ends[a].x == ends[b].x;
    };
    std::vector<std::uint32_t> runEnd(ends.size());
    std::vector<std::uint32_t> runStart(ends.size());
    for (std::size_t p = ends.size(); p-- > 0;) {
        runEnd[p] = p + 1 < ends.size() && sameRun(p, p + 1) ? runEnd[p + 1]
                                                             : static_cast<std::uint32_t>(p + 1);
    }
    for (std::size_t p = 0; p < ends.size(); ++p) {
        runStart[p] = p > 0 && sameRun(p, p - 1) ? runStart[p - 1] : static_cast<std::uint32_t>(p);
    }
    for (std::size_t p = 0; p < ends.size(); ++p) {
        const End& e = ends[p];
        const double reach = tolerance * e.size;
        // Back, a run of one x at a time, to the first end of this group at
        // x - reach or beyond.
        std::size_t q = runStart[p];
        while (q > 0 && ends[q - 1].group == e.group && ends[q - 1].x >= e.x - reach) {
            q = runStart[q - 1];
        }
        while (q < ends.size() && ends[q].group == e.group && ends[q].x <= e.x + reach) {
            const std::size_t stop = runEnd[q];
            // Within one x, the ends from y - reach on.
            std::size_t r = q;
            if (stop - q > 8) {
                r = static_cast<std::size_t>(
                    std::partition_point(ends.begin() + static_cast<std::ptrdiff_t>(q),
                                         ends.begin() + static_cast<std::ptrdiff_t>(stop),
                                         [&](const End& o) { return o.y < e.y - reach; }) -
                    ends.begin());
            }
            for (; r < stop && ends[r].y <= e.y + reach; ++r) {
                const End& other = ends[r];
                if (other.end / 2 == e.end / 2 || other.y < e.y - reach) {
                    continue;
                }
                const double limit = tolerance * std::min(e.size, other.size);
                if ((other.x == e.x && other.y == e.y) ||
                    numeric::Hypot(other.x - e.x, other.y - e.y) <= limit) {
                    several[e.end] = several[e.end] || only[e.end] >= 0;
                    only[e.end] = static_cast<std::int64_t>(other.end);
                }
            }
            q = stop;
        }
    }
}

// For each end (2 k: start of chainable k, 2 k + 1: its end), the one end of
// another entity it joins, or -1: the two must be each other's only end
// within the tolerance, so that a chain never goes through a branch.
std::vector<std::int64_t> JoinEnds(const std::vector<Chainable>& items, double tolerance) {
    const std::size_t count = items.size() * 2;
    std::vector<std::int64_t> only(count, -1);
    std::vector<std::uint8_t> several(count, 0);
    NearEnds(SortedEnds(items), tolerance, only, several);
    // Partners in place of the ends found.
    std::vector<std::uint8_t> mutual(count, 0);
    for (std::size_t e = 0; e < count; ++e) {
        const std::int64_t o = only[e];
        mutual[e] = o >= 0 && !several[e] &&
                    only[static_cast<std::size_t>(o)] == static_cast<std::int64_t>(e) &&
                    !several[static_cast<std::size_t>(o)];
    }
    for (std::size_t e = 0; e < count; ++e) {
        only[e] = mutual[e] ? only[e] : -1;
    }
    return only;
}

// The layer of entity `i` (its 8 group, "0" without one), read no further
// from `reader` (its tags, the "0" line first).
template <typename Reader>
std::string_view LayerOf(const dxf::Document& doc, std::size_t i, Reader& reader) {
    dxf::Tag tag;
    reader.Next(tag);
    while (reader.Next(tag) && tag.code != 0) {
        if (tag.code == 8) {
            return tag.Trimmed();
        }
        if (tag.code == 102 || tag.code >= 1000) {
            break;  // an application group or XDATA before the layer: read it all
        }
    }
    return doc.EntityLayer(i);
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
    double degrees = numeric::Atan2(dy, dx) / kDegree;
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
        c = numeric::Cos(a * kDegree);
        s = numeric::Sin(a * kDegree);
    }
    x = cx + radius * c;
    y = cy + radius * s;
}

namespace {

// A polyline's elements: element k runs from vertex k (and the last back to
// the first when it is closed).
std::vector<FigureRecord> PolylineElements(const dxf::Polyline& poly) {
    std::vector<FigureRecord> elements;
    const std::size_t n = poly.vertices.size();
    elements.reserve(poly.closed ? n : n - 1);
    for (std::size_t k = 0; k + 1 < n; ++k) {
        elements.push_back(PolylineElement(poly.vertices[k], poly.vertices[k + 1]));
    }
    if (poly.closed) {
        elements.push_back(PolylineElement(poly.vertices[n - 1], poly.vertices[0]));
    }
    return elements;
}

FigureRecord CircleElement(const dxf::Circle& circle) {
    FigureRecord r{};
    r.kind = VEK_CIRCLE;
    r.p1[0] = circle.centre.x;
    r.p1[1] = circle.centre.y;
    r.p2[0] = circle.radius;
    return r;
}

// A polyline's or a circle's figure, without its records.
DxfFigure SingleFigure(std::size_t i, const dxf::Shape& shape, std::size_t elements) {
    DxfFigure figure;
    const auto* poly = std::get_if<dxf::Polyline>(&shape.geometry);
    const double z = poly != nullptr ? poly->z : std::get<dxf::Circle>(shape.geometry).centre.z;
    figure.parts.push_back({i, false, shape.mirrored, z, z});
    figure.kind = poly != nullptr ? FigureKind::Polyline : FigureKind::Circle;
    figure.closed = poly != nullptr && poly->closed;
    figure.elementCount = elements;
    return figure;
}

// A LINE's or ARC's record, from its start to its end.
FigureRecord ChainRecord(const dxf::Shape& shape) {
    if (const auto* line = std::get_if<dxf::Line>(&shape.geometry)) {
        return vekhost::Line(line->start.x, line->start.y, line->end.x, line->end.y);
    }
    const auto& arc = std::get<dxf::Arc>(shape.geometry);
    const double centre[2] = {arc.centre.x, arc.centre.y};
    double start[2];
    double end[2];
    PointAtDegrees(arc.centre.x, arc.centre.y, arc.radius, arc.startAngle, start[0], start[1]);
    PointAtDegrees(arc.centre.x, arc.centre.y, arc.radius, arc.endAngle, end[0], end[1]);
    return ArcRecord(centre, arc.radius, start, end, false);
}

// A LINE or ARC of record `r` as a chainable: its ends, its length and its
// elevations; a sloping line joins nothing.
Chainable ChainableOf(std::size_t i, const dxf::Shape& shape, const FigureRecord& r) {
    Chainable item;
    item.entity = i;
    item.mirrored = shape.mirrored;
    for (int axis = 0; axis < 2; ++axis) {
        item.entry[axis] = Entry(r, axis);
        item.exit[axis] = Exit(r, axis);
    }
    if (const auto* line = std::get_if<dxf::Line>(&shape.geometry)) {
        item.size = numeric::Hypot(line->end.x - line->start.x, line->end.y - line->start.y);
        item.z0 = line->start.z;
        item.z1 = line->end.z;
        item.size = item.z0 == item.z1 ? item.size : 0;
        return item;
    }
    const auto& arc = std::get<dxf::Arc>(shape.geometry);
    double sweep = std::fmod(arc.endAngle - arc.startAngle, 360.0);
    if (sweep <= 0) {
        sweep += 360.0;
    }
    item.size = arc.radius * sweep * kDegree;
    item.z0 = arc.centre.z;
    item.z1 = item.z0;
    return item;
}

// Chainables join only within one group: one layer (by its text in the
// file, then by its name decoded, escapes read, without regard to case) and
// one elevation.
// Chainables join only within one layer, by name, and one elevation. The
// layers' texts are taken as the entities are read; their names, which the
// whole file's code page decides, are settled once it is read. Ids go to
// layers and groups in the order of the chainables.
class ChainGroups {
public:
    std::uint32_t TextId(std::string_view layerText) {
        const auto [it, added] =
            idOfText_.emplace(layerText, static_cast<std::uint32_t>(texts_.size()));
        if (added) {
            texts_.push_back(layerText);
        }
        return it->second;
    }

    // Each chainable's group from its layer's text id and its elevation.
    void Settle(const dxf::Document& doc, std::vector<Chainable>& items) const {
        std::vector<std::int64_t> layerOfText(texts_.size(), -1);
        std::unordered_map<std::string, std::uint32_t> layerOfName;  // by name key
        std::map<std::pair<std::uint32_t, std::uint64_t>, std::uint32_t> groups;
        for (Chainable& item : items) {
            std::int64_t& layer = layerOfText[item.group];
            if (layer < 0) {
                layer = layerOfName
                            .emplace(doc.NameKey(texts_[item.group]),
                                     static_cast<std::uint32_t>(layerOfName.size()))
                            .first->second;
            }
            std::uint64_t zBits = 0;
            const double elevation = item.z0 == 0 ? 0.0 : item.z0;  // -0 (a mirrored 0) is 0
            std::memcpy(&zBits, &elevation, sizeof elevation);
            item.group = groups
                             .emplace(std::make_pair(static_cast<std::uint32_t>(layer), zBits),
                                      static_cast<std::uint32_t>(groups.size()))
                             .first->second;
        }
    }

private:
    std::unordered_map<std::string_view, std::uint32_t> idOfText_;
    std::vector<std::string_view> texts_;
};

// What the first walk over the entities finds: polylines and circles as
// figures, lines and arcs as chainables, each by entity.
struct Found {
    std::vector<Chainable> chainables;
    std::vector<std::int64_t> chainableOf;  // per entity, or -1
    std::vector<DxfFigure> singles;
    std::vector<std::int64_t> single;  // per entity, or -1
};

bool AllFinite(const std::vector<FigureRecord>& records) {
    return std::all_of(records.begin(), records.end(), Finite);
}

// Takes the entities in file order, each once with its shape: a figure of
// its own, a chainable, or an entity left alone.
class ShapeFinder {
public:
    ShapeFinder(const JoinOptions& options, dxf::LeftAlone& left)
        : options_(options), left_(left) {}

    // Room for every entity, LINE and ARC at once: a large drawing's are not
    // copied as they grow.
    void Reserve(std::size_t entities, std::size_t lines) {
        found_.chainableOf.reserve(entities);
        found_.single.reserve(entities);
        found_.chainables.reserve(lines);
        found_.singles.reserve(entities - lines);
    }

    // `tags`: the entity's, when read already.
    void Take(const dxf::Document& doc, std::size_t i, const dxf::Shape& shape,
              std::span<const dxf::Tag> tags = {}) {
        // Every entity up to `i` has its place, whatever was taken before.
        found_.chainableOf.resize(std::max(found_.chainableOf.size(), i + 1), -1);
        found_.single.resize(std::max(found_.single.size(), i + 1), -1);
        if (!shape.Convertible()) {
            left_.Add(doc.EntityType(i), shape.refusal, shape.detail, doc.EntityLine(i));
            return;
        }
        const auto* poly = std::get_if<dxf::Polyline>(&shape.geometry);
        const auto* circle = std::get_if<dxf::Circle>(&shape.geometry);
        if (poly == nullptr && circle == nullptr) {
            TakeChainable(doc, i, shape, tags);
            return;
        }
        const std::vector<FigureRecord> elements =
            poly != nullptr ? PolylineElements(*poly)
                            : std::vector<FigureRecord>{CircleElement(*circle)};
        if (!AllFinite(elements)) {
            left_.Add(doc.EntityType(i), dxf::Refusal::Malformed, kNotFinite, doc.EntityLine(i));
            return;
        }
        found_.single[i] = static_cast<std::int64_t>(found_.singles.size());
        found_.singles.push_back(SingleFigure(i, shape, elements.size()));
    }

    // What was found, once every entity was taken and the file is read.
    Found Finish(const dxf::Document& doc) {
        found_.chainableOf.resize(doc.EntityCount(), -1);
        found_.single.resize(doc.EntityCount(), -1);
        groups_.Settle(doc, found_.chainables);
        return std::move(found_);
    }

private:
    void TakeChainable(const dxf::Document& doc, std::size_t i, const dxf::Shape& shape,
                       std::span<const dxf::Tag> tags) {
        const FigureRecord record = ChainRecord(shape);
        if (!Finite(record)) {
            left_.Add(doc.EntityType(i), dxf::Refusal::Malformed, kNotFinite, doc.EntityLine(i));
            return;
        }
        Chainable item = ChainableOf(i, shape, record);
        item.size = options_.join ? item.size : 0;  // 0: joins nothing
        item.group = groups_.TextId(LayerText(doc, i, tags));
        found_.chainableOf[i] = static_cast<std::int64_t>(found_.chainables.size());
        found_.chainables.push_back(item);
    }

    static std::string_view LayerText(const dxf::Document& doc, std::size_t i,
                                      std::span<const dxf::Tag> tags) {
        if (tags.empty()) {
            dxf::TagReader reader(doc.EntityText(i));
            return LayerOf(doc, i, reader);
        }
        dxf::TagsRead reader(tags);
        return LayerOf(doc, i, reader);
    }

    const JoinOptions& options_;
    dxf::LeftAlone& left_;
    Found found_;
    ChainGroups groups_;
};

Found FindShapes(const dxf::Document& doc, const JoinOptions& options, dxf::LeftAlone& left) {
    ShapeFinder finder(options, left);
    std::size_t lines = 0;
    for (std::size_t i = 0; i < doc.EntityCount(); ++i) {
        const std::string_view type = doc.EntityType(i);
        lines += type == "LINE" || type == "ARC" ? 1 : 0;
    }
    finder.Reserve(doc.EntityCount(), lines);
    for (std::size_t i = 0; i < doc.EntityCount(); ++i) {
        finder.Take(doc, i, dxf::ShapeOf(doc, i));
    }
    return finder.Finish(doc);
}

// The chainable a chain through `here` starts from, and the end it is
// entered at (0: its start): back from `here` to the first, or round to
// `here` when the chain closes.
std::pair<std::size_t, int> ChainStart(std::size_t here, const std::vector<std::int64_t>& partner,
                                       std::size_t count) {
    std::size_t first = here;
    int entered = 0;
    for (std::size_t steps = 0; steps < count; ++steps) {
        const std::int64_t p = partner[first * 2 + static_cast<std::size_t>(entered)];
        if (p < 0) {
            break;
        }
        const std::size_t previous = static_cast<std::size_t>(p) / 2;
        if (previous == here) {
            return {here, 0};
        }
        first = previous;
        entered = static_cast<int>(p % 2) ^ 1;
    }
    return {first, entered};
}

// The chain from `first`, entered at `in`, forward to its end; each
// chainable placed.
DxfFigure ChainFrom(std::size_t first, int in, const std::vector<Chainable>& chainables,
                    const std::vector<std::int64_t>& partner, std::vector<std::uint8_t>& placed) {
    DxfFigure figure;
    figure.kind = FigureKind::Chain;
    for (std::size_t k = first;;) {
        placed[k] = 1;
        const bool reversed = in == 1;
        figure.parts.push_back({chainables[k].entity, reversed, chainables[k].mirrored,
                                chainables[k].z0, chainables[k].z1});
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
    figure.elementCount = figure.parts.size();
    return figure;
}

// A chain's records: each part's from its start to its end, turned round
// when it is entered at its end, and each shared end made one point.
std::vector<FigureRecord> ChainElements(const dxf::Document& doc, const DxfFigure& figure) {
    std::vector<FigureRecord> elements;
    elements.reserve(figure.parts.size());
    for (const FigurePart& part : figure.parts) {
        const FigureRecord record = ChainRecord(dxf::ShapeOf(doc, part.entity));
        elements.push_back(part.reversed ? Reversed(record) : record);
    }
    const std::size_t n = elements.size();
    for (std::size_t e = 0; e + 1 < n; ++e) {
        ShareEnd(elements[e], elements[e + 1]);
    }
    if (figure.closed) {
        ShareEnd(elements[n - 1], elements[0]);
    }
    return elements;
}

// The figures of what was found: each single, and each chain from its
// first entity, in file order.
FigureSet Figures(const dxf::Document& doc, const JoinOptions& options, Found found,
                  dxf::LeftAlone left) {
    FigureSet set;
    set.leftAlone = std::move(left);
    const std::vector<std::int64_t> partner = JoinEnds(found.chainables, options.tolerance);
    std::vector<std::uint8_t> placed(found.chainables.size(), 0);
    set.figureOf.assign(doc.EntityCount(), -1);
    // At most one figure per chainable or single: room for all, never copied.
    set.figures.reserve(found.singles.size() + found.chainables.size());
    // Figures in file order; a chain is placed at its first entity.
    for (std::size_t i = 0; i < doc.EntityCount(); ++i) {
        DxfFigure figure;
        if (found.single[i] >= 0) {
            figure = std::move(found.singles[static_cast<std::size_t>(found.single[i])]);
        } else if (found.chainableOf[i] >= 0 &&
                   !placed[static_cast<std::size_t>(found.chainableOf[i])]) {
            const auto [first, entered] = ChainStart(static_cast<std::size_t>(found.chainableOf[i]),
                                                     partner, found.chainables.size());
            figure = ChainFrom(first, entered, found.chainables, partner, placed);
        } else {
            continue;
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

}  // namespace

FigureSet BuildFigures(const dxf::Document& doc, const JoinOptions& options) {
    FigureSet set;
    Found found = FindShapes(doc, options, set.leftAlone);
    return Figures(doc, options, std::move(found), std::move(set.leftAlone));
}

DrawingRead ReadDrawing(std::string bytes, const JoinOptions& options) {
    dxf::LeftAlone left;
    ShapeFinder finder(options, left);
    dxf::Document doc = dxf::Document::Parse(
        std::move(bytes),
        [&finder](const dxf::Document& d, std::size_t i, std::span<const dxf::Tag> tags) {
            finder.Take(d, i, dxf::ShapeOf(d, i, tags), tags);
        });
    Found found = finder.Finish(doc);
    FigureSet set = Figures(doc, options, std::move(found), std::move(left));
    return {std::move(doc), std::move(set)};
}

std::vector<FigureRecord> FigureElements(const dxf::Document& doc, const DxfFigure& figure) {
    if (figure.kind == FigureKind::Chain) {
        return ChainElements(doc, figure);
    }
    const dxf::Shape shape = dxf::ShapeOf(doc, figure.parts.front().entity);
    if (const auto* poly = std::get_if<dxf::Polyline>(&shape.geometry)) {
        return PolylineElements(*poly);
    }
    return {CircleElement(std::get<dxf::Circle>(shape.geometry))};
}

}  // namespace vekhost_tool
