#include "tools/mapwriter/LevelPlacer.h"

#include "tests/map/MapFixture.h"
#include "tools/mapwriter/MapWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace MapWriting;

using MapTest::readBits;

// A road drawn in level coordinates across many cells comes back, through
// the routing shape and the geometry section, as the same line.
TEST(LevelPlacer, CutsLongRoadsIntoShapePieces) {
    MapDescription map;
    LevelDescription level;
    level.coordinateBits = 26;
    level.cellShift = 4; // cells of 16 units, fields of 5 bits
    level.width = 12;
    level.height = 12;
    LevelPlacer placer(level);
    const std::vector<LevelPoint> line = {{3, 3}, {150, 40}, {20, 140}};
    Polyline style;
    style.type = 4;
    style.road = 0;
    const std::vector<ShapeRef> shape = placer.addPolyline(style, line);
    ASSERT_GT(shape.size(), 5u);
    PointItem poi;
    poi.poiType = 3;
    placer.addPoint(poi, {100, 100});
    placer.addPolygon({0, 2, {}}, {{17, 17}, {40, 17}, {40, 40}});
    EXPECT_THROW(placer.addPolygon({0, 2, {}}, {{17, 17}, {60, 17}, {40, 40}}), std::invalid_argument);
    EXPECT_THROW(placer.cellOf({-1, 0}), std::invalid_argument);
    EXPECT_EQ(placer.cellOf({100, 100}), (std::pair<std::uint32_t, std::uint32_t>{6, 6}));
    map.levels = {level};

    RoadGraph graph;
    const auto [fx, fy] = placer.cellOf(line.front());
    const auto [tx, ty] = placer.cellOf(line.back());
    graph.nodes = {{fx, fy, 1}, {tx, ty, 1}};
    RoadChain chain;
    chain.nodes = {0, 1};
    chain.segments = {{400, {}, shape}};
    graph.chains = {chain};
    map.roads = graph;
    MapTest::OpenedMap opened = MapTest::openMap(writeMap(map).bytes);

    std::vector<Map::File::ShapeStep> steps;
    ASSERT_TRUE(opened.routing->shape(0, {static_cast<std::int32_t>(fx), static_cast<std::int32_t>(fy)}, steps));
    ASSERT_EQ(steps.size(), shape.size());
    std::vector<LevelPoint> back;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].x, static_cast<std::int32_t>(shape[i].cellX));
        EXPECT_EQ(steps[i].y, static_cast<std::int32_t>(shape[i].cellY));
        std::uint8_t item[64] = {};
        ASSERT_GT(opened.geometry->readRaw(steps[i].value, item, sizeof item), 10u);
        const std::uint8_t n = item[9];
        ASSERT_GE(n, 2);
        const auto fields = readBits(item + 10, 5, 2u * n);
        for (std::size_t k = 0; k < n; ++k) {
            const LevelPoint p{steps[i].x * 16 + fields[2 * k], steps[i].y * 16 + fields[2 * k + 1]};
            if (k == 0 && !back.empty())
                EXPECT_EQ(p, back.back()); // pieces join
            else
                back.push_back(p);
        }
    }
    EXPECT_EQ(back.front(), line.front());
    EXPECT_EQ(back.back(), line.back());
    EXPECT_NE(std::find(back.begin(), back.end(), line[1]), back.end());
    for (std::size_t i = 1; i < back.size(); ++i) {
        EXPECT_LT(std::abs(back[i].x - back[i - 1].x), 16);
        EXPECT_LT(std::abs(back[i].y - back[i - 1].y), 16);
    }
}

// A large ring cut along the cell borders: the pieces cover exactly the
// ring's area, each fits its cell, and the writer takes them all.
TEST(LevelPlacer, CutsLargeAreasAlongCellBorders) {
    const auto twiceArea = [](const std::vector<LevelPoint>& ring) {
        std::int64_t sum = 0;
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const LevelPoint& p = ring[i];
            const LevelPoint& q = ring[(i + 1) % ring.size()];
            sum += p.x * q.y - q.x * p.y;
        }
        return sum;
    };
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        LevelDescription level;
        level.cellShift = 6;
        level.width = level.height = 12;
        LevelPlacer placer(level);
        // A star-shaped ring round the grid's middle, counter-clockwise,
        // with edges that meet the cell borders at whole units.
        std::vector<LevelPoint> ring;
        for (int k = 0; k < 40; ++k) {
            const double a = 2 * std::acos(-1.0) * k / 40;
            const double r = 64 + static_cast<double>(random() % 256);
            ring.push_back({384 + std::llround(r * std::cos(a)), 384 + std::llround(r * std::sin(a))});
        }
        placer.addClippedPolygon({0, 0x46, {}}, ring);
        std::int64_t pieces = 0;
        for (const Cell& cell : level.cells)
            for (const Polygon& polygon : cell.polygons) {
                std::vector<LevelPoint> piece;
                for (const CellPoint& p : polygon.points) {
                    ASSERT_LE(p.x, 64u);
                    ASSERT_LE(p.y, 64u);
                    piece.push_back({p.x + 64 * std::int64_t{cell.x}, p.y + 64 * std::int64_t{cell.y}});
                }
                pieces += twiceArea(piece);
            }
        // Each cut point is rounded to a whole unit: a few units of area per
        // border crossing, far less than any cell's piece.
        const auto whole = static_cast<double>(twiceArea(ring));
        EXPECT_NEAR(static_cast<double>(pieces), whole, whole / 200);
        EXPECT_GT(level.cells.size(), 9u);
        MapDescription map;
        map.levels = {level};
        EXPECT_NO_THROW(writeMap(map));
    }
}
