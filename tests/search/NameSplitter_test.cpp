// Cutting names into words, and what the in-memory tree keeps of them.

#include "search/NameSplitter.h"
#include "search/SearchTree.h"

#include "core/Text.h"

#include <gtest/gtest.h>

using TextSearch::SearchTreeBuilder;
using TextSearch::SearchTreeNode;

namespace {

// The words under which a name ends up in the tree.
std::vector<std::u16string> wordsOf(const std::u16string& name) {
    std::unique_ptr<SearchTreeNode> root;
    SearchTreeBuilder(root, {}).addObject(name, {0, 4});
    std::vector<std::u16string> words;
    std::u16string path;
    std::function<void(const SearchTreeNode*)> walk = [&](const SearchTreeNode* node) {
        if (node->items && node != root.get()) words.push_back(path);
        for (const auto& [letter, child] : node->children()) {
            path.push_back(letter);
            walk(child);
            path.pop_back();
        }
    };
    if (root) walk(root.get());
    return words;
}

TEST(NameSplitter, WordsOfNames) {
    using Words = std::vector<std::u16string>;
    const struct {
        std::u16string name;
        Words words;
    } cases[] = {
        {u"\u0423\u043b. \u0421\u0430\u0434\u043e\u0432\u0430\u044f",
         {u"\u0441\u0430\u0434\u043e\u0432\u0430\u044f"}},
        {u"Linden", {u"linden"}},
        {u"Mill Lane", {u"lane", u"mill"}},
        // The status word goes, the digit is too short: no word, the whole
        // name is entered.
        {u"\u0443\u043b. 5", {u"\u0443\u043b. 5"}},
        {u"Park Road B", {u"park", u"road"}},
        {u"A-1", {u"a-1"}},
        {u"1st Avenue", {u"1st", u"avenue"}},
        {u"Avenue ST (North)", {u"avenue", u"north"}},
        {u"\u041d\u043e\u0432\u044b\u0439 \u043f\u0435\u0440", {u"\u043d\u043e\u0432\u044b\u0439"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wordsOf(c.name), c.words) << Core::wideToUtf8(c.name);
    EXPECT_EQ(Map::TextSearch::statusWords().size(), 49u);
}

// The splitter's own test of a word against the status words, in any case,
// and against short words near them (same length, same first letters),
// as the folded set tells.
TEST(NameSplitter, KeepsWhatTheStatusWordSetDoesNotHold) {
    struct Splitter : Map::TextSearch::NameSplitter {
        void onWord(std::size_t, std::u16string_view) override {}
    } splitter;
    const auto& status = Map::TextSearch::statusWords();
    std::vector<std::u16string> words;
    for (const std::u16string& w : status) {
        std::u16string upper = w;
        for (char16_t& c : upper)
            c = Core::toUpper(c);
        std::u16string longer = w, shorter = w, otherFirst = w;
        longer.push_back(u'a');
        shorter.pop_back();
        otherFirst.front() = u'\u0451';
        words.insert(words.end(), {w, upper, longer, shorter, otherFirst});
        for (char16_t c : {u'a', u'\u0430', u'\u044f', u'T', u'\u0401'}) {
            std::u16string otherLast = w;
            otherLast.back() = c;
            words.push_back(otherLast);
        }
    }
    for (const char16_t* w : {u"", u"s", u"St", u"sT", u"1st", u"\u00e9t", u"ab", u"\u0410\u041e"})
        words.push_back(w);
    for (const std::u16string& w : words)
        EXPECT_EQ(splitter.keeps(w), w.size() >= 2 && status.count(w) == 0) << Core::wideToUtf8(w);
}

TEST(SearchTree, EntersAnObjectAndAWayPointOnce) {
    std::unique_ptr<SearchTreeNode> root;
    // Map 1 holds the same object as map 0, map 2 another one.
    int asked = 0;
    SearchTreeBuilder builder(root, [&](const Map::MapAndOffset& ref) {
        ++asked;
        return ref.map == 2 ? u"other" : u"main";
    });
    builder.addObject(u"Main Street", {0, 4});
    builder.addObject(u"Main Street", {0, 4});
    builder.addObject(u"Main Street", {1, 8});
    builder.addObject(u"Main Street", {2, 8});
    builder.addObject(u"Main Road", {0, 43});
    Map::WayPoint home{0, u"Home", u"", 7, {5, 6}};
    builder.addWayPoint(home);
    builder.addWayPoint(home);
    const SearchTreeNode* main = root.get();
    for (char16_t c : std::u16string(u"main"))
        main = SearchTreeNode::find(main, c);
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(main->items->size(), 3u);
    EXPECT_EQ(std::get<TextSearch::ObjectRefs>((*main->items)[0]), (TextSearch::ObjectRefs{{0, 4}, {1, 8}}));
    EXPECT_EQ(SearchTreeNode::count(SearchTreeNode::find(root.get(), u'h')), 1u);
    EXPECT_EQ(SearchTreeNode::count(root.get()), 3u + 2u + 1u + 1u); // main, street, road, home
    std::vector<const TextSearch::TreeItem*> items;
    SearchTreeNode::gather(main, items);
    std::stable_sort(items.begin(), items.end(),
                     [](const auto* a, const auto* b) { return SearchTreeNode::itemLess(*a, *b); });
    EXPECT_EQ(std::get<TextSearch::ObjectRefs>(*items[1]).front(), (Map::MapAndOffset{0, 43}));
    EXPECT_EQ(asked, 5); // once per object entered
}

} // namespace
