// The engine typed key by key: variants, the index path against the tree
// path, rows merged across maps, nearest POIs, houses and letter folding.

#include "core/Config.h"
#include "core/SimpleHeap.h"
#include "core/Text.h"
#include "map/KVAtlas.h"
#include "map/KVMap2.h"
#include "search/Engine.h"
#include "search/NameSplitter.h"
#include "tests/search/SearchFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace SearchTest;
using TextSearch::Engine;
using TextSearch::ResultItem;

namespace {

using Refs = std::vector<Map::MapAndOffset>;

struct Opened {
    explicit Opened(const std::vector<MapContent>& contents) : atlas(contents) {
        std::vector<Map::KvMap*> maps(atlas.set.maps().begin(), atlas.set.maps().end());
        EXPECT_TRUE(engine.attach(maps, atlas.folder(), atlas.pool));
    }
    std::vector<ResultItem> rows() {
        std::vector<ResultItem> out;
        engine.collectResults(out);
        return out;
    }
    TestSupport::CaptureLogger quiet{Log::Critical};
    FixtureAtlas atlas;
    Engine engine;
};

MapContent streets(std::vector<std::u16string> names) {
    MapContent c;
    c.cities.push_back({u"Linden", 0, 0});
    for (const std::u16string& name : names)
        c.streets.push_back({name, 0, 0});
    return c;
}

std::vector<std::string> sortedRows(const std::vector<ResultItem>& rows) {
    std::vector<std::string> out;
    for (const ResultItem& row : rows)
        out.push_back(rowText(row));
    std::sort(out.begin(), out.end());
    return out;
}

TEST(TextSearchEngine, VariantsFollowTheOldVariantsThenTheKeysLetters) {
    Opened o({streets({u"Acacia Way", u"Adler", u"Bcd", u"Bx"})});
    Engine& e = o.engine;
    e.search(TextSearch::StreetsKind, 0, {});
    EXPECT_FALSE(e.indexInUse());
    e.addKey(u"qBa");
    EXPECT_EQ(e.text(), u"b");
    EXPECT_EQ(e.variantCount(), 2u);
    e.addKey(u"cD");
    std::vector<std::u16string> seen;
    for (int i = 0; i < 4; ++i, e.nextVariant())
        seen.push_back(e.text());
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"bc", u"ac", u"ad", u"bc"}));
    EXPECT_EQ(e.count(), 3u);
    TextSearch::Letters letters;
    EXPECT_TRUE(e.nextLetters(letters));
    EXPECT_EQ(letters, (TextSearch::Letters{u'a', u'd', u'l'}));
    e.addKey(u"z");
    EXPECT_EQ(e.count(), 0u);
    EXPECT_EQ(e.text(), u"");
    e.removeKey();
    e.removeKey();
    EXPECT_EQ(e.text(), u"b");
    const std::string detail = " | Linden, Linden District, Westshire 0:";
    std::vector<std::string> rows;
    for (const ResultItem& row : o.rows())
        rows.push_back(rowText(row));
    // Variant by variant ("b", then "a"), each in item order.
    EXPECT_EQ(rows, (std::vector<std::string>{"Bcd" + detail + "82", "Bx" + detail + "121",
                                              "Acacia Way" + detail + "4", "Adler" + detail + "43"}));
}

// Taking back a key beyond the depth replays the others through the tree:
// the engine then stands where typing only those keys leaves it (the
// variants of the longer text are gone), key after key.
TEST(TextSearchEngine, TakingBackAKeyStandsWhereTheShorterTypingStands) {
    const std::vector<std::u16string> keys{u"a", u"cd", u"ao", u"cr", u"ino", u"a", u"w"};
    Opened typed({streets({u"Acacia Way", u"Acorn Street", u"Adler", u"Acacian", u"Acdc"})});
    Engine& e = typed.engine;
    e.search(TextSearch::StreetsKind, 0, {});
    for (const std::u16string& key : keys)
        e.addKey(key);
    for (std::size_t left = keys.size(); left-- > 0;) {
        e.removeKey();
        Opened fresh({streets({u"Acacia Way", u"Acorn Street", u"Adler", u"Acacian", u"Acdc"})});
        Engine& f = fresh.engine;
        f.search(TextSearch::StreetsKind, 0, {});
        for (std::size_t k = 0; k < left; ++k)
            f.addKey(keys[k]);
        EXPECT_EQ(e.variantCount(), f.variantCount()) << left << " keys";
        EXPECT_EQ(e.count(), f.count()) << left << " keys";
        for (std::size_t v = 0; v < f.variantCount(); ++v, e.nextVariant(), f.nextVariant())
            EXPECT_EQ(e.text(), f.text()) << left << " keys, variant " << v;
        TextSearch::Letters a, b;
        EXPECT_EQ(e.nextLetters(a), f.nextLetters(b));
        EXPECT_EQ(a, b) << left << " keys";
    }
}

// 999 streets search the in-memory tree; one more (a name never typed) makes
// 1000 and the index path. A second map whose street keys are two letters
// long puts the index depth at 2, so typing crosses it. Every key gives the
// same text, count, letters and rows both ways.
TEST(TextSearchEngine, IndexPathGivesTheRowsOfTheTreePath) {
    std::mt19937 random(seed(999));
    MapContent shortKeys = streets({u"Xo", u"Xu Xi", u"Xe"});
    MapContent many = randomContent(random, 5, 996, 0);
    MapContent more = many;
    more.streets.push_back({u"Zzzz", 0, 0});
    Opened tree({shortKeys, many});
    Opened index({shortKeys, more});
    for (Opened* o : {&tree, &index})
        o->engine.search(TextSearch::StreetsKind, 0, {});
    ASSERT_FALSE(tree.engine.indexInUse());
    ASSERT_TRUE(index.engine.indexInUse());
    ASSERT_EQ(index.engine.indexDepth(), 2u);
    for (int query = 0; query < 25; ++query) {
        // Any word of a name, as the splitter cuts it: a word after a
        // hyphen or a dot is found as well as the first.
        std::vector<std::u16string> words = wordsOf(many.streets[random() % many.streets.size()].name);
        std::u16string word = words[random() % words.size()];
        SCOPED_TRACE(Core::wideToUtf8(word));
        for (std::size_t k = 0; k < word.size(); ++k) {
            // Sometimes a key of two letters, sometimes a key taken back.
            std::u16string key(1, word[k]);
            if (random() % 3 == 0) key += u"\u043a\u0430abe"[random() % 5];
            for (Opened* o : {&tree, &index})
                o->engine.addKey(key);
            if (random() % 5 == 0)
                for (Opened* o : {&tree, &index}) {
                    o->engine.removeKey();
                    o->engine.addKey(key);
                }
            ASSERT_EQ(tree.engine.text(), index.engine.text()) << k;
            EXPECT_EQ(tree.engine.count(), index.engine.count()) << k;
            TextSearch::Letters a, b;
            tree.engine.nextLetters(a);
            index.engine.nextLetters(b);
            EXPECT_EQ(a, b) << k;
            EXPECT_EQ(sortedRows(tree.rows()), sortedRows(index.rows())) << k;
        }
        for (Opened* o : {&tree, &index})
            o->engine.reset();
    }
}

// A key at the index depth that no word continues with finds nothing and
// offers no letter, on both paths; taking it back finds the depth's word.
TEST(TextSearchEngine, AKeyAtTheDepthThatNothingFollowsOffersNoLetter) {
    std::mt19937 random(seed(5));
    MapContent shortKeys = streets({u"Xo", u"Xu Xi", u"Xe"});
    MapContent many = randomContent(random, 5, 996, 0);
    MapContent more = many;
    more.streets.push_back({u"Zzzz", 0, 0});
    Opened tree({shortKeys, many});
    Opened index({shortKeys, more});
    for (Opened* o : {&tree, &index}) {
        o->engine.search(TextSearch::StreetsKind, 0, {});
        for (const char16_t* key : {u"x", u"O", u"q"})
            o->engine.addKey(key);
    }
    ASSERT_TRUE(index.engine.indexInUse());
    ASSERT_EQ(index.engine.indexDepth(), 2u);
    for (Opened* o : {&tree, &index}) {
        EXPECT_EQ(o->engine.count(), 0u);
        TextSearch::Letters letters;
        o->engine.nextLetters(letters);
        EXPECT_TRUE(letters.empty());
        EXPECT_TRUE(o->rows().empty());
        o->engine.removeKey();
        EXPECT_EQ(o->engine.count(), 1u);
        EXPECT_EQ(o->engine.text(), u"xo");
    }
}

TEST(TextSearchEngine, OneObjectInTwoMapsIsOneRow) {
    MapContent city = streets({u"Main Street", u"Main Street"});
    MapContent region = streets({u"Main Street"});
    region.cities.push_back({u"Ashford", 0, 0});
    region.streets.push_back({u"Main Street", 1, 0});
    Opened o({city, region});
    o.engine.search(TextSearch::StreetsKind, 0, {});
    for (char16_t c : std::u16string(u"MAIN"))
        o.engine.addKey(std::u16string(1, c));
    const std::string detail = "Main Street | Linden, Linden District, Westshire";
    EXPECT_EQ(sortedRows(o.rows()),
              (std::vector<std::string>{"Main Street | Ashford, Linden District, Westshire 1:43",
                                        detail + " 0:4 1:4", detail + " 0:43"}));
    // A reference a stale history or index could hand over is skipped.
    EXPECT_FALSE(o.engine.sameObject({7, 4}, {0, 4}));
    EXPECT_FALSE(o.engine.hasHouses({{7, 4}}));
}

TEST(TextSearchEngine, FiltersKeepTheObjectsUnderTheirParent) {
    MapContent c = streets({u"Mill Lane"});
    c.cities.push_back({u"Ashford", 0, 0});
    c.streets.push_back({u"Mill Road", 1, 0});
    c.pois.push_back({u"Mill Cafe", 5, 1, -1, 0, 0, {}});
    Opened o({c, c});
    const std::uint32_t linden = 4, ashford = 32, country = 4;
    const struct {
        int kind;
        std::uint32_t level;
        Refs filter;
        std::vector<std::string> rows; // "text map"
    } cases[] = {
        {TextSearch::StreetsKind, TextSearch::CityFilter, {{1, ashford}}, {"Mill Road 1"}},
        {TextSearch::StreetsKind,
         TextSearch::CityFilter,
         {{0, linden}, {1, ashford}},
         {"Mill Lane 0", "Mill Road 1"}},
        {TextSearch::StreetsKind, TextSearch::CountryFilter, {{0, country}}, {"Mill Lane 0", "Mill Road 0"}},
        {TextSearch::CitiesKind, TextSearch::CityFilter, {{0, linden}}, {"Ashford 0", "Linden 0"}},
        {TextSearch::PoisKind, TextSearch::RegionFilter, {{0, 4}}, {"Mill Cafe 0"}},
        {TextSearch::PoisKind, TextSearch::DistrictFilter, {{0, 999}}, {}},
    };
    for (const auto& c : cases) {
        if (c.kind == TextSearch::PoisKind)
            o.engine.searchPois(c.level, c.filter, nullptr, {5});
        else
            o.engine.search(c.kind, c.level, c.filter);
        for (char16_t unit : std::u16string(c.kind == TextSearch::CitiesKind ? u"" : u"mill"))
            o.engine.addKey(std::u16string(1, unit));
        if (c.kind == TextSearch::CitiesKind) o.engine.addKey(u"al");
        std::vector<std::string> rows;
        for (const ResultItem& row : o.rows())
            rows.push_back(Core::wideToUtf8(row.text) + " " +
                           std::to_string(std::get<Refs>(row.objects)[0].map));
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, c.rows) << c.kind << " " << c.level;
    }
}

TEST(TextSearchEngine, FourteenNearestPoisFarthestFirst) {
    MapContent a = streets({}), b = streets({});
    for (int i = 0; i < 20; ++i) {
        MapContent& m = i % 2 ? b : a;
        m.pois.push_back({u"Poi " + Core::utf8ToWide(std::to_string(i)),
                          static_cast<std::uint16_t>(i < 18 ? 5 : 6),
                          0,
                          -1,
                          1000 + 100 * i,
                          2000,
                          {}});
    }
    Opened o({a, b});
    std::optional<Map::Point> car;
    o.engine.setCarPosition([&] { return car; });
    o.engine.searchPois(0, {}, nullptr, {5});
    EXPECT_TRUE(o.engine.isEmptyPoiQuery());
    EXPECT_TRUE(o.rows().empty()); // no car position
    car = Map::Point{1000, 2000};
    std::vector<std::u16string> names;
    for (const ResultItem& row : o.rows())
        names.push_back(row.text);
    std::vector<std::u16string> expected;
    for (int i = 13; i >= 0; --i)
        expected.push_back(u"Poi " + Core::utf8ToWide(std::to_string(i)));
    EXPECT_EQ(names, expected);
    // Collected again into the rows it filled, nothing is added.
    std::vector<ResultItem> rows;
    o.engine.collectResults(rows);
    o.engine.collectResults(rows);
    EXPECT_EQ(rows.size(), expected.size());
}

TEST(TextSearchEngine, HousesOfTheChosenStreet) {
    MapContent c = streets({u"Mill Lane", u"River Road"});
    c.streets[0].houses = 12;
    Opened o({c});
    const Refs mill{{0, 4}}, river{{0, 43}};
    EXPECT_TRUE(o.engine.hasHouses(mill));
    EXPECT_FALSE(o.engine.hasHouses(river));
    o.engine.searchHouses(mill);
    EXPECT_EQ(o.rows().size(), 12u);
    o.engine.addKey(u"1");
    EXPECT_EQ(o.engine.count(), 4u); // 1, 10, 11, 12
    o.engine.addKey(u"1");
    const std::vector<ResultItem> rows = o.rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rowText(rows[0]).rfind("11 | Mill Lane, Linden 0:", 0), 0u) << rowText(rows[0]);
}

TEST(TextSearchEngine, LettersFoldByTheCaseTableOnly) {
    MapContent c = streets({});
    for (const std::u16string name : {u"\u041a\u0430\u0444\u0435 \u0411\u0435\u0440\u0451\u0437\u043a\u0430",
                                      u"Caf\u00e9 de Paris", u"Linden Station"})
        c.pois.push_back({name, 5, 0, -1, 0, 0, {}});
    Opened o({c});
    const struct {
        std::u16string typed;
        std::uint32_t hits;
    } cases[] = {
        {u"\u041a\u0410\u0424\u0415", 1}, // КАФЕ
        {u"\u0431\u0415\u0420\u0401", 1}, // бЕРЁ: Ё folds to ё
        {u"\u0431\u0435\u0440\u0435", 0}, // е is not ё
        {u"CAF\u00e9", 1},                // é typed as é
        {u"CAFE", 0},                     // no accent folding
        {u"CAF\u00c9", 0},                // É is not in the case table
        {u"sTaT", 1},
    };
    for (const auto& c : cases) {
        o.engine.searchPois(0, {}, nullptr, {5});
        for (char16_t unit : c.typed)
            o.engine.addKey(std::u16string(1, unit));
        EXPECT_EQ(o.engine.count(), c.hits) << Core::wideToUtf8(c.typed);
    }
}

// The maps of an atlas folder the build writes, copied so the index is
// written beside the copies.
struct CopiedAtlas {
    // copies > 1: each map again as "2-name", "3-name", ... (the same town
    // in several maps, as atlases of overlapping maps hold it).
    CopiedAtlas(const std::filesystem::path& from, std::initializer_list<const char*> names, int copies = 1) {
        for (int copy = 1; copy <= copies; ++copy)
            for (const char* name : names) {
                const std::string to = copy == 1 ? name : std::to_string(copy) + "-" + name;
                std::filesystem::copy_file(from / name, dir / to);
                maps.push_back(std::make_unique<FixtureMap>(pool, dir / to));
                list.push_back(maps.back().get());
            }
        EXPECT_TRUE(engine.attach(list, wide(dir.path()), pool));
        EXPECT_TRUE(engine.indexManager().isOpen());
    }
    std::vector<ResultItem> type(const std::u16string& text) {
        for (char16_t c : text)
            engine.addKey(std::u16string(1, c));
        std::vector<ResultItem> rows;
        engine.collectResults(rows);
        return rows;
    }
    TestSupport::CaptureLogger quiet{Log::Critical};
    TestSupport::TempDir dir;
    Core::ResourcesPool pool{20};
    std::vector<std::unique_ptr<FixtureMap>> maps;
    std::vector<Map::KvMap*> list;
    Engine engine;
};

// The demo atlas the build writes: Latin and Cyrillic names, houses.
TEST(TextSearchEngine, DemoAtlasFindsItsLatinAndCyrillicNames) {
    CopiedAtlas demo(MIREL_DEMO_ATLAS_DIR, {"demo-country.kvm", "demo-region.kvm", "demo-town.kvm"});
    Engine& engine = demo.engine;
    auto type = [&](const std::u16string& text) { return demo.type(text); };
    engine.search(TextSearch::StreetsKind, 0, {});
    const std::vector<ResultItem> lane = type(u"\u0421\u0410\u0414"); // САД
    ASSERT_EQ(lane.size(), 1u);
    EXPECT_EQ(lane[0].text, u"\u0443\u043b. \u0421\u0430\u0434\u043e\u0432\u0430\u044f");
    const Refs street = std::get<Refs>(lane[0].objects);
    engine.searchPois(0, {}, nullptr, {0x2A05});
    const std::vector<ResultItem> cafe = type(u"\u0431\u0435\u0440\u0401"); // берЁ
    ASSERT_EQ(cafe.size(), 1u);
    EXPECT_EQ(cafe[0].detail, u"\u0443\u043b. \u0421\u0430\u0434\u043e\u0432\u0430\u044f 3, "
                              u"\u0443\u043b. \u0421\u0430\u0434\u043e\u0432\u0430\u044f, Linden");
    engine.search(TextSearch::CitiesKind, 0, {});
    EXPECT_EQ(type(u"LINDEN").size(), 3u); // one per map: their parents differ
    ASSERT_TRUE(engine.hasHouses(street));
    engine.searchHouses(street);
    EXPECT_EQ(type(u"").size(), 8u);
}

// The atlas hands its maps to the engine it owns at every load: the index
// is written into the atlas folder and the search runs on the atlas's maps.
TEST(TextSearchEngine, TheAtlasAttachesItsEngineAtLoad) {
    TestSupport::TempDir program;
    std::filesystem::create_directories(program / "data");
    std::filesystem::create_directories(program / "maps");
    for (const char* name : {"demo-country.kvm", "demo-region.kvm", "demo-town.kvm"})
        std::filesystem::copy_file(std::filesystem::path(MIREL_DEMO_ATLAS_DIR) / name,
                                   program / "maps" / name);
    Core::Config config;
    config.root()->set("win_main_heap", 1024);
    Core::ResourcesPool pool(10);
    Map::AtlasServices services;
    services.paths = std::make_shared<Map::FolderPaths>(wide(program.path()) + u"/");
    auto owned = std::make_unique<Engine>();
    Engine& engine = *owned;
    services.searchEngine = std::move(owned);
    TestSupport::CaptureLogger log(Log::Normal);
    Map::KVAtlas atlas(config.root(), pool, std::move(services));
    ASSERT_TRUE(atlas.load(wide(program / "maps")));
    EXPECT_TRUE(std::filesystem::exists(program / "maps" / "TextSearch.tsi"));
    EXPECT_TRUE(log.contains("Text search index loaded in "));
    engine.search(TextSearch::StreetsKind, 0, {});
    for (char16_t c : std::u16string(u"mill"))
        engine.addKey(std::u16string(1, c));
    EXPECT_EQ(engine.count(), 1u);
    EXPECT_TRUE(engine.indexManager().isOpen());
    atlas.unload();
    EXPECT_EQ(engine.maps().size(), 0u);
    EXPECT_FALSE(engine.indexManager().isOpen()) << "letting go of the maps closes the index";
}

// The folder the atlas names may be relative to the program: the index and
// the history go where the maps are.
TEST(TextSearchEngine, TheIndexGoesWhereTheMapsAre) {
    TestSupport::TempDir dir;
    Core::ResourcesPool pool(10);
    Core::SimpleHeap heap(1u << 20);
    std::vector<std::unique_ptr<Map::KVMap2>> maps;
    std::vector<Map::KVMap2*> list;
    for (const char* name : {"demo-country.kvm", "demo-town.kvm"}) {
        std::filesystem::copy_file(std::filesystem::path(MIREL_DEMO_ATLAS_DIR) / name, dir / name);
        maps.push_back(std::make_unique<Map::KVMap2>(wide(dir / name), pool, heap));
        ASSERT_TRUE(maps.back()->open(wide(dir / name), Core::utf8ToWide(name), 0));
        list.push_back(maps.back().get());
    }
    TestSupport::CaptureLogger quiet;
    Engine engine;
    engine.setAtlas(list, u"maps\\absent", pool);
    EXPECT_TRUE(engine.indexManager().isOpen());
    EXPECT_TRUE(std::filesystem::exists(dir / "TextSearch.tsi"));
    EXPECT_EQ(engine.history().path(), Map::joinPath(wide(dir.path()), u"TextSearch.tsh"));
}

// A new atlas starts from nothing: no selection, typed keys, tree, POI
// waypoints or history of the old one.
TEST(TextSearchEngine, AttachingAnotherAtlasForgetsTheOldOne) {
    struct Points : Map::WayPointsCollection {
        std::size_t count() const override { return 1; }
        const Map::WayPoint& at(std::size_t) const override { return point; }
        Map::WayPoint point{0, u"Mill Point", u"", 5, {1, 1}};
    };
    Opened o({streets({u"Mill Road"})});
    o.engine.history().addFilter(4, {{0, 1}});
    o.engine.searchPois(0, {}, std::make_shared<Points>(), {5});
    o.engine.addKey(u"m");
    EXPECT_EQ(o.engine.text(), u"m");
    FixtureAtlas other({streets({u"Oak Lane"})});
    std::vector<Map::KvMap*> maps(other.set.maps().begin(), other.set.maps().end());
    ASSERT_TRUE(o.engine.attach(maps, other.folder(), other.pool));
    EXPECT_EQ(o.engine.kind(), 0);
    EXPECT_EQ(o.engine.variantCount(), 0u);
    EXPECT_EQ(o.engine.text(), u"");
    EXPECT_EQ(o.engine.history().path(), Map::joinPath(other.folder(), u"TextSearch.tsh"));
    EXPECT_TRUE(o.engine.history().filterRing().empty());
    o.engine.search(TextSearch::PoisKind, 0, {});
    o.engine.addKey(u"m");
    EXPECT_EQ(o.engine.variantCount(), 0u);
    EXPECT_EQ(o.engine.count(), 0u);
}

// The real town: its accented names are found by the accented letter as the
// name writes it. Only ASCII and Cyrillic letters fold, so "e" does not find
// "é", and "é" does not find "É".
TEST(TextSearchEngine, MonacoFindsAccentedNamesByTheirAccentedSpelling) {
    CopiedAtlas monaco(MIREL_MONACO_ATLAS_DIR, {"monaco.kvm"});
    auto texts = [&](const std::u16string& typed) {
        monaco.engine.search(TextSearch::StreetsKind, 0, {});
        std::vector<std::u16string> out;
        for (const ResultItem& row : monaco.type(typed))
            out.push_back(row.text);
        return out;
    };
    auto has = [](const std::vector<std::u16string>& rows, const std::u16string& name) {
        return std::find(rows.begin(), rows.end(), name) != rows.end();
    };
    const std::u16string emile = u"Rue \u00c9mile de Loth";
    const std::u16string eugenie = u"Avenue Imp\u00e9ratrice Eug\u00e9nie";
    EXPECT_TRUE(has(texts(u"\u00c9mil"), emile));
    EXPECT_FALSE(has(texts(u"\u00e9mil"), emile));
    EXPECT_FALSE(has(texts(u"emil"), emile));
    EXPECT_TRUE(has(texts(u"IMP\u00e9R"), eugenie));
    EXPECT_TRUE(has(texts(u"eug\u00e9n"), eugenie));
    EXPECT_FALSE(has(texts(u"imper"), eugenie));
}

// The real town in one map (under 1,000 objects: the in-memory tree) and in
// two (the index): a word after a hyphen, a dot or a space finds its name
// both ways, and a hyphenated pair is no word of its own either way.
TEST(TextSearchEngine, MonacoFindsEveryWordOfANameInOneMapAndInTwo) {
    CopiedAtlas one(MIREL_MONACO_ATLAS_DIR, {"monaco.kvm"});
    CopiedAtlas two(MIREL_MONACO_ATLAS_DIR, {"monaco.kvm"}, 2);
    const struct {
        bool pois;
        std::u16string typed;
        std::u16string name; // empty: nothing is found
    } rows[] = {
        {false, u"Laurent", u"Avenue Saint-Laurent"},
        {false, u"Saint", u"Avenue Saint-Laurent"},
        {false, u"Saint-Laurent", u""},
        {false, u"Grimaldi", u"Rue Grimaldi"},
        {false, u"Place", u"Place de l'\u00c9glise"}, // a square: highway=pedestrian, area=yes
        {false, u"l'\u00c9glise", u"Place de l'\u00c9glise"},                // "'" joins a word
        {false, u"Princesse", u"Boulevard Princesse Charlotte"},
        {true, u"D\u00e9vote", u"Chapelle Sainte-D\u00e9vote"},
        {true, u"Sainte", u"Chapelle Sainte-D\u00e9vote"},
        {true, u"Sainte-D\u00e9vote", u""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Core::wideToUtf8(row.typed));
        std::vector<std::vector<std::u16string>> texts;
        for (CopiedAtlas* atlas : {&one, &two}) {
            if (row.pois)
                atlas->engine.searchPois(0, {}, nullptr, {0x2C0B}); // places of worship
            else
                atlas->engine.search(TextSearch::StreetsKind, 0, {});
            EXPECT_EQ(atlas->engine.indexInUse(), atlas == &two);
            std::vector<std::u16string>& found = texts.emplace_back();
            for (const ResultItem& item : atlas->type(row.typed))
                found.push_back(item.text);
            std::sort(found.begin(), found.end());
            const bool named = std::find(found.begin(), found.end(), row.name) != found.end();
            EXPECT_EQ(named, !row.name.empty()) << (atlas == &one ? "one map" : "two maps");
            atlas->engine.reset();
        }
        EXPECT_EQ(texts[0], texts[1]) << "one map against two";
    }
}

} // namespace
