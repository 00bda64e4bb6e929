// Generated closed outlines for the benchmarks and the allocation test: a
// polygon whose corners are in turn rounded, chamfered or sharp, with an arc
// as every edge between two sharp corners, so that every element kind the
// passes rebuild occurs.
#pragma once

#include "platform/veklib/VekHost.h"

#include <cmath>
#include <vector>

namespace outline {

struct Vec {
    double x, y;
};

// A closed outline of exactly `elements` elements (at least 10), centred at
// (ox, oy). Groups of six vertices give ten elements: six edges (one an arc),
// two rounded corners and two chamfers; any rest are plain vertices.
inline std::vector<FigureRecord> Make(int elements, double ox, double oy) {
    const int groups = elements / 10;
    const int plain = elements - groups * 10;
    const int vertices = groups * 6 + plain;
    const double pi = 4.0 * std::atan(1.0);
    const double radius = double(vertices) * 10.0 / (2.0 * pi);
    auto kindOf = [&](int v) {  // 0 sharp, 1 rounded, 2 chamfer
        if (v >= groups * 6) {
            return 0;
        }
        const int k = v % 6;
        return k == 0 || k == 4 ? 1 : k == 1 || k == 5 ? 2 : 0;
    };
    auto vertex = [&](int v) {
        const double a = 2.0 * pi * double(v % vertices) / double(vertices);
        return Vec{ox + radius * std::cos(a), oy + radius * std::sin(a)};
    };
    // Each vertex: where the incoming edge ends and the outgoing one starts.
    const size_t count = static_cast<size_t>(vertices);
    std::vector<Vec> in(count), out(count);
    std::vector<FigureRecord> corner(count);
    for (int v = 0; v < vertices; ++v) {
        const Vec p = vertex(v), a = vertex(v + vertices - 1), b = vertex(v + 1);
        double ux = p.x - a.x, uy = p.y - a.y, wx = b.x - p.x, wy = b.y - p.y;
        const double lu = std::hypot(ux, uy), lw = std::hypot(wx, wy);
        ux /= lu, uy /= lu, wx /= lw, wy /= lw;
        in[size_t(v)] = out[size_t(v)] = p;
        const int kind = kindOf(v);
        if (kind == 0) {
            continue;
        }
        const double t = 1.0 + 0.000123 * double(v % 7);  // setback along each edge
        const Vec t1{p.x - ux * t, p.y - uy * t}, t2{p.x + wx * t, p.y + wy * t};
        in[size_t(v)] = t1;
        out[size_t(v)] = t2;
        FigureRecord c{};
        if (kind == 1) {
            // Interior angle alpha between -u and w; tangent length t.
            const double cosAlpha = -(ux * wx + uy * wy);
            const double alpha = std::acos(cosAlpha);
            const double r = t * std::tan(alpha / 2.0);
            c = vekhost::Arc(t1.x - uy * r, t1.y + ux * r, t1.x, t1.y, t2.x, t2.y);
            c.kind = VEK_ROUND_CORNER;
            c.size = r;
        } else {
            c.kind = VEK_CHAMFER;
            c.p1[0] = p.x, c.p1[1] = p.y;
            c.p2[0] = t1.x, c.p2[1] = t1.y;
            c.p3[0] = t2.x, c.p3[1] = t2.y;
            c.size = t;
        }
        corner[size_t(v)] = c;
    }
    std::vector<FigureRecord> figure;
    figure.reserve(size_t(elements));
    for (int v = 0; v < vertices; ++v) {
        const int n = (v + 1) % vertices;
        const Vec a = out[size_t(v)], b = in[size_t(n)];
        if (v < groups * 6 && v % 6 == 2) {
            // Edge between the two sharp vertices of a group: an arc bulging
            // outwards, its centre inside.
            const double mx = (a.x + b.x) / 2, my = (a.y + b.y) / 2;
            const double cx = b.x - a.x, cy = b.y - a.y, half = std::hypot(cx, cy) / 2;
            const double ra = half * 1.6, h = std::sqrt(ra * ra - half * half);
            const double nx = -cy / (2 * half), ny = cx / (2 * half);
            figure.push_back(vekhost::Arc(mx + nx * h, my + ny * h, a.x, a.y, b.x, b.y));
        } else {
            figure.push_back(vekhost::Line(a.x, a.y, b.x, b.y));
        }
        if (kindOf(n) != 0) {
            figure.push_back(corner[size_t(n)]);
        }
    }
    // The corner at vertex 0 comes last: it closes the figure from the last
    // slot to the first.
    return figure;
}

// Adds `figures` outlines of `elements` elements, each offset off the grid,
// and selects them all.
inline void Build(int figures, int elements) {
    vekhost::Reset();
    std::vector<VekId> ids;
    ids.reserve(size_t(figures));
    for (int f = 0; f < figures; ++f) {
        const double ox = double(f % 60) * 1000.0 + 0.1234567 * double(f % 11);
        const double oy = double(f / 60) * 1000.0 + 0.7654321 * double(f % 13);
        ids.push_back(vekhost::AddSegment(Make(elements, ox, oy), true, 0,
                                          vekhost::MakeLineType(f % 16, f % 10)));
    }
    vekhost::Select(ids);
}

}  // namespace outline
