// Rounding of values, points and whole figure buffers.
#include "tests/engine/EngineFixture.h"
#include "engine/Messages.h"
#include "engine/Rounding.h"

#include <cmath>
#include <limits>
#include <memory>

namespace {

const double kPi = 4.0 * std::atan(1.0);

struct RoundCase {
    int32_t d;
    int32_t mode;
    double in;
    double out;
};

class ConvertAndRoundTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(ConvertAndRoundTest, RoundsConvertedValueTiesUpwards) {
    const RoundCase c = GetParam();
    const double origin[2] = {0, 0};
    EXPECT_DOUBLE_EQ(ConvertAndRound(MakeGrid(c.d, c.mode, origin), c.in), c.out)
        << "d=" << c.d << " mode=" << c.mode << " v=" << c.in;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConvertAndRoundTest,
    ::testing::Values(
        // Ties go towards plus infinity, negative values too.
        RoundCase{2, 0, 0.125, 0.13}, RoundCase{2, 0, -0.125, -0.12}, RoundCase{0, 0, 2.5, 3.0},
        RoundCase{0, 0, -2.5, -2.0}, RoundCase{3, 0, 0.125, 0.125}, RoundCase{3, 0, 1.0, 1.0},
        // Decimal ties as the user reads them, though the nearest doubles
        // lie a little below or above; a digit further is no tie.
        RoundCase{2, 0, 1.005, 1.01}, RoundCase{2, 0, 1.015, 1.02}, RoundCase{2, 0, -1.005, -1.0},
        RoundCase{2, 0, 2.675, 2.68}, RoundCase{2, 0, 0.925, 0.93}, RoundCase{2, 0, -0.925, -0.92},
        RoundCase{2, 0, 1.0049, 1.0}, RoundCase{2, 0, 1.0051, 1.01}, RoundCase{3, 0, 8.0005, 8.001},
        RoundCase{0, 0, 4503599627370495.0, 4503599627370495.0},
        // Negative d rounds to tens and hundreds.
        RoundCase{-1, 0, 15.0, 20.0}, RoundCase{-1, 0, 14.0, 10.0},
        RoundCase{-2, 0, -150.0, -100.0},
        // Unit modes: the factor is 25.40051, not 25.4; mode 2 divides.
        RoundCase{3, 1, 1.0, 25.401}, RoundCase{5, 1, 1.0, 25.40051}, RoundCase{3, 2, 25.4, 1.0},
        RoundCase{3, 2, 10.0, 0.394}, RoundCase{6, 2, 1.0, 0.039369},
        // Any other mode converts nothing.
        RoundCase{3, 3, 10.0, 10.0}, RoundCase{3, -1, 2.0004, 2.0},
        // Roundings that are not finite keep the converted value.
        RoundCase{400, 0, 1.5, 1.5}, RoundCase{400, 1, 1.0, 25.40051}, RoundCase{-400, 0, 1.5, 1.5},
        RoundCase{308, 0, 2.0, 2.0}, RoundCase{std::numeric_limits<int32_t>::min(), 0, 7.0, 7.0},
        RoundCase{std::numeric_limits<int32_t>::max(), 2, 25.40051, 1.0}));

// About a reference point the offset is the value rounded: 5.015 - 2 lies
// just below 3.015, and is still a tie.
TEST(ConvertAndRoundAboutAPoint, DecimalTiesOffTheReferencePoint) {
    struct {
        double ref, x, out;
    } cases[] = {{2, 5.015, 5.02}, {1, 2.005, 2.01}, {0.5, 0.505, 0.51}, {-3, -1.995, -1.99}};
    for (const auto& c : cases) {
        const double ref[2] = {c.ref, 0};
        const RoundingGrid grid = MakeGrid(2, 0, ref);
        EXPECT_DOUBLE_EQ(ConvertAndRound(grid, c.x - grid.refX) + grid.refX, c.out)
            << c.x << " about " << c.ref;
    }
}

TEST(RoundingGrid, ScaleAndStepByRepeatedSquaring) {
    const double origin[2] = {0, 0};
    EXPECT_EQ(MakeGrid(3, 0, origin).scale, 1000.0);
    EXPECT_EQ(MakeGrid(3, 0, origin).step, 1.0 / 1000.0);
    EXPECT_EQ(MakeGrid(0, 0, origin).scale, 1.0);
    EXPECT_EQ(MakeGrid(0, 0, origin).step, 1.0);
    EXPECT_EQ(MakeGrid(-2, 0, origin).scale, 1.0 / 100.0);
    EXPECT_EQ(MakeGrid(-2, 0, origin).step, 100.0);
    EXPECT_EQ(MakeGrid(22, 0, origin).scale, 1e22);
    EXPECT_TRUE(std::isinf(MakeGrid(309, 0, origin).scale));
}

TEST(ConvertAndRoundActive, ReadsTheActiveSettings) {
    const SettingsRecord saved = ActiveSettings;
    ActiveSettings = SettingsRecord{};
    EXPECT_DOUBLE_EQ(ConvertAndRound(2.5), 3.0);  // all zero: whole units
    ActiveSettings.d_point = 3;
    ActiveSettings.inchmm = 1;
    EXPECT_DOUBLE_EQ(ConvertAndRound(1.0), 25.401);
    ActiveSettings = saved;
}

TEST(DirectionAngleTest, CoversEveryQuadrantAndTheVerticals) {
    const double o[2] = {1, 1};
    struct {
        double x, y, angle;
    } cases[] = {{1, 1, 0.0},         {2, 1, 0.0},          {2, 2, kPi / 4},
                 {1, 3, kPi / 2},     {0, 2, 3 * kPi / 4},  {0, 1, kPi},
                 {0, 0, 5 * kPi / 4}, {1, -1, 3 * kPi / 2}, {2, 0, 7 * kPi / 4}};
    for (const auto& c : cases) {
        const double b[2] = {c.x, c.y};
        const double a = DirectionAngle(o, b);
        EXPECT_NEAR(a, c.angle, 1e-12) << c.x << "," << c.y;
        EXPECT_GE(a, 0.0);
        EXPECT_LT(a, 2 * kPi);
    }
}

TEST(FormatCountTest, ReplacesThePlaceholderWithinTheBuffer) {
    VekChar out[msg::kFormatCapacity];
    const VekChar pattern[] = {'a', '%', 'd', 'b', 0};
    auto text = [&](int32_t v) {
        msg::FormatCount(out, msg::kFormatCapacity, pattern, v);
        return std::u16string(out, out + std::char_traits<VekChar>::length(out));
    };
    EXPECT_EQ(text(3000), u"a3000b");
    EXPECT_EQ(text(0), u"a0b");
    EXPECT_EQ(text(-12), u"a-12b");
    EXPECT_EQ(text(std::numeric_limits<int32_t>::min()), u"a-2147483648b");
    VekChar small[4];
    msg::FormatCount(small, 4, pattern, 3000);
    EXPECT_EQ(std::u16string(small, small + 3), u"a30");
    EXPECT_EQ(small[3], 0);
}

// Rounding of a hand-filled buffer; the stand-in host answers the
// geometric calls.
class RoundBufferTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        buffer = std::make_unique<FigureBuffer>();
        buffer->count = 0;
    }
    FigureRecord& Add(uint32_t type, const FigureRecord& figure) {
        ElementSlot& slot = buffer->slots[buffer->count++];
        slot.elementType = type;
        slot.figure = figure;
        slot.newElementId = -1;
        return slot.figure;
    }
    FigureRecord& At(int k) { return buffer->slots[k].figure; }
    bool Round() { return RoundFigureBuffer(ActiveGrid(), *buffer); }
    std::unique_ptr<FigureBuffer> buffer;
};

TEST_F(RoundBufferTest, LineOnTheGridAndOffIt) {
    Settings(3);
    Add(VEK_LINE, vekhost::Line(0.125, -0.125, 1, 2));
    ASSERT_TRUE(Round());
    EXPECT_DOUBLE_EQ(At(0).p1[0], 0.125);
    EXPECT_DOUBLE_EQ(At(0).p1[1], -0.125);
    Settings(2);
    ASSERT_TRUE(Round());
    EXPECT_DOUBLE_EQ(At(0).p1[0], 0.13);
    EXPECT_DOUBLE_EQ(At(0).p1[1], -0.12);
    EXPECT_DOUBLE_EQ(At(0).p2[0], 1.0);
    EXPECT_DOUBLE_EQ(At(0).p2[1], 2.0);
}

TEST_F(RoundBufferTest, ReferencePointIsFixedInEveryUnitMode) {
    RefPoint[0] = 10.3;
    RefPoint[1] = -20.7;
    for (int32_t mode : {0, 1, 2}) {
        Settings(3, mode);
        buffer->count = 0;
        Add(VEK_LINE, vekhost::Line(10.3, -20.7, 11.3, -20.7));
        ASSERT_TRUE(Round());
        EXPECT_EQ(At(0).p1[0], 10.3) << mode;
        EXPECT_EQ(At(0).p1[1], -20.7) << mode;
        const double expected = mode == 1 ? 25.401 : mode == 2 ? 0.039 : 1.0;
        EXPECT_NEAR(At(0).p2[0] - 10.3, expected, 1e-9) << mode;
    }
}

TEST_F(RoundBufferTest, NegativeDecimalPlacesRoundOffsetsAndLengths) {
    Settings(-1);
    RefPoint[0] = 3;
    RefPoint[1] = 4;
    Add(VEK_CIRCLE, vekhost::Circle(18, 4 - 14, 15));
    ASSERT_TRUE(Round());
    EXPECT_DOUBLE_EQ(At(0).p2[0], 20.0);    // radius
    EXPECT_DOUBLE_EQ(At(0).p1[0], 23.0);    // 15 from the reference becomes 20
    EXPECT_DOUBLE_EQ(At(0).p1[1], 4 - 10);  // -14 becomes -10
}

TEST_F(RoundBufferTest, OtherKindsByElementType) {
    Settings(1);
    FigureRecord four = Record(VEK_POINT_LENGTHS);
    four.p1[0] = 1.26;
    four.p2[0] = 2.34;
    four.p2[1] = 5.55;
    four.p3[0] = 9.99;  // not a field of this kind
    Add(VEK_POINT_LENGTHS, four);
    FigureRecord five = Record(VEK_TWO_POINTS);
    five.p1[0] = 1.26;  // left alone
    five.p2[0] = 2.34;
    five.p3[1] = 7.77;
    Add(VEK_TWO_POINTS, five);
    FigureRecord six = Record(VEK_UNCHANGED);
    six.p1[0] = 1.26;
    Add(VEK_UNCHANGED, six);
    FigureRecord corner = Record(VEK_ROUND_CORNER);
    corner.size = 0.44;
    corner.p1[0] = 1.26;
    Add(VEK_ROUND_CORNER, corner);
    Add(VEK_POINT, vekhost::PointRecord(1.26, 3.14));
    Add(42, vekhost::PointRecord(1.26, 3.14));
    ASSERT_TRUE(Round());
    EXPECT_DOUBLE_EQ(At(0).p1[0], 1.3);
    EXPECT_DOUBLE_EQ(At(0).p2[0], 2.3);
    EXPECT_DOUBLE_EQ(At(0).p2[1], 5.6);
    EXPECT_EQ(At(0).p3[0], 9.99);
    EXPECT_EQ(At(1).p1[0], 1.26);
    EXPECT_DOUBLE_EQ(At(1).p2[0], 2.3);
    EXPECT_DOUBLE_EQ(At(1).p3[1], 7.8);
    EXPECT_EQ(At(2).p1[0], 1.26);
    EXPECT_DOUBLE_EQ(At(3).size, 0.4);
    EXPECT_EQ(At(3).p1[0], 1.26);
    EXPECT_DOUBLE_EQ(At(4).p1[0], 1.3);
    EXPECT_DOUBLE_EQ(At(4).p1[1], 3.1);
    EXPECT_EQ(At(5).p1[0], 1.26);
}

TEST_F(RoundBufferTest, NothingNonFiniteIsWritten) {
    for (int32_t d : {309, 400, -309, -400, 2000000000}) {
        Settings(d, 1);
        buffer->count = 0;
        Add(VEK_LINE, vekhost::Line(0.5, 1.5, 2.5, 3.5));
        Add(VEK_CIRCLE, vekhost::Circle(1, 1, 0.75));
        ASSERT_TRUE(Round());
        for (int k = 0; k < 2; ++k) {
            for (double v : {At(k).p1[0], At(k).p1[1], At(k).p2[0], At(k).p2[1]}) {
                EXPECT_TRUE(std::isfinite(v)) << "d=" << d;
            }
        }
        EXPECT_DOUBLE_EQ(At(0).p2[0], 2.5 * 25.40051);
    }
}

TEST_F(RoundBufferTest, LoneArcRoundsCentreRadiusAndAnglesInDegrees) {
    for (int32_t mode : {0, 1}) {
        Settings(1, mode);
        buffer->count = 0;
        const double a1 = 33.33 * kPi / 180, a2 = 123.47 * kPi / 180, r = 2.04;
        Add(VEK_ARC, vekhost::Arc(1.04, 2.06, 1.04 + r * std::cos(a1), 2.06 + r * std::sin(a1),
                                  1.04 + r * std::cos(a2), 2.06 + r * std::sin(a2)));
        ASSERT_TRUE(Round());
        const double f = mode == 1 ? 25.40051 : 1.0;
        const double cx = std::floor(1.04 * f * 10 + 0.5) / 10;
        const double cy = std::floor(2.06 * f * 10 + 0.5) / 10;
        const double rr = std::floor(r * f * 10 + 0.5) / 10;
        EXPECT_DOUBLE_EQ(At(0).p1[0], cx);
        EXPECT_DOUBLE_EQ(At(0).p1[1], cy);
        EXPECT_DOUBLE_EQ(At(0).size, rr);
        // Angles rounded to one place in degrees, whatever the unit mode.
        const double b1 = 33.3 * kPi / 180, b2 = 123.5 * kPi / 180;
        EXPECT_NEAR(At(0).p2[0], cx + rr * std::cos(b1), 1e-9);
        EXPECT_NEAR(At(0).p2[1], cy + rr * std::sin(b1), 1e-9);
        EXPECT_NEAR(At(0).p3[0], cx + rr * std::cos(b2), 1e-9);
        EXPECT_NEAR(At(0).p3[1], cy + rr * std::sin(b2), 1e-9);
    }
}

TEST_F(RoundBufferTest, HalfCircleCentreMidwayBetweenRoundedEnds) {
    Settings(2);
    Add(VEK_LINE, vekhost::Line(-3, 0, -0.766, 0));
    Add(VEK_ARC, vekhost::Arc(0.235, 0, 1.236, 0, -0.766, 0));
    ASSERT_TRUE(Round());
    EXPECT_DOUBLE_EQ(At(1).p2[0], 1.24);
    EXPECT_DOUBLE_EQ(At(1).p3[0], -0.77);
    EXPECT_NEAR(At(1).p1[0], 0.235, 1e-12);  // not on the grid
    EXPECT_NEAR(At(1).p1[1], 0.0, 1e-12);
    EXPECT_NEAR(At(1).size, 1.005, 1e-12);
    EXPECT_EQ(vekhost::CallCount("VekAriTanCir2Pnts"), 0);
}

// A quarter arc among lines: end points on the grid, the centre found by the
// host for the rounded radius, the radius itself rounded.
TEST_F(RoundBufferTest, ArcAmongOthersPassesThroughRoundedEnds) {
    Settings(2);
    const double r = 1.2345;
    Add(VEK_LINE, vekhost::Line(0, -1, r, 0));
    Add(VEK_ARC, vekhost::Arc(0, 0, r, 0, 0, r));
    ASSERT_TRUE(Round());
    const FigureRecord& arc = At(1);
    EXPECT_DOUBLE_EQ(arc.p2[0], 1.23);
    EXPECT_DOUBLE_EQ(arc.p3[1], 1.23);
    EXPECT_DOUBLE_EQ(arc.size, 1.23);
    EXPECT_NEAR(std::hypot(arc.p2[0] - arc.p1[0], arc.p2[1] - arc.p1[1]), 1.23, 1e-9);
    EXPECT_NEAR(std::hypot(arc.p3[0] - arc.p1[0], arc.p3[1] - arc.p1[1]), 1.23, 1e-9);
    // Of the two centres the one nearer the rounded centre (0, 0) is kept.
    EXPECT_LT(std::hypot(arc.p1[0], arc.p1[1]), 0.1);
    EXPECT_EQ(arc.direction, 0u);
}

// The rounded ends are 2.00 apart; radii below 1.00 give no centre.
FigureRecord ArcOverAChordOfTwo(double radius) {
    FigureRecord arc = vekhost::Arc(0, 0.5, -1.003, 0, 1.003, 0, true);
    arc.size = radius;
    return arc;
}

TEST_F(RoundBufferTest, CorrectionLoopTriesRadiiAroundTheRoundedOne) {
    Settings(2);
    Add(VEK_LINE, vekhost::Line(-1.003, -1, -1.003, 0));
    // The rounded ends are 1.99 apart: radii up to 0.99 give no centre.
    FigureRecord arc = vekhost::Arc(0, 0.5, -1.003, 0, 0.993, 0, true);
    arc.size = 0.98;
    Add(VEK_ARC, arc);
    std::vector<double> tried;
    vekhost::FailWhen("VekAriTanCir2Pnts", [&](const std::vector<double>& a) {
        tried.push_back(a[0]);
        return false;
    });
    ASSERT_TRUE(Round());
    // 0.98 itself, then 0.89, 0.90, ... up to 1.00, the first with a centre.
    ASSERT_EQ(tried.size(), 13u);
    EXPECT_DOUBLE_EQ(tried[0], 0.98);
    for (size_t i = 1; i < tried.size(); ++i) {
        EXPECT_NEAR(tried[i], 0.98 + (double(i) - 10) * 0.01, 1e-12) << i;
    }
    EXPECT_DOUBLE_EQ(At(1).size, 0.98);      // the record keeps the rounded radius
    EXPECT_NEAR(At(1).p1[0], -0.005, 1e-9);  // a centre of radius 1.00, above
    EXPECT_NEAR(At(1).p1[1], std::sqrt(1 - 0.995 * 0.995), 1e-9);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(RoundBufferTest, ArcThatCannotBeCorrectedStopsTheBuffer) {
    Settings(2);
    Add(VEK_LINE, vekhost::Line(0.123, -1, -1.003, 0));
    Add(VEK_ARC, ArcOverAChordOfTwo(0.5));
    Add(VEK_LINE, vekhost::Line(1.003, 0, 0.123, 5.555));
    EXPECT_FALSE(Round());
    EXPECT_EQ(vekhost::CallCount("VekAriTanCir2Pnts"), 21);
    EXPECT_EQ(Errors(), std::vector<std::u16string>{kArcLoop});
    EXPECT_DOUBLE_EQ(At(0).p1[0], 0.12);  // before the arc: rounded
    EXPECT_EQ(At(2).p2[1], 5.555);        // after it: untouched
}

// The rounded centre falls on the chord of the rounded ends, equally far
// from both candidate centres: the arc keeps the side its centre was on.
TEST_F(RoundBufferTest, CentreOnTheChordKeepsTheOriginalSide) {
    for (bool clockwise : {false, true}) {
        SCOPED_TRACE(clockwise ? "clockwise" : "counter-clockwise");
        buffer->count = 0;
        Settings(0);
        Add(VEK_LINE, vekhost::Line(-5.49, -3, -5.49, 0));
        Add(VEK_ARC, vekhost::Arc(0, 0.45, -5.49, 0, 5.49, 0, clockwise));
        ASSERT_TRUE(Round());
        EXPECT_DOUBLE_EQ(At(1).size, 6.0);
        EXPECT_NEAR(At(1).p1[0], 0.0, 1e-9);
        EXPECT_NEAR(At(1).p1[1], std::sqrt(11.0), 1e-9);  // above the chord, as before
    }
}

// -1 from a host call is a failure, never a count, a distance or an angle:
// the arc stops at once instead of being rebuilt from it.
TEST_F(RoundBufferTest, HostFailureInAnArcRebuildStopsAtOnce) {
    for (const char* call : {"VekAriTanCir2Pnts", "VekAriLen2Pnts", "VekAriAngRad2Pnts"}) {
        SCOPED_TRACE(call);
        vekhost::Reset();
        buffer->count = 0;
        Settings(2);
        Add(VEK_LINE, vekhost::Line(0, -1, 1.2345, 0));
        Add(VEK_ARC, vekhost::Arc(0, 0, 1.2345, 0, 0, 1.2345));
        vekhost::FailCall(call);
        const int before = vekhost::CallCount("VekAriTanCir2Pnts");
        EXPECT_FALSE(Round());
        EXPECT_LE(vekhost::CallCount("VekAriTanCir2Pnts") - before, 1);
        EXPECT_EQ(Errors(), std::vector<std::u16string>{kArcLoop});
    }
}

// A chamfer stands for the sharp corner its neighbours meet in: the corner is
// rounded like a point, both neighbours run to it (the host cuts the chamfer
// again), and the size is the setback as drawn, rounded.
TEST_F(RoundBufferTest, ChamferSizeIsItsSetbackAsDrawn) {
    Settings(2);
    Add(VEK_LINE, vekhost::Line(0, 0.004, 1.006, 0.004));
    FigureRecord chamfer = Record(VEK_CHAMFER);
    chamfer.p1[0] = 2.004, chamfer.p1[1] = 0.004;
    chamfer.p2[0] = 1.006, chamfer.p2[1] = 0.004;
    chamfer.p3[0] = 2.004, chamfer.p3[1] = 1.002;
    chamfer.size = 0.998;
    Add(VEK_CHAMFER, chamfer);
    Add(VEK_LINE, vekhost::Line(2.004, 1.002, 2.004, 5));
    ASSERT_TRUE(Round());
    EXPECT_DOUBLE_EQ(At(1).size, 1.0);  // 0.998, not 0.994 from a rounded end
    EXPECT_DOUBLE_EQ(At(0).p2[0], 2.0);
    EXPECT_DOUBLE_EQ(At(0).p2[1], 0.0);
    EXPECT_DOUBLE_EQ(At(2).p1[0], 2.0);
    EXPECT_DOUBLE_EQ(At(2).p1[1], 0.0);
}

// A line at a slant keeps its slant: its end at a rounded corner is not
// rounded where the corner cut it (which would turn the line) but at the
// sharp corner it runs to.
TEST_F(RoundBufferTest, FilletedSlantKeepsItsSharpCornerOnTheGrid) {
    Settings(1);
    // Lines from (0, 0) and (6, 0) meet at (3, 4.0001); a fillet cuts both.
    const double t = 0.5;  // from the sharp corner along each line
    const double ax = 3 - 0.6 * t, ay = 4.0001 - 0.8 * t, bx = 3 + 0.6 * t, by = ay;
    Add(VEK_LINE, vekhost::Line(0, 0, ax, ay));
    FigureRecord fillet = vekhost::Arc(3, 4.0001 - 0.625, ax, ay, bx, by, true);
    fillet.kind = VEK_ROUND_CORNER;
    fillet.size = 0.375;
    Add(VEK_ROUND_CORNER, fillet);
    Add(VEK_LINE, vekhost::Line(bx, by, 6, 0));
    ASSERT_TRUE(Round());
    EXPECT_DOUBLE_EQ(At(0).p2[0], 3.0);
    EXPECT_DOUBLE_EQ(At(0).p2[1], 4.0);
    EXPECT_DOUBLE_EQ(At(2).p1[0], 3.0);
    EXPECT_DOUBLE_EQ(At(2).p1[1], 4.0);
    EXPECT_DOUBLE_EQ(At(1).size, 0.4);
}

TEST_F(RoundBufferTest, ChamferInFirstSlotUsesTheUnroundedLastSlot) {
    Settings(2);
    FigureRecord chamfer = Record(VEK_CHAMFER);
    chamfer.p1[0] = 2.004;
    Add(VEK_CHAMFER, chamfer);
    Add(VEK_LINE, vekhost::Line(2.004, 1, 2.004, 5));
    Add(VEK_LINE, vekhost::Line(0, 0, 1.006, 0));
    ASSERT_TRUE(Round());
    EXPECT_DOUBLE_EQ(At(0).size, 1.0);  // 0.998 from (1.006, 0)
}

// The setback is converted once, whichever slot the chamfer is in.
TEST_F(RoundBufferTest, ChamferUnderUnitConversionIsItsSetbackConverted) {
    for (int32_t mode : {1, 2}) {
        Settings(3, mode);
        RefPoint[0] = 1;
        buffer->count = 0;
        Add(VEK_LINE, vekhost::Line(1, 0, 10, 0));
        FigureRecord chamfer = Record(VEK_CHAMFER);
        chamfer.p1[0] = 11;
        chamfer.size = 1;
        Add(VEK_CHAMFER, chamfer);
        Add(VEK_LINE, vekhost::Line(11, 1, 11, 5));
        ASSERT_TRUE(Round());
        EXPECT_DOUBLE_EQ(At(1).size, mode == 1 ? 25.401 : 0.039) << mode;
    }
}

// In the first slot the chamfer is measured before the last slot is treated:
// both points are still in the old unit, so the distance is converted once.
TEST_F(RoundBufferTest, ChamferInFirstSlotUnderUnitConversionIsConvertedOnce) {
    for (int32_t mode : {1, 2}) {
        Settings(3, mode);
        RefPoint[0] = 1;
        buffer->count = 0;
        FigureRecord chamfer = Record(VEK_CHAMFER);
        chamfer.p1[0] = 11;
        chamfer.size = 1;
        Add(VEK_CHAMFER, chamfer);
        Add(VEK_LINE, vekhost::Line(11, 1, 11, 5));
        Add(VEK_LINE, vekhost::Line(1, 0, 10, 0));
        ASSERT_TRUE(Round());
        EXPECT_DOUBLE_EQ(At(0).size, mode == 1 ? 25.401 : 0.039) << mode;
    }
}

TEST_F(RoundBufferTest, ChamferAfterAnotherKindKeepsItsRoundedSize) {
    Settings(1);
    Add(VEK_CIRCLE, vekhost::Circle(0, 0, 1));
    FigureRecord chamfer = Record(VEK_CHAMFER);
    chamfer.p1[0] = 5;
    chamfer.size = 0.26;
    Add(VEK_CHAMFER, chamfer);
    ASSERT_TRUE(Round());
    EXPECT_DOUBLE_EQ(At(1).size, 0.3);
}

}  // namespace
