#include "tests/app/VekhostFixture.h"

#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/SettingsAccess.h"
#include "tools/vekhost/TextConvert.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vekhosttest {

#ifdef _WIN32
Outcome RunVekhost(const std::vector<std::string>& args) {
    std::wstring line =
        L"\"" + (vekhost_tool::ExecutableFolder() / L"vekhost.exe").wstring() + L"\"";
    for (const std::string& arg : args) {
        line += L" \"" + vekhost_tool::ToWideText<wchar_t>(*vekhost_tool::Utf8ToUtf16(arg)) + L"\"";
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    Outcome outcome;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return outcome;
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
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            outcome.output.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        outcome.exitCode = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
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

Outcome RunVekhost(const std::vector<std::string>& args) {
    std::string line = Quoted((vekhost_tool::ExecutableFolder() / "vekhost").string());
    for (const std::string& arg : args) {
        line += " " + Quoted(arg);
    }
    line += " 2>&1";
    Outcome outcome;
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) {
        return outcome;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        outcome.output.append(buffer, got);
    }
    const int status = pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}
#endif

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
    folder_ = fs::temp_directory_path() /
              (std::string("vekhost-test-") + info->name() + "-" + std::to_string(process));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
#ifdef _WIN32
    // vekhost writes the user's own settings: keep them to put back.
    for (const std::string& name : vekhost_tool::SettingNames()) {
        userSettings_.push_back(vekhost_tool::StoredSetting(name));
    }
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
    const std::vector<std::string> names = vekhost_tool::SettingNames();
    for (size_t i = 0; i < userSettings_.size(); ++i) {
        const std::string& name = names[i];
        if (userSettings_[i]) {
            vekhost_tool::StoreSetting(name, *userSettings_[i]);
        } else {
            const std::wstring wideName =
                vekhost_tool::ToWideText<wchar_t>(*vekhost_tool::Utf8ToUtf16(name));
            RegDeleteKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Orlanwick\\VEK\\Tarnex",
                               wideName.c_str());
        }
    }
#endif
}

std::string Vekhost::Path(const std::string& name) const {
    return vekhost_tool::PathText(folder_ / name);
}

std::string Vekhost::SaveDrawing(const std::string& name) {
    WriteFile(folder_ / name, vekhost::ToJson());
    return Path(name);
}

}  // namespace vekhosttest
