#pragma once
// The two search sections of a map, derived from its address tables: the
// text search over its cities, streets and POIs (every word of a name is a
// key) and the spatial search over its objects (tree 1: POIs and houses by
// type, tree 2: houses). The demo atlas and the OpenStreetMap import both
// finish their maps with it.

#include "tools/mapwriter/MapDescription.h"
#include "tools/mapwriter/TextSearchWriter.h"

#include <cstdint>
#include <vector>

namespace MapWriting {

// Appends the text-search (type 17) and spatial-search (type 18, version 2)
// sections to map.sections; adds the spliced second names to map.strings.
void addSearchSections(MapDescription& map);

} // namespace MapWriting
