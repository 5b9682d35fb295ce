// A map file as the atlas opens it (container, levels, captions), then the
// mutation tests' walk of every section reader over the same bytes: levels
// and their cells' records, strings, copyright, address records, the
// routing graph and the text- and spatial-search sections.

#include "core/ResourcesPool.h"
#include "map/KVMap2.h"
#include "map/file/FormatError.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/map/MapReaderWalk.h"

#include <algorithm>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    static Core::ResourcesPool pool(10);
    {
        MapTest::MallocHeap heap;
        const std::u16string path = FuzzInput::scratchFile("m.kvm", data, size);
        try {
            Map::KVMap2 map(path, pool, heap);
            if (map.open(path, u"m.kvm", 0) && map.loadCaptions()) {
                std::u16string text;
                for (std::uint32_t i = 0; i < std::min<std::uint32_t>(map.captionCount(), 64); ++i)
                    map.stringsReader().string(i, text);
            }
        } catch (const std::exception&) {
            // Refused with a message: what the atlas logs and skips.
        }
    }
    MapTest::OpenedMap map;
    try {
        map = MapTest::openMap(std::vector<std::uint8_t>(data, data + size));
    } catch (const Map::File::FormatError&) {
        return 0;
    }
    // The walk's random choices follow the input, so a finding replays.
    std::mt19937_64 random(size);
    if (MapTest::walkReaders(map, random) != 0)
        __builtin_trap(); // an id beyond the announced counts reached the road-map builder
    MapTest::walkSearch(map, random);
    return 0;
}
