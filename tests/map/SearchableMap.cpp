#include "tests/map/MapFixture.h"

#include "tools/mapwriter/SearchSections.h"
#include "tools/mapwriter/SpatialSearchWriter.h"
#include "tools/mapwriter/TextSearchWriter.h"

namespace MapTest {

using namespace MapWriting;

MapDescription searchableMap() {
    MapDescription m = sampleMap();
    const AddressBuilder& ad = m.address;
    TextSearchDescription text;
    for (std::size_t i = 0; i < ad.cities.size(); ++i)
        addNameWords(text.entries[0], m.strings, ad.cities[i].refs[0], static_cast<std::uint32_t>(4 + 28 * i), 0);
    for (std::size_t i = 0; i < ad.streets.size(); ++i)
        addNameWords(text.entries[1], m.strings, ad.streets[i].refs[0], static_cast<std::uint32_t>(4 + 39 * i), 0);

    SpatialSearchDescription spatial;
    spatial.version = 2;
    spatial.headerWord = 1;
    spatial.tree1.maxEntries = 3;
    spatial.tree2.maxEntries = 2;
    for (std::size_t i = 0; i < ad.objects.size(); ++i) {
        const ObjectDescription& o = ad.objects[i];
        const std::uint32_t offset = ad.objectOffsets[i];
        if (o.type != HouseType)
            addNameWords(text.entries[2], m.strings, o.name, offset, o.type);
        spatial.tree1.objects.push_back({{o.x, o.y, o.x, o.y}, o.type, offset});
        if (o.type == HouseType)
            spatial.tree2.objects.push_back({{o.x - 1, o.y - 1, o.x + 1, o.y + 1}, 0, offset});
    }
    // A second POI type under the same words, so the type filters matter.
    text.entries[2].push_back({u"Cafe", 9999, 1, 0, 0, 0, 7});
    m.sections.push_back({17, 1, encodeTextSearch(text).bytes});
    m.sections.push_back({18, 2, encodeSpatialSearch(spatial)});
    return m;
}

} // namespace MapTest
