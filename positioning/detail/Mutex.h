#pragma once
// An SDL mutex with a scoped lock. SDL mutexes are recursive, which the GPS
// thread relies on nowhere but which makes a listener that reads the device
// from inside its own notification safe on the GPS thread.

#include <SDL_mutex.h>

#include <stdexcept>

namespace Positioning::detail {

class Mutex {
  public:
    // Throws std::runtime_error(failureText) when SDL cannot create it.
    explicit Mutex(const char* failureText) : m_mutex(SDL_CreateMutex()) {
        if (!m_mutex) throw std::runtime_error(failureText);
    }
    ~Mutex() { SDL_DestroyMutex(m_mutex); }
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() const { SDL_mutexP(m_mutex); }
    void unlock() const { SDL_mutexV(m_mutex); }

  private:
    SDL_mutex* m_mutex;
};

class Lock {
  public:
    explicit Lock(const Mutex& mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~Lock() { m_mutex.unlock(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

  private:
    const Mutex& m_mutex;
};

} // namespace Positioning::detail
