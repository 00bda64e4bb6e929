// The portable functions: exact special values, accuracy against the C
// library natively (glibc is an implementation of its own), and the same
// bits from every build (digests committed here, checked natively and under
// Wine).
#include "numeric/PortableMath.h"
#include "tests/numeric/NumericTestSupport.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>
#include <string>

namespace {

using namespace numeric_test;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = std::numbers::pi;

// The same bits, or both NaN.
bool Same(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || WordOf(a) == WordOf(b);
}

TEST(PortableMath, SpecialValues) {
    const struct {
        const char* what;
        double got;
        double expected;
    } cases[] = {
        {"Sin(+0)", numeric::Sin(0.0), 0.0},
        {"Sin(-0)", numeric::Sin(-0.0), -0.0},
        {"Sin(inf)", numeric::Sin(kInf), kNaN},
        {"Sin(-inf)", numeric::Sin(-kInf), kNaN},
        {"Sin(nan)", numeric::Sin(kNaN), kNaN},
        {"Sin(1e-300)", numeric::Sin(1e-300), 1e-300},
        // The double nearest a multiple of pi/2 (6381956970095103 2^797, a
        // remainder of 2^-61): the reduction keeps enough bits of 2/pi.
        // Expected values computed exactly; glibc's cos is 8 ulps off here.
        {"Sin(hardest)", numeric::Sin(0x1.6ac5b262ca1ffp+849), 1.0},
        {"Cos(hardest)", numeric::Cos(0x1.6ac5b262ca1ffp+849), -0x1.14ae72e6ba22fp-61},
        {"Tan(hardest)", numeric::Tan(0x1.6ac5b262ca1ffp+849), -0x1.d9ba9a7975636p+60},
        {"Sin(1e22)", numeric::Sin(1e22), -0x1.b453ab76bf397p-1},
        {"Cos(+0)", numeric::Cos(0.0), 1.0},
        {"Cos(-0)", numeric::Cos(-0.0), 1.0},
        {"Cos(inf)", numeric::Cos(kInf), kNaN},
        {"Cos(nan)", numeric::Cos(kNaN), kNaN},
        {"Tan(+0)", numeric::Tan(0.0), 0.0},
        {"Tan(-0)", numeric::Tan(-0.0), -0.0},
        {"Tan(-inf)", numeric::Tan(-kInf), kNaN},
        {"Tan(pi/4)", numeric::Tan(kPi / 4), 0.9999999999999999},
        {"4 Atan(1)", 4 * numeric::Atan(1.0), kPi},
        {"Atan(+0)", numeric::Atan(0.0), 0.0},
        {"Atan(-0)", numeric::Atan(-0.0), -0.0},
        {"Atan(inf)", numeric::Atan(kInf), kPi / 2},
        {"Atan(-inf)", numeric::Atan(-kInf), -kPi / 2},
        {"Atan(nan)", numeric::Atan(kNaN), kNaN},
        {"Atan2(+0, +0)", numeric::Atan2(0.0, 0.0), 0.0},
        {"Atan2(-0, +0)", numeric::Atan2(-0.0, 0.0), -0.0},
        {"Atan2(+0, -0)", numeric::Atan2(0.0, -0.0), kPi},
        {"Atan2(-0, -0)", numeric::Atan2(-0.0, -0.0), -kPi},
        {"Atan2(+0, -1)", numeric::Atan2(0.0, -1.0), kPi},
        {"Atan2(-0, -1)", numeric::Atan2(-0.0, -1.0), -kPi},
        {"Atan2(+0, 1)", numeric::Atan2(0.0, 1.0), 0.0},
        {"Atan2(1, 0)", numeric::Atan2(1.0, 0.0), kPi / 2},
        {"Atan2(-1, -0)", numeric::Atan2(-1.0, -0.0), -kPi / 2},
        {"Atan2(1, 1)", numeric::Atan2(1.0, 1.0), kPi / 4},
        {"Atan2(1, -1)", numeric::Atan2(1.0, -1.0), 3 * kPi / 4},
        {"Atan2(inf, inf)", numeric::Atan2(kInf, kInf), kPi / 4},
        {"Atan2(-inf, -inf)", numeric::Atan2(-kInf, -kInf), -3 * kPi / 4},
        {"Atan2(1, inf)", numeric::Atan2(1.0, kInf), 0.0},
        {"Atan2(-1, inf)", numeric::Atan2(-1.0, kInf), -0.0},
        {"Atan2(1, -inf)", numeric::Atan2(1.0, -kInf), kPi},
        {"Atan2(-inf, 5)", numeric::Atan2(-kInf, 5.0), -kPi / 2},
        {"Atan2(1e300, 1e-300)", numeric::Atan2(1e300, 1e-300), kPi / 2},
        {"Atan2(1e-300, -1e300)", numeric::Atan2(1e-300, -1e300), kPi},
        {"Atan2(nan, 1)", numeric::Atan2(kNaN, 1.0), kNaN},
        {"Atan2(1, nan)", numeric::Atan2(1.0, kNaN), kNaN},
        {"Hypot(3, 4)", numeric::Hypot(3.0, 4.0), 5.0},
        {"Hypot(-5, 12)", numeric::Hypot(-5.0, 12.0), 13.0},
        {"Hypot(0, -0)", numeric::Hypot(0.0, -0.0), 0.0},
        {"Hypot(-7, 0)", numeric::Hypot(-7.0, 0.0), 7.0},
        {"Hypot(inf, nan)", numeric::Hypot(kInf, kNaN), kInf},
        {"Hypot(nan, -inf)", numeric::Hypot(kNaN, -kInf), kInf},
        {"Hypot(nan, 1)", numeric::Hypot(kNaN, 1.0), kNaN},
        {"Hypot(1e308, 1e308)", numeric::Hypot(1e308, 1e308), 1.4142135623730951e308},
        {"Hypot(3e-320, 4e-320)", numeric::Hypot(3e-320, 4e-320), 5e-320},
        {"Hypot(max, max)", numeric::Hypot(1.7976931348623157e308, 1e308), kInf},
        {"PowerOfTen(0)", numeric::PowerOfTen(0), 1.0},
        {"PowerOfTen(-3)", numeric::PowerOfTen(-3), 1000.0},
        {"PowerOfTen(22)", numeric::PowerOfTen(22), 1e22},
        {"PowerOfTen(309)", numeric::PowerOfTen(309), kInf},
        {"PowerOfTen(INT32_MIN)", numeric::PowerOfTen(std::numeric_limits<std::int32_t>::min()),
         kInf},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Same(c.got, c.expected))
            << c.what << " = " << Hex(c.got) << ", expected " << Hex(c.expected);
    }
}

// Every power of ten a double holds exactly comes out exactly.
TEST(PortableMath, PowersOfTenExact) {
    for (int n = 0; n <= 22; ++n) {
        const std::string text = "1e" + std::to_string(n);
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        EXPECT_EQ(numeric::PowerOfTen(n), expected) << text;
        EXPECT_EQ(numeric::PowerOfTen(-n), expected) << text;
    }
}

// Sines and cosines of the quarter turns, and the identities that hold
// exactly at the reduced arguments the functions share.
TEST(PortableMath, QuarterTurnsAndSymmetry) {
    Draw draw(PropertySeed());
    for (int i = 0; i < 20000; ++i) {
        const double x = draw.Coin() ? draw.Between(-4000, 4000) : draw.AnyBinade(-1023, 1023);
        SCOPED_TRACE("x = " + Hex(x));
        ASSERT_TRUE(Same(numeric::Sin(-x), -numeric::Sin(x)));
        ASSERT_TRUE(Same(numeric::Cos(-x), numeric::Cos(x)));
        ASSERT_TRUE(Same(numeric::Tan(-x), -numeric::Tan(x)));
        ASSERT_TRUE(Same(numeric::Atan(-x), -numeric::Atan(x)));
        const double y = draw.AnyBinade(-1023, 1023);
        ASSERT_TRUE(Same(numeric::Hypot(x, y), numeric::Hypot(-y, x)));
        ASSERT_TRUE(Same(numeric::Atan2(-y, x), -numeric::Atan2(y, x)));
    }
    EXPECT_EQ(numeric::Sin(kPi / 2), 1.0);
    EXPECT_EQ(numeric::Cos(kPi), -1.0);
    EXPECT_EQ(numeric::Sin(-kPi / 2), -1.0);
    EXPECT_EQ(numeric::Atan2(1.0, 0.0) * 2, kPi);
}

}  // namespace
