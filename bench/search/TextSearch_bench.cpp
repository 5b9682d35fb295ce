// The text search on generated atlases: building TextSearch.tsi (time, file
// size, peak memory) for 10 and 50 maps, and the cost of one keystroke
// below, at and above the index depth, with and without a city filter, on
// 50 maps of 2,000 streets each (100,000 streets), beside SQLite FTS5 prefix
// queries over the same street names in the same run (prefix index, the
// first page of rows, and the hit count with the next letters).
//
// One extra map holds streets of short names only: the index depth is the
// smallest depth among the maps, so it comes out at 3 and typing crosses it
// within the words of the data. The real town's index (data/maps/monaco)
// is built too.

#include "core/Text.h"
#include "search/Engine.h"
#include "search/ParentNames.h"
#include "tests/search/SearchFixture.h"
#include "tests/support/CaptureLogger.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
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

// An engine attached to the 50 maps whose index file is there: the index
// opened and checked, the history read, and every country, region,
// district and city name numbered (the numbers the key at the depth
// compares parents by); `parentNames` times that numbering alone, with
// the memory it keeps.
void engineAttach(benchmark::State& state) {
    FixtureAtlas& atlas = atlasOf(50);
    TestSupport::CaptureLogger quiet(Log::Critical);
    std::size_t parentBytes = 0;
    for (auto _ : state) {
        TextSearch::Engine engine;
        benchmark::DoNotOptimize(engine.attach(mapsOf(atlas), atlas.folder(), atlas.pool));
        parentBytes = engine.parentNames().memoryBytes();
    }
    state.counters["parent_names_KiB"] = static_cast<double>(parentBytes) / 1024.0;
}
BENCHMARK(engineAttach)->Unit(benchmark::kMillisecond);

void parentNames(benchmark::State& state) {
    FixtureAtlas& atlas = atlasOf(50);
    TestSupport::CaptureLogger quiet(Log::Critical);
    TextSearch::ParentNames names;
    for (auto _ : state)
        names.build(atlas.set);
    std::uint64_t parents = 0;
    for (Map::KvMap* map : atlas.set.maps())
        for (int table = 0; table < 4; ++table)
            parents += map->addressReader().count(table);
    state.counters["parents"] = static_cast<double>(parents);
    state.counters["names"] = names.nameCount();
    state.counters["memory_KiB"] = static_cast<double>(names.memoryBytes()) / 1024.0;
}
BENCHMARK(parentNames)->Unit(benchmark::kMillisecond);

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
// earlier keys is not timed. range(0): offset from the depth (-2 below, -1
// the key that makes the typed text as long as the depth: the letters that
// follow it lie past the index's trees, 0 at: builds the word tree, 1
// above); range(1): 1 with the city filter.
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
    ->ArgsProduct({{-2, -1, 0, 1}, {0, 1}})
    ->ArgNames({"from_depth", "filter"})
    ->Iterations(40) // the untimed typing before the key costs far more than the key
    ->Unit(benchmark::kMicrosecond);

// The same street names in an SQLite FTS5 table in memory, with a prefix
// index for 2, 3 and 4 letters, and its vocabulary table; prefix queries of
// the lengths the keystrokes above reach through prepared statements.
struct Fts {
    Fts() {
        sqlite3_open(":memory:", &db);
        sqlite3_exec(db, "CREATE VIRTUAL TABLE streets USING fts5(name, prefix='2 3 4')", nullptr, nullptr,
                     nullptr);
        sqlite3_exec(db, "CREATE VIRTUAL TABLE vocabulary USING fts5vocab(streets, 'row')", nullptr, nullptr,
                     nullptr);
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
        sqlite3_exec(db, "INSERT INTO streets(streets) VALUES ('optimize')", nullptr, nullptr, nullptr);
        prepare("SELECT rowid, name FROM streets WHERE streets MATCH ? LIMIT 10", page);
        prepare("SELECT count(*) FROM streets WHERE streets MATCH ?", count);
        prepare("SELECT term FROM vocabulary WHERE term >= ? AND term < ?", terms);
    }
    ~Fts() {
        sqlite3_finalize(page);
        sqlite3_finalize(count);
        sqlite3_finalize(terms);
        sqlite3_close(db);
    }
    void prepare(const char* sql, sqlite3_stmt*& statement) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    static void bind(sqlite3_stmt* statement, int column, const std::string& text) {
        sqlite3_bind_text(statement, column, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    // The first page of rows (10, as a result list shows them).
    std::uint64_t firstPage(const std::string& match) {
        std::uint64_t n = 0;
        bind(page, 1, match);
        while (sqlite3_step(page) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_text(page, 1));
            ++n;
        }
        sqlite3_reset(page);
        return n;
    }
    std::uint64_t hitCount(const std::string& match) {
        bind(count, 1, match);
        const std::uint64_t n = sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int64(count, 0) : 0;
        sqlite3_reset(count);
        return n;
    }
    // The letters that follow the (lower-case ASCII) prefix in the terms
    // of the vocabulary.
    std::size_t nextLetters(const std::string& prefix) {
        std::string end = prefix;
        end.back() = static_cast<char>(end.back() + 1);
        bind(terms, 1, prefix);
        bind(terms, 2, end);
        std::string letters;
        while (sqlite3_step(terms) == SQLITE_ROW) {
            const auto* term = reinterpret_cast<const char*>(sqlite3_column_text(terms, 0));
            const int size = sqlite3_column_bytes(terms, 0);
            if (static_cast<std::size_t>(size) > prefix.size() && letters.find(term[prefix.size()]) == std::string::npos)
                letters.push_back(term[prefix.size()]);
        }
        sqlite3_reset(terms);
        return letters.size();
    }
    sqlite3* db = nullptr;
    sqlite3_stmt* page = nullptr;
    sqlite3_stmt* count = nullptr;
    sqlite3_stmt* terms = nullptr;
    long rows = 0;
};

// range(0): offset from the depth as in keystroke; range(1): what is asked,
// 0 the first page of rows, 1 the hit count and the next letters, 2 all
// three (what the keyboard and the result list together show).
void fts5Prefix(benchmark::State& state) {
    static Fts fts;
    Session& s = session();
    s.engine.search(TextSearch::StreetsKind, 0, {});
    const std::size_t length =
        static_cast<std::size_t>(static_cast<long>(s.engine.indexDepth()) + state.range(0)) + 1;
    const std::vector<std::u16string> words = queryWords(s.atlas, length);
    std::vector<std::string> prefixes, matches;
    for (const std::u16string& word : words) {
        std::u16string folded = word.substr(0, length);
        for (char16_t& c : folded)
            c = Core::toLower(c);
        prefixes.push_back(Core::wideToUtf8(folded));
        matches.push_back("\"" + prefixes.back() + "\"*");
    }
    const int asked = static_cast<int>(state.range(1));
    std::size_t next = 0;
    std::uint64_t hits = 0, rows = 0, letters = 0;
    for (auto _ : state) {
        const std::size_t q = next++ % words.size();
        if (asked != 1)
            rows += fts.firstPage(matches[q]);
        if (asked != 0) {
            hits += fts.hitCount(matches[q]);
            letters += fts.nextLetters(prefixes[q]);
        }
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["table_rows"] = static_cast<double>(fts.rows);
    state.counters["hits_per_query"] = static_cast<double>(hits) / iterations;
    state.counters["rows_per_query"] = static_cast<double>(rows) / iterations;
    state.counters["letters_per_query"] = static_cast<double>(letters) / iterations;
}
BENCHMARK(fts5Prefix)
    ->ArgsProduct({{-2, -1, 0, 1}, {0, 1, 2}})
    ->ArgNames({"from_depth", "asks"})
    ->Unit(benchmark::kMicrosecond);

} // namespace
