#pragma once
// What a map holds of routing: its road graph and its links to other maps,
// made and owned by the routing code. The map only keeps the object for its
// lifetime; the atlas asks it to give back memory when routing runs short.

#include <cstdint>

namespace Map {

class RoadMapSlot {
  public:
    // How routing uses the graph: 0 not in use, 2 held by a running route;
    // other values are routing's own.
    virtual ~RoadMapSlot() = default;
    virtual std::uint32_t useState() const = 0;
    // Frees the graph when one is loaded; true when memory was freed.
    virtual bool releaseGraph() = 0;

    RoadMapSlot() = default;
    RoadMapSlot(const RoadMapSlot&) = delete;
    RoadMapSlot& operator=(const RoadMapSlot&) = delete;
};

} // namespace Map
