#include "platform/veklib/JsonScanner.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vekhost::json {

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

size_t Utf8Length(const char* p, const char* end) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(p[i]); };
    const auto cont = [&](size_t i) { return p + i < end && (b(i) & 0xC0) == 0x80; };
    const unsigned char c = b(0);
    if (c >= 0xC2 && c <= 0xDF) {
        return cont(1) ? 2 : 0;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2)) {
            return 0;
        }
        if (c == 0xE0 && b(1) < 0xA0) {
            return 0;  // overlong
        }
        if (c == 0xED && b(1) > 0x9F) {
            return 0;  // a surrogate
        }
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) {
            return 0;
        }
        if (c == 0xF0 && b(1) < 0x90) {
            return 0;  // overlong
        }
        if (c == 0xF4 && b(1) > 0x8F) {
            return 0;  // beyond U+10FFFF
        }
        return 4;
    }
    return 0;
}

// from_chars refuses values beyond the range of doubles: a magnitude above the
// largest double reads as infinite (and is then refused as not finite), one
// below the smallest as zero, as strtod gives them.
double OutOfRange(const char* s, const char* end) {
    const bool negative = *s == '-';
    if (negative) {
        ++s;
    }
    // Decimal exponent of the first non-zero digit.
    long first = 0;
    bool found = false;
    const char* q = s;
    long integerDigits = 0;
    for (; q < end && IsDigit(*q); ++q, ++integerDigits) {
        if (!found && *q != '0') {
            found = true;
            first = integerDigits;
        }
    }
    if (found) {
        first = integerDigits - 1 - first;
    }
    if (q < end && *q == '.') {
        long k = 0;
        for (++q; q < end && IsDigit(*q); ++q) {
            ++k;
            if (!found && *q != '0') {
                found = true;
                first = -k;
            }
        }
    }
    long exponent = 0;
    if (q < end && (*q == 'e' || *q == 'E')) {
        ++q;
        const bool down = q < end && *q == '-';
        if (q < end && (*q == '-' || *q == '+')) {
            ++q;
        }
        for (; q < end && IsDigit(*q); ++q) {
            exponent = std::min(exponent * 10 + (*q - '0'), 100000L);
        }
        if (down) {
            exponent = -exponent;
        }
    }
    const double magnitude = first + exponent > 0 ? HUGE_VAL : 0.0;
    return negative ? -magnitude : magnitude;
}

std::string_view JsonScanner::SlowString(const char* start) {
    scratch_.assign(start, p_);
    for (;;) {
        if (p_ >= end_) {
            Malformed(start - 1, "the file ends inside a text");
        }
        const unsigned char c = static_cast<unsigned char>(*p_);
        if (c == '"') {
            ++p_;
            return scratch_;
        }
        if (c < 0x20) {
            Malformed(p_, "a control character in a text must be written as an escape");
        }
        if (c >= 0x80) {
            const size_t n = Utf8Length(p_, end_);
            if (n == 0) {
                Malformed(p_, "a text that is not UTF-8");
            }
            scratch_.append(p_, n);
            p_ += n;
            continue;
        }
        if (c != '\\') {
            scratch_ += char(c);
            ++p_;
            continue;
        }
        AppendEscape(start);
    }
}

void JsonScanner::AppendEscape(const char* start) {
    const char* escape = p_++;
    if (p_ >= end_) {
        Malformed(start - 1, "the file ends inside a text");
    }
    const char kind = *p_++;
    if (kind != 'u') {
        static const char kFrom[] = "\"\\/bfnrt";
        static const char kTo[] = "\"\\/\b\f\n\r\t";
        const char* found = std::strchr(kFrom, kind);
        if (!found || kind == 0) {
            Malformed(escape, "an unknown escape in a text");
        }
        scratch_ += kTo[found - kFrom];
        return;
    }
    uint32_t cp = Hex4();
    if (cp >= 0xDC00 && cp <= 0xDFFF) {
        Malformed(escape, "a low surrogate without a high one before it");
    }
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') {
            Malformed(escape, "a high surrogate without a low one after it");
        }
        p_ += 2;
        const uint32_t low = Hex4();
        if (low < 0xDC00 || low > 0xDFFF) {
            Malformed(escape, "a high surrogate without a low one after it");
        }
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(scratch_, cp);
}

uint32_t JsonScanner::Hex4() {
    uint32_t cp = 0;
    for (int i = 0; i < 4; ++i, ++p_) {
        if (p_ >= end_) {
            Unexpected("four hexadecimal digits");
        }
        const char c = *p_;
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = uint32_t(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = uint32_t(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = uint32_t(c - 'A' + 10);
        } else {
            Unexpected("four hexadecimal digits");
        }
        cp = cp * 16 + digit;
    }
    return cp;
}

}  // namespace vekhost::json
