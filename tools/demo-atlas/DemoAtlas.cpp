#include "tools/demo-atlas/DemoAtlas.h"

#include "tools/mapwriter/LevelPlacer.h"
#include "tools/mapwriter/MapWriter.h"
#include "tools/mapwriter/SearchSections.h"

#include <cmath>
#include <cstdint>
#include <algorithm>
#include <map>
#include <numbers>
#include <stdexcept>
#include <utility>
#include <vector>

namespace DemoAtlas {

using namespace MapWriting;

namespace {

// The town centre: 50 degrees north, 10 degrees east, in global map units
// (2^31 units per 180 degrees of longitude; the spherical Mercator ordinate
// is close enough for a synthetic town).
constexpr double Latitude = 50.0;
constexpr double Longitude = 10.0;
const double TwoTo31 = 2147483648.0;
const double CentreX = Longitude / 180.0 * TwoTo31;
const double CentreY = std::log(std::tan(std::numbers::pi / 4 + Latitude * std::numbers::pi / 360.0)) /
                       std::numbers::pi * TwoTo31;
// Global units per metre at the town's latitude.
const double UnitsPerMetre = 107.29286 / std::cos(Latitude * std::numbers::pi / 180.0);

// Polygon kinds, as data/styles/polygons.xml styles them.
enum PolygonType : std::uint8_t { BuiltUp = 0x01, Water = 0x3C, Forest = 0x50, Park = 0x14, Square = 0x13, Land = 0x03 };
// Polyline kinds, as data/styles/polylines.xml styles them: ordinary street,
// border (dotted), the regional road, the town's main roads, roundabout.
enum PolylineType : std::uint8_t { Street = 0x06, Border = 0x1C, MajorRoad = 0x01, MainRoad = 0x02, Roundabout = 0x0C };
// POI kinds, as data/styles/pois.xml styles them (a town's own kind has no
// icon of its own).
enum PoiType : std::uint16_t {
    Cafe = 0x2A05,
    Restaurant = 0x2A00,
    Fuel = 0x2F01,
    Hospital = 0x3002,
    School = 0x2C00,
    Hotel = 0x2B00,
    Station = 0x2F0B,
    Church = 0x2C0B,
    Town = 0x0100,
};

struct Metres {
    double east = 0;
    double north = 0;
};

std::pair<std::int64_t, std::int64_t> global(Metres m) {
    return {std::llround(CentreX + m.east * UnitsPerMetre), std::llround(CentreY + m.north * UnitsPerMetre)};
}

// A level placed around the town centre, extentMetres wide and high.
class Frame {
  public:
    Frame(LevelDescription& level, std::uint8_t bits, std::uint8_t shift, double extentMetres)
        : m_level(level) {
        level.coordinateBits = bits;
        level.cellShift = shift;
        m_unit = std::int64_t{1} << (32 - bits);
        m_cellGlobal = m_unit << shift;
        const auto [x0, y0] = global({-extentMetres / 2, -extentMetres / 2});
        const auto [x1, y1] = global({extentMetres / 2, extentMetres / 2});
        level.originX = static_cast<std::uint32_t>(x0 / m_cellGlobal);
        level.originY = static_cast<std::uint32_t>(y0 / m_cellGlobal);
        level.width = static_cast<std::uint32_t>(x1 / m_cellGlobal - level.originX + 1);
        level.height = static_cast<std::uint32_t>(y1 / m_cellGlobal - level.originY + 1);
    }

    LevelPoint at(Metres m) const {
        const auto [gx, gy] = global(m);
        return {(gx - std::int64_t{m_level.originX} * m_cellGlobal) / m_unit,
                (gy - std::int64_t{m_level.originY} * m_cellGlobal) / m_unit};
    }
    std::vector<LevelPoint> at(const std::vector<Metres>& points) const {
        std::vector<LevelPoint> out;
        for (const Metres& m : points)
            out.push_back(at(m));
        return out;
    }

  private:
    LevelDescription& m_level;
    std::int64_t m_unit = 1;
    std::int64_t m_cellGlobal = 1;
};

std::vector<Metres> rectangle(double west, double south, double east, double north) {
    return {{west, south}, {east, south}, {east, north}, {west, north}};
}

std::vector<Metres> ring(Metres centre, double radius, int points) {
    std::vector<Metres> out;
    for (int i = 0; i < points; ++i) {
        const double a = 2 * std::numbers::pi * i / points;
        out.push_back({centre.east + radius * std::cos(a), centre.north + radius * std::sin(a)});
    }
    return out;
}

void finish(MapDescription& map) {
    map.copyright = CopyrightDescription{{2026, 1, 0, 0, 0}, u"\u00a9 Mirel demo data (synthetic)"};
    // The text search over the map's cities, streets and POIs, and the
    // spatial search over its objects (tree 1: POIs and houses by type, tree
    // 2: houses).
    addSearchSections(map);
}

// ----- The town -------------------------------------------------------

struct StreetPlan {
    const char* name;
    std::vector<Metres> nodes; // junctions along the street, in driving order for one-way streets
    bool oneWay = false;
    std::uint8_t routingClass = 3;
    bool major = false;
};

class TownBuilder {
  public:
    TownBuilder() : m_detail(m_levels[0], 26, 10, 2600), m_overview(m_levels[1], 23, 8, 2600) {
        m_map.mapId = 1;
        m_map.mapType = 0;
        StringTable& s = m_map.strings;
        AddressBuilder& a = m_map.address;
        const std::uint32_t country = a.addCountry(s.add("Demoland"));
        m_region = a.addRegion(s.add("Westshire"), country);
        m_country = country;
        m_district = a.addDistrict(s.add("Linden District"), country, m_region);
        const auto [cx, cy] = global({0, 0});
        m_city = a.addCity(s.add("Linden"), country, m_region, m_district, static_cast<std::int32_t>(cx),
                           static_cast<std::int32_t>(cy));
    }

    MapDescription build() {
        addStreets();
        addRoundabout();
        addRestrictionAndLinks();
        addAreas();
        addPois();
        // The town's data covers each of its cells completely, so the
        // region drawn before it is cleared there rather than showing its
        // coarser roads beside the town's own.
        for (LevelDescription& level : m_levels)
            for (Cell& cell : level.cells)
                cell.value = 3;
        m_map.levels = {m_levels[0], m_levels[1]};
        m_map.roads = m_graph;
        finish(m_map);
        return std::move(m_map);
    }

  private:
    std::uint32_t node(Metres m) {
        const auto key = std::make_pair(std::llround(m.east * 10), std::llround(m.north * 10));
        const auto found = m_nodes.find(key);
        if (found != m_nodes.end()) return found->second;
        LevelPlacer placer(m_levels[0]);
        const auto [cx, cy] = placer.cellOf(m_detail.at(m));
        const auto id = static_cast<std::uint32_t>(m_graph.nodes.size());
        m_graph.nodes.push_back({cx, cy, 1});
        m_nodes.emplace(key, id);
        return id;
    }

    // One chain along the nodes; each segment is drawn by its own polyline
    // from its from node, so the shape is valid for routing.
    void addChain(std::uint32_t caption, std::uint8_t type, const std::vector<Metres>& nodes,
                  RoadAttributes attributes, bool oneWay) {
        RoadChain chain;
        chain.attributes = attributes;
        std::uint32_t segmentId = 0;
        for (const RoadChain& c : m_graph.chains)
            segmentId += static_cast<std::uint32_t>(c.segments.size());
        LevelPlacer placer(m_levels[0]);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            chain.nodes.push_back(node(nodes[i]));
            if (i == 0) continue;
            Polyline style;
            style.caption = caption;
            style.type = type;
            style.oneWay = oneWay;
            style.road = segmentId++;
            RoadSegment segment;
            segment.lengthMetres = static_cast<std::uint16_t>(std::lround(
                std::hypot(nodes[i].east - nodes[i - 1].east, nodes[i].north - nodes[i - 1].north)));
            segment.shape = placer.addPolyline(style, {m_detail.at(nodes[i - 1]), m_detail.at(nodes[i])});
            chain.segments.push_back(segment);
        }
        m_graph.chains.push_back(chain);
    }

    void addStreets() {
        // Junctions of the roundabout where the main streets meet it.
        const std::vector<StreetPlan> streets = {
            {"Main Street", {{-1200, 0}, {-500, 0}, {-30, 0}}, false, 5, true},
            {"Main Street", {{30, 0}, {500, 0}, {1200, 0}}, false, 5, true},
            {"Station Road", {{0, -1200}, {0, -500}, {0, -30}}, false, 4, true},
            {"Station Road", {{0, 30}, {0, 500}, {0, 1200}}, false, 4, true},
            {"Mill Lane", {{-500, 500}, {0, 500}, {500, 500}}, true},
            {"Church Street", {{500, -500}, {0, -500}, {-500, -500}}, true},
            {"Park Avenue", {{-500, -500}, {-500, 0}, {-500, 500}}},
            {"River Road", {{500, -500}, {500, 0}, {500, 500}}},
        };
        std::map<std::string, std::uint32_t> streetRecords;
        for (const StreetPlan& plan : streets) {
            const std::uint32_t name = m_map.strings.add(plan.name);
            RoadAttributes attributes;
            attributes.routingClass = plan.routingClass;
            attributes.twoWay = !plan.oneWay;
            addChain(name, plan.major ? MainRoad : Street, plan.nodes, attributes, plan.oneWay);
            if (plan.major) {
                LevelPlacer overview(m_levels[1]);
                Polyline style;
                style.caption = name;
                style.type = MajorRoad;
                overview.addPolyline(style, m_overview.at(plan.nodes));
            }
            // Houses every 100 metres, odd numbers on the left, even on the
            // right; a street split by the roundabout keeps counting.
            auto [record, added] = streetRecords.emplace(plan.name, 0);
            if (added) {
                const auto [sx, sy] = global(plan.nodes.front());
                record->second =
                    m_map.address.addStreet(name, m_country, m_region, m_district, m_city,
                                            static_cast<std::int32_t>(sx), static_cast<std::int32_t>(sy));
            }
            addHouses(record->second, plan.nodes.front(), plan.nodes.back());
        }
        // A lane of the town's old quarter, named in Cyrillic (the street
        // type abbreviation first, as such names are written), with houses
        // but no road of its own.
        const Metres lane[2] = {{700, 800}, {1100, 800}};
        const auto [lx, ly] = global(lane[0]);
        const std::uint32_t sadovaya =
            m_map.address.addStreet(m_map.strings.add(u"\u0443\u043b. \u0421\u0430\u0434\u043e\u0432\u0430\u044f"),
                                    m_country, m_region, m_district, m_city, static_cast<std::int32_t>(lx),
                                    static_cast<std::int32_t>(ly));
        addHouses(sadovaya, lane[0], lane[1]);
    }

    void addHouses(std::uint32_t street, Metres from, Metres to) {
        const double length = std::hypot(to.east - from.east, to.north - from.north);
        const double ux = (to.east - from.east) / length;
        const double uy = (to.north - from.north) / length;
        int& next = m_houseNumbers[street];
        for (double d = 50; d < length; d += 100) {
            for (int side = 0; side < 2; ++side) {
                const int number = ++next;
                const double offset = side == 0 ? 15 : -15; // left of the driving direction, then right
                const Metres at{from.east + ux * d - uy * offset, from.north + uy * d + ux * offset};
                const auto [x, y] = global(at);
                m_map.address.addHouse(street, m_map.strings.add(std::to_string(number)),
                                       static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
            }
        }
    }

    // No left turn from Main Street, coming in from the east edge, into
    // River Road northwards. The town meets the region's roads where its
    // four main streets leave it; crossing the town between two of them
    // costs about the way through the centre.
    void addRestrictionAndLinks() {
        const std::uint32_t east = node({1200, 0}), riverJunction = node({500, 0});
        m_graph.restrictions.push_back(
            {east, {segmentBetween(riverJunction, east)}, {segmentBetween(riverJunction, node({500, 500}))}});
        const std::vector<Metres> edges = {{-1200, 0}, {1200, 0}, {0, -1200}, {0, 1200}};
        for (const Metres& edge : edges) {
            const auto [x, y] = global(edge);
            m_graph.linkNodes.push_back({node(edge), static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)});
        }
        for (const Metres& a : edges)
            for (const Metres& b : edges)
                m_graph.transit.push_back(static_cast<std::uint32_t>(
                    (std::fabs(a.east) + std::fabs(a.north) + std::fabs(b.east) + std::fabs(b.north)) *
                    (a.east == b.east && a.north == b.north ? 0 : 1)));
    }

    // The id of the segment joining two nodes (either way).
    std::uint32_t segmentBetween(std::uint32_t a, std::uint32_t b) const {
        std::uint32_t id = 0;
        for (const RoadChain& c : m_graph.chains)
            for (std::size_t i = 0; i < c.segments.size(); ++i, ++id)
                if ((c.nodes[i] == a && c.nodes[i + 1] == b) || (c.nodes[i] == b && c.nodes[i + 1] == a)) return id;
        throw std::logic_error("no segment between the nodes");
    }

    void addRoundabout() {
        // Counter-clockwise, as traffic drives on the right: E, NE, N, ... E.
        std::vector<Metres> nodes = ring({0, 0}, 30, 8);
        nodes.push_back(nodes.front());
        RoadAttributes attributes;
        attributes.routingClass = 4;
        attributes.twoWay = false;
        attributes.roundabout = true;
        addChain(m_map.strings.add("Linden Circle"), Roundabout, nodes, attributes, true);
    }

    void addAreas() {
        LevelPlacer detail(m_levels[0]);
        LevelPlacer overview(m_levels[1]);
        struct Area {
            const char* name;
            PolygonType type;
            std::vector<Metres> outline;
        };
        const std::vector<Area> areas = {
            {"City Park", Park, rectangle(100, 100, 450, 450)},
            {"Riverside Park", Park, rectangle(550, -450, 900, -50)},
            {"Market Square", Square, rectangle(-250, -250, -100, -100)},
            {"Church Square", Square, rectangle(-300, -560, -200, -520)},
            {"Mill Pond", Water, ring({-800, 750}, 150, 12)},
        };
        for (const Area& area : areas) {
            Polygon style;
            style.caption = m_map.strings.add(area.name);
            style.type = area.type;
            detail.addPolygon(style, m_detail.at(area.outline));
            if (area.type != Square) overview.addPolygon(style, m_overview.at(area.outline));
        }
    }

    void addPois() {
        struct Poi {
            const char* name;
            PoiType type;
            Metres at;
            const char* street;
            const char* address;
        };
        const std::vector<Poi> pois = {
            {"Cafe Central", Cafe, {-200, 20}, "Main Street", "Main Street 12"},
            {"Mill Restaurant", Restaurant, {250, 520}, "Mill Lane", "Mill Lane 3"},
            {"Fuel Stop", Fuel, {900, 20}, "Main Street", "Main Street 80"},
            {"St. Mary's Hospital", Hospital, {-480, 300}, "Park Avenue", "Park Avenue 5"},
            {"Linden School", School, {520, 300}, "River Road", "River Road 7"},
            {"Hotel Linden", Hotel, {-180, -120}, "Main Street", "Market Square 1"},
            {"Linden Station", Station, {20, -900}, "Station Road", "Station Road 40"},
            {"St. Mary's Church", Church, {-250, -540}, "Church Street", "Church Street 2"},
            // Cyrillic names: "Cafe Beryozka" and "Pharmacy Zdorovye".
            {"\u041a\u0430\u0444\u0435 \u0411\u0435\u0440\u0451\u0437\u043a\u0430", Cafe, {820, 780},
             "\u0443\u043b. \u0421\u0430\u0434\u043e\u0432\u0430\u044f", "\u0443\u043b. \u0421\u0430\u0434\u043e\u0432\u0430\u044f 3"},
            {"\u0410\u043f\u0442\u0435\u043a\u0430 \u0417\u0434\u043e\u0440\u043e\u0432\u044c\u0435", Hospital,
             {980, 820}, "\u0443\u043b. \u0421\u0430\u0434\u043e\u0432\u0430\u044f", "\u0443\u043b. \u0421\u0430\u0434\u043e\u0432\u0430\u044f 8"},
        };
        LevelPlacer detail(m_levels[0]);
        for (const Poi& poi : pois) {
            ObjectDescription object;
            object.name = m_map.strings.add(poi.name);
            object.city = m_city;
            object.street = streetRecord(poi.street);
            object.type = poi.type;
            object.addressText = m_map.strings.add(poi.address);
            const auto [x, y] = global(poi.at);
            object.x = static_cast<std::int32_t>(x);
            object.y = static_cast<std::int32_t>(y);
            const std::uint32_t record = m_map.address.addObject(object);
            detail.addPoint({object.name, record, poi.type, {}}, m_detail.at(poi.at));
        }
    }

    std::uint32_t streetRecord(const char* name) {
        const std::u16string wanted = m_map.strings.text(m_map.strings.add(name));
        for (std::size_t i = 0; i < m_map.address.streets.size(); ++i) {
            if (m_map.strings.text(m_map.address.streets[i].refs[0]) == wanted)
                return static_cast<std::uint32_t>(4 + 39 * i);
        }
        throw std::logic_error("demo town: unknown street");
    }

    MapDescription m_map;
    LevelDescription m_levels[2];
    Frame m_detail;
    Frame m_overview;
    RoadGraph m_graph;
    std::map<std::pair<long long, long long>, std::uint32_t> m_nodes;
    std::map<std::uint32_t, int> m_houseNumbers;
    std::uint32_t m_country = 0, m_region = 0, m_district = 0, m_city = 0;
};

// ----- The region and the country --------------------------------------

struct Place {
    const char* name;
    Metres at;
};

// The road graph of the region or the country: two-way chains whose
// segments are each drawn by their own polyline on the detail level, nodes
// merged by position, and link nodes where the roads meet another map's.
class OpenRoads {
  public:
    OpenRoads(const Frame& detail, LevelPlacer& placer) : m_detail(detail), m_placer(placer) {}

    // A chain through the points; a stretch longer than a segment's 16-bit
    // length is cut into equal segments.
    void road(std::uint32_t caption, std::uint8_t type, std::uint8_t routingClass, const std::vector<Metres>& points) {
        RoadChain chain;
        chain.attributes.routingClass = routingClass;
        chain.nodes.push_back(node(points.front()));
        for (std::size_t i = 1; i < points.size(); ++i) {
            const Metres a = points[i - 1], b = points[i];
            const double length = std::hypot(b.east - a.east, b.north - a.north);
            const int pieces = static_cast<int>(std::ceil(length / 50000));
            Metres from = a;
            for (int k = 1; k <= pieces; ++k) {
                const Metres to = k == pieces ? b
                                              : Metres{a.east + (b.east - a.east) * k / pieces,
                                                       a.north + (b.north - a.north) * k / pieces};
                RoadSegment segment;
                segment.lengthMetres =
                    static_cast<std::uint16_t>(std::lround(std::hypot(to.east - from.east, to.north - from.north)));
                segment.shape = m_placer.addPolyline({caption, type, false, m_segments++, {}}, m_detail.at({from, to}));
                chain.nodes.push_back(node(to));
                chain.segments.push_back(segment);
                from = to;
            }
        }
        m_graph.chains.push_back(chain);
    }

    // Link nodes at the given road nodes; crossing the map between two of
    // them costs the shortest way along its roads.
    RoadGraph link(const std::vector<Metres>& edges) {
        const std::size_t n = m_nodes.size();
        constexpr std::uint64_t None = ~std::uint64_t{0};
        std::vector<std::uint64_t> metres(n * n, None);
        for (std::size_t i = 0; i < n; ++i)
            metres[i * n + i] = 0;
        for (const RoadChain& chain : m_graph.chains)
            for (std::size_t k = 0; k < chain.segments.size(); ++k) {
                const std::size_t a = chain.nodes[k], b = chain.nodes[k + 1];
                metres[a * n + b] = metres[b * n + a] = std::min(metres[a * n + b], std::uint64_t{chain.segments[k].lengthMetres});
            }
        for (std::size_t via = 0; via < n; ++via)
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t j = 0; j < n; ++j)
                    if (metres[i * n + via] != None && metres[via * n + j] != None)
                        metres[i * n + j] = std::min(metres[i * n + j], metres[i * n + via] + metres[via * n + j]);
        std::vector<std::uint32_t> ids;
        for (const Metres& edge : edges) {
            const auto [x, y] = global(edge);
            ids.push_back(node(edge));
            m_graph.linkNodes.push_back({ids.back(), static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)});
        }
        for (const std::uint32_t from : ids)
            for (const std::uint32_t to : ids) {
                const std::uint64_t m = metres[from * n + to];
                m_graph.transit.push_back(m == None ? 0xFFFFFFFFu : static_cast<std::uint32_t>(m));
            }
        return m_graph;
    }

  private:
    std::uint32_t node(Metres m) {
        for (std::uint32_t i = 0; i < m_nodes.size(); ++i)
            if (m_nodes[i].east == m.east && m_nodes[i].north == m.north) return i;
        const auto [cx, cy] = m_placer.cellOf(m_detail.at(m));
        m_graph.nodes.push_back({cx, cy, 1});
        m_nodes.push_back(m);
        return static_cast<std::uint32_t>(m_nodes.size() - 1);
    }

    const Frame& m_detail;
    LevelPlacer& m_placer;
    RoadGraph m_graph;
    std::vector<Metres> m_nodes;
    std::uint32_t m_segments = 0;
};

// Where the region's roads meet the country's: the B12's ends at Brookfield
// and Ashford and the L5's north end.
const std::vector<Metres> RegionEdges = {{-10000, -8000}, {12000, 6000}, {0, 18000}};

MapDescription region() {
    MapDescription map;
    map.mapId = 2;
    map.mapType = 1;
    LevelDescription levels[2];
    const Frame detail(levels[0], 21, 8, 40000);
    const Frame overview(levels[1], 19, 8, 40000);
    LevelPlacer d(levels[0]);
    LevelPlacer o(levels[1]);
    StringTable& s = map.strings;

    const std::vector<Place> towns = {
        {"Linden", {0, 0}}, {"Ashford", {12000, 6000}}, {"Brookfield", {-10000, -8000}}};
    for (const Place& town : towns) {
        Polygon area{s.add(town.name), BuiltUp, {}};
        const double half = town.at.east == 0 && town.at.north == 0 ? 1200 : 600;
        d.addPolygon(area, detail.at(rectangle(town.at.east - half, town.at.north - half, town.at.east + half,
                                               town.at.north + half)));
        o.addPoint({area.caption, 0, Town, {}}, overview.at(town.at));
    }
    d.addPolygon({s.add("Linden Forest"), Forest, {}}, detail.at(rectangle(-6000, 2000, -2000, 5000)));
    d.addPolygon({s.add("Lake Wend"), Water, {}}, detail.at(ring({4000, -6000}, 1500, 16)));

    // The B12 and the L5 are the region's road graph. They meet the town's
    // graph where its main streets leave it (the B12 also crosses the town
    // on this map) and the country's where they leave the region.
    OpenRoads roads(detail, d);
    const std::uint32_t b12 = s.add("B12");
    roads.road(b12, MainRoad, 6, {{-10000, -8000}, {-1200, 0}, {1200, 0}, {12000, 6000}});
    o.addPolyline({b12, MainRoad, false, NoRoad, {}}, overview.at({{-10000, -8000}, {0, 0}, {12000, 6000}}));
    const std::uint32_t l5 = s.add("L5");
    roads.road(l5, MajorRoad, 5, {{0, -18000}, {0, -1200}});
    roads.road(l5, MajorRoad, 5, {{0, 1200}, {0, 18000}});
    std::vector<Metres> edges = {{-1200, 0}, {1200, 0}, {0, -1200}, {0, 1200}};
    edges.insert(edges.end(), RegionEdges.begin(), RegionEdges.end());
    map.roads = roads.link(edges);

    map.levels = {levels[0], levels[1]};
    AddressBuilder& a = map.address;
    const std::uint32_t country = a.addCountry(s.add("Demoland"));
    const std::uint32_t shire = a.addRegion(s.add("Westshire"), country);
    for (const Place& town : towns) {
        const auto [x, y] = global(town.at);
        a.addCity(s.add(town.name), country, shire, 0, static_cast<std::int32_t>(x),
                  static_cast<std::int32_t>(y));
    }
    finish(map);
    return map;
}

MapDescription country() {
    MapDescription map;
    map.mapId = 3;
    map.mapType = 2;
    LevelDescription levels[2];
    const Frame detail(levels[0], 17, 8, 400000);
    const Frame overview(levels[1], 15, 7, 400000);
    LevelPlacer d(levels[0]);
    LevelPlacer o(levels[1]);
    StringTable& s = map.strings;

    const std::vector<Place> cities = {{"Linden", {0, 0}},
                                       {"Ashford", {12000, 6000}},
                                       {"Northam", {20000, 140000}},
                                       {"Eastbury", {150000, -30000}},
                                       {"Westport", {-160000, 20000}}};
    for (const Place& city : cities) {
        const std::uint32_t name = s.add(city.name);
        d.addPoint({name, 0, Town, {}}, detail.at(city.at));
        o.addPoint({name, 0, Town, {}}, overview.at(city.at));
    }
    const std::vector<Metres> border = {
        {-190000, -180000}, {190000, -180000}, {190000, 180000}, {-190000, 180000}, {-190000, -180000}};
    Polyline line{s.add("Demoland"), Border, false, NoRoad, {}};
    d.addPolyline(line, detail.at(border));
    o.addPolyline(line, overview.at(border));
    // The A1 and the A7 are the country's road graph; they run on as the
    // region's B12 and L5 where they meet them.
    OpenRoads roads(detail, d);
    const std::vector<Metres> a1Route = {{-160000, 20000}, {-10000, -8000}, {0, 0}, {12000, 6000}, {150000, -30000}};
    const std::vector<Metres> a7Route = {{0, 0}, {0, 18000}, {20000, 140000}};
    const std::uint32_t a1 = s.add("A1");
    roads.road(a1, MajorRoad, 7, a1Route);
    o.addPolyline({a1, MajorRoad, false, NoRoad, {}}, overview.at(a1Route));
    const std::uint32_t a7 = s.add("A7");
    roads.road(a7, MajorRoad, 7, a7Route);
    o.addPolyline({a7, MajorRoad, false, NoRoad, {}}, overview.at(a7Route));
    map.roads = roads.link(RegionEdges);
    d.addPolygon({s.add("Demoland"), Land, {}}, detail.at(rectangle(-20000, -20000, 30000, 30000)));

    map.levels = {levels[0], levels[1]};
    const std::uint32_t demoland = map.address.addCountry(s.add("Demoland"));
    for (const Place& city : cities) {
        const auto [x, y] = global(city.at);
        map.address.addCity(s.add(city.name), demoland, 0, 0, static_cast<std::int32_t>(x),
                            static_cast<std::int32_t>(y));
    }
    finish(map);
    return map;
}

} // namespace

std::pair<std::int64_t, std::int64_t> globalOf(double eastMetres, double northMetres) {
    return global({eastMetres, northMetres});
}

double unitsPerMetre() { return UnitsPerMetre; }

std::vector<DemoMap> describe() {
    std::vector<DemoMap> maps;
    maps.push_back({"demo-town.kvm", TownBuilder().build()});
    maps.push_back({"demo-region.kvm", region()});
    maps.push_back({"demo-country.kvm", country()});
    return maps;
}

void write(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (const DemoMap& map : describe())
        writeMapFile(folder / map.fileName, map.description);
}

} // namespace DemoAtlas
