#pragma once
// The search's binary min-heap. Every move of an entry writes its position
// into its vertex record, so an entry can be removed from the middle.
// Positions are 32-bit: the queue holds at most one entry per vertex.

#include "routing/RoadRecords.h"

#include <cstdint>
#include <vector>

struct SearchQueueEntry {
    std::int64_t key = 0; // cost label plus estimate
    std::uint32_t node = RoadGraph::kNoId;
};

class SearchQueue {
  public:
    explicit SearchQueue(std::vector<RoadGraph::NodeRecord>& nodes) : nodes_(nodes) {}

    // Appends and restores heap order; ties do not move. Returns the position
    // at which the entry was appended.
    std::size_t push(const SearchQueueEntry& entry);
    void removeAt(std::size_t position);
    const SearchQueueEntry& top() const { return heap_.front(); }
    bool empty() const { return heap_.empty(); }
    std::size_t size() const { return heap_.size(); }
    std::size_t peakSize() const { return peak_; }
    const std::vector<SearchQueueEntry>& entries() const { return heap_; }

  private:
    void place(std::size_t position, const SearchQueueEntry& entry);
    bool siftUp(std::size_t position);
    void siftDown(std::size_t position);

    std::vector<RoadGraph::NodeRecord>& nodes_;
    std::vector<SearchQueueEntry> heap_;
    std::size_t peak_ = 0;
};
