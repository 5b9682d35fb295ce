#include "tools/mapwriter/SearchSections.h"

#include "tools/mapwriter/SpatialSearchWriter.h"
#include "tools/mapwriter/TextSearchWriter.h"

namespace MapWriting {

void addSearchSections(MapDescription& map, SpatialSearchDescription spatial, std::int32_t houseMargin,
                       const std::vector<TextSearchEntry>& extraPoiEntries) {
    const AddressBuilder& address = map.address;
    TextSearchDescription text;
    for (std::size_t i = 0; i < address.cities.size(); ++i)
        addNameWords(text.entries[0], map.strings, address.cities[i].refs[0],
                     static_cast<std::uint32_t>(4 + 28 * i), 0);
    for (std::size_t i = 0; i < address.streets.size(); ++i)
        addNameWords(text.entries[1], map.strings, address.streets[i].refs[0],
                     static_cast<std::uint32_t>(4 + 39 * i), 0);
    for (std::size_t i = 0; i < address.objects.size(); ++i) {
        const ObjectDescription& o = address.objects[i];
        const std::uint32_t offset = address.objectOffsets[i];
        if (o.type != HouseType) addNameWords(text.entries[2], map.strings, o.name, offset, o.type);
        spatial.tree1.objects.push_back({{o.x, o.y, o.x, o.y}, o.type, offset});
        if (o.type == HouseType)
            spatial.tree2.objects.push_back(
                {{o.x - houseMargin, o.y - houseMargin, o.x + houseMargin, o.y + houseMargin}, 0, offset});
    }
    text.entries[2].insert(text.entries[2].end(), extraPoiEntries.begin(), extraPoiEntries.end());
    map.sections.push_back({17, 1, encodeTextSearch(text).bytes});
    map.sections.push_back({18, spatial.version, encodeSpatialSearch(spatial)});
}

} // namespace MapWriting
