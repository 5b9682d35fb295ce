#include "core/MainLoopWake.h"

#include <SDL.h>

#include <mutex>

namespace Threading {

namespace {

// Never destroyed: a signal's watcher or an opener's reaper may wake the
// loop while the program ends.
std::mutex& wakeLock() {
    static std::mutex* const lock = new std::mutex;
    return *lock;
}

bool g_open = false;

} // namespace

void wakeMainLoop() {
    std::lock_guard lock(wakeLock());
    if (!g_open)
        return;
    SDL_Event event{};
    event.type = SDL_VIDEOEXPOSE;
    SDL_PushEvent(&event);
}

void openMainLoopWakeUps() {
    std::lock_guard lock(wakeLock());
    g_open = true;
}

void closeMainLoopWakeUps() {
    std::lock_guard lock(wakeLock());
    g_open = false;
}

} // namespace Threading
