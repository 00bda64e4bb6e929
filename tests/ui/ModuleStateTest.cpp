// A library linking the framework layer, loaded as a host loads the plug-in:
// its DllMain runs the application object, and only the library's own module
// state finds the library's dialog templates.
#include <gtest/gtest.h>

#include <windows.h>

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

    // The picker templates are only in the library.
    auto createPicker = Entry<int (*)(int)>(module, "ProbeCreatePicker");
    EXPECT_EQ(createPicker(0), 0);
    EXPECT_EQ(createPicker(1), 1);
    EXPECT_EQ(resources(0), ::GetModuleHandleW(nullptr));  // switched back

    ::SetEnvironmentVariableW(L"TARNEX_PROBE_EXITED", nullptr);
    EXPECT_TRUE(::FreeLibrary(module));
    wchar_t v[8] = {};
    EXPECT_GT(::GetEnvironmentVariableW(L"TARNEX_PROBE_EXITED", v, 8), 0U);
    EXPECT_EQ(::GetModuleHandleW(L"tarnex_app_probe.dll"), nullptr);
}

}  // namespace
