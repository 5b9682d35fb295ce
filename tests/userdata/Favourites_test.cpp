#include "userdata/Favourites.h"

#include "UserDataTestSupport.h"

#include <gtest/gtest.h>

using namespace UserDataTest;

namespace {

TEST(Favourites, SlotsLiveAtTheirFileOffsets) {
    TestSupport::TempDir dir;
    const std::u16string path = wide(dir / "favorites.kvf");
    Favourites favourites;
    favourites.load(path);
    EXPECT_FALSE(favourites.entry(Favourites::Job).set);
    ASSERT_TRUE(favourites.bind(path, Favourites::Job, Map::Point{0x01020304, -1}, 0xA0B0C0D0));
    std::string bytes = TestSupport::readAll(dir / "favorites.kvf");
    ASSERT_EQ(bytes.size(), 82u);
    EXPECT_EQ(bytes.substr(0, 10), std::string("KVFL\0\x01\0\0\0\0", 10)) << "job's flag is the second";
    EXPECT_EQ(bytes.substr(18, 8) + bytes.substr(62, 4), "\x04\x03\x02\x01\xff\xff\xff\xff\xd0\xc0\xb0\xa0");
    // Read back whole, and from a file cut inside the values: the points
    // it still holds come back, the lost value is 0.
    for (const std::size_t length : {82u, 60u}) {
        Favourites again;
        again.load(wide(dir.write("again.kvf", bytes.substr(0, length))));
        EXPECT_TRUE(again.entry(Favourites::Job).set) << length;
        EXPECT_EQ(again.entry(Favourites::Job).point, (Map::Point{0x01020304, -1})) << length;
        EXPECT_EQ(again.entry(Favourites::Job).value, length == 82 ? 0xA0B0C0D0u : 0u) << length;
    }
    ASSERT_TRUE(favourites.clear(path, Favourites::Job));
    bytes[5] = 0;
    EXPECT_EQ(TestSupport::readAll(dir / "favorites.kvf"), bytes) << "clearing keeps the point and value";

    // The last slot in the file (four) reads its value from the file's end.
    ASSERT_TRUE(favourites.bind(path, Favourites::Four, Map::Point{5, 6}, 0x11223344));
    Favourites last;
    last.load(path);
    EXPECT_EQ(last.entry(Favourites::Four).value, 0x11223344u);

    Favourites foreign;
    foreign.load(wide(dir.write("f.kvf", "KVFX" + bytes.substr(4))));
    EXPECT_FALSE(foreign.entry(Favourites::Home).set);
}

} // namespace
