// Loading the plug-in the way a host does: the library file by path, then
// its entry by name (LoadLibraryW and GetProcAddress on Windows, dlopen and
// dlsym natively). Built with VEKHOST_STATIC_PLUGIN (the WebAssembly module,
// which cannot load a library at run time), the plug-in is linked into the
// program and "loading" it hands out its Startup; nothing is unloaded.
#pragma once

#include "veksdk/VekLib.h"

#include <filesystem>
#include <string>

namespace vekhost_tool {

class Plugin {
public:
    Plugin() = default;
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // False with a readable reason in `error` when the file cannot be loaded
    // or has no entry; nothing stays loaded then.
    bool Load(const std::filesystem::path& file, std::string& error);
    // Unloads the library (its global objects are destroyed).
    void Unload();

    bool IsLoaded() const { return handle_ != nullptr; }
    // The library's entry; null until loaded.
    StartupFunc Startup() const { return startup_; }

private:
    void* handle_ = nullptr;
    StartupFunc startup_ = nullptr;
};

// The folder that holds the running program.
std::filesystem::path ExecutableFolder();

// The plug-in's file name on this platform, and its path beside the program.
const char* PluginFileName();
std::filesystem::path PluginBesideExecutable();

}  // namespace vekhost_tool
