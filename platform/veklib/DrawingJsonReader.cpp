// The reader is made for this one format rather than taken from a general
// JSON library: it reads straight into the tables of a new drawing, with no
// document tree in between, and never goes deeper than the format does, so a
// file nested thousands of levels deep is refused instead of exhausting the
// stack.
#include "platform/veklib/DrawingJsonReader.h"

#include "platform/veklib/DrawingJsonWriter.h"
#include "platform/veklib/JsonScanner.h"
#include "numeric/PortableMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace vekhost::detail {

namespace {

using namespace json;

// Identifiers in a file above this are refused: the tables are indexed by them.
constexpr int64_t kMaxFileId = 1 << 24;

// The deepest a drawing file goes: the top object, "segments", a segment,
// "elements", an element, its "lineType" and the "reserved" array in it.
constexpr int kMaxDepth = 7;

// The element type of a name, 0 for none.
int32_t TypeOf(std::string_view name) {
    for (int32_t k = 1; k <= 9; ++k) {
        if (kTypeNames[k] == name) {
            return k;
        }
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
        if (level == kSegment) {
            return s;
        }
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

class Reader : public JsonScanner {
public:
    explicit Reader(std::string_view text) : JsonScanner(text) {}

    // Reads the whole text into `d` (which must be new); throws on anything
    // it cannot take. `firstFreeId` is the lowest identifier the drawing may
    // hand out to objects the file gives none.
    void Read(Drawing& d, int64_t firstFreeId);

private:
    [[noreturn]] void Refuse(const char* at, const Place& place, const std::string& what) const {
        throw std::runtime_error("drawing file: " + LineColumn(at) + ": " + place.Text() + ": " +
                                 what);
    }
    // Skips one value of any kind, checking its syntax. `depth` is the level
    // it has if it is an array or object.
    void SkipValue(int depth, const Place& place);

    // ---- Field values
    void ReadNumberField(FieldValue& f, int depth, const Place& place);
    void ReadPairField(FieldValue& f, int depth, const Place& place);
    void ReadBoolField(FieldValue& f, int depth, const Place& place);
    int64_t IntOf(const FieldValue& f, std::string_view key, int64_t lo, int64_t hi,
                  const Place& place) const;
    void Unique(uint32_t& seen, uint32_t bit, std::string_view key, const char* at,
                const Place& place) const {
        if (seen & bit) {
            Refuse(at, place, Quoted(key, " is given twice"));
        }
        seen |= bit;
    }
    // The position of `key` among an object's field `names`; an unknown
    // field, or one given twice, is refused.
    template <size_t N>
    int FieldIndex(const std::string_view (&names)[N], std::string_view key, const char* at,
                   const Place& place, uint32_t& seen) const {
        int f = 0;
        while (f < int(N) && names[f] != key) {
            ++f;
        }
        if (f == int(N)) {
            Refuse(at, place, "unknown field \"" + std::string(key) + "\"");
        }
        Unique(seen, 1u << f, key, at, place);
        return f;
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

    Drawing* d_ = nullptr;
    int64_t maxId_ = 0;
    std::vector<std::string> listedLayers_;
    std::unordered_map<std::string, uint32_t, NameHash, std::equal_to<>> listedIndex_;
    // Layer names segments use, in the order they first appear.
    std::vector<std::string> segmentLayers_;
    std::unordered_map<std::string, uint32_t, NameHash, std::equal_to<>> segmentLayerIndex_;
    std::vector<PendingSegment> segments_;
};

void Reader::SkipValue(int depth, const Place& place) {
    // Containers open around the position, innermost last.
    char open[kMaxDepth + 1];
    int count = 0;
    for (;;) {
        // A value.
        const int c = NextValue();
        bool closed = true;
        if (c == '{' || c == '[') {
            if (depth + count > kMaxDepth) {
                Refuse(p_, place,
                       "nested deeper than a drawing file goes (" + std::to_string(kMaxDepth) +
                           " levels)");
            }
            open[count++] = char(c);
            ++p_;
            const int first = Next();
            if (first == (c == '{' ? '}' : ']')) {
                ++p_;
                --count;
            } else if (c == '{') {
                if (first != '"') {
                    Unexpected("a field name in quotes");
                }
                String();
                if (Next() != ':') {
                    Unexpected("':'");
                }
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
        if (!closed) {
            continue;
        }
        // After a value: close what ends here, up to the next value.
        for (;;) {
            if (count == 0) {
                return;
            }
            const bool object = open[count - 1] == '{';
            const int next = Next();
            if (next == ',') {
                ++p_;
                if (object) {
                    if (Next() != '"') {
                        Unexpected("a field name in quotes");
                    }
                    String();
                    if (Next() != ':') {
                        Unexpected("':'");
                    }
                    ++p_;
                }
                break;
            }
            if (next != (object ? '}' : ']')) {
                Unexpected(object ? "',' or '}'" : "',' or ']'");
            }
            ++p_;
            --count;
        }
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
    if (f.shape != Shape::Number || !f.integer) {
        Refuse(f.value, place, Quoted(key, " must be an integer"));
    }
    if (!f.fits || f.whole[0] < lo || f.whole[0] > hi) {
        Refuse(f.value, place,
               Quoted(key, " must be from ") + std::to_string(lo) + " to " + std::to_string(hi));
    }
    return f.whole[0];
}

void Reader::TakeId(int64_t id, uint32_t slot, const char* at, const Place& place) {
    Drawing& d = *d_;
    const auto index = static_cast<size_t>(id);
    if (index >= d.where.size()) {
        d.Reserve(static_cast<VekId>(id + 1));
    }
    if (d.where[index] != Drawing::kNowhere) {
        Refuse(at, place, "identifier " + std::to_string(id) + " is used twice");
    }
    d.where.Place(index, slot);
    maxId_ = std::max(maxId_, id);
}

uint32_t Reader::SegmentLayer(std::string_view name) {
    if (!segmentLayers_.empty() && segmentLayers_.back() == name) {
        return uint32_t(segmentLayers_.size() - 1);
    }
    const auto found = segmentLayerIndex_.find(name);
    if (found != segmentLayerIndex_.end()) {
        return found->second;
    }
    const auto index = uint32_t(segmentLayers_.size());
    segmentLayers_.emplace_back(name);
    segmentLayerIndex_.emplace(segmentLayers_.back(), index);
    return index;
}

void Reader::ReadLineType(const Place& place, LineTypeRecord& out) {
    const char* start = p_;
    if (*p_ != '{') {
        Refuse(p_, place, "must be an object");
    }
    enum { kColor, kCode, kReserved };
    static const std::string_view kNames[] = {"color", "code", "reserved"};
    FieldValue fields[3];
    uint32_t seen = 0;
    Members([&](std::string_view key, const char* keyStart) {
        const int f = FieldIndex(kNames, key, keyStart, place, seen);
        if (f == kReserved) {
            ReadPairField(fields[f], kMaxDepth, place);
        } else {
            ReadNumberField(fields[f], kMaxDepth, place);
        }
    });
    for (int f = kColor; f <= kCode; ++f) {
        if (!(seen & (1u << f))) {
            Refuse(start, place, "missing " + Quoted(kNames[f], ""));
        }
    }
    out.colorIndex = int32_t(IntOf(fields[kColor], "color", INT32_MIN, INT32_MAX, place));
    out.lineTypeCode = int32_t(IntOf(fields[kCode], "code", INT32_MIN, INT32_MAX, place));
    if (seen & (1u << kReserved)) {
        const FieldValue& r = fields[kReserved];
        if (r.shape != Shape::Pair || !r.intPair) {
            Refuse(r.value, place, "\"reserved\" must be an array of two integers");
        }
        out.reserved[0] = int32_t(r.whole[0]);
        out.reserved[1] = int32_t(r.whole[1]);
    }
}

void Reader::ReadElement(size_t segment, size_t index) {
    const Place place{Place::kElement, segment, index};
    const char* start = p_;
    if (*p_ != '{') {
        Refuse(p_, place, "must be an object");
    }
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
            if (!unknownAt) {
                unknownAt = keyStart, unknownName = key;
            }
            SkipValue(kDepth, place);
            return;
        }
        Unique(seen, Bit(f), key, keyStart, place);
        if (!unknownAt) {
            order[ordered++] = f;
        }
        FieldValue& v = fields[f];
        v.key = keyStart;
        switch (f) {
            case kType:
                v.value = p_;
                if (*p_ == '"') {
                    const std::string_view name = String();
                    type = TypeOf(name);
                    if (type == 0) {
                        unknownType = name;
                    }
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

    if (!(seen & Bit(kType))) {
        Refuse(start, place, "missing \"type\"");
    }
    if (fields[kType].shape != Shape::Text) {
        Refuse(fields[kType].value, place, "\"type\" must be a text");
    }
    if (type == 0) {
        Refuse(fields[kType].value, place,
               "unknown type \"" + unknownType +
                   "\" (line, circle, arc, pointLengths, twoPoints, unchanged, roundCorner, "
                   "chamfer, point)");
    }
    for (int i = 0; i < ordered; ++i) {
        if (!(kAllowedFields[type] & Bit(order[i]))) {
            Refuse(fields[order[i]].key, place,
                   "unknown field \"" + std::string(kFieldNames[order[i]]) + "\"");
        }
    }
    if (unknownAt) {
        Refuse(unknownAt, place, "unknown field \"" + unknownName + "\"");
    }

    auto has = [&](Field f) { return (seen & Bit(f)) != 0; };
    auto point = [&](Field f, double* out) {
        const FieldValue& v = fields[f];
        if (!has(f)) {
            Refuse(start, place, "missing " + Quoted(kFieldNames[f], ""));
        }
        if (v.shape != Shape::Pair) {
            Refuse(v.value, place, Quoted(kFieldNames[f], " must be an array of two numbers"));
        }
        if (!std::isfinite(v.v[0]) || !std::isfinite(v.v[1])) {
            Refuse(v.value, place, Quoted(kFieldNames[f], " must be finite"));
        }
        out[0] = v.v[0];
        out[1] = v.v[1];
    };
    auto number = [&](Field f) {
        const FieldValue& v = fields[f];
        if (!has(f)) {
            Refuse(start, place, "missing " + Quoted(kFieldNames[f], ""));
        }
        if (v.shape != Shape::Number) {
            Refuse(v.value, place, Quoted(kFieldNames[f], " must be a number"));
        }
        if (!std::isfinite(v.v[0])) {
            Refuse(v.value, place, Quoted(kFieldNames[f], " must be finite"));
        }
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
            if (figure.p2[0] < 0) {
                Refuse(fields[kRadius].value, place, "\"radius\" must not be negative");
            }
            break;
        case VEK_ARC:
        case VEK_ROUND_CORNER:
            point(kCentre, figure.p1);
            point(kStart, figure.p2);
            point(kEnd, figure.p3);
            figure.size = has(kRadius) ? number(kRadius)
                                       : numeric::Hypot(figure.p2[0] - figure.p1[0],
                                                        figure.p2[1] - figure.p1[1]);
            if (has(kClockwise) && fields[kClockwise].shape != Shape::Bool) {
                Refuse(fields[kClockwise].value, place, "\"clockwise\" must be true or false");
            }
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
            if (has(kP1)) {
                point(kP1, figure.p1);
            }
            if (has(kP2)) {
                point(kP2, figure.p2);
            }
            if (has(kP3)) {
                point(kP3, figure.p3);
            }
            if (has(kSize)) {
                figure.size = number(kSize);
            }
            if (has(kDirection)) {
                figure.direction = static_cast<uint32_t>(
                    IntOf(fields[kDirection], "direction", 0, UINT32_MAX, place));
            }
            break;
    }
    int64_t id = 0;
    if (has(kId)) {
        id = IntOf(fields[kId], "id", 1, kMaxFileId, place);
    }

    Drawing& d = *d_;
    const uint32_t slot = d.elements.Add();
    if (id != 0) {
        TakeId(id, slot * 2, fields[kId].value, place);
    }
    ElementData& e = d.elements[slot];
    e.type = type;
    e.segment = static_cast<VekId>(id);  // the identifier until Finish links the records
    e.figure = figure;
    e.lineType = lineType;
}

void Reader::ReadSegment(size_t index) {
    const Place place{Place::kSegment, index, 0};
    if (*p_ != '{') {
        Refuse(p_, place, "must be an object");
    }
    enum { kSegId, kLayer, kClosed, kElements };
    static const std::string_view kNames[] = {"id", "layer", "closed", "elements"};
    PendingSegment ps;
    ps.first = d_->elements.size();
    uint32_t seen = 0;
    Members([&](std::string_view key, const char* keyStart) {
        const int f = FieldIndex(kNames, key, keyStart, place, seen);
        switch (f) {
            case kSegId: {
                FieldValue v;
                ReadNumberField(v, 4, place);
                ps.id = IntOf(v, "id", 1, kMaxFileId, place);
                TakeId(ps.id, uint32_t(index) * 2 + 1, v.value, place);
                break;
            }
            case kLayer:
                if (*p_ != '"') {
                    Refuse(p_, place, "\"layer\" must be a layer name");
                }
                ps.layer = SegmentLayer(String());
                break;
            case kClosed: {
                FieldValue v;
                ReadBoolField(v, 4, place);
                if (v.shape != Shape::Bool) {
                    Refuse(v.value, place, "\"closed\" must be true or false");
                }
                ps.closed = v.flag;
                break;
            }
            default:
                if (*p_ != '[') {
                    Refuse(p_, place, "\"elements\" must be an array");
                }
                Items([&](size_t k) { ReadElement(index, k); });
                break;
        }
    });
    if (!(seen & (1u << kLayer))) {
        ps.layer = SegmentLayer("0");
    }
    ps.count = d_->elements.size() - ps.first;
    segments_.push_back(ps);
}

void Reader::ReadLayers() {
    if (*p_ != '[') {
        Refuse(p_, Place{Place::kLayers}, "must be an array of names");
    }
    Items([&](size_t i) {
        const Place place{Place::kLayer, i, 0};
        const char* at = p_;
        if (*p_ != '"') {
            Refuse(p_, place, "must be a text");
        }
        const std::string_view name = String();
        if (listedIndex_.count(name)) {
            Refuse(at, place, "repeats the name \"" + std::string(name) + "\"");
        }
        listedIndex_.emplace(name, uint32_t(listedLayers_.size()));
        listedLayers_.emplace_back(name);
    });
}

void Reader::Read(Drawing& d, int64_t firstFreeId) {
    d_ = &d;
    const Place top;
    if (end_ - p_ >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0) {
        p_ += 3;  // a UTF-8 mark
    }
    const int c = Next();
    if (c < 0) {
        Malformed(p_, "the file is empty");
    }
    if (c != '{') {
        NextValue();
        Refuse(p_, top, "must be an object");
    }
    const char* start = p_;
    enum { kFormat, kVersion, kLayers, kSegments };
    static const std::string_view kNames[] = {"format", "version", "layers", "segments"};
    uint32_t seen = 0;
    Members([&](std::string_view key, const char* keyStart) {
        const int f = FieldIndex(kNames, key, keyStart, top, seen);
        switch (f) {
            case kFormat: {
                const char* at = p_;
                if (*p_ != '"' || String() != "vek-drawing") {
                    Refuse(at, top, "\"format\" must be \"vek-drawing\"");
                }
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
                if (*p_ != '[') {
                    Refuse(p_, Place{Place::kSegments}, "must be an array");
                }
                Items([&](size_t i) { ReadSegment(i); });
                break;
        }
    });
    if (!(seen & (1u << kSegments))) {
        Refuse(start, top, "missing \"segments\"");
    }
    if (Next() >= 0) {
        Unexpected("the end of the file after the drawing");
    }
    Finish(firstFreeId);
}

// Everything is read and checked: names the layers, hands out the
// identifiers the file did not give (after every identifier in use) and links
// each segment's records.
void Reader::Finish(int64_t firstFreeId) {
    Drawing& d = *d_;
    d.layers = listedLayers_;
    if (!listedIndex_.count(std::string_view("0"))) {
        d.layers.insert(d.layers.begin(), "0");
    }
    // Views into the names: no name may move while they are in use.
    d.layers.reserve(d.layers.size() + segmentLayers_.size());
    std::unordered_map<std::string_view, uint32_t> named;
    for (size_t i = 0; i < d.layers.size(); ++i) {
        named.emplace(d.layers[i], uint32_t(i));
    }
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
        if (ps.id == 0) {
            ps.id = next++;
        }
        for (uint32_t k = 0; k < ps.count; ++k) {
            ElementData& e = d.elements[ps.first + k];
            if (e.segment == 0) {
                e.segment = VekId(next++);
            }
        }
    }
    d.nextId = static_cast<VekId>(next);
    d.Reserve(d.nextId);
    d.segments.resize(segments_.size());
    for (size_t i = 0; i < segments_.size(); ++i) {
        const PendingSegment& ps = segments_[i];
        const auto id = VekId(ps.id);
        d.where.Place(size_t(id), uint32_t(i) * 2 + 1);
        SegmentData& s = d.segments[i];
        s.closed = ps.closed;
        s.id = id;
        s.layer = layerOf[ps.layer];
        s.count = int32_t(ps.count);
        VekId previous = VEK_NONE;
        for (uint32_t k = 0; k < ps.count; ++k) {
            const uint32_t slot = ps.first + k;
            ElementData& e = d.elements[slot];
            const VekId own = e.segment;
            d.where.Place(size_t(own), slot * 2);
            e.segment = id;
            e.prev = previous;
            e.next = VEK_NONE;
            if (previous != VEK_NONE) {
                d.E(previous).next = own;
            }
            if (k == 0) {
                s.head = own;
            }
            s.tail = own;
            previous = own;
        }
    }
}

}  // namespace

void ReadDrawing(std::string_view text, Drawing& d, int64_t firstFreeId) {
    Reader(text).Read(d, firstFreeId);
}

}  // namespace vekhost::detail
