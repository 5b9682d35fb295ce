// The search's heap against a textbook binary heap (sift up while strictly
// smaller, sift down while a child is strictly smaller), on random pushes
// and removals with many equal keys: every entry must stand at the same
// position, so equal keys leave in the same order and routes tie alike.

#include "routing/SearchQueue.h"
#include "tests/routing/RouteFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

struct TextbookHeap {
    std::vector<SearchQueueEntry> heap;
    void swapAt(std::size_t a, std::size_t b) { std::swap(heap[a], heap[b]); }
    std::size_t up(std::size_t p) {
        while (p > 0 && heap[p].key < heap[(p - 1) / 2].key) {
            swapAt(p, (p - 1) / 2);
            p = (p - 1) / 2;
        }
        return p;
    }
    void down(std::size_t p) {
        for (std::size_t c; (c = 2 * p + 1) < heap.size(); p = c) {
            if (c + 1 < heap.size() && heap[c + 1].key < heap[c].key) ++c;
            if (!(heap[c].key < heap[p].key)) break;
            swapAt(p, c);
        }
    }
    void settle(std::size_t p) {
        if (up(p) == p) down(p);
    }
    void removeAt(std::size_t p) {
        heap[p] = heap.back();
        heap.pop_back();
        if (p < heap.size()) settle(p);
    }
};

TEST(SearchQueue, KeepsTheTextbookHeapsOrder) {
    std::mt19937 random(RouteTest::seed());
    // One queue for every round, as a road map keeps it between searches:
    // the entries and positions left by a round must not show in the next.
    SearchQueue queue;
    for (int round = 0; round < 200; ++round) {
        queue.reset(64);
        TextbookHeap reference;
        std::size_t peak = 0;
        std::vector<bool> queued(64, false);
        for (int step = 0; step < 300; ++step) {
            const auto node = static_cast<std::uint32_t>(random() % 64);
            if (!queued[node]) {
                const SearchQueueEntry e{static_cast<std::int64_t>(random() % 8), node};
                queue.push(e);
                reference.heap.push_back(e);
                reference.settle(reference.heap.size() - 1);
            } else {
                const std::uint32_t at = queue.positionOf(node);
                queue.removeAt(at);
                reference.removeAt(at);
            }
            queued[node] = !queued[node];
            peak = std::max(peak, reference.heap.size());
            ASSERT_EQ(queue.size(), reference.heap.size());
            ASSERT_EQ(queue.peakSize(), peak);
            for (std::size_t p = 0; p < reference.heap.size(); ++p)
                ASSERT_EQ(queue.positionOf(reference.heap[p].node), p) << "round " << round << " step " << step;
        }
    }
}

} // namespace
