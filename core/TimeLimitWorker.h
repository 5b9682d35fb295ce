#pragma once
// One piece of work run on a thread of its own with a time limit, for work
// that can block without end (reading a serial port that never answers).
//
// Threads are never killed: when the limit passes or the caller's stop event
// fires first, the caller stops waiting and the thread is abandoned. It keeps
// the worker alive through its own shared reference, finishes on its own
// whenever run returns, and its result is ignored. After a result of 2 or 3
// the worker's state belongs to that thread: the caller must not read it
// (the worker can look at abandoned() and leave early).

#include "platform/Event.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace Threading {

class TimeLimitWorker {
  public:
    enum Result : int {
        Finished = 0, // run returned within the limit
        Failed = 1,   // the thread could not be created
        TimedOut = 2, // the limit passed first; the thread was abandoned
        Stopped = 3,  // the stop event fired first; the thread was abandoned
    };
    static constexpr std::uint32_t LimitMs = 5000;

    TimeLimitWorker() = default;
    virtual ~TimeLimitWorker() = default;
    TimeLimitWorker(const TimeLimitWorker&) = delete;
    TimeLimitWorker& operator=(const TimeLimitWorker&) = delete;

    // The work, on the worker thread. It must hold no lock other threads
    // need while it may block: an abandoned run keeps what it holds.
    virtual void run() = 0;

    // Set once the caller stopped waiting for this run.
    bool abandoned() const { return m_abandoned.load(std::memory_order_acquire); }

    // Runs worker->run() on a new thread and waits for it, for the stop
    // event (may be null) or for limitMs, whichever comes first; a stop
    // signalled by the time the caller looks wins over a run that ended.
    static int runWithLimit(const std::shared_ptr<TimeLimitWorker>& worker, const Platform::Event* stop,
                            std::uint32_t limitMs = LimitMs);

  private:
    std::atomic<bool> m_abandoned{false};
};

} // namespace Threading
