#pragma once
// The text renderer interface shared by windows through a shared pointer
// (the kinds are in ui/TextRenderers.h). Colours are 0x00BBGGRR in
// (day, night) pairs; -1 means no colour.

#include "render/Font.h"

#include <SDL/SDL_video.h>

#include <cstdint>
#include <string_view>

namespace Ui {

struct ColourPair {
    std::uint32_t day = 0xFFFFFFFFu;
    std::uint32_t night = 0xFFFFFFFFu;
    std::uint32_t current(bool isDay) const { return isDay ? day : night; }
    bool operator==(const ColourPair&) const = default;
};

struct TextPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

class TxtRenderer {
public:
    virtual ~TxtRenderer() = default;
    // 1 simple, 2 effect, 3 cursor.
    virtual int kind() const = 0;
    virtual void setFont(Render::Font* font) = 0;
    virtual void setColors(const ColourPair& colours) = 0;
    virtual Render::TextSize measure(std::u16string_view text) = 0;
    virtual TextPoint origin(const SDL_Rect& rect, std::u16string_view text, int hAlign, int vAlign) = 0;
    // Draws in the colours of the display mode (isDay).
    virtual void draw(SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view text, int hAlign, int vAlign,
                      bool isDay) = 0;

    TxtRenderer() = default;
    TxtRenderer(const TxtRenderer&) = delete;
    TxtRenderer& operator=(const TxtRenderer&) = delete;
};

} // namespace Ui
