#include "core/PeriodicTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using Threading::PeriodicTimer;

namespace {

// Waits up to 5 s for a condition; a loaded machine may run the timer late.
template <typename Condition> bool eventually(Condition condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

} // namespace

TEST(PeriodicTimer, CallsAgainAndAgainOnItsOwnThreadUntilDestroyed) {
    std::atomic<int> calls{0};
    std::atomic<bool> onCaller{false};
    const std::thread::id caller = std::this_thread::get_id();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::atomic<Clock::rep> thirdAfter{0};
    {
        PeriodicTimer timer(5, [&] {
            onCaller = onCaller || std::this_thread::get_id() == caller;
            if (++calls == 3) thirdAfter = (Clock::now() - start).count();
        });
        EXPECT_EQ(timer.periodMs(), 5u);
        EXPECT_TRUE(eventually([&] { return calls >= 3; }));
    }
    // Never sooner than its periods, whatever the clocks' hour.
    EXPECT_GE(Clock::duration(thirdAfter.load()), std::chrono::milliseconds(15));
    EXPECT_FALSE(onCaller);
    const int stopped = calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(calls, stopped) << "a call after the destructor returned";
}

TEST(PeriodicTimer, TheDestructorWaitsForARunningCallAndStopsBeforeTheFirstPeriod) {
    std::atomic<bool> inside{false}, done{false};
    auto timer = std::make_unique<PeriodicTimer>(1, [&] {
        if (inside.exchange(true)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        done = true;
    });
    ASSERT_TRUE(eventually([&] { return inside.load(); }));
    timer.reset();
    EXPECT_TRUE(done) << "the destructor returned while the callback ran";

    // A long period: the destructor wakes the sleeping thread at once.
    std::atomic<int> calls{0};
    const auto start = std::chrono::steady_clock::now();
    {
        PeriodicTimer idle(3600 * 1000, [&] { ++calls; });
    }
    EXPECT_EQ(calls, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::minutes(1));
}
