#include "platform/QuitSignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Each signal in a child of its own: the request is process-wide and never
// cleared. The child's exit status tells what it saw: 0 when the signal was
// noted with its number, the watcher's handler ran, and a later installation
// left the handler in place; else the number of the check that failed.
int childSees(int signal) {
    Platform::installQuitSignals();
    if (Platform::quitRequested() || Platform::quitSignal() != 0)
        return 1;
    std::mutex lock;
    std::condition_variable woken;
    int calls = 0;
    Platform::onQuitRequest([&] {
        std::lock_guard guard(lock);
        ++calls;
        woken.notify_all();
    });
    // What SDL does at its start: a handler of its own only where the
    // default is set.
    void (*previous)(int) = std::signal(signal, SIG_DFL);
    if (previous == SIG_DFL)
        return 2;
    std::signal(signal, previous);
    ::kill(::getpid(), signal);
    std::unique_lock guard(lock);
    if (!woken.wait_for(guard, std::chrono::seconds(10), [&] { return calls == 1; }))
        return 3;
    if (!Platform::quitRequested() || Platform::quitSignal() != signal)
        return 4;
    // A second signal wakes again; the first one's number stays.
    guard.unlock();
    ::kill(::getpid(), signal == SIGTERM ? SIGINT : SIGTERM);
    guard.lock();
    if (!woken.wait_for(guard, std::chrono::seconds(10), [&] { return calls == 2; }))
        return 5;
    return Platform::quitSignal() == signal ? 0 : 6;
}

TEST(QuitSignals, EachSignalIsNotedAndWakesTheWatcher) {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            ::_exit(childSees(signal));
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal << " ended the process";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "signal " << signal;
    }
}

// The watchers live until the process ends: a signal while its static
// objects are destroyed, or after, still reaches its handler, which was not
// destroyed under it (the child says what it saw in its exit status).
TEST(QuitSignals, TheWatchersOutliveTheStaticObjects) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(MIREL_SIGNAL_WATCH_CHILD, MIREL_SIGNAL_WATCH_CHILD, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
