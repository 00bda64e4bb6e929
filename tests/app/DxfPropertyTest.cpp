// Generated DXF drawings converted through the plug-in at random settings:
// every value written is in its shortest form, and a value on the grid is
// the grid's short decimal, not the arithmetic's last-digit noise; no join
// of a chain opens unless the report lists the gap; and converting the
// result again at the same settings changes no byte, unless the second run
// takes other figures or takes elements by other rules, or a radius had to
// be adjusted. Seeds: TARNEX_SEED repeats a
// failure, TARNEX_DRAWINGS makes more drawings.
#include "tests/app/DxfGenerated.h"
#include "tests/app/PluginSession.h"
#include "tools/dxf/DxfEntities.h"
#include "tools/dxf/DxfTags.h"
#include "tools/vekhost/DxfDrawing.h"
#include "tools/vekhost/RunSteps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <sstream>

namespace {

using vekhost_tool::FigureReport;
using vekhost_tool::RunReport;

struct Settings {
    int decimals = 2;
    int unitMode = 0;
    bool exploded = false;
    vekhost::Point reference;
};

struct Converted {
    std::string text;
    RunReport report;
};

// As `vekhost run` converts a drawing, in this process; nothing when the
// command reported an error. `overlap`: each run's figures are measured and
// written back while the next run plays.
std::optional<Converted> Convert(const std::string& bytes, const Settings& s, bool overlap = true) {
    vekhost_tool::StoreSetting("d_point", std::to_string(s.decimals));
    vekhost_tool::StoreSetting("inchmm", std::to_string(s.unitMode));
    vekhost_tool::StoreSetting("IsExploded", s.exploded ? "1" : "0");
    vekhost_tool::StoreSetting("Color", "0");
    vekhost::Reset();
    vekhost_tool::DxfDrawing drawing(bytes, vekhost_tool::JoinOptions{});
    // Each run of the command loads its own figures, as a plain `vekhost run` does.
    drawing.LoadIntoHost(false);
    std::string error;
    const auto picked = drawing.Pick(vekhost_tool::DxfSelection{}, "drawing", error);
    EXPECT_TRUE(picked) << error;
    EXPECT_EQ(flowtest::LoadedPlugin().Startup()(0, 0, 0, 0), 0);
    const vekhost_tool::RunStaging staging{
        [&drawing](const std::vector<VekId>& figures) { drawing.LoadFigures(figures); },
        [&drawing] { drawing.UnloadFigures(); },
        [&drawing](VekId segment) { return drawing.ElementCount(segment); }};
    // The converted text set aside after every figure, as a large drawing's
    // is after every run.
    const auto folder = std::filesystem::temp_directory_path();
    drawing.SpillWriteBack(std::make_unique<vekhost_tool::SpillFile>(folder / "spill.dxf"), *picked,
                           1);
    const vekhost_tool::FigureSink sink = [&drawing](const vekhost_tool::FigureReport& figure,
                                                     const vekhost_tool::RunSettings& settings) {
        drawing.WriteBackFigure(figure, settings);
    };
    vekhost_tool::RecordedRun run = vekhost_tool::PlayAndReport(
        s.reference, *picked, drawing.Naming(),
        vekhost_tool::RunNeeds{.picture = false, .overlap = overlap}, sink, staging);
    if (!run.command.pointTaken || run.command.reportedError) {
        return std::nullopt;
    }
    EXPECT_TRUE(drawing.WriteBackDone(error)) << error;
    std::ostringstream out;
    drawing.WriteTo(out);
    return Converted{std::move(out).str(), std::move(run.report)};
}

// Digits after the decimal point of a number as written ("1.25e-3": 5).
int DecimalsOf(std::string_view text) {
    const std::size_t e = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, e);
    const std::size_t dot = mantissa.find('.');
    int decimals = dot == std::string_view::npos ? 0 : static_cast<int>(mantissa.size() - dot - 1);
    if (e != std::string_view::npos) {
        decimals -= std::stoi(std::string(text.substr(e + 1)));
    }
    return std::max(decimals, 0);
}

double Ulp(double x) {
    x = std::fabs(x);
    return std::nextafter(x, INFINITY) - x;
}

// What is wrong with a value written for a grid of `decimals` places from
// `anchor` (its own decimals `anchorDecimals`), when a value within `noise`
// of a grid value is on it; empty when nothing.
std::string Fault(std::string_view text, double anchor, int anchorDecimals, int decimals,
                  double noise) {
    const double v = dxf::ParseReal(text).value_or(NAN);
    if (dxf::FormatReal(v) != text) {
        return "not in its shortest form";
    }
    const double step = std::pow(10.0, -decimals);
    const double grid = anchor + std::round((v - anchor) / step) * step;
    // On a grid much finer than the noise any value is near a grid value.
    if (step > 1024 * noise && std::fabs(v - grid) <= noise &&
        DecimalsOf(text) > std::max(decimals, anchorDecimals)) {
        return "on the grid but not written as its decimal";
    }
    return "";
}

// The arithmetic that puts a value on the grid leaves it within a few units
// in the last place of the largest of the value and the grid's anchor.
double Noise(double v, double anchor) {
    return 4 * Ulp(std::max(std::fabs(v), std::fabs(anchor)));
}

// Every value of the entities the run wrote; failures as text.
std::vector<std::string> ValueFaults(const dxf::Document& in, const dxf::Document& out,
                                     const Settings& s) {
    std::map<dxf::Handle, std::string_view> before;
    for (std::size_t i = 0; i < in.EntityCount(); ++i) {
        before[*in.EntityHandle(i)] = in.EntityText(i);
    }
    const std::string rx = dxf::FormatReal(s.reference.x), ry = dxf::FormatReal(s.reference.y);
    std::vector<std::string> faults;
    for (std::size_t i = 0; i < out.EntityCount(); ++i) {
        const auto was = before.find(*out.EntityHandle(i));
        if (was != before.end() && was->second == out.EntityText(i)) {
            continue;  // not converted
        }
        dxf::TagReader reader(out.EntityText(i));
        dxf::Tag tag;
        while (reader.Next(tag)) {
            const int c = tag.code;
            const std::string_view text = tag.Trimmed();
            std::string fault;
            const double v = dxf::ParseReal(text).value_or(0);
            if (c == 10 || c == 11) {
                fault =
                    Fault(text, s.reference.x, DecimalsOf(rx), s.decimals, Noise(v, s.reference.x));
            } else if (c == 20 || c == 21) {
                fault =
                    Fault(text, s.reference.y, DecimalsOf(ry), s.decimals, Noise(v, s.reference.y));
            } else if (c == 40) {
                fault = Fault(text, 0, 0, s.decimals, Noise(v, 0));
            } else if (c == 50 || c == 51) {
                // An angle read back from an end carries the noise of the
                // arc's coordinates, turned by its radius.
                const auto arc = std::get<dxf::Arc>(dxf::ShapeOf(out, i).geometry);
                const double size =
                    std::max({std::fabs(arc.centre.x), std::fabs(arc.centre.y), arc.radius});
                fault = Fault(text, 0, 0, s.decimals,
                              4 * Ulp(size) / arc.radius * 180 / std::numbers::pi);
            } else if (c == 30 || c == 31 || c == 42) {
                fault = dxf::FormatReal(dxf::ParseReal(text).value_or(NAN)) == text
                            ? ""
                            : "not in its shortest form";
            }
            if (!fault.empty()) {
                faults.push_back("entity at line " + std::to_string(out.EntityLine(i)) +
                                 ", group " + std::to_string(c) + " '" + std::string(text) +
                                 "': " + fault);
            }
        }
    }
    return faults;
}

struct Ends {
    dxftest::Pt a, b;
    double size = 0;  // the largest coordinate or radius: what their noise scales with
    bool arc = false;
};

std::optional<Ends> EndsOf(const dxf::Document& doc, std::size_t i) {
    const dxf::Shape shape = dxf::ShapeOf(doc, i);
    if (const auto* line = std::get_if<dxf::Line>(&shape.geometry)) {
        return Ends{{line->start.x, line->start.y},
                    {line->end.x, line->end.y},
                    std::max({std::fabs(line->start.x), std::fabs(line->start.y),
                              std::fabs(line->end.x), std::fabs(line->end.y)}),
                    false};
    }
    if (const auto* arc = std::get_if<dxf::Arc>(&shape.geometry)) {
        const double k = std::numbers::pi / 180;
        const auto at = [&](double degrees) {
            return dxftest::Pt{arc->centre.x + arc->radius * std::cos(degrees * k),
                               arc->centre.y + arc->radius * std::sin(degrees * k)};
        };
        return Ends{at(arc->startAngle), at(arc->endAngle),
                    std::max({std::fabs(arc->centre.x), std::fabs(arc->centre.y), arc->radius}),
                    true};
    }
    return std::nullopt;
}

double Apart(dxftest::Pt p, dxftest::Pt q) {
    return std::hypot(p.x - q.x, p.y - q.y);
}

std::optional<std::size_t> EntityOf(const dxf::Document& doc, const std::string& handle) {
    for (std::size_t i = 0; i < doc.EntityCount(); ++i) {
        if (dxf::FormatHandle(*doc.EntityHandle(i)) == handle) {
            return i;
        }
    }
    return std::nullopt;
}

// Whether entities `a` and `b` were chained into one figure, and whether the
// report lists a gap between them.
struct Join {
    bool chained = false;
    bool gapListed = false;
};
Join JoinOf(const RunReport& report, const std::string& a, const std::string& b) {
    for (const FigureReport& figure : report.figures) {
        const auto& ids = figure.source.ids;
        const auto pa = std::find(ids.begin(), ids.end(), a) - ids.begin() + 1;
        const auto pb = std::find(ids.begin(), ids.end(), b) - ids.begin() + 1;
        if (pa > static_cast<long>(ids.size()) || pb > static_cast<long>(ids.size())) {
            continue;
        }
        Join join{true, false};
        for (const auto& gap : figure.gaps) {
            join.gapListed = join.gapListed || (gap.element == pa && gap.next == pb) ||
                             (gap.element == pb && gap.next == pa);
        }
        return join;
    }
    return {};
}

// Joins of each generated chain that vekhost chained and that no longer
// meet, unless the report says so; entities that gave way are passed.
std::vector<std::string> OpenJoins(const dxftest::GeneratedDrawing& g, const dxf::Document& in,
                                   const dxf::Document& out, const RunReport& report) {
    std::vector<std::string> faults;
    for (const auto& chain : g.chains) {
        const std::size_t n = chain.handles.size();
        for (std::size_t k = 0; k + 1 < n + (chain.closed ? 1 : 0); ++k) {
            const std::string& h1 = chain.handles[k];
            const std::string& h2 = chain.handles[(k + 1) % n];
            const auto i1 = EntityOf(out, h1), i2 = EntityOf(out, h2);
            const Join join = JoinOf(report, h1, h2);
            if (!i1 || !i2 || h1 == h2 || !join.chained) {
                continue;  // gone, or not joined in the drawing as written
            }
            const Ends was1 = *EndsOf(in, *EntityOf(in, h1)), was2 = *EndsOf(in, *EntityOf(in, h2));
            const Ends now1 = *EndsOf(out, *i1), now2 = *EndsOf(out, *i2);
            // The ends that met: of the four pairs, the closest before. An
            // arc may come out the other way round (a corner turning so
            // little that rounding its lines turns it the other way), so
            // either of its ends will do.
            const dxftest::Pt* p1[2][2] = {{&was1.a, &now1.a}, {&was1.b, &now1.b}};
            const dxftest::Pt* p2[2][2] = {{&was2.a, &now2.a}, {&was2.b, &now2.b}};
            int e1 = 0, e2 = 0;
            for (int x = 0; x < 2; ++x) {
                for (int y = 0; y < 2; ++y) {
                    if (Apart(*p1[x][0], *p2[y][0]) < Apart(*p1[e1][0], *p2[e2][0])) {
                        e1 = x;
                        e2 = y;
                    }
                }
            }
            double gap = INFINITY;
            for (int x = 0; x < 2; ++x) {
                for (int y = 0; y < 2; ++y) {
                    if ((x == e1 || now1.arc) && (y == e2 || now2.arc)) {
                        gap = std::min(gap, Apart(*p1[x][1], *p2[y][1]));
                    }
                }
            }
            const double meet = 1e-12 * std::max({now1.size, now2.size, 1.0});
            if (gap > meet && !join.gapListed) {
                faults.push_back("entities " + h1 + " and " + h2 + " no longer meet (" +
                                 dxf::FormatReal(gap) + " apart) and the report lists no gap");
            }
        }
    }
    return faults;
}

// The figures of a run, each as its entities' handles and the rule that
// rebuilt each arc and corner.
std::vector<std::string> Treatment(const RunReport& report) {
    std::vector<std::string> figures;
    for (const FigureReport& figure : report.figures) {
        std::string text = figure.source.Text() + ":";
        for (const auto& arc : figure.arcs) {
            text += " " + std::to_string(arc.element) + " " + vekhost_tool::RuleName(arc.rule);
        }
        for (const auto& corner : figure.corners) {
            text +=
                " " + std::to_string(corner.element) + (corner.chamfer ? " chamfer" : " corner");
        }
        figures.push_back(text);
    }
    std::sort(figures.begin(), figures.end());
    return figures;
}

Settings RandomSettings(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> unit(0, 1);
    Settings s;
    s.decimals = static_cast<int>(unit(rng) * 5);
    s.unitMode = unit(rng) < 0.7 ? 0 : unit(rng) < 0.5 ? 1 : 2;
    s.exploded = unit(rng) < 0.2;
    const double places = std::pow(10.0, static_cast<int>(unit(rng) * 3));
    s.reference = {std::round((unit(rng) - 0.5) * 100 * places) / places,
                   std::round((unit(rng) - 0.5) * 100 * places) / places};
    return s;
}

int DrawingCount() {
    const char* n = std::getenv("TARNEX_DRAWINGS");
    return n != nullptr ? std::atoi(n) : 150;
}

class DxfProperty : public flowtest::PluginTest {};

TEST_F(DxfProperty, CleanValuesClosedJoinsAndNothingNewTheSecondTime) {
    const std::uint64_t seed = dxftest::PropertySeed();
    std::mt19937_64 rng(seed);
    int converted = 0, again = 0, otherwise = 0, adjusted = 0;
    for (int d = 0; d < DrawingCount(); ++d) {
        const dxftest::GeneratedDrawing g = dxftest::MakeDrawing(rng, rng() % 2 ? 17 : 12);
        const Settings s = RandomSettings(rng);
        SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed) + ", drawing " + std::to_string(d) +
                     ": d_point " + std::to_string(s.decimals) + ", inchmm " +
                     std::to_string(s.unitMode) + (s.exploded ? ", exploded" : "") + ", ref " +
                     dxf::FormatReal(s.reference.x) + "," + dxf::FormatReal(s.reference.y) + "\n" +
                     g.text);
        const auto first = Convert(g.text, s);
        if (!first) {
            continue;  // the command refused an arc at this setting
        }
        ++converted;
        const dxf::Document in = dxf::Document::Parse(g.text);
        const dxf::Document out = dxf::Document::Parse(first->text);
        for (const std::string& fault : ValueFaults(in, out, s)) {
            ADD_FAILURE() << fault;
        }
        for (const std::string& fault : OpenJoins(g, in, out, first->report)) {
            ADD_FAILURE() << fault;
        }
        if (s.unitMode != 0 || s.exploded) {
            continue;  // a second run converts the units again, or explodes anew
        }
        const auto second = Convert(first->text, s);
        ASSERT_TRUE(second) << "the second run was refused";
        ++again;
        if (Treatment(second->report) != Treatment(first->report)) {
            ++otherwise;  // other figures, or elements taken by other rules
            continue;
        }
        // An adjusted radius was reached a grid step at a time and carries
        // the noise of that sum; the second run starts from the clean one.
        const auto& summary = first->report.summary;
        if (summary.cornersAdjusted > 0 || summary.arcsCorrected > 0) {
            ++adjusted;
            continue;
        }
        EXPECT_EQ(second->text, first->text) << "the second run changed the drawing";
    }
    EXPECT_GT(converted, DrawingCount() / 2);
    std::cout << converted << " of " << DrawingCount() << " drawings converted; " << again
              << " converted again, of which " << otherwise
              << " were taken as other figures or by other rules the second time and " << adjusted
              << " had adjusted a radius\n";
}

// A drawing of more figures than one run takes, converted with each run's
// figures measured and written back while the next plays, and without.
TEST_F(DxfProperty, OverlappedRunsWriteWhatOneAtATimeWrites) {
    const std::uint64_t seed = dxftest::PropertySeed();
    std::mt19937_64 rng(seed);
    for (int d = 0; d < 2; ++d) {
        const int figures = 3000 + static_cast<int>(rng() % 3400);
        const dxftest::GeneratedDrawing g = dxftest::MakeDrawing(rng, 12, figures);
        Settings s = RandomSettings(rng);
        s.decimals = 4 + static_cast<int>(rng() % 2);  // every arc rebuilt
        SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed) + ", drawing " + std::to_string(d) +
                     ": " + std::to_string(figures) + " figures, d_point " +
                     std::to_string(s.decimals) + (s.exploded ? ", exploded" : ""));
        const auto overlapped = Convert(g.text, s, true);
        const auto alone = Convert(g.text, s, false);
        ASSERT_EQ(overlapped.has_value(), alone.has_value());
        if (alone) {
            EXPECT_EQ(vekhost_tool::SummaryLines(overlapped->report),
                      vekhost_tool::SummaryLines(alone->report));
            EXPECT_TRUE(overlapped->text == alone->text) << "the drawings written differ";
        }
    }
}

// What a run shows and writes: the command's result, the summary, the first
// message shown while a figure was in work and where, and the drawing
// written (when the command went through) with the notes on it.
struct Outcome {
    bool pointTaken = false;
    bool reportedError = false;
    std::vector<std::string> summary;
    std::string firstMessage;
    std::string text;
    std::vector<std::string> notes;
};

// The host refuses to copy or read the picked figure at `position`.
void FailAt(VekId figure) {
    const auto segment = vekhost::GetSegment(figure);
    const double first = static_cast<double>(segment->elements.front().id);
    vekhost::FailWhen("VekSgmEditSegment", [figure](const std::vector<double>& args) {
        return args[0] == static_cast<double>(figure);
    });
    vekhost::FailWhen("VekFigGetFigure",
                      [first](const std::vector<double>& args) { return args[1] == first; });
}

// A run of `bytes`, the host failing at the picked figure `failAt` (when
// given), streamed as `vekhost run` makes it (each figure measured and
// written back as its run of the command ends, none kept), or from the
// whole report kept (as --report and --svg keep it).
Outcome RunOnce(const std::string& bytes, const Settings& s, bool colour,
                std::optional<std::size_t> failAt, bool streamed) {
    vekhost_tool::StoreSetting("d_point", std::to_string(s.decimals));
    vekhost_tool::StoreSetting("inchmm", std::to_string(s.unitMode));
    vekhost_tool::StoreSetting("IsExploded", s.exploded ? "1" : "0");
    vekhost_tool::StoreSetting("Color", colour ? "1" : "0");
    vekhost::Reset();
    vekhost_tool::DxfDrawing drawing(bytes, vekhost_tool::JoinOptions{});
    drawing.LoadIntoHost(true);
    std::string error;
    const auto picked = drawing.Pick(vekhost_tool::DxfSelection{}, "drawing", error);
    EXPECT_EQ(flowtest::LoadedPlugin().Startup()(0, 0, 0, 0), 0);
    if (failAt) {
        FailAt((*picked)[*failAt % picked->size()]);
    }
    Outcome outcome;
    vekhost_tool::RecordedRun run;
    if (streamed) {
        run = vekhost_tool::PlayAndReport(
            s.reference, *picked, drawing.Naming(),
            vekhost_tool::RunNeeds{.figures = false, .picture = false},
            [&drawing](const FigureReport& figure, const vekhost_tool::RunSettings& settings) {
                drawing.WriteBackFigure(figure, settings);
            });
        EXPECT_TRUE(run.report.figures.empty());
        if (const auto& first = run.report.summary.firstMessage) {
            outcome.firstMessage = first->first + " at " + first->second;
        }
    } else {
        run = vekhost_tool::PlayAndReport(s.reference, *picked, drawing.Naming(),
                                          vekhost_tool::RunNeeds{.picture = false});
        for (const FigureReport& figure : run.report.figures) {
            if (!figure.messages.empty() && outcome.firstMessage.empty()) {
                outcome.firstMessage = figure.messages.front() + " at " + figure.source.Where();
            }
        }
    }
    outcome.pointTaken = run.command.pointTaken;
    outcome.reportedError = run.command.reportedError;
    outcome.summary = vekhost_tool::SummaryLines(run.report);
    if (outcome.pointTaken && !outcome.reportedError) {
        EXPECT_TRUE(streamed ? drawing.WriteBackDone(error) : drawing.WriteBack(run.report, error))
            << error;
        std::ostringstream out;
        drawing.WriteTo(out);
        outcome.text = std::move(out).str();
        outcome.notes = drawing.Notes();
    }
    return outcome;
}

// Drawings of more figures than one run of the command takes, runs stopped
// by the host in the first run of the command or a later one: streamed as `vekhost run` makes it,
// the run shows and writes what the whole report kept gives.
TEST_F(DxfProperty, StreamedRunShowsAndWritesWhatTheWholeReportGives) {
    const std::uint64_t seed = dxftest::PropertySeed();
    std::mt19937_64 rng(seed);
    int stopped = 0;
    constexpr int kDrawings = 3;
    for (int d = 0; d < kDrawings; ++d) {
        const int figures = 3000 + static_cast<int>(rng() % 400);
        const dxftest::GeneratedDrawing g = dxftest::MakeDrawing(rng, 12, figures);
        // Places enough for every arc to be rebuilt: a run stops only at
        // the failing call.
        Settings s = RandomSettings(rng);
        s.decimals = 4 + static_cast<int>(rng() % 2);
        const bool colour = rng() % 2 == 0;
        // None, one in the first run of the command, one in a later run.
        const std::optional<std::size_t> failAt =
            d == 0 ? std::nullopt : std::optional<std::size_t>(rng() % 3000 + (d == 2 ? 3000 : 0));
        SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed) + ", drawing " + std::to_string(d) +
                     ": " + std::to_string(figures) + " figures, d_point " +
                     std::to_string(s.decimals) + (s.exploded ? ", exploded" : "") +
                     (colour ? ", colour" : "") + ", failing at figure " +
                     (failAt ? std::to_string(*failAt) : "none"));
        const Outcome streamed = RunOnce(g.text, s, colour, failAt, true);
        const Outcome whole = RunOnce(g.text, s, colour, failAt, false);
        EXPECT_EQ(streamed.pointTaken, whole.pointTaken);
        EXPECT_EQ(streamed.reportedError, whole.reportedError);
        EXPECT_EQ(streamed.summary, whole.summary);
        EXPECT_EQ(streamed.firstMessage, whole.firstMessage);
        EXPECT_EQ(streamed.notes, whole.notes);
        EXPECT_TRUE(streamed.text == whole.text) << "the drawings written differ";
        stopped += whole.reportedError ? 1 : 0;
    }
    // The drawing with no failing call may stop by itself (an arc no radius
    // rebuilds at these settings); the other two always stop.
    EXPECT_GE(stopped, kDrawings - 1);
}

}  // namespace
