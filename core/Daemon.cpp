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
    SdlLock lock(m_threadMutex);
    if (m_thread) {
        // A thread whose stop was asked from one of its own operations may
        // still be set here: its loop ends (or has ended) on its own.
        if (!m_stopEvent.isSet()) return;
        if (SDL_ThreadID() == m_threadId) {
            // Started again from inside that operation: the loop has not
            // left yet, so it simply goes on.
            m_stopEvent.reset();
            return;
        }
        joinThread();
    }
    m_stopEvent.reset();
    Log::log(Log::Normal, u"%s daemon starting", m_name);
    m_thread = SDL_CreateThread(&Daemon::threadMain, this);
    if (!m_thread) throw std::runtime_error("Can't create daemon thread");
    m_threadId = SDL_GetThreadID(m_thread);
}

void Daemon::stop() {
    stopThread();
}

void Daemon::stopThread() {
    SdlLock lock(m_threadMutex);
    m_stopEvent.set();
    if (!m_thread) return;
    // An operation asking for a stop cannot wait for its own thread; the
    // loop ends once the operation returns and a later stop joins it.
    if (SDL_ThreadID() == m_threadId) return;
    joinThread();
}

void Daemon::joinThread() {
    int status = 0;
    SDL_WaitThread(m_thread, &status);
    m_thread = nullptr;
    m_threadId = 0;
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
