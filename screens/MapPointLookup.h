#pragma once
// What lies at a tapped map point, in the order the map page prefers it: a
// point of interest drawn on the map, a user waypoint, a danger point, or
// else only the address there.

#include "map/ObjectAddress.h"
#include "map/Point.h"
#include "map/proximity/Point.h"
#include "render/CaptionGeometry.h"
#include "render/Canvas.h"

#include <cstdint>
#include <vector>

namespace Map {
class KVAtlas;
namespace Proximity {
struct IndexHolder;
}
} // namespace Map
namespace Render {
class RenderStyles;
}
class fdWPManager;

namespace Screens {

struct MapPointFind {
    enum class Kind { Nothing, Poi, Waypoint, DangerPoint };
    static constexpr std::uint32_t NoMap = 0xFFFFFFFFu;

    Kind kind = Kind::Nothing;
    // The POI: its map (atlas order) and its address record offset.
    std::uint32_t mapIndex = NoMap;
    std::uint32_t object = 0;
    // The waypoint within reach (whatever kind won), or -1.
    std::int32_t waypoint = -1;
    Map::Proximity::Point danger;
    // The POI's address, else that of the object drawn under the point or
    // of the nearest house within reach; empty when none could be read.
    Map::ObjectAddress address;

    // The address line's two parts: the address text, else the street (with
    // the number of a house); and the city.
    std::u16string addressFirst() const;
    const std::u16string& addressSecond() const { return address.texts[1]; }
};

struct MapPointLookup {
    // Any of these may be missing; its step then finds nothing.
    Map::KVAtlas* atlas = nullptr;
    const fdWPManager* waypoints = nullptr;
    Map::Proximity::IndexHolder* dangerPoints = nullptr;
    // The POI types drawn with an icon and shown count; null: every type.
    Render::RenderStyles* styles = nullptr;
    // Reach of the POI (also danger point and house) and waypoint search in
    // map units.
    std::int32_t poiRadius = 0;
    std::int32_t waypointRadius = 0;
    // Only what stands on the point itself (a point another page shows):
    // both reaches one map unit, and the item drawn under the point, which
    // depends on the view, is not asked for its address.
    bool exact = false;
    // The POI icons of the frame the driver sees (their screen boxes and
    // objects) and the tapped pixel: the POI is then the drawn icon nearest
    // the finger, its centre at most poiPixels away, as the icons stand on
    // the screen (set beside their points, and farther apart in 3D near
    // the car than far off). Null: the maps' search within poiRadius of
    // the point, where nothing drawn tells which.
    const std::vector<Render::IconBox>* icons = nullptr;
    xe::Point finger;
    std::int32_t poiPixels = 0;

    MapPointFind find(Map::Point point) const;

    // The sorted POI types a tap can find, those the map draws with an
    // icon: the styled ones shown, and while type 0 is shown every type of
    // no style (drawn with type 0's icon); all types without styles; never
    // 0x2800 (drawn without a place of its own) nor houses (0xFFFF).
    static std::vector<std::uint16_t> tappableTypes(Render::RenderStyles* styles);
};

} // namespace Screens
