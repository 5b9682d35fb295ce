#pragma once
// Stand-ins for the messages table and the clocks in the guidance tests, a
// receiver's exact fix on a route, and the distance a phrase speaks, read
// back.

#include "core/MessageTable.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/Voice.h"
#include "positioning/Clock.h"
#include "positioning/Fix.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <utility>

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

// A receiver's fix, without error, where the car stands on the route: its
// course the route's way there, HDOP 1.
inline Positioning::Fix exactFixAt(const PathPosition& at, float speedMs) {
    const Positioning::CarState car = Guidance::carStateAt(at);
    const Map::Point p = car.position.toGlobal();
    Positioning::Fix fix;
    fix.x = p.x;
    fix.y = p.y;
    fix.speed = speedMs;
    fix.heading = car.heading * 180.0f / 3.14159265f;
    fix.courseKnown = true;
    fix.hdop = 1.0f;
    return fix;
}

// The metres a phrase speaks after its first "in", read back word by word
// (numbers as the demo's words say them); nothing without one.
inline std::optional<std::uint32_t> spokenMetres(const Guidance::Phrase& phrase) {
    const auto in = std::find(phrase.begin(), phrase.end(), Guidance::Voice::In);
    if (in == phrase.end()) return std::nullopt;
    std::uint32_t total = 0, number = 0;
    for (auto it = in + 1; it != phrase.end(); ++it) {
        const std::int32_t id = *it;
        if (id >= 12 && id <= 20)
            number += static_cast<std::uint32_t>(id - 11);
        else if (id >= 23 && id <= 30)
            number += static_cast<std::uint32_t>(id - 21) * 10;
        else if (id >= 31 && id <= 39)
            number += static_cast<std::uint32_t>(id - 30) * 100;
        else if (id >= 43 && id <= 52)
            number += static_cast<std::uint32_t>(id - 33);
        else if (id >= 66 && id <= 68)
            total += std::exchange(number, 0u) * 1000;
        else if (id >= 55 && id <= 57)
            return total + number;
        else
            break;
    }
    return total;
}

} // namespace GuidanceTest
