// Accuracy against glibc (native builds only): both are within an ulp of
// the true value, so they may differ by one ulp and never by more. Random
// arguments over the ranges the conversion meets (angles in radians and in
// degrees, coordinates in every quadrant) and over every binade; a failure
// prints its seed, TARNEX_SEED=<seed> repeats it.
#include "numeric/PortableMath.h"
#include "tests/numeric/NumericTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <string>

namespace {

using namespace numeric_test;

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = std::numbers::pi / 180;
constexpr int kDraws = 100000;

// The largest distance between ours and glibc's over kDraws arguments, and
// where it was.
struct Worst {
    std::uint64_t ulps = 0;
    std::string at;
};

using Unary = double (*)(double);
using Binary = double (*)(double, double);

struct UnaryRange {
    const char* name;
    std::function<double(Draw&)> argument;
};

struct BinaryRange {
    const char* name;
    std::function<double(Draw&)> y, x;
};

// Near a multiple of pi/2 (up to 10^5 quarter turns), a few doubles off
// the nearest: the arguments whose reduction cancels most.
double NearQuarterTurn(Draw& draw) {
    const double n = std::floor(draw.Between(1, 100000));
    const std::uint64_t word = WordOf(n * (kPi / 2));
    const std::int64_t offset = static_cast<std::int64_t>(draw.Bits() % 17) - 8;
    double x;
    const std::uint64_t moved = word + static_cast<std::uint64_t>(offset);
    std::memcpy(&x, &moved, sizeof x);
    return draw.Coin() ? -x : x;
}

const UnaryRange kAngles[] = {
    {"radians within a turn", [](Draw& d) { return d.Between(-2 * kPi, 2 * kPi); }},
    {"radians to 4000", [](Draw& d) { return d.Between(-4000, 4000); }},
    {"whole degrees", [](Draw& d) { return std::floor(d.Between(-7200, 7200)) * kDegree; }},
    {"degrees with decimals", [](Draw& d) { return d.Between(-3600, 3600) * kDegree; }},
    {"near quarter turns", NearQuarterTurn},
    {"small", [](Draw& d) { return d.AnyBinade(-80, -1); }},
    {"every binade", [](Draw& d) { return d.AnyBinade(-1023, 1023); }},
    {"huge", [](Draw& d) { return d.AnyBinade(20, 1023); }},
};

// Around the bounds of atan's intervals: 7/16, 11/16, 19/16, 39/16.
double NearAtanBound(Draw& draw) {
    static const double kBounds[] = {7.0 / 16, 11.0 / 16, 19.0 / 16, 39.0 / 16};
    const double b = kBounds[draw.Bits() % 4];
    return b + b * 0x1p-50 * draw.Between(-1, 1);
}

const UnaryRange kRatios[] = {
    {"slopes", [](Draw& d) { return d.Between(-3, 3); }},
    {"interval bounds", NearAtanBound},
    {"every binade", [](Draw& d) { return d.AnyBinade(-1023, 1023); }},
};

const BinaryRange kPoints[] = {
    {"unit square", [](Draw& d) { return d.Between(-1, 1); },
     [](Draw& d) { return d.Between(-1, 1); }},
    {"drawing coordinates", [](Draw& d) { return d.Between(-1e4, 1e4); },
     [](Draw& d) { return d.Between(-1e4, 1e4); }},
    {"ratios to 2^140", [](Draw& d) { return d.AnyBinade(-70, 70); },
     [](Draw& d) { return d.AnyBinade(-70, 70); }},
    {"every binade", [](Draw& d) { return d.AnyBinade(-1023, 1023); },
     [](Draw& d) { return d.AnyBinade(-1023, 1023); }},
    {"tiny", [](Draw& d) { return d.AnyBinade(-1023, -1000); },
     [](Draw& d) { return d.AnyBinade(-1023, -990); }},
    {"huge", [](Draw& d) { return d.AnyBinade(990, 1023); },
     [](Draw& d) { return d.AnyBinade(1000, 1023); }},
    {"one far smaller", [](Draw& d) { return d.AnyBinade(-75, -45); },
     [](Draw& d) { return d.AnyBinade(-3, 3); }},
};

Worst Compare(Unary ours, Unary theirs, const UnaryRange& range, std::uint64_t seed) {
    Draw draw(seed);
    Worst worst;
    for (int i = 0; i < kDraws; ++i) {
        const double x = range.argument(draw);
        const std::uint64_t ulps = UlpsApart(ours(x), theirs(x));
        if (ulps > worst.ulps) {
            worst = {ulps, Hex(x)};
        }
    }
    return worst;
}

Worst Compare(Binary ours, Binary theirs, const BinaryRange& range, std::uint64_t seed) {
    Draw draw(seed);
    Worst worst;
    for (int i = 0; i < kDraws; ++i) {
        const double y = range.y(draw);
        const double x = range.x(draw);
        const std::uint64_t ulps = UlpsApart(ours(y, x), theirs(y, x));
        if (ulps > worst.ulps) {
            worst = {ulps, Hex(y) + ", " + Hex(x)};
        }
    }
    return worst;
}

TEST(PortableMathAccuracy, WithinAnUlpOfGlibc) {
    const std::uint64_t seed = PropertySeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    const struct {
        const char* name;
        Unary ours, theirs;
    } angleFunctions[] = {
        {"Sin", numeric::Sin, [](double x) { return std::sin(x); }},
        {"Cos", numeric::Cos, [](double x) { return std::cos(x); }},
        {"Tan", numeric::Tan, [](double x) { return std::tan(x); }},
    };
    for (const auto& f : angleFunctions) {
        for (const UnaryRange& range : kAngles) {
            const Worst worst = Compare(f.ours, f.theirs, range, seed);
            EXPECT_LE(worst.ulps, 1u) << f.name << ", " << range.name << ": at " << worst.at;
        }
    }
    for (const UnaryRange& range : kRatios) {
        const Worst worst = Compare(
            numeric::Atan, [](double x) { return std::atan(x); }, range, seed);
        EXPECT_LE(worst.ulps, 1u) << "Atan, " << range.name << ": at " << worst.at;
    }
    const struct {
        const char* name;
        Binary ours, theirs;
    } pointFunctions[] = {
        {"Atan2", numeric::Atan2, [](double y, double x) { return std::atan2(y, x); }},
        {"Hypot", numeric::Hypot, [](double y, double x) { return std::hypot(y, x); }},
    };
    for (const auto& f : pointFunctions) {
        for (const BinaryRange& range : kPoints) {
            const Worst worst = Compare(f.ours, f.theirs, range, seed);
            EXPECT_LE(worst.ulps, 1u) << f.name << ", " << range.name << ": at " << worst.at;
        }
    }
}

}  // namespace
