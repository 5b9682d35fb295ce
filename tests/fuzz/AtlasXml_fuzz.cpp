// atlas.xml as the atlas reads it back after a load.
#include "map/AtlasXml.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    std::vector<Map::AtlasXml::Map> maps;
    std::vector<std::u16string> gone;
    if (Map::AtlasXml::read(FuzzInput::scratchFile("atlas.xml", data, size), maps, nullptr, &gone))
        for (const auto& map : maps)
            if (map.type >= 7)
                __builtin_trap(); // a map type the atlas cannot use was accepted
    return 0;
}
