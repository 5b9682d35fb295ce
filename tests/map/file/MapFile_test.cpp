// Opening a map file: the order of the checks and every message, both
// layouts, the directory pass.

#include "map/file/MapFile.h"

#include "core/ResourcesPool.h"
#include "map/file/FormatError.h"
#include "tests/map/AtlasFixture.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

using namespace AtlasTest;
using MapWriting::writeMap;

namespace {

class MapFileTest : public ::testing::Test {
  protected:
    // The message of the exception the opening throws, "" when it opens.
    std::string openMessage(const std::vector<std::uint8_t>& bytes) {
        const auto path = dir / std::string(1, 'm').append(std::to_string(m_count++)).append(".kvm");
        writeFile(path, bytes);
        return openPath(path);
    }
    std::string openPath(const std::filesystem::path& path) {
        try {
            Map::File::MapFile file(pool, wide(path));
            return "";
        } catch (const Map::File::FormatError& error) {
            return error.what();
        }
    }

    TestSupport::TempDir dir;
    Core::ResourcesPool pool{10};
    int m_count = 0;
};

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST_F(MapFileTest, FirstChecksInOrder) {
    EXPECT_EQ(openPath(dir / "missing.kvm"), "Can't map file into memory");
    // An empty file opens, but no view of it can be made.
    EXPECT_EQ(openMessage({}), "Can't create file mapping view");
    EXPECT_EQ(openMessage(bytesOf("KVM")), "File is too small");
    // The size test runs before the signature test.
    EXPECT_EQ(openMessage(bytesOf(std::string("KVM\x02", 4) + std::string(21, '\0'))), "File is too small");
    EXPECT_EQ(openMessage(bytesOf(std::string(20, 'x'))), "File is too small");
    EXPECT_EQ(openMessage(bytesOf(std::string(30, 'x'))), "Invalid file signature");
    EXPECT_EQ(openMessage(bytesOf("MLVA" + std::string(43, '\0'))), "File is too small");
}

TEST_F(MapFileTest, NewerLayoutDirectoryBoundsAndRequiredSections) {
    const MapWriting::WrittenMap older = writeMap(completeMap());
    std::vector<std::uint8_t> bytes = newerLayout(older, {1, 2, 3, 4, 17, 18});
    // Directory offset and count beyond the file, however large.
    std::vector<std::uint8_t> far = bytes;
    putU32(far, 20, static_cast<std::uint32_t>(far.size() - 3));
    EXPECT_EQ(openMessage(far), "File is too small");
    far = bytes;
    putU32(far, 20, 0xFFFFFFFF);
    EXPECT_EQ(openMessage(far), "File is too small");
    far = bytes;
    putU32(far, u32At(far, 20), 0x15555556); // 12 * N wraps in 32 bits
    EXPECT_EQ(openMessage(far), "File is too small");

    // Every section present: still no routing data in this layout.
    EXPECT_EQ(openMessage(bytes), "Routing section not found");
    EXPECT_EQ(openMessage(newerLayout(older, {2, 3, 4, 17, 18})), "Strings section not found");
    EXPECT_EQ(openMessage(newerLayout(older, {1, 4, 17, 18})), "Geometry section not found");
    EXPECT_EQ(openMessage(newerLayout(older, {1, 3, 17, 18})), "Address section not found");
    EXPECT_EQ(openMessage(newerLayout(older, {17})), "Strings section not found");
}

TEST_F(MapFileTest, OlderLayoutChecksInOrder) {
    MapWriting::MapDescription description = completeMap();
    const MapWriting::WrittenMap written = writeMap(description);
    EXPECT_EQ(openMessage(written.bytes), "");

    std::vector<std::uint8_t> bytes = written.bytes;
    putU32(bytes, 36, static_cast<std::uint32_t>(bytes.size() - 2)); // directory beyond the end
    EXPECT_EQ(openMessage(bytes), "File is too small");

    bytes = written.bytes;
    putU32(bytes, 4, static_cast<std::uint32_t>(bytes.size() - 7)); // strings header beyond the end
    EXPECT_EQ(openMessage(bytes), "File is too small");

    // String data running past word 10, and a geometry that ends before it
    // begins: the strings message comes first.
    bytes = written.bytes;
    putU32(bytes, 40, written.header[10] - 2);
    putU32(bytes, 24, written.header[7] + 1);
    EXPECT_EQ(openMessage(bytes), "Invalid strings sections sequence");
    bytes = written.bytes;
    putU32(bytes, 24, written.header[7] + 1);
    EXPECT_EQ(openMessage(bytes), "Invalid geometry sections sequence");

    // Views of the strings and the geometry that pass the end of the file.
    bytes = written.bytes;
    putU32(bytes, 40, static_cast<std::uint32_t>(bytes.size() + 100));
    EXPECT_EQ(openMessage(bytes), "Can't create file mapping view");
    bytes = written.bytes;
    putU32(bytes, 28, static_cast<std::uint32_t>(bytes.size() + 1));
    EXPECT_EQ(openMessage(bytes), "Can't create file mapping view");
    // A string count of 0 opens (the per-map object refuses it later); one
    // whose range is shorter than the strings header does not.
    bytes = written.bytes;
    putU32(bytes, written.header[1] + 4, 0);
    EXPECT_EQ(openMessage(bytes), "");
    putU32(bytes, written.header[1], 0);
    putU32(bytes, 40, written.header[1] + 11);
    EXPECT_EQ(openMessage(bytes), "Section is too small");

    // No directory: address, text search and spatial search are missing.
    bytes = written.bytes;
    putU32(bytes, 36, 0);
    EXPECT_EQ(openMessage(bytes), "Address section not found");

    description.sections.clear();
    EXPECT_EQ(openMessage(writeMap(description).bytes), "Text search section not found");
    description.sections.push_back(textSearchSection());
    EXPECT_EQ(openMessage(writeMap(description).bytes), "Spatial search section not found");
}

TEST_F(MapFileTest, DirectoryPass) {
    MapWriting::MapDescription description = completeMap();
    // Types 5 and 19 are no section of ours; two copyright sections leave the
    // reader of the second.
    description.sections.push_back({5, 9, {1, 2, 3}});
    description.sections.push_back({19, 0, {}});
    MapWriting::CopyrightDescription second{{9, 9, 9, 9, 9}, u"second"};
    description.sections.push_back({2, 1, MapWriting::encodeCopyright(second)});
    const MapWriting::WrittenMap written = writeMap(description);
    {
        const auto path = dir / "dir.kvm";
        writeFile(path, written.bytes);
        Map::File::MapFile file(pool, wide(path));
        ASSERT_NE(file.copyright(), nullptr);
        std::u16string text;
        ASSERT_TRUE(file.copyright()->text(text));
        EXPECT_EQ(text, u"second");
        EXPECT_TRUE(file.olderLayout());
        EXPECT_EQ(file.strings().count(), description.strings.count());
        EXPECT_EQ(file.geometry().levelCount(), 2);
        EXPECT_EQ(file.address().fileOffset(), entryOf(written, 4).offset);
        EXPECT_FALSE(file.routing().empty());
    }

    // Without copyright the map opens with no copyright reader.
    MapWriting::MapDescription plain = completeMap();
    plain.copyright.reset();
    const auto path = dir / "plain.kvm";
    writeFile(path, writeMap(plain).bytes);
    Map::File::MapFile file(pool, wide(path));
    EXPECT_EQ(file.copyright(), nullptr);

    // A section outside the file, and a reader's own refusal.
    std::vector<std::uint8_t> bytes = written.bytes;
    const std::size_t firstEntry = written.header[9] + 4;
    putU32(bytes, firstEntry + 4, static_cast<std::uint32_t>(bytes.size()));
    EXPECT_EQ(openMessage(bytes), "Can't create file mapping view");
    bytes = written.bytes;
    for (std::size_t i = 0; i < written.directory.size(); ++i) {
        if (written.directory[i].type == 4)
            bytes[written.header[9] + 4 + 12 * i + 2] = 2; // address version 2
    }
    EXPECT_EQ(openMessage(bytes), "Unknown address section version");
    bytes = written.bytes;
    for (std::size_t i = 0; i < written.directory.size(); ++i) {
        if (written.directory[i].type == 17) bytes[written.header[9] + 4 + 12 * i + 2] = 2;
    }
    EXPECT_EQ(openMessage(bytes), "Unknown text search index section version");
}

TEST_F(MapFileTest, ViewsSurviveThePool) {
    // A pool of one mapping: opening a second file releases the first, whose
    // readers map their views again on their next access.
    Core::ResourcesPool small(1);
    const auto a = dir / "a.kvm";
    const auto b = dir / "b.kvm";
    writeFile(a, writeMap(completeMap()).bytes);
    writeFile(b, writeMap(completeMap(78)).bytes);
    Map::File::MapFile first(small, wide(a));
    Map::File::MapFile second(small, wide(b));
    EXPECT_FALSE(first.isHeld());
    std::u16string text;
    ASSERT_TRUE(first.strings().string(1, text));
    EXPECT_EQ(text, u"Main Street");
    EXPECT_TRUE(first.isHeld());
}

} // namespace
