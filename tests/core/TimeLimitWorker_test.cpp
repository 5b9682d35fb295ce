#include "core/TimeLimitWorker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

using Platform::Event;
using Threading::TimeLimitWorker;

namespace {

// Blocks until released (or, failing that, 10 s), then records whether the
// caller had given up on it by then.
class Blocking final : public TimeLimitWorker {
  public:
    void run() override {
        started.set();
        release.wait(10000);
        sawAbandoned = abandoned();
        finished.set();
    }
    Event started{true};
    Event release{true};
    Event finished{true};
    bool sawAbandoned = false;
};

class Quick final : public TimeLimitWorker {
  public:
    void run() override { result = 42; }
    int result = 0;
};

// Fires the caller's stop as its run ends: the caller, woken by either,
// finds both signalled.
class StopsAsItEnds final : public TimeLimitWorker {
  public:
    void run() override { stop->set(); }
    std::shared_ptr<Event> stop = std::make_shared<Event>(true);
};

} // namespace

TEST(TimeLimitWorker, FinishedWithinTheLimitGivesZeroAndTheWorkersResult) {
    auto quick = std::make_shared<Quick>();
    EXPECT_EQ(TimeLimitWorker::runWithLimit(quick, nullptr), TimeLimitWorker::Finished);
    EXPECT_EQ(quick->result, 42);
    EXPECT_FALSE(quick->abandoned());

    Event stop(true);
    auto again = std::make_shared<Quick>();
    EXPECT_EQ(TimeLimitWorker::runWithLimit(again, &stop), 0);
    EXPECT_EQ(again->result, 42);

    EXPECT_EQ(TimeLimitWorker::runWithLimit(nullptr, nullptr), TimeLimitWorker::Failed);
}

// Without a limit of its own a run that never answers is waited for five
// seconds, no less, and then left to itself.
TEST(TimeLimitWorker, ANeverAnsweringRunIsGivenUpAfterFiveSeconds) {
    auto worker = std::make_shared<Blocking>();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(TimeLimitWorker::runWithLimit(worker, nullptr), TimeLimitWorker::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(5000));
    EXPECT_TRUE(worker->started.isSet());
    EXPECT_FALSE(worker->finished.isSet()) << "still blocked when the caller gave up";
    worker->release.set();
    ASSERT_TRUE(worker->finished.wait(10000));
    EXPECT_TRUE(worker->sawAbandoned);
}

TEST(TimeLimitWorker, StopEventEndsTheWaitAtOnce) {
    auto worker = std::make_shared<Blocking>();
    Event stop(true);
    std::thread stopper([&] {
        worker->started.wait(10000);
        stop.set();
    });
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(TimeLimitWorker::runWithLimit(worker, &stop), TimeLimitWorker::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(4000))
        << "the stop came long before the 5,000 ms limit";
    stopper.join();
    EXPECT_TRUE(worker->abandoned());
    worker->release.set();
    ASSERT_TRUE(worker->finished.wait(10000));
    EXPECT_TRUE(worker->sawAbandoned);

    // A stop that fires as the run ends wins: a caller that stopped never
    // takes the run's result (a port search stopped would report a receiver).
    for (int i = 0; i < 50; ++i) {
        auto racing = std::make_shared<StopsAsItEnds>();
        EXPECT_EQ(TimeLimitWorker::runWithLimit(racing, racing->stop.get()), TimeLimitWorker::Stopped) << i;
    }
}

namespace {

struct Signals {
    Event release{true};
    Event destroyed{true};
};

// Lives on in its thread after the caller let go of it.
class Orphan final : public TimeLimitWorker {
  public:
    explicit Orphan(std::shared_ptr<Signals> signals) : m_signals(std::move(signals)) {}
    ~Orphan() override { m_signals->destroyed.set(); }
    void run() override {
        m_signals->release.wait(10000);
        m_state.assign(1000, 'x'); // touches its own state after the caller left
    }

  private:
    std::shared_ptr<Signals> m_signals;
    std::string m_state;
};

} // namespace

TEST(TimeLimitWorker, AbandonedWorkerIsKeptAliveByItsThreadAndFreedWhenItEnds) {
    auto signals = std::make_shared<Signals>();
    auto orphan = std::make_shared<Orphan>(signals);
    EXPECT_EQ(TimeLimitWorker::runWithLimit(orphan, nullptr, 20), TimeLimitWorker::TimedOut);
    EXPECT_TRUE(orphan->abandoned());
    orphan.reset();
    EXPECT_FALSE(signals->destroyed.isSet()) << "the running thread still owns the worker";
    signals->release.set();
    EXPECT_TRUE(signals->destroyed.wait(10000)) << "the thread freed the worker when run returned";
}
