// The ten line-type pictures, drawn from one table: each picture is a white
// line 2 pixels thick (rows 11 and 12) on black, made of runs of lit and dark
// pixels. MakeLineTypeBitmaps writes the .bmp files from this table, and the
// tests check the compiled resources against it. Portable C++, no Windows.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace linetype {

constexpr int kWidth = 62;
constexpr int kHeight = 23;
constexpr int kLineTop = 11;  // rows 11 and 12, counting from 0 at the top
constexpr int kLineBottom = 12;
constexpr int kFirstBitmapId = 17046;

struct Pattern {
    int bitmapId;
    int margin;                       // dark pixels before the first run
    std::initializer_list<int> runs;  // lit, dark, lit, ... ending lit
};

// In line-type table order, LINETYPE01 to LINETYPE10.
inline const std::array<Pattern, 10>& Patterns() {
    static const std::array<Pattern, 10> kPatterns = {{
        {17046, 3, {56}},                                                             // continuous
        {17047, 3, {5, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3}},  // 5 lead, 3/2
        {17048, 2, {6, 3, 3, 3, 6, 3, 3, 3, 6, 3, 3, 3, 6, 3, 3}},        // 6 and 3, gaps 3
        {17049, 5, {6, 2, 3, 2, 3, 2, 6, 2, 3, 2, 3, 2, 6, 2, 3, 2, 3}},  // 6, 3, 3, gaps 2
        {17050, 3, {6, 4, 6, 4, 6, 4, 6, 4, 6, 4, 6}},                    // even 6/4
        {17051, 4, {11, 3, 4, 3, 11, 3, 4, 3, 11}},                       // 11 and 4, gaps 3
        {17052, 2, {11, 2, 3, 2, 3, 2, 11, 2, 3, 2, 3, 2, 11}},           // 11, 3, 3, gaps 2
        {17053, 2, {10, 7, 9, 7, 9, 7, 9}},                               // long dashes
        {17054, 2, {26, 5, 6, 5, 16}},                                    // 26, 6, 16
        {17055, 2, {23, 4, 6, 4, 6, 4, 11}},                              // 23, 6, 6, 11
    }};
    return kPatterns;
}

// Lit columns of a pattern, one flag per column.
inline std::array<bool, kWidth> LitColumns(const Pattern& pattern) {
    std::array<bool, kWidth> lit{};
    int x = pattern.margin;
    bool on = true;
    for (int run : pattern.runs) {
        for (int i = 0; i < run && x < kWidth; ++i, ++x) {
            lit[static_cast<size_t>(x)] = on;
        }
        on = !on;
    }
    return lit;
}

// True where the picture is white (x from the left, y from the top).
inline bool IsWhite(const Pattern& pattern, int x, int y) {
    return y >= kLineTop && y <= kLineBottom && LitColumns(pattern)[static_cast<size_t>(x)];
}

// The picture as a bitmap resource holds it: BITMAPINFOHEADER (40 bytes),
// then bottom-up rows of blue, green, red, each row padded to 4 bytes.
inline std::vector<uint8_t> DibBytes(const Pattern& pattern) {
    constexpr int kRowBytes = (kWidth * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes;
    auto put32 = [&bytes](uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    };
    auto put16 = [&bytes](uint16_t v) {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    };
    put32(40);  // header size
    put32(static_cast<uint32_t>(kWidth));
    put32(static_cast<uint32_t>(kHeight));              // positive: bottom-up
    put16(1);                                           // planes
    put16(24);                                          // bits per pixel
    put32(0);                                           // uncompressed
    put32(static_cast<uint32_t>(kRowBytes * kHeight));  // image size
    put32(2835);                                        // 72 dpi
    put32(2835);
    put32(0);
    put32(0);
    const std::array<bool, kWidth> lit = LitColumns(pattern);
    for (int y = kHeight - 1; y >= 0; --y) {
        const bool lineRow = y >= kLineTop && y <= kLineBottom;
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t v = lineRow && lit[static_cast<size_t>(x)] ? 0xFF : 0x00;
            bytes.insert(bytes.end(), {v, v, v});
        }
        for (int pad = kWidth * 3; pad < kRowBytes; ++pad) {
            bytes.push_back(0);
        }
    }
    return bytes;
}

// The .bmp file: a 14-byte file header in front of the resource bytes.
inline std::vector<uint8_t> BmpFile(const Pattern& pattern) {
    const std::vector<uint8_t> dib = DibBytes(pattern);
    const uint32_t size = static_cast<uint32_t>(14 + dib.size());
    std::vector<uint8_t> file = {'B', 'M'};
    for (uint32_t v : {size, 0U, 14U + 40U}) {
        for (int i = 0; i < 4; ++i) {
            file.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
}

}  // namespace linetype
