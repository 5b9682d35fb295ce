#pragma once
// The style records with which the map is drawn, one StyleSet for day and
// one for night. Colours are 0x00BBGGRR (red in the low byte).

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct SDL_Surface;

namespace Render {

class Image;

enum class FillKind : std::int32_t { Thin = 0, Solid = 1, Dash = 2, Dot = 3, DashTwoColour = 4, DotTwoColour = 5 };

// Scale bounds are metres per 40 pixels, inclusive, 0 meaning no bound.
inline bool withinScales(std::int32_t minScale, std::int32_t maxScale, std::int32_t scale) {
    return (minScale == 0 || minScale <= scale) && (maxScale == 0 || scale <= maxScale);
}

struct PolylineStyle {
    FillKind fill = FillKind::Thin;
    std::uint32_t color = 0;
    std::uint32_t secondColor = 0;
    std::int32_t width = 1;
    std::uint32_t borderColor = 0;
    std::int32_t borderWidth = 0;
    std::int32_t minScale = 0;
    std::int32_t maxScale = 0;
    std::int32_t minCaptionScale = 0;
    std::int32_t maxCaptionScale = 0;
};

// A polygon's pattern is a square surface whose side is a power of two, in
// the map surface's pixel format; RenderStyles owns it (several records may
// point to one surface).
struct PolygonStyle {
    static constexpr std::uint32_t Present = 0xFF000000u; // mark of a given shadow or border colour

    std::uint32_t color = 0;
    SDL_Surface* pattern = nullptr;
    std::uint32_t shadowColor = 0; // 0: no shadow
    std::uint32_t borderColor = 0; // 0: no border
    std::int32_t minScale = 0;
    std::int32_t maxScale = 0;
};

struct PoiStyle {
    std::uint16_t groupId = 0;
    std::u16string name;
    Image* icon = nullptr; // owned by the user interface's image list; never null once stored
    std::int32_t placement = 0; // 0..9
    std::uint32_t textForeColor = 0;
    std::uint32_t textHaloColor = 0;
    std::int32_t soundId = 0;
    std::int32_t minScale = 0;
    std::int32_t maxScale = 0;
    std::int32_t minCaptionScale = 0;
    std::int32_t maxCaptionScale = 0;

    bool visibleAt(std::int32_t scale) const { return withinScales(minScale, maxScale, scale); }
    bool captionVisibleAt(std::int32_t scale) const { return withinScales(minCaptionScale, maxCaptionScale, scale); }
};

// Colour, size and length of a map item; their meaning belongs to the code
// that draws the item.
struct MiscItemStyle {
    std::uint32_t color = 0;
    std::int32_t size = 0;
    std::int32_t length = 0;
};

enum MiscItem : int { MiscCar, MiscRoute, MiscRoute2, MiscDirection, MiscMapBg, MiscCar2, MiscObjWarn, MiscItemCount };

// The item names of render.xml, in MiscItem order.
inline constexpr std::array<const char*, MiscItemCount> miscItemNames = {"car",    "route", "route2",  "direction",
                                                                         "map_bg", "car2",  "obj_warn"};

struct StyleSet {
    std::map<std::uint16_t, PoiStyle> poiStyles;
    // The icon of every stored POI style in load order (one entry per stored
    // type, so shared icons repeat).
    std::vector<Image*> poiIcons;
    std::array<MiscItemStyle, MiscItemCount> misc{};
    std::array<PolygonStyle, 256> polygons{};
    std::array<PolylineStyle, 256> polylines{};
};

} // namespace Render
