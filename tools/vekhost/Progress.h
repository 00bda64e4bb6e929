// Progress of a long run, on standard error: shown only when that is a
// terminal and only once the run has taken more than a second, so that short
// runs, pipes and files see nothing of it.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace vekhost_tool {

bool StandardErrorIsTerminal();

// Where progress goes instead of the terminal, when set: the browser page's
// bar (tools/wasm). Told from the start, at most every kInterval, and at
// the end.
using ProgressListener = void (*)(size_t done, size_t total);
void SetProgressListener(ProgressListener listener);

class Progress {
public:
    // `what` leads the line, e.g. "Converting".
    explicit Progress(std::string what);
    ~Progress();  // clears the line, when one was shown
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Update(size_t done, size_t total);

private:
    using Clock = std::chrono::steady_clock;
    std::string what_;
    bool terminal_;
    Clock::time_point start_;
    Clock::time_point shownAt_;
    size_t shownLength_ = 0;
    bool told_ = false;  // the listener, once
};

}  // namespace vekhost_tool
