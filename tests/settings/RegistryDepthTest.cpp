// How deep the native stand-in lets keys go: as deep as Windows documents
// (512 levels below HKEY_CURRENT_USER here), refused beyond with
// ERROR_INVALID_PARAMETER and nothing made, never by running out of stack,
// however many parts a path or a file's key line has. Wine sets no such
// limit, so these run natively only.
#include "platform/registry/RegistryStandin.h"

#include "tests/settings/RegistrySandbox.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

RegText Path(size_t levels, const RegText& part = TEXT("d")) {
    RegText path;
    for (size_t i = 0; i < levels; ++i) {
        path += (i ? TEXT("\\") : TEXT("")) + part;
    }
    return path;
}

LSTATUS Create(HKEY base, const RegText& path, HKEY& key) {
    key = nullptr;
    return RegCreateKeyExW(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, &key, nullptr);
}

class RegistryDepth : public RegistrySandbox {};

TEST_F(RegistryDepth, KeysGoAsDeepAsWindowsAllowsAndNoDeeper) {
    const struct {
        size_t first;   // levels made from HKEY_CURRENT_USER
        size_t second;  // then made from the key the first call opened
        LSTATUS expected;
    } cases[] = {{512, 0, ERROR_SUCCESS},
                 {513, 0, ERROR_INVALID_PARAMETER},
                 {500, 12, ERROR_SUCCESS},
                 {500, 13, ERROR_INVALID_PARAMETER},
                 {100000, 0, ERROR_INVALID_PARAMETER}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + " + " + std::to_string(c.second));
        winreg_standin::UseMemoryRegistry();
        HKEY first = nullptr;
        const LSTATUS status = Create(HKEY_CURRENT_USER, Path(c.first), first);
        if (c.second == 0) {
            EXPECT_EQ(status, c.expected);
        } else {
            ASSERT_EQ(status, ERROR_SUCCESS);
            HKEY second = nullptr;
            EXPECT_EQ(Create(first, Path(c.second, TEXT("e")), second), c.expected);
            if (second) {
                RegCloseKey(second);
            }
            EXPECT_EQ(KeyExists(Path(c.first) + TEXT("\\e")), c.expected == ERROR_SUCCESS);
        }
        if (first) {
            RegCloseKey(first);
        }
        EXPECT_EQ(KeyExists(TEXT("d")), status == ERROR_SUCCESS);
        // A path of any length is only looked up as far as it goes.
        HKEY opened = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Path(100000).c_str(), 0, KEY_READ, &opened),
                  ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(RegistryDepth, FilesKeepDeepKeysAndRefuseKeysTooDeepOrNamesTooLong) {
    const fs::path file =
        fs::temp_directory_path() / ("tarnex-registry-depth-" + std::to_string(::getpid()));
    // A tree as deep as allowed, with a value at the bottom, is written and
    // read back.
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file.string()));
    PutString(Path(512), TEXT("v"), TEXT("deep"));
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file.string()));
    EXPECT_EQ(GetString(Path(512), TEXT("v")), RegText(TEXT("deep")));

    auto path = [](size_t levels, const std::string& part) {
        std::string text;
        for (size_t i = 0; i < levels; ++i) {
            text += (i ? "\\" : "") + part;
        }
        return text;
    };
    const std::string refused[] = {
        "[" + path(513, "d") + "]\n", "[" + path(100000, "d") + "]\n",
        "[" + path(400, "d") + "]\n[" + path(400, "d") + "\\" + path(113, "e") + "]\n",
        "[k\\" + std::string(257, 'n') + "]\n",
        "[k]\n\"" + std::string(16384, 'v') + "\"=4:01000000\n"};
    for (const std::string& keys : refused) {
        SCOPED_TRACE(keys.substr(0, 60));
        std::ofstream(file, std::ios::binary | std::ios::trunc) << "TARNEX-REGISTRY 1\n" << keys;
        EXPECT_FALSE(winreg_standin::UseRegistryFile(file.string()));
    }
    fs::remove(file);
}

}  // namespace
