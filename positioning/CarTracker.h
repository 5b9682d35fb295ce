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
// precision, global units per metre at the point, the point the receiver
// measured, and whether the receiver gave a course (without one the heading
// is 0, not north, and the velocity is none). `point` is where the car is
// taken to be now, the measured point moved ahead along the velocity by
// the receiver's latency. The filter follows the measured points, and the
// shown car is the filter's point moved ahead by the same way. The road is
// chosen at the measured point: moved ahead along a straight line, a fix
// taken just before a bend lands beside the road, on whatever street lies
// there.
struct TrackerFix {
    Map::Point point;
    Map::LocalPoint velocity;
    float heading = 0.0f;
    float speed = 0.0f;
    float accuracy = 0.0f;
    float unitsPerMetre = 1.0f;
    Map::Point measured;
    bool courseKnown = true;
    // Judged a stray where the speed and course came from the fixes
    // (Fix::stray): not taken in.
    bool stray = false;

    // From a GPS fix: the velocity from speed and heading (none without a
    // course), the units from the projection's scale at the fix, the HDOP as
    // the accuracy, the stray flag; not moved ahead (the measured point is
    // the point).
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

    // The roads of the route around the car (map index in the atlas,
    // polyline id, and whether the route drives it in the order of its
    // points); none without a route. Where its road ends the car is carried
    // on along one of them, the route's way, rather than the road nearest
    // the straight prediction. Main thread.
    using RouteRoad = Positioning::RouteRoad;
    void setRouteRoads(std::vector<RouteRoad> roads);

    // GPS thread. A fix judged a stray is not taken in.
    void onFix(const TrackerFix& fix);
    // Main thread, once per frame.
    void update();

    TilePoint carPoint();
    CarState carState();
    RoadInfo roadInfo();
    // Whether a road direction (degrees) may be the car's way, and its
    // reverse: both true unless the car moves with a known course.
    bool isAlongHeading(int direction);
    bool isAgainstHeading(int direction);
    // How sure the last match was that the car left the route it was told
    // of (setRouteRoads): the cost by which the road it took scored below
    // the cheapest road of the route by the fix alone (none counted nearer
    // for being the route's; infinite when none of them scored), while the
    // car is on a road the route does not take; none when no route was
    // told, the car stood at that fix, or it is on a road of the route or
    // off the roads. Main thread.
    std::optional<float> leadOverRoute();
    // The car is on a road, one of the route's told (setRouteRoads): the
    // one answer to whether the car drives the route's road. Main thread.
    bool onRouteRoad();
    // The metres within which a fix of this HDOP does not tell one place
    // from another (Positioning::scatterMetres) while the car has driven
    // less than SpreadLearnSeconds; then what the receiver's fixes have
    // shown: three times the spread of the fixes a moving car has had about
    // the roads they were matched to, over the last half minute or so of
    // driving (its root mean square on either axis), and no less than the
    // HDOP's scatter or a good receiver's (HDOP 1), whichever is less, and
    // no more than ScatterCeilingMetres. Main thread.
    float scatterMetres(float hdop) const;

  private:
    struct Road {
        RoadPolyline polyline;
        float probability = 0.0f;
        Map::LocalPoint projected;
        std::uint16_t segment = 0;
        float heading = 0.0f;
        float targetHeading = 0.0f;
        std::uint32_t lastTurnTicks = 0;
        int travel = 0; // along the polyline (+1), against it (-1), standing (0)
    };
    // The probability of the matched road, or nothing when no road scored;
    // rebuilds m_candidates.
    std::optional<float> match(Map::KVAtlas& atlas, const TrackerFix& fix,
                               const std::optional<Road>& oldRoad);
    // A place on one of the roads around the last match (m_roads): the
    // road, the point, the index of the point's segment, and the way the
    // car goes along the road there when it is known (+1 the way of its
    // points, -1 against them).
    struct RoadPlace {
        std::size_t road = 0;
        Map::LocalPoint point;
        std::size_t segment = 0;
        int way = 0;
    };
    // The candidate nearest the point, with its foot; nothing when none. A
    // point past the matched road's end in the way of `velocity` (the car's,
    // any scale) is carried on from that end.
    std::optional<RoadPlace> snap(Map::Point point, Map::LocalPoint velocity) const;
    // The way the car goes along the road at `at`: +1 the way of its
    // polyline, -1 against it, 0 standing.
    int wayAlong(const RoadPlace& at, Map::LocalPoint velocity) const;

    // The walk along the roads between fixes. `at` is a place going its
    // way (`way` not 0).
    // On to the next segment of its road the way it goes; false at the
    // road's end.
    bool nextSegment(RoadPlace& at) const;
    // From the end of its road (where `at` stands) onto the road that goes
    // on there: a road of the route first, else the one nearest
    // `predicted`; false at a dead end.
    bool onToNextRoad(RoadPlace& at, Map::Point predicted) const;
    // Walks `distance` level units from `from` the way it goes, through the
    // ends of roads, calling visit(place, segment end, metres to it, walked)
    // before each stretch; a visit that returns true ends the walk there.
    template <class Visit>
    RoadPlace walk(RoadPlace from, float distance, Map::Point predicted, Visit&& visit) const;
    // The place `distance` level units on from `from`, the way it goes (the
    // result's way is the way along the road it ends on).
    RoadPlace carry(const RoadPlace& from, float distance, Map::Point predicted) const;
    // How far ahead of `from`, within `reach`, the road place `place` lies
    // along the way it goes; none when it does not.
    std::optional<float> distanceAhead(const RoadPlace& from, const Road& place, float reach,
                                       Map::Point predicted) const;

    // One frame, step by step (update).
    // What a frame takes of the fix and the filter, under the mutex.
    struct Frame {
        TrackerFix fix;
        // The filter's positions moved ahead by the latency: now, at the
        // fix, and a second after it.
        Map::Point predicted;
        Map::Point atFix;
        Map::Point secondOn;
        Map::Point measured; // the filter's position where the fix was measured
        Map::LocalPoint velocity;
        std::optional<Road> oldRoad;
        bool match = false;  // the fix is to be matched to a road
        bool newFix = false; // a fix came since the last frame
        Map::KVAtlas* atlas = nullptr;
    };
    // The free car predicted for now; nothing more to do (none) without a
    // fix, or with one 3 s old or older.
    std::optional<Frame> predictFreeCar(std::uint32_t now);
    // Where the fix puts the car on the roads (m_anchor), and how far the
    // filter's point lay off that place (m_anchorOff).
    void anchorAtFix(const Frame& frame);
    // The car carried from there as far as the prediction moved, `ms` after
    // the last frame; none off the roads.
    std::optional<Road> carriedToNow(const Frame& frame, std::uint32_t ms) const;
    // The car shown: where the fix says (`fixSays`), or a car shown up to
    // CatchUpSeconds of driving ahead of that carried on, `ms` after the
    // last frame, at its speed while it is no further ahead than the
    // filter's point lay off the road, else at a quarter of it, until that
    // place has come up to it.
    RoadPlace caughtUp(const Frame& frame, const RoadPlace& fixSays, std::uint32_t ms) const;
    // A road of the route told (setRouteRoads).
    bool isRouteRoad(std::uint32_t mapIndex, std::uint32_t polylineId) const;
    // The way the car is to face on its road (degrees).
    float targetHeading(const Road& road, const TrackerFix& fix, float shown) const;
    // Takes the road in as the car shown, its heading turned toward the
    // target; true when the car came back onto a road.
    bool show(std::optional<Road> road, const TrackerFix& fix, std::uint32_t now);

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
    Map::LocalPoint m_lead; // the last fix's way ahead by the latency

    // Free state (under m_mutex).
    bool m_freeValid = false;
    float m_freeHeading = 0.0f;
    Map::LevelFrame m_freeLevel;
    float m_freeX = 0.0f;
    float m_freeY = 0.0f;

    // Matched road (under m_mutex).
    bool m_onRoad = false;
    Road m_road;

    // Fixes taken into the filter (under m_mutex).
    std::uint32_t m_fixCount = 0;

    // Main thread only.
    std::vector<RoadPolyline> m_candidates;
    // The candidates first, then the other roads the last match scanned, and
    // the share of each in that match's weights.
    std::vector<RoadPolyline> m_roads;
    std::vector<float> m_roadProbability;
    // The fixes' spread (scatterMetres): the mean of their squared metres
    // from the road matched (or the one drawn, where the fix lies nearer
    // it and within one error), each weighed down by half in
    // SpreadHalfLifeSeconds of driving; the seconds of driving it spans,
    // and the ticks of the last fix taken in. Main thread.
    static constexpr float SpreadHalfLifeSeconds = 20.0f;
    static constexpr float SpreadLearnSeconds = 10.0f;
    float m_spreadSquaredMetres = 0.0f;
    float m_spreadSeconds = 0.0f;
    std::uint32_t m_spreadTicks = 0;
    void spreadStep(const TrackerFix& fix, float metresOff);
    // The last match's lead over the route (leadOverRoute).
    std::optional<float> m_routeLead;
    std::vector<RouteRoad> m_routeRoads;
    // Where the filter's position at the last fix was snapped (m_anchorFix:
    // that fix's count), going the way the car goes along the road there,
    // and how far off it the filter's point lay (the road's level units);
    // the car is carried along the roads from there. The ticks of the last
    // frame (0: none yet).
    std::optional<RoadPlace> m_anchor;
    float m_anchorOff = 0.0f;
    std::uint32_t m_anchorFix = 0;
    std::uint32_t m_frameTicks = 0;

    float m_rotateSpeed = 50.0f;
    bool m_useStick = true;
    int m_critDist = 50;
    // Read (and created in the configuration) with the other car settings;
    // nothing in the matching uses it.
    float m_gpsLatency = 1.5f;
    MatchSettings m_settings;
};

} // namespace Positioning
