#include "routing/RouteComputation.h"

#include "core/ConfigNode.h"
#include "core/Log.h"
#include "map/KVAtlas.h"
#include "map/Level.h"
#include "routing/PathPosition.h"
#include "routing/RoadMap.h"
#include "routing/RoadMapHolder.h"
#include "routing/RouteSearch.h"
#include "routing/RoutingParams.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace Map::Routing {

namespace {

std::uint32_t nowMs() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// Times one phase into its total; a failure records the status.
class Phase {
  public:
    explicit Phase(std::uint32_t RoutingResult::*total) : m_total(total), m_start(nowMs()) {}
    void done() { routingResult().*m_total += nowMs() - m_start; }
    bool failed(std::int32_t status) {
        done();
        routingResult().success = 0;
        if (status < 0) routingResult().status = status;
        return false;
    }

  private:
    std::uint32_t RoutingResult::*m_total;
    std::uint32_t m_start;
};

// Restores a road graph's pin word when the computation ends.
class PinUndo {
  public:
    PinUndo(RoadMapHolder& holder, std::uint32_t pin) : m_holder(holder), m_saved(holder.pin) { holder.pin = pin; }
    ~PinUndo() { m_holder.pin = m_saved; }
    PinUndo(const PinUndo&) = delete;
    PinUndo& operator=(const PinUndo&) = delete;

  private:
    RoadMapHolder& m_holder;
    std::uint32_t m_saved;
};

Map::LocalPoint inFirstLevel(const LevelPoint& point, const Map::Level& first) {
    const Map::LocalPoint p{point.x, point.y};
    return point.level == &first ? p : MapLevelInfo::convertPoint(*point.level, first, p);
}

// The grid cell of a point in the map's first level (origin-relative, like
// the nodes' cells), clamped to the 16-bit cell range.
RoadGraph::GridCell gridCellOf(const LevelPoint& point, const Map::Level& first) {
    const Map::LocalPoint p = inFirstLevel(point, first);
    const double size = std::ldexp(1.0, first.cellShift());
    const auto cell = [&](float v) {
        return static_cast<std::uint16_t>(std::clamp(std::floor(v / size), 0.0, 65535.0));
    };
    return RoadGraph::GridCell{cell(p.x), cell(p.y)};
}

struct Bound {
    PathPart part;
    PartCursor cursor;
    std::uint16_t offset = 0; // metres from the part's start
};

bool project(const PathPoint& point, Bound& bound) {
    float d = 0.0f;
    if (!PartCursor::project(bound.part, inFirstLevel(point.roadPoint, *bound.part.level), bound.cursor, d))
        return false;
    bound.offset = bound.part.metres(bound.cursor.distanceFromStart());
    return true;
}

} // namespace

RoutingResult& routingResult() {
    static RoutingResult result;
    return result;
}

const char* statusMessageKey(std::int32_t status) {
    switch (status) {
    case RoutingStatus::NoRoute: return "map_path_not_found_err";
    case RoutingStatus::NotEnoughMemory: return "map_not_enougth_memory_err";
    case RoutingStatus::MapFormat: return "map_file_format_err";
    case RoutingStatus::NotOnRoad: return "map_road_not_found_err";
    default: return "";
    }
}

bool computePath(Map::KVAtlas& atlas, Core::ConfigNode& config, const PathPoint& start, const PathPoint& finish,
                 Path& path, bool excludeStart) {
    RoutingResult& result = routingResult();
    result.loadingMs = result.searchingMs = result.buildingMs = 0;
    if (start.map == nullptr || finish.map == nullptr || !start.isSet() || !finish.isSet()) {
        result.success = 0;
        result.status = RoutingStatus::NotOnRoad;
        return false;
    }
    RoutingParams params = RoutingParams::fromConfig(*config.child("Routing"));
    const auto stick = static_cast<std::uint16_t>(config.child("Maneuvers")->value("rotates_same_type_stick_dist", 0));
    if (excludeStart) {
        params.excludeFlag = 1;
        params.excludedSegment = start.segmentId;
    }
    if (start.map != finish.map) {
        // Routes across maps need the links between them.
        Phase(&RoutingResult::searchingMs).failed(RoutingStatus::NoRoute);
        return false;
    }

    Phase loading(&RoutingResult::loadingMs);
    RoadMapHolder* holder = RoadMapHolder::of(*start.map);
    if (holder == nullptr) return loading.failed(RoutingStatus::MapFormat);
    const PinUndo pin(*holder, RoadMapHolder::InUse);
    Bound from;
    Bound to;
    std::int32_t status = RoadMap::partAlongSegment(*holder, atlas, start.segmentId, from.part);
    const bool sameSegment = finish.segmentId == start.segmentId;
    if (status == RoutingStatus::Success && !sameSegment)
        status = RoadMap::partAlongSegment(*holder, atlas, finish.segmentId, to.part);
    if (status != RoutingStatus::Success) return loading.failed(status);
    if (sameSegment) to.part = from.part;
    loading.done();

    Phase searching(&RoutingResult::searchingMs);
    if (!project(start, from) || !project(finish, to)) return searching.failed(RoutingStatus::NoRoute);
    RoadMap& graph = *holder->graph();
    SearchTask task(2);
    task.source = std::make_unique<SearchPositionFromSegment>(RoadGraph::GridCell{0, 0}, start.segmentId, from.offset,
                                                              start.allowForward, start.allowBackward);
    const bool after = !(sameSegment && !PartCursor::isBefore(from.cursor, to.cursor));
    auto target = std::make_unique<SearchPositionToSegment>(gridCellOf(finish.roadPoint, *from.part.level),
                                                            finish.segmentId, to.offset, after);
    std::uint8_t reached = 0;
    std::vector<RouteSegment> segments;
    target->reached = &reached;
    target->segments = &segments;
    task.addTarget(std::move(target));
    search(graph, task, params);
    if (reached != 1) return searching.failed(RoutingStatus::NoRoute);
    searching.done();

    Phase building(&RoutingResult::buildingMs);
    Path leg;
    status = RoadMap::buildParts(*holder, atlas, segments, leg);
    if (status != RoutingStatus::Success) {
        path.clear();
        return building.failed(status);
    }
    Path::computeManoeuvres(leg, atlas, stick);
    leg.trimFront(*from.part.level, inFirstLevel(start.roadPoint, *from.part.level));
    if (!leg.parts.empty())
        leg.trimBack(leg.parts.size() - 1, *from.part.level, inFirstLevel(finish.roadPoint, *from.part.level));
    const Path route(start, finish, leg);
    path.parts = route.parts;
    path.points = route.points;
    path.legCount = route.legCount;
    path.markChanged();
    building.done();
    Log::log(Log::Normal, u"Route computed: loading %u ms, searching %u ms, building %u ms", result.loadingMs,
             result.searchingMs, result.buildingMs);
    result.success = 1;
    atlas.requestRedraw();
    return true;
}

} // namespace Map::Routing
