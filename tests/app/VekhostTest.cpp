// The host driver as a user runs it: the vekhost program beside this test,
// started as a separate process with its output captured.
#include "tests/app/VekhostFixture.h"
#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/SettingsAccess.h"
#include "tools/vekhost/TextConvert.h"
#include "platform/veklib/VekHost.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace vekhosttest;

namespace {

TEST_F(Vekhost, DemoShowsTheTypicalConversion) {
    const Outcome demo = RunVekhost({"demo"});

    EXPECT_EQ(demo.exitCode, 0) << demo.output;
    for (const char* expected : {
             "message line:  기준점지시/기준점입력(확정-설정창Open) :",
             "by the cursor: 기준점",
             "> give the reference point (10, 20)",
             "message line: 소수점 자리수 변환하실 형상을 지시하세요.",
             // The outline before and after, on a grid through (10, 20).
             "line     (12.34567, 20.98765) - (62.3456789, 20.98765)",
             "line     (12.346, 20.988) - (62.346, 20.988)",
             "rounded corner, radius 5.432,",
             "message box: 총 1개의 형상을 수정하였습니다.",
             // Inches to millimetres, two places: the lone circle.
             "circle   centre (130.14, 39.82), radius 7.93",
             "message box: 총 3개의 형상을 수정하였습니다.",
         }) {
        EXPECT_TRUE(Contains(demo.output, expected)) << "missing: " << expected << "\n"
                                                     << demo.output;
    }
    // The demo keeps the user's own settings as they were.
    EXPECT_TRUE(StoreIsEmpty());
}

TEST_F(Vekhost, HelpDescribesEveryCommand) {
    const Outcome help = RunVekhost({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command : {"vekhost demo", "vekhost run", "vekhost settings"}) {
        EXPECT_TRUE(Contains(help.output, command)) << command;
    }
}

TEST_F(Vekhost, RunConvertsThePickedFiguresWithSettingsForThatRunAlone) {
    vekhost::Reset();
    const VekId picked = vekhost::AddSegment({vekhost::Line(0.26, 0, 1.04, 0)});
    const VekId other = vekhost::AddSegment({vekhost::Line(0.26, 5, 1.04, 5)});
    const std::string drawing = SaveDrawing("in.json");
    const std::string out = Path("out.json");

    const Outcome run =
        RunVekhost({"run", drawing, "--ref", "0,0", "--select", std::to_string(picked), "--set",
                    "d_point=1", "--set", "isexploded=0", "-o", out});

    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "총 1개의 형상을 수정하였습니다.")) << run.output;
    vekhost::FromJson(ReadFile(folder_ / "out.json"));
    ASSERT_EQ(vekhost::SegmentCount(), 2u);
    EXPECT_FALSE(vekhost::GetSegment(picked));
    EXPECT_DOUBLE_EQ(vekhost::GetSegment(other)->elements[0].figure.p1[0], 0.26);
    const auto converted = vekhost::GetSegment(vekhost::Segments().back());
    EXPECT_DOUBLE_EQ(converted->elements[0].figure.p1[0], 0.3);
    EXPECT_DOUBLE_EQ(converted->elements[0].figure.p2[0], 1.0);
    // Nothing was stored: not the run's values, nor the defaults the
    // command's start writes for values it cannot read.
    EXPECT_TRUE(StoreIsEmpty());

    // The next run without --set has the stored settings (none: the defaults).
    const Outcome again = RunVekhost({"run", drawing, "--ref", "0,0", "-o", out});
    ASSERT_EQ(again.exitCode, 0) << again.output;
    EXPECT_TRUE(Contains(again.output, "Settings: d_point 3 (grid step 0.001)")) << again.output;

    // `settings --set` stores them for later runs; a run's --set still wins
    // for that run alone.
    const Outcome stored = RunVekhost({"settings", "--set", "d_point=1", "--set", "Color=1"});
    ASSERT_EQ(stored.exitCode, 0) << stored.output;
    EXPECT_TRUE(Contains(stored.output, "d_point = \"1\"")) << stored.output;
    const Outcome later = RunVekhost({"run", drawing, "--ref", "0,0", "-o", out});
    EXPECT_TRUE(Contains(later.output, "Settings: d_point 1 (grid step 0.1)")) << later.output;
    const Outcome once =
        RunVekhost({"run", drawing, "--ref", "0,0", "--set", "d_point=2", "-o", out});
    EXPECT_TRUE(Contains(once.output, "Settings: d_point 2 (grid step 0.01)")) << once.output;
    EXPECT_EQ(Stored("d_point"), "1");
    EXPECT_EQ(Stored("Color"), "1");
    EXPECT_FALSE(Stored("inchmm"));
}

// Rows of a CSV file as RFC 4180 writes them (quoted fields, doubled quotes).
std::vector<std::vector<std::string>> CsvRows(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.erase(0, 3);
    }
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                rows.back().back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                rows.back().back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\n') {
            rows.emplace_back(1);
        } else if (c != '\r') {
            rows.back().back() += c;
        }
    }
    if (rows.back().size() == 1 && rows.back()[0].empty()) {
        rows.pop_back();
    }
    return rows;
}

double CsvNumber(const std::string& text) {
    return text.empty() ? NAN : std::strtod(text.c_str(), nullptr);
}

std::string SourceText(const nlohmann::json& source) {
    return "segment " + std::to_string(source.at("segment").get<long>());
}

// The same run reported as JSON and CSV gives the same figures and items.
TEST_F(Vekhost, JsonAndCsvReportsAgree) {
    vekhost::Reset();
    const VekId walls = vekhost::AddLayer("walls & <doors> 벽");
    // An arc among lines that the arc rule cannot close (see RunReportTest),
    // a square with a rounded corner off the grid, and a circle.
    const double x = 1.04 * std::cos(0.1);
    const double y = 1.04 * std::sin(0.1);
    vekhost::AddSegment({vekhost::Line(2 * x, 2 * y, x, y), vekhost::Arc(0, 0, x, y, -x, y),
                         vekhost::Line(-x, y, -2 * x, 2 * y)},
                        false, walls);
    const VekId square = vekhost::AddSegment(
        {vekhost::Line(0.01, -3, 3.02, -3), vekhost::Line(3.02, -3, 3.02, -0.03),
         vekhost::Line(3.02, -0.03, 0.01, -0.03), vekhost::Line(0.01, -0.03, 0.01, -3)},
        true);
    const auto elements = vekhost::GetSegment(square)->elements;
    VekFigAddCorner(elements[1].id, elements[2].id, 0, 0.77);
    vekhost::AddSegment({vekhost::Circle(5.03, 0.02, 0.5)});
    const std::string drawing = SaveDrawing("in.json");
    const std::vector<std::string> common = {"run",   drawing,     "--ref", "0.04,0",
                                             "--set", "d_point=1", "--set", "IsExploded=0"};
    auto with = [&common](std::vector<std::string> more) {
        more.insert(more.begin(), common.begin(), common.end());
        return more;
    };

    const Outcome json = RunVekhost(
        with({"-o", Path("out1.json"), "--report", Path("r.json"), "--svg", Path("run.svg")}));
    const Outcome csv = RunVekhost(with({"-o", Path("out2.json"), "--report", Path("r.csv")}));

    ASSERT_EQ(json.exitCode, 0) << json.output;
    ASSERT_EQ(csv.exitCode, 0) << csv.output;
    EXPECT_TRUE(Contains(json.output, "Gaps opened: 2, largest 0.1")) << json.output;
    EXPECT_TRUE(Contains(json.output, "Arcs corrected: 1 of 1")) << json.output;
    const auto report = nlohmann::json::parse(ReadFile(folder_ / "r.json"));
    const auto rows = CsvRows(ReadFile(folder_ / "r.csv"));
    ASSERT_FALSE(rows.empty());
    std::map<std::string, size_t> column;
    for (size_t c = 0; c < rows[0].size(); ++c) {
        column[rows[0][c]] = c;
    }
    auto cell = [&](size_t row, const char* name) { return rows.at(row).at(column.at(name)); };

    // Rows in order: each figure, then its corners, arcs, gaps and dropped elements.
    size_t row = 1;
    for (const auto& figure : report.at("figures")) {
        const std::string source = SourceText(figure.at("source"));
        ASSERT_LT(row, rows.size());
        EXPECT_EQ(cell(row, "item"), "figure");
        EXPECT_EQ(cell(row, "source"), source);
        EXPECT_EQ(cell(row, "layer"), figure.at("layer").get<std::string>());
        EXPECT_EQ(cell(row, "status"), figure.at("status").get<std::string>());
        EXPECT_EQ(CsvNumber(cell(row, "elements_before")), figure.at("elementsBefore"));
        EXPECT_EQ(CsvNumber(cell(row, "elements_after")), figure.at("elementsAfter"));
        EXPECT_EQ(CsvNumber(cell(row, "moved_points")), figure.at("movedPoints"));
        EXPECT_EQ(CsvNumber(cell(row, "mean_movement")), figure.at("meanMovement"));
        EXPECT_EQ(CsvNumber(cell(row, "largest_movement")),
                  figure.at("largestMovement").at("distance"));
        ++row;
        for (const auto& corner : figure.at("corners")) {
            EXPECT_EQ(cell(row, "item"), "corner");
            EXPECT_EQ(CsvNumber(cell(row, "element")), corner.at("element"));
            EXPECT_EQ(CsvNumber(cell(row, "size_before")), corner.at("sizeBefore"));
            EXPECT_EQ(CsvNumber(cell(row, "size_asked")), corner.at("sizeAsked"));
            EXPECT_EQ(CsvNumber(cell(row, "size_accepted")), corner.at("sizeAccepted"));
            ++row;
        }
        for (const auto& arc : figure.at("arcs")) {
            EXPECT_EQ(cell(row, "item"), "arc");
            EXPECT_EQ(cell(row, "detail"), arc.at("rule").get<std::string>());
            EXPECT_EQ(CsvNumber(cell(row, "size_accepted")), arc.at("radiusFound"));
            ++row;
        }
        for (const auto& gap : figure.at("gaps")) {
            EXPECT_EQ(cell(row, "item"), "gap");
            EXPECT_EQ(cell(row, "source"), source);
            EXPECT_EQ(CsvNumber(cell(row, "distance")), gap.at("distance"));
            ++row;
        }
        row += figure.at("dropped").size();
    }
    EXPECT_EQ(row, rows.size());
    EXPECT_EQ(report.at("summary").at("gaps"), 2);
    EXPECT_EQ(report.at("summary").at("corners"), 1);

    // The picture itself is checked in RunReportTest.
    EXPECT_TRUE(Contains(ReadFile(folder_ / "run.svg"), "walls &amp; &lt;doors&gt; 벽"));
}

struct Refusal {
    const char* name;
    std::vector<std::string> args;  // IN, OUT and DIR stand for the test's files
    int exitCode;
    const char* message;
};

void PrintTo(const Refusal& refusal, std::ostream* os) {
    *os << refusal.name;
}

class VekhostRefuses : public Vekhost, public ::testing::WithParamInterface<Refusal> {};

TEST_P(VekhostRefuses, WithoutTouchingTheOutput) {
    vekhost::Reset();
    vekhost::AddSegment({vekhost::Line(0, 0, 1, 1)});
    SaveDrawing("in.json");
    WriteFile(folder_ / "bad.json", "{ \"segments\": [ 1, 2");
    WriteFile(folder_ / "out.json", "previous contents");
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args) {
        args.push_back(arg == "IN"     ? Path("in.json")
                       : arg == "BAD"  ? Path("bad.json")
                       : arg == "NONE" ? Path("missing.json")
                       : arg == "DIR"  ? vekhost_tool::PathText(folder_)
                       : arg == "OUT"  ? Path("out.json")
                                       : arg);
    }

    const Outcome run = RunVekhost(args);

    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.output;
    EXPECT_TRUE(Contains(run.output, GetParam().message)) << run.output;
    EXPECT_EQ(ReadFile(folder_ / "out.json"), "previous contents");
    // Settings are never stored by a run, refused or not.
    EXPECT_TRUE(StoreIsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, VekhostRefuses,
    ::testing::Values(
        Refusal{"NoCommand", {}, 2, "no command given"},
        Refusal{"UnknownCommand", {"convert"}, 2, "unknown command 'convert'"},
        Refusal{"MissingFile",
                {"run", "NONE", "--ref", "0,0", "--set", "d_point=2", "-o", "OUT"},
                1,
                "no such file"},
        Refusal{"Folder", {"run", "DIR", "--ref", "0,0", "-o", "OUT"}, 1, "is a folder"},
        Refusal{"Malformed",
                {"run", "BAD", "--ref", "0,0", "--set", "d_point=2", "-o", "OUT"},
                1,
                "is not a drawing file"},
        Refusal{"NoReference", {"run", "IN", "-o", "OUT"}, 2, "--ref X,Y"},
        Refusal{"ReferenceNotNumbers",
                {"run", "IN", "--ref", "1,x", "-o", "OUT"},
                2,
                "--ref wants two numbers"},
        Refusal{"ReferenceOneNumber",
                {"run", "IN", "--ref", "1", "-o", "OUT"},
                2,
                "--ref wants two numbers"},
        Refusal{"ReferenceInfinite",
                {"run", "IN", "--ref", "inf,0", "-o", "OUT"},
                2,
                "--ref wants two numbers"},
        Refusal{"NoOutput", {"run", "IN", "--ref", "0,0"}, 2, "-o OUT.json"},
        Refusal{
            "OptionWithoutValue", {"run", "IN", "--ref", "0,0", "-o"}, 2, "--output: 1 required"},
        Refusal{"UnknownSetting",
                {"run", "IN", "--ref", "0,0", "--set", "digits=2", "-o", "OUT"},
                2,
                "--set wants NAME=VALUE"},
        Refusal{"SettingWithoutValue",
                {"run", "IN", "--ref", "0,0", "--set", "d_point", "-o", "OUT"},
                2,
                "--set wants NAME=VALUE"},
        Refusal{
            "SettingNotInThePalette",
            {"run", "IN", "--ref", "0,0", "--set", "mColor1=" + std::string(127, 'A'), "-o", "OUT"},
            2,
            "mColor1 must be a colour of the palette: MAINCOLOR01, "},
        Refusal{"PlacesNotANumber",
                {"run", "IN", "--ref", "0,0", "--set", "d_point=abc", "-o", "OUT"},
                2,
                "d_point must be a whole number from -308 to 308"},
        Refusal{"UnitModeUnknown",
                {"run", "IN", "--ref", "0,0", "--set", "inchmm=7", "-o", "OUT"},
                2,
                "inchmm must be 0 (units kept), 1 (inches to millimetres) or 2"},
        Refusal{
            "SettingsWithOtherArguments", {"settings", "--fast"}, 2, "settings takes only --set"},
        Refusal{"SettingsSetWithoutValue", {"settings", "--set"}, 2, "--set needs a value"},
        Refusal{"SettingsSetRefused",
                {"settings", "--set", "d_point=1", "--set", "Color=2"},
                2,
                "Color must be 0 (colour and line type kept) or 1"},
        Refusal{"UnknownFigure",
                {"run", "IN", "--ref", "0,0", "--select", "99", "-o", "OUT"},
                1,
                "has no figure 99"},
        Refusal{"BadSelection",
                {"run", "IN", "--ref", "0,0", "--select", "1,,2", "-o", "OUT"},
                2,
                "--select wants"},
        Refusal{"UnknownOption",
                {"run", "IN", "--ref", "0,0", "--fast", "-o", "OUT"},
                2,
                "unknown option '--fast'"},
        Refusal{"ReportOfUnknownForm",
                {"run", "IN", "--ref", "0,0", "-o", "OUT", "--report", "report.txt"},
                2,
                "--report wants a file name ending in .json or .csv"},
        Refusal{"PictureOverTheOutput",
                {"run", "IN", "--ref", "0,0", "-o", "OUT", "--svg", "OUT"},
                2,
                "--svg and -o name the same file"},
        Refusal{"TwoDrawings",
                {"run", "IN", "IN", "--ref", "0,0", "-o", "OUT"},
                2,
                "give --out-dir DIR"}),
    [](const ::testing::TestParamInfo<Refusal>& param) { return std::string(param.param.name); });

TEST_F(Vekhost, CommandErrorLeavesTheOutputAlone) {
    // No circle through the arc's ends, which round to one point in inches
    // at one place: the standard pass stops there.
    vekhost::Reset();
    const double end = 240 * std::numbers::pi / 180;
    vekhost::AddSegment({vekhost::Line(23.75, 0, 23.75, 10),
                         vekhost::Arc(22.5, 10, 23.75, 10, 22.5 + 1.25 * std::cos(end),
                                      10 + 1.25 * std::sin(end))});
    const std::string drawing = SaveDrawing("arc.json");
    WriteFile(folder_ / "out.json", "previous contents");

    const Outcome run = RunVekhost({"run", drawing, "--ref", "0,0", "--set", "d_point=1", "--set",
                                    "inchmm=2", "--set", "IsExploded=0", "-o", Path("out.json"),
                                    "--report", Path("report.csv"), "--svg", Path("run.svg")});

    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Contains(run.output,
                         "Figures: 1 picked, 0 converted, 1 left untouched (the run stopped at "
                         "segment 1: 원호를 보정할 수 없습니다(반복문) [no radius near the rounded "
                         "one fits"))
        << run.output;
    EXPECT_TRUE(Contains(run.output, "were not written")) << run.output;
    EXPECT_EQ(ReadFile(folder_ / "out.json"), "previous contents");
    EXPECT_FALSE(fs::exists(folder_ / "report.csv"));
    EXPECT_FALSE(fs::exists(folder_ / "run.svg"));
}

#ifdef _WIN32
// A run stopped with Ctrl+C leaves its own settings key behind; the next run
// removes it.
TEST_F(Vekhost, RunRemovesTheSettingsKeysOfEndedRuns) {
    const wchar_t* const leftover = L"Software\\Tarnex scratch settings 4294967292";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, leftover, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    vekhost::Reset();
    vekhost::AddSegment({vekhost::Line(0, 0, 1, 1)});

    const Outcome run =
        RunVekhost({"run", SaveDrawing("in.json"), "--ref", "0,0", "-o", Path("out.json")});

    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, leftover, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}
#endif

#ifndef _WIN32
// (A copy of vekhost.exe alone would not even start on Windows: it imports
// VekLib.dll.)
TEST_F(Vekhost, SaysSoWhenThePluginIsNotBesideIt) {
    const fs::path lone = folder_ / "vekhost";
    fs::copy_file(vekhost_tool::ExecutableFolder() / "vekhost", lone);
    vekhost::Reset();
    vekhost::AddSegment({vekhost::Line(0, 0, 1, 1)});
    const std::string drawing = SaveDrawing("in.json");
    WriteFile(folder_ / "out.json", "previous contents");

    const std::string line = Quoted(lone.string()) + " run " + Quoted(drawing) + " --ref 0,0 -o " +
                             Quoted(Path("out.json")) + " 2>&1";
    FILE* pipe = popen(line.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    const int status = pclose(pipe);

    EXPECT_EQ(WEXITSTATUS(status), 1) << output;
    EXPECT_TRUE(Contains(output, "cannot load " + (folder_ / "Tarnex.so").string())) << output;
    EXPECT_EQ(ReadFile(folder_ / "out.json"), "previous contents");
}

// On Windows this opens the real dialog, which needs a user in front of it.
TEST_F(Vekhost, SettingsPressesTheConfirmKeyInTheFirstStage) {
    const Outcome settings = RunVekhost({"settings"});
    EXPECT_EQ(settings.exitCode, 0) << settings.output;
    EXPECT_TRUE(Contains(settings.output, "> press the confirm key")) << settings.output;
    EXPECT_TRUE(Contains(settings.output, "the command answered 0")) << settings.output;
    // The command's start wrote the defaults of an empty store.
    EXPECT_TRUE(Contains(settings.output, "d_point = \"3\"")) << settings.output;
}
#endif

}  // namespace
