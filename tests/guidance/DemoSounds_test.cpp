#include "guidance/SoundSystem.h"
#include "guidance/Voice.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/VirtualFs.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

using Guidance::SoundSystem;

namespace {

// Every id the program can ask for: the voice's words for all manoeuvre types
// and all numbers, the callers' own sounds and the demo POI styles' sounds.
std::set<int> idsTheDemoPlays() {
    Guidance::Phrase all;
    for (std::uint32_t type = 0; type <= 33; ++type)
        Guidance::Voice::maneuverIds(all, type, 0, true);
    for (std::uint32_t n = 1; n <= 99999; ++n)
        Guidance::Voice::numberIds(all, n);
    for (std::uint32_t metres : {1000u, 2000u, 5000u, 1u, 2u, 5u})
        Guidance::Voice::distanceIds(all, metres);
    Guidance::Voice::composeManeuverPhrase(all, {{1, 100}, {2, 0}}, true);
    std::set<int> ids(all.begin(), all.end());
    ids.insert({0, 4, 9, 11, 69, 73, 83, 84, 200}); // arrival, route points, commands, clicks, tick
    ids.insert({1, 2, 3, 10});                      // data/styles/pois.xml
    return ids;
}

} // namespace

TEST(DemoSounds, EveryPlayableIdIsNamedAndItsPhraseLoads) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const std::filesystem::path demo = MIREL_DEMO_DATA_DIR;
    FileSystem::VirtualFs files(FileSystem::toWide(demo.string() + "/"));
    Core::Config config;
    TestSupport::CaptureLogger log(Log::Critical);
    SoundSystem player(files, config.root());
    ASSERT_TRUE(player.loadSchema(FileSystem::toWide(MIREL_DATA_DIR "/sounds.xml")));
    const std::set<int> ids = idsTheDemoPlays();
    for (int id : ids)
        EXPECT_FALSE(player.fileName(id).empty()) << "no sound named for id " << id;

    if (!std::filesystem::exists(demo / "sounds"))
        GTEST_SKIP() << "the demo phrases were not made (espeak-ng or sox missing at build time)";
    if (!player.audioOpen())
        GTEST_SKIP() << "no audio device to load the phrases with";
    int priority = 0;
    for (int id : ids)
        EXPECT_TRUE(player.play(++priority, {id})) << "id " << id << ": " << player.fileName(id);
}
