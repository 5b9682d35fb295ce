#include "guidance/Sensors.h"

#include "core/Format.h"
#include "core/Log.h"
#include "core/ValueFormat.h"
#include "guidance/fdMapNavi.h"
#include "map/KVAtlas.h"
#include "platform/Memory.h"
#include "positioning/System.h"

#include <algorithm>
#include <array>
#include <climits>

namespace Guidance {

void SensorFrame::setGuidance(const fdMapNavi& navi) {
    const Path* path = navi.path();
    routeActive = navi.running() && path != nullptr && !path->isEmpty();
    // Between an edit of the route and guidance's next step its place
    // points into parts that are gone.
    const bool placed = routeActive && navi.positionKnown() && !navi.position().isAtEnd();
    distFromStart = navi.distFromStart();
    distToFinish = navi.distToFinish();
    maneuverAhead = navi.maneuverKnown();
    distToManeuver = navi.remainingDistance();
    guidanceStartTicks = navi.startTicks();
    nextStreetMap = nullptr;
    nextStreetName = 0;
    routeStreetMap = nullptr;
    routeStreetName = 0;
    if (placed && !navi.outOfPath()) {
        routeStreetMap = navi.position().currentPart().map;
        routeStreetName = navi.position().currentPart().nameIndex;
    }
    PathPosition at;
    std::uint32_t type = 0;
    std::uint16_t aux = 0;
    if (placed && path->nextManoeuvre(navi.position(), at, type, aux) && !at.isAtEnd()) {
        nextStreetMap = at.currentPart().map;
        nextStreetName = at.partNameIndex();
    }
}

std::u16string turnDistanceText(const Core::MessageTable& messages, std::uint32_t metres) {
    const std::uint64_t m = metres;
    const std::uint64_t rounded = m < 195 ? (m + 5) / 10 * 10 : (m + 25) / 50 * 50;
    if (rounded < 1000)
        return Core::format(u"%d ", static_cast<int>(rounded)) + messages.text("meter");
    return Core::format(u"%d ", static_cast<int>(std::min<std::uint64_t>((m + 500) / 1000, INT32_MAX))) +
           messages.text("kilo_meter");
}

std::u16string SensorBase::caption() const { return m_messages.text("sensors_" + name()); }

namespace {

const std::u16string kNone = u"-";

class CounterSensor : public SensorBase {
public:
    CounterSensor(const Core::MessageTable& m, std::string name, std::int32_t SensorFrame::*field)
        : SensorBase(m, std::move(name)), m_field(field) {}
    std::u16string valueText() const override { return Core::format(u"%d", m_value); }
    void update(const SensorInput& in) override { m_value = in.frame.*m_field; }

private:
    std::int32_t SensorFrame::*m_field;
    std::int32_t m_value = 0;
};

class RenderedPolygonsSensor : public CounterSensor {
public:
    explicit RenderedPolygonsSensor(const Core::MessageTable& m) : CounterSensor(m, "polygons", &SensorFrame::polygons) {}
};
class RenderedPolylinesSensor : public CounterSensor {
public:
    explicit RenderedPolylinesSensor(const Core::MessageTable& m) : CounterSensor(m, "polylines", &SensorFrame::polylines) {}
};
class RenderedPointsSensor : public CounterSensor {
public:
    explicit RenderedPointsSensor(const Core::MessageTable& m) : CounterSensor(m, "points", &SensorFrame::points) {}
};
class RenderedCaptionsSensor : public CounterSensor {
public:
    explicit RenderedCaptionsSensor(const Core::MessageTable& m) : CounterSensor(m, "captions", &SensorFrame::captions) {}
};

// Read when its text is asked for (the panel or the page draws it), at
// most every MemoryReadMs.
class MemorySensor : public SensorBase {
public:
    MemorySensor(const Core::MessageTable& m, const Positioning::Clock& clock,
                 std::function<Platform::MemoryStatus()> read)
        : SensorBase(m, "memory"), m_clock(clock), m_read(std::move(read)) {}
    std::u16string valueText() const override {
        const std::uint32_t now = m_clock.ticksMs();
        if (!m_known || now - m_readMs >= MemoryReadMs) {
            const Platform::MemoryStatus status = m_read ? m_read() : Platform::memoryStatus();
            // Kept in 64 bits: a 64-bit process has more than 2^31 KiB of
            // address space, and a machine may have more than 2 TiB of memory.
            m_virtualKiB = status.availableVirtual >> 10;
            m_physicalKiB = status.availablePhysical >> 10;
            m_readMs = now;
            m_known = true;
        }
        return Core::format(u"%d/%d %s", m_virtualKiB, m_physicalKiB, m_messages.text("sensors_memory_kib"));
    }

private:
    const Positioning::Clock& m_clock;
    std::function<Platform::MemoryStatus()> m_read;
    mutable bool m_known = false;
    mutable std::uint32_t m_readMs = 0;
    mutable std::uint64_t m_virtualKiB = 0;
    mutable std::uint64_t m_physicalKiB = 0;
};

class BatterySensor : public SensorBase {
public:
    BatterySensor(const Core::MessageTable& m, const std::string& root, const Positioning::Clock& clock)
        : SensorBase(m, "battery"), m_status(root, clock) {}
    std::u16string valueText() const override {
        m_status.query();
        return m_status.present() ? Core::format(u"%d%%", m_status.percent()) : kNone;
    }

private:
    mutable BatteryStatus m_status;
};

class SpeedSensorBase : public SensorBase {
public:
    using SensorBase::SensorBase;
    std::u16string valueText() const override {
        if (!m_valid) return kNone;
        const auto v = static_cast<std::int32_t>(m_speed * 36.0f + 0.5f);
        return Core::format(u"%d.%d %s", v / 10, v % 10, m_messages.text("speed_kph"));
    }
    std::u16string shortText() const override {
        if (!m_valid) return kNone;
        return Core::format(u"%d %s", static_cast<std::int32_t>(m_speed * 3.6f + 0.5f), m_messages.text("speed_kph"));
    }
    bool valid() const { return m_valid; }
    float speed() const { return m_speed; }

protected:
    bool m_valid = false;
    float m_speed = 0.0f;
};

class AvgSpeedSensor : public SpeedSensorBase {
public:
    explicit AvgSpeedSensor(const Core::MessageTable& m) : SpeedSensorBase(m, "avg_speed") {}
    void update(const SensorInput& in) override {
        if (!in.fixValid) return;
        if (m_count == m_ring.size()) m_sum -= m_ring[m_next];
        else ++m_count;
        m_ring[m_next] = in.fix.speed;
        m_sum += in.fix.speed;
        m_next = (m_next + 1) % m_ring.size();
        m_speed = static_cast<float>(m_sum / static_cast<double>(m_count));
        m_valid = true;
    }

private:
    std::array<float, 120> m_ring{};
    std::size_t m_count = 0;
    std::size_t m_next = 0;
    double m_sum = 0.0;
};

class CurSpeedSensor : public SpeedSensorBase {
public:
    explicit CurSpeedSensor(const Core::MessageTable& m) : SpeedSensorBase(m, "speed") {}
    void update(const SensorInput& in) override {
        m_valid = in.fixValid;
        m_speed = in.fix.speed;
    }
};

class MaxSpeedSensor : public SpeedSensorBase {
public:
    explicit MaxSpeedSensor(const Core::MessageTable& m) : SpeedSensorBase(m, "max_speed") {}
    void update(const SensorInput& in) override {
        if (!in.fixValid) return;
        m_speed = m_valid ? std::max(m_speed, in.fix.speed) : in.fix.speed;
        m_valid = true;
    }
};

// A fix value printed with a format: heading, altitude.
class FixValueSensor : public SensorBase {
public:
    FixValueSensor(const Core::MessageTable& m, std::string name, float Positioning::Fix::*field)
        : SensorBase(m, std::move(name)), m_field(field) {}
    std::u16string valueText() const override { return m_valid ? Core::format(u"%02.2f", m_value) : kNone; }
    void update(const SensorInput& in) override {
        m_valid = in.fixValid;
        m_value = in.fix.*m_field;
    }

protected:
    float Positioning::Fix::*m_field;
    bool m_valid = false;
    float m_value = 0.0f;
};

class HeadingSensor : public FixValueSensor {
public:
    explicit HeadingSensor(const Core::MessageTable& m) : FixValueSensor(m, "heading", &Positioning::Fix::heading) {}
};
class AltitudeSensor : public FixValueSensor {
public:
    explicit AltitudeSensor(const Core::MessageTable& m) : FixValueSensor(m, "altitude", &Positioning::Fix::altitude) {}
};

class DistanceSensorBase : public SensorBase {
public:
    using SensorBase::SensorBase;
    std::u16string valueText() const override {
        return m_valid ? Core::formatDistance(m_messages, static_cast<std::int32_t>(m_metres), false) : kNone;
    }
    bool valid() const { return m_valid; }
    std::uint32_t metres() const { return m_metres; }

protected:
    bool m_valid = false;
    std::uint32_t m_metres = 0;
};

class DistanceFromStartSensor : public DistanceSensorBase {
public:
    explicit DistanceFromStartSensor(const Core::MessageTable& m) : DistanceSensorBase(m, "dist_from_start") {}
    void update(const SensorInput& in) override {
        m_valid = in.frame.routeActive;
        m_metres = in.frame.distFromStart;
    }
};
class DistanceToFinishSensor : public DistanceSensorBase {
public:
    explicit DistanceToFinishSensor(const Core::MessageTable& m) : DistanceSensorBase(m, "dist_to_finish") {}
    void update(const SensorInput& in) override {
        m_valid = in.frame.routeActive;
        m_metres = in.frame.distToFinish;
    }
};
class DistanceToManeuverSensor : public DistanceSensorBase {
public:
    explicit DistanceToManeuverSensor(const Core::MessageTable& m) : DistanceSensorBase(m, "dist_to_maneuver") {}
    // As the turn panel shows it.
    std::u16string valueText() const override {
        return m_valid ? turnDistanceText(m_messages, m_metres) : kNone;
    }
    void update(const SensorInput& in) override {
        m_valid = in.frame.routeActive && in.frame.maneuverAhead;
        m_metres = in.frame.distToManeuver;
    }
};

class TimeSensorBase : public SensorBase {
public:
    using SensorBase::SensorBase;
    std::u16string valueText() const override {
        return m_valid ? Core::formatDuration(static_cast<std::uint32_t>(m_seconds + 0.5f)) : kNone;
    }
    // On the map the next turn is seconds away, not hours: hours and minutes
    // would stand at 0:00 all the way to it. Below an hour the short text
    // counts minutes and seconds.
    std::u16string shortText() const override {
        if (!m_valid) return kNone;
        const auto s = static_cast<std::uint32_t>(m_seconds + 0.5f);
        if (s < 60) return Core::format(u"%u %s", s, m_messages.text("sensors_unit_sec"));
        if (s < 3600) return Core::format(u"%u:%.2u %s", s / 60, s % 60, m_messages.text("sensors_unit_min"));
        return valueText();
    }

protected:
    bool m_valid = false;
    float m_seconds = 0.0f;
};

class TimeFromStartSensor : public TimeSensorBase {
public:
    explicit TimeFromStartSensor(const Core::MessageTable& m) : TimeSensorBase(m, "time_from_start") {}
    void update(const SensorInput& in) override {
        m_valid = in.frame.routeActive;
        m_seconds = static_cast<float>(in.ticks - in.frame.guidanceStartTicks) * 0.001f;
    }
};

class TimeToMoveSensor : public TimeSensorBase {
public:
    TimeToMoveSensor(const Core::MessageTable& m, std::string name, const DistanceSensorBase& distance,
                     const AvgSpeedSensor& speed)
        : TimeSensorBase(m, std::move(name)), m_distance(distance), m_speed(speed) {}
    // Runs after its distance and speed sensors, which come first in the list.
    // A car that stands gets no time: the average of the last samples'
    // speeds would go on giving the time of a car still moving.
    void update(const SensorInput& in) override {
        const bool moving = in.fixValid && in.fix.speed > 0.1f;
        m_valid = moving && m_distance.valid() && m_speed.valid() && m_speed.speed() > 0.1f;
        if (m_valid) m_seconds = static_cast<float>(m_distance.metres()) / m_speed.speed();
    }

private:
    const DistanceSensorBase& m_distance;
    const AvgSpeedSensor& m_speed;
};

class StreetNameSensorBase : public SensorBase {
public:
    using SensorBase::SensorBase;
    std::u16string valueText() const override { return m_valid ? m_name : kNone; }

protected:
    // Looks the name up unless map and name index are those of the last
    // lookup.
    void lookUp(Map::KVMap2* map, std::uint32_t nameIndex, std::uint32_t key) {
        if (m_valid && m_map == map && m_key == key) return;
        m_map = map;
        m_key = key;
        m_valid = map != nullptr && map->stringsReader().string(nameIndex, m_name);
    }
    bool m_valid = false;

private:
    Map::KVMap2* m_map = nullptr;
    std::uint32_t m_key = 0;
    std::u16string m_name;
};

class CurStreetSensor : public StreetNameSensorBase {
public:
    explicit CurStreetSensor(const Core::MessageTable& m) : StreetNameSensorBase(m, "cur_street") {}
    // While the car follows the route, the street is the route's there:
    // guidance has matched the car to it, where the tracker, between roads
    // at a junction or unsure of the road, has none (the box stayed empty
    // for stretches of named streets).
    void update(const SensorInput& in) override {
        if (in.frame.routeStreetName != 0) {
            lookUp(in.frame.routeStreetMap, in.frame.routeStreetName, in.frame.routeStreetName);
            return;
        }
        const Positioning::CarState& car = in.frame.car;
        if (!car.valid || !car.onRoad || car.polylineId == Positioning::NoPolylineId) {
            m_valid = false;
            return;
        }
        Map::KVAtlas* atlas = in.frame.atlas;
        lookUp(atlas && car.mapIndex < atlas->mapCount() ? atlas->mapAt(car.mapIndex) : nullptr, car.caption,
               car.caption);
    }
};

class NextStreetSensor : public StreetNameSensorBase {
public:
    explicit NextStreetSensor(const Core::MessageTable& m) : StreetNameSensorBase(m, "next_street") {}
    void update(const SensorInput& in) override {
        if (!in.frame.routeActive || in.frame.nextStreetName == 0) {
            m_valid = false;
            return;
        }
        lookUp(in.frame.nextStreetMap, in.frame.nextStreetName, in.frame.nextStreetName);
    }
};

class PositionSensor : public SensorBase {
public:
    PositionSensor(const Core::MessageTable& m, int style) : SensorBase(m, "position"), m_style(style) {}
    std::u16string valueText() const override {
        if (!m_valid) return kNone;
        return Core::format(u"%s %s", Core::formatLatitude(m_style, m_latitude),
                            Core::formatLongitude(m_style, m_longitude));
    }
    void update(const SensorInput& in) override {
        m_valid = in.fixValid;
        m_latitude = in.fix.latitude;
        m_longitude = in.fix.longitude;
    }

private:
    int m_style;
    bool m_valid = false;
    float m_latitude = 0.0f;
    float m_longitude = 0.0f;
};

class DopSensorBase : public FixValueSensor {
public:
    using FixValueSensor::FixValueSensor;
    std::u16string valueText() const override {
        if (!m_valid) return kNone;
        const auto v = static_cast<std::int32_t>(m_value * 100.0f + 0.5f);
        return Core::format(u"%d.%.02d", v / 100, v % 100);
    }
};

class HdopSensor : public DopSensorBase {
public:
    explicit HdopSensor(const Core::MessageTable& m) : DopSensorBase(m, "hdop", &Positioning::Fix::hdop) {}
};
class VdopSensor : public DopSensorBase {
public:
    explicit VdopSensor(const Core::MessageTable& m) : DopSensorBase(m, "vdop", &Positioning::Fix::vdop) {}
};

class DateSensor : public SensorBase {
public:
    DateSensor(const Core::MessageTable& m, const Positioning::Clock& clock) : SensorBase(m, "date"), m_clock(clock) {}
    std::u16string valueText() const override {
        const Positioning::DateTime t = m_clock.localTime();
        return Core::format(u"%.2d/%.2d/%.4d", int{t.day}, int{t.month}, int{t.year});
    }

private:
    const Positioning::Clock& m_clock;
};

class TimeSensor : public SensorBase {
public:
    TimeSensor(const Core::MessageTable& m, const Positioning::Clock& clock) : SensorBase(m, "time"), m_clock(clock) {}
    std::u16string valueText() const override {
        const Positioning::DateTime t = m_clock.localTime();
        return Core::format(u"%.2d:%.2d:%.2d", int{t.hour}, int{t.minute}, int{t.second});
    }

private:
    const Positioning::Clock& m_clock;
};

} // namespace

Sensors::Sensors(const Core::MessageTable& messages, Positioning::System* positioning, const SensorsSetup& setup)
    : m_positioning(positioning), m_clock(setup.clock ? *setup.clock : Positioning::systemClock()) {
    const Core::MessageTable& m = messages;
    m_sensors.push_back(std::make_unique<RenderedPolygonsSensor>(m));
    m_sensors.push_back(std::make_unique<RenderedPolylinesSensor>(m));
    m_sensors.push_back(std::make_unique<RenderedPointsSensor>(m));
    m_sensors.push_back(std::make_unique<RenderedCaptionsSensor>(m));
    m_sensors.push_back(std::make_unique<MemorySensor>(m, m_clock, setup.memoryStatus));
    m_sensors.push_back(std::make_unique<BatterySensor>(m, setup.powerSupplyRoot, m_clock));
    auto avg = std::make_unique<AvgSpeedSensor>(m);
    const AvgSpeedSensor& avgSpeed = *avg;
    m_sensors.push_back(std::move(avg));
    m_sensors.push_back(std::make_unique<CurSpeedSensor>(m));
    m_sensors.push_back(std::make_unique<MaxSpeedSensor>(m));
    m_sensors.push_back(std::make_unique<HeadingSensor>(m));
    m_sensors.push_back(std::make_unique<DistanceFromStartSensor>(m));
    auto toFinish = std::make_unique<DistanceToFinishSensor>(m);
    auto toManeuver = std::make_unique<DistanceToManeuverSensor>(m);
    const DistanceSensorBase& finish = *toFinish;
    const DistanceSensorBase& maneuver = *toManeuver;
    m_sensors.push_back(std::move(toFinish));
    m_sensors.push_back(std::move(toManeuver));
    m_sensors.push_back(std::make_unique<TimeFromStartSensor>(m));
    m_sensors.push_back(std::make_unique<TimeToMoveSensor>(m, "time_to_finish", finish, avgSpeed));
    m_sensors.push_back(std::make_unique<TimeToMoveSensor>(m, "time_to_maneuver", maneuver, avgSpeed));
    m_sensors.push_back(std::make_unique<CurStreetSensor>(m));
    m_sensors.push_back(std::make_unique<NextStreetSensor>(m));
    m_sensors.push_back(std::make_unique<PositionSensor>(m, setup.coordinateStyle));
    m_sensors.push_back(std::make_unique<AltitudeSensor>(m));
    m_sensors.push_back(std::make_unique<HdopSensor>(m));
    m_sensors.push_back(std::make_unique<VdopSensor>(m));
    m_sensors.push_back(std::make_unique<DateSensor>(m, m_clock));
    m_sensors.push_back(std::make_unique<TimeSensor>(m, m_clock));
    if (m_positioning) m_positioning->addListener(this);
}

Sensors::~Sensors() {
    if (m_positioning) m_positioning->removeListener(this);
}

void Sensors::onFix(bool valid, const Positioning::Fix& fix) {
    Threading::SdlLock lock(m_mutex);
    m_valid = valid;
    if (valid) m_fix = fix;
}

void Sensors::updateAll(const SensorFrame& frame) {
    Threading::SdlLock lock(m_mutex);
    const bool demo = frame.demoFix != nullptr;
    const SensorInput input{frame, demo || m_valid, demo ? *frame.demoFix : m_fix, m_clock.ticksMs()};
    for (const auto& sensor : m_sensors) sensor->update(input);
}

bool Sensors::hasSensor(const std::string& name) const {
    return std::any_of(m_sensors.begin(), m_sensors.end(), [&](const auto& s) { return s->name() == name; });
}

Sensor* Sensors::findSensor(const std::string& name) const {
    for (const auto& s : m_sensors)
        if (s->name() == name) return s.get();
    Log::log(Log::Critical, "Can't find sensor %s", name);
    return nullptr;
}

} // namespace Guidance
