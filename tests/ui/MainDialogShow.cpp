// Shows the main settings dialog for a picture: stores the given settings in
// a scratch registry, opens the dialog and closes it again after a while.
//   tarnex_main_dialog_show [--seconds N] [name=value ...]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/ui/MainDialogDriver.h"
#include "ui/TarnexDlg.h"

namespace {

std::wstring Widen(const char* text) {
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length - 1 : 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    return wide;
}

}  // namespace

int main(int argc, char** argv) {
    uitest::RegistrySandbox registry;
    DWORD seconds = 8;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = Widen(argv[i]);
        if (arg == L"--seconds" && i + 1 < argc) {
            seconds = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
            continue;
        }
        const auto equals = arg.find(L'=');
        if (equals == std::wstring::npos) {
            std::fprintf(stderr, "not a setting: %s\n", argv[i]);
            return 2;
        }
        registry.Set(arg.substr(0, equals), arg.substr(equals + 1));
    }
    TarnexDlg dialog;
    uitest::DialogScript script;  // no steps: the watchdog closes it
    script.Run([&] { return dialog.DoModal(); }, seconds * 1000);
    return 0;
}
