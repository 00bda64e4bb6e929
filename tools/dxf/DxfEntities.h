// The entities that can be converted, as geometry, and the text of entities
// written back: existing ones with new geometry (every other group kept) and
// new ones from geometry and a style.
//
// Geometry is in world coordinates seen from +Z: an entity whose extrusion is
// (0, 0, -1) is mirrored here on reading (x and z negated, arcs and bulges
// reversed) and mirrored back on rewriting, so callers never see its own
// coordinate system. LINE points are world coordinates whatever the extrusion.
#pragma once

#include "tools/dxf/DxfDocument.h"

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

namespace dxf {

struct Line {
    Point3 start, end;
    friend bool operator==(const Line&, const Line&) = default;
};

// Counter-clockwise from startAngle to endAngle, in degrees.
struct Arc {
    Point3 centre;
    double radius = 0;
    double startAngle = 0;
    double endAngle = 0;
    friend bool operator==(const Arc&, const Arc&) = default;
};

struct Circle {
    Point3 centre;
    double radius = 0;
    friend bool operator==(const Circle&, const Circle&) = default;
};

// A vertex of a polyline with the bulge of the segment it starts.
// `source`: the index of the file's vertex this one comes from, whose other
// groups (widths, vertex identifier, handle) a rewrite keeps; kNewVertex for
// a vertex that has none.
inline constexpr int kNewVertex = -1;
struct Vertex {
    double x = 0, y = 0;
    double bulge = 0;
    int source = kNewVertex;
    friend bool operator==(const Vertex&, const Vertex&) = default;
};

// `z`: the elevation of every vertex. Rewriting keeps the file's elevation
// groups as they are; new polylines are written at `z`.
struct Polyline {
    std::vector<Vertex> vertices;
    bool closed = false;
    double z = 0;
    friend bool operator==(const Polyline&, const Polyline&) = default;
};

using Geometry = std::variant<Line, Arc, Circle, Polyline>;

// Why an entity is left alone.
enum class Refusal : std::uint8_t {
    None,
    Type,         // not LINE, ARC, CIRCLE, LWPOLYLINE or POLYLINE
    PaperSpace,   // 67 other than 0
    Extrusion,    // neither (0, 0, 1) nor (0, 0, -1)
    Thickness,    // 39 other than 0: an extruded surface, not a flat figure
    NotPlain,     // a curve- or spline-fit, 3-D, mesh or polyface polyline
    Malformed,    // required groups missing or repeated, a polyline without
                  // SEQEND or with fewer than two vertices, a radius not above
                  // 0, an arc whose start and end angles coincide
    NotSelected,  // convertible, but not among the figures a run picked
    TooLarge,     // convertible, but more than the command takes in one figure
};
// "paper space", "thickness", "not selected", ...; empty for Refusal::None and
// Refusal::Type.
std::string_view Describe(Refusal refusal);

struct Shape {
    Refusal refusal = Refusal::Type;
    std::string detail;     // what is wrong with a malformed entity: "vertex 3 has no y (20)"
    bool mirrored = false;  // extrusion (0, 0, -1), already undone in `geometry`
    Geometry geometry;      // meaningful when Convertible()
    bool Convertible() const { return refusal == Refusal::None; }
};

// Reads entity `i` of the ENTITIES section. Polyline vertices come with
// `source` set to their own index, so rewriting an unchanged shape keeps
// every group.
Shape ShapeOf(const Document& doc, std::size_t i);
// The same from the entity's tags as an EntityObserver sees them, without
// reading its text again (but a POLYLINE's, which is read from the document).
Shape ShapeOf(const Document& doc, std::size_t i, std::span<const Tag> tags);

// Properties of a new entity.
struct Style {
    std::string layer = "0";
    std::string lineType;                     // 6; none written when empty
    std::optional<int> colour;                // 62
    std::optional<std::uint32_t> trueColour;  // 420, only where the version has it
    std::optional<Handle> owner;              // 330; default: the model space
};
// The style of an existing entity, so that new entities can match it.
Style StyleOf(const Document& doc, std::size_t i);

// Changes to an existing entity's properties. Setting the colour without a
// true colour removes the entity's 420, which would otherwise still show.
struct Restyle {
    std::optional<int> colour;
    std::optional<std::uint32_t> trueColour;
    std::optional<std::string> lineType;
};

// The text of entity `i` with new geometry of its own kind (a LINE gets a
// Line, an LWPOLYLINE or POLYLINE a Polyline with the same closed flag).
// Every group but the geometry's and the restyled ones is kept as it was:
// handle, owner, layer, widths, XDATA, extension dictionaries. Polyline
// vertices with a source keep that vertex's other groups (a second use of
// one POLYLINE VERTEX gets a new handle); new vertices get none but their
// position, bulge and, for a VERTEX entity, elevation, layer and handle. A
// bulge group is written where the source had one or the bulge is not 0.
// Throws std::invalid_argument for an entity that is not convertible or
// geometry of another kind.
std::string RewriteEntity(Document& doc, std::size_t i, const Geometry& geometry,
                          const Restyle& restyle = {});
// The same for a caller that has read the entity's shape already: `original`
// is ShapeOf(doc, i), or for a LINE, ARC, CIRCLE or LWPOLYLINE a convertible
// shape of its kind with the same `mirrored` (and a polyline's closed flag
// and number of vertices; the geometry's values are not used). Saves reading
// the entity a second time.
std::string RewriteEntity(Document& doc, std::size_t i, const Shape& original,
                          const Geometry& geometry, const Restyle& restyle = {});

// The text of a new model space entity: LINE, ARC, CIRCLE, and for a
// polyline LWPOLYLINE (R14 and later) or POLYLINE with VERTEX and SEQEND.
// Handles come from doc.NewHandle(); subclass markers and owners are written
// for R13 and later.
std::string NewEntity(Document& doc, const Geometry& geometry, const Style& style);

// The text of an LTYPE table entry: dashes positive, gaps negative, dots 0.
std::string LineTypeEntry(Document& doc, std::string_view name, std::string_view description,
                          std::span<const double> pattern);

// What a run left alone, by entity type and reason.
class LeftAlone {
public:
    struct Entry {
        std::string type;
        Refusal refusal = Refusal::Type;
        std::string detail;  // what was wrong, where a reason needs it
        std::size_t count = 0;
        std::size_t firstLine = 0;  // of the first entity with a detail; 0 when none
    };
    void Add(std::string_view type, Refusal refusal, std::size_t count = 1);
    // One entity, with what was wrong and the line it starts at.
    void Add(std::string_view type, Refusal refusal, std::string_view detail, std::size_t line);
    // The entities of another report's entry.
    void Add(const Entry& entry);
    void AddBlockDefinitions(std::size_t count) { blockDefinitions_ += count; }
    std::size_t EntityCount() const;
    std::size_t BlockDefinitions() const { return blockDefinitions_; }
    // Most frequent first, then by type.
    std::vector<Entry> Entries() const;
    // "12 TEXT, 3 INSERT, 1 LINE (paper space), 2 LWPOLYLINE (malformed:
    // vertex 3 has no y (20), first at line 310), 2 block definitions"; empty
    // when nothing was left alone.
    std::string Summary() const;

private:
    struct Count {
        std::size_t count = 0;
        std::size_t firstLine = 0;
    };
    std::map<std::tuple<std::string, Refusal, std::string>, Count> counts_;
    std::size_t blockDefinitions_ = 0;
};

// Every entity of the ENTITIES section that cannot be converted, and the
// block definitions.
LeftAlone LeftAloneIn(const Document& doc);

}  // namespace dxf
