// Positions on a route against a flattened reference of the same route:
// the drive-order list of its segments with their arc lengths.

#include "map/Level.h"
#include "routing/PathPosition.h"
#include "tests/routing/RouteFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <random>

namespace {

using Map::LocalPoint;

// A drive-order segment of the flattened route, in level points.
struct Segment {
    LocalPoint a, b;
    std::size_t part;
    float length() const { return std::hypot(b.x - a.x, b.y - a.y); }
};

// A random route of parts in both directions, some with a zero-length
// segment or a second polyline anchored in the next cell; and its
// flattened reference.
std::vector<Segment> randomRoute(const RouteTest::RouteAtlas& town, std::mt19937& random, Path& path) {
    const float cell = 1024.0f;
    std::uniform_real_distribution<float> coordinate(0.0f, 1000.0f);
    std::vector<Segment> ref;
    for (std::size_t p = 0, parts = 1 + random() % 5; p < parts; ++p) {
        std::vector<LocalPoint> points(2 + random() % 3);
        for (LocalPoint& q : points)
            q = {cell + coordinate(random), cell + coordinate(random)};
        if (p % 3 == 2) points[1] = points[0];
        PathPart part = town.part(points, 0, static_cast<std::uint8_t>(random() % 2));
        if (random() % 2)
            part.polylines.push_back({{{points.back().x - 2 * cell, points.back().y - cell}, {coordinate(random), 9}}, 2, 1});
        part.lengthMetres = part.metres(part.geometricLength());
        part.nameIndex = static_cast<std::uint32_t>(p + 1);
        path.appendPart(part);
        std::vector<Segment> own;
        for (const PathPolyline& line : part.polylines)
            for (std::size_t k = 0; k + 1 < line.points.size(); ++k)
                own.push_back({{line.cellX * cell + line.points[k].x, line.cellY * cell + line.points[k].y},
                               {line.cellX * cell + line.points[k + 1].x, line.cellY * cell + line.points[k + 1].y},
                               p});
        if (!part.forward) {
            std::reverse(own.begin(), own.end());
            for (Segment& s : own)
                std::swap(s.a, s.b);
        }
        ref.insert(ref.end(), own.begin(), own.end());
    }
    return ref;
}

TEST(PathPosition, WalksLikeTheFlattenedRoute) {
    RouteTest::RouteAtlas town;
    std::mt19937 random(RouteTest::seed());
    for (int round = 0; round < 60; ++round) {
        Path path;
        const std::vector<Segment> ref = randomRoute(town, random, path);
        float total = 0;
        for (const Segment& s : ref)
            total += s.length();
        std::uniform_real_distribution<float> arc(0.0f, total);
        for (int k = 0; k < 20; ++k) {
            const float da = arc(random), db = arc(random);
            PathPosition a(path, true), b(path, true);
            a.advance(da);
            b.advance(db);
            float rest = da;
            auto s = ref.begin();
            while (rest > s->length() && s + 1 != ref.end())
                rest -= (s++)->length();
            const float t = s->length() > 0 ? rest / s->length() : 0;
            ASSERT_FALSE(a.isAtEnd());
            EXPECT_EQ(a.part, s->part);
            EXPECT_EQ(a.partNameIndex(), s->part + 1); // the street sensors' name
            EXPECT_NEAR(a.levelPoint().x, s->a.x + (s->b.x - s->a.x) * t, 0.05f);
            EXPECT_NEAR(a.levelPoint().y, s->a.y + (s->b.y - s->a.y) * t, 0.05f);
            // Metres in drive order whatever the argument order; each
            // piece is rounded on its own.
            const std::uint32_t d = PathPosition::distanceTo(a, b);
            EXPECT_EQ(d, PathPosition::distanceTo(b, a));
            const auto pieces = static_cast<float>(std::max(a.part, b.part) - std::min(a.part, b.part) + 2);
            EXPECT_NEAR(static_cast<float>(d), std::fabs(da - db), 0.5f * pieces + 0.01f);
            if (std::fabs(da - db) > 0.01f) { EXPECT_EQ(PathPosition::isBefore(a, b), da < db); }
            // By metres: every part passed rounds its rest once.
            PathPosition m(path, true);
            m.advanceMetres(static_cast<std::uint16_t>(da));
            if (!m.isAtEnd()) {
                EXPECT_NEAR(static_cast<float>(PathPosition::distanceTo(PathPosition(path, true), m)),
                            std::floor(da), 0.5f * static_cast<float>(m.part + 2));
            }
        }
        // Past the last part the position is at the end; put back on the
        // path it stands at the drive end of the last part.
        PathPosition end(path, true);
        end.advance(total + 5.0f);
        EXPECT_TRUE(end.isAtEnd());
        EXPECT_EQ(end.partNameIndex(), 0u);
        end.ensureOnPath();
        EXPECT_NEAR(end.levelPoint().x, ref.back().b.x, 0.01f);
    }
}

TEST(PathPosition, ProjectionLooksOneCellAround) {
    RouteTest::RouteAtlas town;
    const PathPart part = town.part({{1100, 1100}, {1900, 1100}});
    const struct {
        LocalPoint at;
        bool found;
        float distanceSquared, offset;
    } rows[] = {
        {{1000, 1100}, true, 100 * 100, 0},                 // before the start: the start
        {{2600, 2100}, true, 700 * 700 + 1000 * 1000, 800}, // a cell away: the end
        {{1500, 3100}, false, 0, 0},                        // two cells up
        {{-100, 1100}, false, 0, 0},                        // two cells left (cell -1)
    };
    for (const auto& row : rows) {
        PartCursor cursor;
        float d = -1;
        EXPECT_EQ(PartCursor::project(part, row.at, cursor, d), row.found) << row.at.x << "," << row.at.y;
        if (!row.found) continue;
        EXPECT_FLOAT_EQ(d, row.distanceSquared);
        EXPECT_FLOAT_EQ(cursor.offset, row.offset);
    }
}

TEST(PathPosition, TrimsKeepTheDrivenSide) {
    RouteTest::RouteAtlas town;
    const std::vector<LocalPoint> corner{{1100, 1100}, {1300, 1100}, {1300, 1400}};
    // Front trims keep what is driven after the point and drop the
    // manoeuvre; back trims keep what comes before and keep it. A point at
    // the corner is not put in twice (a piece of no length has no heading).
    const struct {
        bool front;
        std::uint8_t forward;
        std::vector<LocalPoint> kept;
        std::optional<LocalPoint> at = {}; // none: {1200, 1105} at the front, {1290, 1200} at the back
    } rows[] = {
        {true, 1, {{1200, 1100}, {1300, 1100}, {1300, 1400}}},
        {true, 0, {{1100, 1100}, {1200, 1100}}},
        {false, 1, {{1100, 1100}, {1300, 1100}, {1300, 1200}}},
        {false, 0, {{1300, 1200}, {1300, 1400}}},
        {true, 1, {{1300, 1100}, {1300, 1400}}, LocalPoint{1300, 1100}},
        {true, 0, {{1100, 1100}, {1300, 1100}}, LocalPoint{1300, 1100}},
        {false, 1, {{1100, 1100}, {1300, 1100}}, LocalPoint{1300, 1100}},
        {false, 0, {{1300, 1100}, {1300, 1400}}, LocalPoint{1300, 1100}},
    };
    for (const auto& row : rows) {
        Path path;
        path.appendPart(town.part(corner, 0, row.forward));
        path.parts.back().manoeuvre = 3;
        path.appendPart(town.part({{1300, 1400}, {1300, 1500}}));
        if (row.front)
            path.trimFront(town.level(0), row.at.value_or(LocalPoint{1200, 1105}));
        else
            path.trimBack(0, town.level(0), row.at.value_or(LocalPoint{1290, 1200}));
        const PathPart& kept = path.parts.front();
        std::vector<LocalPoint> points;
        for (const LocalPoint& p : kept.polylines.at(0).points)
            points.push_back({p.x + 1024, p.y + 1024});
        EXPECT_EQ(points, row.kept);
        EXPECT_EQ(kept.lengthMetres, static_cast<std::uint16_t>(kept.geometricLength()));
        EXPECT_EQ(kept.manoeuvre, row.front ? 0u : 3u);
    }
}

TEST(PathPosition, LevelPointsAreOriginRelativeInEveryConversion) {
    RouteTest::RouteAtlas town;
    const Map::Level& l0 = town.level(0);
    const Map::Level& l1 = town.level(1);
    const Map::LevelFrame f0 = Map::LevelFrame::of(l0), f1 = Map::LevelFrame::of(l1);
    // Level 0's origin (100, 200) << 18 lies (4864, 9728) units of level 1
    // beyond level 1's origin (6, 12) << 20.
    const LocalPoint origin = MapLevelInfo::convertPoint(l0, l1, {0, 0});
    EXPECT_FLOAT_EQ(origin.x, 4864.0f);
    EXPECT_FLOAT_EQ(origin.y, 9728.0f);
    std::mt19937 random(RouteTest::seed());
    std::uniform_real_distribution<float> coordinate(-5000.0f, 5000.0f);
    for (int i = 0; i < 200; ++i) {
        const LocalPoint p{coordinate(random), coordinate(random)};
        const LocalPoint q = MapLevelInfo::convertPoint(l0, l1, p);
        const LocalPoint viaGlobal = f1.toLocal(f0.toGlobal(p));
        EXPECT_NEAR(q.x, viaGlobal.x, 1e-3f);
        EXPECT_NEAR(q.y, viaGlobal.y, 1e-3f);
        const LocalPoint back = MapLevelInfo::convertPoint(l1, l0, q);
        EXPECT_NEAR(back.x, p.x, 1e-2f);
        EXPECT_NEAR(back.y, p.y, 1e-2f);
    }
}

TEST(PathPosition, NearestPointsAcrossLevelsBoxesAndLinks) {
    RouteTest::RouteAtlas town;
    const Map::Level& l0 = town.level(0);
    const Map::Level& l1 = town.level(1);
    const Map::LevelFrame f0 = Map::LevelFrame::of(l0);
    const auto inL1 = [&](LocalPoint p) { return MapLevelInfo::convertPoint(l0, l1, p); };
    Path path(town.point({1100, 1100}));
    path.appendPart(town.part({{1100, 1100}, {1900, 1100}}));
    path.appendPart(town.part({inL1({1900, 1100}), inL1({1900, 1900})}, 0, 1, RoadGraph::kNoId, 1));
    const PathPosition start(path, true), end(path, false);
    // Squared distances come in the units of the level the point lies on
    // (a level-1 unit is 16 level-0 units).
    const struct {
        LocalPoint near;
        std::size_t part;
        LocalPoint foot;
        float distanceSquared;
    } rows[] = {{{1500, 1130}, 0, {1500, 1100}, 900}, {{1950, 1500}, 1, {1900, 1500}, 50.0f * 50 / 256}};
    for (const auto& row : rows) {
        PathPosition at;
        float d = 0;
        ASSERT_TRUE(path.nearestPointBetween(start, end, f0.toGlobal(row.near), at, &d));
        EXPECT_EQ(at.part, row.part);
        const LocalPoint foot = MapLevelInfo::convertPoint(*at.partLevel(), l0, at.levelPoint());
        EXPECT_NEAR(foot.x, row.foot.x, 0.05f);
        EXPECT_NEAR(foot.y, row.foot.y, 0.05f);
        EXPECT_NEAR(d, row.distanceSquared, 0.01f);
        ASSERT_TRUE(path.nearestPointAhead(start, end, l0, 1, 1, {row.near.x - 1024, row.near.y - 1024}, at));
        EXPECT_EQ(at.part, row.part);
    }
    const auto box = path.boundingBox(start, end);
    const Map::Point low = f0.toGlobal({1100, 1100}), high = f0.toGlobal({1900, 1900});
    EXPECT_NEAR(box[0], low.x, 8);
    EXPECT_NEAR(box[1], low.y, 8);
    EXPECT_NEAR(box[2], high.x, 8);
    EXPECT_NEAR(box[3], high.y, 8);
    // The link from the road point (1100, 1100) to the picked point
    // (1103, 1096), 2.38 metres a unit: 0.87 units (2.1 m) off its middle.
    EXPECT_TRUE(path.nearRoutePointLink(f0.toGlobal({1102.14f, 1098.6f}), 3.0f));
    EXPECT_FALSE(path.nearRoutePointLink(f0.toGlobal({1102.14f, 1098.6f}), 1.5f));
    EXPECT_FALSE(path.nearRoutePointLink(f0.toGlobal({1104.5f, 1094}), 30.0f)); // beyond its end
}

TEST(PathPosition, MetresPerUnitFromTheRoadOrTheProjection) {
    RouteTest::RouteAtlas town;
    PathPart part = town.part({{1100, 1100}, {1150, 1100}});
    part.setMetresPerUnit(100);
    EXPECT_FLOAT_EQ(part.metresPerUnit, 2.0f);
    // No stored length: 256 global units per level unit at about 4.4
    // degrees north, 0.00929 metres each.
    part.setMetresPerUnit(0);
    EXPECT_NEAR(part.metresPerUnit, 2.378f, 0.01f);
}

} // namespace
