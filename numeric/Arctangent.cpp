// Arctangent of a number and of a point: fdlibm's s_atan.c and e_atan2.c,
// with their coefficients. Notice:
//
//   Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//
//   Developed at SunPro, a Sun Microsystems, Inc. business.
//   Permission to use, copy, modify, and distribute this
//   software is freely granted, provided that this notice
//   is preserved.
#include "numeric/PortableMath.h"

#include "numeric/Bits.h"

#include <cmath>
#include <cstdint>

namespace numeric {

namespace {

using bits::High;

// atan of 0.5, 1, 1.5 and infinity, each as a double and the rest.
constexpr double kAtanHi[] = {0x1.dac670561bb4fp-2, 0x1.921fb54442d18p-1, 0x1.f730bd281f69bp-1,
                              0x1.921fb54442d18p+0};
constexpr double kAtanLo[] = {0x1.a2b7f222f65e2p-56, 0x1.1a62633145c07p-55, 0x1.007887af0cbbdp-56,
                              0x1.1a62633145c07p-54};

// atan(x) on [-7/16, 7/16]: x - x^3 (kAT[0] - kAT[1] x^2 + ... + kAT[10] x^20),
// fdlibm's aT.
constexpr double kAT[] = {
    0x1.555555555550dp-2, -0x1.999999998ebc4p-3, 0x1.24924920083ffp-3, -0x1.c71c6fe231671p-4,
    0x1.745cdc54c206ep-4, -0x1.3b0f2af749a6dp-4, 0x1.10d66a0d03d51p-4, -0x1.dde2d52defd9ap-5,
    0x1.97b4b24760debp-5, -0x1.2b4442c6a6c2fp-5, 0x1.0ad3ae322da11p-6,
};

constexpr double kPi = 0x1.921fb54442d18p+1;
constexpr double kPiTail = 0x1.1a62633145c07p-53;

// High words of |x|: from 2^66 atan x rounds to pi/2, below 2^-27 to x;
// 7/16, 11/16, 19/16 and 39/16 bound the intervals about 0, 0.5, 1, 1.5
// and infinity that the argument is moved into.
constexpr std::uint32_t kAtanIsHalfPi = 0x44100000;
constexpr std::uint32_t kAtanIsX = 0x3e400000;
constexpr std::uint32_t k7Over16 = 0x3fdc0000;
constexpr std::uint32_t k11Over16 = 0x3fe60000;
constexpr std::uint32_t k19Over16 = 0x3ff30000;
constexpr std::uint32_t k39Over16 = 0x40038000;

// Beyond 60 binades apart y / x is too large (or too small) for its
// arctangent to differ from pi/2 (or 0).
constexpr int kRatioBinades = 60;

bool IsNaN(double x) {
    return x != x;
}

// atan(x + tail) for |x| in [2^-27, 2^66), the tail far below x's ulp (0
// for Atan itself): fdlibm's atan, with the tail's share tail / (1 + x^2)
// added before the last rounding.
double AtanCore(double x, double tail) {
    const std::uint32_t ix = High(x) & 0x7fffffff;
    const bool negative = x < 0;
    double share = tail / (1.0 + x * x);
    int id = -1;
    if (ix >= k7Over16) {
        x = std::fabs(x);
        share = negative ? -share : share;
        if (ix < k19Over16) {
            if (ix < k11Over16) {  // atan x = atan 0.5 + atan((2x - 1) / (2 + x))
                id = 0;
                x = (2.0 * x - 1.0) / (2.0 + x);
            } else {  // atan 1 + atan((x - 1) / (x + 1))
                id = 1;
                x = (x - 1.0) / (x + 1.0);
            }
        } else if (ix < k39Over16) {  // atan 1.5 + atan((x - 1.5) / (1 + 1.5 x))
            id = 2;
            x = (x - 1.5) / (1.0 + 1.5 * x);
        } else {  // pi/2 + atan(-1 / x)
            id = 3;
            x = -1.0 / x;
        }
    }
    const double z = x * x;
    const double w = z * z;
    // Odd and even coefficients apart.
    const double s1 =
        z * (kAT[0] + w * (kAT[2] + w * (kAT[4] + w * (kAT[6] + w * (kAT[8] + w * kAT[10])))));
    const double s2 = w * (kAT[1] + w * (kAT[3] + w * (kAT[5] + w * (kAT[7] + w * kAT[9]))));
    if (id < 0) {
        return x - (x * (s1 + s2) - share);
    }
    const double a = kAtanHi[id] - (((x * (s1 + s2) - kAtanLo[id]) - share) - x);
    return negative ? -a : a;
}

// atan(y / x) for 0 < y and x, at most kRatioBinades apart: the quotient's
// rounding error goes in as atan's tail, so that it is not rounded twice.
// Both are first scaled alike (exactly) so that the error's products
// neither overflow nor underflow.
double AtanOfRatio(double y, double x) {
    const double larger = y > x ? y : x;
    if (larger > 0x1p500) {
        y *= 0x1p-600;
        x *= 0x1p-600;
    } else if (larger < 0x1p-500) {
        y *= 0x1p600;
        x *= 0x1p600;
    }
    const double q = y / x;
    const double p = q * x;
    const double tail = ((y - p) - bits::ProductError(q, x, p)) / x;
    return (High(q) & 0x7fffffff) < kAtanIsX ? q + tail : AtanCore(q, tail);
}

}  // namespace

double Atan(double x) {
    const std::uint32_t ix = High(x) & 0x7fffffff;
    if (ix >= kAtanIsHalfPi) {
        if (IsNaN(x)) {
            return x + x;
        }
        return x < 0 ? -kAtanHi[3] - kAtanLo[3] : kAtanHi[3] + kAtanLo[3];
    }
    return ix < kAtanIsX ? x : AtanCore(x, 0.0);
}

double Atan2(double y, double x) {
    if (IsNaN(x) || IsNaN(y)) {
        return x + y;
    }
    if (x == 1.0) {
        return Atan(y);
    }
    const std::uint32_t ix = High(x) & 0x7fffffff;
    const std::uint32_t iy = High(y) & 0x7fffffff;
    const bool yNegative = (High(y) >> 31) != 0;
    const bool xNegative = (High(x) >> 31) != 0;
    if (y == 0.0) {
        return !xNegative ? y : yNegative ? -kPi : kPi;
    }
    if (x == 0.0) {
        return yNegative ? -bits::kHalfPi : bits::kHalfPi;
    }
    // Neither is a NaN here: a high word of kInfinite is an infinity.
    if (ix == bits::kInfinite) {
        double a = 0.0;
        if (iy == bits::kInfinite) {
            a = xNegative ? 3.0 * bits::kQuarterPi : bits::kQuarterPi;
        } else {
            a = xNegative ? kPi : 0.0;
        }
        return yNegative ? -a : a;
    }
    if (iy == bits::kInfinite) {
        return yNegative ? -bits::kHalfPi : bits::kHalfPi;
    }
    // The angle of (|x|, |y|), then its side of the x axis.
    const double ay = std::fabs(y);
    const double ax = std::fabs(x);
    const int binades = (static_cast<int>(iy) - static_cast<int>(ix)) >> 20;
    double angle = 0.0;
    if (binades > kRatioBinades) {
        angle = bits::kHalfPi + bits::kHalfPiTail;  // the y axis
    } else if (!xNegative) {
        angle = binades < -kRatioBinades ? Atan(ay / ax) : AtanOfRatio(ay, ax);
    } else if (binades < -kRatioBinades) {
        angle = kPi + kPiTail;
    } else if (ay > ax) {
        // Measured from the y axis: pi - atan(y / x) would add the rounding
        // of an angle near pi/2 to that of the difference.
        angle = (bits::kHalfPiTail + AtanOfRatio(ax, ay)) + bits::kHalfPi;
    } else {
        angle = kPi - (AtanOfRatio(ay, ax) - kPiTail);
    }
    return yNegative ? -angle : angle;
}

}  // namespace numeric
