// The readable drawing file. A whole file is checked and turned into tables
// before the drawing is touched, so a bad file leaves the drawing as it was.
#include "platform/veklib/HostState.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>
#include <unordered_set>

namespace vekhost {

using namespace detail;
using Json = nlohmann::ordered_json;

namespace {

// Identifiers in a file above this are refused: the tables are indexed by them.
constexpr int64_t kMaxFileId = 1 << 24;

const char* const kTypeNames[] = {
    "",          "line",      "circle",      "arc",     "pointLengths",
    "twoPoints", "unchanged", "roundCorner", "chamfer", "point"};

// Built by appending: GCC 12 warns wrongly about "text" + std::string.
std::string Quoted(const char* key, const char* rest) {
    std::string s(1, '"');
    s.append(key).append(1, '"').append(rest);
    return s;
}

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw std::runtime_error("drawing file: " + where + ": " + what);
}

Json Pt(const double* p) {
    return Json::array({p[0], p[1]});
}

Json ElementJson(VekId id, const ElementData& e) {
    const FigureRecord& f = e.figure;
    Json j;
    j["id"] = id;
    j["type"] = kTypeNames[e.type];
    switch (e.type) {
        case VEK_LINE:
            j["start"] = Pt(f.p1);
            j["end"] = Pt(f.p2);
            break;
        case VEK_CIRCLE:
            j["centre"] = Pt(f.p1);
            j["radius"] = f.p2[0];
            break;
        case VEK_ARC:
        case VEK_ROUND_CORNER:
            j["centre"] = Pt(f.p1);
            j["start"] = Pt(f.p2);
            j["end"] = Pt(f.p3);
            j["radius"] = f.size;
            j["clockwise"] = f.direction == 1;
            break;
        case VEK_POINT_LENGTHS:
            j["point"] = Pt(f.p1);
            j["lengths"] = Pt(f.p2);
            break;
        case VEK_TWO_POINTS:
            j["first"] = Pt(f.p2);
            j["second"] = Pt(f.p3);
            break;
        case VEK_CHAMFER:
            j["corner"] = Pt(f.p1);
            j["start"] = Pt(f.p2);
            j["end"] = Pt(f.p3);
            j["setback"] = f.size;
            break;
        case VEK_POINT:
            j["point"] = Pt(f.p1);
            break;
        default:  // kept as the raw record
            j["p1"] = Pt(f.p1);
            j["p2"] = Pt(f.p2);
            j["p3"] = Pt(f.p3);
            j["size"] = f.size;
            j["direction"] = f.direction;
            break;
    }
    const LineTypeRecord& lt = e.lineType;
    Json l;
    l["color"] = lt.colorIndex;
    l["code"] = lt.lineTypeCode;
    if (lt.reserved[0] || lt.reserved[1])
        l["reserved"] = Json::array({lt.reserved[0], lt.reserved[1]});
    j["lineType"] = l;
    return j;
}

// ---- Reading -----------------------------------------------------------------

struct Reader {
    const Json& j;
    std::string where;

    void OnlyKeys(std::initializer_list<const char*> keys) const {
        if (!j.is_object()) Fail(where, "must be an object");
        for (auto it = j.begin(); it != j.end(); ++it) {
            bool known =
                std::any_of(keys.begin(), keys.end(), [&](const char* k) { return it.key() == k; });
            if (!known) Fail(where, "unknown field \"" + it.key() + "\"");
        }
    }
    bool Has(const char* key) const { return j.contains(key); }
    const Json& At(const char* key) const {
        if (!j.contains(key)) Fail(where, "missing " + Quoted(key, ""));
        return j.at(key);
    }
    double Number(const char* key) const {
        const Json& v = At(key);
        if (!v.is_number()) Fail(where, Quoted(key, " must be a number"));
        double d = v.get<double>();
        if (!std::isfinite(d)) Fail(where, Quoted(key, " must be finite"));
        return d;
    }
    void Point(const char* key, double* out) const {
        const Json& v = At(key);
        if (!v.is_array() || v.size() != 2 || !v[0].is_number() || !v[1].is_number())
            Fail(where, Quoted(key, " must be an array of two numbers"));
        out[0] = v[0].get<double>();
        out[1] = v[1].get<double>();
        if (!std::isfinite(out[0]) || !std::isfinite(out[1]))
            Fail(where, Quoted(key, " must be finite"));
    }
    bool Bool(const char* key, bool fallback) const {
        if (!Has(key)) return fallback;
        const Json& v = j.at(key);
        if (!v.is_boolean()) Fail(where, Quoted(key, " must be true or false"));
        return v.get<bool>();
    }
    int32_t Int(const char* key, int64_t lo, int64_t hi) const {
        const Json& v = At(key);
        if (!v.is_number_integer()) Fail(where, Quoted(key, " must be an integer"));
        int64_t x = v.get<int64_t>();
        if (x < lo || x > hi)
            Fail(where,
                 Quoted(key, " must be from ") + std::to_string(lo) + " to " + std::to_string(hi));
        return static_cast<int32_t>(x);
    }
};

struct PendingElement {
    int64_t id = 0;  // 0: none given
    int32_t type = 0;
    FigureRecord figure{};
    LineTypeRecord lineType{};
};

struct PendingSegment {
    int64_t id = 0;
    VekId layer = 0;
    bool closed = false;
    std::vector<PendingElement> elements;
};

PendingElement ReadElement(const Json& j, const std::string& where) {
    Reader r{j, where};
    if (!j.is_object()) Fail(where, "must be an object");
    const Json& t = r.At("type");
    if (!t.is_string()) Fail(where, "\"type\" must be a text");
    PendingElement e;
    for (int k = 1; k <= 9; ++k) {
        if (t.get<std::string>() == kTypeNames[k]) e.type = k;
    }
    if (e.type == 0)
        Fail(where, "unknown type \"" + t.get<std::string>() +
                        "\" (line, circle, arc, pointLengths, twoPoints, unchanged, "
                        "roundCorner, chamfer, point)");
    FigureRecord& f = e.figure;
    f.kind = static_cast<uint32_t>(e.type);
    switch (e.type) {
        case VEK_LINE:
            r.OnlyKeys({"id", "type", "lineType", "start", "end"});
            r.Point("start", f.p1);
            r.Point("end", f.p2);
            break;
        case VEK_CIRCLE:
            r.OnlyKeys({"id", "type", "lineType", "centre", "radius"});
            r.Point("centre", f.p1);
            f.p2[0] = r.Number("radius");
            if (f.p2[0] < 0) Fail(where, "\"radius\" must not be negative");
            break;
        case VEK_ARC:
        case VEK_ROUND_CORNER:
            r.OnlyKeys({"id", "type", "lineType", "centre", "start", "end", "radius", "clockwise"});
            r.Point("centre", f.p1);
            r.Point("start", f.p2);
            r.Point("end", f.p3);
            f.size = r.Has("radius") ? r.Number("radius")
                                     : std::hypot(f.p2[0] - f.p1[0], f.p2[1] - f.p1[1]);
            f.direction = r.Bool("clockwise", false) ? 1u : 0u;
            break;
        case VEK_POINT_LENGTHS:
            r.OnlyKeys({"id", "type", "lineType", "point", "lengths"});
            r.Point("point", f.p1);
            r.Point("lengths", f.p2);
            break;
        case VEK_TWO_POINTS:
            r.OnlyKeys({"id", "type", "lineType", "first", "second"});
            r.Point("first", f.p2);
            r.Point("second", f.p3);
            break;
        case VEK_CHAMFER:
            r.OnlyKeys({"id", "type", "lineType", "corner", "start", "end", "setback"});
            r.Point("corner", f.p1);
            r.Point("start", f.p2);
            r.Point("end", f.p3);
            f.size = r.Number("setback");
            break;
        case VEK_POINT:
            r.OnlyKeys({"id", "type", "lineType", "point"});
            r.Point("point", f.p1);
            break;
        default:
            r.OnlyKeys({"id", "type", "lineType", "p1", "p2", "p3", "size", "direction"});
            if (r.Has("p1")) r.Point("p1", f.p1);
            if (r.Has("p2")) r.Point("p2", f.p2);
            if (r.Has("p3")) r.Point("p3", f.p3);
            if (r.Has("size")) f.size = r.Number("size");
            if (r.Has("direction"))
                f.direction = static_cast<uint32_t>(r.Int("direction", 0, UINT32_MAX));
            break;
    }
    if (r.Has("id")) e.id = r.Int("id", 1, kMaxFileId);
    if (r.Has("lineType")) {
        Reader l{j.at("lineType"), where + ".lineType"};
        l.OnlyKeys({"color", "code", "reserved"});
        e.lineType.colorIndex = l.Int("color", INT32_MIN, INT32_MAX);
        e.lineType.lineTypeCode = l.Int("code", INT32_MIN, INT32_MAX);
        if (l.Has("reserved")) {
            const Json& v = l.j.at("reserved");
            if (!v.is_array() || v.size() != 2 || !v[0].is_number_integer() ||
                !v[1].is_number_integer())
                Fail(l.where, "\"reserved\" must be an array of two integers");
            e.lineType.reserved[0] = v[0].get<int32_t>();
            e.lineType.reserved[1] = v[1].get<int32_t>();
        }
    }
    return e;
}

}  // namespace

std::string ToJson() {
    const Drawing& d = S().drawing;
    Json root;
    root["format"] = "vek-drawing";
    root["version"] = 1;
    root["layers"] = d.layers;
    Json segs = Json::array();
    for (VekId id : d.SegmentIds()) {
        const SegmentData& s = d.segments[d.where[id] >> 1];
        Json js;
        js["id"] = id;
        js["layer"] = d.layers[s.layer];
        js["closed"] = s.closed;
        Json els = Json::array();
        for (VekId e = s.head; e != VEK_NONE; e = d.elements[d.where[e] >> 1].next)
            els.push_back(ElementJson(e, d.elements[d.where[e] >> 1]));
        js["elements"] = std::move(els);
        segs.push_back(std::move(js));
    }
    root["segments"] = std::move(segs);
    return root.dump(2);
}

void FromJson(const std::string& text) {
    Json root;
    try {
        root = Json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(std::string("drawing file: not valid JSON: ") + e.what());
    }
    Reader r{root, "top level"};
    r.OnlyKeys({"format", "version", "layers", "segments"});
    if (r.Has("format") && root.at("format") != "vek-drawing")
        Fail("top level", "\"format\" must be \"vek-drawing\"");
    if (r.Has("version") && r.Int("version", 1, 1) != 1) Fail("top level", "unknown version");

    std::vector<std::string> layers;
    if (r.Has("layers")) {
        const Json& l = root.at("layers");
        if (!l.is_array()) Fail("layers", "must be an array of names");
        for (size_t i = 0; i < l.size(); ++i) {
            if (!l[i].is_string()) Fail("layers[" + std::to_string(i) + "]", "must be a text");
            std::string name = l[i].get<std::string>();
            if (std::find(layers.begin(), layers.end(), name) != layers.end())
                Fail("layers[" + std::to_string(i) + "]", "repeats the name \"" + name + "\"");
            layers.push_back(name);
        }
    }
    if (std::find(layers.begin(), layers.end(), "0") == layers.end())
        layers.insert(layers.begin(), "0");

    std::vector<PendingSegment> segments;
    std::unordered_set<int64_t> ids;
    int64_t maxId = 0;
    auto takeId = [&](int64_t id, const std::string& where) {
        if (id == 0) return;
        if (!ids.insert(id).second)
            Fail(where, "identifier " + std::to_string(id) + " is used twice");
        maxId = std::max(maxId, id);
    };
    const Json& sj = r.At("segments");
    if (!sj.is_array()) Fail("segments", "must be an array");
    for (size_t i = 0; i < sj.size(); ++i) {
        std::string where = "segments[" + std::to_string(i) + "]";
        Reader sr{sj[i], where};
        sr.OnlyKeys({"id", "layer", "closed", "elements"});
        PendingSegment ps;
        if (sr.Has("id")) ps.id = sr.Int("id", 1, kMaxFileId);
        takeId(ps.id, where);
        std::string layer = "0";
        if (sr.Has("layer")) {
            if (!sj[i].at("layer").is_string()) Fail(where, "\"layer\" must be a layer name");
            layer = sj[i].at("layer").get<std::string>();
        }
        auto it = std::find(layers.begin(), layers.end(), layer);
        if (it == layers.end()) it = layers.insert(layers.end(), layer);
        ps.layer = static_cast<VekId>(it - layers.begin());
        ps.closed = sr.Bool("closed", false);
        const Json& ej = sr.Has("elements") ? sj[i].at("elements") : Json::array();
        if (!ej.is_array()) Fail(where, "\"elements\" must be an array");
        for (size_t k = 0; k < ej.size(); ++k) {
            std::string ew = where + ".elements[" + std::to_string(k) + "]";
            ps.elements.push_back(ReadElement(ej[k], ew));
            takeId(ps.elements.back().id, ew);
        }
        segments.push_back(std::move(ps));
    }

    // Everything is read and checked: now replace the drawing. Identifiers
    // the file gives are kept; the rest come after every identifier in use.
    Session& s = S();
    Drawing d;
    d.layers = layers;
    int64_t next = std::max<int64_t>(s.drawing.nextId, maxId + 1);
    for (auto& ps : segments) {
        if (ps.id == 0) ps.id = next++;
        for (auto& pe : ps.elements) {
            if (pe.id == 0) pe.id = next++;
        }
    }
    d.nextId = static_cast<VekId>(next);
    d.Reserve(d.nextId);
    for (const auto& ps : segments) {
        const VekId seg = static_cast<VekId>(ps.id);
        d.PlaceSegment(seg, ps.layer, ps.closed);
        for (const auto& pe : ps.elements)
            d.PlaceElement(static_cast<VekId>(pe.id), seg, VEK_NONE, pe.type, pe.figure,
                           pe.lineType);
    }
    s.drawing = std::move(d);
    s.selected.clear();
    s.sourceOf.clear();
}

void Save(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    if (!out) throw std::runtime_error("cannot write drawing file " + path);
    out << ToJson() << '\n';
    if (!out) throw std::runtime_error("cannot write drawing file " + path);
}

void Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read drawing file " + path);
    std::stringstream buf;
    buf << in.rdbuf();
    try {
        FromJson(buf.str());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

}  // namespace vekhost
