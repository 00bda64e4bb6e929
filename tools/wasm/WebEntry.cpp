// The browser page's WebAssembly module: vekhost's run, a look at a drawing
// before it, and the settings the dialog offers, called from the page's Web
// Worker on files in the module's in-memory file system.
#include "tools/vekhost/Progress.h"
#include "tools/vekhost/VekhostMain.h"
#include "tools/wasm/DrawingOverview.h"
#include "tools/wasm/SettingsJson.h"

#include <emscripten/emscripten.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The page's progress bar, where native vekhost draws its terminal line.
// (JavaScript, which clang-format would break.)
// clang-format off
EM_JS(void, TellProgress, (double done, double total), {
    if (typeof Module['onProgress'] === 'function') {
        Module['onProgress'](done, total);
    }
});
// clang-format on

void ForwardProgress(size_t done, size_t total) {
    TellProgress(static_cast<double>(done), static_cast<double>(total));
}

// The text handed to JavaScript lives until the next call that returns one.
std::string gAnswer;

}  // namespace

// `argsJson`: vekhost's arguments after the program's name, as a JSON array
// of strings. Returns vekhost's exit status; what it prints goes to the
// module's print and printErr.
extern "C" EMSCRIPTEN_KEEPALIVE int tarnex_run(const char* argsJson) {
    std::vector<std::string> args;
    try {
        args = nlohmann::json::parse(argsJson).get<std::vector<std::string>>();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vekhost: the arguments are not a JSON array of strings: %s\n",
                     e.what());
        return 2;
    }
    vekhost_tool::SetProgressListener(&ForwardProgress);
    const int status = vekhost_tool::VekhostMain(args);
    vekhost_tool::SetProgressListener(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}

extern "C" EMSCRIPTEN_KEEPALIVE const char* tarnex_inspect(const char* path) {
    gAnswer = tarnex_page::InspectDrawing(path);
    return gAnswer.c_str();
}

extern "C" EMSCRIPTEN_KEEPALIVE const char* tarnex_settings_json() {
    gAnswer = tarnex_page::SettingsJson();
    return gAnswer.c_str();
}
