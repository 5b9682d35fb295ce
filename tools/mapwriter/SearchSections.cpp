#include "tools/mapwriter/SearchSections.h"

#include "tools/mapwriter/SpatialSearchWriter.h"
#include "tools/mapwriter/TextSearchWriter.h"

namespace MapWriting {

// The text search over the map's cities, streets and POIs, and the spatial
// search over its objects (tree 1: POIs and houses by type, tree 2: houses).
void addSearchSections(MapDescription& map) {
    const AddressBuilder& address = map.address;
    TextSearchDescription text;
    for (std::size_t i = 0; i < address.cities.size(); ++i)
        addNameWords(text.entries[0], map.strings, address.cities[i].refs[0],
                 static_cast<std::uint32_t>(4 + 28 * i), 0);
    for (std::size_t i = 0; i < address.streets.size(); ++i)
        addNameWords(text.entries[1], map.strings, address.streets[i].refs[0],
                 static_cast<std::uint32_t>(4 + 39 * i), 0);
    SpatialSearchDescription spatial;
    spatial.version = 2;
    for (std::size_t i = 0; i < address.objects.size(); ++i) {
        const ObjectDescription& object = address.objects[i];
        const std::uint32_t offset = address.objectOffsets[i];
        if (object.type != HouseType)
            addNameWords(text.entries[2], map.strings, object.name, offset, object.type);
        spatial.tree1.objects.push_back({{object.x, object.y, object.x, object.y}, object.type, offset});
        if (object.type == HouseType)
            spatial.tree2.objects.push_back({{object.x, object.y, object.x, object.y}, 0, offset});
    }
    map.sections.push_back({17, 1, encodeTextSearch(text).bytes});
    map.sections.push_back({18, 2, encodeSpatialSearch(spatial)});
}

} // namespace MapWriting
