#include "render/CaptionGeometry.h"

#include "SurfaceTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using Render::ClipBox;
using Render::OrientedBox;

namespace {

struct Segment {
    std::int32_t x1, y1, x2, y2;
    bool operator==(const Segment&) const = default;
};

bool clip(Segment& s, const ClipBox& box) {
    return Render::clipSegment(s.x1, s.y1, s.x2, s.y2, box);
}

} // namespace

TEST(CaptionGeometry, ClipSegmentKeepsThePartInsideTheInclusiveRectangle) {
    const ClipBox box{0, 0, 100, 50};
    Segment inside{0, 0, 100, 50};
    EXPECT_TRUE(clip(inside, box));
    EXPECT_EQ(inside, (Segment{0, 0, 100, 50}));

    Segment left{-20, 10, -1, 40};
    EXPECT_FALSE(clip(left, box));
    Segment below{10, 51, 90, 80};
    EXPECT_FALSE(clip(below, box));

    // Both ends outside on opposite sides: moved onto the two edges, the
    // other coordinate by truncating division.
    Segment across{-10, 10, 110, 40};
    EXPECT_TRUE(clip(across, box));
    EXPECT_EQ(across, (Segment{0, 12, 100, 38}));

    Segment down{30, -25, 60, 75};
    EXPECT_TRUE(clip(down, box));
    EXPECT_EQ(down, (Segment{37, 0, 53, 50}));

    // Left and above: the left edge is reached below the top, so the top
    // edge is used.
    Segment corner{-10, -40, 20, 20};
    EXPECT_TRUE(clip(corner, box));
    EXPECT_EQ(corner, (Segment{10, 0, 20, 20}));

    // Passing the corner outside.
    Segment miss{-10, 5, 5, -10};
    EXPECT_FALSE(clip(miss, box));

    // Far coordinates need 64-bit products.
    Segment far{-2000000000, 25, 2000000000, 25};
    EXPECT_TRUE(clip(far, box));
    EXPECT_EQ(far, (Segment{0, 25, 100, 25}));
    Segment steep{50, -2000000000, 51, 2000000000};
    EXPECT_TRUE(clip(steep, box));
    EXPECT_EQ(steep.y1, 0);
    EXPECT_EQ(steep.y2, 50);
}

TEST(CaptionGeometry, Solve2x2SwapsSmallPivotsAndRefusesSingularSystems) {
    float p = 0, q = 0;
    ASSERT_TRUE(Render::solve2x2(2, 1, 1, 3, 5, 10, p, q)); // 2p + q = 5, p + 3q = 10
    EXPECT_FLOAT_EQ(p, 1.0f);
    EXPECT_FLOAT_EQ(q, 3.0f);
    ASSERT_TRUE(Render::solve2x2(0.0f, 1, 1, 0, 4, 7, p, q)); // q = 4, p = 7
    EXPECT_FLOAT_EQ(p, 7.0f);
    EXPECT_FLOAT_EQ(q, 4.0f);
    EXPECT_FALSE(Render::solve2x2(1, 2, 2, 4, 1, 2, p, q));
    EXPECT_FALSE(Render::solve2x2(0, 0, 1, 1, 1, 1, p, q));
}

TEST(CaptionGeometry, OrientedBoxesOverlapBySeparatingAxes) {
    const OrientedBox a{0, 0, 1, 0, 10, 5};
    EXPECT_TRUE(a.overlaps(OrientedBox{15, 0, 1, 0, 10, 5}));
    EXPECT_FALSE(a.overlaps(OrientedBox{21, 0, 1, 0, 10, 5}));
    EXPECT_FALSE(a.overlaps(OrientedBox{0, 10.5f, 1, 0, 10, 5}));
    // Touching edges count as overlapping through the slack.
    EXPECT_TRUE(a.overlaps(OrientedBox{20, 0, 1, 0, 10, 5}));
    EXPECT_TRUE(a.overlaps(OrientedBox{0, 10, 1, 0, 10, 5}));

    // A turned box inside a's bounding corner region but clear of it: the
    // axis-aligned boxes would overlap, the turned ones do not.
    const float c = std::sqrt(0.5f);
    const OrientedBox turned{13, 9, c, -c, 6, 1};
    EXPECT_FALSE(a.overlaps(turned));
    EXPECT_FALSE(turned.overlaps(a));
    const OrientedBox crossing{5, 0, c, c, 20, 1};
    EXPECT_TRUE(a.overlaps(crossing));
    EXPECT_TRUE(crossing.overlaps(a));
}

// Against overlaps() itself: a box slid along a direction overlaps another
// exactly over the span overlapsAlong() gives (away from its ends, where
// rounding may decide), and never farther from it than extent() allows.
TEST(CaptionGeometry, AnOrientedBoxOverlapsAnotherAlongOneSpanOfItsShifts) {
    std::mt19937 random(RenderTest::testSeed());
    std::uniform_real_distribution<float> angle(0.0f, 6.2831853f), place(-60.0f, 60.0f), half(0.0f, 25.0f);
    const auto box = [&] {
        const float a = angle(random);
        return OrientedBox{place(random), place(random), std::cos(a),
                           std::sin(a),   half(random),  half(random)};
    };
    int spans = 0;
    for (int trial = 0; trial < 500; ++trial) {
        const OrientedBox moving = box(), other = box();
        const float a = angle(random), dirX = std::cos(a), dirY = std::sin(a);
        float from = 0.0f, to = 0.0f;
        const bool meets = moving.overlapsAlong(other, dirX, dirY, from, to);
        spans += meets;
        for (float t = -200.0f; t <= 200.0f; t += 0.5f) {
            if (meets && (std::fabs(t - from) < 0.01f || std::fabs(t - to) < 0.01f)) continue;
            OrientedBox slid = moving;
            slid.centreX += t * dirX;
            slid.centreY += t * dirY;
            ASSERT_EQ(slid.overlaps(other), meets && from <= t && t <= to)
                << "trial " << trial << " shift " << t << " span " << from << ".." << to;
        }
        const float c = moving.axisX, s = moving.axisY;
        for (const float corner : {1.0f, -1.0f})
            for (const float side : {1.0f, -1.0f})
                EXPECT_LE(std::hypot(corner * moving.halfWidth * c - side * moving.halfHeight * s,
                                     corner * moving.halfWidth * s + side * moving.halfHeight * c),
                          moving.extent() + 1e-4f);
    }
    EXPECT_GT(spans, 100);
    EXPECT_LT(spans, 500);
}
