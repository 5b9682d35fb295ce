#include "map/file/TextSearchSectionReader.h"

#include "map/file/FormatError.h"
#include "map/file/detail/Bytes.h"

#include <algorithm>

namespace Map::File {

using detail::fits;
using detail::u16At;
using detail::u32At;
using TextSearch::TreeNode;

namespace {

// Where each category keeps its parts: header words and flag shifts.
struct CategoryLayout {
    int itemsWord;
    int treeWord; // the size word follows it
    int objectCodeShift;
    int groupCodeShift;
    int offsetCodeShift;
};

constexpr CategoryLayout Categories[3] = {
    {1, 3, 2, 8, 10},
    {5, 7, 4, 12, 14},
    {9, 13, 6, 18, 20},
};
constexpr int StringCodeShift = 0;
constexpr int TypeTableCodeShift = 16;
constexpr int TypeTableWord = 11;

std::uint32_t widthOf(unsigned code) { return code == 0 ? 4 : code == 2 ? 2 : 0; }

std::uint32_t field(const std::uint8_t* p, std::uint32_t width) { return width == 2 ? u16At(p) : u32At(p); }

void insertLetter(std::vector<char16_t>& letters, char16_t c) {
    const auto at = std::lower_bound(letters.begin(), letters.end(), c);
    if (at == letters.end() || *at != c)
        letters.insert(at, c);
}

bool wanted(const std::vector<std::uint16_t>& types, std::uint16_t type) {
    return std::binary_search(types.begin(), types.end(), type);
}

} // namespace

class TextSearchSectionReader::ImplV1 : public TextSearchSectionReader::ImplBase {
public:
    explicit ImplV1(std::shared_ptr<SectionView> view) : m_view(std::move(view)) {
        const std::uint8_t* bytes = m_view->size() < HeaderSize ? nullptr : m_view->acquire();
        if (bytes == nullptr)
            throw FormatError("Section is too small");
        for (int i = 0; i < 15; ++i)
            m_words[i] = u32At(bytes + 4 * i);
    }

    bool loadTree(int category, std::vector<TreeNode>& nodes, std::uint32_t& rootCount,
                  std::uint32_t& depth) override {
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr || category < 0 || category > 2)
            return false;
        Tree tree = treeOf(bytes, category);
        if (tree.state == Tree::None) {
            nodes.clear();
            rootCount = 0;
            depth = 0;
            return true;
        }
        return tree.state == Tree::Present && NameTree::decode(tree.block, tree.kind, nodes, rootCount, depth);
    }

    bool loadPoiTree(std::vector<TreeNode>& nodes, std::uint32_t& rootCount, std::uint32_t& depth,
                     std::vector<PoiTypeGroup>& typeGroups) override {
        if (!loadTree(PoiCategory, nodes, rootCount, depth))
            return false;
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return false;
        const TypeTable table = typeTable(bytes);
        if (!table.valid || !table.inside)
            return false;
        typeGroups.clear();
        typeGroups.reserve(table.count);
        for (std::uint64_t i = 0; i < table.count; ++i)
            typeGroups.push_back(table.entry(i));
        return true;
    }

    std::uint32_t treeDepth(int category) override {
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr || category < 0 || category > 2)
            return 0;
        // A category without a tree has depth 0 whatever its offset word
        // says.
        const Tree tree = treeOf(bytes, category);
        return tree.state == Tree::Present && tree.block.size() >= 2 ? u16At(tree.block.data()) : 0;
    }

    bool hasPoi(const std::u16string& prefix, const std::vector<std::uint16_t>& types) override {
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return false;
        const Tree tree = treeOf(bytes, PoiCategory);
        const TypeTable table = typeTable(bytes);
        if (tree.state != Tree::Present || !table.valid)
            return false;
        const ItemsGroup group = NameTree::find(tree.block, prefix, tree.kind);
        if (!table.holds(group))
            return false;
        for (std::uint32_t i = 0; i < group.count; ++i)
            if (wanted(types, table.entry(group.first + i).type))
                return true;
        return false;
    }

    bool nextLetters(int category, const std::u16string& prefix, std::vector<char16_t>& letters) override {
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr || (category != CityCategory && category != StreetCategory))
            return false;
        const Tree tree = treeOf(bytes, category);
        if (tree.state == Tree::Present)
            NameTree::collect(tree.block, prefix, tree.kind, LettersCollector{&letters});
        return true;
    }

    bool nextPoiLetters(const std::u16string& prefix, const std::vector<std::uint16_t>& types,
                        std::vector<char16_t>& letters) override {
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return false;
        const Tree tree = treeOf(bytes, PoiCategory);
        const TypeTable table = typeTable(bytes);
        if (tree.state == Tree::Present && table.valid)
            NameTree::collect(tree.block, prefix, tree.kind, PoiLettersCollector{&letters, &types, &table});
        return true;
    }

    bool findGroup(int category, const std::u16string& prefix, ItemsGroup& group) override {
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr || (category != CityCategory && category != StreetCategory))
            return false;
        group = {};
        const Tree tree = treeOf(bytes, category);
        if (tree.state != Tree::Present)
            return true;
        if (!prefix.empty())
            group = NameTree::find(tree.block, prefix, tree.kind);
        else
            NameTree::collect(tree.block, prefix, tree.kind, GroupCollector{&group});
        return true;
    }

    bool findPoiGroups(const std::u16string& prefix, const std::vector<std::uint16_t>& types,
                       std::vector<ItemsGroup>& groups) override {
        groups.clear();
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return false;
        const TypeTable table = typeTable(bytes);
        if (!table.valid)
            return false;
        const Tree tree = treeOf(bytes, PoiCategory);
        if (tree.state != Tree::Present)
            return true;
        if (prefix.empty()) {
            NameTree::collect(tree.block, prefix, tree.kind, [&](char16_t, const ItemsGroup& group) {
                collectPoiGroups(table, group, types, groups);
            });
        } else {
            const ItemsGroup group = NameTree::find(tree.block, prefix, tree.kind);
            if (!group.empty())
                collectPoiGroups(table, group, types, groups);
        }
        return true;
    }

    bool readItems(int category, const ItemsGroup& group, std::vector<TextSearchItem>& items) override {
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr || category < 0 || category > 2)
            return false;
        const CategoryLayout& c = Categories[category];
        const std::uint32_t objectWidth = widthOf(code(c.objectCodeShift));
        const std::uint32_t stringWidth = widthOf(code(StringCodeShift));
        if (objectWidth == 0 || stringWidth == 0)
            return false;
        if (group.empty()) {
            items.clear();
            return true;
        }
        const std::uint64_t itemSize = objectWidth + 2 * stringWidth + 2;
        const std::uint64_t start = m_words[c.itemsWord] + std::uint64_t{group.first} * itemSize;
        if (!fits(start, std::uint64_t{group.count} * itemSize, m_view->size()))
            return false;
        items.assign(group.count, TextSearchItem{});
        const std::uint8_t* p = bytes + start;
        for (TextSearchItem& item : items) {
            item.objectOffset = field(p, objectWidth);
            item.nameId = field(p + objectWidth, stringWidth);
            item.secondNameId = field(p + objectWidth + stringWidth, stringWidth);
            item.position1 = p[objectWidth + 2 * stringWidth];
            item.position2 = p[objectWidth + 2 * stringWidth + 1];
            p += itemSize;
        }
        return true;
    }

private:
    struct Tree {
        enum State { None, Present, Unusable } state = None;
        NameTree::Block block;
        unsigned kind = 0;
    };

    // The POI type table: u16 type, then group first and count in the width
    // of its code.
    struct TypeTable {
        bool valid = false;  // a supported width code
        bool inside = false; // lies inside the section; an outside table is used as an empty one
        const std::uint8_t* bytes = nullptr;
        std::uint64_t count = 0;
        std::uint32_t width = 0;

        std::uint32_t entrySize() const { return 2 + 2 * width; }
        bool holds(const ItemsGroup& group) const {
            return group.count != 0 && group.first <= count && group.count <= count - group.first;
        }
        PoiTypeGroup entry(std::uint64_t i) const {
            const std::uint8_t* p = bytes + i * entrySize();
            return {{field(p + 2, width), field(p + 2 + width, width)}, u16At(p)};
        }
    };

    struct LettersCollector {
        std::vector<char16_t>* letters;
        void operator()(char16_t c, const ItemsGroup& group) const {
            if (!group.empty())
                insertLetter(*letters, c);
        }
    };

    struct PoiLettersCollector {
        std::vector<char16_t>* letters;
        const std::vector<std::uint16_t>* types;
        const TypeTable* table;
        void operator()(char16_t c, const ItemsGroup& group) const {
            if (!table->holds(group))
                return;
            for (std::uint32_t i = 0; i < group.count; ++i)
                if (wanted(*types, table->entry(group.first + i).type)) {
                    insertLetter(*letters, c);
                    return;
                }
        }
    };

    // Merges the level-0 groups: they follow one another, so the first
    // non-empty one extended by the counts of the later ones spans them all.
    struct GroupCollector {
        ItemsGroup* result;
        void operator()(char16_t, const ItemsGroup& group) const {
            if (group.empty())
                return;
            if (result->empty())
                *result = group;
            else
                result->count += group.count;
        }
    };

    static void collectPoiGroups(const TypeTable& table, const ItemsGroup& group,
                                 const std::vector<std::uint16_t>& types, std::vector<ItemsGroup>& out) {
        if (!table.holds(group))
            return;
        for (std::uint32_t i = 0; i < group.count; ++i) {
            const PoiTypeGroup entry = table.entry(group.first + i);
            if (wanted(types, entry.type))
                out.push_back(entry.group);
        }
    }

    unsigned code(int shift) const { return (m_words[0] >> shift) & 3; }

    Tree treeOf(const std::uint8_t* bytes, int category) const {
        const CategoryLayout& c = Categories[category];
        Tree tree;
        const std::uint32_t offset = m_words[c.treeWord];
        const std::uint32_t size = m_words[c.treeWord + 1];
        if (size == 0)
            return tree;
        tree.kind = 4 * code(c.groupCodeShift) + code(c.offsetCodeShift);
        tree.state = fits(offset, size, m_view->size()) && NameTree::supportedKind(tree.kind) ? Tree::Present
                                                                                                : Tree::Unusable;
        if (tree.state == Tree::Present)
            tree.block = NameTree::Block(bytes + offset, size);
        return tree;
    }

    TypeTable typeTable(const std::uint8_t* bytes) const {
        TypeTable table;
        table.width = widthOf(code(TypeTableCodeShift));
        const std::uint32_t offset = m_words[TypeTableWord];
        const std::uint32_t size = m_words[TypeTableWord + 1];
        table.valid = table.width != 0;
        table.inside = fits(offset, size, m_view->size());
        if (!table.valid || !table.inside)
            return table;
        table.bytes = bytes + offset;
        table.count = size / table.entrySize();
        return table;
    }

    std::shared_ptr<SectionView> m_view;
    std::array<std::uint32_t, 15> m_words{};
};

TextSearchSectionReader::TextSearchSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view) {
    if (version != 1)
        throw FormatError("Unknown text search index section version");
    m_impl = std::make_unique<ImplV1>(std::move(view));
}

TextSearchSectionReader::~TextSearchSectionReader() = default;

} // namespace Map::File
