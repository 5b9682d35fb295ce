#pragma once
// Shared helpers of the map tests: a small complete map description, a
// minimal older-layout opener that builds the section readers over a written
// map the way the map file container will, a heap with a limit and a
// road-map builder that records what it is given.

#include "core/Allocator.h"
#include "map/RoadMapBuilder.h"
#include "map/file/AddressSectionReader.h"
#include "map/file/GeometrySectionReader.h"
#include "map/file/RoutingSectionReader.h"
#include "map/file/SpatialSearchSectionReader.h"
#include "map/file/StringsSectionReader.h"
#include "map/file/TextSearchSectionReader.h"
#include "tools/mapwriter/MapWriter.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace MapTest {

struct OpenedMap {
    std::shared_ptr<Map::File::MemoryFile> file;
    std::unique_ptr<Map::File::StringsSectionReader> strings;
    std::unique_ptr<Map::File::CopyrightSectionReader> copyright;
    std::unique_ptr<Map::File::GeometrySectionReader> geometry;
    std::unique_ptr<Map::File::AddressSectionReader> address;
    std::unique_ptr<Map::File::RoutingSectionReader> routing;
    std::unique_ptr<Map::File::TextSearchSectionReader> textSearch;       // directory type 17
    std::unique_ptr<Map::File::SpatialSearchSectionReader> spatialSearch; // directory type 18
};

// Opens the sections of an older-layout map held in memory; throws
// Map::File::FormatError with the container's messages.
OpenedMap openMap(std::vector<std::uint8_t> bytes);

// A small town over two levels: roads with a restriction and link nodes,
// an address tree with a street of three houses and a POI, a copyright.
MapWriting::MapDescription sampleMap();

// The sample map with a text-search section over its cities, streets and
// POI (every word of a name a key) and a version-2 spatial-search section
// (POIs and houses in tree 1, houses in tree 2).
MapWriting::MapDescription searchableMap();

// Little-endian byte assembly for hand-written sections.
struct ByteBuilder {
    std::vector<std::uint8_t> bytes;
    ByteBuilder& u8(std::uint32_t v);
    ByteBuilder& u16(std::uint32_t v);
    ByteBuilder& u24(std::uint32_t v);
    ByteBuilder& u32(std::uint32_t v);
    ByteBuilder& text(const std::u16string& s, bool terminator);
    ByteBuilder& zeros(std::size_t n);
};

// A heap of separate malloc blocks with a byte limit: ASan sees every
// block's bounds, and a double or foreign free aborts.
class MallocHeap : public Core::Allocator {
public:
    explicit MallocHeap(std::size_t limit = UINT32_MAX) : m_limit(limit) {}
    ~MallocHeap() override;
    std::uint32_t freeBytes() const override { return static_cast<std::uint32_t>(m_limit - m_used); }
    std::uint32_t totalBytes() const override { return static_cast<std::uint32_t>(m_limit); }
    void* allocate(std::uint32_t bytes) override;
    void free(void* block) override;
    // Frees everything at once, as the atlas resets its heap.
    void reset() override;
    std::size_t liveBlocks() const { return m_blocks.size(); }
    std::size_t usedBytes() const { return m_used; }
    void setLimit(std::size_t limit) { m_limit = limit; }

private:
    std::size_t m_limit;
    std::size_t m_used = 0;
    std::map<void*, std::size_t> m_blocks;
};

// Records every builder call; checks that ids stay below the announced
// counts (a violation is counted, never indexed).
class RecordingBuilder : public Map::RoadMapBuilder {
public:
    struct Node {
        std::uint16_t x = 0, y = 0;
        std::uint8_t vertices = 0;
    };
    struct Segment {
        std::uint32_t id = 0;
        Map::SegmentAttributes attributes;
        std::uint32_t from = 0, to = 0;
        std::uint16_t length = 0;
        std::vector<std::uint16_t> transitions;
        bool withTransitions = false;
    };
    struct Restriction {
        std::uint32_t node = 0;
        std::vector<std::uint32_t> path, forbidden;
    };

    bool refuseReserve = false;
    std::uint64_t capacities[5] = {};
    bool reserved = false;
    bool finished = false;
    std::vector<Node> nodes;
    std::vector<Segment> segments;
    std::vector<Restriction> restrictions;
    int violations = 0;

    bool reserve(std::uint64_t segmentCapacity, std::uint32_t nodeCount, std::uint64_t nodeCapacity,
                 std::uint32_t segmentCount, std::uint64_t linkCapacity) override;
    void setNode(std::uint32_t index, std::uint16_t cellX, std::uint16_t cellY, std::uint8_t vertices) override;
    void addSegment(std::uint32_t id, Map::SegmentAttributes attributes, std::uint32_t fromNode,
                    std::uint32_t toNode, std::uint16_t lengthMetres) override;
    void addSegmentWithTransitions(std::uint32_t id, Map::SegmentAttributes attributes, std::uint32_t fromNode,
                                   std::uint32_t toNode, std::uint16_t lengthMetres,
                                   std::span<const std::uint16_t> transitions) override;
    void finish() override;
    void addTurnRestriction(std::uint32_t node, std::span<const std::uint32_t> path,
                            std::span<const std::uint32_t> forbidden) override;

private:
    std::uint32_t m_nodeCount = 0;
    std::uint32_t m_segmentCount = 0;
};

// Fields of w bits, least significant bit first, as the drawing decodes them.
std::vector<std::uint32_t> readBits(const std::uint8_t* data, int w, std::size_t count);

} // namespace MapTest
