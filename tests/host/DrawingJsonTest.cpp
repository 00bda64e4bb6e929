// The readable drawing file: exact round trips and clear refusals.
#include "tests/host/HostFixture.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

using vekhost::Arc;
using vekhost::Line;

namespace {

// Every kind of element, with values that do not print short.
void BuildAwkwardDrawing() {
    VekId layer = vekhost::AddLayer("도면 1");
    FigureRecord lengths{};
    lengths.kind = VEK_POINT_LENGTHS;
    lengths.p1[0] = 1.0 / 3;
    lengths.p1[1] = -2.0 / 3;
    lengths.p2[0] = 1e-300;
    lengths.p2[1] = 123456789.12345679;
    FigureRecord two{};
    two.kind = VEK_TWO_POINTS;
    two.p2[0] = 0.1;
    two.p2[1] = 0.2;
    two.p3[0] = 0.30000000000000004;
    two.p3[1] = -0.0;
    FigureRecord raw{};
    raw.kind = VEK_UNCHANGED;
    raw.p1[0] = 5e-324;
    raw.p3[1] = 1.7976931348623157e308;
    raw.size = 2.5;
    raw.direction = 4000000000u;
    FigureRecord round{};
    round.kind = VEK_ROUND_CORNER;
    round.p1[0] = 8;
    round.p1[1] = 2;
    round.p2[0] = 8;
    round.p3[0] = 10;
    round.p3[1] = 2;
    round.size = 2;
    round.direction = 1;
    FigureRecord chamfer{};
    chamfer.kind = VEK_CHAMFER;
    chamfer.p1[0] = 10;
    chamfer.p2[0] = 9.5;
    chamfer.p3[0] = 10;
    chamfer.p3[1] = 0.5;
    chamfer.size = 0.5;
    vekhost::AddSegment({Line(0.1, 0.7, std::nextafter(1.0, 2.0), 3.141592653589793),
                         Arc(0, 0, 1, 0, 0, 1, true), vekhost::Circle(2.5, -1e-7, 1.0 / 7)},
                        true, layer, vekhost::MakeLineType(12, 3));
    vekhost::AddSegment({lengths, two, raw, vekhost::PointRecord(-1e15, 1e-15)});
    VekId corners = vekhost::AddSegment({round, chamfer}, false, 0, vekhost::MakeLineType(-1, 0));
    LineTypeRecord reserved{1, 2, {3, 4}};
    VekFigSetLineType(vekhost::GetSegment(corners)->elements[0].id, &reserved);
    vekhost::AddSegment({});  // an empty figure
}

struct Snapshot {
    std::vector<vekhost::Segment> segments;
    std::vector<std::string> layers;
};

Snapshot Take() {
    Snapshot s;
    for (VekId id : vekhost::Segments()) {
        s.segments.push_back(*vekhost::GetSegment(id));
        s.layers.push_back(vekhost::LayerName(s.segments.back().layer));
    }
    return s;
}

void ExpectSame(const Snapshot& a, const Snapshot& b) {
    ASSERT_EQ(a.segments.size(), b.segments.size());
    EXPECT_EQ(a.layers, b.layers);
    for (size_t i = 0; i < a.segments.size(); ++i) {
        const auto& x = a.segments[i];
        const auto& y = b.segments[i];
        EXPECT_EQ(x.id, y.id);
        EXPECT_EQ(x.closed, y.closed);
        ASSERT_EQ(x.elements.size(), y.elements.size());
        for (size_t k = 0; k < x.elements.size(); ++k) {
            EXPECT_EQ(x.elements[k].id, y.elements[k].id);
            EXPECT_EQ(x.elements[k].type, y.elements[k].type);
            EXPECT_TRUE(SameRecord(x.elements[k].figure, y.elements[k].figure))
                << "segment " << i << " element " << k;
            EXPECT_EQ(std::memcmp(&x.elements[k].lineType, &y.elements[k].lineType,
                                  sizeof(LineTypeRecord)),
                      0);
        }
    }
}

}  // namespace

class DrawingJsonTest : public HostTest {};

TEST_F(DrawingJsonTest, RoundTripIsExact) {
    BuildAwkwardDrawing();
    const Snapshot before = Take();
    const std::string text = vekhost::ToJson();
    vekhost::Reset();
    vekhost::FromJson(text);
    ExpectSame(before, Take());
    EXPECT_EQ(vekhost::ToJson(), text);
}

TEST_F(DrawingJsonTest, SaveAndLoadThroughAFile) {
    BuildAwkwardDrawing();
    const Snapshot before = Take();
    const std::string path = ::testing::TempDir() + "veklib_drawing_test.json";
    vekhost::Save(path);
    vekhost::Reset();
    vekhost::Load(path);
    ExpectSame(before, Take());
    std::remove(path.c_str());
    EXPECT_THROW(vekhost::Load(path), std::runtime_error);
}

TEST_F(DrawingJsonTest, HandWrittenFileWithoutIdentifiers) {
    vekhost::FromJson(R"({
      "segments": [
        {"layer": "walls", "closed": true, "elements": [
          {"type": "line", "start": [0, 0], "end": [10, 0], "lineType": {"color": 2, "code": 1}},
          {"type": "arc", "centre": [10, 5], "start": [10, 0], "end": [10, 10]},
          {"type": "line", "start": [10, 10], "end": [0, 0]}]},
        {"elements": [{"type": "point", "point": [1.5, 2.5]}]}
      ]})");
    auto segs = vekhost::Segments();
    ASSERT_EQ(segs.size(), 2u);
    auto a = *vekhost::GetSegment(segs[0]);
    EXPECT_EQ(vekhost::LayerName(a.layer), "walls");
    EXPECT_TRUE(a.closed);
    ASSERT_EQ(a.elements.size(), 3u);
    EXPECT_EQ(a.elements[0].lineType.colorIndex, 2);
    EXPECT_EQ(a.elements[1].type, VEK_ARC);
    EXPECT_DOUBLE_EQ(a.elements[1].figure.size, 5.0);  // radius from centre and start
    EXPECT_EQ(a.elements[1].figure.direction, 0u);
    EXPECT_EQ(vekhost::LayerName(vekhost::GetSegment(segs[1])->layer), "0");
    // New identifiers come after those the file handed out.
    VekId next = VekSgmCreateSegment(0, 0);
    for (const auto& e : a.elements) EXPECT_GT(next, e.id);
}

TEST_F(DrawingJsonTest, IdentifiersFromTheFileAreKept) {
    vekhost::FromJson(R"({"segments": [
        {"id": 40, "elements": [{"id": 41, "type": "line", "start": [0, 0], "end": [1, 0]}]}]})");
    EXPECT_EQ(vekhost::Segments(), std::vector<VekId>{40});
    EXPECT_EQ(VekElmGetType(41), VEK_LINE);
    EXPECT_GT(VekSgmCreateSegment(0, 0), 41);
}

class BadDrawingTest : public DrawingJsonTest,
                       public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(BadDrawingTest, RefusedWithAClearMessageAndDrawingUnchanged) {
    BuildAwkwardDrawing();
    VekId selected = vekhost::Segments()[0];
    vekhost::Select({selected});
    const std::string before = vekhost::ToJson();
    try {
        vekhost::FromJson(GetParam().first);
        FAIL() << "accepted: " << GetParam().first;
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().second), std::string::npos) << e.what();
    }
    EXPECT_EQ(vekhost::ToJson(), before);
    // The selection still refers to the drawing as it was.
    int32_t h = VekIddOpenSelIdData(1, 0, 0, 0);
    SelEntry entry{};
    EXPECT_EQ(VekIddGetHeadSelIdData(h, &entry), 0);
    EXPECT_EQ(entry.segment, static_cast<uint32_t>(selected));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadDrawingTest,
    ::testing::Values(
        std::make_pair("{\"segments\": [", "not valid JSON"), std::make_pair("", "not valid JSON"),
        std::make_pair("[]", "must be an object"), std::make_pair("{}", "missing \"segments\""),
        std::make_pair(R"({"segments": [{"elements": [{"type": "line", "start": [0, 0]}]}]})",
                       "segments[0].elements[0]: missing \"end\""),
        std::make_pair(R"({"segments": [{"elements": [{"type": "spline"}]}]})",
                       "unknown type \"spline\""),
        std::make_pair(R"({"segments": [{"elements": [{"type": "point", "point": [1, "2"]}]}]})",
                       "\"point\" must be an array of two numbers"),
        std::make_pair(
            R"({"segments": [{"elements": [{"type": "point", "point": [1, 2], "colour": 3}]}]})",
            "unknown field \"colour\""),
        std::make_pair(R"({"segments": [{"id": 5}, {"id": 5}]})", "used twice"),
        std::make_pair(R"({"segments": [{"id": 0}]})", "\"id\" must be from 1"),
        std::make_pair(R"({"segments": [{"id": 99999999999}]})", "\"id\" must be from 1"),
        std::make_pair(R"({"segments": [{"closed": 1}]})", "\"closed\" must be true or false"),
        std::make_pair(
            R"({"segments": [{"elements": [{"type": "circle", "centre": [0, 0], "radius": -1}]}]})",
            "must not be negative"),
        std::make_pair(R"({"layers": ["a", "a"], "segments": []})", "repeats the name"),
        std::make_pair(R"({"format": "other", "segments": []})", "\"format\"")));

TEST_F(DrawingJsonTest, EmptyDrawingLoadsAndClearsTheOldOne) {
    BuildAwkwardDrawing();
    vekhost::FromJson(R"({"segments": []})");
    EXPECT_EQ(vekhost::SegmentCount(), 0u);
    EXPECT_EQ(vekhost::LayerName(0), "0");
}
