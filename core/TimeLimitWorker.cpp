#include "core/TimeLimitWorker.h"

#include "core/Log.h"
#include "platform/Error.h"

#include <system_error>
#include <thread>

namespace Threading {

int TimeLimitWorker::runWithLimit(const std::shared_ptr<TimeLimitWorker>& worker, const Platform::Event* stop,
                                  std::uint32_t limitMs) {
    if (!worker) return Failed;
    worker->m_abandoned.store(false, std::memory_order_release);
    // The thread owns a share of the worker and of its end signal, so both
    // outlive a caller that has stopped waiting.
    auto ended = std::make_shared<Platform::Event>(true, false);
    try {
        std::thread([worker, ended] {
            worker->run();
            ended->set();
        }).detach();
    } catch (const std::system_error& e) {
        Platform::setLastError(Platform::errorFromErrno(e.code().value()));
        Log::log(Log::Critical, u"Can't create LimitWorker thread (err %d)", Platform::lastError());
        return Failed;
    }

    // The stop comes first: a run that ends as the stop fires counts as
    // stopped, so a caller that stopped never takes its result.
    switch (Platform::Event::waitAny({stop, ended.get()}, limitMs)) {
    case 1:
        return Finished;
    case 0:
        worker->m_abandoned.store(true, std::memory_order_release);
        return Stopped;
    default:
        worker->m_abandoned.store(true, std::memory_order_release);
        return TimedOut;
    }
}

} // namespace Threading
