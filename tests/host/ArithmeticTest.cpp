// Distances, directions and the circles of a given radius through two points.
#include "tests/host/HostFixture.h"

#include <numbers>
#include <random>

namespace {
constexpr double kPi = std::numbers::pi;
}

class ArithmeticTest : public HostTest {};

TEST_F(ArithmeticTest, DistanceBetweenPoints) {
    const double a[2] = {1, 2};
    const double b[2] = {4, 6};
    EXPECT_DOUBLE_EQ(VekAriLen2Pnts(a, b), 5.0);
    EXPECT_DOUBLE_EQ(VekAriLen2Pnts(b, a), 5.0);
    EXPECT_EQ(VekAriLen2Pnts(a, a), 0.0);
    // No overflow for huge coordinates.
    const double big1[2] = {-1e300, 0};
    const double big2[2] = {1e300, 0};
    EXPECT_DOUBLE_EQ(VekAriLen2Pnts(big1, big2), 2e300);
}

struct AngleCase {
    double x, y;
    double expected;
};

class AngleTest : public ArithmeticTest, public ::testing::WithParamInterface<AngleCase> {};

TEST_P(AngleTest, AngleIsInZeroToTwoPi) {
    const double c[2] = {3, -2};
    const double p[2] = {3 + GetParam().x, -2 + GetParam().y};
    double a = VekAriAngRad2Pnts(c, p);
    EXPECT_GE(a, 0.0);
    EXPECT_LT(a, 2 * kPi);
    EXPECT_NEAR(a, GetParam().expected, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Directions, AngleTest,
                         ::testing::Values(AngleCase{1, 0, 0}, AngleCase{1, 1, kPi / 4},
                                           AngleCase{0, 1, kPi / 2}, AngleCase{-1, 0, kPi},
                                           AngleCase{0, -1, 1.5 * kPi},
                                           AngleCase{1, -1, 1.75 * kPi},
                                           // just below the x axis: 2 pi would round up
                                           AngleCase{1, -1e-17, 0}, AngleCase{0, 0, 0}));

TEST_F(ArithmeticTest, TwoCentresNearerTheHintFirst) {
    const double a[2] = {0, 0};
    const double b[2] = {6, 0};
    const double up[2] = {3, 10};
    const double down[2] = {3, -10};
    double r[4] = {};
    ASSERT_EQ(VekAriTanCir2Pnts(5, a, b, up, r), 2);
    EXPECT_POINT_NEAR(r, 3, 4, 1e-12);
    EXPECT_POINT_NEAR(r + 2, 3, -4, 1e-12);
    ASSERT_EQ(VekAriTanCir2Pnts(5, a, b, down, r), 2);
    EXPECT_POINT_NEAR(r, 3, -4, 1e-12);
    EXPECT_POINT_NEAR(r + 2, 3, 4, 1e-12);
    // Without a hint: the centre to the left of a -> b first.
    ASSERT_EQ(VekAriTanCir2Pnts(5, a, b, nullptr, r), 2);
    EXPECT_POINT_NEAR(r, 3, 4, 1e-12);
    ASSERT_EQ(VekAriTanCir2Pnts(5, b, a, nullptr, r), 2);
    EXPECT_POINT_NEAR(r, 3, -4, 1e-12);
}

struct LimitCase {
    double radius;
    int32_t count;
};

class TangentLimitTest : public ArithmeticTest, public ::testing::WithParamInterface<LimitCase> {};

// Two points 2 apart: radius 1 is the limit where the two circles become one.
TEST_P(TangentLimitTest, CountAroundTwoRadiiEqualToTheDistance) {
    const LimitCase& c = GetParam();
    for (double offset : {0.0, 1e6}) {  // also far from the origin
        const double a[2] = {offset + 1, offset - 1};
        const double b[2] = {offset + 3, offset - 1};
        const double hint[2] = {offset + 2, offset + 5};
        double r[4] = {-7, -7, -7, -7};
        ASSERT_EQ(VekAriTanCir2Pnts(c.radius, a, b, hint, r), c.count) << c.radius;
        for (int i = 0; i < c.count; ++i) {
            EXPECT_NEAR(Dist(r + 2 * i, a), c.radius, 1e-9 * (1 + offset));
            EXPECT_NEAR(Dist(r + 2 * i, b), c.radius, 1e-9 * (1 + offset));
        }
        if (c.count == 1) {
            EXPECT_POINT_NEAR(r, offset + 2, offset - 1, 1e-12 * (1 + offset));
        }
        if (c.count == 2) {
            EXPECT_GT(r[1], r[3]);  // the one nearer the hint first
        }
        for (int i = 2 * c.count; i < 4; ++i) {
            EXPECT_EQ(r[i], -7);  // untouched
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Radii, TangentLimitTest,
                         ::testing::Values(LimitCase{1.0, 1}, LimitCase{1.0 + 1e-13, 1},
                                           LimitCase{1.0 - 1e-13, 1}, LimitCase{1.0 - 1e-6, 0},
                                           LimitCase{1.0 + 1e-6, 2}, LimitCase{0.5, 0},
                                           LimitCase{1.5, 2}, LimitCase{1e6, 2}));

TEST_F(ArithmeticTest, NoCentresForDegenerateInput) {
    const double a[2] = {0, 0};
    const double b[2] = {2, 0};
    double r[4] = {};
    EXPECT_EQ(VekAriTanCir2Pnts(1, a, a, nullptr, r), 0);  // one point: any circle
    EXPECT_EQ(VekAriTanCir2Pnts(0, a, b, nullptr, r), 0);
    EXPECT_EQ(VekAriTanCir2Pnts(-3, a, b, nullptr, r), 0);
    EXPECT_EQ(VekAriTanCir2Pnts(std::nan(""), a, b, nullptr, r), 0);
    EXPECT_EQ(VekAriTanCir2Pnts(INFINITY, a, b, nullptr, r), 0);
    EXPECT_EQ(VekAriTanCir2Pnts(1, a, b, nullptr, nullptr), -1);
}

// Chords of every length anywhere in the drawing, their end points rounded as
// stored: half the chord gives the one centre between them, a larger radius
// two centres at that radius from both points, a smaller one none.
TEST_F(ArithmeticTest, CentresOfAnyChordAnywhere) {
    const uint64_t seed = PropertySeed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937_64 gen(seed);
    auto u = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(gen);
    };
    for (int i = 0; i < 300 && !HasFailure(); ++i) {
        SCOPED_TRACE(::testing::Message() << "case " << i);
        const double d = std::pow(10.0, u(-4, 3));
        const double far = 1e5 * u(0, 1);
        const double at = u(0, 2 * kPi);
        const double dir = u(0, 2 * kPi);
        const double a[2] = {far * std::cos(at), far * std::sin(at)};
        const double b[2] = {a[0] + d * std::cos(dir), a[1] + d * std::sin(dir)};
        double r[4] = {};
        // The chord as measured, and as drawn before its end was rounded.
        for (double half : {VekAriLen2Pnts(a, b) / 2, d / 2}) {
            ASSERT_EQ(VekAriTanCir2Pnts(half, a, b, nullptr, r), 1) << "chord " << d;
            EXPECT_NEAR(r[0], (a[0] + b[0]) / 2, 1e-6 * d);
            EXPECT_NEAR(r[1], (a[1] + b[1]) / 2, 1e-6 * d);
        }
        const double radius = d / 2 * u(1.01, 10);
        ASSERT_EQ(VekAriTanCir2Pnts(radius, a, b, nullptr, r), 2) << "chord " << d;
        for (int k = 0; k < 2; ++k) {
            EXPECT_NEAR(Dist(r + 2 * k, a), radius, 1e-6 * radius);
            EXPECT_NEAR(Dist(r + 2 * k, b), radius, 1e-6 * radius);
        }
        EXPECT_EQ(VekAriTanCir2Pnts(d / 2 * 0.99, a, b, nullptr, r), 0) << "chord " << d;
        // Near the origin a radius a millionth over half the chord is no tie.
        const double o[2] = {0, 0};
        const double e[2] = {b[0] - a[0], b[1] - a[1]};
        EXPECT_EQ(VekAriTanCir2Pnts(VekAriLen2Pnts(o, e) / 2 * (1 + 1e-6), o, e, nullptr, r), 2);
    }
}
