#include "tools/vekhost/CommandPlay.h"

#include "tools/vekhost/Console.h"
#include "tools/vekhost/DrawingText.h"
#include "tools/vekhost/TextConvert.h"
#include "engine/Messages.h"
#include "veksdk/VekLib.h"

#include <algorithm>
#include <string>
#include <unordered_set>

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

// Prints (when `show`) and forgets the host's messages; the first of them
// that reported a failure, as shown.
std::optional<std::string> TakeHostMessages(bool show) {
    std::optional<std::string> failure;
    for (const vekhost::Message& message : vekhost::Messages()) {
        const std::string text = Utf16ToUtf8(message.text);
        std::string line;
        bool failed = false;
        switch (message.kind) {
            case vekhost::MessageKind::Prompt:
                line = "    message line: " + text + "\n";
                break;
            case vekhost::MessageKind::Cursor:
                line = "    by the cursor: " + text + "\n";
                break;
            case vekhost::MessageKind::Error:
                line = "    error line: " + text + "\n";
                failed = true;
                break;
            case vekhost::MessageKind::Box:
                line = "    message box: " + text + "\n";
                failed = !IsFinalCount(message.text);
                break;
        }
        if (failed && !failure) {
            failure = text;
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
    return TakeHostMessages(true).has_value();
}

namespace {

// True when a message box of the host shows the final count.
bool CountShown() {
    for (const vekhost::Message& message : vekhost::Messages()) {
        if (message.kind == vekhost::MessageKind::Box && IsFinalCount(message.text)) {
            return true;
        }
    }
    return false;
}

// What one run of the command showed.
struct OneRun {
    bool pointTaken = false;
    bool countShown = false;             // it went through its selection
    std::optional<std::string> failure;  // the first failure it showed
};

// One run of the command over `figures`, the `first` of `total` picked.
OneRun PlayOnce(vekhost::Point reference, const std::vector<VekId>& figures, size_t first,
                size_t total, bool showSteps) {
    auto step = [showSteps](const std::string& text) {
        if (showSteps) {
            WriteOut(text);
        }
    };
    OneRun run;
    auto take = [&run, showSteps] {
        auto failure = TakeHostMessages(showSteps);
        if (failure && !run.failure) {
            run.failure = std::move(failure);
        }
    };
    step("  > start the command\n");
    vekhost::StartCommand();
    take();

    step("  > give the reference point (" + Number(reference.x) + ", " + Number(reference.y) +
         ")\n");
    const int32_t answer = vekhost::SendPoint(reference.x, reference.y);
    take();
    run.pointTaken = answer == 2;
    if (run.pointTaken) {
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
        run.countShown = CountShown();
        take();
    } else {
        step("  the command did not take the point (answer " + std::to_string(answer) + ")\n");
    }
    step("  > end the command\n");
    vekhost::EndCommand();
    take();
    return run;
}

// The figure a stopped run was at: the first of its figures still in the
// drawing, since the command deletes each picked figure it has converted and
// stops before deleting the one in work.
std::optional<size_t> StoppedAt(const std::vector<VekId>& figures) {
    for (size_t i = 0; i < figures.size(); ++i) {
        if (vekhost::HasSegment(figures[i])) {
            return i;
        }
    }
    return std::nullopt;
}

// Removes what the stopped runs had made of the `refused` figures (the
// command may leave a figure's new segment half made), so each stays exactly
// as it was; their working copies went when the command ended.
void RemovePartsMadeFor(const std::vector<RefusedFigure>& refused) {
    std::unordered_set<VekId> figures;
    for (const RefusedFigure& figure : refused) {
        figures.insert(figure.figure);
    }
    for (VekId id : vekhost::Segments()) {
        if (!figures.contains(id) && figures.contains(vekhost::SourceOf(id))) {
            VekSgmDeleteSegment(id);
        }
    }
}

// Plays the command over one batch; false when a run stopped and, without
// keepGoing, nothing more is to be tried. With keepGoing, a run that stops
// at a figure is played again over the figures after it.
bool PlayBatch(vekhost::Point reference, std::vector<VekId> figures, size_t first, size_t total,
               const PlayOptions& options, CommandResult& result) {
    for (;;) {
        const OneRun run = PlayOnce(reference, figures, first, total, options.showSteps);
        ++result.commands;
        result.pointTaken = run.pointTaken;
        if (!run.pointTaken) {
            result.reportedError = true;
            return false;
        }
        if (run.countShown) {
            // It went through its selection. A failure it showed on the way
            // is its own answer for that figure, which it converted: only
            // keepGoing lets that pass.
            result.reportedError = result.reportedError || (run.failure && !options.keepGoing);
            return !result.reportedError;
        }
        // It stopped, with or without a message.
        const std::optional<size_t> at = options.keepGoing ? StoppedAt(figures) : std::nullopt;
        if (!at) {
            result.reportedError = true;
            return false;
        }
        result.refused.push_back({figures[*at], run.failure.value_or("")});
        figures.erase(figures.begin(), figures.begin() + static_cast<std::ptrdiff_t>(*at) + 1);
        first += *at + 1;
        if (figures.empty()) {
            return true;
        }
    }
}

}  // namespace

size_t RunLength(const std::vector<VekId>& selection, size_t first, const PlayOptions& options) {
    const size_t most = std::min(kFiguresPerRun, selection.size() - first);
    if (!options.elementsOf) {
        return most;
    }
    size_t count = 0;
    size_t elements = 0;
    while (count < most) {
        elements += options.elementsOf(selection[first + count]);
        if (count > 0 && elements > options.elementsPerRun) {
            break;
        }
        ++count;
    }
    return count;
}

CommandResult PlayCommand(vekhost::Point reference, const std::vector<VekId>& selection,
                          const PlayOptions& options, const RunHooks& hooks) {
    CommandResult result;
    vekhost::ClearMessages();  // nothing shown before belongs to this run
    size_t first = 0;
    do {
        const size_t count = RunLength(selection, first, options);
        std::vector<VekId> figures(selection.begin() + static_cast<std::ptrdiff_t>(first),
                                   selection.begin() + static_cast<std::ptrdiff_t>(first + count));
        if (hooks.before) {
            hooks.before(first, count);
        }
        const bool played =
            PlayBatch(reference, std::move(figures), first, selection.size(), options, result);
        if (hooks.after) {
            hooks.after(first, count, result);
        }
        if (!played) {
            result.failedBatch = std::make_pair(first, first + count);
            break;
        }
        first += count;
    } while (first < selection.size());
    if (!result.refused.empty()) {
        RemovePartsMadeFor(result.refused);
    }
    return result;
}

}  // namespace vekhost_tool
