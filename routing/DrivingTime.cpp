#include "routing/DrivingTime.h"

#include "routing/Path.h"
#include "routing/RoadMap.h"
#include "routing/RoadMapHolder.h"
#include "routing/RoutingParams.h"

namespace Map::Routing {

std::optional<std::uint64_t> drivingTime(const Path& path, Map::Atlas& atlas) {
    std::uint64_t units = 0;
    for (const PathPart& part : path.parts) {
        RoadMapHolder* holder = part.map != nullptr ? RoadMapHolder::of(*part.map) : nullptr;
        if (holder == nullptr || RoadMap::load(*holder, atlas) != RoutingStatus::Success) return std::nullopt;
        const RoadGraph::SegmentRecord* head = holder->graph()->segmentHeadRecord(part.segmentId);
        if (head == nullptr) return std::nullopt;
        units += static_cast<std::uint64_t>(travelTime(head->attributes.road, part.lengthMetres));
    }
    return units;
}

} // namespace Map::Routing
