// Every primitive on a canvas whose clip rectangle is smaller than the
// surface: the border outside the clip rectangle keeps its sentinel value,
// whatever the coordinates, including far ones that used to wrap. Lines,
// triangles and polygons are checked so by their differential tests.

#include "render/Bands.h"
#include "render/Fill.h"
#include "render/FixedTransform.h"
#include "render/Lines.h"
#include "render/RendererBase.h"

#include "SurfaceTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kSentinel = 0x5A5A;
constexpr std::uint32_t kInk = 0x0F0F;
constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr float kQuarter[16] = {0.25f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 1, 0, 30, 30, 0, 1};

const std::int32_t kFar[] = {-40000,  40000, 131072, 150000, 200000,    262144,    -131072, -262144,   300000,
                             -300000, 32767, -32768, 65536,  INT32_MAX, INT32_MIN, 1 << 30, -(1 << 30)};

class ClipTest : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        surface_ = RenderTest::makeSurface(GetParam(), 64, 64);
        canvas_ = xe::Canvas{surface_.get(), 8, 8, 56, 56};
        pattern_ = RenderTest::makeSurface(GetParam(), 16, 16);
        RenderTest::fillAll(pattern_.get(), kInk);
    }

    std::int32_t coordinate() {
        std::uniform_int_distribution<int> pick(0, 3);
        if (pick(random_) == 0) {
            std::uniform_int_distribution<std::size_t> which(0, std::size(kFar) - 1);
            return kFar[which(random_)];
        }
        std::uniform_int_distribution<int> near(-12, 76);
        return near(random_);
    }

    static int size(const std::vector<xe::Point>& p) { return static_cast<int>(p.size()); }

    xe::Point point() { return {coordinate(), coordinate()}; }

    std::vector<xe::Point> points(int n) {
        std::vector<xe::Point> out;
        for (int i = 0; i < n; ++i)
            out.push_back(point());
        return out;
    }

    // Runs one drawing many times with fresh random coordinates, checks the
    // border after each, and that some run drew inside the clip rectangle.
    void check(const std::string& name, const std::function<void()>& draw) {
        int drew = 0;
        for (int i = 0; i < 400; ++i) {
            RenderTest::fillAll(surface_.get(), kSentinel);
            draw();
            const int outside = RenderTest::touchedOutside(surface_.get(), canvas_, kSentinel);
            ASSERT_EQ(outside, 0) << name << " run " << i;
            drew += RenderTest::countPixels(surface_.get(), kSentinel) != 64 * 64;
        }
        EXPECT_GT(drew, 0) << name;
    }

    std::mt19937 random_{RenderTest::testSeed()};
    RenderTest::SurfacePtr surface_;
    RenderTest::SurfacePtr pattern_;
    xe::Canvas canvas_;
};

TEST_P(ClipTest, RasterPrimitivesStayInsideTheClipRectangle) {
    std::uniform_int_distribution<int> flag(0, 1);
    std::uniform_int_distribution<int> radius(0, 40);
    const xe::Canvas& c = canvas_;
    check("drawRect", [&] {
        const auto p = point();
        const SDL_Rect r{static_cast<Sint16>(p.x), static_cast<Sint16>(p.y),
                         static_cast<Uint16>(coordinate()), static_cast<Uint16>(coordinate())};
        xe::drawRect(c, r, kInk);
    });
    check("fillPatternScan", [&] {
        const auto p = points(3 + static_cast<int>(random_() % 10));
        xe::fillPatternScan(c, kIdentity, p.data(), size(p), pattern_.get());
    });
    check("fillOctagon", [&] {
        const auto p = point();
        xe::fillOctagon(c, p.x, p.y, flag(random_) ? radius(random_) : coordinate(), kInk);
    });
    check("drawOctagonOutline", [&] {
        const auto p = point();
        xe::drawOctagonOutline(c, p.x, p.y, flag(random_) ? radius(random_) : coordinate(), kInk);
    });
    auto offsetsFor = [&](int n) {
        std::vector<xe::Point> o;
        for (int i = 0; i < n; ++i)
            o.push_back(flag(random_) ? xe::Point{radius(random_) - 20, radius(random_) - 20} : point());
        return o;
    };
    check("drawWideBand", [&] {
        const auto p = points(2 + static_cast<int>(random_() % 5));
        const auto o = offsetsFor(size(p) - 1);
        xe::drawWideBand(c, p.data(), o.data(), size(p), kInk);
    });
    check("drawWideBandBorder", [&] {
        const auto p = points(2 + static_cast<int>(random_() % 5));
        const auto o = offsetsFor(size(p) - 1);
        xe::drawWideBandBorder(c, p.data(), o.data(), size(p), kInk);
    });
    check("drawDashedBand", [&] {
        const auto p = points(2 + static_cast<int>(random_() % 5));
        const auto n = offsetsFor(size(p) - 1);
        xe::drawDashedBand(c, flag(random_) ? kIdentity : kQuarter, 16, p.data(), n.data(), size(p),
                           static_cast<float>(radius(random_)) / 4.0f,
                           static_cast<float>(radius(random_) + 1), static_cast<float>(radius(random_)),
                           kInk);
    });
    check("drawThickPolyline", [&] {
        const auto p = points(2 + static_cast<int>(random_() % 5));
        xe::drawThickPolyline(c, p.data(), size(p),
                              flag(random_) ? static_cast<float>(radius(random_)) / 3.0f : 1e9f, kInk);
    });
}

TEST_P(ClipTest, RendererSlotsStayInsideTheClipRectangle) {
    std::uniform_int_distribution<int> flag(0, 1);
    std::uniform_int_distribution<int> small(-40, 40);
    auto& r = dynamic_cast<xe::RendererBase&>(xe::renderer2d());
    const xe::Canvas& c = canvas_;
    const xe::ViewMatrices view{kQuarter, nullptr, kIdentity};
    auto newView = [&] {
        // Scale 1, or 1/4096 so that 262144 level units are 64 pixels.
        const float scale = flag(random_) ? 1.0f : 1.0f / 4096.0f;
        const float m[16] = {scale, 0, 0, 0, 0, scale, 0, 0, 0, 0, 1, 0, 32, 32, 0, 1};
        xe::toFixedMatrix(m, xe::fixedMatrix2d());
    };
    auto normals = [&](int n) {
        std::vector<xe::Point> out;
        for (int i = 0; i < n; ++i)
            out.push_back(flag(random_) ? xe::Point{small(random_), small(random_)} : point());
        return out;
    };
    auto count = [&] { return 2 + static_cast<int>(random_() % 6); };
    check("drawPolyline", [&] {
        newView();
        const auto p = points(count());
        r.drawPolyline(c, p.data(), size(p), 0xFF);
    });
    check("drawWidePolyline", [&] {
        newView();
        const auto p = points(count());
        const auto n = normals(size(p) - 1);
        r.drawWidePolyline(c, p.data(), n.data(), flag(random_) ? 16 : coordinate(), size(p),
                           flag(random_) ? small(random_) : coordinate(), 0xFF);
    });
    check("drawWidePolylineBorder", [&] {
        newView();
        const auto p = points(count());
        const auto n = normals(size(p) - 1);
        r.drawWidePolylineBorder(c, p.data(), n.data(), flag(random_) ? 16 : coordinate(), size(p),
                                 flag(random_) ? small(random_) : coordinate(), 0xFF);
    });
    check("drawDashedPolyline", [&] {
        const auto p = points(count());
        const auto n = normals(size(p) - 1);
        r.drawDashedPolyline(c, view, 16, p.data(), n.data(), 0, size(p), static_cast<float>(small(random_)),
                             1.0f, 0xFF);
    });
    check("drawArrows", [&] {
        newView();
        const auto p = points(count());
        const auto n = normals(size(p) - 1);
        r.drawArrows(c, p.data(), n.data(), 16, size(p), flag(random_) ? 4.0f : 1e6f, 0xFF);
    });
    check("fillPolygon", [&] {
        newView();
        const auto p = points(count() + 1);
        r.fillPolygon(c, p.data(), size(p), 0xFF);
    });
    check("fillPatternPolygon", [&] {
        newView();
        const auto p = points(count() + 1);
        r.fillPatternPolygon(c, view, p.data(), size(p), pattern_.get());
    });
    check("drawPolygonOutline", [&] {
        newView();
        auto p = points(count() + 1);
        for (auto& q : p)
            if (flag(random_)) q.x = 0;
        r.drawPolygonOutline(c, 262144, p.data(), size(p), 0xFF);
    });
    check("drawPolylineInterior", [&] {
        newView();
        const auto p = points(count());
        r.drawPolylineInterior(c, p.data(), size(p), 0xFF);
    });
}

INSTANTIATE_TEST_SUITE_P(Depths, ClipTest, ::testing::Values(16, 32));

} // namespace
