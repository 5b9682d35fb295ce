#pragma once
// Gathers the row runs of same-coloured pieces that make one shape (the
// triangles and squares of a band and its caps) and fills each row's
// touching runs once. The pieces of a band overlap along their shared edges
// and at every joint; drawn one by one they would write those pixels again
// and cost a span call per piece and row. The pixels set are exactly the
// union of the pieces' runs.

#include "render/Canvas.h"
#include "render/Pixels.h"

#include <cstdint>
#include <vector>

namespace xe::detail {

class RowRuns {
    // Nothing gathered on the row: start kNoStart and end kNoEnd, so that the
    // first run merges into it like any touching one.
    struct Run {
        std::int32_t start;
        std::int32_t end;
    };
    static constexpr std::int32_t kNoStart = INT32_MAX;
    static constexpr std::int32_t kNoEnd = INT32_MIN;

  public:
    // Takes the runs of one shape. A small value that the scan loops copy,
    // so that what it stores cannot alias their own state.
    class Sink {
      public:
        // The inclusive run from..to of canvas row y (top <= y < bottom),
        // clamped here to the canvas's columns.
        __attribute__((always_inline)) void operator()(std::int64_t y, std::int64_t from, std::int64_t to) const {
            if (from < left_) from = left_;
            if (to > last_) to = last_;
            if (from > to) return;
            inside(y, from, to);
        }

        // The same for a run known to lie on the canvas's columns, from <= to
        // (the scans know it of a piece that lies on them). Both inlined into
        // the scans' loops, however large, so that nothing they keep in
        // registers goes through memory.
        __attribute__((always_inline)) void inside(std::int64_t y, std::int64_t from, std::int64_t to) const {
            const auto a = static_cast<std::int32_t>(from);
            const auto b = static_cast<std::int32_t>(to);
            Run& r = rows_[y - top_];
            const std::int32_t start = r.start;
            const std::int32_t end = r.end;
            const std::int32_t merged0 = a < start ? a : start;
            const std::int32_t merged1 = b > end ? b : end;
            r = Run{merged0, merged1};
            // The two runs overlap or touch when their hull is no longer
            // than both together and one more pixel. Whether a row holds a
            // run yet follows no pattern the branch predictor could learn,
            // so one test covers both cases: counted modulo 2^32, an empty
            // row (kNoStart, kNoEnd) counts as two pixels long and always
            // merges; runs on a surface's columns (below 2^16) never wrap.
            using U = std::uint32_t;
            const U hull = U(merged1) - U(merged0);
            if (hull > (U(end) - U(start)) + (U(b) - U(a)) + 1) [[unlikely]] {
                // A run apart from the gathered one (a band folding back
                // across the row): the gathered one is filled now and this
                // one kept. Through the owner: a call of three values costs
                // the scans' loops less than one handing over the surface's
                // fields.
                owner_->fill(y, start, end);
                r = Run{a, b};
            }
        }

        // Fills the run from..to of row y at once, gathering nothing: for
        // a piece's rows that share little with the others (the union of
        // the pixels is the same, some of them stored twice). The run lies
        // on the canvas, from <= to; Bytes is bytesPerPixel() (2 or 4).
        template <int Bytes>
        __attribute__((always_inline)) void direct(std::int64_t y, std::int64_t from, std::int64_t to) const {
            fillRowRun(pixels_ + y * pitch_, Bytes, from, static_cast<std::size_t>(to - from + 1), pixel_);
        }
        int bytesPerPixel() const { return bytes_; }

      private:
        friend class RowRuns;
        Run* rows_ = nullptr;
        std::int64_t top_ = 0;
        std::int64_t left_ = 0;
        std::int64_t last_ = 0; // the canvas's last column
        const RowRuns* owner_ = nullptr;
        // The surface's fields, for the runs filled at once.
        std::uint8_t* pixels_ = nullptr;
        std::int64_t pitch_ = 0;
        int bytes_ = 0;
        std::uint32_t pixel_ = 0;
    };

    // Starts a shape on the canvas, whose surface the caller holds locked
    // until finish().
    Sink begin(const Canvas& canvas, std::uint32_t pixel);
    // Fills what is gathered on rows firstY .. lastY (clamped to the canvas),
    // which must hold every row the shape's runs went to.
    void finish(std::int64_t firstY, std::int64_t lastY);

  private:
    void fill(std::int64_t y, std::int32_t from, std::int32_t to) const;

    Canvas canvas_;
    std::uint32_t pixel_ = 0;
    std::vector<Run> rows_; // per canvas row
};

// The rasteriser's one instance (main thread only, like its fill tables).
RowRuns& sharedRowRuns();

} // namespace xe::detail
