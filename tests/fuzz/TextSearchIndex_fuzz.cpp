// TextSearch.tsi: opened (validated against the source list it was built
// for) and, when it opens, searched as the search pages do: next letters
// and items of every level and of POI types, for a few prefixes.
#include "core/ResourcesPool.h"
#include "search/Index.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/fuzz/FuzzSources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    static Core::ResourcesPool pool(20);
    static const Map::IndexSourceList sources = FuzzSources::textSearchSources();
    const std::size_t maps = sources.records.size();
    TextSearch::Index index(pool, FuzzInput::scratchFile("TextSearch.tsi", data, size), sources, maps);
    if (!index.valid())
        return 0;
    const TextSearch::EnabledMaps all(maps, 1);
    for (const std::u16string prefix : {u"", u"a", u"k", u"an", u"\u043a\u0430", u"ber"}) {
        TextSearch::Letters letters;
        TextSearch::ItemRanges ranges;
        for (int level = 0; level < 4; ++level) {
            index.depth(level);
            index.hasItems(level, prefix, all);
            index.nextLetters(level, prefix, letters, all);
            index.findItems(level, prefix, ranges, all);
            for (const Map::MappedGroup& r : ranges)
                if (r.map >= maps)
                    __builtin_trap();
        }
        index.hasTypedItems(prefix, {1, 2, 3, 4}, all);
        index.nextLettersOfTypes(prefix, {1, 3}, letters, all);
        index.findTypedItems(prefix, {2, 4}, ranges, all);
    }
    return 0;
}
