#include "render/detail/BandCorners.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using xe::Point;
using xe::detail::BandCornerStore;
using xe::detail::BandKey;
using xe::detail::KeptCorner;

struct Band {
    std::vector<Point> points;
    std::vector<Point> normals;
    std::int32_t normalLength = 100;
    std::int32_t width = 5;
    xe::FixedMatrix matrix{};
    std::array<std::int32_t, 9> viewport{};

    BandKey key() const {
        const int count = static_cast<int>(points.size());
        return BandKey{points.data(), normals.data(), count, normalLength, width, &matrix, &viewport};
    }
};

Band sampleBand(int seed) {
    Band b;
    for (int i = 0; i < 3 + seed % 4; ++i)
        b.points.push_back(Point{seed * 7 + i * 13, seed * 3 - i * 5});
    for (std::size_t i = 0; i + 1 < b.points.size(); ++i)
        b.normals.push_back(Point{seed + static_cast<int>(i), 100 - seed});
    for (int i = 0; i < 16; ++i)
        b.matrix[static_cast<std::size_t>(i)] = seed * 31 + i;
    for (int i = 0; i < 9; ++i)
        b.viewport[static_cast<std::size_t>(i)] = 640 + i;
    return b;
}

std::vector<KeptCorner> cornersOf(int seed, std::size_t count) {
    std::vector<KeptCorner> corners;
    for (std::size_t i = 0; i < count; ++i)
        corners.push_back(
            KeptCorner{seed, static_cast<std::int32_t>(i), static_cast<std::uint32_t>(seed % 16)});
    return corners;
}

bool sameCorners(const KeptCorner* found, const std::vector<KeptCorner>& expected) {
    if (found == nullptr) return false;
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (found[i].x != expected[i].x || found[i].y != expected[i].y || found[i].code != expected[i].code)
            return false;
    return true;
}

// A band is found only by everything its corners are made from: a change
// of any one input misses.
TEST(BandCorners, FoundOnlyByEveryInput) {
    BandCornerStore store;
    const Band band = sampleBand(4);
    const std::vector<KeptCorner> corners = cornersOf(4, 5 * band.points.size() + 8);
    EXPECT_EQ(store.find(band.key()), nullptr);
    store.keep(band.key(), corners.data(), corners.size());
    EXPECT_TRUE(sameCorners(store.find(band.key()), corners));

    struct Change {
        const char* what;
        void (*apply)(Band&);
    };
    const Change changes[] = {
        {"last point", [](Band& b) { b.points.back().y += 1; }},
        {"first point", [](Band& b) { b.points.front().x -= 1; }},
        {"a normal", [](Band& b) { b.normals[1].x += 1; }},
        {"normal length", [](Band& b) { b.normalLength += 1; }},
        {"width", [](Band& b) { b.width += 1; }},
        {"a matrix element", [](Band& b) { b.matrix[15] += 1; }},
        {"a viewport element", [](Band& b) { b.viewport[7] += 1; }},
        {"one point fewer",
         [](Band& b) {
             b.points.pop_back();
             b.normals.pop_back();
         }},
    };
    for (const Change& change : changes) {
        Band other = band;
        change.apply(other);
        EXPECT_EQ(store.find(other.key()), nullptr) << change.what;
    }
    // The same inputs in other arrays are the same band.
    const Band copy = band;
    EXPECT_TRUE(sameCorners(store.find(copy.key()), corners));
}

// Many bands over many projections: each found with its own corners, in
// any order (the table grows on the way), the first kept corners staying;
// nothing after a clear.
TEST(BandCorners, ManyBandsRoundTripAndClear) {
    BandCornerStore store;
    std::vector<Band> bands;
    for (int seed = 0; seed < 5000; ++seed)
        bands.push_back(sampleBand(seed));
    for (int seed = 0; seed < 5000; ++seed) {
        const std::vector<KeptCorner> corners = cornersOf(seed, 5 * bands[seed].points.size() + 8);
        store.keep(bands[seed].key(), corners.data(), corners.size());
    }
    EXPECT_EQ(store.bands(), 5000u);
    const std::vector<KeptCorner> later = cornersOf(-1, 5 * bands[7].points.size() + 8);
    store.keep(bands[7].key(), later.data(), later.size());
    EXPECT_EQ(store.bands(), 5000u);
    for (int seed = 4999; seed >= 0; --seed)
        ASSERT_TRUE(
            sameCorners(store.find(bands[seed].key()), cornersOf(seed, 5 * bands[seed].points.size() + 8)))
            << "band " << seed;
    // In the order kept (found after the one before), and skipping bands
    // now and then (found by their hash, the ones after again in order).
    for (int seed = 0; seed < 5000; ++seed) {
        if (seed % 7 == 3) continue;
        ASSERT_TRUE(
            sameCorners(store.find(bands[seed].key()), cornersOf(seed, 5 * bands[seed].points.size() + 8)))
            << "band " << seed;
    }
    Band absent = bands[12];
    absent.width += 1;
    EXPECT_EQ(store.find(absent.key()), nullptr);
    EXPECT_TRUE(sameCorners(store.find(bands[13].key()), cornersOf(13, 5 * bands[13].points.size() + 8)));
    store.clear();
    EXPECT_EQ(store.bands(), 0u);
    EXPECT_EQ(store.corners(), 0u);
    for (const Band& band : bands)
        ASSERT_EQ(store.find(band.key()), nullptr);
    // Kept again after the clear.
    const std::vector<KeptCorner> again = cornersOf(9, 5 * bands[9].points.size() + 8);
    store.keep(bands[9].key(), again.data(), again.size());
    EXPECT_TRUE(sameCorners(store.find(bands[9].key()), again));
}

} // namespace
