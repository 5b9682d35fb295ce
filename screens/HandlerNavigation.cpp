#include "screens/HandlerNavigation.h"

#include "guidance/KVMapEventsHandler.h"
#include "guidance/RouteSimulator.h"
#include "guidance/Voice.h"
#include "map/UnitsPerMeter.h"
#include "screens/DemoSpeed.h"

namespace Screens {

HandlerNavigation::HandlerNavigation(Guidance::KVMapEventsHandler& handler, Guidance::NaviSounds* sound,
                                     Core::ConfigNodePtr config)
    : m_handler(handler), m_sound(sound), m_config(std::move(config)) {}

HandlerNavigation::~HandlerNavigation() = default;

bool HandlerNavigation::toggleNavigation() {
    m_handler.toggleNavigation();
    return m_handler.naviOn();
}

void HandlerNavigation::startNavigation() {
    m_handler.setNaviOn(true);
    m_handler.startNavigation();
}

void HandlerNavigation::frame() {
    if (m_demo)
        return;
    Positioning::CarStateLock::Unit unit(m_handler.lock());
    if (unit)
        m_handler.onFrame();
}

void HandlerNavigation::applyPendingRoute() { m_handler.applyPendingRoute(); }

void HandlerNavigation::requestRebuild() { m_handler.rebuildPath(); }

// While the demo drives, its guidance is the one the user sees.
bool HandlerNavigation::guidanceActive() { return m_demo ? m_demo->navi().running() : m_handler.navi().running(); }

bool HandlerNavigation::carOffRoute() {
    const Guidance::fdMapNavi& navi = m_demo ? m_demo->navi() : m_handler.navi();
    return navi.running() && navi.outOfPath();
}

float HandlerNavigation::unitsPerMetre() {
    if (m_demo && m_demo->carState().valid)
        return Map::Projection::unitsPerMeterAt(m_demo->carState().position.toGlobal());
    bool valid = false;
    const Positioning::Fix fix = m_handler.currentFix(&valid);
    return valid ? Map::Projection::unitsPerMeterAt({fix.x, fix.y}) : 1.0f;
}

bool HandlerNavigation::startDemo() {
    if (m_handler.route().isEmpty())
        return false;
    m_demo = std::make_unique<Guidance::RouteSimulator>(
        m_handler, DemoSpeed::metresPerSecond(DemoSpeed::readKmh(*m_config)));
    return true;
}

void HandlerNavigation::stopDemo() { m_demo.reset(); }

bool HandlerNavigation::demoRouteChanged() { return m_demo != nullptr && m_demo->routeChanged(); }

bool HandlerNavigation::naviSoundsOn() { return m_handler.naviSoundsOn(); }

void HandlerNavigation::sayNextManeuver() {
    const Guidance::fdMapNavi& navi = m_demo ? m_demo->navi() : m_handler.navi();
    Guidance::Phrase phrase;
    // Spoken at the priority of guidance's own manoeuvre phrases.
    if (m_sound != nullptr && m_sound->naviOn() &&
        Guidance::Voice::composeManeuverPhrase(phrase, navi, navi.sayDistanceFirst()))
        m_sound->play(4, phrase);
}

std::optional<Map::Point> HandlerNavigation::incomingObject() {
    const Guidance::ObjWarn& warn = m_demo ? m_demo->objWarn() : m_handler.objWarn();
    const Guidance::ObjWarn::Object* object = warn.current();
    if (object == nullptr || !warn.headIncoming())
        return std::nullopt;
    return object->poi.point;
}

} // namespace Screens
