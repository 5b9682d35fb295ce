#pragma once
// Where a caption's box may move when its own place is taken: the boxes in
// its way near where it may go (names and labels placed, leaders, icons),
// and the shifts along one direction, nearest first, that take it just past
// them.

#include "render/CaptionGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace Render {

class CaptionRoom {
  public:
    // A rectangle of the target in whole pixels.
    struct Area {
        std::int32_t left, top, right, bottom;
        void add(std::int32_t x, std::int32_t y) {
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
        Area grown(std::int32_t by) const { return Area{left - by, top - by, right + by, bottom + by}; }
    };

    // One way to move: the unit direction, the shifts the caller may take
    // (a span that lies wholly beyond them is passed by) and how far a moved
    // box keeps from what it passes.
    struct Slide {
        float dirX, dirY;
        float least, most;
        float gap;
    };

    // Forgets the boxes in the way; those added from now on count when they
    // reach into the area.
    void begin(const Area& area);
    void add(const OrientedBox& box);
    // The box overlaps none of the boxes in the way.
    bool clear(const OrientedBox& box) const;

    // Tries the moving boxes slid together along the slide's direction by
    // the shifts just past (by the gap) each span of shifts over which one
    // of them would meet a box in the way, nearest to no shift first, until
    // fits(shift) takes one; false when none does. fits() tests what it
    // takes: a shift past every span may still be refused by rounding.
    template <class Fits>
    bool slide(std::initializer_list<OrientedBox> moving, const Slide& how, Fits&& fits) {
        spansOf(moving, how);
        return std::any_of(m_shifts.begin(), m_shifts.end(), fits);
    }

  private:
    struct Span {
        float from, to;
    };
    // Fills m_shifts for slide().
    void spansOf(std::initializer_list<OrientedBox> moving, const Slide& how);

    Area m_area{0, 0, 0, 0};
    std::vector<OrientedBox> m_boxes;
    std::vector<Span> m_spans;
    std::vector<float> m_shifts;
};

} // namespace Render
