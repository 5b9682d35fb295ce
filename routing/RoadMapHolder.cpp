#include "routing/RoadMapHolder.h"

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
