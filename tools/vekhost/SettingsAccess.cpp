#include "tools/vekhost/SettingsAccess.h"

#include "tools/vekhost/TextConvert.h"
#include "settings/Settings.h"

#ifndef _WIN32
#include "platform/registry/RegistryStandin.h"
#endif

#include <cctype>

namespace vekhost_tool {

namespace {

std::u16string ToU16(const WCHAR* text) {
    return FromWideText(RegText(text));
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> SettingNames() {
    std::vector<std::string> names;
    for (const SettingDefault& setting : SettingDefaults) {
        names.push_back(Utf16ToUtf8(ToU16(setting.name)));
    }
    return names;
}

std::optional<std::string> CanonicalSettingName(const std::string& name) {
    for (const std::string& known : SettingNames()) {
        if (SameName(known, name)) {
            return known;
        }
    }
    return std::nullopt;
}

bool StoreSetting(const std::string& name, const std::string& utf8Value) {
    const auto value = Utf8ToUtf16(utf8Value);
    const auto valueName = Utf8ToUtf16(name);
    if (!value || !valueName) {
        return false;
    }
    return WriteSetting(SettingsSubkey, ToWideText<WCHAR>(*valueName), ToWideText<WCHAR>(*value));
}

std::optional<std::string> StoredSetting(const std::string& name) {
    const auto valueName = Utf8ToUtf16(name);
    if (!valueName) {
        return std::nullopt;
    }
    RegText value;
    if (RegReadString(SettingsKeyPath(SettingsSubkey), ToWideText<WCHAR>(*valueName), value) != 0) {
        return std::nullopt;
    }
    return Utf16ToUtf8(FromWideText(value));
}

#ifdef _WIN32

namespace {

// Scratch root standing in for HKEY_CURRENT_USER, one per process so that
// two programs using one at the same time keep apart.
std::wstring ScratchKeyPath() {
    return L"Software\\Tarnex scratch settings " + std::to_wstring(GetCurrentProcessId());
}

}  // namespace

bool OpenPersistentSettings(std::string& /*error*/) {
    return true;
}

std::string SettingsLocation() {
    return "HKEY_CURRENT_USER\\" + Utf16ToUtf8(FromWideText(SettingsKeyPath(SettingsSubkey)));
}

ScratchSettings::ScratchSettings() {
    // A leftover from a run that was killed would carry its settings over.
    RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKeyPath().c_str());
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, ScratchKeyPath().c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    // Process-wide: the plug-in loaded into this process sees the same root.
    if (RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS) {
        RegCloseKey(key);
        RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKeyPath().c_str());
        return;
    }
    key_ = key;
    ok_ = true;
}

ScratchSettings::~ScratchSettings() {
    if (!ok_) {
        return;
    }
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(static_cast<HKEY>(key_));
    RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKeyPath().c_str());
}

#else

bool OpenPersistentSettings(std::string& error) {
    if (!winreg_standin::UseRegistryFile(winreg_standin::DefaultRegistryFilePath())) {
        error = "cannot read the settings file " + SettingsLocation();
        return false;
    }
    return true;
}

std::string SettingsLocation() {
    return winreg_standin::DefaultRegistryFilePath();
}

ScratchSettings::ScratchSettings() {
    winreg_standin::UseMemoryRegistry();
    ok_ = true;
}

ScratchSettings::~ScratchSettings() {
    winreg_standin::UseMemoryRegistry();
}

#endif

}  // namespace vekhost_tool
