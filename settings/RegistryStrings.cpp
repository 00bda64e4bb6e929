#include "settings/RegistryStrings.h"

#include <algorithm>
#include <cstring>

namespace {

void UseBackslashes(RegText& path) {
    std::replace(path.begin(), path.end(), TEXT('/'), TEXT('\\'));
}

// A stored string longer than this (126 characters and the null) counts as
// unreadable.
constexpr DWORD kReadBufferBytes = 255;

}  // namespace

int32_t RegReadString(RegText keyPath, RegText valueName, RegText& value) {
    UseBackslashes(keyPath);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return -1;
    }
    BYTE buffer[kReadBufferBytes];
    DWORD size = sizeof buffer;
    const LSTATUS status =
        RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, buffer, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || size > sizeof buffer) {
        return -1;
    }

    // Whole UTF-16 units only; an odd trailing byte cannot form a character.
    WCHAR chars[kReadBufferBytes / sizeof(WCHAR)];
    const size_t count = size / sizeof(WCHAR);
    std::memcpy(chars, buffer, count * sizeof(WCHAR));
    const size_t length = std::find(chars, chars + count, WCHAR(0)) - chars;
    value.assign(chars, length);
    return 0;
}

int32_t RegWriteString(RegText keyPath, RegText valueName, RegText value) {
    UseBackslashes(keyPath);
    // The byte count, null included, must fit the registry's 32-bit size.
    if (value.size() >= MAXDWORD / sizeof(WCHAR)) {
        return -1;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return -1;
    }
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR));
    const LSTATUS status = RegSetValueExW(key, valueName.c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : -1;
}
