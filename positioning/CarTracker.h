#pragma once
// The car the map page draws and guidance follows: GPS fixes smoothed by the
// Kalman filter, predicted between fixes, snapped onto the most likely road
// polyline, the shown heading turned toward the road at a limited rate.
//
// Threads: onFix runs on the GPS thread; update and the readers on the main
// thread. Everything both sides touch (the last fix, the filter, the level,
// the free state and the matched road) is guarded by the tracker's mutex;
// the matching and snapping work on copies taken under it, so the GPS
// thread never waits for a cell load. The map events handler's two-unit
// semaphore (CarStateLock) lies around both sides as well.

#include "core/ConfigNode.h"
#include "core/SdlMutex.h"
#include "map/KVAtlas.h"
#include "positioning/CarState.h"
#include "positioning/Clock.h"
#include "positioning/Fix.h"
#include "positioning/KalmanFilter.h"
#include "positioning/RoadMatcher.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace Positioning {

// One fix as the tracker takes it in: global map point, velocity in global
// units per second, GPS heading (degrees) and speed (m/s), the dilution of
// precision, global units per metre at the point, and the point the
// receiver measured. `point` is where the car is taken to be now, the
// measured point moved ahead along the velocity by the receiver's latency;
// the filter and the shown car follow it. The road is chosen at the
// measured point: moved ahead along a straight line, a fix taken just
// before a bend lands beside the road, on whatever street lies there.
struct TrackerFix {
    Map::Point point;
    Map::LocalPoint velocity;
    float heading = 0.0f;
    float speed = 0.0f;
    float accuracy = 0.0f;
    float unitsPerMetre = 1.0f;
    Map::Point measured;

    // From a GPS fix: the velocity from speed and heading, the units from
    // the projection's scale at the fix, the HDOP as the accuracy; not moved
    // ahead (the measured point is the point).
    static TrackerFix from(const Fix& fix);
};

class CarTracker {
  public:
    // Reads "rotate_speed", "min_speed", "use_stick", "crit_dist",
    // "max_polylines_conn_err", "gps_latency", "max_dist",
    // "old_polyline_arrt" and the child "Model" from the "Car" node.
    // Throws std::runtime_error "Can't create car tracker mutex".
    CarTracker(CarEventsHandler* handler, std::shared_ptr<Core::ConfigNode> config,
               const Clock& clock = systemClock());
    CarTracker(const CarTracker&) = delete;
    CarTracker& operator=(const CarTracker&) = delete;

    // The atlas whose roads the car is matched to (null: none). Call on the
    // main thread with the GPS side held off (both semaphore units): the
    // road, free state and level refer to the old atlas's maps and are
    // dropped.
    void setAtlas(Map::KVAtlas* atlas);

    void setUseStick(bool on, int critDist);
    // The snapping switch and its critical distance in metres, as the
    // routing settings page shows them.
    bool useStick();
    int critDist();

    // GPS thread.
    void onFix(const TrackerFix& fix);
    // Main thread, once per frame.
    void update();

    TilePoint carPoint();
    CarState carState();
    RoadInfo roadInfo();
    bool isAlongHeading(int direction);
    bool isAgainstHeading(int direction);

  private:
    struct Road {
        RoadPolyline polyline;
        float probability = 0.0f;
        Map::LocalPoint projected;
        std::uint16_t segment = 0;
        float heading = 0.0f;
        float targetHeading = 0.0f;
        std::uint32_t lastTurnTicks = 0;
    };
    // The probability of the matched road, or nothing when no road scored;
    // rebuilds m_candidates.
    std::optional<float> match(Map::KVAtlas& atlas, const TrackerFix& fix,
                               const std::optional<Road>& oldRoad);
    // The candidate nearest the point, with its foot; false when none.
    bool snap(Map::Point point, Road& out) const;

    CarEventsHandler* m_handler;
    std::shared_ptr<Core::ConfigNode> m_config;
    const Clock& m_clock;
    Threading::SdlMutex m_mutex{"Can't create car tracker mutex"};
    Map::KVAtlas* m_atlas = nullptr;

    // Last fix (GPS thread writes, under m_mutex).
    TrackerFix m_fix;
    std::uint32_t m_fixTicks = 0;
    bool m_hasData = false;
    bool m_fixUsed = true;
    std::optional<Map::LevelFrame> m_level;
    KalmanFilter m_filter;

    // Free state (under m_mutex).
    bool m_freeValid = false;
    float m_freeHeading = 0.0f;
    Map::LevelFrame m_freeLevel;
    float m_freeX = 0.0f;
    float m_freeY = 0.0f;

    // Matched road (under m_mutex).
    bool m_onRoad = false;
    Road m_road;

    // Main thread only.
    std::vector<RoadPolyline> m_candidates;
    std::vector<float> m_candidateProbability; // of each candidate, by the last match

    float m_rotateSpeed = 50.0f;
    bool m_useStick = true;
    int m_critDist = 50;
    // Read (and created in the configuration) with the other car settings;
    // nothing in the matching uses it.
    float m_gpsLatency = 1.5f;
    MatchSettings m_settings;
};

} // namespace Positioning
