// Sine, cosine and tangent: fdlibm's kernels on [-pi/4, pi/4] (in the form
// FreeBSD's msun and musl keep them), with their coefficients. Notices:
//
//   Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//
//   Developed at SunPro, a Sun Microsystems, Inc. business.
//   Permission to use, copy, modify, and distribute this
//   software is freely granted, provided that this notice
//   is preserved.
//
//   Copyright 2004 Sun Microsystems, Inc.  All Rights Reserved.
//
//   Permission to use, copy, modify, and distribute this
//   software is freely granted, provided that this notice
//   is preserved.
#include "numeric/PortableMath.h"

#include "numeric/Bits.h"
#include "numeric/Reduction.h"

#include <cstdint>

namespace numeric {

namespace {

using bits::High;

// sin(x) on [-pi/4, pi/4]: x + S1 x^3 + ... + S6 x^13.
constexpr double S1 = -0x1.5555555555549p-3;
constexpr double S2 = 0x1.111111110f8a6p-7;
constexpr double S3 = -0x1.a01a019c161d5p-13;
constexpr double S4 = 0x1.71de357b1fe7dp-19;
constexpr double S5 = -0x1.ae5e68a2b9cebp-26;
constexpr double S6 = 0x1.5d93a5acfd57cp-33;

// cos(x) on [-pi/4, pi/4]: 1 - x^2/2 + C1 x^4 + ... + C6 x^14.
constexpr double C1 = 0x1.555555555554cp-5;
constexpr double C2 = -0x1.6c16c16c15177p-10;
constexpr double C3 = 0x1.a01a019cb1590p-16;
constexpr double C4 = -0x1.27e4f809c52adp-22;
constexpr double C5 = 0x1.1ee9ebdb4b1c4p-29;
constexpr double C6 = -0x1.8fae9be8838d4p-37;

// tan(x) on [-0.6744, 0.6744]: x + T0 x^3 + ... + T12 x^27; beyond, tan is
// taken through tan(pi/4 - x).
constexpr double T[] = {
    0x1.5555555555563p-2,  0x1.111111110fe7ap-3,  0x1.ba1ba1bb341fep-5,  0x1.664f48406d637p-6,
    0x1.226e3e96e8493p-7,  0x1.d6d22c9560328p-9,  0x1.7dbc8fee08315p-10, 0x1.344d8f2f26501p-11,
    0x1.026f71a8d1068p-12, 0x1.47e88a03792a6p-14, 0x1.2b80f32f0a7e9p-14, -0x1.375cbdb605373p-16,
    0x1.b2a7074bf7ad4p-16,
};
constexpr double kQuarterPiTail = 0x1.1a62633145c07p-55;

// High words of |x|: about pi/4, where reduction starts; 0.6744, where the
// tangent turns to pi/4 - x; and the bounds below which sin x and tan x
// round to x (2^-26, 2^-27) and cos x to 1 (2^-27 sqrt 2).
constexpr std::uint32_t kQuarterTurn = 0x3fe921fb;
constexpr std::uint32_t kTanFolds = 0x3fe59428;
constexpr std::uint32_t kSinIsX = 0x3e500000;
constexpr std::uint32_t kTanIsX = 0x3e400000;
constexpr std::uint32_t kCosIsOne = 0x3e46a09e;

// sin(x + y) for |x + y| <= pi/4; y, the tail of a reduced argument, is
// ignored without `tail`.
double KernelSin(double x, double y, bool tail) {
    const double z = x * x;
    const double w = z * z;
    const double r = S2 + z * (S3 + z * S4) + z * w * (S5 + z * S6);
    const double v = z * x;
    if (!tail) {
        return x + v * (S1 + z * r);
    }
    return x - ((z * (0.5 * y - v * r) - y) - v * S1);
}

// cos(x + y) for |x + y| <= pi/4.
double KernelCos(double x, double y) {
    const double z = x * x;
    const double w = z * z;
    const double r = z * (C1 + z * (C2 + z * C3)) + w * w * (C4 + z * (C5 + z * C6));
    const double hz = 0.5 * z;
    const double u = 1.0 - hz;
    return u + (((1.0 - u) - hz) + (z * r - x * y));
}

// -1 / (x + r) to within an ulp, w being x + r rounded: the division's
// error is taken back with the words of w and of its reciprocal split.
double NegativeReciprocal(double x, double r, double w) {
    const double z = bits::FromWords(High(w), 0);
    const double v = r - (z - x);  // z + v = x + r
    const double a = -1.0 / w;
    const double t = bits::FromWords(High(a), 0);
    const double s = 1.0 + t * z;
    return t + a * (s + t * v);
}

// tan(x + y) for |x + y| <= pi/4 when `odd` is false, -1 / tan(x + y)
// when it is true.
double KernelTan(double x, double y, bool odd) {
    const std::uint32_t hx = High(x);
    const bool folds = (hx & 0x7fffffff) >= kTanFolds;
    const bool negative = (hx >> 31) != 0;
    if (folds) {
        if (negative) {
            x = -x;
            y = -y;
        }
        x = (bits::kQuarterPi - x) + (kQuarterPiTail - y);
        y = 0.0;
    }
    const double z = x * x;
    double w = z * z;
    // x^5 (T1 + x^2 T2 + ...) as odd and even powers of x^4 apart.
    double r = T[1] + w * (T[3] + w * (T[5] + w * (T[7] + w * (T[9] + w * T[11]))));
    double v = z * (T[2] + w * (T[4] + w * (T[6] + w * (T[8] + w * (T[10] + w * T[12])))));
    const double s = z * x;
    r = y + z * (s * (r + v) + y);
    r += T[0] * s;
    w = x + r;
    if (folds) {
        v = odd ? -1.0 : 1.0;
        return (negative ? -1.0 : 1.0) * (v - 2.0 * (x - (w * w / (w + v) - r)));
    }
    return odd ? NegativeReciprocal(x, r, w) : w;
}

}  // namespace

double Sin(double x) {
    const std::uint32_t ix = High(x) & 0x7fffffff;
    if (ix <= kQuarterTurn) {
        return ix < kSinIsX ? x : KernelSin(x, 0.0, false);
    }
    if (ix >= bits::kInfinite) {
        return x - x;  // NaN
    }
    const detail::Reduced r = detail::ReduceByHalfPi(x);
    switch (r.quadrant) {
        case 0:
            return KernelSin(r.hi, r.lo, true);
        case 1:
            return KernelCos(r.hi, r.lo);
        case 2:
            return -KernelSin(r.hi, r.lo, true);
        default:
            return -KernelCos(r.hi, r.lo);
    }
}

double Cos(double x) {
    const std::uint32_t ix = High(x) & 0x7fffffff;
    if (ix <= kQuarterTurn) {
        return ix < kCosIsOne ? 1.0 : KernelCos(x, 0.0);
    }
    if (ix >= bits::kInfinite) {
        return x - x;
    }
    const detail::Reduced r = detail::ReduceByHalfPi(x);
    switch (r.quadrant) {
        case 0:
            return KernelCos(r.hi, r.lo);
        case 1:
            return -KernelSin(r.hi, r.lo, true);
        case 2:
            return -KernelCos(r.hi, r.lo);
        default:
            return KernelSin(r.hi, r.lo, true);
    }
}

double Tan(double x) {
    const std::uint32_t ix = High(x) & 0x7fffffff;
    if (ix <= kQuarterTurn) {
        return ix < kTanIsX ? x : KernelTan(x, 0.0, false);
    }
    if (ix >= bits::kInfinite) {
        return x - x;
    }
    const detail::Reduced r = detail::ReduceByHalfPi(x);
    return KernelTan(r.hi, r.lo, (r.quadrant & 1) != 0);
}

}  // namespace numeric
