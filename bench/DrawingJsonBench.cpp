// Benchmark of the JSON drawing file against the conversion pass, on a
// generated drawing of 100 000 elements (1000 closed outlines of 100 lines,
// arcs, rounded corners and chamfers).
//
// The benchmark "JsonRun" loads the file text (FromJson), converts every
// figure with the standard pass (three decimal places) and saves the drawing
// again (ToJson), timing each step in CPU time of the thread. Counters:
//   file_MB, saved_MB     size of the text loaded and of the text saved (the
//                         converted coordinates are shorter)
//   load_MBps, save_MBps  bytes of those texts per second
//   pass_ms               the standard pass alone
//   run_ratio             (load + pass + save) / pass
//
// Before the benchmarks, while this process is still small, whole runs are
// measured in separate processes for their time and peak memory (the
// child's maximum resident set from wait4, which would also count the peak of
// a large process that started it):
//   - this program loading the file (Load), converting and saving (Save);
//   - `vekhost run` (beside this program) on the same file: what a user runs;
//   - this program doing nothing, for the size of a bare process.
// `--no-processes` leaves them out.
#include "engine/StandardPass.h"
#include "state/CommandState.h"
#include "tests/engine/Outline.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kFigures = 1000;
constexpr int kElementsPerFigure = 100;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// CPU time of this thread (user and system, page faults included): on a
// machine shared with other jobs, time spent waiting for a core is not the
// code's.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void UseSettings() {
    ActiveSettings = SettingsRecord{3, 0, 0, 0, 0, 0};
    RefPoint[0] = 12.5;
    RefPoint[1] = -7.25;
}

const std::string& DrawingText() {
    static const std::string kText = [] {
        outline::Build(kFigures, kElementsPerFigure);
        std::string t = vekhost::ToJson();
        vekhost::Reset();
        return t;
    }();
    return kText;
}

void JsonRun(benchmark::State& state) {
    const std::string& text = DrawingText();
    UseSettings();
    double load = 0, pass = 0, save = 0;
    size_t saved = 0;
    for (auto _ : state) {
        // As vekhost run: a fresh host, so that identifiers start again from
        // 1 and the last iteration's drawing is not freed in the timed load.
        vekhost::Reset();
        double start = ThreadSeconds();
        vekhost::FromJson(text);
        const double l = ThreadSeconds() - start;
        vekhost::SelectAll();
        start = ThreadSeconds();
        benchmark::DoNotOptimize(StandardPass(0, 0, 0, 0));
        const double p = ThreadSeconds() - start;
        start = ThreadSeconds();
        const std::string out = vekhost::ToJson();
        const double s = ThreadSeconds() - start;
        saved += out.size();
        load += l, pass += p, save += s;
        state.SetIterationTime(l + p + s);
    }
    const double n = double(state.iterations());
    state.counters["file_MB"] = double(text.size()) / 1e6;
    state.counters["saved_MB"] = double(saved) / n / 1e6;
    state.counters["load_MBps"] = double(text.size()) * n / load / 1e6;
    state.counters["save_MBps"] = double(saved) / save / 1e6;
    state.counters["pass_ms"] = pass / n * 1e3;
    state.counters["run_ratio"] = (load + pass + save) / pass;
}
BENCHMARK(JsonRun)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---- Whole runs in separate processes ----------------------------------------

struct ChildRun {
    bool ok = false;
    double seconds = 0;
    long maxRssKb = 0;
};

ChildRun Spawn(const std::vector<std::string>& args, const char* quietOutput) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quietOutput) {
        posix_spawn_file_actions_addopen(&actions, 1, quietOutput, O_WRONLY, 0);
    }
    ChildRun run;
    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid) {
            run.seconds = Seconds(start);
            run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            run.maxRssKb = usage.ru_maxrss;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// This process's peak resident set so far, in MB.
double PeakMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1e3;
        }
    }
    return 0;
}

// The child: what `vekhost run` does with the drawing, through the host
// library's own file calls and without the plug-in. Prints its peak after
// each step.
int LoadPassSave(const std::string& in, const std::string& out) {
    UseSettings();
    vekhost::Load(in);
    const double loaded = PeakMb();
    vekhost::SelectAll();
    StandardPass(0, 0, 0, 0);
    const double converted = PeakMb();
    vekhost::Save(out);
    std::printf("  (peak after loading %.1f MB, after the pass %.1f MB, after saving %.1f MB)\n",
                loaded, converted, PeakMb());
    return 0;
}

void WholeRuns(const std::string& self) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("tarnex-json-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string drawing = (folder / "drawing.json").string();
    const std::string output = (folder / "out.json").string();
    const ChildRun written = Spawn({self, "--child-write", drawing}, nullptr);
    const double fileMb = written.ok ? double(fs::file_size(drawing)) / 1e6 : 0.0;
    setenv("TARNEX_REGISTRY_FILE", (folder / "registry.txt").c_str(), 1);

    const fs::path vekhost = fs::path(self).parent_path() / "vekhost";
    const ChildRun bare = Spawn({self, "--child-idle"}, nullptr);
    const ChildRun core = Spawn({self, "--child-run", drawing, output}, nullptr);
    const ChildRun host =
        Spawn({vekhost.string(), "run", drawing, "--ref", "12.5,-7.25", "-o", output}, "/dev/null");
    std::printf("Whole runs in separate processes, file %.1f MB:\n", fileMb);
    auto row = [&](const char* what, const ChildRun& r) {
        if (!r.ok) {
            std::printf("  %-34s failed\n", what);
            return;
        }
        std::printf("  %-34s %6.3f s  peak %6.1f MB = %.2f x file\n", what, r.seconds,
                    double(r.maxRssKb) / 1e3, double(r.maxRssKb) / 1e3 / fileMb);
    };
    row("Load, pass, Save", core);
    row("vekhost run", host);
    row("bare process", bare);
    std::printf("\n");
    fs::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--child-idle") == 0) {
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--child-write") == 0) {
        std::ofstream(argv[2], std::ios::binary) << DrawingText();
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--child-run") == 0) {
        return LoadPassSave(argv[2], argv[3]);
    }
    bool processes = true;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-processes") == 0) {
            processes = false;
        } else {
            rest.push_back(argv[i]);
        }
    }
    int count = int(rest.size());
    benchmark::Initialize(&count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(count, rest.data())) {
        return 1;
    }
    if (processes) {
        WholeRuns(std::filesystem::read_symlink("/proc/self/exe").string());
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
