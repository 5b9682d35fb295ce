#include "render/detail/RowRuns.h"

#include "render/Pixels.h"
#include "render/detail/TriangleScan.h"

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
    sink.pixels_ = static_cast<std::uint8_t*>(canvas.surface->pixels);
    sink.pitch_ = canvas.surface->pitch;
    sink.bytes_ = canvas.surface->format->BytesPerPixel;
    sink.pixel_ = pixel;
    return sink;
}

void RowRuns::finish(std::int64_t firstY, std::int64_t lastY) {
    firstY = std::max<std::int64_t>(firstY, canvas_.top);
    lastY = std::min<std::int64_t>(lastY, std::int64_t{canvas_.bottom} - 1);
    // The surface's fields taken once (the stores below could alias them),
    // and the loop made once per depth, so that each row's store is direct.
    const SDL_Surface* surface = canvas_.surface;
    auto* pixels = static_cast<std::uint8_t*>(surface->pixels);
    const std::int64_t pitch = surface->pitch;
    auto rows = [&](auto bytes) {
        for (std::int64_t y = firstY; y <= lastY; ++y) {
            Run& r = rows_[static_cast<std::size_t>(y - canvas_.top)];
            if (r.start == kNoStart) continue;
            fillRowRun(pixels + y * pitch, bytes(), r.start, static_cast<std::size_t>(r.end - r.start + 1),
                       pixel_);
            r = Run{kNoStart, kNoEnd};
        }
    };
    const int bytes = surface->format->BytesPerPixel;
    if (bytes == 4)
        rows([] { return 4; });
    else if (bytes == 2)
        rows([] { return 2; });
    else
        rows([bytes] { return bytes; });
}

void RowRuns::fill(std::int64_t y, std::int32_t from, std::int32_t to) const {
    const SDL_Surface* surface = canvas_.surface;
    fillRowRun(static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch,
               surface->format->BytesPerPixel, from, static_cast<std::size_t>(to - from + 1), pixel_);
}

template void scanTriangle<const RowRuns::Sink&>(const Canvas&, i64, i64, i64, i64, i64, i64, const RowRuns::Sink&);

RowRuns& sharedRowRuns() {
    static RowRuns runs;
    return runs;
}

} // namespace xe::detail
