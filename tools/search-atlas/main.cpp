// Types texts into the text-search engine of an atlas folder key by key,
// as a user does on the find page, and prints the result rows after each
// key: a tool for people checking the search.
//
//   search-atlas ATLAS_FOLDER [--kind K] [--types T,T...] [--rows N] TEXT...
//
// K: countries, regions, districts, cities, streets (default), pois. Each
// TEXT is one search from an empty query; each character is one key, and
// "[abc]" is one key of several letters. A key that leaves no hit is taken
// back, as the find page does. The folder is left as it is: the engine
// works on a scratch folder of links to its map files, with a copy of the
// folder's TextSearch.tsi when it has one (else the index is built there),
// so neither an index nor a search history is written into it.

#include "core/FileFinder.h"
#include "core/ResourcesPool.h"
#include "core/SimpleHeap.h"
#include "core/Text.h"
#include "map/IndexSourceList.h"
#include "map/KVMap2.h"
#include "search/Engine.h"
#include "tools/ScratchFolder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: search-atlas ATLAS_FOLDER [--kind countries|regions|districts|cities|streets|pois] "
                 "[--types T,T...] [--rows N] TEXT...\n");
    return 2;
}

std::string utf8(const std::u16string& text) {
    return Core::wideToUtf8(text);
}

// The keys of a text: one per character, "[...]" one key of its letters.
std::vector<std::u16string> keysOf(const std::u16string& text) {
    std::vector<std::u16string> keys;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'[') {
            const std::size_t end = text.find(u']', i);
            if (end != std::u16string::npos) {
                keys.push_back(text.substr(i + 1, end - i - 1));
                i = end;
                continue;
            }
        }
        keys.push_back(std::u16string(1, text[i]));
    }
    return keys;
}

void printRows(TextSearch::Engine& engine, std::size_t limit) {
    std::vector<TextSearch::ResultItem> rows;
    engine.collectResults(rows);
    for (std::size_t i = 0; i < rows.size() && i < limit; ++i) {
        const TextSearch::ResultItem& row = rows[i];
        const auto* refs = std::get_if<std::vector<Map::MapAndOffset>>(&row.objects);
        std::string maps;
        if (refs != nullptr)
            for (const Map::MapAndOffset& ref : *refs)
                maps.append(" ").append(std::to_string(ref.map)).append(":").append(std::to_string(ref.offset));
        std::printf("    %s | %s | (%d, %d) |%s\n", utf8(row.text).c_str(), utf8(row.detail).c_str(),
                    row.point.x, row.point.y, maps.c_str());
    }
    if (rows.size() > limit) std::printf("    ... %zu rows in all\n", rows.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string folder = argv[1];
    int kind = TextSearch::StreetsKind;
    TextSearch::PoiTypes types;
    std::size_t rowLimit = 10;
    std::vector<std::u16string> texts;
    const std::map<std::string, int> kinds = {{"countries", 1}, {"regions", 2},  {"districts", 3},
                                              {"cities", 17},   {"streets", 18}, {"pois", 19}};
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--kind" && i + 1 < argc) {
            const auto found = kinds.find(argv[++i]);
            if (found == kinds.end()) return usage();
            kind = found->second;
        } else if (arg == "--types" && i + 1 < argc) {
            for (char* p = argv[++i]; *p != 0;) {
                types.push_back(static_cast<std::uint16_t>(std::strtoul(p, &p, 0)));
                if (*p == ',')
                    ++p;
                else if (*p != 0)
                    return usage();
            }
        } else if (arg == "--rows" && i + 1 < argc) {
            rowLimit = std::strtoul(argv[++i], nullptr, 10);
        } else {
            texts.push_back(Core::utf8ToWide(arg));
        }
    }
    if (texts.empty()) return usage();
    if (types.empty())
        for (unsigned t = 0; t < 0xFFFF; ++t) // every type but houses
            types.push_back(static_cast<std::uint16_t>(t));

    const std::filesystem::path atlasFolder = std::filesystem::absolute(folder);
    const std::u16string where = Core::utf8ToWide(atlasFolder.string());
    Core::ResourcesPool pool(20);
    Core::SimpleHeap heap(64u << 20);
    std::vector<std::unique_ptr<Map::KVMap2>> maps;
    std::vector<Map::KvMap*> list;
    const Map::IndexSourceList files = Map::IndexSourceList::collect(where, u"*.kvm", {});
    for (const Map::IndexSourceList::Record& file : files.records) {
        const std::u16string path = where + u"/" + file.name;
        try {
            auto map = std::make_unique<Map::KVMap2>(path, pool, heap);
            if (!map->open(path, file.name, static_cast<std::uint32_t>(file.time))) {
                std::fprintf(stderr, "skipping %s: not a usable map\n", utf8(file.name).c_str());
                continue;
            }
            list.push_back(map.get());
            maps.push_back(std::move(map));
        } catch (const std::exception& error) {
            std::fprintf(stderr, "skipping %s: %s\n", utf8(file.name).c_str(), error.what());
        }
    }
    if (maps.empty()) {
        std::fprintf(stderr, "no map in %s\n", folder.c_str());
        return 1;
    }
    // The engine writes its index and history where its maps lie: here a
    // folder of links, whose file times are the maps'.
    Tools::ScratchFolder scratch("mirel-search");
    std::error_code error;
    for (const std::unique_ptr<Map::KVMap2>& map : maps) {
        const std::filesystem::path file = Core::wideToUtf8(map->filePath());
        std::filesystem::create_symlink(file, scratch.path / file.filename(), error);
    }
    if (std::filesystem::is_regular_file(atlasFolder / "TextSearch.tsi"))
        std::filesystem::copy_file(atlasFolder / "TextSearch.tsi", scratch.path / "TextSearch.tsi", error);
    TextSearch::Engine engine;
    if (!engine.attach(list, Core::utf8ToWide(scratch.path.string()), pool))
        std::fprintf(stderr, "the folder's map files are not the maps opened: searching without the index\n");
    std::printf("%zu maps, index %s\n", maps.size(), engine.indexManager().isOpen() ? "open" : "not open");

    for (const std::u16string& text : texts) {
        if (kind == TextSearch::PoisKind)
            engine.searchPois(0, {}, nullptr, types);
        else
            engine.search(kind, 0, {});
        std::printf("%s: %s, index depth %u\n", utf8(text).c_str(), engine.indexInUse() ? "index" : "tree",
                    engine.indexDepth());
        for (const std::u16string& key : keysOf(text)) {
            engine.addKey(key);
            std::uint32_t hits = engine.count();
            if (hits == 0) {
                engine.removeKey();
                std::printf("  key '%s' finds nothing: taken back\n", utf8(key).c_str());
                continue;
            }
            TextSearch::Letters letters;
            const bool complete = engine.nextLetters(letters);
            std::printf("  key '%s': \"%s\" of %zu variants, %u hits, next letters \"%s\"%s\n",
                        utf8(key).c_str(), utf8(engine.text()).c_str(), engine.variantCount(), hits,
                        utf8(std::u16string(letters.begin(), letters.end())).c_str(),
                        complete ? "" : " (cut short)");
            printRows(engine, rowLimit);
        }
        engine.reset();
    }
    return 0;
}
