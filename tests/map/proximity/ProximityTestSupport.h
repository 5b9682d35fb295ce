#pragma once
// Helpers shared by the danger-warn point tests.

#include "map/proximity/Index.h"

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace ProximityTest {

inline const Map::Proximity::Box kWorld{std::numeric_limits<std::int32_t>::min(),
                                        std::numeric_limits<std::int32_t>::min(),
                                        std::numeric_limits<std::int32_t>::max(),
                                        std::numeric_limits<std::int32_t>::max()};

inline std::vector<Map::Proximity::Point> allPoints(Map::Proximity::Index& index) {
    std::vector<Map::Proximity::Point> out;
    index.queryIntersecting(kWorld, [&](const Map::Proximity::Point& p) { out.push_back(p); });
    return out;
}

inline std::u16string wide(const std::filesystem::path& p) { return p.u16string(); }

} // namespace ProximityTest
