#pragma once
// The route search: a best-first search with an estimate term over one road
// map, from a task's source position to its finish positions. Labels live in
// the map's vertex records, so one map serves one search at a time; the
// search undoes every record it appended, and a backward search reverses
// the map for its duration and back again.

#include "routing/RoadMap.h"
#include "routing/RoutingParams.h"
#include "routing/SearchTask.h"

#include <cstdint>
#include <vector>

namespace Map::Routing {

struct SearchStats {
    std::uint64_t expanded = 0;      // vertices whose links were followed
    std::uint64_t queuePeak = 0;     // most entries queued at once
    std::uint64_t badReferences = 0; // links or records naming ids outside the arrays
};

// Seeds the positions, searches, fills every finish's result bindings and
// restores the map. Reports nothing: the bindings tell the caller.
void search(RoadMap& map, SearchTask& task, const RoutingParams& params, SearchStats* stats = nullptr);

// The search proper, on a seeded map.
void searchLoop(RoadMap& map, SearchTask& task, const RoutingParams& params, SearchStats* stats = nullptr);

// Every vertex unreached and open: the map takes its next label stamp.
void resetLabels(RoadMap& map);

// Follows the predecessors from the finish's search node back to the
// source's and fills the lists (either may be null) in start-to-finish
// order. False, with the lists empty, when the chain is broken.
bool extractPath(const RoadMap& map, const SearchPosition& finish, const SearchPosition& source,
                 std::vector<RouteSegment>* segments, std::vector<std::uint32_t>* nodes);

} // namespace Map::Routing
