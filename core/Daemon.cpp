#include "core/Daemon.h"

#include "core/Log.h"

#include <stdexcept>

namespace Threading {

Daemon::Daemon(std::u16string name)
    : m_name(std::move(name)), m_threadMutex("Can't create daemon thread mutex"),
      m_operationsMutex("Can't create daemon operations mutex") {}

Daemon::~Daemon() {
    // Stop a thread still running (it would otherwise run on in a freed
    // object); the queue's remaining operations are destroyed unrun.
    stopThread();
}

void Daemon::start() {
    // From one of its own operations the thread runs already. Not under the
    // thread mutex: another thread may hold it, waiting for this one to end.
    if (SDL_ThreadID() == m_loopThreadId.load()) return;
    SdlLock lock(m_threadMutex);
    if (m_thread) {
        // After a stop asked from one of its operations the thread ends (or
        // has ended) on its own: join it and start anew.
        if (!m_stopEvent.isSet()) return;
        joinThread();
    }
    m_stopEvent.reset();
    Log::log(Log::Normal, u"%s daemon starting", m_name);
    m_thread = SDL_CreateThread(&Daemon::threadMain, this);
    if (!m_thread) throw std::runtime_error("Can't create daemon thread");
}

void Daemon::stop() {
    stopThread();
}

void Daemon::stopThread() {
    // An operation asking for a stop cannot wait for its own thread, nor for
    // the thread mutex, which a stop on another thread may hold while it
    // waits for this one: the loop ends once the operation returns, and a
    // later stop or start joins it.
    if (SDL_ThreadID() == m_loopThreadId.load()) {
        m_stopEvent.set();
        return;
    }
    SdlLock lock(m_threadMutex);
    m_stopEvent.set();
    if (!m_thread) return;
    joinThread();
}

void Daemon::joinThread() {
    int status = 0;
    SDL_WaitThread(m_thread, &status);
    m_thread = nullptr;
    Log::log(Log::System, u"%s daemon stop status: %d", m_name, status);
}

bool Daemon::isRunning() const {
    SdlLock lock(m_threadMutex);
    return m_thread != nullptr;
}

void Daemon::idle(const Platform::Event& stop) {
    Platform::Event::waitAny({&stop, &m_queuedEvent}, IdleWaitMs);
}

void Daemon::addOperation(std::unique_ptr<Operation> operation) {
    if (!operation) return;
    SdlLock lock(m_operationsMutex);
    m_queue.push_back(std::move(operation));
    m_queuedEvent.set();
}

int Daemon::threadMain(void* self) {
    return static_cast<Daemon*>(self)->loop();
}

int Daemon::loop() {
    m_loopThreadId.store(SDL_ThreadID());
    Log::log(Log::System, u"%s daemon started", m_name);
    for (;;) {
        const int signalled = Platform::Event::waitAny({&m_stopEvent, &m_queuedEvent}, 0);
        if (signalled == 0) break;
        if (signalled == 1)
            runQueue();
        else
            idle(m_stopEvent);
    }
    Log::log(Log::Normal, u"%s daemon stoping", m_name);
    // Cleared before the thread ends: a later thread may get the same id.
    m_loopThreadId.store(0);
    return 0;
}

void Daemon::runQueue() {
    for (;;) {
        std::unique_ptr<Operation> operation;
        {
            SdlLock lock(m_operationsMutex);
            if (m_queue.empty()) {
                m_queuedEvent.reset();
                return;
            }
            operation = std::move(m_queue.front());
            m_queue.pop_front();
        }
        operation->execute(m_stopEvent);
    }
}

} // namespace Threading
