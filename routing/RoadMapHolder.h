#pragma once
// A map's road graph as routing keeps it: loaded from the map's routing
// section the first time a route needs it, kept until the map goes or the
// atlas asks for memory back, and pinned while routes use it.

#include "core/Allocator.h"
#include "map/Point.h"
#include "map/RoadMapSlot.h"
#include "routing/RoadMap.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace Map {
class KVMap2;
class Atlas;
} // namespace Map

class RoadMapHolder : public Map::RoadMapSlot {
  public:
    // How routing uses the graph (the pin word).
    enum Pin : std::uint32_t {
        Free = 0,    // may be released
        OnRoute = 1, // on the current route's chain of maps
        InUse = 2,   // the leg being computed runs on it
    };

    explicit RoadMapHolder(Map::KVMap2* map) : m_map(map) {}
    ~RoadMapHolder() override;

    // The map's holder, installed in the map when it has none yet; null
    // when the map holds routing data of another kind.
    static RoadMapHolder* of(Map::KVMap2& map);

    std::uint32_t useState() const override { return pin; }
    bool releaseGraph() override;

    Map::KVMap2* map() const { return m_map; }
    // Null until loaded.
    RoadMap* graph() const { return m_graph.get(); }
    // Takes a filled graph and the route heap block charged for it; the heap
    // must outlive the holder (the atlas owns both, its maps going first).
    void adopt(std::unique_ptr<RoadMap> graph, Core::Allocator* heap, void* charge);

    std::uint32_t pin = Free;
    // Kept for the map links: the node of the link node inside this map, by
    // the id of the map it leads to, and each link node's position.
    std::map<std::uint32_t, std::uint32_t> linkNodes;
    std::vector<Map::GeoPoint> linkNodePositions;

  private:
    Map::KVMap2* m_map;
    std::unique_ptr<RoadMap> m_graph;
    Core::Allocator* m_heap = nullptr;
    void* m_charge = nullptr;
};

// Road-graph status codes shared by loading, route computation and requests.
namespace RoutingStatus {
inline constexpr std::int32_t Success = 0;
inline constexpr std::int32_t NoRoute = -1;
inline constexpr std::int32_t NotEnoughMemory = -2;
inline constexpr std::int32_t MapFormat = -3;
inline constexpr std::int32_t NotOnRoad = -4;
} // namespace RoutingStatus
