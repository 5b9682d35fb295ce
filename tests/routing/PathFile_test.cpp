// Path files: exact sizes and bytes, round trips through the atlas's maps,
// refusals, the atomic replacement, and hostile files under mutation.

#include "map/Level.h"
#include "routing/AtlasRoute.h"
#include "routing/PathFile.h"
#include "routing/PathPosition.h"
#include "tests/routing/RouteFixture.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

namespace {

using namespace RouteTest;
using Bytes = std::vector<std::uint8_t>;

// Two legs, a backward part and a part of level 1 among them.
Path sampleRoute(const RouteAtlas& town) {
    Path path(town.point({1100, 1100}, town.mainName));
    Path scratch;
    scratch.appendPart(town.part({{1100, 1100}, {1300, 1100}, {1300, 1400}}, 4, 1, 0));
    PathPart back = town.part({{1300, 1400}, {1300, 1900}}, 12, 0, 2);
    back.turnCode = 40;
    back.manoeuvre = 19;
    back.manoeuvreAux = 33;
    back.polylines.push_back(PathPolyline{{{5, 6}, {7, 8}, {9, 10}}, 1, 2});
    scratch.appendPart(back);
    path.appendPath(Path(path.points[0], town.point({1300, 1900}), scratch));
    scratch.parts.clear();
    scratch.appendPart(town.part({{300, 200}, {310, 250}}, 9, 1, 5, 1));
    path.appendPath(Path(path.points[1], town.point({1500, 1900}, town.ringName), scratch));
    return path;
}

std::function<Map::KVMap2*(std::uint32_t)> finder(const RouteAtlas& town) {
    return [&town](std::uint32_t id) { return town.atlas->findMapById(id); };
}

// Every stored field, maps and levels included, compared through the bytes.
Bytes encoded(const Path& path) {
    Bytes b;
    EXPECT_TRUE(PathFile::encode(u"", path, b));
    return b;
}

TEST(PathFile, SizesBytesAndRoundTrip) {
    RouteAtlas town;
    Bytes bytes;
    ASSERT_TRUE(PathFile::encode(u"autosave", Path(), bytes));
    ASSERT_EQ(bytes.size(), 209u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 9), (Bytes{'K', 'V', 'P', 4, 0, 'a', 0, 'u', 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 19, bytes.begin() + 23), (Bytes{'e', 0, 0, 0}));
    EXPECT_EQ(Bytes(bytes.end() - 2, bytes.end()), (Bytes{0xFF, 0xFF}));

    Path one(town.point({1100, 1200}, 9));
    ASSERT_TRUE(PathFile::encode(u"", one, bytes));
    ASSERT_EQ(bytes.size(), 240u);
    // legCount 0, then the point: map 7, level 0, both flags, segment 0,
    // name 9, road point, picked point.
    EXPECT_EQ(Bytes(bytes.begin() + 207, bytes.begin() + 224), (Bytes{0, 0, MapId, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 9, 0, 0, 0}));
    Path back;

    const Path route = sampleRoute(town);
    ASSERT_TRUE(PathFile::encode(std::u16string(100, u'n'), route, bytes));
    EXPECT_FALSE(PathFile::encode(std::u16string(101, u'n'), route, bytes));
    ASSERT_TRUE(PathFile::decode(bytes.data(), bytes.size(), finder(town), back));
    EXPECT_EQ(encoded(back), encoded(route));
    EXPECT_EQ(back.parts[2].legIndex, 1u);
    EXPECT_EQ(back.parts[2].level, &town.level(1));
}

TEST(PathFile, RefusalsLeaveTheTargetAlone) {
    RouteAtlas town;
    const Path route = sampleRoute(town);
    Bytes good;
    ASSERT_TRUE(PathFile::encode(u"x", route, good));
    // Offsets: leg count 207, point 0 at 209, part count 240, the first
    // part's head at 242 and its first point count at 272.
    const auto patched = [&](std::size_t at, Bytes with) {
        Bytes b = good;
        std::copy(with.begin(), with.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        return b;
    };
    // Routes the writer stores as given but the reader must not take.
    const auto stored = [&](auto damage) {
        Path bad = sampleRoute(town);
        damage(bad);
        Bytes b;
        EXPECT_TRUE(PathFile::encode(u"x", bad, b));
        return b;
    };
    const struct {
        const char* what;
        Bytes bytes;
    } rows[] = {
        {"signature", patched(0, {'K', 'V', 'Q'})},
        {"version", patched(3, {5})},
        {"unknown map", patched(209, {99})},
        {"point level beyond the map's", patched(213, {2})},
        {"more parts than bytes", patched(240, {0xFF, 0xFF})},
        {"points beyond the file", patched(272, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"short", Bytes(good.begin(), good.end() - 1)},
        {"one point", stored([](Path& p) { p.parts[1].polylines[1].points.resize(1); })},
        {"no polylines", stored([](Path& p) { p.parts[1].polylines.clear(); })},
        {"no parts in a leg", patched(240, {0, 0})},
        {"not a number", stored([](Path& p) { p.parts[0].polylines[0].points[1].y = std::nanf(""); })},
        {"no metres per unit", stored([](Path& p) { p.parts[2].metresPerUnit = 0; })},
        {"manoeuvre beyond the table", stored([](Path& p) { p.parts[1].manoeuvre = 34; })},
    };
    for (const auto& row : rows) {
        Path target = sampleRoute(town);
        target.parts.pop_back();
        std::uint8_t flag = 0;
        target.addChangeFlag(&flag);
        EXPECT_FALSE(PathFile::decode(row.bytes.data(), row.bytes.size(), finder(town), target)) << row.what;
        EXPECT_EQ(target.parts.size(), route.parts.size() - 1) << row.what;
        EXPECT_EQ(flag, 0) << row.what;
    }
    // A leg without parts is neither written nor read.
    Path empty = sampleRoute(town);
    empty.parts[2].legIndex = 0;
    Bytes untouched{1, 2, 3};
    EXPECT_FALSE(PathFile::encode(u"x", empty, untouched));
    EXPECT_EQ(untouched, (Bytes{1, 2, 3}));
    // No points stored: true, and nothing changes.
    Path target = sampleRoute(town);
    ASSERT_TRUE(PathFile::decode(encoded(Path()).data(), 209, finder(town), target));
    EXPECT_EQ(target.parts.size(), route.parts.size());
}

TEST(PathFile, HostileFilesAreRefusedOrReadWhole) {
    RouteAtlas town;
    Bytes good;
    ASSERT_TRUE(PathFile::encode(u"route", sampleRoute(town), good));
    TestSupport::Damage damage(seed());
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        const Bytes b = damage.apply(good);
        Path target;
        if (!PathFile::decode(b.data(), b.size(), finder(town), target)) {
            EXPECT_TRUE(target.points.empty() && target.parts.empty());
            continue;
        }
        ++accepted;
        // Whatever was accepted can be walked and measured (bounds-tested
        // access throws on a polyline of fewer than two points).
        PathPosition end(target, true);
        end.advance(1e9f);
        EXPECT_LT(PathPosition::distanceTo(PathPosition(target, true), end), 0xFFFFFFFFu);
    }
    EXPECT_GT(accepted, 0);
}

TEST(PathFile, TheAtlasKeepsItsRouteInPathKvp) {
    TestSupport::CaptureLogger log;
    Map::AtlasServices services;
    auto owned = std::make_unique<AtlasRoute>();
    AtlasRoute& route = *owned;
    services.routePath = std::move(owned);
    RouteAtlas town(std::move(services));
    const std::filesystem::path file = town.setup.dir.path() / "maps" / "route" / "path.kvp";
    EXPECT_TRUE(log.contains("Can't open path file '" + file.parent_path().string() + "/path.kvp' (err 2): No such file or directory"));
    route.path() = sampleRoute(town);
    const Bytes stored = encoded(route.path());

    // The map drawing reads the route as level-local pieces.
    RouteLine line(route.path(), *town.atlas);
    ASSERT_EQ(line.parts().size(), 3u);
    const MapDrawing::RoutePiece& piece = line.parts()[1].at(1);
    EXPECT_EQ(piece.frame, Map::LevelFrame::of(town.level(0)));
    EXPECT_EQ((std::pair{piece.mapIndex, piece.cellX}), (std::pair{0u, 1}));
    EXPECT_EQ(piece.points[0], (Map::LocalPoint{1024 + 5, 2048 + 6}));
    ASSERT_EQ(line.points().size(), 3u);
    EXPECT_EQ(line.points()[2].point, (Map::LocalPoint{1500, 1900}));

    const std::u16string folder = town.atlas->folder();
    town.atlas->unload();
    EXPECT_TRUE(line.parts().empty()) << "the line follows the edit";
    std::u16string name;
    ASSERT_TRUE(PathsList::readName(AtlasTest::wide(file), name));
    EXPECT_EQ(name, u"autosave");
    ASSERT_TRUE(town.atlas->load(folder));
    EXPECT_EQ(encoded(route.path()), stored);
    EXPECT_EQ(line.parts().size(), 3u);

    // A file of another version is refused by the list and the reader.
    town.atlas->unload();
    std::filesystem::resize_file(file, 5);
    std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp(3).put(5);
    EXPECT_FALSE(PathsList::readName(AtlasTest::wide(file), name));
    ASSERT_TRUE(town.atlas->load(folder));
    EXPECT_TRUE(route.path().points.empty());
}

TEST(PathFile, AFullDiskKeepsTheOldFile) {
    RouteAtlas town;
    TestSupport::TempDir dir;
    const std::u16string file = AtlasTest::wide(dir / "path.kvp");
    ASSERT_TRUE(PathFile::write(u"autosave", file, Path()));
    TestSupport::CaptureLogger log;
    int error = 0;
    {
        TestSupport::FileSizeLimit limit(300);
        EXPECT_FALSE(PathFile::write(u"autosave", file, sampleRoute(town), &error));
    }
    EXPECT_EQ(error, 223);
    EXPECT_EQ(TestSupport::readAll(dir / "path.kvp").size(), 209u);
    EXPECT_TRUE(log.contains("Can't write path file '" + (dir / "path.kvp").string() + "' (err 223): File too large"));
}

} // namespace
