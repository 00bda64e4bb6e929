// Group codes and the numbers in their values: what each code holds, reading
// a value's text without the locale, and writing numbers back in their
// shortest exact form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dxf {

using Handle = std::uint64_t;

// The largest group code a drawing may use.
inline constexpr int kMaxGroupCode = 1071;

enum class ValueKind : std::uint8_t { Text, Real, Integer };

// What a value must be for its group code (0..kMaxGroupCode).
ValueKind KindOf(int code);

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Spaces, tabs and carriage returns removed from both ends.
inline std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A group code line: an integer of at most 9 digits with blanks around it.
// Whether the code is in range is the caller's check. Read for every line
// pair of a file, hence written out in one pass.
inline std::optional<int> ParseGroupCode(std::string_view line) {
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p != end && IsBlank(*p)) {
        ++p;
    }
    const bool negative = p != end && *p == '-';
    if (negative) {
        ++p;
    }
    const char* const digits = p;
    int code = 0;
    while (p != end && static_cast<unsigned>(*p - '0') < 10 && p - digits < 9) {
        code = code * 10 + (*p++ - '0');
    }
    if (p == digits) {
        return std::nullopt;
    }
    while (p != end && IsBlank(*p)) {
        ++p;
    }
    if (p != end) {
        return std::nullopt;
    }
    return negative ? -code : code;
}

// A finite decimal number; spaces around it and a leading '+' are allowed.
// Locale independent.
std::optional<double> ParseReal(std::string_view text);
std::optional<std::int64_t> ParseInteger(std::string_view text);
// 1 to 16 hexadecimal digits, either case, spaces around allowed.
std::optional<Handle> ParseHandle(std::string_view text);

// The shortest text that reads back as the same double. Both zeros are
// written "0": a mirrored 0 is -0.0 and "-0" would only confuse readers.
void AppendReal(std::string& out, double value);
std::string FormatReal(double value);
void AppendInteger(std::string& out, std::int64_t value);
// Upper-case hexadecimal without leading zeros, as CAD programs write them.
std::string FormatHandle(Handle handle);

}  // namespace dxf
