#include "engine/Messages.h"

namespace msg {

const VekChar* FormatCount(VekChar* out, size_t size, const VekChar* pattern, int32_t value) {
    if (size == 0) {
        return out;
    }
    size_t n = 0;
    bool done = false;
    for (const VekChar* p = pattern; *p != 0 && n + 1 < size; ++p) {
        if (!done && p[0] == VekChar('%') && p[1] == VekChar('d')) {
            // Digits of |value| backwards; INT32_MIN needs the 64-bit magnitude.
            VekChar digits[12];
            int count = 0;
            int64_t magnitude = value < 0 ? -int64_t(value) : int64_t(value);
            do {
                digits[count++] = VekChar(u'0' + int(magnitude % 10));
                magnitude /= 10;
            } while (magnitude != 0);
            if (value < 0 && n + 1 < size) {
                out[n++] = VekChar('-');
            }
            while (count > 0 && n + 1 < size) {
                out[n++] = digits[--count];
            }
            ++p;  // skip the 'd'
            done = true;
            continue;
        }
        out[n++] = *p;
    }
    out[n] = 0;
    return out;
}

void ShowCountBox(const VekChar* pattern, int32_t value) {
    VekChar text[kFormatCapacity];
    VekDlgMessageBox(FormatCount(text, kFormatCapacity, pattern, value));
}

}  // namespace msg
