#pragma once
// The non-blocking lock around the tracked car, shared by the GPS thread and
// the map page's frame: an SDL semaphore of two units. Each side tries to
// take one unit and skips its work on the car when none is free, so neither
// ever waits for the other; switching the atlas takes both units with
// blocking waits, which holds both sides off.

#include <SDL/SDL_mutex.h>

namespace Positioning {

class CarStateLock {
  public:
    // Throws std::runtime_error "Can't create car state semaphore".
    CarStateLock();
    ~CarStateLock();
    CarStateLock(const CarStateLock&) = delete;
    CarStateLock& operator=(const CarStateLock&) = delete;

    bool tryTake();
    void release();
    // Blocks until both units are taken.
    void takeAll();
    void releaseAll();

    // One unit for a scope, if it was free.
    class Unit {
      public:
        explicit Unit(CarStateLock& lock) : m_lock(lock), m_taken(lock.tryTake()) {}
        ~Unit() {
            if (m_taken) m_lock.release();
        }
        Unit(const Unit&) = delete;
        Unit& operator=(const Unit&) = delete;
        explicit operator bool() const { return m_taken; }

      private:
        CarStateLock& m_lock;
        bool m_taken;
    };

  private:
    SDL_sem* m_semaphore;
};

} // namespace Positioning
