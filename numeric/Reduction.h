// Argument reduction of the trigonometric functions.
#pragma once

namespace numeric::detail {

// x = n pi/2 + (hi + lo) with quadrant = n mod 4 and |hi + lo| at most
// about pi/4; hi + lo carries some 100 bits of the remainder, hi is it
// rounded to a double. For finite x.
struct Reduced {
    int quadrant;
    double hi;
    double lo;
};

Reduced ReduceByHalfPi(double x);

}  // namespace numeric::detail
