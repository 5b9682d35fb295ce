#pragma once
// An in-memory description of one map file: its strings, levels with cells
// of polygons, polylines and points, its address records with house lists,
// its road graph and any further directory sections. MapWriter.h turns it
// into the exact bytes of docs/map-format.md. Fixtures of the tests and the
// demo-atlas generator both build maps this way.
//
// Names are string ids of the description's StringTable (the writer turns
// them into string offsets where the format wants offsets); address records
// are named by the table offsets the builder returns, which are the offsets
// the file uses.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace MapWriting {

constexpr std::uint32_t NoRoad = 0xFFFFFF;
constexpr std::uint16_t HouseType = 0xFFFF;

// The strings of a map; equal texts share one id. Id 0 is the empty string.
class StringTable {
public:
    std::uint32_t add(const std::u16string& text);
    // UTF-8 convenience for fixtures.
    std::uint32_t add(std::string_view utf8);
    // B: stored strings + 1.
    std::uint32_t count() const { return static_cast<std::uint32_t>(m_texts.size()) + 1; }
    const std::u16string& text(std::uint32_t id) const;
    // Section offset of a string's first unit; 0 for id 0.
    std::uint32_t offsetOf(std::uint32_t id) const;
    // Data bytes A.
    std::uint32_t dataLength() const;

private:
    std::vector<std::u16string> m_texts;       // id k+1 at k
    std::vector<std::uint32_t> m_dataOffsets;  // relative to byte 8
    std::map<std::u16string, std::uint32_t> m_ids;
    std::uint32_t m_dataLength = 0;
};

// A point inside a cell block: level units relative to the cell origin, each
// below 2^(cell shift + 1).
struct CellPoint {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
};

struct Polygon {
    std::uint32_t caption = 0; // string id
    std::uint8_t type = 0;
    std::vector<CellPoint> points;
};

struct Polyline {
    std::uint32_t caption = 0; // string id
    std::uint8_t type = 0;
    bool oneWay = false;
    std::uint32_t road = NoRoad; // routing segment id
    std::vector<CellPoint> points; // normals are computed by the writer
};

struct PointItem {
    std::uint32_t caption = 0;       // string id
    std::uint32_t addressRecord = 0; // table-5 offset of its object address record
    std::uint16_t poiType = 0;
    CellPoint point;
};

struct Cell {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint8_t value = 1; // 3: the map covers the cell completely
    std::vector<Polygon> polygons;
    std::vector<Polyline> polylines;
    std::vector<PointItem> points;
    std::vector<Polygon> coverage; // kind-3 records
};

struct LevelDescription {
    std::uint8_t coordinateBits = 32;
    std::uint8_t cellShift = 16;
    std::uint32_t originX = 0;
    std::uint32_t originY = 0;
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::vector<Cell> cells; // any order; at most one per (x, y)
};

struct ObjectDescription {
    std::uint32_t name = 0;        // string id
    std::uint32_t city = 0;        // table-3 offset
    std::uint32_t street = 0;      // table-4 offset
    std::uint16_t type = 0;
    std::uint32_t addressText = 0; // string id
    std::int32_t x = 0;
    std::int32_t y = 0;
    // Optional words (string ids, number 4 as is), written only when set.
    std::optional<std::uint32_t> text5, text4, text6, text7, text8, number4;
};

// Address tables; each add returns the record's offset in its table.
class AddressBuilder {
public:
    std::uint32_t addCountry(std::uint32_t name);
    std::uint32_t addRegion(std::uint32_t name, std::uint32_t country);
    std::uint32_t addDistrict(std::uint32_t name, std::uint32_t country, std::uint32_t region);
    std::uint32_t addCity(std::uint32_t name, std::uint32_t country, std::uint32_t region, std::uint32_t district,
                          std::int32_t x, std::int32_t y);
    std::uint32_t addStreet(std::uint32_t name, std::uint32_t country, std::uint32_t region, std::uint32_t district,
                            std::uint32_t city, std::int32_t x, std::int32_t y);
    std::uint32_t addObject(const ObjectDescription& object);
    // Widens the extent of the street or city record at the offset so that
    // its square holds the point.
    void extendStreet(std::uint32_t street, std::int32_t x, std::int32_t y);
    void extendCity(std::uint32_t city, std::int32_t x, std::int32_t y);
    // A house of a street: an object record of the house type with the
    // street's city, appended to the street's house list. `number` is the
    // house number as shown (a string id).
    std::uint32_t addHouse(std::uint32_t street, std::uint32_t number, std::int32_t x, std::int32_t y,
                           std::uint32_t addressText = 0);

    struct Street {
        std::array<std::uint32_t, 5> refs{}; // name, country, region, district, city
        std::int32_t x = 0;
        std::int32_t y = 0;
        // Half the side of the square around (x, y) that holds the whole
        // street, in global map units; 0 unknown.
        std::uint32_t extent = 0;
        std::vector<std::uint32_t> houses;
    };
    struct City {
        std::array<std::uint32_t, 4> refs{}; // name, country, region, district
        std::int32_t x = 0;
        std::int32_t y = 0;
        // As a street's: the square around (x, y) that holds the place.
        std::uint32_t extent = 0;
    };

    std::vector<std::uint32_t> countries;                  // names
    std::vector<std::array<std::uint32_t, 2>> regions;     // name, country
    std::vector<std::array<std::uint32_t, 3>> districts;   // name, country, region
    std::vector<City> cities;
    std::vector<Street> streets;
    std::vector<ObjectDescription> objects;
    std::vector<std::uint32_t> objectOffsets;

private:
    std::uint32_t m_objectBytes = 4;
};

struct RoadAttributes {
    std::uint8_t routingClass = 0; // 0..7
    bool toll = false;
    bool twoWay = true;
    bool unpaved = false;
    bool roundabout = false;
    bool forbidden = false;
    std::uint8_t access = 0;
    std::uint8_t quality = 4; // 0..4
    std::uint8_t turnCode = 0; // 0..29
    std::array<std::uint8_t, 3> bytes() const;
};

// One polyline of a segment's shape: the polyline `polyline` of the level-0
// cell (cellX, cellY).
struct ShapeRef {
    std::uint32_t cellX = 0;
    std::uint32_t cellY = 0;
    std::uint32_t polyline = 0;
    std::uint8_t flag = 0;
};

struct RoadSegment {
    std::uint16_t lengthMetres = 0;
    std::vector<std::uint16_t> transitions; // vertex layout only (bit 15 is set by the writer)
    std::vector<ShapeRef> shape;
};

// Consecutive segments through `nodes` with the same attributes; segment k
// runs from nodes[k] to nodes[k+1]. Segment ids follow chain order.
struct RoadChain {
    RoadAttributes attributes;
    std::vector<std::uint32_t> nodes;
    std::vector<RoadSegment> segments; // nodes.size() - 1 of them
};

struct RoadNode {
    std::uint32_t cellX = 0; // level-0 grid cell, below 65536
    std::uint32_t cellY = 0;
    std::uint8_t vertices = 1; // vertex layout only
};

struct TurnRestriction {
    std::uint32_t node = 0;
    std::vector<std::uint32_t> path;
    std::vector<std::uint32_t> forbidden;
};

struct LinkNodeDescription {
    std::uint32_t graphNode = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct RoadGraph {
    bool vertexLayout = false;
    std::vector<RoadNode> nodes;
    std::vector<RoadChain> chains;
    std::vector<TurnRestriction> restrictions; // not in the vertex layout
    std::uint8_t linkClass = 24;
    std::vector<LinkNodeDescription> linkNodes;
    std::vector<std::uint32_t> transit; // N x N costs in metres of the route's cost; empty: no crossings
};

struct CopyrightDescription {
    std::array<std::uint32_t, 5> header{};
    std::u16string text;
};

// A section reached through the directory (text search, spatial search...).
struct ExtraSection {
    std::uint16_t type = 0;
    std::uint16_t version = 0;
    std::vector<std::uint8_t> bytes;
};

struct MapDescription {
    std::string signature = "MLVA";
    std::uint32_t mapId = 0;
    std::uint8_t mapType = 0;
    StringTable strings;
    std::optional<CopyrightDescription> copyright;
    std::vector<LevelDescription> levels;
    AddressBuilder address;
    std::optional<RoadGraph> roads; // none: a map without routing data
    std::vector<ExtraSection> sections;
};

} // namespace MapWriting
