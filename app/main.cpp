// The program's entry: one running copy per session, the engine run under
// the crash guard, and the engine destroyed in every case.

#include "app/CrashReport.h"
#include "app/fdEngine.h"

#include "platform/CrashGuard.h"
#include "platform/SingleInstance.h"

#include <cstdio>
#include <memory>
#include <new>

int main() {
    Platform::SingleInstance guard("mirel");
    if (!guard.acquired()) {
        // A second copy touches no log or setting: it only brings the first
        // copy's window forward, and says so to whoever started it.
        if (guard.raiseRunningCopy())
            std::fprintf(stderr, "mirel is already running: its window was brought forward (lock %s)\n",
                         guard.path().c_str());
        else
            std::fprintf(stderr, "mirel is already running, but its window could not be reached (lock %s)\n",
                         guard.path().c_str());
        return -1;
    }
    std::unique_ptr<engine::fdEngine> engine(new (std::nothrow) engine::fdEngine());
    if (!engine)
        return 0;
    Platform::onRaiseRequest([] {
        if (auto* running = engine::fdEngine::instance())
            running->requestRaise();
    });
    const int result = Platform::runGuarded([&] { return engine->run(); }, engine::reportCrash, -1);
    Platform::onRaiseRequest({});
    engine.reset();
    return result;
}
