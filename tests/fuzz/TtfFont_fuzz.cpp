// TrueType fonts: opened from memory, measured and drawn at a few sizes.
#include "render/TtfFont.h"
#include "tests/fuzz/FuzzInput.h"

#include <SDL.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    static SDL_Surface* target = SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 32, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    const std::u16string text = u"Ag\u0416\u00C5\u0301 fi";
    std::vector<std::uint8_t> bytes(data, data + size);
    SDL_RWops* rw = SDL_RWFromMem(bytes.data(), static_cast<int>(bytes.size()));
    auto font = Render::TtfFont::create(rw, 6 + static_cast<int>(size % 20), true);
    if (!font)
        return 0;
    Render::TextSize measured;
    font->textSize(measured, text);
    font->setStyle(static_cast<int>(size % 8));
    font->drawText(target, -3, 2, 0xFF000000, text);
    font->drawTextSolid(target, 40, -5, 7, 0xFF000000, 0xFFFFFFFF, text);
    return 0;
}
