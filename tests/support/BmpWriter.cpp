#include "tests/support/BmpWriter.h"

#include "tools/mapwriter/LittleEndian.h"

namespace TestSupport {

std::string bmpBytes(int width, int height, int bitsPerPixel, const std::vector<std::uint32_t>& argbTopDown) {
    const int bytesPerPixel = bitsPerPixel / 8;
    const std::uint32_t rowBytes = (std::uint32_t(width) * std::uint32_t(bytesPerPixel) + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * std::uint32_t(height);
    const std::uint32_t headerBytes = 14 + 40;
    std::string out;
    out += "BM";
    put32(out, headerBytes + imageBytes);
    put32(out, 0);
    put32(out, headerBytes);
    put32(out, 40);
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(height));
    put16(out, 1);
    put16(out, std::uint32_t(bitsPerPixel));
    put32(out, 0); // BI_RGB
    put32(out, imageBytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = argbTopDown[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            row += char(p & 0xFF);
            row += char((p >> 8) & 0xFF);
            row += char((p >> 16) & 0xFF);
            if (bytesPerPixel == 4)
                row += char(p >> 24);
        }
        row.resize(rowBytes, '\0');
        out += row;
    }
    return out;
}

std::string solidBmp(int width, int height, int bitsPerPixel, std::uint32_t argb) {
    return bmpBytes(width, height, bitsPerPixel,
                    std::vector<std::uint32_t>(std::size_t(width) * std::size_t(height), argb));
}

} // namespace TestSupport
