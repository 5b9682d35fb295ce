// Random damage to config.xml: loading must never crash or read out of
// bounds (run under ASan+UBSan), and whatever loads must save and load back
// to the same store.

#include "core/Config.h"

#include "platform/Path.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

std::string validFile() {
    Core::Config c;
    auto root = c.root();
    root->set("log_severity", 2);
    root->set("gps_port", 5);
    auto nav = root->child("Navigation");
    nav->set("zoom", 1.25f);
    nav->set("name", "Ёлки <&> \"quoted\" 'single'");
    nav->set("flags", Core::Config::pack({true, false, true, true, false, false, true, false, true}));
    nav->set("empty", std::string());
    return c.toXml();
}

std::vector<std::string> markup() {
    return {"<", ">", "&", "\"", "'", "/>", "</config>", "<var", "&#", "&#x", "&#65535;", "::", "=", "<!--",
            "<![CDATA[", "<?", std::string(1, '\0'), "]]>"};
}

} // namespace

TEST(ConfigMutation, DamagedFilesNeverCrash) {
    TestSupport::CaptureLogger quiet(Log::Critical);
    TestSupport::TempDir dir;
    const auto path = Platform::fromNativePath((dir / "config.xml").string());
    TestSupport::Damage damage(20261206, markup());
    const std::string valid = validFile();
    int loaded = 0;
    for (std::uint64_t round = TestSupport::Damage::rounds(4000); round > 0; --round) {
        const std::string damaged = damage.apply(valid);
        Core::Config config;
        // Every twentieth copy goes through the file and the keeping of an
        // unreadable one.
        const bool throughFile = round % 20 == 0;
        if (throughFile)
            dir.write("config.xml", damaged);
        if (!(throughFile ? config.load(path) : config.loadXml(damaged, u"damaged"))) {
            EXPECT_TRUE(!throughFile || !Core::Config::keepUnreadable(path).empty());
            continue;
        }
        ++loaded;
        EXPECT_FALSE(config.changed());
        // What loaded survives a save and a load unchanged.
        const std::string saved = config.toXml();
        Core::Config again;
        ASSERT_TRUE(again.loadXml(saved, u"again")) << saved;
        EXPECT_EQ(again.toXml(), saved);
        // The typed getters cope with any text.
        auto nav = config.root()->child("Navigation");
        int i;
        float f;
        std::vector<std::uint8_t> blob;
        nav->get("zoom", f);
        nav->get("flags", blob);
        config.root()->get("log_severity", i);
        config.root()->value("gps_port", 1);
    }
    // The corruptions are mild enough that some files still load.
    EXPECT_GT(loaded, 100);
}
