#pragma once
// Helpers of the tests that route over a map file: an atlas whose route
// heap and memory release the test controls, a map written to a temporary
// file with its road-map holder, and a route search between two nodes.

#include "core/ResourcesPool.h"
#include "core/SimpleHeap.h"
#include "map/Atlas.h"
#include "map/KVMap2.h"
#include "routing/RoadMap.h"
#include "routing/RoadMapHolder.h"
#include "routing/RoutingParams.h"
#include "tests/map/MapFixture.h"
#include "tests/support/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace RoutingTest {

// The atlas as the loader sees it: its route heap and a memory release that
// the test scripts.
class TestAtlas : public Map::Atlas {
  public:
    explicit TestAtlas(std::uint32_t heapBytes) : heap(heapBytes) {}
    Core::Allocator* routeHeap() override { return &heap; }
    bool releaseMemory() override {
        ++releases;
        return onRelease ? onRelease() : false;
    }
    Core::SimpleHeap heap;
    int releases = 0;
    std::function<bool()> onRelease;
};

// A map file in a temporary folder, opened, with its road-map holder.
struct MapOnDisk {
    explicit MapOnDisk(const std::vector<std::uint8_t>& bytes);
    TestSupport::TempDir dir;
    std::filesystem::path path;
    Core::ResourcesPool pool{10};
    MapTest::MallocHeap heap;
    std::unique_ptr<Map::KVMap2> map;
    std::unique_ptr<RoadMapHolder> slot;
};

// Shortest distance, unpaved roads allowed.
RoutingParams lengthParams();

// The segments of the best route between two nodes; empty when none is
// found. `length` receives the route's total length in metres.
std::vector<std::uint32_t> route(RoadMap& map, std::uint32_t from, std::uint32_t to,
                                 std::uint32_t* length = nullptr,
                                 const RoutingParams& params = lengthParams());

} // namespace RoutingTest
