#pragma once
// The two search sections of a map, derived from its address tables: the
// text search over its cities, streets and POIs (every word of a name is a
// key) and the spatial search over its objects (tree 1: POIs and houses by
// type, tree 2: houses). The demo atlas and the OpenStreetMap import both
// finish their maps with it.

#include "tools/mapwriter/MapDescription.h"
#include "tools/mapwriter/SpatialSearchWriter.h"
#include "tools/mapwriter/TextSearchWriter.h"

#include <cstdint>
#include <vector>

namespace MapWriting {

// Appends the text-search (type 17) and spatial-search (type 18) sections
// to map.sections; adds the spliced second names to map.strings.
// `extraPoiEntries` join the POI keys as they are; `spatial` gives the
// version, header word and node sizes (its object lists are filled here);
// each house's box in tree 2 is grown by `houseMargin` on every side.
void addSearchSections(MapDescription& map, SpatialSearchDescription spatial = {},
                       std::int32_t houseMargin = 0,
                       const std::vector<TextSearchEntry>& extraPoiEntries = {});

} // namespace MapWriting
