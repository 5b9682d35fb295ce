#pragma once
// Guidance along the atlas's current route: follows the tracked car on the
// route and turns its progress into numbered events (start, manoeuvre
// warnings and their end, route points and the finish, leaving the route and
// coming back, driving against it), handed to one events handler. It neither
// speaks nor draws; the voice reads the manoeuvre state kept here.
//
// Main thread only. Fed once per frame with the car state and the GPS speed.

#include "guidance/Voice.h"
#include "routing/PathPosition.h"

#include "core/ConfigNode.h"
#include "positioning/CarState.h"
#include "positioning/Clock.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace Guidance {

enum NaviEvent : int {
    Start = 1,
    ArriveLastPoint = 2,
    OutOfPath = 3,
    Rotate = 4,
    BadStart_OutOfPath = 5,
    BadStart_EmptyPath = 6,
    PathChanged_OutOfPath = 7,
    PathChanged_EmptyPath = 8,
    BackToPath = 9,
    OutOfEmptyPath = 10,
    ArrivePoint = 11,
    RotateEnd = 12,
    Started = 13,
    Stopped = 14,
    BackwardMove = 15,
};

class fdMapNavi;

// A course (degrees) within this of a right angle to a road tells nothing of
// the car's way along it: it was taken on the road before a bend, over the
// last second (the second before, from a receiver that sends GGA first).
constexpr int CourseAcrossDegrees = 30;
bool courseAcross(int roadDegrees, float courseDegrees);
// The car's way at a road of that heading is the receiver's course, unless
// the course runs across the road (just past a bend it still points the
// way the car came) or there is none: then it is the way the tracker
// carries the car along its road (the car state's wayDegrees), when the
// tracker knows one. True when the tracker's way tells.
bool trackerWayTells(int roadDegrees, std::optional<float> courseDegrees, const Positioning::CarState& car);

class fdMapNaviEventsHandler {
public:
    virtual ~fdMapNaviEventsHandler() = default;
    // passedType is the type of the passed manoeuvre for RotateEnd, else null.
    virtual void onNaviEvent(int code, fdMapNavi& navi, const std::uint32_t* passedType) = 0;
};

class fdMapNavi {
public:
    // A distance at which a manoeuvre is announced.
    class t_WarnDist {
    public:
        virtual ~t_WarnDist() = default;
        virtual bool isReached(std::uint32_t metres) const = 0;
        virtual std::uint32_t threshold() const = 0;
        // May replace the distance the phrase speaks.
        virtual void announce(ManeuverEntry& entry) const = 0;
    };
    class t_WarnDistNorm : public t_WarnDist {
    public:
        explicit t_WarnDistNorm(std::uint32_t threshold = 0) : m_threshold(threshold) {}
        bool isReached(std::uint32_t metres) const override { return metres < m_threshold; }
        std::uint32_t threshold() const override { return m_threshold; }
        void announce(ManeuverEntry& entry) const override { entry.distance = m_threshold; }
        void setThreshold(std::uint32_t metres) { m_threshold = metres; }

    private:
        std::uint32_t m_threshold;
    };
    // Announced with a round distance instead of its threshold. A car
    // already nearer than that (it stood inside the warning and moved off,
    // or a warning above fired for this one too) hears the distance there
    // is: "in 500 m" with the turn 200 m ahead sends it past the turn.
    class t_WarnDistFakeDist : public t_WarnDistNorm {
    public:
        t_WarnDistFakeDist(std::uint32_t threshold, std::uint32_t announced)
            : t_WarnDistNorm(threshold), m_announced(announced) {}
        void announce(ManeuverEntry& entry) const override {
            if (entry.distance >= m_announced)
                entry.distance = m_announced;
        }

    private:
        std::uint32_t m_announced;
    };
    // A threshold of so many seconds at the current speed; the real
    // distance is spoken.
    class t_WarnDistTime : public t_WarnDistNorm {
    public:
        explicit t_WarnDistTime(std::uint32_t seconds) : m_seconds(seconds) {}
        void announce(ManeuverEntry&) const override {}
        std::uint32_t seconds() const { return m_seconds; }

    private:
        std::uint32_t m_seconds;
    };

    // Reads the keys of the child "Navigation" of the node (creating missing
    // ones with their defaults). The handler must outlive guidance.
    fdMapNavi(const Core::ConfigNodePtr& config, fdMapNaviEventsHandler* handler,
              const Positioning::Clock& clock = Positioning::systemClock());
    // Stops when running (raising Stopped) and leaves the route.
    ~fdMapNavi();
    fdMapNavi(const fdMapNavi&) = delete;
    fdMapNavi& operator=(const fdMapNavi&) = delete;

    // The route to follow (the atlas's current one, or null); the next
    // route point's watcher is moved to it.
    void setPath(Path* path);

    // Starts following: raises Started, then Start when the car is on the
    // route, BadStart_OutOfPath or BadStart_EmptyPath (with OutOfEmptyPath)
    // otherwise. Calling it again while running restarts it.
    void start(const Positioning::CarState& car, float speedMs);
    void stop();
    // The per-frame step.
    void onPosition(const Positioning::CarState& car, float speedMs);
    // The receiver's course (degrees) for the next steps, none when not
    // known (the demo drive): where known it, not the car shown, tells
    // whether the car drives against the route.
    void setCourse(std::optional<float> degrees) { m_course = degrees; }
    // The receiver's last fix as it measured it (a global map point, not
    // the car the tracker made of it) and the metres within which it does
    // not tell one place from another (CarTracker::scatterMetres), for the
    // next steps; none without a fix (the demo drive). Within them of the
    // route the car is on it, whatever road the tracker took it to be on,
    // unless the tracker is sure of another road (setOnOtherRoad).
    // A fix that lies farther from the one before than the car can have
    // driven between them (its speed, the time, the scatter) is a stray
    // until the next agrees with it: guidance's place stands meanwhile, and
    // the car neither leaves the route nor drives against it.
    void setMeasuredFix(std::optional<Map::Point> point, float scatterMetres);
    // The tracker is sure the car drives a road the route does not take
    // (for the next steps): the car is on the route only within
    // max_dist_from_path_1 of it, however close that road runs, and its
    // fix's scatter does not put it back on the route.
    void setOnOtherRoad(bool sure) { m_onOtherRoad = sure; }
    void resetManeuverState();
    void setMaxDistFromPath(std::uint32_t metres);
    // The distance from the route beyond which the route is rebuilt.
    std::uint32_t maxDistFromPath() const { return m_maxDistFromPath0; }
    // Manoeuvres closer than this to the one before are said in its phrase.
    std::uint32_t rotatesStickDist() const { return m_rotatesStickDist; }
    // The manoeuvres the next phrase speaks, with their distances.
    void maneuversToAnnounce(std::vector<ManeuverEntry>& out) const;
    // The receiver's course goes the route's way where guidance has the car
    // and some metres on, and the car lies within the largest distance from
    // the route: the car is on it, whatever a fix far off says.
    bool carGoesRouteWay(const Positioning::CarState& car) const;
    // Schedules a warning shortly after a passed manoeuvre when the next one
    // follows close behind; the handler calls it once on each RotateEnd.
    void onRotateEnd();
    // The coming manoeuvre was just announced with the distance there is,
    // outside its warnings (the start of the route, a new route), in a
    // phrase that lasts while the car drives `metresSpoken`: the warnings
    // that come due meanwhile are spent.
    void maneuverAnnounced(std::uint32_t metresSpoken = 0);

    bool running() const { return m_running; }
    bool outOfPath() const { return m_outOfPath; }
    // The route followed (null: none).
    const Path* path() const { return m_path; }
    // Guidance's places (the car's, the manoeuvre's) lie on the route as it
    // is: false from an edit of the route (or a new one) until the step
    // that takes them on it again, while they point into parts that are
    // gone, and before guidance first started on it.
    bool positionKnown() const { return m_path != nullptr && m_pathChanged == 0; }
    bool maneuverKnown() const { return m_maneuverKnown && positionKnown(); }
    std::uint32_t maneuverType() const { return m_maneuverType; }
    // Where the next manoeuvre lies (valid while maneuverKnown).
    const PathPosition& maneuverPosition() const { return m_maneuverPosition; }
    // Metres left to the manoeuvre itself (its aux length not counted).
    std::uint32_t remainingDistance() const;
    std::uint32_t distToFinish() const { return m_distToFinish; }
    std::uint32_t distFromStart() const { return m_distFromStart; }
    bool nextPointKnown() const { return m_nextPointKnown; }
    std::uint32_t distToNextPoint() const { return m_distToNextPoint; }
    // The car's place on the route (valid while positionKnown).
    const PathPosition& position() const { return m_position; }
    // The route point guidance heads for, null when none is known.
    const PathPoint* nextPoint() const;
    std::uint32_t startTicks() const { return m_startTicks; }
    bool sayDistanceFirst() const { return m_sayDistBeforeNotif; }
    std::size_t warningCount() const { return m_warnStack.size(); }
    // The speed of the last step (m/s).
    float speedMs() const { return m_speedMs; }

private:
    void raise(int code, const std::uint32_t* passedType = nullptr);
    void setOutOfPath(const Positioning::CarState& car, int code);
    bool onPathTest(const Positioning::CarState& car) const;
    bool onPathAt(const Positioning::CarState& car, const PathPosition& at) const;
    // The car shown lies within max_dist_from_path_0 of `at`.
    bool withinWideMargin(const Positioning::CarState& car, const PathPosition& at) const;
    // Where a car the tracker shows on the route beyond `reach` is, its fix
    // lying within its scatter of the route short of it (none: it is not).
    std::optional<PathPosition> fixShortOfReach(const Positioning::CarState& car, const PathPosition& reach) const;
    // Whether f holds for the heading of a segment of the route around `at`
    // (some seconds of driving each way) that passes within `margin` metres
    // of a global point.
    template <class F>
    bool anySegmentNear(const PathPosition& at, Map::Point point, double margin, F f) const;
    // Off the route by onPathAt, the car is on it within its fix's scatter.
    bool withinScatter(const Positioning::CarState& car, const PathPosition& at) const;
    // The route point nearest the car between the position and `to`.
    bool nearestAhead(const Positioning::CarState& car, const PathPosition& to, PathPosition& out) const;
    // The car located on the whole route, not only ahead of its place
    // (the start, a changed route, a car found off the route), or within
    // `window` (from, to) when given: on it, or out of path with `code`.
    // `standing`: the car stands as guidance starts. Found further on than
    // `reach` (the farthest the car can have come), it is put there.
    bool locateAfresh(const Positioning::CarState& car, int code,
                      const std::pair<PathPosition, PathPosition>* window = nullptr, bool standing = false,
                      const PathPosition* reach = nullptr);
    void preferFirstPartNearStart(const Positioning::CarState& car);
    // Guidance's places taken on the route as it is now (at the start and
    // after an edit of the route); `emptyCode` or `outCode` raised when the
    // route is empty or the car is not on it, and false returned. `starting`:
    // guidance starts (not a route changed under it).
    bool takeRouteAsItIs(const Positioning::CarState& car, float speedMs, int emptyCode, int outCode,
                         bool starting = false);
    // The way the car goes, whole degrees: the receiver's course where
    // known, else the heading of the car shown.
    int carWay(const Positioning::CarState& car) const;
    // judgeWay: the backward move test runs (not on a stray fix).
    void maneuverStep(const Positioning::CarState& car, float speedMs, bool judgeWay = true);
    void findNextManeuver();
    void nextPointStep();
    // The car stands at the route's finish as near as its fix tells.
    bool standsAtFinish() const;
    bool findNextPoint(const PathPosition& from);
    void backwardMoveTest(const Positioning::CarState& car, float speedMs);
    // How far a fix that wanders lies from the road: twice its scatter,
    // the route's narrow margin at least.
    double wanderMetres() const;
    // The car's speed read 1 m/s or more within SpeedMisreadMs of `now`:
    // a speed of 0 then may be a misreading of widely scattered fixes.
    bool droveLately(std::uint32_t now) const;
    // A receiver's course (whole degrees) goes the route's way: within a
    // right angle of it at guidance's place, or within CourseSlackDegrees
    // of a stretch about the place that passes the fix within its wander
    // (a course is measured where the fix was, up to its scatter behind).
    bool courseGoesRouteWay(int course) const;
    // The receiver's last fix agrees with the one before it (see
    // setMeasuredFix); true without two fixes.
    bool fixesAgree() const;
    // Where on the route the receiver measured the car (m_fixPlace), once a
    // fix: the route point nearest it, from some seconds of driving and its
    // scatter behind the last fix's place to as far on as the car can have
    // driven since, on a stretch the car's course goes along; none without
    // a fix.
    void placeFix();
    // The farthest along the route the car can be now: the least that a
    // fix's place of the last seconds allows with the way the car can have
    // driven since it was measured (the receiver's latency and the last
    // fix's age at its speed) and one fix's jump; before the fix is
    // placed, guidance's place moved on at the car's speed since the last
    // step; a car that stands, no farther than its next manoeuvre; none
    // without a fix.
    std::optional<PathPosition> reachAhead(float speedMs) const;
    // The fix's place just taken (`held` back to as far as the car can
    // have come) noted among the recent ones, the car able to have driven
    // `possibleMetres` since the fix before (none: no fix before).
    void noteFixPlace(bool held, std::optional<double> possibleMetres);
    // Of the recent fixes' places, the one from which the way the car can
    // have driven since its fix reaches least far along the route, and
    // that way in metres up to the last fix (0 from the last fix itself).
    std::pair<PathPosition, double> leastReaching() const;
    // Some seconds of driving and the fix's scatter: how far around
    // guidance's place its fix, or the car, is looked for.
    double lookAroundMetres() const;
    // The fix's scatter, within the route's narrow margin and the ceiling
    // of any scatter.
    double scatterMetres() const;
    // The car has come within path_point_arrive_dist of a route point where
    // its receiver measured it; true without a fix.
    bool fixReaches(const PathPosition& point) const;
    // The position moved back along the route by at least that many metres
    // (to a segment's start), or to the route's start.
    PathPosition backed(const PathPosition& from, double metres) const;
    PathPosition advanced(const PathPosition& from, std::uint32_t metres) const;
    // The same, no farther than the route's last point.
    PathPosition advancedOnRoute(const PathPosition& from, std::uint32_t metres) const;

    Core::ConfigNodePtr m_config;
    fdMapNaviEventsHandler* m_handler;
    const Positioning::Clock& m_clock;

    std::uint32_t m_maxDistFromPath0;
    std::uint32_t m_maxDistFromPath1;
    float m_minProbOnPath1;
    std::uint32_t m_rotatesStickDist;
    std::uint32_t m_pathPointArriveDist;
    std::uint32_t m_defWarn0;
    std::uint32_t m_rutondaWarn0;
    std::uint32_t m_rutondaLeaveWarn0;
    std::uint32_t m_defWarn1;
    std::uint32_t m_rutondaWarn1;
    std::uint32_t m_ppSafeZone;
    bool m_sayDistBeforeNotif;
    std::uint32_t m_afterRotPassWarnDelay;
    std::uint32_t m_afterRotPassWarnMinDist;
    std::uint32_t m_afterRotPassWarnStickDist;

    t_WarnDistNorm m_afterPassWarn{0};
    t_WarnDistTime m_timeWarn{300};
    t_WarnDistFakeDist m_farWarn{550, 500};
    t_WarnDistFakeDist m_warn1{0, 0};
    t_WarnDistFakeDist m_warn0{0, 0};
    // The last element is the top.
    std::vector<t_WarnDist*> m_warnStack;

    bool m_nextPointValid = false;
    PathPointWatcher m_nextPointWatcher{0, 1};
    bool m_running = false;
    std::optional<float> m_course;
    std::optional<Map::Point> m_measuredFix;
    float m_fixScatterMetres = 0.0f;
    // The fix before the last (when its point changed), and when each came.
    std::optional<Map::Point> m_previousFix;
    std::uint32_t m_fixMs = 0;
    std::uint32_t m_previousFixMs = 0;
    // Seconds the receiver's fix lags the car (the car tracker's latency).
    float m_gpsLatencySeconds;
    // Where and when guidance last had the car on the route (the route's
    // start, from a change of route on).
    PathPosition m_lastOnRoute;
    std::uint32_t m_lastOnRouteMs = 0;
    std::optional<PathPosition> m_fixPlace;
    std::uint32_t m_fixCount = 0;      // fixes told so far
    std::uint32_t m_fixPlaceCount = 0; // the fix m_fixPlace places
    bool m_fixPlaceGoesCarWay = false; // m_fixPlace found on a stretch the car's way
    // The places of the fixes of the last seconds (the last one
    // m_fixPlace), each with the way the car can have driven from the
    // first of them up to it (`possibleMetres`, a running sum): the car is
    // no farther on than any of them and the way since allow.
    struct RecentFixPlace {
        PathPosition place;
        std::uint32_t ms;
        double possibleMetres;
        double reachKey; // metres from the route's start less possibleMetres
        bool measured;   // where the fix lay, not held back to the bound
    };
    std::vector<RecentFixPlace> m_recentFixPlaces;
    double m_possibleMetres = 0.0;
    bool m_onOtherRoad = false;
    // The last step at which the car went the route's way (not against
    // it) on this route: when, and its distance from the route's start.
    bool m_wentWithRoute = false;
    std::uint32_t m_withRouteMs = 0;
    std::uint32_t m_withRouteAlong = 0;
    std::uint32_t m_lastStepMs = 0; // ticks of the last step that followed the car
    // The last step at which the car's speed read 1 m/s or more.
    std::optional<std::uint32_t> m_drivingMs;
    std::uint32_t m_startTicks = 0;
    Path* m_path = nullptr;
    // The route's change flag, registered with it for as long as it is
    // guidance's (running or not): set by every edit, cleared once the
    // places are taken on the route as it is (start, takeRouteAsItIs).
    std::uint8_t m_pathChanged = 1;
    bool m_outOfPath = false;
    PathPosition m_position;
    std::uint32_t m_distToFinish = 0;
    std::uint32_t m_distFromStart = 0;
    bool m_maneuverKnown = false;
    std::uint32_t m_maneuverType = 0;
    std::uint32_t m_distToManeuver = 0;
    PathPosition m_maneuverPosition;
    std::uint16_t m_maneuverAux = 0;
    bool m_announcing = false;
    float m_speedMs = 0.0f;
    bool m_nextPointKnown = false;
    std::uint32_t m_distToNextPoint = 0;
    PathPosition m_nextPointPosition;
};

} // namespace Guidance
