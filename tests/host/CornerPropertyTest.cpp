// Corners of every size anywhere in the drawing: AddCorner builds them on the
// neighbours with the right turn (and refuses a fillet with no room between
// them), ChangeCorner takes fillets back and forth, and tangent arcs that are
// no fillets stay arcs, also far from the origin where the end points carry
// their rounding.
#include "tests/host/HostFixture.h"

#include <algorithm>
#include <numbers>
#include <random>
#include <sstream>

using vekhost::Arc;
using vekhost::Line;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kCases = 300;
// Relative to the corner's size: what the host's answers must meet.
constexpr double kRel = 1e-6;
// Relative to the largest size of a corner (the fillet's or an arc's radius),
// a hundred times the host's own tolerance of 1e-9: a fillet that would still
// fit this much larger must be built, one that would still miss this much
// smaller must be refused; in between either answer is right.
constexpr double kEdge = 1e-7;

struct P {
    double x = 0, y = 0;
};
P operator+(P a, P b) {
    return {a.x + b.x, a.y + b.y};
}
P operator-(P a, P b) {
    return {a.x - b.x, a.y - b.y};
}
P operator*(P a, double k) {
    return {a.x * k, a.y * k};
}
double Cross(P a, P b) {
    return a.x * b.y - a.y * b.x;
}
double Dot(P a, P b) {
    return a.x * b.x + a.y * b.y;
}
double Len(P a) {
    return std::hypot(a.x, a.y);
}
P Left(P a) {
    return {-a.y, a.x};
}
P Dir(double angle) {
    return {std::cos(angle), std::sin(angle)};
}
P At(const double* p) {
    return {p[0], p[1]};
}

// A neighbour of the corner: a line or an arc running into (previous) or out
// of (next) the meeting point. Distances to it are measured from the records
// themselves, so the rounding of their points is no error.
struct Curve {
    FigureRecord rec;
    bool arc = false;
    P c;           // arc centre
    double r = 0;  // arc radius
    // As made, about x: travelling along u through x, a line (side 0) or an
    // arc of `radius` curving to the left (1) or right (-1); the corner keeps
    // `kept` of it beyond x, along u (out 1) or behind x (out -1).
    P u;
    int side = 0;
    double radius = 0;
    double kept = 0;
    int out = 1;
    // Distance from q to the carrier.
    double Off(P q) const {
        if (arc) {
            return std::fabs(Len(q - c) - r);
        }
        P a = At(rec.p1);
        P d = At(rec.p2) - a;
        return std::fabs(Cross(d, q - a)) / Len(d);
    }
};

// A line (side 0) or an arc of `radius` curving to the left (side 1) or right
// (-1) through x with direction u there, `back` long behind x and `ahead`
// beyond it; stored either way round.
Curve MakeCurve(P x, P u, double back, double ahead, double radius, int side, bool reversed) {
    Curve k;
    k.u = u;
    k.side = side;
    k.radius = radius;
    if (side == 0) {
        P a = x - u * back;
        P b = x + u * ahead;
        k.rec = reversed ? Line(b.x, b.y, a.x, a.y) : Line(a.x, a.y, b.x, b.y);
        return k;
    }
    k.arc = true;
    P n = Left(u) * side;  // towards the centre
    k.c = x + n * radius;
    const double base = std::atan2(x.y - k.c.y, x.x - k.c.x);
    // Travelling along u turns counter-clockwise when the centre is on the left.
    const double s = side;
    P a = k.c + Dir(base - s * back / radius) * radius;
    P b = k.c + Dir(base + s * ahead / radius) * radius;
    const bool cw = side < 0;
    k.rec = reversed ? Arc(k.c.x, k.c.y, b.x, b.y, a.x, a.y, !cw)
                     : Arc(k.c.x, k.c.y, a.x, a.y, b.x, b.y, cw);
    k.c = At(k.rec.p1);
    k.r = k.rec.size;
    return k;
}

// The centre of an arc neighbour, about x.
P CentreOf(const Curve& k) {
    return Left(k.u) * (k.side * k.radius);
}

// Where the carriers of a and b, moved d to the left of travel (right when
// negative), cross; about x. A line moves to its parallel, an arc's circle
// to the concentric one.
int OffsetCrossings(const Curve& a, const Curve& b, double d, P out[2]) {
    if (a.side == 0 && b.side == 0) {
        out[0] = (b.u - a.u) * (d / Cross(a.u, b.u));
        return 1;
    }
    if (a.side != 0 && b.side == 0) {
        return OffsetCrossings(b, a, d, out);
    }
    const P m = CentreOf(b);
    const double rho = b.radius - d * b.side;
    if (a.side == 0) {
        const P q = Left(a.u) * d;
        const double h = std::fabs(Cross(a.u, m - q));  // from the centre to the line
        if (h > rho) {
            return 0;
        }
        const double w = std::sqrt((rho - h) * (rho + h));
        const double t = Dot(m - q, a.u);
        out[0] = q + a.u * (t - w);
        out[1] = q + a.u * (t + w);
        return 2;
    }
    const P ma = CentreOf(a);
    const double ra = a.radius - d * a.side;
    const P e = m - ma;
    const double dist = Len(e);
    const double along = (dist * dist + ra * ra - rho * rho) / (2 * dist);
    if (!(std::fabs(along) <= ra)) {
        return 0;
    }
    const double h = std::sqrt((ra - along) * (ra + along));
    const P f = e * (1 / dist);
    out[0] = ma + f * along + Left(f) * h;
    out[1] = ma + f * along - Left(f) * h;
    return 2;
}

// How far along the kept part of k, from x, the point of k nearest to c lies.
double AlongKept(const Curve& k, P c) {
    if (k.side == 0) {
        return k.out * Dot(c, k.u);
    }
    const P m = CentreOf(k);
    const P f = c - m;
    // Travelling along u turns counter-clockwise about a centre on the left.
    return k.out * k.side * k.radius * std::atan2(Cross(m * -1, f), Dot(m * -1, f));
}

// Whether a fillet of radius s fits between k1 and k2, which meet at x with
// the given turn, worked out apart from the host: its centre lies s inside
// the turn from both carriers, at the crossing nearest to x, and touches both
// on their kept parts. Near a hairpin an arc bending towards the other
// element leaves only a thin lens between them, which a large fillet misses.
bool FilletFits(const Curve& k1, const Curve& k2, double turn, double s) {
    P cs[2];
    const int n = OffsetCrossings(k1, k2, turn > 0 ? s : -s, cs);
    if (n == 0) {
        return false;
    }
    const P c = n == 2 && Len(cs[1]) < Len(cs[0]) ? cs[1] : cs[0];
    const double a1 = AlongKept(k1, c);
    const double a2 = AlongKept(k2, c);
    return a1 > 0 && a1 < k1.kept && a2 > 0 && a2 < k2.kept;
}

std::string Show(const FigureRecord& r) {
    std::ostringstream os;
    os.precision(17);
    os << "{kind " << r.kind << " p1 " << r.p1[0] << ',' << r.p1[1] << " p2 " << r.p2[0] << ','
       << r.p2[1] << " p3 " << r.p3[0] << ',' << r.p3[1] << " size " << r.size << " dir "
       << r.direction << '}';
    return os.str();
}

struct Rng {
    std::mt19937_64 gen;
    double U(double a, double b) { return std::uniform_real_distribution<double>(a, b)(gen); }
    double Log(double a, double b) { return std::pow(10.0, U(a, b)); }
    bool Coin() { return U(0, 1) < 0.5; }
};

// A corner's place, size and turn at random: size 1e-4 to 1e3, meeting point
// up to 1e5 from the origin, turn up to `limit` degrees short of 0 or 180
// either way.
struct Place {
    double size;
    P x;
    P u1, u2;
    double turn;
};

Place RandomPlace(Rng& g, double limit) {
    Place p;
    p.size = g.Log(-4, 3);
    p.x = Dir(g.U(0, 2 * kPi)) * (1e5 * g.U(0, 1));
    const double a = g.U(0, 2 * kPi);
    p.turn = (g.Coin() ? 1 : -1) * g.U(limit, 180 - limit) * kPi / 180;
    p.u1 = Dir(a);
    p.u2 = Dir(a + p.turn);
    return p;
}

class CornerPropertyTest : public HostTest {};

}  // namespace

TEST_F(CornerPropertyTest, CornersAreBuiltOnTheirNeighboursAndChangeBackAndForth) {
    const uint64_t seed = PropertySeed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    Rng g{std::mt19937_64(seed)};
    for (int i = 0; i < kCases && !HasFailure(); ++i) {
        SCOPED_TRACE(::testing::Message() << "case " << i);
        vekhost::Reset();
        const Place p = RandomPlace(g, 1);
        const int mode = g.U(0, 3) < 2 ? 0 : 1;
        const double s = p.size;
        // How far the corner's ends lie from the meeting point.
        const double t = mode == 0 ? s * std::tan(std::fabs(p.turn) / 2) : s;
        auto curve = [&](P u, bool into) {
            const double length = t * g.U(2, 20);
            // Stops short of or overshoots x, by little enough that the ends
            // at the corner stay the nearest pair (AddCorner's facing ends)
            // however sharp the turn.
            const double gap = t * g.U(-0.05, 0.05);
            const int side = g.U(0, 3) < 1 ? (g.Coin() ? 1 : -1) : 0;
            // Mostly flat enough that the fillet fits between the arc and the
            // other element; near a hairpin an arc bending towards the other
            // element may leave it too little room.
            const double radius = std::max(s, length) * g.Log(1.5, 3);
            Curve k = into ? MakeCurve(p.x, u, length, gap, radius, side, g.Coin())
                           : MakeCurve(p.x, u, -gap, length, radius, side, g.Coin());
            k.kept = length;
            k.out = into ? -1 : 1;
            return k;
        };
        const Curve k1 = curve(p.u1, true);
        const Curve k2 = curve(p.u2, false);
        SCOPED_TRACE(::testing::Message()
                     << "mode " << mode << " size " << s << " turn " << p.turn << " between "
                     << Show(k1.rec) << " and " << Show(k2.rec));
        VekId seg = vekhost::AddSegment({k1.rec, k2.rec});
        auto ids = ElementIds(seg);
        VekId corner = VekFigAddCorner(ids[0], ids[1], mode, s);
        if (mode == 0) {
            // Refused when a slightly smaller fillet misses, either way at the
            // edge, built when a slightly larger one fits.
            const double edge = kEdge * std::max({s, k1.radius, k2.radius});
            const bool misses = s > edge && !FilletFits(k1, k2, p.turn, s - edge);
            const bool fits = FilletFits(k1, k2, p.turn, s + edge);
            if (misses || (!fits && corner < 0)) {
                EXPECT_EQ(corner, -1);
                EXPECT_EQ(ElementIds(seg), ids);
                EXPECT_TRUE(SameRecord(Figure(ids[0]), k1.rec));
                EXPECT_TRUE(SameRecord(Figure(ids[1]), k2.rec));
                continue;
            }
        }
        ASSERT_GT(corner, 0);
        const FigureRecord c = Figure(corner);
        const FigureRecord a = Figure(ids[0]);
        const FigureRecord b = Figure(ids[1]);
        const double tol = kRel * s;
        // The neighbours end where the corner starts and ends.
        const double* aEnd = a.kind == VEK_LINE
                                 ? (Dist(a.p1, c.p2) < Dist(a.p2, c.p2) ? a.p1 : a.p2)
                                 : (Dist(a.p2, c.p2) < Dist(a.p3, c.p2) ? a.p2 : a.p3);
        const double* bEnd = b.kind == VEK_LINE
                                 ? (Dist(b.p1, c.p3) < Dist(b.p2, c.p3) ? b.p1 : b.p2)
                                 : (Dist(b.p2, c.p3) < Dist(b.p3, c.p3) ? b.p2 : b.p3);
        EXPECT_EQ(Dist(aEnd, c.p2), 0.0);
        EXPECT_EQ(Dist(bEnd, c.p3), 0.0);
        EXPECT_LE(k1.Off(At(c.p2)), tol);
        EXPECT_LE(k2.Off(At(c.p3)), tol);
        if (mode == 1) {
            EXPECT_EQ(c.kind, uint32_t{VEK_CHAMFER});
            EXPECT_LE(k1.Off(At(c.p1)), tol);
            EXPECT_LE(k2.Off(At(c.p1)), tol);
            EXPECT_NEAR(Dist(c.p1, c.p2), s, tol);
            EXPECT_NEAR(Dist(c.p1, c.p3), s, tol);
            continue;
        }
        EXPECT_EQ(c.kind, uint32_t{VEK_ROUND_CORNER});
        EXPECT_EQ(c.direction == 1, p.turn < 0);
        EXPECT_NEAR(k1.Off(At(c.p1)), s, tol);
        EXPECT_NEAR(k2.Off(At(c.p1)), s, tol);
        EXPECT_NEAR(Dist(c.p1, c.p2), s, tol);
        EXPECT_NEAR(Dist(c.p1, c.p3), s, tol);

        // To an arc and back: the same corner.
        ASSERT_EQ(VekFigChangeCorner(corner), corner);
        ASSERT_EQ(VekElmGetType(corner), VEK_ARC);
        ASSERT_EQ(VekFigChangeCorner(corner), corner);
        EXPECT_TRUE(SameRecord(Figure(corner), c));
    }
}

// Tangent arcs drawn by hand between two lines: the fillet becomes a corner;
// a loop round the outside and the half circles of a slot stay arcs.
TEST_F(CornerPropertyTest, OnlyTheFilletOfATangentArcBecomesACorner) {
    const uint64_t seed = PropertySeed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    Rng g{std::mt19937_64(seed)};
    auto line = [](P a, P b) { return Line(a.x, a.y, b.x, b.y); };
    auto arc = [](P c, P a, P b, bool cw) { return Arc(c.x, c.y, a.x, a.y, b.x, b.y, cw); };
    for (int i = 0; i < kCases && !HasFailure(); ++i) {
        SCOPED_TRACE(::testing::Message() << "case " << i);
        vekhost::Reset();
        const Place p = RandomPlace(g, 1);
        const double s = p.size;
        const double length = s * g.Log(0, 2);
        const bool left = p.turn > 0;
        P n1 = Left(p.u1) * (left ? 1 : -1);  // towards the inner side
        P n2 = Left(p.u2) * (left ? 1 : -1);
        const double t = s * std::tan(std::fabs(p.turn) / 2);
        P t1 = p.x - p.u1 * t;
        P t2 = p.x + p.u2 * t;
        VekId fillet =
            vekhost::AddSegment({line(t1 - p.u1 * length, t1), arc(t1 + n1 * s, t1, t2, !left),
                                 line(t2, t2 + p.u2 * length)});
        VekId filletArc = ElementIds(fillet)[1];
        EXPECT_EQ(VekFigChangeCorner(filletArc), filletArc) << "size " << s << " turn " << p.turn;

        // Through the same turn the long way round: a loop about a centre on
        // the outer side.
        P c = p.x - n1 * s;
        P end = c + n2 * s;
        VekId loop = vekhost::AddSegment({line(p.x - p.u1 * length, p.x), arc(c, p.x, end, left),
                                          line(end, end + p.u2 * length)});
        // A slot of width 2s whose first side ends at x.
        const P w = p.u1;
        const P m = Left(w) * (2 * s);  // across the slot
        VekId slot = vekhost::AddSegment(
            {line(p.x - w * length, p.x), arc(p.x + m * 0.5, p.x, p.x + m, false),
             line(p.x + m, p.x + m - w * length),
             arc(p.x + m * 0.5 - w * length, p.x + m - w * length, p.x - w * length, false)},
            true);
        EXPECT_EQ(VekFigChangeCorner(ElementIds(loop)[1]), -1);
        EXPECT_EQ(VekFigChangeCorner(ElementIds(slot)[1]), -1);
        EXPECT_EQ(VekFigChangeCorner(ElementIds(slot)[3]), -1);
    }
}
