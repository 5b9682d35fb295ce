#pragma once
// Memory handed out from a block reserved once, so the map data code's use
// of memory is bounded and a failing allocation is reported, not fatal.

#include <cstdint>

namespace Core {

class Allocator {
public:
    virtual ~Allocator() = default;
    // Bytes not in use (headers of used chunks count as in use).
    virtual std::uint32_t freeBytes() const = 0;
    virtual std::uint32_t totalBytes() const = 0;
    // Makes the whole block free; earlier allocations become invalid.
    virtual void reset() = 0;
    // Null when the request cannot be served (logged).
    virtual void* allocate(std::uint32_t size) = 0;
    // Null is ignored.
    virtual void free(void* pointer) = 0;
};

} // namespace Core
