// atlas.xml as the atlas reads it back after a load.
#include "map/AtlasXml.h"
#include "tests/fuzz/FuzzInput.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    std::vector<Map::AtlasXml::Map> maps;
    std::vector<std::u16string> gone;
    if (!Map::AtlasXml::read(FuzzInput::scratchFile("atlas.xml", data, size), maps, nullptr, &gone))
        return 0;
    for (const auto& map : maps)
        if (map.type >= 7)
            __builtin_trap(); // a map type the atlas cannot use was accepted
    if (gone.size() > Map::AtlasXml::MaxGone)
        __builtin_trap(); // more gone files than a start names
    for (const std::u16string& name : gone)
        if (!Map::AtlasXml::isPlainFileName(name) || std::count(gone.begin(), gone.end(), name) != 1)
            __builtin_trap(); // a path out of the atlas folder, a control character, or a name twice
    return 0;
}
