#include "render/MapView.h"

#include "map/Level.h"
#include "render/MapCamera.h"

#include <utility>

namespace MapView {

namespace {

PickInCell& pickInCellSearch() {
    static PickInCell search;
    return search;
}

} // namespace

void setPickInCell(PickInCell search) {
    pickInCellSearch() = std::move(search);
}

bool pickObjectAt(const std::vector<Map::StateRecord>& records, Map::Point& point, MapObject& out) {
    const Map::StateRecord* chosen = nullptr;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->mapType != 4 && it->mapType != 5) {
            chosen = &*it;
            break;
        }
    }
    out.mapIndex = MapObject::NoMap;
    if (chosen == nullptr) return false;
    MapCamera::instance().setupTransform(*chosen);
    const Map::LevelFrame& frame = chosen->frame;
    const std::uint32_t unitShift = (32u - frame.coordinateBits) & 31u;
    const std::uint32_t cellShift = frame.cellShift & 31u;
    std::int32_t x = static_cast<std::int32_t>((static_cast<std::uint32_t>(point.x) >> unitShift) -
                                               (frame.originX << cellShift));
    std::int32_t y = static_cast<std::int32_t>((static_cast<std::uint32_t>(point.y) >> unitShift) -
                                               (frame.originY << cellShift));
    const Map::CellPosition cell = frame.cellOf(x, y);
    std::vector<CellRecords> cells;
    if (chosen->level != nullptr) {
        for (const auto& [dx, dy] : {std::pair{0, 0}, std::pair{-1, 0}, std::pair{0, -1}, std::pair{-1, -1}}) {
            Map::Level::CellItems items;
            if (chosen->level->cellItems(chosen->level->defaultArea(), cell.cellX + dx, cell.cellY + dy, items))
                cells.push_back({cell.cellX + dx, cell.cellY + dy, Map::RecordIterator(items)});
        }
    }
    const PickInCell& search = pickInCellSearch();
    if (cells.empty() || !search) return false;
    MapObject found;
    if (!search(frame, cells, x, y, found)) return false;
    found.mapIndex = chosen->mapIndex;
    out = found;
    point.x = static_cast<std::int32_t>((static_cast<std::uint32_t>(x) + (frame.originX << cellShift))
                                        << unitShift);
    point.y = static_cast<std::int32_t>((static_cast<std::uint32_t>(y) + (frame.originY << cellShift))
                                        << unitShift);
    return true;
}

} // namespace MapView
