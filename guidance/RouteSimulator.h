#pragma once
// The demo drive: a simulated car driven along the current route at the demo
// speed, slowing before manoeuvres, with its own guidance and object
// warnings reporting to the map events handler so that the same phrases are
// spoken. The map page shows its fix and car state instead of the GPS ones.
//
// Main thread only.

#include "guidance/KVMapEventsHandler.h"
#include "guidance/ObjWarn.h"
#include "guidance/fdMapNavi.h"
#include "positioning/CarState.h"
#include "positioning/Fix.h"

#include <cstdint>

namespace Guidance {

class RouteSimulator {
public:
    // Starts at the route's start (guidance raises Started, then Start or
    // BadStart_OutOfPath). demoSpeed in metres per second.
    RouteSimulator(KVMapEventsHandler& handler, float demoSpeed);
    ~RouteSimulator();
    RouteSimulator(const RouteSimulator&) = delete;
    RouteSimulator& operator=(const RouteSimulator&) = delete;

    // One tick at now (the clock's milliseconds). An edited route freezes
    // the car until the demo is started again.
    void step(std::uint32_t now);

    const Positioning::Fix& fix() const { return m_fix; }
    const Positioning::CarState& carState() const { return m_carState; }
    float heading() const { return m_heading; }
    float speed() const { return m_speed; }
    const PathPosition& cursor() const { return m_cursor; }
    // The route was edited since the demo started: the car stands still.
    bool routeChanged() const { return m_pathChanged != 0; }
    fdMapNavi& navi() { return m_navi; }
    ObjWarn& objWarn() { return m_objWarn; }

private:
    // Forward by level units, skipping segments shorter than a metre; back
    // to the start (guidance restarted) at the route's end.
    void move(float seconds);
    void fillFix();

    KVMapEventsHandler& m_handler;
    Path& m_route;
    std::uint8_t m_pathChanged = 0;
    std::uint32_t m_lastTicks;
    float m_demoSpeed;
    fdMapNavi m_navi;
    ObjWarn m_objWarn;
    PathPosition m_cursor;
    float m_heading = 0.0f;
    float m_speed;
    float m_acceleration;
    Positioning::Fix m_fix;
    Positioning::CarState m_carState;
};

} // namespace Guidance
