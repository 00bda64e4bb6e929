#include "tests/app/DxfGenerated.h"

#include "tests/dxf/DxfFragments.h"
#include "tools/dxf/DxfNumbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace dxftest {

namespace {

constexpr double kDegrees = 180 / std::numbers::pi;

// Values as a drawing writes them: shortest (17 digits), or to a few
// significant digits as many writers round them.
struct Writer {
    int digits = 17;

    std::string Num(double v) const {
        if (digits >= 17) {
            return dxf::FormatReal(v);
        }
        char text[40];
        std::snprintf(text, sizeof text, "%.*g", digits, v);
        return text;
    }
    std::string Line(Pt a, Pt b) const {
        return "0 LINE|8 L|10 " + Num(a.x) + "|20 " + Num(a.y) + "|11 " + Num(b.x) + "|21 " +
               Num(b.y);
    }
    // A counter-clockwise arc from angle a0 to a1 (radians).
    std::string Arc(Pt c, double r, double a0, double a1) const {
        return "0 ARC|8 L|10 " + Num(c.x) + "|20 " + Num(c.y) + "|40 " + Num(r) + "|50 " +
               Num(a0 * kDegrees) + "|51 " + Num(a1 * kDegrees);
    }
};

Pt Along(Pt p, Pt u, double t) {
    return {p.x + u.x * t, p.y + u.y * t};
}

Pt Unit(Pt a, Pt b) {
    const double d = std::hypot(b.x - a.x, b.y - a.y);
    return {(b.x - a.x) / d, (b.y - a.y) / d};
}

// The file's form of a chain piece: either way for a line; an arc always
// counter-clockwise.
Piece LinePiece(std::mt19937_64& rng, const Writer& w, Pt a, Pt b) {
    const bool backwards = std::uniform_real_distribution<double>(0, 1)(rng) < 0.5;
    return {w.Line(backwards ? b : a, backwards ? a : b), backwards};
}

}  // namespace

Chain MakeChain(std::mt19937_64& rng, Pt start, double scale, int digits) {
    const Writer w{digits};
    std::uniform_real_distribution<double> unit(0, 1);
    Chain chain;
    const int count = 1 + static_cast<int>(unit(rng) * 7);
    chain.closed = count >= 3 && unit(rng) < 0.4;
    Pt p = start;
    double heading = unit(rng) * 2 * std::numbers::pi;
    for (int i = 0; i < count; ++i) {
        const bool last = i + 1 == count;
        Piece piece;
        if (!(chain.closed && last) && unit(rng) < 0.5) {
            const double r = scale * (0.5 + 1.5 * unit(rng));
            const double sweep = (20 + 140 * unit(rng)) / kDegrees;
            const bool left = unit(rng) < 0.5;
            const double side = heading + (left ? 1 : -1) * std::numbers::pi / 2;
            const Pt c{p.x + r * std::cos(side), p.y + r * std::sin(side)};
            const double a0 = std::atan2(p.y - c.y, p.x - c.x);
            const double a1 = a0 + (left ? sweep : -sweep);
            // A clockwise arc is written from its far end, counter-clockwise.
            piece.text = w.Arc(c, r, left ? a0 : a1, left ? a1 : a0);
            piece.drawnBackwards = !left;
            p = {c.x + r * std::cos(a1), c.y + r * std::sin(a1)};
            heading += left ? sweep : -sweep;
        } else {
            Pt q;
            if (chain.closed && last) {
                q = start;
            } else {
                heading += (unit(rng) - 0.5) * 2;
                const double length = scale * (0.5 + 1.5 * unit(rng));
                q = {p.x + length * std::cos(heading), p.y + length * std::sin(heading)};
            }
            piece = LinePiece(rng, w, p, q);
            p = q;
        }
        chain.pieces.push_back(piece);
    }
    return chain;
}

std::vector<OutlineSegment> MakeRoundedOutline(std::mt19937_64& rng, Pt centre, double scale) {
    std::uniform_real_distribution<double> unit(0, 1);
    // A star-shaped polygon: corners at rising angles about the centre.
    const int n = 3 + static_cast<int>(unit(rng) * 5);
    std::vector<Pt> corners;
    for (int k = 0; k < n; ++k) {
        const double a = (k + 0.2 + 0.6 * unit(rng)) * 2 * std::numbers::pi / n;
        const double r = scale * (1 + unit(rng));
        corners.push_back({centre.x + r * std::cos(a), centre.y + r * std::sin(a)});
    }
    // Each corner's tangent points, and its arc when rounded.
    std::vector<OutlineSegment> arcs(corners.size());
    for (int k = 0; k < n; ++k) {
        const Pt prev = corners[(k + n - 1) % n], v = corners[k], next = corners[(k + 1) % n];
        arcs[k] = {false, v, v, {}, 0, false};
        if (unit(rng) < 0.3) {
            continue;  // a sharp corner
        }
        const Pt u = Unit(prev, v), w = Unit(v, next);
        const double turn = std::atan2(u.x * w.y - u.y * w.x, u.x * w.x + u.y * w.y);
        const double room = std::min(std::hypot(v.x - prev.x, v.y - prev.y),
                                     std::hypot(next.x - v.x, next.y - v.y));
        const double t = room * (0.05 + 0.3 * unit(rng));  // from the corner to each tangent
        const double r = t / std::tan(std::fabs(turn) / 2);
        const bool left = turn > 0;
        const Pt in = Along(v, u, -t);
        arcs[k] = {true, in,  Along(v, w, t), Along(in, {left ? -u.y : u.y, left ? u.x : -u.x}, r),
                   r,    left};
    }
    std::vector<OutlineSegment> outline;
    for (int k = 0; k < n; ++k) {
        if (arcs[k].arc) {
            outline.push_back(arcs[k]);
        }
        outline.push_back({false, arcs[k].end, arcs[(k + 1) % n].start, {}, 0, false});
    }
    return outline;
}

Chain ChainOf(std::mt19937_64& rng, const std::vector<OutlineSegment>& outline, int digits) {
    const Writer w{digits};
    Chain chain;
    chain.closed = true;
    for (const OutlineSegment& s : outline) {
        if (!s.arc) {
            chain.pieces.push_back(LinePiece(rng, w, s.start, s.end));
            continue;
        }
        const double a0 = std::atan2(s.start.y - s.centre.y, s.start.x - s.centre.x);
        const double a1 = std::atan2(s.end.y - s.centre.y, s.end.x - s.centre.x);
        chain.pieces.push_back(
            {w.Arc(s.centre, s.radius, s.ccw ? a0 : a1, s.ccw ? a1 : a0), !s.ccw});
    }
    return chain;
}

std::string LwPolylineOf(const std::vector<OutlineSegment>& outline, int digits) {
    const Writer w{digits};
    std::string text = "0 LWPOLYLINE|100 AcDbEntity|8 P|100 AcDbPolyline|90 " +
                       std::to_string(outline.size()) + "|70 1";
    for (const OutlineSegment& s : outline) {
        text += "|10 " + w.Num(s.start.x) + "|20 " + w.Num(s.start.y);
        if (s.arc) {
            const double ax = s.start.x - s.centre.x, ay = s.start.y - s.centre.y;
            const double bx = s.end.x - s.centre.x, by = s.end.y - s.centre.y;
            const double sweep = std::atan2(ax * by - ay * bx, ax * bx + ay * by);
            text += "|42 " + w.Num(std::tan(sweep / 4));
        }
    }
    return text;
}

GeneratedDrawing MakeDrawing(std::mt19937_64& rng, int digits, int figures) {
    const Writer w{digits};
    std::uniform_real_distribution<double> unit(0, 1);
    const double scale = std::pow(10.0, -1 + 3 * unit(rng));
    const Pt far = unit(rng) < 0.7 ? Pt{} : Pt{1e4 * scale * (unit(rng) - 0.5), 1e4 * scale};
    const double spacing = 100 * scale;
    int place = 0;
    auto next = [&] {
        ++place;
        return Pt{far.x + spacing * place, far.y + spacing * (place % 3)};
    };
    // Whole entities (compact tags without a handle), each with its chain
    // (-1: none) and its place in it, in a shuffled order.
    struct Entity {
        std::string text;
        int chain = -1;
        std::size_t piece = 0;
    };
    std::vector<Entity> entities;
    std::vector<GeneratedDrawing::ChainHandles> chains;
    auto addChain = [&](const Chain& chain) {
        chains.push_back({std::vector<std::string>(chain.pieces.size()), chain.closed});
        for (std::size_t k = 0; k < chain.pieces.size(); ++k) {
            entities.push_back({chain.pieces[k].text, static_cast<int>(chains.size()) - 1, k});
        }
    };
    if (figures <= 0) {
        figures = 2 + static_cast<int>(unit(rng) * 5);
    }
    for (int f = 0; f < figures; ++f) {
        const double kind = unit(rng);
        if (kind < 0.35) {
            addChain(MakeChain(rng, next(), scale, digits));
        } else if (kind < 0.6) {
            addChain(ChainOf(rng, MakeRoundedOutline(rng, next(), scale), digits));
        } else if (kind < 0.8) {
            entities.push_back({LwPolylineOf(MakeRoundedOutline(rng, next(), scale), digits)});
        } else if (kind < 0.9) {
            const Pt c = next();
            entities.push_back({"0 CIRCLE|8 L|10 " + w.Num(c.x) + "|20 " + w.Num(c.y) + "|40 " +
                                w.Num(scale * (0.1 + unit(rng)))});
        } else {
            const double a0 = unit(rng) * 2 * std::numbers::pi;
            entities.push_back(
                {w.Arc(next(), scale * (0.1 + unit(rng)), a0, a0 + (0.2 + 5 * unit(rng)))});
        }
    }
    std::shuffle(entities.begin(), entities.end(), rng);
    GeneratedDrawing drawing;
    std::string tags;
    for (std::size_t i = 0; i < entities.size(); ++i) {
        const std::string handle = dxf::FormatHandle(0x100 + i);
        const Entity& e = entities[i];
        const std::size_t type = e.text.find('|');
        tags += (i ? "|" : "") + e.text.substr(0, type) + "|5 " + handle + e.text.substr(type);
        if (e.chain >= 0) {
            chains[static_cast<std::size_t>(e.chain)].handles[e.piece] = handle;
        }
    }
    drawing.text = Modern(Tags(tags));
    drawing.chains = std::move(chains);
    return drawing;
}

std::uint64_t PropertySeed() {
    if (const char* s = std::getenv("TARNEX_SEED")) {
        return std::stoull(s);
    }
    return (std::uint64_t{std::random_device{}()} << 32) | std::random_device{}();
}

}  // namespace dxftest
