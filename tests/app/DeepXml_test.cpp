// Every reader of XML from outside the program (files a person can edit or
// damage, the online service's replies) meets 100,000 nested elements. The
// parser recurses once a level, so a reader that parses without checking
// the depth first overflows the stack and ends the whole test process (the
// fuzzer's short inputs never nest that deep); each must refuse the text
// and say so.

#include "core/Config.h"
#include "core/Text.h"
#include "core/VirtualFs.h"
#include "guidance/SoundSystem.h"
#include "map/AtlasXml.h"
#include "screens/ButtonBindingsList.h"
#include "screens/PolylinesFile.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "ui/ButtonBindings.h"
#include "ui/ButtonsFile.h"
#include "ui/DesignDescription.h"
#include "ui/DesignsList.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "userdata/Gpx.h"
#include "userdata/OnlineMessages.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

TEST(DeepXml, EveryReaderRefusesOneHundredThousandLevelsAndSaysSo) {
    TestSupport::TempDir dir;
    const auto file = [&](const std::string& text) {
        dir.write("deep.xml", text);
        return Core::utf8ToWide((dir / "deep.xml").string());
    };
    Core::Config config;
    const struct {
        const char* reader;
        const char* root;
        // False, or a throw, when the text was refused.
        std::function<bool(std::string)> read;
        std::string said; // the log line's words or the exception's text
    } rows[] = {
        {"config", "config", [](std::string t) { return Core::Config().loadXml(std::move(t), u"config.xml"); },
         "Config file 'config.xml' is nested too deeply"},
        {"atlas", "atlas name=\"default\" dir=\"x\"",
         [](std::string t) {
             std::vector<Map::AtlasXml::Map> maps;
             return Map::AtlasXml::parse(std::move(t), u"atlas.xml", maps);
         },
         "Atlas file 'atlas.xml' is nested too deeply"},
        {"GPX", "gpx", [](std::string t) { return !Gpx::readWaypoints(t, nullptr, 0).empty(); }, "Invalid GPX file"},
        {"online reply", "mcr",
         [](std::string t) { return Monitoring::Messages::connectReply(std::move(t)).has_value(); }, ""},
        {"design", "design",
         [](std::string t) {
             Ui::DesignDescription design;
             return Ui::readDesign(std::move(t), true, design);
         },
         "Invalid design: nested too deeply"},
        {"designs list", "designs",
         [](std::string t) {
             Ui::DesignsList().loadText(std::move(t));
             return true;
         },
         "Invalid designs list format"},
        {"keyboard layouts", "layouts",
         [](std::string t) { return Ui::KeyboardLayouts().loadText(std::move(t), {}); },
         "Invalid format of layout file"},
        {"buttons", "actions",
         [&](std::string t) {
             Ui::ButtonBindings bindings(config.root());
             return Ui::loadButtonsText(std::move(t), bindings);
         },
         "Invalid format of buttons file"},
        {"messages", "messages",
         [](std::string t) {
             Messages().loadText(std::move(t));
             return true;
         },
         "Messages file is nested too deeply"},
        {"bindings list", "actions",
         [](std::string t) {
             std::vector<Screens::ButtonBindingsList::Entry> entries;
             return Screens::ButtonBindingsList::parse(std::move(t), entries);
         },
         "Error: too deeply nested on parsing bindings file"},
        {"polylines designs", "polylines",
         [&](std::string t) {
             std::vector<Screens::PolylineEntry> entries;
             Screens::readPolylinesFile(file(t), entries);
             return !entries.empty();
         },
         "Error: too deeply nested on parsing polylines designs file"},
        {"sound schema", "soundlist",
         [&](std::string t) {
             FileSystem::VirtualFs files(Core::utf8ToWide(dir.path().string() + "/"));
             return Guidance::SoundSystem(files, config.root()).loadSchema(file(t));
         },
         "Invalid format of sound schema file"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reader);
        std::string text = std::string("<") + row.root + ">";
        text.reserve(text.size() + 300000);
        for (int i = 0; i < 100000; ++i)
            text += "<a>";
        TestSupport::CaptureLogger log;
        std::string thrown;
        bool read = false;
        try {
            read = row.read(text);
        } catch (const std::exception& error) {
            thrown = error.what();
        }
        EXPECT_FALSE(read);
        if (!row.said.empty()) {
            EXPECT_TRUE(thrown == row.said || log.contains(row.said))
                << (thrown.empty() ? (log.lines().empty() ? "nothing said" : log.lines().back()) : thrown);
        }
    }
}

} // namespace
