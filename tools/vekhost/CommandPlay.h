// Playing the user through one run of the command on the stand-in host, and
// printing what the host shows along the way.
#pragma once

#include "platform/veklib/VekHost.h"
#include "engine/WorkBuffers.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

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

// A figure the command stopped at, left as it was.
struct RefusedFigure {
    VekId figure = VEK_NONE;
    std::string message;  // what the host showed when it stopped, UTF-8
};

struct CommandResult {
    bool pointTaken = false;     // the first stage answered 2
    bool reportedError = false;  // an error line or a capacity box was shown and not got past
    std::size_t commands = 0;    // runs of the command made
    // Set when a run stopped and nothing more was tried: the picked figures
    // (positions in the selection, from 0) that run was given.
    std::optional<std::pair<std::size_t, std::size_t>> failedBatch;
    // With keepGoing: the figures runs stopped at, in picking order.
    std::vector<RefusedFigure> refused;
};

// Told each run's part of the selection, its first figure and how many,
// as it starts and once it has ended (with what the play has come to).
struct RunHooks {
    std::function<void(std::size_t first, std::size_t count)> before;
    std::function<void(std::size_t first, std::size_t count, const CommandResult& sofar)> after;
};

// The most figures one run of the command is given: the standard pass keeps
// a working copy of each until the end of its run and has room for that many.
inline constexpr std::size_t kFiguresPerRun = static_cast<std::size_t>(kCopyListCapacity);

// The most elements one run is given, unless its first figure alone has
// more. A run's memory grows with its elements (their records, the
// command's working copies, what is measured of them: about half a
// kilobyte each), and the figures may hold up to 2,999 elements each: a
// drawing of large figures is converted in runs of tens of megabytes.
inline constexpr std::size_t kElementsPerRun = 100000;

struct PlayOptions {
    bool showSteps = true;
    // A run the command stops at a figure is played again without that
    // figure, which is left as it was; else the first stop ends the play.
    bool keepGoing = false;
    // Each picked figure's count of elements, when known: runs are then
    // kept within `elementsPerRun` as well as within kFiguresPerRun.
    std::function<std::size_t(VekId figure)> elementsOf = nullptr;
    std::size_t elementsPerRun = kElementsPerRun;
};

// How many figures of `selection` from `first` the next run is given: at
// most kFiguresPerRun, and no more than `options.elementsPerRun` elements
// unless the first figure alone has more.
std::size_t RunLength(const std::vector<VekId>& selection, std::size_t first,
                      const PlayOptions& options);

// Start the command, give the reference point, pick `selection`, finish the
// selection and end the command; with `showSteps`, printing each step and the
// host's answers (the host's messages are forgotten either way). A selection
// larger than one run takes is picked in several runs, as a user picks a
// large drawing in turns. `hooks` are told each run's part of the selection.
CommandResult PlayCommand(vekhost::Point reference, const std::vector<VekId>& selection,
                          const PlayOptions& options = {}, const RunHooks& hooks = {});

}  // namespace vekhost_tool
