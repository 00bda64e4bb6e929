// The vekhost program as a user runs it: started as a separate process
// beside the test, with its output captured, in a scratch folder per test,
// with a settings store of its own that starts empty (natively a file, on
// Windows a key standing in for HKEY_CURRENT_USER): what the user's own
// settings hold never reaches a test.
#pragma once

#include "platform/veklib/VekHost.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// A vekhost process started and not yet waited for, so that several run at
// once. Its output is read when it is finished.
class Started {
public:
    explicit Started(const std::vector<std::string>& args);
    ~Started();
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;
    // Reads its output to the end and waits for it.
    Outcome Finish();

private:
#ifdef _WIN32
    void* process_ = nullptr;
    void* output_ = nullptr;
#else
    FILE* pipe_ = nullptr;
#endif
};
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
    // A value in the test's settings store, read without the code under
    // test; empty when it is not there.
    std::optional<std::string> Stored(const std::string& name) const;
    // Whether the store holds anything at all.
    bool StoreIsEmpty() const;

    fs::path folder_;
#ifdef _WIN32
    std::wstring settingsKey_;  // under HKEY_CURRENT_USER
#else
    fs::path settingsFile_;
#endif
};

}  // namespace vekhosttest
