// A library linking the framework layer, loaded as a host loads the plug-in:
// its DllMain runs the application object, and each module state finds only
// its own module's resources.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/ui/LayerTestIds.h"

namespace {

template <class F>
F Entry(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

TEST(LibraryEntry, InitInstanceReturningFalseFailsTheLoad) {
    ::SetEnvironmentVariableW(L"TARNEX_PROBE_FAIL", L"1");
    HMODULE module = ::LoadLibraryW(L"tarnex_app_probe.dll");
    ::SetEnvironmentVariableW(L"TARNEX_PROBE_FAIL", nullptr);
    EXPECT_EQ(module, nullptr);
    if (module != nullptr) {
        ::FreeLibrary(module);
    }
}

TEST(LibraryEntry, ApplicationRunsInTheLibrarysStateAndEndsAtUnload) {
    HMODULE module = ::LoadLibraryW(L"tarnex_app_probe.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Entry<int (*)()>(module, "ProbeInitSawOwnResources")(), 1);

    auto resources = Entry<HINSTANCE (*)(int)>(module, "ProbeResourceHandle");
    EXPECT_EQ(resources(0), ::GetModuleHandleW(nullptr));  // the host's
    EXPECT_EQ(resources(1), module);                       // switched: the library's

    auto loads = Entry<int (*)(int, int, int)>(module, "ProbeLoads");
    EXPECT_EQ(loads(1, 0, 17079), 1);                      // the colour picker's template
    EXPECT_EQ(resources(0), ::GetModuleHandleW(nullptr));  // switched back

    ::SetEnvironmentVariableW(L"TARNEX_PROBE_EXITED", nullptr);
    EXPECT_TRUE(::FreeLibrary(module));
    wchar_t v[8] = {};
    EXPECT_GT(::GetEnvironmentVariableW(L"TARNEX_PROBE_EXITED", v, 8), 0U);
    EXPECT_EQ(::GetModuleHandleW(L"tarnex_app_probe.dll"), nullptr);
}

// Called without switching, the library sees the program's resources; after
// switching, only its own: the same id in the other module never stands in.
TEST(LibraryEntry, ResourcesComeOnlyFromTheCurrentModuleState) {
    HMODULE module = ::LoadLibraryW(L"tarnex_app_probe.dll");
    ASSERT_NE(module, nullptr);
    auto loads = Entry<int (*)(int, int, int)>(module, "ProbeLoads");
    enum { kDialog = 0, kBitmap = 1 };
    const struct {
        const char* what;
        int kind;
        int id;
        int inProgramState;
        int inLibraryState;
    } cases[] = {
        {"colour picker template (library)", kDialog, 17079, 0, 1},
        {"line-type picture (library)", kBitmap, 17052, 0, 1},
        {"program's template", kDialog, IDD_PROGRAM_ONLY, 1, 0},
        {"program's picture", kBitmap, IDB_PROGRAM_ONLY, 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(loads(0, c.kind, c.id), c.inProgramState) << c.what;
        EXPECT_EQ(loads(1, c.kind, c.id), c.inLibraryState) << c.what;
    }
    EXPECT_TRUE(::FreeLibrary(module));
}

}  // namespace
