#include "tests/map/MapReaderWalk.h"

#include "map/Level.h"
#include "map/file/NameTree.h"

#include <algorithm>
#include <stdexcept>

namespace MapTest {

MapWriting::MapDescription vertexLayoutMap() {
    MapWriting::MapDescription map = sampleMap();
    map.roads->vertexLayout = true;
    map.roads->restrictions.clear();
    map.roads->nodes[1].vertices = 2;
    map.roads->chains[0].segments[0].transitions = {0x0140, 0x0000};
    map.roads->chains[0].segments[1].transitions = {0x00C1};
    map.roads->chains[1].segments[0].transitions = {0x0040};
    return map;
}

int walkReaders(OpenedMap& map, std::mt19937_64& random) {
    std::u16string text;
    auto& strings = *map.strings;
    const std::uint32_t count = strings.count();
    for (std::uint32_t id = 0; id <= std::min<std::uint32_t>(count, 40); ++id) {
        strings.string(id, text);
        strings.entry(id);
    }
    for (int i = 0; i < 8; ++i)
        strings.stringAt(static_cast<std::uint32_t>(random() % 400), text);
    strings.stringAt(0xFFFFFFFF, text);

    if (map.copyright) {
        std::uint32_t header[5];
        map.copyright->header(header);
        map.copyright->text(text);
    }

    MallocHeap heap(1 << 24);
    auto& geometry = *map.geometry;
    std::vector<std::uint8_t> raw(64);
    for (std::uint8_t l = 0; l < geometry.levelCount(); ++l) {
        geometry.readRaw(static_cast<std::uint32_t>(random() % 2000), raw.data(), 64);
        std::unique_ptr<Map::Level> level;
        try {
            level = std::make_unique<Map::Level>(geometry, l, heap);
        } catch (const std::runtime_error&) {
            continue;
        }
        if (!level->loadIndex())
            continue;
        Map::Level::Area& area = level->defaultArea();
        const auto x1 = static_cast<std::int32_t>(std::min<std::uint32_t>(level->width(), 6)) - 1;
        const auto y1 = static_cast<std::int32_t>(std::min<std::uint32_t>(level->height(), 6)) - 1;
        level->prepareArea(area, -3, -3, x1, y1);
        level->prepareArea(area, 1, 1, x1 + 2, y1 + 2);
        for (std::int32_t y = 0; y <= y1 + 2; ++y)
            for (std::int32_t x = 0; x <= x1 + 2; ++x) {
                level->cellValue(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
                Map::Level::CellItems items;
                if (!level->cellItems(area, x, y, items))
                    continue;
                // Walk the records the way the drawing does, stopping at a
                // record that runs past the block.
                const std::uint8_t* p = items.begin;
                while (items.end - p >= 4) {
                    const std::uint32_t size = (p[1] << 16) | p[2] | (p[3] << 8);
                    if (size < 4 || size > static_cast<std::uint32_t>(items.end - p))
                        break;
                    volatile std::uint8_t last = p[size - 1];
                    (void)last;
                    p += size;
                }
            }
        level->prepareArea(area, 5, 5, 4, 4);
    }

    auto& address = *map.address;
    Map::File::AddressHeader header;
    address.header(header);
    std::vector<std::uint32_t> list;
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(address.countryCount(), 8); ++i) {
        Map::File::CountryRecord c;
        if (address.readCountry(4 + 4 * i, c))
            strings.stringAt(c.name, text);
    }
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(address.streetCount(), 8); ++i) {
        Map::File::StreetRecord s;
        if (!address.readStreet(4 + 39 * i, s))
            continue;
        strings.stringAt(s.name, text);
        Map::File::CityRecord city;
        address.readCity(s.city, city);
        if (address.readList(s.houseList, s.houseCount, list))
            for (std::uint32_t house : list) {
                Map::File::ObjectRecord o;
                Map::File::ObjectExtras extras;
                address.readObjectWithExtras(house, o, extras);
            }
    }
    std::uint32_t objectAt = 4;
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(address.objectCount(), 8); ++i) {
        Map::File::ObjectRecord o;
        Map::File::ObjectExtras extras;
        if (!address.readObjectWithExtras(objectAt, o, extras))
            break;
        objectAt += 27 + 4 * static_cast<std::uint32_t>(__builtin_popcount(o.flags & 0xFC));
    }
    Map::File::RegionRecord region;
    Map::File::DistrictRecord district;
    address.readRegion(static_cast<std::uint32_t>(random()), region);
    address.readDistrict(static_cast<std::uint32_t>(random() % 64), district);
    address.readList(static_cast<std::uint32_t>(random()), static_cast<std::uint32_t>(random()), list);

    auto& routing = *map.routing;
    RecordingBuilder builder;
    routing.loadGraph(builder);
    std::vector<Map::File::ShapeStep> steps;
    for (std::uint32_t i = 0; i < 8; ++i)
        routing.shape(i, {static_cast<std::int32_t>(random()), 0x7FFFFFFF}, steps);
    routing.shape(0xFFFFFFFF, {0, 0}, steps);
    std::uint8_t linkClass = 0;
    std::vector<Map::File::LinkNode> links;
    routing.linkNodes(linkClass, links);
    routing.transitTable(list);
    routing.linkNodeIds(list);
    return builder.violations;
}

void walkSearch(OpenedMap& map, std::mt19937_64& random) {
    if (auto* text = map.textSearch.get()) {
        const std::vector<std::uint16_t> types{7, 42};
        std::vector<std::u16string> prefixes{u"", u"S", u"Se", u"Main", u"Street", u"C", u"Cafe", u"Caf\u00e9"};
        prefixes.push_back(std::u16string(1 + random() % 6, static_cast<char16_t>(random())));
        std::vector<char16_t> letters;
        std::vector<Map::ItemsGroup> groups;
        std::vector<Map::TextSearchItem> items;
        std::vector<Map::TextSearch::TreeNode> nodes;
        std::vector<Map::PoiTypeGroup> typeGroups;
        std::uint32_t roots = 0, depth = 0;
        for (int category = -1; category <= 3; ++category) {
            text->treeDepth(category);
            if (text->loadTree(category, nodes, roots, depth) && !nodes.empty()) {
                std::vector<std::uint8_t> block;
                Map::File::NameTree::encode(nodes, depth, roots, 1, 0, block);
            }
            for (const std::u16string& prefix : prefixes) {
                Map::ItemsGroup group;
                text->nextLetters(category, prefix, letters);
                if (text->findGroup(category, prefix, group))
                    text->readItems(category, group, items);
            }
            text->readItems(category, {static_cast<std::uint32_t>(random()), static_cast<std::uint32_t>(random() % 64)},
                            items);
        }
        text->loadPoiTree(nodes, roots, depth, typeGroups);
        for (const std::u16string& prefix : prefixes) {
            text->hasPoi(prefix, types);
            text->nextPoiLetters(prefix, types, letters);
            if (text->findPoiGroups(prefix, types, groups))
                for (const Map::ItemsGroup& group : groups)
                    text->readItems(2, group, items);
        }
    }
    if (auto* spatial = map.spatialSearch.get()) {
        for (int i = 0; i < 4; ++i) {
            const Map::Point point{static_cast<std::int32_t>(i < 2 ? 1100 + random() % 10 : random()),
                                   static_cast<std::int32_t>(i < 2 ? 2100 + random() % 10 : random())};
            NearestFew few(1 + random() % 8, i % 2 ? UINT64_MAX : 1000);
            spatial->nearest(few, point, {42, 0xFFFF});
            NearestFew more(1 + random() % 8, UINT64_MAX);
            spatial->nearestUntyped(more, point);
        }
    }
}

} // namespace MapTest
