#include "tools/vekhost/CommandPlay.h"

#include "tools/vekhost/Console.h"
#include "tools/vekhost/DrawingText.h"
#include "tools/vekhost/TextConvert.h"
#include "engine/Messages.h"
#include "engine/WorkBuffers.h"

#include <algorithm>

#include <string>

namespace vekhost_tool {

bool IsFinalCount(const std::u16string& text) {
    const std::u16string pattern(
        msg::FiguresModified,
        msg::FiguresModified + std::char_traits<VekChar>::length(msg::FiguresModified));
    const size_t at = pattern.find(u"%d");
    if (at == std::u16string::npos || text.size() <= pattern.size() - 2) {
        return false;
    }
    const std::u16string head = pattern.substr(0, at);
    const std::u16string tail = pattern.substr(at + 2);
    if (text.compare(0, head.size(), head) != 0 ||
        text.compare(text.size() - tail.size(), tail.size(), tail) != 0) {
        return false;
    }
    const std::u16string number = text.substr(head.size(), text.size() - head.size() - tail.size());
    for (char16_t c : number) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return !number.empty();
}

namespace {

// Prints (when `show`) and forgets the host's messages; true when one of them
// reported a failure.
bool TakeHostMessages(bool show) {
    bool failure = false;
    for (const vekhost::Message& message : vekhost::Messages()) {
        const std::string text = Utf16ToUtf8(message.text);
        std::string line;
        switch (message.kind) {
            case vekhost::MessageKind::Prompt:
                line = "    message line: " + text + "\n";
                break;
            case vekhost::MessageKind::Cursor:
                line = "    by the cursor: " + text + "\n";
                break;
            case vekhost::MessageKind::Error:
                line = "    error line: " + text + "\n";
                failure = true;
                break;
            case vekhost::MessageKind::Box:
                line = "    message box: " + text + "\n";
                failure = failure || !IsFinalCount(message.text);
                break;
        }
        if (show) {
            WriteOut(line);
        }
    }
    vekhost::ClearMessages();
    return failure;
}

}  // namespace

bool PrintHostMessages() {
    return TakeHostMessages(true);
}

namespace {

// The standard pass keeps a working copy of each figure until the end of its
// run and has room for CopyListCapacity of them: more figures are converted
// in several runs of the command, with the same reference point, as a user
// would pick them a few thousand at a time.
constexpr size_t kFiguresPerRun = CopyListCapacity;

// One run of the command over `figures`, the `first` of `total` picked.
void PlayOnce(vekhost::Point reference, const std::vector<VekId>& figures, size_t first,
              size_t total, bool showSteps, CommandResult& result) {
    auto step = [showSteps](const std::string& text) {
        if (showSteps) {
            WriteOut(text);
        }
    };
    step("  > start the command\n");
    vekhost::StartCommand();
    result.reportedError |= TakeHostMessages(showSteps);

    step("  > give the reference point (" + Number(reference.x) + ", " + Number(reference.y) +
         ")\n");
    const int32_t answer = vekhost::SendPoint(reference.x, reference.y);
    result.reportedError |= TakeHostMessages(showSteps);
    result.pointTaken = answer == 2;
    if (result.pointTaken) {
        vekhost::Select(figures);
        const std::string which = figures.size() == total
                                      ? ""
                                      : " (" + std::to_string(first + 1) + " to " +
                                            std::to_string(first + figures.size()) + " of " +
                                            std::to_string(total) + ")";
        step("  > pick " + std::to_string(figures.size()) +
             (figures.size() == 1 ? " figure" : " figures") + which +
             " and finish the selection\n");
        vekhost::FinishSelection();
        result.reportedError |= TakeHostMessages(showSteps);
    } else {
        step("  the command did not take the point (answer " + std::to_string(answer) + ")\n");
    }
    step("  > end the command\n");
    vekhost::EndCommand();
    result.reportedError |= TakeHostMessages(showSteps);
}

}  // namespace

CommandResult PlayCommand(vekhost::Point reference, const std::vector<VekId>& selection,
                          bool showSteps, const RunHooks& hooks) {
    CommandResult result;
    vekhost::ClearMessages();  // nothing shown before belongs to this run
    size_t first = 0;
    do {
        const size_t count = std::min(kFiguresPerRun, selection.size() - first);
        const std::vector<VekId> figures(
            selection.begin() + static_cast<std::ptrdiff_t>(first),
            selection.begin() + static_cast<std::ptrdiff_t>(first + count));
        if (hooks.before) hooks.before(first, count);
        PlayOnce(reference, figures, first, selection.size(), showSteps, result);
        if (hooks.after) hooks.after(first, count);
        first += count;
    } while (first < selection.size() && result.pointTaken && !result.reportedError);
    return result;
}

}  // namespace vekhost_tool
