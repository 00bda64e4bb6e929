#include "tools/vekhost/Console.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vekhost_tool {

namespace {

#ifdef _WIN32
bool WriteToConsole(DWORD which, const std::string& utf8) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetConsoleMode(handle, &mode)) {
        return false;
    }
    if (utf8.empty()) {
        return true;
    }
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
    DWORD written = 0;
    return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) !=
           0;
}
#endif

void Write(std::FILE* stream, const std::string& utf8) {
#ifdef _WIN32
    if (WriteToConsole(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE, utf8)) {
        return;
    }
#endif
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

}  // namespace

void WriteOut(const std::string& utf8) {
    Write(stdout, utf8);
}

void WriteErr(const std::string& utf8) {
    Write(stderr, utf8);
}

int UsageError(const std::string& message) {
    WriteErr("vekhost: " + message + "\nTry 'vekhost --help'.\n");
    return kExitUsage;
}

int Failure(const std::string& message) {
    WriteErr("vekhost: " + message + "\n");
    return kExitFailed;
}

}  // namespace vekhost_tool
