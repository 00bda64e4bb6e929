// Reading a drawing and writing what a run produces: every file whole or not
// at all, and none of them when one cannot be written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vekhost_tool {

// The whole file; false with a short reason ("no such file", "is a folder").
bool ReadWholeFile(const std::filesystem::path& path, std::string& text, std::string& error);

struct OutputFile {
    std::string name;  // as the user gave it (UTF-8), for messages
    std::string text;
    // When given, writes the file's contents instead of `text` (a large
    // drawing straight from its pieces).
    std::function<void(std::ostream&)> write = {};
};

struct WriteOptions {
    // Replaces a file the user may not write (read-only, or another's) when
    // its folder allows it (--force); else such a file is refused.
    bool replaceProtected = false;
};

// Writes each file to a temporary file of a name of its own beside its
// target, made durable, and renames them only when all were written; on
// failure, an exception or an interruption (Ctrl-C, SIGINT, SIGTERM, SIGHUP)
// removes what it wrote and names the file that failed with the reason. A
// symbolic link is followed and its target written; a file replaced keeps
// its permissions.
bool WriteAllOrNothing(const std::vector<OutputFile>& files, std::string& error,
                       const WriteOptions& options = {});

// Text set aside out of memory and read back once, for an output too large
// to hold until it is written: a file beside the output that is taken out of
// its folder as soon as it is made (on Windows, deleted when closed), so that
// nothing of it is left however the program ends.
class SpillFile {
public:
    // Throws std::runtime_error, naming the reason, when it cannot be made.
    explicit SpillFile(const std::filesystem::path& beside);
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Throws std::runtime_error when the text cannot be written.
    void Write(std::string_view text);
    // Everything written, from the start; false when it cannot be read back.
    bool CopyTo(std::ostream& out);

private:
    bool Drain();
    std::intptr_t file_;
    std::string buffer_;
};

// Whether a name is one of the temporary files WriteAllOrNothing makes.
bool IsTemporaryName(const std::string& fileName);

}  // namespace vekhost_tool
