#include "map/file/MappedSection.h"
#include "map/file/SectionViewRW.h"

#include "core/SimpleHeap.h"
#include "core/Text.h"
#include "map/Level.h"
#include "tests/map/MapFixture.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Map::File;

// The readers over real mapped views of a written map file: a file mapping
// keeps only three views mapped at once, so the readers' views are released
// and mapped again between operations all the time.
TEST(MappedSection, ReadersWorkOverReleasableViews) {
    TestSupport::TempDir dir;
    const MapWriting::MapDescription description = MapTest::sampleMap();
    const MapWriting::WrittenMap written = MapWriting::writeMap(description);
    const auto path = dir / "town.kvm";
    MapWriting::writeMapFile(path, description);

    Core::ResourcesPool pool(10);
    FileSystem::ReleasableFileMapping mapping(pool, Core::utf8ToWide(path.string()));
    ASSERT_TRUE(mapping.isHeld());
    MappedFileViews views(mapping);
    const auto& w = written.header;
    const std::uint32_t count = description.strings.count();
    StringsSectionReader strings(0, views.view(w[1], w[10] - w[1] + 4 * count - 4));
    GeometrySectionReader geometry(0, views.view(w[6], w[7] - w[6]));
    const MapWriting::DirectoryEntry& address = written.directory[1];
    AddressSectionReader addresses(1, views.view(address.offset, address.size), address.offset);
    RoutingSectionReader routing(views, RoutingLocation{w[4], w[5], w[7], w[8]});

    std::u16string text;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(strings.string(1, text));
        EXPECT_EQ(text, u"Main Street");
        StreetRecord street;
        ASSERT_TRUE(addresses.readStreet(4, street));
        ASSERT_TRUE(strings.stringAt(street.name, text));
        EXPECT_EQ(text, u"Main Street");
        MapTest::RecordingBuilder builder;
        ASSERT_EQ(routing.loadGraph(builder), RoutingSectionReader::Loaded);
        EXPECT_EQ(builder.segments.size(), 3u);
        std::vector<ShapeStep> steps;
        ASSERT_TRUE(routing.shape(2, {1, 1}, steps));
        EXPECT_EQ(steps.size(), 2u);
        std::vector<std::uint32_t> transit;
        ASSERT_TRUE(routing.transitTable(transit));
        EXPECT_EQ(transit[2], 310u * 512);
        mapping.release(); // everything goes; the next access maps again
    }

    // A level over the project's fixed-size heap.
    Core::SimpleHeap heap(1 << 16);
    Map::Level level(geometry, 0, heap);
    ASSERT_TRUE(level.prepareArea(level.defaultArea(), 0, 0, 3, 2));
    Map::Level::CellItems items;
    mapping.release();
    EXPECT_TRUE(level.cellItems(level.defaultArea(), 2, 1, items)); // the blocks live in the heap
    Map::Level::Area moved;
    ASSERT_TRUE(level.prepareArea(moved, 1, 1, 3, 2));
    EXPECT_TRUE(level.cellItems(moved, 3, 2, items));
    level.clearArea(moved);

    // A file over a view moves within the view's bytes only.
    SectionViewRW file(views.view(16, 32));
    const struct {
        bool relative;
        std::int32_t to;
        bool moved;
        std::uint32_t at;
    } moves[] = {{false, 4, true, 4},     {true, 6, true, 10},  {true, -10, true, 0}, {true, -1, false, 0},
                 {false, 32, true, 32},   {true, 1, false, 32}, {false, 33, false, 32}, {true, -30, true, 2}};
    for (const auto& m : moves) {
        EXPECT_EQ(m.relative ? file.seekRelative(m.to) : file.seek(m.to), m.moved) << m.to;
        EXPECT_EQ(file.tell(), m.at) << m.to;
    }
    EXPECT_EQ(file.lastError(), 87);
    std::uint8_t word[4];
    ASSERT_EQ(file.read(word, 4, 1), 1u);
    EXPECT_TRUE(std::equal(word, word + 4, written.bytes.begin() + 18));

    // Ranges outside the file give no view.
    EXPECT_EQ(views.view(written.bytes.size() - 4, 8), nullptr);
    EXPECT_EQ(views.view(0x100000000ull, 4), nullptr);
    auto empty = views.view(written.bytes.size(), 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->size(), 0u);
}
