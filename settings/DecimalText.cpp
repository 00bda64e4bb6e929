#include "settings/DecimalText.h"

#include <algorithm>
#include <limits>

namespace {

bool IsBlank(WCHAR c) {
    return c == TEXT(' ') || (c >= TEXT('\t') && c <= TEXT('\r'));
}

}  // namespace

int32_t DecimalTextToInt(const RegText& text) {
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMinMagnitude = kMax + 1;

    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == TEXT('+') || text[i] == TEXT('-'))) {
        negative = text[i] == TEXT('-');
        ++i;
    }
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= TEXT('0') && text[i] <= TEXT('9'); ++i) {
        // Capping while scanning keeps the sum small however many digits follow.
        magnitude = std::min(magnitude * 10 + (text[i] - TEXT('0')), kMinMagnitude);
    }
    if (negative) {
        return static_cast<int32_t>(-magnitude);
    }
    return static_cast<int32_t>(std::min(magnitude, kMax));
}
