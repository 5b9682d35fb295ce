#pragma once
// The pixels of the octagonal caps (filled and outlined) by radius, as row
// runs relative to the centre. Every band draws two caps and every border
// two outlines; the shapes depend only on the radius (the edge walks are the
// same wherever they start), so each radius is scanned once and its runs are
// then copied to the caps' places. Clipping the runs to a canvas gives the
// pixels the caps' own pieces give there, as those are clipped exactly.

#include <cstdint>
#include <vector>

namespace xe::detail {

struct CapRun {
    std::int32_t dy;
    std::int32_t from; // inclusive, relative to the centre's column
    std::int32_t to;
};

class CapPatterns {
  public:
    // Radii up to this one are kept; larger caps are scanned each time.
    static constexpr std::int64_t kLargestRadius = 128;

    // The filled octagon of radius r, 1 <= r <= kLargestRadius. Inline
    // once made: every band asks for two.
    const std::vector<CapRun>& filled(std::int64_t r) {
        const auto index = static_cast<std::size_t>(r);
        if (index < filledDone_.size() && filledDone_[index]) [[likely]]
            return filled_[index];
        return makeFilled(r);
    }
    // The outline of the octagon of radius r, 0 <= r <= kLargestRadius.
    const std::vector<CapRun>& outline(std::int64_t r);
    // The same outline's pixels as byte offsets from the centre's pixel on
    // a surface of the given pitch and bytes per pixel (an outline's runs
    // are a pixel or two: stored one by one).
    const std::vector<std::int64_t>& outlineOffsets(std::int64_t r, std::int64_t pitch, int bytes) {
        const auto index = static_cast<std::size_t>(r);
        if (index < outlineOffsets_.size()) [[likely]] {
            const Offsets& kept = outlineOffsets_[index];
            if (kept.pitch == pitch && kept.bytes == bytes) return kept.at;
        }
        return makeOutlineOffsets(r, pitch, bytes);
    }

  private:
    const std::vector<CapRun>& makeFilled(std::int64_t r);
    const std::vector<std::int64_t>& makeOutlineOffsets(std::int64_t r, std::int64_t pitch, int bytes);

    struct Offsets {
        std::int64_t pitch = 0;
        int bytes = 0;
        std::vector<std::int64_t> at;
    };
    std::vector<std::vector<CapRun>> filled_;
    std::vector<std::vector<CapRun>> outline_;
    std::vector<bool> filledDone_;
    std::vector<bool> outlineDone_;
    std::vector<Offsets> outlineOffsets_;
};

// The rasteriser's one instance (main thread only).
CapPatterns& sharedCapPatterns();

} // namespace xe::detail
