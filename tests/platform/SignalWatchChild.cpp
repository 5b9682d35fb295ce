// A process whose quit and raise handlers must still be there, and still be
// called, after its static objects were destroyed: the exit handler is
// registered before the signal watchers exist, so it runs after anything of
// theirs that is destroyed at exit. It counts the live copies of the two
// handlers, sends both signals and waits for both calls. Exit status 0 when
// all is well, else the number of the check that failed.

#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<int> g_liveHandlers{0};
std::atomic<int> g_quitCalls{0};
std::atomic<int> g_raiseCalls{0};

// A handler whose copies are counted; larger than std::function's own
// buffer, so that it lives on the heap as a handler with captures does.
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
    if (g_liveHandlers != 2)
        ::_exit(1);
    ::kill(::getpid(), SIGTERM);
    ::kill(::getpid(), SIGUSR1);
    if (!called(g_quitCalls))
        ::_exit(2);
    if (!called(g_raiseCalls))
        ::_exit(3);
    ::_exit(0);
}

} // namespace

int main() {
    std::atexit(afterTheStatics);
    Platform::installQuitSignals();
    Platform::onQuitRequest(CountedHandler(g_quitCalls));
    Platform::onRaiseRequest(CountedHandler(g_raiseCalls));
    return 0;
}
