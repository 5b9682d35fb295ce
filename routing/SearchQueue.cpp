#include "routing/SearchQueue.h"

#include <algorithm>

// Floyd's order of work: down to a leaf along the smaller children, then
// back up while the entry is not above the element there. The entry ends
// where the textbook sift stops (above every child it is not greater than),
// so the heap is the same entry for entry, with about half the comparisons
// of a pop. Both passes only read; the elements between the start and the
// entry's place then move up one level each, so every entry and position
// is written once.
void SearchQueue::siftDown(std::size_t position) {
    const Packed entry = heap_[position];
    const std::size_t n = heap_.size();
    std::size_t q = position;
    // Two levels a step while both are complete: the two children and the
    // four grandchildren are read together, and the smaller child's smaller
    // child picked from them (the left one on equal keys, as one level at a
    // time would).
    while (4 * q + 6 < n) {
        const Packed* children = &heap_[2 * q + 1];
        const Packed* grand = &heap_[4 * q + 3];
        const Packed g0 = grand[0], g1 = grand[1], g2 = grand[2], g3 = grand[3];
        const Packed right = less(children[1], children[0]) ? 1 : 0;
        // Selected by masks, not by a jump that goes either way at random.
        const Packed mask = Packed{0} - right;
        const Packed first = (g0 & ~mask) | (g2 & mask);
        const Packed second = (g1 & ~mask) | (g3 & mask);
        q = 4 * q + 3 + 2 * right + (less(second, first) ? 1 : 0);
    }
    for (;;) {
        std::size_t child = 2 * q + 1;
        if (child >= n) break;
        if (child + 1 < n && less(heap_[child + 1], heap_[child])) ++child;
        q = child;
    }
    while (q > position && !less(heap_[q], entry))
        q = (q - 1) / 2;
    Packed moving = entry;
    for (std::size_t p = q;; p = (p - 1) / 2) {
        const Packed displaced = heap_[p];
        place(p, moving);
        if (p == position) break;
        moving = displaced;
    }
}
