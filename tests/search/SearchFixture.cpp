#include "tests/search/SearchFixture.h"

#include "core/Text.h"
#include "search/NameSplitter.h"
#include "tools/mapwriter/MapWriter.h"
#include "tools/mapwriter/SearchSections.h"
#include "tools/mapwriter/SpatialSearchWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace SearchTest {

using namespace MapWriting;

MapDescription describe(const MapContent& c) {
    MapDescription map;
    map.mapId = 1;
    StringTable& s = map.strings;
    AddressBuilder& a = map.address;
    LevelDescription level;
    Cell cell;
    cell.points.push_back({s.add(u"Here"), 0, 1, {0, 0}});
    level.cells.push_back(cell);
    map.levels.push_back(level);
    const std::uint32_t country = a.addCountry(s.add(c.country));
    for (const std::u16string& name : c.moreCountries)
        a.addCountry(s.add(name));
    const std::uint32_t region = a.addRegion(s.add(c.region), country);
    for (const std::u16string& name : c.moreRegions)
        a.addRegion(s.add(name), country);
    const std::uint32_t district = a.addDistrict(s.add(c.district), country, region);
    std::vector<std::uint32_t> cities, streets;
    for (const MapContent::City& city : c.cities)
        cities.push_back(a.addCity(s.add(city.name), country, region, district, city.x, city.y));
    for (const MapContent::Street& street : c.streets) {
        const MapContent::City& city = c.cities.at(street.city);
        streets.push_back(
            a.addStreet(s.add(street.name), country, region, district, cities[street.city], city.x, city.y));
        for (int h = 1; h <= street.houses; ++h)
            a.addHouse(streets.back(), s.add(std::to_string(h)), city.x + h, city.y - h);
    }
    for (const MapContent::Poi& poi : c.pois) {
        ObjectDescription object;
        object.name = s.add(poi.name);
        object.city = cities.at(poi.city);
        object.street = poi.street < 0 ? 0 : streets.at(static_cast<std::size_t>(poi.street));
        object.type = poi.type;
        object.addressText = poi.address.empty() ? 0 : s.add(poi.address);
        object.x = poi.x;
        object.y = poi.y;
        a.addObject(object);
    }
    if (c.text) {
        map.sections.push_back({17, 1, encodeTextSearch(*c.text).bytes});
        map.sections.push_back({18, 2, encodeSpatialSearch({})});
    } else {
        addSearchSections(map);
    }
    return map;
}

void writeMap(const std::filesystem::path& file, const MapContent& content) {
    writeMapFile(file, describe(content));
}

std::u16string wide(const std::filesystem::path& path) {
    return Core::utf8ToWide(path.string());
}

FixtureMap::FixtureMap(Core::ResourcesPool& pool, const std::filesystem::path& file)
    : m_path(wide(file)), m_name(wide(file.filename())), m_file(pool, m_path) {}

FixtureAtlas::FixtureAtlas(const std::vector<MapContent>& contents) : count(contents.size()) {
    for (std::size_t i = 0; i < contents.size(); ++i)
        writeMap(file(i), contents[i]);
    reopen();
}

void FixtureAtlas::reopen() {
    set.clear();
    maps.clear();
    for (std::size_t i = 0; i < count; ++i) {
        maps.push_back(std::make_unique<FixtureMap>(pool, file(i)));
        set.add(maps.back().get());
    }
}

std::u16string FixtureAtlas::folder() const {
    return wide(dir.path());
}

std::filesystem::path FixtureAtlas::file(std::size_t map) const {
    char name[16];
    std::snprintf(name, sizeof name, "m%02zu.kvm", map);
    return dir / name;
}

std::u16string randomName(std::mt19937& random) {
    static const std::u16string syllables[] = {
        u"an",           u"ber",          u"cal",          u"dor",          u"el",           u"fen",
        u"gar",          u"hol",          u"lin",          u"mor",          u"nor",          u"ros",
        u"\u043a\u0430", u"\u043b\u0438", u"\u043c\u043e", u"\u0440\u043e", u"\u0441\u0451", u"\u0432\u0430"};
    std::u16string name;
    const int words = 1 + static_cast<int>(random() % 3);
    std::vector<std::u16string> used;
    for (int w = 0; w < words; ++w) {
        const int parts = 1 + static_cast<int>(random() % 3);
        std::u16string word;
        for (int p = 0; p < parts; ++p)
            word += syllables[random() % std::size(syllables)];
        word[0] = Core::toUpper(word[0]);
        // Distinct words: a word twice in one name is one key of the tree
        // but two items of the map.
        if (std::find(used.begin(), used.end(), word) != used.end()) continue;
        used.push_back(word);
        // Words meet at a space mostly, else at a hyphen, a dot, a bracket
        // or an apostrophe (which is no separator: "Ber'Lin" is one word).
        static const std::u16string joins[] = {u" ", u" ", u" ", u"-", u". ", u" (", u"'"};
        name += (name.empty() ? u"" : joins[random() % std::size(joins)]) + word;
    }
    return name;
}

MapContent randomContent(std::mt19937& random, int cities, int streets, int pois) {
    MapContent c;
    for (int i = 0; i < cities; ++i)
        c.cities.push_back({randomName(random), static_cast<std::int32_t>(random() % 100000),
                            static_cast<std::int32_t>(random() % 100000)});
    for (int i = 0; i < streets && cities > 0; ++i)
        c.streets.push_back({randomName(random), static_cast<std::uint32_t>(random() % cities),
                             static_cast<int>(random() % 3)});
    for (int i = 0; i < pois && cities > 0; ++i) {
        MapContent::Poi poi;
        poi.name = randomName(random);
        poi.type = static_cast<std::uint16_t>(1 + random() % 4);
        poi.city = static_cast<std::uint32_t>(random() % cities);
        poi.street = streets > 0 && random() % 2 ? static_cast<int>(random() % streets) : -1;
        poi.x = static_cast<std::int32_t>(random() % 100000);
        poi.y = static_cast<std::int32_t>(random() % 100000);
        c.pois.push_back(poi);
    }
    return c;
}

std::uint32_t seed(std::uint32_t fallback) {
    const char* text = std::getenv("MIREL_TEST_SEED");
    return text != nullptr ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : fallback;
}

std::string rowText(const TextSearch::ResultItem& row) {
    std::string s = Core::wideToUtf8(row.text) + " | " + Core::wideToUtf8(row.detail);
    if (const auto* refs = std::get_if<std::vector<Map::MapAndOffset>>(&row.objects))
        for (const Map::MapAndOffset& r : *refs)
            s.append(" ").append(std::to_string(r.map)).append(":").append(std::to_string(r.offset));
    return s;
}

std::vector<std::u16string> wordsOf(const std::u16string& name) {
    struct Words : Map::TextSearch::NameSplitter {
        std::vector<std::u16string> found;
        void onWord(std::size_t, std::u16string_view word) override { found.emplace_back(word); }
    } words;
    words.split(name);
    if (words.found.empty()) words.found.push_back(name);
    return words.found;
}

} // namespace SearchTest
