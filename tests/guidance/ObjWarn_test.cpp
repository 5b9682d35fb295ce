#include "guidance/ObjWarn.h"

#include "core/Config.h"
#include "map/UnitsPerMeter.h"
#include "render/RenderStyles.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/routing/RouteFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Guidance {
namespace {

constexpr std::uint16_t kWarned = 0x21;
constexpr std::uint16_t kNotWarned = 0x22;

// A straight road of 5 km in parts of 100 m, and POIs beside it given by
// (metres along the road, metres off it, type).
struct Drive : KVMapObjWarnEventsHandler {
    struct Poi {
        float x;
        float off;
        std::uint16_t type;
    };
    struct Event {
        float objectX;
        float carX;
    };

    explicit Drive(std::vector<Poi> pois) : m_pois(std::move(pois)) {
        frame = Map::LevelFrame::of(route.level(0));
        // Level units per metre where the road lies, so that the route's
        // metres and the projection's agree.
        unitsPerMetre = Map::Projection::unitsPerMeterAt(frame.toGlobal({0, 500})) / static_cast<float>(frame.unit());
        for (int i = 0; i < 50; ++i) {
            PathPart part = route.part({at(i * 100.0f, 0), at((i + 1) * 100.0f, 0)});
            part.metresPerUnit = 1.0f / unitsPerMetre;
            part.lengthMetres = 100;
            path.appendPart(part);
        }
        styles.setPoiTypeFlags(kWarned, true, true);
        styles.setPoiTypeFlags(kNotWarned, true, false);
    }
    Map::LocalPoint at(float along, float off) const { return {along * unitsPerMetre, 500.0f + off * unitsPerMetre}; }

    void onObjWarnEvent(int code, ObjWarn& warn, const PathPosition& car) override {
        EXPECT_EQ(code, NewObject);
        const Map::LocalPoint object = frame.toLocal(warn.current()->poi.point);
        events.push_back({std::round(object.x / unitsPerMetre), car.levelPoint().x / unitsPerMetre});
    }

    PoiQuery query() {
        return [this](const PathPart&, const std::array<std::int32_t, 4>&, const std::function<void(const MapPoi&)>& visit) {
            ++queries;
            for (const Poi& p : m_pois) visit({RouteTest::MapId, frame.toGlobal(at(p.x, p.off)), p.type});
        };
    }

    // Drives the whole road at 15 m/s, one frame a second.
    void run(ObjWarn& warn) {
        PathPosition car(path, true);
        while (!car.isAtEnd()) {
            warn.update(car);
            clock.ticks += 1000;
            car.advanceMetres(15);
        }
    }

    RouteTest::RouteAtlas route;
    Path path;
    Render::RenderStyles styles;
    GuidanceTest::Clock clock;
    Map::LevelFrame frame;
    float unitsPerMetre = 1.0f;
    std::vector<Event> events;
    int queries = 0;

private:
    std::vector<Poi> m_pois;
};

TEST(ObjWarn, AnnouncesEachObjectAheadOnce) {
    Drive drive({{1200, 140, kWarned},
                 {1500, 160, kWarned}, // too far from the road
                 {1700, 20, kNotWarned},
                 {2000, -20, kWarned},
                 {2010, 20, kWarned},
                 // After a stretch with no object at all.
                 {4500, 0, kWarned}});
    Core::Config config;
    ObjWarn warn(config.root(), &drive, &drive.path, &drive.styles, drive.clock, drive.query());
    drive.run(warn);
    ASSERT_EQ(drive.events.size(), 4u);
    const float expected[][3] = {
        {1200, 1200 - 1000, 15}, // 1000 m ahead, within one frame's travel
        {2000, 1300, 15},        // once the car is 100 m past the first
        {2010, 1990, 15},        // the next lies within 20 m ahead of the car
        {4500, 3500, 15},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(drive.events[i].objectX, expected[i][0]) << i;
        EXPECT_GT(drive.events[i].carX, expected[i][1]) << i;
        EXPECT_LE(drive.events[i].carX, expected[i][1] + expected[i][2]) << i;
    }
}

TEST(ObjWarn, ScansAtMostOnceASecondAndResetsOnARouteChange) {
    Drive drive({{300, 0, kWarned}});
    Core::Config config;
    ObjWarn warn(config.root(), &drive, &drive.path, &drive.styles, drive.clock, drive.query());
    PathPosition car(drive.path, true);
    warn.update(car); // activates
    drive.clock.ticks += 999;
    warn.update(car);
    EXPECT_EQ(drive.queries, 0);
    drive.clock.ticks += 1;
    warn.update(car);
    EXPECT_GT(drive.queries, 0);
    for (int i = 0; i < 5; ++i, drive.clock.ticks += 1000) warn.update(car);
    ASSERT_EQ(drive.events.size(), 1u);
    ASSERT_NE(warn.current(), nullptr);
    drive.path.markChanged();
    // Its place lay on the route as it was: none until the next update.
    EXPECT_EQ(warn.current(), nullptr);
    warn.update(car);
    EXPECT_EQ(warn.current(), nullptr);
    for (int i = 0; i < 8; ++i, drive.clock.ticks += 1000) warn.update(car);
    EXPECT_EQ(drive.events.size(), 2u); // the new route announces it again
}

TEST(ObjWarn, SettingsPageAndWarningsShareOneSetOfKeys) {
    Core::Config config;
    ObjWarn::setDistances(config.root(), 300, 60);
    Drive drive({});
    ObjWarn::setDistances(nullptr, 1000, 150);
    ObjWarn warn(config.root(), &drive, &drive.path, &drive.styles, drive.clock, drive.query());
    EXPECT_EQ(ObjWarn::settings().incomingDistance, 300);
    EXPECT_EQ(ObjWarn::settings().outgoingDistance, 60);
    ObjWarn::setDistances(config.root(), 1000, 150);
    // Without stored keys the defaults hold.
    Core::Config fresh;
    ObjWarn::setDistances(nullptr, 1, 1);
    ObjWarn defaults(fresh.root(), &drive, &drive.path, &drive.styles, drive.clock, drive.query());
    EXPECT_EQ(ObjWarn::settings().incomingDistance, 1000);
    EXPECT_EQ(ObjWarn::settings().outgoingDistance, 150);
}

} // namespace
} // namespace Guidance
