// Each test gets an empty HKEY_CURRENT_USER of its own: natively the
// stand-in's memory store is emptied, under Windows HKEY_CURRENT_USER is
// redirected to a scratch key that is recreated for the test and removed after.
#pragma once

#include "settings/RegText.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

class RegistrySandbox : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Direct registry access, independent of the code under test.
    static void PutRaw(const RegText& path, const RegText& name, DWORD type,
                       const std::vector<BYTE>& data);
    static void PutString(const RegText& path, const RegText& name, const RegText& text);
    static std::optional<RawValue> GetRaw(const RegText& path, const RegText& name);
    // REG_SZ data that ends with exactly one null, without that null; nullopt
    // when the value is missing or not stored that way.
    static std::optional<RegText> GetString(const RegText& path, const RegText& name);
    static bool KeyExists(const RegText& path);

    // Key handles open in the native stand-in; -1 under Windows, where the
    // count cannot be observed.
    static int OpenKeys();

private:
    HKEY scratch_ = nullptr;
};

// UTF-16 bytes of a text, with or without a terminating null.
std::vector<BYTE> Utf16Bytes(const RegText& text, bool withNull);
