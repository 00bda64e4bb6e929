#include "tools/vekhost/ChildProcess.h"

#include "tools/vekhost/TextConvert.h"

#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;
#endif

namespace vekhost_tool {

namespace fs = std::filesystem;

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
#ifdef _WIN32
    : process_(std::exchange(other.process_, nullptr)),
#else
    : pid_(std::exchange(other.pid_, -1)),
#endif
      status_(other.status_) {
}

ChildProcess::~ChildProcess() {
    Stop();
}

#ifdef _WIN32

namespace {

// One argument as CommandLineToArgvW and the C runtime read it back.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are escaped, and the quote too.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted.push_back(c);
        backslashes = 0;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE Inherited(const fs::path& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

fs::path ProgramFile() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return fs::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool ChildProcess::Start(const fs::path& program, const std::vector<std::string>& args,
                         const fs::path& output, const fs::path& errors, std::string& error) {
    // The program's name is read up to its closing quote, without escapes.
    std::wstring line = L"\"" + program.wstring() + L"\"";
    for (const std::string& arg : args) {
        line += L" " + Quoted(ToWideText<wchar_t>(Utf8ToUtf16(arg).value_or(u"")));
    }
    HANDLE in = Inherited("NUL", false);
    HANDLE out = Inherited(output, true);
    HANDLE err = Inherited(errors, true);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process) != 0;
    if (!started) {
        error = std::system_category().message(static_cast<int>(GetLastError()));
    }
    for (HANDLE handle : {in, out, err}) {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    if (started) {
        CloseHandle(process.hThread);
        process_ = process.hProcess;
    }
    return started;
}

std::optional<int> ChildProcess::Ended() {
    if (!status_ && process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        status_ = static_cast<int>(code);
        CloseHandle(process_);
        process_ = nullptr;
    }
    return status_;
}

void ChildProcess::Stop() {
    if (process_ != nullptr) {
        WaitForSingleObject(process_, INFINITE);
        Ended();
    }
}

#else

fs::path ProgramFile() {
    std::error_code failed;
    return fs::read_symlink("/proc/self/exe", failed);
}

bool ChildProcess::Start(const fs::path& program, const std::vector<std::string>& args,
                         const fs::path& output, const fs::path& errors, std::string& error) {
    std::vector<std::string> all = {program.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        error = std::generic_category().message(failed);
        return false;
    }
    pid_ = pid;
    return true;
}

std::optional<int> ChildProcess::Ended() {
    int status = 0;
    if (!status_ && pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pid_ = -1;
    }
    return status_;
}

void ChildProcess::Stop() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
}

#endif

}  // namespace vekhost_tool
