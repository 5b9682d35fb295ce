#pragma once
// An SDL mutex (recursive on every SDL platform) owned by an object, with a
// scoped lock. Construction throws std::runtime_error with the caller's
// message when SDL cannot create the mutex.

#include <SDL/SDL_mutex.h>

#include <stdexcept>

namespace Threading {

class SdlMutex {
  public:
    explicit SdlMutex(const char* failureMessage) : m_mutex(SDL_CreateMutex()) {
        if (!m_mutex) throw std::runtime_error(failureMessage);
    }
    ~SdlMutex() { SDL_DestroyMutex(m_mutex); }
    SdlMutex(const SdlMutex&) = delete;
    SdlMutex& operator=(const SdlMutex&) = delete;

    void lock() { SDL_mutexP(m_mutex); }
    void unlock() { SDL_mutexV(m_mutex); }

  private:
    SDL_mutex* m_mutex;
};

class SdlLock {
  public:
    explicit SdlLock(SdlMutex& mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~SdlLock() { m_mutex.unlock(); }
    SdlLock(const SdlLock&) = delete;
    SdlLock& operator=(const SdlLock&) = delete;

  private:
    SdlMutex& m_mutex;
};

} // namespace Threading
