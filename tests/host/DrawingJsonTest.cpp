// The readable drawing file: exact round trips and clear refusals.
#include "tests/host/HostFixture.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cstdio>
#include <deque>
#include <fstream>
#include <random>
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
    vekhost::AddLayer("quote \" backslash \\ tab \t end");
}

// Texts made once and kept for the length of the run, so that the tables of
// cases can point into them.
const char* Kept(std::string text) {
    static std::deque<std::string> kept;
    kept.push_back(std::move(text));
    return kept.back().c_str();
}

std::string Nested(int depth, const char* inner = "") {
    return std::string(size_t(depth), '[') + inner + std::string(size_t(depth), ']');
}

// A file of one point element with `extra` added to the element.
const char* PointWith(const std::string& extra) {
    return Kept(R"({"segments": [{"elements": [{"type": "point", "point": [1, 2])" + extra +
                "}]}]})");
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
    for (const auto& e : a.elements) {
        EXPECT_GT(next, e.id);
    }
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
        std::make_pair(R"({"format": "other", "segments": []})", "\"format\""),
        // Nesting deeper than a drawing has, where any value may stand and
        // where only a number or a pair may.
        std::make_pair(PointWith(", \"extra\": " + Nested(5000)), "nested deeper than a drawing"),
        std::make_pair(PointWith(", \"id\": " + Nested(5000)), "nested deeper than a drawing"),
        std::make_pair(Kept(R"({"segments": [{"elements": [{"type": "point", "point": [1, )" +
                            Nested(9000, "{\"a\": 1}") + "]}]}]}"),
                       "nested deeper than a drawing"),
        std::make_pair(PointWith(", \"lineType\": {\"color\": 1, \"code\": 2, \"reserved\": " +
                                 Nested(3) + "}"),
                       "lineType: nested deeper than a drawing"),
        std::make_pair(Kept(Nested(10000)), "top level: must be an object"),
        std::make_pair(Kept("{\"segments\": " + Nested(5000) + "}"),
                       "segments[0]: must be an object"),
        std::make_pair(PointWith(", \"x\": " + std::string(3000, '{') + std::string(3000, '}')),
                       "not valid JSON"),
        // Places given by line and column, repeated fields, numbers.
        std::make_pair("{\n  \"segments\": [\n    {\"closed\": 1}]}",
                       "line 3, column 16: segments[0]: \"closed\" must be true or false"),
        std::make_pair(R"({"segments": [], "segments": []})", "\"segments\" is given twice"),
        std::make_pair(PointWith(", \"point\": [3, 4]"), "\"point\" is given twice"),
        std::make_pair(R"({"segments": [{"elements": [{"type": "point", "point": [1e400, 2]}]}]})",
                       "\"point\" must be finite"),
        std::make_pair(PointWith(", \"id\": 1.0"), "\"id\" must be an integer"),
        std::make_pair(PointWith(", \"id\": 18446744073709551616"), "\"id\" must be from 1"),
        std::make_pair(R"({"segments": [{"elements": [{"type": "point", "point": [01, 2]}]}]})",
                       "not valid JSON"),
        std::make_pair(R"({"segments": []} [])", "not valid JSON"),
        std::make_pair("{\"segments\": [], \"layers\": [\"\xC0\x80\"]}", "not valid JSON")));

// Awkward numbers and texts, each in a small file: this reader and another
// one, nlohmann-json, take the same ones, read the same values (doubles bit
// for bit, texts byte for byte), and what this one calls not valid JSON the
// other refuses too.
TEST_F(DrawingJsonTest, TokensAgreeWithAnotherReader) {
    const std::vector<std::string> numbers = {"0",
                                              "-0",
                                              "01",
                                              "-01",
                                              "00",
                                              "1.",
                                              ".5",
                                              "-",
                                              "+1",
                                              "1e",
                                              "1e+",
                                              "1E+5",
                                              "-1.5e-3",
                                              "0x10",
                                              "-0.0",
                                              "0.e1",
                                              "2.5E-0",
                                              "1e400",
                                              "-1e-400",
                                              "5e-324",
                                              "2e-324",
                                              "NaN",
                                              "Infinity",
                                              "1.7976931348623157e308",
                                              "9007199254740993",
                                              "123456789012345678901234567890",
                                              "1 2",
                                              "\xef\xbc\x91"};
    const std::vector<std::string> texts = {"plain",
                                            "\x01",
                                            "\x1f",
                                            "\x7f",
                                            "\\n",
                                            "\\/",
                                            "\\u0041",
                                            "\\u00e9",
                                            "\\ud83d\\ude00",
                                            "\\ud83d",
                                            "\\ude00",
                                            "\\ud83dx",
                                            "\\u12",
                                            "\\u12G4",
                                            "\\x41",
                                            "\\",
                                            "\xc3\xa9",
                                            "\xc3",
                                            "\xc3\x28",
                                            "\xe0\x80\x80",
                                            "\xed\xa0\x80",
                                            "\xf4\x90\x80\x80",
                                            "\xf0\x9f\x98\x80",
                                            "\xc0\xaf",
                                            "\xef\xbb\xbf",
                                            "a\"b",
                                            "\\u0000"};
    auto file = [](const std::string& text, const std::string& number) {
        return R"({"layers": [")" + text +
               R"("], "segments": [{"elements": [{"type": "point", "point": [)" + number +
               ", 0]}]}]}";
    };
    std::vector<std::string> files;
    for (const std::string& n : numbers) {
        files.push_back(file("a", n));
    }
    for (const std::string& t : texts) {
        files.push_back(file(t, "1"));
    }
    for (const std::string& text : files) {
        SCOPED_TRACE(text);
        std::string refusal;
        try {
            vekhost::FromJson(text);
        } catch (const std::runtime_error& e) {
            refusal = e.what();
        }
        const bool valid = nlohmann::json::accept(text);
        if (!refusal.empty()) {
            // Numbers out of range and the like are refused for what they mean.
            EXPECT_TRUE(refusal.find("not valid JSON") == std::string::npos || !valid) << refusal;
            continue;
        }
        ASSERT_TRUE(valid);
        const auto other = nlohmann::json::parse(text);
        EXPECT_EQ(vekhost::LayerName(1), other["layers"][0].get<std::string>());
        const double mine = vekhost::GetSegment(vekhost::Segments()[0])->elements[0].figure.p1[0];
        const auto& number = other["segments"][0]["elements"][0]["point"][0];
        const double theirs = number.get<double>();
        if (number.is_number_float()) {
            EXPECT_EQ(std::memcmp(&mine, &theirs, sizeof mine), 0) << mine << " " << theirs;
        } else {
            EXPECT_EQ(mine, theirs);  // integers: "-0" is the integer 0 there
        }
    }
}

// Another reader, nlohmann-json, finds in the written file every value of
// the drawing, bit for bit.
TEST_F(DrawingJsonTest, WrittenFileReadsTheSameWithAnotherReader) {
    BuildAwkwardDrawing();
    const auto file = nlohmann::ordered_json::parse(vekhost::ToJson());
    std::vector<std::string> layers;
    for (VekId id = 0; !vekhost::LayerName(id).empty(); ++id) {
        layers.push_back(vekhost::LayerName(id));
    }
    EXPECT_EQ(file.at("layers").get<std::vector<std::string>>(), layers);
    auto same = [](const nlohmann::ordered_json& value, double expected) {
        const double got = value.get<double>();
        return std::memcmp(&got, &expected, sizeof got) == 0;
    };
    auto samePoint = [&](const nlohmann::ordered_json& value, const double* p) {
        return same(value.at(0), p[0]) && same(value.at(1), p[1]);
    };
    const std::vector<VekId> ids = vekhost::Segments();
    ASSERT_EQ(file.at("segments").size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        const vekhost::Segment segment = *vekhost::GetSegment(ids[i]);
        const auto& js = file.at("segments").at(i);
        EXPECT_EQ(js.at("id").get<VekId>(), segment.id);
        EXPECT_EQ(js.at("layer").get<std::string>(), vekhost::LayerName(segment.layer));
        EXPECT_EQ(js.at("closed").get<bool>(), segment.closed);
        ASSERT_EQ(js.at("elements").size(), segment.elements.size());
        for (size_t k = 0; k < segment.elements.size(); ++k) {
            const vekhost::Element& e = segment.elements[k];
            const FigureRecord& f = e.figure;
            const auto& je = js.at("elements").at(k);
            SCOPED_TRACE(je.dump());
            EXPECT_EQ(je.at("id").get<VekId>(), e.id);
            EXPECT_EQ(je.at("lineType").at("color").get<int32_t>(), e.lineType.colorIndex);
            EXPECT_EQ(je.at("lineType").at("code").get<int32_t>(), e.lineType.lineTypeCode);
            switch (e.type) {
                case VEK_LINE:
                    EXPECT_TRUE(samePoint(je.at("start"), f.p1) && samePoint(je.at("end"), f.p2));
                    break;
                case VEK_CIRCLE:
                    EXPECT_TRUE(samePoint(je.at("centre"), f.p1) && same(je.at("radius"), f.p2[0]));
                    break;
                case VEK_ARC:
                case VEK_ROUND_CORNER:
                    EXPECT_TRUE(samePoint(je.at("centre"), f.p1) &&
                                samePoint(je.at("start"), f.p2) && samePoint(je.at("end"), f.p3) &&
                                same(je.at("radius"), f.size));
                    EXPECT_EQ(je.at("clockwise").get<bool>(), f.direction == 1);
                    break;
                case VEK_POINT_LENGTHS:
                    EXPECT_TRUE(samePoint(je.at("point"), f.p1) &&
                                samePoint(je.at("lengths"), f.p2));
                    break;
                case VEK_TWO_POINTS:
                    EXPECT_TRUE(samePoint(je.at("first"), f.p2) &&
                                samePoint(je.at("second"), f.p3));
                    break;
                case VEK_CHAMFER:
                    EXPECT_TRUE(samePoint(je.at("corner"), f.p1) &&
                                samePoint(je.at("start"), f.p2) && samePoint(je.at("end"), f.p3) &&
                                same(je.at("setback"), f.size));
                    break;
                case VEK_POINT:
                    EXPECT_TRUE(samePoint(je.at("point"), f.p1));
                    break;
                default:
                    EXPECT_TRUE(samePoint(je.at("p1"), f.p1) && samePoint(je.at("p2"), f.p2) &&
                                samePoint(je.at("p3"), f.p3) && same(je.at("size"), f.size));
                    EXPECT_EQ(je.at("direction").get<uint32_t>(), f.direction);
                    break;
            }
        }
    }
}

// Every number is written as std::to_chars writes it (the shortest text that
// reads back), whether it has a few decimals or none, full precision, or is
// printed with an exponent: seeded random values of each sort.
TEST_F(DrawingJsonTest, NumbersAreWrittenInTheirShortestForm) {
    const uint32_t seed = 7;
    std::mt19937_64 random(seed);
    std::vector<double> values = {1e5, 1e4, 1.2e5, 1e-4, 1e-3, 1.23e-4, 3e6, 0.5, 1e7, 1e-8, 1e15};
    for (int i = 0; i < 3000; ++i) {
        const double scale = std::pow(10.0, double(random() % 12));
        const auto whole = double(int64_t(random() % 2000000000) - 1000000000);
        values.push_back(whole / scale);
        values.push_back(std::ldexp(double(random() >> 11), int(random() % 80) - 60));
    }
    std::vector<FigureRecord> points;
    for (double v : values) {
        points.push_back(vekhost::PointRecord(v, -v));
    }
    vekhost::AddSegment(points);
    const std::string text = vekhost::ToJson();
    size_t at = 0;
    for (double v : values) {
        for (double expected : {v, -v}) {
            char buffer[32];
            const std::string wanted(buffer, std::to_chars(buffer, buffer + 32, expected).ptr);
            at = text.find(expected == v ? "\"point\": [" : ", ", at);
            ASSERT_NE(at, std::string::npos);
            at = text.find_first_of("-0123456789", at);
            const size_t end = text.find_first_of(",]", at);
            ASSERT_EQ(text.substr(at, end - at), wanted) << "seed " << seed;
            at = end;
        }
    }
}

// Files a few random edits away from a good one. Whatever this reader takes
// the other reader takes too, and whatever it calls not valid JSON the other
// refuses as well; a refused file leaves the drawing as it was, and a taken
// one is written and read back to the same drawing.
TEST_F(DrawingJsonTest, EditedFilesAgreeWithAnotherReader) {
    BuildAwkwardDrawing();
    const std::string good = vekhost::ToJson();
    const std::string alphabet =
        "{}[]\":,.-+eE0123456789 \n\\u\"tfnlrsa\x01\x7f\x80\xbf\xc3\xe0\xff";
    const uint32_t seed = 20241208;
    std::mt19937 random(seed);
    auto below = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    int taken = 0;
    for (int run = 0; run < 1000; ++run) {
        std::string text = good;
        for (size_t edits = 1 + below(3); edits > 0; --edits) {
            const size_t at = below(text.size());
            switch (below(4)) {
                case 0:
                    text.erase(at, 1 + below(8));
                    break;
                case 1:
                    text.insert(text.begin() + long(at), alphabet[below(alphabet.size())]);
                    break;
                case 2:
                    text[at] = alphabet[below(alphabet.size())];
                    break;
                default:
                    text.insert(at, text.substr(below(text.size()), 1 + below(40)));
                    break;
            }
        }
        SCOPED_TRACE("seed " + std::to_string(seed) + ", run " + std::to_string(run) + ": " + text);
        const std::string before = vekhost::ToJson();
        std::string refusal;
        try {
            vekhost::FromJson(text);
        } catch (const std::runtime_error& e) {
            refusal = e.what();
        }
        const bool valid = nlohmann::json::accept(text);
        if (refusal.empty()) {
            ++taken;
            EXPECT_TRUE(valid) << "taken, but not JSON";
            const std::string saved = vekhost::ToJson();
            vekhost::FromJson(saved);
            EXPECT_EQ(vekhost::ToJson(), saved);
            vekhost::FromJson(good);
        } else {
            EXPECT_EQ(vekhost::ToJson(), before) << refusal;
            if (refusal.find("not valid JSON") != std::string::npos) {
                EXPECT_FALSE(valid) << refusal;
            }
        }
        if (HasFailure()) {
            break;
        }
    }
    EXPECT_GT(taken, 20);  // the edits must leave some files good
}

// Fields in any order, after the UTF-8 mark some editors put first.
TEST_F(DrawingJsonTest, FieldsInAnyOrder) {
    const std::string text =
        "\xEF\xBB\xBF"
        R"({"segments": [{"elements": [{"end": [1, 0], "start": [0, 0],
        "type": "line", "id": 7}], "layer": "b", "id": 3}], "layers": ["a", "b"], "version": 1})";
    vekhost::FromJson(text);
    EXPECT_EQ(vekhost::Segments(), std::vector<VekId>{3});
    EXPECT_EQ(vekhost::LayerName(vekhost::GetSegment(3)->layer), "b");
    EXPECT_EQ(vekhost::LayerName(0), "0");  // added before the listed ones
    EXPECT_EQ(vekhost::LayerName(1), "a");
    EXPECT_EQ(VekElmGetType(7), VEK_LINE);
}

TEST_F(DrawingJsonTest, EmptyDrawingLoadsAndClearsTheOldOne) {
    BuildAwkwardDrawing();
    vekhost::FromJson(R"({"segments": []})");
    EXPECT_EQ(vekhost::SegmentCount(), 0u);
    EXPECT_EQ(vekhost::LayerName(0), "0");
}
