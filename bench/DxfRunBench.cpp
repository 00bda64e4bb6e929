// The whole `vekhost run` on a generated DXF drawing against two programs
// that do less, measured in the same run: a hand-written read-round-write
// (every pair parsed, the coordinates of LINE, ARC, CIRCLE and LWPOLYLINE
// entities rounded to the run's grid, every other byte written as read) and
// the lossless floor (every pair parsed, the bytes written back). Each runs
// in a process of its own, for its time and peak memory (wait4), the median
// of a few repetitions; its CPU time too (user and system), which other
// jobs on a shared machine disturb less. Prints the ratios the goals are set in: the run
// within 2 times the read-round-write and 3 times the floor, its peak
// memory within 2.5 times the file.
//
// The drawing mixes, per 100,014 entities, 4,814 closed LWPOLYLINEs of 20
// bulged vertices and 47,600 chains of a LINE and an ARC meeting end to end
// (52,414 figures), scaled to the entities asked for.
//
//   dxf_run_bench [ENTITIES] [--repeat N]   default 1,000,000 entities, 3
//   dxf_run_bench --generate ENTITIES FILE  writes the drawing only
#include "bench/DxfSample.h"
#include "tools/dxf/DxfDocument.h"
#include "tools/dxf/DxfEntities.h"
#include "tools/dxf/DxfNumbers.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

using dxfbench::Round4;

// The mix per 100,014 entities.
constexpr std::size_t kMixEntities = 100014;
constexpr std::size_t kMixPolylines = 4814;
constexpr std::size_t kPolylineVertices = 20;

// A closed polyline of 20 vertices on a circle about (x, y), each segment
// bulged outwards a little.
dxf::Polyline BulgedPolyline(double x, double y, double r) {
    dxf::Polyline poly;
    poly.closed = true;
    for (std::size_t v = 0; v < kPolylineVertices; ++v) {
        const double a = 2 * std::numbers::pi * static_cast<double>(v) / kPolylineVertices;
        poly.vertices.push_back(
            {Round4(x + r * std::cos(a)), Round4(y + r * std::sin(a)), v % 2 ? 0.05 : 0.1});
    }
    return poly;
}

// A line east from (x, y) and a quarter arc turning left from its end.
std::string LineAndArc(dxf::Document& doc, double x, double y, double length, double r,
                       const dxf::Style& style) {
    std::string text = dxf::NewEntity(doc, dxf::Line{{x, y, 0}, {x + length, y, 0}}, style);
    text += dxf::NewEntity(doc, dxf::Arc{{x + length, y + r, 0}, r, 270, 0}, style);
    return text;
}

std::string Generate(std::size_t entities) {
    const std::string base = dxfbench::EmptyDrawing("  9\n$INSUNITS\n 70\n4\n");
    dxf::Document doc = dxf::Document::Parse(base);
    const std::size_t polylines = kMixPolylines * entities / kMixEntities;
    const std::size_t chains = (entities - polylines) / 2;
    // Polylines spread evenly among the chains, each figure in a cell of its own.
    const std::size_t figures = chains + polylines;
    dxf::Style style;
    std::string text;
    std::size_t placed = 0;
    for (std::size_t c = 0; c < figures; ++c) {
        style.layer = "Layer" + std::to_string(c % 7);
        const double x = Round4(static_cast<double>(c % 1000) * 30.0 + 0.12345);
        const double y = Round4(static_cast<double>(c / 1000) * 30.0 + 0.06789);
        const double r = Round4(1 + static_cast<double>(c % 13) * 0.0371);
        if ((c + 1) * polylines / figures > placed) {
            ++placed;
            text += dxf::NewEntity(doc, BulgedPolyline(x + 10, y + 10, 5 * r), style);
        } else {
            text +=
                LineAndArc(doc, x, y, Round4(3.1415 + static_cast<double>(c % 7) * 0.1), r, style);
        }
    }
    doc.AppendEntities(std::move(text));
    return doc.Write();
}

std::string ReadFile(const fs::path& path) {
    std::string bytes(fs::file_size(path), '\0');
    std::ifstream(path, std::ios::binary)
        .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One line from `at`: its text without the line ending; `at` moves past it.
std::string_view NextLine(std::string_view text, std::size_t& at) {
    const std::size_t begin = at;
    const std::size_t nl = text.find('\n', at);
    at = nl == std::string_view::npos ? text.size() : nl + 1;
    std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    if (end > begin && text[end - 1] == '\r') {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

bool RealCode(int code) {
    return (code >= 10 && code <= 59) || (code >= 110 && code <= 149) ||
           (code >= 210 && code <= 239) || (code >= 1010 && code <= 1059);
}

struct Pair {
    int code = 0;
    std::string_view value;  // trimmed
    std::size_t begin = 0, valueBegin = 0, end = 0;
    double number = 0;  // a real value's
};

// Every pair of `text`, its group code read as an integer and a real or
// integer value as a number (text values as they are), handed to `take`.
template <class Take>
void WalkPairs(std::string_view text, Take take) {
    Pair pair;
    std::size_t at = 0;
    while (at < text.size()) {
        pair.begin = at;
        const std::string_view codeLine = Trimmed(NextLine(text, at));
        pair.valueBegin = at;
        pair.value = Trimmed(NextLine(text, at));
        pair.end = at;
        std::from_chars(codeLine.data(), codeLine.data() + codeLine.size(), pair.code);
        const char* const first = pair.value.data();
        const char* const last = first + pair.value.size();
        if (RealCode(pair.code)) {
            std::from_chars(first, last, pair.number);
        } else if (pair.code >= 60 && pair.code < 100) {
            long long integer = 0;
            std::from_chars(first, last, integer);
            pair.number = static_cast<double>(integer);
        }
        take(pair);
    }
}

// The lossless floor: every pair parsed, the bytes written back.
int LosslessFloor(const fs::path& input, const fs::path& output) {
    const std::string text = ReadFile(input);
    double sum = 0;  // so that no parse is left out
    WalkPairs(text, [&sum](const Pair& pair) { sum += pair.number; });
    WriteFile(output, text);
    return std::isnan(sum) ? 1 : 0;
}

// The hand-written exact read-round-write: coordinates and radii of LINE,
// ARC, CIRCLE and LWPOLYLINE rounded to three decimals about (0, 0), written
// in their shortest form; every other byte as read.
int ReadRoundWrite(const fs::path& input, const fs::path& output) {
    const std::string text = ReadFile(input);
    std::string out;
    out.reserve(text.size());
    bool rounding = false;
    WalkPairs(text, [&](const Pair& pair) {
        const int code = pair.code;
        if (code == 0) {
            rounding = pair.value == "LINE" || pair.value == "ARC" || pair.value == "CIRCLE" ||
                       pair.value == "LWPOLYLINE";
        }
        const bool coordinate = code == 10 || code == 20 || code == 11 || code == 21 || code == 40;
        if (!rounding || !coordinate) {
            out.append(text.data() + pair.begin, pair.end - pair.begin);
            return;
        }
        out.append(text.data() + pair.begin, pair.valueBegin - pair.begin);
        char digits[32];
        const double rounded = std::floor(pair.number * 1e3 + 0.5) / 1e3;
        out.append(digits, std::to_chars(digits, digits + sizeof digits, rounded).ptr);
        out += '\n';
    });
    WriteFile(output, out);
    return 0;
}

struct Measure {
    double seconds = 0;
    double cpu = 0;     // user and system time
    double system = 0;  // of which the kernel's: page faults and copies, which vary most
    double peakMb = 0;
    int status = 0;
};

// Runs `work` in a child process: its time and peak memory.
Measure InChild(const std::function<int()>& work) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        _exit(work());
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Measure m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakMb = static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    m.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    m.system = seconds(usage.ru_stime);
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

// The median time and peak of `repeat` runs.
Measure Median(int repeat, const std::function<int()>& work) {
    std::vector<Measure> runs;
    for (int i = 0; i < repeat; ++i) {
        runs.push_back(InChild(work));
    }
    auto at = [&runs](auto field) {
        std::vector<double> values;
        for (const Measure& m : runs) {
            values.push_back(m.*field);
        }
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    Measure m;
    m.seconds = at(&Measure::seconds);
    m.cpu = at(&Measure::cpu);
    m.system = at(&Measure::system);
    m.peakMb = at(&Measure::peakMb);
    m.status = runs.back().status;
    return m;
}

int Vekhost(const fs::path& program, const fs::path& input, const fs::path& output, bool exploded) {
    const std::string setExploded = exploded ? "IsExploded=1" : "IsExploded=0";
    execl(program.c_str(), "vekhost", "run", input.c_str(), "--ref", "0,0", "--set", "d_point=3",
          "--set", "inchmm=0", "--set", setExploded.c_str(), "--set", "Color=0", "-o",
          output.c_str(), static_cast<char*>(nullptr));
    return 127;
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

fs::path ExecutableFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

void Goal(const char* what, double ratio, double goal) {
    std::printf("  %-52s %6.2f  (goal <= %.1f: %s)\n", what, ratio, goal,
                ratio <= goal ? "met" : "not met");
}

// A whole positive number, or nothing: a mistyped option is not a count of 0.
std::optional<std::size_t> Positive(const char* text) {
    std::size_t value = 0;
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc{} || ptr != end || value == 0) {
        return std::nullopt;
    }
    return value;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: dxf_run_bench [ENTITIES] [--repeat N]\n"
                 "       dxf_run_bench --generate ENTITIES FILE\n"
                 "ENTITIES and N are whole numbers above 0\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t count = 1000000;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--generate") == 0 && i + 2 < argc) {
            const auto entities = Positive(argv[i + 1]);
            if (!entities) {
                return Usage();
            }
            WriteFile(argv[i + 2], Generate(*entities));
            return 0;
        }
        const bool repeatGiven = std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc;
        const auto value = Positive(argv[repeatGiven ? ++i : i]);
        if (!value || (repeatGiven && *value > 1000)) {
            return Usage();
        }
        if (repeatGiven) {
            repeat = static_cast<int>(*value);
        } else {
            count = *value;
        }
    }
    const fs::path folder =
        fs::temp_directory_path() / ("dxf_run_bench_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path input = folder / "drawing.dxf";
    const fs::path output = folder / "out.dxf";
    setenv("TARNEX_REGISTRY_FILE", (folder / "registry.txt").c_str(), 1);
    WriteFile(input, Generate(count));
    const double mb = static_cast<double>(fs::file_size(input)) / 1e6;
    std::printf("vekhost run on %zu entities, %.1f MB (R2000, LF), d_point 3 about (0, 0)\n", count,
                mb);
    std::printf("%s, %ld CPUs, median of %d runs each\n", Machine().c_str(),
                sysconf(_SC_NPROCESSORS_ONLN), repeat);

    auto show = [mb](const char* what, const Measure& m) {
        std::printf(
            "  %-36s %7.3f s, %7.3f s CPU (%5.3f s system)  %6.0f MB peak, %5.2f x the file  "
            "(exit %d)\n",
            what, m.seconds, m.cpu, m.system, m.peakMb, m.peakMb / mb, m.status);
    };
    const Measure floor = Median(repeat, [&] { return LosslessFloor(input, output); });
    show("lossless floor (read, parse, write)", floor);
    const Measure rounding = Median(repeat, [&] { return ReadRoundWrite(input, output); });
    show("hand-written read-round-write", rounding);
    const fs::path program = ExecutableFolder() / "vekhost";
    for (const bool exploded : {false, true}) {
        const Measure run =
            Median(repeat, [&] { return Vekhost(program, input, output, exploded); });
        show(exploded ? "vekhost run, exploded pass" : "vekhost run, standard pass", run);
        Goal("  time / hand-written read-round-write", run.seconds / rounding.seconds, 2.0);
        Goal("  CPU time / hand-written read-round-write", run.cpu / rounding.cpu, 2.0);
        Goal("  time / lossless floor", run.seconds / floor.seconds, 3.0);
        Goal("  CPU time / lossless floor", run.cpu / floor.cpu, 3.0);
        Goal("  peak memory / file", run.peakMb / mb, 2.5);
    }
    fs::remove_all(folder);
    return 0;
}
