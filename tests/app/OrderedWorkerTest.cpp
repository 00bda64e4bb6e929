// The work that follows a run while the next one plays: in order, bounded,
// a failure handed back, and what a job holds freed where it was made.
#include "tools/vekhost/OrderedWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using vekhost_tool::OrderedWorker;

class OrderedWorkerTest : public testing::TestWithParam<bool> {};

TEST_P(OrderedWorkerTest, RunsEveryJobInTheOrderPosted) {
    OrderedWorker worker(GetParam());
    std::vector<int> ran;  // touched by one job at a time
    for (int i = 0; i < 200; ++i) {
        worker.Post([&ran, i] { ran.push_back(i); });
    }
    worker.Drain();
    ASSERT_EQ(ran.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(ran[static_cast<size_t>(i)], i);
    }
}

TEST_P(OrderedWorkerTest, AFailureIsThrownToThePosterAndNothingAfterItRuns) {
    OrderedWorker worker(GetParam());
    std::atomic<int> ran = 0;
    worker.Post([&ran] { ++ran; });
    const auto failing = [] { throw std::runtime_error("cannot write"); };
    if (!GetParam()) {
        EXPECT_THROW(worker.Post(failing), std::runtime_error);
        return;  // unthreaded, the job's own throw is the poster's
    }
    worker.Post(failing);
    EXPECT_THROW(
        {
            worker.Post([&ran] { ++ran; });
            worker.Drain();
        },
        std::runtime_error);
    EXPECT_THROW(worker.Drain(), std::runtime_error);
    EXPECT_EQ(ran, 1);
}

INSTANTIATE_TEST_SUITE_P(ThreadedOrNot, OrderedWorkerTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "Threaded" : "Unthreaded";
                         });

// At most one job waits behind the one in hand: a third is not taken until
// the first has ended, so a slow job holds back the poster, not memory.
TEST(OrderedWorker, HoldsOneJobBehindTheOneInHand) {
    OrderedWorker worker(true);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> started;
    worker.Post([&started, released] {
        started.set_value();
        released.wait();
    });
    started.get_future().wait();
    worker.Post([] {});  // waits behind the first
    auto third = std::async(std::launch::async, [&worker] { worker.Post([] {}); });
    EXPECT_EQ(third.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    release.set_value();
    third.get();
    worker.Drain();
}

// What a job holds is freed on the thread that posted it, where it was made.
TEST(OrderedWorker, FreesWhatAJobHoldsOnThePostersThread) {
    struct Noted {
        explicit Noted(std::vector<std::thread::id>* list) : freedOn(list) {}
        ~Noted() { freedOn->push_back(std::this_thread::get_id()); }
        std::vector<std::thread::id>* freedOn;
    };
    std::vector<std::thread::id> freedOn;
    OrderedWorker worker(true);
    for (int i = 0; i < 3; ++i) {
        worker.Post([held = std::make_shared<Noted>(&freedOn)] {});
    }
    worker.Drain();
    ASSERT_EQ(freedOn.size(), 3u);
    for (const std::thread::id id : freedOn) {
        EXPECT_EQ(id, std::this_thread::get_id());
    }
}

// Leaving early (the poster failed): the job in hand ends, the one waiting
// is dropped.
TEST(OrderedWorker, EndsWithoutTheJobWaiting) {
    std::atomic<int> ran = 0;
    {
        OrderedWorker worker(true);
        std::promise<void> started;
        worker.Post([&ran, &started] {
            started.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ++ran;
        });
        started.get_future().wait();
        worker.Post([&ran] { ++ran; });
    }
    EXPECT_EQ(ran, 1);
}

}  // namespace
