// Damaged track files: a valid recording with flipped bytes, cut short or
// grown goes through the load, the folder scan and the in-place rewrite of
// its properties; nothing may crash or read out of bounds. Bounded in
// rounds; run under ASan+UBSan. MIREL_SEED overrides the seed.

#include "userdata/fdTrackManager.h"

#include "TrackTestSupport.h"
#include "core/Config.h"
#include "core/FileSystem.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace {

unsigned seed() {
    const char* s = std::getenv("MIREL_SEED");
    return s ? static_cast<unsigned>(std::strtoul(s, nullptr, 10)) : 35u;
}

TEST(TrackMutation, DamagedFilesLoadWithinTheirBounds) {
    std::mt19937 random(seed());
    const std::string valid = TrackTest::trackHeader(120) + TrackTest::trackRecords(120);
    TestSupport::TempDir dir;
    Core::Config config;
    for (int round = 0; round < 200; ++round) {
        std::string bytes = valid;
        switch (random() % 3) {
        case 0:
            for (int n = 1 + random() % 8; n > 0; --n)
                bytes[random() % bytes.size()] = static_cast<char>(random());
            if (random() % 2) bytes[4 + random() % 4] = static_cast<char>(random()); // version, count
            break;
        case 1:
            bytes.resize(random() % bytes.size());
            break;
        default:
            bytes += std::string(random() % 100, static_cast<char>(random()));
            break;
        }
        const auto path = dir.write("t.kvt", bytes);
        TrackFile track;
        track.load(FileSystem::toWide(path.string()));
        ASSERT_LE(track.pointCount(), (bytes.size() > 16 ? (bytes.size() - 16) / 44 : 0))
            << "seed " << seed();
        fdTrackManager::Track::storeShowFlag(FileSystem::toWide(path.string()), true, 0x12345678);
        ASSERT_EQ(TestSupport::readAll(path).size(), bytes.size())
            << "the rewrite never grows or cuts a file";
        fdTrackManager manager(FileSystem::toWide(dir.path().string()), config.root());
        ASSERT_LE(manager.trackCount(), 1u);
    }
}

} // namespace
