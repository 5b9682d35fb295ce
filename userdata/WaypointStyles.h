#pragma once
// What the waypoints need of the render styles and the user interface: the
// style of a POI type (name, icon, scale range), the POI-type icons offered
// as waypoint images, the image loader for "icons.txt" and the "poi" font.
// The program adapts Render::RenderStyles (RenderWaypointStyles); tests
// give their own.

#include "render/StyleSet.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Render {
class Font;
class Image;
class ImageLoader;
class RenderStyles;
} // namespace Render

class WaypointStyles {
  public:
    virtual ~WaypointStyles() = default;
    // The style of exactly this type, null when it has none.
    virtual const Render::PoiStyle* poiStyle(std::uint16_t type) = 0;
    // The POI-type icons in style order (repeats possible).
    virtual std::vector<Render::Image*> typeIcons() = 0;
    // An image by data name ("pois/icons/x.bmp"), owned elsewhere; null when
    // it does not load.
    virtual Render::Image* loadImage(const std::string& name) = 0;
    // The font of waypoint names (null: no names) and the colour
    // (0xAABBGGRR) of a name on a black halo when neither the point's type
    // nor the default waypoint type has a style; otherwise names take their
    // style's caption colours.
    virtual Render::Font* nameFont() = 0;
    virtual std::uint32_t nameColour() = 0;
};

// Over the program's render styles (the active set, else the day set),
// its image loader and the design's "poi" font.
class RenderWaypointStyles : public WaypointStyles {
  public:
    RenderWaypointStyles(Render::RenderStyles& styles, Render::ImageLoader* images, Render::Font* font,
                         std::uint32_t colour)
        : m_styles(styles), m_images(images), m_font(font), m_colour(colour) {}

    const Render::PoiStyle* poiStyle(std::uint16_t type) override;
    std::vector<Render::Image*> typeIcons() override;
    Render::Image* loadImage(const std::string& name) override;
    Render::Font* nameFont() override { return m_font; }
    std::uint32_t nameColour() override { return m_colour; }

  private:
    const Render::StyleSet& set() const;

    Render::RenderStyles& m_styles;
    Render::ImageLoader* m_images;
    Render::Font* m_font;
    std::uint32_t m_colour;
};
