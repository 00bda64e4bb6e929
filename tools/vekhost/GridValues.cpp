#include "tools/vekhost/GridValues.h"

#include "engine/Rounding.h"
#include "numeric/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>

namespace vekhost_tool {

namespace {

// Grids finer or coarser than this are never snapped to: their exponents
// would not fit the decimal arithmetic, and no double tells them apart.
constexpr int32_t kMaxDecimals = 300;

// 10^n as an integer, when it fits.
std::optional<std::int64_t> IntegerPower(int n) {
    std::int64_t power = 1;
    for (int k = 0; k < n; ++k) {
        if (__builtin_mul_overflow(power, 10, &power)) {
            return std::nullopt;
        }
    }
    return power;
}

// m x 10^n, when it fits.
std::optional<std::int64_t> Scaled(std::int64_t m, int n) {
    const auto power = IntegerPower(n);
    std::int64_t out = 0;
    if (!power || __builtin_mul_overflow(m, *power, &out)) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

GridValues::GridValues(vekhost::Point reference, int32_t decimals)
    : decimals_(decimals), reference_(reference) {
    const double origin[2] = {reference.x, reference.y};
    step_ = MakeGrid(decimals, 0, origin).step;  // the plug-in's own grid step
    anchor_[0] = DecimalOf(reference.x);
    anchor_[1] = DecimalOf(reference.y);
}

double GridValues::Tolerance(double value, double anchor, double magnitude) {
    return kGridNoise * std::max({std::fabs(value), std::fabs(anchor), std::fabs(magnitude)});
}

double GridValues::Coordinate(double value, int axis, double magnitude) const {
    const double anchor = axis == 0 ? reference_.x : reference_.y;
    return Snap(value, anchor, anchor_[axis == 0 ? 0 : 1], Tolerance(value, anchor, magnitude));
}

double GridValues::Length(double value, double magnitude) const {
    return Snap(value, 0.0, Decimal{}, Tolerance(value, 0.0, magnitude));
}

double GridValues::Degrees(double value, double radius, double magnitude) const {
    const double radians = Tolerance(radius, 0.0, magnitude) / std::fabs(radius);
    return Snap(value, 0.0, Decimal{}, radians * 180 / std::numbers::pi);
}

std::optional<GridValues::Decimal> GridValues::DecimalOf(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    char text[32];
    const auto [end, ec] = numeric::WriteDouble(text, text + sizeof text, value);
    if (ec != std::errc()) {
        return std::nullopt;
    }
    Decimal decimal;
    bool negative = false;
    bool fraction = false;
    const char* p = text;
    for (; p != end && *p != 'e'; ++p) {
        if (*p == '-') {
            negative = true;
        } else if (*p == '.') {
            fraction = true;
        } else {
            decimal.mantissa = decimal.mantissa * 10 + (*p - '0');  // 17 digits at most
            decimal.exponent -= fraction ? 1 : 0;
        }
    }
    if (p != end) {
        decimal.exponent += std::atoi(p + 1);
    }
    decimal.mantissa = negative ? -decimal.mantissa : decimal.mantissa;
    return decimal;
}

double GridValues::Snap(double value, double anchor, const std::optional<Decimal>& decimal,
                        double tolerance) const {
    if (!decimal || !std::isfinite(value) || !std::isfinite(tolerance) ||
        std::abs(decimals_) > kMaxDecimals) {
        return value;
    }
    const double offset = (value - anchor) / step_;
    // A grid so fine that a value off it lies within the tolerance once in
    // 32, or too far from the anchor to count its steps, is left alone.
    if (!(tolerance * 64 < step_) || !(std::fabs(offset) < 0x1p62)) {
        return value;
    }
    // The grid value anchor + k x 10^-d, as an exact decimal n x 10^e.
    const std::int64_t k = std::llround(offset);
    const int e = std::min(decimal->exponent, -decimals_);
    const auto anchorPart = Scaled(decimal->mantissa, decimal->exponent - e);
    const auto stepPart = Scaled(k, -decimals_ - e);
    std::int64_t n = 0;
    if (!anchorPart || !stepPart || __builtin_add_overflow(*anchorPart, *stepPart, &n)) {
        return value;
    }
    // Read back as the double nearest it (every value written back passes
    // here, so no text is made).
    double grid = 0;
    if (numeric::DecimalToDouble(n, e, grid) != std::errc()) {
        return value;
    }
    return std::fabs(grid - value) <= tolerance ? grid : value;
}

}  // namespace vekhost_tool
