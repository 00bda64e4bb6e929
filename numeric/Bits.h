// The words of a double, for the functions of this folder: their branches
// test the exponent and sign as the high word holds them, and a few split a
// double by clearing its low word; and the exact product they build on.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>

// Each operation on doubles must round once, to double: x87's excess
// precision would round twice (build for SSE2, as x86-64 does).
static_assert(FLT_EVAL_METHOD == 0, "doubles must be evaluated in double precision");

namespace numeric::bits {

// pi/2 and pi/4 as doubles, and what pi/2 lacks of the true value.
inline constexpr double kHalfPi = 0x1.921fb54442d18p+0;
inline constexpr double kHalfPiTail = 0x1.1a62633145c07p-54;
inline constexpr double kQuarterPi = 0x1.921fb54442d18p-1;
// The high word's exponent bits of infinity and NaN.
inline constexpr std::uint32_t kInfinite = 0x7ff00000;

inline std::uint64_t Word(double x) {
    std::uint64_t w;
    std::memcpy(&w, &x, sizeof w);
    return w;
}

inline double FromWord(std::uint64_t w) {
    double x;
    std::memcpy(&x, &w, sizeof x);
    return x;
}

// Sign, exponent and the top 20 bits of the significand.
inline std::uint32_t High(double x) {
    return static_cast<std::uint32_t>(Word(x) >> 32);
}

inline std::uint32_t Low(double x) {
    return static_cast<std::uint32_t>(Word(x));
}

inline double FromWords(std::uint32_t high, std::uint32_t low) {
    return FromWord(std::uint64_t{high} << 32 | low);
}

// 2^k for k in [-1022, 1023].
inline double PowerOfTwo(int k) {
    return FromWords(static_cast<std::uint32_t>(0x3ff + k) << 20, 0);
}

// Dekker's exact product: a * b = p + the returned error, for a and b far
// from overflow and underflow (needs no fused multiply-add).
inline double ProductError(double a, double b, double p) {
    constexpr double kSplitter = 0x1p27 + 1;
    const double ca = kSplitter * a;
    const double ah = ca - (ca - a);
    const double al = a - ah;
    const double cb = kSplitter * b;
    const double bh = cb - (cb - b);
    const double bl = b - bh;
    return ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

}  // namespace numeric::bits
