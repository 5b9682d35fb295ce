#include "screens/HandlerCarSource.h"

#include "guidance/KVMapEventsHandler.h"
#include "guidance/RouteSimulator.h"
#include "map/KVAtlas.h"
#include "routing/ManoeuvreTypes.h"
#include "screens/HandlerNavigation.h"

namespace Screens {

namespace {

std::uint32_t roundaboutExit(const Guidance::fdMapNavi& navi) {
    if (!navi.maneuverKnown())
        return 0;
    // At an entry the exit is the following manoeuvre's.
    const std::uint32_t type = navi.maneuverType();
    if (!isRoundaboutEntry(type))
        return roundaboutExitNumber(type);
    const Path* path = navi.path();
    PathPosition next;
    std::uint32_t nextType = 0;
    std::uint16_t aux = 0;
    if (path == nullptr || navi.maneuverPosition().isAtEnd() ||
        !path->nextManoeuvre(navi.maneuverPosition(), next, nextType, aux))
        return 0;
    return roundaboutExitNumber(nextType);
}

// The atlas index of the map and the road of the route part at a position;
// false at the route's end or for a map the atlas no longer holds.
bool roadAt(Map::KVAtlas& atlas, const PathPosition& at, std::uint32_t& mapIndex, std::uint32_t& road) {
    if (at.isAtEnd() || at.currentPart().segmentId == RoadGraph::kNoId)
        return false;
    const std::size_t count = atlas.mapCount();
    for (std::size_t i = 0; i < count; ++i) {
        if (atlas.mapAt(i) == at.currentPart().map) {
            mapIndex = static_cast<std::uint32_t>(i);
            road = at.currentPart().segmentId;
            return true;
        }
    }
    return false;
}

} // namespace

bool HandlerCarSource::tryTakeCarState() { return m_navigation.handler().lock().tryTake(); }

void HandlerCarSource::releaseCarState() { m_navigation.handler().lock().release(); }

bool HandlerCarSource::stepDemo() {
    Guidance::RouteSimulator* demo = m_navigation.demo();
    if (demo == nullptr)
        return false;
    Guidance::KVMapEventsHandler& handler = m_navigation.handler();
    demo->step(handler.clock().ticksMs());
    // The demo's phrases are spoken through the handler: one the player
    // refused is offered again here, as the handler's frame would.
    handler.speakPendingPhrase();
    return true;
}

std::optional<CarFix> HandlerCarSource::currentFix() {
    bool valid = false;
    Positioning::Fix fix;
    if (const Guidance::RouteSimulator* demo = m_navigation.demo()) {
        fix = demo->fix();
        valid = demo->carState().valid;
    } else {
        fix = m_navigation.handler().currentFix(&valid);
    }
    if (!valid)
        return std::nullopt;
    return CarFix{{fix.x, fix.y}, fix.heading, fix.speed, fix.latitude, fix.longitude};
}

Positioning::CarState HandlerCarSource::shownCar() {
    Guidance::KVMapEventsHandler& handler = m_navigation.handler();
    if (const Guidance::RouteSimulator* demo = m_navigation.demo()) {
        // The demo's car drives on the route: its road is the route part's.
        Positioning::CarState shown = demo->carState();
        if (shown.valid && shown.mapIndex == Positioning::NoMapIndex)
            roadAt(handler.atlas(), demo->cursor(), shown.mapIndex, shown.polylineId);
        return shown;
    }
    Positioning::CarState shown = handler.shownCarState();
    // On the route the handler draws the car at guidance's route position,
    // which names no road; the road is the one the tracker matched.
    if (shown.valid && shown.mapIndex == Positioning::NoMapIndex) {
        const Positioning::CarState tracked = handler.tracker().carState();
        if (tracked.valid && tracked.onRoad) {
            shown.mapIndex = tracked.mapIndex;
            shown.polylineId = tracked.polylineId;
            shown.caption = tracked.caption;
        }
    }
    return shown;
}

float HandlerCarSource::unitsPerMetre() { return m_navigation.unitsPerMetre(); }

GuidanceState HandlerCarSource::guidance() {
    Guidance::RouteSimulator* demo = m_navigation.demo();
    const Guidance::fdMapNavi& navi = demo ? demo->navi() : m_navigation.handler().navi();
    GuidanceState state;
    state.running = navi.running();
    state.hasParts = !m_navigation.handler().route().isEmpty();
    state.outOfPath = navi.outOfPath();
    state.maneuverKnown = navi.maneuverKnown();
    state.maneuverType = navi.maneuverType();
    if (state.maneuverKnown)
        roadAt(m_navigation.handler().atlas(), navi.maneuverPosition(), state.maneuverMap,
               state.maneuverRoad);
    state.maneuverMetres = static_cast<std::int32_t>(navi.remainingDistance());
    state.roundaboutExit = roundaboutExit(navi);
    state.approachOff = m_navigation.handler().approachOff();
    state.approachMetres = static_cast<std::int32_t>(m_navigation.handler().approachDistance());
    return state;
}

std::optional<WarnedObject> HandlerCarSource::warnedObject() {
    Guidance::RouteSimulator* demo = m_navigation.demo();
    const Guidance::ObjWarn& warn = demo ? demo->objWarn() : m_navigation.handler().objWarn();
    const Guidance::ObjWarn::Object* object = warn.current();
    // The head object counts once it is incoming, not as soon as the scan
    // found it.
    if (object == nullptr || !warn.headIncoming())
        return std::nullopt;
    const Guidance::fdMapNavi& navi = m_navigation.handler().navi();
    if (!demo && !navi.positionKnown())
        return std::nullopt;
    const PathPosition& car = demo ? demo->cursor() : navi.position();
    const auto metres = static_cast<std::int32_t>(PathPosition::distanceTo(car, object->position));
    return WarnedObject{object->poi.point, object->poi.poiType,
                        PathPosition::isBefore(object->position, car) ? -metres : metres};
}

} // namespace Screens
