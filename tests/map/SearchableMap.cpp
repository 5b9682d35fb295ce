#include "tests/map/MapFixture.h"

#include "tools/mapwriter/SearchSections.h"
#include "tools/mapwriter/SpatialSearchWriter.h"
#include "tools/mapwriter/TextSearchWriter.h"

namespace MapTest {

using namespace MapWriting;

MapDescription searchableMap() {
    MapDescription m = sampleMap();
    SpatialSearchDescription spatial;
    spatial.version = 2;
    spatial.headerWord = 1;
    spatial.tree1.maxEntries = 3;
    spatial.tree2.maxEntries = 2;
    // A second POI type under the same words, so the type filters matter.
    addSearchSections(m, spatial, 1, {{u"Cafe", 9999, 1, 0, 0, 0, 7}});
    return m;
}

} // namespace MapTest
