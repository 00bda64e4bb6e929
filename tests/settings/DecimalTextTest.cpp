#include "settings/DecimalText.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

struct DecimalCase {
    const WCHAR* text;
    int32_t value;
};

class DecimalText : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalText, Converts) {
    EXPECT_EQ(DecimalTextToInt(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Plain, DecimalText,
                         ::testing::Values(DecimalCase{TEXT("3"), 3}, DecimalCase{TEXT("-2"), -2},
                                           DecimalCase{TEXT("+7"), 7}, DecimalCase{TEXT("007"), 7},
                                           DecimalCase{TEXT("-0"), 0}, DecimalCase{TEXT("0"), 0}));

INSTANTIATE_TEST_SUITE_P(
    Surroundings, DecimalText,
    ::testing::Values(DecimalCase{TEXT("  42"), 42}, DecimalCase{TEXT("\t\n\v\f\r 5"), 5},
                      DecimalCase{TEXT("12abc"), 12}, DecimalCase{TEXT("1 2"), 1},
                      DecimalCase{TEXT("-3.9"), -3}, DecimalCase{TEXT(" -8 "), -8}));

INSTANTIATE_TEST_SUITE_P(
    NoDigits, DecimalText,
    ::testing::Values(DecimalCase{TEXT(""), 0}, DecimalCase{TEXT("abc"), 0},
                      DecimalCase{TEXT("   "), 0}, DecimalCase{TEXT("-"), 0},
                      DecimalCase{TEXT("- 5"), 0}, DecimalCase{TEXT("--5"), 0},
                      DecimalCase{TEXT("+-5"), 0}, DecimalCase{TEXT("x5"), 0},
                      // Full-width digits and an ideographic space are not decimal text.
                      DecimalCase{TEXT("\uFF11\uFF12"), 0}, DecimalCase{TEXT("\u30005"), 0}));

INSTANTIATE_TEST_SUITE_P(
    Saturation, DecimalText,
    ::testing::Values(DecimalCase{TEXT("2147483647"), kMax}, DecimalCase{TEXT("2147483648"), kMax},
                      DecimalCase{TEXT("-2147483648"), kMin},
                      DecimalCase{TEXT("-2147483649"), kMin}, DecimalCase{TEXT("4294967299"), kMax},
                      DecimalCase{TEXT("99999999999999999999999999999"), kMax},
                      DecimalCase{TEXT("-99999999999999999999999999999"), kMin},
                      DecimalCase{TEXT("-0000000000000000000000000012"), -12}));

}  // namespace
