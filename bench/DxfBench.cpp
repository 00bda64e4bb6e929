// DXF library speed and memory on a generated drawing of 1,000,000 entities
// (chains of lines and arcs, LWPOLYLINEs with bulges): read, geometry of
// every entity, write unedited and with a tenth of the entities rewritten,
// and the memory reading takes beyond the file's bytes (measured in a child
// process of its own). Prints MB/s; goals: 200 MB/s reading and writing, and
// a document well under the file's size beyond the bytes it keeps.
//
//   dxf_bench [ENTITIES]                 (default 1000000)
//   dxf_bench --generate ENTITIES FILE   writes the drawing only
#include "bench/DxfSample.h"
#include "tools/dxf/DxfEntities.h"

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
#include <iostream>
#include <sstream>
#include <string>

namespace {

using dxfbench::Round4;

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& run, int repeats = 3) {
    double best = 1e300;
    for (int k = 0; k < repeats; ++k) {
        const auto start = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

std::string Generate(std::size_t count) {
    const std::string base = dxfbench::EmptyDrawing();
    dxf::Document doc = dxf::Document::Parse(base);
    dxf::Style style;
    std::string text;
    double x = 0, y = 0;
    for (std::size_t i = 0; i < count; ++i) {
        style.layer = "Layer" + std::to_string(i % 7);
        const auto step = [i](int n) { return static_cast<double>(i % static_cast<unsigned>(n)); };
        const double r = Round4(1 + step(13) * 0.37);
        switch (i % 10) {
            case 0:
            case 2:
            case 4:
            case 6: {  // a line, then an arc continuing the chain
                const double nx = Round4(x + 3.1415 + step(5)), ny = Round4(y + 0.25 * step(3));
                text += dxf::NewEntity(doc, dxf::Line{{x, y, 0}, {nx, ny, 0}}, style);
                x = nx;
                y = ny;
                break;
            }
            case 1:
            case 3:
            case 5:
                text += dxf::NewEntity(doc, dxf::Arc{{x, Round4(y + r), 0}, r, 270, 0}, style);
                x = Round4(x + r);
                y = Round4(y + r);
                break;
            default: {  // an LWPOLYLINE of six vertices, two of them bulged
                dxf::Polyline poly;
                poly.closed = i % 2 == 0;
                for (int v = 0; v < 6; ++v) {
                    poly.vertices.push_back(
                        {Round4(x + v * 1.25), Round4(y + (v % 2) * r), v % 3 == 1 ? 0.4142 : 0});
                }
                text += dxf::NewEntity(doc, poly, style);
                y = Round4(y - 2 * r);
            }
        }
        if (x > 1e5) {
            x = 0;
        }
    }
    doc.AppendEntities(std::move(text));
    return doc.Write();
}

long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::atol(line.c_str() + std::strlen(field));
        }
    }
    return -1;
}

// Child: reads the file, then parses it; prints the peak beyond the bytes.
int MeasureReading(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::filesystem::file_size(path), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const double size = static_cast<double>(bytes.size());
    const long before = StatusKiB("VmRSS:");
    const dxf::Document doc = dxf::Document::Parse(std::move(bytes));
    const double peak = static_cast<double>(StatusKiB("VmHWM:")) * 1024.0;
    const double grown = peak - static_cast<double>(before) * 1024.0;
    std::printf(
        "peak memory of reading: %.0f MB beyond the file's %.0f MB (%.2f x the file), "
        "process peak %.2f x the file (%zu entities)\n",
        grown / 1e6, size / 1e6, grown / size, peak / size, doc.EntityCount());
    return 0;
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
    if (argc == 3 && std::string(argv[1]) == "--read") {
        return MeasureReading(argv[2]);
    }
    if (argc == 4 && std::string(argv[1]) == "--generate") {
        std::ofstream(argv[3], std::ios::binary) << Generate(std::strtoul(argv[2], nullptr, 10));
        return 0;
    }
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;

    const std::string bytes = Generate(count);
    const double mb = static_cast<double>(bytes.size()) / 1e6;
    std::printf("DXF library: %zu entities, %.1f MB (R2000, LF); %s, %ld CPUs\n", count, mb,
                Machine().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    auto report = [mb](const char* what, double s) {
        std::printf("  %-40s %7.3f s  %7.0f MB/s\n", what, s, mb / s);
    };

    // Parsing takes the bytes it keeps: each run gets a copy, timed alone
    // and taken off.
    std::optional<dxf::Document> doc;
    const double copy = Seconds([&] { std::string c = bytes; });
    const double read = Seconds([&] {
        std::string c = bytes;
        doc.reset();
        doc = dxf::Document::Parse(std::move(c));
    });
    report("read", read - copy);

    std::size_t convertible = 0;
    report("geometry of every entity", Seconds([&] {
               convertible = 0;
               for (std::size_t i = 0; i < doc->EntityCount(); ++i) {
                   convertible += dxf::ShapeOf(*doc, i).Convertible();
               }
           }));
    std::string out;
    report("write unedited", Seconds([&] { out = doc->Write(); }));
    if (out != bytes) {
        std::printf("  unedited output differs!\n");
    }
    report("rewrite a tenth of the entities",
           Seconds(
               [&] {
                   for (std::size_t i = 0; i < doc->EntityCount(); i += 10) {
                       const dxf::Shape s = dxf::ShapeOf(*doc, i);
                       doc->ReplaceEntity(i, dxf::RewriteEntity(*doc, i, s.geometry));
                   }
               },
               1));
    report("write with a tenth rewritten", Seconds([&] { out = doc->Write(); }));

    const auto path =
        std::filesystem::temp_directory_path() / ("dxf_bench_" + std::to_string(getpid()) + ".dxf");
    report("write with a tenth rewritten to a file", Seconds([&] {
               std::ofstream file(path, std::ios::binary);
               doc->Write([&file](std::string_view piece) {
                   file.write(piece.data(), static_cast<std::streamsize>(piece.size()));
               });
           }));
    std::printf("  %zu of %zu entities convertible\n", convertible, doc->EntityCount());
    std::ofstream(path, std::ios::binary) << bytes;
    doc.reset();
    out.clear();
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        execl("/proc/self/exe", argv[0], "--read", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    std::filesystem::remove(path);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
