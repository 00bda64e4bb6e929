// Numbers as text, the same on every target: what std::from_chars and
// std::to_chars do for doubles, which emscripten's C++ library lacks. Every
// build reads and writes through these, so a drawing converted in the browser
// has the bytes the native and Windows programs write.
#pragma once

#include <charconv>
#include <cstdint>
#include <system_error>

namespace numeric {

// Reads [first, last) as std::from_chars(first, last, value) does: the
// longest prefix that is a number (no leading '+' or space; "inf", "nan"
// taken), invalid_argument when there is none, result_out_of_range when the
// number's magnitude rounds to infinity or a nonzero number rounds to zero;
// `value` is set only on success.
std::from_chars_result ReadDouble(const char* first, const char* last, double& value);

// The double nearest n x 10^e, as ReadDouble reads "<n>e<e>", with the
// same errors; without text when n and 10^|e| are exact doubles, where one
// multiplication or division rounds once.
std::errc DecimalToDouble(std::int64_t n, int e, double& value);

// The shortest text that reads back as `value`, laid out as
// std::to_chars(first, last, value) does: fixed or scientific notation,
// whichever is shorter (fixed on a tie), "1e+20", "-0", "inf", "nan".
std::to_chars_result WriteDouble(char* first, char* last, double value);

// printf's "%.*f" and "%.*g", as std::to_chars with chars_format::fixed or
// chars_format::general and a precision writes them.
std::to_chars_result WriteFixed(char* first, char* last, double value, int precision);
std::to_chars_result WriteGeneral(char* first, char* last, double value, int precision);

}  // namespace numeric
