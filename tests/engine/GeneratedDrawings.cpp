#include "tests/engine/GeneratedDrawings.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>

namespace gen {

namespace {

using vekhost::Point;

constexpr double kPi = std::numbers::pi;

int Pick(std::mt19937_64& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}
double Uniform(std::mt19937_64& rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

// Integer points on a circle of radius 65 in the first octant: with their
// mirror images they give arc ends on the grid at many angles.
constexpr int kOn65[][2] = {{65, 0}, {63, 16}, {60, 25}, {56, 33}, {52, 39}};

// The 36 directions of those points round the whole circle, by angle.
std::vector<std::pair<int, int>> Directions65() {
    std::vector<std::pair<int, int>> all;
    for (const auto& p : kOn65) {
        for (int sx : {1, -1}) {
            for (int sy : {1, -1}) {
                all.emplace_back(sx * p[0], sy * p[1]);
                all.emplace_back(sx * p[1], sy * p[0]);
            }
        }
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    std::sort(all.begin(), all.end(), [](auto a, auto b) {
        return std::atan2(a.second, a.first) < std::atan2(b.second, b.first);
    });
    return all;
}

FigureRecord LineOn(const Lattice& g, double i1, double j1, double i2, double j2) {
    return vekhost::Line(g.X(i1), g.Y(j1), g.X(i2), g.Y(j2));
}

FigureRecord ArcOn(const Lattice& g, double ci, double cj, double si, double sj, double ei,
                   double ej, bool clockwise) {
    FigureRecord r = vekhost::Arc(g.X(ci), g.Y(cj), g.X(si), g.Y(sj), g.X(ei), g.Y(ej), clockwise);
    r.size = std::hypot(si - ci, sj - cj) * g.step;  // the grid radius, not a rounded sum
    return r;
}

// An arc among two lines that are not tangent to it, of the sweep between
// two of the 65-circle directions.
Figure ArcAmongLines(const Lattice& g, std::mt19937_64& rng) {
    static const auto kDirs = Directions65();
    const int m = Pick(rng, 1, 3);
    const int a = Pick(rng, 0, int(kDirs.size()) - 1);
    int b = Pick(rng, 0, int(kDirs.size()) - 2);
    b += b >= a ? 1 : 0;
    const bool clockwise = Pick(rng, 0, 1) == 1;
    const double ci = Pick(rng, -200, 200), cj = Pick(rng, -200, 200);
    const double si = ci + m * kDirs[size_t(a)].first, sj = cj + m * kDirs[size_t(a)].second;
    const double ei = ci + m * kDirs[size_t(b)].first, ej = cj + m * kDirs[size_t(b)].second;
    // The lines run along the radius at each end: never tangent.
    Figure f;
    f.what = "arc among lines";
    f.records = {LineOn(g, ci + 2 * (si - ci), cj + 2 * (sj - cj), si, sj),
                 ArcOn(g, ci, cj, si, sj, ei, ej, clockwise),
                 LineOn(g, ei, ej, ci + 2 * (ei - ci), cj + 2 * (ej - cj))};
    return f;
}

// An arc of nearly a whole turn: 5525^2 = 5520^2 + 235^2.
Figure NearlyWholeTurn(const Lattice& g, std::mt19937_64& rng) {
    const double ci = Pick(rng, -50, 50), cj = Pick(rng, -50, 50);
    Figure f;
    f.what = "arc of 357 degrees among lines";
    f.records = {LineOn(g, ci + 11050, cj, ci + 5525, cj),
                 ArcOn(g, ci, cj, ci + 5525, cj, ci + 5520, cj - 235, false),
                 LineOn(g, ci + 5520, cj - 235, ci + 11040, cj - 470)};
    return f;
}

// Arcs tangent to both neighbours that are no fillet: a loop of 270
// degrees, a hairpin half circle, a slot of two half circles.
Figure TangentArcs(const Lattice& g, std::mt19937_64& rng) {
    // Radii of ten steps and more: at six places the half-circle test's
    // absolute 1e-6 is one step, and a smaller loop would pass for a half circle.
    const double x = Pick(rng, -100, 100), y = Pick(rng, -100, 100);
    const double r = Pick(rng, 10, 30), a = Pick(rng, 40, 90);
    Figure f;
    switch (Pick(rng, 0, 2)) {
        case 0:
            f.what = "loop of 270 degrees";
            f.records = {LineOn(g, x, y, x + a, y),
                         ArcOn(g, x + a, y + r, x + a, y, x + a - r, y + r, false),
                         LineOn(g, x + a - r, y + r, x + a - r, y + r - a)};
            break;
        case 1:
            f.what = "hairpin";
            f.records = {LineOn(g, x, y, x + a, y),
                         ArcOn(g, x + a, y + r, x + a, y, x + a, y + 2 * r, false),
                         LineOn(g, x + a, y + 2 * r, x, y + 2 * r)};
            break;
        default:
            f.what = "slot";
            f.closed = true;
            f.records = {LineOn(g, x, y, x + a, y),
                         ArcOn(g, x + a, y + r, x + a, y, x + a, y + 2 * r, false),
                         LineOn(g, x + a, y + 2 * r, x, y + 2 * r),
                         ArcOn(g, x, y + r, x, y + 2 * r, x, y, false)};
            break;
    }
    return f;
}

// A pentagon with right angles and one edge of slope 3-4-5 whose corners the
// host rounds or chamfers: multiples of 30 steps keep every tangent point
// and centre on the grid.
Figure CorneredPentagon(const Lattice& g, std::mt19937_64& rng, bool closed) {
    const double x = Pick(rng, -100, 100), y = Pick(rng, -100, 100);
    const double u = 30 * Pick(rng, 2, 4);
    const double w = 3 * u + 90 + 30 * Pick(rng, 0, 4), h = 300 + 30 * Pick(rng, 0, 4);
    std::vector<Point> v = {
        {x, y}, {x + w, y}, {x + w, y + h}, {x + w - 3 * u, y + h + 4 * u}, {x, y + h + 4 * u}};
    for (Point& p : v) {
        p = {g.X(p.x), g.Y(p.y)};
    }
    std::vector<std::tuple<int, int, double>> corners;
    const int first = closed ? 0 : 1;
    const int last = closed ? 4 : 3;
    for (int k = first; k <= last; ++k) {
        if (Pick(rng, 0, 2) != 0) {
            const int mode = Pick(rng, 0, 1);
            corners.emplace_back(k, mode, 30.0 * Pick(rng, 1, 3) * g.step);
        }
    }
    Figure f = Cornered(v, closed, corners, closed ? "cornered pentagon" : "cornered chain");
    // A corner in the first slot: the one closing the figure comes first.
    if (closed && f.records.size() > 5 && Pick(rng, 0, 1) == 1) {
        std::rotate(f.records.rbegin(), f.records.rbegin() + 1, f.records.rend());
        f.what += ", corner first";
    }
    return f;
}

Figure CircleOrLoneArc(const Lattice& g, int32_t d, std::mt19937_64& rng) {
    const double ci = Pick(rng, -300, 300), cj = Pick(rng, -300, 300);
    const double r = Pick(rng, 10, 200);  // well above the points' 1e-6 at six places
    Figure f;
    // A lone arc keeps angles rounded in degrees: ends a quarter turn apart
    // are on both grids while tens of degrees are.
    if (d >= -1 && Pick(rng, 0, 1) == 1) {
        const int s = Pick(rng, 0, 3);
        const int e = (s + Pick(rng, 1, 3)) % 4;
        const int dx[4] = {1, 0, -1, 0}, dy[4] = {0, 1, 0, -1};
        f.what = "lone arc";
        f.records = {ArcOn(g, ci, cj, ci + r * dx[s], cj + r * dy[s], ci + r * dx[e],
                           cj + r * dy[e], Pick(rng, 0, 1) == 1)};
    } else {
        f.what = "circle";
        f.records = {vekhost::Circle(g.X(ci), g.Y(cj), r * g.step)};
    }
    return f;
}

Figure Lines(const Lattice& g, std::mt19937_64& rng) {
    Figure f;
    f.closed = Pick(rng, 0, 1) == 1;
    f.what = f.closed ? "closed lines" : "open lines";
    const int n = Pick(rng, 3, 6);
    std::vector<std::pair<double, double>> p;
    for (int k = 0; k < n; ++k) {
        p.emplace_back(Pick(rng, -500, 500), Pick(rng, -500, 500));
    }
    for (int k = 0; k + 1 < n + (f.closed ? 1 : 0); ++k) {
        const auto a = p[size_t(k)], b = p[size_t((k + 1) % n)];
        if (a != b) {
            f.records.push_back(LineOn(g, a.first, a.second, b.first, b.second));
        }
    }
    return f;
}

}  // namespace

std::vector<Figure> OnGridFigures(const Lattice& grid, int32_t d, std::mt19937_64& rng) {
    std::vector<Figure> figures;
    const int n = Pick(rng, 1, 3);
    for (int k = 0; k < n; ++k) {
        switch (Pick(rng, 0, 6)) {
            case 0:
                figures.push_back(Lines(grid, rng));
                break;
            case 1:
                figures.push_back(ArcAmongLines(grid, rng));
                break;
            case 2:
                figures.push_back(NearlyWholeTurn(grid, rng));
                break;
            case 3:
                figures.push_back(TangentArcs(grid, rng));
                break;
            case 4:
                figures.push_back(CorneredPentagon(grid, rng, true));
                break;
            case 5:
                figures.push_back(CorneredPentagon(grid, rng, false));
                break;
            default:
                figures.push_back(CircleOrLoneArc(grid, d, rng));
                break;
        }
    }
    return figures;
}

Figure RandomFigure(std::mt19937_64& rng, double scale, bool loneArcs) {
    const double ox = Uniform(rng, -1000, 1000) * scale, oy = Uniform(rng, -1000, 1000) * scale;
    auto size = [&] { return scale * std::pow(10.0, Uniform(rng, -2, 0)); };
    const int kind = Pick(rng, 0, 9);
    if (kind == 0) {
        return {"circle", {vekhost::Circle(ox, oy, size())}, false};
    }
    if (kind == 1 && loneArcs) {
        const double r = size(), a1 = Uniform(rng, 0, 2 * kPi), a2 = Uniform(rng, 0, 2 * kPi);
        return {"lone arc",
                {vekhost::Arc(ox, oy, ox + r * std::cos(a1), oy + r * std::sin(a1),
                              ox + r * std::cos(a2), oy + r * std::sin(a2), Pick(rng, 0, 1) == 1)},
                false};
    }
    // A polygon or chain of 3 to 7 vertices, some edges bulging into arcs,
    // some corners rounded or chamfered by the host.
    const bool closed = Pick(rng, 0, 1) == 1;
    const int n = Pick(rng, 3, 7);
    std::vector<Point> v;
    double angle = Uniform(rng, 0, 2 * kPi);
    Point p{ox, oy};
    for (int k = 0; k < n; ++k) {
        v.push_back(p);
        angle += Uniform(rng, 0.3, 2.0) * (Pick(rng, 0, 4) == 0 ? -1 : 1);
        const double len = size();
        p = {p.x + len * std::cos(angle), p.y + len * std::sin(angle)};
    }
    std::vector<std::tuple<int, int, double>> corners;
    for (int k = closed ? 0 : 1; k < (closed ? n : n - 1); ++k) {
        if (Pick(rng, 0, 2) == 0) {
            corners.emplace_back(k, Pick(rng, 0, 1), size() * Uniform(rng, 0.05, 0.3));
        }
    }
    Figure f = Cornered(v, closed, corners, closed ? "random polygon" : "random chain");
    // Bulge some of the lines between two sharp corners into arcs.
    const size_t count = f.records.size();
    auto isCorner = [&](size_t k) {
        return f.records[k].kind == VEK_ROUND_CORNER || f.records[k].kind == VEK_CHAMFER;
    };
    for (size_t k = 0; k < count; ++k) {
        FigureRecord& r = f.records[k];
        if (r.kind == VEK_LINE && !isCorner((k + count - 1) % count) &&
            !isCorner((k + 1) % count) && Pick(rng, 0, 2) == 0) {
            const double bulge = Uniform(rng, 0.1, 1.8) * (Pick(rng, 0, 1) == 1 ? -1 : 1);
            const double sx = r.p1[0], sy = r.p1[1], ex = r.p2[0], ey = r.p2[1];
            const double chord = std::hypot(ex - sx, ey - sy);
            const double sweep = 4 * std::atan(std::fabs(bulge));
            const double radius = chord / (2 * std::sin(sweep / 2));
            const double mx = (sx + ex) / 2, my = (sy + ey) / 2;
            const double h = radius * std::cos(sweep / 2);
            const double nx = -(ey - sy) / chord, ny = (ex - sx) / chord;
            const double side = bulge > 0 ? 1 : -1;  // counter-clockwise: centre on the left
            r = vekhost::Arc(mx + side * nx * h, my + side * ny * h, sx, sy, ex, ey, bulge < 0);
            f.what += " with arcs";
        }
    }
    return f;
}

VekId Add(const Figure& figure, VekId layer, LineTypeRecord lineType) {
    return vekhost::AddSegment(figure.records, figure.closed, layer, lineType);
}

Figure Cornered(const std::vector<Point>& points, bool closed,
                const std::vector<std::tuple<int, int, double>>& corners, std::string what) {
    std::vector<FigureRecord> lines;
    const size_t n = points.size();
    for (size_t k = 0; k + 1 < n + (closed ? 1 : 0); ++k) {
        const Point a = points[k], b = points[(k + 1) % n];
        lines.push_back(vekhost::Line(a.x, a.y, b.x, b.y));
    }
    const VekId seg = vekhost::AddSegment(lines, closed);
    std::vector<VekId> edges;
    const vekhost::Segment sharp = *vekhost::GetSegment(seg);
    for (const auto& e : sharp.elements) {
        edges.push_back(e.id);
    }
    for (const auto& [vertex, mode, size] : corners) {
        // Vertex k joins edge k - 1 (the last one for vertex 0) to edge k.
        const size_t before = vertex == 0 ? edges.size() - 1 : size_t(vertex) - 1;
        VekFigAddCorner(edges[before], edges[size_t(vertex) % edges.size()], mode, size);
    }
    Figure f;
    f.what = std::move(what);
    f.closed = closed;
    const vekhost::Segment cornered = *vekhost::GetSegment(seg);
    for (const auto& e : cornered.elements) {
        f.records.push_back(e.figure);
    }
    VekSgmDeleteSegment(seg);
    return f;
}

double SizeOf(const vekhost::Segment& segment) {
    double size = 0;
    for (const auto& e : segment.elements) {
        const FigureRecord& r = e.figure;
        for (double v : {r.p1[0], r.p1[1], r.p2[0], r.p2[1], r.p3[0], r.p3[1], r.size}) {
            size = std::max(size, std::fabs(v));
        }
    }
    return size;
}

bool AllFinite() {
    for (VekId id : vekhost::Segments()) {
        const vekhost::Segment segment = *vekhost::GetSegment(id);
        for (const auto& e : segment.elements) {
            const FigureRecord& r = e.figure;
            for (double v : {r.p1[0], r.p1[1], r.p2[0], r.p2[1], r.p3[0], r.p3[1], r.size}) {
                if (!std::isfinite(v)) {
                    return false;
                }
            }
        }
    }
    return true;
}

}  // namespace gen
