#include "core/Daemon.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <SDL/SDL_thread.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Platform::Event;
using Threading::Daemon;

namespace {

// What the operations of one test did, in order, from whichever thread.
struct Journal {
    std::mutex mutex;
    std::vector<std::string> entries;
    std::vector<Uint32> threads;
    void add(std::string entry, Uint32 thread = 0) {
        std::lock_guard lock(mutex);
        entries.push_back(std::move(entry));
        if (thread) threads.push_back(thread);
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex);
        return entries;
    }
};

class Recorded final : public Daemon::Operation {
  public:
    Recorded(Journal& journal, std::string name, Event* done = nullptr)
        : m_journal(journal), m_name(std::move(name)), m_done(done) {}
    ~Recorded() override { m_journal.add("~" + m_name); }
    void execute(const Event& stop) override {
        m_journal.add(m_name + (stop.isSet() ? " (stopping)" : ""), SDL_ThreadID());
        if (m_done) m_done->set();
    }

  private:
    Journal& m_journal;
    std::string m_name;
    Event* m_done;
};

// Tells the test it runs, then works until the daemon is stopped.
class UntilStopped final : public Daemon::Operation {
  public:
    UntilStopped(Journal& journal, Event& running) : m_journal(journal), m_running(running) {}
    ~UntilStopped() override { m_journal.add("~long"); }
    void execute(const Event& stop) override {
        m_running.set();
        const bool stopped = stop.wait(10000);
        m_journal.add(stopped ? "long saw stop" : "long timed out");
    }

  private:
    Journal& m_journal;
    Event& m_running;
};

} // namespace

TEST(Daemon, OperationsRunInQueueOrderOnTheDaemonThreadEachDestroyedAfterItRan) {
    TestSupport::CaptureLogger log;
    Journal journal;
    Event done(true);
    {
        Daemon daemon(u"Online service");
        daemon.addOperation(std::make_unique<Recorded>(journal, "one"));
        daemon.addOperation(std::make_unique<Recorded>(journal, "two"));
        daemon.addOperation(std::make_unique<Recorded>(journal, "three", &done));
        EXPECT_TRUE(journal.snapshot().empty()) << "nothing runs before start";
        daemon.start();
        EXPECT_TRUE(daemon.isRunning());
        ASSERT_TRUE(done.wait(10000));
        daemon.stop();
        EXPECT_FALSE(daemon.isRunning());
    }
    EXPECT_EQ(journal.snapshot(),
              (std::vector<std::string>{"one", "~one", "two", "~two", "three", "~three"}));
    ASSERT_EQ(journal.threads.size(), 3u);
    EXPECT_EQ(journal.threads[0], journal.threads[1]);
    EXPECT_EQ(journal.threads[1], journal.threads[2]);
    EXPECT_NE(journal.threads[0], SDL_ThreadID());

    EXPECT_EQ(log.snapshot(), (std::vector<std::string>{
                               "Online service daemon starting", "Online service daemon started",
                               "Online service daemon stoping", "Online service daemon stop status: 0"}));
    EXPECT_EQ(log.linesAt(Log::System), (std::vector<std::string>{"Online service daemon started",
                                                                  "Online service daemon stop status: 0"}));
}

TEST(Daemon, OperationsQueuedFromManyThreadsAreNoneLostAndKeepEachThreadsOrder) {
    Journal journal;
    Daemon daemon(u"Queue");
    daemon.start();
    constexpr int Threads = 4, PerThread = 50;
    std::vector<std::thread> producers;
    for (int t = 0; t < Threads; ++t)
        producers.emplace_back([&, t] {
            for (int i = 0; i < PerThread; ++i)
                daemon.addOperation(
                    std::make_unique<Recorded>(journal, std::to_string(t) + ":" + std::to_string(1000 + i)));
        });
    for (std::thread& p : producers)
        p.join();
    Event done(true);
    daemon.addOperation(std::make_unique<Recorded>(journal, "last", &done));
    ASSERT_TRUE(done.wait(10000));
    daemon.stop();

    std::vector<std::string> ran;
    for (const std::string& e : journal.snapshot())
        if (e[0] != '~') ran.push_back(e);
    ASSERT_EQ(ran.size(), static_cast<std::size_t>(Threads * PerThread + 1));
    EXPECT_EQ(ran.back(), "last");
    std::vector<int> next(Threads, 1000);
    for (std::size_t i = 0; i + 1 < ran.size(); ++i) {
        const int t = ran[i][0] - '0';
        EXPECT_EQ(std::stoi(ran[i].substr(2)), next[t]++) << "thread " << t << " out of order";
    }
}

TEST(Daemon, OperationsQueuedWhileStoppedWaitForTheNextStartAndDieUnrunWithTheDaemon) {
    Journal journal;
    {
        Daemon daemon(u"Restart");
        daemon.start();
        daemon.stop();
        daemon.stop(); // a second stop finds no thread and does nothing
        Event done(true);
        daemon.addOperation(std::make_unique<Recorded>(journal, "later", &done));
        EXPECT_FALSE(done.wait(0));
        daemon.start();
        daemon.start(); // already running: no second thread
        ASSERT_TRUE(done.wait(10000));
        daemon.stop();
        EXPECT_EQ(journal.snapshot(), (std::vector<std::string>{"later", "~later"}));

        daemon.addOperation(std::make_unique<Recorded>(journal, "never"));
        daemon.addOperation(nullptr); // ignored
    }
    EXPECT_EQ(journal.snapshot(), (std::vector<std::string>{"later", "~later", "~never"}));
}

TEST(Daemon, DestroyingARunningDaemonStopsJoinsAndFrees) {
    TestSupport::CaptureLogger log;
    Journal journal;
    Event running(true);
    {
        Daemon idle(u"Idle");
        idle.start();
    } // destroyed while waiting in idle
    {
        Daemon busy(u"Busy");
        busy.start();
        busy.addOperation(std::make_unique<UntilStopped>(journal, running));
        busy.addOperation(std::make_unique<Recorded>(journal, "queued"));
        ASSERT_TRUE(running.wait(10000));
    } // destroyed while an operation runs
    EXPECT_EQ(journal.snapshot(),
              (std::vector<std::string>{"long saw stop", "~long", "queued (stopping)", "~queued"}));
    EXPECT_EQ(log.count("Idle daemon stop status: 0"), 1u);
    EXPECT_EQ(log.count("Busy daemon stop status: 0"), 1u);
}

namespace {

// Stops its own daemon from the daemon thread.
class StopFromInside final : public Daemon::Operation {
  public:
    StopFromInside(Daemon& daemon, Event& done) : m_daemon(daemon), m_done(done) {}
    void execute(const Event& stop) override {
        m_daemon.stop();
        if (stop.isSet()) m_done.set();
    }

  private:
    Daemon& m_daemon;
    Event& m_done;
};

// Asks for a stop once another thread's stop is already waiting for this
// thread to end.
class StopWhileBeingStopped final : public Daemon::Operation {
  public:
    StopWhileBeingStopped(Daemon& daemon, Event& running) : m_daemon(daemon), m_running(running) {}
    void execute(const Event& stop) override {
        m_running.set();
        if (stop.wait(10000)) m_daemon.stop();
    }

  private:
    Daemon& m_daemon;
    Event& m_running;
};

// A daemon with periodic work of its own, which stops itself when destroyed.
class Ticking final : public Daemon {
  public:
    Ticking() : Daemon(u"Ticking") {}
    ~Ticking() override { stop(); }
    void idle(const Event& stop) override {
        ticked.set();
        Event::waitAny({&stop, &queuedEvent()}, 10000);
    }
    Event ticked{true};
};

} // namespace

TEST(Daemon, StopFromAnOperationDoesNotWaitForItselfAndIdleIsOverridable) {
    Event done(true);
    Daemon daemon(u"Self");
    daemon.start();
    daemon.addOperation(std::make_unique<StopFromInside>(daemon, done));
    ASSERT_TRUE(done.wait(10000)) << "the stop event was set without a deadlock";
    // A start after that stop really starts: the old thread is joined and a
    // new one runs what is queued.
    Journal journal;
    Event ran(true);
    daemon.start();
    daemon.addOperation(std::make_unique<Recorded>(journal, "after restart", &ran));
    EXPECT_TRUE(ran.wait(10000)) << "an operation queued after the restart runs";
    daemon.stop();
    EXPECT_FALSE(daemon.isRunning());

    // A stop from an operation while another thread is inside stop, waiting
    // for the daemon thread, must not wait for that thread's lock.
    Event running(true);
    daemon.start();
    daemon.addOperation(std::make_unique<StopWhileBeingStopped>(daemon, running));
    ASSERT_TRUE(running.wait(10000));
    daemon.stop();
    EXPECT_FALSE(daemon.isRunning());

    Ticking ticking;
    ticking.start();
    EXPECT_TRUE(ticking.ticked.wait(10000)) << "an empty queue calls the derived idle";
}
