// The mixer's play list with a sample twice in a row, the player without an
// audio device, and distances rounded for speech against a reference.

#include "guidance/SoundMixer.h"
#include "guidance/SoundSystem.h"
#include "guidance/Voice.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/VirtualFs.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace Guidance {
namespace {

TEST(SoundMixer, ASampleTwiceInAListPlaysWholeBothTimes) {
    Guidance::SoundMixer mixer;
    for (int id : {1, 2}) {
        Sample s;
        s.id = id;
        s.length = 5;
        s.data = std::make_unique<std::uint8_t[]>(5);
        for (int i = 0; i < 5; ++i)
            s.data[i] = static_cast<std::uint8_t>(10 * id + i);
        mixer.insert(std::move(s));
    }
    mixer.replace(4, {1, 1, 2, 1});
    std::vector<std::uint8_t> out(24, 0xEE);
    // Two buffers, the first ending inside a sample.
    mixer.mix(out.data(), 7, SoundMixer::FullVolume);
    mixer.mix(out.data() + 7, 17, SoundMixer::FullVolume);
    EXPECT_TRUE(mixer.idle());
    EXPECT_EQ(out, (std::vector<std::uint8_t>{10, 11, 12, 13, 14, 10, 11, 12, 13, 14, 20, 21, 22, 23, 24, 10, 11,
                                              12, 13, 14, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(SoundSystemDevice, WithoutAnAudioDeviceNothingIsAccepted) {
    TestSupport::TempDir dir;
    FileSystem::VirtualFs files(FileSystem::toWide(dir.path().string() + "/"));
    Core::Config config;
    for (const char* driver : {"no-such-driver", "dummy"}) {
        TestSupport::CaptureLogger log;
        TestSupport::ScopedEnv env("SDL_AUDIODRIVER", driver);
        SDL_QuitSubSystem(SDL_INIT_AUDIO); // the driver is chosen afresh
        SoundSystem player(files, config.root());
        const bool open = std::string(driver) == "dummy";
        EXPECT_EQ(log.contains("No audio device: sounds are off"), !open) << driver;
        EXPECT_EQ(player.accepts(4), open) << driver;
        if (!open) {
            EXPECT_FALSE(player.play(4, {1}));
        }
    }
}

// Spoken distances: to the nearest 10 m below 105 m, 100 m below 1050 m,
// else 1000 m, halves rounded up.
std::uint32_t spoken(std::uint32_t d) {
    const std::uint32_t step = d < 105 ? 10 : d < 1050 ? 100 : 1000;
    const std::uint32_t below = d / step * step;
    return d - below >= step - step / 2 ? below + step : below;
}

TEST(Voice, DistancesAreRoundedForSpeech) {
    for (std::uint32_t d = 1; d <= 30000; ++d) {
        Phrase got, expected;
        ASSERT_TRUE(Voice::composeManeuverPhrase(got, {{1, d}}, true));
        Voice::maneuverIds(expected, 1, spoken(d), true);
        ASSERT_EQ(got, expected) << d;
    }
}

} // namespace
} // namespace Guidance

// Which list may start over the one that plays (priority 3): a higher
// priority always; one that cuts lists up to a priority also over those.
TEST(SoundMixer, AListStartsOverWhatItMayCut) {
    Guidance::SoundMixer mixer;
    EXPECT_TRUE(mixer.acceptsOver(0, {1}));
    EXPECT_FALSE(mixer.acceptsOver(9, {}));
    Guidance::Sample sample;
    sample.id = 1;
    sample.length = 4;
    sample.data = std::make_unique<std::uint8_t[]>(4);
    mixer.insert(std::move(sample));
    mixer.replace(3, {1});
    const struct { int priority, cuts; bool starts; } rows[] = {
        {2, 1, false}, {3, 2, false}, {3, 3, true}, {2, 4, true}, {4, 3, true}};
    for (const auto& r : rows) {
        EXPECT_EQ(mixer.acceptsOver(std::max(r.cuts, r.priority - 1), {1}), r.starts) << r.priority << " " << r.cuts;
        EXPECT_EQ(mixer.accepts(r.priority, {1}), r.priority > 3) << r.priority;
    }
}

// What became of each list: the first played to its end, the second was
// cut off by the third, which plays; numbers never given count as cut, and
// so do lists too far back for the player to remember.
TEST(SoundMixer, TellsWhichListsPlayedToTheirEnd) {
    using Guidance::ListEnd;
    Guidance::SoundMixer mixer;
    Guidance::Sample sample;
    sample.id = 1;
    sample.length = 4;
    sample.data = std::make_unique<std::uint8_t[]>(4);
    mixer.insert(std::move(sample));
    std::uint8_t buffer[4];
    mixer.replace(4, {1});
    mixer.mix(buffer, 4, Guidance::SoundMixer::FullVolume);
    mixer.replace(4, {1, 1});
    mixer.replace(4, {1, 1});
    mixer.mix(buffer, 4, Guidance::SoundMixer::FullVolume);
    EXPECT_EQ(mixer.lastList(), 3u);
    const ListEnd ends[] = {ListEnd::Cut, ListEnd::PlayedOut, ListEnd::Cut, ListEnd::Playing, ListEnd::Cut};
    for (std::uint32_t list = 0; list < 5; ++list)
        EXPECT_EQ(mixer.listEnd(list), ends[list]) << list;
    mixer.mix(buffer, 4, Guidance::SoundMixer::FullVolume);
    EXPECT_EQ(mixer.listEnd(3), ListEnd::PlayedOut);
    for (int i = 0; i < 31; ++i)
        mixer.replace(1, {});
    EXPECT_EQ(mixer.listEnd(2), ListEnd::Cut);
    EXPECT_EQ(mixer.listEnd(3), ListEnd::PlayedOut);
    mixer.replace(1, {});
    EXPECT_EQ(mixer.listEnd(3), ListEnd::Cut);
}
