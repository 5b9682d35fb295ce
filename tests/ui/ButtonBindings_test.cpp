#include "ui/ButtonBindings.h"
#include "ui/ButtonsFile.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

SDL_keysym key(int sym) {
    SDL_keysym k{};
    k.sym = static_cast<SDLKey>(sym);
    return k;
}

std::u16string wide(const std::filesystem::path& p) { return FileSystem::toWide(p.string()); }

struct Fixture {
    Core::Config config;
    Ui::ButtonBindings bindings{config.root()};
};

} // namespace

// Up, down and right by the default keys (arrows and keypad), turned with
// the screen.
TEST(ButtonBindings, KeyPredicatesFollowTheScreenRotation) {
    Fixture f;
    auto& b = f.bindings;
    using Keys = std::vector<int>;
    struct Case {
        int orientation;
        Keys up, down, right;
    };
    for (const Case& c : {Case{0, {273, 264}, {274, 258}, {275, 262}}, Case{90, {275, 262}, {276, 260}, {274, 258}}}) {
        b.orientation = c.orientation;
        for (int k : {273, 274, 275, 276, 258, 260, 262, 264}) {
            auto in = [k](const Keys& keys) { return std::find(keys.begin(), keys.end(), k) != keys.end(); };
            EXPECT_EQ(b.isUpKey(key(k)), in(c.up)) << c.orientation << " " << k;
            EXPECT_EQ(b.isDownKey(key(k)), in(c.down)) << c.orientation << " " << k;
            EXPECT_EQ(b.isRightKey(key(k)), in(c.right)) << c.orientation << " " << k;
        }
    }
}

TEST(ButtonBindings, SetKeyAndNamedActions) {
    Fixture f;
    auto& b = f.bindings;
    std::string name = "untouched";
    EXPECT_FALSE(b.actionForKey(key(102), name));
    EXPECT_EQ(name, "untouched");

    b.setKey("pageFind", 102, 0);
    b.setKey("menuMain", 102, 0);
    b.setKey("pageFind", 103, 0);
    ASSERT_EQ(b.actions().size(), 2u);
    EXPECT_TRUE(b.actionForKey(key(102), name));
    EXPECT_EQ(name, "menuMain");
    EXPECT_TRUE(b.actionForKey(key(103), name));
    EXPECT_EQ(name, "pageFind");

    // The bindings page passes the key the action had: it is released, and
    // a key of another action is never taken from it by mistake.
    b.setKey("pageFind", 110, 103);
    b.setKey("pageMap", 111, 110);
    b.setKey("menuMain", 0, 102);
    EXPECT_EQ(b.actions(), (std::map<std::int32_t, std::string>{{110, "pageFind"}, {111, "pageMap"}}));
    Fixture back;
    ASSERT_TRUE(Ui::loadButtonsText(Ui::buttonsText(b), back.bindings));
    EXPECT_EQ(back.bindings.actions(), b.actions());

    b.setKey("up", 280, 0);
    EXPECT_EQ(b.up, 280);
    EXPECT_FALSE(b.isUpKey(key(273)));
    EXPECT_TRUE(b.isUpKey(key(280)));
    EXPECT_EQ(b.actions().size(), 2u); // fixed names never enter the action map
}

TEST(ButtonsFile, ReadsBindings) {
    {
        Fixture f;
        TestSupport::CaptureLogger log;
        EXPECT_TRUE(Ui::loadButtonsText("<actions/>", f.bindings));
        EXPECT_EQ(f.bindings.up, 273);
        EXPECT_EQ(f.bindings.enter, 13);
        EXPECT_TRUE(f.bindings.actions().empty());
        EXPECT_TRUE(log.lines().empty());
    }
    {
        Fixture f;
        EXPECT_TRUE(Ui::loadButtonsText(
            "<?xml version=\"1.0\"?><actions>"
            "<action name=\"up\" key=\"280\"/>"
            "<action name=\"kp6\" key=\"100\"/><action name=\"kp6\" key=\"101\"/>"
            "<action name=\"pageFind\" key=\"50\"/><action name=\"menuMain\" key=\"50\"/>"
            "<action name=\"pageMap\"/><action key=\"60\"/>"
            "<action name=\"enter\" key=\"junk\"/>"
            "<action name=\"big\" key=\"99999999999\"/>"
            "<other name=\"pageOther\" key=\"70\"/>"
            "</actions>",
            f.bindings));
        auto& b = f.bindings;
        EXPECT_EQ(b.up, 280);
        EXPECT_FALSE(b.isUpKey(key(273)));
        EXPECT_EQ(b.kp6, 101);
        EXPECT_EQ(b.enter, 0); // unreadable key
        std::string name;
        EXPECT_TRUE(b.actionForKey(key(50), name));
        EXPECT_EQ(name, "menuMain");
        // Out of range reads as 0, which leaves the action unbound (key 0
        // is what SDL reports for keys it does not know).
        EXPECT_FALSE(b.actionForKey(key(0), name));
        EXPECT_EQ(b.actions().size(), 1u);
    }
    {
        // A name with a zero character in it ends there, so the file
        // written from the bindings loads back to the same bindings.
        Fixture f;
        ASSERT_TRUE(Ui::loadButtonsText("<actions><action name=\"pageFind&#0;x\" key=\"5\"/>"
                                        "<action name=\"up&#0;\" key=\"6\"/></actions>",
                                        f.bindings));
        std::string name;
        EXPECT_TRUE(f.bindings.actionForKey(key(5), name));
        EXPECT_EQ(name, "pageFind");
        EXPECT_EQ(f.bindings.up, 6);
        const std::string text = Ui::buttonsText(f.bindings);
        Fixture back;
        ASSERT_TRUE(Ui::loadButtonsText(text, back.bindings));
        EXPECT_EQ(Ui::buttonsText(back.bindings), text);
    }
    for (const char* bad : {"<keys><action name=\"up\" key=\"1\"/></keys>", "", "<actions><action",
                            "<actions><action name=\"up\" key=\"1\"></actions>"}) {
        Fixture f;
        TestSupport::CaptureLogger log;
        EXPECT_FALSE(Ui::loadButtonsText(bad, f.bindings)) << bad;
        EXPECT_TRUE(log.contains("Invalid format of buttons file")) << bad;
        EXPECT_EQ(f.bindings.up, 273);
    }
    {
        Fixture f;
        TestSupport::CaptureLogger log;
        std::string deep;
        for (int i = 0; i < 10000; ++i)
            deep += "<actions>";
        EXPECT_FALSE(Ui::loadButtonsText(deep, f.bindings));
        EXPECT_TRUE(log.contains("Invalid format of buttons file"));
    }
}

TEST(ButtonsFile, LoadFromDataFolderAndOpenFailure) {
    TestSupport::TempDir dir;
    std::filesystem::create_directory(dir / "design");
    dir.write("design/keys.xml", "<actions><action name=\"lsuper\" key=\"27\"/></actions>");
    Fixture f;
    f.bindings.buttonsFile = u"design/keys.xml";
    EXPECT_TRUE(Ui::loadButtons(wide(dir.path()), f.bindings));
    EXPECT_EQ(f.bindings.lsuper, 27);

    TestSupport::CaptureLogger log;
    f.bindings.buttonsFile = u"design/none.xml";
    EXPECT_FALSE(Ui::loadButtons(wide(dir.path()), f.bindings));
    ASSERT_EQ(log.lines().size(), 1u);
    // The log shows the system's separators, whatever the program keeps.
    const std::string shown = dir.path().string() + "/design/none.xml";
    const std::string expected = "Can't open buttons file '" + shown + "' (err 2): No such file or directory";
    EXPECT_NE(log.lines()[0].find(expected), std::string::npos) << log.lines()[0];
}

TEST(ButtonsFile, WriteReadBackAndFailedWriteKeepsOldFile) {
    TestSupport::TempDir dir;
    const auto path = dir / "buttons.xml";
    Fixture f;
    f.bindings.setKey("kp8", 56, 0);
    f.bindings.setKey("pageFind", 102, 0);
    f.bindings.setKey("a<b\"&", 7, 0);
    f.bindings.setKey("menuMain", 102, 0);
    ASSERT_TRUE(Ui::writeButtons(wide(path), f.bindings));
    const std::string expected = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                 "<actions>\n"
                                 "  <action name=\"up\" key=\"273\"/>\n"
                                 "  <action name=\"down\" key=\"274\"/>\n"
                                 "  <action name=\"left\" key=\"276\"/>\n"
                                 "  <action name=\"right\" key=\"275\"/>\n"
                                 "  <action name=\"kp2\" key=\"258\"/>\n"
                                 "  <action name=\"kp4\" key=\"260\"/>\n"
                                 "  <action name=\"kp6\" key=\"262\"/>\n"
                                 "  <action name=\"kp8\" key=\"56\"/>\n"
                                 "  <action name=\"lsuper\" key=\"311\"/>\n"
                                 "  <action name=\"enter\" key=\"13\"/>\n"
                                 "  <action name=\"a&lt;b&quot;&amp;\" key=\"7\"/>\n"
                                 "  <action name=\"menuMain\" key=\"102\"/>\n"
                                 "</actions>\n";
    EXPECT_EQ(TestSupport::readAll(path), expected);

    Fixture back;
    back.bindings.buttonsFile = wide(path);
    ASSERT_TRUE(Ui::loadButtons(u"/unused", back.bindings));
    EXPECT_EQ(back.bindings.kp8, 56);
    EXPECT_EQ(back.bindings.actions(), f.bindings.actions());
    EXPECT_EQ(Ui::buttonsText(back.bindings), expected);

    TestSupport::CaptureLogger log;
    f.bindings.setKey("pageLong", 9, 0);
    {
        TestSupport::FileSizeLimit limit(100);
        EXPECT_FALSE(Ui::writeButtons(wide(path), f.bindings));
    }
    EXPECT_TRUE(log.contains("Can't write buttons file"));
    EXPECT_EQ(TestSupport::readAll(path), expected);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_FALSE(Ui::writeButtons(wide(dir / "missing" / "b.xml"), f.bindings));
}

TEST(ButtonsFile, MutatedFilesNeverCrash) {
    Fixture seed;
    seed.bindings.setKey("pageFind", 102, 0);
    seed.bindings.setKey("menuMain", 109, 0);
    const std::string valid = Ui::buttonsText(seed.bindings);
    TestSupport::CaptureLogger log(Log::Critical);
    TestSupport::Damage damage(1234, {"<", ">", "/", "=", "\"", "'", "&", ";", "!", "?", "-", "[", "]", "action",
                                      "key", "name", "0", "4294967296", "\xff", "\n"});
    for (std::uint64_t round = TestSupport::Damage::rounds(2000); round > 0; --round) {
        const std::string text = damage.apply(valid);
        Fixture f;
        if (Ui::loadButtonsText(text, f.bindings)) {
            std::string name;
            f.bindings.actionForKey(key(102), name);
            EXPECT_LE(f.bindings.actions().size(), 12u); // never more than the seed's actions
        }
    }
}
