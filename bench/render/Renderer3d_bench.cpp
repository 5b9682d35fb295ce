#include "render/MapCamera.h"
#include "render/Renderer3d.h"

#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cmath>
#include <vector>

namespace {

// A 800 x 480 perspective view looking north over (1000, 1000), one pixel
// per level unit at the centre.
struct View {
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    xe::Canvas canvas = xe::Canvas::of(surface);
    MapCamera camera;
    View() {
        camera.setViewport(800, 480, 1.0471976f);
        camera.setAnchorFraction(1.0f / 3);
        camera.setMode(1);
        camera.setCentre(Map::Point{1000, 1000});
        camera.setupForLevel(Map::LevelFrame{32, 16, 0, 0});
        camera.setOrigin(0, 0);
    }
    ~View() { SDL_FreeSurface(surface); }
};

void fillPolygon3d(benchmark::State& state) {
    View v;
    std::vector<xe::Point> ring;
    for (int i = 0; i < 64; ++i) {
        const double a = i * 6.283185307179586 / 64;
        ring.push_back(xe::Point{1000 + static_cast<int>(300 * std::cos(a)),
                                 1000 + static_cast<int>(300 * std::sin(a))});
    }
    for (auto _ : state)
        xe::renderer3d().fillPolygon(v.canvas, ring.data(), static_cast<int>(ring.size()), 0x336699);
}
BENCHMARK(fillPolygon3d);

// The zig-zag band of 32 points, its fill (border:0) or its border lines
// (border:1: sides, joints and the two cap outlines).
void widePolyline3d(benchmark::State& state) {
    View v;
    std::vector<xe::Point> points;
    std::vector<xe::Point> normals;
    for (int i = 0; i < 32; ++i)
        points.push_back(xe::Point{800 + 12 * i, 900 + (i % 2) * 20});
    for (int i = 0; i + 1 < 32; ++i) {
        const int dx = points[i + 1].x - points[i].x;
        const int dy = points[i + 1].y - points[i].y;
        normals.push_back(xe::Point{-dy, dx});
    }
    const bool border = state.range(0) != 0;
    for (auto _ : state) {
        if (border)
            xe::renderer3d().drawWidePolylineBorder(v.canvas, points.data(), normals.data(), 23, 32, 4, 0x336699);
        else
            xe::renderer3d().drawWidePolyline(v.canvas, points.data(), normals.data(), 23, 32, 4, 0x336699);
    }
}
BENCHMARK(widePolyline3d)->ArgName("border")->Arg(0)->Arg(1);

} // namespace
