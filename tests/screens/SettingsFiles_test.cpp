// The two files of the settings pages: polylines.xml as the polyline page
// reads it, and the bindings file as the button page writes and reads it.

#include "screens/ButtonBindingsList.h"
#include "screens/PolylinesFile.h"

#include "core/Text.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace Screens;

namespace {

TEST(PolylinesFile, IdsAreHexadecimalBelow256) {
    const std::pair<const char*, std::optional<std::int32_t>> rows[] = {
        {"1A", 26},
        {"0x1A", 26},
        {"0X1a", 26},
        {"  ff", 255},
        {"0", 0},
        {"100", std::nullopt},
        {"zz", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"12z", 18},
        {"-1", std::nullopt},
        {"0000000000001", 1},
        {"FFFFFFFFFF", std::nullopt},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(parsePolylineId(text), expected) << text;
}

TEST(PolylinesFile, EntriesInTypeOrderWithTheIdAsFallbackName) {
    TestSupport::CaptureLogger log;
    std::vector<PolylineEntry> entries;
    readPolylinesText(R"(<?xml version="1.0"?>
<polylines>
  <group><polyline><type id="0x1A" name="Ferries"/><type id="100" name="Too big"/><type id="03"/></polyline></group>
  <group><polyline><type id="b4" name="Fixed"/><type id="zz"/><type name="No id"/></polyline>
         <polyline><type id="3" name="Roads &amp; tracks"/><other id="5"/></polyline></group>
  <type id="7" name="Outside a group"/>
</polylines>)",
                      entries);
    EXPECT_EQ(entries, (std::vector<PolylineEntry>{
                           {3, u"03"}, {3, u"Roads & tracks"}, {26, u"Ferries"}, {180, u"Fixed"}}));
    EXPECT_TRUE(log.linesAt(Log::Critical).empty());
}

TEST(PolylinesFile, BrokenAndMissingFilesAreLoggedAndKeepWhatWasThere) {
    TestSupport::CaptureLogger log;
    std::vector<PolylineEntry> entries = {{1, u"kept"}};
    readPolylinesText("<polylines><group><polyline><type id=\"2\"/></polyline></group>", entries);
    EXPECT_EQ(entries, (std::vector<PolylineEntry>{{1, u"kept"}}));
    ASSERT_EQ(log.linesAt(Log::Critical).size(), 1u);
    EXPECT_EQ(log.linesAt(Log::Critical)[0].rfind("Error: ", 0), 0u);
    EXPECT_NE(log.linesAt(Log::Critical)[0].find(" on parsing polylines designs file"), std::string::npos);
    readPolylinesText("<other><group><polyline><type id=\"2\"/></polyline></group></other>", entries);
    readPolylinesText(std::string(10000, '<'), entries);
    EXPECT_EQ(entries.size(), 1u);

    log.clear();
    TestSupport::TempDir dir;
    readPolylinesFile(Core::utf8ToWide((dir.path() / "polylines.xml").string()), entries);
    ASSERT_EQ(log.linesAt(Log::Critical).size(), 1u);
    EXPECT_EQ(log.linesAt(Log::Critical)[0],
              "Can't open polylines designs file '" + (dir.path() / "polylines.xml").string() + "' (err 2): No such file or directory");
}

TEST(ButtonBindingsFile, WrittenByteExactAndReadBack) {
    const std::vector<ButtonBindingsList::Entry> entries = {
        {"up", 273, 273}, {"a&b<\"c'>", 0, 97}, {"menuMain", 109, 0}};
    const std::string text = ButtonBindingsList::fileText(entries);
    // Entries are {name, stored key, shown key}: the shown key is written.
    EXPECT_EQ(text, "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n"
                    "<!-- Key bindings written by Mirel -->\r\n"
                    "<actions>\r\n"
                    "\t<action name=\"up\" key=\"273\" />\r\n"
                    "\t<action name=\"a&amp;b&lt;&quot;c&apos;&gt;\" key=\"97\" />\r\n"
                    "\t<action name=\"menuMain\" key=\"\" />\r\n"
                    "</actions>\r\n");
    std::vector<ButtonBindingsList::Entry> read;
    ASSERT_TRUE(ButtonBindingsList::parse(text, read));
    ASSERT_EQ(read.size(), 3u);
    const std::int32_t keys[] = {273, 97, 0};
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].name, entries[i].name);
        EXPECT_EQ(read[i].key, keys[i]);
        EXPECT_EQ(read[i].storedKey, keys[i]);
    }
}

TEST(ButtonBindingsFile, KeysAreDecimalAndAnyMissingAttributeInvalidatesTheFile) {
    TestSupport::CaptureLogger log;
    std::vector<ButtonBindingsList::Entry> read;
    ASSERT_TRUE(
        ButtonBindingsList::parse("<actions><action name=\"a\" key=\"enter\"/><action name=\"b\" key=\"\"/>"
                                  "<action name=\"c\" key=\"  -12x\"/><action name=\"d\" key=\"+7\"/>"
                                  "<action name=\"e\" key=\"99999999999\"/><other/></actions>",
                                  read));
    std::vector<std::int32_t> keys;
    for (const auto& entry : read)
        keys.push_back(entry.key);
    EXPECT_EQ(keys, (std::vector<std::int32_t>{0, 0, -12, 7, 2147483647}));

    const std::pair<const char*, const char*> broken[] = {
        {"<actions><action name=\"up\" key=\"1\"/><action name=\"down\"/></actions>",
         "Invalid format of bindings file"},
        {"<bindings/>", "Invalid format of bindings file"},
        {"<actions><action", "Error: "},
    };
    for (const auto& [text, line] : broken) {
        log.clear();
        read = {{"old", 1, 1}};
        EXPECT_FALSE(ButtonBindingsList::parse(text, read)) << text;
        EXPECT_TRUE(read.empty());
        ASSERT_EQ(log.linesAt(Log::Critical).size(), 1u) << text;
        EXPECT_EQ(log.linesAt(Log::Critical)[0].rfind(line, 0), 0u) << log.linesAt(Log::Critical)[0];
    }
}

} // namespace

namespace {

// Damaged copies of both files never crash a reader, and a reader never
// yields more than the good file held.
TEST(SettingsFiles, MutatedFilesNeverCrash) {
    TestSupport::CaptureLogger log(Log::Critical);
    const std::string polylines = R"(<?xml version="1.0" encoding="utf-8"?>
<polylines><group><polyline><type id="0x01" name="Motorways"/><type id="1A"/></polyline></group>
<group><polyline><type id="b4" name="Fixed &amp; more"/></polyline></group></polylines>)";
    const std::string bindings =
        ButtonBindingsList::fileText({{"up", 273, 273}, {"a&b", 0, 0}, {"m", 109, 109}});
    TestSupport::Damage damage(4321, {"<", ">", "/", "=", "\"", "&amp;", "&#", "<!--", "]]>", "type", "id",
                                      "name", "action", "key", "0x", "ff", "-", "\xff", "\n"});
    const auto occurrences = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    for (std::uint64_t round = TestSupport::Damage::rounds(2000); round > 0; --round) {
        const std::string lines = damage.apply(polylines);
        std::vector<PolylineEntry> entries;
        readPolylinesText(lines, entries);
        EXPECT_LE(entries.size(), occurrences(lines, "<type"));
        for (const PolylineEntry& entry : entries)
            EXPECT_TRUE(entry.type >= 0 && entry.type < 256);
        const std::string keys = damage.apply(bindings);
        std::vector<ButtonBindingsList::Entry> actions;
        ButtonBindingsList::parse(keys, actions);
        EXPECT_LE(actions.size(), occurrences(keys, "<action"));
    }
}

} // namespace
