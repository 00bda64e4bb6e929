// Arguments below 2^20 pi/2 are reduced as fdlibm's __ieee754_rem_pio2
// does (pi/2 in 33-bit pieces, a second and third piece only where the
// first cancels), with its constants. Its notice:
//
//   Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//
//   Developed at SunPro, a Sun Microsystems, Inc. business.
//   Permission to use, copy, modify, and distribute this
//   software is freely granted, provided that this notice
//   is preserved.
//
// Larger arguments are reduced exactly in integer arithmetic against the
// bits of 2/pi (Payne and Hanek's method).
#include "numeric/Reduction.h"

#include "numeric/Bits.h"

#include <bit>
#include <cstdint>

namespace numeric::detail {

namespace {

constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
// x * kTwoOverPi + kRoundShift - kRoundShift is x * 2/pi rounded to an
// integer (ties to even) for |x * 2/pi| below 2^51.
constexpr double kRoundShift = 0x1.8p52;
// pi/2 as three pieces of 33 bits (n times a piece is exact for n below
// 2^20), each with what remains of pi/2 after it.
constexpr double kHalfPi1 = 0x1.921fb544p+0;
constexpr double kHalfPi1Tail = 0x1.0b4611a626331p-34;
constexpr double kHalfPi2 = 0x1.0b4611a6p-34;
constexpr double kHalfPi2Tail = 0x1.3198a2e037073p-69;
constexpr double kHalfPi3 = 0x1.3198a2ep-69;
constexpr double kHalfPi3Tail = 0x1.b839a252049c1p-104;
// pi/2 rounded to a double, and the rest.

// High words: up to this (about 2^20 pi/2) the three pieces suffice.
constexpr std::uint32_t kMediumLimit = 0x413921fb;

// The bits of 2/pi after the point, 32 at a time: enough for the largest
// double's product to be known to 190 bits after the point.
constexpr std::uint32_t kTwoOverPiWords[] = {
    0xa2f9836e, 0x4e441529, 0xfc2757d1, 0xf534ddc0, 0xdb629599, 0x3c439041, 0xfe5163ab, 0xdebbc561,
    0xb7246e3a, 0x424dd2e0, 0x06492eea, 0x09d1921c, 0xfe1deb1c, 0xb129a73e, 0xe88235f5, 0x2ebb4484,
    0xe99c7026, 0xb45f7e41, 0x3991d639, 0x835339f4, 0x9c845f8b, 0xbdf9283b, 0x1ff897ff, 0xde05980f,
    0xef2f118b, 0x5a0a6d1f, 0x6d367ecf, 0x27cb09b7, 0x4f463f66, 0x9e5fea2d, 0x7527bac7, 0xebe5f17b,
    0x3d0739f7, 0x8a5292ea, 0x6bfb5fb1, 0x1f8d5d08, 0x56033046,
};
// Words of 2/pi taken for one product: the bits beyond them change the
// result by less than 2^-138, against remainders of no less than about
// 2^-61 (the closest any double comes to a multiple of pi/2).
constexpr int kWordsTaken = 7;

int Exponent(double x) {
    return static_cast<int>(bits::High(x) >> 20 & 0x7ff);
}

Reduced Medium(double x) {
    const double fn = x * kTwoOverPi + kRoundShift - kRoundShift;
    const int n = static_cast<int>(fn);
    double r = x - fn * kHalfPi1;  // exact
    double w = fn * kHalfPi1Tail;
    double y0 = r - w;
    const int exponent = Exponent(x);
    if (exponent - Exponent(y0) > 16) {  // x is near n pi/2: 33 more bits of pi/2
        double t = r;
        w = fn * kHalfPi2;
        r = t - w;
        w = fn * kHalfPi2Tail - ((t - r) - w);
        y0 = r - w;
        if (exponent - Exponent(y0) > 49) {  // nearer still: 33 more
            t = r;
            w = fn * kHalfPi3;
            r = t - w;
            w = fn * kHalfPi3Tail - ((t - r) - w);
            y0 = r - w;
        }
    }
    return {n & 3, y0, (r - y0) - w};
}

// The product of a double's significand and kWordsTaken words of 2/pi: nine
// 32-bit limbs, the least significant first.
struct Product {
    std::uint32_t limb[kWordsTaken + 2] = {};

    // Bits [low, low + 64) of the product, zeros below bit 0.
    std::uint64_t Window(int low) const {
        const int q = low >= 0 ? low / 32 : -((31 - low) / 32);
        const int shift = low - 32 * q;
        auto at = [this](int i) -> std::uint64_t {
            return i >= 0 && i < kWordsTaken + 2 ? limb[i] : 0;
        };
        const std::uint64_t below = at(q) | at(q + 1) << 32;
        return shift == 0 ? below : below >> shift | at(q + 2) << (64 - shift);
    }
};

// A 192-bit fraction f0 f1 f2 (f0 most significant, after the point) times
// pi/2, as hi + lo.
Reduced Scaled(int quadrant, std::uint64_t f0, std::uint64_t f1, std::uint64_t f2) {
    int zeros = 0;
    while (f0 == 0 && zeros < 192) {
        f0 = f1;
        f1 = f2;
        f2 = 0;
        zeros += 64;
    }
    if (f0 == 0) {
        return {quadrant, 0.0, 0.0};
    }
    const int s = std::countl_zero(f0);
    if (s > 0) {
        f0 = f0 << s | f1 >> (64 - s);
        f1 = f1 << s | f2 >> (64 - s);
        zeros += s;
    }
    // The leading 106 bits as two doubles, each exact.
    const double hi = static_cast<double>(f0 >> 11) * bits::PowerOfTwo(-53 - zeros);
    const double lo =
        static_cast<double>((f0 & 0x7ff) << 42 | f1 >> 22) * bits::PowerOfTwo(-106 - zeros);
    const double p = hi * bits::kHalfPi;
    const double t =
        bits::ProductError(hi, bits::kHalfPi, p) + (hi * bits::kHalfPiTail + lo * bits::kHalfPi);
    const double y0 = p + t;
    return {quadrant, y0, t - (y0 - p)};
}

// |x| of 2^20 pi/2 or more (so its exponent e below is at least -32).
Reduced Huge(double x) {
    const std::uint64_t word = bits::Word(x);
    const std::uint64_t m = (word & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
    const int e = static_cast<int>(word >> 52 & 0x7ff) - 1075;  // |x| = m 2^e
    // Words whose products with |x| are multiples of 4 do not change the
    // quadrant or the remainder: start at the first that may.
    const int first = e > 33 ? (e - 2) / 32 : 0;
    Product product;
    const std::uint32_t mw[2] = {static_cast<std::uint32_t>(m),
                                 static_cast<std::uint32_t>(m >> 32)};
    for (int k = 0; k < kWordsTaken; ++k) {
        const std::uint64_t f = kTwoOverPiWords[first + kWordsTaken - 1 - k];
        std::uint64_t carry = 0;
        for (int j = 0; j < 2; ++j) {
            const std::uint64_t t = f * mw[j] + product.limb[k + j] + carry;
            product.limb[k + j] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        product.limb[k + 2] = static_cast<std::uint32_t>(carry);
    }
    // |x| 2/pi = product 2^-point: bits from `point` up count quarter
    // turns, the bits below are the fraction of one.
    const int point = 32 * (first + kWordsTaken) - e;
    int quadrant = static_cast<int>(product.Window(point) & 3);
    std::uint64_t f0 = product.Window(point - 64);
    std::uint64_t f1 = product.Window(point - 128);
    std::uint64_t f2 = product.Window(point - 192);
    const bool past = f0 >> 63 != 0;
    if (past) {
        // Half a quarter turn or more: measured back from the next one,
        // 1 - f as the 192-bit two's complement of f.
        quadrant = (quadrant + 1) & 3;
        f2 = ~f2 + 1;
        f1 = ~f1 + (f2 == 0 ? 1 : 0);
        f0 = ~f0 + (f2 == 0 && f1 == 0 ? 1 : 0);
    }
    Reduced r = Scaled(quadrant, f0, f1, f2);
    if (past != (word >> 63 != 0)) {
        r.hi = -r.hi;
        r.lo = -r.lo;
    }
    if (word >> 63 != 0) {
        r.quadrant = -r.quadrant & 3;
    }
    return r;
}

}  // namespace

Reduced ReduceByHalfPi(double x) {
    return (bits::High(x) & 0x7fffffff) < kMediumLimit ? Medium(x) : Huge(x);
}

}  // namespace numeric::detail
