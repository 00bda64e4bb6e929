#include "tools/vekhost/PluginLoader.h"

#include "tools/vekhost/TextConvert.h"

#if defined(VEKHOST_STATIC_PLUGIN)
extern "C" int32_t VEKCALL Startup(intptr_t arg1, intptr_t arg2, intptr_t arg3, intptr_t reserved);
#elif defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <system_error>
#include <type_traits>
#include <vector>

namespace vekhost_tool {

Plugin::~Plugin() {
    Unload();
}

#if defined(VEKHOST_STATIC_PLUGIN)

// The plug-in linked in: its entry stands for the loaded library.
bool Plugin::Load(const std::filesystem::path& /*file*/, std::string& /*error*/) {
    static_assert(std::is_same_v<decltype(&::Startup), StartupFunc>);
    startup_ = &::Startup;
    handle_ = reinterpret_cast<void*>(startup_);
    return true;
}

void Plugin::Unload() {
    handle_ = nullptr;
    startup_ = nullptr;
}

std::filesystem::path ExecutableFolder() {
    return std::filesystem::current_path();
}

const char* PluginFileName() {
    return "Tarnex (linked in)";
}

#elif defined(_WIN32)

namespace {

std::string SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = "error " + std::to_string(code);
    if (length > 0 && text != nullptr) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                             nullptr, nullptr);
        std::string utf8(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr,
                            nullptr);
        while (!utf8.empty() &&
               (utf8.back() == '\n' || utf8.back() == '\r' || utf8.back() == ' ')) {
            utf8.pop_back();
        }
        result += " (" + utf8 + ")";
    }
    if (text != nullptr) {
        LocalFree(text);
    }
    return result;
}

}  // namespace

bool Plugin::Load(const std::filesystem::path& file, std::string& error) {
    Unload();
    HMODULE module = LoadLibraryW(file.c_str());
    if (module == nullptr) {
        error = "cannot load " + PathText(file) + ": " + SystemMessage(GetLastError());
        return false;
    }
    FARPROC entry = GetProcAddress(module, kStartupExportName);
    if (entry == nullptr) {
        error = PathText(file) + " has no export named " + kStartupExportName;
        FreeLibrary(module);
        return false;
    }
    handle_ = module;
    startup_ = reinterpret_cast<StartupFunc>(reinterpret_cast<void*>(entry));
    return true;
}

void Plugin::Unload() {
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
    }
    handle_ = nullptr;
    startup_ = nullptr;
}

std::filesystem::path ExecutableFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::filesystem::current_path();
        }
        if (length < buffer.size()) {
            return std::filesystem::path(std::wstring(buffer.data(), length)).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

const char* PluginFileName() {
    return "Tarnex.dll";
}

#else

bool Plugin::Load(const std::filesystem::path& file, std::string& error) {
    Unload();
    // Local binding: the plug-in's own symbols stay its own, as a DLL's do.
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = "cannot load " + PathText(file) + ": " + (reason ? reason : "unknown error");
        return false;
    }
    void* entry = dlsym(handle, kStartupExportName);
    if (entry == nullptr) {
        error = PathText(file) + " has no export named " + kStartupExportName;
        dlclose(handle);
        return false;
    }
    handle_ = handle;
    startup_ = reinterpret_cast<StartupFunc>(entry);
    return true;
}

void Plugin::Unload() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
    handle_ = nullptr;
    startup_ = nullptr;
}

std::filesystem::path ExecutableFolder() {
    std::error_code failed;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
    if (failed) {
        return std::filesystem::current_path();
    }
    return self.parent_path();
}

const char* PluginFileName() {
    return "Tarnex.so";
}

#endif

std::filesystem::path PluginBesideExecutable() {
    return ExecutableFolder() / PluginFileName();
}

}  // namespace vekhost_tool
