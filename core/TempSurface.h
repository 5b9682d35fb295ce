#pragma once
// One reusable software surface for drawing passes that need a scratch
// buffer of about the screen's size. It only grows: a request that fits the
// surface it has returns that surface (which may be larger than asked).

#include <cstdint>

struct SDL_Surface;

class TempSurface {
public:
    TempSurface(int depth, std::uint32_t redMask, std::uint32_t greenMask, std::uint32_t blueMask,
                std::uint32_t alphaMask);
    // Logs "TempSurface size on destruction: %d x %d" (0 x 0 when no surface
    // was ever made) and frees the surface.
    ~TempSurface();
    TempSurface(const TempSurface&) = delete;
    TempSurface& operator=(const TempSurface&) = delete;

    // A surface at least width x height; null (after logging) when SDL cannot
    // create one, the old surface being gone then as well.
    SDL_Surface* get(int width, int height);

private:
    SDL_Surface* m_surface = nullptr;
    int m_depth;
    std::uint32_t m_redMask, m_greenMask, m_blueMask, m_alphaMask;
};
