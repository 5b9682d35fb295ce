#include "core/Config.h"

#include "core/Format.h"
#include "core/Text.h"
#include "core/XmlDepth.h"
#include "platform/Path.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include <filesystem>
#include <functional>

using Core::Config;

namespace {

std::u16string wide(const std::filesystem::path& p) { return Platform::fromNativePath(p.string()); }

using Bytes = std::vector<std::uint8_t>;

std::string text(Core::ConfigNode& node, const std::string& key) {
    std::string out = "<missing>";
    node.get(key, out);
    return out;
}

} // namespace

TEST(Config, RootAndChildPrefixes) {
    Config config;
    auto root = config.root();
    EXPECT_EQ(root, config.root());
    auto routing = root->child("Routing");
    routing->child("a/b")->set("z", 5);
    routing->set("best_roads", 1);
    root->set("log_severity", 2);
    EXPECT_TRUE(root->has("Routing/a/b/z"));
    EXPECT_TRUE(routing->has("best_roads"));
    EXPECT_FALSE(routing->has("log_severity"));
    EXPECT_EQ(config.toXml(), "<config version=\"2\">\r\n"
                              "\t<var name=\"Routing/a/b/z\" value=\"5\" />\r\n"
                              "\t<var name=\"Routing/best_roads\" value=\"1\" />\r\n"
                              "\t<var name=\"log_severity\" value=\"2\" />\r\n"
                              "</config>");
    // Nodes keep the store alive after the Config is gone.
    std::shared_ptr<Core::ConfigNode> kept;
    {
        Config other;
        kept = other.root()->child("X");
        kept->set("k", std::string("v"));
    }
    EXPECT_EQ(text(*kept, "k"), "v");
}

TEST(Config, TypedLookups) {
    Config config;
    auto root = config.root();
    for (const auto& [key, value] : {std::pair{"i", "42abc"}, {"neg", "-7"}, {"f", "  -12.25"}, {"word", "abc"},
                                     {"blob", "YW Jj"}})
        root->set(key, std::string(value));
    // What get answers, and what it leaves in a variable that held `start`.
    auto got = [&](const char* key, auto start) {
        const bool found = root->get(key, start);
        return std::pair{found, start};
    };
    EXPECT_EQ(got("i", 9), std::pair(true, 42));
    EXPECT_EQ(got("word", 9), std::pair(false, 0));
    EXPECT_EQ(got("missing", 9), std::pair(false, 9));
    EXPECT_EQ(got("f", 0.0f), std::pair(true, -12.25f));
    EXPECT_FALSE(got("word", 1.0f).first);
    EXPECT_EQ(got("neg", false), std::pair(true, true));
    EXPECT_FALSE(got("word", false).first);
    Bytes blob;
    EXPECT_TRUE(root->get("blob", blob));
    EXPECT_EQ(blob, (Bytes{'a', 'b', 'c'}));
    EXPECT_TRUE(root->get("word", blob)); // a present text counts, whatever it decodes to
    EXPECT_FALSE(root->get("missing", blob));
    EXPECT_FALSE(root->has("missing"));
}

TEST(Config, DefaultsCreateKeysAndSetChanged) {
    TestSupport::TempDir dir;
    Config config;
    auto root = config.root();
    EXPECT_FALSE(config.changed());
    EXPECT_EQ(root->value("gps_port", 3), 3);
    EXPECT_TRUE(config.changed());
    // A setting read for the first time is no edit: a running program does
    // not rewrite the file for it.
    Bytes seed{1};
    root->value("m", 1.0f), root->value("t", "x"), root->valueBlob("bl", seed);
    EXPECT_TRUE(config.editedKeys().empty());
    ASSERT_TRUE(config.save(wide(dir / "config.xml")));
    EXPECT_EQ(root->value("gps_port", 7), 3);
    EXPECT_FALSE(config.changed());
    // A text that does not parse is replaced by the default without counting
    // as a change.
    root->set("speed", std::string("fast"));
    root->set("bad_float", std::string("x"));
    ASSERT_TRUE(config.save(wide(dir / "config.xml")));
    EXPECT_EQ(root->value("speed", 60), 60);
    EXPECT_FLOAT_EQ(root->value("bad_float", 2.25f), 2.25f);
    EXPECT_FALSE(config.changed());
    EXPECT_EQ(text(*root, "speed"), "60");
    EXPECT_EQ(text(*root, "bad_float"), "2.250000");
    EXPECT_TRUE(root->value("map_start", true));
    EXPECT_EQ(text(*root, "map_start"), "1");
    EXPECT_TRUE(root->value("map_start", false));
    EXPECT_EQ(root->value("name", "Москва"), "Москва");
    EXPECT_EQ(root->value("name", std::string("other")), "Москва");
    // The reference is to the stored text.
    const std::string& ref = root->value("name", "x");
    root->set("name", "Тверь");
    EXPECT_EQ(ref, "Тверь");
    Bytes blob{1, 2, 3};
    root->valueBlob("flags", blob);
    EXPECT_EQ(text(*root, "flags"), "AQID");
    Bytes other{9};
    root->valueBlob("flags", other);
    EXPECT_EQ(other, (Bytes{1, 2, 3}));
    Bytes none;
    root->valueBlob("empty_blob", none);
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(root->has("empty_blob"));
}

TEST(Config, SettersChangeOnlyOnRealChange) {
    TestSupport::TempDir dir;
    const auto path = wide(dir / "config.xml");
    Config config;
    auto root = config.root();
    // Each setter twice: the first changes the store, the second nothing.
    const std::vector<std::function<void()>> setters = {
        [&] { root->set("n", 5); },      [&] { root->set("f", 0.5f); },         [&] { root->set("b", true); },
        [&] { root->set("b", 1); },      [&] { root->set("s", "text"); },       [&] { root->set("blob", Bytes{}); },
        [&] { root->set("blob2", Bytes{0xFF}); }};
    const char* keys[] = {"n", "f", "b", "b", "s", "blob", "blob2"};
    for (std::size_t k = 0; k < setters.size(); ++k) {
        setters[k]();
        // "b" holds 1 already; an empty blob over nothing changes no text.
        const std::set<std::string> edited = k != 3 && k != 5 ? std::set<std::string>{keys[k]} : std::set<std::string>{};
        EXPECT_EQ(config.editedKeys(), edited) << k;
        ASSERT_TRUE(config.save(path));
        EXPECT_TRUE(config.editedKeys().empty());
        setters[k]();
        EXPECT_FALSE(config.changed()) << k;
        EXPECT_TRUE(config.editedKeys().empty()) << k;
    }
    root->set("n", 6);
    EXPECT_TRUE(config.changed());
    ASSERT_TRUE(config.save(path));
    root->set("b", false);
    EXPECT_TRUE(config.changed());
    ASSERT_TRUE(config.save(path));
    // An empty blob over a text clears it.
    root->set("blob2", Bytes{});
    EXPECT_TRUE(config.changed());
    EXPECT_EQ(text(*root, "blob2"), "");
    // Setting a missing key to an empty text still creates it.
    ASSERT_TRUE(config.save(path));
    root->set("new", std::string());
    EXPECT_TRUE(config.changed());
}

TEST(Config, SaveAndLoadRoundTrip) {
    TestSupport::TempDir dir;
    const auto path = wide(dir / "config.xml");
    Config config;
    EXPECT_TRUE(config.save(path));
    EXPECT_EQ(TestSupport::readAll(dir / "config.xml"), "<config version=\"2\">\r\n</config>");
    auto nav = config.root()->child("Navigation");
    nav->set("int", -2147483647 - 1);
    nav->set("float", 3.25f);
    nav->set("text", "<a href=\"x\">Tom & 'Jerry'</a> Ёж\ttab");
    nav->set("empty", std::string());
    const Bytes blob{0, 1, 2, 0xFE, 0xFF, 0x80, 7};
    nav->set("blob", blob);
    // Keys are escaped like values.
    config.root()->set("a\"b<c&d'e>", 1);
    ASSERT_TRUE(config.save(path));
    EXPECT_FALSE(config.changed());
    const std::string written = TestSupport::readAll(dir / "config.xml");
    EXPECT_NE(written.find("value=\"&lt;a href=&quot;x&quot;&gt;Tom &amp; &apos;Jerry&apos;&lt;/a&gt; Ёж\ttab\""),
              std::string::npos);
    EXPECT_NE(written.find("\t<var name=\"Navigation/empty\" value=\"\" />\r\n"), std::string::npos);
    EXPECT_NE(written.find("name=\"a&quot;b&lt;c&amp;d&apos;e&gt;\""), std::string::npos);

    Config loaded;
    ASSERT_TRUE(loaded.load(path));
    EXPECT_FALSE(loaded.changed());
    EXPECT_EQ(loaded.toXml(), config.toXml());
    auto n = loaded.root()->child("Navigation");
    EXPECT_EQ(n->value("int", 0), -2147483647 - 1);
    EXPECT_EQ(n->value("float", 0.0f), 3.25f);
    EXPECT_EQ(text(*n, "text"), "<a href=\"x\">Tom & 'Jerry'</a> Ёж\ttab");
    Bytes back;
    EXPECT_TRUE(n->get("blob", back));
    EXPECT_EQ(back, blob);
    EXPECT_EQ(loaded.root()->value("a\"b<c&d'e>", 0), 1);
    EXPECT_FALSE(loaded.changed());
}

TEST(Config, ZeroBytesCannotBreakTheFile) {
    TestSupport::TempDir dir;
    const auto path = wide(dir / "config.xml");
    dir.write("config.xml", "<config version=\"2\"><var name=\"a\" value=\"x&#0;y\"/><var name=\"b\" value=\"1\"/></config>");
    Config config;
    ASSERT_TRUE(config.load(path));
    config.root()->set(std::string("k\0ey", 4), std::string("v\0w", 3));
    ASSERT_TRUE(config.save(path));
    Config again;
    ASSERT_TRUE(again.load(path));
    EXPECT_EQ(text(*again.root(), "a"), "x");
    EXPECT_EQ(text(*again.root(), "k"), "v");
    EXPECT_EQ(again.root()->value("b", 0), 1);

    // Names that differ only after a zero are one key, the first value
    // winning, as they are once saved: a load and a save are stable.
    Config twins;
    ASSERT_TRUE(twins.loadXml("<config version=\"2\"><var name=\"n&#0;1\" value=\"1\"/>"
                              "<var name=\"n\" value=\"2\"/></config>",
                              u"twins"));
    EXPECT_EQ(twins.root()->value("n", 0), 1);
    Config back;
    ASSERT_TRUE(back.loadXml(twins.toXml(), u"back"));
    EXPECT_EQ(back.toXml(), twins.toXml());
}

TEST(Config, LoadForms) {
    TestSupport::TempDir dir;
    // Without a version, with version 1 or with no leading digits the old
    // "::" separators become "/"; from version 2 on names are kept.
    struct Case {
        const char* version;
        const char* name;
        const char* key;
    };
    for (const Case& c : {Case{nullptr, "A::B::C", "A/B/C"}, Case{nullptr, "x:::y", "x/:y"},
                          Case{nullptr, "one:two", "one:two"}, Case{"1", "A::B", "A/B"}, Case{"abc", "A::B", "A/B"},
                          Case{"1.9", "A::B", "A/B"}, Case{"", "A::B", "A/B"}, Case{" 3", "A::B", "A/B"},
                          Case{"+3", "A::B", "A/B"}, Case{"2", "A::B", "A::B"}, Case{"10", "A::B", "A::B"},
                          Case{"2x", "A::B", "A::B"}, Case{"0099999999999", "A::B", "A::B"}}) {
        const std::string version = c.version ? std::string(" version=\"") + c.version + "\"" : "";
        dir.write("v.xml", "<?xml version=\"1.0\"?>\n<config" + version + "><var name=\"" + c.name +
                               "\" value=\"1\"/></config>");
        Config config;
        ASSERT_TRUE(config.load(wide(dir / "v.xml"))) << version;
        EXPECT_TRUE(config.root()->has(c.key)) << version << " " << c.name;
    }

    // First duplicate wins; values already in the store win over the file;
    // incomplete vars and other elements are skipped; entities decoded.
    dir.write("dup.xml", "<config version=\"2\">"
                         "<var name=\"k\" value=\"first\"/><var name=\"k\" value=\"second\"/>"
                         "<var name=\"only_name\"/><var value=\"only_value\"/><other name=\"o\" value=\"1\"/>"
                         "<group><var name=\"nested\" value=\"1\"/></group><var name=\"pre\" value=\"file\"/>"
                         "<var name=\"ent\" value=\"&lt;&amp;&#1046;&quot;\"/>"
                         "</config><config version=\"2\"><var name=\"second_config\" value=\"1\"/></config>");
    Config dup;
    dup.root()->set("pre", "store");
    ASSERT_TRUE(dup.load(wide(dir / "dup.xml")));
    EXPECT_FALSE(dup.changed());
    EXPECT_EQ(text(*dup.root(), "k"), "first");
    EXPECT_EQ(text(*dup.root(), "pre"), "store");
    EXPECT_EQ(text(*dup.root(), "ent"), "<&Ж\"");
    for (const char* key : {"only_name", "o", "nested", "second_config"})
        EXPECT_FALSE(dup.root()->has(key)) << key;
}

TEST(Config, LoadFailures) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    Config config;
    config.root()->set("kept", 1);
    EXPECT_FALSE(config.load(wide(dir / "missing.xml")));
    EXPECT_TRUE(log.contains("Can't open config file '" + (dir / "missing.xml").string() + "' (err 2): No such file or directory"));
    EXPECT_FALSE(config.load(wide(dir.path()))); // a folder never opens as a file
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    // Random bytes are no XML, whatever their stray "<" would nest to.
    std::mt19937 random(7);
    std::string noise(1 << 20, ' ');
    for (char& c : noise)
        c = static_cast<char>(random() & 0xFF);
    noise[0] = 'x';
    EXPECT_FALSE(Core::xmlDepthWithin(noise, 64));
    struct Case {
        std::string content, logged;
    };
    for (const Case& c : {Case{"<settings><var name=\"a\" value=\"1\"/></settings>", "has no config element"},
                          Case{"<config version=\"2\"><var name=\"a\" value=\"1\"/><var name=\"b", "Can't parse config file '"},
                          Case{"", "Error reading file (err 0): the file is empty"},
                          Case{"<config>" + deep, "is nested too deeply"},
                          Case{noise, "Config file '" + (dir / "bad.xml").string() + "' is not XML"}}) {
        dir.write("bad.xml", c.content);
        EXPECT_FALSE(config.load(wide(dir / "bad.xml"))) << c.logged;
        EXPECT_TRUE(log.contains(c.logged)) << c.logged;
    }
    // The store kept what it had, and its changed flag.
    EXPECT_TRUE(config.changed());
    EXPECT_EQ(config.root()->value("kept", 0), 1);
    EXPECT_FALSE(config.root()->has("a"));
}

// Keys no node read (a file's leftovers, or junk by the million) are kept
// up to MaxUnread in key order; the rest are dropped at the next save,
// which a store that large is due for, and logged once. The program's own
// keys stay whatever their place, read this run or only known.
TEST(Config, KeysNothingReadAreKeptUpToABound) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    const auto path = wide(dir / "config.xml");
    const std::size_t bound = Config::MaxUnread;
    const struct {
        std::size_t unread;
        bool dropping;
    } rows[] = {{bound, false}, {bound + 1, true}, {2 * bound, true}, {5000, true}, {1000000, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.unread);
        std::string xml = "<config version=\"2\">";
        for (std::size_t i = 0; i < row.unread; ++i)
            xml += Core::format("<var name=\"junk/%07d\" value=\"x\"/>", static_cast<int>(i));
        xml += "<var name=\"zz/got\" value=\"3\"/><var name=\"zz/known\" value=\"5\"/>"
               "<var name=\"zz/mine\" value=\"7\"/><var name=\"zz/set\" value=\"1\"/></config>";
        dir.write("config.xml", xml);
        Config config;
        config.setKnownKeys({"zz/known"});
        ASSERT_TRUE(config.load(path));
        EXPECT_EQ(config.changed(), row.unread + 4 > 2 * bound) << "due for a save";
        auto zz = config.root()->child("zz");
        EXPECT_EQ(zz->value("mine", 0), 7);
        int got = 0;
        EXPECT_TRUE(zz->get("got", got)); // a look without a default reads too
        zz->set("set", 2);
        ASSERT_TRUE(config.save(path));
        const std::string line = Core::format(
            "Config: %d settings that nothing read were dropped (at most %d are kept)",
            static_cast<int>(row.unread - std::min(row.unread, bound)), static_cast<int>(bound));
        EXPECT_EQ(log.count(line), row.dropping ? 1u : 0u);
        Config again;
        ASSERT_TRUE(again.load(path));
        EXPECT_FALSE(again.changed());
        const std::string written = TestSupport::readAll(dir / "config.xml");
        EXPECT_NE(written.find(Core::format("\"junk/%07d\"", static_cast<int>(bound - 1))), std::string::npos);
        EXPECT_EQ(written.find(Core::format("\"junk/%07d\"", static_cast<int>(bound))), std::string::npos);
        EXPECT_NE(written.find("<var name=\"zz/known\" value=\"5\" />"), std::string::npos);
        EXPECT_EQ(again.root()->child("zz")->value("mine", 0), 7);
        EXPECT_EQ(again.root()->child("zz")->value("got", 0), 3);
        EXPECT_EQ(again.root()->child("zz")->value("set", 0), 2);
        // Saved again: nothing more to drop, nothing logged again.
        ASSERT_TRUE(config.save(path));
        EXPECT_EQ(log.count(line), row.dropping ? 1u : 0u);
    }
}

TEST(Config, SaveFailuresKeepThePreviousFile) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    Config config;
    config.root()->set("a", 1);
    // The target is a folder; the folder is missing.
    std::filesystem::create_directory(dir / "folder.xml");
    EXPECT_FALSE(config.save(wide(dir / "folder.xml")));
    EXPECT_TRUE(log.contains("Can't create config file '" + (dir / "folder.xml").string() + "' (err 5): Permission denied"));
    EXPECT_FALSE(config.save(wide(dir / "no" / "config.xml")));
    EXPECT_TRUE(log.contains("Can't create config file '" + (dir / "no" / "config.xml").string() + "' (err"));
    EXPECT_TRUE(config.changed());

    // A good save, then a write that fails half-way through the new file:
    // the first file stays whole and no temporary file is left behind.
    const auto path = wide(dir / "config.xml");
    ASSERT_TRUE(config.save(path));
    const std::string good = TestSupport::readAll(dir / "config.xml");
    for (int i = 0; i < 200; ++i)
        config.root()->set("key" + std::to_string(i), std::string(40, 'v'));
    // Tried again on the same full disk: the caller learns why each time,
    // the log says it once until a save succeeds.
    const std::string full =
        "Can't write config file '" + (dir / "config.xml").string() + "' (err 223): File too large";
    for (int attempt = 0; attempt < 3; ++attempt) {
        TestSupport::FileSizeLimit limit(good.size() + 100);
        EXPECT_FALSE(config.save(path));
        EXPECT_EQ(config.saveError(), 223);
    }
    EXPECT_EQ(log.count(full), 1u);
    EXPECT_TRUE(config.changed());
    EXPECT_EQ(TestSupport::readAll(dir / "config.xml"), good);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2u); // config.xml and folder.xml
    EXPECT_TRUE(config.save(path));
    EXPECT_EQ(config.saveError(), 0);
    EXPECT_FALSE(config.changed());
    config.root()->set("a", 2);
    {
        TestSupport::FileSizeLimit limit(good.size() + 100);
        EXPECT_FALSE(config.save(path));
    }
    EXPECT_EQ(log.count(full), 2u) << "a new run of failures is said again";
}

// Each damaged file is kept under a name of its own: a second damage never
// replaces the copy of the first, and the last name is reused only once
// every other is taken.
TEST(Config, KeepUnreadable) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    const auto path = wide(dir / "config.xml");
    EXPECT_EQ(Config::keepUnreadable(path), u"");
    std::vector<std::string> names = {"config.xml.bak"};
    for (int n = 2; n <= Config::MaxKeptUnreadable; ++n)
        names.push_back("config.xml.bak." + std::to_string(n));
    names.push_back(names.back());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string text = "<config version=\"2\"><var name=\"x\" value=\"" + std::to_string(i);
        dir.write("config.xml", text);
        Config config;
        ASSERT_FALSE(config.load(path));
        EXPECT_EQ(Core::wideToUtf8(Config::keepUnreadable(path)), (dir / names[i]).string()) << i;
        EXPECT_FALSE(std::filesystem::exists(dir / "config.xml"));
        EXPECT_EQ(TestSupport::readAll(dir / names[i]), text);
        EXPECT_TRUE(log.contains("Unreadable config file kept as '" + (dir / names[i]).string() + "'"));
    }
    EXPECT_EQ(TestSupport::readAll(dir / "config.xml.bak"), "<config version=\"2\"><var name=\"x\" value=\"0");
}

TEST(Config, BitPacking) {
    std::vector<bool> flags(10, false);
    flags[0] = flags[8] = flags[9] = true;
    EXPECT_EQ(Config::pack(flags), (Bytes{0x80, 0xC0}));
    EXPECT_TRUE(Config::pack({}).empty());
    EXPECT_EQ(Config::pack(std::vector<bool>(9, true)), (Bytes{0xFF, 0x80}));
    std::vector<bool> back(10, false);
    Config::unpack(Config::pack(flags), back);
    EXPECT_EQ(back, flags);
    // More flags than bits: the rest keep their values.
    std::vector<bool> longer(20, true);
    Config::unpack(Bytes{0x00}, longer);
    EXPECT_EQ(std::count(longer.begin(), longer.end(), false), 8);
    // More bits than flags: the vector is not grown.
    std::vector<bool> shorter(3, false);
    Config::unpack(Bytes{0xA0, 0xFF}, shorter);
    EXPECT_EQ(shorter, (std::vector<bool>{true, false, true}));
    // A whole byte of flags and more bits: the ninth is not written.
    std::vector<bool> byte(8, false);
    EXPECT_NO_THROW(Config::unpack(Bytes{0x81, 0xFF}, byte));
    EXPECT_EQ(byte, (std::vector<bool>{true, false, false, false, false, false, false, true}));
}

// A value holding bytes that are no UTF-8 (a Latin-1 name typed by hand, a
// damaged file) or characters XML cannot carry is saved as U+FFFD each: the
// file stays well-formed and loads again, the other values untouched.
TEST(Config, BadBytesInAValueKeepTheFileWellFormed) {
    Config config;
    config.root()->set("name", std::string("caf\xE9 \x01<\xF0\x9F\x98\x80>\xC3"));
    config.root()->set("other", std::string("ok"));
    const std::string xml = config.toXml();
    EXPECT_EQ(xml, "<config version=\"2\">\r\n"
                   "\t<var name=\"name\" value=\"caf\xEF\xBF\xBD \xEF\xBF\xBD&lt;\xF0\x9F\x98\x80&gt;\xEF\xBF\xBD\" />\r\n"
                   "\t<var name=\"other\" value=\"ok\" />\r\n"
                   "</config>");
    Config again;
    ASSERT_TRUE(again.loadXml(xml, u"again"));
    EXPECT_EQ(text(*again.root(), "name"), "caf\xEF\xBF\xBD \xEF\xBF\xBD<\xF0\x9F\x98\x80>\xEF\xBF\xBD");
    EXPECT_EQ(again.toXml(), xml);
    EXPECT_EQ(text(*config.root(), "name"), std::string("caf\xE9 \x01<\xF0\x9F\x98\x80>\xC3")) << "the store keeps it";
}
