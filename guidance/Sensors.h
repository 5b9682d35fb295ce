#pragma once
// The dashboard values of the sensors panel and the sensors page: speeds,
// heading, distances and times along the route, street names, position,
// altitude, dilution of precision, date and time, battery, memory and the
// counters of the last map frame. Each sensor has a fixed name (the key the
// design and the configuration use), a caption from the messages table
// ("sensors_" + name), a value text and a short text; "-" when it has no
// valid value.
//
// Threads: onFix runs on the GPS thread, updateAll and the texts on the main
// thread; the stored fix and every sensor's state are under one mutex.

#include "core/MessageTable.h"
#include "core/SdlMutex.h"
#include "guidance/BatteryStatus.h"
#include "platform/Memory.h"
#include "positioning/CarState.h"
#include "positioning/Clock.h"
#include "positioning/Fix.h"
#include "positioning/TrackingListener.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Map {
class KVAtlas;
class KVMap2;
} // namespace Map
namespace Positioning {
class System;
}

namespace Guidance {

class fdMapNavi;

// What a frame knows besides the last fix; the map page fills it from the
// map events handler or, while it runs, the demo drive.
// The distance to the next turn as the turn panel and the sensor show it,
// in the steps a driver can tell apart: to 10 m below 200 m, to 50 m below
// 1 km, whole kilometres above.
std::u16string turnDistanceText(const Core::MessageTable& messages, std::uint32_t metres);

struct SensorFrame {
    // The demo drive's simulated fix, null when no demo runs.
    const Positioning::Fix* demoFix = nullptr;
    // Guidance has a route with parts, runs and has not arrived.
    bool routeActive = false;
    std::uint32_t distFromStart = 0;
    std::uint32_t distToFinish = 0;
    bool maneuverAhead = false;
    std::uint32_t distToManeuver = 0; // remaining metres
    std::uint32_t guidanceStartTicks = 0;
    // The street after the next manoeuvre: its map and strings-section name
    // index; 0 when none is known.
    Map::KVMap2* nextStreetMap = nullptr;
    std::uint32_t nextStreetName = 0;
    // The street of the route part under guidance's position while the car
    // follows the route; 0 when it is off the route or the part has no name.
    Map::KVMap2* routeStreetMap = nullptr;
    std::uint32_t routeStreetName = 0;
    // The tracked car's road (its map, polyline id and name index).
    Positioning::CarState car;
    // For the street names; null: no names.
    Map::KVAtlas* atlas = nullptr;
    // Counters of the last map frame.
    std::int32_t polygons = 0;
    std::int32_t polylines = 0;
    std::int32_t points = 0;
    std::int32_t captions = 0;

    // The route fields from guidance (the map events handler's or the demo
    // drive's).
    void setGuidance(const fdMapNavi& navi);
};

// What the sensors read in one update: the frame and the fix chosen for it.
struct SensorInput {
    const SensorFrame& frame;
    bool fixValid;
    const Positioning::Fix& fix;
    std::uint32_t ticks;
};

class Sensor {
public:
    virtual ~Sensor() = default;
    virtual const std::string& name() const = 0;
    virtual std::u16string caption() const = 0;
    virtual std::u16string valueText() const = 0;
    virtual std::u16string shortText() const = 0;
    virtual void update(const SensorInput& input) = 0;

    Sensor() = default;
    Sensor(const Sensor&) = delete;
    Sensor& operator=(const Sensor&) = delete;
};

class SensorBase : public Sensor {
public:
    SensorBase(const Core::MessageTable& messages, std::string name) : m_messages(messages), m_name(std::move(name)) {}
    const std::string& name() const override { return m_name; }
    std::u16string caption() const override;
    std::u16string shortText() const override { return valueText(); }
    void update(const SensorInput&) override {}

protected:
    const Core::MessageTable& m_messages;

private:
    std::string m_name;
};

// Where the sensors come from outside: the battery's power-supply folder,
// the clock (ticks for times, the local date and time), the coordinate
// style of the position sensor and the system memory status.
struct SensorsSetup {
    std::string powerSupplyRoot;
    const Positioning::Clock* clock = nullptr; // null: the system clock
    int coordinateStyle = 1;
    std::function<Platform::MemoryStatus()> memoryStatus; // empty: Platform::memoryStatus
};

// How often the memory sensor reads the system's figures, at most: only
// when its text is shown, since each reading opens two files of /proc, and
// they move by the second, not by the frame.
inline constexpr std::uint32_t MemoryReadMs = 1000;

class Sensors : public Positioning::TrackingListener {
public:
    // Registers with the positioning system (when given) and creates the 24
    // sensors. Throws std::runtime_error "Can't create sensors mutex".
    Sensors(const Core::MessageTable& messages, Positioning::System* positioning, const SensorsSetup& setup);
    ~Sensors() override;
    Sensors(const Sensors&) = delete;
    Sensors& operator=(const Sensors&) = delete;

    void onFix(bool valid, const Positioning::Fix& fix) override;
    // Main thread, once per drawn frame.
    void updateAll(const SensorFrame& frame);

    // Null after logging "Can't find sensor %s" (Critical).
    Sensor* findSensor(const std::string& name) const;
    bool hasSensor(const std::string& name) const;
    const std::vector<std::unique_ptr<Sensor>>& sensors() const { return m_sensors; }

private:
    Threading::SdlMutex m_mutex{"Can't create sensors mutex"};
    Positioning::System* m_positioning;
    const Positioning::Clock& m_clock;
    bool m_valid = false;
    Positioning::Fix m_fix;
    std::vector<std::unique_ptr<Sensor>> m_sensors;
};

} // namespace Guidance
