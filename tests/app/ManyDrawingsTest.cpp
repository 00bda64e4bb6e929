// Many drawings in one command, as a user runs it: each output byte for byte
// what a run of that drawing alone writes, one summary and one report that
// agree with the runs alone, a failed drawing named while the others are
// written, and arguments refused before anything runs.
#include "tests/app/DxfGenerated.h"
#include "tests/app/VekhostFixture.h"
#include "tools/vekhost/Files.h"
#include "tools/vekhost/ManyDrawings.h"
#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/TextConvert.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace vekhosttest;
using Json = nlohmann::json;

class ManyDrawings : public Vekhost {
protected:
    // Generated DXF drawings (in a folder of their own) and one JSON drawing.
    std::vector<std::string> MakeDrawings(uint64_t seed, int count) {
        std::mt19937_64 rng(seed);
        fs::create_directories(folder_ / "in");
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) {
            const std::string name = "in/d" + std::to_string(i) + ".dxf";
            WriteFile(folder_ / name, dxftest::MakeDrawing(rng, 6 + i % 12).text);
            names.push_back(Path(name));
        }
        vekhost::Reset();
        vekhost::AddSegment({vekhost::Line(0.26, 0, 1.04, 0.5)});
        names.push_back(SaveDrawing("in/plain.json"));
        return names;
    }
    // What a run of `drawing` alone writes, and its report.
    struct Alone {
        std::string output;
        std::string report;
    };
    Alone RunAlone(const std::string& drawing, const std::vector<std::string>& options,
                   const std::string& reportExtension) {
        const std::string name = vekhost_tool::PathText(fs::path(drawing).filename());
        std::vector<std::string> args = {"run",      drawing,
                                         "-o",       Path("alone-" + name),
                                         "--report", Path("alone-report" + reportExtension)};
        args.insert(args.end(), options.begin(), options.end());
        const Outcome outcome = RunVekhost(args);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
        return {ReadFile(folder_ / ("alone-" + name)),
                ReadFile(folder_ / ("alone-report" + reportExtension))};
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// A plain run keeps no figure's report: the combined summary still names
// the largest movement from each run's own summary.
TEST_F(ManyDrawings, WithoutAReportTheSummaryStillNamesTheLargestMovement) {
    const uint64_t seed = dxftest::PropertySeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::vector<std::string> args = {"run", "--ref", "0.3,-0.1", "--out-dir", Path("out")};
    for (const std::string& drawing : MakeDrawings(seed, 3)) {
        args.push_back(drawing);
    }

    const Outcome many = RunVekhost(args);

    ASSERT_EQ(many.exitCode, 0) << many.output;
    EXPECT_TRUE(Contains(many.output, " written, 0 failed")) << many.output;
    EXPECT_TRUE(Contains(many.output, "Largest movement: ")) << many.output;
    EXPECT_FALSE(Contains(many.output, "Largest movement: 0 (no point moved)")) << many.output;
}

// Each case: the options given to the runs, how many at a time.
struct OptionCase {
    std::vector<std::string> options;
    const char* jobs;
};

TEST_F(ManyDrawings, EachOutputAndReportIsWhatItsRunAloneWrites) {
    const uint64_t seed = dxftest::PropertySeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    const std::vector<std::string> drawings = MakeDrawings(seed, 4);
    // Settings are given with one run at a time: a stored setting is the
    // same file for every run.
    const OptionCase cases[] = {
        {{"--ref", "0.3,-0.1"}, "2"},
        {{"--ref", "1,2", "--set", "d_point=1", "--set", "inchmm=1", "--force"}, "1"},
        {{"--ref", "0,0", "--set", "d_point=4", "--set", "IsExploded=1"}, "1"},
    };
    for (const OptionCase& c : cases) {
        for (const std::string extension : {".json", ".csv"}) {
            SCOPED_TRACE(c.options[1] + " " + extension);
            std::vector<std::string> args = {"run"};
            args.insert(args.end(), drawings.begin(), drawings.end());
            args.insert(args.end(), {"--out-dir", Path("out"), "-j", c.jobs, "--report",
                                     Path("many" + extension)});
            args.insert(args.end(), c.options.begin(), c.options.end());
            const Outcome many = RunVekhost(args);
            ASSERT_EQ(many.exitCode, 0) << many.output;
            const std::string combined = ReadFile(folder_ / ("many" + extension));
            const Json manyJson = extension == ".json" ? Json::parse(combined) : Json();
            size_t picked = 0;
            for (const std::string& drawing : drawings) {
                SCOPED_TRACE(drawing);
                const Alone alone = RunAlone(drawing, c.options, extension);
                const fs::path name = fs::path(drawing).filename();
                EXPECT_TRUE(ReadFile(folder_ / "out" / name) == alone.output);
                if (extension == ".csv") {
                    // The drawing's rows are its report's, behind its name.
                    std::vector<std::string> rows = Lines(alone.report);
                    for (size_t r = 1; r < rows.size(); ++r) {
                        EXPECT_TRUE(Contains(combined, drawing + "," + rows[r])) << rows[r];
                    }
                    continue;
                }
                Json report = Json::parse(alone.report);
                picked += report["summary"]["figuresPicked"].get<size_t>();
                Json figures = Json::array();
                for (Json figure : manyJson["figures"]) {
                    if (figure["drawing"] == drawing) {
                        figure.erase("drawing");
                        figures.push_back(figure);
                    }
                }
                EXPECT_EQ(figures, report["figures"]);
            }
            if (extension == ".json") {
                EXPECT_EQ(manyJson["summary"]["picked"], picked);
                EXPECT_TRUE(Contains(many.output, "Figures: " + std::to_string(picked) + " picked"))
                    << many.output;
            }
            EXPECT_TRUE(Contains(many.output, "Drawings: 5 given, 5 written, 0 failed"))
                << many.output;
        }
    }
}

TEST_F(ManyDrawings, AFailedDrawingIsNamedAndTheOthersAreWritten) {
    const std::vector<std::string> drawings = MakeDrawings(7, 2);
    WriteFile(folder_ / "in" / "broken.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nx\n");
    const Outcome many =
        RunVekhost({"run", drawings[0], Path("in/broken.dxf"), Path("in/none.dxf"), drawings[1],
                    "--ref", "0,0", "--out-dir", Path("out"), "--report", Path("many.csv")});
    EXPECT_EQ(many.exitCode, 1);
    EXPECT_TRUE(Contains(many.output, "2 of 4 drawings failed: " + Path("in/broken.dxf") + ", " +
                                          Path("in/none.dxf")))
        << many.output;
    EXPECT_TRUE(Contains(many.output, "line 8")) << many.output;
    EXPECT_TRUE(Contains(many.output, "no such file")) << many.output;
    EXPECT_TRUE(fs::exists(folder_ / "out" / "d0.dxf"));
    EXPECT_TRUE(fs::exists(folder_ / "out" / "d1.dxf"));
    EXPECT_FALSE(fs::exists(folder_ / "out" / "broken.dxf"));
    const std::string report = ReadFile(folder_ / "many.csv");
    EXPECT_TRUE(Contains(report, Path("in/none.dxf") + ",,,failed,drawing,")) << report;
}

TEST_F(ManyDrawings, ArgumentsAreRefusedBeforeAnythingRuns) {
    const std::vector<std::string> drawings = MakeDrawings(3, 1);
    fs::create_directories(folder_ / "other");
    WriteFile(folder_ / "other" / "D0.DXF", ReadFile(drawings[0]));
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{drawings[0], Path("other/D0.DXF"), "--out-dir", Path("out")}, "would both be written to"},
        {{drawings[0], drawings[0], "--out-dir", Path("out")}, "would both be written to"},
        {{drawings[0], "--out-dir", Path("out"), "-o", Path("x.dxf")}, "no -o, --svg or --list"},
        {{drawings[0], "--out-dir", Path("out"), "--svg", Path("x.svg")}, "no -o, --svg or --list"},
        {{drawings[0], "--out-dir", Path("out"), "--list"}, "no -o, --svg or --list"},
        {{drawings[0], drawings[1], "-o", Path("x.dxf")}, "give --out-dir DIR"},
        {{drawings[0], "--out-dir", Path("out"), "-j", "0"}, "-j wants a whole number"},
        {{drawings[0], "--out-dir", Path("out"), "-j", "two"}, "-j wants a whole number"},
        {{drawings[0], drawings[1], "--out-dir", Path("out"), "--report", Path("out/plain.json")},
         "--report names the output"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"run", "--ref", "0,0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome outcome = RunVekhost(args);
        EXPECT_EQ(outcome.exitCode, 2) << outcome.output;
        EXPECT_TRUE(Contains(outcome.output, c.says)) << outcome.output;
        EXPECT_FALSE(fs::exists(folder_ / "out"));
    }
}

#ifndef _WIN32
// The command stopped while its runs work: it stops them and ends by the
// signal, its scratch folder gone, no temporary file left, and each output
// there whole.
TEST_F(ManyDrawings, AnInterruptedCommandStopsItsRunsAndLeavesNothingBehind) {
    const uint64_t seed = dxftest::PropertySeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 rng(seed);
    std::string drawing =
        "0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n8\n0\n10\n1.23456\n20\n2\n30\n0\n40\n3.1\n";
    for (int i = 0; i < 100000; ++i) {
        drawing += "0\nPOINT\n8\n0\n10\n" + std::to_string(i) + ".5\n20\n2\n30\n0\n";
    }
    drawing += "0\nENDSEC\n0\nEOF\n";
    std::vector<std::string> args = {"vekhost", "run", "--ref",     "0,0",
                                     "-j",      "2",   "--out-dir", Path("out")};
    fs::create_directories(folder_ / "in");
    for (const char* name : {"a.dxf", "b.dxf", "c.dxf", "d.dxf"}) {
        WriteFile(folder_ / "in" / name, drawing);
        args.push_back(Path(std::string("in/") + name));
    }
    ASSERT_EQ(RunVekhost({"run", args.back(), "--ref", "0,0", "-o", Path("alone.dxf")}).exitCode,
              0);
    const std::string alone = ReadFile(folder_ / "alone.dxf");
    fs::create_directories(folder_ / "tmp");
    setenv("TMPDIR", Path("tmp").c_str(), 1);
    const std::string program = (vekhost_tool::ExecutableFolder() / "vekhost").string();
    for (int stop = 0; stop < 2; ++stop) {
        fs::remove_all(folder_ / "out");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::vector<char*> argv;
            for (std::string& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            freopen("/dev/null", "w", stdout);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        const double at = std::uniform_real_distribution<double>(0.2, 2.0)(rng);
        std::this_thread::sleep_for(std::chrono::duration<double>(at));
        kill(child, SIGTERM);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        SCOPED_TRACE("stopped after " + std::to_string(at) + " s");
        // A command that finished before the signal came (on a quick
        // machine) must have written every drawing whole.
        const bool finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        EXPECT_TRUE(finished || (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM)) << status;
        if (finished) {
            EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "out"), {}), 4);
        }
        EXPECT_TRUE(fs::is_empty(folder_ / "tmp"));
        std::error_code missing;
        for (const auto& entry : fs::directory_iterator(folder_ / "out", missing)) {
            const std::string name = vekhost_tool::PathText(entry.path().filename());
            EXPECT_FALSE(vekhost_tool::IsTemporaryName(name)) << name;
            EXPECT_TRUE(ReadFile(entry.path()) == alone) << name;
        }
    }
    unsetenv("TMPDIR");
}
#endif

// The drawings and the options of the many-drawing command itself stay
// behind; every other option goes on with its value, in any form CLI11 reads.
TEST(ManyDrawingsArguments, EachRunGetsTheOtherOptionsAsGiven) {
    using Args = std::vector<std::string>;
    const struct {
        Args given;
        Args passed;
    } cases[] = {
        {{"a.dxf", "--ref", "1,2", "b.dxf", "--out-dir", "o", "-j", "2", "--report", "r.csv",
          "--set", "d_point=2", "--force", "-k", "--list", "c.dxf"},
         {"--ref", "1,2", "--set", "d_point=2", "--force", "-k", "--list"}},
        {{"--out-dir=o", "-j4", "--ref=1,2", "a.dxf", "--jobs=3", "--report=r.json"},
         {"--ref=1,2"}},
        {{"--ref", "-1,2", "a.dxf", "--no-join", "--select", "all", "--keep-going", "--svg", "x"},
         {"--ref", "-1,2", "--no-join", "--select", "all", "--keep-going", "--svg", "x"}},
        {{"a.dxf", "--summary-to", "s.json", "--join-tolerance", "1e-3", "-o", "o.dxf"},
         {"--join-tolerance", "1e-3", "-o", "o.dxf"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vekhost_tool::PassedOnArguments(c.given), c.passed);
    }
}

}  // namespace
