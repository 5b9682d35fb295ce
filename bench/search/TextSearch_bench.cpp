// The text search on generated atlases: building TextSearch.tsi (time, file
// size, peak memory) for 10 and 50 maps, and the cost of one keystroke
// below, at and above the index depth, with and without a city filter, on
// 50 maps of 2,000 streets each (100,000 streets), beside SQLite FTS5 prefix
// queries over the same street names in the same run.
//
// One extra map holds streets of short names only: the index depth is the
// smallest depth among the maps, so it comes out at 3 and typing crosses it
// within the words of the data. The real town's index (data/maps/monaco)
// is built too.

#include "core/Text.h"
#include "search/Engine.h"
#include "tests/search/SearchFixture.h"
#include "tests/support/CaptureLogger.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

using SearchTest::FixtureAtlas;
using SearchTest::MapContent;

constexpr int StreetsPerMap = 2000;

// Atlases by map count, written once per run.
FixtureAtlas& atlasOf(int maps) {
    static std::map<int, std::unique_ptr<FixtureAtlas>> atlases;
    std::unique_ptr<FixtureAtlas>& atlas = atlases[maps];
    if (!atlas) {
        std::mt19937 random(static_cast<std::uint32_t>(maps));
        std::vector<MapContent> contents;
        MapContent shortNames;
        shortNames.cities.push_back({u"Ash", 0, 0});
        for (const char16_t* name : {u"Elm", u"Oak", u"Yew", u"Fir Way"})
            shortNames.streets.push_back({name, 0, 0});
        contents.push_back(shortNames);
        for (int m = 0; m < maps; ++m)
            contents.push_back(SearchTest::randomContent(random, 100, StreetsPerMap, 200));
        atlas = std::make_unique<FixtureAtlas>(contents);
    }
    return *atlas;
}

std::vector<Map::KvMap*> mapsOf(FixtureAtlas& atlas) {
    return std::vector<Map::KvMap*>(atlas.set.maps().begin(), atlas.set.maps().end());
}

// A memory figure of /proc/self/status in KiB: "VmHWM:" the peak resident
// size since the last reset, "VmRSS:" the resident size now.
long statusKiB(const std::string& wanted) {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == wanted) {
            status >> value;
            return value;
        }
        status.ignore(256, '\n');
    }
    return 0;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void indexBuild(benchmark::State& state) {
    FixtureAtlas& atlas = atlasOf(static_cast<int>(state.range(0)));
    TestSupport::CaptureLogger quiet(Log::Critical);
    const auto file = atlas.dir / "TextSearch.tsi";
    long peak = 0;
    for (auto _ : state) {
        std::filesystem::remove(file);
        resetPeak();
        const long before = statusKiB("VmRSS:");
        TextSearch::IndexManager manager(atlas.set);
        benchmark::DoNotOptimize(manager.load(atlas.pool, atlas.folder()));
        peak = std::max(peak, statusKiB("VmHWM:") - before);
    }
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file));
    state.counters["peak_extra_KiB"] = static_cast<double>(peak);
}
BENCHMARK(indexBuild)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

// The same build on the real town of the build's data folder.
void indexBuildMonaco(benchmark::State& state) {
    TestSupport::TempDir dir;
    const auto map = dir / "monaco.kvm";
    std::filesystem::copy_file(std::filesystem::path(MIREL_MONACO_ATLAS_DIR) / "monaco.kvm", map);
    Core::ResourcesPool pool(20);
    SearchTest::FixtureMap monaco(pool, map);
    Map::MapSet set;
    set.add(&monaco);
    TestSupport::CaptureLogger quiet(Log::Critical);
    const auto file = dir / "TextSearch.tsi";
    long peak = 0;
    for (auto _ : state) {
        std::filesystem::remove(file);
        resetPeak();
        const long before = statusKiB("VmRSS:");
        TextSearch::IndexManager manager(set);
        benchmark::DoNotOptimize(manager.load(pool, SearchTest::wide(dir.path())));
        peak = std::max(peak, statusKiB("VmHWM:") - before);
    }
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file));
    state.counters["peak_extra_KiB"] = static_cast<double>(peak);
    state.counters["streets"] = monaco.addressReader().streetCount();
}
BENCHMARK(indexBuildMonaco)->Unit(benchmark::kMillisecond);

// Words of the data that are long enough to type past the depth.
std::vector<std::u16string> queryWords(FixtureAtlas& atlas, std::size_t minimum) {
    std::vector<std::u16string> words;
    std::mt19937 random(3);
    while (words.size() < 16) {
        std::u16string name = SearchTest::randomName(random);
        name = name.substr(0, name.find(u' '));
        if (name.size() >= minimum) words.push_back(name);
    }
    (void)atlas;
    return words;
}

struct Session {
    Session() : atlas(atlasOf(50)) {
        engine.attach(mapsOf(atlas), atlas.folder(), atlas.pool);
        // Each map's first city as the filter.
        for (std::uint32_t m = 0; m < atlas.set.size(); ++m)
            cityFilter.push_back({m, 4});
    }
    TestSupport::CaptureLogger quiet{Log::Critical};
    FixtureAtlas& atlas;
    TextSearch::Engine engine;
    std::vector<Map::MapAndOffset> cityFilter;
};

Session& session() {
    static Session s;
    return s;
}

// The keystroke at position (depth + offset) of each query word: typing the
// earlier keys is not timed. range(0): offset from the depth (-2 below, 0
// at: builds the word tree, 1 above); range(1): 1 with the city filter.
void keystroke(benchmark::State& state) {
    Session& s = session();
    const bool filtered = state.range(1) != 0;
    auto setUp = [&] {
        if (filtered)
            s.engine.search(TextSearch::StreetsKind, TextSearch::CityFilter, s.cityFilter);
        else
            s.engine.search(TextSearch::StreetsKind, 0, {});
    };
    setUp();
    const std::uint32_t depth = s.engine.indexDepth();
    const std::size_t position = static_cast<std::size_t>(static_cast<long>(depth) + state.range(0));
    const std::vector<std::u16string> words = queryWords(s.atlas, position + 1);
    std::size_t next = 0;
    std::uint64_t hits = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::u16string& word = words[next++ % words.size()];
        setUp();
        for (std::size_t k = 0; k < position; ++k)
            s.engine.addKey(std::u16string(1, word[k]));
        state.ResumeTiming();
        s.engine.addKey(std::u16string(1, word[position]));
        hits += s.engine.count();
        TextSearch::Letters letters;
        s.engine.nextLetters(letters);
        benchmark::DoNotOptimize(letters.data());
    }
    state.counters["index"] = s.engine.indexInUse() ? 1 : 0;
    state.counters["depth"] = depth;
    state.counters["hits_per_key"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}
BENCHMARK(keystroke)
    ->ArgsProduct({{-2, 0, 1}, {0, 1}})
    ->ArgNames({"from_depth", "filter"})
    ->Iterations(40) // the untimed typing before the key costs far more than the key
    ->Unit(benchmark::kMicrosecond);

// The same street names in an SQLite FTS5 table; prefix queries of the
// lengths the keystrokes above reach, counting and reading the rows.
struct Fts {
    Fts() {
        sqlite3_open(":memory:", &db);
        sqlite3_exec(db, "CREATE VIRTUAL TABLE streets USING fts5(name)", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO streets(name) VALUES (?)", -1, &insert, nullptr);
        FixtureAtlas& atlas = atlasOf(50);
        for (Map::KvMap* map : atlas.set.maps()) {
            Map::File::AddressSectionReader& address = map->addressReader();
            for (std::uint32_t i = 0; i < address.streetCount(); ++i) {
                Map::File::StreetRecord street;
                std::u16string name;
                if (!address.readStreet(4 + 39 * i, street) ||
                    !map->stringsReader().stringAt(street.name, name))
                    continue;
                const std::string utf8 = Core::wideToUtf8(name);
                sqlite3_bind_text(insert, 1, utf8.c_str(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
                sqlite3_step(insert);
                sqlite3_reset(insert);
                ++rows;
            }
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    ~Fts() { sqlite3_close(db); }
    sqlite3* db = nullptr;
    long rows = 0;
};

void fts5Prefix(benchmark::State& state) {
    static Fts fts;
    Session& s = session();
    s.engine.search(TextSearch::StreetsKind, 0, {});
    const std::size_t length =
        static_cast<std::size_t>(static_cast<long>(s.engine.indexDepth()) + state.range(0)) + 1;
    const std::vector<std::u16string> words = queryWords(s.atlas, length);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(fts.db, "SELECT rowid, name FROM streets WHERE streets MATCH ?", -1, &query, nullptr);
    std::size_t next = 0;
    std::uint64_t hits = 0;
    for (auto _ : state) {
        std::string prefix(1, '"');
        prefix.append(Core::wideToUtf8(words[next++ % words.size()].substr(0, length))).append("\"*");
        sqlite3_bind_text(query, 1, prefix.c_str(), static_cast<int>(prefix.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(query) == SQLITE_ROW)
            ++hits;
        sqlite3_reset(query);
    }
    sqlite3_finalize(query);
    state.counters["table_rows"] = static_cast<double>(fts.rows);
    state.counters["hits_per_query"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}
BENCHMARK(fts5Prefix)->Arg(-2)->Arg(0)->Arg(1)->ArgName("from_depth")->Unit(benchmark::kMicrosecond);

} // namespace
