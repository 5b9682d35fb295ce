#pragma once
// A heap of fixed size: one block, carved into chunks whose length (header
// included) is a multiple of 16. Each chunk starts with a u32 header holding
// length * 2, bit 0 set while in use. Allocation is first fit over runs of
// adjacent free chunks, joining the run and carving the allocation from its
// end; free is constant time and joins nothing.
//
// The block begins 12 bytes past a 16-byte boundary, so every payload (the
// chunk's first byte + 4) is 16-byte aligned and may hold any scalar.
//
// Not thread-safe: each heap is used by one thread at a time.

#include "core/Allocator.h"

#include <cstdint>
#include <memory>

namespace Core {

class SimpleHeap : public Allocator {
public:
    // The block holds the next multiple of 16 above size. When it cannot be
    // reserved the heap stays empty and every allocation fails (logged).
    explicit SimpleHeap(std::uint32_t size);
    ~SimpleHeap() override;
    SimpleHeap(const SimpleHeap&) = delete;
    SimpleHeap& operator=(const SimpleHeap&) = delete;

    std::uint32_t freeBytes() const override { return m_free; }
    std::uint32_t totalBytes() const override { return static_cast<std::uint32_t>(m_end - m_begin); }
    void reset() override;
    void* allocate(std::uint32_t size) override;
    void free(void* pointer) override;

    // The block's first byte (null when it could not be reserved).
    const std::uint8_t* blockStart() const { return m_begin; }

private:
    std::unique_ptr<std::uint8_t[]> m_storage;
    std::uint8_t* m_begin = nullptr;
    std::uint8_t* m_end = nullptr;
    std::uint32_t m_free = 0;
};

} // namespace Core
