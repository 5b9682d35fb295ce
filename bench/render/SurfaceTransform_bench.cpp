// Speed of the surface operations that run per frame: the rotated compass
// and captions, stretched backgrounds and tinted icons.
#include "render/SurfaceTransform.h"

#include <benchmark/benchmark.h>

#include <SDL/SDL_video.h>

#include <cmath>

namespace {

SDL_Surface* picture(int w, int h) {
    SDL_Surface* s = SDL_CreateRGBSurface(0, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    auto* p = static_cast<Uint32*>(s->pixels);
    for (int i = 0; i < w * h; ++i)
        p[i] = 0xFF000000u | Uint32(i * 2654435761u >> 8);
    return s;
}

void rotate128(benchmark::State& state) {
    SDL_Surface* source = picture(128, 128);
    const float angle = 0.5f;
    for (auto _ : state) {
        SDL_Surface* rotated = Render::rotateSurface(source, std::sin(angle), std::cos(angle));
        benchmark::DoNotOptimize(rotated);
        SDL_FreeSurface(rotated);
    }
    SDL_FreeSurface(source);
}
BENCHMARK(rotate128);

void zoom(benchmark::State& state) {
    const int side = int(state.range(0));
    SDL_Surface* source = picture(40, 40);
    SDL_Surface* target = picture(side, side);
    const SDL_Rect from{0, 0, 40, 40};
    const SDL_Rect to{0, 0, Uint16(side), Uint16(side)};
    for (auto _ : state)
        benchmark::DoNotOptimize(Render::zoomInto(to, target, source, from));
    state.SetItemsProcessed(state.iterations() * side * side);
    SDL_FreeSurface(source);
    SDL_FreeSurface(target);
}
BENCHMARK(zoom)->Arg(80)->Arg(97)->Arg(400);

void multiply64(benchmark::State& state) {
    SDL_Surface* s = picture(64, 64);
    for (auto _ : state)
        Render::multiplySurface(s, 0xFFC08040);
    state.SetItemsProcessed(state.iterations() * 64 * 64);
    SDL_FreeSurface(s);
}
BENCHMARK(multiply64);

} // namespace
