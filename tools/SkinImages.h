#pragma once
// The pictures of the demo skin: materials (flat rounded panels cut into
// nine pieces by the design), icons and cursors in white with soft
// anti-aliased edges, the splash logo and its animation frames. Drawn from
// simple shapes with 4 x 4 supersampling and written as 32-bit BMPs with
// alpha.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace DemoData {

// A picture being drawn: pixels 0xAARRGGBB, top-down, transparent at
// first.
class Picture {
public:
    Picture(int width, int height) : m_width(width), m_height(height), m_pixels(std::size_t(width * height), 0) {}
    // Paints the colour over every pixel in proportion to the share of its
    // 16 sample points inside the shape.
    void fill(const std::function<bool(double x, double y)>& inside, std::uint32_t argb);
    int width() const { return m_width; }
    int height() const { return m_height; }
    const std::vector<std::uint32_t>& pixels() const { return m_pixels; }

private:
    int m_width, m_height;
    std::vector<std::uint32_t> m_pixels;
};

// Writes skin/*.bmp under the data folder; the relative names written,
// empty when a file could not be written.
std::vector<std::string> writeSkinImages(const std::filesystem::path& dataFolder);

} // namespace DemoData
