#include "tests/settings/RegistrySandbox.h"

#include <cstring>

#ifdef _WIN32
#include <string>
#else
#include "platform/registry/RegistryStandin.h"
#endif

#ifdef _WIN32
namespace {
RegText ScratchPath() {
    return L"Software\\TarnexTests\\" + std::to_wstring(GetCurrentProcessId());
}
}  // namespace
#endif

void RegistrySandbox::SetUp() {
#ifdef _WIN32
    RegDeleteTreeW(HKEY_CURRENT_USER, ScratchPath().c_str());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ScratchPath().c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &scratch_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, scratch_), ERROR_SUCCESS);
#else
    winreg_standin::UseMemoryRegistry();
#endif
}

void RegistrySandbox::TearDown() {
#ifdef _WIN32
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (scratch_) {
        RegCloseKey(scratch_);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, ScratchPath().c_str());
#else
    winreg_standin::UseMemoryRegistry();
#endif
}

void RegistrySandbox::PutRaw(const RegText& path, const RegText& name, DWORD type,
                             const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    LSTATUS status =
        RegSetValueExW(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

void RegistrySandbox::PutString(const RegText& path, const RegText& name, const RegText& text) {
    PutRaw(path, name, REG_SZ, Utf16Bytes(text, true));
}

std::optional<RawValue> RegistrySandbox::GetRaw(const RegText& path, const RegText& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RawValue value;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status =
            RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::optional<RegText> RegistrySandbox::GetString(const RegText& path, const RegText& name) {
    std::optional<RawValue> raw = GetRaw(path, name);
    if (!raw || raw->type != REG_SZ || raw->data.size() < 2 || raw->data.size() % 2 != 0) {
        return std::nullopt;
    }
    RegText text(raw->data.size() / 2, WCHAR(0));
    std::memcpy(text.data(), raw->data.data(), raw->data.size());
    if (text.back() != 0) {
        return std::nullopt;
    }
    text.pop_back();
    if (text.find(WCHAR(0)) != RegText::npos) {
        return std::nullopt;
    }
    return text;
}

bool RegistrySandbox::KeyExists(const RegText& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

int RegistrySandbox::OpenKeys() {
#ifdef _WIN32
    return -1;
#else
    return winreg_standin::OpenRegistryKeyCount();
#endif
}

std::vector<BYTE> Utf16Bytes(const RegText& text, bool withNull) {
    const size_t units = text.size() + (withNull ? 1 : 0);
    std::vector<BYTE> bytes(units * sizeof(WCHAR));
    std::memcpy(bytes.data(), text.c_str(), bytes.size());
    return bytes;
}
