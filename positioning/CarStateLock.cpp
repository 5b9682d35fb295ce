#include "positioning/CarStateLock.h"

#include <stdexcept>

namespace Positioning {

CarStateLock::CarStateLock() : m_semaphore(SDL_CreateSemaphore(2)) {
    if (m_semaphore == nullptr) throw std::runtime_error("Can't create car state semaphore");
}

CarStateLock::~CarStateLock() { SDL_DestroySemaphore(m_semaphore); }

bool CarStateLock::tryTake() { return SDL_SemTryWait(m_semaphore) == 0; }

void CarStateLock::release() { SDL_SemPost(m_semaphore); }

void CarStateLock::takeAll() {
    SDL_SemWait(m_semaphore);
    SDL_SemWait(m_semaphore);
}

void CarStateLock::releaseAll() {
    SDL_SemPost(m_semaphore);
    SDL_SemPost(m_semaphore);
}

} // namespace Positioning
