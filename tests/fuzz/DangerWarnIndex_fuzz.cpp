// DangerWarnPoints.idx: opened against its source list, queried through
// the index and through the engine's searches.
#include "map/proximity/IndexFile.h"
#include "map/proximity/Queries.h"
#include "tests/fuzz/FuzzInput.h"

#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Map::Proximity;
    FuzzInput::quietLog();
    Map::IndexSourceList sources;
    sources.records.push_back({u"points.txt", 77});
    const std::u16string path = FuzzInput::scratchFile("DangerWarnPoints.idx", data, size);
    auto index = std::make_unique<FileIndex>(path, sources, 20, 20);
    if (!index->isValid())
        return 0;
    constexpr std::int32_t Low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t High = std::numeric_limits<std::int32_t>::max();
    std::uint64_t seen = 0;
    auto count = [&](const Point&) { ++seen; };
    index->queryIntersecting(Box{Low, Low, High, High}, count);
    index->queryContained(Box{0, 0, 100000, 100000}, count);
    if (seen > 2 * size)
        __builtin_trap(); // more points than the bytes can hold
    IndexHolder holder;
    holder.index = std::move(index);
    std::vector<ProximityEvent> events;
    findEvents(holder, events, Map::Point{100000, 100000}, 30.0f, 45.0f);
    Point nearest;
    findNearest(Map::Point{50000, 50000}, 100000, holder, nearest);
    return 0;
}
