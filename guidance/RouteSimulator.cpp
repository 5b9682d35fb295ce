#include "guidance/RouteSimulator.h"

#include "map/Projection.h"

#include <algorithm>

namespace Guidance {

RouteSimulator::RouteSimulator(KVMapEventsHandler& handler, float demoSpeed)
    : m_handler(handler), m_route(handler.route()), m_lastTicks(handler.clock().ticksMs()), m_demoSpeed(demoSpeed),
      m_navi(handler.config(), &handler, handler.clock()),
      m_objWarn(handler.config(), &handler, &handler.route(), handler.styles(), handler.clock()),
      m_cursor(handler.route(), true), m_speed(demoSpeed), m_acceleration(demoSpeed * 0.5f) {
    m_navi.setPath(&m_route);
    m_navi.resetManeuverState();
    m_carState = carStateAt(m_cursor);
    m_navi.start(m_carState, m_demoSpeed);
    m_heading = static_cast<float>(m_cursor.isAtEnd() ? 0 : m_cursor.heading());
    m_route.addChangeFlag(&m_pathChanged);
    fillFix();
    m_handler.setDemoDriving(true);
}

RouteSimulator::~RouteSimulator() {
    m_route.removeChangeFlag(&m_pathChanged);
    m_handler.setDemoDriving(false);
}

void RouteSimulator::move(float seconds) {
    if (m_cursor.isAtEnd()) return;
    m_cursor.advance(seconds * 0.5f / m_cursor.currentPart().metresPerUnit * m_speed);
    while (!m_cursor.isAtEnd() && m_cursor.segmentShorterThan(1.0f)) {
        const std::size_t part = m_cursor.part;
        const auto segment = m_cursor.cursor.segmentIndex;
        const std::size_t polyline = m_cursor.cursor.polyline;
        m_cursor.stepForward();
        if (m_cursor.part == part && m_cursor.cursor.segmentIndex == segment && m_cursor.cursor.polyline == polyline)
            break;
    }
    if (m_cursor.isAtEnd()) {
        m_cursor = PathPosition(m_route, true);
        m_navi.start(carStateAt(m_cursor), m_demoSpeed);
    }
    m_heading = static_cast<float>(m_cursor.isAtEnd() ? 0 : m_cursor.heading());
}

void RouteSimulator::step(std::uint32_t now) {
    if (m_pathChanged) return;
    const std::uint32_t dtMs = now - m_lastTicks;
    m_lastTicks = now;
    const float seconds = static_cast<float>(dtMs) * 0.001f;
    move(seconds);
    move(seconds);
    m_carState = carStateAt(m_cursor);
    m_navi.onPosition(m_carState, m_demoSpeed);

    const bool objectEvent = m_objWarn.update(m_cursor);

    const float remaining = static_cast<float>(m_navi.remainingDistance());
    if (objectEvent || remaining * 0.02f > 1.0f)
        m_speed = std::min(m_speed + m_acceleration * seconds, m_demoSpeed);
    else
        m_speed = m_demoSpeed * std::max(0.2f, remaining * 0.02f);
    fillFix();
}

void RouteSimulator::fillFix() {
    Positioning::Fix fix;
    fix.dateTime = m_handler.clock().localTime();
    fix.speed = m_speed;
    fix.heading = m_heading;
    fix.courseKnown = true;
    fix.hdop = fix.vdop = 1.0f;
    if (m_carState.valid) {
        const Map::Point p = m_carState.position.toGlobal();
        fix.x = p.x;
        fix.y = p.y;
        const Map::GeoPoint geo = Map::Projection::toGeo(p);
        fix.latitude = geo.latitude;
        fix.longitude = geo.longitude;
    }
    m_fix = fix;
}

} // namespace Guidance
