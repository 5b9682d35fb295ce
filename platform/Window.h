#pragma once
// The program window as the window system sees it, beyond what SDL 1.2
// offers: bringing an iconified window back to the front.

namespace Platform {

// Maps and raises the SDL video window (un-iconifies it), and in full
// screen the window that holds the picture above it; false when there is
// no window or the video driver is not X11.
bool raiseVideoWindow();

} // namespace Platform

namespace Platform {

// The X11 id of the SDL video window; 0 when there is no window or the
// video driver is not X11.
unsigned long videoWindowId();

} // namespace Platform

namespace Platform {

// Whether SDL's video has somewhere to show the window: SDL_VIDEODRIVER
// names a driver (x11, dummy for none, ...), or DISPLAY names an X server.
// With neither, SDL 1.2 falls back to a text-terminal driver and paints the
// program as escape codes into whatever terminal started it.
bool videoDisplayGiven();

} // namespace Platform

namespace Platform {

// True when another program holds the pointer (an active grab) on the X
// display of SDL's video; false when none does, or there is no X11 video.
// SDL 1.2 sets a full-screen mode only once it has grabbed the pointer
// itself, and waits for that without end: another copy of the program in
// full screen on the same display holds it for as long as it runs.
bool pointerHeldElsewhere();

} // namespace Platform
