// The per-map object: header checks of open, the caption table, object
// addresses, and the refusal of levels the frame maths cannot handle.

#include "map/KVMap2.h"

#include "map/ObjectAddress.h"
#include "map/file/FormatError.h"
#include "tests/map/AtlasFixture.h"
#include "tests/map/MapFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

using namespace AtlasTest;

namespace {

struct KVMap2Test : ::testing::Test {
    std::filesystem::path write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const auto path = dir / name;
        writeFile(path, bytes);
        return path;
    }
    std::unique_ptr<Map::KVMap2> make(const std::filesystem::path& path) {
        return std::make_unique<Map::KVMap2>(wide(path), pool, heap);
    }
    std::string constructionMessage(const std::vector<std::uint8_t>& bytes) {
        try {
            make(write("bad.kvm", bytes));
            return "";
        } catch (const std::exception& error) {
            return error.what();
        }
    }

    TestSupport::TempDir dir;
    Core::ResourcesPool pool{10};
    MapTest::MallocHeap heap;
};

TEST_F(KVMap2Test, OpenReadsTheHeader) {
    TestSupport::CaptureLogger log;
    const MapWriting::WrittenMap written = MapWriting::writeMap(completeMap(77, 2));
    const auto path = write("a.kvm", written.bytes);
    auto map = make(path);
    ASSERT_TRUE(map->open(wide(path), u"a.kvm", 1234));
    EXPECT_EQ(map->filePath(), wide(path));
    EXPECT_EQ(map->sourceName(), u"a.kvm");
    EXPECT_EQ(map->time(), 1234u);
    EXPECT_EQ(map->id(), 77u);
    EXPECT_EQ(map->mapType(), 2u);
    EXPECT_EQ(map->levelCount(), 2u);
    EXPECT_EQ(map->level(1).coordinateBits(), 20);
    EXPECT_EQ(map->captionCount(), completeMap().strings.count());
    EXPECT_TRUE(log.lines().empty());

    // "MLVB": one line about extra ids.
    MapWriting::MapDescription extra = completeMap();
    extra.signature = "MLVB";
    const auto b = write("b.kvm", MapWriting::writeMap(extra).bytes);
    ASSERT_TRUE(make(b)->open(wide(b), u"b.kvm", 0));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("Map '" + b.string() + "' has extra ids"), std::string::npos);

    // Format 0x0201: refused without a line.
    std::vector<std::uint8_t> bytes = written.bytes;
    bytes[8] = 0x01;
    const auto c = write("c.kvm", bytes);
    EXPECT_FALSE(make(c)->open(wide(c), u"c.kvm", 0));
    EXPECT_EQ(log.lines().size(), 1u);

    // The file vanished between construction and open.
    auto d = make(path);
    std::filesystem::remove(path);
    EXPECT_FALSE(d->open(wide(path), u"a.kvm", 0));
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_NE(log.lines()[1].find("Can't open map file '" + path.string() + "' (err 2): No such file or directory"), std::string::npos);
}

TEST_F(KVMap2Test, MapWithoutCaptionsIsRefused) {
    const MapWriting::WrittenMap written = MapWriting::writeMap(completeMap());
    std::vector<std::uint8_t> bytes = written.bytes;
    // A strings section with count 0 opens, but the map has no captions.
    TestSupport::CaptureLogger log;
    putU32(bytes, written.header[1] + 4, 0);
    const auto path = write("nocaptions.kvm", bytes);
    EXPECT_FALSE(make(path)->open(wide(path), u"nocaptions.kvm", 0));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("Can't load captions from map file"), std::string::npos);
}

TEST_F(KVMap2Test, CaptionsAreBuiltOnce) {
    const auto path = write("a.kvm", MapWriting::writeMap(completeMap()).bytes);
    auto map = make(path);
    ASSERT_TRUE(map->open(wide(path), u"a.kvm", 0));
    EXPECT_EQ(map->captions(), nullptr);
    ASSERT_TRUE(map->loadCaptions());
    Map::KVMap2::Caption* first = map->captions();
    ASSERT_NE(first, nullptr);
    first[1].cached = 99;
    ASSERT_TRUE(map->loadCaptions());
    EXPECT_EQ(map->captions(), first);
    EXPECT_EQ(first[1].cached, 99u);
    EXPECT_EQ(first[0].offset + first[0].length, 0u);
    EXPECT_EQ(first[1].offset, map->stringsReader().entry(1).offset);
    EXPECT_EQ(first[1].length, (11u + 1u) * 2u); // "Main Street" and its terminator
}

TEST_F(KVMap2Test, ObjectAddresses) {
    MapWriting::MapDescription description = completeMap();
    // An object without city and street.
    MapWriting::ObjectDescription lone;
    lone.name = description.strings.add("Lone Tree");
    lone.type = 7;
    lone.x = -5;
    lone.y = 6;
    const std::uint32_t loneOffset = description.address.addObject(lone);
    const MapWriting::WrittenMap written = MapWriting::writeMap(description);
    const auto path = write("a.kvm", written.bytes);
    auto map = make(path);

    Map::ObjectAddress out;
    out.texts[4] = u"old";
    out.number4 = 5;
    ASSERT_TRUE(Map::readObjectAddress(*map, 0, out));
    EXPECT_EQ(out.texts[4], u"");
    EXPECT_EQ(out.number4, 0u);

    ASSERT_TRUE(Map::readObjectAddress(*map, loneOffset, out));
    EXPECT_EQ(std::vector<std::u16string>(out.texts.begin(), out.texts.begin() + 3),
              (std::vector<std::u16string>{u"Lone Tree", u"", u""}));
    EXPECT_EQ(out.number1, 7);
    EXPECT_EQ(out.number2, static_cast<std::uint32_t>(-5));
    EXPECT_EQ(out.number3, 6u);

    // The sample POI: city, street, address text, text 5 and number 4.
    const std::uint32_t poiOffset = description.address.objectOffsets[2];
    ASSERT_EQ(description.address.objects[2].type, 42);
    ASSERT_TRUE(Map::readObjectAddress(*map, poiOffset, out));
    EXPECT_EQ(std::vector<std::u16string>(out.texts.begin(), out.texts.begin() + 6),
              (std::vector<std::u16string>{u"Cafe Central", u"Seaton", u"Main Street", u"Main Street 5", u"",
                                           u"+1 555 0100"}));
    EXPECT_EQ(out.number1, 42);
    EXPECT_EQ(out.number4, 9u);

    // A broken address text: texts 0 to 2 are filled, the result is false.
    std::vector<std::uint8_t> bytes = written.bytes;
    const std::uint32_t section = entryOf(written, 4).offset;
    const std::uint32_t table5 = u32At(bytes, section + 20);
    putU32(bytes, section + table5 + poiOffset + 14, 0xFFFFFFF0);
    const auto broken = write("broken.kvm", bytes);
    auto brokenMap = make(broken);
    EXPECT_FALSE(Map::readObjectAddress(*brokenMap, poiOffset, out));
    EXPECT_EQ(out.texts[0], u"Cafe Central");
    EXPECT_EQ(out.texts[2], u"Main Street");
    EXPECT_EQ(out.texts[3], u"");
    // An offset that names no record.
    EXPECT_FALSE(Map::readObjectAddress(*map, 0xFFFFFF00, out));
}

} // namespace
