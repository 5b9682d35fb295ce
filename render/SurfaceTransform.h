#pragma once
// Pixel operations on SDL surfaces of 1, 2 or 4 bytes per pixel: rotation
// (bilinear at 2 and 4 bytes, nearest at 1), nearest-neighbour scaling with a
// separate exact-doubling path, exact whole enlargement, and multiplication
// by a colour. All
// per-pixel arithmetic is 16.16 fixed point. Other depths are refused with a
// logged message. Main thread only.

#include <cstdint>

struct SDL_Surface;
struct SDL_Rect;

namespace Render {

struct RotatedSize {
    int width;
    int height;
};

// Bounding box of a width x height rectangle rotated by the angle whose sine
// and cosine are given: the ceiling of the largest corner extent, at least 1
// and at most 65535.
RotatedSize rotatedSize(int width, int height, float sine, float cosine);

// A new surface of the source's format and rotated size holding the source
// rotated about its centre, pixels not reached left 0; null on failure
// (also for a sine or cosine that is not finite or beyond 1).
SDL_Surface* rotateSurface(SDL_Surface* source, float sine, float cosine);

// Rotates the source rectangle about its centre into the rectangle
// (0, 0, rotated size) of the destination. False when the depths differ, the
// source rectangle is not inside the source surface, the destination is
// smaller than the rotated size (logged), the depth is unsupported (logged)
// or the sine or cosine is not finite or beyond 1.
bool rotateInto(const SDL_Rect& sourceRect, SDL_Surface* source, float sine, float cosine,
                SDL_Surface* destination);

// A new surface of the source's format and the given size holding the
// whole source scaled; null on failure.
SDL_Surface* zoomSurface(SDL_Surface* source, int width, int height);

// Scales the source rectangle into the destination rectangle. False when the
// depths differ, either rectangle does not lie inside its surface, the
// source rectangle is empty while the destination is not, or the depth is
// unsupported (logged). An empty destination rectangle draws nothing.
bool zoomInto(const SDL_Rect& destinationRect, SDL_Surface* destination, SDL_Surface* source,
              const SDL_Rect& sourceRect);

// A new surface of the source's format (its transparent colour and surface
// alpha included) in which every source pixel is a factor x factor square:
// whole enlargements without the rounding of the step tables, which make
// blocks of unequal sizes at factors other than powers of two. Null on
// failure, for a factor below 1 or a result beyond 65535 pixels a side.
SDL_Surface* wholeScaleSurface(SDL_Surface* source, int factor);

// Multiplies every pixel in place by the colour's bytes (byte 0 = red of
// 0x00BBGGRR, ... byte 3 = alpha), each channel by its own factor whatever
// the surface's channel order; v becomes v * f / 255 rounded. A palettised
// surface without channel masks has its palette multiplied.
void multiplySurface(SDL_Surface* surface, std::uint32_t colour);

namespace detail {
// floor(source * 65536 / destination + 0.5), the scaling step.
std::uint32_t zoomStep(int sourceSize, int destinationSize);
// The dest + 1 entries of a scaling step table (see zoomInto).
void fillZoomTable(std::uint32_t step, int* table, int count);
} // namespace detail

} // namespace Render
