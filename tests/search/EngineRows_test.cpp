// Rows of city and POI searches: a city's detail, cities merged across maps
// and kept apart by their district, waypoints among the POIs; keys taken
// back leave the engine as if only the rest had been typed.

#include "core/Text.h"
#include "search/Engine.h"
#include "tests/search/SearchFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

using namespace SearchTest;
using TextSearch::Engine;
using TextSearch::ResultItem;

namespace {

struct Opened {
    explicit Opened(const std::vector<MapContent>& contents) : atlas(contents) {
        std::vector<Map::KvMap*> maps(atlas.set.maps().begin(), atlas.set.maps().end());
        EXPECT_TRUE(engine.attach(maps, atlas.folder(), atlas.pool));
    }
    // "text | detail map:offset ..." of every row, sorted.
    std::vector<std::string> rows() {
        std::vector<ResultItem> items;
        engine.collectResults(items);
        std::vector<std::string> out;
        for (const ResultItem& row : items) {
            std::string s = Core::wideToUtf8(row.text) + " | " + Core::wideToUtf8(row.detail);
            if (const auto* refs = std::get_if<std::vector<Map::MapAndOffset>>(&row.objects))
                for (const Map::MapAndOffset& r : *refs)
                    s.append(" ").append(std::to_string(r.map));
            out.push_back(s);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    TestSupport::CaptureLogger quiet{Log::Critical};
    FixtureAtlas atlas;
    Engine engine;
};

MapContent city(std::u16string name, std::u16string district, std::u16string region = u"Westshire") {
    MapContent c;
    c.district = std::move(district);
    c.region = std::move(region);
    c.cities.push_back({std::move(name), 0, 0});
    return c;
}

TEST(TextSearchEngineRows, CitiesAreOneRowPerPlace) {
    // The second map lists another city first: the same place at another
    // offset of its own file.
    MapContent second = city(u"Aston", u"Oak District");
    second.cities.push_back({u"Linden", 0, 0});
    Opened o({city(u"Linden", u"Oak District"), second, city(u"Linden", u"Elm District"),
              city(u"Lisle", u"Lisle", u"Eastshire"), city(u"Lark", u"Lark", u"Lark")});
    o.engine.search(TextSearch::CitiesKind, 0, {});
    o.engine.addKey(u"l");
    // The same city in two maps is one row; the same name in another
    // district is another; a district or region named like the name
    // before it is left out of the detail.
    EXPECT_EQ(o.rows(), (std::vector<std::string>{"Lark | Demoland 4", "Linden | Elm District, Westshire, Demoland 2",
                                                  "Linden | Oak District, Westshire, Demoland 0 1",
                                                  "Lisle | Eastshire, Demoland 3"}));
    // Collected again into the rows it filled: every object is already
    // there, so no row is added and no row takes a reference twice.
    std::vector<ResultItem> items;
    o.engine.collectResults(items);
    const std::vector<ResultItem> once = items;
    o.engine.collectResults(items);
    ASSERT_EQ(items.size(), once.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(std::get<std::vector<Map::MapAndOffset>>(items[i].objects).size(),
                  std::get<std::vector<Map::MapAndOffset>>(once[i].objects).size())
            << Core::wideToUtf8(items[i].text);
}

// Every country of a map is listed, also in a map with fewer regions than
// countries.
TEST(TextSearchEngineRows, CountriesAreListedBeyondTheCountOfRegions) {
    MapContent c = city(u"Linden", u"Oak District");
    c.moreCountries = {u"Dorsia", u"Drava"};
    Opened o({c});
    o.engine.search(TextSearch::CountriesKind, 0, {});
    o.engine.addKey(u"d");
    EXPECT_EQ(o.rows(), (std::vector<std::string>{"Demoland |  0", "Dorsia |  0", "Drava |  0"}));
    // Regions: the table is read record by record.
    c.moreRegions = {u"Wexham", u"Wold"};
    Opened regions({c});
    regions.engine.search(TextSearch::RegionsKind, 0, {});
    regions.engine.addKey(u"w");
    EXPECT_EQ(regions.rows(),
              (std::vector<std::string>{"Westshire | Demoland 0", "Wexham | Demoland 0", "Wold | Demoland 0"}));
}

struct WayPoints : Map::WayPointsCollection {
    std::size_t count() const override { return points.size(); }
    const Map::WayPoint& at(std::size_t index) const override { return points.at(index); }
    std::vector<Map::WayPoint> points;
};

TEST(TextSearchEngineRows, WaypointsAreFoundByTheirOwnFirstLetters) {
    MapContent c = city(u"Linden", u"Oak District");
    c.pois.push_back({u"Zoo", 5, 0, -1, 10, 10, {}});
    c.pois.push_back({u"Azalea", 5, 0, -1, 10, 10, {}});
    auto points = std::make_shared<WayPoints>();
    const std::pair<const char16_t*, std::uint16_t> named[] = {{u"zed cafe", 5}, {u"Ezra", 5}, {u"Zulu", 6},
                                                               {u"ZZ top", 5}, {u"Az", 5}};
    for (const auto& [name, type] : named)
        points->points.push_back({0, name, u"note", type, {1, 2}});
    points->points.back().flag = 1; // deleted
    points->points[3].point = {5, 5};
    Opened o({c});
    o.engine.searchPois(0, {}, points, {5});
    o.engine.addKey(u"z");
    EXPECT_EQ(o.rows(), (std::vector<std::string>{"ZZ top | note", "Zoo | Linden 0",
                                                  "zed cafe | note"}));
    o.engine.addKey(u"e");
    EXPECT_EQ(o.rows(), (std::vector<std::string>{"zed cafe | note"}));

    // Past 1000 POIs the index answers for the map, and the waypoints are
    // matched by their names' beginnings.
    std::mt19937 random(seed(1000));
    Opened many({randomContent(random, 3, 0, 1000)});
    for (Map::WayPoint& p : points->points)
        p.type = 1;
    many.engine.searchPois(0, {}, points, {1});
    ASSERT_TRUE(many.engine.indexInUse());
    many.engine.addKey(u"z");
    std::vector<std::string> own;
    for (const std::string& row : many.rows())
        if (row.ends_with(" | note")) own.push_back(row);
    EXPECT_EQ(own, (std::vector<std::string>{"ZZ top | note", "Zulu | note", "zed cafe | note"}));
    // The count takes in exactly the waypoints that match.
    const std::uint32_t withWaypoints = many.engine.count();
    many.engine.searchPois(0, {}, nullptr, {1});
    many.engine.addKey(u"z");
    EXPECT_EQ(withWaypoints, many.engine.count() + own.size());
}

TEST(TextSearchEngineRows, TheIndexKeepsToTheFilter) {
    std::mt19937 random(seed(4));
    const MapContent many = randomContent(random, 3, 1000, 0);
    Opened o({many});
    const std::uint32_t firstCity = 4; // offset of the first city record
    o.engine.search(TextSearch::StreetsKind, TextSearch::CityFilter, {{0, firstCity}});
    ASSERT_TRUE(o.engine.indexInUse());
    o.engine.addKey(std::u16string(1, many.streets[0].name[0]));
    const std::vector<std::string> rows = o.rows();
    ASSERT_FALSE(rows.empty());
    const std::string city = " | " + Core::wideToUtf8(many.cities[0].name) + ",";
    for (const std::string& row : rows)
        EXPECT_NE(row.find(city), std::string::npos) << row;
}

TEST(TextSearchEngineRows, NearestPoisKeepToTheFilter) {
    MapContent c = city(u"Linden", u"Oak District");
    c.cities.push_back({u"Ashford", 0, 0});
    for (int i = 0; i < 6; ++i)
        c.pois.push_back({u"Poi " + Core::utf8ToWide(std::to_string(i)), 5, static_cast<std::uint32_t>(i % 2), -1,
                          1000 + 10 * i, 2000, {}});
    Opened o({c});
    o.engine.setCarPosition([] { return std::optional<Map::Point>(Map::Point{1000, 2000}); });
    const std::uint32_t ashford = 32;
    o.engine.searchPois(TextSearch::CityFilter, {{0, ashford}}, nullptr, {5});
    std::vector<std::string> names;
    for (const std::string& row : o.rows())
        names.push_back(row.substr(0, row.find(" |")));
    EXPECT_EQ(names, (std::vector<std::string>{"Poi 1", "Poi 3", "Poi 5"}));
}

// What the user sees of the engine: the text of each variant from the
// cursor on, and the count.
std::string state(Engine& e) {
    std::string out = std::to_string(e.count()) + ":";
    for (std::size_t i = 0; i < std::max<std::size_t>(e.variantCount(), 1); ++i, e.nextVariant())
        out.append(1, ' ').append(Core::wideToUtf8(e.text()));
    return out;
}

TEST(TextSearchEngineRows, TakingKeysBackEqualsTypingTheRest) {
    std::mt19937 random(seed(57));
    MapContent shortKeys;
    shortKeys.cities.push_back({u"Linden", 0, 0});
    for (const char16_t* name : {u"Xo", u"Xu Xi", u"Xe"})
        shortKeys.streets.push_back({name, 0, 0});
    // 1000 streets in all: the index is used, its depth 2.
    MapContent many = randomContent(random, 5, 997, 0);
    for (const bool indexed : {false, true}) {
        Opened o({shortKeys, indexed ? many : shortKeys});
        Opened fresh({shortKeys, indexed ? many : shortKeys});
        for (Opened* e : {&o, &fresh})
            e->engine.search(TextSearch::StreetsKind, 0, {});
        ASSERT_EQ(o.engine.indexInUse(), indexed);
        for (int run = 0; run < 30; ++run) {
            std::vector<std::u16string> keys;
            o.engine.reset();
            for (int step = 0; step < 6; ++step) {
                if (!keys.empty() && random() % 3 == 0) {
                    keys.pop_back();
                    o.engine.removeKey();
                } else {
                    // Two letters a key, from the names' first letters.
                    const std::u16string& name = many.streets[random() % many.streets.size()].name;
                    std::u16string key{name[std::min<std::size_t>(keys.size(), name.size() - 1)],
                                       u"xaeoiu\u043a"[random() % 7]};
                    keys.push_back(key);
                    o.engine.addKey(key);
                }
                fresh.engine.reset();
                for (const std::u16string& key : keys)
                    fresh.engine.addKey(key);
                ASSERT_EQ(state(o.engine), state(fresh.engine)) << run << " " << step << " " << indexed;
            }
        }
    }
}

} // namespace
