// The whole `vekhost run` on a generated DXF drawing of 1,000,000 entities:
// chains of lines and arcs (a staircase whose corners are tangent arcs, which
// the standard pass rebuilds as rounded corners) and polylines with bulges,
// in at most 3000 figures (the most one run of the standard pass takes).
// Times each step in this process (reading, finding the figures, loading
// them into the host, the pass alone, the run with its report, writing
// back, writing the file), then runs the vekhost program on the file and
// measures its time and peak memory. Prints the ratios the goals are set
// in: reading and writing at 200 MB/s or more, the whole run within 3 times
// the pass alone, peak memory at most 3 times the file.
//
//   dxf_run_bench [ENTITIES] [--exploded]
//   dxf_run_bench --generate ENTITIES FILE   writes the drawing only
#include "bench/DxfSample.h"
#include "tools/dxf/DxfEntities.h"
#include "tools/vekhost/DxfDrawing.h"
#include "tools/vekhost/Files.h"
#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/RunSteps.h"
#include "platform/veklib/VekHost.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace fs = std::filesystem;
using namespace vekhost_tool;

namespace {

using dxfbench::Round4;

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& step) {
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Chains of `links` lines joined by quarter arcs, turning left and right in
// turn; polylines of the same staircase as bulges.
std::string Generate(std::size_t entities) {
    const std::string base = dxfbench::EmptyDrawing("  9\n$INSUNITS\n 70\n4\n");
    dxf::Document doc = dxf::Document::Parse(base);
    constexpr std::size_t kChainEntities = 400;  // lines and arcs of a chain
    constexpr std::size_t kPolylineVertices = 500;
    const std::size_t polylines = 400 * entities / 1000000;
    const std::size_t chains = (entities - polylines) / kChainEntities;
    dxf::Style style;
    std::string text;
    for (std::size_t c = 0; c < chains + polylines; ++c) {
        style.layer = "Layer" + std::to_string(c % 7);
        double x = Round4(static_cast<double>(c % 50) * 3000.0 + 0.12345);
        double y = Round4(static_cast<double>(c / 50) * 3000.0 + 0.06789);
        const double r = Round4(1 + static_cast<double>(c % 13) * 0.0371);
        if (c >= chains) {
            dxf::Polyline poly;
            for (std::size_t v = 0; v < kPolylineVertices; ++v) {
                // East, quarter turn left, north, quarter turn right, ...
                const bool east = v % 4 < 2;
                const bool arc = v % 2 == 1;
                poly.vertices.push_back(
                    {x, y, arc ? (v % 4 == 1 ? 0.41421356237309503 : -0.41421356237309503) : 0});
                if (arc) {
                    x = Round4(x + r);
                    y = Round4(y + r);
                } else if (east) {
                    x = Round4(x + 3.1415);
                } else {
                    y = Round4(y + 2.7183);
                }
            }
            text += dxf::NewEntity(doc, poly, style);
            continue;
        }
        for (std::size_t k = 0; k < kChainEntities; k += 4) {
            const double length = Round4(3.1415 + static_cast<double>(k % 7) * 0.1);
            text += dxf::NewEntity(doc, dxf::Line{{x, y, 0}, {x + length, y, 0}}, style);
            x = Round4(x + length);
            // Turning left: centre above, from 270 to 0 degrees.
            text += dxf::NewEntity(doc, dxf::Arc{{x, y + r, 0}, r, 270, 0}, style);
            x = Round4(x + r);
            y = Round4(y + r);
            text += dxf::NewEntity(doc, dxf::Line{{x, y, 0}, {x, y + 2.7183, 0}}, style);
            y = Round4(y + 2.7183);
            // Turning right: centre to the right, from 90 to 180 degrees,
            // run clockwise.
            text += dxf::NewEntity(doc, dxf::Arc{{x + r, y, 0}, r, 90, 180}, style);
            x = Round4(x + r);
            y = Round4(y + r);
        }
    }
    doc.AppendEntities(std::move(text));
    return doc.Write();
}

std::string Machine() {
    std::ifstream cpu("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpu, line)) {
        if (line.rfind("model name", 0) == 0) {
            return line.substr(line.find(':') + 2);
        }
    }
    return "unknown CPU";
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t count = 1000000;
    bool exploded = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--generate") == 0 && i + 2 < argc) {
            std::ofstream(argv[i + 2], std::ios::binary)
                << Generate(std::strtoul(argv[i + 1], nullptr, 10));
            return 0;
        }
        if (std::strcmp(argv[i], "--exploded") == 0) {
            exploded = true;
        } else {
            count = std::strtoul(argv[i], nullptr, 10);
        }
    }
    const fs::path folder =
        fs::temp_directory_path() / ("dxf_run_bench_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path input = folder / "drawing.dxf";
    const fs::path output = folder / "out.dxf";
    const std::string registry = (folder / "registry.txt").string();
    setenv("TARNEX_REGISTRY_FILE", registry.c_str(), 1);
    { std::ofstream(input, std::ios::binary) << Generate(count); }
    const double mb = static_cast<double>(fs::file_size(input)) / 1e6;
    std::printf(
        "vekhost run on %zu entities, %.1f MB (R2000, LF), %s pass, d_point 3; %s, %ld CPUs\n",
        count, mb, exploded ? "exploded" : "standard", Machine().c_str(),
        sysconf(_SC_NPROCESSORS_ONLN));
    auto report = [mb](const char* what, double s) {
        std::printf("  %-44s %7.3f s  %7.0f MB/s\n", what, s, mb / s);
    };
    std::string error;
    const std::vector<std::pair<std::string, std::string>> settings = {
        {"d_point", "3"}, {"inchmm", "0"}, {"IsExploded", exploded ? "1" : "0"}, {"Color", "0"}};
    if (!StoreRunSettings(settings, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    Plugin plugin;
    if (!plugin.Load(PluginBesideExecutable(), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    // The steps of a run, each timed.
    std::string bytes;
    const double read = Seconds([&] { ReadWholeFile(input, bytes, error); });
    std::optional<DxfDrawing> drawing;
    dxf::Document parsed;
    std::string copy = bytes;
    const double parse = Seconds([&] { parsed = dxf::Document::Parse(std::move(copy)); });
    parsed = {};
    const double figures = Seconds([&] { drawing.emplace(std::move(bytes), JoinOptions{}); });
    const double load = Seconds([&] { drawing->LoadIntoHost(); });
    std::vector<VekId> picked;
    const double pick = Seconds([&] { picked = *drawing->Pick(DxfSelection{}, "drawing", error); });
    plugin.Startup()(0, 0, 0, 0);
    RecordedRun run;
    const double recorded = Seconds([&] {
        run = PlayAndReport({0, 0}, picked, drawing->Naming(), {.showSteps = false}, false);
    });
    const bool ok = run.command.pointTaken && !run.command.reportedError;
    const double writeBack = Seconds([&] { drawing->WriteBack(run.report, error); });
    const OutputFile file{output.string(), "",
                          [&drawing](std::ostream& out) { drawing->WriteTo(out); }};
    const double writeFile = Seconds([&] { WriteAllOrNothing({file}, error); });
    std::printf("  %zu figures, %zu elements before, %zu after%s\n", run.report.summary.picked,
                run.report.summary.elementsBefore, run.report.summary.elementsAfter,
                ok ? "" : " (the command reported an error)");

    // The pass alone, on the figures loaded afresh.
    ReadWholeFile(input, bytes, error);
    drawing.emplace(std::move(bytes), JoinOptions{});
    drawing->LoadIntoHost();
    plugin.Startup()(0, 0, 0, 0);
    CommandResult alone;
    const double pass = Seconds([&] { alone = PlayCommand({0, 0}, picked, {.showSteps = false}); });
    if (!alone.pointTaken || alone.reportedError) {
        std::printf("  the pass alone reported an error\n");
    }
    drawing.reset();
    vekhost::Reset();

    report("read the file", read);
    report("parse (DXF document)", parse);
    report("parse and find the figures", figures);
    std::printf("  %-44s %7.3f s\n", "load the figures into the host", load);
    std::printf("  %-44s %7.3f s\n", "pick every figure", pick);
    std::printf("  %-44s %7.3f s\n", "pass alone (the plug-in's conversion)", pass);
    std::printf("  %-44s %7.3f s\n", "pass with recording and report", recorded);
    std::printf("  %-44s %7.3f s\n", "write back (the converted entities' text)", writeBack);
    report("write the file (temporary name, renamed)", writeFile);
    const double steps = read + figures + load + pick + recorded + writeBack + writeFile;
    std::printf("  %-44s %7.3f s  %.2f x the pass alone\n", "all steps", steps, steps / pass);

    // The vekhost program itself: time and peak memory.
    const fs::path program = ExecutableFolder() / "vekhost";
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        execl(program.c_str(), "vekhost", "run", input.c_str(), "--ref", "0,0", "-o",
              output.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const double whole = std::chrono::duration<double>(Clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const double peak = static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;
    std::printf("  %-44s %7.3f s  %.2f x the pass alone (exit %d)\n", "vekhost run (the program)",
                whole, whole / pass, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::printf("  %-44s %7.0f MB  %.2f x the file\n", "peak memory of vekhost run", peak,
                peak / mb);
    fs::remove_all(folder);
    return 0;
}
