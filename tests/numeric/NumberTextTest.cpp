// Numbers as text against the standard library's std::to_chars and
// std::from_chars (native builds only: emscripten's library has neither).
// Random bit patterns of every kind and magnitude, decimals of every length
// and exponent, and damaged texts; a failure prints its seed,
// TARNEX_SEED=<seed> repeats it.
#include "numeric/NumberText.h"
#include "tests/numeric/NumericTestSupport.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>

namespace {

using namespace numeric_test;

constexpr int kDraws = 200000;

double FromBits(std::uint64_t w) {
    double x;
    std::memcpy(&x, &w, sizeof x);
    return x;
}

// A double of any kind: any bit pattern (NaNs, infinities, subnormals among
// them), any binade, or a short decimal (an integer or a few decimal places,
// up to 10^25), whose digits decide between fixed and scientific notation.
double AnyDouble(Draw& draw) {
    switch (draw.Bits() % 4) {
        case 0:
            return FromBits(draw.Bits());
        case 1:
            return draw.AnyBinade(-1023, 1023);
        case 2: {
            const double whole = std::floor(draw.Unit() * std::pow(10.0, double(draw.Bits() % 26)));
            return draw.Coin() ? -whole : whole;
        }
        default: {
            const double places = std::pow(10.0, double(draw.Bits() % 12));
            return double(draw.Bits() % 1000000) / places;
        }
    }
}

std::string StdText(double x, std::chars_format format, int precision) {
    char text[400];
    const auto end = precision < 0 ? std::to_chars(text, text + sizeof text, x)
                                   : std::to_chars(text, text + sizeof text, x, format, precision);
    return {text, end.ptr};
}

template <typename Write>
std::string OurText(Write write) {
    char text[400];
    const auto end = write(text, text + sizeof text);
    EXPECT_EQ(end.ec, std::errc{});
    return {text, end.ptr};
}

TEST(NumberText, WritesAsToChars) {
    const std::uint64_t seed = PropertySeed();
    Draw draw(seed);
    for (int i = 0; i < kDraws; ++i) {
        const double x = AnyDouble(draw);
        const int precision = int(draw.Bits() % 21);
        const std::string shortest =
            OurText([&](char* f, char* l) { return numeric::WriteDouble(f, l, x); });
        ASSERT_EQ(shortest, StdText(x, std::chars_format::general, -1))
            << Hex(x) << " seed " << seed;
        if (i % 4 != 0) {
            continue;  // printf's forms are slower to write: every fourth draw
        }
        ASSERT_EQ(
            OurText([&](char* f, char* l) { return numeric::WriteGeneral(f, l, x, precision); }),
            StdText(x, std::chars_format::general, precision))
            << Hex(x) << " %." << precision << "g, seed " << seed;
        ASSERT_EQ(
            OurText([&](char* f, char* l) { return numeric::WriteFixed(f, l, x, precision); }),
            StdText(x, std::chars_format::fixed, precision))
            << Hex(x) << " %." << precision << "f, seed " << seed;
    }
}

// Every power of ten and its neighbours: where the notation changes.
TEST(NumberText, WritesPowersOfTenAsToChars) {
    for (int e = -325; e <= 308; ++e) {
        const double p = std::pow(10.0, double(e));
        for (const double x :
             {std::nextafter(p, 0.0), p, std::nextafter(p, INFINITY), 2 * p, 5 * p}) {
            ASSERT_EQ(OurText([&](char* f, char* l) { return numeric::WriteDouble(f, l, x); }),
                      StdText(x, std::chars_format::general, -1))
                << Hex(x);
        }
    }
}

// A buffer too small: value_too_large and `last`, as to_chars reports it.
TEST(NumberText, ReportsTooSmallBuffers) {
    char text[8];
    const auto shortest = numeric::WriteDouble(text, text + 8, 0.1234567);
    EXPECT_EQ(shortest.ec, std::errc::value_too_large);
    EXPECT_EQ(shortest.ptr, text + 8);
    const auto fixed = numeric::WriteFixed(text, text + 8, 1e10, 0);
    EXPECT_EQ(fixed.ec, std::errc::value_too_large);
    const auto general = numeric::WriteGeneral(text, text + 8, 1.5, 20);
    EXPECT_EQ(general.ec, std::errc{});
    EXPECT_EQ(std::string(text, general.ptr), "1.5");
}

// A number's text: a double's shortest or a long decimal with any exponent
// (beyond the range of doubles too), then maybe damaged (cut short, a stray
// character, a sign or a word in front).
std::string AnyText(Draw& draw) {
    std::string text;
    if (draw.Coin()) {
        text = StdText(AnyDouble(draw), std::chars_format::general, -1);
    } else {
        const int digits = 1 + int(draw.Bits() % 30);
        for (int i = 0; i < digits; ++i) {
            text += char('0' + draw.Bits() % 10);
        }
        if (draw.Coin()) {
            text.insert(draw.Bits() % (text.size() + 1), ".");
        }
        if (draw.Coin()) {
            text += (draw.Coin() ? "e" : "E") + std::to_string(int(draw.Bits() % 800) - 400);
        }
    }
    static const char* const kFronts[] = {"-", "+", " ", ".", "-.", "inf", "-nan", "e", "0x"};
    static const char kStrays[] = "+-.eE xn0";
    switch (draw.Bits() % 6) {
        case 0:
            text.resize(draw.Bits() % (text.size() + 1));
            break;
        case 1:
            text.insert(draw.Bits() % (text.size() + 1), 1,
                        kStrays[draw.Bits() % (sizeof kStrays - 1)]);
            break;
        case 2:
            text = kFronts[draw.Bits() % std::size(kFronts)] + text;
            break;
        default:
            break;
    }
    return text;
}

TEST(NumberText, ReadsAsFromChars) {
    const std::uint64_t seed = PropertySeed();
    Draw draw(seed);
    for (int i = 0; i < kDraws; ++i) {
        const std::string text = AnyText(draw);
        const char* first = text.data();
        const char* last = first + text.size();
        double ours = 7.25;
        double theirs = 7.25;
        const auto a = numeric::ReadDouble(first, last, ours);
        const auto b = std::from_chars(first, last, theirs);
        ASSERT_EQ(a.ec, b.ec) << '"' << text << "\" seed " << seed;
        ASSERT_EQ(a.ptr - first, b.ptr - first) << '"' << text << "\" seed " << seed;
        ASSERT_EQ(WordOf(ours), WordOf(theirs)) << '"' << text << "\" seed " << seed;
    }
}

// Decimals n x 10^e around the exact fast range's edges (|n| near 2^53, |e|
// near 22) and far beyond it, against std::from_chars of "<n>e<e>".
TEST(NumberText, DecimalsAsFromChars) {
    const std::uint64_t seed = PropertySeed();
    Draw draw(seed);
    for (int i = 0; i < kDraws; ++i) {
        // An integer of up to 18 digits, or one within 2 of 2^53.
        const auto scale = static_cast<std::uint64_t>(std::pow(10.0, double(draw.Bits() % 19)));
        auto n = static_cast<std::int64_t>(draw.Bits() % scale);
        if (draw.Coin()) {
            n = (std::int64_t{1} << 53) + static_cast<std::int64_t>(draw.Bits() % 5) - 2;
        }
        n = draw.Coin() ? -n : n;
        // An exponent within 5 of -22 or 22, or any up to 350 either way.
        const int edge = draw.Coin() ? 22 : -22;
        const int e = draw.Coin() ? edge + static_cast<int>(draw.Bits() % 11) - 5
                                  : static_cast<int>(draw.Bits() % 701) - 350;
        const std::string text = std::to_string(n) + "e" + std::to_string(e);
        double ours = 7.25;
        double theirs = 7.25;
        const std::errc a = numeric::DecimalToDouble(n, e, ours);
        const auto b = std::from_chars(text.data(), text.data() + text.size(), theirs);
        ASSERT_EQ(a, b.ec) << text << " seed " << seed;
        if (a == std::errc{}) {
            ASSERT_EQ(WordOf(ours), WordOf(theirs)) << text << " seed " << seed;
        }
    }
}

}  // namespace
