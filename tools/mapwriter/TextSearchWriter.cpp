#include "tools/mapwriter/TextSearchWriter.h"

#include "core/Text.h"
#include "map/file/NameTree.h"
#include "search/NameSplitter.h"

#include <algorithm>
#include <stdexcept>

namespace MapWriting {

using Map::ItemsGroup;
using Map::TextSearch::TreeNode;

namespace {

using Bytes = std::vector<std::uint8_t>;

void putField(Bytes& out, std::uint32_t v, std::uint32_t width) {
    for (std::uint32_t i = 0; i < width; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t offsetOf(std::size_t at) {
    if (at > 0xFFFFFFFFu)
        throw std::invalid_argument("text search section larger than 4 GB");
    return static_cast<std::uint32_t>(at);
}

// The forced code, or 2 when every value fits 16 bits.
unsigned pickCode(const std::optional<unsigned>& forced, std::uint64_t largest, const char* what) {
    if (forced) {
        if (*forced != 0 && *forced != 2)
            throw std::invalid_argument(std::string(what) + ": width code is 0 or 2");
        if (*forced == 2 && largest > 0xFFFF)
            throw std::invalid_argument(std::string(what) + ": values do not fit 16 bits");
        return *forced;
    }
    return largest <= 0xFFFF ? 2 : 0;
}

std::uint32_t widthOf(unsigned code) { return code == 2 ? 2 : 4; }

bool startsWith(const std::u16string& key, const std::u16string& prefix) {
    return key.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
}

// [first, last) of the sorted keys that begin with `prefix`.
std::pair<std::size_t, std::size_t> prefixRange(const std::vector<std::u16string>& keys, std::size_t from,
                                                std::size_t to, const std::u16string& prefix) {
    const auto begin = keys.begin() + static_cast<std::ptrdiff_t>(from);
    const auto end = keys.begin() + static_cast<std::ptrdiff_t>(to);
    const auto lo = std::lower_bound(begin, end, prefix);
    auto hi = lo;
    while (hi != end && startsWith(*hi, prefix))
        ++hi;
    return {static_cast<std::size_t>(lo - keys.begin()), static_cast<std::size_t>(hi - keys.begin())};
}

struct EncodedTree {
    Bytes block;
    unsigned groupCode = 0;
    unsigned offsetCode = 0;
};

EncodedTree encodeTree(const BuiltNameTree& tree, const std::optional<unsigned>& groupCode,
                       const std::optional<unsigned>& offsetCode) {
    EncodedTree out;
    if (tree.nodes.empty())
        return out;
    std::uint64_t largest = 0;
    for (const TreeNode& node : tree.nodes)
        largest = std::max<std::uint64_t>({largest, node.group.first, node.group.count});
    out.groupCode = pickCode(groupCode, largest, "tree groups");
    // Child offsets stay below the size of the 16-bit-offset layout.
    const std::uint64_t narrowSize =
        Map::File::NameTree::encodedSize(tree.nodes.size(), tree.leafCount, 4 * out.groupCode + 2);
    out.offsetCode = pickCode(offsetCode, narrowSize, "tree offsets");
    Map::File::NameTree::encode(tree.nodes, tree.depth, tree.rootCount, tree.leafCount,
                                4 * out.groupCode + out.offsetCode, out.block);
    return out;
}

} // namespace

BuiltNameTree buildNameTree(const std::vector<std::u16string>& keys) {
    BuiltNameTree tree;
    for (const std::u16string& key : keys)
        if (key.empty())
            throw std::invalid_argument("empty search key");
    if (!std::is_sorted(keys.begin(), keys.end()))
        throw std::invalid_argument("search keys not sorted");

    // Level by level: a node is the range of keys beginning with its prefix.
    struct Pending {
        std::size_t first, last, length;
    };
    struct Made {
        std::size_t first, last, length;
        std::size_t firstChild = 0, childCount = 0;
    };
    std::vector<Made> made;
    std::vector<Pending> level;
    auto childrenOf = [&](std::size_t first, std::size_t last, std::size_t length, std::vector<Pending>& out) {
        std::size_t i = first;
        while (i < last && keys[i].size() == length)
            ++i; // the prefix itself sorts before its extensions
        while (i < last) {
            const char16_t c = keys[i][length];
            std::size_t j = i;
            while (j < last && keys[j].size() > length && keys[j][length] == c)
                ++j;
            out.push_back({i, j, length + 1});
            i = j;
        }
    };
    childrenOf(0, keys.size(), 0, level);
    tree.rootCount = static_cast<std::uint32_t>(level.size());
    while (!level.empty()) {
        ++tree.depth;
        tree.leafCount = static_cast<std::uint32_t>(level.size());
        const std::size_t levelStart = made.size();
        for (const Pending& p : level)
            made.push_back({p.first, p.last, p.length});
        std::vector<Pending> next;
        for (std::size_t i = levelStart; i < made.size(); ++i) {
            const std::size_t before = next.size();
            childrenOf(made[i].first, made[i].last, made[i].length, next);
            made[i].firstChild = made.size() + before;
            made[i].childCount = next.size() - before;
        }
        level = std::move(next);
    }
    if (tree.depth > 0xFFFF || tree.rootCount > 0xFFFF)
        throw std::invalid_argument("name tree too deep or too wide");
    tree.nodes.resize(made.size());
    for (std::size_t i = 0; i < made.size(); ++i) {
        const Made& m = made[i];
        TreeNode& node = tree.nodes[i];
        node.character = keys[m.first][m.length - 1];
        node.group = {static_cast<std::uint32_t>(m.first), static_cast<std::uint32_t>(m.last - m.first)};
        if (m.childCount > 0xFFFF)
            throw std::invalid_argument("name tree node with more than 65535 children");
        if (m.childCount != 0) {
            node.children = tree.nodes.data() + m.firstChild;
            node.childCount = static_cast<std::uint32_t>(m.childCount);
        }
        tree.prefixes.push_back(keys[m.first].substr(0, m.length));
    }
    return tree;
}

EncodedTextSearch encodeTextSearch(const TextSearchDescription& d) {
    EncodedTextSearch result;
    // Item tables: cities and streets by key, POIs by type then key, so
    // that the POIs of one type under any prefix form one range.
    for (int c = 0; c < 3; ++c) {
        result.items[c] = d.entries[c];
        for (TextSearchEntry& e : result.items[c])
            for (char16_t& unit : e.key)
                unit = Core::toLower(unit);
        std::stable_sort(result.items[c].begin(), result.items[c].end(),
                         [c](const TextSearchEntry& a, const TextSearchEntry& b) {
                             if (c == 2 && a.poiType != b.poiType)
                                 return a.poiType < b.poiType;
                             return a.key < b.key;
                         });
    }
    std::uint64_t largestId = 0;
    for (const auto& items : result.items)
        for (const TextSearchEntry& e : items)
            largestId = std::max<std::uint64_t>({largestId, e.nameId, e.secondNameId});
    const unsigned stringCode = pickCode(d.stringCode, largestId, "string ids");

    std::array<unsigned, 3> objectCodes{};
    for (int c = 0; c < 3; ++c) {
        std::uint64_t largest = 0;
        for (const TextSearchEntry& e : result.items[c])
            largest = std::max<std::uint64_t>(largest, e.objectOffset);
        objectCodes[c] = pickCode(d.objectCodes[c], largest, "object offsets");
    }

    // Trees of cities and streets: groups index the item table.
    std::array<EncodedTree, 3> trees;
    for (int c = 0; c < 2; ++c) {
        std::vector<std::u16string> keys;
        for (const TextSearchEntry& e : result.items[c])
            keys.push_back(e.key);
        trees[c] = encodeTree(buildNameTree(keys), d.groupCodes[c], d.offsetCodes[c]);
    }

    // POI tree over the distinct keys; each node's group is its run of the
    // type table, one entry per type with items under the prefix.
    std::vector<std::u16string> poiKeys; // per item, in item order
    for (const TextSearchEntry& e : result.items[2])
        poiKeys.push_back(e.key);
    std::vector<std::u16string> distinct = poiKeys;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    BuiltNameTree poiTree = buildNameTree(distinct);
    std::vector<std::pair<std::size_t, std::size_t>> typeRuns; // item ranges of one type
    for (std::size_t i = 0; i < poiKeys.size();) {
        std::size_t j = i;
        while (j < poiKeys.size() && result.items[2][j].poiType == result.items[2][i].poiType)
            ++j;
        typeRuns.push_back({i, j});
        i = j;
    }
    for (std::size_t n = 0; n < poiTree.nodes.size(); ++n) {
        const auto first = static_cast<std::uint32_t>(result.typeTable.size());
        for (const auto& [from, to] : typeRuns) {
            const auto [lo, hi] = prefixRange(poiKeys, from, to, poiTree.prefixes[n]);
            if (hi > lo)
                result.typeTable.push_back({{static_cast<std::uint32_t>(lo), static_cast<std::uint32_t>(hi - lo)},
                                            result.items[2][from].poiType});
        }
        poiTree.nodes[n].group = {first, static_cast<std::uint32_t>(result.typeTable.size()) - first};
    }
    trees[2] = encodeTree(poiTree, d.groupCodes[2], d.offsetCodes[2]);
    std::uint64_t largestType = 0;
    for (const Map::PoiTypeGroup& g : result.typeTable)
        largestType = std::max<std::uint64_t>({largestType, g.group.first, g.group.count});
    const unsigned typeCode = pickCode(d.typeTableCode, largestType, "type table");

    auto& w = result.header;
    w[0] = stringCode | (objectCodes[0] << 2) | (objectCodes[1] << 4) | (objectCodes[2] << 6) |
           (trees[0].groupCode << 8) | (trees[0].offsetCode << 10) | (trees[1].groupCode << 12) |
           (trees[1].offsetCode << 14) | (typeCode << 16) | (trees[2].groupCode << 18) |
           (trees[2].offsetCode << 20);
    Bytes& out = result.bytes;
    out.assign(60, 0);
    auto putItems = [&](int c) {
        const std::uint32_t objectWidth = widthOf(objectCodes[c]);
        const std::uint32_t stringWidth = widthOf(stringCode);
        for (const TextSearchEntry& e : result.items[c]) {
            putField(out, e.objectOffset, objectWidth);
            putField(out, e.nameId, stringWidth);
            putField(out, e.secondNameId, stringWidth);
            out.push_back(e.position1);
            out.push_back(e.position2);
        }
    };
    auto putTree = [&](int c, int word) {
        w[word] = offsetOf(out.size());
        w[word + 1] = offsetOf(trees[c].block.size());
        out.insert(out.end(), trees[c].block.begin(), trees[c].block.end());
    };
    for (int c = 0; c < 2; ++c) {
        w[1 + 4 * c] = offsetOf(out.size());
        w[2 + 4 * c] = static_cast<std::uint32_t>(result.items[c].size()); // item count; not read
        putItems(c);
        putTree(c, 3 + 4 * c);
    }
    w[9] = offsetOf(out.size());
    w[10] = static_cast<std::uint32_t>(result.items[2].size());
    putItems(2);
    w[11] = offsetOf(out.size());
    for (const Map::PoiTypeGroup& g : result.typeTable) {
        putField(out, g.type, 2);
        putField(out, g.group.first, widthOf(typeCode));
        putField(out, g.group.count, widthOf(typeCode));
    }
    w[12] = offsetOf(out.size() - w[11]);
    putTree(2, 13);
    for (int i = 0; i < 15; ++i)
        for (int b = 0; b < 4; ++b)
            out[4 * i + b] = static_cast<std::uint8_t>(w[i] >> (8 * b));
    return result;
}

void addNameWords(std::vector<TextSearchEntry>& out, StringTable& strings, std::uint32_t nameId,
                  std::uint32_t objectOffset, std::uint16_t poiType) {
    const std::u16string name = strings.text(nameId);
    // The keys are the words the search's own tree enters for the name, so
    // that a word is found the same way whether the index answers or not.
    struct Words : Map::TextSearch::NameSplitter {
        std::vector<std::pair<std::size_t, std::u16string>> found;
        void onWord(std::size_t position, std::u16string_view word) override {
            found.emplace_back(position, std::u16string(word));
        }
    } words;
    words.split(name);
    if (words.found.empty() && !name.empty())
        words.found.emplace_back(0, name);
    for (const auto& [start, word] : words.found) {
        TextSearchEntry entry;
        entry.key = word;
        entry.objectOffset = objectOffset;
        entry.nameId = nameId;
        entry.poiType = poiType;
        // Positions are bytes: a word beyond unit 255 shows the whole name.
        if (start > 0 && start <= 255) {
            std::u16string before = name.substr(0, start);
            while (!before.empty() && Map::TextSearch::NameSplitter::Separators.find(before.back()) !=
                                          std::u16string_view::npos)
                before.pop_back();
            entry.secondNameId = strings.add(u", " + before);
            entry.position2 = static_cast<std::uint8_t>(start);
        }
        out.push_back(entry);
    }
}

} // namespace MapWriting
