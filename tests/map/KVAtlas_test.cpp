// The atlas: atlas.xml written and read back, level scales, loading with
// bad maps skipped, the camera reset and file, listeners, the services of
// the subsystems above, and the folder list.

#include "map/KVAtlas.h"
#include "map/Projection.h"

#include "core/Text.h"
#include "map/AtlasFolderList.h"
#include "map/AtlasXml.h"
#include "map/CameraFile.h"
#include "tests/map/AtlasFixture.h"
#include "tests/support/AsOrdinaryUser.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"

#include "platform/Path.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <optional>
#include <thread>

using namespace AtlasTest;

namespace {

void setTime(const std::filesystem::path& path, std::int64_t unixSeconds) {
    std::filesystem::last_write_time(
        path, std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{unixSeconds}}));
}

// A file with only the 48 header bytes, byte 44 = type.
void writeHeaderOnly(const std::filesystem::path& path, std::uint8_t type) {
    std::vector<std::uint8_t> bytes(48, 0);
    bytes[0] = 'M', bytes[1] = 'L', bytes[2] = 'V', bytes[3] = 'A';
    bytes[44] = type;
    writeFile(path, bytes);
}

using MapWriting::writeMapFile;

std::string lineWith(const TestSupport::CaptureLogger& log, const std::string& text) {
    for (const std::string& line : log.lines())
        if (line.find(text) != std::string::npos) return line;
    return "";
}

TEST(AtlasXmlTest, BytesOfTheWrittenFile) {
    AtlasSetup setup;
    const auto folder = setup.folder("a&<b>");
    for (std::uint8_t t = 0; t < 7; ++t) {
        writeHeaderOnly(folder / std::string(1, 't').append(std::to_string(t)).append(".kvm"), t);
        setTime(folder / std::string(1, 't').append(std::to_string(t)).append(".kvm"), 1700000000 + t);
    }
    writeHeaderOnly(folder / "Tom's & \"Co\".kvm", 2);
    setTime(folder / "Tom's & \"Co\".kvm", 4000000000LL); // still fits 32 bits unsigned
    writeHeaderOnly(folder / "seven.kvm", 7);
    writeFile(folder / "short.kvm", std::vector<std::uint8_t>(47, 0));
    writeHeaderOnly(folder / "notes.txt", 0);
    std::filesystem::create_directories(folder / "dir.kvm");

    const std::string dir = folder.string();
    std::string expected = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n"
                           "<!-- Maps of the atlas folder; time: last write of the file in seconds since "
                           "1970-01-01 UTC -->\r\n"
                           "<atlas name=\"default\" dir=\"" +
                           dir.substr(0, dir.size() - 5) + "a&amp;&lt;b&gt;\">\r\n";
    const char* names[7] = {"city", "region", "country", "world", "pois", "polylines", "invisible"};
    for (int t = 0; t < 7; ++t)
        expected += "\t<map name=\"t" + std::to_string(t) + "\" src=\"t" + std::to_string(t) +
                    ".kvm\" type=\"" + names[t] + "\" time=\"" + std::to_string(1700000000 + t) + "\" />\r\n";
    expected += "\t<map name=\"Tom&apos;s &amp; &quot;Co&quot;\" src=\"Tom&apos;s &amp; &quot;Co&quot;.kvm\" "
                "type=\"country\" time=\"4000000000\" />\r\n"
                "</atlas>\r\n";
    EXPECT_EQ(Map::AtlasXml::build(wide(folder)), expected);

    ASSERT_TRUE(Map::AtlasXml::write(wide(setup.atlasXml()), wide(folder)));
    EXPECT_EQ(TestSupport::readAll(setup.atlasXml()), expected);

    std::vector<Map::AtlasXml::Map> maps;
    ASSERT_TRUE(Map::AtlasXml::read(wide(setup.atlasXml()), maps));
    ASSERT_EQ(maps.size(), 8u);
    EXPECT_EQ(maps[3].name, u"t3");
    EXPECT_EQ(maps[3].type, 3u);
    EXPECT_EQ(maps[3].time, 1700000003u);
    EXPECT_EQ(*maps[7].src, u"Tom's & \"Co\".kvm");
    EXPECT_EQ(maps[7].type, 2u);
    EXPECT_EQ(maps[7].time, 4000000000u);
}

TEST(AtlasXmlTest, ReadingFailuresAndDefaults) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    std::vector<Map::AtlasXml::Map> maps;
    const auto path = dir / "atlas.xml";
    EXPECT_FALSE(Map::AtlasXml::read(wide(path), maps));
    EXPECT_NE(lineWith(log, "Can't open atlas file '" + path.string() + "' (err 2): No such file or directory"), "");

    dir.write("atlas.xml", "<atlas dir='x'><map src='a.kvm'</atlas>");
    EXPECT_FALSE(Map::AtlasXml::read(wide(path), maps));
    EXPECT_NE(lineWith(log, " on parsing atlas file"), "");
    EXPECT_NE(lineWith(log, "Error: "), "");

    dir.write("atlas.xml", "<maps dir='x'/>");
    EXPECT_FALSE(Map::AtlasXml::read(wide(path), maps));
    EXPECT_NE(lineWith(log, "Atlas fatal error: bad '" + path.string() + "' - atlas entry not found"), "");

    dir.write("atlas.xml", "<atlas name='x'><map src='a.kvm'/></atlas>");
    EXPECT_FALSE(Map::AtlasXml::read(wide(path), maps));
    EXPECT_NE(lineWith(log, "Atlas fatal error: maps dir not specified"), "");
    EXPECT_TRUE(maps.empty());

    dir.write("atlas.xml", "<atlas dir=''><map name='n' /><map src='b.kvm' type='town' time='12x'/>"
                           "<other src='c.kvm'/><map src='d.kvm' type='pois' time='4294967296'/></atlas>");
    ASSERT_TRUE(Map::AtlasXml::read(wide(path), maps));
    ASSERT_EQ(maps.size(), 3u);
    EXPECT_EQ(maps[0].name, u"n");
    EXPECT_FALSE(maps[0].src.has_value());
    EXPECT_EQ(maps[1].name, u"noname");
    EXPECT_FALSE(maps[1].typeValid);
    EXPECT_EQ(maps[1].type, 0u);
    EXPECT_EQ(maps[1].time, 12u);
    EXPECT_EQ(maps[2].type, 4u);
    EXPECT_EQ(maps[2].time, 0u); // beyond 32 bits
}

TEST(KVAtlasTest, LevelScalesAndLevelForScale) {
    AtlasSetup setup;
    auto atlas = setup.makeAtlas();
    const auto& scales = atlas->levelScales();
    ASSERT_EQ(scales.size(), 33u);
    EXPECT_EQ((std::vector<int>{scales[14], scales[15], scales[26], scales[27]}), (std::vector<int>{0, 40000, 30, 0}));
    const std::pair<float, int> levels[] = {{40000, 14}, {1e9f, 14}, {29, 26}, {30, 25}, {100, 23}};
    for (const auto& [scale, level] : levels)
        EXPECT_EQ(atlas->levelForScale(scale), level) << scale;
    EXPECT_EQ(setup.config.root()->value("level_21_scale", -1), 900);

    // Level 20 below level 21: every default comes back, in the table and
    // in the configuration.
    setup.config.root()->set("level_20_scale", 10);
    setup.config.root()->set("level_25_scale", 55);
    auto repaired = setup.makeAtlas();
    EXPECT_EQ(repaired->levelScales()[20], 1300);
    EXPECT_EQ(repaired->levelScales()[25], 50);
    EXPECT_EQ(setup.config.root()->value("level_20_scale", -1), 1300);
    EXPECT_EQ(setup.config.root()->value("level_25_scale", -1), 50);

    // A negative level 26, and an increasing table that is kept.
    setup.config.root()->set("level_26_scale", -1);
    EXPECT_EQ(setup.makeAtlas()->levelScales()[26], 30);
    setup.config.root()->set("level_26_scale", 0);
    setup.config.root()->set("level_25_scale", 60);
    auto kept = setup.makeAtlas();
    EXPECT_EQ(kept->levelScales()[26], 0);
    EXPECT_EQ(kept->levelScales()[25], 60);
    EXPECT_EQ(kept->levelForScale(10), 25); // level 26 has no bound
}

TEST(KVAtlasTest, HeapSizesFromTheConfiguration) {
    AtlasSetup setup;
    auto atlas = setup.makeAtlas();
    EXPECT_GE(atlas->mainHeap().totalBytes(), 1024u << 10);
    EXPECT_LT(atlas->mainHeap().totalBytes(), (1024u << 10) + 64);
    TestSupport::CaptureLogger log;
    setup.config.root()->set("win_main_heap", -5);
    setup.config.root()->set("win_route_heap", 0x400000);
    auto fallback = setup.makeAtlas();
    EXPECT_GE(fallback->mainHeap().totalBytes(), 20480u << 10);
    EXPECT_GE(fallback->routeHeap()->totalBytes(), 20480u << 10);
    EXPECT_NE(lineWith(log, "Invalid win_main_heap value -5 - using 20480"), "");
}

TEST(KVAtlasTest, BadMapsAreLoggedAndSkipped) {
    AtlasSetup setup;
    const auto folder = setup.folder("town");
    writeMapFile(folder / "a-good.kvm", completeMap(1, 0));
    std::vector<std::uint8_t> truncated = MapWriting::writeMap(completeMap(2, 0)).bytes;
    truncated.resize(60); // the header is whole, so it is listed
    writeFile(folder / "b-short.kvm", truncated);
    const MapWriting::WrittenMap zero = MapWriting::writeMap(completeMap(3, 0));
    std::vector<std::uint8_t> noLevels = zero.bytes;
    noLevels[zero.header[6]] = 0;
    writeFile(folder / "c-zero.kvm", noLevels);
    std::vector<std::uint8_t> badBits = zero.bytes;
    badBits[zero.header[6] + 1] = 40;
    writeFile(folder / "d-bits.kvm", badBits);
    std::vector<std::uint8_t> format = zero.bytes;
    format[8] = 0x01;
    writeFile(folder / "e-format.kvm", format);
    MapWriting::MapDescription second = completeMap(6, 2);
    second.levels[0].originX = 400; // the same area elsewhere
    writeMapFile(folder / "f-good.kvm", second);
    writeMapFile(folder / "g-seven.kvm", completeMap(7, 7));

    TestSupport::CaptureLogger log;
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(wide(folder)));
    ASSERT_EQ(atlas->mapCount(), 2u);
    EXPECT_EQ(atlas->firstMap()->sourceName(), u"a-good.kvm");
    EXPECT_EQ(atlas->mapAt(1)->sourceName(), u"f-good.kvm");
    EXPECT_EQ(atlas->mapAt(2), nullptr);
    EXPECT_EQ(atlas->findMapById(6), atlas->mapAt(1));
    EXPECT_EQ(atlas->findMapById(3), nullptr);
    EXPECT_EQ(atlas->mapAt(1)->mapType(), 2u);
    EXPECT_EQ(atlas->mapAt(0)->time(),
              static_cast<std::uint32_t>(
                  std::chrono::duration_cast<std::chrono::seconds>(
                      std::chrono::file_clock::to_sys(std::filesystem::last_write_time(folder / "a-good.kvm"))
                          .time_since_epoch())
                      .count()));

    EXPECT_NE(lineWith(log, "Loading atlas " + folder.string()), "");
    for (const char* skipped : {"'b-short' (b-short.kvm) is invalid (File is too small)",
                                "'c-zero' (c-zero.kvm) is invalid (Invalid geometry section)",
                                "'d-bits' (d-bits.kvm) is invalid (Invalid geometry section)",
                                "'e-format' (e-format.kvm) is invalid (Invalid map)"})
        EXPECT_NE(lineWith(log, std::string("Atlas error: map ") + skipped + " - skip"), "") << skipped;
    // Not even listed, but the user is told which file was left out.
    EXPECT_EQ(lineWith(log, "g-seven"), "Atlas error: map file '" + (folder / "g-seven.kvm").string() +
                                            "' is not listed (Invalid map type 7) - skip");
    EXPECT_NE(lineWith(log, "Tarvik not loaded"), "");
    EXPECT_EQ(TestSupport::readAll(setup.atlasXml()).find("g-seven"), std::string::npos);
    // The files refused, with their reasons: first those the listing left
    // out, then those that failed to open, in the folder's order.
    std::vector<std::pair<std::string, std::string>> refused;
    for (const auto& map : atlas->refusedMaps())
        refused.emplace_back(Platform::toNativePath(map.path), map.reason);
    const auto in = [&](const char* name) { return (folder / name).string(); };
    EXPECT_EQ(refused, (std::vector<std::pair<std::string, std::string>>{
                           {in("g-seven.kvm"), "Invalid map type 7"},
                           {in("b-short.kvm"), "File is too small"},
                           {in("c-zero.kvm"), "Invalid geometry section"},
                           {in("d-bits.kvm"), "Invalid geometry section"},
                           {in("e-format.kvm"), "Invalid map"}}));

    // No camera file: the camera goes to level 0 of the first of the two
    // equally large maps (24 bits, cell shift 10, origin 100/200, 4 x 3).
    EXPECT_EQ(atlas->camera().centreX, ((100 << 10) + 1024 * 2 + 512) << 8);
    EXPECT_EQ(atlas->camera().centreY, ((200 << 10) + 1024 * 1 + 512) << 8);
    EXPECT_FLOAT_EQ(atlas->camera().scale, 0.0001f);
    EXPECT_EQ(atlas->camera().mode, 1);
    EXPECT_EQ(atlas->view().zoomStep, 1u);
    EXPECT_EQ(atlas->view().redrawRequest(), 2u);

    // The first-run settings name the first view's metres per 40 pixels (a
    // town, not a speck): the scale that shows them at that centre. Values
    // out of range keep the reset's scale.
    const Map::GeoPoint centre = Map::Projection::toGeo({atlas->camera().centreX, atlas->camera().centreY});
    for (const auto& [metres, shown] :
         {std::pair{200.0f, 200.0}, std::pair{-5.0f, 0.0}, std::pair{1e6f, 0.0}}) {
        setup.config.root()->set("first_view_metres", metres);
        std::filesystem::remove(folder / "camera.kvc");
        auto again = setup.makeAtlas();
        ASSERT_TRUE(again->load(wide(folder)));
        const double scale = again->camera().scale;
        if (shown == 0.0)
            EXPECT_FLOAT_EQ(scale, 0.0001f) << metres;
        else
            EXPECT_NEAR(std::cos(centre.latitude * 3.14159265358979323846 / 180.0) * 0.00932028517127037 *
                            40.0 / scale,
                        shown, 0.01);
        EXPECT_EQ(again->camera().mode, 1);
    }
}

TEST(KVAtlasTest, LargestMapWinsAndNoValidMaps) {
    AtlasSetup setup;
    const auto empty = setup.folder("empty");
    writeFile(empty / "notes.kvm.txt", {1, 2, 3});
    {
        // The first load, the start's: finding no map ends the program.
        TestSupport::CaptureLogger log;
        EXPECT_FALSE(setup.makeAtlas()->load(wide(empty)));
        EXPECT_NE(lineWith(log, "Atlas fatal error: no valid maps found"), "");
    }
    const auto folder = setup.folder("two");
    writeMapFile(folder / "a.kvm", completeMap(1, 0));
    MapWriting::MapDescription large = completeMap(2, 0);
    large.levels[0].coordinateBits = 32; // shift by 0
    large.levels[0].width = 5;
    writeMapFile(folder / "b.kvm", large);
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(wide(folder)));
    EXPECT_EQ(atlas->camera().centreX, (100 << 10) + 1024 * 2 + 512);
    EXPECT_EQ(atlas->camera().centreY, (200 << 10) + 1024 * 1 + 512);

    // After an atlas was in use the program runs on without a map: no
    // line may read as its end.
    TestSupport::CaptureLogger log;
    EXPECT_FALSE(atlas->load(wide(empty)));
    EXPECT_EQ(atlas->mapCount(), 0u);
    EXPECT_NE(lineWith(log, "Atlas error: no valid maps found in " + empty.string() + " - no map is shown"),
              "");
    for (const std::string& line : log.lines())
        EXPECT_EQ(line.find("fatal"), std::string::npos) << line;
    const std::string xml = TestSupport::readAll(setup.atlasXml());
    EXPECT_EQ(xml.find("<map"), std::string::npos);
    EXPECT_NE(xml.find("</atlas>"), std::string::npos);
    EXPECT_EQ(atlas->folder(), wide(empty)); // a failed load keeps the folder
}

// The maps of a folder deleted while in use: the load that finds none keeps
// their names in atlas.xml (as "gone", never as maps), so each start that
// fails on the folder still names them; a load that finds a map again
// names them once and lists only what is there.
TEST(KVAtlasTest, MapsGoneFromAFolderLeftWithoutMapsAreStillNamed) {
    AtlasSetup setup;
    const auto folder = setup.folder("one");
    writeMapFile(folder / "a&b.kvm", completeMap(1, 0));
    writeMapFile(folder / "c.kvm", completeMap(2, 0));
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(wide(folder)));
    std::filesystem::remove(folder / "a&b.kvm");
    std::filesystem::remove(folder / "c.kvm");
    const std::vector<std::u16string> gone = {Map::joinPath(wide(folder), u"a&b.kvm"),
                                              Map::joinPath(wide(folder), u"c.kvm")};
    EXPECT_FALSE(atlas->load(wide(folder)));
    EXPECT_EQ(atlas->vanishedMaps(), gone);
    for (int start = 0; start < 2; ++start) {
        const std::string xml = TestSupport::readAll(setup.atlasXml());
        EXPECT_EQ(xml.find("<map"), std::string::npos) << xml;
        EXPECT_NE(xml.find("\t<gone src=\"a&amp;b.kvm\" />\r\n\t<gone src=\"c.kvm\" />\r\n</atlas>"),
                  std::string::npos)
            << xml;
        auto next = setup.makeAtlas();
        EXPECT_FALSE(next->load(wide(folder)));
        EXPECT_EQ(next->vanishedMaps(), gone) << start;
    }
    writeMapFile(folder / "c.kvm", completeMap(2, 0));
    auto mended = setup.makeAtlas();
    ASSERT_TRUE(mended->load(wide(folder)));
    EXPECT_EQ(mended->vanishedMaps(), std::vector<std::u16string>{gone[0]});
    const std::string xml = TestSupport::readAll(setup.atlasXml());
    EXPECT_EQ(xml.find("<gone"), std::string::npos) << xml;
    EXPECT_NE(xml.find("src=\"c.kvm\""), std::string::npos) << xml;
    mended.reset();
    auto again = setup.makeAtlas();
    EXPECT_TRUE(again->load(wide(folder)));
    EXPECT_TRUE(again->vanishedMaps().empty()) << "named once";
}

// A folder whose rights were taken away (chmod 000) hides its maps without
// their being gone: the load names the folder and the system's reason, no
// map as gone, and atlas.xml keeps the list of the last good load.
TEST(KVAtlasTest, AnUnreadableFolderIsNamedNotItsMapsAsGone) {
    AtlasSetup setup;
    const auto folder = setup.folder("one");
    writeMapFile(folder / "a.kvm", completeMap(1, 0));
    ASSERT_TRUE(setup.makeAtlas()->load(wide(folder)));
    const std::string listed = TestSupport::readAll(setup.atlasXml());
    // The program folder open to the ordinary user, the atlas folder not.
    using std::filesystem::perms;
    for (const auto& path : {setup.program(), setup.data(), setup.atlasXml(), folder.parent_path()})
        std::filesystem::permissions(path, perms::all, std::filesystem::perm_options::add);
    std::filesystem::permissions(folder, perms::none);
    TestSupport::CaptureLogger log;
    auto atlas = setup.makeAtlas();
    bool loaded = true;
    TestSupport::asOrdinaryUser([&] { loaded = atlas->load(wide(folder)); });
    std::filesystem::permissions(folder, perms::owner_all);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(atlas->vanishedMaps().empty());
    ASSERT_EQ(atlas->refusedMaps().size(), 1u);
    EXPECT_EQ(atlas->refusedMaps()[0].path, wide(folder));
    EXPECT_EQ(atlas->refusedMaps()[0].reason, "The folder cannot be read (Permission denied)");
    const std::string line =
        "Atlas error: folder '" + folder.string() + "' cannot be read (Permission denied)";
    EXPECT_EQ(log.count(line), 1u);
    EXPECT_EQ(log.count("Atlas fatal error: no valid maps found"), 1u);
    for (const std::string& line : log.linesAt(Log::Critical))
        EXPECT_EQ(line.find("is gone"), std::string::npos) << line;
    EXPECT_EQ(TestSupport::readAll(setup.atlasXml()), listed);
}

// A read-only data folder or a full disk: atlas.xml cannot be rewritten,
// and the folder's maps are loaded from the list just built; the stale file
// neither stands in nor is damaged.
// A hand-edited atlas.xml with thousands of gone lines: only plain file
// names of the folder are taken, each once, the first MaxGone; the rest is
// counted in a line per reason, and what is named and written back stays
// bounded at every start.
TEST(KVAtlasTest, AHandEditedListOfGoneFilesIsReadBounded) {
    AtlasSetup setup;
    const auto folder = setup.folder("one");
    ASSERT_FALSE(setup.makeAtlas()->load(wide(folder)));
    std::string lines;
    for (const char* name : {"/etc/passwd", "../other/x.kvm", "a&#10;b.kvm", "sub\\x.kvm", "..", "", "\xc2\x85.kvm"})
        lines.append("<gone src=\"").append(name).append("\" />\r\n");
    for (int i = 0; i < 20000 - 7; ++i)
        lines.append("<gone src=\"g").append(std::to_string(i < 150 ? i : 1)).append(".kvm\" />\r\n");
    std::string xml = TestSupport::readAll(setup.atlasXml());
    std::ofstream(setup.atlasXml(), std::ios::binary) << xml.insert(xml.rfind("</atlas>"), lines);

    std::vector<std::u16string> named;
    for (int i = 0; i < 100; ++i)
        named.push_back(Map::joinPath(wide(folder), Core::utf8ToWide(std::to_string(i).insert(0, 1, 'g').append(".kvm"))));
    for (int start = 0; start < 2; ++start) {
        TestSupport::CaptureLogger log;
        auto atlas = setup.makeAtlas();
        EXPECT_FALSE(atlas->load(wide(folder)));
        EXPECT_EQ(atlas->vanishedMaps(), named) << start;
        const std::string file = setup.atlasXml().string();
        EXPECT_EQ(log.count("Atlas file '" + file + "': 7 gone entries are no file name of the atlas folder - ignored"),
                  start == 0 ? 1u : 0u);
        EXPECT_EQ(log.count("Atlas file '" + file + "': 50 gone entries beyond the first 100 - ignored"),
                  start == 0 ? 1u : 0u);
        EXPECT_EQ(log.countStartingWith("Atlas error: map file '"), 100u);
        EXPECT_LT(log.lines().size(), 110u);
        xml = TestSupport::readAll(setup.atlasXml());
        std::size_t written = 0;
        for (std::size_t at = xml.find("<gone"); at != std::string::npos; at = xml.find("<gone", at + 1))
            ++written;
        EXPECT_EQ(written, 100u);
    }
}

// Map entries of files that are gone, a name listed twice counted once: the
// first MaxGone named, the rest in one count. A folder of a map's name is no
// map file; a file that is there is not gone, however often it is listed.
TEST(KVAtlasTest, GoneMapFilesAreCountedOnceEach) {
    AtlasSetup setup;
    const auto folder = setup.folder("one");
    writeMapFile(folder / "a.kvm", completeMap(1, 0));
    std::filesystem::create_directory(folder / "sub.kvm");
    ASSERT_TRUE(setup.makeAtlas()->load(wide(folder)));
    std::string lines;
    for (int round = 0; round < 2; ++round) {
        lines.append("<map name=\"a\" src=\"a.kvm\" type=\"city\" time=\"1\" />\r\n");
        for (int i = 0; i < 149; ++i)
            lines.append("<map name=\"g\" src=\"g").append(std::to_string(i)).append(".kvm\" type=\"city\" />\r\n");
        lines.append("<map name=\"s\" src=\"sub.kvm\" type=\"city\" />\r\n");
    }
    std::string xml = TestSupport::readAll(setup.atlasXml());
    std::ofstream(setup.atlasXml(), std::ios::binary) << xml.insert(xml.rfind("</atlas>"), lines);
    TestSupport::CaptureLogger log;
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(wide(folder)));
    EXPECT_EQ(atlas->vanishedMaps().size(), 100u);
    EXPECT_EQ(log.count("Atlas error: map file 'g0.kvm' is gone"), 1u);
    EXPECT_EQ(log.count("Atlas error: map file 'a.kvm' is gone"), 0u);
    const auto logged = log.lines();
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(), [](const std::string& l) { return l.ends_with("' is gone"); }),
              100);
    EXPECT_EQ(log.count("Atlas error: 50 more map files are gone"), 1u);
}

// An atlas.xml edited past reading: 100,000 nested elements (the parser
// recurses once a level: the start crashed, every time) or a torn file. The
// atlas loads from the folder, and the person's file is kept beside the
// new list, an earlier one never replaced.
TEST(KVAtlasTest, AnUnreadableAtlasFileIsKeptAndTheFolderLoaded) {
    AtlasSetup setup;
    const auto folder = setup.folder("one");
    writeMapFile(folder / "a.kvm", completeMap(1, 0));
    std::string deep = "<atlas name=\"default\" dir=\"x\">";
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    const std::string file = setup.atlasXml().string();
    const struct {
        std::string text, logged, keptAs;
    } rows[] = {{deep, "Atlas file '" + file + "' is nested too deeply", file + ".bak"},
                {"<atlas dir='x'><map src='a.kvm'", " on parsing atlas file", file + ".bak.2"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.logged);
        std::ofstream(setup.atlasXml(), std::ios::binary) << row.text;
        TestSupport::CaptureLogger log;
        auto atlas = setup.makeAtlas();
        ASSERT_TRUE(atlas->load(wide(folder)));
        EXPECT_EQ(atlas->mapCount(), 1u);
        EXPECT_NE(lineWith(log, row.logged), "");
        EXPECT_EQ(log.count("Unreadable atlas file kept as '" + row.keptAs + "'"), 1u);
        EXPECT_EQ(TestSupport::readAll(row.keptAs), row.text);
        EXPECT_NE(TestSupport::readAll(setup.atlasXml()).find("src=\"a.kvm\""), std::string::npos);
    }
    EXPECT_EQ(TestSupport::readAll(file + ".bak"), deep);
}

TEST(KVAtlasTest, AtlasFileThatCannotBeWrittenLeavesTheListInMemory) {
    AtlasSetup setup;
    const auto first = setup.folder("first");
    const auto second = setup.folder("second");
    writeMapFile(first / "a.kvm", completeMap(1, 0));
    writeMapFile(second / "b.kvm", completeMap(2, 0));
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(wide(first)));
    const std::string previous = TestSupport::readAll(setup.atlasXml());

    TestSupport::CaptureLogger log;
    {
        TestSupport::FileSizeLimit limit(100);
        EXPECT_TRUE(atlas->load(wide(second)));
    }
    ASSERT_EQ(atlas->mapCount(), 1u);
    EXPECT_EQ(atlas->mapAt(0)->sourceName(), u"b.kvm");
    EXPECT_NE(lineWith(log, "Can't create atlas file '"), "");
    EXPECT_NE(lineWith(log, "atlas.xml' (err 223): File too large"), "");
    EXPECT_NE(lineWith(log, "atlas.xml' not written: the maps found in "), "");
    EXPECT_EQ(TestSupport::readAll(setup.atlasXml()), previous);
    // The first atlas was unloaded properly: its camera is saved.
    EXPECT_TRUE(std::filesystem::exists(first / "camera.kvc"));

    // No data folder at all.
    AtlasSetup bare(false);
    const auto folder = bare.folder("x");
    writeMapFile(folder / "a.kvm", completeMap(1, 0));
    auto bareAtlas = bare.makeAtlas();
    EXPECT_TRUE(bareAtlas->load(wide(folder)));
    EXPECT_EQ(bareAtlas->mapCount(), 1u);
    EXPECT_FALSE(std::filesystem::exists(bare.atlasXml()));
}

TEST(KVAtlasTest, CameraSavedOnUnloadAndRestored) {
    AtlasSetup setup;
    const auto folder = setup.folder("cam");
    writeMapFile(folder / "a.kvm", completeMap(1, 0));
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(wide(folder)));
    atlas->setCamera({-123456, 987654, 0.25f, 1.5f, 0});
    atlas->view().zoomStep = 3;
    Map::StateRecord record;
    record.level = &atlas->firstMap()->level(0);
    atlas->viewRecords().push_back(record);
    atlas->unload();
    EXPECT_TRUE(atlas->viewRecords().empty()); // they pointed into the maps
    EXPECT_EQ(std::filesystem::file_size(folder / "camera.kvc"), 21u);
    // A second unload has no atlas to save.
    atlas->setCamera({5, 0, 1.0f, 0.0f, 0});
    atlas->unload();

    atlas->setCamera({});
    atlas->view().setRedrawRequest(0);
    ASSERT_TRUE(atlas->load(wide(folder)));
    EXPECT_EQ(atlas->camera(), (Map::CameraFields{-123456, 987654, 0.25f, 1.5f, 0}));
    EXPECT_EQ(atlas->view().zoomStep, 3u);
    EXPECT_EQ(atlas->view().redrawRequest(), 2u);

    // A 20-byte camera file is ignored: the camera is reset.
    atlas->unload();
    const std::string saved = TestSupport::readAll(folder / "camera.kvc");
    writeFile(folder / "camera.kvc", std::vector<std::uint8_t>(saved.begin(), saved.begin() + 20));
    ASSERT_TRUE(atlas->load(wide(folder)));
    EXPECT_EQ(atlas->camera().centreX, ((100 << 10) + 1024 * 2 + 512) << 8);
    EXPECT_EQ(atlas->camera().mode, 1);
    EXPECT_EQ(atlas->view().zoomStep, 1u);
}

TEST(KVAtlasTest, FailedLoadKeepsTheSavedCamera) {
    AtlasSetup setup;
    const auto folder = setup.folder("broken");
    std::vector<std::uint8_t> truncated = MapWriting::writeMap(completeMap(2, 0)).bytes;
    truncated.resize(60);
    writeFile(folder / "a.kvm", truncated);
    const std::vector<std::uint8_t> saved = {1,    2, 3, 4, 5, 6, 7, 8, 0, 0, 0x80,
                                             0x3f, 0, 0, 0, 0, 1, 1, 1, 0, 0};
    writeFile(folder / "camera.kvc", saved);
    {
        auto atlas = setup.makeAtlas();
        EXPECT_FALSE(atlas->load(wide(folder)));
    } // destruction unloads: nothing was loaded, nothing is saved
    std::string expected(saved.begin(), saved.end());
    EXPECT_EQ(TestSupport::readAll(folder / "camera.kvc"), expected);

    // With no folder neither file is written.
    auto idle = setup.makeAtlas();
    EXPECT_TRUE(idle->saveCamera());
    EXPECT_TRUE(idle->autosavePath());
    EXPECT_FALSE(idle->loadCamera());
    EXPECT_FALSE(idle->loadAutosavedPath());
}

struct Recorder {
    std::vector<std::string> calls;
};

class FakeGraph : public Map::InterMapGraph {
  public:
    FakeGraph(Recorder& r, bool result) : m_r(r), m_result(result) {}
    bool build(Map::KVAtlas& atlas) override {
        m_r.calls.push_back("build " + std::to_string(atlas.maps().size()));
        return m_result;
    }
    void release() override { m_r.calls.push_back("release graph"); }

  private:
    Recorder& m_r;
    bool m_result;
};

class FakePath : public Map::RoutePath {
  public:
    explicit FakePath(Recorder& r) : m_r(r) {}
    bool read(const std::u16string& file, Map::KVAtlas& atlas) override {
        m_r.calls.push_back("read " + Core::wideToUtf8(file) + " " + (atlas.findMapById(1) ? "1" : "-"));
        return true;
    }
    bool write(const std::u16string& name, const std::u16string& file, int&) override {
        m_r.calls.push_back("write " + Core::wideToUtf8(name) + " " + Core::wideToUtf8(file));
        return true;
    }
    void clear() override { m_r.calls.push_back("clear path"); }

  private:
    Recorder& m_r;
};

class FakeSearch : public Map::AtlasSearchEngine {
  public:
    explicit FakeSearch(Recorder& r) : m_r(r) {}
    void setAtlas(const std::vector<Map::KVMap2*>& maps, const std::u16string&,
                  Core::ResourcesPool&) override {
        m_r.calls.push_back("search " + std::to_string(maps.size()));
    }
    void clearMaps() override { m_r.calls.push_back("search clear"); }

  private:
    Recorder& m_r;
};

class FakePart : public Map::AtlasPart {
  public:
    FakePart(Recorder& r, std::string name) : m_r(r), m_name(std::move(name)) {}
    ~FakePart() override { m_r.calls.push_back("destroy " + m_name); }

  private:
    Recorder& m_r;
    std::string m_name;
};

class Listener : public Map::AtlasListener {
  public:
    explicit Listener(Map::KVAtlas& atlas) : m_atlas(atlas) {}
    // Listeners run under the atlas mutex and may use the atlas.
    void onAtlasChanged() override { seen.push_back(m_atlas.mapCount()); }
    std::vector<std::size_t> seen;

  private:
    Map::KVAtlas& m_atlas;
};

class FakeSlot : public Map::RoadMapSlot {
  public:
    FakeSlot(std::uint32_t state, bool loaded) : m_state(state), m_loaded(loaded) {}
    std::uint32_t useState() const override { return m_state; }
    bool releaseGraph() override { return std::exchange(m_loaded, false); }
    bool loaded() const { return m_loaded; }

  private:
    std::uint32_t m_state;
    bool m_loaded;
};

TEST(KVAtlasTest, ServicesListenersAndMemory) {
    AtlasSetup setup;
    const auto folder = setup.folder("svc");
    writeMapFile(folder / "a.kvm", completeMap(1, 0));
    writeMapFile(folder / "b.kvm", completeMap(2, 0));
    writeMapFile(folder / "c.kvm", completeMap(3, 0));
    Recorder r;
    Map::AtlasServices services;
    services.interMapGraph = std::make_unique<FakeGraph>(r, true);
    services.routePath = std::make_unique<FakePath>(r);
    services.searchEngine = std::make_unique<FakeSearch>(r);
    services.makeDrawBuffers = [&r](Map::KVAtlas&) { return std::make_unique<FakePart>(r, "buffers"); };
    services.createWaypointsPlugin = [&r](const std::u16string& path) {
        r.calls.push_back("plugin " + Core::wideToUtf8(path));
        return std::make_unique<FakePart>(r, "plugin");
    };
    setup.config.root()->set("extra_db_name", "extra.db");
    TestSupport::CaptureLogger log;
    auto atlas = setup.makeAtlas(std::move(services));
    Listener first(*atlas), second(*atlas);
    atlas->addListener(&first);
    atlas->addListener(&second);
    atlas->addListener(&first);
    atlas->removeListener(&first);
    ASSERT_TRUE(atlas->load(wide(folder)));
    EXPECT_TRUE(first.seen.empty());
    EXPECT_EQ(second.seen, std::vector<std::size_t>{3});
    EXPECT_NE(lineWith(log, "Tarvik successfully loaded"), "");

    const std::string f = folder.string();
    std::vector<std::string> expected = {"build 3", "read " + f + "\\path.kvp 1",
                                         "plugin " + f + "\\extra.db", "search 3"};
    EXPECT_EQ(r.calls, expected);

    // Road graphs: those not in use go first; held ones (2) never.
    FakeSlot* idle = new FakeSlot(0, true);
    FakeSlot* used = new FakeSlot(1, true);
    FakeSlot* held = new FakeSlot(2, true);
    atlas->mapAt(0)->setRoadMap(std::unique_ptr<Map::RoadMapSlot>(held));
    atlas->mapAt(1)->setRoadMap(std::unique_ptr<Map::RoadMapSlot>(used));
    atlas->mapAt(2)->setRoadMap(std::unique_ptr<Map::RoadMapSlot>(idle));
    EXPECT_TRUE(atlas->releaseMemory());
    EXPECT_FALSE(idle->loaded());
    EXPECT_TRUE(used->loaded());
    EXPECT_TRUE(atlas->releaseMemory());
    EXPECT_FALSE(used->loaded());
    EXPECT_TRUE(held->loaded());
    EXPECT_FALSE(atlas->releaseMemory());

    r.calls.clear();
    atlas->unload();
    expected = {"write autosave " + f + "\\path.kvp",
                "search clear",
                "release graph",
                "clear path",
                "destroy buffers",
                "destroy plugin"};
    EXPECT_EQ(r.calls, expected);

    // A graph that cannot be built leaves the maps usable one by one.
    Map::AtlasServices failing;
    failing.interMapGraph = std::make_unique<FakeGraph>(r, false);
    auto other = setup.makeAtlas(std::move(failing));
    EXPECT_TRUE(other->load(wide(folder)));
    EXPECT_GT(other->mapCount(), 0u);
}

TEST(KVAtlasTest, RequestRedrawFromAnotherThread) {
    AtlasSetup setup;
    auto atlas = setup.makeAtlas();
    EXPECT_EQ(atlas->view().redrawRequest(), 2u); // a new atlas asks for a full frame
    atlas->view().setRedrawRequest(0);
    std::thread other([&] { atlas->requestRedraw(); });
    other.join();
    Threading::SdlLock lock(atlas->mutex());
    EXPECT_EQ(atlas->view().redrawRequest(), 2u);
}

class FakeCamera : public Map::CameraAccess {
  public:
    Map::CameraFields read() const override { return fields; }
    void write(const Map::CameraFields& camera) override {
        fields = camera;
        ++writes;
    }
    Map::CameraFields fields;
    int writes = 0;
};

TEST(KVAtlasTest, AttachedCameraIsRestoredAndSaved) {
    AtlasSetup setup;
    const auto folder = setup.folder("attached");
    writeMapFile(folder / "a.kvm", completeMap(1, 0));
    auto camera = std::make_shared<FakeCamera>();
    Map::AtlasServices services;
    services.camera = camera;
    auto atlas = setup.makeAtlas(std::move(services));
    ASSERT_TRUE(atlas->load(wide(folder)));
    EXPECT_EQ(camera->writes, 1); // reset to the largest map
    EXPECT_EQ(camera->fields.mode, 1);
    EXPECT_EQ(atlas->camera(), camera->fields);
    // The camera moves on its own; unloading saves where it is now.
    camera->fields = {42, -42, 0.5f, 0.25f, 0};
    atlas->unload();
    Map::CameraFields saved;
    std::uint32_t selector = 9;
    ASSERT_TRUE(Map::CameraFile::read(wide(folder / "camera.kvc"), saved, selector));
    EXPECT_EQ(saved, camera->fields);
    camera->fields = {};
    ASSERT_TRUE(atlas->load(wide(folder)));
    EXPECT_EQ(camera->fields, saved);
    EXPECT_EQ(selector, 1u); // set by the reset of the first load
    EXPECT_EQ(atlas->view().zoomStep, 1u);

    // A disk that takes nothing: the file keeps the view before, the caller
    // learns why, and the log says it once for each run of failures.
    std::string before = TestSupport::readAll(folder / "camera.kvc");
    TestSupport::CaptureLogger log;
    const std::string line =
        "Can't write camera file '" + (folder / "camera.kvc").string() + "' (err 223): File too large";
    for (const bool full : {true, true, false, true}) {
        std::optional<TestSupport::FileSizeLimit> limit;
        if (full) limit.emplace(0);
        camera->fields.centreX += 1;
        EXPECT_EQ(atlas->saveCamera(), !full);
        EXPECT_EQ(atlas->cameraWriteError(), full ? 223 : 0);
        limit.reset();
        const std::string now = TestSupport::readAll(folder / "camera.kvc");
        EXPECT_EQ(now == before, full);
        before = now;
    }
    EXPECT_EQ(log.count(line), 2u);
}

TEST(AtlasFolderListTest, FoldersOfTheMapsFolder) {
    AtlasSetup setup;
    const auto maps = setup.data() / "maps";
    for (const char* name : {"demo", ".hidden", "Alps", "zeta"})
        std::filesystem::create_directories(maps / name);
    writeFile(maps / "readme.txt", {1});
    Map::FolderPaths paths(wide(setup.program()) + u"/");
    const std::u16string alps = paths.dataPath(u"maps") + u"\\Alps";
    Map::AtlasFolderList list(paths, alps);
    std::vector<std::u16string> names;
    for (const auto& record : list.records())
        names.push_back(record.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Alps", u"demo", u"zeta"}));
    EXPECT_EQ(list.records()[0].path, alps);
    EXPECT_EQ(list.current(), 0u);
    EXPECT_EQ(Map::AtlasFolderList(paths, paths.dataPath(u"maps") + u"\\alps").current(), 3u);
}

TEST(AtlasPathsTest, JoinAndFolders) {
    EXPECT_EQ(Map::joinPath(u"a", u"b.kvm"), u"a\\b.kvm");
    EXPECT_EQ(Map::joinPath(u"a\\", u"b.kvm"), u"a\\b.kvm");
    EXPECT_EQ(Map::joinPath(u"a/", u"b.kvm"), u"a/b.kvm");
    EXPECT_EQ(Map::joinPath(u"", u"b.kvm"), u"b.kvm");
    Map::FolderPaths paths(u"/opt/mirel/");
    EXPECT_EQ(paths.dataPath(u"maps/demo"), u"\\opt\\mirel\\data\\maps\\demo");
    EXPECT_EQ(paths.programPath(u"x.kvm"), u"\\opt\\mirel\\x.kvm");
    EXPECT_EQ(paths.programPath(u"/home/u/x.kvm"), u"/home/u/x.kvm");
    EXPECT_EQ(paths.dataPath(u"C:\\x"), u"C:\\x");
}

// A folder inside the data folder is stored as the part after it, which
// dataPath turns back into the folder wherever the program folder is; any
// other path stays as it is.
TEST(AtlasPathsTest, RelativeToTheDataFolder) {
    Map::FolderPaths paths(u"/opt/mirel/");
    const std::pair<std::u16string, std::u16string> rows[] = {
        {u"\\opt\\mirel\\data\\maps\\monaco", u"maps\\monaco"},
        {u"/opt/mirel/data/maps/monaco/", u"maps\\monaco"},
        {u"/opt/mirel/data\\alps", u"alps"},
        {u"/opt/mirel/data", u"/opt/mirel/data"},
        {u"/opt/mirel/data/", u"/opt/mirel/data/"},
        {u"/opt/mirel/database/x", u"/opt/mirel/database/x"},
        {u"/opt/mirel/x", u"/opt/mirel/x"},
        {u"/srv/maps/monaco", u"/srv/maps/monaco"},
        {u"maps\\monaco", u"maps\\monaco"},
        {u"", u""},
    };
    for (const auto& [path, stored] : rows) {
        EXPECT_EQ(paths.relativeToData(path), stored) << Core::wideToUtf8(path);
        if (stored != path) {
            EXPECT_EQ(paths.dataPath(stored), u"\\opt\\mirel\\data\\" + stored);
        }
    }
}

} // namespace
