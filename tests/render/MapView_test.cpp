#include "render/MapView.h"

#include "map/Level.h"
#include "render/MapCamera.h"
#include "tests/map/MapFixture.h"

#include <gtest/gtest.h>

namespace {

Map::Point globalOf(const Map::Level& level, std::uint32_t x, std::uint32_t y) {
    const std::uint32_t unitShift = 32u - level.coordinateBits();
    return Map::Point{static_cast<std::int32_t>(((level.originX() << level.cellShift()) + x) << unitShift),
                      static_cast<std::int32_t>(((level.originY() << level.cellShift()) + y) << unitShift)};
}

TEST(MapView, PickSearchesTheCellUnderThePoint) {
    MapTest::OpenedMap opened = MapTest::openMap(MapWriting::writeMap(MapTest::sampleMap()).bytes);
    MapTest::MallocHeap heap;
    Map::Level level(*opened.geometry, 0, heap); // 24 bits, cell shift 10, origin (100, 200)
    ASSERT_TRUE(level.prepareArea(level.defaultArea(), 0, 0, 3, 2));

    Map::StateRecord city;
    city.level = &level;
    city.frame = Map::LevelFrame::of(level);
    city.levelScale = 1.0f;
    city.mapType = 0;
    city.mapIndex = 6;
    Map::StateRecord pois = city;
    pois.mapType = 4;
    pois.mapIndex = 9;

    struct Seen {
        int calls = 0;
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::uint32_t firstType = 0;
        Map::LevelFrame frame;
        std::vector<std::pair<std::int32_t, std::int32_t>> cells;
    } seen;
    MapView::setPickInCell([&](const Map::LevelFrame& frame, std::vector<MapView::CellRecords>& cells,
                               std::int32_t& x, std::int32_t& y, MapView::MapObject& out) {
        ++seen.calls;
        seen.x = x;
        seen.y = y;
        seen.frame = frame;
        seen.cells.clear();
        for (const MapView::CellRecords& c : cells)
            seen.cells.emplace_back(c.cellX, c.cellY);
        if (!cells.front().records.next(out.record)) return false;
        seen.firstType = out.record.type;
        x += 10; // the object's own point
        return true;
    });

    // The POI map drawn last is passed over for the city map before it.
    Map::Point point = globalOf(level, 500, 600);
    MapView::MapObject found;
    ASSERT_TRUE(MapView::pickObjectAt({city, pois}, point, found));
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.x, 500);
    EXPECT_EQ(seen.y, 600);
    EXPECT_EQ(seen.frame, city.frame);
    EXPECT_EQ(seen.firstType, 1u); // cell (0, 0) starts with its polygon
    EXPECT_EQ(found.mapIndex, 6u);
    EXPECT_EQ(point, globalOf(level, 510, 600));
    ASSERT_TRUE(MapCamera::instance().levelFrame().has_value());
    EXPECT_EQ(*MapCamera::instance().levelFrame(), city.frame);

    // Items reach one cell to the right and top: the point's cell (2, 2) is
    // empty, its left neighbour too, the lower two hold items.
    Map::Point reached = globalOf(level, 2048 + 5, 2048 + 5);
    ASSERT_TRUE(MapView::pickObjectAt({city}, reached, found));
    EXPECT_EQ(seen.cells, (std::vector<std::pair<std::int32_t, std::int32_t>>{{2, 1}, {1, 1}}));
    EXPECT_EQ(seen.calls, 2);

    // An empty cell (0, 2) with empty neighbours, a point outside the loaded
    // area, no usable record: the out map is cleared and nothing is searched.
    for (const Map::Point missing : {globalOf(level, 5, 2048 + 5), globalOf(level, 9000, 5)}) {
        Map::Point p = missing;
        found.mapIndex = 3;
        EXPECT_FALSE(MapView::pickObjectAt({city}, p, found));
        EXPECT_EQ(found.mapIndex, MapView::MapObject::NoMap);
        EXPECT_EQ(p, missing);
    }
    EXPECT_EQ(seen.calls, 2);
    Map::StateRecord lines = city;
    lines.mapType = 5;
    EXPECT_FALSE(MapView::pickObjectAt({pois, lines}, point, found));
    EXPECT_FALSE(MapView::pickObjectAt({}, point, found));
    EXPECT_EQ(seen.calls, 2);

    MapView::setPickInCell(nullptr);
    point = globalOf(level, 500, 600);
    EXPECT_FALSE(MapView::pickObjectAt({city}, point, found));
}

} // namespace
