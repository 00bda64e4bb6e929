// The same bits from every build: each function over a fixed set of
// arguments, digested (FNV-1a over the results' bit patterns) and compared
// with the digests committed here. Natively, under Wine and in every other
// build this test runs in, a compiler flag, an optimisation or a runtime
// that changes one bit of one result fails it. A deliberate change to a
// function changes its digest: the failure prints the new one to commit.
#include "numeric/PortableMath.h"
#include "tests/numeric/NumericTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>

namespace {

using namespace numeric_test;

constexpr std::uint64_t kSeed = 20261214;
constexpr int kDraws = 30000;
constexpr double kDegree = std::numbers::pi / 180;

// Radians to a few thousand, degrees converted, and any double.
std::uint64_t AngleDigest(double (*f)(double)) {
    Draw draw(kSeed);
    Digest digest;
    for (int i = 0; i < kDraws; ++i) {
        digest.Add(f(draw.Between(-4000, 4000)));
        digest.Add(f(draw.Between(-3600, 3600) * kDegree));
        digest.Add(f(draw.AnyBinade(-1023, 1023)));
    }
    return digest.Value();
}

// Coordinates of a drawing, and any pair of doubles.
std::uint64_t PointDigest(double (*f)(double, double)) {
    Draw draw(kSeed);
    Digest digest;
    for (int i = 0; i < kDraws; ++i) {
        const double y = draw.Between(-1e4, 1e4);
        digest.Add(f(y, draw.Between(-1e4, 1e4)));
        const double far = draw.AnyBinade(-1023, 1023);
        digest.Add(f(far, draw.AnyBinade(-1023, 1023)));
    }
    return digest.Value();
}

std::uint64_t PowerDigest() {
    Digest digest;
    for (int n = -400; n <= 400; ++n) {
        digest.Add(numeric::PowerOfTen(n));
    }
    return digest.Value();
}

std::string HexWord(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(v));
    return text;
}

TEST(PortableMathIdentity, DigestsAsCommitted) {
    const struct {
        const char* name;
        std::uint64_t digest;
        std::uint64_t expected;
    } cases[] = {
        {"Sin", AngleDigest(numeric::Sin), 0x14fb5ac11f5534e8u},
        {"Cos", AngleDigest(numeric::Cos), 0xa8b6ec0748d11849u},
        {"Tan", AngleDigest(numeric::Tan), 0xeef5deab273337bdu},
        {"Atan", AngleDigest(numeric::Atan), 0xfec764e3fd0560fau},
        {"Atan2", PointDigest(numeric::Atan2), 0x7db82637cc588245u},
        {"Hypot", PointDigest(numeric::Hypot), 0xa63d98ccd86958bau},
        {"PowerOfTen", PowerDigest(), 0x98aafbd5af23f50cu},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.digest, c.expected) << c.name << " digests to " << HexWord(c.digest)
                                        << ", committed " << HexWord(c.expected);
    }
}

}  // namespace
