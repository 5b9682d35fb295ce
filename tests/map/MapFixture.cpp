#include "tests/map/MapFixture.h"

#include "map/file/FormatError.h"

#include <cstdlib>

namespace MapTest {

using Map::File::FormatError;
using namespace MapWriting;

namespace {

std::uint32_t word(const std::vector<std::uint8_t>& b, std::uint64_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::shared_ptr<Map::File::SectionView> viewOrThrow(Map::File::MemoryFile& file, std::uint64_t offset,
                                                    std::uint64_t size) {
    auto view = file.view(offset, size);
    if (!view)
        throw FormatError("Can't create file mapping view");
    return view;
}

} // namespace

OpenedMap openMap(std::vector<std::uint8_t> bytes) {
    OpenedMap map;
    if (bytes.size() < 48)
        throw FormatError("File is too small");
    std::uint32_t w[12];
    for (int i = 0; i < 12; ++i)
        w[i] = word(bytes, 4 * i);
    map.file = std::make_shared<Map::File::MemoryFile>(std::move(bytes));
    const std::uint64_t size = map.file->bytes().size();
    if (w[9] != 0) {
        if (static_cast<std::uint64_t>(w[9]) + 4 > size)
            throw FormatError("File is too small");
        const std::uint64_t n = word(map.file->bytes(), w[9]);
        if (w[9] + 4 + 12 * n > size)
            throw FormatError("File is too small");
        for (std::uint64_t i = 0; i < n; ++i) {
            const std::uint64_t at = w[9] + 4 + 12 * i;
            const std::uint32_t typeVersion = word(map.file->bytes(), at);
            const std::uint32_t offset = word(map.file->bytes(), at + 4);
            const std::uint32_t sectionSize = word(map.file->bytes(), at + 8);
            auto view = viewOrThrow(*map.file, offset, sectionSize);
            const auto type = static_cast<std::uint16_t>(typeVersion);
            const auto version = static_cast<std::uint16_t>(typeVersion >> 16);
            if (type == 2)
                map.copyright = std::make_unique<Map::File::CopyrightSectionReader>(version, view);
            else if (type == 4)
                map.address = std::make_unique<Map::File::AddressSectionReader>(version, view, offset);
            else if (type == 17)
                map.textSearch = std::make_unique<Map::File::TextSearchSectionReader>(version, view);
            else if (type == 18)
                map.spatialSearch = std::make_unique<Map::File::SpatialSearchSectionReader>(version, view);
        }
    }
    const std::uint64_t s = w[1];
    if (s + 8 > size)
        throw FormatError("File is too small");
    const std::uint64_t a = word(map.file->bytes(), s);
    const std::uint64_t b = word(map.file->bytes(), s + 4);
    if (s + 8 + a > w[10])
        throw FormatError("Invalid strings sections sequence");
    if (b == 0)
        throw FormatError("Section is too small");
    map.strings = std::make_unique<Map::File::StringsSectionReader>(
        0, viewOrThrow(*map.file, s, w[10] - s + 4 * b - 4));
    if (w[6] > w[7])
        throw FormatError("Invalid geometry sections sequence");
    map.geometry = std::make_unique<Map::File::GeometrySectionReader>(0, viewOrThrow(*map.file, w[6], w[7] - w[6]));
    map.routing = std::make_unique<Map::File::RoutingSectionReader>(
        *map.file, Map::File::RoutingLocation{w[4], w[5], w[7], w[8]});
    if (!map.address)
        throw FormatError("Address section not found");
    return map;
}

namespace {
Cell cellAt(std::uint32_t x, std::uint32_t y) {
    Cell cell;
    cell.x = x;
    cell.y = y;
    return cell;
}
} // namespace

MapDescription sampleMap() {
    MapDescription m;
    m.mapId = 77;
    m.mapType = 1;
    StringTable& s = m.strings;
    const std::uint32_t mainStreet = s.add("Main Street");
    const std::uint32_t park = s.add("Park");
    const std::uint32_t oldRoad = s.add("Old Road");
    const std::uint32_t cafe = s.add("Cafe Central");
    const std::uint32_t nordland = s.add("Nordland");
    const std::uint32_t west = s.add("West");
    const std::uint32_t harbour = s.add("Harbour");
    const std::uint32_t seaton = s.add("Seaton");
    m.copyright = CopyrightDescription{{1, 2, 3, 4, 5}, u"\u00a9 Mirel demo"};

    AddressBuilder& ad = m.address;
    const std::uint32_t country = ad.addCountry(nordland);
    const std::uint32_t region = ad.addRegion(west, country);
    const std::uint32_t district = ad.addDistrict(harbour, country, region);
    const std::uint32_t city = ad.addCity(seaton, country, region, district, 1000, 2000);
    const std::uint32_t street = ad.addStreet(mainStreet, country, region, district, city, 1100, 2100);
    ad.addStreet(oldRoad, country, region, district, city, 1200, 2200);
    ad.addHouse(street, s.add("1"), 1101, 2101, s.add("Main Street 1"));
    ad.addHouse(street, s.add("2"), 1102, 2102);
    ObjectDescription poi;
    poi.name = cafe;
    poi.city = city;
    poi.street = street;
    poi.type = 42;
    poi.addressText = s.add("Main Street 5");
    poi.x = 1105;
    poi.y = 2105;
    poi.text5 = s.add("+1 555 0100");
    poi.number4 = 9;
    const std::uint32_t poiOffset = ad.addObject(poi);
    ad.addHouse(street, s.add("3a"), 1103, 2103);

    LevelDescription l0;
    l0.coordinateBits = 24;
    l0.cellShift = 10;
    l0.originX = 100;
    l0.originY = 200;
    l0.width = 4;
    l0.height = 3;
    Cell c00 = cellAt(0, 0);
    c00.polygons.push_back({park, 7, {{10, 10}, {900, 10}, {900, 900}, {10, 900}}});
    c00.polylines.push_back({mainStreet, 4, false, 0, {{100, 100}, {1124, 100}}});
    c00.points.push_back({cafe, poiOffset, 42, {300, 400}});
    Cell c10 = cellAt(1, 0);
    c10.polylines.push_back({mainStreet, 4, false, 1, {{100, 100}, {100, 1124}}});
    Cell c11 = cellAt(1, 1);
    c11.polylines.push_back({oldRoad, 12, true, 2, {{100, 100}, {1024, 100}}});
    Cell c21 = cellAt(2, 1);
    c21.polylines.push_back({oldRoad, 12, true, 2, {{0, 100}, {500, 100}}});
    Cell c32 = cellAt(3, 2);
    c32.polygons.push_back({0, 3, {{0, 0}, {2047, 0}, {2047, 2047}}});
    l0.cells = {c32, c00, c21, c10, c11}; // the writer sorts them
    LevelDescription l1;
    l1.coordinateBits = 20;
    l1.cellShift = 8;
    l1.originX = 6;
    l1.originY = 12;
    l1.width = 2;
    l1.height = 2;
    Cell d10 = cellAt(1, 0);
    d10.value = 3;
    d10.polygons.push_back({park, 7, {{1, 2}, {200, 2}, {200, 300}}});
    d10.coverage.push_back({0, 0, {{0, 0}, {256, 0}, {256, 256}, {0, 256}}});
    Cell d01 = cellAt(0, 1);
    d01.polygons.push_back({0, 9, {{5, 5}, {6, 6}, {7, 5}}});
    l1.cells = {d10, d01};
    m.levels = {l0, l1};

    RoadGraph g;
    g.nodes = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {2, 1, 1}};
    RoadChain main;
    main.attributes.routingClass = 2;
    main.attributes.quality = 3;
    main.attributes.turnCode = 5;
    main.attributes.access = 0x04;
    main.nodes = {0, 1, 2};
    main.segments = {{1024, {}, {{0, 0, 0, 0}}}, {1030, {}, {{1, 0, 0, 0}}}};
    RoadChain old;
    old.attributes.routingClass = 1;
    old.attributes.twoWay = false;
    old.attributes.toll = true;
    old.attributes.roundabout = true;
    old.nodes = {2, 3};
    old.segments = {{1400, {}, {{1, 1, 0, 0}, {2, 1, 0, 0}}}};
    g.chains = {main, old};
    g.restrictions = {{1, {1}, {0}}};
    g.linkClass = 5;
    g.linkNodes = {{0, 100 << 18, 200 << 18}, {3, (100 << 18) + 5000, (201 << 18) + 100}};
    g.transit = {0xFFFFFFFF, 300 * 512, 310 * 512, 0xFFFFFFFF};
    m.roads = g;
    return m;
}

ByteBuilder& ByteBuilder::u8(std::uint32_t v) {
    bytes.push_back(static_cast<std::uint8_t>(v));
    return *this;
}
ByteBuilder& ByteBuilder::u16(std::uint32_t v) { return u8(v).u8(v >> 8); }
ByteBuilder& ByteBuilder::u24(std::uint32_t v) { return u16(v).u8(v >> 16); }
ByteBuilder& ByteBuilder::u32(std::uint32_t v) { return u16(v).u16(v >> 16); }
ByteBuilder& ByteBuilder::text(const std::u16string& s, bool terminator) {
    for (char16_t c : s)
        u16(c);
    return terminator ? u16(0) : *this;
}
ByteBuilder& ByteBuilder::zeros(std::size_t n) {
    bytes.insert(bytes.end(), n, 0);
    return *this;
}

MallocHeap::~MallocHeap() { reset(); }

void* MallocHeap::allocate(std::uint32_t bytes) {
    if (bytes > m_limit || m_used > m_limit - bytes)
        return nullptr;
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr)
        return nullptr;
    m_blocks[block] = bytes;
    m_used += bytes;
    return block;
}

void MallocHeap::free(void* block) {
    if (block == nullptr)
        return;
    auto found = m_blocks.find(block);
    if (found == m_blocks.end())
        std::abort(); // a double or foreign free is a test failure
    m_used -= found->second;
    m_blocks.erase(found);
    std::free(block);
}

void MallocHeap::reset() {
    for (auto& [block, size] : m_blocks)
        std::free(block);
    m_blocks.clear();
    m_used = 0;
}

bool RecordingBuilder::reserve(std::uint64_t segmentCapacity, std::uint32_t nodeCount, std::uint64_t nodeCapacity,
                               std::uint32_t segmentCount, std::uint64_t linkCapacity) {
    if (refuseReserve)
        return false;
    capacities[0] = segmentCapacity;
    capacities[1] = nodeCount;
    capacities[2] = nodeCapacity;
    capacities[3] = segmentCount;
    capacities[4] = linkCapacity;
    m_nodeCount = nodeCount;
    m_segmentCount = segmentCount;
    reserved = true;
    return true;
}

void RecordingBuilder::setNode(std::uint32_t index, std::uint16_t cellX, std::uint16_t cellY, std::uint8_t vertices) {
    if (!reserved || index >= m_nodeCount || index != nodes.size())
        ++violations;
    nodes.push_back({cellX, cellY, vertices});
}

void RecordingBuilder::addSegment(std::uint32_t id, Map::SegmentAttributes attributes, std::uint32_t fromNode,
                                  std::uint32_t toNode, std::uint16_t lengthMetres) {
    if (!reserved || id >= m_segmentCount || id != segments.size() || fromNode >= m_nodeCount ||
        toNode >= m_nodeCount)
        ++violations;
    segments.push_back({id, attributes, fromNode, toNode, lengthMetres, {}, false});
}

void RecordingBuilder::addSegmentWithTransitions(std::uint32_t id, Map::SegmentAttributes attributes,
                                                 std::uint32_t fromNode, std::uint32_t toNode,
                                                 std::uint16_t lengthMetres,
                                                 std::span<const std::uint16_t> transitions) {
    addSegment(id, attributes, fromNode, toNode, lengthMetres);
    segments.back().transitions.assign(transitions.begin(), transitions.end());
    segments.back().withTransitions = true;
    if (fromNode < nodes.size() && toNode < nodes.size())
        for (std::uint16_t word : transitions)
            if ((word & 0x3F) >= nodes[fromNode].vertices || ((word >> 8) & 0x3F) >= nodes[toNode].vertices)
                ++violations;
}

void RecordingBuilder::finish() {
    if (!reserved || nodes.size() != m_nodeCount || segments.size() != m_segmentCount)
        ++violations;
    finished = true;
}

void RecordingBuilder::addTurnRestriction(std::uint32_t node, std::span<const std::uint32_t> path,
                                          std::span<const std::uint32_t> forbidden) {
    if (!finished || node >= m_nodeCount)
        ++violations;
    for (std::uint32_t id : path)
        violations += id >= m_segmentCount ? 1 : 0;
    for (std::uint32_t id : forbidden)
        violations += id >= m_segmentCount ? 1 : 0;
    restrictions.push_back({node, {path.begin(), path.end()}, {forbidden.begin(), forbidden.end()}});
}

std::vector<std::uint32_t> readBits(const std::uint8_t* data, int w, std::size_t count) {
    std::vector<std::uint32_t> out;
    std::size_t at = 0;
    for (std::size_t k = 0; k < count; ++k) {
        std::uint32_t v = 0;
        for (int i = 0; i < w; ++i, ++at)
            v |= ((data[at / 8] >> (at % 8)) & 1u) << i;
        out.push_back(v);
    }
    return out;
}

} // namespace MapTest
