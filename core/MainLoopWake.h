#pragma once
// The one way other threads reach the main loop: a video-expose event
// (type 17, every other field zero) in SDL's event queue, which ends the
// loop's wait. SDL 1.2 takes the queue and its lock down when its video
// stops, and a push racing with that uses a freed lock: every push goes
// through wakeMainLoop, which pushes only while wake-ups are open, and
// closing them waits for a push under way.

namespace Threading {

// Any thread, any moment (also during the static destructors): pushes the
// expose event while wake-ups are open, else nothing.
void wakeMainLoop();

// Opened once SDL's video runs (the engine after SDL_Init, a test that
// starts SDL itself), closed before it stops. Closing returns after a push
// in progress ended, and no push starts after it.
void openMainLoopWakeUps();
void closeMainLoopWakeUps();

} // namespace Threading
