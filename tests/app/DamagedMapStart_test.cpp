// A start on an atlas with one damaged map file, for each kind of damage a
// user's copy can suffer, made at test time on the maps the project's
// writers produced (the demo atlas of three maps, Monaco of one). A map that
// fails its checks is left out with a Critical line that names it and the
// reason, and the start goes on with the other maps; an atlas left without a
// readable map stops the start, the message naming each file and why. A
// damage that only a later read finds (drawing, search, routing) is logged
// once and its data skipped. A failed start rewrites no stored file.

#include "app/fdEngine.h"

#include "core/Config.h"
#include "core/Text.h"
#include "map/KVAtlas.h"
#include "render/MapCamera.h"
#include "routing/AtlasRoute.h"
#include "search/Engine.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FirstRunData.h"
#include "tests/support/TempDir.h"
#include "tools/demo-atlas/DemoAtlas.h"
#include "ui/fdInterface.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t u32At(const Bytes& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

void putU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

void cut(Bytes& bytes, std::size_t size) {
    bytes.resize(std::min(size, bytes.size()));
}

void flip(Bytes& bytes, std::size_t at, std::size_t count) {
    for (std::size_t i = at; i < at + count && i < bytes.size(); ++i)
        bytes[i] ^= 0xFF;
}

// Where the parts of a written map lie: the twelve header words and the
// section directory (types 2 copyright, 4 address, 17 text search, 18
// spatial search) that the writer puts after the sections.
struct Layout {
    explicit Layout(const Bytes& bytes) {
        for (std::size_t i = 0; i < 12; ++i)
            word[i] = u32At(bytes, 4 * i);
        directory = word[9];
        for (std::uint32_t i = 0; i < u32At(bytes, directory); ++i)
            types.push_back(static_cast<std::uint16_t>(u32At(bytes, directory + 4 + 12 * i)));
    }
    // The file offset of a section's directory entry.
    std::size_t entry(std::uint16_t type) const {
        const auto at = std::find(types.begin(), types.end(), type);
        if (at == types.end()) throw std::logic_error("no section of type " + std::to_string(type));
        return directory + 4 + 12 * static_cast<std::size_t>(at - types.begin());
    }
    std::uint32_t offset(const Bytes& bytes, std::uint16_t type) const {
        return u32At(bytes, entry(type) + 4);
    }
    std::uint32_t size(const Bytes& bytes, std::uint16_t type) const { return u32At(bytes, entry(type) + 8); }

    std::array<std::uint32_t, 12> word{};
    std::uint32_t directory = 0;
    std::vector<std::uint16_t> types;
};

struct Variant {
    std::string what;
    // The damage done to the map's bytes, or (when empty) to its file.
    std::function<void(Bytes&, const Layout&)> bytes;
    std::function<void(const fs::path&)> file;
    // The reason the map is refused with at the start; empty: it opens.
    std::string refused;
    // Refused before it is listed in atlas.xml (the scan of the folder).
    bool unlisted = false;
    // Level 0's cell index is found damaged when the map is drawn.
    bool damagedIndex = false;
};

using Damage = std::function<void(Bytes&, const Layout&)>;

// A damage to the map's bytes; `refused` empty: the map still opens.
Variant opened(std::string what, Damage damage) {
    return {std::move(what), std::move(damage), {}, {}};
}
Variant refused(std::string what, std::string reason, Damage damage) {
    return {std::move(what), std::move(damage), {}, std::move(reason)};
}
// Refused by the folder scan, before atlas.xml lists it.
Variant unlisted(std::string what, std::string reason, Damage damage) {
    return {std::move(what), std::move(damage), {}, std::move(reason), true};
}

std::vector<Variant> variants() {
    const std::string tooSmall = "File is too small";
    const std::string noView = "Can't create file mapping view";
    const auto cutTo = [](std::size_t size) { return [size](Bytes& b, const Layout&) { cut(b, size); }; };
    std::vector<Variant> rows = {
        unlisted("zero-length", tooSmall, cutTo(0)),
        unlisted("cut to 3 bytes", tooSmall, cutTo(3)),
        unlisted("cut to 30 bytes", tooSmall, cutTo(30)),
        unlisted("cut to 47 bytes", tooSmall, cutTo(47)),
        refused("cut to the header", tooSmall, cutTo(48)),
        refused("cut in the strings", tooSmall,
                [](Bytes& b, const Layout& l) { cut(b, (l.word[1] + l.word[10]) / 2); }),
        refused("cut in the geometry", tooSmall,
                [](Bytes& b, const Layout& l) { cut(b, (l.word[6] + l.word[7]) / 2); }),
        refused("cut in the routing", tooSmall,
                [](Bytes& b, const Layout& l) { cut(b, (l.word[4] + l.word[5]) / 2); }),
        refused("cut in the address", tooSmall,
                [](Bytes& b, const Layout& l) { cut(b, l.offset(b, 4) + l.size(b, 4) / 2); }),
        refused("cut in the text search", tooSmall,
                [](Bytes& b, const Layout& l) { cut(b, l.offset(b, 17) + l.size(b, 17) / 2); }),
        refused("cut in the spatial search", tooSmall,
                [](Bytes& b, const Layout& l) { cut(b, l.offset(b, 18) + l.size(b, 18) / 2); }),
        refused("cut in the directory", tooSmall, [](Bytes& b, const Layout& l) { cut(b, l.directory + 8); }),
        refused("last byte cut", tooSmall, [](Bytes& b, const Layout&) { b.pop_back(); }),
        refused("wrong magic", "Invalid file signature",
                [](Bytes& b, const Layout&) { std::memcpy(b.data(), "XXXX", 4); }),
        refused("newer layout's magic", noView,
                [](Bytes& b, const Layout&) { std::memcpy(b.data(), "KVM\x02", 4); }),
        refused("format version 0x0201", "Invalid map", [](Bytes& b, const Layout&) { b[8] = 0x01; }),
        unlisted("map type 7", "Invalid map type 7", [](Bytes& b, const Layout&) { b[44] = 7; }),
        opened("the next map's id", [](Bytes& b, const Layout& l) { putU32(b, 12, l.word[3] + 1); }),
        refused("no strings", "Invalid map", [](Bytes& b, const Layout& l) { putU32(b, l.word[1] + 4, 0); }),
        refused("directory count 0xFFFFFFFF", tooSmall,
                [](Bytes& b, const Layout& l) { putU32(b, l.directory, 0xFFFFFFFF); }),
        refused("directory count 0", "Address section not found",
                [](Bytes& b, const Layout& l) { putU32(b, l.directory, 0); }),
    };
    Variant folder = unlisted("a folder in its place", "Not a file", {});
    folder.file = [](const fs::path& p) {
        fs::remove(p);
        fs::create_directory(p);
    };
    Variant link = unlisted("a dangling link in its place", "Can't open file: No such file or directory", {});
    link.file = [](const fs::path& p) {
        fs::remove(p);
        fs::create_symlink(p.string() + ".gone", p);
    };
    rows.insert(rows.end(), {folder, link});

    const std::map<int, std::string> headerWords = {
        {1, tooSmall}, {4, noView}, {5, noView},   {6, "Invalid geometry sections sequence"},
        {7, noView},   {8, noView}, {9, tooSmall}, {10, noView}};
    for (const auto& [word, reason] : headerWords)
        rows.push_back(refused("header word " + std::to_string(word) + " = 0xFFFFFFFF", reason,
                               [word](Bytes& b, const Layout&) { putU32(b, 4 * word, 0xFFFFFFFF); }));
    // Per directory section: the reason of an unknown version, and of its
    // first 16 bytes flipped (empty: it still opens).
    const std::map<std::uint16_t, std::pair<std::string, std::string>> sections = {
        {2, {"Unknown copyright section version", ""}},
        {4, {"Unknown address section version", "Section is too small"}},
        {17, {"Unknown text search index section version", ""}},
        {18, {"Unknown spatial search index section version", ""}}};
    for (const auto& [type, reasons] : sections) {
        const std::string section = "section " + std::to_string(type) + ": ";
        rows.push_back(refused(section + "offset past the end", noView, [type](Bytes& b, const Layout& l) {
            putU32(b, l.entry(type) + 4, 0x7FFFFFF0);
        }));
        rows.push_back(refused(section + "version + 1", reasons.first,
                               [type](Bytes& b, const Layout& l) { ++b[l.entry(type) + 2]; }));
        rows.push_back(refused(section + "size 0", "Section is too small",
                               [type](Bytes& b, const Layout& l) { putU32(b, l.entry(type) + 8, 0); }));
        rows.push_back(refused(section + "first 16 bytes flipped", reasons.second,
                               [type](Bytes& b, const Layout& l) { flip(b, l.offset(b, type), 16); }));
        rows.push_back(opened(section + "middle 16 bytes flipped", [type](Bytes& b, const Layout& l) {
            flip(b, l.offset(b, type) + l.size(b, type) / 2, 16);
        }));
    }
    rows.push_back(refused("strings: first 16 bytes flipped", "Invalid strings sections sequence",
                           [](Bytes& b, const Layout& l) { flip(b, l.word[1], 16); }));
    rows.push_back(opened("strings: middle 64 bytes flipped",
                          [](Bytes& b, const Layout& l) { flip(b, (l.word[1] + l.word[10]) / 2, 64); }));
    rows.push_back(refused("geometry: first 16 bytes flipped", "Too big amount of levels",
                           [](Bytes& b, const Layout& l) { flip(b, l.word[6], 16); }));
    rows.push_back(opened("geometry: middle 64 bytes flipped",
                          [](Bytes& b, const Layout& l) { flip(b, (l.word[6] + l.word[7]) / 2, 64); }));
    // Level 0's second row entry beyond the cell table: the section opens,
    // the index load finds it.
    Variant rowTable = opened("geometry: level 0's row table broken", [](Bytes& b, const Layout& l) {
        putU32(b, l.word[6] + 1 + 37 + 4, 0xFFFFFFFF);
    });
    rowTable.damagedIndex = true;
    rows.push_back(rowTable);
    rows.push_back(
        refused("routing header flipped", noView, [](Bytes& b, const Layout& l) { flip(b, l.word[4], 16); }));
    rows.push_back(
        opened("routing shapes flipped", [](Bytes& b, const Layout& l) { flip(b, l.word[7], 64); }));
    rows.push_back(
        opened("routing records flipped", [](Bytes& b, const Layout& l) { flip(b, l.word[8], 64); }));
    return rows;
}

const char* const ConfigText = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config version=\"2\">\n"
                               "<var name=\"atlas\" value=\"maps\\%s\"/>\n</config>\n";

// A program folder with a copy of the build's data folder, its config.xml
// choosing the atlas, which is the only one: with another beside it, a
// start that cannot read the chosen one shows that other.
struct ProgramFolder {
    explicit ProgramFolder(const std::string& atlas) : atlas(atlas) {
        TestSupport::copyFirstRunData(fs::path(MIREL_PROGRAM_DIR) / "data", data());
        for (const auto& entry : fs::directory_iterator(data() / "maps"))
            if (entry.path().filename() != atlas)
                fs::remove_all(entry.path());
        std::ofstream(data() / "config.xml") << config();
    }
    fs::path data() const { return dir.path() / "data"; }
    fs::path map(const std::string& name) const { return data() / "maps" / atlas / name; }
    std::string config() const {
        std::string text = ConfigText;
        return text.replace(text.find("%s"), 2, atlas);
    }
    void damage(const std::string& name, const Variant& variant) const {
        if (!variant.bytes) {
            variant.file(map(name));
            return;
        }
        std::ifstream in(map(name), std::ios::binary);
        Bytes bytes{std::istreambuf_iterator<char>(in), {}};
        in.close();
        const Layout layout(bytes);
        variant.bytes(bytes, layout);
        std::ofstream(map(name), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    TestSupport::TempDir dir;
    std::string atlas;
};

struct Outcome {
    int result = -1;
    std::size_t maps = 0;
    std::string shown;                // what the start wrote to stderr
    std::vector<std::string> atStart; // Critical lines of the start
    std::vector<std::string> later;   // Critical lines of drawing, search and routing
};

// Starts the program; when it starts, draws the map at six scales around
// `centre` (none: the atlas's largest map), searches streets, POIs and
// cities, and routes between two points of the demo town.
Outcome start(const ProgramFolder& folder, std::optional<Map::Point> centre) {
    Outcome outcome;
    TestSupport::CaptureLogger log;
    engine::fdEngine e(Core::utf8ToWide(folder.dir.path().string() + "/"));
    testing::internal::CaptureStderr();
    outcome.result = e.init();
    outcome.shown = testing::internal::GetCapturedStderr();
    outcome.atStart = log.linesAt(Log::Critical);
    log.clear();
    if (outcome.result == 0) {
        outcome.maps = e.atlas()->mapCount();
        e.ui()->activatePage(e.ui()->findPage("pageMap"));
        if (const auto at = centre ? centre : e.atlas()->largestMapCentre()) e.camera().setCentre(*at);
        for (float scale : {1e-7f, 1e-6f, 1e-5f, 1e-4f, 1e-3f, 1e-2f}) {
            e.camera().setScale(scale);
            e.atlas()->requestRedraw();
            e.redraw();
        }
        if (auto* search = dynamic_cast<TextSearch::Engine*>(e.atlas()->services().searchEngine.get()))
            for (int kind : {TextSearch::StreetsKind, TextSearch::PoisKind, TextSearch::CitiesKind}) {
                search->search(kind, 0, {});
                search->addKey(u"a");
                std::vector<TextSearch::ResultItem> rows;
                search->collectResults(rows);
                search->reset();
            }
        if (centre)
            for (const auto& [east, north] : {std::pair{400.0, 500.0}, {-400.0, 500.0}}) {
                const auto [x, y] = DemoAtlas::globalOf(east, north);
                e.route()->addPathPointAtLocation(
                    *e.atlas(), *e.configRoot(),
                    {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)});
            }
        outcome.later = log.linesAt(Log::Critical);
    }
    e.shutdown();
    return outcome;
}

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The line that tells why a map was left out.
std::string refusal(const ProgramFolder& folder, const std::string& name, const Variant& v) {
    if (v.unlisted)
        return "Atlas error: map file '" + folder.map(name).string() + "' is not listed (" + v.refused +
               ") - skip";
    return "Atlas error: map '" + name.substr(0, name.size() - 4) + "' (" + name + ") is invalid (" +
           v.refused + ") - skip";
}

void checkLaterReads(const ProgramFolder& folder, const std::string& name, const Variant& v,
                     const Outcome& o) {
    // A damage found while drawing is logged once, not on every frame.
    for (const std::string& line : o.later)
        EXPECT_EQ(std::count(o.later.begin(), o.later.end(), line), 1) << line;
    const std::string damaged =
        "Map file '" + folder.map(name).string() + "': the cell index of level 0 is damaged - level skipped";
    EXPECT_EQ(has(o.later, damaged), v.damagedIndex);
}

// In an atlas of several maps a damaged one is left out (or, when it passes
// its checks, read with its damage skipped) and the start goes on.
TEST(DamagedMapStart, AnAtlasOfSeveralMapsStartsWithoutTheDamagedOne) {
    const std::string name = "demo-town.kvm";
    const auto [x, y] = DemoAtlas::globalOf(0, 0);
    const Map::Point town{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
    for (const Variant& v : variants()) {
        SCOPED_TRACE(v.what);
        ProgramFolder folder("demo");
        folder.damage(name, v);
        const Outcome o = start(folder, town);
        ASSERT_EQ(o.result, 0) << o.shown;
        EXPECT_EQ(o.shown.find("Critical error"), std::string::npos) << o.shown;
        EXPECT_EQ(o.maps, v.refused.empty() ? 3u : 2u);
        if (!v.refused.empty()) {
            EXPECT_TRUE(has(o.atStart, refusal(folder, name, v))) << refusal(folder, name, v);
        }
        checkLaterReads(folder, name, v, o);
        const std::string config = TestSupport::readAll(folder.data() / "config.xml");
        EXPECT_NE(config.find("name=\"atlas\" value=\"maps\\demo\""), std::string::npos) << config;
    }
}

// An atlas whose only map is refused has nothing to show: the start stops,
// the message names the file and the reason, and neither config.xml nor
// the atlas chosen in it change.
TEST(DamagedMapStart, AnAtlasOfOneMapStopsTheStartNamingTheFile) {
    const std::string name = "monaco.kvm";
    for (const Variant& v : variants()) {
        SCOPED_TRACE(v.what);
        ProgramFolder folder("monaco");
        folder.damage(name, v);
        const Outcome o = start(folder, std::nullopt);
        const std::string config = TestSupport::readAll(folder.data() / "config.xml");
        const std::string atlasXml = TestSupport::readAll(folder.data() / "atlas.xml");
        EXPECT_NE(atlasXml.find("dir=\"maps\\monaco\""), std::string::npos) << atlasXml;
        if (v.refused.empty()) {
            ASSERT_EQ(o.result, 0) << o.shown;
            EXPECT_EQ(o.maps, 1u);
            checkLaterReads(folder, name, v, o);
            EXPECT_NE(config.find("name=\"atlas\" value=\"maps\\monaco\""), std::string::npos) << config;
            continue;
        }
        EXPECT_NE(o.result, 0);
        EXPECT_TRUE(has(o.atStart, refusal(folder, name, v))) << refusal(folder, name, v);
        EXPECT_TRUE(has(o.atStart, "Atlas fatal error: no valid maps found"));
        EXPECT_TRUE(has(o.atStart, "fatal error : bad atlas."));
        const std::string box = "Mirel - Critical error: The atlas could not be read.\n\n" +
                                folder.map(name).string() + ": " + v.refused + "\n";
        EXPECT_NE(o.shown.find(box), std::string::npos) << o.shown;
        EXPECT_EQ(o.shown.find("Mirel - Critical error"), o.shown.rfind("Mirel - Critical error"))
            << "one message";
        EXPECT_EQ(config, folder.config());
    }
}

// Every map of the atlas refused: the message lists each with its reason.
// A map the last load listed and that is gone now is named too, first.
TEST(DamagedMapStart, AnAtlasWithNoReadableMapNamesEveryFile) {
    for (const bool listed : {false, true}) {
        SCOPED_TRACE(listed ? "the country map gone since the last load" : "the country map cut short");
        ProgramFolder folder("demo");
        if (listed) {
            std::string xml = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<!-- -->\r\n"
                              "<atlas name=\"default\" dir=\"maps\\demo\">\r\n";
            for (const char* name : {"demo-country", "demo-region", "demo-town"})
                xml += std::string("\t<map name=\"") + name + "\" src=\"" + name +
                       ".kvm\" type=\"city\" time=\"1\" />\r\n";
            std::ofstream(folder.data() / "atlas.xml", std::ios::binary) << xml << "</atlas>\r\n";
            fs::remove(folder.map("demo-country.kvm"));
        } else {
            folder.damage("demo-country.kvm",
                          unlisted("", "File is too small", [](Bytes& b, const Layout&) { cut(b, 10); }));
        }
        folder.damage("demo-region.kvm",
                      refused("", "Invalid map", [](Bytes& b, const Layout&) { b[8] = 0x01; }));
        folder.damage("demo-town.kvm", refused("", "Invalid file signature", [](Bytes& b, const Layout&) {
                          std::memcpy(b.data(), "XXXX", 4);
                      }));
        const Outcome o = start(folder, std::nullopt);
        EXPECT_NE(o.result, 0);
        // Files the folder scan leaves out come first, then those that failed
        // to open, each group in the folder's order.
        EXPECT_NE(o.shown.find("Mirel - Critical error: The atlas could not be read.\n\n" +
                               folder.map("demo-country.kvm").string() +
                               (listed ? ": Gone (deleted or moved away)\n" : ": File is too small\n") +
                               folder.map("demo-region.kvm").string() + ": Invalid map\n" +
                               folder.map("demo-town.kvm").string() + ": Invalid file signature\n"),
                  std::string::npos)
            << o.shown;
        EXPECT_EQ(TestSupport::readAll(folder.data() / "config.xml"), folder.config());
    }
}

// The only map deleted while the program ran: the atlas loaded again then
// has no map, and every start after names the file that went (not only the
// folder) until the atlas holds a map again.
TEST(DamagedMapStart, TheOnlyMapGoneWhileInUseIsNamedAtTheNextStarts) {
    ProgramFolder folder("monaco");
    {
        TestSupport::CaptureLogger log;
        engine::fdEngine e(Core::utf8ToWide(folder.dir.path().string() + "/"));
        ASSERT_EQ(e.init(), 0);
        fs::remove(folder.map("monaco.kvm"));
        e.closeDamagedMaps(100000 + engine::fdEngine::MapFilesCheckMs);
        EXPECT_FALSE(e.atlas()->loaded());
        e.shutdown();
    }
    for (int run = 0; run < 2; ++run) {
        const Outcome o = start(folder, std::nullopt);
        EXPECT_NE(o.result, 0);
        EXPECT_NE(o.shown.find("Mirel - Critical error: The atlas could not be read.\n\n" +
                               folder.map("monaco.kvm").string() + ": Gone (deleted or moved away)\n"),
                  std::string::npos)
            << run << o.shown;
    }
}

// Many refused files: the first ten are named, the rest counted, so the
// dialog fits on the screen; the log names every one.
TEST(DamagedMapStart, ManyRefusedFilesAreCountedPastTheFirstTen) {
    ProgramFolder folder("demo");
    for (const auto& entry : fs::directory_iterator(folder.data() / "maps" / "demo"))
        fs::remove(entry.path());
    const auto file = [&](int i) { return folder.map(std::to_string(100 + i) + ".kvm").string(); };
    for (int i = 0; i < 12; ++i)
        std::ofstream(file(i)) << "short";
    const Outcome o = start(folder, std::nullopt);
    EXPECT_NE(o.result, 0);
    std::string box = "Mirel - Critical error: The atlas could not be read.\n";
    for (int i = 0; i < 10; ++i)
        box.append("\n").append(file(i)).append(": File is too small");
    box.append("\n... and 2 more map files (see log.txt)\n");
    EXPECT_NE(o.shown.find(box), std::string::npos) << o.shown;
    EXPECT_EQ(std::count_if(
                  o.atStart.begin(), o.atStart.end(),
                  [](const std::string& line) { return line.find("is not listed") != std::string::npos; }),
              12);
}

// atlas.xml is the folder's list, written anew at each load: a stale one
// naming a file that is gone, or one that cannot be written, does not stop
// the start.
TEST(DamagedMapStart, AStaleOrUnwritableAtlasFileDoesNotStopTheStart) {
    const std::string stale =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<!-- -->\r\n"
        "<atlas name=\"default\" dir=\"maps\\demo\">\r\n"
        "\t<map name=\"gone\" src=\"gone.kvm\" type=\"city\" time=\"1\" />\r\n</atlas>\r\n";
    {
        ProgramFolder folder("demo");
        std::ofstream(folder.data() / "atlas.xml", std::ios::binary) << stale;
        const Outcome o = start(folder, std::nullopt);
        ASSERT_EQ(o.result, 0);
        EXPECT_EQ(o.maps, 3u);
        const std::string written = TestSupport::readAll(folder.data() / "atlas.xml");
        EXPECT_EQ(written.find("gone.kvm"), std::string::npos) << written;
        EXPECT_NE(written.find("src=\"demo-town.kvm\""), std::string::npos) << written;
    }
    {
        ProgramFolder folder("demo");
        fs::create_directory(folder.data() / "atlas.xml");
        const Outcome o = start(folder, std::nullopt);
        ASSERT_EQ(o.result, 0);
        EXPECT_EQ(o.maps, 3u);
        EXPECT_TRUE(fs::is_directory(folder.data() / "atlas.xml"));
    }
}

} // namespace
