#include "settings/PaletteTables.h"

#include "res/PickerIds.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

using Text = std::basic_string<WCHAR>;

// "MAINCOLOR07", "LINETYPE10": the prefix and the position in two digits.
Text NameAt(const char* prefix, int position) {
    Text name(prefix, prefix + std::strlen(prefix));
    name += static_cast<WCHAR>('0' + position / 10);
    name += static_cast<WCHAR>('0' + position % 10);
    return name;
}

std::string Narrow(const Text& text) {
    return std::string(text.begin(), text.end());
}

// The picker dialogs' controls and pictures, in palette order: each
// position's swatch and picture must be the one the table names for it.
const int kColorSwatches[kMainColorCount] = {IDC_COLOR01, IDC_COLOR02, IDC_COLOR03, IDC_COLOR04,
                                             IDC_COLOR05, IDC_COLOR06, IDC_COLOR07, IDC_COLOR08,
                                             IDC_COLOR09, IDC_COLOR10, IDC_COLOR11, IDC_COLOR12,
                                             IDC_COLOR13, IDC_COLOR14, IDC_COLOR15, IDC_COLOR16};
const int kLineTypeSwatches[kLineTypeCount] = {
    IDC_LINETYPE01, IDC_LINETYPE02, IDC_LINETYPE03, IDC_LINETYPE04, IDC_LINETYPE05,
    IDC_LINETYPE06, IDC_LINETYPE07, IDC_LINETYPE08, IDC_LINETYPE09, IDC_LINETYPE10};
const int kLineTypeBitmaps[kLineTypeCount] = {
    IDB_LINETYPE01, IDB_LINETYPE02, IDB_LINETYPE03, IDB_LINETYPE04, IDB_LINETYPE05,
    IDB_LINETYPE06, IDB_LINETYPE07, IDB_LINETYPE08, IDB_LINETYPE09, IDB_LINETYPE10};

// What the host draws: the palette's colours (0x00BBGGRR) and its line-type
// codes, which do not follow the name order, position by position.
const uint32_t kScreenColors[kMainColorCount] = {
    0xFFFFFF, 0xFFC000, 0x50FF3C, 0xC040FF, 0x00E0E0, 0x0000FF, 0x8080FF, 0xFF8000,
    0x00FFFF, 0x808080, 0xFFFF00, 0xFF0000, 0xFF0080, 0xFF8080, 0x800080, 0x008080};
const int32_t kLineTypeCodes[kLineTypeCount] = {0, 4, 5, 6, 1, 2, 3, 7, 8, 9};

// Position p holds MAINCOLORpp with the host's colour index p - 1, a colour
// of its own, the picker's swatch p, and is found by its name.
TEST(PaletteTables, ColourTableInPaletteOrder) {
    MainColorTable table;
    BuildMainColors(table);
    ASSERT_EQ(table.count, kMainColorCount);
    std::set<uint32_t> colours;
    for (int position = 1; position <= kMainColorCount; ++position) {
        const MainColorEntry& got = table.entries[static_cast<size_t>(position)];
        const Text name = NameAt("MAINCOLOR", position);
        EXPECT_EQ(got.name, name) << "position " << position << " is named " << Narrow(got.name);
        EXPECT_EQ(got.index, position - 1) << "host colour index at position " << position;
        for (int32_t component : {got.red, got.green, got.blue}) {
            EXPECT_TRUE(component >= 0 && component <= 255)
                << Narrow(name) << " has a component " << component;
        }
        EXPECT_EQ(ScreenColor(got), kScreenColors[position - 1])
            << Narrow(name) << " is 0x" << std::hex << ScreenColor(got);
        EXPECT_TRUE(colours.insert(ScreenColor(got)).second) << Narrow(name) << " repeats a colour";
        EXPECT_EQ(ColorSwatchId(position), kColorSwatches[position - 1])
            << "swatch of " << Narrow(name);
        EXPECT_EQ(FindByName(table, name), position) << Narrow(name) << " found elsewhere";
    }
}

// Position p holds LINETYPEpp, the host's code for it (each of 0 to 9 once),
// the picker's swatch p and picture p, and is found by its name.
TEST(PaletteTables, LineTypeTableInPaletteOrder) {
    LineTypeTable table;
    BuildLineTypes(table);
    ASSERT_EQ(table.count, kLineTypeCount);
    std::set<int32_t> codes;
    for (int position = 1; position <= kLineTypeCount; ++position) {
        const LineTypeEntry& got = table.entries[static_cast<size_t>(position)];
        const Text name = NameAt("LINETYPE", position);
        EXPECT_EQ(got.name, name) << "position " << position << " is named " << Narrow(got.name);
        EXPECT_EQ(got.code, kLineTypeCodes[position - 1]) << "host code of " << Narrow(name);
        EXPECT_TRUE(got.code >= 0 && got.code < kLineTypeCount && codes.insert(got.code).second)
            << Narrow(name) << " has code " << got.code << ", out of range or repeated";
        EXPECT_EQ(LineTypeSwatchId(position), kLineTypeSwatches[position - 1])
            << "swatch of " << Narrow(name);
        EXPECT_EQ(LineTypeBitmapId(position), kLineTypeBitmaps[position - 1])
            << "picture of " << Narrow(name);
        EXPECT_EQ(FindByName(table, name), position) << Narrow(name) << " found elsewhere";
    }
}

// The registry's defaults name entries of the palette, so a fresh store
// loads a colour and a line type the pickers offer.
TEST(PaletteTables, StoredDefaultsAreInThePalette) {
    MainColorTable colors;
    BuildMainColors(colors);
    LineTypeTable lineTypes;
    BuildLineTypes(lineTypes);
    const Text colour = SettingOf(SettingId::MainColor).text;
    const Text lineType = SettingOf(SettingId::LineType).text;
    EXPECT_NE(FindByName(colors, colour), 0) << Narrow(colour);
    EXPECT_NE(FindByName(lineTypes, lineType), 0) << Narrow(lineType);
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
    for (int position : {-1, 0, 17}) {
        EXPECT_EQ(ColorSwatchId(position), 0) << position;
    }
    for (int position : {-1, 0, 11}) {
        EXPECT_EQ(LineTypeSwatchId(position), 0) << position;
        EXPECT_EQ(LineTypeBitmapId(position), 17046) << position;
    }
}

}  // namespace
