// Work that follows the caller's, one job after another in the order given,
// on a thread of its own, so that the caller goes on with its next step
// meanwhile (a run's figures are measured and written back while the next
// run plays).
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vekhost_tool {

class OrderedWorker {
public:
    // Unthreaded, or where no thread can be started, each job runs in Post.
    explicit OrderedWorker(bool threaded);
    // Waits for the job in hand; one not yet started is dropped.
    ~OrderedWorker();
    OrderedWorker(const OrderedWorker&) = delete;
    OrderedWorker& operator=(const OrderedWorker&) = delete;

    // At most one job waits: Post returns once the one before has started,
    // so that what is held for the jobs stays bounded. After a job throws
    // none runs any more, and Post and Drain throw what it threw.
    void Post(std::function<void()> job);
    // Returns once every job posted has run; rethrows what one threw.
    void Drain();

private:
    void Work();
    void RethrowFailure();  // with mutex_ held

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::function<void()>> waiting_;
    // Jobs that have run, with what they hold, for the poster to free: its
    // memory came from the poster's allocator, and freeing it on this
    // thread would contend for that allocator's lock.
    std::vector<std::function<void()>> done_;
    bool busy_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace vekhost_tool
