#include "platform/QuitSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace Platform {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

volatile std::sig_atomic_t g_signal = 0;
// The handler writes a byte into the pipe; the watcher thread turns it into
// a call of the installed handler, outside the signal's context.
int g_pipe[2] = {-1, -1};
std::mutex g_handlerLock;
std::function<void()> g_handler;

void onSignal(int signal) {
    const int saved = errno;
    if (g_signal == 0)
        g_signal = signal;
    const char byte = 1;
    if (g_pipe[1] >= 0)
        (void)!::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void watch() {
    char byte;
    for (;;) {
        const ssize_t got = ::read(g_pipe[0], &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        std::function<void()> handler;
        {
            std::lock_guard lock(g_handlerLock);
            handler = g_handler;
        }
        if (handler)
            handler();
    }
}

} // namespace

void installQuitSignals() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        // A full pipe only drops wake-ups: the flag is already set.
        if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
            const int flags = ::fcntl(g_pipe[0], F_GETFL);
            ::fcntl(g_pipe[0], F_SETFL, flags & ~O_NONBLOCK);
            std::thread(watch).detach();
        } else {
            g_pipe[0] = g_pipe[1] = -1;
        }
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : kSignals)
            ::sigaction(signal, &action, nullptr);
    });
}

bool quitRequested() { return g_signal != 0; }

int quitSignal() { return g_signal; }

void onQuitRequest(std::function<void()> handler) {
    std::lock_guard lock(g_handlerLock);
    g_handler = std::move(handler);
}

} // namespace Platform
