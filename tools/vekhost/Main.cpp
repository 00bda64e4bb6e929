// vekhost: a command-line host for the plug-in. It loads the plug-in from its
// own folder as a CAD host does, calls its entry, and plays the user through
// the command on the stand-in host, printing what the host shows.
#include "tools/vekhost/TextConvert.h"
#include "tools/vekhost/VekhostMain.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

using namespace vekhost_tool;

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args;
#ifdef _WIN32
    // The wide command line: arguments outside the ANSI code page survive.
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        args.push_back(Utf16ToUtf8(FromWideText(std::wstring(wide[i]))));
    }
    if (wide != nullptr) {
        LocalFree(wide);
    }
#else
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
#endif
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    return VekhostMain(Arguments(argc, argv));
}
