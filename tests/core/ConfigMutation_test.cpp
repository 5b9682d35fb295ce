// Random damage to config.xml: loading must never crash or read out of
// bounds (run under ASan+UBSan), and whatever loads must save and load back
// to the same store.

#include "core/Config.h"

#include "platform/Path.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace {

std::uint32_t seed() {
    const char* s = std::getenv("MIREL_FUZZ_SEED");
    return s ? static_cast<std::uint32_t>(std::strtoul(s, nullptr, 10)) : 20261206u;
}

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

std::string mutate(std::string text, std::mt19937& rng) {
    static const char pieces[][12] = {"<", ">", "&", "\"", "'", "/>", "</config>", "<var", "&#", "&#x",
                                      "&#65535;", "::", "=", "<!--", "<![CDATA[", "<?", "\0", "]]>"};
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        const std::size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
        switch (rng() % 6) {
        case 0: // flip a byte
            if (!text.empty())
                text[at % text.size()] = static_cast<char>(rng());
            break;
        case 1: // insert a piece of markup
        {
            const char* p = pieces[rng() % std::size(pieces)];
            text.insert(at, p[0] ? std::string(p) : std::string(1, '\0'));
            break;
        }
        case 2: // cut at a random place
            text.resize(at);
            break;
        case 3: // delete a run
            text.erase(at, rng() % 16);
            break;
        case 4: // repeat a run
            if (at < text.size())
                text.insert(at, text.substr(at, rng() % 64));
            break;
        default: // random bytes
            for (int k = static_cast<int>(rng() % 8); k > 0; --k)
                text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), static_cast<char>(rng()));
            break;
        }
    }
    return text;
}

} // namespace

TEST(ConfigMutation, DamagedFilesNeverCrash) {
    TestSupport::CaptureLogger quiet(Log::Critical);
    std::mt19937 rng(seed());
    const std::string valid = validFile();
    int loaded = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::string damaged = mutate(valid, rng);
        Core::Config config;
        if (!config.loadXml(damaged, u"damaged"))
            continue;
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

TEST(ConfigMutation, ThroughTheFile) {
    TestSupport::CaptureLogger quiet(Log::Critical);
    TestSupport::TempDir dir;
    const auto path = Platform::fromNativePath((dir / "config.xml").string());
    std::mt19937 rng(seed() + 1);
    const std::string valid = validFile();
    for (int round = 0; round < 200; ++round) {
        dir.write("config.xml", mutate(valid, rng));
        Core::Config config;
        if (!config.load(path)) {
            EXPECT_TRUE(Core::Config::keepUnreadable(path));
        }
    }
}
