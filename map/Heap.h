#pragma once
// The memory that level indexes and cell areas come from: the atlas's main
// heap. A lower layer than the heap's owner, the map data asks only for
// these two operations; the atlas hands in its heap (or a plain allocator).

#include <cstddef>

namespace Map {

class Heap {
public:
    virtual ~Heap() = default;
    // A block of at least `bytes` bytes, or null when the heap is full.
    virtual void* allocate(std::size_t bytes) = 0;
    virtual void release(void* block) = 0;
};

} // namespace Map
