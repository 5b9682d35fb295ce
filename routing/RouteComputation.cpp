#include "routing/RouteComputation.h"

#include "core/ConfigNode.h"
#include "core/Log.h"
#include "map/KVAtlas.h"
#include "map/Level.h"
#include "map/Projection.h"
#include "routing/AtlasRoute.h"
#include "routing/Minimap.h"
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

std::uint16_t linkEntryCost(Map::GeoPoint from, Map::GeoPoint to) {
    const double dy = (from.latitude - to.latitude) * 111195.33;
    const double dx = (from.longitude - to.longitude) * std::cos((from.latitude + to.latitude) * 0.5 * 0.017453292) *
                      6371023.0 * 0.017453292;
    const auto d = static_cast<std::uint64_t>(std::sqrt(dx * dx + dy * dy) + 0.5);
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(d >> 9, 0xFFFF));
}

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

namespace {

struct Context {
    Map::KVAtlas& atlas;
    RoutingParams params;
    std::uint16_t stick = 0;
    std::vector<std::pair<RoadMapHolder*, std::uint32_t>> pins; // saved pin words, restored at the end
    Path route;                                                  // the parts so far, leg 0

    ~Context() {
        for (auto it = pins.rbegin(); it != pins.rend(); ++it)
            it->first->pin = it->second;
    }
    void pin(RoadMapHolder& holder, std::uint32_t value) {
        pins.emplace_back(&holder, holder.pin);
        holder.pin = value;
    }
};

// The part along the point's segment and the point's place on it.
std::int32_t bindPoint(Context& c, RoadMapHolder& holder, const PathPoint& point, Bound& bound, bool& projected) {
    const std::int32_t status = RoadMap::partAlongSegment(holder, c.atlas, point.segmentId, bound.part);
    projected = status == RoutingStatus::Success && project(point, bound);
    return status;
}

template <typename Position>
std::unique_ptr<Position> atNode(const RoadMap& graph, std::uint32_t node) {
    const RoadGraph::NodeRecord* head = graph.nodeHeadRecord(node);
    return std::make_unique<Position>(head != nullptr ? head->cell : RoadGraph::GridCell{}, node);
}

// The node a point free to go either way stands on when it projects onto
// an end of its segment; kNoId otherwise. Bound there, the route may leave
// or reach it along any road of the junction, not only along the segment
// the point was found on (which, one-way, could force a loop).
std::uint32_t endNode(const RoadMap& graph, const PathPoint& point, const Bound& bound) {
    if (!point.allowForward || !point.allowBackward) return RoadGraph::kNoId;
    const RoadGraph::SegmentRecord* head = graph.segmentHeadRecord(point.segmentId);
    if (head == nullptr) return RoadGraph::kNoId;
    if (bound.offset == 0) return graph.segmentFromNode(point.segmentId);
    if (bound.offset >= head->length) return graph.segmentToNode(point.segmentId);
    return RoadGraph::kNoId;
}

std::unique_ptr<SearchPosition> fromPoint(const RoadMap& graph, const PathPoint& point, const Bound& bound) {
    const std::uint32_t node = endNode(graph, point, bound);
    if (node != RoadGraph::kNoId) return atNode<SearchPositionFromNode>(graph, node);
    return std::make_unique<SearchPositionFromSegment>(RoadGraph::GridCell{0, 0}, point.segmentId, bound.offset,
                                                       point.allowForward, point.allowBackward);
}

// The segment list of a leg between two points on one junction: the
// finish's road, cut to nothing at the points.
std::vector<RouteSegment> samePlace(const PathPoint& finish) {
    RouteSegment step;
    step.segmentId = finish.segmentId;
    step.forward = 1;
    return {step};
}

// The finish: at its node when it stands on one and the source is not
// bound on that node too (`sourceNode`), else on its segment.
std::unique_ptr<SearchPosition> toPoint(const RoadMap& graph, const PathPoint& point, const Bound& bound, bool after,
                                        std::uint32_t sourceNode) {
    const std::uint32_t node = endNode(graph, point, bound);
    if (node != RoadGraph::kNoId && node != sourceNode) return atNode<SearchPositionToNode>(graph, node);
    return std::make_unique<SearchPositionToSegment>(gridCellOf(point.roadPoint, *bound.part.level), point.segmentId,
                                                     bound.offset, after);
}

// One search on a map's graph; the segments of the route found, or false.
bool searchLeg(Context& c, RoadMapHolder& holder, const RoutingParams& params, std::unique_ptr<SearchPosition> source,
               std::unique_ptr<SearchPosition> finish, std::vector<RouteSegment>& segments,
               std::vector<std::uint32_t>* nodes = nullptr) {
    std::uint8_t reached = 0;
    ResultBindings* bindings = finish->resultBindings();
    bindings->reached = &reached;
    bindings->segments = &segments;
    bindings->nodes = nodes;
    SearchTask task(2);
    task.source = std::move(source);
    task.addTarget(std::move(finish));
    c.pin(holder, RoadMapHolder::InUse);
    search(*holder.graph(), task, params);
    holder.pin = c.pins.back().second;
    c.pins.pop_back();
    return reached == 1;
}

std::int32_t buildLeg(Context& c, RoadMapHolder& holder, const std::vector<RouteSegment>& segments) {
    Path leg;
    const std::int32_t status = RoadMap::buildParts(holder, c.atlas, segments, leg);
    if (status != RoutingStatus::Success) return status;
    Path::computeManoeuvres(leg, c.atlas, c.stick);
    for (const PathPart& part : leg.parts)
        c.route.appendPart(part);
    return RoutingStatus::Success;
}

// Entry costs of a map's connected link nodes from a point: straight-line
// metres >> 9.
std::vector<DistantNode> entries(const Minimap& minimap, const PathPoint& point) {
    const Map::GeoPoint at =
        Map::Projection::toGeo(Map::LevelFrame::of(*point.roadPoint.level).toGlobal({point.roadPoint.x, point.roadPoint.y}));
    std::vector<DistantNode> out;
    for (const Minimap::LinkNode& link : minimap.linkNodes(point.map)) {
        if (link.minimapNode == RoadGraph::kNoId) continue;
        out.push_back({link.minimapNode, linkEntryCost(at, Map::Projection::toGeo(link.position))});
    }
    return out;
}

enum class LegsOutcome { Done, Failed, Retry };

// The legs along a minimap chain: into its first link node, across each
// crossed map, out of its last link node. Retry (with the leg's index in
// failedLeg) when a leg's search does not reach its end.
LegsOutcome legsAlong(Context& c, const Minimap& minimap, const PathPoint& start, const PathPoint& finish,
                      const std::vector<RouteSegment>& crossings, const std::vector<std::uint32_t>& chain,
                      std::size_t& failedLeg) {
    RoadMapHolder* first = RoadMapHolder::of(*start.map);
    RoadMapHolder* last = RoadMapHolder::of(*finish.map);
    if (first == nullptr || last == nullptr) {
        Phase(&RoutingResult::loadingMs).failed(RoutingStatus::MapFormat);
        return LegsOutcome::Failed;
    }
    c.pin(*first, RoadMapHolder::OnRoute);
    c.pin(*last, RoadMapHolder::OnRoute);
    for (const RouteSegment& s : crossings)
        if (RoadMapHolder* h = minimap.segmentMap(s.segmentId) ? RoadMapHolder::of(*minimap.segmentMap(s.segmentId)) : nullptr)
            c.pin(*h, RoadMapHolder::OnRoute);

    // The legs: into the first link node, across each crossed map, out of
    // the last link node.
    struct Leg {
        RoadMapHolder* holder;
        std::uint32_t fromNode, toNode; // kNoId: the route point
    };
    std::vector<Leg> legs{{first, RoadGraph::kNoId, minimap.graphNodeOf(chain.front(), start.map)}};
    for (std::size_t i = 0; i < crossings.size() && i + 1 < chain.size(); ++i) {
        Map::KVMap2* map = minimap.segmentMap(crossings[i].segmentId);
        RoadMapHolder* h = map != nullptr ? RoadMapHolder::of(*map) : nullptr;
        if (h == nullptr) {
            Phase(&RoutingResult::loadingMs).failed(RoutingStatus::MapFormat);
            return LegsOutcome::Failed;
        }
        legs.push_back({h, minimap.graphNodeOf(chain[i], map), minimap.graphNodeOf(chain[i + 1], map)});
    }
    legs.push_back({last, minimap.graphNodeOf(chain.back(), finish.map), RoadGraph::kNoId});

    Bound from;
    Bound to;
    for (std::size_t i = 0; i < legs.size(); ++i) {
        const Leg& leg = legs[i];
        Phase loading(&RoutingResult::loadingMs);
        bool projected = true;
        std::int32_t status = RoadMap::load(*leg.holder, c.atlas);
        if (status == RoutingStatus::Success && i == 0) status = bindPoint(c, *leg.holder, start, from, projected);
        if (status == RoutingStatus::Success && i + 1 == legs.size())
            status = bindPoint(c, *leg.holder, finish, to, projected);
        if (status != RoutingStatus::Success) {
            c.route.clear();
            loading.failed(status);
            return LegsOutcome::Failed;
        }
        loading.done();
        Phase legSearch(&RoutingResult::searchingMs);
        const RoadMap& graph = *leg.holder->graph();
        std::unique_ptr<SearchPosition> source =
            i == 0 ? fromPoint(graph, start, from) : atNode<SearchPositionFromNode>(graph, leg.fromNode);
        std::unique_ptr<SearchPosition> finishAt;
        if (i + 1 == legs.size())
            finishAt = toPoint(graph, finish, to, true, RoadGraph::kNoId);
        else
            finishAt = atNode<SearchPositionToNode>(graph, leg.toNode);
        std::vector<RouteSegment> segments;
        // Only the leg from the start keeps off the start's road.
        RoutingParams params = c.params;
        if (i != 0) {
            params.excludeFlag = 0;
            params.excludedSegment = RoadGraph::kNoId;
        }
        if (!projected) {
            c.route.clear();
            legSearch.failed(RoutingStatus::NoRoute);
            return LegsOutcome::Failed;
        }
        if (!searchLeg(c, *leg.holder, params, std::move(source), std::move(finishAt), segments)) {
            c.route.clear();
            legSearch.failed(RoutingStatus::NoRoute);
            failedLeg = i;
            return LegsOutcome::Retry;
        }
        legSearch.done();
        Phase building(&RoutingResult::buildingMs);
        status = buildLeg(c, *leg.holder, segments);
        if (status != RoutingStatus::Success) {
            c.route.clear();
            building.failed(status);
            return LegsOutcome::Failed;
        }
        building.done();
    }
    return LegsOutcome::Done;
}

// How often a route across maps searches the minimap again after a leg
// could not reach its link node.
constexpr int kChainRetries = 8;

// Crossings left out of the minimap for one computation; put back after it.
struct LeftOutCrossings {
    RoadMap& graph;
    std::vector<std::uint32_t> segments;
    ~LeftOutCrossings() {
        for (const std::uint32_t s : segments)
            graph.setForbidden(s, false);
    }
    void add(std::uint32_t s) {
        if (!graph.setForbidden(s, true)) segments.push_back(s);
    }
};

void dropEntry(std::vector<DistantNode>& entries, std::uint32_t node) {
    std::erase_if(entries, [node](const DistantNode& e) { return e.nodeId == node; });
}

// The route across maps: the minimap chain, then one search per map. A
// leg that cannot reach its link node (or the finish from it) leaves that
// link out: the start's or finish's entry, or the crossing, and the
// minimap is searched again.
bool acrossMaps(Context& c, const PathPoint& start, const PathPoint& finish) {
    auto* minimap = dynamic_cast<Minimap*>(c.atlas.services().interMapGraph.get());
    if (minimap == nullptr || minimap->graph() == nullptr)
        return Phase(&RoutingResult::searchingMs).failed(RoutingStatus::NoRoute);
    std::vector<DistantNode> startEntries = entries(*minimap, start);
    std::vector<DistantNode> finishEntries = entries(*minimap, finish);
    LeftOutCrossings leftOut{*minimap->graph(), {}};
    for (int attempt = 0;; ++attempt) {
        Phase searching(&RoutingResult::searchingMs);
        RoutingParams fixed;
        fixed.routing_mode = 2;
        std::vector<RouteSegment> crossings;
        std::vector<std::uint32_t> chain;
        auto source = std::make_unique<SearchPositionFromDistantNodes>(RoadGraph::GridCell{}, startEntries);
        auto target = std::make_unique<SearchPositionToDistantNodes>(RoadGraph::GridCell{}, finishEntries);
        std::uint8_t reached = 0;
        target->reached = &reached;
        target->segments = &crossings;
        target->nodes = &chain;
        SearchTask task(2);
        task.source = std::move(source);
        task.addTarget(std::move(target));
        search(*minimap->graph(), task, fixed);
        if (reached != 1 || chain.empty()) return searching.failed(RoutingStatus::NoRoute);
        searching.done();

        std::size_t failedLeg = 0;
        const LegsOutcome outcome = legsAlong(c, *minimap, start, finish, crossings, chain, failedLeg);
        if (outcome == LegsOutcome::Done) return true;
        if (outcome == LegsOutcome::Failed) return false;
        const std::size_t legs = chain.size() + 1;
        if (attempt == kChainRetries) {
            Log::log(Log::Normal, u"Route across maps: no chain of link nodes after %d retries", kChainRetries);
            routingResult().success = 0;
            routingResult().status = RoutingStatus::NoRoute;
            return false;
        }
        if (failedLeg == 0) {
            dropEntry(startEntries, chain.front());
            Log::log(Log::Normal, u"Route across maps: link node %u not reached from the start; minimap search %d of %d without it",
                     chain.front(), attempt + 2, kChainRetries + 1);
        } else if (failedLeg + 1 == legs) {
            dropEntry(finishEntries, chain.back());
            Log::log(Log::Normal, u"Route across maps: finish not reached from link node %u; minimap search %d of %d without it",
                     chain.back(), attempt + 2, kChainRetries + 1);
        } else {
            leftOut.add(crossings[failedLeg - 1].segmentId);
            Log::log(Log::Normal, u"Route across maps: no way from link node %u to %u; minimap search %d of %d without that crossing",
                     chain[failedLeg - 1], chain[failedLeg], attempt + 2, kChainRetries + 1);
        }
    }
}

bool withinMap(Context& c, const PathPoint& start, const PathPoint& finish) {
    Phase loading(&RoutingResult::loadingMs);
    RoadMapHolder* holder = RoadMapHolder::of(*start.map);
    if (holder == nullptr) return loading.failed(RoutingStatus::MapFormat);
    c.pin(*holder, RoadMapHolder::InUse);
    Bound from;
    Bound to;
    bool projectedStart = false;
    bool projectedFinish = true;
    std::int32_t status = bindPoint(c, *holder, start, from, projectedStart);
    const bool sameSegment = finish.segmentId == start.segmentId;
    if (status == RoutingStatus::Success && !sameSegment) status = bindPoint(c, *holder, finish, to, projectedFinish);
    if (status != RoutingStatus::Success) return loading.failed(status);
    if (sameSegment) {
        to.part = from.part;
        projectedFinish = project(finish, to);
    }
    loading.done();

    Phase searching(&RoutingResult::searchingMs);
    if (!projectedStart || !projectedFinish) return searching.failed(RoutingStatus::NoRoute);
    // A finish on the start itself counts as after it: the route between
    // them is empty, not a drive round the block on a one-way road.
    const bool after = !(sameSegment && PartCursor::isBefore(to.cursor, from.cursor));
    std::vector<RouteSegment> segments;
    const RoadMap& graph = *holder->graph();
    // Two points on one junction: the route between them is that place, a
    // part of no length on the finish's road (searched, it would have no
    // parts, or drive round a one-way block to come back).
    const std::uint32_t startNode = endNode(graph, start, from);
    if (startNode != RoadGraph::kNoId && startNode == endNode(graph, finish, to))
        segments = samePlace(finish);
    else if (!searchLeg(c, *holder, c.params, fromPoint(graph, start, from), toPoint(graph, finish, to, after, startNode),
                        segments))
        return searching.failed(RoutingStatus::NoRoute);
    searching.done();

    Phase building(&RoutingResult::buildingMs);
    status = buildLeg(c, *holder, segments);
    if (status != RoutingStatus::Success) return building.failed(status);
    building.done();
    return true;
}

} // namespace

bool computePath(Map::KVAtlas& atlas, Core::ConfigNode& config, const PathPoint& start, const PathPoint& finish,
                 Path& path, bool excludeStart) {
    RoutingResult& result = routingResult();
    result.loadingMs = result.searchingMs = result.buildingMs = 0;
    if (start.map == nullptr || finish.map == nullptr || !start.isSet() || !finish.isSet()) {
        result.success = 0;
        result.status = RoutingStatus::NotOnRoad;
        return false;
    }
    Context c{atlas, RoutingParams::fromConfig(*config.child("Routing")), 0, {}, {}};
    c.stick = static_cast<std::uint16_t>(config.child("Maneuvers")->value("rotates_same_type_stick_dist", 0));
    if (excludeStart) {
        c.params.excludeFlag = 1;
        c.params.excludedSegment = start.segmentId;
    }
    const bool found = start.map == finish.map ? withinMap(c, start, finish) : acrossMaps(c, start, finish);
    if (!found) {
        path.clear();
        return false;
    }
    // The manoeuvres were labelled on the whole parts; now cut the ends at
    // the points.
    Path& leg = c.route;
    leg.trimFront(*start.roadPoint.level, {start.roadPoint.x, start.roadPoint.y});
    if (!leg.parts.empty()) leg.trimBack(leg.parts.size() - 1, *finish.roadPoint.level, {finish.roadPoint.x, finish.roadPoint.y});
    const Path route(start, finish, leg);
    path.parts = route.parts;
    path.points = route.points;
    path.legCount = route.legCount;
    path.markChanged();
    Log::log(Log::Normal, u"Route computed: loading %u ms, searching %u ms, building %u ms", result.loadingMs,
             result.searchingMs, result.buildingMs);
    result.success = 1;
    atlas.requestRedraw();
    return true;
}

namespace {

struct Result {
    std::uint32_t cost = RoadGraph::kInfiniteCost;
    std::vector<RouteSegment> segments;
};

// A place where the searches of an added point end: a route point of the
// point's map, or the node where the route enters or leaves that map.
struct InsertionFinish {
    int routePoint = -1;
    std::uint32_t node = RoadGraph::kNoId;
    SearchPosition* position = nullptr;
    ResultBindings* bindings = nullptr;
    Result* forward = nullptr;  // bound by the search from the point
    Result* backward = nullptr; // bound by the search towards it
    // A finish on the point's own segment: whether it lies beyond the point,
    // for each search. Where both stand at one place it is the piece that
    // each search's travel takes along the segment's direction.
    SearchPositionToSegment* onSegment = nullptr;
    bool afterForward = true, afterBackward = true;
};

// A run of parts of one leg on the point's map: the added point may go in
// between its ends.
struct Stretch {
    std::size_t first = 0, last = 0; // part indexes
    std::uint16_t leg = 0;
    Result toPoint, fromPoint;
    std::uint32_t existing = 0;
};

std::uint32_t driveNode(const RoadMap& graph, const PathPart& part, bool start) {
    return part.forward == start ? graph.segmentFromNode(part.segmentId) : graph.segmentToNode(part.segmentId);
}

void bindTo(InsertionFinish& f, Result* result) {
    f.bindings->cost = result != nullptr ? &result->cost : nullptr;
    f.bindings->segments = result != nullptr ? &result->segments : nullptr;
}

// Parts from a segment list, labelled; the status of the build.
std::int32_t partsOf(Context& c, RoadMapHolder& holder, const std::vector<RouteSegment>& segments, Path& out) {
    const std::int32_t status = RoadMap::buildParts(holder, c.atlas, segments, out);
    if (status != RoutingStatus::Success) return status;
    Path::computeManoeuvres(out, c.atlas, c.stick);
    out.markChanged();
    return RoutingStatus::Success;
}

void trimFrontAt(Path& leg, const PathPoint& point) {
    if (!leg.parts.empty()) leg.trimFront(*point.roadPoint.level, {point.roadPoint.x, point.roadPoint.y});
}
void trimBackAt(Path& leg, const PathPoint& point) {
    if (!leg.parts.empty())
        leg.trimBack(leg.parts.size() - 1, *point.roadPoint.level, {point.roadPoint.x, point.roadPoint.y});
}

} // namespace

bool insertPathPoint(Map::KVAtlas& atlas, Core::ConfigNode& config, Path& route, const PathPoint& point) {
    RoutingResult& result = routingResult();
    result.loadingMs = result.searchingMs = result.buildingMs = 0;
    if (point.map == nullptr || !point.isSet()) {
        result.success = 0;
        result.status = RoutingStatus::NotOnRoad;
        return false;
    }
    Context c{atlas, RoutingParams::fromConfig(*config.child("Routing")), 0, {}, {}};
    c.stick = static_cast<std::uint16_t>(config.child("Maneuvers")->value("rotates_same_type_stick_dist", 0));

    Phase loading(&RoutingResult::loadingMs);
    RoadMapHolder* holder = RoadMapHolder::of(*point.map);
    if (holder == nullptr) return loading.failed(RoutingStatus::MapFormat);
    c.pin(*holder, RoadMapHolder::InUse);
    Bound at;
    bool projected = false;
    std::int32_t status = bindPoint(c, *holder, point, at, projected);
    if (status != RoutingStatus::Success) return loading.failed(status);
    loading.done();

    // The plan: one walk over the parts, every finish in one task.
    Phase searching(&RoutingResult::searchingMs);
    if (!projected) return searching.failed(RoutingStatus::NoRoute);
    const RoadMap& graph = *holder->graph();
    std::vector<InsertionFinish> finishes;
    const auto finishAt = [&](int routePoint, std::uint32_t node) {
        for (std::size_t k = 0; k < finishes.size(); ++k)
            if (finishes[k].routePoint == routePoint && finishes[k].node == node) return k;
        finishes.push_back({routePoint, node});
        return finishes.size() - 1;
    };
    std::vector<std::unique_ptr<Stretch>> stretches;
    const std::vector<PathPart>& parts = route.parts;
    for (std::size_t i = 0; i < parts.size();) {
        if (parts[i].map != point.map) {
            ++i;
            continue;
        }
        auto stretch = std::make_unique<Stretch>();
        stretch->first = stretch->last = i;
        stretch->leg = parts[i].legIndex;
        while (stretch->last + 1 < parts.size() && parts[stretch->last + 1].map == point.map &&
               parts[stretch->last + 1].legIndex == stretch->leg)
            ++stretch->last;
        const bool legStart = i == 0 || parts[i - 1].legIndex != stretch->leg;
        const bool legEnd = stretch->last + 1 == parts.size() || parts[stretch->last + 1].legIndex != stretch->leg;
        InsertionFinish& from = finishes[legStart ? finishAt(stretch->leg, RoadGraph::kNoId)
                                                  : finishAt(-1, driveNode(graph, parts[i], true))];
        from.backward = &stretch->toPoint;
        InsertionFinish& to = finishes[legEnd ? finishAt(stretch->leg + 1, RoadGraph::kNoId)
                                              : finishAt(-1, driveNode(graph, parts[stretch->last], false))];
        to.forward = &stretch->fromPoint;
        Path own;
        for (std::size_t k = stretch->first; k <= stretch->last; ++k)
            own.appendPart(parts[k]);
        stretch->existing = pathCost(own, config);
        i = stretch->last + 1;
        stretches.push_back(std::move(stretch));
    }
    // After the finish: from the last route point when it lies on this map.
    Result afterFinish;
    const bool finishHere = !route.points.empty() && route.points.back().map == point.map &&
                            (parts.empty() || parts.back().map == point.map);
    if (finishHere) finishes[finishAt(static_cast<int>(route.points.size()) - 1, RoadGraph::kNoId)].backward = &afterFinish;

    SearchTask task(10);
    // A route point on the junction the point stands on is reached at no
    // cost, along a part of no length (as a route computation has it).
    const std::uint32_t pointNode = endNode(graph, point, at);
    std::vector<std::size_t> samePlaces;
    for (InsertionFinish& f : finishes) {
        std::unique_ptr<SearchPosition> position;
        if (f.routePoint < 0) {
            position = atNode<SearchPositionToNode>(graph, f.node);
        } else {
            const PathPoint& routePoint = route.points[static_cast<std::size_t>(f.routePoint)];
            Bound bound;
            bool onRoad = false;
            status = bindPoint(c, *holder, routePoint, bound, onRoad);
            if (status != RoutingStatus::Success) return searching.failed(status);
            if (!onRoad) return searching.failed(RoutingStatus::NoRoute);
            const bool same = routePoint.segmentId == point.segmentId;
            f.afterForward = !(same && PartCursor::isBefore(bound.cursor, at.cursor));
            f.afterBackward = !same || PartCursor::isBefore(at.cursor, bound.cursor);
            if (pointNode != RoadGraph::kNoId && endNode(graph, routePoint, bound) == pointNode)
                samePlaces.push_back(static_cast<std::size_t>(&f - finishes.data()));
            position = toPoint(graph, routePoint, bound, f.afterForward, pointNode);
            f.onSegment = dynamic_cast<SearchPositionToSegment*>(position.get());
        }
        f.position = position.get();
        f.bindings = position->resultBindings();
        if (task.addTarget(std::move(position)) < 0) {
            Log::log(Log::System, u"Path points count is too big - %d", static_cast<int>(route.points.size()));
            Log::log(Log::System, u"Path segments count is too big - %d", static_cast<int>(parts.size()));
            return searching.failed(RoutingStatus::NotEnoughMemory);
        }
    }
    if (!finishes.empty()) {
        c.pin(*holder, RoadMapHolder::InUse);
        task.source = fromPoint(graph, point, at);
        for (InsertionFinish& f : finishes) {
            bindTo(f, f.forward);
            if (f.onSegment != nullptr) f.onSegment->afterTheStart = f.afterForward;
        }
        search(*holder->graph(), task, c.params);
        task.source = fromPoint(graph, point, at);
        task.backward = true;
        for (InsertionFinish& f : finishes) {
            bindTo(f, f.backward);
            if (f.onSegment != nullptr) f.onSegment->afterTheStart = f.afterBackward;
        }
        search(*holder->graph(), task, c.params);
        // Found from the point backwards: turned to run towards it.
        for (InsertionFinish& f : finishes)
            if (f.backward != nullptr) {
                std::reverse(f.backward->segments.begin(), f.backward->segments.end());
                for (RouteSegment& step : f.backward->segments)
                    step.forward ^= 1;
            }
        for (const std::size_t k : samePlaces)
            for (Result* r : {finishes[k].forward, finishes[k].backward})
                if (r != nullptr) {
                    r->cost = 0;
                    r->segments = samePlace(route.points[static_cast<std::size_t>(finishes[k].routePoint)]);
                }
    }

    // The new point as the finish of a route whose last point lies on
    // another map: a route computation across the maps.
    Path acrossLeg;
    std::uint32_t acrossCost = RoadGraph::kInfiniteCost;
    if (!finishHere && !route.points.empty()) {
        const RoutingResult times = result;
        if (computePath(atlas, config, route.points.back(), point, acrossLeg, false))
            acrossCost = pathCost(acrossLeg, config);
        result.loadingMs += times.loadingMs;
        result.searchingMs += times.searchingMs;
        result.buildingMs += times.buildingMs;
    }

    // The choice: the least added cost inside a stretch (the earlier on
    // ties), unless the new finish costs no more.
    Stretch* best = nullptr;
    std::int64_t bestAdded = 0;
    for (const auto& s : stretches) {
        if (s->toPoint.cost == RoadGraph::kInfiniteCost || s->fromPoint.cost == RoadGraph::kInfiniteCost) continue;
        const std::int64_t added = std::int64_t{s->toPoint.cost} + s->fromPoint.cost -
                                   (s->existing == RoadGraph::kInfiniteCost ? 0 : s->existing);
        if (best == nullptr || added < bestAdded) {
            best = s.get();
            bestAdded = added;
        }
    }
    const std::uint32_t endCost = finishHere ? afterFinish.cost : acrossCost;
    if (best == nullptr && endCost == RoadGraph::kInfiniteCost) return searching.failed(RoutingStatus::NoRoute);
    const bool asFinish = endCost != RoadGraph::kInfiniteCost && (best == nullptr || std::int64_t{endCost} <= bestAdded);
    searching.done();

    Phase building(&RoutingResult::buildingMs);
    if (asFinish && !finishHere) {
        route.appendPath(acrossLeg);
    } else if (asFinish) {
        Path leg;
        status = partsOf(c, *holder, afterFinish.segments, leg);
        if (status != RoutingStatus::Success) return building.failed(status);
        trimFrontAt(leg, route.points.back());
        trimBackAt(leg, point);
        route.appendPath(Path(route.points.back(), point, leg));
    } else {
        const PathPoint& a = route.points[best->leg];
        const PathPoint& b = route.points[best->leg + 1u];
        Path toLeg, fromLeg, built;
        for (std::size_t k = 0; k < best->first; ++k)
            if (parts[k].legIndex == best->leg) toLeg.appendPart(parts[k]);
        status = partsOf(c, *holder, best->toPoint.segments, built);
        if (status != RoutingStatus::Success) return building.failed(status);
        if (toLeg.parts.empty()) trimFrontAt(built, a);
        for (const PathPart& part : built.parts)
            toLeg.appendPart(part);
        trimBackAt(toLeg, point);
        status = partsOf(c, *holder, best->fromPoint.segments, fromLeg);
        if (status != RoutingStatus::Success) return building.failed(status);
        trimFrontAt(fromLeg, point);
        bool suffix = false;
        for (std::size_t k = best->last + 1; k < parts.size(); ++k)
            if (parts[k].legIndex == best->leg) {
                fromLeg.appendPart(parts[k]);
                suffix = true;
            }
        if (!suffix) trimBackAt(fromLeg, b);
        Path twoLegs(a, point, toLeg);
        twoLegs.appendPath(Path(point, b, fromLeg));
        route.replaceLeg(best->leg, twoLegs);
    }
    building.done();
    route.markChanged();
    result.success = 1;
    atlas.requestRedraw();
    return true;
}

} // namespace Map::Routing
