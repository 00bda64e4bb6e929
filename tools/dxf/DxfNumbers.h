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

// Spaces, tabs and carriage returns removed from both ends.
std::string_view Trim(std::string_view text);

// A group code line: an integer of at most 9 digits with spaces around it.
// Whether the code is in range is the caller's check.
std::optional<int> ParseGroupCode(std::string_view line);

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
