#include "platform/QuitSignals.h"

#include "platform/MonotonicCondition.h"
#include "platform/detail/SignalWatch.h"

#include <cassert>
#include <chrono>
#include <csignal>
#include <mutex>
#include <unistd.h>

namespace Platform {

namespace {

volatile std::sig_atomic_t g_signal = 0;

void noteFirst(int signal) {
    if (g_signal == 0)
        g_signal = signal;
}

// The unbounded wait under way. Made with new and never destroyed, as the
// watcher is: a signal may come while the static objects are destroyed.
struct Unbounded {
    std::mutex lock;
    MonotonicCondition ended;
    bool active = false;
    std::uint64_t endedWaits = 0;
    std::uint32_t graceMs = 0;
    std::function<void(int)> lastWords;
    int exitCode = 0;
};

Unbounded& unbounded() {
    static Unbounded* const state = new Unbounded;
    return *state;
}

// On the watcher thread, after each signal: ends the process when an
// unbounded wait is under way and does not end within its grace.
void endUnboundedWait() {
    Unbounded& u = unbounded();
    std::unique_lock lock(u.lock);
    if (!u.active)
        return;
    const std::uint64_t before = u.endedWaits;
    if (u.ended.waitFor(lock, std::chrono::milliseconds(u.graceMs), [&] { return u.endedWaits != before; }))
        return;
    if (u.lastWords)
        u.lastWords(g_signal);
    ::_exit(u.exitCode);
}

detail::SignalWatch& quitWatch() {
    static detail::SignalWatch* const watch = [] {
        auto* made = new detail::SignalWatch({SIGTERM, SIGHUP, SIGINT}, noteFirst);
        made->setHandler(endUnboundedWait);
        return made;
    }();
    return *watch;
}

} // namespace

void installQuitSignals() { quitWatch(); }

bool quitRequested() { return g_signal != 0; }

int quitSignal() { return g_signal; }

void onQuitRequest(std::function<void()> handler) {
    quitWatch().setHandler([handler = std::move(handler)] {
        if (handler)
            handler();
        endUnboundedWait();
    });
}

UnboundedWait::UnboundedWait(std::uint32_t graceMs, std::function<void(int signal)> lastWords, int exitCode) {
    quitWatch();
    Unbounded& u = unbounded();
    {
        std::lock_guard lock(u.lock);
        assert(!u.active);
        u.active = true;
        u.graceMs = graceMs;
        u.lastWords = std::move(lastWords);
        u.exitCode = exitCode;
    }
    // A request that came just before the call began would never be
    // looked at again: it goes to the watcher as a new one.
    if (const int signal = g_signal)
        ::raise(signal);
}

UnboundedWait::~UnboundedWait() {
    Unbounded& u = unbounded();
    {
        std::lock_guard lock(u.lock);
        u.active = false;
        u.lastWords = nullptr;
        ++u.endedWaits;
    }
    u.ended.notifyAll();
}

} // namespace Platform
