#include "guidance/SoundSystem.h"
#include "guidance/Voice.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/VirtualFs.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/support/WavWriter.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>

using Guidance::SoundSystem;
using TestSupport::levelWav;

namespace {

// Distinct levels, so that the capture tells which file played when.
constexpr int LevelA = 1000;                 // 22050 Hz, stereo, 16 bits: played as it is
constexpr int LevelB8 = 200;                 // 11025 Hz, mono, 8 bits: converted
constexpr int LevelB = (LevelB8 - 128) << 8; // its converted level
constexpr int LevelLong = -3000;
constexpr int LongFrames = 22050 * 4;

const char* const Schema = R"(<soundlist><sound id="1" src="sounds/old.wav"/><sound id="1" src="sounds/a.wav"/>
<sound id="2" src="sounds/b.wav"/><sound id="3" src="sounds/none.wav"/><sound id="4" src="sounds/long.wav"/>
<sound id="5" src="sounds/m.wav"/><sound id="6" src="sounds/m.wav"/><sound id="218" src="sounds/a.wav"/>
<sound id="-1" src="sounds/a.wav"/><other id="7" src="sounds/a.wav"/></soundlist>)";

struct SoundSystemTest : ::testing::Test {
    void SetUp() override {
        // Silent output unless the caller chose a driver.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        std::filesystem::create_directories(dir / "sounds");
        dir.write("sounds/a.wav", levelWav(22050, 2, 16, LevelA, 3000));
        dir.write("sounds/b.wav", levelWav(11025, 1, 8, LevelB8, 1000));
        dir.write("sounds/long.wav", levelWav(22050, 2, 16, LevelLong, LongFrames));
        schemaPath = FileSystem::toWide(dir.write("sounds.xml", Schema).string());
        files = std::make_unique<FileSystem::VirtualFs>(FileSystem::toWide(dir.path().string() + "/"));
    }

    static void waitIdle(const SoundSystem& player) {
        for (int i = 0; i < 20000 && player.playing(); ++i)
            SDL_Delay(1);
        ASSERT_FALSE(player.playing()) << "the play list never ended";
    }

    TestSupport::TempDir dir;
    Core::Config config;
    std::u16string schemaPath;
    std::unique_ptr<FileSystem::VirtualFs> files;
};

// Runs of equal, non-silent stereo frames in a capture: (level, frames).
std::vector<std::pair<int, int>> levelRuns(const std::string& raw) {
    std::vector<std::pair<int, int>> runs;
    for (std::size_t at = 0, previous = 0; at + 4 <= raw.size(); at += 4) {
        const auto sample = [&](std::size_t i) { return std::int16_t(std::uint8_t(raw[i]) | std::uint8_t(raw[i + 1]) << 8); };
        const int level = sample(at) == sample(at + 2) ? sample(at) : 0x10000; // a mixed frame is no level
        if (level != 0 && previous != 0 && level == runs.back().first)
            ++runs.back().second;
        else if (level != 0)
            runs.emplace_back(level, 1);
        previous = level != 0;
    }
    return runs;
}

} // namespace

TEST_F(SoundSystemTest, SchemaAndSwitches) {
    TestSupport::CaptureLogger log;
    // Rates the converter takes: an eighth of the output rate up to eight
    // times it.
    for (const auto& [rate, loads] : {std::pair{2756, true}, {2755, false}, {176400, true}, {176401, false}}) {
        dir.write("sounds/m.wav", levelWav(rate, 1, 16, LevelA, 100));
        SoundSystem fresh(*files, config.root());
        ASSERT_TRUE(fresh.audioOpen() && fresh.loadSchema(schemaPath));
        EXPECT_EQ(fresh.play(1, {5}), loads) << rate;
    }
    SoundSystem player(*files, config.root());
    ASSERT_TRUE(player.loadSchema(schemaPath));
    EXPECT_EQ(player.fileName(1), "sounds/a.wav"); // the later entry wins
    EXPECT_EQ(player.fileName(7), "");
    EXPECT_TRUE(log.contains("Sound id 218 out of range in sound schema file") &&
                log.contains("Sound id -1 out of range in sound schema file"));
    EXPECT_FALSE(player.loadSchema(FileSystem::toWide((dir / "none.xml").string())));
    EXPECT_TRUE(log.contains("Can't open sound schema file '" + (dir / "none.xml").string() + "' (err 2): No such file or directory"));
    for (const char* bad : {"<sounds><sound id=\"1\" src=\"x\"/></sounds>", "<soundlist><sound id=", ""})
        EXPECT_FALSE(player.loadSchema(FileSystem::toWide(dir.write("bad.xml", bad).string()))) << bad;
    EXPECT_TRUE(log.contains("Invalid format of sound schema file"));

    player.setMenuSounds(false);
    player.setNaviSounds(false);
    SoundSystem again(*files, config.root());
    EXPECT_FALSE(again.menuSoundsOn() || again.naviOn());
}

// A drive speaks the same words again and again: each file is read once,
// on its first play, however the lists alternate; a schema read again
// drops the samples loaded under the old names.
TEST_F(SoundSystemTest, EachSampleIsLoadedOnce) {
    TestSupport::CaptureLogger log(Log::Info);
    SoundSystem player(*files, config.root());
    ASSERT_TRUE(player.audioOpen() && player.loadSchema(schemaPath));
    const std::vector<std::vector<int>> lists{{1, 2}, {4}, {2}, {1, 4, 1}};
    int priority = 0;
    for (int lap = 0; lap < 5; ++lap)
        for (const auto& list : lists)
            EXPECT_TRUE(player.play(++priority, list)) << lap;
    for (const char* file : {"sounds/a.wav", "sounds/b.wav", "sounds/long.wav"})
        EXPECT_EQ(log.count(std::string("Loading sound file '") + file + "' from pack"), 1u) << file;
    ASSERT_TRUE(player.loadSchema(schemaPath));
    EXPECT_TRUE(player.play(++priority, {1}));
    EXPECT_EQ(log.count("Loading sound file 'sounds/a.wav' from pack"), 2u);
}

// The mixed output is captured by SDL's disk audio driver.
TEST_F(SoundSystemTest, CapturedOutputPlaysListsInOrder) {
    const std::string capture = (dir / "capture.raw").string();
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string previousDriver = driver ? driver : "dummy";
    SDL_QuitSubSystem(SDL_INIT_AUDIO); // the driver is chosen when audio starts
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "2", 1);
    {
        TestSupport::CaptureLogger log(Log::Info);
        SoundSystem player(*files, config.root());
        ASSERT_TRUE(player.audioOpen());
        ASSERT_TRUE(player.loadSchema(schemaPath));

        // Id 3 has no file: the rest plays, and the list does not stay stuck
        // on it to refuse every later list.
        EXPECT_FALSE(player.play(9, {}));
        EXPECT_FALSE(player.play(4, {1, 3, 2}));
        EXPECT_TRUE(log.contains("Failed to load sound file 'sounds/none.wav' from pack"));
        // The log lists the list, position by position, the missing id too.
        EXPECT_EQ(log.count("play sounds begin: 3"), 1u);
        EXPECT_EQ(log.countStartingWith("sound 0: phrase 1, "), 1u);
        EXPECT_EQ(log.count("sound 1: phrase 3 not loaded"), 1u);
        EXPECT_EQ(log.countStartingWith("sound 2: phrase 2, "), 1u);
        // How long a list plays: the samples loaded once by their length,
        // an id never loaded a second.
        EXPECT_NEAR(player.seconds({1, 2, 99}), 5000.0 / 22050 + 1.0, 1e-6);
        waitIdle(player);
        EXPECT_TRUE(player.play(1, {2})); // nothing plays: a lower priority may start
        waitIdle(player);

        // A list that replaces another starts its samples from the beginning,
        // also the one that was cut off.
        EXPECT_TRUE(player.play(2, {4}));
        for (int i = 0; i < 20000 && levelRuns(TestSupport::readAll(capture)).size() < 4; ++i)
            SDL_Delay(1);
        SDL_LockAudio();
        const bool midway = player.playing();
        EXPECT_FALSE(player.play(2, {1})); // not above what plays: dropped
        EXPECT_FALSE(player.playOver(2, 1, {1})); // cuts only below 2
        EXPECT_TRUE(player.play(3, {4}));
        SDL_UnlockAudio();
        ASSERT_TRUE(midway) << "the long sample ended before it could be replaced";
        waitIdle(player);
    }
    unsetenv("SDL_DISKAUDIOFILE");
    setenv("SDL_AUDIODRIVER", previousDriver.c_str(), 1);
    const auto runs = levelRuns(TestSupport::readAll(capture));
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0], std::make_pair(LevelA, 3000));
    EXPECT_EQ(runs[1], std::make_pair(LevelB, 2000));
    EXPECT_EQ(runs[2], std::make_pair(LevelB, 2000));
    EXPECT_EQ(runs[3].first, LevelLong);
    EXPECT_GT(runs[3].second, LongFrames);
    EXPECT_LT(runs[3].second, 2 * LongFrames);
}

// Damaged sample files and schemas are read or refused, never crash (run
// under ASan and UBSan).
// Chunk lengths beyond the file, or a walk that would run past it, are found
// before SDL's loader would allocate them; sound files fit.
TEST(WavChunks, LengthsBeyondTheFileAreFound) {
    const std::string good = levelWav(11025, 1, 8, 77, 300);
    auto withLength = [&](std::size_t at, std::uint32_t length) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(length >> (8 * i));
        return bytes;
    };
    const std::size_t data = good.find("data");
    const struct {
        std::string bytes;
        bool fits;
    } cases[] = {{good, true},
                 {withLength(data + 4, 0xC8C8C8C8u), false},
                 {withLength(16, 0x7FFFFFF0u), false}, // the format chunk
                 {withLength(data + 4, static_cast<std::uint32_t>(good.size() - data - 8)), true},
                 {withLength(data + 4, static_cast<std::uint32_t>(good.size() - data - 7)), false},
                 {good.substr(0, 20), false},   // the format chunk cut off
                 {good.substr(0, data), false}, // no data chunk: the loader would read on past the end
                 {good.substr(4, 4) + good.substr(8), true}}; // "WAVE" right after the first word
    for (const auto& c : cases) {
        std::string bytes = c.bytes;
        SDL_RWops* rw = SDL_RWFromMem(bytes.data(), static_cast<int>(bytes.size()));
        EXPECT_EQ(Guidance::detail::wavChunksFitStream(rw), c.fits) << bytes.size();
        EXPECT_EQ(SDL_RWtell(rw), 0);
        SDL_RWclose(rw);
    }
}

TEST_F(SoundSystemTest, MutatedFilesAreReadOrRefused) {
    TestSupport::CaptureLogger log(Log::Critical);
    SoundSystem player(*files, config.root());
    const char* seed = std::getenv("MIREL_MUTATION_SEED");
    std::mt19937 rng(seed ? static_cast<std::uint32_t>(std::strtoul(seed, nullptr, 10)) : 20261207u);
    const std::string valid[] = {levelWav(11025, 1, 8, 77, 300), levelWav(44100, 2, 16, -5, 300), Schema};
    for (int run = 0; run < 600; ++run) {
        const bool schema = run % 3 == 2;
        std::string bytes = valid[run % 3];
        for (int edits = 1 + int(rng() % 4); edits-- > 0;)
            bytes[rng() % (schema ? bytes.size() : 48)] = "<>/=\" 0123456789-x\xff"[rng() % 19]; // WAVs: the header
        if (rng() % 4 == 0)
            bytes.resize(rng() % bytes.size());
        if (schema)
            player.loadSchema(FileSystem::toWide(dir.write("m.xml", bytes).string()));
        else
            dir.write("sounds/m.wav", bytes);
        player.loadSchema(schemaPath);
        player.play(run + 10, {5 + run % 2}); // alternating ids load the file again
    }
    dir.write("sounds/m.wav", valid[0]);
    EXPECT_TRUE(player.play(1000, {5}));
}

// Every id the program can ask for has a sound in the shipped sounds.xml:
// the voice's words for all manoeuvre types and numbers, the callers' own
// sounds and those of the demo's POI styles; and the build made each one.
TEST(DemoSounds, EveryPlayableIdIsNamedAndItsPhraseLoads) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    Guidance::Phrase all{0, 4, 9, 11, 69, 73, 83, 84, 200, 1, 2, 3, 10};
    for (std::uint32_t n = 0; n <= 99999; ++n) {
        Guidance::Voice::maneuverIds(all, n % 34, n < 34 ? 0 : n % 3000, true);
        Guidance::Voice::numberIds(all, n);
    }
    Guidance::Voice::composeManeuverPhrase(all, {{1, 0}, {2, 0}}, true);
    const std::set<int> ids(all.begin(), all.end());
    const std::filesystem::path demo = MIREL_DEMO_DATA_DIR;
    FileSystem::VirtualFs files(FileSystem::toWide(demo.string() + "/"));
    Core::Config config;
    SoundSystem player(files, config.root());
    ASSERT_TRUE(player.loadSchema(FileSystem::toWide(MIREL_DATA_DIR "/sounds.xml")));
    for (int id : ids)
        EXPECT_FALSE(player.fileName(id).empty()) << "no sound named for id " << id;
    if (!std::filesystem::exists(demo / "sounds") || !player.audioOpen())
        GTEST_SKIP() << "the demo phrases were not made (espeak-ng or sox missing at build time) or no audio";
    int priority = 0;
    for (int id : ids)
        EXPECT_TRUE(player.play(++priority, {id})) << "id " << id << ": " << player.fileName(id);
}

// The words the callers speak by a fixed id say what they are played for:
// the start of guidance is not a route point's word (it was "intermediate
// point", heard at every start).
TEST(DemoSounds, TheCallersWordsSayWhatTheyArePlayedFor) {
    std::ifstream in(MIREL_DATA_DIR "/sounds.xml");
    const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto say = [&](int id) {
        const std::string key = "id=\"" + std::to_string(id) + "\"";
        const std::size_t at = xml.find(key);
        if (at == std::string::npos) return std::string("(none)");
        const std::size_t from = xml.find("say=\"", at), end = xml.find('>', at);
        if (from == std::string::npos || from > end) return std::string("(no say)");
        return xml.substr(from + 5, xml.find('"', from + 5) - from - 5);
    };
    const std::pair<int, const char*> rows[] = {{0, "You have arrived"},   {4, "Starting the route"},
                                                {9, "Route point"},        {11, "Navigation"},
                                                {69, "Route recalculated"}};
    for (const auto& [id, words] : rows) EXPECT_EQ(say(id), words) << id;
}

// espeak-ng closes every text with about 0.4 s of silence and opens it with
// a little; the player chains phrases word by word, so each word would
// carry that silence into the warning. Every sample of the made pack starts
// and ends within 50 ms of its sound (above -40 dB), as read by SDL's WAV
// loader, the program's own; the 400 m warning of any manoeuvre then lasts
// at most 5 s.
TEST(DemoSounds, EveryPhraseStartsAndEndsWithItsWords) {
    const std::filesystem::path demo = MIREL_DEMO_DATA_DIR;
    if (!std::filesystem::exists(demo / "sounds"))
        GTEST_SKIP() << "the demo phrases were not made (espeak-ng or sox missing at build time)";
    FileSystem::VirtualFs files(FileSystem::toWide(demo.string() + "/"));
    Core::Config config;
    SoundSystem player(files, config.root());
    ASSERT_TRUE(player.loadSchema(FileSystem::toWide(MIREL_DATA_DIR "/sounds.xml")));
    constexpr int Quiet = 328; // -40 dB of full scale
    constexpr double Edge = 0.050;
    std::map<int, double> seconds;
    for (int id = 0; id < 256; ++id) {
        const std::string name = player.fileName(id);
        if (name.empty()) continue;
        SCOPED_TRACE(name);
        SDL_AudioSpec audio{};
        Uint8* data = nullptr;
        Uint32 bytes = 0;
        ASSERT_NE(SDL_LoadWAV((demo / name).c_str(), &audio, &data, &bytes), nullptr) << SDL_GetError();
        std::vector<Sint16> samples(bytes / 2);
        std::memcpy(samples.data(), data, samples.size() * 2);
        SDL_FreeWAV(data);
        ASSERT_EQ(audio.format, AUDIO_S16LSB);
        ASSERT_EQ(audio.channels, 1);
        const auto loud = [](Sint16 s) { return s > Quiet || s < -Quiet; };
        const auto first = std::find_if(samples.begin(), samples.end(), loud);
        ASSERT_NE(first, samples.end()) << "no sound at all";
        const auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
        EXPECT_LE(static_cast<double>(first - samples.begin()) / audio.freq, Edge) << "silence before the words";
        EXPECT_LE(static_cast<double>(last - samples.rbegin()) / audio.freq, Edge) << "silence after the words";
        seconds[id] = static_cast<double>(samples.size()) / audio.freq;
    }
    double longest = 0.0;
    for (std::uint32_t type = 0; type < 34; ++type) {
        Guidance::Phrase phrase;
        Guidance::Voice::maneuverIds(phrase, type, 400, true);
        double total = 0.0;
        for (int id : phrase) {
            ASSERT_TRUE(seconds.count(id)) << "no sample for id " << id;
            total += seconds[id];
        }
        longest = std::max(longest, total);
    }
    EXPECT_LE(longest, 5.0) << "the longest 400 m warning";
}
