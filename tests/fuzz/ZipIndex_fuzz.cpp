// ZIP packages: the index of an archive in memory; every entry it yields
// lies inside the bytes, named in order.
#include "core/ZipIndex.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    const FileSystem::ZipIndex index = FileSystem::readZipIndex(data, size);
    if (!index.ok()) {
        if (!index.entries.empty())
            __builtin_trap();
        return 0;
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i < index.entries.size(); ++i) {
        const auto& e = index.entries[i];
        if (e.offset + e.size > size || (i > 0 && index.entries[i - 1].name > e.name))
            __builtin_trap();
        for (std::uint32_t k = 0; k < e.size; ++k)
            sum += data[e.offset + k];
    }
    volatile unsigned kept = sum;
    (void)kept;
    return 0;
}
