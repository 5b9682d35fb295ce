#pragma once
// Writes Windows BMP files (BITMAPINFOHEADER, uncompressed, rows bottom-up)
// from pixels given top-down as 0xAARRGGBB. 32-bit files keep the alpha
// byte as their fourth byte; 24-bit files drop it and pad rows to 4 bytes.
// Self-contained (no project libraries) so that build-time generators can
// use it as well as tests.

#include <cstdint>
#include <string>
#include <vector>

namespace TestSupport {

std::string bmpBytes(int width, int height, int bitsPerPixel, const std::vector<std::uint32_t>& argbTopDown);

// A width x height picture of one colour.
std::string solidBmp(int width, int height, int bitsPerPixel, std::uint32_t argb);

} // namespace TestSupport
