// Writes LineType01.bmp to LineType10.bmp from the pattern table into the
// folder given as the only argument (res/linetypes when they change).
#include <cstdio>
#include <string>

#include "res/linetypes/LineTypePatterns.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    int number = 1;
    for (const linetype::Pattern& pattern : linetype::Patterns()) {
        char name[32];
        std::snprintf(name, sizeof name, "/LineType%02d.bmp", number++);
        const std::string path = std::string(argv[1]) + name;
        const std::vector<uint8_t> bytes = linetype::BmpFile(pattern);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            if (f != nullptr) {
                std::fclose(f);
            }
            return 1;
        }
        std::fclose(f);
    }
    return 0;
}
