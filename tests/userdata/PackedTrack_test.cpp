#include "core/Base64.h"
#include "userdata/PackedTrack.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <random>

using Monitoring::CollectedPoint;
namespace PackedTrack = Monitoring::PackedTrack;

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    return {values.begin(), values.end()};
}

} // namespace

TEST(PackedTrack, RecordsHoldDifferencesThatWrapInEachFieldsWidth) {
    const std::vector<CollectedPoint> points{
        {1, 86410, 0x40000000, 0, -12.7f, 300.0f, 359.9f},
        {0, 86420, 0x40000000, 0, -12.7f, 300.0f, 359.9f}, // stood still 10 s
        {0, 86420, INT32_MIN, 5, 40000.0f, 0.4f, 180.0f},
    };
    const std::vector<std::uint8_t> expected = bytes({
        0x8A, 0x51, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xF4, 0xFF, 0xFF, 0x00, //
        0x0A, 0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    0,    0,    0,    0,    //
        0,    0,    0,    0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0x40, 0x0B, 0x80, 0x01, 0x80,
    });
    EXPECT_EQ(PackedTrack::pack(points), expected);

    const std::vector<CollectedPoint> back = PackedTrack::unpack(expected);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0], (CollectedPoint{1, 86410, 0x40000000, 0, -12.0f, 255.0f, 0.0f}));
    EXPECT_EQ(back[2], (CollectedPoint{0, 86420, INT32_MIN, 5, 32767.0f, 0.0f, 180.0f}));
    EXPECT_EQ(PackedTrack::unpack(std::span(expected).first(39)).size(), 1u) << "whole records only";
}

TEST(PackedTrack, RandomTracksSurviveTheRoundTrip) {
    const char* seedText = std::getenv("MIREL_SEED");
    std::mt19937_64 random(seedText ? std::strtoull(seedText, nullptr, 10) : 38);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<CollectedPoint> points(1 + random() % 30);
        for (std::size_t i = 0; i < points.size(); ++i) {
            CollectedPoint& p = points[i];
            p.segmentStart = i == 0;
            p.time = random();
            p.x = static_cast<std::int32_t>(random());
            p.y = static_cast<std::int32_t>(random());
            p.altitude = static_cast<float>(static_cast<std::int16_t>(random()));
            p.speed = static_cast<float>(random() % 256);
            p.heading = static_cast<float>(random() % 256) * 1.40625f;
        }
        ASSERT_EQ(PackedTrack::unpack(PackedTrack::pack(points)), points) << "trial " << trial;
    }
}

TEST(PackedTrack, InflationMustGiveExactlyTheDeclaredSize) {
    std::vector<std::uint8_t> data(60);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    const std::string value = PackedTrack::compress(data);
    // The stream is plain zlib: the library's own inflation reads it.
    const std::vector<std::uint8_t> stream = Core::base64Decode(value);
    std::vector<std::uint8_t> inflated(100);
    uLongf length = inflated.size();
    ASSERT_EQ(uncompress(inflated.data(), &length, stream.data(), stream.size()), Z_OK);
    EXPECT_EQ(std::vector(inflated.begin(), inflated.begin() + length), data);

    EXPECT_EQ(PackedTrack::inflate(value, 60), data);
    for (const std::uint32_t size : {0u, 59u, 61u, PackedTrack::MaxBytes + 1, 0xFFFFFFFFu})
        EXPECT_FALSE(PackedTrack::inflate(value, size)) << size;
    EXPECT_FALSE(PackedTrack::inflate("garbage!", 60));
    EXPECT_FALSE(PackedTrack::inflate("", 20));
}
