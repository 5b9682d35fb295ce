#include "userdata/fdWPManager.h"

#include "UserDataTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"

#include <functional>
#include <random>

using namespace UserDataTest;
using TestSupport::readAll;

namespace {

const std::string point10 = "<wpt lat=\"10\" lon=\"20\"><name>one</name></wpt>";

struct Listener : Map::WayPointsCategoriesListener {
    int calls = 0;
    void onCategoriesChanged() override { ++calls; }
};

struct ManagerFixture {
    TestSupport::TempDir dir;
    FakeStyles styles;
    std::u16string folder = wide(dir / "waypoints");
    Listener listener;

    std::unique_ptr<fdWPManager> load() {
        auto m = std::make_unique<fdWPManager>(&styles, wide(dir / "icons.txt"));
        m->addListener(&listener);
        m->load(folder);
        return m;
    }
};

TEST(WaypointManager, LoadsOneCategoryPerReadableFile) {
    ManagerFixture f;
    TestSupport::CaptureLogger log;
    auto empty = f.load();
    ASSERT_EQ(empty->categoryCount(), 1u);
    EXPECT_EQ(empty->category(0).name, u"(Точки)");
    EXPECT_TRUE(std::filesystem::is_directory(f.dir / "waypoints")) << "a missing folder is created";
    EXPECT_TRUE(log.contains("Can't open icons file '" + (f.dir / "icons.txt").string() + "' (err 2): No such file or directory"));

    f.dir.write("waypoints/a.b.gpx", gpxDocument(point10));
    f.dir.write("waypoints/.hidden.gpx", gpxDocument(point10));
    f.dir.write("waypoints/broken.gpx", "<gpx><wpt");
    f.dir.write("waypoints/z.gpx", "<gpx/>");
    std::filesystem::create_directory(f.dir / "waypoints/dir.gpx");
    f.listener.calls = 0;
    auto manager = f.load();
    ASSERT_EQ(manager->categoryCount(), 2u);
    EXPECT_EQ(manager->category(0).name + u"|" + manager->category(1).name, u"a.b|z");
    EXPECT_EQ(manager->pointCount(), 1u);
    EXPECT_TRUE(log.contains("on parsing file '" + (f.dir / "waypoints").string() + "/broken.gpx'"));
    EXPECT_EQ(manager->addCategory(u"z"), 1);
    EXPECT_EQ(f.listener.calls, 1) << "loading tells; an existing category does not";
    EXPECT_EQ(manager->addCategory(u"../up"), 2);
    EXPECT_EQ(manager->category(2).name, u"_up");
    EXPECT_EQ(f.listener.calls, 2);
    EXPECT_EQ(manager->addPoint(u"p", {}, u"", 3), -1) << "no such category";

    // Loaded again, the points of the files gone are gone from the search too.
    const Map::Point one = manager->point(0).position;
    std::filesystem::remove(f.dir / "waypoints/a.b.gpx");
    manager->load(f.folder);
    EXPECT_EQ(manager->pointCount(), 0u);
    EXPECT_EQ(manager->findNearestPoint(one, 10), -1);
    // Category numbers are a byte, one value kept free: 255 files are read.
    for (int i = 0; i < 256; ++i) f.dir.write("waypoints/" + std::to_string(1000 + i) + ".gpx", "<gpx/>");
    manager->load(f.folder);
    EXPECT_EQ(manager->categoryCount(), 255u);
}

TEST(WaypointManager, DeletedPointsStayDeletedAndSavesAreAtomic) {
    ManagerFixture f;
    f.dir.write("waypoints/a.gpx", gpxDocument(point10 + point10));
    f.dir.write("waypoints/b.gpx", gpxDocument(point10));
    auto manager = f.load();
    ASSERT_TRUE(manager->deletePoint(0) && manager->deletePoint(1));
    EXPECT_EQ(manager->pointCount(), 3u) << "indexes stay";
    EXPECT_EQ(manager->findNearestPoint(manager->point(0).position, 10), 2) << "only b's point is left";
    const std::string untouched = readAll(f.dir / "waypoints/b.gpx");
    manager->save(f.folder);
    EXPECT_EQ(readAll(f.dir / "waypoints/b.gpx"), untouched) << "an unmodified category is not rewritten";
    expectValidGpx(f.dir / "waypoints/a.gpx");

    auto again = f.load();
    EXPECT_EQ(again->pointCount(), 1u) << "the emptied category was written empty";
    again->setNameAndComment(0, std::u16string(5000, u'x'), u"");
    TestSupport::CaptureLogger log;
    {
        TestSupport::FileSizeLimit limit(1000);
        again->save(f.folder);
    }
    EXPECT_EQ(readAll(f.dir / "waypoints/b.gpx"), untouched) << "a failed save leaves the old file whole";
    EXPECT_TRUE(log.contains("Can't create GPX file"));
    EXPECT_EQ(again->category(1).modified, 1) << "kept for the next save";
}

// Each setter changes its own point and marks the point's category for the
// next save; an index past the points changes nothing.
TEST(WaypointManager, SettersChangeTheirPointAndMarkItsCategory) {
    ManagerFixture f;
    f.dir.write("waypoints/a.gpx", gpxDocument(point10));
    auto manager = f.load();
    EXPECT_EQ(manager->category(0).modified, 0);
    const std::uint32_t uses = manager->storedPoint(0).uses;
    const struct {
        const char* what;
        std::function<bool(std::size_t)> set;
        std::function<bool(const StoredWayPoint&)> changed;
    } rows[] = {
        {"type", [&](std::size_t i) { return manager->setType(i, 0x2F01); },
         [](const StoredWayPoint& p) { return p.type == 0x2F01; }},
        {"url", [&](std::size_t i) { return manager->setUrl(i, u"http://a"); },
         [](const StoredWayPoint& p) { return p.url == u"http://a"; }},
        {"id", [&](std::size_t i) { return manager->setId(i, 42); }, [](const StoredWayPoint& p) { return p.id == 42; }},
        {"use", [&](std::size_t i) { return manager->addUse(i); },
         [&](const StoredWayPoint& p) { return p.uses == uses + 1; }},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(row.set(1)) << row.what;
        EXPECT_TRUE(row.set(0)) << row.what;
        EXPECT_TRUE(row.changed(manager->storedPoint(0))) << row.what;
        EXPECT_EQ(manager->category(0).modified, 1) << row.what;
    }
    // Saved into a folder that is gone since: it is made again.
    std::filesystem::remove_all(f.dir / "waypoints");
    manager->save(f.folder);
    expectValidGpx(f.dir / "waypoints/a.gpx");
}

TEST(WaypointManager, NearestPointMatchesALinearScan) {
    ManagerFixture f;
    auto manager = f.load();
    std::mt19937 random(36);
    auto coordinate = [&random] { return static_cast<std::int32_t>(random() % 2200) - 100; };
    for (int i = 0; i < 300; ++i)
        manager->addPoint(u"p", Map::Point{coordinate(), coordinate()}, u"", 0);
    for (int i = 0; i < 300; i += 7)
        manager->deletePoint(i);
    auto squared = [&](std::int32_t index, Map::Point q) {
        const Map::Point p = manager->point(index).position;
        return std::int64_t{p.x - q.x} * (p.x - q.x) + std::int64_t{p.y - q.y} * (p.y - q.y);
    };
    for (int query = 0; query < 200; ++query) {
        const Map::Point q{coordinate(), coordinate()};
        const std::int32_t radius = static_cast<std::int32_t>(random() % 150);
        std::int64_t best = std::int64_t{radius} * radius;
        for (std::int32_t i = 0; i < 300; ++i)
            if (!manager->point(i).deleted()) best = std::min(best, squared(i, q));
        const std::int32_t found = manager->findNearestPoint(q, radius);
        ASSERT_EQ(found < 0 ? std::int64_t{radius} * radius : squared(found, q), best) << query;
    }
    const Map::Point on = manager->point(1).position;
    EXPECT_EQ(manager->findNearestPoint(on, 0), -1) << "radius 0 finds nothing, not even a point right there";
    EXPECT_EQ(manager->findNearestPoint(on, 1), 1);
}

TEST(WaypointManager, ImageIndexIsTheIconListPositionAfterARestart) {
    ManagerFixture f;
    f.styles.loadable = {"pois/icons/a.bmp", "pois/icons/sub/b.bmp"};
    f.dir.write("icons.txt", "a.bmp\r\n\nmissing.bmp\nsub/b.bmp");
    f.dir.write("waypoints/w.gpx", gpxDocument(point10 + point10));
    auto manager = f.load();
    ASSERT_EQ(manager->typeIconCount(), 2u) << "consecutive repeats are dropped";
    ASSERT_EQ(manager->icons().size(), 4u);
    EXPECT_EQ(manager->iconNames(), (std::vector<std::u16string>{u"a.bmp", u"sub/b.bmp"}));
    ASSERT_TRUE(manager->setImage(0, 2));
    EXPECT_EQ(manager->storedPoint(0).imageUrl, u"a.bmp") << "the first file icon";
    ASSERT_TRUE(manager->setImage(0, 3) && manager->setImage(1, 1));
    EXPECT_FALSE(manager->setImage(0, 4));
    EXPECT_EQ(manager->pointImage(1), manager->icons()[1]);
    manager->save(f.folder);
    const std::string written = readAll(f.dir / "waypoints/w.gpx");
    EXPECT_NE(written.find("\t\t<extensions>\r\n\t\t\t<mirel:icon>1</mirel:icon>\r\n\t\t</extensions>"),
              std::string::npos)
        << written;
    EXPECT_EQ(written.find("<mirel:icon>3"), std::string::npos) << "a file icon is kept by its link";
    expectValidGpx(f.dir / "waypoints/w.gpx");

    auto restarted = f.load();
    EXPECT_EQ(restarted->storedPoint(0).imageIndex, 3);
    EXPECT_EQ(restarted->pointImage(0), restarted->icons()[3]);
    EXPECT_EQ(restarted->storedPoint(1).imageIndex, 1) << "a type icon is kept by its position";
    EXPECT_EQ(restarted->pointImage(1), restarted->icons()[1]);
    restarted->setType(0, FuelType);
    EXPECT_EQ(restarted->pointImage(0), f.styles.poiStyle(FuelType)->icon);
    EXPECT_EQ(restarted->storedPoint(0).imageUrl, u"sub/b.bmp");

    // With fewer type icons (other styles) a position past them is dropped.
    restarted->save(f.folder);
    f.styles.typeIconCount = 1;
    auto fewer = f.load();
    EXPECT_EQ(fewer->storedPoint(1).imageIndex, -1);
    EXPECT_EQ(fewer->storedPoint(0).imageIndex, 2) << "the file icon, after the one type icon";
}

// Once changes are written at once, each edit leaves its category's file on
// disk as it is now: a kill right after loses nothing.
TEST(WaypointManager, ChangesReachTheFileAtOnce) {
    ManagerFixture f;
    f.dir.write("waypoints/a.gpx", gpxDocument(point10));
    f.dir.write("waypoints/b.gpx", gpxDocument(point10));
    auto manager = f.load();
    manager->writeChangesTo(f.folder);
    const std::string untouched = readAll(f.dir / "waypoints/b.gpx");
    const struct {
        const char* what;
        std::function<void()> edit;
        std::size_t pointsInA;
    } rows[] = {
        {"add", [&] { manager->addPoint(u"new", Map::Point{5, 6}, u"", 0); }, 2},
        {"rename", [&] { manager->setNameAndComment(2, u"renamed", u"c"); }, 2},
        {"delete", [&] { manager->deletePoint(0); }, 1},
        {"use", [&] { manager->addUse(2); }, 1},
    };
    for (const auto& row : rows) {
        row.edit();
        EXPECT_EQ(manager->category(0).modified, 0) << row.what;
        auto restarted = f.load();
        std::size_t inA = 0;
        for (std::size_t i = 0; i < restarted->pointCount(); ++i)
            inA += restarted->pointCategory(i) == 0 ? 1 : 0;
        EXPECT_EQ(inA, row.pointsInA) << row.what;
    }
    auto restarted = f.load();
    EXPECT_EQ(restarted->point(0).name, u"renamed");
    EXPECT_EQ(readAll(f.dir / "waypoints/b.gpx"), untouched) << "another category is not rewritten";
    // A failed write keeps the mark, and the next save retries it.
    {
        TestSupport::FileSizeLimit limit(100);
        manager->addPoint(u"late", Map::Point{7, 8}, u"", 1);
    }
    EXPECT_EQ(manager->category(1).modified, 1);
    EXPECT_EQ(readAll(f.dir / "waypoints/b.gpx"), untouched);
    manager->save(f.folder);
    EXPECT_EQ(f.load()->pointCount(), 3u);
}

// The default category's file cut short: its points are not read, and the
// first write of the category keeps the damaged file beside the new one.
TEST(WaypointManager, AnUnreadableFileIsKeptBeforeItIsReplaced) {
    ManagerFixture f;
    const std::string whole = gpxDocument(point10 + point10 + point10);
    const std::string cut = whole.substr(0, whole.size() * 8 / 10);
    const std::filesystem::path file = f.dir / "waypoints" / "(Точки).gpx";
    f.dir.write("waypoints/(Точки).gpx", cut);
    f.dir.write("waypoints/(Точки).gpx.bak", "an older copy");
    TestSupport::CaptureLogger log;
    auto manager = f.load();
    ASSERT_EQ(manager->categoryCount(), 1u);
    EXPECT_EQ(manager->pointCount(), 0u);
    EXPECT_EQ(readAll(file), cut) << "loading alone changes nothing";
    manager->addPoint(u"one more", Map::Point{1, 2}, u"", 0);
    manager->save(f.folder);
    EXPECT_EQ(readAll(f.dir / "waypoints" / "(Точки).gpx.bak"), cut);
    EXPECT_TRUE(log.contains("Unreadable GPX file kept as '" + (f.dir / "waypoints").string() + "/(Точки).gpx.bak'"));
    expectValidGpx(file);
    EXPECT_EQ(f.load()->pointCount(), 1u);
    // Written again, the new file is no longer kept aside.
    manager->addPoint(u"two", Map::Point{3, 4}, u"", 0);
    manager->save(f.folder);
    EXPECT_EQ(readAll(f.dir / "waypoints" / "(Точки).gpx.bak"), cut);
    EXPECT_EQ(log.count("Unreadable GPX file kept as '" + (f.dir / "waypoints").string() + "/(Точки).gpx.bak'"),
              1u);
}

} // namespace