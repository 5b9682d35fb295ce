#include "platform/Event.h"

#include "tests/support/FailingSyscalls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <chrono>
#include <thread>
#include <vector>

#include <sys/syscall.h>

using Platform::Event;

TEST(PlatformEvent, ManualResetStaysSetAutoResetIsConsumed) {
    Event manual(true);
    EXPECT_FALSE(manual.wait(0));
    manual.set();
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.wait(0)) << "a manual-reset event stays set";
    manual.reset();
    EXPECT_FALSE(manual.wait(0));

    Event automatic(false, true);
    EXPECT_TRUE(automatic.isSet());
    EXPECT_TRUE(automatic.wait(0));
    EXPECT_FALSE(automatic.isSet()) << "the successful wait consumed the signal";
    EXPECT_FALSE(automatic.wait(0));
}

TEST(PlatformEvent, WaitAnyGivesLowestSignalledIndexAndConsumesOnlyIt) {
    Event stop(true), queued(false);
    EXPECT_EQ(Event::waitAny({&stop, &queued}, 0), Event::TimedOut);
    queued.set();
    stop.set();
    EXPECT_EQ(Event::waitAny({&stop, &queued}, 0), 0);
    EXPECT_TRUE(queued.isSet()) << "only the returned event is consumed";
    stop.reset();
    EXPECT_EQ(Event::waitAny({&stop, &queued}, 0), 1);
    EXPECT_FALSE(queued.isSet());
    // Null entries are skipped.
    Event third(true, true);
    EXPECT_EQ(Event::waitAny({nullptr, &third}, 0), 1);
}

TEST(PlatformEvent, WaitWakesOnSetFromAnotherThreadAndTimesOut) {
    Event go(true), done(false);
    std::thread setter([&] {
        go.wait(Event::Infinite);
        done.set();
    });
    go.set();
    EXPECT_TRUE(done.wait(10000));
    setter.join();

    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(done.wait(30));
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(30));

    // Where the clock's system call fails (the C library reaches the clock
    // without it), a time-out still lasts its time instead of ending at once.
    const int waited = TestSupport::runWithFailingCalls({{SYS_clock_gettime, std::nullopt}}, ENOSYS, [] {
        timespec now{};
        if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return 77; // this machine's library needs the call
        Event never(true);
        const auto start = std::chrono::steady_clock::now();
        never.wait(60);
        return std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(60) ? 0 : 1;
    });
    if (waited == 77 || waited == TestSupport::FilterRefused) GTEST_SKIP() << "no monotonic clock without the system call";
    EXPECT_EQ(waited, 0);
}

TEST(PlatformEvent, AutoResetReleasesOneWaiterPerSet) {
    Event token(false);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (token.wait(10000)) ++woken;
        });
    for (int i = 0; i < 4; ++i) {
        // Each set lets exactly one waiter through; wait until it is taken.
        token.set();
        while (token.isSet())
            std::this_thread::yield();
    }
    for (std::thread& t : waiters)
        t.join();
    EXPECT_EQ(woken.load(), 4);
    EXPECT_FALSE(token.isSet());
}
