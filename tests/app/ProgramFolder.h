#pragma once
// A program folder for an engine under test: a copy of the built data
// folder (never the build's own, which no test writes into) as a first run
// finds it, without the settings, views, routes or search history a driver
// may have left there, so that every start begins from the defaults; with
// the demo town's atlas alone (a quick start), another atlas alone, or with
// every built atlas.

#include "app/SettingKeys.h"
#include "core/Text.h"
#include "tests/support/FirstRunData.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace TestSupport {

struct ProgramFolder {
    enum class Atlases { DemoOnly, All };

    explicit ProgramFolder(Atlases atlases = Atlases::DemoOnly)
        : ProgramFolder(atlases == Atlases::All ? std::string() : std::string("demo")) {}
    // With the named atlas alone, which the first-run settings choose (the
    // data's choice is another atlas, missing then); with every built atlas
    // when it is empty.
    explicit ProgramFolder(const std::string& onlyAtlas) {
        namespace fs = std::filesystem;
        copyFirstRunData(fs::path(MIREL_PROGRAM_DIR) / "data", dir.path() / "data");
        if (onlyAtlas.empty())
            return;
        for (const auto& entry : fs::directory_iterator(data("maps")))
            if (entry.path().filename() != onlyAtlas)
                fs::remove_all(entry.path());
        const fs::path firstRun = data("config.default.xml");
        std::string text = readAll(firstRun);
        const std::string key = "name=\"atlas\" value=\"";
        if (const std::size_t at = text.find(key); at != std::string::npos) {
            const std::size_t value = at + key.size();
            text.replace(value, text.find('"', value) - value, "maps\\" + onlyAtlas);
            std::ofstream(firstRun, std::ios::trunc) << text;
        }
    }
    // Day colours at every hour on a first run: by default day and night
    // follow the sun over the atlas, so a picture taken after sunset would
    // show night's.
    void keepDayColours() const {
        const std::filesystem::path firstRun = data("config.default.xml");
        std::string text = readAll(firstRun);
        text.insert(text.rfind("</config>"), "\t<var name=\"auto_dn\" value=\"0\" />\n");
        std::ofstream(firstRun, std::ios::trunc) << text;
    }
    // The program folder as the engine takes it, with its trailing slash.
    std::u16string wide() const { return Core::utf8ToWide(dir.path().string() + "/"); }
    std::filesystem::path data(const std::string& name) const { return dir.path() / "data" / name; }
    std::filesystem::path atlas() const { return data("maps") / "demo"; }
    std::string config() const { return readAll(data("config.xml")); }
    // The keys of config.xml that are not in the program's list of its
    // settings: the ones a crowded file would lose when they go unread.
    std::set<std::string> unlistedSettings() const {
        const std::set<std::string, std::less<>> listed = engine::settingKeys();
        std::set<std::string> unlisted;
        const std::string text = config();
        for (std::size_t at = text.find("name=\""); at != std::string::npos; at = text.find("name=\"", at)) {
            at += 6;
            std::string key = text.substr(at, text.find('"', at) - at);
            if (!listed.contains(key))
                unlisted.insert(std::move(key));
        }
        return unlisted;
    }

    TempDir dir;
};

} // namespace TestSupport
