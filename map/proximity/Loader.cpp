#include "map/proximity/Loader.h"

#include "core/AtomicFileForWrite.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "map/IndexSourceList.h"
#include "map/proximity/IndexFile.h"
#include "map/proximity/MemoryIndex.h"
#include "map/proximity/TextFile.h"

#include <chrono>
#include <memory>

namespace Map::Proximity {
namespace {

std::uint32_t steadyTicks() {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

void logLoaded(const Index& index, std::uint32_t elapsedMs) {
    Log::log(Log::Normal, u"%d Danger Warn Points loaded into %d layers in %u ms", index.pointCount(),
             index.layerCount(), elapsedMs);
}

} // namespace

bool loadDangerWarnPoints(const std::u16string& folder, IndexHolder& holder, std::uint32_t nodeCacheCapacity,
                          std::uint32_t pointCacheCapacity, const TickSource& ticks) {
    const TickSource now = ticks ? ticks : TickSource(steadyTicks);
    const std::uint32_t start = now();
    const IndexSourceList sources = IndexSourceList::collect(folder, u"*.txt", {});
    const std::u16string cachePath = folder + u"\\DangerWarnPoints.idx";

    {
        auto fileIndex = std::make_unique<FileIndex>(cachePath, sources, nodeCacheCapacity, pointCacheCapacity);
        if (fileIndex->isValid()) {
            logLoaded(*fileIndex, now() - start);
            Log::log(Log::Normal, u"Danger Warn Points cache: %u nodes, %u points", nodeCacheCapacity,
                     pointCacheCapacity);
            holder.index = std::move(fileIndex);
            return true;
        }
    }
    if (sources.records.empty()) {
        Log::log(Log::System, u"There are no Danger Warn Points files to load");
        return false;
    }

    auto memoryIndex = std::make_unique<MemoryIndex>();
    for (const IndexSourceList::Record& source : sources.records) {
        if (!readDangerWarnPointFile(folder + u"\\" + source.name, *memoryIndex))
            return false;
    }

    FileSystem::AtomicFileForWrite file(cachePath);
    if (file.isOpen() && writeIndex(file, sources, memoryIndex->tree()) && file.commit()) {
        logLoaded(*memoryIndex, now() - start);
        holder.index = std::move(memoryIndex);
        return true;
    }
    const int error = file.lastError();
    file.discard();
    Log::log(Log::System, u"Can't write into Danger Warn Points index '%s' (err %d)", cachePath, error);
    // A stale file would only be refused again; remove it.
    if (FileSystem::fileExists(cachePath))
        FileSystem::deleteFile(cachePath);
    holder.index = std::move(memoryIndex);
    return true;
}

} // namespace Map::Proximity
