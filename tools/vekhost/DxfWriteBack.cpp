#include "tools/vekhost/DxfWriteBack.h"

#include "tools/vekhost/DxfStyle.h"
#include "platform/veklib/VekHost.h"
#include "numeric/PortableMath.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace vekhost_tool {

namespace {

// The entry and exit points of an element in its figure's order.
const double* EntryOf(const vekhost::Element& e) {
    return e.type == VEK_LINE ? e.figure.p1 : e.figure.p2;
}
const double* ExitOf(const vekhost::Element& e) {
    return e.type == VEK_LINE ? e.figure.p2 : e.figure.p3;
}

bool IsArc(const vekhost::Element& e) {
    return e.type == VEK_ARC || e.type == VEK_ROUND_CORNER;
}
bool IsLine(const vekhost::Element& e) {
    return e.type == VEK_LINE || e.type == VEK_CHAMFER;
}

// The largest coordinate an element's values are computed from.
double MagnitudeOf(const vekhost::Element& e) {
    const FigureRecord& f = e.figure;
    double m = 0;
    for (double v : {f.p1[0], f.p1[1], f.p2[0], f.p2[1], f.p3[0], f.p3[1]}) {
        m = std::isfinite(v) ? std::max(m, std::fabs(v)) : m;
    }
    return m;
}

// A bulge this close to 1 (absolute: 4 units in the last place of 1) is a
// half circle's.
constexpr double kHalfCircleBulge = 4 * std::numeric_limits<double>::epsilon();

// The bulge of an element from its entry to its exit: the tangent of a
// quarter of its sweep, positive counter-clockwise; 0 for a line.
double BulgeOf(const vekhost::Element& e) {
    if (!IsArc(e)) {
        return 0;
    }
    const FigureRecord& f = e.figure;
    const double ax = f.p2[0] - f.p1[0];
    const double ay = f.p2[1] - f.p1[1];
    const double bx = f.p3[0] - f.p1[0];
    const double by = f.p3[1] - f.p1[1];
    double sweep = numeric::Atan2(ax * by - ay * bx, ax * bx + ay * by);
    if (f.direction == 1 && sweep > 0) {
        sweep -= 2 * std::numbers::pi;
    } else if (f.direction != 1 && sweep < 0) {
        sweep += 2 * std::numbers::pi;
    }
    const double bulge = numeric::Tan(sweep / 4);
    // A half circle's bulge is 1, which the tangent of a quarter of pi as a
    // double (a little under the true one) gives back as 0.9999999999999999.
    return std::fabs(std::fabs(bulge) - 1) <= kHalfCircleBulge ? std::copysign(1.0, bulge) : bulge;
}

std::string TypeName(int32_t type) {
    return "element type " + std::to_string(type);
}

}  // namespace

DxfWriteBack::DxfWriteBack(dxf::Document& doc, const RunSettings& settings, bool inches)
    : doc_(doc),
      settings_(settings),
      inches_(inches),
      grid_(settings.reference, settings.decimals) {}

dxf::Point3 DxfWriteBack::At(const double p[2], double z, double magnitude) const {
    return {grid_.Coordinate(p[0], 0, magnitude), grid_.Coordinate(p[1], 1, magnitude), z};
}

// A host line (or chamfer) from its entry to its exit.
dxf::Line DxfWriteBack::LineOf(const vekhost::Element& e, double z) const {
    const double magnitude = MagnitudeOf(e);
    return {At(EntryOf(e), z, magnitude), At(ExitOf(e), z, magnitude)};
}

// A host arc (or rounded corner) as a DXF arc, counter-clockwise, at the
// radius that found its centre: DXF derives the ends from the centre and the
// radius, and the host's ends lie on that circle.
dxf::Arc DxfWriteBack::ArcOf(const vekhost::Element& e, double z) const {
    const FigureRecord& f = e.figure;
    const double magnitude = MagnitudeOf(e);
    const auto found = radiusFound_.find(e.id);
    const double radius =
        grid_.Length(found == radiusFound_.end() ? f.size : found->second, magnitude);
    // Angles read back from the ends: a lone arc's were rounded, and keep
    // that value rather than what the sine and cosine give back.
    auto angle = [&](const double point[2]) {
        const double degrees =
            grid_.Degrees(DegreesOf(point[0] - f.p1[0], point[1] - f.p1[1]), radius, magnitude);
        return degrees >= 360 ? degrees - 360 : degrees;
    };
    const double from = angle(f.p2);
    const double to = angle(f.p3);
    const bool clockwise = f.direction == 1;
    return {At(f.p1, z, magnitude), radius, clockwise ? to : from, clockwise ? from : to};
}

dxf::Circle DxfWriteBack::CircleOf(const vekhost::Element& e, double z) const {
    const double magnitude = MagnitudeOf(e);
    return {At(e.figure.p1, z, magnitude), grid_.Length(e.figure.p2[0], magnitude)};
}

// The palette's colour and line type, with its LTYPE entry added when the
// drawing lacks it.
dxf::Restyle DxfWriteBack::RestyleFor(const LineTypeRecord& record) {
    if (settings_.color != 1) {
        return {};
    }
    const auto key = std::make_pair(record.colorIndex, record.lineTypeCode);
    if (const auto it = restyles_.find(key); it != restyles_.end()) {
        return it->second;
    }
    const PaletteLook look = PaletteLookOf(record, inches_);
    dxf::Restyle restyle;
    restyle.colour = look.aci;
    restyle.trueColour = look.rgb;
    if (doc_.HasTableEntry("LTYPE", look.lineType)) {
        restyle.lineType = look.lineType;
    } else if (doc_.HasTable("LTYPE")) {
        doc_.AddTableEntry(
            "LTYPE",
            dxf::LineTypeEntry(doc_, look.lineType,
                               look.pattern.empty() ? "Solid line" : "Tarnex " + look.lineTypeName,
                               look.pattern));
        restyle.lineType = look.lineType;
    } else {
        notes_.push_back(
            "the drawing has no line type table: converted entities keep their line type "
            "instead of " +
            look.lineTypeName);
    }
    restyles_.emplace(key, restyle);
    return restyle;
}

// The entity's own style, with the palette's colour and line type.
dxf::Style DxfWriteBack::Restyled(dxf::Style style, const dxf::Restyle& restyle) const {
    if (restyle.colour) {
        style.colour = restyle.colour;
        style.trueColour = restyle.trueColour;
    }
    if (restyle.lineType) {
        style.lineType = *restyle.lineType;
    }
    return style;
}

// Every element as an entity of its own, in place of `entity`.
void DxfWriteBack::WritePieces(std::size_t entity, const std::vector<vekhost::Element>& elements,
                               double z) {
    const dxf::Style own = dxf::StyleOf(doc_, entity);
    std::string pieces;
    for (const vekhost::Element& e : elements) {
        dxf::Geometry piece;
        if (IsLine(e)) {
            piece = LineOf(e, z);
        } else if (IsArc(e)) {
            piece = ArcOf(e, z);
        } else if (e.type == VEK_CIRCLE) {
            piece = CircleOf(e, z);
        } else {
            throw WriteBackError("the host made an element of a kind a DXF drawing cannot hold (" +
                                 TypeName(e.type) + ")");
        }
        pieces += dxf::NewEntity(doc_, piece, Restyled(own, RestyleFor(e.lineType)));
    }
    doc_.ReplaceEntity(entity, std::move(pieces));
}

DxfWriteBack::After DxfWriteBack::AfterOf(const FigureReport& result, std::size_t before) const {
    After after;
    if (result.after) {
        after.closed = result.afterClosed;
        after.elements = *result.after;
    } else {
        for (VekId id : result.newSegments) {
            if (auto segment = vekhost::GetSegment(id)) {
                after.closed = after.closed || segment->closed;
                after.elements.insert(after.elements.end(), segment->elements.begin(),
                                      segment->elements.end());
            }
        }
    }
    after.from.assign(after.elements.size(), -1);
    if (result.pairing.size() == before) {
        for (std::size_t i = 0; i < before; ++i) {
            const int k = result.pairing[i];
            if (k >= 0 && static_cast<std::size_t>(k) < after.elements.size()) {
                after.from[static_cast<std::size_t>(k)] = static_cast<int>(i);
            }
        }
    }
    return after;
}

void DxfWriteBack::Write(const DxfFigure& figure, std::size_t before, const FigureReport& result) {
    radiusFound_.clear();
    for (const ArcItem& arc : result.arcs) {
        if (arc.rule == ArcRule::CorrectedRadius) {
            radiusFound_[arc.now.id] = arc.radiusFound;
        }
    }
    const After after = AfterOf(result, before);
    if (figure.kind == FigureKind::Polyline) {
        WritePolyline(figure, before, after);
    } else {
        WriteChain(figure, result, after);
    }
}

// A closed figure from the element that came from its first: the host may
// have put the corner that closes it at its end. A polyline then keeps its
// first vertex, and converting it again meets its elements in the same order.
namespace {

DxfWriteBack::After FromTheFirst(DxfWriteBack::After after) {
    if (!after.closed) {
        return after;
    }
    std::size_t first = 0;
    for (std::size_t k = 0; k < after.from.size(); ++k) {
        if (after.from[k] >= 0 && (after.from[first] < 0 || after.from[k] < after.from[first])) {
            first = k;
        }
    }
    const auto by = static_cast<std::ptrdiff_t>(first);
    std::rotate(after.elements.begin(), after.elements.begin() + by, after.elements.end());
    std::rotate(after.from.begin(), after.from.begin() + by, after.from.end());
    return after;
}

}  // namespace

void DxfWriteBack::WritePolyline(const DxfFigure& figure, std::size_t before,
                                 const After& unrotated) {
    const After after = FromTheFirst(unrotated);
    const std::size_t first = figure.parts.front().entity;
    const std::vector<vekhost::Element>& elements = after.elements;
    if (elements.empty()) {
        doc_.RemoveEntity(first);
        return;
    }
    const std::size_t vertices = before + (figure.closed ? 0 : 1);
    dxf::Polyline written;
    written.closed = after.closed;
    written.z = figure.parts.front().z0;
    bool onlyLinesAndArcs = true;
    for (std::size_t k = 0; k < elements.size(); ++k) {
        const vekhost::Element& e = elements[k];
        onlyLinesAndArcs = onlyLinesAndArcs && (IsLine(e) || IsArc(e));
        const dxf::Point3 p = At(EntryOf(e), 0, MagnitudeOf(e));
        written.vertices.push_back(
            {p.x, p.y, BulgeOf(e), after.from[k] >= 0 ? after.from[k] : dxf::kNewVertex});
    }
    if (!after.closed) {
        const dxf::Point3 p = At(ExitOf(elements.back()), 0, MagnitudeOf(elements.back()));
        const int last = after.from.back();
        const int source =
            last >= 0 && static_cast<std::size_t>(last + 1) < vertices ? last + 1 : dxf::kNewVertex;
        written.vertices.push_back({p.x, p.y, 0, source});
    }
    if (settings_.exploded || !onlyLinesAndArcs || after.closed != figure.closed ||
        written.vertices.size() < 2) {
        // Each element an entity of its own: the exploded pass, or a result a
        // polyline of the same kind cannot hold.
        WritePieces(first, elements, written.z);
        return;
    }
    const dxf::Restyle restyle = RestyleFor(elements.front().lineType);
    if (doc_.EntityType(first) != "LWPOLYLINE") {
        doc_.ReplaceEntity(first, dxf::RewriteEntity(doc_, first, written, restyle));
        return;
    }
    // Its kind, closed flag and vertex count known since it was read.
    dxf::Shape original;
    original.refusal = dxf::Refusal::None;
    original.mirrored = figure.parts.front().mirrored;
    dxf::Polyline read;
    read.closed = figure.closed;
    read.vertices.resize(vertices);
    original.geometry = std::move(read);
    doc_.ReplaceEntity(first, dxf::RewriteEntity(doc_, first, original, written, restyle));
}

// A chain or a circle: each entity rewritten from the element it became, or
// removed when that shrank to nothing.
void DxfWriteBack::WriteChain(const DxfFigure& figure, const FigureReport& result,
                              const After& after) {
    const std::size_t first = figure.parts.front().entity;
    bool kindsMatch = result.pairing.size() == figure.parts.size();
    for (std::size_t i = 0; kindsMatch && i < figure.parts.size(); ++i) {
        const int k = result.pairing[i];
        if (k < 0) {
            continue;
        }
        const vekhost::Element& e = after.elements[static_cast<std::size_t>(k)];
        const std::string_view type = doc_.EntityType(figure.parts[i].entity);
        kindsMatch = (type == "LINE" && IsLine(e)) || (type == "ARC" && IsArc(e)) ||
                     (type == "CIRCLE" && e.type == VEK_CIRCLE);
    }
    if (!kindsMatch) {
        // Not paired element for element: the figure's entities give way to
        // new ones, in the place of its first.
        for (const FigurePart& part : figure.parts) {
            if (part.entity != first) {
                doc_.RemoveEntity(part.entity);
            }
        }
        WritePieces(first, after.elements, figure.parts.front().z0);
        return;
    }
    for (std::size_t i = 0; i < figure.parts.size(); ++i) {
        const FigurePart& part = figure.parts[i];
        const int k = result.pairing[i];
        if (k < 0) {
            doc_.RemoveEntity(part.entity);
            continue;
        }
        const vekhost::Element& e = after.elements[static_cast<std::size_t>(k)];
        const std::string_view type = doc_.EntityType(part.entity);
        dxf::Geometry geometry;
        dxf::Shape original;  // its kind and extrusion, known since it was read
        original.refusal = dxf::Refusal::None;
        original.mirrored = part.mirrored;
        if (type == "LINE") {
            dxf::Line now = LineOf(e, 0);
            if (part.reversed) {
                std::swap(now.start, now.end);
            }
            now.start.z = part.z0;
            now.end.z = part.z1;
            geometry = now;
            original.geometry = dxf::Line{};
        } else if (type == "ARC") {
            geometry = ArcOf(e, part.z0);
            original.geometry = dxf::Arc{};
        } else {
            geometry = CircleOf(e, part.z0);
            original.geometry = dxf::Circle{};
        }
        doc_.ReplaceEntity(part.entity, dxf::RewriteEntity(doc_, part.entity, original, geometry,
                                                           RestyleFor(e.lineType)));
    }
}

}  // namespace vekhost_tool
