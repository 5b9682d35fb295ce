#pragma once
// Geometry of caption placing: turned text boxes and their overlap test, the
// 2 x 2 solver used for nearest points and crossings, and segment clipping.

#include <cstdint>

namespace Render {

// A rectangle turned about its centre. The first axis (axisX, axisY) is the
// text's reading direction in screen pixels, the second its perpendicular
// (-axisY, axisX).
struct OrientedBox {
    float centreX = 0.0f;
    float centreY = 0.0f;
    float axisX = 1.0f;
    float axisY = 0.0f;
    float halfWidth = 0.0f;
    float halfHeight = 0.0f;

    // No point of the box lies farther than this from its centre.
    float extent() const;
    // Separating-axis test. Touching boxes count as overlapping only when
    // the small slack against rounding makes them so.
    bool overlaps(const OrientedBox& other) const;
    // The box slid by t pixels along the unit direction (dirX, dirY)
    // overlaps other (as overlaps() tells) exactly for t in [from, to];
    // false when it overlaps for no t.
    bool overlapsAlong(const OrientedBox& other, float dirX, float dirY, float& from, float& to) const;
};

// A POI icon drawn in the frame, which captions keep clear of: the box
// through the centres of its outermost pixels (a caption that only meets
// its edge leaves all of it seen), and its own caption (the record word of
// its slot in the map's caption table, null when it has none), which is
// placed against the icon and may meet it.
struct IconBox {
    OrientedBox box;
    const std::uint32_t* caption = nullptr;
    // The POI drawn, which a tap on the icon names: its map (atlas order)
    // and its address record (object 0: none, as for the car).
    std::uint32_t mapIndex = 0;
    std::uint32_t object = 0;

    // The icon whose top-left pixel is (left, top).
    static IconBox of(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                      const std::uint32_t* caption);
};

// Solves a11 p + a12 q = b1, a21 p + a22 q = b2 by elimination (the rows
// swapped first when |a11| < 0.001); false when a pivot is zero.
bool solve2x2(float a11, float a21, float a12, float a22, float b1, float b2, float& p, float& q);

// Inclusive rectangle [left, right] x [top, bottom].
struct ClipBox {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Clips the segment in place to the rectangle; false when no part of it
// lies inside. Crossings use 64-bit integers and truncating division.
bool clipSegment(std::int32_t& x1, std::int32_t& y1, std::int32_t& x2, std::int32_t& y2, const ClipBox& box);

} // namespace Render
