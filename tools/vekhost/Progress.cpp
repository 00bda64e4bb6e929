#include "tools/vekhost/Progress.h"

#include "tools/vekhost/Console.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vekhost_tool {

namespace {

// Nothing for a run shorter than this, and no more than one line per
// interval after it.
constexpr std::chrono::milliseconds kDelay{1000};
constexpr std::chrono::milliseconds kInterval{200};

ProgressListener gListener = nullptr;

}  // namespace

void SetProgressListener(ProgressListener listener) {
    gListener = listener;
}

bool StandardErrorIsTerminal() {
#ifdef _WIN32
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

Progress::Progress(std::string what)
    : what_(std::move(what)), terminal_(StandardErrorIsTerminal()), start_(Clock::now()) {}

Progress::~Progress() {
    if (shownLength_ > 0) {
        WriteErr("\r" + std::string(shownLength_, ' ') + "\r");
    }
}

void Progress::Update(size_t done, size_t total) {
    const Clock::time_point now = Clock::now();
    if (gListener != nullptr) {
        if (done == total || !told_ || now - shownAt_ >= kInterval) {
            shownAt_ = now;
            told_ = true;
            gListener(done, total);
        }
        return;
    }
    if (!terminal_) {
        return;
    }
    if (now - start_ < kDelay || (shownLength_ > 0 && now - shownAt_ < kInterval)) {
        return;
    }
    shownAt_ = now;
    const std::string line = what_ + ": " + std::to_string(done) + " of " + std::to_string(total) +
                             " (" + std::to_string(total > 0 ? done * 100 / total : 100) + " %)";
    const size_t pad = shownLength_ > line.size() ? shownLength_ - line.size() : 0;
    WriteErr("\r" + line + std::string(pad, ' '));
    shownLength_ = line.size() + pad;
}

}  // namespace vekhost_tool
