// The readable drawing file. A whole file is checked and turned into tables
// before the drawing is touched, so a bad file leaves the drawing as it was.
//
// The reader is made for this one format rather than taken from a general
// JSON library: it reads straight into the tables of a new drawing, with no
// document tree in between, parses numbers with std::from_chars, and never
// goes deeper than the format does, so a file nested thousands of levels deep
// is refused instead of exhausting the stack. The writer prints every double
// in the shortest form that reads back as the same double (std::to_chars).
#include "platform/veklib/HostState.h"
#include "numeric/PortableMath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vekhost {

using namespace detail;

namespace {

// Identifiers in a file above this are refused: the tables are indexed by them.
constexpr int64_t kMaxFileId = 1 << 24;

// The deepest a drawing file goes: the top object, "segments", a segment,
// "elements", an element, its "lineType" and the "reserved" array in it.
constexpr int kMaxDepth = 7;

constexpr std::string_view kTypeNames[] = {
    "",          "line",      "circle",      "arc",     "pointLengths",
    "twoPoints", "unchanged", "roundCorner", "chamfer", "point"};

// The element type of a name, 0 for none.
int32_t TypeOf(std::string_view name) {
    for (int32_t k = 1; k <= 9; ++k) {
        if (kTypeNames[k] == name) return k;
    }
    return 0;
}

std::string Quoted(std::string_view key, const char* rest) {
    std::string s(1, '"');
    s.append(key).append(1, '"').append(rest);
    return s;
}

// ---- Where a value belongs, for messages -------------------------------------

struct Place {
    enum Level : uint8_t { kTop, kLayers, kLayer, kSegments, kSegment, kElement, kLineType };
    Level level = kTop;
    size_t segment = 0;  // or the layer's index for kLayer
    size_t element = 0;

    std::string Text() const {
        switch (level) {
            case kTop:
                return "top level";
            case kLayers:
                return "layers";
            case kLayer:
                return "layers[" + std::to_string(segment) + "]";
            case kSegments:
                return "segments";
            default:
                break;
        }
        std::string s = "segments[" + std::to_string(segment) + "]";
        if (level == kSegment) return s;
        s += ".elements[" + std::to_string(element) + "]";
        return level == kLineType ? s + ".lineType" : s;
    }
};

// ---- Fields ------------------------------------------------------------------

enum Field : uint8_t {
    kId,
    kType,
    kLineType,
    kStart,
    kEnd,
    kCentre,
    kRadius,
    kClockwise,
    kPoint,
    kLengths,
    kFirst,
    kSecond,
    kCorner,
    kSetback,
    kP1,
    kP2,
    kP3,
    kSize,
    kDirection,
    kFieldCount,
    kUnknown = kFieldCount
};

const std::string_view kFieldNames[kFieldCount] = {
    "id",        "type",  "lineType", "start", "end",      "centre", "radius",
    "clockwise", "point", "lengths",  "first", "second",   "corner", "setback",
    "p1",        "p2",    "p3",       "size",  "direction"};

// Picks the one candidate by length and a letter, then compares it whole.
Field ElementField(std::string_view key) {
    Field f;
    switch (key.size()) {
        case 2:
            f = key[0] == 'i' ? kId : key[1] == '1' ? kP1 : key[1] == '2' ? kP2 : kP3;
            break;
        case 3:
            f = kEnd;
            break;
        case 4:
            f = key[0] == 't' ? kType : kSize;
            break;
        case 5:
            f = key[0] == 's' ? kStart : key[0] == 'p' ? kPoint : kFirst;
            break;
        case 6:
            f = key[0] == 'r'   ? kRadius
                : key[0] == 's' ? kSecond
                : key[1] == 'e' ? kCentre
                                : kCorner;
            break;
        case 7:
            f = key[0] == 'l' ? kLengths : kSetback;
            break;
        case 8:
            f = kLineType;
            break;
        case 9:
            f = key[0] == 'c' ? kClockwise : kDirection;
            break;
        default:
            return kUnknown;
    }
    return kFieldNames[f] == key ? f : kUnknown;
}

constexpr uint32_t Bit(Field f) {
    return 1u << f;
}

// Fields each element type may have.
constexpr uint32_t kCommonFields = Bit(kId) | Bit(kType) | Bit(kLineType);
constexpr uint32_t kAllowedFields[] = {
    0,
    kCommonFields | Bit(kStart) | Bit(kEnd),
    kCommonFields | Bit(kCentre) | Bit(kRadius),
    kCommonFields | Bit(kCentre) | Bit(kStart) | Bit(kEnd) | Bit(kRadius) | Bit(kClockwise),
    kCommonFields | Bit(kPoint) | Bit(kLengths),
    kCommonFields | Bit(kFirst) | Bit(kSecond),
    kCommonFields | Bit(kP1) | Bit(kP2) | Bit(kP3) | Bit(kSize) | Bit(kDirection),
    kCommonFields | Bit(kCentre) | Bit(kStart) | Bit(kEnd) | Bit(kRadius) | Bit(kClockwise),
    kCommonFields | Bit(kCorner) | Bit(kStart) | Bit(kEnd) | Bit(kSetback),
    kCommonFields | Bit(kPoint)};

// What a field's value turned out to be, as far as the format cares.
enum class Shape : uint8_t { Number, Pair, Bool, Text, Other };

// Left uninitialised (an element has a table of them): the Read...Field
// call that reads a value sets every part its shape uses.
struct FieldValue {
    const char* key;    // where its name starts
    const char* value;  // where its value starts
    Shape shape;
    bool integer;  // Number: written without fraction or exponent
    bool fits;     // Number: an integer that fits 64 bits
    bool intPair;  // Pair: two integers that fit 32 bits
    bool flag;     // Bool
    int64_t whole[2];
    double v[2];
};

struct Number {
    double value = 0;
    bool integer = false;
    bool fits = false;
    int64_t whole = 0;
};

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

bool StartsValue(int c) {
    return c == '{' || c == '[' || c == '"' || c == '-' || IsDigit(c) || c == 't' || c == 'f' ||
           c == 'n';
}

// from_chars refuses values beyond the range of doubles: a magnitude above the
// largest double reads as infinite (and is then refused as not finite), one
// below the smallest as zero, as strtod gives them.
double OutOfRange(const char* s, const char* end) {
    const bool negative = *s == '-';
    if (negative) ++s;
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
    if (found) first = integerDigits - 1 - first;
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
        if (q < end && (*q == '-' || *q == '+')) ++q;
        for (; q < end && IsDigit(*q); ++q)
            exponent = std::min(exponent * 10 + (*q - '0'), 100000L);
        if (down) exponent = -exponent;
    }
    const double magnitude = first + exponent > 0 ? HUGE_VAL : 0.0;
    return negative ? -magnitude : magnitude;
}

// ---- The reader --------------------------------------------------------------

struct PendingSegment {
    int64_t id = 0;      // 0: none given
    uint32_t layer = 0;  // into the reader's segment layer names
    bool closed = false;
    uint32_t first = 0;  // its elements: records first .. first + count - 1
    uint32_t count = 0;
};

struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

class Reader {
public:
    explicit Reader(std::string_view text)
        : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()) {}

    // Reads the whole text into `d` (which must be new); throws on anything
    // it cannot take. `firstFreeId` is the lowest identifier the drawing may
    // hand out to objects the file gives none.
    void Read(Drawing& d, int64_t firstFreeId);

private:
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
    [[noreturn]] void Refuse(const char* at, const Place& place, const std::string& what) const {
        throw std::runtime_error("drawing file: " + LineColumn(at) + ": " + place.Text() + ": " +
                                 what);
    }
    [[noreturn]] void Malformed(const char* at, const std::string& what) const {
        throw std::runtime_error("drawing file: " + LineColumn(at) + ": not valid JSON: " + what);
    }
    [[noreturn]] void Unexpected(const char* expected) const {
        if (p_ >= end_)
            Malformed(p_, std::string("the file ends where ") + expected + " should be");
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
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
        return p_ < end_ ? static_cast<unsigned char>(*p_) : -1;
    }
    // The first character of a value, which must follow.
    int NextValue() {
        const int c = Next();
        if (!StartsValue(c)) Unexpected("a value");
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
    uint32_t Hex4();
    Number ReadNumber();
    // Skips one value of any kind, checking its syntax. `depth` is the level
    // it has if it is an array or object.
    void SkipValue(int depth, const Place& place);

    // Calls member(key, keyStart) with the position at each member's value.
    template <typename Member>
    void Members(Member&& member);
    // Calls item(index) with the position at each item.
    template <typename Item>
    void Items(Item&& item);

    // ---- Field values
    void ReadNumberField(FieldValue& f, int depth, const Place& place);
    void ReadPairField(FieldValue& f, int depth, const Place& place);
    void ReadBoolField(FieldValue& f, int depth, const Place& place);
    int64_t IntOf(const FieldValue& f, std::string_view key, int64_t lo, int64_t hi,
                  const Place& place) const;
    void Unique(uint32_t& seen, uint32_t bit, std::string_view key, const char* at,
                const Place& place) const {
        if (seen & bit) Refuse(at, place, Quoted(key, " is given twice"));
        seen |= bit;
    }

    // ---- The drawing
    void ReadLayers();
    void ReadSegment(size_t index);
    void ReadElement(size_t segment, size_t index);
    void ReadLineType(const Place& place, LineTypeRecord& out);
    // Marks `id` as taken by the object whose `where` entry is `slot`.
    void TakeId(int64_t id, uint32_t slot, const char* at, const Place& place);
    uint32_t SegmentLayer(std::string_view name);
    void Finish(int64_t firstFreeId);

    const char* begin_;
    const char* p_;
    const char* end_;
    std::string scratch_;

    Drawing* d_ = nullptr;
    int64_t maxId_ = 0;
    std::vector<std::string> listedLayers_;
    std::unordered_map<std::string, uint32_t, NameHash, std::equal_to<>> listedIndex_;
    // Layer names segments use, in the order they first appear.
    std::vector<std::string> segmentLayers_;
    std::unordered_map<std::string, uint32_t, NameHash, std::equal_to<>> segmentLayerIndex_;
    std::vector<PendingSegment> segments_;
};

std::string_view Reader::String() {
    ++p_;  // the opening quote
    const char* start = p_;
    while (p_ < end_) {
        const unsigned char c = static_cast<unsigned char>(*p_);
        if (c == '"') {
            ++p_;
            return std::string_view(start, static_cast<size_t>(p_ - 1 - start));
        }
        if (c == '\\' || c < 0x20 || c >= 0x80) return SlowString(start);
        ++p_;
    }
    Malformed(start - 1, "the file ends inside a text");
}

// Length of the UTF-8 sequence at `p` (up to `end`), 0 when it is not one.
size_t Utf8Length(const char* p, const char* end) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(p[i]); };
    const auto cont = [&](size_t i) { return p + i < end && (b(i) & 0xC0) == 0x80; };
    const unsigned char c = b(0);
    if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2)) return 0;
        if (c == 0xE0 && b(1) < 0xA0) return 0;  // overlong
        if (c == 0xED && b(1) > 0x9F) return 0;  // a surrogate
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) return 0;
        if (c == 0xF0 && b(1) < 0x90) return 0;  // overlong
        if (c == 0xF4 && b(1) > 0x8F) return 0;  // beyond U+10FFFF
        return 4;
    }
    return 0;
}

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

std::string_view Reader::SlowString(const char* start) {
    scratch_.assign(start, p_);
    for (;;) {
        if (p_ >= end_) Malformed(start - 1, "the file ends inside a text");
        const unsigned char c = static_cast<unsigned char>(*p_);
        if (c == '"') {
            ++p_;
            return scratch_;
        }
        if (c < 0x20) Malformed(p_, "a control character in a text must be written as an escape");
        if (c >= 0x80) {
            const size_t n = Utf8Length(p_, end_);
            if (n == 0) Malformed(p_, "a text that is not UTF-8");
            scratch_.append(p_, n);
            p_ += n;
            continue;
        }
        if (c != '\\') {
            scratch_ += char(c);
            ++p_;
            continue;
        }
        const char* escape = p_++;
        if (p_ >= end_) Malformed(start - 1, "the file ends inside a text");
        const char kind = *p_++;
        if (kind != 'u') {
            static const char from[] = "\"\\/bfnrt";
            static const char to[] = "\"\\/\b\f\n\r\t";
            const char* found = std::strchr(from, kind);
            if (!found || kind == 0) Malformed(escape, "an unknown escape in a text");
            scratch_ += to[found - from];
            continue;
        }
        uint32_t cp = Hex4();
        if (cp >= 0xDC00 && cp <= 0xDFFF)
            Malformed(escape, "a low surrogate without a high one before it");
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u')
                Malformed(escape, "a high surrogate without a low one after it");
            p_ += 2;
            const uint32_t low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF)
                Malformed(escape, "a high surrogate without a low one after it");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(scratch_, cp);
    }
}

uint32_t Reader::Hex4() {
    uint32_t cp = 0;
    for (int i = 0; i < 4; ++i, ++p_) {
        if (p_ >= end_) Unexpected("four hexadecimal digits");
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

Number Reader::ReadNumber() {
    const char* start = p_;
    const bool negative = *p_ == '-';
    if (negative) ++p_;
    if (p_ >= end_ || !IsDigit(*p_)) Unexpected("a digit");
    uint64_t magnitude = 0;
    int digits = 0;
    if (*p_ == '0') {
        ++p_;
        digits = 1;
    } else {
        for (; p_ < end_ && IsDigit(*p_); ++p_, ++digits) {
            if (digits < 19) magnitude = magnitude * 10 + uint64_t(*p_ - '0');
        }
    }
    Number n;
    n.integer = true;
    if (p_ < end_ && *p_ == '.') {
        n.integer = false;
        ++p_;
        if (p_ >= end_ || !IsDigit(*p_)) Unexpected("a digit after the decimal point");
        while (p_ < end_ && IsDigit(*p_)) ++p_;
    }
    if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
        n.integer = false;
        ++p_;
        if (p_ < end_ && (*p_ == '+' || *p_ == '-')) ++p_;
        if (p_ >= end_ || !IsDigit(*p_)) Unexpected("a digit in the exponent");
        while (p_ < end_ && IsDigit(*p_)) ++p_;
    }
    if (n.integer && digits <= 18) {
        // Exact: below 10^18 an integer converts to the nearest double.
        n.fits = true;
        n.whole = negative ? -int64_t(magnitude) : int64_t(magnitude);
        n.value = negative ? -double(magnitude) : double(magnitude);
        return n;
    }
    const auto [end, error] = std::from_chars(start, p_, n.value);
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

void Reader::SkipValue(int depth, const Place& place) {
    // Containers open around the position, innermost last.
    char open[kMaxDepth + 1];
    int count = 0;
    for (;;) {
        // A value.
        const int c = NextValue();
        bool closed = true;
        if (c == '{' || c == '[') {
            if (depth + count > kMaxDepth)
                Refuse(p_, place,
                       "nested deeper than a drawing file goes (" + std::to_string(kMaxDepth) +
                           " levels)");
            open[count++] = char(c);
            ++p_;
            const int first = Next();
            if (first == (c == '{' ? '}' : ']')) {
                ++p_;
                --count;
            } else if (c == '{') {
                if (first != '"') Unexpected("a field name in quotes");
                String();
                if (Next() != ':') Unexpected("':'");
                ++p_;
                closed = false;
            } else {
                closed = false;
            }
        } else if (c == '"') {
            String();
        } else if (c == 't') {
            Literal("true");
        } else if (c == 'f') {
            Literal("false");
        } else if (c == 'n') {
            Literal("null");
        } else {
            ReadNumber();
        }
        if (!closed) continue;
        // After a value: close what ends here, up to the next value.
        for (;;) {
            if (count == 0) return;
            const bool object = open[count - 1] == '{';
            const int next = Next();
            if (next == ',') {
                ++p_;
                if (object) {
                    if (Next() != '"') Unexpected("a field name in quotes");
                    String();
                    if (Next() != ':') Unexpected("':'");
                    ++p_;
                }
                break;
            }
            if (next != (object ? '}' : ']')) Unexpected(object ? "',' or '}'" : "',' or ']'");
            ++p_;
            --count;
        }
    }
}

template <typename Member>
void Reader::Members(Member&& member) {
    ++p_;  // the opening brace
    if (Next() == '}') {
        ++p_;
        return;
    }
    for (;;) {
        if (Next() != '"') Unexpected("a field name in quotes");
        const char* keyStart = p_;
        const std::string_view key = String();
        if (Next() != ':') Unexpected("':'");
        ++p_;
        NextValue();
        member(key, keyStart);
        const int c = Next();
        if (c == ',') {
            ++p_;
            continue;
        }
        if (c != '}') Unexpected("',' or '}'");
        ++p_;
        return;
    }
}

template <typename Item>
void Reader::Items(Item&& item) {
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
        if (c != ']') Unexpected("',' or ']'");
        ++p_;
        return;
    }
}

void Reader::ReadNumberField(FieldValue& f, int depth, const Place& place) {
    f.value = p_;
    if (*p_ == '-' || IsDigit(*p_)) {
        const Number n = ReadNumber();
        f.shape = Shape::Number;
        f.v[0] = n.value;
        f.integer = n.integer;
        f.fits = n.fits;
        f.whole[0] = n.whole;
    } else {
        SkipValue(depth, place);
        f.shape = Shape::Other;
    }
}

void Reader::ReadPairField(FieldValue& f, int depth, const Place& place) {
    f.value = p_;
    f.shape = Shape::Other;
    if (*p_ != '[') {
        SkipValue(depth, place);
        return;
    }
    size_t count = 0;
    bool numbers = true;
    bool integers = true;
    Items([&](size_t) {
        if (*p_ == '-' || IsDigit(*p_)) {
            const Number n = ReadNumber();
            if (count < 2) {
                f.v[count] = n.value;
                f.whole[count] = n.whole;
                integers = integers && n.fits && n.whole >= INT32_MIN && n.whole <= INT32_MAX;
            }
        } else {
            numbers = false;
            SkipValue(depth + 1, place);
        }
        ++count;
    });
    if (count == 2 && numbers) {
        f.shape = Shape::Pair;
        f.intPair = integers;
    }
}

void Reader::ReadBoolField(FieldValue& f, int depth, const Place& place) {
    f.value = p_;
    if (*p_ == 't' || *p_ == 'f') {
        f.flag = *p_ == 't';
        Literal(f.flag ? "true" : "false");
        f.shape = Shape::Bool;
    } else {
        SkipValue(depth, place);
        f.shape = Shape::Other;
    }
}

int64_t Reader::IntOf(const FieldValue& f, std::string_view key, int64_t lo, int64_t hi,
                      const Place& place) const {
    if (f.shape != Shape::Number || !f.integer)
        Refuse(f.value, place, Quoted(key, " must be an integer"));
    if (!f.fits || f.whole[0] < lo || f.whole[0] > hi)
        Refuse(f.value, place,
               Quoted(key, " must be from ") + std::to_string(lo) + " to " + std::to_string(hi));
    return f.whole[0];
}

void Reader::TakeId(int64_t id, uint32_t slot, const char* at, const Place& place) {
    Drawing& d = *d_;
    const auto index = static_cast<size_t>(id);
    if (index >= d.where.size()) {
        // Grown in steps, so that rising identifiers cost amortised constant time.
        if (index >= d.where.capacity())
            d.where.reserve(std::max(index + 1, d.where.capacity() * 2));
        d.Reserve(static_cast<VekId>(id + 1));
    }
    if (d.where[index] != Drawing::kNowhere)
        Refuse(at, place, "identifier " + std::to_string(id) + " is used twice");
    d.where[index] = slot;
    maxId_ = std::max(maxId_, id);
}

uint32_t Reader::SegmentLayer(std::string_view name) {
    if (!segmentLayers_.empty() && segmentLayers_.back() == name)
        return uint32_t(segmentLayers_.size() - 1);
    const auto found = segmentLayerIndex_.find(name);
    if (found != segmentLayerIndex_.end()) return found->second;
    const auto index = uint32_t(segmentLayers_.size());
    segmentLayers_.emplace_back(name);
    segmentLayerIndex_.emplace(segmentLayers_.back(), index);
    return index;
}

void Reader::ReadLineType(const Place& place, LineTypeRecord& out) {
    const char* start = p_;
    if (*p_ != '{') Refuse(p_, place, "must be an object");
    enum { kColor, kCode, kReserved };
    static const std::string_view names[] = {"color", "code", "reserved"};
    FieldValue fields[3];
    uint32_t seen = 0;
    Members([&](std::string_view key, const char* keyStart) {
        int f = 0;
        while (f < 3 && names[f] != key) ++f;
        if (f == 3) Refuse(keyStart, place, "unknown field \"" + std::string(key) + "\"");
        Unique(seen, 1u << f, key, keyStart, place);
        if (f == kReserved) {
            ReadPairField(fields[f], kMaxDepth, place);
        } else {
            ReadNumberField(fields[f], kMaxDepth, place);
        }
    });
    for (int f = kColor; f <= kCode; ++f) {
        if (!(seen & (1u << f))) Refuse(start, place, "missing " + Quoted(names[f], ""));
    }
    out.colorIndex = int32_t(IntOf(fields[kColor], "color", INT32_MIN, INT32_MAX, place));
    out.lineTypeCode = int32_t(IntOf(fields[kCode], "code", INT32_MIN, INT32_MAX, place));
    if (seen & (1u << kReserved)) {
        const FieldValue& r = fields[kReserved];
        if (r.shape != Shape::Pair || !r.intPair)
            Refuse(r.value, place, "\"reserved\" must be an array of two integers");
        out.reserved[0] = int32_t(r.whole[0]);
        out.reserved[1] = int32_t(r.whole[1]);
    }
}

void Reader::ReadElement(size_t segment, size_t index) {
    const Place place{Place::kElement, segment, index};
    const char* start = p_;
    if (*p_ != '{') Refuse(p_, place, "must be an object");
    FieldValue fields[kFieldCount];
    uint32_t seen = 0;
    // Fields in the order given, up to the first unknown one: the first that
    // the type does not allow is reported.
    Field order[kFieldCount];
    int ordered = 0;
    const char* unknownAt = nullptr;
    std::string unknownName;
    int32_t type = 0;
    std::string unknownType;
    LineTypeRecord lineType{};
    constexpr int kDepth = 6;  // of an element's values
    Members([&](std::string_view key, const char* keyStart) {
        const Field f = ElementField(key);
        if (f == kUnknown) {
            if (!unknownAt) unknownAt = keyStart, unknownName = key;
            SkipValue(kDepth, place);
            return;
        }
        Unique(seen, Bit(f), key, keyStart, place);
        if (!unknownAt) order[ordered++] = f;
        FieldValue& v = fields[f];
        v.key = keyStart;
        switch (f) {
            case kType:
                v.value = p_;
                if (*p_ == '"') {
                    const std::string_view name = String();
                    type = TypeOf(name);
                    if (type == 0) unknownType = name;
                    v.shape = Shape::Text;
                } else {
                    SkipValue(kDepth, place);
                }
                break;
            case kLineType:
                ReadLineType(Place{Place::kLineType, segment, index}, lineType);
                break;
            case kId:
            case kRadius:
            case kSetback:
            case kSize:
            case kDirection:
                ReadNumberField(v, kDepth, place);
                break;
            case kClockwise:
                ReadBoolField(v, kDepth, place);
                break;
            default:
                ReadPairField(v, kDepth, place);
                break;
        }
    });

    if (!(seen & Bit(kType))) Refuse(start, place, "missing \"type\"");
    if (fields[kType].shape != Shape::Text)
        Refuse(fields[kType].value, place, "\"type\" must be a text");
    if (type == 0)
        Refuse(fields[kType].value, place,
               "unknown type \"" + unknownType +
                   "\" (line, circle, arc, pointLengths, twoPoints, unchanged, roundCorner, "
                   "chamfer, point)");
    for (int i = 0; i < ordered; ++i) {
        if (!(kAllowedFields[type] & Bit(order[i])))
            Refuse(fields[order[i]].key, place,
                   "unknown field \"" + std::string(kFieldNames[order[i]]) + "\"");
    }
    if (unknownAt) Refuse(unknownAt, place, "unknown field \"" + unknownName + "\"");

    auto has = [&](Field f) { return (seen & Bit(f)) != 0; };
    auto point = [&](Field f, double* out) {
        const FieldValue& v = fields[f];
        if (!has(f)) Refuse(start, place, "missing " + Quoted(kFieldNames[f], ""));
        if (v.shape != Shape::Pair)
            Refuse(v.value, place, Quoted(kFieldNames[f], " must be an array of two numbers"));
        if (!std::isfinite(v.v[0]) || !std::isfinite(v.v[1]))
            Refuse(v.value, place, Quoted(kFieldNames[f], " must be finite"));
        out[0] = v.v[0];
        out[1] = v.v[1];
    };
    auto number = [&](Field f) {
        const FieldValue& v = fields[f];
        if (!has(f)) Refuse(start, place, "missing " + Quoted(kFieldNames[f], ""));
        if (v.shape != Shape::Number)
            Refuse(v.value, place, Quoted(kFieldNames[f], " must be a number"));
        if (!std::isfinite(v.v[0]))
            Refuse(v.value, place, Quoted(kFieldNames[f], " must be finite"));
        return v.v[0];
    };

    FigureRecord figure{};
    figure.kind = static_cast<uint32_t>(type);
    switch (type) {
        case VEK_LINE:
            point(kStart, figure.p1);
            point(kEnd, figure.p2);
            break;
        case VEK_CIRCLE:
            point(kCentre, figure.p1);
            figure.p2[0] = number(kRadius);
            if (figure.p2[0] < 0)
                Refuse(fields[kRadius].value, place, "\"radius\" must not be negative");
            break;
        case VEK_ARC:
        case VEK_ROUND_CORNER:
            point(kCentre, figure.p1);
            point(kStart, figure.p2);
            point(kEnd, figure.p3);
            figure.size = has(kRadius) ? number(kRadius)
                                       : numeric::Hypot(figure.p2[0] - figure.p1[0],
                                                        figure.p2[1] - figure.p1[1]);
            if (has(kClockwise) && fields[kClockwise].shape != Shape::Bool)
                Refuse(fields[kClockwise].value, place, "\"clockwise\" must be true or false");
            figure.direction = has(kClockwise) && fields[kClockwise].flag ? 1u : 0u;
            break;
        case VEK_POINT_LENGTHS:
            point(kPoint, figure.p1);
            point(kLengths, figure.p2);
            break;
        case VEK_TWO_POINTS:
            point(kFirst, figure.p2);
            point(kSecond, figure.p3);
            break;
        case VEK_CHAMFER:
            point(kCorner, figure.p1);
            point(kStart, figure.p2);
            point(kEnd, figure.p3);
            figure.size = number(kSetback);
            break;
        case VEK_POINT:
            point(kPoint, figure.p1);
            break;
        default:  // unchanged: the raw record, every field optional
            if (has(kP1)) point(kP1, figure.p1);
            if (has(kP2)) point(kP2, figure.p2);
            if (has(kP3)) point(kP3, figure.p3);
            if (has(kSize)) figure.size = number(kSize);
            if (has(kDirection))
                figure.direction = static_cast<uint32_t>(
                    IntOf(fields[kDirection], "direction", 0, UINT32_MAX, place));
            break;
    }
    int64_t id = 0;
    if (has(kId)) id = IntOf(fields[kId], "id", 1, kMaxFileId, place);

    Drawing& d = *d_;
    const uint32_t slot = d.elements.Add();
    if (id != 0) TakeId(id, slot * 2, fields[kId].value, place);
    ElementData& e = d.elements[slot];
    e.type = type;
    e.segment = static_cast<VekId>(id);  // the identifier until Finish links the records
    e.figure = figure;
    e.lineType = lineType;
}

void Reader::ReadSegment(size_t index) {
    const Place place{Place::kSegment, index, 0};
    if (*p_ != '{') Refuse(p_, place, "must be an object");
    enum { kSegId, kLayer, kClosed, kElements };
    static const std::string_view names[] = {"id", "layer", "closed", "elements"};
    PendingSegment ps;
    ps.first = d_->elements.size();
    uint32_t seen = 0;
    Members([&](std::string_view key, const char* keyStart) {
        int f = 0;
        while (f < 4 && names[f] != key) ++f;
        if (f == 4) Refuse(keyStart, place, "unknown field \"" + std::string(key) + "\"");
        Unique(seen, 1u << f, key, keyStart, place);
        switch (f) {
            case kSegId: {
                FieldValue v;
                ReadNumberField(v, 4, place);
                ps.id = IntOf(v, "id", 1, kMaxFileId, place);
                TakeId(ps.id, uint32_t(index) * 2 + 1, v.value, place);
                break;
            }
            case kLayer:
                if (*p_ != '"') Refuse(p_, place, "\"layer\" must be a layer name");
                ps.layer = SegmentLayer(String());
                break;
            case kClosed: {
                FieldValue v;
                ReadBoolField(v, 4, place);
                if (v.shape != Shape::Bool)
                    Refuse(v.value, place, "\"closed\" must be true or false");
                ps.closed = v.flag;
                break;
            }
            default:
                if (*p_ != '[') Refuse(p_, place, "\"elements\" must be an array");
                Items([&](size_t k) { ReadElement(index, k); });
                break;
        }
    });
    if (!(seen & (1u << kLayer))) ps.layer = SegmentLayer("0");
    ps.count = d_->elements.size() - ps.first;
    segments_.push_back(ps);
}

void Reader::ReadLayers() {
    if (*p_ != '[') Refuse(p_, Place{Place::kLayers}, "must be an array of names");
    Items([&](size_t i) {
        const Place place{Place::kLayer, i, 0};
        const char* at = p_;
        if (*p_ != '"') Refuse(p_, place, "must be a text");
        const std::string_view name = String();
        if (listedIndex_.count(name))
            Refuse(at, place, "repeats the name \"" + std::string(name) + "\"");
        listedIndex_.emplace(name, uint32_t(listedLayers_.size()));
        listedLayers_.emplace_back(name);
    });
}

void Reader::Read(Drawing& d, int64_t firstFreeId) {
    d_ = &d;
    const Place top;
    if (end_ - p_ >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0) p_ += 3;  // a UTF-8 mark
    const int c = Next();
    if (c < 0) Malformed(p_, "the file is empty");
    if (c != '{') {
        NextValue();
        Refuse(p_, top, "must be an object");
    }
    const char* start = p_;
    enum { kFormat, kVersion, kLayers, kSegments };
    static const std::string_view names[] = {"format", "version", "layers", "segments"};
    uint32_t seen = 0;
    Members([&](std::string_view key, const char* keyStart) {
        int f = 0;
        while (f < 4 && names[f] != key) ++f;
        if (f == 4) Refuse(keyStart, top, "unknown field \"" + std::string(key) + "\"");
        Unique(seen, 1u << f, key, keyStart, top);
        switch (f) {
            case kFormat: {
                const char* at = p_;
                if (*p_ != '"' || String() != "vek-drawing")
                    Refuse(at, top, "\"format\" must be \"vek-drawing\"");
                break;
            }
            case kVersion: {
                FieldValue v;
                ReadNumberField(v, 2, top);
                IntOf(v, "version", 1, 1, top);
                break;
            }
            case kLayers:
                ReadLayers();
                break;
            default:
                if (*p_ != '[') Refuse(p_, Place{Place::kSegments}, "must be an array");
                Items([&](size_t i) { ReadSegment(i); });
                break;
        }
    });
    if (!(seen & (1u << kSegments))) Refuse(start, top, "missing \"segments\"");
    if (Next() >= 0) Unexpected("the end of the file after the drawing");
    Finish(firstFreeId);
}

// Everything is read and checked: names the layers, hands out the
// identifiers the file did not give (after every identifier in use) and links
// each segment's records.
void Reader::Finish(int64_t firstFreeId) {
    Drawing& d = *d_;
    d.layers = listedLayers_;
    if (!listedIndex_.count(std::string_view("0"))) d.layers.insert(d.layers.begin(), "0");
    // Views into the names: no name may move while they are in use.
    d.layers.reserve(d.layers.size() + segmentLayers_.size());
    std::unordered_map<std::string_view, uint32_t> named;
    for (size_t i = 0; i < d.layers.size(); ++i) named.emplace(d.layers[i], uint32_t(i));
    std::vector<VekId> layerOf(segmentLayers_.size());
    for (size_t i = 0; i < segmentLayers_.size(); ++i) {
        const auto found = named.find(segmentLayers_[i]);
        if (found != named.end()) {
            layerOf[i] = VekId(found->second);
        } else {
            layerOf[i] = VekId(d.layers.size());
            d.layers.push_back(segmentLayers_[i]);
        }
    }

    int64_t next = std::max(firstFreeId, maxId_ + 1);
    for (PendingSegment& ps : segments_) {
        if (ps.id == 0) ps.id = next++;
        for (uint32_t k = 0; k < ps.count; ++k) {
            ElementData& e = d.elements[ps.first + k];
            if (e.segment == 0) e.segment = VekId(next++);
        }
    }
    d.nextId = static_cast<VekId>(next);
    d.Reserve(d.nextId);
    d.segments.resize(segments_.size());
    for (size_t i = 0; i < segments_.size(); ++i) {
        const PendingSegment& ps = segments_[i];
        const auto id = VekId(ps.id);
        d.where[size_t(id)] = uint32_t(i) * 2 + 1;
        SegmentData& s = d.segments[i];
        s.closed = ps.closed;
        s.layer = layerOf[ps.layer];
        s.count = int32_t(ps.count);
        VekId previous = VEK_NONE;
        for (uint32_t k = 0; k < ps.count; ++k) {
            const uint32_t slot = ps.first + k;
            ElementData& e = d.elements[slot];
            const VekId own = e.segment;
            d.where[size_t(own)] = slot * 2;
            e.segment = id;
            e.prev = previous;
            e.next = VEK_NONE;
            if (previous != VEK_NONE) d.E(previous).next = own;
            if (k == 0) s.head = own;
            s.tail = own;
            previous = own;
        }
    }
}

// ---- Writing -----------------------------------------------------------------

// Writes into a buffer its user has made large enough.
struct Cursor {
    char* p;

    template <size_t N>
    Cursor& Lit(const char (&text)[N]) {
        std::memcpy(p, text, N - 1);
        p += N - 1;
        return *this;
    }
    Cursor& Int(int64_t v) {
        p = std::to_chars(p, p + 24, v).ptr;
        return *this;
    }
    // Shortest text that reads back as `v`; null for a value that is not
    // finite (which the reader then refuses: nothing in a drawing may be).
    // Negative zero gets a fraction, as readers that keep integers apart
    // read "-0" as the integer 0.
    Cursor& Num(double v) {
        if (!std::isfinite(v)) return Lit("null");
        if (v == 0 && std::signbit(v)) return Lit("-0.0");
        if (!ShortDecimal(v)) p = std::to_chars(p, p + 32, v).ptr;
        return *this;
    }
    // A value of at most eight decimals below about 10^7 (as most coordinates
    // are once rounded) printed from its integer count of hundred-millionths:
    // the text std::to_chars gives, in half the time. Below 2^50 the scaled
    // value is within a quarter of that integer, so the nearest integer is
    // the one, if any, whose decimal reads back as the value. False, nothing
    // written, for any other value or where to_chars would write an exponent.
    bool ShortDecimal(double v) {
        const double scaled = std::fabs(v) * 1e8;
        if (!(scaled < 1125899906842624.0)) return false;
        const double nearest = std::nearbyint(scaled);
        if (nearest == 0 || nearest / 1e8 != std::fabs(v)) return false;
        auto digits = static_cast<uint64_t>(nearest);
        int decimals = 8;
        while (decimals > 0 && digits % 10 == 0) {
            digits /= 10;
            --decimals;
        }
        char text[24];
        const int count = int(std::to_chars(text, text + sizeof text, digits).ptr - text);
        int significant = count;
        while (decimals == 0 && significant > 1 && text[significant - 1] == '0') --significant;
        const int whole = count - decimals;  // digits before the point
        const int fixedLength = (whole > 0 ? whole : 1) + (decimals > 0 ? decimals + 1 : 0);
        if (fixedLength > significant + (significant > 1 ? 1 : 0) + 4) return false;
        if (v < 0) *p++ = '-';
        if (whole > 0) {
            std::memcpy(p, text, size_t(whole));
            p += whole;
        } else {
            *p++ = '0';
        }
        if (decimals > 0) {
            *p++ = '.';
            for (int i = whole; i < 0; ++i) *p++ = '0';
            const int from = whole > 0 ? whole : 0;
            std::memcpy(p, text + from, size_t(count - from));
            p += count - from;
        }
        return true;
    }
    Cursor& Pt(const double* q) { return Lit("[").Num(q[0]).Lit(", ").Num(q[1]).Lit("]"); }
};

// The longest an element's line can be: the raw record's seven doubles of at
// most 24 characters, four integers of at most 11 and the names around them.
constexpr size_t kMaxElementText = 512;

void WriteElement(Cursor& c, VekId id, const ElementData& e) {
    const FigureRecord& f = e.figure;
    c.Lit("      {\"id\": ").Int(id).Lit(", \"type\": \"");
    const std::string_view type = kTypeNames[e.type];
    std::memcpy(c.p, type.data(), type.size());
    c.p += type.size();
    c.Lit("\"");
    switch (e.type) {
        case VEK_LINE:
            c.Lit(", \"start\": ").Pt(f.p1).Lit(", \"end\": ").Pt(f.p2);
            break;
        case VEK_CIRCLE:
            c.Lit(", \"centre\": ").Pt(f.p1).Lit(", \"radius\": ").Num(f.p2[0]);
            break;
        case VEK_ARC:
        case VEK_ROUND_CORNER:
            c.Lit(", \"centre\": ").Pt(f.p1).Lit(", \"start\": ").Pt(f.p2);
            c.Lit(", \"end\": ").Pt(f.p3).Lit(", \"radius\": ").Num(f.size);
            if (f.direction == 1) {
                c.Lit(", \"clockwise\": true");
            } else {
                c.Lit(", \"clockwise\": false");
            }
            break;
        case VEK_POINT_LENGTHS:
            c.Lit(", \"point\": ").Pt(f.p1).Lit(", \"lengths\": ").Pt(f.p2);
            break;
        case VEK_TWO_POINTS:
            c.Lit(", \"first\": ").Pt(f.p2).Lit(", \"second\": ").Pt(f.p3);
            break;
        case VEK_CHAMFER:
            c.Lit(", \"corner\": ").Pt(f.p1).Lit(", \"start\": ").Pt(f.p2);
            c.Lit(", \"end\": ").Pt(f.p3).Lit(", \"setback\": ").Num(f.size);
            break;
        case VEK_POINT:
            c.Lit(", \"point\": ").Pt(f.p1);
            break;
        default:  // kept as the raw record
            c.Lit(", \"p1\": ").Pt(f.p1).Lit(", \"p2\": ").Pt(f.p2).Lit(", \"p3\": ").Pt(f.p3);
            c.Lit(", \"size\": ").Num(f.size).Lit(", \"direction\": ").Int(f.direction);
            break;
    }
    const LineTypeRecord& lt = e.lineType;
    c.Lit(", \"lineType\": {\"color\": ")
        .Int(lt.colorIndex)
        .Lit(", \"code\": ")
        .Int(lt.lineTypeCode);
    if (lt.reserved[0] || lt.reserved[1])
        c.Lit(", \"reserved\": [").Int(lt.reserved[0]).Lit(", ").Int(lt.reserved[1]).Lit("]");
    c.Lit("}}");
}

// A name in quotes, escaped where JSON needs it.
void AppendText(std::string& out, std::string_view s) {
    out += '"';
    const char* q = s.data();
    const char* end = q + s.size();
    while (q < end) {
        const unsigned char c = static_cast<unsigned char>(*q);
        if (c >= 0x80) {
            const size_t n = Utf8Length(q, end);
            if (n == 0) throw std::runtime_error("drawing file: a layer name is not UTF-8 text");
            out.append(q, n);
            q += n;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
        ++q;
    }
    out += '"';
}

// The drawing's text into `out`. With `write`, each time `out` holds a
// megabyte or more it is handed over and emptied, so that no more than that
// is held at once.
void WriteDrawing(std::string& out, const std::function<void(std::string_view)>* write) {
    const Drawing& d = S().drawing;
    constexpr size_t kPiece = size_t(1) << 20;
    auto handOver = [&] {
        if (write && out.size() >= kPiece) {
            (*write)(out);
            out.clear();
        }
    };
    out += "{\n  \"format\": \"vek-drawing\",\n  \"version\": 1,\n  \"layers\": [";
    for (size_t i = 0; i < d.layers.size(); ++i) {
        if (i) out += ", ";
        AppendText(out, d.layers[i]);
        handOver();
    }
    out += "],\n  \"segments\": [";
    bool firstSegment = true;
    char line[kMaxElementText];
    for (VekId id : d.SegmentIds()) {
        const SegmentData& s = d.segments[d.where[id] >> 1];
        out += firstSegment ? "\n    {\"id\": " : ",\n    {\"id\": ";
        firstSegment = false;
        Cursor c{line};
        out.append(line, size_t(c.Int(id).p - line));
        out += ", \"layer\": ";
        AppendText(out, d.layers[s.layer]);
        out += s.closed ? ", \"closed\": true, \"elements\": ["
                        : ", \"closed\": false, \"elements\": [";
        for (VekId e = s.head; e != VEK_NONE;) {
            const ElementData& element = d.elements[d.where[e] >> 1];
            Cursor at{line};
            if (e != s.head) at.Lit(",");
            at.Lit("\n");
            WriteElement(at, e, element);
            out.append(line, size_t(at.p - line));
            e = element.next;
            handOver();
        }
        out += s.head == VEK_NONE ? "]}" : "\n    ]}";
    }
    out += firstSegment ? "]\n}\n" : "\n  ]\n}\n";
    if (write) {
        (*write)(out);
        out.clear();
    }
}

}  // namespace

std::string ToJson() {
    const Drawing& d = S().drawing;
    const size_t elements = size_t(d.elements.size()) - d.freeElements.size();
    std::string out;
    // Reserved, not filled: the pages of it never written are never touched.
    out.reserve(elements * kMaxElementText + 4096);
    WriteDrawing(out, nullptr);
    return out;
}

void WriteJson(const std::function<void(std::string_view)>& write) {
    std::string piece;
    piece.reserve((size_t(1) << 20) + kMaxElementText + 4096);
    WriteDrawing(piece, &write);
}

void FromJson(const std::string& text) {
    Session& s = S();
    Drawing d;
    Reader(text).Read(d, s.drawing.nextId);
    s.drawing = std::move(d);
    s.selected.clear();
}

void Save(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    if (!out) throw std::runtime_error("cannot write drawing file " + path);
    WriteJson([&](std::string_view piece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    });
    if (!out) throw std::runtime_error("cannot write drawing file " + path);
}

void Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw std::runtime_error("cannot read drawing file " + path);
    const std::streamoff size = in.tellg();
    std::string text;
    if (size > 0) {
        text.resize(static_cast<size_t>(size));
        in.seekg(0);
        in.read(text.data(), size);
    }
    if (size < 0 || !in) throw std::runtime_error("cannot read drawing file " + path);
    try {
        FromJson(text);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

}  // namespace vekhost
