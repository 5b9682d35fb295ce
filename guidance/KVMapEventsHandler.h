#pragma once
// The one object that joins the GPS stream, the car tracker, guidance and
// the object warnings for the map: fixes arrive on the GPS thread and go to
// the car tracker; once a frame, on the main thread, the tracker is updated,
// guidance started, stopped and stepped, the route rebuilt when the car has
// left it, the object warnings updated and the shown car state kept.
// Guidance, car and object-warning events become log lines, rebuild
// requests and phrases.
//
// Threads: onFix (GPS thread) and the frame (main thread) each try one unit
// of the two-unit car state lock and skip their work when none is free; an
// atlas switch takes both units. The fix, its velocity and units per metre
// pass from onFix to the frame under a mutex of their own, so the frame
// always reads the fields of one whole fix.

#include "core/ConfigNode.h"
#include "core/SdlMutex.h"
#include "guidance/ObjWarn.h"
#include "guidance/SoundSystem.h"
#include "guidance/Voice.h"
#include "guidance/fdMapNavi.h"
#include "positioning/CarState.h"
#include "positioning/CarStateLock.h"
#include "positioning/CarTracker.h"
#include "positioning/Clock.h"
#include "positioning/TrackingListener.h"
#include "routing/ManoeuvreTypes.h"
#include "routing/NearestRoad.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace Map {
class KVAtlas;
}
namespace Render {
class RenderStyles;
}

namespace Guidance {

// What the handler needs of the sound player.
class NaviSounds {
public:
    virtual ~NaviSounds() = default;
    // The user's switch for navigation phrases.
    virtual bool naviOn() const = 0;
    // True when the list started (see SoundSystem::play).
    virtual bool play(int priority, const Phrase& ids) = 0;
    // The same, also over a list that plays with a priority of at most cuts.
    virtual bool playOver(int priority, int /*cuts*/, const Phrase& ids) { return play(priority, ids); }
    // How long the list would play, in seconds; 0 when not known.
    virtual double seconds(const Phrase&) const { return 0.0; }
    // A list of this priority would start now (nothing of the same or a
    // higher priority plays).
    virtual bool accepts(int priority) const = 0;
    // The number of the last list started and what became of a list (see
    // SoundMixer::lastList, listEnd). A player that can't tell takes every
    // list it started as heard.
    virtual std::uint32_t lastList() const { return 0; }
    virtual ListEnd listEnd(std::uint32_t /*list*/) const { return ListEnd::PlayedOut; }
};

// The sound player as the handler hears it.
class SoundSystemNaviSounds : public NaviSounds {
public:
    explicit SoundSystemNaviSounds(SoundSystem& sound) : m_sound(sound) {}
    bool naviOn() const override { return m_sound.naviOn(); }
    bool play(int priority, const Phrase& ids) override { return m_sound.play(priority, ids); }
    bool playOver(int priority, int cuts, const Phrase& ids) override {
        return m_sound.playOver(priority, cuts, ids);
    }
    double seconds(const Phrase& ids) const override { return m_sound.seconds(ids); }
    bool accepts(int priority) const override { return m_sound.accepts(priority); }
    std::uint32_t lastList() const override { return m_sound.lastList(); }
    ListEnd listEnd(std::uint32_t list) const override { return m_sound.listEnd(list); }

private:
    SoundSystem& m_sound;
};

class KVMapEventsHandler : public Positioning::TrackingListener,
                           public fdMapNaviEventsHandler,
                           public Positioning::CarEventsHandler,
                           public KVMapObjWarnEventsHandler {
public:
    // config: the configuration root ("Navigation", "ObjWarn", "Car" and
    // "Routing" are read below it; `navi_on` is kept in it). route: the
    // atlas's current route. sound and styles may be null (silent, nothing
    // warned about).
    KVMapEventsHandler(const Core::ConfigNodePtr& config, Map::KVAtlas& atlas, Path& route, NaviSounds* sound,
                       Render::RenderStyles* styles, const Positioning::Clock& clock = Positioning::systemClock());
    ~KVMapEventsHandler() override;
    KVMapEventsHandler(const KVMapEventsHandler&) = delete;
    KVMapEventsHandler& operator=(const KVMapEventsHandler&) = delete;

    // Makes the handler and points the global pointer at it; the engine owns
    // it, and destroying it clears the pointer.
    static std::unique_ptr<KVMapEventsHandler> create(const Core::ConfigNodePtr& config, Map::KVAtlas& atlas,
                                                      Path& route, NaviSounds* sound, Render::RenderStyles* styles,
                                                      const Positioning::Clock& clock = Positioning::systemClock());
    static KVMapEventsHandler* instance();

    // GPS thread.
    void onFix(bool valid, const Positioning::Fix& fix) override;
    // Main thread, once per map page tick, while the caller holds one unit
    // of lock().
    void onFrame();
    // While the demo drive replaces the frame: a manoeuvre phrase the player
    // refused is offered again (the frame's first step).
    void speakPendingPhrase() { pendingStep(); }

    void onNaviEvent(int code, fdMapNavi& navi, const std::uint32_t* passedType) override;
    void onCarEvent(int code, Positioning::CarTracker* tracker) override;
    void onObjWarnEvent(int code, ObjWarn& warn, const PathPosition& car) override;

    void toggleNavigation();
    void startNavigation();
    void setNaviOn(bool on);
    // Before an atlas switch, with both units of lock() taken.
    void resetNavigation();
    void rebuildPath();
    void applyPendingRoute();
    // A demo drive runs over the route (the demo tells): the route is its
    // own, so guidance of the real car neither starts nor rebuilds it.
    void setDemoDriving(bool driving) { m_demoDriving = driving; }

    // The last fix; while it is valid, its map point is the projected one
    // (moved ahead by the GPS latency).
    Positioning::Fix currentFix(bool* valid = nullptr) const;

    Positioning::CarStateLock& lock() { return m_lock; }
    Positioning::CarTracker& tracker() { return m_tracker; }
    fdMapNavi& navi() { return m_navi; }
    ObjWarn& objWarn() { return m_objWarn; }
    const Positioning::CarState& shownCarState() const { return m_shownCarState; }
    bool rebuildRequested() const { return m_rebuildRequested; }
    // Metres from the car to the route while it approaches it from off the
    // route.
    std::uint32_t approachDistance() const { return m_approachDistance; }
    // True while no approach to the route is tracked (approachDistance then
    // holds nothing current).
    bool approachOff() const { return m_approachOff; }
    bool naviOn() const { return m_naviOn; }
    // Guidance reached the finish and waits for a new route or the driver.
    bool arrived() const { return m_arrived; }
    const Core::ConfigNodePtr& config() const { return m_config; }
    Render::RenderStyles* styles() const { return m_styles; }
    const Positioning::Clock& clock() const { return m_clock; }
    Path& route() { return m_route; }
    Map::KVAtlas& atlas() const { return m_atlas; }
    bool naviSoundsOn() const { return m_sound != nullptr && m_sound->naviOn(); }

private:
    struct FixState {
        bool valid = false;
        std::uint32_t validInARow = 0; // valid fixes since the last invalid one
        Positioning::Fix fix;
        float unitsPerMetre = 1.0f;
        Map::LocalPoint velocity; // global units per second
        Map::Point projected;
    };
    // The receiver's course, degrees; none without a fix or a course.
    static std::optional<float> courseOf(const FixState& fix) {
        if (!fix.valid || !fix.fix.courseKnown) return std::nullopt;
        return fix.fix.heading;
    }
    FixState fixState() const;
    // Guidance is told the fix's course, its measured point and its error.
    void tellFix(const FixState& fix);
    void approachStep(const FixState& fix);
    void guidanceStep(const FixState& fix);
    void carRoadEvents();
    std::vector<Positioning::CarTracker::RouteRoad> routeRoadsAround() const;
    bool naviNeedsRoute() const { return m_navi.running() && !m_route.isEmpty(); }

    Core::ConfigNodePtr m_config;
    const Positioning::Clock& m_clock;
    Positioning::CarTracker m_tracker;
    Map::KVAtlas& m_atlas;
    Path& m_route;
    NaviSounds* m_sound;
    Render::RenderStyles* m_styles;
    fdMapNavi m_navi;
    int m_lastNaviEvent = -1; // the last guidance event the log names
    std::uint32_t m_lastNaviEventMs = 0;
    static constexpr std::uint32_t kLastingEventMs = 1000;
    // A run of BackwardMove events: when it began, the last one.
    static constexpr std::uint32_t BackwardConfirmMs = 3000;
    static constexpr std::uint32_t BackwardGapMs = 1000;
    bool m_backwardRun = false;
    std::uint32_t m_backwardSinceMs = 0;
    std::uint32_t m_lastBackwardMs = 0;
    Positioning::CarState m_shownCarState;
    bool m_rebuildRequested = false;
    // Rebuilds the frame asks for come RebuildPauseMs apart at least: a car
    // driven against a one-way street leaves every route rebuilt for it
    // (they all start the road's own way) within a few frames, and is not
    // given a new one on every frame. The request waits out the pause.
    static constexpr std::uint32_t RebuildPauseMs = 3000;
    // After a try that gave no route the next comes RebuildRetryMs later
    // (the car may pass the junction it was too close to, or leave the side
    // of the route); after QuickRetries such tries in a row each waits twice
    // as long as the one before, up to RebuildRetryMaxMs: a car that drives
    // beside its route (a frontage road, a car park) is not given a route
    // search a second for as long as it does. A new road of the car's
    // brings the next try a second after the last. A route given, the car
    // back on the route, or a route the driver sets starts the count again.
    static constexpr std::uint32_t RebuildRetryMs = 1000;
    static constexpr std::uint32_t QuickRetries = 4;
    static constexpr std::uint32_t RebuildRetryMaxMs = 16000;
    // Below this speed (metres a second) a car stands: its new route may
    // turn back along its road.
    static constexpr float MovingMs = 1.0f;
    std::uint32_t m_rebuildPauseMs = RebuildPauseMs;
    std::uint32_t m_rebuildRetries = 0; // tries in a row that gave no route
    // "Route rebuilt" was said, and the car has not followed a route
    // FollowedMetres since: the next new routes are told by their turn
    // alone. The metres followed along the current route past one of its
    // turns, from its distance from the start on the frames the car was on
    // it.
    static constexpr std::uint32_t FollowedMetres = 100;
    static constexpr std::uint32_t FrameJumpMetres = 20;
    bool m_rebuildWordsSaid = false;
    // Guidance started on the route as it was set (said or not), or its
    // first new route was said with the start's words.
    bool m_routeStarted = false;
    bool m_passedTurn = false;
    bool m_following = false;
    std::uint32_t m_followedAlong = 0;
    std::uint32_t m_followedMetres = 0;
    void followStep();
    // The rebuild request stands after a route not given; the next try
    // backs off (see RebuildRetryMs).
    void retryRebuild();
    // A new route's U-turn `metres` ahead is told before the car gets there.
    bool toldInTime(std::uint32_t metres, float speedMs) const;
    bool m_rebuildTried = false;
    std::uint32_t m_lastRebuildMs = 0;
    bool m_lastRoadValid = false;
    // The tracker has been sure, since then, that the car drives a road the
    // route does not take: each match since took that road, and found it
    // ahead of every road of the route by SureLead of cost at least by the
    // fixes alone (what a fix 10 m off a road adds to its cost, or a course
    // 22 degrees off it), for SureForMs at least. Guidance then holds the
    // car off the route, however close that road runs.
    static constexpr float SureLead = 0.25f;
    static constexpr std::uint32_t SureForMs = 2000;
    std::optional<std::uint32_t> m_otherRoadSinceMs;
    bool sureOfOtherRoad();
    Positioning::RoadInfo m_lastRoadInfo;
    Positioning::CarState m_lastRoadState;
    Positioning::CarStateLock m_lock;
    bool m_approachOff = true;
    PathPointWatcher m_approachWatcher{0, 1};
    std::uint32_t m_approachDistance = 0;
    ObjWarn m_objWarn;
    float m_gpsLatency;

    mutable Threading::SdlMutex m_fixMutex{"Can't create map events mutex"};
    FixState m_fix; // under m_fixMutex

    std::int32_t m_lastObjX = 0;
    std::int32_t m_lastObjY = 0;
    bool m_naviOn = true;
    // Guidance ended at the finish: it stays off, though navi_on is set,
    // until the route changes or the driver turns it on again.
    bool m_arrived = false;
    bool m_demoDriving = false;
    // The last rebuild was announced without its turn (the car was not yet
    // on the new route).
    bool m_sayManeuverOnRoute = false;
    std::uint8_t m_routeChanged = 0;
    // A manoeuvre phrase the player refused while a phrase of its priority
    // played, as the manoeuvres it names (of m_pendingNavi's route): offered
    // again on the next frames, for a short while.
    std::vector<ManeuverEntry> m_pending;
    const fdMapNavi* m_pendingNavi = nullptr;
    int m_pendingPriority = 0;
    std::uint32_t m_pendingSinceMs = 0;
    // The last manoeuvre phrase announced a new route with its first turn;
    // once the car passed that turn, the rest of the phrase tells the
    // driver nothing, and the next turn's warning is said over it.
    bool m_rebuildSpoken = false;
    bool m_rebuildTurnPassed = false;
    void speakManeuver(int priority, const fdMapNavi& navi);
    // The last manoeuvre the phrases said of the real car's route named,
    // the turns chained behind the first included; none after a route
    // change. A warning that names nothing beyond it and could not end
    // before its manoeuvre is not started: the driver heard it with the
    // turn before, and said again it would play on past it.
    // What a phrase names counts once it played to its end: one cut off by
    // a later list (a new route, the next warning, the map page's tick) was
    // not heard. While it plays it is m_naming, the list and the farthest
    // manoeuvre it names; a phrase that still plays counts as named too, or
    // the warning dropped for it would cut it off.
    std::optional<PathPosition> m_namedTo;
    struct Naming {
        std::uint32_t list = 0;
        PathPosition to;
    };
    std::optional<Naming> m_naming;
    void noteNamed(const fdMapNavi& navi, std::size_t named);
    // m_naming played to its end joins m_namedTo; cut off, it is dropped.
    void settleNamed();
    void forgetNamed();
    bool namedAlready(const fdMapNavi& navi, std::size_t named) const;
    // How far the car drives while the phrase plays.
    std::uint32_t metresWhileSaying(const Phrase& phrase, const fdMapNavi& navi) const;
    void pendingStep();
};

// Appends guidance's announcement of its coming manoeuvres, shortened to
// what the player can say in time (sound may be null: the whole list);
// true when there was a manoeuvre to announce.
// named, when given, receives how many of guidance's manoeuvres from the
// current one on the phrase reaches to (those it leaves out between
// counted).
bool appendManeuverPhrase(Phrase& out, const fdMapNavi& navi, const NaviSounds* sound,
                          std::size_t* named = nullptr);
// The same for a list of guidance's manoeuvres taken earlier.
bool appendManeuvers(Phrase& out, std::vector<ManeuverEntry> list, const fdMapNavi& navi, const NaviSounds* sound,
                     std::size_t* named = nullptr);

// A route point at the road nearest to a global map point, both allow flags
// set; false when no road is found. bound receives the binding.
bool nearestRoadPoint(Map::KVAtlas& atlas, Map::Point location, PathPoint& out, Map::Routing::RoadBinding& bound);

// The first manoeuvre of a route and those chained to it in one phrase
// (each within stickMetres of the one before): their types and metres from
// the route's start (aux lengths not counted); the arrival is none.
struct RouteTurn {
    std::uint32_t type = 0;
    std::uint32_t metres = 0;
};
std::vector<RouteTurn> firstPhraseTurns(const Path& route, std::uint32_t stickMetres);

// The car state on the route at a position: the route's heading there, on
// the road with full confidence.
Positioning::CarState carStateAt(const PathPosition& position);

// The car the map draws while guidance follows the route: the tracked car,
// on the route where that lies within ShownOnRouteMetres of it (on the parts
// around guidance's place), else where the tracker has it. Not guidance's own place:
// that waits where the car left the route (a fork, within the route's
// margin) and, found only ahead of itself, where a fix put the car back;
// drawn there, the car stood for seconds while it drove on, and the map
// drew no frame.
constexpr double ShownOnRouteMetres = 4.0;
// Two parts of the route this close to the car are taken for one road.
constexpr double SameRoadMetres = 1.0;
Positioning::CarState shownCar(const PathPosition& position, const Positioning::CarState& tracked);

} // namespace Guidance
