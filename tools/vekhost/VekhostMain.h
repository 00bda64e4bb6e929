// vekhost's commands (demo, run, settings, --help) on an argument list: the
// program's main (tools/vekhost/Main.cpp) and the browser page's module
// (tools/wasm/WebEntry.cpp) run the same code.
#pragma once

#include <string>
#include <vector>

namespace vekhost_tool {

// `args` are the arguments after the program's name, UTF-8; returns the exit
// status (0 done, 1 failed, 2 bad arguments) after printing what vekhost prints.
int VekhostMain(const std::vector<std::string>& args);

}  // namespace vekhost_tool
