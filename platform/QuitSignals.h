#pragma once
// The requests to end the program that come as signals: SIGTERM (a quit
// request), SIGHUP (the terminal or the session went away) and SIGINT
// (Ctrl+C). Each ends the program the same clean way, at any moment of its
// life: the handler only notes the request (async-signal-safe), and every
// loop that waits asks quitRequested().

#include <functional>

namespace Platform {

// Installs the handlers. Called first thing in main, before anything can
// wait, so that no request is lost to the default action (which would end
// the program without closing its files). Later libraries that install a
// handler only where none is set (SDL) leave these in place.
void installQuitSignals();

// True once one of the signals arrived.
bool quitRequested();
// The first signal that arrived (0 when none did).
int quitSignal();

// Calls `handler` on a watcher thread for each signal that arrives, so a
// loop blocked in a wait can be woken (the handler may not touch the
// window; it should post an event). Installing again replaces the handler;
// an empty one stops the calls.
void onQuitRequest(std::function<void()> handler);

} // namespace Platform
