// The fixed palette offered for converted figures: 16 line colours and 10 line
// types, each known by a symbolic name and carrying the host's own number for
// it. Tables are 1-based; position 0 is never written and so always holds the
// default entry, which is what a failed lookup reads as. Every user builds its
// own table when it needs one.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

struct MainColorEntry {
    std::basic_string<WCHAR> name = TEXT("MAINCOLOR01");
    int32_t index = 0;  // host colour index, 0 to 15
    int32_t red = 255;
    int32_t green = 255;
    int32_t blue = 255;
};

struct MainColorTable {
    int32_t count = 0;
    std::array<MainColorEntry, 40> entries;  // in use: 1 to count
};

struct LineTypeEntry {
    std::basic_string<WCHAR> name = TEXT("LINETYPE01");
    int32_t code = 0;  // host line-type code, 0 to 9
};

struct LineTypeTable {
    int32_t count = 0;
    std::array<LineTypeEntry, 20> entries;  // in use: 1 to count
};

constexpr int kMainColorCount = 16;
constexpr int kLineTypeCount = 10;

// Fill positions 1 to 16 (colours) or 1 to 10 (line types) and set count.
void BuildMainColors(MainColorTable& table);
void BuildLineTypes(LineTypeTable& table);

// Position (1 to count) of the first entry whose name equals `name` ignoring
// letter case, or 0 when none does.
int FindByName(const MainColorTable& table, const std::basic_string<WCHAR>& name);
int FindByName(const LineTypeTable& table, const std::basic_string<WCHAR>& name);

// Windows colour value (0x00BBGGRR) of an entry, from the low 8 bits of each
// component.
uint32_t ScreenColor(const MainColorEntry& entry);

// Control id of the colour picker's swatch for a colour-table position
// (1 to 16), or 0 for any other position.
int ColorSwatchId(int position);
// Control id of the line-type picker's swatch for a line-type-table position
// (1 to 10), or 0 for any other position.
int LineTypeSwatchId(int position);
// Bitmap resource showing the line type at a position (1 to 10); any other
// position, such as a failed lookup, shows the first line type's bitmap.
int LineTypeBitmapId(int position);
