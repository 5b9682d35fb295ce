#include "core/SimpleHeap.h"

#include "core/Log.h"
#include "platform/Memory.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

namespace Core {
namespace {
constexpr std::uint32_t HeaderBytes = 4;
constexpr std::uint32_t InUse = 1;
// The longest chunk a header can describe (length * 2 must fit in u32),
// kept a multiple of 16 so every chunk boundary stays on the 16-byte grid.
constexpr std::uint64_t MaxChunk = 0x7FFFFFF0;
// The block starts this far past a 16-byte boundary, so that block start +
// 16k + 4 (every payload) is 16-byte aligned.
constexpr std::uintptr_t BlockLead = 16 - HeaderBytes;

std::uint32_t header(const std::uint8_t* chunk) {
    std::uint32_t h;
    std::memcpy(&h, chunk, sizeof h);
    return h;
}

void setHeader(std::uint8_t* chunk, std::uint64_t length, bool used) {
    const std::uint32_t h = static_cast<std::uint32_t>(length * 2) | (used ? InUse : 0);
    std::memcpy(chunk, &h, sizeof h);
}

std::uint32_t chunkLength(const std::uint8_t* chunk) { return header(chunk) >> 1; }
} // namespace

SimpleHeap::SimpleHeap(std::uint32_t size) {
    const std::uint64_t blockBytes = (std::uint64_t{size} | 15) + 1;
    std::uint8_t* storage = nullptr;
    if (blockBytes <= 0xFFFFFFF0)
        storage = new (std::nothrow) std::uint8_t[blockBytes + 16];
    if (!storage) {
        Log::log(Log::Critical, u"Failed to allocate %d bytes while creating simple heap", blockBytes);
        return;
    }
    m_storage.reset(storage);
    const auto address = reinterpret_cast<std::uintptr_t>(storage);
    const std::uintptr_t lead = (BlockLead - address % 16 + 16) % 16;
    m_begin = storage + lead;
    m_end = m_begin + blockBytes;
    reset();
}

SimpleHeap::~SimpleHeap() = default;

void SimpleHeap::reset() {
    if (!m_begin)
        return;
    // Nothing in the block is kept: its pages go back to the system before
    // the headers touch the first of them again.
    Platform::releasePages(m_begin, static_cast<std::size_t>(m_end - m_begin));
    std::uint8_t* chunk = m_begin;
    while (chunk < m_end) {
        const auto left = static_cast<std::uint64_t>(m_end - chunk);
        const std::uint64_t length = std::min(MaxChunk, left);
        setHeader(chunk, length, false);
        chunk += length;
    }
    m_free = static_cast<std::uint32_t>(m_end - m_begin);
    m_freedSinceRelease = 0;
}

void* SimpleHeap::allocate(std::uint32_t size) {
    if (!m_begin) {
        Log::log(Log::Critical, u"Heap was not allocated");
        return nullptr;
    }
    const std::uint64_t need = ((std::uint64_t{size} + HeaderBytes) | 15) + 1;
    if (need > m_free || need > MaxChunk) {
        Log::log(Log::Critical, u"Not enough memory in heap (%d avail) while trying %db", m_free, need);
        return nullptr;
    }
    std::uint8_t* runStart = nullptr;
    std::uint64_t runLength = 0;
    for (std::uint8_t* chunk = m_begin; chunk < m_end;) {
        const std::uint32_t length = chunkLength(chunk);
        assert(length >= 16 && length <= static_cast<std::uint64_t>(m_end - chunk));
        if (header(chunk) & InUse) {
            if (runStart && runLength >= need)
                break;
            runStart = nullptr;
            runLength = 0;
        } else {
            if (!runStart)
                runStart = chunk;
            runLength += length;
        }
        chunk += length;
    }
    if (!runStart || runLength < need) {
        Log::log(Log::Critical, u"Not enough memory in heap (%d avail) while trying %db", m_free, need);
        return nullptr;
    }
    // The front of the run becomes free chunks of at most MaxChunk (in
    // practice one: this joins the run), the allocation takes its end.
    std::uint64_t rest = runLength - need;
    std::uint8_t* chunk = runStart;
    while (rest > 0) {
        const std::uint64_t length = std::min(rest, MaxChunk);
        setHeader(chunk, length, false);
        chunk += length;
        rest -= length;
    }
    setHeader(chunk, need, true);
    m_free -= static_cast<std::uint32_t>(need);
    return chunk + HeaderBytes;
}

void SimpleHeap::free(void* pointer) {
    if (!pointer)
        return;
    auto* chunk = static_cast<std::uint8_t*>(pointer) - HeaderBytes;
    assert(chunk >= m_begin && chunk < m_end);
    if (chunk < m_begin || chunk >= m_end)
        return;
    const std::uint32_t h = header(chunk);
    // A second free of the same chunk would count its bytes twice.
    if (!(h & InUse))
        return;
    setHeader(chunk, h >> 1, false);
    m_free += h >> 1;
    // Allocation carves from the end of the first run long enough, so the
    // front run keeps serving new chunks below the used ones and a freed
    // chunk is taken again only once the front is spent: its pages would
    // stay resident all that while, and a heap whose contents come and go
    // (the map cells of a moving view) would grow in memory towards its
    // whole size. The whole pages inside the chunk go back to the system at
    // once; those of runs of small freed chunks, none of which holds a whole
    // page, each time another ReleaseEveryBytes have been freed.
    Platform::releasePages(chunk + HeaderBytes, (h >> 1) - HeaderBytes);
    m_freedSinceRelease += h >> 1;
    if (m_freedSinceRelease >= ReleaseEveryBytes) {
        m_freedSinceRelease = 0;
        releaseFreeRuns();
    }
}

void SimpleHeap::releaseFreeRuns() {
    for (std::uint8_t* chunk = m_begin; chunk < m_end;) {
        if (header(chunk) & InUse) {
            chunk += chunkLength(chunk);
            continue;
        }
        std::uint8_t* const runStart = chunk;
        std::uint64_t runLength = 0;
        while (chunk < m_end && !(header(chunk) & InUse)) {
            const std::uint32_t length = chunkLength(chunk);
            assert(length >= 16 && length <= static_cast<std::uint64_t>(m_end - chunk));
            runLength += length;
            chunk += length;
        }
        // The run is joined as an allocation walking over it would join it
        // (the same run, so the same allocations), which frees the pages its
        // inner headers held. A lone chunk is walked too: an allocation may
        // have left it as the front of a joined run, over old contents.
        std::uint8_t* piece = runStart;
        for (std::uint64_t rest = runLength; rest > 0;) {
            const std::uint64_t length = std::min(rest, MaxChunk);
            setHeader(piece, length, false);
            Platform::releasePages(piece + HeaderBytes, static_cast<std::size_t>(length - HeaderBytes));
            piece += length;
            rest -= length;
        }
    }
}

} // namespace Core
