#include "core/Config.h"

#include "core/Base64.h"
#include "platform/Path.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using Core::Config;

namespace {

std::u16string wide(const std::filesystem::path& p) { return Platform::fromNativePath(p.string()); }

using Bytes = std::vector<std::uint8_t>;

} // namespace

TEST(Config, RootAndChildPrefixes) {
    Config config;
    auto root = config.root();
    EXPECT_EQ(root, config.root());
    auto routing = root->child("Routing");
    auto deep = routing->child("a/b");
    deep->set("z", 5);
    routing->set("best_roads", 1);
    root->set("log_severity", 2);
    EXPECT_TRUE(root->has("Routing/a/b/z"));
    EXPECT_TRUE(root->has("Routing/best_roads"));
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
    std::string out;
    EXPECT_TRUE(kept->get("k", out));
    EXPECT_EQ(out, "v");
}

TEST(Config, TypedLookups) {
    Config config;
    auto root = config.root();
    root->set("i", std::string("42abc"));
    root->set("neg", std::string("-7"));
    root->set("f", std::string("  -12.25"));
    root->set("word", std::string("abc"));
    root->set("blob", std::string("YW Jj"));

    int i = 9;
    EXPECT_TRUE(root->get("i", i));
    EXPECT_EQ(i, 42);
    EXPECT_TRUE(root->get("neg", i));
    EXPECT_EQ(i, -7);
    EXPECT_FALSE(root->get("word", i));
    EXPECT_EQ(i, 0);
    i = 9;
    EXPECT_FALSE(root->get("missing", i));
    EXPECT_EQ(i, 9);

    float f = 0;
    EXPECT_TRUE(root->get("f", f));
    EXPECT_FLOAT_EQ(f, -12.25f);
    EXPECT_FALSE(root->get("word", f));

    bool b = false;
    EXPECT_TRUE(root->get("neg", b));
    EXPECT_TRUE(b);
    EXPECT_FALSE(root->get("word", b));

    std::string s;
    EXPECT_TRUE(root->get("word", s));
    EXPECT_EQ(s, "abc");
    EXPECT_FALSE(root->get("missing", s));

    Bytes blob;
    EXPECT_TRUE(root->get("blob", blob));
    EXPECT_EQ(blob, (Bytes{'a', 'b', 'c'}));
    // Whatever the decoder makes of it, a present text counts.
    EXPECT_TRUE(root->get("word", blob));
    EXPECT_FALSE(root->get("missing", blob));
    EXPECT_FALSE(root->has("missing"));
}

TEST(Config, DefaultsCreateKeysAndSetChanged) {
    Config config;
    auto root = config.root();
    EXPECT_FALSE(config.changed());
    EXPECT_EQ(root->value("gps_port", 3), 3);
    EXPECT_TRUE(config.changed());
    EXPECT_NE(config.toXml().find("\t<var name=\"gps_port\" value=\"3\" />\r\n"), std::string::npos);

    // Present and parsable: the stored value, nothing changes.
    TestSupport::TempDir dir;
    ASSERT_TRUE(config.save(wide(dir / "config.xml")));
    EXPECT_FALSE(config.changed());
    EXPECT_EQ(root->value("gps_port", 7), 3);
    EXPECT_FALSE(config.changed());

    // A text that does not parse is replaced by the default without counting
    // as a change.
    root->set("speed", std::string("fast"));
    ASSERT_TRUE(config.save(wide(dir / "config.xml")));
    EXPECT_EQ(root->value("speed", 60), 60);
    EXPECT_FALSE(config.changed());
    std::string text;
    root->get("speed", text);
    EXPECT_EQ(text, "60");

    EXPECT_FLOAT_EQ(root->value("zoom", 1.5f), 1.5f);
    root->get("zoom", text);
    EXPECT_EQ(text, "1.500000");
    EXPECT_FLOAT_EQ(root->value("zoom", 9.0f), 1.5f);
    root->set("bad_float", std::string("x"));
    EXPECT_FLOAT_EQ(root->value("bad_float", 2.25f), 2.25f);
    root->get("bad_float", text);
    EXPECT_EQ(text, "2.250000");

    EXPECT_TRUE(root->value("map_start", true));
    root->get("map_start", text);
    EXPECT_EQ(text, "1");
    EXPECT_TRUE(root->value("map_start", false));
    EXPECT_FALSE(root->value("other", false));

    EXPECT_EQ(root->value("name", "Москва"), "Москва");
    EXPECT_EQ(root->value("name", std::string("other")), "Москва");
    // The reference is to the stored text.
    const std::string& ref = root->value("name", "x");
    root->set("name", "Тверь");
    EXPECT_EQ(ref, "Тверь");

    Bytes blob{1, 2, 3};
    root->valueBlob("flags", blob);
    EXPECT_EQ(blob, (Bytes{1, 2, 3}));
    root->get("flags", text);
    EXPECT_EQ(text, "AQID");
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
    root->set("n", 5);
    EXPECT_TRUE(config.changed());
    ASSERT_TRUE(config.save(path));

    root->set("n", 5);
    EXPECT_FALSE(config.changed());
    root->set("n", 6);
    EXPECT_TRUE(config.changed());
    ASSERT_TRUE(config.save(path));

    root->set("f", 0.5f);
    ASSERT_TRUE(config.save(path));
    root->set("f", 0.5f);
    EXPECT_FALSE(config.changed());

    root->set("b", true);
    ASSERT_TRUE(config.save(path));
    root->set("b", true);
    EXPECT_FALSE(config.changed());
    root->set("b", 1); // the same text as true
    EXPECT_FALSE(config.changed());
    root->set("b", false);
    EXPECT_TRUE(config.changed());

    root->set("s", "text");
    ASSERT_TRUE(config.save(path));
    root->set("s", std::string("text"));
    EXPECT_FALSE(config.changed());

    // Blobs: empty over empty changes nothing; empty over a text clears it.
    root->set("blob", Bytes{});
    ASSERT_TRUE(config.save(path));
    root->set("blob", Bytes{});
    EXPECT_FALSE(config.changed());
    root->set("blob", Bytes{0xFF});
    EXPECT_TRUE(config.changed());
    ASSERT_TRUE(config.save(path));
    root->set("blob", Bytes{0xFF});
    EXPECT_FALSE(config.changed());
    root->set("blob", Bytes{});
    EXPECT_TRUE(config.changed());
    std::string text = "x";
    root->get("blob", text);
    EXPECT_EQ(text, "");
    // Setting a missing key to an empty text still creates it.
    ASSERT_TRUE(config.save(path));
    root->set("new", std::string());
    EXPECT_TRUE(config.changed());
}

TEST(Config, SaveAndLoadRoundTrip) {
    TestSupport::TempDir dir;
    const auto path = wide(dir / "config.xml");
    Config config;
    auto root = config.root();
    auto nav = root->child("Navigation");
    nav->set("int", -2147483647 - 1);
    nav->set("float", 3.25f);
    nav->set("bool", true);
    nav->set("text", "<a href=\"x\">Tom & 'Jerry'</a> Ёж\ttab");
    nav->set("empty", std::string());
    const Bytes blob{0, 1, 2, 0xFE, 0xFF, 0x80, 7};
    nav->set("blob", blob);
    root->set("log_severity", 3);
    ASSERT_TRUE(config.save(path));
    EXPECT_FALSE(config.changed());

    const std::string written = TestSupport::readAll(dir / "config.xml");
    EXPECT_TRUE(written.starts_with("<config version=\"2\">\r\n"));
    EXPECT_TRUE(written.ends_with("\" />\r\n</config>"));
    EXPECT_NE(written.find("value=\"&lt;a href=&quot;x&quot;&gt;Tom &amp; &apos;Jerry&apos;&lt;/a&gt; Ёж\ttab\""),
              std::string::npos);
    EXPECT_NE(written.find("\t<var name=\"Navigation/empty\" value=\"\" />\r\n"), std::string::npos);

    Config loaded;
    ASSERT_TRUE(loaded.load(path));
    EXPECT_FALSE(loaded.changed());
    EXPECT_EQ(loaded.toXml(), config.toXml());
    auto n = loaded.root()->child("Navigation");
    int i = 0;
    EXPECT_TRUE(n->get("int", i));
    EXPECT_EQ(i, -2147483647 - 1);
    float f = 0;
    EXPECT_TRUE(n->get("float", f));
    EXPECT_EQ(f, 3.25f);
    bool b = false;
    EXPECT_TRUE(n->get("bool", b));
    EXPECT_TRUE(b);
    std::string s;
    EXPECT_TRUE(n->get("text", s));
    EXPECT_EQ(s, "<a href=\"x\">Tom & 'Jerry'</a> Ёж\ttab");
    EXPECT_TRUE(n->get("empty", s));
    EXPECT_EQ(s, "");
    Bytes back;
    EXPECT_TRUE(n->get("blob", back));
    EXPECT_EQ(back, blob);
    EXPECT_EQ(loaded.root()->value("log_severity", 0), 3);
    EXPECT_FALSE(loaded.changed());
}

TEST(Config, EmptyStoreSavesOpeningAndClosingOnly) {
    TestSupport::TempDir dir;
    Config config;
    ASSERT_TRUE(config.save(wide(dir / "config.xml")));
    EXPECT_EQ(TestSupport::readAll(dir / "config.xml"), "<config version=\"2\">\r\n</config>");
    Config loaded;
    EXPECT_TRUE(loaded.load(wide(dir / "config.xml")));
    EXPECT_EQ(loaded.toXml(), config.toXml());
}

TEST(Config, KeysAreEscapedLikeValues) {
    TestSupport::TempDir dir;
    const auto path = wide(dir / "config.xml");
    Config config;
    config.root()->set("a\"b<c&d'e>", 1);
    ASSERT_TRUE(config.save(path));
    EXPECT_NE(TestSupport::readAll(dir / "config.xml").find("name=\"a&quot;b&lt;c&amp;d&apos;e&gt;\""),
              std::string::npos);
    Config loaded;
    ASSERT_TRUE(loaded.load(path));
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
    std::string s;
    EXPECT_TRUE(again.root()->get("a", s));
    EXPECT_EQ(s, "x");
    EXPECT_TRUE(again.root()->get("k", s));
    EXPECT_EQ(s, "v");
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
    // Without a version: the old "::" separators become "/".
    dir.write("old.xml", "<?xml version=\"1.0\"?>\n<config>\n"
                         "<var name=\"A::B::C\" value=\"1\"/>\n"
                         "<var name=\"x:::y\" value=\"2\"/>\n"
                         "<var name=\"one:two\" value=\"3\"/>\n"
                         "</config>");
    Config old;
    ASSERT_TRUE(old.load(wide(dir / "old.xml")));
    EXPECT_TRUE(old.root()->has("A/B/C"));
    EXPECT_TRUE(old.root()->has("x/:y"));
    EXPECT_TRUE(old.root()->has("one:two"));
    EXPECT_FALSE(old.root()->has("A::B::C"));

    // Version 1 and an unreadable version are old too; version 2 keeps names.
    for (const char* version : {"1", "abc", "1.9", "", " 3", "+3"}) {
        dir.write("v.xml", std::string("<config version=\"") + version + "\"><var name=\"A::B\" value=\"1\"/></config>");
        Config c;
        ASSERT_TRUE(c.load(wide(dir / "v.xml"))) << version;
        EXPECT_TRUE(c.root()->has("A/B")) << version;
    }
    for (const char* version : {"2", "10", "2x", "0099999999999"}) {
        dir.write("v.xml", std::string("<config version=\"") + version + "\"><var name=\"A::B\" value=\"1\"/></config>");
        Config c;
        ASSERT_TRUE(c.load(wide(dir / "v.xml"))) << version;
        EXPECT_TRUE(c.root()->has("A::B")) << version;
    }

    // First duplicate wins; values already in the store win over the file;
    // incomplete vars and other elements are skipped; entities decoded.
    dir.write("dup.xml", "<config version=\"2\">"
                         "<var name=\"k\" value=\"first\"/>"
                         "<var name=\"k\" value=\"second\"/>"
                         "<var name=\"only_name\"/>"
                         "<var value=\"only_value\"/>"
                         "<other name=\"o\" value=\"1\"/>"
                         "<group><var name=\"nested\" value=\"1\"/></group>"
                         "<var name=\"pre\" value=\"file\"/>"
                         "<var name=\"ent\" value=\"&lt;&amp;&#1046;&quot;\"/>"
                         "</config><config version=\"2\"><var name=\"second_config\" value=\"1\"/></config>");
    Config dup;
    dup.root()->set("pre", "store");
    ASSERT_TRUE(dup.load(wide(dir / "dup.xml")));
    EXPECT_FALSE(dup.changed());
    std::string s;
    dup.root()->get("k", s);
    EXPECT_EQ(s, "first");
    dup.root()->get("pre", s);
    EXPECT_EQ(s, "store");
    dup.root()->get("ent", s);
    EXPECT_EQ(s, "<&Ж\"");
    EXPECT_FALSE(dup.root()->has("only_name"));
    EXPECT_FALSE(dup.root()->has("o"));
    EXPECT_FALSE(dup.root()->has("nested"));
    EXPECT_FALSE(dup.root()->has("second_config"));
}

TEST(Config, LoadFailures) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    Config config;
    config.root()->set("kept", 1);

    EXPECT_FALSE(config.load(wide(dir / "missing.xml")));
    EXPECT_TRUE(log.contains("Can't open config file '" + (dir / "missing.xml").string() + "' (err 2)"));
    // A folder never opens as a file.
    EXPECT_FALSE(config.load(wide(dir.path())));

    dir.write("noconfig.xml", "<settings><var name=\"a\" value=\"1\"/></settings>");
    EXPECT_FALSE(config.load(wide(dir / "noconfig.xml")));
    EXPECT_TRUE(log.contains("has no config element"));

    dir.write("broken.xml", "<config version=\"2\"><var name=\"a\" value=\"1\"/><var name=\"b");
    EXPECT_FALSE(config.load(wide(dir / "broken.xml")));
    EXPECT_TRUE(log.contains("Can't parse config file '" + (dir / "broken.xml").string() + "'"));

    dir.write("empty.xml", "");
    EXPECT_FALSE(config.load(wide(dir / "empty.xml")));

    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    dir.write("deep.xml", "<config>" + deep);
    EXPECT_FALSE(config.load(wide(dir / "deep.xml")));
    EXPECT_TRUE(log.contains("is nested too deeply"));

    // The store kept what it had, and its changed flag.
    EXPECT_TRUE(config.changed());
    EXPECT_EQ(config.root()->value("kept", 0), 1);
    EXPECT_FALSE(config.root()->has("a"));
}

TEST(Config, SaveFailuresKeepThePreviousFile) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    Config config;
    config.root()->set("a", 1);

    // The target is a folder.
    std::filesystem::create_directory(dir / "folder.xml");
    EXPECT_FALSE(config.save(wide(dir / "folder.xml")));
    EXPECT_TRUE(config.changed());
    EXPECT_TRUE(log.contains("Can't create config file '" + (dir / "folder.xml").string() + "' (err 5)"));

    // The folder is missing.
    EXPECT_FALSE(config.save(wide(dir / "no" / "config.xml")));
    EXPECT_TRUE(log.contains("Can't create config file '" + (dir / "no" / "config.xml").string() + "' (err"));
    EXPECT_TRUE(config.changed());

    // A good save, then a failed one: the first file stays whole and no
    // temporary file is left behind.
    const auto path = wide(dir / "config.xml");
    ASSERT_TRUE(config.save(path));
    const std::string good = TestSupport::readAll(dir / "config.xml");
    config.root()->set("b", 2);
    std::filesystem::create_directory(dir / "config.xml.bak"); // unrelated, must stay
    EXPECT_FALSE(config.save(wide(dir / "folder.xml")));
    EXPECT_EQ(TestSupport::readAll(dir / "config.xml"), good);

    // A write that really fails half-way through the new file.
    for (int i = 0; i < 200; ++i)
        config.root()->set("key" + std::to_string(i), std::string(40, 'v'));
    {
        TestSupport::FileSizeLimit limit(good.size() + 100);
        EXPECT_FALSE(config.save(path));
    }
    EXPECT_TRUE(log.contains("Can't write config file '" + (dir / "config.xml").string() + "' (err"));
    EXPECT_TRUE(config.changed());
    EXPECT_EQ(TestSupport::readAll(dir / "config.xml"), good);
    Config previous;
    EXPECT_TRUE(previous.load(path));
    EXPECT_EQ(previous.root()->value("a", 0), 1);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 3u); // config.xml, folder.xml, config.xml.bak: no temporary left
    // Without the limit the same save succeeds.
    EXPECT_TRUE(config.save(path));
    EXPECT_FALSE(config.changed());
}

TEST(Config, KeepUnreadable) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    const auto path = wide(dir / "config.xml");
    EXPECT_FALSE(Config::keepUnreadable(path));

    dir.write("config.xml", "<config version=\"2\"><var name=\"x\" value=\"kept");
    dir.write("config.xml.bak", "an older copy");
    Config config;
    ASSERT_FALSE(config.load(path));
    EXPECT_TRUE(Config::keepUnreadable(path));
    EXPECT_FALSE(std::filesystem::exists(dir / "config.xml"));
    EXPECT_EQ(TestSupport::readAll(dir / "config.xml.bak"), "<config version=\"2\"><var name=\"x\" value=\"kept");
    EXPECT_TRUE(log.contains("Unreadable config file kept as '" + (dir / "config.xml.bak").string() + "'"));

    // The engine's next steps: a fresh file beside the kept one.
    config.root()->set("log_severity", 0);
    ASSERT_TRUE(config.save(path));
    EXPECT_TRUE(std::filesystem::exists(dir / "config.xml.bak"));
}

TEST(Config, BitPacking) {
    std::vector<bool> flags(10, false);
    flags[0] = true;
    flags[8] = true;
    flags[9] = true;
    const Bytes packed = Config::pack(flags);
    EXPECT_EQ(packed, (Bytes{0x80, 0xC0}));
    EXPECT_TRUE(Config::pack({}).empty());
    EXPECT_EQ(Config::pack(std::vector<bool>(8, true)), (Bytes{0xFF}));
    EXPECT_EQ(Config::pack(std::vector<bool>(9, true)), (Bytes{0xFF, 0x80}));

    std::vector<bool> back(10, false);
    Config::unpack(packed, back);
    EXPECT_EQ(back, flags);
    // More flags than bits: the rest keep their values.
    std::vector<bool> longer(20, true);
    Config::unpack(Bytes{0x00}, longer);
    EXPECT_EQ(std::count(longer.begin(), longer.end(), false), 8);
    EXPECT_TRUE(longer[8] && longer[19]);
    // More bits than flags: the vector is not grown.
    std::vector<bool> shorter(3, false);
    Config::unpack(Bytes{0xA0, 0xFF}, shorter);
    EXPECT_EQ(shorter, (std::vector<bool>{true, false, true}));

    // Through the store as a blob.
    Config config;
    config.root()->set("flags", Config::pack(flags));
    Bytes stored;
    config.root()->get("flags", stored);
    std::vector<bool> again(10, false);
    Config::unpack(stored, again);
    EXPECT_EQ(again, flags);
}
