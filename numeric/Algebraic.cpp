// Functions computed with the basic operations alone. Hypot is fdlibm's
// e_hypot.c (with FreeBSD's fix for a subnormal argument). Notice:
//
//   Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//
//   Developed at SunSoft, a Sun Microsystems, Inc. business.
//   Permission to use, copy, modify, and distribute this
//   software is freely granted, provided that this notice
//   is preserved.
#include "numeric/PortableMath.h"

#include "numeric/Bits.h"

#include <cmath>
#include <cstdint>
#include <utility>

namespace numeric {

namespace {

using bits::FromWords;
using bits::High;

// High words: a / b beyond 2^60 makes b^2 vanish against a^2; above 2^500
// and below 2^-500 the squares are scaled by 2^-600 or 2^600 (an exponent
// step of kScale) so that they neither overflow nor underflow.
constexpr std::uint32_t kFarApart = 0x3c00000;
constexpr std::uint32_t kLarge = 0x5f300000;
constexpr std::uint32_t kSmall = 0x20b00000;
constexpr std::uint32_t kScale = 0x25800000;
constexpr std::uint32_t kSubnormal = 0x000fffff;

}  // namespace

double Hypot(double x, double y) {
    double a = std::fabs(x);
    double b = std::fabs(y);
    std::uint32_t ha = High(a);
    std::uint32_t hb = High(b);
    // The larger first (by value on a tie of high words, so that the order
    // of the arguments never changes the result).
    if (hb > ha || (hb == ha && b > a)) {
        std::swap(a, b);
        std::swap(ha, hb);
    }
    if (ha - hb > kFarApart) {
        return a + b;
    }
    int k = 0;
    if (ha > kLarge) {
        if (ha >= bits::kInfinite) {  // an infinity wins over a NaN
            return std::isinf(a) ? a : std::isinf(b) ? b : a + b;
        }
        ha -= kScale;
        hb -= kScale;
        k += 600;
        a = FromWords(ha, bits::Low(a));
        b = FromWords(hb, bits::Low(b));
    }
    if (hb < kSmall) {
        if (hb <= kSubnormal) {
            if (b == 0.0) {
                return a;
            }
            a *= 0x1p1022;
            b *= 0x1p1022;
            k -= 1022;
            ha = High(a);
            hb = High(b);
            if (hb > ha || (hb == ha && b > a)) {
                std::swap(a, b);
                std::swap(ha, hb);
            }
        } else {
            ha += kScale;
            hb += kScale;
            k -= 600;
            a = FromWords(ha, bits::Low(a));
            b = FromWords(hb, bits::Low(b));
        }
    }
    // a^2 + b^2 with the products split (a high word without its low word
    // squares exactly), so that only the square root rounds much.
    double w = a - b;
    if (w > b) {
        const double t1 = FromWords(ha, 0);
        const double t2 = a - t1;
        w = std::sqrt(t1 * t1 - (b * (-b) - t2 * (a + t1)));
    } else {
        a = a + a;
        const double y1 = FromWords(hb, 0);
        const double y2 = b - y1;
        const double t1 = FromWords(ha + 0x00100000, 0);
        const double t2 = a - t1;
        w = std::sqrt(t1 * y1 - (w * (-w) - (t1 * y2 + t2 * b)));
    }
    return k == 0 ? w : w * bits::PowerOfTwo(k);
}

double PowerOfTen(std::int32_t magnitude) {
    // Widened first: the magnitude of INT32_MIN does not fit an int32_t.
    std::uint64_t n =
        magnitude < 0 ? std::uint64_t(-std::int64_t(magnitude)) : std::uint64_t(magnitude);
    double e = 1.0;
    double b = 10.0;
    while (n != 0) {
        if ((n & 1u) != 0) {
            e *= b;
        }
        n >>= 1;
        if (n != 0) {
            b *= b;
        }
    }
    return e;
}

}  // namespace numeric
