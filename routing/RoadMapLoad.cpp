// Loading a map's road graph into its holder.

#include "core/Log.h"
#include "map/Atlas.h"
#include "map/KVMap2.h"
#include "map/LevelFrame.h"
#include "map/Projection.h"
#include "map/file/RoutingSectionReader.h"
#include "routing/RoadMap.h"
#include "routing/RoadMapFiller.h"
#include "routing/RoadMapHolder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

using namespace RoadGraph;

namespace {

constexpr double kMetresPerGlobalUnit = 0.009320285;
constexpr double kRadiansPerDegree = 0.017453292;

bool hasRecords(const RoadMap& map) {
    const auto listed = [](std::uint8_t flags) {
        return (flags & (RecordFlag::Head | RecordFlag::Main)) != 0;
    };
    const bool nodes = std::any_of(map.nodes().begin(), map.nodes().end(),
                                   [&](const NodeRecord& r) { return listed(r.flags); });
    const bool segments = std::any_of(map.segments().begin(), map.segments().end(),
                                      [&](const SegmentRecord& r) { return listed(r.flags); });
    return nodes && segments;
}

double edgeLatitude(const Map::LevelFrame& frame, std::uint32_t cellY) {
    const std::uint32_t shift = frame.originShift();
    const auto y = static_cast<std::int32_t>(static_cast<std::uint32_t>(cellY << shift));
    return Map::Projection::toGeo(Map::Point{0, y}).latitude;
}

std::uint32_t integerRoot(std::uint64_t value) {
    auto r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(value)));
    while (r * r > value)
        --r;
    while ((r + 1) * (r + 1) <= value)
        ++r;
    return static_cast<std::uint32_t>(r);
}

// Metres per cell of the map's first level, taken at whichever of its north
// and south edges is nearer a pole so the estimate never overstates.
void setEstimateWeights(RoadMap& map, const Map::Level& level) {
    const Map::LevelFrame frame = Map::LevelFrame::of(level);
    const double south = edgeLatitude(frame, level.originY());
    const double north = edgeLatitude(frame, level.originY() + level.height());
    const double m = std::min(std::cos(south * kRadiansPerDegree) * kMetresPerGlobalUnit,
                              std::cos(north * kRadiansPerDegree) * kMetresPerGlobalUnit);
    const double metres = std::ldexp(m, level.cellShift() + 32 - level.coordinateBits()) + 0.5;
    map.cellMetres = metres <= 0.0            ? 0u
                     : metres >= 4294967295.0 ? 0xFFFFFFFFu
                                              : static_cast<std::uint32_t>(metres);
    map.cellDiagonalRoot = integerRoot(2ull * map.cellMetres);
}

} // namespace

std::int32_t RoadMap::load(RoadMapHolder& slot, Map::Atlas& atlas) {
    if (slot.graph()) return RoutingStatus::Success;
    Map::KVMap2& map = *slot.map();
    Log::log(Log::Normal, u"Loading RoadMap from file '%s'...", map.filePath());
    const auto started = std::chrono::steady_clock::now();
    Core::Allocator* heap = atlas.routeHeap();

    while (!slot.graph()) {
        auto graph = std::make_unique<RoadMap>();
        RoadMapFiller filler(*graph, heap);
        std::uint32_t answer = map.routingReader().loadGraph(filler);
        // A graph the reader accepted but the road map could not take is as
        // unusable as a damaged stream.
        if (answer == Map::File::RoutingSectionReader::Loaded && filler.failed())
            answer = Map::File::RoutingSectionReader::BadFormat;
        if (answer == Map::File::RoutingSectionReader::Loaded) {
            if (filler.skippedRestrictions() != 0)
                Log::log(Log::Normal, u"RoadMap of '%s': %u turn restrictions left out", map.filePath(),
                         filler.skippedRestrictions());
            if (!hasRecords(*graph)) return RoutingStatus::NoRoute;
            if (map.levelCount() == 0) {
                Log::log(Log::Critical, u"Failed to read RoadMap: wrong format of file '%s'", map.filePath());
                return RoutingStatus::MapFormat;
            }
            setEstimateWeights(*graph, map.level(0));
            slot.adopt(std::move(graph), heap, filler.releaseCharge());
        } else if (answer == Map::File::RoutingSectionReader::OutOfMemory) {
            Log::log(Log::Normal, u"Not enough memory to read RoadMap: trying unload something");
            graph.reset();
            if (!atlas.releaseMemory()) {
                Log::log(Log::Critical, u"Failed to read RoadMap: not enough memory");
                return RoutingStatus::NotEnoughMemory;
            }
        } else {
            Log::log(Log::Critical, u"Failed to read RoadMap: wrong format of file '%s'", map.filePath());
            return RoutingStatus::MapFormat;
        }
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    Log::log(Log::Normal, u"RoadMap loading time: %u ms", static_cast<std::uint32_t>(elapsed.count()));
    return RoutingStatus::Success;
}

std::int32_t RoadMap::segmentShape(RoadMapHolder& slot, Map::Atlas& atlas, std::uint32_t segmentId,
                                   std::vector<Map::File::ShapeStep>& out) {
    out.clear();
    const std::int32_t status = load(slot, atlas);
    if (status != RoutingStatus::Success) return status;
    const RoadMap& graph = *slot.graph();
    // Ids come from route files and search results: only a segment's own
    // head names it; any other id is a point bound to no road of this map.
    if (segmentId == kNoId || graph.segmentHead(segmentId) != segmentId) return RoutingStatus::NotOnRoad;
    const NodeRecord* from = graph.nodeHeadRecord(graph.segmentFromNode(segmentId));
    if (!from) return RoutingStatus::MapFormat;
    const std::pair<std::int32_t, std::int32_t> start{from->cell.x, from->cell.y};
    if (!slot.map()->routingReader().shape(segmentId, start, out) || out.empty()) {
        out.clear();
        return RoutingStatus::MapFormat;
    }
    return RoutingStatus::Success;
}
