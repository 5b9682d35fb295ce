// The nearest-road search over a drawn pair of maps: a country map and a
// city map with one road each, in the same level frame (24 bits, cells of
// 1024 units, origin cell (100, 200)), both in cell (1, 1):
//
//   y 600  ==== country road (x 100..900) =====
//   y 500           * the point
//   y 480  ---- city polyline outside the road graph ----
//   y 400  ==== city road (x 100..900), drawn eastwards ====

#include "routing/NearestRoad.h"

#include "tests/map/AtlasFixture.h"
#include "tools/demo-atlas/DemoAtlas.h"
#include "tools/mapwriter/MapWriter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <cmath>

using namespace Map::Routing;

namespace {


constexpr std::uint32_t CellUnits = 1024;

Map::Point global(double x, double y) { // level units, from the origin
    return {static_cast<std::int32_t>(std::llround(((100.0 * CellUnits) + x) * 256)),
            static_cast<std::int32_t>(std::llround(((200.0 * CellUnits) + y) * 256))};
}

MapWriting::MapDescription mapWithRoad(std::uint32_t id, std::uint8_t type, const char* name, std::uint32_t y,
                                       bool offGraphLine) {
    MapWriting::MapDescription map = AtlasTest::completeMap(id, type);
    MapWriting::Cell cell;
    cell.x = 1;
    cell.y = 1;
    cell.polylines.push_back({map.strings.add(name), 6, false, 0, {{100, y}, {900, y}}});
    if (offGraphLine) cell.polylines.push_back({map.strings.add("Footpath"), 6, false, MapWriting::NoRoad, {{100, 480}, {900, 480}}});
    map.levels[0].cells = {cell};
    map.roads = {}; // the search reads the drawn polylines only
    return map;
}

struct Maps {
    explicit Maps(bool withCountry) {
        const std::filesystem::path folder = setup.folder("drawn");
        if (withCountry) MapWriting::writeMapFile(folder / "a-country.kvm", mapWithRoad(2, 2, "Country Road", 600, false));
        MapWriting::writeMapFile(folder / "b-city.kvm", mapWithRoad(1, 0, "City Road", 400, true));
        atlas = setup.makeAtlas();
        EXPECT_TRUE(atlas->load(AtlasTest::wide(folder)));
    }
    std::u16string name(std::uint32_t mapIndex, std::uint32_t nameIndex) {
        std::u16string text;
        atlas->mapAt(mapIndex)->stringsReader().string(nameIndex, text);
        return text;
    }
    AtlasTest::AtlasSetup setup;
    std::unique_ptr<Map::KVAtlas> atlas;
};

TEST(NearestRoad, BindsToTheRoadOfTheMoreDetailedMap) {
    Maps maps(true);
    ASSERT_EQ(maps.atlas->mapCount(), 2u);
    EXPECT_EQ(mapsCoveringPoint(*maps.atlas, global(1524, 1524)).size(), 2u);
    EXPECT_TRUE(mapsCoveringPoint(*maps.atlas, global(500, 500)).empty()); // cell (0, 0) holds nothing

    // Equally far from both roads: the city's wins, found after the country's.
    RoadBinding bound;
    ASSERT_TRUE(bindToNearestRoad(*maps.atlas, global(1524, 1524), bound));
    EXPECT_EQ(maps.name(bound.mapIndex, bound.nameIndex), u"City Road");
    EXPECT_EQ(bound.segmentId, 0u);
    EXPECT_TRUE(bound.allowForward && bound.allowBackward);
    EXPECT_EQ(bound.roadPoint, (Map::LocalPoint{1524, 1424}));
    EXPECT_EQ(bound.pickedPoint, (Map::LocalPoint{1524, 1524}));
    EXPECT_EQ(bound.roadHeading, 90);

    // Nearer the country road: it wins only without the rank preference.
    for (const bool preferRank : {false, true}) {
        NearestRoadSearch state;
        state.preferRank = preferRank;
        ASSERT_TRUE(findNearestRoad(*maps.atlas, global(1524, 1580), state));
        EXPECT_EQ(maps.name(state.mapIndex, state.nameIndex), preferRank ? u"City Road" : u"Country Road");
        EXPECT_FLOAT_EQ(state.distance2, preferRank ? 156.0f * 156.0f : 44.0f * 44.0f);
    }
    // Without it, of two equally near roads the one found first stays.
    NearestRoadSearch tie;
    ASSERT_TRUE(findNearestRoad(*maps.atlas, global(1524, 1524), tie));
    EXPECT_EQ(maps.name(tie.mapIndex, tie.nameIndex), u"Country Road");
}

TEST(NearestRoad, GrowsTheSquareUntilTheRoadLiesInItsCircle) {
    Maps maps(false);
    const Map::Point onRoad = global(1524, 1424);
    const Map::Point roadEnd = global(1024 + 900, 1424);
    std::uint32_t now = 0;
    struct Row {
        const char* what;
        Map::Point point;
        TicksSource ticks;
        bool found;
        std::int64_t lastRadius;
    };
    const Row rows[] = {
        {"30000 units below the road", {onRoad.x, onRoad.y - 30000}, sdlTicks, true, 40000},
        // 17920 units right of and below the end: in the square of 20000,
        // outside its circle (25342 away).
        {"diagonal from the end", {roadEnd.x + 17920, roadEnd.y - 17920}, sdlTicks, true, 40000},
        {"outside every map", {onRoad.x + 8000000, onRoad.y}, sdlTicks, false, 640000},
        {"400 ms a square", {onRoad.x + 8000000, onRoad.y}, [&] { return (now += 400) - 400; }, false, 80000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        NearestRoadSearch state;
        EXPECT_EQ(findNearestRoad(*maps.atlas, row.point, state, row.ticks), row.found);
        EXPECT_EQ(state.lastRadius, row.lastRadius);
        if (row.found) {
            EXPECT_EQ(maps.name(state.mapIndex, state.nameIndex), u"City Road"); // never the footpath
        }
    }
}

TEST(NearestRoad, DemoTownStreetsWithTheirHeadingAndTwoWayFlag) {
    AtlasTest::AtlasSetup setup;
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(AtlasTest::wide(setup.copyOf(MIREL_DEMO_ATLAS_DIR))));
    struct Row {
        double east, north;
        const char16_t* street;
        int heading;
        bool twoWay;
    };
    for (const Row& row : {Row{-300, 40, u"Main Street", 90, true}, Row{100, 530, u"Mill Lane", 90, false},
                           Row{200, -470, u"Church Street", 270, false}}) {
        const auto [x, y] = DemoAtlas::globalOf(row.east, row.north);
        RoadBinding bound;
        ASSERT_TRUE(bindToNearestRoad(*atlas, {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)}, bound));
        std::u16string name;
        atlas->mapAt(bound.mapIndex)->stringsReader().string(bound.nameIndex, name);
        EXPECT_EQ(name, row.street);
        EXPECT_EQ(bound.roadHeading, row.heading);
        EXPECT_EQ(roadFlag10(*atlas, bound), row.twoWay);
    }
}

} // namespace
