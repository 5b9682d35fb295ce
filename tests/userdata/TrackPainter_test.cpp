#include "userdata/TrackPainter.h"

#include "TrackTestSupport.h"
#include "core/Config.h"
#include "core/FileSystem.h"
#include "render/MapCamera.h"
#include "tests/render/SurfaceTestSupport.h"
#include "tests/support/TempDir.h"
#include "userdata/fdTrackManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

namespace {

// The window kept as one sorted vector, re-sorted after every change.
std::int64_t referenceThreshold(const std::vector<xe::Point>& p) {
    const std::size_t n = p.size();
    const std::size_t k = std::max<std::size_t>(n / 20, 1);
    std::vector<std::int64_t> w;
    std::int64_t sum = 0, first = 0;
    for (std::size_t i = 1; i < n; ++i) {
        const std::int64_t dx = p[i].x - p[i - 1].x, dy = p[i].y - p[i - 1].y, s = dx * dx + dy * dy;
        if (i == 1) first = s;
        if (w.size() < 2 * k) {
            w.push_back(s);
        } else if (s < w[k - 1]) {
            sum += w[k - 1];
            w[k - 1] = s;
        } else if (s > w[k]) {
            sum += w[k];
            w[k] = s;
        } else {
            sum += s;
        }
        std::sort(w.begin(), w.end());
    }
    const std::int64_t m = static_cast<std::int64_t>(n) - 2 * static_cast<std::int64_t>(k) - 1;
    return 9 * (m > 0 ? sum / m : first);
}

TEST(TrackPainter, StepThresholdMatchesAPlainWindow) {
    std::mt19937 random(7);
    std::vector<std::int64_t> window;
    for (int round = 0; round < 300; ++round) {
        std::vector<xe::Point> points(2 + random() % 120);
        for (auto& p : points)
            p = xe::Point{static_cast<int>(random() % 400), static_cast<int>(random() % 50)};
        ASSERT_EQ(trackStepThreshold(points.data(), points.size(), window), referenceThreshold(points))
            << round;
    }
    const std::vector<xe::Point> three{{0, 0}, {3, 4}, {100, 4}};
    EXPECT_EQ(trackStepThreshold(three.data(), 3, window), 9 * 25) << "k = 1, m = 0: the first step's";
}

// A flat camera over global units, one pixel per unit, looking at (0, 0).
struct DrawFixture {
    RenderTest::SurfacePtr surface = RenderTest::makeSurface(32, 300, 100);
    xe::Canvas canvas = xe::Canvas::of(surface.get());
    MapCamera camera;
    TrackDrawBuffers buffers;

    DrawFixture() {
        camera.setViewport(300, 100, 1.0f);
        camera.setAnchorFraction(0.5f);
        camera.setScale(1.0f);
        camera.setupForLevel(Map::LevelFrame{32, 0, 0, 0});
    }
    xe::Point screen(Map::Point p) {
        xe::Point s;
        EXPECT_TRUE(camera.mapToScreen(p, s));
        return s;
    }
    // Coloured pixels in the screen column through a map point's column.
    int columnCount(Map::Point p) {
        int n = 0;
        for (int y = 0; y < 100; ++y)
            n += RenderTest::pixelAt(surface.get(), screen(p).x, y) != 0;
        return n;
    }
    void draw(const std::vector<FriendTrackPoint>& points) {
        SDL_FillRect(surface.get(), nullptr, 0);
        fdTrackManager::drawTrackPoints(buffers, canvas, camera, points, 0xFF0000FF);
    }
};

TEST(TrackPainter, BreaksAtLongStepsGapsAndHiddenPoints) {
    DrawFixture f;
    auto at = [](int x, int y = 0, bool gap = false) { return FriendTrackPoint{gap, Map::Point{x, y}}; };
    // Equal steps of 10 with one of 100: the long step is not drawn.
    f.draw({at(-120), at(-110), at(-100), at(-90), at(10), at(20), at(30), at(40)});
    EXPECT_GT(f.columnCount({-115, 0}), 0);
    EXPECT_EQ(f.columnCount({-40, 0}), 0);
    EXPECT_GT(f.columnCount({35, 0}), 0);
    // A point outside the view splits the line as well.
    f.draw({at(-40), at(-30), at(-20), at(-10, 100000), at(0), at(10), at(20)});
    EXPECT_GT(f.columnCount({-35, 0}), 0);
    EXPECT_EQ(f.columnCount({-5, 0}), 0);
    EXPECT_GT(f.columnCount({15, 0}), 0);
    // So does a recorded gap.
    f.draw({at(-40), at(-30), at(-20), at(-10, 0, true), at(0)});
    EXPECT_EQ(f.columnCount({-15, 0}), 0);
    EXPECT_GT(f.columnCount({-5, 0}), 0);
    // One pixel, or a single point, draws nothing.
    f.draw({at(5), at(5), at(5)});
    EXPECT_EQ(f.columnCount({5, 0}), 0);
}

TEST(TrackPainter, TracksAreAsWideAsTheirLineSize) {
    for (std::uint16_t size : {1, 2, 3, 5}) {
        DrawFixture f;
        SDL_FillRect(f.surface.get(), nullptr, 0);
        TrackPainter painter(f.canvas, f.camera, size, 0xFF00FF00, f.buffers.points, f.buffers.steps);
        for (int x = -100; x <= 100; x += 10)
            painter.addPoint(Map::Point{x, 3});
        painter.flush();
        EXPECT_EQ(f.columnCount({5, 3}), size);
    }
}

TEST(TrackPainter, RecordingAndShownTracksAreDrawnWhileTheGpsAppends) {
    TestSupport::TempDir dir;
    Core::Config config;
    config.root()->set("tracker_state", 2);
    dir.write("stored.kvt", TrackTest::trackHeader(0) + TrackTest::trackRecords(50));
    fdTrackManager manager(FileSystem::toWide(dir.path().string()), config.root());
    ASSERT_EQ(manager.trackCount(), 1u);
    manager.startTrack(u"new.kvt");

    DrawFixture f;
    const Positioning::Fix origin = TrackTest::walkFix(0);
    f.camera.setCentre(Map::Point{origin.x, origin.y});
    f.camera.setScale(0.01f);
    f.camera.setupForLevel(Map::LevelFrame{32, 0, 0, 0});
    // The GPS thread appends while the main thread draws (run under
    // ThreadSanitizer by hand: the ring is shared under the track's mutex).
    std::thread gps([&manager] {
        for (int i = 0; i < 3000; ++i)
            manager.onFix(true, TrackTest::walkFix(i % 400));
    });
    for (int frame = 0; frame < 30; ++frame)
        manager.drawTracks(f.buffers, f.canvas, f.camera);
    gps.join();

    auto drawn = [&] {
        SDL_FillRect(f.surface.get(), nullptr, 0);
        manager.drawTracks(f.buffers, f.canvas, f.camera);
        int n = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 300; ++x)
                n += RenderTest::pixelAt(f.surface.get(), x, y) != 0;
        return n;
    };
    EXPECT_GT(drawn(), 0) << "the recording is drawn though hidden";
    manager.closeTracks();
    EXPECT_EQ(drawn(), 0) << "hidden stored tracks are not";
    manager.setTrackShown(0, true);
    manager.setTrackColour(0, 0xFFFFFFFF);
    EXPECT_GT(drawn(), 0);
}

} // namespace
