#include "map/proximity/Queries.h"

#include "map/Projection.h"
#include "map/UnitsPerMeter.h"
#include "map/proximity/MemoryIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <cmath>

namespace {

using namespace Map::Proximity;

IndexHolder holderWith(const std::vector<Point>& points) {
    IndexHolder holder;
    auto index = std::make_unique<MemoryIndex>();
    for (const Point& p : points)
        index->add(p);
    holder.index = std::move(index);
    return holder;
}

TEST(DangerWarnQueries, AnglesRootsAndPoiTypes) {
    // 2147483647 - (-2147483648) = 4294967295 = 255 (mod 360).
    const std::tuple<std::int32_t, std::int32_t, std::int32_t> angles[] = {
        {350, 5, -15},  {10, 200, 170}, {0, 180, -180}, {180, 0, -180},
        {179, 0, 179},  {-720, 5, -5},  {2147483647, -2147483647 - 1, -105}};
    for (const auto& [from, to, delta] : angles)
        EXPECT_EQ(angleDelta(from, to), delta) << from << " " << to;
    const std::pair<std::uint64_t, std::uint64_t> roots[] = {
        {0, 0}, {2, 1}, {3, 2}, {6, 2}, {7, 3}, {152399025, 12345}, {0xFFFFFFFFFFFFFFFFull, 4294967296u}};
    for (const auto& [square, root] : roots)
        EXPECT_EQ(roundedSquareRoot(square), root) << square;

    const std::uint16_t kinds[12] = {0xD000, 0xC000, 0xC100, 0xC101, 0xC102, 0xC200,
                                     0xF203, 0xC30A, 0xD003, 0xF204, 0xD001, 0xD002};
    for (std::uint32_t kind = 0; kind < 12; ++kind) {
        if (kind != 7) {
            EXPECT_EQ(poiTypeOf(kind, 167), kinds[kind]) << kind;
        }
    }
    EXPECT_EQ(poiTypeOf(12, 0), 0xD000);
    // Speed signs by tenths of m/s: 60, 5, 10, 20, 30, 40, 120 km/h, 130
    // wraps; below 5 km/h no sign of its own.
    const std::pair<std::uint32_t, std::uint16_t> signs[] = {{167, 0xC303}, {14, 0xC30A}, {28, 0xC30B}, {56, 0xC30C},
                                                             {83, 0xC30D},  {111, 0xC301}, {333, 0xC309},
                                                             {361, 0xC301}, {0, 0xD000},  {11, 0xD000}};
    for (const auto& [speed, type] : signs)
        EXPECT_EQ(poiTypeOf(7, speed), type) << speed;
}

TEST(DangerWarnQueries, NearestPointIsStrictlyInsideAndFirstOnTies) {
    IndexHolder holder = holderWith({Point{100, 0, 0, 5, 1}, Point{-100, 0, 0, 5, 2}, Point{0, 300, 0, 5, 3},
                                     Point{50, 50, 0, 0, 4}});
    Point found;
    ASSERT_TRUE(findNearest(Map::Point{0, 0}, 101, holder, found));
    EXPECT_EQ(found.packed, 4u); // 70.7 away
    // Equal distances: the first visited stays.
    IndexHolder twins = holderWith({Point{100, 0, 0, 5, 1}, Point{-100, 0, 0, 5, 2}});
    std::vector<std::uint32_t> order;
    twins.index->queryIntersecting(Box{-200, -200, 200, 200}, [&](const Point& p) { order.push_back(p.packed); });
    ASSERT_TRUE(findNearest(Map::Point{0, 0}, 150, twins, found));
    EXPECT_EQ(found.packed, order.front());
    // Exactly at the radius is not near enough.
    Point untouched{1, 2, 3, 4, 5};
    EXPECT_FALSE(findNearest(Map::Point{0, 0}, 100, twins, untouched));
    EXPECT_EQ(untouched, (Point{1, 2, 3, 4, 5}));
    IndexHolder empty;
    EXPECT_FALSE(findNearest(Map::Point{0, 0}, 100, empty, untouched));
}

TEST(DangerWarnQueries, EventsOfSinglePoints) {
    // u = 100 units per metre; 20 m/s north; sector half-width 10.
    const EventsSearch north = EventsSearch::make(Map::Point{0, 0}, 100.0f, 20.0f, 0.0f, 10.0f, 10);
    EXPECT_EQ(north.speed, 200);
    EXPECT_EQ(north.vx, 0);
    EXPECT_EQ(north.vy, 2000);
    EXPECT_FLOAT_EQ(north.scale, 100.0f);
    ProximityEvent e;

    // Inside a point without a limit; the radius itself counts.
    ASSERT_TRUE(north.eventOf(Point{0, 1000, 0, 1000, 0}, e));
    EXPECT_TRUE(e.inside());
    EXPECT_FALSE(e.reached());
    EXPECT_EQ(e.distanceDecimetres(), 100u); // 10 m
    EXPECT_FALSE(north.eventOf(Point{0, 1001, 0, 1000, 0}, e)); // no limit, not inside
    EXPECT_FALSE(north.eventOf(Point{0, 0, 0, 0, 0}, e));       // no radius: never inside

    // A 50 km/h point 150 m ahead with a 40 m radius: reached within 10 s,
    // and the car is over the limit.
    const Point ahead{0, 15000, 0, 4000, Point::pack(7, 139, 0, 0)};
    ASSERT_TRUE(north.eventOf(ahead, e));
    EXPECT_TRUE(e.reached());
    EXPECT_FALSE(e.inside());
    EXPECT_TRUE(e.overSpeed());
    EXPECT_EQ(e.distanceDecimetres(), 1500u);
    EXPECT_EQ(e.point, ahead);
    // Behind or beside the car: dropped.
    EXPECT_FALSE(north.eventOf(Point{0, -500, 0, 4000, Point::pack(7, 139, 0, 0)}, e));
    EXPECT_FALSE(north.eventOf(Point{500, 0, 0, 4000, Point::pack(7, 139, 0, 0)}, e));
    // Too far ahead to be reached: 2000 x 10 + 4000 = 24000 units.
    EXPECT_FALSE(north.eventOf(Point{0, 24001, 0, 4000, Point::pack(7, 139, 0, 0)}, e));
    ASSERT_TRUE(north.eventOf(Point{0, 24000, 0, 4000, Point::pack(7, 139, 0, 0)}, e));
    // Slower than the limit.
    ASSERT_TRUE(north.eventOf(Point{0, 15000, 0, 4000, Point::pack(7, 250, 0, 0)}, e));
    EXPECT_FALSE(e.overSpeed());

    // Directions: heading 350 and a one-way point of 175 differ by -5.
    const EventsSearch north350 = EventsSearch::make(Map::Point{0, 0}, 100.0f, 20.0f, 350.0f, 10.0f, 5);
    EXPECT_TRUE(north350.eventOf(Point{0, 0, 0, 100, Point::pack(0, 0, 1, 175)}, e));
    const EventsSearch narrow = EventsSearch::make(Map::Point{0, 0}, 100.0f, 20.0f, 350.0f, 10.0f, 4);
    EXPECT_FALSE(narrow.eventOf(Point{0, 0, 0, 100, Point::pack(0, 0, 1, 175)}, e));
    // Both directions: the heading itself also passes.
    EXPECT_TRUE(narrow.eventOf(Point{0, 0, 0, 100, Point::pack(0, 0, 2, 350)}, e));
    EXPECT_FALSE(narrow.eventOf(Point{0, 0, 0, 100, Point::pack(0, 0, 2, 80)}, e));
    EXPECT_FALSE(narrow.eventOf(Point{0, 0, 0, 100, Point::pack(0, 0, 1, 350)}, e));

    // 1234.5 m at 100 units per metre is stored as 12345.
    ASSERT_TRUE(north.eventOf(Point{0, 123450, 0, 200000, 0}, e));
    EXPECT_EQ(e.distanceDecimetres(), 12345u);
    EXPECT_EQ(e.flags, ProximityEvent::Inside | 12345u);
    // Without a scale the distance is 0.
    const EventsSearch unscaled = EventsSearch::make(Map::Point{0, 0}, 0.0f, 20.0f, 0.0f, 10.0f, 10);
    ASSERT_TRUE(unscaled.eventOf(Point{0, 123450, 0, 200000, 0}, e));
    EXPECT_EQ(e.distanceDecimetres(), 0u);
}

TEST(DangerWarnQueries, FindEventsSearchesAheadOfTheCar) {
    const Map::Point car = Map::Projection::fromGeo(52.0f, 13.0f);
    const float u = Map::Projection::unitsPerMeterAt(car);
    auto at = [&](double northMetres) {
        return static_cast<std::int32_t>(car.y + std::floor(northMetres * u + 0.5));
    };
    const std::int32_t r40 = static_cast<std::int32_t>(40 * u);
    const Point camera{car.x, at(150), 0, r40, Point::pack(7, 139, 0, 0)};
    const Point behind{car.x, at(-150), 0, r40, Point::pack(7, 139, 0, 0)};
    const Point around{car.x, at(5), 0, r40, Point::pack(1, 0, 0, 0)};
    const Point far{car.x, at(400), 0, r40, Point::pack(7, 139, 0, 0)};
    IndexHolder holder = holderWith({camera, behind, around, far});

    std::vector<ProximityEvent> events{ProximityEvent{}}; // appended to, not replaced
    ASSERT_TRUE(findEvents(holder, events, car, 20.0f, 0.0f));
    ASSERT_EQ(events.size(), 3u);
    std::vector<Point> found{events[1].point, events[2].point};
    EXPECT_NE(std::find(found.begin(), found.end(), camera), found.end());
    EXPECT_NE(std::find(found.begin(), found.end(), around), found.end());

    // Standing still: a search box of one unit; only points over the car,
    // and limit points drop out (nothing ahead).
    events.clear();
    ASSERT_TRUE(findEvents(holder, events, car, 0.0f, 0.0f));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].point, around);
    EXPECT_TRUE(events[0].inside());
    EXPECT_EQ(events[0].distanceDecimetres(), 50u);

    IndexHolder none;
    EXPECT_FALSE(findEvents(none, events, car, 20.0f, 0.0f));
}

} // namespace
