#include "tools/vekhost/DxfDrawing.h"

#include "tools/dxf/DxfNumbers.h"
#include "tools/vekhost/DxfStyle.h"
#include "tools/vekhost/TextConvert.h"
#include "platform/veklib/VekHost.h"
#include "numeric/PortableMath.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <map>
#include <set>
#include <utility>
#include <variant>

namespace vekhost_tool {

namespace {

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

// A name from the drawing as UTF-8 text: as it is when it is UTF-8, else its
// bytes taken as Latin-1 (drawings before R2007 use a code page), so that
// the report and the picture can always hold it.
std::string Readable(std::string_view name) {
    std::string text(name);
    if (Utf8ToUtf16(text)) {
        return text;
    }
    std::string latin;
    for (unsigned char c : name) {
        if (c < 0x80) {
            latin.push_back(static_cast<char>(c));
        } else {
            latin.push_back(static_cast<char>(0xC0 | c >> 6));
            latin.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return latin;
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

dxf::Point3 At(const double p[2], double z) {
    return {p[0], p[1], z};
}

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

// An angle read back from a point is written rounded to the run's decimal
// places when that moves the point by no more than this fraction of the
// radius (relative): an arc whose angles the conversion rounded (a lone arc)
// keeps them as they were rounded, not as the sine and cosine give them back.
constexpr double kAngleSnap = 1e-12;

double AngleTowards(const double centre[2], const double point[2], int decimals) {
    const double exact = DegreesOf(point[0] - centre[0], point[1] - centre[1]);
    const double scale =
        decimals >= 0 ? numeric::PowerOfTen(decimals) : 1 / numeric::PowerOfTen(decimals);
    const double rounded = std::round(exact * scale) / scale;
    const double apart = std::fabs(rounded - exact) * std::numbers::pi / 180;
    return apart <= kAngleSnap && std::isfinite(rounded) ? std::fmod(rounded, 360.0) : exact;
}

// A host arc (or rounded corner) as a DXF arc, counter-clockwise.
dxf::Arc ArcOf(const vekhost::Element& e, double z, int decimals) {
    const FigureRecord& f = e.figure;
    const double from = AngleTowards(f.p1, f.p2, decimals);
    const double to = AngleTowards(f.p1, f.p3, decimals);
    const bool clockwise = f.direction == 1;
    return {At(f.p1, z), f.size, clockwise ? to : from, clockwise ? from : to};
}

// A host line (or chamfer) from its entry to its exit.
dxf::Line LineOf(const vekhost::Element& e, double z) {
    return {At(EntryOf(e), z), At(ExitOf(e), z)};
}

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
    return numeric::Tan(sweep / 4);
}

// An element as a new entity of its own: a LINE, ARC or CIRCLE at `z`.
std::optional<dxf::Geometry> PieceOf(const vekhost::Element& e, double z, int decimals) {
    if (IsLine(e)) {
        return dxf::Geometry{LineOf(e, z)};
    }
    if (IsArc(e)) {
        return dxf::Geometry{ArcOf(e, z, decimals)};
    }
    if (e.type == VEK_CIRCLE) {
        return dxf::Geometry{dxf::Circle{At(e.figure.p1, z), e.figure.p2[0]}};
    }
    return std::nullopt;
}

std::string TypeName(int32_t type) {
    return "element type " + std::to_string(type);
}

}  // namespace

bool IsDxfName(const std::string& path) {
    return path.size() >= 4 && UpperAscii(path.substr(path.size() - 4)) == ".DXF";
}

DxfDrawing::DxfDrawing(std::string bytes, const JoinOptions& join)
    : doc_(dxf::Document::Parse(std::move(bytes))), set_(BuildFigures(doc_, join)) {}

void DxfDrawing::LoadIntoHost() {
    vekhost::Reset();
    std::unordered_map<std::string, VekId> layers;  // by upper-case name
    segmentOf_.assign(set_.figures.size(), VEK_NONE);
    elementCounts_.assign(set_.figures.size(), 0);
    figureOfSegment_.clear();
    for (std::size_t f = 0; f < set_.figures.size(); ++f) {
        DxfFigure& figure = set_.figures[f];
        const std::string_view layer = doc_.Info(figure.parts.front().entity).layer;
        auto [at, added] = layers.try_emplace(UpperAscii(layer), VEK_NONE);
        if (added) {
            at->second = vekhost::AddLayer(Readable(layer));
        }
        const VekId segment = vekhost::AddSegment(figure.elements, figure.closed, at->second);
        elementCounts_[f] = figure.elements.size();
        std::vector<FigureRecord>().swap(figure.elements);  // its memory too
        if (segment == VEK_NONE) {
            for (const FigurePart& part : figure.parts) {
                set_.leftAlone.Add(doc_.EntityType(part.entity), dxf::Refusal::Malformed);
            }
            continue;
        }
        segmentOf_[f] = segment;
        figureOfSegment_[segment] = f;
    }
}

const DxfFigure* DxfDrawing::FigureOf(VekId segment) const {
    const auto it = figureOfSegment_.find(segment);
    return it == figureOfSegment_.end() ? nullptr : &set_.figures[it->second];
}

std::optional<std::vector<VekId>> DxfDrawing::Pick(const DxfSelection& selection,
                                                   const std::string& drawingName,
                                                   std::string& error) const {
    std::vector<VekId> picked;
    if (selection.kind == DxfSelection::Kind::All) {
        for (VekId segment : segmentOf_) {
            if (segment != VEK_NONE) {
                picked.push_back(segment);
            }
        }
        return picked;
    }
    if (selection.kind == DxfSelection::Kind::Layers) {
        std::set<std::string> wanted;
        std::set<std::string> known;
        for (std::size_t i = 0; i < doc_.EntityCount(); ++i) {
            known.insert(UpperAscii(doc_.Info(i).layer));
        }
        for (const std::string& name : selection.names) {
            if (!known.count(UpperAscii(name)) && !doc_.HasTableEntry("LAYER", name) &&
                name != "0") {
                error = drawingName + " has no layer '" + name + "'";
                return std::nullopt;
            }
            wanted.insert(UpperAscii(name));
        }
        for (std::size_t f = 0; f < set_.figures.size(); ++f) {
            if (segmentOf_[f] != VEK_NONE &&
                wanted.count(UpperAscii(doc_.Info(set_.figures[f].parts.front().entity).layer))) {
                picked.push_back(segmentOf_[f]);
            }
        }
        return picked;
    }
    std::unordered_map<dxf::Handle, std::size_t> entityOf;
    for (std::size_t i = 0; i < doc_.EntityCount(); ++i) {
        if (const auto handle = doc_.EntityHandle(i)) {
            entityOf.emplace(*handle, i);
        }
    }
    std::set<VekId> seen;
    for (const std::string& name : selection.names) {
        const auto handle = dxf::ParseHandle(name);
        const auto it = handle ? entityOf.find(*handle) : entityOf.end();
        if (it == entityOf.end()) {
            error = drawingName + " has no entity with handle " + name +
                    " among the entities of its drawing (ENTITIES section)";
            return std::nullopt;
        }
        const std::size_t i = it->second;
        const std::int32_t f = set_.figureOf[i];
        if (f < 0 || segmentOf_[static_cast<std::size_t>(f)] == VEK_NONE) {
            const dxf::Shape shape = dxf::ShapeOf(doc_, i);
            const std::string why(dxf::Describe(shape.refusal));
            error = "entity " + name + " (" + std::string(doc_.EntityType(i)) +
                    (why.empty() ? "" : ", " + why) + ", line " +
                    std::to_string(doc_.EntityLine(i)) + ") cannot be converted";
            return std::nullopt;
        }
        const VekId segment = segmentOf_[static_cast<std::size_t>(f)];
        if (seen.insert(segment).second) {
            picked.push_back(segment);
        }
    }
    return picked;
}

FigureNaming DxfDrawing::Naming() const {
    FigureNaming naming;
    naming.source = [this](const vekhost::Segment& segment) {
        FigureSource source;
        const DxfFigure* figure = FigureOf(segment.id);
        if (figure == nullptr) {
            return FigureSource{"segment", {std::to_string(segment.id)}};
        }
        source.kind = doc_.UsesHandles() ? "handles" : "lines";
        for (const FigurePart& part : figure->parts) {
            const auto handle = doc_.EntityHandle(part.entity);
            source.ids.push_back(handle ? dxf::FormatHandle(*handle)
                                        : std::to_string(doc_.EntityLine(part.entity)));
        }
        return source;
    };
    naming.layer = [this](const vekhost::Segment& segment) {
        const DxfFigure* figure = FigureOf(segment.id);
        return figure == nullptr ? vekhost::LayerName(segment.layer)
                                 : Readable(doc_.Info(figure->parts.front().entity).layer);
    };
    return naming;
}

std::string DxfDrawing::Overview() const {
    std::size_t polylines = 0;
    std::size_t chains = 0;
    std::size_t chained = 0;
    std::size_t circles = 0;
    for (const DxfFigure& figure : set_.figures) {
        polylines += figure.kind == FigureKind::Polyline ? 1 : 0;
        circles += figure.kind == FigureKind::Circle ? 1 : 0;
        if (figure.kind == FigureKind::Chain) {
            ++chains;
            chained += figure.parts.size();
        }
    }
    const auto version = doc_.HeaderValue("$ACADVER");
    return std::string(version ? dxf::Trim(*version) : "AC1009") + ", " +
           Count(doc_.EntityCount(), "entity", "entities") + ": " +
           Count(set_.figures.size(), "figure", "figures") + " (" +
           Count(polylines, "polyline", "polylines") + ", " + Count(chains, "chain", "chains") +
           " of " + Count(chained, "line or arc", "lines and arcs") + ", " +
           Count(circles, "circle", "circles") + ")";
}

dxf::LeftAlone DxfDrawing::LeftAloneBy(const std::vector<VekId>& picked) const {
    dxf::LeftAlone left = set_.leftAlone;
    const std::set<VekId> chosen(picked.begin(), picked.end());
    for (std::size_t f = 0; f < set_.figures.size(); ++f) {
        if (segmentOf_[f] != VEK_NONE && !chosen.count(segmentOf_[f])) {
            for (const FigurePart& part : set_.figures[f].parts) {
                left.Add(doc_.EntityType(part.entity), dxf::Refusal::NotSelected);
            }
        }
    }
    return left;
}

bool DxfDrawing::InInches(const RunSettings& settings) const {
    if (settings.unitMode == 1 || settings.unitMode == 2) {
        return settings.unitMode == 2;  // the figures are now in millimetres or inches
    }
    if (const auto measurement = doc_.HeaderValue("$MEASUREMENT")) {
        return dxf::Trim(*measurement) == "0";
    }
    const auto units = doc_.HeaderValue("$INSUNITS");
    return units && (dxf::Trim(*units) == "1" || dxf::Trim(*units) == "2");
}

bool DxfDrawing::WriteBack(const RunReport& report, std::string& error) {
    try {
        return WriteBackOrThrow(report, error);
    } catch (const std::invalid_argument& e) {
        // Geometry the drawing cannot hold, such as a number that is not finite.
        error = std::string("the result cannot be written as DXF: ") + e.what();
        return false;
    }
}

bool DxfDrawing::WriteBackOrThrow(const RunReport& report, std::string& error) {
    notes_.clear();
    const bool exploded = report.settings.exploded;
    const bool inches = InInches(report.settings);
    std::map<std::pair<int32_t, int32_t>, dxf::Restyle> restyles;
    // The palette's colour and line type, with its LTYPE entry added when the
    // drawing lacks it.
    auto restyleFor = [&](const LineTypeRecord& record) -> dxf::Restyle {
        if (report.settings.color != 1) {
            return {};
        }
        const auto key = std::make_pair(record.colorIndex, record.lineTypeCode);
        if (const auto it = restyles.find(key); it != restyles.end()) {
            return it->second;
        }
        const PaletteLook look = PaletteLookOf(record, inches);
        dxf::Restyle restyle;
        restyle.colour = look.aci;
        restyle.trueColour = look.rgb;
        if (doc_.HasTableEntry("LTYPE", look.lineType)) {
            restyle.lineType = look.lineType;
        } else if (doc_.HasTable("LTYPE")) {
            doc_.AddTableEntry(
                "LTYPE", dxf::LineTypeEntry(
                             doc_, look.lineType,
                             look.pattern.empty() ? "Solid line" : "Tarnex " + look.lineTypeName,
                             look.pattern));
            restyle.lineType = look.lineType;
        } else {
            notes_.push_back(
                "the drawing has no line type table: converted entities keep their "
                "line type instead of " +
                look.lineTypeName);
        }
        restyles.emplace(key, restyle);
        return restyle;
    };
    // The entity's own style, with the palette's colour and line type.
    auto restyled = [](dxf::Style style, const dxf::Restyle& restyle) {
        if (restyle.colour) {
            style.colour = restyle.colour;
            style.trueColour = restyle.trueColour;
        }
        if (restyle.lineType) {
            style.lineType = *restyle.lineType;
        }
        return style;
    };
    // Every element as an entity of its own, in place of `entity`.
    auto writePieces = [&](std::size_t entity, const std::vector<vekhost::Element>& after,
                           double z) -> bool {
        const dxf::Style own = dxf::StyleOf(doc_, entity);
        std::string pieces;
        for (const vekhost::Element& e : after) {
            const auto piece = PieceOf(e, z, report.settings.decimals);
            if (!piece) {
                error = "the host made an element of a kind a DXF drawing cannot hold (" +
                        TypeName(e.type) + ")";
                return false;
            }
            pieces += dxf::NewEntity(doc_, *piece, restyled(own, restyleFor(e.lineType)));
        }
        doc_.ReplaceEntity(entity, std::move(pieces));
        return true;
    };

    for (const FigureReport& result : report.figures) {
        if (result.status != FigureStatus::Converted) {
            continue;
        }
        const auto found = figureOfSegment_.find(result.segment);
        if (found == figureOfSegment_.end()) {
            continue;
        }
        const DxfFigure& figure = set_.figures[found->second];
        const std::size_t before = elementCounts_[found->second];
        std::vector<vekhost::Element> after;
        bool closedAfter = false;
        for (VekId id : result.newSegments) {
            if (auto segment = vekhost::GetSegment(id)) {
                closedAfter = closedAfter || segment->closed;
                after.insert(after.end(), segment->elements.begin(), segment->elements.end());
            }
        }
        const bool paired = result.pairing.size() == before;
        std::vector<int> from(after.size(), -1);  // the element before each came from
        if (paired) {
            for (std::size_t i = 0; i < before; ++i) {
                const int k = result.pairing[i];
                if (k >= 0 && static_cast<std::size_t>(k) < after.size()) {
                    from[static_cast<std::size_t>(k)] = static_cast<int>(i);
                }
            }
        }
        const std::size_t first = figure.parts.front().entity;

        if (figure.kind == FigureKind::Polyline) {
            if (after.empty()) {
                doc_.RemoveEntity(first);
                continue;
            }
            const std::size_t vertices = before + (figure.closed ? 0 : 1);
            bool onlyLinesAndArcs = true;
            for (const vekhost::Element& e : after) {
                onlyLinesAndArcs = onlyLinesAndArcs && (IsLine(e) || IsArc(e));
            }
            dxf::Polyline written;
            written.closed = closedAfter;
            written.z = figure.parts.front().z0;
            for (std::size_t k = 0; k < after.size(); ++k) {
                const double* p = EntryOf(after[k]);
                written.vertices.push_back(
                    {p[0], p[1], BulgeOf(after[k]), from[k] >= 0 ? from[k] : dxf::kNewVertex});
            }
            if (!closedAfter) {
                const double* p = ExitOf(after.back());
                const int source =
                    from.back() >= 0 && static_cast<std::size_t>(from.back() + 1) < vertices
                        ? from.back() + 1
                        : dxf::kNewVertex;
                written.vertices.push_back({p[0], p[1], 0, source});
            }
            if (exploded || !onlyLinesAndArcs || closedAfter != figure.closed ||
                written.vertices.size() < 2) {
                // Each element an entity of its own: the exploded pass, or a
                // result a polyline of the same kind cannot hold.
                if (!writePieces(first, after, written.z)) {
                    return false;
                }
                continue;
            }
            doc_.ReplaceEntity(first, dxf::RewriteEntity(doc_, first, written,
                                                         restyleFor(after.front().lineType)));
            continue;
        }

        // A chain or a circle: each entity rewritten from the element it
        // became, or removed when that shrank to nothing.
        bool kindsMatch = paired;
        for (std::size_t i = 0; kindsMatch && i < figure.parts.size(); ++i) {
            const int k = result.pairing[i];
            if (k < 0) {
                continue;
            }
            const vekhost::Element& e = after[static_cast<std::size_t>(k)];
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
            if (!writePieces(first, after, figure.parts.front().z0)) {
                return false;
            }
            continue;
        }
        for (std::size_t i = 0; i < figure.parts.size(); ++i) {
            const FigurePart& part = figure.parts[i];
            const int k = result.pairing[i];
            if (k < 0) {
                doc_.RemoveEntity(part.entity);
                continue;
            }
            const vekhost::Element& e = after[static_cast<std::size_t>(k)];
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
                geometry = ArcOf(e, part.z0, report.settings.decimals);
                original.geometry = dxf::Arc{};
            } else {
                geometry = dxf::Circle{At(e.figure.p1, part.z0), e.figure.p2[0]};
                original.geometry = dxf::Circle{};
            }
            doc_.ReplaceEntity(part.entity, dxf::RewriteEntity(doc_, part.entity, original,
                                                               geometry, restyleFor(e.lineType)));
        }
    }
    return true;
}

void DxfDrawing::WriteTo(std::ostream& out) const {
    doc_.Write([&out](std::string_view piece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    });
}

}  // namespace vekhost_tool
