#pragma once
// The screen corners of the 3D bands whose borders were drawn, kept for the
// fill of the same bands: a frame draws every band's border before any
// band's body, and both passes project and map the very same corners (the
// same points, normals, width and camera). A band is found again by all of
// those, compared whole, so a corner comes back only where it would be
// computed again to the same values.

#include "render/Canvas.h"
#include "render/FixedTransform.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace xe::detail {

// A band corner inside the near and far planes: its screen pixel and its
// outcode (side planes only).
struct KeptCorner {
    std::int32_t x;
    std::int32_t y;
    std::uint32_t code;
};

// What a band's corners are made from: its cell-local points and the
// normals of its segments (count - 1), the normals' length, the band's
// half-width, and the projection (the 3D matrix and the fixed viewport).
struct BandKey {
    const Point* points;
    const Point* normals;
    int count;
    std::int32_t normalLength;
    std::int32_t width;
    const FixedMatrix* matrix;
    const std::array<std::int32_t, 9>* viewport;
};

class BandCornerStore {
  public:
    // Keeps the corners of the band (copied); a band kept already keeps
    // its first ones.
    void keep(const BandKey& key, const KeptCorner* corners, std::size_t count);
    // The corners kept for the band, or null; valid until the next keep or
    // clear.
    const KeptCorner* find(const BandKey& key) const;
    // Forgets every band (and the projections).
    void clear();
    std::size_t bands() const { return records_.size(); }
    std::size_t corners() const { return corners_.size(); }

  private:
    struct Record {
        std::uint64_t hash;
        std::uint32_t words;   // offset of the key's words in words_
        std::uint32_t corners; // offset of the corners in corners_
    };
    std::uint32_t projectionOf(const BandKey& key);
    int findProjection(const BandKey& key) const;
    static std::uint64_t hashOf(const BandKey& key, std::uint32_t projection);
    bool sameBand(const Record& record, const BandKey& key, std::uint32_t projection) const;
    std::int64_t slotOf(std::uint64_t hash, const BandKey& key, std::uint32_t projection) const;
    void rebuildTable();

    // The projections seen since the last clear: the matrix then the viewport.
    std::vector<std::array<std::int32_t, 25>> projections_;
    mutable std::uint32_t lastProjection_ = 0;
    mutable std::size_t next_ = 0; // the record after the last one found
    std::vector<std::int32_t> words_;
    std::vector<KeptCorner> corners_;
    std::vector<Record> records_;
    std::vector<std::int32_t> table_; // record index + 1, 0 empty; size a power of two
};

} // namespace xe::detail
