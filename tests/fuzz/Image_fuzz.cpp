// BMP images: loaded in their own format and in a display format, then
// drawn multiplied and aligned as the skins and map icons are.
#include "render/Image.h"
#include "tests/fuzz/FuzzInput.h"

#include <SDL.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    static SDL_Surface* target = SDL_CreateRGBSurface(SDL_SWSURFACE, 48, 48, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    const std::u16string path = FuzzInput::scratchFile("image.bmp", data, size);
    for (const SDL_PixelFormat* format : {static_cast<const SDL_PixelFormat*>(nullptr),
                                          static_cast<const SDL_PixelFormat*>(target->format)}) {
        SDL_Surface* surface = Render::loadImage(path, format);
        if (surface == nullptr)
            continue;
        auto image = Render::ImageFromSurface::owning(surface);
        image->drawMultiplied(target, 2, 2, SDL_Rect{0, 0, 40, 40}, 0x80FF8040);
        image->drawAligned(target, SDL_Rect{0, 0, 48, 48}, 1, 1);
    }
    return 0;
}
