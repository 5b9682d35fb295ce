// The map page's frames while the car moves follow the UI timer: the route
// demo drives Monaco, the camera turns after the car, and the main loop's
// passes run between the timer's expose events on a clock that moves a
// millisecond a pass, as the real loop's waits do. Between the timer's
// ticks come the exposes of others that wake the loop: the renderer's, a
// second copy's raise request, the GPS setup page's search progress; none
// of them is a frame of its own.

#include "app/fdEngine.h"

#include "core/Text.h"
#include "map/Projection.h"
#include "positioning/Clock.h"
#include "render/MapCamera.h"
#include "render/MapPageServices.h"
#include "routing/AtlasRoute.h"
#include "screens/fdPageMap.h"
#include "screens/fdPageSetupGPSX.h"
#include "tests/app/ProgramFolder.h"
#include "tests/support/TempDir.h"
#include "ui/fdInterface.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct StepClock : Positioning::Clock {
    std::uint32_t ticksMs() const override { return ticks; }
    Positioning::DateTime localTime() const override { return {7, 12, 2026, 12, 0, 0, 0}; }
    std::uint32_t ticks = 1000;
};

TEST(FramePace, ARouteDemoDrawsAtMostOneFrameATimerTick) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const TestSupport::ProgramFolder folder("monaco");
    std::ofstream(folder.data("config.xml"))
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config version=\"2\">\n"
           "<var name=\"atlas\" value=\"maps\\monaco\"/>\n<var name=\"auto_dn\" value=\"0\"/>\n"
           "<var name=\"map_start\" value=\"1\"/>\n</config>\n";
    StepClock clock;
    engine::fdEngine e(folder.wide());
    e.setClock(clock);
    ASSERT_EQ(e.init(), 0);
    // From the Casino down to the port: the car starts turning the view
    // towards its heading at once.
    for (const auto& [lat, lon] : {std::pair{43.7384f, 7.4246f}, {43.7311f, 7.4197f}})
        ASSERT_TRUE(e.route()->addPathPointAtLocation(*e.atlas(), *e.configRoot(),
                                                      Map::Projection::fromGeo(lat, lon)));
    Ui::fdInterface& ui = *e.ui();
    ui.setClock([&clock] { return clock.ticks; });
    auto* page = Screens::fdPageMap::instance();
    ASSERT_NE(page, nullptr);

    for (const std::uint8_t mode : {0, 1}) {
        SCOPED_TRACE(mode == 0 ? "2D" : "3D");
        page->stopDemo();
        e.camera().setMode(mode);
        e.camera().setRotation(e.atlas()->view(), 0.0f);
        // Shown: drawn at once, not a timer period later (the timer pushes
        // nothing before the page's first tick).
        const std::uint64_t framesBeforeShow = e.framesDrawn();
        ui.activatePage(page);
        SDL_Event event;
        while (SDL_PollEvent(&event)) e.handleEvents(event);
        EXPECT_GE(e.framesDrawn(), framesBeforeShow + 1);
        ASSERT_TRUE(page->startDemo());
        const std::uint64_t framesBefore = e.framesDrawn(), exposesBefore = ui.timerExposes();
        int idlePeriods = 0;
        Map::Point centreFirst{};
        const int periods = 40;
        Screens::fdPageSetupGPSX::FindProgressHandler search(
            std::make_shared<Screens::fdPageSetupGPSX::Report>());
        for (int period = 0; period < periods; ++period) {
            // The timer's expose, as its thread pushes it; then the loop's
            // passes until the period is over or nothing is left to do,
            // the others' exposes arriving half-way.
            Ui::fdInterface::timerCallback(50, &ui);
            const std::uint32_t end = clock.ticks + 50;
            const auto passes = [&](std::uint32_t until) {
                while (clock.ticks < until && SDL_PollEvent(&event)) {
                    ++clock.ticks;
                    e.handleEvents(event);
                }
            };
            passes(end - 25);
            if (clock.ticks < end - 25) clock.ticks = end - 25;
            MapDrawing::sdlPushExpose();
            e.requestRaise();
            search.progress(u"Searching COM3 - 4800", period);
            passes(end);
            // The loop came to rest: no expose of its own kept it busy.
            idlePeriods += clock.ticks < end;
            clock.ticks = end;
            if (period == 0) centreFirst = e.camera().centre();
        }
        const std::uint64_t frames = e.framesDrawn() - framesBefore;
        // The ticks counted include those the timer's own thread pushed
        // meanwhile (more on a slow machine), each allowing a frame; one of
        // its ticks may have been counted before the demo started and drawn
        // after.
        EXPECT_LE(frames, ui.timerExposes() - exposesBefore + 1);
        EXPECT_EQ(idlePeriods, periods);
        // ... and the page kept up with the car: a frame nearly every tick,
        // and the view went along with it.
        EXPECT_GE(frames, static_cast<std::uint64_t>(periods) * 3 / 4);
        const Map::Point centre = e.camera().centre();
        EXPECT_TRUE(centre.x != centreFirst.x || centre.y != centreFirst.y);
    }
    e.shutdown();
}

} // namespace
