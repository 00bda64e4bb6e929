#include "numeric/NumberText.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <system_error>

#define FMT_HEADER_ONLY
#include <fast_float/fast_float.h>
#include <fmt/compile.h>
#include <fmt/format.h>

namespace numeric {

namespace {

// Copies `text` to [first, last) as to_chars reports it.
std::to_chars_result Put(char* first, char* last, std::string_view text) {
    if (text.size() > static_cast<std::size_t>(last - first)) {
        return {last, std::errc::value_too_large};
    }
    std::memcpy(first, text.data(), text.size());
    return {first + text.size(), std::errc{}};
}

// The shortest digits of a finite nonzero magnitude (no trailing zeros) and
// the decimal exponent of the first: value = d.ddd * 10^exponent.
struct Shortest {
    char digits[20];
    int count = 0;
    int exponent = 0;
};

// fmt's Dragonbox gives the shortest digits that read back. It is fmt's own
// entry (its "{}" output is laid out by other rules than to_chars's), twice
// as fast as formatting and reading that back; the tests hold it to
// std::to_chars.
Shortest ShortestDigits(double magnitude) {
    const auto decimal = fmt::detail::dragonbox::to_decimal(magnitude);
    Shortest s;
    s.count = static_cast<int>(
        std::to_chars(s.digits, s.digits + sizeof s.digits, decimal.significand).ptr - s.digits);
    s.exponent = decimal.exponent + s.count - 1;
    while (s.count > 1 && s.digits[s.count - 1] == '0') {
        --s.count;
    }
    return s;
}

// to_chars's scientific form: d.ddde+XX, at least two exponent digits.
char* Scientific(char* out, const Shortest& s) {
    *out++ = s.digits[0];
    if (s.count > 1) {
        *out++ = '.';
        std::memcpy(out, s.digits + 1, static_cast<std::size_t>(s.count - 1));
        out += s.count - 1;
    }
    *out++ = 'e';
    *out++ = s.exponent < 0 ? '-' : '+';
    const int e = s.exponent < 0 ? -s.exponent : s.exponent;
    if (e >= 100) {
        *out++ = static_cast<char>('0' + e / 100);
    }
    *out++ = static_cast<char>('0' + e / 10 % 10);
    *out++ = static_cast<char>('0' + e % 10);
    return out;
}

// to_chars's fixed form of a number below 10^22 (the largest it prints so).
// An integer beyond its shortest digits is printed exactly, as printf's
// "%.0f" prints it; any other number is its shortest digits.
char* Fixed(char* out, const Shortest& s, double magnitude) {
    if (s.exponent >= s.count) {
        return fmt::format_to(out, FMT_COMPILE("{:.0f}"), magnitude);
    }
    if (s.exponent < 0) {
        *out++ = '0';
        *out++ = '.';
        std::memset(out, '0', static_cast<std::size_t>(-s.exponent - 1));
        out += -s.exponent - 1;
        std::memcpy(out, s.digits, static_cast<std::size_t>(s.count));
        return out + s.count;
    }
    const std::size_t whole = static_cast<std::size_t>(s.exponent + 1);
    std::memcpy(out, s.digits, whole);
    out += whole;
    if (s.count > s.exponent + 1) {
        *out++ = '.';
        std::memcpy(out, s.digits + whole, static_cast<std::size_t>(s.count) - whole);
        out += static_cast<std::size_t>(s.count) - whole;
    }
    return out;
}

int FixedLength(const Shortest& s) {
    if (s.exponent >= s.count - 1) {
        return s.exponent + 1;
    }
    return s.exponent < 0 ? 1 - s.exponent + s.count : s.count + 1;
}

int ScientificLength(const Shortest& s) {
    const int e = s.exponent < 0 ? -s.exponent : s.exponent;
    return s.count + (s.count > 1 ? 1 : 0) + 2 + (e >= 100 ? 3 : 2);
}

// Whether the number read from [first, end) has a nonzero digit before its
// exponent: one that rounded to zero was too small, not zero.
bool HasNonzeroDigit(const char* first, const char* end) {
    for (const char* p = first; p != end && *p != 'e' && *p != 'E'; ++p) {
        if (*p >= '1' && *p <= '9') {
            return true;
        }
    }
    return false;
}

}  // namespace

std::from_chars_result ReadDouble(const char* first, const char* last, double& value) {
    double read = 0;
    const auto result = fast_float::from_chars(first, last, read);
    if (result.ec != std::errc{}) {
        return {result.ptr, result.ec};
    }
    // fast_float gives infinity or zero where std::from_chars reports the
    // number beyond the range of doubles.
    const char* digits = first + (*first == '-' ? 1 : 0);
    const bool numeral = *digits == '.' || (*digits >= '0' && *digits <= '9');
    if (numeral && (std::isinf(read) || (read == 0 && HasNonzeroDigit(digits, result.ptr)))) {
        return {result.ptr, std::errc::result_out_of_range};
    }
    value = read;
    return {result.ptr, std::errc{}};
}

std::errc DecimalToDouble(std::int64_t n, int e, double& value) {
    constexpr std::int64_t kExactInteger = std::int64_t{1} << 53;
    constexpr int kExactPower = 22;  // 10^22 < 2^53 x 2^22 is a double exactly
    static constexpr double kPowers[kExactPower + 1] = {
        1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (n > -kExactInteger && n < kExactInteger && e >= -kExactPower && e <= kExactPower) {
        const auto m = static_cast<double>(n);
        value = e >= 0 ? m * kPowers[e] : m / kPowers[-e];
        return std::errc{};
    }
    char text[48];
    char* last = std::to_chars(text, text + 24, n).ptr;
    *last++ = 'e';
    last = std::to_chars(last, text + sizeof text, e).ptr;
    const auto [end, ec] = ReadDouble(text, last, value);
    return ec == std::errc{} && end != last ? std::errc::invalid_argument : ec;
}

std::to_chars_result WriteDouble(char* first, char* last, double value) {
    // Room for the longest form, "-2.2250738585072014e-308", written in place.
    constexpr std::ptrdiff_t kLongest = 32;
    if (last - first < kLongest) {
        char text[kLongest];
        const auto written = WriteDouble(text, text + kLongest, value);
        return Put(first, last,
                   std::string_view(text, static_cast<std::size_t>(written.ptr - text)));
    }
    char* out = first;
    if (std::signbit(value)) {
        *out++ = '-';
    }
    const double magnitude = std::fabs(value);
    if (std::isnan(value)) {
        std::memcpy(out, "nan", 3);
        out += 3;
    } else if (std::isinf(value)) {
        std::memcpy(out, "inf", 3);
        out += 3;
    } else if (magnitude == 0) {
        *out++ = '0';
    } else {
        const Shortest s = ShortestDigits(magnitude);
        out = FixedLength(s) <= ScientificLength(s) ? Fixed(out, s, magnitude) : Scientific(out, s);
    }
    return {out, std::errc{}};
}

std::to_chars_result WriteFixed(char* first, char* last, double value, int precision) {
    fmt::memory_buffer text;
    fmt::format_to(std::back_inserter(text), FMT_COMPILE("{:.{}f}"), value, precision);
    return Put(first, last, std::string_view(text.data(), text.size()));
}

std::to_chars_result WriteGeneral(char* first, char* last, double value, int precision) {
    fmt::memory_buffer text;
    fmt::format_to(std::back_inserter(text), FMT_COMPILE("{:.{}g}"), value, precision);
    return Put(first, last, std::string_view(text.data(), text.size()));
}

}  // namespace numeric
