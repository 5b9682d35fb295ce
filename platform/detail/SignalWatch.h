#pragma once
// Signals turned into ordinary calls: the handler only notes the signal and
// writes a byte into a pipe (both async-signal-safe); a watcher thread reads
// the pipe and calls the installed function outside the signal's context,
// where it may lock and post events.

#include <csignal>
#include <functional>
#include <initializer_list>
#include <mutex>

namespace Platform::detail {

class SignalWatch {
public:
    // Installs the handler for `signals` and starts the watcher. `note`, when
    // given, runs inside the handler with the signal's number first, so it
    // must be async-signal-safe (set a sig_atomic_t). Lives for the whole
    // process: the thread and the handlers are never taken back, so it is
    // made with new and never destroyed (a static one would be destroyed at
    // exit while a signal may still reach its thread).
    SignalWatch(std::initializer_list<int> signals, void (*note)(int));
    ~SignalWatch() = delete;
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Calls `handler` on the watcher thread once for each signal; installing
    // again replaces it, an empty one stops the calls.
    void setHandler(std::function<void()> handler);

private:
    void watch();

    int m_pipe[2] = {-1, -1};
    std::mutex m_lock;
    std::function<void()> m_handler;
};

} // namespace Platform::detail
