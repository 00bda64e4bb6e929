// The native stand-in's file store, which tools use to keep settings between
// runs.
#include "state/CommandState.h"
#include "platform/registry/RegistryStandin.h"
#include "settings/Settings.h"

#include "platform/registry/RegistryFile.h"
#include "tests/settings/RegistrySandbox.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

RegText Text(int number) {
    const std::string digits = std::to_string(number);
    return RegText(digits.begin(), digits.end());
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class RegistryFile : public RegistrySandbox {
protected:
    void SetUp() override {
        RegistrySandbox::SetUp();
        dir_ = fs::temp_directory_path() /
               ("tarnex-registry-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        file_ = dir_ / "sub" / "registry.txt";
    }
    void TearDown() override {
        RegistrySandbox::TearDown();
        fs::remove_all(dir_);
    }
    fs::path dir_;
    fs::path file_;
};

TEST_F(RegistryFile, ValuesAndEmptyKeysOutliveTheProcess) {
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    // Names with the format's own characters and non-ASCII text.
    const RegText oddName = TEXT("a%b\"c[d]e\\f=\uAE30");
    PutString(TEXT("SOFTWARE\\Orlanwick\\VEK\\Tarnex"), TEXT("d_point"), TEXT("4"));
    PutRaw(TEXT("SOFTWARE\\Orlanwick\\VEK\\Tarnex"), oddName, REG_BINARY, {0, 1, 0xFE, 0xFF});
    PutRaw(TEXT("\uD0C0\uB974\\x%y"), TEXT(""), REG_DWORD, {1, 0, 0, 0});
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Empty\\Key"), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    winreg_standin::UseMemoryRegistry();
    EXPECT_FALSE(KeyExists(TEXT("Empty\\Key")));
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));

    EXPECT_EQ(GetString(TEXT("software\\orlanwick\\vek\\tarnex"), TEXT("D_POINT")),
              RegText(TEXT("4")));
    std::optional<RawValue> odd = GetRaw(TEXT("SOFTWARE\\Orlanwick\\VEK\\Tarnex"), oddName);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(odd->data, (std::vector<BYTE>{0, 1, 0xFE, 0xFF}));
    std::optional<RawValue> unnamed = GetRaw(TEXT("\uD0C0\uB974\\x%y"), TEXT(""));
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(unnamed->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_TRUE(KeyExists(TEXT("Empty\\Key")));
    EXPECT_FALSE(fs::exists(file_.string() + ".new"));
}

TEST_F(RegistryFile, SettingsLoadedThroughAFileAreThereNextTime) {
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    LoadSettings();
    ASSERT_TRUE(WriteSetting(SettingsSubkey, TEXT("d_point"), TEXT("2")));
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    LoadSettings();
    EXPECT_EQ(ActiveSettings.d_point, 2);
    EXPECT_EQ(ActiveSettings.lineTypeCode, 3);
}

TEST_F(RegistryFile, MissingFileIsAnEmptyRegistryAndIsNotCreatedByReading) {
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    EXPECT_FALSE(KeyExists(TEXT("SOFTWARE")));
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(RegistryFile, CorruptFileIsNeitherUsedNorOverwritten) {
    fs::create_directories(file_.parent_path());
    const std::string garbage = "not a registry\n[x]\n";
    std::ofstream(file_) << garbage;
    EXPECT_FALSE(winreg_standin::UseRegistryFile(file_.string()));

    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("A"), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT(""), 0, KEY_READ, &key), ERROR_BADDB);
    // The settings still load, with their defaults, and nothing is written.
    EXPECT_TRUE(LoadSettings());
    EXPECT_EQ(ActiveSettings.d_point, 3);
    EXPECT_EQ(ActiveSettings.colorIndex, 1);
    EXPECT_EQ(Slurp(file_), garbage);
}

TEST_F(RegistryFile, FailedSaveLeavesTheStoreAsItWas) {
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    PutString(TEXT("K"), TEXT("v"), TEXT("old"));
    const std::string saved = Slurp(file_);

    // A folder where the new file would go makes every save fail.
    fs::create_directories(file_.string() + ".new");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("K"), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const RegText text = TEXT("new");
    EXPECT_EQ(
        RegSetValueExW(key, TEXT("v"), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), 8),
        ERROR_REGISTRY_IO_FAILED);
    HKEY created = nullptr;
    EXPECT_EQ(RegCreateKeyExW(key, TEXT("Sub"), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &created, nullptr),
              ERROR_REGISTRY_IO_FAILED);
    RegCloseKey(key);
    // Opening an existing key changes nothing and so needs no save.
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("K"), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegWriteString(TEXT("K"), TEXT("w"), TEXT("1")), -1);

    EXPECT_EQ(GetString(TEXT("K"), TEXT("v")), RegText(TEXT("old")));
    EXPECT_FALSE(KeyExists(TEXT("K\\Sub")));
    EXPECT_FALSE(GetRaw(TEXT("K"), TEXT("w")));
    EXPECT_EQ(Slurp(file_), saved);
}

TEST_F(RegistryFile, LeftoverNewFileFromACrashIsIgnoredAndReplaced) {
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    PutString(TEXT("K"), TEXT("v"), TEXT("kept"));
    // A process that died while writing leaves a partial new file behind.
    std::ofstream(file_.string() + ".new") << "TARNEX-REGISTRY 1\n[K]\n\"v\"=1:6e";

    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    EXPECT_EQ(GetString(TEXT("K"), TEXT("v")), RegText(TEXT("kept")));
    PutString(TEXT("K"), TEXT("w"), TEXT("2"));
    EXPECT_FALSE(fs::exists(file_.string() + ".new"));
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    EXPECT_EQ(GetString(TEXT("K"), TEXT("v")), RegText(TEXT("kept")));
    EXPECT_EQ(GetString(TEXT("K"), TEXT("w")), RegText(TEXT("2")));
}

TEST_F(RegistryFile, KeysOpenAcrossAStoreChangeAreDeadButClosable) {
    PutString(TEXT("K"), TEXT("v"), TEXT("1"));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("K"), 0, KEY_READ, &key), ERROR_SUCCESS);
    winreg_standin::UseMemoryRegistry();
    PutString(TEXT("K"), TEXT("v"), TEXT("2"));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("v"), nullptr, nullptr, nullptr, &size),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

// Processes changing one file at once: every change each made is kept, and
// the file always reads. Each child makes its own keys, in an order of its
// own, and values in a key all of them share.
TEST_F(RegistryFile, ChangesOfProcessesAtOnceAreAllKept) {
    constexpr int kProcesses = 8;
    constexpr int kValues = 12;  // each child's own keys in its order: v * 5 + p, 5 prime to 12
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int failures = 0;
            for (int v = 0; v < kValues; ++v) {
                const RegText own = TEXT("P") + Text(p) + TEXT("\\") + Text((v * 5 + p) % kValues);
                failures += RegWriteString(own, TEXT("v"), Text(v)) != 0;
                failures +=
                    RegWriteString(TEXT("Shared"), Text(p) + TEXT("-") + Text(v), Text(v)) != 0;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    for (int p = 0; p < kProcesses; ++p) {
        for (int v = 0; v < kValues; ++v) {
            EXPECT_EQ(GetString(TEXT("P") + Text(p) + TEXT("\\") + Text((v * 5 + p) % kValues),
                                TEXT("v")),
                      Text(v))
                << p << " " << v;
            EXPECT_EQ(GetString(TEXT("Shared"), Text(p) + TEXT("-") + Text(v)), Text(v));
        }
    }
}

// A change is made to the file's latest contents: what another process wrote
// since this one read the file is kept, and a key open here is still the key
// it was, wherever the other process's file puts it.
TEST_F(RegistryFile, ChangesStartFromWhatAnotherProcessWrote) {
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    PutString(TEXT("A\\B"), TEXT("mine"), TEXT("1"));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("A\\B"), 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    // Another process's file, its keys made in another order.
    winreg_standin::RegTree other;
    const uint32_t z = other.AddSubkey(winreg_standin::RegTree::kRoot, u"Z");
    other.keys[z].values.push_back({u"theirs", REG_SZ, Utf16Bytes(TEXT("2"), true)});
    const uint32_t a = other.AddSubkey(winreg_standin::RegTree::kRoot, u"a");
    const uint32_t b = other.AddSubkey(a, u"b");
    other.keys[b].values.push_back({u"mine", REG_SZ, Utf16Bytes(TEXT("3"), true)});
    ASSERT_TRUE(winreg_standin::WriteRegistryFile(file_.string(), other));

    const RegText text = TEXT("4");
    ASSERT_EQ(RegSetValueExW(key, TEXT("next"), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text.c_str()), 4),
              ERROR_SUCCESS);
    RegCloseKey(key);

    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    EXPECT_EQ(GetString(TEXT("Z"), TEXT("theirs")), RegText(TEXT("2")));
    EXPECT_EQ(GetString(TEXT("A\\B"), TEXT("mine")), RegText(TEXT("3")));
    EXPECT_EQ(GetString(TEXT("A\\B"), TEXT("next")), RegText(TEXT("4")));
    EXPECT_FALSE(KeyExists(TEXT("A\\B\\next")));
}

TEST_F(RegistryFile, ChangesAsOneReachTheFileTogetherOrNotAtAll) {
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    PutString(TEXT("K"), TEXT("v"), TEXT("old"));
    const std::string saved = Slurp(file_);

    // Refused halfway: nothing is written, and the store is as it was.
    EXPECT_FALSE(winreg_standin::ChangeAsOne([] {
        return RegWriteString(TEXT("K"), TEXT("v"), TEXT("new")) == 0 &&
               RegWriteString(TEXT("K\\Sub"), TEXT("w"), TEXT("1")) == 0 && false;
    }));
    EXPECT_EQ(Slurp(file_), saved);
    EXPECT_EQ(GetString(TEXT("K"), TEXT("v")), RegText(TEXT("old")));
    EXPECT_FALSE(KeyExists(TEXT("K\\Sub")));

    // The file cannot be written: the same, and a key opened meanwhile is gone.
    fs::create_directories(file_.string() + ".new");
    HKEY opened = nullptr;
    EXPECT_FALSE(winreg_standin::ChangeAsOne([&] {
        return RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("K\\Sub"), 0, nullptr,
                               REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened,
                               nullptr) == ERROR_SUCCESS;
    }));
    EXPECT_EQ(Slurp(file_), saved);
    EXPECT_FALSE(KeyExists(TEXT("K\\Sub")));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(opened, TEXT("v"), nullptr, nullptr, nullptr, &size),
              ERROR_KEY_DELETED);
    RegCloseKey(opened);
    fs::remove(file_.string() + ".new");

    // Done: both values arrive, in one write (no lone first value on the way).
    EXPECT_TRUE(winreg_standin::ChangeAsOne([&] {
        const bool first = RegWriteString(TEXT("K"), TEXT("v"), TEXT("new")) == 0;
        const bool unwritten = Slurp(file_) == saved;
        return first && unwritten && RegWriteString(TEXT("K"), TEXT("w"), TEXT("2")) == 0;
    }));
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    EXPECT_EQ(GetString(TEXT("K"), TEXT("v")), RegText(TEXT("new")));
    EXPECT_EQ(GetString(TEXT("K"), TEXT("w")), RegText(TEXT("2")));
}

TEST_F(RegistryFile, ACopyReadsTheFileAndNeverWritesIt) {
    ASSERT_TRUE(winreg_standin::UseRegistryFile(file_.string()));
    PutString(TEXT("SOFTWARE\\Orlanwick\\VEK\\Tarnex"), TEXT("d_point"), TEXT("2"));
    const std::string saved = Slurp(file_);

    ASSERT_TRUE(winreg_standin::UseRegistryCopy(file_.string()));
    LoadSettings();  // writes the defaults of the values missing
    EXPECT_EQ(ActiveSettings.d_point, 2);
    ASSERT_TRUE(WriteSetting(SettingsSubkey, TEXT("d_point"), TEXT("5")));
    EXPECT_EQ(GetString(TEXT("SOFTWARE\\Orlanwick\\VEK\\Tarnex"), TEXT("d_point")),
              RegText(TEXT("5")));
    EXPECT_EQ(Slurp(file_), saved);

    fs::remove(file_);
    ASSERT_TRUE(winreg_standin::UseRegistryCopy(file_.string()));
    PutString(TEXT("K"), TEXT("v"), TEXT("1"));
    EXPECT_FALSE(fs::exists(file_));

    std::ofstream(file_) << "not a registry\n";
    EXPECT_FALSE(winreg_standin::UseRegistryCopy(file_.string()));
    EXPECT_FALSE(LoadSettings() && WriteSetting(SettingsSubkey, TEXT("d_point"), TEXT("1")));
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~EnvironmentVariable() {
        if (old_) {
            ::setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

TEST(RegistryFilePath, EnvironmentChoosesTheFile) {
    {
        EnvironmentVariable file("TARNEX_REGISTRY_FILE", "/tmp/x/reg.txt");
        EnvironmentVariable config("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(winreg_standin::DefaultRegistryFilePath(), "/tmp/x/reg.txt");
    }
    {
        EnvironmentVariable file("TARNEX_REGISTRY_FILE", "");
        EnvironmentVariable config("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(winreg_standin::DefaultRegistryFilePath(), "/cfg/tarnex/registry.txt");
    }
    {
        EnvironmentVariable file("TARNEX_REGISTRY_FILE", nullptr);
        EnvironmentVariable config("XDG_CONFIG_HOME", "relative");
        EnvironmentVariable home("HOME", "/home/u");
        EXPECT_EQ(winreg_standin::DefaultRegistryFilePath(), "/home/u/.config/tarnex/registry.txt");
    }
}

}  // namespace
