// vekhost run on DXF drawings, as a user runs it: small drawings of each
// entity kind, version and line ending converted through the plug-in, the
// values written back, what stays byte for byte, and each refusal.
#include "tests/app/VekhostFixture.h"
#include "tests/dxf/DxfFragments.h"
#include "tools/dxf/DxfEntities.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <variant>
#include <vector>

using namespace vekhosttest;

namespace {

using dxftest::Crlf;
using dxftest::Modern;
using dxftest::R12;
using dxftest::Raw;
using dxftest::Tags;

// Values that went through the host's arithmetic (absolute, drawings of
// size 10).
constexpr double kClose = 1e-9;

// An entity of the output: by handle ("2F"), or by position ("#2") in a
// file without handles.
std::size_t Find(const dxf::Document& doc, const std::string& key) {
    for (std::size_t i = 0; i < doc.EntityCount(); ++i) {
        if (key[0] == '#' ? std::to_string(i) == key.substr(1)
                          : doc.EntityHandle(i) && dxf::FormatHandle(*doc.EntityHandle(i)) == key) {
            return i;
        }
    }
    ADD_FAILURE() << "no entity " << key;
    return 0;
}

dxf::Shape ShapeAt(const dxf::Document& doc, const std::string& key) {
    const dxf::Shape shape = dxf::ShapeOf(doc, Find(doc, key));
    EXPECT_TRUE(shape.Convertible()) << key;
    return shape;
}

void ExpectPoint(const dxf::Point3& p, double x, double y, double z, const std::string& what) {
    EXPECT_NEAR(p.x, x, kClose) << what;
    EXPECT_NEAR(p.y, y, kClose) << what;
    EXPECT_NEAR(p.z, z, kClose) << what;
}

void ExpectLine(const dxf::Document& doc, const std::string& key, dxf::Point3 a, dxf::Point3 b) {
    const dxf::Shape shape = ShapeAt(doc, key);
    const auto* line = std::get_if<dxf::Line>(&shape.geometry);
    ASSERT_NE(line, nullptr) << key;
    ExpectPoint(line->start, a.x, a.y, a.z, key + " start");
    ExpectPoint(line->end, b.x, b.y, b.z, key + " end");
}

double Angle(double degrees) {
    const double a = std::fmod(degrees, 360.0);
    return a < 0 ? a + 360 : a;
}

void ExpectArc(const dxf::Document& doc, const std::string& key, const dxf::Arc& want) {
    const dxf::Shape shape = ShapeAt(doc, key);
    const auto* arc = std::get_if<dxf::Arc>(&shape.geometry);
    ASSERT_NE(arc, nullptr) << key;
    ExpectPoint(arc->centre, want.centre.x, want.centre.y, want.centre.z, key + " centre");
    EXPECT_NEAR(arc->radius, want.radius, kClose) << key;
    EXPECT_NEAR(Angle(arc->startAngle), Angle(want.startAngle), 1e-7) << key;
    EXPECT_NEAR(Angle(arc->endAngle), Angle(want.endAngle), 1e-7) << key;
}

// An arc's end point, from its centre, radius and angle.
dxf::Point3 ArcPoint(const dxf::Document& doc, const std::string& key, bool end) {
    const auto arc = std::get<dxf::Arc>(ShapeAt(doc, key).geometry);
    const double a = (end ? arc.endAngle : arc.startAngle) * std::numbers::pi / 180;
    return {arc.centre.x + arc.radius * std::cos(a), arc.centre.y + arc.radius * std::sin(a),
            arc.centre.z};
}

void ExpectPolyline(const dxf::Document& doc, const std::string& key,
                    const std::vector<dxf::Vertex>& want, bool closed, double z) {
    const dxf::Shape shape = ShapeAt(doc, key);
    const auto* poly = std::get_if<dxf::Polyline>(&shape.geometry);
    ASSERT_NE(poly, nullptr) << key;
    EXPECT_EQ(poly->closed, closed) << key;
    EXPECT_NEAR(poly->z, z, kClose) << key;
    ASSERT_EQ(poly->vertices.size(), want.size()) << key;
    for (std::size_t k = 0; k < want.size(); ++k) {
        EXPECT_NEAR(poly->vertices[k].x, want[k].x, kClose) << key << " vertex " << k;
        EXPECT_NEAR(poly->vertices[k].y, want[k].y, kClose) << key << " vertex " << k;
        EXPECT_NEAR(poly->vertices[k].bulge, want[k].bulge, kClose) << key << " vertex " << k;
    }
}

// `drawing` with $DWGCODEPAGE first in its header.
std::string InCodePage(const std::string& drawing, const std::string& page) {
    const std::string header = Tags("0 SECTION|2 HEADER");
    std::string out = drawing;
    return out.insert(out.find(header) + header.size(), Tags("9 $DWGCODEPAGE|3 " + page));
}

const std::string kTanHalfRight = "0.41421356237309503";  // bulge of a quarter circle
constexpr double kQuarter = 0.41421356237309503;

// A line, an arc that leaves it tangentially, and a line that does not
// meet the arc tangentially; the second line starts 6e-8 off the arc's end.
const std::string kChain = Tags(
    "0 LINE|5 30|8 Walls|10 0|20 0|11 1.004|21 0|"
    "0 ARC|5 31|8 Walls|10 1.004|20 1.5|40 1.5|50 270|51 300|"
    "0 LINE|5 32|8 Walls|10 1.754|20 0.2009619|11 3|21 1");

// Joins meet to the arithmetic's noise once converted, relative to the
// coordinates' size (and to 1 below it).
constexpr double kMeet = 1e-12;

void ExpectMeet(const dxf::Point3& a, const dxf::Point3& b, const std::string& what) {
    const double size = std::max({1.0, std::fabs(a.x), std::fabs(a.y)});
    EXPECT_LE(std::hypot(a.x - b.x, a.y - b.y), kMeet * size) << what;
}

std::string Real(double v) {
    return dxf::FormatReal(v);
}

// A closed outline whose arc the conversion rebuilds only at a corrected
// radius: at two places its ends round to (0.99, 0.1) and (-1.07, 0.1),
// 1.04 is too short a radius for them, and 1.1 is the first that reaches.
std::string CorrectedArcOutline() {
    const double x = 1.04 * std::cos(0.1), y = 1.04 * std::sin(0.1),
                 degrees = 0.1 * 180 / std::numbers::pi;
    const double dx = -0.04;
    return Modern(Tags("0 LINE|5 50|8 0|10 " + Real(2 * x + dx) + "|20 " + Real(2 * y) + "|11 " +
                       Real(x + dx) + "|21 " + Real(y) + "|0 ARC|5 51|8 0|10 " + Real(dx) +
                       "|20 0|40 1.04|50 " + Real(degrees) + "|51 " + Real(180 - degrees) +
                       "|0 LINE|5 52|8 0|10 " + Real(-x + dx) + "|20 " + Real(y) + "|11 " +
                       Real(-2 * x + dx) + "|21 " + Real(2 * y) + "|0 LINE|5 53|8 0|10 " +
                       Real(-2 * x + dx) + "|20 " + Real(2 * y) + "|11 " + Real(2 * x + dx) +
                       "|21 " + Real(2 * y)));
}

// More circles than the command takes in one run.
std::string ManyCircles() {
    std::string circles;
    for (int i = 0; i < 3001; ++i) {
        circles += "|0 CIRCLE|8 0|10 " + std::to_string(i) + ".004|20 0|40 0.25";
    }
    return R12(Tags(circles.substr(1)));
}

// 35 closed polylines of 2,999 vertices: more elements than one run is
// given, in few figures.
std::string ManyLargePolylines() {
    std::string polylines;
    for (int p = 0; p < 35; ++p) {
        polylines += "|0 LWPOLYLINE|8 0|100 AcDbPolyline|90 2999|70 1";
        for (int v = 0; v < 2999; ++v) {
            polylines += "|10 " + std::to_string(v) + ".004|20 " + std::to_string(p * 2 + v % 2);
        }
    }
    return Modern(Tags(polylines.substr(1)));
}

struct RunCase {
    const char* name;
    std::string drawing;
    std::vector<std::string> options;  // besides the drawing, --ref 0,0 and -o
    std::vector<std::string> said;     // in what vekhost prints
    std::vector<std::size_t> kept;     // entities of the drawing written as they were
    std::function<void(const dxf::Document& out)> check;
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<std::string> kStandard = {"--set", "d_point=2", "--set", "IsExploded=0",
                                            "--set", "Color=0",   "--set", "inchmm=0"};

std::vector<std::string> With(std::vector<std::string> more) {
    std::vector<std::string> all = kStandard;
    all.insert(all.end(), more.begin(), more.end());
    return all;
}

class DxfRun : public Vekhost, public ::testing::WithParamInterface<RunCase> {};

TEST_P(DxfRun, ConvertsTheFiguresAndKeepsTheRest) {
    const RunCase& c = GetParam();
    WriteFile(folder_ / "in.dxf", c.drawing);
    std::vector<std::string> args = {"run", Path("in.dxf"), "--ref", "0,0", "-o", Path("out.dxf")};
    args.insert(args.end(), c.options.begin(), c.options.end());

    const Outcome run = RunVekhost(args);

    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const std::string& said : c.said) {
        EXPECT_TRUE(Contains(run.output, said)) << "missing: " << said << "\n" << run.output;
    }
    const std::string text = ReadFile(folder_ / "out.dxf");
    const dxf::Document in = dxf::Document::Parse(c.drawing);
    const dxf::Document out = dxf::Document::Parse(text);
    for (std::size_t k : c.kept) {
        EXPECT_TRUE(Contains(text, std::string(in.EntityText(k)))) << "entity " << k << " changed";
    }
    // New text takes the file's line ending.
    const bool crlf = c.drawing.find("\r\n") != std::string::npos;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        ASSERT_EQ(crlf, at > 0 && text[at - 1] == '\r') << "line ending at byte " << at;
    }
    c.check(out);
}

INSTANTIATE_TEST_SUITE_P(
    Drawings, DxfRun,
    ::testing::Values(
        // A fillet between two lines, the second drawn the other way: one
        // figure whose rounded corner is rebuilt between the rounded lines.
        RunCase{"FilletChainR12",
                R12(Tags("0 LINE|8 0|10 0.003|20 0|11 8.004|21 0|"
                         "0 ARC|8 0|10 8.004|20 2|40 2|50 270|51 0|"
                         "0 LINE|8 0|10 10.004|20 6.001|11 10.004|21 2|"
                         "0 TEXT|8 0|10 0|20 0|40 1|1 kept")),
                kStandard,
                {"Drawing: AC1009, 4 entities: 1 figure (0 polylines, 1 chain of 3 lines and arcs",
                 "Corners adjusted: 0 of 1", "Left as it was: 1 TEXT"},
                {3},
                [](const dxf::Document& out) {
                    ExpectLine(out, "#0", {0, 0, 0}, {8, 0, 0});
                    ExpectArc(out, "#1", {{8, 2, 0}, 2, 270, 0});
                    ExpectLine(out, "#2", {10, 6, 0}, {10, 2, 0});
                    EXPECT_FALSE(out.UsesHandles());
                }},
        // Ends 6e-8 apart join (the tolerance is relative to the entities):
        // the arc is rebuilt through its neighbours' rounded ends.
        RunCase{"JoinedChainCrlf",
                Crlf(Modern(kChain)),
                kStandard,
                {"Figures: 1 picked, 1 converted", "Arcs corrected: 0 of 1", "Gaps opened: none"},
                {},
                [](const dxf::Document& out) {
                    ExpectLine(out, "30", {0, 0, 0}, {1, 0, 0});
                    ExpectLine(out, "32", {1.75, 0.2, 0}, {3, 1, 0});
                    ExpectPoint(ArcPoint(out, "31", false), 1, 0, 0, "arc start");
                    ExpectPoint(ArcPoint(out, "31", true), 1.75, 0.2, 0, "arc end");
                }},
        // Without joining, the arc alone keeps its rounded centre and angles.
        RunCase{"NoJoin",
                Modern(kChain),
                With({"--no-join"}),
                {"Figures: 3 picked, 3 converted", "(0 polylines, 3 chains of 3 lines and arcs"},
                {},
                [](const dxf::Document& out) {
                    ExpectArc(out, "31", {{1, 1.5, 0}, 1.5, 270, 300});
                    ExpectLine(out, "32", {1.75, 0.2, 0}, {3, 1, 0});
                }},
        // A polyline stays itself: a fillet rebuilt as a bulge, a bump (a
        // clockwise arc) through its rounded ends, widths and XDATA kept.
        RunCase{"LwPolyline",
                Modern(Tags("0 LWPOLYLINE|5 50|330 1F|100 AcDbEntity|8 Walls|100 AcDbPolyline|"
                            "90 5|70 1|10 0|20 0|10 4.004|20 0|40 0.25|41 0.5|42 " +
                            kTanHalfRight +
                            "|10 6.004|20 2|10 6.004|20 6.003|42 -0.5|10 0.003|20 6.003|"
                            "1001 APP|1000 kept")),
                kStandard,
                {"Corners adjusted: 0 of 1", "Arcs corrected: 0 of 1", "(handles 50"},
                {},
                [](const dxf::Document& out) {
                    ExpectPolyline(
                        out, "50",
                        {{0, 0, 0}, {4, 0, kQuarter}, {6, 2, 0}, {6, 6, -0.5}, {0, 6, 0}}, true, 0);
                    const std::string text(out.EntityText(Find(out, "50")));
                    EXPECT_TRUE(Contains(text, " 40\n0.25\n 41\n0.5\n")) << text;
                    EXPECT_TRUE(Contains(text, "1001\nAPP\n1000\nkept\n")) << text;
                }},
        // A 2-D POLYLINE keeps its VERTEX entities; a half circle at its end.
        RunCase{"Polyline2d",
                Modern(Tags("0 POLYLINE|5 50|8 0|66 1|10 0|20 0|30 1.5|70 0|"
                            "0 VERTEX|5 51|8 0|10 0|20 0|30 1.5|"
                            "0 VERTEX|5 52|8 0|10 2.004|20 0|30 1.5|42 1|"
                            "0 VERTEX|5 53|8 0|10 4.004|20 0|30 1.5|0 SEQEND|5 54|8 0")),
                kStandard,
                {"Figures: 1 picked, 1 converted"},
                {},
                [](const dxf::Document& out) {
                    ExpectPolyline(out, "50", {{0, 0, 0}, {2, 0, 1}, {4, 0, 0}}, false, 1.5);
                    const std::string text(out.EntityText(Find(out, "50")));
                    EXPECT_TRUE(Contains(text, "  5\n52\n") && Contains(text, "  5\n54\n")) << text;
                }},
        // Extrusion (0, 0, -1): converted in world coordinates and written
        // back in the entity's own; a LINE's points are world coordinates.
        RunCase{"Mirrored",
                Modern(Tags("0 ARC|5 50|8 A|10 -1.004|20 2.004|40 1|50 0|51 90|"
                            "210 0|220 0|230 -1|"
                            "0 CIRCLE|5 51|8 A|10 -5.004|20 1.003|30 0.5|40 0.5004|"
                            "210 0|220 0|230 -1|"
                            "0 LWPOLYLINE|5 52|8 A|90 3|70 0|38 1|10 0|20 0|10 -2.004|20 0|"
                            "10 -2.004|20 1.003|210 0|220 0|230 -1|"
                            "0 LINE|5 53|8 B|10 0|20 0|11 1.006|21 0|210 0|220 0|230 -1")),
                kStandard,
                {"Figures: 4 picked, 4 converted"},
                {},
                [](const dxf::Document& out) {
                    ExpectArc(out, "50", {{1, 2, 0}, 1, 90, 180});
                    const auto circle = std::get<dxf::Circle>(ShapeAt(out, "51").geometry);
                    ExpectPoint(circle.centre, 5, 1, -0.5, "circle");
                    EXPECT_NEAR(circle.radius, 0.5, kClose);
                    ExpectPolyline(out, "52", {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}}, false, -1);
                    ExpectLine(out, "53", {0, 0, 0}, {1.01, 0, 0});
                    EXPECT_TRUE(
                        Contains(std::string(out.EntityText(Find(out, "51"))), "230\n-1\n"));
                }},
        // Four lines closing on themselves (one drawn the other way) at one
        // elevation are one closed figure; a sloping line stands alone.
        RunCase{"ClosedChainKeepsZ",
                Modern(Tags("0 LINE|5 50|8 0|10 0|20 0|30 2.5|11 2.004|21 0|31 2.5|"
                            "0 LINE|5 51|8 0|10 2.004|20 0|30 2.5|11 2.004|21 2.004|31 2.5|"
                            "0 LINE|5 52|8 0|10 0|20 2.004|30 2.5|11 2.004|21 2.004|31 2.5|"
                            "0 LINE|5 53|8 0|10 0|20 2.004|30 2.5|11 0|21 0|31 2.5|"
                            "0 LINE|5 54|8 0|10 5|20 5|30 0|11 6.004|21 5|31 1")),
                kStandard,
                {"Figures: 2 picked, 2 converted", "2 chains of 5 lines and arcs",
                 "(handles 50 51 52 53"},
                {},
                [](const dxf::Document& out) {
                    ExpectLine(out, "50", {0, 0, 2.5}, {2, 0, 2.5});
                    ExpectLine(out, "51", {2, 0, 2.5}, {2, 2, 2.5});
                    ExpectLine(out, "52", {0, 2, 2.5}, {2, 2, 2.5});
                    ExpectLine(out, "53", {0, 2, 2.5}, {0, 0, 2.5});
                    ExpectLine(out, "54", {5, 5, 0}, {6, 5, 1});
                }},
        // Exploded: a polyline's pieces take its place with new handles.
        RunCase{"ExplodedPolyline",
                Modern(Tags("0 LWPOLYLINE|5 50|330 1F|100 AcDbEntity|8 Walls|62 3|"
                            "100 AcDbPolyline|90 3|70 0|10 0|20 0|10 2.004|20 0|42 " +
                            kTanHalfRight + "|10 3.004|20 1|0 TEXT|5 51|8 0|1 kept")),
                {"--set", "d_point=2", "--set", "IsExploded=1", "--set", "Color=0", "--set",
                 "inchmm=0"},
                {"exploded pass", "Elements: 2 before, 2 after"},
                {1},
                [](const dxf::Document& out) {
                    ASSERT_EQ(out.EntityCount(), 3u);
                    // New handles lie above every handle of the file.
                    ExpectLine(out, "52", {0, 0, 0}, {2, 0, 0});
                    ExpectArc(out, "53", {{2, 1, 0}, 1, 270, 0});
                    EXPECT_EQ(out.HeaderValue("$HANDSEED"), "54");
                    const dxf::EntityInfo style = out.Info(Find(out, "52"));
                    EXPECT_EQ(style.layer, "Walls");
                    EXPECT_EQ(style.colour, 3);
                }},
        // The palette's colour (nearest ACI and the true colour) and line
        // type, its LTYPE entry added, dashed like its picture.
        RunCase{"PaletteColourR2018",
                Modern(Tags("0 LINE|5 50|8 0|62 5|10 0|20 0|11 1|21 0"), "AC1032"),
                With({"--set", "Color=1", "--set", "mColor1=MAINCOLOR06", "--set",
                      "mLType1=LINETYPE05"}),
                {"converted figures in MAINCOLOR06 and LINETYPE05"},
                {},
                [](const dxf::Document& out) {
                    const dxf::EntityInfo style = out.Info(Find(out, "50"));
                    EXPECT_EQ(style.colour, 1);
                    EXPECT_EQ(style.trueColour, 0xFF0000u);
                    EXPECT_EQ(style.lineType, "TARNEX_LINETYPE05");
                    EXPECT_TRUE(out.HasTableEntry("LTYPE", "TARNEX_LINETYPE05"));
                    EXPECT_TRUE(
                        Contains(out.Bytes(), " 73\n2\n 40\n10\n 49\n6\n 74\n0\n 49\n-4\n"));
                }},
        RunCase{"PaletteColourR12",
                R12(Tags("0 CIRCLE|8 0|10 0|20 0|40 1")),
                With({"--set", "Color=1", "--set", "mColor1=MAINCOLOR02", "--set",
                      "mLType1=LINETYPE01"}),
                {},
                {},
                [](const dxf::Document& out) {
                    const dxf::EntityInfo style = out.Info(0);
                    EXPECT_EQ(style.colour, 140);  // sky blue, no true colour before R2004
                    EXPECT_FALSE(style.trueColour);
                    EXPECT_EQ(style.lineType, "CONTINUOUS");
                }},
        // Layers compare without regard to case; the other figures stay.
        RunCase{"SelectLayer",
                Modern(Tags("0 LINE|5 50|8 Walls|10 0.004|20 0|11 1|21 0|"
                            "0 LINE|5 51|8 Doors|10 0.004|20 5|11 1|21 5|"
                            "0 CIRCLE|5 52|8 walls|10 0.004|20 9|40 1")),
                With({"--select", "layer:WALLS"}),
                {"Figures: 2 picked", "Left as it was: 1 LINE (not selected)"},
                {1},
                [](const dxf::Document& out) {
                    ExpectLine(out, "50", {0, 0, 0}, {1, 0, 0});
                }},
        // A handle picks the whole chain holding it.
        RunCase{"SelectHandle",
                Modern(kChain + Tags("0 CIRCLE|5 33|8 0|10 0.004|20 9|40 1")),
                With({"--select", "handle:31"}),
                {"Figures: 1 picked", "Left as it was: 1 CIRCLE (not selected)"},
                {3},
                [](const dxf::Document& out) {
                    ExpectLine(out, "30", {0, 0, 0}, {1, 0, 0});
                }},
        // Values on the grid are written as the grid's decimals, not as the
        // reference point plus a rounded offset adds up (0.43 + 0.04 is
        // 0.47000000000000003), and a fillet radius read with noise comes
        // out clean.
        RunCase{"CleanNumbers",
                Modern(Tags("0 LINE|5 50|8 0|10 0.123|20 0.456|11 10.337|21 5.77|"
                            "0 LINE|5 51|8 0|10 1|20 1|11 2.99|21 1|"
                            "0 ARC|5 52|8 0|10 2.99|20 1.009999999999999997|"
                            "40 0.009999999999999997|50 270|51 0|"
                            "0 LINE|5 53|8 0|10 3|20 1.01|11 3|21 2")),
                With({"--set", "d_point=3", "--ref", "0.04,0.07"}),
                {"about (0.04, 0.07)"},
                {},
                [](const dxf::Document& out) {
                    const std::string line(out.EntityText(Find(out, "50")));
                    EXPECT_TRUE(Contains(line, " 10\n0.123\n 20\n0.456\n 11\n10.337\n 21\n5.77\n"))
                        << line;
                    const std::string arc(out.EntityText(Find(out, "52")));
                    EXPECT_TRUE(Contains(arc, " 40\n0.01\n")) << arc;
                    ExpectMeet(ArcPoint(out, "52", false), {2.99, 1, 0}, "fillet start");
                }},
        // The arc's centre was found at radius 1.1 and the arc is written at
        // it: DXF derives its ends from the centre and radius, and they meet
        // the lines as the host's record says, so the outline stays closed.
        RunCase{"CorrectedArcInClosedOutline",
                CorrectedArcOutline(),
                With({"--set", "d_point=1"}),
                {"Arcs corrected: 1 of 1 (first: handles 50 51 52 53, element 2, radius 1 asked, "
                 "centre found and arc written at radius 1.1)",
                 "Gaps opened: none"},
                {},
                [](const dxf::Document& out) {
                    EXPECT_NEAR(std::get<dxf::Arc>(ShapeAt(out, "51").geometry).radius, 1.1, 0);
                    ExpectMeet(ArcPoint(out, "51", false),
                               std::get<dxf::Line>(ShapeAt(out, "50").geometry).end, "arc start");
                    ExpectMeet(ArcPoint(out, "51", true),
                               std::get<dxf::Line>(ShapeAt(out, "52").geometry).start, "arc end");
                }},
        // The same beside a rounded corner: the command first moves the
        // arc's end to the corner's sharp point, far from where it was, and
        // the arc is still known by the centre its tangent-circle call found.
        RunCase{"CorrectedArcBesideRoundedCorner",
                Modern(Tags("0 LINE|5 51|8 L|10 143513.806512|20 1004963.01684|"
                            "11 144051.392332|21 1005072.80034|"
                            "0 ARC|5 52|8 L|10 143580.008386|20 1005165.44537|40 123.565946481|"
                            "50 -14.4540261127|51 96.5299593335|"
                            "0 ARC|5 53|8 L|10 143585.403395|20 1005118.31311|40 171.00597212|"
                            "50 96.5299593335|51 245.248683758|"
                            "0 ARC|5 54|8 L|10 143877.263842|20 1005088.82429|40 183.405705207|"
                            "50 -194.454026113|51 -36.0991300806|"
                            "0 ARC|5 55|8 L|10 143914.424547|20 1005061.72711|40 137.414666967|"
                            "50 -36.0991300806|51 4.62205639069")),
                With({"--set", "d_point=0"}),
                {"Arcs corrected: 1 of 3 (first: handles 51 55 54 52 53, element 3, radius 183 "
                 "asked, centre found and arc written at radius 184)",
                 "Gaps opened: none"},
                {},
                [](const dxf::Document& out) {
                    EXPECT_NEAR(std::get<dxf::Arc>(ShapeAt(out, "54").geometry).radius, 184, 0);
                    ExpectMeet(ArcPoint(out, "54", false), ArcPoint(out, "52", false),
                               "arc start and corner start");
                    ExpectMeet(ArcPoint(out, "54", true), ArcPoint(out, "55", false),
                               "arc end and the next arc's start");
                }},
        // A vertex may carry a z (Inkscape writes one): converted, kept.
        RunCase{"LwPolylineVertexZ",
                Modern(Tags("0 LWPOLYLINE|5 50|8 0|100 AcDbPolyline|90 3|70 0|10 0.004|20 0|30 0|"
                            "10 2.004|20 0|30 0|10 2.004|20 1.003|30 0")),
                kStandard,
                {"Figures: 1 picked, 1 converted", "Left as it was: 1 block definition"},
                {},
                [](const dxf::Document& out) {
                    ExpectPolyline(out, "50", {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}}, false, 0);
                    EXPECT_TRUE(
                        Contains(std::string(out.EntityText(0)), " 10\n2\n 20\n1\n 30\n0\n"));
                }},
        // The command takes 3,000 figures a run: more are converted in runs.
        RunCase{"MoreFiguresThanOneRunTakes",
                ManyCircles(),
                kStandard,
                {"Figures: 3001 picked, 3001 converted, 0 left untouched; 2 runs of the command",
                 "The host said at the end of each of 2 runs, first: 총 3000개의 형상을 "
                 "수정하였습니다. [3000 figures were changed]; 3001 figures in all"},
                {},
                [](const dxf::Document& out) {
                    const auto last = std::get<dxf::Circle>(dxf::ShapeOf(out, 3000).geometry);
                    ExpectPoint(last.centre, 3000, 0, 0, "last circle");
                }},
        // A run's memory grows with its elements: figures of many elements
        // are given to runs by elements as well as by figures.
        RunCase{"MoreElementsThanOneRunTakes",
                ManyLargePolylines(),
                kStandard,
                {"Figures: 35 picked, 35 converted, 0 left untouched; 2 runs of the command",
                 "Elements: 104965 before, 104965 after"},
                {},
                [](const dxf::Document& out) {
                    const auto last = std::get<dxf::Polyline>(dxf::ShapeOf(out, 34).geometry);
                    ASSERT_EQ(last.vertices.size(), 2999u);
                    EXPECT_EQ(last.vertices[2998].x, 2998);
                    EXPECT_EQ(last.vertices[2998].y, 68);
                }},
        // The chain's fillet fits no radius near its rounded one on a grid of
        // 1: with --keep-going it is left as it was and the circle converted.
        RunCase{"KeepGoing",
                R12(Tags("0 LINE|5 30|8 0|10 0|20 0|11 0.3|21 0|"
                         "0 ARC|5 31|8 0|10 0.3|20 0.3|40 0.3|50 270|51 0|"
                         "0 LINE|5 32|8 0|10 0.6|20 0.3|11 0.6|21 2|"
                         "0 CIRCLE|5 33|8 0|10 5.3|20 5.2|40 1.4")),
                {"--set", "d_point=0", "--set", "IsExploded=0", "--set", "Color=0", "--set",
                 "inchmm=0", "--keep-going"},
                {"Figures: 2 picked, 1 converted, 1 left untouched (1 refused); 2 runs",
                 "Refused, left as it was: handles 30 31 32, line "},
                {0, 1, 2},
                [](const dxf::Document& out) {
                    const auto circle = std::get<dxf::Circle>(dxf::ShapeOf(out, 3).geometry);
                    ExpectPoint(circle.centre, 5, 5, 0, "circle");
                    EXPECT_EQ(circle.radius, 1);
                }},
        RunCase{"NothingToConvert",
                Modern(Tags("0 TEXT|5 50|8 0|10 0|20 0|40 1|1 only text")),
                kStandard,
                {"Figures: 0 picked", "Left as it was: 1 TEXT, 1 block definition"},
                {0},
                [](const dxf::Document& out) {
                    EXPECT_EQ(out.Bytes(),
                              Modern(Tags("0 TEXT|5 50|8 0|10 0|20 0|40 1|1 only text")));
                }}),
    [](const ::testing::TestParamInfo<RunCase>& p) { return std::string(p.param.name); });

struct Refused {
    const char* name;
    std::string drawing;
    std::vector<std::string> options;
    int exitCode;
    const char* message;
};

void PrintTo(const Refused& c, std::ostream* os) {
    *os << c.name;
}

class DxfRefused : public Vekhost, public ::testing::WithParamInterface<Refused> {};

TEST_P(DxfRefused, WritesNothing) {
    const Refused& c = GetParam();
    WriteFile(folder_ / "in.dxf", c.drawing);
    WriteFile(folder_ / "out.dxf", "previous contents");
    std::vector<std::string> args = {"run", Path("in.dxf"), "--ref", "0,0", "-o", Path("out.dxf")};
    args.insert(args.end(), c.options.begin(), c.options.end());

    const Outcome run = RunVekhost(args);

    EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
    EXPECT_TRUE(Contains(run.output, c.message)) << run.output;
    EXPECT_EQ(ReadFile(folder_ / "out.dxf"), "previous contents");
}

const std::string kLine = Tags("0 LINE|5 30|8 0|10 0|20 0|11 1|21 0|0 TEXT|5 31|8 0|1 x");

INSTANTIATE_TEST_SUITE_P(
    BadInput, DxfRefused,
    ::testing::Values(
        Refused{"Binary", "AutoCAD Binary DXF\r\n\x1a", {}, 1, "line 1: binary DXF"},
        Refused{"OddLines",
                Tags("0 SECTION|2 ENTITIES|0 ENDSEC") + "999\n",
                {},
                1,
                "line 7: group code 999 has no value line (odd number of lines)"},
        Refused{"NotANumber",
                R12(Tags("0 LINE|8 0|10 1,5")),
                {},
                1,
                "line 52: value '1,5' of group code 10 is not a number"},
        Refused{"SectionNeverEnds",
                Tags("0 SECTION|2 ENTITIES|0 LINE|8 0|0 EOF"),
                {},
                1,
                "section ENTITIES has no ENDSEC"},
        Refused{"NoEof", Tags("0 SECTION|2 ENTITIES|0 ENDSEC"), {}, 1, "no EOF"},
        Refused{"HandleTwice",
                Modern(Tags("0 LINE|5 30|8 0|0 TEXT|5 30|8 0")),
                {},
                1,
                "handle 30 given twice"},
        Refused{"UnknownHandle",
                Modern(kLine),
                {"--select", "handle:99"},
                1,
                "has no entity with handle 99"},
        Refused{
            "HandleOfText", Modern(kLine), {"--select", "handle:31"}, 1, "entity 31 (TEXT, line"},
        Refused{"UnknownLayer",
                Modern(kLine),
                {"--select", "layer:Nope"},
                1,
                "has no layer 'Nope' (its layers: 0)"},
        // The name as typed, and the layers as they read.
        Refused{"UnknownLayerInCodePage",
                InCodePage(Modern(Tags("0 LINE|5 30|8 " + Raw("trac{E9}") +
                                       "|10 0|20 0|11 1|21 0|0 LINE|5 31|8 " + Raw("TRAC{C9}") +
                                       "|10 0|20 0|11 1|21 0")),
                           "ANSI_1252"),
                {"--select", "layer:trace"},
                1,
                "has no layer 'trace' (its layers: tracé, 0)"},
        Refused{"BadSelection", Modern(kLine), {"--select", "3"}, 2, "--select wants 'all'"},
        Refused{
            "BadTolerance", Modern(kLine), {"--join-tolerance", "-1"}, 2, "--join-tolerance wants"},
        // No circle through the arc's ends, which round to one point.
        Refused{"CommandError",
                R12(Tags("0 LINE|5 30|8 0|10 23.75|20 0|11 23.75|21 10|"
                         "0 ARC|5 31|8 0|10 22.5|20 10|40 1.25|50 0|51 240")),
                {"--set", "d_point=1", "--set", "inchmm=2", "--set", "IsExploded=0"},
                1,
                "the command reported an error (원호를 보정할 수 없습니다(반복문) [no radius near "
                "the rounded one fits: an arc through its rounded ends, or a rounded corner "
                "between its neighbours], at handles 30 31, line "}),
    [](const ::testing::TestParamInfo<Refused>& p) { return std::string(p.param.name); });

// The report and the picture name a DXF drawing's figures by their handles
// (by their lines in a file without handles) and its layers.
TEST_F(Vekhost, DxfReportNamesFiguresByHandle) {
    for (const bool handles : {true, false}) {
        const std::string entities = kChain + Tags("0 CIRCLE|5 33|8 0|10 0.004|20 9|40 1");
        WriteFile(folder_ / "in.dxf",
                  handles ? Modern(entities) : R12(Tags("0 CIRCLE|8 Walls|10 0|20 0|40 1")));
        const Outcome run =
            RunVekhost({"run", Path("in.dxf"), "--ref", "0,0", "-o", Path("out.dxf"), "--report",
                        Path("report.json"), "--svg", Path("run.svg")});
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const auto report = nlohmann::json::parse(ReadFile(folder_ / "report.json"));
        const auto& first = report.at("figures").at(0);
        EXPECT_EQ(first.at("layer"), "Walls");
        if (handles) {
            EXPECT_EQ(first.at("source"),
                      (nlohmann::json{{"handles", {"30", "31", "32"}}, {"line", 169}}));
            EXPECT_EQ(report.at("figures").at(1).at("source"),
                      (nlohmann::json{{"handles", {"33"}}, {"line", 213}}));
        } else {
            EXPECT_EQ(first.at("source"), (nlohmann::json{{"lines", {"47"}}, {"line", 47}}));
        }
        EXPECT_TRUE(Contains(ReadFile(folder_ / "run.svg"), "Walls"));
    }
}

// A closed square on a layer (its 8 value as the file holds it).
std::string Square(const std::string& handle, const std::string& layer, double at) {
    const std::string x0 = std::to_string(at);
    const std::string x1 = std::to_string(at + 1.004);
    return Tags("0 LWPOLYLINE|5 " + handle + "|8 " + layer + "|90 4|70 1|10 " + x0 + "|20 0|10 " +
                x1 + "|20 0|10 " + x1 + "|20 1|10 " + x0 + "|20 1");
}

struct NameCase {
    const char* name;
    std::string drawing;
    std::string select;               // the --select value, as a terminal gives it
    std::vector<std::string> layers;  // of the figures picked, as shown, in file order
    std::string said;                 // in what vekhost prints
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class DxfNames : public Vekhost, public ::testing::WithParamInterface<NameCase> {};

// Names are read in the drawing's code page and escapes: selected as typed,
// shown in the listing, the report and the picture as UTF-8, and written
// back as the file's own bytes.
TEST_P(DxfNames, AreSelectedShownAndKept) {
    const NameCase& c = GetParam();
    WriteFile(folder_ / "in.dxf", c.drawing);
    std::vector<std::string> args = {"run",   Path("in.dxf"),      "--ref",    "0,0",
                                     "-o",    Path("out.dxf"),     "--report", Path("report.json"),
                                     "--svg", Path("picture.svg"), "--list",   "--select",
                                     c.select};
    args.insert(args.end(), kStandard.begin(), kStandard.end());

    const Outcome run = RunVekhost(args);

    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "Figures: " + std::to_string(c.layers.size()) + " picked"))
        << run.output;
    EXPECT_TRUE(Contains(run.output, c.said)) << run.output;
    const auto report = nlohmann::json::parse(ReadFile(folder_ / "report.json"));
    ASSERT_EQ(report.at("figures").size(), c.layers.size());
    const std::string svg = ReadFile(folder_ / "picture.svg");
    for (std::size_t k = 0; k < c.layers.size(); ++k) {
        EXPECT_EQ(report.at("figures").at(k).at("layer"), c.layers[k]);
    }
    // The host's layer is named as the name is first written.
    EXPECT_TRUE(Contains(run.output, "on layer \"" + c.layers.front() + "\"")) << run.output;
    EXPECT_TRUE(Contains(svg, "inkscape:label=\"" + c.layers.front() + "\"")) << svg;
    // Every entity keeps its layer's bytes, converted or not.
    const dxf::Document in = dxf::Document::Parse(c.drawing);
    const dxf::Document out = dxf::Document::Parse(ReadFile(folder_ / "out.dxf"));
    ASSERT_EQ(out.EntityCount(), in.EntityCount());
    for (std::size_t i = 0; i < in.EntityCount(); ++i) {
        EXPECT_EQ(out.Info(i).layer, in.Info(i).layer) << "entity " << i;
    }
}

const std::string kTrace = Square("50", Raw("trac{E9}"), 0) + Square("51", "Autre", 3) +
                           Tags("0 CIRCLE|5 52|8 " + Raw("TRAC{C9}") + "|10 0.004|20 9|40 1");

std::vector<NameCase> NameCases() {
    std::vector<NameCase> cases = {
        {"Ansi1252",
         InCodePage(Modern(kTrace), "ANSI_1252"),
         "layer:tracé",
         {"tracé", "TRACÉ"},
         "Left as it was: 1 LWPOLYLINE (not selected)"},
        // An R12 drawing in Greek: a name in the code page and as escapes is
        // one layer, and its lines chain.
        {"EscapesR12",
         InCodePage(R12(Tags("0 LINE|8 " + Raw("{CB}{C1}") +
                             "|10 0|20 0|11 1.004|21 0|0 LINE|8 \\U+039B\\U+0391|"
                             "10 1.004|20 0|11 1.004|21 1|0 CIRCLE|8 0|10 5|20 5|40 1")),
                    "ANSI_1253"),
         "layer:λα",
         {"ΛΑ"},
         "1 chain of 2 lines and arcs"},
        {"EscapesOnlyR12",
         R12(Tags("0 CIRCLE|8 \\U+039B\\U+0391|10 0|20 0|40 1.004")),
         "layer:ΛΑ",
         {"ΛΑ"},
         "Figures: 1 picked, 1 converted"},
        // 表 ends in the byte of a backslash.
        {"Ansi932",
         InCodePage(Modern(Square("50", Raw("{94}{F1}{95}{5C}{8E}{A6}{89}{E6}{91}w"), 0) +
                           Square("51", "0", 3)),
                    "ANSI_932"),
         "layer:非表示画層",
         {"非表示画層"},
         "Left as it was: 1 LWPOLYLINE (not selected)"},
        {"Utf8R2018",
         Modern(Square("50", "Tracé", 0) + Square("51", "TRAC\\U+00C9", 3), "AC1032"),
         "layer:TRACÉ",
         {"Tracé", "TRACÉ"},
         "Figures: 2 picked, 2 converted"}};
#ifndef _WIN32
    // The file's bytes as a shell passes them ($'layer:trac\xe9').
    cases.push_back({"FileBytes",
                     InCodePage(Modern(kTrace), "ANSI_1252"),
                     Raw("layer:trac{E9}"),
                     {"tracé", "TRACÉ"},
                     "Left as it was: 1 LWPOLYLINE (not selected)"});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(CodePages, DxfNames, ::testing::ValuesIn(NameCases()),
                         [](const ::testing::TestParamInfo<NameCase>& p) {
                             return std::string(p.param.name);
                         });

TEST_F(Vekhost, DxfAndJsonAreNotMixed) {
    vekhost::Reset();
    vekhost::AddSegment({vekhost::Line(0, 0, 1, 1)});
    const std::string json = SaveDrawing("in.json");
    WriteFile(folder_ / "in.dxf", Modern(kLine));
    for (const auto& [args, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"run", Path("in.dxf"), "--ref", "0,0", "-o", Path("out.json")}, "-o wants a name"},
             {{"run", json, "--ref", "0,0", "-o", Path("out.DXF")},
              "a JSON drawing is written as JSON"},
             {{"run", json, "--ref", "0,0", "--no-join", "-o", Path("out.json")},
              "are for DXF drawings"}}) {
        const Outcome run = RunVekhost(args);
        EXPECT_EQ(run.exitCode, 2) << run.output;
        EXPECT_TRUE(Contains(run.output, message)) << run.output;
    }
}

}  // namespace
