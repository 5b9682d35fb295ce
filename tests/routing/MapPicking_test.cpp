#include "routing/MapPicking.h"

#include "map/StateRecord.h"
#include "tests/map/AtlasFixture.h"
#include "tools/demo-atlas/DemoAtlas.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <cmath>

using Map::LocalPoint;

namespace {


TEST(MapPicking, PointInPolygonCountsCrossingsAndEdges) {
    const LocalPoint square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    // An L: the square without its top-right quarter.
    const LocalPoint ell[] = {{0, 0}, {10, 0}, {10, 5}, {5, 5}, {5, 10}, {0, 10}};
    const LocalPoint arrow[] = {{0, 0}, {10, 5}, {0, 10}};
    struct Row {
        const LocalPoint* ring;
        std::size_t count;
        LocalPoint p;
        int expected;
    };
    const Row rows[] = {
        {square, 4, {5, 5}, 1}, {square, 4, {15, 5}, 0}, {square, 4, {10, 5}, 2}, {square, 4, {0, 0}, 2},
        {ell, 6, {7, 7}, 0},    {ell, 6, {2, 7}, 1},     {ell, 6, {5, 7}, 2},     {arrow, 3, {2, 5}, 1},
        {arrow, 3, {-1, 0}, 0}, {square, 0, {5, 5}, 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Map::Nearest::pointInPolygon(row.p, row.ring, row.count), row.expected)
            << row.p.x << "," << row.p.y << " in a ring of " << row.count;
}

// Taps on the demo town's detailed level, as the map page's point action
// makes them.
TEST(MapPicking, TapsOnTheDemoTownFindStreetPoiAndArea) {
    AtlasTest::AtlasSetup setup;
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(AtlasTest::wide(setup.copyOf(MIREL_DEMO_ATLAS_DIR))));
    Map::KVMap2* town = atlas->findMapById(1);
    ASSERT_NE(town, nullptr);
    Map::Level& level = town->level(0);
    ASSERT_TRUE(level.prepareArea(level.defaultArea(), 0, 0, static_cast<std::int32_t>(level.width()),
                                  static_cast<std::int32_t>(level.height())));
    Map::StateRecord record;
    record.level = &level;
    record.frame = Map::LevelFrame::of(level);
    record.mapType = town->mapType();
    record.mapIndex = 2;
    Map::Nearest::installPicking();

    struct Row {
        double east, north;
        std::uint32_t kind;
        const char16_t* caption;
        double pickedEast, pickedNorth; // where the point moves
    };
    const Row rows[] = {
        {-197, 24, 4, u"Cafe Central", -200, 20},
        {-300, 5, 2, u"Main Street", -300, 0},
        {-503, 260, 2, u"Park Avenue", -500, 260},
        {300, 300, 1, u"City Park", 300, 300},
        {-220, -180, 1, u"Market Square", -220, -180},
        {-900, -900, 0, nullptr, -900, -900}, // nothing there
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.east << "," << row.north);
        const auto [x, y] = DemoAtlas::globalOf(row.east, row.north);
        Map::Point point{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
        MapView::MapObject picked;
        ASSERT_EQ(MapView::pickObjectAt({record}, point, picked), row.caption != nullptr);
        const auto [px, py] = DemoAtlas::globalOf(row.pickedEast, row.pickedNorth);
        EXPECT_LT(std::hypot(point.x - static_cast<double>(px), point.y - static_cast<double>(py)),
                  DemoAtlas::unitsPerMetre());
        if (row.caption == nullptr) continue;
        EXPECT_EQ(picked.mapIndex, 2u);
        EXPECT_EQ(picked.record.type, row.kind);
        const std::uint8_t* item = picked.record.start;
        const std::uint32_t caption = item[0] | item[1] << 8 | item[2] << 16 | static_cast<std::uint32_t>(item[3]) << 24;
        std::u16string name;
        ASSERT_TRUE(town->stringsReader().string(caption, name));
        EXPECT_EQ(name, row.caption);
    }
    MapView::setPickInCell(nullptr);
}

} // namespace
