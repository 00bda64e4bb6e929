#include "tools/vekhost/SettingsAccess.h"

#include "tools/vekhost/TextConvert.h"
#include "settings/Settings.h"

#ifndef _WIN32
#include "platform/registry/RegistryStandin.h"
#endif

#include <cctype>
#include <cwchar>

namespace vekhost_tool {

namespace {

std::u16string ToU16(const WCHAR* text) {
    return FromWideText(RegText(text));
}

}  // namespace

std::vector<std::string> SettingNames() {
    std::vector<std::string> names;
    for (const SettingDefault& setting : kSettingDefaults) {
        names.push_back(Utf16ToUtf8(ToU16(setting.name)));
    }
    return names;
}

std::optional<std::string> CanonicalSettingName(const std::string& name) {
    for (const std::string& known : SettingNames()) {
        if (SameAsciiLetters(known, name)) {
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

namespace {

bool StoreEach(const SettingList& settings, std::string& error) {
    for (const auto& [name, value] : settings) {
        if (!StoreSetting(name, value)) {
            error = "cannot store the setting " + name + " in " + SettingsLocation();
            return false;
        }
    }
    return true;
}

}  // namespace

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

namespace {

// While a run's copy of the settings is the store, SettingsLocation says so.
bool runCopy = false;

}  // namespace

#ifdef _WIN32

namespace {

// HKEY_CURRENT_USER's subkey that holds the settings tree in its place, from
// $TARNEX_REGISTRY_KEY; empty for HKEY_CURRENT_USER itself.
std::wstring RedirectedRoot() {
    const DWORD size = GetEnvironmentVariableW(L"TARNEX_REGISTRY_KEY", nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring root(size, L'\0');
    root.resize(GetEnvironmentVariableW(L"TARNEX_REGISTRY_KEY", root.data(), size));
    return root;
}

// The persistent settings key, relative to the real HKEY_CURRENT_USER.
std::wstring PersistentKeyPath() {
    const std::wstring root = RedirectedRoot();
    const std::wstring settings = SettingsKeyPath(SettingsSubkey);
    return root.empty() ? settings : root + L"\\" + settings;
}

// Held while values are stored together or copied for a run, so that a run
// never copies half of what another process stores. Abandoned by a process
// that died holding it, it is still taken: each value it wrote is whole.
class SettingsLock {
public:
    SettingsLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\Tarnex settings")) {
        if (mutex_ != nullptr) {
            WaitForSingleObject(mutex_, INFINITE);
        }
    }
    ~SettingsLock() {
        if (mutex_ != nullptr) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
    }
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

private:
    HANDLE mutex_;
};

// Scratch root standing in for HKEY_CURRENT_USER, one per process so that
// two programs using one at the same time keep apart.
constexpr wchar_t kScratchKeyName[] = L"Tarnex scratch settings ";

std::wstring ScratchKeyPath() {
    return L"Software\\" + std::wstring(kScratchKeyName) + std::to_wstring(GetCurrentProcessId());
}

bool ProcessIsGone(DWORD id) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (process == nullptr) {
        return true;
    }
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// Removes the scratch roots of processes that ended without removing their
// own (a run stopped with Ctrl+C), which would otherwise pile up.
void RemoveScratchKeysOfEndedProcesses() {
    HKEY software = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &software) != ERROR_SUCCESS) {
        return;
    }
    std::vector<std::wstring> ended;
    wchar_t name[256];
    DWORD length = 256;
    for (DWORD i = 0; RegEnumKeyExW(software, i, name, &length, nullptr, nullptr, nullptr,
                                    nullptr) == ERROR_SUCCESS;
         ++i, length = 256) {
        const std::wstring key(name, length);
        const size_t prefix = std::wstring(kScratchKeyName).size();
        if (key.compare(0, prefix, kScratchKeyName) == 0 &&
            ProcessIsGone(static_cast<DWORD>(std::wcstoul(key.c_str() + prefix, nullptr, 10)))) {
            ended.push_back(L"Software\\" + key);
        }
    }
    RegCloseKey(software);
    for (const std::wstring& key : ended) {
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    }
}

// The earlier value of each setting in `settings` (empty where there was
// none), before they are stored.
std::vector<std::optional<std::string>> EarlierValues(const SettingList& settings) {
    std::vector<std::optional<std::string>> earlier;
    for (const auto& setting : settings) {
        earlier.push_back(StoredSetting(setting.first));
    }
    return earlier;
}

// Copies the persistent settings key, when there is one, under `scratch`.
bool CopyStoredSettings(HKEY scratch) {
    HKEY source = nullptr;
    const LSTATUS opened =
        RegOpenKeyExW(HKEY_CURRENT_USER, PersistentKeyPath().c_str(), 0, KEY_READ, &source);
    if (opened == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    if (opened != ERROR_SUCCESS) {
        return false;
    }
    HKEY target = nullptr;
    LSTATUS status =
        RegCreateKeyExW(scratch, SettingsKeyPath(SettingsSubkey).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &target, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegCopyTreeW(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    return status == ERROR_SUCCESS;
}

}  // namespace

bool OpenPersistentSettings(std::string& error) {
    static HKEY redirected = nullptr;
    const std::wstring root = RedirectedRoot();
    if (root.empty() || redirected != nullptr) {
        return true;
    }
    // Process-wide, as for a scratch store: the plug-in sees the same root.
    if (RegCreateKeyExW(HKEY_CURRENT_USER, root.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &redirected, nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, redirected) != ERROR_SUCCESS) {
        error = "cannot open the settings key " + SettingsLocation();
        return false;
    }
    return true;
}

std::string SettingsLocation() {
    const std::string key = "HKEY_CURRENT_USER\\" + Utf16ToUtf8(FromWideText(PersistentKeyPath()));
    return runCopy ? "this run's copy of " + key : key;
}

bool StoreSettings(const SettingList& settings, std::string& error) {
    if (!OpenPersistentSettings(error)) {
        return false;
    }
    const SettingsLock lock;
    const auto earlier = EarlierValues(settings);
    if (StoreEach(settings, error)) {
        return true;
    }
    // All or none: put back what was there.
    for (size_t i = 0; i < settings.size(); ++i) {
        const std::wstring name = ToWideText<wchar_t>(*Utf8ToUtf16(settings[i].first));
        if (earlier[i]) {
            StoreSetting(settings[i].first, *earlier[i]);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, SettingsKeyPath(SettingsSubkey).c_str(),
                               name.c_str());
        }
    }
    return false;
}

ScratchSettings::ScratchSettings(Start start) {
    // A leftover from a run that was killed would carry its settings over.
    RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKeyPath().c_str());
    RemoveScratchKeysOfEndedProcesses();
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, ScratchKeyPath().c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        error_ = "cannot make a settings key of this run's own";
        return;
    }
    bool copied = true;
    if (start == Start::CopyOfStored) {
        const SettingsLock lock;
        copied = CopyStoredSettings(key);
    }
    // Process-wide: the plug-in loaded into this process sees the same root.
    if (!copied || RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS) {
        error_ = copied ? "cannot give this run a settings key of its own"
                        : "cannot copy the settings in " + SettingsLocation();
        RegCloseKey(key);
        RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKeyPath().c_str());
        return;
    }
    key_ = key;
    ok_ = true;
    copy_ = start == Start::CopyOfStored;
    runCopy = copy_;
}

ScratchSettings::~ScratchSettings() {
    if (!ok_) {
        return;
    }
    if (copy_) {
        runCopy = false;
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
    const std::string file = winreg_standin::DefaultRegistryFilePath();
    return runCopy ? "this run's copy of " + file : file;
}

bool StoreSettings(const SettingList& settings, std::string& error) {
    if (!OpenPersistentSettings(error)) {
        return false;
    }
    // Under the file's lock: other processes' changes are kept, and the
    // values reach the file in one write or not at all.
    if (!winreg_standin::ChangeAsOne([&] { return StoreEach(settings, error); })) {
        if (error.empty()) {
            error = "cannot write the settings file " + SettingsLocation();
        }
        return false;
    }
    return true;
}

ScratchSettings::ScratchSettings(Start start) {
    copy_ = start == Start::CopyOfStored;
    if (!copy_) {
        winreg_standin::UseMemoryRegistry();
    } else if (!winreg_standin::UseRegistryCopy(winreg_standin::DefaultRegistryFilePath())) {
        error_ = "cannot read the settings file " + SettingsLocation();
        return;
    }
    ok_ = true;
    runCopy = copy_;
}

ScratchSettings::~ScratchSettings() {
    if (copy_) {
        runCopy = false;
    }
    winreg_standin::UseMemoryRegistry();
}

#endif

}  // namespace vekhost_tool
