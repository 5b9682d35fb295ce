#include "platform/Window.h"

#include <SDL.h>
#include <SDL/SDL_syswm.h>

#include <cstdlib>
#include <initializer_list>

namespace Platform {

bool raiseVideoWindow() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11)
        return false;
    info.info.x11.lock_func();
    Display* display = info.info.x11.display;
    XMapRaised(display, info.info.x11.wmwindow);
    // In full screen SDL 1.2 draws in a window of its own (fswindow) beside
    // the managed one: raised alone, the managed window, empty, would cover
    // the picture and take every tap.
    if (const SDL_Surface* screen = SDL_GetVideoSurface(); screen && (screen->flags & SDL_FULLSCREEN))
        XMapRaised(display, info.info.x11.fswindow);
    XSync(display, False);
    info.info.x11.unlock_func();
    return true;
}

} // namespace Platform

namespace Platform {

unsigned long videoWindowId() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

} // namespace Platform

namespace Platform {

bool videoDisplayGiven() {
    for (const char* name : {"SDL_VIDEODRIVER", "DISPLAY"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0')
            return true;
    return false;
}

} // namespace Platform

namespace Platform {

bool pointerHeldElsewhere() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11 || info.info.x11.display == nullptr)
        return false;
    info.info.x11.lock_func();
    Display* display = info.info.x11.display;
    // A grab of our own on the root window, let go at once: the server
    // refuses it while another client holds the pointer.
    const int result = XGrabPointer(display, DefaultRootWindow(display), False, 0, GrabModeAsync, GrabModeAsync, None,
                                    None, CurrentTime);
    if (result == GrabSuccess)
        XUngrabPointer(display, CurrentTime);
    XSync(display, False);
    info.info.x11.unlock_func();
    return result == AlreadyGrabbed || result == GrabFrozen;
}

} // namespace Platform
