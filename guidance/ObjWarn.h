#pragma once
// Warnings about points of interest ahead on the route: the map around the
// route is scanned in 50-metre steps ahead of the car for POIs of the types
// the user marked for warning, the objects found are kept in route order,
// passed ones dropped, and one event "new obj" is raised when the next
// object comes within the incoming distance. Each object is announced once.
//
// Main thread only, once per frame while guidance follows the route.

#include "core/ConfigNode.h"
#include "positioning/Clock.h"
#include "routing/PathPosition.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <tuple>
#include <vector>

namespace Map {
class KVAtlas;
}
namespace Render {
class RenderStyles;
}

namespace Guidance {

class ObjWarn;

enum ObjWarnEvent : int { NewObject = 1 };

class KVMapObjWarnEventsHandler {
public:
    virtual ~KVMapObjWarnEventsHandler() = default;
    // car: the car's route position at the event.
    virtual void onObjWarnEvent(int code, ObjWarn& warn, const PathPosition& car) = 0;
};

// A point of interest as the map holds it.
struct MapPoi {
    std::uint32_t mapId = 0;
    Map::Point point; // global map point
    std::uint16_t poiType = 0;
};

// Every POI of the part's map and level whose cell may reach into the global
// box {min x, min y, max x, max y}; the default walks the level's cells.
using PoiQuery = std::function<void(const PathPart& part, const std::array<std::int32_t, 4>& box,
                                    const std::function<void(const MapPoi&)>& visit)>;
void queryLevelPois(const PathPart& part, const std::array<std::int32_t, 4>& box,
                    const std::function<void(const MapPoi&)>& visit);

class ObjWarn {
public:
    struct Object {
        MapPoi poi;
        PathPosition position; // of the route point nearest to it
        float distanceMetres = 0.0f; // from the route
    };

    // The settings every instance shares (the map's and the demo drive's),
    // kept under the "ObjWarn" node with the keys "incoming_distance",
    // "outgoing_distance" and "say_dist_before_notif".
    struct Settings {
        std::uint16_t incomingDistance = 1000;
        std::uint16_t outgoingDistance = 150;
        bool sayDistBeforeNotif = false;
    };
    static const Settings& settings() { return s_settings; }
    // The settings page's change: both distances, into the shared settings
    // and the same keys the constructor reads.
    static void setDistances(const Core::ConfigNodePtr& root, std::uint16_t incoming, std::uint16_t outgoing);

    // config: the configuration root (its child "ObjWarn" is read). styles:
    // the POI show/warn table (null: nothing is warned about).
    ObjWarn(const Core::ConfigNodePtr& config, KVMapObjWarnEventsHandler* handler, Path* path,
            const Render::RenderStyles* styles, const Positioning::Clock& clock = Positioning::systemClock(),
            PoiQuery query = queryLevelPois);
    ~ObjWarn();
    ObjWarn(const ObjWarn&) = delete;
    ObjWarn& operator=(const ObjWarn&) = delete;

    // One frame with the car's route position; true when it raised "new obj".
    bool update(const PathPosition& car, Map::KVAtlas* atlas = nullptr);
    void reset();

    // The object warned about now: the ring's head; null when the ring is
    // empty or the route changed since the last update.
    const Object* current() const;
    bool headIncoming() const { return m_headIncoming; }
    bool announced() const { return m_announced; }

private:
    using Key = std::tuple<std::uint32_t, std::int32_t, std::int32_t, std::uint16_t>;
    struct Candidate {
        Object object;
        bool seen = false;
        std::uint16_t misses = 0;
    };
    static constexpr std::size_t kRingSlots = 101;

    void promoteAndDrop(const PathPosition& car);
    void scan(const PathPosition& car);
    void scanStep(const PathPosition& from, const PathPosition& to);
    void confirm(const Object& object);
    std::size_t ringSize() const { return (m_tail + kRingSlots - m_head) % kRingSlots; }
    void dropHead();

    static Settings s_settings;

    Path* m_path;
    std::uint8_t m_pathChanged = 1;
    KVMapObjWarnEventsHandler* m_handler;
    Core::ConfigNodePtr m_config;
    const Render::RenderStyles* m_styles;
    const Positioning::Clock& m_clock;
    PoiQuery m_query;

    std::map<Key, Candidate> m_candidates;
    bool m_active = false;
    std::uint32_t m_lastScanTicks = 0;
    PathPosition m_trail;
    PathPosition m_scanPosition;
    PathPosition m_frontier;
    std::vector<Object> m_incoming;
    std::array<Object, kRingSlots> m_ring;
    std::size_t m_head = 0;
    std::size_t m_tail = 0;
    bool m_headIncoming = false;
    bool m_announced = false;
};

} // namespace Guidance
