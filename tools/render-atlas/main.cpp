// Draws one frame of an atlas folder to a BMP file through the map
// renderer, as the map page draws it.
//
//   render-atlas ATLAS_FOLDER OUTPUT.bmp [--data DIR] [--centre LAT,LON]
//       [--scale M_PER_40PX] [--rotation DEG] [--3d] [--night] [--size WxH]

#include "tools/render-atlas/AtlasRendering.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: render-atlas ATLAS_FOLDER OUTPUT.bmp [--data DIR] [--centre LAT,LON] "
                         "[--scale M_PER_40PX] [--rotation DEG] [--3d] [--night] [--size WxH] "
                         "[--font FILE.ttf] [--font-size PX]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    const std::string atlas = argv[1];
    const std::string output = argv[2];
    std::string data = (std::filesystem::path(argv[0]).parent_path() / ".." / "app" / "data").string();
    AtlasRendering::ViewSettings view;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--data" && hasValue) {
            data = argv[++i];
        } else if (arg == "--centre" && hasValue) {
            double lat = 0, lon = 0;
            if (std::sscanf(argv[++i], "%lf,%lf", &lat, &lon) != 2)
                return usage();
            view.latitude = lat;
            view.longitude = lon;
        } else if (arg == "--scale" && hasValue) {
            view.metresPer40Pixels = std::strtof(argv[++i], nullptr);
        } else if (arg == "--rotation" && hasValue) {
            view.rotationDegrees = std::strtof(argv[++i], nullptr);
        } else if (arg == "--font" && hasValue) {
            view.fontPath = argv[++i];
        } else if (arg == "--font-size" && hasValue) {
            view.fontSize = std::atoi(argv[++i]);
            if (view.fontSize <= 0)
                return usage();
        } else if (arg == "--3d") {
            view.threeD = true;
        } else if (arg == "--night") {
            view.night = true;
        } else if (arg == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &view.width, &view.height) != 2 || view.width <= 0 ||
                view.height <= 0)
                return usage();
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
        AtlasRendering::Session session(atlas, data, view);
        session.draw();
        const auto& counters = session.renderer().counters();
        const int captions = session.captions() != nullptr ? static_cast<int>(session.captions()->frameCaptions()) : -1;
        std::printf("%.1f m/40px, %zu maps drawn, polygons %d polylines %d points %d, captions %d, "
                    "3D labels %d\n",
                    session.atlas().view().metresPer40Pixels, session.atlas().viewRecords().size(),
                    counters.polygons, counters.polylines, counters.points, captions, counters.captions);
        if (SDL_SaveBMP(session.screen(), output.c_str()) != 0) {
            std::fprintf(stderr, "cannot write %s: %s\n", output.c_str(), SDL_GetError());
            status = 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "render-atlas: %s\n", e.what());
        status = 1;
    }
    SDL_Quit();
    return status;
}
