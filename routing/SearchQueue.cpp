#include "routing/SearchQueue.h"

#include <algorithm>

void SearchQueue::place(std::size_t position, const SearchQueueEntry& entry) {
    heap_[position] = entry;
    nodes_[entry.node].heapPosition = static_cast<std::uint32_t>(position);
}

std::size_t SearchQueue::push(const SearchQueueEntry& entry) {
    heap_.push_back(entry);
    const std::size_t position = heap_.size() - 1;
    nodes_[entry.node].heapPosition = static_cast<std::uint32_t>(position);
    peak_ = std::max(peak_, heap_.size());
    if (!siftUp(position)) siftDown(position);
    return position;
}

void SearchQueue::removeAt(std::size_t position) {
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

bool SearchQueue::siftUp(std::size_t position) {
    const SearchQueueEntry entry = heap_[position];
    std::size_t p = position;
    while (p > 0) {
        const std::size_t parent = (p - 1) / 2;
        if (!(entry.key < heap_[parent].key)) break;
        place(p, heap_[parent]);
        p = parent;
    }
    if (p == position) return false;
    place(p, entry);
    return true;
}

void SearchQueue::siftDown(std::size_t position) {
    const SearchQueueEntry entry = heap_[position];
    const std::size_t n = heap_.size();
    std::size_t p = position;
    for (;;) {
        std::size_t child = 2 * p + 1;
        if (child >= n) break;
        if (child + 1 < n && heap_[child + 1].key < heap_[child].key) ++child;
        if (!(heap_[child].key < entry.key)) break;
        place(p, heap_[child]);
        p = child;
    }
    if (p != position) place(p, entry);
}
