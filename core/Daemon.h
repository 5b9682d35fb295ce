#pragma once
// A long-lived worker thread with a queue of operations, so that the
// interface never waits for slow work (the online service's network
// exchanges). Operations run one after another in the order they were
// queued, each destroyed right after it ran. Between queue runs the thread
// calls idle, which a derived daemon replaces with its periodic work.
//
// start and stop may alternate; operations queued while the daemon is
// stopped run after the next start. A stop lets the queue run being worked
// through finish (every operation in it runs, and sees the stop event set so
// a long one can give up early), then ends the loop. Destroying a running
// daemon stops it first and frees the operations that never ran.
//
// A derived daemon whose idle or operations use its own members must call
// stop() in its own destructor: by the time this base destructor runs those
// members are gone.

#include "core/SdlMutex.h"
#include "platform/Event.h"

#include <SDL/SDL_thread.h>

#include <atomic>
#include <deque>
#include <memory>
#include <string>

namespace Threading {

class Daemon {
  public:
    class Operation {
      public:
        Operation() = default;
        virtual ~Operation() = default;
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

        // Runs on the daemon thread. The stop event is set once a stop was
        // asked for; a long operation should look at it and give up.
        virtual void execute(const Platform::Event& stop) = 0;
    };

    // Throws std::runtime_error "Can't create daemon thread mutex" or "Can't
    // create daemon operations mutex".
    explicit Daemon(std::u16string name);
    virtual ~Daemon();
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;

    // Starts the thread unless it runs already (after a stop asked from an
    // operation, the old thread is joined first; from an operation it does
    // nothing); throws std::runtime_error
    // "Can't create daemon thread" when it cannot be created.
    virtual void start();
    // Sets the stop event and waits until the thread has ended. From an
    // operation (on the daemon thread itself) it only sets the event.
    virtual void stop();
    // Called by the loop whenever the queue is empty. This one waits until
    // the daemon is stopped, an operation is queued, or 1,000 ms pass.
    virtual void idle(const Platform::Event& stop);

    // Takes ownership; any thread may queue.
    void addOperation(std::unique_ptr<Operation> operation);

    bool isRunning() const;
    const std::u16string& name() const { return m_name; }

    static constexpr std::uint32_t IdleWaitMs = 1000;

  protected:
    const Platform::Event& stopEvent() const { return m_stopEvent; }
    const Platform::Event& queuedEvent() const { return m_queuedEvent; }

  private:
    static int threadMain(void* self);
    int loop();
    void runQueue();
    void stopThread();
    // Waits for the thread to end and forgets it; m_threadMutex held.
    void joinThread();

    const std::u16string m_name;
    mutable SdlMutex m_threadMutex;
    Platform::Event m_stopEvent{true, false};
    SDL_Thread* m_thread = nullptr; // guarded by m_threadMutex
    // The loop's thread while the loop runs, else 0.
    std::atomic<Uint32> m_loopThreadId{0};
    SdlMutex m_operationsMutex;
    Platform::Event m_queuedEvent{true, false}; // set while operations wait
    std::deque<std::unique_ptr<Operation>> m_queue;
};

} // namespace Threading
