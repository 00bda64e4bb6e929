// Rounded corners and chamfers: building them, refusing what cannot be built,
// turning arcs into corners and back, and the exploded form.
#include "tests/host/HostFixture.h"

#include <algorithm>
#include <numbers>
#include <string>

using vekhost::Arc;
using vekhost::Line;

namespace {

constexpr double kPi = std::numbers::pi;

struct Lines {
    VekId seg;
    VekId first;
    VekId second;
};

Lines TwoLines(FigureRecord a, FigureRecord b) {
    VekId seg = vekhost::AddSegment({a, b});
    auto s = vekhost::GetSegment(seg);
    return {seg, s->elements[0].id, s->elements[1].id};
}

// Sweep of an arc record from start to end in its own direction.
double Sweep(const FigureRecord& r) {
    double a1 = std::atan2(r.p2[1] - r.p1[1], r.p2[0] - r.p1[0]);
    double a2 = std::atan2(r.p3[1] - r.p1[1], r.p3[0] - r.p1[0]);
    double s = r.direction == 1 ? a1 - a2 : a2 - a1;
    while (s < 0) {
        s += 2 * kPi;
    }
    while (s >= 2 * kPi) {
        s -= 2 * kPi;
    }
    return s;
}

}  // namespace

class CornerTest : public HostTest {};

TEST_F(CornerTest, FilletOfARightAngleTrimsBothLines) {
    Lines l = TwoLines(Line(0, 0, 10, 0), Line(10, 0, 10, 10));
    VekId corner = VekFigAddCorner(l.first, l.second, 0, 2.0);
    ASSERT_GT(corner, 0);
    EXPECT_EQ(ElementIds(l.seg), (std::vector<VekId>{l.first, corner, l.second}));
    EXPECT_EQ(VekElmGetType(corner), VEK_ROUND_CORNER);
    FigureRecord c = Figure(corner);
    EXPECT_EQ(c.kind, uint32_t{VEK_ROUND_CORNER});
    EXPECT_POINT_NEAR(c.p1, 8, 2, 1e-12);
    EXPECT_POINT_NEAR(c.p2, 8, 0, 1e-12);
    EXPECT_POINT_NEAR(c.p3, 10, 2, 1e-12);
    EXPECT_DOUBLE_EQ(c.size, 2.0);
    EXPECT_NE(c.direction, 1u);  // left turn: counter-clockwise
    FigureRecord a = Figure(l.first);
    FigureRecord b = Figure(l.second);
    EXPECT_POINT_NEAR(a.p1, 0, 0, 0);
    EXPECT_POINT_NEAR(a.p2, 8, 0, 1e-12);
    EXPECT_POINT_NEAR(b.p1, 10, 2, 1e-12);
    EXPECT_POINT_NEAR(b.p2, 10, 10, 0);
}

TEST_F(CornerTest, FilletExtendsLinesThatStopShortAndTrimsLinesThatOvershoot) {
    // Gap: both lines end before the meeting point (10, 0).
    Lines gap = TwoLines(Line(0, 0, 8.5, 0), Line(10, 3, 10, 10));
    ASSERT_GT(VekFigAddCorner(gap.first, gap.second, 0, 1.0), 0);
    EXPECT_POINT_NEAR(Figure(gap.first).p2, 9, 0, 1e-12);
    EXPECT_POINT_NEAR(Figure(gap.second).p1, 10, 1, 1e-12);

    // Overshoot: the lines cross; the parts beyond the crossing go.
    Lines cross = TwoLines(Line(0, 0, 12, 0), Line(10, -2, 10, 10));
    ASSERT_GT(VekFigAddCorner(cross.first, cross.second, 0, 2.0), 0);
    EXPECT_POINT_NEAR(Figure(cross.first).p2, 8, 0, 1e-12);
    EXPECT_POINT_NEAR(Figure(cross.second).p1, 10, 2, 1e-12);
    EXPECT_POINT_NEAR(Figure(cross.second).p2, 10, 10, 0);
}

// Fillets at many angles and both turning senses: the arc touches both
// lines, its ends are the lines' new ends, and it bends the short way.
class FilletAngleTest : public CornerTest, public ::testing::WithParamInterface<double> {};

TEST_P(FilletAngleTest, ArcIsTangentToBothLines) {
    const double turn = GetParam() * kPi / 180;  // signed turning angle
    const double r = 1.5;
    Lines l = TwoLines(Line(-100, 0, 0, 0), Line(0, 0, 100 * std::cos(turn), 100 * std::sin(turn)));
    VekId corner = VekFigAddCorner(l.first, l.second, 0, r);
    ASSERT_GT(corner, 0);
    FigureRecord c = Figure(corner);
    FigureRecord a = Figure(l.first);
    FigureRecord b = Figure(l.second);
    EXPECT_NEAR(Dist(c.p1, c.p2), r, 1e-9);
    EXPECT_NEAR(Dist(c.p1, c.p3), r, 1e-9);
    EXPECT_EQ(a.p2[0], c.p2[0]);
    EXPECT_EQ(a.p2[1], c.p2[1]);
    EXPECT_EQ(b.p1[0], c.p3[0]);
    EXPECT_EQ(b.p1[1], c.p3[1]);
    EXPECT_NEAR(c.p1[1] < 0 ? -c.p1[1] : c.p1[1], r, 1e-9);  // distance to the first line
    // Distance of the centre to the second line.
    EXPECT_NEAR(std::fabs(-std::sin(turn) * c.p1[0] + std::cos(turn) * c.p1[1]), r, 1e-9);
    EXPECT_NEAR(Sweep(c), std::fabs(turn), 1e-9);
    EXPECT_EQ(c.direction == 1, turn < 0);
    EXPECT_LT(a.p2[0], 0);  // the tangent point lies on the kept part

    // The corner turns into its arc and back, unchanged.
    EXPECT_EQ(VekFigChangeCorner(corner), corner);
    EXPECT_EQ(VekElmGetType(corner), VEK_ARC);
    EXPECT_EQ(VekFigChangeCorner(corner), corner);
    EXPECT_EQ(VekElmGetType(corner), VEK_ROUND_CORNER);
    FigureRecord again = Figure(corner);
    EXPECT_EQ(std::memcmp(again.p1, c.p1, 6 * sizeof(double)), 0);
    EXPECT_EQ(again.size, c.size);
    EXPECT_EQ(again.direction, c.direction);
}

INSTANTIATE_TEST_SUITE_P(Angles, FilletAngleTest,
                         ::testing::Values(10.0, 45.0, 90.0, 135.0, 170.0, -30.0, -90.0, -150.0));

// An inch drawing in millimetres at 6 places: a fillet of 1.6e-3 near 8e4
// turns the way its lines do and touches both.
TEST_F(CornerTest, SmallFilletFarFromTheOrigin) {
    const double x0 = 80000.123456, y0 = 79999.654321, r = 0.0016;
    auto at6 = [](double v) { return std::round(v * 1e6) / 1e6; };
    for (double degrees : {2.0, -2.0, 30.0, -150.0}) {
        SCOPED_TRACE(degrees);
        const double turn = degrees * kPi / 180;
        const double ex = at6(x0 + 0.05 * std::cos(turn)), ey = at6(y0 + 0.05 * std::sin(turn));
        Lines l = TwoLines(Line(x0 - 0.05, y0, x0, y0), Line(x0, y0, ex, ey));
        VekId corner = VekFigAddCorner(l.first, l.second, 0, r);
        ASSERT_GT(corner, 0);
        FigureRecord c = Figure(corner);
        EXPECT_EQ(c.direction == 1, turn < 0);
        EXPECT_NEAR(std::fabs(c.p1[1] - y0), r, 1e-6 * r);
        const double dx = ex - x0, dy = ey - y0;
        EXPECT_NEAR(std::fabs(dx * (c.p1[1] - y0) - dy * (c.p1[0] - x0)) / std::hypot(dx, dy), r,
                    1e-6 * r);
    }
}

TEST_F(CornerTest, ChamferSetsBackAlongBothLines) {
    Lines l = TwoLines(Line(0, 0, 10, 0), Line(10, 0, 10, 10));
    VekId chamfer = VekFigAddCorner(l.first, l.second, 1, 2.0);
    ASSERT_GT(chamfer, 0);
    EXPECT_EQ(VekElmGetType(chamfer), VEK_CHAMFER);
    FigureRecord c = Figure(chamfer);
    EXPECT_POINT_NEAR(c.p1, 10, 0, 1e-12);  // where the lines meet
    EXPECT_POINT_NEAR(c.p2, 8, 0, 1e-12);
    EXPECT_POINT_NEAR(c.p3, 10, 2, 1e-12);
    EXPECT_DOUBLE_EQ(c.size, 2.0);
    // The size is the distance from the previous element's end to P1.
    EXPECT_NEAR(Dist(Figure(l.first).p2, c.p1), 2.0, 1e-12);
    EXPECT_POINT_NEAR(Figure(l.second).p1, 10, 2, 1e-12);

    // A chamfer becomes its line.
    EXPECT_EQ(VekFigChangeCorner(chamfer), chamfer);
    EXPECT_EQ(VekElmGetType(chamfer), VEK_LINE);
    FigureRecord line = Figure(chamfer);
    EXPECT_POINT_NEAR(line.p1, 8, 0, 1e-12);
    EXPECT_POINT_NEAR(line.p2, 10, 2, 1e-12);
    // A line is no corner.
    EXPECT_EQ(VekFigChangeCorner(chamfer), -1);
}

TEST_F(CornerTest, ChamferOfAnObtuseCornerMeasuresFromTheMeetingPoint) {
    Lines l = TwoLines(Line(0, 0, 5, 0), Line(6, 0, 10, 4));  // a gap: they meet at (6, 0)
    VekId chamfer = VekFigAddCorner(l.first, l.second, 1, 1.0);
    ASSERT_GT(chamfer, 0);
    FigureRecord c = Figure(chamfer);
    EXPECT_POINT_NEAR(c.p1, 6, 0, 1e-12);
    EXPECT_POINT_NEAR(c.p2, 5, 0, 1e-12);
    EXPECT_POINT_NEAR(c.p3, 6 + std::sqrt(0.5), std::sqrt(0.5), 1e-12);
}

TEST_F(CornerTest, ClosedFigureJoinsLastAndFirstElement) {
    VekId sq = vekhost::AddSegment(
        {Line(0, 0, 10, 0), Line(10, 0, 10, 10), Line(10, 10, 0, 10), Line(0, 10, 0, 0)}, true);
    auto ids = ElementIds(sq);
    EXPECT_EQ(VekFigAddCorner(ids[0], ids[3], 0, 1.0), -1);  // wrong order
    VekId corner = VekFigAddCorner(ids[3], ids[0], 0, 1.0);
    ASSERT_GT(corner, 0);
    EXPECT_EQ(VekSgmGetTailElementId(sq), corner);
    EXPECT_EQ(VekSgmGetHeadElementId(sq), ids[0]);
    EXPECT_POINT_NEAR(Figure(ids[0]).p1, 1, 0, 1e-12);
    EXPECT_POINT_NEAR(Figure(ids[3]).p2, 0, 1, 1e-12);
    EXPECT_POINT_NEAR(Figure(corner).p1, 1, 1, 1e-12);

    // The same figure open: its ends are no neighbours.
    VekId open = vekhost::AddSegment(
        {Line(0, 0, 10, 0), Line(10, 0, 10, 10), Line(10, 10, 0, 10), Line(0, 10, 0, 0)});
    auto o = ElementIds(open);
    EXPECT_EQ(VekFigAddCorner(o[3], o[0], 0, 1.0), -1);
}

struct Refusal {
    const char* name;
    FigureRecord a;
    FigureRecord b;
    int32_t mode;
    double size;
};

void PrintTo(const Refusal& r, std::ostream* os) {
    *os << r.name;
}

class CornerRefusalTest : public CornerTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CornerRefusalTest, RefusesAndChangesNothing) {
    const Refusal& c = GetParam();
    Lines l = TwoLines(c.a, c.b);
    const std::string before = vekhost::ToJson();
    EXPECT_EQ(VekFigAddCorner(l.first, l.second, c.mode, c.size), -1);
    EXPECT_EQ(vekhost::ToJson(), before);
}

const double kNaN = std::nan("");
const double kInf = INFINITY;

INSTANTIATE_TEST_SUITE_P(
    Cases, CornerRefusalTest,
    ::testing::Values(
        Refusal{"Collinear", Line(0, 0, 10, 0), Line(10, 0, 20, 0), 0, 1},
        Refusal{"ParallelApart", Line(0, 0, 10, 0), Line(10, 1, 0, 1), 0, 0.5},
        Refusal{"ChamferParallel", Line(0, 0, 10, 0), Line(10, 1, 0, 1), 1, 0.5},
        Refusal{"ZeroSize", Line(0, 0, 10, 0), Line(10, 0, 10, 10), 0, 0},
        Refusal{"NegativeSize", Line(0, 0, 10, 0), Line(10, 0, 10, 10), 1, -1},
        Refusal{"NaNSize", Line(0, 0, 10, 0), Line(10, 0, 10, 10), 0, kNaN},
        Refusal{"InfiniteSize", Line(0, 0, 10, 0), Line(10, 0, 10, 10), 0, kInf},
        Refusal{"UnknownMode", Line(0, 0, 10, 0), Line(10, 0, 10, 10), 2, 1},
        Refusal{"RadiusBeyondFirstLine", Line(0, 0, 10, 0), Line(10, 0, 10, 30), 0, 10.5},
        Refusal{"RadiusBeyondSecondLine", Line(0, 0, 30, 0), Line(30, 0, 30, 3), 0, 3.5},
        Refusal{"SetbackBeyondLine", Line(0, 0, 10, 0), Line(10, 0, 10, 4), 1, 4.5},
        Refusal{"ZeroLengthLine", Line(0, 0, 10, 0), Line(10, 0, 10, 0), 0, 1},
        Refusal{"LineTangentToArc", Line(0, 0, 10, 0), Arc(10, 5, 10, 0, 15, 5), 0, 1},
        Refusal{"LineMissesArc", Line(0, 0, 10, 0), Arc(10, 5, 10, 2, 13, 5), 0, 0.5},
        Refusal{"CircleNeighbour", Line(0, 0, 10, 0), vekhost::Circle(12, 0, 2), 0, 1}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(CornerTest, RefusesElementsThatAreNotNeighbours) {
    VekId seg = vekhost::AddSegment({Line(0, 0, 10, 0), Line(10, 0, 10, 10), Line(10, 10, 0, 10)});
    VekId other = vekhost::AddSegment({Line(10, 10, 0, 10)});
    auto ids = ElementIds(seg);
    const std::string before = vekhost::ToJson();
    EXPECT_EQ(VekFigAddCorner(ids[0], ids[2], 0, 1), -1);
    EXPECT_EQ(VekFigAddCorner(ids[1], ids[0], 0, 1), -1);  // reversed order
    EXPECT_EQ(VekFigAddCorner(ids[0], ids[0], 0, 1), -1);
    EXPECT_EQ(VekFigAddCorner(ids[1], ElementIds(other)[0], 0, 1), -1);
    EXPECT_EQ(VekFigAddCorner(ids[0], 9999, 0, 1), -1);
    EXPECT_EQ(VekFigAddCorner(seg, ids[0], 0, 1), -1);  // a segment is no element
    EXPECT_EQ(vekhost::ToJson(), before);
    // A corner already stands between two elements: they are neighbours no more.
    VekId corner = VekFigAddCorner(ids[0], ids[1], 0, 1);
    ASSERT_GT(corner, 0);
    EXPECT_EQ(VekFigAddCorner(ids[0], ids[1], 0, 1), -1);
    EXPECT_EQ(VekFigAddCorner(corner, ids[1], 0, 1), -1);
}

TEST_F(CornerTest, FilletBetweenLineAndArcIsTangentToBoth) {
    // A line along the x axis into the left end of a circle of radius 5 about
    // (15, 0), then clockwise up to its top: a right angle at (10, 0).
    Lines l = TwoLines(Line(0, 0, 10, 0), Arc(15, 0, 10, 0, 15, 5, true));
    VekId corner = VekFigAddCorner(l.first, l.second, 0, 1.0);
    ASSERT_GT(corner, 0);
    FigureRecord c = Figure(corner);
    FigureRecord arc = Figure(l.second);
    EXPECT_NEAR(c.p1[1], 1.0, 1e-9);
    EXPECT_NEAR(c.p1[0], 15 - std::sqrt(35.0), 1e-9);  // outside the circle
    const double centre[2] = {15, 0};
    EXPECT_NEAR(Dist(c.p1, centre), 6.0, 1e-9);
    EXPECT_POINT_NEAR(Figure(l.first).p2, c.p1[0], 0, 1e-9);
    EXPECT_EQ(arc.p2[0], c.p3[0]);
    EXPECT_EQ(arc.p2[1], c.p3[1]);
    EXPECT_NEAR(Dist(arc.p2, centre), 5.0, 1e-9);
    EXPECT_POINT_NEAR(arc.p3, 15, 5, 0);
    EXPECT_EQ(c.direction, 0u);  // heading east, then north: a left turn

    // Back to an arc and again to a corner between a line and an arc.
    EXPECT_EQ(VekFigChangeCorner(corner), corner);
    EXPECT_EQ(VekFigChangeCorner(corner), corner);
    EXPECT_EQ(VekElmGetType(corner), VEK_ROUND_CORNER);
}

TEST_F(CornerTest, FilletBetweenArcAndLine) {
    // The same corner walked the other way round.
    Lines l = TwoLines(Arc(15, 0, 15, 5, 10, 0, false), Line(10, 0, 0, 0));
    VekId corner = VekFigAddCorner(l.first, l.second, 0, 1.0);
    ASSERT_GT(corner, 0);
    FigureRecord c = Figure(corner);
    EXPECT_NEAR(c.p1[0], 15 - std::sqrt(35.0), 1e-9);
    EXPECT_NEAR(c.p1[1], 1.0, 1e-9);
    EXPECT_EQ(c.direction, 1u);  // heading south, then west: a right turn
    EXPECT_EQ(Figure(l.first).p3[0], c.p2[0]);
    EXPECT_EQ(Figure(l.second).p1[0], c.p3[0]);

    // A chamfer between an arc and a line: both ends at the setback distance.
    Lines m = TwoLines(Arc(15, 0, 15, 5, 10, 0, false), Line(10, 0, 0, 0));
    VekId chamfer = VekFigAddCorner(m.first, m.second, 1, 2.0);
    ASSERT_GT(chamfer, 0);
    FigureRecord ch = Figure(chamfer);
    EXPECT_POINT_NEAR(ch.p1, 10, 0, 1e-12);
    EXPECT_NEAR(Dist(ch.p2, ch.p1), 2.0, 1e-9);
    EXPECT_NEAR(Dist(ch.p3, ch.p1), 2.0, 1e-9);
    EXPECT_GT(ch.p2[1], 0);  // on the arc's upper part, which is kept
    EXPECT_NEAR(Dist(Figure(m.first).p3, ch.p1), ch.size, 1e-9);
}

TEST_F(CornerTest, FilletBetweenTwoCrossingArcs) {
    // Two bumps of radius 5 about (0, 0) and (8, 0) meeting in a valley at (4, 3).
    Lines l = TwoLines(Arc(0, 0, -5, 0, 4, 3, true), Arc(8, 0, 4, 3, 13, 0, true));
    VekId corner = VekFigAddCorner(l.first, l.second, 0, 1.0);
    ASSERT_GT(corner, 0);
    FigureRecord c = Figure(corner);
    EXPECT_POINT_NEAR(c.p1, 4, std::sqrt(20.0), 1e-9);  // 6 from both centres
    EXPECT_EQ(c.direction, 0u);
    EXPECT_EQ(Figure(l.first).p3[0], c.p2[0]);
    EXPECT_EQ(Figure(l.second).p2[1], c.p3[1]);
    EXPECT_NEAR(c.p2[0], 4 * 5 / 6.0, 1e-9);
    EXPECT_NEAR(c.p3[0], 8 - 4 * 5 / 6.0, 1e-9);
    EXPECT_EQ(VekFigChangeCorner(corner), corner);
    EXPECT_EQ(VekFigChangeCorner(corner), corner);  // tangent to both arcs
}

TEST_F(CornerTest, FilletTurnsAsTheCornerDoes) {
    // Two clockwise arcs meeting at (60.66, 60.26) turn right there; they
    // cross again near (59.03, 59.68), where a fillet of the wrong hand fits.
    // A fillet too wide for the corner is refused rather than put there; a
    // narrower one rounds the corner itself.
    const FigureRecord first =
        Arc(60.026266681890796, 59.460761561536046, 59.08, 59.08, 60.66, 60.26, true);
    const FigureRecord second =
        Arc(59.62786066439368, 60.57794400748267, 60.66, 60.26, 58.55, 60.51, true);
    Lines wide = TwoLines(first, second);
    EXPECT_EQ(VekFigAddCorner(wide.first, wide.second, 0, 0.46), -1);
    Lines narrow = TwoLines(first, second);
    VekId corner = VekFigAddCorner(narrow.first, narrow.second, 0, 0.37);
    ASSERT_GT(corner, 0);
    const FigureRecord c = Figure(corner);
    EXPECT_EQ(c.direction, 1u);
    EXPECT_LT(Dist(c.p2, first.p3), 1.0);
    EXPECT_LT(Dist(c.p3, second.p2), 1.0);
}

TEST_F(CornerTest, FilletWiderThanTheRoomBetweenArcAndChordIsRefused) {
    // An arc of radius 10 about the origin from its top to (-6, 8), then back
    // along the chord y = 8: between them a lens 2 thick at most. A fillet of
    // radius r lies 10 - r from the origin and r above the chord, so its
    // centre is at (-6 sqrt(1 - r), 8 + r) while r < 1; wider ones miss.
    const FigureRecord arc = Arc(0, 0, 0, 10, -6, 8, false);
    const FigureRecord chord = Line(-6, 8, 0, 8);
    for (double r : {0.5, 0.99}) {
        Lines l = TwoLines(arc, chord);
        VekId corner = VekFigAddCorner(l.first, l.second, 0, r);
        ASSERT_GT(corner, 0) << "radius " << r;
        EXPECT_POINT_NEAR(Figure(corner).p1, -6 * std::sqrt(1 - r), 8 + r, 1e-9);
    }
    for (double r : {1.01, 2.0}) {
        Lines l = TwoLines(arc, chord);
        EXPECT_EQ(VekFigAddCorner(l.first, l.second, 0, r), -1) << "radius " << r;
        EXPECT_TRUE(SameRecord(Figure(l.first), arc));
        EXPECT_TRUE(SameRecord(Figure(l.second), chord));
        EXPECT_EQ(Elements(l.seg).size(), 2u);
    }
}

// Which arcs VekFigChangeCorner makes rounded corners: exactly the fillets that
// AddCorner builds between the arc's neighbours at the arc's radius.
struct ArcCase {
    const char* name;
    std::vector<FigureRecord> figures;
    bool closed;
    size_t at;      // the arc; with `radius`, the element after which AddCorner puts it
    double radius;  // > 0: the arc is the corner AddCorner makes there, changed to an arc
    bool corner;    // ChangeCorner makes the arc a rounded corner
};

void PrintTo(const ArcCase& c, std::ostream* os) {
    *os << c.name;
}

class ArcToCornerTest : public CornerTest, public ::testing::WithParamInterface<ArcCase> {};

TEST_P(ArcToCornerTest, OnlyFilletsBecomeCorners) {
    const ArcCase& c = GetParam();
    VekId seg = vekhost::AddSegment(c.figures, c.closed);
    auto ids = ElementIds(seg);
    VekId arc = ids[c.at];
    FigureRecord made{};
    if (c.radius > 0) {
        arc = VekFigAddCorner(ids[c.at], ids[(c.at + 1) % ids.size()], 0, c.radius);
        ASSERT_GT(arc, 0);
        made = Figure(arc);
        ASSERT_EQ(VekFigChangeCorner(arc), arc);
    }
    ASSERT_EQ(VekElmGetType(arc), VEK_ARC);
    const std::string before = vekhost::ToJson();
    if (!c.corner) {
        EXPECT_EQ(VekFigChangeCorner(arc), -1);
        EXPECT_EQ(vekhost::ToJson(), before);
        return;
    }
    ASSERT_EQ(VekFigChangeCorner(arc), arc);
    EXPECT_EQ(VekElmGetType(arc), VEK_ROUND_CORNER);
    FigureRecord r = Figure(arc);
    EXPECT_EQ(r.kind, uint32_t{VEK_ROUND_CORNER});
    if (c.radius > 0) {
        EXPECT_TRUE(SameRecord(r, made));  // the corner AddCorner made, unchanged
    }
    // P2 lies on the previous element, P3 on the next one.
    const auto ring = ElementIds(seg);
    const size_t k = std::find(ring.begin(), ring.end(), arc) - ring.begin();
    const FigureRecord prev = Figure(ring[(k + ring.size() - 1) % ring.size()]);
    const FigureRecord next = Figure(ring[(k + 1) % ring.size()]);
    auto ends = [](const FigureRecord& f) {
        return f.kind == VEK_LINE ? std::vector<const double*>{f.p1, f.p2}
                                  : std::vector<const double*>{f.p2, f.p3};
    };
    auto touches = [&](const double* p, const FigureRecord& f) {
        for (const double* e : ends(f)) {
            if (Dist(p, e) < 1e-12) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(touches(r.p2, prev));
    EXPECT_TRUE(touches(r.p3, next));
    EXPECT_EQ(VekFigChangeCorner(arc), arc);  // and back to an arc
}

const double kR3 = std::sqrt(3.0);

INSTANTIATE_TEST_SUITE_P(
    Figures, ArcToCornerTest,
    ::testing::Values(
        // Fillets that AddCorner made, between every kind of neighbour.
        ArcCase{"LinesLeft60", {Line(0, 0, 10, 0), Line(10, 0, 15, 5 * kR3)}, false, 0, 1, true},
        ArcCase{"LinesRight120", {Line(0, 0, 10, 0), Line(10, 0, 5, -5 * kR3)}, false, 0, 2, true},
        ArcCase{"LinesStoredBackwards", {Line(10, 0, 0, 0), Line(10, 10, 10, 0)}, false, 0, 2,
                true},
        ArcCase{"LineArc", {Line(0, 0, 10, 0), Arc(15, 0, 10, 0, 15, 5, true)}, false, 0, 1, true},
        ArcCase{"ArcLine", {Arc(15, 0, 15, 5, 10, 0), Line(10, 0, 0, 0)}, false, 0, 1, true},
        ArcCase{"ArcArc", {Arc(0, 0, -5, 0, 4, 3, true), Arc(8, 0, 4, 3, 13, 0, true)}, false, 0,
                1, true},
        ArcCase{"ClosedWrap",
                {Line(0, 0, 10, 0), Line(10, 0, 10, 10), Line(10, 10, 0, 10), Line(0, 10, 0, 0)},
                true, 3, 1, true},
        // Tangent arcs drawn as arcs: the fillet, stored either way round.
        ArcCase{"QuarterArc",
                {Line(0, 0, 8, 0), Arc(8, 2, 8, 0, 10, 2), Line(10, 2, 10, 10)},
                false, 1, 0, true},
        ArcCase{"QuarterArcStoredBackwards",
                {Line(0, 0, 8, 0), Arc(8, 2, 10, 2, 8, 0, true), Line(10, 2, 10, 10)},
                false, 1, 0, true},
        // Tangent at both ends, yet no fillet of those neighbours.
        ArcCase{"Loop270",
                {Line(-10, 0, 0, 0), Arc(0, 1, 0, 0, -1, 1), Line(-1, 1, -1, -10)},
                false, 1, 0, false},
        ArcCase{"Hairpin", {Line(-10, 0, 0, 0), Arc(0, 1, 0, 0, 0, 2), Line(0, 2, -10, 2)}, false,
                1, 0, false},
        ArcCase{"SlotFirstHalf",
                {Line(0, 0, 10, 0), Arc(10, 1, 10, 0, 10, 2), Line(10, 2, 0, 2),
                 Arc(0, 1, 0, 2, 0, 0)},
                true, 1, 0, false},
        ArcCase{"SlotSecondHalf",
                {Line(0, 0, 10, 0), Arc(10, 1, 10, 0, 10, 2), Line(10, 2, 0, 2),
                 Arc(0, 1, 0, 2, 0, 0)},
                true, 3, 0, false},
        // Radii square to both lines, but the arc turns back: its centre is
        // on the outer side of the corner.
        ArcCase{"OuterSide", {Line(-10, 0, 1, 0), Arc(1, -1, 1, 0, 0, -1), Line(0, -1, 0, 10)},
                false, 1, 0, false},
        // The fillet's own circle and ends, the long way round (270 degrees).
        ArcCase{"SweepNotTheTurn",
                {Line(-10, 0, 0, 0), Arc(0, 1, 0, 0, 1, 1, true), Line(1, 1, 1, 10)},
                false, 1, 0, false},
        ArcCase{"RadiusFieldDisagrees",
                {Line(0, 0, 8, 0),
                 [] {
                     FigureRecord a = Arc(8, 2, 8, 0, 10, 2);
                     a.size = 2.5;
                     return a;
                 }(),
                 Line(10, 2, 10, 10)},
                false, 1, 0, false},
        // Ends that meet, but not tangentially (a half circle bulging between
        // two lines), and an end that misses its neighbour.
        ArcCase{"NotTangent",
                {Line(0, 0, 8, 0), Arc(9, 0, 8, 0, 10, 0, true), Line(10, 0, 20, 0)},
                false, 1, 0, false},
        // Ends that meet a degree off tangent: the arc's circle all but
        // touches both lines, yet it is no fillet of theirs.
        ArcCase{"DegreeOffTangent",
                {Line(0, -0.14, 8, 0), Arc(8, 2, 8, 0, 10, 2), Line(10, 2, 10.14, 10)},
                false, 1, 0, false},
        ArcCase{"EndMissesNeighbour",
                {Line(0, 0, 8, 0), Arc(8, 2, 8, 0, 10, 2), Line(10, 2.1, 10, 10)},
                false, 1, 0, false},
        // Free ends of an open figure, and an arc alone.
        ArcCase{"FreeStart", {Arc(8, 2, 8, 0, 10, 2), Line(10, 2, 10, 10)}, false, 0, 0, false},
        ArcCase{"FreeEnd", {Line(0, 0, 8, 0), Arc(8, 2, 8, 0, 10, 2)}, false, 1, 0, false},
        ArcCase{"Alone", {Arc(8, 2, 8, 0, 10, 2)}, true, 0, 0, false}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(CornerTest, OnlyArcsAndCornersChange) {
    VekId seg = vekhost::AddSegment({Line(0, 0, 1, 0), vekhost::Circle(0, 0, 1)});
    EXPECT_EQ(VekFigChangeCorner(ElementIds(seg)[0]), -1);
    EXPECT_EQ(VekFigChangeCorner(ElementIds(seg)[1]), -1);
    EXPECT_EQ(VekFigChangeCorner(12345), -1);
}

TEST_F(CornerTest, ArcAtTheHeadOfAClosedFigureUsesTheTailAsNeighbour) {
    // Rounded square, the first element being the arc at the origin corner.
    VekId seg = vekhost::AddSegment({Arc(1, 1, 0, 1, 1, 0), Line(1, 0, 10, 0), Line(10, 0, 10, 10),
                                     Line(10, 10, 0, 10), Line(0, 10, 0, 1)},
                                    true);
    auto ids = ElementIds(seg);
    EXPECT_EQ(VekFigChangeCorner(ids[0]), ids[0]);
    EXPECT_EQ(VekElmGetType(ids[0]), VEK_ROUND_CORNER);
    VekFigSetClosed(seg, 0);
    VekFigChangeCorner(ids[0]);                 // back to an arc
    EXPECT_EQ(VekFigChangeCorner(ids[0]), -1);  // now at a free end
}

TEST_F(CornerTest, ExplodedFormGivesOneRecordPerElement) {
    VekId sq = vekhost::AddSegment(
        {Line(0, 0, 10, 0), Line(10, 0, 10, 10), Line(10, 10, 0, 10), Line(0, 10, 0, 0)}, true);
    auto ids = ElementIds(sq);
    VekId round = VekFigAddCorner(ids[0], ids[1], 0, 2);
    VekId chamfer = VekFigAddCorner(ids[2], ids[3], 1, 3);
    ASSERT_GT(round, 0);
    ASSERT_GT(chamfer, 0);
    FigureKey key{vekhost::Context(), static_cast<uint32_t>(sq)};
    FigureRecord out[8]{};
    ASSERT_EQ(VekFigGetFigure2(&key, out, 8), 6);
    const uint32_t kinds[] = {1, 7, 1, 1, 8, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(out[i].kind, kinds[i]) << i;
    }
    // Rounded corner: the arc's own fields.
    EXPECT_TRUE(SameRecord(out[1], Figure(round)));
    // Chamfer: its line's two ends in P1 and P2.
    EXPECT_POINT_NEAR(out[4].p1, 3, 10, 1e-12);
    EXPECT_POINT_NEAR(out[4].p2, 0, 7, 1e-12);
    EXPECT_TRUE(SameRecord(out[0], Figure(ids[0])));

    // At most the capacity given; nothing beyond it is written.
    FigureRecord few[3]{};
    few[2].kind = 99;
    EXPECT_EQ(VekFigGetFigure2(&key, few, 2), 2);
    EXPECT_EQ(few[2].kind, 99u);
    EXPECT_EQ(VekFigGetFigure2(&key, few, 0), 0);
    FigureKey badContext{vekhost::Context() + 1, static_cast<uint32_t>(sq)};
    EXPECT_EQ(VekFigGetFigure2(&badContext, out, 8), -1);
    FigureKey element{vekhost::Context(), static_cast<uint32_t>(ids[0])};
    EXPECT_EQ(VekFigGetFigure2(&element, out, 8), -1);
    EXPECT_EQ(VekFigGetFigure2(&key, out, -1), -1);
}
