#include "routing/RoadMapHolder.h"

#include "map/KVMap2.h"

RoadMapHolder* RoadMapHolder::of(Map::KVMap2& map) {
    if (!map.roadMap()) {
        auto holder = std::make_unique<RoadMapHolder>(&map);
        RoadMapHolder* held = holder.get();
        map.setRoadMap(std::move(holder));
        return held;
    }
    return dynamic_cast<RoadMapHolder*>(map.roadMap());
}

RoadMapHolder::~RoadMapHolder() {
    releaseGraph();
}

bool RoadMapHolder::releaseGraph() {
    if (!m_graph) return false;
    m_graph.reset();
    if (m_heap) m_heap->free(m_charge);
    m_heap = nullptr;
    m_charge = nullptr;
    return true;
}

void RoadMapHolder::adopt(std::unique_ptr<RoadMap> graph, Core::Allocator* heap, void* charge) {
    releaseGraph();
    m_graph = std::move(graph);
    m_heap = heap;
    m_charge = charge;
}
