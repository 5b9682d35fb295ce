#include "tools/osm-atlas/OsmAtlas.h"

#include "map/Projection.h"
#include "tools/mapwriter/LevelPlacer.h"
#include "tools/mapwriter/MapWriter.h"
#include "tools/mapwriter/SearchSections.h"
#include "tools/osm-atlas/OsmTags.h"

#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/pbf_input.hpp>
#include <osmium/relations/manager_util.hpp>
#include <osmium/visitor.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <numbers>
#include <stdexcept>

namespace OsmAtlas {

using namespace MapWriting;

namespace {

struct Geo {
    double lat = 0;
    double lon = 0;
};

// Great-circle distance on the mean Earth sphere.
double metresBetween(Geo a, Geo b) {
    constexpr double Radius = 6371008.8;
    const double rad = std::numbers::pi / 180;
    const double dLat = (b.lat - a.lat) * rad;
    const double dLon = (b.lon - a.lon) * rad;
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(a.lat * rad) * std::cos(b.lat * rad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * Radius * std::asin(std::min(1.0, std::sqrt(h)));
}

// ----- What the extract holds ------------------------------------------

struct RoadWay {
    std::int64_t id = 0;
    std::vector<std::int64_t> nodes; // in driving order for one-way roads
    std::vector<Geo> points;
    RoadKind kind;
    bool oneWay = false;
    bool roundabout = false;
    bool carRoad = false; // in the routing graph
    bool unpaved = false;
    bool toll = false;
    std::string name;
};

struct Line {
    RoadKind kind;
    std::string name;
    std::vector<Geo> points;
};

struct AreaItem {
    AreaKind kind;
    std::string name;
    std::vector<Geo> outer;
};

struct PoiItem {
    std::uint16_t type = 0;
    std::string name;
    Geo at;
    std::string street;
    std::string number;
};

struct HouseItem {
    std::string street;
    std::string number;
    Geo at;
};

struct PlaceItem {
    std::string name;
    Geo at;
};

struct RestrictionItem {
    std::int64_t from = 0;
    std::int64_t via = 0;
    std::int64_t to = 0;
    bool only = false;
};

struct Coastline {
    std::vector<std::int64_t> nodes; // land on the left, water on the right
    std::vector<Geo> points;
};

struct Extract {
    Geo boxLow; // the extract's bounding box (from its header, else its data)
    Geo boxHigh;
    bool hasBox = false;
    std::vector<Coastline> coastlines;
    std::vector<RoadWay> roads;
    std::vector<Line> lines;
    std::vector<AreaItem> areas;
    std::vector<PoiItem> pois;
    std::vector<HouseItem> houses;
    std::vector<PlaceItem> places;
    std::string country;
    std::vector<RestrictionItem> restrictions;
    std::size_t skippedRestrictions = 0;
};

bool hasValue(const char* value, std::initializer_list<const char*> values) {
    if (value == nullptr) return false;
    for (const char* v : values)
        if (std::strcmp(value, v) == 0) return true;
    return false;
}

std::string text(const char* value) {
    return value != nullptr ? value : "";
}

// POI types shown even without a name: a driver looks for them by icon.
bool shownUnnamed(std::uint16_t type) {
    return type == 0x2F01 || type == 0x2F0B || type == 0xF001;
}

class Collector : public osmium::handler::Handler {
  public:
    explicit Collector(Extract& extract) : m_extract(extract) {}

    void node(const osmium::Node& node) {
        const osmium::TagList& tags = node.tags();
        if (tags.empty() || !node.location().valid()) return;
        const Geo at{node.location().lat(), node.location().lon()};
        addObject(tags, at);
        const char* place = tags.get_value_by_key("place");
        const char* name = tags.get_value_by_key("name");
        if (name == nullptr) return;
        if (hasValue(place, {"city", "town", "village", "suburb", "quarter"}))
            m_extract.places.push_back({name, at});
        else if (hasValue(place, {"country"}) && m_extract.country.empty())
            m_extract.country = name;
    }

    void way(const osmium::Way& way) {
        const osmium::TagList& tags = way.tags();
        if (tags.empty()) return;
        RoadWay road;
        road.id = way.id();
        for (const osmium::NodeRef& ref : way.nodes()) {
            if (!ref.location().valid()) return; // a way leaving the extract
            road.nodes.push_back(ref.ref());
            road.points.push_back({ref.location().lat(), ref.location().lon()});
        }
        if (road.nodes.size() < 2) return;
        if (way.is_closed()) {
            // Objects drawn as outlines (shops, hotels, houses) stand at the
            // mean of their corners.
            Geo mean;
            for (std::size_t i = 0; i + 1 < road.points.size(); ++i) {
                mean.lat += road.points[i].lat;
                mean.lon += road.points[i].lon;
            }
            const double n = static_cast<double>(road.points.size() - 1);
            addObject(tags, {mean.lat / n, mean.lon / n});
        }
        if (const std::optional<RoadKind> kind = roadKind(tags)) {
            road.kind = *kind;
            road.name = text(tags.get_value_by_key("name"));
            road.roundabout = isRoundabout(tags);
            road.carRoad = kind->routable && carsAllowed(tags);
            road.unpaved = isUnpaved(tags);
            road.toll = isToll(tags);
            const Direction direction = road.carRoad ? OsmAtlas::direction(tags) : Direction::Both;
            road.oneWay = direction != Direction::Both;
            if (direction == Direction::Backward) {
                std::reverse(road.nodes.begin(), road.nodes.end());
                std::reverse(road.points.begin(), road.points.end());
            }
            m_extract.roads.push_back(std::move(road));
        } else if (const std::optional<RoadKind> other = otherLineKind(tags)) {
            if (hasValue(tags.get_value_by_key("natural"), {"coastline"}))
                m_extract.coastlines.push_back({road.nodes, road.points});
            m_extract.lines.push_back({*other, text(tags.get_value_by_key("name")), std::move(road.points)});
        }
    }

    void area(const osmium::Area& area) {
        const std::optional<AreaKind> kind = areaKind(area.tags());
        if (!kind) return;
        // Buildings go without captions: their names would bury the streets'.
        // A highway area's name is its street's, captioned along the street.
        const std::string name = kind->type == 0x13 && (area.tags().has_key("building") || area.tags().has_key("highway"))
                                     ? std::string()
                                     : text(area.tags().get_value_by_key("name"));
        for (const osmium::OuterRing& ring : area.outer_rings()) {
            AreaItem item{*kind, name, {}};
            for (const osmium::NodeRef& ref : ring)
                item.outer.push_back({ref.location().lat(), ref.location().lon()});
            if (item.outer.size() >= 4) m_extract.areas.push_back(std::move(item));
        }
    }

    void relation(const osmium::Relation& relation) {
        const osmium::TagList& tags = relation.tags();
        if (!hasValue(tags.get_value_by_key("type"), {"restriction"})) return;
        const char* value = tags.get_value_by_key("restriction");
        if (value == nullptr) value = tags.get_value_by_key("restriction:motorcar");
        const char* except = tags.get_value_by_key("except");
        RestrictionItem item;
        int from = 0, via = 0, to = 0;
        bool viaWay = false;
        for (const osmium::RelationMember& member : relation.members()) {
            const bool way = member.type() == osmium::item_type::way;
            if (std::strcmp(member.role(), "from") == 0 && way) {
                item.from = member.ref();
                ++from;
            } else if (std::strcmp(member.role(), "to") == 0 && way) {
                item.to = member.ref();
                ++to;
            } else if (std::strcmp(member.role(), "via") == 0) {
                item.via = member.ref();
                viaWay = viaWay || way;
                ++via;
            }
        }
        const bool only = value != nullptr && std::strncmp(value, "only_", 5) == 0;
        const bool no = value != nullptr && std::strncmp(value, "no_", 3) == 0;
        if ((!only && !no) || (except != nullptr && std::strstr(except, "motorcar") != nullptr) ||
            from != 1 || to != 1 || via != 1 || viaWay) {
            ++m_extract.skippedRestrictions;
            return;
        }
        item.only = only;
        m_extract.restrictions.push_back(item);
    }

  private:
    void addObject(const osmium::TagList& tags, Geo at) {
        const std::string street = text(tags.get_value_by_key("addr:street"));
        const std::string number = text(tags.get_value_by_key("addr:housenumber"));
        if (!street.empty() && !number.empty()) m_extract.houses.push_back({street, number, at});
        const std::optional<std::uint16_t> type = poiType(tags);
        const std::string name = text(tags.get_value_by_key("name"));
        if (type && (!name.empty() || shownUnnamed(*type)))
            m_extract.pois.push_back({*type, name, at, street, number});
    }

    Extract& m_extract;
};

Extract readExtract(const std::filesystem::path& pbf) {
    if (!std::filesystem::is_regular_file(pbf)) throw std::runtime_error("cannot read " + pbf.string());
    Extract extract;
    const osmium::io::File input{pbf.string(), "pbf"};
    // Only objects that may become areas are assembled.
    osmium::TagsFilter filter{false};
    for (const char* key :
         {"building", "landuse", "natural", "leisure", "waterway", "amenity", "place", "highway"})
        filter.add_rule(true, osmium::TagMatcher{key});
    osmium::area::Assembler::config_type config;
    osmium::area::MultipolygonManager<osmium::area::Assembler> areas{config, filter};
    osmium::relations::read_relations(input, areas);

    using Index = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
    Index index;
    osmium::handler::NodeLocationsForWays<Index> locations{index};
    locations.ignore_errors();
    Collector collector{extract};
    osmium::io::Reader reader{input, osmium::io::read_meta::no};
    if (const osmium::Box box = reader.header().box(); box.valid()) {
        extract.boxLow = {box.bottom_left().lat(), box.bottom_left().lon()};
        extract.boxHigh = {box.top_right().lat(), box.top_right().lon()};
        extract.hasBox = true;
    }
    osmium::apply(reader, locations, collector, areas.handler([&collector](osmium::memory::Buffer&& buffer) {
        osmium::apply(buffer, collector);
    }));
    reader.close();
    return extract;
}

// ----- The map ----------------------------------------------------------

// Detail levels: coordinate bits and cell shift. With the default level
// scales the first is drawn below 50 m per 40 pixels, the second up to 70,
// the third up to 300, the fourth up to 1300 and the last beyond.
struct LevelSpec {
    std::uint8_t bits;
    std::uint8_t shift;
};
constexpr LevelSpec Levels[] = {{26, 10}, {24, 8}, {22, 8}, {20, 7}, {18, 6}};
constexpr std::size_t LevelCount = std::size(Levels);

// A route segment ends at the next junction, or earlier once it is this
// long: segment lengths are 16-bit metres.
constexpr double LongestSegmentMetres = 30000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

class Frame {
  public:
    Frame(LevelDescription& level, LevelSpec grid, Map::Point low, Map::Point high) {
        level.coordinateBits = grid.bits;
        level.cellShift = grid.shift;
        m_unit = std::int64_t{1} << (32 - grid.bits);
        const std::int64_t cell = m_unit << grid.shift;
        const std::int64_t x0 = floorDiv(low.x, cell) - 1;
        const std::int64_t y0 = floorDiv(low.y, cell) - 1;
        const std::int64_t width = floorDiv(high.x, cell) + 2 - x0;
        const std::int64_t height = floorDiv(high.y, cell) + 2 - y0;
        if (x0 < 0 || y0 < 0 || width > 65535 || height > 65535)
            throw std::invalid_argument("the extract does not fit a map level");
        level.originX = static_cast<std::uint32_t>(x0);
        level.originY = static_cast<std::uint32_t>(y0);
        level.width = static_cast<std::uint32_t>(width);
        level.height = static_cast<std::uint32_t>(height);
        m_originX = x0 * cell;
        m_originY = y0 * cell;
    }

    LevelPoint at(Map::Point g) const {
        return {floorDiv(g.x - m_originX + m_unit / 2, m_unit),
                floorDiv(g.y - m_originY + m_unit / 2, m_unit)};
    }

  private:
    std::int64_t m_unit = 1;
    std::int64_t m_originX = 0;
    std::int64_t m_originY = 0;
};

Map::Point global(Geo g) {
    return Map::Projection::fromGeo(static_cast<float>(g.lat), static_cast<float>(g.lon));
}

void dropRepeats(std::vector<LevelPoint>& points) {
    points.erase(std::unique(points.begin(), points.end()), points.end());
}

// Douglas-Peucker: keeps the points further than `tolerance` level units
// from the line that the kept points draw.
void simplify(const std::vector<LevelPoint>& in, std::size_t first, std::size_t last, double tolerance,
              std::vector<bool>& keep) {
    if (last <= first + 1) return;
    const double ax = static_cast<double>(in[first].x), ay = static_cast<double>(in[first].y);
    const double dx = static_cast<double>(in[last].x) - ax, dy = static_cast<double>(in[last].y) - ay;
    const double length = std::hypot(dx, dy);
    double worst = -1;
    std::size_t at = first;
    for (std::size_t i = first + 1; i < last; ++i) {
        const double px = static_cast<double>(in[i].x) - ax, py = static_cast<double>(in[i].y) - ay;
        const double d = length > 0 ? std::abs(px * dy - py * dx) / length : std::hypot(px, py);
        if (d > worst) {
            worst = d;
            at = i;
        }
    }
    if (worst <= tolerance) return;
    keep[at] = true;
    simplify(in, first, at, tolerance, keep);
    simplify(in, at, last, tolerance, keep);
}

std::vector<LevelPoint> simplified(const std::vector<LevelPoint>& in, double tolerance) {
    if (in.size() < 3 || tolerance <= 0) return in;
    std::vector<bool> keep(in.size(), false);
    keep.front() = keep.back() = true;
    simplify(in, 0, in.size() - 1, tolerance, keep);
    std::vector<LevelPoint> out;
    for (std::size_t i = 0; i < in.size(); ++i)
        if (keep[i]) out.push_back(in[i]);
    return out;
}

// Routing knows a roundabout by its line type alone (0x0C): a roundabout
// that kept a larger road's type had every node on it announced as an entry
// and its exit never counted.
std::uint8_t lineType(const RoadKind& kind, bool roundabout) {
    return roundabout ? 0x0C : kind.lineType;
}

// The sea of an extract: its coastline pieces joined end to end, each open
// chain closed along the extract's box so that the water on the chain's
// right is inside. Walking the box clockwise from a chain's end leads to the
// next chain's start. Islands (closed chains) are left to the land colour.
std::vector<std::vector<Geo>> seaRings(const Extract& extract, Geo low, Geo high) {
    std::vector<Coastline> chains;
    std::vector<bool> used(extract.coastlines.size(), false);
    for (std::size_t i = 0; i < extract.coastlines.size(); ++i) {
        if (used[i]) continue;
        used[i] = true;
        Coastline chain = extract.coastlines[i];
        for (bool grown = true; grown && chain.nodes.front() != chain.nodes.back();) {
            grown = false;
            for (std::size_t j = 0; j < extract.coastlines.size(); ++j) {
                const Coastline& next = extract.coastlines[j];
                if (used[j]) continue;
                if (next.nodes.front() == chain.nodes.back()) {
                    chain.nodes.insert(chain.nodes.end(), next.nodes.begin() + 1, next.nodes.end());
                    chain.points.insert(chain.points.end(), next.points.begin() + 1, next.points.end());
                } else if (next.nodes.back() == chain.nodes.front()) {
                    chain.nodes.insert(chain.nodes.begin(), next.nodes.begin(), next.nodes.end() - 1);
                    chain.points.insert(chain.points.begin(), next.points.begin(), next.points.end() - 1);
                } else {
                    continue;
                }
                used[j] = grown = true;
            }
        }
        if (chain.nodes.front() != chain.nodes.back()) chains.push_back(std::move(chain));
    }
    if (chains.empty()) return {};
    // Position along the box, clockwise from its north-west corner.
    const double w = high.lon - low.lon, h = high.lat - low.lat;
    const auto along = [&](Geo g) {
        const double top = high.lat - g.lat, right = high.lon - g.lon, bottom = g.lat - low.lat,
                     left = g.lon - low.lon;
        const double nearest = std::min({std::abs(top), std::abs(right), std::abs(bottom), std::abs(left)});
        if (nearest == std::abs(top)) return std::clamp(g.lon - low.lon, 0.0, w);
        if (nearest == std::abs(right)) return w + std::clamp(high.lat - g.lat, 0.0, h);
        if (nearest == std::abs(bottom)) return w + h + std::clamp(high.lon - g.lon, 0.0, w);
        return 2 * w + h + std::clamp(g.lat - low.lat, 0.0, h);
    };
    const Geo corners[4] = {
        {high.lat, low.lon}, {high.lat, high.lon}, {low.lat, high.lon}, {low.lat, low.lon}};
    const double cornerAt[4] = {0, w, w + h, 2 * w + h};
    const double perimeter = 2 * (w + h);
    std::vector<std::vector<Geo>> rings;
    std::vector<bool> placed(chains.size(), false);
    for (std::size_t first = 0; first < chains.size(); ++first) {
        if (placed[first]) continue;
        std::vector<Geo> ring;
        for (std::size_t at = first; !placed[at];) {
            placed[at] = true;
            ring.insert(ring.end(), chains[at].points.begin(), chains[at].points.end());
            const double from = along(chains[at].points.back());
            // The next start clockwise from this end (possibly this chain's).
            std::size_t next = at;
            double best = perimeter + 1;
            for (std::size_t k = 0; k < chains.size(); ++k) {
                const double d = std::fmod(along(chains[k].points.front()) - from + perimeter, perimeter);
                if ((k == first || !placed[k]) && d < best) {
                    best = d;
                    next = k;
                }
            }
            std::vector<std::pair<double, int>> passed;
            for (int c = 0; c < 4; ++c)
                if (const double d = std::fmod(cornerAt[c] - from + perimeter, perimeter); d > 0 && d < best)
                    passed.push_back({d, c});
            std::sort(passed.begin(), passed.end());
            for (const auto& [d, c] : passed)
                ring.push_back(corners[c]);
            at = next;
        }
        rings.push_back(std::move(ring));
    }
    return rings;
}

// Open water without an outline: the sea is cut into cells, whose borders
// must not show.
constexpr std::uint8_t SeaType = 0x46;

// The least distance between two POI icons of one level: about 16 pixels
// at the smaller scales the level is drawn at.
constexpr double PoiSpacingMetres[] = {16, 40, 150, 700, 2000};

int poiRank(std::uint16_t type) {
    switch (type) {
    case 0x3002: // hospital
    case 0x2F01: // fuel
    case 0xF001: // speed camera
        return 0;
    case 0x0000: // other
        return 2;
    default:
        return 1;
    }
}

struct SegmentInfo {
    std::uint32_t id = 0;
    std::int64_t from = 0; // OSM node ids, in the segment's direction
    std::int64_t to = 0;
};

class Builder {
  public:
    explicit Builder(const Extract& extract) : m_extract(extract) {}

    Import build() {
        m_import.map.mapId = 1;
        m_import.map.mapType = 0;
        makeFrames();
        addRoads();
        addRestrictions();
        addLines();
        addSea();
        addAreas();
        addAddresses();
        m_import.map.levels.assign(m_levels, m_levels + LevelCount);
        m_import.map.roads = std::move(m_graph);
        m_import.map.copyright = CopyrightDescription{{}, u"\u00a9 OpenStreetMap contributors, ODbL 1.0"};
        addSearchSections(m_import.map);
        return std::move(m_import);
    }

  private:
    void makeFrames() {
        Map::Point low{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()};
        Map::Point high{std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min()};
        const auto extend = [&](Geo g) {
            const Map::Point p = global(g);
            low = {std::min(low.x, p.x), std::min(low.y, p.y)};
            high = {std::max(high.x, p.x), std::max(high.y, p.y)};
        };
        for (const RoadWay& road : m_extract.roads)
            for (const Geo& g : road.points)
                extend(g);
        for (const Line& line : m_extract.lines)
            for (const Geo& g : line.points)
                extend(g);
        for (const AreaItem& area : m_extract.areas)
            for (const Geo& g : area.outer)
                extend(g);
        for (const PoiItem& poi : m_extract.pois)
            extend(poi.at);
        for (const HouseItem& house : m_extract.houses)
            extend(house.at);
        if (low.x > high.x) throw std::invalid_argument("the extract holds nothing to draw");
        if (m_extract.hasBox) {
            extend(m_extract.boxLow);
            extend(m_extract.boxHigh);
        }
        for (std::size_t i = 0; i < LevelCount; ++i)
            m_frames.emplace_back(m_levels[i], Levels[i], low, high);
    }

    std::vector<LevelPoint> levelPoints(std::size_t level, const std::vector<Geo>& points) const {
        std::vector<LevelPoint> out;
        for (const Geo& g : points)
            out.push_back(m_frames[level].at(global(g)));
        dropRepeats(out);
        return level == 0 ? out : simplified(out, 1.0);
    }

    std::uint32_t graphNode(std::int64_t osmNode, Geo at) {
        const auto [found, added] = m_import.graphNodes.emplace(osmNode, 0);
        if (!added) return found->second;
        LevelPlacer placer(m_levels[0]);
        const auto [cx, cy] = placer.cellOf(m_frames[0].at(global(at)));
        found->second = static_cast<std::uint32_t>(m_graph.nodes.size());
        m_graph.nodes.push_back({cx, cy, 1});
        return found->second;
    }

    // Junctions: nodes that two car roads (or one road twice) share, the
    // ends of every car road and the via nodes of turn restrictions.
    std::unordered_map<std::int64_t, int> junctions() const {
        std::unordered_map<std::int64_t, int> uses;
        for (const RoadWay& road : m_extract.roads) {
            if (!road.carRoad) continue;
            for (const std::int64_t node : road.nodes)
                ++uses[node];
            uses[road.nodes.front()] += 2;
            uses[road.nodes.back()] += 2;
        }
        for (const RestrictionItem& r : m_extract.restrictions)
            if (const auto found = uses.find(r.via); found != uses.end()) found->second += 2;
        return uses;
    }

    void addRoads() {
        const std::unordered_map<std::int64_t, int> uses = junctions();
        LevelPlacer detail(m_levels[0]);
        std::uint32_t segmentId = 0;
        for (const RoadWay& road : m_extract.roads) {
            const std::uint32_t caption = m_import.map.strings.add(road.name);
            Polyline style;
            style.caption = caption;
            style.type = lineType(road.kind, road.roundabout && road.carRoad);
            style.oneWay = road.oneWay;
            for (std::size_t level = 1; level <= road.kind.coarsestLevel && level < LevelCount; ++level) {
                const std::vector<LevelPoint> points = levelPoints(level, road.points);
                if (points.size() >= 2) LevelPlacer(m_levels[level]).addPolyline(style, points);
            }
            if (!road.carRoad) {
                const std::vector<LevelPoint> points = levelPoints(0, road.points);
                if (points.size() >= 2) detail.addPolyline(style, points);
                continue;
            }
            ++m_import.counts.roads;
            RoadChain chain;
            chain.attributes.routingClass = road.kind.routingClass;
            chain.attributes.twoWay = !road.oneWay;
            chain.attributes.roundabout = road.roundabout;
            chain.attributes.unpaved = road.unpaved;
            chain.attributes.toll = road.toll;
            std::vector<SegmentInfo>& segments = m_segmentsOfWay[road.id];
            std::size_t start = 0;
            double metres = 0;
            for (std::size_t i = 1; i < road.nodes.size(); ++i) {
                metres += metresBetween(road.points[i - 1], road.points[i]);
                const bool last = i + 1 == road.nodes.size();
                const bool junction = uses.at(road.nodes[i]) >= 2;
                if (!last && !junction && metres < LongestSegmentMetres) continue;
                if (chain.nodes.empty())
                    chain.nodes.push_back(graphNode(road.nodes[start], road.points[start]));
                chain.nodes.push_back(graphNode(road.nodes[i], road.points[i]));
                style.road = segmentId;
                RoadSegment segment;
                segment.lengthMetres = static_cast<std::uint16_t>(std::lround(metres));
                const std::vector<Geo> piece(road.points.begin() + static_cast<std::ptrdiff_t>(start),
                                             road.points.begin() + static_cast<std::ptrdiff_t>(i) + 1);
                const std::vector<LevelPoint> points = levelPoints(0, piece);
                if (points.size() >= 2) segment.shape = detail.addPolyline(style, points);
                chain.segments.push_back(std::move(segment));
                segments.push_back({segmentId, road.nodes[start], road.nodes[i]});
                m_segmentsAt[road.nodes[start]].push_back(segmentId);
                m_segmentsAt[road.nodes[i]].push_back(segmentId);
                ++segmentId;
                start = i;
                metres = 0;
                // A chain holds at most 255 segments.
                if (chain.segments.size() == 255 && !last) {
                    m_graph.chains.push_back(std::move(chain));
                    chain.nodes = {m_graph.chains.back().nodes.back()};
                    chain.segments.clear();
                }
            }
            m_import.counts.segments += chain.segments.size();
            if (!chain.segments.empty()) m_graph.chains.push_back(std::move(chain));
        }
    }

    // Via-node restrictions between car roads: the path is the from road's
    // segment that ends at the via node, the forbidden segments those of the
    // to road there (no_*) or every other segment there (only_*). The path
    // itself is never listed: the route search does not turn back along it
    // at the via node in any case. A restriction from a road onto itself
    // (no_u_turn) is left out for the same reason.
    void addRestrictions() {
        for (const RestrictionItem& r : m_extract.restrictions) {
            const auto fromWay = m_segmentsOfWay.find(r.from);
            const auto toWay = m_segmentsOfWay.find(r.to);
            std::vector<const SegmentInfo*> from, to;
            if (fromWay != m_segmentsOfWay.end())
                for (const SegmentInfo& s : fromWay->second)
                    if (s.from == r.via || s.to == r.via) from.push_back(&s);
            if (toWay != m_segmentsOfWay.end())
                for (const SegmentInfo& s : toWay->second)
                    if (s.from == r.via || s.to == r.via) to.push_back(&s);
            if (r.from == r.to || from.size() != 1 || to.empty()) {
                ++m_import.counts.skippedRestrictions;
                continue;
            }
            const SegmentInfo& path = *from.front();
            const std::int64_t start = path.from == r.via ? path.to : path.from;
            TurnRestriction restriction;
            restriction.node = m_import.graphNodes.at(start);
            restriction.path = {path.id};
            const auto named = [&to](std::uint32_t id) {
                return std::any_of(to.begin(), to.end(), [id](const SegmentInfo* s) { return s->id == id; });
            };
            if (r.only) {
                for (const std::uint32_t id : m_segmentsAt.at(r.via))
                    if (id != path.id && !named(id) &&
                        std::find(restriction.forbidden.begin(), restriction.forbidden.end(), id) ==
                            restriction.forbidden.end())
                        restriction.forbidden.push_back(id);
            } else {
                for (const SegmentInfo* s : to)
                    if (s->id != path.id) restriction.forbidden.push_back(s->id);
            }
            if (restriction.forbidden.empty()) {
                ++m_import.counts.skippedRestrictions;
                continue;
            }
            m_graph.restrictions.push_back(std::move(restriction));
            ++m_import.counts.restrictions;
        }
        m_import.counts.skippedRestrictions += m_extract.skippedRestrictions;
    }

    void addLines() {
        for (const Line& line : m_extract.lines) {
            Polyline style;
            style.caption = m_import.map.strings.add(line.name);
            style.type = line.kind.lineType;
            for (std::size_t level = 0; level <= line.kind.coarsestLevel && level < LevelCount; ++level) {
                const std::vector<LevelPoint> points = levelPoints(level, line.points);
                if (points.size() >= 2) LevelPlacer(m_levels[level]).addPolyline(style, points);
            }
        }
    }

    void addAreas() {
        for (const AreaItem& area : m_extract.areas) {
            Polygon style;
            style.caption = m_import.map.strings.add(area.name);
            style.type = area.kind.type;
            ++m_import.counts.areas;
            for (std::size_t level = 0; level <= area.kind.coarsestLevel && level < LevelCount; ++level) {
                std::vector<LevelPoint> ring = levelPoints(level, area.outer);
                while (ring.size() > 1 && ring.front() == ring.back())
                    ring.pop_back();
                if (ring.size() < 3) continue;
                const auto [minX, maxX] =
                    std::minmax_element(ring.begin(), ring.end(), [](auto& a, auto& b) { return a.x < b.x; });
                const auto [minY, maxY] =
                    std::minmax_element(ring.begin(), ring.end(), [](auto& a, auto& b) { return a.y < b.y; });
                // Areas smaller than two units either way vanish at the level.
                if (level > 0 && maxX->x - minX->x < 2 && maxY->y - minY->y < 2) continue;
                LevelPlacer(m_levels[level]).addClippedPolygon(style, ring);
            }
        }
    }

    void addSea() {
        Geo low = m_extract.boxLow, high = m_extract.boxHigh;
        if (!m_extract.hasBox) {
            low = {90, 180};
            high = {-90, -180};
            for (const RoadWay& road : m_extract.roads)
                for (const Geo& g : road.points) {
                    low = {std::min(low.lat, g.lat), std::min(low.lon, g.lon)};
                    high = {std::max(high.lat, g.lat), std::max(high.lon, g.lon)};
                }
        }
        if (!(low.lat < high.lat && low.lon < high.lon)) return;
        for (const std::vector<Geo>& ring : seaRings(m_extract, low, high)) {
            Polygon style;
            style.type = SeaType;
            for (std::size_t level = 0; level < LevelCount; ++level) {
                std::vector<LevelPoint> points = levelPoints(level, ring);
                if (points.size() >= 3) LevelPlacer(m_levels[level]).addClippedPolygon(style, points);
            }
        }
    }

    std::size_t nearestCity(Geo at) const {
        std::size_t best = 0;
        double bestMetres = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < m_cities.size(); ++i) {
            const double d = metresBetween(at, m_cities[i].at);
            if (d < bestMetres) {
                bestMetres = d;
                best = i;
            }
        }
        return best;
    }

    std::uint32_t streetRecord(const std::string& name, Geo at, bool create) {
        auto& records = m_streets[name];
        const std::size_t city = nearestCity(at);
        for (const auto& [recordCity, offset, position] : records)
            if (recordCity == city) return offset;
        if (!create && !records.empty()) {
            // A house whose nearest place differs from its street's.
            double best = std::numeric_limits<double>::infinity();
            std::uint32_t offset = 0;
            for (const auto& [recordCity, recordOffset, position] : records)
                if (const double d = metresBetween(at, position); d < best) {
                    best = d;
                    offset = recordOffset;
                }
            return offset;
        }
        const Map::Point p = global(at);
        const std::uint32_t offset = m_import.map.address.addStreet(m_import.map.strings.add(name), m_country,
                                                                    0, 0, m_cities[city].offset, p.x, p.y);
        records.push_back({city, offset, at});
        ++m_import.counts.streets;
        return offset;
    }

    void addAddresses() {
        StringTable& strings = m_import.map.strings;
        AddressBuilder& address = m_import.map.address;
        m_country = m_extract.country.empty() ? 0 : address.addCountry(strings.add(m_extract.country));
        std::vector<PlaceItem> places = m_extract.places;
        if (places.empty())
            places.push_back({m_extract.country,
                              m_extract.roads.empty() ? Geo{} : m_extract.roads.front().points.front()});
        for (const PlaceItem& place : places) {
            const Map::Point p = global(place.at);
            m_cities.push_back(
                {place.at, address.addCity(strings.add(place.name), m_country, 0, 0, p.x, p.y)});
        }
        // A street's square holds every way of its name near its place, a
        // place's square its streets: what the map shows of a chosen one.
        for (const RoadWay& road : m_extract.roads)
            if (!road.name.empty() && road.kind.lineType != 0x16) {
                const std::uint32_t street = streetRecord(road.name, road.points[road.points.size() / 2], true);
                for (const Geo& g : road.points) {
                    const Map::Point p = global(g);
                    address.extendStreet(street, p.x, p.y);
                }
            }
        for (const auto& [name, records] : m_streets)
            for (const StreetRecord& record : records) {
                const AddressBuilder::Street& street = address.streets.at((record.offset - 4) / 39);
                const std::int64_t e = street.extent;
                for (const std::int64_t dx : {-e, e})
                    for (const std::int64_t dy : {-e, e})
                        address.extendCity(m_cities[record.city].offset, static_cast<std::int32_t>(street.x + dx),
                                           static_cast<std::int32_t>(street.y + dy));
            }

        // Houses grouped by street, in house-number order.
        std::map<std::uint32_t, std::vector<const HouseItem*>> houses;
        for (const HouseItem& house : m_extract.houses)
            houses[streetRecord(house.street, house.at, false)].push_back(&house);
        for (auto& [street, list] : houses) {
            std::stable_sort(list.begin(), list.end(), [](const HouseItem* a, const HouseItem* b) {
                const long na = std::atol(a->number.c_str()), nb = std::atol(b->number.c_str());
                return na != nb ? na < nb : a->number < b->number;
            });
            for (const HouseItem* house : list) {
                const Map::Point p = global(house->at);
                address.addHouse(street, strings.add(house->number), p.x, p.y);
                ++m_import.counts.houses;
            }
        }

        // Important kinds first: they keep their place when icons crowd.
        std::vector<const PoiItem*> pois;
        for (const PoiItem& poi : m_extract.pois)
            pois.push_back(&poi);
        std::stable_sort(pois.begin(), pois.end(), [](const PoiItem* a, const PoiItem* b) {
            return poiRank(a->type) < poiRank(b->type);
        });
        std::vector<std::vector<Geo>> shown(LevelCount);
        for (const PoiItem* poi : pois) {
            ObjectDescription object;
            object.name = strings.add(poi->name);
            object.city = m_cities[nearestCity(poi->at)].offset;
            object.type = poi->type;
            if (!poi->street.empty()) {
                object.street = streetRecord(poi->street, poi->at, false);
                object.addressText =
                    strings.add(poi->number.empty() ? poi->street : poi->street + " " + poi->number);
            }
            const Map::Point p = global(poi->at);
            object.x = p.x;
            object.y = p.y;
            address.extendCity(object.city, p.x, p.y);
            const std::uint32_t record = address.addObject(object);
            ++m_import.counts.pois;
            // Each level shows a POI only where no other icon is drawn
            // close by at the scales it serves; the coarser levels keep the
            // kinds a driver looks for from afar.
            for (std::size_t level = 0; level < LevelCount; ++level) {
                if (level > 2 && poiRank(poi->type) > 0) break;
                const bool crowded = std::any_of(shown[level].begin(), shown[level].end(), [&](Geo other) {
                    return metresBetween(other, poi->at) < PoiSpacingMetres[level];
                });
                if (crowded) break;
                shown[level].push_back(poi->at);
                LevelPlacer(m_levels[level])
                    .addPoint({object.name, record, poi->type, {}}, m_frames[level].at(p));
            }
        }
    }

    struct City {
        Geo at;
        std::uint32_t offset = 0;
    };
    struct StreetRecord {
        std::size_t city = 0;
        std::uint32_t offset = 0;
        Geo at;
    };

    const Extract& m_extract;
    Import m_import;
    LevelDescription m_levels[LevelCount];
    std::vector<Frame> m_frames;
    RoadGraph m_graph;
    std::unordered_map<std::int64_t, std::vector<SegmentInfo>> m_segmentsOfWay;
    std::unordered_map<std::int64_t, std::vector<std::uint32_t>> m_segmentsAt;
    std::vector<City> m_cities;
    std::map<std::string, std::vector<StreetRecord>> m_streets;
    std::uint32_t m_country = 0;
};

} // namespace

Import import(const std::filesystem::path& pbf) {
    const Extract extract = readExtract(pbf);
    return Builder(extract).build();
}

std::string mapFileName(const std::filesystem::path& pbf) {
    std::string name = pbf.filename().string();
    for (const char* suffix : {".pbf", ".osm"})
        if (name.size() > std::strlen(suffix) && name.ends_with(suffix))
            name.resize(name.size() - std::strlen(suffix));
    return name + ".kvm";
}

Import write(const std::filesystem::path& pbf, const std::filesystem::path& folder) {
    Import imported = import(pbf);
    std::filesystem::create_directories(folder);
    writeMapFile(folder / mapFileName(pbf), imported.map);
    return imported;
}

} // namespace OsmAtlas
