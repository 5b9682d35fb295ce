// The tag rules of the import, row by row: which highways a car may use and
// which highway ways are squares, and how fast their classes are driven.

#include "tools/osm-atlas/OsmTags.h"

#include "routing/RoutingParams.h"

#include <osmium/builder/attr.hpp>
#include <osmium/memory/buffer.hpp>
#include <osmium/osm/way.hpp>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Tags = std::vector<std::pair<std::string, std::string>>;

struct Way {
    explicit Way(const Tags& tags) {
        using namespace osmium::builder::attr;
        std::vector<std::pair<const char*, const char*>> list;
        for (const auto& [key, value] : tags)
            list.emplace_back(key.c_str(), value.c_str());
        osmium::builder::add_way(buffer, _id(1), _tags(list));
    }
    const osmium::TagList& tags() const { return buffer.get<osmium::Way>(0).tags(); }
    osmium::memory::Buffer buffer{1024, osmium::memory::Buffer::auto_grow::yes};
};

TEST(OsmTags, TracksAreForCarsOnlyWhereATagOpensThem) {
    const struct {
        Tags tags;
        bool cars;
    } rows[] = {
        {{{"highway", "track"}}, false},
        {{{"highway", "track"}, {"vehicle", "yes"}}, false}, // bicycles and carts, not cars
        {{{"highway", "track"}, {"access", "yes"}}, true},
        {{{"highway", "track"}, {"motor_vehicle", "destination"}}, true},
        {{{"highway", "track"}, {"motorcar", "permissive"}, {"access", "no"}}, true},
        {{{"highway", "track"}, {"motorcar", "no"}, {"access", "yes"}}, false},
        {{{"highway", "track"}, {"access", "private"}}, false},
        {{{"highway", "residential"}}, true},
        {{{"highway", "residential"}, {"vehicle", "no"}}, false},
        {{{"highway", "service"}, {"access", "private"}}, false},
    };
    for (const auto& row : rows) {
        const Way way(row.tags);
        ASSERT_TRUE(OsmAtlas::roadKind(way.tags()).has_value());
        EXPECT_EQ(OsmAtlas::carsAllowed(way.tags()), row.cars) << row.tags.size() << " " << row.tags.back().first;
    }
}

TEST(OsmTags, AHighwayAreaIsItsStreetAndItsOutline) {
    const struct {
        Tags tags;
        bool road, routable, area;
    } rows[] = {
        {{{"highway", "pedestrian"}, {"area", "yes"}, {"name", "Place"}}, true, false, true},
        {{{"highway", "residential"}, {"area", "yes"}}, true, true, true},
        {{{"highway", "pedestrian"}}, true, false, false}, // a walk round a block
        {{{"highway", "residential"}}, true, true, false},
        {{{"highway", "platform"}, {"area", "yes"}}, false, false, true},
    };
    for (const auto& row : rows) {
        const Way way(row.tags);
        const auto kind = OsmAtlas::roadKind(way.tags());
        EXPECT_EQ(kind.has_value(), row.road) << row.tags[0].second;
        if (kind) {
            EXPECT_EQ(kind->routable, row.routable) << row.tags[0].second;
        }
        EXPECT_EQ(OsmAtlas::areaKind(way.tags()).has_value(), row.area) << row.tags[0].second;
    }
}

// The route search drives a road class at the speed its speed factor gives
// (class 7 the fastest): the bigger a highway, the faster its class, and a
// link road between its own road and the next one down.
TEST(OsmTags, RoadClassesFollowTheSpeedsOfTheSearch) {
    const auto speed = [](const char* highway) {
        const Way way(Tags{{"highway", highway}});
        const std::optional<OsmAtlas::RoadKind> kind = OsmAtlas::roadKind(way.tags());
        EXPECT_TRUE(kind.has_value()) << highway;
        EXPECT_TRUE(kind && kind->routable) << highway;
        return kind ? Map::Routing::classSpeedKmh(kind->routingClass) : 0.0;
    };
    // Each row strictly faster than the next.
    const std::vector<std::vector<const char*>> tiers = {
        {"motorway"}, {"trunk"},        {"primary"},   {"secondary"},
        {"tertiary"}, {"unclassified", "residential"}, {"living_street", "road", "service"},
        {"track"}};
    for (std::size_t t = 0; t < tiers.size(); ++t) {
        for (const char* highway : tiers[t]) {
            EXPECT_EQ(speed(highway), speed(tiers[t].front())) << highway;
            if (t + 1 < tiers.size()) {
                EXPECT_GT(speed(highway), speed(tiers[t + 1].front())) << highway;
            }
        }
    }
    const std::pair<const char*, const char*> links[] = {{"motorway_link", "motorway"},
                                                         {"trunk_link", "trunk"},
                                                         {"primary_link", "primary"},
                                                         {"secondary_link", "secondary"},
                                                         {"tertiary_link", "tertiary"}};
    for (std::size_t i = 0; i < std::size(links); ++i) {
        const auto [link, road] = links[i];
        EXPECT_LT(speed(link), speed(road)) << link;
        const char* below = i + 1 < std::size(links) ? links[i + 1].second : "residential";
        EXPECT_GE(speed(link), speed(below)) << link;
    }
    // The fastest road gets the fastest class, the slowest road the slowest.
    EXPECT_EQ(speed("motorway"), Map::Routing::classSpeedKmh(7));
    EXPECT_EQ(speed("track"), Map::Routing::classSpeedKmh(0));
}

} // namespace

// The amenities a driver looks for get POI types that the shipped styles
// draw and the type chooser offers, whatever other tags they carry.
TEST(OsmTags, WhatADriverLooksForHasATypeOfTheStyles) {
    std::ifstream in(std::string(MIREL_SOURCE_DIR) + "/data/styles/pois.xml");
    const std::string styles((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(styles.empty());
    const struct {
        Tags tags;
        std::uint16_t type;
    } rows[] = {
        {{{"amenity", "pharmacy"}}, 0x2E05},
        {{{"amenity", "pharmacy"}, {"shop", "chemist"}}, 0x2E05},
        {{{"amenity", "fuel"}}, 0x2F01},
        {{{"amenity", "parking"}}, 0x2F0B},
        {{{"amenity", "hospital"}}, 0x3002},
        {{{"amenity", "atm"}}, 0x2F06},
        {{{"amenity", "bank"}}, 0x2F06},
        {{{"amenity", "restaurant"}}, 0x2A00},
        {{{"tourism", "hotel"}}, 0x2B00},
    };
    for (const auto& row : rows) {
        const Way way(row.tags);
        const auto type = OsmAtlas::poiType(way.tags());
        ASSERT_TRUE(type.has_value()) << row.tags.front().second;
        EXPECT_EQ(*type, row.type) << row.tags.front().second;
        char id[16];
        std::snprintf(id, sizeof id, "id=\"0x%04X\"", *type);
        EXPECT_NE(styles.find(id), std::string::npos) << id << " has no style";
    }
}
