#include "settings/Settings.h"

#include "tests/settings/RegistrySandbox.h"
#include "state/CommandState.h"

#include <cctype>
#include <functional>

namespace {

const RegText kKey = TEXT("SOFTWARE\\Orlanwick\\VEK\\Tarnex");

struct Stored {
    const WCHAR* name;
    RegText text;
};

// Non-default texts for all six values.
const Stored kNonDefaults[] = {
    {TEXT("d_point"), TEXT("5")},           {TEXT("inchmm"), TEXT("2")},
    {TEXT("IsExploded"), TEXT("1")},        {TEXT("Color"), TEXT("1")},
    {TEXT("mColor1"), TEXT("MAINCOLOR09")}, {TEXT("mLType1"), TEXT("LINETYPE02")},
};

class LoadSettingsTest : public RegistrySandbox {
protected:
    void SetUp() override {
        RegistrySandbox::SetUp();
        // Garbage, so that a field the load forgets shows up.
        ActiveSettings = {-77, -77, -77, -77, -77, -77};
    }
    void StoreAllExcept(const WCHAR* skipped) {
        for (const Stored& value : kNonDefaults) {
            if (RegText(value.name) != skipped) {
                PutString(kKey, value.name, value.text);
            }
        }
    }
};

void ExpectActive(int32_t dPoint, int32_t inchmm, int32_t exploded, int32_t color,
                  int32_t colorIndex, int32_t lineTypeCode) {
    EXPECT_EQ(ActiveSettings.d_point, dPoint);
    EXPECT_EQ(ActiveSettings.inchmm, inchmm);
    EXPECT_EQ(ActiveSettings.IsExploded, exploded);
    EXPECT_EQ(ActiveSettings.Color, color);
    EXPECT_EQ(ActiveSettings.colorIndex, colorIndex);
    EXPECT_EQ(ActiveSettings.lineTypeCode, lineTypeCode);
}

TEST(SettingsKey, PathAndSubkey) {
    EXPECT_EQ(SettingsSubkey, RegText(TEXT("Tarnex")));
    EXPECT_EQ(SettingsKeyPath(SettingsSubkey), kKey);
    EXPECT_EQ(SettingsKeyPath(TEXT("")), RegText(TEXT("SOFTWARE\\Orlanwick\\VEK\\")));
}

TEST_F(LoadSettingsTest, FreshUserGetsAllSixDefaultsWritten) {
    EXPECT_TRUE(LoadSettings());
    ExpectActive(3, 0, 0, 0, 1, 3);
    const Stored defaults[] = {
        {TEXT("d_point"), TEXT("3")},           {TEXT("inchmm"), TEXT("0")},
        {TEXT("IsExploded"), TEXT("0")},        {TEXT("Color"), TEXT("0")},
        {TEXT("mColor1"), TEXT("MAINCOLOR02")}, {TEXT("mLType1"), TEXT("LINETYPE07")},
    };
    for (const Stored& value : defaults) {
        EXPECT_EQ(GetString(kKey, value.name), value.text)
            << "value " << testing::PrintToString(RegText(value.name));
    }
}

TEST_F(LoadSettingsTest, StoredValuesAreUsedAndKept) {
    StoreAllExcept(TEXT(""));
    LoadSettings();
    ExpectActive(5, 2, 1, 1, 8, 4);
    for (const Stored& value : kNonDefaults) {
        EXPECT_EQ(GetString(kKey, value.name), value.text);
    }
}

TEST_F(LoadSettingsTest, OnlyTheMissingValueIsWrittenBack) {
    StoreAllExcept(TEXT("inchmm"));
    LoadSettings();
    ExpectActive(5, 0, 1, 1, 8, 4);
    for (const Stored& value : kNonDefaults) {
        RegText want = RegText(value.name) == TEXT("inchmm") ? RegText(TEXT("0")) : value.text;
        EXPECT_EQ(GetString(kKey, value.name), want);
    }
}

TEST_F(LoadSettingsTest, KeyFoundWhateverItsCase) {
    for (const Stored& value : kNonDefaults) {
        PutString(TEXT("software\\ORLANWICK\\vek\\tarnex"), value.name, value.text);
    }
    LoadSettings();
    ExpectActive(5, 2, 1, 1, 8, 4);
}

// One stored value and what it gives.
struct ValueCase {
    const char* what;
    const WCHAR* name;
    DWORD type;
    std::vector<BYTE> data;
    std::function<int32_t()> field;
    int32_t expected;
    std::optional<RegText> storedAfter;  // nullopt: the raw data must be unchanged
};

int32_t DPoint() {
    return ActiveSettings.d_point;
}
int32_t Exploded() {
    return ActiveSettings.IsExploded;
}
int32_t ColorMode() {
    return ActiveSettings.Color;
}
int32_t ColorIndex() {
    return ActiveSettings.colorIndex;
}
int32_t LineTypeCode() {
    return ActiveSettings.lineTypeCode;
}

std::vector<BYTE> Sz(const RegText& text) {
    return Utf16Bytes(text, true);
}

class StoredValue : public LoadSettingsTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(StoredValue, Converts) {
    const ValueCase& c = GetParam();
    StoreAllExcept(c.name);
    PutRaw(kKey, c.name, c.type, c.data);
    LoadSettings();
    EXPECT_EQ(c.field(), c.expected);
    if (c.storedAfter) {
        EXPECT_EQ(GetString(kKey, c.name), *c.storedAfter);
    } else {
        std::optional<RawValue> raw = GetRaw(kKey, c.name);
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->type, c.type);
        EXPECT_EQ(raw->data, c.data);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredValue,
    ::testing::Values(
        ValueCase{"negative places", TEXT("d_point"), REG_SZ, Sz(TEXT("-2")), DPoint, -2, {}},
        ValueCase{"letters only", TEXT("d_point"), REG_SZ, Sz(TEXT("abc")), DPoint, 0, {}},
        ValueCase{"exploded 5", TEXT("IsExploded"), REG_SZ, Sz(TEXT("5")), Exploded, 1, {}},
        ValueCase{"exploded -1", TEXT("IsExploded"), REG_SZ, Sz(TEXT("-1")), Exploded, 1, {}},
        ValueCase{"exploded 0", TEXT("IsExploded"), REG_SZ, Sz(TEXT("0")), Exploded, 0, {}},
        ValueCase{"colour mode 2", TEXT("Color"), REG_SZ, Sz(TEXT("2")), ColorMode, 2, {}},
        ValueCase{"lower-case colour",
                  TEXT("mColor1"),
                  REG_SZ,
                  Sz(TEXT("maincolor05")),
                  ColorIndex,
                  4,
                  {}},
        ValueCase{
            "unknown colour", TEXT("mColor1"), REG_SZ, Sz(TEXT("MAINCOLOR17")), ColorIndex, 0, {}},
        ValueCase{
            "unknown line type", TEXT("mLType1"), REG_SZ, Sz(TEXT("dotted")), LineTypeCode, 0, {}},
        ValueCase{"line type out of name order",
                  TEXT("mLType1"),
                  REG_SZ,
                  Sz(TEXT("linetype05")),
                  LineTypeCode,
                  1,
                  {}},
        ValueCase{"126 characters read",
                  TEXT("d_point"),
                  REG_SZ,
                  Sz(TEXT("4") + RegText(125, TEXT('x'))),
                  DPoint,
                  4,
                  {}},
        ValueCase{"127 characters replaced", TEXT("d_point"), REG_SZ,
                  Sz(TEXT("4") + RegText(126, TEXT('x'))), DPoint, 3, RegText(TEXT("3"))},
        ValueCase{"long colour name replaced", TEXT("mColor1"), REG_SZ,
                  Sz(TEXT("MAINCOLOR05") + RegText(200, TEXT(' '))), ColorIndex, 1,
                  RegText(TEXT("MAINCOLOR02"))},
        ValueCase{"binary colour, odd length, no null",
                  TEXT("mColor1"),
                  REG_BINARY,
                  [] {
                      std::vector<BYTE> bytes = Utf16Bytes(TEXT("MAINCOLOR05"), false);
                      bytes.push_back('Z');
                      return bytes;
                  }(),
                  ColorIndex,
                  4,
                  {}},
        ValueCase{"binary up to the first null",
                  TEXT("d_point"),
                  REG_BINARY,
                  {'7', 0, 0, 0, '9', 0},
                  DPoint,
                  7,
                  {}},
        ValueCase{"dword type", TEXT("Color"), REG_DWORD, {'1', 0, 0, 0}, ColorMode, 1, {}}),
    [](const ::testing::TestParamInfo<ValueCase>& param) {
        std::string name;
        for (const char* p = param.param.what; *p; ++p) {
            if (std::isalnum(static_cast<unsigned char>(*p))) {
                name += *p;
            }
        }
        return name;
    });

TEST_F(LoadSettingsTest, EveryKeyIsClosed) {
    if (OpenKeys() < 0) {
        GTEST_SKIP() << "open keys cannot be counted here";
    }
    const int before = OpenKeys();
    LoadSettings();  // creating
    LoadSettings();  // reading
    EXPECT_EQ(OpenKeys(), before);
}

TEST_F(LoadSettingsTest, WriteSettingUsesTheGivenSubkey) {
    EXPECT_TRUE(WriteSetting(TEXT("Other"), TEXT("d_point"), TEXT("1")));
    EXPECT_EQ(GetString(TEXT("SOFTWARE\\Orlanwick\\VEK\\Other"), TEXT("d_point")),
              RegText(TEXT("1")));
    EXPECT_FALSE(GetRaw(kKey, TEXT("d_point")));
}

}  // namespace
