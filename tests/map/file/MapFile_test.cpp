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
    // Directory offset and count beyond the file, however large; 12 * N
    // wrapping in 32 bits.
    const std::pair<std::uint32_t, std::uint32_t> farRows[] = {
        {20, static_cast<std::uint32_t>(bytes.size() - 3)}, {20, 0xFFFFFFFF}, {u32At(bytes, 20), 0x15555556}};
    for (const auto& [at, value] : farRows) {
        std::vector<std::uint8_t> far = bytes;
        putU32(far, at, value);
        EXPECT_EQ(openMessage(far), "File is too small") << value;
    }

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

    // Each row patches words of the header (or the strings header); the
    // first failing check names the message.
    const auto size = static_cast<std::uint32_t>(written.bytes.size());
    const auto& h = written.header;
    const struct {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> patches;
        const char* message;
    } rows[] = {
        {{{36, size - 2}}, "File is too small"}, // directory beyond the end
        {{{4, size - 7}}, "File is too small"},  // strings header beyond the end
        {{{40, h[10] - 2}, {24, h[7] + 1}}, "Invalid strings sections sequence"}, // strings first
        {{{24, h[7] + 1}}, "Invalid geometry sections sequence"},
        {{{40, size + 100}}, "Can't create file mapping view"},
        {{{28, size + 1}}, "Can't create file mapping view"},
        {{{h[1] + 4, 0}}, ""}, // no strings: the per-map object refuses it later
        {{{h[1] + 4, 0}, {h[1], 0}, {40, h[1] + 11}}, "Section is too small"},
        {{{36, 0}}, "Address section not found"}, // no directory
    };
    for (const auto& row : rows) {
        std::vector<std::uint8_t> bytes = written.bytes;
        for (const auto& [at, value] : row.patches)
            putU32(bytes, at, value);
        EXPECT_EQ(openMessage(bytes), row.message) << row.patches[0].first;
    }

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
    for (const auto& [type, message] : {std::pair<std::uint32_t, std::string>{4, "Unknown address section version"},
                                        {17, "Unknown text search index section version"}}) {
        bytes = written.bytes;
        for (std::size_t i = 0; i < written.directory.size(); ++i)
            if (written.directory[i].type == type) bytes[written.header[9] + 4 + 12 * i + 2] = 2;
        EXPECT_EQ(openMessage(bytes), message);
    }
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
