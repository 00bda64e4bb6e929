#include "settings/PaletteTables.h"

#include <gtest/gtest.h>

namespace {

using Text = std::basic_string<WCHAR>;

struct ColorRow {
    const WCHAR* name;
    int32_t index, red, green, blue;
    uint32_t screen;  // 0x00BBGGRR
    int swatchId;
};

const ColorRow kExpectedColors[] = {
    {TEXT("MAINCOLOR01"), 0, 255, 255, 255, 0xFFFFFF, 17015},
    {TEXT("MAINCOLOR02"), 1, 0, 192, 255, 0xFFC000, 17032},
    {TEXT("MAINCOLOR03"), 2, 60, 255, 80, 0x50FF3C, 17033},
    {TEXT("MAINCOLOR04"), 3, 255, 64, 192, 0xC040FF, 17034},
    {TEXT("MAINCOLOR05"), 4, 224, 224, 0, 0x00E0E0, 17035},
    {TEXT("MAINCOLOR06"), 5, 255, 0, 0, 0x0000FF, 17036},
    {TEXT("MAINCOLOR07"), 6, 255, 128, 128, 0x8080FF, 17037},
    {TEXT("MAINCOLOR08"), 7, 0, 128, 255, 0xFF8000, 17038},
    {TEXT("MAINCOLOR09"), 8, 255, 255, 0, 0x00FFFF, 17039},
    {TEXT("MAINCOLOR10"), 9, 128, 128, 128, 0x808080, 17040},
    {TEXT("MAINCOLOR11"), 10, 0, 255, 255, 0xFFFF00, 17041},
    {TEXT("MAINCOLOR12"), 11, 0, 0, 255, 0xFF0000, 17042},
    {TEXT("MAINCOLOR13"), 12, 128, 0, 255, 0xFF0080, 17043},
    {TEXT("MAINCOLOR14"), 13, 128, 128, 255, 0xFF8080, 17044},
    {TEXT("MAINCOLOR15"), 14, 128, 0, 128, 0x800080, 17045},
    {TEXT("MAINCOLOR16"), 15, 128, 128, 0, 0x008080, 17046},
};

struct LineTypeRow {
    const WCHAR* name;
    int32_t code;
    int bitmapId;
    int swatchId;
};

const LineTypeRow kExpectedLineTypes[] = {
    {TEXT("LINETYPE01"), 0, 17046, 17016}, {TEXT("LINETYPE02"), 4, 17047, 17078},
    {TEXT("LINETYPE03"), 5, 17048, 17079}, {TEXT("LINETYPE04"), 6, 17049, 17080},
    {TEXT("LINETYPE05"), 1, 17050, 17081}, {TEXT("LINETYPE06"), 2, 17051, 17082},
    {TEXT("LINETYPE07"), 3, 17052, 17083}, {TEXT("LINETYPE08"), 7, 17053, 17084},
    {TEXT("LINETYPE09"), 8, 17054, 17085}, {TEXT("LINETYPE10"), 9, 17055, 17086},
};

TEST(PaletteTables, ColourTableHoldsEveryRowAtItsPosition) {
    MainColorTable table;
    BuildMainColors(table);
    ASSERT_EQ(table.count, 16);
    for (int position = 1; position <= 16; ++position) {
        SCOPED_TRACE(position);
        const ColorRow& want = kExpectedColors[position - 1];
        const MainColorEntry& got = table.entries[static_cast<size_t>(position)];
        EXPECT_EQ(got.name, Text(want.name));
        EXPECT_EQ(got.index, want.index);
        EXPECT_EQ(got.red, want.red);
        EXPECT_EQ(got.green, want.green);
        EXPECT_EQ(got.blue, want.blue);
        EXPECT_EQ(ScreenColor(got), want.screen);
        EXPECT_EQ(ColorSwatchId(position), want.swatchId);
        EXPECT_EQ(FindByName(table, want.name), position);
    }
}

TEST(PaletteTables, LineTypeTableHoldsEveryRowAtItsPosition) {
    LineTypeTable table;
    BuildLineTypes(table);
    ASSERT_EQ(table.count, 10);
    for (int position = 1; position <= 10; ++position) {
        SCOPED_TRACE(position);
        const LineTypeRow& want = kExpectedLineTypes[position - 1];
        const LineTypeEntry& got = table.entries[static_cast<size_t>(position)];
        EXPECT_EQ(got.name, Text(want.name));
        EXPECT_EQ(got.code, want.code);
        EXPECT_EQ(LineTypeBitmapId(position), want.bitmapId);
        EXPECT_EQ(LineTypeSwatchId(position), want.swatchId);
        EXPECT_EQ(FindByName(table, want.name), position);
    }
}

TEST(PaletteTables, PositionZeroAndUnusedSlotsHoldTheDefaultEntry) {
    MainColorTable colors;
    BuildMainColors(colors);
    for (size_t slot : {size_t{0}, size_t{17}, size_t{39}}) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(colors.entries[slot].name, Text(TEXT("MAINCOLOR01")));
        EXPECT_EQ(colors.entries[slot].index, 0);
        EXPECT_EQ(ScreenColor(colors.entries[slot]), 0xFFFFFFu);
    }
    LineTypeTable lineTypes;
    BuildLineTypes(lineTypes);
    for (size_t slot : {size_t{0}, size_t{11}, size_t{19}}) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(lineTypes.entries[slot].name, Text(TEXT("LINETYPE01")));
        EXPECT_EQ(lineTypes.entries[slot].code, 0);
    }
}

struct LookupCase {
    const WCHAR* name;
    int colorPosition;
    int lineTypePosition;
};

class PaletteLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(PaletteLookup, FindsFirstNameEqualIgnoringCase) {
    MainColorTable colors;
    BuildMainColors(colors);
    LineTypeTable lineTypes;
    BuildLineTypes(lineTypes);
    const MainColorTable colorsBefore = colors;

    EXPECT_EQ(FindByName(colors, GetParam().name), GetParam().colorPosition);
    EXPECT_EQ(FindByName(lineTypes, GetParam().name), GetParam().lineTypePosition);
    for (size_t i = 0; i < colors.entries.size(); ++i) {
        EXPECT_EQ(colors.entries[i].name, colorsBefore.entries[i].name);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, PaletteLookup,
    ::testing::Values(LookupCase{TEXT("maincolor05"), 5, 0}, LookupCase{TEXT("MainColor16"), 16, 0},
                      LookupCase{TEXT("MAINCOLOR01"), 1, 0}, LookupCase{TEXT("MAINCOLOR17"), 0, 0},
                      LookupCase{TEXT("MAINCOLOR5"), 0, 0}, LookupCase{TEXT(""), 0, 0},
                      LookupCase{TEXT(" MAINCOLOR05"), 0, 0},
                      LookupCase{TEXT("MAINCOLOR05 "), 0, 0}, LookupCase{TEXT("linetype07"), 0, 7},
                      LookupCase{TEXT("LineType10"), 0, 10}, LookupCase{TEXT("LINETYPE11"), 0, 0},
                      // Kelvin sign: only ASCII letters fold, so no false match.
                      LookupCase{TEXT("LINETYPE\u212A1"), 0, 0},
                      LookupCase{TEXT("\uC0C9\uC0C1"), 0, 0}));

TEST(PaletteTables, EmptyTableFindsNothingEvenTheDefaultName) {
    MainColorTable colors;
    LineTypeTable lineTypes;
    EXPECT_EQ(FindByName(colors, TEXT("MAINCOLOR01")), 0);
    EXPECT_EQ(FindByName(lineTypes, TEXT("LINETYPE01")), 0);
}

TEST(PaletteTables, BuildingAgainGivesTheSameTable) {
    MainColorTable colors;
    BuildMainColors(colors);
    BuildMainColors(colors);
    BuildMainColors(colors);
    EXPECT_EQ(colors.count, 16);
    EXPECT_EQ(colors.entries[16].name, Text(TEXT("MAINCOLOR16")));
    EXPECT_EQ(colors.entries[17].name, Text(TEXT("MAINCOLOR01")));
    LineTypeTable lineTypes;
    BuildLineTypes(lineTypes);
    BuildLineTypes(lineTypes);
    EXPECT_EQ(lineTypes.count, 10);
}

TEST(PaletteTables, LookupNeverReadsPastTheSlots) {
    LineTypeTable lineTypes;
    BuildLineTypes(lineTypes);
    lineTypes.count = 1000;
    EXPECT_EQ(FindByName(lineTypes, TEXT("LINETYPE03")), 3);
    EXPECT_EQ(FindByName(lineTypes, TEXT("nothing")), 0);
}

TEST(PaletteTables, ScreenColorUsesTheLowEightBitsOfEachComponent) {
    MainColorEntry entry;
    entry.red = 0x1FF;
    entry.green = -1;
    entry.blue = 0x100;
    EXPECT_EQ(ScreenColor(entry), 0x00FFFFu);
    entry.red = 0x12;
    entry.green = 0x34;
    entry.blue = 0x56;
    EXPECT_EQ(ScreenColor(entry), 0x563412u);
}

TEST(PaletteTables, IdsOutsideThePalette) {
    for (int position : {-1, 0, 17}) EXPECT_EQ(ColorSwatchId(position), 0) << position;
    for (int position : {-1, 0, 11}) {
        EXPECT_EQ(LineTypeSwatchId(position), 0) << position;
        EXPECT_EQ(LineTypeBitmapId(position), 17046) << position;
    }
}

}  // namespace
