// A figure at the command's limit, in a JSON and in a DXF drawing alike:
// one element under it is converted, one at it is left as it was and said so
// before the command runs (it would stop the run in either pass), and the
// rest of the drawing is converted.
#include "tests/app/VekhostFixture.h"
#include "tests/dxf/DxfFragments.h"
#include "tools/dxf/DxfDocument.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace vekhosttest;

namespace {

enum class Format { Json, Dxf };

void PrintTo(Format format, std::ostream* os) {
    *os << (format == Format::Json ? "JSON" : "DXF");
}

// The most elements the command takes in one figure, and one more.
constexpr int kFits = 2999;
constexpr int kTooLarge = 3000;

struct LimitCase {
    Format format;
    int elements;   // of the long figure
    bool exploded;  // the pass
    bool byName;    // the long figure picked by name, else every figure
};

LimitCase FromTuple(const std::tuple<Format, int, bool, bool>& t) {
    return {std::get<0>(t), std::get<1>(t), std::get<2>(t), std::get<3>(t)};
}

// The vertices of an open polyline of `elements` lines, each off a grid of
// two places so that converting it moves every one.
std::vector<std::pair<double, double>> LongFigure(int elements) {
    std::vector<std::pair<double, double>> vertices;
    for (int i = 0; i <= elements; ++i) {
        vertices.emplace_back(i + 0.004, (i % 2) * 0.5 + 0.003);
    }
    return vertices;
}

// How each format names the long figure and says that it was left alone.
struct Naming {
    std::string select;     // the --select value picking the long figure
    std::string leftAlone;  // in the "Left as it was" line
    std::string refusal;    // where a selection naming it is refused
};

class FigureLimit : public Vekhost,
                    public ::testing::WithParamInterface<std::tuple<Format, int, bool, bool>> {
protected:
    // The long figure then a line on its own, as the format writes them;
    // the input's path.
    std::string WriteDrawing(const LimitCase& c) {
        const auto vertices = LongFigure(c.elements);
        if (c.format == Format::Json) {
            vekhost::Reset();
            std::vector<FigureRecord> lines;
            for (std::size_t i = 1; i < vertices.size(); ++i) {
                lines.push_back(vekhost::Line(vertices[i - 1].first, vertices[i - 1].second,
                                              vertices[i].first, vertices[i].second));
            }
            longId_ = vekhost::AddSegment(lines);
            vekhost::AddSegment({vekhost::Line(0.004, -5.003, 1.004, -5.003)});
            return SaveDrawing("in.json");
        }
        std::string tags = "0 LWPOLYLINE|5 50|8 0|90 " + std::to_string(vertices.size()) + "|70 0";
        for (const auto& [x, y] : vertices) {
            tags += "|10 " + std::to_string(x) + "|20 " + std::to_string(y);
        }
        tags += "|0 LINE|5 51|8 0|10 0.004|20 -5.003|11 1.004|21 -5.003";
        const std::string text = dxftest::Modern(dxftest::Tags(tags));
        longLine_ = dxf::Document::Parse(text).EntityLine(0);
        WriteFile(folder_ / "in.dxf", text);
        return Path("in.dxf");
    }

    Naming NamingOf(Format format) const {
        const std::string reason =
            "too large for the command: 3,000 elements, at most 2,999 in one figure";
        if (format == Format::Json) {
            const std::string id = std::to_string(longId_);
            return {id, "Left as it was: 1 figure (" + reason + ", segment " + id + ")",
                    "figure " + id + " (" + reason + ") cannot be converted"};
        }
        const std::string line = std::to_string(longLine_);
        return {"handle:50", "1 LWPOLYLINE (" + reason + ", at line " + line + ")",
                "entity 50 (LWPOLYLINE, " + reason + ", line " + line + ") cannot be converted"};
    }

    // Whether the long figure is written exactly as it was read.
    bool LongFigureKept(Format format, const std::string& in, const std::string& out) const {
        if (format == Format::Dxf) {
            return Contains(out, std::string(dxf::Document::Parse(in).EntityText(0)));
        }
        auto find = [this](const std::string& text) {
            const nlohmann::json drawing = nlohmann::json::parse(text);
            for (const auto& segment : drawing.at("segments")) {
                if (segment.at("id") == longId_) {
                    return segment;
                }
            }
            return nlohmann::json();
        };
        return find(out) == find(in);
    }

    VekId longId_ = VEK_NONE;   // in the JSON drawing
    std::size_t longLine_ = 0;  // where the DXF drawing's polyline starts
};

TEST_P(FigureLimit, TooLargeIsLeftAsItWasBeforeTheCommandRuns) {
    const LimitCase c = FromTuple(GetParam());
    const std::string input = WriteDrawing(c);
    const std::string ext = c.format == Format::Json ? "json" : "dxf";
    const std::string output = Path("out." + ext);
    WriteFile(folder_ / ("out." + ext), "previous contents");
    std::vector<std::string> args = {
        "run",   input,       "--ref",    "0,0",
        "--set", "d_point=2", "--set",    "inchmm=0",
        "--set", "Color=0",   "--set",    c.exploded ? "IsExploded=1" : "IsExploded=0",
        "-o",    output,      "--report", Path("report.json")};
    const Naming naming = NamingOf(c.format);
    if (c.byName) {
        args.insert(args.end(), {"--select", naming.select});
    }

    const Outcome run = RunVekhost(args);

    // The command never gets to its capacity box.
    EXPECT_FALSE(Contains(run.output, "DB 메모리용량")) << run.output;
    const bool fits = c.elements == kFits;
    if (!fits && c.byName) {
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_TRUE(Contains(run.output, naming.refusal)) << run.output;
        EXPECT_EQ(ReadFile(folder_ / ("out." + ext)), "previous contents");
        return;
    }
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::size_t picked = fits && !c.byName ? 2 : 1;
    const std::string figures = "Figures: " + std::to_string(picked) + " picked, " +
                                std::to_string(picked) + " converted, 0 left untouched; 1 run";
    EXPECT_TRUE(Contains(run.output, figures)) << run.output;
    EXPECT_EQ(Contains(run.output, naming.leftAlone), !fits) << run.output;
    EXPECT_EQ(Contains(run.output, "too large"), !fits) << run.output;
    const auto report = nlohmann::json::parse(ReadFile(folder_ / "report.json"));
    ASSERT_EQ(report.at("figures").size(), picked);
    for (const auto& figure : report.at("figures")) {
        EXPECT_EQ(figure.at("status"), "converted");
    }
    EXPECT_EQ(LongFigureKept(c.format, ReadFile(input), ReadFile(output)), !fits);
}

INSTANTIATE_TEST_SUITE_P(AtTheLimit, FigureLimit,
                         ::testing::Combine(::testing::Values(Format::Json, Format::Dxf),
                                            ::testing::Values(kFits, kTooLarge), ::testing::Bool(),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<FigureLimit::ParamType>& p) {
                             const LimitCase c = FromTuple(p.param);
                             return std::string(c.format == Format::Json ? "Json" : "Dxf") +
                                    std::to_string(c.elements) +
                                    (c.exploded ? "Exploded" : "Standard") +
                                    (c.byName ? "PickedByName" : "AllPicked");
                         });

}  // namespace
