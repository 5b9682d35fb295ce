// Quit and raise handlers must still be there, and be called, after the
// static objects were destroyed: the exit handler, registered before the
// watchers exist, runs after anything of theirs destroyed at exit. Exit
// status 0, else the number of the check that failed.

#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<int> g_liveHandlers{0}, g_quitCalls{0}, g_raiseCalls{0};

// Its copies counted; too large for std::function's own buffer, it lives on
// the heap as a handler with captures does.
struct CountedHandler {
    explicit CountedHandler(std::atomic<int>& calls) : calls(&calls) { ++g_liveHandlers; }
    CountedHandler(const CountedHandler& other) : calls(other.calls) { ++g_liveHandlers; }
    ~CountedHandler() { --g_liveHandlers; }
    void operator()() const { ++*calls; }

    std::atomic<int>* calls;
    char room[32] = {};
};

bool called(const std::atomic<int>& calls) {
    for (int i = 0; i < 1000 && calls == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return calls > 0;
}

void afterTheStatics() {
    if (g_liveHandlers != 2) ::_exit(1);
    ::kill(::getpid(), SIGTERM);
    ::kill(::getpid(), SIGUSR1);
    ::_exit(!called(g_quitCalls) ? 2 : !called(g_raiseCalls) ? 3 : 0);
}

} // namespace

int main() {
    std::atexit(afterTheStatics);
    Platform::installQuitSignals();
    Platform::onQuitRequest(CountedHandler(g_quitCalls));
    Platform::onRaiseRequest(CountedHandler(g_raiseCalls));
    return 0;
}
