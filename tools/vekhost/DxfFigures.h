// The figures of a DXF drawing as the host holds them: each LWPOLYLINE or
// 2-D POLYLINE one figure, each CIRCLE one, and LINE and ARC entities of one
// layer and one elevation that join end to end chained into one figure.
#pragma once

#include "tools/dxf/DxfEntities.h"
#include "veksdk/VekLib.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vekhost_tool {

// Ends of two LINE or ARC entities join when they are closer than this
// fraction (relative) of the shorter entity: a line's length, an arc's
// length along its circle. Relative to the entities because a gap matters
// against the features it lies between, and the noise in a drawing's
// points (an arc's ends computed from its angles, values written with a
// few digits) is of the size of the values computed, not of how far the
// figure lies from the origin.
inline constexpr double kDefaultJoinTolerance = 1e-6;

struct JoinOptions {
    bool join = true;
    double tolerance = kDefaultJoinTolerance;
};

enum class FigureKind : std::uint8_t { Polyline, Chain, Circle };

// An entity's part in a figure. A chain runs through a LINE or ARC from its
// start to its end, or from its end to its start when `reversed`.
struct FigurePart {
    std::size_t entity = 0;  // position in the ENTITIES section
    bool reversed = false;
    bool mirrored = false;  // extrusion (0, 0, -1): its own x axis is the world's -x
    // Elevations kept on writing back: a LINE's start and end (it may
    // slope), else the entity's.
    double z0 = 0, z1 = 0;
};

struct DxfFigure {
    FigureKind kind = FigureKind::Chain;
    std::vector<FigurePart> parts;  // in the figure's order; one for a polyline or circle
    bool closed = false;
    std::size_t elementCount = 0;  // its host records (FigureElements)
};

struct FigureSet {
    std::vector<DxfFigure> figures;  // in the file order of their first entity
    // Per entity of the ENTITIES section: the figure holding it, or -1.
    std::vector<std::int32_t> figureOf;
    // Entities no figure holds, by type and reason, and the block definitions.
    dxf::LeftAlone leftAlone;
};

FigureSet BuildFigures(const dxf::Document& doc, const JoinOptions& options);

// A drawing read from its bytes with its figures, found as the file is read
// so that each entity's tags are read once for both. Throws dxf::ParseError
// as dxf::Document::Parse does.
struct DrawingRead {
    dxf::Document doc;
    FigureSet set;
};
DrawingRead ReadDrawing(std::string bytes, const JoinOptions& options);

// A figure's host records in its order: element k of a polyline runs from
// its vertex k, element k of a chain is part k. Read again from the drawing
// each time, so that a large drawing's records are never all held at once.
std::vector<FigureRecord> FigureElements(const dxf::Document& doc, const DxfFigure& figure);

// Geometry shared by reading and writing back.

// A direction's angle in degrees, in [0, 360); exact along the axes.
double DegreesOf(double dx, double dy);
// The point of a circle at an angle in degrees; exact at multiples of 90.
void PointAtDegrees(double cx, double cy, double radius, double degrees, double& x, double& y);

}  // namespace vekhost_tool
