#include "render/detail/CapPatterns.h"

#include "render/detail/Raster.h"

#include <SDL.h>

namespace xe::detail {

namespace {

// Draws a cap centred in a one-byte scratch surface through the given
// drawing call and reads its pixels back as runs.
template <class Draw> std::vector<CapRun> scanCap(std::int64_t r, Draw draw) {
    const int side = static_cast<int>(2 * r + 5);
    const int centre = static_cast<int>(r + 2);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(side) * static_cast<std::size_t>(side), 0);
    SDL_Surface* scratch = SDL_CreateRGBSurfaceFrom(pixels.data(), side, side, 8, side, 0, 0, 0, 0);
    std::vector<CapRun> runs;
    if (scratch == nullptr) return runs;
    draw(Canvas::of(scratch), centre);
    SDL_FreeSurface(scratch);
    for (int y = 0; y < side; ++y) {
        const std::uint8_t* row = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(side);
        for (int x = 0; x < side;) {
            if (row[x] == 0) {
                ++x;
                continue;
            }
            int end = x;
            while (end + 1 < side && row[end + 1] != 0) ++end;
            runs.push_back(CapRun{y - centre, x - centre, end - centre});
            x = end + 1;
        }
    }
    return runs;
}

const std::vector<CapRun>& cached(std::vector<std::vector<CapRun>>& table, std::vector<bool>& done, std::int64_t r,
                                  auto draw) {
    const auto index = static_cast<std::size_t>(r);
    if (table.size() <= index) {
        table.resize(static_cast<std::size_t>(CapPatterns::kLargestRadius) + 1);
        done.resize(table.size(), false);
    }
    if (!done[index]) {
        table[index] = scanCap(r, draw);
        done[index] = true;
    }
    return table[index];
}

} // namespace

const std::vector<CapRun>& CapPatterns::makeFilled(std::int64_t r) {
    return cached(filled_, filledDone_, r, [r](const Canvas& canvas, int c) {
        fillOctagonPieces64(canvas, c, c, r, 1);
    });
}

const std::vector<CapRun>& CapPatterns::outline(std::int64_t r) {
    return cached(outline_, outlineDone_, r, [r](const Canvas& canvas, int c) {
        drawOctagonOutlineLines64(canvas, c, c, r, 1);
    });
}

const std::vector<std::int64_t>& CapPatterns::makeOutlineOffsets(std::int64_t r, std::int64_t pitch,
                                                                 int bytes) {
    const auto index = static_cast<std::size_t>(r);
    if (outlineOffsets_.size() <= index) outlineOffsets_.resize(static_cast<std::size_t>(kLargestRadius) + 1);
    Offsets& kept = outlineOffsets_[index];
    if (kept.pitch != pitch || kept.bytes != bytes) {
        kept.at.clear();
        for (const CapRun& c : outline(r))
            for (std::int64_t x = c.from; x <= c.to; ++x)
                kept.at.push_back(c.dy * pitch + x * bytes);
        kept.pitch = pitch;
        kept.bytes = bytes;
    }
    return kept.at;
}

CapPatterns& sharedCapPatterns() {
    static CapPatterns patterns;
    return patterns;
}

} // namespace xe::detail
