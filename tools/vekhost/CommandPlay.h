// Playing the user through one run of the command on the stand-in host, and
// printing what the host shows along the way.
#pragma once

#include "platform/veklib/VekHost.h"

#include <functional>
#include <vector>

namespace vekhost_tool {

// Prints every message the host has shown since the last call (message line,
// text by the cursor, error line, message boxes) and forgets them. True when
// one of them reported a failure: an error line or a message box other than
// the final count.
bool PrintHostMessages();

// True for the final count, "총 %d개의 형상을 수정하였습니다." with its number.
bool IsFinalCount(const std::u16string& text);

struct CommandResult {
    bool pointTaken = false;     // the first stage answered 2
    bool reportedError = false;  // an error line or a capacity box was shown
};

// Told a run's part of the selection: its first figure and how many.
struct RunHooks {
    std::function<void(size_t first, size_t count)> before;
    std::function<void(size_t first, size_t count)> after;
};

// Start the command, give the reference point, pick `selection`, finish the
// selection and end the command; with `showSteps`, printing each step and the
// host's answers (the host's messages are forgotten either way). A selection
// larger than the command takes in one run is picked in several runs, until
// one reports an error.
// `hooks` are told each run's part of the selection as it starts and once it
// has ended.
CommandResult PlayCommand(vekhost::Point reference, const std::vector<VekId>& selection,
                          bool showSteps = true, const RunHooks& hooks = {});

}  // namespace vekhost_tool
