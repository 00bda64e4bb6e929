// The stand-in registry's data: a tree of keys, each with named values.
// Names keep the case they were created with and are compared ignoring case.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winreg_standin {

struct RegValue {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegKey {
    std::u16string name;
    std::vector<RegValue> values;  // in creation order
    std::vector<RegKey> subkeys;   // in creation order
};

// Case-insensitive name comparison for ASCII and Latin-1 letters, which
// covers every name this project stores.
bool SameRegName(const std::u16string& a, const std::u16string& b);

RegKey* FindSubkey(RegKey& key, const std::u16string& name);
RegValue* FindValue(RegKey& key, const std::u16string& name);

}  // namespace winreg_standin
