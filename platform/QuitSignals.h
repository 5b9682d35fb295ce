#pragma once
// The requests to end the program that come as signals: SIGTERM (a quit
// request), SIGHUP (the terminal or the session went away) and SIGINT
// (Ctrl+C). Each ends the program the same clean way, at any moment of its
// life: the handler only notes the request (async-signal-safe), and every
// loop that waits asks quitRequested().

#include <cstdint>
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

// Marks a call that may wait without end for something outside the program
// and so never come back to ask quitRequested(): SDL 1.2 sets a full-screen
// mode only once it has grabbed the pointer, however long another program
// holds it. While one runs, a quit signal that arrives (or had arrived when
// it began) and that the call does not outlast by graceMs ends the process
// from the signals' watcher thread: `lastWords` runs there with the
// signal's number (a log line), then the process exits with `exitCode` at
// once (_exit: the thread that owns the program's state is still inside
// the call, so no destructor may run). One at a time.
class UnboundedWait {
public:
    UnboundedWait(std::uint32_t graceMs, std::function<void(int signal)> lastWords, int exitCode);
    ~UnboundedWait();
    UnboundedWait(const UnboundedWait&) = delete;
    UnboundedWait& operator=(const UnboundedWait&) = delete;
};

} // namespace Platform
