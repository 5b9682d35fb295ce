// A tree built for typed keys only holds, under every node those keys reach,
// exactly what the whole tree holds there: the same letters, the same items
// in the same order, objects merged the same way.

#include "core/Text.h"
#include "search/SearchTree.h"
#include "tests/search/SearchFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

using TextSearch::SearchTreeBuilder;
using TextSearch::SearchTreeNode;

namespace {

// Letters, then items (refs or waypoint names), of a subtree.
std::string describe(const SearchTreeNode* node) {
    if (node == nullptr) return "-";
    std::string out = "[";
    if (node->items)
        for (const TextSearch::TreeItem& item : *node->items) {
            if (const auto* refs = std::get_if<TextSearch::ObjectRefs>(&item))
                for (const Map::MapAndOffset& r : *refs)
                    out.append(std::to_string(r.map)).append(":").append(std::to_string(r.offset)).append(",");
            else
                out.append(Core::wideToUtf8(std::get<Map::WayPoint>(item).name)).append(",");
            out.append(";");
        }
    for (const auto& [letter, child] : node->children())
        out.append(Core::wideToUtf8(std::u16string(1, letter))).append(describe(child));
    return out + "]";
}

// Every node the keys spell from the root, as the engine walks them.
std::vector<const SearchTreeNode*> reached(const SearchTreeNode* root, const std::vector<std::u16string>& keys) {
    std::vector<const SearchTreeNode*> nodes{root};
    for (const std::u16string& key : keys) {
        std::vector<const SearchTreeNode*> next;
        for (const SearchTreeNode* node : nodes)
            for (char16_t c : key)
                if (const SearchTreeNode* child = SearchTreeNode::find(node, Core::toLower(c));
                    child != nullptr && std::find(next.begin(), next.end(), child) == next.end())
                    next.push_back(child);
        nodes = std::move(next);
    }
    return nodes;
}

std::size_t nodeCount(const SearchTreeNode* node) {
    std::size_t n = node != nullptr ? 1 : 0;
    if (node != nullptr)
        for (const auto& [letter, child] : node->children())
            n += nodeCount(child);
    return n;
}

TEST(SearchTree, TypedKeysKeepWhatTheirNodesHold) {
    std::mt19937 random(SearchTest::seed(77));
    std::size_t wholeNodes = 0, cutNodes = 0;
    // Names of few syllables (so that words share prefixes), some with
    // separators and status words, some a single unsplittable word.
    const std::u16string extras[] = {u"-Ber", u", st", u" Al", u"/Anber", u"", u"", u""};
    for (int round = 0; round < 40; ++round) {
        std::vector<std::pair<std::u16string, Map::MapAndOffset>> objects;
        std::vector<std::u16string> identities;
        for (std::uint32_t i = 0; i < 300; ++i) {
            std::u16string name = SearchTest::randomName(random) + extras[random() % std::size(extras)];
            objects.push_back({name, {static_cast<std::uint32_t>(random() % 3), 4 + 8 * i}});
            // Few identities: objects of different maps merge often.
            identities.push_back(std::u16string(1, static_cast<char16_t>(u'a' + random() % 4)));
        }
        std::vector<Map::WayPoint> points(20);
        for (std::size_t i = 0; i < points.size(); ++i) {
            points[i].name = SearchTest::randomName(random);
            points[i].point = {static_cast<std::int32_t>(i), 0};
        }
        // Keys as typed: the word's letters, sometimes with a second letter.
        const std::u16string word = SearchTest::randomName(random);
        std::vector<std::u16string> keys;
        const std::size_t typed = 1 + random() % 4;
        for (std::size_t k = 0; k < typed && k < word.size(); ++k) {
            std::u16string key(1, word[k]);
            if (random() % 3 == 0) key += u"aErl"[random() % 4];
            keys.push_back(key);
        }
        auto identity = [&](const Map::MapAndOffset& ref) { return identities[(ref.offset - 4) / 8]; };
        std::unique_ptr<SearchTreeNode> whole, cut;
        SearchTreeBuilder all(whole, identity), some(cut, identity);
        some.keepOnlyTyped(keys);
        // Objects may come twice, as under two prefixes of an index walk.
        for (int pass = 0; pass < 2; ++pass)
            for (const auto& [name, ref] : objects)
                if (pass == 0 || random() % 4 == 0) {
                    all.addObject(name, ref);
                    some.addObject(name, ref);
                }
        for (const Map::WayPoint& point : points) {
            all.addWayPoint(point);
            some.addWayPoint(point);
        }
        SCOPED_TRACE(Core::wideToUtf8(word) + " round " + std::to_string(round));
        wholeNodes += nodeCount(whole.get());
        cutNodes += nodeCount(cut.get());
        const auto expected = reached(whole.get(), keys);
        const auto got = reached(cut.get(), keys);
        ASSERT_EQ(expected.size(), got.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(describe(expected[i]), describe(got[i]));
        // A name is passed over only when none of its words is entered.
        for (const auto& [name, ref] : objects) {
            std::unique_ptr<SearchTreeNode> alone;
            SearchTreeBuilder one(alone, identity);
            one.keepOnlyTyped(keys);
            one.addObject(name, ref);
            EXPECT_TRUE(alone == nullptr || one.mayEnter(name)) << Core::wideToUtf8(name);
        }
    }
    // What the keys cannot reach is left out.
    EXPECT_LT(cutNodes * 5, wholeNodes);
}

TEST(SearchTree, KeptLettersFoldAndStopAtTheUnfoldable) {
    std::unique_ptr<SearchTreeNode> root;
    SearchTreeBuilder builder(root, {});
    builder.keepOnlyTyped({u"Gx", u"R"});
    const std::pair<std::u16string, bool> cases[] = {
        {u"Grove", true},     {u"gr", true},       {u"G", false}, {u"Oak Grove", true}, {u"Oak-gRove", true},
        {u"Oakgrove", false}, {u"xr Lane", true},  {u"", false},  {u"Ga Rd", false},
    };
    for (const auto& [name, enters] : cases)
        EXPECT_EQ(builder.mayEnter(name), enters) << Core::wideToUtf8(name);
}

// One word that many objects share: the items past the first few are found
// by identity, and come out as the plain rule makes them (an object joins
// the first item of its identity without an object of its map; an object
// entered again changes nothing).
TEST(SearchTree, ManyObjectsOfOneWordMergeByTheRule) {
    std::mt19937 random(SearchTest::seed(78));
    for (const std::uint32_t objects : {5u, 15u, 16u, 17u, 200u}) {
        std::unique_ptr<SearchTreeNode> root;
        std::vector<std::pair<std::u16string, TextSearch::ObjectRefs>> expected;
        for (std::uint32_t i = 0; i < objects * 2; ++i) {
            const Map::MapAndOffset ref{static_cast<std::uint32_t>(random() % 3), 4 + 8 * (i % objects)};
            // Few identities, or (in a crowded node) enough that some share
            // a bucket of the node's identity index.
            const std::uint32_t identities = objects > 100 ? 150 : 3, n = (ref.offset / 8) % identities;
            const std::u16string identity{static_cast<char16_t>(u'a' + n % 26),
                                          static_cast<char16_t>(u'a' + n / 26)};
            SearchTreeNode::insertObject(root, u"Elm", ref, identity);
            bool placed = false;
            for (auto& [id, refs] : expected) {
                if (id != identity) continue;
                if (std::find(refs.begin(), refs.end(), ref) != refs.end()) {
                    placed = true;
                    break;
                }
                if (std::none_of(refs.begin(), refs.end(), [&](const auto& r) { return r.map == ref.map; })) {
                    refs.push_back(ref);
                    placed = true;
                    break;
                }
            }
            if (!placed) expected.push_back({identity, {ref}});
        }
        const SearchTreeNode* node =
            SearchTreeNode::find(SearchTreeNode::find(SearchTreeNode::find(root.get(), u'e'), u'l'), u'm');
        ASSERT_NE(node, nullptr);
        ASSERT_EQ(node->items->size(), expected.size()) << objects;
        // A crowded node is looked up by identity, a small one item by item.
        EXPECT_EQ(node->indexedByIdentity(), expected.size() >= 16) << objects;
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(std::get<TextSearch::ObjectRefs>((*node->items)[i]), expected[i].second)
                << objects << " " << i;
    }
}

// Words entered in any order: every node's children come out ascending by
// letter, each found by its letter, over more nodes than one pool chunk
// holds; the tree's items are those of a plain set of the words.
TEST(SearchTree, ChildrenAscendAndAreFoundWhateverTheOrderOfEntry) {
    std::mt19937 random(SearchTest::seed(79));
    std::unique_ptr<SearchTreeNode> root;
    std::set<std::u16string> words;
    for (std::uint32_t i = 0; i < 600; ++i) {
        std::u16string word;
        for (std::uint32_t n = 1 + random() % 5; n > 0; --n)
            word += static_cast<char16_t>(u"zaQmb\u0416\u0436"[random() % 7]);
        SearchTreeNode::insertObject(root, word, {0, 4 + 8 * i}, u"");
        std::u16string folded = word;
        for (char16_t& c : folded)
            c = Core::toLower(c);
        words.insert(folded);
    }
    std::size_t ends = 0;
    std::function<void(const SearchTreeNode*, const std::u16string&)> check = [&](const SearchTreeNode* node,
                                                                                  const std::u16string& path) {
        if (node->items) {
            EXPECT_TRUE(words.count(path)) << Core::wideToUtf8(path);
            ++ends;
        }
        char16_t last = 0;
        for (const auto& [letter, child] : node->children()) {
            EXPECT_LT(last, letter) << Core::wideToUtf8(path);
            last = letter;
            EXPECT_EQ(SearchTreeNode::find(node, letter), child);
            check(child, path + letter);
        }
        EXPECT_EQ(SearchTreeNode::find(node, u'y'), nullptr);
    };
    check(root.get(), u"");
    EXPECT_EQ(ends, words.size());
    EXPECT_GT(nodeCount(root.get()), 128u);
    EXPECT_EQ(SearchTreeNode::count(root.get()), 600u);
}

} // namespace
