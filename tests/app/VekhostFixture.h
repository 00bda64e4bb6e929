// The vekhost program as a user runs it: started as a separate process
// beside the test, with its output captured, in a scratch folder per test
// (natively with a settings file of its own; on Windows the user's settings
// are put back after the test).
#pragma once

#include "platform/veklib/VekHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vekhosttest {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string output;  // standard output and error, interleaved
};

Outcome RunVekhost(const std::vector<std::string>& args);
#ifndef _WIN32
// Quoted for the shell.
std::string Quoted(const std::string& text);
#endif

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& text);
bool Contains(const std::string& text, const std::string& part);

class Vekhost : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const;
    // A drawing file made with the host stand-in.
    std::string SaveDrawing(const std::string& name);

    fs::path folder_;
    fs::path settingsFile_;
    std::vector<std::optional<std::string>> userSettings_;
};

}  // namespace vekhosttest
