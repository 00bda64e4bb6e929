#include "tools/vekhost/OrderedWorker.h"

#include <system_error>
#include <utility>

namespace vekhost_tool {

OrderedWorker::OrderedWorker(bool threaded) {
#ifndef __EMSCRIPTEN__  // the page's module has no threads
    if (threaded) {
        try {
            thread_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            // The jobs run in Post, as they would without a thread.
        }
    }
#else
    (void)threaded;
#endif
}

OrderedWorker::~OrderedWorker() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.reset();
    }
    changed_.notify_all();
    thread_.join();
}

void OrderedWorker::Post(std::function<void()> job) {
    if (!thread_.joinable()) {
        job();
        return;
    }
    std::vector<std::function<void()>> done;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !waiting_ || failure_; });
        RethrowFailure();
        waiting_ = std::move(job);
        done.swap(done_);
    }
    changed_.notify_all();
}

void OrderedWorker::Drain() {
    if (!thread_.joinable()) {
        return;
    }
    std::vector<std::function<void()>> done;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return (!waiting_ && !busy_) || failure_; });
    done.swap(done_);
    RethrowFailure();
}

void OrderedWorker::RethrowFailure() {
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

void OrderedWorker::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return waiting_ || stopping_; });
        if (stopping_) {
            return;
        }
        std::function<void()> job = std::move(*waiting_);
        waiting_.reset();
        busy_ = true;
        changed_.notify_all();
        lock.unlock();
        std::exception_ptr failed;
        try {
            job();
        } catch (...) {
            failed = std::current_exception();
        }
        lock.lock();
        done_.push_back(std::move(job));
        busy_ = false;
        if (failed) {
            failure_ = failed;
            stopping_ = true;  // nothing after a failure runs
            waiting_.reset();
        }
        changed_.notify_all();
    }
}

}  // namespace vekhost_tool
