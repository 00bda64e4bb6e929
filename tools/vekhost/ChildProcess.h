// vekhost starting itself for one drawing of many: a process of its own
// whose standard output and error go to files, and its exit status.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vekhost_tool {

// This program's own file.
std::filesystem::path ProgramFile();

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // waits for a child still running
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `args` (UTF-8, without the program's own name),
    // no standard input, and standard output and error written to the files
    // named; false with the reason when it could not start.
    bool Start(const std::filesystem::path& program, const std::vector<std::string>& args,
               const std::filesystem::path& output, const std::filesystem::path& errors,
               std::string& error);
    // The exit status once it ended (without waiting), 128 + the signal
    // natively for a child a signal ended.
    std::optional<int> Ended();
    // Asks it to stop (SIGTERM; on Windows it was sent the console's Ctrl-C
    // already) and waits for it.
    void Stop();

private:
#ifdef _WIN32
    void* process_ = nullptr;
#else
    int pid_ = -1;
#endif
    std::optional<int> status_;
};

}  // namespace vekhost_tool
