// The registry behaviour the settings store relies on. These run against the
// real registry under Windows and against the stand-in natively, so the
// stand-in is held to what Windows does.
#include "tests/settings/RegistrySandbox.h"

#include <cstring>

namespace {

class RegistryBehaviour : public RegistrySandbox {
protected:
    HKEY Create(const RegText& path, REGSAM access = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, access, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
};

TEST_F(RegistryBehaviour, MissingKeyAndValueAreNotFound) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("A\\B"), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    HKEY a = Create(TEXT("A"));
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("A\\B"), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(a, TEXT("v"), nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(a);
}

TEST_F(RegistryBehaviour, CreateMakesParentsThenOpensExisting) {
    DWORD disposition = 0;
    HKEY key = Create(TEXT("A\\B\\C"), KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    EXPECT_TRUE(KeyExists(TEXT("A")));
    EXPECT_TRUE(KeyExists(TEXT("A\\B")));
    key = Create(TEXT("a\\b\\c"), KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
    key = Create(TEXT("A\\B\\"), KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
}

TEST_F(RegistryBehaviour, LongerDataIsRefusedWithItsSizeAndTheBufferUntouched) {
    PutRaw(TEXT("K"), TEXT("v"), REG_BINARY, std::vector<BYTE>(300, 0x41));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("K"), 0, KEY_READ, &key), ERROR_SUCCESS);
    BYTE buffer[255];
    std::memset(buffer, 0xCC, sizeof buffer);
    DWORD size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("v"), nullptr, nullptr, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 300u);
    for (BYTE b : buffer) {
        ASSERT_EQ(b, 0xCC);
    }

    size = 0;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("v"), nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 300u);
    RegCloseKey(key);
}

TEST_F(RegistryBehaviour, TypesAndBytesAreKept) {
    const std::vector<std::pair<DWORD, std::vector<BYTE>>> values = {
        {REG_SZ, {'a', 0, 0, 0}},
        {REG_BINARY, {1, 2, 3}},
        {REG_DWORD, {7, 0, 0, 0}},
        {REG_EXPAND_SZ, {'%', 0, 0, 0}},
        {REG_NONE, {}}};
    for (const auto& [type, data] : values) {
        SCOPED_TRACE(type);
        PutRaw(TEXT("K"), TEXT("v"), type, data);
        std::optional<RawValue> raw = GetRaw(TEXT("K"), TEXT("v"));
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->type, type);
        EXPECT_EQ(raw->data, data);
    }
}

TEST_F(RegistryBehaviour, NamesIgnoreCase) {
    PutRaw(TEXT("Key\\Sub"), TEXT("Name"), REG_BINARY, {9});
    std::optional<RawValue> raw = GetRaw(TEXT("KEY\\sub"), TEXT("nAME"));
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->data, std::vector<BYTE>{9});
    PutRaw(TEXT("key\\SUB"), TEXT("NAME"), REG_BINARY, {8});
    EXPECT_EQ(GetRaw(TEXT("Key\\Sub"), TEXT("Name"))->data, std::vector<BYTE>{8});
}

TEST_F(RegistryBehaviour, ReadOnlyKeyRefusesWrites) {
    RegCloseKey(Create(TEXT("K")));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("K"), 0, KEY_READ, &key), ERROR_SUCCESS);
    const BYTE data[] = {1};
    EXPECT_EQ(RegSetValueExW(key, TEXT("v"), 0, REG_BINARY, data, 1), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
    EXPECT_FALSE(GetRaw(TEXT("K"), TEXT("v")));
}

TEST_F(RegistryBehaviour, LeadingBackslashIsRefused) {
    HKEY key = nullptr;
    EXPECT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("\\A"), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(TEXT("A")));
}

TEST_F(RegistryBehaviour, RepeatedBackslashesAreOneSeparator) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("A\\\\B\\\\"), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(KeyExists(TEXT("A\\B")));
    EXPECT_TRUE(KeyExists(TEXT("A\\\\\\B")));
    PutRaw(TEXT("A\\B"), TEXT("v"), REG_BINARY, {1});
    EXPECT_TRUE(GetRaw(TEXT("A\\\\B"), TEXT("v")));
}

// Names at Windows' limits and beyond: a key name of 256 characters is taken
// (the documentation says 255), 257 are refused whether the key is opened or
// made; a value name of 16 383 characters is taken, a longer one refused when
// set and not found when read.
TEST_F(RegistryBehaviour, NamesLongerThanWindowsTakesAreRefused) {
    const struct {
        size_t length;
        LSTATUS create;
        LSTATUS open;
    } keys[] = {{255, ERROR_SUCCESS, ERROR_SUCCESS},
                {256, ERROR_SUCCESS, ERROR_SUCCESS},
                {257, ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
                {5000, ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER}};
    for (const auto& c : keys) {
        SCOPED_TRACE(c.length);
        const RegText path = TEXT("K\\") + RegText(c.length, TEXT('k'));
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  c.create);
        if (key) {
            RegCloseKey(key);
        }
        key = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), c.open);
        if (key) {
            RegCloseKey(key);
        }
    }
    EXPECT_FALSE(KeyExists(TEXT("K\\") + RegText(257, TEXT('k'))));

    HKEY key = Create(TEXT("V"));
    const BYTE data[] = {1, 0, 0, 0};
    const struct {
        size_t length;
        LSTATUS set;
        LSTATUS query;
    } values[] = {{16383, ERROR_SUCCESS, ERROR_SUCCESS},
                  {16384, ERROR_INVALID_PARAMETER, ERROR_FILE_NOT_FOUND},
                  {40000, ERROR_INVALID_PARAMETER, ERROR_FILE_NOT_FOUND}};
    for (const auto& c : values) {
        SCOPED_TRACE(c.length);
        const RegText name(c.length, TEXT('v'));
        EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, REG_DWORD, data, 4), c.set);
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size), c.query);
    }
    RegCloseKey(key);
}

}  // namespace
