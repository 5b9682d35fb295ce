// The names an atlas folder's maps give themselves: ordered, each once, the
// unreadable and nameless ones left out (a broken file logged).

#include "map/MapFileName.h"

#include "core/Text.h"
#include "tests/map/AtlasFixture.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using MapWriting::writeMapFile;

MapWriting::MapDescription named(std::uint32_t id, const std::u16string& name) {
    MapWriting::MapDescription map = AtlasTest::completeMap(id, 0);
    map.copyright = MapWriting::CopyrightDescription{{1, 2, 3, 4, 5}, name};
    return map;
}

std::u16string wide(const std::filesystem::path& path) {
    return Core::utf8ToWide(path.string());
}

TEST(MapFileName, NamesAreSortedOnceAndBrokenMapsSkipped) {
    TestSupport::TempDir dir;
    const auto folder = dir.path();
    writeMapFile(folder / "a.kvm", named(1, u"Zeta"));
    writeMapFile(folder / "b.kvm", named(2, u"Alpha"));
    writeMapFile(folder / "c.kvm", named(3, u"Zeta"));
    // Trailing zero units are no part of the name.
    writeMapFile(folder / "d.kvm", named(4, std::u16string(u"Мир\0\0", 5)));
    MapWriting::MapDescription unnamed = AtlasTest::completeMap(5, 0);
    unnamed.copyright.reset();
    writeMapFile(folder / "e.kvm", unnamed);
    writeMapFile(folder / "f.kvm", named(6, u""));
    std::ofstream(folder / "g.kvm") << "not a map at all";
    writeMapFile(folder / "h.txt", named(7, u"Not a map file name"));

    TestSupport::CaptureLogger log;
    EXPECT_EQ(Map::atlasMapNames(wide(folder)), (std::vector<std::u16string>{u"Alpha", u"Zeta", u"Мир"}));
    const std::vector<std::string> errors = log.linesAt(Log::Critical);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Error reading map '", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("g.kvm' copyright ("), std::string::npos) << errors[0];
    EXPECT_EQ(errors[0].substr(errors[0].size() - 8), ") - skip");

    EXPECT_EQ(Map::readMapFileName(wide(folder / "d.kvm")), u"Мир");
    EXPECT_EQ(Map::readMapFileName(wide(folder / "missing.kvm")), u"");
}

TEST(MapFileName, AFolderWithoutMapsHasNoNames) {
    TestSupport::TempDir dir;
    EXPECT_TRUE(Map::atlasMapNames(wide(dir.path())).empty());
    EXPECT_TRUE(Map::atlasMapNames(wide(dir.path() / "absent")).empty());
}

} // namespace
