// Elementary functions that give the same bits on every target. The C
// runtimes' sin, atan2, hypot and pow each round their last bit their own
// way (glibc, mingw-w64's msvcrt, emscripten's musl), so a drawing converted
// by one build would differ from the same drawing converted by another.
// These are computed with IEEE double addition, subtraction, multiplication,
// division and square root (each correctly rounded, hence the same
// everywhere) and integer arithmetic, nothing else of the C runtime.
//
// Accuracy: below one unit in the last place (ulp) for every finite
// argument, as the C library's. Special values follow C's Annex F (signed
// zeros kept, NaN in gives NaN out, Sin and Cos of infinity NaN).
//
// Trigonometric functions reduce their argument exactly, whatever its size:
// Sin(1e300) is the sine of that double, not of a value near it.
#pragma once

#include <cstdint>

namespace numeric {

double Sin(double radians);
double Cos(double radians);
double Tan(double radians);

// In [-pi/2, pi/2].
double Atan(double x);
// The angle of the point (x, y), in [-pi, pi]; the zeros' signs pick the
// side as C's atan2 does (Atan2(+0, -1) = pi, Atan2(-0, -1) = -pi).
double Atan2(double y, double x);

// sqrt(x^2 + y^2) without overflow or underflow in between; infinite when
// either is infinite, even with a NaN.
double Hypot(double x, double y);

// 10^|magnitude| by repeated squaring: exact up to 10^22, infinite from
// 10^309 on.
double PowerOfTen(std::int32_t magnitude);

}  // namespace numeric
