#pragma once
// The minimap: the road graph across the maps of an atlas. Its nodes are the
// points where link nodes of two or more maps coincide; its segments are the
// crossings of one map from one such point to another, with the map's
// transit cost (metres of the route's cost) >> 9 as their length: 512 m
// steps, the unit of the entry costs from a route point to a link node. Built when an atlas
// loads (the atlas's inter-map graph service) from every map's link nodes
// and transit table; see docs/route-model.md.

#include "core/Allocator.h"
#include "map/AtlasServices.h"
#include "map/Point.h"
#include "routing/RoadMap.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class Minimap : public Map::InterMapGraph {
  public:
    // A map's link node at a minimap node.
    struct Member {
        Map::KVMap2* map = nullptr;
        std::uint32_t graphNode = RoadGraph::kNoId; // the node in that map's road graph
    };
    struct LinkNode {
        Map::Point position;
        std::uint32_t minimapNode = RoadGraph::kNoId; // kNoId: joins no other map
    };

    // Builds the graph. False, logged, when the graph does not fit the
    // route heap: the atlas then has no minimap and routes within single
    // maps.
    bool build(Map::KVAtlas& atlas) override;
    void release() override;

    // Null when there is none.
    RoadMap* graph() { return m_graph.get(); }
    // The map whose crossing a minimap segment stands for.
    Map::KVMap2* segmentMap(std::uint32_t segment) const;
    // The graph node of `map` at a minimap node; kNoId when it has none.
    std::uint32_t graphNodeOf(std::uint32_t minimapNode, const Map::KVMap2* map) const;
    // A map's link nodes, in the order of its file.
    const std::vector<LinkNode>& linkNodes(const Map::KVMap2* map) const;

  private:
    std::unique_ptr<RoadMap> m_graph;
    Core::Allocator* m_heap = nullptr;
    void* m_charge = nullptr; // the graph's share of the route heap
    std::vector<std::vector<Member>> m_members; // by minimap node
    std::vector<Map::KVMap2*> m_segmentMaps;
    std::map<const Map::KVMap2*, std::vector<LinkNode>> m_linkNodes;
};
