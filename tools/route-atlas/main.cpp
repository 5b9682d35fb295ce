// Computes a route over an atlas folder and prints it; can draw it over the
// map as the map page does.
//
//   route-atlas ATLAS_FOLDER FROM TO [--mode N] [--picture OUT.bmp [--scale M]] [--save] [--data DIR] [--manoeuvres]
//   route-atlas ATLAS_FOLDER --path FILE.kvp [--data DIR] [--manoeuvres]
//
// FROM and TO are LAT,LON in degrees; each is bound to its nearest road.
// Prints the route's length, its driving time by the speeds the search
// weighs the road classes with, the number of
// manoeuvres, with --manoeuvres one line per manoeuvre (its type, in
// number and words, and where
// it lies along the route), and the points of its line (LAT,LON per line).
// --scale draws the picture at M metres per 40 pixels around the route's
// middle instead of framing the whole route. --path prints a stored route
// (a route file of the atlas) the same way, without the phase times of a
// search. --save stores
// the route as the atlas folder's automatic route (path.kvp) and the view
// framing it as the folder's camera (camera.kvc): the program opens the
// atlas on that route.

#include "core/Config.h"
#include "core/Text.h"
#include "map/Projection.h"
#include "render/ViewPreparation.h"
#include "routing/AtlasRoute.h"
#include "routing/DrivingTime.h"
#include "routing/ManoeuvreNames.h"
#include "routing/Minimap.h"
#include "routing/NearestRoad.h"
#include "routing/PathFile.h"
#include "routing/RouteComputation.h"
#include "routing/RoutingParams.h"
#include "tools/render-atlas/AtlasRendering.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr, "usage: route-atlas ATLAS_FOLDER FROM_LAT,LON TO_LAT,LON [--mode 0|1|2] "
                         "[--picture OUT.bmp [--scale M]] [--save] [--data DIR] [--manoeuvres]\n"
                         "       route-atlas ATLAS_FOLDER --path FILE.kvp [--data DIR] [--manoeuvres]\n");
    return 2;
}

std::optional<Map::GeoPoint> parsePlace(const char* text) {
    double lat = 0, lon = 0;
    if (std::sscanf(text, "%lf,%lf", &lat, &lon) != 2) return std::nullopt;
    return Map::GeoPoint{static_cast<float>(lat), static_cast<float>(lon)};
}

struct Manoeuvre {
    std::uint32_t type = 0;
    std::uint32_t atMetres = 0;
};

struct Summary {
    std::uint32_t metres = 0;
    std::vector<Manoeuvre> list;
    std::uint32_t manoeuvres = 0;
    std::vector<Map::GeoPoint> line;
};

Summary summarise(const Path& path) {
    Summary s;
    for (const PathPart& part : path.parts) {
        if (part.manoeuvre != 0) {
            ++s.manoeuvres;
            s.list.push_back({part.manoeuvre, s.metres});
        }
        s.metres += part.lengthMetres;
        const Map::LevelFrame frame = Map::LevelFrame::of(*part.level);
        const float cell = std::ldexp(1.0f, frame.cellShift);
        std::vector<Map::GeoPoint> points;
        for (const PathPolyline& line : part.polylines)
            for (const Map::LocalPoint& p : line.points)
                points.push_back(Map::Projection::toGeo(
                    frame.toGlobal({static_cast<float>(line.cellX) * cell + p.x, static_cast<float>(line.cellY) * cell + p.y})));
        if (!part.forward) std::reverse(points.begin(), points.end());
        for (const Map::GeoPoint& g : points)
            if (s.line.empty() || !(s.line.back() == g)) s.line.push_back(g);
    }
    return s;
}

// A view of the map surface's size that shows the whole line.
void frame(const std::vector<Map::GeoPoint>& line, AtlasRendering::ViewSettings& view) {
    float south = 90, north = -90, west = 180, east = -180;
    for (const Map::GeoPoint& g : line) {
        south = std::min(south, g.latitude);
        north = std::max(north, g.latitude);
        west = std::min(west, g.longitude);
        east = std::max(east, g.longitude);
    }
    view.latitude = (south + north) / 2;
    view.longitude = (west + east) / 2;
    const double metresHigh = (north - south) * 111195.0;
    const double metresWide = (east - west) * 111195.0 * std::cos(*view.latitude * 0.017453292);
    view.metresPer40Pixels = static_cast<float>(
        std::max({metresWide / view.width, metresHigh / view.height, 0.5}) * 40.0 * 1.6);
}

// Loads the atlas with its minimap, binds the two places and computes the
// route; false (with a message) when that fails.
bool route(AtlasRendering::Session& session, Core::Config& config, Map::GeoPoint from, Map::GeoPoint to,
           Path& path) {
    Map::KVAtlas& atlas = session.atlas();
    atlas.services().interMapGraph = std::make_unique<Minimap>();
    atlas.services().interMapGraph->build(atlas);
    PathPoint points[2];
    const Map::GeoPoint places[2] = {from, to};
    for (int i = 0; i < 2; ++i) {
        Map::Routing::RoadBinding binding;
        if (!Map::Routing::bindToNearestRoad(atlas, Map::Projection::fromGeo(places[i].latitude, places[i].longitude),
                                             binding) ||
            (points[i] = boundPoint(atlas, binding)).map == nullptr) {
            std::fprintf(stderr, "route-atlas: no road near %.6f,%.6f\n", places[i].latitude, places[i].longitude);
            return false;
        }
    }
    if (!Map::Routing::computePath(atlas, *config.root(), points[0], points[1], path, false)) {
        const std::int32_t status = Map::Routing::routingResult().status;
        std::fprintf(stderr, "route-atlas: no route (status %d %s)\n", status,
                     Map::Routing::statusMessageKey(status));
        return false;
    }
    return true;
}

// The time by the speeds the search weighs the roads with, as H:MM:SS;
// throws when a road of the route is not in its map's road graph.
std::string drivingTime(const Path& path, Map::KVAtlas& atlas) {
    const std::optional<std::uint64_t> units = Map::Routing::drivingTime(path, atlas);
    if (!units) throw std::runtime_error("a road of the route is not in its map's road graph");
    const auto seconds =
        static_cast<unsigned>((*units + Map::Routing::kTimeUnitsPerSecond / 2) / Map::Routing::kTimeUnitsPerSecond);
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

// What follows the first line: the manoeuvres when asked for, the points.
void print(const Summary& summary, bool manoeuvres) {
    if (manoeuvres)
        for (const Manoeuvre& m : summary.list)
            std::printf("manoeuvre %u (%s) at %u m\n", m.type, std::string(Map::Routing::manoeuvreName(m.type)).c_str(),
                        m.atMetres);
    for (const Map::GeoPoint& g : summary.line)
        std::printf("%.6f,%.6f\n", g.latitude, g.longitude);
}

// The stored route FILE of the atlas, printed as a computed one is.
int printStored(const std::string& atlasFolder, const std::string& file, const std::string& data, bool manoeuvres) {
    if (SDL_Init(SDL_INIT_NOPARACHUTE) != 0) {
        std::fprintf(stderr, "SDL_Init failed: %s\n", SDL_GetError());
        return 1;
    }
    int status = 0;
    try {
        AtlasRendering::ViewSettings view;
        AtlasRendering::Session session(atlasFolder, data, view);
        Path path;
        if (!PathFile::read(Core::utf8ToWide(file), session.atlas(), path)) {
            std::fprintf(stderr, "route-atlas: can't read the route file %s\n", file.c_str());
            status = 1;
        } else {
            const Summary summary = summarise(path);
            std::printf("Route: %u m, %s, %u manoeuvres\n", summary.metres,
                        drivingTime(path, session.atlas()).c_str(), summary.manoeuvres);
            print(summary, manoeuvres);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "route-atlas: %s\n", e.what());
        status = 1;
    }
    SDL_Quit();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) return usage();
    if (std::string(argv[2]) == "--path") {
        std::string data = (std::filesystem::path(argv[0]).parent_path() / ".." / "app" / "data").string();
        bool manoeuvres = false;
        for (int i = 4; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--data" && i + 1 < argc)
                data = argv[++i];
            else if (arg == "--manoeuvres")
                manoeuvres = true;
            else
                return usage();
        }
        return printStored(argv[1], argv[3], data, manoeuvres);
    }
    const std::string atlasFolder = argv[1];
    const auto from = parsePlace(argv[2]);
    const auto to = parsePlace(argv[3]);
    if (!from || !to) return usage();
    std::string data = (std::filesystem::path(argv[0]).parent_path() / ".." / "app" / "data").string();
    std::string picture;
    std::optional<float> scale;
    bool save = false;
    bool manoeuvres = false;
    int mode = 1;
    for (int i = 4; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mode" && i + 1 < argc) {
            mode = std::atoi(argv[++i]);
            if (mode < 0 || mode > 2) return usage();
        } else if (arg == "--picture" && i + 1 < argc) {
            picture = argv[++i];
        } else if (arg == "--scale" && i + 1 < argc) {
            scale = static_cast<float>(std::atof(argv[++i]));
            if (!(*scale > 0.0f)) return usage();
        } else if (arg == "--manoeuvres") {
            manoeuvres = true;
        } else if (arg == "--save") {
            save = true;
        } else if (arg == "--data" && i + 1 < argc) {
            data = argv[++i];
        } else {
            return usage();
        }
    }
    if (SDL_Init(SDL_INIT_NOPARACHUTE) != 0) {
        std::fprintf(stderr, "SDL_Init failed: %s\n", SDL_GetError());
        return 1;
    }
    int status = 0;
    try {
        Core::Config config;
        config.root()->child("Routing")->set("routing_mode", mode);
        AtlasRendering::ViewSettings view;
        Summary summary;
        {
            AtlasRendering::Session session(atlasFolder, data, view);
            Path path;
            if (!route(session, config, *from, *to, path)) throw std::runtime_error("no route");
            summary = summarise(path);
            const auto& r = Map::Routing::routingResult();
            std::printf("Route: %u m, %s, %u manoeuvres (loading %u ms, searching %u ms, building %u ms)\n",
                        summary.metres, drivingTime(path, session.atlas()).c_str(), summary.manoeuvres,
                        r.loadingMs, r.searchingMs, r.buildingMs);
            print(summary, manoeuvres);
        }
        if (save && !summary.line.empty()) {
            frame(summary.line, view);
            AtlasRendering::Session session(atlasFolder, data, view);
            Path path;
            if (!route(session, config, *from, *to, path)) throw std::runtime_error("no route");
            session.resetView();
            // The map page draws the camera's centre at its focus point, a
            // part of the height below the middle; the route's middle is
            // put in the middle of the page.
            const int proportion = session.renderer().proportion() > 0 ? session.renderer().proportion() : 3;
            const double pixelsBelow = view.height * ((proportion - 1.0) / proportion - 0.5);
            const double metresPerPixel = *view.metresPer40Pixels / 40.0;
            session.camera().setCentre(Map::Projection::fromGeo(
                static_cast<float>(*view.latitude - pixelsBelow * metresPerPixel / 111195.0),
                static_cast<float>(*view.longitude)));
            Map::CameraFields camera;
            MapDrawing::ViewPreparation::cameraToAtlas(session.camera(), camera);
            session.atlas().setCamera(camera);
            // The session leaves the folder alone when it unloads; --save
            // asks for the view to be kept, so it is written here.
            session.atlas().saveCamera();
            const std::string file = (std::filesystem::path(atlasFolder) / "path.kvp").string();
            if (PathFile::write(u"autosave", Core::utf8ToWide(file), path)) {
                std::printf("Saved as the atlas's route: %s\n", file.c_str());
            } else {
                std::fprintf(stderr, "route-atlas: cannot write %s\n", file.c_str());
                status = 1;
            }
        }
        if (!picture.empty() && !summary.line.empty()) {
            // A second session whose view frames the whole route, or shows
            // its middle at the scale asked for.
            frame(summary.line, view);
            if (scale) view.metresPer40Pixels = scale;
            AtlasRendering::Session session(atlasFolder, data, view);
            Path path;
            if (!route(session, config, *from, *to, path)) throw std::runtime_error("no route");
            RouteLine line(path, session.atlas());
            session.renderer().services().route = &line;
            session.resetView();
            session.draw();
            session.renderer().services().route = nullptr;
            if (SDL_SaveBMP(session.screen(), picture.c_str()) != 0) {
                std::fprintf(stderr, "cannot write %s: %s\n", picture.c_str(), SDL_GetError());
                status = 1;
            }
        }
    } catch (const std::exception& e) {
        if (std::string(e.what()) != "no route") std::fprintf(stderr, "route-atlas: %s\n", e.what());
        status = 1;
    }
    SDL_Quit();
    return status;
}
