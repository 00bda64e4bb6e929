// Geometry read from each kind of entity, in every version and line ending,
// and rewritten: the new geometry reads back and every other group stays.
#include "tests/dxf/DxfFragments.h"
#include "tests/dxf/ObservedEntities.h"
#include "tools/dxf/DxfEntities.h"
#include "tools/dxf/DxfTags.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using dxf::Arc;
using dxf::Circle;
using dxf::Line;
using dxf::Polyline;
using dxf::Refusal;
using dxftest::Tags;

std::string Text(const dxf::Geometry& g) {
    auto p = [](dxf::Point3 q) {
        return "(" + dxf::FormatReal(q.x) + "," + dxf::FormatReal(q.y) + "," +
               dxf::FormatReal(q.z) + ")";
    };
    if (auto* l = std::get_if<Line>(&g)) {
        return "line " + p(l->start) + p(l->end);
    }
    if (auto* a = std::get_if<Arc>(&g)) {
        return "arc " + p(a->centre) + " r" + dxf::FormatReal(a->radius) + " " +
               dxf::FormatReal(a->startAngle) + ".." + dxf::FormatReal(a->endAngle);
    }
    if (auto* c = std::get_if<Circle>(&g)) {
        return "circle " + p(c->centre) + " r" + dxf::FormatReal(c->radius);
    }
    const Polyline& poly = std::get<Polyline>(g);
    std::string text = poly.closed ? "closed" : "open";
    for (const dxf::Vertex& v : poly.vertices) {
        text += " (" + dxf::FormatReal(v.x) + "," + dxf::FormatReal(v.y) + " b" +
                dxf::FormatReal(v.bulge) + " #" + std::to_string(v.source) + ")";
    }
    return text + " z" + dxf::FormatReal(poly.z);
}

Polyline Poly(std::vector<dxf::Vertex> vertices, bool closed, double z = 0) {
    for (std::size_t k = 0; k < vertices.size(); ++k) {
        vertices[k].source = static_cast<int>(k);
    }
    return Polyline{std::move(vertices), closed, z};
}

struct ShapeCase {
    const char* name;
    std::string entity;
    Refusal refusal;
    dxf::Geometry expected = Line{};
    bool mirrored = false;
};

const std::string kMirror = "|210 0|220 0|230 -1";
const std::string kLw =
    "0 LWPOLYLINE|5 50|8 Cut|100 AcDbPolyline|90 3|70 1|38 2.5|43 0|"
    "10 0|20 0|42 0.5|10 4|20 0|40 0.1|41 0.2|91 7|10 4|20 3|42 -1";
const std::string kPolyline =
    "0 POLYLINE|5 50|8 Cut|66 1|10 0|20 0|30 1.5|70 1|0 VERTEX|5 51|8 Cut|10 0|20 0|30 1.5|42 1|"
    "0 VERTEX|5 52|8 Cut|10 2|20 0|30 1.5|0 VERTEX|5 53|8 Cut|10 2|20 2|30 1.5|0 SEQEND|5 54|8 Cut";
const std::string kPolyline3d =
    "0 POLYLINE|8 0|66 1|70 8|0 VERTEX|8 0|10 0|20 0|70 32|"
    "0 VERTEX|8 0|10 1|20 0|70 32|0 SEQEND|8 0";

const ShapeCase kCases[] = {
    {"Line", "0 LINE|5 50|8 0|10 1.5|20 -2.25|30 7|11 4|21 6|31 7", Refusal::None,
     Line{{1.5, -2.25, 7}, {4, 6, 7}}},
    {"LineWithoutZ", "0 LINE|8 0|10 1|20 2|11 3|21 4", Refusal::None, Line{{1, 2, 0}, {3, 4, 0}}},
    // A LINE's points are world coordinates: nothing to mirror.
    {"LineMirrored", "0 LINE|8 0|10 1|20 2|11 3|21 4" + kMirror, Refusal::None,
     Line{{1, 2, 0}, {3, 4, 0}}},
    {"LineGroupsOfOthersIgnored",
     "0 LINE|102 {APP|10 99|102 }|8 0|10 1|20 2|11 3|21 4|1001 APP|1040 5", Refusal::None,
     Line{{1, 2, 0}, {3, 4, 0}}},
    {"LineInPaperSpace", "0 LINE|67 1|8 0|10 1|20 2|11 3|21 4", Refusal::PaperSpace},
    {"LineThick", "0 LINE|8 0|39 2|10 1|20 2|11 3|21 4", Refusal::Thickness},
    {"LineTilted", "0 LINE|8 0|10 1|20 2|11 3|21 4|210 0.6|220 0|230 0.8", Refusal::Extrusion},
    {"LineWithoutEnd", "0 LINE|8 0|10 1|20 2|11 3", Refusal::Malformed},
    {"LineTwoStarts", "0 LINE|8 0|10 1|20 2|10 1|11 3|21 4", Refusal::Malformed},
    {"Arc", "0 ARC|8 0|10 1|20 2|30 0.5|40 3|50 30|51 120", Refusal::None,
     Arc{{1, 2, 0.5}, 3, 30, 120}},
    // Seen from +Z a mirrored arc runs the other way: from 180-end to 180-start.
    {"ArcMirrored", "0 ARC|8 0|10 1|20 2|30 0.5|40 3|50 30|51 120" + kMirror, Refusal::None,
     Arc{{-1, 2, -0.5}, 3, 60, 150}, true},
    {"ArcMirroredThroughZero", "0 ARC|8 0|10 1|20 2|40 3|50 300|51 30" + kMirror, Refusal::None,
     Arc{{-1, 2, 0}, 3, 150, 240}, true},
    {"ArcSameAngles", "0 ARC|8 0|10 1|20 2|40 3|50 10|51 370", Refusal::Malformed},
    {"ArcWithoutRadius", "0 ARC|8 0|10 1|20 2|50 10|51 20", Refusal::Malformed},
    {"ArcNegativeRadius", "0 ARC|8 0|10 1|20 2|40 -1|50 10|51 20", Refusal::Malformed},
    {"Circle", "0 CIRCLE|8 0|10 1|20 2|30 3|40 0.25", Refusal::None, Circle{{1, 2, 3}, 0.25}},
    {"CircleMirrored", "0 CIRCLE|8 0|10 1|20 2|30 3|40 0.25" + kMirror, Refusal::None,
     Circle{{-1, 2, -3}, 0.25}, true},
    {"LwPolyline", kLw, Refusal::None, Poly({{0, 0, 0.5}, {4, 0, 0}, {4, 3, -1}}, true, 2.5)},
    {"LwPolylineMirrored", kLw + kMirror, Refusal::None,
     Poly({{0, 0, -0.5}, {-4, 0, 0}, {-4, 3, 1}}, true, -2.5), true},
    {"LwPolylineOpen", "0 LWPOLYLINE|8 0|90 2|70 128|10 0|20 0|10 1|20 1", Refusal::None,
     Poly({{0, 0}, {1, 1}}, false)},
    {"LwPolylineCountWrong", "0 LWPOLYLINE|8 0|90 3|70 0|10 0|20 0|10 1|20 1", Refusal::Malformed},
    {"LwPolylineOneVertex", "0 LWPOLYLINE|8 0|90 1|70 0|10 0|20 0", Refusal::Malformed},
    {"LwPolylineVertexAfterEnd", "0 LWPOLYLINE|8 0|10 0|20 0|10 1|20 1|230 1|10 5|20 5",
     Refusal::Malformed},
    {"LwPolylineVertexWithoutY", "0 LWPOLYLINE|8 0|10 0|20 0|10 1|42 1", Refusal::Malformed},
    // Some writers give each vertex a z: the polyline's elevation (38) holds.
    {"LwPolylineVertexZ",
     "0 LWPOLYLINE|8 0|100 AcDbPolyline|90 3|70 1|38 2|10 0|20 0|30 0|10 4|20 0|30 0|42 1|"
     "10 4|20 3|30 7",
     Refusal::None, Poly({{0, 0}, {4, 0, 1}, {4, 3}}, true, 2)},
    {"Polyline", kPolyline, Refusal::None, Poly({{0, 0, 1}, {2, 0, 0}, {2, 2, 0}}, true, 1.5)},
    {"PolylineMirrored",
     "0 POLYLINE|8 0|66 1|10 0|20 0|30 1.5|70 0|210 0|220 0|230 -1|0 VERTEX|8 0|10 1|20 0|42 1|"
     "0 VERTEX|8 0|10 2|20 5|0 SEQEND|8 0",
     Refusal::None, Poly({{-1, 0, -1}, {-2, 5, 0}}, false, -1.5), true},
    {"Polyline3d", kPolyline3d, Refusal::NotPlain},
    {"PolylineCurveFit",
     "0 POLYLINE|8 0|66 1|70 2|0 VERTEX|8 0|10 0|20 0|0 VERTEX|8 0|10 1|20 0|0 SEQEND|8 0",
     Refusal::NotPlain},
    {"PolylineSplineFrame",
     "0 POLYLINE|8 0|66 1|70 0|0 VERTEX|8 0|10 0|20 0|70 16|0 VERTEX|8 0|10 1|20 0|"
     "0 SEQEND|8 0",
     Refusal::NotPlain},
    {"Polyface", "0 POLYLINE|8 0|66 1|70 64|0 VERTEX|8 0|10 0|20 0|70 192|0 SEQEND|8 0",
     Refusal::NotPlain},
    {"PolylineWithoutSeqend",
     "0 POLYLINE|8 0|66 1|70 0|0 VERTEX|8 0|10 0|20 0|0 VERTEX|8 0|10 1|20 0", Refusal::Malformed},
    {"Text", "0 TEXT|8 0|10 0|20 0|40 1|1 Hi", Refusal::Type},
};

void PrintTo(const ShapeCase& c, std::ostream* os) {
    *os << c.name;
}

class DxfShape : public ::testing::TestWithParam<ShapeCase> {};

// Each variant: R12 and R2018 files, LF and CRLF.
std::vector<std::string> Variants(const std::string& entity) {
    std::vector<std::string> files{dxftest::R12(Tags(entity)),
                                   dxftest::Modern(Tags(entity), "AC1032")};
    files.push_back(dxftest::Crlf(files[0]));
    files.push_back(dxftest::Crlf(files[1]));
    return files;
}

TEST_P(DxfShape, ReadsGeometryOrRefuses) {
    const ShapeCase& c = GetParam();
    for (const std::string& file : Variants(c.entity)) {
        const dxf::Document doc = dxf::Document::Parse(file);
        ASSERT_EQ(doc.EntityCount(), 1u);
        dxftest::ExpectObservedAsRead(file);
        const dxf::Shape shape = dxf::ShapeOf(doc, 0);
        ASSERT_EQ(shape.refusal, c.refusal);
        if (!shape.Convertible()) {
            continue;
        }
        EXPECT_EQ(shape.mirrored, c.mirrored);
        EXPECT_TRUE(shape.geometry == c.expected) << Text(shape.geometry);
    }
}

// The geometry moved: points by (0.125, -0.25), radii by 0.5, arcs turned
// 10 degrees, bulges changed (zero ones too, so that bulge groups are added).
dxf::Geometry Moved(const dxf::Geometry& g) {
    auto move = [](dxf::Point3 p) { return dxf::Point3{p.x + 0.125, p.y - 0.25, p.z}; };
    if (auto* l = std::get_if<Line>(&g)) {
        return Line{move(l->start), move(l->end)};
    }
    if (auto* a = std::get_if<Arc>(&g)) {
        return Arc{move(a->centre), a->radius + 0.5, a->startAngle + 10, a->endAngle + 10};
    }
    if (auto* c = std::get_if<Circle>(&g)) {
        return Circle{move(c->centre), c->radius + 0.5};
    }
    Polyline poly = std::get<Polyline>(g);
    for (dxf::Vertex& v : poly.vertices) {
        v = {v.x + 0.125, v.y - 0.25, 0.5 - v.bulge, v.source};
    }
    return poly;
}

// Tags of an entity without the given codes, as text.
std::vector<std::string> Without(std::string_view text, const std::set<int>& codes) {
    std::vector<std::string> kept;
    dxf::TagReader reader(text);
    dxf::Tag tag;
    while (reader.Next(tag)) {
        if (!codes.count(tag.code)) {
            kept.push_back(std::to_string(tag.code) + " " + std::string(tag.value));
        }
    }
    return kept;
}

TEST_P(DxfShape, RewriteReadsBackAndKeepsOtherGroups) {
    const ShapeCase& c = GetParam();
    if (c.refusal != Refusal::None) {
        return;
    }
    for (const std::string& file : Variants(c.entity)) {
        dxf::Document doc = dxf::Document::Parse(file);
        const dxf::Shape shape = dxf::ShapeOf(doc, 0);
        const dxf::Geometry moved = Moved(shape.geometry);
        doc.ReplaceEntity(0, dxf::RewriteEntity(doc, 0, moved));
        const dxf::Document back = dxf::Document::Parse(doc.Write());
        const dxf::Shape read = dxf::ShapeOf(back, 0);
        ASSERT_TRUE(read.Convertible());
        if (const Arc* a = std::get_if<Arc>(&read.geometry); a && shape.mirrored) {
            // 180 - (180 - a) may differ from a in the last bit.
            const Arc& want = std::get<Arc>(moved);
            EXPECT_EQ(a->centre, want.centre);
            EXPECT_NEAR(a->startAngle, want.startAngle, 1e-12);
            EXPECT_NEAR(a->endAngle, want.endAngle, 1e-12);
        } else {
            EXPECT_TRUE(read.geometry == moved) << Text(read.geometry) << " vs " << Text(moved);
        }
        const std::set<int> geometryCodes =
            std::holds_alternative<Line>(moved)       ? std::set<int>{10, 20, 30, 11, 21, 31}
            : std::holds_alternative<Polyline>(moved) ? std::set<int>{10, 20, 42}
                                                      : std::set<int>{10, 20, 30, 40, 50, 51};
        EXPECT_EQ(Without(back.EntityText(0), geometryCodes),
                  Without(dxf::Document::Parse(file).EntityText(0), geometryCodes));
        EXPECT_EQ(back.GetFormat().eol, doc.GetFormat().eol);
    }
}

INSTANTIATE_TEST_SUITE_P(Entities, DxfShape, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ShapeCase>& p) {
                             return std::string(p.param.name);
                         });

// A malformed entity says what is wrong with it, and the report where it is.
TEST(DxfShape, MalformedSaysWhy) {
    const std::pair<const char*, const char*> cases[] = {
        {"0 LINE|8 0|10 1|20 2|11 3", "no end point (11, 21)"},
        {"0 LINE|8 0|10 1|20 2|10 1|11 3|21 4", "group 10 given twice"},
        {"0 ARC|8 0|10 1|20 2|50 10|51 20", "no radius (40)"},
        {"0 ARC|8 0|10 1|20 2|40 -1|50 10|51 20", "a radius not above 0"},
        {"0 ARC|8 0|10 1|20 2|40 3|50 10|51 370", "start and end angles that coincide"},
        {"0 CIRCLE|8 0|10 1|20 2|40 3|50 10", "a circle with angles (50, 51)"},
        {"0 LWPOLYLINE|8 0|90 3|70 0|10 0|20 0|10 1|20 1",
         "a vertex count (90) of 3 for 2 vertices"},
        {"0 LWPOLYLINE|8 0|90 1|70 0|10 0|20 0", "fewer than two vertices"},
        {"0 LWPOLYLINE|8 0|10 0|20 0|10 1|42 1|10 2|20 2", "vertex 2 has no y (20)"},
        {"0 LWPOLYLINE|8 0|10 0|20 0|10 1|20 1|20 2", "vertex 2 has two y values (20)"},
        {"0 LWPOLYLINE|8 0|10 0|20 0|30 0|30 1|10 1|20 1", "vertex 1 has two z values (30)"},
        {"0 LWPOLYLINE|8 0|10 0|20 0|10 1|20 1|230 1|10 5|20 5",
         "after other groups than the vertices' (10)"},
        {"0 LWPOLYLINE|8 0|42 1|10 0|20 0|10 1|20 1",
         "a vertex group (42) outside the vertex list"},
        {"0 POLYLINE|8 0|66 1|70 0|0 VERTEX|8 0|10 0|20 0|0 VERTEX|8 0|10 1|20 0", "no SEQEND"},
        {"0 POLYLINE|8 0|66 1|70 0|0 VERTEX|8 0|10 0|20 0|0 VERTEX|8 0|10 1|0 SEQEND|8 0",
         "vertex 2 has no position (10, 20)"},
    };
    for (const auto& [entity, why] : cases) {
        const dxf::Document doc = dxf::Document::Parse(dxftest::Modern(Tags(entity)));
        const dxf::Shape shape = dxf::ShapeOf(doc, 0);
        EXPECT_EQ(shape.refusal, Refusal::Malformed) << entity;
        EXPECT_EQ(shape.detail, why) << entity;
    }
    const dxf::Document doc = dxf::Document::Parse(dxftest::Modern(Tags(
        "0 LINE|8 0|10 1|20 2|11 3|0 LINE|8 0|10 1|20 2|11 3|0 ARC|8 0|10 1|20 2|50 10|51 20")));
    EXPECT_EQ(dxf::LeftAloneIn(doc).Summary(),
              "2 LINE (malformed: no end point (11, 21), the first at line " +
                  std::to_string(doc.EntityLine(0)) +
                  "), 1 ARC (malformed: no radius (40), at line " +
                  std::to_string(doc.EntityLine(2)) + "), 1 block definition");
}

TEST(DxfShape, LeftAloneByTypeAndReason) {
    const dxf::Document doc = dxf::Document::Parse(dxftest::Modern(Tags(
        "0 TEXT|8 0|1 a|0 TEXT|8 0|1 b|0 INSERT|8 0|2 Bolt|0 LINE|67 1|8 0|10 0|20 0|11 1|21 1|"
        "0 LINE|8 0|10 0|20 0|11 1|21 1|" +
        kPolyline3d)));
    EXPECT_EQ(dxf::LeftAloneIn(doc).Summary(),
              "2 TEXT, 1 INSERT, 1 LINE (paper space), 1 POLYLINE (fitted or 3-D), "
              "1 block definition");
    EXPECT_EQ(dxf::LeftAlone().Summary(), "");
}

}  // namespace
