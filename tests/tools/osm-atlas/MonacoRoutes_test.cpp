// Routes over the Monaco map that tools/osm-atlas writes, checked against a
// plain Dijkstra that this test runs over the OpenStreetMap ways themselves
// (read here with libosmium, by its own reading of the car-road tags). The
// pairs are seeded; MIREL_TEST_SEED changes the seed.

#include "core/ConfigNode.h"
#include "map/KVAtlas.h"
#include "map/Projection.h"
#include "routing/AtlasRoute.h"
#include "routing/NearestRoad.h"
#include "routing/RoadMap.h"
#include "routing/RoadMapHolder.h"
#include "routing/RouteComputation.h"
#include "tests/map/AtlasFixture.h"
#include "tests/routing/RoadMapFixture.h"
#include "tools/mapwriter/MapWriter.h"
#include "tools/osm-atlas/OsmAtlas.h"

#include "tests/support/OsmExtract.h"

#include <osmium/handler.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <queue>
#include <random>
#include <set>
#include <tuple>

namespace {

using namespace Map::Routing;
using RoutingTest::MapOnDisk;
using RoutingTest::TestAtlas;

const std::filesystem::path Extract = std::filesystem::path(MIREL_SOURCE_DIR) / "data/sources/monaco.osm.pbf";

bool oneOf(const char* value, std::set<std::string> values) {
    return value != nullptr && values.contains(value);
}

struct Edge {
    std::int64_t to = 0;
    std::int64_t way = 0;
    double metres = 0;
};

struct Restriction {
    std::int64_t from = 0, via = 0, to = 0;
    bool only = false;
};

// The car network as OpenStreetMap tags describe it.
class OsmRoads : public osmium::handler::Handler {
  public:
    void way(const osmium::Way& way) {
        const osmium::TagList& tags = way.tags();
        const std::set<std::string> roads = {
            "motorway",       "trunk",         "primary",      "secondary",
            "tertiary",       "motorway_link", "trunk_link",   "primary_link",
            "secondary_link", "tertiary_link", "unclassified", "residential",
            "living_street",  "road",          "service",      "track"};
        // A square (area=yes) is driven round along its outline.
        if (!oneOf(tags["highway"], roads)) return;
        // The common car-routing rule: a track only where a tag opens it.
        const bool track = oneOf(tags["highway"], {"track"});
        bool opened = !track;
        for (const char* key : {"motorcar", "motor_vehicle", "vehicle", "access"})
            if (const char* v = tags[key]) {
                if (track && std::strcmp(key, "vehicle") == 0) continue;
                if (!oneOf(v, {"yes", "designated", "permissive", "destination", "customers"})) return;
                opened = true;
                break;
            }
        if (!opened) return;
        const char* oneway = tags["oneway"];
        bool forward = true, backward = true;
        if (oneOf(oneway, {"yes", "true", "1"}))
            backward = false;
        else if (oneOf(oneway, {"-1", "reverse"}))
            forward = false;
        else if (!oneOf(oneway, {"no", "false", "0"}) &&
                 (oneOf(tags["junction"], {"roundabout", "circular"}) ||
                  oneOf(tags["highway"], {"motorway"})))
            backward = false;
        std::vector<std::int64_t>& nodes = wayNodes[way.id()];
        for (const osmium::NodeRef& n : way.nodes()) {
            if (!n.location().valid()) {
                wayNodes.erase(way.id());
                return;
            }
            nodes.push_back(n.ref());
            at[n.ref()] = n.location();
        }
        uses[nodes.front()] += 2;
        uses[nodes.back()] += 2;
        for (const std::int64_t n : nodes)
            ++uses[n];
        for (std::size_t i = 1; i < nodes.size(); ++i) {
            const double m = metres(at[nodes[i - 1]], at[nodes[i]]);
            if (forward) out[nodes[i - 1]].push_back({nodes[i], way.id(), m});
            if (backward) out[nodes[i]].push_back({nodes[i - 1], way.id(), m});
        }
    }

    void relation(const osmium::Relation& relation) {
        const osmium::TagList& tags = relation.tags();
        const char* value = tags["restriction"] ? tags["restriction"] : tags["restriction:motorcar"];
        if (!oneOf(tags["type"], {"restriction"}) || value == nullptr ||
            (tags["except"] && std::strstr(tags["except"], "motorcar")))
            return;
        Restriction r;
        r.only = std::strncmp(value, "only_", 5) == 0;
        if (!r.only && std::strncmp(value, "no_", 3) != 0) return;
        int count = 0;
        for (const osmium::RelationMember& m : relation.members()) {
            const bool way = m.type() == osmium::item_type::way;
            const std::string role = m.role();
            if (role == "from" && way) r.from = m.ref(), count += 1;
            if (role == "to" && way) r.to = m.ref(), count += 10;
            if (role == "via") r.via = way ? -1 : m.ref(), count += 100;
        }
        if (count == 111 && r.via > 0) pending.push_back(r);
    }

    // Keeps the restrictions that a car on the from road meets at its end.
    void finish() {
        for (const Restriction& r : pending) {
            const auto from = wayNodes.find(r.from);
            const auto to = wayNodes.find(r.to);
            if (r.from == r.to || from == wayNodes.end() || to == wayNodes.end()) continue;
            const std::vector<std::int64_t>& f = from->second;
            if (f.front() == f.back() || (f.front() != r.via && f.back() != r.via)) continue;
            if (std::find(to->second.begin(), to->second.end(), r.via) == to->second.end()) continue;
            restrictions.push_back(r);
        }
    }

    static double metres(osmium::Location a, osmium::Location b) {
        // Equirectangular at the mean latitude: exact enough for the short
        // steps of a way.
        const double rad = std::acos(-1.0) / 180, radius = 6371008.8;
        const double x = (b.lon() - a.lon()) * rad * std::cos((a.lat() + b.lat()) / 2 * rad);
        const double y = (b.lat() - a.lat()) * rad;
        return radius * std::hypot(x, y);
    }

    // A node where a car can turn round: a junction or the end of a road.
    bool junction(std::int64_t node) const { return uses.at(node) >= 2; }

    std::map<std::int64_t, osmium::Location> at;
    std::map<std::int64_t, int> uses;
    std::map<std::int64_t, std::vector<std::int64_t>> wayNodes;
    std::map<std::int64_t, std::vector<Edge>> out;
    std::vector<Restriction> pending, restrictions;
};

const OsmRoads& osmRoads() {
    static const OsmRoads roads = [] {
        OsmRoads r;
        TestSupport::readOsmExtract(Extract, r);
        r.finish();
        return r;
    }();
    return roads;
}

// Shortest distance from one node to another over the ways, a state being
// (node, road arrived on, node before) so that turns can be forbidden. A car
// turns round only at a junction or a road's end, and not where a turn
// restriction holds it. < 0: unreachable.
double dijkstra(const OsmRoads& roads, std::int64_t from, std::int64_t to, bool restricted) {
    using State = std::tuple<std::int64_t, std::int64_t, std::int64_t>;
    std::map<State, double> best;
    std::priority_queue<std::pair<double, State>, std::vector<std::pair<double, State>>, std::greater<>>
        queue;
    queue.push({0.0, {from, 0, 0}});
    best[{from, 0, 0}] = 0;
    while (!queue.empty()) {
        const auto [d, state] = queue.top();
        queue.pop();
        const auto [node, way, before] = state;
        if (d > best[state]) continue;
        if (node == to) return d;
        const auto edges = roads.out.find(node);
        if (edges == roads.out.end()) continue;
        for (const Edge& e : edges->second) {
            bool allowed = e.to != before || roads.junction(node);
            for (const Restriction& r : roads.restrictions)
                if (restricted && r.from == way && r.via == node)
                    allowed = allowed && e.to != before && (r.only ? e.way == r.to : e.way != r.to);
            const State next{e.to, e.way, node};
            const auto known = best.find(next);
            if (allowed && (known == best.end() || d + e.metres < known->second)) {
                best[next] = d + e.metres;
                queue.push({d + e.metres, next});
            }
        }
    }
    return -1;
}

struct MonacoGraph {
    MonacoGraph() : imported(OsmAtlas::import(Extract)), disk(MapWriting::writeMap(imported.map).bytes) {
        EXPECT_EQ(RoadMap::load(*disk.slot, atlas), 0);
    }
    RoadMap& map() { return *disk.slot->graph(); }
    std::uint32_t node(std::int64_t osm) const { return imported.graphNodes.at(osm); }

    OsmAtlas::Import imported;
    TestAtlas atlas{64 << 20}; // outlives the graph charged to its heap
    MapOnDisk disk;
};

std::uint64_t seed() {
    const char* text = std::getenv("MIREL_TEST_SEED");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 20261207;
}

// The 50 seeded pairs of graph nodes (OSM ids) the route tests drive.
std::vector<std::pair<std::int64_t, std::int64_t>> seededPairs(const MonacoGraph& graph) {
    std::vector<std::int64_t> nodes;
    for (const auto& [osm, id] : graph.imported.graphNodes)
        nodes.push_back(osm);
    std::sort(nodes.begin(), nodes.end());
    std::mt19937_64 random(seed());
    std::vector<std::pair<std::int64_t, std::int64_t>> pairs;
    for (int pair = 0; pair < 50; ++pair) {
        const std::int64_t a = nodes[random() % nodes.size()], b = nodes[random() % nodes.size()];
        pairs.emplace_back(a, b);
    }
    return pairs;
}

TEST(MonacoRoutes, ShortestDistancesMatchTheWays) {
    MonacoGraph graph;
    ASSERT_NE(graph.disk.slot->graph(), nullptr);
    const OsmRoads& roads = osmRoads();
    int reached = 0;
    for (const auto& [a, b] : seededPairs(graph)) {
        std::uint32_t length = 0;
        const std::vector<std::uint32_t> found =
            RoutingTest::route(graph.map(), graph.node(a), graph.node(b), &length);
        const double expected = dijkstra(roads, a, b, true);
        SCOPED_TRACE(testing::Message() << "seed " << seed() << ", OSM nodes " << a << " to " << b);
        ASSERT_EQ(found.empty() && a != b, expected < 0);
        if (expected < 0) continue;
        ++reached;
        EXPECT_NEAR(length, expected, 1.0 + static_cast<double>(found.size()));
    }
    // Monaco's streets are one network; only the odd private enclave or
    // one-way dead end is out of reach.
    EXPECT_GE(reached, 30);
}

// The time of a route by the speeds the search weighs the road classes with
// (time units, summed as the search sums its mode-1 costs on roads of
// neutral quality, which every imported road has).
std::int64_t drivingTime(const RoadMap& map, const std::vector<std::uint32_t>& segments) {
    std::int64_t units = 0;
    for (const std::uint32_t s : segments) {
        const RoadGraph::SegmentRecord* head = map.segmentHeadRecord(s);
        EXPECT_NE(head, nullptr);
        if (head == nullptr) return -1;
        EXPECT_EQ(head->attributes.quality & 0x07, 4);
        units += Map::Routing::travelTime(head->attributes.road, head->length);
    }
    return units;
}

// Over the seeded pairs the fastest route never takes longer than the
// shortest, and the shortest is never longer than the fastest; the two
// differ on enough pairs for the check to weigh something.
TEST(MonacoRoutes, TheFastestRouteIsNeverSlowerThanTheShortest) {
    MonacoGraph graph;
    ASSERT_NE(graph.disk.slot->graph(), nullptr);
    RoutingParams fastest = RoutingTest::lengthParams();
    fastest.routing_mode = 1;
    int compared = 0, faster = 0;
    for (const auto& [a, b] : seededPairs(graph)) {
        SCOPED_TRACE(testing::Message() << "seed " << seed() << ", OSM nodes " << a << " to " << b);
        std::uint32_t shortLength = 0, fastLength = 0;
        const std::vector<std::uint32_t> shortRoute =
            RoutingTest::route(graph.map(), graph.node(a), graph.node(b), &shortLength);
        const std::vector<std::uint32_t> fastRoute =
            RoutingTest::route(graph.map(), graph.node(a), graph.node(b), &fastLength, fastest);
        ASSERT_EQ(shortRoute.empty(), fastRoute.empty());
        if (shortRoute.empty()) continue;
        ++compared;
        const std::int64_t shortTime = drivingTime(graph.map(), shortRoute);
        const std::int64_t fastTime = drivingTime(graph.map(), fastRoute);
        EXPECT_LE(fastTime, shortTime);
        EXPECT_LE(shortLength, fastLength);
        faster += fastTime < shortTime;
    }
    EXPECT_GE(compared, 30);
    EXPECT_GE(faster, 10);
}

// A finish on a junction where a motorway link meets a one-way roundabout:
// bound to the junction, the route may arrive by any of its roads, so it is
// as long as the ways' shortest one and never drives round the roundabout
// to come in along the road the point was found on.
TEST(MonacoRoutes, AFinishOnAJunctionIsReachedByAnyOfItsRoads) {
    const OsmRoads& roads = osmRoads();
    AtlasTest::AtlasSetup setup;
    setup.config.root()->set("win_route_heap", 16384);
    setup.config.root()->child("Routing")->set("routing_mode", 0); // the shortest way, as the reference
    const std::filesystem::path folder = setup.copyOf(MIREL_MONACO_ATLAS_DIR);
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(AtlasTest::wide(folder)));
    const auto bind = [&](osmium::Location at) {
        Map::Routing::RoadBinding binding;
        EXPECT_TRUE(Map::Routing::bindToNearestRoad(
            *atlas, Map::Projection::fromGeo(static_cast<float>(at.lat()), static_cast<float>(at.lon())), binding));
        return boundPoint(*atlas, binding);
    };
    // The OSM node at the junction.
    const osmium::Location junction{7.3844655, 43.7473389};
    std::int64_t finishNode = 0;
    double nearest = 1e9;
    for (const auto& [id, at] : roads.at)
        if (roads.out.contains(id) && OsmRoads::metres(at, junction) < nearest) {
            nearest = OsmRoads::metres(at, junction);
            finishNode = id;
        }
    ASSERT_LT(nearest, 1.0);
    const PathPoint finish = bind(roads.at.at(finishNode));
    ASSERT_NE(finish.map, nullptr);
    std::vector<std::int64_t> starts;
    for (const auto& [id, edges] : roads.out)
        if (roads.junction(id) && edges.size() >= 2) starts.push_back(id);
    std::mt19937_64 random(seed());
    int compared = 0;
    for (int pair = 0; pair < 12; ++pair) {
        const std::int64_t start = starts[random() % starts.size()];
        const double expected = dijkstra(roads, start, finishNode, true);
        SCOPED_TRACE(testing::Message() << "seed " << seed() << ", from OSM node " << start);
        Path path;
        const bool found = Map::Routing::computePath(*atlas, *setup.config.root(), bind(roads.at.at(start)), finish,
                                                     path, false);
        if (expected < 100) continue; // unreachable, or too short to weigh
        ASSERT_TRUE(found);
        double metres = 0;
        for (const PathPart& part : path.parts)
            metres += part.lengthMetres;
        EXPECT_NEAR(metres, expected, expected * 0.01);
        ++compared;
    }
    EXPECT_GE(compared, 6);
}

TEST(MonacoRoutes, TurnRestrictionsAreObeyed) {
    MonacoGraph graph;
    ASSERT_NE(graph.disk.slot->graph(), nullptr);
    const OsmRoads& roads = osmRoads();
    // From the junction before the via node on the from road to the next
    // junction past it on the to road: where the forbidden turn would be the
    // shortest way, the map's route must take the longer legal one.
    const auto junctionAlong = [&](const std::vector<std::int64_t>& way, std::int64_t via, int step) {
        const auto at = std::find(way.begin(), way.end(), via) - way.begin();
        for (auto i = at + step; i >= 0 && i < static_cast<long>(way.size()); i += step)
            if (graph.imported.graphNodes.contains(way[static_cast<std::size_t>(i)]))
                return way[static_cast<std::size_t>(i)];
        return std::int64_t{0};
    };
    int decisive = 0;
    for (const Restriction& r : roads.restrictions) {
        if (r.only) continue;
        const std::vector<std::int64_t>& from = roads.wayNodes.at(r.from);
        const std::int64_t start = junctionAlong(from, r.via, from.back() == r.via ? -1 : 1);
        for (const int step : {-1, 1}) {
            const std::int64_t end = junctionAlong(roads.wayNodes.at(r.to), r.via, step);
            if (start == 0 || end == 0) continue;
            const double free = dijkstra(roads, start, end, false);
            const double legal = dijkstra(roads, start, end, true);
            std::uint32_t length = 0;
            const bool found =
                !RoutingTest::route(graph.map(), graph.node(start), graph.node(end), &length).empty();
            SCOPED_TRACE(testing::Message() << "restriction from way " << r.from << " via " << r.via);
            ASSERT_EQ(found, legal >= 0);
            if (legal < 0) continue;
            EXPECT_NEAR(length, legal, 10.0);
            if (free >= 0 && legal > free + 20) {
                ++decisive;
                EXPECT_GT(length, free + 10);
            }
        }
    }
    EXPECT_GE(decisive, 1);
}

// The route between two places of Monaco, each bound to its nearest road,
// over a copy of the build's atlas with a route heap the town needs; the
// atlas stays loaded while the route's parts are read.
struct MonacoRoute {
    void between(const Map::GeoPoint (&places)[2]) {
        setup.config.root()->set("win_route_heap", 16384);
        const std::filesystem::path folder = setup.copyOf(MIREL_MONACO_ATLAS_DIR);
        atlas = setup.makeAtlas();
        ASSERT_TRUE(atlas->load(AtlasTest::wide(folder)));
        PathPoint ends[2];
        for (int i = 0; i < 2; ++i) {
            Map::Routing::RoadBinding binding;
            ASSERT_TRUE(Map::Routing::bindToNearestRoad(
                *atlas, Map::Projection::fromGeo(places[i].latitude, places[i].longitude), binding));
            ends[i] = boundPoint(*atlas, binding);
        }
        ASSERT_TRUE(Map::Routing::computePath(*atlas, *setup.config.root(), ends[0], ends[1], path, false));
    }

    AtlasTest::AtlasSetup setup;
    std::unique_ptr<Map::KVAtlas> atlas;
    Path path;
};

} // namespace

// Routing knows a roundabout by its road's line type: every part on a
// roundabout road carries it, whatever the road's size, so that a drive over
// Monaco's roundabouts hears each entry once and each exit by its number,
// not an entry at every node on the ring.
TEST(MonacoRoutes, RoundaboutsAreEnteredOnceAndLeftByTheirExit) {
    // From Fontvieille to Rue Grimaldi, over the roundabouts below the Rock.
    const Map::GeoPoint places[2] = {{43.7270f, 7.4160f}, {43.73398f, 7.41856f}};
    MonacoRoute route;
    ASSERT_NO_FATAL_FAILURE(route.between(places));
    const Path& path = route.path;
    int onRing = 0, entries = 0, exits = 0;
    for (const PathPart& part : path.parts) {
        const RoadMapHolder* holder = RoadMapHolder::of(*part.map);
        ASSERT_NE(holder, nullptr);
        const RoadGraph::SegmentRecord* head = holder->graph()->segmentHeadRecord(part.segmentId);
        ASSERT_NE(head, nullptr);
        if (head->attributes.road & RoadGraph::RoadFlag::Roundabout) {
            ++onRing;
            EXPECT_EQ(part.roadClass, 12) << "segment " << part.segmentId;
        }
        EXPECT_NE(part.manoeuvre, 3u) << "an entry announced inside a roundabout";
        entries += part.manoeuvre == 19;
        exits += part.manoeuvre >= 8 && part.manoeuvre <= 16;
    }
    EXPECT_GE(onRing, 2);
    EXPECT_GE(entries, 1);
    EXPECT_EQ(exits, entries);
}

// Along Boulevard Princesse Charlotte and round the hairpin onto Boulevard
// du Général Leclerc, whose first 29 m loop round to run back beside it: a
// sharp right turn onto another street, not a U-turn.
TEST(MonacoRoutes, AHairpinOntoAnotherStreetIsNoUTurn) {
    const Map::GeoPoint places[2] = {{43.74168f, 7.42620f}, {43.74220f, 7.42608f}};
    MonacoRoute route;
    ASSERT_NO_FATAL_FAILURE(route.between(places));
    const Path& path = route.path;
    std::vector<std::uint32_t> manoeuvres;
    std::set<std::uint32_t> names;
    for (const PathPart& part : path.parts) {
        names.insert(part.nameIndex);
        if (part.manoeuvre != 0) manoeuvres.push_back(part.manoeuvre);
    }
    EXPECT_EQ(names.size(), 2u); // the two boulevards, nothing else
    EXPECT_EQ(manoeuvres, (std::vector<std::uint32_t>{2}));
}
