// The program's entry: the quit signals caught before anything else, one
// running copy per session and per data folder, the engine run under the
// crash guard, and the engine destroyed in every case.

#include "app/CrashReport.h"
#include "app/fdEngine.h"

#include "platform/CrashGuard.h"
#include "platform/Path.h"
#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"

#include <cstdio>
#include <memory>
#include <new>

int main() {
    // A quit request in the first moments must not be lost or end the
    // program without closing its files.
    Platform::installQuitSignals();
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
    // Another session's copy (started with another runtime folder) may run
    // on the same data: two copies would overwrite each other's files.
    const std::string dataFolder = Platform::toNativePath(Platform::dataFolder());
    Platform::FolderLock dataLock(dataFolder);
    if (!dataLock.acquired()) {
        std::fprintf(stderr, "mirel is already running on the data folder %s\n", dataFolder.c_str());
        return -1;
    }
    std::unique_ptr<engine::fdEngine> engine(new (std::nothrow) engine::fdEngine());
    if (!engine)
        return 0;
    Platform::onRaiseRequest([] {
        if (auto* running = engine::fdEngine::instance())
            running->requestRaise();
    });
    Platform::onQuitRequest([] { engine::fdEngine::wakeOnQuitSignal(); });
    const int result = Platform::runGuarded([&] { return engine->run(); }, engine::reportCrash, -1);
    Platform::onRaiseRequest({});
    Platform::onQuitRequest({});
    engine.reset();
    return result;
}
