#include "tests/app/VekhostFixture.h"

#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/SettingsAccess.h"
#include "tools/vekhost/TextConvert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/registry/RegistryFile.h"

#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vekhosttest {

#ifdef _WIN32
Started::Started(const std::vector<std::string>& args) {
    std::wstring line =
        L"\"" + (vekhost_tool::ExecutableFolder() / L"vekhost.exe").wstring() + L"\"";
    for (const std::string& arg : args) {
        line += L" \"" + vekhost_tool::ToWideText<wchar_t>(*vekhost_tool::Utf8ToUtf16(arg)) + L"\"";
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    // Room for all a run prints, so that processes started together and read
    // one after another never wait on a full pipe.
    constexpr DWORD kPipeBytes = 1 << 20;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, kPipeBytes)) {
        return;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return;
    }
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    output_ = readEnd;
}

Started::~Started() {
    if (output_ != nullptr) {
        CloseHandle(output_);
    }
    if (process_ != nullptr) {
        WaitForSingleObject(process_, INFINITE);
        CloseHandle(process_);
    }
}

Outcome Started::Finish() {
    Outcome outcome;
    if (process_ == nullptr) {
        return outcome;
    }
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(output_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        outcome.output.append(buffer, got);
    }
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    outcome.exitCode = static_cast<int>(code);
    CloseHandle(output_);
    CloseHandle(process_);
    output_ = nullptr;
    process_ = nullptr;
    return outcome;
}
#else
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

Started::Started(const std::vector<std::string>& args) {
    std::string line = Quoted((vekhost_tool::ExecutableFolder() / "vekhost").string());
    for (const std::string& arg : args) {
        line += " " + Quoted(arg);
    }
    line += " 2>&1";
    pipe_ = popen(line.c_str(), "r");
}

Started::~Started() {
    if (pipe_ != nullptr) {
        pclose(pipe_);
    }
}

Outcome Started::Finish() {
    Outcome outcome;
    if (pipe_ == nullptr) {
        return outcome;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe_)) > 0) {
        outcome.output.append(buffer, got);
    }
    const int status = pclose(pipe_);
    pipe_ = nullptr;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}
#endif

Outcome RunVekhost(const std::vector<std::string>& args) {
    return Started(args).Finish();
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void Vekhost::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
#ifdef _WIN32
    const long process = static_cast<long>(GetCurrentProcessId());
#else
    const long process = static_cast<long>(getpid());
#endif
    const std::string name =
        std::string("vekhost-test-") + info->name() + "-" + std::to_string(process);
    folder_ = fs::temp_directory_path() / name;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
#ifdef _WIN32
    settingsKey_ = L"Software\\Tarnex tests\\" +
                   vekhost_tool::ToWideText<wchar_t>(*vekhost_tool::Utf8ToUtf16(name));
    RegDeleteTreeW(HKEY_CURRENT_USER, settingsKey_.c_str());
    SetEnvironmentVariableW(L"TARNEX_REGISTRY_KEY", settingsKey_.c_str());
#else
    settingsFile_ = folder_ / "registry.txt";
    setenv("TARNEX_REGISTRY_FILE", settingsFile_.c_str(), 1);
#endif
}

void Vekhost::TearDown() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    vekhost::Reset();
#ifdef _WIN32
    RegDeleteTreeW(HKEY_CURRENT_USER, settingsKey_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tarnex tests");  // when no other test uses it
#endif
}

#ifdef _WIN32
std::optional<std::string> Vekhost::Stored(const std::string& name) const {
    const std::wstring key = settingsKey_ + L"\\SOFTWARE\\Orlanwick\\VEK\\Tarnex";
    const std::wstring value = vekhost_tool::ToWideText<wchar_t>(*vekhost_tool::Utf8ToUtf16(name));
    wchar_t text[256];
    DWORD bytes = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, text,
                     &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return vekhost_tool::Utf16ToUtf8(vekhost_tool::FromWideText(std::wstring(text)));
}

bool Vekhost::StoreIsEmpty() const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsKey_.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return true;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return subkeys == 0 && values == 0;
}
#else
std::optional<std::string> Vekhost::Stored(const std::string& name) const {
    winreg_standin::RegTree tree;
    if (winreg_standin::ReadRegistryFile(settingsFile_.string(), tree) !=
        winreg_standin::FileLoad::Loaded) {
        return std::nullopt;
    }
    uint32_t key = winreg_standin::RegTree::kRoot;
    for (const char16_t* part : {u"SOFTWARE", u"Orlanwick", u"VEK", u"Tarnex"}) {
        key = tree.FindSubkey(key, part);
        if (key == winreg_standin::kNoKey) {
            return std::nullopt;
        }
    }
    const winreg_standin::RegValue* value = tree.FindValue(key, *vekhost_tool::Utf8ToUtf16(name));
    if (value == nullptr) {
        return std::nullopt;
    }
    std::u16string text(value->data.size() / 2, u'\0');
    std::memcpy(text.data(), value->data.data(), text.size() * 2);
    return vekhost_tool::Utf16ToUtf8(text.substr(0, text.find(u'\0')));
}

bool Vekhost::StoreIsEmpty() const {
    return !fs::exists(settingsFile_);
}
#endif

std::string Vekhost::Path(const std::string& name) const {
    return vekhost_tool::PathText(folder_ / name);
}

std::string Vekhost::SaveDrawing(const std::string& name) {
    WriteFile(folder_ / name, vekhost::ToJson());
    return Path(name);
}

}  // namespace vekhosttest
