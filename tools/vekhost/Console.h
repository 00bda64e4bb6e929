// Text output of the driver. Everything is UTF-8 inside the program; a
// Windows console gets UTF-16 through WriteConsoleW so that Korean shows
// whatever the console's code page, and pipes or files get the UTF-8 bytes.
#pragma once

#include <string>

namespace vekhost_tool {

void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);

}  // namespace vekhost_tool
