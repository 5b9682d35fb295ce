#include "userdata/OnlineClock.h"

#include "platform/Event.h"

namespace Monitoring {
namespace {

class SystemClock final : public Clock {
  public:
    Positioning::DateTime localTime() override { return Positioning::localDateTime(); }
    bool waitForStop(const Platform::Event& stop, std::uint32_t ms) override { return stop.wait(ms); }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace Monitoring
