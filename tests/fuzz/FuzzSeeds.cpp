// Writes the seed corpora of the fuzz targets into <root>/<target>/ from
// the project's own fixtures: maps written by the map writer, files written
// by the program's own writers, archives and pictures by the test writers,
// and the demo data and recorded logs named on the command line.
//   mirel_fuzz_seeds ROOT SOURCE_DIR TESTDATA_DIR

#include "core/Config.h"
#include "core/WinFile.h"
#include "map/CameraFile.h"
#include "map/proximity/IndexFile.h"
#include "map/proximity/MemoryIndex.h"
#include "map/file/NameTree.h"
#include "tests/map/MapReaderWalk.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/WavWriter.h"
#include "tests/support/ZipWriter.h"
#include "ui/ButtonBindings.h"
#include "ui/ButtonsFile.h"
#include "tests/render/StyleFixture.h"
#include "core/ResourcesPool.h"
#include "platform/Path.h"
#include "positioning/Fix.h"
#include "routing/PathFile.h"
#include "search/TextSearchIndexBuilder.h"
#include "tests/fuzz/FuzzSources.h"
#include "tests/routing/RouteFixture.h"
#include "tests/search/SearchFixture.h"
#include "userdata/Gpx.h"
#include "userdata/PackedTrack.h"
#include "userdata/TrackFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

fs::path g_root;

void put(const std::string& target, const std::string& name, const std::string& bytes) {
    fs::create_directories(g_root / target);
    std::ofstream(g_root / target / name, std::ios::binary) << bytes;
}

std::string bytesOf(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Every regular file under the folder with the extension, as seeds.
void putFiles(const std::string& target, const fs::path& folder, const std::string& extension,
              const std::string& prefix = "") {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error))
        if (entry.is_regular_file() && entry.path().extension() == extension)
            put(target, entry.path().filename().string(), prefix + readFile(entry.path()));
}

void mapSeeds() {
    put("map", "sample.kvm", bytesOf(MapWriting::writeMap(MapTest::sampleMap()).bytes));
    put("map", "searchable.kvm", bytesOf(MapWriting::writeMap(MapTest::searchableMap()).bytes));
    put("map", "vertex.kvm", bytesOf(MapWriting::writeMap(MapTest::vertexLayoutMap()).bytes));

    // The text-search trees of the searchable map, encoded as blocks.
    MapTest::OpenedMap map = MapTest::openMap(MapWriting::writeMap(MapTest::searchableMap()).bytes);
    for (int category = 0; category <= 3; ++category) {
        std::vector<Map::TextSearch::TreeNode> nodes;
        std::uint32_t roots = 0, depth = 0;
        if (map.textSearch && map.textSearch->loadTree(category, nodes, roots, depth) && !nodes.empty()) {
            std::vector<std::uint8_t> block;
            Map::File::NameTree::encode(nodes, depth, roots, 1, 0, block);
            put("name_tree", "tree" + std::to_string(category), bytesOf(block));
        }
    }
}

void fileSeeds(const fs::path& scratch) {
    const auto camera = scratch / "camera.kvc";
    Map::CameraFile::write(camera.u16string(), {100, -200, 0.001f, 0.5f, 1}, 2);
    put("camera_kvc", "camera.kvc", readFile(camera));

    put("atlas_xml", "atlas.xml",
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n"
        "<atlas name=\"default\" dir=\"/x/a&amp;b\">\r\n"
        "\t<map name=\"a\" src=\"a.kvm\" type=\"city\" time=\"1700000000\" />\r\n"
        "\t<map name=\"b\" src=\"b.kvm\" type=\"pois\" time=\"12\" />\r\n"
        "\t<gone src=\"c.kvm\" />\r\n\t<gone src=\"../d.kvm\" />\r\n\t<gone src=\"e&#10;f.kvm\" />\r\n</atlas>\r\n");

    Core::Config config;
    auto root = config.root();
    root->set("log_severity", 2);
    auto nav = root->child("Navigation");
    nav->set("zoom", 1.25f);
    nav->set("name", "\xD0\x81 <&> \"quoted\" 'single'");
    nav->set("flags", Core::Config::pack({true, false, true}));
    put("config_xml", "config.xml", config.toXml());

    Ui::ButtonBindings bindings(config.root());
    bindings.setKey("pageFind", 102, 0);
    bindings.setKey("menuMain", 109, 0);
    put("buttons", "buttons.txt", Ui::buttonsText(bindings));

    put("messages", "messages.xml",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<messages>\n"
        "  <message name=\"msg_gps_off\" text=\"GPS is off\"/>\n"
        "  <message name=\"msg_two\" text=\"&lt;two&gt; &#1025;\"/>\n</messages>\n");
    put("devices_inf", "devices.inf", "; devices\r\npna,4,4800,0,0\r\nother,12,57600,1,2\r\n");

    Map::Proximity::MemoryIndex memory;
    for (std::int32_t i = 0; i < 60; ++i)
        memory.add(Map::Proximity::Point{i * 1000, (i * 7919) % 60000, 0, 100 + i, static_cast<std::uint32_t>(i)});
    Map::IndexSourceList sources;
    sources.records.push_back({u"points.txt", 77});
    {
        FileSystem::WinFileForWrite file((scratch / "DangerWarnPoints.idx").u16string());
        Map::Proximity::writeIndex(file, sources, memory.tree());
    }
    put("danger_index", "DangerWarnPoints.idx", readFile(scratch / "DangerWarnPoints.idx"));

    TestSupport::ZipWriter zip;
    zip.add("pkg/a.txt", "first file");
    TestSupport::ZipWriterEntry& b = zip.add("pkg/b.bmp", TestSupport::solidBmp(4, 4, 24, 0xFF204060));
    b.localExtra = std::string(9, 'L');
    b.comment = "c";
    zip.add("pkg/dir/", "");
    put("zip", "package.zip", zip.bytes());

    put("bmp", "argb32.bmp", TestSupport::solidBmp(5, 3, 32, 0x80102030));
    put("bmp", "rgb24.bmp", TestSupport::solidBmp(3, 5, 24, 0xFF654321));

    // Sound samples behind the byte that picks the sample slot (odd).
    put("sounds", "mono8.wav", std::string(1, '\1') + TestSupport::levelWav(11025, 1, 8, 200, 64));
    put("sounds", "stereo16.wav", std::string(1, '\1') + TestSupport::levelWav(44100, 2, 16, -300, 64));
}

// The shipped design at both sizes, a design whose list rows hold lists,
// the designs list and the keyboard layouts.
void designSeeds(const fs::path& source) {
    const std::string design = readFile(source / "data" / "skin" / "design800x480.xml");
    put("design", "design800x480.xml", design);
    std::string big = design;
    if (const auto at = big.find("big=\"0\""); at != std::string::npos)
        big.replace(at, 7, "big=\"1\"");
    put("design", "design1600x960.xml", big);
    put("design", "nested.xml",
        "<design version=\"1.30\" system_font=\"f\"><fonts><font name=\"f\" src=\"f.ttf\" size=\"10\"/></fonts>"
        "<extras><captions><font name=\"f\"/><tables stock_len=\"3\" alpha=\"1\" bgcolor=\"#000000\"/></captions>"
        "<display><mode width=\"800\" height=\"480\" big=\"1\"/></display></extras>"
        "<template name=\"leaf\"><rect x=\"0\" y=\"0\" w=\"100\" h=\"4\"/>"
        "<static name=\"text\"><geometry x=\"0\" y=\"0\" w=\"100\" h=\"4\" lt_anchor=\"tl\" rb_anchor=\"br\"/></static></template>"
        "<template name=\"row\"><rect x=\"0\" y=\"0\" w=\"100\" h=\"20\"/><anchors lt_anchor=\"mc\" rb_anchor=\"dd\"/>"
        "<list name=\"inner\"><geometry x=\"0\" y=\"0\" w=\"100\" h=\"20\"/><graphics item=\"leaf\"/></list></template>"
        "<page name=\"p\" font=\"f\"><list name=\"outer\"><geometry x=\"0\" y=\"0\" w=\"100\" h=\"200\" "
        "lt_anchor=\"tl\" rb_anchor=\"br\"/><graphics item=\"row\"/></list>"
        "<checked_button name=\"c\" group=\"g\"><geometry x=\"0\" y=\"0\" w=\"9\" h=\"9\"/></checked_button></page>"
        "</design>");
    put("designs_list", "designs.xml", readFile(source / "data" / "designs.xml"));
    put("kb_layouts", "kb_layouts.xml", readFile(source / "data" / "skin" / "kb_layouts.xml"));
}

// Track, path, text-search index, GPX and online replies, written by the
// program's own writers where it has them.
void userDataSeeds(const fs::path& scratch, const fs::path& testdata) {
    {
        TrackFile track;
        track.create(Platform::fromNativePath((scratch / "t.kvt").string()), 2, 3);
        Positioning::Fix fix;
        fix.dateTime = {9, 12, 2010, 13, 5, 7, 250};
        fix.latitude = 43.73f;
        fix.longitude = 7.42f;
        for (int i = 0; i < 100; ++i) {
            fix.x = 1000 * i;
            fix.y = -7 * i;
            track.append(fix);
        }
        track.close();
    }
    put("track", "t.kvt", readFile(scratch / "t.kvt"));

    RouteTest::RouteAtlas town;
    Path path(town.point({1100, 1100}, town.mainName));
    Path leg;
    leg.appendPart(town.part({{1100, 1100}, {1300, 1100}, {1300, 1400}}, 4, 1, 0));
    PathPart back = town.part({{1300, 1400}, {1300, 1900}}, 12, 0, 2);
    back.polylines.push_back(PathPolyline{{{5, 6}, {7, 8}, {9, 10}}, 1, 2});
    leg.appendPart(back);
    path.appendPath(Path(path.points[0], town.point({1300, 1900}), leg));
    std::vector<std::uint8_t> encoded;
    if (PathFile::encode(u"route", path, encoded))
        put("path", "route.kvp", bytesOf(encoded));

    std::mt19937 random(33);
    std::vector<SearchTest::MapContent> contents;
    for (int m = 0; m < 3; ++m)
        contents.push_back(SearchTest::randomContent(random, 6, 8, 8));
    SearchTest::FixtureAtlas atlas(contents);
    {
        FileSystem::WinFileForWrite out(Platform::fromNativePath((scratch / "TextSearch.tsi").string()));
        TextSearch::TextSearchIndexBuilder::build(FuzzSources::textSearchSources(), out, atlas.set);
    }
    put("tsi", "TextSearch.tsi", readFile(scratch / "TextSearch.tsi"));

    putFiles("gpx", testdata / "gpx", ".gpx");
    const std::vector<std::uint8_t> records(40, 3);
    put("online", "tracks.xml",
        "<mft><track id=\"5\" token=\"7\" size=\"40\" value=\"" + Monitoring::PackedTrack::compress(records) +
            "\"/><wpt id=\"3\" token=\"9\" name=\"G&amp;\" comment=\"c\" type=\"47\" lat=\"1.5\" lon=\"-2\"/>"
            "<mfi><friend token=\"1\" name=\"A\"/></mfi><mcr token=\"t\"/></mft>");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: mirel_fuzz_seeds ROOT SOURCE_DIR TESTDATA_DIR\n");
        return 2;
    }
    g_root = argv[1];
    const fs::path source = argv[2];
    const fs::path testdata = argv[3];
    const fs::path scratch = g_root / ".scratch";
    fs::create_directories(scratch);
    mapSeeds();
    fileSeeds(scratch);
    putFiles("danger_text", source / "data" / "waypoints", ".txt");
    putFiles("nmea", testdata / "nmea", ".log");
    // The style files, each behind the byte that picks its slot.
    put("styles", "render.xml", std::string(1, '\0') + readFile(source / "data" / "render.xml"));
    put("styles", "polygons.xml", std::string(1, '\1') + readFile(source / "data" / "styles" / "polygons.xml"));
    put("styles", "polylines.xml", std::string(1, '\2') + readFile(source / "data" / "styles" / "polylines.xml"));
    put("styles", "pois.xml", std::string(1, '\3') + readFile(source / "data" / "styles" / "pois.xml"));
    put("styles", "fixture-pois.xml", std::string(1, '\3') + RenderTest::defaultPoisXml);
    put("sounds", "sounds.xml", std::string(1, '\0') + readFile(source / "data" / "sounds.xml"));
    put("font", "DejaVuSans.ttf", readFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    designSeeds(source);
    userDataSeeds(scratch, testdata);
    fs::remove_all(scratch);
    return 0;
}
