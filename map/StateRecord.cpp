#include "map/StateRecord.h"

#include <algorithm>

namespace Map {

int Nearest::kindRank(std::uint32_t mapType) {
    switch (mapType) {
    case 0:
        return 4;
    case 1:
    case 4:
    case 5:
    case 6:
        return 3;
    case 2:
        return 2;
    default:
        return 1;
    }
}

bool StateRecord::drawsBefore(const StateRecord& a, const StateRecord& b) {
    return Nearest::kindRank(a.mapType) < Nearest::kindRank(b.mapType);
}

void sortForDrawing(std::vector<StateRecord>& records) {
    std::sort(records.begin(), records.end(), StateRecord::drawsBefore);
}

} // namespace Map
