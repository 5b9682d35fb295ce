#include "platform/QuitSignals.h"

#include "platform/detail/SignalWatch.h"

#include <csignal>

namespace Platform {

namespace {

volatile std::sig_atomic_t g_signal = 0;

void noteFirst(int signal) {
    if (g_signal == 0)
        g_signal = signal;
}

detail::SignalWatch& quitWatch() {
    static detail::SignalWatch* const watch = new detail::SignalWatch({SIGTERM, SIGHUP, SIGINT}, noteFirst);
    return *watch;
}

} // namespace

void installQuitSignals() { quitWatch(); }

bool quitRequested() { return g_signal != 0; }

int quitSignal() { return g_signal; }

void onQuitRequest(std::function<void()> handler) { quitWatch().setHandler(std::move(handler)); }

} // namespace Platform
