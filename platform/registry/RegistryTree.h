// The stand-in registry's data: a tree of keys, each with named values, kept
// in one table where each key knows its parent and its subkeys by position.
// Copying, destroying and walking the tree never recurse, however deep it is.
// Names keep the case they were created with and are compared ignoring case.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace winreg_standin {

// The limits Windows sets. Key names: the documentation says 255 characters,
// Windows and Wine take 256 and refuse 257 with ERROR_INVALID_PARAMETER; the
// stand-in does the same. Value names: 16 383 characters. A tree: 512 levels
// deep, counted here below HKEY_CURRENT_USER.
constexpr size_t kMaxKeyNameLength = 256;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxKeyDepth = 512;

constexpr uint32_t kNoKey = UINT32_MAX;

struct RegValue {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegKey {
    std::u16string name;
    uint32_t parent = kNoKey;       // kNoKey for the root
    uint32_t depth = 0;             // levels below the root
    std::vector<RegValue> values;   // in creation order
    std::vector<uint32_t> subkeys;  // in creation order
};

// Keys are only ever added, so a key's position stays its own.
struct RegTree {
    static constexpr uint32_t kRoot = 0;
    std::vector<RegKey> keys = std::vector<RegKey>(1);

    // The subkey of `key` with this name, or kNoKey.
    uint32_t FindSubkey(uint32_t key, const std::u16string& name) const;
    // A new subkey of `key`; its position.
    uint32_t AddSubkey(uint32_t key, std::u16string name);
    RegValue* FindValue(uint32_t key, const std::u16string& name);
};

// Case-insensitive name comparison for ASCII and Latin-1 letters, which
// covers every name this project stores.
bool SameRegName(const std::u16string& a, const std::u16string& b);

}  // namespace winreg_standin
