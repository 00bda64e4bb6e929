#include "settings/PaletteTables.h"

#include <algorithm>

namespace {

struct ColorRow {
    const WCHAR* name;
    int32_t index, red, green, blue;
    int swatchId;
};

// Building order is position order.
constexpr ColorRow kColors[kMainColorCount] = {
    {TEXT("MAINCOLOR01"), 0, 255, 255, 255, 17015},   // white
    {TEXT("MAINCOLOR02"), 1, 0, 192, 255, 17032},     // sky blue
    {TEXT("MAINCOLOR03"), 2, 60, 255, 80, 17033},     // green
    {TEXT("MAINCOLOR04"), 3, 255, 64, 192, 17034},    // pink
    {TEXT("MAINCOLOR05"), 4, 224, 224, 0, 17035},     // dark yellow
    {TEXT("MAINCOLOR06"), 5, 255, 0, 0, 17036},       // red
    {TEXT("MAINCOLOR07"), 6, 255, 128, 128, 17037},   // light red
    {TEXT("MAINCOLOR08"), 7, 0, 128, 255, 17038},     // mid blue
    {TEXT("MAINCOLOR09"), 8, 255, 255, 0, 17039},     // yellow
    {TEXT("MAINCOLOR10"), 9, 128, 128, 128, 17040},   // grey
    {TEXT("MAINCOLOR11"), 10, 0, 255, 255, 17041},    // cyan
    {TEXT("MAINCOLOR12"), 11, 0, 0, 255, 17042},      // blue
    {TEXT("MAINCOLOR13"), 12, 128, 0, 255, 17043},    // violet
    {TEXT("MAINCOLOR14"), 13, 128, 128, 255, 17044},  // light blue
    {TEXT("MAINCOLOR15"), 14, 128, 0, 128, 17045},    // purple
    {TEXT("MAINCOLOR16"), 15, 128, 128, 0, 17046},    // olive
};

struct LineTypeRow {
    const WCHAR* name;
    int32_t code;
    int bitmapId;
    int swatchId;
};

// The host's codes do not follow the name order.
constexpr LineTypeRow kLineTypes[kLineTypeCount] = {
    {TEXT("LINETYPE01"), 0, 17046, 17016}, {TEXT("LINETYPE02"), 4, 17047, 17078},
    {TEXT("LINETYPE03"), 5, 17048, 17079}, {TEXT("LINETYPE04"), 6, 17049, 17080},
    {TEXT("LINETYPE05"), 1, 17050, 17081}, {TEXT("LINETYPE06"), 2, 17051, 17082},
    {TEXT("LINETYPE07"), 3, 17052, 17083}, {TEXT("LINETYPE08"), 7, 17053, 17084},
    {TEXT("LINETYPE09"), 8, 17054, 17085}, {TEXT("LINETYPE10"), 9, 17055, 17086},
};

// Only ASCII letters are folded: the palette's names are ASCII, and folding
// further (a Kelvin sign to K, a long s to S) would let names match that the
// palette never offered.
WCHAR FoldAscii(WCHAR c) {
    return (c >= TEXT('a') && c <= TEXT('z')) ? static_cast<WCHAR>(c - (TEXT('a') - TEXT('A'))) : c;
}

bool SameName(const std::basic_string<WCHAR>& a, const std::basic_string<WCHAR>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

template <typename Table>
int FindIn(const Table& table, const std::basic_string<WCHAR>& name) {
    const int last = std::min<int>(table.count, static_cast<int>(table.entries.size()) - 1);
    for (int position = 1; position <= last; ++position) {
        if (SameName(table.entries[static_cast<size_t>(position)].name, name)) {
            return position;
        }
    }
    return 0;
}

}  // namespace

// Building always starts again at position 1: appending to a table that was
// already built would run past its slots after a few calls.
void BuildMainColors(MainColorTable& table) {
    table.count = 0;
    for (const ColorRow& row : kColors) {
        ++table.count;
        table.entries[static_cast<size_t>(table.count)] = {row.name, row.index, row.red, row.green,
                                                           row.blue};
    }
}

void BuildLineTypes(LineTypeTable& table) {
    table.count = 0;
    for (const LineTypeRow& row : kLineTypes) {
        ++table.count;
        table.entries[static_cast<size_t>(table.count)] = {row.name, row.code};
    }
}

int FindByName(const MainColorTable& table, const std::basic_string<WCHAR>& name) {
    return FindIn(table, name);
}

int FindByName(const LineTypeTable& table, const std::basic_string<WCHAR>& name) {
    return FindIn(table, name);
}

uint32_t ScreenColor(const MainColorEntry& entry) {
    auto low8 = [](int32_t component) { return static_cast<uint32_t>(component) & 0xffu; };
    return low8(entry.red) | (low8(entry.green) << 8) | (low8(entry.blue) << 16);
}

int ColorSwatchId(int position) {
    return (position >= 1 && position <= kMainColorCount) ? kColors[position - 1].swatchId : 0;
}

int LineTypeSwatchId(int position) {
    return (position >= 1 && position <= kLineTypeCount) ? kLineTypes[position - 1].swatchId : 0;
}

int LineTypeBitmapId(int position) {
    return (position >= 1 && position <= kLineTypeCount) ? kLineTypes[position - 1].bitmapId
                                                         : kLineTypes[0].bitmapId;
}
