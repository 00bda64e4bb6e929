// Reading a drawing and writing what a run produces: every file whole or not
// at all, and none of them when one cannot be written.
#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
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

// Writes each file beside its target first and renames them only when all
// were written; on failure removes what it wrote and names the file that
// failed with the reason.
bool WriteAllOrNothing(const std::vector<OutputFile>& files, std::string& error);

}  // namespace vekhost_tool
