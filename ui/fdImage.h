#pragma once
// An image of the design, loaded by file name from the data packages (the
// loose file where the package is missing) on first use. A 24-bit picture
// becomes the display format with alpha; a 32-bit one with a non-zero
// fourth byte keeps it as alpha. Loaded pixels stay until the interface
// releases its images (after the pages are built, after the atlases page's
// work): a picture that comes and goes, as a manoeuvre arrow does, is read
// once; the next use after a release loads it again.

#include "render/Image.h"

#include <cstdint>
#include <string>

namespace FileSystem {
class VirtualFs;
}

namespace Ui {

class fdImage : public Render::Image {
public:
    // Loads nothing yet.
    fdImage(std::string fileName, FileSystem::VirtualFs* files);
    ~fdImage() override;

    // Of the last loaded surface; 0 before the first load.
    int width() const override { return m_width; }
    int height() const override { return m_height; }
    // Loads the pixels when they are not held; false (logged) on failure.
    bool isValid() override;
    SDL_Surface* surface() override { return m_surface; }
    bool drawAligned(SDL_Surface* destination, const SDL_Rect& rect, int hAlign, int vAlign) override;
    bool drawPart(SDL_Surface* destination, std::int16_t x, std::int16_t y, const SDL_Rect& source) override;
    bool drawMultiplied(SDL_Surface* destination, std::int16_t x, std::int16_t y, const SDL_Rect& source,
                        std::uint32_t colour) override;

    const std::string& fileName() const { return m_fileName; }
    void releaseSurface();

private:
    bool load();

    FileSystem::VirtualFs* m_files;
    SDL_Surface* m_surface = nullptr;
    std::string m_fileName;
    int m_width = 0;
    int m_height = 0;
};

} // namespace Ui
