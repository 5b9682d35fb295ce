#pragma once
// A heap of fixed size: one block, carved into chunks whose length (header
// included) is a multiple of 16. Each chunk starts with a u32 header holding
// length * 2, bit 0 set while in use. Allocation is first fit over runs of
// adjacent free chunks, joining the run and carving the allocation from its
// end; free joins nothing. The whole pages inside a freed chunk, and those
// of the block at reset, are given back to the system (they read as zeros
// afterwards); each time ReleaseEveryBytes more have been freed, one walk
// joins every run of free chunks and gives back its whole pages. The
// resident memory thus follows what is in use rather than every byte ever
// handed out; the addresses handed out are the same either way.
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

    // Bytes freed between two walks that give back the pages of free runs.
    static constexpr std::uint32_t ReleaseEveryBytes = 64 * 1024;

private:
    void releaseFreeRuns();

    std::unique_ptr<std::uint8_t[]> m_storage;
    std::uint8_t* m_begin = nullptr;
    std::uint8_t* m_end = nullptr;
    std::uint32_t m_free = 0;
    std::uint32_t m_freedSinceRelease = 0;
};

} // namespace Core
