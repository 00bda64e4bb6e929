#include "tools/dxf/DxfNumbers.h"

#include "numeric/NumberText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace dxf {

namespace {

constexpr std::array<ValueKind, kMaxGroupCode + 1> MakeKinds() {
    std::array<ValueKind, kMaxGroupCode + 1> kinds{};
    auto set = [&kinds](int first, int last, ValueKind kind) {
        for (int code = first; code <= last; ++code) {
            kinds[code] = kind;
        }
    };
    set(10, 59, ValueKind::Real);
    set(60, 79, ValueKind::Integer);
    set(90, 99, ValueKind::Integer);
    set(110, 149, ValueKind::Real);
    set(160, 179, ValueKind::Integer);
    set(210, 239, ValueKind::Real);
    set(270, 299, ValueKind::Integer);
    set(370, 389, ValueKind::Integer);
    set(400, 409, ValueKind::Integer);
    set(420, 429, ValueKind::Integer);
    set(440, 459, ValueKind::Integer);
    set(460, 469, ValueKind::Real);
    set(1010, 1059, ValueKind::Real);
    set(1060, 1071, ValueKind::Integer);
    return kinds;
}

constexpr std::array<ValueKind, kMaxGroupCode + 1> kKinds = MakeKinds();

// The number's text with blanks and a leading '+' removed, or empty when a
// '+' is followed by another sign (from_chars would take "+-1").
std::string_view NumberText(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
            return {};
        }
    }
    return text;
}

}  // namespace

ValueKind KindOf(int code) {
    return kKinds[static_cast<std::size_t>(code)];
}

std::optional<double> ParseReal(std::string_view text) {
    text = NumberText(text);
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = numeric::ReadDouble(text.data(), end, value);
    // from_chars also takes "inf" and "nan": a drawing has no use for them.
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    text = NumberText(text);
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<Handle> ParseHandle(std::string_view text) {
    text = Trim(text);
    if (text.empty() || text.size() > 16) {
        return std::nullopt;
    }
    Handle value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, 16);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

void AppendReal(std::string& out, double value) {
    if (value == 0) {
        out += '0';
        return;
    }
    // Written in place: 32 characters always hold the shortest form of a double.
    constexpr std::size_t kLongest = 32;
    const std::size_t size = out.size();
    out.resize(size + kLongest);
    const auto written =
        numeric::WriteDouble(out.data() + size, out.data() + size + kLongest, value);
    out.resize(static_cast<std::size_t>(written.ptr - out.data()));
}

std::string FormatReal(double value) {
    std::string text;
    AppendReal(text, value);
    return text;
}

void AppendInteger(std::string& out, std::int64_t value) {
    char buffer[24];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;
    out.append(buffer, ptr);
}

std::string FormatHandle(Handle handle) {
    char buffer[20];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, handle, 16);
    (void)ec;
    for (char* p = buffer; p != ptr; ++p) {
        if (*p >= 'a' && *p <= 'f') {
            *p = static_cast<char>(*p - 'a' + 'A');
        }
    }
    return std::string(buffer, ptr);
}

}  // namespace dxf
