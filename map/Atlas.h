#pragma once
// The atlas as routing and the map view see it, and the interface through
// which it reports changes of its map set.

#include "core/Allocator.h"

namespace Map {

class Atlas {
  public:
    virtual ~Atlas() = default;
    // The heap routing allocates its road graphs from.
    virtual Core::Allocator* routeHeap() = 0;
    // Frees road graphs that routing does not hold; true when it freed any.
    virtual bool releaseMemory() = 0;

    Atlas() = default;
    Atlas(const Atlas&) = delete;
    Atlas& operator=(const Atlas&) = delete;
};

class AtlasListener {
  public:
    virtual ~AtlasListener() = default;
    // Called with the atlas mutex held.
    virtual void onAtlasChanged() = 0;

    AtlasListener() = default;
    AtlasListener(const AtlasListener&) = delete;
    AtlasListener& operator=(const AtlasListener&) = delete;
};

} // namespace Map
