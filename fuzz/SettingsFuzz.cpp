// The settings store reading whatever the registry holds: values of any type,
// length and bytes under the settings key (and keys and names around it),
// written straight through the registry calls, then LoadSettings. It may not
// crash or trip a sanitizer, and it must leave every field of ActiveSettings
// in its documented range: IsExploded 0 or 1, colorIndex 0 to 15,
// lineTypeCode 0 to 9. A value it cannot read (missing, or over 255 bytes)
// gives the field its default, and the default text is written back; a value
// it can read is left as it was. Natively this runs on the registry stand-in,
// under Windows on a scratch key standing in for HKEY_CURRENT_USER.
#include "settings/Settings.h"
#include "state/CommandState.h"

#include "fuzz/FuzzInput.h"

#ifndef _WIN32
#include "platform/registry/RegistryStandin.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

constexpr size_t kSettings = sizeof kSettingDefaults / sizeof kSettingDefaults[0];

[[noreturn]] void Fault(const char* what, size_t setting) {
    std::fprintf(stderr, "settings_fuzz: %s (value %zu)\n", what, setting);
    std::abort();
}

void EmptyRegistry() {
#ifdef _WIN32
    static HKEY scratch = [] {
        const WCHAR* path = L"Software\\TarnexFuzz";
        RegDeleteTreeW(HKEY_CURRENT_USER, path);
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, key);
        return key;
    }();
    RegDeleteTreeW(scratch, nullptr);
#else
    winreg_standin::UseMemoryRegistry();
#endif
}

struct Raw {
    DWORD type = 0;
    std::vector<BYTE> data;
};

std::optional<Raw> Read(const RegText& path, const RegText& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    Raw raw;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &raw.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        raw.data.resize(size);
        status = RegQueryValueExW(key, name.c_str(), nullptr, &raw.type, raw.data.data(), &size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return raw;
}

void Write(const RegText& path, const RegText& name, DWORD type, const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

RegText Name(FuzzInput& in, size_t most) {
    RegText name;
    for (size_t n = in.Below(uint32_t(most + 1)); n > 0; --n) {
        name += WCHAR(in.Take<uint16_t>());
    }
    return name;
}

// Each byte of the input one UTF-16 unit: short texts such as "MAINCOLOR05"
// or "-12" are easy to reach.
std::vector<BYTE> Text(FuzzInput& in, bool withNull) {
    const std::vector<uint8_t> chars = in.Bytes(in.Below(140));
    std::vector<BYTE> data(chars.size() * 2 + (withNull ? 2 : 0), 0);
    for (size_t i = 0; i < chars.size(); ++i) {
        data[2 * i] = chars[i];
    }
    return data;
}

int32_t Field(const SettingsRecord& s, size_t setting) {
    const int32_t fields[] = {s.d_point, s.inchmm,     s.IsExploded,
                              s.Color,   s.colorIndex, s.lineTypeCode};
    return fields[setting];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const SettingsRecord kDefaults = [] {
        EmptyRegistry();
        LoadSettings();
        return ActiveSettings;
    }();
    const RegText path = SettingsKeyPath(SettingsSubkey);
    EmptyRegistry();

    FuzzInput in(data, size);
    for (uint32_t writes = in.Below(10); writes > 0; --writes) {
        const uint8_t how = in.Take<uint8_t>();
        RegText key = path;
        if (how & 1) {
            key = Name(in, 8) + TEXT("\\") + Name(in, 300);
        }
        const size_t which = (how >> 1) & 7;
        const RegText name =
            which < kSettings ? RegText(kSettingDefaults[which].name) : Name(in, 20);
        static const DWORD kTypes[] = {REG_SZ,   REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD,
                                       REG_NONE, 7 /* REG_MULTI_SZ */};
        const uint32_t pick = in.Below(8);
        const DWORD type = pick < 7 ? kTypes[pick] : in.Take<DWORD>();
        const uint32_t form = in.Below(3);
        Write(key, name, type, form == 0 ? in.Bytes(in.Below(600)) : Text(in, form == 1));
    }

    std::optional<Raw> before[kSettings];
    for (size_t i = 0; i < kSettings; ++i) {
        before[i] = Read(path, kSettingDefaults[i].name);
    }
    LoadSettings();
    const SettingsRecord loaded = ActiveSettings;

    if (loaded.IsExploded != 0 && loaded.IsExploded != 1) {
        Fault("IsExploded out of range", 2);
    }
    if (loaded.colorIndex < 0 || loaded.colorIndex > 15) {
        Fault("colorIndex out of range", 4);
    }
    if (loaded.lineTypeCode < 0 || loaded.lineTypeCode > 9) {
        Fault("lineTypeCode out of range", 5);
    }
    for (size_t i = 0; i < kSettings; ++i) {
        const std::optional<Raw> after = Read(path, kSettingDefaults[i].name);
        if (!after) {
            Fault("a value is missing after loading", i);
        }
        const bool readable = before[i] && before[i]->data.size() <= 255;
        if (readable) {
            if (after->type != before[i]->type || after->data != before[i]->data) {
                Fault("a value that could be read was changed", i);
            }
            continue;
        }
        if (Field(loaded, i) != Field(kDefaults, i)) {
            Fault("an unreadable value did not give the default", i);
        }
        const RegText text = kSettingDefaults[i].text;
        std::vector<BYTE> expected((text.size() + 1) * sizeof(WCHAR), 0);
        std::memcpy(expected.data(), text.c_str(), text.size() * sizeof(WCHAR));
        if (after->type != REG_SZ || after->data != expected) {
            Fault("the default was not written back", i);
        }
    }
    return 0;
}
