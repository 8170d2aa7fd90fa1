// Worker threads: stop requests, bounded joins, restarts and detaching.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "worker.h"

using namespace std::chrono_literals;

TEST(WorkerThread, BodyRunsAndJoinReportsItsEnd) {
    CWorkerThread w;
    std::atomic<int> runs{0};
    ASSERT_TRUE(w.Start([&](const std::atomic<bool>&) { ++runs; }));
    EXPECT_TRUE(w.Join(5000ms));
    EXPECT_EQ(runs.load(), 1);
    EXPECT_FALSE(w.IsRunning());
    EXPECT_FALSE(w.IsAttached());
    // Once joined, the object starts the next body.
    ASSERT_TRUE(w.Start([&](const std::atomic<bool>&) { ++runs; }));
    w.Join();
    EXPECT_EQ(runs.load(), 2);
}

TEST(WorkerThread, OneBodyAtATime) {
    CWorkerThread w;
    std::atomic<bool> release{false};
    ASSERT_TRUE(w.Start([&](const std::atomic<bool>&) {
        while (!release) std::this_thread::sleep_for(1ms);
    }));
    EXPECT_FALSE(w.Start([](const std::atomic<bool>&) {}));
    EXPECT_TRUE(w.IsRunning());
    release = true;
    w.Join();
}

TEST(WorkerThread, BoundedJoinTimesOutThenStopEndsTheBody) {
    CWorkerThread w;
    ASSERT_TRUE(w.Start([](const std::atomic<bool>& stop) {
        while (!stop) std::this_thread::sleep_for(1ms);
    }));
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(w.Join(30ms));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 30ms);
    EXPECT_TRUE(w.IsRunning());
    EXPECT_FALSE(w.StopRequested());
    w.RequestStop();
    EXPECT_TRUE(w.StopRequested());
    EXPECT_TRUE(w.Join(5000ms));
    EXPECT_FALSE(w.IsRunning());
}

TEST(WorkerThread, DestructorStopsAndWaits) {
    std::atomic<bool> ended{false};
    {
        CWorkerThread w;
        ASSERT_TRUE(w.Start([&](const std::atomic<bool>& stop) {
            while (!stop) std::this_thread::sleep_for(1ms);
            ended = true;
        }));
    }
    EXPECT_TRUE(ended.load());
}

TEST(WorkerThread, DetachedBodyFinishesWhileANewOneRuns) {
    CWorkerThread w;
    auto gate = std::make_shared<std::atomic<bool>>(false);
    auto oldDone = std::make_shared<std::atomic<bool>>(false);
    ASSERT_TRUE(w.Start([gate, oldDone](const std::atomic<bool>&) {
        while (!*gate) std::this_thread::sleep_for(1ms);
        *oldDone = true;
    }));
    w.Detach();
    EXPECT_FALSE(w.IsAttached());
    std::atomic<int> newRuns{0};
    ASSERT_TRUE(w.Start([&](const std::atomic<bool>&) { ++newRuns; }));
    EXPECT_TRUE(w.Join(5000ms));
    EXPECT_EQ(newRuns.load(), 1);
    *gate = true;
    for (int i = 0; i < 5000 && !*oldDone; ++i) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(oldDone->load());
}

TEST(WorkerThread, ThrowingBodyCountsAsFinished) {
    CWorkerThread w;
    ASSERT_TRUE(w.Start([](const std::atomic<bool>&) { throw 42; }));
    EXPECT_TRUE(w.Join(5000ms));
}
