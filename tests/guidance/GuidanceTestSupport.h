#pragma once
// Stand-ins for the messages table and the clocks in the guidance tests.

#include "core/MessageTable.h"
#include "positioning/Clock.h"

#include <atomic>
#include <map>
#include <string>

namespace GuidanceTest {

class Messages : public Core::MessageTable {
public:
    const std::u16string& text(std::string_view name) const override {
        static const std::map<std::string, std::u16string, std::less<>> texts = {
            {"speed_kph", u"km/h"}, {"meter", u"m"}, {"kilo_meter", u"km"}, {"sensors_memory_kib", u"KiB"},
            {"sensors_speed", u"Speed"}, {"sensors_unit_sec", u"s"}, {"sensors_unit_min", u"min"}};
        static const std::u16string none;
        const auto it = texts.find(name);
        return it == texts.end() ? none : it->second;
    }
};

class Clock : public Positioning::Clock {
public:
    std::uint32_t ticksMs() const override { return ticks.load(); }
    Positioning::DateTime localTime() const override { return time; }
    std::atomic<std::uint32_t> ticks{5000};
    Positioning::DateTime time;
};

} // namespace GuidanceTest
