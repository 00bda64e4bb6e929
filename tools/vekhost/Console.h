// Text output of the driver. Everything is UTF-8 inside the program; a
// Windows console gets UTF-16 through WriteConsoleW so that Korean shows
// whatever the console's code page, and pipes or files get the UTF-8 bytes.
#pragma once

#include <string>

namespace vekhost_tool {

void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);

// vekhost's exit statuses: done; failed, with nothing written; bad arguments.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// "vekhost: MESSAGE" on the error stream, a usage error's with where to
// read the usage; the status to exit with.
int UsageError(const std::string& message);
int Failure(const std::string& message);

}  // namespace vekhost_tool
