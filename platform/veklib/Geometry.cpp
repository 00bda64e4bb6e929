#include "platform/veklib/Geometry.h"

#include "numeric/PortableMath.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace vekhost::detail {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// Tolerances. Lengths are compared in the size of the elements involved (a
// line's length, an arc's radius, a corner's size, a chord), never in the size
// of the coordinates: the corner and chord code works in coordinates taken
// from a point of the corner or chord, so that a small feature far from the
// origin is computed as precisely as near it. What no local origin removes is
// the rounding of the input points themselves, a few units in the last place
// of their coordinates; that is the one absolute floor (Noise) under the
// relative tolerances.

// Relative to the size involved: lengths, positions and directions (as a
// sine) this close are the same.
constexpr double kSameRel = 1e-9;
// Relative to an arc's radius: how far the end of a usable arc may lie off the
// circle through its start (arcs typed in with a few decimals stay usable).
constexpr double kOnCircleRel = 1e-7;
// Relative to the radius: how closely an arc must match the fillet that
// AddCorner would build for ChangeCorner to take it for that corner. The
// rounding (Noise) is added times 1 / sine of the fillet's sweep, but at most
// kFilletGain (dimensionless) times: where the turn is near 0 or 180 degrees
// the carriers meet at a small angle, and the rounding of their ends moves the
// fillet built between them that much further.
constexpr double kFilletRel = 1e-6;
constexpr double kFilletGain = 1e3;
// Relative to the radius: how far an arc's circle may miss a neighbour's
// carrier and still be looked at as a fillet. Only a quick refusal before the
// fillet is built, so far looser than kFilletRel.
constexpr double kTouchRel = 1e-2;
// Dimensionless sine: how far from tangent an arc may meet a neighbour at a
// shared end and still be looked at as a fillet. A fillet that passes the test
// below meets it within about kFilletRel (plus the rounding), so this only
// refuses early, a thousand times looser; Miss alone lets arcs that cross a
// neighbour at a few degrees through, its miss being of second order in the
// angle.
constexpr double kTangentSine = 1e-3;
// Absolute, in units of the machine epsilon times the largest coordinate of a
// point (roughly ulps): the rounding carried by input points near that point.
constexpr double kNoiseUlps = 16;
// Dimensionless cosine: a fillet candidate hands over smoothly to the next
// element when their directions agree better than this (the fillet gives 1,
// the candidates that turn back -1).
constexpr double kSmoothCos = 0.5;

V operator+(V a, V b) {
    return {a.x + b.x, a.y + b.y};
}
V operator-(V a, V b) {
    return {a.x - b.x, a.y - b.y};
}
V operator*(V a, double k) {
    return {a.x * k, a.y * k};
}
double Dot(V a, V b) {
    return a.x * b.x + a.y * b.y;
}
double Cross(V a, V b) {
    return a.x * b.y - a.y * b.x;
}
double Len(V a) {
    return numeric::Hypot(a.x, a.y);
}
V Perp(V a) {
    return {-a.y, a.x};
}  // a turned a quarter counter-clockwise
V Unit(V a) {
    double l = Len(a);
    return l > 0 ? a * (1 / l) : V{};
}
V P1(const FigureRecord& r) {
    return {r.p1[0], r.p1[1]};
}
V P2(const FigureRecord& r) {
    return {r.p2[0], r.p2[1]};
}
V P3(const FigureRecord& r) {
    return {r.p3[0], r.p3[1]};
}
void Set(double* p, V v) {
    p[0] = v.x;
    p[1] = v.y;
}

// The rounding carried by input points near p (see kNoiseUlps).
double Noise(V p) {
    return kNoiseUlps * std::numeric_limits<double>::epsilon() *
           std::max(std::fabs(p.x), std::fabs(p.y));
}

// Sweep from angle a to angle b in the arc's direction, in [0, 2 pi).
double Sweep(double a, double b, bool clockwise) {
    double s = clockwise ? a - b : b - a;
    s = std::fmod(s, kTwoPi);
    if (s < 0) {
        s += kTwoPi;
    }
    return s;
}

// A line or an arc of a figure, seen from the corner being built: `nearEnd` is
// the end that touches the other element (0: P1 of a line / start of an arc).
// Points are relative to the corner's local origin.
struct Curve {
    bool arc = false;
    V a, b;  // line ends; arc start and end
    V c;     // arc centre
    double r = 0;
    double len = 0;  // line: Len(b - a), kept as every line test needs it
    bool cw = false;
    int nearEnd = 1;

    V End(int i) const { return i == 0 ? a : b; }
    V Near() const { return End(nearEnd); }
    V Far() const { return End(1 - nearEnd); }
    double Size() const { return arc ? r : len; }
};

Curve FromRecord(const FigureRecord& rec, V origin) {
    Curve k;
    if (rec.kind == VEK_LINE) {
        k.a = P1(rec) - origin;
        k.b = P2(rec) - origin;
        k.len = Len(k.b - k.a);
    } else {
        k.arc = true;
        k.c = P1(rec) - origin;
        k.a = P2(rec) - origin;
        k.b = P3(rec) - origin;
        k.r = Len(k.a - k.c);
        k.cw = rec.direction == 1;
    }
    return k;
}

// Unit(v) for a vector whose length is already known.
V UnitOf(V v, double len) {
    return len > 0 ? v * (1 / len) : V{};
}

// Direction of travel along the curve at point p, going from its far end
// towards its near end (toward the corner).
V TowardNear(const Curve& k, V p) {
    if (!k.arc) {
        return k.nearEnd == 1 ? UnitOf(k.b - k.a, k.len) : Unit(k.Near() - k.Far());
    }
    V t = Unit(Perp(p - k.c));              // counter-clockwise tangent
    bool storedDirection = k.nearEnd == 1;  // travelling start to end
    bool ccw = storedDirection ? !k.cw : k.cw;
    return ccw ? t : t * -1;
}

// Intersections of two carriers (infinite lines, full circles). A line is a
// point and a direction, with the direction's length. `noise` is the rounding
// of the points (see Noise).
int IntersectLines(V p, V u, double lu, V q, V w, double lw, double noise, V out[2]) {
    // Parallel when the sine between them is within what the rounding of
    // their ends leaves of their directions.
    double den = Cross(u, w);
    if (std::fabs(den) <= (kSameRel + noise / lu + noise / lw) * lu * lw) {
        return 0;
    }
    double t = Cross(q - p, w) / den;
    out[0] = p + u * t;
    return 1;
}

int IntersectLineCircle(V p, V u, double lu, V c, double r, double noise, V out[2]) {
    V d = UnitOf(u, lu);
    V f = p - c;
    V foot = p - d * Dot(f, d);
    double dist = std::fabs(Cross(d, f));  // from the centre to the line
    double gap = r - dist;
    double tol = kSameRel * r + noise;
    if (gap < -tol) {
        return 0;
    }
    if (gap <= tol) {
        out[0] = foot;
        return 1;
    }
    double s = std::sqrt(gap * (r + dist));
    out[0] = foot - d * s;
    out[1] = foot + d * s;
    return 2;
}

int IntersectCircles(V c1, double r1, V c2, double r2, double noise, V out[2]) {
    V d = c2 - c1;
    double dist = Len(d);
    double tol = kSameRel * std::max(r1, r2) + noise;
    if (dist <= tol) {
        return 0;  // concentric
    }
    double apart = dist - (r1 + r2);
    double nested = std::fabs(r1 - r2) - dist;
    if (apart > tol || nested > tol) {
        return 0;
    }
    V e = d * (1 / dist);
    if (std::fabs(apart) <= tol) {
        out[0] = c1 + e * r1;
        return 1;
    }
    if (std::fabs(nested) <= tol) {
        out[0] = c1 + e * (r1 >= r2 ? r1 : -r1);
        return 1;
    }
    double a = (dist * dist + r1 * r1 - r2 * r2) / (2 * dist);
    double h = std::sqrt(std::max(r1 * r1 - a * a, 0.0));
    V m = c1 + e * a;
    out[0] = m + Perp(e) * h;
    out[1] = m - Perp(e) * h;
    return 2;
}

int IntersectCurves(const Curve& k1, const Curve& k2, double noise, V out[2]) {
    if (!k1.arc && !k2.arc) {
        return IntersectLines(k1.a, k1.b - k1.a, k1.len, k2.a, k2.b - k2.a, k2.len, noise, out);
    }
    if (!k1.arc) {
        return IntersectLineCircle(k1.a, k1.b - k1.a, k1.len, k2.c, k2.r, noise, out);
    }
    if (!k2.arc) {
        return IntersectLineCircle(k2.a, k2.b - k2.a, k2.len, k1.c, k1.r, noise, out);
    }
    return IntersectCircles(k1.c, k1.r, k2.c, k2.r, noise, out);
}

// The part of a curve kept once it is cut at the meeting point x: from x to
// its far end.
struct Kept {
    Curve k;
    V x;
    double noise = 0;
    // line
    V u;
    double length = 0;
    // arc, in stored direction: from angle `from` over `sweep`
    double from = 0;
    double sweep = 0;
    bool startAtX = false;
};

bool MakeKept(const Curve& k, V x, double noise, Kept& out) {
    out.k = k;
    out.x = x;
    out.noise = noise;
    V far = k.Far();
    const double toFar = Len(far - x);
    if (toFar <= kSameRel * k.Size() + noise) {
        return false;
    }
    if (!k.arc) {
        out.u = UnitOf(far - x, toFar);
        out.length = toFar;
        // The far end must stay on the side it is on: cutting at x never
        // reverses the element.
        return Dot(far - x, far - k.Near()) > 0;
    }
    double ax = AngleOf(k.c, x);
    double af = AngleOf(k.c, far);
    out.startAtX = k.nearEnd == 0;
    if (out.startAtX) {
        out.from = ax;
        out.sweep = Sweep(ax, af, k.cw);
    } else {
        out.from = af;
        out.sweep = Sweep(af, ax, k.cw);
    }
    return out.sweep * k.r > kSameRel * k.r + noise;
}

// Distance along the kept part from x to p (a point on the carrier), or a
// negative value when p is not on the kept part.
double AlongKept(const Kept& kp, V p) {
    const Curve& k = kp.k;
    if (!k.arc) {
        double tol = kSameRel * kp.length + kp.noise;
        double t = Dot(p - kp.x, kp.u);
        if (t < -tol || t > kp.length + tol) {
            return -1;
        }
        return std::max(t, 0.0);
    }
    double ap = AngleOf(k.c, p);
    double s = Sweep(kp.from, ap, k.cw);
    double angTol = kSameRel + kp.noise / k.r;
    if (s > kp.sweep + angTol) {
        if (s > kTwoPi - angTol) {
            s = 0;  // just before `from`, within tolerance
        } else {
            return -1;
        }
    }
    double fromX = kp.startAtX ? s : kp.sweep - s;
    return std::max(fromX, 0.0) * k.r;
}

V FootOn(const Curve& k, V p, double wanted) {
    if (!k.arc) {
        V d = UnitOf(k.b - k.a, k.len);
        return k.a + d * Dot(p - k.a, d);
    }
    V dir = Unit(p - k.c);
    V t1 = k.c + dir * k.r;
    V t2 = k.c - dir * k.r;
    return std::fabs(Len(t1 - p) - wanted) <= std::fabs(Len(t2 - p) - wanted) ? t1 : t2;
}

// Carriers offset by r: two parallel lines or two concentric circles.
struct Offset {
    bool circle = false;
    V p, u;  // line
    V c;     // circle
    double r = 0;
    double ulen = 0;  // line: Len(u)
};

int Offsets(const Curve& k, double r, double noise, Offset out[2]) {
    if (!k.arc) {
        V u = k.b - k.a;
        V n = Unit(Perp(u));
        out[0] = {false, k.a + n * r, u, {}, 0, k.len};
        out[1] = {false, k.a - n * r, u, {}, 0, k.len};
        return 2;
    }
    int n = 0;
    out[n++] = {true, {}, {}, k.c, k.r + r, 0};
    // The inner offset, unless it shrinks to the centre.
    if (std::fabs(k.r - r) > kSameRel * std::max(k.r, r) + noise) {
        out[n++] = {true, {}, {}, k.c, std::fabs(k.r - r), 0};
    }
    return n;
}

int IntersectOffsets(const Offset& a, const Offset& b, double noise, V out[2]) {
    if (!a.circle && !b.circle) {
        return IntersectLines(a.p, a.u, a.ulen, b.p, b.u, b.ulen, noise, out);
    }
    if (!a.circle) {
        return IntersectLineCircle(a.p, a.u, a.ulen, b.c, b.r, noise, out);
    }
    if (!b.circle) {
        return IntersectLineCircle(b.p, b.u, b.ulen, a.c, a.r, noise, out);
    }
    return IntersectCircles(a.c, a.r, b.c, b.r, noise, out);
}

// Writes point v into the near end of the element record.
void MoveNearEnd(FigureRecord& rec, const Curve& k, V v) {
    if (rec.kind == VEK_LINE) {
        Set(k.nearEnd == 0 ? rec.p1 : rec.p2, v);
    } else {
        Set(k.nearEnd == 0 ? rec.p2 : rec.p3, v);
    }
}

// A line longer than the rounding of its ends, or an arc whose ends are both
// on its circle; `k` is the record's curve (its length or radius measured once).
bool Usable(const FigureRecord& r, const Curve& k, double noise) {
    if (r.kind == VEK_LINE) {
        return k.len > noise;
    }
    if (r.kind == VEK_ARC) {
        return k.r > noise && std::fabs(Len(k.b - k.c) - k.r) <= kOnCircleRel * k.r + noise;
    }
    return false;
}

bool PointOnKeptAtDistance(const Kept& kp, double s, V& out) {
    const Curve& k = kp.k;
    if (!k.arc) {
        if (s > kp.length * (1 + kSameRel) + kp.noise) {
            return false;
        }
        out = kp.x + kp.u * std::min(s, kp.length);
        return true;
    }
    V pts[2];
    int n = IntersectCircles(kp.x, s, k.c, k.r, kp.noise, pts);
    double best = -1;
    for (int i = 0; i < n; ++i) {
        double along = AlongKept(kp, pts[i]);
        if (along >= 0 && (best < 0 || along < best)) {
            best = along;
            out = pts[i];
        }
    }
    return best >= 0;
}

// How far the circle about c of radius r misses the carrier of a line or arc
// record (0 when it touches it); infinite for other records.
double Miss(V c, double r, const FigureRecord& n) {
    if (n.kind == VEK_LINE) {
        V a = P1(n);
        V d = P2(n) - a;
        double l = Len(d);
        return l > 0 ? std::fabs(std::fabs(Cross(d, c - a)) / l - r)
                     : std::numeric_limits<double>::infinity();
    }
    if (n.kind == VEK_ARC) {
        double rn = Len(P2(n) - P1(n));
        double apart = Len(c - P1(n));
        return std::min(std::fabs(apart - (rn + r)), std::fabs(apart - std::fabs(rn - r)));
    }
    return std::numeric_limits<double>::infinity();
}

// Near end of a line or arc record: P2 of a line, the end of an arc.
V RecordEnd(const FigureRecord& r) {
    return r.kind == VEK_LINE ? P2(r) : P3(r);
}

// Whether the arc meets the line or arc record n nearly tangent at an end
// both share within `near`: the arc's radius there along n's normal. NaN
// (a record of no size) counts as tangent, leaving the refusal to the fillet.
bool MeetsTangent(const FigureRecord& arc, const FigureRecord& n, double near) {
    const double r = arc.size;
    const bool line = n.kind == VEK_LINE;
    const V ends[2] = {line ? P1(n) : P2(n), line ? P2(n) : P3(n)};
    const double size = line ? Len(ends[1] - ends[0]) : Len(ends[0] - P1(n));
    const double allowed = kTangentSine + 2 * near / r + (line ? 0 : near / size);
    for (V s : {P2(arc), P3(arc)}) {
        const V radius = s - P1(arc);
        const double l = Len(radius);
        for (V e : ends) {
            if (Len(s - e) > near) {
                continue;
            }
            const double sine = line ? Dot(radius, ends[1] - ends[0]) / (l * size)
                                     : Cross(radius, e - P1(n)) / (l * size);
            if (!(std::fabs(sine) > allowed)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

double AngleOf(V centre, V point) {
    double a = numeric::Atan2(point.y - centre.y, point.x - centre.x);
    if (a < 0) {
        a += kTwoPi;
    }
    if (a >= kTwoPi) {
        a = 0;  // a tiny negative angle rounds up to 2 pi
    }
    return a;
}

namespace {

// Which ends face each other: the closest pair, the chain's own order (end
// of the previous, start of the next) on a tie.
void FindFacingEnds(Curve& k1, Curve& k2) {
    double best = Len(k1.End(1) - k2.End(0));
    k1.nearEnd = 1;
    k2.nearEnd = 0;
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            if (i == 1 && j == 0) {
                continue;  // `best` already
            }
            double d = Len(k1.End(i) - k2.End(j));
            if (d < best * (1 - kSameRel)) {
                best = d;
                k1.nearEnd = i;
                k2.nearEnd = j;
            }
        }
    }
}

// The meeting point: where the carriers cross, nearest to the facing ends.
// False when they do not cross, or only touch where one is an arc (a single
// point without a corner to round).
bool MeetingPoint(const Curve& k1, const Curve& k2, double noise, V& x) {
    V xs[2];
    const int nx = IntersectCurves(k1, k2, noise, xs);
    if (nx == 0 || (nx == 1 && (k1.arc || k2.arc))) {
        return false;
    }
    x = xs[0];
    if (nx == 2) {
        double d0 = Len(xs[0] - k1.Near()) + Len(xs[0] - k2.Near());
        double d1 = Len(xs[1] - k1.Near()) + Len(xs[1] - k2.Near());
        if (d1 < d0) {
            x = xs[1];
        }
    }
    return true;
}

struct Fillet {
    V t1, t2, centre;  // feet on the previous and next element, centre
    bool clockwise = false;
};

// What a fillet of radius `size` between two kept parts must satisfy.
struct FilletSearch {
    const Kept& kept1;
    const Kept& kept2;
    double size;
    // How far a foot may lie from the fillet's circle: its position is
    // computed from the neighbour as well as from the fillet.
    double tol1, tol2;
    // Along a line the direction of travel is the same everywhere.
    V lineToward1, lineToward2;
    // A fillet rounds the corner at x, so it turns the way the corner does;
    // one turning the other way (possible between arcs, which may cross a
    // second time) would round some other place of the figure. 0 when the
    // elements meet head on, where either way is the corner's.
    double turn;

    FilletSearch(const Kept& k1, const Kept& k2, double r, double noise)
        : kept1(k1),
          kept2(k2),
          size(r),
          tol1(kSameRel * std::max(r, k1.k.Size()) + noise),
          tol2(kSameRel * std::max(r, k2.k.Size()) + noise),
          lineToward1(k1.k.arc ? V{} : TowardNear(k1.k, k1.k.a)),
          lineToward2(k2.k.arc ? V{} : TowardNear(k2.k, k2.k.a)),
          turn(Cross(TowardNear(k1.k, k1.x), TowardNear(k2.k, k1.x) * -1)) {}

    // How far the fillet about `c` cuts into both parts, with its feet and
    // hand in `f`; negative when it does not fit.
    double Score(V c, Fillet& f) const {
        const Curve& k1 = kept1.k;
        const Curve& k2 = kept2.k;
        const V a = FootOn(k1, c, size);
        const V b = FootOn(k2, c, size);
        // The tests below only refuse; a foot off the kept part of a line (a
        // dot product) is the cheapest, so it comes first.
        double s1 = k1.arc ? 0 : AlongKept(kept1, a);
        double s2 = k2.arc ? 0 : AlongKept(kept2, b);
        if (s1 < 0 || s2 < 0 || std::fabs(Len(a - c) - size) > tol1 ||
            std::fabs(Len(b - c) - size) > tol2) {
            return -1;
        }
        s1 = k1.arc ? AlongKept(kept1, a) : s1;
        s2 = k2.arc ? AlongKept(kept2, b) : s2;
        if (s1 < 0 || s2 < 0) {
            return -1;
        }
        // The fillet must continue the previous element smoothly and hand
        // over smoothly to the next one.
        const bool cw = Cross(k1.arc ? TowardNear(k1, a) : lineToward1, c - a) < 0;
        if ((turn < 0 && !cw) || (turn > 0 && cw)) {
            return -1;
        }
        const V tb = Unit(Perp(b - c)) * (cw ? -1 : 1);
        const V d2 = (k2.arc ? TowardNear(k2, b) : lineToward2) * -1;
        if (Dot(tb, d2) < kSmoothCos) {
            return -1;
        }
        f = {a, b, c, cw};
        return s1 + s2;
    }
};

// The fillet of radius `size` tangent to both kept parts nearest the corner
// at their meeting point; false when none fits.
bool FindFillet(const Kept& kept1, const Kept& kept2, double size, double noise, Fillet& found) {
    const FilletSearch search(kept1, kept2, size, noise);
    Offset o1[2], o2[2];
    const int n1 = Offsets(kept1.k, size, noise, o1);
    const int n2 = Offsets(kept2.k, size, noise, o2);
    double bestScore = -1;
    for (int i = 0; i < n1; ++i) {
        for (int j = 0; j < n2; ++j) {
            V cs[2];
            const int nc = IntersectOffsets(o1[i], o2[j], noise, cs);
            for (int m = 0; m < nc; ++m) {
                Fillet candidate;
                const double score = search.Score(cs[m], candidate);
                if (score >= 0 && (bestScore < 0 || score < bestScore)) {
                    bestScore = score;
                    found = candidate;
                }
            }
        }
    }
    return bestScore >= 0;
}

// The trimmed neighbours and the corner between them, in drawing
// coordinates; both records share each end point with the corner.
CornerResult CornerRecords(const FigureRecord& previous, const FigureRecord& next, const Curve& k1,
                           const Curve& k2, int32_t mode, double size, const Fillet& cut, V x,
                           V origin) {
    CornerResult res;
    const V t1 = cut.t1 + origin;
    const V t2 = cut.t2 + origin;
    res.previous = previous;
    res.next = next;
    MoveNearEnd(res.previous, k1, t1);
    MoveNearEnd(res.next, k2, t2);
    FigureRecord& c = res.corner;
    c = FigureRecord{};
    if (mode == 0) {
        c.kind = VEK_ROUND_CORNER;
        Set(c.p1, cut.centre + origin);
        c.direction = cut.clockwise ? 1u : 0u;
    } else {
        c.kind = VEK_CHAMFER;
        Set(c.p1, x + origin);
    }
    Set(c.p2, t1);
    Set(c.p3, t2);
    c.size = size;
    res.ok = true;
    return res;
}

}  // namespace

CornerResult BuildCorner(const FigureRecord& previous, const FigureRecord& next, int32_t mode,
                         double size) {
    CornerResult res;
    if ((mode != 0 && mode != 1) || !std::isfinite(size) || size <= 0) {
        return res;
    }
    if ((previous.kind != VEK_LINE && previous.kind != VEK_ARC) ||
        (next.kind != VEK_LINE && next.kind != VEK_ARC)) {
        return res;
    }
    // Everything below is relative to the previous element's end, which is at
    // or near the corner.
    const V origin = RecordEnd(previous);
    const double noise = Noise(origin);
    Curve k1 = FromRecord(previous, origin);
    Curve k2 = FromRecord(next, origin);
    if (!Usable(previous, k1, noise) || !Usable(next, k2, noise)) {
        return res;
    }
    FindFacingEnds(k1, k2);
    V x;
    Kept kept1, kept2;
    if (!MeetingPoint(k1, k2, noise, x) || !MakeKept(k1, x, noise, kept1) ||
        !MakeKept(k2, x, noise, kept2)) {
        return res;
    }
    Fillet cut;
    if (mode == 1) {
        if (!PointOnKeptAtDistance(kept1, size, cut.t1) ||
            !PointOnKeptAtDistance(kept2, size, cut.t2)) {
            return res;
        }
    } else if (!FindFillet(kept1, kept2, size, noise, cut)) {
        return res;
    }

    // A cut that leaves nothing of a neighbour is refused: the host never
    // keeps an element of no length.
    if (Len(k1.Far() - cut.t1) <= kSameRel * k1.Size() + noise ||
        Len(k2.Far() - cut.t2) <= kSameRel * k2.Size() + noise) {
        return res;
    }

    return CornerRecords(previous, next, k1, k2, mode, size, cut, x, origin);
}

bool ArcIsFillet(const FigureRecord& arc, const FigureRecord& previous, const FigureRecord& next,
                 FigureRecord& corner) {
    if (arc.kind != VEK_ARC) {
        return false;
    }
    const double r = arc.size;
    // A fillet's circle touches both carriers: most arcs are refused here,
    // before a fillet is built for them, by a test looser than the one below.
    const double loose = kTouchRel * r + Noise(P1(arc)) * kFilletGain;
    if (!(Miss(P1(arc), r, previous) <= loose && Miss(P1(arc), r, next) <= loose)) {
        return false;
    }
    // It ends where they do and turns into them smoothly: within twice the
    // tolerance below, as the fillet would.
    const double near = 4 * (kFilletRel * r + Noise(P1(arc)) * kFilletGain);
    if (!MeetsTangent(arc, previous, near) || !MeetsTangent(arc, next, near)) {
        return false;
    }
    CornerResult built = BuildCorner(previous, next, 0, r);
    if (!built.ok) {
        return false;
    }
    const FigureRecord& f = built.corner;
    const double sine = std::fabs(Cross(P2(f) - P1(f), P3(f) - P1(f))) / (r * r);
    const double gain = sine * kFilletGain > 1 ? 1 / sine : kFilletGain;
    const double tol = kFilletRel * r + Noise(P1(f)) * gain;
    auto same = [tol](V a, V b) { return Len(a - b) <= tol; };
    // The arc may run either way between its neighbours.
    const bool forward = (arc.direction == 1) == (f.direction == 1);
    const V start = forward ? P2(arc) : P3(arc);
    const V end = forward ? P3(arc) : P2(arc);
    if (!same(P1(arc), P1(f)) || !same(start, P2(f)) || !same(end, P3(f))) {
        return false;
    }
    // Its neighbours already end where the fillet would cut them.
    auto ends = [](const FigureRecord& a, const FigureRecord& b, auto&& eq) {
        return a.kind == VEK_LINE ? eq(P1(a), P1(b)) && eq(P2(a), P2(b))
                                  : eq(P2(a), P2(b)) && eq(P3(a), P3(b));
    };
    if (!ends(built.previous, previous, same) || !ends(built.next, next, same)) {
        return false;
    }
    corner = arc;
    corner.kind = VEK_ROUND_CORNER;
    if (!forward) {
        Set(corner.p2, start);
        Set(corner.p3, end);
        corner.direction = f.direction;
    }
    return true;
}

FigureRecord ChamferLine(const FigureRecord& chamfer) {
    FigureRecord l = chamfer;
    l.kind = VEK_LINE;
    l.p1[0] = chamfer.p2[0];
    l.p1[1] = chamfer.p2[1];
    l.p2[0] = chamfer.p3[0];
    l.p2[1] = chamfer.p3[1];
    l.p3[0] = l.p3[1] = 0;
    l.size = 0;
    l.direction = 0;
    return l;
}

FigureRecord ExplodedRecord(const FigureRecord& stored) {
    if (stored.kind != VEK_CHAMFER) {
        return stored;
    }
    FigureRecord r = ChamferLine(stored);
    r.kind = VEK_CHAMFER;
    r.p3[0] = stored.p1[0];
    r.p3[1] = stored.p1[1];
    r.size = stored.size;
    return r;
}

int32_t TangentCircles(double radius, V a, V b, const V* hint, V out[2]) {
    if (!std::isfinite(radius) || radius <= 0) {
        return 0;
    }
    // Relative to a, so that a short chord far from the origin keeps its
    // precision.
    const V chord = b - a;
    const double d = Len(chord);
    const double noise = Noise(a);
    if (!std::isfinite(d) || d <= noise) {
        return 0;
    }
    const V half = chord * 0.5;
    // One centre when the diameter equals the chord, within the chord's size
    // and the rounding of its ends.
    if (std::fabs(2 * radius - d) <= kSameRel * d + noise) {
        out[0] = a + half;
        return 1;
    }
    if (2 * radius < d) {
        return 0;
    }
    double h = std::sqrt((radius - d / 2) * (radius + d / 2));
    V n = UnitOf(Perp(chord), d);  // to the left of a -> b
    V left = a + (half + n * h);
    V right = a + (half - n * h);
    out[0] = left;
    out[1] = right;
    if (hint && std::isfinite(hint->x) && std::isfinite(hint->y) &&
        Len(right - *hint) < Len(left - *hint)) {
        out[0] = right;
        out[1] = left;
    }
    return 2;
}

Transform MakeTransform(V from, V to, double angle, double scale, bool mirror) {
    Transform t;
    t.from = from;
    t.to = to;
    t.rotate = angle != 0;
    t.cosA = numeric::Cos(angle);
    t.sinA = numeric::Sin(angle);
    t.scale = scale;
    t.mirror = mirror;
    t.identity = from.x == to.x && from.y == to.y && !t.rotate && scale == 1 && !mirror;
    return t;
}

FigureRecord Apply(const Transform& t, const FigureRecord& r) {
    if (t.identity) {
        return r;
    }
    auto pt = [&](double* p) {
        V q{p[0] - t.from.x, p[1] - t.from.y};
        if (t.mirror) {
            q.y = -q.y;
        }
        if (t.rotate) {
            q = {q.x * t.cosA - q.y * t.sinA, q.x * t.sinA + q.y * t.cosA};
        }
        if (t.scale != 1) {
            q = q * t.scale;
        }
        p[0] = t.to.x + q.x;
        p[1] = t.to.y + q.y;
    };
    FigureRecord o = r;
    switch (r.kind) {
        case VEK_LINE:
            pt(o.p1);
            pt(o.p2);
            break;
        case VEK_CIRCLE:
            pt(o.p1);
            o.p2[0] *= t.scale;
            break;
        case VEK_ARC:
        case VEK_ROUND_CORNER:
        case VEK_CHAMFER:
            pt(o.p1);
            pt(o.p2);
            pt(o.p3);
            o.size *= t.scale;
            if (t.mirror && r.kind != VEK_CHAMFER) {
                o.direction = r.direction == 1 ? 0u : 1u;
            }
            break;
        case VEK_POINT_LENGTHS:
            pt(o.p1);
            o.p2[0] *= t.scale;
            o.p2[1] *= t.scale;
            break;
        case VEK_TWO_POINTS:
            pt(o.p2);
            pt(o.p3);
            break;
        case VEK_POINT:
            pt(o.p1);
            break;
        default:
            break;
    }
    return o;
}

}  // namespace vekhost::detail
