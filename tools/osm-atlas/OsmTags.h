#pragma once
// Which OpenStreetMap tags become which map items: road classes and their
// line types, area types, POI types, one-way and car access. The tables are
// the ones docs/osm-import.md lists; each function reads only the tags, so
// the import and its documentation can be checked side by side.

#include <cstdint>
#include <optional>
#include <string_view>

namespace osmium {
class TagList;
}

namespace OsmAtlas {

// A highway value as the map draws and routes it.
struct RoadKind {
    std::uint8_t lineType = 0;      // the line type of data/styles/polylines.xml
    std::uint8_t routingClass = 0;  // 0 slowest .. 7 fastest (kSpeedFactor)
    bool routable = false;          // cars may use it (before access tags)
    std::uint8_t coarsestLevel = 0; // index of the coarsest level it is drawn on
};

// The road kind of a highway=* way, or none for values that are not roads
// (platforms, proposed and abandoned roads). A highway area (area=yes) is a
// road along its outline too.
std::optional<RoadKind> roadKind(const osmium::TagList& tags);

enum class Direction { Both, Forward, Backward };
// oneway=yes/true/1 forward, -1/reverse backward; junction=roundabout and
// highway=motorway are one-way forward unless oneway=no says otherwise.
Direction direction(const osmium::TagList& tags);

// False when the most specific of motorcar, motor_vehicle, vehicle and
// access forbids private cars (no, private, agricultural, forestry,
// delivery, emergency, bus, psv, ...). A highway=track is open to cars only
// when the most specific of motorcar, motor_vehicle and access allows them.
bool carsAllowed(const osmium::TagList& tags);

bool isRoundabout(const osmium::TagList& tags);
bool isUnpaved(const osmium::TagList& tags);
bool isToll(const osmium::TagList& tags);

// Lines that are not roads: railways, waterways, ferries, borders.
std::optional<RoadKind> otherLineKind(const osmium::TagList& tags);

struct AreaKind {
    std::uint8_t type = 0;          // the area type of data/styles/polygons.xml
    std::uint8_t coarsestLevel = 0; // index of the coarsest level it is drawn on
};
// The area type of a closed way or multipolygon, or none.
std::optional<AreaKind> areaKind(const osmium::TagList& tags);

// The POI type of a node or area, or none.
std::optional<std::uint16_t> poiType(const osmium::TagList& tags);

} // namespace OsmAtlas
