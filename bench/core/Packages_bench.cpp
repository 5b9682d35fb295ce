// Opening a packed data file costs two binary searches and no copy; the
// fixed-size heap's allocation is one walk over its chunks.

#include "core/SimpleHeap.h"
#include "core/Text.h"
#include "core/VirtualFs.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipWriter.h"

#include <SDL/SDL_rwops.h>
#include <benchmark/benchmark.h>

#include <vector>

static void packedOpen(benchmark::State& state) {
    TestSupport::TempDir dir;
    TestSupport::ZipWriter zip;
    const int entries = static_cast<int>(state.range(0));
    for (int i = 0; i < entries; ++i)
        zip.add("images/icon" + std::to_string(i) + ".bmp", std::string(64, 'x'));
    dir.write("images.zip", zip.bytes());
    FileSystem::VirtualFs fs(Core::utf8ToWide(dir.path().string()));
    int i = 0;
    for (auto _ : state) {
        SDL_RWops* rw = fs.open("images/icon" + std::to_string(i++ % entries) + ".bmp", ".zip");
        benchmark::DoNotOptimize(rw);
        SDL_RWclose(rw);
    }
}
BENCHMARK(packedOpen)->Arg(16)->Arg(2000);

static void heapAllocateFree(benchmark::State& state) {
    Core::SimpleHeap heap(1 << 20);
    std::vector<void*> live;
    const auto count = static_cast<std::size_t>(state.range(0));
    for (std::size_t k = 0; k < count; ++k)
        live.push_back(heap.allocate(40));
    std::size_t k = 0;
    for (auto _ : state) {
        heap.free(live[k]);
        live[k] = heap.allocate(40);
        benchmark::DoNotOptimize(live[k]);
        k = (k + 7) % count;
    }
}
BENCHMARK(heapAllocateFree)->Arg(64)->Arg(4096);
