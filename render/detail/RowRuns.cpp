#include "render/detail/RowRuns.h"

#include "render/Pixels.h"

#include <algorithm>

namespace xe::detail {

RowRuns::Sink RowRuns::begin(const Canvas& canvas, std::uint32_t pixel) {
    canvas_ = canvas;
    pixel_ = pixel;
    const std::size_t rows = canvas.bottom > canvas.top ? static_cast<std::size_t>(canvas.bottom - canvas.top) : 0;
    if (rows_.size() < rows) rows_.resize(rows, Run{kNoStart, kNoEnd});
    Sink sink;
    sink.rows_ = rows_.data();
    sink.top_ = canvas.top;
    sink.left_ = canvas.left;
    sink.last_ = std::int64_t{canvas.right} - 1;
    sink.owner_ = this;
    return sink;
}

void RowRuns::finish(std::int64_t firstY, std::int64_t lastY) {
    firstY = std::max<std::int64_t>(firstY, canvas_.top);
    lastY = std::min<std::int64_t>(lastY, std::int64_t{canvas_.bottom} - 1);
    SDL_Surface* surface = canvas_.surface;
    if (surface->format->BytesPerPixel == 4) {
        // The map's depth: the rows are stored here rather than through a
        // call each.
        auto* pixels = static_cast<std::uint8_t*>(surface->pixels);
        for (std::int64_t y = firstY; y <= lastY; ++y) {
            Run& r = rows_[static_cast<std::size_t>(y - canvas_.top)];
            if (r.start == kNoStart) continue;
            fillPixels32(reinterpret_cast<std::uint32_t*>(pixels + y * surface->pitch) + r.start,
                         static_cast<std::size_t>(r.end - r.start + 1), pixel_);
            r = Run{kNoStart, kNoEnd};
        }
        return;
    }
    if (surface->format->BytesPerPixel == 2) {
        auto* pixels = static_cast<std::uint8_t*>(surface->pixels);
        for (std::int64_t y = firstY; y <= lastY; ++y) {
            Run& r = rows_[static_cast<std::size_t>(y - canvas_.top)];
            if (r.start == kNoStart) continue;
            fillPixels16(reinterpret_cast<std::uint16_t*>(pixels + y * surface->pitch) + r.start,
                         static_cast<std::size_t>(r.end - r.start + 1), static_cast<std::uint16_t>(pixel_));
            r = Run{kNoStart, kNoEnd};
        }
        return;
    }
    for (std::int64_t y = firstY; y <= lastY; ++y) {
        Run& r = rows_[static_cast<std::size_t>(y - canvas_.top)];
        if (r.start == kNoStart) continue;
        fill(y, r.start, r.end);
        r = Run{kNoStart, kNoEnd};
    }
}

void RowRuns::fill(std::int64_t y, std::int32_t from, std::int32_t to) const {
    SDL_Surface* surface = canvas_.surface;
    if (surface->format->BytesPerPixel == 4) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch);
        fillPixels32(row + from, static_cast<std::size_t>(to - from + 1), pixel_);
        return;
    }
    if (surface->format->BytesPerPixel == 2) {
        auto* row = reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch);
        fillPixels16(row + from, static_cast<std::size_t>(to - from + 1), static_cast<std::uint16_t>(pixel_));
        return;
    }
    drawHSpan(surface, from, to + 1, static_cast<std::int32_t>(y), pixel_);
}

RowRuns& sharedRowRuns() {
    static RowRuns runs;
    return runs;
}

} // namespace xe::detail
