#include "guidance/SoundMixer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using Guidance::Sample;
using Guidance::SoundMixer;

namespace {

Sample sampleOf(int id, const std::string& bytes) {
    Sample s;
    s.id = id;
    s.data = std::make_unique<std::uint8_t[]>(bytes.size());
    std::memcpy(s.data.get(), bytes.data(), bytes.size());
    s.length = static_cast<std::uint32_t>(bytes.size());
    return s;
}

// Mixes in ragged pieces (5 bytes) until the list is done or limit bytes.
std::string drain(SoundMixer& mixer, std::size_t limit = 4096) {
    std::string out;
    while (!mixer.idle() && out.size() < limit) {
        std::uint8_t piece[5] = {};
        mixer.mix(piece, 5, SoundMixer::FullVolume);
        out.append(reinterpret_cast<const char*>(piece), 5);
    }
    return out;
}

} // namespace

TEST(SoundMixer, PriorityRules) {
    struct Row {
        int playing; // -1: nothing plays
        int incoming;
        bool emptyList;
        bool accepted;
    } rows[] = {
        {3, 3, false, false}, {3, 4, false, true}, {5, 1, false, false},
        {-1, 1, false, true}, {-1, 1, true, false}, {1, 6, true, false},
    };
    for (const Row& r : rows) {
        SoundMixer mixer;
        mixer.insert(sampleOf(7, "abcd"));
        if (r.playing >= 0) {
            mixer.replace(6, {7});
            drain(mixer); // ends at priority 6 with nothing playing
            mixer.replace(r.playing, {7});
        }
        EXPECT_EQ(mixer.accepts(r.incoming, r.emptyList ? std::vector<int>{} : std::vector<int>{7}), r.accepted)
            << r.playing << " " << r.incoming;
    }
}

TEST(SoundMixer, PlaysInOrderSkipsIdsWithoutSampleAndRestartsReplacedSample) {
    SoundMixer mixer;
    mixer.insert(sampleOf(2, "BBBBBBBB"));
    mixer.insert(sampleOf(1, "aaaabbbbccccdddd"));
    mixer.insert(sampleOf(3, std::string()));
    mixer.replace(3, {1, 9, 3, 2, 1});
    EXPECT_EQ(drain(mixer), "aaaabbbbccccddddBBBBBBBBaaaabbbbccccdddd");
    EXPECT_TRUE(mixer.accepts(1, {1})); // an id without a sample does not hold the list up

    std::uint8_t head[6] = {};
    mixer.replace(1, {1});
    mixer.mix(head, 6, SoundMixer::FullVolume);
    mixer.replace(2, {1, 2});
    // The cut-off sample starts again from its beginning.
    EXPECT_EQ(drain(mixer), "aaaabbbbccccddddBBBBBBBB" + std::string(1, '\0'));

    mixer.keepOnly({2});
    EXPECT_FALSE(mixer.hasSample(1));
    EXPECT_EQ(mixer.sampleLength(2), 8u);
}
