#include "core/TempSurface.h"

#include "core/Log.h"

#include <SDL/SDL_error.h>
#include <SDL/SDL_video.h>

TempSurface::TempSurface(int depth, std::uint32_t redMask, std::uint32_t greenMask, std::uint32_t blueMask,
                         std::uint32_t alphaMask)
    : m_depth(depth), m_redMask(redMask), m_greenMask(greenMask), m_blueMask(blueMask), m_alphaMask(alphaMask) {}

TempSurface::~TempSurface() {
    Log::log(Log::Normal, u"TempSurface size on destruction: %d x %d", m_surface ? m_surface->w : 0,
             m_surface ? m_surface->h : 0);
    if (m_surface)
        SDL_FreeSurface(m_surface);
}

SDL_Surface* TempSurface::get(int width, int height) {
    if (m_surface && m_surface->w >= width && m_surface->h >= height)
        return m_surface;
    if (m_surface)
        SDL_FreeSurface(m_surface);
    m_surface = SDL_CreateRGBSurface(0, width, height, m_depth, m_redMask, m_greenMask, m_blueMask, m_alphaMask);
    if (!m_surface)
        Log::log(Log::Critical, u"Can't create temporary surface %d x %d: %hs", width, height, SDL_GetError());
    return m_surface;
}
