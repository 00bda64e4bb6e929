#include "tools/dxf/DxfEntities.h"

#include "tools/dxf/DxfTags.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <optional>
#include <span>
#include <stdexcept>

namespace dxf {

namespace {

enum class EntityKind { Other, Line, Arc, Circle, LwPolyline, Polyline };

EntityKind KindOfType(std::string_view type) {
    if (type == "LINE") {
        return EntityKind::Line;
    }
    if (type == "ARC") {
        return EntityKind::Arc;
    }
    if (type == "CIRCLE") {
        return EntityKind::Circle;
    }
    if (type == "LWPOLYLINE") {
        return EntityKind::LwPolyline;
    }
    if (type == "POLYLINE") {
        return EntityKind::Polyline;
    }
    return EntityKind::Other;
}

double Real(const Tag& tag) {
    return tag.real ? *tag.real : ParseReal(tag.value).value_or(0);
}
std::int64_t Integer(const Tag& tag) {
    return ParseInteger(tag.value).value_or(0);
}

// Calls own(tag) for each tag of one object's own data (outside 102 groups,
// before XDATA), read from `reader` after the object's "0" line; returns
// where the next object starts, or nothing at the end.
template <typename Reader, typename Own>
std::optional<std::size_t> OwnTagsOf(Reader& reader, Own own) {
    Tag tag;
    reader.Next(tag);
    int depth = 0;
    bool xdata = false;
    while (reader.Next(tag)) {
        if (tag.code == 0) {
            return tag.begin;
        }
        if (tag.code == 1001) {
            xdata = true;
        }
        if (xdata) {
            continue;
        }
        if (tag.code == 102) {
            const std::string_view v = tag.Trimmed();
            if (v.starts_with('{')) {
                ++depth;
            }
            if (v.starts_with('}') && depth > 0) {
                --depth;
            }
            continue;
        }
        if (depth == 0) {
            own(tag);
        }
    }
    return std::nullopt;
}

// The same for the object whose "0" line is at `pos` of `text`; the end of
// the text when no object follows.
template <typename Own>
std::size_t ForOwnTags(std::string_view text, std::size_t pos, Own own) {
    TagReader reader(text, pos);
    return OwnTagsOf(reader, own).value_or(text.size());
}

// One entity's own tags from its text or from its tags read already.
template <typename Own>
void ForOwnTags(std::string_view text, Own own) {
    ForOwnTags(text, 0, own);
}
template <typename Own>
void ForOwnTags(std::span<const Tag> tags, Own own) {
    TagsRead reader(tags);
    OwnTagsOf(reader, own);
}

// The values of a few real group codes of one object, each allowed once.
// The last four are always 39 (thickness) and 210/220/230 (extrusion).
template <std::size_t N>
struct Reals {
    std::array<int, N> codes;
    std::array<double, N> value{};
    std::array<bool, N> has{};
    int twice = 0;  // the first code given twice

    bool Take(const Tag& tag) {
        for (std::size_t k = 0; k < N; ++k) {
            if (codes[k] != tag.code) {
                continue;
            }
            if (has[k] && !twice) {
                twice = tag.code;
            }
            has[k] = true;
            value[k] = Real(tag);
            return true;
        }
        return false;
    }
    double Get(std::size_t k, double fallback = 0) const { return has[k] ? value[k] : fallback; }

    // Repeats, thickness and extrusion; sets the shape's refusal and
    // `mirrored` for (0, 0, -1).
    void Check(Shape& shape) const {
        const double ex = Get(N - 3), ey = Get(N - 2), ez = Get(N - 1, 1);
        shape.refusal = Refusal::None;
        if (twice) {
            shape.refusal = Refusal::Malformed;
            shape.detail = "group " + std::to_string(twice) + " given twice";
        } else if (ex != 0 || ey != 0 || (ez != 1 && ez != -1)) {
            shape.refusal = Refusal::Extrusion;
        } else if (Get(N - 4) != 0) {
            shape.refusal = Refusal::Thickness;
        }
        shape.mirrored = shape.refusal == Refusal::None && ez == -1;
    }
};

// Marks a shape malformed for `why`, the first fault found.
void Malformed(Shape& shape, std::string why) {
    if (shape.refusal == Refusal::Malformed) {
        return;
    }
    shape.refusal = Refusal::Malformed;
    shape.detail = std::move(why);
}

// An angle turned into [0, 360).
double Normalised(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0) {
        a += 360.0;
    }
    return a >= 360.0 ? 0.0 : a;
}

// World <-> own coordinates for extrusion (0, 0, -1): the arbitrary axis
// rule gives x' = -x, y' = y, z' = -z. Its own inverse.
Point3 Mirror(Point3 p) {
    return {-p.x, p.y, -p.z};
}
Arc Mirror(const Arc& a) {
    return {Mirror(a.centre), a.radius, Normalised(180.0 - a.endAngle),
            Normalised(180.0 - a.startAngle)};
}

Shape Refused(Refusal refusal) {
    Shape shape;
    shape.refusal = refusal;
    return shape;
}

template <typename Tags>
Shape LineShape(const Tags& tags) {
    Reals<10> r{{10, 20, 30, 11, 21, 31, 39, 210, 220, 230}};
    ForOwnTags(tags, [&r](const Tag& tag) { r.Take(tag); });
    Shape shape;
    r.Check(shape);
    if (!r.has[0] || !r.has[1]) {
        Malformed(shape, "no start point (10, 20)");
    }
    if (!r.has[3] || !r.has[4]) {
        Malformed(shape, "no end point (11, 21)");
    }
    // A LINE's points are world coordinates whatever its extrusion.
    shape.mirrored = false;
    shape.geometry =
        Line{{r.value[0], r.value[1], r.value[2]}, {r.value[3], r.value[4], r.value[5]}};
    return shape;
}

template <typename Tags>
Shape ArcOrCircleShape(const Tags& tags, bool arc) {
    Reals<10> r{{10, 20, 30, 40, 50, 51, 39, 210, 220, 230}};
    ForOwnTags(tags, [&r](const Tag& tag) { r.Take(tag); });
    Shape shape;
    r.Check(shape);
    if (!r.has[0] || !r.has[1]) {
        Malformed(shape, "no centre (10, 20)");
    }
    if (!r.has[3]) {
        Malformed(shape, "no radius (40)");
    }
    if (r.value[3] <= 0) {
        Malformed(shape, "a radius not above 0");
    }
    const Point3 centre{r.value[0], r.value[1], r.value[2]};
    if (!arc) {
        if (r.has[4] || r.has[5]) {
            Malformed(shape, "a circle with angles (50, 51)");
        }
        shape.geometry = Circle{shape.mirrored ? Mirror(centre) : centre, r.value[3]};
        return shape;
    }
    if (!r.has[4] || !r.has[5]) {
        Malformed(shape, "no start or end angle (50, 51)");
    }
    if (std::fmod(r.value[5] - r.value[4], 360.0) == 0) {
        Malformed(shape, "start and end angles that coincide");
    }
    const Arc own{centre, r.value[3], r.value[4], r.value[5]};
    shape.geometry = shape.mirrored ? Mirror(own) : own;
    return shape;
}

// A polyline's refusal: what the common groups say first, then a kind of
// polyline that is not plain, then its first fault.
void Settle(Shape& shape, bool notPlain, std::string fault) {
    if (shape.refusal != Refusal::None) {
        return;
    }
    if (notPlain) {
        shape.refusal = Refusal::NotPlain;
    } else if (!fault.empty()) {
        Malformed(shape, std::move(fault));
    }
}

// The groups of an LWPOLYLINE vertex. A z (30) with each vertex is what some
// writers add to the 10 and 20 of a point; the elevation (38) is the
// polyline's, and such a z is kept as it is.
bool IsLwVertexCode(int code) {
    return code == 10 || code == 20 || code == 30 || code == 40 || code == 41 || code == 42 ||
           code == 91;
}

constexpr std::int64_t kClosed = 1;
constexpr std::int64_t kContinuousLineType = 128;

// `number`: from 1.
std::string VertexFault(std::size_t number, const char* what) {
    return "vertex " + std::to_string(number) + " " + what;
}

// The vertex list of an LWPOLYLINE: 10 starts a vertex, the groups after it
// belong to it, and the list runs without other groups between.
struct LwVertexReader {
    explicit LwVertexReader(Polyline& p) : poly(p) {}
    Polyline& poly;
    enum { Before, In, After } state = Before;
    bool haveY = true, haveZ = false, haveBulge = false;
    std::string fault;

    void Fault(std::string why) {
        if (fault.empty()) {
            fault = std::move(why);
        }
    }
    // True when the tag is the vertex list's.
    bool Take(const Tag& tag) {
        const std::size_t n = poly.vertices.size();
        if (tag.code == 10) {
            if (state == After) {
                Fault("after other groups than the vertices' (10)");
            }
            if (!haveY) {
                Fault(VertexFault(n, "has no y (20)"));
            }
            state = In;
            poly.vertices.push_back({Real(tag), 0, 0, static_cast<int>(n)});
            haveY = haveZ = haveBulge = false;
            return true;
        }
        if (state == In && IsLwVertexCode(tag.code)) {
            if (tag.code == 20) {
                if (std::exchange(haveY, true)) {
                    Fault(VertexFault(n, "has two y values (20)"));
                }
                poly.vertices.back().y = Real(tag);
            } else if (tag.code == 30) {
                if (std::exchange(haveZ, true)) {
                    Fault(VertexFault(n, "has two z values (30)"));
                }
            } else if (tag.code == 42) {
                if (std::exchange(haveBulge, true)) {
                    Fault(VertexFault(n, "has two bulges (42)"));
                }
                poly.vertices.back().bulge = Real(tag);
            }
            return true;
        }
        if (state == In) {
            state = After;
        }
        if (IsLwVertexCode(tag.code) && tag.code != 30) {
            Fault("a vertex group (" + std::to_string(tag.code) + ") outside the vertex list");
        }
        return false;
    }
};

template <typename Tags>
Shape LwPolylineShape(const Tags& tags) {
    Reals<5> r{{38, 39, 210, 220, 230}};
    std::int64_t flags = 0, count = -1;
    Polyline poly;
    LwVertexReader vertices(poly);
    ForOwnTags(tags, [&](const Tag& tag) {
        if (vertices.Take(tag)) {
            return;
        }
        if (tag.code == 70) {
            flags = Integer(tag);
        }
        if (tag.code == 90) {
            count = Integer(tag);
        }
        r.Take(tag);
    });
    Shape shape;
    r.Check(shape);
    poly.closed = flags & kClosed;
    poly.z = r.Get(0);
    if (shape.mirrored) {
        poly.z = -poly.z;
        for (Vertex& v : poly.vertices) {
            v = {-v.x, v.y, -v.bulge, v.source};
        }
    }
    if (!vertices.haveY) {
        vertices.Fault(VertexFault(poly.vertices.size(), "has no y (20)"));
    }
    if (poly.vertices.size() < 2) {
        vertices.Fault("fewer than two vertices");
    }
    if (count >= 0 && static_cast<std::size_t>(count) != poly.vertices.size()) {
        vertices.Fault("a vertex count (90) of " + std::to_string(count) + " for " +
                       std::to_string(poly.vertices.size()) + " vertices");
    }
    Settle(shape, (flags & ~(kClosed | kContinuousLineType)) != 0, std::move(vertices.fault));
    shape.geometry = std::move(poly);
    return shape;
}

Shape PolylineShape(const Document& doc, std::size_t i) {
    const std::string_view text = doc.EntityText(i);
    Reals<5> r{{30, 39, 210, 220, 230}};
    std::int64_t flags = 0;
    std::size_t pos = ForOwnTags(text, 0, [&](const Tag& tag) {
        if (tag.code == 70) {
            flags = Integer(tag);
        }
        r.Take(tag);
    });
    Shape shape;
    r.Check(shape);
    Polyline poly;
    poly.closed = flags & kClosed;
    poly.z = shape.mirrored ? -r.Get(0) : r.Get(0);
    std::string fault = doc.HasSeqend(i) ? "" : "no SEQEND";
    bool notPlain = (flags & ~(kClosed | kContinuousLineType)) != 0;
    while (pos < text.size()) {
        std::size_t valuePos = 0, next = 0;
        LineAt(text, pos, valuePos);
        if (Trim(LineAt(text, valuePos, next)) != "VERTEX") {
            break;  // the SEQEND
        }
        Reals<4> v{{10, 20, 30, 42}};
        std::int64_t vertexFlags = 0;
        pos = ForOwnTags(text, pos, [&](const Tag& tag) {
            if (tag.code == 70) {
                vertexFlags = Integer(tag);
            }
            v.Take(tag);
        });
        const std::size_t n = poly.vertices.size() + 1;
        if (fault.empty() && v.twice) {
            fault = VertexFault(n, "has group ") + std::to_string(v.twice) + " twice";
        }
        if (fault.empty() && (!v.has[0] || !v.has[1])) {
            fault = VertexFault(n, "has no position (10, 20)");
        }
        notPlain = notPlain || vertexFlags != 0;
        const double x = v.value[0], bulge = v.value[3];
        poly.vertices.push_back({shape.mirrored ? -x : x, v.value[1],
                                 shape.mirrored ? -bulge : bulge,
                                 static_cast<int>(poly.vertices.size())});
    }
    if (fault.empty() && poly.vertices.size() < 2) {
        fault = "fewer than two vertices";
    }
    Settle(shape, notPlain, std::move(fault));
    shape.geometry = std::move(poly);
    return shape;
}

// New text in the file's form.
class Out {
public:
    explicit Out(const Format& format) : format_(format) {}

    void Code(int code) {
        if (format_.padCodes) {
            if (code < 10) {
                text += "  ";
            } else if (code < 100) {
                text += ' ';
            }
        }
        AppendInteger(text, code);
        text += format_.eol;
    }
    void Text(int code, std::string_view value) {
        Code(code);
        text += value;
        text += format_.eol;
    }
    void RealTag(int code, double value) {
        Finite(value);
        Code(code);
        AppendReal(text, value);
        text += format_.eol;
    }
    void IntegerTag(int code, std::int64_t value) {
        Code(code);
        AppendInteger(text, value);
        text += format_.eol;
    }
    void HandleTag(int code, Handle handle) { Text(code, FormatHandle(handle)); }
    void Point(int code, Point3 p) {
        RealTag(code, p.x);
        RealTag(code + 10, p.y);
        RealTag(code + 20, p.z);
    }
    void Raw(std::string_view piece) { text += piece; }
    // A tag of `source` with a new value: its code line and line ending kept.
    void Replace(std::string_view source, const Tag& tag, std::string_view value) {
        text += source.substr(tag.begin, tag.valueBegin - tag.begin);
        text += value;
        EndAs(source, tag);
    }
    void ReplaceReal(std::string_view source, const Tag& tag, double value) {
        Finite(value);
        text += source.substr(tag.begin, tag.valueBegin - tag.begin);
        AppendReal(text, value);
        EndAs(source, tag);
    }
    // Text that would not read back is never written.
    static void Finite(double value) {
        if (!std::isfinite(value)) {
            throw std::invalid_argument("a number that is not finite");
        }
    }

    const Format& GetFormat() const { return format_; }
    std::string text;

private:
    // The line ending of `tag`'s value, or the file's when it had none.
    void EndAs(std::string_view source, const Tag& tag) {
        const std::size_t valueEnd = tag.valueBegin + tag.value.size();
        const std::string_view ending = source.substr(valueEnd, tag.end - valueEnd);
        text += ending.empty() ? std::string_view(format_.eol) : ending;
    }

    const Format& format_;
};

// Where a restyle writes the property groups an entity lacks, and which it has.
struct RestylePlan {
    std::size_t anchorEnd = 0;
    bool has6 = false, has62 = false, has420 = false;
};

RestylePlan PlanRestyle(std::string_view text, std::size_t pos) {
    RestylePlan plan;
    std::size_t valuePos = 0, afterType = 0;
    LineAt(text, pos, valuePos);
    LineAt(text, valuePos, afterType);
    std::size_t after8 = 0, afterEntity = 0, afterHandle = 0;
    bool common = true;
    ForOwnTags(text, pos, [&](const Tag& tag) {
        if (tag.code == 100) {
            common = tag.Trimmed() == "AcDbEntity";
        }
        if (tag.code == 100 && common && !afterEntity) {
            afterEntity = tag.end;
        }
        if (tag.code == 5 && !afterHandle) {
            afterHandle = tag.end;
        }
        if (!common) {
            return;
        }
        if (tag.code == 8 && !after8) {
            after8 = tag.end;
        }
        plan.has6 = plan.has6 || tag.code == 6;
        plan.has62 = plan.has62 || tag.code == 62;
        plan.has420 = plan.has420 || tag.code == 420;
    });
    plan.anchorEnd = after8        ? after8
                     : afterEntity ? afterEntity
                     : afterHandle ? afterHandle
                                   : afterType;
    return plan;
}

// Writes a property group of the entity's common part restyled; false when
// the restyle leaves it as it is.
bool Restyled(Out& out, std::string_view text, const Tag& tag, const Restyle& restyle) {
    const bool trueColour = out.GetFormat().TrueColour();
    if (tag.code == 6 && restyle.lineType) {
        out.Replace(text, tag, *restyle.lineType);
        return true;
    }
    if (tag.code == 62 && restyle.colour) {
        out.Replace(text, tag, std::to_string(*restyle.colour));
        return true;
    }
    if (tag.code == 420 && restyle.trueColour && trueColour) {
        out.Replace(text, tag, std::to_string(*restyle.trueColour));
        return true;
    }
    return tag.code == 420 && restyle.colour.has_value();  // dropped: it would hide the new colour
}

// Copies one object from `pos` to the next object's "0" line, restyled.
// edit(tag) sees each own tag first and returns true when it wrote it.
template <typename Edit>
std::size_t CopyObject(Out& out, std::string_view text, std::size_t pos, const Restyle& restyle,
                       Edit edit) {
    const bool trueColour = out.GetFormat().TrueColour();
    const bool restyling = restyle.colour || restyle.trueColour || restyle.lineType;
    const RestylePlan plan = restyling ? PlanRestyle(text, pos) : RestylePlan{};
    auto addMissing = [&] {
        if (restyle.lineType && !plan.has6) {
            out.Text(6, *restyle.lineType);
        }
        if (restyle.colour && !plan.has62) {
            out.IntegerTag(62, *restyle.colour);
        }
        if (restyle.trueColour && trueColour && !plan.has420) {
            out.IntegerTag(420, *restyle.trueColour);
        }
    };
    TagReader reader(text, pos);
    Tag tag;
    reader.Next(tag);
    out.Raw(text.substr(tag.begin, tag.end - tag.begin));
    if (restyling && tag.end == plan.anchorEnd) {
        addMissing();
    }
    int depth = 0;
    bool xdata = false, common = true;
    while (reader.Next(tag)) {
        if (tag.code == 0) {
            return tag.begin;
        }
        xdata = xdata || tag.code == 1001;
        bool own = !xdata && depth == 0 && tag.code != 102;
        if (tag.code == 102 && !xdata) {
            const std::string_view v = tag.Trimmed();
            if (v.starts_with('{')) {
                ++depth;
            }
            if (v.starts_with('}') && depth > 0) {
                --depth;
            }
        }
        if (own && tag.code == 100) {
            common = tag.Trimmed() == "AcDbEntity";
        }
        const bool written = own && common && restyling && Restyled(out, text, tag, restyle);
        if (!written && !(own && edit(tag))) {
            out.Raw(text.substr(tag.begin, tag.end - tag.begin));
        }
        if (restyling && tag.end == plan.anchorEnd) {
            addMissing();
        }
    }
    return text.size();
}

std::bitset<kMaxGroupCode + 1> OwnCodes(std::string_view text, std::size_t pos) {
    std::bitset<kMaxGroupCode + 1> codes;
    ForOwnTags(text, pos,
               [&codes](const Tag& tag) { codes.set(static_cast<std::size_t>(tag.code)); });
    return codes;
}

// LINE, ARC, CIRCLE: each value replaced in place; a z the file left out
// (read as 0) is added after its y only when it is no longer 0.
std::string RewriteSimple(const Format& format, std::string_view text,
                          std::span<const std::pair<int, double>> values, const Restyle& restyle) {
    // Which codes the entity has matters only for a z that is not 0.
    bool anyZ = false;
    for (const auto& [code, value] : values) {
        anyZ = anyZ || (code % 100 / 10 == 3 && value != 0);
    }
    const auto codes = anyZ ? OwnCodes(text, 0) : std::bitset<kMaxGroupCode + 1>{};
    Out out(format);
    out.text.reserve(text.size() + 64);
    CopyObject(out, text, 0, restyle, [&](const Tag& tag) {
        for (const auto& [code, value] : values) {
            if (code != tag.code) {
                continue;
            }
            out.ReplaceReal(text, tag, value);
            const int z = code + 10;
            if (code % 100 / 10 == 2 && !codes[static_cast<std::size_t>(z)]) {
                for (const auto& [zc, zv] : values) {
                    if (zc == z && zv != 0) {
                        out.RealTag(z, zv);
                    }
                }
            }
            return true;
        }
        return false;
    });
    return std::move(out.text);
}

// An LWPOLYLINE's vertices, each as its group of tags: vertex k's are
// tags[starts[k]] up to tags[starts[k + 1]].
struct LwVertexGroups {
    std::vector<Tag> tags;
    std::vector<std::size_t> starts;
};

LwVertexGroups LwVertexTags(std::string_view text) {
    LwVertexGroups groups;
    bool inList = false;
    ForOwnTags(text, 0, [&](const Tag& tag) {
        if (tag.code == 10) {
            groups.starts.push_back(groups.tags.size());
        }
        inList = tag.code == 10 || (inList && IsLwVertexCode(tag.code));
        if (inList) {
            groups.tags.push_back(tag);
        }
    });
    groups.starts.push_back(groups.tags.size());
    return groups;
}

std::string RewriteLwPolyline(const Document& doc, std::size_t i, const Polyline& poly,
                              bool mirrored, const Restyle& restyle) {
    const std::string_view text = doc.EntityText(i);
    const LwVertexGroups groups = LwVertexTags(text);
    Out out(doc.GetFormat());
    out.text.reserve(text.size() + 64);
    bool inVertices = false, done = false;
    CopyObject(out, text, 0, restyle, [&](const Tag& tag) {
        if (tag.code == 90) {
            out.Replace(text, tag, std::to_string(poly.vertices.size()));
            return true;
        }
        if (!IsLwVertexCode(tag.code)) {
            inVertices = false;
            return false;
        }
        if (tag.code == 10 && !done) {
            done = inVertices = true;
            for (const Vertex& v : poly.vertices) {
                const double x = mirrored ? -v.x : v.x, bulge = mirrored ? -v.bulge : v.bulge;
                if (v.source == kNewVertex) {
                    out.RealTag(10, x);
                    out.RealTag(20, v.y);
                    if (bulge != 0) {
                        out.RealTag(42, bulge);
                    }
                    continue;
                }
                const auto source = static_cast<std::size_t>(v.source);
                if (source + 1 >= groups.starts.size()) {
                    throw std::invalid_argument("vertex source " + std::to_string(v.source) +
                                                " out of range");
                }
                bool bulgeWritten = false;
                for (std::size_t k = groups.starts[source]; k < groups.starts[source + 1]; ++k) {
                    const Tag& t = groups.tags[k];
                    if (t.code == 91 && !bulgeWritten && bulge != 0) {
                        out.RealTag(42, bulge);
                        bulgeWritten = true;
                    }
                    if (t.code == 10) {
                        out.ReplaceReal(text, t, x);
                    } else if (t.code == 20) {
                        out.ReplaceReal(text, t, v.y);
                    } else if (t.code == 42) {
                        out.ReplaceReal(text, t, bulge);
                        bulgeWritten = true;
                    } else {
                        out.Raw(text.substr(t.begin, t.end - t.begin));
                    }
                }
                if (!bulgeWritten && bulge != 0) {
                    out.RealTag(42, bulge);
                }
            }
        }
        return inVertices;  // the file's vertex tags are replaced by the new ones
    });
    return std::move(out.text);
}

// Where each VERTEX of a 2-D POLYLINE's text begins, from `pos`; `seqend`:
// where the first object that is not a vertex begins.
std::vector<std::size_t> VertexBegins(std::string_view text, std::size_t pos, std::size_t& seqend) {
    std::vector<std::size_t> begins;
    while (pos < text.size()) {
        std::size_t valuePos = 0, next = 0;
        LineAt(text, pos, valuePos);
        if (Trim(LineAt(text, valuePos, next)) != "VERTEX") {
            break;
        }
        begins.push_back(pos);
        pos = ForOwnTags(text, pos, [](const Tag&) {});
    }
    seqend = pos;
    return begins;
}

// A VERTEX the conversion added, on the polyline's layer and elevation.
void NewVertex(Out& out, Document& doc, const EntityInfo& info, const std::string& elevation,
               double x, double y, double bulge) {
    const Format& format = doc.GetFormat();
    out.Text(0, "VERTEX");
    if (auto handle = doc.NewHandle()) {
        out.HandleTag(5, *handle);
    }
    if (format.SubclassMarkers()) {
        if (info.handle) {
            out.HandleTag(330, *info.handle);
        }
        out.Text(100, "AcDbEntity");
    }
    out.Text(8, info.layer);
    if (format.SubclassMarkers()) {
        out.Text(100, "AcDbVertex");
        out.Text(100, "AcDb2dVertex");
    }
    out.RealTag(10, x);
    out.RealTag(20, y);
    out.Text(30, elevation);
    if (bulge != 0) {
        out.RealTag(42, bulge);
    }
}

// The VERTEX at `begin` with its position and bulge replaced, every other
// group kept; written `again` (a vertex used twice) it takes a new handle.
void RewrittenVertex(Out& out, Document& doc, std::string_view text, std::size_t begin, bool again,
                     double x, double y, double bulge) {
    const auto codes = OwnCodes(text, begin);
    const int bulgeAfter = codes[30] ? 30 : 20;
    CopyObject(out, text, begin, {}, [&](const Tag& tag) {
        switch (tag.code) {
            case 5:
                if (!again) {
                    return false;
                }
                if (auto handle = doc.NewHandle()) {
                    out.Replace(text, tag, FormatHandle(*handle));
                }
                return true;
            case 10:
                out.ReplaceReal(text, tag, x);
                break;
            case 20:
                out.ReplaceReal(text, tag, y);
                break;
            case 42:
                out.ReplaceReal(text, tag, bulge);
                return true;
            default:
                if (tag.code != bulgeAfter) {
                    return false;
                }
                out.Raw(text.substr(tag.begin, tag.end - tag.begin));
        }
        if (tag.code == bulgeAfter && !codes[42] && bulge != 0) {
            out.RealTag(42, bulge);
        }
        return true;
    });
}

std::string RewritePolyline(Document& doc, std::size_t i, const Polyline& poly, bool mirrored,
                            const Restyle& restyle) {
    const std::string_view text = doc.EntityText(i);
    const EntityInfo info = doc.Info(i);
    Out out(doc.GetFormat());
    std::string elevation = "0";
    ForOwnTags(text, 0, [&](const Tag& tag) {
        if (tag.code == 30) {
            elevation = std::string(Trim(tag.value));
        }
    });
    const std::size_t pos = CopyObject(out, text, 0, restyle, [](const Tag&) { return false; });
    std::size_t seqend = pos;
    const std::vector<std::size_t> vertexBegins = VertexBegins(text, pos, seqend);
    std::vector<char> used(vertexBegins.size(), 0);
    for (const Vertex& v : poly.vertices) {
        const double x = mirrored ? -v.x : v.x, bulge = mirrored ? -v.bulge : v.bulge;
        if (v.source == kNewVertex) {
            NewVertex(out, doc, info, elevation, x, v.y, bulge);
            continue;
        }
        const auto k = static_cast<std::size_t>(v.source);
        const bool again = std::exchange(used[k], char{1}) != 0;
        RewrittenVertex(out, doc, text, vertexBegins[k], again, x, v.y, bulge);
    }
    out.Raw(text.substr(seqend));
    return std::move(out.text);
}

void CommonPart(Out& out, Document& doc, std::string_view type, const Style& style,
                std::optional<Handle> handle) {
    const Format& format = doc.GetFormat();
    out.Text(0, type);
    if (handle) {
        out.HandleTag(5, *handle);
    }
    if (format.SubclassMarkers()) {
        const std::optional<Handle> owner = style.owner ? style.owner : doc.ModelSpaceOwner();
        if (owner) {
            out.HandleTag(330, *owner);
        }
        out.Text(100, "AcDbEntity");
    }
    out.Text(8, style.layer);
    if (!style.lineType.empty()) {
        out.Text(6, style.lineType);
    }
    if (style.colour) {
        out.IntegerTag(62, *style.colour);
    }
    if (style.trueColour && format.TrueColour()) {
        out.IntegerTag(420, *style.trueColour);
    }
}

void Subclass(Out& out, const char* name) {
    if (out.GetFormat().SubclassMarkers()) {
        out.Text(100, name);
    }
}

// A 2-D POLYLINE with its VERTEX entities and SEQEND, for files older than
// lightweight polylines.
void OldPolyline(Out& out, Document& doc, const Polyline& poly, const Style& style) {
    const std::optional<Handle> handle = doc.NewHandle();
    CommonPart(out, doc, "POLYLINE", style, handle);
    Subclass(out, "AcDb2dPolyline");
    out.IntegerTag(66, 1);
    out.Point(10, {0, 0, poly.z});
    out.IntegerTag(70, poly.closed ? kClosed : 0);
    Style child;
    child.layer = style.layer;
    child.owner = handle;
    for (const Vertex& v : poly.vertices) {
        CommonPart(out, doc, "VERTEX", child, doc.NewHandle());
        Subclass(out, "AcDbVertex");
        Subclass(out, "AcDb2dVertex");
        out.Point(10, {v.x, v.y, poly.z});
        if (v.bulge != 0) {
            out.RealTag(42, v.bulge);
        }
    }
    CommonPart(out, doc, "SEQEND", child, doc.NewHandle());
}

void RequireVertices(const Polyline& poly) {
    if (poly.vertices.size() < 2) {
        throw std::invalid_argument("a polyline needs two vertices");
    }
}

}  // namespace

std::string_view Describe(Refusal refusal) {
    switch (refusal) {
        case Refusal::PaperSpace:
            return "paper space";
        case Refusal::Extrusion:
            return "tilted extrusion";
        case Refusal::Thickness:
            return "thickness";
        case Refusal::NotPlain:
            return "fitted or 3-D";
        case Refusal::Malformed:
            return "malformed";
        case Refusal::NotSelected:
            return "not selected";
        case Refusal::TooLarge:
            return "too large for the command";
        default:
            return "";
    }
}

namespace {

// Entity `i` from its text, or from its tags read already (`Tags`: the
// text, or a span of its tags).
template <typename Tags>
Shape ShapeFrom(const Document& doc, std::size_t i, const Tags& tags) {
    const EntityKind kind = KindOfType(doc.EntityType(i));
    if (kind == EntityKind::Other) {
        return Refused(Refusal::Type);
    }
    if (doc.InPaperSpace(i)) {
        return Refused(Refusal::PaperSpace);
    }
    switch (kind) {
        case EntityKind::Line:
            return LineShape(tags);
        case EntityKind::Arc:
            return ArcOrCircleShape(tags, true);
        case EntityKind::Circle:
            return ArcOrCircleShape(tags, false);
        case EntityKind::LwPolyline:
            return LwPolylineShape(tags);
        default:
            return PolylineShape(doc, i);
    }
}

}  // namespace

Shape ShapeOf(const Document& doc, std::size_t i) {
    return ShapeFrom(doc, i, doc.EntityText(i));
}

Shape ShapeOf(const Document& doc, std::size_t i, std::span<const Tag> tags) {
    return ShapeFrom(doc, i, tags);
}

Style StyleOf(const Document& doc, std::size_t i) {
    const EntityInfo info = doc.Info(i);
    Style style;
    style.layer = std::string(info.layer);
    style.lineType = std::string(info.lineType);
    style.colour = info.colour;
    style.trueColour = info.trueColour;
    style.owner = info.owner;
    return style;
}

std::string RewriteEntity(Document& doc, std::size_t i, const Geometry& geometry,
                          const Restyle& restyle) {
    return RewriteEntity(doc, i, ShapeOf(doc, i), geometry, restyle);
}

std::string RewriteEntity(Document& doc, std::size_t i, const Shape& shape,
                          const Geometry& geometry, const Restyle& restyle) {
    if (!shape.Convertible()) {
        throw std::invalid_argument("entity " + std::to_string(i) + " cannot be converted");
    }
    if (shape.geometry.index() != geometry.index()) {
        throw std::invalid_argument("geometry of another kind for a " +
                                    std::string(doc.EntityType(i)));
    }
    const std::string_view text = doc.EntityText(i);
    const Format& format = doc.GetFormat();
    if (const Line* line = std::get_if<Line>(&geometry)) {
        const std::pair<int, double> values[] = {{10, line->start.x}, {20, line->start.y},
                                                 {30, line->start.z}, {11, line->end.x},
                                                 {21, line->end.y},   {31, line->end.z}};
        return RewriteSimple(format, text, values, restyle);
    }
    if (const Arc* given = std::get_if<Arc>(&geometry)) {
        const Arc a = shape.mirrored ? Mirror(*given) : *given;
        const std::pair<int, double> values[] = {{10, a.centre.x},   {20, a.centre.y},
                                                 {30, a.centre.z},   {40, a.radius},
                                                 {50, a.startAngle}, {51, a.endAngle}};
        return RewriteSimple(format, text, values, restyle);
    }
    if (const Circle* given = std::get_if<Circle>(&geometry)) {
        const Point3 c = shape.mirrored ? Mirror(given->centre) : given->centre;
        const std::pair<int, double> values[] = {
            {10, c.x}, {20, c.y}, {30, c.z}, {40, given->radius}};
        return RewriteSimple(format, text, values, restyle);
    }
    const Polyline& poly = std::get<Polyline>(geometry);
    RequireVertices(poly);
    const Polyline& original = std::get<Polyline>(shape.geometry);
    if (poly.closed != original.closed) {
        throw std::invalid_argument("a rewritten polyline keeps its closed flag");
    }
    for (const Vertex& v : poly.vertices) {
        if (v.source != kNewVertex &&
            (v.source < 0 || static_cast<std::size_t>(v.source) >= original.vertices.size())) {
            throw std::invalid_argument("vertex source " + std::to_string(v.source) +
                                        " out of range");
        }
    }
    return doc.EntityType(i) == "LWPOLYLINE"
               ? RewriteLwPolyline(doc, i, poly, shape.mirrored, restyle)
               : RewritePolyline(doc, i, poly, shape.mirrored, restyle);
}

std::string NewEntity(Document& doc, const Geometry& geometry, const Style& style) {
    Out out(doc.GetFormat());
    constexpr std::size_t kTypicalEntity = 256;  // a LINE or ARC with its common groups
    out.text.reserve(kTypicalEntity);
    if (const Line* line = std::get_if<Line>(&geometry)) {
        CommonPart(out, doc, "LINE", style, doc.NewHandle());
        Subclass(out, "AcDbLine");
        out.Point(10, line->start);
        out.Point(11, line->end);
    } else if (const Arc* arc = std::get_if<Arc>(&geometry)) {
        CommonPart(out, doc, "ARC", style, doc.NewHandle());
        Subclass(out, "AcDbCircle");
        out.Point(10, arc->centre);
        out.RealTag(40, arc->radius);
        Subclass(out, "AcDbArc");
        out.RealTag(50, arc->startAngle);
        out.RealTag(51, arc->endAngle);
    } else if (const Circle* circle = std::get_if<Circle>(&geometry)) {
        CommonPart(out, doc, "CIRCLE", style, doc.NewHandle());
        Subclass(out, "AcDbCircle");
        out.Point(10, circle->centre);
        out.RealTag(40, circle->radius);
    } else {
        const Polyline& poly = std::get<Polyline>(geometry);
        RequireVertices(poly);
        if (!doc.GetFormat().LightweightPolylines()) {
            OldPolyline(out, doc, poly, style);
            return std::move(out.text);
        }
        CommonPart(out, doc, "LWPOLYLINE", style, doc.NewHandle());
        Subclass(out, "AcDbPolyline");
        out.IntegerTag(90, static_cast<std::int64_t>(poly.vertices.size()));
        out.IntegerTag(70, poly.closed ? kClosed : 0);
        if (poly.z != 0) {
            out.RealTag(38, poly.z);
        }
        for (const Vertex& v : poly.vertices) {
            out.RealTag(10, v.x);
            out.RealTag(20, v.y);
            if (v.bulge != 0) {
                out.RealTag(42, v.bulge);
            }
        }
    }
    return std::move(out.text);
}

std::string LineTypeEntry(Document& doc, std::string_view name, std::string_view description,
                          std::span<const double> pattern) {
    const Format& format = doc.GetFormat();
    Out out(format);
    out.Text(0, "LTYPE");
    if (auto handle = doc.NewHandle()) {
        out.HandleTag(5, *handle);
    }
    if (format.SubclassMarkers()) {
        if (auto table = doc.TableHandle("LTYPE")) {
            out.HandleTag(330, *table);
        }
        out.Text(100, "AcDbSymbolTableRecord");
        out.Text(100, "AcDbLinetypeTableRecord");
    }
    out.Text(2, name);
    out.IntegerTag(70, 0);
    out.Text(3, description);
    out.IntegerTag(72, 65);
    out.IntegerTag(73, static_cast<std::int64_t>(pattern.size()));
    double length = 0;
    for (double d : pattern) {
        length += std::fabs(d);
    }
    out.RealTag(40, length);
    for (double d : pattern) {
        out.RealTag(49, d);
        if (format.SubclassMarkers()) {
            out.IntegerTag(74, 0);
        }
    }
    return std::move(out.text);
}

void LeftAlone::Add(std::string_view type, Refusal refusal, std::size_t count) {
    counts_[{std::string(type), refusal, std::string()}].count += count;
}

void LeftAlone::Add(std::string_view type, Refusal refusal, std::string_view detail,
                    std::size_t line) {
    Count& c = counts_[{std::string(type), refusal, std::string(detail)}];
    c.count += 1;
    if (!detail.empty() && (c.firstLine == 0 || line < c.firstLine)) {
        c.firstLine = line;
    }
}

void LeftAlone::Add(const Entry& entry) {
    Count& c = counts_[{entry.type, entry.refusal, entry.detail}];
    c.count += entry.count;
    if (entry.firstLine > 0 && (c.firstLine == 0 || entry.firstLine < c.firstLine)) {
        c.firstLine = entry.firstLine;
    }
}

std::size_t LeftAlone::EntityCount() const {
    std::size_t total = 0;
    for (const auto& entry : counts_) {
        total += entry.second.count;
    }
    return total;
}

std::vector<LeftAlone::Entry> LeftAlone::Entries() const {
    std::vector<Entry> entries;
    for (const auto& [key, c] : counts_) {
        entries.push_back(
            {std::get<0>(key), std::get<1>(key), std::get<2>(key), c.count, c.firstLine});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.count > b.count; });
    return entries;
}

std::string LeftAlone::Summary() const {
    std::string text;
    auto add = [&text](const std::string& piece) { text += (text.empty() ? "" : ", ") + piece; };
    for (const Entry& e : Entries()) {
        std::string piece = std::to_string(e.count) + " " + e.type;
        std::string why(Describe(e.refusal));
        if (!e.detail.empty()) {
            why += (why.empty() ? "" : ": ") + e.detail;
            if (e.firstLine > 0) {
                why += (e.count == 1 ? ", at line " : ", the first at line ") +
                       std::to_string(e.firstLine);
            }
        }
        if (!why.empty()) {
            piece += " (" + why + ")";
        }
        add(piece);
    }
    if (blockDefinitions_ > 0) {
        add(std::to_string(blockDefinitions_) +
            (blockDefinitions_ == 1 ? " block definition" : " block definitions"));
    }
    return text;
}

LeftAlone LeftAloneIn(const Document& doc) {
    LeftAlone report;
    for (std::size_t i = 0; i < doc.EntityCount(); ++i) {
        const Shape shape = ShapeOf(doc, i);
        if (!shape.Convertible()) {
            report.Add(doc.EntityType(i), shape.refusal, shape.detail, doc.EntityLine(i));
        }
    }
    report.AddBlockDefinitions(doc.BlockDefinitionCount());
    return report;
}

}  // namespace dxf
