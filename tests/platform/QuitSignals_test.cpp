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

// A call that never comes back to ask quitRequested() (SDL 1.2 waiting for
// a pointer another program holds): a quit signal during it, or before it,
// ends the process once the grace is over, after the last words; a call
// that ends within the grace leaves the program to end itself. Each row in
// a child of its own (the signal is never cleared); the last words go
// through a pipe, so the parent sees them after the child is gone.
TEST(QuitSignals, ASignalDuringAnUnboundedWaitEndsTheProcessAfterTheGrace) {
    const struct {
        const char* what;
        bool signalBefore;
        int holdMs; // how long the call lasts; -1 for ever
        int status;
        int lastWords; // the signal the last words were given; 0 none
    } rows[] = {
        {"during a call that never ends", false, -1, 40, SIGTERM},
        {"before a call that never ends", true, -1, 40, SIGTERM},
        {"during a call that ends within the grace", false, 50, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        int words[2];
        ASSERT_EQ(::pipe(words), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(words[0]);
            Platform::installQuitSignals();
            if (row.signalBefore) {
                ::kill(::getpid(), SIGTERM);
                for (int i = 0; i < 1000 && !Platform::quitRequested(); ++i)
                    ::usleep(1000);
            }
            {
                Platform::UnboundedWait wait(
                    200,
                    [fd = words[1]](int signal) {
                        const char byte = static_cast<char>(signal);
                        (void)!::write(fd, &byte, 1);
                    },
                    40);
                if (!row.signalBefore)
                    ::kill(::getpid(), SIGTERM);
                if (row.holdMs < 0) {
                    // "For ever": 10 s, then a status no row expects.
                    for (int i = 0; i < 100; ++i)
                        ::usleep(100 * 1000);
                    ::_exit(2);
                }
                ::usleep(static_cast<useconds_t>(row.holdMs) * 1000);
            }
            // Well past the grace: still running, left to end by itself.
            ::usleep(600 * 1000);
            ::_exit(Platform::quitRequested() ? 0 : 1);
        }
        ::close(words[1]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), row.status);
        char byte = 0;
        const ssize_t got = ::read(words[0], &byte, 1);
        ::close(words[0]);
        EXPECT_EQ(got > 0 ? byte : 0, row.lastWords);
    }
}

} // namespace
