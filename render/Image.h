#pragma once
// Pictures behind one small interface: loading a BMP into a surface of the
// display format, the image interface with its plain implementation over a
// surface, drawing an image at an anchor, and framed (9-slice) drawing into a
// rectangle of any size. Main thread only.

#include <SDL/SDL_video.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TempSurface;

namespace FileSystem {
class VirtualFs;
}

namespace Render {

// Horizontal and vertical alignment codes of Image::drawAligned; any other
// value acts as Start.
enum Alignment : int { AlignStart = 0, AlignCentre = 1, AlignEnd = 2 };

class Image {
public:
    virtual ~Image() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // True when a surface is present (an implementation may load it here).
    virtual bool isValid() = 0;
    virtual SDL_Surface* surface() = 0;
    // Blits the whole image into the rectangle's corner moved by the
    // alignment: centre adds (rect size - image size) / 2 rounded toward
    // zero, end adds rect size - image size. Nothing is scaled or clipped to
    // the rectangle.
    virtual bool drawAligned(SDL_Surface* destination, const SDL_Rect& rect, int hAlign, int vAlign) = 0;
    // Blits the source rectangle of the image to (x, y). Positions are
    // SDL_Rect's signed 16-bit coordinates; SDL clips.
    virtual bool drawPart(SDL_Surface* destination, std::int16_t x, std::int16_t y, const SDL_Rect& source) = 0;
    // As drawPart, from a copy of the image multiplied by the colour
    // (0xAABBGGRR factors, see multiplySurface).
    virtual bool drawMultiplied(SDL_Surface* destination, std::int16_t x, std::int16_t y, const SDL_Rect& source,
                                std::uint32_t colour) = 0;

    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
};

// An image over an existing surface.
class ImageFromSurface : public Image {
public:
    // Wraps the surface without owning it.
    explicit ImageFromSurface(SDL_Surface* surface);
    // Takes the surface over: it is freed with the image.
    static std::unique_ptr<ImageFromSurface> owning(SDL_Surface* surface);
    ~ImageFromSurface() override;

    int width() const override { return m_surface ? m_surface->w : 0; }
    int height() const override { return m_surface ? m_surface->h : 0; }
    bool isValid() override { return m_surface != nullptr; }
    SDL_Surface* surface() override { return m_surface; }
    bool drawAligned(SDL_Surface* destination, const SDL_Rect& rect, int hAlign, int vAlign) override;
    bool drawPart(SDL_Surface* destination, std::int16_t x, std::int16_t y, const SDL_Rect& source) override;
    // When the copy cannot be made, the image is drawn untinted.
    bool drawMultiplied(SDL_Surface* destination, std::int16_t x, std::int16_t y, const SDL_Rect& source,
                        std::uint32_t colour) override;

private:
    SDL_Surface* m_surface;
    bool m_owns = false;
};

// An image cut into nine pieces by four borders: fixed corners, edges and a
// centre that are stretched or repeated to fill a rectangle.
struct ImageFrame {
    Image* image = nullptr;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool tileHorizontally = false;
    bool tileVertically = false;
};

// An image and the point of it that is placed on a given position.
struct ImageAnchor {
    Image* image = nullptr;
    std::int32_t originX = 0, originY = 0;
};

// Loads a BMP file (through the file layer) and converts it to the given
// pixel format (the display surface's); the caller owns the result. A
// 32-bit BMP whose fourth bytes are not all zero keeps them as alpha when
// the format has an alpha channel. A null format keeps the loaded format.
// Null after logging "Failed to load image file '%s' (err %d)" (cannot be
// opened) or "Failed to load image file '%s' (sdl_err %s)" (not a BMP SDL
// reads).
SDL_Surface* loadImage(const std::u16string& path, const SDL_PixelFormat* format);

// Loads a BMP by its data name ("icons/fuel.bmp") from the data packages,
// or the loose file where the package is missing, for display on a surface
// of the given format: a picture with alpha (see loadImage) keeps it in the
// byte the format leaves free. Null after logging "Failed to load image file
// '%s' from pack".
SDL_Surface* loadPackedImage(FileSystem::VirtualFs& files, const std::string& name, const SDL_PixelFormat* format);

// Draws the anchor's whole image with its origin at (x, y); returns what the
// image's drawPart returns (false without an image).
bool drawImageAt(const ImageAnchor& anchor, int x, int y, SDL_Surface* destination);

// Framed drawing into rect. Stretched pieces are scaled once into the
// temporary surface, which must have the image's bits per pixel (and, for
// transparency to survive, its masks). False, drawing nothing, when the
// rectangle is smaller than the borders or the image has no centre; false
// part-way when a scaling or a part fails.
bool drawImage(const ImageFrame& frame, SDL_Surface* destination, const SDL_Rect& rect, TempSurface& temp);

namespace detail {
// The alpha rule for 32-bit BMPs: SDL reads them without alpha; when the
// byte the colour masks leave free is not zero everywhere it becomes alpha.
// Returns the surface to use (a new one replaces and frees the old).
SDL_Surface* applyBmpAlpha(SDL_Surface* loaded);
} // namespace detail

} // namespace Render
