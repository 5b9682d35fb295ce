// Every "(err N)" line of a reader that fails on a file names the file (in
// the line, or on the "filename = '%s'" line right after it) and carries
// the system's own words for N. Each reader meets real failures on a temp
// file: missing, a folder, unreadable, empty.

#include "core/Config.h"
#include "core/Text.h"
#include "core/WholeFileMapping.h"
#include "map/AtlasXml.h"
#include "map/IndexSourceList.h"
#include "map/proximity/IndexFile.h"
#include "map/proximity/MemoryIndex.h"
#include "map/proximity/TextFile.h"
#include "render/Image.h"
#include "screens/PolylinesFile.h"
#include "tests/support/AsOrdinaryUser.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/fdInterface.h"
#include "userdata/TrackFile.h"

#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

enum class Fault { Missing, Folder, Unreadable, Empty };

// The system's words each fault may be told by.
std::vector<std::string> wordsFor(Fault fault) {
    switch (fault) {
    case Fault::Missing:
        return {"No such file or directory"};
    case Fault::Folder:
        return {"Is a directory", "Permission denied"};
    case Fault::Unreadable:
        return {"Permission denied"};
    case Fault::Empty:
        return {"the file is empty", "the file ends too early",
                "The window is not inside the file (the file is empty or shorter)"};
    }
    return {};
}

} // namespace

TEST(FileErrorLines, NameTheFileAndGiveTheSystemsWords) {
    using Reader = std::function<void(const std::u16string&)>;
    const std::pair<const char*, Reader> readers[] = {
        {"config", [](const std::u16string& p) { Core::Config().load(p); }},
        {"atlas",
         [](const std::u16string& p) {
             std::vector<Map::AtlasXml::Map> maps;
             Map::AtlasXml::read(p, maps);
         }},
        {"whole mapping",
         [](const std::u16string& p) {
             FileSystem::WholeFileMapping mapping(p);
             if (mapping.isOpen()) mapping.mapWhole();
         }},
        {"danger index",
         [](const std::u16string& p) {
             Map::IndexSourceList sources;
             sources.records.push_back({u"a.txt", 1});
             Map::Proximity::FileIndex(p, sources, 4, 4);
         }},
        {"danger points",
         [](const std::u16string& p) {
             Map::Proximity::MemoryIndex index;
             Map::Proximity::readDangerWarnPointFile(p, index);
         }},
        {"polylines designs",
         [](const std::u16string& p) {
             std::vector<Screens::PolylineEntry> entries;
             Screens::readPolylinesFile(p, entries);
         }},
        {"keyboard layouts",
         [](const std::u16string& p) {
             Ui::DesignDescription design;
             Ui::KeyboardLayouts layouts;
             Ui::loadKeyboardLayouts(p, design, layouts);
         }},
        {"image", [](const std::u16string& p) { SDL_FreeSurface(Render::loadImage(p, nullptr)); }},
        {"track", [](const std::u16string& p) { TrackFile().load(p); }},
        {"font", [](const std::u16string& p) { Ui::fdInterface(nullptr, nullptr).createFont(p, "f", 20, 0); }},
    };
    const std::pair<Fault, const char*> faults[] = {{Fault::Missing, "missing"},
                                                    {Fault::Folder, "folder"},
                                                    {Fault::Unreadable, "unreadable"},
                                                    {Fault::Empty, "empty"}};

    TestSupport::TempDir dir;
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    for (const auto& [name, read] : readers) {
        for (const auto& [fault, faultName] : faults) {
            SCOPED_TRACE(std::string(name) + ", " + faultName);
            const fs::path path = dir / (std::string(faultName) + " file.xml");
            fs::remove_all(path);
            if (fault == Fault::Folder) fs::create_directory(path);
            if (fault == Fault::Unreadable || fault == Fault::Empty)
                dir.write(path.filename().string(), fault == Fault::Empty ? "" : "<x/>");
            if (fault == Fault::Unreadable) fs::permissions(path, fs::perms::none);

            TestSupport::CaptureLogger log;
            TestSupport::asOrdinaryUser([&, &read = read] { read(Core::utf8ToWide(path.string())); });
            const std::vector<std::string> lines = log.snapshot();

            std::size_t errorLines = 0;
            for (std::size_t i = 0; i < lines.size(); ++i) {
                // A library's own numbers ("(ft_err 0x02)", "(sdl_err ...)")
                // name the file too; only the system's numbers get words.
                const bool library = lines[i].find("_err ") != std::string::npos;
                const std::size_t at = lines[i].find("(err ");
                if (at == std::string::npos && !library) continue;
                ++errorLines;
                const bool named =
                    lines[i].find(path.string()) != std::string::npos ||
                    (i + 1 < lines.size() && lines[i + 1] == "filename = '" + path.string() + "'");
                EXPECT_TRUE(named) << lines[i];
                if (at == std::string::npos) continue;
                const std::size_t close = lines[i].find("): ", at);
                ASSERT_NE(close, std::string::npos) << "no system text: " << lines[i];
                const std::string words = lines[i].substr(close + 3);
                bool known = false;
                for (const std::string& w : wordsFor(fault))
                    known = known || words == w;
                EXPECT_TRUE(known) << lines[i];
            }
            // An empty file may be a valid (empty) file to a reader, or fail
            // its parse; the other faults always stop the read with a number.
            if (fault != Fault::Empty) {
                EXPECT_GE(errorLines, 1u) << (lines.empty() ? "nothing logged" : lines.back());
            }
        }
    }
}
