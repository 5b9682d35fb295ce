// The key at the index depth reads only the items under its own letters,
// cuts each item's text once and compares parents by numbers given to
// their names at attach: typed against an engine that reads every item of
// the depth's prefixes, cuts each name as it enters it and compares the
// parent names as read, it shows the same variants, counts,
// letters and rows in the same order, objects merged across maps alike,
// waypoints in the same places.

#include "core/Text.h"
#include "search/Engine.h"
#include "search/NameSplitter.h"
#include "tests/search/SearchFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

using namespace SearchTest;
using TextSearch::Engine;

namespace {

struct WayPoints : Map::WayPointsCollection {
    std::size_t count() const override { return points.size(); }
    const Map::WayPoint& at(std::size_t index) const override { return points.at(index); }
    std::vector<Map::WayPoint> points;
};

TEST(TextSearchEngineDepth, NarrowedKeyAtTheDepthShowsWhatTheWholeWalkShows) {
    std::mt19937 random(seed(31));
    // Keys of at most three letters put the depth at 3 for streets and POIs.
    MapContent shortKeys;
    shortKeys.cities.push_back({u"Linden", 0, 0});
    for (const char16_t* name : {u"Elm", u"Anb Ber"})
        shortKeys.streets.push_back({name, 0, 0});
    shortKeys.pois.push_back({u"Kan", 1, 0, -1, 5, 5, {}});
    // Four maps of the same two city names: streets of one name in one
    // city merge across maps, and a map may hold such a street twice; but
    // not with a Linden of another district, nor with an "ASTON" (names
    // compare unfolded).
    std::vector<MapContent> contents{shortKeys};
    for (int m = 0; m < 4; ++m) {
        MapContent c = randomContent(random, 2, 400, 400);
        c.cities[0].name = u"Linden";
        c.cities[1].name = m == 3 ? u"ASTON" : u"Aston";
        if (m == 2) c.district = u"Linden Parish";
        for (int i = 0; i < 60; ++i)
            c.streets.push_back(contents.size() > 1 && i % 2 ? contents[1].streets[i] : c.streets[i]);
        // Names whose two words share their first three letters: the walk
        // of the depth's prefix meets such a street first under the word
        // that the typed letter does not continue.
        for (int i = 0; i < 80; ++i) {
            const std::u16string word = wordsOf(c.streets[i].name).front();
            if (word.size() < 4) continue;
            c.streets.push_back({word.substr(0, 3) + u"z" + u" " + word, c.streets[i].city, 0});
            c.streets.push_back({word.substr(0, 3) + u"a " + word, c.streets[i].city, 0});
        }
        // Names that every rule of the splitter cuts: status words, short
        // and digit words, empty words between separators, a name without
        // a separator, a name none of whose words is kept (entered whole).
        for (int i = 0; i < 40; ++i) {
            const std::u16string word = wordsOf(c.streets[i].name).front();
            const std::u16string other = wordsOf(c.streets[i + 40].name).back();
            const std::u16string names[] = {u"\u0443\u043b. " + word,
                                            word + u" St",
                                            word + u"-A",
                                            word + u" ,  " + other + u".",
                                            u"5th " + word + u" " + word.substr(0, 1),
                                            word + other,
                                            word.substr(0, 4) + u" \u0443\u043b.",
                                            word.substr(0, 1) + u"-" + word.substr(1, 4),
                                            u"\u0443\u043b. " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)),
                                            u"St " + word.substr(0, 1) + u".",
                                            u"\u0410\u043b\u043b\u0435\u044f" + word + u" \u0430\u043b\u043b\u0435\u044f"};
            c.streets.push_back({names[i % std::size(names)], c.streets[i].city, 0});
            c.streets.push_back({names[(i + 3) % std::size(names)], c.streets[i + 1].city, 0});
        }
        contents.push_back(c);
    }
    FixtureAtlas atlas(contents);
    TestSupport::CaptureLogger quiet(Log::Critical);
    std::vector<Map::KvMap*> maps(atlas.set.maps().begin(), atlas.set.maps().end());
    Engine narrowed, whole;
    whole.setNarrowedDepth(false);
    for (Engine* e : {&narrowed, &whole})
        ASSERT_TRUE(e->attach(maps, atlas.folder(), atlas.pool));
    auto points = std::make_shared<WayPoints>();
    for (int i = 0; i < 30; ++i)
        points->points.push_back(
            {0, randomName(random), u"note", static_cast<std::uint16_t>(1 + i % 2), {i % 7, 0}});
    std::vector<Map::MapAndOffset> firstCities;
    for (std::uint32_t m = 0; m < atlas.set.size(); ++m)
        firstCities.push_back({m, 4});
    std::size_t depthKeys = 0;
    for (int query = 0; query < 90; ++query) {
        const int setUp = query % 3;
        const MapContent& source = contents[1 + random() % 4];
        // Some street queries type one of the names cut by every rule of
        // the splitter (the last 80 streets).
        const std::size_t street = query % 4 == 0 ? source.streets.size() - 1 - random() % 80
                                                  : random() % source.streets.size();
        const std::u16string name =
            setUp == 2 ? source.pois[random() % source.pois.size()].name : source.streets[street].name;
        const std::vector<std::u16string> words = wordsOf(name);
        const std::u16string word = words[random() % words.size()];
        SCOPED_TRACE(Core::wideToUtf8(word) + " set-up " + std::to_string(setUp));
        for (Engine* e : {&narrowed, &whole}) {
            if (setUp == 0) e->search(TextSearch::StreetsKind, 0, {});
            if (setUp == 1) e->search(TextSearch::StreetsKind, TextSearch::CityFilter, firstCities);
            if (setUp == 2) e->searchPois(0, {}, points, {1, 2, 3});
        }
        ASSERT_TRUE(narrowed.indexInUse());
        ASSERT_EQ(narrowed.indexDepth(), 3u);
        for (std::size_t k = 0; k < word.size() && k < 6; ++k) {
            // Keys of two or three letters make several variants.
            std::u16string key(1, word[k]);
            for (int extra = random() % 4; extra >= 2; --extra)
                key += u"aenoр"[random() % 5];
            for (Engine* e : {&narrowed, &whole})
                e->addKey(key);
            if (random() % 6 == 0)
                for (Engine* e : {&narrowed, &whole}) {
                    e->removeKey();
                    e->addKey(key);
                }
            depthKeys += k == 3 ? 1 : 0;
            ASSERT_EQ(narrowed.variantCount(), whole.variantCount()) << k;
            ASSERT_EQ(narrowed.text(), whole.text()) << k;
            EXPECT_EQ(narrowed.count(), whole.count()) << k;
            TextSearch::Letters a, b;
            narrowed.nextLetters(a);
            whole.nextLetters(b);
            EXPECT_EQ(a, b) << k;
            std::vector<TextSearch::ResultItem> rowsA, rowsB;
            narrowed.collectResults(rowsA);
            whole.collectResults(rowsB);
            ASSERT_EQ(rowsA.size(), rowsB.size()) << k;
            for (std::size_t r = 0; r < rowsA.size(); ++r)
                ASSERT_EQ(rowText(rowsA[r]), rowText(rowsB[r])) << k << " row " << r;
        }
    }
    EXPECT_GT(depthKeys, 30u);
}

// An object met under a later variant whose name holds a word under an
// earlier one is placed there: a name that is the second of its word's
// items in one map still fronts the row it shares with the same street of
// a later map.
TEST(TextSearchEngineDepth, AnObjectTakesThePlaceOfItsEarliestWord) {
    // A map of three-letter words puts the depth at 3.
    MapContent shortKeys;
    shortKeys.cities.push_back({u"Aston", 0, 0});
    shortKeys.streets.push_back({u"Elm", 0, 0});
    MapContent first, second;
    for (MapContent* c : {&first, &second})
        c->cities.push_back({u"Linden", 0, 0});
    for (const char16_t* name : {u"Elmz Oak", u"Elmz Elar"})
        first.streets.push_back({name, 0, 0});
    second.streets.push_back({u"Elmz Elar", 0, 0});
    // Enough streets for the index to be read.
    for (int i = 0; i < 1000; ++i) {
        std::u16string name = u"Qaa";
        name[1] = static_cast<char16_t>(u'a' + i % 26);
        name[2] = static_cast<char16_t>(u'a' + i / 26 % 26);
        first.streets.push_back({name, 0, 0});
    }
    FixtureAtlas atlas({shortKeys, first, second});
    TestSupport::CaptureLogger quiet(Log::Critical);
    std::vector<Map::KvMap*> maps(atlas.set.maps().begin(), atlas.set.maps().end());
    Engine engine;
    ASSERT_TRUE(engine.attach(maps, atlas.folder(), atlas.pool));
    engine.search(TextSearch::StreetsKind, 0, {});
    ASSERT_TRUE(engine.indexInUse());
    ASSERT_EQ(engine.indexDepth(), 3u);
    for (const char16_t* key : {u"e", u"l", u"ma", u"r"})
        engine.addKey(key);
    std::vector<TextSearch::ResultItem> rows;
    engine.collectResults(rows);
    std::vector<std::string> texts;
    for (const auto& row : rows)
        texts.push_back(rowText(row));
    EXPECT_EQ(texts, (std::vector<std::string>{"Elmz Elar | Linden, Linden District, Westshire 1:43 2:4"}));
}

// A POI's earlier word is looked up among the runs of its own map and
// type only: in a map whose items of one type end just where the POI's
// type begins, the word is not taken for one of that other type's run. The
// same place in two maps keeps the lower map in front.
TEST(TextSearchEngineDepth, AnEarlierWordStaysInItsOwnTypesRun) {
    // A map of two-letter keys puts the depth at 2.
    MapContent shortKeys;
    shortKeys.cities.push_back({u"Aston", 0, 0});
    shortKeys.pois.push_back({u"Ab", 1, 0, -1, 0, 0, {}});
    MapContent first, second;
    for (MapContent* c : {&first, &second}) {
        c->cities.push_back({u"Linden", 0, 0});
        // Type 1 under "ab" ends the map's type-1 items.
        c->pois.push_back({u"Abab", 1, 0, -1, 10, 10, {}});
        c->pois.push_back({u"Abcx Abaa", 2, 0, -1, 20, 20, {}});
    }
    // In the first map a type-2 key comes between: its "abaa" is not where
    // the type-1 items end; in the second it is.
    first.pois.push_back({u"Aba", 2, 0, -1, 30, 30, {}});
    // Enough POIs for the index to be read.
    for (int i = 0; i < 1000; ++i) {
        std::u16string name = u"Qaa";
        name[1] = static_cast<char16_t>(u'a' + i % 26);
        name[2] = static_cast<char16_t>(u'a' + i / 26 % 26);
        first.pois.push_back({name, 3, 0, -1, i, i, {}});
    }
    FixtureAtlas atlas({shortKeys, first, second});
    TestSupport::CaptureLogger quiet(Log::Critical);
    std::vector<Map::KvMap*> maps(atlas.set.maps().begin(), atlas.set.maps().end());
    for (bool narrowed : {true, false}) {
        Engine engine;
        engine.setNarrowedDepth(narrowed);
        ASSERT_TRUE(engine.attach(maps, atlas.folder(), atlas.pool));
        engine.searchPois(0, {}, nullptr, {1, 2});
        ASSERT_TRUE(engine.indexInUse());
        ASSERT_EQ(engine.indexDepth(), 2u);
        for (const char16_t* key : {u"a", u"b", u"c"})
            engine.addKey(key);
        std::vector<TextSearch::ResultItem> rows;
        engine.collectResults(rows);
        ASSERT_EQ(rows.size(), 1u) << narrowed;
        const auto& refs = std::get<0>(rows[0].objects);
        ASSERT_EQ(refs.size(), 2u) << narrowed;
        EXPECT_EQ(refs[0].map, 1u) << narrowed << ": the first map's POI fronts the row";
        EXPECT_EQ(refs[1].map, 2u) << narrowed;
    }
}

// The letters after a prefix as long as the depth come from the maps'
// deeper trees: a separator after the prefix (a word that ends there, a
// name entered whole) is no letter, as the walk of the items finds.
TEST(TextSearchEngineDepth, LettersAtTheDepthAreTheWalksLetters) {
    MapContent shortKeys, big;
    shortKeys.cities.push_back({u"Aston", 0, 0});
    shortKeys.streets.push_back({u"Elm", 0, 0});
    big.cities.push_back({u"Linden", 0, 0});
    for (const char16_t* name : {u"Elmwood", u"Elm-Tree", u"ELMAR Road", u"\u0423\u043b. 5", u"\u0423\u043b\u044b\u0431\u043a\u0430"})
        big.streets.push_back({name, 0, 0});
    for (int i = 0; i < 1000; ++i) {
        std::u16string name = u"Qaa";
        name[1] = static_cast<char16_t>(u'a' + i % 26);
        name[2] = static_cast<char16_t>(u'a' + i / 26 % 26);
        big.streets.push_back({name, 0, 0});
    }
    FixtureAtlas atlas({shortKeys, big});
    TestSupport::CaptureLogger quiet(Log::Critical);
    std::vector<Map::KvMap*> maps(atlas.set.maps().begin(), atlas.set.maps().end());
    Engine trees, walk;
    walk.setNarrowedDepth(false);
    const struct {
        std::u16string keys;
        TextSearch::Letters letters;
    } cases[] = {{u"elm", {u'a', u'w'}}, {u"\u0443\u043b.", {}}, {u"\u0443\u043b\u044b", {u'\u0431'}}};
    for (const auto& c : cases)
        for (const std::uint32_t filter : {TextSearch::NoFilter, TextSearch::CityFilter}) {
            SCOPED_TRACE(Core::wideToUtf8(c.keys) + " filter " + std::to_string(filter));
            for (Engine* e : {&trees, &walk}) {
                ASSERT_TRUE(e->attach(maps, atlas.folder(), atlas.pool));
                e->search(TextSearch::StreetsKind, filter, {{0, 4}, {1, 4}});
                ASSERT_EQ(e->indexDepth(), 3u);
                for (char16_t key : c.keys)
                    e->addKey(std::u16string(1, key));
            }
            TextSearch::Letters fromTrees, walked;
            EXPECT_TRUE(trees.nextLetters(fromTrees));
            EXPECT_TRUE(walk.nextLetters(walked));
            EXPECT_EQ(fromTrees, c.letters);
            EXPECT_EQ(walked, c.letters);
        }
}

} // namespace
