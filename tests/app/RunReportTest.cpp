// The run report against movements known by hand: small drawings converted by
// the real plug-in, in both passes, and what the report says became of them.
#include "tests/app/PluginSession.h"
#include "tools/vekhost/RunSteps.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

using flowtest::PluginTest;
using vekhost::Line;
using vekhost_tool::ArcRule;
using vekhost_tool::FigureStatus;
using vekhost_tool::RunReport;

namespace {

// Differences of this size are the arithmetic's, not the conversion's
// (absolute, for values of order 1).
constexpr double kExact = 1e-9;

struct Expected {
    double largest = 0;  // largest movement over every figure
    size_t gaps = 0;
    double gap = 0;  // distance of each gap
    size_t dropped = 0;
    size_t cornersAdjusted = 0;
    size_t arcsCorrected = 0;
    std::vector<FigureStatus> statuses;
};

struct ReportCase {
    const char* name;
    int decimals;
    int unitMode;
    vekhost::Point reference;
    std::function<std::vector<VekId>()> draw;  // returns the figures to pick
    Expected expected;
    // Checks of what differs between the passes, or of items in detail.
    std::function<void(const RunReport&, bool exploded)> more;
};

void PrintTo(const ReportCase& c, std::ostream* os) {
    *os << c.name;
}

VekId ElementAt(VekId segment, size_t position) {
    return vekhost::GetSegment(segment)->elements.at(position).id;
}

// Two radial lines into an arc of `radius` about the origin, between the
// angles a and pi - a: the lines meet the arc square on, so the arc stays an
// arc, and it is no half circle.
VekId ArcAmongLines(double radius, double a) {
    const double x = radius * std::cos(a);
    const double y = radius * std::sin(a);
    return vekhost::AddSegment(
        {Line(2 * x, 2 * y, x, y), vekhost::Arc(0, 0, x, y, -x, y), Line(-x, y, -2 * x, 2 * y)});
}

// The centre of the arc that the tangent-circle rule gives: on the circle of
// radius r through the rounded ends s and e, the one nearer `near`.
vekhost::Point TangentCentre(vekhost::Point s, vekhost::Point e, double r, vekhost::Point near) {
    const vekhost::Point m{(s.x + e.x) / 2, (s.y + e.y) / 2};
    const double half = std::hypot(e.x - s.x, e.y - s.y) / 2;
    const double h = std::sqrt(r * r - half * half);
    const vekhost::Point n{-(e.y - s.y) / (2 * half), (e.x - s.x) / (2 * half)};
    const vekhost::Point c1{m.x + h * n.x, m.y + h * n.y};
    const vekhost::Point c2{m.x - h * n.x, m.y - h * n.y};
    return std::hypot(c1.x - near.x, c1.y - near.y) <= std::hypot(c2.x - near.x, c2.y - near.y)
               ? c1
               : c2;
}

const ReportCase kCases[] = {
    {"PointOffTheGrid",
     2,
     0,
     {0, 0},
     [] { return std::vector<VekId>{flowtest::AddLine(1.004, 0, 3, 0)}; },
     {0.004, 0, 0, 0, 0, 0, {FigureStatus::Converted}},
     [](const RunReport& report, bool) {
         const auto& figure = report.figures[0];
         EXPECT_EQ(figure.points, 2u);
         EXPECT_NEAR(figure.meanMovement, 0.002, kExact);
         EXPECT_EQ(figure.largest->element, 1);
         EXPECT_EQ(figure.largest->role, vekhost_tool::PointRole::Start);
     }},
    {"InchesMeasuredInMillimetres",
     2,
     1,
     {0, 0},
     [] { return std::vector<VekId>{flowtest::AddLine(1, 0, 2, 0)}; },
     // 25.40051 and 50.80102 mm, on a grid of 0.01 mm.
     {0.00102, 0, 0, 0, 0, 0, {FigureStatus::Converted}},
     nullptr},
    {"AlreadyOnTheGrid",
     3,
     0,
     {0.5, 0.25},
     [] {
         // A square with a rounded corner and a chamfer whose points all lie
         // on the grid, and a circle.
         const VekId square = flowtest::AddSquare(0.5, 0.25, 10);
         VekFigAddCorner(ElementAt(square, 1), ElementAt(square, 2), 0, 2);
         VekFigAddCorner(ElementAt(square, 0), ElementAt(square, 1), 1, 1.5);
         const VekId circle = vekhost::AddSegment({vekhost::Circle(20.5, 5.25, 3.125)});
         return std::vector<VekId>{square, circle};
     },
     {0, 0, 0, 0, 0, 0, {FigureStatus::Converted, FigureStatus::Converted}},
     [](const RunReport& report, bool exploded) {
         EXPECT_EQ(report.summary.elementsAfter, 7u);
         // Only the standard pass adds the corners again; the exploded one
         // rebuilds the rounded corner as an arc.
         EXPECT_EQ(report.summary.corners, exploded ? 0u : 2u);
         EXPECT_EQ(report.summary.arcs, exploded ? 1u : 0u);
         EXPECT_EQ(report.figures[0].moves.size(), 0u);
     }},
    {"ArcAmongLinesMovesItsCentre",
     2,
     0,
     {0, 0},
     [] { return std::vector<VekId>{ArcAmongLines(1.0, std::acos(0.8660254))}; },
     // The ends round to (+-0.87, 0.5); the circle of radius 1 through them
     // has its centre at (0, 0.5 - sqrt(1 - 0.87^2)) = (0, 0.0069485...).
     {0.5 - std::sqrt(1 - 0.87 * 0.87), 0, 0, 0, 0, 0, {FigureStatus::Converted}},
     [](const RunReport& report, bool) {
         const auto& figure = report.figures[0];
         ASSERT_EQ(figure.arcs.size(), 1u);
         EXPECT_EQ(figure.arcs[0].rule, ArcRule::TangentCircle);
         EXPECT_EQ(figure.largest->element, 2);
         EXPECT_EQ(figure.largest->role, vekhost_tool::PointRole::Centre);
         const vekhost::Point expected = TangentCentre({0.87, 0.5}, {-0.87, 0.5}, 1, {0, 0});
         EXPECT_NEAR(figure.arcs[0].now.figure.p1[1], expected.y, kExact);
     }},
    {"GapTheArcRuleCannotClose",
     1,
     0,
     {0.04, 0},
     [] { return std::vector<VekId>{ArcAmongLines(1.04, 0.1)}; },
     // The ends round to (1.04, 0.1) and (-1.06, 0.1), 2.1 apart; the radius
     // to 1.0. No circle of radius 1.0 passes through both: the radius 1.1 is
     // the first of 0.1, 0.2, ... 2.0 that finds a centre, and the arc keeps
     // the radius 1.0, 0.1 short of both lines.
     {std::nan(""), 2, 0.1, 0, 0, 1, {FigureStatus::Converted}},
     [](const RunReport& report, bool) {
         const auto& figure = report.figures[0];
         ASSERT_EQ(figure.arcs.size(), 1u);
         EXPECT_EQ(figure.arcs[0].rule, ArcRule::CorrectedRadius);
         EXPECT_NEAR(figure.arcs[0].radiusFound, 1.1, kExact);
         EXPECT_NEAR(figure.arcs[0].radius, 1.0, kExact);
         ASSERT_EQ(figure.gaps.size(), 2u);
         EXPECT_EQ(figure.gaps[0].element, 1);
         EXPECT_EQ(figure.gaps[0].next, 2);
         EXPECT_EQ(figure.gaps[1].element, 2);
         EXPECT_EQ(figure.gaps[1].next, 3);
     }},
    {"EndsThatMetFarOutRoundApart",
     4,
     0,
     {0, 0},
     [] {
         // 3e-6 apart, more than the host's test at this distance from the
         // origin but within the lines' share: they met. They round to
         // either side of 1000100.00005, a grid step apart.
         return std::vector<VekId>{vekhost::AddSegment(
             {Line(1000000, 5, 1000100.000049, 5), Line(1000100.000052, 5, 1000200, 5)})};
     },
     {std::nan(""), 1, 1e-4, 0, 0, 0, {FigureStatus::Converted}},
     nullptr},
    {"ShrunkElementGoesWithoutAGap",
     2,
     0,
     {0, 0},
     [] {
         return std::vector<VekId>{
             vekhost::AddSegment({Line(0, 0, 1, 0), Line(1, 0, 1.003, 0), Line(1.003, 0, 2, 0)})};
     },
     {0.003, 0, 0, 1, 0, 0, {FigureStatus::Converted}},
     [](const RunReport& report, bool) {
         ASSERT_EQ(report.figures[0].dropped.size(), 1u);
         EXPECT_EQ(report.figures[0].dropped[0].element, 2);
     }},
};

class RunReportCases : public PluginTest, public ::testing::WithParamInterface<ReportCase> {
protected:
    RunReport Run(bool exploded) {
        const ReportCase& c = GetParam();
        vekhost_tool::StoreSetting("d_point", std::to_string(c.decimals));
        vekhost_tool::StoreSetting("inchmm", std::to_string(c.unitMode));
        vekhost_tool::StoreSetting("IsExploded", exploded ? "1" : "0");
        const std::vector<VekId> picked = c.draw();
        return vekhost_tool::PlayAndReport(c.reference, picked, vekhost_tool::SegmentNaming(),
                                           {.showSteps = false})
            .report;
    }
};

TEST_P(RunReportCases, InBothPasses) {
    const ReportCase& c = GetParam();
    for (const bool exploded : {false, true}) {
        SCOPED_TRACE(exploded ? "exploded pass" : "standard pass");
        vekhost::Reset();
        ASSERT_EQ(flowtest::LoadedPlugin().Startup()(0, 0, 0, 0), 0);
        const RunReport report = Run(exploded);
        const Expected& e = c.expected;

        ASSERT_EQ(report.figures.size(), e.statuses.size());
        for (size_t f = 0; f < e.statuses.size(); ++f) {
            EXPECT_EQ(report.figures[f].status, e.statuses[f]) << f;
            EXPECT_TRUE(report.figures[f].paired) << f;
        }
        EXPECT_TRUE(report.completed);
        if (!std::isnan(e.largest)) {
            const double largest = report.summary.largestIn
                                       ? report.figures[*report.summary.largestIn].largest->distance
                                       : 0.0;
            EXPECT_NEAR(largest, e.largest, kExact);
        }
        EXPECT_EQ(report.summary.gaps, e.gaps);
        for (const auto& figure : report.figures) {
            for (const auto& gap : figure.gaps) {
                EXPECT_NEAR(gap.distance, e.gap, kExact);
            }
        }
        EXPECT_EQ(report.summary.dropped, e.dropped);
        EXPECT_EQ(report.summary.cornersAdjusted, e.cornersAdjusted);
        EXPECT_EQ(report.summary.arcsCorrected, e.arcsCorrected);
        if (c.more) {
            c.more(report, exploded);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(KnownByHand, RunReportCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ReportCase>& param) {
                             return std::string(param.param.name);
                         });

// A rounded corner refused at its rounded radius is added at the next one
// the host accepts; refused at every radius, it stops the run there.
TEST_F(PluginTest, CornersTheHostRefusesAreReported) {
    vekhost_tool::StoreSetting("d_point", "3");
    const VekId first = flowtest::AddSquare(0, 0, 10);
    VekFigAddCorner(ElementAt(first, 1), ElementAt(first, 2), 0, 2);
    const VekId second = flowtest::AddSquare(20, 0, 10);
    VekFigAddCorner(ElementAt(second, 1), ElementAt(second, 2), 0, 3);
    const VekId third = flowtest::AddSquare(40, 0, 10);
    vekhost::FailWhen("VekFigAddCorner", [](const std::vector<double>& args) {
        return args[3] == 2.0 || std::fabs(args[3] - 3.0) < 0.5;
    });

    const RunReport report =
        vekhost_tool::PlayAndReport({0, 0}, {first, second, third}, vekhost_tool::SegmentNaming(),
                                    {.showSteps = false})
            .report;

    ASSERT_EQ(report.figures.size(), 3u);
    const auto& adjusted = report.figures[0];
    EXPECT_EQ(adjusted.status, FigureStatus::Converted);
    ASSERT_EQ(adjusted.corners.size(), 1u);
    EXPECT_EQ(adjusted.corners[0].element, 3);
    EXPECT_EQ(adjusted.corners[0].sizeBefore, 2.0);
    EXPECT_EQ(adjusted.corners[0].sizeAsked, 2.0);
    EXPECT_NEAR(adjusted.corners[0].sizeAccepted, 1.991, kExact);
    EXPECT_EQ(adjusted.corners[0].tries, 2);
    EXPECT_EQ(report.summary.cornersAdjusted, 1u);
    EXPECT_EQ(report.summary.gaps, 0u);

    EXPECT_EQ(report.figures[1].status, FigureStatus::Stopped);
    EXPECT_EQ(report.figures[1].elementsAfter, report.figures[1].elementsBefore);
    EXPECT_EQ(report.figures[2].status, FigureStatus::Untouched);
    EXPECT_FALSE(report.completed);
    EXPECT_EQ(report.stoppedAt, 1u);
    EXPECT_EQ(report.stopMessage, "원호를 보정할 수 없습니다(반복문)");
    EXPECT_EQ(report.summary.converted, 1u);
    EXPECT_EQ(report.summary.untouched, 2u);
    const auto lines = vekhost_tool::SummaryLines(report);
    EXPECT_EQ(lines[1],
              "Figures: 3 picked, 1 converted, 2 left untouched (the run stopped at segment " +
                  std::to_string(second) +
                  ": 원호를 보정할 수 없습니다(반복문) [no radius near the rounded one fits: an "
                  "arc through its rounded ends, or a rounded corner between its neighbours]); 1 "
                  "run of the command");
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// The picture holds a ring per moved point (one where elements share it), a
// ring per gap and a band per corrected arc; it is well-formed XML to an
// independent reader, and the renderer the README's pictures are made with
// draws it.
TEST_F(PluginTest, PictureMarksEveryMovedPointAndGap) {
    vekhost_tool::StoreSetting("d_point", "1");
    const VekId layer = vekhost::AddLayer("walls & <doors> 벽");
    const VekId arc = ArcAmongLines(1.04, 0.1);
    VekSgmChangeLayer(arc, layer);
    const VekId square =
        vekhost::AddSegment({Line(0.01, -3, 3.02, -3), Line(3.02, -3, 3.02, -0.03),
                             Line(3.02, -0.03, 0.01, -0.03), Line(0.01, -0.03, 0.01, -3)},
                            true);
    VekFigAddCorner(ElementAt(square, 1), ElementAt(square, 2), 0, 0.77);

    const auto run = vekhost_tool::PlayAndReport(
        {0.04, 0}, {arc, square}, vekhost_tool::SegmentNaming(), {.showSteps = false});
    const std::string svg = vekhost_tool::RunPicture(run, "그림 & <test>");

    std::set<std::array<double, 4>> moved;
    for (const auto& figure : run.report.figures) {
        for (const auto& move : figure.moves) {
            moved.insert({move.now.x, move.now.y, move.expected.x, move.expected.y});
        }
    }
    ASSERT_GT(moved.size(), 4u);
    EXPECT_EQ(run.report.summary.gaps, 2u);
    EXPECT_EQ(Count(svg, "<circle class=\"move\""), moved.size());
    EXPECT_EQ(Count(svg, "<circle class=\"gap\""), 2u);
    EXPECT_EQ(Count(svg, "class=\"corrected-arc\""), 1u);
    EXPECT_EQ(Count(svg, "inkscape:label=\"walls &amp; &lt;doors&gt; 벽\""), 1u);
    EXPECT_EQ(Count(svg, "그림 &amp; &lt;test&gt;"), 2u);  // title and legend
#ifndef _WIN32
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("run-report-picture-" + std::to_string(static_cast<long>(getpid())));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "run.svg", std::ios::binary) << svg;
    const std::string check =
        "python3 -c \"import sys, xml.dom.minidom as m; "
        "d = m.parse(sys.argv[1]); "
        "print(sum(c.getAttribute('class') == 'move' "
        "for c in d.getElementsByTagName('circle')))\" '" +
        (folder / "run.svg").string() + "'";
    FILE* pipe = popen(check.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char counted[32] = {};
    const size_t got = fread(counted, 1, sizeof counted - 1, pipe);
    EXPECT_EQ(pclose(pipe), 0) << "not well-formed XML";
    EXPECT_EQ(std::string(counted, got), std::to_string(moved.size()) + "\n");
    const std::string convert = "rsvg-convert '" + (folder / "run.svg").string() + "' -o '" +
                                (folder / "run.png").string() + "'";
    EXPECT_EQ(std::system(convert.c_str()), 0);
    std::ifstream png(folder / "run.png", std::ios::binary);
    const std::string head(std::istreambuf_iterator<char>(png), {});
    EXPECT_EQ(head.substr(0, 8), "\x89PNG\r\n\x1a\n");
    std::filesystem::remove_all(folder);
#endif
}

}  // namespace
