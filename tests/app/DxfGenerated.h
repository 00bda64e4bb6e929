// Generated DXF drawings for property tests: chains of lines and arcs,
// outlines with rounded corners (as LINE and ARC entities or as a bulged
// LWPOLYLINE), circles and lone arcs, at any scale and distance from the
// origin, written in a shuffled file order with entities drawn either way.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace dxftest {

struct Pt {
    double x = 0, y = 0;
};

// One entity of a generated chain, as written in the file.
struct Piece {
    std::string text;       // compact tags, without a handle
    bool drawnBackwards{};  // the file runs it against the chain
};

struct Chain {
    std::vector<Piece> pieces;  // in chain order
    bool closed = false;
};

// A chain of lines and arcs from `start`, of features about `scale` long;
// each arc leaves the element before it tangentially.
// Values are written to `digits` significant digits (17: as they come).
Chain MakeChain(std::mt19937_64& rng, Pt start, double scale, int digits = 17);

// A line, or an arc from `start` to `end` about `centre`.
struct OutlineSegment {
    bool arc = false;
    Pt start, end;
    Pt centre;
    double radius = 0;
    bool ccw = false;
};

// A closed outline about `centre`, some of its corners rounded by arcs
// tangent to both their lines.
std::vector<OutlineSegment> MakeRoundedOutline(std::mt19937_64& rng, Pt centre, double scale);

// The outline as LINE and ARC entities, or as one LWPOLYLINE whose rounded
// corners are bulges.
Chain ChainOf(std::mt19937_64& rng, const std::vector<OutlineSegment>& outline, int digits = 17);
std::string LwPolylineOf(const std::vector<OutlineSegment>& outline, int digits = 17);

// A drawing of several figures and its chains (each listed by the handles
// of its entities, in chain order).
struct GeneratedDrawing {
    std::string text;  // an R2000 drawing with handles
    struct ChainHandles {
        std::vector<std::string> handles;
        bool closed = false;
    };
    std::vector<ChainHandles> chains;
};

// Figures far enough apart never to touch: `figures` of them, or 2 to 6.
GeneratedDrawing MakeDrawing(std::mt19937_64& rng, int digits, int figures = 0);

// TARNEX_SEED when set (to repeat a failure), else a fresh seed.
std::uint64_t PropertySeed();

}  // namespace dxftest
