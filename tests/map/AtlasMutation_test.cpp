// Damaged copies of the files an atlas reads that the user can swap or
// break: map files through the container and the per-map object,
// camera.kvc, atlas.xml and stored index source lists. Nothing may crash,
// read outside its bytes (the sanitizer build checks that), or accept a
// value the map view cannot use. The seed can be changed with
// MIREL_TEST_SEED, the number of copies with MIREL_MUTATION_ROUNDS.

#include "core/Text.h"
#include "map/AtlasXml.h"
#include "map/CameraFile.h"
#include "map/IndexSourceList.h"
#include "map/KVMap2.h"
#include "tests/map/AtlasFixture.h"
#include "tests/map/MapFixture.h"
#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

using namespace AtlasTest;

namespace {

using TestSupport::Damage;

// Damaged copies of `original` (every eighth of `alternate` when given)
// opened as a map file: each opens with sane levels and captions or is
// refused with a message. Returns how many opened.
int openDamagedMaps(const std::vector<std::uint8_t>& original, const std::vector<std::uint8_t>& alternate,
                    const std::vector<std::size_t>& fields, std::uint64_t rounds) {
    TestSupport::TempDir dir;
    Core::ResourcesPool pool(10);
    MapTest::MallocHeap heap;
    Damage damage(8);
    const auto path = dir / "m.kvm";
    int opened = 0;
    for (std::uint64_t round = 0; round < rounds; ++round) {
        writeFile(path, damage.apply(round % 8 == 0 && !alternate.empty() ? alternate : original, fields));
        try {
            Map::KVMap2 map(wide(path), pool, heap);
            if (!map.open(wide(path), u"m.kvm", 0)) continue;
            ++opened;
            for (std::size_t i = 0; i < map.levelCount(); ++i) {
                EXPECT_GE(map.level(i).coordinateBits(), 1);
                EXPECT_LE(map.level(i).coordinateBits(), 32);
            }
            EXPECT_TRUE(map.loadCaptions());
            std::u16string text;
            for (std::uint32_t i = 0; i < std::min<std::uint32_t>(map.captionCount(), 64); ++i)
                map.stringsReader().string(i, text);
        } catch (const std::exception&) {
            // Refused with a message: what the atlas logs and skips.
        }
    }
    return opened;
}

// The header words, the directory and the first words of the strings and
// geometry sections of a written map.
std::vector<std::size_t> structuralFields(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::size_t> fields;
    for (std::size_t at = 0; at < 48; at += 4)
        fields.push_back(at);
    const std::uint32_t directory = u32At(bytes, 36);
    for (std::size_t k = 0; k < 4 + 12 * std::size_t{u32At(bytes, directory)}; k += 2)
        fields.push_back(directory + k);
    const std::uint32_t strings = u32At(bytes, 4);
    const std::uint32_t geometry = u32At(bytes, 24);
    fields.insert(fields.end(), {strings, strings + 4, geometry, geometry + 1});
    return fields;
}

TEST(AtlasMutationTest, MapFilesOpenOrAreRefused) {
    const MapWriting::WrittenMap written = MapWriting::writeMap(completeMap());
    const std::vector<std::uint8_t> newer = newerLayout(written, {1, 2, 3, 4, 17, 18});
    EXPECT_GT(openDamagedMaps(written.bytes, newer, structuralFields(written.bytes),
                              Damage::rounds(400)),
              0);
}

// The same on a real town, the Monaco map the build writes (fewer rounds:
// each copy is a large file).
TEST(AtlasMutationTest, MonacoMapOpensOrIsRefused) {
    std::ifstream in(std::filesystem::path(MIREL_MONACO_ATLAS_DIR) / "monaco.kvm", std::ios::binary);
    const std::vector<std::uint8_t> monaco{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GT(monaco.size(), 100000u);
    EXPECT_GT(openDamagedMaps(monaco, {}, structuralFields(monaco), Damage::rounds(400) / 10), 0);
}

TEST(AtlasMutationTest, CameraFiles) {
    TestSupport::TempDir dir;
    const auto path = dir / "camera.kvc";
    ASSERT_TRUE(Map::CameraFile::write(wide(path), {100, -200, 0.001f, 0.5f, 1}, 2));
    const std::string text = TestSupport::readAll(path);
    const std::vector<std::uint8_t> original(text.begin(), text.end());
    Damage damage(8);
    const std::uint64_t rounds = Damage::rounds(400);
    for (std::uint64_t round = 0; round < rounds; ++round) {
        writeFile(path, damage.apply(original, {8, 12, 16, 17}));
        Map::CameraFields camera;
        std::uint32_t selector = 0;
        if (!Map::CameraFile::read(wide(path), camera, selector)) continue;
        ASSERT_TRUE(std::isfinite(camera.scale));
        ASSERT_GE(camera.scale, Map::CameraFile::MinScale);
        ASSERT_LE(camera.scale, Map::CameraFile::MaxScale);
        ASSERT_TRUE(std::isfinite(camera.rotation));
        ASSERT_LE(std::fabs(camera.rotation), std::numbers::pi_v<float> + 1e-5f);
        ASSERT_LE(camera.mode, 1);
        ASSERT_LE(selector, 3u);
    }
}

TEST(AtlasMutationTest, AtlasFiles) {
    TestSupport::TempDir dir;
    const std::string text = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<!-- c -->\r\n"
                             "<atlas name=\"default\" dir=\"/x/a&amp;b\">\r\n"
                             "\t<map name=\"a\" src=\"a.kvm\" type=\"city\" time=\"1700000000\" />\r\n"
                             "\t<map name=\"b&apos;\" src=\"b.kvm\" type=\"pois\" time=\"12\" />\r\n"
                             "\t<gone src=\"c&amp;d.kvm\" />\r\n"
                             "\t<gone src=\"../e/f.kvm\" />\r\n"
                             "</atlas>\r\n";
    const std::vector<std::uint8_t> original(text.begin(), text.end());
    Damage damage(8);
    const std::uint64_t rounds = Damage::rounds(400);
    const auto path = dir / "atlas.xml";
    int accepted = 0;
    for (std::uint64_t round = 0; round < rounds; ++round) {
        writeFile(path, damage.apply(original));
        std::vector<Map::AtlasXml::Map> maps;
        std::vector<std::u16string> gone;
        if (!Map::AtlasXml::read(wide(path), maps, nullptr, &gone)) continue;
        ++accepted;
        for (const auto& map : maps) {
            ASSERT_LT(map.type, 7u);
        }
        // Only file names of the atlas folder, each once, a bounded number.
        ASSERT_LE(gone.size(), Map::AtlasXml::MaxGone);
        for (const std::u16string& name : gone) {
            ASSERT_LT(name.size(), original.size());
            ASSERT_TRUE(Map::AtlasXml::isPlainFileName(name)) << Core::wideToUtf8(name);
            ASSERT_EQ(std::count(gone.begin(), gone.end(), name), 1);
        }
    }
    EXPECT_GT(accepted, 0);
}

TEST(AtlasMutationTest, StoredSourceLists) {
    BufferFile file;
    Map::IndexSourceList list;
    list.records = {{u"demo-town.kvm", 1700000000}, {u"demo-region.kvm", 1700000001}, {u"x", 0}};
    ASSERT_TRUE(Map::IndexSourceList::write(file, list));
    Damage damage(8);
    const std::uint64_t rounds = Damage::rounds(400) * 25;
    for (std::uint64_t round = 0; round < rounds; ++round) {
        BufferFile damaged(damage.apply(file.bytes, {0, 4}));
        Map::IndexSourceList back;
        const bool ok = Map::IndexSourceList::read(damaged, back);
        ASSERT_LE(back.records.size(), damaged.bytes.size() / 10);
        for (const auto& record : back.records) {
            ASSERT_LE(record.name.size(), Map::IndexSourceList::MaxNameUnits);
        }
        if (ok && Map::IndexSourceList::equals(back, list)) {
            ASSERT_EQ(damaged.position, file.bytes.size());
        }
    }
}

} // namespace
