// JSON tokens over a text held in memory: white space, literals, texts
// (checked as UTF-8, escapes resolved), numbers (numeric::ReadDouble; integers
// kept exact), and the members of an object or the items of an array, one by
// one. Anything malformed is thrown as std::runtime_error naming its line and
// column. The drawing file's reader (DrawingJsonReader) builds on it.
#pragma once

#include "numeric/NumberText.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vekhost::json {

// A number as read: its double, and whether it was written as an integer
// (and then, when it fits 64 bits, that integer exactly).
struct Number {
    double value = 0;
    bool integer = false;
    bool fits = false;
    int64_t whole = 0;
};

inline bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

inline bool StartsValue(int c) {
    return c == '{' || c == '[' || c == '"' || c == '-' || IsDigit(c) || c == 't' || c == 'f' ||
           c == 'n';
}

// Length of the UTF-8 sequence at `p` (up to `end`), 0 when it is not one.
size_t Utf8Length(const char* p, const char* end);

// The value of a number std::from_chars finds beyond the range of doubles.
double OutOfRange(const char* s, const char* end);

class JsonScanner {
public:
    explicit JsonScanner(std::string_view text)
        : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()) {}

protected:
    // ---- Messages
    std::string LineColumn(const char* at) const {
        long line = 1, column = 1;
        for (const char* q = begin_; q < at && q < end_; ++q) {
            if (*q == '\n') {
                ++line, column = 1;
            } else if ((static_cast<unsigned char>(*q) & 0xC0) != 0x80) {
                ++column;
            }
        }
        return "line " + std::to_string(line) + ", column " + std::to_string(column);
    }
    [[noreturn]] void Malformed(const char* at, const std::string& what) const {
        throw std::runtime_error("drawing file: " + LineColumn(at) + ": not valid JSON: " + what);
    }
    [[noreturn]] void Unexpected(const char* expected) const {
        if (p_ >= end_) {
            Malformed(p_, std::string("the file ends where ") + expected + " should be");
        }
        const unsigned char c = static_cast<unsigned char>(*p_);
        std::string found;
        if (c >= 0x20 && c < 0x7F) {
            found = std::string("'") + char(c) + "'";
        } else {
            const char hex[] = "0123456789abcdef";
            found = std::string("byte 0x") + hex[c >> 4] + hex[c & 15];
        }
        Malformed(p_, std::string("expected ") + expected + ", found " + found);
    }

    // ---- Tokens
    int Next() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) {
            ++p_;
        }
        return p_ < end_ ? static_cast<unsigned char>(*p_) : -1;
    }
    // The first character of a value, which must follow.
    int NextValue() {
        const int c = Next();
        if (!StartsValue(c)) {
            Unexpected("a value");
        }
        return c;
    }
    void Literal(std::string_view word) {
        if (static_cast<size_t>(end_ - p_) < word.size() ||
            std::string_view(p_, word.size()) != word)
            Unexpected("a value");
        p_ += word.size();
    }
    std::string_view String();
    std::string_view SlowString(const char* start);
    // The escape at the reader, after a backslash, onto the text being read
    // (which started at `start`).
    void AppendEscape(const char* start);
    uint32_t Hex4();
    Number ReadNumber();
    // Calls member(key, keyStart) with the position at each member's value.
    template <typename Member>
    void Members(Member&& member);
    // Calls item(index) with the position at each item.
    template <typename Item>
    void Items(Item&& item);

    const char* begin_;
    const char* p_;
    const char* end_;
    std::string scratch_;
};

inline std::string_view JsonScanner::String() {
    ++p_;  // the opening quote
    const char* start = p_;
    while (p_ < end_) {
        const unsigned char c = static_cast<unsigned char>(*p_);
        if (c == '"') {
            ++p_;
            return std::string_view(start, static_cast<size_t>(p_ - 1 - start));
        }
        if (c == '\\' || c < 0x20 || c >= 0x80) {
            return SlowString(start);
        }
        ++p_;
    }
    Malformed(start - 1, "the file ends inside a text");
}

inline Number JsonScanner::ReadNumber() {
    const char* start = p_;
    const bool negative = *p_ == '-';
    if (negative) {
        ++p_;
    }
    if (p_ >= end_ || !IsDigit(*p_)) {
        Unexpected("a digit");
    }
    uint64_t magnitude = 0;
    int digits = 0;
    if (*p_ == '0') {
        ++p_;
        digits = 1;
    } else {
        for (; p_ < end_ && IsDigit(*p_); ++p_, ++digits) {
            if (digits < 19) {
                magnitude = magnitude * 10 + uint64_t(*p_ - '0');
            }
        }
    }
    Number n;
    n.integer = true;
    if (p_ < end_ && *p_ == '.') {
        n.integer = false;
        ++p_;
        if (p_ >= end_ || !IsDigit(*p_)) {
            Unexpected("a digit after the decimal point");
        }
        while (p_ < end_ && IsDigit(*p_)) {
            ++p_;
        }
    }
    if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
        n.integer = false;
        ++p_;
        if (p_ < end_ && (*p_ == '+' || *p_ == '-')) {
            ++p_;
        }
        if (p_ >= end_ || !IsDigit(*p_)) {
            Unexpected("a digit in the exponent");
        }
        while (p_ < end_ && IsDigit(*p_)) {
            ++p_;
        }
    }
    if (n.integer && digits <= 18) {
        // Exact: below 10^18 an integer converts to the nearest double.
        n.fits = true;
        n.whole = negative ? -int64_t(magnitude) : int64_t(magnitude);
        n.value = negative ? -double(magnitude) : double(magnitude);
        return n;
    }
    const auto [end, error] = numeric::ReadDouble(start, p_, n.value);
    if (error == std::errc::result_out_of_range) {
        n.value = OutOfRange(start, p_);
    } else if (error != std::errc() || end != p_) {
        Malformed(start, "a number that cannot be read");
    }
    if (n.integer) {
        const auto result = std::from_chars(start, p_, n.whole);
        n.fits = result.ec == std::errc() && result.ptr == p_;
    }
    return n;
}

template <typename Member>
void JsonScanner::Members(Member&& member) {
    ++p_;  // the opening brace
    if (Next() == '}') {
        ++p_;
        return;
    }
    for (;;) {
        if (Next() != '"') {
            Unexpected("a field name in quotes");
        }
        const char* keyStart = p_;
        const std::string_view key = String();
        if (Next() != ':') {
            Unexpected("':'");
        }
        ++p_;
        NextValue();
        member(key, keyStart);
        const int c = Next();
        if (c == ',') {
            ++p_;
            continue;
        }
        if (c != '}') {
            Unexpected("',' or '}'");
        }
        ++p_;
        return;
    }
}

template <typename Item>
void JsonScanner::Items(Item&& item) {
    ++p_;  // the opening bracket
    if (Next() == ']') {
        ++p_;
        return;
    }
    for (size_t i = 0;; ++i) {
        NextValue();
        item(i);
        const int c = Next();
        if (c == ',') {
            ++p_;
            continue;
        }
        if (c != ']') {
            Unexpected("',' or ']'");
        }
        ++p_;
        return;
    }
}

}  // namespace vekhost::json
