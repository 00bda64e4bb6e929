// Decimal text to integer, as the stored settings are read.
#pragma once

#include "settings/RegText.h"

#include <cstdint>

// Skips leading blanks (space, tab, line feed, vertical tab, form feed,
// carriage return), takes an optional "+" or "-", then decimal digits up to
// the first other character; whatever follows is ignored. Text without digits
// there gives 0. A number outside the signed 32-bit range saturates to
// INT32_MIN or INT32_MAX, so an absurdly long setting reads as an extreme
// value of the same sign rather than as a wrapped, arbitrary one.
int32_t DecimalTextToInt(const RegText& text);
