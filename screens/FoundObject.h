#pragma once
// What the map page shows of a chosen search result: its point, the two
// lines of the top box (the object's own name and its address), how much
// of the map around it the view spans, and, for a point of interest or a
// waypoint, what the point information page shows. A search result is not
// a tap: nothing is looked up around the point.

#include "map/Point.h"
#include "screens/MapPointLookup.h"
#include "search/ResultItem.h"

#include <cstdint>
#include <string>

namespace Core {
class MessageTable;
}
namespace Map {
class MapSet;
}
namespace Render {
class RenderStyles;
}

namespace Screens {

struct FoundObject {
    // The search kind that found it (the engine's kind codes).
    int kind = 0;
    Map::Point point;
    // "upper_box_turn": the name (a house: its street and number).
    std::u16string title;
    // "upper_box": where it is (parents, or the address and the city).
    std::u16string detail;
    // A city or street: half the side of the square around the point that
    // holds it, in global map units (0 not known). Points are shown at
    // street level.
    bool area = false;
    std::uint32_t extent = 0;
    // A POI of a map (its address read), or a waypoint found by its name.
    MapPointFind find;
    bool waypoint = false;
};

// The place a street, house or POI result lies in (its city's name), read
// from its record; empty for other kinds, waypoints and unreadable records.
// One street may have several records (one per place it runs through), so
// a name alone does not tell them apart.
std::u16string placeOf(int kind, const TextSearch::ResultItem& item, const Map::MapSet& maps);

// The name a result of that kind goes by on screen: its own, or for a
// point of interest of a map that has none (most fuel stations of an
// imported map) its type's name from the styles (when given), so that a
// row can be told from another and chosen knowingly. What is stored (the
// search history) stays the object's own name: the history knows an entry
// again by it, whatever the type is called.
std::u16string shownName(int kind, const TextSearch::ResultItem& item, const Map::MapSet& maps,
                         Render::RenderStyles* styles);

// The result of a search of that kind (the engine's kind codes) as the map
// page shows it; the records are read through the maps of its references,
// an unnamed point of interest is named by its type (see shownName).
FoundObject describeFound(int kind, const TextSearch::ResultItem& item, const Map::MapSet& maps,
                          const Core::MessageTable* messages, Render::RenderStyles* styles = nullptr);

// Screen pixels per global map unit that show the object: a city or street
// so that its square fills the view around the map's centre (never closer
// than street level; a default span when its extent is not known), a point
// at street level. `room` is the smaller distance in pixels from the
// centre's screen position to the view's edges.
float foundObjectScale(const FoundObject& found, float room);

// Street level: metres per 40 pixels.
inline constexpr float StreetLevelMetresPer40Pixels = 25.0f;
// The spans shown of a street or city whose map tells no extent (metres
// per 40 pixels).
inline constexpr float StreetMetresPer40Pixels = 60.0f;
inline constexpr float CityMetresPer40Pixels = 250.0f;

} // namespace Screens
