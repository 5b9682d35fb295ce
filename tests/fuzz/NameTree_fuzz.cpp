// Name-tree blocks of the text search: decoded, searched and walked in
// every kind; a block that decodes encodes again.
#include "map/file/NameTree.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Map::File;
    FuzzInput::quietLog();
    // The block in a buffer of its exact size, so a read past it shows.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const NameTree::Block block(bytes.data(), bytes.size());
    for (unsigned kind : {0u, 1u, 10u}) {
        std::vector<Map::TextSearch::TreeNode> nodes;
        std::uint32_t roots = 0, depth = 0;
        if (NameTree::decode(block, kind, nodes, roots, depth) && !nodes.empty()) {
            std::vector<std::uint8_t> again;
            NameTree::encode(nodes, depth, roots, 1, 0, again);
        }
        for (const std::u16string key : {u"", u"A", u"AB", u"Main"}) {
            NameTree::find(block, key, kind);
            std::size_t calls = 0;
            NameTree::collect(block, key, kind, [&](char16_t, const Map::ItemsGroup&) { ++calls; });
        }
    }
    return 0;
}
