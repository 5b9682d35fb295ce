#pragma once
// Start-up loading of the danger-warn points of the "waypoints" folder:
// reuses "DangerWarnPoints.idx" while the folder's "*.txt" files (names and
// modification times) are those it was built from, otherwise reads the text
// files into memory and writes the index file again.

#include "map/proximity/Index.h"

#include <cstdint>
#include <functional>
#include <string>

namespace Map::Proximity {

// Milliseconds of a monotonic clock; the steady clock when empty.
using TickSource = std::function<std::uint32_t()>;

// False (after logging why) when the folder has no text file or one of them
// cannot be read; the holder's index is then left empty.
bool loadDangerWarnPoints(const std::u16string& folder, IndexHolder& holder, std::uint32_t nodeCacheCapacity,
                          std::uint32_t pointCacheCapacity, const TickSource& ticks = {});

} // namespace Map::Proximity
