#include "userdata/TrackPainter.h"

#include "UserDataTestSupport.h"
#include "userdata/fdTrackManager.h"

#include <optional>
#include <thread>

using namespace UserDataTest;

namespace {

struct DrawFixture {
    RenderTest::SurfacePtr surface = RenderTest::makeSurface(32, 300, 100);
    xe::Canvas canvas = xe::Canvas::of(surface.get());
    MapCamera camera;
    TrackDrawBuffers buffers;

    // Coloured pixels in the screen column of map x, or on the whole surface.
    int coloured(std::optional<int> x = std::nullopt) {
        xe::Point s;
        camera.mapToScreen(Map::Point{x.value_or(0), 0}, s);
        int n = 0;
        for (int y = 0; y < 100; ++y)
            for (int c = x ? s.x : 0; c < (x ? s.x + 1 : 300); ++c)
                n += RenderTest::pixelAt(surface.get(), c, y) != 0;
        return n;
    }
};

TEST(TrackPainter, BreaksAtLongStepsGapsAndHiddenPoints) {
    auto at = [](int x, int y = 0, bool gap = false) { return FriendTrackPoint{gap, Map::Point{x, y}}; };
    const std::tuple<std::vector<FriendTrackPoint>, std::vector<int>, std::vector<int>> cases[] = {
        // Equal steps of 10 and one of 100: the long step is not drawn.
        {{at(-120), at(-110), at(-100), at(-90), at(10), at(20), at(30), at(40)}, {-115, 35}, {-40}},
        {{at(-40), at(-30), at(-20), at(-10, 100000), at(0), at(10), at(20)},
         {-35, 15},
         {-5}},                                                              // off the view
        {{at(-40), at(-30), at(-20), at(-10, 0, true), at(0)}, {-5}, {-15}}, // recorded gap
        {{at(5), at(5), at(5)}, {}, {5}},                                    // one pixel
        {{at(-40), at(-37), at(-27)}, {-38}, {-32}}, // n = 3: beyond nine times the first step squared
    };
    for (const auto& [points, inked, blank] : cases) {
        DrawFixture f;
        flatCamera(f.camera, 300, 100);
        fdTrackManager::drawTrackPoints(f.buffers, f.canvas, f.camera, points, 0xFF0000FF);
        for (int x : inked)
            EXPECT_GT(f.coloured(x), 0) << x;
        for (int x : blank)
            EXPECT_EQ(f.coloured(x), 0) << x;
    }
}

// Each side lies the line size away from the axis, and the thick polyline
// fills the rows of both edges: 2 * size + 1 pixels.
TEST(TrackPainter, TracksAreTwiceTheirLineSizeWide) {
    for (std::uint16_t size : {0, 1, 2, 3, 5}) {
        DrawFixture f;
        flatCamera(f.camera, 300, 100);
        TrackPainter painter(f.canvas, f.camera, size, 0xFF00FF00, f.buffers.points, f.buffers.steps);
        for (int x = -100; x <= 100; x += 10)
            painter.addPoint(Map::Point{x, 0});
        painter.flush();
        EXPECT_EQ(f.coloured(5), 2 * size + 1) << size;
    }
}

TEST(TrackPainter, RecordingAndShownTracksAreDrawnWhileTheGpsAppends) {
    TestSupport::TempDir dir;
    Core::Config config;
    config.root()->set("tracker_state", 2);
    dir.write("stored.kvt", closedTrackHeader(50, trackPaletteColour(0), 1, false) + trackRecords(50));
    fdTrackManager manager(wide(dir.path()), config.root());
    manager.startTrack(u"new.kvt");
    DrawFixture f;
    flatCamera(f.camera, 300, 100, Map::Point{walkFix(0).x, walkFix(0).y}, 0.01f);
    // The GPS thread appends while the main thread draws (run under
    // ThreadSanitizer by hand: the ring is shared under the track's mutex).
    std::thread gps([&manager] {
        for (int i = 0; i < 3000; ++i)
            manager.onFix(true, walkFix(i % 400));
    });
    for (int frame = 0; frame < 30; ++frame)
        manager.drawTracks(f.buffers, f.canvas, f.camera);
    gps.join();
    auto drawn = [&] {
        SDL_FillRect(f.surface.get(), nullptr, 0);
        manager.drawTracks(f.buffers, f.canvas, f.camera);
        return f.coloured();
    };
    EXPECT_GT(drawn(), 0) << "the recording is drawn though hidden";
    manager.closeTracks();
    EXPECT_GT(drawn(), 0) << "the finished recording stays drawn";
    manager.setTrackShown(1, false);
    EXPECT_EQ(drawn(), 0) << "hidden stored tracks are not";
    manager.setTrackShown(0, true);
    manager.setTrackColour(0, 0xFFFFFFFF);
    EXPECT_GT(drawn(), 0);
}

} // namespace
