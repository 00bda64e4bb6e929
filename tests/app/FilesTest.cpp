// Writing what a run produces: each kind of target a name can stand for, all
// files or none, nothing left behind by a failure, an exception or an
// interruption, and (natively) the program killed while it writes.
#include "tests/app/DxfGenerated.h"
#include "tools/vekhost/Files.h"
#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/TextConvert.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using vekhost_tool::OutputFile;
using vekhost_tool::WriteAllOrNothing;
using vekhost_tool::WriteOptions;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = vekhost_tool::PathText(entry.path().filename());
        if (vekhost_tool::IsTemporaryName(name)) {
            found.push_back(name);
        }
    }
    return found;
}

bool Writable(const fs::path& path) {
    return (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
}

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / (std::string("vekhost-files-") + info->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(folder_, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(folder_, ignored);
    }
    std::string Name(const std::string& file) const {
        return vekhost_tool::PathText(folder_ / file);
    }
    fs::path folder_;
};

// What the name "out" stands for before the write, and what must be true
// after it.
struct TargetCase {
    const char* what;
    std::function<void(const fs::path& folder)> prepare;
    bool force;
    bool written;
    const char* reason;  // part of the error when refused
    fs::path content;    // the file whose text must be the new one, when written
};

TEST_F(Files, EachKindOfTargetIsWrittenOrRefusedWhole) {
    const auto old = [](const fs::path& folder) { Write(folder / "out", "old"); };
    const auto readOnly = [](const fs::path& folder) {
        Write(folder / "out", "old");
        fs::permissions(folder / "out",
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    };
    std::vector<TargetCase> cases = {
        {"a new file", [](const fs::path&) {}, false, true, "", "out"},
        {"a file written before", old, false, true, "", "out"},
        {"a read-only file", readOnly, false, false, "write-protected (--force", ""},
        {"a read-only file, with --force", readOnly, true, true, "", "out"},
        {"a folder", [](const fs::path& folder) { fs::create_directory(folder / "out"); }, true,
         false, "is a folder", ""},
    };
#ifndef _WIN32
    const auto link = [](const char* to) {
        return [to](const fs::path& folder) { fs::create_symlink(to, folder / "out"); };
    };
    cases.push_back({"a link to a file",
                     [](const fs::path& folder) {
                         fs::create_directory(folder / "sub");
                         Write(folder / "sub" / "real", "old");
                         fs::create_symlink("sub/real", folder / "out");
                     },
                     false, true, "", "sub/real"});
    cases.push_back({"a link to nothing yet", link("real"), false, true, "", "real"});
    cases.push_back({"a loop of links",
                     [](const fs::path& folder) { fs::create_symlink("out", folder / "out"); },
                     true, false, "symbolic links", ""});
    cases.push_back({"a pipe",
                     [](const fs::path& folder) { mkfifo((folder / "out").c_str(), 0644); }, true,
                     false, "not a regular file", ""});
#endif
    for (const TargetCase& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        c.prepare(folder_);
        std::error_code notAFile;
        const bool wasReadOnly =
            fs::is_regular_file(folder_ / "out", notAFile) && !Writable(folder_ / "out");
        std::string error;
        const bool ok = WriteAllOrNothing({{Name("out"), "new"}}, error, WriteOptions{c.force});
        EXPECT_EQ(ok, c.written) << error;
        if (c.written) {
            EXPECT_EQ(Read(folder_ / c.content), "new");
            EXPECT_NE(Writable(folder_ / c.content), wasReadOnly) << "the permissions changed";
        } else {
            EXPECT_NE(error.find(c.reason), std::string::npos) << error;
            if (fs::is_regular_file(folder_ / "out", notAFile)) {
                EXPECT_EQ(Read(folder_ / "out"), "old");
            }
        }
        EXPECT_TRUE(Leftovers(folder_).empty());
#ifndef _WIN32
        if (std::string(c.what).find("link") != std::string::npos && c.written) {
            EXPECT_TRUE(fs::is_symlink(folder_ / "out")) << "the link was replaced";
        }
#endif
    }
}

#ifndef _WIN32
TEST_F(Files, AReplacedFileKeepsItsModeAndANewOneFollowsTheUmask) {
    for (const mode_t mode : {0600, 0640, 0755, 0604, 02750}) {
        Write(folder_ / "out", "old");
        ASSERT_EQ(chmod((folder_ / "out").c_str(), mode), 0);
        std::string error;
        ASSERT_TRUE(WriteAllOrNothing({{Name("out"), "new"}}, error)) << error;
        struct stat status {};
        ASSERT_EQ(stat((folder_ / "out").c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, mode) << std::oct << mode;
    }
    const mode_t mask = umask(0027);
    std::string error;
    ASSERT_TRUE(WriteAllOrNothing({{Name("new"), "new"}}, error)) << error;
    umask(mask);
    struct stat status {};
    ASSERT_EQ(stat((folder_ / "new").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}
#endif

TEST_F(Files, NoneIsWrittenWhenOneCannotBe) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& folder)> prepare;
    };
    const Case cases[] = {
        {"the second's folder is missing", [](const fs::path&) {}},
        {"the second is read-only",
         [](const fs::path& folder) {
             fs::create_directory(folder / "missing");
             Write(folder / "missing" / "b", "old");
             fs::permissions(folder / "missing" / "b", fs::perms::owner_read);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        Write(folder_ / "a", "old");
        c.prepare(folder_);
        std::string error;
        EXPECT_FALSE(WriteAllOrNothing(
            {{Name("a"), "new"}, {vekhost_tool::PathText(folder_ / "missing" / "b"), "new"}},
            error));
        EXPECT_NE(error.find("b: "), std::string::npos) << error;
        EXPECT_EQ(Read(folder_ / "a"), "old");
        EXPECT_TRUE(Leftovers(folder_).empty());
    }
}

TEST_F(Files, AnExceptionWhileWritingLeavesNothingBehind) {
    Write(folder_ / "a", "old");
    const auto throwing = [](std::ostream& out) {
        out << std::string(300000, 'x');
        throw std::runtime_error("out of memory");
    };
    std::string error;
    EXPECT_THROW(WriteAllOrNothing({{Name("b"), "new"}, {Name("a"), "", throwing}}, error),
                 std::runtime_error);
    EXPECT_EQ(Read(folder_ / "a"), "old");
    EXPECT_FALSE(fs::exists(folder_ / "b"));
    EXPECT_TRUE(Leftovers(folder_).empty());
}

// The stream a large drawing is written through keeps every byte, written
// in pieces of any size.
TEST_F(Files, AStreamedFileKeepsEveryByte) {
    const uint64_t seed = dxftest::PropertySeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 rng(seed);
    std::string expected;
    while (expected.size() < 3000000) {
        const size_t size = std::uniform_int_distribution<size_t>(0, 200000)(rng) >> (rng() % 16);
        expected += std::string(size, static_cast<char>('a' + rng() % 26));
    }
    const auto pieces = [&expected, seed](std::ostream& out) {
        std::mt19937_64 cut(seed);
        for (size_t at = 0; at < expected.size();) {
            const size_t size =
                std::min<size_t>(expected.size() - at, cut() % 3 == 0 ? 1 : cut() % 150000);
            if (size == 1) {
                out.put(expected[at]);
            } else {
                out.write(expected.data() + at, static_cast<std::streamsize>(size));
            }
            at += size;
        }
    };
    std::string error;
    ASSERT_TRUE(WriteAllOrNothing({{Name("big"), "", pieces}}, error)) << error;
    EXPECT_TRUE(Read(folder_ / "big") == expected);
}

// Text set aside in pieces of every size comes back whole, into a written
// file between what is written before and after it, and into any stream,
// and leaves nothing behind. While it is open it has no name at all, except
// on Windows, where it has a temporary file's.
TEST_F(Files, TextSetAsideComesBackWholeAndLeavesNothing) {
    const uint64_t seed = dxftest::PropertySeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 rng(seed);
    std::string expected;
    {
        vekhost_tool::SpillFile spill(folder_ / "out");
        for (const auto& entry : fs::directory_iterator(folder_)) {
#ifdef _WIN32
            EXPECT_TRUE(
                vekhost_tool::IsTemporaryName(vekhost_tool::PathText(entry.path().filename())));
#else
            ADD_FAILURE() << entry.path();
#endif
        }
        while (expected.size() < 5000000) {
            const size_t size = rng() % 4 == 0 ? 1500000 : rng() % 70000;
            const std::string piece(size, static_cast<char>('a' + rng() % 26));
            spill.Write(piece);
            expected += piece;
        }
        std::string error;
        ASSERT_TRUE(WriteAllOrNothing({{Name("out"), "",
                                        [&spill](std::ostream& out) {
                                            out << "before\n";
                                            EXPECT_TRUE(spill.CopyTo(out));
                                            out << "after\n";
                                        }}},
                                      error))
            << error;
        std::ostringstream copy;
        EXPECT_TRUE(spill.CopyTo(copy));
        EXPECT_TRUE(copy.str() == expected);
    }
    EXPECT_TRUE(Read(folder_ / "out") == "before\n" + expected + "after\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
    EXPECT_THROW(vekhost_tool::SpillFile(folder_ / "no such folder" / "out"), std::runtime_error);
}

#ifndef _WIN32
// A process interrupted in the middle of a write leaves the file as it was
// and no temporary file; a signal the program was started to ignore stays
// ignored and the write completes.
TEST_F(Files, AnInterruptionRemovesTheTemporaryFile) {
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        for (const bool ignored : {false, true}) {
            SCOPED_TRACE(std::to_string(number) + (ignored ? " ignored" : ""));
            Write(folder_ / "out", "old");
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                // Left as it is otherwise: where this process already wrote
                // a file, its cleanup is in place, and the child inherits it.
                if (ignored) {
                    signal(number, SIG_IGN);
                }
                const auto interrupted = [number](std::ostream& out) {
                    out << std::string(200000, 'x');
                    out.flush();
                    raise(number);
                    out << "end";
                };
                std::string error;
                _exit(WriteAllOrNothing({{Name("out"), "", interrupted}}, error) ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            if (ignored) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                EXPECT_EQ(Read(folder_ / "out").size(), 200003u);
            } else {
                EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number);
                EXPECT_EQ(Read(folder_ / "out"), "old");
            }
            EXPECT_TRUE(Leftovers(folder_).empty());
        }
    }
}

// The program killed at random moments of a run on a large drawing: the
// output is the old file or the new one, and nothing else is left.
TEST_F(Files, AKilledRunLeavesTheOldOutputOrTheNewAndNothingElse) {
    const uint64_t seed = dxftest::PropertySeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 rng(seed);
    std::string drawing =
        "0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n8\n0\n10\n1.23456\n20\n2\n30\n0\n40\n3.1\n";
    for (int i = 0; i < 150000; ++i) {
        drawing += "0\nPOINT\n8\n0\n10\n" + std::to_string(i) + ".5\n20\n2\n30\n0\n";
    }
    Write(folder_ / "in.dxf", drawing + "0\nENDSEC\n0\nEOF\n");
    setenv("TARNEX_REGISTRY_FILE", (folder_ / "registry.txt").c_str(), 1);
    const std::string program = (vekhost_tool::ExecutableFolder() / "vekhost").string();
    const auto start = [&] {
        const pid_t child = fork();
        if (child == 0) {
            freopen("/dev/null", "w", stdout);
            execl(program.c_str(), "vekhost", "run", Name("in.dxf").c_str(), "--ref", "0,0", "-o",
                  Name("out.dxf").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return child;
    };
    const auto began = std::chrono::steady_clock::now();
    int status = 0;
    waitpid(start(), &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const double whole =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const std::string converted = Read(folder_ / "out.dxf");
    for (int kill = 0; kill < 4; ++kill) {
        Write(folder_ / "out.dxf", "old");
        const pid_t child = start();
        // Mostly late in the run, where the file is written.
        const double at = whole * std::uniform_real_distribution<double>(0.4, 1.1)(rng);
        std::this_thread::sleep_for(std::chrono::duration<double>(at));
        ::kill(child, kill % 2 == 0 ? SIGTERM : SIGINT);
        waitpid(child, &status, 0);
        const std::string now = Read(folder_ / "out.dxf");
        EXPECT_TRUE(now == "old" || now == converted) << "killed after " << at << " s";
        EXPECT_TRUE(Leftovers(folder_).empty()) << "killed after " << at << " s";
    }
}
#endif

}  // namespace
