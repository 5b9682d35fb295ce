#include "map/file/StringsSectionReader.h"

#include "map/file/FormatError.h"
#include "tests/map/MapFixture.h"

#include <gtest/gtest.h>

using Map::File::CopyrightSectionReader;
using Map::File::FormatError;
using Map::File::MemoryView;
using Map::File::StringsSectionReader;
using MapTest::ByteBuilder;

namespace {

// Two strings "Ab" (id 1, offset 0) and "C" (id 2, offset 6): A = 10, B = 3.
std::vector<std::uint8_t> handStrings() {
    ByteBuilder b;
    b.u32(10).u32(3).text(u"Ab", true).text(u"C", true).u32(0).u32(6);
    return b.bytes;
}

std::shared_ptr<MemoryView> viewOf(std::vector<std::uint8_t> bytes) {
    return std::make_shared<MemoryView>(std::move(bytes));
}

template <class Reader> std::string openError(std::uint16_t version, std::vector<std::uint8_t> bytes) {
    try {
        Reader reader(version, viewOf(std::move(bytes)));
    } catch (const FormatError& e) {
        return e.what();
    }
    return "opened";
}

} // namespace

TEST(StringsSectionReader, ReadsHandWrittenSection) {
    auto view = viewOf(handStrings());
    StringsSectionReader reader(0, view);
    EXPECT_EQ(reader.count(), 3u);
    std::u16string text = u"junk";
    const std::u16string strings[] = {u"", u"Ab", u"C"};
    for (std::uint32_t id = 0; id < 3; ++id) {
        EXPECT_TRUE(reader.string(id, text));
        EXPECT_EQ(text, strings[id]);
    }
    EXPECT_FALSE(reader.string(3, text));

    // Entries: section offset = table offset + 8; the last id's length is
    // A - its offset.
    EXPECT_EQ(reader.entry(1), (StringsSectionReader::Entry{8, 6}));
    EXPECT_EQ(reader.entry(2), (StringsSectionReader::Entry{14, 4}));
    EXPECT_EQ(reader.entry(0), StringsSectionReader::Entry{});
    EXPECT_EQ(reader.entry(3), StringsSectionReader::Entry{});

    const std::pair<std::uint32_t, std::u16string> at[] = {{0, u""}, {10, u"b"}, {14, u"C"}}; // 10: inside "Ab"
    for (const auto& [offset, expected] : at) {
        EXPECT_TRUE(reader.stringAt(offset, text));
        EXPECT_EQ(text, expected);
    }
    EXPECT_FALSE(reader.stringAt(static_cast<std::uint32_t>(view->size()), text));

    view->setAvailable(false);
    EXPECT_FALSE(reader.string(1, text));
    EXPECT_FALSE(reader.stringAt(8, text));
    EXPECT_EQ(reader.entry(1), StringsSectionReader::Entry{});
    EXPECT_TRUE(reader.string(0, text)); // the empty string needs no bytes
}

TEST(StringsSectionReader, RefusesBrokenSectionsAndBoundsScans) {
    EXPECT_EQ(openError<StringsSectionReader>(1, handStrings()), "Unknown strings section version");
    EXPECT_EQ(openError<StringsSectionReader>(0, {1, 2, 3, 4, 5, 6, 7}), "Section is too small");
    // Count 0 has no table and no string but the empty one.
    {
        StringsSectionReader empty(0, viewOf(ByteBuilder().u32(0).u32(0).bytes));
        std::u16string text = u"x";
        EXPECT_EQ(empty.count(), 0u);
        EXPECT_TRUE(empty.string(0, text));
        EXPECT_EQ(text, u"");
        EXPECT_FALSE(empty.string(1, text));
        EXPECT_EQ(empty.entry(1), StringsSectionReader::Entry{});
    }
    // A count whose table would overlap the string data.
    EXPECT_EQ(openError<StringsSectionReader>(0, ByteBuilder().u32(10).u32(4).text(u"Ab", true).text(u"C", true).u32(0).u32(6).bytes),
              "Section is too small");
    EXPECT_EQ(openError<StringsSectionReader>(0, ByteBuilder().u32(0xFFFFFFFF).u32(0xFFFFFFFF).bytes),
              "Section is too small");

    // A table entry pointing outside the data fails; a string without a
    // terminator ends at the section end.
    ByteBuilder b;
    b.u32(4).u32(3).text(u"Xy", false).u32(0).u32(200);
    StringsSectionReader reader(0, viewOf(b.bytes));
    std::u16string text;
    EXPECT_FALSE(reader.string(2, text));
    EXPECT_EQ(reader.entry(2), StringsSectionReader::Entry{});
    EXPECT_TRUE(reader.string(1, text));
    EXPECT_EQ(text.substr(0, 2), u"Xy"); // runs on into the table, never past the section
    EXPECT_LE(text.size(), (b.bytes.size() - 8) / 2);
}

TEST(CopyrightSectionReader, HeaderTextAndSizes) {
    ByteBuilder b;
    b.u32(1).u32(2).u32(3).u32(4).u32(5).text(u"(c) Me", false).u8(0x41); // odd last byte is dropped
    auto view = viewOf(b.bytes);
    CopyrightSectionReader reader(1, view);
    std::uint32_t header[5];
    ASSERT_TRUE(reader.header(header));
    EXPECT_EQ(header[0], 1u);
    EXPECT_EQ(header[4], 5u);
    std::u16string text;
    ASSERT_TRUE(reader.text(text));
    EXPECT_EQ(text, u"(c) Me");
    view->setAvailable(false);
    EXPECT_FALSE(reader.text(text));

    CopyrightSectionReader exact(1, viewOf(std::vector<std::uint8_t>(20, 0)));
    ASSERT_TRUE(exact.text(text));
    EXPECT_EQ(text, u"");
    CopyrightSectionReader odd(1, viewOf(std::vector<std::uint8_t>(21, 0)));
    ASSERT_TRUE(odd.text(text));
    EXPECT_EQ(text, u"");
    EXPECT_EQ(openError<CopyrightSectionReader>(1, std::vector<std::uint8_t>(19, 0)), "Section is too small");
    EXPECT_EQ(openError<CopyrightSectionReader>(0, std::vector<std::uint8_t>(20, 0)),
              "Unknown copyright section version");
}

TEST(StringsSectionReader, RoundTripsWriterTable) {
    MapWriting::StringTable table;
    const std::uint32_t a = table.add("Main Street");
    const std::uint32_t b = table.add(u"\u0416\u0443\u043a");
    EXPECT_EQ(table.add("Main Street"), a);
    EXPECT_EQ(table.add(""), 0u);
    StringsSectionReader reader(0, viewOf(MapWriting::encodeStrings(table)));
    EXPECT_EQ(reader.count(), 3u);
    std::u16string text;
    ASSERT_TRUE(reader.string(b, text));
    EXPECT_EQ(text, u"\u0416\u0443\u043a");
    ASSERT_TRUE(reader.stringAt(table.offsetOf(a), text));
    EXPECT_EQ(text, u"Main Street");
    EXPECT_EQ(reader.entry(b).offset, table.offsetOf(b));
    EXPECT_EQ(reader.entry(b).length, 8u);
}
