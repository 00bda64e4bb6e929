#include "platform/veklib/DrawingJsonWriter.h"

#include "platform/veklib/HostState.h"
#include "platform/veklib/JsonScanner.h"
#include "numeric/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vekhost::detail {

namespace {

using json::Utf8Length;

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
        if (!std::isfinite(v)) {
            return Lit("null");
        }
        if (v == 0 && std::signbit(v)) {
            return Lit("-0.0");
        }
        if (!ShortDecimal(v)) {
            p = numeric::WriteDouble(p, p + 32, v).ptr;
        }
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
        if (!(scaled < 1125899906842624.0)) {
            return false;
        }
        const double nearest = std::nearbyint(scaled);
        if (nearest == 0 || nearest / 1e8 != std::fabs(v)) {
            return false;
        }
        auto digits = static_cast<uint64_t>(nearest);
        int decimals = 8;
        while (decimals > 0 && digits % 10 == 0) {
            digits /= 10;
            --decimals;
        }
        char text[24];
        const int count = int(std::to_chars(text, text + sizeof text, digits).ptr - text);
        int significant = count;
        while (decimals == 0 && significant > 1 && text[significant - 1] == '0') {
            --significant;
        }
        const int whole = count - decimals;  // digits before the point
        const int fixedLength = (whole > 0 ? whole : 1) + (decimals > 0 ? decimals + 1 : 0);
        if (fixedLength > significant + (significant > 1 ? 1 : 0) + 4) {
            return false;
        }
        if (v < 0) {
            *p++ = '-';
        }
        if (whole > 0) {
            std::memcpy(p, text, size_t(whole));
            p += whole;
        } else {
            *p++ = '0';
        }
        if (decimals > 0) {
            *p++ = '.';
            for (int i = whole; i < 0; ++i) {
                *p++ = '0';
            }
            const int from = whole > 0 ? whole : 0;
            std::memcpy(p, text + from, size_t(count - from));
            p += count - from;
        }
        return true;
    }
    Cursor& Pt(const double* q) { return Lit("[").Num(q[0]).Lit(", ").Num(q[1]).Lit("]"); }
};

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
    if (lt.reserved[0] || lt.reserved[1]) {
        c.Lit(", \"reserved\": [").Int(lt.reserved[0]).Lit(", ").Int(lt.reserved[1]).Lit("]");
    }
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
            if (n == 0) {
                throw std::runtime_error("drawing file: a layer name is not UTF-8 text");
            }
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

}  // namespace

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
        if (i) {
            out += ", ";
        }
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
            if (e != s.head) {
                at.Lit(",");
            }
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

}  // namespace vekhost::detail
