#include "positioning/Clock.h"

#include <chrono>

namespace Positioning {

namespace {

class SystemClock final : public Clock {
  public:
    std::uint32_t ticksMs() const override {
        const auto since = std::chrono::steady_clock::now() - m_start;
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    DateTime localTime() const override { return localDateTime(); }

  private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace Positioning
