#include "ui/fdImage.h"

#include "core/Log.h"

#include <cstdint>

namespace Ui {

fdImage::fdImage(std::string fileName, FileSystem::VirtualFs* files) : m_files(files), m_fileName(std::move(fileName)) {}

fdImage::~fdImage() { releaseSurface(); }

void fdImage::releaseSurface() {
    if (m_surface)
        SDL_FreeSurface(m_surface);
    m_surface = nullptr;
}

bool fdImage::isValid() { return m_surface || load(); }

bool fdImage::load() {
    releaseSurface();
    if (m_fileName.empty())
        return false;
    SDL_Surface* loaded = nullptr;
    if (m_files)
        loaded = Render::loadPackedImage(*m_files, m_fileName, nullptr);
    else
        Log::log(Log::Critical, "Failed to load image file '%s' from pack", m_fileName);
    if (!loaded)
        return false;
    Log::log(Log::Info, "Image file '%s' : %d x %d", m_fileName, loaded->w, loaded->h);
    if (loaded->format->BytesPerPixel == 3) {
        const int bits = loaded->format->BitsPerPixel;
        SDL_Surface* converted = SDL_DisplayFormatAlpha(loaded);
        SDL_FreeSurface(loaded);
        if (!converted) {
            Log::log(Log::Critical, "Failed to convert image file '%s' from %d bpp", m_fileName, bits);
            return false;
        }
        Log::log(Log::Normal, "Image file '%s' converted from %d to %d bpp", m_fileName, bits,
                 converted->format->BitsPerPixel);
        loaded = converted;
    }
    m_surface = loaded;
    m_width = loaded->w;
    m_height = loaded->h;
    return true;
}

bool fdImage::drawAligned(SDL_Surface* destination, const SDL_Rect& rect, int hAlign, int vAlign) {
    return isValid() && Render::ImageFromSurface(m_surface).drawAligned(destination, rect, hAlign, vAlign);
}

bool fdImage::drawPart(SDL_Surface* destination, std::int16_t x, std::int16_t y, const SDL_Rect& source) {
    return isValid() && Render::ImageFromSurface(m_surface).drawPart(destination, x, y, source);
}

bool fdImage::drawMultiplied(SDL_Surface* destination, std::int16_t x, std::int16_t y, const SDL_Rect& source,
                             std::uint32_t colour) {
    return isValid() && Render::ImageFromSurface(m_surface).drawMultiplied(destination, x, y, source, colour);
}

} // namespace Ui
