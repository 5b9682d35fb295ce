#include "core/RTree.h"

#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

namespace {

using Tree = Core::RTree<int>;
using Box = Tree::Box;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

std::vector<int> valuesOf(const Tree::Node& node) {
    std::vector<int> out;
    for (const auto& e : node.entries)
        out.push_back(e->value);
    return out;
}

// Checks the structure and returns the number of entries below `node`.
std::uint32_t checkNode(const Tree& tree, const Tree::Node& node, std::uint32_t level, bool isRoot) {
    EXPECT_LE(node.size(), tree.maxFill());
    if (!isRoot) {
        EXPECT_GE(node.size(), tree.minFill());
    }
    if (node.leaf) {
        EXPECT_EQ(level, tree.height()) << "leaves at different depths";
        EXPECT_TRUE(node.children.empty());
        for (const auto& e : node.entries)
            EXPECT_TRUE(node.box.contains(e->box));
        return static_cast<std::uint32_t>(node.entries.size());
    }
    EXPECT_TRUE(node.entries.empty());
    std::uint32_t count = 0;
    for (const auto& c : node.children) {
        EXPECT_TRUE(node.box.contains(c->box));
        count += checkNode(tree, *c, level + 1, false);
    }
    return count;
}

TEST(RTree, BoxArithmeticSpansTheWholePlaneWithoutOverflow) {
    const Box world{kMin, kMin, kMax, kMax};
    EXPECT_EQ(world.width(), 4294967295LL);
    EXPECT_EQ(world.margin(), 2 * 4294967295LL);
    EXPECT_EQ(world.area(), 4294967295ULL * 4294967295ULL);
    EXPECT_EQ(world.centreX(), -1);
    EXPECT_EQ((Box{-3, -3, 0, 0}.centreX()), -2); // -3 + 3 / 2, truncated
    EXPECT_TRUE(world.intersects(Box{5, 5, 5, 5}));
    EXPECT_TRUE((Box{0, 0, 10, 10}.intersects(Box{10, 10, 20, 20}))); // touching corners
    EXPECT_FALSE((Box{0, 0, 10, 10}.intersects(Box{11, 0, 20, 10})));
    EXPECT_EQ(Box::overlap(Box{0, 0, 10, 10}, Box{10, 0, 20, 10}), 0u);
    EXPECT_EQ(Box::overlap(Box{0, 0, 10, 10}, Box{5, 5, 20, 20}), 25u);
}

TEST(RTree, NinthEntryOfARootLeafSplitsItByAreaAndMargin) {
    // Even spacing: every distribution has zero overlap and the same area,
    // so the first one (4 + 5) stays; the axes tie on margin, x wins.
    Tree even(4, 8);
    for (int i = 0; i < 8; ++i)
        even.insert(Box{i * 10, 0, i * 10 + 10, 10}, i);
    EXPECT_EQ(even.height(), 1u);
    even.insert(Box{80, 0, 90, 10}, 8);
    ASSERT_EQ(even.height(), 2u);
    ASSERT_EQ(even.root()->children.size(), 2u);
    EXPECT_EQ(valuesOf(*even.root()->children[0]), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(valuesOf(*even.root()->children[1]), (std::vector<int>{4, 5, 6, 7, 8}));
    EXPECT_EQ(even.root()->box, (Box{0, 0, 90, 10}));
    EXPECT_EQ(even.root()->children[1]->box, (Box{40, 0, 90, 10}));

    // A gap after the fifth box: k = 1 (5 + 4) has the smaller area.
    Tree gap(4, 8);
    const int xs[9] = {0, 10, 20, 30, 40, 1000, 1010, 1020, 1030};
    for (int i = 0; i < 9; ++i)
        gap.insert(Box{xs[i], 0, xs[i] + 10, 10}, i);
    EXPECT_EQ(valuesOf(*gap.root()->children[0]), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(valuesOf(*gap.root()->children[1]), (std::vector<int>{5, 6, 7, 8}));

    // A column inserted out of order: sorting by x keeps that order and its
    // groups overlap, so the y axis wins on margin.
    Tree column(4, 8);
    const int ys[9] = {8, 0, 7, 1, 6, 2, 5, 3, 4};
    for (int y : ys)
        column.insert(Box{0, y * 10, 10, y * 10 + 10}, y);
    auto low = valuesOf(*column.root()->children[0]);
    std::sort(low.begin(), low.end());
    EXPECT_EQ(low, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(column.root()->children[0]->box, (Box{0, 0, 10, 40}));
}

TEST(RTree, FirstOverflowOfANonRootLeafReinsertsItsTwoFarthestEntries) {
    Tree tree(4, 8);
    for (int i = 0; i < 9; ++i)
        tree.insert(Box{i * 10, 0, i * 10 + 10, 10}, i);
    // These touch or miss the first leaf at least as much as the second,
    // so each goes to the first (the child of the smaller intersection).
    tree.insert(Box{5, -10, 20, -5}, 9);
    tree.insert(Box{-5, -10, 0, 5}, 10);
    tree.insert(Box{-10, 10, 5, 15}, 11);
    tree.insert(Box{40, 10, 45, 20}, 12);
    ASSERT_EQ(tree.root()->children[0]->entries.size(), 8u);
    // The ninth: the leaf box becomes (-10,-10,50,20), centre (20,5); the
    // farthest centres are those of 10 (593) and 12 (584). Without them the
    // first leaf no longer covers them alone, so both move to the second.
    tree.insert(Box{35, 0, 50, 5}, 13);
    EXPECT_EQ(tree.height(), 2u);
    ASSERT_EQ(tree.root()->children.size(), 2u);
    EXPECT_EQ(valuesOf(*tree.root()->children[0]), (std::vector<int>{1, 2, 0, 3, 9, 13, 11}));
    EXPECT_EQ(tree.root()->children[0]->box, (Box{-10, -10, 50, 15}));
    EXPECT_EQ(valuesOf(*tree.root()->children[1]), (std::vector<int>{4, 5, 6, 7, 8, 12, 10}));
    EXPECT_EQ(tree.count(), 14u);
}

TEST(RTree, ClearingLeavesAZeroLeafAndANewTreeHasNoRoot) {
    Tree tree(4, 8);
    for (int i = 0; i < 30; ++i)
        tree.insert(Box{i * 100, 500, i * 100 + 50, 550}, i % 3);
    tree.clear();
    EXPECT_EQ(tree.count(), 0u);
    EXPECT_EQ(tree.height(), 1u);
    ASSERT_NE(tree.root(), nullptr);
    EXPECT_TRUE(tree.root()->leaf);
    EXPECT_EQ(tree.root()->box, Box{});
    int visits = 0;
    tree.visitIntersecting(Box{kMin, kMin, kMax, kMax}, [&](const Tree::Entry&) { ++visits; });
    EXPECT_EQ(visits, 0);
    tree.insert(Box{100, 200, 110, 210}, 7);
    EXPECT_EQ(tree.root()->box, (Box{0, 0, 110, 210}));

    Tree never(2, 4);
    EXPECT_EQ(never.removeValue(1, true), 0u);
    EXPECT_EQ(never.root(), nullptr);
}

// Inserts, removals and queries against a plain list, with boxes from a
// few map units up to the whole plane. MIREL_TEST_SEED overrides the seed.
TEST(RTree, RandomOperationsAgreeWithABruteForceList) {
    const auto seed = static_cast<std::uint32_t>(TestSupport::envNumber("MIREL_TEST_SEED", 20261206));
    std::mt19937 rng(seed);
    auto coordinate = [&] { return static_cast<std::int32_t>(rng()); };
    auto randomBox = [&]() -> Box {
        switch (rng() % 8) {
        case 0:
            return Box{kMin, kMin, kMax, kMax};
        case 1: { // half the globe or more
            const std::int32_t x = coordinate() / 2;
            return Box{kMin, x, kMax, std::max(x, kMax - 5)};
        }
        case 2: {
            const std::int32_t a = coordinate(), b = coordinate();
            const std::int32_t c = coordinate(), d = coordinate();
            return Box{std::min(a, b), std::min(c, d), std::max(a, b), std::max(c, d)};
        }
        default: { // small boxes in a small area, so that they crowd
            const std::int32_t x = static_cast<std::int32_t>(rng() % 100000) - 50000;
            const std::int32_t y = static_cast<std::int32_t>(rng() % 100000) - 50000;
            const std::int32_t r = static_cast<std::int32_t>(rng() % 3000);
            return Box{x - r, y - r, x + r, y + r};
        }
        }
    };

    for (const auto& [minFill, maxFill] : {std::pair{4u, 8u}, std::pair{2u, 4u}}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " fill " << minFill << "/" << maxFill);
        Tree tree(minFill, maxFill);
        std::vector<std::pair<Box, int>> list;
        for (int step = 0; step < 3000; ++step) {
            const unsigned op = rng() % 10;
            if (op < 6 || list.empty()) {
                const Box b = randomBox();
                const int value = static_cast<int>(rng() % 500);
                tree.insert(b, value);
                list.emplace_back(b, value);
            } else if (op < 8) {
                const int value = list[rng() % list.size()].second;
                const bool all = rng() % 2 == 0;
                std::size_t expected = 0;
                if (all) {
                    expected = static_cast<std::size_t>(
                        std::erase_if(list, [value](const auto& p) { return p.second == value; }));
                } else {
                    // Which of the equal values goes is the tree's business.
                    const auto it = std::find_if(list.begin(), list.end(),
                                                 [value](const auto& p) { return p.second == value; });
                    list.erase(it);
                    expected = 1;
                }
                ASSERT_EQ(tree.removeValue(value, all), expected);
                if (!all) {
                    // Re-sync the list with the tree's choice of match.
                    list.clear();
                    tree.visitIntersecting(Box{kMin, kMin, kMax, kMax},
                                           [&](const Tree::Entry& e) { list.emplace_back(e.box, e.value); });
                }
            } else {
                const Box q = randomBox();
                const bool contained = rng() % 2 == 0;
                std::vector<std::pair<std::int64_t, int>> got, want;
                auto key = [](const Box& b, int v) {
                    return std::pair{std::int64_t{b.minX} * 7 + b.maxY, v};
                };
                auto collect = [&](const Tree::Entry& e) { got.push_back(key(e.box, e.value)); };
                if (contained)
                    tree.visitContained(q, collect);
                else
                    tree.visitIntersecting(q, collect);
                for (const auto& [b, v] : list) {
                    if (contained ? q.contains(b) : q.intersects(b))
                        want.push_back(key(b, v));
                }
                std::sort(got.begin(), got.end());
                std::sort(want.begin(), want.end());
                ASSERT_EQ(got, want) << "step " << step;
            }
            ASSERT_EQ(tree.count(), list.size());
            if (step % 50 == 0 && tree.root()) {
                ASSERT_EQ(checkNode(tree, *tree.root(), 1, true), tree.count()) << "step " << step;
            }
        }
        ASSERT_EQ(checkNode(tree, *tree.root(), 1, true), tree.count());
        tree.clear();
        EXPECT_EQ(tree.count(), 0u);
    }
}

} // namespace
