#pragma once
// The search's binary min-heap. Every move of an entry writes its position
// into a compact array by vertex (kept apart from the vertex records and
// labels so that sifting touches few cache lines), so an entry can be
// removed from the middle. Positions are 32-bit: the queue holds at most
// one entry per vertex. A road map keeps its queue between searches, so that a search
// neither allocates nor clears arrays sized to the graph.

#include "routing/RoadRecords.h"

#include <algorithm>
#include <cstdint>
#include <vector>

struct SearchQueueEntry {
    std::int64_t key = 0; // cost label plus estimate
    std::uint32_t node = RoadGraph::kNoId;
};

class SearchQueue {
  public:
    SearchQueue() = default;
    // For vertices 0 .. vertexCount - 1.
    explicit SearchQueue(std::size_t vertexCount) { reset(vertexCount); }

    // Empty, for vertices 0 .. vertexCount - 1. Positions are written before
    // they are read, so the array only grows and is never cleared.
    void reset(std::size_t vertexCount) {
        heap_.clear();
        peak_ = 0;
        if (positions_.size() < vertexCount) positions_.resize(vertexCount);
    }

    // Appends and restores heap order; ties do not move. Returns the position
    // at which the entry was appended.
    std::size_t push(const SearchQueueEntry& entry);
    void removeAt(std::size_t position);
    SearchQueueEntry top() const { return unpack(heap_.front()); }
    // The vertex at a heap position (the two below the top are the likely
    // next ones); kNoId beyond the end.
    std::uint32_t vertexAt(std::size_t position) const {
        return position < heap_.size() ? static_cast<std::uint32_t>(heap_[position] & 0xFFFFFF) : RoadGraph::kNoId;
    }
    // Where the vertex's entry stands (meaningful while it is queued).
    std::uint32_t positionOf(std::uint32_t vertex) const { return positions_[vertex]; }
    bool empty() const { return heap_.empty(); }
    std::size_t size() const { return heap_.size(); }
    std::size_t peakSize() const { return peak_; }

  private:
    // An entry packed in 64 bits: the key (below 2^40) above the vertex
    // (below 2^24). Only the key parts are compared, so entries of equal
    // keys keep the order the binary heap gives them.
    using Packed = std::uint64_t;
    static Packed pack(const SearchQueueEntry& e) {
        return (static_cast<Packed>(e.key) << 24) | e.node;
    }
    static SearchQueueEntry unpack(Packed p) {
        return SearchQueueEntry{static_cast<std::int64_t>(p >> 24), static_cast<std::uint32_t>(p & 0xFFFFFF)};
    }
    // a's key below b's: a below b with b's vertex bits cleared.
    static bool less(Packed a, Packed b) { return a < (b & ~Packed{0xFFFFFF}); }
    void place(std::size_t position, Packed entry);
    bool siftUp(std::size_t position);
    void siftDown(std::size_t position);

    std::vector<std::uint32_t> positions_;
    std::vector<Packed> heap_;
    std::size_t peak_ = 0;
};

// Inline: the search pushes and removes on nearly every relaxation.

inline void SearchQueue::place(std::size_t position, Packed entry) {
    heap_[position] = entry;
    positions_[entry & 0xFFFFFF] = static_cast<std::uint32_t>(position);
}

inline std::size_t SearchQueue::push(const SearchQueueEntry& entry) {
    heap_.push_back(pack(entry));
    const std::size_t position = heap_.size() - 1;
    positions_[entry.node] = static_cast<std::uint32_t>(position);
    peak_ = std::max(peak_, heap_.size());
    // A leaf has nothing to sift down to.
    siftUp(position);
    return position;
}

inline void SearchQueue::removeAt(std::size_t position) {
    if (position >= heap_.size()) return;
    const std::size_t last = heap_.size() - 1;
    if (position == last) {
        heap_.pop_back();
        return;
    }
    place(position, heap_[last]);
    heap_.pop_back();
    if (!siftUp(position)) siftDown(position);
}

inline bool SearchQueue::siftUp(std::size_t position) {
    const Packed entry = heap_[position];
    std::size_t p = position;
    while (p > 0) {
        const std::size_t parent = (p - 1) / 2;
        if (!less(entry, heap_[parent])) break;
        place(p, heap_[parent]);
        p = parent;
    }
    if (p == position) return false;
    place(p, entry);
    return true;
}
