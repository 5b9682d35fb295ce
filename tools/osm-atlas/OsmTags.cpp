#include "tools/osm-atlas/OsmTags.h"

#include <osmium/tags/taglist.hpp>

#include <array>
#include <cstring>

namespace OsmAtlas {

namespace {

// Level indexes (see OsmAtlas.cpp): 0 and 1 the detailed levels of the town,
// 2 the streets, 3 the main roads, 4 the through roads.
enum Level : std::uint8_t { Detail = 1, Streets = 2, MainRoads = 3, Through = 4 };

struct RoadRow {
    const char* value;
    RoadKind kind;
};

// highway=*: line type, routing class (7 the fastest, docs/routing-graph.md),
// routable by car, coarsest level.
constexpr std::array<RoadRow, 24> Roads{{
    {"motorway", {0x01, 7, true, Through}},       {"trunk", {0x01, 6, true, Through}},
    {"primary", {0x02, 5, true, Through}},        {"secondary", {0x03, 4, true, MainRoads}},
    {"tertiary", {0x04, 3, true, Streets}},       {"motorway_link", {0x03, 6, true, Streets}},
    {"trunk_link", {0x03, 5, true, Streets}},     {"primary_link", {0x03, 4, true, Streets}},
    {"secondary_link", {0x04, 3, true, Streets}}, {"tertiary_link", {0x05, 2, true, Streets}},
    {"unclassified", {0x05, 2, true, Streets}},   {"residential", {0x06, 2, true, Streets}},
    {"living_street", {0x06, 1, true, Detail}},   {"road", {0x06, 1, true, Detail}},
    {"service", {0x07, 1, true, Detail}},         {"track", {0x0A, 0, true, Detail}},
    {"pedestrian", {0x16, 0, false, Detail}},     {"footway", {0x16, 0, false, Detail}},
    {"path", {0x16, 0, false, Detail}},           {"steps", {0x16, 0, false, Detail}},
    {"cycleway", {0x16, 0, false, Detail}},       {"bridleway", {0x16, 0, false, Detail}},
    {"corridor", {0x16, 0, false, Detail}},       {"elevator", {0x16, 0, false, Detail}},
}};

struct TagRow {
    const char* key;
    const char* value; // nullptr: any value
};

bool matches(const osmium::TagList& tags, const TagRow& row) {
    const char* value = tags.get_value_by_key(row.key);
    return value != nullptr && (row.value == nullptr || std::strcmp(value, row.value) == 0);
}

bool is(const char* value, std::initializer_list<const char*> values) {
    if (value == nullptr) return false;
    for (const char* v : values)
        if (std::strcmp(value, v) == 0) return true;
    return false;
}

struct AreaRow {
    TagRow tag;
    AreaKind kind;
};

// The first row whose tag the object has decides its area type.
constexpr std::array<AreaRow, 28> Areas{{
    {{"natural", "water"}, {0x47, MainRoads}},      {{"waterway", "riverbank"}, {0x47, MainRoads}},
    {{"landuse", "reservoir"}, {0x47, MainRoads}},  {{"landuse", "basin"}, {0x47, Streets}},
    {{"leisure", "swimming_pool"}, {0x3D, Detail}}, {{"leisure", "marina"}, {0x48, Streets}},
    {{"building", nullptr}, {0x13, Detail}},        {{"place", "square"}, {0x13, Detail}},
    {{"leisure", "park"}, {0x14, Streets}},         {{"leisure", "garden"}, {0x14, Streets}},
    {{"leisure", "playground"}, {0x14, Detail}},    {{"leisure", "pitch"}, {0x17, Detail}},
    {{"leisure", "stadium"}, {0x17, Streets}},      {{"leisure", "sports_centre"}, {0x17, Streets}},
    {{"landuse", "grass"}, {0x19, Detail}},         {{"landuse", "meadow"}, {0x19, Streets}},
    {{"landuse", "village_green"}, {0x19, Detail}}, {{"natural", "scrub"}, {0x19, Streets}},
    {{"natural", "wood"}, {0x50, MainRoads}},       {{"landuse", "forest"}, {0x50, MainRoads}},
    {{"landuse", "cemetery"}, {0x1A, Streets}},     {{"amenity", "grave_yard"}, {0x1A, Streets}},
    {{"natural", "beach"}, {0x0D, Streets}},        {{"landuse", "commercial"}, {0x08, Streets}},
    {{"landuse", "retail"}, {0x08, Streets}},       {{"landuse", "industrial"}, {0x0C, Streets}},
    {{"landuse", "railway"}, {0x0C, Streets}},      {{"landuse", "residential"}, {0x01, Through}},
}};

// Site areas of institutions, after the rows above.
constexpr std::array<TagRow, 4> Sites{
    {{"amenity", "hospital"}, {"amenity", "school"}, {"amenity", "university"}, {"amenity", "college"}}};

struct PoiRow {
    TagRow tag;
    std::uint16_t type;
};

// The first row whose tag the object has decides its POI type.
// What a driver looks for by type (pharmacy, fuel, parking, hospital, cash,
// food, a bed) comes before the shops: a pharmacy is often a shop too.
constexpr std::array<PoiRow, 35> Pois{{
    {{"highway", "speed_camera"}, 0xF001}, {{"amenity", "fuel"}, 0x2F01},
    {{"amenity", "parking"}, 0x2F0B},      {{"amenity", "hospital"}, 0x3002},
    {{"amenity", "clinic"}, 0x3003},       {{"amenity", "doctors"}, 0x3003},
    {{"amenity", "pharmacy"}, 0x2E05},     {{"amenity", "atm"}, 0x2F06},
    {{"amenity", "bank"}, 0x2F06},
    {{"cuisine", "pizza"}, 0x2A01},        {{"amenity", "restaurant"}, 0x2A00},
    {{"amenity", "fast_food"}, 0x2A07},    {{"amenity", "cafe"}, 0x2A05},
    {{"amenity", "bar"}, 0x2A05},          {{"amenity", "pub"}, 0x2A05},
    {{"amenity", "ice_cream"}, 0x2A05},    {{"tourism", "hotel"}, 0x2B00},
    {{"tourism", "motel"}, 0x2B01},        {{"tourism", "guest_house"}, 0x2B02},
    {{"tourism", "hostel"}, 0x2B02},       {{"tourism", "apartment"}, 0x2B02},
    {{"tourism", "museum"}, 0x2C02},       {{"amenity", "place_of_worship"}, 0x2C0B},
    {{"tourism", "attraction"}, 0x2C00},   {{"tourism", "viewpoint"}, 0x2C00},
    {{"historic", nullptr}, 0x2C00},       {{"shop", "supermarket"}, 0x2E03},
    {{"shop", "convenience"}, 0x2E02},     {{"shop", "greengrocer"}, 0x2E02},
    {{"shop", nullptr}, 0x2E00},           {{"amenity", "post_office"}, 0x0000},
    {{"amenity", "police"}, 0x0000},       {{"amenity", "townhall"}, 0x0000},
    {{"amenity", "theatre"}, 0x0000},      {{"amenity", "cinema"}, 0x0000},
}};

} // namespace

std::optional<RoadKind> roadKind(const osmium::TagList& tags) {
    const char* highway = tags.get_value_by_key("highway");
    // A highway area (a square) is its street too: its outline is a way the
    // car may drive round where the highway value is a road.
    if (highway == nullptr) return std::nullopt;
    for (const RoadRow& row : Roads)
        if (std::strcmp(row.value, highway) == 0) return row.kind;
    return std::nullopt;
}

Direction direction(const osmium::TagList& tags) {
    const char* oneway = tags.get_value_by_key("oneway");
    if (is(oneway, {"yes", "true", "1"})) return Direction::Forward;
    if (is(oneway, {"-1", "reverse"})) return Direction::Backward;
    if (is(oneway, {"no", "false", "0"})) return Direction::Both;
    if (isRoundabout(tags) || is(tags.get_value_by_key("highway"), {"motorway"})) return Direction::Forward;
    return Direction::Both;
}

bool carsAllowed(const osmium::TagList& tags) {
    // A track is a farm or forest way: open to cars only when a tag says so.
    if (is(tags.get_value_by_key("highway"), {"track"})) {
        for (const char* key : {"motorcar", "motor_vehicle", "access"}) {
            const char* value = tags.get_value_by_key(key);
            if (value != nullptr) return is(value, {"yes", "designated", "permissive", "destination", "customers"});
        }
        return false;
    }
    for (const char* key : {"motorcar", "motor_vehicle", "vehicle", "access"}) {
        const char* value = tags.get_value_by_key(key);
        if (value == nullptr) continue;
        return is(value, {"yes", "designated", "permissive", "destination", "customers"});
    }
    return true;
}

bool isRoundabout(const osmium::TagList& tags) {
    return is(tags.get_value_by_key("junction"), {"roundabout", "circular"});
}

bool isUnpaved(const osmium::TagList& tags) {
    return is(tags.get_value_by_key("surface"),
              {"unpaved", "gravel", "fine_gravel", "dirt", "earth", "ground", "grass", "sand", "mud"});
}

bool isToll(const osmium::TagList& tags) {
    return is(tags.get_value_by_key("toll"), {"yes"});
}

std::optional<RoadKind> otherLineKind(const osmium::TagList& tags) {
    const bool tunnel = tags.has_key("tunnel") && !is(tags.get_value_by_key("tunnel"), {"no"});
    const char* railway = tags.get_value_by_key("railway");
    if (is(railway, {"rail", "light_rail", "narrow_gauge", "tram"}) && !tunnel)
        return RoadKind{0x14, 0, false, MainRoads};
    const char* waterway = tags.get_value_by_key("waterway");
    if (is(waterway, {"river", "canal"}) && !tunnel) return RoadKind{0x1F, 0, false, MainRoads};
    if (is(waterway, {"stream", "drain", "ditch"}) && !tunnel) return RoadKind{0x18, 0, false, Detail};
    if (is(tags.get_value_by_key("natural"), {"coastline"})) return RoadKind{0x18, 0, false, Through};
    if (is(tags.get_value_by_key("route"), {"ferry"})) return RoadKind{0x1A, 0, false, MainRoads};
    return std::nullopt;
}

std::optional<AreaKind> areaKind(const osmium::TagList& tags) {
    if (is(tags.get_value_by_key("building"), {"no"})) return std::nullopt;
    // A closed highway way is a walk or drive round a block unless it says
    // area=yes: then it is a square, drawn as its outline.
    if (tags.get_value_by_key("highway") != nullptr)
        return is(tags.get_value_by_key("area"), {"yes"}) ? std::optional<AreaKind>({0x13, Detail})
                                                          : std::nullopt;
    for (const AreaRow& row : Areas)
        if (matches(tags, row.tag)) return row.kind;
    for (const TagRow& row : Sites)
        if (matches(tags, row)) return AreaKind{0x0A, Streets};
    return std::nullopt;
}

std::optional<std::uint16_t> poiType(const osmium::TagList& tags) {
    for (const PoiRow& row : Pois)
        if (matches(tags, row.tag)) return row.type;
    return std::nullopt;
}

} // namespace OsmAtlas
