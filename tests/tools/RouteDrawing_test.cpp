// The route line as the map page draws it: a route over the demo town (the
// town's two levels above the region's and the country's maps, which the
// town hides where it has data), read back from frames of the real map
// renderer at every level the town is drawn with.

#include "tools/render-atlas/AtlasRendering.h"

#include "core/Config.h"
#include "map/Projection.h"
#include "routing/AtlasRoute.h"
#include "routing/Minimap.h"
#include "routing/NearestRoad.h"
#include "routing/RouteComputation.h"
#include "tools/demo-atlas/DemoAtlas.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

// The route colour of the drawing (0x00BBGGRR 0x00FF4000).
constexpr Uint8 RouteR = 0x00, RouteG = 0x40, RouteB = 0xFF;

Map::Point townPoint(double east, double north) {
    const auto [x, y] = DemoAtlas::globalOf(east, north);
    return {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

bool routeColoured(SDL_Surface* s, int x, int y) {
    const auto* row = static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch;
    Uint32 pixel = 0;
    std::memcpy(&pixel, row + x * s->format->BytesPerPixel, s->format->BytesPerPixel);
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(pixel, s->format, &r, &g, &b);
    return r == RouteR && g == RouteG && b == RouteB;
}

// The screen columns with no pixel of the route colour.
int columnsWithoutRoute(SDL_Surface* s) {
    SDL_LockSurface(s);
    int empty = 0;
    for (int x = 0; x < s->w; ++x) {
        bool found = false;
        for (int y = 0; y < s->h && !found; ++y)
            found = routeColoured(s, x, y);
        empty += found ? 0 : 1;
    }
    SDL_UnlockSurface(s);
    return empty;
}

// East along Main Street from 900 m west of the roundabout to 900 m east
// of it, around the south half of the roundabout (30 m across); the view
// centred halfway down the roundabout keeps both halves of the route on
// the screen down to the closest view.
TEST(RouteDrawing, TheRouteCrossesTheScreenAtEveryLevelOfTheTown) {
    const std::string data = std::filesystem::path(MIREL_SOURCE_DIR) / "data";
    const Map::GeoPoint centre = Map::Projection::toGeo(townPoint(0, -15));
    // Metres per 40 pixels: the region's level, the town's overview level,
    // and its detail level from where it starts down to the closest view.
    for (const float scale : {80.0f, 40.0f, 30.0f, 25.0f, 20.0f, 15.0f, 10.0f, 5.0f}) {
        SCOPED_TRACE(scale);
        AtlasRendering::ViewSettings view;
        view.latitude = centre.latitude;
        view.longitude = centre.longitude;
        view.metresPer40Pixels = scale;
        view.fontPath = "-"; // no captions: nothing else is drawn over the line
        AtlasRendering::Session session(MIREL_DEMO_ATLAS_DIR, data, view);
        Map::KVAtlas& atlas = session.atlas();
        atlas.services().interMapGraph = std::make_unique<Minimap>();
        atlas.services().interMapGraph->build(atlas);
        Map::Routing::RoadBinding west, east;
        ASSERT_TRUE(Map::Routing::bindToNearestRoad(atlas, townPoint(-900, 0), west));
        ASSERT_TRUE(Map::Routing::bindToNearestRoad(atlas, townPoint(900, 0), east));
        Core::Config config;
        Path path;
        ASSERT_TRUE(Map::Routing::computePath(atlas, *config.root(), boundPoint(atlas, west),
                                              boundPoint(atlas, east), path, false))
            << Map::Routing::routingResult().status;

        session.draw();
        ASSERT_EQ(columnsWithoutRoute(session.screen()), view.width) << "the colour is the route's alone";
        RouteLine line(path, atlas);
        session.renderer().services().route = &line;
        session.resetView();
        session.draw();
        session.renderer().services().route = nullptr;
        EXPECT_EQ(columnsWithoutRoute(session.screen()), 0);
    }
}

} // namespace
