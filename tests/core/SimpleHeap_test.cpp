#include "core/SimpleHeap.h"

#include "platform/Memory.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <vector>

using Core::SimpleHeap;

TEST(SimpleHeap, BlockSizesRoundUpToSixteen) {
    EXPECT_EQ(SimpleHeap(1000).totalBytes(), 1008u);
    EXPECT_EQ(SimpleHeap(1024).totalBytes(), 1040u);
    EXPECT_EQ(SimpleHeap(1024).freeBytes(), 1040u);
}

TEST(SimpleHeap, CarvesFromTheEndOfTheFirstRun) {
    TestSupport::CaptureLogger log;
    SimpleHeap heap(48);
    ASSERT_EQ(heap.totalBytes(), 64u);
    const std::uint8_t* start = heap.blockStart();
    void* p = heap.allocate(16);
    EXPECT_EQ(p, start + 64 - 32 + 4);
    EXPECT_EQ(heap.freeBytes(), 32u);
    // The headers: a free chunk of 32 (64 = 32 * 2), then a used one.
    std::uint32_t h0, h1;
    std::memcpy(&h0, start, 4);
    std::memcpy(&h1, start + 32, 4);
    EXPECT_EQ(h0, 64u);
    EXPECT_EQ(h1, 65u);
    void* q = heap.allocate(28 - 4 - 1 + 1); // 24 bytes: a 32-byte chunk
    EXPECT_EQ(q, start + 4);
    EXPECT_EQ(heap.freeBytes(), 0u);
    EXPECT_EQ(heap.allocate(0), nullptr);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "Not enough memory in heap (0 avail) while trying 16b");

    heap.free(nullptr);
    EXPECT_EQ(heap.freeBytes(), 0u);
    heap.free(p);
    EXPECT_EQ(heap.freeBytes(), 32u);
    // A second free of the same chunk counts nothing.
    heap.free(p);
    EXPECT_EQ(heap.freeBytes(), 32u);
    heap.reset();
    EXPECT_EQ(heap.freeBytes(), 64u);
    EXPECT_EQ(heap.allocate(59), start + 4);
}

TEST(SimpleHeap, JoinsFreeNeighboursAndReportsFragmentation) {
    TestSupport::CaptureLogger log;
    SimpleHeap heap(95);
    ASSERT_EQ(heap.totalBytes(), 96u);
    const std::uint8_t* start = heap.blockStart();
    void* a = heap.allocate(16); // at 64
    void* b = heap.allocate(16); // at 32
    void* c = heap.allocate(16); // at 0
    EXPECT_EQ(a, start + 68);
    EXPECT_EQ(b, start + 36);
    EXPECT_EQ(c, start + 4);
    EXPECT_EQ(heap.freeBytes(), 0u);

    // Two free chunks apart: 64 bytes free, but no run of 48.
    heap.free(a);
    heap.free(c);
    EXPECT_EQ(heap.freeBytes(), 64u);
    EXPECT_EQ(heap.allocate(40), nullptr);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "Not enough memory in heap (64 avail) while trying 48b");

    // First fit: the chunk at 0 is the first run long enough.
    void* c2 = heap.allocate(16);
    EXPECT_EQ(c2, start + 4);
    // Two adjacent free chunks of 32 serve a request needing 48.
    heap.free(b);
    void* joined = heap.allocate(40);
    EXPECT_EQ(joined, start + 48 + 4); // run 32..96 joined, carved from its end
    EXPECT_EQ(heap.freeBytes(), 96u - 32u - 48u);
    // The run's front became one free chunk of 16.
    std::uint32_t h;
    std::memcpy(&h, start + 32, 4);
    EXPECT_EQ(h, 32u);
}

TEST(SimpleHeap, UnreservedBlockFailsEveryAllocation) {
    TestSupport::CaptureLogger log;
    SimpleHeap heap(0xFFFFFFFFu);
    EXPECT_EQ(heap.totalBytes(), 0u);
    EXPECT_EQ(heap.allocate(1), nullptr);
    heap.reset();
    heap.free(nullptr);
    const std::vector<std::string> expected = {
        "Failed to allocate 4294967296 bytes while creating simple heap",
        "Heap was not allocated",
    };
    EXPECT_EQ(log.lines(), expected);

    SimpleHeap small(100);
    EXPECT_EQ(small.allocate(0xFFFFFFFFu), nullptr);
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_EQ(log.lines()[2], "Not enough memory in heap (112 avail) while trying 4294967312b");
}

// Random allocations and frees against a model: payloads are 16-byte
// aligned (they hold doubles and pointers), lie inside the block, never
// overlap (each keeps its fill), and the free count matches the model.
TEST(SimpleHeap, RandomUseKeepsPayloadsAlignedAndApart) {
    SimpleHeap heap(1 << 16);
    const std::uint8_t* start = heap.blockStart();
    std::mt19937 rng(static_cast<std::uint32_t>(TestSupport::envNumber("MIREL_TEST_SEED", 20261206u)));
    struct Live {
        std::uint32_t size;
        std::uint32_t need;
        std::uint8_t fill;
    };
    std::map<std::uint8_t*, Live> live;
    std::uint64_t used = 0;
    for (int step = 0; step < 20000; ++step) {
        if (live.empty() || rng() % 3 != 0) {
            const std::uint32_t size = rng() % 8 == 0 ? rng() % 4000 : rng() % 100;
            auto* p = static_cast<std::uint8_t*>(heap.allocate(size));
            if (!p)
                continue;
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
            ASSERT_GE(p, start + 4);
            ASSERT_LE(p + size, start + heap.totalBytes());
            const std::uint32_t need = ((size + 4) | 15) + 1;
            const auto fill = static_cast<std::uint8_t>(rng());
            std::memset(p, fill, size);
            if (size >= 16) {
                *reinterpret_cast<double*>(p) = step;
                *reinterpret_cast<std::uint64_t*>(p + 8) = step;
            }
            live[p] = {size, need, fill};
            used += need;
        } else {
            auto it = live.begin();
            std::advance(it, rng() % live.size());
            std::uint8_t* p = it->first;
            const Live l = it->second;
            for (std::uint32_t i = (l.size >= 16 ? 16 : 0); i < l.size; ++i)
                ASSERT_EQ(p[i], l.fill) << "step " << step;
            heap.free(p);
            used -= l.need;
            live.erase(it);
        }
        ASSERT_EQ(heap.freeBytes(), heap.totalBytes() - used);
    }
}

// The chunk rules on a list of chunks, for the test below: a walk from the
// start over runs of free chunks, the first run long enough carved from its
// end; a free joins nothing.
class ChunkModel {
  public:
    explicit ChunkModel(std::uint32_t total) : m_chunks{{0, total, false}} {}

    std::optional<std::uint32_t> allocate(std::uint32_t size) {
        const std::uint32_t need = ((size + 4) | 15) + 1;
        std::size_t first = 0, count = 0;
        std::uint64_t run = 0;
        for (std::size_t i = 0; i < m_chunks.size(); ++i) {
            if (m_chunks[i].used) {
                if (count > 0 && run >= need)
                    break;
                count = 0;
                run = 0;
            } else {
                if (count++ == 0)
                    first = i;
                run += m_chunks[i].length;
            }
        }
        if (count == 0 || run < need)
            return std::nullopt;
        const std::uint32_t start = m_chunks[first].offset;
        const auto rest = static_cast<std::uint32_t>(run - need);
        std::vector<Chunk> carved;
        if (rest > 0)
            carved.push_back({start, rest, false});
        carved.push_back({start + rest, need, true});
        const auto at = m_chunks.begin() + static_cast<std::ptrdiff_t>(first);
        m_chunks.insert(m_chunks.erase(at, at + static_cast<std::ptrdiff_t>(count)), carved.begin(), carved.end());
        return start + rest + 4;
    }

    void free(std::uint32_t payload) {
        for (Chunk& c : m_chunks)
            if (c.offset + 4 == payload)
                c.used = false;
    }

    // The free runs as [first byte, end) offsets.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> freeRuns() const {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
        for (std::size_t i = 0; i < m_chunks.size(); ++i) {
            if (m_chunks[i].used)
                continue;
            if (i > 0 && !m_chunks[i - 1].used)
                runs.back().second = m_chunks[i].offset + m_chunks[i].length;
            else
                runs.emplace_back(m_chunks[i].offset, m_chunks[i].offset + m_chunks[i].length);
        }
        return runs;
    }

  private:
    struct Chunk {
        std::uint32_t offset, length;
        bool used;
    };
    std::vector<Chunk> m_chunks;
};

// A heap whose contents come and go (the map cells of a moving view) takes
// every new chunk from the front run, below the used ones, so freed chunks
// wait long to be taken again: their pages go back to the system, or the
// heap's resident memory would climb towards its whole size. Giving them
// back changes no address handed out (against the chunk rules above), no
// used byte, and, once another ReleaseEveryBytes have been freed, leaves
// every whole page inside a free run (past its header) reading zero.
TEST(SimpleHeap, FreedPagesGoBackWithoutChangingAnyAllocation) {
    const std::size_t page = Platform::pageBytes();
    SimpleHeap heap(static_cast<std::uint32_t>(128 * page - 16));
    ASSERT_EQ(heap.totalBytes(), 128 * page);
    const std::uint8_t* start = heap.blockStart();
    ChunkModel model(heap.totalBytes());
    std::mt19937 rng(static_cast<std::uint32_t>(TestSupport::envNumber("MIREL_TEST_SEED", 20261208u)));
    struct Live {
        std::uint32_t size;
        std::uint8_t fill;
    };
    std::map<std::uint32_t, Live> live; // by payload offset
    std::uint64_t freedSinceRelease = 0;
    int walks = 0;
    auto wholePagesInside = [&](std::uint32_t from, std::uint32_t to, std::size_t& zeros, std::size_t& bytes) {
        const auto address = reinterpret_cast<std::uintptr_t>(start);
        for (std::uintptr_t p = (address + from + page - 1) / page * page; p + page <= address + to; p += page) {
            const auto* first = reinterpret_cast<const std::uint8_t*>(p);
            zeros += static_cast<std::size_t>(std::count(first, first + page, 0));

            bytes += page;
        }
    };
    for (int step = 0; step < 30000; ++step) {
        if (live.empty() || rng() % 5 < 3) {
            // Mostly cell-sized blocks, now and then one of a few pages.
            const auto size = static_cast<std::uint32_t>(rng() % 10 == 0 ? rng() % (3 * page) : rng() % 2000);
            void* p = heap.allocate(size);
            const std::optional<std::uint32_t> expected = model.allocate(size);
            ASSERT_EQ(p != nullptr, expected.has_value()) << "step " << step;
            if (p == nullptr)
                continue;
            const auto offset = static_cast<std::uint32_t>(static_cast<std::uint8_t*>(p) - start);
            ASSERT_EQ(offset, *expected) << "step " << step;
            const auto fill = static_cast<std::uint8_t>(rng() | 1);
            std::memset(p, fill, size);
            live[offset] = {size, fill};
        } else {
            auto it = live.begin();
            std::advance(it, rng() % live.size());
            const std::uint8_t* p = start + it->first;
            ASSERT_EQ(std::count(p, p + it->second.size, it->second.fill), it->second.size) << "step " << step;
            std::uint32_t header;
            std::memcpy(&header, p - 4, 4);
            heap.free(const_cast<std::uint8_t*>(p));
            model.free(it->first);
            freedSinceRelease += header >> 1;
            live.erase(it);
            if (freedSinceRelease >= SimpleHeap::ReleaseEveryBytes) {
                freedSinceRelease = 0;
                ++walks;
                std::size_t zeros = 0, bytes = 0;
                for (const auto& [from, to] : model.freeRuns())
                    wholePagesInside(from + 4, to, zeros, bytes);
                ASSERT_EQ(zeros, bytes) << "step " << step;
            }
        }
    }
    EXPECT_GT(walks, 20);
    for (const auto& [offset, l] : live)
        EXPECT_EQ(std::count(start + offset, start + offset + l.size, l.fill), l.size) << "offset " << offset;

    // Reset gives back every whole page of the block past the first header.
    heap.reset();
    std::size_t zeros = 0, bytes = 0;
    wholePagesInside(4, heap.totalBytes(), zeros, bytes);
    EXPECT_EQ(zeros, bytes);
    EXPECT_GT(bytes, 0u);
}
