#pragma once
// The program window as the window system sees it, beyond what SDL 1.2
// offers: bringing an iconified window back to the front.

namespace Platform {

// Maps and raises the SDL video window (un-iconifies it); false when there
// is no window or the video driver is not X11.
bool raiseVideoWindow();

} // namespace Platform

namespace Platform {

// The X11 id of the SDL video window; 0 when there is no window or the
// video driver is not X11.
unsigned long videoWindowId();

} // namespace Platform
